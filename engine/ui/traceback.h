// The traceback list of the error box ("STACKINFO"): one row per structure-stack frame of
// the run, and a last row for the failing line.
#pragma once

#include <windows.h>

struct BDS;

// Control id of the list in "STACKINFO".
enum : int { IDC_TRACEBACK_LIST = 101 };

// The dialog procedure (lParam of WM_INITDIALOG: the context).
INT_PTR CALLBACK StackInfoDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Shows the traceback over the error box `errorBox` and brings that box back afterwards.
void ShowTraceback(BDS* ctx, HWND errorBox);
