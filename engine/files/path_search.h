// Finding a file by name: the current directory and "PATH" for a bare name, the absolute
// name otherwise.
#pragma once

#include <windows.h>

struct BDS;

// Answers 0 not found, 1 found, 2 found but held open by another process without read
// sharing (only with the open test). The full name found is copied into `out` (cut to `size`).
int FileSearchPathA(BDS* ctx, char* out, const char* name, int size, bool openTest);
