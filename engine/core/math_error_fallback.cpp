// TEMPORARY stand-in for the pending floating-point error, so float conversions can
// report it before the operators are merged. Delete this file when the operators' own
// definition of nPendingMathError lands.
#include "engine/core/value.h"

uint32_t nPendingMathError;
