// The file-list walker: FileListWalk splits a list into items, FileSpecWalk turns one item
// into calls of the per-file operation.
#include "engine/files/file_walk.h"

#include <cwchar>
#include <string>

#include "engine/core/context.h"
#include "engine/files/drives.h"
#include "engine/files/path_buf.h"
#include "engine/files/path_search.h"
#include "engine/files/wildcard.h"

namespace {

enum : uint16_t {
    ERR_NO_MATCH = 1002,
    ERR_ITEM_TOO_LONG = 3054,
    ERR_NO_WILDCARDS = 3322,
};

constexpr size_t LONGEST_ITEM = 32766;

// The absolute form of a name into `out` (prefixed when it outgrows the short limit).
int AbsoluteName(BDS* ctx, const wchar_t* name, PathBuf* out)
{
    out->text[0] = 0;
    if (HasLongPrefixW(name))
        return PathBufAppend(ctx, out, name, PATH_LIMIT_FILE);
    std::wstring full;
    if (!PathFullNameStr(name, full) || full.empty())
        full = name;
    return PathBufAppend(ctx, out, full.c_str(), PATH_LIMIT_FILE);
}

// The text that goes before each found name: the item's drive and directory.
int DirectoryPrefix(BDS* ctx, const wchar_t* item, std::wstring& prefix)
{
    wchar_t drive[3];
    LocalPathBuf directory;
    if (!SplitLongPathW(ctx, item, drive, directory.get(), nullptr, nullptr))
        return 0;
    prefix.clear();
    if (LongPrefixKindW(item) == 1)
        prefix = L"\\\\?\\";
    prefix += drive;
    prefix += directory.text();
    if (directory.text()[0] && !IsPathSeparator(prefix.back()))
        prefix += L'\\';
    return 1;
}

int WalkLiteral(BDS* ctx, const wchar_t* item, const wchar_t* target, WalkState* state, uint16_t op,
                uint32_t flags, FileListCallback callback, int missingAllowed)
{
    LocalPathBuf full;
    if (!AbsoluteName(ctx, item, full.get()))
        return 0;
    int exists = CheckPathW(ctx, full.text(), false) ? 1 : 0;
    if (!exists && missingAllowed)
        return 1;
    if (callback(ctx, full.text(), target, state, op, flags))
        return 1;
    return exists;
}

int WalkWildcard(BDS* ctx, const wchar_t* item, const wchar_t* target, WalkState* state, uint16_t op,
                 uint32_t flags, FileListCallback callback, int missingAllowed)
{
    std::wstring prefix;
    if (!DirectoryPrefix(ctx, item, prefix))
        return 0;
    bool takeAll = WildcardIsAllW(item) || ctx->eng.ctl.WildcardMatchMode == WILDCARD_NONE;

    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(item, &found);
    if (search == INVALID_HANDLE_VALUE) {
        if (missingAllowed)
            return 1;
        SetError(ctx, ERR_NO_MATCH);
        return 0;
    }
    int goOn = 1;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        if (!takeAll && !WildcardMatchSpecW(ctx, found.cFileName, item))
            continue;
        LocalPathBuf name;
        std::wstring joined = prefix + found.cFileName;
        if (!AbsoluteName(ctx, joined.c_str(), name.get())) {
            goOn = 0;
            break;
        }
        if (!callback(ctx, name.text(), target, state, op, flags)) {
            goOn = 0;
            break;
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return goOn;
}

}  // namespace

bool IsFileListSeparator(BDS* ctx, wchar_t c)
{
    wchar_t delimiter = ctx->eng.ctl.FileDelimiterW ? ctx->eng.ctl.FileDelimiterW : L'\t';
    return c == delimiter || c == L'\t' || c == L'|';
}

int FileSpecWalk(BDS* ctx, PathBuf* item, const wchar_t* target, WalkState* state, uint16_t op, uint32_t flags,
                 FileListCallback callback, int missingAllowed)
{
    const wchar_t* text = item->text;
    if (!HasWildcardW(text))
        return WalkLiteral(ctx, text, target, state, op, flags, callback, missingAllowed);
    if (flags & FLW_DIRECTORY) {
        SetError(ctx, ERR_NO_WILDCARDS);
        return 0;
    }
    return WalkWildcard(ctx, text, target, state, op, flags, callback, missingAllowed);
}

int FileListWalk(BDS* ctx, const wchar_t* list, const wchar_t* target, WalkState* state, uint16_t op,
                 uint32_t flags, FileListCallback callback, int missingAllowed)
{
    if (!list)
        return 0;
    const wchar_t* p = list;
    while (*p && IsFileListSeparator(ctx, *p))
        ++p;
    if (!*p)
        return 0;
    CriticalErrorsOff quiet;
    std::wstring piece;
    while (*p) {
        const wchar_t* end = p;
        while (*end && !IsFileListSeparator(ctx, *end))
            ++end;
        size_t length = static_cast<size_t>(end - p);
        if (length >= LONGEST_ITEM) {
            SetError(ctx, ERR_ITEM_TOO_LONG);
            return 0;
        }
        piece.assign(p, length);
        LocalPathBuf item;
        if (!PathBufAppend(ctx, item.get(), piece.c_str(), PATH_LIMIT_FILE))
            return 0;
        if (!FileSpecWalk(ctx, item.get(), target ? target : L"", state, op, flags, callback, missingAllowed))
            return 0;
        p = end;
        while (*p && IsFileListSeparator(ctx, *p))
            ++p;
    }
    return 1;
}
