// The menus of a 6.2 dialog: the menu bar, the entries of MENUITEM controls in the bar, in
// submenus and in context menus, their styles, the context-menu display, @demiinit and the
// accelerator table of the item shortcuts.
#include "engine/dialog/dialog_menus.h"

#include <windows.h>

#include <algorithm>

#include "engine/core/context.h"
#include "engine/dialog/dialog_deferred.h"
#include "engine/dialog/dialog_fields.h"
#include "engine/dialog/dialog_record.h"
#include "engine/dialog/dialog_report.h"
#include "engine/dialog/dialog_window.h"

namespace {

constexpr uint16_t ERR_MENU = 3985;         // "Dialog: Menu creation failed"
constexpr uint16_t ERR_PARENT = 3987;       // "Dialog: Menu parent not found"
constexpr uint16_t ERR_ACCELERATOR = 3989;  // "Dialog: Invalid menu accelerator found"

constexpr UINT STATE_CHECKED = 0x8;
constexpr UINT STATE_DISABLED = 0x3;        // disabled and grayed
constexpr UINT TYPE_BREAK = 0x20;           // a new column (a new row in the bar)
constexpr UINT TYPE_RADIO = 0x200;
constexpr UINT TYPE_SEPARATOR = 0x800;
constexpr uint32_t MENU_BEING_MADE = 0x8;   // state bit: the item's creator runs

WORD CommandOf(int index) { return static_cast<WORD>(MENU_ID_BASE + index); }

int IndexOf(const Dialog6Record* dlg, const DialogControlRecord* c)
{
    for (int i = 0; i < ControlCount(dlg); ++i)
        if (dlg->controls[i] == c)
            return i;
    return -1;
}

bool NamesParent(const DialogControlRecord* item, const DialogControlRecord* c)
{
    return item->type == CT_MENUITEM && item != c && item->parentHash == c->nameHash
           && lstrcmpiA(item->parent, c->name) == 0;
}

// The control a MENUITEM names as its parent (MenuParentLookup), or -1.
int ParentIndex(const Dialog6Record* dlg, const DialogControlRecord* item)
{
    for (int i = 0; i < ControlCount(dlg); ++i) {
        const DialogControlRecord* c = dlg->controls[i];
        if (c != item && c->nameHash == item->parentHash && lstrcmpiA(c->name, item->parent) == 0)
            return i;
    }
    return -1;
}

// The place of the entry with the command id in the menu, or -1.
int PositionOf(HMENU menu, UINT command)
{
    int count = menu ? GetMenuItemCount(menu) : 0;
    for (int pos = 0; pos < count; ++pos) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID;
        if (GetMenuItemInfoW(menu, static_cast<UINT>(pos), TRUE, &info) && info.wID == command)
            return pos;
    }
    return -1;
}

// Before the first entry whose order number is greater (MenuInsertPosition); -1: at the end.
int MenuInsertPosition(HMENU menu, int32_t order)
{
    int count = GetMenuItemCount(menu);
    for (int pos = 0; pos < count; ++pos) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_DATA;
        if (GetMenuItemInfoW(menu, static_cast<UINT>(pos), TRUE, &info)
            && static_cast<int32_t>(info.dwItemData) > order)
            return pos;
    }
    return -1;
}

bool MenuItemApplyStyle(HMENU menu, int position, int32_t order, uint32_t style)
{
    if (style & CS_INVISIBLE)
        return RemoveMenu(menu, static_cast<UINT>(position), MF_BYPOSITION) != FALSE;
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STATE | MIIM_FTYPE | MIIM_DATA;
    if (style & (CS_MENUCHECK | CS_MENURADIO))
        info.fState |= STATE_CHECKED;
    if (style & CS_DISABLED)
        info.fState |= STATE_DISABLED;
    if (style & CS_MENUBREAK)
        info.fType |= TYPE_BREAK;
    if (style & CS_MENURADIO)
        info.fType |= TYPE_RADIO;
    if (style & CS_MENUSEP)
        info.fType |= TYPE_SEPARATOR;
    info.dwItemData = static_cast<ULONG_PTR>(static_cast<LONG_PTR>(order));
    return SetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info) != FALSE;
}

// Inserts the item's entry by its order number, with its submenu; false when refused.
bool InsertEntry(HMENU menu, DialogControlRecord* c, int index)
{
    int position = MenuInsertPosition(menu, c->value);
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING | MIIM_ID | MIIM_DATA;
    info.wID = CommandOf(index);
    info.dwTypeData = const_cast<wchar_t*>(c->text.c_str());
    info.dwItemData = static_cast<ULONG_PTR>(static_cast<LONG_PTR>(c->value));
    if (c->subMenu) {
        info.fMask |= MIIM_SUBMENU;
        info.hSubMenu = c->subMenu;
    }
    UINT at = position < 0 ? static_cast<UINT>(GetMenuItemCount(menu)) : static_cast<UINT>(position);
    if (!InsertMenuItemW(menu, at, TRUE, &info))
        return false;
    return MenuItemApplyStyle(menu, static_cast<int>(at), c->value, c->style);
}

void RebuildAccelerators(Dialog6Record* dlg)
{
    if (dlg->accelerators)
        DestroyAcceleratorTable(dlg->accelerators);
    dlg->accelerators = nullptr;
    if (!dlg->accelEntries.empty())
        dlg->accelerators =
            CreateAcceleratorTableW(dlg->accelEntries.data(), static_cast<int>(dlg->accelEntries.size()));
}

// Parses the item's text: its shortcut joins the accelerator entries, and the text shown
// replaces the template's. 0 with 3989 reported (with the text).
int TakeItemText(BDS* ctx, Dialog6Record* dlg, DialogControlRecord* c, int index, bool* hadShortcut)
{
    std::wstring display;
    ACCEL accel{};
    bool doubled = false;
    int parsed = MenuTextParse(c->text, CommandOf(index), &display, &accel, &doubled);
    if (parsed < 0)
        return DialogFailW(ctx, ERR_ACCELERATOR, nullptr, c->text.c_str());
    if (parsed > 0)
        dlg->accelEntries.push_back(accel);
    if (parsed > 0 || doubled)
        c->text = display;
    if (hadShortcut)
        *hadShortcut = parsed > 0;
    return 1;
}

// MenuGetOrCreatePopup: the dialog's context menu (index -1), a MENUITEM's submenu, or a
// control's context menu, made on first use. Null with 3985 reported.
HMENU PopupOf(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog)
{
    DialogControlRecord* c = ControlAt(dlg, index);
    HMENU* slot = c ? &c->subMenu : &dlg->contextMenu;
    if (*slot)
        return *slot;
    HMENU popup = CreatePopupMenu();
    if (!popup) {
        DialogFail(ctx, ERR_MENU, nullptr, c ? c->name : "");
        return nullptr;
    }
    if (c && c->type == CT_MENUITEM) {
        if (!c->menu && !CreateMenuItemControl(ctx, dlg, index, dialog)) {
            DestroyMenu(popup);
            return nullptr;
        }
        if (!(c->style & CS_INVISIBLE)) {
            MENUITEMINFOW info{};
            info.cbSize = sizeof info;
            info.fMask = MIIM_SUBMENU;
            info.hSubMenu = popup;
            int position = PositionOf(c->menu, CommandOf(index));
            if (position < 0 || !SetMenuItemInfoW(c->menu, static_cast<UINT>(position), TRUE, &info)) {
                DestroyMenu(popup);
                DialogFail(ctx, ERR_MENU, nullptr, c->name);
                return nullptr;
            }
        }
    }
    *slot = popup;
    return popup;
}

// The control whose window (or whose part's window) is `window`, as its index; -1.
int ControlOfWindow(const Dialog6Record* dlg, HWND dialog, HWND window)
{
    if (!window || window == dialog)
        return -1;
    HWND parent = GetParent(window);
    int id = parent == dialog ? GetDlgCtrlID(window) : parent && GetParent(parent) == dialog ? GetDlgCtrlID(parent) : 0;
    int index = id - DIALOG_ID_BASE;
    return ControlAt(const_cast<Dialog6Record*>(dlg), index) ? index : -1;
}

}  // namespace

// ---------------------------------------------------------------- creators

int CreateMenuBarControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog)
{
    DialogControlRecord* c = ControlAt(dlg, index);
    if (c->menu)
        return 1;
    HMENU bar = CreateMenu();
    if (!bar || !SetMenu(dialog, bar)) {
        if (bar)
            DestroyMenu(bar);
        return DialogFail(ctx, ERR_MENU, nullptr, c->name);
    }
    c->menu = bar;
    return 1;
}

int CreateMenuItemControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog)
{
    DialogControlRecord* c = ControlAt(dlg, index);
    if (c->menu)
        return 1;
    if (c->state & MENU_BEING_MADE)   // its parent chain leads back to itself
        return DialogFail(ctx, ERR_PARENT, nullptr, c->parent);
    c->state |= MENU_BEING_MADE;
    HMENU target = nullptr;
    DialogControlRecord* parent = nullptr;
    if (c->parent[0]) {
        int p = ParentIndex(dlg, c);
        parent = ControlAt(dlg, p);
        if (!parent) {
            c->state &= ~MENU_BEING_MADE;
            return DialogFail(ctx, ERR_PARENT, nullptr, c->parent);
        }
        if (parent->type == CT_MENUBAR) {
            if (!CreateMenuBarControl(ctx, dlg, p, dialog)) {
                c->state &= ~MENU_BEING_MADE;
                return 0;
            }
            target = parent->menu;
        } else {
            target = PopupOf(ctx, dlg, p, dialog);
        }
    } else {
        target = PopupOf(ctx, dlg, -1, dialog);
    }
    c->state &= ~MENU_BEING_MADE;
    if (!target)
        return 0;
    if (c->menu)
        return 1;   // made on the way (its own popup was asked for)
    if (!TakeItemText(ctx, dlg, c, index, nullptr))
        return 0;
    if (!(c->style & CS_INVISIBLE) && !InsertEntry(target, c, index))
        return DialogFail(ctx, ERR_MENU, nullptr, c->name);
    if (parent && parent->type == CT_MENUBAR && (c->style & CS_MENUBREAK))
        ++dlg->menuBarRows;
    c->menu = target;
    return 1;
}

// ---------------------------------------------------------------- the window's menus

int AttachDialogMenus(BDS*, Dialog6Record* dlg, HWND dialog)
{
    if (dlg->hasMenuBar && GetMenu(dialog)) {
        int height = MenuBarHeight(dlg, dialog);
        RECT r;
        GetWindowRect(dialog, &r);
        SetWindowPos(dialog, nullptr, 0, 0, r.right - r.left, r.bottom - r.top + height,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE);
        PlaceDialogOnScreen(dlg, dialog);
    }
    RebuildAccelerators(dlg);
    return 1;
}

int MenuBarHeight(Dialog6Record* dlg, HWND dialog)
{
    if (!dlg->hasMenuBar || !GetMenu(dialog))
        return 0;
    DrawMenuBar(dialog);
    using PfnGetMenuBarInfo = BOOL(WINAPI*)(HWND, LONG, LONG, PMENUBARINFO);
    HMODULE user = GetModuleHandleW(L"USER32.DLL");
    auto getInfo = user ? reinterpret_cast<PfnGetMenuBarInfo>(
                              reinterpret_cast<void*>(GetProcAddress(user, "GetMenuBarInfo")))
                        : nullptr;
    MENUBARINFO info{};
    info.cbSize = sizeof info;
    if (getInfo && getInfo(dialog, OBJID_MENU, 0, &info)) {
        int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
        if ((info.rcBar.bottom >= top || info.rcBar.top >= top) && info.rcBar.bottom > info.rcBar.top)
            return info.rcBar.bottom - info.rcBar.top;
    }
    return GetSystemMetrics(SM_CYMENU) * (dlg->menuBarRows > 0 ? dlg->menuBarRows : 1);
}

bool DialogContextMenu(Dialog6Record* dlg, HWND dialog, WPARAM wParam, LPARAM lParam)
{
    HWND window = reinterpret_cast<HWND>(wParam);
    int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
    if (x == -1 && y == -1) {
        if (HWND focus = GetFocus())
            window = focus;
        RECT r{};
        GetWindowRect(window, &r);
        x = r.left;
        y = r.top;
    }
    HMENU menu = nullptr;
    DialogControlRecord* c = ControlAt(dlg, ControlOfWindow(dlg, dialog, window));
    if (c && c->type != CT_MENUITEM)
        menu = c->subMenu;
    if (!menu && (window == dialog || IsChild(dialog, window)))
        menu = dlg->contextMenu;
    if (!menu)
        return false;
    if (dlg->busy) {
        // Shown now, inside the procedure's call, the menu's @demiinit and its choice
        // would both be dropped: it opens once the call has ended.
        DeferContextMenu(dlg, wParam, lParam);
        return true;
    }
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, x, y, 0, dialog, nullptr);
    return true;
}

void DialogInitMenuPopup(Dialog6Record* dlg, HWND, WPARAM wParam, LPARAM lParam)
{
    if (HIWORD(lParam) || !dlg->events[DE_MIINIT])
        return;
    HMENU popup = reinterpret_cast<HMENU>(wParam);
    for (int i = 0; i < ControlCount(dlg); ++i) {   // MenuFindSub
        if (dlg->controls[i]->subMenu == popup) {
            RaiseDialogEvent(dlg, DE_MIINIT, i, nullptr);
            return;
        }
    }
}

// ---------------------------------------------------------------- requests

bool MenuChildNames(const Dialog6Record* dlg, const DialogControlRecord* c, std::string& out)
{
    out.clear();
    bool menuType = c->type == CT_MENUBAR || c->type == CT_MENUITEM;
    if (!menuType && !ControlHasMenuItems(dlg, c))
        return false;
    for (const DialogControlRecord* item : dlg->controls) {
        if (!NamesParent(item, c))
            continue;
        if (!out.empty())
            out += '\t';
        out += item->name;
    }
    return true;
}

int MenuItemSetText(BDS* ctx, Dialog6Record* dlg, HWND dialog, int index, const std::wstring& text)
{
    DialogControlRecord* c = ControlAt(dlg, index);
    WORD command = CommandOf(index);
    auto& entries = dlg->accelEntries;
    size_t before = entries.size();
    entries.erase(std::remove_if(entries.begin(), entries.end(), [&](const ACCEL& a) { return a.cmd == command; }),
                  entries.end());
    bool hadShortcut = entries.size() != before;
    c->text = text;
    bool hasShortcut = false;
    if (!TakeItemText(ctx, dlg, c, index, &hasShortcut))
        return 0;
    if (hadShortcut || hasShortcut)
        RebuildAccelerators(dlg);
    int position = PositionOf(c->menu, command);
    if (position >= 0) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STRING;
        info.dwTypeData = const_cast<wchar_t*>(c->text.c_str());
        SetMenuItemInfoW(c->menu, static_cast<UINT>(position), TRUE, &info);
    }
    if (dlg->hasMenuBar)
        DrawMenuBar(dialog);
    return 1;
}

int MenuItemInsert(HWND dialog, Dialog6Record* dlg, DialogControlRecord* c, int index)
{
    if (!c->menu)
        return 0;
    int position = PositionOf(c->menu, CommandOf(index));
    bool done = true;
    if (position >= 0)
        done = MenuItemApplyStyle(c->menu, position, c->value, c->style);
    else if (!(c->style & CS_INVISIBLE))
        done = InsertEntry(c->menu, c, index);
    if (dlg->hasMenuBar)
        DrawMenuBar(dialog);
    return done ? 1 : 0;
}

bool ControlHasMenuItems(const Dialog6Record* dlg, const DialogControlRecord* c)
{
    if (c->subMenu)
        return true;
    for (const DialogControlRecord* item : dlg->controls)
        if (NamesParent(item, c))
            return true;
    return false;
}

void DestroyDialogMenus(Dialog6Record* dlg)
{
    // Context menus first: destroying one destroys the submenus attached to its entries.
    if (dlg->contextMenu && IsMenu(dlg->contextMenu))
        DestroyMenu(dlg->contextMenu);
    dlg->contextMenu = nullptr;
    for (DialogControlRecord* c : dlg->controls)
        if (c->type != CT_MENUITEM && c->subMenu && IsMenu(c->subMenu))
            DestroyMenu(c->subMenu);
    for (DialogControlRecord* c : dlg->controls) {
        if (c->type == CT_MENUITEM && c->subMenu && IsMenu(c->subMenu))
            DestroyMenu(c->subMenu);   // one that hangs at no entry (its item is invisible)
        if (c->type == CT_MENUBAR && c->menu && IsMenu(c->menu))
            DestroyMenu(c->menu);
        c->subMenu = c->menu = nullptr;
    }
}
