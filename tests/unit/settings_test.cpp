// Settings store: the settings folder, the INI file and the HKLM settings key.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "engine/files/settings.h"
#include "settings_sandbox.h"

namespace {

std::string UniqueName(const char* stem)
{
    return std::string(stem) + std::to_string(GetCurrentProcessId()) + "_"
           + std::to_string(GetTickCount());
}

std::string RawRegistryValue(const std::string& keyPath, const std::string& name)
{
    char value[512] = {};
    DWORD size = sizeof value;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, keyPath.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr,
                     value, &size)
        != ERROR_SUCCESS)
        return "<missing>";
    return value;
}

TEST(SettingsFolder, IsTheAppDataFolderFollowedByTheProductFolder)
{
    char appData[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, appData), S_OK);
    char folder[261];
    GetSettingsFolder(folder, sizeof folder, false);
    EXPECT_EQ(std::string(folder), std::string(appData) + "\\Kelvoran\\Settings");
    GetSettingsFolder(folder, sizeof folder, true);
    EXPECT_EQ(std::string(folder), std::string(appData) + "\\Kelvoran\\Settings\\");
}

TEST(SettingsFolder, JoinsWithExactlyOneBackslash)
{
    const struct {
        const char* base;
        bool trailing;
        const char* expected;
    } cases[] = {
        {"C:\\Windows", false, "C:\\Windows\\Kelvoran\\Settings"},
        {"C:\\", false, "C:\\Kelvoran\\Settings"},
        {"C:\\Data\\", true, "C:\\Data\\Kelvoran\\Settings\\"},
    };
    for (const auto& c : cases) {
        char folder[261];
        SettingsFolderFrom(c.base, folder, sizeof folder, c.trailing);
        EXPECT_STREQ(folder, c.expected);
    }
    char small[12];
    SettingsFolderFrom("C:\\Windows", small, sizeof small, false);   // cut, still terminated
    EXPECT_STREQ(small, "C:\\Windows\\");
}

// The folder comes from the user's shell folders: a stored value with variables in it is
// expanded, and one that names no folder leaves the answer to the shell's own query.
TEST(SettingsFolder, FollowsTheUsersShellFolders)
{
    kvtest::SettingsSandbox sandbox;
    ASSERT_TRUE(sandbox.Ready()) << sandbox.Error();
    const char* userShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    auto store = [&](DWORD type, const std::string& value) {
        return RegSetKeyValueA(HKEY_CURRENT_USER, userShellFolders, "AppData", type, value.c_str(),
                               static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
    };
    char folder[261];

    ASSERT_TRUE(SetEnvironmentVariableA("KVTESTAPPDATA", sandbox.AppData().c_str()));
    ASSERT_TRUE(store(REG_EXPAND_SZ, "%KVTESTAPPDATA%"));
    GetSettingsFolder(folder, sizeof folder, false);
    EXPECT_EQ(std::string(folder), sandbox.SettingsFolder());

    ASSERT_TRUE(store(REG_SZ, sandbox.AppData() + "\\no such folder"));
    char shell[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, shell)) || !shell[0])
        GetWindowsDirectoryA(shell, sizeof shell);
    GetSettingsFolder(folder, sizeof folder, false);
    EXPECT_EQ(std::string(folder), std::string(shell) + "\\Kelvoran\\Settings");
    SetEnvironmentVariableA("KVTESTAPPDATA", nullptr);
}

TEST(SettingsFolder, MissingLevelsAreCreated)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string root = std::string(temp) + UniqueName("kvset");
    std::string deep = root + "\\a\\b\\c";
    ASSERT_TRUE(CreateFolderPath(deep.c_str()));
    EXPECT_NE(GetFileAttributesA(deep.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(CreateFolderPath(deep.c_str()));   // already there
    RemoveDirectoryA(deep.c_str());
    RemoveDirectoryA((root + "\\a\\b").c_str());
    RemoveDirectoryA((root + "\\a").c_str());
    RemoveDirectoryA(root.c_str());
    EXPECT_FALSE(CreateFolderPath(""));
}

TEST(SettingsIni, ValueRoundTripsThroughTrimvaleIni)
{
    kvtest::SettingsSandbox sandbox;
    ASSERT_TRUE(sandbox.Ready()) << sandbox.Error();
    WriteSettingsIni(nullptr, "Test", "Key", "Value 42");
    char value[64];
    ReadSettingsIni(nullptr, "Test", "Key", "dflt", value, sizeof value);
    EXPECT_STREQ(value, "Value 42");

    // It is in the file in the settings folder, readable by anyone.
    char folder[261];
    GetSettingsFolder(folder, sizeof folder, true);
    EXPECT_EQ(std::string(folder), sandbox.SettingsFolder() + "\\");
    char direct[64];
    GetPrivateProfileStringA("Test", "Key", "", direct, sizeof direct, sandbox.IniFile().c_str());
    EXPECT_STREQ(direct, "Value 42");

    WriteSettingsIni(nullptr, "Test", "Key", nullptr);   // deletes
    ReadSettingsIni(nullptr, "Test", "Key", "dflt", value, sizeof value);
    EXPECT_STREQ(value, "dflt");
    WriteSettingsIni(nullptr, "Test", nullptr, nullptr);
    GetPrivateProfileStringA("Test", nullptr, "", direct, sizeof direct, sandbox.IniFile().c_str());
    EXPECT_STREQ(direct, "") << "the whole section is gone";
}

// The settings folder of a user who has none yet.
TEST(SettingsIni, FirstWriteCreatesTheSettingsFolder)
{
    kvtest::SettingsSandbox sandbox;
    ASSERT_TRUE(sandbox.Ready()) << sandbox.Error();
    char folder[261];
    GetSettingsFolder(folder, sizeof folder, false);
    EXPECT_EQ(std::string(folder), sandbox.SettingsFolder());
    EXPECT_EQ(GetFileAttributesA(sandbox.SettingsFolder().c_str()), INVALID_FILE_ATTRIBUTES);

    WriteSettingsIni(nullptr, "Test", "Key", "First value");
    char value[64] = {};
    GetPrivateProfileStringA("Test", "Key", "", value, sizeof value, sandbox.IniFile().c_str());
    EXPECT_STREQ(value, "First value");
}

// A user profile named in letters that the ANSI code page cannot say: the settings file is
// written and read in that folder, not in one whose name has "?" in place of the letters.
TEST(SettingsIni, LiesInAnApplicationDataFolderNamedOutsideTheAnsiCodePage)
{
    kvtest::SettingsSandbox sandbox;
    ASSERT_TRUE(sandbox.Ready()) << sandbox.Error();
    std::wstring sandboxFolder(sandbox.AppData().begin(), sandbox.AppData().end());
    std::wstring appData = sandboxFolder + L"\\\u041f\u0440\u0438\u0432\u0435\u0442 \u65e5\u672c";
    CreateDirectoryW(sandboxFolder.c_str(), nullptr);
    ASSERT_TRUE(CreateDirectoryW(appData.c_str(), nullptr));
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                              L"AppData", REG_SZ, appData.c_str(), DWORD((appData.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);

    EXPECT_EQ(SettingsFolderWide(true), appData + L"\\Kelvoran\\Settings\\");
    WriteSettingsIni(nullptr, "Test", "Key", "Value 7");
    char value[64];
    ReadSettingsIni(nullptr, "Test", "Key", "dflt", value, sizeof value);
    EXPECT_STREQ(value, "Value 7");
    wchar_t direct[64] = {};
    GetPrivateProfileStringW(L"Test", L"Key", L"", direct, 64, (appData + L"\\Kelvoran\\Settings\\TRIMVALE.INI").c_str());
    EXPECT_STREQ(direct, L"Value 7");
}

TEST(SettingsRegistry, KeyIsThePrefixTheIniNameAndTheSection)
{
    const struct {
        const char* ini;
        const char* section;
        const char* expected;
    } cases[] = {
        {"TRM-PROD.INI", "KV44I", "Software\\Hollicor\\Settings\\TRM-PROD\\KV44I"},
        {"TRIMVALE.INI", "MAIN", "Software\\Hollicor\\Settings\\TRIMVALE\\MAIN"},
        {"NODOT", "S", "Software\\Hollicor\\Settings\\NODOT\\S"},
        {"a.b.c", "S", "Software\\Hollicor\\Settings\\a\\S"},
    };
    for (const auto& c : cases) {
        char key[300];
        SettingsRegistryKey(c.ini, c.section, key, sizeof key);
        EXPECT_STREQ(key, c.expected);
    }
}

TEST(SettingsRegistry, ValueRoundTripsThroughTheHklmKey)
{
    kvtest::SettingsSandbox sandbox(true);
    ASSERT_TRUE(sandbox.Ready()) << sandbox.Error();
    std::string name = "Value";
    ASSERT_EQ(WriteSettingsReg("MAIN", name.c_str(), "hello", "TRIMVALE.INI", 0), 1);
    EXPECT_EQ(RawRegistryValue("Software\\Hollicor\\Settings\\TRIMVALE\\MAIN", name), "hello");

    char buffer[32];
    EXPECT_EQ(ReadSettingsRegStr("MAIN", name.c_str(), "dflt", buffer, sizeof buffer,
                                 "TRIMVALE.INI", 0),
              1);
    EXPECT_STREQ(buffer, "hello");
    char tiny[4];   // a value that does not fit leaves the default
    EXPECT_EQ(ReadSettingsRegStr("MAIN", name.c_str(), "no", tiny, sizeof tiny, "TRIMVALE.INI", 0),
              0);
    EXPECT_STREQ(tiny, "no");

    EXPECT_EQ(WriteSettingsReg("MAIN", name.c_str(), nullptr, "TRIMVALE.INI", 0), 1);
    EXPECT_EQ(WriteSettingsReg("MAIN", name.c_str(), nullptr, "TRIMVALE.INI", 0), 0);
    EXPECT_EQ(ReadSettingsRegStr("MAIN", name.c_str(), "dflt", buffer, sizeof buffer,
                                 "TRIMVALE.INI", 0),
              0);
    EXPECT_STREQ(buffer, "dflt");
}

TEST(SettingsRegistry, IntegersReadLikeTheLanguageReadsThem)
{
    kvtest::SettingsSandbox sandbox(true);
    ASSERT_TRUE(sandbox.Ready()) << sandbox.Error();
    std::string name = "Int";
    const struct {
        const char* stored;   // null: value absent
        int32_t expected;
    } cases[] = {{nullptr, 5},         {"  -7", -7}, {"+12x", 12}, {"abc", 0}, {"", 0},
                 {"4294967297", INT32_MAX}, {"-99999999999", INT32_MIN}};
    for (const auto& c : cases) {
        WriteSettingsReg("MAIN", name.c_str(), c.stored, "TRIMVALE.INI", 0);
        EXPECT_EQ(ReadSettingsInt("MAIN", name.c_str(), 5, "TRIMVALE.INI", 0), c.expected)
            << (c.stored ? c.stored : "<absent>");
    }
    WriteSettingsReg("MAIN", name.c_str(), nullptr, "TRIMVALE.INI", 0);
}

}  // namespace
