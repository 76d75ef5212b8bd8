// MousePlay: moves the pointer in steps to a position of a window (dragging held buttons),
// then clicks.
#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/core/pump.h"
#include "engine/ui/mouse.h"

namespace {

constexpr uint16_t ERR_BAD_TIME = 1600;      // "MousePlay: Invalid time delay"
constexpr uint16_t ERR_PLAY_FAILED = 1601;   // "MousePlay: Function failed"
constexpr uint16_t ERR_BAD_XY = 1603;        // "MousePlay: Invalid X Y coordinates"
constexpr double MAX_SECONDS = 999999.0;
constexpr double STEPS_PER_MS = 0.024;       // one step per 41.7 ms
constexpr int32_t KEY_RELEASE_MS = 100;
constexpr DWORD SEARCH_STEP_MS = 100;

// Button bits: held for the move (a drag), or clicked after it.
enum : int32_t {
    HOLD_LEFT = 4,
    HOLD_RIGHT = 8,
    HOLD_MIDDLE = 16,
    CLICK_LEFT = 32,
    DOUBLE_LEFT = 64,
    CLICK_MIDDLE = 128,
    DOUBLE_MIDDLE = 256,
    CLICK_RIGHT = 512,
    DOUBLE_RIGHT = 1024,
};
constexpr int32_t ANY_CLICK = CLICK_LEFT | DOUBLE_LEFT | CLICK_MIDDLE | DOUBLE_MIDDLE | CLICK_RIGHT | DOUBLE_RIGHT;

DWORD Held(int32_t bits, bool up) { return MouseButtonFlags(bits, HOLD_LEFT, HOLD_RIGHT, HOLD_MIDDLE, up); }
DWORD Clicked(int32_t bits, bool up) { return MouseButtonFlags(bits, CLICK_LEFT, CLICK_RIGHT, CLICK_MIDDLE, up); }
DWORD Doubled(int32_t bits, bool up) { return MouseButtonFlags(bits, DOUBLE_LEFT, DOUBLE_RIGHT, DOUBLE_MIDDLE, up); }

void MouseButtons(DWORD flags)
{
    if (flags)
        mouse_event(flags, 0, 0, 0, 0);
}

void Exchange(int32_t* bits, int32_t a, int32_t b)
{
    int32_t hasA = *bits & a, hasB = *bits & b;
    *bits &= ~(a | b);
    if (hasA)
        *bits |= b;
    if (hasB)
        *bits |= a;
}

// With the buttons swapped, the left and right bits trade places: the script names the
// buttons as the user sees them.
int32_t PhysicalBits(int32_t bits)
{
    if (GetSystemMetrics(SM_SWAPBUTTON)) {
        Exchange(&bits, HOLD_LEFT, HOLD_RIGHT);
        Exchange(&bits, CLICK_LEFT, CLICK_RIGHT);
        Exchange(&bits, DOUBLE_LEFT, DOUBLE_RIGHT);
    }
    return bits;
}

// One signed decimal integer after optional blanks; advances past it.
bool ReadSigned(const char*& p, long* value)
{
    while (*p == ' ')
        ++p;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    if (*p < '0' || *p > '9')
        return false;
    long v = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        if (v < 100000000)
            v = v * 10 + (*p - '0');
    *value = negative ? -v : v;
    return true;
}

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == '|'; }

// "x y": two signed integers separated by blanks, tabs or "|".
bool ParseCoordinates(const char* text, long* x, long* y)
{
    const char* p = text;
    if (!ReadSigned(p, x) || !IsSeparator(*p))
        return false;
    while (IsSeparator(*p))
        ++p;
    if (!ReadSigned(p, y))
        return false;
    while (*p == ' ' || *p == '\t')
        ++p;
    return *p == 0;
}

// The target searched every 100 ms, ten times the window retry count, until found.
uint16_t FindTargetWaiting(BDS* ctx, const char* window, const char* child, MouseTarget* target)
{
    uint32_t tries = 10 * ctx->eng.ctl.WindowRetryCount;
    for (uint32_t n = 1;; ++n) {
        uint16_t error = FindMouseTarget(ctx, window, child, target);
        if (error != ERR_MOUSE_PARENT_NOT_FOUND && error != ERR_MOUSE_CHILD_NOT_FOUND)
            return error;
        if (n >= tries || ctx->bCancel)
            return error;
        WaitPumping(ctx, SEARCH_STEP_MS);
    }
}

// The work area of the monitor nearest a point; `primary` tells whether it is the
// primary monitor.
RECT MonitorWorkArea(POINT pt, bool* primary)
{
    MONITORINFO info{};
    info.cbSize = sizeof info;
    HMONITOR monitor = MonitorFromPoint(pt, MONITOR_DEFAULTTONEAREST);
    if (monitor && GetMonitorInfoA(monitor, &info)) {
        *primary = (info.dwFlags & MONITORINFOF_PRIMARY) != 0;
        return info.rcWork;
    }
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    *primary = true;
    return work;
}

// Where the positions of MousePlay are measured from: the child's rectangle; a maximised
// window's rectangle; for a minimised window that comes back maximised, where it will
// stand; else the window's restored position.
POINT PlayOrigin(const MouseTarget& target)
{
    RECT box{};
    if (target.child || !target.window) {
        GetWindowRect(target.Measured() ? target.Measured() : GetDesktopWindow(), &box);
        return {box.left, box.top};
    }
    HWND window = target.window;
    if (IsZoomed(window)) {
        GetWindowRect(window, &box);
        return {box.left, box.top};
    }
    WINDOWPLACEMENT place{};
    place.length = sizeof place;
    GetWindowPlacement(window, &place);
    POINT corner = {place.rcNormalPosition.left, place.rcNormalPosition.top};
    bool primary = true;
    RECT monitorWork = MonitorWorkArea(corner, &primary);
    if (IsIconic(window) && (place.flags & WPF_RESTORETOMAXIMIZED)) {
        RECT work{};
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        LONG dx = ((work.right - work.left) - GetSystemMetrics(SM_CXMAXIMIZED)) / 2;
        LONG dy = ((work.bottom - work.top) - GetSystemMetrics(SM_CYMAXIMIZED)) / 2;
        return {monitorWork.left + dx, monitorWork.top + dy};
    }
    LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
    LONG_PTR exStyle = GetWindowLongPtrA(window, GWL_EXSTYLE);
    bool workspace = !(exStyle & WS_EX_TOOLWINDOW) || (style & WS_CHILD);
    if (workspace && !primary) {
        corner.x += monitorWork.left;
        corner.y += monitorWork.top;
    }
    return corner;
}

bool MoveTo(BDS* ctx, LONG x, LONG y)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = x;
    input.mi.dy = y;
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    if (PfnSendInput send = ctx->eng.api.pfnSendInput)
        return send(1, &input, sizeof input) == 1;
    mouse_event(input.mi.dwFlags, static_cast<DWORD>(x), static_cast<DWORD>(y), 0, 0);
    return true;
}

// The move in steps from the pointer to the target pixel; false when a move failed.
bool Glide(BDS* ctx, POINT target, double milliseconds)
{
    POINT start{};
    GetCursorPos(&start);
    double x = AbsoluteX(start.x), y = AbsoluteY(start.y);
    LONG targetX = AbsoluteX(target.x), targetY = AbsoluteY(target.y);
    AbsoluteRange rangeX = AbsoluteRangeX(), rangeY = AbsoluteRangeY();
    int steps = static_cast<int>(milliseconds * STEPS_PER_MS);
    if (steps < 2)
        steps = 2;
    double stepX = (targetX - x) / steps, stepY = (targetY - y) / steps;
    auto pause = static_cast<DWORD>(milliseconds / steps);
    bool moved = true;
    for (int n = 0; n < steps && !ctx->bCancel; ++n) {
        x += stepX;
        y += stepY;
        moved = MoveTo(ctx, ClampAbsolute(x, rangeX), ClampAbsolute(y, rangeY)) && moved;
        PumpMessages(ctx);
        if (ctx->bCancel)
            return moved;
        if (pause)
            WaitPumping(ctx, pause);
    }
    return MoveTo(ctx, targetX, targetY) && moved;
}

void Clicks(BDS* ctx, int32_t bits)
{
    MouseButtons(Clicked(bits, false));
    if (ctx->eng.ctl.MouseEventDelay && Clicked(bits, false))
        WaitPumping(ctx, ctx->eng.ctl.MouseEventDelay);
    for (int n = 0; n < 2; ++n) {
        MouseButtons(Doubled(bits, false));
        MouseButtons(Doubled(bits, true));
    }
    MouseButtons(Clicked(bits, true));
}

// MousePlay("x y", window, child, buttons, seconds)
void CaseMousePlay(BDS* ctx, BuiltinCall& call)
{
    double seconds = ArgFloat(call, 5);
    if (!(seconds >= 0.0 && seconds <= MAX_SECONDS)) {
        SetError(ctx, ERR_BAD_TIME);
        return;
    }
    long unitsX = 0, unitsY = 0;
    if (!ParseCoordinates(ArgText(ctx, call, 1), &unitsX, &unitsY)) {
        SetError(ctx, ERR_BAD_XY);
        return;
    }
    int32_t bits = PhysicalBits(ArgInt(call, 4));
    double milliseconds = seconds * 1000.0;
    if (bits & (MOUSE_CTRL | MOUSE_SHIFT))
        milliseconds -= KEY_RELEASE_MS;
    if (ctx->eng.ctl.MouseEventDelay && (bits & ANY_CLICK))
        milliseconds -= ctx->eng.ctl.MouseEventDelay;
    if (milliseconds < 0)
        milliseconds = 0;

    MouseModifierKeys(bits, false);
    MouseButtons(Held(bits, false));
    MouseTarget target;
    uint16_t error = FindTargetWaiting(ctx, ArgText(ctx, call, 2), ArgText(ctx, call, 3), &target);
    bool moved = false;
    if (!error && !ctx->bCancel) {
        POINT origin = PlayOrigin(target);
        POINT to = {origin.x + UnitsToPixels(static_cast<int>(unitsX), GetSystemMetrics(SM_CXSCREEN)),
                    origin.y + UnitsToPixels(static_cast<int>(unitsY), GetSystemMetrics(SM_CYSCREEN))};
        moved = Glide(ctx, to, milliseconds);
    }
    // Whatever happened, nothing stays held down.
    MouseButtons(Held(bits, true));
    if (moved && !ctx->bCancel)
        Clicks(ctx, bits);
    if (bits & (MOUSE_CTRL | MOUSE_SHIFT)) {
        WaitPumping(ctx, KEY_RELEASE_MS);
        MouseModifierKeys(bits, true);
    }
    if (error) {
        SetError(ctx, error);
        return;
    }
    if (ctx->bCancel)
        return;
    if (!moved) {
        SetError(ctx, ERR_PLAY_FAILED);
        return;
    }
    SetResultInt(ctx, call.result, 1);
}

const BuiltinRow kRows[] = {
    {578, CaseMousePlay},
};

}  // namespace

extern const BuiltinFamily g_MousePlayBuiltins = {"mouse-play", kRows, static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
