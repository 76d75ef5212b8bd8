// User input around modal boxes, and the system event sounds that boxes play.
#pragma once

#include <windows.h>

struct BDS;

// allow 1 lets user input through, 0 blocks it; answers the previous state in the same form.
int SetInputBlocked(BDS* ctx, int allow);

// Plays a system event sound ("SystemHand", "SystemAsterisk") when the context's "Sounds"
// setting is on; flags 99 asks for an asynchronous sound with no default.
void PlayEventSound(BDS* ctx, const char* eventName, int flags);
