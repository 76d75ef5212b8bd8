// Number/text conversions: integers in radix 2-36, the integer syntax tests, the
// engine's float text and the numconvert built-in.
#include "engine/core/numtext.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/core/text_length.h"

namespace {

constexpr char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

template <typename Ch>
bool IsBlank(Ch c) { return c == ' ' || c == '\t'; }

template <typename Ch>
bool IsDecimalDigit(Ch c) { return c >= '0' && c <= '9'; }

// Value of a digit in radix 36 (either case), or 99.
template <typename Ch>
int DigitValue(Ch c)
{
    if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
    if (c >= 'A' && c <= 'Z') return static_cast<int>(c - 'A') + 10;
    if (c >= 'a' && c <= 'z') return static_cast<int>(c - 'a') + 10;
    return 99;
}

// Writes `magnitude` in `radix` behind an optional minus sign; answers the length.
template <typename Ch>
int WriteUnsigned(uint64_t magnitude, bool negative, Ch* out, int radix)
{
    Ch reversed[INT_TEXT_SIZE];
    int n = 0;
    do {
        reversed[n++] = static_cast<Ch>(kDigits[magnitude % static_cast<unsigned>(radix)]);
        magnitude /= static_cast<unsigned>(radix);
    } while (magnitude != 0);
    int length = 0;
    if (negative) out[length++] = '-';
    while (n > 0) out[length++] = reversed[--n];
    out[length] = 0;
    return length;
}

template <typename Ch>
int Int64ToText(int64_t value, Ch* out, int radix)
{
    if (radix < 2 || radix > 36) {
        out[0] = 0;
        return 0;
    }
    if (radix == 10 && value < 0)  // the magnitude of the minimum is still exact as u64
        return WriteUnsigned(0 - static_cast<uint64_t>(value), true, out, 10);
    return WriteUnsigned(static_cast<uint64_t>(value), false, out, radix);
}

template <typename Ch>
int LongToText(int32_t value, Ch* out, int radix)
{
    if (radix < 2 || radix > 36) {
        out[0] = 0;
        return 0;
    }
    if (radix == 10)
        return Int64ToText<Ch>(value, out, 10);
    return WriteUnsigned(static_cast<uint32_t>(value), false, out, radix);
}

// Blanks, one optional sign, digits up to the first non-digit; saturates at the bounds.
template <typename Ch>
int64_t TextToInt64(const Ch* text)
{
    if (!text) return 0;
    while (IsBlank(*text)) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    uint64_t limit = negative ? (uint64_t{1} << 63) : (uint64_t{1} << 63) - 1;
    uint64_t magnitude = 0;
    for (; IsDecimalDigit(*text); ++text) {
        unsigned digit = static_cast<unsigned>(*text - '0');
        if (magnitude > (limit - digit) / 10) {
            magnitude = limit;
            break;
        }
        magnitude = magnitude * 10 + digit;
    }
    return negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
}

template <typename Ch>
int64_t RadixTextToLong(const Ch* text, int radix)
{
    if (radix < 2 || radix > 36) return -1;
    uint32_t value = 0;
    for (; text && *text; ++text) {
        int digit = DigitValue(*text);
        if (digit >= radix) return -2;
        value = value * static_cast<uint32_t>(radix) + static_cast<uint32_t>(digit);
    }
    return value;
}

// Blanks or tabs, optional sign, digits of the radix (possibly none), blanks or tabs.
template <typename Ch>
bool IsNumberText(const Ch* text, int radix)
{
    if (!text) return true;
    while (IsBlank(*text)) ++text;
    if (*text == '+' || *text == '-') ++text;
    while (*text && DigitValue(*text) < radix) ++text;
    while (IsBlank(*text)) ++text;
    return *text == 0;
}

bool EqualsNoCase(const char* text, const char* word)
{
    for (; *word; ++text, ++word)
        if ((*text | 0x20) != *word) return false;
    return *text == 0;
}

// A decimal float: digits with at most one point (at least one digit in all), then an
// optional exponent with at least one digit; nothing after it.
bool IsDecimalFloatSyntax(const char* p)
{
    int digits = 0;
    while (IsDecimalDigit(*p)) ++p, ++digits;
    if (*p == '.')
        for (++p; IsDecimalDigit(*p); ++p) ++digits;
    if (digits == 0) return false;
    if (*p == 'e' || *p == 'E') {
        ++p;
        if (*p == '+' || *p == '-') ++p;
        if (!IsDecimalDigit(*p)) return false;
        while (IsDecimalDigit(*p)) ++p;
    }
    return *p == 0;
}

// Appends text to a bounded buffer; answers false when it does not fit.
bool Append(char* out, size_t size, size_t& length, const char* text, size_t n)
{
    if (length + n + 1 > size) return false;
    memcpy(out + length, text, n);
    length += n;
    out[length] = 0;
    return true;
}

}  // namespace

// ---------------------------------------------------------------- integers

int LongToTextA(int32_t value, char* out, int radix) { return LongToText(value, out, radix); }
int LongToTextW(int32_t value, wchar_t* out, int radix) { return LongToText(value, out, radix); }
int Int64ToTextA(int64_t value, char* out, int radix) { return Int64ToText(value, out, radix); }
int Int64ToTextW(int64_t value, wchar_t* out, int radix) { return Int64ToText(value, out, radix); }

int32_t TextToLongA(const char* text)
{
    int64_t value = TextToInt64(text);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

int32_t TextToLongW(const wchar_t* text)
{
    int64_t value = TextToInt64(text);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

int64_t TextToInt64A(const char* text) { return TextToInt64(text); }
int64_t TextToInt64W(const wchar_t* text) { return TextToInt64(text); }

bool ParseIntegerTextA(const char* text, int64_t* out)
{
    if (!text) return false;
    while (IsBlank(*text)) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    if (!IsDecimalDigit(*text)) return false;  // no digit, or a second sign
    uint64_t limit = negative ? (uint64_t{1} << 63) : (uint64_t{1} << 63) - 1;
    uint64_t magnitude = 0;
    for (; IsDecimalDigit(*text); ++text) {
        unsigned digit = static_cast<unsigned>(*text - '0');
        if (magnitude > (limit - digit) / 10) return false;
        magnitude = magnitude * 10 + digit;
    }
    if (*text != 0) return false;  // trailing blanks or anything else
    *out = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

int64_t RadixTextToLongA(const char* text, int radix) { return RadixTextToLong(text, radix); }
int64_t RadixTextToLongW(const wchar_t* text, int radix) { return RadixTextToLong(text, radix); }

int64_t RadixTextToInt64A(BDS* ctx, const char* text, int radix)
{
    if (radix < 2 || radix > 36) {
        SetError(ctx, 1828);
        return -1;
    }
    const char* p = text ? text : "";
    bool negative = radix == 10 && *p == '-';
    if (negative) ++p;
    if (*p == 0) {
        SetError(ctx, 1824);
        return -2;
    }
    // Unsigned 64-bit range; a negative decimal may reach the magnitude of the minimum.
    uint64_t limit = negative ? (uint64_t{1} << 63) : UINT64_MAX;
    uint64_t value = 0;
    for (; *p; ++p) {
        int digit = DigitValue(*p);
        if (digit >= radix || value > (limit - static_cast<unsigned>(digit)) / static_cast<unsigned>(radix)) {
            SetError(ctx, 1824);
            return -2;
        }
        value = value * static_cast<unsigned>(radix) + static_cast<unsigned>(digit);
    }
    return negative ? static_cast<int64_t>(0 - value) : static_cast<int64_t>(value);
}

uint32_t IntPower(uint32_t x, uint32_t n)
{
    uint32_t result = 1;
    while (n-- > 0) result *= x;
    return result;
}

uint64_t IntPower64(uint64_t x, uint32_t n)
{
    uint64_t result = 1;
    while (n-- > 0) result *= x;
    return result;
}

bool IsIntegerTextA(const char* text) { return IsNumberText(text, 10); }
bool IsIntegerTextW(const wchar_t* text) { return IsNumberText(text, 10); }
bool IsHexNumberTextA(const char* text) { return IsNumberText(text, 16); }
bool IsHexNumberTextW(const wchar_t* text) { return IsNumberText(text, 16); }

bool IsDigitTextA(const char* text)
{
    if (!text) return false;
    while (IsBlank(*text)) ++text;
    if (*text == '+' || *text == '-') ++text;
    if (!IsDecimalDigit(*text)) return false;
    while (IsDecimalDigit(*text)) ++text;
    return *text == 0;
}

// ---------------------------------------------------------------- floats

double RoundHalfAway(double x)
{
    double whole = std::trunc(x);
    if (std::fabs(x - whole) >= 0.5) whole += std::copysign(1.0, x);
    return whole;
}

int TextToFloat(BDS* ctx, const char* text, double* out)
{
    if (!text || !*text || strpbrk(text, "dD")) return 0;
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;  // the blanks a C reader skips
    const char* number = p;
    if (*p == '+' || *p == '-') ++p;
    if (EqualsNoCase(p, "nan") || EqualsNoCase(p, "inf") || EqualsNoCase(p, "infinity")) {
        SetError(ctx, 1342);
        return 0;
    }
    if (!IsDecimalFloatSyntax(p)) return 0;

    double value = 0;
    const char* start = *number == '+' ? number + 1 : number;  // the reader takes "-" only
    const char* end = start + TextLength(start);
    auto [stop, error] = std::from_chars(start, end, value, std::chars_format::general);
    if (error == std::errc::result_out_of_range)
        value = strtod(start, nullptr);  // tells overflow (infinite) from underflow
    else if (error != std::errc() || stop != end)
        return 0;
    if (!std::isfinite(value)) {
        SetError(ctx, 1342);
        return 0;
    }
    *out = value;
    return 1;
}

int FloatToText(BDS* ctx, double value, char* out, size_t size)
{
    if (size == 0) return 0;
    out[0] = 0;
    if (!std::isfinite(value)) {
        SetError(ctx, 1599);
        return 0;
    }
    int decimals = ctx->nDecimals;
    bool automatic = decimals < 0 && decimals != -2 && decimals != -3;
    size_t length = 0;
    char text[FLOAT_TEXT_SIZE + 16];
    char* last = text + FLOAT_TEXT_SIZE;

    if (automatic && value == 0.0)
        return Append(out, size, length, "0.0", 3) ? 1 : 0;

    if (decimals == 0 && std::fabs(value) <= 2147483647.0) {
        int n = Int64ToTextA(static_cast<int64_t>(RoundHalfAway(value)), text, 10);
        return Append(out, size, length, text, static_cast<size_t>(n)) ? 1 : 0;
    }

    if (decimals == -2 || decimals == -3) {
        auto format = decimals == -2 ? std::chars_format::general : std::chars_format::scientific;
        auto [stop, error] = std::to_chars(text, last, value, format, 6);
        if (error != std::errc()) return 0;
        if (text[0] == '.' && !Append(out, size, length, "0", 1)) return 0;
        return Append(out, size, length, text, static_cast<size_t>(stop - text)) ? 1 : 0;
    }

    int precision = automatic ? 8 : (decimals > MAX_FLOAT_DECIMALS ? MAX_FLOAT_DECIMALS : decimals);
    int minimum = automatic ? 1 : precision;
    double magnitude = std::fabs(value);
    bool fixedForm = magnitude <= 999999999.0 && (magnitude >= 0.0001 || !automatic);
    auto format = fixedForm ? std::chars_format::fixed : std::chars_format::scientific;
    auto [stop, error] = std::to_chars(text, last, value, format, precision);
    if (error != std::errc()) return 0;
    *stop = 0;

    // The alternate form always shows the point, even without decimals.
    if (!strchr(text, '.')) {
        if (fixedForm) {
            *stop++ = '.';
            *stop = 0;
        } else {
            char* digit = text + (text[0] == '-' ? 1 : 0);
            memmove(digit + 2, digit + 1, static_cast<size_t>(stop - digit));
            digit[1] = '.';
            ++stop;
        }
    }

    if (fixedForm) {
        if (automatic)
            while (stop[-1] == '0') *--stop = 0;
        int shown = static_cast<int>(stop - strchr(text, '.')) - 1;
        for (; shown < minimum; ++shown) {
            *stop++ = '0';
            *stop = 0;
        }
    }
    return Append(out, size, length, text, static_cast<size_t>(stop - text)) ? 1 : 0;
}

// ---------------------------------------------------------------- numconvert

int numconvert(BDS* ctx, const char* text, int from, int to, resultants* result)
{
    char number[INT_TEXT_SIZE];
    uint16_t previous = ctx->nErrorCode;
    ctx->nErrorCode = 0;
    int64_t value = RadixTextToInt64A(ctx, text, from);
    if (ctx->nErrorCode == 0 && (to < 2 || to > 36))
        SetError(ctx, 1828);
    if (ctx->nErrorCode != 0) {
        if (ctx->nErrorCode == 1828) {
            LongToTextA(from < 2 || from > 36 ? from : to, number, 10);
            AppendExtendedError(ctx, number);
        } else {
            AppendExtendedError(ctx, text ? text : "");
        }
        uint16_t code = ctx->nErrorCode;
        SetResultText(ctx, result, "", 0);
        ctx->nErrorCode = code;
        return 0;
    }
    ctx->nErrorCode = previous;
    int length = Int64ToTextA(value, number, to);
    return SetResultText(ctx, result, number, static_cast<size_t>(length));
}

// ---------------------------------------------------------------- unsigned decimal

int Int64ToDecimalText(uint64_t value, char* out, size_t size)
{
    if (!out || size == 0)
        return 0;
    char digits[21];
    size_t n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value);
    size_t k = 0;
    while (n > 0 && k + 1 < size)
        out[k++] = digits[--n];
    out[k] = 0;
    return 1;
}

bool DecimalTextToInt64(const char* text, uint64_t* value)
{
    uint64_t v = 0;
    size_t count = 0;
    for (const char* p = text ? text : ""; *p; ++p) {
        if (*p < '0' || *p > '9' || ++count > 20)
            return false;
        unsigned digit = static_cast<unsigned>(*p - '0');
        if (v > (UINT64_MAX - digit) / 10)
            return false;
        v = v * 10 + digit;
    }
    *value = v;
    return true;
}
