// Binary buffers and files: BinaryRead and BinaryWrite move whole files, BinaryReadEx and
// BinaryWriteEx a range at a 64-bit file offset. Each call opens and closes the file itself.
#include <cstring>

#include "engine/core/locked_global.h"
#include "engine/core/numtext.h"
#include "engine/data/binary_internal.h"
#include "engine/files/drives.h"
#include "engine/files/file_handles.h"
#include "engine/files/path_buf.h"

using namespace binary;

namespace {

enum : uint16_t {
    ERR_OPEN = 1077,               // "FileOpen: Open failed"
    ERR_FILE_TOO_LARGE = 1330,     // "BinaryRead: File size larger than binary buffer size"
    ERR_READ = 1612,               // "BinaryRead: Error reading file"
    ERR_WRITE = 1613,              // "BinaryWrite: Error writing file"
    ERR_READ_TOO_MUCH = 1674,      // "BinaryReadEx: Data to read cannot exceed 2147483647 bytes"
};

constexpr uint32_t ZERO_BLOCK = 32768;          // the gap before a write past the end
constexpr uint32_t LARGEST_TRANSFER = 1u << 30; // bytes of one system read or write

// Opens the file named by argument i by the narrow or the wide form of the call, with the
// system's critical-error boxes off. False with 1077 (or the path buffer's error).
bool OpenNamedFile(BDS* ctx, const BuiltinCall& call, int i, DWORD access, DWORD share, DWORD disposition,
                   ScopedFile& file)
{
    CriticalErrorsOff quiet;
    if (ArgIsWide(call, i)) {
        LocalPathBuf path;
        if (!PathBufAppend(ctx, path.get(), ArgWText(ctx, call, i), PATH_LIMIT_FILE))
            return false;
        file.handle = FileHandleOpenW(path.text(), access, share, disposition, 0);
    } else {
        file.handle = FileHandleOpenA(ArgText(ctx, call, i), access, share, disposition, 0);
    }
    if (!file.ok()) {
        SetError(ctx, ERR_OPEN);
        return false;
    }
    return true;
}

bool OpenForReading(BDS* ctx, const BuiltinCall& call, int i, ScopedFile& file)
{
    return OpenNamedFile(ctx, call, i, GENERIC_READ, ctx->eng.ctl.ReadShareMode, OPEN_EXISTING, file);
}

int64_t FileSize(BDS* ctx, HANDLE file)
{
    uint64_t size = 0;
    FileHandleSize(ctx, file, &size);
    return int64_t(size);
}

bool SeekTo(HANDLE file, int64_t offset, DWORD method = FILE_BEGIN)
{
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    return SetFilePointerEx(file, distance, nullptr, method) != 0;
}

// Reads up to count bytes (in pieces the system takes): the bytes read, -1 when a read fails.
int64_t ReadBytes(HANDLE file, uint8_t* into, int64_t count)
{
    int64_t done = 0;
    while (done < count) {
        int64_t left = count - done;
        int64_t got = FileHandleRead(file, into + done, uint32_t(left < LARGEST_TRANSFER ? left : LARGEST_TRANSFER));
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

bool WriteBytes(HANDLE file, const uint8_t* from, int64_t count)
{
    while (count > 0) {
        uint32_t piece = uint32_t(count < LARGEST_TRANSFER ? count : LARGEST_TRANSFER);
        if (FileHandleWrite(file, from, piece) != int64_t(piece))
            return false;
        from += piece;
        count -= piece;
    }
    return true;
}

// The file offset of the Ex built-ins: decimal text (blanks around it allowed) of at least
// one digit and 0 or more; -1 for anything else.
int64_t FileOffsetArg(const char* text)
{
    if (!*text || !IsIntegerTextA(text) || !std::strpbrk(text, "0123456789"))
        return -1;
    int64_t offset = TextToInt64A(text);
    return offset < 0 ? -1 : offset;
}

// ---------------------------------------------------------------- whole files

void CaseRead(BDS* ctx, BuiltinCall& call)
{
    BinaryBufferSlot* slot = ArgSlot(ctx, call, 1);
    if (!slot)
        return;
    ScopedFile file;
    if (!OpenForReading(ctx, call, 2, file))
        return;
    int64_t size = FileSize(ctx, file.handle);
    if (size > slot->size) {
        SetError(ctx, ERR_FILE_TOO_LARGE);
        return;
    }
    if (ReadBytes(file.handle, slot->data, size) < 0) {
        SetError(ctx, ERR_READ);
        return;
    }
    slot->eod = size;
    SetResult64(ctx, call.result, size);
}

void CaseWrite(BDS* ctx, BuiltinCall& call)
{
    BinaryBufferSlot* slot = ArgSlot(ctx, call, 1);
    if (!slot)
        return;
    ScopedFile file;
    if (!OpenNamedFile(ctx, call, 2, GENERIC_WRITE, ctx->eng.ctl.WriteShareMode, CREATE_ALWAYS, file))
        return;
    if (slot->eod > 0xFFFFFFFFll || !WriteBytes(file.handle, slot->data, slot->eod)) {
        SetError(ctx, ERR_WRITE);
        return;
    }
    SetResult64(ctx, call.result, slot->eod);
}

// ---------------------------------------------------------------- ranges

void CaseReadEx(BDS* ctx, BuiltinCall& call)
{
    BinaryBufferSlot* slot = ArgSlot(ctx, call, 1);
    if (!slot)
        return;
    int64_t bufferOffset = ArgInt64(call, 2);
    int64_t fileOffset = FileOffsetArg(ArgText(ctx, call, 4));
    int64_t count = ArgInt(call, 5);
    if (bufferOffset < 0 || fileOffset < 0) {
        SetError(ctx, ERR_BAD_OFFSET);
        return;
    }
    if (bufferOffset >= slot->size) {
        SetError(ctx, ERR_OFFSETS_BEYOND_SIZE);
        return;
    }
    if (count < -1) {
        SetError(ctx, ERR_BAD_COUNT);
        return;
    }
    ScopedFile file;
    if (!OpenForReading(ctx, call, 3, file))
        return;
    int64_t fileSize = FileSize(ctx, file.handle);
    if (count == -1 || fileOffset > fileSize - count)
        count = fileSize - fileOffset;
    uint16_t error = count > 0x7FFFFFFF                          ? ERR_READ_TOO_MUCH
                     : count > 0 && count > slot->size - bufferOffset ? ERR_COUNT_BEYOND_SIZE
                     : fileOffset > fileSize                     ? ERR_OFFSET_BEYOND_FILE
                                                                 : 0;
    if (error) {
        SetError(ctx, error);
        return;
    }
    if (count == 0) {
        SetResultInt(ctx, call.result, 0);
        return;
    }
    if (!SeekTo(file.handle, fileOffset)) {
        SetError(ctx, ERR_FILE_SEEK);
        return;
    }
    int64_t got = ReadBytes(file.handle, slot->data + bufferOffset, count);
    if (got < 0) {
        SetError(ctx, ERR_READ);
        return;
    }
    BinaryRaiseEod(slot, bufferOffset + got);
    SetResult64(ctx, call.result, got);
}

// Fills the file with zero bytes from its end up to `offset`.
bool PadWithZeros(BDS* ctx, HANDLE file, int64_t fileSize, int64_t offset)
{
    LockedGlobal zeros(ZERO_BLOCK);
    if (!zeros.data) {
        SetError(ctx, ERR_SCRATCH_MEMORY);
        return false;
    }
    for (int64_t left = offset - fileSize; left > 0;) {
        uint32_t piece = uint32_t(left < ZERO_BLOCK ? left : ZERO_BLOCK);
        if (!SeekTo(file, 0, FILE_END) || FileHandleWrite(file, zeros.data, piece) != int64_t(piece)) {
            SetError(ctx, ERR_WRITE);
            return false;
        }
        left -= piece;
    }
    return true;
}

// A count of -1 writes nothing: it cuts the file at the offset, or extends it to there.
void CaseWriteEx(BDS* ctx, BuiltinCall& call)
{
    int64_t count = ArgInt(call, 5);
    int64_t bufferOffset = ArgInt64(call, 2);
    BinaryBufferSlot* slot = nullptr;
    if (count != -1) {
        slot = ArgSlot(ctx, call, 1);
        if (!slot)
            return;
        if (bufferOffset < 0) {
            SetError(ctx, ERR_BAD_OFFSET);
            return;
        }
    }
    int64_t fileOffset = FileOffsetArg(ArgText(ctx, call, 4));
    if (fileOffset < 0) {
        SetError(ctx, ERR_BAD_OFFSET);
        return;
    }
    if (slot) {
        uint16_t error = count < 0                               ? ERR_BAD_COUNT
                         : bufferOffset >= slot->size            ? ERR_OFFSETS_BEYOND_SIZE
                         : bufferOffset >= slot->eod             ? ERR_OFFSET_BEYOND_EOD
                         : count > slot->size - bufferOffset     ? ERR_COUNT_BEYOND_SIZE
                         : count > slot->eod - bufferOffset      ? ERR_COUNT_BEYOND_EOD
                                                                 : 0;
        if (error) {
            SetError(ctx, error);
            return;
        }
    }
    ScopedFile file;
    if (!OpenNamedFile(ctx, call, 3, GENERIC_WRITE, ctx->eng.ctl.WriteShareMode, OPEN_ALWAYS, file))
        return;
    int64_t fileSize = FileSize(ctx, file.handle);
    if (count == -1 && fileOffset < fileSize) {
        if (!SeekTo(file.handle, fileOffset)) {
            SetError(ctx, ERR_FILE_SEEK);
            return;
        }
        if (!SetEndOfFile(file.handle)) {
            SetError(ctx, ERR_WRITE);
            return;
        }
        SetResultInt(ctx, call.result, 0);
        return;
    }
    if (fileOffset > fileSize && !PadWithZeros(ctx, file.handle, fileSize, fileOffset))
        return;
    if (count < 1) {
        SetResultInt(ctx, call.result, 0);
        return;
    }
    if (!SeekTo(file.handle, fileOffset)) {
        SetError(ctx, ERR_FILE_SEEK);
        return;
    }
    if (!WriteBytes(file.handle, slot->data + bufferOffset, count)) {
        SetError(ctx, ERR_WRITE);
        return;
    }
    SetResult64(ctx, call.result, count);
}

const BuiltinRow kRows[] = {
    {336, CaseRead},      // binaryread
    {337, CaseReadEx},    // binaryreadex
    {348, CaseWrite},     // binarywrite
    {349, CaseWriteEx},   // binarywriteex
};

}  // namespace

const BuiltinFamily g_BinaryFileBuiltins = {"binary buffer files", kRows, int(sizeof(kRows) / sizeof(kRows[0]))};
