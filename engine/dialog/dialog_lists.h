// List boxes and combo boxes of a dialog filled from and read into tab-delimited text.
#pragma once

#include <windows.h>
#include <string>

struct BDS;
struct Dialog6Record;
struct DialogControlRecord;

// The text of an item of a list box, or of a combo box's list ("" when there is none).
std::wstring ListItemText(HWND list, bool combo, LRESULT index);
// Empties the ITEMBOX or DROPLISTBOX `list` and appends the tab-separated fields of the
// text (empty fields between tabs too; an empty last field is left out). 0 for another type.
int DialogListFill(HWND list, int type, const wchar_t* text);
// Selects the items the fields name (exact, any case): every found one in a list with
// extended selection, else the first field's item. 1 when an item was found or the text
// is empty.
int DialogListSelect(HWND list, int type, const wchar_t* text);
// The selected item or items of an ITEMBOX (joined by tabs); false with 1336 when the
// selection cannot be read.
bool ListSelection(BDS* ctx, HWND list, std::wstring& out);
// Writes an ITEMBOX's selection into its variable; 0 with the error set.
int ListSelectionText(BDS* ctx, Dialog6Record* dlg, DialogControlRecord* control);
