// The control-type table: keyword, admitted fields, honoured style bits, creator and
// window class of each of the 21 control types.
#include "engine/dialog/dialog_record.h"

#include <cstring>
#include <cwchar>

#include "engine/core/context.h"
#include "engine/dialog/dialog_controls.h"
#include "engine/dialog/dialog_menus.h"

namespace {

constexpr uint32_t HONOUR_SHOW = CS_INVISIBLE | CS_DISABLED;
constexpr uint32_t HONOUR_ALIGN = CS_CENTER | CS_RIGHT;
constexpr uint32_t HONOUR_EDIT = HONOUR_SHOW | CS_READONLY | CS_DIGITS | HONOUR_ALIGN | CS_CURLEFT | CS_CURRIGHT;
constexpr uint32_t HONOUR_BUTTON = HONOUR_SHOW | CS_DEFBUTTON | CS_FLAT | CS_SHIELD;
constexpr uint32_t HONOUR_REPORT = HONOUR_SHOW | 0x1FF80000 | 0x40000000;
constexpr uint32_t HONOUR_MENUITEM = HONOUR_SHOW | 0x8000 | 0x10000 | 0x20000 | 0x40000;

const ControlTypeRow kTypes[CONTROL_TYPE_COUNT] = {
    {CT_STATICTEXT, "STATICTEXT", 0x3e1, HONOUR_SHOW | HONOUR_ALIGN, CreateStaticTextControl, L"Static", "StaticText", false},
    {CT_EDITBOX, "EDITBOX", 0x3e5, HONOUR_EDIT | CS_PASSWORD, CreateEditBoxControl, L"Edit", "EditBox", false},
    {CT_RADIOBUTTON, "RADIOBUTTON", 0x3ed, HONOUR_SHOW, CreateRadioButtonControl, L"Button", "RadioButton", false},
    {CT_CHECKBOX, "CHECKBOX", 0x3ed, HONOUR_SHOW, CreateCheckBoxControl, L"Button", "CheckBox", false},
    {CT_VARYTEXT, "VARYTEXT", 0x3e5, HONOUR_SHOW | HONOUR_ALIGN, CreateVaryTextControl, L"Static", "VaryText", false},
    {CT_FILELISTBOX, "FILELISTBOX", 0x3f4, HONOUR_SHOW | CS_NOADJUST, CreateFileListboxControl, L"ListBox", "FileListbox", false},
    {CT_PUSHBUTTON, "PUSHBUTTON", 0x3e9, HONOUR_BUTTON, CreatePushButtonControl, L"Button", "PushButton", false},
    {CT_ITEMBOX, "ITEMBOX", 0x3f4, HONOUR_SHOW | CS_NOADJUST, CreateItemListboxControl, L"ListBox", "ItemListbox", false},
    {CT_PICTUREBUTTON, "PICTUREBUTTON", 0x30b, HONOUR_BUTTON, CreatePushButtonControl, L"Button", "PushButton", false},
    {CT_PICTURE, "PICTURE", 0x303, HONOUR_SHOW, CreatePictureControl, L"Static", "Picture", false},
    {CT_DROPLISTBOX, "DROPLISTBOX", 0x3f4, HONOUR_SHOW | CS_LISTONLY, CreateDropListBoxControl, L"ComboBox", "DropListBox", false},
    {CT_MULTILINEBOX, "MULTILINEBOX", 0x3e5, HONOUR_EDIT, CreateEditBoxControl, L"Edit", "EditBox", false},
    {CT_GROUPBOX, "GROUPBOX", 0x3e1, HONOUR_SHOW, CreateGroupBoxControl, L"Button", "GroupBox", false},
    {CT_CALENDAR, "CALENDAR", 0x325, HONOUR_SHOW, CreateCalendarControl, L"SysMonthCal32", "Calendar", false},
    {CT_SPINNER, "SPINNER", 0x3f4, HONOUR_SHOW | CS_READONLY, CreateSpinnerControl, L"msctls_updown32", "Spinner", false},
    {CT_COMCONTROL, "COMCONTROL", 0x7e1, CS_INVISIBLE | CS_VERTICAL, CreateComControl, L"ZalComWin", "ComControl", false},
    {CT_MENUBAR, "MENUBAR", 0, 0, CreateMenuBarControl, nullptr, "MenuBar", true},
    {CT_MENUITEM, "MENUITEM", 0x1a01, HONOUR_MENUITEM, CreateMenuItemControl, nullptr, "MenuItem", true},
    {CT_REPORTVIEW, "REPORTVIEW", 0x23e4, HONOUR_REPORT, CreateReportViewControl, L"SysListView32", "ReportView", true},
    {CT_DATETIME, "DATETIME", 0x3e5, HONOUR_SHOW | CS_CHECKBOX | CS_SPINNER, CreateDateTimeControl, L"SysDateTimePick32", "DateTime", true},
    {CT_PROGRESS, "PROGRESS", 0x3c1, HONOUR_SHOW | CS_VERTICAL, CreateProgressControl, L"msctls_progress32", "Progress", true},
};

bool SameKeyword(const wchar_t* word, const char* keyword)
{
    for (;; ++word, ++keyword) {
        wchar_t w = *word;
        if (w >= L'a' && w <= L'z')
            w = static_cast<wchar_t>(w - L'a' + L'A');
        if (w != static_cast<unsigned char>(*keyword))
            return false;
        if (!*keyword)
            return true;
    }
}

}  // namespace

const ControlTypeRow* ControlTypeRowOf(int code)
{
    return code >= 1 && code <= CONTROL_TYPE_COUNT ? &kTypes[code - 1] : nullptr;
}

int ControlTypeFromKeyword(const wchar_t* word, int format)
{
    if (!word)
        return CT_NONE;
    if (SameKeyword(word, "CALENDER"))
        return CT_CALENDAR;
    for (const ControlTypeRow& row : kTypes)
        if (SameKeyword(word, row.keyword))
            return row.only62 && format != 62 ? static_cast<int>(CT_NONE) : row.code;
    return CT_NONE;
}

uint64_t ControlTypeKeyword(BDS* ctx, int code)
{
    const ControlTypeRow* row = ControlTypeRowOf(code);
    const char* keyword = row ? row->keyword : "";
    uint64_t offset = HeapCopyText(ctx, keyword, std::strlen(keyword));
    if (!offset)
        SetError(ctx, 3096);
    return offset;
}
