// The 6.x dialog template parser: the dialog variables, then one control line a control.
#include "engine/dialog/dialog_template.h"

#include <cstring>
#include <cwchar>
#include <new>

#include "engine/core/context.h"
#include "engine/core/engine_setup.h"
#include "engine/dialog/dialog_fields.h"
#include "engine/dialog/dialog_menus.h"
#include "engine/dialog/dialog_paint.h"
#include "engine/dialog/dialog_record.h"
#include "engine/dialog/dialog_report.h"
#include "engine/dialog/dialog_text.h"
#include "engine/dialog/dialog_units.h"
#include "engine/dialog/report_view.h"

namespace {

constexpr uint16_t ERR_NO_RECORD = 1631;
constexpr uint16_t ERR_SIZE = 3221;
constexpr uint16_t ERR_LINE_MISSING = 3222;
constexpr uint16_t ERR_TYPE = 3223;
constexpr uint16_t ERR_VALUE_ZERO = 3224;
constexpr uint16_t ERR_TOO_MANY = 3225;
constexpr uint16_t ERR_MIN_SIZE = 3226;
constexpr uint16_t ERR_DPI = 3609;
constexpr uint16_t ERR_DIALOG_FONT = 3941;
constexpr uint16_t ERR_DIALOG_TEXTCOLOR = 3943;
constexpr uint16_t ERR_BACKGROUND_IMAGE = 3945;
constexpr uint16_t ERR_VARIABLE_MISSING = 3946;
constexpr uint16_t ERR_VALUE_UNSUPPORTED = 3947;
constexpr uint16_t ERR_FONT_UNSUPPORTED = 3948;
constexpr uint16_t ERR_TEXTCOLOR_UNSUPPORTED = 3949;
constexpr uint16_t ERR_BACKGROUND_UNSUPPORTED = 3950;
constexpr uint16_t ERR_TOO_FEW = 3951;
constexpr uint16_t ERR_TEXT_UNSUPPORTED = 3953;
constexpr uint16_t ERR_FONT = 3954;
constexpr uint16_t ERR_TEXTCOLOR = 3955;
constexpr uint16_t ERR_BKCOLOR = 3956;
constexpr uint16_t ERR_VARIABLE_UNSUPPORTED = 3957;
constexpr uint16_t ERR_VALUE = 3958;
constexpr uint16_t ERR_RECT = 3959;
constexpr uint16_t ERR_SECOND_FILELIST = 3967;
constexpr uint16_t ERR_COUNT_MISSING = 3968;
constexpr uint16_t ERR_BACKGROUND_TWICE = 3969;
constexpr uint16_t ERR_BACKGROUND_COLOR = 3970;
constexpr uint16_t ERR_TAB = 3971;
constexpr uint16_t ERR_STYLE = 3972;
constexpr uint16_t ERR_NAME_MISSING = 3982;
constexpr uint16_t ERR_NAME_LONG = 3983;
constexpr uint16_t ERR_SECOND_MENUBAR = 3986;
constexpr uint16_t ERR_MENU_PARENT = 3988;

constexpr int CAPTION_MAX = 255;
constexpr int DPI_MAX[3] = {460, 40, 80};
constexpr int32_t MENU_TAB_BASE = INT32_MIN;   // menus sort before every ordinary tab order

const wchar_t kNotFound[] = L"<NOT FOUND>";

// ---------------------------------------------------------------- header

bool DrawDibAvailable(BDS* ctx) { return LoadDrawDib(ctx); }

// "<dialog name><label><value>" as the only text of a size error.
int HeaderFail(BDS* ctx, uint16_t number, const char* label, const std::wstring& value)
{
    std::wstring text = WideFromNarrow(ctx, ctx->dlg.name) + WideFromNarrow(ctx, label) + value;
    return DialogFailW(ctx, number, nullptr, text.c_str());
}

// A width or height key: missing, not a number or negative fails with 3221.
int ReadSize(BDS* ctx, const char* key, const char* label, int* out)
{
    std::wstring text;
    if (!VariableTextByDialogName(ctx, key, text))
        return HeaderFail(ctx, ERR_SIZE, label, L"");
    int32_t value;
    if (!FieldInteger(text, &value) || value < 0)
        return HeaderFail(ctx, ERR_SIZE, label, text);
    *out = value;
    return 1;
}

// "x" or "y": -1 when missing.
int ReadPosition(BDS* ctx, const char* key, const char* label, int* out)
{
    std::wstring text;
    *out = -1;
    if (!VariableTextByDialogName(ctx, key, text))
        return 1;
    int32_t value;
    if (!FieldInteger(text, &value))
        return HeaderFail(ctx, ERR_SIZE, label, text);
    *out = value;
    return 1;
}

int ReadControlCount(BDS* ctx, Dialog6Record* dlg)
{
    std::wstring text;
    if (!VariableTextByDialogName(ctx, "NumControls", text))
        return DialogFailW(ctx, ERR_COUNT_MISSING, "NumControls", kNotFound);
    int32_t count;
    if (!FieldInteger(text, &count) || count < 0)
        return DialogFailW(ctx, ERR_COUNT_MISSING, "NumControls", text.c_str());
    dlg->lineCount = count > MAX_DIALOG_CONTROLS ? MAX_DIALOG_CONTROLS : count;
    return 1;
}

int ReadBackground(BDS* ctx, Dialog6Record* dlg)
{
    std::wstring value;
    if (!VariableTextByDialogName(ctx, "Background", value))
        return 1;
    std::wstring item, firstItem;
    size_t position = 0;
    bool haveColor = false, haveBitmap = false, bitmapFailed = false;
    for (int n = 0; n < 2 && SplitTemplateField(false, false, value.c_str(), item, &position); ++n) {
        if (item.empty() || IsDefaultField(item))
            continue;
        if (firstItem.empty())
            firstItem = item;
        if (LooksLikeColor(item.c_str())) {
            if (haveColor)
                return DialogFailW(ctx, ERR_BACKGROUND_TWICE, "Background", value.c_str());
            COLORREF color;
            if (!ParseColorSpec(item.c_str(), &color))
                return DialogFailW(ctx, ERR_BACKGROUND_COLOR, "Background", value.c_str());
            haveColor = true;
            dlg->backBrush = CreateSolidBrush(color);
        } else {
            if (haveBitmap)
                return DialogFailW(ctx, ERR_BACKGROUND_TWICE, "Background", value.c_str());
            haveBitmap = true;
            if (DrawDibAvailable(ctx)) {
                dlg->backBitmap = LoadBackgroundBitmap(ctx, item.c_str());
                bitmapFailed = dlg->backBitmap == nullptr;
            }
        }
    }
    if (bitmapFailed && !haveColor)
        return DialogFailW(ctx, ERR_BACKGROUND_IMAGE, "Background", value.c_str());
    dlg->backgroundText = firstItem.empty() ? std::string("DEFAULT") : NarrowFromWide(ctx, firstItem.c_str());
    return 1;
}

int ReadMinimum(BDS* ctx, const char* key, const char* label, int limit, int* out, bool* given)
{
    std::wstring text;
    *out = limit;
    if (!VariableTextByDialogName(ctx, key, text))
        return 1;
    int32_t value;
    if (!FieldInteger(text, &value) || value < 0 || value > limit)
        return HeaderFail(ctx, ERR_MIN_SIZE, label, text);
    *out = value;
    *given = true;
    return 1;
}

int ReadDpi(BDS* ctx, Dialog6Record* dlg)
{
    std::wstring value;
    if (!VariableTextByDialogName(ctx, "DPI", value))
        return 1;
    std::wstring item;
    size_t position = 0;
    int read[3];
    for (int i = 0; i < 3; ++i) {
        int32_t n;
        if (!SplitTemplateField(false, false, value.c_str(), item, &position) || !FieldInteger(item, &n) || n < 1
            || n > DPI_MAX[i])
            return HeaderFail(ctx, ERR_DPI, "DPI=`", value + L"`");
        read[i] = n;
    }
    for (int i = 0; i < 3; ++i)
        dlg->dpi[i] = read[i];
    return 1;
}

// Scales a position that is given; -1 takes the remembered place of the last dialog.
void PlaceCoordinate(BDS* ctx, Dialog6Record* dlg, int* value, bool horizontal)
{
    if (*value != -1) {
        DialogUnitsScale(dlg, horizontal ? value : nullptr, horizontal ? nullptr : value, nullptr, nullptr);
        return;
    }
    int32_t remembered = ctx->eng.ctl.LastDialogPosition[horizontal ? 0 : 1];
    if (remembered != -1)
        *value = horizontal ? UnitsToPixelsX(dlg, remembered) : UnitsToPixelsY(dlg, remembered);
}

int ReadHeader(BDS* ctx, Dialog6Record* dlg)
{
    if (!ReadPosition(ctx, "x", "x=", &dlg->x) || !ReadPosition(ctx, "y", "y=", &dlg->y)
        || !ReadSize(ctx, "width", "Width=", &dlg->width) || !ReadSize(ctx, "height", "Height=", &dlg->height)
        || !ReadControlCount(ctx, dlg))
        return 0;

    std::wstring text, fontText;
    if (VariableTextByDialogName(ctx, "Caption", text)) {
        if (text.size() > CAPTION_MAX)
            text.resize(CAPTION_MAX);
        std::wmemcpy(dlg->caption, text.c_str(), text.size() + 1);
    }
    if (VariableTextByDialogName(ctx, "Procedure", text)) {
        std::string name = NarrowFromWide(ctx, text.c_str());
        lstrcpynA(dlg->procedure, name.c_str(), sizeof dlg->procedure);
    }
    VariableTextByDialogName(ctx, "Font", fontText);
    if (VariableTextByDialogName(ctx, "TextColor", text) && !text.empty() && !IsDefaultField(text)
        && !ParseColorSpec(text.c_str(), &dlg->textColor))
        return DialogFailW(ctx, ERR_DIALOG_TEXTCOLOR, "TextColor", text.c_str());
    if (!ReadBackground(ctx, dlg))
        return 0;

    bool minGiven = false;
    if (!ReadMinimum(ctx, "minwidth", "MinWidth=", dlg->width, &dlg->minWidth, &minGiven)
        || !ReadMinimum(ctx, "minheight", "MinHeight=", dlg->height, &dlg->minHeight, &minGiven))
        return 0;
    dlg->resizable = minGiven;
    if (!ReadDpi(ctx, dlg))
        return 0;

    PlaceCoordinate(ctx, dlg, &dlg->x, true);
    PlaceCoordinate(ctx, dlg, &dlg->y, false);
    DialogUnitsScale(dlg, nullptr, nullptr, &dlg->width, &dlg->height);
    DialogUnitsScale(dlg, nullptr, nullptr, &dlg->minWidth, &dlg->minHeight);

    if (!fontText.empty() && !IsDefaultField(fontText) && !ParseFontSpec(ctx, dlg, fontText.c_str(), &dlg->font))
        return DialogFailW(ctx, ERR_DIALOG_FONT, "Font", fontText.c_str());
    return 1;
}

// ---------------------------------------------------------------- control lines

// Logical field numbers (the 6.2 layout; a 6.1 line has no name).
enum Field : int {
    F_X = 0, F_Y, F_WIDTH, F_HEIGHT, F_TYPE, F_NAME, F_VARIABLE, F_TEXT, F_VALUE, F_TAB, F_STYLE,
    F_FONT, F_TEXTCOLOR, F_BACKGROUND, FIELD_COUNT
};

struct LineParse {
    BDS* ctx;
    Dialog6Record* dlg;
    char key[4];                 // "001"
    const std::wstring* line;
    std::wstring field[FIELD_COUNT];
    bool present[FIELD_COUNT];
    uint32_t fieldSet;
};

int LineFail(LineParse& p, uint16_t number)
{
    return DialogFailW(p.ctx, number, p.key, p.line->c_str());
}

// Cuts the line into its logical fields; the text field in text mode. Answers the number of
// physical fields read (one more than the format allows is enough to know).
int SplitLine(LineParse& p, int format)
{
    size_t position = 0;
    int physical = 0;
    int type = CT_NONE;
    std::wstring piece;
    int allowed = format == 62 ? FIELD_COUNT : FIELD_COUNT - 1;
    while (physical <= allowed) {
        int logical = format == 62 || physical < F_NAME ? physical : physical + 1;
        bool textMode = logical == F_TEXT;
        if (!SplitTemplateField(textMode && type == CT_ITEMBOX, textMode, p.line->c_str(), piece, &position))
            break;
        if (logical < FIELD_COUNT) {
            p.field[logical] = piece;
            p.present[logical] = true;
        }
        if (logical == F_TYPE)
            type = ControlTypeFromKeyword(piece.c_str(), format);
        ++physical;
    }
    return physical;
}

// The name as a narrow copy of at most CONTROL_NAME_MAX characters.
void KeepName(BDS* ctx, const std::wstring& text, char* out)
{
    std::string narrow = NarrowFromWide(ctx, text.c_str());
    lstrcpynA(out, narrow.c_str(), CONTROL_NAME_MAX + 1);
}

// A field the type does not admit must read DEFAULT.
int NotAdmitted(LineParse& p, int field, uint16_t number)
{
    if (p.present[field] && !IsDefaultField(p.field[field]))
        return LineFail(p, number);
    return 1;
}

int ReadRect(LineParse& p, DialogControlRecord* c)
{
    int* target[4] = {&c->x, &c->y, &c->width, &c->height};
    for (int i = F_X; i <= F_HEIGHT; ++i) {
        int32_t value;
        if (p.field[i].empty() || !FieldInteger(p.field[i], &value))
            return LineFail(p, ERR_RECT);
        *target[i] = value;
    }
    return 1;
}

int ReadName(LineParse& p, DialogControlRecord* c)
{
    if (p.dlg->format != 62)
        return 1;
    if (!p.present[F_NAME])
        return LineFail(p, ERR_TOO_FEW);
    const std::wstring& name = p.field[F_NAME];
    if (IsDefaultField(name)) {
        wsprintfA(c->name, "%d", c->number);
    } else {
        if (name.empty())
            return LineFail(p, ERR_NAME_MISSING);
        if (name.size() > CONTROL_NAME_MAX)
            return LineFail(p, ERR_NAME_LONG);
        KeepName(p.ctx, name, c->name);
    }
    c->nameHash = HashNameLower(c->name);
    return 1;
}

int ReadVariable(LineParse& p, DialogControlRecord* c)
{
    if (!(p.fieldSet & FS_ANY_VARIABLE))
        return NotAdmitted(p, F_VARIABLE, ERR_VARIABLE_UNSUPPORTED);
    if (!p.present[F_VARIABLE])
        return LineFail(p, ERR_TOO_FEW);
    const std::wstring& v = p.field[F_VARIABLE];
    if (p.fieldSet & FS_FREE_TEXT) {
        c->freeText = NarrowFromWide(p.ctx, v.c_str());
        return 1;
    }
    if (p.fieldSet & FS_PARENT) {
        KeepName(p.ctx, v, c->parent);
        if (p.dlg->format == 62 && lstrcmpiA(c->parent, c->name) == 0)
            return LineFail(p, ERR_MENU_PARENT);
        c->parentHash = HashNameLower(c->parent);
        return 1;
    }
    if (v.empty() || IsDefaultField(v))
        return LineFail(p, ERR_VARIABLE_MISSING);
    KeepName(p.ctx, v, c->variable);
    return 1;
}

int ReadText(LineParse& p, DialogControlRecord* c)
{
    if (!(p.fieldSet & (FS_TEXT | FS_ANSI_TEXT)))
        return NotAdmitted(p, F_TEXT, ERR_TEXT_UNSUPPORTED);
    if (!p.present[F_TEXT])
        return LineFail(p, ERR_TOO_FEW);
    const std::wstring& t = p.field[F_TEXT];
    if (t == L"DEFAULT")   // a caption that reads "Default" stays a caption
        return 1;
    c->hasText = true;
    c->text = t;
    if (p.fieldSet & FS_ANSI_TEXT)
        c->textA = NarrowFromWide(p.ctx, t.c_str());
    return 1;
}

int ReadValue(LineParse& p, DialogControlRecord* c)
{
    if (!(p.fieldSet & FS_VALUE))
        return NotAdmitted(p, F_VALUE, ERR_VALUE_UNSUPPORTED);
    if (!p.present[F_VALUE])
        return LineFail(p, ERR_TOO_FEW);
    if (!FieldInteger(p.field[F_VALUE], &c->value))
        return LineFail(p, ERR_VALUE);
    if (c->value == 0 && c->type != CT_PUSHBUTTON && c->type != CT_PICTUREBUTTON)
        return LineFail(p, ERR_VALUE_ZERO);
    return 1;
}

int ReadTabOrder(LineParse& p, DialogControlRecord* c)
{
    if (!(p.fieldSet & FS_ANY_TAB))
        return NotAdmitted(p, F_TAB, ERR_TAB);
    if (!p.present[F_TAB])
        return LineFail(p, ERR_TOO_FEW);
    int32_t order;
    if (!FieldInteger(p.field[F_TAB], &order))
        return LineFail(p, ERR_TAB);
    if (p.fieldSet & FS_TAB_VALUE)
        c->value = order;   // a menu item keeps it as its value
    else
        c->tabOrder = order;
    return 1;
}

int ReadStyle(LineParse& p, DialogControlRecord* c)
{
    if (!(p.fieldSet & FS_STYLE))
        return NotAdmitted(p, F_STYLE, ERR_STYLE);
    if (!p.present[F_STYLE])
        return LineFail(p, ERR_TOO_FEW);
    if (!ParseStyleNames(p.field[F_STYLE].c_str(), &c->style))
        return LineFail(p, ERR_STYLE);
    return 1;
}

int ReadFont(LineParse& p, DialogControlRecord* c)
{
    c->font = p.dlg->font;   // DEFAULT: the dialog's font (the dialog owns it)
    if (!(p.fieldSet & FS_FONT))
        return NotAdmitted(p, F_FONT, ERR_FONT_UNSUPPORTED);
    if (!p.present[F_FONT])
        return LineFail(p, ERR_TOO_FEW);
    if (IsDefaultField(p.field[F_FONT]))
        return 1;
    if (!ParseFontSpec(p.ctx, p.dlg, p.field[F_FONT].c_str(), &c->font))
        return LineFail(p, ERR_FONT);
    c->ownsFont = true;
    return 1;
}

int ReadTextColor(LineParse& p, DialogControlRecord* c)
{
    if (!(p.fieldSet & FS_TEXTCOLOR))
        return NotAdmitted(p, F_TEXTCOLOR, ERR_TEXTCOLOR_UNSUPPORTED);
    if (!p.present[F_TEXTCOLOR])
        return LineFail(p, ERR_TOO_FEW);
    if (!IsDefaultField(p.field[F_TEXTCOLOR]) && !ParseColorSpec(p.field[F_TEXTCOLOR].c_str(), &c->textColor))
        return LineFail(p, ERR_TEXTCOLOR);
    return 1;
}

int ReadBackgroundField(LineParse& p, DialogControlRecord* c)
{
    if (!(p.fieldSet & FS_ANY_BACKGROUND))
        return NotAdmitted(p, F_BACKGROUND, ERR_BACKGROUND_UNSUPPORTED);
    if (!p.present[F_BACKGROUND])
        return LineFail(p, ERR_TOO_FEW);
    const std::wstring& b = p.field[F_BACKGROUND];
    if (IsDefaultField(b))
        return 1;
    if (p.fieldSet & FS_BKCOLOR) {
        if (!ParseColorSpec(b.c_str(), &c->backColor))
            return LineFail(p, ERR_BKCOLOR);
        c->backBrush = CreateSolidBrush(c->backColor);
        c->ownsBrush = true;
        return 1;
    }
    c->bitmapFile = b;
    if (DrawDibAvailable(p.ctx))
        c->bitmap = LoadBackgroundBitmap(p.ctx, b.c_str());
    return 1;
}

// Notes the type; refuses an unknown one and a second FILELISTBOX or MENUBAR.
int ReadType(LineParse& p, DialogControlRecord* c, bool* fileList)
{
    int type = ControlTypeFromKeyword(p.field[F_TYPE].c_str(), p.dlg->format);
    const ControlTypeRow* row = ControlTypeRowOf(type);
    if (!row)
        return LineFail(p, ERR_TYPE);
    c->type = static_cast<uint8_t>(type);
    c->creator = row->creator;
    p.fieldSet = row->fieldSet;
    if (type == CT_FILELISTBOX) {
        if (*fileList)
            return LineFail(p, ERR_SECOND_FILELIST);
        *fileList = true;
    }
    if (type == CT_MENUBAR) {
        if (p.dlg->hasMenuBar)
            return LineFail(p, ERR_SECOND_MENUBAR);
        p.dlg->hasMenuBar = true;
    }
    return 1;
}

int ParseLine(LineParse& p, DialogControlRecord* c, bool* fileList)
{
    int format = p.dlg->format;
    int physical = SplitLine(p, format);
    if (physical < 5)
        return LineFail(p, ERR_TOO_FEW);
    if (!ReadRect(p, c) || !ReadType(p, c, fileList))
        return 0;
    if (physical > (format == 62 ? 14 : 13))
        return LineFail(p, ERR_TOO_MANY);
    if (!ReadName(p, c) || !ReadVariable(p, c) || !ReadText(p, c) || !ReadValue(p, c) || !ReadTabOrder(p, c)
        || !ReadStyle(p, c) || !ReadFont(p, c) || !ReadTextColor(p, c) || !ReadBackgroundField(p, c))
        return 0;
    if (c->type == CT_MENUBAR)
        c->tabOrder = MENU_TAB_BASE;
    else if (c->type == CT_MENUITEM)
        c->tabOrder = MENU_TAB_BASE + ++p.dlg->menuItemCount;
    return 1;
}

DialogControlRecord* NewControl(int number)
{
    auto* c = new (std::nothrow) DialogControlRecord{};
    if (!c)
        return nullptr;
    c->number = static_cast<uint16_t>(number);
    c->link[0] = c->link[1] = NO_CONTROL;
    c->textColor = NO_COLOR;
    c->backColor = NO_COLOR;
    return c;
}

void FreeControl(BDS* ctx, DialogControlRecord* c)
{
    if (!c)
        return;
    ReleaseBitmapPaint(ctx, &c->palette, &c->drawDib);
    if (c->ownsFont && c->font)
        DeleteObject(c->font);
    if (c->ownsBrush && c->backBrush)
        DeleteObject(c->backBrush);
    if (c->bitmap)
        DeleteObject(c->bitmap);
    ReportViewFreeColors(c);
    delete c;
}

}  // namespace

int ParseDialogHeader(BDS* ctx, int format, Dialog6Record** out)
{
    *out = nullptr;
    auto* dlg = new (std::nothrow) Dialog6Record{};
    if (!dlg)
        return DialogFail(ctx, ERR_NO_RECORD);
    dlg->ctx = ctx;
    dlg->format = format;
    dlg->wide = true;
    dlg->textColor = NO_COLOR;
    dlg->screenDpi = ScreenLogPixels();
    SystemBaseUnits(&dlg->baseX, &dlg->baseY);
    dlg->dpi[0] = dlg->screenDpi;
    dlg->dpi[1] = dlg->baseX;
    dlg->dpi[2] = dlg->baseY;
    dlg->backgroundText = "DEFAULT";
    if (!ReadHeader(ctx, dlg)) {
        DestroyDialog6(ctx, nullptr, &dlg);
        return 0;
    }
    *out = dlg;
    return 1;
}

int ParseDialogControlLines(BDS* ctx, Dialog6Record* dlg)
{
    std::vector<DialogControlRecord*>& controls = dlg->controls;
    controls.clear();
    try {
        controls.reserve(static_cast<size_t>(dlg->lineCount) + 1);
    } catch (...) {
        return DialogFail(ctx, ERR_NO_RECORD);
    }
    bool fileList = false;
    for (int number = 1; number <= dlg->lineCount; ++number) {
        LineParse p{};
        p.ctx = ctx;
        p.dlg = dlg;
        wsprintfA(p.key, "%3.3d", number);
        std::wstring line;
        if (!VariableTextByDialogName(ctx, p.key, line))
            return DialogFailW(ctx, ERR_LINE_MISSING, p.key, kNotFound);
        p.line = &line;
        DialogControlRecord* c = NewControl(number);
        if (!c)
            return DialogFail(ctx, ERR_NO_RECORD);
        if (!ParseLine(p, c, &fileList)) {
            FreeControl(ctx, c);
            return 0;
        }
        DialogUnitsScale(dlg, &c->x, &c->y, &c->width, &c->height);
        int count = static_cast<int>(controls.size());
        controls.push_back(nullptr);   // room for the insertion
        InsertByTabOrder(c, count, controls.data());
        if (c->type == CT_GROUPBOX)
            dlg->groupBoxes.push_back(c);
    }
    if (dlg->menuItemCount > 0) {
        try {
            dlg->accelEntries.reserve(static_cast<size_t>(dlg->menuItemCount));
        } catch (...) {
            return DialogFail(ctx, ERR_NO_RECORD);
        }
    }
    dlg->menuBarRows = dlg->hasMenuBar ? 1 : 0;
    dlg->defaultButton = dlg->cancelButton = ControlCount(dlg);
    return 1;
}

void DestroyDialog6(BDS* ctx, HWND dialog, Dialog6Record** record)
{
    Dialog6Record* dlg = record ? *record : nullptr;
    if (dialog && IsWindow(dialog)) {
        SetWindowLongPtrW(dialog, DWLP_USER, 0);
        DestroyWindow(dialog);
    }
    if (!dlg)
        return;
    DestroyDialogMenus(dlg);
    for (DialogControlRecord* c : dlg->controls)
        FreeControl(ctx, c);
    if (dlg->font)
        DeleteObject(dlg->font);
    if (dlg->backBrush)
        DeleteObject(dlg->backBrush);
    if (dlg->backBitmap)
        DeleteObject(dlg->backBitmap);
    ReleaseBitmapPaint(ctx, &dlg->backPalette, &dlg->backDrawDib);
    if (dlg->accelerators)
        DestroyAcceleratorTable(dlg->accelerators);
    delete dlg;
    *record = nullptr;
}

HBITMAP LoadBackgroundBitmap(BDS* ctx, const wchar_t* file)
{
    if (!file || !*file)
        return nullptr;
    const wchar_t* name = file;
    for (const wchar_t* p = file; *p; ++p)
        if (*p == L'\\' || *p == L'/' || *p == L':')
            name = p + 1;
    if (!*name)
        return nullptr;
    auto load = [](const wchar_t* path) {
        return static_cast<HBITMAP>(
            LoadImageW(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    };
    if (GetFileAttributesW(name) != INVALID_FILE_ATTRIBUTES)
        if (HBITMAP b = load(name))
            return b;
    if (name != file) {
        wchar_t full[MAX_PATH];
        DWORD n = GetFullPathNameW(file, MAX_PATH, full, nullptr);
        if (n > 0 && n < MAX_PATH && GetFileAttributesW(full) != INVALID_FILE_ATTRIBUTES)
            if (HBITMAP b = load(full))
                return b;
    }
    wchar_t found[MAX_PATH];
    DWORD n = SearchPathW(nullptr, name, nullptr, MAX_PATH, found, nullptr);
    if (n > 0 && n < MAX_PATH)
        return load(found);
    (void)ctx;
    return nullptr;
}
