// Registry services: the subkey-and-[value] names, the views, the access words, the table
// of key views, the native paths of link targets, the hive error table, and a hive saved by
// the test and loaded and unloaded through the built-ins.
#include "text_fixture.h"

#include <windows.h>

#include <string>

#include "engine/core/engine_state.h"
#include "engine/files/registry.h"
#include "engine/system/privilege.h"
#include "settings_sandbox.h"

namespace {

std::string LastErrorEntry(const kvtest::SettingsSandbox& sandbox)
{
    char value[300] = {};
    GetPrivateProfileStringA("KVDYC64I", "LastError", "", value, sizeof value, sandbox.IniFile().c_str());
    return value;
}

class RegistryTest : public TextTest {
protected:
    void SetUp() override
    {
        TextTest::SetUp();
        ctx->eng.ctl.DefaultRegistryView = 2;
    }
    void TearDown() override
    {
        OpenKeyTableFree(ctx);
        TextTest::TearDown();
    }
};

TEST_F(RegistryTest, SplitsSubkeyAndBracketedValueName)
{
    const struct {
        const wchar_t* text;
        int answer;
        const wchar_t* key;
        const wchar_t* value;
        uint16_t error;
    } cases[] = {
        {L"[v]", 1, L"", L"v", 0},
        {L"a\\[v]", 1, L"a", L"v", 0},
        {L"a\\b[c[d]]", 1, L"a\\b", L"c[d]", 0},
        {L"a\\b", 1, L"a\\b", L"", 0},
        {L"a[]", 1, L"a", L"", 0},
        {L"a\\\\[v]", 1, L"a\\", L"v", 0},   // one backslash dropped, not two
        {L"a[v", 0, L"", L"", 1402},
        {L"[v", 0, L"", L"", 1402},
        {L"a[v]x", 0, L"", L"", 1402},
        {L"", 0, L"", L"", 0},
    };
    for (const auto& c : cases) {
        wchar_t key[REG_NAME_ROOM] = L"junk";
        wchar_t value[REG_NAME_ROOM] = L"junk";
        ctx->nErrorCode = 0;
        EXPECT_EQ(SplitRegKeyValueW(ctx, c.text, key, REG_NAME_ROOM, value, REG_NAME_ROOM), c.answer) << c.text;
        EXPECT_STREQ(key, c.key) << c.text;
        EXPECT_STREQ(value, c.value) << c.text;
        EXPECT_EQ(ctx->nErrorCode, c.error) << c.text;
    }
}

TEST_F(RegistryTest, SubkeyThatDoesNotFitItsBufferIsRefused)
{
    wchar_t key[REG_NAME_ROOM];
    wchar_t value[REG_NAME_ROOM];
    std::wstring longest(REG_NAME_ROOM - 1, L'k');
    for (const std::wstring& text : {longest, longest + L"[v]"}) {
        ctx->nErrorCode = 0;
        EXPECT_EQ(SplitRegKeyValueW(ctx, text.c_str(), key, REG_NAME_ROOM, value, REG_NAME_ROOM), 1);
        EXPECT_EQ(std::wcslen(key), REG_NAME_ROOM - 1);
    }
    for (const std::wstring& text : {longest + L"k", longest + L"k[v]"}) {
        ctx->nErrorCode = 0;
        EXPECT_EQ(SplitRegKeyValueW(ctx, text.c_str(), key, REG_NAME_ROOM, value, REG_NAME_ROOM), 0);
        EXPECT_EQ(ctx->nErrorCode, 1460);
    }
}

TEST_F(RegistryTest, ViewArgumentAndDefaultGiveTheViewFlag)
{
    const struct {
        uint32_t defaultView;
        int32_t view;
        const wchar_t* subkey;
        REGSAM flag;
        uint16_t error;
    } cases[] = {
        {2, 0, L"Software\\Wow6432Node\\x", KEY_WOW64_64KEY, 0},
        {1, 0, L"Software\\WOW6432NODE", KEY_WOW64_32KEY, 0},
        {2, 32, L"Software\\x", KEY_WOW64_32KEY, 0},
        {2, 64, L"Software\\x", KEY_WOW64_64KEY, 0},
        {2, 64, L"a\\wow6432node", 0, 1458},
        {2, 32, L"Wow6432Node", 0, 1458},
        {32, 0, L"x\\Wow6432Node\\y", 0, 1458},
        {64, 0, L"x", KEY_WOW64_64KEY, 0},
        {32, 0, L"x", KEY_WOW64_32KEY, 0},
        {2, 16, L"x", 0, 1822},
        {2, -64, L"x", 0, 1822},
    };
    for (const auto& c : cases) {
        ctx->eng.ctl.DefaultRegistryView = c.defaultView;
        ctx->nErrorCode = 0;
        REGSAM flag = 0;
        EXPECT_EQ(ResolveRegistryView(ctx, c.view, c.subkey, &flag), c.error ? 0 : 1) << c.view << " " << c.subkey;
        EXPECT_EQ(ctx->nErrorCode, c.error) << c.view << " " << c.subkey;
        if (!c.error) {
            EXPECT_EQ(flag, c.flag) << c.view << " " << c.subkey;
        }
    }
}

TEST_F(RegistryTest, AccessAndViewWords)
{
    const struct {
        const char* access;
        const char* view;
        REGSAM mask;
        int32_t viewOut;
        uint16_t error;
    } cases[] = {
        {"read", "", KEY_READ, 0, 0},
        {"Write", "32", KEY_WRITE, 32, 0},
        {"FULL", " 64 ", KEY_ALL_ACCESS, 64, 0},
        {" 131097 ", "", 131097, 0, 0},
        {"READONLY", "", 0, 0, 1621},
        {"", "", 0, 0, 1621},
        {"+", "", 0, 0, 1621},
        {"READ", "x64", 0, 0, 1822},
        {"READ", "-", 0, 0, 1822},
    };
    for (const auto& c : cases) {
        ctx->nErrorCode = 0;
        REGSAM mask = 0;
        int32_t view = -1;
        EXPECT_EQ(GetAccessWords(ctx, c.access, c.view, &mask, &view), c.error ? 0 : 1) << c.access << "|" << c.view;
        EXPECT_EQ(ctx->nErrorCode, c.error) << c.access << "|" << c.view;
        if (!c.error) {
            EXPECT_EQ(mask, c.mask) << c.access;
            EXPECT_EQ(view, c.viewOut) << c.view;
        }
    }
}

TEST_F(RegistryTest, KeyViewTableGrowsReusesSlotsAndFrees)
{
    auto fake = [](uintptr_t n) { return reinterpret_cast<HKEY>(n * 4); };
    for (uintptr_t i = 1; i <= 300; ++i)   // past two growths of 128 entries
        ASSERT_EQ(RememberKeyView(ctx, fake(i), i % 2 ? 1 : 2), 1);
    OpenKeyTableHeader* table = ctx->registry.OpenKeyTable;
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->count, 300u);
    EXPECT_GE(table->capacity, 300u);
    EXPECT_EQ(GetKeyView(ctx, fake(299)), 1u);
    EXPECT_EQ(GetKeyView(ctx, fake(300)), 2u);
    EXPECT_EQ(GetKeyView(ctx, fake(301)), 0u);

    ASSERT_EQ(RememberKeyView(ctx, fake(5), 2), 1);   // recorded already: kept as it was
    EXPECT_EQ(table->count, 300u);
    EXPECT_EQ(GetKeyView(ctx, fake(5)), 1u);

    ForgetKeyView(ctx, fake(10));
    ForgetKeyView(ctx, fake(150));
    EXPECT_EQ(GetKeyView(ctx, fake(150)), 0u);
    ASSERT_EQ(RememberKeyView(ctx, fake(1000), 2), 1);   // the free slot with the highest index
    EXPECT_EQ(table->entries[149].handle, reinterpret_cast<uintptr_t>(fake(1000)));
    EXPECT_EQ(table->count, 300u);

    ForgetKeyView(ctx, fake(300));   // the last slot: the table shrinks
    EXPECT_EQ(table->count, 299u);

    OpenKeyTableFree(ctx);
    EXPECT_EQ(ctx->registry.OpenKeyTable, nullptr);
    EXPECT_EQ(GetKeyView(ctx, fake(1)), 0u);
}

TEST_F(RegistryTest, LinkTargetsBecomeNativePaths)
{
    const struct {
        const wchar_t* target;
        REGSAM flag;
        const wchar_t* path;
    } cases[] = {
        {L"@REGMACHINE\\Software\\X", KEY_WOW64_32KEY, L"\\Registry\\MACHINE\\Software\\Wow6432Node\\X"},
        {L"@regmachine\\SOFTWARE\\X", KEY_WOW64_64KEY, L"\\Registry\\MACHINE\\SOFTWARE\\X"},
        {L"@REGMACHINE\\System\\X", KEY_WOW64_32KEY, L"\\Registry\\MACHINE\\System\\X"},
        {L"@REGMACHINE\\System\\X", KEY_WOW64_64KEY, L"\\Registry\\MACHINE\\System\\X"},
        {L"@REGMACHINE\\Softwarex\\X", KEY_WOW64_32KEY, L"\\Registry\\MACHINE\\Softwarex\\X"},
        {L"@REGMACHINE\\software", KEY_WOW64_32KEY, L"\\Registry\\MACHINE\\Software\\Wow6432Node\\"},
        {L"@REGMACHINE", KEY_WOW64_64KEY, L"\\Registry\\MACHINE\\"},
        {L"@REGMACHINE", KEY_WOW64_32KEY, L"\\Registry\\MACHINE\\"},
        {L"@REGCLASSES\\.txt", KEY_WOW64_32KEY, L"\\Registry\\MACHINE\\Software\\Classes\\Wow6432Node\\.txt"},
        {L"@REGCLASSES\\.txt", KEY_WOW64_64KEY, L"\\Registry\\MACHINE\\Software\\Classes\\.txt"},
        {L"@REGUSERS\\.DEFAULT\\x", KEY_WOW64_32KEY, L"\\Registry\\USER\\.DEFAULT\\x"},
    };
    for (const auto& c : cases) {
        wchar_t path[REG_LINK_ROOM];
        ctx->nErrorCode = 1234;   // success leaves the error number as it was
        EXPECT_EQ(RegLinkTargetPath(ctx, c.target, c.flag, path, REG_LINK_ROOM), 1) << c.target;
        EXPECT_STREQ(path, c.path) << c.target;
        EXPECT_EQ(ctx->nErrorCode, 1234) << c.target;
    }
}

TEST_F(RegistryTest, LinkTargetsThatCannotBeMadeAre1824)
{
    wchar_t path[REG_LINK_ROOM];
    std::wstring prefix = L"@REGMACHINE\\";   // "\Registry\MACHINE\" is 18 characters
    std::wstring fits = prefix + std::wstring(REG_LINK_ROOM - 1 - 18, L'x');
    std::wstring over = fits + L"x";
    ASSERT_EQ(RegLinkTargetPath(ctx, fits.c_str(), KEY_WOW64_64KEY, path, REG_LINK_ROOM), 1);
    EXPECT_EQ(std::wcslen(path), REG_LINK_ROOM - 1);
    for (const wchar_t* target : {over.c_str(), L"@FOO\\x", L"@REGMACHINEX", L"REGMACHINE\\x", L""}) {
        ctx->nErrorCode = 0;
        EXPECT_EQ(RegLinkTargetPath(ctx, target, KEY_WOW64_64KEY, path, REG_LINK_ROOM), 0) << target;
        EXPECT_EQ(ctx->nErrorCode, 1824) << target;
    }
}

TEST_F(RegistryTest, CurrentUserTargetIsTheUsersOwnHive)
{
    wchar_t* user = GetGurrentUserRegPath(ctx);
    ASSERT_NE(user, nullptr);
    std::wstring hive = user;
    HeapFree(GetProcessHeap(), 0, user);
    EXPECT_EQ(hive.rfind(L"\\Registry\\USER\\S-1-5-", 0), 0u) << hive;
    EXPECT_EQ(hive.back(), L'\\');

    wchar_t path[REG_LINK_ROOM];
    ASSERT_EQ(RegLinkTargetPath(ctx, L"@REGCURRENT\\Software\\X", KEY_WOW64_32KEY, path, REG_LINK_ROOM), 1);
    EXPECT_EQ(std::wstring(path), hive + L"Software\\X");
}

TEST(RegistryHiveErrors, WindowsCodesMapToTheBuiltinsErrors)
{
    const struct {
        LONG code;
        uint16_t load;
        uint16_t unload;
    } cases[] = {
        {ERROR_ACCESS_DENIED, 1526, 1526},     {ERROR_INVALID_HANDLE, 1525, 1525},
        {ERROR_SHARING_VIOLATION, 1527, 1529}, {ERROR_INVALID_PARAMETER, 1529, 1528},
        {ERROR_REGISTRY_CORRUPT, 1531, 1529},  {ERROR_BADKEY, 1532, 1533},
        {ERROR_REGISTRY_IO_FAILED, 1523, 1529}, {ERROR_FILE_NOT_FOUND, 1529, 1529},
        {ERROR_NOT_ENOUGH_MEMORY, 1529, 1529},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RegLoadHiveError(c.code), c.load) << c.code;
        EXPECT_EQ(RegUnloadHiveError(c.code), c.unload) << c.code;
    }
}

// A key saved to a hive file, loaded below HKEY_USERS by RegLoadHive and unloaded again.
TEST_F(RegistryTest, SavedHiveLoadsUnderUsersAndUnloads)
{
    kvtest::SettingsSandbox sandbox;
    ASSERT_TRUE(sandbox.Ready()) << sandbox.Error();
    std::wstring id = std::to_wstring(GetCurrentProcessId());
    std::wstring source = L"Software\\ZalTest\\unithive" + id;
    std::wstring mount = L"ZalTestUnitHive" + id;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring file = std::wstring(temp) + L"zalhive" + id + L".hiv";
    DeleteFileW(file.c_str());

    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, source.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, L"v", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"saved"), 12);
    ASSERT_TRUE(EnablePrivilege(ctx, "SeBackupPrivilege"));   // saving a key needs it
    LONG saved = RegSaveKeyW(key, file.c_str(), nullptr);
    RegCloseKey(key);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, source.c_str());
    ASSERT_EQ(saved, ERROR_SUCCESS);

    int users = ScriptKeyHandle(HKEY_USERS);
    Call("regloadhive", {users, mount, file});
    EXPECT_EQ(ctx->nErrorCode, 0);
    EXPECT_EQ(result.i32, 1);
    wchar_t value[32] = {};
    DWORD size = sizeof value;
    EXPECT_EQ(RegGetValueW(HKEY_USERS, mount.c_str(), L"v", RRF_RT_REG_SZ, nullptr, value, &size), ERROR_SUCCESS);
    EXPECT_STREQ(value, L"saved");

    Call("regunloadhive", {users, mount});
    EXPECT_EQ(ctx->nErrorCode, 0);
    EXPECT_EQ(result.i32, 1);
    HKEY gone = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_USERS, mount.c_str(), 0, KEY_READ, &gone), ERROR_SUCCESS);

    // A hive file that another handle holds without sharing is in use.
    HANDLE held = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Call("regloadhive", {users, mount, file});
    CloseHandle(held);
    EXPECT_EQ(ctx->nErrorCode, 1527) << LastErrorEntry(sandbox);

    Call("regloadhive", {users, mount, file + L".missing"});
    std::string recorded = LastErrorEntry(sandbox);
    EXPECT_NE(recorded.find("(RegLoadKey)"), std::string::npos) << recorded;
    EXPECT_EQ(ctx->nErrorCode, RegLoadHiveError(std::atol(recorded.c_str())));
    DeleteFileW(file.c_str());
}

}  // namespace
