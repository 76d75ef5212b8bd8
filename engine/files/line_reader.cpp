// The line reader of the array and map file built-ins.
#include "engine/files/line_reader.h"

#include <cstring>

#include "engine/core/context.h"
#include "engine/files/drives.h"
#include "engine/files/file_handles.h"

namespace {

constexpr uint16_t ERR_NO_MEMORY = 1588;
constexpr uint16_t ERR_LINE_TOO_LONG = 1591;
constexpr uint16_t ERR_OPEN = 1800;
constexpr uint16_t ERR_READ = 1801;
constexpr uint16_t ERR_NUL = 1806;

// Lines up to the whole file (at most 32768 characters) fit, whatever the size.
constexpr uint64_t kLongestAutomaticLine = 32768;

char* LockedBlock(HGLOBAL* handle, uint32_t bytes)
{
    *handle = GlobalAlloc(GMEM_MOVEABLE, bytes);
    return *handle ? static_cast<char*>(GlobalLock(*handle)) : nullptr;
}

void FreeBlock(HGLOBAL* handle)
{
    if (!*handle) return;
    GlobalUnlock(*handle);
    GlobalFree(*handle);
    *handle = nullptr;
}

uint32_t BufferSizeFor(BDS* ctx, HANDLE file)
{
    int32_t setting = ctx->eng.ctl.FileReadBufferSize;
    if (setting >= 1) return static_cast<uint32_t>(setting);
    uint64_t size = 0;
    FileHandleSize(ctx, file, &size);
    uint32_t b = FileIoBufferSize(ctx, file);
    if (b <= size) b = static_cast<uint32_t>(size < kLongestAutomaticLine ? size + 1 : kLongestAutomaticLine + 1);
    return b;
}

// Reads the next block and filters it: NUL bytes refused, replaced or dropped, CR dropped.
int FillBlock(BDS* ctx, LineReader* r)
{
    int64_t got = FileHandleRead(r->file, r->raw, r->bufferSize);
    if (got < 0) {
        SetError(ctx, ERR_READ);
        return -1;
    }
    uint32_t out = 0;
    for (uint32_t i = 0; i < static_cast<uint32_t>(got); ++i) {
        char c = r->raw[i];
        if (c == 0) {
            if (!r->nulsAllowed) {
                SetError(ctx, ERR_NUL);
                return -1;
            }
            if (!r->nulReplacement) continue;
            c = r->nulReplacement;
        }
        if (c == '\r') continue;
        r->raw[out++] = c;
    }
    r->rawLength = out;
    r->rawPos = 0;
    return got == 0 ? 0 : 1;
}

}  // namespace

int LineReaderOpen(BDS* ctx, LineReader* reader, const wchar_t* fileName, char nulReplacement, bool nulsAllowed)
{
    std::memset(reader, 0, sizeof *reader);
    reader->file = INVALID_HANDLE_VALUE;
    {
        CriticalErrorsOff quiet;
        reader->file = FileHandleOpenW(fileName, GENERIC_READ, ctx->eng.ctl.ReadShareMode, OPEN_EXISTING, 0);
    }
    if (reader->file == INVALID_HANDLE_VALUE) {
        SetError(ctx, ERR_OPEN);
        return 0;
    }
    reader->bufferSize = BufferSizeFor(ctx, reader->file);
    reader->raw = LockedBlock(&reader->hRaw, reader->bufferSize + 1);
    reader->line = LockedBlock(&reader->hLine, reader->bufferSize + 1);
    if (!reader->raw || !reader->line) {
        LineReaderClose(reader);
        SetError(ctx, ERR_NO_MEMORY);
        return 0;
    }
    reader->nulReplacement = nulReplacement;
    reader->nulsAllowed = nulsAllowed;
    return 1;
}

int LineReaderRead(BDS* ctx, LineReader* r)
{
    r->lineLength = 0;
    r->line[0] = 0;
    if (r->atEnd) return 0;
    ++r->lineNumber;
    for (;;) {
        if (r->rawPos >= r->rawLength) {
            int filled = FillBlock(ctx, r);
            if (filled < 0) return -1;
            if (filled == 0) {
                r->atEnd = true;
                if (r->lineLength == 0) {
                    --r->lineNumber;
                    return 0;
                }
                return 1;
            }
            continue;
        }
        char c = r->raw[r->rawPos++];
        if (c == '\n') return 1;
        if (r->lineLength + 1 >= r->bufferSize) {
            SetError(ctx, ERR_LINE_TOO_LONG);
            return -1;
        }
        r->line[r->lineLength++] = c;
        r->line[r->lineLength] = 0;
    }
}

int LineReaderRewind(BDS* ctx, LineReader* r)
{
    if (FileHandleSeek(r->file, 0, nullptr, FILE_BEGIN) == 0xFFFFFFFFu) {
        SetError(ctx, ERR_READ);
        return 0;
    }
    r->rawLength = r->rawPos = r->lineLength = r->lineNumber = 0;
    r->atEnd = false;
    r->line[0] = 0;
    return 1;
}

void LineReaderClose(LineReader* reader)
{
    FreeBlock(&reader->hRaw);
    FreeBlock(&reader->hLine);
    reader->raw = reader->line = nullptr;
    FileHandleClose(reader->file);
    reader->file = INVALID_HANDLE_VALUE;
}
