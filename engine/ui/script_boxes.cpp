// The message-box built-ins of scripts: Message, Pause and AskYesNo, in their narrow and
// wide twins. They are shown even in quiet mode: a script that asks its user something
// means it, and only the engine's own boxes are swallowed there.
#include "engine/ui/script_boxes.h"

#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/core/pump.h"
#include "engine/system/input_block.h"
#include "engine/ui/foreground.h"
#include "engine/ui/message_box.h"

namespace {

constexpr UINT FLAGS_MESSAGE = MB_SETFOREGROUND | MB_OK;                                  // 0x10000
constexpr UINT FLAGS_PAUSE = MB_SETFOREGROUND | MB_ICONEXCLAMATION | MB_OKCANCEL;         // 0x10031
constexpr UINT FLAGS_ASK_YES_NO = MB_SETFOREGROUND | MB_ICONQUESTION | MB_YESNOCANCEL;    // 0x10023

int ShowBoxA(BDS* ctx, const char* title, const char* text, const char* sound, UINT flags)
{
    lstrcpynA(ctx->box.BoxTitle, title ? title : "", BOX_TEXT_SIZE);
    PlayEventSound(ctx, sound, SOUND_BOX);
    return MessageBoxCappedA(ctx, ctx->hwndOwner, text, ctx->box.BoxTitle, flags);
}

int ShowBoxW(BDS* ctx, const wchar_t* title, const wchar_t* text, const char* sound, UINT flags)
{
    lstrcpynW(ctx->box.BoxTitleW, title ? title : L"", BOX_TEXT_SIZE);
    PlayEventSound(ctx, sound, SOUND_BOX);
    return MessageBoxCappedW(ctx, ctx->hwndOwner, text, ctx->box.BoxTitleW, flags);
}

// Pause and AskYesNo after their box: Cancel (or a copy that could not be made) cancels.
int PauseAnswer(BDS* ctx, int answer, int inputState)
{
    if (answer == IDCANCEL)
        SetError(ctx, CC_CANCEL);
    CloseBoxFrame(ctx, inputState);
    return 1;
}

int AskYesNoAnswer(BDS* ctx, int answer, int inputState)
{
    if (answer == IDCANCEL) {
        SetError(ctx, CC_CANCEL);
        return 0;   // the run ends here unless cancels are trapped
    }
    CloseBoxFrame(ctx, inputState);
    return answer == IDNO ? 0 : 1;
}

// ---------------------------------------------------------------- cases

void CaseMessage(BDS* ctx, BuiltinCall& call)
{
    if (call.argc != 2)
        return;
    int inputState = OpenBoxFrame(ctx);
    int answer = call.wide ? ShowBoxW(ctx, ArgWText(ctx, call, 1), ArgWText(ctx, call, 2), "SystemAsterisk",
                                      FLAGS_MESSAGE)
                           : ShowBoxA(ctx, ArgText(ctx, call, 1), ArgText(ctx, call, 2), "SystemAsterisk",
                                      FLAGS_MESSAGE);
    SetResultInt(ctx, call.result, answer ? 1 : 0);
    CloseBoxFrame(ctx, inputState);
}

void CasePause(BDS* ctx, BuiltinCall& call)
{
    int answer = ArgIsWide(call, 1) ? DoPauseW(ctx, ArgWText(ctx, call, 1), ArgWText(ctx, call, 2))
                                    : DoPauseA(ctx, ArgText(ctx, call, 1), ArgText(ctx, call, 2));
    SetResultInt(ctx, call.result, answer);
}

void CaseAskYesNo(BDS* ctx, BuiltinCall& call)
{
    int answer = ArgIsWide(call, 1) ? DoAskYesNoW(ctx, ArgWText(ctx, call, 1), ArgWText(ctx, call, 2))
                                    : DoAskYesNoA(ctx, ArgText(ctx, call, 1), ArgText(ctx, call, 2));
    SetResultInt(ctx, call.result, answer);
}

const BuiltinRow kRows[] = {
    {291, CaseAskYesNo},
    {569, CaseMessage},
    {602, CasePause},
};

}  // namespace

extern const BuiltinFamily g_ScriptBoxBuiltins = {"script-boxes", kRows,
                                                  static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};

int DoPauseA(BDS* ctx, const char* title, const char* text)
{
    int inputState = OpenBoxFrame(ctx);
    return PauseAnswer(ctx, ShowBoxA(ctx, title, text, "SystemQuestion", FLAGS_PAUSE), inputState);
}

int DoPauseW(BDS* ctx, const wchar_t* title, const wchar_t* text)
{
    int inputState = OpenBoxFrame(ctx);
    return PauseAnswer(ctx, ShowBoxW(ctx, title, text, "SystemQuestion", FLAGS_PAUSE), inputState);
}

int DoAskYesNoA(BDS* ctx, const char* title, const char* question)
{
    int inputState = OpenBoxFrame(ctx);
    return AskYesNoAnswer(ctx, ShowBoxA(ctx, title, question, "SystemQuestion", FLAGS_ASK_YES_NO), inputState);
}

int DoAskYesNoW(BDS* ctx, const wchar_t* title, const wchar_t* question)
{
    int inputState = OpenBoxFrame(ctx);
    return AskYesNoAnswer(ctx, ShowBoxW(ctx, title, question, "SystemQuestion", FLAGS_ASK_YES_NO),
                          inputState);
}

int OpenBoxFrame(BDS* ctx)
{
    ForceForegroundWindowA(ctx, ctx->hwndParent, SELECT_BOX_ACTIVATION);
    return SetInputBlocked(ctx, 1);
}

void CloseBoxFrame(BDS* ctx, int inputState)
{
    if (inputState != -1)
        SetInputBlocked(ctx, inputState);
}

void SettleAfterBox(BDS* ctx)
{
    WaitPumping(ctx, 20);
    PumpMessages(ctx);
    if (ctx->hCursorCurrent)
        SetCursor(ctx->hCursorCurrent);
}

void SetBoxTitleA(BDS* ctx, HWND window)
{
    SetWindowTextA(window, ctx->box.BoxTitle);
    CenterWindow(window);
}

void SetBoxTitleW(BDS* ctx, HWND window)
{
    SetWindowTextW(window, ctx->box.BoxTitleW);
    CenterWindow(window);
}
