// Menu item texts: a text, a backslash and a shortcut such as "^S" or "!{F5}" become the
// text shown (the shortcut after a tab, in the system's key names) and an accelerator.
#include "engine/dialog/dialog_menus.h"

#include <windows.h>

#include <cwctype>

namespace {

constexpr int KEY_NAME_CHARS = 32;
constexpr size_t SHORTCUT_NAME_MAX = 32;

struct KeyName {
    const wchar_t* name;
    int vk;
};

const KeyName kKeyNames[] = {
    {L"BACKSPACE", 0x08}, {L"BS", 0x08},      {L"CLEAR", 0x0C},  {L"DELETE", 0x2E}, {L"DEL", 0x2E},
    {L"DOWN", 0x28},      {L"END", 0x23},     {L"ENTER", 0x0D},  {L"ESCAPE", 0x1B}, {L"ESC", 0x1B},
    {L"HELP", 0x2F},      {L"HOME", 0x24},    {L"INSERT", 0x2D}, {L"INS", 0x2D},    {L"LEFT", 0x25},
    {L"PGDN", 0x22},      {L"PGUP", 0x21},    {L"PRTSC", 0x2C},  {L"RIGHT", 0x27},  {L"TAB", 0x09},
    {L"UP", 0x26},        {L"SPACE", 0x20},   {L"SP", 0x20},     {L"NUMPAD*", 0x6A}, {L"NUMPAD+", 0x6B},
    {L"NUMPAD-", 0x6D},   {L"NUMPAD.", 0x6E}, {L"NUMPAD/", 0x6F},
};

bool IsExtendedKey(int vk)
{
    switch (vk) {
    case VK_INSERT: case VK_DELETE: case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: case VK_DIVIDE: case VK_NUMLOCK:
        return true;
    default:
        return false;
    }
}

// The system's name of a key ("" when it has none).
std::wstring SystemKeyName(int vk)
{
    UINT scan = MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC);
    LONG code = static_cast<LONG>(scan << 16) | (IsExtendedKey(vk) ? (1 << 24) : 0);
    wchar_t name[KEY_NAME_CHARS] = {};
    int n = scan ? GetKeyNameTextW(code, name, KEY_NAME_CHARS) : 0;
    return n > 0 ? std::wstring(name, static_cast<size_t>(n)) : std::wstring();
}

// The names of Shift, Ctrl and Alt with "+" behind, read once per process.
struct ModifierNames {
    std::wstring shift, ctrl, alt;
    ModifierNames() : shift(Plus(VK_SHIFT)), ctrl(Plus(VK_CONTROL)), alt(Plus(VK_MENU)) {}
    static std::wstring Plus(int vk)
    {
        std::wstring name = SystemKeyName(vk);
        if (name.size() < 30)
            name += L'+';
        return name;
    }
};

const ModifierNames& Modifiers()
{
    static const ModifierNames names;
    return names;
}

wchar_t Upper(wchar_t c) { return static_cast<wchar_t>(std::towupper(c)); }

}  // namespace

int HotkeyNameToVk(const std::wstring& name)
{
    for (const KeyName& k : kKeyNames)
        if (name == k.name)
            return k.vk;
    if (name.size() >= 2 && name[0] == L'F') {
        int n = 0;
        for (size_t i = 1; i < name.size(); ++i) {
            if (name[i] < L'0' || name[i] > L'9' || i > 2)
                return 0;
            n = n * 10 + (name[i] - L'0');
        }
        return n >= 1 && n <= 16 ? 0x70 + n - 1 : 0;
    }
    if (name.size() == 7 && name.compare(0, 6, L"NUMPAD") == 0 && name[6] >= L'0' && name[6] <= L'9')
        return 0x60 + (name[6] - L'0');
    return 0;
}

int MenuTextParse(const std::wstring& text, WORD command, std::wstring* display, ACCEL* accel, bool* doubled)
{
    display->clear();
    *doubled = false;
    size_t n = text.size();
    size_t i = 0;
    while (i < n && text[i] != L'\\') {
        *display += text[i++];
    }
    while (i < n) {   // at a backslash
        if (i + 1 < n && text[i + 1] == L'\\') {
            *display += L'\\';
            *doubled = true;
            i += 2;
            while (i < n && text[i] != L'\\')
                *display += text[i++];
            continue;
        }
        if (i + 1 == n)
            return 0;   // a backslash at the very end ends the text
        break;
    }
    if (i >= n)
        return 0;

    // the shortcut
    ++i;
    *display += L'\t';
    BYTE flags = FVIRTKEY;
    const ModifierNames& names = Modifiers();
    for (; i < n; ++i) {
        wchar_t c = text[i];
        if (c == L' ' || c == L'\t')
            continue;
        if (c == L'!') {
            flags |= FALT;
            *display += names.alt;
        } else if (c == L'+') {
            flags |= FSHIFT;
            *display += names.shift;
        } else if (c == L'^') {
            flags |= FCONTROL;
            *display += names.ctrl;
        } else {
            break;
        }
    }
    if (i >= n)
        return -1;   // modifiers without a key
    int vk = 0;
    if (text[i] == L'{') {
        size_t close = text.find(L'}', i + 1);
        if (close == std::wstring::npos || close != n - 1)
            return -1;
        std::wstring name;
        for (size_t k = i + 1; k < close; ++k)
            name += Upper(text[k]);
        if (name.empty() || name.size() > SHORTCUT_NAME_MAX)
            return -1;
        vk = name.size() == 1 ? name[0] : HotkeyNameToVk(name);
    } else {
        if (i != n - 1)
            return -1;   // more than one character after the modifiers
        vk = Upper(text[i]);
    }
    if (vk <= 0 || vk > 0xFF)
        return -1;
    std::wstring keyName = SystemKeyName(vk);
    if (keyName.empty())
        return -1;
    *display += keyName;
    accel->fVirt = flags;
    accel->key = static_cast<WORD>(vk);
    accel->cmd = command;
    return 1;
}
