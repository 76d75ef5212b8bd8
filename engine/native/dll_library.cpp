// The companions of DllCall: DllLoad and DllFree keep a library loaded across calls, and
// DataCast reinterprets the bits of a 32-bit float or integer.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "engine/core/builtin.h"
#include "engine/core/neighbour_services.h"
#include "engine/core/numtext.h"
#include "engine/core/router.h"
#include "engine/core/system_flags.h"
#include "engine/native/library_name.h"
#include "engine/native/native_call.h"

namespace {

enum : uint16_t {
    ERR_DLL_NOT_FOUND = 1299,
    ERR_DLL_NOT_LOADABLE = 1300,
    ERR_BAD_MODE = 1812,
    ERR_TOO_MANY_LOADS = 2392,
    ERR_NOT_NUMBER = 3057,
    ERR_NOT_FLOAT = 3340,
    ERR_BAD_DLL_HANDLE = 3391,
};

void CaseDllLoad(BDS* ctx, BuiltinCall& call)
{
    NativeState& n = ctx->native;
    if (n.nLoaded >= DLL_LOAD_MAX) {
        SetError(ctx, ERR_TOO_MANY_LOADS);
        return;
    }
    DWORD failure = 0;
    HMODULE module = HasArg(call, 1) ? LoadNamedLibrary(LibraryNameOf(ctx, &call.args[1]), &failure) : nullptr;
    if (!module) {
        SetError(ctx, failure == ERROR_FILE_NOT_FOUND || failure == ERROR_NO_MATCH
                          ? ERR_DLL_NOT_FOUND : ERR_DLL_NOT_LOADABLE);
        return;
    }
    char text[INT_TEXT_SIZE + 1];
    snprintf(text, sizeof text, "?%llu", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(module)));
    if (!SetResultText(ctx, call.result, text)) {
        FreeLibrary(module);
        return;
    }
    for (HMODULE& slot : n.hLoaded) {
        if (!slot) {
            slot = module;
            break;
        }
    }
    ++n.nLoaded;
}

// Only a library that DllLoad loaded is freed; any other "?" number is left alone.
void CaseDllFree(BDS* ctx, BuiltinCall& call)
{
    const char* text = ArgText(ctx, call, 1);
    if (text[0] != '?') {
        SetError(ctx, ERR_BAD_DLL_HANDLE);
        return;
    }
    int64_t number = 0;
    if (!ParseIntegerTextA(text + 1, &number) || number == 0)
        return;
    auto module = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(number));
    NativeState& n = ctx->native;
    for (HMODULE& slot : n.hLoaded) {
        if (slot == module) {
            FreeLibrary(module);
            slot = nullptr;
            --n.nLoaded;
            return;
        }
    }
}

void CaseDataCast(BDS* ctx, BuiltinCall& call)
{
    int32_t mode = ArgInt(call, 2);
    resultants& value = call.args[1];
    if (mode == 0) {
        // A bit pattern above the signed range (such as 3212836864) keeps its low 32 bits.
        if (!ValueToInteger(ctx, &value, true, true)) {
            if (!ctx->nErrorCode)
                SetError(ctx, ERR_NOT_NUMBER);
            return;
        }
        uint32_t bits = (value.flags & VF_INT) ? static_cast<uint32_t>(value.i32)
                                               : static_cast<uint32_t>(value.i64);
        float single;
        std::memcpy(&single, &bits, sizeof single);
        SetResultFloat(ctx, call.result, single);
    } else if (mode == 1) {
        if (!(value.flags & VF_FLOAT) && !ValueToFloat(ctx, &value)) {
            if (!ctx->nErrorCode)
                SetError(ctx, ERR_NOT_FLOAT);
            return;
        }
        float single = static_cast<float>(value.dbl);
        int32_t bits;
        std::memcpy(&bits, &single, sizeof bits);
        SetResultInt(ctx, call.result, bits);
    } else {
        SetError(ctx, ERR_BAD_MODE);
    }
}

const BuiltinRow kRows[] = {
    {379, CaseDataCast},
    {425, CaseDllFree},
    {429, CaseDllLoad},
};

}  // namespace

extern const BuiltinFamily g_DllLibraryBuiltins = {"dlllibrary", kRows,
                                                   static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};

// Engine end: the libraries that DllLoad loaded and DllFree did not free.
void FreeScriptLibraries(BDS* ctx)
{
    NativeState& n = ctx->native;
    for (HMODULE& slot : n.hLoaded) {
        if (slot)
            FreeLibrary(slot);
        slot = nullptr;
    }
    n.nLoaded = 0;
}
