// Minimal form of the shell-link start, until the COM layer's shortcut code replaces it:
// no link can be read.
#include "engine/core/neighbour_services.h"

uint32_t RunShortcutW(BDS*, const wchar_t*, const wchar_t*, const wchar_t*, int, HANDLE* process, DWORD* processId)
{
    if (process)
        *process = nullptr;
    if (processId)
        *processId = 0;
    return SHORTCUT_UNREADABLE;
}

uint32_t RunShortcutA(BDS*, const char*, const char*, const char*, int, HANDLE* process, DWORD* processId)
{
    return RunShortcutW(nullptr, nullptr, nullptr, nullptr, 0, process, processId);
}
