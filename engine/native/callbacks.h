// What the interpreter core tells the callback layer: a user-defined function that
// callbacks may name was removed.
#pragma once

#include <cstdint>

struct BDS;

// The function of index `index` (id 4000 + index) was removed and the functions after it
// moved down one place: callbacks that named it are destroyed, the others follow their
// function.
void CallbacksFollowDroppedFunction(BDS* ctx, uint32_t index);
