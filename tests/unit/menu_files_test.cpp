// Menu files through the exports a host binds by ordinal (16 LoadStandardMenu, 26
// ParseStandardMenu, 27 MenuSelectProcessing, 29 HotKeyCheck), on small fixture files.
// The engine runs in quiet mode: its error boxes go to a log the tests read.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/ui/menu_file.h"
#include "tests/unit/engine_dll.h"

namespace {

using LoadStandardMenuFn = HMENU (*)(HGLOBAL, const char*, uintptr_t, uintptr_t, MenuFileRecord*, HWND,
                                     HotKeyTable*, uintptr_t);
using ParseStandardMenuFn = HGLOBAL (*)(HGLOBAL, const char*, uintptr_t, uintptr_t, uintptr_t, uintptr_t,
                                       MenuFileRecord*, HWND);
using MenuSelectProcessingFn = int32_t (*)(HGLOBAL, HWND, uintptr_t, HMENU, uintptr_t, uintptr_t, char*, uintptr_t,
                                           MenuFileRecord*, uintptr_t);
using HotKeyCheckFn = int32_t (*)(HGLOBAL, HWND, uintptr_t, uintptr_t, HotKeyTable*);

constexpr uint32_t FIRST_ID = 1000, LAST_ID = 1999;

// The menu of the tests below: a pop-up with commands, hot keys, a separator and a hidden
// command, then a top-level command in a new column; start-up code before it.
const char kMenu[] =
    "; a menu file\n"
    "    start = 1\n"
    "&File ; The file menu\n"
    " Edit\\^S ;Opens a file\n"
    "    edit = 1\n"
    "    edit = 2\n"
    " Run\\{F5}\n"
    "    run = 1\n"
    " _|x\n"
    "    x = 1\n"
    " @Hidden\\^H\n"
    "    hidden = 1\n"
    "|Second ;^\n"
    "    second = 1\n";

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

class MenuFile : public kvtest::EngineDllTest {
protected:
    void SetUp() override
    {
        kvtest::EngineDllTest::SetUp();
        if (!HasExport(16) || !HasExport(26) || !HasExport(27) || !HasExport(29))
            GTEST_SKIP() << "the menu-file exports are not built";
        StartEngine();
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder_ = std::string(temp) + "kvmenus" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(folder_.c_str(), nullptr);
        log_ = folder_ + "quiet.log";
        dll().DLLServices()(session->Context(), 23, log_.c_str(), nullptr, 1, 0);
        load_ = dll().Get<LoadStandardMenuFn>(16);
        parse_ = dll().Get<ParseStandardMenuFn>(26);
        select_ = dll().Get<MenuSelectProcessingFn>(27);
        hotKey_ = dll().Get<HotKeyCheckFn>(29);
    }
    void TearDown() override
    {
        for (HMENU menu : menus_)
            DestroyMenu(menu);
        for (const std::string& file : files_)
            DeleteFileA(file.c_str());
        DeleteFileA(log_.c_str());
        RemoveDirectoryA(folder_.c_str());
        kvtest::EngineDllTest::TearDown();
    }

    std::string Write(const std::string& name, const std::string& text)
    {
        std::string path = folder_ + name;
        std::ofstream(path, std::ios::binary) << text;
        files_.push_back(path);
        return path;
    }

    MenuFileRecord Record(const std::string& path, uint8_t index = 0)
    {
        MenuFileRecord record{};
        lstrcpynA(record.fileName, path.c_str(), sizeof record.fileName);
        record.menuIndex = index;
        return record;
    }

    HMENU Load(MenuFileRecord& record, uintptr_t mode = 0)
    {
        HMENU menu = load_(session->Context(), "Menus", FIRST_ID, LAST_ID, &record, window, &hotKeys, mode);
        if (menu)
            menus_.push_back(menu);
        return menu;
    }

    // The code a command runs ("" when there is none; "<changed>" for -1).
    std::string Code(MenuFileRecord& record, uintptr_t id, uintptr_t startup = 0)
    {
        HGLOBAL block = parse_(session->Context(), "Menus", id, startup, FIRST_ID, 0, &record, window);
        if (block == reinterpret_cast<HGLOBAL>(static_cast<intptr_t>(-1)))
            return "<changed>";
        if (!block)
            return "";
        std::string code = static_cast<const char*>(GlobalLock(block));
        GlobalUnlock(block);
        GlobalFree(block);
        return code;
    }

    int32_t Status(uintptr_t item, HMENU menu, std::string* text)
    {
        char buffer[300] = "untouched";
        MenuFileRecord record{};
        int32_t answer = select_(session->Context(), window, item, menu, FIRST_ID, LAST_ID, buffer, sizeof buffer,
                                 &record, 1);
        *text = buffer;
        return answer;
    }

    std::string Log() { return ReadText(log_); }

    static std::string Text(HMENU menu, int position)
    {
        char text[200] = "";
        GetMenuStringA(menu, static_cast<UINT>(position), text, sizeof text, MF_BYPOSITION);
        return text;
    }

    HotKeyTable hotKeys{};
    LoadStandardMenuFn load_ = nullptr;
    ParseStandardMenuFn parse_ = nullptr;
    MenuSelectProcessingFn select_ = nullptr;
    HotKeyCheckFn hotKey_ = nullptr;
    std::string folder_, log_;
    std::vector<std::string> files_;
    std::vector<HMENU> menus_;
};

TEST_F(MenuFile, BuildsPopupsCommandsSeparatorsAndHotKeys)
{
    MenuFileRecord record = Record(Write("main.mnu", kMenu));
    HMENU root = Load(record);
    ASSERT_NE(root, nullptr) << Log();
    EXPECT_EQ(Log(), "");

    ASSERT_EQ(GetMenuItemCount(root), 2);
    EXPECT_EQ(Text(root, 0), "&File");
    HMENU file = GetSubMenu(root, 0);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(GetMenuItemCount(file), 4);   // the "@" command has no entry
    EXPECT_EQ(Text(file, 0), "Edit\tCtrl+S");
    EXPECT_EQ(GetMenuItemID(file, 0), 1000u);
    EXPECT_EQ(Text(file, 1), "Run\t{F5}");
    EXPECT_EQ(GetMenuItemID(file, 1), 1001u);
    EXPECT_EQ(GetMenuState(file, 2, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
    EXPECT_EQ(Text(file, 3), "|x");          // "_" and "|" share one place: the bar is text
    EXPECT_EQ(GetMenuItemID(file, 3), 1002u);
    EXPECT_EQ(Text(root, 1), "Second");
    EXPECT_EQ(GetMenuItemID(root, 1), 1004u);   // the hidden command took 1003
    EXPECT_TRUE(GetMenuState(root, 1, MF_BYPOSITION) & MF_MENUBARBREAK);

    ASSERT_EQ(hotKeys.count, 3u);
    EXPECT_EQ(hotKeys.entries[0].key, 0x4053);
    EXPECT_EQ(hotKeys.entries[0].id, 1000);
    EXPECT_EQ(hotKeys.entries[1].key, 0x1074);
    EXPECT_EQ(hotKeys.entries[1].id, 1001);
    EXPECT_EQ(hotKeys.entries[2].key, 0x4048);
    EXPECT_EQ(hotKeys.entries[2].id, 1003);
    EXPECT_EQ(record.lastId, 1004);
}

TEST_F(MenuFile, CrLfAndUtf16FilesReadAsTheSameMenu)
{
    std::string crlf;
    for (const char* p = kMenu; *p; ++p)
        crlf += *p == '\n' ? std::string("\r\n") : std::string(1, *p);
    std::string utf16 = "\xFF\xFE";
    for (char c : crlf)
        utf16 += std::string(1, c) + '\0';
    for (const std::string& text : {crlf, utf16}) {
        hotKeys = HotKeyTable{};
        MenuFileRecord record = Record(Write("variant.mnu", text));
        HMENU root = Load(record);
        ASSERT_NE(root, nullptr);
        EXPECT_EQ(Text(GetSubMenu(root, 0), 0), "Edit\tCtrl+S");
        EXPECT_EQ(Text(root, 1), "Second");
        EXPECT_EQ(hotKeys.count, 3u);
        EXPECT_EQ(Code(record, 1001), "    run = 1 \n");   // a CR LF line ends in a blank
    }
    EXPECT_EQ(Log(), "");
}

TEST_F(MenuFile, MenuBarTopCommandsShowTheirKeyWithoutATab)
{
    MenuFileRecord record = Record(Write("bar.mnu", "Go\\^G\n    go = 1\nMore\n Sub\\^U\n    sub = 1\n"));
    HMENU bar = Load(record, 1);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(Text(bar, 0), "GoCtrl+G");
    EXPECT_EQ(Text(GetSubMenu(bar, 1), 0), "Sub\tCtrl+U");
}

TEST_F(MenuFile, LinesTheStructureDoesNotAllowStopTheBuild)
{
    struct Case {
        const char* text;
        const char* message;
        const char* line;
    } cases[] = {
        {" File\n    x = 1\n", "Need First level menu title.  Not found.", " File"},
        {"File\nNext\n    x = 1\n", "Need batch code or second level menu title. Not found.", "Next"},
        {"File\n Open\n    x = 1\n   Deep\n", "Need batch code or 1st or 2nd level menu title. Not found.", "   Deep"},
        {"File\n Sub\n  Subsub\n   Leaf\nAfter\n", "Need batch code after fourth level menutitle.  Not found", "After"},
    };
    for (const Case& c : cases) {
        DeleteFileA(log_.c_str());
        MenuFileRecord record = Record(Write("bad.mnu", c.text));
        EXPECT_NE(Load(record), nullptr) << c.text;   // the menu built so far
        std::string log = Log();
        EXPECT_NE(log.find(c.message), std::string::npos) << c.text << log;
        EXPECT_NE(log.find("Unexpected menu line.  Check for proper indentation."), std::string::npos) << log;
        EXPECT_NE(log.find(std::string(c.line) + "\r\n"), std::string::npos) << log;
    }
}

TEST_F(MenuFile, MissingFileGives504AndNoMenu)
{
    MenuFileRecord record = Record(folder_ + "absent.mnu");
    EXPECT_EQ(Load(record), nullptr);
    EXPECT_NE(Log().find("Menu file file open error. Maybe it does not exist???"), std::string::npos);
}

TEST_F(MenuFile, ParseAnswersACommandsCodeOrTheStartupCode)
{
    MenuFileRecord record = Record(Write("main.mnu", kMenu));
    ASSERT_NE(Load(record), nullptr);
    EXPECT_EQ(Code(record, 1000), "    edit = 1\n    edit = 2\n");
    EXPECT_EQ(Code(record, 1003), "    hidden = 1\n");
    EXPECT_EQ(Code(record, 1004), "    second = 1\n");
    EXPECT_EQ(Code(record, 1000, 1), "    start = 1\n");
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(Code(record, 1005), "");
    EXPECT_NE(Log().find("Menu file ended unexpectedly, or menu is invalid."), std::string::npos);
}

TEST_F(MenuFile, FileTouchedAfterLoadingAsksForAReload)
{
    std::string path = Write("main.mnu", kMenu);
    MenuFileRecord record = Record(path);
    ASSERT_NE(Load(record), nullptr);
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME written;
    GetFileTime(file, nullptr, nullptr, &written);
    ULARGE_INTEGER later{{written.dwLowDateTime, written.dwHighDateTime}};
    later.QuadPart += 3600ULL * 10000000ULL;
    written = FILETIME{later.LowPart, later.HighPart};
    SetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
    EXPECT_EQ(Code(record, 1000), "<changed>");
    EXPECT_NE(Log().find("ZAL Processor menu(s) will be reloaded"), std::string::npos);
}

TEST_F(MenuFile, HotKeyTableKeepsAHundredAndOnlyIndexZeroClearsIt)
{
    std::string many;
    for (int i = 0; i < 101; ++i)
        many += "Item" + std::to_string(i) + "\\^" + std::string(1, static_cast<char>('A' + i % 26)) + "\n    x = 1\n";
    MenuFileRecord manyRecord = Record(Write("many.mnu", many));
    ASSERT_NE(Load(manyRecord), nullptr);
    EXPECT_EQ(hotKeys.count, 100u);
    EXPECT_EQ(hotKeys.entries[99].id, 1099);

    MenuFileRecord first = Record(Write("first.mnu", "A\\^A\n    a = 1\nB\\^B\n    b = 1\n"));
    ASSERT_NE(Load(first), nullptr);
    ASSERT_EQ(hotKeys.count, 2u);
    MenuFileRecord second = Record(Write("second.mnu", "C\\{F2}\n    c = 1\n"), 1);
    ASSERT_NE(load_(session->Context(), "Menus", 2000, 2999, &second, window, &hotKeys, 0), nullptr);
    ASSERT_EQ(hotKeys.count, 3u);
    EXPECT_EQ(hotKeys.entries[0].key, 0x4041);
    EXPECT_EQ(hotKeys.entries[2].key, 0x1071);
    EXPECT_EQ(hotKeys.entries[2].id, 2000);
    ASSERT_NE(Load(first), nullptr);
    EXPECT_EQ(hotKeys.count, 2u);
}

TEST_F(MenuFile, IncludesNestedMoreThanSixteenDeepGive218)
{
    for (int i = 1; i <= 17; ++i)
        Write("inc" + std::to_string(i) + ".mnu",
              i < 17 ? "#include \"inc" + std::to_string(i + 1) + ".mnu\"\n" : "Last\n    x = 1\n");
    MenuFileRecord record = Record(Write("nested.mnu", "#include \"inc1.mnu\"\n"));
    EXPECT_EQ(Load(record), nullptr);
    EXPECT_NE(Log().find("#include files too deeply nested (> 16 levels)"), std::string::npos) << Log();
}

TEST_F(MenuFile, IncludedTitlesAndCodeBelongToTheMenu)
{
    Write("part.mnu", "Two\n    two = 1\n");
    MenuFileRecord record = Record(Write("whole.mnu", "One\n    one = 1\n#include \"part.mnu\"\n"));
    HMENU menu = Load(record);
    ASSERT_NE(menu, nullptr) << Log();
    ASSERT_EQ(GetMenuItemCount(menu), 2);
    EXPECT_EQ(Text(menu, 1), "Two");
    EXPECT_EQ(Code(record, 1001), "    two = 1\n");
}

TEST(MenuHotKey, HotKeyTextGivesItsKeyWord)
{
    struct Case {
        const char* spec;
        uint16_t word;
    } cases[] = {
        {"^S", 0x4053},   {"^s", 0x4053},     {"{F5}", 0x1074},       {"{f16}", 0x107F},   {"!x", 0x3058},
        {"+{TAB}", 0x9009}, {" ^ + Q ", 0xC051}, {"^1", 0x5031},       {"^{ENTER}", 0x500D}, {"{NUMPAD*}", 0x106A},
        {"{numpad7}", 0x1067}, {"{DEL}", 0x102E}, {"{+}", 0x002B},     {"{NOSUCH}", 0},     {"^", 0x4000},
        {"!^", 0x7000},   {"", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseHotKey(c.spec), c.word) << "\"" << c.spec << "\"";
}

// ---------------------------------------------------------------- status texts and hot keys

TEST_F(MenuFile, StatusTextIsTheHelpTextOrTheEntrysOwn)
{
    MenuFileRecord record = Record(Write("main.mnu", kMenu));
    HMENU root = Load(record);
    ASSERT_NE(root, nullptr);
    std::string text;
    EXPECT_EQ(Status(MAKELONG(1000, MF_STRING), root, &text), 1);
    EXPECT_EQ(text, "Opens a file");
    EXPECT_EQ(Status(MAKELONG(1004, MF_STRING), root, &text), 1);
    EXPECT_EQ(text, "    second = 1");   // ";^": the line after the title, as written
    EXPECT_EQ(Status(MAKELONG(1001, MF_STRING), root, &text), 4);
    EXPECT_EQ(text, "\"Run\" menu item");
    EXPECT_EQ(Status(MAKELONG(0, 0xFFFF), root, &text), 0);
    EXPECT_EQ(Status(MAKELONG(5, MF_SEPARATOR), root, &text), 5);
}

// A window that records the commands it is sent.
LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND)
        SetWindowLongPtrA(window, GWLP_USERDATA, static_cast<LONG_PTR>(wParam));
    return DefWindowProcA(window, message, wParam, lParam);
}

// The thread's keyboard state with Ctrl down (or up) for the length of a test.
struct CtrlDown {
    explicit CtrlDown(bool down)
    {
        GetKeyboardState(saved);
        BYTE state[256];
        std::memcpy(state, saved, sizeof state);
        state[VK_CONTROL] = state[VK_LCONTROL] = down ? 0x80 : 0;
        SetKeyboardState(state);
    }
    ~CtrlDown() { SetKeyboardState(saved); }
    BYTE saved[256];
};

TEST_F(MenuFile, HotKeyPostsItsCommandToAnEnabledWindow)
{
    MenuFileRecord record = Record(Write("main.mnu", kMenu));
    ASSERT_NE(Load(record), nullptr);
    WNDCLASSA cls{};
    cls.lpfnWndProc = RecordingProc;
    cls.hInstance = GetModuleHandleA(nullptr);
    cls.lpszClassName = "KvMenuTarget";
    RegisterClassA(&cls);
    HWND target = CreateWindowA("KvMenuTarget", "menu target", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                cls.hInstance, nullptr);
    ASSERT_NE(target, nullptr);
    auto command = [&] {
        MSG msg;
        while (PeekMessageA(&msg, target, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        LONG_PTR seen = GetWindowLongPtrA(target, GWLP_USERDATA);
        SetWindowLongPtrA(target, GWLP_USERDATA, 0);
        return seen;
    };
    {
        CtrlDown ctrl(true);
        EXPECT_EQ(hotKey_(session->Context(), target, WM_KEYDOWN, 'S', &hotKeys), 1);
        EXPECT_EQ(command(), 1000);
        EXPECT_EQ(hotKey_(session->Context(), target, WM_CHAR, 0x13, &hotKeys), 1);   // Ctrl+S as a character
        EXPECT_EQ(command(), 1000);
        EXPECT_EQ(hotKey_(session->Context(), target, WM_KEYDOWN, VK_CONTROL, &hotKeys), 0);
        EnableWindow(target, FALSE);
        EXPECT_EQ(hotKey_(session->Context(), target, WM_KEYDOWN, 'H', &hotKeys), 1);
        EXPECT_EQ(command(), 0) << "a disabled window is sent nothing";
        EnableWindow(target, TRUE);
    }
    {
        CtrlDown ctrl(false);
        EXPECT_EQ(hotKey_(session->Context(), target, WM_KEYDOWN, 'S', &hotKeys), 0);
        EXPECT_EQ(hotKey_(session->Context(), target, WM_KEYDOWN, VK_F5, &hotKeys), 1);
        EXPECT_EQ(command(), 1001);
    }
    DestroyWindow(target);
}

}  // namespace
