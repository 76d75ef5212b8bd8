// Hotkey texts of shortcuts: the key-name table and the conversions between a text such
// as "^!{F5}" and a hotkey word.
#include "engine/files/hotkey_text.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace {

struct KeyName {
    const char* name;
    uint8_t code;
};

// Searched in this order; the first name of a code is the one written.
const KeyName kKeys[] = {
    {"BACKSPACE", 0x08}, {"BS", 0x08},       {"CLEAR", 0x0C},    {"DELETE", 0x2E},   {"DEL", 0x2E},
    {"DOWN", 0x28},      {"END", 0x23},      {"ENTER", 0x0D},    {"ESCAPE", 0x1B},   {"ESC", 0x1B},
    {"HELP", 0x2F},      {"HOME", 0x24},     {"INSERT", 0x2D},   {"INS", 0x2D},      {"LEFT", 0x25},
    {"PGDN", 0x22},      {"PGUP", 0x21},     {"PRTSC", 0x2C},    {"RIGHT", 0x27},    {"TAB", 0x09},
    {"UP", 0x26},        {"F1", 0x70},       {"F2", 0x71},       {"F3", 0x72},       {"F4", 0x73},
    {"F5", 0x74},        {"F6", 0x75},       {"F7", 0x76},       {"F8", 0x77},       {"F9", 0x78},
    {"F10", 0x79},       {"F11", 0x7A},      {"F12", 0x7B},      {"F13", 0x7C},      {"F14", 0x7D},
    {"F15", 0x7E},       {"F16", 0x7F},      {"SPACE", 0x20},    {"SP", 0x20},       {"NUMPAD0", 0x60},
    {"NUMPAD1", 0x61},   {"NUMPAD2", 0x62},  {"NUMPAD3", 0x63},  {"NUMPAD4", 0x64},  {"NUMPAD5", 0x65},
    {"NUMPAD6", 0x66},   {"NUMPAD7", 0x67},  {"NUMPAD8", 0x68},  {"NUMPAD9", 0x69},  {"NUMPAD*", 0x6A},
    {"NUMPAD+", 0x6B},   {"NUMPAD-", 0x6D},  {"NUMPAD.", 0x6E},  {"NUMPAD/", 0x6F},
};

constexpr size_t MAX_KEY_NAME = 10;

// One character upper-cased by the system's rules (CharUpperA's single-character form).
uint8_t Upper(char c)
{
    auto code = static_cast<uintptr_t>(static_cast<uint8_t>(c));
    return static_cast<uint8_t>(reinterpret_cast<uintptr_t>(CharUpperA(reinterpret_cast<char*>(code))));
}

uint8_t KeyByName(const char* name)
{
    for (const KeyName& k : kKeys)
        if (lstrcmpiA(k.name, name) == 0)
            return k.code;
    return 0;
}

}  // namespace

uint16_t HotkeyTextParse(const char* text)
{
    if (!text)
        return 0;
    unsigned modifiers = 0;
    auto word = [&modifiers](unsigned key) { return static_cast<uint16_t>(modifiers << 8 | key); };
    // The key ends the scan: whatever follows it is not read ("^xyz" is Ctrl+X).
    for (const char* p = text; *p; ++p) {
        uint8_t c = Upper(*p);
        if (c == '!') {
            modifiers |= 4;
        } else if (c == '+') {
            modifiers |= 1;
        } else if (c == '^') {
            modifiers |= 2;
        } else if (c == '{') {
            const char* close = std::strchr(p + 1, '}');
            size_t length = close ? static_cast<size_t>(close - p - 1) : 0;
            if (length == 0 || length > MAX_KEY_NAME)
                return 0;
            if (length == 1)
                return word(Upper(p[1]));
            if (uint8_t key = KeyByName(std::string(p + 1, close).c_str()))
                return word(key);
            p = close;   // a name the table does not know: the scan goes on after it
        } else {
            return word(c);
        }
    }
    return 0;
}

int HotkeyToText(uint16_t hotkey, char* out, size_t capacity)
{
    if (hotkey == 0 || !out || capacity == 0)
        return 0;
    std::string text;
    if (hotkey & 0x100)
        text += '+';
    if (hotkey & 0x200)
        text += '^';
    if (hotkey & 0x400)
        text += '!';
    if (hotkey & 0x800)
        text += '?';
    uint8_t key = static_cast<uint8_t>(hotkey & 0xFF);
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) {
        text += static_cast<char>(key);
    } else {
        const char* name = "?";
        for (const KeyName& k : kKeys) {
            if (k.code == key) {
                name = k.name;
                break;
            }
        }
        text += '{';
        text += name;
        text += '}';
    }
    if (text.size() + 1 > capacity)
        return 0;
    std::memcpy(out, text.c_str(), text.size() + 1);
    return 1;
}
