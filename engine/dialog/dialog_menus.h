// The menus of a 6.2 dialog: the menu bar (MENUBAR), its entries, submenus and context
// menus (MENUITEM), the item texts with their keyboard shortcuts, and the accelerator table
// made from those shortcuts.
//
// A MENUITEM's Variable names its parent: the MENUBAR (an entry of the bar), another
// MENUITEM (an entry of its submenu), any other control (an entry of that control's context
// menu) or nothing (an entry of the dialog's own context menu). The entry of the MENUITEM at
// index i has the command id 500 + i and carries its order number as item data; entries
// stand in their menu in the order of those numbers.
#pragma once

#include <windows.h>
#include <string>

struct BDS;
struct Dialog6Record;
struct DialogControlRecord;

// The creators of the two types: 1 made (or already made), 0 with the error reported.
int CreateMenuBarControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog);
int CreateMenuItemControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog);

// After the controls exist: grows the window by the menu bar and makes the accelerator
// table. 1, or 0 with the error set.
int AttachDialogMenus(BDS* ctx, Dialog6Record* dlg, HWND dialog);
// WM_CONTEXTMENU: true when a context menu was shown (MenuPopupTrack).
bool DialogContextMenu(Dialog6Record* dlg, HWND dialog, WPARAM wParam, LPARAM lParam);
// WM_INITMENUPOPUP: raises @demiinit for the control that owns the pop-up.
void DialogInitMenuPopup(Dialog6Record* dlg, HWND dialog, WPARAM wParam, LPARAM lParam);

// The names of the MENUITEMs whose entries lie in the control's menu (the bar, a submenu,
// a context menu), tab-joined; false when the control owns no menu.
bool MenuChildNames(const Dialog6Record* dlg, const DialogControlRecord* control, std::string& out);
// @dctitle on a MENUITEM: the new text with its shortcut. 1, or 0 with the error reported.
int MenuItemSetText(BDS* ctx, Dialog6Record* dlg, HWND dialog, int index, const std::wstring& text);
// Brings a MENUITEM's entry up to date with its style bits (inserting or removing it).
int MenuItemInsert(HWND dialog, Dialog6Record* dlg, DialogControlRecord* control, int index);
// The height of the menu bar in pixels (0 without one).
int MenuBarHeight(Dialog6Record* dlg, HWND dialog);
// Whether some MENUITEM names the control as its parent (or its submenu exists).
bool ControlHasMenuItems(const Dialog6Record* dlg, const DialogControlRecord* control);
// Destroys the menus no window owns any more (context menus, detached submenus).
void DestroyDialogMenus(Dialog6Record* dlg);

// An item text parsed: *display receives the text shown (a shortcut after a tab, in the
// system's key names), *accel the shortcut's accelerator; answers 1 with a shortcut, 0
// without, -1 for a bad shortcut (3989). `doubled` tells whether "\\" stood in the text.
int MenuTextParse(const std::wstring& text, WORD command, std::wstring* display, ACCEL* accel, bool* doubled);
// The virtual key of a key name ("F5", "PGDN", ...; upper case), 0 when the table has none.
int HotkeyNameToVk(const std::wstring& name);
