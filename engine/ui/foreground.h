// Bringing a window forward before a modal box, and centring a window on the screen.
#pragma once

#include <windows.h>

struct BDS;

// selector 0: the window-activation setting; 1: the dialog-activation setting.
void ForceForegroundWindowA(BDS* ctx, HWND window, int selector);
void CenterWindow(HWND window);
