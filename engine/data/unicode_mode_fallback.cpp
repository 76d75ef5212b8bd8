// Stand-in for the router's Unicode mode switch until the router is merged: the mode is
// taken from the system (every NT system has the wide functions) unless set.
#include "engine/data/text.h"

namespace {
int g_unicodeMode = -1;   // -1: not yet decided
}

bool IsUnicodeMode()
{
    if (g_unicodeMode < 0) {
        OSVERSIONINFOA info{};
        info.dwOSVersionInfoSize = sizeof info;
        g_unicodeMode = (GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT) ? 1 : 0;
    }
    return g_unicodeMode == 1;
}

void SetUnicodeMode(bool on) { g_unicodeMode = on ? 1 : 0; }
