// Minimal forms of the files subsystem's services that engine set-up and tear-down call,
// until that subsystem is built (its own code replaces this file).
#include <windows.h>

#include "engine/core/context.h"
#include "engine/core/neighbour_services.h"

void RestartMgrUnload() {}
