// List boxes and combo boxes filled from and read into tab-delimited text.
#include "engine/dialog/dialog_lists.h"

#include <vector>

#include "engine/core/context.h"
#include "engine/dialog/dialog_record.h"

namespace {

constexpr uint16_t ERR_SELECTION_UNREADABLE = 1336;   // "Ask Multiple: Error retrieving selected items from listbox"

std::vector<std::wstring> TabFields(const wchar_t* text)
{
    std::vector<std::wstring> fields;
    std::wstring current;
    for (const wchar_t* p = text ? text : L"";; ++p) {
        if (*p == L'\t' || *p == 0) {
            if (*p == L'\t' || !current.empty())
                fields.push_back(current);
            current.clear();
            if (*p == 0)
                break;
        } else {
            current += *p;
        }
    }
    return fields;
}

bool IsMultipleChoice(HWND list, int type)
{
    return type == CT_ITEMBOX && (GetWindowLongPtrW(list, GWL_STYLE) & LBS_EXTENDEDSEL);
}

}  // namespace

std::wstring ListItemText(HWND list, bool combo, LRESULT index)
{
    LRESULT length = SendMessageW(list, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length < 0)
        return std::wstring();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    LRESULT got = SendMessageW(list, combo ? CB_GETLBTEXT : LB_GETTEXT, static_cast<WPARAM>(index),
                               reinterpret_cast<LPARAM>(text.data()));
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

int DialogListFill(HWND list, int type, const wchar_t* text)
{
    if (type != CT_ITEMBOX && type != CT_DROPLISTBOX)
        return 0;
    bool combo = type == CT_DROPLISTBOX;
    SendMessageW(list, combo ? CB_RESETCONTENT : LB_RESETCONTENT, 0, 0);
    for (const std::wstring& field : TabFields(text))
        SendMessageW(list, combo ? CB_ADDSTRING : LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(field.c_str()));
    return 1;
}

int DialogListSelect(HWND list, int type, const wchar_t* text)
{
    bool multiple = IsMultipleChoice(list, type);
    std::vector<std::wstring> fields = TabFields(text);
    if (fields.empty()) {
        if (multiple)
            SendMessageW(list, LB_SETSEL, FALSE, -1);
        else
            SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        return 1;
    }
    if (!multiple) {
        LRESULT found = SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                     reinterpret_cast<LPARAM>(fields[0].c_str()));
        if (found == LB_ERR)
            return 0;
        SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(found), 0);
        return 1;
    }
    bool any = false;
    for (const std::wstring& field : fields) {
        LRESULT found =
            SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(field.c_str()));
        if (found == LB_ERR)
            continue;
        if (!any)
            SendMessageW(list, LB_SETSEL, FALSE, -1);
        any = true;
        SendMessageW(list, LB_SETSEL, TRUE, found);
    }
    return any ? 1 : 0;
}

bool ListSelection(BDS* ctx, HWND list, std::wstring& out)
{
    out.clear();
    if (!IsMultipleChoice(list, CT_ITEMBOX)) {
        LRESULT index = SendMessageW(list, LB_GETCURSEL, 0, 0);
        if (index != LB_ERR)
            out = ListItemText(list, false, index);
        return true;
    }
    LRESULT count = SendMessageW(list, LB_GETSELCOUNT, 0, 0);
    if (count == LB_ERR || count <= 0)
        return true;
    std::vector<int> indexes(static_cast<size_t>(count));
    LRESULT got = SendMessageW(list, LB_GETSELITEMS, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(indexes.data()));
    if (got != count) {
        SetError(ctx, ERR_SELECTION_UNREADABLE);
        return false;
    }
    for (size_t i = 0; i < indexes.size(); ++i) {
        if (i)
            out += L'\t';
        out += ListItemText(list, false, indexes[i]);
    }
    return true;
}

int ListSelectionText(BDS* ctx, Dialog6Record*, DialogControlRecord* control)
{
    std::wstring text;
    if (!ListSelection(ctx, control->window, text))
        return 0;
    return SetVariableByName(ctx, control->variable, text.c_str(), 0, SV_WIDE);
}
