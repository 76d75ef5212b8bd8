// The REPORTVIEW control: rows and cells, row keys, fills from arrays, maps and CSV files,
// rows read back as arrays, and the creator's fill from the control's variable.
#include "engine/dialog/report_view.h"

#include <windows.h>
#include <commctrl.h>

#include <cwchar>

#include "engine/core/context.h"
#include "engine/core/tokenizer.h"
#include "engine/data/array_internal.h"
#include "engine/data/map.h"
#include "engine/dialog/dialog_record.h"
#include "engine/dialog/dialog_report.h"
#include "engine/dialog/dialog_com.h"
#include "engine/dialog/dialog_text.h"
#include "engine/dialog/report_view_internal.h"

namespace {

constexpr uint16_t ERR_NOT_WIDE_ELEMENT = 3992;   // "Array element could not be converted to Unicode"
constexpr uint16_t ERR_TOO_LONG = 3053;           // "Character string too long (>2048 chars??)"
constexpr uint16_t ERR_REFUSED = 1991;            // "Dialog: Control refused to accept values"
constexpr uint16_t ERR_NOT_ARRAY = 3650;          // "Variable is not an array"
constexpr int MIN_COLUMN_WIDTH = 50;

// A cell of an array as wide text: "" for an element never set; false with 3992 or 3053.
bool ArrayCell(BDS* ctx, const ArrayElement& element, std::wstring& out)
{
    out.clear();
    if (!(element.flags & VF_HAS_VALUE))
        return true;
    arrays::ElementText<wchar_t> text;
    if (!text.Take(ctx, element)) {
        text.Release(ctx);
        SetError(ctx, ERR_NOT_WIDE_ELEMENT);
        return false;
    }
    out = text.Text(ctx);
    text.Release(ctx);
    if (out.size() >= RV_TEXT_CHARS) {
        SetError(ctx, ERR_TOO_LONG);
        return false;
    }
    return true;
}

// One row from cells: the first trimmed and inserted, the others set. 0 with the error set.
int AddRow(BDS* ctx, HWND view, const std::wstring* cells, int count)
{
    int row = RvInsertRow(view, RvTrimRight(cells[0]));
    if (row < 0) {
        SetError(ctx, ERR_REFUSED);
        return 0;
    }
    for (int c = 1; c < count; ++c) {
        if (!RvSetCell(view, row, c, cells[c])) {
            SetError(ctx, ERR_REFUSED);
            return 0;
        }
    }
    return 1;
}

// Checks an array for a fill: 1637 without data, 1710 without dimensions, 1805 above two.
ArrayHeader* FillableArray(BDS* ctx, const ValueHead* value)
{
    ArrayHeader* array = ValueArray(value);
    if (!array || !array->data) {
        SetError(ctx, ERR_ARRAY_ACCESS);
        return nullptr;
    }
    if (array->ndims == 0) {
        SetError(ctx, ERR_ARRAY_EMPTY);
        return nullptr;
    }
    if (array->ndims > 2) {
        SetError(ctx, ERR_ARRAY_DIM_COUNT);
        return nullptr;
    }
    return array;
}

// Appends the array's rows from `first` on, `columns` cells each (at most the array's).
int AppendArrayRows(BDS* ctx, HWND view, ArrayHeader* array, uint32_t first, int columns)
{
    uint32_t width = array->ndims > 1 ? array->dims[1] : 1;
    if (columns > static_cast<int>(width))
        columns = static_cast<int>(width);
    if (columns < 1)
        columns = 1;
    std::vector<std::wstring> cells(static_cast<size_t>(columns));
    for (uint32_t r = first; r < array->dims[0]; ++r) {
        for (int c = 0; c < columns; ++c) {
            size_t at = static_cast<size_t>(r) * width + static_cast<size_t>(c);
            if (at >= array->count) {
                SetError(ctx, ERR_ARRAY_BOUNDS);
                return 0;
            }
            if (!ArrayCell(ctx, array->data[at], cells[static_cast<size_t>(c)]))
                return 0;
        }
        if (!AddRow(ctx, view, cells.data(), columns))
            return 0;
    }
    return 1;
}

int FillFromArray(BDS* ctx, DialogControlRecord* c, const ValueHead* value)
{
    HWND view = c->window;
    ArrayHeader* array = FillableArray(ctx, value);
    if (!array)
        return RvFail(ctx, c, ctx->nErrorCode);
    int columns = array->ndims > 1 ? static_cast<int>(array->dims[1]) : 1;
    bool firstHeader = (c->style & CS_FIRSTHEADER) != 0;
    if (RvColumnCount(view) != columns || firstHeader) {
        std::wstring headers;
        if (firstHeader && array->dims[0] > 0) {
            for (int col = 0; col < columns; ++col) {
                std::wstring cell;
                if (!ArrayCell(ctx, array->data[col], cell))
                    return RvFail(ctx, c, ctx->nErrorCode);
                headers += (col ? L"\t" : L"") + cell;
            }
        }
        RvRecreateColumns(view, columns, headers);
    }
    SendMessageW(view, LVM_DELETEALLITEMS, 0, 0);
    if (!AppendArrayRows(ctx, view, array, firstHeader ? 1 : 0, columns))
        return RvFail(ctx, c, ctx->nErrorCode);
    return RvSortAfterFill(ctx, c, 0);
}

int FillFromMap(BDS* ctx, DialogControlRecord* c, const ValueHead* value)
{
    HWND view = c->window;
    ArrayHeader* map = ValueArray(value);
    if (RvColumnCount(view) != 2 || (c->style & CS_FIRSTHEADER))
        RvRecreateColumns(view, 2, std::wstring());
    SendMessageW(view, LVM_DELETEALLITEMS, 0, 0);
    uintptr_t cursor = MapCursorStart(map);
    while (cursor) {
        const char* key = nullptr;
        ArrayElement* element = nullptr;
        cursor = MapIterate(ctx, map, cursor, &key, &element);
        if (!key || !element)
            break;
        std::wstring cells[2] = {WideFromNarrow(ctx, key), std::wstring()};
        if (cells[0].size() >= RV_TEXT_CHARS) {
            SetError(ctx, ERR_TOO_LONG);
            return RvFail(ctx, c, ctx->nErrorCode);
        }
        if (!ArrayCell(ctx, *element, cells[1]))
            return RvFail(ctx, c, ctx->nErrorCode);
        cells[1] = RvTrimRight(cells[1]);
        if (!AddRow(ctx, view, cells, 2))
            return RvFail(ctx, c, ctx->nErrorCode);
    }
    return RvSortAfterFill(ctx, c, 0);
}

// The "not defined" rows of a view whose variable gives no rows.
void ShowNotDefined(BDS* ctx, DialogControlRecord* c)
{
    RvRecreateColumns(c->window, 1, std::wstring());
    SendMessageW(c->window, LVM_DELETEALLITEMS, 0, 0);
    const std::wstring rows[4] = {L"Error:", WideFromNarrow(ctx, c->variable), L"not defined or",
                                  L"not an array with elements."};
    for (const std::wstring& row : rows)
        RvInsertRow(c->window, row);
}

bool HasValue(BDS* ctx, const char* name)
{
    uint16_t index = FindVarIndex(ctx, name);
    return index != 65535 && index != 0 && (ctx->pVars[index].flags & VF_HAS_VALUE);
}

}  // namespace

// ---------------------------------------------------------------- rows and cells

bool IsReportMode(HWND view)
{
    return view && (GetWindowLongPtrW(view, GWL_STYLE) & LVS_TYPEMASK) == LVS_REPORT;
}

int RvRowCount(HWND view) { return static_cast<int>(SendMessageW(view, LVM_GETITEMCOUNT, 0, 0)); }

int RvColumnCount(HWND view)
{
    HWND header = reinterpret_cast<HWND>(SendMessageW(view, LVM_GETHEADER, 0, 0));
    if (header)
        return static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    int count = 0;
    LVCOLUMNW column{};
    column.mask = LVCF_FMT;
    while (SendMessageW(view, LVM_GETCOLUMNW, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(&column)))
        ++count;
    return count;
}

std::wstring RvCellText(HWND view, int row, int column)
{
    wchar_t text[RV_TEXT_CHARS] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = RV_TEXT_CHARS;
    SendMessageW(view, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    text[RV_TEXT_CHARS - 1] = 0;
    return text;
}

int RvInsertRow(HWND view, const std::wstring& first)
{
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = RvRowCount(view);
    item.pszText = const_cast<wchar_t*>(first.c_str());
    item.lParam = 0;
    return static_cast<int>(
        SendMessageW(view, LVM_INSERTITEMW, REPORT_ITEM_MARKER, reinterpret_cast<LPARAM>(&item)));
}

bool RvSetCell(HWND view, int row, int column, const std::wstring& text)
{
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    return SendMessageW(view, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)) != 0;
}

std::wstring RvHeaderText(HWND view, int column)
{
    wchar_t text[RV_TEXT_CHARS] = {};
    LVCOLUMNW c{};
    c.mask = LVCF_TEXT;
    c.pszText = text;
    c.cchTextMax = RV_TEXT_CHARS;
    SendMessageW(view, LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&c));
    text[RV_TEXT_CHARS - 1] = 0;
    return text;
}

std::vector<std::wstring> RvTabFields(const std::wstring& text)
{
    std::vector<std::wstring> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = text.find(L'\t', start);
        fields.push_back(text.substr(start, tab == std::wstring::npos ? std::wstring::npos : tab - start));
        if (tab == std::wstring::npos)
            return fields;
        start = tab + 1;
    }
}

std::wstring RvTrimRight(std::wstring text)
{
    size_t end = text.find_last_not_of(L" \t");
    text.resize(end == std::wstring::npos ? 0 : end + 1);
    return text;
}

// ---------------------------------------------------------------- row keys

std::wstring RvRowKey(HWND view, int row)
{
    std::wstring text = RvCellText(view, row, 0);
    int k = 1;
    for (int earlier = 0; earlier < row; ++earlier)
        if (lstrcmpiW(RvCellText(view, earlier, 0).c_str(), text.c_str()) == 0)
            ++k;
    std::wstring key = text;
    for (int i = 1; i < k; ++i)
        key += L"\t" + text;
    return key;
}

int RvFindRow(HWND view, const std::wstring& key)
{
    int count = RvRowCount(view);
    int found = -1;
    for (const std::wstring& field : RvTabFields(key)) {
        int row = found + 1;
        while (row < count && lstrcmpiW(RvCellText(view, row, 0).c_str(), field.c_str()) != 0)
            ++row;
        if (row >= count)
            return -1;
        found = row;
    }
    return found;
}

int RvFail(BDS* ctx, const DialogControlRecord* control, uint16_t number)
{
    return DialogFail(ctx, number, nullptr, control->name);
}

// ---------------------------------------------------------------- columns made by fills

void RvRecreateColumns(HWND view, int count, const std::wstring& headers)
{
    for (int existing = RvColumnCount(view); existing > 0; --existing)
        SendMessageW(view, LVM_DELETECOLUMN, static_cast<WPARAM>(existing - 1), 0);
    RECT r{};
    GetWindowRect(view, &r);
    int width = count > 0 ? (r.right - r.left - GetSystemMetrics(SM_CXVSCROLL)) / count : 0;
    if (width < MIN_COLUMN_WIDTH)
        width = MIN_COLUMN_WIDTH;
    std::vector<std::wstring> texts = headers.empty() ? std::vector<std::wstring>() : RvTabFields(headers);
    for (int c = 0; c < count; ++c) {
        std::wstring text = c < static_cast<int>(texts.size()) ? texts[static_cast<size_t>(c)] : std::wstring();
        LVCOLUMNW column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = width;
        column.pszText = const_cast<wchar_t*>(text.c_str());
        column.iSubItem = c;
        SendMessageW(view, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column));
    }
}

// ---------------------------------------------------------------- rows as arrays

int RvRowsToArray(BDS* ctx, DialogControlRecord* c, RvRows which, const std::wstring& find, ValueHead& made)
{
    HWND view = c->window;
    std::vector<std::wstring> wanted = which == RvRows::found ? RvTabFields(find) : std::vector<std::wstring>();
    std::vector<int> rows;
    int count = RvRowCount(view);
    if (which == RvRows::selected) {
        for (int row = -1; (row = static_cast<int>(SendMessageW(view, LVM_GETNEXTITEM, static_cast<WPARAM>(row),
                                                                 LVNI_SELECTED))) >= 0;)
            rows.push_back(row);
    } else {
        for (int row = 0; row < count; ++row) {
            if (which == RvRows::checked) {
                UINT state = static_cast<UINT>(SendMessageW(view, LVM_GETITEMSTATE, static_cast<WPARAM>(row),
                                                            LVIS_STATEIMAGEMASK));
                if ((state & LVIS_STATEIMAGEMASK) != INDEXTOSTATEIMAGEMASK(2))
                    continue;
            } else if (which == RvRows::found) {
                std::wstring first = RvCellText(view, row, 0);
                bool match = false;
                for (const std::wstring& w : wanted)
                    match = match || lstrcmpiW(first.c_str(), w.c_str()) == 0;
                if (!match)
                    continue;
            }
            rows.push_back(row);
        }
    }
    int columns = RvColumnCount(view);
    if (columns < 1)
        columns = 1;
    bool header = (c->style & CS_INCHEADER) && !rows.empty();
    uint32_t total = static_cast<uint32_t>(rows.size()) + (header ? 1 : 0);
    int given = columns >= 2 ? 2 : 1;
    made = ValueHead{};
    if (CreateMyArray(ctx, &made, total, columns >= 2 ? static_cast<uint32_t>(columns) : 0, 0, 0, 0, 0, given) < 0)
        return 0;
    ArrayHeader* array = ValueArray(&made);
    if (total == 0)
        return 1;
    if (!array || !array->data) {
        SetError(ctx, ERR_ARRAY_ACCESS);
        return 0;
    }
    size_t at = 0;
    auto store = [&](const std::wstring& text) {
        return arrays::StoreElementText(ctx, array->data[at++], text.c_str(), text.size());
    };
    if (header) {
        for (int col = 0; col < columns; ++col)
            if (!store(RvHeaderText(view, col)))
                return 0;
    }
    for (int row : rows)
        for (int col = 0; col < columns; ++col)
            if (!store(RvCellText(view, row, col)))
                return 0;
    return 1;
}

// ---------------------------------------------------------------- fills

int ReportViewSetContents(BDS* ctx, DialogControlRecord* c, const ValueHead* value)
{
    ValueHead converted{};
    const ValueHead* source = value;
    if ((value->flags & VF_VARIANT) && !(value->flags & VF_ARRAY)) {
        if (!ComArrayToArray(ctx, value, &converted))
            return RvFail(ctx, c, ctx->nErrorCode ? ctx->nErrorCode : ERR_NOT_ARRAY);
        source = &converted;
    }
    int done;
    ArrayHeader* array = ValueArray(source);
    if (!array)
        done = RvFail(ctx, c, ERR_NOT_ARRAY);
    else if (array->flags & ARRAY_MAP)
        done = FillFromMap(ctx, c, source);
    else
        done = FillFromArray(ctx, c, source);
    if (source == &converted)
        ReleaseArray(ctx, &converted.str, 0);
    return done;
}

int ReportViewFillFromFile(BDS* ctx, DialogControlRecord* c, const std::wstring& file)
{
    ValueHead made{};
    if (!ArrayFileGetCsv(ctx, made, file.c_str(), 0, ',', 0, 0)) {
        std::string name = NarrowFromWide(ctx, file.c_str());
        return DialogFail(ctx, ctx->nErrorCode, nullptr, name.c_str());
    }
    int done = ValueArray(&made) && ValueArray(&made)->ndims ? FillFromArray(ctx, c, &made) : 1;
    if (!ValueArray(&made) || !ValueArray(&made)->ndims)
        SendMessageW(c->window, LVM_DELETEALLITEMS, 0, 0);
    ReleaseArray(ctx, &made.str, 0);
    return done;
}

int ReportViewAddItemsArray(BDS* ctx, DialogControlRecord* c, const ValueHead* value)
{
    ArrayHeader* array = FillableArray(ctx, value);
    if (!array)
        return RvFail(ctx, c, ctx->nErrorCode);
    if (!AppendArrayRows(ctx, c->window, array, 0, RvColumnCount(c->window)))
        return RvFail(ctx, c, ctx->nErrorCode);
    return RvSortAfterFill(ctx, c, c->sortColumn);
}

int ReportViewAddItemText(BDS* ctx, DialogControlRecord* c, const std::wstring& text)
{
    std::vector<std::wstring> fields = RvTabFields(text);
    int columns = RvColumnCount(c->window);
    if (static_cast<int>(fields.size()) > columns && columns > 0)
        fields.resize(static_cast<size_t>(columns));
    for (const std::wstring& field : fields) {
        if (field.size() >= RV_TEXT_CHARS - 1) {
            SetError(ctx, ERR_TOO_LONG);
            return RvFail(ctx, c, ERR_TOO_LONG);
        }
    }
    if (!AddRow(ctx, c->window, fields.data(), static_cast<int>(fields.size())))
        return RvFail(ctx, c, ctx->nErrorCode);
    return RvSortAfterFill(ctx, c, c->sortColumn);
}

// The variable's rows when it holds an array with elements, a map with entries or a COM
// array: 1 filled, 0 nothing to fill, -1 with the error reported.
int ReportViewFillFromVariable(BDS* ctx, DialogControlRecord* c)
{
    uint16_t index = FindVarIndex(ctx, c->variable);
    if (index == 65535 || index == 0)
        return 0;
    const VariableEntry& v = ctx->pVars[index];
    const ArrayHeader* array = ValueArray(&v);
    bool rows = array && ((array->flags & ARRAY_MAP) ? MapCount(array) > 0 : array->ndims > 0 && array->count > 0);
    bool comArray = (v.flags & VF_VARIANT) && (v.var.vt & VT_ARRAY);
    if (!rows && !comArray)
        return 0;
    return ReportViewSetContents(ctx, c, &v) ? 1 : -1;
}

int ReportViewFill(BDS* ctx, Dialog6Record* dlg, int index, HWND view)
{
    DialogControlRecord* c = ControlAt(dlg, index);
    c->window = view;
    if (c->hasText)
        return ReportViewFillFromFile(ctx, c, c->text);
    int filled = ReportViewFillFromVariable(ctx, c);
    if (filled < 0)
        return 0;
    if (filled > 0)
        return 1;
    ShowNotDefined(ctx, c);
    if (HasValue(ctx, c->variable))
        return 1;
    ValueHead made{};
    if (CreateMyArray(ctx, &made, 0, 0, 0, 0, 0, 0, 1) < 0
        || !SetVariableByName(ctx, c->variable, reinterpret_cast<const void*>(made.str), 0, SV_ARRAY)) {
        if (made.str)
            ReleaseArray(ctx, &made.str, 1);
        return RvFail(ctx, c, ERR_ARRAY_ACCESS);
    }
    return 1;
}
