// Number/text conversions: integers in radix 2-36, the integer syntax tests, the
// engine's float text and the numconvert built-in.
//
// The narrow (A) and wide (W) twins behave alike. Digits are "0-9A-Z"; letters are read
// in either case and written in upper case.
#pragma once

#include <cstddef>
#include <cstdint>

struct BDS;
struct resultants;

constexpr int INT_TEXT_SIZE = 68;     // a 64-bit value in radix 2, a sign and the NUL fit
constexpr int FLOAT_TEXT_SIZE = 128;  // the longest float text, NUL included
constexpr int MAX_FLOAT_DECIMALS = 100;

// ---------------------------------------------------------------- integer to text
// Radix 10 writes a minus sign; other radices write the unsigned two's complement.
// Answer the length; a radix outside 2-36 writes an empty text and answers 0.
int LongToTextA(int32_t value, char* out, int radix);
int LongToTextW(int32_t value, wchar_t* out, int radix);
int Int64ToTextA(int64_t value, char* out, int radix);
int Int64ToTextW(int64_t value, wchar_t* out, int radix);

// ---------------------------------------------------------------- text to integer
// Leading blanks, one optional sign, decimal digits up to the first non-digit; no digit
// gives 0. A value beyond the type's range saturates rather than wrapping.
int32_t TextToLongA(const char* text);
int32_t TextToLongW(const wchar_t* text);
int64_t TextToInt64A(const char* text);
int64_t TextToInt64W(const wchar_t* text);

// The strict integer form of values: leading blanks or tabs, one optional sign, at least
// one decimal digit and nothing else. False for any other text and for a value beyond
// 64 bits.
bool ParseIntegerTextA(const char* text, int64_t* out);

// The same form at any length: true for a text of digits too long for 64 bits.
bool IsDigitTextA(const char* text);

// Text in radix 2-36 (no sign) to a 32-bit value computed modulo 2^32:
// 0..0xFFFFFFFF, or -1 for a radix outside 2-36, -2 for a bad digit.
int64_t RadixTextToLongA(const char* text, int radix);
int64_t RadixTextToLongW(const wchar_t* text, int radix);

// Text in radix 2-36 to 64 bits ("-" only in radix 10). A radix outside 2-36 sets 1828 and
// answers -1; a bad digit, no digit or an overflow sets 1824 and answers -2. Callers that
// can meet a real -1 test ctx->nErrorCode.
int64_t RadixTextToInt64A(BDS* ctx, const char* text, int radix);

// An unsigned 64-bit value as decimal text ("0" for 0), cut to size - 1 characters;
// answers 1, or 0 for a size of 0.
int Int64ToDecimalText(uint64_t value, char* out, size_t size);
// Decimal digits (nothing else) to an unsigned 64-bit value; an empty text gives 0. Refused
// (false) are other characters, more than 20 digits and values above 2^64 - 1.
bool DecimalTextToInt64(const char* text, uint64_t* value);

uint32_t IntPower(uint32_t x, uint32_t n);
uint64_t IntPower64(uint64_t x, uint32_t n);

// Whole text of blanks or tabs, an optional sign, digits, blanks or tabs; the digits may
// be missing (an empty text and a lone sign count too).
bool IsIntegerTextA(const char* text);
bool IsIntegerTextW(const wchar_t* text);
bool IsHexNumberTextA(const char* text);
bool IsHexNumberTextW(const wchar_t* text);

// ---------------------------------------------------------------- floats
// x rounded half away from zero (exact: the fraction is taken without adding 0.5).
double RoundHalfAway(double x);

// Reads a decimal float (blanks, sign, digits, point, exponent; nothing may follow).
// Refused text answers 0 without an error; a value too large, an infinity or a NaN
// sets 1342 and answers 0.
int TextToFloat(BDS* ctx, const char* text, double* out);

// Writes the engine's float text by ctx->nDecimals into out (at most size - 1 characters).
// NaN and infinity set 1599 and answer 0 with an empty text.
int FloatToText(BDS* ctx, double value, char* out, size_t size);

// ---------------------------------------------------------------- numconvert
// Reads text in radix `from` and writes it in radix `to` as the text result. Errors:
// 1828 (the radix goes to the extended-error text), 1824 (the input goes there); after
// an error the result is an empty text. Answers 1 or 0.
int numconvert(BDS* ctx, const char* text, int from, int to, resultants* result);
