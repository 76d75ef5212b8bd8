// The built-in router: converts a call's arguments by the keyword's signature, sends the
// call by keyword id to its case, to a user-defined function or to the host, and tidies
// the result.
#pragma once

#include <cstdint>

#include "engine/core/context.h"

// Converts the arguments (args[1..argc]; args[0] is not an argument) and runs the function.
// Answers 0, or the error number it leaves in ctx->nErrorCode for a failed conversion or a
// pending floating-point error; an error set by the function itself stays in the context.
// With noConversion set the function reads its own arguments from the line (argc is 0).
int CallBuiltinFunction(BDS* ctx, const char* functionText, uint32_t id, resultants* result,
                        resultants* args, int noConversion, int argc, uint64_t signature);

// Appends "Argument number N could not be converted" to the extended error text.
void NoteUnconvertedArgument(BDS* ctx, int argument);

// Makes a 64-bit integer result a 32-bit one when it fits, else marks it VF_INT64 alone.
void NarrowInt64Result(resultants* result);

// Unicode mode: the engine works with the wide system functions (the set-up's flag, which
// it turns on for the NT family).
bool IsUnicodeMode();
void SetUnicodeMode(bool on);
