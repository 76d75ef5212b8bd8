// The write-back of control values into the script's variables.
#include "engine/dialog/dialog_values.h"

#include <windows.h>
#include <commctrl.h>

#include <utility>

#include "engine/core/context.h"
#include "engine/core/runloop.h"
#include "engine/core/tokenizer.h"
#include "engine/dialog/dialog_fields.h"
#include "engine/dialog/dialog_filelist.h"
#include "engine/dialog/dialog_lists.h"
#include "engine/dialog/dialog_record.h"
#include "engine/dialog/dialog_com.h"
#include "engine/dialog/report_view.h"
#include "engine/system/date_text.h"

namespace {

constexpr uint16_t ERR_NO_BUFFER = 1631;   // "ArrDimension: Unable to allocate or lock memory"

// Makes the scope Dialog was called in current for the write-back (a procedure may be
// running in its own scope when a control ends the dialog).
struct DialogScope {
    BDS* ctx;
    ScopeSave saved{};
    bool switched = false;
    DialogScope(BDS* c, uint32_t slot) : ctx(c)
    {
        if (ctx->nScopeCurrent != slot)
            switched = SwitchVarScope(ctx, slot, &saved) != 0;
    }
    ~DialogScope()
    {
        if (switched)
            RestoreVarScope(ctx, &saved);
    }
    DialogScope(const DialogScope&) = delete;
    DialogScope& operator=(const DialogScope&) = delete;
};

bool SharesVariableWithFileList(const Dialog6Record* dlg, const DialogControlRecord* control)
{
    for (const DialogControlRecord* c : dlg->controls)
        if (c->type == CT_FILELISTBOX && lstrcmpiA(c->variable, control->variable) == 0)
            return true;
    return false;
}

int32_t VariableInteger(BDS* ctx, const char* name)
{
    uint16_t index = FindVarIndex(ctx, name);
    if (index == VAR_NOT_FOUND || index == 0 || !(ctx->pVars[index].flags & VF_INT))
        return 0;
    return ctx->pVars[index].i32;
}

void StoreText(BDS* ctx, DialogControlRecord* c)
{
    std::wstring text;
    if (ReadControlText(ctx, c->window, text))
        SetVariableByName(ctx, c->variable, text.c_str(), 0, SV_WIDE);
}

void StoreCalendar(BDS* ctx, DialogControlRecord* c)
{
    SYSTEMTIME day{};
    if (!SendMessageW(c->window, MCM_GETCURSEL, 0, reinterpret_cast<LPARAM>(&day)))
        return;
    day.wHour = day.wMinute = day.wSecond = 0;
    SetVariableByName(ctx, c->variable, DialogDateText(ctx, day).c_str(), 0, SV_STRING);
}

void StoreDateTime(BDS* ctx, DialogControlRecord* c)
{
    SYSTEMTIME time{};
    LRESULT kind = SendMessageW(c->window, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time));
    std::string text = kind == GDT_VALID ? DialogDateText(ctx, time) : std::string();
    SetVariableByName(ctx, c->variable, text.c_str(), 0, SV_STRING);
}

// A spinner's field may hold any number typed into it: it is clamped to the range, shown
// clamped, and stored as an integer; a field that holds no number stores "".
void StoreSpinner(BDS* ctx, DialogControlRecord* c)
{
    std::wstring text;
    int32_t value = 0;
    if (!c->buddy || !ReadControlText(ctx, c->buddy, text) || !FieldInteger(text, &value)) {
        SetVariableByName(ctx, c->variable, "", 0, SV_STRING);
        return;
    }
    int32_t low = 0, high = 0;
    SendMessageW(c->window, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
    if (low > high)
        std::swap(low, high);
    int32_t clamped = value < low ? low : value > high ? high : value;
    if (clamped != value)
        SendMessageW(c->window, UDM_SETPOS32, 0, clamped);
    SetVariableByName(ctx, c->variable, nullptr, clamped, SV_INT);
}

void StoreControl(BDS* ctx, Dialog6Record* dlg, DialogControlRecord* c)
{
    if (!c->window)
        return;
    switch (c->type) {
    case CT_EDITBOX:
    case CT_MULTILINEBOX:
        if (!SharesVariableWithFileList(dlg, c))
            StoreText(ctx, c);
        break;
    case CT_RADIOBUTTON:
        if (SendMessageW(c->window, BM_GETCHECK, 0, 0) == BST_CHECKED)
            SetVariableByName(ctx, c->variable, nullptr, c->value, SV_INT);
        break;
    case CT_CHECKBOX:
        if (SendMessageW(c->window, BM_GETCHECK, 0, 0) == BST_CHECKED)
            SetVariableByName(ctx, c->variable, nullptr, VariableInteger(ctx, c->variable) | c->value, SV_INT);
        break;
    case CT_ITEMBOX:
        ListSelectionText(ctx, dlg, c);
        break;
    case CT_DROPLISTBOX:
        StoreText(ctx, c);
        break;
    case CT_CALENDAR:
        StoreCalendar(ctx, c);
        break;
    case CT_SPINNER:
        StoreSpinner(ctx, c);
        break;
    case CT_REPORTVIEW:
        if ((GetWindowLongPtrW(c->window, GWL_STYLE) & LVS_TYPEMASK) == LVS_REPORT)
            ReportViewStoreSelection(ctx, dlg, c);
        break;
    case CT_DATETIME:
        StoreDateTime(ctx, c);
        break;
    default:
        break;   // buttons, texts, pictures, group boxes, COM controls, menus, progress bars
    }
}

}  // namespace

std::string DialogDateText(BDS* ctx, const SYSTEMTIME& time)
{
    char text[64];
    FormatYmdHms(time, ctx->eng.ctl.FourDigitYear != 0, text, sizeof text);
    return text;
}

bool ReadControlText(BDS* ctx, HWND window, std::wstring& out)
{
    out.clear();
    int length = GetWindowTextLengthW(window);
    if (length < 0)
        length = 0;
    void* buffer = nullptr;
    if (!GrowVirtualArray(ctx, static_cast<size_t>(length) + 1, 0, sizeof(wchar_t), &buffer)) {
        SetError(ctx, ERR_NO_BUFFER);
        return false;
    }
    auto* text = static_cast<wchar_t*>(buffer);
    GetWindowTextW(window, text, length + 1);
    out = text;
    FreeVirtualArray(buffer);
    return true;
}

int StoreDialogValues(Dialog6Record* dlg, BDS* ctx, HWND dialog)
{
    DialogScope scope(ctx, dlg->scopeSlot);
    for (DialogControlRecord* c : dlg->controls)
        if (c->type == CT_FILELISTBOX && c->window && !FileListSelection(ctx, dialog, dlg, c))
            return 0;
    for (DialogControlRecord* c : dlg->controls)
        if (c->type == CT_CHECKBOX)
            SetVariableByName(ctx, c->variable, nullptr, 0, SV_INT);
    for (DialogControlRecord* c : dlg->controls)
        StoreControl(ctx, dlg, c);
    return 1;
}
