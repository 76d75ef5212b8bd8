// The placement built-ins: WinPlace, WinPosition, WinPlaceGet, WinPlaceSet, WinPlaceChild
// and WinPositionChild, and the two placement services of DLLServices.
//
// Top-level windows are placed in thousandths of the primary screen; on a single monitor
// the corners are limited so that at least the minimum window size stays on the screen.
// Children are placed in thousandths of their parent's client area. Reported values pass
// through 16-bit numbers, as stored placements always have.
#include "engine/ui/window_place.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/core/numtext.h"
#include "engine/core/pump.h"
#include "engine/core/text_bounded.h"
#include "engine/ui/window_args.h"
#include "engine/ui/window_state.h"

namespace {

constexpr uint16_t ERR_WINPLACE_NOT_FOUND = 1044;       // "WinPlace: Window not found"
constexpr uint16_t ERR_WINPOSITION_NOT_FOUND = 1119;    // "WinPosition: Window not found"
constexpr uint16_t ERR_PLACEMENT_NOT_FOUND = 1200;      // "WinPlaceGet/Set: Window not found"
constexpr uint16_t ERR_PLACEMENT_FAILED = 1201;         // "WinPlaceGet/Set: Function failed"
constexpr uint16_t ERR_PLACEMENT_KIND = 3199;           // "WinPlaceGet/Set: Invalid window-size number"
constexpr uint16_t ERR_PLACEMENT_COUNT = 3202;          // "WinPlaceSet: Wrong number of window co-ordinates"
constexpr uint16_t ERR_PLACECHILD_NO_PARENT = 1716;     // "WinPlaceChild: Parent window not found"
constexpr uint16_t ERR_PLACECHILD_NO_CHILD = 1717;      // "WinPlaceChild: Child window not found"
constexpr uint16_t ERR_POSITIONCHILD_NO_PARENT = 1718;  // "WinPositionChild: Parent window not found"
constexpr uint16_t ERR_POSITIONCHILD_NO_CHILD = 1719;   // "WinPositionChild: Child window not found"

constexpr int VIRTUAL_LOWEST = -1000;     // one monitor: corners are limited to this range
constexpr int VIRTUAL_HIGHEST = 2000;
constexpr int PLACEMENT_PUMPS = 50;       // let a window finish moving before it is read
constexpr int RESTORE_PUMPS = 4;
constexpr int POSITION_TEXT_SIZE = 64;

enum : int { KIND_ICON = 1, KIND_NORMAL = 2, KIND_ZOOMED = 3 };

struct Screen {
    int width, height;
};

Screen PrimaryScreen() { return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

// A pixel coordinate in thousandths of `size`, truncated and kept in 16 bits.
int Virtual(long pixels, int size)
{
    return size > 0 ? static_cast<int16_t>(static_cast<int64_t>(pixels) * 1000 / size) : 0;
}

// Thousandths of `size` in pixels, truncated toward zero.
long Pixels(int64_t virtualValue, int size)
{
    int64_t pixels = virtualValue * size / 1000;
    return static_cast<long>(std::clamp<int64_t>(pixels, INT_MIN, INT_MAX));
}

HWND FindTopA(BDS* ctx, const char* title)
{
    return FindWindowByTitleA(ctx, title ? title : "");
}

// ---------------------------------------------------------------- WinPlace

struct Placement {
    int left, top, width, height;
};

// Corners within one monitor: each limited to -1000..2000, the window at least the
// minimum size and at least that much of it on the screen.
Placement OnOneMonitor(BDS* ctx, const int corner[4], const RECT& current, Screen s)
{
    const int minX = GetSystemMetrics(SM_CXMIN);
    const int minY = GetSystemMetrics(SM_CYMIN);
    int v[4];
    for (int i = 0; i < 4; ++i)
        v[i] = std::clamp(corner[i], VIRTUAL_LOWEST, VIRTUAL_HIGHEST);
    int px1 = Pixels(v[0], s.width), py1 = Pixels(v[1], s.height);
    int px2 = Pixels(v[2], s.width), py2 = Pixels(v[3], s.height);
    int leftmost = std::min(px1, s.width - minX);
    int topmost = std::min(py1, s.height - minY);

    Placement p{};
    if (corner[2] == PLACE_NO_RESIZE)
        p.width = current.right - current.left;
    else
        p.width = std::clamp(std::max(px2, minX) - leftmost, minX, std::max(minX, s.width));
    if (corner[3] == PLACE_NO_RESIZE)
        p.height = current.bottom - current.top;
    else if (corner[3] == PLACE_ABOVE_ICONS)
        p.height = std::clamp(ctx->eng.DefaultWindowBottom - topmost, minY, std::max(minY, s.height));
    else
        p.height = std::clamp(std::max(py2, minY) - topmost, minY, std::max(minY, s.height));
    p.left = std::max(leftmost, minX - p.width);
    p.top = std::max(topmost, minY - p.height);
    return p;
}

// Corners across several monitors: taken as they are.
Placement OnSeveralMonitors(BDS* ctx, const int corner[4], const RECT& current, Screen s)
{
    Placement p{};
    p.left = MulDiv(corner[0], s.width, 1000);
    p.top = MulDiv(corner[1], s.height, 1000);
    if (corner[2] == PLACE_NO_RESIZE)
        p.width = current.right - current.left;
    else
        p.width = MulDiv(corner[2], s.width, 1000) - p.left;
    if (corner[3] == PLACE_NO_RESIZE)
        p.height = current.bottom - current.top;
    else if (corner[3] == PLACE_ABOVE_ICONS)
        p.height = ctx->eng.DefaultWindowBottom - p.top;
    else
        p.height = MulDiv(corner[3], s.height, 1000) - p.top;
    return p;
}

// A window that is hidden, iconic or zoomed is brought back to its normal state first, so
// that the new rectangle is the one it shows.
void RestoreForPlacing(BDS* ctx, HWND window)
{
    if (IsWindowVisible(window) && !IsIconic(window) && !IsZoomed(window))
        return;
    if (window == ctx->hwndParent)
        ShowWindow(window, SW_SHOWNOACTIVATE);
    else if (!IsWindowVisible(window))
        ShowWindow(window, SW_SHOW);
    else
        PostSystemCommand(ctx, window, SC_RESTORE);
    for (int i = 0; i < RESTORE_PUMPS; ++i)
        PumpMessages(ctx);
}

void PlaceWindow(BDS* ctx, HWND window, const int corner[4], bool mayActivate)
{
    RestoreForPlacing(ctx, window);
    RECT current{};
    GetWindowRect(window, &current);
    Screen s = PrimaryScreen();
    Placement p = GetSystemMetrics(SM_CMONITORS) < 2 ? OnOneMonitor(ctx, corner, current, s)
                                                     : OnSeveralMonitors(ctx, corner, current, s);
    UINT flags = SWP_NOZORDER | (mayActivate ? 0 : SWP_NOACTIVATE);
    SetWindowPos(window, nullptr, p.left, p.top, p.width, p.height, flags);
}

void CaseWinPlace(BDS* ctx, BuiltinCall& call)
{
    HWND window = FindWindowArgOr(ctx, call, 5, ERR_WINPLACE_NOT_FOUND);
    if (!window)
        return;
    int corner[4] = {ArgInt(call, 1), ArgInt(call, 2), ArgInt(call, 3), ArgInt(call, 4)};
    PlaceWindow(ctx, window, corner, false);
    SetResultInt(ctx, call.result, 1);
}

// ---------------------------------------------------------------- WinPosition

void PositionText(HWND window, char* out, size_t size)
{
    RECT box{};
    GetWindowRect(window, &box);
    Screen s = PrimaryScreen();
    std::snprintf(out, size, "%d,%d,%d,%d", Virtual(box.left, s.width), Virtual(box.top, s.height),
                  Virtual(box.right, s.width), Virtual(box.bottom, s.height));
}

void CaseWinPosition(BDS* ctx, BuiltinCall& call)
{
    HWND window = FindWindowArgOr(ctx, call, 1, ERR_WINPOSITION_NOT_FOUND);
    if (!window)
        return;
    char text[POSITION_TEXT_SIZE];
    PositionText(window, text, sizeof text);
    SetResultText(ctx, call.result, text);
}

// ---------------------------------------------------------------- WinPlaceGet, WinPlaceSet

// The placement of one kind as text: the minimised or maximised position "x y", or the
// restored rectangle "left top right bottom".
void PlacementText(const WINDOWPLACEMENT& wp, int kind, char* out, size_t size)
{
    Screen s = PrimaryScreen();
    if (kind == KIND_NORMAL) {
        const RECT& r = wp.rcNormalPosition;
        std::snprintf(out, size, "%d %d %d %d", Virtual(r.left, s.width), Virtual(r.top, s.height),
                      Virtual(r.right, s.width), Virtual(r.bottom, s.height));
        return;
    }
    const POINT& p = kind == KIND_ICON ? wp.ptMinPosition : wp.ptMaxPosition;
    std::snprintf(out, size, "%d %d", Virtual(p.x, s.width), Virtual(p.y, s.height));
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Reads up to four numbers of the text (each word counts; a word that is no number reads
// as 0) and answers how many the text held.
int ReadCoordinates(const char* text, int32_t values[4])
{
    int count = 0;
    const char* p = text;
    while (count < 4) {
        while (IsBlank(*p))
            ++p;
        if (!*p)
            break;
        values[count++] = TextToLongA(p);
        while (*p && !IsBlank(*p))
            ++p;
    }
    return count;
}

// Applies the new placement text to the placement read; false with 3202 when the text
// holds the wrong number of coordinates.
bool ApplyPlacementText(BDS* ctx, WINDOWPLACEMENT& wp, int kind, const char* text)
{
    char buffer[BOX_TEXT_SIZE];
    CopyStringBoundedA(ctx, buffer, text, sizeof buffer);
    int32_t v[4] = {};
    int wanted = kind == KIND_NORMAL ? 4 : 2;
    if (ReadCoordinates(buffer, v) != wanted) {
        SetError(ctx, ERR_PLACEMENT_COUNT);
        return false;
    }
    Screen s = PrimaryScreen();
    if (kind == KIND_NORMAL) {
        wp.rcNormalPosition = {Pixels(v[0], s.width), Pixels(v[1], s.height), Pixels(v[2], s.width),
                               Pixels(v[3], s.height)};
    } else if (kind == KIND_ICON) {
        wp.ptMinPosition = {Pixels(v[0], s.width), Pixels(v[1], s.height)};
        wp.flags |= WPF_SETMINPOSITION;
    } else {
        wp.ptMaxPosition = {Pixels(v[0], s.width), Pixels(v[1], s.height)};
    }
    return true;
}

// WinPlaceGet(kind, title) and WinPlaceSet(kind, title, text): both answer the placement
// as it was before the call.
void PlacementGetSet(BDS* ctx, BuiltinCall& call, bool set)
{
    int kind = ArgInt(call, 1);
    if (kind < KIND_ICON || kind > KIND_ZOOMED) {
        SetError(ctx, ERR_PLACEMENT_KIND);
        return;
    }
    HWND window = FindWindowArgOr(ctx, call, 2, ERR_PLACEMENT_NOT_FOUND);
    if (!window)
        return;
    for (int i = 0; i < PLACEMENT_PUMPS; ++i)
        PumpMessages(ctx);
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    if (!GetWindowPlacement(window, &wp)) {
        SetError(ctx, ERR_PLACEMENT_FAILED);
        return;
    }
    char before[POSITION_TEXT_SIZE];
    PlacementText(wp, kind, before, sizeof before);
    if (set) {
        if (!ApplyPlacementText(ctx, wp, kind, ArgText(ctx, call, 3)))
            return;
        wp.length = sizeof wp;
        if (!SetWindowPlacement(window, &wp)) {
            SetError(ctx, ERR_PLACEMENT_FAILED);
            return;
        }
    }
    SetResultText(ctx, call.result, before);
}

void CaseWinPlaceGet(BDS* ctx, BuiltinCall& call) { PlacementGetSet(ctx, call, false); }
void CaseWinPlaceSet(BDS* ctx, BuiltinCall& call) { PlacementGetSet(ctx, call, true); }

// ---------------------------------------------------------------- children

// The child of the call's parent and child arguments (the parent in one attempt), or null
// with the built-in's error for the part that is missing.
HWND FindChildOrError(BDS* ctx, const BuiltinCall& call, int parentArg, uint16_t noParent, uint16_t noChild,
                      HWND* parent)
{
    HWND child = FindChildArgs(ctx, call, parentArg, parentArg + 1, 0, parent);
    if (!*parent)
        SetError(ctx, noParent);
    else if (!child)
        SetError(ctx, noChild);
    return *parent ? child : nullptr;
}

void CaseWinPlaceChild(BDS* ctx, BuiltinCall& call)
{
    HWND parent = nullptr;
    HWND child = FindChildOrError(ctx, call, 5, ERR_PLACECHILD_NO_PARENT, ERR_PLACECHILD_NO_CHILD, &parent);
    if (!child)
        return;
    RECT client{};
    GetClientRect(parent, &client);
    RECT current{};
    GetWindowRect(child, &current);
    int x = MulDiv(ArgInt(call, 1), client.right, 1000);
    int y = MulDiv(ArgInt(call, 2), client.bottom, 1000);
    int width = ArgInt(call, 3) == PLACE_NO_RESIZE ? current.right - current.left
                                                   : MulDiv(ArgInt(call, 3), client.right, 1000) - x;
    int height = ArgInt(call, 4) == PLACE_NO_RESIZE ? current.bottom - current.top
                                                    : MulDiv(ArgInt(call, 4), client.bottom, 1000) - y;
    MoveWindow(child, x, y, width, height, TRUE);
    SetResultInt(ctx, call.result, 1);
}

void CaseWinPositionChild(BDS* ctx, BuiltinCall& call)
{
    HWND parent = nullptr;
    HWND child = FindChildOrError(ctx, call, 1, ERR_POSITIONCHILD_NO_PARENT, ERR_POSITIONCHILD_NO_CHILD, &parent);
    if (!child)
        return;
    RECT client{};
    GetClientRect(parent, &client);
    RECT box{};
    GetWindowRect(child, &box);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&box), 2);
    char text[POSITION_TEXT_SIZE];
    std::snprintf(text, sizeof text, "%ld,%ld,%ld,%ld", static_cast<long>(MulDiv(box.left, 1000, client.right)),
                  static_cast<long>(MulDiv(box.top, 1000, client.bottom)),
                  static_cast<long>(MulDiv(box.right, 1000, client.right)),
                  static_cast<long>(MulDiv(box.bottom, 1000, client.bottom)));
    SetResultText(ctx, call.result, text);
}

const BuiltinRow kRows[] = {
    {786, CaseWinPlace},    {787, CaseWinPlaceChild}, {788, CaseWinPlaceGet},
    {789, CaseWinPlaceSet}, {790, CaseWinPosition},   {791, CaseWinPositionChild},
};

}  // namespace

int DoWinPositionA(BDS* ctx, resultants* out, const char* title, HWND window)
{
    if (!window)
        window = FindTopA(ctx, title);
    if (!window) {
        SetError(ctx, ERR_WINPOSITION_NOT_FOUND);
        return 0;
    }
    char text[POSITION_TEXT_SIZE];
    PositionText(window, text, sizeof text);
    return SetResultText(ctx, out, text) ? 1 : 0;
}

int DoWinPlaceA(BDS* ctx, int x1, int y1, int x2, int y2, const char* title, HWND window)
{
    bool byHandle = window != nullptr;
    if (!byHandle)
        window = FindTopA(ctx, title);
    if (!window) {
        SetError(ctx, ERR_WINPLACE_NOT_FOUND);
        return 0;
    }
    int corner[4] = {x1, y1, x2, y2};
    PlaceWindow(ctx, window, corner, byHandle);
    return 1;
}

extern const BuiltinFamily g_WindowPlaceBuiltins = {"window-place", kRows,
                                                    static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
