// IntControl through recorders put in the place of the system's machine-changing calls:
// ending the session, the power state, the clock, the screen saver flag, broadcasts and
// moves at restart; the table's completeness; certificate matching of code signing; and a
// sweep of every request with empty and with bad parameters.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <deque>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "cert_fixtures.h"
#include "engine/system/code_signing.h"
#include "engine/system/intcontrol.h"
#include "engine/system/system_entries.h"
#include "settings_sandbox.h"
#include "text_fixture.h"

namespace {

// ---------------------------------------------------------------- recorders

// What the recorders saw, one line per call, and what they answer: the next of `answers`
// (TRUE when none is queued), with `error` as the last error of a FALSE answer.
struct Seam {
    std::vector<std::string> calls;
    std::deque<BOOL> answers;
    DWORD error = 0;
    bool privilegeGranted = true;
};
Seam g_seam;

BOOL Answer()
{
    BOOL answer = TRUE;
    if (!g_seam.answers.empty()) {
        answer = g_seam.answers.front();
        g_seam.answers.pop_front();
    }
    if (!answer)
        SetLastError(g_seam.error);
    return answer;
}

void Log(const char* format, ...)
{
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    g_seam.calls.push_back(line);
}

std::string Narrowed(const wchar_t* text)
{
    if (!text)
        return "(null)";
    std::string out;
    for (; *text; ++text)
        out += static_cast<char>(*text);
    return out;
}

bool RecordPrivilege(BDS*, const char* name)
{
    Log("EnablePrivilege %s", name);
    return g_seam.privilegeGranted;
}
BOOL WINAPI RecordExitWindows(UINT flags, DWORD reason)
{
    Log("ExitWindowsEx %#x %#lx", flags, static_cast<unsigned long>(reason));
    return Answer();
}
BOOL WINAPI RecordPowerState(BOOL suspend, BOOL force)
{
    Log("SetSystemPowerState %d %d", suspend, force);
    return Answer();
}
BOOL WINAPI RecordLocalTime(const SYSTEMTIME* t)
{
    Log("SetLocalTime %04u-%02u-%02u %02u:%02u:%02u.%03u", t->wYear, t->wMonth, t->wDay, t->wHour, t->wMinute,
        t->wSecond, t->wMilliseconds);
    return Answer();
}
BOOL WINAPI RecordParameter(UINT action, UINT param, PVOID, UINT)
{
    Log("SystemParametersInfoA %u %u", action, param);
    return Answer();
}
LRESULT WINAPI RecordSendTimeout(HWND window, UINT message, WPARAM, LPARAM lParam, UINT flags, UINT timeout,
                                 PDWORD_PTR answer)
{
    Log("SendMessageTimeoutA %#llx %u \"%s\" %u %u", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)),
        message, reinterpret_cast<const char*>(lParam), flags, timeout);
    *answer = 77;
    return Answer();
}
LRESULT WINAPI RecordSendA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Log("SendMessageA %#llx %u %lld \"%s\"", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)),
        message, static_cast<long long>(wParam), reinterpret_cast<const char*>(lParam));
    return 55;
}
LRESULT WINAPI RecordSendW(HWND window, UINT message, WPARAM, LPARAM lParam)
{
    Log("SendMessageW %#llx %u \"%s\"", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)), message,
        Narrowed(reinterpret_cast<const wchar_t*>(lParam)).c_str());
    return 56;
}
BOOL WINAPI RecordPost(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Log("PostMessageA %#llx %u %lld %lld", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)),
        message, static_cast<long long>(wParam), static_cast<long long>(lParam));
    return Answer();
}
BOOL WINAPI RecordMove(LPCWSTR source, LPCWSTR target, DWORD flags)
{
    Log("MoveFileExW %s -> %s %lu", Narrowed(source).c_str(), Narrowed(target).c_str(),
        static_cast<unsigned long>(flags));
    return Answer();
}
BOOL WINAPI RecordNameW(COMPUTER_NAME_FORMAT format, LPCWSTR name)
{
    Log("SetComputerNameExW %d %s", format, Narrowed(name).c_str());
    return Answer();
}
BOOL WINAPI RecordNameA(COMPUTER_NAME_FORMAT format, LPCSTR name)
{
    Log("SetComputerNameExA %d %s", format, name);
    return Answer();
}
BOOL WINAPI RecordPlainNameW(LPCWSTR name)
{
    Log("SetComputerNameW %s", Narrowed(name).c_str());
    return Answer();
}
BOOL WINAPI RecordPlainNameA(LPCSTR name)
{
    Log("SetComputerNameA %s", name);
    return Answer();
}

// Every entry of the table a recorder: nothing a test does reaches the machine.
void InstallRecorders(SystemEntries* sys)
{
    *sys = SystemEntries{};   // starting programs as another user: none
    sys->SetComputerNameExW = RecordNameW;
    sys->SetComputerNameExA = RecordNameA;
    sys->SetComputerNameW = RecordPlainNameW;
    sys->SetComputerNameA = RecordPlainNameA;
    sys->EnablePrivilege = RecordPrivilege;
    sys->ExitWindowsEx = RecordExitWindows;
    sys->SetSystemPowerState = RecordPowerState;
    sys->SetLocalTime = RecordLocalTime;
    sys->SystemParametersInfoA = RecordParameter;
    sys->SendMessageTimeoutA = RecordSendTimeout;
    sys->SendMessageA = RecordSendA;
    sys->SendMessageW = RecordSendW;
    sys->PostMessageA = RecordPost;
    sys->MoveFileExW = RecordMove;
}

constexpr unsigned REASON = 0x80040001;   // planned, application, maintenance

using Calls = std::vector<std::string>;

class IntControlTest : public TextTest {
protected:
    void SetUp() override
    {
        TextTest::SetUp();
        ASSERT_TRUE(sandbox_.Ready()) << sandbox_.Error();
        g_seam = Seam{};
        InstallRecorders(&ctx->eng.system);
        ctx->eng.ctl.FileDelimiter = '\t';
    }

    // IntControl(request, p1 .. p4); answers the result text ("" with an error).
    std::string Request(int request, const std::string& p1 = "0", const std::string& p2 = "0",
                        const std::string& p3 = "0", const std::string& p4 = "0")
    {
        g_seam.calls.clear();
        Call("intcontrol", {request, p1, p2, p3, p4});
        if (result.flags != VF_STRING)
            return "<not text>";
        return ValueText(ctx, &result);
    }

    kvtest::SettingsSandbox sandbox_;
};

// ---------------------------------------------------------------- the Windows session

TEST_F(IntControlTest, SessionRequestsPassTheirFlagsAndEndTheScriptWhenTheSystemAgrees)
{
    const struct {
        int request;
        const char* force;
        const char* p3;
        Calls calls;
    } cases[] = {
        {66, "0", "0", {"ExitWindowsEx 0 0x80040001"}},
        {66, "1", "0", {"ExitWindowsEx 0x4 0x80040001"}},
        {67, "0", "0", {"EnablePrivilege SeShutdownPrivilege", "ExitWindowsEx 0x2 0x80040001"}},
        {67, "5", "0", {"EnablePrivilege SeShutdownPrivilege", "ExitWindowsEx 0x6 0x80040001"}},
        {68, "0", "0", {"EnablePrivilege SeShutdownPrivilege", "ExitWindowsEx 0x9 0x80040001"}},
        {68, "1", "1", {"EnablePrivilege SeShutdownPrivilege", "ExitWindowsEx 0x5 0x80040001"}},
        {68, "0", "2", {"EnablePrivilege SeShutdownPrivilege", "ExitWindowsEx 0x9 0x80040001"}},
    };
    for (const auto& c : cases) {
        ctx->bCancel = 0;
        ctx->bCancelBox = 1;
        EXPECT_EQ(Request(c.request, "0", c.force, c.p3), "0") << c.request;
        EXPECT_EQ(Error(), 0);
        EXPECT_EQ(g_seam.calls, c.calls) << c.request << " " << c.force << " " << c.p3;
        EXPECT_EQ(ctx->bCancel, 1u);
        EXPECT_EQ(ctx->bCancelBox, 0u);   // the script ends without the cancel notice
    }
    static_assert(REASON == (SHTDN_REASON_FLAG_PLANNED | SHTDN_REASON_MAJOR_APPLICATION |
                             SHTDN_REASON_MINOR_MAINTENANCE));

    ctx->bCancel = 0;
    g_seam.answers = {FALSE};
    EXPECT_EQ(Request(66, "0", "1"), "0");
    EXPECT_EQ(ctx->bCancel, 0u);   // refused: the script goes on
}

TEST_F(IntControlTest, ARefusedPrivilegeStopsTheRequestBeforeTheSystemCall)
{
    g_seam.privilegeGranted = false;
    const struct {
        int request;
        const char* p1;
        int error;
        const char* privilege;
    } cases[] = {
        {67, "0", 1388, "SeShutdownPrivilege"},
        {68, "0", 1388, "SeShutdownPrivilege"},
        {69, "1", 1576, "SeShutdownPrivilege"},
        {58, "2024:01:02:03:04:05", 1576, "SeSystemtimePrivilege"},
    };
    for (const auto& c : cases) {
        Request(c.request, c.p1);
        EXPECT_EQ(Error(), c.error) << c.request;
        EXPECT_EQ(g_seam.calls, Calls{std::string("EnablePrivilege ") + c.privilege}) << c.request;
    }
    EXPECT_EQ(Request(66, "0", "1"), "0");   // logging off needs no privilege
    EXPECT_EQ(g_seam.calls, Calls{"ExitWindowsEx 0x4 0x80040001"});
    EXPECT_EQ(ctx->bCancel, 1u);
}

TEST_F(IntControlTest, PowerStatePassesBothParametersAndAnswersTheSystem)
{
    EXPECT_EQ(Request(69, "1", "0"), "1");
    EXPECT_EQ(g_seam.calls, (Calls{"EnablePrivilege SeShutdownPrivilege", "SetSystemPowerState 1 0"}));
    g_seam.answers = {FALSE};
    EXPECT_EQ(Request(69, "0", "3"), "0");
    EXPECT_EQ(g_seam.calls.back(), "SetSystemPowerState 0 3");
    EXPECT_EQ(Error(), 0);
}

// ---------------------------------------------------------------- the clock

TEST_F(IntControlTest, ClockIsSetTwiceAndAnswersTheSecondCall)
{
    g_seam.answers = {TRUE, FALSE};
    EXPECT_EQ(Request(58, "2024:01:02:03:04:05"), "0");
    EXPECT_EQ(Error(), 0);
    EXPECT_EQ(g_seam.calls, (Calls{"EnablePrivilege SeSystemtimePrivilege", "SetLocalTime 2024-01-02 03:04:05.000",
                                   "SetLocalTime 2024-01-02 03:04:05.000"}));
    EXPECT_EQ(Request(58, "2024:02:29"), "1");   // a date alone is midnight
    EXPECT_EQ(g_seam.calls.back(), "SetLocalTime 2024-02-29 00:00:00.000");
}

TEST_F(IntControlTest, BadClockTextsCallNothing)
{
    // Years a SYSTEMTIME cannot hold would reach the clock cut short.
    for (const char* text : {"2024:13:01:00:00:00", "2023:02:29", "2024:01:02:24:00:00", "", "noon",
                             "1600:12:31:23:59:59", "30828:01:01", "99999:01:01:00:00:00"}) {
        Request(58, text);
        EXPECT_EQ(Error(), 1575) << text;
        EXPECT_TRUE(g_seam.calls.empty()) << text;
    }
}

// ---------------------------------------------------------------- screen saver and broadcasts

TEST_F(IntControlTest, ScreenSaverFlagTakesOnlyZeroOrOne)
{
    EXPECT_EQ(Request(57, "1"), "1");
    EXPECT_EQ(g_seam.calls, Calls{"SystemParametersInfoA 97 1"});
    EXPECT_EQ(Request(57, "0"), "1");
    EXPECT_EQ(g_seam.calls, Calls{"SystemParametersInfoA 97 0"});
    for (const char* p1 : {"2", "-1"}) {
        EXPECT_EQ(Request(57, p1), "0") << p1;
        EXPECT_TRUE(g_seam.calls.empty());
    }
}

TEST_F(IntControlTest, BroadcastsReachOnlyTheRecorders)
{
    ctx->eng.ctl.PostedMessageDelay = 0;
    EXPECT_EQ(Request(59, "-1", "Environment"), "77");
    EXPECT_EQ(g_seam.calls, Calls{"SendMessageTimeoutA 0xffff 26 \"Environment\" 2 5000"});
    EXPECT_EQ(Request(59, "65535", ""), "77");
    EXPECT_EQ(g_seam.calls, Calls{"SendMessageTimeoutA 0xffff 26 \"\" 2 5000"});
    EXPECT_EQ(Request(60, "65535", "LPT1"), "77");
    EXPECT_EQ(g_seam.calls, Calls{"SendMessageTimeoutA 0xffff 27 \"LPT1\" 2 5000"});
    EXPECT_EQ(Request(60, "-1", ""), "0");   // a device must be named
    EXPECT_TRUE(g_seam.calls.empty());

    EXPECT_EQ(Request(23, "-1", "1234", "-2", "70000"), "1");
    EXPECT_EQ(g_seam.calls, Calls{"PostMessageA 0xffff 1234 -2 70000"});
    g_seam.answers = {FALSE};
    EXPECT_EQ(Request(23, "65535", "1234"), "0");

    EXPECT_EQ(Request(22, "-1", "1235", "3", "text"), "55");
    EXPECT_EQ(g_seam.calls, Calls{"SendMessageA 0xffff 1235 3 \"text\""});
    Call("sendmessagew", {"65535", 1236, 0, L"wide"});
    EXPECT_EQ(Int(), 56);
    EXPECT_EQ(g_seam.calls.back(), "SendMessageW 0xffff 1236 \"wide\"");
}

TEST_F(IntControlTest, BroadcastToSomethingThatIsNoWindowIsRefused)
{
    for (int request : {59, 60}) {
        Request(request, "12345678", "x");
        EXPECT_EQ(Error(), 1464) << request;
        EXPECT_TRUE(g_seam.calls.empty());
    }
    EXPECT_EQ(Request(23, "12345678", "1234"), "0");   // nothing posted
    EXPECT_TRUE(g_seam.calls.empty());
}

// ---------------------------------------------------------------- moves at restart

class IntControlMoveTest : public IntControlTest {
protected:
    void SetUp() override
    {
        IntControlTest::SetUp();
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        GetLongPathNameA(temp, temp, sizeof temp);
        folder_ = std::string(temp) + "kv_ic30_" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(folder_.c_str(), nullptr);
        CreateDirectoryA((folder_ + "\\sub").c_str(), nullptr);
        source_ = folder_ + "\\moved.txt";
        std::ofstream(source_) << "data";
    }
    void TearDown() override
    {
        for (const char* name : {"\\moved.txt", "\\sub\\moved.txt", "\\other.txt"})
            DeleteFileA((folder_ + name).c_str());
        RemoveDirectoryA((folder_ + "\\sub").c_str());
        RemoveDirectoryA(folder_.c_str());
        IntControlTest::TearDown();
    }
    static bool Exists(const std::string& name) { return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES; }

    std::string folder_;
    std::string source_;
};

TEST_F(IntControlMoveTest, ScheduledMoveTakesTheSourceNameIntoAFolder)
{
    EXPECT_EQ(Request(30, source_, folder_ + "\\sub"), "1");
    EXPECT_EQ(Error(), 0);
    EXPECT_EQ(g_seam.calls, Calls{"MoveFileExW " + source_ + " -> " + folder_ + "\\sub\\moved.txt 5"});
    EXPECT_EQ(Request(30, source_, folder_ + "\\*.bak"), "1");   // a wildcard maps the name
    EXPECT_EQ(g_seam.calls, Calls{"MoveFileExW " + source_ + " -> " + folder_ + "\\moved.bak 5"});
    EXPECT_EQ(Request(30, source_, ""), "1");   // deleted at the restart
    EXPECT_EQ(g_seam.calls, Calls{"MoveFileExW " + source_ + " -> (null) 5"});
    EXPECT_TRUE(Exists(source_));
}

TEST_F(IntControlMoveTest, BadSourcesAndTargetsAreRefusedBeforeTheSystemCall)
{
    char otherDrive = static_cast<char>(source_[0] == 'Q' || source_[0] == 'q' ? 'R' : 'Q');
    const struct {
        std::string source;
        std::string target;
        int error;
    } cases[] = {
        {folder_ + "\\missing.txt", "", 1426},
        {"", folder_, 1426},
        {source_, std::string(1, otherDrive) + ":\\moved.txt", 1428},
        {source_, folder_ + "\\a|b.txt", 1427},
        {source_, folder_ + "\\sub\\x<y>", 1427},
        {source_, std::string(33000, 'a'), 1427},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Request(30, c.source, c.target), "0") << c.target.substr(0, 40);
        EXPECT_EQ(Error(), c.error) << c.target.substr(0, 40);
        EXPECT_TRUE(g_seam.calls.empty());
    }
}

TEST_F(IntControlMoveTest, ASystemThatCannotScheduleMovesTheFileAtOnce)
{
    g_seam.answers = {FALSE};
    g_seam.error = ERROR_CALL_NOT_IMPLEMENTED;
    EXPECT_EQ(Request(30, source_, folder_ + "\\sub"), "2");
    EXPECT_EQ(Error(), 0);
    EXPECT_FALSE(Exists(source_));
    EXPECT_TRUE(Exists(folder_ + "\\sub\\moved.txt"));

    // Another failure answers "0" and leaves the file; a delete is never done early.
    std::string moved = folder_ + "\\sub\\moved.txt";
    g_seam.answers = {FALSE};
    g_seam.error = ERROR_ACCESS_DENIED;
    EXPECT_EQ(Request(30, moved, folder_ + "\\other.txt"), "0");
    g_seam.answers = {FALSE};
    g_seam.error = ERROR_CALL_NOT_IMPLEMENTED;
    EXPECT_EQ(Request(30, moved, ""), "0");
    EXPECT_TRUE(Exists(moved));
    EXPECT_FALSE(Exists(folder_ + "\\other.txt"));
}

// ---------------------------------------------------------------- minimal forms and the rest

TEST_F(IntControlTest, ProcessRequestsAnswerAsWhenNothingIsThere)
{
    const struct {
        int request;
        const char* p1;
        const char* p2;
        const char* answer;
        int error;
    } cases[] = {
        {36, "No such window", "100", "0", 1464},
        {47, "No such window", "0", "0", 1464},
        {48, "No such window", "0", "0", 1464},
        {56, "No such window", "0", "0", 1464},
        {56, "nosuch.exe", "1", "0", 0},
        {56, "0", "2", "0", 0},
        {56, "x", "3", "0", 1615},
        {92, "Disable", "0", "-1", 0},
        {92, "Revert", "0", "-1", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Request(c.request, c.p1, c.p2), c.answer) << c.request << " " << c.p2;
        EXPECT_EQ(Error(), c.error) << c.request << " " << c.p2;
    }
}

// Minor errors under @OFF show no box (the boxes of the graver ones are driven by the
// script tests of ErrorEvent).
TEST_F(IntControlTest, UserErrorsKeepTheirCodeAndTextForTheCore)
{
    ctx->ErrorMode = EM_OFF;
    const struct {
        const char* severity;
        const char* code;
        int error;
    } cases[] = {
        {"-1", "7000", 1668}, {"-1", "7999", 1668}, {"-4", "7000", 1666},
        {"0", "7000", 1666},  {"-1", "6999", 1667}, {"-1", "8000", 1667},
    };
    for (const auto& c : cases) {
        ctx->eng.ctl.LastUserErrorCode = 0;
        Request(79, c.severity, c.code, "what went wrong");
        EXPECT_EQ(Error(), c.error) << c.severity << " " << c.code;
        bool kept = c.error == 1668;
        EXPECT_EQ(ctx->eng.ctl.LastUserErrorCode, kept ? static_cast<uint32_t>(atoi(c.code)) : 0u);
    }
    Request(79, "-1", "7002", std::string(300, 'x'));
    EXPECT_EQ(std::string(ctx->eng.ctl.LastUserErrorText), std::string(255, 'x'));
}

TEST_F(IntControlTest, InvalidModesAnswerZeroWithTheirError)
{
    EXPECT_EQ(Request(98, "1", "3"), "0");
    EXPECT_EQ(Error(), 1809);
    EXPECT_EQ(Request(98, "12345", "1"), "0");   // no such structure
    EXPECT_NE(Error(), 0);
    EXPECT_EQ(Request(93, "4", "x"), "0");
    EXPECT_EQ(Error(), 1809);
    EXPECT_EQ(Request(99, "never_loaded.dll"), "0");
    EXPECT_EQ(Error(), 0);
    EXPECT_EQ(Request(71, "1"), "0");   // no trace file
    EXPECT_EQ(Request(71, "3"), "0");
}

// ---------------------------------------------------------------- the table

// Every number of the engine's range has exactly one row or goes to the host; nothing
// else, and no row serves a number the host owns or one outside the range.
TEST(IntControlTable, EveryRequestIsServedOnceOrGoesToTheHost)
{
    int familyCount = 0;
    const IntControlFamily* const* families = IntControlFamilies(&familyCount);
    std::vector<std::vector<std::string>> owners(103);
    for (int f = 0; f < familyCount; ++f)
        for (int i = 0; i < families[f]->count; ++i) {
            int request = families[f]->rows[i].request;
            ASSERT_TRUE(request >= 1 && request <= 102) << families[f]->name << " " << request;
            EXPECT_NE(families[f]->rows[i].run, nullptr);
            owners[request].push_back(families[f]->name);
        }
    for (int request = 1; request <= 102; ++request) {
        bool host = IsHostIntControlRequest(request);
        size_t rows = owners[request].size();
        EXPECT_TRUE(host ? rows == 0 : rows == 1) << request << (host ? " belongs to the host" : "")
                                                  << " and has " << rows << " rows";
    }
    for (int request : {2, 3, 6, 9, 10, 11, 14, 15, 16, 17, 18, 19, 27, 55, 86, 95, -5, 0, 103, 1004})
        EXPECT_TRUE(IsHostIntControlRequest(request)) << request;
}

// ---------------------------------------------------------------- code signing

TEST(CodeSigningHash, TextDropsLeadingZerosAndFortyDigitsNameOneHash)
{
    uint8_t first[CERT_HASH_BYTES] = {0x01, 0x23, 0x0A, 0xFF};
    uint8_t second[CERT_HASH_BYTES] = {0x12, 0x03, 0x0A, 0xFF};
    std::string text = "123AFF" + std::string(16, '0');   // one digit for each zero byte
    EXPECT_EQ(CertHashText(first), text);
    EXPECT_EQ(CertHashText(second), text);
    EXPECT_TRUE(CertHashTextNames(("123aff" + std::string(16, '0')).c_str(), first));
    EXPECT_TRUE(CertHashTextNames(text.c_str(), second));
    std::string full = "01230AFF" + std::string(32, '0');
    EXPECT_TRUE(CertHashTextNames(full.c_str(), first));
    EXPECT_FALSE(CertHashTextNames(full.c_str(), second));
    EXPECT_FALSE(CertHashTextNames("123AFF", first));
    EXPECT_FALSE(CertHashTextNames("", first));
}

class CodeSigningStoreTest : public TextTest {
protected:
    void SetUp() override
    {
        TextTest::SetUp();
        ASSERT_TRUE(sandbox_.Ready()) << sandbox_.Error();
        store_ = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
        ASSERT_NE(store_, nullptr);
    }
    void TearDown() override
    {
        CertCloseStore(store_, 0);
        TextTest::TearDown();
    }
    // Adds a certificate to the store; with a hash, its cached SHA-1 property is replaced.
    void Add(const uint8_t* der, size_t size, const uint8_t* hash = nullptr)
    {
        PCCERT_CONTEXT added = nullptr;
        ASSERT_TRUE(CertAddEncodedCertificateToStore(store_, X509_ASN_ENCODING, der, static_cast<DWORD>(size),
                                                     CERT_STORE_ADD_ALWAYS, &added));
        if (hash) {
            CRYPT_HASH_BLOB blob{CERT_HASH_BYTES, const_cast<BYTE*>(hash)};
            ASSERT_TRUE(CertSetCertificateContextProperty(added, CERT_SHA1_HASH_PROP_ID, 0, &blob));
        }
        CertFreeCertificateContext(added);
    }
    // "first hash byte:friendly name" of each certificate ("-" for no name), sorted.
    std::vector<std::string> Names()
    {
        std::vector<std::string> names;
        PCCERT_CONTEXT cert = nullptr;
        while ((cert = CertEnumCertificatesInStore(store_, cert)) != nullptr) {
            uint8_t hash[CERT_HASH_BYTES] = {};
            DWORD hashSize = sizeof hash;
            CertGetCertificateContextProperty(cert, CERT_SHA1_HASH_PROP_ID, hash, &hashSize);
            wchar_t name[256] = {};
            DWORD size = sizeof name;
            char head[8];
            std::snprintf(head, sizeof head, "%02X:", hash[0]);
            names.push_back(head + (CertGetCertificateContextProperty(cert, CERT_FRIENDLY_NAME_PROP_ID, name, &size)
                                        ? Narrowed(name)
                                        : std::string("-")));
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string LastErrorRecord()
    {
        char value[300] = {};
        GetPrivateProfileStringA("KVDYC64I", "LastError", "", value, sizeof value, sandbox_.IniFile().c_str());
        return value;
    }

    kvtest::SettingsSandbox sandbox_;
    HCERTSTORE store_ = nullptr;
};

TEST_F(CodeSigningStoreTest, ATextThatFitsTwoHashesRenamesNeither)
{
    uint8_t first[CERT_HASH_BYTES] = {0x01, 0x23};
    uint8_t second[CERT_HASH_BYTES] = {0x12, 0x03};
    Add(kCodeSigningCert, sizeof kCodeSigningCert, first);
    Add(kUnrestrictedCert, sizeof kUnrestrictedCert, second);
    std::string text = CertHashText(first);
    EXPECT_EQ(CertRenameInStore(ctx, store_, text.c_str(), L"Renamed"), 0);
    EXPECT_EQ(Names(), (std::vector<std::string>{"01:-", "12:-"}));
    EXPECT_NE(LastErrorRecord().find("(Specified certificate not found)"), std::string::npos) << LastErrorRecord();

    std::string exact = "0123" + std::string(36, '0');
    EXPECT_EQ(CertRenameInStore(ctx, store_, exact.c_str(), L"Renamed"), 1);
    EXPECT_EQ(Names(), (std::vector<std::string>{"01:Renamed", "12:-"}));
}

TEST_F(CodeSigningStoreTest, RequestOnesTextRenamesTheCertificateItCameFrom)
{
    Add(kServerOnlyCert, sizeof kServerOnlyCert);
    PCCERT_CONTEXT cert = CertCreateCertificateContext(X509_ASN_ENCODING, kCodeSigningCert, sizeof kCodeSigningCert);
    ASSERT_NE(cert, nullptr);
    uint8_t hash[CERT_HASH_BYTES];
    DWORD size = sizeof hash;
    ASSERT_TRUE(CertGetCertificateContextProperty(cert, CERT_SHA1_HASH_PROP_ID, hash, &size));
    CertFreeCertificateContext(cert);
    Add(kCodeSigningCert, sizeof kCodeSigningCert);
    std::string lower = CertHashText(hash);
    for (char& c : lower)
        c = static_cast<char>(tolower(c));
    EXPECT_EQ(CertRenameInStore(ctx, store_, lower.c_str(), L"Signer"), 1);
    std::vector<std::string> names = Names();
    char signer[16];
    std::snprintf(signer, sizeof signer, "%02X:Signer", hash[0]);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_TRUE((names[0] == signer && names[1].back() == '-') || (names[1] == signer && names[0].back() == '-'))
        << names[0] << " " << names[1];
    EXPECT_EQ(CertRenameInStore(ctx, store_, "ABC", L"None"), 0);
}

TEST(CodeSigningCert, CodeSigningUsageOrNoRestrictionSigns)
{
    const struct {
        const uint8_t* der;
        size_t size;
        int signs;
    } cases[] = {
        {kCodeSigningCert, sizeof kCodeSigningCert, 1},
        {kUnrestrictedCert, sizeof kUnrestrictedCert, 1},
        {kServerOnlyCert, sizeof kServerOnlyCert, 0},
    };
    for (const auto& c : cases) {
        PCCERT_CONTEXT cert = CertCreateCertificateContext(X509_ASN_ENCODING, c.der, static_cast<DWORD>(c.size));
        ASSERT_NE(cert, nullptr);
        EXPECT_EQ(IsCodeSigningCert(cert), c.signs) << c.size;
        CertFreeCertificateContext(cert);
    }
    EXPECT_EQ(IsCodeSigningCert(nullptr), 0);
}

// ---------------------------------------------------------------- the sweep

// Closes every box of this process until it ends (request 1 shows two).
class BoxCloser {
public:
    BoxCloser()
    {
        thread_ = std::thread([this] {
            while (!stop_) {
                EnumWindows(CloseBox, 0);
                Sleep(20);
            }
        });
    }
    ~BoxCloser()
    {
        stop_ = true;
        thread_.join();
    }

private:
    static BOOL CALLBACK CloseBox(HWND window, LPARAM)
    {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        char cls[16] = {};
        GetClassNameA(window, cls, sizeof cls);
        if (pid == GetCurrentProcessId() && IsWindowVisible(window) && !strcmp(cls, "#32770"))
            PostMessageA(window, WM_COMMAND, IDOK, 0);
        return TRUE;
    }
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

using IntControlBoxTest = IntControlTest;

TEST_F(IntControlBoxTest, EveryRequestAnswersTextOrItsErrorWithEmptyAndBadParameters)
{
    BoxCloser closer;
    const std::vector<std::vector<std::string>> sets = {
        {"", "", "", ""},
        {"x", "-1", "99999999999999999999", "\t;"},
        {"-1", "x", "-2147483649", ""},
    };
    for (const auto& p : sets)
        for (int request = -1; request <= 104; ++request) {
            ctx->bCancel = 0;
            std::string answer = Request(request, p[0], p[1], p[2], p[3]);
            EXPECT_TRUE(Error() != 0 || answer != "<not text>") << request << " '" << p[0] << "'";
        }
}

}  // namespace
