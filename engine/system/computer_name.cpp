// NetInfo, ComputerNameGet and ComputerNameSet. Changing the name goes through the
// context's table of machine-changing calls.
#include "engine/system/computer_name.h"

#include <windows.h>

#include <string>

#include "engine/core/builtin.h"
#include "engine/core/errors.h"
#include "engine/core/router.h"
#include "engine/core/system_flags.h"

namespace {

enum : uint16_t {
    ERR_GET_NAME = 1768,   // "ComputerNameGet: Error getting computer name"
    ERR_SET_NAME = 1769,   // "ComputerNameSet: Error setting computer name"
    ERR_FORMAT = 1823,     // "Invalid format"
};

constexpr const char* PROVIDER_ORDER_KEY = "System\\CurrentControlSet\\Control\\NetworkProvider\\Order";
constexpr DWORD PROVIDER_ORDER_BYTES = 1281;
constexpr DWORD NAME_CHARS = 2050;
constexpr int32_t FORMAT_EX_FIRST = 100;   // 100-107: the system's name formats 0-7
constexpr int32_t FORMAT_EX_LAST = 107;

// ---------------------------------------------------------------- NetInfo

// The providers of the "ProviderOrder" value (comma-separated) as a list of the delimiter;
// empty when the key or the value is missing.
std::string ProviderList(char delimiter)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, PROVIDER_ORDER_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "";
    char order[PROVIDER_ORDER_BYTES + 1] = {};
    DWORD size = PROVIDER_ORDER_BYTES;
    DWORD type = 0;
    LONG status = RegQueryValueExA(key, "ProviderOrder", nullptr, &type, reinterpret_cast<BYTE*>(order), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return "";
    std::string list(order, strnlen(order, size < PROVIDER_ORDER_BYTES ? size : PROVIDER_ORDER_BYTES));
    for (char& ch : list)
        if (ch == ',')
            ch = delimiter;
    return list;
}

void CaseNetInfo(BDS* ctx, BuiltinCall& c)
{
    if (ArgInt(c, 1) == 0) {
        SetResultText(ctx, c.result, "WINNT");
        return;
    }
    std::string list = ProviderList(ctx->eng.ctl.FileDelimiter);
    SetResultText(ctx, c.result, list.c_str(), list.size());
}

// ---------------------------------------------------------------- ComputerNameGet

bool FormatIsKnown(int32_t format) { return format == 0 || (format >= FORMAT_EX_FIRST && format <= FORMAT_EX_LAST); }

template <typename Ch>
struct NameCalls;
template <>
struct NameCalls<wchar_t> {
    using GetEx = BOOL(WINAPI*)(COMPUTER_NAME_FORMAT, LPWSTR, LPDWORD);
    static constexpr const char* getExName = "GetComputerNameExW";
    static BOOL Get(wchar_t* name, DWORD* size) { return GetComputerNameW(name, size); }
    static void Answer(BDS* ctx, resultants* result, const wchar_t* name) { SetResultWText(ctx, result, name); }
};
template <>
struct NameCalls<char> {
    using GetEx = BOOL(WINAPI*)(COMPUTER_NAME_FORMAT, LPSTR, LPDWORD);
    static constexpr const char* getExName = "GetComputerNameExA";
    static BOOL Get(char* name, DWORD* size) { return GetComputerNameA(name, size); }
    static void Answer(BDS* ctx, resultants* result, const char* name) { SetResultText(ctx, result, name); }
};

// Format 0 (or a system before the name formats) is the NetBIOS name; 100-107 the system's
// formats 0-7.
template <typename Ch>
void ComputerNameGet(BDS* ctx, int32_t format, resultants* result)
{
    using Calls = NameCalls<Ch>;
    Ch name[NAME_CHARS] = {};
    DWORD size = NAME_CHARS;
    BOOL ok = FALSE;
    if (format == 0 || !SystemFacts().OsIsWin2000Plus) {
        ok = Calls::Get(name, &size);
    } else {
        auto getEx = reinterpret_cast<typename Calls::GetEx>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("KERNEL32.DLL"), Calls::getExName)));
        ok = getEx && getEx(static_cast<COMPUTER_NAME_FORMAT>(format - FORMAT_EX_FIRST), name, &size);
    }
    if (!ok) {
        StoreLastError(ctx, GetLastError(), "GetComputerName", false);
        SetError(ctx, ERR_GET_NAME);
        return;
    }
    Calls::Answer(ctx, result, name);
}

void CaseComputerNameGet(BDS* ctx, BuiltinCall& c)
{
    int32_t format = ArgInt(c, 1);
    if (!FormatIsKnown(format)) {
        SetError(ctx, ERR_FORMAT);
        return;
    }
    if (IsUnicodeMode())
        ComputerNameGet<wchar_t>(ctx, format, c.result);
    else
        ComputerNameGet<char>(ctx, format, c.result);
}

// ---------------------------------------------------------------- ComputerNameSet

// The system's name format for a script's format; false for a format that names none.
bool SetFormatOf(int32_t format, COMPUTER_NAME_FORMAT* out)
{
    switch (format) {
    case 0: *out = ComputerNamePhysicalDnsHostname; return true;
    case 104: *out = ComputerNamePhysicalNetBIOS; return true;
    case 105: *out = ComputerNamePhysicalDnsHostname; return true;
    case 106: *out = ComputerNamePhysicalDnsDomain; return true;
    default: return false;
    }
}

// The change through the entry of the system's table; the text's width picks the entry.
template <typename Ch, typename SetEx, typename Set>
int32_t ComputerNameSet(BDS* ctx, const Ch* name, int32_t format, SetEx setEx, Set set)
{
    if (!name[0])
        return 0;
    BOOL done = FALSE;
    if (SystemFacts().OsIsWin2000Plus) {
        COMPUTER_NAME_FORMAT system;
        if (!SetFormatOf(format, &system)) {
            SetError(ctx, ERR_FORMAT);
            return 0;
        }
        done = setEx && setEx(system, name);
    } else {
        done = set && set(name);
    }
    if (!done) {
        if (setEx || set)
            StoreLastError(ctx, GetLastError(), "SetComputerName", false);
        SetError(ctx, ERR_SET_NAME);
        return 0;
    }
    return done;
}

void CaseComputerNameSet(BDS* ctx, BuiltinCall& c)
{
    const SystemEntries& sys = ctx->eng.system;
    int32_t format = ArgInt(c, 2);
    int32_t done = ArgIsWide(c, 1)
                       ? ComputerNameSet(ctx, ArgWText(ctx, c, 1), format, sys.SetComputerNameExW, sys.SetComputerNameW)
                       : DoComputerNameSetA(ctx, ArgText(ctx, c, 1), format);
    SetResultInt(ctx, c.result, done);
}

const BuiltinRow kRows[] = {
    {372, CaseComputerNameGet},
    {373, CaseComputerNameSet},
    {580, CaseNetInfo},
};

}  // namespace

extern const BuiltinFamily g_ComputerNameBuiltins = {"network and computer names", kRows,
                                                     static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};

int32_t DoComputerNameSetA(BDS* ctx, const char* name, int32_t format)
{
    const SystemEntries& sys = ctx->eng.system;
    return ComputerNameSet(ctx, name ? name : "", format, sys.SetComputerNameExA, sys.SetComputerNameA);
}
