// The registry built-ins that write and delete values: RegSetValue, RegSetExpSz,
// RegSetDword, RegSetBin, RegSetQword, RegSetMulSz, RegSetEx and RegDelValue, with the
// conversions of script text into registry data.
#include <cwchar>

#include "engine/core/builtin.h"
#include "engine/core/errors.h"
#include "engine/data/text.h"
#include "engine/files/registry.h"

namespace {

enum : uint16_t {
    ERR_SET_FAILED = 1232,
    ERR_BAD_BINARY = 1457,
    ERR_BAD_DWORD = 1459,
    ERR_BAD_DELIMITER = 1487,
    ERR_BAD_SET_TYPE = 1493,
    ERR_BAD_QWORD = 1743,
};

enum class WriteAs { None, Sz, ExpSz, Dword, Bin, Qword, MulSz };

// The data of one value to be written.
struct NewValue {
    DWORD type = REG_NONE;
    const BYTE* bytes = nullptr;
    DWORD size = 0;
    DWORD dword = 0;
    RegBuffer buffer;
};

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// A 32-bit number as RegSetDword takes it: blanks, an optional sign, decimal (or with
// `hex`, hexadecimal) digits, blanks. A value that 32 bits cannot hold is refused;
// a negative one is stored in two's complement.
bool ParseDwordText(const wchar_t* text, bool hex, DWORD* out)
{
    const wchar_t* p = text;
    while (IsBlank(*p))
        ++p;
    bool negative = *p == L'-';
    if (*p == L'-' || *p == L'+')
        ++p;
    uint64_t value = 0;
    int digits = 0;
    for (;; ++p, ++digits) {
        int d = HexDigitValue(*p);
        if (d < 0 || (!hex && d > 9))
            break;
        value = value * (hex ? 16 : 10) + uint64_t(d);
        if (value > 0xFFFFFFFFull)
            return false;
    }
    while (IsBlank(*p))
        ++p;
    if (*p || digits == 0 || (negative && value > 0x80000000ull))
        return false;
    *out = negative ? DWORD(0u - uint32_t(value)) : DWORD(value);
    return true;
}

// "01 ab  ff": items of exactly two hexadecimal digits, separated by blanks or TABs, into
// `out` (room enough for every item). Answers the count, or -1 for a bad item.
int ParseByteList(const wchar_t* text, uint8_t* out)
{
    const wchar_t* p = text;
    while (IsBlank(*p))
        ++p;
    int count = 0;
    while (*p) {
        const wchar_t* item = p;
        while (*p && !IsBlank(*p))
            ++p;
        if (p - item != 2 || HexDigitValue(item[0]) < 0 || HexDigitValue(item[1]) < 0)
            return -1;
        out[count++] = uint8_t(HexDigitValue(item[0]) << 4 | HexDigitValue(item[1]));
        while (IsBlank(*p))
            ++p;
    }
    return count;
}

// The data of a REG_MULTI_SZ: each delimiter a NUL, the last string and the list ended.
bool BuildMultiSz(BDS* ctx, const wchar_t* list, wchar_t delimiter, NewValue* v)
{
    size_t n = std::wcslen(list);
    if (!v->buffer.Reserve(ctx, (n + 2) * sizeof(wchar_t)))
        return false;
    wchar_t* out = v->buffer.As<wchar_t>();
    for (size_t i = 0; i < n; ++i)
        out[i] = list[i] == delimiter ? L'\0' : list[i];
    if (n == 0 || out[n - 1] != 0)
        out[n++] = 0;
    out[n++] = 0;
    v->bytes = v->buffer.data;
    v->size = DWORD(n * sizeof(wchar_t));
    return true;
}

// Builds the data from the script's text; answers false with the error set.
bool BuildValue(BDS* ctx, WriteAs as, const wchar_t* text, bool hex, const wchar_t* delimiter, NewValue* v)
{
    switch (as) {
    case WriteAs::None:
        return true;
    case WriteAs::Sz:
    case WriteAs::ExpSz:
        v->type = as == WriteAs::Sz ? REG_SZ : REG_EXPAND_SZ;
        v->bytes = reinterpret_cast<const BYTE*>(text);
        v->size = DWORD((std::wcslen(text) + 1) * sizeof(wchar_t));
        return true;
    case WriteAs::Dword:
        if (!ParseDwordText(text, hex, &v->dword)) {
            SetError(ctx, ERR_BAD_DWORD);
            return false;
        }
        v->type = REG_DWORD;
        v->bytes = reinterpret_cast<const BYTE*>(&v->dword);
        v->size = sizeof v->dword;
        return true;
    case WriteAs::Bin:
    case WriteAs::Qword: {
        uint16_t error = as == WriteAs::Bin ? ERR_BAD_BINARY : ERR_BAD_QWORD;
        if (!v->buffer.Reserve(ctx, (std::wcslen(text) + 1) / 3 + 1))
            return false;
        int count = ParseByteList(text, v->buffer.data);
        if (count < 0) {
            SetError(ctx, error);
            return false;
        }
        v->type = as == WriteAs::Bin ? REG_BINARY : REG_QWORD;
        v->bytes = v->buffer.data;
        v->size = DWORD(count);
        return true;
    }
    case WriteAs::MulSz:
        if (!delimiter[0] || delimiter[1]) {
            SetError(ctx, ERR_BAD_DELIMITER);
            return false;
        }
        v->type = REG_MULTI_SZ;
        return BuildMultiSz(ctx, text, delimiter[0], v);
    }
    return false;
}

// Writes the value named by `name` below `key`. For WriteAs::Dword bit 0 of the view
// argument asks for hexadecimal text.
void DoRegSet(BDS* ctx, resultants* result, HKEY key, const wchar_t* name, const wchar_t* text, WriteAs as,
              int32_t view, const wchar_t* delimiter = L"")
{
    bool hex = false;
    if (as == WriteAs::Dword) {
        hex = view & 1;
        view &= ~1;
    }
    RegValueName target;
    NewValue value;
    REGSAM viewFlag = 0;
    if (!SplitValueName(ctx, name, &target) || !BuildValue(ctx, as, text, hex, delimiter, &value) ||
        !ResolveValueView(ctx, view, target.subkey, &viewFlag))
        return;
    CallKey written;
    if (!OpenValueKey(ctx, key, target.subkey, KEY_SET_VALUE, viewFlag, true, &written))
        return;
    LONG status = RegSetValueExW(written.key, target.value, 0, value.type, value.bytes, value.size);
    if (status != ERROR_SUCCESS) {
        StoreLastError(ctx, DWORD(status), "RegSetValueEx", true);
        SetError(ctx, ERR_SET_FAILED);
        return;
    }
    SetResultInt(ctx, result, 1);
}

// ---------------------------------------------------------------- cases

template <WriteAs as>
void CaseSet(BDS* ctx, BuiltinCall& c)
{
    if (WideFormAvailable(ctx))
        DoRegSet(ctx, c.result, ScriptKey(ArgInt(c, 1)), ArgWText(ctx, c, 2), ArgWText(ctx, c, 3), as,
                 ArgInt(c, 4));
}

void CaseRegSetMulSz(BDS* ctx, BuiltinCall& c)
{
    if (WideFormAvailable(ctx))
        DoRegSet(ctx, c.result, ScriptKey(ArgInt(c, 1)), ArgWText(ctx, c, 2), ArgWText(ctx, c, 3),
                 WriteAs::MulSz, ArgInt(c, 5), ArgWText(ctx, c, 4));
}

// The registry types RegSetEx writes (besides links), and the built-in each one writes like.
constexpr struct {
    int32_t type;
    WriteAs as;
} SET_EX_TYPES[] = {
    {REG_NONE, WriteAs::None},   {REG_SZ, WriteAs::Sz},          {REG_EXPAND_SZ, WriteAs::ExpSz},
    {REG_BINARY, WriteAs::Bin},  {REG_DWORD, WriteAs::Dword},    {REG_MULTI_SZ, WriteAs::MulSz},
    {REG_QWORD, WriteAs::Qword},
};

void CaseRegSetEx(BDS* ctx, BuiltinCall& c)
{
    if (!WideFormAvailable(ctx))
        return;
    HKEY key = ScriptKey(ArgInt(c, 1));
    int32_t type = ArgInt(c, 5);
    if (type == REG_LINK) {
        DoRegSetLink(ctx, c.result, key, ArgWText(ctx, c, 2), ArgWText(ctx, c, 3), ArgInt(c, 6));
        return;
    }
    for (const auto& t : SET_EX_TYPES)
        if (t.type == type) {
            DoRegSet(ctx, c.result, key, ArgWText(ctx, c, 2), ArgWText(ctx, c, 3), t.as, ArgInt(c, 6),
                     ArgWText(ctx, c, 4));
            return;
        }
    SetError(ctx, ERR_BAD_SET_TYPE);
}

void CaseRegDelValue(BDS* ctx, BuiltinCall& c)
{
    if (!WideFormAvailable(ctx))
        return;
    RegValueName name;
    REGSAM viewFlag = 0;
    CallKey target;
    if (!SplitValueName(ctx, ArgWText(ctx, c, 2), &name) ||
        !ResolveValueView(ctx, ArgInt(c, 3), name.subkey, &viewFlag) ||
        !OpenValueKey(ctx, ScriptKey(ArgInt(c, 1)), name.subkey, KEY_SET_VALUE, viewFlag, false, &target))
        return;
    SetResultInt(ctx, c.result, RegDeleteValueW(target.key, name.value) == ERROR_SUCCESS ? 1 : 0);
}

const BuiltinRow kRows[] = {
    {627, CaseRegDelValue},
    {647, CaseSet<WriteAs::Bin>},
    {648, CaseSet<WriteAs::Dword>},
    {649, CaseRegSetEx},
    {650, CaseSet<WriteAs::ExpSz>},
    {651, CaseRegSetMulSz},
    {652, CaseSet<WriteAs::Qword>},
    {653, CaseSet<WriteAs::Sz>},
};

}  // namespace

extern const BuiltinFamily g_RegistryWriteBuiltins = {"registry writes", kRows,
                                                      static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
