// Window activation for the engine's own callers (the built-ins live in window_activate.cpp).
#pragma once

struct BDS;

// Finds a top-level window by its title, as WinActivate does, and activates it: 1, or 0
// with 1045 when there is no such window.
int DoWinActivateA(BDS* ctx, const char* title);
int DoWinActivateW(BDS* ctx, const wchar_t* title);
// Finds a child inside a top-level window, as WinActivChild does, and activates the
// window and the child: 1; 0 for a disabled child (nothing is activated); 0 with 1045 or
// 1368 when the window or the child is not there.
int DoWinActivChildA(BDS* ctx, const char* parentTitle, const char* childTitle);
