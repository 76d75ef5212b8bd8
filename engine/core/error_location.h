// Where the failing statement lies: its line number and source file, for the error box.
#pragma once

#include <windows.h>
#include <cstdint>

struct BDS;

struct ErrorLocation {
    uint32_t line;           // 0: unknown
    bool marker;             // a source-position marker lies before the line
    uint32_t markerFlag;     // that marker's flag value (0: "Near line", else "On line")
    char file[MAX_PATH];     // the source file the line lies in
};

// Fills `where` for the current statement (ctx->nErrorOffset in ctx->hCurrentScript);
// answers false when the position is unknown.
bool LocateErrorStatement(BDS* ctx, ErrorLocation* where);
