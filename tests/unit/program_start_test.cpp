// Program starts: the association command's template, the App Paths lookup against a
// private machine root, the same-program test, the roads of a start as another user with
// the system's calls replaced, and the start by extension of the host's request 16.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/system/logon.h"
#include "engine/system/process_start.h"
#include "engine/system/program_search.h"
#include "engine/system/program_start.h"
#include "engine/system/start_by_extension.h"
#include "settings_sandbox.h"
#include "tests/unit/engine_dll.h"
#include "text_fixture.h"

namespace {

TEST(AssociationCommand, TemplatesTakeTheDocumentAndTheWordsOfTheParameters)
{
    const struct {
        const wchar_t* command;
        const wchar_t* parameters;
        const wchar_t* line;
    } cases[] = {
        {L"prog.exe \"%1\" %2 %*", L"p1 \"p 2\" p3", L"prog.exe \"D.x\" p1 \"p 2\" p3"},
        {L"prog.exe %2 %1", L"p1 p2", L"prog.exe p1 D.x"},
        {L"prog.exe %1 %*", L"  a   b ", L"prog.exe D.x a   b "},
        {L"prog.exe %1 %3 %*", L"a b c d", L"prog.exe D.x b c d"},
        {L"prog.exe %1 %4 %2", L"a", L"prog.exe D.x  a"},
        {L"prog.exe %1 %* x", L"", L"prog.exe D.x  x"},
        {L"prog.exe %1 100%% %x %", L"a", L"prog.exe D.x 100%% %x %"},
        {L"prog.exe /x", L"a b", L"prog.exe \"D.x\""},
        {L"prog.exe", L"a", L"prog.exe \"D.x\""},
        {L"  \"C:\\A B\\prog.exe\" /o \"%1\"", L"", L"\"C:\\A B\\prog.exe\" /o \"D.x\""},
        {L"\"C:\\A B\\prog.exe\"", L"", L"\"C:\\A B\\prog.exe\" \"D.x\""},
        {L"\"C:\\A B\\prog.exe %1", L"", L"\"C:\\A B\\prog.exe %1 \"D.x\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AssociationCommandLine(c.command, L"D.x", c.parameters), c.line) << c.command;
    std::wstring longParameters(9000, L'a');
    EXPECT_EQ(AssociationCommandLine(L"p %1 %2", L"D.x", longParameters.c_str()).size(), 8193u);
}

TEST(ShowCommands, LanguageCodesAndTheShellsNormal)
{
    EXPECT_EQ(ShowCommandOf(-1, false), SW_HIDE);
    EXPECT_EQ(ShowCommandOf(1, false), SW_MINIMIZE);
    EXPECT_EQ(ShowCommandOf(2, false), SW_SHOWNORMAL);
    EXPECT_EQ(ShowCommandOf(2, true), SW_SHOW);
    EXPECT_EQ(ShowCommandOf(3, true), SW_MAXIMIZE);
    EXPECT_EQ(ShowCommandOf(4, false), SW_SHOWNOACTIVATE);
    EXPECT_EQ(ShowCommandOf(7, true), SW_SHOWNORMAL);
}

// ---------------------------------------------------------------- App Paths

class ProgramPathTest : public TextTest {
protected:
    void SetUp() override
    {
        TextTest::SetUp();
        ASSERT_TRUE(sandbox_.Ready()) << sandbox_.Error();
    }

    void Entry(const wchar_t* key, const wchar_t* fullPath, DWORD type, const wchar_t* searchPath)
    {
        HKEY opened;
        std::wstring name = std::wstring(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\") + key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, name.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &opened,
                                  nullptr),
                  ERROR_SUCCESS);
        auto put = [&](const wchar_t* value, const wchar_t* text, DWORD kind) {
            if (text)
                RegSetValueExW(opened, value, 0, kind, reinterpret_cast<const BYTE*>(text),
                               DWORD((wcslen(text) + 1) * sizeof(wchar_t)));
        };
        put(nullptr, fullPath, type);
        put(L"Path", searchPath, REG_SZ);
        RegCloseKey(opened);
    }

    std::wstring Find(const wchar_t* program, int part, size_t room = MAX_PATH)
    {
        std::vector<wchar_t> out(room + 1, L'#');
        size_t n = FindProgramPathW(ctx, program, out.data(), room, part);
        EXPECT_EQ(n, wcslen(out.data())) << program;
        return out.data();
    }

    kvtest::SettingsSandbox sandbox_{true};
};

TEST_F(ProgramPathTest, NamesFindTheirEntryWithOrWithoutExtension)
{
    SetEnvironmentVariableW(L"KVUNIT_TOOLS", L"C:\\Tools");
    Entry(L"KVTOOL.EXE", L"%KVUNIT_TOOLS%\\kvtool.exe", REG_EXPAND_SZ, L"C:\\Tools\\bin");
    Entry(L"kvdoc.txt", L"C:\\Docs\\%name%.exe", REG_SZ, nullptr);
    const struct {
        const wchar_t* program;
        int part;
        const wchar_t* answer;
    } cases[] = {
        {L"kvtool", PROGRAM_FULL_PATH, L"C:\\Tools\\kvtool.exe"},
        {L"KvTool.exe", PROGRAM_FULL_PATH, L"C:\\Tools\\kvtool.exe"},
        {L"kvtool", PROGRAM_SEARCH_PATH, L"C:\\Tools\\bin"},
        {L"kvtool.com", PROGRAM_FULL_PATH, L""},
        {L"kvdoc.txt", PROGRAM_FULL_PATH, L"C:\\Docs\\%name%.exe"},   // REG_SZ: as it stands
        {L"kvdoc.txt", PROGRAM_SEARCH_PATH, L""},
        {L"kvdoc", PROGRAM_FULL_PATH, L""},
        {L"", PROGRAM_FULL_PATH, L""},
        {L"C:\\Else\\kvtool.exe", PROGRAM_FULL_PATH, L"C:\\Else\\kvtool.exe"},   // with a folder: itself
        {L"C:\\Else\\kvtool.exe", PROGRAM_SEARCH_PATH, L""},   // the entry names another file
        {L"C:\\Else\\nosuch.exe", PROGRAM_FULL_PATH, L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Find(c.program, c.part), c.answer) << c.program << " " << c.part;
    EXPECT_EQ(FindProgramPathW(ctx, L"kvtool", nullptr, 0, PROGRAM_FULL_PATH), 19u);
    EXPECT_EQ(Find(L"kvtool", PROGRAM_FULL_PATH, 6), L"C:\\To");
    char narrow[MAX_PATH];
    EXPECT_EQ(FindProgramPathA(ctx, "kvtool", narrow, sizeof narrow, PROGRAM_SEARCH_PATH), 12u);
    EXPECT_STREQ(narrow, "C:\\Tools\\bin");
}

TEST_F(ProgramPathTest, SearchPathOfAProgramWithAFolderNeedsTheSameFile)
{
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    std::wstring notepad = std::wstring(system) + L"\\notepad.exe";
    Entry(L"notepad.exe", notepad.c_str(), REG_SZ, L"C:\\NoteFolder");
    EXPECT_EQ(Find(notepad.c_str(), PROGRAM_SEARCH_PATH), L"C:\\NoteFolder");
    EXPECT_EQ(Find(L"notepad", PROGRAM_SEARCH_PATH), L"C:\\NoteFolder");
}

TEST_F(ProgramPathTest, SameProgramOfBareNamesAndFullPaths)
{
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    std::wstring notepad = std::wstring(system) + L"\\notepad.exe";
    EXPECT_EQ(SameProgramW(nullptr, L"notepad", notepad.c_str(), L".EXE"), 1);
    EXPECT_EQ(SameProgramW(nullptr, L"NOTEPAD.EXE", notepad.c_str(), L".EXE"), 1);
    EXPECT_EQ(SameProgramW(nullptr, L"notepad.com", notepad.c_str(), L".EXE"), 0);
    EXPECT_EQ(SameProgramW(nullptr, L"notepad", L"C:\\x\\", L".EXE"), 0);
    EXPECT_EQ(SameProgramW(nullptr, notepad.c_str(), notepad.c_str(), L".EXE"), 1);
    std::wstring upper = notepad;
    CharUpperBuffW(upper.data(), DWORD(upper.size()));
    EXPECT_EQ(SameProgramW(nullptr, upper.c_str(), notepad.c_str(), L".EXE"), 1);
    EXPECT_EQ(SameProgramW(nullptr, notepad.c_str(), L"C:\\other\\notepad.exe", L".EXE"), 0);
    EXPECT_EQ(SameProgramA(ctx, "notepad", "C:\\any\\NotePad.Exe", ".EXE"), 1);
    EXPECT_EQ(FileNamePart(L"C:\\a\\b.exe"), std::wstring(L"b.exe"));
    EXPECT_EQ(FileNamePart(L"C:"), nullptr);
    EXPECT_FALSE(HasPathSeparator(L"notepad.exe"));
    EXPECT_TRUE(HasPathSeparator(L"c:notepad.exe"));
}

// ---------------------------------------------------------------- another user

struct LogonStarts {
    std::vector<std::wstring> domains;
    std::vector<bool> passwords;     // a password was passed
    std::vector<DWORD> answers;      // what each call fails with (0: it starts)
    int asUser = 0;
    int logons = 0;
    std::wstring desktop;
    DWORD asUserFlags = 0;
};
LogonStarts g_starts;

BOOL WINAPI RecordWithLogon(LPCWSTR, LPCWSTR domain, LPCWSTR password, DWORD, LPCWSTR, LPWSTR, DWORD, LPVOID,
                            LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION)
{
    size_t call = g_starts.domains.size();
    g_starts.domains.push_back(domain ? domain : L"(none)");
    g_starts.passwords.push_back(password != nullptr);
    DWORD answer = call < g_starts.answers.size() ? g_starts.answers[call] : ERROR_ACCESS_DENIED;
    SetLastError(answer);
    return answer == 0;
}

BOOL WINAPI RecordAsUser(HANDLE, LPCWSTR, LPWSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD flags,
                         LPVOID, LPCWSTR, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION)
{
    ++g_starts.asUser;
    g_starts.asUserFlags = flags;
    g_starts.desktop = startup->lpDesktop ? startup->lpDesktop : L"";
    SetLastError(ERROR_PRIVILEGE_NOT_HELD);
    return FALSE;
}

BOOL WINAPI RefusingLogonW(LPCWSTR, LPCWSTR, LPCWSTR, DWORD, DWORD, PHANDLE)
{
    ++g_starts.logons;
    SetLastError(ERROR_LOGON_FAILURE);
    return FALSE;
}

class LogonStartTest : public TextTest {
protected:
    void SetUp() override
    {
        TextTest::SetUp();
        g_starts = LogonStarts{};
        ctx->eng.system.CreateProcessWithLogonW = RecordWithLogon;
        ctx->eng.system.CreateProcessAsUserW = RecordAsUser;
        LogonEntries() = LogonEntryDefaults();
        LogonEntries().LogonUserW = RefusingLogonW;
    }
    void TearDown() override
    {
        LogonEntries() = LogonEntryDefaults();
        TextTest::TearDown();
    }

    // ProcessStart as `user` of `domain`; the error left as the thread's last error.
    DWORD Start(const wchar_t* domain, const wchar_t* password)
    {
        STARTUPINFOW startup = StartupForShow(SW_HIDE);
        PROCESS_INFORMATION info{};
        if (ProcessStartW(ctx, nullptr, L"prog.exe", 0, nullptr, &startup, &info, L"someone", domain, password, 1))
            return 0;
        return GetLastError();
    }
};

TEST_F(LogonStartTest, RefusedLogonsAreRetriedWithTheComputerNameAndWithoutPassword)
{
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    ASSERT_TRUE(GetComputerNameW(computer, &size));

    g_starts.answers = {ERROR_LOGON_FAILURE, 0};
    EXPECT_EQ(Start(L".", L"pw"), 0u);
    EXPECT_EQ(g_starts.domains, (std::vector<std::wstring>{L".", computer}));

    g_starts = LogonStarts{};
    g_starts.answers = {ERROR_NO_LOGON_SERVERS, ERROR_LOGON_FAILURE, 0};
    EXPECT_EQ(Start(L".", L""), 0u);
    EXPECT_EQ(g_starts.domains, (std::vector<std::wstring>{L".", computer, computer}));
    EXPECT_EQ(g_starts.passwords, (std::vector<bool>{true, true, false}));

    g_starts = LogonStarts{};   // another domain and a password: no retry
    g_starts.answers = {ERROR_LOGON_FAILURE};
    EXPECT_EQ(Start(L"DOM", L"pw"), DWORD(ERROR_LOGON_FAILURE));
    EXPECT_EQ(g_starts.domains.size(), 1u);
}

TEST_F(LogonStartTest, RefusedAccessTriesAnInteractiveLogonAndKeepsTheError)
{
    g_starts.answers = {ERROR_ACCESS_DENIED};
    EXPECT_EQ(Start(L"DOM", L"pw"), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(g_starts.logons, 1);
    EXPECT_EQ(g_starts.asUser, 0);   // the logon was refused: nothing is started
}

TEST_F(LogonStartTest, KeptTokenStartsAsItsUserOnTheChosenDesktop)
{
    ctx->services.hLogonToken = reinterpret_cast<HANDLE>(0x4242);
    ctx->services.nLogonFlags = 1;
    STARTUPINFOW startup = StartupForShow(SW_HIDE);
    PROCESS_INFORMATION info{};
    EXPECT_FALSE(ProcessStartW(ctx, nullptr, L"prog.exe", NORMAL_PRIORITY_CLASS, nullptr, &startup, &info, nullptr,
                               nullptr, nullptr, NO_LOGON));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PRIVILEGE_NOT_HELD));
    EXPECT_EQ(g_starts.asUser, 1);
    EXPECT_EQ(g_starts.desktop, L"winsta0\\default");
    EXPECT_EQ(g_starts.asUserFlags, DWORD(NORMAL_PRIORITY_CLASS | CREATE_NEW_CONSOLE));
    EXPECT_EQ(startup.lpDesktop, nullptr);   // the caller's record is left alone
    ctx->services.hLogonToken = nullptr;
}

TEST_F(LogonStartTest, NewConsoleGoesIntoEachStartNotIntoTheSetting)
{
    ctx->services.hLogonToken = reinterpret_cast<HANDLE>(0x4242);   // starts reach the recorder
    ctx->eng.ctl.NewConsoleForPrograms = 1;
    ctx->eng.ctl.CreateProcessFlags = NORMAL_PRIORITY_CLASS;
    Call("runhide", {L"C:\\no\\prog.exe", L""});
    EXPECT_EQ(Error(), 1932);
    EXPECT_EQ(g_starts.asUserFlags, DWORD(NORMAL_PRIORITY_CLASS | CREATE_NEW_CONSOLE));
    EXPECT_EQ(ctx->eng.ctl.CreateProcessFlags, DWORD(NORMAL_PRIORITY_CLASS));
    ctx->eng.ctl.CreateProcessFlags = NORMAL_PRIORITY_CLASS | DETACHED_PROCESS;
    Call("runhide", {L"C:\\no\\prog.exe", L""});
    EXPECT_EQ(g_starts.asUserFlags, DWORD(NORMAL_PRIORITY_CLASS | DETACHED_PROCESS));
    ctx->services.hLogonToken = nullptr;
}

TEST_F(LogonStartTest, RunWithLogonWithoutTheSystemsSupportIs1681)
{
    ctx->eng.system.CreateProcessWithLogonW = nullptr;
    Call("runwithlogon", {L"prog.exe", L"", L"", 2, 34, L"u", L".", L"p", 1});
    EXPECT_EQ(Error(), 1681);
    ctx->eng.system.CreateProcessWithLogonW = RecordWithLogon;
    g_starts.answers = {ERROR_LOGON_FAILURE, ERROR_LOGON_FAILURE};
    Call("runwithlogon", {L"prog.exe", L"", L"", 2, 34, L"u", L".", L"p", 1});
    EXPECT_EQ(Error(), 1932);
    EXPECT_FALSE(g_starts.domains.empty());
}

// ---------------------------------------------------------------- start by extension

class StartByExtensionTest : public TextTest {
protected:
    void SetUp() override
    {
        TextTest::SetUp();
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder_ = std::wstring(temp) + L"kvext" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(folder_.c_str(), nullptr);
        SetEnvironmentVariableW(L"KVTEST_WORK", folder_.c_str());
        ctx->eng.ctl.CreateProcessFlags = NORMAL_PRIORITY_CLASS;
    }
    void TearDown() override
    {
        WriteProfileStringA("Extensions", "kvx", nullptr);
        WriteProfileStringA("Extensions", "kvy", nullptr);
        DeleteFileW((folder_ + L"\\stub.txt").c_str());
        DeleteFileW((folder_ + L"\\args.bat").c_str());
        RemoveDirectoryW(folder_.c_str());
        SetEnvironmentVariableW(L"KVTEST_WORK", nullptr);
        TextTest::TearDown();
    }

    std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

    std::string StubLine()
    {
        std::ifstream in(Narrow(folder_) + "\\stub.txt");
        std::string line;
        std::getline(in, line);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        return line;
    }

    std::wstring folder_;
};

TEST_F(StartByExtensionTest, BatchFileStartsDirectlyWithItsArguments)
{
    std::string batch = Narrow(folder_) + "\\args.bat";
    std::ofstream(batch) << "@echo %1 %2> \"" << Narrow(folder_) << "\\stub.txt\"\r\n@exit 4\r\n";
    EXPECT_EQ(ProgramKindByExt(ctx, SW_HIDE, (batch + " one two").c_str(), 0, 1), 1);
    EXPECT_EQ(StubLine(), "one two");
    EXPECT_EQ(ctx->eng.ctl.LastExitCode, 4u);
}

TEST_F(StartByExtensionTest, DocumentStartsThroughItsWinIniEntry)
{
    std::string stub = Narrow(kvtest::BinFolder()) + "cmdline_stub.exe";
    std::string document = Narrow(folder_) + "\\letter.kvx";
    WriteProfileStringA("Extensions", "kvx", (stub + " ^.kvx").c_str());
    EXPECT_EQ(ProgramKindByExt(ctx, SW_HIDE, document.c_str(), 0, 1), 1);
    EXPECT_EQ(StubLine(), "CMD " + stub + " " + document);
    EXPECT_EQ(ctx->eng.ctl.LastExitCode, 0u);

    WriteProfileStringA("Extensions", "kvy", "C:\\Tools\\viewer.txt ^.kvy");
    EXPECT_EQ(ProgramKindByExt(ctx, SW_HIDE, (Narrow(folder_) + "\\a.kvy").c_str(), 0, 0), 0);
    EXPECT_EQ(Error(), 1933);
    ctx->nErrorCode = 0;
    EXPECT_EQ(ProgramKindByExt(ctx, SW_HIDE, (Narrow(folder_) + "\\a.kvnone").c_str(), 0, 0), 0);
    EXPECT_EQ(Error(), 1933);
    ctx->nErrorCode = 0;
    EXPECT_EQ(ProgramKindByExt(ctx, SW_HIDE, "", 0, 0), 0);
    EXPECT_EQ(Error(), 0);
}

TEST_F(StartByExtensionTest, CommandLineThatCannotStartIs1932)
{
    EXPECT_EQ(RunCommandLine(ctx, "C:\\no\\such\\program.exe", SW_HIDE, 0), 0);
    EXPECT_EQ(Error(), 1932);
    EXPECT_EQ(ctx->eng.ctl.LastExitCode, 99999u);
    ctx->nErrorCode = 0;
    EXPECT_EQ(ProgramKindByExt(ctx, SW_HIDE, "C:\\no\\such\\program", 1, 0), 0);
    EXPECT_EQ(Error(), 1932);
}

}  // namespace
