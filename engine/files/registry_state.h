// Per-context state of the registry built-ins: the table of key views.
#pragma once

#include <cstdint>

// One key opened from a key with a recorded view, and that view (1, 2, 32 or 64).
// A slot whose handle is 0 is free.
struct OpenKeyEntry {
    uint32_t view;
    uint64_t handle;
};

// The table's header; header and entries are committed virtual memory (registry_keys.cpp).
struct OpenKeyTableHeader {
    uint32_t capacity;
    uint32_t count;          // slots in use up to and including the last one taken
    OpenKeyEntry* entries;
};

struct RegistryState {
    OpenKeyTableHeader* OpenKeyTable;   // null until the first key is recorded
};
