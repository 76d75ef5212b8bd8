// The colours of a dialog's controls.
#include "engine/dialog/dialog_colors.h"

#include <string>

#include "engine/dialog/dialog_find.h"
#include "engine/dialog/dialog_lists.h"
#include "engine/dialog/dialog_record.h"

COLORREF DefaultTextColor(const Dialog6Record* dlg, const DialogControlRecord* c)
{
    if (dlg->textColor != NO_COLOR)
        return dlg->textColor;
    if (c->type == CT_PUSHBUTTON)
        return GetSysColor(COLOR_BTNTEXT);
    if (c->type == CT_ITEMBOX || c->type == CT_DROPLISTBOX)
        return GetSysColor(COLOR_WINDOWTEXT);
    return NO_COLOR;
}

void RestoreDefaultBackground(DialogControlRecord* c)
{
    if (c->ownsBrush && c->backBrush)
        DeleteObject(c->backBrush);
    c->ownsBrush = false;
    c->backBrush = nullptr;
    c->backColor = NO_COLOR;
    c->defaultBack = true;
    switch (c->type) {
    case CT_STATICTEXT:
    case CT_RADIOBUTTON:
    case CT_CHECKBOX:
    case CT_VARYTEXT:
        c->backBrush = static_cast<HBRUSH>(GetStockObject(HOLLOW_BRUSH));
        break;
    case CT_EDITBOX:
    case CT_DROPLISTBOX:
    case CT_MULTILINEBOX:
    case CT_SPINNER:
        c->backColor = GetSysColor(COLOR_WINDOW);
        c->backBrush = GetSysColorBrush(COLOR_WINDOW);
        break;
    case CT_COMCONTROL:
        c->backColor = GetSysColor(COLOR_BTNFACE);
        c->backBrush = GetSysColorBrush(COLOR_BTNFACE);
        break;
    default:
        break;
    }
}

void DefaultControlColors(const Dialog6Record* dlg, DialogControlRecord* c)
{
    if (c->textColor == NO_COLOR)
        c->textColor = DefaultTextColor(dlg, c);
    if (c->backColor == NO_COLOR && !c->backBrush)
        RestoreDefaultBackground(c);
}

bool ControlColors(Dialog6Record* dlg, HWND window, HDC dc, HBRUSH* brush)
{
    int index = DialogControlIndexOfWindow(dlg, window);
    if (index < 0) {
        HWND parent = GetParent(window);   // the list or edit part of a drop-list box
        index = parent != dlg->window ? DialogControlIndexOfWindow(dlg, parent) : -1;
    }
    DialogControlRecord* c = ControlAt(dlg, index);
    if (!c || c->type == CT_PUSHBUTTON || c->type == CT_PICTUREBUTTON)
        return false;
    if (c->textColor == NO_COLOR && !c->backBrush)
        return false;
    if (c->textColor != NO_COLOR)
        SetTextColor(dc, c->textColor);
    if (c->backColor != NO_COLOR)
        SetBkColor(dc, c->backColor);
    else
        SetBkMode(dc, TRANSPARENT);
    if (c->backBrush) {
        *brush = c->backBrush;
        return true;
    }
    switch (c->type) {
    case CT_STATICTEXT:
    case CT_RADIOBUTTON:
    case CT_CHECKBOX:
    case CT_VARYTEXT:
        *brush = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
        break;
    case CT_GROUPBOX:
        *brush = GetSysColorBrush(COLOR_BTNFACE);
        break;
    default:
        *brush = GetSysColorBrush(COLOR_WINDOW);
        break;
    }
    return true;
}

void DrawListItem(Dialog6Record* dlg, DialogControlRecord* c, const DRAWITEMSTRUCT* item)
{
    HDC dc = item->hDC;
    RECT r = item->rcItem;
    COLORREF text, back;
    if (item->itemState & ODS_SELECTED) {
        text = GetSysColor(COLOR_HIGHLIGHTTEXT);
        back = GetSysColor(COLOR_HIGHLIGHT);
    } else if (item->itemState & ODS_DISABLED) {
        text = GetSysColor(COLOR_GRAYTEXT);
        back = c->backColor != NO_COLOR ? c->backColor : GetSysColor(COLOR_WINDOW);
    } else {
        text = c->textColor != NO_COLOR ? c->textColor : GetSysColor(COLOR_WINDOWTEXT);
        back = c->backColor != NO_COLOR ? c->backColor : GetSysColor(COLOR_WINDOW);
    }
    std::wstring label;
    if (item->itemID != static_cast<UINT>(-1))
        label = ListItemText(item->hwndItem, true, static_cast<LRESULT>(item->itemID));
    HGDIOBJ oldFont = SelectObject(dc, c->font ? c->font : dlg->font ? dlg->font : GetStockObject(DEFAULT_GUI_FONT));
    SetTextColor(dc, text);
    SetBkColor(dc, back);
    SIZE extent{};
    GetTextExtentPoint32W(dc, L"X", 1, &extent);
    int left = r.left + (dlg->baseX / 2 + 1) / 2 * 2;   // half a base unit, rounded to even
    int top = r.top + ((r.bottom - r.top) - extent.cy) / 2;
    ExtTextOutW(dc, left, top, ETO_OPAQUE | ETO_CLIPPED, &r, label.c_str(), static_cast<UINT>(label.size()), nullptr);
    if ((item->itemState & ODS_FOCUS) && !(item->itemState & ODS_NOFOCUSRECT))
        DrawFocusRect(dc, &r);
    SelectObject(dc, oldFont);
}
