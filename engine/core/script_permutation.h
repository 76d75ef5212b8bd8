// The per-process byte permutation with which script buffers are kept scrambled in memory.
#pragma once

#include <cstdint>

// P (byte value -> stored byte) and its inverse. Built once per process from the C
// runtime's generator after DoDuRavInit operation 1 has seeded it.
struct ScriptPermutation {
    uint8_t forward[256];
    uint8_t inverse[256];
    uint32_t built;         // non-zero once the tables hold a permutation
};

extern ScriptPermutation g_ScriptPermutation;

// Builds the tables unless they are already built (the first call of the process wins).
void BuildScriptPermutation();

// The byte b at position pos is stored as P[b] XOR (pos mod 256).
inline uint8_t ScrambleByte(uint8_t b, uint32_t pos)
{
    return static_cast<uint8_t>(g_ScriptPermutation.forward[b] ^ static_cast<uint8_t>(pos));
}

// A stored byte reads back through the key: the low byte of the running body's start
// offset inside a user-defined function's copy, else 0.
inline uint8_t UnscrambleByte(uint8_t s, uint32_t pos, uint8_t key)
{
    return g_ScriptPermutation.inverse[static_cast<uint8_t>(s ^ static_cast<uint8_t>(pos + key))];
}
