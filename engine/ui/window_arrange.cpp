// WinArrange(mode): the arrangeable top-level windows as a stack (the default) or as tiles,
// rows or columns. Only the first character of the mode counts: "S" or "1" stack, "A" or
// "2" tile, "R" or "3" rows, "C" or "4" columns; anything else is the stack.
//
// The grid lines are rounded the way the layout has always been drawn: a half or a third
// of the width is forced up to a multiple of 8 less one, and the frame is taken off so
// that neighbouring frames overlap.
#include "engine/ui/window_arrange.h"

#include <algorithm>
#include <cctype>

#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/ui/foreground.h"

namespace {

struct GridLines {
    int half;                      // HW: the split of two columns
    int third, twoThirds;          // T1, T2: the splits of three columns
    int quarter, middle, threeQuarters;   // Q1, H2, Q3
    int rowThird, rowTwoThirds;    // R1, R2
};

GridLines LinesOf(const ArrangeMetrics& m)
{
    const int w = m.width, h = m.height, fx = m.frameX;
    return {((w | 14) / 2) - fx + 1, ((w / 3) | 7) - fx + 1, (((2 * w) / 3) | 7) - fx + 1,
            h / 4, h / 2, (3 * h) / 4, h / 3, (2 * h) / 3};
}

// Splits of a column of 1 to 4 windows, top to bottom: count + 1 edges.
void ColumnEdges(const ArrangeMetrics& m, const GridLines& g, int count, int* edges)
{
    edges[0] = 0;
    switch (count) {
    case 2:
        edges[1] = g.middle;
        break;
    case 3:
        edges[1] = g.rowThird;
        edges[2] = g.rowTwoThirds;
        break;
    case 4:
        edges[1] = g.quarter;
        edges[2] = g.middle;
        edges[3] = g.threeQuarters;
        break;
    default:
        break;
    }
    edges[count] = m.height;
}

// Fills one column from `left` to `right` with `count` cells, top to bottom; answers the
// next free cell.
RECT* FillColumn(const ArrangeMetrics& m, const GridLines& g, int left, int right, int count, RECT* cell)
{
    int edges[5];
    ColumnEdges(m, g, count, edges);
    for (int i = 0; i < count; ++i)
        *cell++ = {left, edges[i], right, edges[i + 1]};
    return cell;
}

void Stack(const ArrangeMetrics& m, const GridLines& g, int count, RECT* cells)
{
    int steps = count > 1 ? count - 1 : 1;
    int stepX = std::min((m.width - g.half) / steps, m.caption + m.frameX);
    int stepY = std::min((m.height / 2) / steps, m.caption + m.frameY);
    for (int i = 0; i < count; ++i) {
        int k = count - 1 - i;
        cells[i] = {((stepX * i) | 7) - m.frameX + 1, k * stepY, m.width - k * stepX, m.height - i * stepY};
    }
}

void Grid(const ArrangeMetrics& m, const GridLines& g, int count, bool columns, RECT* cells)
{
    const int w = m.width;
    if (count == 1) {
        cells[0] = {0, 0, w, m.height};
    } else if (count <= 3 && !columns) {
        FillColumn(m, g, 0, w, count, cells);                 // bands: one column of the full width
    } else if (count == 2) {
        FillColumn(m, g, g.half, w, 1, FillColumn(m, g, 0, g.half, 1, cells));
    } else if (count == 3) {
        RECT* next = FillColumn(m, g, 0, g.third, 1, cells);
        FillColumn(m, g, g.twoThirds, w, 1, FillColumn(m, g, g.third, g.twoThirds, 1, next));
    } else if (count == 4 && !columns) {
        FillColumn(m, g, 0, w, 4, cells);
    } else if (count == 4) {
        // A 2 x 2 grid, row by row.
        cells[0] = {0, 0, g.half, g.middle};
        cells[1] = {g.half, 0, w, g.middle};
        cells[2] = {0, g.middle, g.half, m.height};
        cells[3] = {g.half, g.middle, w, m.height};
    } else if (count <= 8) {
        int left = count / 2;
        FillColumn(m, g, g.half, w, count - left, FillColumn(m, g, 0, g.half, left, cells));
    } else {
        // 9 to 12: three columns of 3+3+3, 3+3+4, 3+4+4 or 4+4+4.
        int first = count == 12 ? 4 : 3;
        int second = count >= 11 ? 4 : 3;
        RECT* next = FillColumn(m, g, 0, g.third, first, cells);
        next = FillColumn(m, g, g.third, g.twoThirds, second, next);
        FillColumn(m, g, g.twoThirds, w, count - first - second, next);
    }
}

ArrangeMetrics CurrentMetrics()
{
    ArrangeMetrics m{};
    RECT work{};
    if (SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0)) {
        m.width = work.right - work.left;
        m.height = work.bottom - work.top;
    } else {
        m.width = GetSystemMetrics(SM_CXSCREEN);
        m.height = GetSystemMetrics(SM_CYSCREEN);
    }
    m.frameX = GetSystemMetrics(SM_CXFRAME);
    m.frameY = GetSystemMetrics(SM_CYFRAME);
    m.caption = GetSystemMetrics(SM_CYCAPTION);
    return m;
}

int ModeOf(const char* text)
{
    switch (std::toupper(static_cast<unsigned char>(text[0]))) {
    case 'A':
    case '2':
        return ARRANGE_TILE;
    case 'R':
    case '3':
        return ARRANGE_ROWS;
    case 'C':
    case '4':
        return ARRANGE_COLUMNS;
    default:
        return ARRANGE_STACK;
    }
}

void CaseWinArrange(BDS* ctx, BuiltinCall& call)
{
    ArrangeWindows(ctx, ctx->hwndParent, ModeOf(ArgText(ctx, call, 1)));
    const WindowOpsState& s = ctx->winops;
    SetResultInt(ctx, call.result, 1);
    if (s.ArrangeCount == 0) {
        MessageBeep(0);
        return;
    }
    for (uint32_t i = s.ArrangeCount; i-- > 0;) {
        const ArrangeEntry& e = s.ArrangeTable[i];
        SetWindowPos(e.window, nullptr, e.left, e.top, e.right - e.left, e.bottom - e.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ForceForegroundWindowA(ctx, s.ArrangeTable[0].window, SELECT_BOX_ACTIVATION);
}

const BuiltinRow kRows[] = {
    {761, CaseWinArrange},
};

}  // namespace

void ArrangeLayout(const ArrangeMetrics& m, int mode, int count, RECT* cells)
{
    if (count < 1 || count > ARRANGE_MAX_WINDOWS)
        return;
    GridLines g = LinesOf(m);
    if (mode == ARRANGE_STACK)
        Stack(m, g, count, cells);
    else
        Grid(m, g, count, mode == ARRANGE_COLUMNS || (mode == ARRANGE_TILE && count == 4), cells);
}

int IsArrangeableWindow(HWND window)
{
    LONG style = GetWindowLongA(window, GWL_STYLE);
    return (style & WS_VISIBLE) && (style & WS_THICKFRAME) && !(style & WS_POPUP) && !(style & WS_MINIMIZE) ? 1 : 0;
}

void ArrangeWindows(BDS* ctx, HWND reference, int mode)
{
    WindowOpsState& s = ctx->winops;
    s.ArrangeCount = 0;
    // A maximised window is restored first, so that the layout is what it shows.
    for (HWND w = GetWindow(reference, GW_HWNDFIRST); w; w = GetWindow(w, GW_HWNDNEXT))
        if (IsArrangeableWindow(w) && (GetWindowLongA(w, GWL_STYLE) & WS_MAXIMIZE))
            ShowWindow(w, SW_SHOWNORMAL);
    for (HWND w = GetWindow(reference, GW_HWNDFIRST); w && s.ArrangeCount < ARRANGE_MAX_WINDOWS;
         w = GetWindow(w, GW_HWNDNEXT))
        if (IsArrangeableWindow(w))
            s.ArrangeTable[s.ArrangeCount++].window = w;
    if (s.ArrangeCount == 0)
        return;
    RECT cells[ARRANGE_MAX_WINDOWS];
    ArrangeLayout(CurrentMetrics(), mode, static_cast<int>(s.ArrangeCount), cells);
    for (uint32_t i = 0; i < s.ArrangeCount; ++i) {
        ArrangeEntry& e = s.ArrangeTable[i];
        e.left = cells[i].left;
        e.top = cells[i].top;
        e.right = cells[i].right;
        e.bottom = cells[i].bottom;
    }
}

extern const BuiltinFamily g_WindowArrangeBuiltins = {"window-arrange", kRows,
                                                      static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
