// The state of the keyboard: toggle keys (Caps Lock, Num Lock, Scroll Lock), keys held
// down, and the waits for a key of a list.
#pragma once

#include <cstdint>

struct BDS;

constexpr int TOGGLE_QUERY = -1;

// The toggle state (0 or 1) of a virtual key before the call; with a new state of 0 or 1
// that differs, the key is pressed and released to switch it. TOGGLE_QUERY only reads.
int ToggleKeyState(BDS* ctx, int vk, int newState);

// Key word of a waited key: the key in the low byte and the modifiers that must be down.
enum : uint16_t { KEY_WORD_NAMED = 0x1000, KEY_WORD_ALT = 0x2000, KEY_WORD_CTRL = 0x4000, KEY_WORD_SHIFT = 0x8000 };
constexpr uint16_t KEY_WORD_MODIFIERS = KEY_WORD_ALT | KEY_WORD_CTRL | KEY_WORD_SHIFT;

// The key word of a key name ("a", "^+{F5}", "{ENTER}", "!x"); 0 when it names
// modifiers alone or nothing.
uint16_t WaitedKeyWord(const char* name);
