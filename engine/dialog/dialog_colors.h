// The colours of a dialog's controls: the defaults a control takes when its template gives
// none, the answer to the WM_CTLCOLOR* messages, and the owner-drawn list items.
#pragma once

#include <windows.h>

struct Dialog6Record;
struct DialogControlRecord;

// Gives the control the dialog's text colour (or its type's) and its type's background
// when the template gave none.
void DefaultControlColors(const Dialog6Record* dlg, DialogControlRecord* control);
// The text colour a control takes when none is its own: the dialog's, else its type's
// system colour; NO_COLOR for types that take none.
COLORREF DefaultTextColor(const Dialog6Record* dlg, const DialogControlRecord* control);
// Gives the control its type's default background again (a brush it owned is deleted).
void RestoreDefaultBackground(DialogControlRecord* control);
// For a window that is one of the dialog's controls: true with the brush to answer.
bool ControlColors(Dialog6Record* dlg, HWND window, HDC dc, HBRUSH* brush);
// Draws one item of an owner-drawn drop-list box.
void DrawListItem(Dialog6Record* dlg, DialogControlRecord* control, const DRAWITEMSTRUCT* item);
