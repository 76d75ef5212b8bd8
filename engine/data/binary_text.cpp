// Text in binary buffers: BinaryPeekStr, BinaryPeekStrW, BinaryPokeStr, BinaryPokeStrW,
// BinaryPeekHex and BinaryPokeHex.
#include <cstring>

#include "engine/core/text_length.h"
#include "engine/data/binary_internal.h"

using namespace binary;

namespace {

enum : uint16_t {
    ERR_PEEKSTR = 2331,            // "BinaryPeekStr: Data request extends beyond end of binary buffer"
    ERR_POKESTR = 2332,            // "BinaryPokeStr: Data to store would overrun binary buffer"
    ERR_ODD_MAXSIZE = 1765,        // "BinaryPeekStrW: 'maxsize' must be an even number"
    ERR_ODD_BYTES = 1766,          // "BinaryPeekStrW: String in buffer is not an even number of bytes"
    ERR_BAD_HEX = 1720,            // "BinaryPokeHex: Invalid hex string"
    ERR_HEX_OVERRUN = 1721,        // "BinaryPokeHex: Data to store would overrun binary buffer"
};

// ---------------------------------------------------------------- strings

void DoBinaryPeekStrW(BDS* ctx, resultants* result, int64_t handle, int64_t offset, int32_t maxsize, bool swap)
{
    BinaryBufferSlot* slot = BinarySlotOf(ctx, handle);
    if (!slot)
        return;
    if (offset < 0 || maxsize < 0) {
        SetError(ctx, ERR_PEEKSTR);
        return;
    }
    if (maxsize % 2) {
        SetError(ctx, ERR_ODD_MAXSIZE);
        return;
    }
    if (offset == slot->eod && maxsize == 0) {
        SetResultWText(ctx, result, L"", 0);
        return;
    }
    if (offset >= slot->size) {
        SetError(ctx, ERR_PEEKSTR);
        return;
    }
    int64_t available = slot->eod > offset ? slot->eod - offset : 0;
    int64_t n = maxsize < available ? maxsize : available;
    if (n % 2) {
        SetError(ctx, ERR_ODD_BYTES);
        return;
    }
    // The data may sit at an odd offset: read it byte by byte.
    const uint8_t* p = slot->data + offset;
    size_t units = 0;
    while (units < size_t(n / 2) && (p[2 * units] | p[2 * units + 1]))
        ++units;
    wchar_t* text = NewResultTextW(ctx, result, units);
    if (!text)
        return;
    for (size_t i = 0; i < units; ++i) {
        uint8_t low = p[2 * i], high = p[2 * i + 1];
        text[i] = swap ? wchar_t(low << 8 | high) : wchar_t(high << 8 | low);
    }
}

// The slot when `length` bytes fit at offset; null with 2332 (or 3023).
BinaryBufferSlot* PokeStrSlot(BDS* ctx, int64_t handle, int64_t offset, int64_t length)
{
    BinaryBufferSlot* slot = BinarySlotOf(ctx, handle);
    if (!slot)
        return nullptr;
    int64_t end = RangeEnd(offset, length);
    if (end < 0 || end > slot->size) {
        SetError(ctx, ERR_POKESTR);
        return nullptr;
    }
    BinaryRaiseEod(slot, end);
    return slot;
}

void CasePeekStr(BDS* ctx, BuiltinCall& call)
{
    DoBinaryPeekStr(ctx, call.result, ArgInt(call, 1), ArgInt64(call, 2), ArgInt(call, 3), false);
}

void CasePeekStrW(BDS* ctx, BuiltinCall& call)
{
    DoBinaryPeekStrW(ctx, call.result, ArgInt(call, 1), ArgInt64(call, 2), ArgInt(call, 3), ArgInt(call, 4) != 0);
}

void CasePokeStr(BDS* ctx, BuiltinCall& call)
{
    const char* text = ArgText(ctx, call, 3);
    int64_t offset = ArgInt64(call, 2);
    size_t length = TextLength(text);
    BinaryBufferSlot* slot = PokeStrSlot(ctx, ArgInt(call, 1), offset, int64_t(length));
    if (!slot)
        return;
    std::memcpy(slot->data + offset, text, length);
    SetResult64(ctx, call.result, int64_t(length));
}

void CasePokeStrW(BDS* ctx, BuiltinCall& call)
{
    const wchar_t* text = ArgWText(ctx, call, 3);
    bool swap = ArgInt(call, 4) != 0;
    int64_t offset = ArgInt64(call, 2);
    size_t units = TextLength(text);
    BinaryBufferSlot* slot = PokeStrSlot(ctx, ArgInt(call, 1), offset, 2 * int64_t(units));
    if (!slot)
        return;
    uint8_t* p = slot->data + offset;
    for (size_t i = 0; i < units; ++i) {
        uint8_t low = uint8_t(text[i]), high = uint8_t(text[i] >> 8);
        p[2 * i] = swap ? high : low;
        p[2 * i + 1] = swap ? low : high;
    }
    SetResult64(ctx, call.result, 2 * int64_t(units));
}

// ---------------------------------------------------------------- hex text

const char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c)
{
    uint8_t u = AnsiUpperTable()[uint8_t(c)];
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    return -1;
}

bool IsHexSeparator(char c) { return c == '\r' || c == '\n' || c == ' '; }

void CasePeekHex(BDS* ctx, BuiltinCall& call)
{
    BinaryBufferSlot* slot = ArgSlot(ctx, call, 1);
    if (!slot)
        return;
    int64_t offset = ArgInt64(call, 2);
    int64_t count = ArgInt(call, 3);
    if (offset < 0 || (count < 0 && offset + count < 0)) {
        SetError(ctx, ERR_BAD_OFFSET);
        return;
    }
    uint16_t error = offset >= slot->eod        ? ERR_OFFSET_BEYOND_EOD
                     : count < 0                ? ERR_BAD_COUNT
                     : offset + count > slot->eod ? ERR_COUNT_BEYOND_EOD
                                                : 0;
    if (error) {
        SetError(ctx, error);
        return;
    }
    char* text = NewResultTextA(ctx, call.result, size_t(2 * count));
    if (!text)
        return;
    const uint8_t* p = slot->data + offset;
    for (int64_t i = 0; i < count; ++i) {
        text[2 * i] = kHexDigits[p[i] >> 4];
        text[2 * i + 1] = kHexDigits[p[i] & 15];
    }
}

// The digits of a hex text (the characters other than separators).
int64_t HexDigitCount(const char* text)
{
    int64_t digits = 0;
    for (const char* p = text; *p; ++p)
        if (!IsHexSeparator(*p))
            ++digits;
    return digits;
}

// Pairs of hex digits, with carriage returns, line feeds and blanks only between pairs.
bool HexTextValid(const char* text)
{
    int64_t digits = 0;
    for (const char* p = text; *p; ++p) {
        if (IsHexSeparator(*p) ? digits % 2 != 0 : HexValue(*p) < 0)
            return false;
        if (!IsHexSeparator(*p))
            ++digits;
    }
    return true;
}

// The whole text is checked before anything is stored or the EOD moves.
void CasePokeHex(BDS* ctx, BuiltinCall& call)
{
    BinaryBufferSlot* slot = ArgSlot(ctx, call, 1);
    if (!slot)
        return;
    int64_t offset = ArgInt64(call, 2);
    const char* text = ArgText(ctx, call, 3);
    if (offset < 0) {
        SetError(ctx, ERR_BAD_OFFSET);
        return;
    }
    if (offset >= slot->size) {
        SetError(ctx, ERR_OFFSETS_BEYOND_SIZE);
        return;
    }
    int64_t digits = HexDigitCount(text);
    int64_t bytes = digits / 2;
    uint16_t error = digits % 2                    ? ERR_BAD_HEX
                     : offset + bytes > slot->size ? ERR_HEX_OVERRUN
                     : !HexTextValid(text)         ? ERR_BAD_HEX
                                                   : 0;
    if (error) {
        SetError(ctx, error);
        return;
    }
    BinaryRaiseEod(slot, offset + bytes);
    uint8_t* out = slot->data + offset;
    int high = -1;
    for (const char* p = text; *p; ++p) {
        if (IsHexSeparator(*p))
            continue;
        if (high < 0) {
            high = HexValue(*p);
        } else {
            *out++ = uint8_t(high << 4 | HexValue(*p));
            high = -1;
        }
    }
    SetResult64(ctx, call.result, bytes);
}

const BuiltinRow kRows[] = {
    {325, CasePeekHex},    // binarypeekhex
    {326, CasePeekStr},    // binarypeekstr
    {327, CasePeekStrW},   // binarypeekstrw
    {333, CasePokeHex},    // binarypokehex
    {334, CasePokeStr},    // binarypokestr
    {335, CasePokeStrW},   // binarypokestrw
};

}  // namespace

const BuiltinFamily g_BinaryTextBuiltins = {"binary buffer text", kRows, int(sizeof(kRows) / sizeof(kRows[0]))};
