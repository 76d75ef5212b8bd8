// The FILELISTBOX: the folder listing (files of the mask, folders, "[..]" and drives), the
// system's reading of the chosen entry, and the resolution of the choice at the end.
#pragma once

#include <windows.h>
#include <string>

struct BDS;
struct Dialog6Record;
struct DialogControlRecord;

// DDL_DIRECTORY and DDL_DRIVES: what the dialog lists besides the files.
constexpr UINT FILE_LIST_FLAGS = 0x4010;

// Lists `path` (a folder and mask, "*.*" when empty; the folder becomes current and the
// path keeps the mask) into the list and the current folder into dirText (when given).
// Answers the system listing's result (0: the folder or mask was refused).
int DialogDirListW(BDS* ctx, HWND dialog, std::wstring& path, HWND list, HWND dirText, UINT flags);
// The selected entry as the system reads it: true for a folder or drive ("name\", "c:").
bool DialogDirSelectW(HWND dialog, std::wstring& out, int listId);
// Resolves the list's choice into its variable: 1 done, 0 the dialog must stay open (a new
// mask or folder was listed, or nothing was chosen while a choice is required).
int FileListSelection(BDS* ctx, HWND dialog, Dialog6Record* dlg, DialogControlRecord* control);
// @dccontents: lists a new mask or path (the default mask when it cannot be listed, its
// linked edit box then emptied). Answers 1.
int FileListSetContents(BDS* ctx, HWND dialog, Dialog6Record* dlg, DialogControlRecord* control, std::wstring path);
// The list's reaction to a selection change or double click (after its event).
void FileListClicked(BDS* ctx, HWND dialog, Dialog6Record* dlg, DialogControlRecord* control, bool doubleClick);
