// Waiting until the program behind a window is ready for input, before keys or a menu
// command are sent to it.
#pragma once

#include <windows.h>

struct BDS;

// 1 once the program that owns the window is idle for input; 0 when the window has no
// process, the process cannot be opened or the wait fails, when the run is cancelled, and
// when InputIdleTimeout ms (10000 when that is 0) pass without the program becoming idle.
// Waits in steps of 100 ms, pumping between them and looking the process up afresh.
int WaitForWindowIdle(BDS* ctx, HWND window);
// The same with a time limit of its own (0: the program must be idle now).
int WaitForWindowIdleWithin(BDS* ctx, HWND window, DWORD limit);

// Examines the target of keys or a menu command: a target (window or title) other than the
// one examined last time is judged afresh, and one that is to be waited for is waited for
// (WaitForWindowIdle) while SendKeyWaitIdle is on. A console window while
// SendKeyConsoleMode is on is a console target, and neither it nor a 16-bit program is
// waited for. Answers whether the target is a console target.
bool PrepareInputTarget(BDS* ctx, HWND target);
