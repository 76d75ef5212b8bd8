// The places where the parts of the dialog engine not built yet join the 6.x dialog:
// the control-state, control-get, control-set and object servers, the classic template
// formats, menus, report-view contents, resizing, bitmap painting and hosted COM controls.
// dialog_seams.cpp holds their minimal forms; each part replaces its functions there.
#pragma once

#include <windows.h>
#include <cstdint>

struct BDS;
struct Dialog6Record;
struct DialogControlRecord;

// ---- the request servers (messages 7026, 7027, 7028, 7031); wParam and lParam are the
// request blocks, already checked. The minimal servers refuse every request (3974).
LRESULT ServeDialogControlState(BDS* ctx, Dialog6Record* dlg, HWND dialog, WPARAM wParam, LPARAM lParam);
LRESULT ServeDialogControlSet(BDS* ctx, Dialog6Record* dlg, HWND dialog, WPARAM wParam, LPARAM lParam);
LRESULT ServeDialogControlGet(BDS* ctx, Dialog6Record* dlg, HWND dialog, WPARAM wParam, LPARAM lParam);
LRESULT ServeDialogObject(BDS* ctx, Dialog6Record* dlg, HWND dialog, WPARAM wParam, LPARAM lParam);

// ---- the classic formats: runs a template whose format is neither 6.1 nor 6.2 and
// answers its result (the minimal form refuses it with 3220).
int32_t RunClassicDialog(BDS* ctx, const wchar_t* format);

// ---- menus: at WM_CREATE builds the menu bar, the context menus and the accelerator
// table (1, or 0 with the error set); WM_CONTEXTMENU (true when a context menu was shown);
// WM_INITMENUPOPUP.
int AttachDialogMenus(BDS* ctx, Dialog6Record* dlg, HWND dialog);
bool DialogContextMenu(Dialog6Record* dlg, HWND dialog, WPARAM wParam, LPARAM lParam);
void DialogInitMenuPopup(Dialog6Record* dlg, HWND dialog, WPARAM wParam, LPARAM lParam);

// ---- report views: fills a new view from its Text or its variable (1, or 0 with the error
// set); answers its notifications (true when answered, with *answer); writes its selected
// rows back (1, or 0 with the error set).
int ReportViewFill(BDS* ctx, Dialog6Record* dlg, int index, HWND view);
bool ReportViewNotify(Dialog6Record* dlg, HWND dialog, int index, const NMHDR* header, LRESULT* answer);
int ReportViewStoreSelection(BDS* ctx, Dialog6Record* dlg, DialogControlRecord* control);

// ---- resizing and painting: the resize step of a resizable dialog; the background bitmap
// (1 when painted); a PICTURE control's item.
void DialogResizeEvent(Dialog6Record* dlg, HWND dialog, int threshold);
int PaintDialogBitmap(Dialog6Record* dlg, HDC dc);
void PaintPictureItem(Dialog6Record* dlg, DialogControlRecord* control, const DRAWITEMSTRUCT* item);

// ---- hosted COM controls: the host window of a COMCONTROL (null when it cannot be made;
// the caller reports 3104); freezing (1) and thawing (0) their events around a call.
HWND CreateComHostWindow(BDS* ctx, Dialog6Record* dlg, DialogControlRecord* control, HWND dialog, int index,
                         DWORD style);
void FreezeComControlEvents(Dialog6Record* dlg, int freeze);
