// The write-back: the values of a dialog's controls into the script's variables when the
// dialog ends with a result other than 0.
#pragma once

#include <windows.h>
#include <string>

struct BDS;
struct Dialog6Record;

// Writes every control's value into its variable, in the variable scope Dialog was called
// in. The FILELISTBOX is resolved first: 0 when it keeps the dialog open (nothing is
// written then), else 1.
int StoreDialogValues(Dialog6Record* dlg, BDS* ctx, HWND dialog);

// A date as YmdHms text, the year in two digits when the four-digit-year setting is off.
std::string DialogDateText(BDS* ctx, const SYSTEMTIME& time);

// A window's whole text through the dialog's growable buffer; false with 1631.
bool ReadControlText(BDS* ctx, HWND window, std::wstring& out);
