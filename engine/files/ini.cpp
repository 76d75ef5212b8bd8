// The profile (INI) built-ins IniRead, IniReadPvt, IniWrite, IniWritePvt, IniDelete,
// IniDeletePvt, IniItemize and IniItemizePvt, on WIN.INI or on a private file, through the
// system's profile functions.
#include "engine/files/ini.h"

#include <cstring>
#include <cwchar>
#include <string>
#include <initializer_list>

#include "engine/core/builtin.h"
#include "engine/core/locked_global.h"
#include "engine/files/file_args.h"
#include "engine/files/file_text.h"
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
constexpr wchar_t WHOLE_SECTION_KEY[] = L"692837";   // the value of @wholesection
constexpr DWORD LIST_BUFFER_SIZE = 32000;
constexpr uint64_t LIST_BUFFER_LIMIT = 0x40000000;
constexpr wchar_t NO_ENTRIES[] = L"(NONE)";

// The profile functions hold each text as UTF-16 in a counted string of at most 32767
// characters with its NUL. A longer one fails their conversion, after which they go on
// with an unset pointer (a crash, or garbage written to the file).
constexpr size_t PROFILE_TEXT_LIMIT = 32766;

// They also build the file's full name in a MAX_PATH buffer: a name without a folder is
// joined to the Windows folder, any other is made full. A longer result overruns that
// buffer (a crash) or leaves it unset.
bool IsRelativeName(const wchar_t* file)
{
    return !(file[0] == L'\\' || file[0] == L'/' || (file[0] && file[1] == L':'));
}

bool ProfileFileFits(const wchar_t* file)
{
    size_t length = wcsnlen(file, MAX_PATH);
    if (length >= MAX_PATH)
        return false;
    if (IsRelativeName(file)) {
        wchar_t windows[MAX_PATH];
        UINT folder = GetWindowsDirectoryW(windows, MAX_PATH);
        if (folder == 0 || folder >= MAX_PATH || folder + 1 + length >= MAX_PATH)
            return false;
    }
    DWORD full = GetFullPathNameW(file, 0, nullptr, nullptr);   // the size with its NUL
    return full <= MAX_PATH;
}

// The largest buffer a list of names can need: the names never take more room than the
// file that holds them. A file without a folder (and WIN.INI) lies in the Windows folder.
DWORD ListBufferLimit(const wchar_t* privateFile)
{
    std::wstring name = privateFile ? privateFile : L"win.ini";
    if (!privateFile || (IsRelativeName(name.c_str()) && !wcspbrk(name.c_str(), L"\\/"))) {
        wchar_t windows[MAX_PATH];
        UINT folder = GetWindowsDirectoryW(windows, MAX_PATH);
        if (folder == 0 || folder >= MAX_PATH)
            return LIST_BUFFER_SIZE;
        name = std::wstring(windows, folder) + L"\\" + name;
    }
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(name.c_str(), GetFileExInfoStandard, &data))
        return LIST_BUFFER_SIZE;
    uint64_t size = ((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow) + 2;
    if (size >= LIST_BUFFER_LIMIT)
        return static_cast<DWORD>(LIST_BUFFER_LIMIT);
    return size > LIST_BUFFER_SIZE ? static_cast<DWORD>(size) : LIST_BUFFER_SIZE;
}

// Refuses texts and a file name that the profile functions cannot take (see above).
bool ProfileArgumentsFit(BDS* ctx, std::initializer_list<const wchar_t*> texts, const wchar_t* file)
{
    for (const wchar_t* text : texts) {
        if (text && wcsnlen(text, PROFILE_TEXT_LIMIT + 1) > PROFILE_TEXT_LIMIT) {
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

// The profile functions' wide forms serve both files: the ANSI ones are the same functions
// after a conversion in the ANSI code page, which leaves a file in a folder named outside
// that code page unreachable and turns such letters in a value into "?". Texts that came
// ANSI are widened in that same code page, so they read and write as before.
DWORD ReadProfile(const wchar_t* section, const wchar_t* key, const wchar_t* fallback, wchar_t* out,
                  DWORD size, const wchar_t* file)
{
    return file ? GetPrivateProfileStringW(section, key, fallback, out, size, file)
                : GetProfileStringW(section, key, fallback, out, size);
}

}  // namespace

bool IniIsForbiddenEntry(const wchar_t* section, const wchar_t* key)
{
    return lstrcmpiW(section, L"386ENH") == 0 && lstrcmpiW(key, L"DEVICE") == 0;
}

void DoIniRead(BDS* ctx, resultants* result, const wchar_t* section, const wchar_t* key,
               const wchar_t* fallback, const wchar_t* file)
{
    if (file && IniIsForbiddenEntry(section, key)) {
        SetError(ctx, ERR_FORBIDDEN_ENTRY);
        return;
    }
    if (!ProfileArgumentsFit(ctx, {section, key, fallback}, file))
        return;
    LockedGlobal buffer(READ_BUFFER_SIZE * sizeof(wchar_t));
    wchar_t* text = buffer.As<wchar_t>();
    if (!text) {
        SetError(ctx, ERR_NO_MEMORY);
        return;
    }
    DWORD length = ReadProfile(section, key, fallback, text, READ_BUFFER_SIZE, file);
    SetResultTextExact(ctx, result, text, wcsnlen(text, length < READ_BUFFER_SIZE ? length : READ_BUFFER_SIZE - 1));
}

void DoIniWrite(BDS* ctx, resultants* result, const wchar_t* section, const wchar_t* key,
                const wchar_t* value, const wchar_t* file)
{
    bool flush = !*section && !*key && !*value;
    if (!ProfileArgumentsFit(ctx, {section, key, value}, file))
        return;
    if (file) {
        if (flush) {
            SetResultInt(ctx, result, WritePrivateProfileStringW(nullptr, nullptr, nullptr, file));
            return;
        }
        if (IniIsForbiddenEntry(section, key)) {
            SetError(ctx, ERR_FORBIDDEN_ENTRY);
            return;
        }
        SetResultInt(ctx, result, WritePrivateProfileStringW(section, key, value, file));
        return;
    }

    if (flush) {
        WriteProfileStringW(nullptr, nullptr, nullptr);
        SetResultInt(ctx, result, 1);
        return;
    }
    WriteProfileStringW(section, key, value);
    // Tell the other programs which section changed; a hung window does not hold the script.
    std::string narrow = FileNameToAnsi(section);
    size_t length = narrow.size() + 1;
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, length);
    if (copy) {
        char* text = static_cast<char*>(GlobalLock(copy));
        if (text)
            memcpy(text, narrow.c_str(), length);
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

void DoIniDelete(BDS* ctx, resultants* result, const wchar_t* section, const wchar_t* key,
                 const wchar_t* file)
{
    if (!ProfileArgumentsFit(ctx, {section, key}, file))
        return;
    const wchar_t* entry = wcscmp(key, WHOLE_SECTION_KEY) == 0 ? nullptr : key;
    if (file)
        WritePrivateProfileStringW(section, entry, nullptr, file);
    else
        WriteProfileStringW(section, entry, nullptr);
    SetResultInt(ctx, result, 0);
}

void DoIniItemize(BDS* ctx, resultants* result, const wchar_t* section, const wchar_t* file)
{
    const wchar_t* wanted = *section ? section : nullptr;
    const wchar_t* privateFile = file && *file ? file : nullptr;
    if (!ProfileArgumentsFit(ctx, {section}, privateFile))
        return;
    // A list that fills the buffer may have been cut: ask again with a larger one, up to
    // the size of the file.
    DWORD limit = ListBufferLimit(privateFile);
    for (DWORD size = LIST_BUFFER_SIZE;; size = size < limit / 2 ? size * 2 : limit) {
        LockedGlobal buffer(size * sizeof(wchar_t), GMEM_MOVEABLE);
        wchar_t* list = buffer.As<wchar_t>();
        if (!list) {
            SetError(ctx, ERR_NO_STRING_SPACE);
            return;
        }
        DWORD length = ReadProfile(wanted, nullptr, NO_ENTRIES, list, size, privateFile);
        if (length >= size - 2 && size < limit)
            continue;
        if (length >= size)
            length = size - 1;
        if (list[0] == 0) {
            SetResultTextExact(ctx, result, NO_ENTRIES, wcslen(NO_ENTRIES));
            return;
        }
        // Names are NUL-terminated one after the other: join them with TABs.
        for (DWORD i = 0; i + 1 < length; ++i)
            if (list[i] == 0 && list[i + 1] != 0)
                list[i] = L'\t';
        SetResultTextExact(ctx, result, list, wcsnlen(list, length));
        return;
    }
}

// ---------------------------------------------------------------- dispatch cases

// Every text in its wide form: the one it came with (kept beside the ANSI one that the
// argument code asks for), else its ANSI text widened.
namespace {

void CaseIniDelete(BDS* ctx, BuiltinCall& c)
{
    ArgPath section(ctx, c, 1), key(ctx, c, 2);
    DoIniDelete(ctx, c.result, section.text(), key.text(), nullptr);
}

void CaseIniDeletePvt(BDS* ctx, BuiltinCall& c)
{
    ArgPath section(ctx, c, 1), key(ctx, c, 2), file(ctx, c, 3);
    DoIniDelete(ctx, c.result, section.text(), key.text(), file.text());
}

void CaseIniRead(BDS* ctx, BuiltinCall& c)
{
    ArgPath section(ctx, c, 1), key(ctx, c, 2), fallback(ctx, c, 3);
    DoIniRead(ctx, c.result, section.text(), key.text(), fallback.text(), nullptr);
}

void CaseIniReadPvt(BDS* ctx, BuiltinCall& c)
{
    ArgPath section(ctx, c, 1), key(ctx, c, 2), fallback(ctx, c, 3), file(ctx, c, 4);
    DoIniRead(ctx, c.result, section.text(), key.text(), fallback.text(), file.text());
}

void CaseIniWrite(BDS* ctx, BuiltinCall& c)
{
    ArgPath section(ctx, c, 1), key(ctx, c, 2), value(ctx, c, 3);
    DoIniWrite(ctx, c.result, section.text(), key.text(), value.text(), nullptr);
}

void CaseIniWritePvt(BDS* ctx, BuiltinCall& c)
{
    ArgPath section(ctx, c, 1), key(ctx, c, 2), value(ctx, c, 3), file(ctx, c, 4);
    DoIniWrite(ctx, c.result, section.text(), key.text(), value.text(), file.text());
}

void CaseIniItemize(BDS* ctx, BuiltinCall& c)
{
    ArgPath section(ctx, c, 1);
    DoIniItemize(ctx, c.result, section.text(), nullptr);
}

void CaseIniItemizePvt(BDS* ctx, BuiltinCall& c)
{
    ArgPath section(ctx, c, 1), file(ctx, c, 2);
    DoIniItemize(ctx, c.result, section.text(), file.text());
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
