// WinSysInfo and WinVersion: the processor record, the computer's name and the parts of
// the system's version record.
#include "engine/system/system_info.h"

#include <windows.h>

#include <cstdio>

#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/core/system_flags.h"

namespace {

constexpr uint16_t ERR_BAD_LEVEL = 1567;   // "WinVersion: Invalid level"
constexpr DWORD NAME_CHARS = 2050;
constexpr DWORD REGISTRY_TEXT_CHARS = 2050;
constexpr char CURRENT_VERSION_KEY[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

// WinSysInfo(): computer name, processor architecture, page size, active processor mask
// (low 32 bits), processors, processor type, allocation granularity, processor level and
// revision, joined by TABs.
void CaseWinSysInfo(BDS* ctx, BuiltinCall& call)
{
    SYSTEM_INFO info{};
    GetSystemInfo(&info);   // a 64-bit engine sees the native record
    char name[NAME_CHARS] = {};
    DWORD size = NAME_CHARS;
    if (!GetComputerNameA(name, &size))
        name[0] = 0;
    char text[NAME_CHARS + 160];
    std::snprintf(text, sizeof text, "%s\t%u\t%lu\t%lu\t%lu\t%lu\t%lu\t%u\t%u", name,
                  static_cast<unsigned>(info.wProcessorArchitecture), static_cast<unsigned long>(info.dwPageSize),
                  static_cast<unsigned long>(info.dwActiveProcessorMask & 0xFFFFFFFFu),
                  static_cast<unsigned long>(info.dwNumberOfProcessors),
                  static_cast<unsigned long>(info.dwProcessorType),
                  static_cast<unsigned long>(info.dwAllocationGranularity),
                  static_cast<unsigned>(info.wProcessorLevel), static_cast<unsigned>(info.wProcessorRevision));
    SetResultText(ctx, call.result, text);
}

bool ReadVersion(OSVERSIONINFOEXA* version)
{
    *version = OSVERSIONINFOEXA{};
    version->dwOSVersionInfoSize = sizeof *version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(version)) != 0;
#pragma GCC diagnostic pop
}

// Requests 11 and 12: a text of the system's CurrentVersion key, on Windows 10 and later.
void VersionRegistryText(BDS* ctx, resultants* result, const OSVERSIONINFOEXA& version, const char* name)
{
    char value[REGISTRY_TEXT_CHARS + 1] = {};
    if (version.dwMajorVersion > 6) {
        DWORD bytes = REGISTRY_TEXT_CHARS;
        DWORD type = 0;
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, CURRENT_VERSION_KEY, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
            if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes) != ERROR_SUCCESS ||
                (type != REG_SZ && type != REG_EXPAND_SZ))
                value[0] = 0;
            value[REGISTRY_TEXT_CHARS] = 0;
            RegCloseKey(key);
        }
    }
    SetResultText(ctx, result, value);
}

// WinVersion(request)
void CaseWinVersion(BDS* ctx, BuiltinCall& call)
{
    int32_t request = ArgInt(call, 1);
    OSVERSIONINFOEXA version;
    bool known = ReadVersion(&version);
    switch (request) {
    case 0: return SetResultInt(ctx, call.result, static_cast<int32_t>(version.dwMinorVersion));
    case 1: return SetResultInt(ctx, call.result, static_cast<int32_t>(version.dwMajorVersion));
    case 2: return SetResultInt(ctx, call.result, static_cast<int32_t>(version.dwBuildNumber & 0xFFFF));
    case 3: {
        const char* servicePack = version.szCSDVersion;
        while (*servicePack == ' ')
            ++servicePack;
        SetResultText(ctx, call.result, servicePack);
        return;
    }
    case 4: return SetResultInt(ctx, call.result, WinPlatformCode());
    case 5: {
        char text[64];
        std::snprintf(text, sizeof text, "%d-%d-%d", static_cast<int>(version.dwPlatformId),
                      static_cast<int>(version.dwMajorVersion), static_cast<int>(version.dwMinorVersion));
        SetResultText(ctx, call.result, text);
        return;
    }
    case 6: case 7: case 8: case 9: {
        if (!known) {
            SetResultText(ctx, call.result, "");
            return;
        }
        int32_t parts[] = {version.wServicePackMajor, version.wServicePackMinor, version.wSuiteMask,
                           version.wProductType};
        return SetResultInt(ctx, call.result, parts[request - 6]);
    }
    case 10: return SetResultInt(ctx, call.result, 2);
    case 11: return VersionRegistryText(ctx, call.result, version, "ReleaseId");
    case 12: return VersionRegistryText(ctx, call.result, version, "DisplayVersion");
    default:
        SetError(ctx, ERR_BAD_LEVEL);
        return;
    }
}

const BuiltinRow kRows[] = {
    {795, CaseWinSysInfo},
    {797, CaseWinVersion},
};

}  // namespace

extern const BuiltinFamily g_SystemInfoBuiltins = {"system-info", kRows,
                                                   static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};

int32_t WinPlatformCode()
{
    switch (SystemFacts().platform) {
    case VER_PLATFORM_WIN32s:
        return 3;
    case VER_PLATFORM_WIN32_WINDOWS:
        return 5;
    case VER_PLATFORM_WIN32_NT:
        return 4;
    default:
        return 0;
    }
}
