// Collections walked one element at a time: COM objects through their IEnumVARIANT,
// SAFEARRAYs by position; the ObjectCollection built-ins and the ForEach step use them.
#pragma once

#include "engine/com/com_value.h"
#include "engine/core/builtin.h"

// The next element of a COM object (its enumerator made on the first step) or a SAFEARRAY
// (at *position) into `out`. 1 delivered; 0 at the end or with the error set (1690).
int CollectionNext(BDS* ctx, const ValueHead& collection, CResultVar& out, int64_t* position);

void CollectionOpenCase(BDS* ctx, BuiltinCall& call);
void CollectionNextCase(BDS* ctx, BuiltinCall& call);
void CollectionCloseCase(BDS* ctx, BuiltinCall& call);
