// Synthetic keystrokes: the sender behind SendKey, SendKeyW, SendKeysTo, SendKeysToW and
// SendKeysChild.
#pragma once

#include <cstdint>

#include "engine/ui/key_string.h"

struct BDS;

// 1 for a virtual key that is sent with KEYEVENTF_EXTENDEDKEY: every key outside the
// ranges 08-20, 30-5A, 70-87, BA-C0 and DB-DE.
bool IsExtendedSendKey(uint8_t vk);

// Sends the key string unit by unit into whatever has the keyboard focus, `delayMs`
// between units, with Caps Lock (and for a console window Num Lock) off meanwhile.
// `wide`: every event goes through the context's SendInputUnicodeEntry; otherwise keys
// go through keybd_event and only characters that no key types through that entry (they
// are skipped without it). Answers 0, or -1 at a malformed unit (sending stops there).
int SendKeyString(BDS* ctx, KeyString keys, uint32_t delayMs, bool wide);
