// Window activation for the engine's own callers (the built-ins live in window_activate.cpp).
#pragma once

struct BDS;

// Finds a top-level window by its title, as WinActivate does, and activates it: 1, or 0
// with 1045 when there is no such window.
int DoWinActivateA(BDS* ctx, const char* title);
