// Where the failing statement lies, for the error box: its line number and source file,
// read from the source-position marker lines of the script buffer that holds it.
#include "engine/core/error_location.h"

#include "engine/core/context.h"
#include "engine/core/statement.h"

bool LocateErrorStatement(BDS* ctx, ErrorLocation* where)
{
    where->line = 0;
    where->marker = false;
    where->markerFlag = 0;
    lstrcpynA(where->file, ctx->szSourceFile, sizeof where->file);
    if (ctx->nErrorOffset == 0xFFFFFFFF || !ctx->hCurrentScript)
        return false;
    ScriptLocation at{};
    if (!LocateScriptLine(ctx, ctx->hCurrentScript, ctx->nErrorOffset, &at, nullptr, 0))
        return false;
    where->line = at.line;
    where->marker = at.markerFlag >= 0;
    where->markerFlag = at.markerFlag >= 0 ? static_cast<uint32_t>(at.markerFlag) : 0;
    if (where->marker)
        lstrcpynA(where->file, at.file, sizeof where->file);
    return true;
}
