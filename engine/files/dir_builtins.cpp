// The directory built-ins: DirChange, DirGet, DirHome, DirExist, DirMake, DirRemove,
// DirRename and DirSize, with the per-file operations of DirMake and DirRemove.
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "engine/core/builtin.h"
#include "engine/core/errors.h"
#include "engine/files/directories.h"
#include "engine/files/drives.h"
#include "engine/files/file_args.h"
#include "engine/files/file_walk.h"
#include "engine/files/path_buf.h"
#include "engine/files/path_search.h"

namespace {

enum : uint16_t {
    ERR_DIR_RENAME = 1025,
    ERR_DIR_NOT_CREATED = 1029,
    ERR_DIR_NOT_REMOVED = 1030,
    ERR_DIRSIZE_NOT_FOUND = 1573,
    ERR_RENAME_FROM = 2203,
    ERR_RENAME_TO = 2204,
};

enum : uint16_t { ID_DIRMAKE = 409, ID_DIRREMOVE = 410 };

// Where a name's drive letter stands (behind any prefix), or -1.
int DriveAt(const wchar_t* name)
{
    int at = LongPrefixKindW(name) == 1 ? 4 : 0;
    if (LongPrefixKindW(name) == 3)
        return -1;
    return name[at] && name[at + 1] == L':' ? at : -1;
}

// A name that is only a root: "\" or "/", with or without a drive and ":" in front.
bool IsRootName(const wchar_t* name)
{
    int drive = DriveAt(name);
    const wchar_t* rest = drive >= 0 ? name + drive + 2 : name;
    return IsPathSeparator(rest[0]) && rest[1] == 0;
}

int DirMakeOp(BDS* ctx, const wchar_t* name, const wchar_t*, WalkState* state, uint16_t, uint32_t)
{
    CurrentDirKeeper keep(ctx);
    LocalPathBuf path;
    if (!PathBufAppend(ctx, path.get(), name, PATH_LIMIT_DIR)) {
        state->result = 0;
        return 0;
    }
    int drive = DriveAt(path.text());
    if (drive >= 0 && !DoLogDiskW(ctx, path.text()[drive])) {
        state->result = 0;
        return 0;
    }
    if (IsRootName(path.text()))
        return 1;
    std::wstring directory = path.text();
    if (directory.size() > 1 && IsPathSeparator(directory.back()))
        directory.pop_back();
    if (!DirCreatePathW(ctx, directory.c_str(), LongPrefixKindW(directory.c_str()))) {
        state->result = 0;
        SetError(ctx, ERR_DIR_NOT_CREATED);
        return 0;
    }
    return 1;
}

int DirRemoveOp(BDS* ctx, const wchar_t* name, const wchar_t*, WalkState* state, uint16_t, uint32_t)
{
    CurrentDirKeeper keep(ctx);
    std::wstring directory = name;
    int drive = DriveAt(name);
    if (drive >= 0) {
        if (!DoLogDiskW(ctx, name[drive])) {
            state->result = 0;
            return 0;
        }
        if (drive == 0)
            directory.erase(0, 2);   // the rest is taken on that drive, now current
    }
    if (directory.size() > 1 && IsPathSeparator(directory.back()))
        directory.pop_back();
    if (!RemoveDirectoryW(directory.c_str())) {
        AddSystemErrorInfo(ctx, GetLastError(), "DirRemove");
        state->result = 0;
        SetError(ctx, ERR_DIR_NOT_REMOVED);
        return 0;
    }
    return 1;
}

int DoDirRename(BDS* ctx, const wchar_t* oldName, const wchar_t* newName)
{
    LocalPathBuf from, to;
    if (!PathBufAppend(ctx, from.get(), oldName, PATH_LIMIT_FILE) ||
        !PathBufAppend(ctx, to.get(), newName, PATH_LIMIT_FILE))
        return 0;
    CurrentDirKeeper keep(ctx);
    int fromDrive = DriveAt(from.text()), toDrive = DriveAt(to.text());
    if (fromDrive >= 0 && toDrive >= 0 && towupper(from.text()[fromDrive]) != towupper(to.text()[toDrive])) {
        SetError(ctx, ERR_DIR_RENAME);
        return 0;
    }
    if (wcschr(from.text(), L'\t')) {
        SetError(ctx, ERR_RENAME_FROM);
        return 0;
    }
    if (wcschr(to.text(), L'\t')) {
        SetError(ctx, ERR_RENAME_TO);
        return 0;
    }
    std::wstring source = from.text(), target = to.text();
    if (fromDrive >= 0) {
        if (!DoLogDiskW(ctx, from.text()[fromDrive]))
            return 0;
        if (fromDrive == 0)
            source.erase(0, 2);
    }
    if (toDrive == 0)
        target.erase(0, 2);
    if (!MoveFileW(source.c_str(), target.c_str())) {
        AddSystemErrorInfo(ctx, GetLastError(), "DirRename");
        SetError(ctx, ERR_DIR_RENAME);
        return 0;
    }
    return 1;
}

// The cluster size of the volume that holds an absolute name; 0 (no rounding) for network
// names and when the volume cannot be asked.
uint64_t ClusterSizeW(const std::wstring& full)
{
    size_t at = LongPrefixKindW(full.c_str()) == 1 ? 4 : 0;
    if (full.size() < at + 2 || full[at + 1] != L':')
        return 0;
    wchar_t root[] = {full[at], L':', L'\\', 0};
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!GetDiskFreeSpaceW(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters))
        return 0;
    return static_cast<uint64_t>(sectorsPerCluster) * bytesPerSector;
}

// The sum of the sizes of every file under a directory. Only "." and ".." are passed over;
// junctions and symbolic links to directories are not entered.
uint64_t DirSizeWalk(BDS* ctx, const std::wstring& top, uint64_t cluster)
{
    uint64_t total = 0;
    std::vector<std::wstring> pending{top};
    while (!pending.empty()) {
        std::wstring directory = std::move(pending.back());
        pending.pop_back();
        if (!IsPathSeparator(directory.back()))
            directory += L'\\';
        LocalPathBuf pattern;
        uint16_t kept = ctx->nErrorCode;
        std::wstring spec = directory + L"*.*";
        if (!PathBufAppend(ctx, pattern.get(), spec.c_str(), PATH_LIMIT_FILE)) {
            ctx->nErrorCode = kept;
            continue;
        }
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(pattern.text(), &found);
        if (search == INVALID_HANDLE_VALUE)
            continue;
        do {
            const wchar_t* n = found.cFileName;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if ((n[0] == L'.' && n[1] == 0) || (n[0] == L'.' && n[1] == L'.' && n[2] == 0))
                    continue;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                    continue;
                pending.push_back(directory + n);
                continue;
            }
            uint64_t size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
            if (cluster)
                size = (size + cluster - 1) / cluster * cluster;
            total += size;
        } while (FindNextFileW(search, &found));
        FindClose(search);
        if (ctx->bCancel)
            break;
    }
    return total;
}

// ---------------------------------------------------------------- dispatch cases

void CaseDirChange(BDS* ctx, BuiltinCall& c)
{
    ArgPath directory(ctx, c, 1);
    SetResultInt(ctx, c.result, DoDirChangeW(ctx, directory.text()));
}

void CaseDirGet(BDS* ctx, BuiltinCall& c)
{
    std::wstring current;
    if (!DirGetText(ctx, current)) {
        SetError(ctx, 1031);
        return;
    }
    SetResultPathText(ctx, c.result, current);
}

void CaseDirHome(BDS* ctx, BuiltinCall& c)
{
    std::vector<wchar_t> name(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameW(ctx->hHostInstance, name.data(), static_cast<DWORD>(name.size()));
        if (n < name.size() || name.size() >= PATH_LONGEST) {
            name.resize(n);
            break;
        }
        name.resize(name.size() * 2);
    }
    std::wstring home(name.begin(), name.end());
    size_t last = home.find_last_of(L"\\/");
    home.resize(last == std::wstring::npos ? 0 : last + 1);
    SetResultPathText(ctx, c.result, home);
}

void CaseDirExist(BDS* ctx, BuiltinCall& c)
{
    ArgPath directory(ctx, c, 1);
    SetResultInt(ctx, c.result, DirExistPathW(ctx, directory.text()));
}

void CaseDirMakeRemove(BDS* ctx, BuiltinCall& c)
{
    ArgPath list(ctx, c, 1);
    WalkState state{1, 0, nullptr};
    bool make = c.id == ID_DIRMAKE;
    int walked = FileListWalk(ctx, list.text(), L"", &state, static_cast<uint16_t>(c.id), FLW_DIRECTORY,
                              make ? DirMakeOp : DirRemoveOp, make ? 0 : 1);
    SetResultWalk(ctx, c.result, walked && state.result);
}

void CaseDirRename(BDS* ctx, BuiltinCall& c)
{
    ArgPath from(ctx, c, 1), to(ctx, c, 2);
    SetResultInt(ctx, c.result, DoDirRename(ctx, from.text(), to.text()));
}

void CaseDirSize(BDS* ctx, BuiltinCall& c)
{
    if (!WideFormAvailable(ctx))
        return;
    ArgPath directory(ctx, c, 1);
    int32_t flags = ArgInt(c, 2);
    int32_t format = ArgInt(c, 3);
    if (!DirExistPathW(ctx, directory.text())) {
        SetError(ctx, ERR_DIRSIZE_NOT_FOUND);
        return;
    }
    std::wstring full;
    if (!PathFullNameStr(directory.text(), full) || full.empty())
        full = directory.text();
    uint64_t cluster = (flags & 1) ? ClusterSizeW(full) : 0;
    uint64_t total = DirSizeWalk(ctx, full, cluster);
    SetResultSize(ctx, c.result, format, total);
}

const BuiltinRow kRows[] = {
    {403, CaseDirChange}, {404, CaseDirExist},      {405, CaseDirGet},    {406, CaseDirHome},
    {409, CaseDirMakeRemove}, {410, CaseDirMakeRemove}, {411, CaseDirRename}, {412, CaseDirSize},
};

}  // namespace

extern const BuiltinFamily g_DirectoryBuiltins = {"directories", kRows,
                                                  static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
