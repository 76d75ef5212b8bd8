// Minimal forms of the window subsystem's services that engine set-up calls, until that
// subsystem is built (its own code replaces this file).
#include <windows.h>

#include "engine/core/neighbour_services.h"

void GetMyCounterIndex(const char*, char* out, int size)
{
    if (out && size > 0)
        out[0] = 0;
}
