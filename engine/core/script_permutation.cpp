// The per-process script permutation, built once from the C runtime's generator.
#include "engine/core/script_permutation.h"

#include <cstdlib>

ScriptPermutation g_ScriptPermutation;

// P[i] is the r-th byte value (counting from 0) not yet taken, r = rand() mod (256 - i);
// an inverse entry of 255 marks a value not yet taken.
void BuildScriptPermutation()
{
    ScriptPermutation& p = g_ScriptPermutation;
    if (p.built)
        return;
    for (int v = 0; v < 256; ++v)
        p.inverse[v] = 255;
    for (int i = 0; i < 256; ++i) {
        int r = std::rand() % (256 - i);
        int value = 255;
        for (int v = 0, free = 0; v < 256; ++v) {
            if (p.inverse[v] != 255)
                continue;
            if (free++ == r) {
                value = v;
                break;
            }
        }
        p.forward[i] = static_cast<uint8_t>(value);
        p.inverse[value] = static_cast<uint8_t>(i);
    }
    p.built = 1;
}
