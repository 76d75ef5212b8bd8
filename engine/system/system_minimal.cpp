// Minimal forms of the system subsystem's services that engine set-up and tear-down call,
// until that subsystem is built (its own code replaces this file).
#include <windows.h>

#include "engine/core/neighbour_services.h"

// The internal-information report: nothing is open.
int DdeConversationsOpen(BDS*) { return 0; }
