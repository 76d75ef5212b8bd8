// Minimal forms of the services DLLServices needs from subsystems not built yet (see
// host_service_needs.h). Each answers as its service does when it finds nothing to act on;
// the subsystem's own code replaces it.
#include "engine/core/host_service_needs.h"

#include <cstdio>

#include "engine/core/context.h"

// ---- windows: no window is found
int DoWinPositionA(BDS* ctx, resultants*, const char*, HWND)
{
    SetError(ctx, 1119);      // "WinPosition: Window not found"
    return 0;
}

int DoWinPlaceA(BDS* ctx, int, int, int, int, const char*, HWND)
{
    SetError(ctx, 1044);      // "WinPlace: Window not found"
    return 0;
}

// ---- system: no kind is known
int ProgramKindByExt(BDS*, uint16_t, const char*, uint32_t, int)
{
    return 0;
}

// ---- diagnostics: an empty stack
int StructureStackText(BDS*, resultants*, bool, bool)
{
    return 0;
}
