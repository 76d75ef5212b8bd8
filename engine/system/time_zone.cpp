// Time zones: the process's CTimeZone with the optional dynamic zone operations, and the
// lookup of a zone's rules for a year (those operations first, the registry's "TZI" value
// and the computer's own zone as the fallback).
#include "engine/system/time_zone.h"

#include <cwchar>
#include <new>
#include <string>

const wchar_t* const TIME_ZONES_KEY = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones\\";

namespace {

constexpr size_t KEY_PATH_LIMIT = 2050;   // characters of the zone key's full path
constexpr size_t KEY_PATH_BASE = 57;      // the length the zone name adds to

// The registry form of a zone's rules.
struct RegistryTzi {
    LONG Bias;
    LONG StandardBias;
    LONG DaylightBias;
    SYSTEMTIME StandardDate;
    SYSTEMTIME DaylightDate;
};
static_assert(sizeof(RegistryTzi) == 44);

CTimeZone* g_instance;

template <typename T>
T Resolve(HMODULE module, const char* name)
{
    return module ? reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

bool ReadRegistryZone(const wchar_t* name, TIME_ZONE_INFORMATION* info)
{
    size_t length = wcslen(name);
    if (length + KEY_PATH_BASE >= KEY_PATH_LIMIT || wcschr(name, L'\\'))
        return false;
    std::wstring path = std::wstring(TIME_ZONES_KEY) + name;
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    RegistryTzi tzi{};
    DWORD size = sizeof tzi;
    DWORD type = 0;
    LONG status = RegQueryValueExW(key, L"TZI", nullptr, &type, reinterpret_cast<BYTE*>(&tzi), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || size != sizeof tzi)
        return false;
    *info = TIME_ZONE_INFORMATION{};
    info->Bias = tzi.Bias;
    info->StandardBias = tzi.StandardBias;
    info->DaylightBias = tzi.DaylightBias;
    info->StandardDate = tzi.StandardDate;
    info->DaylightDate = tzi.DaylightDate;
    return true;
}

}  // namespace

bool IsLocalZoneName(const wchar_t* name)
{
    return !name || !*name || !_wcsicmp(name, L"local");
}

CTimeZone::CTimeZone() { LoadApis(); }

CTimeZone::~CTimeZone()
{
    if (advapi_)
        FreeLibrary(advapi_);
    if (kernel_)
        FreeLibrary(kernel_);
    advapi_ = kernel_ = nullptr;
    effectiveYears_ = nullptr;
    enumZones_ = nullptr;
    getDynamic_ = nullptr;
    setDynamic_ = nullptr;
    forYear_ = nullptr;
    if (g_instance == this)
        g_instance = nullptr;
}

void CTimeZone::LoadApis()
{
    UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    advapi_ = LoadLibraryA("advapi32.dll");
    kernel_ = LoadLibraryA("Kernel32.dll");
    SetErrorMode(oldMode);
    effectiveYears_ = Resolve<PfnGetDynamicTimeZoneInformationEffectiveYears>(
        advapi_, "GetDynamicTimeZoneInformationEffectiveYears");
    enumZones_ = Resolve<PfnEnumDynamicTimeZoneInformation>(advapi_, "EnumDynamicTimeZoneInformation");
    getDynamic_ = Resolve<PfnGetDynamicTimeZoneInformation>(kernel_, "GetDynamicTimeZoneInformation");
    setDynamic_ = Resolve<PfnSetDynamicTimeZoneInformation>(kernel_, "SetDynamicTimeZoneInformation");
    forYear_ = Resolve<PfnGetTimeZoneInformationForYear>(kernel_, "GetTimeZoneInformationForYear");
    ApisLoaded = effectiveYears_ && enumZones_ && getDynamic_ && setDynamic_ && forYear_ ? 1 : 0;
    Initialised = 1;
}

bool CTimeZone::LookupDynamic(const wchar_t* name, uint16_t year, TIME_ZONE_INFORMATION* info) const
{
    DYNAMIC_TIME_ZONE_INFORMATION zone{};
    if (IsLocalZoneName(name)) {
        if (getDynamic_(&zone) == TIME_ZONE_ID_INVALID)
            return false;
        return forYear_(year, &zone, info) != FALSE;
    }
    for (DWORD index = 0;; ++index) {
        zone = DYNAMIC_TIME_ZONE_INFORMATION{};
        if (enumZones_(index, &zone) != ERROR_SUCCESS)
            return false;   // the end of the list: not found
        if (!_wcsicmp(zone.TimeZoneKeyName, name))
            return forYear_(year, &zone, info) != FALSE;
    }
}

bool CTimeZone::Lookup(const wchar_t* name, uint16_t year, TIME_ZONE_INFORMATION* info) const
{
    if (ApisLoaded && LookupDynamic(name, year, info))
        return true;
    if (IsLocalZoneName(name))
        return GetTimeZoneInformation(info) != TIME_ZONE_ID_INVALID;
    return ReadRegistryZone(name, info);
}

CTimeZone* TimeZoneInstance()
{
    if (!g_instance)
        g_instance = new (std::nothrow) CTimeZone();
    return g_instance;
}
