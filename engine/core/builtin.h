// The contract between the built-in router and the families of built-in functions.
//
// The router converts the arguments by the keyword's signature and hands the call to the
// case registered for the keyword id. A case reads its arguments (supplying the defaults of
// omitted optional ones), calls the family's handler and leaves the outcome in the result
// record or in ctx->nErrorCode. Each family registers its cases in its own file.
#pragma once

#include <cstdint>

#include "engine/core/context.h"

struct BuiltinCall {
    uint32_t id;               // keyword id
    int argc;                  // arguments given
    resultants* args;          // args[1..argc]; args[0] is not an argument
    resultants* result;        // owned by the caller
    bool wide;                 // the call is wide (a wide text argument of code 6/8)
    uint64_t signature;
    const char* functionText;  // token text of the call
};

using BuiltinCase = void (*)(BDS* ctx, BuiltinCall& call);

struct BuiltinRow {
    uint16_t id;
    BuiltinCase run;
};

// The cases of all families, indexed by keyword id (null: not served, error 3046).
const BuiltinCase* BuiltinCaseTable();

// Each family lists its rows; builtin_table.cpp gathers them.
struct BuiltinFamily {
    const BuiltinRow* rows;
    int count;
};
