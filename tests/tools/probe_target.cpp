// A window for testing the window probe: an edit, a list box, a combo box and buttons,
// which reports on stdout what was done to it; "probe_target msgbox" shows a message box
// instead and exits with its answer.
#include <windows.h>

#include <string>

namespace {

enum : int { ID_EDIT = 100, ID_LIST = 101, ID_COMBO = 102, ID_STATIC = 103 };

void Say(const std::string& line)
{
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
        if (id == ID_LIST && code == LBN_SELCHANGE)
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

int RunWindow()
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = TargetProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"KvProbeTarget";
    RegisterClassW(&wc);
    HWND w = CreateWindowExW(0, wc.lpszClassName, L"Probe Target \u00e9", WS_OVERLAPPEDWINDOW, 50, 50, 420, 300,
                             nullptr, nullptr, wc.hInstance, nullptr);
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
    ShowWindow(w, SW_SHOWNORMAL);
    Say("READY");
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(w, &m)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
    }
    return static_cast<int>(m.wParam);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == "msgbox") {
        Say("READY");
        int answer = MessageBoxW(nullptr, L"Box text", L"Probe Box", MB_OKCANCEL);
        Say("ANSWER " + std::to_string(answer));
        return answer;
    }
    return RunWindow();
}
