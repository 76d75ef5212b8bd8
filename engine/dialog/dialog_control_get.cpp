// DialogControlGet on the window side (message 7028): a control's state read into the
// result record, by request code and control type.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "engine/core/context.h"
#include "engine/dialog/dialog_colors.h"
#include "engine/dialog/dialog_find.h"
#include "engine/dialog/dialog_lists.h"
#include "engine/dialog/dialog_menus.h"
#include "engine/dialog/dialog_record.h"
#include "engine/dialog/dialog_report.h"
#include "engine/dialog/dialog_request_args.h"
#include "engine/dialog/dialog_requests.h"
#include "engine/dialog/dialog_servers.h"
#include "engine/dialog/dialog_styles.h"
#include "engine/dialog/dialog_text.h"
#include "engine/dialog/dialog_units.h"
#include "engine/dialog/dialog_values.h"
#include "engine/dialog/report_view.h"

namespace {

constexpr uint16_t ERR_BAD_REQUEST = 3974;   // "Dialog: Bad request number"
constexpr int32_t CHANGE_EDITED = 5;         // a DROPLISTBOX's field was typed into


bool Readable(uint32_t code)
{
    return code >= 1 && code <= RQ_LAST && code != RQ_TABSTOP && code != RQ_ADDITEM && code != RQ_REMITEM
           && code != RQ_APPENDCOL && code != RQ_REMOVECOL;
}

bool IsType(const DialogControlRecord* c, std::initializer_list<int> types)
{
    for (int t : types)
        if (c->type == t)
            return true;
    return false;
}

std::wstring WindowText(BDS* ctx, HWND window)
{
    std::wstring text;
    ReadControlText(ctx, window, text);
    return text;
}

std::wstring AllItems(HWND list, bool combo)
{
    LRESULT count = SendMessageW(list, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
    std::wstring all;
    for (LRESULT i = 0; i < count; ++i) {
        if (i)
            all += L'\t';
        all += ListItemText(list, combo, i);
    }
    return all;
}

std::wstring DropListSelection(BDS* ctx, const DialogControlRecord* c)
{
    LRESULT selected = SendMessageW(c->window, CB_GETCURSEL, 0, 0);
    if (selected == CB_ERR || c->changeState == CHANGE_EDITED)
        return WindowText(ctx, c->window);
    return ListItemText(c->window, true, selected);
}

std::wstring DateText(BDS* ctx, const DialogControlRecord* c)
{
    SYSTEMTIME t{};
    if (c->type == CT_CALENDAR) {
        if (!SendMessageW(c->window, MCM_GETCURSEL, 0, reinterpret_cast<LPARAM>(&t)))
            return std::wstring();
        t.wHour = t.wMinute = t.wSecond = 0;
    } else if (SendMessageW(c->window, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&t)) != GDT_VALID) {
        return std::wstring();
    }
    std::string text = DialogDateText(ctx, t);
    return std::wstring(text.begin(), text.end());
}

std::string Number(int32_t value) { return std::to_string(value); }

std::string GroupDot(const Dialog6Record* dlg, const DialogControlRecord* button)
{
    for (const DialogControlRecord* c : dlg->controls) {
        if (c->type != CT_RADIOBUTTON || c->link[0] != button->link[0] || !c->checked)
            continue;
        if (dlg->format == 62)
            return c->name;
        char text[8];
        wsprintfA(text, "%3.3d", c->number);
        return text;
    }
    return dlg->format == 62 ? "" : "000";
}

std::string Position(const Dialog6Record* dlg, HWND dialog, const DialogControlRecord* c)
{
    RECT r;
    GetControlRect(dialog, c, &r);
    char text[64];
    wsprintfA(text, "%d %d %d %d", PixelsToUnitsX(dlg, r.left), PixelsToUnitsY(dlg, r.top),
              PixelsToUnitsX(dlg, r.right - r.left), PixelsToUnitsY(dlg, r.bottom - r.top));
    return text;
}

// The control's own background colour, "DEFAULT" without one.
std::string BackColorText(const DialogControlRecord* c)
{
    bool own = c->backColor != NO_COLOR && !c->defaultBack
               && (IsType(c, {CT_DATETIME, CT_REPORTVIEW, CT_PROGRESS}) || c->backBrush);
    return own ? ColorText(c->backColor) : "DEFAULT";
}

std::string TextColorText(const Dialog6Record* dlg, const DialogControlRecord* c)
{
    if (c->textColor == NO_COLOR || c->textColor == DefaultTextColor(dlg, c))
        return "DEFAULT";
    return ColorText(c->textColor);
}

bool Accepts(const DialogControlRecord* c, uint32_t fieldBit)
{
    const ControlTypeRow* row = ControlTypeRowOf(c->type);
    return row && (row->fieldSet & fieldBit);
}

// One request on one control: true with the answer in the result; false for a request
// the type does not serve (refused by the caller) or with the error set.
enum class Served { yes, refused, failed };

Served Answer(BDS* ctx, Dialog6Record* dlg, HWND dialog, DialogControlRecord* c, const ControlRequestBlock* request,
              resultants* result)
{
    auto wide = [&](const std::wstring& text) { return AnswerWide(ctx, result, text) ? Served::yes : Served::failed; };
    auto narrow = [&](const std::string& text) {
        return AnswerNarrow(ctx, result, text) ? Served::yes : Served::failed;
    };
    bool report = c->type == CT_REPORTVIEW;
    switch (request->code) {
    case RQ_CHECK:
        if (c->type == CT_CHECKBOX)
            return narrow(c->checked ? "1" : "0");
        break;
    case RQ_DOT:
        if (c->type == CT_RADIOBUTTON)
            return narrow(c->checked ? "1" : "0");
        break;
    case RQ_TEXT:
        if (IsType(c, {CT_EDITBOX, CT_MULTILINEBOX, CT_DATETIME, CT_PROGRESS}))
            return wide(WindowText(ctx, c->window));
        break;
    case RQ_TITLE:
        if (c->type == CT_MENUITEM)
            return wide(c->text);
        if (IsType(c, {CT_STATICTEXT, CT_RADIOBUTTON, CT_CHECKBOX, CT_VARYTEXT, CT_PUSHBUTTON, CT_PICTUREBUTTON,
                       CT_PICTURE, CT_GROUPBOX}))
            return wide(WindowText(ctx, c->window));
        break;
    case RQ_CONTENTS:
        if (IsType(c, {CT_FILELISTBOX, CT_ITEMBOX, CT_DROPLISTBOX}))
            return wide(AllItems(c->window, c->type == CT_DROPLISTBOX));
        break;
    case RQ_SELECT:
        if (IsType(c, {CT_FILELISTBOX, CT_ITEMBOX})) {
            std::wstring text;
            if (!ListSelection(ctx, c->window, text))
                return Served::failed;
            return wide(text);
        }
        if (c->type == CT_DROPLISTBOX)
            return wide(DropListSelection(ctx, c));
        break;
    case RQ_DATE:
        if (IsType(c, {CT_CALENDAR, CT_DATETIME}))
            return wide(DateText(ctx, c));
        break;
    case RQ_SPIN:
        if (c->type == CT_SPINNER)
            return narrow(Number(static_cast<int32_t>(SendMessageW(c->window, UDM_GETPOS32, 0, 0))));
        break;
    case RQ_SCROLL:
        if (IsType(c, {CT_FILELISTBOX, CT_ITEMBOX}))
            return wide(std::to_wstring(SendMessageW(c->window, LB_GETTOPINDEX, 0, 0) + 1));
        if (c->type == CT_MULTILINEBOX)
            return wide(std::to_wstring(SendMessageW(c->window, EM_GETFIRSTVISIBLELINE, 0, 0) + 1));
        break;
    case RQ_BACKCOLOR:
        if (Accepts(c, FS_BKCOLOR))
            return narrow(BackColorText(c));
        break;
    case RQ_BITMAP:
        if (Accepts(c, FS_BITMAP))
            return narrow(c->bitmap ? NarrowFromWide(ctx, c->bitmapFile.c_str()) : std::string("DEFAULT"));
        break;
    case RQ_TEXTCOLOR:
        if (Accepts(c, FS_TEXTCOLOR))
            return narrow(TextColorText(dlg, c));
        break;
    case RQ_GROUPDOT:
        if (c->type == CT_RADIOBUTTON)
            return narrow(GroupDot(dlg, c));
        break;
    case RQ_POSITION:
        return narrow(Position(dlg, dialog, c));
    case RQ_MENUNAMES: {
        std::string names;
        if (MenuChildNames(dlg, c, names))
            return narrow(names);
        break;
    }
    case RQ_HWND:
        if (!c->window)
            break;
        SetResultInt(ctx, result, static_cast<int32_t>(reinterpret_cast<INT_PTR>(c->window)));
        return Served::yes;
    case RQ_FORMAT:
        if (c->type == CT_DATETIME)
            return wide(c->hasText ? c->text : std::wstring());
        break;
    case RQ_BARPOS:
        if (c->type == CT_PROGRESS) {
            SetResultInt(ctx, result, static_cast<int32_t>(SendMessageW(c->window, PBM_GETPOS, 0, 0)));
            return Served::yes;
        }
        break;
    case RQ_BARLIMITS:
        if (c->type == CT_PROGRESS)
            return wide(c->text);
        break;
    default:
        break;
    }
    if (report && IsReportMode(c->window)) {
        switch (request->code) {
        case RQ_CHECK: case RQ_CONTENTS: case RQ_SELECT: case RQ_HEADERTEXT: case RQ_COLWIDTH: case RQ_FIND:
        case RQ_CANCELEDIT: case RQ_GETCHECKED: case RQ_COLFORMAT: case RQ_ITEMCOLOR: case RQ_ITEMROW:
        case RQ_ITEMTEXT:
            return ReportViewGet(ctx, dlg, c, request->code, request->fourth, result) ? Served::yes : Served::failed;
        default:
            break;
        }
    }
    return Served::refused;
}

}  // namespace

LRESULT ServeDialogControlGet(BDS* ctx, Dialog6Record* dlg, HWND dialog, WPARAM wParam, LPARAM lParam)
{
    const auto* request = reinterpret_cast<const ControlRequestBlock*>(wParam);
    auto* result = reinterpret_cast<resultants*>(lParam);
    if (!result)
        return 0;
    Served served = Served::failed;
    if (!Readable(request->code)) {
        DialogFailNumber(ctx, ERR_BAD_REQUEST, static_cast<int32_t>(request->code));
    } else if (DialogControlRecord* c = FindDialogControl(ctx, dlg, request->control, nullptr)) {
        served = Answer(ctx, dlg, dialog, c, request, result);
        if (served == Served::refused) {
            RefuseForControl(ctx, dlg, c);
            if (request->code == RQ_HWND) {
                SetResultInt(ctx, result, 0);
                return 0;
            }
        }
    }
    if (served == Served::yes)
        return 1;
    SetResultText(ctx, result, "", 0);
    return 0;
}
