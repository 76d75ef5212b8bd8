// Binary buffers and other data built-in state kept in the context.
#pragma once

#include <windows.h>
#include <cstdint>

constexpr int MAX_BINARY_BUFFERS = 128;
constexpr uint32_t BINARY_HANDLE_BASE = 987659;

// One binary buffer (engine/data/binary_buffer.h holds the rules every user keeps).
struct BinaryBufferSlot {
    HGLOBAL hMem;            // non-null: the slot is in use
    uint8_t* data;           // hMem, locked for the whole life of the buffer
    int64_t size;            // capacity in bytes, fixed at allocation
    int64_t eod;             // end of data: 0 <= eod <= size
    uint32_t oleType;        // 0 none, else 1 to 11
    uint32_t oleDirection;   // 1 in, 2 out, 3 both (meaningful only with a type)
    uint32_t structUses;     // DllStruct records laid over the buffer
};

// The bound entry points of the system's CNG library (bcrypt), kept for the life of the
// context once all of them were found (engine/data/cng_hash.h).
struct CngBinding {
    HMODULE module;          // null until bound
    FARPROC entries[8];
};

struct DataState {
    BinaryBufferSlot buffers[MAX_BINARY_BUFFERS];
    CngBinding cng;
};
