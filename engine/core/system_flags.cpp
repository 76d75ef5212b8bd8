// Process-wide system flags, from the reported Windows version.
#include "engine/core/system_flags.h"

#include <windows.h>

SystemFlags g_System;
char g_szPopupMenuText[200];
char g_szMenuItemText[200];

namespace {

using PfnIsWow64Process = BOOL(WINAPI*)(HANDLE, PBOOL);

bool AtLeast(DWORD major, DWORD minor, DWORD wantMajor, DWORD wantMinor)
{
    return major > wantMajor || (major == wantMajor && minor >= wantMinor);
}

}  // namespace

void DetectSystemFlags()
{
    SystemFlags f{};
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExA(&info);
#pragma GCC diagnostic pop
    DWORD major = info.dwMajorVersion;
    DWORD minor = info.dwMinorVersion;
    DWORD build = info.dwBuildNumber & 0xFFFF;
    f.major = major;
    f.minor = minor;
    f.build = build;
    f.platform = info.dwPlatformId;

    f.OsIsWin9x = info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
    f.OsIsNt = info.dwPlatformId == VER_PLATFORM_WIN32_NT;
    if (f.OsIsWin9x) {
        f.OsIsWin95 = major == 4 && minor == 0;
        f.OsIsWin95First = f.OsIsWin95 && build < 1001;
        f.OsIsWin98 = major == 4 && minor == 10;
        f.OsIsWinMe = major == 4 && minor == 90;
        f.OsIsWin98Me = f.OsIsWin98 || f.OsIsWinMe;
    }
    f.OsHasNewShell = f.OsIsWin9x || (f.OsIsNt && major >= 4);
    if (f.OsIsNt) {
        f.OsIsWin2000Plus = major >= 5;
        f.OsIsXpPlus = AtLeast(major, minor, 5, 1);
        f.OsIsVistaPlus = major >= 6;
        f.OsIsWin7Plus = AtLeast(major, minor, 6, 1);
        f.OsIsWin81Plus = AtLeast(major, minor, 6, 3);
        f.OsIsWin10Plus = major > 6;
        // The newer platform generation: a major version above 6. A program without a
        // manifest that names the newer systems is told 6.2 and counts as the older one.
        f.OsIsWin8Plus = f.OsIsWin10Plus;
        f.OsIsWin11 = f.OsIsWin10Plus && build >= 22000;
        f.UnicodeMode = 1;
    }

    f.DbcsEnabled = GetSystemMetrics(SM_DBCSENABLED) != 0;
    if (f.DbcsEnabled) {
        CPINFOEXA cp{};
        f.DbcsScanner = GetCPInfoExA(CP_ACP, 0, &cp) && cp.MaxCharSize >= 2;
    }

    if (f.OsIsWin2000Plus) {
        HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
        auto isWow64 = reinterpret_cast<PfnIsWow64Process>(
            reinterpret_cast<void*>(kernel ? GetProcAddress(kernel, "IsWow64Process") : nullptr));
        BOOL wow = FALSE;
        if (isWow64 && isWow64(GetCurrentProcess(), &wow))
            f.OsIsWow64 = wow != FALSE;
    }
    g_System = f;
}

const SystemFlags& SystemFacts()
{
    if (!g_System.platform)
        DetectSystemFlags();
    return g_System;
}
