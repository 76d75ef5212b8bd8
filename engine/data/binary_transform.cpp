// Rewriting the data of a binary buffer as a whole: BinaryReplace, BinaryXlate (translation
// through a table buffer) and BinaryConvert (character sets and case). Each builds its
// output beside the data and replaces the data only when the whole operation succeeded.
#include <cstring>

#include "engine/core/locked_global.h"
#include "engine/core/text_length.h"
#include "engine/data/binary_internal.h"

using namespace binary;

namespace {

enum : uint16_t {
    ERR_REPLACE_OVERRUN = 1614,    // "BinaryReplace: Data to store would overrun binary buffer"
    ERR_XLATE_MODE = 1656,         // "BinaryXlate: Invalid 'mode'"
    ERR_XLATE_TABLE_0 = 1657,      // 1657..1660: the table for mode 0..3 has the wrong length
    ERR_XLATE_ODD = 1661,          // "BinaryXlate: Data buffer must contain an even number of bytes for modes 2-3"
    ERR_XLATE_MEMORY = 1662,       // "BinaryXlate: Unable to allocate (or lock) memory"
    ERR_XLATE_ROOM = 1663,         // "BinaryXlate: Insufficient free space in binary buffer"
    ERR_CONVERT_TYPE = 1553,       // "BinaryConvert: Invalid type"
    ERR_CONVERT_FLAGS = 1554,      // "BinaryConvert: Invalid flags"
    ERR_CONVERT_ROOM = 1556,       // "BinaryConvert: Insufficient free space in binary buffer"
    ERR_CONVERT = 1557,            // "BinaryConvert: Error converting buffer"
};

// Puts new data in place of the old and makes its length the EOD; with clearRest the bytes
// past it become zero, else they keep what they held.
void ReplaceData(BinaryBufferSlot* slot, const uint8_t* data, int64_t length, bool clearRest)
{
    std::memcpy(slot->data, data, size_t(length));
    if (clearRest)
        std::memset(slot->data + length, 0, size_t(slot->size - length));
    slot->eod = length;
}

// ---------------------------------------------------------------- BinaryReplace

// Every occurrence of the search text (an empty one matches each zero byte) becomes the
// replacement; the count of replacements is the result.
void CaseReplace(BDS* ctx, BuiltinCall& call)
{
    BinaryBufferSlot* slot = ArgSlot(ctx, call, 1);
    if (!slot)
        return;
    const auto* search = reinterpret_cast<const uint8_t*>(ArgText(ctx, call, 2));
    const char* replacement = ArgText(ctx, call, 3);
    bool noCase = ArgInt(call, 4) == 0;
    LockedGlobal scratch(SIZE_T(slot->size), GMEM_MOVEABLE);
    if (!scratch.data) {
        SetError(ctx, ERR_NO_MEMORY);
        return;
    }
    if (slot->eod == 0) {
        std::memset(slot->data, 0, size_t(slot->size));
        SetResultInt(ctx, call.result, 0);
        return;
    }
    int64_t searchLength = int64_t(TextLength(reinterpret_cast<const char*>(search)));
    int64_t replacementLength = int64_t(TextLength(replacement));
    int64_t room = slot->size - slot->eod;
    auto* out = scratch.As<uint8_t>();
    int64_t length = 0, count = 0;
    const uint8_t* d = slot->data;
    for (int64_t p = 0; p < slot->eod;) {
        int64_t matched = searchLength == 0 ? (d[p] == 0 ? 1 : 0)
                          : slot->eod - p >= searchLength && BytesMatch(d + p, search, searchLength, noCase)
                              ? searchLength
                              : 0;
        if (!matched) {
            out[length++] = d[p++];
            continue;
        }
        int64_t growth = replacementLength - matched;
        if (growth > room) {
            SetError(ctx, ERR_REPLACE_OVERRUN);
            return;
        }
        std::memcpy(out + length, replacement, size_t(replacementLength));
        length += replacementLength;
        p += matched;
        room -= growth;
        ++count;
    }
    ReplaceData(slot, out, length, true);
    SetResult64(ctx, call.result, count);
}

// ---------------------------------------------------------------- BinaryXlate

// Each source unit (1 or 2 bytes, little-endian) indexes the table buffer, whose entries
// (1 or 2 bytes) make the new data.
void CaseXlate(BDS* ctx, BuiltinCall& call)
{
    BinaryBufferSlot *slot, *table;
    if (!ArgSlots(ctx, call, 1, 2, &slot, &table))
        return;
    if (slot->eod == 0) {
        SetResultInt(ctx, call.result, 0);
        return;
    }
    int32_t mode = ArgInt(call, 3);
    if (mode < 0 || mode > 3) {
        SetError(ctx, ERR_XLATE_MODE);
        return;
    }
    int sourceUnit = mode >= 2 ? 2 : 1;
    int targetUnit = mode % 2 ? 2 : 1;
    int64_t tableLength = int64_t(targetUnit) << (8 * sourceUnit);
    if (table->eod != tableLength) {
        SetError(ctx, uint16_t(ERR_XLATE_TABLE_0 + mode));
        return;
    }
    if (slot->eod % sourceUnit) {
        SetError(ctx, ERR_XLATE_ODD);
        return;
    }
    int64_t units = slot->eod / sourceUnit;
    int64_t length = units * targetUnit;
    if (length > slot->size) {
        SetError(ctx, ERR_XLATE_ROOM);
        return;
    }
    LockedGlobal scratch{SIZE_T(length)};
    if (!scratch.data) {
        SetError(ctx, ERR_XLATE_MEMORY);
        return;
    }
    auto* out = scratch.As<uint8_t>();
    const uint8_t* in = slot->data;
    const uint8_t* entries = table->data;
    for (int64_t i = 0; i < units; ++i) {
        size_t unit = sourceUnit == 1 ? in[i] : size_t(in[2 * i] | in[2 * i + 1] << 8);
        std::memcpy(out + i * targetUnit, entries + unit * targetUnit, size_t(targetUnit));
    }
    ReplaceData(slot, out, length, false);
    SetResult64(ctx, call.result, length);
}

// ---------------------------------------------------------------- BinaryConvert

enum : int32_t { TYPE_ANSI = 0, TYPE_OEM = 1, TYPE_OTHER = 2, TYPE_UNICODE = 3 };
enum : int32_t { CASE_UPPER = 1, CASE_LOWER = 2 };

void CaseNarrow(uint8_t* data, int64_t length, int32_t flags)
{
    if (flags == CASE_UPPER)
        CharUpperBuffA(reinterpret_cast<char*>(data), DWORD(length));
    else if (flags == CASE_LOWER)
        CharLowerBuffA(reinterpret_cast<char*>(data), DWORD(length));
}

void CaseWide(uint8_t* data, int64_t units, int32_t flags)
{
    if (flags == CASE_UPPER)
        CharUpperBuffW(reinterpret_cast<wchar_t*>(data), DWORD(units));
    else if (flags == CASE_LOWER)
        CharLowerBuffW(reinterpret_cast<wchar_t*>(data), DWORD(units));
}

// 8-bit text to UTF-16 or back through the code page. The converted length is checked
// against the size before anything is written. The new EOD, or -1 with an error.
int64_t ConvertByCodePage(BDS* ctx, BinaryBufferSlot* slot, bool toWide, UINT codePage, int32_t flags)
{
    const auto* narrow = reinterpret_cast<const char*>(slot->data);
    const auto* wide = reinterpret_cast<const wchar_t*>(slot->data);
    int sourceLength = int(toWide ? slot->eod : slot->eod / 2);
    SetLastError(NO_ERROR);
    int units = toWide ? MultiByteToWideChar(codePage, 0, narrow, sourceLength, nullptr, 0)
                       : WideCharToMultiByte(codePage, 0, wide, sourceLength, nullptr, 0, nullptr, nullptr);
    int64_t bytes = int64_t(units) * (toWide ? 2 : 1);
    if (units == 0 && GetLastError() != NO_ERROR) {
        SetError(ctx, ERR_CONVERT);
        return -1;
    }
    if (bytes > slot->size) {
        SetError(ctx, ERR_CONVERT_ROOM);
        return -1;
    }
    LockedGlobal scratch{SIZE_T(bytes)};
    if (!scratch.data) {
        SetError(ctx, ERR_SCRATCH_MEMORY);
        return -1;
    }
    if (toWide)
        CaseNarrow(slot->data, slot->eod, flags);
    SetLastError(NO_ERROR);
    int done = toWide ? MultiByteToWideChar(codePage, 0, narrow, sourceLength, scratch.As<wchar_t>(), units)
                      : WideCharToMultiByte(codePage, 0, wide, sourceLength, scratch.As<char>(), units, nullptr, nullptr);
    if (done == 0 && GetLastError() != NO_ERROR) {
        SetError(ctx, ERR_CONVERT);
        return -1;
    }
    bytes = int64_t(done) * (toWide ? 2 : 1);
    ReplaceData(slot, scratch.As<uint8_t>(), bytes, false);
    if (!toWide)
        CaseNarrow(slot->data, bytes, flags);
    return bytes;
}

void CaseConvert(BDS* ctx, BuiltinCall& call)
{
    BinaryBufferSlot* slot = ArgSlot(ctx, call, 1);
    if (!slot)
        return;
    int32_t source = ArgInt(call, 2), target = ArgInt(call, 3), flags = ArgInt(call, 5);
    UINT codePage = UINT(ArgInt(call, 4));
    if (source < TYPE_ANSI || source > TYPE_UNICODE || target < TYPE_ANSI || target > TYPE_UNICODE) {
        SetError(ctx, ERR_CONVERT_TYPE);
        return;
    }
    if (flags < 0 || flags > CASE_LOWER) {
        SetError(ctx, ERR_CONVERT_FLAGS);
        return;
    }
    if (slot->eod >= 0x80000000ll) {
        SetError(ctx, ERR_CONVERT);
        return;
    }
    if (slot->eod == 0) {
        SetResultInt(ctx, call.result, 0);
        return;
    }
    auto* text = reinterpret_cast<char*>(slot->data);
    DWORD length = DWORD(slot->eod);
    if (source == TYPE_ANSI && target == TYPE_OEM) {
        CharToOemBuffA(text, text, length);
        CaseNarrow(slot->data, slot->eod, flags);
    } else if (source == TYPE_OEM && target == TYPE_ANSI) {
        OemToCharBuffA(text, text, length);
        CaseNarrow(slot->data, slot->eod, flags);
    } else if ((source == TYPE_UNICODE) != (target == TYPE_UNICODE)) {
        if (ConvertByCodePage(ctx, slot, target == TYPE_UNICODE, codePage, flags) < 0)
            return;
    } else if (target == TYPE_UNICODE) {
        CaseWide(slot->data, slot->eod / 2, flags);
    } else {
        CaseNarrow(slot->data, slot->eod, flags);
    }
    SetResult64(ctx, call.result, slot->eod);
}

const BuiltinRow kRows[] = {
    {304, CaseConvert},   // binaryconvert
    {338, CaseReplace},   // binaryreplace
    {350, CaseXlate},     // binaryxlate
};

}  // namespace

const BuiltinFamily g_BinaryTransformBuiltins = {"binary buffer transforms", kRows,
                                                 int(sizeof(kRows) / sizeof(kRows[0]))};
