// The process-wide COM adapter: OLE for each interpreter context, object creation and
// attachment, and the context's COM teardown.
#include "engine/com/com_adapter.h"

#include <ole2.h>

#include "engine/com/com_activation.h"
#include "engine/com/com_later.h"

namespace {

// Constructed when the library loads, destroyed when it unloads.
CComAdapter g_adapter;

}  // namespace

CComAdapter& ComAdapter() { return g_adapter; }

CComAdapter::~CComAdapter()
{
    // A library unloaded without engine exit still balances what it began.
    while (oleCount > 0) {
        OleUninitialize();
        --oleCount;
    }
}

bool CComAdapter::EnsureOle(BDS* ctx)
{
    if (ctx->com.bOleInitialized)
        return true;
    ++initCalls;
    HRESULT hr = OleInitialize(nullptr);
    if (hr != S_OK && hr != S_FALSE) {
        SetError(ctx, 1318);
        return false;
    }
    ctx->com.bOleInitialized = 1;
    ++oleCount;
    return true;
}

void CComAdapter::TerminateContext(BDS* ctx)
{
    ComDeleteDotNet(ctx);
    if (ctx->com.bOleInitialized) {
        ++uninitCalls;
        OleUninitialize();
        ctx->com.bOleInitialized = 0;
        --oleCount;
    }
}

void ComTerminateContext(BDS* ctx) { ComAdapter().TerminateContext(ctx); }

namespace {

void MakeFromBuilder(BDS* ctx, CDispBuilder& builder, CResultVar& result)
{
    result.Release();
    if (!MakeObjectValue(ctx, builder, &result.v) && ctx->nErrorCode == 1298)
        SetError(ctx, 1129);
}

}  // namespace

void CComAdapter::ObjectCreate(BDS* ctx, const wchar_t* className, const wchar_t* machine, CResultVar& result)
{
    if (!EnsureOle(ctx))
        return;
    CDispBuilder builder(ctx, DBM_CREATE, className, machine);
    if (!ctx->nErrorCode)
        MakeFromBuilder(ctx, builder, result);
}

void CComAdapter::GetObject(BDS* ctx, const wchar_t* name, const wchar_t* className, CResultVar& result)
{
    if (!EnsureOle(ctx))
        return;
    CDispBuilder builder(ctx, DBM_ATTACH, name, className);
    if (!ctx->nErrorCode)
        MakeFromBuilder(ctx, builder, result);
}
