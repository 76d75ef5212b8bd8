// Directories: changing and reading the current directory, the directory test, and the
// creation of a whole directory path.
#include "engine/files/directories.h"

#include <cstring>
#include <cwchar>
#include <string>

#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/files/drives.h"
#include "engine/files/file_text.h"
#include "engine/files/path_buf.h"
#include "engine/files/path_search.h"
#include "engine/files/wildcard.h"

namespace {

constexpr uint16_t ERR_DIR_NOT_CHANGED = 1031;
constexpr size_t WORK_CHARS = 2050;

bool IsDriveRoot(const std::wstring& name)
{
    return name.size() == 3 && name[1] == L':' && IsPathSeparator(name[2]);
}

bool CurrentDir(BDS* ctx, std::wstring& out)
{
    LocalPathBuf current;
    if (!GetCurrentDirLongW(ctx, current.get()))
        return false;
    out = current.text();
    return true;
}

// Keeps the per-drive variable "=X:" equal to the drive's current directory.
void SetDriveVariable(const std::wstring& current)
{
    if (current.size() < 2 || current[1] != L':')
        return;
    wchar_t name[] = {L'=', static_cast<wchar_t>(towupper(current[0])), L':', 0};
    SetEnvironmentVariableW(name, current.c_str());
}

bool RootIsMounted(const std::wstring& root)
{
    UINT kind = GetDriveTypeW(root.c_str());
    return kind != DRIVE_UNKNOWN && kind != DRIVE_NO_ROOT_DIR;
}

bool IsDirectoryEntry(const wchar_t* name)
{
    DWORD attributes = GetFileAttributesW(name);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A share (or a folder on one) that lists something counts as a directory.
bool ShareListsSomething(const std::wstring& name)
{
    std::wstring pattern = name;
    if (!IsPathSeparator(pattern.back()))
        pattern += L'\\';
    pattern += L"*.*";
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return true;
}

int DirExistPrefixedW(const wchar_t* name)
{
    if (HasWildcardW(name))
        return 0;
    std::wstring path = name;
    int kind = LongPrefixKindW(name);
    // "\\?\X:" alone is the drive's root.
    if (kind == 1 && path.size() == 6 && path[5] == L':')
        path += L'\\';
    bool root = kind == 1 && path.size() == 7 && path[5] == L':';
    if (!root && path.size() > 4 && IsPathSeparator(path.back()))
        path.pop_back();
    if (IsDirectoryEntry(path.c_str()))
        return 1;
    return kind == 3 && ShareListsSomething(path) ? 1 : 0;
}

}  // namespace

// ---------------------------------------------------------------- current directory

int DoDirChangeW(BDS* ctx, const wchar_t* directory)
{
    std::wstring work = directory ? directory : L"";
    if (work.size() > WORK_CHARS)
        work.resize(WORK_CHARS);
    std::wstring target;
    if (work.size() >= 2 && work[1] == L':') {
        if (!DoLogDiskW(ctx, work[0]))
            return 0;
        if (work.size() == 2) {
            std::wstring current;
            if (CurrentDir(ctx, current) && current.size() >= 2 && current[1] == L':')
                target = current.substr(2);
            else
                target = L"\\";
        } else {
            target = work.substr(2);
        }
    } else {
        target = work;
    }
    if (target.size() >= 3 && IsPathSeparator(target.back()))
        target.pop_back();
    if (target.empty() || !SetCurrentDirectoryW(target.c_str())) {
        SetError(ctx, ERR_DIR_NOT_CHANGED);
        return 0;
    }
    std::wstring current;
    if (CurrentDir(ctx, current))
        SetDriveVariable(current);
    return 1;
}

int DoDirChangeA(BDS* ctx, const char* directory)
{
    return DoDirChangeW(ctx, FileNameToWide(directory).c_str());
}

bool DirGetText(BDS* ctx, std::wstring& out)
{
    if (!CurrentDir(ctx, out))
        return false;
    if (out.size() > 3 && !IsPathSeparator(out.back()))
        out += L'\\';
    return true;
}

CurrentDirKeeper::CurrentDirKeeper(BDS* ctx)
{
    CurrentDir(ctx, saved_);
}

CurrentDirKeeper::~CurrentDirKeeper()
{
    if (!saved_.empty() && SetCurrentDirectoryW(saved_.c_str()))
        SetDriveVariable(saved_);
}

// ---------------------------------------------------------------- the directory test

int DirExistPathW(BDS* ctx, const wchar_t* name)
{
    if (!name || !*name)
        return 0;
    if (HasLongPrefixW(name))
        return DirExistPrefixedW(name);
    if (HasWildcardW(name))
        return 0;
    size_t length = wcslen(name);
    if (length >= 2 && name[length - 1] == L'\\' && name[length - 2] == L'\\')
        return 0;
    bool unc = IsPathSeparator(name[0]) && IsPathSeparator(name[1]);

    std::wstring full;
    if (!PathFullNameStr(name, full) || full.empty())
        full = name;
    if (full.size() >= PATH_LIMIT_FILE) {
        LocalPathBuf prefixed;
        uint16_t kept = ctx ? ctx->nErrorCode : 0;
        int ok = PathBufAppend(ctx, prefixed.get(), full.c_str(), PATH_LIMIT_FILE);
        if (ctx)
            ctx->nErrorCode = kept;
        return ok && HasLongPrefixW(prefixed.text()) ? DirExistPrefixedW(prefixed.text()) : 0;
    }
    bool root = IsDriveRoot(full) || full == L"\\" || full == L"/";
    if (!root && full.size() > 1 && IsPathSeparator(full.back()))
        full.pop_back();

    if (full == L".")
        return 1;
    if (full == L"..") {
        std::wstring current;
        return ctx && CurrentDir(ctx, current) && current.size() > 3 ? 1 : 0;
    }
    if (IsDriveRoot(full)) {
        std::wstring upper{static_cast<wchar_t>(towupper(full[0])), L':', L'\\'};
        return RootIsMounted(upper) ? 1 : 0;
    }
    if (full == L"\\" || full == L"/") {
        wchar_t letter = CurrentDriveLetterW();
        std::wstring drive{static_cast<wchar_t>(towupper(letter)), L':', L'\\'};
        return RootIsMounted(drive) ? 1 : 0;
    }
    if (IsDirectoryEntry(full.c_str()))
        return 1;
    return unc && ShareListsSomething(full) ? 1 : 0;
}

int DoDirExistW(BDS* ctx, const wchar_t* name)
{
    return DirExistPathW(ctx, name);
}

int DoDirExistA(BDS* ctx, const char* name)
{
    return DirExistPathW(ctx, FileNameToWide(name).c_str());
}

// ---------------------------------------------------------------- creating a path

namespace {

// Creates the levels of `name` from `start` on; a failure adds its system error to the
// extended-error text when `record` is set.
int CreateLevels(BDS* ctx, const std::wstring& name, size_t start, bool record)
{
    size_t at = start;
    while (at <= name.size()) {
        size_t end = name.find_first_of(L"\\/", at);
        if (end == std::wstring::npos)
            end = name.size();
        if (end == at)
            return 0;   // a doubled separator
        std::wstring part = name.substr(0, end);
        at = end + 1;
        if (part.size() == 2 && part[1] == L':')
            continue;   // the drive itself
        LocalPathBuf level;
        if (!PathBufAppend(ctx, level.get(), part.c_str(), PATH_LIMIT_DIR))
            return 0;
        if (DirExistPathW(ctx, level.text()) || CreateDirectoryW(level.text(), nullptr))
            continue;
        DWORD error = GetLastError();
        if (error == ERROR_ALREADY_EXISTS && DirExistPathW(ctx, level.text()))
            continue;   // another process made it meanwhile
        if (record)
            AddSystemErrorInfo(ctx, error, "DirCreate");
        return 0;
    }
    return 1;
}

}  // namespace

int DirCreatePathW(BDS* ctx, const wchar_t* path, int prefixKind)
{
    if (!path || !*path)
        return 0;
    std::wstring name = path;
    if (IsPathSeparator(name.back()))
        return 0;

    // Where creation may start: behind the root, which cannot be created.
    size_t start = 0;
    if (prefixKind == 1) {
        if (name.size() < 7 || name[5] != L':' || !IsPathSeparator(name[6]))
            return 0;
        start = 7;
    } else if (prefixKind == 3 || (name.size() > 2 && IsPathSeparator(name[0]) && IsPathSeparator(name[1]))) {
        size_t at = prefixKind == 3 ? 8 : 2;
        size_t server = name.find_first_of(L"\\/", at);
        if (server == at || server == std::wstring::npos)
            return 0;
        size_t share = name.find_first_of(L"\\/", server + 1);
        if (share == server + 1)
            return 0;
        if (share == std::wstring::npos)
            return DirExistPathW(ctx, name.c_str());   // a share is never created
        start = share + 1;
    } else if (IsPathSeparator(name[0])) {
        start = 1;
    }
    return CreateLevels(ctx, name, start, true);
}

int DirCreatePathA(BDS* ctx, const char* path)
{
    if (!path || !*path || strlen(path) > MAX_PATH)
        return 0;
    std::wstring name = FileNameToWide(path);
    if (name.empty() || IsPathSeparator(name.back()))
        return 0;
    return CreateLevels(ctx, name, IsPathSeparator(name[0]) ? 1 : 0, false);
}
