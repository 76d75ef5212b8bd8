// Names and sizes of variant types, moniker names, and the text conversions that the COM
// layer shares (ANSI text in the context's code page to BSTRs and back, YmdHms dates).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstddef>
#include <cstdint>

struct BDS;

// A VARTYPE name as scripts write it ("VT_I4", "vt_array|vt_ui1", "BYREF"): at most two
// parts joined by "|", each optionally prefixed "VT_". Answers -1 for an unknown name, for
// EMPTY and ERROR, and for a pair that lacks a base type or does not carry exactly one of
// VT_ARRAY and VT_BYREF (VT_ARRAY|VT_NULL is refused too).
int32_t VtNameToNumber(const char* text);

// The published name of a VARTYPE number ("VT_EMPTY" .. "VT_CLSID", the modifier bits and
// a few markers); "<unknown>" for any other number.
const char* VtBaseName(uint32_t type);

// The name of a full type: modifier part, "|", base part. The object value's 0x4000 is
// named as VT_DISPATCH; `strip` drops the "VT_" of each part.
void VtTypeNameCompose(VARTYPE type, char* out, size_t size, bool strip);

// Bytes of one datum of the type (0 when it has no fixed size).
uint32_t VtElementSize(VARTYPE type);

// Where the datum of a VARIANT lies (null for types without one). For pointer types the
// pointer itself, or with `address` the address of the data word.
void* VariantDataPointer(VARIANT* v, bool address);

// Whether an object name is a moniker display name rather than a class name.
bool IsMonikerName(const wchar_t* name);

// Whether `text` begins, case ignored, with `prefix` and has more after it; `rest` gets it.
bool MatchPrefixA(const char* text, const char* prefix, const char** rest);
bool MatchPrefixW(const wchar_t* text, const wchar_t* prefix, const wchar_t** rest);

// ANSI text in the context's code page as a new BSTR; null (error 1513) when it cannot be
// made. A null text gives null without an error.
BSTR AnsiToBstr(BDS* ctx, const char* text);

// The context's code page for conversions between ANSI and wide text.
UINT ComCodePage(BDS* ctx);

// A VARIANT date as YmdHms text ("0000:00:00:00:00:00" when the system refuses it), and
// YmdHms text as a VARIANT date (false when the text is not one).
void VariantTimeToYmdHms(double date, char* out, size_t size);
bool YmdHmsToVariantTime(const char* text, double* date);
