// The engine's settings store: "TRIMVALE.INI" in the settings folder and the HKLM
// settings key.
#include "engine/files/settings.h"

#include <shlobj.h>

#include <cstring>
#include <initializer_list>

#include "engine/core/numtext.h"

namespace {

constexpr const char* SETTINGS_SUBFOLDER = "Kelvoran\\Settings";
constexpr const char* REGISTRY_PREFIX = "Software\\Hollicor\\Settings\\";
constexpr int PATH_SIZE = 261;

using PfnSHGetFolderPathA = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);

// The shell's folder query, from SHELL32 or else SHFOLDER; null when neither has it.
PfnSHGetFolderPathA FolderQuery()
{
    static PfnSHGetFolderPathA query;
    static bool looked;
    if (!looked) {
        looked = true;
        for (const char* dll : {"SHELL32.DLL", "SHFOLDER.DLL"}) {
            HMODULE module = GetModuleHandleA(dll);
            if (!module)
                module = LoadLibraryA(dll);
            if (module) {
                query = reinterpret_cast<PfnSHGetFolderPathA>(
                    reinterpret_cast<void*>(GetProcAddress(module, "SHGetFolderPathA")));
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

// True when the text ends in a backslash that is not the trail byte of a DBCS character.
bool EndsInBackslash(const char* text)
{
    const char* last = nullptr;
    for (const char* p = text; *p; p = CharNextA(p))
        last = p;
    return last && *last == '\\';
}

bool IsDirectory(const char* path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The user's application-data folder as the shell keeps it ("AppData" of the user's shell
// folders, which the shell's own query reads), when it names an existing folder. The
// engine reads a setting at every start, and asking the shell would load its library for
// this one answer.
bool AppDataFromShellFolders(char* base, DWORD size)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                      0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    char stored[MAX_PATH + 1] = {};
    DWORD type = 0;
    DWORD bytes = sizeof stored - 1;
    LONG status = RegQueryValueExA(key, "AppData", nullptr, &type, reinterpret_cast<BYTE*>(stored), &bytes);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    stored[bytes < sizeof stored ? bytes : sizeof stored - 1] = 0;
    DWORD length = ExpandEnvironmentStringsA(stored, base, size);
    bool expanded = length != 0 && length <= size;
    bool absolute = expanded && ((base[0] && base[1] == ':' && base[2] == '\\') || (base[0] == '\\' && base[1] == '\\'));
    if (!absolute || !IsDirectory(base)) {
        base[0] = 0;
        return false;
    }
    return true;
}

void SettingsIniPath(char* buffer, int size)
{
    GetSettingsFolder(buffer, size, false);
    CreateFolderPath(buffer);
    Append(buffer, size, "\\");
    Append(buffer, size, SETTINGS_INI_NAME);
}

}  // namespace

// ---------------------------------------------------------------- folder and key

void SettingsFolderFrom(const char* base, char* buffer, int size, bool trailingBackslash)
{
    if (!buffer || size <= 0)
        return;
    buffer[0] = 0;
    Append(buffer, size, base ? base : "");
    if (buffer[0] && !EndsInBackslash(buffer))
        Append(buffer, size, "\\");
    Append(buffer, size, SETTINGS_SUBFOLDER);
    if (trailingBackslash)
        Append(buffer, size, "\\");
}

void GetSettingsFolder(char* buffer, int size, bool trailingBackslash)
{
    char base[MAX_PATH + 1] = {};
    if (!AppDataFromShellFolders(base, sizeof base)) {
        PfnSHGetFolderPathA query = FolderQuery();
        if (!query || FAILED(query(nullptr, CSIDL_APPDATA, nullptr, 0, base)) || !base[0]) {
            base[0] = 0;
            GetWindowsDirectoryA(base, sizeof base);
        }
    }
    SettingsFolderFrom(base, buffer, size, trailingBackslash);
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

bool CreateFolderPath(const char* path)
{
    if (!path || !path[0])
        return false;
    if (IsDirectory(path))
        return true;
    char partial[PATH_SIZE] = {};
    // Walk the path, creating each level that is missing; a drive root or a server share
    // ("\\server\share") is never created.
    const char* p = path;
    int separators = 0;
    bool unc = path[0] == '\\' && path[1] == '\\';
    while (*p) {
        const char* next = CharNextA(p);
        bool atSeparator = (*p == '\\' || *p == '/');
        if (atSeparator || !*next) {
            int length = static_cast<int>((atSeparator ? p : next) - path);
            if (length >= PATH_SIZE)
                return false;
            std::memcpy(partial, path, length);
            partial[length] = 0;
            ++separators;
            bool isRoot = length == 0 || (length == 2 && partial[1] == ':')
                          || (unc && separators <= 4);
            if (!isRoot && !IsDirectory(partial))
                CreateDirectoryA(partial, nullptr);
        }
        p = next;
    }
    return IsDirectory(path);
}

// ---------------------------------------------------------------- INI file

void ReadSettingsIni(BDS*, const char* section, const char* key, const char* defaultText,
                     char* buffer, int size)
{
    if (!buffer || size <= 0)
        return;
    char path[PATH_SIZE];
    SettingsIniPath(path, sizeof path);
    GetPrivateProfileStringA(section, key, defaultText ? defaultText : "", buffer,
                             static_cast<DWORD>(size), path);
}

void WriteSettingsIni(BDS*, const char* section, const char* key, const char* value)
{
    char path[PATH_SIZE];
    SettingsIniPath(path, sizeof path);
    WritePrivateProfileStringA(section, key, value, path);
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
