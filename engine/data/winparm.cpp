// WinParmGet and WinParmSet: twenty legacy user parameters, read as text through the
// system's parameter call, the user profile or the engine's settings store, and set
// through the parameter call.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "engine/core/numtext.h"
#include "engine/core/text_length.h"
#include "engine/data/system_query.h"
#include "engine/files/settings.h"

namespace {

constexpr uint16_t ERR_NOT_SUPPORTED = 1193;
constexpr uint16_t ERR_BAD_VALUE = 1824;
constexpr uint16_t ERR_BAD_REQUEST = 3198;
constexpr int kValueBufferSize = static_cast<int>(WINPARM_VALUE_MAX) + 1;
constexpr size_t kIntegerDigits = 18;   // an integer value is read from this many characters

enum class Read {
    SpiBool,     // the parameter call fills a BOOL: "0" or "1"
    SpiInt,      // ... an int: decimal text
    SpiMouse,    // ... three ints: decimal texts separated by one blank
    Settings,    // section "boot", key "language.dll" of "system.ini" in the settings store
    Profile,     // a key of the user profile
    SwapButton,  // whether the mouse buttons are swapped: "0" or "1"
};

enum class Set {
    Bool,     // uiParam the value as a boolean
    Int,      // uiParam the low 16 bits of the value's integer
    Mouse,    // pvParam three ints read from the value
    Text,     // pvParam the value text
    Pattern,  // pvParam the value text, or the current pattern when the value is empty
};

struct ParmRow {
    Read read;
    UINT getAction;
    const char* section;      // Profile
    const char* key;
    const char* fallback;
    Set set;
    UINT setAction;
};

// Requests 1-20, in order.
const ParmRow kRequests[] = {
    {Read::SpiBool, SPI_GETBEEP, nullptr, nullptr, nullptr, Set::Bool, SPI_SETBEEP},
    {Read::SpiMouse, SPI_GETMOUSE, nullptr, nullptr, nullptr, Set::Mouse, SPI_SETMOUSE},
    {Read::SpiInt, SPI_GETBORDER, nullptr, nullptr, nullptr, Set::Int, SPI_SETBORDER},
    {Read::SpiInt, SPI_GETKEYBOARDSPEED, nullptr, nullptr, nullptr, Set::Int, SPI_SETKEYBOARDSPEED},
    {Read::Settings, 0, nullptr, nullptr, nullptr, Set::Text, SPI_LANGDRIVER},
    {Read::SpiInt, SPI_ICONHORIZONTALSPACING, nullptr, nullptr, nullptr, Set::Int, SPI_ICONHORIZONTALSPACING},
    {Read::SpiInt, SPI_GETSCREENSAVETIMEOUT, nullptr, nullptr, nullptr, Set::Int, SPI_SETSCREENSAVETIMEOUT},
    {Read::SpiBool, SPI_GETSCREENSAVEACTIVE, nullptr, nullptr, nullptr, Set::Bool, SPI_SETSCREENSAVEACTIVE},
    {Read::SpiInt, SPI_GETGRIDGRANULARITY, nullptr, nullptr, nullptr, Set::Int, SPI_SETGRIDGRANULARITY},
    {Read::Profile, 0, "DESKTOP", "WALLPAPER", "(NONE)", Set::Text, SPI_SETDESKWALLPAPER},
    {Read::Profile, 0, "DESKTOP", "Pattern", "", Set::Pattern, SPI_SETDESKPATTERN},
    {Read::SpiInt, SPI_GETKEYBOARDDELAY, nullptr, nullptr, nullptr, Set::Int, SPI_SETKEYBOARDDELAY},
    {Read::SpiInt, SPI_ICONVERTICALSPACING, nullptr, nullptr, nullptr, Set::Int, SPI_ICONVERTICALSPACING},
    {Read::SpiBool, SPI_GETICONTITLEWRAP, nullptr, nullptr, nullptr, Set::Bool, SPI_SETICONTITLEWRAP},
    {Read::SpiBool, SPI_GETMENUDROPALIGNMENT, nullptr, nullptr, nullptr, Set::Bool, SPI_SETMENUDROPALIGNMENT},
    {Read::Profile, 0, "WINDOWS", "DoubleClickWidth", "4", Set::Int, SPI_SETDOUBLECLKWIDTH},
    {Read::Profile, 0, "WINDOWS", "DoubleClickHeight", "4", Set::Int, SPI_SETDOUBLECLKHEIGHT},
    {Read::Profile, 0, "WINDOWS", "DoubleClickSpeed", "452", Set::Int, SPI_SETDOUBLECLICKTIME},
    {Read::SwapButton, 0, nullptr, nullptr, nullptr, Set::Int, SPI_SETMOUSEBUTTONSWAP},
    {Read::SpiBool, 35, nullptr, nullptr, nullptr, Set::Bool, 36},   // the fast task switch
};
constexpr int kRequestCount = static_cast<int>(sizeof kRequests / sizeof kRequests[0]);

// ---------------------------------------------------------------- the value text

// The engine's integer of a text, read from its first characters.
int32_t IntegerOf(const char* text)
{
    char head[kIntegerDigits + 1];
    std::snprintf(head, sizeof head, "%s", text);
    return TextToLongA(head);
}

// After one optional "@": t, y or 1 is true, f, n or nothing false, anything else true
// when its integer is above 0 ("@TRUE" and "YES" are true, "0" false, "2" true).
bool BooleanOf(const char* text)
{
    if (*text == '@') ++text;
    switch (*text) {
    case 't': case 'T': case 'y': case 'Y': case '1': return true;
    case 'f': case 'F': case 'n': case 'N': case '\0': return false;
    default: return IntegerOf(text) > 0;
    }
}

// Three integers separated by blanks; missing ones are 0.
void ThreeIntegers(const char* text, int out[3])
{
    const char* p = text;
    for (int i = 0; i < 3; ++i) {
        while (*p == ' ') ++p;
        out[i] = IntegerOf(p);
        while (*p && *p != ' ') ++p;
    }
}

// ---------------------------------------------------------------- reading and setting

// The current value as text; false with 1193 when the system refuses the reading.
bool ReadCurrent(BDS* ctx, const ParmRow& row, char* out, int size)
{
    out[0] = '\0';
    switch (row.read) {
    case Read::SpiBool:
    case Read::SpiInt: {
        int value = 0;   // a BOOL is an int
        if (!SystemParametersInfoA(row.getAction, 0, &value, 0)) break;
        std::snprintf(out, size, "%d", row.read == Read::SpiBool ? (value != 0) : value);
        return true;
    }
    case Read::SpiMouse: {
        int mouse[3] = {};
        if (!SystemParametersInfoA(row.getAction, 0, mouse, 0)) break;
        std::snprintf(out, size, "%d %d %d", mouse[0], mouse[1], mouse[2]);
        return true;
    }
    case Read::Settings:
        ReadSettingsRegStr("boot", "language.dll", "", out, size, "system.ini", 0);
        return true;
    case Read::Profile:
        GetProfileStringA(row.section, row.key, row.fallback, out, size);
        return true;
    case Read::SwapButton:
        std::snprintf(out, size, "%d", GetSystemMetrics(SM_SWAPBUTTON) ? 1 : 0);
        return true;
    }
    SetError(ctx, ERR_NOT_SUPPORTED);
    return false;
}

bool SetValue(const ParmRow& row, const char* value, const char* current, int iniFlag)
{
    UINT flags = static_cast<UINT>(iniFlag) & 0xFFFF;
    // The call takes a writable pointer; the texts are copied so that the script's stay
    // untouched whatever the call does with them.
    char text[kValueBufferSize];
    switch (row.set) {
    case Set::Bool:
        return SystemParametersInfoA(row.setAction, BooleanOf(value) ? 1 : 0, nullptr, flags) != FALSE;
    case Set::Int:
        return SystemParametersInfoA(row.setAction, static_cast<uint16_t>(IntegerOf(value)), nullptr,
                                     flags) != FALSE;
    case Set::Mouse: {
        int mouse[3];
        ThreeIntegers(value, mouse);
        return SystemParametersInfoA(row.setAction, 0, mouse, flags) != FALSE;
    }
    case Set::Pattern:
        if (!*value) value = current;
        [[fallthrough]];
    case Set::Text:
        std::snprintf(text, sizeof text, "%s", value);
        return SystemParametersInfoA(row.setAction, 0, text, flags) != FALSE;
    }
    return false;
}

}  // namespace

void DoWinParmGet(BDS* ctx, int request, bool set, const char* value, int iniFlag, resultants* result)
{
    if (request < 1 || request > kRequestCount) return SetError(ctx, ERR_BAD_REQUEST);
    if (set && TextLength(value) > WINPARM_VALUE_MAX) return SetError(ctx, ERR_BAD_VALUE);
    const ParmRow& row = kRequests[request - 1];
    char current[kValueBufferSize];
    if (!ReadCurrent(ctx, row, current, sizeof current)) return;
    if (set && !SetValue(row, value, current, iniFlag)) return SetError(ctx, ERR_NOT_SUPPORTED);
    SetResultText(ctx, result, current);
}
