// The box functions: their arguments (box ids, rectangles, colours and numbers, all given as
// text), their checks and errors, and the records they append. An error leaves the box as
// it was.
#include "launcher/box_internal.h"

#include <utility>

namespace {

constexpr int RECT_NUMBER_CHARS = 6;
constexpr int COLOUR_NUMBER_CHARS = 3;
const int kWholeBox[4] = {0, 0, 1000, 1000};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// One optionally signed integer of at most `width` characters at *p; moves p past it.
bool ReadInteger(const char*& p, int width, int* out)
{
    const char* start = p;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    long value = 0;
    const char* digits = p;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + (*p - '0');
        if (value > 100000000)
            return false;
        ++p;
    }
    if (p == digits || p - start > width)
        return false;
    *out = static_cast<int>(negative ? -value : value);
    return true;
}

// A number: blanks, an optional sign, decimal digits, and nothing but blanks after them.
bool ParseNumber(const char* text, int* out)
{
    const char* p = text;
    while (IsBlank(*p))
        ++p;
    if (!ReadInteger(p, 11, out))
        return false;
    while (IsBlank(*p))
        ++p;
    return *p == 0;
}

// Exactly `count` numbers of at most `width` characters, separated by commas, blanks or
// tabs; two commas without a number between them, or a comma at either end, is refused.
bool ParseNumbers(const char* text, int count, int width, int* out)
{
    const char* p = text;
    while (IsBlank(*p))
        ++p;
    for (int n = 0; n < count; ++n) {
        if (!ReadInteger(p, width, &out[n]))
            return false;
        int commas = 0;
        const char* before = p;
        while (*p == ',' || IsBlank(*p))
            commas += *p++ == ',';
        if (commas > 1)
            return false;
        bool last = n + 1 == count;
        if (last != (*p == 0) || (last && commas) || (!last && p == before))
            return false;
    }
    return true;
}

}  // namespace

bool ParseBoxRect(const char* text, int out[4], bool ordered, const int* empty)
{
    const char* p = text;
    while (IsBlank(*p))
        ++p;
    if (!*p) {
        for (int i = 0; i < 4; ++i)
            out[i] = empty ? empty[i] : 0;
        return true;
    }
    if (!ParseNumbers(text, 4, RECT_NUMBER_CHARS, out))
        return false;
    if (ordered) {
        if (out[0] > out[2])
            std::swap(out[0], out[2]);
        if (out[1] > out[3])
            std::swap(out[1], out[3]);
    }
    return true;
}

bool ParseBoxColour(const char* text, COLORREF* out)
{
    int rgb[3];
    if (!ParseNumbers(text, 3, COLOUR_NUMBER_CHARS, rgb))
        return false;
    *out = RGB(rgb[0] & 0xFF, rgb[1] & 0xFF, rgb[2] & 0xFF);
    return true;
}

namespace {

bool ParseRect(const char* text, int out[4], bool ordered = true, const int* empty = nullptr)
{
    return ParseBoxRect(text, out, ordered, empty);
}

bool ParseColour(const char* text, COLORREF* out) { return ParseBoxColour(text, out); }

// A box id 1-8 as its slot; the box must exist unless `anyBox`.
bool ParseBox(const char* text, bool anyBox, int* slot)
{
    int id;
    if (!ParseNumber(text, &id) || id < 1 || id > BOX_COUNT)
        return false;
    if (!anyBox && !g_boxes.slots[id - 1].block)
        return false;
    *slot = id - 1;
    return true;
}

BoxCommandRecord Record(int slot, int type, int p1 = 0, int p2 = 0, const int* rect = nullptr)
{
    BoxCommandRecord r{};
    r.type = static_cast<uint32_t>(type);
    r.p1 = p1;
    r.p2 = p2;
    r.mapMode = g_boxes.mapMode[slot];
    if (rect)
        std::memcpy(r.rect, rect, sizeof r.rect);
    return r;
}

// A drawing call: the record, then at once its drawing while the box updates.
int Draw(int slot, const BoxCommandRecord& r, const char* text)
{
    if (int error = AppendBoxCommand(slot, r, text))
        return error;
    BoxSlot& box = g_boxes.slots[slot];
    if (box.updates)
        ReplayBoxCommands(slot, box.pending, nullptr);
    return 0;
}

// ---------------------------------------------------------------- the functions
// Each answers 0 with *result set, or its error number.

using BoxText = const char* const*;

int BoxNewFn(BoxText t, int32_t* result)
{
    int slot, rect[4], style;
    if (!ParseBox(t[0], true, &slot))
        return ERR_BOX_ID;
    if (!ParseRect(t[1], rect))
        return ERR_NEW_RECT;
    if (!ParseNumber(t[2], &style) || style < 0 || style > 2)
        return ERR_NEW_STYLE;
    *result = 1;
    return NewBox(slot, rect, style);
}

int BoxMapModeFn(BoxText t, int32_t* result)
{
    int slot, mode;
    if (!ParseBox(t[0], true, &slot))
        return ERR_BOX_ID;
    if (!ParseNumber(t[1], &mode) || (mode != 0 && mode != 1))
        return ERR_MAP_MODE;
    g_boxes.mapMode[slot] = mode;
    *result = 1;
    return 0;
}

int BoxesUpFn(BoxText t, int32_t* result)
{
    int rect[4], show;
    if (!ParseRect(t[0], rect))
        return ERR_UP_RECT;
    if (!ParseNumber(t[1], &show) || !(show == -1 || (show >= 1 && show <= 3)))
        return ERR_UP_SHOW;
    static const int kShow[] = {SW_SHOWMINNOACTIVE, SW_SHOWNORMAL, SW_SHOWMAXIMIZED};
    HWND main = g_launcher.mainWindow;
    *result = IsWindowVisible(main) ? 1 : 0;
    WINDOWPLACEMENT place{};
    place.length = sizeof place;
    GetWindowPlacement(main, &place);
    place.rcNormalPosition = BoxUnitsToPixels(nullptr, rect, 0);
    place.showCmd = show == -1 ? SW_HIDE : kShow[show - 1];
    SetWindowPlacement(main, &place);
    return 0;
}

int BoxCaptionFn(BoxText t, int32_t* result)
{
    int slot;
    if (!ParseBox(t[0], false, &slot))
        return ERR_BOX_ID;
    *result = SetWindowTextA(g_boxes.slots[slot].window, t[1]) ? 1 : 0;
    return 0;
}

int BoxColorFn(BoxText t, int32_t* result)
{
    int slot, wash;
    COLORREF colour;
    if (!ParseBox(t[0], false, &slot))
        return ERR_BOX_ID;
    if (!ParseColour(t[1], &colour))
        return ERR_COLOR;
    if (!ParseNumber(t[2], &wash) || wash < 0 || wash > 7)
        return ERR_WASH;
    BoxCommandRecord r = Record(slot, HF_BOXCOLOR, wash);
    r.data = colour;
    *result = 1;
    return AppendBoxCommand(slot, r, nullptr);
}

int BoxPenFn(BoxText t, int32_t* result)
{
    int slot, width;
    COLORREF colour;
    if (!ParseBox(t[0], false, &slot))
        return ERR_BOX_ID;
    if (!ParseColour(t[1], &colour))
        return ERR_PEN_COLOR;
    if (!ParseNumber(t[2], &width) || width == 0)
        return ERR_PEN_WIDTH;
    BoxCommandRecord r = Record(slot, HF_BOXPEN, width);
    r.data = colour;
    *result = 1;
    return AppendBoxCommand(slot, r, nullptr);
}

int BoxTextColorFn(BoxText t, int32_t* result)
{
    int slot;
    COLORREF colour;
    if (!ParseBox(t[0], false, &slot))
        return ERR_BOX_ID;
    if (!ParseColour(t[1], &colour))
        return ERR_TEXT_COLOR;
    BoxCommandRecord r = Record(slot, HF_BOXTEXTCOLOR);
    r.data = colour;
    *result = 1;
    return AppendBoxCommand(slot, r, nullptr);
}

int BoxTextFontFn(BoxText t, int32_t* result)
{
    int slot, size, style, family;
    if (!ParseBox(t[0], false, &slot))
        return ERR_BOX_ID;
    if (!ParseNumber(t[2], &size) || size == 0)
        return ERR_FONT_SIZE;
    if (!ParseNumber(t[3], &style))
        return ERR_FONT_STYLE;
    if (!ParseNumber(t[4], &family))
        return ERR_FONT_FAMILY;
    BoxCommandRecord r = Record(slot, HF_BOXTEXTFONT, size, style);
    r.rect[0] = family;
    char face[LF_FACESIZE];
    lstrcpynA(face, t[1], sizeof face);
    *result = 1;
    return AppendBoxCommand(slot, r, face);
}

int BoxDrawLineFn(BoxText t, int32_t* result)
{
    int slot, rect[4];
    if (!ParseBox(t[0], false, &slot))
        return ERR_BOX_ID;
    if (!ParseRect(t[1], rect, false))
        return ERR_LINE_RECT;
    *result = 1;
    return Draw(slot, Record(slot, HF_BOXDRAWLINE, 0, 0, rect), nullptr);
}

// boxdrawrect and boxdrawcircle: a rectangle (empty: the whole box) and a style 0-3.
int ShapeFn(BoxText t, int32_t* result, int type, int rectError, int styleError)
{
    int slot, rect[4], style;
    if (!ParseBox(t[0], false, &slot))
        return ERR_BOX_ID;
    if (!ParseRect(t[1], rect, true, kWholeBox))
        return rectError;
    if (!ParseNumber(t[2], &style) || style < 0 || style > 3)
        return styleError;
    *result = 1;
    return Draw(slot, Record(slot, type, style, 0, rect), nullptr);
}

int BoxDrawTextFn(BoxText t, int32_t* result)
{
    int slot, rect[4], erase, align;
    if (!ParseBox(t[0], false, &slot))
        return ERR_BOX_ID;
    if (!ParseRect(t[1], rect))
        return ERR_TEXT_RECT;
    if (!ParseNumber(t[3], &erase) || (erase != 0 && erase != 1))
        return ERR_TEXT_ERASE;
    if (!ParseNumber(t[4], &align) || align < 0 || align > 255)
        return ERR_TEXT_ALIGN;
    *result = 1;
    return Draw(slot, Record(slot, HF_BOXDRAWTEXT, erase, align, rect), t[2]);
}

int BoxBitmapFn(BoxText t, int32_t* result)
{
    int slot, rect[4], stretch;
    if (!ParseBox(t[0], false, &slot))
        return ERR_BOX_ID;
    if (!ParseRect(t[1], rect, true, kWholeBox))
        return ERR_RECT_RECT;
    if (!ParseNumber(t[3], &stretch))
        return ERR_STRETCH;
    *result = 1;
    return Draw(slot, Record(slot, HF_BOXBITMAP, stretch, 0, rect), t[2]);
}

int BoxButtonDrawFn(BoxText t, int32_t* result)
{
    int slot, button, rect[4];
    if (!ParseBox(t[0], false, &slot))
        return ERR_BOX_ID;
    if (!ParseNumber(t[1], &button) || button < 1 || button > BOX_BUTTONS)
        return ERR_BUTTON_ID;
    if (!ParseRect(t[3], rect))
        return ERR_BUTTON_RECT;
    BoxSlot& box = g_boxes.slots[slot];
    int index = button - 1;
    HWND made = nullptr;
    if (box.buttons[index]) {
        SetWindowTextA(box.buttons[index], t[2]);
    } else {
        RECT r = BoxUnitsToPixels(box.window, rect, g_boxes.mapMode[slot]);
        made = CreateWindowExA(0, "BUTTON", t[2], WS_CHILD | WS_CLIPSIBLINGS | WS_GROUP | WS_TABSTOP | BS_PUSHBUTTON,
                               r.left, r.top, r.right - r.left, r.bottom - r.top, box.window,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(BOX_BUTTON_ID_BASE + index)),
                               g_launcher.instance, nullptr);
        if (!made)
            return ERR_BUTTON_CREATE;
        box.buttons[index] = made;
    }
    bool existed = box.exists[index];
    box.exists[index] = true;
    if (int error = Draw(slot, Record(slot, HF_BOXBUTTONDRAW, index, 0, rect), t[2])) {
        box.exists[index] = existed;
        if (made) {
            DestroyWindow(made);
            box.buttons[index] = nullptr;
        }
        return error;
    }
    *result = 1;
    return 0;
}

// The button of boxbuttonkill and boxbuttonstat, which must have been drawn.
bool DrawnButton(BoxText t, int* slot, int* index, int* boxError)
{
    *boxError = 0;
    if (!ParseBox(t[0], false, slot)) {
        *boxError = ERR_BOX_ID;
        return false;
    }
    int button;
    if (!ParseNumber(t[1], &button) || button < 1 || button > BOX_BUTTONS)
        return false;
    *index = button - 1;
    return g_boxes.slots[*slot].exists[*index];
}

int BoxButtonKillFn(BoxText t, int32_t* result)
{
    int slot, index, boxError;
    if (!DrawnButton(t, &slot, &index, &boxError))
        return boxError ? boxError : ERR_BUTTON_KILL;
    ClearBoxButton(slot, index);
    *result = 1;
    return 0;
}

int BoxButtonStatFn(BoxText t, int32_t* result)
{
    int slot, index, boxError;
    if (!DrawnButton(t, &slot, &index, &boxError))
        return boxError ? boxError : ERR_BUTTON_STAT;
    BoxSlot& box = g_boxes.slots[slot];
    *result = box.pressed[index] ? 1 : 0;
    if (box.pressed[index]) {
        box.pressed[index] = false;
        --g_boxes.pressedCount;
    }
    return 0;
}

int BoxDataTagFn(BoxText t, int32_t* result)
{
    int slot;
    if (!ParseBox(t[0], false, &slot))
        return ERR_BOX_ID;
    *result = 1;
    return AppendBoxCommand(slot, Record(slot, HF_BOXDATATAG), t[1]);
}

int BoxDataClearFn(BoxText t, int32_t* result)
{
    int slot;
    if (!ParseBox(t[0], false, &slot))
        return ERR_BOX_ID;
    int answer = ClearToTag(slot, t[1]);
    if (answer == ERR_TAG)
        return ERR_TAG;
    *result = answer;
    return 0;
}

int BoxUpdatesFn(BoxText t, int32_t* result)
{
    int slot, mode;
    if (!ParseBox(t[0], false, &slot))
        return ERR_BOX_ID;
    if (!ParseNumber(t[1], &mode) || mode < 0 || mode > 3)
        return ERR_UPDATES;
    BoxSlot& box = g_boxes.slots[slot];
    if (mode == 0)
        box.updates = false;
    else if (mode == 1)
        box.updates = true;
    if (mode != 0)
        ReplayBoxCommands(slot, mode == 3 ? box.first : box.pending, nullptr);
    *result = 1;
    return 0;
}

int BoxDestroyFn(BoxText t, int32_t* result)
{
    int slot;
    if (!ParseBox(t[0], false, &slot))
        return ERR_BOX_ID;
    *result = DestroyBox(slot);
    return 0;
}

}  // namespace

int RunBoxFunction(int code, const char* const text[5], int32_t* result)
{
    *result = 0;
    switch (code) {
    case HF_BOXNEW: return BoxNewFn(text, result);
    case HF_BOXDESTROY: return BoxDestroyFn(text, result);
    case HF_BOXMAPMODE: return BoxMapModeFn(text, result);
    case HF_BOXESUP: return BoxesUpFn(text, result);
    case HF_BOXCAPTION: return BoxCaptionFn(text, result);
    case HF_BOXCOLOR: return BoxColorFn(text, result);
    case HF_BOXPEN: return BoxPenFn(text, result);
    case HF_BOXTEXTCOLOR: return BoxTextColorFn(text, result);
    case HF_BOXTEXTFONT: return BoxTextFontFn(text, result);
    case HF_BOXDRAWLINE: return BoxDrawLineFn(text, result);
    case HF_BOXDRAWRECT: return ShapeFn(text, result, HF_BOXDRAWRECT, ERR_RECT_RECT, ERR_RECT_STYLE);
    case HF_BOXDRAWCIRCLE: return ShapeFn(text, result, HF_BOXDRAWCIRCLE, ERR_CIRCLE_RECT, ERR_CIRCLE_STYLE);
    case HF_BOXDRAWTEXT: return BoxDrawTextFn(text, result);
    case HF_BOXBITMAP: return BoxBitmapFn(text, result);
    case HF_BOXBUTTONDRAW: return BoxButtonDrawFn(text, result);
    case HF_BOXBUTTONKILL: return BoxButtonKillFn(text, result);
    case HF_BOXBUTTONSTAT: return BoxButtonStatFn(text, result);
    case HF_BOXDATATAG: return BoxDataTagFn(text, result);
    case HF_BOXDATACLEAR: return BoxDataClearFn(text, result);
    case HF_BOXUPDATES: return BoxUpdatesFn(text, result);
    default: return ERR_BOX_ID;
    }
}
