// The per-process script permutation: built once from the C runtime's generator.
#include "engine/core/script_permutation.h"

#include <cstdlib>

ScriptPermutation g_ScriptPermutation;

void BuildScriptPermutation()
{
    ScriptPermutation& p = g_ScriptPermutation;
    if (p.built)
        return;
    for (int v = 0; v < 256; ++v)
        p.inverse[v] = 255;
    for (int i = 0; i < 256; ++i) {
        int r = std::rand() % (256 - i);
        // The r-th byte value (from 0) still free: an inverse entry of 255 marks a free
        // value, as only the last step (i = 255) ever stores 255 there.
        int value = -1;
        for (int v = 0, seen = 0; v < 256; ++v) {
            if (p.inverse[v] != 255)
                continue;
            if (seen++ == r) {
                value = v;
                break;
            }
        }
        if (value < 0)
            value = 255;
        p.forward[i] = static_cast<uint8_t>(value);
        p.inverse[value] = static_cast<uint8_t>(i);
    }
    p.built = 1;
}
