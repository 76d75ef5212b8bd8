// ShortcutDir, the path of a shell folder by known-folder GUID, CSIDL number or name, and
// RegApp, which registers a program under the system's "App Paths" key.
#include <objbase.h>
#include <shlobj.h>

#include <cstring>
#include <cwchar>

#include "engine/core/builtin.h"
#include "engine/core/errors.h"
#include "engine/core/numtext.h"
#include "engine/core/system_flags.h"
#include "engine/files/registry.h"
#include "engine/system/loaded_library.h"

namespace {

enum : uint16_t {
    ERR_APP_NOT_FOUND = 1430,
    ERR_APP_NOT_WRITTEN = 1431,
    ERR_NO_FOLDER_NAME = 1541,
    ERR_BAD_FLAGS = 1822,
};

constexpr int FOLDER_ROOM = 2050;            // bytes of ShortcutDir's path
constexpr DWORD SHELL_FOLDER_VALUE_ROOM = 260;
constexpr DWORD APP_SEARCH_ROOM = 2050;
constexpr size_t APP_KEY_ROOM = 320;
constexpr size_t APP_NAME_PART = 255;
constexpr char SHELL_FOLDERS_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr wchar_t APP_PATHS_KEY[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

struct ShellFolder {
    const char* name;
    int csidl;
    bool common;   // its registry fallback is the machine's, not the user's
};

constexpr ShellFolder SHELL_FOLDERS[] = {
    {"Desktop", 0, false},
    {"Programs", 2, false},
    {"Personal", 5, false},
    {"Favorites", 6, false},
    {"Startup", 7, false},
    {"Recent", 8, false},
    {"SendTo", 9, false},
    {"Start Menu", 11, false},
    {"My Music", 13, false},
    {"My Video", 14, false},
    {"NetHood", 19, false},
    {"Fonts", 20, false},
    {"Templates", 21, false},
    {"Common Start Menu", 22, true},
    {"Common Startup", 24, true},
    {"Common Desktop", 25, true},
    {"AppData", 26, false},
    {"PrintHood", 27, false},
    {"Local AppData", 28, false},
    {"Common Favorites", 31, true},
    {"Cache", 32, false},
    {"Cookies", 33, false},
    {"History", 34, false},
    {"Common AppData", 35, true},
    {"My Pictures", 39, false},
    {"Common Programs", 23, true},
    {"Common Templates", 45, true},
    {"Common Documents", 46, true},
    {"Common Administrative Tools", 47, true},
    {"Administrative Tools", 48, false},
    {"CommonMusic", 53, true},
    {"CommonPictures", 54, true},
    {"CommonVideo", 55, true},
    {"CD Burning", 59, false},
};

const ShellFolder* FindShellFolder(const char* name)
{
    for (const ShellFolder& folder : SHELL_FOLDERS)
        if (lstrcmpiA(folder.name, name) == 0)
            return &folder;
    return nullptr;
}

bool IsDecimalName(const char* text)
{
    return IsIntegerTextA(text) && std::strpbrk(text, "0123456789") != nullptr;
}

// The known folder whose GUID the name is (braces optional).
bool KnownFolderPath(BDS* ctx, const char* name, char* path)
{
    if (!SystemFacts().OsIsVistaPlus)
        return false;
    using PfnUuidFromStringA = RPC_STATUS(RPC_ENTRY*)(RPC_CSTR, UUID*);
    using PfnSHGetKnownFolderPath = HRESULT(WINAPI*)(REFKNOWNFOLDERID, DWORD, HANDLE, PWSTR*);
    LoadedLibrary rpc("Rpcrt4.dll");
    LoadedLibrary shell("SHELL32.DLL");
    auto uuidFromString = rpc.Entry<PfnUuidFromStringA>("UuidFromStringA");
    auto knownFolderPath = shell.Entry<PfnSHGetKnownFolderPath>("SHGetKnownFolderPath");
    if (!uuidFromString || !knownFolderPath)
        return false;

    char text[FOLDER_ROOM];
    lstrcpynA(text, name[0] == '{' ? name + 1 : name, FOLDER_ROOM);
    size_t n = std::strlen(text);
    if (n && text[n - 1] == '}')
        text[n - 1] = 0;
    UUID id;
    if (uuidFromString(reinterpret_cast<RPC_CSTR>(text), &id) != RPC_S_OK)
        return false;
    PWSTR found = nullptr;
    if (FAILED(knownFolderPath(id, 0, nullptr, &found)) || !found)
        return false;
    int written = WideCharToMultiByte(ValueCodePage(ctx), 0, found, -1, path, FOLDER_ROOM, nullptr, nullptr);
    CoTaskMemFree(found);
    if (written <= 0) {
        path[0] = 0;
        return false;
    }
    return true;
}

// The folder of a CSIDL number (the name itself, or the table's number for the name).
bool CsidlFolderPath(const char* name, char* path)
{
    int csidl;
    if (IsDecimalName(name))
        csidl = TextToLongA(name);
    else if (const ShellFolder* folder = FindShellFolder(name))
        csidl = folder->csidl;
    else
        return false;
    char found[MAX_PATH] = {};
    if (SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, found) != S_OK || !found[0])
        return false;
    lstrcpynA(path, found, FOLDER_ROOM);
    return true;
}

// The value of that name under the Explorer's "Shell Folders" key (the machine's for the
// common folders of the table, else the user's).
bool ShellFoldersValue(const char* name, char* path)
{
    const ShellFolder* folder = FindShellFolder(name);
    HKEY root = folder && folder->common ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, SHELL_FOLDERS_KEY, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    char value[SHELL_FOLDER_VALUE_ROOM + 1] = {};
    DWORD size = SHELL_FOLDER_VALUE_ROOM;
    DWORD type = 0;
    LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || !value[0])
        return false;
    lstrcpynA(path, value, FOLDER_ROOM);
    return true;
}

void CaseShortcutDir(BDS* ctx, BuiltinCall& c)
{
    const char* name = ArgText(ctx, c, 1);
    if (!*name) {
        SetError(ctx, ERR_NO_FOLDER_NAME);
        return;
    }
    char path[FOLDER_ROOM + 1] = {};
    bool found = KnownFolderPath(ctx, name, path) || CsidlFolderPath(name, path) || ShellFoldersValue(name, path);
    size_t n = std::strlen(path);
    if (found && ArgInt(c, 3) && n && path[n - 1] != '\\' && n < FOLDER_ROOM) {
        path[n++] = '\\';
        path[n] = 0;
    }
    SetResultText(ctx, c.result, found ? path : "", found ? n : 0);
}

// ---------------------------------------------------------------- RegApp

// "App Paths\NAME.EXT" of a found program, its name and extension upper-cased.
bool AppPathsKey(const wchar_t* fileName, wchar_t* key)
{
    const wchar_t* dot = std::wcsrchr(fileName, L'.');
    size_t nameLength = dot ? size_t(dot - fileName) : std::wcslen(fileName);
    const wchar_t* extension = dot ? dot + 1 : L"";
    size_t extensionLength = std::wcslen(extension);
    size_t prefixLength = std::wcslen(APP_PATHS_KEY);
    if (nameLength > APP_NAME_PART || extensionLength > APP_NAME_PART ||
        prefixLength + nameLength + 1 + extensionLength >= APP_KEY_ROOM)
        return false;
    wchar_t* p = key;
    std::wmemcpy(p, APP_PATHS_KEY, prefixLength);
    p += prefixLength;
    std::wmemcpy(p, fileName, nameLength);
    CharUpperBuffW(p, DWORD(nameLength));
    p += nameLength;
    *p++ = L'.';
    std::wmemcpy(p, extension, extensionLength);
    CharUpperBuffW(p, DWORD(extensionLength));
    p[extensionLength] = 0;
    return true;
}

void SetText(HKEY key, const wchar_t* name, const wchar_t* text)
{
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   DWORD((std::wcslen(text) + 1) * sizeof(wchar_t)));
}

void CaseRegApp(BDS* ctx, BuiltinCall& c)
{
    if (!WideFormAvailable(ctx))
        return;
    wchar_t found[APP_SEARCH_ROOM];
    wchar_t* fileName = nullptr;
    DWORD n = SearchPathW(nullptr, ArgWText(ctx, c, 1), L".EXE", APP_SEARCH_ROOM, found, &fileName);
    if (n == 0 || n >= APP_SEARCH_ROOM || !fileName) {
        SetError(ctx, ERR_APP_NOT_FOUND);
        return;
    }
    int32_t view = ArgInt(c, 3);
    if (view != 0 && view != 32 && view != 64) {
        SetError(ctx, ERR_BAD_FLAGS);
        return;
    }
    uint32_t effective = view ? uint32_t(view) : ctx->eng.ctl.DefaultRegistryView;
    REGSAM viewFlag = effective == 1 || effective == 32 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

    wchar_t keyPath[APP_KEY_ROOM];
    HKEY key = nullptr;
    LONG status = AppPathsKey(fileName, keyPath)
                      ? RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, 0, KEY_SET_VALUE | viewFlag,
                                        nullptr, &key, nullptr)
                      : ERROR_FILENAME_EXCED_RANGE;
    if (status != ERROR_SUCCESS) {
        StoreLastError(ctx, DWORD(status), "RegCreateKeyEx", true);
        SetError(ctx, ERR_APP_NOT_WRITTEN);
        return;
    }
    SetText(key, L"", found);
    const wchar_t* path = ArgWText(ctx, c, 2);
    if (*path)
        SetText(key, L"Path", path);
    RegCloseKey(key);
    SetResultInt(ctx, c.result, 1);
}

const BuiltinRow kRows[] = {
    {620, CaseRegApp},
    {681, CaseShortcutDir},
};

}  // namespace

extern const BuiltinFamily g_ShellFolderBuiltins = {"shell folders", kRows,
                                                    static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
