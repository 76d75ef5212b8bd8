// The engine's settings store: "TRIMVALE.INI" in the settings folder and the HKLM
// settings key.
#include "engine/files/settings.h"

#include <shlobj.h>

#include <cstring>
#include <cwchar>
#include <initializer_list>
#include <string>
#include <vector>

#include "engine/core/numtext.h"
#include "engine/files/file_text.h"

namespace {

constexpr const wchar_t* SETTINGS_SUBFOLDER = L"Kelvoran\\Settings";
constexpr const char* REGISTRY_PREFIX = "Software\\Hollicor\\Settings\\";
constexpr int PATH_SIZE = 261;

using PfnSHGetFolderPathW = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);

// The shell's folder query, from SHELL32 or else SHFOLDER; null when neither has it.
PfnSHGetFolderPathW FolderQuery()
{
    static PfnSHGetFolderPathW query;
    static bool looked;
    if (!looked) {
        looked = true;
        for (const char* dll : {"SHELL32.DLL", "SHFOLDER.DLL"}) {
            HMODULE module = GetModuleHandleA(dll);
            if (!module)
                module = LoadLibraryA(dll);
            if (module) {
                query = reinterpret_cast<PfnSHGetFolderPathW>(
                    reinterpret_cast<void*>(GetProcAddress(module, "SHGetFolderPathW")));
                if (query)
                    break;
            }
        }
    }
    return query;
}

// Appends text, never past size - 1 bytes and never splitting a double-byte character.
void Append(char* buffer, int size, const char* text)
{
    int used = static_cast<int>(std::strlen(buffer));
    const char* p = text;
    while (*p) {
        const char* next = CharNextA(p);
        int n = static_cast<int>(next - p);
        if (n <= 0 || used + n > size - 1)
            break;
        std::memcpy(buffer + used, p, n);
        used += n;
        p = next;
    }
    buffer[used] = 0;
}

bool IsDirectory(const wchar_t* path)
{
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The user's application-data folder as the shell keeps it ("AppData" of the user's shell
// folders, which the shell's own query reads), when it names an existing folder. The
// engine reads a setting at every start, and asking the shell would load its library for
// this one answer.
bool AppDataFromShellFolders(std::wstring& base)
{
    base.clear();
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                      0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    wchar_t stored[MAX_PATH + 1] = {};
    DWORD type = 0;
    DWORD bytes = sizeof stored - sizeof stored[0];
    LONG status = RegQueryValueExW(key, L"AppData", nullptr, &type, reinterpret_cast<BYTE*>(stored), &bytes);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    stored[bytes / sizeof stored[0] < MAX_PATH + 1 ? bytes / sizeof stored[0] : MAX_PATH] = 0;
    wchar_t expanded[MAX_PATH + 1];
    DWORD length = ExpandEnvironmentStringsW(stored, expanded, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH + 1)
        return false;
    bool absolute = (expanded[0] && expanded[1] == L':' && expanded[2] == L'\\')
                    || (expanded[0] == L'\\' && expanded[1] == L'\\');
    if (!absolute || !IsDirectory(expanded))
        return false;
    base = expanded;
    return true;
}

// The base folder and "Kelvoran\Settings" with exactly one backslash between them.
std::wstring JoinSettingsFolder(const std::wstring& base, bool trailingBackslash)
{
    std::wstring folder = base;
    if (!folder.empty() && folder.back() != L'\\')
        folder += L'\\';
    folder += SETTINGS_SUBFOLDER;
    if (trailingBackslash)
        folder += L'\\';
    return folder;
}

std::wstring SettingsIniPath()
{
    std::wstring folder = SettingsFolderWide(false);
    CreateFolderPathWide(folder.c_str());
    return folder + L"\\" + FileNameToWide(SETTINGS_INI_NAME);
}

// Texts cross the profile functions' wide forms in the ANSI code page, as the ANSI forms
// would give them; a null stays null (a whole section or key).
std::wstring WideOrNull(const char* text, bool& isNull)
{
    isNull = text == nullptr;
    return isNull ? std::wstring() : FileNameToWide(text);
}

}  // namespace

// ---------------------------------------------------------------- folder and key

// The folder is worked out wide: a user profile may be named in letters outside the ANSI
// code page, and the ANSI form of such a path names no folder.
std::wstring SettingsFolderWide(bool trailingBackslash)
{
    std::wstring base;
    if (!AppDataFromShellFolders(base)) {
        wchar_t shell[MAX_PATH + 1] = {};
        PfnSHGetFolderPathW query = FolderQuery();
        if (!query || FAILED(query(nullptr, CSIDL_APPDATA, nullptr, 0, shell)) || !shell[0]) {
            shell[0] = 0;
            UINT n = GetWindowsDirectoryW(shell, MAX_PATH + 1);
            if (n == 0 || n > MAX_PATH)
                shell[0] = 0;
        }
        base = shell;
    }
    return JoinSettingsFolder(base, trailingBackslash);
}

void SettingsFolderFrom(const char* base, char* buffer, int size, bool trailingBackslash)
{
    if (!buffer || size <= 0)
        return;
    buffer[0] = 0;
    Append(buffer, size, FileNameToAnsi(JoinSettingsFolder(FileNameToWide(base), trailingBackslash)).c_str());
}

void GetSettingsFolder(char* buffer, int size, bool trailingBackslash)
{
    if (!buffer || size <= 0)
        return;
    buffer[0] = 0;
    Append(buffer, size, FileNameToAnsi(SettingsFolderWide(trailingBackslash)).c_str());
}

void SettingsRegistryKey(const char* iniName, const char* section, char* buffer, int size)
{
    if (!buffer || size <= 0)
        return;
    buffer[0] = 0;
    Append(buffer, size, REGISTRY_PREFIX);
    char name[PATH_SIZE] = {};
    Append(name, sizeof name, iniName ? iniName : "");
    for (char* p = name; *p; p = CharNextA(p)) {
        if (*p == '.') {
            *p = 0;
            break;
        }
    }
    Append(buffer, size, name);
    Append(buffer, size, "\\");
    Append(buffer, size, section ? section : "");
}

bool CreateFolderPathWide(const wchar_t* path)
{
    if (!path || !path[0])
        return false;
    if (IsDirectory(path))
        return true;
    size_t whole = wcsnlen(path, PATH_SIZE);
    if (whole >= PATH_SIZE)
        return false;
    // Walk the path, creating each level that is missing; a drive root or a server share
    // ("\\server\share") is never created.
    bool unc = path[0] == L'\\' && path[1] == L'\\';
    int separators = 0;
    for (size_t i = 0; i < whole; ++i) {
        bool atSeparator = path[i] == L'\\' || path[i] == L'/';
        if (!atSeparator && i + 1 < whole)
            continue;
        std::wstring partial(path, atSeparator ? i : i + 1);
        ++separators;
        size_t length = partial.size();
        bool isRoot = length == 0 || (length == 2 && partial[1] == L':') || (unc && separators <= 4);
        if (!isRoot && !IsDirectory(partial.c_str()))
            CreateDirectoryW(partial.c_str(), nullptr);
    }
    return IsDirectory(path);
}

bool CreateFolderPath(const char* path)
{
    if (!path || !path[0])
        return false;
    return CreateFolderPathWide(FileNameToWide(path).c_str());
}

// ---------------------------------------------------------------- INI file

void ReadSettingsIni(BDS*, const char* section, const char* key, const char* defaultText,
                     char* buffer, int size)
{
    if (!buffer || size <= 0)
        return;
    bool noSection, noKey, unused;
    std::wstring wideSection = WideOrNull(section, noSection);
    std::wstring wideKey = WideOrNull(key, noKey);
    std::wstring fallback = WideOrNull(defaultText ? defaultText : "", unused);
    std::vector<wchar_t> text(static_cast<size_t>(size) + 1);
    GetPrivateProfileStringW(noSection ? nullptr : wideSection.c_str(), noKey ? nullptr : wideKey.c_str(),
                             fallback.c_str(), text.data(), static_cast<DWORD>(size), SettingsIniPath().c_str());
    buffer[0] = 0;
    Append(buffer, size, FileNameToAnsi(text.data()).c_str());
}

void WriteSettingsIni(BDS*, const char* section, const char* key, const char* value)
{
    bool noSection, noKey, noValue;
    std::wstring wideSection = WideOrNull(section, noSection);
    std::wstring wideKey = WideOrNull(key, noKey);
    std::wstring wideValue = WideOrNull(value, noValue);
    WritePrivateProfileStringW(noSection ? nullptr : wideSection.c_str(), noKey ? nullptr : wideKey.c_str(),
                               noValue ? nullptr : wideValue.c_str(), SettingsIniPath().c_str());
}

// ---------------------------------------------------------------- registry

int ReadSettingsRegStr(const char* section, const char* valueName, const char* defaultText,
                       char* buffer, int size, const char* iniName, REGSAM viewFlags)
{
    if (!buffer || size <= 0)
        return 0;
    buffer[0] = 0;
    Append(buffer, size, defaultText ? defaultText : "");

    char keyPath[PATH_SIZE * 2];
    SettingsRegistryKey(iniName, section, keyPath, sizeof keyPath);
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_QUERY_VALUE | viewFlags, &key)
        != ERROR_SUCCESS)
        return 0;
    // Read into a copy, so a failed or non-text read leaves the default in place.
    char value[2050];
    DWORD type = 0;
    DWORD bytes = sizeof value - 1;
    LONG status = RegQueryValueExA(key, valueName, nullptr, &type,
                                   reinterpret_cast<BYTE*>(value), &bytes);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return 0;
    value[bytes] = 0;
    if (std::strlen(value) >= static_cast<size_t>(size))
        return 0;   // does not fit the caller's buffer: keep the default
    buffer[0] = 0;
    Append(buffer, size, value);
    return 1;
}

int32_t ReadSettingsInt(const char* section, const char* valueName, int32_t defaultValue,
                        const char* iniName, REGSAM viewFlags)
{
    char text[257];
    char defaultText[16];
    wsprintfA(defaultText, "%d", defaultValue);
    ReadSettingsRegStr(section, valueName, defaultText, text, sizeof text, iniName, viewFlags);
    return TextToLongA(text);
}

int WriteSettingsReg(const char* section, const char* valueName, const char* text,
                     const char* iniName, REGSAM viewFlags)
{
    char keyPath[PATH_SIZE * 2];
    SettingsRegistryKey(iniName, section, keyPath, sizeof keyPath);
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, 0, KEY_SET_VALUE | viewFlags,
                        nullptr, &key, nullptr)
        != ERROR_SUCCESS)
        return 0;
    LONG status;
    if (text)
        status = RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                                static_cast<DWORD>(std::strlen(text) + 1));
    else
        status = RegDeleteValueA(key, valueName);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? 1 : 0;
}
