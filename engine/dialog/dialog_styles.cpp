// Template style bits as window styles.
#include "engine/dialog/dialog_styles.h"

#include <windows.h>
#include <commctrl.h>

#include "engine/dialog/dialog_record.h"

namespace {

constexpr DWORD ALIGN_CENTER = 0x1;   // SS_CENTER and ES_CENTER
constexpr DWORD ALIGN_RIGHT = 0x2;    // SS_RIGHT and ES_RIGHT
constexpr DWORD COMBO_KIND = 0x3;

}  // namespace

int StyleToWindowStyle(int type, uint32_t style, DWORD* ws)
{
    const ControlTypeRow* row = ControlTypeRowOf(type);
    uint32_t honoured = row ? row->honouredStyles : 0;
    uint32_t bits = style & honoured;
    if (bits & CS_INVISIBLE) {
        *ws &= ~WS_VISIBLE;
        if (honoured & CS_DISABLED)
            *ws |= WS_DISABLED;
    } else {
        *ws |= WS_VISIBLE;
        if (bits & CS_DISABLED)
            *ws |= WS_DISABLED;
        else
            *ws &= ~WS_DISABLED;
    }
    if (type == CT_DROPLISTBOX)
        *ws = (*ws & ~COMBO_KIND) | ((bits & CS_LISTONLY) ? CBS_DROPDOWNLIST : CBS_DROPDOWN);
    if (bits & CS_READONLY)
        *ws |= ES_READONLY;
    if (bits & CS_PASSWORD)
        *ws |= ES_PASSWORD;
    if (bits & CS_DIGITS)
        *ws |= ES_NUMBER;
    if (bits & CS_FLAT)
        *ws |= BS_FLAT;
    if (bits & CS_NOADJUST)
        *ws |= LBS_NOINTEGRALHEIGHT;
    if (bits & CS_CENTER)
        *ws = (*ws & ~ALIGN_RIGHT) | ALIGN_CENTER;
    if (bits & CS_RIGHT)
        *ws = (*ws & ~ALIGN_CENTER) | ALIGN_RIGHT;
    if (type == CT_REPORTVIEW) {
        if (bits & CS_NOHEADER)
            *ws |= LVS_NOCOLUMNHEADER;
        if (bits & CS_SINGLESEL)
            *ws |= LVS_SINGLESEL;
        if (bits & CS_COLEDIT)
            *ws |= LVS_EDITLABELS;
    }
    if (type == CT_DATETIME) {
        if (bits & CS_CHECKBOX)
            *ws |= DTS_SHOWNONE;
        if (bits & CS_SPINNER)
            *ws |= DTS_UPDOWN;
    }
    if (type == CT_PROGRESS && (bits & CS_VERTICAL))
        *ws |= PBS_VERTICAL;
    return 1;
}

// ---------------------------------------------------------------- live changes

namespace {

constexpr uint32_t EDIT_BITS = CS_INVISIBLE | CS_DISABLED | CS_READONLY | CS_PASSWORD | CS_DIGITS;
constexpr uint32_t REPORT_EXTENDED = CS_GRID | CS_FULLSEL | CS_CHECKBOX;

void SetWindowStyleBits(HWND window, DWORD bits, bool on)
{
    LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    style = on ? (style | static_cast<LONG_PTR>(bits)) : (style & ~static_cast<LONG_PTR>(bits));
    SetWindowLongPtrW(window, GWL_STYLE, style);
    InvalidateRect(window, nullptr, TRUE);
}

// Shows or hides, enables or disables a window by the control's style bits.
void ApplyVisibility(HWND window, uint32_t style, uint32_t honoured)
{
    bool hidden = style & CS_INVISIBLE;
    ShowWindow(window, hidden ? SW_HIDE : SW_SHOWNA);
    if (honoured & CS_DISABLED)
        EnableWindow(window, !hidden && !(style & CS_DISABLED));
}

// The edit field's style bits (a SPINNER's edit box takes them too).
void ApplyEditBits(HWND edit, uint32_t style, uint32_t changed)
{
    if (changed & CS_READONLY)
        SendMessageW(edit, EM_SETREADONLY, (style & CS_READONLY) != 0, 0);
    if (changed & CS_PASSWORD) {
        SendMessageW(edit, EM_SETPASSWORDCHAR, (style & CS_PASSWORD) ? L'*' : 0, 0);
        InvalidateRect(edit, nullptr, TRUE);
    }
    if (changed & CS_DIGITS)
        SetWindowStyleBits(edit, ES_NUMBER, (style & CS_DIGITS) != 0);
}

void ApplyAlignment(HWND window, uint32_t style)
{
    LONG_PTR windowStyle = GetWindowLongPtrW(window, GWL_STYLE) & ~static_cast<LONG_PTR>(0x3);
    if (style & CS_CENTER)
        windowStyle |= 0x1;
    else if (style & CS_RIGHT)
        windowStyle |= 0x2;
    SetWindowLongPtrW(window, GWL_STYLE, windowStyle);
    InvalidateRect(window, nullptr, TRUE);
}

// Moving the default button: the dialog's record follows, the look follows unless the focus
// is on another of the dialog's push buttons (which then looks like the default itself).
void ApplyDefaultButton(HWND dialog, Dialog6Record* dlg, DialogControlRecord* c, bool add)
{
    int index = -1;
    for (int i = 0; i < ControlCount(dlg); ++i)
        if (dlg->controls[i] == c)
            index = i;
    if (!add) {
        if (dlg->defaultButton == index)
            dlg->defaultButton = ControlCount(dlg);
        c->state &= ~4u;
        SendMessageW(c->window, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
        return;
    }
    DialogControlRecord* previous = ControlAt(dlg, dlg->defaultButton);
    if (previous && previous != c) {
        previous->style &= ~CS_DEFBUTTON;
        previous->state &= ~4u;
        SendMessageW(previous->window, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    }
    dlg->defaultButton = index;
    c->state |= 4u;
    HWND focus = GetFocus();
    bool otherButtonFocused = focus && focus != c->window && IsChild(dialog, focus)
                              && SendMessageW(focus, WM_DLG_PUSHBUTTON, 0, 0) == WM_DLG_PUSHBUTTON;
    if (!otherButtonFocused)
        SendMessageW(c->window, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

void ApplyReportBits(HWND view, uint32_t style, uint32_t changed)
{
    if (changed & CS_NOHEADER)
        SetWindowStyleBits(view, LVS_NOCOLUMNHEADER, (style & CS_NOHEADER) != 0);
    if (changed & CS_SINGLESEL)
        SetWindowStyleBits(view, LVS_SINGLESEL, (style & CS_SINGLESEL) != 0);
    if (changed & CS_COLEDIT)
        SetWindowStyleBits(view, LVS_EDITLABELS, (style & CS_COLEDIT) != 0);
    if (changed & REPORT_EXTENDED) {
        DWORD mask = 0, value = 0;
        const uint32_t bits[3] = {CS_GRID, CS_FULLSEL, CS_CHECKBOX};
        const DWORD extended[3] = {LVS_EX_GRIDLINES, LVS_EX_FULLROWSELECT, LVS_EX_CHECKBOXES};
        for (int i = 0; i < 3; ++i) {
            if (!(changed & bits[i]))
                continue;
            mask |= extended[i];
            if (style & bits[i])
                value |= extended[i];
        }
        SendMessageW(view, LVM_SETEXTENDEDLISTVIEWSTYLE, mask, value);
    }
}

}  // namespace

int ApplyControlStyleChange(HWND dialog, Dialog6Record* dlg, DialogControlRecord* c, bool add, uint32_t bits)
{
    const ControlTypeRow* row = ControlTypeRowOf(c->type);
    uint32_t honoured = row ? row->honouredStyles : 0;
    uint32_t changed = bits & honoured;
    if (!changed)
        return 0;
    if (add)
        c->style |= changed;
    else
        c->style &= ~changed;
    if (add && (changed & CS_CENTER))
        c->style &= ~CS_RIGHT;
    if (add && (changed & CS_RIGHT))
        c->style &= ~CS_CENTER;
    if (add && (changed & CS_CURLEFT))
        c->style &= ~CS_CURRIGHT;
    if (add && (changed & CS_CURRIGHT))
        c->style &= ~CS_CURLEFT;
    HWND window = c->window;
    if (!window)
        return 1;   // menus are rebuilt from the style by the menu code

    if (changed & (CS_INVISIBLE | CS_DISABLED)) {
        ApplyVisibility(window, c->style, honoured);
        if (c->buddy && c->type == CT_SPINNER)
            ApplyVisibility(c->buddy, c->style, honoured);
    }
    if (c->type == CT_EDITBOX || c->type == CT_MULTILINEBOX)
        ApplyEditBits(window, c->style, changed & EDIT_BITS);
    if (c->type == CT_SPINNER && c->buddy)
        ApplyEditBits(c->buddy, c->style, changed & EDIT_BITS);
    if (changed & CS_DEFBUTTON)
        ApplyDefaultButton(dialog, dlg, c, add);
    if (changed & (CS_SHIELD | CS_FLAT)) {
        if (changed & CS_FLAT)
            SetWindowStyleBits(window, BS_FLAT, (c->style & CS_FLAT) != 0);
        InvalidateRect(window, nullptr, TRUE);
    }
    if (changed & (CS_CENTER | CS_RIGHT))
        ApplyAlignment(window, c->style);
    if (c->type == CT_REPORTVIEW)
        ApplyReportBits(window, c->style, changed);
    return 1;
}

void GetControlRect(HWND dialog, const DialogControlRecord* c, RECT* out)
{
    SetRectEmpty(out);
    if (!c->window)
        return;
    if (c->type == CT_DROPLISTBOX) {
        SendMessageW(c->window, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(out));
    } else {
        GetWindowRect(c->window, out);
        if (c->type == CT_SPINNER && c->buddy) {
            RECT edit;
            GetWindowRect(c->buddy, &edit);
            UnionRect(out, out, &edit);
        }
    }
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(out), 2);
}
