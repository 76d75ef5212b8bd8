// The painting of a 6.x dialog: bitmaps through DrawDib with their palettes, the push
// buttons that draw themselves in their colours (and keep their captions), PICTURE
// controls, and the button caption and shield helpers.
#include "engine/dialog/dialog_paint.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/core/context.h"
#include "engine/core/system_flags.h"
#include "engine/dialog/dialog_record.h"

namespace {

using PfnDrawDibOpen = HANDLE(WINAPI*)();
using PfnDrawDibClose = BOOL(WINAPI*)(HANDLE);
using PfnDrawDibRealize = UINT(WINAPI*)(HANDLE, HDC, BOOL);
using PfnDrawDibDraw = BOOL(WINAPI*)(HANDLE, HDC, int, int, int, int, BITMAPINFOHEADER*, void*, int, int, int, int,
                                     UINT);

constexpr UINT DDF_BACKGROUNDPAL = 0x200;
constexpr int PALETTE_VERSION = 0x300;
constexpr UINT MAX_COLORS = 256;
constexpr WORD SHIELD_ICON = 32518;          // the system's elevation shield (IDI_SHIELD)

enum : uint32_t { LOOK_FOCUS = 0x1, LOOK_PRESSED = 0x2, LOOK_DEFAULT = 0x4 };

template <typename Fn>
Fn Api(FARPROC proc)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(proc));
}

// A logical palette of the bitmap's colour table, or the halftone palette without one.
HPALETTE MakeBitmapPalette(HDC dc, HBITMAP bitmap)
{
    RGBQUAD colors[MAX_COLORS];
    UINT count = GetBitmapColorTable(bitmap, colors, MAX_COLORS);
    if (count == 0)
        return CreateHalftonePalette(dc);
    std::vector<BYTE> block(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * count);
    auto* palette = reinterpret_cast<LOGPALETTE*>(block.data());
    palette->palVersion = PALETTE_VERSION;
    palette->palNumEntries = static_cast<WORD>(count);
    for (UINT i = 0; i < count; ++i) {
        palette->palPalEntry[i].peRed = colors[i].rgbRed;
        palette->palPalEntry[i].peGreen = colors[i].rgbGreen;
        palette->palPalEntry[i].peBlue = colors[i].rgbBlue;
        palette->palPalEntry[i].peFlags = 0;
    }
    return CreatePalette(palette);
}

HFONT FontOf(const Dialog6Record* dlg, const DialogControlRecord* c)
{
    if (c->font)
        return c->font;
    if (dlg->font)
        return dlg->font;
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

// ---------------------------------------------------------------- push buttons

DialogControlRecord* ButtonOf(Dialog6Record* dlg, HWND button, int* index)
{
    *index = GetDlgCtrlID(button) - DIALOG_ID_BASE;
    return ControlAt(dlg, *index);
}

bool IsDialogPushButton(HWND window)
{
    return window && SendMessageW(window, WM_DLG_PUSHBUTTON, 0, 0) == WM_DLG_PUSHBUTTON;
}

void Repaint(HWND button) { RedrawWindow(button, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }

void PaintButton(Dialog6Record* dlg, DialogControlRecord* c, HWND button, HDC dc)
{
    RECT outer{};
    GetClientRect(button, &outer);
    RECT frame = outer;
    bool enabled = IsWindowEnabled(button) != FALSE;
    bool pressed = (c->state & LOOK_PRESSED) != 0;
    bool flat = (c->style & CS_FLAT) != 0;
    bool framed = (c->state & LOOK_DEFAULT) && enabled && GetForegroundWindow() == dlg->window;
    if (framed)
        InflateRect(&frame, -1, -1);
    UINT look = DFCS_BUTTONPUSH | (enabled ? 0 : DFCS_INACTIVE) | (pressed ? DFCS_PUSHED : 0) | (flat ? DFCS_FLAT : 0);
    DrawFrameControl(dc, &frame, DFC_BUTTON, look);
    RECT inside = frame;
    if (!flat)
        InflateRect(&inside, -GetSystemMetrics(SM_CXEDGE), -GetSystemMetrics(SM_CYEDGE));
    bool bitmap = c->type == CT_PICTUREBUTTON && c->bitmap;
    if (bitmap) {
        RECT picture = inside;
        if (pressed)
            InflateRect(&picture, 1, 1);
        int saved = SaveDC(dc);
        IntersectClipRect(dc, inside.left, inside.top, inside.right, inside.bottom);
        PaintDialogBitmap(dlg->ctx, dc, &picture, c->bitmap, &c->palette, &c->drawDib, false);
        RestoreDC(dc, saved);
        if (!enabled)
            InvertRect(dc, &inside);
    } else {
        HBRUSH brush = c->backBrush ? c->backBrush : GetSysColorBrush(COLOR_BTNFACE);
        HGDIOBJ oldBrush = SelectObject(dc, brush);
        PatBlt(dc, inside.left, inside.top, inside.right - inside.left, inside.bottom - inside.top, PATCOPY);
        SelectObject(dc, oldBrush);
        HGDIOBJ oldFont = SelectObject(dc, FontOf(dlg, c));
        SetBkMode(dc, TRANSPARENT);
        COLORREF color = c->textColor != NO_COLOR ? c->textColor : GetSysColor(COLOR_BTNTEXT);
        SetTextColor(dc, enabled ? color : GetSysColor(COLOR_GRAYTEXT));
        RECT text = inside;
        if (pressed)
            OffsetRect(&text, 1, 1);
        POINT at{};
        SIZE size = MeasureButtonCaptionW(dc, c->caption.c_str(), text, &at);
        if (!enabled && g_System.OsHasNewShell) {
            int saved = SaveDC(dc);
            IntersectClipRect(dc, inside.left, inside.top, inside.right, inside.bottom);
            DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(c->caption.c_str()),
                       static_cast<WPARAM>(c->caption.size()), at.x, at.y, size.cx, size.cy,
                       DST_PREFIXTEXT | DSS_DISABLED);
            RestoreDC(dc, saved);
        } else {
            DrawTextW(dc, c->caption.c_str(), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        }
        if ((c->style & CS_SHIELD) && g_System.OsIsVistaPlus) {
            RECT caption = {at.x, at.y, at.x + size.cx, at.y + size.cy};
            DrawShieldIcon(dc, caption);
        }
        SelectObject(dc, oldFont);
    }
    if (c->state & LOOK_FOCUS) {
        RECT focus = inside;
        InflateRect(&focus, bitmap ? -2 : -1, bitmap ? -2 : -1);
        DrawFocusRect(dc, &focus);
    }
    if (framed)
        FrameRect(dc, &outer, GetSysColorBrush(COLOR_BTNTEXT));
}

void SetDefaultLook(DialogControlRecord* c, HWND button, bool on)
{
    c->state = on ? (c->state | LOOK_DEFAULT) : (c->state & ~LOOK_DEFAULT);
    LONG_PTR style = GetWindowLongPtrW(button, GWL_STYLE) & ~static_cast<LONG_PTR>(BS_TYPEMASK);
    SetWindowLongPtrW(button, GWL_STYLE, style | (on ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON));
}

void FocusTaken(Dialog6Record* dlg, DialogControlRecord* c, HWND button, HWND lost, int index)
{
    for (DialogControlRecord* other : dlg->controls)
        if (other != c && other->window && (other->type == CT_PUSHBUTTON || other->type == CT_PICTUREBUTTON)
            && (other->state & LOOK_DEFAULT))
            SendMessageW(other->window, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    SendMessageW(button, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    c->state |= LOOK_FOCUS;
    if (dlg->events[DE_FOCUS] && dlg->window)
        SendMessageW(dlg->window, WM_DLG_FOCUS, reinterpret_cast<WPARAM>(lost), index);
}

void FocusLost(Dialog6Record* dlg, DialogControlRecord* c, HWND button, HWND gaining, int index)
{
    c->state &= ~LOOK_FOCUS;
    DialogControlRecord* def = ControlAt(dlg, dlg->defaultButton);
    if (IsDialogPushButton(gaining)) {
        if (index != dlg->defaultButton)
            SendMessageW(button, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
        return;
    }
    if (def && def->window && def != c)
        SendMessageW(def->window, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    if (index != dlg->defaultButton)
        SendMessageW(button, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
}

LRESULT CALLBACK PushButtonSubclassProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* dlg = reinterpret_cast<Dialog6Record*>(GetWindowLongPtrW(button, GWLP_USERDATA));
    int index = -1;
    DialogControlRecord* c = dlg ? ButtonOf(dlg, button, &index) : nullptr;
    WNDPROC previous = c ? c->previousProc : nullptr;
    if (!previous)
        return DefWindowProcW(button, message, wParam, lParam);
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(button, &ps);
        if (dc)
            PaintButton(dlg, c, button, dc);
        EndPaint(button, &ps);
        return 0;
    }
    case WM_SETTEXT: {
        const auto* text = reinterpret_cast<const wchar_t*>(lParam);
        c->caption = text ? text : L"";
        DefWindowProcW(button, message, wParam, lParam);   // the window's own text follows
        if (!(c->type == CT_PICTUREBUTTON && c->bitmap))
            InvalidateRect(button, nullptr, TRUE);
        return 1;
    }
    case WM_GETTEXT: {
        if (wParam == 0 || !lParam)
            return 0;
        size_t copied = c->caption.size() < wParam - 1 ? c->caption.size() : wParam - 1;
        auto* out = reinterpret_cast<wchar_t*>(lParam);
        std::memcpy(out, c->caption.data(), copied * sizeof(wchar_t));
        out[copied] = 0;
        return static_cast<LRESULT>(copied);
    }
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(c->caption.size());
    case BM_SETSTATE: {
        // The button's own procedure tracks the click (and paints itself): ours paints over.
        LRESULT answer = CallWindowProcW(previous, button, message, wParam, lParam);
        c->state = wParam ? (c->state | LOOK_PRESSED) : (c->state & ~LOOK_PRESSED);
        Repaint(button);
        return answer;
    }
    case BM_SETSTYLE:
        SetDefaultLook(c, button, (wParam & 1) != 0);
        if (LOWORD(lParam))
            Repaint(button);
        return 0;
    case WM_DLG_PUSHBUTTON:
        return WM_DLG_PUSHBUTTON;
    case WM_SETFOCUS: {
        FocusTaken(dlg, c, button, reinterpret_cast<HWND>(wParam), index);
        LRESULT answer = CallWindowProcW(previous, button, message, wParam, lParam);
        Repaint(button);
        return answer;
    }
    case WM_KILLFOCUS: {
        FocusLost(dlg, c, button, reinterpret_cast<HWND>(wParam), index);
        LRESULT answer = CallWindowProcW(previous, button, message, wParam, lParam);
        Repaint(button);
        return answer;
    }
    case WM_ENABLE:
    case WM_UPDATEUISTATE:
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED: {
        LRESULT answer = CallWindowProcW(previous, button, message, wParam, lParam);
        if (IsWindow(button))
            Repaint(button);
        return answer;
    }
    default:
        return CallWindowProcW(previous, button, message, wParam, lParam);
    }
}

}  // namespace

// ---------------------------------------------------------------- bitmaps

UINT GetBitmapColorTable(HBITMAP bitmap, RGBQUAD* colors, UINT capacity)
{
    HDC memory = CreateCompatibleDC(nullptr);
    if (!memory)
        return 0;
    HGDIOBJ old = SelectObject(memory, bitmap);
    UINT count = GetDIBColorTable(memory, 0, capacity, colors);
    SelectObject(memory, old);
    DeleteDC(memory);
    return count;
}

int PaintDialogBitmap(BDS* ctx, HDC dc, const RECT* target, HBITMAP bitmap, HPALETTE* palette, HANDLE* drawDib,
                      bool background)
{
    const OptionalApis& api = ctx->eng.api;
    if (!bitmap || !api.pfnDrawDibDraw || !api.pfnDrawDibOpen)
        return 0;
    DIBSECTION section{};
    if (GetObjectW(bitmap, sizeof section, &section) != sizeof section || !section.dsBm.bmBits)
        return 0;
    if (!*palette)
        *palette = MakeBitmapPalette(dc, bitmap);
    if (!*drawDib)
        *drawDib = Api<PfnDrawDibOpen>(api.pfnDrawDibOpen)();
    if (!*drawDib)
        return 0;
    RECT area{};
    if (target)
        area = *target;
    else
        GetClientRect(WindowFromDC(dc), &area);
    // The header with the colour table behind it, as DrawDib reads a packed DIB.
    std::vector<BYTE> info(sizeof(BITMAPINFOHEADER) + sizeof(RGBQUAD) * MAX_COLORS);
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
    *header = section.dsBmih;
    GetBitmapColorTable(bitmap, reinterpret_cast<RGBQUAD*>(header + 1), MAX_COLORS);
    HPALETTE old = *palette ? SelectPalette(dc, *palette, background) : nullptr;
    if (*palette)
        RealizePalette(dc);
    BOOL drawn = Api<PfnDrawDibDraw>(api.pfnDrawDibDraw)(
        *drawDib, dc, area.left, area.top, area.right - area.left, area.bottom - area.top, header,
        section.dsBm.bmBits, 0, 0, section.dsBm.bmWidth, section.dsBm.bmHeight, background ? DDF_BACKGROUNDPAL : 0);
    if (old)
        SelectPalette(dc, old, TRUE);
    return drawn ? 1 : 0;
}

int PaintDialogBackground(Dialog6Record* dlg, HDC dc)
{
    return PaintDialogBitmap(dlg->ctx, dc, nullptr, dlg->backBitmap, &dlg->backPalette, &dlg->backDrawDib, true);
}

void ReleaseBitmapPaint(BDS* ctx, HPALETTE* palette, HANDLE* drawDib)
{
    if (*drawDib && ctx && ctx->eng.api.pfnDrawDibClose)
        Api<PfnDrawDibClose>(ctx->eng.api.pfnDrawDibClose)(*drawDib);
    *drawDib = nullptr;
    if (*palette)
        DeleteObject(*palette);
    *palette = nullptr;
}

bool RealizeDialogPalettes(Dialog6Record* dlg, HWND dialog)
{
    const OptionalApis& api = dlg->ctx->eng.api;
    if (!api.pfnDrawDibRealize)
        return false;
    auto realize = Api<PfnDrawDibRealize>(api.pfnDrawDibRealize);
    bool any = false;
    auto one = [&](HWND window, HANDLE drawDib, bool background) {
        HDC dc = GetDC(window);
        if (!dc)
            return;
        UINT changed = realize(drawDib, dc, background);
        ReleaseDC(window, dc);
        if (changed) {
            InvalidateRect(window, nullptr, TRUE);
            UpdateWindow(window);
            any = true;
        }
    };
    if (dlg->backDrawDib && dlg->backPalette)
        one(dialog, dlg->backDrawDib, false);
    for (DialogControlRecord* c : dlg->controls)
        if (c->window && c->bitmap && c->palette && c->drawDib)
            one(c->window, c->drawDib, true);
    return any;
}

// ---------------------------------------------------------------- pictures and buttons

void PaintPictureItem(Dialog6Record* dlg, DialogControlRecord* c, const DRAWITEMSTRUCT* item)
{
    if (c->bitmap
        && PaintDialogBitmap(dlg->ctx, item->hDC, &item->rcItem, c->bitmap, &c->palette, &c->drawDib, false))
        return;
    int length = GetWindowTextLengthW(item->hwndItem);
    std::wstring text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    GetWindowTextW(item->hwndItem, text.data(), length + 1);
    text.resize(static_cast<size_t>(length > 0 ? length : 0));
    COLORREF color = (c->style & CS_DISABLED) ? GetSysColor(COLOR_GRAYTEXT)
                     : c->textColor != NO_COLOR ? c->textColor
                                                : GetSysColor(COLOR_BTNTEXT);
    RECT r = item->rcItem;
    HGDIOBJ oldFont = SelectObject(item->hDC, FontOf(dlg, c));
    SetBkMode(item->hDC, TRANSPARENT);
    SetTextColor(item->hDC, color);
    DrawTextW(item->hDC, text.c_str(), -1, &r, DT_CENTER | DT_WORDBREAK | DT_WORD_ELLIPSIS);
    SelectObject(item->hDC, oldFont);
}

void SubclassPushButton(Dialog6Record* dlg, DialogControlRecord* c, HWND button)
{
    SetWindowLongPtrW(button, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(dlg));
    c->previousProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PushButtonSubclassProc)));
}

SIZE MeasureButtonCaptionW(HDC dc, const wchar_t* caption, const RECT& rect, POINT* topLeft)
{
    std::wstring shown;
    for (const wchar_t* p = caption ? caption : L""; *p; ++p) {
        if (*p == L'&') {
            if (p[1] != L'&')
                continue;
            ++p;   // "&&" shows one "&"
        }
        shown += *p;
    }
    SIZE size{};
    GetTextExtentPoint32W(dc, shown.c_str(), static_cast<int>(shown.size()), &size);
    RECT inner = rect;
    InflateRect(&inner, -GetSystemMetrics(SM_CXEDGE), -GetSystemMetrics(SM_CYEDGE));
    if (topLeft) {
        topLeft->x = inner.left + ((inner.right - inner.left) - size.cx) / 2;
        topLeft->y = inner.top + ((inner.bottom - inner.top) - size.cy) / 2;
    }
    return size;
}

void DrawShieldIcon(HDC dc, const RECT& caption)
{
    static HICON shield = static_cast<HICON>(
        LoadImageW(nullptr, MAKEINTRESOURCEW(SHIELD_ICON), IMAGE_ICON, 0, 0, LR_SHARED | LR_DEFAULTSIZE));
    if (!shield)
        return;
    int size = caption.bottom - caption.top;
    if (size <= 0)
        return;
    int y = caption.top + ((caption.bottom - caption.top) - size) / 2;
    DrawIconEx(dc, caption.left - size - 2, y, shield, size, size, 0, nullptr, DI_NORMAL);
}
