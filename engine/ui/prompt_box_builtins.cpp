// The built-ins of the asking boxes: AskLine, AskPassword, AskTextBox and Display.
#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/core/router.h"
#include "engine/ui/prompt_boxes.h"

namespace {

constexpr uint16_t ERR_BAD_FORMAT = 1764;   // "AskLine: Invalid format"

// AskLine(title, prompt, default [, format]): the wide box for a wide call and for the wide
// formats 1 and 2, the narrow one otherwise.
void CaseAskLine(BDS* ctx, BuiltinCall& call)
{
    int32_t format = ArgInt(call, 4, LINE_AS_ANSI);
    if (format < LINE_AS_ANSI || format > LINE_AS_HEX_TOO) {
        SetError(ctx, ERR_BAD_FORMAT);
        return;
    }
    bool wide = IsUnicodeMode() && (call.wide || format == LINE_AS_WIDE || format == LINE_AS_HEX);
    if (!wide) {
        DoAskLineA(ctx, ArgText(ctx, call, 1), ArgText(ctx, call, 2), ArgText(ctx, call, 3), call.result, false,
                   format);
        return;
    }
    const wchar_t* title = ArgWTextConverted(ctx, call, 1);
    const wchar_t* prompt = title ? ArgWTextConverted(ctx, call, 2) : nullptr;
    const wchar_t* defaultText = prompt ? ArgWTextConverted(ctx, call, 3) : nullptr;
    if (defaultText)
        DoAskLineW(ctx, title, prompt, defaultText, call.result, false, format);
}

// AskPassword(title, prompt): the typed text, wide in Unicode mode.
void CaseAskPassword(BDS* ctx, BuiltinCall& call)
{
    if (ArgIsWide(call, 1))
        DoAskLineW(ctx, ArgWText(ctx, call, 1), ArgWText(ctx, call, 2), L"", call.result, true, LINE_AS_WIDE);
    else
        DoAskLineA(ctx, ArgText(ctx, call, 1), ArgText(ctx, call, 2), "", call.result, true, LINE_AS_ANSI);
}

// AskTextBox(title, prompt, default, flags, unused): always wide.
void CaseAskTextBox(BDS* ctx, BuiltinCall& call)
{
    const wchar_t* title = ArgWTextConverted(ctx, call, 1);
    const wchar_t* prompt = title ? ArgWTextConverted(ctx, call, 2) : nullptr;
    const wchar_t* defaultText = prompt ? ArgWTextConverted(ctx, call, 3) : nullptr;
    if (defaultText)
        DoAskTextBox(ctx, title, prompt, defaultText, static_cast<uint32_t>(ArgInt(call, 4)), call.result);
}

// Display(seconds, title, text): 1 closed early, 0 the time ran out.
void CaseDisplay(BDS* ctx, BuiltinCall& call)
{
    double seconds = ArgFloat(call, 1);
    int answer = ArgIsWide(call, 2) ? DoDisplayW(ctx, seconds, ArgWText(ctx, call, 2), ArgWText(ctx, call, 3))
                                    : DoDisplayA(ctx, seconds, ArgText(ctx, call, 2), ArgText(ctx, call, 3));
    SetResultInt(ctx, call.result, answer);
}

const BuiltinRow kRows[] = {
    {288, CaseAskLine},
    {289, CaseAskPassword},
    {290, CaseAskTextBox},
    {420, CaseDisplay},
};

}  // namespace

extern const BuiltinFamily g_PromptBoxBuiltins = {"prompt-boxes", kRows,
                                                  static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
