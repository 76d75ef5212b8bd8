// SysParamInfo: the system-wide user-interface parameters, read and changed through
// SystemParametersInfoA. Numbers travel as decimal text; structures as delimited lists of
// their fields in declaration order (a font as 14 fields separated by "|").
//
// Each SPI code has one form (a number query, a change through uiParam or pvParam, a
// structure query or change, or one of a few special codes); codes of no form are refused.
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/builtin.h"
#include "engine/core/errors.h"
#include "engine/core/numtext.h"
#include "engine/data/item_list.h"
#include "engine/data/text.h"

namespace {

enum : uint16_t {
    ERR_ARGUMENT_COUNT = 1682,   // "SysParamInfo: Incorrect number of parameters (must be 1 or 3)"
    ERR_REQUEST = 1683,          // "SysParamInfo: Invalid request number"
    ERR_FLAGS = 1684,            // "SysParamInfo: Invalid 'ini-update' flag"
    ERR_NO_VALUE = 1685,         // "SysParamInfo: 'Value' not specified"
    ERR_NOT_NUMBER = 1686,       // "SysParamInfo: Invalid 'value' (must be a number)"
    ERR_ITEM_COUNT = 1687,       // "SysParamInfo: Invalid 'value' (incorrect number of items in list)"
};

constexpr const char* UNSUPPORTED = "*UNSUPPORTED*";
constexpr const char* NULL_TEXT = "*NULL*";
constexpr UINT SPI_EXTENSIONS = 92;     // SPI_GETWINDOWSEXTENSION
constexpr UINT WALLPAPER_CHARS = 500;
constexpr int FACE_CHARS = 31;

// ---------------------------------------------------------------- forms of the codes

enum SpiForm {
    FORM_INVALID,
    FORM_NUMBER_QUERY,    // SPI(code, 0, &value, 0)
    FORM_BY_UIPARAM,      // SPI(code, value, null, flags)
    FORM_BY_VALUE,        // SPI(code, 0, (void*)value, flags)
    FORM_BY_POINTER,      // SPI(code, 0, &value, flags)
    FORM_PLAIN,           // SPI(code, 0, null, flags)
    FORM_STRUCTURE,       // a structure query or change (kStructures)
    FORM_EXTENSIONS,      // 92: SPI's own answer
    FORM_GET_WALLPAPER,   // 115: the wallpaper's path
    FORM_SET_WALLPAPER,   // 20: the value text as pvParam, "*DEFAULT*" null
};

const int kNumberQueries[] = {1,  5,  10, 14, 16, 22, 25,  27,  38,  56,  68,  70,  74,   79,  80,
                              83, 84, 89, 94, 95, 98, 100, 102, 104, 106, 110, 112, 114, 4096, 4158};
const int kByUiParam[] = {2,  6,  11, 15, 17, 23, 26, 28, 29, 30,  32,  33,  37,  49,   57,  69,  71,
                          75, 76, 77, 81, 82, 85, 86, 93, 96, 99, 101, 103, 105, 107, 111, 4127, 8201};
const int kByValue[] = {113, 4159, 8193, 8195, 8197, 8199, 8203, 8207, 8209};
const int kByPointer[] = {90, 8205};
const int kPlain[] = {21, 87, 88, 91};

template <size_t N>
bool Listed(const int (&codes)[N], int code)
{
    for (int listed : codes)
        if (listed == code)
            return true;
    return false;
}

bool InRange(int code, int low, int high, int parity) { return code >= low && code <= high && (code & 1) == parity; }

// ---------------------------------------------------------------- structures

enum FieldKind : uint8_t {
    F_I32,       // a signed 32-bit field
    F_U32,       // an unsigned 32-bit field
    F_BYTE,      // one byte of a font
    F_FACE,      // a font's face name (an array of 32 characters)
    F_TEXT,      // a pointer to text; null travels as "*NULL*"
    F_FONT,      // a LOGFONTA, itself a "|" list
};

struct Field {
    FieldKind kind;
    uint16_t offset;
};

struct Layout {
    const Field* fields;
    int count;
    char delimiter;
};

#define FIELD(kind, type, member) {kind, static_cast<uint16_t>(offsetof(type, member))}

const Field kFontFields[] = {
    FIELD(F_I32, LOGFONTA, lfHeight),        FIELD(F_I32, LOGFONTA, lfWidth),
    FIELD(F_I32, LOGFONTA, lfEscapement),    FIELD(F_I32, LOGFONTA, lfOrientation),
    FIELD(F_I32, LOGFONTA, lfWeight),        FIELD(F_BYTE, LOGFONTA, lfItalic),
    FIELD(F_BYTE, LOGFONTA, lfUnderline),    FIELD(F_BYTE, LOGFONTA, lfStrikeOut),
    FIELD(F_BYTE, LOGFONTA, lfCharSet),      FIELD(F_BYTE, LOGFONTA, lfOutPrecision),
    FIELD(F_BYTE, LOGFONTA, lfClipPrecision), FIELD(F_BYTE, LOGFONTA, lfQuality),
    FIELD(F_BYTE, LOGFONTA, lfPitchAndFamily), FIELD(F_FACE, LOGFONTA, lfFaceName),
};
const Layout kFontLayout = {kFontFields, 14, '|'};

const Field kMouseFields[] = {{F_I32, 0}, {F_I32, 4}, {F_I32, 8}};
const Field kRectFields[] = {FIELD(F_I32, RECT, left), FIELD(F_I32, RECT, top), FIELD(F_I32, RECT, right),
                             FIELD(F_I32, RECT, bottom)};
const Field kNonClientFields[] = {
    FIELD(F_U32, NONCLIENTMETRICSA, cbSize),          FIELD(F_I32, NONCLIENTMETRICSA, iBorderWidth),
    FIELD(F_I32, NONCLIENTMETRICSA, iScrollWidth),    FIELD(F_I32, NONCLIENTMETRICSA, iScrollHeight),
    FIELD(F_I32, NONCLIENTMETRICSA, iCaptionWidth),   FIELD(F_I32, NONCLIENTMETRICSA, iCaptionHeight),
    FIELD(F_FONT, NONCLIENTMETRICSA, lfCaptionFont),  FIELD(F_I32, NONCLIENTMETRICSA, iSmCaptionWidth),
    FIELD(F_I32, NONCLIENTMETRICSA, iSmCaptionHeight), FIELD(F_FONT, NONCLIENTMETRICSA, lfSmCaptionFont),
    FIELD(F_I32, NONCLIENTMETRICSA, iMenuWidth),      FIELD(F_I32, NONCLIENTMETRICSA, iMenuHeight),
    FIELD(F_FONT, NONCLIENTMETRICSA, lfMenuFont),     FIELD(F_FONT, NONCLIENTMETRICSA, lfStatusFont),
    FIELD(F_FONT, NONCLIENTMETRICSA, lfMessageFont),
};
const Field kMinimizedFields[] = {
    FIELD(F_U32, MINIMIZEDMETRICS, cbSize), FIELD(F_I32, MINIMIZEDMETRICS, iWidth),
    FIELD(F_I32, MINIMIZEDMETRICS, iHorzGap), FIELD(F_I32, MINIMIZEDMETRICS, iVertGap),
    FIELD(F_I32, MINIMIZEDMETRICS, iArrange),
};
const Field kIconFields[] = {
    FIELD(F_U32, ICONMETRICSA, cbSize), FIELD(F_I32, ICONMETRICSA, iHorzSpacing),
    FIELD(F_I32, ICONMETRICSA, iVertSpacing), FIELD(F_I32, ICONMETRICSA, iTitleWrap),
    FIELD(F_FONT, ICONMETRICSA, lfFont),
};
const Field kFilterKeysFields[] = {
    FIELD(F_U32, FILTERKEYS, cbSize), FIELD(F_U32, FILTERKEYS, dwFlags), FIELD(F_U32, FILTERKEYS, iWaitMSec),
    FIELD(F_U32, FILTERKEYS, iDelayMSec), FIELD(F_U32, FILTERKEYS, iRepeatMSec), FIELD(F_U32, FILTERKEYS, iBounceMSec),
};
const Field kToggleKeysFields[] = {FIELD(F_U32, TOGGLEKEYS, cbSize), FIELD(F_U32, TOGGLEKEYS, dwFlags)};
const Field kMouseKeysFields[] = {
    FIELD(F_U32, MOUSEKEYS, cbSize),          FIELD(F_U32, MOUSEKEYS, dwFlags),
    FIELD(F_U32, MOUSEKEYS, iMaxSpeed),       FIELD(F_U32, MOUSEKEYS, iTimeToMaxSpeed),
    FIELD(F_U32, MOUSEKEYS, iCtrlSpeed),      FIELD(F_U32, MOUSEKEYS, dwReserved1),
    FIELD(F_U32, MOUSEKEYS, dwReserved2),
};
const Field kStickyKeysFields[] = {FIELD(F_U32, STICKYKEYS, cbSize), FIELD(F_U32, STICKYKEYS, dwFlags)};
const Field kAccessTimeoutFields[] = {FIELD(F_U32, ACCESSTIMEOUT, cbSize), FIELD(F_U32, ACCESSTIMEOUT, dwFlags),
                                      FIELD(F_U32, ACCESSTIMEOUT, iTimeOutMSec)};
const Field kSerialKeysFields[] = {
    FIELD(F_U32, SERIALKEYSA, cbSize),         FIELD(F_U32, SERIALKEYSA, dwFlags),
    FIELD(F_TEXT, SERIALKEYSA, lpszActivePort), FIELD(F_TEXT, SERIALKEYSA, lpszPort),
    FIELD(F_U32, SERIALKEYSA, iBaudRate),      FIELD(F_U32, SERIALKEYSA, iPortState),
    FIELD(F_U32, SERIALKEYSA, iActive),
};
const Field kSoundSentryFields[] = {
    FIELD(F_U32, SOUNDSENTRYA, cbSize),                 FIELD(F_U32, SOUNDSENTRYA, dwFlags),
    FIELD(F_U32, SOUNDSENTRYA, iFSTextEffect),          FIELD(F_U32, SOUNDSENTRYA, iFSTextEffectMSec),
    FIELD(F_U32, SOUNDSENTRYA, iFSTextEffectColorBits), FIELD(F_U32, SOUNDSENTRYA, iFSGrafEffect),
    FIELD(F_U32, SOUNDSENTRYA, iFSGrafEffectMSec),      FIELD(F_U32, SOUNDSENTRYA, iFSGrafEffectColor),
    FIELD(F_U32, SOUNDSENTRYA, iWindowsEffect),         FIELD(F_U32, SOUNDSENTRYA, iWindowsEffectMSec),
    FIELD(F_TEXT, SOUNDSENTRYA, lpszWindowsEffectDLL),  FIELD(F_U32, SOUNDSENTRYA, iWindowsEffectOrdinal),
};
const Field kHighContrastFields[] = {FIELD(F_U32, HIGHCONTRASTA, cbSize), FIELD(F_U32, HIGHCONTRASTA, dwFlags),
                                     FIELD(F_TEXT, HIGHCONTRASTA, lpszDefaultScheme)};
const Field kAnimationFields[] = {FIELD(F_U32, ANIMATIONINFO, cbSize), FIELD(F_I32, ANIMATIONINFO, iMinAnimate)};

#undef FIELD

static_assert(sizeof(LOGFONTA) == 60 && sizeof(NONCLIENTMETRICSA) == 344 && sizeof(MINIMIZEDMETRICS) == 20 &&
              sizeof(ICONMETRICSA) == 76 && sizeof(FILTERKEYS) == 24 && sizeof(MOUSEKEYS) == 28 &&
              sizeof(ACCESSTIMEOUT) == 12 && sizeof(SERIALKEYSA) == 40 && sizeof(SOUNDSENTRYA) == 56 &&
              sizeof(HIGHCONTRASTA) == 16 && sizeof(ANIMATIONINFO) == 8);

struct Structure {
    UINT query;
    UINT change;
    uint16_t size;
    bool hasCbSize;       // cbSize is set to the size before every call
    bool emptyIsNull;     // an empty value passes null (the work area)
    Layout layout;
};

template <size_t N>
constexpr Layout LayoutOf(const Field (&fields)[N], char delimiter)
{
    return {fields, static_cast<int>(N), delimiter};
}

const Structure kStructures[] = {
    {3, 4, 12, false, false, LayoutOf(kMouseFields, ',')},
    {31, 34, sizeof(LOGFONTA), false, false, kFontLayout},
    {41, 42, sizeof(NONCLIENTMETRICSA), true, false, LayoutOf(kNonClientFields, '\t')},
    {43, 44, sizeof(MINIMIZEDMETRICS), true, false, LayoutOf(kMinimizedFields, '\t')},
    {45, 46, sizeof(ICONMETRICSA), true, false, LayoutOf(kIconFields, '\t')},
    {48, 47, sizeof(RECT), false, true, LayoutOf(kRectFields, ',')},
    {50, 51, sizeof(FILTERKEYS), true, false, LayoutOf(kFilterKeysFields, '\t')},
    {52, 53, sizeof(TOGGLEKEYS), true, false, LayoutOf(kToggleKeysFields, '\t')},
    {54, 55, sizeof(MOUSEKEYS), true, false, LayoutOf(kMouseKeysFields, '\t')},
    {58, 59, sizeof(STICKYKEYS), true, false, LayoutOf(kStickyKeysFields, '\t')},
    {60, 61, sizeof(ACCESSTIMEOUT), true, false, LayoutOf(kAccessTimeoutFields, '\t')},
    {62, 63, sizeof(SERIALKEYSA), true, false, LayoutOf(kSerialKeysFields, '\t')},
    {64, 65, sizeof(SOUNDSENTRYA), true, false, LayoutOf(kSoundSentryFields, '\t')},
    {66, 67, sizeof(HIGHCONTRASTA), true, false, LayoutOf(kHighContrastFields, '\t')},
    {72, 73, sizeof(ANIMATIONINFO), true, false, LayoutOf(kAnimationFields, '\t')},
};

constexpr size_t LARGEST_STRUCTURE = sizeof(NONCLIENTMETRICSA);

const Structure* StructureOf(int code)
{
    for (const Structure& s : kStructures)
        if (static_cast<int>(s.query) == code || static_cast<int>(s.change) == code)
            return &s;
    return nullptr;
}

SpiForm FormOf(int code, bool hasValue)
{
    if (code == 13 || code == 24)
        return hasValue ? FORM_BY_UIPARAM : FORM_NUMBER_QUERY;
    if (Listed(kNumberQueries, code) || InRange(code, 4098, 4110, 0) || InRange(code, 4114, 4132, 0) ||
        InRange(code, 8192, 8208, 0))
        return FORM_NUMBER_QUERY;
    if (Listed(kByUiParam, code))
        return FORM_BY_UIPARAM;
    if (Listed(kByValue, code) || InRange(code, 4097, 4111, 1) || InRange(code, 4115, 4125, 1) ||
        InRange(code, 4129, 4133, 1))
        return FORM_BY_VALUE;
    if (Listed(kByPointer, code))
        return FORM_BY_POINTER;
    if (Listed(kPlain, code))
        return FORM_PLAIN;
    if (StructureOf(code))
        return FORM_STRUCTURE;
    switch (code) {
    case SPI_EXTENSIONS: return FORM_EXTENSIONS;
    case SPI_GETDESKWALLPAPER: return FORM_GET_WALLPAPER;
    case SPI_SETDESKWALLPAPER: return FORM_SET_WALLPAPER;
    default: return FORM_INVALID;
    }
}

// ---------------------------------------------------------------- structure lists

// The fields as a list; a font is a nested "|" list.
std::string FormatFields(const uint8_t* base, const Layout& layout)
{
    std::string out;
    for (int i = 0; i < layout.count; ++i) {
        const Field& f = layout.fields[i];
        const uint8_t* at = base + f.offset;
        char number[16];
        if (i > 0)
            out += layout.delimiter;
        switch (f.kind) {
        case F_I32: {
            int32_t v;
            std::memcpy(&v, at, sizeof v);
            snprintf(number, sizeof number, "%d", v);
            out += number;
            break;
        }
        case F_U32: {
            uint32_t v;
            std::memcpy(&v, at, sizeof v);
            snprintf(number, sizeof number, "%u", v);
            out += number;
            break;
        }
        case F_BYTE:
            snprintf(number, sizeof number, "%d", *at);
            out += number;
            break;
        case F_FACE:
            out.append(reinterpret_cast<const char*>(at), strnlen(reinterpret_cast<const char*>(at), LF_FACESIZE));
            break;
        case F_TEXT: {
            const char* text;
            std::memcpy(&text, at, sizeof text);
            out += text ? text : NULL_TEXT;
            break;
        }
        case F_FONT:
            out += FormatFields(at, kFontLayout);
            break;
        }
    }
    return out;
}

// One item of a list, copied whole.
std::string ItemText(BDS* ctx, const char* list, char delimiter, int n)
{
    std::string item(std::strlen(list) + 1, '\0');
    ItemCopyA(ctx, list, delimiter, n, item.data(), item.size());
    item.resize(std::strlen(item.c_str()));
    return item;
}

// Fills the fields from the list. Texts that pointer fields address are kept in `texts`
// for the duration of the call. False with 1687 (item count) or 1688 (not a number).
bool ParseFields(BDS* ctx, const char* list, const Layout& layout, uint8_t* base, std::vector<std::string>& texts)
{
    const char delimiterText[2] = {layout.delimiter, 0};
    if (ItemCountA(ctx, list, delimiterText) != layout.count) {
        SetError(ctx, ERR_ITEM_COUNT);
        return false;
    }
    for (int i = 0; i < layout.count; ++i) {
        const Field& f = layout.fields[i];
        uint8_t* at = base + f.offset;
        if (f.kind == F_I32 || f.kind == F_U32 || f.kind == F_BYTE) {
            int32_t v = ItemToIntegerA(ctx, list, layout.delimiter, i + 1);
            if (ctx->nErrorCode)
                return false;
            if (f.kind == F_BYTE)
                *at = static_cast<uint8_t>(v);
            else
                std::memcpy(at, &v, sizeof v);
            continue;
        }
        std::string item = ItemText(ctx, list, layout.delimiter, i + 1);
        if (f.kind == F_FACE) {
            std::memset(at, 0, LF_FACESIZE);
            std::memcpy(at, item.data(), item.size() < FACE_CHARS ? item.size() : FACE_CHARS);
        } else if (f.kind == F_TEXT) {
            const char* text = nullptr;
            if (item != NULL_TEXT) {
                texts.push_back(item);
                text = texts.back().c_str();
            }
            std::memcpy(at, &text, sizeof text);
        } else if (!ParseFields(ctx, item.c_str(), kFontLayout, at, texts)) {
            return false;
        }
    }
    return true;
}

// ---------------------------------------------------------------- the calls

// Records a refusal of the system and answers "*UNSUPPORTED*" (no error number).
void Unsupported(BDS* ctx, resultants* result)
{
    StoreLastError(ctx, GetLastError(), "SystemParametersInfo", false);
    SetResultText(ctx, result, UNSUPPORTED);
}

void Answer(BDS* ctx, resultants* result, BOOL ok, const char* text)
{
    if (ok)
        SetResultText(ctx, result, text);
    else
        Unsupported(ctx, result);
}

void SetCbSize(uint8_t* buffer, const Structure& s)
{
    if (s.hasCbSize) {
        uint32_t size = s.size;
        std::memcpy(buffer, &size, sizeof size);
    }
}

void StructureCall(BDS* ctx, resultants* result, const Structure& s, int code, const char* value, bool hasValue,
                   UINT flags)
{
    alignas(8) uint8_t buffer[LARGEST_STRUCTURE] = {};
    SetCbSize(buffer, s);
    if (static_cast<UINT>(code) == s.query) {
        BOOL ok = SystemParametersInfoA(s.query, s.size, buffer, 0);
        Answer(ctx, result, ok, ok ? FormatFields(buffer, s.layout).c_str() : "");
        return;
    }
    if (!hasValue) {
        SetError(ctx, ERR_NO_VALUE);
        return;
    }
    if (s.emptyIsNull && !value[0]) {
        Answer(ctx, result, SystemParametersInfoA(s.change, 0, nullptr, flags), "");
        return;
    }
    // The fields no item names (a padding width, say) keep their present values.
    SystemParametersInfoA(s.query, s.size, buffer, 0);
    std::vector<std::string> texts;
    texts.reserve(s.layout.count);
    if (!ParseFields(ctx, value, s.layout, buffer, texts))
        return;
    SetCbSize(buffer, s);
    Answer(ctx, result, SystemParametersInfoA(s.change, s.size, buffer, flags), "");
}

// The value of a change that takes a number: 1685 when absent, 1686 when not a number.
bool NumericValue(BDS* ctx, const char* value, bool hasValue, int32_t* number)
{
    if (!hasValue) {
        SetError(ctx, ERR_NO_VALUE);
        return false;
    }
    if (!IsIntegerTextA(value)) {
        SetError(ctx, ERR_NOT_NUMBER);
        return false;
    }
    *number = TextToLongA(value);
    return true;
}

void DoSysParamInfo(BDS* ctx, resultants* result, int code, const char* value, UINT flags, bool hasValue)
{
    SpiForm form = FormOf(code, hasValue);
    UINT action = static_cast<UINT>(code);
    int32_t number = 0;
    switch (form) {
    case FORM_INVALID:
        SetError(ctx, ERR_REQUEST);
        return;
    case FORM_NUMBER_QUERY: {
        alignas(8) uint8_t answer[64] = {};   // room for a query that writes more than its 32 bits
        BOOL ok = SystemParametersInfoA(action, 0, answer, 0);
        std::memcpy(&number, answer, sizeof number);
        char text[16];
        snprintf(text, sizeof text, "%d", number);
        Answer(ctx, result, ok, text);
        return;
    }
    case FORM_BY_UIPARAM:
        if (NumericValue(ctx, value, hasValue, &number))
            Answer(ctx, result, SystemParametersInfoA(action, static_cast<UINT>(number), nullptr, flags), "");
        return;
    case FORM_BY_VALUE:
        if (NumericValue(ctx, value, hasValue, &number))
            Answer(ctx, result,
                   SystemParametersInfoA(action, 0, reinterpret_cast<void*>(static_cast<intptr_t>(number)), flags),
                   "");
        return;
    case FORM_BY_POINTER:
        if (NumericValue(ctx, value, hasValue, &number))
            Answer(ctx, result, SystemParametersInfoA(action, 0, &number, flags), "");
        return;
    case FORM_PLAIN:
        Answer(ctx, result, SystemParametersInfoA(action, 0, nullptr, flags), "");
        return;
    case FORM_STRUCTURE:
        StructureCall(ctx, result, *StructureOf(code), code, value, hasValue, flags);
        return;
    case FORM_EXTENSIONS: {
        char text[16];
        snprintf(text, sizeof text, "%d", SystemParametersInfoA(action, 1, nullptr, 0));
        SetResultText(ctx, result, text);
        return;
    }
    case FORM_GET_WALLPAPER: {
        char path[WALLPAPER_CHARS + 1] = {};
        BOOL ok = SystemParametersInfoA(action, WALLPAPER_CHARS, path, 0);
        Answer(ctx, result, ok, path);
        return;
    }
    case FORM_SET_WALLPAPER:
        if (!hasValue) {
            SetError(ctx, ERR_NO_VALUE);
            return;
        }
        Answer(ctx, result,
               SystemParametersInfoA(action, 0, lstrcmpiA(value, "*DEFAULT*") ? const_cast<char*>(value) : nullptr,
                                     flags),
               "");
        return;
    }
}

void CaseSysParamInfo(BDS* ctx, BuiltinCall& c)
{
    if (c.argc == 2) {
        SetError(ctx, ERR_ARGUMENT_COUNT);
        return;
    }
    bool hasValue = c.argc >= 3;
    int32_t flags = ArgInt(c, 3, 0);
    if (hasValue && (flags < 0 || flags > (SPIF_UPDATEINIFILE | SPIF_SENDCHANGE))) {
        SetError(ctx, ERR_FLAGS);
        return;
    }
    DoSysParamInfo(ctx, c.result, ArgInt(c, 1), ArgText(ctx, c, 2), static_cast<UINT>(flags), hasValue);
}

const BuiltinRow kRows[] = {
    {723, CaseSysParamInfo},
};

}  // namespace

extern const BuiltinFamily g_SysParamBuiltins = {"system parameters", kRows,
                                                 static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
