// Process-wide facts about the system, set once by the first DoDuRavInit operation 1, and
// the other process-wide texts of engine set-up.
#pragma once

#include <cstdint>

struct SystemFlags {
    uint32_t OsIsWin9x;          // platform id 1
    uint32_t OsIsNt;             // platform id 2
    uint32_t OsIsWin95;          // 9x, version 4.0
    uint32_t OsIsWin95First;     // Windows 95 before build 1001
    uint32_t OsIsWin98;          // 9x, version 4.10
    uint32_t OsIsWinMe;          // 9x, version 4.90
    uint32_t OsIsWin98Me;
    uint32_t OsHasNewShell;      // 9x, or NT 4 and later
    uint32_t OsIsWin2000Plus;    // NT 5 and up
    uint32_t OsIsXpPlus;         // NT 5.1 and up
    uint32_t OsIsVistaPlus;      // NT 6 and up
    uint32_t OsIsWin7Plus;       // NT 6.1 and up
    uint32_t OsIsWin8Plus;       // the newer platform generation: NT major above 6
    uint32_t OsIsWin81Plus;      // NT 6.3 and up
    uint32_t OsIsWin10Plus;      // NT major above 6
    uint32_t OsIsWin11;          // Windows 10 or later, build 22000 and up
    uint32_t OsIsWow64;          // a 32-bit process on 64-bit Windows
    uint32_t UnicodeMode;        // wide Windows calls are available (every NT system)
    uint32_t DbcsEnabled;        // SM_DBCSENABLED
    uint32_t DbcsScanner;        // the tokenizer uses the DBCS-aware multi-line scanner
    uint32_t major, minor, build, platform;
};

extern SystemFlags g_System;

// Reads the system version and fills g_System (operation 1 calls it once per process).
void DetectSystemFlags();
// g_System, read first when no set-up has run yet (a test that calls a built-in directly).
const SystemFlags& SystemFacts();

// Messages 730 " popup menu" and 731 " menu item", loaded once per process.
extern char g_szPopupMenuText[200];
extern char g_szMenuItemText[200];
