// The timed message of Display ("TDISPLAY") and its dialog procedures CopyrightWndProc and
// CopyrightWndProcW: the box sizes itself to its title and text, closes itself when its time
// has run out (in timer steps of at most 30 s) and at once on a key, a click or a command.
#include <cmath>
#include <memory>

#include "engine/core/context.h"
#include "engine/core/dialog_registry.h"
#include "engine/core/module.h"
#include "engine/core/system_flags.h"
#include "engine/system/input_block.h"
#include "engine/ui/foreground.h"
#include "engine/ui/prompt_boxes.h"
#include "engine/ui/script_boxes.h"

namespace {

constexpr UINT_PTR DISPLAY_TIMER_ID = 4;
constexpr int32_t LONGEST_STEP_MS = 30000;
constexpr UINT HELD_RECHECK_MS = 700;      // Alt or the left button held: look again then
constexpr double LONGEST_SECONDS = 3600;
constexpr double DEFAULT_SECONDS = 2;
constexpr int TITLE_SIZE = 2050;
constexpr int TEXT_SIZE = 1281;

struct DisplayCall {
    char title[TITLE_SIZE], text[TEXT_SIZE];
    wchar_t titleW[TITLE_SIZE], textW[TEXT_SIZE];
    HFONT textFont;    // the font the text is measured and drawn with
};

DisplayCall* CallOf(BDS* ctx) { return static_cast<DisplayCall*>(ctx->prompt.pDisplay); }

// The narrow and the wide procedure differ only in their texts and text calls.
struct NarrowTexts {
    static const char* Title(DisplayCall* c) { return c->title; }
    static const char* Text(DisplayCall* c) { return c->text; }
    static void SetTitle(HWND w, const char* t) { SetWindowTextA(w, t); }
    static int Draw(HDC dc, const char* t, RECT* r, UINT f) { return DrawTextA(dc, t, -1, r, f); }
};
struct WideTexts {
    static const wchar_t* Title(DisplayCall* c) { return c->titleW; }
    static const wchar_t* Text(DisplayCall* c) { return c->textW; }
    static void SetTitle(HWND w, const wchar_t* t) { SetWindowTextW(w, t); }
    static int Draw(HDC dc, const wchar_t* t, RECT* r, UINT f) { return DrawTextW(dc, t, -1, r, f); }
};

// Starts the next timer step and takes it off the time that remains.
void StartStep(BDS* ctx, HWND dialog)
{
    int32_t step = ctx->prompt.DisplayRemainingMs < LONGEST_STEP_MS ? ctx->prompt.DisplayRemainingMs : LONGEST_STEP_MS;
    if (step < 0)
        step = 0;
    ctx->prompt.DisplayTimer = SetTimer(dialog, DISPLAY_TIMER_ID, static_cast<UINT>(step), nullptr);
    ctx->prompt.DisplayRemainingMs -= step;
}

bool Held(int key) { return (GetAsyncKeyState(key) & 0x8000) != 0; }

// A step has passed (or the user asked to close): go on, or close unless Alt or the left
// button is held down.
void Step(BDS* ctx, HWND dialog)
{
    if (ctx->prompt.DisplayRemainingMs > 1) {
        StartStep(ctx, dialog);
        return;
    }
    if (Held(VK_MENU) || Held(VK_LBUTTON)) {
        ctx->prompt.DisplayTimer = SetTimer(dialog, DISPLAY_TIMER_ID, HELD_RECHECK_MS, nullptr);
        return;
    }
    KillTimer(dialog, DISPLAY_TIMER_ID);
    EndDialog(dialog, 1);
}

HFONT CaptionFont()
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        return CreateFontIndirectW(&metrics.lfCaptionFont);
    return nullptr;
}

HFONT TextFont(BDS* ctx, HWND dialog)
{
    if (SystemFacts().OsHasNewShell && ctx->eng.ctl.DisplayGuiFont)
        return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    return reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
}

constexpr UINT MEASURE = DT_CALCRECT | DT_EXPANDTABS | DT_CENTER;

// Sizes the box to its title and text and centres it.
template <typename Texts>
void FitToText(BDS* ctx, HWND dialog, DisplayCall* call)
{
    HDC dc = GetDC(dialog);
    if (!dc)
        return;
    HFONT captionFont = CaptionFont();
    HGDIOBJ old = SelectObject(dc, captionFont ? static_cast<HGDIOBJ>(captionFont) : GetStockObject(SYSTEM_FONT));
    RECT titleBox{};
    Texts::Draw(dc, Texts::Title(call), &titleBox, MEASURE);
    call->textFont = TextFont(ctx, dialog);
    SelectObject(dc, call->textFont ? static_cast<HGDIOBJ>(call->textFont) : GetStockObject(SYSTEM_FONT));
    RECT textBox{};
    Texts::Draw(dc, Texts::Text(call), &textBox, MEASURE);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(dialog, dc);
    if (captionFont)
        DeleteObject(captionFont);

    LONG titleWidth = titleBox.right - titleBox.left, textWidth = textBox.right - textBox.left;
    int width = (titleWidth > textWidth ? titleWidth : textWidth) +
                2 * (GetSystemMetrics(SM_CXBORDER) + 3 * metrics.tmAveCharWidth);
    int height = 2 * (GetSystemMetrics(SM_CYBORDER) + metrics.tmHeight) + GetSystemMetrics(SM_CYCAPTION) +
                 (textBox.bottom - textBox.top);
    MoveWindow(dialog, 0, 0, width, height, FALSE);
    CenterWindow(dialog);
}

template <typename Texts>
void InitDisplay(HWND dialog, BDS* ctx)
{
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(ctx));
    DlgPointLookup(dialog, reinterpret_cast<uintptr_t>(ctx));
    DisplayCall* call = CallOf(ctx);
    PlayEventSound(ctx, "SystemExclamation", SOUND_BOX);
    StartStep(ctx, dialog);
    Texts::SetTitle(dialog, Texts::Title(call));
    if (ctx->prompt.DisplayHidden) {
        ShowWindow(dialog, SW_HIDE);
        SetWindowPos(dialog, nullptr, 0, 0, 1, 1, SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    FitToText<Texts>(ctx, dialog, call);
    if (ctx->eng.ctl.ActivateMethodBox > 0)
        ForceForegroundWindowA(ctx, dialog, SELECT_BOX_ACTIVATION);
}

template <typename Texts>
void Paint(HWND dialog, BDS* ctx)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(dialog, &paint);
    if (!dc)
        return;
    DisplayCall* call = CallOf(ctx);
    HGDIOBJ old = call->textFont ? SelectObject(dc, call->textFont) : nullptr;
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    RECT client{};
    GetClientRect(dialog, &client);
    client.top += metrics.tmHeight;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    Texts::Draw(dc, Texts::Text(call), &client, DT_CENTER | DT_EXPANDTABS);
    if (old)
        SelectObject(dc, old);
    EndPaint(dialog, &paint);
}

template <typename Texts>
INT_PTR DisplayProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitDisplay<Texts>(dialog, reinterpret_cast<BDS*>(lParam));
        return TRUE;
    case WM_WINDOWPOSCHANGING: {
        // The dialog manager shows every modal box once its queue is empty; a hidden
        // Display must never appear.
        BDS* ctx = PromptBoxContext(dialog);
        if (ctx && ctx->prompt.DisplayHidden)
            reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~SWP_SHOWWINDOW;
        return FALSE;
    }
    case WM_PAINT: {
        BDS* ctx = PromptBoxContext(dialog);
        if (!ctx || !ctx->prompt.pDisplay)
            return FALSE;
        if (ctx->prompt.DisplayHidden) {
            ShowWindow(dialog, SW_HIDE);
            ValidateRect(dialog, nullptr);
            return TRUE;
        }
        Paint<Texts>(dialog, ctx);
        return TRUE;
    }
    case WM_TIMER: {
        BDS* ctx = PromptBoxContext(dialog);
        if (wParam != DISPLAY_TIMER_ID || !ctx)
            return FALSE;
        Step(ctx, dialog);
        return TRUE;
    }
    case WM_KEYDOWN:
    case WM_CHAR:
    case WM_COMMAND:
    case WM_LBUTTONUP: {
        BDS* ctx = PromptBoxContext(dialog);
        if (!ctx) {
            EndDialog(dialog, 1);
            return TRUE;
        }
        ctx->prompt.DisplayRemainingMs = 1;
        Step(ctx, dialog);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

// The time of the box in milliseconds: 0 (or not a number) means 2 s, at most 3600 s.
int32_t DisplayMilliseconds(double seconds)
{
    double s = std::isnan(seconds) ? 0 : std::fabs(seconds);
    if (s == 0)
        s = DEFAULT_SECONDS;
    if (s > LONGEST_SECONDS)
        s = LONGEST_SECONDS;
    return static_cast<int32_t>(s * 1000);
}

template <typename RunDialog>
int RunDisplay(BDS* ctx, double seconds, DisplayCall& call, RunDialog run)
{
    ctx->prompt.DisplayRemainingMs = DisplayMilliseconds(seconds);
    int inputState = OpenBoxFrame(ctx);
    ctx->prompt.pDisplay = &call;
    ctx->prompt.DisplayHidden = seconds < 0 ? 1 : 0;
    INT_PTR answer = run();
    ctx->prompt.DisplayHidden = 0;
    ctx->prompt.pDisplay = nullptr;
    CloseBoxFrame(ctx, inputState);
    SettleAfterBox(ctx);
    return answer == 1 ? ctx->prompt.DisplayRemainingMs : 0;
}

}  // namespace

int DoDisplayA(BDS* ctx, double seconds, const char* title, const char* text)
{
    auto call = std::make_unique<DisplayCall>();
    lstrcpynA(call->title, title ? title : "", TITLE_SIZE);
    lstrcpynA(call->text, text ? text : "", TEXT_SIZE);
    return RunDisplay(ctx, seconds, *call, [&] {
        return DialogBoxParamA(EngineModule(), "TDISPLAY", ctx->hwndOwner, CopyrightWndProc,
                               reinterpret_cast<LPARAM>(ctx));
    });
}

int DoDisplayW(BDS* ctx, double seconds, const wchar_t* title, const wchar_t* text)
{
    auto call = std::make_unique<DisplayCall>();
    lstrcpynW(call->titleW, title ? title : L"", TITLE_SIZE);
    lstrcpynW(call->textW, text ? text : L"", TEXT_SIZE);
    return RunDisplay(ctx, seconds, *call, [&] {
        return DialogBoxParamW(EngineModule(), L"TDISPLAY", ctx->hwndOwner, CopyrightWndProcW,
                               reinterpret_cast<LPARAM>(ctx));
    });
}

extern "C" INT_PTR CALLBACK CopyrightWndProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DisplayProc<NarrowTexts>(dialog, message, wParam, lParam);
}

INT_PTR CALLBACK CopyrightWndProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DisplayProc<WideTexts>(dialog, message, wParam, lParam);
}
