// Minimal forms of the extender services that engine tear-down and IntControl call, until
// extender loading is built (its own code replaces this file).
#include "engine/core/neighbour_services.h"
#include "engine/native/native_call.h"

void NotifyExtendersOfEnd(BDS*) {}
void UnloadExtenders(BDS*) {}
int UnloadExtenderByName(BDS*, const char*) { return 0; }
