// The window state built-ins: WinClose, WinHide, WinIconize, WinZoom, WinShow, WinTitle and
// WinState. Each finds its window with the context's retry count; a failed post or show is
// no error, a window that is not found is the built-in's own.
//
// Another program's window changes state by the system command posted to it, so that the
// program acts as if the user had chosen it; the script's own window is changed directly,
// since the script's thread is the one that would have to read the posted command.
#include "engine/ui/window_state.h"

#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/core/pump.h"
#include "engine/core/text_bounded.h"
#include "engine/ui/window_args.h"

namespace {

constexpr uint16_t ERR_WINCLOSE_NOT_FOUND = 1039;    // "WinClose: Window not found"
constexpr uint16_t ERR_WINHIDE_NOT_FOUND = 1040;     // "WinHide: Window not found"
constexpr uint16_t ERR_WINICONIZE_NOT_FOUND = 1041;  // "WinIconize: Window not found"
constexpr uint16_t ERR_WINZOOM_NOT_FOUND = 1042;     // "WinZoom: Window not found"
constexpr uint16_t ERR_WINSHOW_NOT_FOUND = 1043;     // "WinShow: Window not found"
constexpr uint16_t ERR_WINTITLE_NOT_FOUND = 1121;    // "WinTitle: Window not found"

enum : int { STATE_HIDDEN = -1, STATE_NONE = 0, STATE_ICON = 1, STATE_NORMAL = 2, STATE_ZOOMED = 3 };

bool IsScriptWindow(BDS* ctx, HWND window) { return window == ctx->hwndParent; }

void Close(BDS* ctx, HWND window) { CloseWindowByCommand(ctx, window); }

void Hide(BDS*, HWND window) { ShowWindow(window, SW_HIDE); }

void Iconize(BDS* ctx, HWND window)
{
    if (IsIconic(window))
        return;
    if (IsScriptWindow(ctx, window))
        ShowWindow(window, SW_SHOWMINNOACTIVE);
    else
        PostSystemCommand(ctx, window, SC_MINIMIZE);
}

void Zoom(BDS* ctx, HWND window)
{
    if (IsZoomed(window))
        return;
    if (IsScriptWindow(ctx, window))
        ShowWindow(window, SW_SHOWMAXIMIZED);
    else
        PostSystemCommand(ctx, window, SC_MAXIMIZE);
}

void Show(BDS* ctx, HWND window)
{
    if (IsScriptWindow(ctx, window))
        ShowWindow(window, SW_SHOWNOACTIVATE);
    else if (!IsWindowVisible(window))
        ShowWindow(window, SW_SHOW);
    else
        PostSystemCommand(ctx, window, SC_RESTORE);
}

using StateChange = void (*)(BDS* ctx, HWND window);

void ChangeState(BDS* ctx, BuiltinCall& call, uint16_t notFound, StateChange change)
{
    if (HWND window = FindWindowArgOr(ctx, call, 1, notFound)) {
        change(ctx, window);
        SetResultInt(ctx, call.result, 1);
    }
}

void CaseWinClose(BDS* ctx, BuiltinCall& call) { ChangeState(ctx, call, ERR_WINCLOSE_NOT_FOUND, Close); }
void CaseWinHide(BDS* ctx, BuiltinCall& call) { ChangeState(ctx, call, ERR_WINHIDE_NOT_FOUND, Hide); }
void CaseWinIconize(BDS* ctx, BuiltinCall& call) { ChangeState(ctx, call, ERR_WINICONIZE_NOT_FOUND, Iconize); }
void CaseWinZoom(BDS* ctx, BuiltinCall& call) { ChangeState(ctx, call, ERR_WINZOOM_NOT_FOUND, Zoom); }
void CaseWinShow(BDS* ctx, BuiltinCall& call) { ChangeState(ctx, call, ERR_WINSHOW_NOT_FOUND, Show); }

// WinTitle(title, new title): the new title is bounded like every window title.
void CaseWinTitle(BDS* ctx, BuiltinCall& call)
{
    HWND window = FindWindowArgOr(ctx, call, 1, ERR_WINTITLE_NOT_FOUND);
    if (!window)
        return;
    if (ArgIsWide(call, 2)) {
        wchar_t title[BOX_TEXT_SIZE];
        CopyStringBoundedW(ctx, title, ArgWText(ctx, call, 2), BOX_TEXT_SIZE);
        SetWindowTextW(window, title);
    } else {
        char title[BOX_TEXT_SIZE];
        CopyStringBoundedA(ctx, title, ArgText(ctx, call, 2), BOX_TEXT_SIZE);
        SetWindowTextA(window, title);
    }
    SetResultInt(ctx, call.result, 1);
}

// WinState(title): -1 hidden, 1 iconic, 2 normal, 3 zoomed; 0 (no error) when not found.
void CaseWinState(BDS* ctx, BuiltinCall& call)
{
    HWND window = FindWindowArg(ctx, call, 1);
    int state = STATE_NONE;
    if (window) {
        if (!IsWindowVisible(window))
            state = STATE_HIDDEN;
        else if (IsZoomed(window))
            state = STATE_ZOOMED;
        else if (IsIconic(window))
            state = STATE_ICON;
        else
            state = STATE_NORMAL;
    }
    SetResultInt(ctx, call.result, state);
}

const BuiltinRow kRows[] = {
    {762, CaseWinClose}, {771, CaseWinHide},  {772, CaseWinIconize}, {793, CaseWinShow},
    {794, CaseWinState}, {796, CaseWinTitle}, {802, CaseWinZoom},
};

}  // namespace

bool PostSystemCommand(BDS* ctx, HWND window, WPARAM command)
{
    if (!PostMessageA(window, WM_SYSCOMMAND, command, 0))
        return false;
    if (ctx->eng.ctl.PostedMessageDelay)
        WaitPumping(ctx, ctx->eng.ctl.PostedMessageDelay);
    return true;
}

void CloseWindowByCommand(BDS* ctx, HWND window)
{
    if (!IsScriptWindow(ctx, window))
        PostSystemCommand(ctx, window, SC_CLOSE);
}

extern const BuiltinFamily g_WindowStateBuiltins = {"window-state", kRows,
                                                    static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
