// Facts about the machine and the system version: WinSysInfo, WinVersion and the platform
// code that WinVersion and WinMetrics report.
#pragma once

#include <cstdint>

// 3 for the Win32s platform, 5 for the Windows 95 family, 4 for NT, 0 otherwise.
int32_t WinPlatformCode();
