// Per-cell colours of a report view: the row colour blocks, the requests that set and read
// them, the custom drawing that shows them, and their release.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "engine/core/context.h"
#include "engine/dialog/dialog_fields.h"
#include "engine/dialog/dialog_record.h"
#include "engine/dialog/dialog_report.h"
#include "engine/dialog/dialog_text.h"
#include "engine/dialog/report_view.h"
#include "engine/dialog/report_view_internal.h"

namespace {

constexpr uint16_t ERR_NO_MEMORY = 1588;      // "Unable to allocate or lock memory"
constexpr uint16_t ERR_BAD_ROW = 1777;        // "Dialog: Invalid row number"
constexpr uint16_t ERR_INVALID = 1824;        // "Invalid value"
constexpr uint16_t ERR_REFUSED = 1991;        // "Dialog: Control refused to accept values"
constexpr uint16_t ERR_BAD_COLUMN = 1993;     // "Dialog: Invalid Column number"
constexpr uint16_t ERR_NOT_NUMERIC = 3978;    // "Dialog: Expecting a numeric value in parameter"
constexpr uint16_t ERR_BAD_COLOR = 3980;      // "Dialog: Bad color description"

enum : int32_t { ROWS_ODD = -1, ROWS_EVEN = -2, ROWS_ALL = -3, COLUMNS_ALL = -1 };

COLORREF DefaultText(const DialogControlRecord* c)
{
    return c->textColor != NO_COLOR ? c->textColor : GetSysColor(COLOR_WINDOWTEXT);
}

COLORREF DefaultBack(const DialogControlRecord* c)
{
    return c->backColor != NO_COLOR ? c->backColor : GetSysColor(COLOR_WINDOW);
}

// The next blank-separated word of the text from *at (blanks and tabs skipped first).
std::string NextWord(const std::string& text, size_t* at)
{
    size_t i = *at;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    size_t start = i;
    while (i < text.size() && text[i] != ' ' && text[i] != '\t')
        ++i;
    *at = i;
    return text.substr(start, i - start);
}

bool WordInteger(BDS* ctx, const std::string& word, int32_t* out)
{
    return !word.empty() && FieldInteger(WideFromNarrow(ctx, word.c_str()), out);
}

// Row and column numbers at the start of the text; false with 3978.
bool RowAndColumn(BDS* ctx, const std::string& text, size_t* at, int32_t* row, int32_t* column)
{
    if (WordInteger(ctx, NextWord(text, at), row) && WordInteger(ctx, NextWord(text, at), column))
        return true;
    SetError(ctx, ERR_NOT_NUMERIC);
    return false;
}

RowColorBlock* BlockOf(HWND view, int row, bool* ok)
{
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    *ok = SendMessageW(view, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)) != 0;
    return reinterpret_cast<RowColorBlock*>(item.lParam);
}

bool SetBlockOf(HWND view, int row, RowColorBlock* block)
{
    return RvSetItemData(view, row, reinterpret_cast<LPARAM>(block));
}

void Unlink(DialogControlRecord* c, RowColorBlock* block)
{
    if (block->previous)
        block->previous->next = block->next;
    else if (c->rowColors == block)
        c->rowColors = block->next;
    if (block->next)
        block->next->previous = block->previous;
    block->previous = block->next = nullptr;
}

void LinkAtHead(DialogControlRecord* c, RowColorBlock* block)
{
    block->previous = nullptr;
    block->next = c->rowColors;
    if (c->rowColors)
        c->rowColors->previous = block;
    c->rowColors = block;
}

bool Listed(const DialogControlRecord* c, const RowColorBlock* block)
{
    for (const RowColorBlock* b = c->rowColors; b; b = b->next)
        if (b == block)
            return true;
    return false;
}

// The block made, or grown to `columns` entries (new entries not set); null with 1588.
// A grown block is unlinked first and linked again at the head.
RowColorBlock* GrowRowColorTable(DialogControlRecord* c, RowColorBlock* block, uint32_t columns)
{
    if (block && block->count >= columns)
        return block;
    size_t bytes = sizeof(RowColorBlock) + sizeof(COLORREF) * 2 * columns;
    uint32_t had = block ? block->count : 0;
    if (block)
        Unlink(c, block);
    void* grown = block ? HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, block, bytes)
                        : HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes);
    if (!grown) {
        if (block)
            LinkAtHead(c, block);
        return nullptr;
    }
    auto* b = static_cast<RowColorBlock*>(grown);
    for (uint32_t i = had; i < columns; ++i)
        b->Entry(i)[0] = b->Entry(i)[1] = NO_COLOR;
    b->count = columns;
    LinkAtHead(c, b);
    return b;
}

bool ParseColorWord(BDS* ctx, const std::string& word, COLORREF fallback, COLORREF* out)
{
    std::wstring w = WideFromNarrow(ctx, word.c_str());
    if (word.empty() || IsDefaultField(w)) {
        *out = fallback;
        return true;
    }
    return ParseColorSpec(w.c_str(), out) != 0;
}

bool RowNamed(int32_t which, int row)
{
    switch (which) {
    case ROWS_ODD: return row % 2 == 0;    // rows 1, 3, 5 ...
    case ROWS_EVEN: return row % 2 == 1;
    case ROWS_ALL: return true;
    default: return row == which - 1;
    }
}

}  // namespace

LPARAM RvItemData(HWND view, int row)
{
    bool ok = false;
    return reinterpret_cast<LPARAM>(BlockOf(view, row, &ok));
}

bool RvSetItemData(HWND view, int row, LPARAM data)
{
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    item.lParam = data;
    return SendMessageW(view, LVM_SETITEMW, REPORT_ITEM_MARKER, reinterpret_cast<LPARAM>(&item)) != 0;
}

int ReportViewSetItemColor(BDS* ctx, Dialog6Record*, DialogControlRecord* c, const std::string& text)
{
    if (text.find_first_not_of(" \t") == std::string::npos) {
        SetError(ctx, ERR_BAD_COLOR);
        return RvFail(ctx, c, ERR_BAD_COLOR);
    }
    size_t at = 0;
    int32_t row = 0, column = 0;
    if (!RowAndColumn(ctx, text, &at, &row, &column))
        return RvFail(ctx, c, ERR_NOT_NUMERIC);
    COLORREF colors[2];
    std::string words[2] = {NextWord(text, &at), NextWord(text, &at)};
    if (!ParseColorWord(ctx, words[0], DefaultText(c), &colors[0])
        || !ParseColorWord(ctx, words[1], DefaultBack(c), &colors[1])) {
        SetError(ctx, ERR_BAD_COLOR);
        return DialogFail(ctx, ERR_BAD_COLOR, nullptr, text.c_str());
    }
    HWND view = c->window;
    int rows = RvRowCount(view);
    int columns = RvColumnCount(view);
    if (row == 0 || row < ROWS_ALL || row > rows) {
        SetError(ctx, ERR_BAD_ROW);
        return RvFail(ctx, c, ERR_BAD_ROW);
    }
    if (column == 0 || column < COLUMNS_ALL || column > columns) {
        SetError(ctx, ERR_BAD_COLUMN);
        return RvFail(ctx, c, ERR_BAD_COLUMN);
    }
    for (int r = 0; r < rows; ++r) {
        if (!RowNamed(row, r))
            continue;
        bool ok = false;
        RowColorBlock* block = BlockOf(view, r, &ok);
        if (!ok) {
            SetError(ctx, ERR_REFUSED);
            return RvFail(ctx, c, ERR_REFUSED);
        }
        if (block && !Listed(c, block))
            block = nullptr;   // not one of ours: the row gets a new block
        block = GrowRowColorTable(c, block, static_cast<uint32_t>(columns));
        if (!block) {
            SetError(ctx, ERR_NO_MEMORY);
            return RvFail(ctx, c, ERR_NO_MEMORY);
        }
        for (int col = 0; col < columns; ++col) {
            if (column != COLUMNS_ALL && col != column - 1)
                continue;
            block->Entry(static_cast<uint32_t>(col))[0] = colors[0];
            block->Entry(static_cast<uint32_t>(col))[1] = colors[1];
        }
        if (!SetBlockOf(view, r, block)) {
            SetError(ctx, ERR_REFUSED);
            return RvFail(ctx, c, ERR_REFUSED);
        }
    }
    InvalidateRect(view, nullptr, TRUE);
    return 1;
}

int ReportViewGetItemColor(BDS* ctx, DialogControlRecord* c, const std::string& text, std::string& out)
{
    if (text.find_first_not_of(" \t") == std::string::npos) {
        SetError(ctx, ERR_INVALID);
        return RvFail(ctx, c, ERR_INVALID);
    }
    size_t at = 0;
    int32_t row = 0, column = 0;
    if (!RowAndColumn(ctx, text, &at, &row, &column))
        return RvFail(ctx, c, ERR_NOT_NUMERIC);
    HWND view = c->window;
    if (row < 1 || row > RvRowCount(view)) {
        SetError(ctx, ERR_BAD_ROW);
        return RvFail(ctx, c, ERR_BAD_ROW);
    }
    if (column < 1 || column > RvColumnCount(view)) {
        SetError(ctx, ERR_BAD_COLUMN);
        return RvFail(ctx, c, ERR_BAD_COLUMN);
    }
    COLORREF pair[2] = {DefaultText(c), DefaultBack(c)};
    bool ok = false;
    RowColorBlock* block = BlockOf(view, row - 1, &ok);
    if (block && Listed(c, block) && block->count > 0) {
        uint32_t entry = static_cast<uint32_t>(column - 1) < block->count ? static_cast<uint32_t>(column - 1)
                                                                          : block->count - 1;
        for (int i = 0; i < 2; ++i)
            if (block->Entry(entry)[i] != NO_COLOR)
                pair[i] = block->Entry(entry)[i];
    }
    char answer[64];
    std::snprintf(answer, sizeof answer, "%d|%d|%d %d|%d|%d", GetRValue(pair[0]), GetGValue(pair[0]),
                  GetBValue(pair[0]), GetRValue(pair[1]), GetGValue(pair[1]), GetBValue(pair[1]));
    out = answer;
    return 1;
}

LRESULT ReportViewCustomDraw(NMLVCUSTOMDRAW* draw)
{
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
    case CDDS_ITEMPREPAINT:
        return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
        auto* block = reinterpret_cast<RowColorBlock*>(draw->nmcd.lItemlParam);
        if (!block || draw->iSubItem < 0 || static_cast<uint32_t>(draw->iSubItem) >= block->count)
            return CDRF_DODEFAULT;
        const COLORREF* entry = block->Entry(static_cast<uint32_t>(draw->iSubItem));
        bool changed = false;
        if (entry[1] != NO_COLOR) {
            draw->clrTextBk = entry[1];
            changed = true;
        }
        if (entry[0] != NO_COLOR) {
            draw->clrText = entry[0];
            changed = true;
        }
        return changed ? CDRF_NEWFONT : CDRF_DODEFAULT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}

void ReportViewRowDeleted(DialogControlRecord* c, LPARAM itemData)
{
    auto* block = reinterpret_cast<RowColorBlock*>(itemData);
    if (!block || !Listed(c, block))
        return;
    Unlink(c, block);
    HeapFree(GetProcessHeap(), 0, block);
}

void ReportViewFreeColors(DialogControlRecord* c)
{
    while (RowColorBlock* block = c->rowColors) {
        c->rowColors = block->next;
        HeapFree(GetProcessHeap(), 0, block);
    }
}
