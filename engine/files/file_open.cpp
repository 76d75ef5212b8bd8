// Opening and closing the script's file handles: the 128-slot table, share modes, the
// retries on sharing violations, byte-order marks and the read buffer.
#include "engine/files/file_io.h"

#include <cstring>

#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/core/pump.h"
#include "engine/files/drives.h"
#include "engine/files/file_handles.h"
#include "engine/files/path_buf.h"

namespace {

enum : uint16_t {
    ERR_OPEN_FAILED = 1077,
    ERR_NO_MEMORY = 1588,
    ERR_BAD_MODE = 3076,
    ERR_TOO_MANY = 3078,
    ERR_CLOSE_NOT_OPEN = 3080,
};

enum class OpenMode { Read, Write, Append };

bool ParseMode(const char* text, OpenMode* mode)
{
    char upper[8];
    size_t length = strlen(text);
    if (length >= sizeof upper)
        return false;
    memcpy(upper, text, length + 1);
    CharUpperBuffA(upper, static_cast<DWORD>(length));
    if (strcmp(upper, "READ") == 0)
        *mode = OpenMode::Read;
    else if (strcmp(upper, "WRITE") == 0)
        *mode = OpenMode::Write;
    else if (strcmp(upper, "APPEND") == 0)
        *mode = OpenMode::Append;
    else
        return false;
    return true;
}

uint32_t EncodingOfMark(const uint8_t mark[2])
{
    if (mark[0] == 0xFF && mark[1] == 0xFE)
        return FSE_UTF16LE;
    if (mark[0] == 0xFE && mark[1] == 0xFF)
        return FSE_UTF16BE;
    return FSE_ANSI;
}

// The first two bytes of an existing file (both 0 when it does not open or is shorter).
void ReadLeadingBytes(BDS* ctx, const wchar_t* name, uint8_t mark[2])
{
    mark[0] = mark[1] = 0;
    HANDLE file = CreateFileW(name, GENERIC_READ, ctx->eng.ctl.ReadShareMode, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    uint8_t bytes[2];
    if (FileHandleRead(file, bytes, 2) == 2)
        memcpy(mark, bytes, 2);
    CloseHandle(file);
}

// Sharing-violation retries for a time-out in seconds: -1 without end, 1000 ms apart;
// 20 and more that many, 1000 ms apart; 1 to 19 twenty spread over the time-out.
void RetryPlan(int32_t timeout, int64_t* retries, uint32_t* interval)
{
    if (timeout == -1) {
        *retries = -1;
        *interval = 1000;
    } else if (timeout >= 20) {
        *retries = timeout;
        *interval = 1000;
    } else if (timeout >= 1) {
        *retries = 20;
        *interval = static_cast<uint32_t>(timeout) * 1000 / 20;
    } else {
        *retries = 0;
        *interval = 0;
    }
}

void ReleaseSlot(FileSlot& slot)
{
    if (slot.handle)
        CloseHandle(slot.handle);
    if (slot.buffer) {
        GlobalUnlock(slot.buffer);
        GlobalFree(slot.buffer);
    }
    if (slot.lineBlock)
        HeapFree(GetProcessHeap(), 0, slot.lineBlock);
    slot = FileSlot{};
}

// The read buffer of a "READ" slot: IntControl 65's size, or one that follows the file.
bool AttachReadBuffer(BDS* ctx, FileSlot& slot)
{
    int32_t setting = ctx->eng.ctl.FileReadBufferSize;
    if (setting == 0)
        return true;
    uint32_t size = setting > 0 ? static_cast<uint32_t>(setting) : FileIoBufferSize(ctx, slot.handle);
    SIZE_T unit = slot.encoding == FSE_ANSI ? 1 : 2;
    if (size >= 0x7FFFFFFF / unit)
        return false;
    slot.buffer = GlobalAlloc(GMEM_MOVEABLE, (static_cast<SIZE_T>(size) + 1) * unit);
    void* start = slot.buffer ? GlobalLock(slot.buffer) : nullptr;
    if (!start)
        return false;
    slot.bufferSize = size;
    if (slot.encoding == FSE_ANSI) {
        slot.ansiStart = slot.ansiPos = static_cast<char*>(start);
        slot.ansiStart[0] = 0;
    } else {
        slot.wideStart = slot.widePos = static_cast<wchar_t*>(start);
        slot.wideStart[0] = 0;
    }
    return true;
}

}  // namespace

int32_t FileHandleNumber(HANDLE handle)
{
    return static_cast<int32_t>(reinterpret_cast<intptr_t>(handle));
}

int FindFileSlot(BDS* ctx, int32_t handle)
{
    if (handle == 0)
        return -1;
    for (int i = 0; i < MAX_OPEN_FILES; ++i)
        if (ctx->files.slots[i].handle && FileHandleNumber(ctx->files.slots[i].handle) == handle)
            return i;
    return -1;
}

void DoFileOpen(BDS* ctx, resultants* result, const wchar_t* name, const char* modeText,
                int32_t unicodeFlag, int32_t timeout)
{
    int index = -1;
    for (int i = 0; i < MAX_OPEN_FILES && index < 0; ++i)
        if (!ctx->files.slots[i].handle)
            index = i;
    if (index < 0) {
        SetError(ctx, ERR_TOO_MANY);
        return;
    }
    OpenMode mode;
    if (!ParseMode(modeText ? modeText : "", &mode)) {
        SetError(ctx, ERR_BAD_MODE);
        return;
    }
    DWORD access = mode == OpenMode::Read ? GENERIC_READ : GENERIC_WRITE;
    DWORD disposition = mode == OpenMode::Read ? OPEN_EXISTING
                        : mode == OpenMode::Write ? CREATE_ALWAYS : OPEN_ALWAYS;
    DWORD share = mode == OpenMode::Read ? ctx->eng.ctl.ReadShareMode : ctx->eng.ctl.WriteShareMode;

    LocalPathBuf path;
    if (!PathBufAppend(ctx, path.get(), name, PATH_LIMIT_FILE))
        return;

    int64_t retries;
    uint32_t interval;
    RetryPlan(timeout, &retries, &interval);

    uint8_t mark[2] = {0, 0};
    HANDLE file;
    DWORD error = 0;
    {
        CriticalErrorsOff quiet;
        if (mode == OpenMode::Append)
            ReadLeadingBytes(ctx, path.text(), mark);
        for (int64_t tried = 0;; ++tried) {
            file = CreateFileW(path.text(), access, share, nullptr, disposition, 0, nullptr);
            if (file != INVALID_HANDLE_VALUE)
                break;
            error = GetLastError();
            if (error != ERROR_SHARING_VIOLATION || (retries >= 0 && tried >= retries) || ctx->bCancel)
                break;
            WaitPumping(ctx, interval);
            if (ctx->bCancel)
                break;
        }
    }
    if (ctx->bCancel) {
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        return;
    }
    if (file == INVALID_HANDLE_VALUE) {
        StoreLastError(ctx, error, "CreateFile", true);
        SetError(ctx, ERR_OPEN_FAILED);
        return;
    }

    FileSlot& slot = ctx->files.slots[index];
    slot = FileSlot{};
    slot.handle = file;
    slot.wideResult = unicodeFlag ? 1 : 0;
    if (mode == OpenMode::Read) {
        slot.mode = FSM_READ;
        uint8_t first[2] = {0, 0};
        if (FileHandleRead(file, first, 2) == 2)
            slot.encoding = EncodingOfMark(first);
        if (slot.encoding == FSE_ANSI)
            FileHandleSeek(file, 0, nullptr, FILE_BEGIN);
        if (!AttachReadBuffer(ctx, slot)) {
            ReleaseSlot(slot);
            SetError(ctx, ERR_NO_MEMORY);
            return;
        }
    } else {
        slot.mode = FSM_WRITE;
        if (mode == OpenMode::Append) {
            LARGE_INTEGER zero{};
            SetFilePointerEx(file, zero, nullptr, FILE_END);
        }
        if (mode == OpenMode::Append && (mark[0] || mark[1])) {
            // An existing file keeps its own encoding and its one byte-order mark.
            slot.encoding = EncodingOfMark(mark);
            if (slot.encoding != FSE_ANSI)
                slot.mode |= FSM_MARK_PRESENT;
        } else {
            slot.encoding = unicodeFlag ? FSE_UTF16LE : FSE_ANSI;
        }
    }
    SetResultInt(ctx, result, FileHandleNumber(file));
    result->flags |= VF_FILE;
}

void DoFileClose(BDS* ctx, int32_t handle)
{
    int index = FindFileSlot(ctx, handle);
    if (index < 0) {
        SetError(ctx, ERR_CLOSE_NOT_OPEN);
        return;
    }
    ReleaseSlot(ctx->files.slots[index]);
}

void CloseAllScriptFiles(BDS* ctx)
{
    for (FileSlot& slot : ctx->files.slots)
        if (slot.handle || slot.buffer || slot.lineBlock)
            ReleaseSlot(slot);
}
