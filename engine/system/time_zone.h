// Time zones by the names of the system's zone keys ("W. Europe Standard Time"); "local"
// (any case) or an empty name is the zone the computer is set to.
//
// CTimeZone holds the optional zone operations of the system (the dynamic zone calls, which
// know each year's rules); one instance serves the process, made on first use. Without
// them a zone's rules come from its registry key's "TZI" value.
#pragma once

#include <windows.h>

#include <cstdint>

using PfnGetDynamicTimeZoneInformationEffectiveYears =
    DWORD(WINAPI*)(const DYNAMIC_TIME_ZONE_INFORMATION*, LPDWORD, LPDWORD);
using PfnEnumDynamicTimeZoneInformation = DWORD(WINAPI*)(DWORD, PDYNAMIC_TIME_ZONE_INFORMATION);
using PfnGetDynamicTimeZoneInformation = DWORD(WINAPI*)(PDYNAMIC_TIME_ZONE_INFORMATION);
using PfnSetDynamicTimeZoneInformation = BOOL(WINAPI*)(const DYNAMIC_TIME_ZONE_INFORMATION*);
using PfnGetTimeZoneInformationForYear =
    BOOL(WINAPI*)(USHORT, PDYNAMIC_TIME_ZONE_INFORMATION, LPTIME_ZONE_INFORMATION);

class CTimeZone {
public:
    CTimeZone();
    virtual ~CTimeZone();
    CTimeZone(const CTimeZone&) = delete;
    CTimeZone& operator=(const CTimeZone&) = delete;

    // The rules of a zone for a year; false when the zone is not known.
    bool Lookup(const wchar_t* name, uint16_t year, TIME_ZONE_INFORMATION* info) const;

    uint32_t ApisLoaded = 0;    // all five optional operations were found
    uint32_t Initialised = 0;   // the load has been tried

private:
    void LoadApis();
    bool LookupDynamic(const wchar_t* name, uint16_t year, TIME_ZONE_INFORMATION* info) const;

    HMODULE advapi_ = nullptr;
    HMODULE kernel_ = nullptr;
    PfnGetDynamicTimeZoneInformationEffectiveYears effectiveYears_ = nullptr;
    PfnEnumDynamicTimeZoneInformation enumZones_ = nullptr;
    PfnGetDynamicTimeZoneInformation getDynamic_ = nullptr;
    PfnSetDynamicTimeZoneInformation setDynamic_ = nullptr;
    PfnGetTimeZoneInformationForYear forYear_ = nullptr;
};

// The process's instance, made (and its load tried) on the first call; null when it
// cannot be made.
CTimeZone* TimeZoneInstance();

// The key below HKEY_LOCAL_MACHINE that holds one subkey per zone.
extern const wchar_t* const TIME_ZONES_KEY;

// True for "local" in any case and for the empty name.
bool IsLocalZoneName(const wchar_t* name);
