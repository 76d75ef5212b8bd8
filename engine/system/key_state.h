// The state of the keyboard: toggle keys (Caps Lock, Num Lock, Scroll Lock), keys held
// down, and the waits for one key of a list.
#pragma once

#include <cstddef>
#include <cstdint>

struct BDS;

constexpr int TOGGLE_QUERY = -1;

// The toggle state (0 or 1) of a virtual key before the call; with a new state of 0 or 1
// that differs, the key is pressed and released to switch it. TOGGLE_QUERY only reads.
int ToggleKeyState(BDS* ctx, int vk, int newState);

// Key word: the key in the low byte, then a named key (a virtual key the name gives) and
// the modifiers that must be down.
enum : uint16_t { KEY_WORD_NAMED = 0x1000, KEY_WORD_ALT = 0x2000, KEY_WORD_CTRL = 0x4000, KEY_WORD_SHIFT = 0x8000 };
constexpr uint16_t KEY_WORD_MODIFIERS = KEY_WORD_ALT | KEY_WORD_CTRL | KEY_WORD_SHIFT;

// The key word of a named key (upper case, `length` characters: "F5", "PGDN", "NUMPAD*"),
// as hot keys and waited keys name them; 0 for a name not in the table.
uint16_t NamedKeyWord(const char* name, size_t length);

// The key word of a waited key's name ("a", "^+{F5}", "{ENTER}", "!x"); 0 when it names
// modifiers alone, nothing, or a character that no key types.
uint16_t WaitedKeyWord(const char* name, size_t length);
