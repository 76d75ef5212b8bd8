// Ranges between binary buffers: BinaryCopy, and BinaryAnd, BinaryOr and BinaryXor, which
// combine a source range into a target range byte by byte.
#include "engine/data/binary_internal.h"

using namespace binary;

namespace {

enum : uint16_t {
    ERR_COPY_OFFSETS = 3327,       // "BinaryCopy: Offset(s) beyond end of binary buffer(s)"
    ERR_COPY_TARGET = 3328,        // "BinaryCopy: Data to be copied will not fit in buffer"
    ERR_COPY_SOURCE = 3329,        // "BinaryCopy: Data to copy extends beyond end of buffer"
};

// Whether offset + count stays within 0..size (offset is 0 or more and below the size).
bool EndWithin(int64_t offset, int64_t count, int64_t size)
{
    return count >= 0 ? count <= size - offset : offset + count >= 0;
}

// Bytes go one at a time from the lowest offset upwards, so a copy within one buffer to a
// higher overlapping offset repeats the leading bytes (scripts use it to fill a range).
// The target's EOD is raised before the source range is checked.
void CaseCopy(BDS* ctx, BuiltinCall& call)
{
    BinaryBufferSlot *target, *source;
    if (!ArgSlots(ctx, call, 1, 3, &target, &source))
        return;
    int64_t targetOffset = ArgInt64(call, 2), sourceOffset = ArgInt64(call, 4), count = ArgInt64(call, 5);
    if (targetOffset < 0 || sourceOffset < 0) {
        SetError(ctx, ERR_BAD_OFFSET);
        return;
    }
    if (targetOffset >= target->size || sourceOffset >= source->size) {
        SetError(ctx, ERR_COPY_OFFSETS);
        return;
    }
    if (!EndWithin(targetOffset, count, target->size)) {
        SetError(ctx, ERR_COPY_TARGET);
        return;
    }
    BinaryRaiseEod(target, targetOffset + count);
    if (!EndWithin(sourceOffset, count, source->size)) {
        SetError(ctx, ERR_COPY_SOURCE);
        return;
    }
    uint8_t* to = target->data + targetOffset;
    const uint8_t* from = source->data + sourceOffset;
    for (int64_t i = 0; i < count; ++i)
        to[i] = from[i];
    SetResult64(ctx, call.result, count);
}

// Upwards, byte by byte: a range combined with an overlapping range of the same buffer
// sees the bytes already changed below it.
template <typename Op>
void Combine(uint8_t* to, const uint8_t* from, int64_t count, Op op)
{
    for (int64_t i = 0; i < count; ++i)
        to[i] = op(to[i], from[i]);
}

// BinaryAnd (297), BinaryOr (319), BinaryXor (351): both ranges must lie within data.
void CaseBitwise(BDS* ctx, BuiltinCall& call)
{
    BinaryBufferSlot *target, *source;
    if (!ArgSlots(ctx, call, 1, 3, &target, &source))
        return;
    int64_t count = ArgInt64(call, 5);
    const RangeOperand ranges[] = {{target, ArgInt64(call, 2)}, {source, ArgInt64(call, 4)}};
    if (!CheckRanges(ctx, ranges, 2, count, true))
        return;
    uint8_t* to = target->data + ranges[0].offset;
    const uint8_t* from = source->data + ranges[1].offset;
    if (call.id == 297)
        Combine(to, from, count, [](uint8_t a, uint8_t b) { return uint8_t(a & b); });
    else if (call.id == 319)
        Combine(to, from, count, [](uint8_t a, uint8_t b) { return uint8_t(a | b); });
    else
        Combine(to, from, count, [](uint8_t a, uint8_t b) { return uint8_t(a ^ b); });
    SetResultInt(ctx, call.result, 1);
}

const BuiltinRow kRows[] = {
    {297, CaseBitwise},   // binaryand
    {305, CaseCopy},      // binarycopy
    {319, CaseBitwise},   // binaryor
    {351, CaseBitwise},   // binaryxor
};

}  // namespace

const BuiltinFamily g_BinaryCopyBuiltins = {"binary buffer copies", kRows, int(sizeof(kRows) / sizeof(kRows[0]))};
