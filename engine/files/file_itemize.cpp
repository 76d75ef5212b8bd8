// FileItemize, DirItemize and FileItemPath: the names of the files (or directories) that a
// list of patterns selects, joined with the file delimiter, in list order and, within
// an item, in the order of the system's search.
#include <new>
#include <string>

#include "engine/core/builtin.h"
#include "engine/files/drives.h"
#include "engine/files/file_args.h"
#include "engine/files/file_walk.h"
#include "engine/files/path_buf.h"
#include "engine/files/path_search.h"
#include "engine/files/wildcard.h"
#include "engine/native/host_call.h"

namespace {

constexpr uint16_t ERR_NO_LIST_BUFFER = 3397;

enum : uint16_t { ID_DIRITEMIZE = 408, ID_FILEITEMIZE = 478, ID_FILEITEMPATH = 479 };

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

void DoFileItemize(BDS* ctx, resultants* result, bool directories, const wchar_t* list, bool withPath)
{
    if (!*list) {
        ItemizeNothing(ctx, result, directories, withPath);
        return;
    }
    wchar_t delimiter = ctx->eng.ctl.FileDelimiterW ? ctx->eng.ctl.FileDelimiterW : L'\t';
    std::wstring names;
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
                    return;
                std::wstring directory = withPath ? ItemDirectory(item.text()) : std::wstring();
                bool takeAll = WildcardIsAllW(item.text()) || ctx->eng.ctl.WildcardMatchMode == WILDCARD_NONE;
                WIN32_FIND_DATAW found;
                HANDLE search = FindFirstFileW(item.text(), &found);
                if (search != INVALID_HANDLE_VALUE) {
                    do {
                        if (!Listed(ctx, found, item.text(), directories, takeAll))
                            continue;
                        names += directory;
                        names += found.cFileName;
                        names += delimiter;
                    } while (FindNextFileW(search, &found));
                    FindClose(search);
                }
            }
            if (!*end)
                break;
            p = end + 1;
        }
    } catch (const std::bad_alloc&) {
        SetError(ctx, ERR_NO_LIST_BUFFER);
        return;
    }
    if (!names.empty())
        names.pop_back();
    SetResultPathText(ctx, result, names);
}

void CaseItemize(BDS* ctx, BuiltinCall& c)
{
    ArgPath list(ctx, c, 1);
    DoFileItemize(ctx, c.result, c.id == ID_DIRITEMIZE, list.text(), c.id == ID_FILEITEMPATH);
}

const BuiltinRow kRows[] = {
    {ID_DIRITEMIZE, CaseItemize},
    {ID_FILEITEMIZE, CaseItemize},
    {ID_FILEITEMPATH, CaseItemize},
};

}  // namespace

extern const BuiltinFamily g_ItemizeBuiltins = {"file and directory lists", kRows,
                                                static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
