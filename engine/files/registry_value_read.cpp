// The registry built-ins that read values: RegQueryValue, RegQueryStr, RegQueryExpSz,
// RegQueryBin, RegQueryDword, RegQueryQword, RegQueryMulSz, RegQueryEx, RegExistValue and
// RegEntryType, with the conversions of registry data into script text.
#include <cstdio>
#include <cwchar>

#include "engine/core/builtin.h"
#include "engine/core/errors.h"
#include "engine/files/registry.h"

namespace {

enum : uint16_t {
    ERR_QUERY_FAILED = 1233,
    ERR_VALUE_IS_BINARY = 1453,
    ERR_NOT_BINARY = 1454,
    ERR_NO_BLOCK = 1455,
    ERR_NOT_DWORD = 1456,
    ERR_NOT_EXPAND_SZ = 1483,
    ERR_NOT_MULTI_SZ = 1484,
    ERR_BAD_DELIMITER = 1487,
    ERR_VALUE_IS_EXPAND_SZ = 1488,
    ERR_VALUE_IS_MULTI_SZ = 1489,
    ERR_NOT_CONVERTIBLE = 1490,
    ERR_BAD_QUERY_TYPE = 1492,
    ERR_ENTRY_TYPE = 1494,
    ERR_NOT_SZ = 1645,
    ERR_NOT_QWORD = 1741,
    ERR_VALUE_IS_QWORD = 1742,
    ERR_BAD_FLAGS = 1822,
};

// What a query built-in accepts and how it shows the data.
enum class ReadAs { Value, Str, ExpSz, Bin, Dword, Qword, MulSz };

// The format flags of a DWORD (the two low bits of RegQueryDword's view argument).
enum : uint32_t { DWORD_UNSIGNED = 0, DWORD_HEX = 1, DWORD_SIGNED = 2, DWORD_BAD = 3 };

// The data of one value as the registry holds it, with two zero characters behind it so
// that text not terminated in the registry still ends.
struct ValueData {
    DWORD type = 0;
    DWORD size = 0;
    RegBuffer buffer;
};

bool ReadValueData(BDS* ctx, HKEY key, const wchar_t* name, ValueData* out)
{
    // A value that grows between the size query and the read is asked for again.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = 0;
        LONG status = RegQueryValueExW(key, name, nullptr, &out->type, nullptr, &size);
        if (status == ERROR_SUCCESS) {
            if (!out->buffer.Reserve(ctx, size_t(size) + 2 * sizeof(wchar_t)))
                return false;
            status = RegQueryValueExW(key, name, nullptr, &out->type, out->buffer.data, &size);
            if (status == ERROR_MORE_DATA)
                continue;
        }
        if (status != ERROR_SUCCESS) {
            StoreLastError(ctx, DWORD(status), "RegQueryValueEx", true);
            SetError(ctx, ERR_QUERY_FAILED);
            return false;
        }
        out->size = size;
        return true;
    }
    SetError(ctx, ERR_QUERY_FAILED);
    return false;
}

// The error for a value of this type read by this built-in; 0 when it is accepted.
uint16_t TypeError(ReadAs as, DWORD type)
{
    switch (as) {
    case ReadAs::Value:
        switch (type) {
        case REG_SZ:
        case REG_DWORD:
        case REG_DWORD_BIG_ENDIAN:
            return 0;
        case REG_EXPAND_SZ:
            return ERR_VALUE_IS_EXPAND_SZ;
        case REG_BINARY:
            return ERR_VALUE_IS_BINARY;
        case REG_MULTI_SZ:
            return ERR_VALUE_IS_MULTI_SZ;
        case REG_QWORD:
            return ERR_VALUE_IS_QWORD;
        default:
            return ERR_NOT_CONVERTIBLE;
        }
    case ReadAs::Str:
        return type == REG_SZ || type == REG_EXPAND_SZ ? 0 : ERR_NOT_SZ;
    case ReadAs::ExpSz:
        return type == REG_EXPAND_SZ ? 0 : ERR_NOT_EXPAND_SZ;
    case ReadAs::Bin:
        return type == REG_BINARY ? 0 : ERR_NOT_BINARY;
    case ReadAs::Dword:
        return type == REG_DWORD || type == REG_DWORD_BIG_ENDIAN ? 0 : ERR_NOT_DWORD;
    case ReadAs::Qword:
        return type == REG_QWORD ? 0 : ERR_NOT_QWORD;
    case ReadAs::MulSz:
        return type == REG_MULTI_SZ ? 0 : ERR_NOT_MULTI_SZ;
    }
    return ERR_NOT_CONVERTIBLE;
}

// ---------------------------------------------------------------- conversions

void AnswerText(BDS* ctx, resultants* result, const ValueData& data)
{
    const wchar_t* text = data.buffer.As<wchar_t>();
    SetResultWText(ctx, result, text, wcsnlen(text, data.size / sizeof(wchar_t)));
}

void AnswerExpanded(BDS* ctx, resultants* result, const ValueData& data)
{
    const wchar_t* text = data.buffer.As<wchar_t>();
    DWORD needed = ExpandEnvironmentStringsW(text, nullptr, 0);
    RegBuffer expanded;
    if (needed == 0 || !expanded.Reserve(ctx, size_t(needed) * sizeof(wchar_t))) {
        SetError(ctx, ERR_NO_BLOCK);
        return;
    }
    DWORD written = ExpandEnvironmentStringsW(text, expanded.As<wchar_t>(), needed);
    if (written == 0 || written > needed) {
        SetError(ctx, ERR_NO_BLOCK);
        return;
    }
    SetResultWText(ctx, result, expanded.As<wchar_t>(), wcsnlen(expanded.As<wchar_t>(), needed));
}

// Each byte in stored order as two upper-case hex digits, bytes separated by one blank.
void AnswerHexBytes(BDS* ctx, resultants* result, const ValueData& data)
{
    RegBuffer text;
    if (!text.Reserve(ctx, (size_t(data.size) * 3 + 1) * sizeof(wchar_t)))
        return;
    static const wchar_t digits[] = L"0123456789ABCDEF";
    wchar_t* out = text.As<wchar_t>();
    size_t n = 0;
    for (DWORD i = 0; i < data.size; ++i) {
        if (i)
            out[n++] = L' ';
        out[n++] = digits[data.buffer.data[i] >> 4];
        out[n++] = digits[data.buffer.data[i] & 15];
    }
    SetResultWText(ctx, result, out, n);
}

void AnswerDword(BDS* ctx, resultants* result, const ValueData& data, uint32_t format)
{
    const uint8_t* b = data.buffer.data;
    wchar_t text[16];
    if (data.type == REG_DWORD_BIG_ENDIAN) {
        unsigned long v = (unsigned long)b[0] << 24 | (unsigned long)b[1] << 16 | (unsigned long)b[2] << 8 | b[3];
        swprintf(text, 16, (format & DWORD_HEX) ? L"%lX" : L"%lu", v);
    } else {
        unsigned long v = (unsigned long)b[3] << 24 | (unsigned long)b[2] << 16 | (unsigned long)b[1] << 8 | b[0];
        if (format == DWORD_HEX)
            swprintf(text, 16, L"%lX", v);
        else if (format == DWORD_SIGNED)
            swprintf(text, 16, L"%d", int32_t(uint32_t(v)));
        else
            swprintf(text, 16, L"%lu", v);
    }
    SetResultWText(ctx, result, text);
}

// The strings of a REG_MULTI_SZ joined by the delimiter: a, NUL, b, NUL, NUL reads a|b.
void AnswerMultiSz(BDS* ctx, resultants* result, ValueData& data, wchar_t delimiter)
{
    wchar_t* text = data.buffer.As<wchar_t>();
    size_t n = data.size / sizeof(wchar_t);
    if (n && text[n - 1] == 0)
        --n;   // the list's final NUL
    bool endsInNul = n && text[n - 1] == 0;
    for (size_t i = 0; i < n; ++i)
        if (text[i] == 0)
            text[i] = delimiter;
    if (endsInNul)
        --n;   // the last string's NUL
    SetResultWText(ctx, result, text, n);
}

// ---------------------------------------------------------------- the query road

// Reads the value named by `text` below `key` and answers it as `as` shows it. The view
// argument of ReadAs::Dword carries the format flags in its two low bits.
void DoRegQuery(BDS* ctx, resultants* result, HKEY key, const wchar_t* text, ReadAs as, int32_t view,
                const wchar_t* delimiter = L"")
{
    uint32_t format = DWORD_UNSIGNED;
    if (as == ReadAs::Dword) {
        format = uint32_t(view) & 3;
        view &= ~3;
        if (format == DWORD_BAD) {
            SetError(ctx, ERR_BAD_FLAGS);
            return;
        }
    }
    if (as == ReadAs::MulSz && (!delimiter[0] || delimiter[1])) {
        SetError(ctx, ERR_BAD_DELIMITER);
        return;
    }
    RegValueName name;
    REGSAM viewFlag = 0;
    if (!SplitValueName(ctx, text, &name) || !ResolveValueView(ctx, view, name.subkey, &viewFlag))
        return;
    CallKey target;
    ValueData data;
    if (!OpenValueKey(ctx, key, name.subkey, KEY_QUERY_VALUE, viewFlag, false, &target) ||
        !ReadValueData(ctx, target.key, name.value, &data))
        return;
    if (uint16_t error = TypeError(as, data.type)) {
        SetError(ctx, error);
        return;
    }
    switch (data.type) {
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
        AnswerDword(ctx, result, data, format);
        break;
    case REG_BINARY:
    case REG_QWORD:
        AnswerHexBytes(ctx, result, data);
        break;
    case REG_MULTI_SZ:
        AnswerMultiSz(ctx, result, data, delimiter[0]);
        break;
    case REG_EXPAND_SZ:
        if (as == ReadAs::Str) {
            AnswerExpanded(ctx, result, data);
            break;
        }
        [[fallthrough]];
    default:
        AnswerText(ctx, result, data);
        break;
    }
}

// ---------------------------------------------------------------- cases

template <ReadAs as>
void CaseQuery(BDS* ctx, BuiltinCall& c)
{
    if (WideFormAvailable(ctx))
        DoRegQuery(ctx, c.result, ScriptKey(ArgInt(c, 1)), ArgWText(ctx, c, 2), as, ArgInt(c, 3));
}

void CaseRegQueryMulSz(BDS* ctx, BuiltinCall& c)
{
    if (WideFormAvailable(ctx))
        DoRegQuery(ctx, c.result, ScriptKey(ArgInt(c, 1)), ArgWText(ctx, c, 2), ReadAs::MulSz, ArgInt(c, 4),
                   ArgWText(ctx, c, 3));
}

// The registry types RegQueryEx reads, and the built-in each one reads like.
constexpr struct {
    int32_t type;
    ReadAs as;
} QUERY_EX_TYPES[] = {
    {REG_SZ, ReadAs::Value},   {REG_EXPAND_SZ, ReadAs::ExpSz}, {REG_BINARY, ReadAs::Bin},
    {REG_DWORD, ReadAs::Dword}, {REG_MULTI_SZ, ReadAs::MulSz},  {REG_QWORD, ReadAs::Qword},
};

void CaseRegQueryEx(BDS* ctx, BuiltinCall& c)
{
    if (!WideFormAvailable(ctx))
        return;
    for (const auto& t : QUERY_EX_TYPES)
        if (t.type == ArgInt(c, 4)) {
            DoRegQuery(ctx, c.result, ScriptKey(ArgInt(c, 1)), ArgWText(ctx, c, 2), t.as, ArgInt(c, 5),
                       ArgWText(ctx, c, 3));
            return;
        }
    SetError(ctx, ERR_BAD_QUERY_TYPE);
}

// RegExistValue (a missing subkey or value is 0, no error) and RegEntryType (both errors).
void QueryEntry(BDS* ctx, BuiltinCall& c, bool typeWanted)
{
    if (!WideFormAvailable(ctx))
        return;
    RegValueName name;
    REGSAM viewFlag = 0;
    if (!SplitValueName(ctx, ArgWText(ctx, c, 2), &name) ||
        !ResolveValueView(ctx, ArgInt(c, 3), name.subkey, &viewFlag))
        return;
    HKEY key = ScriptKey(ArgInt(c, 1));
    CallKey target;
    if (!typeWanted && *name.subkey) {   // a test: a subkey that cannot be opened is no error
        if (RegOpenKeyExW(key, name.subkey, 0, KEY_QUERY_VALUE | viewFlag, &target.key) != ERROR_SUCCESS) {
            SetResultInt(ctx, c.result, 0);
            return;
        }
        target.owned = true;
    } else if (!OpenValueKey(ctx, key, name.subkey, KEY_QUERY_VALUE, viewFlag, false, &target)) {
        return;
    }
    DWORD type = 0;
    LONG status = RegQueryValueExW(target.key, name.value, nullptr, &type, nullptr, nullptr);
    if (!typeWanted) {
        SetResultInt(ctx, c.result, status == ERROR_SUCCESS ? 1 : 0);
        return;
    }
    if (status != ERROR_SUCCESS) {
        StoreLastError(ctx, DWORD(status), "RegQueryValueEx", true);
        SetError(ctx, ERR_ENTRY_TYPE);
        return;
    }
    SetResultInt(ctx, c.result, int32_t(type));
}

void CaseRegExistValue(BDS* ctx, BuiltinCall& c) { QueryEntry(ctx, c, false); }

void CaseRegEntryType(BDS* ctx, BuiltinCall& c) { QueryEntry(ctx, c, true); }

const BuiltinRow kRows[] = {
    {628, CaseRegEntryType},
    {630, CaseRegExistValue},
    {635, CaseQuery<ReadAs::Bin>},
    {636, CaseQuery<ReadAs::Dword>},
    {637, CaseRegQueryEx},
    {638, CaseQuery<ReadAs::ExpSz>},
    {643, CaseRegQueryMulSz},
    {644, CaseQuery<ReadAs::Qword>},
    {645, CaseQuery<ReadAs::Str>},
    {646, CaseQuery<ReadAs::Value>},
};

}  // namespace

extern const BuiltinFamily g_RegistryReadBuiltins = {"registry reads", kRows,
                                                     static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
