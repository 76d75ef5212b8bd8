// Built-ins whose whole work is done inside the dispatch: settings of the context
// (Decimals, ErrorMode, Sounds, Exclusive, Debug), number and character conversions
// (Abs, Int, Int64, Char2Num, Num2Char, IsFloat, IsInt, IsNumber, StrByteCount), ticks and
// versions, LastError, the boxes of Terminate and DebugData, and the thin cases of
// Call, ParseData, NumConvert and ArrDimension.
#include <cstring>
#include <cwchar>

#include <string>

#include "engine/core/about.h"
#include "engine/core/builtin.h"
#include "engine/core/errors.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/core/numtext.h"
#include "engine/core/pump.h"
#include "engine/core/router.h"
#include "engine/core/runloop.h"
#include "engine/core/system_flags.h"
#include "engine/core/text_bounded.h"
#include "engine/core/text_length.h"
#include "engine/core/trace.h"
#include "engine/data/array.h"
#include "engine/system/input_block.h"
#include "engine/system/system_entries.h"
#include "engine/ui/foreground.h"
#include "engine/ui/message_box.h"

namespace {

enum : uint16_t {
    ERR_NOT_STRING = 3056,
    ERR_NOT_WIDE = 3820,
    ERR_NOT_SUPPORTED = 1193,
    ERR_BAD_REQUEST = 1809,
    ERR_RUNEXIT = 3252,
    MSG_DEBUGDATA = 836,     // "DebugData:"
};

// ---------------------------------------------------------------- context settings

// Decimals(n): fixed decimals 0-8, -1 automatic, -2 "%g", -3 "%e".
void CaseDecimals(BDS* ctx, BuiltinCall& call)
{
    int32_t old = ctx->nDecimals;
    int32_t wanted = ArgInt(call, 1);
    ctx->nDecimals = wanted > 8 ? 8 : (wanted < -3 ? -1 : wanted);
    SetResultInt(ctx, call.result, old);
}

void CaseErrorMode(BDS* ctx, BuiltinCall& call)
{
    uint32_t old = ctx->ErrorMode;
    int32_t wanted = ArgInt(call, 1);
    ctx->ErrorMode = wanted == 0 ? EM_OFF : (wanted == 1 ? EM_CANCEL : EM_NOTIFY);
    if (TraceIsFull(ctx))
        WriteTraceEvent(ctx, TRACE_KIND_ERRORMODE, 0);
    SetResultInt(ctx, call.result, static_cast<int32_t>(old));
}

void CaseSounds(BDS* ctx, BuiltinCall& call)
{
    uint32_t old = ctx->bSounds;
    ctx->bSounds = ArgInt(call, 1) != 0;
    SetResultInt(ctx, call.result, static_cast<int32_t>(old));
}

void CaseExclusive(BDS* ctx, BuiltinCall& call)
{
    uint32_t old = ctx->builtins.bExclusive;
    ctx->builtins.bExclusive = ArgInt(call, 1) != 0;
    SetResultInt(ctx, call.result, static_cast<int32_t>(old));
}

// Debug(mode [, text]): the single-step setting (1, -1 or 0) and a text for the debugger.
void CaseDebug(BDS* ctx, BuiltinCall& call)
{
    int32_t old = ctx->builtins.nDebugSetting;
    int32_t wanted = ArgInt(call, 1);
    ctx->builtins.nDebugSetting = wanted > 0 ? 1 : (wanted < 0 ? -1 : 0);
    // Stepping starts with the next statement; -1 keeps it off for the rest of the run.
    if (wanted < 0)
        ctx->trace.bDebugLocked = 1;
    ctx->bSingleStep = wanted > 0 && !ctx->trace.bDebugLocked;
    if (HasArg(call, 2))
        CopyStringBoundedA(ctx, ctx->builtins.szDebugText, ArgText(ctx, call, 2),
                           sizeof(ctx->builtins.szDebugText));
    SetResultInt(ctx, call.result, old);
}

// LastError(): the last error, or the number behind it for errors that only say "see
// there"; both are cleared.
void CaseLastError(BDS* ctx, BuiltinCall& call)
{
    uint32_t number = ctx->nLastError;
    switch (number) {
    case 1213: case 2214: case 3215:
    case 9013: case 9014: case 9015: case 9016:
        number = ctx->nErrorDetail;
        break;
    default:
        break;
    }
    ctx->nLastError = 0;
    ctx->nErrorDetail = 0;
    SetResultInt(ctx, call.result, static_cast<int32_t>(number));
}

void CaseDllLastError(BDS* ctx, BuiltinCall& call)
{
    SetResultInt(ctx, call.result, static_cast<int32_t>(ctx->builtins.nDllLastError));
}

// ---------------------------------------------------------------- numbers and characters

void CaseAbs(BDS* ctx, BuiltinCall& call)
{
    int32_t value = ArgInt(call, 1);
    // The magnitude of the lowest integer does not fit: it stays as it is.
    uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    SetResultInt(ctx, call.result, static_cast<int32_t>(magnitude));
}

void CaseInt(BDS* ctx, BuiltinCall& call) { SetResultInt(ctx, call.result, ArgInt(call, 1)); }

void CaseInt64(BDS* ctx, BuiltinCall& call)
{
    SetResultInt64(ctx, call.result, ArgInt64(call, 1));
}

// Char2Num(text): the code of the first character; a double-byte character as lead * 256 +
// trail.
void CaseChar2Num(BDS* ctx, BuiltinCall& call)
{
    const auto* text = reinterpret_cast<const unsigned char*>(ArgText(ctx, call, 1));
    int32_t code = text[0];
    if (code && g_System.DbcsEnabled && IsDBCSLeadByte(text[0]) && text[1])
        code = text[0] * 256 + text[1];
    SetResultInt(ctx, call.result, code);
}

// Num2Char(code): the character of the code's low byte, or a double-byte character when
// the byte above it is a lead byte.
void CaseNum2Char(BDS* ctx, BuiltinCall& call)
{
    uint32_t code = static_cast<uint32_t>(ArgInt(call, 1));
    uint32_t high = code >> 8;
    char text[3] = {};
    size_t length = 0;
    if (g_System.DbcsEnabled && high && high <= 0xFF && IsDBCSLeadByte(static_cast<BYTE>(high)))
        text[length++] = static_cast<char>(high);
    text[length++] = static_cast<char>(code & 0xFF);
    SetResultText(ctx, call.result, text, TextLength(text));
}

// A value record that borrows the argument's narrow text and holds nothing else, so that a
// number test sees the text alone. Answers false when the argument has no text form.
bool BorrowTextForm(BDS* ctx, resultants& arg, resultants& borrowed)
{
    if (!(arg.flags & VF_STRING) && !ValueToString(ctx, &arg))
        return false;
    memset(&borrowed, 0, sizeof(borrowed));
    borrowed.flags = VF_STRING;
    borrowed.str = arg.str;
    borrowed.originVar = ORIGIN_NONE;
    borrowed.originScope = 0xFFFF;
    return true;
}

// IsFloat and IsNumber: does the argument's text read as a number?
void CaseIsNumber(BDS* ctx, BuiltinCall& call)
{
    resultants text;
    int answer = BorrowTextForm(ctx, call.args[1], text) && ValueToFloat(ctx, &text);
    SetError(ctx, 0);
    SetResultInt(ctx, call.result, answer ? 1 : 0);
}

void CaseIsInt(BDS* ctx, BuiltinCall& call)
{
    resultants text;
    int answer = BorrowTextForm(ctx, call.args[1], text) &&
                 ValueToInteger(ctx, &text, false, false);
    SetError(ctx, 0);
    SetResultInt(ctx, call.result, answer ? 1 : 0);
}

// StrByteCount(text, mode): -1 bytes in the call's width, 0 ANSI bytes, 1 UTF-16 bytes.
void CaseStrByteCount(BDS* ctx, BuiltinCall& call)
{
    resultants& arg = call.args[1];
    size_t bytes = 0;
    switch (ArgInt(call, 2)) {
    case -1:
        bytes = call.wide ? TextLength(ValueWText(ctx, &arg)) * sizeof(wchar_t)
                          : TextLength(ValueText(ctx, &arg));
        break;
    case 0:
        if (!(arg.flags & VF_STRING) && !ValueToString(ctx, &arg)) {
            if (!ctx->nErrorCode)
                SetError(ctx, ERR_NOT_STRING);
            return;
        }
        bytes = TextLength(ValueText(ctx, &arg));
        break;
    case 1:
        if (!(arg.flags & VF_UNICODE) && !ValueToWide(ctx, &arg)) {
            if (!ctx->nErrorCode)
                SetError(ctx, ERR_NOT_WIDE);
            return;
        }
        bytes = TextLength(ValueWText(ctx, &arg)) * sizeof(wchar_t);
        break;
    default:
        SetError(ctx, ERR_BAD_REQUEST);
        return;
    }
    SetResultInt(ctx, call.result, static_cast<int32_t>(bytes));
}

// ---------------------------------------------------------------- system queries

void CaseGetTickCount(BDS* ctx, BuiltinCall& call)
{
    SetResultInt(ctx, call.result, static_cast<int32_t>(GetTickCount()));
}

// GetTickCount64(): only where the set-up found the system function.
void CaseGetTickCount64(BDS* ctx, BuiltinCall& call)
{
    if (!ctx->eng.api.pfnGetTickCount64) {
        SetError(ctx, ERR_NOT_SUPPORTED);
        return;
    }
    SetResultInt64(ctx, call.result, static_cast<int64_t>(ctx->eng.api.pfnGetTickCount64()));
}

// DosVersion(major): the major version for a non-zero argument, else the minor one, as the
// set-up found them.
void CaseDosVersion(BDS* ctx, BuiltinCall& call)
{
    const SystemFlags& system = SystemFacts();
    uint32_t part = ArgInt(call, 1) ? system.major : system.minor;
    SetResultInt(ctx, call.result, static_cast<int32_t>(part));
}

void CaseWinConfig(BDS* ctx, BuiltinCall& call) { SetResultInt(ctx, call.result, 45); }

void CaseIconArrange(BDS* ctx, BuiltinCall& call)
{
    ArrangeIconicWindows(GetDesktopWindow());
    SetResultInt(ctx, call.result, 0);
}

// EndSession(): logs the user off; on success the script stops as after a stop request.
void CaseEndSession(BDS* ctx, BuiltinCall& call)
{
    PfnExitWindowsEx exitWindows = ctx->eng.system.ExitWindowsEx;
    BOOL done = exitWindows && exitWindows(EWX_LOGOFF, 0x80040001);
    if (done) {
        ctx->bCancel = 1;
        ctx->bCancelRequest = 1;
        ctx->bCancelBox = 0;
    }
    SetResultInt(ctx, call.result, done ? 1 : 0);
}

void CaseRunExit(BDS* ctx, BuiltinCall& call) { SetError(ctx, ERR_RUNEXIT); }

// ---------------------------------------------------------------- boxes

// A box in the call's width. In quiet mode nobody can answer it: it is logged instead and
// answers Cancel, as every engine box does there.
int ShowScriptBox(BDS* ctx, BuiltinCall& call, int titleArg, int textArg)
{
    bool wide = ArgIsWide(call, titleArg) || ArgIsWide(call, textArg);
    if (ctx->err.bQuietMode) {
        if (wide) {
            ValueToString(ctx, &call.args[titleArg]);
            ValueToString(ctx, &call.args[textArg]);
            SetError(ctx, 0);
        }
        RecordSwallowedBox(ctx, ArgText(ctx, call, textArg), ArgText(ctx, call, titleArg));
        return IDCANCEL;
    }
    ForceForegroundWindowA(ctx, ctx->hwndParent, 0);
    int inputState = SetInputBlocked(ctx, 1);
    int answer;
    if (wide) {
        wchar_t title[TEXTBUF];
        lstrcpynW(title, ArgWText(ctx, call, titleArg), TEXTBUF);
        answer = MessageBoxCappedW(ctx, ctx->hwndOwner, ArgWText(ctx, call, textArg), title,
                                   MB_SETFOREGROUND);
    } else {
        char title[TEXTBUF];
        lstrcpynA(title, ArgText(ctx, call, titleArg), TEXTBUF);
        answer = MessageBoxCappedA(ctx, ctx->hwndOwner, ArgText(ctx, call, textArg), title,
                                   MB_SETFOREGROUND);
    }
    SetInputBlocked(ctx, inputState);
    return answer;
}

// Terminate(condition, title, text): stops the script when the condition holds, with a box
// unless both texts are empty.
void CaseTerminate(BDS* ctx, BuiltinCall& call)
{
    if (ArgInt(call, 1) == 0) {
        SetResultInt(ctx, call.result, 1);
        return;
    }
    bool title = ArgIsWide(call, 2) ? *ArgWText(ctx, call, 2) : *ArgText(ctx, call, 2);
    bool text = ArgIsWide(call, 3) ? *ArgWText(ctx, call, 3) : *ArgText(ctx, call, 3);
    if (title || text) {
        PlayEventSound(ctx, "SystemHand", 99);
        ShowScriptBox(ctx, call, 2, 3);
    }
    SetResultInt(ctx, call.result, 0);
    SetError(ctx, CC_STOP_QUIET);
}

// DebugData(title, text): a line for the debugger's output, or a logged box in quiet mode.
void CaseDebugData(BDS* ctx, BuiltinCall& call)
{
    const char* title = ArgText(ctx, call, 1);
    const char* text = ArgText(ctx, call, 2);
    if (ctx->err.bQuietMode) {
        ShowMessageBox(ctx, ctx->hwndOwner, text, title, MB_OK);
        return;
    }
    char label[64];
    LoadMyString(ctx, EngineModule(), MSG_DEBUGDATA, label, sizeof(label));
    std::string line = std::string(label) + title + " " + text + "\r\n";
    OutputDebugStringA(line.c_str());
}

void CaseAbout(BDS* ctx, BuiltinCall& call)
{
    uint32_t answer = DoDllAbout(ctx->hSelf, ctx->hwndOwner, ABOUT_SHOW, "", "", "", "");
    SetResultInt(ctx, call.result, static_cast<int32_t>(answer));
}

// ButtonNames(ok, cancel): the captions of the next box's two buttons, kept in both widths;
// the width the engine's mode gave the arguments comes first, the other follows when both
// convert.
void CaseButtonNames(BDS* ctx, BuiltinCall& call)
{
    ButtonCaptions& b = ctx->eng.buttons;
    resultants& ok = call.args[1];
    resultants& cancel = call.args[2];
    bool wideFirst = ArgIsWide(call, 1);
    auto storeNarrow = [&] {
        CopyStringBoundedA(ctx, b.narrow[0], ValueText(ctx, &ok), BUTTON_CAPTION_SIZE);
        CopyStringBoundedA(ctx, b.narrow[1], ValueText(ctx, &cancel), BUTTON_CAPTION_SIZE);
        b.bNarrowSet = 1;
    };
    auto storeWide = [&] {
        CopyStringBoundedW(ctx, b.wide[0], ValueWText(ctx, &ok), BUTTON_CAPTION_SIZE);
        CopyStringBoundedW(ctx, b.wide[1], ValueWText(ctx, &cancel), BUTTON_CAPTION_SIZE);
        b.bWideSet = 1;
    };
    if (wideFirst) {
        storeWide();
        if (ValueToString(ctx, &ok) && ValueToString(ctx, &cancel))
            storeNarrow();
    } else {
        storeNarrow();
        if (ValueToWide(ctx, &ok) && ValueToWide(ctx, &cancel))
            storeWide();
    }
    SetError(ctx, 0);
    SetResultInt(ctx, call.result, 1);
}

// ---------------------------------------------------------------- thin cases

void CaseYields(BDS* ctx, BuiltinCall& call) { PumpMessages(ctx); }

void CaseNumConvert(BDS* ctx, BuiltinCall& call)
{
    numconvert(ctx, ArgText(ctx, call, 1), ArgInt(call, 2), ArgInt(call, 3), call.result);
}

// ArrDimension(d1 [, d2 ... d5]): a new array of the given sizes.
void CaseArrDimension(BDS* ctx, BuiltinCall& call)
{
    CreateMyArray(ctx, call.result, static_cast<uint32_t>(ArgInt(call, 1)),
                  static_cast<uint32_t>(ArgInt(call, 2)), static_cast<uint32_t>(ArgInt(call, 3)),
                  static_cast<uint32_t>(ArgInt(call, 4)), static_cast<uint32_t>(ArgInt(call, 5)),
                  0, call.argc);
}

// ---------------------------------------------------------------- script runs

void CaseCall(BDS* ctx, BuiltinCall& call) { CallScript(ctx, call.result, call.args); }

void CaseParseData(BDS* ctx, BuiltinCall& call)
{
    int count = call.wide ? SetParamVarsW(ctx, ArgWText(ctx, call, 1))
                          : SetParamVars(ctx, ArgText(ctx, call, 1));
    SetResultInt(ctx, call.result, count);
}

const BuiltinRow kRows[] = {
    {254, CaseAbout},
    {255, CaseAbs},
    {278, CaseArrDimension},
    {353, CaseButtonNames},
    {355, CaseCall},
    {358, CaseChar2Num},
    {387, CaseDebug},
    {388, CaseDebugData},
    {390, CaseDecimals},
    {428, CaseDllLastError},
    {434, CaseDosVersion},
    {443, CaseEndSession},
    {450, CaseErrorMode},
    {451, CaseExclusive},
    {514, CaseGetTickCount},
    {515, CaseGetTickCount64},
    {518, CaseIconArrange},
    {533, CaseInt},
    {534, CaseInt64},
    {537, CaseIsNumber},    // isfloat
    {538, CaseIsInt},
    {541, CaseIsNumber},    // isnumber
    {556, CaseLastError},
    {582, CaseNum2Char},
    {583, CaseNumConvert},
    {601, CaseParseData},
    {659, CaseRunExit},
    {689, CaseSounds},
    {692, CaseStrByteCount},
    {726, CaseTerminate},
    {764, CaseWinConfig},
    {804, CaseYields},
};

}  // namespace

extern const BuiltinFamily g_InlineBuiltins = {"inline", kRows,
                                               static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
