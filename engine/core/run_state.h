// Records of the run loop: the structure stack, the variable scopes and the
// user-defined functions.
#pragma once

#include <windows.h>
#include <cstdint>

// One frame of the structure stack (if, while, for, foreach, switch, select, gosub,
// user-function and Call frames).
struct StructFrame {
    uint16_t kind;          // keyword id of the structure, 29500 for a user-function call
    uint8_t skip;           // non-zero while the code of this frame is being skipped
    uint8_t done;           // a branch of this structure has already run
    uint32_t lineOffset;    // offset of the structure's first line in its script buffer
    uint32_t data[6];       // per-kind words
};

// One of the 101 variable scopes; slot 0 is the main script.
struct ScopeSlot {
    uint16_t slot;
    HGLOBAL hTable;         // null: the slot is free
    uint32_t serial;
    uint32_t tick;
    uint16_t capacity;
    uint16_t used;
    uint16_t owner;
    uint16_t lastAssigned;  // index of the variable last assigned
};

// One defined user-defined function (id 4000 + index).
struct UdfRecord {
    char name[32];
    uint32_t kind;
};

// Run-loop state kept in the context beyond the shared fields.
struct RunState {
    uint32_t reserved;
};
