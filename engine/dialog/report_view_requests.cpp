// The report view's side of DialogControlGet and DialogControlSet, its notifications
// (events 18 to 22, custom drawing, deleted rows), its subclass and its write-back.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/data/array_internal.h"
#include "engine/dialog/dialog_record.h"
#include "engine/dialog/dialog_report.h"
#include "engine/dialog/dialog_request_args.h"
#include "engine/dialog/dialog_requests.h"
#include "engine/dialog/dialog_text.h"
#include "engine/dialog/dialog_window.h"
#include "engine/dialog/report_view.h"
#include "engine/dialog/report_view_internal.h"

namespace {

constexpr uint16_t ERR_NOT_NUMBER = 3057;     // "Variable could not be converted to a valid number"
constexpr uint16_t ERR_ARGUMENTS = 3066;      // "Wrong Number of Arguments in Function"
constexpr uint16_t ERR_BAD_ROW = 1777;        // "Dialog: Invalid row number"
constexpr uint16_t ERR_BAD_COLUMN = 1993;     // "Dialog: Invalid Column number"
constexpr uint16_t ERR_NOT_FOUND = 1994;      // "Dialog: One or more items not found"
constexpr uint16_t ERR_NOT_SUPPORTED = 3975;  // "Dialog: Request not supported by control"
constexpr uint16_t ERR_NOT_NUMERIC = 3978;    // "Dialog: Expecting a numeric value in parameter"
constexpr uint32_t REJECT_EDIT = 0x1;         // state bit: refuse the next label edit
constexpr int MSG_OR_PARENTHESIS = 9504;

constexpr UINT CHECKED = 2, UNCHECKED = 1;    // state images of the check boxes

bool HasCheckBoxes(HWND view)
{
    return (SendMessageW(view, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_CHECKBOXES) != 0;
}

UINT StateImage(HWND view, int row)
{
    UINT state = static_cast<UINT>(SendMessageW(view, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK));
    return (state & LVIS_STATEIMAGEMASK) >> 12;
}

void SetState(HWND view, int row, UINT state, UINT mask)
{
    LVITEMW item{};
    item.stateMask = mask;
    item.state = state;
    SendMessageW(view, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

// The fourth argument of DialogControlGet, required: 3066 without it, 3820 as no text.
bool FourthText(BDS* ctx, const DialogControlRecord* c, const resultants* fourth, std::wstring& out)
{
    if (!fourth) {
        SetError(ctx, ERR_ARGUMENTS);
        char text[TEXTBUF] = {};
        LoadMyString(ctx, EngineModule(), MSG_OR_PARENTHESIS, text, sizeof text);
        AppendExtendedError(ctx, text);
        RvFail(ctx, c, ERR_ARGUMENTS);
        return false;
    }
    if (DialogValueWide(ctx, fourth, out))
        return true;
    RvFail(ctx, c, ctx->nErrorCode);
    return false;
}

int Refuse(BDS* ctx, const DialogControlRecord* c)
{
    SetError(ctx, ERR_NOT_SUPPORTED);
    return RvFail(ctx, c, ERR_NOT_SUPPORTED);
}

// ---------------------------------------------------------------- rows by key

int CheckToggle(BDS* ctx, DialogControlRecord* c, const std::wstring& key)
{
    if (!HasCheckBoxes(c->window))
        return Refuse(ctx, c);
    int row = RvFindRow(c->window, key);
    if (row < 0)
        return 0;
    UINT now = StateImage(c->window, row) == CHECKED ? UNCHECKED : CHECKED;
    SetState(c->window, row, INDEXTOSTATEIMAGEMASK(now), LVIS_STATEIMAGEMASK);
    return now == CHECKED ? 1 : 0;
}

int SelectToggle(DialogControlRecord* c, const std::wstring& key)
{
    HWND view = c->window;
    if (key.empty()) {
        bool any = false;
        for (int row = -1; (row = static_cast<int>(SendMessageW(view, LVM_GETNEXTITEM, static_cast<WPARAM>(row),
                                                                 LVNI_SELECTED))) >= 0;) {
            SetState(view, row, 0, LVIS_SELECTED);
            any = true;
        }
        return any ? 1 : 0;
    }
    int row = RvFindRow(view, key);
    if (row < 0)
        return 0;
    UINT selected = static_cast<UINT>(SendMessageW(view, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED));
    SetState(view, row, (selected & LVIS_SELECTED) ? 0 : LVIS_SELECTED, LVIS_SELECTED);
    return 1;
}

int RowDelete(DialogControlRecord* c, const std::wstring& key)
{
    HWND view = c->window;
    int before = RvRowCount(view);
    if (key.empty())
        SendMessageW(view, LVM_DELETEALLITEMS, 0, 0);
    else if (int row = RvFindRow(view, key); row >= 0)
        SendMessageW(view, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
    return RvRowCount(view) < before ? 1 : 0;
}

// "row column text": row from 1, column 0 or 1 the first; exactly one blank before the text.
int SetItemText(BDS* ctx, DialogControlRecord* c, const std::wstring& value)
{
    size_t i = 0;
    int32_t numbers[2] = {};
    for (int n = 0; n < 2; ++n) {
        while (i < value.size() && value[i] == L' ')
            ++i;
        size_t start = i;
        if (i < value.size() && value[i] == L'-')
            ++i;
        while (i < value.size() && value[i] >= L'0' && value[i] <= L'9')
            ++i;
        std::wstring digits = value.substr(start, i - start);
        if (digits.empty() || digits == L"-" || digits.size() > 10) {
            SetError(ctx, ERR_NOT_NUMERIC);
            return RvFail(ctx, c, ERR_NOT_NUMERIC);
        }
        numbers[n] = static_cast<int32_t>(std::stoll(digits));
    }
    std::wstring text = i < value.size() ? value.substr(i + 1) : std::wstring();
    int row = numbers[0] - 1;
    int column = numbers[1] > 0 ? numbers[1] - 1 : numbers[1];
    if (row < 0 || row >= RvRowCount(c->window)) {
        SetError(ctx, ERR_BAD_ROW);
        return RvFail(ctx, c, ERR_BAD_ROW);
    }
    if (column < 0 || column >= RvColumnCount(c->window)) {
        SetError(ctx, ERR_BAD_COLUMN);
        return RvFail(ctx, c, ERR_BAD_COLUMN);
    }
    if (text.size() >= RV_TEXT_CHARS)
        text.resize(RV_TEXT_CHARS - 1);
    return RvSetCell(c->window, row, column, text) ? 1 : 0;
}

// ---------------------------------------------------------------- answers

bool AnswerRows(BDS* ctx, DialogControlRecord* c, RvRows which, const std::wstring& find, resultants* result)
{
    ValueHead made{};
    if (!RvRowsToArray(ctx, c, which, find, made)) {
        if (made.str)
            ReleaseArray(ctx, &made.str, 1);
        RvFail(ctx, c, ctx->nErrorCode);
        return false;
    }
    arrays::SetResultArray(ctx, result, made);
    return true;
}

// The value as a text or an array for @dccontents and @dcadditem.
int ContentsOrRows(BDS* ctx, DialogControlRecord* c, const resultants* value, bool add)
{
    if (value && (value->flags & (VF_ARRAY | VF_VARIANT))
        && ((value->flags & VF_ARRAY) || (value->var.vt & VT_ARRAY)))
        return add ? ReportViewAddItemsArray(ctx, c, value) : ReportViewSetContents(ctx, c, value);
    std::wstring text;
    if (!DialogValueWide(ctx, value, text))
        return RvFail(ctx, c, ctx->nErrorCode);
    return add ? ReportViewAddItemText(ctx, c, text) : ReportViewFillFromFile(ctx, c, text);
}

// ---------------------------------------------------------------- events

// Raises a row event with the row's key as its extra value.
void RaiseRowEvent(Dialog6Record* dlg, int event, int index, HWND view, int row, const std::wstring* text = nullptr)
{
    BDS* ctx = dlg->ctx;
    resultants extra;
    InitResultValue(ctx, &extra, VK_RECORD, 0);
    std::wstring value = text ? *text : RvRowKey(view, row);
    if (!SetResultWText(ctx, &extra, value.c_str(), value.size())) {
        DialogFail(ctx, 3096);
        return;
    }
    RaiseDialogEvent(dlg, event, index, &extra);
    FreeValue(ctx, &extra, 0, VK_RECORD);
}

LRESULT ItemChanged(Dialog6Record* dlg, DialogControlRecord* c, int index, const NMLISTVIEW* change)
{
    if (change->iItem < 0 || !(change->uChanged & LVIF_STATE))
        return 0;
    bool selected = (change->uNewState & LVIS_SELECTED) && !(change->uOldState & LVIS_SELECTED);
    if (dlg->events[DE_RVRSELECT] && selected) {
        RaiseRowEvent(dlg, DE_RVRSELECT, index, c->window, change->iItem);
        return 0;
    }
    UINT image = (change->uNewState & LVIS_STATEIMAGEMASK) >> 12;
    bool imageChanged = ((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK) != 0;
    if (dlg->events[DE_RVICHECK] && imageChanged && HasCheckBoxes(c->window) && (image == UNCHECKED || image == CHECKED))
        RaiseRowEvent(dlg, DE_RVICHECK, index, c->window, change->iItem);
    return 0;
}

LRESULT EndLabelEdit(Dialog6Record* dlg, DialogControlRecord* c, int index, const NMLVDISPINFOW* info)
{
    if (dlg->events[DE_RVITEXT]) {
        if (info->item.pszText) {
            std::wstring text = info->item.pszText;
            RaiseRowEvent(dlg, DE_RVITEXT, index, c->window, info->item.iItem, &text);
        } else {
            RaiseRowEvent(dlg, DE_RVITEXT, index, c->window, info->item.iItem);
        }
    }
    if (c->state & REJECT_EDIT) {
        c->state &= ~REJECT_EDIT;
        return FALSE;
    }
    return TRUE;
}

void HeaderClicked(Dialog6Record* dlg, DialogControlRecord* c, int index, int column)
{
    BDS* ctx = dlg->ctx;
    if (dlg->events[DE_RVHCLICK]) {
        resultants extra;
        InitResultValue(ctx, &extra, VK_RECORD, 0);
        SetResultInt(ctx, &extra, column + 1);
        int outcome = RaiseDialogEvent(dlg, DE_RVHCLICK, index, &extra);
        FreeValue(ctx, &extra, 0, VK_RECORD);
        if (outcome == OUTCOME_ENDING || dlg->ended)
            return;
    }
    if (c->style & (CS_ASORT | CS_DSORT))
        RvSort(ctx, c, column);
}

}  // namespace

// ---------------------------------------------------------------- the requests

int ReportViewGet(BDS* ctx, Dialog6Record* dlg, DialogControlRecord* c, uint32_t code, const resultants* fourth,
                  resultants* result)
{
    HWND view = c->window;
    std::wstring arg;
    switch (code) {
    case RQ_CHECK: {
        if (!FourthText(ctx, c, fourth, arg))
            return 0;
        if (!HasCheckBoxes(view))
            return Refuse(ctx, c);
        int row = RvFindRow(view, arg);
        return AnswerNarrow(ctx, result, row >= 0 && StateImage(view, row) == CHECKED ? "1" : "0");
    }
    case RQ_CONTENTS:
        return AnswerRows(ctx, c, RvRows::all, arg, result);
    case RQ_SELECT:
        return AnswerRows(ctx, c, RvRows::selected, arg, result);
    case RQ_GETCHECKED:
        if (!HasCheckBoxes(view))
            return Refuse(ctx, c);
        return AnswerRows(ctx, c, RvRows::checked, arg, result);
    case RQ_FIND:
        return FourthText(ctx, c, fourth, arg) && AnswerRows(ctx, c, RvRows::found, arg, result);
    case RQ_HEADERTEXT:
        return AnswerWide(ctx, result, ReportViewHeaderGet(view));
    case RQ_COLWIDTH:
    case RQ_COLFORMAT:
        return AnswerWide(ctx, result, ReportViewColWidthGet(dlg, view, code == RQ_COLFORMAT));
    case RQ_CANCELEDIT:
        SetResultInt(ctx, result, (c->state & REJECT_EDIT) ? 1 : 0);
        return 1;
    case RQ_ITEMCOLOR: {
        std::string answer;
        if (!FourthText(ctx, c, fourth, arg)
            || !ReportViewGetItemColor(ctx, c, NarrowFromWide(ctx, arg.c_str()), answer))
            return 0;
        return AnswerNarrow(ctx, result, answer);
    }
    case RQ_ITEMROW: {
        if (!FourthText(ctx, c, fourth, arg))
            return 0;
        int row = RvFindRow(view, arg);
        if (row < 0) {
            SetError(ctx, ERR_NOT_FOUND);
            return RvFail(ctx, c, ERR_NOT_FOUND);
        }
        SetResultInt(ctx, result, row + 1);
        return 1;
    }
    case RQ_ITEMTEXT: {
        int32_t number = 0;
        if (!fourth) {
            std::wstring none;
            return FourthText(ctx, c, fourth, none);
        }
        if (!DialogValueInteger(ctx, fourth, &number)) {
            SetError(ctx, ERR_NOT_NUMBER);
            return RvFail(ctx, c, ERR_NOT_NUMBER);
        }
        if (number < 1 || number > RvRowCount(view)) {
            SetError(ctx, ERR_BAD_ROW);
            return RvFail(ctx, c, ERR_BAD_ROW);
        }
        return AnswerWide(ctx, result, RvRowKey(view, number - 1));
    }
    default:
        return Refuse(ctx, c);
    }
}

int ReportViewSet(BDS* ctx, Dialog6Record* dlg, DialogControlRecord* c, uint32_t code, const resultants* value)
{
    if (code == RQ_CONTENTS || code == RQ_ADDITEM)
        return ContentsOrRows(ctx, c, value, code == RQ_ADDITEM);
    if (code == RQ_REMOVECOL || code == RQ_CANCELEDIT) {
        int32_t number = 0;
        if (!DialogValueInteger(ctx, value, &number)) {
            SetError(ctx, ERR_NOT_NUMERIC);
            return RvFail(ctx, c, ERR_NOT_NUMERIC);
        }
        if (code == RQ_REMOVECOL)
            return ReportViewRemoveColumn(ctx, c, number);
        int previous = (c->state & REJECT_EDIT) ? 1 : 0;
        c->state = number ? (c->state | REJECT_EDIT) : (c->state & ~REJECT_EDIT);
        return previous;
    }
    std::wstring text;
    if (!DialogValueWide(ctx, value, text))
        return RvFail(ctx, c, ctx->nErrorCode);
    switch (code) {
    case RQ_CHECK:
        return CheckToggle(ctx, c, text);
    case RQ_SELECT:
        return SelectToggle(c, text);
    case RQ_SCROLL: {
        int row = RvFindRow(c->window, text);
        return row >= 0 && SendMessageW(c->window, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE) ? 1 : 0;
    }
    case RQ_REMITEM:
        return RowDelete(c, text);
    case RQ_HEADERTEXT:
        return ReportViewHeaderSet(ctx, c, text);
    case RQ_COLWIDTH:
        return ReportViewColWidthSet(ctx, dlg, c, text, false);
    case RQ_COLFORMAT: {
        int done = ReportViewColWidthSet(ctx, dlg, c, text, true);
        int rows = RvRowCount(c->window);
        if (rows > 0)
            SendMessageW(c->window, LVM_ENSUREVISIBLE, static_cast<WPARAM>(rows - 1), FALSE);
        return done;
    }
    case RQ_APPENDCOL:
        return ReportViewAppendColumn(ctx, c, text);
    case RQ_ITEMCOLOR:
        return ReportViewSetItemColor(ctx, dlg, c, NarrowFromWide(ctx, text.c_str()));
    case RQ_ITEMTEXT:
        return SetItemText(ctx, c, text);
    default:
        return Refuse(ctx, c);
    }
}

// ---------------------------------------------------------------- notifications

bool ReportViewNotify(Dialog6Record* dlg, HWND, int index, const NMHDR* header, LRESULT* answer)
{
    DialogControlRecord* c = ControlAt(dlg, index);
    if (!c)
        return false;
    *answer = 0;
    if (header->code == LVN_DELETEITEM) {
        ReportViewRowDeleted(c, reinterpret_cast<const NMLISTVIEW*>(header)->lParam);
        return true;
    }
    if (header->code == NM_CUSTOMDRAW) {
        *answer = ReportViewCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(const_cast<NMHDR*>(header)));
        return true;
    }
    if (!IsReportMode(c->window)) {
        if (header->code == LVN_BEGINLABELEDITW || header->code == LVN_BEGINLABELEDITA)
            *answer = TRUE;
        return header->code == LVN_BEGINLABELEDITW || header->code == LVN_BEGINLABELEDITA;
    }
    switch (header->code) {
    case LVN_BEGINLABELEDITW:
        *answer = FALSE;
        return true;
    case LVN_ENDLABELEDITW:
        *answer = EndLabelEdit(dlg, c, index, reinterpret_cast<const NMLVDISPINFOW*>(header));
        return true;
    case LVN_COLUMNCLICK:
        HeaderClicked(dlg, c, index, reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem);
        return true;
    case LVN_ITEMCHANGED:
        *answer = ItemChanged(dlg, c, index, reinterpret_cast<const NMLISTVIEW*>(header));
        return true;
    case NM_DBLCLK: {
        const auto* click = reinterpret_cast<const NMITEMACTIVATE*>(header);
        if (dlg->events[DE_RVRDBLCLICK] && click->iItem >= 0)
            RaiseRowEvent(dlg, DE_RVRDBLCLICK, index, c->window, click->iItem);
        return true;
    }
    default:
        return false;
    }
}

int ReportViewStoreSelection(BDS* ctx, Dialog6Record*, DialogControlRecord* c)
{
    ValueHead made{};
    if (!RvRowsToArray(ctx, c, RvRows::selected, std::wstring(), made)) {
        if (made.str)
            ReleaseArray(ctx, &made.str, 1);
        return 0;
    }
    if (!SetVariableByName(ctx, c->variable, reinterpret_cast<const void*>(made.str), 0, SV_ARRAY)) {
        ReleaseArray(ctx, &made.str, 1);
        return 0;
    }
    return 1;
}

bool ReportViewSubclassMessage(DialogControlRecord*, HWND view, UINT message, WPARAM wParam, LPARAM lParam,
                               WNDPROC previous, LRESULT* answer)
{
    switch (message) {
    case LVM_SETITEMA:
    case LVM_SETITEMW:
    case LVM_INSERTITEMA:
    case LVM_INSERTITEMW: {
        if (wParam == REPORT_ITEM_MARKER || !lParam)
            return false;
        // Item data carries the row's colour block: nobody else may set it. (LVITEMA and
        // LVITEMW share their layout up to the text.)
        LVITEMW copy = *reinterpret_cast<const LVITEMW*>(lParam);
        copy.mask &= ~static_cast<UINT>(LVIF_PARAM);
        *answer = CallWindowProcW(previous, view, message, wParam, reinterpret_cast<LPARAM>(&copy));
        return true;
    }
    default:
        return false;
    }
}
