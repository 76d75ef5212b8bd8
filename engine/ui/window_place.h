// Window placement in the screen-independent units of the window built-ins: thousandths of
// the screen (0,0 the upper-left corner, 1000,1000 the lower-right), or of the parent's
// client area for child windows.
#pragma once

#include <windows.h>

struct BDS;
struct resultants;

constexpr int PLACE_NO_RESIZE = 1000000000;     // @noresize: keep the width or height
constexpr int PLACE_ABOVE_ICONS = 1000000001;   // @aboveicons: the bottom of a default window

// The window's rectangle as "x1,y1,x2,y2" in thousandths of the screen, a narrow text in
// `out`. The window is the handle when one is given, else the one the title names (1119
// when none). Answers 1 on success.
int DoWinPositionA(BDS* ctx, resultants* out, const char* title, HWND window);

// Moves and sizes the window to the corners (thousandths of the screen). The window is the
// handle when one is given (then it may be activated), else the one the title names (1044
// when none). Answers 1 on success.
int DoWinPlaceA(BDS* ctx, int x1, int y1, int x2, int y2, const char* title, HWND window);
