// The window probe: finds top-level windows by title, class or process, reads their
// controls (captions, edit texts, list and combo items) and acts on them (press a button,
// set a text, select an item, type keys), so tests see and use boxes as a person does.
// One command per run; results are printed as lines "KIND key=value ... text=<rest>".
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Exit codes.
enum : int { EXIT_OK = 0, EXIT_NOT_FOUND = 1, EXIT_USAGE = 2, EXIT_FAILED = 3 };

constexpr DWORD kPollMs = 50;
constexpr UINT kSendTimeoutMs = 3000;

const char kUsage[] =
    "usage: winprobe <command> [window] [control] [options]\n"
    "window (top-level; visible ones unless --hidden):\n"
    "  --title TEXT        title contains TEXT        --title-exact TEXT   title is TEXT\n"
    "  --class NAME        class name is NAME         --pid N              of process N\n"
    "  --hwnd H            this window                --hidden             also hidden ones\n"
    "  --timeout MS        deadline, polled every 50 ms (default 5000)\n"
    "control (any depth inside the window):\n"
    "  --id N              control id                 --button TEXT        button caption (no '&', any case)\n"
    "  --control-class C   class name                 --nth K              the K-th such control (from 0)\n"
    "commands:\n"
    "  list                the matching windows now            wait     wait for a window\n"
    "  gone                wait until no window matches        dump     window, controls, texts, items\n"
    "  text                text of the control (or window)     items    items of a list or combo box,\n"
    "                                                               or a list view's rows (columns joined by tabs)\n"
    "  click [--post]      press the button (--post: do not wait for what it does)\n"
    "  rclick [--pos N]    right-click the control, or row N of a list view (mouse input)\n"
    "  lclick [--pos N]    the same with the left button\n"
    "  close               post WM_CLOSE to the window\n"
    "  settext --text T    set the control's text\n"
    "  select --item T | --pos N   select an item of a list or combo box and notify its owner\n"
    "  keys --keys K       bring the window forward and type K; {ENTER} {TAB} {ESC} {F4}\n"
    "                      {CTRL+A} {ALT+F4} {SHIFT+TAB} {{} {}} name keys\n"
    "  metrics             the dialog base units, the caption height and the screen size\n"
    "  size --width W --height H   resize the window (its outer size in pixels)\n";

struct Args {
    std::string command;
    std::wstring title, titleExact, className, controlClass, button, text, item, keys;
    bool hasTitle = false, hasTitleExact = false, hasClass = false, hidden = false, post = false;
    DWORD pid = 0;
    HWND hwnd = nullptr;
    DWORD timeout = 5000;
    int id = -1;
    int nth = 0;
    int pos = -1;
    int width = -1, height = -1;
};

// ---------------------------------------------------------------- output

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// Texts go last on a line, with backslash, line breaks and tabs escaped.
std::string Escape(const std::wstring& text)
{
    std::string out;
    for (char c : Utf8(text)) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: out += c;
        }
    }
    return out;
}

void Emit(const std::string& line)
{
    std::string text = line + "\n";
    DWORD written;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string Hex(const void* handle)
{
    char buf[32];
    snprintf(buf, sizeof buf, "0x%08llX", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(handle)));
    return buf;
}

// ---------------------------------------------------------------- reading windows

std::wstring ClassOf(HWND w)
{
    wchar_t buf[256];
    int n = GetClassNameW(w, buf, 256);
    return std::wstring(buf, n > 0 ? n : 0);
}

// The text of any window, also an edit control of another process.
std::wstring TextOf(HWND w)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(w, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length))
        return std::wstring();
    std::vector<wchar_t> buf(length + 2, L'\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(w, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()), SMTO_ABORTIFHUNG,
                             kSendTimeoutMs, &got))
        return std::wstring();
    return std::wstring(buf.data(), got < buf.size() ? got : buf.size() - 1);
}

bool SameText(const std::wstring& a, const std::wstring& b)
{
    return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_EQUAL;
}

std::wstring WithoutMnemonic(const std::wstring& text)
{
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && i + 1 < text.size()) {
            out += text[++i];   // "&&" stands for one '&'
            continue;
        }
        if (text[i] != L'&')
            out += text[i];
    }
    return out;
}

enum class ListKind { None, ListBox, ComboBox, ListView };

ListKind KindOf(HWND w)
{
    std::wstring cls = ClassOf(w);
    if (SameText(cls, L"ListBox") || SameText(cls, L"ComboLBox"))
        return ListKind::ListBox;
    if (SameText(cls, L"ComboBox"))
        return ListKind::ComboBox;
    if (SameText(cls, L"SysListView32"))
        return ListKind::ListView;
    return ListKind::None;
}

struct Item {
    std::wstring text;
    bool selected;
};

LONG_PTR SendFor(HWND w, UINT message, WPARAM wp, LPARAM lp)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(w, message, wp, lp, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result))
        return -1;
    return static_cast<LONG_PTR>(result);
}

// The rows of a list view, its columns joined by tabs. List-view messages carry pointers
// that the system does not carry across processes, so the record and the text buffer live
// in the list's own process for the time of the reading.
std::vector<Item> ListViewItemsOf(HWND w)
{
    constexpr int kTextChars = 1024;
    std::vector<Item> items;
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process)
        return items;
    SIZE_T bytes = sizeof(LVITEMW) + kTextChars * sizeof(wchar_t);
    auto* remote = static_cast<char*>(VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT, PAGE_READWRITE));
    if (remote) {
        LONG_PTR rows = SendFor(w, LVM_GETITEMCOUNT, 0, 0);
        HWND header = reinterpret_cast<HWND>(SendFor(w, LVM_GETHEADER, 0, 0));
        LONG_PTR columns = header ? SendFor(header, HDM_GETITEMCOUNT, 0, 0) : 1;
        if (columns < 1)
            columns = 1;
        for (LONG_PTR row = 0; row < rows && row < 100000; ++row) {
            std::wstring line;
            for (LONG_PTR column = 0; column < columns; ++column) {
                LVITEMW item{};
                item.iSubItem = static_cast<int>(column);
                item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
                item.cchTextMax = kTextChars;
                wchar_t text[kTextChars] = {};
                SIZE_T done = 0;
                if (WriteProcessMemory(process, remote, &item, sizeof item, &done) &&
                    SendFor(w, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote)) >= 0)
                    ReadProcessMemory(process, remote + sizeof(LVITEMW), text, sizeof text - sizeof(wchar_t), &done);
                if (column)
                    line += L'\t';
                line += text;
            }
            bool selected = SendFor(w, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) > 0;
            items.push_back({line, selected});
        }
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return items;
}

// Items through the wide messages only: they are the ones marshalled across processes.
std::vector<Item> ItemsOf(HWND w)
{
    std::vector<Item> items;
    ListKind kind = KindOf(w);
    if (kind == ListKind::None)
        return items;
    if (kind == ListKind::ListView)
        return ListViewItemsOf(w);
    bool list = kind == ListKind::ListBox;
    DWORD_PTR count = 0, current = 0;
    SendMessageTimeoutW(w, list ? LB_GETCOUNT : CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &count);
    SendMessageTimeoutW(w, list ? LB_GETCURSEL : CB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &current);
    LONG_PTR style = GetWindowLongPtrW(w, GWL_STYLE);
    bool multi = list && (style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL));
    for (int i = 0; i < static_cast<int>(static_cast<LONG_PTR>(count)) && i < 100000; ++i) {
        DWORD_PTR length = 0;
        SendMessageTimeoutW(w, list ? LB_GETTEXTLEN : CB_GETLBTEXTLEN, i, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length);
        if (static_cast<LONG_PTR>(length) < 0)
            length = 0;
        std::vector<wchar_t> buf(length + 2, L'\0');
        SendMessageW(w, list ? LB_GETTEXT : CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buf.data()));
        bool selected = static_cast<int>(static_cast<LONG_PTR>(current)) == i;
        if (multi) {
            DWORD_PTR sel = 0;
            SendMessageTimeoutW(w, LB_GETSEL, i, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &sel);
            selected = static_cast<LONG_PTR>(sel) > 0;
        }
        items.push_back({std::wstring(buf.data()), selected});
    }
    return items;
}

std::string WindowLine(HWND w)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    RECT r{};
    GetWindowRect(w, &r);
    RECT c{};
    GetClientRect(w, &c);
    MapWindowPoints(w, nullptr, reinterpret_cast<POINT*>(&c), 2);   // the client area on the screen
    char head[320];
    snprintf(head, sizeof head,
             "WINDOW hwnd=%s pid=%lu visible=%d enabled=%d rect=%ld,%ld,%ld,%ld client=%ld,%ld,%ld,%ld "
             "style=0x%08lX exstyle=0x%08lX class=",
             Hex(w).c_str(), pid, IsWindowVisible(w) ? 1 : 0, IsWindowEnabled(w) ? 1 : 0, r.left, r.top, r.right,
             r.bottom, c.left, c.top, c.right, c.bottom, static_cast<unsigned long>(GetWindowLongPtrW(w, GWL_STYLE)),
             static_cast<unsigned long>(GetWindowLongPtrW(w, GWL_EXSTYLE)));
    return head + Escape(ClassOf(w)) + " text=" + Escape(TextOf(w));
}

// A button's check state (BM_GETCHECK), "" for other controls.
std::string CheckField(HWND c)
{
    if (!SameText(ClassOf(c), L"Button"))
        return std::string();
    DWORD_PTR state = 0;
    SendMessageTimeoutW(c, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &state);
    return "check=" + std::to_string(static_cast<unsigned>(state)) + " ";
}

// The control's rectangle in its parent's client coordinates.
RECT ClientRectInParent(HWND c)
{
    RECT r{};
    GetWindowRect(c, &r);
    MapWindowPoints(nullptr, GetParent(c), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string ControlLine(HWND c)
{
    char head[320];
    RECT r = ClientRectInParent(c);
    snprintf(head, sizeof head,
             "CONTROL hwnd=%s parent=%s id=%d style=0x%08lX exstyle=0x%08lX visible=%d enabled=%d rect=%ld,%ld,%ld,%ld ",
             Hex(c).c_str(), Hex(GetParent(c)).c_str(), GetDlgCtrlID(c),
             static_cast<unsigned long>(GetWindowLongPtrW(c, GWL_STYLE)),
             static_cast<unsigned long>(GetWindowLongPtrW(c, GWL_EXSTYLE)), IsWindowVisible(c) ? 1 : 0,
             IsWindowEnabled(c) ? 1 : 0, r.left, r.top, r.right, r.bottom);
    return head + CheckField(c) + "class=" + Escape(ClassOf(c)) + " text=" + Escape(TextOf(c));
}

void EmitItems(HWND c)
{
    std::vector<Item> items = ItemsOf(c);
    for (size_t i = 0; i < items.size(); ++i) {
        char head[128];
        snprintf(head, sizeof head, "ITEM control=%s id=%d index=%zu selected=%d text=", Hex(c).c_str(),
                 GetDlgCtrlID(c), i, items[i].selected ? 1 : 0);
        Emit(head + Escape(items[i].text));
    }
}

// ---------------------------------------------------------------- finding

bool WindowMatches(HWND w, const Args& a)
{
    if (!a.hidden && !IsWindowVisible(w))
        return false;
    if (a.pid) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid != a.pid)
            return false;
    }
    if (a.hasClass && !SameText(ClassOf(w), a.className))
        return false;
    if (a.hasTitle || a.hasTitleExact) {
        wchar_t buf[1024];
        int n = GetWindowTextW(w, buf, 1024);
        std::wstring title(buf, n > 0 ? n : 0);
        if (a.hasTitleExact && title != a.titleExact)
            return false;
        if (a.hasTitle && title.find(a.title) == std::wstring::npos)
            return false;
    }
    return true;
}

std::vector<HWND> MatchingWindows(const Args& a)
{
    std::vector<HWND> found;
    if (a.hwnd) {
        if (IsWindow(a.hwnd) && WindowMatches(a.hwnd, a))
            found.push_back(a.hwnd);
        return found;
    }
    struct Search {
        const Args* args;
        std::vector<HWND>* out;
    } search{&a, &found};
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            if (WindowMatches(w, *s->args))
                s->out->push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return found;
}

std::vector<HWND> Descendants(HWND w)
{
    std::vector<HWND> all;
    EnumChildWindows(
        w,
        [](HWND c, LPARAM p) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(p)->push_back(c);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    return all;
}

bool HasControlSelector(const Args& a)
{
    return a.id >= 0 || !a.button.empty() || !a.controlClass.empty();
}

HWND FindControl(HWND w, const Args& a)
{
    int seen = 0;
    for (HWND c : Descendants(w)) {
        if (a.id >= 0 && GetDlgCtrlID(c) != a.id)
            continue;
        if (!a.controlClass.empty() && !SameText(ClassOf(c), a.controlClass))
            continue;
        if (!a.button.empty()) {
            if (!SameText(ClassOf(c), L"Button") ||
                !SameText(WithoutMnemonic(TextOf(c)), WithoutMnemonic(a.button)))
                continue;
        }
        if (seen++ == a.nth)
            return c;
    }
    return nullptr;
}

// Polls until the window (and the control, when one is asked for) exists or the deadline.
bool Find(const Args& a, HWND& window, HWND& control)
{
    DWORD start = GetTickCount();
    for (;;) {
        std::vector<HWND> windows = MatchingWindows(a);
        for (HWND w : windows) {
            window = w;
            control = HasControlSelector(a) ? FindControl(w, a) : nullptr;
            if (!HasControlSelector(a) || control)
                return true;
        }
        if (GetTickCount() - start >= a.timeout)
            return false;
        Sleep(kPollMs);
    }
}

int NotFound(const Args& a, bool windowFound)
{
    Emit(windowFound ? "NOTFOUND control" : "NOTFOUND window");
    fprintf(stderr, "winprobe: no %s matched within %lu ms\n", windowFound ? "control" : "window", a.timeout);
    return EXIT_NOT_FOUND;
}

// ---------------------------------------------------------------- keys

struct NamedKey {
    const wchar_t* name;
    WORD vk;
};
const NamedKey kKeys[] = {
    {L"ENTER", VK_RETURN}, {L"TAB", VK_TAB},     {L"ESC", VK_ESCAPE},  {L"SPACE", VK_SPACE},
    {L"BACKSPACE", VK_BACK}, {L"DELETE", VK_DELETE}, {L"INSERT", VK_INSERT}, {L"UP", VK_UP},
    {L"DOWN", VK_DOWN},    {L"LEFT", VK_LEFT},   {L"RIGHT", VK_RIGHT}, {L"HOME", VK_HOME},
    {L"END", VK_END},      {L"PGUP", VK_PRIOR},  {L"PGDN", VK_NEXT},   {L"CANCEL", VK_CANCEL},
    {L"CTRL", VK_CONTROL}, {L"ALT", VK_MENU},    {L"SHIFT", VK_SHIFT}, {L"WIN", VK_LWIN},
};

void AddVk(std::vector<INPUT>& in, WORD vk, bool up)
{
    INPUT i{};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = vk;
    i.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    in.push_back(i);
}

void AddChar(std::vector<INPUT>& in, wchar_t ch)
{
    for (bool up : {false, true}) {
        INPUT i{};
        i.type = INPUT_KEYBOARD;
        i.ki.wScan = ch;
        i.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
        in.push_back(i);
    }
}

bool KeyByName(const std::wstring& name, WORD& vk)
{
    for (const auto& k : kKeys)
        if (SameText(name, k.name)) {
            vk = k.vk;
            return true;
        }
    if (name.size() >= 2 && (name[0] == L'F' || name[0] == L'f')) {
        int n = _wtoi(name.c_str() + 1);
        if (n >= 1 && n <= 24) {
            vk = static_cast<WORD>(VK_F1 + n - 1);
            return true;
        }
    }
    if (name.size() == 1 && iswalnum(name[0])) {
        vk = static_cast<WORD>(towupper(name[0]));
        return true;
    }
    return false;
}

// "{CTRL+A}": modifiers down, the key, modifiers up in reverse order.
bool AddChord(std::vector<INPUT>& in, const std::wstring& chord)
{
    std::vector<WORD> keys;
    size_t start = 0;
    for (;;) {
        size_t plus = chord.find(L'+', start);
        std::wstring part = chord.substr(start, plus == std::wstring::npos ? std::wstring::npos : plus - start);
        WORD vk = 0;
        if (!KeyByName(part, vk))
            return false;
        keys.push_back(vk);
        if (plus == std::wstring::npos)
            break;
        start = plus + 1;
    }
    for (WORD vk : keys)
        AddVk(in, vk, false);
    for (auto it = keys.rbegin(); it != keys.rend(); ++it)
        AddVk(in, *it, true);
    return true;
}

bool BuildKeys(const std::wstring& keys, std::vector<INPUT>& in)
{
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i] != L'{') {
            AddChar(in, keys[i]);
            continue;
        }
        size_t close = keys.find(L'}', i + 2);
        if (close == std::wstring::npos)
            return false;
        std::wstring inner = keys.substr(i + 1, close - i - 1);   // "{{}" and "{}}" are braces
        if (inner == L"{" || inner == L"}")
            AddChar(in, inner[0]);
        else if (!AddChord(in, inner))
            return false;
        i = close;
    }
    return true;
}

// ---------------------------------------------------------------- commands

int CmdList(const Args& a)
{
    for (HWND w : MatchingWindows(a))
        Emit(WindowLine(w));
    return EXIT_OK;
}

int CmdGone(const Args& a)
{
    DWORD start = GetTickCount();
    while (!MatchingWindows(a).empty()) {
        if (GetTickCount() - start >= a.timeout) {
            Emit("TIMEOUT");
            fprintf(stderr, "winprobe: a matching window is still there after %lu ms\n", a.timeout);
            return EXIT_NOT_FOUND;
        }
        Sleep(kPollMs);
    }
    Emit("GONE");
    return EXIT_OK;
}

// What a test needs to turn dialog units into pixels.
int CmdMetrics()
{
    LONG units = GetDialogBaseUnits();
    char line[256];
    snprintf(line, sizeof line, "METRICS basex=%d basey=%d caption=%d screen=%d,%d frame=%d,%d dlgframe=%d,%d",
             LOWORD(units), HIWORD(units), GetSystemMetrics(SM_CYCAPTION), GetSystemMetrics(SM_CXSCREEN),
             GetSystemMetrics(SM_CYSCREEN), GetSystemMetrics(SM_CXFRAME), GetSystemMetrics(SM_CYFRAME),
             GetSystemMetrics(SM_CXDLGFRAME), GetSystemMetrics(SM_CYDLGFRAME));
    Emit(line);
    return EXIT_OK;
}

int CmdDump(HWND w)
{
    Emit(WindowLine(w));
    for (HWND c : Descendants(w)) {
        Emit(ControlLine(c));
        EmitItems(c);
    }
    return EXIT_OK;
}

int CmdClick(HWND control, bool post)
{
    DWORD_PTR result = 0;
    if (post) {
        // A button that opens a modal box answers only when that box is gone.
        if (!PostMessageW(control, BM_CLICK, 0, 0)) {
            fprintf(stderr, "winprobe: the click could not be posted\n");
            return EXIT_FAILED;
        }
    } else if (!SendMessageTimeoutW(control, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result)) {
        fprintf(stderr, "winprobe: the button did not take the click\n");
        return EXIT_FAILED;
    }
    Emit("CLICKED hwnd=" + Hex(control) + " id=" + std::to_string(GetDlgCtrlID(control)));
    return EXIT_OK;
}

int CmdSetText(HWND target, const std::wstring& text)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(target, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                             kSendTimeoutMs, &result) ||
        !result) {
        fprintf(stderr, "winprobe: the text was not taken\n");
        return EXIT_FAILED;
    }
    Emit("SET hwnd=" + Hex(target) + " text=" + Escape(text));
    return EXIT_OK;
}

int CmdSelect(HWND control, const Args& a)
{
    ListKind kind = KindOf(control);
    if (kind == ListKind::None || kind == ListKind::ListView) {
        fprintf(stderr, "winprobe: the control is not a list box or combo box\n");
        return EXIT_FAILED;
    }
    int pos = a.pos;
    if (!a.item.empty()) {
        std::vector<Item> items = ItemsOf(control);
        for (size_t i = 0; i < items.size() && pos < 0; ++i)
            if (items[i].text == a.item)
                pos = static_cast<int>(i);
    }
    if (pos < 0) {
        Emit("NOTFOUND item");
        fprintf(stderr, "winprobe: no such item\n");
        return EXIT_NOT_FOUND;
    }
    bool list = kind == ListKind::ListBox;
    LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
    DWORD_PTR result = 0;
    if (list && (style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)))
        SendMessageTimeoutW(control, LB_SETSEL, TRUE, pos, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
    else
        SendMessageTimeoutW(control, list ? LB_SETCURSEL : CB_SETCURSEL, pos, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                            &result);
    // Tell the owner as a user's selection would.
    WPARAM notify = MAKEWPARAM(GetDlgCtrlID(control), list ? LBN_SELCHANGE : CBN_SELCHANGE);
    SendMessageTimeoutW(GetParent(control), WM_COMMAND, notify, reinterpret_cast<LPARAM>(control), SMTO_ABORTIFHUNG,
                        kSendTimeoutMs, &result);
    Emit("SELECTED hwnd=" + Hex(control) + " index=" + std::to_string(pos));
    return EXIT_OK;
}

// Brings the window to the foreground (insisting a while); false with a message when it
// cannot be.
bool BringForward(HWND window)
{
    for (int attempt = 0; attempt < 40; ++attempt) {
        SetForegroundWindow(window);
        Sleep(10);
        if (GetForegroundWindow() == window)
            return true;
    }
    fprintf(stderr, "winprobe: the window could not be brought to the foreground\n");
    return false;
}

int CmdKeys(HWND window, HWND control, const std::wstring& keys)
{
    std::vector<INPUT> in;
    if (!BuildKeys(keys, in)) {
        fprintf(stderr, "winprobe: cannot read the keys \"%s\"\n", Utf8(keys).c_str());
        return EXIT_USAGE;
    }
    // Another program's box may take the foreground at any time: insist, then type at once.
    if (!BringForward(window))
        return EXIT_FAILED;
    if (control) {
        DWORD target = GetWindowThreadProcessId(control, nullptr), self = GetCurrentThreadId();
        AttachThreadInput(self, target, TRUE);
        SetFocus(control);
        AttachThreadInput(self, target, FALSE);
    }
    UINT sent = SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
    if (sent != in.size()) {
        fprintf(stderr, "winprobe: only %u of %zu key events were sent\n", sent, in.size());
        return EXIT_FAILED;
    }
    Emit("KEYS hwnd=" + Hex(control ? control : window) + " count=" + std::to_string(in.size()));
    return EXIT_OK;
}

// Where row `row` of a list view lies on the screen: its label's rectangle, read through a
// record in the list's own process (list-view messages are not marshalled).
bool ListViewRowRect(HWND list, int row, RECT& out)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process)
        return false;
    bool ok = false;
    if (auto* remote = static_cast<RECT*>(VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT, PAGE_READWRITE))) {
        RECT r{};
        r.left = LVIR_LABEL;
        SIZE_T done = 0;
        ok = WriteProcessMemory(process, remote, &r, sizeof r, &done) &&
             SendFor(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote)) > 0 &&
             ReadProcessMemory(process, remote, &out, sizeof out, &done);
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    if (ok)
        MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&out), 2);
    return ok;
}

// A click of one mouse button at the control's centre, or at the centre of row `row` of a
// list view, as the mouse gives it (the window is brought forward first).
int CmdMouseClick(HWND window, HWND control, bool right, int row)
{
    RECT r{};
    if (row < 0) {
        GetWindowRect(control, &r);
    } else if (KindOf(control) != ListKind::ListView || !ListViewRowRect(control, row, r)) {
        fprintf(stderr, "winprobe: no row %d in a list view\n", row);
        return EXIT_FAILED;
    }
    if (!BringForward(window))
        return EXIT_FAILED;
    INPUT in[3] = {};
    in[0].type = in[1].type = in[2].type = INPUT_MOUSE;
    in[0].mi.dx = MulDiv((r.left + r.right) / 2, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    in[0].mi.dy = MulDiv((r.top + r.bottom) / 2, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    in[1].mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    in[2].mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    if (SendInput(3, in, sizeof(INPUT)) != 3) {
        fprintf(stderr, "winprobe: the click could not be sent\n");
        return EXIT_FAILED;
    }
    Emit(std::string(right ? "RCLICKED" : "LCLICKED") + " hwnd=" + Hex(control));
    return EXIT_OK;
}

// ---------------------------------------------------------------- command line

bool ParseNumber(const wchar_t* text, long long& out)
{
    wchar_t* end = nullptr;
    out = wcstoll(text, &end, 0);
    return *text && end && *end == 0;
}

bool ParseArgs(int argc, wchar_t** argv, Args& a)
{
    if (argc < 2)
        return false;
    a.command = Utf8(argv[1]);
    for (int i = 2; i < argc; ++i) {
        std::wstring o = argv[i];
        auto text = [&](std::wstring& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        auto number = [&](long long& out) { return i + 1 < argc && ParseNumber(argv[++i], out); };
        long long n = 0;
        if (o == L"--title") {
            if (!text(a.title)) return false;
            a.hasTitle = true;
        } else if (o == L"--title-exact") {
            if (!text(a.titleExact)) return false;
            a.hasTitleExact = true;
        } else if (o == L"--class") {
            if (!text(a.className)) return false;
            a.hasClass = true;
        } else if (o == L"--pid") {
            if (!number(n)) return false;
            a.pid = static_cast<DWORD>(n);
        } else if (o == L"--hwnd") {
            if (!number(n)) return false;
            a.hwnd = reinterpret_cast<HWND>(static_cast<intptr_t>(n));
        } else if (o == L"--hidden") {
            a.hidden = true;
        } else if (o == L"--post") {
            a.post = true;
        } else if (o == L"--timeout") {
            if (!number(n) || n < 0) return false;
            a.timeout = static_cast<DWORD>(n);
        } else if (o == L"--id") {
            if (!number(n)) return false;
            a.id = static_cast<int>(n);
        } else if (o == L"--button") {
            if (!text(a.button)) return false;
        } else if (o == L"--control-class") {
            if (!text(a.controlClass)) return false;
        } else if (o == L"--nth") {
            if (!number(n) || n < 0) return false;
            a.nth = static_cast<int>(n);
        } else if (o == L"--text") {
            if (!text(a.text)) return false;
        } else if (o == L"--item") {
            if (!text(a.item)) return false;
        } else if (o == L"--pos") {
            if (!number(n) || n < 0) return false;
            a.pos = static_cast<int>(n);
        } else if (o == L"--width" || o == L"--height") {
            if (!number(n) || n < 0) return false;
            (o == L"--width" ? a.width : a.height) = static_cast<int>(n);
        } else if (o == L"--keys") {
            if (!text(a.keys)) return false;
        } else {
            fprintf(stderr, "winprobe: unknown option %s\n", Utf8(o).c_str());
            return false;
        }
    }
    return true;
}

int Run(const Args& a)
{
    const std::string& c = a.command;
    if (c == "list")
        return CmdList(a);
    if (c == "gone")
        return CmdGone(a);
    if (c == "metrics")
        return CmdMetrics();
    if (c != "wait" && c != "dump" && c != "text" && c != "items" && c != "click" && c != "close" &&
        c != "settext" && c != "select" && c != "keys" && c != "size" && c != "rclick" &&
        c != "lclick") {
        fprintf(stderr, "winprobe: unknown command %s\n", c.c_str());
        return EXIT_USAGE;
    }
    bool needsControl = c == "click" || c == "items" || c == "select" || c == "rclick" || c == "lclick";
    if (needsControl && !HasControlSelector(a)) {
        fprintf(stderr, "winprobe: %s needs a control (--id, --button or --control-class)\n", c.c_str());
        return EXIT_USAGE;
    }
    HWND window = nullptr, control = nullptr;
    if (!Find(a, window, control))
        return NotFound(a, window != nullptr);
    if (c == "wait") {
        Emit(WindowLine(window));
        return EXIT_OK;
    }
    if (c == "dump")
        return CmdDump(window);
    if (c == "text") {
        Emit("TEXT hwnd=" + Hex(control ? control : window) + " text=" + Escape(TextOf(control ? control : window)));
        return EXIT_OK;
    }
    if (c == "items") {
        EmitItems(control);
        return EXIT_OK;
    }
    if (c == "click")
        return CmdClick(control, a.post);
    if (c == "rclick" || c == "lclick")
        return CmdMouseClick(window, control, c == "rclick", a.pos);
    if (c == "close") {
        PostMessageW(window, WM_CLOSE, 0, 0);
        Emit("CLOSED hwnd=" + Hex(window));
        return EXIT_OK;
    }
    if (c == "settext")
        return CmdSetText(control ? control : window, a.text);
    if (c == "size") {
        if (a.width < 0 || a.height < 0) {
            fprintf(stderr, "winprobe: size needs --width and --height\n");
            return EXIT_USAGE;
        }
        SetWindowPos(window, nullptr, 0, 0, a.width, a.height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        Emit(WindowLine(window));
        return EXIT_OK;
    }
    if (c == "select")
        return CmdSelect(control, a);
    return CmdKeys(window, control, a.keys);
}

}  // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    Args a;
    if (!argv || !ParseArgs(argc, argv, a)) {
        fputs(kUsage, stderr);
        return EXIT_USAGE;
    }
    int code = Run(a);
    LocalFree(argv);
    return code;
}
