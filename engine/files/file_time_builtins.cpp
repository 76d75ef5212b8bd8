// The file-time built-ins: FileTimeGetEx, FileTimeSet, FileTimeSetEx and FileTimeTouch,
// with the per-file operation of the setters.
#include <cstdio>
#include <cwchar>
#include <string>

#include "engine/core/builtin.h"
#include "engine/files/file_args.h"
#include "engine/files/file_time.h"
#include "engine/files/file_walk.h"
#include "engine/files/path_buf.h"
#include "engine/files/wildcard.h"
#include "engine/system/date_text.h"

namespace {

enum : uint16_t {
    ERR_BAD_TIME = 1017,
    ERR_TIME_NOT_FOUND = 1125,
    ERR_TIME_NOT_SET = 1128,
    ERR_BAD_FIELD = 1569,
    ERR_BAD_DATETIME = 1711,
};

constexpr uint16_t ID_FILETIMESET = 502;

// The time text of the walk: the local time as SYSTEMTIME fields.
struct TimeToSet {
    const char* text;
};

int FileTimeSetOp(BDS* ctx, const wchar_t* name, const wchar_t*, WalkState* state, uint16_t, uint32_t)
{
    const auto* wanted = static_cast<const TimeToSet*>(state->extra);
    YmdHmsFields fields{};
    if (!ParseYMDHMS(wanted->text, &fields, YMD_CHECK_FULL, 1)) {
        state->result = 0;
        SetError(ctx, ERR_BAD_TIME);
        return 0;
    }
    SYSTEMTIME local = YmdHmsToSystemTime(fields);
    ctx->fileops.FileTime = local;
    FILETIME localTime, utc;
    if (!SystemTimeToFileTime(&local, &localTime) || !LocalFileTimeToFileTime(&localTime, &utc)) {
        state->result = 0;
        SetError(ctx, ERR_BAD_DATETIME);
        return 0;
    }
    // Attribute access is enough for the stamps, so read-only files and folders take them too.
    HANDLE file = CreateFileW(name, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        state->result = 0;
        SetError(ctx, ERR_TIME_NOT_SET);
        return 0;
    }
    const FILETIME* creation = nullptr;
    const FILETIME* access = nullptr;
    const FILETIME* write = nullptr;
    switch (ctx->fileops.FileTimeKind) {
    case FILE_TIME_CREATION: creation = &utc; break;
    case FILE_TIME_ACCESS: access = &utc; break;
    default: write = &utc; break;
    }
    BOOL ok = SetFileTime(file, creation, access, write);
    CloseHandle(file);
    if (!ok) {
        state->result = 0;
        SetError(ctx, ERR_TIME_NOT_SET);
        return 0;
    }
    return 1;
}

void WalkTimeSet(BDS* ctx, BuiltinCall& c, const char* text, uint32_t kind)
{
    ArgPath list(ctx, c, 1);
    TimeToSet wanted{text};
    WalkState state{1, 0, &wanted};
    ctx->fileops.FileTimeKind = kind;
    FileListWalk(ctx, list.text(), L"", &state, ID_FILETIMESET, 0, FileTimeSetOp, 0);
    ctx->fileops.FileTimeKind = FILE_TIME_WRITE;
    SetResultWalk(ctx, c.result, state.result);
}

// ---------------------------------------------------------------- dispatch cases

void CaseFileTimeGetEx(BDS* ctx, BuiltinCall& c)
{
    if (!WideFormAvailable(ctx))
        return;
    ArgPath name(ctx, c, 1);
    int32_t field = ArgInt(c, 2);
    if (!name.text()[0]) {
        SetError(ctx, ERR_TIME_NOT_FOUND);
        return;
    }
    LocalPathBuf path;
    if (!PathBufAppend(ctx, path.get(), name.text(), PATH_LIMIT_FILE))
        return;
    if (HasWildcardW(path.text())) {
        SetError(ctx, ERR_TIME_NOT_FOUND);
        return;
    }
    if (field < 1 || field > 3) {
        SetError(ctx, ERR_BAD_FIELD);
        return;
    }
    std::wstring target = path.text();
    bool root = target.size() == 3 && target[1] == L':';
    if (!root && target.size() > 1 && IsPathSeparator(target.back()))
        target.pop_back();
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(target.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        SetError(ctx, ERR_TIME_NOT_FOUND);
        return;
    }
    FindClose(search);
    const FILETIME& stamp = field == 1 ? found.ftCreationTime : field == 3 ? found.ftLastAccessTime : found.ftLastWriteTime;
    char text[32];
    FileTimeFormat(ctx, stamp, text, sizeof text);
    SetResultText(ctx, c.result, text);
}

void CaseFileTimeSet(BDS* ctx, BuiltinCall& c)
{
    WalkTimeSet(ctx, c, ArgText(ctx, c, 2), FILE_TIME_WRITE);
}

void CaseFileTimeSetEx(BDS* ctx, BuiltinCall& c)
{
    int32_t field = ArgInt(c, 3);
    if (field < 1 || field > 3) {
        SetError(ctx, ERR_BAD_FIELD);
        return;
    }
    WalkTimeSet(ctx, c, ArgText(ctx, c, 2), static_cast<uint32_t>(field));
}

void CaseFileTimeTouch(BDS* ctx, BuiltinCall& c)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[32];
    FormatYmdHms(now, true, text, sizeof text);
    WalkTimeSet(ctx, c, text, FILE_TIME_WRITE);
}

const BuiltinRow kRows[] = {
    {501, CaseFileTimeGetEx},
    {502, CaseFileTimeSet},
    {503, CaseFileTimeSetEx},
    {504, CaseFileTimeTouch},
};

}  // namespace

extern const BuiltinFamily g_FileTimeBuiltins = {"file times", kRows,
                                                 static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
