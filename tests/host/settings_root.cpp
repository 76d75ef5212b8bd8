// A private settings store for one process: private registry roots and a stand-in
// application-data folder (see settings_root.h).
#include "tests/host/settings_root.h"

namespace kvhost {

namespace {

constexpr const wchar_t* PRIVATE_KEYS = L"Software\\KvTestSettings";
constexpr const wchar_t* SHELL_FOLDERS = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";

bool IsFolder(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool CreateFolderTree(const std::wstring& folder)
{
    if (folder.empty())
        return false;
    for (size_t at = folder.find_first_of(L"\\/", 3); at != std::wstring::npos;
         at = folder.find_first_of(L"\\/", at + 1))
        CreateDirectoryW(folder.substr(0, at).c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    return IsFolder(folder);
}

bool PrivateSettings::Fail(const char* step, LONG status)
{
    error_ = std::string(step) + " failed (error " + std::to_string(status) + ")";
    Restore();
    return false;
}

bool PrivateSettings::Redirect(const std::wstring& appDataFolder, bool privateMachineRoot)
{
    Restore();
    error_.clear();
    wchar_t full[MAX_PATH * 2];
    DWORD n = GetFullPathNameW(appDataFolder.c_str(), MAX_PATH * 2, full, nullptr);
    if (n == 0 || n >= MAX_PATH * 2 || !CreateFolderTree(full)) {
        error_ = "the settings folder cannot be created";
        return false;
    }
    std::wstring folder(full, n);

    // One parent key per process; a crashed run of an earlier process with this id may
    // have left one behind.
    static int counter;
    keyPath_ = std::wstring(PRIVATE_KEYS) + L"\\" + std::to_wstring(GetCurrentProcessId()) + L"_" +
               std::to_wstring(++counter);
    RegDeleteTreeW(HKEY_CURRENT_USER, keyPath_.c_str());
    LONG status = RegCreateKeyExW(HKEY_CURRENT_USER, (keyPath_ + L"\\User").c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &user_, nullptr);
    if (status != ERROR_SUCCESS) {
        user_ = nullptr;
        return Fail("creating the private user root", status);
    }
    for (const wchar_t* name : {L"User Shell Folders", L"Shell Folders"}) {
        HKEY folders = nullptr;
        status = RegCreateKeyExW(user_, (std::wstring(SHELL_FOLDERS) + name).c_str(), 0, nullptr, 0,
                                 KEY_SET_VALUE, nullptr, &folders, nullptr);
        if (status != ERROR_SUCCESS)
            return Fail("creating the shell folders", status);
        status = RegSetValueExW(folders, L"AppData", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                                static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(folders);
        if (status != ERROR_SUCCESS)
            return Fail("naming the application-data folder", status);
    }
    if (privateMachineRoot) {
        status = RegCreateKeyExW(HKEY_CURRENT_USER, (keyPath_ + L"\\Machine").c_str(), 0, nullptr, 0,
                                 KEY_ALL_ACCESS, nullptr, &machine_, nullptr);
        if (status != ERROR_SUCCESS) {
            machine_ = nullptr;
            return Fail("creating the private machine root", status);
        }
        status = RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine_);
        if (status != ERROR_SUCCESS)
            return Fail("redirecting HKEY_LOCAL_MACHINE", status);
    }
    // Last: every key above is made through the real user root.
    status = RegOverridePredefKey(HKEY_CURRENT_USER, user_);
    if (status != ERROR_SUCCESS)
        return Fail("redirecting HKEY_CURRENT_USER", status);
    return true;
}

void PrivateSettings::Restore()
{
    if (machine_) {
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegCloseKey(machine_);
        machine_ = nullptr;
    }
    if (user_) {
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        RegCloseKey(user_);
        user_ = nullptr;
    }
    if (!keyPath_.empty()) {
        RegDeleteTreeW(HKEY_CURRENT_USER, keyPath_.c_str());
        keyPath_.clear();   // the common parent stays: other processes make their keys in it
    }
}

}  // namespace kvhost
