// Sorting a report view by one column: numbers compare as numbers, other texts with
// lstrcmpA, or in the system's logical order (digits as numbers) under @cslogsort.
#include <windows.h>
#include <commctrl.h>

#include <cwchar>
#include <string>
#include <vector>

#include "engine/core/context.h"
#include "engine/dialog/dialog_record.h"
#include "engine/dialog/dialog_report.h"
#include "engine/dialog/dialog_text.h"
#include "engine/dialog/report_view.h"
#include "engine/dialog/report_view_internal.h"

namespace {

constexpr uint16_t ERR_SORT = 1990;   // "Dialog: Column sort failed"

// One sort: the texts of the sort column by the rows' places before it, which the rows
// carry as item data while they are sorted.
struct ReportViewSortInfo {
    BDS* ctx;
    std::vector<std::wstring> texts;
    int direction;              // +1 ascending, -1 descending
    LogicalCompare logical;     // null: by value
};

// The text as a number when it is one (blanks around it allowed).
bool AsNumber(const std::wstring& text, double* out)
{
    const wchar_t* start = text.c_str();
    while (*start == L' ' || *start == L'\t')
        ++start;
    if (!*start)
        return false;
    for (const wchar_t* p = start; *p; ++p)   // no hexadecimal, infinity or NaN forms
        if (!((*p >= L'0' && *p <= L'9') || *p == L'.' || *p == L'-' || *p == L'+' || *p == L'e' || *p == L'E'
              || *p == L' ' || *p == L'\t'))
            return false;
    wchar_t* end = nullptr;
    double v = std::wcstod(start, &end);
    if (end == start)
        return false;
    while (*end == L' ' || *end == L'\t')
        ++end;
    if (*end)
        return false;
    *out = v;
    return true;
}

int CALLBACK ReportViewCompareRows(LPARAM first, LPARAM second, LPARAM param)
{
    const auto* info = reinterpret_cast<const ReportViewSortInfo*>(param);
    size_t a = static_cast<size_t>(first), b = static_cast<size_t>(second);
    if (a >= info->texts.size() || b >= info->texts.size())
        return 0;
    return info->direction * ReportViewCompareTexts(info->ctx, info->texts[a], info->texts[b], info->logical);
}

}  // namespace

int ReportViewCompareTexts(BDS* ctx, const std::wstring& a, const std::wstring& b, LogicalCompare logical)
{
    int order;
    double x = 0, y = 0;
    if (logical)
        order = logical(a.c_str(), b.c_str());
    else if (AsNumber(a, &x) && AsNumber(b, &y))
        order = x < y ? -1 : x > y ? 1 : 0;
    else
        order = lstrcmpA(NarrowFromWide(ctx, a.c_str()).c_str(), NarrowFromWide(ctx, b.c_str()).c_str());
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}

int RvSort(BDS* ctx, DialogControlRecord* c, int column)
{
    HWND view = c->window;
    ReportViewSortInfo info{ctx, {}, 1, nullptr};
    if (!(c->style & CS_ASORT) && (c->style & CS_DSORT))
        info.direction = -1;
    if (c->style & CS_LOGSORT)
        info.logical = StrCmpLogicalOf(ctx);   // without it the values are compared
    // The rows' item data (their colour blocks) is lent to the sort: each row carries its
    // place, so the comparison never reads rows by index while they move. Nothing paints
    // in between (no message is pumped), so no colour block is looked for meanwhile.
    int rows = RvRowCount(view);
    std::vector<LPARAM> blocks(static_cast<size_t>(rows));
    info.texts.resize(static_cast<size_t>(rows));
    for (int r = 0; r < rows; ++r) {
        info.texts[static_cast<size_t>(r)] = RvCellText(view, r, column);
        blocks[static_cast<size_t>(r)] = RvItemData(view, r);
        RvSetItemData(view, r, r);
    }
    bool sorted = SendMessageW(view, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&info),
                               reinterpret_cast<LPARAM>(ReportViewCompareRows)) != 0;
    for (int r = 0; r < rows; ++r) {
        LPARAM place = RvItemData(view, r);
        RvSetItemData(view, r, place >= 0 && place < rows ? blocks[static_cast<size_t>(place)] : 0);
    }
    if (!sorted) {
        SetError(ctx, ERR_SORT);
        return RvFail(ctx, c, ERR_SORT);
    }
    c->sortColumn = column;
    return 1;
}

int RvSortAfterFill(BDS* ctx, DialogControlRecord* c, int column)
{
    if (c->style & (CS_ASORT | CS_DSORT | CS_LOGSORT))
        return RvSort(ctx, c, column);
    c->sortColumn = 0;
    return 1;
}
