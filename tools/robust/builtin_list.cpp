// Lists the built-ins that the dispatch table serves, one line each, for the robustness
// sweep (tools/robust/sweep.py), so a family that lands later is swept without a change:
//
//   <id> <name> <type> <required> <optional> <codes>
//
// type is "function" or "special" (a built-in that takes a variable name); required 255 is
// a function that reads its own argument list; codes holds one hex digit per argument (the
// router's conversion of it), "-" when there is none.
#include <cstdio>

#include "engine/core/builtin.h"
#include "engine/core/keyword.h"

int main()
{
    const BuiltinCase* table = BuiltinCaseTable();
    for (uint32_t id = 0; id < NKEYTOKENS; ++id) {
        const KeywordRecord& k = g_KeywordTable[id];
        if (!table[id] || (k.type != KT_FUNCTION && k.type != KT_SPECIAL))
            continue;
        unsigned required = k.arity & 0xFF, optional = (k.arity >> 8) & 0xFF;
        char codes[17] = "-";
        unsigned count = required == 255 ? 0 : required + optional;
        for (unsigned i = 0; i < count && i < 16; ++i)
            codes[i] = "0123456789abcdef"[ArgTypeOf(k.signature, static_cast<int>(i + 1))];
        if (count)
            codes[count < 16 ? count : 16] = 0;
        std::printf("%u %s %s %u %u %s\n", id, k.name, k.type == KT_SPECIAL ? "special" : "function",
                    required, optional, codes);
    }
    return 0;
}
