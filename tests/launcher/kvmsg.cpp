// kvmsg: window messages for the launcher's tests, beside the window probe: sends or posts a
// message to a window, or stands in as a parent window that reports the messages 1111 it gets.
//   kvmsg send HWND MSG WPARAM LPARAM  send a message (with a time-out), print the answer
//   kvmsg post HWND MSG WPARAM LPARAM   post a message
//   kvmsg parent SECONDS               a window that prints every message 1111 it receives
//                                      (first line: its handle in decimal); ends after SECONDS
//   kvmsg service NAME                 the service's status as QueryServiceStatus reads it:
//                                      "<state> <controls accepted, hex> <check point> <wait hint>"
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

HWND ParseHwnd(const char* text)
{
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(text, nullptr, 0)));
}

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == 1111) {
        std::printf("1111 %llu %lld\n", static_cast<unsigned long long>(wParam), static_cast<long long>(lParam));
        std::fflush(stdout);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int RunParent(int seconds)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "KvMsgParent";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, wc.lpszClassName, "kvmsg parent", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                                  nullptr, wc.hInstance, nullptr);
    std::printf("%llu\n", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
    std::fflush(stdout);
    DWORD end = GetTickCount() + DWORD(seconds) * 1000;
    while (int(end - GetTickCount()) > 0) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
    }
    return 0;
}

int PrintServiceStatus(const char* name)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceA(manager, name, SERVICE_QUERY_STATUS) : nullptr;
    SERVICE_STATUS status{};
    bool ok = service && QueryServiceStatus(service, &status);
    if (service)
        CloseServiceHandle(service);
    if (manager)
        CloseServiceHandle(manager);
    if (!ok)
        return 1;
    std::printf("%lu 0x%lX %lu %lu\n", status.dwCurrentState, status.dwControlsAccepted, status.dwCheckPoint,
                status.dwWaitHint);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    std::string command = argv[1];
    if ((command == "send" || command == "post") && argc == 6) {
        HWND window = ParseHwnd(argv[2]);
        UINT message = UINT(std::strtoul(argv[3], nullptr, 0));
        WPARAM wParam = WPARAM(std::strtoull(argv[4], nullptr, 0));
        LPARAM lParam = LPARAM(std::strtoll(argv[5], nullptr, 0));
        if (command == "post")
            return PostMessageA(window, message, wParam, lParam) ? 0 : 1;
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result))
            return 1;
        std::printf("%lld\n", static_cast<long long>(result));
        return 0;
    }
    if (command == "service" && argc == 3)
        return PrintServiceStatus(argv[2]);
    if (command == "parent" && argc == 3)
        return RunParent(std::atoi(argv[2]));
    return 2;
}
