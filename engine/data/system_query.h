// System query built-ins: the legacy user parameters (WinParmGet, WinParmSet), memory
// figures (WinResources), the Windows directories (DirWindows) and the kind of a program
// file (ExeTypeInfo).
#pragma once

#include <cstdint>

#include "engine/core/builtin.h"
#include "engine/core/context.h"

// Longest value text WinParmSet takes (its work buffer holds one more byte).
constexpr size_t WINPARM_VALUE_MAX = 2049;

// WinParmGet (set false) and WinParmSet (set true): the current value of a request 1-20
// as text; WinParmSet then sets the value and still answers the previous one. 3198 for a
// bad request, 1824 for a value longer than WINPARM_VALUE_MAX (nothing set), 1193 when
// the system refuses the reading or the setting.
void DoWinParmGet(BDS* ctx, int request, bool set, const char* value, int iniFlag, resultants* result);

// A memory figure (requests 0-4, 10-17; 3197 otherwise): an integer below 2^31, a larger
// one as decimal text (format 1), as a 64-bit integer (format 2) or as a float.
void DoWinResources(BDS* ctx, int request, int format, resultants* result);

// The Windows directory (0), the system directory (1) or the system-wide Windows
// directory (2), in upper case and ending in a backslash; 1679 for another request.
void DoDirWindowsA(BDS* ctx, int request, resultants* result);
void DoDirWindowsW(BDS* ctx, int request, resultants* result);

// Codes of ExeTypeInfo.
enum ExeTypeCode : int32_t {
    EXE_NONE = 0,        // not a program, or too short
    EXE_DOS = 1,
    EXE_LE = 2,
    EXE_NE = 3,
    EXE_PE = 10,
    EXE_PE64 = 20,       // optional header magic 0x20B
    EXE_UNKNOWN = 99,    // an "MZ" file whose new header has no known signature
};

// The kind of a program file; 1240 and EXE_NONE when it cannot be opened.
int32_t DoExeTypeInfo(BDS* ctx, const char* fileName);

// The family of these built-ins.
extern const BuiltinFamily g_SystemQueryBuiltins;
