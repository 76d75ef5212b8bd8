// Path search and full names: FileSearchPathA/W (current directory, "PATH", the system's
// search order, or the absolute name), PathFullNameA/W with the drives' own current
// directories, DriveCurrentDirA/W, and the ANSI long-name routine FileFindA.
#include "engine/files/path_search.h"

#include <cwchar>
#include <vector>

#include "engine/core/context.h"
#include "engine/files/file_text.h"
#include "engine/files/path_buf.h"

namespace {

constexpr uint16_t ERR_LONG_NOT_FOUND = 1423;

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// A name with neither drive nor directory.
bool IsBareName(const wchar_t* name)
{
    if (name[0] && name[1] == L':')
        return false;
    for (const wchar_t* p = name; *p; ++p)
        if (IsPathSeparator(*p))
            return false;
    return true;
}

bool CurrentDirectory(std::wstring& out)
{
    DWORD n = GetCurrentDirectoryW(0, nullptr);
    if (n == 0)
        return false;
    out.resize(n);
    DWORD got = GetCurrentDirectoryW(n, out.data());
    if (got == 0 || got >= n)
        return false;
    out.resize(got);
    return true;
}

bool EnvironmentValue(const wchar_t* name, std::wstring& out)
{
    out.clear();
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD n = GetEnvironmentVariableW(name, out.empty() ? nullptr : out.data(),
                                          static_cast<DWORD>(out.size()));
        if (n == 0) {
            out.clear();
            return false;
        }
        if (n < out.size()) {
            out.resize(n);
            return true;
        }
        out.resize(n);
    }
    out.clear();
    return false;
}

// The current directory first, then each directory of "PATH".
bool SearchCurrentAndPath(const wchar_t* name, std::wstring& found)
{
    if (NamePresentW(name))
        return FullPathOf(name, found);
    std::wstring path;
    if (!EnvironmentValue(L"PATH", path))
        return false;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(L';', start);
        if (end == std::wstring::npos)
            end = path.size();
        std::wstring directory = path.substr(start, end - start);
        start = end + 1;
        if (directory.size() >= 2 && directory.front() == L'"' && directory.back() == L'"')
            directory = directory.substr(1, directory.size() - 2);
        if (directory.empty())
            continue;
        if (!IsPathSeparator(directory.back()))
            directory += L'\\';
        directory += name;
        if (NamePresentW(directory.c_str()))
            return FullPathOf(directory.c_str(), found);
    }
    return false;
}

bool SystemSearch(const wchar_t* name, std::wstring& found)
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (int attempt = 0; attempt < 2; ++attempt) {
        DWORD n = SearchPathW(nullptr, name, nullptr, static_cast<DWORD>(buffer.size()),
                              buffer.data(), nullptr);
        if (n == 0)
            return false;
        if (n < buffer.size()) {
            found.assign(buffer.data(), n);
            return true;
        }
        buffer.resize(n + 1);
    }
    return false;
}

// Removes "." components and resolves ".." ones in the part of `path` behind `start`;
// false when a ".." has nothing before it. Nothing else changes: the empty component of
// a doubled separator stays, for the callers that refuse such a name.
bool NormaliseComponents(std::wstring& path, size_t start)
{
    std::wstring body = path.substr(start);
    bool leading = !body.empty() && IsPathSeparator(body.front());
    bool trailing = body.size() > 1 && IsPathSeparator(body.back());
    size_t first = leading ? 1 : 0;
    size_t last = body.size() - (trailing ? 1 : 0);
    std::vector<std::wstring> parts;
    size_t at = first;
    while (at < last || (at == last && at > first)) {
        size_t end = at;
        while (end < last && !IsPathSeparator(body[end]))
            ++end;
        std::wstring part = body.substr(at, end - at);
        at = end + 1;
        if (part == L".")
            continue;
        if (part == L"..") {
            if (parts.empty())
                return false;
            parts.pop_back();
            continue;
        }
        parts.push_back(std::move(part));
    }
    std::wstring rebuilt = path.substr(0, start);
    if (leading)
        rebuilt += L'\\';
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i)
            rebuilt += L'\\';
        rebuilt += parts[i];
    }
    if (trailing && !parts.empty())
        rebuilt += L'\\';
    path = std::move(rebuilt);
    return true;
}

// A name placed on a UNC current directory: "\x" behind its server and share, anything
// else behind the whole directory.
void FullNameOnShare(const std::wstring& name, const std::wstring& current, std::wstring& out)
{
    size_t server = current.find_first_of(L"\\/", 2);
    size_t share = server == std::wstring::npos ? server : current.find_first_of(L"\\/", server + 1);
    std::wstring root = share == std::wstring::npos ? current : current.substr(0, share);
    std::wstring joined;
    if (IsPathSeparator(name[0])) {
        joined = root + name;
    } else {
        joined = current;
        if (!IsPathSeparator(joined.back()))
            joined += L'\\';
        joined += name;
    }
    size_t keep = root.size();
    if (!NormaliseComponents(joined, keep)) {
        out = name;
        return;
    }
    out = joined;
}

int CopyOut(const std::wstring& text, wchar_t* out, int capacity)
{
    if (static_cast<int>(text.size()) + 1 > capacity) {
        if (capacity > 0)
            out[0] = 0;
        return 0;
    }
    wmemcpy(out, text.c_str(), text.size() + 1);
    return 1;
}

int CopyOutAnsi(const std::wstring& text, char* out, int capacity)
{
    std::string ansi = FileNameToAnsi(text);
    if (static_cast<int>(ansi.size()) + 1 > capacity) {
        if (capacity > 0)
            out[0] = 0;
        return 0;
    }
    memcpy(out, ansi.c_str(), ansi.size() + 1);
    return 1;
}

}  // namespace

// ---------------------------------------------------------------- search

bool FullPathOf(const wchar_t* name, std::wstring& out)
{
    DWORD n = GetFullPathNameW(name, 0, nullptr, nullptr);
    if (n == 0 || n > PATH_LONGEST)
        return false;
    out.resize(n);
    DWORD got = GetFullPathNameW(name, n, out.data(), nullptr);
    if (got == 0 || got >= n)
        return false;
    out.resize(got);
    return true;
}

int FileSearchPathStr(BDS*, const wchar_t* name, bool openTest, std::wstring& found)
{
    found.clear();
    if (!name)
        return 0;
    while (IsBlank(*name))
        ++name;
    if (!*name)
        return 0;

    bool ok = false;
    if (IsBareName(name))
        ok = SearchCurrentAndPath(name, found) || SystemSearch(name, found);
    if (!ok) {
        ok = PathFullNameStr(name, found) && !found.empty() && NamePresentW(found.c_str());
        if (!ok) {
            found.clear();
            return 0;
        }
    }
    if (!openTest)
        return 1;
    int opened = OpenTestW(found.c_str());
    if (!opened)
        found.clear();
    return opened;
}

int FileSearchPathW(BDS* ctx, wchar_t* out, const wchar_t* name, int size, bool openTest)
{
    if (!out || size < 1)
        return 0;
    out[0] = 0;
    std::wstring found;
    int answer = FileSearchPathStr(ctx, name, openTest, found);
    if (!answer || !CopyOut(found, out, size))
        return 0;
    return answer;
}

int FileSearchPathA(BDS* ctx, char* out, const char* name, int size, bool openTest)
{
    if (!out || size < 1)
        return 0;
    out[0] = 0;
    std::wstring found;
    int answer = FileSearchPathStr(ctx, FileNameToWide(name).c_str(), openTest, found);
    if (!answer || !CopyOutAnsi(found, out, size))
        return 0;
    return answer;
}

int DoFileExistA(BDS* ctx, const char* name, bool openTest)
{
    char found[280];
    return FileSearchPathA(ctx, found, name, sizeof found, openTest);
}

int FileFindA(BDS* ctx, const char* name, char* out, int size)
{
    std::wstring wide = FileNameToWide(name);
    LocalPathBuf longName;
    if (!LongNameOfPathW(ctx, wide.c_str(), longName.get()))
        return 0;
    std::string ansi = FileNameToAnsi(longName.text());
    if (ansi.size() >= MAX_PATH) {
        SetError(ctx, ERR_LONG_NOT_FOUND);
        return 0;
    }
    if (out && static_cast<int>(ansi.size()) < size)
        memcpy(out, ansi.c_str(), ansi.size() + 1);
    return static_cast<int>(ansi.size());
}

// ---------------------------------------------------------------- full names

bool DriveCurrentDirStr(wchar_t letter, std::wstring& out)
{
    wchar_t upper = static_cast<wchar_t>(towupper(letter));
    std::wstring current;
    if (!CurrentDirectory(current))
        return false;
    if (current.size() >= 2 && current[0] != L'\\' && towupper(current[0]) == upper && current[1] == L':') {
        out = current;
        return true;
    }
    wchar_t variable[] = {L'=', upper, L':', 0};
    if (!EnvironmentValue(variable, out) || out.empty()) {
        out.assign(1, upper);
        out += L':';
    }
    return true;
}

namespace {

// A drive letter without a root directory leaves the name as it is.
bool DriveHasRoot(wchar_t letter)
{
    wchar_t root[] = {letter, L':', L'\\', 0};
    return GetDriveTypeW(root) > DRIVE_NO_ROOT_DIR;
}

}  // namespace

bool PathFullNameStr(const std::wstring& name, std::wstring& out)
{
    out.clear();
    if (name.empty())
        return true;
    if (name.size() >= 2 && name[0] == L'\\' && name[1] == L'\\') {
        out = name;   // a UNC or device name
        return true;
    }
    // A name with a drive letter keeps its form when the drive has no root directory. The
    // drive is asked only where that changes the answer (a full name that differs from the
    // name): asking costs a trip to the volume manager.
    wchar_t letter;
    std::wstring rest;
    bool named = name.size() >= 2 && name[1] == L':';
    if (named) {
        letter = static_cast<wchar_t>(towupper(name[0]));
        rest = name.substr(2);
    } else {
        std::wstring current;
        if (!CurrentDirectory(current))
            return false;
        if (current.size() > 2 && IsPathSeparator(current[0]) && IsPathSeparator(current[1])) {
            FullNameOnShare(name, current, out);
            return true;
        }
        if (current.size() < 2 || current[1] != L':') {
            out = name;
            return true;
        }
        letter = static_cast<wchar_t>(towupper(current[0]));
        rest = name;
    }

    std::wstring result{letter, L':'};
    if (!rest.empty() && IsPathSeparator(rest[0])) {
        result += rest;
    } else {
        std::wstring directory;
        if (!DriveCurrentDirStr(letter, directory)) {
            if (named && !DriveHasRoot(letter)) {
                out = name;
                return true;
            }
            return false;
        }
        if (directory.size() < 2 || directory[1] != L':') {
            out = name;
            return true;
        }
        result += directory.substr(2);
        // A drive without a known directory stands at its root.
        if (!rest.empty() && (directory.size() > 3 || directory.size() == 2))
            result += L'\\';
        result += rest;
    }
    if (!NormaliseComponents(result, 2)) {
        out = name;
        return true;
    }
    if (result.size() == 2)
        result += L'\\';
    if (named && result != name && !DriveHasRoot(letter)) {
        out = name;
        return true;
    }
    out = std::move(result);
    return true;
}

int PathFullNameW(BDS*, const wchar_t* name, wchar_t* out, int capacity)
{
    if (!out || capacity < 1)
        return 0;
    std::wstring full;
    if (!PathFullNameStr(name ? name : L"", full))
        return 0;
    return CopyOut(full, out, capacity);
}

int PathFullNameA(BDS*, const char* name, char* out, int capacity)
{
    if (!out || capacity < 1)
        return 0;
    std::wstring full;
    if (!PathFullNameStr(FileNameToWide(name), full))
        return 0;
    return CopyOutAnsi(full, out, capacity);
}

int DriveCurrentDirW(wchar_t letter, wchar_t* out, int capacity)
{
    std::wstring directory;
    if (!out || capacity < 1 || !DriveCurrentDirStr(letter, directory) || !CopyOut(directory, out, capacity))
        return 0;
    return static_cast<int>(directory.size());
}

int DriveCurrentDirA(char letter, char* out, int capacity)
{
    std::wstring directory;
    if (!out || capacity < 1 || !DriveCurrentDirStr(static_cast<unsigned char>(letter), directory) ||
        !CopyOutAnsi(directory, out, capacity))
        return 0;
    return static_cast<int>(strlen(out));
}
