// Window arrangement: the open top-level windows laid out on the work area as a diagonal
// stack or as a grid chosen by their number (at most 12), computed whole before any
// window moves.
#pragma once

#include <windows.h>

struct BDS;

enum : int { ARRANGE_STACK = 1, ARRANGE_TILE = 2, ARRANGE_ROWS = 3, ARRANGE_COLUMNS = 4 };

// What a layout is computed from: the work area's size, the sizing frame and the caption.
struct ArrangeMetrics {
    int width, height;     // the work area
    int frameX, frameY;    // SM_CXFRAME, SM_CYFRAME
    int caption;           // SM_CYCAPTION
};

// The rectangles of `count` windows (1 to 12) in the mode, the first in z-order first.
void ArrangeLayout(const ArrangeMetrics& m, int mode, int count, RECT* cells);

// 1 for a visible window with a sizing border that is neither a popup nor minimised.
int IsArrangeableWindow(HWND window);

// Restores the maximised arrangeable siblings of the reference window and fills the
// context's arrangement table with at most 12 of them and their new rectangles.
void ArrangeWindows(BDS* ctx, HWND reference, int mode);
