// Member-access expressions: obj.A.B(x) read from the object text and the script line,
// evaluated left to right by late-bound IDispatch calls.
#pragma once

#include "engine/com/com_value.h"
#include "engine/core/context.h"

// The router's entry for an object expression (keyword 34): `text` is the dotted name;
// the parse position stands behind it. The answer lands in `result`.
void DoOleObject(BDS* ctx, const char* text, resultants* result);
