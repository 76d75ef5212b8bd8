// Services of later subsystems that the host-service entry DLLServices calls. Until a
// subsystem is built its services have minimal forms in engine/core/host_service_minimal.cpp;
// the subsystem's own code replaces them (delete the minimal form when the real one lands).
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <cstdint>

#include "engine/core/value.h"

struct BDS;

// ---- windows
// The window's rectangle as "x,y,x2,y2" in virtual screen units 0..1000, as a heap value;
// the window is named by its title, or by its handle when the title is empty.
int DoWinPositionA(BDS* ctx, resultants* out, const char* title, HWND window);
// Moves and sizes the window in the same units.
int DoWinPlaceA(BDS* ctx, int x, int y, int x2, int y2, const char* title, HWND window);

// ---- system
// How a file of that name would be started, as a kind code chosen by its extension.
int ProgramKindByExt(BDS* ctx, uint16_t code, const char* fileName, uint32_t flags, int reserved);

// ---- COM
// The name of a variant type.
void VtTypeName(BDS* ctx, VARTYPE type, char* out, int size);
