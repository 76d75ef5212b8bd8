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
    const char* name;
    const BuiltinRow* rows;
    int count;
};

// The families gathered into the case table (for the check of the served ids).
const BuiltinFamily* const* BuiltinFamilies(int* count);

// Puts another case in an id's place and answers the one it replaces (tests use it to
// watch what the router hands a case).
BuiltinCase ReplaceBuiltinCase(uint32_t id, BuiltinCase run);

// ---------------------------------------------------------------- reading arguments
// The router has converted each argument by its code; an omitted optional argument reads
// as the default given.

inline bool HasArg(const BuiltinCall& call, int i) { return i >= 1 && i <= call.argc; }

inline int32_t ArgInt(const BuiltinCall& call, int i, int32_t absent = 0)
{
    return HasArg(call, i) ? call.args[i].i32 : absent;
}

// A 64-bit argument (code 9 or 10): the 64-bit form when it has one, else the integer.
inline int64_t ArgInt64(const BuiltinCall& call, int i, int64_t absent = 0)
{
    if (!HasArg(call, i))
        return absent;
    const resultants& arg = call.args[i];
    return (arg.flags & VF_INT64) ? arg.i64 : arg.i32;
}

inline double ArgFloat(const BuiltinCall& call, int i, double absent = 0.0)
{
    return HasArg(call, i) ? call.args[i].dbl : absent;
}

// The narrow or wide text of an argument; "" when it is absent or has no such form.
inline const char* ArgText(BDS* ctx, const BuiltinCall& call, int i)
{
    return HasArg(call, i) ? ValueText(ctx, &call.args[i]) : "";
}

inline const wchar_t* ArgWText(BDS* ctx, const BuiltinCall& call, int i)
{
    return HasArg(call, i) ? ValueWText(ctx, &call.args[i]) : L"";
}

// The wide text of an argument, converted in place when the router left it narrow; null
// with the error (3820 "Variable could not be converted to Unicode", or 3096) when it cannot
// be. "" when the argument is absent.
const wchar_t* ArgWTextConverted(BDS* ctx, BuiltinCall& call, int i);

// The built-ins that exist only in their wide form: outside Unicode mode they end in 1193
// "Function not supported in this version of Windows". Answers whether the case may go on.
bool WideFormAvailable(BDS* ctx);

// Whether an argument of code 6, 7 or 8 was converted to wide text (the rule by which the
// case picks the wide handler of a pair).
bool ArgIsWide(const BuiltinCall& call, int i);
