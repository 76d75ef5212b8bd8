// kvprobe: looks at and acts on the windows of a running program for the launcher's tests.
//   kvprobe windows EXE-NAME          top-level windows of processes running EXE-NAME:
//                                     hwnd, class, visible, title, then static texts of boxes
//   kvprobe send HWND MSG WPARAM LPARAM   send a message (with a time-out), print the answer
//   kvprobe post HWND MSG WPARAM LPARAM   post a message
//   kvprobe click HWND TEXT           press the button of a box whose text is TEXT
//   kvprobe parent SECONDS            a window that prints every message 1111 it receives
//                                     (first line: its handle in decimal) and ends after SECONDS
#include <windows.h>
#include <psapi.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

HWND ParseHwnd(const char* text)
{
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(text, nullptr, 0)));
}

std::string ImageName(DWORD pid)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process)
        return "";
    char path[MAX_PATH] = "";
    DWORD size = MAX_PATH;
    QueryFullProcessImageNameA(process, 0, path, &size);
    CloseHandle(process);
    const char* name = std::strrchr(path, '\\');
    return name ? name + 1 : path;
}

BOOL CALLBACK PrintChildText(HWND child, LPARAM)
{
    char cls[64] = "", text[1024] = "";
    GetClassNameA(child, cls, sizeof(cls));
    if (lstrcmpiA(cls, "Static") == 0 || lstrcmpiA(cls, "Button") == 0) {
        GetWindowTextA(child, text, sizeof(text));
        for (char* p = text; *p; ++p)
            if (*p == '\n' || *p == '\r')
                *p = '~';
        if (text[0])
            std::printf("\t%s:%s\n", cls, text);
    }
    return TRUE;
}

BOOL CALLBACK PrintWindow(HWND window, LPARAM wanted)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (lstrcmpiA(ImageName(pid).c_str(), reinterpret_cast<const char*>(wanted)) != 0)
        return TRUE;
    char cls[128] = "", title[512] = "";
    GetClassNameA(window, cls, sizeof(cls));
    GetWindowTextA(window, title, sizeof(title));
    std::printf("%llu\t%s\t%d\t%d\t%s\n", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)), cls,
                IsWindowVisible(window) ? 1 : 0, IsIconic(window) ? 1 : 0, title);
    if (std::strcmp(cls, "#32770") == 0)
        EnumChildWindows(window, PrintChildText, 0);
    return TRUE;
}

struct ButtonSearch {
    const char* text;
    HWND found;
};

BOOL CALLBACK FindButton(HWND child, LPARAM data)
{
    auto* search = reinterpret_cast<ButtonSearch*>(data);
    char text[256] = "";
    GetWindowTextA(child, text, sizeof(text));
    std::string plain;
    for (char* p = text; *p; ++p)
        if (*p != '&')
            plain += *p;
    if (lstrcmpiA(plain.c_str(), search->text) == 0) {
        search->found = child;
        return FALSE;
    }
    return TRUE;
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
    wc.lpszClassName = "KvProbeParent";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, wc.lpszClassName, "kvprobe parent", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
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

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    std::string command = argv[1];
    if (command == "windows" && argc == 3) {
        EnumWindows(PrintWindow, reinterpret_cast<LPARAM>(argv[2]));
        return 0;
    }
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
    if (command == "click" && argc == 4) {
        ButtonSearch search{argv[3], nullptr};
        EnumChildWindows(ParseHwnd(argv[2]), FindButton, reinterpret_cast<LPARAM>(&search));
        if (!search.found)
            return 1;
        PostMessageA(search.found, BM_CLICK, 0, 0);
        return 0;
    }
    if (command == "parent" && argc == 3)
        return RunParent(std::atoi(argv[2]));
    return 2;
}
