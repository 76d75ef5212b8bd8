// Waiting inside the launcher's functions: message pumping, the Ctrl+Break check and a wait
// that keeps the windows alive.
#include "launcher/launcher.h"

namespace {

bool KeyDown(int key)
{
    return (GetKeyState(key) & 0x8000) || (GetAsyncKeyState(key) & 0x8000);
}
}  // namespace

int CheckCtrlBreak()
{
    if (KeyDown(VK_CONTROL) && KeyDown(VK_CANCEL)
        && !(CallDllServices(REQ_CONTROL_FLAGS, nullptr, nullptr, 0, 0) & CONTROL_NO_BREAK)) {
        CallDllServices(REQ_STOP, nullptr, nullptr, 1, 0);
        return 1;
    }
    return CallDllServices(REQ_STOP_PENDING, nullptr, nullptr, 0, 0) ? 1 : 0;
}

int PumpLauncherMessages()
{
    MSG message;
    bool any = false;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        any = true;
        if (message.message == WM_QUIT) {          // leave it for the message loop
            PostQuitMessage(int(message.wParam));
            return 0;
        }
        HWND dialog = message.hwnd;
        if (dialog && (GetWindowLongA(dialog, GWL_STYLE) & WS_TABSTOP))
            dialog = GetParent(dialog);
        if (!dialog || !IsDialogMessageA(dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (CheckCtrlBreak())
            return 0;
        Sleep(20);
    }
    if (!any && CheckCtrlBreak())
        return 0;
    return 1;
}

int WaitWithMessages(DWORD milliseconds)
{
    if (milliseconds) {
        DWORD start = GetTickCount();
        DWORD remaining = milliseconds;
        for (;;) {
            DWORD rc = MsgWaitForMultipleObjects(0, nullptr, FALSE, remaining, QS_ALLINPUT);
            if (rc == WAIT_FAILED)
                break;
            if (!PumpLauncherMessages())
                return 0;
            DWORD elapsed = GetTickCount() - start;    // unsigned arithmetic handles the wrap
            if (elapsed >= milliseconds)
                break;
            remaining = milliseconds - elapsed;
        }
    }
    Sleep(0);
    return 1;
}
