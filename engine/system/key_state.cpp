// Toggle keys, keys held down and the waits for a key: KeyToggleGet, KeyToggleSet,
// IsKeyDown, WaitForKey and WaitForKeyEx, and the toggle switch that SendKey uses.
#include "engine/system/key_state.h"

#include <windows.h>

#include "engine/core/builtin.h"
#include "engine/core/context.h"

int ToggleKeyState(BDS*, int vk, int newState)
{
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    int was = keys[vk & 0xFF] & 1;
    if (newState != TOGGLE_QUERY && (newState ? 1 : 0) != was) {
        auto key = static_cast<BYTE>(vk);
        auto scan = static_cast<BYTE>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
        keybd_event(key, scan, KEYEVENTF_EXTENDEDKEY, 0);
        keybd_event(key, scan, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP, 0);
    }
    return was;
}
