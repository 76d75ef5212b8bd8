// Minimal forms of the files subsystem's services that engine set-up and tear-down call,
// until that subsystem is built (its own code replaces this file).
#include <windows.h>

#include "engine/core/context.h"
#include "engine/core/neighbour_services.h"

int DoDirChangeA(BDS* ctx, const char* directory)
{
    if (!directory || !directory[0] || !SetCurrentDirectoryA(directory)) {
        if (ctx)
            SetError(ctx, 1031);
        return 0;
    }
    if (directory[1] == ':') {
        char name[4] = {'=', directory[0], ':', 0};
        char current[MAX_PATH];
        if (GetCurrentDirectoryA(sizeof current, current))
            SetEnvironmentVariableA(name, current);
    }
    return 1;
}

void OpenKeyTableFree(BDS*) {}

void RestartMgrUnload() {}
