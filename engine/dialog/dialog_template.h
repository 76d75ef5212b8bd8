// The 6.x dialog template: the dialog variables (header) and the control lines, read from
// the script's variables named by the running dialog's name (BDS::dlg.name) into a
// Dialog6Record. Every error is reported through the dialog error report and ends the parse.
#pragma once

#include <windows.h>
#include <string>

struct BDS;
struct Dialog6Record;

// Reads the header into a new record (format 61 or 62). 1, or 0 with the error set and
// *out null.
int ParseDialogHeader(BDS* ctx, int format, Dialog6Record** out);
// Reads the control lines into the record's controls array, in tab order. 1 or 0.
int ParseDialogControlLines(BDS* ctx, Dialog6Record* dlg);

// Frees everything the record holds (clearing the window's pointer to it and destroying
// the window when it still exists) and clears *dlg.
void DestroyDialog6(BDS* ctx, HWND dialog, Dialog6Record** dlg);

// A bitmap file loaded as a DIB section: the name part searched in the current folder,
// in the name's own folder and along the search path. Null when none loads.
HBITMAP LoadBackgroundBitmap(BDS* ctx, const wchar_t* file);
