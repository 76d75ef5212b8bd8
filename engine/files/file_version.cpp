// FileVerInfo, which reads the version resource of a program file (its fixed fields and
// its string values), and InstallFile, which copies a file into a folder through the
// system's version-aware installer and never replaces a newer file by an unversioned one.
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/core/builtin.h"
#include "engine/files/directories.h"
#include "engine/files/file_args.h"
#include "engine/files/file_time.h"
#include "engine/files/path_buf.h"
#include "engine/files/path_search.h"

namespace {

enum : uint16_t {
    ERR_SOURCE_NOT_FOUND = 1434,
    ERR_TARGET_HAS_PATH = 1435,
    ERR_NO_TARGET_FOLDER = 1436,
    ERR_VERSION_NOT_FOUND = 1496,
    ERR_VERSION_MEMORY = 1498,
    ERR_INSTALL_BUFFER = 1512,
};

enum : uint16_t { ID_FILEVERINFO = 505, ID_INSTALLFILE = 532 };

constexpr int MAX_TRANSLATIONS = 25;

// The string tables tried, in order, when the script names a key but no language.
const wchar_t* const kDefaultLanguages[] = {L"040904E4", L"040904B0", L"000004E4",
                                            L"04090000", L"00000000", L"000004B0"};

// ---------------------------------------------------------------- FileVerInfo

// A file's version block in movable memory, locked while the holder lives.
struct VersionBlock {
    HGLOBAL memory = nullptr;
    void* data = nullptr;
    ~VersionBlock()
    {
        if (memory) {
            GlobalUnlock(memory);
            GlobalFree(memory);
        }
    }
};

// The full name of the file: a prefixed name as it stands when it exists, others through
// the path search. False when it is not found.
bool FindVersionFile(BDS* ctx, const wchar_t* name, std::wstring& found)
{
    if (HasLongPrefixW(name)) {
        found = name;
        return FileExistsW(ctx, name, false) != 0;
    }
    wchar_t full[MAX_PATH];
    if (!*name || !FileSearchPathW(ctx, full, name, MAX_PATH, false))
        return false;
    found = full;
    return true;
}

// A fixed-information field named by "#key", into `out`; false when the key is none of them.
bool FixedField(const VS_FIXEDFILEINFO& info, const wchar_t* key, std::wstring& out)
{
    wchar_t text[64];
    DWORD value;
    if (!lstrcmpiW(key, L"#FileVersion")) {
        swprintf(text, 64, L"%d,%d,%d,%d", HIWORD(info.dwFileVersionMS), LOWORD(info.dwFileVersionMS),
                 HIWORD(info.dwFileVersionLS), LOWORD(info.dwFileVersionLS));
        out = text;
        return true;
    }
    if (!lstrcmpiW(key, L"#ProductVersion")) {
        swprintf(text, 64, L"%d,%d,%d,%d", HIWORD(info.dwProductVersionMS), LOWORD(info.dwProductVersionMS),
                 HIWORD(info.dwProductVersionLS), LOWORD(info.dwProductVersionLS));
        out = text;
        return true;
    }
    if (!lstrcmpiW(key, L"#FileFlagsMask"))
        value = info.dwFileFlagsMask;
    else if (!lstrcmpiW(key, L"#FileFlags"))
        value = info.dwFileFlags;
    else if (!lstrcmpiW(key, L"#FileOS"))
        value = info.dwFileOS;
    else if (!lstrcmpiW(key, L"#FileType"))
        value = info.dwFileType;
    else if (!lstrcmpiW(key, L"#FileSubtype"))
        value = info.dwFileSubtype;
    else
        return false;
    swprintf(text, 64, L"%lu", static_cast<unsigned long>(value));
    out = text;
    return true;
}

// The string value of a key in one language's table; false when there is none.
bool StringValue(void* block, const wchar_t* language, const wchar_t* key, std::wstring& out)
{
    std::wstring path = std::wstring(L"\\StringFileInfo\\") + language + L"\\" + key;
    wchar_t* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block, path.c_str(), reinterpret_cast<void**>(&value), &length) || !value)
        return false;
    out.assign(value, wcsnlen(value, length));
    return true;
}

// The translations of the block, each as language and code page in eight hex digits.
std::wstring TranslationList(void* block)
{
    WORD* pairs = nullptr;
    UINT bytes = 0;
    std::wstring list;
    if (!VerQueryValueW(block, L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&pairs), &bytes) || !pairs)
        return list;
    UINT count = bytes / (2 * sizeof(WORD));
    if (count > MAX_TRANSLATIONS)
        count = MAX_TRANSLATIONS;
    for (UINT i = 0; i < count; ++i) {
        wchar_t entry[16];
        swprintf(entry, 16, L"%04x%04x", pairs[2 * i], pairs[2 * i + 1]);
        if (i)
            list += L'\t';
        list += entry;
    }
    return list;
}

void DoFileVerInfoW(BDS* ctx, resultants* result, const wchar_t* name, const wchar_t* language, const wchar_t* key)
{
    std::wstring file;
    if (!FindVersionFile(ctx, name, file)) {
        SetError(ctx, ERR_VERSION_NOT_FOUND);
        return;
    }
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
    if (size == 0) {
        SetResultPathText(ctx, result, L"NONE");
        return;
    }
    VersionBlock block;
    block.memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size + 2);
    block.data = block.memory ? GlobalLock(block.memory) : nullptr;
    if (!block.data) {
        SetError(ctx, ERR_VERSION_MEMORY);
        return;
    }
    if (!GetFileVersionInfoW(file.c_str(), 0, size, block.data)) {
        SetResultPathText(ctx, result, L"NONE");
        return;
    }

    std::wstring answer;
    if (key[0] == L'#') {
        VS_FIXEDFILEINFO* info = nullptr;
        UINT length = 0;
        if (VerQueryValueW(block.data, L"\\", reinterpret_cast<void**>(&info), &length) && info &&
            length >= sizeof(VS_FIXEDFILEINFO) && FixedField(*info, key, answer)) {
            SetResultPathText(ctx, result, answer);
            return;
        }
    }
    if (language[0]) {
        if (key[0])
            StringValue(block.data, language, key, answer);
    } else if (key[0]) {
        for (const wchar_t* tried : kDefaultLanguages)
            if (StringValue(block.data, tried, key, answer))
                break;
    } else {
        answer = TranslationList(block.data);
    }
    SetResultPathText(ctx, result, answer);
}

void CaseFileVerInfo(BDS* ctx, BuiltinCall& c)
{
    ArgPath name(ctx, c, 1);
    ArgPath language(ctx, c, 2);
    ArgPath key(ctx, c, 3);
    DoFileVerInfoW(ctx, c.result, name.text(), language.text(), key.text());
}

// ---------------------------------------------------------------- InstallFile

enum : int32_t { INSTALL_SHARED = 1, INSTALL_FORCE = 2 };

void DoInstallFile(BDS* ctx, resultants* result, const char* source, const char* targetName, const char* folder,
                   int32_t deleteOld, int32_t flags)
{
    char found[MAX_PATH];
    char sourcePath[MAX_PATH];
    if (!*source || !FileSearchPathA(ctx, found, source, MAX_PATH, false) ||
        !PathFullNameA(ctx, found, sourcePath, MAX_PATH)) {
        SetError(ctx, ERR_SOURCE_NOT_FOUND);
        return;
    }
    char* slash = strrchr(sourcePath, '\\');
    std::string sourceName = slash ? slash + 1 : sourcePath;
    std::string sourceFolder = slash ? std::string(sourcePath, static_cast<size_t>(slash - sourcePath)) : "";
    if (sourceFolder.size() == 2 && sourceFolder[1] == ':')
        sourceFolder += '\\';

    std::string target = *targetName ? targetName : sourceName;
    if (target.find_first_of("\\/:") != std::string::npos) {
        SetError(ctx, ERR_TARGET_HAS_PATH);
        return;
    }
    if (!*folder || !DoDirExistA(ctx, folder)) {
        SetError(ctx, ERR_NO_TARGET_FOLDER);
        return;
    }

    char windowsFolder[MAX_PATH] = "";
    GetWindowsDirectoryA(windowsFolder, MAX_PATH);
    char current[MAX_PATH] = "", destination[MAX_PATH] = "";
    UINT currentLength = MAX_PATH, destinationLength = MAX_PATH;
    std::string appFolder = folder;   // the installer's declarations take writable texts
    DWORD findResult = VerFindFileA((flags & INSTALL_SHARED) ? VFFF_ISSHAREDFILE : 0, target.data(), windowsFolder,
                                    appFolder.data(), current, &currentLength, destination, &destinationLength);
    if (findResult & VFF_BUFFTOOSMALL) {
        SetError(ctx, ERR_INSTALL_BUFFER);
        return;
    }
    std::string into = ((flags & INSTALL_SHARED) && current[0]) ? current : folder;

    // The file it would replace: where the installer found one, else in the destination.
    std::string existing = current[0] ? current : into;
    if (existing.back() != '\\')
        existing += '\\';
    existing += target;
    bool exists = GetFileAttributesA(existing.c_str()) != INVALID_FILE_ATTRIBUTES;

    char code[24] = "";
    char temporary[MAX_PATH] = "";
    DWORD ignored = 0;
    if (exists && !(flags & INSTALL_FORCE) && GetFileVersionInfoSizeA(sourcePath, &ignored) == 0 &&
        FileTimeCompareA(ctx, sourcePath, existing.c_str()) != 1) {
        snprintf(code, sizeof code, "%lu|", static_cast<unsigned long>(VIF_SRCOLD));
    } else {
        DWORD installFlags = 0;
        if (flags & INSTALL_FORCE)
            installFlags |= VIFF_FORCEINSTALL;
        if (deleteOld == 0)
            installFlags |= VIFF_DONTDELETEOLD;
        UINT temporaryLength = MAX_PATH;
        DWORD installed = VerInstallFileA(installFlags, sourceName.data(), target.data(), sourceFolder.data(),
                                          into.data(), current, temporary, &temporaryLength);
        snprintf(code, sizeof code, "%lu|", static_cast<unsigned long>(installed));
    }
    std::string text = std::string(code) + temporary;
    SetResultText(ctx, result, text.c_str(), text.size());
}

void CaseInstallFile(BDS* ctx, BuiltinCall& c)
{
    ArgAnsiPath source(ctx, c, 1), folder(ctx, c, 3);
    DoInstallFile(ctx, c.result, source.text(), ArgText(ctx, c, 2), folder.text(), ArgInt(c, 4), ArgInt(c, 5));
}

const BuiltinRow kRows[] = {
    {ID_FILEVERINFO, CaseFileVerInfo},
    {ID_INSTALLFILE, CaseInstallFile},
};

}  // namespace

extern const BuiltinFamily g_FileVersionBuiltins = {"version information and installation", kRows,
                                                    static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
