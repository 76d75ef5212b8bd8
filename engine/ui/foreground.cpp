// Foreground forcing with its five methods, the invisible activation dialog, activation of
// a script's target window, and centring.
//
// The system grants SetForegroundWindow only to the process that owns the foreground, so
// the stronger methods borrow that right: method 4 joins the foreground thread's input for
// the call, method 5 first shows an invisible dialog of our own, which makes this process
// the foreground owner for a moment.
#include "engine/ui/foreground.h"

#include "engine/core/context.h"
#include "engine/core/module.h"
#include "engine/core/pump.h"
#include "engine/core/system_flags.h"

namespace {

constexpr UINT_PTR DUMMY_TIMER_ID = 4;
int g_dummyDepth = 0;   // the invisible dialog is never nested inside itself

int MethodFor(BDS* ctx, int selector)
{
    return selector == SELECT_BOX_ACTIVATION ? ctx->eng.ctl.ActivateMethodBox
                                             : ctx->eng.ctl.ActivateMethodTarget;
}

// One click one pixel inside the window's lower-left corner; the cursor is put back.
void ClickInside(const RECT& box)
{
    POINT saved;
    GetCursorPos(&saved);
    int x = box.left + 1;
    int y = box.bottom - 1;
    SetCursorPos(x, y);
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    DWORD ax = width > 1 ? static_cast<DWORD>(MulDiv(x, 65535, width - 1)) : 0;
    DWORD ay = height > 1 ? static_cast<DWORD>(MulDiv(y, 65535, height - 1)) : 0;
    mouse_event(MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTDOWN, ax, ay, 0, 0);
    mouse_event(MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTUP, ax, ay, 0, 0);
    Sleep(0);
    SetCursorPos(saved.x, saved.y);
}

int TopmostAndClick(BDS* ctx, HWND window, LONG_PTR exStyle)
{
    ShowWindow(window, SW_SHOW);
    RECT box{};
    GetWindowRect(window, &box);
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    bool madeTopmost = !(exStyle & WS_EX_TOPMOST);
    if (madeTopmost)
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    int result = SwitchToWindowByProc(window);
    if (IsWindowVisible(window) && IsWindowEnabled(window) && !IsIconic(window))
        ClickInside(box);
    if (madeTopmost) {
        SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        if (g_System.OsIsWin8Plus)   // newer systems may leave it topmost after one call
            SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
    PumpMessages(ctx);
    return result;
}

int WithoutLockTimeout(HWND window)
{
    DWORD saved = 0;
    bool changed = false;
    if (SystemParametersInfoA(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &saved, 0) && saved != 0)
        changed = SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, 0) != FALSE;
    int result = SetForegroundWindow(window) ? 1 : 0;
    if (changed)
        SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0,
                              reinterpret_cast<void*>(static_cast<uintptr_t>(saved)), 0);
    return result;
}

int WithForegroundInput(BDS* ctx, HWND window, bool dummyFirst)
{
    HWND foreground = GetForegroundWindow();
    if (dummyFirst && foreground != window && g_dummyDepth == 0) {
        DialogBoxParamA(EngineModule(), "DUMMY", ctx->hwndOwner, DummyDialogProc,
                        reinterpret_cast<LPARAM>(ctx));
        foreground = GetForegroundWindow();
    }
    // A window that already has the foreground has nothing to borrow from itself; joining
    // its thread's input and leaving again would take the foreground from it on systems
    // that give a detached thread fresh input state.
    DWORD ours = GetCurrentThreadId();
    DWORD theirs = foreground && foreground != window ? GetWindowThreadProcessId(foreground, nullptr) : 0;
    bool attached = theirs && theirs != ours && AttachThreadInput(theirs, ours, TRUE);
    int result = SetForegroundWindow(window) ? 1 : 0;
    if (attached)
        AttachThreadInput(theirs, ours, FALSE);
    return result;
}

// The enabled, visible top-level window whose chain of parents reaches the disabled one.
HWND PopupInFrontOf(HWND disabled)
{
    for (HWND w = GetWindow(GetDesktopWindow(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (!IsWindowEnabled(w) || !IsWindowVisible(w))
            continue;
        for (HWND up = GetParent(w); up; up = GetParent(up))
            if (up == disabled)
                return w;
    }
    return nullptr;
}

}  // namespace

int ForceForegroundWindow(BDS* ctx, HWND window, int selector, int wide)
{
    int method = MethodFor(ctx, selector);
    if (method < 0)
        return 0;
    LONG_PTR exStyle = wide ? GetWindowLongPtrW(window, GWL_EXSTYLE) : GetWindowLongPtrA(window, GWL_EXSTYLE);
    switch (method) {
    case 1:
        return TopmostAndClick(ctx, window, exStyle);
    case 2:
        ShowWindow(window, SW_MINIMIZE);
        return SwitchToWindowByProc(window);
    case 3:
        return WithoutLockTimeout(window);
    case 4:
    case 5:
        return WithForegroundInput(ctx, window, method == 5);
    default:
        return SetForegroundWindow(window) ? 1 : 0;
    }
}

int ForceForegroundWindowA(BDS* ctx, HWND window, int selector)
{
    return ForceForegroundWindow(ctx, window, selector, 0);
}

int ForceForegroundWindowW(BDS* ctx, HWND window, int selector)
{
    return ForceForegroundWindow(ctx, window, selector, 1);
}

int SwitchToWindowByProc(HWND window)
{
    using PfnSwitchToThisWindow = void(WINAPI*)(HWND, BOOL);
    HMODULE user = GetModuleHandleA("USER32.DLL");
    auto entry = user ? reinterpret_cast<PfnSwitchToThisWindow>(
                            reinterpret_cast<void*>(GetProcAddress(user, "SwitchToThisWindow")))
                      : nullptr;
    if (!entry)
        return 0;
    entry(window, TRUE);
    return 1;
}

INT_PTR CALLBACK DummyDialogProc(HWND dialog, UINT message, WPARAM, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        auto* ctx = reinterpret_cast<BDS*>(lParam);
        ++g_dummyDepth;
        SetTimer(dialog, DUMMY_TIMER_ID, 0, nullptr);
        if (ctx && ctx->eng.ctl.ActivateMethodBox >= 1)
            ForceForegroundWindowA(ctx, dialog, SELECT_BOX_ACTIVATION);
        --g_dummyDepth;
        return TRUE;
    }
    case WM_TIMER:
        KillTimer(dialog, DUMMY_TIMER_ID);
        EndDialog(dialog, 1);
        return TRUE;
    default:
        return FALSE;
    }
}

void ActivateWindowHandle(BDS* ctx, HWND window)
{
    if (IsWindowEnabled(window)) {
        SetForegroundWindow(window);
        SetFocus(GetTopWindow(window));
        WaitPumping(ctx, 50);
        if (IsIconic(window)) {
            if (PostMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0) && ctx->eng.ctl.PostedMessageDelay)
                WaitPumping(ctx, ctx->eng.ctl.PostedMessageDelay);
            return;
        }
        if (ctx->eng.ctl.ActivateMethodTarget != 0)
            ForceForegroundWindowA(ctx, window, SELECT_TARGET_ACTIVATION);
        return;
    }
    // A disabled window has a modal popup in front of it: that popup is what the user means.
    HWND popup = PopupInFrontOf(window);
    if (!popup)
        return;   // nothing enabled to bring forward
    SetForegroundWindow(window);
    WaitPumping(ctx, 25);
    SetForegroundWindow(GetTopWindow(popup));
    WaitPumping(ctx, 50);
    if (ctx->eng.ctl.ActivateMethodTarget != 0)
        ForceForegroundWindowA(ctx, popup, SELECT_TARGET_ACTIVATION);
}

void CenterWindow(HWND window)
{
    RECT box;
    if (!window || !GetWindowRect(window, &box))
        return;
    int width = box.right - box.left;
    int height = box.bottom - box.top;
    MoveWindow(window, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, FALSE);
}
