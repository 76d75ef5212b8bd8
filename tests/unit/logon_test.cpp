// Logon services: SID texts, the logon and its undo with the platform's calls replaced,
// the user's hive and its profile path, the DACL edits of the station grants, and the real
// calls (under Wine LogonUser accepts anyone with a made-up token: they must end cleanly).
#include "value_fixture.h"

#include <windows.h>

#include <string>
#include <vector>

#include "engine/system/logon.h"
#include "engine/system/sid.h"
#include "engine/system/station_access.h"
#include "settings_sandbox.h"

namespace {

// ---------------------------------------------------------------- SIDs

// A SID built in place from its authority bytes and sub-authorities.
struct TestSid {
    BYTE bytes[SECURITY_MAX_SID_SIZE] = {};
    TestSid(SID_IDENTIFIER_AUTHORITY authority, std::vector<DWORD> subs)
    {
        InitializeSid(bytes, &authority, BYTE(subs.size()));
        for (size_t i = 0; i < subs.size(); ++i)
            *GetSidSubAuthority(bytes, DWORD(i)) = subs[i];
    }
    PSID sid() { return bytes; }
};

// What the replaced entry points saw.
struct LogonCalls {
    int logons = 0;
    int impersonations = 0;
    int reverts = 0;
    std::vector<HANDLE> closed;
    std::vector<HANDLE> kept;       // tokens handed to the context (null: forgotten)
    HANDLE keptBefore = nullptr;    // what the context answers as its previous token
    BOOL impersonateAnswer = TRUE;
    LSTATUS loadAnswer = ERROR_SUCCESS;
    std::wstring loadedKey;
};
LogonCalls calls_;

class LogonTest : public ValueTest {
protected:
    void SetUp() override
    {
        ValueTest::SetUp();
        ASSERT_TRUE(sandbox_.Ready()) << sandbox_.Error();
        calls_ = LogonCalls{};
        LogonEntries() = LogonEntryDefaults();
    }
    void TearDown() override
    {
        LogonEntries() = LogonEntryDefaults();
        ValueTest::TearDown();
    }

    std::string LastErrorEntry()
    {
        char value[300] = {};
        GetPrivateProfileStringA("KVDYC64I", "LastError", "", value, sizeof value, sandbox_.IniFile().c_str());
        return value;
    }

    static HANDLE Token() { return reinterpret_cast<HANDLE>(0x4242); }

    static BOOL WINAPI FakeLogonW(LPCWSTR, LPCWSTR, LPCWSTR, DWORD, DWORD, PHANDLE token)
    {
        ++calls_.logons;
        *token = Token();
        return TRUE;
    }
    static BOOL WINAPI FailingLogonW(LPCWSTR, LPCWSTR, LPCWSTR, DWORD, DWORD, PHANDLE)
    {
        ++calls_.logons;
        SetLastError(ERROR_LOGON_FAILURE);
        return FALSE;
    }
    static BOOL WINAPI FailingLogonA(LPCSTR, LPCSTR, LPCSTR, DWORD, DWORD, PHANDLE)
    {
        SetLastError(ERROR_LOGON_FAILURE);
        return FALSE;
    }
    static BOOL WINAPI FakeImpersonate(HANDLE)
    {
        ++calls_.impersonations;
        if (!calls_.impersonateAnswer)
            SetLastError(ERROR_ACCESS_DENIED);
        return calls_.impersonateAnswer;
    }
    static BOOL WINAPI FakeRevert()
    {
        ++calls_.reverts;
        return TRUE;
    }
    static BOOL WINAPI FakeClose(HANDLE handle)
    {
        calls_.closed.push_back(handle);
        return TRUE;
    }
    static LSTATUS WINAPI FakeLoadKeyW(HKEY, LPCWSTR subkey, LPCWSTR)
    {
        calls_.loadedKey = subkey;
        return calls_.loadAnswer;
    }
    static LSTATUS WINAPI FakeUnloadKeyW(HKEY, LPCWSTR) { return calls_.loadAnswer; }
    static LSTATUS WINAPI FakeLoadKeyA(HKEY, LPCSTR, LPCSTR) { return calls_.loadAnswer; }
    static uint64_t FakeKeep(BDS*, uint32_t, HANDLE token)
    {
        calls_.kept.push_back(token);
        return reinterpret_cast<uint64_t>(calls_.keptBefore);
    }

    void ReplaceEntries()
    {
        LogonEntryPoints& e = LogonEntries();
        e.LogonUserW = FakeLogonW;
        e.LogonUserA = FailingLogonA;
        e.ImpersonateLoggedOnUser = FakeImpersonate;
        e.RevertToSelf = FakeRevert;
        e.CloseHandle = FakeClose;
        e.RegLoadKeyW = FakeLoadKeyW;
        e.RegUnLoadKeyW = FakeUnloadKeyW;
        e.RegLoadKeyA = FakeLoadKeyA;
        e.KeepLogonToken = FakeKeep;
    }

    kvtest::SettingsSandbox sandbox_{true};
};

TEST_F(LogonTest, SidTexts)
{
    const struct {
        SID_IDENTIFIER_AUTHORITY authority;
        std::vector<DWORD> subs;
        const char* text;
    } cases[] = {
        {{{0, 0, 0, 0, 0, 5}}, {21, 1, 2, 3, 1001}, "S-1-5-21-1-2-3-1001"},
        {{{0, 0, 0, 0, 0, 1}}, {0}, "S-1-1-0"},
        {{{0, 0, 0x12, 0x34, 0x56, 0x78}}, {4294967295u}, "S-1-305419896-4294967295"},
        {{{0x01, 0x02, 0, 0, 0, 5}}, {7}, "S-1-0x010200000005-7"},
        {{{0, 0xab, 0, 0, 0, 0}}, {}, "S-1-0x00ab00000000"},
    };
    for (auto c : cases) {
        TestSid sid(c.authority, c.subs);
        char narrow[256];
        wchar_t wide[256];
        ASSERT_EQ(ConvertMySidToTextA(ctx, sid.sid(), narrow, 256), 1) << c.text;
        EXPECT_STREQ(narrow, c.text);
        ASSERT_EQ(ConvertMySidToTextW(ctx, sid.sid(), wide, 256), 1) << c.text;
        EXPECT_EQ(std::wstring(wide), std::wstring(c.text, c.text + std::strlen(c.text)));
    }
}

TEST_F(LogonTest, SidTextNeedsItsRoomAndAValidSid)
{
    TestSid sid({{0, 0, 0, 0, 0, 5}}, {21, 1, 2, 3, 1001});   // 28 + 5 x 12 = 88 characters of room
    char text[256];
    EXPECT_EQ(ConvertMySidToTextA(ctx, sid.sid(), text, 88), 0);
    EXPECT_EQ(LastErrorEntry(), "122 (ConvertMySidToText)");
    EXPECT_EQ(ConvertMySidToTextA(ctx, sid.sid(), text, 89), 1);
    wchar_t wide[256];
    EXPECT_EQ(ConvertMySidToTextW(ctx, sid.sid(), wide, 88), 0);

    BYTE garbage[16] = {9, 1, 0, 0, 0, 0, 0, 5};   // revision 9
    EXPECT_EQ(ConvertMySidToTextA(ctx, garbage, text, 256), 0);
    EXPECT_NE(LastErrorEntry().find("(IsValidSid() : ConvertMySidToText())"), std::string::npos);
}

TEST_F(LogonTest, TokenSidsOfTheProcess)
{
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    PSID user = nullptr;
    ASSERT_EQ(ObtainUserSid(ctx, token, &user), 1);
    char text[256];
    EXPECT_EQ(ConvertMySidToTextA(ctx, user, text, sizeof text), 1);
    EXPECT_EQ(std::string(text).rfind("S-1-5-", 0), 0u) << text;
    HeapFree(GetProcessHeap(), 0, user);

    PSID logon = nullptr;   // a token may lack a logon SID: then 0 and the step recorded
    if (ObtainLoginSid(ctx, token, &logon)) {
        EXPECT_EQ(ConvertMySidToTextA(ctx, logon, text, sizeof text), 1);
        EXPECT_EQ(std::string(text).rfind("S-1-5-5-", 0), 0u) << text;
        HeapFree(GetProcessHeap(), 0, logon);
    } else {
        EXPECT_NE(LastErrorEntry().find("ObtainLoginSid"), std::string::npos);
    }
    CloseHandle(token);
}

// ---------------------------------------------------------------- logon with replaced calls

TEST_F(LogonTest, LogonTypesOutsideTwoToFiveAreRefusedWithoutLogon)
{
    ReplaceEntries();
    for (uint32_t type : {0u, 1u, 6u, 7u, 8u})
        EXPECT_EQ(LogonAndImpersonateW(ctx, L"", L"user", L"pw", type, 0), 0) << type;
    EXPECT_EQ(calls_.logons, 0);
    for (uint32_t type : {2u, 3u, 4u, 5u})
        EXPECT_EQ(LogonAndImpersonateW(ctx, L"", L"user", L"pw", type, 0), 1) << type;
    EXPECT_EQ(calls_.logons, 4);
}

TEST_F(LogonTest, FailedLogonIsRecordedUnderItsCall)
{
    ReplaceEntries();
    LogonEntries().LogonUserW = FailingLogonW;
    EXPECT_EQ(LogonAndImpersonateW(ctx, L"dom", L"user", L"bad", 2, 0), 0);
    EXPECT_EQ(LastErrorEntry(), "1326 (LogonUserW)");
    EXPECT_EQ(LogonAndImpersonateA(ctx, "dom", "user", "bad", 2, 0), 0);
    EXPECT_EQ(LastErrorEntry(), "1326 (LogonUser)");
    EXPECT_EQ(calls_.impersonations, 0);
    EXPECT_TRUE(calls_.kept.empty());
}

TEST_F(LogonTest, FailedImpersonationClosesTheToken)
{
    ReplaceEntries();
    calls_.impersonateAnswer = FALSE;
    EXPECT_EQ(LogonAndImpersonateW(ctx, L"", L"user", L"pw", 2, 0), 0);
    EXPECT_EQ(LastErrorEntry(), "5 (ImpersonateLoggedOnUser)");
    EXPECT_EQ(calls_.closed, std::vector<HANDLE>{Token()});
    EXPECT_TRUE(calls_.kept.empty());
}

TEST_F(LogonTest, ImpersonationHandsTheTokenToTheContext)
{
    ReplaceEntries();
    EXPECT_EQ(LogonAndImpersonateW(ctx, L"", L"user", L"pw", 2, 0), 1);
    EXPECT_EQ(calls_.kept, std::vector<HANDLE>{Token()});
    EXPECT_TRUE(calls_.closed.empty());

    // A token left from a logon that was never undone is closed when the next one comes.
    calls_.keptBefore = reinterpret_cast<HANDLE>(0x1111);
    EXPECT_EQ(LogonAndImpersonateW(ctx, L"", L"user", L"pw", 2, 0), 1);
    EXPECT_EQ(calls_.closed, std::vector<HANDLE>{reinterpret_cast<HANDLE>(0x1111)});
}

TEST_F(LogonTest, UndoRevertsAndForgetsTheToken)
{
    ReplaceEntries();
    EXPECT_EQ(LogonAndImpersonateW(ctx, L"", L"", L"", 0, 0), 1);
    EXPECT_EQ(calls_.reverts, 1);
    EXPECT_EQ(calls_.kept, std::vector<HANDLE>{nullptr});
    EXPECT_EQ(RevertLogonImpersonation(ctx), 1);
    EXPECT_EQ(LogonAndImpersonateA(ctx, "", nullptr, "", 9, 0), 1);
    EXPECT_EQ(calls_.reverts, 3);
    EXPECT_EQ(calls_.logons, 0);
}

TEST_F(LogonTest, HiveLoadCountsAnAlreadyLoadedHiveAndRemembersItsName)
{
    ReplaceEntries();
    calls_.loadAnswer = ERROR_SHARING_VIOLATION;
    EXPECT_EQ(UserHiveLoadW(ctx, L"S-1-5-21-7", L"C:\\x\\ntuser.dat", true), 1);
    EXPECT_STREQ(LoadedHiveName(), L"");
    EXPECT_EQ(calls_.loadedKey, L"S-1-5-21-7");

    calls_.loadAnswer = ERROR_SUCCESS;
    EXPECT_EQ(UserHiveLoadW(ctx, L"S-1-5-21-8", L"C:\\x\\ntuser.dat", true), 1);
    EXPECT_STREQ(LoadedHiveName(), L"S-1-5-21-8");

    calls_.loadAnswer = ERROR_ACCESS_DENIED;
    EXPECT_EQ(UserHiveLoadW(ctx, L"S-1-5-21-9", L"C:\\x\\ntuser.dat", true), 0);
    EXPECT_EQ(LastErrorEntry(), "5 (RegLoadKeyW)");
    EXPECT_EQ(UserHiveLoadA(ctx, "S-1-5-21-9", "C:\\x\\ntuser.dat", true), 0);
    EXPECT_EQ(LastErrorEntry(), "5 (RegLoadKey)");
    EXPECT_EQ(UserHiveLoadW(ctx, L"S-1-5-21-8", L"", false), 0);
    EXPECT_EQ(LastErrorEntry(), "5 (RegUnLoadKeyW)");
    EXPECT_STREQ(LoadedHiveName(), L"S-1-5-21-8");

    calls_.loadAnswer = ERROR_SUCCESS;
    EXPECT_EQ(UserHiveLoadW(ctx, L"S-1-5-21-8", L"", false), 1);
    EXPECT_STREQ(LoadedHiveName(), L"");
}

// The sandbox's private machine root holds the profile list of these cases.
TEST_F(LogonTest, ProfilePathNamesTheHiveFile)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"zalprofile" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring file = folder + L"\\custom.dat";
    HANDLE made = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(made);
    SetEnvironmentVariableW(L"ZALPROFILE", folder.c_str());

    const wchar_t* list = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\";
    auto add = [&](const wchar_t* sid, DWORD type, const std::wstring& value) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(list) + sid).c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        if (!value.empty())
            RegSetValueExW(key, L"ProfileImagePath", 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                           DWORD((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    };
    add(L"S-1-5-21-1", REG_EXPAND_SZ, L"%ZALPROFILE%");
    add(L"S-1-5-21-2", REG_SZ, folder + L"\\");
    add(L"S-1-5-21-3", REG_SZ, file);
    add(L"S-1-5-21-4", REG_SZ, L"");

    wchar_t path[256];
    ASSERT_EQ(ProfilePathOfSidW(ctx, L"S-1-5-21-1", path, 256), 1);
    EXPECT_EQ(std::wstring(path), folder + L"\\ntuser.dat");
    ASSERT_EQ(ProfilePathOfSidW(ctx, L"S-1-5-21-2", path, 256), 1);
    EXPECT_EQ(std::wstring(path), folder + L"\\ntuser.dat");
    ASSERT_EQ(ProfilePathOfSidW(ctx, L"S-1-5-21-3", path, 256), 1);
    EXPECT_EQ(std::wstring(path), file);
    EXPECT_EQ(ProfilePathOfSidW(ctx, L"S-1-5-21-3", path, 8), 0);
    EXPECT_NE(LastErrorEntry().find("(ExpandEnvironmentStrings)"), std::string::npos);
    EXPECT_EQ(ProfilePathOfSidW(ctx, L"S-1-5-21-4", path, 256), 0);
    EXPECT_NE(LastErrorEntry().find("(RegQueryValueEx)"), std::string::npos);
    EXPECT_EQ(ProfilePathOfSidW(ctx, L"S-1-5-21-99", path, 256), 0);
    EXPECT_NE(LastErrorEntry().find("(RegOpenKeyEx)"), std::string::npos);

    DeleteFileW(file.c_str());
    RemoveDirectoryW(folder.c_str());
}

// ---------------------------------------------------------------- DACL edits

// An ACL with one ACE granting Everyone read access.
struct StartAcl {
    BYTE bytes[256] = {};
    StartAcl()
    {
        TestSid everyone({{0, 0, 0, 0, 0, 1}}, {0});
        InitializeAcl(acl(), sizeof bytes, ACL_REVISION);
        AddAccessAllowedAce(acl(), ACL_REVISION, GENERIC_READ, everyone.sid());
    }
    PACL acl() { return reinterpret_cast<PACL>(bytes); }
};

const ACCESS_ALLOWED_ACE* AceAt(PACL acl, DWORD i)
{
    void* ace = nullptr;
    return GetAce(acl, i, &ace) ? static_cast<const ACCESS_ALLOWED_ACE*>(ace) : nullptr;
}

TEST(StationDacl, GrantsAddTheirAcesAndTheUndoTakesThemBack)
{
    StartAcl start;
    TestSid logon({{0, 0, 0, 0, 0, 5}}, {5, 0, 4242});
    const char* step = "";

    DWORD room = EditedDaclRoom(start.acl(), logon.sid());
    std::vector<BYTE> station(room);
    auto* granted = reinterpret_cast<PACL>(station.data());
    ASSERT_EQ(BuildEditedDacl(start.acl(), logon.sid(), DaclEdit::GrantStation, granted, room, &step), 1) << step;
    ASSERT_EQ(granted->AceCount, 3);
    EXPECT_EQ(std::memcmp(AceAt(granted, 0), AceAt(start.acl(), 0), AceAt(start.acl(), 0)->Header.AceSize), 0);
    EXPECT_EQ(AceAt(granted, 1)->Header.AceFlags, CONTAINER_INHERIT_ACE | INHERIT_ONLY_ACE | OBJECT_INHERIT_ACE);
    EXPECT_EQ(AceAt(granted, 1)->Mask, 0xF0000000u);
    EXPECT_EQ(AceAt(granted, 2)->Header.AceFlags, NO_PROPAGATE_INHERIT_ACE);
    EXPECT_EQ(AceAt(granted, 2)->Mask, 0xF037Fu);
    EXPECT_TRUE(EqualSid(const_cast<DWORD*>(&AceAt(granted, 2)->SidStart), logon.sid()));

    std::vector<BYTE> desktop(room);
    auto* desk = reinterpret_cast<PACL>(desktop.data());
    ASSERT_EQ(BuildEditedDacl(start.acl(), logon.sid(), DaclEdit::GrantDesktop, desk, room, &step), 1) << step;
    ASSERT_EQ(desk->AceCount, 2);
    EXPECT_EQ(AceAt(desk, 1)->Mask, 0xF01FFu);

    // Run after run the grants are taken back: the DACL does not grow.
    for (PACL grown : {granted, desk}) {
        DWORD backRoom = EditedDaclRoom(grown, logon.sid());
        std::vector<BYTE> back(backRoom);
        auto* revoked = reinterpret_cast<PACL>(back.data());
        ASSERT_EQ(BuildEditedDacl(grown, logon.sid(), DaclEdit::Revoke, revoked, backRoom, &step), 1) << step;
        ASSERT_EQ(revoked->AceCount, 1);
        EXPECT_EQ(std::memcmp(AceAt(revoked, 0), AceAt(start.acl(), 0), AceAt(start.acl(), 0)->Header.AceSize), 0);
    }
}

TEST(StationDacl, GrantWithoutAnOldAclFitsItsRoom)
{
    TestSid logon({{0, 0, 0, 0, 0, 5}}, {5, 0, 4242});
    DWORD room = EditedDaclRoom(nullptr, logon.sid());
    std::vector<BYTE> bytes(room);
    const char* step = "";
    ASSERT_EQ(BuildEditedDacl(nullptr, logon.sid(), DaclEdit::GrantStation, reinterpret_cast<PACL>(bytes.data()),
                              room, &step),
              1)
        << step;
    EXPECT_EQ(reinterpret_cast<PACL>(bytes.data())->AceCount, 2);
}

// ---------------------------------------------------------------- the real calls

// Under Wine the logon gives a token that cannot be impersonated; on Windows it fails for a
// user that does not exist. Either way: 0 or 1, a failure named, and the undo clean.
TEST_F(LogonTest, RealCallsEndCleanly)
{
    for (uint32_t options : {0u, uint32_t(LOGON_GRANT_DESKTOP), uint32_t(LOGON_GRANT_DESKTOP | LOGON_LOAD_PROFILE)}) {
        int answer = LogonAndImpersonateW(ctx, L".", L"zaltestnobody", L"wrong", LOGON32_LOGON_INTERACTIVE, options);
        EXPECT_TRUE(answer == 0 || answer == 1) << options;
        if (answer == 0) {
            EXPECT_NE(LastErrorEntry().find(" ("), std::string::npos) << LastErrorEntry();
        }
        EXPECT_EQ(RevertLogonImpersonation(ctx), 1);
        HANDLE thread = nullptr;
        EXPECT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &thread)) << options;
        EXPECT_EQ(ctx->services.hLogonToken, nullptr);
    }
}

// Counts the ACEs of the interactive window station's DACL; -1 when it cannot be read.
int StationAceCount()
{
    HWINSTA station = OpenWindowStationA("winsta0", FALSE, READ_CONTROL);
    if (!station)
        return -1;
    SECURITY_INFORMATION info = DACL_SECURITY_INFORMATION;
    DWORD needed = 0;
    GetUserObjectSecurity(station, &info, nullptr, 0, &needed);
    std::vector<BYTE> sd(needed ? needed : 1);
    int count = -1;
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    if (needed && GetUserObjectSecurity(station, &info, sd.data(), needed, &needed) &&
        GetSecurityDescriptorDacl(sd.data(), &present, &dacl, &defaulted))
        count = present && dacl ? dacl->AceCount : 0;
    CloseWindowStation(station);
    return count;
}

TEST_F(LogonTest, RealGrantsAreTakenBackByTheUndo)
{
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    int before = StationAceCount();
    int granted = GrantStationAndDesktop(ctx, token);
    EXPECT_TRUE(granted == 0 || granted == 1);
    if (!granted) {
        EXPECT_NE(LastErrorEntry().find(" ("), std::string::npos) << LastErrorEntry();
    }
    int revoked = RevokeStationAndDesktop(ctx);
    EXPECT_TRUE(revoked == 0 || revoked == 1);
    EXPECT_EQ(ctx->logon.bGranted, 0u);
    EXPECT_EQ(StationAceCount(), before);
    CloseHandle(token);
}

}  // namespace
