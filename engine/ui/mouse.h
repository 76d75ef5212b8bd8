// What the mouse built-ins share: the window a position is measured from, and the
// conversions between pixels, virtual screen units (thousandths of the primary screen)
// and the 0-65535 coordinates of absolute mouse input.
#pragma once

#include <windows.h>

#include <cstdint>

struct BDS;

constexpr uint16_t ERR_MOUSE_CHILD_WITHOUT_PARENT = 1441;   // "Mouse Functions: Child window specified with no parent"
constexpr uint16_t ERR_MOUSE_PARENT_NOT_FOUND = 1442;       // "Mouse Functions: Parent window not found"
constexpr uint16_t ERR_MOUSE_CHILD_NOT_FOUND = 1443;        // "Mouse Functions: Child window not found"

// The windows named by a window title and a child title (each a partial title or a
// window identifier); both null for the desktop (both titles empty).
struct MouseTarget {
    HWND window;
    HWND child;    // null when no child is named
    HWND Measured() const { return child ? child : window; }
};

// Finds the target in one pass. Answers 0, or the error number to set: 1441 for a child
// without a window, 1442 when the window, 1443 when the child is not there.
uint16_t FindMouseTarget(BDS* ctx, const char* window, const char* child, MouseTarget* target);

// The Ctrl and Shift bits of MouseClick and MousePlay.
enum : int32_t { MOUSE_CTRL = 1, MOUSE_SHIFT = 2 };

// The mouse_event flags (down or up) of the buttons whose bits are set, of the three bits
// that stand for the left, right and middle button.
DWORD MouseButtonFlags(int32_t bits, int32_t left, int32_t right, int32_t middle, bool up);

// Presses (Ctrl, then Shift) or releases (Shift, then Ctrl) the keys the bits ask for.
void MouseModifierKeys(int32_t modifiers, bool up);

// Pixels of the primary screen from virtual units, and back.
int UnitsToPixels(int units, int screenSize);
int PixelsToUnits(int pixels, int screenSize);

// Absolute input coordinates run 0-65535 across the primary screen; the virtual desktop
// covers this range of them along each axis.
struct AbsoluteRange {
    LONG low, high;
};
AbsoluteRange AbsoluteRangeX();
AbsoluteRange AbsoluteRangeY();
LONG ClampAbsolute(double value, AbsoluteRange range);

// The absolute input coordinate of a pixel, landing inside the pixel, clamped to the
// virtual desktop.
LONG AbsoluteX(int pixel);
LONG AbsoluteY(int pixel);
