// What the files of the Binary... built-ins share: the common error numbers, the range
// checks, the result setters and the byte comparison that ignores case.
#pragma once

#include <cstdint>

#include "engine/core/builtin.h"
#include "engine/core/router.h"
#include "engine/data/binary_buffer.h"
#include "engine/data/text.h"   // NewResultTextA, NewResultTextW

namespace binary {

enum : uint16_t {
    ERR_BAD_HANDLE = 3023,         // "BinaryData: Invalid Binary Data handle passed"
    ERR_OFFSETS_BEYOND_SIZE = 1543,
    ERR_COUNT_BEYOND_SIZE = 1544,
    ERR_OFFSET_BEYOND_FILE = 1545,
    ERR_FILE_SEEK = 1547,
    ERR_BAD_OFFSET = 1548,         // "Binary functions: Invalid offset"
    ERR_BAD_COUNT = 1549,
    ERR_OFFSET_BEYOND_EOD = 1550,
    ERR_COUNT_BEYOND_EOD = 1551,
    ERR_SCRATCH_MEMORY = 1552,     // "BinaryWriteEx: Unable to allocate (or lock) memory"
    ERR_NO_MEMORY = 1588,          // "Unable to allocate or lock memory"
    ERR_INTERNAL = 1425,           // "ZAL Internal Error"
};

// A 64-bit result, made a plain integer when it fits 32 bits.
inline void SetResult64(BDS* ctx, resultants* result, int64_t value)
{
    SetResultInt64(ctx, result, value);
    NarrowInt64Result(result);
}

// The slot of the handle in argument i, or null with 3023.
inline BinaryBufferSlot* ArgSlot(BDS* ctx, const BuiltinCall& call, int i)
{
    return BinarySlotOf(ctx, ArgInt(call, i));
}

// The slots of the handles in arguments i and j, checked in that order; false with 3023.
inline bool ArgSlots(BDS* ctx, const BuiltinCall& call, int i, int j, BinaryBufferSlot** first,
                     BinaryBufferSlot** second)
{
    return (*first = ArgSlot(ctx, call, i)) != nullptr && (*second = ArgSlot(ctx, call, j)) != nullptr;
}

// offset + count when it neither overflows nor goes below 0; else -1.
inline int64_t RangeEnd(int64_t offset, int64_t count)
{
    if (offset < 0) return -1;
    if (count > 0 && offset > INT64_MAX - count) return -1;
    int64_t end = offset + count;
    return end < 0 ? -1 : end;
}

// The checks of a range read in place (And, Or, Xor, Compare), in their order: offset
// below 0 1548, count below 0 1549, offset at or beyond the size 1543, at or beyond EOD
// 1550 (withEod), end beyond the size 1544, beyond EOD 1551 (withEod). Each operand's
// offset is checked before the next kind of check, so two operands go through together.
struct RangeOperand {
    const BinaryBufferSlot* slot;
    int64_t offset;
};
bool CheckRanges(BDS* ctx, const RangeOperand* operands, int n, int64_t count, bool withEod);

// The system's ANSI upper-casing of one byte value (CharUpperA on the byte).
const uint8_t* AnsiUpperTable();

// Whether the pattern matches at p; case is ignored through AnsiUpperTable when noCase.
bool BytesMatch(const uint8_t* p, const uint8_t* pattern, int64_t length, bool noCase);

}  // namespace binary

// The families of the Binary... built-ins (one per file).
extern const BuiltinFamily g_BinaryBufferBuiltins;     // slots and numbers
extern const BuiltinFamily g_BinaryTextBuiltins;       // strings and hex text
extern const BuiltinFamily g_BinaryCopyBuiltins;       // copies and bitwise combinations
extern const BuiltinFamily g_BinaryFileBuiltins;       // files
extern const BuiltinFamily g_BinaryClipBuiltins;       // the clipboard
extern const BuiltinFamily g_BinarySearchBuiltins;     // search, count, compare
extern const BuiltinFamily g_BinaryTransformBuiltins;  // replace, translate, convert
extern const BuiltinFamily g_BinaryTagBuiltins;        // tags
extern const BuiltinFamily g_BinaryRecordBuiltins;     // record sort, hashed records
extern const BuiltinFamily g_BinaryCompressBuiltins;   // compression
extern const BuiltinFamily g_BinaryChecksumBuiltins;   // checksums
