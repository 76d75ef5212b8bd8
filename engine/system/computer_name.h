// The machine's identity on the network: the installed network providers, and the
// computer's name read and changed in the system's name formats.
#pragma once

#include <cstdint>

struct BDS;

// Changes the computer's name (narrow): format 0 is the physical DNS host name, 104-106
// the physical NetBIOS name, DNS host name and DNS domain. 0 for an empty name (no error);
// else the system's answer, or 0 with 1823 (format) or 1769 (the change failed).
int32_t DoComputerNameSetA(BDS* ctx, const char* name, int32_t format);
