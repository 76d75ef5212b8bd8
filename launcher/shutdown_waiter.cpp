// The shutdown waiter: after a run that armed it (IntControl 1005), the launcher stays alive
// in a hidden window and runs its script once more when the session ends.
#include "launcher/launcher.h"

namespace {
constexpr char WAITER_CLASS[] = "KVShutdownWaiter";
}

extern "C" __declspec(dllexport) LRESULT CALLBACK WaitShutWndProc(HWND window, UINT message, WPARAM wParam,
                                                                   LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_QUERYENDSESSION: {
        if (g_os.is9x)
            return TRUE;
        char caption[257], text[600];
        LoadLangString(g_launcher.instance, 7054, caption, sizeof(caption), false);
        LoadLangString(g_launcher.instance, 7055, text, sizeof(text), false);
        return MessageBoxA(window, text, caption, MB_OKCANCEL | MB_ICONWARNING | MB_SETFOREGROUND) != IDCANCEL;
    }
    case WM_ENDSESSION:
        if (wParam) {
            bool failed = false;
            RunMessageLoop(g_launcher.instance, 0, &failed);
        }
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

int RunShutdownWaiter(HINSTANCE instance)
{
    if (!RegisterLauncherClass(instance, WAITER_CLASS, WaitShutWndProc))
        return EXIT_WAITER_CLASS;

    char title[300];
    wsprintfA(title, "KvtShutdownRun - %s", g_launcher.programName[0] ? g_launcher.programName : DEFAULT_PROGRAM_NAME);
    int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    HWND window = CreateWindowExA(0, WAITER_CLASS, title, WS_OVERLAPPEDWINDOW, cx / 4, cy * 3 / 8, cx / 2, cy / 4,
                                  nullptr, nullptr, instance, nullptr);
    if (!window)
        return EXIT_WAITER_WINDOW;
    ShowWindow(window, SW_HIDE);

    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (g_launcher.exitCode != 0)
        return g_launcher.exitCode;
    return int(message.wParam);
}
