// The error box's web page: the browser command found in the classes registry (a private
// root stands in for the machine's), and the page opened through that command or through
// an internet-shortcut file, by a stand-in browser that keeps running.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "dialog_watch.h"
#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/ui/web_page.h"
#include "resources/error_ids.h"
#include "tests/unit/engine_dll.h"

namespace {

// HKEY_CLASSES_ROOT of this process redirected to an empty key of its own.
class PrivateClassesRoot {
public:
    PrivateClassesRoot()
    {
        static int counter;
        path_ = "Software\\KvTestClasses\\" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++counter);
        RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
        if (RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root_,
                            nullptr) == ERROR_SUCCESS)
            ready_ = RegOverridePredefKey(HKEY_CLASSES_ROOT, root_) == ERROR_SUCCESS;
    }
    ~PrivateClassesRoot()
    {
        RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        if (root_)
            RegCloseKey(root_);
        RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
    }
    PrivateClassesRoot(const PrivateClassesRoot&) = delete;
    PrivateClassesRoot& operator=(const PrivateClassesRoot&) = delete;

    bool Ready() const { return ready_; }
    // The default value of a key below the root.
    void Set(const std::string& key, const std::string& value)
    {
        HKEY k;
        if (RegCreateKeyExA(root_, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr) != ERROR_SUCCESS)
            return;
        RegSetValueExA(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
        RegCloseKey(k);
    }

private:
    std::string path_;
    HKEY root_ = nullptr;
    bool ready_ = false;
};

const char* const HTTP = "http\\shell\\open\\command";
const char* const SHORTCUT = "InternetShortcut\\shell\\open\\command";

TEST(BrowserCommand, IsTheProgramOfTheFirstPlaceThatNamesOne)
{
    struct Case {
        std::vector<std::pair<std::string, std::string>> keys;
        const char* expected;
    } cases[] = {
        {{{HTTP, "C:\\web\\browse.exe -nohome %1"}}, "C:\\web\\browse.exe"},
        {{{HTTP, "\"C:\\Program Files\\Web Browser\\browse.exe\" -nohome \"%1\""}},
         "\"C:\\Program Files\\Web Browser\\browse.exe\""},
        {{{".htm", "htmlfile"}, {"htmlfile\\shell\\open\\command", "C:\\h.exe %1"}}, "C:\\h.exe"},
        {{{".htm\\shell\\open\\command", "C:\\d.exe"}}, "C:\\d.exe"},
        {{{HTTP, " C:\\lead.exe %1"}}, ""},                                 // a leading blank
        {{{SHORTCUT, "C:\\x.exe %1"}, {HTTP, "C:\\web.exe"}}, ""},         // shortcuts open pages
    };
    for (const Case& c : cases) {
        PrivateClassesRoot root;
        ASSERT_TRUE(root.Ready());
        for (const auto& [key, value] : c.keys)
            root.Set(key, value);
        char command[MAX_PATH] = "unchanged";
        EXPECT_EQ(FindBrowserCommand(command, sizeof command), 1) << c.expected;
        EXPECT_STREQ(command, c.expected);
    }
}

TEST(BrowserCommand, NoneFoundOrNoRoomAnswersZero)
{
    PrivateClassesRoot root;
    ASSERT_TRUE(root.Ready());
    char command[MAX_PATH];
    EXPECT_EQ(FindBrowserCommand(command, 0), 0);
    char profile[MAX_PATH];
    if (GetProfileStringA("Extensions", "htm", "", profile, sizeof profile) > 0)
        GTEST_SKIP() << "the system profile names a program for .htm";
    EXPECT_EQ(FindBrowserCommand(command, sizeof command), 0);
}

// ---------------------------------------------------------------- opening the page

std::string ReadWhenThere(const std::string& path, DWORD timeoutMs)
{
    for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
        std::ifstream in(path, std::ios::binary);
        if (in) {
            std::stringstream all;
            all << in.rdbuf();
            return all.str();
        }
        Sleep(50);
    }
    return std::string();
}

// The stand-in browser of a test, with the file it records its start in; it is ended when
// the test ends.
class StubBrowser {
public:
    StubBrowser()
    {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        record_ = std::string(temp) + "kvbrowser" + std::to_string(GetCurrentProcessId()) + ".txt";
        DeleteFileA(record_.c_str());
        SetEnvironmentVariableA("KVTEST_BROWSER_RECORD", record_.c_str());
        std::wstring bin = kvtest::BinFolder() + L"browser_stub.exe";
        program_ = std::string(bin.begin(), bin.end());
    }
    ~StubBrowser()
    {
        if (process_) {
            TerminateProcess(process_, 0);
            CloseHandle(process_);
        }
        DeleteFileA(record_.c_str());
        SetEnvironmentVariableA("KVTEST_BROWSER_RECORD", nullptr);
    }

    const std::string& Program() const { return program_; }
    // The arguments the stub was started with ("" when it did not start); afterwards
    // Running() tells whether it still runs.
    std::string Arguments()
    {
        std::string text = ReadWhenThere(record_, 15000);
        size_t newline = text.find('\n');
        if (newline == std::string::npos)
            return std::string();
        DWORD pid = static_cast<DWORD>(std::strtoul(text.c_str(), nullptr, 10));
        process_ = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
        return text.substr(newline + 1);
    }
    bool Running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

private:
    std::string record_, program_;
    HANDLE process_ = nullptr;
};

struct ContextDeleter {
    void operator()(BDS* ctx) const { std::free(ctx); }
};

TEST(WebPageBox, ButtonOpensTheAddressWithTheBrowserCommandAndDoesNotWaitForIt)
{
    PrivateClassesRoot root;
    ASSERT_TRUE(root.Ready());
    StubBrowser browser;
    root.Set(HTTP, "\"" + browser.Program() + "\" %1");

    std::unique_ptr<BDS, ContextDeleter> owned(static_cast<BDS*>(std::calloc(1, sizeof(BDS))));
    BDS* ctx = owned.get();
    HWND window = CreateWindowA("STATIC", "KVT - webpage", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                                nullptr, nullptr);
    ctx->hwndOwner = ctx->hwndParent = window;
    ctx->nErrorOffset = 0xFFFFFFFF;
    ctx->nUdfRunning = UDF_NONE_RUNNING;
    ctx->ErrorMode = EM_NOTIFY;
    InitErrorReporting(ctx);
    ctx->err.bTechSupport = 1;
    lstrcpyA(ctx->err.szTechSupportUrl, "kvtestweb:support?page=1");

    {
        DialogWatch watch("Error:  KVT - webpage", IDC_ERR_WEB_PAGE);
        ctx->nErrorCode = 2058;
        EXPECT_EQ(ReportError(ctx, nullptr, 1, 2058, ErrorClassOf(2058)), 0);   // the page ends the run
        ASSERT_TRUE(watch.Result().found);
        EXPECT_TRUE(watch.Result().controls.at(IDC_ERR_WEB_PAGE).visible);
    }
    EXPECT_EQ(browser.Arguments(), "kvtestweb:support?page=1");
    EXPECT_TRUE(browser.Running()) << "the box waited for the browser's end";
    EndErrorReporting(ctx);
    DestroyWindow(window);
}

TEST(WebPageBox, ShortcutFileOfAUniqueNameIsOpenedAndDeleted)
{
    PrivateClassesRoot root;
    ASSERT_TRUE(root.Ready());
    StubBrowser browser;
    root.Set(".url", "InternetShortcut");
    root.Set(SHORTCUT, "\"" + browser.Program() + "\" \"%1\"");

    std::unique_ptr<BDS, ContextDeleter> owned(static_cast<BDS*>(std::calloc(1, sizeof(BDS))));
    BDS* ctx = owned.get();
    ctx->eng.ctl.InputIdleTimeout = 2000;
    char command[MAX_PATH];
    ASSERT_EQ(FindBrowserCommand(command, sizeof command), 1);
    EXPECT_STREQ(command, "");
    EXPECT_EQ(OpenUrlInBrowser(ctx, command, "kvtestweb:support?page=2"), 1);

    std::string shortcut = browser.Arguments();
    EXPECT_TRUE(browser.Running()) << "the call waited for the browser's end";
    ASSERT_GE(shortcut.size(), 2u);
    if (shortcut.front() == '"')
        shortcut = shortcut.substr(1, shortcut.size() - 2);
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    char longTemp[MAX_PATH], longShortcut[MAX_PATH];
    GetLongPathNameA(temp, longTemp, MAX_PATH);
    std::string folder = shortcut.substr(0, shortcut.rfind('\\') + 1);
    GetLongPathNameA(folder.c_str(), longShortcut, MAX_PATH);
    EXPECT_STRCASEEQ(longShortcut, longTemp);
    std::string name = shortcut.substr(folder.size());
    EXPECT_EQ(name.rfind("$TRMTEMP", 0), 0u) << name;
    EXPECT_EQ(name.substr(name.size() - 4), ".URL") << name;
    EXPECT_EQ(GetFileAttributesA(shortcut.c_str()), INVALID_FILE_ATTRIBUTES) << "the shortcut file stayed";
}

TEST(WebPage, NothingIsOpenedForAnEmptyAddress)
{
    EXPECT_EQ(OpenUrlInBrowser(nullptr, "C:\\web.exe", ""), 0);
    EXPECT_EQ(OpenUrlInBrowser(nullptr, "C:\\web.exe", nullptr), 0);
}

}  // namespace
