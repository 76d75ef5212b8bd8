// Rebuilding arrays in new blocks: the walk that puts the new block in place of the old
// one wherever a reference is held (every scope's variables, the argument values of the
// running user-defined functions, elements and map values of every reachable array),
// re-dimensioning, and the store-back of a rebuilt array into its argument's variable.
#pragma once

#include <cstdint>

#include "engine/data/array.h"

struct BDS;

// Puts `replacement` (null to clear) in place of every reference to `old`: variables of
// all scopes, argument values of running user-defined functions, and elements and map
// values of every block reachable from those, from `old` and from `extraRoot`. Reachable
// blocks are gathered first, so a failure (1588) changes nothing. Answers 1 or 0.
int ReplaceArrayReferences(BDS* ctx, ArrayHeader* old, ArrayHeader* replacement,
                           ArrayHeader* extraRoot);

// A rebuild in progress: the old block, the new one, and the blocks gathered for the
// reference walk.
struct ArrayRebuild {
    ArrayHeader* old;
    ArrayHeader* fresh;
    struct BlockSet* blocks;
    // Every element of the old block went to the new one as it stands (copied whole, not
    // cleared): the old block is neither walked nor released element by element again.
    bool oldMovedWhole;
};

// Gathers the blocks reachable from every holder (before any element moves), and from
// the new block's values when it already holds some. 1, or 0 with 1588; on failure the new
// block is freed and nothing changed.
int ArrayRebuildBegin(BDS* ctx, ArrayRebuild* rebuild, ArrayHeader* old, ArrayHeader* fresh,
                      bool freshHoldsValues);
// After the elements moved: references replaced, the holder count and the identity stamp
// moved to the new block, the elements left behind in the old block released, the old
// block freed; `holder` (a value record or element) gets the new block.
void ArrayRebuildFinish(BDS* ctx, ArrayRebuild* rebuild, ValueHead* holder);

// Re-dimensions the array that `holder` refers to: `given` sizes (-1 keeps a dimension's
// size), elements kept by subscripts, references replaced. A growable one-dimension array
// that grows within its spare slots keeps its block; a one-dimension array lengthened in a
// new block gets spare room in proportion to its length, so that growth a little at a time
// costs a constant per element. `growable` asks for spare slots in a new block (the
// evaluator's growth). Answers 1, or 0 with the error (1637 and the errors of
// CreateMyArray, 1588).
int ArrayRedimension(BDS* ctx, ValueHead* holder, const int32_t sizes[MAX_ARRAY_DIMS], int given,
                     bool growable);

// When the built-in's array argument came from a variable that no longer marks the array
// (STORE_UNLESS_ARRAY: its flags lack VF_ARRAY; STORE_IF_COM: they hold VF_VARIANT or
// VF_COMOBJ), the variable is made a holder of `array`. Answers 1, or 0 with 3815/3816.
enum StoreBackRule { STORE_UNLESS_ARRAY, STORE_IF_COM };
int StoreArrayBack(BDS* ctx, const resultants* argument, ArrayHeader* array, StoreBackRule rule);
