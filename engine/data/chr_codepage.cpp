// The context code page and the conversions between ANSI, wide and hexadecimal text:
// ChrGetCodePage, ChrSetCodePage and the six Chr conversion built-ins.
#include <cstring>
#include <cwchar>

#include "engine/core/text_length.h"
#include "engine/data/string_builtins.h"
#include "engine/data/text.h"

namespace {

constexpr uint16_t ERR_NO_CODE_PAGE = 1763;
constexpr uint16_t ERR_BAD_REQUEST = 1809;
constexpr uint16_t ERR_BAD_HEX = 1819;
constexpr uint16_t ERR_BAD_VALUE = 1824;

const char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 32);
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Every character a hex digit and the length a multiple of `group`.
bool IsHexText(const char* hex, size_t length, size_t group)
{
    if (length % group) return false;
    for (size_t i = 0; i < length; ++i)
        if (HexValue(hex[i]) < 0) return false;
    return true;
}

int HexByte(const char* p) { return HexValue(p[0]) * 16 + HexValue(p[1]); }

}  // namespace

int MyChrGetCodePage(BDS* ctx, int request)
{
    if (request == 0) return static_cast<int>(ctx->nCodePage);
    if (request != 1 && request != 2) {
        SetError(ctx, ERR_BAD_REQUEST);
        return 0;
    }
    char text[16];
    LCID locale = request == 1 ? LOCALE_SYSTEM_DEFAULT : LOCALE_USER_DEFAULT;
    if (!GetLocaleInfoA(locale, LOCALE_IDEFAULTANSICODEPAGE, text, sizeof text)) {
        SetError(ctx, ERR_NO_CODE_PAGE);
        return 0;
    }
    int codePage = 0;
    for (const char* p = text; *p >= '0' && *p <= '9'; ++p) codePage = codePage * 10 + (*p - '0');
    return codePage;
}

int DoChrSetCodePage(BDS* ctx, int codePage)
{
    // A code page the system cannot convert would break every later conversion.
    if (codePage != 0 && !IsValidCodePage(static_cast<UINT>(codePage))) {
        SetError(ctx, ERR_BAD_VALUE);
        return 0;
    }
    int previous = static_cast<int>(ctx->nCodePage);
    ctx->nCodePage = static_cast<uint32_t>(codePage);
    return previous;
}

// Pairs of hex digits to bytes; a pair 00 ends the text.
void DoChrHexToString(BDS* ctx, const char* hex, resultants* result)
{
    size_t length = TextLength(hex);
    if (!IsHexText(hex, length, 2)) return SetError(ctx, ERR_BAD_HEX);
    size_t bytes = 0;
    while (bytes < length / 2 && HexByte(hex + 2 * bytes) != 0) ++bytes;
    char* out = NewResultTextA(ctx, result, bytes);
    for (size_t i = 0; out && i < bytes; ++i) out[i] = static_cast<char>(HexByte(hex + 2 * i));
}

// Groups of four hex digits to UTF-16 units: with order 0 the first pair is the low
// byte (the bytes as they lie in memory), otherwise the high byte. A unit 0 ends the text.
void DoChrHexToUnicode(BDS* ctx, const char* hex, int order, resultants* result)
{
    size_t length = TextLength(hex);
    if (!IsHexText(hex, length, 4)) return SetError(ctx, ERR_BAD_HEX);
    auto unitAt = [&](size_t i) {
        int first = HexByte(hex + 4 * i), second = HexByte(hex + 4 * i + 2);
        return static_cast<wchar_t>(order ? (first << 8 | second) : (second << 8 | first));
    };
    size_t units = 0;
    while (units < length / 4 && unitAt(units) != 0) ++units;
    wchar_t* out = NewResultTextW(ctx, result, units);
    for (size_t i = 0; out && i < units; ++i) out[i] = unitAt(i);
}

void DoChrStringToHex(BDS* ctx, const char* text, resultants* result)
{
    size_t bytes = TextLength(text);
    char* out = NewResultTextA(ctx, result, bytes * 2);
    for (size_t i = 0; out && i < bytes; ++i) {
        uint8_t b = static_cast<uint8_t>(text[i]);
        out[2 * i] = kHexDigits[b >> 4];
        out[2 * i + 1] = kHexDigits[b & 15];
    }
}

void DoChrStringToUnicode(BDS* ctx, const wchar_t* text, resultants* result)
{
    SetResultWText(ctx, result, text);
}

void DoChrUnicodeToHex(BDS* ctx, const wchar_t* text, int order, resultants* result)
{
    size_t units = TextLength(text);
    char* out = NewResultTextA(ctx, result, units * 4);
    for (size_t i = 0; out && i < units; ++i) {
        unsigned unit = text[i];
        unsigned first = order ? unit >> 8 : unit & 0xFF;
        unsigned second = order ? unit & 0xFF : unit >> 8;
        char* p = out + 4 * i;
        p[0] = kHexDigits[first >> 4];
        p[1] = kHexDigits[first & 15];
        p[2] = kHexDigits[second >> 4];
        p[3] = kHexDigits[second & 15];
    }
}

void DoChrUnicodeToString(BDS* ctx, const wchar_t* text, resultants* result)
{
    UINT codePage = ctx->nCodePage ? ctx->nCodePage : CP_ACP;
    int units = static_cast<int>(TextLength(text));
    int bytes = units ? WideCharToMultiByte(codePage, 0, text, units, nullptr, 0, nullptr, nullptr) : 0;
    if (bytes < 0) bytes = 0;
    char* out = NewResultTextA(ctx, result, static_cast<size_t>(bytes));
    if (out && bytes) WideCharToMultiByte(codePage, 0, text, units, out, bytes, nullptr, nullptr);
}
