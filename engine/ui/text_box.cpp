// The multi-line box of AskTextBox ("ASKTEXTBOX_WRAP", "ASKTEXTBOX_NOWRAP") and its dialog
// procedure: wide text only, resizable, the caret put after the default text on request.
#include <cstring>
#include <cwchar>
#include <memory>

#include "engine/core/button_texts.h"
#include "engine/core/context.h"
#include "engine/core/dialog_registry.h"
#include "engine/core/errors.h"
#include "engine/core/locked_global.h"
#include "engine/core/module.h"
#include "engine/system/input_block.h"
#include "engine/ui/foreground.h"
#include "engine/ui/item_list_box.h"
#include "engine/ui/prompt_boxes.h"
#include "engine/ui/script_boxes.h"

namespace {

constexpr uint16_t ERR_NO_MEMORY = 1588;       // "Unable to allocate or lock memory"
constexpr uint16_t ERR_NO_WINDOW = 3104;       // "Dialog Box: Window Creation Failed"
constexpr int TEXT_SIZE = 2050;                // units of the title, the prompt, a cut default
constexpr int FALLBACK_SIZE = 1281;            // units of the answer when no block can be had
constexpr UINT MSG_CARET_TO_END = 2027;        // posted once the edit has its first focus

struct TextBoxCall {
    wchar_t title[TEXT_SIZE], prompt[TEXT_SIZE];
    const wchar_t* defaultText;        // the default's own block, or cutDefault
    wchar_t cutDefault[TEXT_SIZE];
    wchar_t fallback[FALLBACK_SIZE];   // the answer when its block could not be had
};

TextBoxCall* CallOf(BDS* ctx) { return static_cast<TextBoxCall*>(ctx->prompt.pTextBox); }

void InitTextBox(HWND dialog, BDS* ctx)
{
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(ctx));
    DlgPointLookup(dialog, reinterpret_cast<uintptr_t>(ctx));
    TextBoxCall* call = CallOf(ctx);
    SetButtonTextsW(ctx, dialog);
    SetWindowTextW(dialog, call->title);
    CenterWindow(dialog);
    SetDlgItemTextW(dialog, IDC_BOX_PROMPT, call->prompt);
    SetDlgItemTextW(dialog, IDC_BOX_ANSWER, call->defaultText);
    ApplyNextBoxPosition(ctx, dialog);
    SetPromptBoxFont(dialog);
    PlayEventSound(ctx, "SystemQuestion", SOUND_BOX);
    if (ctx->eng.ctl.ActivateMethodBox > 0)
        ForceForegroundWindowA(ctx, dialog, SELECT_BOX_ACTIVATION);
}

// The size of a control in the dialog's client coordinates.
SIZE ControlSize(HWND control)
{
    RECT box{};
    GetWindowRect(control, &box);
    return SIZE{box.right - box.left, box.bottom - box.top};
}

// The prompt and the edit take the width; the edit takes the height the button row leaves;
// OK and Cancel stay a centred pair with their gap.
void LayOut(HWND dialog, int cx, int cy)
{
    HWND prompt = GetDlgItem(dialog, IDC_BOX_PROMPT);
    HWND edit = GetDlgItem(dialog, IDC_BOX_ANSWER);
    HWND ok = GetDlgItem(dialog, IDOK);
    HWND cancel = GetDlgItem(dialog, IDCANCEL);
    if (!prompt || !edit || !ok || !cancel)
        return;   // still being created
    int promptHeight = ControlSize(prompt).cy;
    SIZE okSize = ControlSize(ok), cancelSize = ControlSize(cancel);
    RECT okBox{}, cancelBox{};
    GetWindowRect(ok, &okBox);
    GetWindowRect(cancel, &cancelBox);
    int gap = cancelBox.left - okBox.right;
    int buttonHeight = cancelSize.cy;
    SetWindowPos(prompt, nullptr, 0, 0, cx - 18, promptHeight, SWP_NOMOVE | SWP_NOZORDER);
    SetWindowPos(edit, nullptr, 0, 0, cx - 18, cy - promptHeight - MulDiv(buttonHeight, 5, 2),
                 SWP_NOMOVE | SWP_NOZORDER);
    int okX = (cx - okSize.cx - gap - cancelSize.cx) / 2;
    int y = cy - MulDiv(buttonHeight, 5, 4);
    SetWindowPos(ok, nullptr, okX, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SetWindowPos(cancel, nullptr, okX + okSize.cx + gap, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    InvalidateRect(dialog, nullptr, TRUE);
}

// OK: the edit's text into a block of its own (TextBoxResult), or into the fallback area.
void TakeTypedText(HWND dialog, BDS* ctx)
{
    HWND edit = GetDlgItem(dialog, IDC_BOX_ANSWER);
    auto length = static_cast<SIZE_T>(SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0));
    TextBoxCall* call = CallOf(ctx);
    if (length) {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (length + 1) * sizeof(wchar_t));
        if (block) {
            ctx->prompt.TextBoxResult = block;
            if (auto* text = static_cast<wchar_t*>(GlobalLock(block))) {
                GetWindowTextW(edit, text, static_cast<int>(length + 1));
                GlobalUnlock(block);
            }
            return;
        }
    }
    GetWindowTextW(edit, call->fallback, FALLBACK_SIZE);
}

// The caret after the default text, nothing selected.
void CaretToEnd(HWND dialog)
{
    HWND edit = GetDlgItem(dialog, IDC_BOX_ANSWER);
    auto end = static_cast<WPARAM>(SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0));
    SendMessageW(edit, EM_SETSEL, end, static_cast<LPARAM>(end));
    SendMessageW(edit, EM_SCROLLCARET, 0, 0);
}

// The answer once the box is closed with OK; false with the error set.
bool StoreAnswer(BDS* ctx, TextBoxCall& call, resultants* result)
{
    HGLOBAL block = ctx->prompt.TextBoxResult;
    ctx->prompt.TextBoxResult = nullptr;
    if (!block)
        return SetResultWText(ctx, result, call.fallback) != 0;
    bool stored = false;
    if (auto* text = static_cast<const wchar_t*>(GlobalLock(block))) {
        stored = SetResultWText(ctx, result, text) != 0;
        GlobalUnlock(block);
    } else {
        SetError(ctx, ERR_NO_MEMORY);
    }
    GlobalFree(block);
    return stored;
}

}  // namespace

void DoAskTextBox(BDS* ctx, const wchar_t* title, const wchar_t* prompt, const wchar_t* defaultText,
                  uint32_t flags, resultants* result)
{
    auto call = std::make_unique<TextBoxCall>();
    lstrcpynW(call->title, title ? title : L"", TEXT_SIZE);
    lstrcpynW(call->prompt, prompt ? prompt : L"", TEXT_SIZE);
    if (!defaultText)
        defaultText = L"";
    LockedGlobal ownDefault((wcslen(defaultText) + 1) * sizeof(wchar_t));
    if (ownDefault.data) {
        std::memcpy(ownDefault.data, defaultText, (wcslen(defaultText) + 1) * sizeof(wchar_t));
        call->defaultText = ownDefault.As<wchar_t>();
    } else {
        lstrcpynW(call->cutDefault, defaultText, TEXT_SIZE);
        call->defaultText = call->cutDefault;
    }

    ctx->prompt.pTextBox = call.get();
    ctx->prompt.TextBoxCaretDone = 0;
    ctx->prompt.TextBoxResult = nullptr;
    ctx->prompt.TextBoxFlags = flags;
    int inputState = OpenBoxFrame(ctx);
    const wchar_t* name = (flags & TEXTBOX_NO_WRAP) ? L"ASKTEXTBOX_NOWRAP" : L"ASKTEXTBOX_WRAP";
    INT_PTR answer = DialogBoxParamW(EngineModule(), name, ctx->hwndOwner, AskTextBoxDlgProc,
                                     reinterpret_cast<LPARAM>(ctx));
    CloseBoxFrame(ctx, inputState);
    SettleAfterBox(ctx);
    ctx->prompt.pTextBox = nullptr;

    if (answer == 0 || answer == -1) {
        if (ctx->prompt.TextBoxResult)
            GlobalFree(ctx->prompt.TextBoxResult);
        ctx->prompt.TextBoxResult = nullptr;
        SetError(ctx, answer == 0 ? uint16_t{CC_CANCEL} : ERR_NO_WINDOW);
        return;
    }
    StoreAnswer(ctx, *call, result);
}

INT_PTR CALLBACK AskTextBoxDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitTextBox(dialog, reinterpret_cast<BDS*>(lParam));
        return TRUE;
    case WM_SIZE:
        if (wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED)
            LayOut(dialog, LOWORD(lParam), HIWORD(lParam));
        return TRUE;
    case MSG_CARET_TO_END:
        CaretToEnd(dialog);
        return TRUE;
    case WM_COMMAND: {
        BDS* ctx = PromptBoxContext(dialog);
        if (!ctx || !ctx->prompt.pTextBox)
            return FALSE;
        int id = LOWORD(wParam);
        if (id == IDOK) {
            TakeTypedText(dialog, ctx);
            EndDialog(dialog, 1);
            return TRUE;
        }
        if (id == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        if (id == IDC_BOX_ANSWER && HIWORD(wParam) == EN_SETFOCUS && !ctx->prompt.TextBoxCaretDone) {
            ctx->prompt.TextBoxCaretDone = 1;
            if (ctx->prompt.TextBoxFlags & TEXTBOX_CARET_AT_END)
                PostMessageW(dialog, MSG_CARET_TO_END, 0, 0);
            return TRUE;
        }
        return FALSE;
    }
    default:
        return FALSE;
    }
}
