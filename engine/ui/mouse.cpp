// The mouse built-ins that read, move and click: MouseInfo, MouseMove, MouseCoords,
// MouseClick and MouseClickBtn (MousePlay lives in mouse_play.cpp).
//
// Positions are given in virtual units: thousandths of the primary screen's width and
// height, measured from the named window's (or child's) window rectangle, or from the
// desktop's corner when no window is named.
#include "engine/ui/mouse.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/core/pump.h"
#include "engine/ui/foreground.h"
#include "engine/ui/window_search.h"

namespace {

constexpr uint16_t ERR_BAD_CLICK_TYPE = 1439;    // "Mouse Functions: Invalid click-type"
constexpr uint16_t ERR_NO_WINDOW_AT_MOUSE = 1440; // "Mouse Functions: Unable to determine window containing mouse"
constexpr uint16_t ERR_BUTTON_NOT_FOUND = 1444;  // "MouseClickBtn: Button not found"
constexpr uint16_t ERR_COORDS_FAILED = 1587;     // "MouseCoords: Function failed"
constexpr uint16_t ERR_BAD_INFO_REQUEST = 3205;  // "MouseInfo: Invalid request number"
constexpr DWORD HIT_TEST_TIMEOUT_MS = 5000;

// MouseClick's modifier and held-button bits.
enum : int32_t { CLICK_HOLD_LEFT = 4, CLICK_HOLD_RIGHT = 8, CLICK_HOLD_MIDDLE = 16 };

int ScreenWidth() { return GetSystemMetrics(SM_CXSCREEN); }
int ScreenHeight() { return GetSystemMetrics(SM_CYSCREEN); }

void SetPairResult(BDS* ctx, resultants* result, long x, long y)
{
    char text[48];
    std::snprintf(text, sizeof text, "%ld %ld", x, y);
    SetResultText(ctx, result, text);
}

void SetTitleResult(BDS* ctx, resultants* result, HWND window)
{
    char title[BOX_TEXT_SIZE] = {};
    if (window)
        GetWindowTextA(window, title, BOX_TEXT_SIZE);
    SetResultText(ctx, result, title);
}

// The top-left corner that positions are measured from: the window rectangle of the
// measured window, or the desktop's corner.
POINT TargetOrigin(const MouseTarget& target)
{
    RECT box{};
    GetWindowRect(target.Measured() ? target.Measured() : GetDesktopWindow(), &box);
    return {box.left, box.top};
}

bool FindTargetOrFail(BDS* ctx, const BuiltinCall& call, int first, MouseTarget* target)
{
    uint16_t error = FindMouseTarget(ctx, ArgText(ctx, call, first), ArgText(ctx, call, first + 1), target);
    if (error)
        SetError(ctx, error);
    return error == 0;
}

// ---------------------------------------------------------------- MouseInfo

// The digit of the buttons down: left 4, middle 2, right 1.
int ButtonDigit(bool left, bool middle, bool right) { return (left ? 4 : 0) + (middle ? 2 : 0) + (right ? 1 : 0); }

bool Down(SHORT state) { return (state & 0x8000) != 0; }

int LogicalButtons()
{
    return ButtonDigit(Down(GetKeyState(VK_LBUTTON)), Down(GetKeyState(VK_MBUTTON)), Down(GetKeyState(VK_RBUTTON)));
}

// The physical buttons: the asynchronous state reads them, the logical state through the
// swap of the buttons.
int PhysicalButtons()
{
    bool swapped = GetSystemMetrics(SM_SWAPBUTTON) != 0;
    bool left = Down(GetAsyncKeyState(VK_LBUTTON)) || Down(GetKeyState(swapped ? VK_RBUTTON : VK_LBUTTON));
    bool right = Down(GetAsyncKeyState(VK_RBUTTON)) || Down(GetKeyState(swapped ? VK_LBUTTON : VK_RBUTTON));
    bool middle = Down(GetAsyncKeyState(VK_MBUTTON)) || Down(GetKeyState(VK_MBUTTON));
    return ButtonDigit(left, middle, right);
}

// MouseInfo(request): what lies under the pointer, where it is, which buttons are down.
void CaseMouseInfo(BDS* ctx, BuiltinCall& call)
{
    int32_t request = ArgInt(call, 1);
    if (request < 0 || request > 10) {
        SetError(ctx, ERR_BAD_INFO_REQUEST);
        return;
    }
    POINT pt{};
    GetCursorPos(&pt);
    switch (request) {
    case 2:
        SetPairResult(ctx, call.result, PixelsToUnits(pt.x, ScreenWidth()), PixelsToUnits(pt.y, ScreenHeight()));
        return;
    case 3:
        SetPairResult(ctx, call.result, pt.x, pt.y);
        return;
    case 4:
    case 8: {
        char digit[4];
        std::snprintf(digit, sizeof digit, "%d", request == 4 ? LogicalButtons() : PhysicalButtons());
        SetResultText(ctx, call.result, digit);
        return;
    }
    default:
        break;
    }
    HWND under = WindowFromPoint(pt);
    HWND top = under ? GetAncestor(under, GA_ROOT) : nullptr;
    if (!top) {
        SetResultText(ctx, call.result, "");
        return;
    }
    RECT box{}, client{};
    POINT inClient = pt;
    switch (request) {
    case 0:
        SetTitleResult(ctx, call.result, under);
        return;
    case 1:
        SetTitleResult(ctx, call.result, top);
        return;
    case 5:
        ScreenToClient(top, &inClient);
        SetPairResult(ctx, call.result, PixelsToUnits(inClient.x, ScreenWidth()), PixelsToUnits(inClient.y, ScreenHeight()));
        return;
    case 6:
        ScreenToClient(top, &inClient);
        GetClientRect(top, &client);
        SetPairResult(ctx, call.result, client.right > 0 ? MulDiv(inClient.x, 1000, client.right) : 0,
                      client.bottom > 0 ? MulDiv(inClient.y, 1000, client.bottom) : 0);
        return;
    case 7:
        GetWindowRect(top, &box);
        SetPairResult(ctx, call.result, PixelsToUnits(pt.x - box.left, ScreenWidth()),
                      PixelsToUnits(pt.y - box.top, ScreenHeight()));
        return;
    case 9: {
        char id[WINDOW_ID_BUFFER];
        WinIdFromHandleA(top, id, sizeof id);
        SetResultText(ctx, call.result, id);
        return;
    }
    default: {   // 10: the control under the pointer, else the window itself
        ScreenToClient(top, &inClient);
        HWND control = ChildWindowFromPoint(top, inClient);
        SetTitleResult(ctx, call.result, control ? control : top);
        return;
    }
    }
}

// ---------------------------------------------------------------- MouseMove, MouseCoords

// MouseMove(x, y, window, child): the pointer to a position in virtual units.
void CaseMouseMove(BDS* ctx, BuiltinCall& call)
{
    MouseTarget target;
    if (!FindTargetOrFail(ctx, call, 3, &target))
        return;
    POINT origin = TargetOrigin(target);
    SetCursorPos(origin.x + UnitsToPixels(ArgInt(call, 1), ScreenWidth()),
                 origin.y + UnitsToPixels(ArgInt(call, 2), ScreenHeight()));
    SetResultInt(ctx, call.result, 1);
}

// MouseCoords(window, child): the pointer's position in virtual units, from the window.
void CaseMouseCoords(BDS* ctx, BuiltinCall& call)
{
    MouseTarget target;
    if (!FindTargetOrFail(ctx, call, 1, &target))
        return;
    POINT pt;
    if (!GetCursorPos(&pt)) {
        SetError(ctx, ERR_COORDS_FAILED);
        return;
    }
    POINT origin = TargetOrigin(target);
    SetPairResult(ctx, call.result, PixelsToUnits(pt.x - origin.x, ScreenWidth()),
                  PixelsToUnits(pt.y - origin.y, ScreenHeight()));
}

// ---------------------------------------------------------------- MouseClick

struct ClickKind {
    int32_t type;
    bool doubled;
    DWORD down, up;              // mouse_event flags
    UINT message;                // client button-down message; up and double-click follow it
    UINT ncMessage;              // the same outside the client area
    WPARAM key;                  // its MK_ flag
};

const ClickKind kClicks[] = {
    {513, false, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, WM_LBUTTONDOWN, WM_NCLBUTTONDOWN, MK_LBUTTON},
    {515, true, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, WM_LBUTTONDOWN, WM_NCLBUTTONDOWN, MK_LBUTTON},
    {516, false, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, WM_RBUTTONDOWN, WM_NCRBUTTONDOWN, MK_RBUTTON},
    {518, true, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, WM_RBUTTONDOWN, WM_NCRBUTTONDOWN, MK_RBUTTON},
    {519, false, MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP, WM_MBUTTONDOWN, WM_NCMBUTTONDOWN, MK_MBUTTON},
    {521, true, MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP, WM_MBUTTONDOWN, WM_NCMBUTTONDOWN, MK_MBUTTON},
};

// The top-level window above a child: the highest ancestor that is visible and enabled.
HWND VisibleAncestor(HWND window)
{
    HWND top = window;
    while (GetWindowLongPtrA(top, GWL_STYLE) & WS_CHILD) {
        HWND up = GetAncestor(top, GA_PARENT);
        if (!up || up == GetDesktopWindow() || !IsWindowVisible(up) || !IsWindowEnabled(up))
            break;
        top = up;
    }
    return top;
}

// The buttons held down with the click (mouse_event flags, and MK_ flags).
DWORD HeldButtons(int32_t modifiers, bool up)
{
    return MouseButtonFlags(modifiers, CLICK_HOLD_LEFT, CLICK_HOLD_RIGHT, CLICK_HOLD_MIDDLE, up);
}

WPARAM HeldKeys(int32_t modifiers)
{
    return ((modifiers & MOUSE_CTRL) ? MK_CONTROL : 0) | ((modifiers & MOUSE_SHIFT) ? MK_SHIFT : 0) |
           ((modifiers & CLICK_HOLD_LEFT) ? MK_LBUTTON : 0) | ((modifiers & CLICK_HOLD_RIGHT) ? MK_RBUTTON : 0) |
           ((modifiers & CLICK_HOLD_MIDDLE) ? MK_MBUTTON : 0);
}

// A single click is real input where the pointer stands.
void RealClick(BDS* ctx, const ClickKind& click, int32_t modifiers)
{
    MouseModifierKeys(modifiers, false);
    mouse_event(click.down | HeldButtons(modifiers, false), 0, 0, 0, 0);
    if (ctx->eng.ctl.MouseEventDelay)
        WaitPumping(ctx, ctx->eng.ctl.MouseEventDelay);
    mouse_event(click.up | HeldButtons(modifiers, true), 0, 0, 0, 0);
    MouseModifierKeys(modifiers, true);
}

// A double click is posted: down, up, double-click, up, as client messages inside the
// client area, else as non-client messages with the hit-test code.
void PostedDoubleClick(HWND window, const ClickKind& click, int32_t modifiers, POINT pt, LRESULT hit)
{
    const UINT offsets[] = {0, 1, 2, 1};   // down, up, double-click, up
    WPARAM keys = HeldKeys(modifiers);
    if (hit == HTCLIENT) {
        POINT inClient = pt;
        ScreenToClient(window, &inClient);
        LPARAM at = MAKELPARAM(inClient.x, inClient.y);
        for (UINT offset : offsets)
            PostMessageA(window, click.message + offset, offset == 1 ? (keys & ~click.key) : (keys | click.key), at);
        return;
    }
    LPARAM at = MAKELPARAM(pt.x, pt.y);
    for (UINT offset : offsets)
        PostMessageA(window, click.ncMessage + offset, static_cast<WPARAM>(hit), at);
}

// MouseClick(type, modifiers): clicks where the pointer stands.
void CaseMouseClick(BDS* ctx, BuiltinCall& call)
{
    int32_t type = ArgInt(call, 1), modifiers = ArgInt(call, 2);
    const ClickKind* click = nullptr;
    for (const ClickKind& k : kClicks)
        if (k.type == type)
            click = &k;
    if (!click) {
        SetError(ctx, ERR_BAD_CLICK_TYPE);
        return;
    }
    POINT pt{};
    GetCursorPos(&pt);
    HWND under = WindowFromPoint(pt);
    if (!under) {
        SetError(ctx, ERR_NO_WINDOW_AT_MOUSE);
        return;
    }
    HWND top = VisibleAncestor(under);
    ActivateWindowHandle(ctx, top);
    if (under != top)
        SendMessageTimeoutA(under, WM_CHILDACTIVATE, 0, 0, SMTO_ABORTIFHUNG, HIT_TEST_TIMEOUT_MS, nullptr);
    DWORD_PTR hit = HTCLIENT;
    if (!SendMessageTimeoutA(under, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y), SMTO_ABORTIFHUNG, HIT_TEST_TIMEOUT_MS,
                             &hit))
        hit = HTCLIENT;
    if (click->doubled)
        PostedDoubleClick(under, *click, modifiers, pt, static_cast<LRESULT>(hit));
    else
        RealClick(ctx, *click, modifiers);
    SetResultInt(ctx, call.result, 1);
}

// ---------------------------------------------------------------- MouseClickBtn

// A control's text as a button caption reads: blanks and tabs around it and every "&" gone.
void CaptionText(HWND control, char* out, int size)
{
    char text[BOX_TEXT_SIZE] = {};
    GetWindowTextA(control, text, BOX_TEXT_SIZE);
    const char* p = text;
    while (*p == ' ' || *p == '\t')
        ++p;
    int n = 0;
    for (; *p && n < size - 1; ++p)
        if (*p != '&')
            out[n++] = *p;
    while (n > 0 && (out[n - 1] == ' ' || out[n - 1] == '\t'))
        --n;
    out[n] = 0;
}

HWND FindButton(HWND parent, const char* caption)
{
    if (IsWinIdStringA(caption))
        return WinIdToHandleA(caption, 1);
    char text[BOX_TEXT_SIZE];
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        CaptionText(child, text, sizeof text);
        if (lstrcmpiA(text, caption) == 0)
            return child;
    }
    return nullptr;
}

// MouseClickBtn(window, child, button): a click posted to the button.
void CaseMouseClickBtn(BDS* ctx, BuiltinCall& call)
{
    MouseTarget target;
    if (!FindTargetOrFail(ctx, call, 1, &target))
        return;
    HWND parent = target.Measured() ? target.Measured() : GetDesktopWindow();
    HWND button = FindButton(parent, ArgText(ctx, call, 3));
    if (!button) {
        SetError(ctx, ERR_BUTTON_NOT_FOUND);
        return;
    }
    if (target.window)
        ActivateWindowHandle(ctx, target.window);
    if (IsWindowEnabled(button)) {
        SendMessageTimeoutA(button, WM_CHILDACTIVATE, 0, 0, SMTO_ABORTIFHUNG, HIT_TEST_TIMEOUT_MS, nullptr);
        if (HWND frame = GetParent(button))
            SendMessageTimeoutA(frame, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(button), 0, SMTO_ABORTIFHUNG,
                                HIT_TEST_TIMEOUT_MS, nullptr);
        SendMessageTimeoutA(button, WM_CHILDACTIVATE, 0, 0, SMTO_ABORTIFHUNG, HIT_TEST_TIMEOUT_MS, nullptr);
    }
    PostMessageA(button, WM_LBUTTONDOWN, 0, 0);
    PostMessageA(button, WM_LBUTTONUP, 0, 0);
    SetResultInt(ctx, call.result, 1);
}

const BuiltinRow kRows[] = {
    {573, CaseMouseClick}, {574, CaseMouseClickBtn}, {575, CaseMouseCoords},
    {576, CaseMouseInfo},  {577, CaseMouseMove},
};

// The virtual desktop along one axis of the primary screen (`size` pixels), in absolute
// coordinates.
AbsoluteRange RangeOf(int size, int virtualOrigin, int virtualSize)
{
    if (size <= 0 || virtualSize <= 0)
        return {0, 65535};
    return {MulDiv(virtualOrigin, 65535, size), MulDiv(virtualOrigin + virtualSize, 65535, size)};
}

// The absolute coordinate of a pixel: nudged away from zero to land inside the pixel.
LONG Absolute(int pixel, int size, AbsoluteRange range)
{
    if (size <= 0)
        return 0;
    double nudge = 32767 / size;
    double value = std::round(static_cast<double>(pixel) * 65535.0 / size) + (pixel >= 0 ? nudge : -nudge);
    return ClampAbsolute(value, range);
}

void KeyEvent(BYTE vk, bool up)
{
    keybd_event(vk, static_cast<BYTE>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC)), up ? KEYEVENTF_KEYUP : 0, 0);
}

}  // namespace

extern const BuiltinFamily g_MouseBuiltins = {"mouse", kRows, static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};

uint16_t FindMouseTarget(BDS* ctx, const char* window, const char* child, MouseTarget* target)
{
    *target = {nullptr, nullptr};
    if (!*window)
        return *child ? ERR_MOUSE_CHILD_WITHOUT_PARENT : 0;
    if (!*child) {
        target->window = FindTopWindowA(ctx, window, 0);
        return target->window ? 0 : ERR_MOUSE_PARENT_NOT_FOUND;
    }
    target->child = FindChildWindowA(ctx, window, child, 0, &target->window);
    if (!target->window)
        return ERR_MOUSE_PARENT_NOT_FOUND;
    return target->child ? 0 : ERR_MOUSE_CHILD_NOT_FOUND;
}

DWORD MouseButtonFlags(int32_t bits, int32_t left, int32_t right, int32_t middle, bool up)
{
    DWORD flags = 0;
    if (bits & left)
        flags |= up ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_LEFTDOWN;
    if (bits & right)
        flags |= up ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_RIGHTDOWN;
    if (bits & middle)
        flags |= up ? MOUSEEVENTF_MIDDLEUP : MOUSEEVENTF_MIDDLEDOWN;
    return flags;
}

void MouseModifierKeys(int32_t modifiers, bool up)
{
    if (!up && (modifiers & MOUSE_CTRL))
        KeyEvent(VK_CONTROL, false);
    if (modifiers & MOUSE_SHIFT)
        KeyEvent(VK_SHIFT, up);
    if (up && (modifiers & MOUSE_CTRL))
        KeyEvent(VK_CONTROL, true);
}

int UnitsToPixels(int units, int screenSize) { return MulDiv(units, screenSize, 1000); }

int PixelsToUnits(int pixels, int screenSize) { return screenSize > 0 ? MulDiv(pixels, 1000, screenSize) : 0; }

AbsoluteRange AbsoluteRangeX()
{
    return RangeOf(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_XVIRTUALSCREEN),
                   GetSystemMetrics(SM_CXVIRTUALSCREEN));
}

AbsoluteRange AbsoluteRangeY()
{
    return RangeOf(GetSystemMetrics(SM_CYSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                   GetSystemMetrics(SM_CYVIRTUALSCREEN));
}

LONG ClampAbsolute(double value, AbsoluteRange range)
{
    if (!(value >= range.low))
        return range.low;
    return value > range.high ? range.high : static_cast<LONG>(value);
}

LONG AbsoluteX(int pixel) { return Absolute(pixel, GetSystemMetrics(SM_CXSCREEN), AbsoluteRangeX()); }

LONG AbsoluteY(int pixel) { return Absolute(pixel, GetSystemMetrics(SM_CYSCREEN), AbsoluteRangeY()); }
