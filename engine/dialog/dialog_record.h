// The records of a 6.x dialog: the control types and their table, one control
// (DialogControlRecord) and one running dialog (Dialog6Record).
//
// A dialog record lives from the template parse until DestroyDialog6; the dialog window
// keeps a pointer to it in its DWLP_USER slot. The controls array is kept in tab order;
// a control's window id is DIALOG_ID_BASE plus its index in that array.
#pragma once

#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>

struct BDS;
struct Dialog6Record;
struct RowColorBlock;

// ---------------------------------------------------------------- control types

enum ControlType : uint8_t {
    CT_NONE = 0,
    CT_STATICTEXT = 1,
    CT_EDITBOX = 2,
    CT_RADIOBUTTON = 3,
    CT_CHECKBOX = 4,
    CT_VARYTEXT = 5,
    CT_FILELISTBOX = 6,
    CT_PUSHBUTTON = 7,
    CT_ITEMBOX = 8,
    CT_PICTUREBUTTON = 9,
    CT_PICTURE = 10,
    CT_DROPLISTBOX = 11,
    CT_MULTILINEBOX = 12,
    CT_GROUPBOX = 13,
    CT_CALENDAR = 14,
    CT_SPINNER = 15,
    CT_COMCONTROL = 16,
    CT_MENUBAR = 17,
    CT_MENUITEM = 18,
    CT_REPORTVIEW = 19,
    CT_DATETIME = 20,
    CT_PROGRESS = 21,
};
constexpr int CONTROL_TYPE_COUNT = 21;

// The field set of a type: which template fields it admits.
enum : uint32_t {
    FS_CAPTION = 0x1,        // Text as a caption
    FS_BITMAP = 0x2,         // Background as a bitmap file
    FS_VARIABLE = 0x4,       // Variable, required
    FS_VALUE = 0x8,
    FS_CONTENT = 0x10,       // Text as a content or selection text
    FS_FONT = 0x20,
    FS_TEXTCOLOR = 0x40,
    FS_BKCOLOR = 0x80,       // Background as a colour
    FS_TAB = 0x100,
    FS_STYLE = 0x200,
    FS_FREE_TEXT = 0x400,    // Variable as a free text (ANSI)
    FS_PARENT = 0x800,       // Variable as the name of a parent
    FS_TAB_VALUE = 0x1000,   // Tab order kept as a value (MENUITEM)
    FS_ANSI_TEXT = 0x2000,   // Text kept as ANSI text
};
constexpr uint32_t FS_TEXT = FS_CAPTION | FS_CONTENT;
constexpr uint32_t FS_ANY_VARIABLE = FS_VARIABLE | FS_FREE_TEXT | FS_PARENT;
constexpr uint32_t FS_ANY_TAB = FS_TAB | FS_TAB_VALUE;
constexpr uint32_t FS_ANY_BACKGROUND = FS_BKCOLOR | FS_BITMAP;

// A creator makes the window(s) of the control at `index`, one whose window is not made
// yet: 1 made (a menu already there), 0 with the error set.
using ControlCreator = int (*)(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog);

struct ControlTypeRow {
    uint8_t code;
    const char* keyword;
    uint32_t fieldSet;
    uint32_t honouredStyles;     // the style bits the type honours
    ControlCreator creator;
    const wchar_t* windowClass;  // null: no window
    const char* operationName;   // for the system error of a failed creation
    bool only62;                 // known only in format 6.2
};

// The row of a type code, or null.
const ControlTypeRow* ControlTypeRowOf(int code);
// The type of a keyword (any case; "CALENDER" too) in the format, or CT_NONE.
int ControlTypeFromKeyword(const wchar_t* word, int format);
// The keyword as a new ANSI string in the string heap (its offset); 0 with 3096.
uint64_t ControlTypeKeyword(BDS* ctx, int code);

// ---------------------------------------------------------------- style constants

enum : uint32_t {
    CS_INVISIBLE = 0x1,
    CS_DISABLED = 0x2,
    CS_LISTONLY = 0x4,
    CS_READONLY = 0x8,
    CS_PASSWORD = 0x10,
    CS_DEFBUTTON = 0x20,
    CS_DIGITS = 0x40,
    CS_FLAT = 0x80,
    CS_NOADJUST = 0x100,
    CS_CENTER = 0x200,
    CS_RIGHT = 0x400,
    CS_CURLEFT = 0x800,
    CS_CURRIGHT = 0x1000,
    CS_SHIELD = 0x2000,
    CS_VERTICAL = 0x4000,
    CS_MENUCHECK = 0x8000,
    CS_MENURADIO = 0x10000,
    CS_MENUSEP = 0x20000,
    CS_MENUBREAK = 0x40000,
    CS_NOHEADER = 0x80000,
    CS_FIRSTHEADER = 0x100000,
    CS_GRID = 0x200000,
    CS_SINGLESEL = 0x400000,
    CS_FULLSEL = 0x800000,
    CS_ASORT = 0x1000000,
    CS_DSORT = 0x2000000,
    CS_COLEDIT = 0x4000000,
    CS_CHECKBOX = 0x8000000,
    CS_INCHEADER = 0x10000000,
    CS_SPINNER = 0x20000000,
    CS_LOGSORT = 0x40000000,
};

// ---------------------------------------------------------------- events and answers

enum DialogEvent : int {
    DE_INIT = 0,
    DE_TIMER = 1,
    DE_PBPUSH = 2,
    DE_RBPUSH = 3,
    DE_CBCHECK = 4,
    DE_EDTEXT = 5,
    DE_FLSELECT = 6,
    DE_IBSELECT = 7,
    DE_DLCHANGE = 8,
    DE_CACHANGE = 9,
    DE_SPCHANGE = 10,
    DE_CLOSE = 11,
    DE_FLDBLCLICK = 12,
    DE_IBDBLCLICK = 13,
    DE_COMEVENT = 14,
    DE_MISELECT = 15,
    DE_MIINIT = 16,
    DE_RESIZE = 17,
    DE_RVRSELECT = 18,
    DE_RVRDBLCLICK = 19,
    DE_RVICHECK = 20,
    DE_RVITEXT = 21,
    DE_RVHCLICK = 22,
    DE_DTCHANGE = 23,
    DE_FOCUS = 24,
};
constexpr int DIALOG_EVENT_COUNT = 25;

// What CallDialogProcedure answers.
enum : int { OUTCOME_ENDING = 0, OUTCOME_DEFAULT = 1, OUTCOME_HANDLED = 2 };
// What the procedure answers.
enum : int32_t { RET_CANCEL = 0, RET_DEFAULT = -1, RET_NOEXIT = -2 };

// ---------------------------------------------------------------- messages and ids

enum : UINT {
    WM_DLG_OPTIONS = 7025,
    WM_DLG_STATE = 7026,
    WM_DLG_SET = 7027,
    WM_DLG_GET = 7028,
    WM_DLG_PUSHBUTTON = 7029,   // a dialog push button answers it with 7029
    WM_DLG_DESTROY = 7030,
    WM_DLG_OBJECT = 7031,
    WM_DLG_FOCUS = 7032,
    WM_DLG_DEFERRED = 7033,     // posted: deliver what came while the procedure ran
};

constexpr int DIALOG_ID_BASE = 100;      // control window ids
constexpr int MENU_ID_BASE = 500;        // menu item command ids
constexpr int NO_CONTROL = -100;         // a link to no control
constexpr int MAX_DIALOG_CONTROLS = 500;
constexpr int DIALOG_TEXT_CHARS = 2050;  // dialog texts move through buffers of this size
constexpr int CONTROL_NAME_MAX = 30;
constexpr int DIALOG_TIMER_ID = 1;
constexpr UINT_PTR DIALOG_CLASS_EXTRA_USER = DWLP_USER;
constexpr COLORREF NO_COLOR = static_cast<COLORREF>(-1);

// ---------------------------------------------------------------- one control

struct DialogControlRecord {
    uint16_t number;             // its line, counted from 1
    uint8_t type;                // ControlType
    ControlCreator creator;
    char variable[CONTROL_NAME_MAX + 1];
    std::string freeText;        // COMCONTROL: the Variable field as free text
    char parent[CONTROL_NAME_MAX + 1];   // MENUITEM: the parent's name and hash
    uint32_t parentHash;
    bool hasText;                // the Text field was not DEFAULT
    std::wstring text;           // Text (wide)
    std::string textA;           // Text kept as ANSI (field set 0x2000)
    int link[2];                 // FILELISTBOX: [0] its VARYTEXT, [1] its edit box;
                                 // RADIOBUTTON: [0] its group number
    int32_t value;
    int x, y, width, height;     // pixels
    int32_t tabOrder;
    uint32_t style;              // the @cs bits
    bool inGroup;                // lies inside a group box
    char name[CONTROL_NAME_MAX + 1];
    uint32_t nameHash;
    HFONT font;                  // null: the dialog's
    bool ownsFont;
    COLORREF textColor;          // NO_COLOR: none
    COLORREF backColor;          // NO_COLOR: none
    HBRUSH backBrush;
    bool ownsBrush;
    HBITMAP bitmap;
    std::wstring bitmapFile;
    HPALETTE palette;            // the bitmap's, made on first paint
    HANDLE drawDib;              // its DrawDib handle, opened on first paint

    // run time
    HWND window;                 // for a SPINNER the up-down part; its edit box is buddy
    HWND buddy;
    WNDPROC previousProc;        // the window procedure before the subclass
    WNDPROC previousBuddyProc;
    bool checked;                // RADIOBUTTON, CHECKBOX: the recorded check mark
    int32_t changeState;         // DROPLISTBOX change kind; CALENDAR selection mark
    uint32_t state;              // bit 0 focus (push buttons) or reject-the-edit (report
                                 // views), bit 1 pressed, bit 2 default look
    bool defaultBack;            // the background colour is the type's default, not its own
    std::wstring caption;        // PUSHBUTTON, PICTUREBUTTON: the text the button shows

    // menus: a MENUBAR's bar; a MENUITEM's menu that holds its entry and its own submenu;
    // any other control's context menu (in `subMenu`)
    HMENU menu;
    HMENU subMenu;

    // REPORTVIEW: the sorted column and the colour blocks of its rows
    int sortColumn;
    RowColorBlock* rowColors;
};

// ---------------------------------------------------------------- one dialog

// Something the user did while the procedure ran, delivered after the call
// (dialog_deferred.cpp): a menu choice, or a context menu asked for.
struct DeferredInput {
    enum Kind : uint8_t { MENU_CHOICE, CONTEXT_MENU } kind;
    int index;                   // MENU_CHOICE: the MENUITEM
    WPARAM wParam;               // CONTEXT_MENU: the WM_CONTEXTMENU's window and position
    LPARAM lParam;
};

struct Dialog6Record {
    BDS* ctx;
    int format;                  // 61 or 62
    bool wide;
    wchar_t caption[256];
    int x, y, width, height;     // pixels (x, y -1: not placed)
    int minWidth, minHeight;
    bool resizable;
    int lineCount;               // NumControls
    char procedure[CONTROL_NAME_MAX + 1];
    HFONT font;                  // null: DEFAULT_GUI_FONT
    COLORREF textColor;
    HBRUSH backBrush;
    HBITMAP backBitmap;
    std::string backgroundText;  // what @dpobkground reports
    int dpi[3];                  // the template's DPI and base units
    int screenDpi;
    int baseX, baseY;            // the system's dialog base units
    std::vector<DialogControlRecord*> controls;     // tab order
    std::vector<DialogControlRecord*> groupBoxes;   // template order
    bool hasMenuBar;
    int menuItemCount;
    std::vector<ACCEL> accelEntries;                // the MENUITEM shortcuts

    // run time
    HWND window;
    uint32_t events[DIALOG_EVENT_COUNT];   // [DE_TIMER] holds the timer interval
    int defaultButton;           // index, or the control count for none
    int cancelButton;
    HWND focusOnDeactivate;
    int clientWidthDU, clientHeightDU;
    int lastDeltaWidth, lastDeltaHeight;
    HACCEL accelerators;
    HMENU contextMenu;           // the dialog's own context menu (0 until needed)
    int menuBarRows;
    HPALETTE backPalette;        // the background bitmap's palette and DrawDib handle
    HANDLE backDrawDib;
    HDWP deferPos;
    int sysMenu;                 // 0-4
    int disabledDuringCall;      // 0, or 2 while the procedure runs disabled
    bool endedDuringInit;
    int busy;                    // procedure calls in progress (0 or 1)
    bool hasComControls;
    bool running;                // the modal loop runs
    bool ended;                  // the result is decided; the window goes
    int32_t result;
    uint32_t scopeSlot;          // the variable scope Dialog was called in
    uint32_t commonControls;     // ICC classes registered for this dialog
    int radioGroups;
    bool timerRunning;
    std::wstring fileMask;       // FILELISTBOX: the current and the previous mask
    std::wstring previousMask;

    // input that must outlive a procedure call (dialog_deferred.cpp)
    HWND pressWindow;            // a control whose window procedure handles a mouse press
    UINT pressRelease;           // the release that press waits for
    int pressBusy;               // the busy counter when the press came
    MSG heldRelease;             // that release, taken by the call's pump; hwnd 0: none
    int heldBusy;                // handed back when the busy counter is down to this
    std::vector<DeferredInput> deferred;   // in the order they came
    bool deferredPosted;         // WM_DLG_DEFERRED is on its way
};

// The record a dialog window keeps, or null.
Dialog6Record* DialogRecordOf(HWND dialog);

// The control at an index, or null.
inline DialogControlRecord* ControlAt(Dialog6Record* dlg, int index)
{
    return index >= 0 && index < static_cast<int>(dlg->controls.size()) ? dlg->controls[index] : nullptr;
}
inline int ControlCount(const Dialog6Record* dlg) { return static_cast<int>(dlg->controls.size()); }
