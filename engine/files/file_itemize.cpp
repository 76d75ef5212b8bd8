// FileItemize, DirItemize and FileItemPath: the names of the files (or directories) that a
// list of patterns selects, joined with the file delimiter, in list order and, within
// an item, in the order of the system's search; FileInfoToArray and DirInfoToArray: the
// same entries as the rows of an array with their sizes, times and attributes.
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "engine/core/builtin.h"
#include "engine/files/drives.h"
#include "engine/data/array_internal.h"
#include "engine/files/file_args.h"
#include "engine/files/file_time.h"
#include "engine/files/file_walk.h"
#include "engine/files/path_buf.h"
#include "engine/files/path_search.h"
#include "engine/files/wildcard.h"
#include "engine/native/host_call.h"

namespace {

constexpr uint16_t ERR_NO_LIST_BUFFER = 3397;

enum : uint16_t {
    ID_DIRINFOTOARRAY = 407,
    ID_DIRITEMIZE = 408,
    ID_FILEINFOTOARRAY = 477,
    ID_FILEITEMIZE = 478,
    ID_FILEITEMPATH = 479,
};

bool Listed(BDS* ctx, const WIN32_FIND_DATAW& found, const wchar_t* item, bool directories, bool takeAll)
{
    bool isDirectory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (isDirectory != directories)
        return false;
    const wchar_t* n = found.cFileName;
    if (isDirectory && n[0] == L'.' && (n[1] == 0 || (n[1] == L'.' && n[2] == 0)))
        return false;
    if ((found.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) && !ctx->eng.ctl.ShowHiddenFiles)
        return false;
    return takeAll || WildcardMatchSpecW(ctx, n, item);
}

// The directory that goes before each name of an item in the path form, with its "\".
std::wstring ItemDirectory(const wchar_t* item)
{
    std::wstring text = item;
    size_t last = text.find_last_of(L"\\/");
    std::wstring directory;
    if (HasLongPrefixW(item)) {
        directory = last == std::wstring::npos ? std::wstring() : text.substr(0, last + 1);
    } else if (last != std::wstring::npos) {
        if (!PathFullNameStr(text.substr(0, last + 1), directory) || directory.empty())
            directory = text.substr(0, last + 1);
    } else if (text.size() >= 2 && text[1] == L':') {
        DriveCurrentDirStr(text[0], directory);
    } else {
        PathFullNameStr(L".", directory);
    }
    if (!directory.empty() && !IsPathSeparator(directory.back()))
        directory += L'\\';
    return directory;
}

// An empty list is the host's to answer when it has a function for it; else empty text.
void ItemizeNothing(BDS* ctx, resultants* result, bool directories, bool withPath)
{
    int position = FindHostFunction(ctx, withPath ? "itemizenull2" : "itemizenull");
    if (position < 0) {
        SetResultPathText(ctx, result, std::wstring());
        return;
    }
    CallExtenderFunction(ctx, static_cast<int32_t>(PARENTSTART) + position, result, directories ? "1" : "0",
                         nullptr, nullptr, nullptr, nullptr, nullptr, 0);
    if ((result->flags & VF_STRING) && IsUnicodeMode()) {
        std::wstring wide = FileNameToWide(ValueText(ctx, result));
        SetResultWText(ctx, result, wide.c_str(), wide.size());
    }
}

// Calls take(directory, entry) for every entry of every item of the list that passes the
// filter, item by item in list order. The directory (with its "\") is given only when
// `withPath` asks for it. False when an error was set (a path too long, no memory).
template <typename Take>
bool WalkListed(BDS* ctx, const wchar_t* list, bool directories, bool withPath, Take take)
{
    CriticalErrorsOff quiet;
    try {
        const wchar_t* p = list;
        for (;;) {
            const wchar_t* end = p;
            while (*end && !IsFileListSeparator(ctx, *end))
                ++end;
            std::wstring piece(p, static_cast<size_t>(end - p));
            if (!piece.empty()) {
                LocalPathBuf item;
                if (!PathBufAppend(ctx, item.get(), piece.c_str(), PATH_LIMIT_FILE))
                    return false;
                std::wstring directory = withPath ? ItemDirectory(item.text()) : std::wstring();
                bool takeAll = WildcardIsAllW(item.text()) || ctx->eng.ctl.WildcardMatchMode == WILDCARD_NONE;
                WIN32_FIND_DATAW found;
                HANDLE search = FindFirstFileW(item.text(), &found);
                if (search != INVALID_HANDLE_VALUE) {
                    do {
                        if (Listed(ctx, found, item.text(), directories, takeAll))
                            take(directory, found);
                    } while (FindNextFileW(search, &found));
                    FindClose(search);
                }
            }
            if (!*end)
                return true;
            p = end + 1;
        }
    } catch (const std::bad_alloc&) {
        SetError(ctx, ERR_NO_LIST_BUFFER);
        return false;
    }
}

void DoFileItemize(BDS* ctx, resultants* result, bool directories, const wchar_t* list, bool withPath)
{
    if (!*list) {
        ItemizeNothing(ctx, result, directories, withPath);
        return;
    }
    wchar_t delimiter = ctx->eng.ctl.FileDelimiterW ? ctx->eng.ctl.FileDelimiterW : L'\t';
    std::wstring names;
    bool ok = WalkListed(ctx, list, directories, withPath, [&](const std::wstring& directory, const WIN32_FIND_DATAW& found) {
        names += directory;
        names += found.cFileName;
        names += delimiter;
    });
    if (!ok)
        return;
    if (!names.empty())
        names.pop_back();
    SetResultPathText(ctx, result, names);
}

// ---------------------------------------------------------------- information arrays

enum : int32_t { INFO_SIZE_TEXT = 1, INFO_WITH_PATH = 2, INFO_SIZE_INT64 = 4 };
enum { INFO_COLUMNS = 7 };

struct InfoEntry {
    std::wstring name;
    uint64_t size;
    FILETIME written, accessed, created;
    DWORD attributes;
};

// A size: an integer below 2 GB, beyond that in the form the flags ask for.
bool StoreSize(BDS* ctx, ArrayElement& cell, uint64_t size, int32_t flags)
{
    if (size < 0x80000000ull) {
        cell.flags = VF_INT;
        cell.i32 = static_cast<int32_t>(size);
    } else if (flags & INFO_SIZE_TEXT) {
        char text[24];
        int length = snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(size));
        return arrays::StoreElementText(ctx, cell, text, static_cast<size_t>(length));
    } else if (flags & INFO_SIZE_INT64) {
        cell.flags = VF_INT64;
        cell.i64 = static_cast<int64_t>(size);
    } else {
        cell.flags = VF_FLOAT;
        cell.dbl = static_cast<double>(size);
        cell.i32 = static_cast<int32_t>(size);
    }
    return true;
}

bool FillInfoRow(BDS* ctx, ArrayElement* row, const InfoEntry& entry, int32_t flags)
{
    if (!arrays::StoreElementText(ctx, row[0], entry.name.c_str(), entry.name.size()) ||
        !StoreSize(ctx, row[1], entry.size, flags))
        return false;
    const FILETIME* stamps[3] = {&entry.written, &entry.accessed, &entry.created};
    for (int i = 0; i < 3; ++i) {
        char text[32];
        FileTimeFormat(ctx, *stamps[i], text, sizeof text);
        if (!arrays::StoreElementText(ctx, row[2 + i], text, strlen(text)))
            return false;
    }
    char letters[5] = "----";
    if (entry.attributes & FILE_ATTRIBUTE_READONLY) letters[0] = 'R';
    if (entry.attributes & FILE_ATTRIBUTE_ARCHIVE) letters[1] = 'A';
    if (entry.attributes & FILE_ATTRIBUTE_SYSTEM) letters[2] = 'S';
    if (entry.attributes & FILE_ATTRIBUTE_HIDDEN) letters[3] = 'H';
    if (!arrays::StoreElementText(ctx, row[5], letters, 4))
        return false;
    row[6].flags = VF_INT;
    row[6].i32 = static_cast<int32_t>(entry.attributes);
    return true;
}

void DoFileInfoToArray(BDS* ctx, resultants* result, bool directories, const wchar_t* list, int32_t flags)
{
    std::vector<InfoEntry> entries;
    uint64_t total = 0;
    bool ok = WalkListed(ctx, list, directories, (flags & INFO_WITH_PATH) != 0,
                         [&](const std::wstring& directory, const WIN32_FIND_DATAW& found) {
        uint64_t size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        entries.push_back(InfoEntry{directory + found.cFileName, size, found.ftLastWriteTime,
                                    found.ftLastAccessTime, found.ftCreationTime, found.dwFileAttributes});
        total += size;
    });
    if (!ok)
        return;
    ValueHead made{};
    if (CreateMyArray(ctx, &made, static_cast<uint32_t>(entries.size() + 1), INFO_COLUMNS, 0, 0, 0, 0, 2) < 0)
        return;
    ArrayElement* cells = ValueArray(&made)->data;
    cells[0].flags = VF_INT;
    cells[0].i32 = static_cast<int32_t>(entries.size());
    for (int i = 2; i < INFO_COLUMNS; ++i)
        cells[i].flags = VF_INT;
    ok = StoreSize(ctx, cells[1], total, flags);
    for (size_t i = 0; ok && i < entries.size(); ++i)
        ok = FillInfoRow(ctx, cells + (i + 1) * INFO_COLUMNS, entries[i], flags);
    if (!ok) {
        uint64_t holder = made.str;
        ReleaseArray(ctx, &holder, 0);
        return;
    }
    arrays::SetResultArray(ctx, result, made);
}

void CaseItemize(BDS* ctx, BuiltinCall& c)
{
    ArgPath list(ctx, c, 1);
    DoFileItemize(ctx, c.result, c.id == ID_DIRITEMIZE, list.text(), c.id == ID_FILEITEMPATH);
}

void CaseInfoToArray(BDS* ctx, BuiltinCall& c)
{
    ArgPath list(ctx, c, 1);
    DoFileInfoToArray(ctx, c.result, c.id == ID_DIRINFOTOARRAY, list.text(), ArgInt(c, 2));
}

const BuiltinRow kRows[] = {
    {ID_DIRINFOTOARRAY, CaseInfoToArray},
    {ID_FILEINFOTOARRAY, CaseInfoToArray},
    {ID_DIRITEMIZE, CaseItemize},
    {ID_FILEITEMIZE, CaseItemize},
    {ID_FILEITEMPATH, CaseItemize},
};

}  // namespace

extern const BuiltinFamily g_ItemizeBuiltins = {"file and directory lists", kRows,
                                                static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
