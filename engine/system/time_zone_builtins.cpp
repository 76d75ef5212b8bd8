// TimeZoneConvert and TimeZoneList: a YmdHms time moved from one zone to another, and the
// zones the system knows (or the name of the computer's own).
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "engine/core/builtin.h"
#include "engine/core/errors.h"
#include "engine/data/result_array.h"
#include "engine/system/date_text.h"
#include "engine/system/time_zone.h"

namespace {

enum : uint16_t {
    ERR_TIME_VALUE = 1020,    // "Time functions: Time parameter error - bad value"
    ERR_INTERNAL = 1425,      // "ZAL Internal Error"
    ERR_OPEN_SUBKEY = 1451,   // "REG Functions: Unable to open specified subkey"
    ERR_NO_MEMORY = 1588,     // "Unable to allocate or lock memory"
    ERR_ARRAY_ACCESS = 1637,  // "Error accessing array data"
    ERR_INVALID = 1824,       // "Invalid value"
    ERR_FAILED = 1825,        // "Function failed"
};

constexpr int STANDARD_NAME_CHARS = 32;

// The zone's rules for the year, or 1824 with the zone's name in the extended error.
bool LookupZone(BDS* ctx, const CTimeZone& zones, const wchar_t* name, uint16_t year, TIME_ZONE_INFORMATION* info)
{
    if (zones.Lookup(name, year, info))
        return true;
    AppendExtendedErrorW(ctx, name);
    SetError(ctx, ERR_INVALID);
    return false;
}

// A time with all six fields: a date alone has no time of day to convert.
bool ReadFullTime(const char* text, SYSTEMTIME* time)
{
    YmdHmsFields f;
    int colons = 0;
    for (const char* p = text; *p; ++p)
        colons += *p == ':';
    if (colons != 5 || !ParseYMDHMS(text, &f, YMD_CHECK_FULL, 1))
        return false;
    *time = SYSTEMTIME{};
    time->wYear = static_cast<WORD>(f.year);
    time->wMonth = static_cast<WORD>(f.month);
    time->wDay = static_cast<WORD>(f.day);
    time->wHour = static_cast<WORD>(f.hour);
    time->wMinute = static_cast<WORD>(f.minute);
    time->wSecond = static_cast<WORD>(f.second);
    return true;
}

void CaseTimeZoneConvert(BDS* ctx, BuiltinCall& c)
{
    const char* text = ArgText(ctx, c, 1);
    SYSTEMTIME local;
    if (!ReadFullTime(text, &local)) {
        AppendExtendedError(ctx, text);
        SetError(ctx, ERR_TIME_VALUE);
        return;
    }
    const CTimeZone* zones = TimeZoneInstance();
    if (!zones) {
        SetError(ctx, ERR_NO_MEMORY);
        return;
    }
    TIME_ZONE_INFORMATION from, to;
    SYSTEMTIME utc, converted;
    if (!LookupZone(ctx, *zones, ArgWText(ctx, c, 2), local.wYear, &from))
        return;
    if (!TzSpecificLocalTimeToSystemTime(&from, &local, &utc)) {
        SetError(ctx, ERR_INVALID);
        return;
    }
    if (!LookupZone(ctx, *zones, ArgWText(ctx, c, 3), local.wYear, &to))
        return;
    if (!SystemTimeToTzSpecificLocalTime(&to, &utc, &converted)) {
        SetError(ctx, ERR_INVALID);
        return;
    }
    char result[40];
    snprintf(result, sizeof result, "%04d:%02d:%02d:%02d:%02d:%02d", converted.wYear, converted.wMonth,
             converted.wDay, converted.wHour, converted.wMinute, converted.wSecond);
    SetResultText(ctx, c.result, result);
}

// The names of the zone keys, in enumeration order; false with the error set.
bool ReadZoneNames(BDS* ctx, std::vector<std::wstring>* names, DWORD* count)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, TIME_ZONES_KEY, 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, &key) !=
        ERROR_SUCCESS) {
        SetError(ctx, ERR_OPEN_SUBKEY);
        return false;
    }
    DWORD longest = 0;
    *count = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, count, &longest, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS ||
        *count == 0) {
        RegCloseKey(key);
        SetError(ctx, ERR_FAILED);
        return false;
    }
    std::vector<wchar_t> name(longest + 2);
    for (DWORD i = 0; i < *count; ++i) {
        DWORD size = static_cast<DWORD>(name.size());
        if (RegEnumKeyExW(key, i, name.data(), &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names->emplace_back(name.data(), size);
    }
    RegCloseKey(key);
    return true;
}

void ZoneNamesAsText(BDS* ctx, resultants* result)
{
    std::vector<std::wstring> names;
    DWORD count;
    if (!ReadZoneNames(ctx, &names, &count))
        return;
    std::wstring list;
    for (const std::wstring& name : names)
        if (!name.empty())
            list += name + L'\t';
    if (!list.empty())
        list.pop_back();
    SetResultWText(ctx, result, list.c_str(), list.size());
}

void ZoneNamesAsArray(BDS* ctx, resultants* result)
{
    std::vector<std::wstring> names;
    DWORD count;
    if (!ReadZoneNames(ctx, &names, &count))
        return;
    ResultArray array(ctx);
    if (!array.Make(count)) {
        SetError(ctx, ERR_ARRAY_ACCESS);
        return;
    }
    for (size_t i = 0; i < names.size() && i < count; ++i)
        if (!array.SetWText(names[i].c_str(), static_cast<uint32_t>(i)))
            return;
    array.HandTo(result);
}

void CurrentZoneName(BDS* ctx, resultants* result)
{
    if (!TimeZoneInstance()) {
        SetError(ctx, ERR_NO_MEMORY);
        return;
    }
    TIME_ZONE_INFORMATION info{};
    if (GetTimeZoneInformation(&info) == TIME_ZONE_ID_INVALID) {
        AddSystemErrorInfo(ctx, GetLastError(), "GetTimeZoneInformation");
        SetError(ctx, ERR_INTERNAL);
        return;
    }
    size_t length = wcsnlen(info.StandardName, STANDARD_NAME_CHARS);
    if (length >= STANDARD_NAME_CHARS) {
        SetError(ctx, ERR_INTERNAL);
        return;
    }
    SetResultWText(ctx, result, info.StandardName, length);
}

void CaseTimeZoneList(BDS* ctx, BuiltinCall& c)
{
    switch (ArgInt(c, 1, 0)) {
    case 1:
        ZoneNamesAsArray(ctx, c.result);
        return;
    case 2:
        CurrentZoneName(ctx, c.result);
        return;
    default:
        ZoneNamesAsText(ctx, c.result);
        return;
    }
}

const BuiltinRow kRows[] = {
    {744, CaseTimeZoneConvert},
    {745, CaseTimeZoneList},
};

}  // namespace

extern const BuiltinFamily g_TimeZoneBuiltins = {"time zones", kRows,
                                                 static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
