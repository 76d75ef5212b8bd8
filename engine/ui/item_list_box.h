// The item-list box: one list-box dialog ("BOXITEM" single, "BOXITEMM" multiple,
// "BOXITEMME" extended selection) that shows the items of a delimited list or the lines of
// a text file and answers the chosen item, or the chosen items joined by the delimiter.
#pragma once

#include <windows.h>
#include <cstdint>

struct BDS;
struct resultants;

// Control ids of the templates.
enum : int { IDC_ITEM_LIST = 101 };

// Checks the arguments (3367 sort not 0/1, 3366 select not 2-4, 1705 a delimiter of more
// than one character; in this order, before any window), runs the box and leaves the
// answer in `result`; Cancel sets 9999. `source` is the list, or for kind
// ITEM_SOURCE_FILE the file name; an empty delimiter means TAB.
void RunItemListDialogA(BDS* ctx, resultants* result, uint32_t kind, const char* title, const char* source,
                        const char* delimiter, int32_t sort, int32_t select, int32_t needsSelection);
void RunItemListDialogW(BDS* ctx, resultants* result, uint32_t kind, const wchar_t* title,
                        const wchar_t* source, const wchar_t* delimiter, int32_t sort, int32_t select,
                        int32_t needsSelection);

// A placement of IntControl 63 (thousandths of the screen) moves the box when its right and
// bottom are set; used or not, it is spent.
void ApplyNextBoxPosition(BDS* ctx, HWND dialog);

// The dialog procedures (lParam of WM_INITDIALOG: the context).
extern "C" INT_PTR CALLBACK AskTextDlg(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AskTextDlgW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// ---------------------------------------------------------------- filling (item_list_fill.cpp)

// Adds the list's items to the list box: every delimiter ends an item (empty ones too), a
// last non-empty item is added, an item longer than ITEM_BOX_ITEM_LIMIT is cut there and the
// walk goes on. `sorted` adds through the list box's own order, else at the end.
void FillItemsFromListA(HWND list, const char* text, const char delimiter[3], bool sorted);
void FillItemsFromListW(HWND list, const wchar_t* text, wchar_t delimiter, bool sorted);
// Adds the file's lines (CR dropped, LF ends a line, a last line without LF is added when
// not empty); a file that cannot be opened shows "Error opening/finding file:" and an
// empty entry. The wide twin reads UTF-16 after a byte-order mark, else text in the
// context's code page. Answers false with 1588 when the line buffer cannot be had.
bool FillItemsFromFileA(BDS* ctx, HWND list, const char* fileName, bool sorted);
bool FillItemsFromFileW(BDS* ctx, HWND list, const wchar_t* fileName, bool sorted);
