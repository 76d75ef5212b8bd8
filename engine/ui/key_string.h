// The key language of SendKey: a key string read one unit at a time.
//
//   + ^ !          Shift, Ctrl, Alt for the next unit (stackable)
//   ~              Enter
//   {c}            the character c itself (so "{+}", "{~}", "{{}" and "{}}" type those)
//   {NAME}         a key of SendKeyNames; "{NAME n}" repeats it n times (below 1: nothing);
//                  a one-character name is that character
//   {*NAME}        holds a left/right modifier (or Windows or Applications key) for the
//                  next unit, as "+" does for Shift
//   anything else  the character, typed by the key that types it
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// Modifier set of one key unit.
enum : uint32_t {
    KM_SHIFT = 0x1,
    KM_CTRL = 0x2,
    KM_ALT = 0x4,
    KM_LALT = 0x8,
    KM_RALT = 0x10,
    KM_LCTRL = 0x20,
    KM_RCTRL = 0x40,
    KM_LSHIFT = 0x80,
    KM_RSHIFT = 0x100,
    KM_LWIN = 0x200,
    KM_RWIN = 0x400,
    KM_APPS = 0x800,
};
constexpr uint32_t KM_ANY_ALT = KM_ALT | KM_LALT | KM_RALT;

constexpr int KEY_NAME_MAX = 9;        // the longest name of the table
constexpr int SEND_KEY_NAME_COUNT = 81;

struct SendKeyName {
    const char* name;
    uint8_t vk;          // 0: the keypad Enter (Enter with the extended flag)
    uint32_t hold;       // the modifier a "*" name holds; 0 for keys that are sent
};

// The table of key names, SEND_KEY_NAME_COUNT rows.
const SendKeyName* SendKeyNames();
// The row whose name equals `name` (`length` units) without regard to case, or null.
const SendKeyName* FindSendKeyName(const wchar_t* name, size_t length);

// A key string being read: narrow text in a code page (a double-byte character is one
// character) or wide text.
struct KeyString {
    const char* narrow;
    const wchar_t* wide;
    UINT codePage;       // of the narrow text; CP_ACP for 0
    size_t pos;          // the next unit to read, in bytes or UTF-16 units
};

inline KeyString NarrowKeyString(const char* text, UINT codePage) { return {text, nullptr, codePage, 0}; }
inline KeyString WideKeyString(const wchar_t* text) { return {nullptr, text, CP_ACP, 0}; }

// One unit to send, with the modifiers gathered before it.
struct KeyUnit {
    bool named;          // a key of the table (vk), else a character to type (ch)
    uint8_t vk;
    wchar_t ch;
    uint32_t modifiers;  // KM_* bits
    int32_t count;       // times to send it
};

enum class KeyRead { UNIT, END, MALFORMED };

// Reads the next unit. END at the end of the string (modifiers with nothing after them
// send nothing); MALFORMED for a brace group without its closing brace, or one that names
// neither a table key nor a single character.
KeyRead ReadKeyUnit(KeyString& keys, KeyUnit* unit);
