// Minimal forms of the COM layer's services that engine tear-down calls, until that
// layer is built (its own code replaces this file).
#include "engine/core/neighbour_services.h"

void ComTerminateContext(BDS*) {}

// The internal-information report: nothing is open.
int ComObjectsOpen(BDS*) { return 0; }
int ComObjectSlotsFree(BDS*) { return 0; }
bool ComObjectText(BDS*, int, char*, int) { return false; }
int32_t ComObjectReferenceCount(BDS*, int32_t) { return 0; }
