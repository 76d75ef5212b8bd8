// TEMPORARY stand-in for the tokenizer and the evaluator, so the engine links before the
// real ones are merged: every statement fails with 3046. Delete this file when they land.
#include "engine/core/evaluator.h"
#include "engine/core/multiline.h"
#include "engine/core/tokenizer.h"

extern "C" int get_token(BDS* ctx)
{
    ctx->nTokenKind = TK_END;
    SetError(ctx, 3046);
    return 3046;
}
extern "C" void putback(BDS*) {}
extern "C" uint32_t get_string_token(BDS* ctx)
{
    SetError(ctx, 3046);
    return 3046;
}
uint16_t FindVarIndex(BDS*, const char*) { return VAR_NOT_FOUND; }
int ValueToDisplayText(BDS*, const char*, char* buffer, size_t size)
{
    if (size)
        buffer[0] = 0;
    return 0;
}
uint32_t KeywordTypeOf(BDS*, uint32_t) { return 0xFFFFFFFF; }
extern "C" int ProcessSubExpression(BDS* ctx, resultants*, int, int, RunSite*)
{
    SetError(ctx, 3046);
    return 0;
}
void ParseLogicalExpr(BDS* ctx, resultants*) { SetError(ctx, 3046); }
int ParseMultilineString(BDS* ctx, resultants*, RunSite*)
{
    SetError(ctx, 3046);
    return 0;
}
int FindMultilineMarker(BDS*) { return 0; }
