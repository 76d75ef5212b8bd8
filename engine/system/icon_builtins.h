// The icon built-ins' replacement, also reached through IntControl 37.
#pragma once

#include <cstdint>

struct BDS;

// Writes the images of the .ICO file over the images of the same size of icon group n of
// the program (slot n of a 16-bit program); bit 0 of flags then drops the group's entries
// that were not replaced. The number of images replaced, or 0 with the error set.
int32_t DoIconReplace(BDS* ctx, const char* exe, const char* ico, int32_t n, int32_t flags);
