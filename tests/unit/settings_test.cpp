// Settings store: the settings folder, the INI file and the HKLM settings key.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "engine/files/settings.h"

namespace {

// Each test uses names of its own: tests of other areas share the real settings file.
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
    std::string section = UniqueName("Test");
    WriteSettingsIni(nullptr, section.c_str(), "Key", "Value 42");
    char value[64];
    ReadSettingsIni(nullptr, section.c_str(), "Key", "dflt", value, sizeof value);
    EXPECT_STREQ(value, "Value 42");

    // It is in the file in the settings folder, readable by anyone.
    char folder[261];
    GetSettingsFolder(folder, sizeof folder, true);
    std::string file = std::string(folder) + "TRIMVALE.INI";
    char direct[64];
    GetPrivateProfileStringA(section.c_str(), "Key", "", direct, sizeof direct, file.c_str());
    EXPECT_STREQ(direct, "Value 42");

    WriteSettingsIni(nullptr, section.c_str(), "Key", nullptr);   // deletes
    ReadSettingsIni(nullptr, section.c_str(), "Key", "dflt", value, sizeof value);
    EXPECT_STREQ(value, "dflt");
    WriteSettingsIni(nullptr, section.c_str(), nullptr, nullptr);
}

// The settings folder of a user who has none yet: this process's user registry is made to
// name a fresh application-data folder, so the shared folder of other tests stays as it is.
TEST(SettingsIni, FirstWriteCreatesTheSettingsFolder)
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string appData = std::string(temp) + UniqueName("kvappdata");
    ASSERT_TRUE(CreateDirectoryA(appData.c_str(), nullptr));
    std::string rootPath = "Software\\" + UniqueName("kvuser");
    HKEY root = nullptr, folders = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, rootPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &root, nullptr),
              ERROR_SUCCESS);
    for (const char* name : {"User Shell Folders", "Shell Folders"}) {
        std::string path = std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\") + name;
        ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &folders,
                                  nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(folders, "AppData", 0, REG_SZ, reinterpret_cast<const BYTE*>(appData.c_str()),
                       static_cast<DWORD>(appData.size() + 1));
        RegCloseKey(folders);
    }
    ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, root), ERROR_SUCCESS);

    char folder[261];
    GetSettingsFolder(folder, sizeof folder, false);
    std::string expected = appData + "\\Kelvoran\\Settings";
    bool redirected = expected == folder;
    bool missingBefore = GetFileAttributesA(expected.c_str()) == INVALID_FILE_ATTRIBUTES;
    WriteSettingsIni(nullptr, "Test", "Key", "First value");
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);

    EXPECT_TRUE(redirected) << folder;
    EXPECT_TRUE(missingBefore);
    std::string ini = expected + "\\TRIMVALE.INI";
    char value[64] = {};
    GetPrivateProfileStringA("Test", "Key", "", value, sizeof value, ini.c_str());
    EXPECT_STREQ(value, "First value");

    DeleteFileA(ini.c_str());
    RemoveDirectoryA(expected.c_str());
    RemoveDirectoryA((appData + "\\Kelvoran").c_str());
    RemoveDirectoryA(appData.c_str());
    RegCloseKey(root);
    RegDeleteTreeA(HKEY_CURRENT_USER, rootPath.c_str());
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
    std::string name = UniqueName("Value");
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
    std::string name = UniqueName("Int");
    const struct {
        const char* stored;   // null: value absent
        int32_t expected;
    } cases[] = {{nullptr, 5}, {"  -7", -7}, {"+12x", 12}, {"abc", 0}, {"", 0}};
    for (const auto& c : cases) {
        WriteSettingsReg("MAIN", name.c_str(), c.stored, "TRIMVALE.INI", 0);
        EXPECT_EQ(ReadSettingsInt("MAIN", name.c_str(), 5, "TRIMVALE.INI", 0), c.expected)
            << (c.stored ? c.stored : "<absent>");
    }
    WriteSettingsReg("MAIN", name.c_str(), nullptr, "TRIMVALE.INI", 0);
}

}  // namespace
