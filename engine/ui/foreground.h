// Bringing windows to the foreground against the system's foreground lock, activating a
// script's target window, and centring the engine's boxes on the screen.
#pragma once

#include <windows.h>

struct BDS;

// Activation selectors: the engine's own boxes and windows (ActivateMethodBox) or windows a
// script activates (ActivateMethodTarget).
enum : int { SELECT_BOX_ACTIVATION = 0, SELECT_TARGET_ACTIVATION = 1 };

// Brings the window forward by the method the selector's setting names (below 0 nothing,
// 1 topmost and a click, 2 minimise and switch, 3 with the lock time-out lifted, 4 with the
// foreground thread's input attached, 5 as 4 after the invisible "DUMMY" dialog, other
// values a plain SetForegroundWindow). Answers the last foreground call's result.
int ForceForegroundWindow(BDS* ctx, HWND window, int selector, int wide);
int ForceForegroundWindowA(BDS* ctx, HWND window, int selector);
int ForceForegroundWindowW(BDS* ctx, HWND window, int selector);

// SwitchToThisWindow looked up at each call; 1 when it was called.
int SwitchToWindowByProc(HWND window);

// The procedure of the invisible "DUMMY" dialog, which lives for one pass of its loop.
INT_PTR CALLBACK DummyDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Activates a found window, or the enabled popup in front of it when it is disabled.
void ActivateWindowHandle(BDS* ctx, HWND window);

// Moves the window, keeping its size, to the middle of the screen.
void CenterWindow(HWND window);
