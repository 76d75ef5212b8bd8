// Built-ins that act on each file of a list without a target: FileDelete, FileSize and
// FileSizeEx, with their per-file operations.
#include <cstdio>

#include "engine/core/builtin.h"
#include "engine/core/errors.h"
#include "engine/files/file_args.h"
#include "engine/files/file_names.h"
#include "engine/files/file_walk.h"

namespace {

enum : uint16_t {
    ERR_DELETE_NOT_FOUND = 1016,
    ERR_NO_MATCH = 1002,
    ERR_NOT_DELETED = 1590,
};

enum : uint16_t { ID_FILEDELETE = 468, ID_FILESIZE = 497, ID_FILESIZEEX = 498 };

int FileDeleteOp(BDS* ctx, const wchar_t* name, const wchar_t*, WalkState* state, uint16_t, uint32_t)
{
    if (DeleteFileW(name))
        return 1;
    DWORD error = GetLastError();
    state->result = 0;
    if (DoFileExistW(ctx, name, false)) {
        SetError(ctx, ERR_NOT_DELETED);
        AddSystemErrorInfo(ctx, error, "FileDelete");
    } else {
        SetError(ctx, ERR_DELETE_NOT_FOUND);
    }
    return 0;
}

// The size of a file that opens for reading; one that does not open counts 0.
int FileSizeOp(BDS* ctx, const wchar_t* name, const wchar_t*, WalkState* state, uint16_t, uint32_t)
{
    HANDLE file = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file, &size))
        state->total += static_cast<uint64_t>(size.QuadPart);
    CloseHandle(file);
    return 1;
}

// The size from the directory entry: files that others hold without sharing count too.
int FileSizeExOp(BDS* ctx, const wchar_t* name, const wchar_t*, WalkState* state, uint16_t, uint32_t)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(name, &found);
    if (search == INVALID_HANDLE_VALUE)
        return 1;
    FindClose(search);
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        state->total += (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    return 1;
}

void CaseFileDelete(BDS* ctx, BuiltinCall& c)
{
    ArgPath list(ctx, c, 1);
    WalkState state{1, 0, nullptr};
    FileListWalk(ctx, list.text(), L"", &state, ID_FILEDELETE, 0, FileDeleteOp, 1);
    SetResultWalk(ctx, c.result, state.result);
}

void CaseFileSize(BDS* ctx, BuiltinCall& c)
{
    ArgPath list(ctx, c, 1);
    int32_t format = ArgInt(c, 2);
    WalkState state{1, 0, nullptr};
    ctx->fileops.SizeFormat = static_cast<uint32_t>(format == SIZE_TEXT || format == SIZE_INT64 ? format : SIZE_FLOAT);
    FileListWalk(ctx, list.text(), L"", &state, static_cast<uint16_t>(c.id), 0,
                 c.id == ID_FILESIZE ? FileSizeOp : FileSizeExOp, 1);
    uint32_t kind = ctx->fileops.SizeFormat;
    ctx->fileops.SizeFormat = SIZE_FLOAT;
    if (ctx->nErrorCode == ERR_NO_MATCH)
        ctx->nErrorCode = 0;
    if (ctx->nErrorCode)
        return;
    SetResultSize(ctx, c.result, static_cast<int32_t>(kind), state.total);
}

const BuiltinRow kRows[] = {
    {ID_FILEDELETE, CaseFileDelete},
    {ID_FILESIZE, CaseFileSize},
    {ID_FILESIZEEX, CaseFileSize},
};

}  // namespace

extern const BuiltinFamily g_FileListBuiltins = {"file lists", kRows,
                                                 static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
