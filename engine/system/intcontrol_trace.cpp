// IntControl requests of the trace: 71 (dumps and the keyword-lookup option) and 77 (the
// engine's internal counters).
#include "engine/core/context.h"
#include "engine/core/trace.h"
#include "engine/core/trace_dumps.h"
#include "engine/system/intcontrol.h"

namespace {

constexpr uint16_t ERR_BAD_INFO_REQUEST = 1622;   // "IntControl 77: Invalid request"

// 71: p1 1 the keyword-table dump, 3 the variable dump (while the trace is on); 2 sets (p2
// 1) or clears (p2 0) the keyword-lookup option.
void TraceDumps(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    switch (r.p[1]) {
    case 1:
        IntControlAnswer(ctx, result, DumpFunctionTable(ctx, false));
        return;
    case 3:
        IntControlAnswer(ctx, result, DumpVariableTable(ctx, false));
        return;
    case 2:
        if (r.p[2] == 1)
            ctx->eng.ctl.TraceOptions |= TRACE_OPT_KEYWORDS;
        else if (r.p[2] == 0)
            ctx->eng.ctl.TraceOptions &= ~TRACE_OPT_KEYWORDS;
        IntControlAnswer(ctx, result, r.p[2] == 0 || r.p[2] == 1);
        return;
    default:
        IntControlAnswer(ctx, result, 0);
        return;
    }
}

// 77: p1 the counter's code, p2 its parameter; a list answers its tab-separated text.
void InternalCounters(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    if (r.p[1] < 0) {
        SetError(ctx, ERR_BAD_INFO_REQUEST);
        return;
    }
    int64_t count = InternalInfo(ctx, result, r.p[1], r.p[2], false);
    if (!ctx->nErrorCode && !InternalInfoIsList(r.p[1]))
        IntControlAnswer(ctx, result, count);
}

const IntControlRow kRows[] = {
    {71, TraceDumps},
    {77, InternalCounters},
};

}  // namespace

extern const IntControlFamily g_IntControlTrace = {"trace", kRows, static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
