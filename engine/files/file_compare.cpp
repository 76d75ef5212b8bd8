// Questions about single files: FileCompare (which of two files is newer and whether their
// contents agree), FileEncoding (the text encoding of a file), and a file's last-write
// time as FileTimeGet, FileYmdHms and FileTimeCode give it.
#include <cstdio>
#include <memory>
#include <string>

#include "engine/core/builtin.h"
#include "engine/core/errors.h"
#include "engine/files/drives.h"
#include "engine/files/file_args.h"
#include "engine/files/file_handles.h"
#include "engine/files/file_time.h"
#include "engine/files/path_buf.h"
#include "engine/files/path_search.h"
#include "engine/files/text_encoding.h"
#include "engine/system/heap_block.h"
#include "engine/system/date_text.h"

namespace {

enum : uint16_t {
    ERR_OPEN_FAILED = 1077,
    ERR_TIME_NOT_FOUND = 1125,
    ERR_FIRST_OPEN = 1389,
    ERR_SECOND_OPEN = 1390,
    ERR_NO_MEMORY = 1588,
    ERR_READ = 1801,
};

enum : uint16_t { ID_FILECOMPARE = 464, ID_FILEENCODING = 471, ID_FILETIMECODE = 499, ID_FILETIMEGET = 500,
                  ID_FILEYMDHMS = 507 };

constexpr DWORD COMPARE_BLOCK = 65536;

// ---------------------------------------------------------------- FileCompare

// The full name under which an existing file is found (a prefixed name as it stands, other
// names along the path search); false when it does not exist.
bool FindExisting(BDS* ctx, const wchar_t* name, std::wstring& found)
{
    LocalPathBuf path;
    uint16_t kept = ctx->nErrorCode;
    if (!*name || !PathBufAppend(ctx, path.get(), name, PATH_LIMIT_FILE)) {
        ctx->nErrorCode = kept;
        return false;
    }
    if (HasLongPrefixW(path.text())) {
        found = path.text();
        return FileExistsW(ctx, path.text(), false) != 0;
    }
    return FileSearchPathStr(ctx, path.text(), false, found) != 0;
}

// Opens a found name for reading with read sharing (long names through a prefixed buffer).
HANDLE OpenShared(BDS* ctx, const std::wstring& name)
{
    LocalPathBuf path;
    uint16_t kept = ctx->nErrorCode;
    if (!PathBufAppend(ctx, path.get(), name.c_str(), PATH_LIMIT_FILE)) {
        ctx->nErrorCode = kept;
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileW(path.text(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                       nullptr);
}

uint64_t SizeOfName(const std::wstring& name)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(name.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Reads as much of `count` bytes as the file still has: the bytes read, or -1 on failure.
int64_t ReadFull(HANDLE file, uint8_t* buffer, DWORD count)
{
    DWORD total = 0;
    while (total < count) {
        DWORD got = 0;
        if (!ReadFile(file, buffer + total, count - total, &got, nullptr))
            return -1;
        if (got == 0)
            break;
        total += got;
    }
    return total;
}

// 1 the contents agree, 0 they differ, -1 an error was set.
int SameContents(BDS* ctx, const std::wstring& first, const std::wstring& second)
{
    ScopedFile a, b;
    a.handle = OpenShared(ctx, first);
    if (!a.ok()) {
        SetError(ctx, ERR_FIRST_OPEN);
        return -1;
    }
    b.handle = OpenShared(ctx, second);
    if (!b.ok()) {
        SetError(ctx, ERR_SECOND_OPEN);
        return -1;
    }
    HeapBlock blocks(2 * static_cast<size_t>(COMPARE_BLOCK));
    if (!blocks.data) {
        SetError(ctx, ERR_NO_MEMORY);
        return -1;
    }
    uint8_t* left = blocks.As<uint8_t>();
    uint8_t* right = left + COMPARE_BLOCK;
    for (;;) {
        int64_t n = ReadFull(a.handle, left, COMPARE_BLOCK);
        int64_t m = ReadFull(b.handle, right, COMPARE_BLOCK);
        if (n != m || (n > 0 && memcmp(left, right, static_cast<size_t>(n)) != 0))
            return 0;
        if (n < static_cast<int64_t>(COMPARE_BLOCK))
            return 1;
    }
}

int32_t DoFileCompare(BDS* ctx, const wchar_t* first, const wchar_t* second)
{
    std::wstring one, two;
    bool hasOne = FindExisting(ctx, first, one);
    bool hasTwo = FindExisting(ctx, second, two);
    if (!hasOne && !hasTwo)
        return 4;
    if (!hasOne)
        return -3;
    if (!hasTwo)
        return 3;
    bool newer = FileTimeCompareW(ctx, one.c_str(), two.c_str()) == 1;
    if (SizeOfName(one) != SizeOfName(two))
        return newer ? 2 : -2;
    int same = SameContents(ctx, one, two);
    if (same < 0)
        return 0;
    if (same)
        return 0;
    return newer ? 1 : -1;
}

void CaseFileCompare(BDS* ctx, BuiltinCall& c)
{
    ArgPath first(ctx, c, 1);
    ArgPath second(ctx, c, 2);
    int32_t answer = DoFileCompare(ctx, first.text(), second.text());
    if (!ctx->nErrorCode)
        SetResultInt(ctx, c.result, answer);
}

// ---------------------------------------------------------------- FileEncoding

void FailEncodingOpen(BDS* ctx, DWORD error)
{
    SetError(ctx, ERR_OPEN_FAILED);
    AddSystemErrorInfo(ctx, error, "FileGetEncoding");
}

void CaseFileEncoding(BDS* ctx, BuiltinCall& c)
{
    ArgPath name(ctx, c, 1);
    LocalPathBuf path;
    if (!PathBufAppend(ctx, path.get(), name.text(), PATH_LIMIT_FILE))
        return;
    ScopedFile file;
    {
        CriticalErrorsOff quiet;
        file.handle = CreateFileW(path.text(), GENERIC_READ, ctx->eng.ctl.ReadShareMode, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    }
    if (!file.ok()) {
        FailEncodingOpen(ctx, GetLastError());
        return;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.handle, &size)) {
        FailEncodingOpen(ctx, GetLastError());
        return;
    }
    if (size.QuadPart >= 0x80000000LL) {
        SetError(ctx, ERR_NO_MEMORY);
        return;
    }
    if (size.QuadPart == 0) {
        SetResultInt(ctx, c.result, TEXT_NONE);
        return;
    }
    DWORD count = static_cast<DWORD>(size.QuadPart);
    HeapBlock contents(count);
    if (!contents.data) {
        SetError(ctx, ERR_NO_MEMORY);
        return;
    }
    int64_t got = ReadFull(file.handle, contents.As<uint8_t>(), count);
    if (got < 0) {
        StoreLastError(ctx, GetLastError(), "ReadFile", false);
        SetError(ctx, ERR_READ);
        return;
    }
    SetResultInt(ctx, c.result, TextEncodingTest(contents.As<uint8_t>(), static_cast<size_t>(got)));
}

// ---------------------------------------------------------------- last-write time

void CaseFileTime(BDS* ctx, BuiltinCall& c)
{
    ArgPath name(ctx, c, 1);
    if (c.id == ID_FILETIMEGET) {
        char text[160];
        if (FileTimeLocaleTextW(ctx, name.text(), text, sizeof text, false))
            SetResultText(ctx, c.result, text);
        return;
    }
    if (!FileTimeOfNameW(ctx, name.text())) {
        SetError(ctx, ERR_TIME_NOT_FOUND);
        return;
    }
    const FileOpsState& f = ctx->fileops;
    if (c.id == ID_FILETIMECODE) {
        SetResultInt(ctx, c.result, static_cast<int32_t>((static_cast<uint32_t>(f.DosDate) << 16) | f.DosTime));
        return;
    }
    char text[32];
    FormatYmdHms(FileStampFields(ctx), ctx->eng.ctl.FourDigitYear != 0, text, sizeof text);
    SetResultText(ctx, c.result, text);
}

const BuiltinRow kRows[] = {
    {ID_FILECOMPARE, CaseFileCompare},
    {ID_FILEENCODING, CaseFileEncoding},
    {ID_FILETIMECODE, CaseFileTime},
    {ID_FILETIMEGET, CaseFileTime},
    {ID_FILEYMDHMS, CaseFileTime},
};

}  // namespace

extern const BuiltinFamily g_FileCompareBuiltins = {"file comparison, encoding and times", kRows,
                                                    static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
