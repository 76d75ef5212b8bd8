// Names and sizes of variant types, moniker names and the shared text conversions.
#include "engine/com/com_names.h"

#include <oleauto.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "engine/core/context.h"
#include "engine/system/date_text.h"

namespace {

struct NamedType {
    const char* name;
    int32_t type;
};

// The parts a script may write in a type name (EMPTY and ERROR are not among them).
const NamedType kParts[] = {
    {"ARRAY", 0x2000}, {"BOOL", 11},    {"BSTR", 8},      {"BYREF", 0x4000}, {"CY", 6},
    {"DATE", 7},       {"DECIMAL", 14}, {"DISPATCH", 9},  {"I1", 16},        {"I2", 2},
    {"I4", 3},         {"I8", 20},      {"INT", 22},      {"NULL", 1},       {"R4", 4},
    {"R8", 5},         {"UI1", 17},     {"UI2", 18},      {"UI4", 19},       {"UI8", 21},
    {"UINT", 23},      {"UNKNOWN", 13}, {"VARIANT", 12},
};

int32_t PartNumber(const char* part, size_t length)
{
    if (length >= 3 && _strnicmp(part, "VT_", 3) == 0) {
        part += 3;
        length -= 3;
    }
    for (const NamedType& p : kParts)
        if (std::strlen(p.name) == length && _strnicmp(p.name, part, length) == 0)
            return p.type;
    return -1;
}

const char* const kBaseNames[73] = {
    "VT_EMPTY", "VT_NULL", "VT_I2", "VT_I4", "VT_R4", "VT_R8", "VT_CY", "VT_DATE", "VT_BSTR",
    "VT_DISPATCH", "VT_ERROR", "VT_BOOL", "VT_VARIANT", "VT_UNKNOWN", "VT_DECIMAL", nullptr,
    "VT_I1", "VT_UI1", "VT_UI2", "VT_UI4", "VT_I8", "VT_UI8", "VT_INT", "VT_UINT", "VT_VOID",
    "VT_HRESULT", "VT_PTR", "VT_SAFEARRAY", "VT_CARRAY", "VT_USERDEFINED", "VT_LPSTR",
    "VT_LPWSTR", nullptr, nullptr, nullptr, nullptr, "VT_RECORD", "VT_INT_PTR", "VT_UINT_PTR",
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, "VT_FILETIME", "VT_BLOB", "VT_STREAM",
    "VT_STORAGE", "VT_STREAMED_OBJECT", "VT_STORED_OBJECT", "VT_BLOB_OBJECT", "VT_CF",
    "VT_CLSID",
};

void AppendPart(char* out, size_t size, const char* name, bool strip)
{
    if (strip && std::strncmp(name, "VT_", 3) == 0)
        name += 3;
    size_t used = std::strlen(out);
    if (used + 1 < size)
        lstrcpynA(out + used, name, static_cast<int>(size - used));
}

}  // namespace

int32_t VtNameToNumber(const char* text)
{
    const char* bar = std::strchr(text, '|');
    if (!bar)
        return PartNumber(text, std::strlen(text));
    int32_t a = PartNumber(text, static_cast<size_t>(bar - text));
    const char* second = bar + 1;
    const char* end = std::strchr(second, '|');   // the text is cut at a further bar
    int32_t b = PartNumber(second, end ? static_cast<size_t>(end - second) : std::strlen(second));
    if (a < 0 || b < 0)
        return -1;
    int32_t joined = a | b;
    if ((joined & 0x0FFF) == 0 || joined == (VT_ARRAY | VT_NULL))
        return -1;
    bool array = (joined & VT_ARRAY) != 0, byref = (joined & VT_BYREF) != 0;
    return array != byref ? joined : -1;
}

const char* VtBaseName(uint32_t type)
{
    if (type < 73 && kBaseNames[type])
        return kBaseNames[type];
    switch (type) {
    case 0x0FFF: return "VT_BSTR_BLOB";
    case 0x1000: return "VT_VECTOR";
    case 0x2000: return "VT_ARRAY";
    case 0x4000: return "VT_BYREF";
    case 0x6000: return "VT_BYREF|VT_ARRAY";
    case 0x8000: return "VT_RESERVED";
    case 0xFFFF: return "VT_ILLEGAL";
    default: return "<unknown>";
    }
}

void VtTypeNameCompose(VARTYPE type, char* out, size_t size, bool strip)
{
    if (size == 0)
        return;
    out[0] = 0;
    if (type == VT_EMPTY) {
        AppendPart(out, size, "VT_EMPTY", strip);
        return;
    }
    if (type == VT_BYREF) {       // the object value
        AppendPart(out, size, "VT_DISPATCH", strip);
        return;
    }
    uint32_t modifiers = type & 0xF000u, base = type & 0x0FFFu;
    if (modifiers)
        AppendPart(out, size, VtBaseName(modifiers), strip);
    if (modifiers && base)
        AppendPart(out, size, "|", false);
    if (base)
        AppendPart(out, size, VtBaseName(base), strip);
}

uint32_t VtElementSize(VARTYPE type)
{
    if (type & VT_BYREF) {
        uint32_t base = type & ~VT_BYREF;
        if (base == VT_EMPTY || (base >= 2 && base <= 14) || (base >= 16 && base <= 23) ||
            base == VT_INT_PTR || base == VT_UINT_PTR || (base & VT_ARRAY))
            return 8;
        return 0;
    }
    if (type & VT_ARRAY)
        return 8;
    switch (type) {
    case VT_I1: case VT_UI1: return 1;
    case VT_I2: case VT_BOOL: case VT_UI2: return 2;
    case VT_I4: case VT_R4: case VT_ERROR: case VT_UI4: case VT_INT: case VT_UINT: return 4;
    case VT_R8: case VT_CY: case VT_DATE: case VT_BSTR: case VT_DISPATCH: case VT_UNKNOWN:
    case VT_I8: case VT_UI8: case VT_UINT_PTR: return 8;
    case VT_DECIMAL: return 16;
    default: return 0;
    }
}

void* VariantDataPointer(VARIANT* v, bool address)
{
    VARTYPE t = v->vt;
    if ((t >= VT_I2 && t <= VT_DATE) || t == VT_ERROR || t == VT_BOOL || (t >= VT_I1 && t <= VT_UINT))
        return &v->lVal;
    if (t == VT_BSTR || t == VT_DISPATCH || t == VT_UNKNOWN)
        return address ? static_cast<void*>(&v->byref) : v->byref;
    if (t == VT_VARIANT || t == VT_DECIMAL)
        return v;
    return nullptr;
}

bool IsMonikerName(const wchar_t* name)
{
    if (!name || !*name)
        return false;
    if (std::wcsstr(name, L"://"))
        return true;
    static const wchar_t* const kNames[] = {L"ADS:", L"GC:", L"IIS:", L"LDAP:", L"NDS:",
                                            L"NWCOMPAT:", L"Sample:", L"WinNT:", L"winmgmts:"};
    for (const wchar_t* n : kNames)
        if (_wcsicmp(name, n) == 0)
            return true;
    return false;
}

bool MatchPrefixA(const char* text, const char* prefix, const char** rest)
{
    size_t n = std::strlen(prefix);
    if (std::strlen(text) <= n || _strnicmp(text, prefix, n) != 0)
        return false;
    *rest = text + n;
    return true;
}

bool MatchPrefixW(const wchar_t* text, const wchar_t* prefix, const wchar_t** rest)
{
    size_t n = std::wcslen(prefix);
    if (std::wcslen(text) <= n || _wcsnicmp(text, prefix, n) != 0)
        return false;
    *rest = text + n;
    return true;
}

UINT ComCodePage(BDS* ctx) { return ctx->nCodePage ? ctx->nCodePage : CP_ACP; }

BSTR AnsiToBstr(BDS* ctx, const char* text)
{
    if (!text)
        return nullptr;
    int length = static_cast<int>(std::strlen(text));
    int units = length ? MultiByteToWideChar(ComCodePage(ctx), 0, text, length, nullptr, 0) : 0;
    BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(units));
    if (!out) {
        SetError(ctx, 1513);
        return nullptr;
    }
    if (units && MultiByteToWideChar(ComCodePage(ctx), 0, text, length, out, units) != units) {
        SysFreeString(out);
        SetError(ctx, 1513);
        return nullptr;
    }
    return out;
}

namespace {

// The automation library is loaded when the engine first calls it, through a thunk that
// keeps the integer argument registers only. This function takes its date in a
// floating-point register, so it is looked up directly rather than through the thunk.
INT CallVariantTimeToSystemTime(double date, SYSTEMTIME* st)
{
    using Convert = INT(WINAPI*)(DOUBLE, LPSYSTEMTIME);
    static Convert convert = [] {
        HMODULE automation = LoadLibraryA("oleaut32.dll");
        return automation ? reinterpret_cast<Convert>(
                                reinterpret_cast<void*>(GetProcAddress(automation, "VariantTimeToSystemTime")))
                          : nullptr;
    }();
    return convert ? convert(date, st) : 0;
}

}  // namespace

void VariantTimeToYmdHms(double date, char* out, size_t size)
{
    SYSTEMTIME st{};
    if (!CallVariantTimeToSystemTime(date, &st)) {
        lstrcpynA(out, "0000:00:00:00:00:00", static_cast<int>(size));
        return;
    }
    FormatYmdHms(st, true, out, size);
}

bool YmdHmsToVariantTime(const char* text, double* date)
{
    YmdHmsFields f{};
    if (!ParseYMDHMS(text, &f, YMD_CHECK_FULL, 1))
        return false;
    SYSTEMTIME st = YmdHmsToSystemTime(f);
    return SystemTimeToVariantTime(&st, date) != 0;
}
