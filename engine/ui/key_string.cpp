// The key language of SendKey: the key-name table and the reader of one unit.
#include "engine/ui/key_string.h"

#include <climits>

namespace {

const SendKeyName kNames[SEND_KEY_NAME_COUNT] = {
    {"BACKSPACE", 0x08, 0}, {"BS", 0x08, 0},       {"CANCEL", 0x03, 0},   {"CAPSLOCK", 0x14, 0},
    {"CLEAR", 0x0C, 0},     {"DELETE", 0x2E, 0},   {"DEL", 0x2E, 0},      {"DOWN", 0x28, 0},
    {"END", 0x23, 0},       {"ENTER", 0x0D, 0},    {"ESCAPE", 0x1B, 0},   {"ESC", 0x1B, 0},
    {"HELP", 0x2F, 0},      {"HOME", 0x24, 0},     {"INSERT", 0x2D, 0},   {"INS", 0x2D, 0},
    {"LEFT", 0x25, 0},      {"NUMLOCK", 0x90, 0},  {"PAUSE", 0x13, 0},    {"PGDN", 0x22, 0},
    {"PGUP", 0x21, 0},      {"PRTSC", 0x2C, 0},    {"RIGHT", 0x27, 0},    {"TAB", 0x09, 0},
    {"UP", 0x26, 0},        {"F1", 0x70, 0},       {"F2", 0x71, 0},       {"F3", 0x72, 0},
    {"F4", 0x73, 0},        {"F5", 0x74, 0},       {"F6", 0x75, 0},       {"F7", 0x76, 0},
    {"F8", 0x77, 0},        {"F9", 0x78, 0},       {"F10", 0x79, 0},      {"F11", 0x7A, 0},
    {"F12", 0x7B, 0},       {"F13", 0x7C, 0},      {"F14", 0x7D, 0},      {"F15", 0x7E, 0},
    {"F16", 0x7F, 0},       {"SPACE", 0x20, 0},    {"SP", 0x20, 0},       {"SHIFT", 0x10, 0},
    {"CTRL", 0x11, 0},      {"MENU", 0x12, 0},     {"ALT", 0x12, 0},      {"NUMPAD0", 0x60, 0},
    {"NUMPAD1", 0x61, 0},   {"NUMPAD2", 0x62, 0},  {"NUMPAD3", 0x63, 0},  {"NUMPAD4", 0x64, 0},
    {"NUMPAD5", 0x65, 0},   {"NUMPAD6", 0x66, 0},  {"NUMPAD7", 0x67, 0},  {"NUMPAD8", 0x68, 0},
    {"NUMPAD9", 0x69, 0},   {"NUMPAD*", 0x6A, 0},  {"NUMPAD+", 0x6B, 0},  {"NUMPAD-", 0x6D, 0},
    {"NUMPAD.", 0x6E, 0},   {"NUMPAD/", 0x6F, 0},  {"NUMPAD~", 0x00, 0},  {"LALT", 0xA4, 0},
    {"RALT", 0xA5, 0},      {"LCONTROL", 0xA2, 0}, {"RCONTROL", 0xA3, 0}, {"LSHIFT", 0xA0, 0},
    {"RSHIFT", 0xA1, 0},    {"LWIN", 0x5B, 0},     {"RWIN", 0x5C, 0},     {"APPS", 0x5D, 0},
    {"*LALT", 0xA4, KM_LALT},
    {"*RALT", 0xA5, KM_RALT},
    {"*LCONTROL", 0xA2, KM_LCTRL},
    {"*RCONTROL", 0xA3, KM_RCTRL},
    {"*LSHIFT", 0xA0, KM_LSHIFT},
    {"*RSHIFT", 0xA1, KM_RSHIFT},
    {"*LWIN", 0x5B, KM_LWIN},
    {"*RWIN", 0x5C, KM_RWIN},
    {"*APPS", 0x5D, KM_APPS},
};

// The character at `at` and the units it takes (0 at the end of the string).
wchar_t CharAt(const KeyString& keys, size_t at, size_t* width)
{
    if (keys.wide) {
        wchar_t c = keys.wide[at];
        *width = c ? 1 : 0;
        return c;
    }
    const char* p = keys.narrow + at;
    if (!*p) {
        *width = 0;
        return 0;
    }
    UINT codePage = keys.codePage ? keys.codePage : CP_ACP;
    int bytes = (IsDBCSLeadByteEx(codePage, static_cast<BYTE>(*p)) && p[1]) ? 2 : 1;
    wchar_t c = 0;
    if (MultiByteToWideChar(codePage, 0, p, bytes, &c, 1) != 1)
        c = static_cast<unsigned char>(*p);
    *width = static_cast<size_t>(bytes);
    return c;
}

wchar_t Next(KeyString& keys)
{
    size_t width;
    wchar_t c = CharAt(keys, keys.pos, &width);
    keys.pos += width;
    return c;
}

wchar_t Peek(const KeyString& keys, size_t ahead = 0)
{
    size_t at = keys.pos, width = 0;
    wchar_t c = CharAt(keys, at, &width);
    while (ahead-- && width) {
        at += width;
        c = CharAt(keys, at, &width);
    }
    return c;
}

wchar_t AsciiUpper(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c; }

// The rest of a brace group after "{": a single character, or a name and an optional
// count, up to the closing brace. Adds a "*" name's modifier to *hold and answers END.
KeyRead ReadBraceGroup(KeyString& keys, KeyUnit* unit, uint32_t* hold)
{
    wchar_t first = Peek(keys);
    if (!first)
        return KeyRead::MALFORMED;
    if (Peek(keys, 1) == L'}') {   // "{c}": the character itself, whatever it is
        Next(keys);
        Next(keys);
        *unit = {false, 0, first, 0, 1};
        return KeyRead::UNIT;
    }
    wchar_t name[KEY_NAME_MAX + 1];
    size_t length = 0;
    bool tooLong = false;
    for (wchar_t c = Peek(keys); c && (length == 0 || (c != L' ' && c != L'}')); c = Peek(keys)) {
        if (length < KEY_NAME_MAX)
            name[length++] = c;
        else
            tooLong = true;
        Next(keys);
    }
    int64_t count = 1;
    if (Peek(keys) == L' ') {
        while (Peek(keys) == L' ')
            Next(keys);
        bool negative = Peek(keys) == L'-';
        if (negative || Peek(keys) == L'+')
            Next(keys);
        wchar_t c = Peek(keys);
        if (c < L'0' || c > L'9')
            return KeyRead::MALFORMED;
        for (count = 0; (c = Peek(keys)) >= L'0' && c <= L'9'; Next(keys))
            if (count <= INT_MAX)
                count = count * 10 + (c - L'0');
        if (count > INT_MAX)
            count = INT_MAX;
        if (negative)
            count = -count;
        while (Peek(keys) == L' ')
            Next(keys);
    }
    if (Next(keys) != L'}' || tooLong)
        return KeyRead::MALFORMED;
    if (length == 1) {
        *unit = {false, 0, name[0], 0, static_cast<int32_t>(count)};
        return KeyRead::UNIT;
    }
    const SendKeyName* row = FindSendKeyName(name, length);
    if (!row)
        return KeyRead::MALFORMED;
    if (row->hold) {
        *hold |= row->hold;
        return KeyRead::END;
    }
    *unit = {true, row->vk, 0, 0, static_cast<int32_t>(count)};
    return KeyRead::UNIT;
}

}  // namespace

const SendKeyName* SendKeyNames() { return kNames; }

const SendKeyName* FindSendKeyName(const wchar_t* name, size_t length)
{
    if (length == 0 || length > KEY_NAME_MAX)
        return nullptr;
    for (const SendKeyName& row : kNames) {
        size_t i = 0;
        while (i < length && row.name[i] && AsciiUpper(name[i]) == static_cast<wchar_t>(row.name[i]))
            ++i;
        if (i == length && !row.name[i])
            return &row;
    }
    return nullptr;
}

KeyRead ReadKeyUnit(KeyString& keys, KeyUnit* unit)
{
    uint32_t modifiers = 0;
    for (;;) {
        wchar_t c = Next(keys);
        switch (c) {
        case 0:
            return KeyRead::END;
        case L'+':
            modifiers |= KM_SHIFT;
            continue;
        case L'^':
            modifiers |= KM_CTRL;
            continue;
        case L'!':
            modifiers |= KM_ALT;
            continue;
        case L'~':
            *unit = {true, VK_RETURN, 0, modifiers, 1};
            return KeyRead::UNIT;
        case L'{': {
            KeyRead read = ReadBraceGroup(keys, unit, &modifiers);
            if (read == KeyRead::END)
                continue;   // a held modifier: the next unit carries it
            unit->modifiers = modifiers;
            return read;
        }
        default:
            *unit = {false, 0, c, modifiers, 1};
            return KeyRead::UNIT;
        }
    }
}
