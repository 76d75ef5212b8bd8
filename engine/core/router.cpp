// The built-in router: argument conversion by the 4-bit argument codes, the choice between
// the narrow and the wide form of a call, dispatch by keyword id and result tidying.
#include "engine/core/router.h"

#include <cstdio>
#include <cstring>

#include "engine/com/com_value.h"
#include "engine/core/builtin.h"
#include "engine/core/errors.h"
#include "engine/core/heap.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/core/operators.h"
#include "engine/core/runloop.h"
#include "engine/core/system_flags.h"
#include "engine/native/host_call.h"

// ---------------------------------------------------------------- Unicode mode

bool IsUnicodeMode() { return SystemFacts().UnicodeMode != 0; }

void SetUnicodeMode(bool on)
{
    SystemFacts();
    g_System.UnicodeMode = on ? 1 : 0;
}

// ---------------------------------------------------------------- argument conversion

enum : uint16_t {
    ERR_NOT_FLOAT = 3340,
    ERR_NOT_ARRAY = 3650,
    ERR_NOT_VARIANT = 3732,
    ERR_NOT_WIDE = 3820,
    ERR_NOT_DEFINED = 3046,
    MSG_ARGUMENT_NOT_CONVERTED = 9503,
};

static bool HoldsWideText(const resultants& arg)
{
    if (arg.flags & VF_UNICODE)
        return true;
    if (arg.flags & VF_VARIANT) {
        VARTYPE vt = arg.var.vt;
        return vt == VT_BSTR || vt == (VT_BSTR | VT_BYREF);
    }
    return false;
}

// The call is wide when a text argument that may be wide holds wide text.
static bool CallIsWide(const resultants* args, int argc, uint64_t signature, bool unicodeMode)
{
    for (int i = 1; i <= argc; ++i) {
        uint32_t code = ArgTypeOf(signature, i);
        if ((code == AT_STRING_ANY || (code == AT_STRING_BOTH && unicodeMode)) &&
            HoldsWideText(args[i]))
            return true;
    }
    return false;
}

void NoteUnconvertedArgument(BDS* ctx, int argument)
{
    char pattern[256];
    LoadMyString(ctx, EngineModule(), MSG_ARGUMENT_NOT_CONVERTED, pattern, sizeof(pattern));
    // The text may come from a language file: substitute "%d" by hand, never as a format.
    char number[16];
    snprintf(number, sizeof(number), "%d", argument);
    char text[300];
    const char* mark = strstr(pattern, "%d");
    if (mark)
        snprintf(text, sizeof(text), "%.*s%s%s", static_cast<int>(mark - pattern), pattern,
                 number, mark + 2);
    else
        snprintf(text, sizeof(text), "%s %s", pattern, number);
    AppendExtendedError(ctx, text);
}

static bool ConvertNarrow(BDS* ctx, resultants& arg)
{
    if (arg.flags & VF_STRING)
        return true;
    if (ValueToString(ctx, &arg))
        return true;
    if (!ctx->nErrorCode)
        SetError(ctx, ERR_NOT_STRING);
    return false;
}

static bool ConvertWide(BDS* ctx, resultants& arg)
{
    if (arg.flags & VF_UNICODE)
        return true;
    if (ValueToWide(ctx, &arg))
        return true;
    if (!ctx->nErrorCode)
        SetError(ctx, ERR_NOT_WIDE);
    return false;
}

// An integer argument; a value that does not convert is tried again through its float form.
static bool ConvertInteger(BDS* ctx, resultants& arg, int argument, bool allow64)
{
    if (arg.flags & VF_INT)
        return true;
    if (ValueToInteger(ctx, &arg, false, allow64))
        return true;
    SetError(ctx, 0);
    if (ValueToFloat(ctx, &arg) && ValueToInteger(ctx, &arg, true, allow64))
        return true;
    SetError(ctx, ERR_NOT_NUMBER);
    NoteUnconvertedArgument(ctx, argument);
    return false;
}

static bool ConvertInt64(BDS* ctx, resultants& arg, int argument)
{
    if ((arg.flags & (VF_INT64 | VF_INT)) == VF_INT64)
        return true;
    if (ValueToInt64(ctx, &arg, nullptr, false))
        return true;
    SetError(ctx, 0);
    if (ValueToFloat(ctx, &arg) && ValueToInt64(ctx, &arg, nullptr, true))
        return true;
    SetError(ctx, ERR_NOT_NUMBER);
    NoteUnconvertedArgument(ctx, argument);
    return false;
}

static bool ConvertArgument(BDS* ctx, resultants& arg, int argument, uint32_t code, bool wide,
                            bool unicodeMode)
{
    switch (code) {
    case AT_STRING:
        return ConvertNarrow(ctx, arg);
    case AT_FLOAT:
        if ((arg.flags & VF_FLOAT) || ValueToFloat(ctx, &arg))
            return true;
        if (!ctx->nErrorCode)
            SetError(ctx, ERR_NOT_FLOAT);
        return false;
    case AT_ARRAY:
        if (arg.flags & VF_ARRAY)
            return true;
        // A COM array becomes an engine array: one of the argument's own when the argument
        // only borrows the variable's SAFEARRAY.
        if ((arg.flags & VF_VARIANT) && (arg.var.vt & VT_ARRAY)) {
            if (arg.originVar != ORIGIN_NONE) {
                ValueHead own{};
                if (!VariantToValueCopy(ctx, arg.flags, &arg, &own))
                    return false;
                arg.var = own.var;
                arg.originVar = ORIGIN_NONE;
                arg.originScope = 0xFFFF;
            }
            if (ValueConvertInPlace(ctx, VF_ARRAY, &arg))
                return true;
            if (ctx->nErrorCode)
                return false;
        }
        SetError(ctx, ERR_NOT_ARRAY);
        return false;
    case AT_VARIANT:
        if (arg.flags & VF_VARIANT)
            return true;
        SetError(ctx, ERR_NOT_VARIANT);
        return false;
    case AT_WSTRING:
        return ConvertWide(ctx, arg);
    case AT_STRING_ANY:
        return wide ? ConvertWide(ctx, arg) : ConvertNarrow(ctx, arg);
    case AT_STRING_MODE:
        return unicodeMode ? ConvertWide(ctx, arg) : ConvertNarrow(ctx, arg);
    case AT_STRING_BOTH:
        return (wide && unicodeMode) ? ConvertWide(ctx, arg) : ConvertNarrow(ctx, arg);
    case AT_INT_WIDE:
        return ConvertInteger(ctx, arg, argument, true);
    case AT_INT64:
        return ConvertInt64(ctx, arg, argument);
    case AT_ANY:
        return true;
    default:   // AT_INT and the codes 11-14, which mean the same
        return ConvertInteger(ctx, arg, argument, false);
    }
}

// ---------------------------------------------------------------- routing and tidying

static bool IsUserFunctionId(uint32_t id) { return id >= UDFSTART && id < UDFSTART + 999; }
static bool IsHostId(uint32_t id) { return id >= PARENTSTART && id < PARENTSTART + 999; }
static bool IsAddOnId(uint32_t id) { return id >= ADDONSTART && id < ADDONSTART + ADDON_COUNT; }

static void Route(BDS* ctx, BuiltinCall& call)
{
    if (call.id < NKEYTOKENS) {
        BuiltinCase run = BuiltinCaseTable()[call.id];
        if (run)
            run(ctx, call);
        else
            SetError(ctx, ERR_NOT_DEFINED);
    } else if (IsUserFunctionId(call.id)) {
        CallUserFunction(ctx, call.id, call.result, call.args, nullptr, 0);
    } else if (IsHostId(call.id) || IsAddOnId(call.id)) {
        CallExternalFunction(ctx, call);
    } else {
        SetError(ctx, ERR_NOT_DEFINED);
    }
}

// A number result keeps no text that the handler made on the way.
static void TidyResult(BDS* ctx, resultants* result)
{
    if ((result->flags & (VF_INT | VF_FLOAT | VF_INT64)) && (result->flags & VF_STRING)) {
        if (result->str)
            VFree(ctx, result->str);
        result->str = 0;
        result->flags &= ~VF_STRING;
    }
}

int CallBuiltinFunction(BDS* ctx, const char* functionText, uint32_t id, resultants* result,
                        resultants* args, int noConversion, int argc, uint64_t signature)
{
    InitResultValue(ctx, result, VK_RECORD, 0);
    if (argc < 0)
        argc = 0;
    if (argc > 16)
        argc = 16;

    bool wide = false;
    if (!noConversion && !IsUserFunctionId(id)) {
        bool unicodeMode = IsUnicodeMode();
        wide = CallIsWide(args, argc, signature, unicodeMode);
        for (int i = 1; i <= argc; ++i) {
            if (!ConvertArgument(ctx, args[i], i, ArgTypeOf(signature, i), wide, unicodeMode))
                return ctx->nErrorCode;
        }
    }

    BuiltinCall call{id, argc, args, result, wide, signature, functionText};
    Route(ctx, call);
    TidyResult(ctx, result);

    if (nPendingMathError) {
        SetError(ctx, static_cast<uint16_t>(nPendingMathError));
        nPendingMathError = 0;
        return ctx->nErrorCode;
    }
    return 0;
}

void NarrowInt64Result(resultants* result)
{
    if (!(result->flags & VF_INT64))
        return;
    int64_t value = result->i64;
    if (value >= INT32_MIN && value <= INT32_MAX) {
        result->i32 = static_cast<int32_t>(value);
        result->flags = (result->flags & ~VF_INT64) | VF_INT;
    } else {
        result->flags &= ~VF_INT;
    }
}
