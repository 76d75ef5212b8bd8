// Binary buffer slots: handles, allocation and release, the DllStruct marks, the end of
// data, and the routines that read and write numbers and text at an offset, which the
// Binary... built-ins and the engine's other subsystems share.
#include "engine/data/binary_buffer.h"

#include <cstring>

#include "engine/core/numtext.h"
#include "engine/data/binary_internal.h"
#include "engine/data/text.h"
#include "engine/ui/message_box.h"

using namespace binary;

namespace {

enum : uint16_t {
    ERR_ALLOC = 1126,          // "BinaryAlloc: Could not allocate (or lock) binary buffer"
    ERR_TOO_MANY = 3024,       // "BinaryData: Too many open Binary Data Handles"
    ERR_EOD_BEYOND = 3127,     // "BinaryEODSet: Set value beyond end of buffer"
    ERR_PEEK_BEYOND = 3325,    // "BinaryPeek/Poke/Incr: Offset is beyond end of binary buffer"
    ERR_POKE_RANGE = 3326,     // "BinaryPoke: Value to poke is outside the allowable range"
    ERR_BAD_VALUE = 1824,      // "Invalid value"
    ERR_PEEKSTR = 2331,        // "BinaryPeekStr: Data request extends beyond end of binary buffer"
};

BinaryBufferSlot* SlotAt(BDS* ctx, int64_t handle)
{
    int64_t index = handle - int64_t(BINARY_HANDLE_BASE);
    if (index < 0 || index >= MAX_BINARY_BUFFERS)
        return nullptr;
    BinaryBufferSlot* slot = &ctx->data.buffers[index];
    return slot->hMem ? slot : nullptr;
}

void ReleaseSlot(BinaryBufferSlot& slot)
{
    if (slot.hMem) {
        GlobalUnlock(slot.hMem);
        GlobalFree(slot.hMem);
    }
    slot = BinaryBufferSlot{};
}

// The slot of a handle and the end of a value of `width` bytes at `offset` in it, after
// the checks every number access makes: 1548 for an offset below 0 or an overflowing end,
// 3325 for an end beyond the size. The EOD is raised to the end (also for a peek).
BinaryBufferSlot* ValueSlot(BDS* ctx, int64_t handle, int64_t offset, int width)
{
    BinaryBufferSlot* slot = BinarySlotOf(ctx, handle);
    if (!slot)
        return nullptr;
    int64_t end = RangeEnd(offset, width);
    if (end < 0) {
        SetError(ctx, ERR_BAD_OFFSET);
        return nullptr;
    }
    if (end > slot->size) {
        SetError(ctx, ERR_PEEK_BEYOND);
        return nullptr;
    }
    BinaryRaiseEod(slot, end);
    return slot;
}

uint32_t ReadLittleEndian(const uint8_t* p, int width)
{
    uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = (value << 8) | p[i];
    return value;
}

void WriteLittleEndian(uint8_t* p, uint32_t value, int width)
{
    for (int i = 0; i < width; ++i, value >>= 8)
        p[i] = uint8_t(value);
}

// A poke value that its low bits give back, widened with 0s (0 or more) or 1s (below 0):
// width 1 takes -256..255, width 2 -65536..65535.
bool PokeValueFits(int32_t value, int width)
{
    if (width == 4)
        return true;
    uint32_t mask = width == 1 ? 0xFFu : 0xFFFFu;
    uint32_t bits = uint32_t(value);
    return value >= 0 ? (bits & ~mask) == 0 : (bits | mask) == 0xFFFFFFFFu;
}

// 0 with 3096 when the string heap is exhausted.
int SetDecimalResult(BDS* ctx, resultants* result, int64_t value, bool wide)
{
    char text[INT_TEXT_SIZE];
    int n = Int64ToTextA(value, text, 10);
    if (wide) {
        wchar_t wtext[INT_TEXT_SIZE];
        for (int i = 0; i <= n; ++i)
            wtext[i] = wchar_t(uint8_t(text[i]));
        return SetResultWText(ctx, result, wtext, size_t(n));
    }
    return SetResultText(ctx, result, text, size_t(n));
}

// The value in the result form of DoBinaryPeekPoke8; false with 3096.
bool SetPeek8Result(BDS* ctx, resultants* result, int64_t value, uint32_t form)
{
    if (form == VF_INT64) {
        SetResultInt64(ctx, result, value);
        return true;
    }
    if (form != VF_STRING && form != VF_UNICODE && value >= INT32_MIN && value <= INT32_MAX) {
        SetResultInt(ctx, result, int32_t(value));
        return true;
    }
    return SetDecimalResult(ctx, result, value, form == VF_UNICODE) != 0;
}

}  // namespace

// ---------------------------------------------------------------- handles and slots

BinaryBufferSlot* BinarySlotQuiet(BDS* ctx, int64_t handle) { return SlotAt(ctx, handle); }

BinaryBufferSlot* BinarySlotOf(BDS* ctx, int64_t handle)
{
    BinaryBufferSlot* slot = SlotAt(ctx, handle);
    if (!slot)
        SetError(ctx, ERR_BAD_HANDLE);
    return slot;
}

int BinaryHandleToSlot(BDS* ctx, int64_t handle)
{
    BinaryBufferSlot* slot = BinarySlotOf(ctx, handle);
    return slot ? int(slot - ctx->data.buffers) : BINARY_NO_SLOT;
}

bool IsBinaryHandleValue(const ValueHead* value)
{
    return (value->flags & (VF_INT | VF_BINBUF)) == (VF_INT | VF_BINBUF);
}

int32_t DoBinaryAlloc(BDS* ctx, int64_t size)
{
    BinaryBufferSlot* free = nullptr;
    for (BinaryBufferSlot& slot : ctx->data.buffers)
        if (!slot.hMem) {
            free = &slot;
            break;
        }
    if (!free) {
        SetError(ctx, ERR_TOO_MANY);
        return 0;
    }
    // A buffer of no bytes would have no address to give native code: refused like a
    // negative size.
    if (size < 1 || uint64_t(size) > SIZE_MAX) {
        SetError(ctx, ERR_ALLOC);
        return 0;
    }
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SIZE_T(size));
    void* data = block ? GlobalLock(block) : nullptr;
    if (!data) {
        if (block)
            GlobalFree(block);
        SetError(ctx, ERR_ALLOC);
        return 0;
    }
    *free = BinaryBufferSlot{};
    free->hMem = block;
    free->data = static_cast<uint8_t*>(data);
    free->size = size;
    return int32_t(BINARY_HANDLE_BASE + (free - ctx->data.buffers));
}

int32_t DoBinaryFree(BDS* ctx, int64_t handle)
{
    if (StructUsesBuffer(ctx, handle))
        return 0;
    BinaryBufferSlot* slot = BinarySlotOf(ctx, handle);
    if (slot)
        ReleaseSlot(*slot);
    return 0;
}

void BinaryFreeAll(BDS* ctx)
{
    for (BinaryBufferSlot& slot : ctx->data.buffers)
        ReleaseSlot(slot);
}

bool BinaryStructUse(BDS* ctx, int64_t handle)
{
    BinaryBufferSlot* slot = BinarySlotOf(ctx, handle);
    if (slot)
        ++slot->structUses;
    return slot != nullptr;
}

void BinaryStructRelease(BDS* ctx, int64_t handle)
{
    BinaryBufferSlot* slot = SlotAt(ctx, handle);
    if (slot && slot->structUses)
        --slot->structUses;
}

bool StructUsesBuffer(BDS* ctx, int64_t handle)
{
    BinaryBufferSlot* slot = SlotAt(ctx, handle);
    return slot && slot->structUses;
}

int64_t BinarySetEod(BDS* ctx, int64_t handle, int64_t eod)
{
    BinaryBufferSlot* slot = BinarySlotOf(ctx, handle);
    if (!slot)
        return -1;
    if (eod > slot->size) {
        SetError(ctx, ERR_EOD_BEYOND);
        return -1;
    }
    if (eod < 0) {
        SetError(ctx, ERR_BAD_OFFSET);
        return -1;
    }
    int64_t previous = slot->eod;
    slot->eod = eod;
    return previous;
}

// ---------------------------------------------------------------- numbers

int32_t DoBinaryPeekPoke(BDS* ctx, int64_t handle, bool poke, int64_t offset, int32_t value,
                         bool increment, int width)
{
    if (width != 1 && width != 2 && width != 4) {
        ShowMessageBox(ctx, ctx->hwndParent, "Invalid case in BinaryPeek/Poke/Incr", "ZAL Internal Error",
                       MB_OK | MB_ICONSTOP);
        SetError(ctx, ERR_INTERNAL);
        return 0;
    }
    BinaryBufferSlot* slot = ValueSlot(ctx, handle, offset, width);
    if (!slot)
        return 0;
    uint8_t* p = slot->data + offset;
    uint32_t current = ReadLittleEndian(p, width);
    if (poke) {
        if (!PokeValueFits(value, width)) {
            SetError(ctx, ERR_POKE_RANGE);
            return 0;
        }
        WriteLittleEndian(p, uint32_t(value), width);
        return int32_t(current);
    }
    if (increment) {
        uint32_t next = current + 1;   // the carry out of the width is dropped when written
        WriteLittleEndian(p, next, width);
        return int32_t(next);
    }
    return int32_t(current);
}

void DoBinaryPeekPoke8(BDS* ctx, resultants* result, int64_t handle, int64_t offset, uint32_t form,
                       ValueHead* value)
{
    BinaryBufferSlot* slot = ValueSlot(ctx, handle, offset, 8);
    if (!slot)
        return;
    int64_t next = 0;
    if (value && !ValueToInt64(ctx, value, &next, true)) {
        SetError(ctx, ERR_BAD_VALUE);
        return;
    }
    uint8_t* p = slot->data + offset;
    int64_t current;
    std::memcpy(&current, p, 8);   // little-endian like the machine
    if (result && !SetPeek8Result(ctx, result, current, form))
        return;
    if (value)
        std::memcpy(p, &next, 8);
}

void DoBinaryPeekPokeFlt(BDS* ctx, resultants* result, int64_t handle, int64_t offset,
                         FloatAccess access, double value)
{
    BinaryBufferSlot* slot = ValueSlot(ctx, handle, offset, 8);
    if (!slot)
        return;
    uint8_t* p = slot->data + offset;
    double current;
    std::memcpy(&current, p, 8);
    double answer = current;
    if (access == FloatAccess::Poke) {
        std::memcpy(p, &value, 8);
    } else if (access == FloatAccess::Increment) {
        answer = current + 1.0;
        std::memcpy(p, &answer, 8);
    }
    SetResultFloat(ctx, result, answer);
}

// ---------------------------------------------------------------- text

void DoBinaryPeekStr(BDS* ctx, resultants* result, int64_t handle, int64_t offset, int32_t maxsize,
                     bool setEod)
{
    BinaryBufferSlot* slot = BinarySlotOf(ctx, handle);
    if (!slot)
        return;
    if (offset < 0 || maxsize < 0) {
        SetError(ctx, ERR_PEEKSTR);
        return;
    }
    if (offset == slot->eod && maxsize == 0) {
        SetResultText(ctx, result, "", 0);
        return;
    }
    if (offset >= slot->size) {
        SetError(ctx, ERR_PEEKSTR);
        return;
    }
    if (setEod) {
        int64_t end = offset + maxsize;   // both below 2^63 and 2^31: no overflow
        slot->eod = end < slot->size ? end : slot->size;
    }
    int64_t available = slot->eod > offset ? slot->eod - offset : 0;
    int64_t n = maxsize < available ? maxsize : available;
    const char* text = reinterpret_cast<const char*>(slot->data + offset);
    SetResultText(ctx, result, text, strnlen(text, size_t(n)));
}

// ---------------------------------------------------------------- helpers of the built-ins

namespace binary {

bool CheckRanges(BDS* ctx, const RangeOperand* operands, int n, int64_t count, bool withEod)
{
    auto fail = [ctx](uint16_t error) {
        SetError(ctx, error);
        return false;
    };
    for (int i = 0; i < n; ++i)
        if (operands[i].offset < 0) return fail(ERR_BAD_OFFSET);
    if (count < 0) return fail(ERR_BAD_COUNT);
    for (int i = 0; i < n; ++i)
        if (operands[i].offset >= operands[i].slot->size) return fail(ERR_OFFSETS_BEYOND_SIZE);
    if (withEod)
        for (int i = 0; i < n; ++i)
            if (operands[i].offset >= operands[i].slot->eod) return fail(ERR_OFFSET_BEYOND_EOD);
    for (int i = 0; i < n; ++i) {
        int64_t end = RangeEnd(operands[i].offset, count);
        if (end < 0 || end > operands[i].slot->size) return fail(ERR_COUNT_BEYOND_SIZE);
    }
    if (withEod)
        for (int i = 0; i < n; ++i)
            if (operands[i].offset + count > operands[i].slot->eod) return fail(ERR_COUNT_BEYOND_EOD);
    return true;
}

const uint8_t* AnsiUpperTable() { return TextTables(nullptr).upper; }

bool BytesMatch(const uint8_t* p, const uint8_t* pattern, int64_t length, bool noCase)
{
    if (!noCase)
        return std::memcmp(p, pattern, size_t(length)) == 0;
    const uint8_t* upper = AnsiUpperTable();
    for (int64_t i = 0; i < length; ++i)
        if (upper[p[i]] != upper[pattern[i]])
            return false;
    return true;
}

}  // namespace binary
