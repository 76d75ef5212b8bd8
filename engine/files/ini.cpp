// The profile (INI) built-ins IniRead, IniReadPvt, IniWrite, IniWritePvt, IniDelete,
// IniDeletePvt, IniItemize and IniItemizePvt, on WIN.INI or on a private file, through the
// system's profile functions.
#include "engine/files/ini.h"

#include <cstring>
#include <initializer_list>

#include "engine/core/builtin.h"
#include "engine/core/locked_global.h"
#include "engine/system/system_entries.h"

namespace {

enum : uint16_t {
    ERR_FORBIDDEN_ENTRY = 1335,
    ERR_PATH_TOO_LONG = 1433,
    ERR_NO_MEMORY = 1588,
    ERR_TEXT_TOO_LONG = 3053,
    ERR_NO_STRING_SPACE = 3096,
};

constexpr DWORD READ_BUFFER_SIZE = 65535;
constexpr char WHOLE_SECTION_KEY[] = "692837";   // the value of @wholesection
constexpr DWORD LIST_BUFFER_SIZE = 32000;
constexpr uint64_t LIST_BUFFER_LIMIT = 0x40000000;
constexpr char NO_ENTRIES[] = "(NONE)";

// The profile functions hold each text as UTF-16 in a counted string of at most 32767
// characters with its NUL. A longer one fails their conversion, after which they go on
// with an unset pointer (a crash, or garbage written to the file).
constexpr size_t PROFILE_TEXT_LIMIT = 32766;

// They also build the file's full name in a MAX_PATH buffer: a name without a folder is
// joined to the Windows folder, any other is made full. A longer result overruns that
// buffer (a crash) or leaves it unset.
bool IsRelativeName(const char* file)
{
    return !(file[0] == '\\' || file[0] == '/' || (file[0] && file[1] == ':'));
}

bool ProfileFileFits(const char* file)
{
    size_t length = strnlen(file, MAX_PATH);
    if (length >= MAX_PATH)
        return false;
    if (IsRelativeName(file)) {
        char windows[MAX_PATH];
        UINT folder = GetWindowsDirectoryA(windows, MAX_PATH);
        if (folder == 0 || folder >= MAX_PATH || folder + 1 + length >= MAX_PATH)
            return false;
    }
    DWORD full = GetFullPathNameA(file, 0, nullptr, nullptr);   // the size with its NUL
    return full <= MAX_PATH;
}

// The largest buffer a list of names can need: the names never take more room than the
// file that holds them. A file without a folder (and WIN.INI) lies in the Windows folder.
DWORD ListBufferLimit(const char* privateFile)
{
    const char* name = privateFile ? privateFile : "win.ini";
    char joined[2 * MAX_PATH];
    if (!privateFile || (IsRelativeName(name) && !strpbrk(name, "\\/"))) {
        UINT folder = GetWindowsDirectoryA(joined, MAX_PATH);
        if (folder == 0 || folder >= MAX_PATH)
            return LIST_BUFFER_SIZE;
        joined[folder] = '\\';
        lstrcpynA(joined + folder + 1, name, MAX_PATH);
        name = joined;
    }
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(name, GetFileExInfoStandard, &data))
        return LIST_BUFFER_SIZE;
    uint64_t size = ((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow) + 2;
    if (size >= LIST_BUFFER_LIMIT)
        return static_cast<DWORD>(LIST_BUFFER_LIMIT);
    return size > LIST_BUFFER_SIZE ? static_cast<DWORD>(size) : LIST_BUFFER_SIZE;
}

// Refuses texts and a file name that the profile functions cannot take (see above).
bool ProfileArgumentsFit(BDS* ctx, std::initializer_list<const char*> texts, const char* file)
{
    for (const char* text : texts) {
        if (text && strnlen(text, PROFILE_TEXT_LIMIT + 1) > PROFILE_TEXT_LIMIT) {
            SetError(ctx, ERR_TEXT_TOO_LONG);
            return false;
        }
    }
    if (file && *file && !ProfileFileFits(file)) {
        SetError(ctx, ERR_PATH_TOO_LONG);
        return false;
    }
    return true;
}

}  // namespace

bool IniIsForbiddenEntry(const char* section, const char* key)
{
    return lstrcmpiA(section, "386ENH") == 0 && lstrcmpiA(key, "DEVICE") == 0;
}

void DoIniRead(BDS* ctx, resultants* result, const char* section, const char* key,
               const char* fallback, const char* file)
{
    if (file && IniIsForbiddenEntry(section, key)) {
        SetError(ctx, ERR_FORBIDDEN_ENTRY);
        return;
    }
    if (!ProfileArgumentsFit(ctx, {section, key, fallback}, file))
        return;
    LockedGlobal buffer(READ_BUFFER_SIZE);
    char* text = buffer.As<char>();
    if (!text) {
        SetError(ctx, ERR_NO_MEMORY);
        return;
    }
    DWORD length = file ? GetPrivateProfileStringA(section, key, fallback, text, READ_BUFFER_SIZE, file)
                        : GetProfileStringA(section, key, fallback, text, READ_BUFFER_SIZE);
    SetResultText(ctx, result, text, strnlen(text, length < READ_BUFFER_SIZE ? length : READ_BUFFER_SIZE - 1));
}

void DoIniWrite(BDS* ctx, resultants* result, const char* section, const char* key,
                const char* value, const char* file)
{
    bool flush = !*section && !*key && !*value;
    if (!ProfileArgumentsFit(ctx, {section, key, value}, file))
        return;
    if (file) {
        if (flush) {
            SetResultInt(ctx, result, WritePrivateProfileStringA(nullptr, nullptr, nullptr, file));
            return;
        }
        if (IniIsForbiddenEntry(section, key)) {
            SetError(ctx, ERR_FORBIDDEN_ENTRY);
            return;
        }
        SetResultInt(ctx, result, WritePrivateProfileStringA(section, key, value, file));
        return;
    }

    if (flush) {
        WriteProfileStringA(nullptr, nullptr, nullptr);
        SetResultInt(ctx, result, 1);
        return;
    }
    WriteProfileStringA(section, key, value);
    // Tell the other programs which section changed; a hung window does not hold the script.
    size_t length = strlen(section) + 1;
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, length);
    if (copy) {
        char* text = static_cast<char*>(GlobalLock(copy));
        if (text)
            memcpy(text, section, length);
        ctx->builtins.bIniChange = 1;
        DWORD_PTR ignored;
        SystemSendMessageTimeoutA(ctx, HWND_BROADCAST, WM_WININICHANGE, 0, reinterpret_cast<LPARAM>(text),
                                  SMTO_ABORTIFHUNG, 5000, &ignored);
        ctx->builtins.bIniChange = 0;
        if (text)
            GlobalUnlock(copy);
        GlobalFree(copy);
    }
    SetResultInt(ctx, result, 1);
}

void DoIniDelete(BDS* ctx, resultants* result, const char* section, const char* key,
                 const char* file)
{
    if (!ProfileArgumentsFit(ctx, {section, key}, file))
        return;
    const char* entry = strcmp(key, WHOLE_SECTION_KEY) == 0 ? nullptr : key;
    if (file)
        WritePrivateProfileStringA(section, entry, nullptr, file);
    else
        WriteProfileStringA(section, entry, nullptr);
    SetResultInt(ctx, result, 0);
}

void DoIniItemize(BDS* ctx, resultants* result, const char* section, const char* file)
{
    const char* wanted = *section ? section : nullptr;
    const char* privateFile = file && *file ? file : nullptr;
    if (!ProfileArgumentsFit(ctx, {section}, privateFile))
        return;
    // A list that fills the buffer may have been cut: ask again with a larger one, up to
    // the size of the file.
    DWORD limit = ListBufferLimit(privateFile);
    for (DWORD size = LIST_BUFFER_SIZE;; size = size < limit / 2 ? size * 2 : limit) {
        LockedGlobal buffer(size, GMEM_MOVEABLE);
        char* list = buffer.As<char>();
        if (!list) {
            SetError(ctx, ERR_NO_STRING_SPACE);
            return;
        }
        DWORD length = privateFile ? GetPrivateProfileStringA(wanted, nullptr, NO_ENTRIES, list, size,
                                                              privateFile)
                                   : GetProfileStringA(wanted, nullptr, NO_ENTRIES, list, size);
        if (length >= size - 2 && size < limit)
            continue;
        if (length >= size)
            length = size - 1;
        if (list[0] == 0) {
            SetResultText(ctx, result, NO_ENTRIES);
            return;
        }
        // Names are NUL-terminated one after the other: join them with TABs.
        for (DWORD i = 0; i + 1 < length; ++i)
            if (list[i] == 0 && list[i + 1] != 0)
                list[i] = '\t';
        SetResultText(ctx, result, list, strnlen(list, length));
        return;
    }
}

// ---------------------------------------------------------------- dispatch cases

namespace {

void CaseIniDelete(BDS* ctx, BuiltinCall& c)
{
    DoIniDelete(ctx, c.result, ArgText(ctx, c, 1), ArgText(ctx, c, 2), nullptr);
}

void CaseIniDeletePvt(BDS* ctx, BuiltinCall& c)
{
    DoIniDelete(ctx, c.result, ArgText(ctx, c, 1), ArgText(ctx, c, 2), ArgText(ctx, c, 3));
}

void CaseIniRead(BDS* ctx, BuiltinCall& c)
{
    DoIniRead(ctx, c.result, ArgText(ctx, c, 1), ArgText(ctx, c, 2), ArgText(ctx, c, 3),
              nullptr);
}

void CaseIniReadPvt(BDS* ctx, BuiltinCall& c)
{
    DoIniRead(ctx, c.result, ArgText(ctx, c, 1), ArgText(ctx, c, 2), ArgText(ctx, c, 3),
              ArgText(ctx, c, 4));
}

void CaseIniWrite(BDS* ctx, BuiltinCall& c)
{
    DoIniWrite(ctx, c.result, ArgText(ctx, c, 1), ArgText(ctx, c, 2), ArgText(ctx, c, 3),
               nullptr);
}

void CaseIniWritePvt(BDS* ctx, BuiltinCall& c)
{
    DoIniWrite(ctx, c.result, ArgText(ctx, c, 1), ArgText(ctx, c, 2), ArgText(ctx, c, 3),
               ArgText(ctx, c, 4));
}

void CaseIniItemize(BDS* ctx, BuiltinCall& c)
{
    DoIniItemize(ctx, c.result, ArgText(ctx, c, 1), nullptr);
}

void CaseIniItemizePvt(BDS* ctx, BuiltinCall& c)
{
    DoIniItemize(ctx, c.result, ArgText(ctx, c, 1), ArgText(ctx, c, 2));
}

const BuiltinRow kRows[] = {
    {524, CaseIniDelete},
    {525, CaseIniDeletePvt},
    {526, CaseIniItemize},
    {527, CaseIniItemizePvt},
    {528, CaseIniRead},
    {529, CaseIniReadPvt},
    {530, CaseIniWrite},
    {531, CaseIniWritePvt},
};

}  // namespace

extern const BuiltinFamily g_IniBuiltins = {"ini", kRows,
                                            static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
