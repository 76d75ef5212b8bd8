// Drawing a box: its command records replayed with GDI (colours, pens, fonts, buttons,
// ellipses, lines, rectangles with their washes, texts and bitmaps). The GDI objects of a
// record are made and deleted with it.
#include "launcher/box_internal.h"

#include <algorithm>
#include <string>

namespace {

struct ReplayContext {
    int slot;
    HWND window;
    HDC dc;
    bool buttonMoved;
};

BoxSlot& Slot(int slot) { return g_boxes.slots[slot]; }

RECT RecordPixels(const ReplayContext& c, const BoxCommandRecord& r)
{
    return BoxUnitsToPixels(c.window, r.rect, r.mapMode);
}

bool IsEmptyRect(const BoxCommandRecord& r) { return !r.rect[0] && !r.rect[1] && !r.rect[2] && !r.rect[3]; }

const BoxCommandRecord* Current(const uint8_t* at, BoxCommandRecord& out)
{
    if (!at)
        return nullptr;
    out = ReadRecord(at);
    return &out;
}

// The extent a scaled size refers to: the smaller side of the client area (map mode 1) or
// of the screen.
int SmallerSide(HWND window, int mapMode)
{
    RECT client{};
    if (mapMode == 1 && window && GetClientRect(window, &client))
        return std::max<int>(1, std::min(client.right, client.bottom));
    return std::max(1, std::min(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)));
}

int ScaledPenWidth(const ReplayContext& c, const BoxCommandRecord& pen)
{
    return std::max(1, MulDiv(pen.p1, SmallerSide(c.window, pen.mapMode), 1000));
}

// Colours of a display on which a wash is drawn; a palette of fewer than 256 colours (or the
// OS/2 GDI of old) takes a plain fill.
bool DisplayAllowsWash(HDC dc)
{
    char value[64] = "";
    GetPrivateProfileStringA("boot", "os2gdi.exe", "X", value, sizeof value, "system.ini");
    if (lstrcmpA(value, "X") != 0 && lstrlenA(value) > 1)
        return false;
    long count = (GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE) ? GetDeviceCaps(dc, SIZEPALETTE)
                                                                  : GetDeviceCaps(dc, NUMCOLORS);
    if (count == -1 || GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES) > 8)
        count = 1L << 24;
    return !(count >= 1 && count <= 255);
}

// A wash: rows from top to bottom rising from black in the channels the wash picks (bit 0
// red, bit 1 green, bit 2 blue), 160 steps over the rectangle's bottom.
void FillWash(HDC dc, const RECT& r, int wash)
{
    int step = r.bottom / 160 + 1;
    for (int y = r.top; y < r.bottom; ++y) {
        int level = std::min(179, y / step);
        COLORREF colour = RGB((wash & 1) ? level : 0, (wash & 2) ? level : 0, (wash & 4) ? level : 0);
        RECT row{r.left, y, r.right, y + 1};
        HBRUSH brush = CreateSolidBrush(colour);
        FillRect(dc, &row, brush);
        DeleteObject(brush);
    }
}

// The fill of rectangles and erased texts: a wash, else the current colour, else the
// system's window colour.
void FillArea(const ReplayContext& c, const RECT& r)
{
    BoxCommandRecord colour;
    const BoxCommandRecord* current = Current(Slot(c.slot).colour, colour);
    if (current && current->p1 && DisplayAllowsWash(c.dc)) {
        FillWash(c.dc, r, current->p1);
        return;
    }
    HBRUSH brush = CreateSolidBrush(current ? static_cast<COLORREF>(current->data) : GetSysColor(COLOR_WINDOW));
    FillRect(c.dc, &r, brush);
    DeleteObject(brush);
}

void DrawButton(ReplayContext& c, const BoxCommandRecord& r)
{
    BoxSlot& box = Slot(c.slot);
    int index = r.p1;
    if (index < 0 || index >= BOX_BUTTONS || !box.exists[index] || !box.buttons[index])
        return;
    HWND button = box.buttons[index];
    RECT want = RecordPixels(c, r);
    RECT now;
    GetWindowRect(button, &now);
    MapWindowPoints(nullptr, c.window, reinterpret_cast<POINT*>(&now), 2);
    if (!EqualRect(&now, &want)) {
        SetWindowPos(button, nullptr, want.left, want.top, want.right - want.left, want.bottom - want.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        c.buttonMoved = true;
    }
    char caption[81] = "";
    GetWindowTextA(button, caption, sizeof caption);
    if (std::strncmp(caption, RecordText(r), 80) != 0)
        SetWindowTextA(button, RecordText(r));
    ShowWindow(button, SW_SHOWNA);
    InvalidateRect(button, nullptr, TRUE);
    UpdateWindow(button);
}

void DrawEllipse(const ReplayContext& c, const BoxCommandRecord& r)
{
    if (IsEmptyRect(r))
        return;
    RECT area = RecordPixels(c, r);
    BoxCommandRecord colourRecord, penRecord;
    const BoxCommandRecord* colour = Current(Slot(c.slot).colour, colourRecord);
    const BoxCommandRecord* pen = Current(Slot(c.slot).pen, penRecord);
    HBRUSH brush = nullptr;
    HPEN outline = nullptr;
    HGDIOBJ oldBrush = nullptr, oldPen = nullptr;
    int style = r.p1;
    if ((style == 1 || style == 2) && colour)
        brush = CreateSolidBrush(static_cast<COLORREF>(colour->data));
    if (style == 2 && colour)
        outline = CreatePen(7, 0, static_cast<COLORREF>(colour->data));   // may not exist: the current pen then
    else if (style != 2 && pen)
        outline = CreatePen(PS_INSIDEFRAME, ScaledPenWidth(c, *pen), static_cast<COLORREF>(pen->data));
    if (brush)
        oldBrush = SelectObject(c.dc, brush);
    else if (style == 3)
        oldBrush = SelectObject(c.dc, GetStockObject(HOLLOW_BRUSH));
    if (outline)
        oldPen = SelectObject(c.dc, outline);
    Ellipse(c.dc, area.left, area.top, area.right, area.bottom);
    if (oldPen)
        SelectObject(c.dc, oldPen);
    if (oldBrush)
        SelectObject(c.dc, oldBrush);
    if (outline)
        DeleteObject(outline);
    if (brush)
        DeleteObject(brush);
}

void DrawLine(const ReplayContext& c, const BoxCommandRecord& r)
{
    if (IsEmptyRect(r))
        return;
    RECT ends = RecordPixels(c, r);
    BoxCommandRecord penRecord;
    const BoxCommandRecord* pen = Current(Slot(c.slot).pen, penRecord);
    HPEN line = pen ? CreatePen(PS_SOLID, ScaledPenWidth(c, *pen), static_cast<COLORREF>(pen->data)) : nullptr;
    HGDIOBJ old = line ? SelectObject(c.dc, line) : nullptr;
    MoveToEx(c.dc, ends.left, ends.top, nullptr);
    LineTo(c.dc, ends.right, ends.bottom);
    if (old)
        SelectObject(c.dc, old);
    if (line)
        DeleteObject(line);
}

void DrawRectangle(const ReplayContext& c, const BoxCommandRecord& r)
{
    RECT area = RecordPixels(c, r);
    int style = r.p1;
    if (style != 2) {
        BoxCommandRecord penRecord;
        const BoxCommandRecord* pen = Current(Slot(c.slot).pen, penRecord);
        int width = pen ? ScaledPenWidth(c, *pen) : 1;
        HPEN frame = CreatePen(PS_INSIDEFRAME, width, pen ? static_cast<COLORREF>(pen->data) : RGB(0, 0, 0));
        HGDIOBJ oldPen = SelectObject(c.dc, frame);
        HGDIOBJ oldBrush = style == 3 ? SelectObject(c.dc, GetStockObject(HOLLOW_BRUSH)) : nullptr;
        Rectangle(c.dc, area.left, area.top, area.right, area.bottom);
        if (oldBrush)
            SelectObject(c.dc, oldBrush);
        SelectObject(c.dc, oldPen);
        DeleteObject(frame);
        InflateRect(&area, -width, -width);
    }
    if (style == 1 || style == 2)
        FillArea(c, area);
}

HFONT MakeFont(const ReplayContext& c, const BoxCommandRecord& font)
{
    RECT client{};
    int extent = font.mapMode == 1 && GetClientRect(c.window, &client) ? client.bottom : GetSystemMetrics(SM_CYSCREEN);
    LOGFONTA lf{};
    lf.lfHeight = -MulDiv(font.p1, extent, 1000);
    lstrcpynA(lf.lfFaceName, RecordText(font), LF_FACESIZE);
    int style = font.p2;
    if (style >= 1000) {
        lf.lfUnderline = TRUE;
        style -= 1000;
    }
    if (style >= 100) {
        lf.lfItalic = TRUE;
        style -= 100;
    }
    if (style <= 99) {
        lf.lfWeight = style * 10;
    } else {
        lf.lfItalic = lf.lfUnderline = FALSE;
        lf.lfWeight = FW_DONTCARE;
    }
    lf.lfPitchAndFamily = static_cast<BYTE>(font.rect[0] & 0xFF);
    lf.lfCharSet = static_cast<BYTE>((font.rect[0] >> 8) & 0xFF);
    return CreateFontIndirectA(&lf);
}

HFONT MessageFont()
{
    NONCLIENTMETRICSA metrics{};
    metrics.cbSize = g_os.isVista ? sizeof metrics : offsetof(NONCLIENTMETRICSA, iPaddedBorderWidth);
    if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0))
        return nullptr;
    return CreateFontIndirectA(&metrics.lfMessageFont);
}

int TextWidth(HDC dc, const char* text)
{
    SIZE size{};
    GetTextExtentPoint32A(dc, text, lstrlenA(text), &size);
    return size.cx;
}

// Alignment bit 0x20: the font's width is stepped until the text fills the rectangle.
HFONT FitFontWidth(const ReplayContext& c, const BoxCommandRecord& font, const char* text, int wanted)
{
    LOGFONTA lf{};
    HFONT made = MakeFont(c, font);
    GetObjectA(made, sizeof lf, &lf);
    DeleteObject(made);
    auto measure = [&](LONG width) {
        lf.lfWidth = width;
        HFONT f = CreateFontIndirectA(&lf);
        HGDIOBJ old = SelectObject(c.dc, f);
        int w = TextWidth(c.dc, text);
        SelectObject(c.dc, old);
        DeleteObject(f);
        return w;
    };
    LONG width = std::max(1, wanted / std::max(1, lstrlenA(text)));
    int w = measure(width), last = -1;
    while (w > wanted && w != last && width > 1) {
        last = w;
        w = measure(--width);
    }
    last = -1;
    while (w < wanted && w != last) {
        last = w;
        w = measure(++width);
    }
    lf.lfWidth = width;
    return CreateFontIndirectA(&lf);
}

void DrawTextRecord(const ReplayContext& c, const BoxCommandRecord& r)
{
    RECT area = RecordPixels(c, r);
    SetBkMode(c.dc, TRANSPARENT);
    if (r.p1 == 1)
        FillArea(c, area);
    const char* text = RecordText(r);
    if (!text || !*text)
        return;
    BoxSlot& box = Slot(c.slot);
    BoxCommandRecord colourRecord, fontRecord;
    const BoxCommandRecord* colour = Current(box.textColour, colourRecord);
    const BoxCommandRecord* font = Current(box.font, fontRecord);
    COLORREF oldColour = SetTextColor(c.dc, colour ? static_cast<COLORREF>(colour->data) : g_boxes.defaultTextColour);
    int align = r.p2;
    HFONT made = nullptr;
    if (font)
        made = (align & 0x20) ? FitFontWidth(c, *font, text, area.right - area.left) : MakeFont(c, *font);
    else
        made = MessageFont();
    HGDIOBJ oldFont = made ? SelectObject(c.dc, made) : nullptr;

    UINT format = static_cast<UINT>(align & ~0xF0) | DT_NOPREFIX | DT_EXPANDTABS;
    if (align & 8)
        format |= DT_SINGLELINE;
    if (!(align & 0x80))
        format |= DT_NOCLIP;
    if (align & 0x10) {
        RECT measured = area;
        DrawTextA(c.dc, text, -1, &measured, format | DT_CALCRECT);
        int spare = (area.bottom - area.top) - (measured.bottom - measured.top);
        if (spare > 0)
            area.top += spare / 2;
    }
    bool justified = false;
    if (align & 0x40) {
        TEXTMETRICA tm{};
        GetTextMetricsA(c.dc, &tm);
        int breaks = 0;
        for (const char* p = text; *p; ++p)
            if (static_cast<BYTE>(*p) == tm.tmBreakChar)
                ++breaks;
        int spare = (area.right - area.left) - TextWidth(c.dc, text);
        if (breaks && spare > 0) {
            SetTextJustification(c.dc, spare, breaks);
            justified = true;
        }
    }
    DrawTextA(c.dc, text, -1, &area, format);
    if (justified)
        SetTextJustification(c.dc, 0, 0);
    SetTextColor(c.dc, oldColour);
    if (oldFont)
        SelectObject(c.dc, oldFont);
    if (made)
        DeleteObject(made);
}

void DrawBitmapRecord(const ReplayContext& c, const BoxCommandRecord& r)
{
    if (IsEmptyRect(r))
        return;
    // Wide paths: a picture beside the program lies in a folder of any name.
    std::wstring name = WidenAnsi(RecordText(r));
    wchar_t found[MAX_PATH + 1] = L"";
    DWORD n = SearchPathW(nullptr, name.c_str(), nullptr, MAX_PATH + 1, found, nullptr);
    std::wstring path = n > 0 && n <= MAX_PATH ? std::wstring(found) : ProgramDirectory() + name;
    auto bitmap = static_cast<HBITMAP>(LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    if (!bitmap)
        return;     // a picture that cannot be had draws nothing
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    HDC memory = CreateCompatibleDC(c.dc);
    HGDIOBJ old = SelectObject(memory, bitmap);
    RECT area = RecordPixels(c, r);
    int oldMode = SetStretchBltMode(c.dc, r.p1);
    if (r.p1 == HALFTONE)
        SetBrushOrgEx(c.dc, 0, 0, nullptr);
    StretchBlt(c.dc, area.left, area.top, area.right - area.left, area.bottom - area.top, memory, 0, 0,
               info.bmWidth, info.bmHeight, SRCCOPY);
    SetStretchBltMode(c.dc, oldMode);
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(bitmap);
}

void DrawRecord(ReplayContext& c, const uint8_t* at)
{
    BoxSlot& box = Slot(c.slot);
    BoxCommandRecord r = ReadRecord(at);
    switch (r.type) {
    case HF_BOXCOLOR: box.colour = at; break;
    case HF_BOXTEXTCOLOR: box.textColour = at; break;
    case HF_BOXTEXTFONT: box.font = at; break;
    case HF_BOXPEN: box.pen = at; break;
    case HF_BOXBUTTONDRAW: DrawButton(c, r); break;
    case HF_BOXDRAWCIRCLE: DrawEllipse(c, r); break;
    case HF_BOXDRAWLINE: DrawLine(c, r); break;
    case HF_BOXDRAWRECT: DrawRectangle(c, r); break;
    case HF_BOXDRAWTEXT: DrawTextRecord(c, r); break;
    case HF_BOXBITMAP: DrawBitmapRecord(c, r); break;
    default: break;     // tags and "TOP" draw nothing
    }
}

}  // namespace

void ReplayBoxCommands(int slot, const uint8_t* start, HDC dc)
{
    BoxSlot& box = Slot(slot);
    if (!box.block || !start || IsIconic(g_launcher.mainWindow))
        return;
    if (box.busy) {
        // The list is being changed: draw it all once that is done, never wait on ourselves.
        InvalidateRect(box.window, nullptr, TRUE);
        return;
    }
    box.busy = true;
    bool ownDc = dc == nullptr;
    if (ownDc) {
        ValidateRect(box.window, nullptr);
        dc = GetDC(box.window);
    }
    if (start == box.first)
        box.colour = box.textColour = box.font = box.pen = nullptr;
    ReplayContext c{slot, box.window, dc, false};
    int saved = SaveDC(dc);
    for (const uint8_t* at = NextRecord(start); at; at = NextRecord(at))
        DrawRecord(c, at);
    RestoreDC(dc, saved);
    if (ownDc) {
        if (!c.buttonMoved)
            ValidateRect(box.window, nullptr);
        ReleaseDC(box.window, dc);
    }
    if (GetActiveWindow() == g_launcher.mainWindow)
        TrackBoxButtonFocus(slot);
    box.pending = box.last;
    box.busy = false;
}
