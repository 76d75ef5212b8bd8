// Hotkey words of shortcuts and their texts: "^!{F5}" is Ctrl+Alt+F5. The word's low byte
// is the virtual-key code, its high byte the modifiers (1 Shift "+", 2 Ctrl "^", 4 Alt "!",
// 8 extended "?", written only).
#pragma once

#include <cstddef>
#include <cstdint>

// The word of a hotkey text, or 0 when it names no key. The key ends the text: what follows
// it is not read.
uint16_t HotkeyTextParse(const char* text);

// The text of a hotkey word: 1, or 0 when the word is 0 or the text does not fit.
int HotkeyToText(uint16_t hotkey, char* out, size_t capacity);
