// Collections walked one element at a time: COM objects through their IEnumVARIANT,
// SAFEARRAYs, script arrays and maps, and item lists by the caller's position word; the
// ObjectCollection built-ins and the ForEach step use them.
#pragma once

#include "engine/com/com_value.h"
#include "engine/core/builtin.h"

// The next element of a collection into `out`: 1 delivered; 0 at the end or with the error
// set. A COM object's enumerator is made on its first step (`*made` then 1; 1690 when it
// has none). The position word (null: the caller keeps none) walks the other kinds:
// - a SAFEARRAY: the index of the next element, 0 at the start (none kept: 1690);
// - a script array: the index of the next element, -1 at the start, 0 when walked (none
//   kept, or no block: 1637); a map likewise gives its keys, the word naming a place in
//   the map's chains;
// - an item list (text, also a COM text): the number of items delivered, 0 at the start,
//   0xFFFFFFFF and above when walked; items split at `delimiter` (0: the tab); none kept: 1690.
//   A COM text's walk reads on where `items` (when given) says the last item ended.
// Any other value: 1690.
int CollectionNext(BDS* ctx, const ValueHead& collection, CResultVar& out, bool* made, int64_t* position,
                   char delimiter, ItemCursor* items = nullptr);
// Puts a walk back to its start: a COM object's enumerator, a SAFEARRAY's or a script
// array's or map's position word. 1 when the kind has a start to go back to; an item list
// and an object without enumerator answer 0 and keep the position.
int CollectionReset(const ValueHead& collection, int64_t* position);

void CollectionOpenCase(BDS* ctx, BuiltinCall& call);
void CollectionNextCase(BDS* ctx, BuiltinCall& call);
void CollectionCloseCase(BDS* ctx, BuiltinCall& call);
