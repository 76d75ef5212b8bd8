// Minimal forms of the COM layer's services that engine tear-down calls, until that
// layer is built (its own code replaces this file).
#include "engine/core/neighbour_services.h"

void ComTerminateContext(BDS*) {}
