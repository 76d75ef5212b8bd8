// FileRead: one line at a time from an ANSI or a UTF-16 slot, through the slot's read
// buffer (one ReadFile per buffer) or, with IntControl 65 set to 0, a unit at a time.
#include "engine/files/file_io.h"

#include "engine/core/context.h"
#include "engine/files/file_handles.h"
#include "engine/files/file_text.h"

namespace {

enum : uint16_t {
    ERR_NO_MEMORY = 1588,
    ERR_LINE_TOO_LONG = 1591,
    ERR_NOT_FOR_READING = 3087,
    ERR_PAST_END = 3088,
    ERR_NO_STRING_SPACE = 3096,
};

constexpr uint32_t UNBUFFERED_LINE_LIMIT = 1280;   // the 1280th character is one too many
constexpr int CTRL_Z = 26;

// The slot's read position and start for one character width.
template <typename Ch> struct SlotChars;
template <> struct SlotChars<char> {
    static char*& start(FileSlot& slot) { return slot.ansiStart; }
    static char*& pos(FileSlot& slot) { return slot.ansiPos; }
};
template <> struct SlotChars<wchar_t> {
    static wchar_t*& start(FileSlot& slot) { return slot.wideStart; }
    static wchar_t*& pos(FileSlot& slot) { return slot.widePos; }
};

inline char Swapped(char c) { return c; }
inline wchar_t Swapped(wchar_t c) { return static_cast<wchar_t>((c >> 8) | (c << 8)); }

// The slot's working line, made on first use and kept until the slot closes.
template <typename Ch>
Ch* WorkingLine(FileSlot& slot, uint32_t limit)
{
    uint32_t need = limit + 1;
    if (slot.lineBlock && slot.lineCapacity >= need)
        return static_cast<Ch*>(slot.lineBlock);
    if (slot.lineBlock)
        HeapFree(GetProcessHeap(), 0, slot.lineBlock);
    slot.lineBlock = HeapAlloc(GetProcessHeap(), 0, static_cast<SIZE_T>(need) * sizeof(Ch));
    slot.lineCapacity = slot.lineBlock ? need : 0;
    return static_cast<Ch*>(slot.lineBlock);
}

// Keeps every character but NUL, in place; answers the count kept.
template <typename Ch>
uint32_t DropNuls(Ch* text, uint32_t count, bool swap)
{
    uint32_t kept = 0;
    for (uint32_t i = 0; i < count; ++i) {
        Ch c = text[i];
        if (c)
            text[kept++] = swap ? Swapped(c) : c;
    }
    return kept;
}

// Reads the next block into the slot buffer. False when the read failed; *ended when the
// file had no more data.
bool Refill(FileSlot& slot, char*, bool* ended)
{
    int64_t got = FileHandleRead(slot.handle, slot.ansiStart, slot.bufferSize);
    if (got < 0)
        return false;
    uint32_t kept = DropNuls(slot.ansiStart, static_cast<uint32_t>(got), false);
    slot.ansiStart[kept] = 0;
    slot.ansiPos = slot.ansiStart;
    *ended = got == 0;
    return true;
}

bool Refill(FileSlot& slot, wchar_t*, bool* ended)
{
    int64_t got = FileHandleRead(slot.handle, slot.wideStart, slot.bufferSize * 2);
    if (got < 0)
        return false;
    if (got & 1) {
        // Half a unit: read it again with its other half next time, or drop it at the end.
        if (got == 1)
            got = 0;
        else if (FileHandleSeek(slot.handle, -1, nullptr, FILE_CURRENT) != INVALID_SET_FILE_POINTER)
            --got;
    }
    uint32_t units = static_cast<uint32_t>(got) / 2;
    uint32_t kept = DropNuls(slot.wideStart, units, slot.encoding == FSE_UTF16BE);
    slot.wideStart[kept] = 0;
    slot.widePos = slot.wideStart;
    *ended = units == 0;
    return true;
}

enum class LineEnd { Complete, DataEnded, Failed };

template <typename Ch>
LineEnd ReadBuffered(BDS* ctx, FileSlot& slot, Ch* line, uint32_t limit, uint32_t* length)
{
    Ch*& pos = SlotChars<Ch>::pos(slot);
    uint32_t n = 0;
    for (;;) {
        Ch c = *pos;
        if (c == 0) {
            bool ended = false;
            if (!Refill(slot, static_cast<Ch*>(nullptr), &ended)) {
                SetError(ctx, ERR_PAST_END);
                return LineEnd::Failed;
            }
            if (ended) {
                *length = n;
                return LineEnd::DataEnded;
            }
            continue;
        }
        if (c == Ch('\n')) {
            ++pos;
            *length = n;
            return LineEnd::Complete;
        }
        if (c == Ch('\r')) {
            ++pos;
            continue;
        }
        if (c == Ch(CTRL_Z)) {
            *length = n;
            return LineEnd::DataEnded;
        }
        line[n++] = c;
        ++pos;
        if (n >= limit) {
            SetError(ctx, ERR_LINE_TOO_LONG);
            return LineEnd::Failed;
        }
    }
}

template <typename Ch>
LineEnd ReadUnbuffered(BDS* ctx, FileSlot& slot, Ch* line, uint32_t limit, uint32_t* length)
{
    bool swap = slot.encoding == FSE_UTF16BE;
    uint32_t n = 0;
    for (;;) {
        Ch c = 0;
        int64_t got = FileHandleRead(slot.handle, &c, sizeof c);
        if (got < 0) {
            SetError(ctx, ERR_PAST_END);
            return LineEnd::Failed;
        }
        if (got < static_cast<int64_t>(sizeof c)) {
            *length = n;
            return LineEnd::DataEnded;
        }
        if (swap)
            c = Swapped(c);
        if (c == Ch(CTRL_Z)) {
            *length = n;
            return LineEnd::DataEnded;
        }
        if (c == Ch('\n')) {
            *length = n;
            return LineEnd::Complete;
        }
        if (c == Ch('\r') || c == 0)
            continue;
        line[n++] = c;
        if (n >= limit) {
            SetError(ctx, ERR_LINE_TOO_LONG);
            return LineEnd::Failed;
        }
    }
}

void SetLine(BDS* ctx, resultants* result, bool wide, const char* line, uint32_t length)
{
    if (!wide) {
        SetResultText(ctx, result, line, length);
        return;
    }
    uint64_t offset = HeapCopyNarrowAsWide(ctx, line, length);
    if (!offset) {
        SetError(ctx, ERR_NO_STRING_SPACE);
        return;
    }
    SetResultHeapWText(ctx, result, offset);
}

void SetLine(BDS* ctx, resultants* result, bool wide, const wchar_t* line, uint32_t length)
{
    if (wide) {
        SetResultWText(ctx, result, line, length);
        return;
    }
    uint64_t offset = HeapCopyWideAsNarrow(ctx, line, length);
    if (!offset) {
        SetError(ctx, ERR_NO_STRING_SPACE);
        return;
    }
    SetResultHeapText(ctx, result, offset);
}

// "*EOF*", in the width the slot answers lines in.
void GiveEof(BDS* ctx, resultants* result, FileSlot& slot)
{
    slot.mode |= FSM_EOF_GIVEN;
    if (slot.wideResult)
        SetResultWText(ctx, result, L"*EOF*");
    else
        SetResultText(ctx, result, "*EOF*");
}

template <typename Ch>
void ReadLine(BDS* ctx, resultants* result, int index)
{
    FileSlot& slot = ctx->files.slots[index];
    if (!(slot.mode & FSM_READ)) {
        SetError(ctx, ERR_NOT_FOR_READING);
        return;
    }
    if (slot.mode & FSM_EOF_GIVEN) {
        SetError(ctx, ERR_PAST_END);
        return;
    }
    if (slot.mode & FSM_AT_END) {
        GiveEof(ctx, result, slot);
        return;
    }
    uint32_t limit = slot.bufferSize ? slot.bufferSize : UNBUFFERED_LINE_LIMIT;
    Ch* line = WorkingLine<Ch>(slot, limit);
    if (!line) {
        SetError(ctx, ERR_NO_MEMORY);   // the buffered text stays for the next call
        return;
    }
    uint32_t length = 0;
    LineEnd end = slot.bufferSize ? ReadBuffered(ctx, slot, line, limit, &length)
                                  : ReadUnbuffered(ctx, slot, line, limit, &length);
    if (end == LineEnd::Failed)
        return;
    if (end == LineEnd::DataEnded) {
        slot.mode |= FSM_AT_END;
        if (length == 0) {
            GiveEof(ctx, result, slot);
            return;
        }
    }
    SetLine(ctx, result, slot.wideResult != 0, line, length);
}

}  // namespace

void DoFileReadA(BDS* ctx, resultants* result, int slot)
{
    ReadLine<char>(ctx, result, slot);
}

void DoFileReadW(BDS* ctx, resultants* result, int slot)
{
    ReadLine<wchar_t>(ctx, result, slot);
}
