// AskColor and AskFont: the colour and font dialogs, with the custom colours and the last
// font remembered under HKEY_CURRENT_USER "Software\Hollicor\<key>\AskColor" and "...\AskFont"
// when the script names a key. Reading and writing those values fails silently.
#include <windows.h>
#include <commdlg.h>

#include <cstdio>
#include <cstring>

#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/data/text.h"
#include "engine/system/input_block.h"
#include "engine/ui/choosers.h"

namespace {

constexpr uint16_t ERR_BAD_COLOR = 1694;      // "AskColor: Invalid default color"
constexpr uint16_t ERR_COLOR_FAILED = 1695;   // "AskColor: Function failed"
constexpr uint16_t ERR_BAD_TYPE = 1696;       // "AskFont: Invalid type"
constexpr uint16_t ERR_BAD_FLAGS = 1697;      // "AskFont: Invalid flags"
constexpr uint16_t ERR_NO_PRINTER = 1698;     // "AskFont: Unable to get device context for default printer"
constexpr uint16_t ERR_FONT_FAILED = 1699;    // "AskFont: Function failed"
constexpr uint16_t ERR_BAD_COLOR_FORMAT = 1700;
constexpr uint16_t ERR_BAD_FONT_FORMAT = 1701;
constexpr COLORREF GREY = RGB(0x80, 0x80, 0x80);
constexpr COLORREF WHITE = RGB(0xFF, 0xFF, 0xFF);
constexpr int CUSTOM_COLORS = 16;
constexpr int KEY_PATH_CHARS = 255;           // the longest registry key path
constexpr int32_t FONT_FLAG_LIMIT = 128;

// ---------------------------------------------------------------- remembered values

// The key "Software\Hollicor\<name>\<chooser>"; false when there is no name or it is too long.
bool KeyPath(const char* name, const char* chooser, char out[KEY_PATH_CHARS + 1])
{
    if (!name || !*name)
        return false;
    int n = std::snprintf(out, KEY_PATH_CHARS + 1, "Software\\Hollicor\\%s\\%s", name, chooser);
    return n > 0 && n <= KEY_PATH_CHARS;
}

// Reads a value of exactly that type and size; false otherwise.
bool ReadValue(const char* path, const char* value, DWORD type, void* data, DWORD size)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    DWORD gotType = 0, gotSize = 0;
    bool fits = RegQueryValueExA(key, value, nullptr, &gotType, nullptr, &gotSize) == ERROR_SUCCESS &&
                gotType == type && gotSize == size;
    bool read = fits && RegQueryValueExA(key, value, nullptr, &gotType, static_cast<BYTE*>(data), &gotSize) ==
                            ERROR_SUCCESS;
    RegCloseKey(key);
    return read;
}

void WriteValues(const char* path, const char* value1, DWORD type1, const void* data1, DWORD size1,
                 const char* value2 = nullptr, DWORD type2 = 0, const void* data2 = nullptr, DWORD size2 = 0)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExA(key, value1, 0, type1, static_cast<const BYTE*>(data1), size1);
    if (value2)
        RegSetValueExA(key, value2, 0, type2, static_cast<const BYTE*>(data2), size2);
    RegCloseKey(key);
}

// ---------------------------------------------------------------- colours

// "" is grey; otherwise "#" and exactly six hex digits RRGGBB. False for anything else.
bool ParseColor(const char* text, COLORREF* color)
{
    if (!text || !*text) {
        *color = GREY;
        return true;
    }
    if (text[0] != '#' || std::strlen(text) != 7)
        return false;
    int part[3];
    for (int i = 0; i < 3; ++i) {
        int high = HexDigitValue(text[1 + 2 * i]), low = HexDigitValue(text[2 + 2 * i]);
        if (high < 0 || low < 0)
            return false;
        part[i] = high * 16 + low;
    }
    *color = RGB(part[0], part[1], part[2]);
    return true;
}

void FormatColor(COLORREF color, char* out, size_t size)
{
    std::snprintf(out, size, "#%02X%02X%02X", GetRValue(color), GetGValue(color), GetBValue(color));
}

// ---------------------------------------------------------------- fonts

DWORD FontFlags(int32_t type, int32_t flags)
{
    static const DWORD kTypes[] = {CF_SCREENFONTS, CF_PRINTERFONTS, CF_BOTH};
    static const DWORD kBits[] = {CF_SCRIPTSONLY, CF_NOVECTORFONTS, CF_FIXEDPITCHONLY, CF_WYSIWYG,
                                  CF_SCALABLEONLY, CF_TTONLY, CF_NOVERTFONTS};
    DWORD out = kTypes[type] | CF_EFFECTS | CF_ENABLEHOOK;
    for (int bit = 0; bit < 7; ++bit)
        if (flags & (1 << bit))
            out |= kBits[bit];
    if (out & CF_WYSIWYG)
        out |= CF_SCALABLEONLY | CF_BOTH;
    return out;
}

// The default printer's device context from the "device" line of the system profile
// ("device,driver,port"); null when one part is missing or the context cannot be made.
HDC DefaultPrinterContext()
{
    char line[512];
    GetProfileStringA("windows", "device", ",,,", line, sizeof line);
    char* parts[3] = {};
    char* p = line;
    for (int i = 0; i < 3; ++i) {
        parts[i] = p;
        char* comma = std::strchr(p, ',');
        if (!comma) {
            if (i < 2)
                return nullptr;
            break;
        }
        *comma = 0;
        p = comma + 1;
    }
    for (char* part : parts)
        if (!part || !*part)
            return nullptr;
    return CreateDCA(parts[1], parts[0], parts[2], nullptr);
}

}  // namespace

void DoAskColor(BDS* ctx, const char* defaultColor, const char* keyName, int32_t format, resultants* result)
{
    CHOOSECOLORA choose{};
    if (!ParseColor(defaultColor, &choose.rgbResult)) {
        SetError(ctx, ERR_BAD_COLOR);
        return;
    }
    COLORREF custom[CUSTOM_COLORS];
    for (COLORREF& c : custom)
        c = WHITE;
    char path[KEY_PATH_CHARS + 1];
    bool remembered = KeyPath(keyName, "AskColor", path);
    if (remembered)
        ReadValue(path, "CustomColors", REG_BINARY, custom, sizeof custom);
    if (format != 0 && format != 1) {
        SetError(ctx, ERR_BAD_COLOR_FORMAT);
        return;
    }
    choose.lStructSize = sizeof choose;
    choose.hwndOwner = ctx->hwndOwner;
    choose.lpCustColors = custom;
    choose.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ENABLEHOOK;
    choose.lpfnHook = ChooserHookProc;

    int inputState = SetInputBlocked(ctx, 1);
    BOOL chosen = ChooseColorA(&choose);
    if (inputState != -1)
        SetInputBlocked(ctx, inputState);
    if (!chosen) {
        SetError(ctx, CommDlgExtendedError() ? ERR_COLOR_FAILED : uint16_t{CC_CANCEL});
        return;
    }
    if (remembered)
        WriteValues(path, "CustomColors", REG_BINARY, custom, sizeof custom);
    char text[32];
    if (format == 0)
        FormatColor(choose.rgbResult, text, sizeof text);
    else
        std::snprintf(text, sizeof text, "%d|%d|%d", GetRValue(choose.rgbResult), GetGValue(choose.rgbResult),
                      GetBValue(choose.rgbResult));
    SetResultText(ctx, result, text);
}

void DoAskFont(BDS* ctx, int32_t type, int32_t flags, const char* keyName, int32_t format, resultants* result)
{
    if (type < 0 || type > 2) {
        SetError(ctx, ERR_BAD_TYPE);
        return;
    }
    if (flags < 0 || flags >= FONT_FLAG_LIMIT) {
        SetError(ctx, ERR_BAD_FLAGS);
        return;
    }
    CHOOSEFONTA choose{};
    LOGFONTA font{};
    choose.lStructSize = sizeof choose;
    choose.hwndOwner = ctx->hwndOwner;
    choose.lpLogFont = &font;
    choose.Flags = FontFlags(type, flags);
    choose.lpfnHook = ChooserHookProc;
    if (choose.Flags & CF_PRINTERFONTS) {
        choose.hDC = DefaultPrinterContext();
        if (!choose.hDC) {
            SetError(ctx, ERR_NO_PRINTER);
            return;
        }
    }
    char path[KEY_PATH_CHARS + 1];
    bool remembered = KeyPath(keyName, "AskFont", path);
    if (remembered) {
        DWORD color = 0;
        if (ReadValue(path, "Color", REG_DWORD, &color, sizeof color))
            choose.rgbColors = color;
        if (ReadValue(path, "LogFont", REG_BINARY, &font, sizeof font))
            choose.Flags |= CF_INITTOLOGFONTSTRUCT;
        font.lfFaceName[LF_FACESIZE - 1] = 0;   // a stored face name need not be ended
    }
    if (format != 0) {
        if (choose.hDC)
            DeleteDC(choose.hDC);
        SetError(ctx, ERR_BAD_FONT_FORMAT);
        return;
    }

    int inputState = SetInputBlocked(ctx, 1);
    BOOL chosen = ChooseFontA(&choose);
    if (inputState != -1)
        SetInputBlocked(ctx, inputState);
    if (choose.hDC)
        DeleteDC(choose.hDC);
    if (!chosen) {
        SetError(ctx, CommDlgExtendedError() ? ERR_FONT_FAILED : uint16_t{CC_CANCEL});
        return;
    }
    if (remembered) {
        DWORD color = choose.rgbColors;
        WriteValues(path, "Color", REG_DWORD, &color, sizeof color, "LogFont", REG_BINARY, &font, sizeof font);
    }
    char color[16];
    FormatColor(choose.rgbColors, color, sizeof color);
    char text[LF_FACESIZE + 256];
    std::snprintf(text, sizeof text, "%ld|%ld|%ld|%ld|%ld|%d|%d|%d|%d|%d|%d|%d|%d|%s\t%d\t%s\t%d", font.lfHeight,
                  font.lfWidth, font.lfEscapement, font.lfOrientation, font.lfWeight, font.lfItalic, font.lfUnderline,
                  font.lfStrikeOut, font.lfCharSet, font.lfOutPrecision, font.lfClipPrecision, font.lfQuality,
                  font.lfPitchAndFamily, font.lfFaceName, choose.iPointSize, color, choose.nFontType);
    SetResultText(ctx, result, text);
}

UINT_PTR CALLBACK ChooserHookProc(HWND window, UINT message, WPARAM, LPARAM)
{
    if (message == WM_INITDIALOG)
        EnableMenuItem(GetSystemMenu(window, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
    return 0;
}
