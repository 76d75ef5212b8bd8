// DialogControlSet on the window side (message 7027): the new value converted to the form
// its request needs, then applied to the control by request code and control type.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "engine/core/context.h"
#include "engine/core/engine_setup.h"
#include "engine/dialog/dialog_colors.h"
#include "engine/dialog/dialog_com.h"
#include "engine/dialog/dialog_controls.h"
#include "engine/dialog/dialog_fields.h"
#include "engine/dialog/dialog_filelist.h"
#include "engine/dialog/dialog_find.h"
#include "engine/dialog/dialog_lists.h"
#include "engine/dialog/dialog_menus.h"
#include "engine/dialog/dialog_paint.h"
#include "engine/dialog/dialog_record.h"
#include "engine/dialog/dialog_report.h"
#include "engine/dialog/dialog_request_args.h"
#include "engine/dialog/dialog_requests.h"
#include "engine/dialog/dialog_servers.h"
#include "engine/dialog/dialog_styles.h"
#include "engine/dialog/dialog_template.h"
#include "engine/dialog/dialog_text.h"
#include "engine/dialog/dialog_units.h"
#include "engine/dialog/report_view.h"

namespace {

constexpr uint16_t ERR_NOT_TEXT = 3056;       // "Variable could not be converted to string"
constexpr uint16_t ERR_BAD_FORMAT = 1823;     // "Invalid format"
constexpr uint16_t ERR_BAD_REQUEST = 3974;    // "Dialog: Bad request number"
constexpr uint16_t ERR_NOT_NUMERIC = 3978;    // "Dialog: Expecting a numeric value in parameter"
constexpr uint16_t ERR_BAD_COLOR = 3980;      // "Dialog: Bad color description"
constexpr uint16_t ERR_BAD_BITMAP = 3981;     // "Dialog: Bad bitmap file"
constexpr size_t MAX_TAB_STOPS = 2047;


enum class Form { integer, wide, narrow, none };

Form FormOf(uint32_t code)
{
    switch (code) {
    case RQ_CHECK: case RQ_SCROLL: case RQ_DOT: case RQ_SPIN: case RQ_REMOVECOL: case RQ_CANCELEDIT: case RQ_BARPOS:
        return Form::integer;
    case RQ_DATE: case RQ_TABSTOP: case RQ_BACKCOLOR: case RQ_BITMAP: case RQ_TEXTCOLOR: case RQ_POSITION:
    case RQ_ITEMCOLOR:
        return Form::narrow;
    case RQ_GROUPDOT: case RQ_MENUNAMES: case RQ_HWND: case RQ_FIND: case RQ_GETCHECKED: case RQ_ITEMROW:
        return Form::none;
    default:
        return Form::wide;
    }
}

// The requests a report view serves itself (with its own value forms).
bool ReportViewRequest(uint32_t code)
{
    switch (code) {
    case RQ_CHECK: case RQ_CONTENTS: case RQ_SELECT: case RQ_SCROLL: case RQ_ADDITEM: case RQ_REMITEM:
    case RQ_HEADERTEXT: case RQ_COLWIDTH: case RQ_APPENDCOL: case RQ_REMOVECOL: case RQ_CANCELEDIT:
    case RQ_COLFORMAT: case RQ_ITEMCOLOR: case RQ_ITEMTEXT:
        return true;
    default:
        return false;
    }
}

struct Request {
    BDS* ctx;
    Dialog6Record* dlg;
    HWND dialog;
    DialogControlRecord* c;
    int index;
    int32_t number = 0;
    std::wstring wide;
    std::string narrow;
};

bool IsType(const DialogControlRecord* c, std::initializer_list<int> types)
{
    for (int t : types)
        if (c->type == t)
            return true;
    return false;
}

bool Accepts(const DialogControlRecord* c, uint32_t fieldBit)
{
    const ControlTypeRow* row = ControlTypeRowOf(c->type);
    return row && (row->fieldSet & fieldBit);
}

// The dialog repaints the control's place (a caption on a transparent background).
void RepaintPlace(HWND dialog, const DialogControlRecord* c)
{
    RECT r;
    GetControlRect(dialog, c, &r);
    InvalidateRect(dialog, &r, TRUE);
    UpdateWindow(dialog);
}

bool TransparentBack(const DialogControlRecord* c) { return c->backColor == NO_COLOR && c->backBrush; }

// A value that names a failure: the error set and reported with the value's text.
int Fail(Request& r, uint16_t number, const std::wstring& detail)
{
    return DialogFailW(r.ctx, number, nullptr, detail.c_str());
}

// ---------------------------------------------------------------- lists

// The first item whose text equals the value exactly (case included), or -1.
LRESULT FindExact(HWND list, bool combo, const std::wstring& value)
{
    LRESULT count = SendMessageW(list, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i)
        if (ListItemText(list, combo, i) == value)
            return i;
    return -1;
}

int DropListSelect(Request& r)
{
    HWND box = r.c->window;
    LRESULT found = FindExact(box, true, r.wide);
    if (found < 0 && r.wide.empty()) {
        SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        SetWindowTextW(box, L"");
        r.c->changeState = 0;
        return 1;
    }
    if (found < 0)
        found = SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(r.wide.c_str()));
    if (found < 0)
        return 0;
    SendMessageW(box, CB_SETCURSEL, static_cast<WPARAM>(found), 0);
    r.c->changeState = 0;
    return 1;
}

int ListSelect(Request& r)
{
    int answer = DialogListSelect(r.c->window, r.c->type, r.wide.c_str());
    if (r.c->type == CT_FILELISTBOX && r.c->link[1] != NO_CONTROL && r.dlg->window)
        SendMessageW(r.dialog, WM_COMMAND, MAKEWPARAM(DIALOG_ID_BASE + r.index, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(r.c->window));
    return answer;
}

int ListScroll(Request& r)
{
    HWND list = r.c->window;
    if (r.c->type == CT_MULTILINEBOX) {
        LRESULT first = SendMessageW(list, EM_GETFIRSTVISIBLELINE, 0, 0);
        LRESULT lines = SendMessageW(list, EM_GETLINECOUNT, 0, 0);
        LRESULT target = r.number >= 1 && r.number <= lines ? r.number - 1 : lines - 1;
        SendMessageW(list, EM_LINESCROLL, 0, target - first);
        return static_cast<int>(first + 1);
    }
    LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    LRESULT target = r.number >= 1 && r.number <= count ? r.number - 1 : count - 1;
    if (SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(target < 0 ? 0 : target), 0) == LB_ERR)
        return RefuseForControl(r.ctx, r.dlg, r.c);
    return 1;
}

int ListAdd(Request& r)
{
    bool combo = r.c->type == CT_DROPLISTBOX;
    LRESULT at = SendMessageW(r.c->window, combo ? CB_ADDSTRING : LB_ADDSTRING, 0,
                              reinterpret_cast<LPARAM>(r.wide.c_str()));
    return at < 0 ? 0 : 1;
}

int ListRemove(Request& r)
{
    bool combo = r.c->type == CT_DROPLISTBOX;
    LRESULT found = FindExact(r.c->window, combo, r.wide);
    if (found < 0)
        return 0;
    SendMessageW(r.c->window, combo ? CB_DELETESTRING : LB_DELETESTRING, static_cast<WPARAM>(found), 0);
    return 1;
}

// ---------------------------------------------------------------- buttons and texts

int SetDot(Request& r)
{
    if (r.number == 0) {
        r.c->checked = false;
        SendMessageW(r.c->window, BM_SETCHECK, BST_UNCHECKED, 0);
        return 1;
    }
    for (DialogControlRecord* other : r.dlg->controls) {
        if (other->type != CT_RADIOBUTTON || other->link[0] != r.c->link[0])
            continue;
        other->checked = other == r.c;
        SendMessageW(other->window, BM_SETCHECK, other->checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    return 1;
}

int SetEditText(Request& r)
{
    BOOL done = SetWindowTextW(r.c->window, r.wide.c_str());
    LRESULT length = GetWindowTextLengthW(r.c->window);
    SendMessageW(r.c->window, EM_SETSEL, static_cast<WPARAM>(length), length);
    SendMessageW(r.c->window, EM_SCROLLCARET, 0, 0);
    return done ? 1 : 0;
}

int SetTitle(Request& r)
{
    if (r.c->type == CT_MENUITEM)
        return MenuItemSetText(r.ctx, r.dlg, r.dialog, r.index, r.wide);
    if (!IsType(r.c, {CT_STATICTEXT, CT_RADIOBUTTON, CT_CHECKBOX, CT_VARYTEXT, CT_PUSHBUTTON, CT_PICTUREBUTTON,
                      CT_PICTURE, CT_GROUPBOX}))
        return -1;
    SetWindowTextW(r.c->window, r.wide.c_str());
    if (IsType(r.c, {CT_STATICTEXT, CT_RADIOBUTTON, CT_CHECKBOX, CT_VARYTEXT}) && TransparentBack(r.c))
        RepaintPlace(r.dialog, r.c);
    return 1;
}

// Tab stops: decimal numbers separated by tabs, blanks around them ignored.
int SetTabStops(Request& r)
{
    std::vector<INT> stops;
    size_t start = 0;
    const std::string& text = r.narrow;
    while (start <= text.size() && !text.empty()) {
        size_t tab = text.find('\t', start);
        std::string part = text.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
        int32_t stop = 0;
        if (!FieldInteger(WideFromNarrow(r.ctx, part.c_str()), &stop))
            return DialogFail(r.ctx, ERR_NOT_NUMERIC, nullptr, r.narrow.c_str());
        if (stops.size() < MAX_TAB_STOPS)
            stops.push_back(stop);
        if (tab == std::string::npos)
            break;
        start = tab + 1;
    }
    SendMessageW(r.c->window, EM_SETTABSTOPS, stops.size(), reinterpret_cast<LPARAM>(stops.data()));
    InvalidateRect(r.c->window, nullptr, TRUE);
    return 1;
}

int SetSpin(Request& r)
{
    int32_t low = 0, high = 0;
    SendMessageW(r.c->window, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
    if (low > high)
        std::swap(low, high);
    int32_t position = r.number < low ? low : r.number > high ? high : r.number;   // clamped, never cut
    SendMessageW(r.c->window, UDM_SETPOS32, 0, position);
    return 1;
}

// ---------------------------------------------------------------- colours and bitmaps

// The control's background (back) or text colour shown: the common controls that draw
// themselves take it (their system colour when it has none), the others repaint.
void PassColor(DialogControlRecord* c, bool back)
{
    COLORREF own = back ? c->backColor : c->textColor;
    COLORREF color = own != NO_COLOR ? own : GetSysColor(back ? COLOR_WINDOW : COLOR_WINDOWTEXT);
    switch (c->type) {
    case CT_REPORTVIEW:
        SendMessageW(c->window, back ? LVM_SETBKCOLOR : LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(color));
        if (back)
            SendMessageW(c->window, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(color));
        break;
    case CT_DATETIME:
        SendMessageW(c->window, DTM_SETMCCOLOR, back ? MCSC_BACKGROUND : MCSC_TEXT, static_cast<LPARAM>(color));
        SendMessageW(c->window, DTM_SETMCCOLOR, back ? MCSC_MONTHBK : MCSC_TITLETEXT, static_cast<LPARAM>(color));
        break;
    case CT_PROGRESS:
        SendMessageW(c->window, back ? PBM_SETBKCOLOR : PBM_SETBARCOLOR, 0,
                     static_cast<LPARAM>(own == NO_COLOR ? CLR_DEFAULT : own));
        break;
    case CT_SPINNER:
        if (c->buddy)
            InvalidateRect(c->buddy, nullptr, TRUE);
        break;
    default:
        break;
    }
    InvalidateRect(c->window, nullptr, TRUE);
}

bool ColorValue(Request& r, COLORREF* color, bool* isDefault)
{
    *isDefault = r.narrow.empty() || IsDefaultField(WideFromNarrow(r.ctx, r.narrow.c_str()));
    if (*isDefault)
        return true;
    if (ParseColorSpec(WideFromNarrow(r.ctx, r.narrow.c_str()).c_str(), color))
        return true;
    DialogFail(r.ctx, ERR_BAD_COLOR, nullptr, r.narrow.c_str());
    return false;
}

int SetBackColor(Request& r)
{
    COLORREF color = 0;
    bool isDefault = false;
    if (!ColorValue(r, &color, &isDefault))
        return 0;
    DialogControlRecord* c = r.c;
    bool brushless = IsType(c, {CT_REPORTVIEW, CT_DATETIME, CT_PROGRESS});
    if (isDefault) {
        RestoreDefaultBackground(c);
    } else {
        if (c->ownsBrush && c->backBrush)
            DeleteObject(c->backBrush);
        c->backBrush = nullptr;
        c->ownsBrush = false;
        c->backColor = color;
        c->defaultBack = false;
        if (!brushless) {
            c->backBrush = CreateSolidBrush(color);
            c->ownsBrush = c->backBrush != nullptr;
        }
    }
    PassColor(c, true);
    PassComControlBackColor(c);
    if (IsType(c, {CT_STATICTEXT, CT_RADIOBUTTON, CT_CHECKBOX, CT_VARYTEXT}) && TransparentBack(c))
        RepaintPlace(r.dialog, c);
    return 1;
}

int SetTextColor(Request& r)
{
    COLORREF color = 0;
    bool isDefault = false;
    if (!ColorValue(r, &color, &isDefault))
        return 0;
    DialogControlRecord* c = r.c;
    c->textColor = isDefault ? DefaultTextColor(r.dlg, c) : color;
    PassColor(c, false);
    return 1;
}

int SetBitmap(Request& r)
{
    DialogControlRecord* c = r.c;
    std::wstring file = WideFromNarrow(r.ctx, r.narrow.c_str());
    HBITMAP bitmap = nullptr;
    bool remove = file.empty() || IsDefaultField(file);
    if (!remove && LoadDrawDib(r.ctx)) {   // the video library is loaded on first need
        bitmap = LoadBackgroundBitmap(r.ctx, file.c_str());
        if (!bitmap)
            return DialogFail(r.ctx, ERR_BAD_BITMAP, nullptr, r.narrow.c_str());
    }
    ReleaseBitmapPaint(r.ctx, &c->palette, &c->drawDib);
    if (c->bitmap)
        DeleteObject(c->bitmap);
    c->bitmap = bitmap;
    c->bitmapFile = remove ? std::wstring() : file;
    if (!bitmap)
        RepaintPlace(r.dialog, c);
    InvalidateRect(c->window, nullptr, TRUE);
    return 1;
}

// ---------------------------------------------------------------- position

// Up to four integers separated by blanks (a leading "-" makes one negative).
bool PositionNumbers(const std::string& text, int values[4], int* count)
{
    *count = 0;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ')
            ++i;
        if (i == text.size())
            break;
        bool negative = text[i] == '-';
        if (negative)
            ++i;
        if (i == text.size() || text[i] < '0' || text[i] > '9' || *count == 4)
            return false;
        int64_t v = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            v = v * 10 + (text[i++] - '0');
            if (v > 0x7FFFFFFF)
                return false;
        }
        if (i < text.size() && text[i] != ' ')
            return false;
        values[(*count)++] = static_cast<int>(negative ? -v : v);
    }
    return true;
}

void MoveWindowTo(Dialog6Record* dlg, HWND window, int x, int y, int width, int height)
{
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (dlg->deferPos) {
        HDWP next = DeferWindowPos(dlg->deferPos, window, nullptr, x, y, width, height, flags);
        if (next) {
            dlg->deferPos = next;
            return;
        }
        dlg->deferPos = nullptr;   // the batch failed and is gone: move at once
    }
    SetWindowPos(window, nullptr, x, y, width, height, flags);
}

int SetPosition(Request& r)
{
    int values[4] = {};
    int count = 0;
    if (!PositionNumbers(r.narrow, values, &count))
        return DialogFail(r.ctx, ERR_NOT_NUMERIC, nullptr, r.narrow.c_str());
    DialogControlRecord* c = r.c;
    if (!c->window)
        return RefuseForControl(r.ctx, r.dlg, c);
    RECT old;
    GetControlRect(r.dialog, c, &old);
    int current[4] = {PixelsToUnitsX(r.dlg, old.left), PixelsToUnitsY(r.dlg, old.top),
                      PixelsToUnitsX(r.dlg, old.right - old.left), PixelsToUnitsY(r.dlg, old.bottom - old.top)};
    for (int i = count; i < 4; ++i)
        values[i] = current[i];
    // numbers left out keep the pixels the control has, not their rounded units
    int x = count > 0 ? UnitsToPixelsX(r.dlg, values[0]) : old.left;
    int y = count > 1 ? UnitsToPixelsY(r.dlg, values[1]) : old.top;
    int width = count > 2 ? UnitsToPixelsX(r.dlg, values[2]) : old.right - old.left;
    int height = count > 3 ? UnitsToPixelsY(r.dlg, values[3]) : old.bottom - old.top;
    if (c->type == CT_SPINNER && c->buddy) {
        SetWindowPos(c->buddy, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(c->window, UDM_SETBUDDY, reinterpret_cast<WPARAM>(c->buddy), 0);
    } else {
        MoveWindowTo(r.dlg, c->window, x, y, width, height);
    }
    c->x = x;
    c->y = y;
    c->width = width;
    c->height = height;
    InvalidateRect(r.dialog, &old, TRUE);
    return 1;
}

// ---------------------------------------------------------------- dates and progress

int SetFormat(Request& r)
{
    DialogControlRecord* c = r.c;
    if (!SendMessageW(c->window, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(r.wide.c_str())))
        return Fail(r, ERR_BAD_FORMAT, r.wide);
    c->text = r.wide;
    c->hasText = true;
    SIZE needed = MeasureDateTimeControl(r.dlg, c);
    RECT now;
    GetWindowRect(c->window, &now);
    int width = now.right - now.left, height = now.bottom - now.top;
    if (needed.cx > width || needed.cy > height)
        SetWindowPos(c->window, nullptr, 0, 0, needed.cx > width ? needed.cx : width,
                     needed.cy > height ? needed.cy : height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return 1;
}

int SetBarLimits(Request& r)
{
    int32_t values[3] = {0, 100, 10};
    if (!ProgressRangeFromText(r.wide, values))
        return Fail(r, ERR_NOT_NUMERIC, r.wide);
    SendMessageW(r.c->window, PBM_SETRANGE32, static_cast<WPARAM>(values[0]), values[1]);
    SendMessageW(r.c->window, PBM_SETSTEP, static_cast<WPARAM>(values[2]), 0);
    wchar_t text[48];
    wsprintfW(text, L"%02d|%02d|%02d", values[0], values[1], values[2]);
    r.c->text = text;
    r.c->hasText = true;
    return 1;
}

// ---------------------------------------------------------------- dispatch

// The request's answer, or -1 when the control's type does not serve it.
int Apply(Request& r, uint32_t code)
{
    DialogControlRecord* c = r.c;
    switch (code) {
    case RQ_CHECK:
        if (c->type != CT_CHECKBOX)
            return -1;
        c->checked = r.number != 0;
        return CheckDlgButton(r.dialog, DIALOG_ID_BASE + r.index, c->checked ? BST_CHECKED : BST_UNCHECKED) ? 1 : 0;
    case RQ_DOT:
        return c->type == CT_RADIOBUTTON ? SetDot(r) : -1;
    case RQ_TEXT:
        return IsType(c, {CT_EDITBOX, CT_MULTILINEBOX}) ? SetEditText(r) : -1;
    case RQ_TITLE:
        return SetTitle(r);
    case RQ_CONTENTS:
        if (c->type == CT_FILELISTBOX)
            return FileListSetContents(r.ctx, r.dialog, r.dlg, c, r.wide);
        if (IsType(c, {CT_ITEMBOX, CT_DROPLISTBOX}))
            return DialogListFill(c->window, c->type, r.wide.c_str());
        return -1;
    case RQ_SELECT:
        if (IsType(c, {CT_FILELISTBOX, CT_ITEMBOX}))
            return ListSelect(r);
        return c->type == CT_DROPLISTBOX ? DropListSelect(r) : -1;
    case RQ_DATE: {
        if (!IsType(c, {CT_CALENDAR, CT_DATETIME}))
            return -1;
        return DateTimeRangeFromText(r.ctx, c, WideFromNarrow(r.ctx, r.narrow.c_str())) ? 1 : 0;
    }
    case RQ_SPIN:
        return c->type == CT_SPINNER ? SetSpin(r) : -1;
    case RQ_TABSTOP:
        return c->type == CT_MULTILINEBOX ? SetTabStops(r) : -1;
    case RQ_SCROLL:
        return IsType(c, {CT_FILELISTBOX, CT_ITEMBOX, CT_MULTILINEBOX}) ? ListScroll(r) : -1;
    case RQ_BACKCOLOR:
        return Accepts(c, FS_BKCOLOR) && c->window ? SetBackColor(r) : -1;
    case RQ_BITMAP:
        return Accepts(c, FS_BITMAP) ? SetBitmap(r) : -1;
    case RQ_TEXTCOLOR:
        return Accepts(c, FS_TEXTCOLOR) && c->window ? SetTextColor(r) : -1;
    case RQ_ADDITEM:
        return IsType(c, {CT_FILELISTBOX, CT_ITEMBOX, CT_DROPLISTBOX}) ? ListAdd(r) : -1;
    case RQ_REMITEM:
        return IsType(c, {CT_FILELISTBOX, CT_ITEMBOX, CT_DROPLISTBOX}) ? ListRemove(r) : -1;
    case RQ_POSITION:
        return SetPosition(r);
    case RQ_FORMAT:
        return c->type == CT_DATETIME ? SetFormat(r) : -1;
    case RQ_BARPOS:
        if (c->type != CT_PROGRESS)
            return -1;
        if (r.number >= 0)
            SendMessageW(c->window, PBM_SETPOS, static_cast<WPARAM>(r.number), 0);
        else
            SendMessageW(c->window, PBM_STEPIT, 0, 0);
        return 1;
    case RQ_BARLIMITS:
        return c->type == CT_PROGRESS ? SetBarLimits(r) : -1;
    default:
        return -1;
    }
}

bool Convert(Request& r, Form form, const resultants* value)
{
    BDS* ctx = r.ctx;
    bool ok = false;
    uint16_t failure = 0;
    switch (form) {
    case Form::integer:
        ok = DialogValueInteger(ctx, value, &r.number);
        failure = ERR_NOT_NUMERIC;
        break;
    case Form::wide:
        ok = DialogValueWide(ctx, value, r.wide);
        failure = ctx->nErrorCode;
        break;
    case Form::narrow:
        ok = DialogValueNarrow(ctx, value, r.narrow);
        failure = ERR_NOT_TEXT;
        break;
    case Form::none:
        break;
    }
    if (ok)
        return true;
    std::string detail;
    uint16_t saved = ctx->nErrorCode;
    DialogValueNarrow(ctx, value, detail);
    ctx->nErrorCode = saved;
    DialogFail(ctx, failure, nullptr, detail.empty() ? nullptr : detail.c_str());
    return false;
}

}  // namespace

LRESULT ServeDialogControlSet(BDS* ctx, Dialog6Record* dlg, HWND dialog, WPARAM wParam, LPARAM lParam)
{
    const auto* request = reinterpret_cast<const ControlRequestBlock*>(wParam);
    const auto* value = reinterpret_cast<const resultants*>(lParam);
    uint32_t code = request->code;
    Form form = code >= 1 && code <= RQ_LAST ? FormOf(code) : Form::none;
    if (form == Form::none)
        return DialogFailNumber(ctx, ERR_BAD_REQUEST, static_cast<int32_t>(code));
    Request r{ctx, dlg, dialog, nullptr, -1};
    r.c = FindDialogControl(ctx, dlg, request->control, &r.index);
    if (!r.c)
        return 0;
    if (r.c->type == CT_REPORTVIEW && ReportViewRequest(code)) {
        if (!IsReportMode(r.c->window))
            return RefuseForControl(ctx, dlg, r.c);
        return ReportViewSet(ctx, dlg, r.c, code, value);
    }
    if (!Convert(r, form, value))
        return 0;
    bool menu = r.c->type == CT_MENUBAR || r.c->type == CT_MENUITEM;
    if (!menu && !r.c->window)
        return RefuseForControl(ctx, dlg, r.c);
    int answer = Apply(r, code);
    if (answer < 0)
        return RefuseForControl(ctx, dlg, r.c);
    return answer;
}
