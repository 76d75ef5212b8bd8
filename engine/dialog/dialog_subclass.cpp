// The subclass procedures of a dialog's controls.
#include "engine/dialog/dialog_subclass.h"

#include <cwchar>
#include <string>

#include "engine/core/context.h"
#include "engine/dialog/dialog_deferred.h"
#include "engine/dialog/dialog_fields.h"
#include "engine/dialog/dialog_menus.h"
#include "engine/dialog/dialog_record.h"
#include "engine/dialog/report_view.h"

namespace {

Dialog6Record* RecordOfControl(HWND window)
{
    return reinterpret_cast<Dialog6Record*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// The control a window belongs to: its own id, or its parent's for a part of a control.
DialogControlRecord* ControlOfWindow(Dialog6Record* dlg, HWND window, int* index)
{
    HWND parent = GetParent(window);
    int id = parent == dlg->window || !dlg->window ? GetDlgCtrlID(window) : GetDlgCtrlID(parent);
    *index = id - DIALOG_ID_BASE;
    return ControlAt(dlg, *index);
}

WNDPROC PreviousProc(const DialogControlRecord* c, HWND window)
{
    return window == c->window && c->previousProc ? c->previousProc : c->previousBuddyProc;
}

void ReportFocus(Dialog6Record* dlg, DialogControlRecord* c, HWND window, HWND lost, int index)
{
    if (!dlg->events[DE_FOCUS] || !dlg->window)
        return;
    if (c->type == CT_DROPLISTBOX && window == c->buddy && lost == c->window)
        return;   // the focus only moved inside the drop-list box
    SendMessageW(dlg->window, WM_DLG_FOCUS, reinterpret_cast<WPARAM>(lost), index);
}

// A check box or radio button on a transparent background has its place repainted.
void RepaintUnderButton(Dialog6Record* dlg, const DialogControlRecord* c)
{
    if (c->backColor != NO_COLOR || !c->backBrush || !dlg->window)
        return;
    RECT r;
    GetWindowRect(c->window, &r);
    MapWindowPoints(nullptr, dlg->window, reinterpret_cast<POINT*>(&r), 2);
    InvalidateRect(dlg->window, &r, TRUE);
}

bool ClipboardHoldsInteger(HWND window)
{
    if (!OpenClipboard(window))
        return false;
    bool ok = false;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
            int32_t value;
            ok = FieldInteger(text, &value);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return ok;
}

// A spinner's field takes digits, and a sign only as its first character.
bool SpinnerRefusesChar(HWND edit, wchar_t ch)
{
    if (ch < L' ')
        return false;   // editing keys
    if (ch >= L'0' && ch <= L'9')
        return false;
    if (ch != L'+' && ch != L'-')
        return true;
    DWORD start = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
    return start != 0;
}

LRESULT ControlMessage(Dialog6Record* dlg, DialogControlRecord* c, int index, WNDPROC previous, HWND window,
                       UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT answer = 0;
    if (c->type == CT_REPORTVIEW && ReportViewSubclassMessage(c, window, message, wParam, lParam, previous, &answer))
        return answer;

    switch (message) {
    case WM_CONTEXTMENU:
        if (ControlHasMenuItems(dlg, c))
            return DefWindowProcW(window, message, wParam, lParam);   // on to the dialog
        break;
    case WM_SETFOCUS:
        if (c->type == CT_RADIOBUTTON || c->type == CT_CHECKBOX)
            RepaintUnderButton(dlg, c);
        ReportFocus(dlg, c, window, reinterpret_cast<HWND>(wParam), index);
        break;
    case WM_DLG_PUSHBUTTON:
        if (c->type == CT_PUSHBUTTON || c->type == CT_PICTUREBUTTON)
            return WM_DLG_PUSHBUTTON;
        break;
    case WM_TIMER:
        if (c->type == CT_ITEMBOX && dlg->ctx && dlg->ctx->eng.ctl.ListBoxMultiSelect)
            return 0;
        if (c->type == CT_CALENDAR)
            return 0;
        break;
    case WM_LBUTTONDOWN:
        if (c->type == CT_CALENDAR && dlg->events[DE_FOCUS] && GetFocus() != window)
            SetFocus(window);
        break;
    case WM_CHAR:
        if (c->type == CT_SPINNER && window == c->buddy && SpinnerRefusesChar(window, static_cast<wchar_t>(wParam)))
            return 0;
        break;
    case WM_PASTE:
        if (c->type == CT_SPINNER && window == c->buddy && !ClipboardHoldsInteger(window))
            return 0;
        break;
    default:
        break;
    }
    return CallWindowProcW(previous, window, message, wParam, lParam);
}

LRESULT CALLBACK ControlSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Dialog6Record* dlg = RecordOfControl(window);
    int index = -1;
    DialogControlRecord* c = dlg ? ControlOfWindow(dlg, window, &index) : nullptr;
    WNDPROC previous = c ? PreviousProc(c, window) : nullptr;
    if (!previous)
        return DefWindowProcW(window, message, wParam, lParam);
    // A press may raise an event whose procedure call pumps the press's own release away
    // from the control (dialog_deferred.h).
    if (IsButtonRelease(message) && HoldControlRelease(dlg, window, message, wParam, lParam))
        return 0;
    if (!IsButtonPress(message))
        return ControlMessage(dlg, c, index, previous, window, message, wParam, lParam);
    ControlPress saved = BeginControlPress(dlg, window, message);
    LRESULT answer = ControlMessage(dlg, c, index, previous, window, message, wParam, lParam);
    EndControlPress(dlg, saved);
    return answer;
}

}  // namespace

void SubclassDialogControl(Dialog6Record* dlg, DialogControlRecord* control, HWND window)
{
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(dlg));
    control->previousProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlSubclassProc)));
}

void SubclassDialogControlPart(Dialog6Record* dlg, DialogControlRecord* control, HWND window)
{
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(dlg));
    control->previousBuddyProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlSubclassProc)));
}
