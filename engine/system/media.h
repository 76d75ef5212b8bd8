// The media built-ins on the Media Control Interface (PlayMedia, PlayMidi) and the
// speaker volume (SoundVolume).
#pragma once

#include <windows.h>

// Whether an MCI command asks for notification: NOTIFY (any case) as a word of its own,
// after a blank or tab and followed by one or by the end.
bool MediaCommandNotifies(const char* command);

// The speaker volume's level 0-100 from a mixer value 0-65535, and back.
int VolumeLevelFromValue(DWORD value);
DWORD VolumeValueFromLevel(int level);

// The window procedure of the notify window class "kv8wcmmn": keeps the creation
// parameter (the context's handle) and, when an MCI command completes, marks it done in
// that context.
extern "C" LRESULT CALLBACK MyMMNotifyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
