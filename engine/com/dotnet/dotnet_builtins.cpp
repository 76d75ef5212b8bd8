// ObjectClrOption, ObjectClrNew and ObjectClrType: the script's door to .NET objects.
#include <windows.h>
#include <oleauto.h>

#include <string>

#include "engine/com/com_adapter.h"
#include "engine/com/com_value.h"
#include "engine/com/dotnet/dotnet.h"
#include "engine/core/builtin.h"

namespace {

enum : uint16_t { KID_OBJECTCLRNEW = 586, KID_OBJECTCLROPTION = 587, KID_OBJECTCLRTYPE = 588 };

constexpr uint16_t ERR_NO_HOST = 1129;
constexpr uint16_t ERR_NOT_UNICODE = 3820;   // "Variable could not be converted to Unicode"
constexpr uint16_t ERR_OPTION = 1850;
constexpr int MAX_CONSTRUCTOR_ARGS = 15;

CDotNet* HostFor(BDS* ctx)
{
    if (!EnsureOle(ctx))
        return nullptr;
    CDotNet* host = GetOrCreateDotNet(ctx);
    if (!host)
        SetError(ctx, ERR_NO_HOST);
    return host;
}

// A value as wide text (3820 when it has none).
bool WideValue(BDS* ctx, const resultants& value, std::wstring* out)
{
    CResultVar copy(ctx);
    if (!copy.CopyFrom(value))
        return false;
    if (!ValueToWide(ctx, &copy.v)) {
        if (!ctx->nErrorCode)
            SetError(ctx, ERR_NOT_UNICODE);
        return false;
    }
    *out = ValueWText(ctx, &copy.v);
    return true;
}

void ObjectClrOptionCase(BDS* ctx, BuiltinCall& call)
{
    SetResultInt(ctx, call.result, 0);
    CDotNet* host = HostFor(ctx);
    if (!host)
        return;
    std::wstring value;
    if (!WideValue(ctx, call.args[2], &value))
        return;
    const wchar_t* option = ArgWText(ctx, call, 1);
    int done = 0;
    if (lstrcmpiW(option, L"version") == 0 || lstrcmpiW(option, L"appbase") == 0)
        done = host->SetOption(ctx, option, value.c_str());
    else if (lstrcmpiW(option, L"use") == 0 || lstrcmpiW(option, L"useany") == 0)
        done = host->LoadAssembly(ctx, value.c_str(), lstrcmpiW(option, L"useany") == 0);
    else
        SetError(ctx, ERR_OPTION);
    SetResultInt(ctx, call.result, done);
}

void ObjectClrNewCase(BDS* ctx, BuiltinCall& call)
{
    CDotNet* host = HostFor(ctx);
    if (!host || !host->Initialize(ctx))
        return;
    int count = call.argc - 1;
    if (count > MAX_CONSTRUCTOR_ARGS)
        count = MAX_CONSTRUCTOR_ARGS;
    resultants* args[MAX_CONSTRUCTOR_ARGS] = {};
    for (int i = 0; i < count; ++i)
        args[i] = &call.args[i + 2];
    IDispatch* made = nullptr;
    if (!host->CreateClassInstance(ctx, ArgWText(ctx, call, 1), args, count, &made))
        return;
    CResultVar result(ctx);
    int ok = WrapDispatchAsObject(ctx, made, true, &result.v);
    made->Release();
    if (ok)
        result.HandBack(call.result);
}

void ObjectClrTypeCase(BDS* ctx, BuiltinCall& call)
{
    CDotNet* host = HostFor(ctx);
    if (!host)
        return;
    CResultVar value(ctx);
    if (!value.CopyFrom(call.args[2]) || !value.ValueToVariantType(IsObjectValue(&value.v) ? VT_DISPATCH : 0))
        return;
    VARIANT cast;
    if (!host->CreateCastObject(ctx, ArgWText(ctx, call, 1), value.v.var, &cast))
        return;
    CResultVar result(ctx);
    int ok = cast.vt == VT_DISPATCH ? WrapDispatchAsObject(ctx, cast.pdispVal, true, &result.v)
                                    : result.VariantCopyToValue(cast);
    VariantClear(&cast);
    if (ok)
        result.HandBack(call.result);
}

const BuiltinRow kRows[] = {
    {KID_OBJECTCLRNEW, ObjectClrNewCase},
    {KID_OBJECTCLROPTION, ObjectClrOptionCase},
    {KID_OBJECTCLRTYPE, ObjectClrTypeCase},
};

}  // namespace

extern const BuiltinFamily g_DotNetBuiltins = {".NET objects", kRows, sizeof(kRows) / sizeof(kRows[0])};
