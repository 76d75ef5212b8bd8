// User input around modal boxes, the script's own input block (IgnoreInput), and the
// system event sounds that boxes, error reports and program starts play.
#pragma once

#include <windows.h>

struct BDS;

// Lifts or sets the input block around a box: calls BlockInput(!allow) and answers 1 when
// the script has not blocked input, 0 when it has, -1 when the system has no BlockInput
// (nothing is called then). A box calls it with 1 before it shows itself and, unless the
// answer was -1, again with that answer afterwards, so input is blocked again exactly when
// the script had blocked it. Where the system refuses to block again, no block holds any
// more and the script's state says so.
int SetInputBlocked(BDS* ctx, int allow);

// The box form of the event sounds: asynchronous, no default sound, the error number kept.
constexpr int SOUND_BOX = 99;

// The full path of a sound file: a name with a directory as it stands (when it is a
// file), a bare name searched for along PATH. False when there is no such file.
bool FindSoundFile(const char* name, char* path, DWORD size);

// Plays an event sound (a name of the sound scheme) or a sound file (by path, or searched
// along PATH); a name that is neither plays "SystemDefault", except in the box form, which
// plays nothing then. The box form plays only while the context's sounds are on; quiet
// mode plays nothing and answers 0. Answers 1 when the context's error number is 0 after.
int PlayEventSound(BDS* ctx, const char* eventName, int flags);
