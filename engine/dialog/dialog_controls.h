// The controls of a 6.x dialog window: the creation pass with its group-box ordering, and
// one creator a control type.
#pragma once

#include <windows.h>
#include <cstdint>
#include <string>

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

// The window through which a control is created: the type's class, id 100 + index, the
// engine module as instance.
HWND DialogControlCreate(DWORD exStyle, int type, const wchar_t* text, DWORD style, int x, int y, int width,
                         int height, HWND parent, int index);
// Up to three "|"-separated integers (PROGRESS: lower, upper, step; SPINNER: minimum,
// maximum, increment); an empty part keeps the default in out. false at a part that is no
// number.
bool ProgressRangeFromText(const std::wstring& text, int32_t out[3]);
// "value|lower|upper" as YmdHms texts on a CALENDAR or DATETIME: the value and the limits
// are set; an empty text clears a DATETIME with a check box. false with 3977 reported.
bool DateTimeRangeFromText(BDS* ctx, DialogControlRecord* control, const std::wstring& text);
// The size a DATETIME needs for its format text in its font.
SIZE MeasureDateTimeControl(Dialog6Record* dlg, DialogControlRecord* control);
// Whether the type is a push button (PUSHBUTTON, PICTUREBUTTON).
bool IsPushButton(const DialogControlRecord* control);

// WM_SETFONT with the control's font, or DEFAULT_GUI_FONT, without redraw.
void DialogControlSetFont(HWND window, const DialogControlRecord* control);
