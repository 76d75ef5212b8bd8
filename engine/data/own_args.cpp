// The argument lists that built-ins read themselves.
#include "engine/data/own_args.h"

#include "engine/core/evaluator.h"
#include "engine/core/keyword.h"
#include "engine/core/tokenizer.h"

namespace {

bool AtKeyword(const BDS* ctx, uint16_t id)
{
    return ctx->nTokenKind == TK_KEYWORD && ctx->delim_type == id;
}

}  // namespace

bool OwnArgsEmpty(BDS* ctx)
{
    get_token(ctx);
    return ctx->nErrorCode || AtKeyword(ctx, KID_RPAREN);
}

OwnArgStep ReadOwnArg(BDS* ctx, resultants* value, uint16_t syntaxError)
{
    InitResultValue(ctx, value, VK_RECORD, 0);
    ProcessSubExpression(ctx, value, 0, 0, nullptr);
    if (ctx->nErrorCode) return OWN_ARG_FAILED;
    if (AtKeyword(ctx, KID_RPAREN)) return OWN_ARG_LAST;
    if (!AtKeyword(ctx, KID_COMMA)) {
        SetError(ctx, syntaxError);
        return OWN_ARG_FAILED;
    }
    get_token(ctx);
    return ctx->nErrorCode ? OWN_ARG_FAILED : OWN_ARG_MORE;
}

void ReleaseOwnArg(BDS* ctx, resultants* value)
{
    bool borrowed = value->originVar != ORIGIN_NONE;
    FreeValue(ctx, value, 0, VK_RECORD | (borrowed ? VM_KEEP_ARRAY : 0));
}
