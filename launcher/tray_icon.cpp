// The notification-area icon of IntControl 1007: add, remove, modify, and waiting for a click.
#include "launcher/launcher.h"

#include <shellapi.h>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

constexpr UINT TRAY_ICON_ID = 100;

struct TrayState {
    bool shown;
    HICON icon;
    int lastClick;         // 0 none, 1 left button, 2 right button
    bool waiting;
    bool timedOut;
};
TrayState g_tray;

bool StopRequested()
{
    return g_launcher.stopRequested || CallDllServices(REQ_STOP_PENDING, nullptr, nullptr, 0, 0) != 0;
}

// "file|index" names an icon in a file; "0" or empty names none. Wide: the file may lie in
// a folder named outside the ANSI code page (beside the program, say).
void SplitIconArgument(const wchar_t* argument, std::wstring& file, int& index)
{
    file.clear();
    index = 0;
    if (!argument || !*argument || std::wcscmp(argument, L"0") == 0)
        return;
    file = argument;
    size_t bar = file.find(L'|');
    if (bar != std::wstring::npos) {
        index = StringToInt(LossyAnsi(file.substr(bar + 1)).c_str());
        file.resize(bar);
    }
}

void TakeIcon(const wchar_t* iconArgument)
{
    std::wstring file;
    int index;
    SplitIconArgument(iconArgument, file, index);
    if (!file.empty()) {
        HICON extracted = ExtractIconW(g_launcher.instance, file.c_str(), UINT(index));
        if (reinterpret_cast<uintptr_t>(extracted) > 1) {
            if (g_tray.icon)
                DestroyIcon(g_tray.icon);
            g_tray.icon = extracted;
        }
    }
    if (!g_tray.icon)
        g_tray.icon = LoadIconA(g_launcher.instance, "MYICON");
}

NOTIFYICONDATAA IconRecord()
{
    NOTIFYICONDATAA data{};
    data.cbSize = sizeof(data);
    data.hWnd = g_launcher.mainWindow;
    data.uID = TRAY_ICON_ID;
    return data;
}

void SetTip(NOTIFYICONDATAA& data, const char* tip)
{
    if (tip && *tip && std::strcmp(tip, "0") != 0) {
        lstrcpynA(data.szTip, tip, 128);
        data.uFlags |= NIF_TIP;
    }
}

BOOL AddTrayIcon(const char* tip, const wchar_t* icon)
{
    NOTIFYICONDATAA data = IconRecord();
    data.uFlags = NIF_MESSAGE;
    data.uCallbackMessage = WM_KV_TRAY;
    SetTip(data, tip);
    TakeIcon(icon);
    if (g_tray.icon) {
        data.hIcon = g_tray.icon;
        data.uFlags |= NIF_ICON;
    }
    return Shell_NotifyIconA(NIM_ADD, &data);
}

BOOL ModifyTrayIcon(const char* tip, const wchar_t* icon, int flags)
{
    NOTIFYICONDATAA data = IconRecord();
    if (flags & 1) {
        data.uFlags |= NIF_TIP;
        SetTip(data, tip);
    }
    if (flags & 2) {
        if (g_tray.icon)
            DestroyIcon(g_tray.icon);
        g_tray.icon = nullptr;
        TakeIcon(icon);
        data.hIcon = g_tray.icon;
        data.uFlags |= NIF_ICON;
    }
    return Shell_NotifyIconA(NIM_MODIFY, &data);
}

void PumpDialogMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(int(message.wParam));
            g_tray.waiting = false;
            return;
        }
        if (!message.hwnd || !IsDialogMessageA(message.hwnd, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

// Waits for input or for the time-out on a waitable timer; 0 when the timer cannot be used.
int TimedWaitWithMessages(DWORD milliseconds)
{
    HANDLE timer = nullptr;
    if (milliseconds) {
        timer = CreateWaitableTimerA(nullptr, TRUE, nullptr);
        if (!timer)
            return 0;
        LARGE_INTEGER due;
        due.QuadPart = -LONGLONG(milliseconds) * 10000;
        if (!SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) {
            CloseHandle(timer);
            return 0;
        }
    }
    int answer = 1;
    for (;;) {
        DWORD rc = MsgWaitForMultipleObjects(timer ? 1 : 0, timer ? &timer : nullptr, FALSE, INFINITE, QS_ALLINPUT);
        if (timer && rc == WAIT_OBJECT_0)
            break;
        if (rc != WAIT_OBJECT_0 + (timer ? 1 : 0)) {
            answer = 0;
            break;
        }
        PumpDialogMessages();
        if (!g_tray.waiting || StopRequested())
            break;
    }
    if (timer) {
        CancelWaitableTimer(timer);
        CloseHandle(timer);
    }
    return answer;
}

void WaitForClick(HWND caller, int timeout, bool timed)
{
    g_tray.waiting = true;
    if (g_os.isNT5 && TimedWaitWithMessages(DWORD(timeout)))
        return;
    if (timed && timeout > 0) {
        SetTimer(caller, KV_TRAY_TIMER, UINT(timeout), nullptr);
        g_tray.timedOut = false;
    }
    while (g_tray.waiting && !StopRequested() && !(timed && timeout > 0 && g_tray.timedOut)) {
        WaitMessage();
        PumpDialogMessages();
    }
}

}  // namespace

bool TrayIconShown() { return g_tray.shown; }

BOOL RemoveTrayIcon()
{
    NOTIFYICONDATAA data = IconRecord();
    BOOL deleted = Shell_NotifyIconA(NIM_DELETE, &data);
    if (g_tray.icon)
        DestroyIcon(g_tray.icon);     // the icon handle goes with the icon
    g_tray.icon = nullptr;
    g_tray.shown = false;
    return deleted;
}

void TrayClick(LPARAM mouseMessage)
{
    if (mouseMessage == WM_LBUTTONDOWN)
        g_tray.lastClick = 1;
    else if (mouseMessage == WM_RBUTTONDOWN)
        g_tray.lastClick = 2;
    else
        return;
    g_tray.waiting = false;
}

void TrayTimeout() { g_tray.timedOut = true; }

int TrayIconRequest(HWND caller, int mode, int p2, const char* tip, const wchar_t* icon)
{
    if (!g_os.hasTray)
        return 0;
    switch (mode) {
    case 0: {
        int click = g_tray.lastClick;
        g_tray.lastClick = 0;
        return click;
    }
    case 1: {
        if (g_tray.shown)
            return 0;
        BOOL added = AddTrayIcon(tip, icon);
        if (!added)
            return 0;
        g_tray.shown = true;
        if (p2 & 1)
            ShowWindow(g_launcher.mainWindow, SW_HIDE);
        if (p2 & 2) {
            WaitForClick(caller, 0, false);
            return g_tray.lastClick;
        }
        return added;
    }
    case 2: {
        if (!g_tray.shown)
            return 0;
        BOOL deleted = RemoveTrayIcon();
        ShowWindow(g_launcher.mainWindow, g_launcher.showState);
        return deleted;
    }
    case 3: {
        if (!g_tray.shown)
            return 0;
        WaitForClick(caller, p2 < 0 ? 0 : p2, true);
        KillTimer(caller, KV_TRAY_TIMER);
        int click = g_tray.lastClick;
        g_tray.lastClick = 0;
        return click;
    }
    case 4:
        if (!g_tray.shown || p2 == 0)
            return 0;
        return ModifyTrayIcon(tip, icon, p2);
    default:
        return 0;
    }
}
