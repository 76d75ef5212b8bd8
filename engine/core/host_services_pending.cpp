// TEMPORARY stand-in for the host-service entry DLLServices, so that hosts can run scripts
// before the real entry lands: only the requests a test host makes around a run (0, 4, 5,
// 11, 23, 40, 60). Delete this file when the real DLLServices is merged.
#include <windows.h>
#include <cstdint>

#include "engine/core/context.h"
#include "engine/core/runloop.h"
#include "engine/core/text_bounded.h"

extern "C" __declspec(dllexport) uint64_t DLLServices(HGLOBAL instance, uint16_t request, void* p1,
                                                      void* p2, int64_t p3, uint64_t p4)
{
    auto* ctx = static_cast<BDS*>(GlobalLock(instance));
    if (!ctx)
        return 0;
    ctx->pVars = ctx->hVarTable ? static_cast<VariableEntry*>(GlobalLock(ctx->hVarTable)) : nullptr;
    ctx->HeapBase = ctx->HeapBaseSaved;
    uint16_t saved = ctx->nErrorCode;
    ctx->nErrorCode = 0;
    uint64_t answer = 1;
    switch (request) {
    case 0:
        if (p1)
            lstrcpynA(ctx->err.szHostProductName, static_cast<const char*>(p1),
                      sizeof ctx->err.szHostProductName);
        if (p2)
            lstrcpynA(ctx->eng.szHostNotice, static_cast<const char*>(p2), sizeof ctx->eng.szHostNotice);
        break;
    case 4:
        answer = ctx->nRunEndCode == 9000 ? 9000 : ctx->nLastError;
        break;
    case 5:
        answer = ctx->nRunResult;
        break;
    case 11:
        if (p1)
            answer = SetParamVars(ctx, static_cast<const char*>(p1));
        else if (p2)
            answer = SetParamVarsW(ctx, static_cast<const wchar_t*>(p2));
        else
            answer = 0;
        break;
    case 23:
        answer = ctx->err.bQuietMode;
        if (p3 == 0 || p3 == 1)
            ctx->err.bQuietMode = static_cast<uint32_t>(p3);
        if (p1 && *static_cast<const char*>(p1))
            lstrcpynA(ctx->err.szQuietLog, static_cast<const char*>(p1), sizeof ctx->err.szQuietLog);
        break;
    case 40:
        if (p1)
            lstrcpynA(ctx->szSourceFile, static_cast<const char*>(p1), sizeof ctx->szSourceFile);
        break;
    case 60:
        answer = ctx->nHookFlags;
        if (p4)
            ctx->nHookFlags |= static_cast<uint32_t>(p3);
        else
            ctx->nHookFlags &= ~static_cast<uint32_t>(p3);
        break;
    default:
        answer = 0;
        break;
    }
    bool failed = ctx->nErrorCode != 0;
    ctx->nErrorCode = saved;
    if (ctx->hVarTable)
        GlobalUnlock(ctx->hVarTable);
    GlobalUnlock(instance);
    return failed ? 0 : answer;
}
