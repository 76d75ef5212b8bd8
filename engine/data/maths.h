// The one-argument maths functions (Acos ... Tanh) and the list statistics Average, Max
// and Min.
#pragma once

#include <cstdint>

#include "engine/core/builtin.h"
#include "engine/core/context.h"

// The maths function of keyword `id` applied to x. Domain errors, poles and overflow are
// classified here, never left to the C runtime: the answer is then 1.0 and *error holds
// 1341, 1344 or 1342; a result that underflows is kept without an error; a NaN result
// gives 1599. *error is 0 when all went well. An id that is no maths function gives NaN.
double MathFunctionValue(uint32_t id, double x, uint16_t* error);

// The built-in: the result is the float of MathFunctionValue; its error goes to the
// context.
void DoMathFunction(BDS* ctx, uint32_t id, double x, resultants* result);

// Average, Max or Min (by keyword id) over the expressions of its argument list, which it
// reads itself: the current token is the `(` after the name on entry and the `)` after.
// An empty list or a token other than `,` or `)` after an argument sets 2060; an argument
// that is no number sets 3057.
void DoAverageMaxMin(BDS* ctx, uint32_t id, resultants* result);

// The family of these built-ins.
extern const BuiltinFamily g_MathBuiltins;
