// DialogControlState on the window side (message 7026): the focus, the style bits and the
// mouse pointer of a dialog's controls.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "engine/core/context.h"
#include "engine/dialog/dialog_fields.h"
#include "engine/dialog/dialog_find.h"
#include "engine/dialog/dialog_menus.h"
#include "engine/dialog/dialog_record.h"
#include "engine/dialog/dialog_report.h"
#include "engine/dialog/dialog_request_args.h"
#include "engine/dialog/dialog_requests.h"
#include "engine/dialog/dialog_servers.h"
#include "engine/dialog/dialog_styles.h"
#include "engine/dialog/dialog_window.h"

namespace {

constexpr uint16_t ERR_BAD_REQUEST = 3974;   // "Dialog: Bad request number"
constexpr uint16_t ERR_NOT_NUMERIC = 3978;   // "Dialog: Expecting a numeric value in parameter"

enum : uint32_t {
    DCS_SETFOCUS = 1,
    DCS_GETSTYLE = 2,
    DCS_ADDSTYLE = 3,
    DCS_REMSTYLE = 4,
    DCS_GETFOCUS = 5,
    DCS_MOUSEOVER = 6,
};

// Style bits whose change alters what the dialog shows around the control.
constexpr uint32_t REPAINT_BITS = 0xA026B3;
constexpr UINT REDRAW_HOSTED = RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME;

// The control whose window (or part) has the focus, as its index; -1 for none.
int FocusedControl(const Dialog6Record* dlg, HWND dialog)
{
    HWND focus = GetFocus();
    if (!focus || focus == dialog)
        return -1;
    int index = DialogControlIndexOfWindow(dlg, focus);
    if (index < 0) {
        HWND parent = GetParent(focus);   // the edit field inside a drop-list box
        if (parent && parent != dialog)
            index = DialogControlIndexOfWindow(dlg, parent);
    }
    return index;
}

void AnswerFocus(BDS* ctx, Dialog6Record* dlg, HWND dialog, resultants* result)
{
    DialogControlRecord* c = ControlAt(dlg, FocusedControl(dlg, dialog));
    if (dlg->format != 62) {
        SetResultInt(ctx, result, c ? c->number : 0);
        return;
    }
    AnswerNarrow(ctx, result, c ? c->name : "");
}

// The control's rectangle on the screen, its spinner field included.
RECT ScreenRect(const DialogControlRecord* c)
{
    RECT r{};
    GetWindowRect(c->window, &r);
    if (c->buddy) {
        RECT part;
        GetWindowRect(c->buddy, &part);
        UnionRect(&r, &r, &part);
    }
    return r;
}

void ChangeStyle(BDS* ctx, Dialog6Record* dlg, HWND dialog, DialogControlRecord* c, int index, bool add,
                 const char* text, resultants* result)
{
    int32_t bits = 0;
    if (!FieldInteger(std::wstring(text, text + lstrlenA(text)), &bits)) {
        DialogFail(ctx, ERR_NOT_NUMERIC, nullptr, text);
        return;
    }
    int applied = ApplyControlStyleChange(dialog, dlg, c, add, static_cast<uint32_t>(bits));
    if (applied && c->type == CT_MENUITEM)
        MenuItemInsert(dialog, dlg, c, index);
    SetResultInt(ctx, result, applied);
    if (!applied || !c->window)
        return;
    if (static_cast<uint32_t>(bits) & REPAINT_BITS) {
        RECT r;
        GetControlRect(dialog, c, &r);
        InvalidateRect(dialog, &r, TRUE);
        UpdateWindow(dialog);
    }
    if (c->type == CT_COMCONTROL && !add)
        if (HWND hosted = GetWindow(c->window, GW_CHILD))
            RedrawWindow(hosted, nullptr, nullptr, REDRAW_HOSTED);
}

}  // namespace

LRESULT ServeDialogControlState(BDS* ctx, Dialog6Record* dlg, HWND dialog, WPARAM wParam, LPARAM lParam)
{
    const auto* request = reinterpret_cast<const ControlRequestBlock*>(wParam);
    const auto* state = reinterpret_cast<const StateRequestBlock*>(lParam);
    resultants* result = state->result;
    SetResultInt(ctx, result, 0);
    uint32_t code = request->code;
    if (code == DCS_GETFOCUS) {
        AnswerFocus(ctx, dlg, dialog, result);
        return 0;
    }
    if (code < DCS_SETFOCUS || code > DCS_MOUSEOVER) {
        DialogFailNumber(ctx, ERR_BAD_REQUEST, static_cast<int32_t>(code));
        return 0;
    }
    int index = -1;
    DialogControlRecord* c = FindDialogControl(ctx, dlg, request->control, &index);
    if (!c)
        return 0;
    bool menu = c->type == CT_MENUBAR || c->type == CT_MENUITEM;
    if (!menu && (!c->window || !IsWindow(c->window)))
        return 0;
    switch (code) {
    case DCS_SETFOCUS: {
        if (menu)
            break;
        HWND target = c->type == CT_SPINNER && c->buddy ? c->buddy : c->window;
        HWND previous = SetFocus(target);
        SetResultInt(ctx, result, previous != nullptr || GetFocus() == target ? 1 : 0);
        break;
    }
    case DCS_GETSTYLE:
        SetResultInt(ctx, result, static_cast<int32_t>(c->style));
        break;
    case DCS_ADDSTYLE:
    case DCS_REMSTYLE: {
        const char* text = state->text ? ctx->HeapBase + state->text : "";
        ChangeStyle(ctx, dlg, dialog, c, index, code == DCS_ADDSTYLE, text, result);
        break;
    }
    default:   // DCS_MOUSEOVER
        if (menu || IsIconic(dialog))
            break;
        MovePointerToCenter(ctx, ScreenRect(c));
        SetResultInt(ctx, result, 1);
        break;
    }
    return 0;
}
