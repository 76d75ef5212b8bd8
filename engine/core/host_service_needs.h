// Services of later subsystems that the host-service entry DLLServices calls. Until a
// subsystem is built its services have minimal forms in engine/core/host_service_minimal.cpp;
// the subsystem's own code replaces them (delete the minimal form when the real one lands).
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <cstdint>

#include "engine/core/value.h"
#include "engine/data/array.h"

struct BDS;

// ---- windows (subsystem 5)
// The window's rectangle as "x,y,x2,y2" in virtual screen units 0..1000, as a heap value;
// the window is named by its title, or by its handle when the title is empty.
int DoWinPositionA(BDS* ctx, resultants* out, const char* title, HWND window);
// Moves and sizes the window in the same units.
int DoWinPlaceA(BDS* ctx, int x, int y, int x2, int y2, const char* title, HWND window);
// Finds a top-level window by a partial title and activates it.
int DoWinActivateA(BDS* ctx, const char* title);

// ---- system (subsystem 6)
// How a file of that name would be started, as a kind code chosen by its extension.
int ProgramKindByExt(BDS* ctx, uint16_t code, const char* fileName, uint32_t flags, int reserved);

// ---- COM (subsystem 8)
// The name of a variant type.
void VtTypeName(BDS* ctx, VARTYPE type, char* out, int size);

// ---- maps (subsystem 3)
// The value of the key (a NUL-terminated text) in the map: 1 and its address, or 0.
int MapFindText(BDS* ctx, ArrayHeader* map, const char* key, ArrayElement** value);
// The value of the key, added when missing: 1 and its address, or 0 with an error.
int MapInsertText(BDS* ctx, ArrayHeader* map, const char* key, ArrayElement** value);
// Removes the key; 1 when an entry was removed.
int MapRemoveText(BDS* ctx, ArrayHeader* map, const char* key);
// The cursor of a walk over the entries: all ones when the map has entries, else 0.
uint64_t MapStartCursor(BDS* ctx, ArrayHeader* map);
// The entry the cursor designates (its key text and value); answers the next cursor, 0
// after the last entry.
uint64_t MapIterate(BDS* ctx, ArrayHeader* map, uint64_t cursor, const char** key, ArrayElement** value);

// ---- diagnostic routines
// The structure stack as text (one line per frame from the bottom, "\r\n" or "\n" between),
// a heap string in `out`; answers the depth.
int StructureStackText(BDS* ctx, resultants* out, bool padded, bool crlf);
