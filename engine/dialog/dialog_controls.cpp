// The controls of a 6.x dialog: the group-box ordering, one creator a type, and the
// initial listing of the FILELISTBOX.
#include "engine/dialog/dialog_controls.h"

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/dialog/dialog_colors.h"
#include "engine/dialog/dialog_fields.h"
#include "engine/dialog/dialog_filelist.h"
#include "engine/dialog/dialog_lists.h"
#include "engine/dialog/dialog_menus.h"
#include "engine/dialog/dialog_paint.h"
#include "engine/dialog/dialog_record.h"
#include "engine/dialog/dialog_report.h"
#include "engine/dialog/dialog_com.h"
#include "engine/dialog/report_view.h"
#include "engine/dialog/dialog_styles.h"
#include "engine/dialog/dialog_subclass.h"
#include "engine/dialog/dialog_text.h"
#include "engine/dialog/dialog_values.h"
#include "engine/system/date_text.h"

namespace {

constexpr uint16_t ERR_NO_RECORD = 1631;
constexpr uint16_t ERR_BAD_FORMAT = 1823;          // "Invalid format"
constexpr uint16_t ERR_NO_WINDOW = 3104;           // "Dialog Box: Window Creation Failed"
constexpr uint16_t ERR_COMMON_CONTROLS = 3960;
constexpr uint16_t ERR_SPIN_NOT_NUMBER = 3962;
constexpr uint16_t ERR_SPIN_POSITION = 3963;
constexpr uint16_t ERR_SPIN_RANGE = 3964;
constexpr uint16_t ERR_SECOND_OK = 3965;
constexpr uint16_t ERR_SECOND_CANCEL = 3966;
constexpr uint16_t ERR_BAD_TIME = 3977;            // "Dialog: Parameter contains an invalid time value"
constexpr uint16_t ERR_NOT_NUMERIC = 3978;

constexpr DWORD STYLE_STATIC = WS_CHILD;                                           // 0x40000000
constexpr DWORD STYLE_EDIT = WS_CHILD | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;   // 0x40810080
constexpr DWORD STYLE_MULTILINE = WS_CHILD | WS_BORDER | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL
                                  | ES_WANTRETURN;                                 // 0x40A11044
constexpr DWORD STYLE_RADIO = WS_CHILD | WS_TABSTOP | BS_RADIOBUTTON;              // 0x40010004
constexpr DWORD STYLE_CHECK = WS_CHILD | WS_TABSTOP | BS_CHECKBOX;                 // 0x40010002
constexpr DWORD STYLE_GROUP = WS_CHILD | WS_GROUP | BS_GROUPBOX;                   // 0x40020007
constexpr DWORD STYLE_PUSH = WS_CHILD | WS_TABSTOP;                                // 0x40010000
constexpr DWORD STYLE_PICTURE = WS_CHILD | SS_OWNERDRAW;                           // 0x4000000D
constexpr DWORD STYLE_FILELIST = WS_CHILD | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOINTEGRALHEIGHT | LBS_SORT
                                 | LBS_NOTIFY;                                     // 0x40A10103
constexpr DWORD STYLE_ITEMBOX = WS_CHILD | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_SORT | LBS_NOTIFY;   // 0x40A10003
constexpr DWORD STYLE_DROPLIST = WS_CHILD | WS_VSCROLL | WS_TABSTOP | CBS_AUTOHSCROLL | CBS_OWNERDRAWFIXED
                                 | CBS_HASSTRINGS;                                 // 0x40210250
constexpr DWORD STYLE_CALENDAR = WS_CHILD | WS_BORDER | WS_TABSTOP;                // 0x40810000
constexpr DWORD STYLE_DATETIME = WS_CHILD | WS_TABSTOP;                            // 0x40010000
constexpr DWORD STYLE_UPDOWN = WS_CHILD | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS;   // 0x400000A6
constexpr DWORD STYLE_PROGRESS = WS_CHILD | WS_VISIBLE | WS_TABSTOP | PBS_SMOOTH;   // 0x50010001
constexpr DWORD STYLE_REPORT = WS_CHILD | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS;   // 0x40010009
constexpr DWORD STYLE_COM = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_TABSTOP;   // 0x56010000

constexpr int MSG_OK = 120;
constexpr int MSG_CANCEL = 121;
constexpr int SPIN_MIN = -16383, SPIN_MAX = 16383, SPIN_WIDEST = 32767;
constexpr int PROGRESS_DEFAULTS[3] = {0, 100, 10};
constexpr uint32_t ICC_FOR_DATES = ICC_DATE_CLASSES;
constexpr uint32_t ICC_FOR_SPINNER = ICC_UPDOWN_CLASS;

DialogControlRecord* At(Dialog6Record* dlg, int index) { return dlg->controls[index]; }

// ---------------------------------------------------------------- shared steps

// A static control with a context menu takes clicks (so the menu can be asked for).
DWORD ContextMenuNotify(const Dialog6Record* dlg, const DialogControlRecord* c)
{
    bool staticText = c->type == CT_STATICTEXT || c->type == CT_VARYTEXT || c->type == CT_PICTURE;
    return staticText && ControlHasMenuItems(dlg, c) ? SS_NOTIFY : 0;
}

DWORD WindowStyle(const DialogControlRecord* c, DWORD base)
{
    DWORD style = base;
    if (!c->inGroup)
        style |= WS_GROUP;
    StyleToWindowStyle(c->type, c->style, &style);
    return style;
}

int CreationFailed(BDS* ctx, int type)
{
    DWORD systemError = GetLastError();
    const ControlTypeRow* row = ControlTypeRowOf(type);
    const char* operation = row ? row->operationName : "Dialog";
    SetError(ctx, ERR_NO_WINDOW);
    if (systemError)
        AddSystemErrorInfo(ctx, systemError, operation);
    DialogErrorReport(ctx, ERR_NO_WINDOW, nullptr, operation);
    return 0;
}

// Creates the control's window with its font, default colours and subclass.
// `windowType` names the window's class when it is not the control's own (the edit box of
// a SPINNER).
HWND MakeWindow(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog, DWORD exStyle, DWORD style,
                const wchar_t* text, bool subclass = true, int windowType = CT_NONE)
{
    DialogControlRecord* c = At(dlg, index);
    SetLastError(0);
    int type = windowType != CT_NONE ? windowType : c->type;
    HWND window = DialogControlCreate(exStyle, type, text, style, c->x, c->y, c->width, c->height, dialog, index);
    if (!window) {
        CreationFailed(ctx, c->type);
        return nullptr;
    }
    c->window = window;
    DialogControlSetFont(window, c);
    DefaultControlColors(dlg, c);
    if (subclass)
        SubclassDialogControl(dlg, c, window);
    return window;
}

// The variable's text; an undefined variable is created (empty, or 0 for `asNumber`).
bool VariableOrCreate(BDS* ctx, const char* name, std::wstring& text, bool asNumber = false)
{
    if (VariableTextW(ctx, name, text))
        return true;
    if (asNumber)
        SetVariableByName(ctx, name, nullptr, 0, SV_INT);
    else
        SetVariableByName(ctx, name, "", 0, SV_STRING);
    return false;
}

int32_t TextInteger(const std::wstring& text)
{
    int32_t value = 0;
    return FieldInteger(text, &value) ? value : 0;
}

bool InitCommonControlsOnce(BDS* ctx, Dialog6Record* dlg, uint32_t classes)
{
    if ((dlg->commonControls & classes) == classes)
        return true;
    HMODULE library = GetModuleHandleW(L"comctl32.dll");
    if (!library)
        library = LoadLibraryW(L"comctl32.dll");
    using PfnInit = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    auto init = library ? reinterpret_cast<PfnInit>(GetProcAddress(library, "InitCommonControlsEx")) : nullptr;
    INITCOMMONCONTROLSEX icc{sizeof icc, classes};
    if (!init || !init(&icc))
        return DialogFail(ctx, ERR_COMMON_CONTROLS) != 0;
    dlg->commonControls |= classes;
    return true;
}

// ---------------------------------------------------------------- group boxes

// The height a drop-list box has while closed.
int ClosedHeight(HWND dialog, const DialogControlRecord* c)
{
    int edge = GetSystemMetrics(SM_CYEDGE);
    int height = 0;
    HDC dc = GetDC(dialog);
    if (!dc)
        return c->height;
    TEXTMETRICW tm{};
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    GetTextMetricsW(dc, &tm);
    height = tm.tmHeight * 3 / 2 + 2 * edge;
    if (c->font) {
        SelectObject(dc, c->font);
        GetTextMetricsW(dc, &tm);
        int own = tm.tmHeight + 2 * edge + 2;
        if (own > height)
            height = own;
    }
    SelectObject(dc, old);
    ReleaseDC(dialog, dc);
    return height;
}

bool InsideGroup(HWND dialog, const DialogControlRecord* c, const DialogControlRecord* group)
{
    int height = c->type == CT_DROPLISTBOX ? ClosedHeight(dialog, c) : c->height;
    RECT inner = {c->x, c->y, c->x + c->width, c->y + height};
    RECT outer = {group->x, group->y, group->x + group->width, group->y + group->height};
    RECT both;
    UnionRect(&both, &inner, &outer);
    return EqualRect(&both, &outer) != FALSE;
}

bool IsMenu(const DialogControlRecord* c) { return c->type == CT_MENUBAR || c->type == CT_MENUITEM; }

// Each group box's members follow it, taking its tab order; the rest keep theirs.
bool OrderGroupBoxes(BDS* ctx, Dialog6Record* dlg, HWND dialog)
{
    std::vector<DialogControlRecord*> ordered;
    std::vector<bool> placed;
    try {
        ordered.reserve(dlg->controls.size() + 1);
        placed.assign(dlg->controls.size(), false);
    } catch (...) {
        return DialogFail(ctx, ERR_NO_RECORD) != 0;
    }
    auto insert = [&](DialogControlRecord* c) {
        int count = static_cast<int>(ordered.size());
        ordered.push_back(nullptr);
        InsertByTabOrder(c, count, ordered.data());
    };
    auto position = [&](DialogControlRecord* c) {
        for (size_t i = 0; i < ordered.size(); ++i)
            if (ordered[i] == c)
                return i;
        return ordered.size();
    };
    std::vector<DialogControlRecord*>& old = dlg->controls;
    for (DialogControlRecord* group : dlg->groupBoxes) {
        for (size_t i = 0; i < old.size(); ++i)
            if (old[i] == group)
                placed[i] = true;
        insert(group);
        size_t at = position(group) + 1;
        for (size_t i = 0; i < old.size(); ++i) {
            DialogControlRecord* c = old[i];
            if (placed[i] || IsMenu(c) || c->type == CT_GROUPBOX || !InsideGroup(dialog, c, group))
                continue;
            c->tabOrder = group->tabOrder;
            c->inGroup = true;
            placed[i] = true;
            ordered.insert(ordered.begin() + static_cast<std::ptrdiff_t>(at++), c);
        }
    }
    for (size_t i = 0; i < old.size(); ++i)
        if (!placed[i])
            insert(old[i]);
    dlg->controls.swap(ordered);
    return true;
}

// A control whose window shows its Text and takes nothing from a variable (not subclassed).
int CreateTextWindow(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog, DWORD exStyle, DWORD base)
{
    DialogControlRecord* c = At(dlg, index);
    return MakeWindow(ctx, dlg, index, dialog, exStyle, WindowStyle(c, base) | ContextMenuNotify(dlg, c),
                      c->text.c_str(), false)
           != nullptr;
}

// ---------------------------------------------------------------- edit fields

HWND MakeEditWindow(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog, DWORD style, const wchar_t* text)
{
    HWND edit = MakeWindow(ctx, dlg, index, dialog, WS_EX_CLIENTEDGE, style, text, true, CT_EDITBOX);
    if (edit)
        SendMessageW(edit, EM_LIMITTEXT, 0, 0);
    return edit;
}

bool IsPasswordName(const char* name)
{
    return (name[0] == 'p' || name[0] == 'P') && (name[1] == 'w' || name[1] == 'W') && name[2] == '_';
}

// ---------------------------------------------------------------- push buttons

std::wstring ButtonCaption(BDS* ctx, const DialogControlRecord* c)
{
    if (c->hasText)
        return c->text;
    if (c->value != 0 && c->value != 1)
        return std::wstring();
    int which = c->value == 1 ? 0 : 1;
    const ButtonCaptions& own = ctx->eng.buttons;
    if (own.bWideSet && own.wide[which][0])
        return own.wide[which];
    if (own.bNarrowSet && own.narrow[which][0])
        return WideFromNarrow(ctx, own.narrow[which]);
    wchar_t caption[64] = {};
    LoadMyStringW(ctx, EngineModule(), which == 0 ? MSG_OK : MSG_CANCEL, caption, 64);
    return caption;
}

// ---------------------------------------------------------------- drop-list and item lists

void FillWithNotDefined(HWND list, int type, const char* variable, BDS* ctx)
{
    std::wstring lines = L"Error:\t" + WideFromNarrow(ctx, variable) + L"\tnot defined.";
    DialogListFill(list, type, lines.c_str());
}

}  // namespace

// ---------------------------------------------------------------- shared with other files

bool IsPushButton(const DialogControlRecord* c) { return c->type == CT_PUSHBUTTON || c->type == CT_PICTUREBUTTON; }

bool ProgressRangeFromText(const std::wstring& text, int32_t out[3])
{
    size_t start = 0;
    for (int i = 0; i < 3 && start <= text.size(); ++i) {
        size_t bar = text.find(L'|', start);
        std::wstring part = text.substr(start, bar == std::wstring::npos ? std::wstring::npos : bar - start);
        bool blank = part.find_first_not_of(L" \t") == std::wstring::npos;
        if (!blank && !FieldInteger(part, &out[i]))
            return false;
        if (bar == std::wstring::npos)
            break;
        start = bar + 1;
    }
    return true;
}

bool DateTimeRangeFromText(BDS* ctx, DialogControlRecord* c, const std::wstring& text)
{
    bool calendar = c->type == CT_CALENDAR;
    if (text.find_first_not_of(L" \t") == std::wstring::npos) {
        if (!calendar && (c->style & CS_CHECKBOX)) {
            SYSTEMTIME unused{};   // ignored with GDT_NONE, yet some pickers refuse a null record
            SendMessageW(c->window, DTM_SETSYSTEMTIME, GDT_NONE, reinterpret_cast<LPARAM>(&unused));
        }
        return true;
    }
    SYSTEMTIME range[2] = {};
    DWORD limits = 0;
    size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        size_t bar = text.find(L'|', start);
        std::wstring part = text.substr(start, bar == std::wstring::npos ? std::wstring::npos : bar - start);
        size_t first = part.find_first_not_of(L" \t");
        if (first != std::wstring::npos) {
            YmdHmsFields f{};
            std::string narrow = NarrowFromWide(ctx, part.c_str() + first);
            if (!ParseYMDHMS(narrow.c_str(), &f, YMD_CHECK_FULL, 1))
                return DialogFailW(ctx, ERR_BAD_TIME, nullptr, text.c_str()) != 0;
            SYSTEMTIME t{};
            t.wYear = static_cast<WORD>(f.year);
            t.wMonth = static_cast<WORD>(f.month);
            t.wDay = static_cast<WORD>(f.day);
            t.wHour = static_cast<WORD>(f.hour);
            t.wMinute = static_cast<WORD>(f.minute);
            t.wSecond = static_cast<WORD>(f.second);
            if (i == 0) {
                if (calendar)
                    SendMessageW(c->window, MCM_SETCURSEL, 0, reinterpret_cast<LPARAM>(&t));
                else
                    SendMessageW(c->window, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&t));
            } else {
                range[i - 1] = t;
                limits |= i == 1 ? GDTR_MIN : GDTR_MAX;
            }
        }
        if (bar == std::wstring::npos)
            break;
        start = bar + 1;
    }
    if (limits)
        SendMessageW(c->window, calendar ? MCM_SETRANGE : DTM_SETRANGE, limits, reinterpret_cast<LPARAM>(range));
    return true;
}

SIZE MeasureDateTimeControl(Dialog6Record* dlg, DialogControlRecord* c)
{
    std::wstring picture;
    if (c->hasText) {
        bool quoted = false;
        std::wstring date, time;
        for (wchar_t ch : c->text) {
            if (ch == L'\'')
                quoted = !quoted;
            bool timeLetter = !quoted && (ch == L'H' || ch == L'h' || ch == L'm' || ch == L's' || ch == L't');
            (timeLetter ? time : date) += ch;
        }
        picture = date + time;
    } else {
        wchar_t format[128] = {};
        LCTYPE kind = (c->style & CS_SPINNER) ? LOCALE_STIMEFORMAT : LOCALE_SSHORTDATE;
        GetLocaleInfoW(LOCALE_USER_DEFAULT, kind, format, 128);
        picture = format;
    }
    picture += L"W";
    SIZE size{};
    HDC dc = GetDC(c->window);
    if (dc) {
        HGDIOBJ old = SelectObject(dc, c->font ? c->font : dlg->font ? dlg->font : GetStockObject(DEFAULT_GUI_FONT));
        GetTextExtentPoint32W(dc, picture.c_str(), static_cast<int>(picture.size()), &size);
        TEXTMETRICW tm{};
        GetTextMetricsW(dc, &tm);
        size.cx += GetSystemMetrics(SM_CXVSCROLL);
        if (c->style & CS_CHECKBOX)
            size.cx += 5 * tm.tmAveCharWidth;
        size.cy = size.cy * 3 / 2;
        SelectObject(dc, old);
        ReleaseDC(c->window, dc);
    }
    return size;
}


HWND DialogControlCreate(DWORD exStyle, int type, const wchar_t* text, DWORD style, int x, int y, int width,
                         int height, HWND parent, int index)
{
    const ControlTypeRow* row = ControlTypeRowOf(type);
    if (!row || !row->windowClass)
        return nullptr;
    return CreateWindowExW(exStyle, row->windowClass, text ? text : L"", style, x, y, width, height, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(DIALOG_ID_BASE + index)), EngineModule(),
                           nullptr);
}

void DialogControlSetFont(HWND window, const DialogControlRecord* control)
{
    HGDIOBJ font = control->font ? static_cast<HGDIOBJ>(control->font) : GetStockObject(DEFAULT_GUI_FONT);
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

// ---------------------------------------------------------------- the creators

int CreateStaticTextControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog)
{
    return CreateTextWindow(ctx, dlg, index, dialog, 0, STYLE_STATIC);
}

int CreateVaryTextControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog)
{
    DialogControlRecord* c = At(dlg, index);
    std::wstring text;
    if (!VariableOrCreate(ctx, c->variable, text))
        text = c->text;
    return MakeWindow(ctx, dlg, index, dialog, 0, WindowStyle(c, STYLE_STATIC) | ContextMenuNotify(dlg, c),
                      text.c_str(), false)
           != nullptr;
}

int CreateEditBoxControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog)
{
    DialogControlRecord* c = At(dlg, index);
    std::wstring text;
    if (!VariableOrCreate(ctx, c->variable, text))
        text = c->text;
    DWORD style = WindowStyle(c, c->type == CT_MULTILINEBOX ? STYLE_MULTILINE : STYLE_EDIT);
    if (c->type == CT_EDITBOX && IsPasswordName(c->variable))
        style |= ES_PASSWORD;
    return MakeEditWindow(ctx, dlg, index, dialog, style, text.c_str()) != nullptr;
}

int CreateRadioButtonControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog)
{
    DialogControlRecord* first = At(dlg, index);
    std::wstring text;
    int32_t value = VariableOrCreate(ctx, first->variable, text, true) ? TextInteger(text) : 0;
    std::vector<int> group;
    for (int i = index; i < ControlCount(dlg); ++i) {
        DialogControlRecord* c = At(dlg, i);
        if (c->type == CT_RADIOBUTTON && !c->window && lstrcmpiA(c->variable, first->variable) == 0)
            group.push_back(i);
    }
    int number = dlg->radioGroups++;
    for (size_t k = 0; k < group.size(); ++k) {
        DialogControlRecord* c = At(dlg, group[k]);
        c->link[0] = number;
        c->checked = c->value == value || (value == 0 && k == 0);
        DWORD style = STYLE_RADIO;
        if (k == 0 && (!c->inGroup || group.size() >= 2))
            style |= WS_GROUP;
        StyleToWindowStyle(c->type, c->style, &style);
        HWND window = MakeWindow(ctx, dlg, group[k], dialog, 0, style, c->text.c_str());
        if (!window)
            return 0;
        SendMessageW(window, BM_SETCHECK, c->checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    return 1;
}

int CreateCheckBoxControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog)
{
    DialogControlRecord* c = At(dlg, index);
    std::wstring text;
    int32_t value = VariableOrCreate(ctx, c->variable, text, true) ? TextInteger(text) : 0;
    c->checked = (value & c->value) != 0;
    HWND window = MakeWindow(ctx, dlg, index, dialog, 0, WindowStyle(c, STYLE_CHECK), c->text.c_str());
    if (window)
        SendMessageW(window, BM_SETCHECK, c->checked ? BST_CHECKED : BST_UNCHECKED, 0);
    return window != nullptr;
}

int CreateGroupBoxControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog)
{
    return CreateTextWindow(ctx, dlg, index, dialog, WS_EX_TRANSPARENT, STYLE_GROUP);
}

int CreatePushButtonControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog)
{
    DialogControlRecord* c = At(dlg, index);
    if (c->value == 0 || c->value == 1) {
        for (int i = 0; i < index; ++i) {
            DialogControlRecord* other = At(dlg, i);
            if (IsPushButton(other) && other->value == c->value)
                return DialogFailW(ctx, c->value == 1 ? ERR_SECOND_OK : ERR_SECOND_CANCEL, nullptr, c->text.c_str());
        }
    }
    DWORD style = WindowStyle(c, STYLE_PUSH);
    if (c->style & CS_DEFBUTTON) {
        c->state |= 4;   // looks like the default button
        if (dlg->defaultButton >= ControlCount(dlg) || !ControlAt(dlg, dlg->defaultButton)) {
            dlg->defaultButton = index;
            style |= BS_DEFPUSHBUTTON;
        }
    }
    if (c->value == 0)
        dlg->cancelButton = index;
    c->caption = ButtonCaption(ctx, c);
    HWND button = MakeWindow(ctx, dlg, index, dialog, 0, style, c->caption.c_str(), false);
    if (button)
        SubclassPushButton(dlg, c, button);
    return button != nullptr;
}

int CreatePictureControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog)
{
    return CreateTextWindow(ctx, dlg, index, dialog, WS_EX_TRANSPARENT, STYLE_PICTURE);
}

int CreateFileListboxControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog)
{
    DialogControlRecord* c = At(dlg, index);
    std::wstring path;
    VariableOrCreate(ctx, c->variable, path);
    for (int i = 0; i < ControlCount(dlg); ++i) {
        DialogControlRecord* other = At(dlg, i);
        if (i == index || lstrcmpiA(other->variable, c->variable) != 0)
            continue;
        if (other->type == CT_VARYTEXT)
            c->link[0] = i;
        else if (other->type == CT_EDITBOX || other->type == CT_MULTILINEBOX)
            c->link[1] = i;
    }
    return MakeWindow(ctx, dlg, index, dialog, 0, WindowStyle(c, STYLE_FILELIST), L"") != nullptr;
}

int CreateItemListboxControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog)
{
    DialogControlRecord* c = At(dlg, index);
    DWORD base = ctx->eng.ctl.ListBoxMultiSelect ? STYLE_ITEMBOX | LBS_EXTENDEDSEL : STYLE_ITEMBOX;
    HWND list = MakeWindow(ctx, dlg, index, dialog, 0, WindowStyle(c, base), L"");
    if (!list)
        return 0;
    std::wstring items;
    if (VariableOrCreate(ctx, c->variable, items))
        DialogListFill(list, CT_ITEMBOX, items.c_str());
    else
        FillWithNotDefined(list, CT_ITEMBOX, c->variable, ctx);
    if (c->hasText)
        DialogListSelect(list, CT_ITEMBOX, c->text.c_str());
    return 1;
}

int CreateDropListBoxControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog)
{
    DialogControlRecord* c = At(dlg, index);
    HWND box = MakeWindow(ctx, dlg, index, dialog, WS_EX_CLIENTEDGE, WindowStyle(c, STYLE_DROPLIST), L"");
    if (!box)
        return 0;
    std::wstring items;
    if (VariableOrCreate(ctx, c->variable, items))
        DialogListFill(box, CT_DROPLISTBOX, items.c_str());
    else
        FillWithNotDefined(box, CT_DROPLISTBOX, c->variable, ctx);
    if (c->hasText) {
        LRESULT found =
            SendMessageW(box, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(c->text.c_str()));
        if (found == CB_ERR)
            found = SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(c->text.c_str()));
        SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(found), 0);
    }
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (GetComboBoxInfo(box, &info) && info.hwndItem && info.hwndItem != box) {
        c->buddy = info.hwndItem;
        SubclassDialogControlPart(dlg, c, info.hwndItem);
    }
    return 1;
}

int CreateCalendarControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog)
{
    DialogControlRecord* c = At(dlg, index);
    if (!InitCommonControlsOnce(ctx, dlg, ICC_FOR_DATES))
        return 0;
    if (!MakeWindow(ctx, dlg, index, dialog, 0, WindowStyle(c, STYLE_CALENDAR), L""))
        return 0;
    std::wstring date;
    VariableOrCreate(ctx, c->variable, date);
    return DateTimeRangeFromText(ctx, c, date);
}

int CreateDateTimeControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog)
{
    DialogControlRecord* c = At(dlg, index);
    if (!InitCommonControlsOnce(ctx, dlg, ICC_FOR_DATES))
        return 0;
    HWND picker = MakeWindow(ctx, dlg, index, dialog, 0, WindowStyle(c, STYLE_DATETIME), L"");
    if (!picker)
        return 0;
    if (c->hasText && !SendMessageW(picker, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(c->text.c_str())))
        return DialogFailW(ctx, ERR_BAD_FORMAT, nullptr, c->text.c_str());
    if (c->textColor != NO_COLOR) {
        SendMessageW(picker, DTM_SETMCCOLOR, MCSC_TEXT, static_cast<LPARAM>(c->textColor));
        SendMessageW(picker, DTM_SETMCCOLOR, MCSC_TITLETEXT, static_cast<LPARAM>(c->textColor));
    }
    if (c->backColor != NO_COLOR) {
        SendMessageW(picker, DTM_SETMCCOLOR, MCSC_BACKGROUND, static_cast<LPARAM>(c->backColor));
        SendMessageW(picker, DTM_SETMCCOLOR, MCSC_MONTHBK, static_cast<LPARAM>(c->backColor));
    }
    if (c->font)
        SendMessageW(picker, DTM_SETMCFONT, reinterpret_cast<WPARAM>(c->font), FALSE);
    std::wstring value;
    VariableOrCreate(ctx, c->variable, value);
    if (!DateTimeRangeFromText(ctx, c, value))
        return 0;
    SIZE needed = MeasureDateTimeControl(dlg, c);
    if (needed.cx > c->width || needed.cy > c->height) {
        c->width = needed.cx > c->width ? needed.cx : c->width;
        c->height = needed.cy > c->height ? needed.cy : c->height;
        SetWindowPos(picker, nullptr, 0, 0, c->width, c->height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return 1;
}

int CreateSpinnerControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog)
{
    DialogControlRecord* c = At(dlg, index);
    std::wstring range;
    VariableOrCreate(ctx, c->variable, range);
    int32_t limits[3] = {SPIN_MIN, SPIN_MAX, 1};
    if (!ProgressRangeFromText(range, limits))
        return DialogFailW(ctx, ERR_SPIN_NOT_NUMBER, c->variable, range.c_str());
    if (static_cast<int64_t>(limits[1]) - limits[0] > SPIN_WIDEST
        || static_cast<int64_t>(limits[0]) - limits[1] > SPIN_WIDEST)
        return DialogFail(ctx, ERR_SPIN_RANGE, nullptr, c->variable);
    int32_t position = limits[0];
    if (c->hasText && !FieldInteger(c->text, &position))
        return DialogFailW(ctx, ERR_SPIN_POSITION, nullptr, c->text.c_str());
    if (!InitCommonControlsOnce(ctx, dlg, ICC_FOR_SPINNER))
        return 0;

    DWORD editStyle = STYLE_EDIT | ES_RIGHT | (c->inGroup ? 0 : WS_GROUP);
    StyleToWindowStyle(CT_EDITBOX, c->style & (CS_INVISIBLE | CS_DISABLED | CS_READONLY), &editStyle);
    HWND edit = MakeEditWindow(ctx, dlg, index, dialog, editStyle, L"");
    if (!edit)
        return 0;
    c->buddy = edit;
    c->window = nullptr;
    c->previousBuddyProc = c->previousProc;   // the subclass sits on the edit box
    c->previousProc = nullptr;
    DWORD arrowsStyle = STYLE_UPDOWN;
    StyleToWindowStyle(CT_SPINNER, c->style & (CS_INVISIBLE | CS_DISABLED), &arrowsStyle);
    SetLastError(0);
    HWND arrows = DialogControlCreate(0, CT_SPINNER, L"", arrowsStyle, c->x + c->width, c->y,
                                      GetSystemMetrics(SM_CXVSCROLL), c->height, dialog, index);
    if (!arrows)
        return CreationFailed(ctx, CT_SPINNER);
    c->window = arrows;
    SendMessageW(arrows, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit), 0);
    SendMessageW(arrows, UDM_SETRANGE32, static_cast<WPARAM>(limits[0]), static_cast<LPARAM>(limits[1]));
    UDACCEL step = {0, static_cast<UINT>(limits[2])};
    SendMessageW(arrows, UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&step));
    SendMessageW(arrows, UDM_SETPOS32, 0, position);
    return 1;
}

int CreateProgressControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog)
{
    DialogControlRecord* c = At(dlg, index);
    int32_t values[3] = {PROGRESS_DEFAULTS[0], PROGRESS_DEFAULTS[1], PROGRESS_DEFAULTS[2]};
    if (c->hasText && !ProgressRangeFromText(c->text, values))
        return DialogFailW(ctx, ERR_NOT_NUMERIC, nullptr, c->text.c_str());
    if (!InitCommonControlsOnce(ctx, dlg, ICC_PROGRESS_CLASS))
        return 0;
    HWND bar = MakeWindow(ctx, dlg, index, dialog, 0, WindowStyle(c, STYLE_PROGRESS), L"");
    if (!bar)
        return 0;
    SendMessageW(bar, PBM_SETRANGE32, static_cast<WPARAM>(values[0]), values[1]);
    SendMessageW(bar, PBM_SETSTEP, static_cast<WPARAM>(values[2]), 0);
    wchar_t text[48];
    wsprintfW(text, L"%02d|%02d|%02d", values[0], values[1], values[2]);
    c->text = text;
    c->hasText = true;
    if (c->textColor != NO_COLOR)
        SendMessageW(bar, PBM_SETBARCOLOR, 0, static_cast<LPARAM>(c->textColor));
    if (c->backColor != NO_COLOR)
        SendMessageW(bar, PBM_SETBKCOLOR, 0, static_cast<LPARAM>(c->backColor));
    return 1;
}

int CreateReportViewControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog)
{
    DialogControlRecord* c = At(dlg, index);
    if (!InitCommonControlsOnce(ctx, dlg, ICC_LISTVIEW_CLASSES))
        return 0;
    wchar_t title[48];
    std::wstring name = WideFromNarrow(ctx, c->name);
    if (dlg->format != 62)
        wsprintfW(title, L"Details %d", c->number);
    HWND view = MakeWindow(ctx, dlg, index, dialog, WS_EX_CLIENTEDGE, WindowStyle(c, STYLE_REPORT),
                           dlg->format == 62 ? name.c_str() : title);
    if (!view)
        return 0;
    DWORD extended = 0;
    if (c->style & CS_GRID)
        extended |= LVS_EX_GRIDLINES;
    if (c->style & CS_FULLSEL)
        extended |= LVS_EX_FULLROWSELECT;
    if (c->style & CS_CHECKBOX)
        extended |= LVS_EX_CHECKBOXES;
    if (extended)
        SendMessageW(view, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
    if (c->textColor != NO_COLOR)
        SendMessageW(view, LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(c->textColor));
    if (c->backColor != NO_COLOR) {
        SendMessageW(view, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(c->backColor));
        SendMessageW(view, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(c->backColor));
    }
    return ReportViewFill(ctx, dlg, index, view);
}

int CreateComControl(BDS* ctx, Dialog6Record* dlg, int index, HWND dialog)
{
    DialogControlRecord* c = At(dlg, index);
    DefaultControlColors(dlg, c);
    SetLastError(0);
    HWND host = CreateComHostWindow(ctx, dlg, c, dialog, index, WindowStyle(c, STYLE_COM));
    if (!host) {
        DWORD systemError = GetLastError();
        SetError(ctx, ERR_NO_WINDOW);
        if (systemError)
            AddSystemErrorInfo(ctx, systemError, "ComControl");
        DialogErrorReportW(ctx, ERR_NO_WINDOW, nullptr, c->text.c_str());
        return 0;
    }
    c->window = host;
    dlg->hasComControls = true;
    return 1;
}

int CreateDialogControls(BDS* ctx, Dialog6Record* dlg, HWND dialog)
{
    if (!dlg->groupBoxes.empty() && !OrderGroupBoxes(ctx, dlg, dialog))
        return 0;
    dlg->defaultButton = dlg->cancelButton = ControlCount(dlg);
    for (int i = 0; i < ControlCount(dlg); ++i) {
        DialogControlRecord* c = At(dlg, i);
        if (!c->window && !c->creator(ctx, dlg, i, dialog))   // a radio group's first made the rest
            return 0;
    }
    for (DialogControlRecord* c : dlg->controls) {
        if (c->type != CT_FILELISTBOX)
            continue;
        std::wstring path;
        VariableTextW(ctx, c->variable, path);
        DialogControlRecord* folderText = ControlAt(dlg, c->link[0]);
        HWND folder = folderText ? folderText->window : nullptr;
        if (!DialogDirListW(ctx, dialog, path, c->window, folder, FILE_LIST_FLAGS)) {
            path = L"*.*";
            DialogDirListW(ctx, dialog, path, c->window, folder, FILE_LIST_FLAGS);
        }
        dlg->fileMask = dlg->previousMask = path;
        if (DialogControlRecord* edit = ControlAt(dlg, c->link[1]))
            SetWindowTextW(edit->window, path.c_str());
        if (c->hasText)
            DialogListSelect(c->window, CT_FILELISTBOX, c->text.c_str());
    }
    return 1;
}
