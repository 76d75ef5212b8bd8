// The controls of a classic dialog: the template lines read into the context's records,
// and the windows made from them with their initial state from the script's variables.
#include <windows.h>

#include <cstring>
#include <string>

#include "engine/core/context.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/core/tokenizer.h"
#include "engine/dialog/classic_dialog.h"
#include "engine/dialog/dialog_fields.h"
#include "engine/dialog/dialog_filelist.h"
#include "engine/dialog/dialog_report.h"
#include "engine/dialog/dialog_text.h"

namespace {

constexpr uint16_t ERR_LINE_MISSING = 3222;   // "Dialog: Control definition variable missing"
constexpr uint16_t ERR_TYPE = 3223;           // "Dialog: Bad Control type in definition variable"
constexpr uint16_t ERR_VALUE = 3224;          // "Dialog: Bad or missing Value for Radio/Checkbox button"
constexpr uint16_t ERR_TOO_MANY = 3225;       // "Dialog: Too many items in definition variable"
constexpr int MSG_OK = 120, MSG_CANCEL = 121;
constexpr int FIELD_COUNT = 8;
constexpr size_t TEXT_READ_MAX = 99;          // a control's text is read again from this much
constexpr size_t ITEM_MAX = 2047;
constexpr int DEFAULTS[4] = {8, 16, 44, 32};
constexpr int ID_BASE = 100;

const char* const kTypes[] = {"STATICTEXT", "EDITBOX", "RADIOBUTTON", "CHECKBOX",
                              "VARYTEXT",   "FILELISTBOX", "PUSHBUTTON", "ITEMBOX"};

ClassicControl& At(BDS* ctx, int i) { return ctx->classic.controls[i]; }

std::string Key(int number)
{
    char key[16];
    wsprintfA(key, "%2.2d", number);
    return key;
}

bool IsDefault(const std::string& field) { return lstrcmpiA(field.c_str(), "DEFAULT") == 0; }

int32_t FieldNumber(BDS* ctx, const std::string& field, int32_t fallback)
{
    int32_t value = 0;
    return FieldInteger(WideFromNarrow(ctx, field.c_str()), &value) ? value : fallback;
}

// The variable's value as display text; false when it does not exist or has none.
bool VariableText(BDS* ctx, const char* name, std::string& out)
{
    out.clear();
    int size = 4096;
    for (;;) {
        std::string buffer(static_cast<size_t>(size), '\0');
        if (!ValueToDisplayText(ctx, name, buffer.data(), buffer.size()))
            return false;
        buffer.resize(std::strlen(buffer.c_str()));
        if (static_cast<int>(buffer.size()) < size - 1 || size >= (1 << 22)) {
            out = buffer;
            return true;
        }
        size *= 4;
    }
}

// The text field of control `index`, read again from the first 99 characters of its line.
std::string ControlText(BDS* ctx, int index)
{
    std::string line;
    ReadDialogText(ctx, Key(index + 1).c_str(), line);
    if (line.size() > TEXT_READ_MAX)
        line.resize(TEXT_READ_MAX);
    size_t at = 0;
    std::string field;
    for (int i = 0; i <= 6; ++i)
        field = SplitClassicField(line, &at);
    return field;
}

HWND Make(BDS* ctx, HWND dialog, int index, const char* cls, DWORD exStyle, DWORD style, const std::string& text,
          int height)
{
    const ClassicControl& c = At(ctx, index);
    HWND w = CreateWindowExA(exStyle, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, c.left, c.top, c.width, height,
                             dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(ClassicControlId(ctx, index))),
                             EngineModule(), nullptr);
    if (w && ctx->eng.ctl.DisplayGuiFont)
        SendMessageA(w, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return w;
}

int StandardHeight()
{
    return HIWORD(GetDialogBaseUnits()) * 3 / 2;
}

int32_t VariableInteger(BDS* ctx, const char* name, bool create)
{
    std::string text;
    if (!VariableText(ctx, name, text)) {
        if (create)
            SetVariableByName(ctx, name, nullptr, 0, SV_INT);
        return 0;
    }
    return FieldNumber(ctx, text, 0);
}

void CreateRadioGroup(BDS* ctx, HWND dialog, int first)
{
    const ClassicControl& lead = At(ctx, first);
    int32_t value = VariableInteger(ctx, lead.variable, true);
    bool firstOne = true;
    for (int i = first; i < ctx->classic.count; ++i) {
        const ClassicControl& c = At(ctx, i);
        if (c.type != CL_RADIOBUTTON || lstrcmpiA(c.variable, lead.variable) != 0)
            continue;
        DWORD style = BS_RADIOBUTTON | WS_TABSTOP | (firstOne ? WS_GROUP : 0);
        HWND w = Make(ctx, dialog, i, "BUTTON", 0, style, ControlText(ctx, i), StandardHeight());
        bool checked = c.value == value || (value == 0 && firstOne);
        if (w)
            SendMessageA(w, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
        firstOne = false;
    }
}

std::string PushCaption(BDS* ctx, const ClassicControl& c, const std::string& text)
{
    if (!text.empty() && !IsDefault(text))
        return text;
    if (c.value != 0 && c.value != 1)
        return text;
    int which = c.value == 1 ? 0 : 1;
    const ButtonCaptions& own = ctx->eng.buttons;
    if (own.bNarrowSet && own.narrow[which][0])
        return own.narrow[which];
    char caption[64] = {};
    LoadMyString(ctx, EngineModule(), which == 0 ? MSG_OK : MSG_CANCEL, caption, sizeof caption);
    return caption;
}

void FillItems(BDS* ctx, HWND list, const ClassicControl& c)
{
    std::string items;
    if (!VariableText(ctx, c.variable, items)) {
        const std::string lines[3] = {"Error:", c.variable, "not defined."};
        for (const std::string& line : lines)
            SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
        SetVariableByName(ctx, c.variable, "", 0, SV_STRING);
        return;
    }
    size_t start = 0;
    while (start <= items.size()) {
        size_t tab = items.find('\t', start);
        std::string item = items.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
        if (item.size() > ITEM_MAX)
            item.resize(ITEM_MAX);
        if (!item.empty() || tab != std::string::npos)
            SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
        if (tab == std::string::npos)
            break;
        start = tab + 1;
    }
}

}  // namespace

std::string SplitClassicField(const std::string& text, size_t* position)
{
    size_t i = *position;
    if (i >= text.size())
        return "DEFAULT";
    std::string out;
    bool quoted = false;
    for (; i < text.size(); ++i) {
        char ch = text[i];
        if (ch == '"') {
            quoted = !quoted;
            continue;
        }
        if (ch == ',' && !quoted) {
            ++i;
            break;
        }
        if (ch == '\t' || (ch == ' ' && !quoted))
            continue;
        out += ch;
    }
    *position = i;
    return out;
}

int ClassicControlId(const BDS* ctx, int index)
{
    const ClassicControl& c = ctx->classic.controls[index];
    if (c.type == CL_PUSHBUTTON && c.value == 1)
        return IDOK;
    if (c.type == CL_PUSHBUTTON && c.value == 0)
        return IDCANCEL;
    return ID_BASE + index;
}

int ParseClassicControls(BDS* ctx, HWND)
{
    ClassicState& state = ctx->classic;
    state.count = 0;
    int32_t wanted = ReadDialogInt(ctx, "NumControls");
    if (wanted > CLASSIC_MAX_CONTROLS)
        wanted = CLASSIC_MAX_CONTROLS;
    LONG units = GetDialogBaseUnits();
    int bx = LOWORD(units), by = HIWORD(units);
    for (int n = 1; n <= wanted; ++n) {
        std::string key = Key(n);
        std::string line;
        if (!ReadDialogText(ctx, key.c_str(), line))
            return DialogFail(ctx, ERR_LINE_MISSING, key.c_str(), "<NOT FOUND>");
        std::string fields[FIELD_COUNT];
        size_t at = 0;
        int present = 0;
        while (at < line.size()) {
            std::string field = SplitClassicField(line, &at);
            if (present >= FIELD_COUNT)
                return DialogFail(ctx, ERR_TOO_MANY, key.c_str(), line.c_str());
            fields[present++] = field;
        }
        for (int i = present; i < FIELD_COUNT; ++i)
            fields[i] = "DEFAULT";
        ClassicControl c{};
        c.varyLink = c.editLink = CLASSIC_NO_LINK;
        int type = -1;
        for (int t = 0; t < 8; ++t)
            if (lstrcmpiA(fields[4].c_str(), kTypes[t]) == 0)
                type = t;
        if (type < 0)
            return DialogFail(ctx, ERR_TYPE, key.c_str(), line.c_str());
        c.type = static_cast<int8_t>(type);
        int32_t place[4];
        for (int i = 0; i < 4; ++i)
            place[i] = IsDefault(fields[i]) ? DEFAULTS[i] : FieldNumber(ctx, fields[i], 0);
        c.left = static_cast<int16_t>(place[0] * bx / 4);
        c.top = static_cast<int16_t>(place[1] * by / 8);
        c.width = static_cast<int16_t>(place[2] * bx / 4);
        bool list = type == CL_FILELISTBOX || type == CL_ITEMBOX;
        c.height = static_cast<int16_t>(list ? place[3] * by / 8 : StandardHeight());
        lstrcpynA(c.variable, fields[5].c_str(), CLASSIC_NAME_CHARS + 1);
        bool valued = type == CL_RADIOBUTTON || type == CL_CHECKBOX || type == CL_PUSHBUTTON;
        if (!valued && present > 7)
            return DialogFail(ctx, ERR_TOO_MANY, key.c_str(), line.c_str());
        if (valued) {
            int32_t value = 0;
            bool number = FieldInteger(WideFromNarrow(ctx, fields[7].c_str()), &value);
            c.value = static_cast<int8_t>(value & 0xFF);   // the Value's low byte is kept
            if (type != CL_PUSHBUTTON && (!number || c.value == 0))
                return DialogFail(ctx, ERR_VALUE, key.c_str(), line.c_str());
        }
        state.controls[state.count++] = c;
    }
    // links: a FILELISTBOX's VARYTEXT and EDITBOX share its variable
    for (int i = 0; i < state.count; ++i) {
        if (At(ctx, i).type != CL_FILELISTBOX)
            continue;
        for (int k = 0; k < state.count; ++k) {
            ClassicControl& other = At(ctx, k);
            if (k == i || lstrcmpiA(other.variable, At(ctx, i).variable) != 0)
                continue;
            if (other.type == CL_VARYTEXT)
                At(ctx, i).varyLink = static_cast<int16_t>(k);
            else if (other.type == CL_EDITBOX) {
                At(ctx, i).editLink = static_cast<int16_t>(k);
                other.editLink = static_cast<int16_t>(i);
            }
        }
    }
    return 1;
}

void CreateClassicControls(BDS* ctx, HWND dialog)
{
    ClassicState& state = ctx->classic;
    state.mask[0] = 0;
    for (int i = 0; i < state.count; ++i) {
        ClassicControl& c = At(ctx, i);
        std::string text = ControlText(ctx, i);
        std::string value;
        switch (c.type) {
        case CL_STATICTEXT:
            Make(ctx, dialog, i, "STATIC", 0, WS_GROUP, text, c.height);
            break;
        case CL_EDITBOX: {
            DWORD style = WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
            if (_strnicmp(c.variable, "PW_", 3) == 0)
                style |= ES_PASSWORD;
            if (c.editLink != CLASSIC_NO_LINK) {
                value = VariableText(ctx, c.variable, value) && !value.empty() ? value : "*.*";
            } else if (!VariableText(ctx, c.variable, value)) {
                value = text;
                SetVariableByName(ctx, c.variable, "", 0, SV_STRING);
            }
            Make(ctx, dialog, i, "EDIT", WS_EX_CLIENTEDGE, style, value, c.height);
            break;
        }
        case CL_RADIOBUTTON: {
            bool first = true;
            for (int k = 0; k < i; ++k)
                if (At(ctx, k).type == CL_RADIOBUTTON && lstrcmpiA(At(ctx, k).variable, c.variable) == 0)
                    first = false;
            if (first)
                CreateRadioGroup(ctx, dialog, i);
            break;
        }
        case CL_CHECKBOX: {
            HWND w = Make(ctx, dialog, i, "BUTTON", 0, BS_CHECKBOX | WS_GROUP | WS_TABSTOP, text, c.height);
            int32_t bits = VariableInteger(ctx, c.variable, true);
            if (w)
                SendMessageA(w, BM_SETCHECK, (bits & c.value) ? BST_CHECKED : BST_UNCHECKED, 0);
            break;
        }
        case CL_VARYTEXT:
            if (!VariableText(ctx, c.variable, value))
                value = text;
            Make(ctx, dialog, i, "STATIC", 0, 0, value, c.height);
            break;
        case CL_FILELISTBOX: {
            if (!VariableText(ctx, c.variable, value) || value.empty()) {
                if (!VariableText(ctx, c.variable, value))
                    SetVariableByName(ctx, c.variable, "", 0, SV_STRING);
                value = "*.*";
            }
            lstrcpynA(state.mask, value.c_str(), CLASSIC_MASK_CHARS);
            Make(ctx, dialog, i, "LISTBOX", WS_EX_CLIENTEDGE,
                 WS_VSCROLL | WS_BORDER | WS_GROUP | WS_TABSTOP | LBS_NOTIFY | LBS_SORT, "Files", c.height);
            break;
        }
        case CL_PUSHBUTTON:
            Make(ctx, dialog, i, "BUTTON", 0, BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, PushCaption(ctx, c, text),
                 c.height);
            break;
        case CL_ITEMBOX: {
            DWORD style = WS_VSCROLL | WS_BORDER | WS_TABSTOP | LBS_NOTIFY | LBS_SORT;
            if (ctx->eng.ctl.ListBoxMultiSelect)
                style |= LBS_MULTIPLESEL;
            HWND list = Make(ctx, dialog, i, "LISTBOX", WS_EX_CLIENTEDGE, style, "", c.height);
            if (!list)
                break;
            if (ctx->eng.ctl.BoxFontMode == 1)
                SendMessageA(list, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(SYSTEM_FIXED_FONT)), FALSE);
            FillItems(ctx, list, c);
            break;
        }
        default:
            break;
        }
    }
    // the file list is filled once every window exists
    for (int i = 0; i < state.count; ++i) {
        ClassicControl& c = At(ctx, i);
        if (c.type != CL_FILELISTBOX)
            continue;
        HWND list = GetDlgItem(dialog, ClassicControlId(ctx, i));
        HWND label = c.varyLink != CLASSIC_NO_LINK ? GetDlgItem(dialog, ClassicControlId(ctx, c.varyLink)) : nullptr;
        std::wstring path = WideFromNarrow(ctx, state.mask);
        if (!DialogDirListW(ctx, dialog, path, list, label, FILE_LIST_FLAGS)) {
            path = L"*.*";
            DialogDirListW(ctx, dialog, path, list, label, FILE_LIST_FLAGS);
            if (c.editLink != CLASSIC_NO_LINK)
                SetDlgItemTextA(dialog, ClassicControlId(ctx, c.editLink), "*.*");
        }
        lstrcpynA(state.mask, NarrowFromWide(ctx, path.c_str()).c_str(), CLASSIC_MASK_CHARS);
    }
}

bool ReadDialogText(BDS* ctx, const char* key, std::string& out)
{
    std::string name = std::string(ctx->dlg.name) + key;
    return VariableText(ctx, name.c_str(), out);
}

int32_t ReadDialogInt(BDS* ctx, const char* key)
{
    std::string text;
    if (!ReadDialogText(ctx, key, text))
        return -9999;
    if (text.size() > 39)
        text.resize(39);
    return FieldNumber(ctx, text, 0);
}
