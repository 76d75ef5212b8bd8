// Asking whether a program runs, waiting for it to end or to become ready for input, and
// ending it: AppExist, AppProcId, AppWaitClose, TerminateApp and WinWaitReady (also behind
// IntControl 36, 47, 48 and 56).
#pragma once

#include <cstdint>

struct BDS;
struct resultants;

// Flags of the App built-ins.
enum : int32_t {
    APP_SESSION_ONLY = 1,   // processes of the caller's terminal session only
    APP_BY_ID = 2,          // the name is a process id
    APP_COLLECT = 256,      // every matching id (AppProcId)
};

// AppExist, AppProcId (APP_COLLECT in the flags) and AppWaitClose (`waitClose`): up to
// retries + 1 lookups 500 ms apart (one only by id), pumping; the result is 1 or 0, or
// the TAB-joined ids.
void DoAppExist(BDS* ctx, const char* name, bool waitClose, int32_t flags, int32_t retries, resultants* result);

// Modes: 0 asks the window to close (the launcher's own windows by its close command), 1
// sends it message 1048, 2 ends the window's process, 3 the process of a program name (the
// flag 1: of the caller's session), 4 the process of an id. Modes 0-2 find the window by
// the partial-title rule ("" the script's window, which mode 0 stops: control code 9000);
// none is 1464, a mode outside 0-4 1615. The answer of modes 0 and 1: 1 when the window is
// gone half a second later; of modes 2-4: whether the process was ended.
int32_t DoTerminateAppW(BDS* ctx, const wchar_t* name, int32_t mode, int32_t flag);
int32_t DoTerminateAppA(BDS* ctx, const char* name, int32_t mode, int32_t flag);

// 1 when the program of the window is ready for input within `milliseconds`, else 0; a
// window not found is 1464.
int32_t DoWinWaitReadyW(BDS* ctx, const wchar_t* title, int32_t milliseconds);
int32_t DoWinWaitReadyA(BDS* ctx, const char* title, int32_t milliseconds);
