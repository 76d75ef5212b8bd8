// Minimal form of the HRESULT mapping, until the COM layer's own replaces it: no HRESULT
// has an error number of its own.
#include "engine/core/neighbour_services.h"

uint16_t HresultToErrorNumber(BDS*, HRESULT, const char*)
{
    return 1298;   // "COM: Error code not recognized"
}
