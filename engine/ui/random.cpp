// Random(max): a pseudo-random integer from 0 to max, drawn from the runtime library's
// generator (seeded at engine set-up and by IntControl 81/82).
#include <cstdlib>

#include "engine/core/builtin.h"
#include "engine/core/context.h"

// Three draws of 15 bits make a 45-bit number, so large maxima are reached evenly enough.
int32_t DoRandom(int32_t max)
{
    if (max < 1)
        return 0;
    uint64_t bits = static_cast<uint64_t>(std::rand() & 0x7FFF);
    bits |= static_cast<uint64_t>(std::rand() & 0x7FFF) << 15;
    bits |= static_cast<uint64_t>(std::rand() & 0x7FFF) << 30;
    return static_cast<int32_t>(bits % (static_cast<uint64_t>(max) + 1));
}

namespace {

void CaseRandom(BDS* ctx, BuiltinCall& call) { SetResultInt(ctx, call.result, DoRandom(ArgInt(call, 1))); }

const BuiltinRow kRows[] = {
    {619, CaseRandom},
};

}  // namespace

extern const BuiltinFamily g_RandomBuiltins = {"random", kRows, static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
