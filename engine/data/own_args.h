// Reading the argument list of a built-in that evaluates its own arguments (StrCat,
// Average, Max, Min): the router hands such a call over with the `(` after the name as
// the current token, and the built-in leaves the `)` as the current token.
#pragma once

#include <cstdint>

#include "engine/core/context.h"

enum OwnArgStep {
    OWN_ARG_MORE,    // a `,` followed: the next argument is the current token
    OWN_ARG_LAST,    // the `)` followed: it is the current token
    OWN_ARG_FAILED,  // the error is in ctx->nErrorCode
};

// Reads the token after the `(`. Answers true when the list is empty (the `)` is now the
// current token) or on error (test ctx->nErrorCode).
bool OwnArgsEmpty(BDS* ctx);

// Evaluates the argument at the current token into `value` (initialised here; the caller
// releases it with ReleaseOwnArg, also on failure). Any token other than `,` or `)` after
// it sets syntaxError.
OwnArgStep ReadOwnArg(BDS* ctx, resultants* value, uint16_t syntaxError);

// Releases an argument as the evaluator releases its temporaries: an array that the record
// only borrows from a variable stays with the variable.
void ReleaseOwnArg(BDS* ctx, resultants* value);
