// Shortcut services: hotkey texts both ways, the start of a link's target (its exit code
// comes back; a target under a folder with blanks starts), and the shell's Active Desktop,
// which Wine does not have.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>

#include "engine/com/desktop_menu.h"
#include "engine/com/shell_link.h"
#include "engine/files/hotkey_text.h"

namespace {

TEST(HotkeyText, TextsAndWords)
{
    struct Case {
        const char* text;
        uint16_t word;
    } cases[] = {
        {"^!{F5}", 0x0674}, {"+a", 0x0141},   {"{NOSUCH}", 0},   {"xyz", 0x58},  {"^", 0},
        {"{f16}", 0x7F},    {"!{x}", 0x0458}, {"{ESC}", 0x1B}, {"", 0},      {"{F5", 0},
        // The key ends the scan; a name the table does not know does not.
        {"^xyz", 0x0258},   {"!{F2}rest", 0x0471}, {"+{x}yz", 0x0158}, {"{NOSUCH}a", 0x41},
        {"{}", 0},          {"{TOOLONGNAME}", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HotkeyTextParse(c.text), c.word) << c.text;

    char text[16];
    ASSERT_EQ(HotkeyToText(0x0674, text, sizeof text), 1);
    EXPECT_STREQ(text, "^!{F5}");
    ASSERT_EQ(HotkeyToText(0x0141, text, sizeof text), 1);
    EXPECT_STREQ(text, "+A");
    ASSERT_EQ(HotkeyToText(0x0807, text, sizeof text), 1);
    EXPECT_STREQ(text, "?{?}");
    ASSERT_EQ(HotkeyToText(0x08, text, sizeof text), 1);
    EXPECT_STREQ(text, "{BACKSPACE}");
    EXPECT_EQ(HotkeyToText(0, text, sizeof text), 0);
    EXPECT_EQ(HotkeyToText(0x0674, text, 6), 0) << "the text must fit";
}

class ShortcutRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"kv shortcut " + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(folder_.c_str(), nullptr);
    }
    void TearDown() override
    {
        for (const std::wstring& f : made_)
            DeleteFileW(f.c_str());
        RemoveDirectoryW(folder_.c_str());
    }
    // A link to `target` with `arguments`, written through the shell.
    std::wstring Link(const wchar_t* name, const std::wstring& target, const wchar_t* arguments)
    {
        std::wstring path = folder_ + L"\\" + name;
        CoInitialize(nullptr);
        IShellLinkW* link = nullptr;
        IPersistFile* file = nullptr;
        EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link)), S_OK);
        link->SetPath(target.c_str());
        link->SetArguments(arguments);
        link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
        EXPECT_EQ(file->Save(path.c_str(), TRUE), S_OK);
        file->Release();
        link->Release();
        CoUninitialize();
        made_.push_back(path);
        return path;
    }
    static DWORD ExitCodeOf(HANDLE process)
    {
        DWORD code = 12345;
        EXPECT_EQ(WaitForSingleObject(process, 20000), WAIT_OBJECT_0);
        GetExitCodeProcess(process, &code);
        CloseHandle(process);
        return code;
    }
    std::wstring System(const wchar_t* name)
    {
        wchar_t dir[MAX_PATH];
        GetSystemDirectoryW(dir, MAX_PATH);
        return std::wstring(dir) + L"\\" + name;
    }

    std::wstring folder_;
    std::vector<std::wstring> made_;
};

TEST_F(ShortcutRunTest, TheTargetRunsWithTheLinksArgumentsOrTheCallers)
{
    std::wstring link = Link(L"exit7.lnk", System(L"cmd.exe"), L"/c exit 7");
    HANDLE process = nullptr;
    DWORD id = 0;
    ASSERT_EQ(RunShortcutW(nullptr, link.c_str(), L"/c exit 9", nullptr, SW_SHOWNORMAL, &process, &id), 0u);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(ExitCodeOf(process), 7u) << "the link's own arguments win";

    std::wstring bare = Link(L"bare.lnk", System(L"cmd.exe"), L"");
    ASSERT_EQ(RunShortcutA(nullptr, std::string(bare.begin(), bare.end()).c_str(), "/c exit 9", nullptr,
                           SW_SHOWNORMAL, &process, &id), 0u);
    EXPECT_EQ(ExitCodeOf(process), 9u) << "a link without arguments passes the caller's";
}

TEST_F(ShortcutRunTest, ATargetUnderAFolderWithBlanksStarts)
{
    std::wstring copy = folder_ + L"\\my cmd.exe";
    ASSERT_TRUE(CopyFileW(System(L"cmd.exe").c_str(), copy.c_str(), FALSE));
    made_.push_back(copy);
    std::wstring link = Link(L"blank.lnk", copy, L"/c exit 3");
    HANDLE process = nullptr;
    DWORD id = 0;
    ASSERT_EQ(RunShortcutW(nullptr, link.c_str(), nullptr, nullptr, SW_SHOWNORMAL, &process, &id), 0u);
    EXPECT_EQ(ExitCodeOf(process), 3u);
}

TEST_F(ShortcutRunTest, AFileThatIsNoLinkCannotBeRead)
{
    std::wstring text = folder_ + L"\\bad.lnk";
    HANDLE f = CreateFileW(text.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, "not a link", 10, &written, nullptr);
    CloseHandle(f);
    made_.push_back(text);
    HANDLE process = reinterpret_cast<HANDLE>(1);
    DWORD id = 5;
    EXPECT_EQ(RunShortcutW(nullptr, text.c_str(), nullptr, nullptr, SW_SHOWNORMAL, &process, &id), 0xFFFFFFFFu);
    EXPECT_EQ(process, nullptr);
    EXPECT_EQ(id, 0u);
    EXPECT_EQ(RunShortcutW(nullptr, (folder_ + L"\\missing.lnk").c_str(), nullptr, nullptr, 1, &process, &id),
              0xFFFFFFFFu);
}

// Wine has no Active Desktop: Wallpaper then takes its registry road.
TEST(ActiveDesktop, WithoutItTheWallpaperIsNotSetThisWay)
{
    EXPECT_EQ(ActiveDesktopSetWallpaper(nullptr, "C:\\none.bmp", 1), 0);
    EXPECT_EQ(ExecuteMenuItemByCom(nullptr, "NoSuch.App", "File|Open"), 0);
    EXPECT_EQ(ExecuteMenuItemByCom(nullptr, "", "File"), 0);
}

}  // namespace
