// Looking into binary buffers: BinaryIndex, BinaryIndexNc, BinaryIndexEx, BinaryIndexBin,
// BinaryStrCnt and BinaryCompare. They read bytes 0..EOD-1 and change nothing.
#include <cstdlib>
#include <cstring>
#include <utility>

#include "engine/core/locked_global.h"
#include "engine/core/text_length.h"
#include "engine/data/binary_internal.h"

using namespace binary;

namespace {

enum : uint16_t {
    ERR_INDEX_BEYOND = 3333,       // "BinaryIndex: Offset is beyond end of binary buffer"
    ERR_ITEM_KIND = 1714,          // "BinaryIndexBin: 'item' must be a hex string or binary buffer"
    ERR_ITEM_HEX = 1715,           // "BinaryIndexBin: 'item' is not a valid hex string"
};

// The nearest byte that is not zero from start in the direction; -1 when there is none.
int64_t FindNonZero(const BinaryBufferSlot* slot, int64_t start, bool backward)
{
    const uint8_t* d = slot->data;
    if (!backward) {
        for (int64_t p = start; p < slot->eod; ++p)
            if (d[p]) return p;
        return -1;
    }
    for (int64_t p = start < slot->eod ? start : slot->eod - 1; p >= 0; --p)
        if (d[p]) return p;
    return -1;
}

// The first match of the pattern from `start` (below the size): forwards the candidates run
// from start up, backwards from the one that ends at start down to 0; a match lies within
// the data. An empty pattern matches the nearest byte that is not zero. -1 when none.
int64_t SearchBytes(const BinaryBufferSlot* slot, int64_t start, const uint8_t* pattern, int64_t n, bool backward,
                    bool noCase)
{
    if (n == 0)
        return FindNonZero(slot, start, backward);
    const uint8_t* d = slot->data;
    int64_t last = slot->eod - n;   // the last candidate that keeps a match within the data
    if (!backward) {
        if (start > last)
            return -1;
        if (!noCase) {
            for (int64_t p = start; p <= last;) {
                const void* hit = std::memchr(d + p, pattern[0], size_t(last - p + 1));
                if (!hit)
                    return -1;
                p = static_cast<const uint8_t*>(hit) - d;
                if (std::memcmp(d + p + 1, pattern + 1, size_t(n - 1)) == 0)
                    return p;
                ++p;
            }
            return -1;
        }
        for (int64_t p = start; p <= last; ++p)
            if (BytesMatch(d + p, pattern, n, true)) return p;
        return -1;
    }
    if (start < n)
        return -1;
    int64_t p = start - n + 1;
    for (p = p < last ? p : last; p >= 0; --p)
        if (BytesMatch(d + p, pattern, n, noCase)) return p;
    return -1;
}

// The slot of argument 1 and a start offset below its size; null with 3023, 1548 or 3333.
BinaryBufferSlot* SearchSlot(BDS* ctx, const BuiltinCall& call, int64_t start)
{
    BinaryBufferSlot* slot = ArgSlot(ctx, call, 1);
    if (!slot)
        return nullptr;
    if (start < 0) {
        SetError(ctx, ERR_BAD_OFFSET);
        return nullptr;
    }
    if (start >= slot->size) {
        SetError(ctx, ERR_INDEX_BEYOND);
        return nullptr;
    }
    return slot;
}

// BinaryIndex (314) and BinaryIndexNc (317) answer 0 when nothing is found, BinaryIndexEx
// (316) answers -1.
void CaseIndex(BDS* ctx, BuiltinCall& call)
{
    int64_t start = ArgInt64(call, 2);
    BinaryBufferSlot* slot = SearchSlot(ctx, call, start);
    if (!slot)
        return;
    const char* text = ArgText(ctx, call, 3);
    bool noCase = call.id == 317 || (call.id == 316 && ArgInt(call, 5) == 0);
    int64_t found = SearchBytes(slot, start, reinterpret_cast<const uint8_t*>(text), int64_t(TextLength(text)),
                                ArgInt(call, 4) != 0, noCase);
    SetResult64(ctx, call.result, found >= 0 ? found : call.id == 316 ? -1 : 0);
}

// The item is hex text (pairs of digits) or another buffer whose data is the pattern.
void CaseIndexBin(BDS* ctx, BuiltinCall& call)
{
    int64_t start = ArgInt64(call, 2);
    BinaryBufferSlot* slot = SearchSlot(ctx, call, start);
    if (!slot)
        return;
    resultants& item = call.args[3];
    bool backward = ArgInt(call, 4) != 0;
    bool noCase = ArgInt(call, 5) == 0;
    if (item.flags & (VF_STRING | VF_UNICODE)) {
        if (!(item.flags & VF_STRING) && !ValueToString(ctx, &item))
            return;
        const char* hex = ValueText(ctx, &item);
        size_t digits = TextLength(hex);
        if (digits == 0) {
            SetResult64(ctx, call.result, start);
            return;
        }
        if (digits % 2 || std::strspn(hex, "0123456789ABCDEFabcdef") != digits) {
            SetError(ctx, ERR_ITEM_HEX);
            return;
        }
        LockedGlobal pattern(digits / 2);
        if (!pattern.data) {
            SetError(ctx, ERR_NO_MEMORY);
            return;
        }
        auto* bytes = pattern.As<uint8_t>();
        for (size_t i = 0; i < digits / 2; ++i) {
            char pair[3] = {hex[2 * i], hex[2 * i + 1], 0};
            bytes[i] = uint8_t(std::strtoul(pair, nullptr, 16));
        }
        SetResult64(ctx, call.result, SearchBytes(slot, start, bytes, int64_t(digits / 2), backward, noCase));
        return;
    }
    if (!IsBinaryHandleValue(&item)) {
        SetError(ctx, ERR_ITEM_KIND);
        return;
    }
    BinaryBufferSlot* other = BinarySlotOf(ctx, item.i32);
    if (!other)
        return;
    if (other->eod == 0) {
        SetResult64(ctx, call.result, start);
        return;
    }
    SetResult64(ctx, call.result, SearchBytes(slot, start, other->data, other->eod, backward, noCase));
}

// Occurrences that begin from start to end (either order) and do not overlap; a match may
// reach past the end offset but not past the data.
void CaseStrCnt(BDS* ctx, BuiltinCall& call)
{
    int64_t start = ArgInt64(call, 2), end = ArgInt64(call, 3);
    if (start < 0 || end < 0) {
        SetError(ctx, ERR_INDEX_BEYOND);
        return;
    }
    BinaryBufferSlot* slot = ArgSlot(ctx, call, 1);
    if (!slot)
        return;
    if (start > end)
        std::swap(start, end);
    if (end >= slot->size) {
        SetError(ctx, ERR_INDEX_BEYOND);
        return;
    }
    if (end >= slot->eod) {
        SetError(ctx, ERR_OFFSET_BEYOND_EOD);
        return;
    }
    const char* text = ArgText(ctx, call, 4);
    int64_t n = int64_t(TextLength(text));
    int64_t count = 0;
    if (n > 0) {
        for (int64_t p = start; p <= end && p <= slot->eod - n;) {
            if (std::memcmp(slot->data + p, text, size_t(n)) == 0) {
                ++count;
                p += n;
            } else {
                ++p;
            }
        }
    }
    SetResult64(ctx, call.result, count);
}

// Ranges that reach past either EOD are different (0) without an error.
void CaseCompare(BDS* ctx, BuiltinCall& call)
{
    BinaryBufferSlot *first, *second;
    if (!ArgSlots(ctx, call, 1, 3, &first, &second))
        return;
    int64_t count = ArgInt64(call, 5);
    const RangeOperand ranges[] = {{first, ArgInt64(call, 2)}, {second, ArgInt64(call, 4)}};
    if (!CheckRanges(ctx, ranges, 2, count, false))
        return;
    bool equal = ranges[0].offset + count <= first->eod && ranges[1].offset + count <= second->eod &&
                 (count == 0 ||
                  std::memcmp(first->data + ranges[0].offset, second->data + ranges[1].offset, size_t(count)) == 0);
    SetResult64(ctx, call.result, equal ? 1 : 0);
}

const BuiltinRow kRows[] = {
    {303, CaseCompare},    // binarycompare
    {314, CaseIndex},      // binaryindex
    {315, CaseIndexBin},   // binaryindexbin
    {316, CaseIndex},      // binaryindexex
    {317, CaseIndex},      // binaryindexnc
    {340, CaseStrCnt},     // binarystrcnt
};

}  // namespace

const BuiltinFamily g_BinarySearchBuiltins = {"binary buffer search", kRows, int(sizeof(kRows) / sizeof(kRows[0]))};
