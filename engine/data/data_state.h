// Binary buffers and other data built-in state kept in the context.
#pragma once

#include <windows.h>
#include <cstdint>

constexpr int MAX_BINARY_BUFFERS = 128;
constexpr uint32_t BINARY_HANDLE_BASE = 987659;

struct BinaryBufferSlot {
    HGLOBAL hMem;
    uint8_t* data;
    uint64_t size;
    uint64_t eod;
};

struct DataState {
    BinaryBufferSlot buffers[MAX_BINARY_BUFFERS];
};
