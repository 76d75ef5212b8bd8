// A window for testing the window probe and the window built-ins: an edit, a list box, a
// combo box, buttons and a menu bar (File > Open, File > Exit), which reports on stdout what
// was done to it.
//
//     probe_target [mode] [--title TEXT] [--hidden] [--quiet]
//
// Modes: none, the window; "msgbox", a message box instead, exiting with its answer;
// "busy", the window without a message loop for a while (a program that is not idle);
// "input", the window with the keyboard focus on itself (no dialog navigation), reporting
// every key message ("KEYDOWN 41 0": virtual key in hex, extended bit; "CHAR 0061 a":
// the character's UTF-16 unit in hex, then the character when it prints) and every mouse
// button message ("LBUTTONDOWN 120 80", "NCLBUTTONDOWN 2 -10 -30": the hit-test code and
// then client coordinates of the window); before its first report it tells where its
// client area begins on the screen ("CLIENT 54 94").
// --title gives the window's title, --hidden leaves it hidden, --quiet reports nothing (a
// target that a script under test starts shares the script's output).
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

enum : int { ID_EDIT = 100, ID_LIST = 101, ID_COMBO = 102, ID_STATIC = 103 };
enum : int { ID_MENU_OPEN = 200, ID_MENU_EXIT = 201 };
constexpr DWORD BUSY_MS = 30000;

bool g_quiet = false;

struct Options {
    std::string mode;
    std::wstring title = L"Probe Target \u00e9";
    bool hidden = false;
};

void Say(const std::string& line)
{
    if (g_quiet)
        return;
    std::string text = line + "\n";
    DWORD written;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string Utf8(const wchar_t* text)
{
    char buf[1024];
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, buf, sizeof buf, nullptr, nullptr);
    return n > 0 ? std::string(buf, n - 1) : std::string();
}

LRESULT CALLBACK TargetProc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_COMMAND: {
        int id = LOWORD(wp), code = HIWORD(wp);
        if (id == ID_MENU_OPEN || id == ID_MENU_EXIT) {
            Say("MENU " + std::to_string(id));
            if (id == ID_MENU_EXIT)
                PostQuitMessage(40);
        } else if (id == ID_LIST && code == LBN_SELCHANGE)
            Say("LIST SELECT " + std::to_string(SendDlgItemMessageW(w, ID_LIST, LB_GETCURSEL, 0, 0)));
        else if (id == ID_COMBO && code == CBN_SELCHANGE)
            Say("COMBO SELECT " + std::to_string(SendDlgItemMessageW(w, ID_COMBO, CB_GETCURSEL, 0, 0)));
        else if ((id == IDOK || id == IDCANCEL) && code == BN_CLICKED) {
            wchar_t text[256];
            GetDlgItemTextW(w, ID_EDIT, text, 256);
            Say("EDIT " + Utf8(text));
            Say(id == IDOK ? "OK" : "CANCEL");
            PostQuitMessage(id == IDOK ? 10 : 20);
        }
        return 0;
    }
    case WM_CLOSE:
        Say("CLOSE");
        PostQuitMessage(30);
        return 0;
    }
    return DefWindowProcW(w, msg, wp, lp);
}

HWND Child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int cx, int cy, int id)
{
    return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, cx, cy, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

HMENU MenuBar()
{
    HMENU file = CreatePopupMenu();
    AppendMenuW(file, MF_STRING, ID_MENU_OPEN, L"&Open");
    AppendMenuW(file, MF_STRING, ID_MENU_EXIT, L"E&xit");
    HMENU bar = CreateMenu();
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
    return bar;
}

// ---------------------------------------------------------------- input mode

const char* KeyMessageName(UINT msg)
{
    switch (msg) {
    case WM_KEYDOWN: return "KEYDOWN";
    case WM_KEYUP: return "KEYUP";
    case WM_SYSKEYDOWN: return "SYSKEYDOWN";
    case WM_SYSKEYUP: return "SYSKEYUP";
    case WM_CHAR: return "CHAR";
    case WM_SYSCHAR: return "SYSCHAR";
    }
    return nullptr;
}

const char* MouseMessageName(UINT msg)
{
    switch (msg) {
    case WM_LBUTTONDOWN: return "LBUTTONDOWN";
    case WM_LBUTTONUP: return "LBUTTONUP";
    case WM_LBUTTONDBLCLK: return "LBUTTONDBLCLK";
    case WM_RBUTTONDOWN: return "RBUTTONDOWN";
    case WM_RBUTTONUP: return "RBUTTONUP";
    case WM_RBUTTONDBLCLK: return "RBUTTONDBLCLK";
    case WM_MBUTTONDOWN: return "MBUTTONDOWN";
    case WM_MBUTTONUP: return "MBUTTONUP";
    case WM_MBUTTONDBLCLK: return "MBUTTONDBLCLK";
    case WM_NCLBUTTONDOWN: return "NCLBUTTONDOWN";
    case WM_NCLBUTTONUP: return "NCLBUTTONUP";
    case WM_NCLBUTTONDBLCLK: return "NCLBUTTONDBLCLK";
    case WM_NCRBUTTONDOWN: return "NCRBUTTONDOWN";
    case WM_NCRBUTTONUP: return "NCRBUTTONUP";
    case WM_NCRBUTTONDBLCLK: return "NCRBUTTONDBLCLK";
    case WM_NCMBUTTONDOWN: return "NCMBUTTONDOWN";
    case WM_NCMBUTTONUP: return "NCMBUTTONUP";
    case WM_NCMBUTTONDBLCLK: return "NCMBUTTONDBLCLK";
    }
    return nullptr;
}

// Reports a key or mouse button message taken from the queue, whichever window of the
// target it is for; positions are given in client coordinates of the main window, whose
// place on the screen the first report tells.
void ReportInput(HWND main, const MSG& m)
{
    static bool told;
    const char* key = KeyMessageName(m.message);
    const char* button = MouseMessageName(m.message);
    if (!key && !button)
        return;
    char line[128];
    if (!told) {
        POINT client = {0, 0};
        ClientToScreen(main, &client);
        std::snprintf(line, sizeof line, "CLIENT %ld %ld", client.x, client.y);
        Say(line);
        told = true;
    }
    if (m.message == WM_CHAR || m.message == WM_SYSCHAR) {
        wchar_t ch[2] = {static_cast<wchar_t>(m.wParam), 0};
        std::snprintf(line, sizeof line, "%s %04X%s%s", key, static_cast<unsigned>(m.wParam),
                      m.wParam >= 0x20 ? " " : "", m.wParam >= 0x20 ? Utf8(ch).c_str() : "");
    } else if (key) {
        std::snprintf(line, sizeof line, "%s %02X %d", key, static_cast<unsigned>(m.wParam),
                      (m.lParam & (1 << 24)) ? 1 : 0);
    } else {
        POINT p = {static_cast<short>(LOWORD(m.lParam)), static_cast<short>(HIWORD(m.lParam))};
        bool nonClient = m.message >= WM_NCLBUTTONDOWN && m.message <= WM_NCMBUTTONDBLCLK;
        if (nonClient) {
            ScreenToClient(main, &p);
            std::snprintf(line, sizeof line, "%s %d %ld %ld", button, static_cast<int>(m.wParam), p.x, p.y);
        } else {
            MapWindowPoints(m.hwnd, main, &p, 1);
            std::snprintf(line, sizeof line, "%s %ld %ld", button, p.x, p.y);
        }
    }
    Say(line);
}

int RunWindow(const Options& o)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = TargetProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"KvProbeTarget";
    RegisterClassW(&wc);
    HWND w = CreateWindowExW(0, wc.lpszClassName, o.title.c_str(), WS_OVERLAPPEDWINDOW, 50, 50, 420, 300, nullptr,
                             MenuBar(), wc.hInstance, nullptr);
    Child(w, L"EDIT", L"hello", WS_BORDER | ES_AUTOHSCROLL | WS_TABSTOP, 10, 10, 200, 24, ID_EDIT);
    HWND list = Child(w, L"LISTBOX", L"", WS_BORDER | LBS_NOTIFY, 10, 40, 120, 80, ID_LIST);
    HWND combo = Child(w, L"COMBOBOX", L"", CBS_DROPDOWNLIST, 150, 40, 120, 120, ID_COMBO);
    Child(w, L"STATIC", L"Line one\nLine two", 0, 10, 130, 200, 40, ID_STATIC);
    Child(w, L"BUTTON", L"&OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 10, 200, 80, 26, IDOK);
    Child(w, L"BUTTON", L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, 100, 200, 80, 26, IDCANCEL);
    for (const wchar_t* s : {L"alpha", L"beta", L"g\u00e4mma"})
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    for (const wchar_t* s : {L"one", L"two", L"three"})
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    if (!o.hidden)
        ShowWindow(w, SW_SHOWNORMAL);
    bool input = o.mode == "input";
    if (input)
        SetFocus(w);
    Say("READY");
    if (o.mode == "busy") {
        Sleep(BUSY_MS);   // no message is read meanwhile
        return 0;
    }
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        if (input) {
            ReportInput(w, m);
            TranslateMessage(&m);
            DispatchMessageW(&m);
        } else if (!IsDialogMessageW(w, &m)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
    }
    return static_cast<int>(m.wParam);
}

std::wstring Wide(const std::string& text)
{
    wchar_t buf[1024];
    int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, buf, 1024);
    return n > 0 ? std::wstring(buf, n - 1) : std::wstring();
}

// Moves this thread onto the named desktop (made when missing) before any window exists.
void OnDesktop(const std::wstring& name)
{
    HDESK desktop = CreateDesktopW(name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    if (!desktop || !SetThreadDesktop(desktop))
        Say("NO DESKTOP " + std::to_string(GetLastError()));
}

int ShowMessageBox()
{
    Say("READY");
    int answer = MessageBoxW(nullptr, L"Box text", L"Probe Box", MB_OKCANCEL);
    Say("ANSWER " + std::to_string(answer));
    return answer;
}

}  // namespace

int main(int argc, char** argv)
{
    Options o;
    std::vector<std::string> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--title" && i + 1 < args.size())
            o.title = Wide(args[++i]);
        else if (args[i] == "--hidden")
            o.hidden = true;
        else if (args[i] == "--quiet")
            g_quiet = true;
        else if (args[i] == "--desktop" && i + 1 < args.size())
            OnDesktop(Wide(args[++i]));
        else
            o.mode = args[i];
    }
    if (o.mode == "msgbox")
        return ShowMessageBox();
    return RunWindow(o);
}
