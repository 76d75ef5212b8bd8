// The one-line boxes of AskLine and AskPassword ("LINEASK", "PSWDASK"), their dialog
// procedure GetVarBoxProc, and the typed text written out in AskLine's formats.
#include <cstdio>
#include <memory>
#include <string>

#include "engine/core/button_texts.h"
#include "engine/core/context.h"
#include "engine/core/dialog_registry.h"
#include "engine/core/errors.h"
#include "engine/core/module.h"
#include "engine/system/input_block.h"
#include "engine/ui/foreground.h"
#include "engine/ui/prompt_boxes.h"
#include "engine/ui/script_boxes.h"

namespace {

constexpr uint16_t ERR_BAD_FORMAT = 1764;      // "AskLine: Invalid format"
constexpr uint16_t ERR_NO_WINDOW = 3104;       // "Dialog Box: Window Creation Failed"
constexpr int LINE_SIZE = 2050;                // bytes of a narrow text; the edit takes 2049
constexpr int LINE_SIZE_WIDE = 2 * LINE_SIZE;  // units of the wide answer area

// What one AskLine or AskPassword call shows and what comes back; the texts of one width
// are set, the other stays empty.
struct LineBoxCall {
    char title[LINE_SIZE], prompt[LINE_SIZE], defaultText[LINE_SIZE], typed[LINE_SIZE];
    wchar_t titleW[LINE_SIZE], promptW[LINE_SIZE], defaultTextW[LINE_SIZE], typedW[LINE_SIZE_WIDE];
};

bool ValidFormat(int32_t format) { return format >= LINE_AS_ANSI && format <= LINE_AS_HEX_TOO; }

void InitLineBox(HWND dialog, BDS* ctx)
{
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(ctx));
    DlgPointLookup(dialog, reinterpret_cast<uintptr_t>(ctx));
    auto* call = static_cast<LineBoxCall*>(ctx->prompt.pLineBox);
    bool wide = ctx->prompt.WideBox != 0;
    if (wide) {
        SetButtonTextsW(ctx, dialog);
        SetWindowTextW(dialog, call->titleW);
    } else {
        SetButtonTextsA(ctx, dialog);
        SetWindowTextA(dialog, call->title);
    }
    CenterWindow(dialog);
    if (wide) {
        SetDlgItemTextW(dialog, IDC_BOX_PROMPT, call->promptW);
        SetDlgItemTextW(dialog, IDC_BOX_ANSWER, call->defaultTextW);
    } else {
        SetDlgItemTextA(dialog, IDC_BOX_PROMPT, call->prompt);
        SetDlgItemTextA(dialog, IDC_BOX_ANSWER, call->defaultText);
    }
    SendDlgItemMessageW(dialog, IDC_BOX_ANSWER, EM_LIMITTEXT, LINE_SIZE - 1, 0);
    if (ctx->eng.ctl.BoxFontMode == 2 || wide)
        SetPromptBoxFont(dialog);
    PlayEventSound(ctx, "SystemQuestion", SOUND_BOX);
    if (ctx->eng.ctl.ActivateMethodBox >= 1)
        ForceForegroundWindowA(ctx, dialog, SELECT_BOX_ACTIVATION);
}

// OK keeps the edit's text in the call record.
void TakeTypedText(HWND dialog, BDS* ctx)
{
    auto* call = static_cast<LineBoxCall*>(ctx->prompt.pLineBox);
    if (ctx->prompt.WideBox)
        GetDlgItemTextW(dialog, IDC_BOX_ANSWER, call->typedW, LINE_SIZE_WIDE);
    else
        GetDlgItemTextA(dialog, IDC_BOX_ANSWER, call->typed, LINE_SIZE);
}

// ---------------------------------------------------------------- the answer by format

std::wstring Widened(BDS* ctx, const char* text)
{
    UINT page = ValueCodePage(ctx);
    int n = MultiByteToWideChar(page, 0, text, -1, nullptr, 0);
    std::wstring out(n > 0 ? n : 1, L'\0');
    if (n > 0)
        MultiByteToWideChar(page, 0, text, -1, out.data(), n);
    out.resize(out.size() - 1);
    return out;
}

std::string Narrowed(BDS* ctx, const wchar_t* text)
{
    UINT page = ValueCodePage(ctx);
    int n = WideCharToMultiByte(page, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 1, '\0');
    if (n > 0)
        WideCharToMultiByte(page, 0, text, -1, out.data(), n, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

// Every UTF-16 unit as its two bytes, low byte first, in upper-case hex.
std::string HexOfUnits(const std::wstring& text)
{
    std::string out;
    out.reserve(text.size() * 4);
    char digits[8];
    for (wchar_t unit : text) {
        std::snprintf(digits, sizeof digits, "%02X%02X", unit & 0xFF, (unit >> 8) & 0xFF);
        out += digits;
    }
    return out;
}

// Formats 1 to 3 (the setters set 3096 when the string heap refuses).
void StoreTyped(BDS* ctx, resultants* result, const std::wstring& typed, int32_t format)
{
    if (format == LINE_AS_WIDE) {
        SetResultWText(ctx, result, typed.c_str(), typed.size());
        return;
    }
    std::string hex = HexOfUnits(typed);
    SetResultText(ctx, result, hex.c_str(), hex.size());
}

// ---------------------------------------------------------------- the run

// The box frame around the modal dialog; answers the dialog's result.
template <typename RunDialog>
INT_PTR RunLineBox(BDS* ctx, LineBoxCall& call, bool wide, RunDialog run)
{
    ctx->prompt.pLineBox = &call;
    uint32_t savedWide = ctx->prompt.WideBox;
    ctx->prompt.WideBox = wide ? 1 : 0;
    int inputState = OpenBoxFrame(ctx);
    INT_PTR answer = run();
    CloseBoxFrame(ctx, inputState);
    SettleAfterBox(ctx);
    ctx->prompt.WideBox = savedWide;
    ctx->prompt.pLineBox = nullptr;
    return answer;
}

// A cancelled or failed box sets its error; answers whether a text was typed.
bool Answered(BDS* ctx, INT_PTR answer)
{
    if (answer == 0) {
        SetError(ctx, CC_CANCEL);
        return false;
    }
    if (answer == -1) {
        SetError(ctx, ERR_NO_WINDOW);
        return false;
    }
    return true;
}

const char* Template(bool password) { return password ? "PSWDASK" : "LINEASK"; }
const wchar_t* TemplateW(bool password) { return password ? L"PSWDASK" : L"LINEASK"; }

}  // namespace

void DoAskLineA(BDS* ctx, const char* title, const char* prompt, const char* defaultText, resultants* result,
                bool password, int32_t format)
{
    if (!ValidFormat(format)) {
        SetError(ctx, ERR_BAD_FORMAT);
        return;
    }
    auto call = std::make_unique<LineBoxCall>();
    lstrcpynA(call->title, title ? title : "", LINE_SIZE);
    lstrcpynA(call->prompt, prompt ? prompt : "", LINE_SIZE);
    if (!password)
        lstrcpynA(call->defaultText, defaultText ? defaultText : "", LINE_SIZE);
    INT_PTR answer = RunLineBox(ctx, *call, false, [&] {
        return DialogBoxParamA(EngineModule(), Template(password), ctx->hwndOwner, GetVarBoxProc,
                               reinterpret_cast<LPARAM>(ctx));
    });
    if (!Answered(ctx, answer))
        return;
    if (format == LINE_AS_ANSI) {
        SetResultText(ctx, result, call->typed);
        return;
    }
    StoreTyped(ctx, result, Widened(ctx, call->typed), format);
}

void DoAskLineW(BDS* ctx, const wchar_t* title, const wchar_t* prompt, const wchar_t* defaultText,
                resultants* result, bool password, int32_t format)
{
    if (!ValidFormat(format)) {
        SetError(ctx, ERR_BAD_FORMAT);
        return;
    }
    auto call = std::make_unique<LineBoxCall>();
    lstrcpynW(call->titleW, title ? title : L"", LINE_SIZE);
    lstrcpynW(call->promptW, prompt ? prompt : L"", LINE_SIZE);
    if (!password)
        lstrcpynW(call->defaultTextW, defaultText ? defaultText : L"", LINE_SIZE);
    INT_PTR answer = RunLineBox(ctx, *call, true, [&] {
        return DialogBoxParamW(EngineModule(), TemplateW(password), ctx->hwndOwner, GetVarBoxProc,
                               reinterpret_cast<LPARAM>(ctx));
    });
    if (!Answered(ctx, answer))
        return;
    if (format == LINE_AS_ANSI) {
        std::string narrow = Narrowed(ctx, call->typedW);
        SetResultText(ctx, result, narrow.c_str(), narrow.size());
        return;
    }
    StoreTyped(ctx, result, call->typedW, format);
}

void SetPromptBoxFont(HWND dialog)
{
    auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    const int ids[] = {IDC_BOX_PROMPT, IDC_BOX_ANSWER, IDOK, IDCANCEL};
    for (int id : ids)
        SendDlgItemMessageW(dialog, id, WM_SETFONT, font, FALSE);
}

BDS* PromptBoxContext(HWND dialog)
{
    if (auto* ctx = reinterpret_cast<BDS*>(GetWindowLongPtrW(dialog, DWLP_USER)))
        return ctx;
    return DlgPointLookup(dialog, DLG_LOOKUP_QUIET);
}

extern "C" INT_PTR CALLBACK GetVarBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitLineBox(dialog, reinterpret_cast<BDS*>(lParam));
        return TRUE;   // the focus goes to the edit
    case WM_COMMAND: {
        BDS* ctx = PromptBoxContext(dialog);
        if (!ctx || !ctx->prompt.pLineBox)
            return FALSE;
        if (LOWORD(wParam) == IDOK) {
            TakeTypedText(dialog, ctx);
            EndDialog(dialog, 1);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    }
    default:
        return FALSE;
    }
}
