// Minimal forms of the native-call and extender services that engine tear-down and the
// break-key poll call, until that subsystem is built (its own code replaces this file).
#include "engine/core/neighbour_services.h"

void FreeScriptLibraries(BDS*) {}
void NotifyExtendersOfEnd(BDS*) {}
void FreeAllDllCallbacks(BDS*) {}
void DllStructFreeAll(BDS*) {}
void UnloadExtenders(BDS*) {}

// The internal-information report: nothing is open.
int ExtendersLoaded(BDS*) { return 0; }
bool ExtenderFileName(BDS*, int, char*, int) { return false; }
