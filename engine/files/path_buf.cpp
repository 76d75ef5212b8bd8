// Long-path buffers: PathBuf and its long-path prefixes, the current directory of any
// length, existence tests, the split of a long path and its long-name form.
#include "engine/files/path_buf.h"

#include <cwchar>
#include <string>

#include "engine/core/context.h"
#include "engine/files/path_search.h"

namespace {

enum : uint16_t {
    ERR_LONG_NOT_FOUND = 1423,
    ERR_PATH_TOO_LONG = 1433,
    ERR_NO_MEMORY = 1588,
};

// "\\.\" and the like: device names, which never take the long-path prefix.
bool IsDevicePath(const wchar_t* text)
{
    return text[0] == L'\\' && text[1] == L'\\' && text[2] == L'.';
}

wchar_t* HeapText(uint32_t characters)
{
    return static_cast<wchar_t*>(
        HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, static_cast<SIZE_T>(characters) * sizeof(wchar_t)));
}

// Replaces the buffer's text by `length` characters of `text` in a heap block with 260
// spare characters (or inline when it fits there).
int StoreText(BDS* ctx, PathBuf* buffer, const wchar_t* text, size_t length)
{
    if (length + 1 > PATH_LONGEST) {
        SetError(ctx, ERR_PATH_TOO_LONG);
        return 0;
    }
    if (length + 1 <= buffer->capacity) {
        wmemmove(buffer->text, text, length);
        buffer->text[length] = 0;
        return 1;
    }
    uint32_t capacity = static_cast<uint32_t>(length + 1 + PATHBUF_INLINE);
    if (capacity > PATH_LONGEST)
        capacity = PATH_LONGEST;
    wchar_t* block = HeapText(capacity);
    if (!block) {
        SetError(ctx, ERR_NO_MEMORY);
        return 0;
    }
    wmemcpy(block, text, length);
    block[length] = 0;
    if (buffer->text != buffer->inlineText)
        HeapFree(GetProcessHeap(), 0, buffer->text);
    buffer->inlineText[0] = 0;
    buffer->text = block;
    buffer->capacity = capacity;
    return 1;
}

// A path behind the prefix that a literal "\\?\" name would take wrongly: "/" separators,
// "." or ".." components.
bool NeedsNormalising(const std::wstring& body)
{
    size_t start = 0;
    for (size_t i = 0; i <= body.size(); ++i) {
        if (i < body.size() && body[i] == L'/')
            return true;
        if (i == body.size() || body[i] == L'\\') {
            std::wstring_view part(body.data() + start, i - start);
            if (part == L"." || part == L"..")
                return true;
            start = i + 1;
        }
    }
    return false;
}

// The prefixed, absolute and normal form of a path; false when it has none.
bool LongFormOf(const std::wstring& path, std::wstring& out)
{
    int kind = LongPrefixKindW(path.c_str());
    std::wstring body;
    if (kind == 1)
        body = path.substr(4);
    else if (kind == 3)
        body = L"\\" + path.substr(7);
    else
        body = path;
    if (kind != 0 && !NeedsNormalising(body)) {
        out = path;
        return true;
    }
    if (kind == 1 && !(body.size() >= 2 && body[1] == L':')) {
        out = path;   // a volume name or the like: taken literally
        return true;
    }
    std::wstring full;
    if (!FullPathOf(body.c_str(), full))
        return false;
    if (full.size() >= 2 && full[1] == L':')
        out = L"\\\\?\\" + full;
    else if (full.size() > 2 && IsPathSeparator(full[0]) && IsPathSeparator(full[1]) && full[2] != L'.' &&
             full[2] != L'?')
        out = L"\\\\?\\UNC\\" + full.substr(2);
    else
        return false;
    return true;
}

bool FindName(const std::wstring& path, std::wstring& found)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    FindClose(find);
    found = data.cFileName;
    return true;
}

}  // namespace

// ---------------------------------------------------------------- the buffer

void PathBufInit(PathBuf* buffer)
{
    buffer->text = buffer->inlineText;
    buffer->inlineText[0] = 0;
    buffer->capacity = PATHBUF_INLINE;
}

void PathBufFree(PathBuf* buffer)
{
    if (buffer->text && buffer->text != buffer->inlineText)
        HeapFree(GetProcessHeap(), 0, buffer->text);
    PathBufInit(buffer);
}

uint32_t PathBufLength(const PathBuf* buffer)
{
    return static_cast<uint32_t>(wcslen(buffer->text));
}

int PathBufAppend(BDS* ctx, PathBuf* buffer, const wchar_t* text, uint32_t limit)
{
    if (!text || !*text)
        return 1;
    size_t current = wcslen(buffer->text);
    size_t added = wcslen(text);
    size_t need = current + added + 1;
    const wchar_t* head = current ? buffer->text : text;
    // A path beyond the limit takes a long-path prefix; room is kept for the longer one.
    size_t room = need > limit && !HasLongPrefixW(head) ? need + 8 : need;
    if (room > PATH_LONGEST) {
        SetError(ctx, ERR_PATH_TOO_LONG);
        return 0;
    }
    if (need <= limit || IsDevicePath(head)) {
        if (need <= buffer->capacity) {
            wmemcpy(buffer->text + current, text, added + 1);
            return 1;
        }
        std::wstring combined(buffer->text, current);
        combined.append(text, added);
        return StoreText(ctx, buffer, combined.data(), combined.size());
    }

    std::wstring combined(buffer->text, current);
    combined.append(text, added);
    // Beyond the classic limit: absolute, normal and prefixed, never cut.
    std::wstring longForm;
    if (!LongFormOf(combined, longForm)) {
        SetError(ctx, ERR_PATH_TOO_LONG);
        return 0;
    }
    return StoreText(ctx, buffer, longForm.data(), longForm.size());
}

int PathBufReserve(BDS* ctx, PathBuf* buffer, uint32_t n)
{
    if (n < PATHBUF_INLINE)
        return 1;
    if (n >= PATH_LONGEST + 1) {
        SetError(ctx, ERR_PATH_TOO_LONG);
        return 0;
    }
    wchar_t* block = HeapText(n + 1);
    if (!block) {
        SetError(ctx, ERR_NO_MEMORY);
        return 0;
    }
    if (buffer->text != buffer->inlineText)
        HeapFree(GetProcessHeap(), 0, buffer->text);
    buffer->inlineText[0] = 0;
    buffer->text = block;
    buffer->capacity = n + 1;
    return 1;
}

int GetCurrentDirLongW(BDS* ctx, PathBuf* buffer)
{
    buffer->text[0] = 0;
    DWORD n = GetCurrentDirectoryW(buffer->capacity, buffer->text);
    if (n >= buffer->capacity) {
        if (!PathBufReserve(ctx, buffer, n))
            return 0;
        n = GetCurrentDirectoryW(buffer->capacity, buffer->text);
    }
    if (n == 0 || n >= buffer->capacity) {
        buffer->text[0] = 0;
        return 0;
    }
    return 1;
}

// ---------------------------------------------------------------- prefix tests

bool HasLongPrefixW(const wchar_t* text)
{
    return text && text[0] == L'\\' && text[1] == L'\\' && text[2] == L'?' && text[3] == L'\\';
}

int LongPrefixKindW(const wchar_t* text)
{
    if (!HasLongPrefixW(text))
        return 0;
    if ((text[4] == L'U' || text[4] == L'u') && (text[5] == L'N' || text[5] == L'n') &&
        (text[6] == L'C' || text[6] == L'c') && text[7] == L'\\')
        return 3;
    return 1;
}

int LongPrefixLengthW(const wchar_t* text)
{
    switch (LongPrefixKindW(text)) {
    case 1: return 4;
    case 3: return 8;
    default: return 0;
    }
}

// ---------------------------------------------------------------- existence

bool NamePresentW(const wchar_t* name)
{
    if (GetFileAttributesW(name) != INVALID_FILE_ATTRIBUTES)
        return true;
    DWORD error = GetLastError();
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
}

int OpenTestW(const wchar_t* name)
{
    HANDLE file = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return 1;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION ? 2 : 0;
}

int FileExistsW(BDS*, const wchar_t* name, bool openTest)
{
    if (!name || !*name || !NamePresentW(name))
        return 0;
    if (!openTest)
        return 1;
    int opened = OpenTestW(name);
    return opened ? opened : 1;
}

int CheckPathW(BDS* ctx, const wchar_t* name, bool openTest)
{
    if (HasLongPrefixW(name))
        return FileExistsW(ctx, name, openTest);
    wchar_t found[280];
    return FileSearchPathW(ctx, found, name, 280, openTest);
}

// ---------------------------------------------------------------- split

int SplitLongPathW(BDS* ctx, const wchar_t* path, wchar_t* drive, PathBuf* directory,
                   wchar_t* name, wchar_t* extension)
{
    if (drive)
        drive[0] = 0;
    if (name)
        name[0] = 0;
    if (extension)
        extension[0] = 0;
    if (directory)
        directory->text[0] = 0;
    if (!path)
        return 1;
    const wchar_t* p = path;
    if (LongPrefixKindW(p) == 1)
        p += 4;
    if (p[0] && p[1] == L':') {
        if (drive) {
            drive[0] = p[0];
            drive[1] = L':';
            drive[2] = 0;
        }
        p += 2;
    }
    const wchar_t* rest = p;
    for (const wchar_t* q = p; *q; ++q)
        if (IsPathSeparator(*q))
            rest = q + 1;
    if (directory && rest > p && !StoreText(ctx, directory, p, static_cast<size_t>(rest - p)))
        return 0;
    const wchar_t* dot = wcsrchr(rest, L'.');
    size_t nameLength = dot ? static_cast<size_t>(dot - rest) : wcslen(rest);
    if (name)
        lstrcpynW(name, rest, static_cast<int>((nameLength < 255 ? nameLength : 255) + 1));
    if (extension && dot)
        lstrcpynW(extension, dot + 1, 256);
    return 1;
}

// ---------------------------------------------------------------- long-name form

uint32_t LongNameOfPathW(BDS* ctx, const wchar_t* path, PathBuf* result)
{
    std::wstring full;
    if (HasLongPrefixW(path)) {
        full = path;
    } else {
        if (!FileSearchPathStr(ctx, path, false, full)) {
            SetError(ctx, ERR_LONG_NOT_FOUND);
            return 0;
        }
    }

    // The root: drive, drive-relative drive, or server and share (behind any prefix).
    size_t skip = static_cast<size_t>(LongPrefixLengthW(full.c_str()));
    bool unc = LongPrefixKindW(full.c_str()) == 3 ||
               (skip == 0 && full.size() > 2 && IsPathSeparator(full[0]) && IsPathSeparator(full[1]));
    size_t rootEnd = 0;
    std::wstring longName = full.substr(0, skip);
    if (unc) {
        size_t at = skip == 0 ? 2 : skip;
        size_t server = full.find_first_of(L"\\/", at);
        size_t share = server == std::wstring::npos ? server : full.find_first_of(L"\\/", server + 1);
        rootEnd = share == std::wstring::npos ? full.size() : share + 1;
        longName = full.substr(0, rootEnd);
    } else if (full.size() >= skip + 2 && full[skip + 1] == L':') {
        longName += static_cast<wchar_t>(towupper(full[skip]));
        longName += L':';
        rootEnd = skip + 2;
        if (rootEnd < full.size() && IsPathSeparator(full[rootEnd])) {
            longName += L'\\';
            ++rootEnd;
        }
    } else {
        SetError(ctx, ERR_LONG_NOT_FOUND);
        return 0;
    }
    while (full.size() > rootEnd && IsPathSeparator(full.back()))
        full.pop_back();

    std::wstring found;
    if (full.size() > rootEnd && !FindName(full, found)) {
        SetError(ctx, ERR_LONG_NOT_FOUND);
        return 0;
    }
    size_t start = rootEnd;
    while (start < full.size()) {
        size_t end = full.find_first_of(L"\\/", start);
        if (end == std::wstring::npos)
            end = full.size();
        if (!FindName(full.substr(0, end), found)) {
            SetError(ctx, ERR_LONG_NOT_FOUND);
            return 0;
        }
        longName += found;
        if (end < full.size())
            longName += L'\\';
        start = end + 1;
    }
    if (!StoreText(ctx, result, longName.data(), longName.size()))
        return 0;
    return static_cast<uint32_t>(longName.size());
}
