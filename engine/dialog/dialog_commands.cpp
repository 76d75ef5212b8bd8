// WM_COMMAND and WM_NOTIFY of a 6.x dialog: the control that sent them, its event and its
// default action.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>

#include "engine/core/context.h"
#include "engine/dialog/dialog_filelist.h"
#include "engine/dialog/dialog_record.h"
#include "engine/dialog/dialog_report.h"
#include "engine/dialog/dialog_com.h"
#include "engine/dialog/report_view.h"
#include "engine/dialog/dialog_values.h"
#include "engine/dialog/dialog_window.h"

namespace {

constexpr uint16_t ERR_NO_STRINGS = 3096;
constexpr int32_t CHANGE_SELECTED = 9;       // DROPLISTBOX change kinds
constexpr int32_t CHANGE_EDITED = 5;
constexpr int32_t CALENDAR_FIRST_CHANGE = -749;

bool Usable(const DialogControlRecord* c) { return c && !(c->style & (CS_INVISIBLE | CS_DISABLED)); }

// The control a command names: the default button for IDOK, the cancel button for
// IDCANCEL, a control by its window id, a menu item by its command id.
int CommandTarget(Dialog6Record* dlg, int id, int code, LPARAM lParam)
{
    if (id == IDOK)
        return Usable(ControlAt(dlg, dlg->defaultButton)) ? dlg->defaultButton : -1;
    if (id == IDCANCEL)
        return Usable(ControlAt(dlg, dlg->cancelButton)) ? dlg->cancelButton : -1;
    if (lParam)
        return id >= DIALOG_ID_BASE ? id - DIALOG_ID_BASE : -1;
    if (code != 0 && code != 1)
        return -1;
    return id - MENU_ID_BASE;
}

void PushButtonClicked(Dialog6Record* dlg, int index)
{
    DialogControlRecord* c = dlg->controls[index];
    if (dlg->events[DE_PBPUSH]) {
        UpdateWindow(c->window);
        if (RaiseDialogEvent(dlg, DE_PBPUSH, index, nullptr) != OUTCOME_DEFAULT)
            return;
    }
    if (dlg->ended)
        return;
    if (index == dlg->cancelButton)
        EndDialogCancelled(dlg, true);
    else
        EndDialogWriting(dlg, c->value, true);
}

void RadioClicked(Dialog6Record* dlg, HWND dialog, int index)
{
    DialogControlRecord* clicked = dlg->controls[index];
    for (DialogControlRecord* c : dlg->controls)
        if (c->type == CT_RADIOBUTTON && c->link[0] == clicked->link[0])
            c->checked = c == clicked;
    if (RaiseDialogEvent(dlg, DE_RBPUSH, index, nullptr) == OUTCOME_ENDING)
        return;
    for (int i = 0; i < ControlCount(dlg); ++i) {
        DialogControlRecord* c = dlg->controls[i];
        if (c->type == CT_RADIOBUTTON && c->link[0] == clicked->link[0])
            CheckDlgButton(dialog, DIALOG_ID_BASE + i, c->checked ? BST_CHECKED : BST_UNCHECKED);
    }
}

void CheckBoxClicked(Dialog6Record* dlg, int index)
{
    DialogControlRecord* c = dlg->controls[index];
    c->checked = SendMessageW(c->window, BM_GETCHECK, 0, 0) != BST_CHECKED;
    if (RaiseDialogEvent(dlg, DE_CBCHECK, index, nullptr) == OUTCOME_ENDING)
        return;
    SendMessageW(c->window, BM_SETCHECK, c->checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void EditCommand(Dialog6Record* dlg, DialogControlRecord* c, int index, int code, HWND edit)
{
    if (code == EN_SETFOCUS)
        SetEditCaret(c, edit);
    else if (code == EN_KILLFOCUS)
        SendMessageW(edit, EM_SETSEL, 0, 0);
    else if (code == EN_CHANGE)
        RaiseDialogEvent(dlg, DE_EDTEXT, index, nullptr);
}

void FileListCommand(Dialog6Record* dlg, HWND dialog, int index, int code)
{
    if (code != LBN_SELCHANGE && code != LBN_DBLCLK)
        return;
    int event = code == LBN_SELCHANGE ? DE_FLSELECT : DE_FLDBLCLICK;
    if (RaiseDialogEvent(dlg, event, index, nullptr) == OUTCOME_ENDING)
        return;
    FileListClicked(dlg->ctx, dialog, dlg, dlg->controls[index], code == LBN_DBLCLK);
}

void DropListCommand(Dialog6Record* dlg, DialogControlRecord* c, int index, int code)
{
    if (!dlg->events[DE_DLCHANGE])
        return;
    bool listOnly = (GetWindowLongPtrW(c->window, GWL_STYLE) & 0x3) == CBS_DROPDOWNLIST;
    if ((listOnly && code == CBN_SELCHANGE) || (!listOnly && code == CBN_SELENDOK)) {
        c->changeState = CHANGE_SELECTED;
        RaiseDialogEvent(dlg, DE_DLCHANGE, index, nullptr);
    } else if (code == CBN_EDITCHANGE) {
        c->changeState = CHANGE_EDITED;
        RaiseDialogEvent(dlg, DE_DLCHANGE, index, nullptr);
    }
}

// ---------------------------------------------------------------- notifications

void CalendarNotify(Dialog6Record* dlg, DialogControlRecord* c, int index, UINT code)
{
    if (!dlg->events[DE_CACHANGE])
        return;
    if (code == MCN_SELECT) {
        c->changeState = 0;
        RaiseDialogEvent(dlg, DE_CACHANGE, index, nullptr);
    } else if (code == MCN_SELCHANGE) {
        if (c->changeState == CALENDAR_FIRST_CHANGE) {
            c->changeState = 0;
            RaiseDialogEvent(dlg, DE_CACHANGE, index, nullptr);
        } else {
            c->changeState = CALENDAR_FIRST_CHANGE;
        }
    } else {
        return;
    }
    if ((c->style & CS_INVISIBLE) && c->window && dlg->window) {
        RECT r;
        GetWindowRect(c->window, &r);
        MapWindowPoints(nullptr, dlg->window, reinterpret_cast<POINT*>(&r), 2);
        RedrawWindow(dlg->window, &r, nullptr, RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_ERASE);
    }
}

void DateTimeNotify(Dialog6Record* dlg, int index, const NMHDR* header)
{
    if (header->code != DTN_DATETIMECHANGE || !dlg->events[DE_DTCHANGE])
        return;
    BDS* ctx = dlg->ctx;
    const auto* change = reinterpret_cast<const NMDATETIMECHANGE*>(header);
    std::string text = change->dwFlags == GDT_VALID ? DialogDateText(ctx, change->st) : std::string();
    resultants extra;
    InitResultValue(ctx, &extra, VK_RECORD, 0);
    std::wstring wide(text.begin(), text.end());
    if (!SetResultWText(ctx, &extra, wide.c_str())) {
        DialogErrorReport(ctx, ERR_NO_STRINGS, nullptr, nullptr);
        return;
    }
    RaiseDialogEvent(dlg, DE_DTCHANGE, index, &extra);
    FreeValue(ctx, &extra, 0, VK_RECORD);
}

}  // namespace

void DialogCommand(Dialog6Record* dlg, HWND dialog, WPARAM wParam, LPARAM lParam)
{
    int id = LOWORD(wParam);
    int code = HIWORD(wParam);
    int index = CommandTarget(dlg, id, code, lParam);
    DialogControlRecord* c = ControlAt(dlg, index);
    if (!c || dlg->ended)
        return;
    if (id == IDOK || id == IDCANCEL)
        code = BN_CLICKED;
    switch (c->type) {
    case CT_EDITBOX:
    case CT_MULTILINEBOX:
        EditCommand(dlg, c, index, code, reinterpret_cast<HWND>(lParam));
        break;
    case CT_RADIOBUTTON:
        if (code == BN_CLICKED)
            RadioClicked(dlg, dialog, index);
        break;
    case CT_CHECKBOX:
        if (code == BN_CLICKED)
            CheckBoxClicked(dlg, index);
        break;
    case CT_FILELISTBOX:
        FileListCommand(dlg, dialog, index, code);
        break;
    case CT_PUSHBUTTON:
    case CT_PICTUREBUTTON:
        if (code == BN_CLICKED)
            PushButtonClicked(dlg, index);
        break;
    case CT_ITEMBOX:
        if (code == LBN_SELCHANGE)
            RaiseDialogEvent(dlg, DE_IBSELECT, index, nullptr);
        else if (code == LBN_DBLCLK)
            RaiseDialogEvent(dlg, DE_IBDBLCLICK, index, nullptr);
        break;
    case CT_DROPLISTBOX:
        DropListCommand(dlg, c, index, code);
        break;
    case CT_SPINNER:
        if (code == EN_CHANGE)
            RaiseDialogEvent(dlg, DE_SPCHANGE, index, nullptr);
        break;
    case CT_MENUITEM:
        if (!lParam)
            RaiseDialogEvent(dlg, DE_MISELECT, index, nullptr);
        break;
    default:
        break;
    }
}

LRESULT DialogNotify(Dialog6Record* dlg, HWND dialog, const NMHDR* header)
{
    if (!header || dlg->ended)
        return 0;
    int index = static_cast<int>(header->idFrom) - DIALOG_ID_BASE;
    DialogControlRecord* c = ControlAt(dlg, index);
    if (!c)
        return 0;
    switch (c->type) {
    case CT_CALENDAR:
        CalendarNotify(dlg, c, index, header->code);
        break;
    case CT_DATETIME:
        DateTimeNotify(dlg, index, header);
        break;
    case CT_REPORTVIEW: {
        LRESULT answer = 0;
        if (ReportViewNotify(dlg, dialog, index, header, &answer))
            return answer;
        break;
    }
    default:
        break;
    }
    return 0;
}
