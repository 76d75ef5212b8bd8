// Services of later subsystems that the host-service entry DLLServices calls. Until a
// subsystem is built its services have minimal forms in engine/core/host_service_minimal.cpp;
// the subsystem's own code replaces them (delete the minimal form when the real one lands).
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <cstdint>

#include "engine/core/value.h"

struct BDS;

// ---- COM
// The name of a variant type.
void VtTypeName(BDS* ctx, VARTYPE type, char* out, int size);
