// A private settings store for one test. Every test of a run shares one Wine prefix, so the
// engine's settings file "TRIMVALE.INI" (in the user's application-data folder) and its
// settings key (under HKLM) are shared too: a test that writes a value and reads it back
// races every test beside it that writes the same value. A sandbox gives this test process
// a fresh temporary folder as its application-data folder and, on request, an empty private
// HKLM (tests/host/settings_root.h), and removes both at its end.
//
//   TEST(Area, ReadsBack) {
//       kvtest::SettingsSandbox sandbox;           // or SettingsSandbox sandbox(true) for HKLM
//       ASSERT_TRUE(sandbox.Ready()) << sandbox.Error();
//       ...                                        // sandbox.IniFile() is the settings file
//   }
//
// Each test runs in a process of its own (one ctest test per gtest test), so the roots it
// redirects are seen by no other test. Keep the sandbox alive while engine code reads them.
#pragma once

#include <windows.h>

#include <string>

#include "tests/host/settings_root.h"

namespace kvtest {

class SettingsSandbox {
public:
    explicit SettingsSandbox(bool privateMachineRoot = false)
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        static int counter;
        appData_ = std::string(temp) + "kvsettings" + std::to_string(GetCurrentProcessId()) + "_" +
                   std::to_string(++counter);
        RemoveTree(appData_);   // left behind by a crashed process with the same id
        std::wstring wide(appData_.begin(), appData_.end());
        ready_ = roots_.Redirect(wide, privateMachineRoot);
    }
    SettingsSandbox(const SettingsSandbox&) = delete;
    SettingsSandbox& operator=(const SettingsSandbox&) = delete;
    ~SettingsSandbox()
    {
        roots_.Restore();
        RemoveTree(appData_);
    }

    bool Ready() const { return ready_; }
    const std::string& Error() const { return roots_.Error(); }

    // The stand-in application-data folder, the engine's settings folder in it (made by the
    // engine's first use of the settings file) and the settings file.
    const std::string& AppData() const { return appData_; }
    std::string SettingsFolder() const { return appData_ + "\\Kelvoran\\Settings"; }
    std::string IniFile() const { return SettingsFolder() + "\\TRIMVALE.INI"; }

private:
    // Wide: a test may make folders named outside the ANSI code page in it.
    static void RemoveTree(const std::string& folder) { RemoveTree(std::wstring(folder.begin(), folder.end())); }
    static void RemoveTree(const std::wstring& folder)
    {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = found.cFileName;
                if (name == L"." || name == L"..")
                    continue;
                std::wstring path = folder + L"\\" + name;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveTree(path);
                else
                    DeleteFileW(path.c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(folder.c_str());
    }

    std::string appData_;
    kvhost::PrivateSettings roots_;
    bool ready_ = false;
};

}  // namespace kvtest
