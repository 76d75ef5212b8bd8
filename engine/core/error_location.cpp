// Where the failing statement lies. A plain form until the script reader can count lines
// in its buffers: the position is reported unknown, so the box names the source file only.
#include "engine/core/error_location.h"

#include "engine/core/context.h"

bool LocateErrorStatement(BDS* ctx, ErrorLocation* where)
{
    where->line = 0;
    where->marker = false;
    where->markerFlag = 0;
    lstrcpynA(where->file, ctx->szSourceFile, sizeof where->file);
    return false;
}
