// Snapshot(request): a part of the screen copied to the clipboard as a bitmap with its
// palette. Requests: 0 the primary screen; 1 the client area and 2 the rectangle of the
// foreground window's top-level window; 3 the client area and 4 the rectangle of the
// foreground window itself; 5 the virtual desktop.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/core/pump.h"

namespace {

constexpr uint16_t ERR_SNAPSHOT_REQUEST = 3206;   // "SnapShot: Invalid request number"
constexpr uint16_t ERR_SNAPSHOT_MEMORY = 1207;    // "SnapShot: Out of memory"
constexpr uint16_t ERR_SNAPSHOT_PALETTE = 1208;   // "SnapShot: Palette Creation Error"
constexpr uint16_t ERR_SNAPSHOT_CLIPBOARD = 1209; // "SnapShot: Cannot open clipboard"
constexpr uint32_t LAST_REQUEST = 5;
constexpr int DEFAULT_PALETTE_SIZE = 20;
constexpr int CLIPBOARD_TRIES = 30;
constexpr uint32_t CLIPBOARD_RETRY_MS = 1000;

enum : uint32_t {
    SNAP_SCREEN = 0,
    SNAP_TOP_CLIENT = 1,
    SNAP_TOP_WINDOW = 2,
    SNAP_CLIENT = 3,
    SNAP_WINDOW = 4,
    SNAP_VIRTUAL = 5,
};

RECT PrimaryScreen() { return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

RECT ClientOnScreen(HWND window)
{
    RECT r{};
    GetClientRect(window, &r);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

RECT WindowOnScreen(HWND window)
{
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

// A window's rectangle limited to the desktop: the virtual one across several monitors.
RECT Clamped(RECT r)
{
    int left = 0, top = 0, right = GetSystemMetrics(SM_CXSCREEN), bottom = GetSystemMetrics(SM_CYSCREEN);
    if (GetSystemMetrics(SM_CMONITORS) >= 2) {
        left = GetSystemMetrics(SM_XVIRTUALSCREEN);
        top = GetSystemMetrics(SM_YVIRTUALSCREEN);
        right = GetSystemMetrics(SM_CXVIRTUALSCREEN);
        bottom = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    }
    r.left = std::clamp<LONG>(r.left, left, right);
    r.right = std::clamp<LONG>(r.right, left, right);
    r.top = std::clamp<LONG>(r.top, top, bottom);
    r.bottom = std::clamp<LONG>(r.bottom, top, bottom);
    return r;
}

RECT AreaOf(uint32_t request)
{
    if (request == SNAP_VIRTUAL) {
        RECT r{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
               GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
        if (!r.left && !r.top && !r.right && !r.bottom)
            return PrimaryScreen();
        return {r.left, r.top, r.left + r.right, r.top + r.bottom};
    }
    HWND foreground = request == SNAP_SCREEN ? nullptr : GetForegroundWindow();
    if (!foreground)
        return PrimaryScreen();
    HWND top = GetAncestor(foreground, GA_ROOT);
    if (!top)
        top = foreground;
    switch (request) {
    case SNAP_TOP_CLIENT:
        return Clamped(ClientOnScreen(top));
    case SNAP_TOP_WINDOW:
        return Clamped(WindowOnScreen(top));
    case SNAP_CLIENT:
        return Clamped(ClientOnScreen(foreground));
    default:
        return Clamped(WindowOnScreen(foreground));
    }
}

// A palette from the system palette: the static colours at both ends kept plain, the others
// marked PC_NOCOLLAPSE.
HPALETTE SystemPaletteCopy(HDC screen)
{
    int size = GetDeviceCaps(screen, SIZEPALETTE);
    if (size <= 0)
        size = DEFAULT_PALETTE_SIZE;
    int statics = GetSystemPaletteUse(screen) == SYSPAL_STATIC ? GetDeviceCaps(screen, NUMCOLORS) : 2;
    statics = std::clamp(statics, 0, size);
    std::vector<BYTE> block(sizeof(LOGPALETTE) + static_cast<size_t>(size) * sizeof(PALETTEENTRY));
    auto* palette = reinterpret_cast<LOGPALETTE*>(block.data());
    palette->palVersion = 0x300;
    palette->palNumEntries = static_cast<WORD>(size);
    GetSystemPaletteEntries(screen, 0, static_cast<UINT>(size), palette->palPalEntry);
    for (int i = 0; i < size; ++i) {
        bool isStatic = i < statics / 2 || i >= size - statics / 2;
        palette->palPalEntry[i].peFlags = isStatic ? 0 : PC_NOCOLLAPSE;
    }
    return CreatePalette(palette);
}

// Opens the clipboard for the window, waiting a second between tries while another
// program holds it.
bool OpenClipboardPatiently(BDS* ctx, HWND owner)
{
    for (int attempt = 0; attempt < CLIPBOARD_TRIES; ++attempt) {
        if (OpenClipboard(owner))
            return true;
        if (attempt + 1 < CLIPBOARD_TRIES)
            WaitPumping(ctx, CLIPBOARD_RETRY_MS);
        if (ctx->bCancel)
            break;
    }
    return false;
}

// The bitmap and palette of the area, or false with the error.
bool Capture(BDS* ctx, const RECT& area, HBITMAP* bitmap, HPALETTE* palette)
{
    int width = std::max<LONG>(area.right - area.left, 1);
    int height = std::max<LONG>(area.bottom - area.top, 1);
    HDC screen = GetDC(nullptr);
    HDC memory = screen ? CreateCompatibleDC(screen) : nullptr;
    *bitmap = memory ? CreateCompatibleBitmap(screen, width, height) : nullptr;
    *palette = *bitmap ? SystemPaletteCopy(screen) : nullptr;
    bool ok = *bitmap && *palette;
    if (!ok) {
        SetError(ctx, *bitmap ? ERR_SNAPSHOT_PALETTE : ERR_SNAPSHOT_MEMORY);
    } else {
        HGDIOBJ oldBitmap = SelectObject(memory, *bitmap);
        HPALETTE oldPalette = SelectPalette(memory, *palette, FALSE);
        RealizePalette(memory);
        BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
        SelectPalette(memory, oldPalette, FALSE);
        SelectObject(memory, oldBitmap);
    }
    if (memory)
        DeleteDC(memory);
    if (screen)
        ReleaseDC(nullptr, screen);
    return ok;
}

void CaseSnapshot(BDS* ctx, BuiltinCall& call)
{
    uint32_t request = static_cast<uint32_t>(ArgInt(call, 1));
    if (request > LAST_REQUEST) {
        SetError(ctx, ERR_SNAPSHOT_REQUEST);
        return;
    }
    HBITMAP bitmap = nullptr;
    HPALETTE palette = nullptr;
    bool handed = false;
    if (Capture(ctx, AreaOf(request), &bitmap, &palette)) {
        if (!OpenClipboardPatiently(ctx, ctx->hwndParent)) {
            SetError(ctx, ERR_SNAPSHOT_CLIPBOARD);
        } else {
            EmptyClipboard();
            handed = SetClipboardData(CF_BITMAP, bitmap) != nullptr;
            if (handed && !SetClipboardData(CF_PALETTE, palette))
                DeleteObject(palette);   // the bitmap is the clipboard's; the palette is not
            palette = handed ? nullptr : palette;
            CloseClipboard();
        }
    }
    if (!handed) {
        if (bitmap)
            DeleteObject(bitmap);
        if (palette)
            DeleteObject(palette);
    }
    SetResultInt(ctx, call.result, handed ? 1 : 0);
}

const BuiltinRow kRows[] = {
    {688, CaseSnapshot},
};

}  // namespace

extern const BuiltinFamily g_SnapshotBuiltins = {"snapshot", kRows, static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
