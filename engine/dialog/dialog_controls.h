// The controls of a 6.x dialog window: the creation pass with its group-box ordering, and
// one creator a control type.
#pragma once

#include <windows.h>

struct BDS;
struct Dialog6Record;
struct DialogControlRecord;

// At WM_CREATE: orders the group boxes' members, runs every creator in tab order and lists
// the FILELISTBOX. 1, or 0 at the first failing creator (its error reported).
int CreateDialogControls(BDS* ctx, Dialog6Record* dlg, HWND dialog);

int CreateStaticTextControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog);
int CreateVaryTextControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog);
int CreateEditBoxControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog);
int CreateRadioButtonControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog);
int CreateCheckBoxControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog);
int CreateGroupBoxControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog);
int CreatePushButtonControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog);
int CreatePictureControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog);
int CreateFileListboxControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog);
int CreateItemListboxControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog);
int CreateDropListBoxControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog);
int CreateCalendarControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog);
int CreateDateTimeControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog);
int CreateSpinnerControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog);
int CreateProgressControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog);
int CreateReportViewControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog);
int CreateComControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog);
// MENUBAR and MENUITEM make no window (the menu code builds them).
int CreateMenuControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog);

// The window through which a control is created: the type's class, id 100 + index, the
// engine module as instance.
HWND DialogControlCreate(DWORD exStyle, int type, const wchar_t* text, DWORD style, int x, int y, int width,
                         int height, HWND parent, int index);
// WM_SETFONT with the control's font, or DEFAULT_GUI_FONT, without redraw.
void DialogControlSetFont(HWND window, const DialogControlRecord* control);
