// Minimal forms of the services DLLServices needs from subsystems not built yet (see
// host_service_needs.h). Each answers as its service does when it finds nothing to act on;
// the subsystem's own code replaces it.
#include "engine/core/host_service_needs.h"

#include <cstdio>

#include "engine/core/context.h"

// ---- system: no kind is known
int ProgramKindByExt(BDS*, uint16_t, const char*, uint32_t, int)
{
    return 0;
}
