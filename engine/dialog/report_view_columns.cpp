// The columns of a report view: header texts, widths and alignments, appending and
// removing columns.
#include <windows.h>
#include <commctrl.h>

#include "engine/core/context.h"
#include "engine/dialog/dialog_record.h"
#include "engine/dialog/dialog_report.h"
#include "engine/dialog/report_view.h"
#include "engine/dialog/report_view_internal.h"

namespace {

constexpr uint16_t ERR_TOO_LONG = 3053;       // "Character string too long (>2048 chars??)"
constexpr uint16_t ERR_NOT_NUMERIC = 3978;    // "Dialog: Expecting a numeric value in parameter"
constexpr uint16_t ERR_INVALID = 1824;        // "Invalid value"
constexpr uint16_t ERR_BAD_COLUMN = 1993;     // "Dialog: Invalid Column number"

enum : int { FORMAT_LEFT = 0, FORMAT_CENTER = 1, FORMAT_RIGHT = 2 };

struct WidthValue {
    int32_t number;
    bool percent;
};

// Blank-separated integers with an optional "-" and, for widths, an optional "%".
bool ReadNumbers(const std::wstring& text, bool percentAllowed, std::vector<WidthValue>& out)
{
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == L' ' || text[i] == L'\t') {
            ++i;
            continue;
        }
        bool negative = text[i] == L'-';
        if (negative)
            ++i;
        if (i >= text.size() || text[i] < L'0' || text[i] > L'9')
            return false;
        int64_t v = 0;
        while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
            v = v * 10 + (text[i++] - L'0');
            if (v > 0x7FFFFFFF)
                return false;
        }
        bool percent = percentAllowed && i < text.size() && text[i] == L'%';
        if (percent)
            ++i;
        if (i < text.size() && text[i] != L' ' && text[i] != L'\t')
            return false;
        out.push_back({static_cast<int32_t>(negative ? -v : v), percent});
    }
    return true;
}

int FormatOf(HWND view, int column)
{
    LVCOLUMNW c{};
    c.mask = LVCF_FMT;
    SendMessageW(view, LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&c));
    switch (c.fmt & LVCFMT_JUSTIFYMASK) {
    case LVCFMT_CENTER: return FORMAT_CENTER;
    case LVCFMT_RIGHT: return FORMAT_RIGHT;
    default: return FORMAT_LEFT;
    }
}

}  // namespace

int ReportViewHeaderSet(BDS* ctx, DialogControlRecord* c, const std::wstring& texts)
{
    std::vector<std::wstring> fields = RvTabFields(texts);
    int columns = RvColumnCount(c->window);
    for (const std::wstring& f : fields)
        if (f.size() >= RV_TEXT_CHARS - 1) {
            SetError(ctx, ERR_TOO_LONG);
            return RvFail(ctx, c, ERR_TOO_LONG);
        }
    for (int i = 0; i < columns && i < static_cast<int>(fields.size()); ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT;
        column.pszText = const_cast<wchar_t*>(fields[static_cast<size_t>(i)].c_str());
        SendMessageW(c->window, LVM_SETCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    }
    return static_cast<int>(fields.size()) > columns ? 0 : 1;
}

std::wstring ReportViewHeaderGet(HWND view)
{
    std::wstring all;
    int columns = RvColumnCount(view);
    for (int i = 0; i < columns; ++i)
        all += (i ? L"\t" : L"") + RvHeaderText(view, i);
    return all;
}

int ReportViewColWidthSet(BDS* ctx, Dialog6Record* dlg, DialogControlRecord* c, const std::wstring& values,
                          bool formats)
{
    std::vector<WidthValue> numbers;
    if (!ReadNumbers(values, !formats, numbers)) {
        SetError(ctx, ERR_NOT_NUMERIC);
        return RvFail(ctx, c, ERR_NOT_NUMERIC);
    }
    int columns = RvColumnCount(c->window);
    RECT r{};
    GetWindowRect(c->window, &r);
    for (size_t i = 0; i < numbers.size() && static_cast<int>(i) < columns; ++i) {
        const WidthValue& v = numbers[i];
        if (formats) {
            LVCOLUMNW column{};
            column.mask = LVCF_FMT;
            column.fmt = v.number == FORMAT_CENTER ? LVCFMT_CENTER : v.number == FORMAT_RIGHT ? LVCFMT_RIGHT : LVCFMT_LEFT;
            SendMessageW(c->window, LVM_SETCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
            continue;
        }
        int pixels;
        if (v.percent) {
            if (v.number > 100 || v.number < 0) {
                SetError(ctx, ERR_INVALID);
                return RvFail(ctx, c, ERR_INVALID);
            }
            pixels = MulDiv(r.right - r.left, v.number, 100);
        } else if (v.number == LVSCW_AUTOSIZE || v.number == LVSCW_AUTOSIZE_USEHEADER) {
            pixels = v.number;
        } else {
            pixels = MulDiv(v.number, dlg->baseX, 4);
        }
        SendMessageW(c->window, LVM_SETCOLUMNWIDTH, i, pixels);
    }
    return static_cast<int>(numbers.size()) > columns ? 0 : 1;
}

std::wstring ReportViewColWidthGet(const Dialog6Record* dlg, HWND view, bool formats)
{
    std::wstring all;
    int columns = RvColumnCount(view);
    for (int i = 0; i < columns; ++i) {
        int value = formats ? FormatOf(view, i)
                            : MulDiv(static_cast<int>(SendMessageW(view, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(i), 0)),
                                     4, dlg->baseX);
        if (i)
            all += L' ';
        all += std::to_wstring(value);
    }
    return all;
}

int ReportViewAppendColumn(BDS* ctx, DialogControlRecord* c, const std::wstring& header)
{
    if (header.size() >= RV_TEXT_CHARS - 1) {
        SetError(ctx, ERR_TOO_LONG);
        return RvFail(ctx, c, ERR_TOO_LONG);
    }
    int at = RvColumnCount(c->window);
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.pszText = const_cast<wchar_t*>(header.c_str());
    column.iSubItem = at;
    return SendMessageW(c->window, LVM_INSERTCOLUMNW, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&column)) >= 0
               ? 1
               : 0;
}

int ReportViewRemoveColumn(BDS* ctx, DialogControlRecord* c, int32_t number)
{
    int columns = RvColumnCount(c->window);
    if (number < 2 || number > columns) {
        SetError(ctx, ERR_BAD_COLUMN);
        return RvFail(ctx, c, ERR_BAD_COLUMN);
    }
    int removed = number - 1;
    if (!SendMessageW(c->window, LVM_DELETECOLUMN, static_cast<WPARAM>(removed), 0))
        return 0;
    if (c->sortColumn == removed)
        c->sortColumn = 0;
    else if (removed < c->sortColumn)
        --c->sortColumn;
    return 1;
}
