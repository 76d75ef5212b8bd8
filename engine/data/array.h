// Array blocks: the header, creation, element addressing and the shared lifetime of an
// array or map block.
//
// An array is one movable memory block, locked for its whole life: the ArrayHeader,
// then the elements (56-byte value heads, row-major, the last subscript fastest).
// Values hold it by VF_ARRAY with the block's address in their `str` field.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/value.h"

struct BDS;

constexpr int MAX_ARRAY_DIMS = 5;

enum : uint8_t {
    ARRAY_GROWABLE = 0x1,   // one dimension with spare slots behind the elements
    ARRAY_MAP = 0x2,        // the block is a map; `data` addresses its table
};

struct ArrayHeader {
    uint32_t dims[MAX_ARRAY_DIMS];  // 0 beyond ndims
    uint8_t ndims;                  // 0: an empty array, no elements
    uint8_t flags;                  // ARRAY_GROWABLE, ARRAY_MAP
    uint16_t reserved;
    ArrayElement* data;             // element 0 (for a map: its table)
    uint32_t count;                 // elements in use (a map: its entries)
    uint32_t bytes;                 // size of the element area
    uint32_t capacity;              // element slots allocated
    // References to the block, counted here rather than in the memory block's lock
    // count (which stops at 255): 1 for the block's creation plus 1 for every holder
    // added since. 0 while the block is being destroyed.
    uint32_t refs;
    int64_t stamp;                  // identity: performance counter at first creation
};
static_assert(sizeof(ArrayHeader) == 56);

// Makes a new array in `value` (VF_ARRAY, the block). Only the first `given` sizes count.
// Answers 1 for an array with dimensions, 0 for an empty one, -1 on error (1628, 1630,
// 1631, 1644).
extern "C" int CreateMyArray(BDS* ctx, ValueHead* value, uint32_t d1, uint32_t d2,
                             uint32_t d3, uint32_t d4, uint32_t d5, uint32_t flags, int given);

// CreateMyArray with room asked for: a one-dimension array gets at least `room` spare slots
// (fewer where the size limit leaves fewer) and is growable when it has any. Nothing but
// the block's capacity shows the room.
int CreateArrayWithRoom(BDS* ctx, ValueHead* value, uint32_t d1, uint32_t d2, uint32_t d3,
                        uint32_t d4, uint32_t d5, uint32_t flags, int given, uint32_t room);

// The block a value holds, or null.
inline ArrayHeader* ValueArray(const ValueHead* value)
{
    return (value->flags & VF_ARRAY) ? reinterpret_cast<ArrayHeader*>(value->str) : nullptr;
}

// An ordinary array (not a map) whose elements can be addressed.
inline bool IsElementArray(const ArrayHeader* array)
{
    return array && !(array->flags & ARRAY_MAP) && array->data;
}

// Row-major index of the subscripts, in 32-bit arithmetic (the last subscript fastest).
uint32_t ArrayLinearIndex(const ArrayHeader* array, const uint32_t subscripts[MAX_ARRAY_DIMS]);
// The subscripts of a linear index (first dimension first; 0 beyond ndims).
void ArraySubscriptsOf(const ArrayHeader* array, uint32_t index, uint32_t subscripts[MAX_ARRAY_DIMS]);
// The element the subscripts name, or null when a subscript is not below its dimension's
// size (or the block is a map or has no elements).
ArrayElement* ArrayElementAt(ArrayHeader* array, const uint32_t subscripts[MAX_ARRAY_DIMS]);

// One more holder of the block.
void AddArrayRef(ArrayHeader* array);

// The holder whose block address is at `holder` lets go (the address becomes 0). While
// more than two references remain one is dropped; otherwise, or when forced, the block
// is destroyed: references to it in the current scope are cleared (a forced release
// clears them everywhere), its elements or map entries are released and the memory
// freed. Answers 1 when the array had dimensions, else 0.
int ReleaseArray(BDS* ctx, uint64_t* holder, int forced);

// Frees the memory of a block whose contents were released or moved elsewhere.
void FreeArrayBlock(ArrayHeader* array);

// ---------------------------------------------------------------- display and lookup

// The element that `text` names: comma-separated subscripts of at most 20 decimal digits
// each, blanks and tabs around them, exactly one per dimension and nothing after the last;
// null when the block is a map or has no elements, or the text does not name an element.
ArrayElement* ArrayElementOfText(ArrayHeader* array, const char* text);

// The element that `text` (as for ArrayElementOfText) names in the array held by variable `index` of `table`, written into buffer as text: narrow
// text as it is, numbers in decimal or the float text form, anything else empty. Answers
// 1, or 0 with an empty text (and no error) when the variable, the text or a subscript
// does not fit.
int ArrayElementFromText(BDS* ctx, const VariableEntry* table, uint32_t index, const char* text,
                         char* buffer, size_t size);

// 1 when the text (after blanks and tabs) is one or more bracketed subscript groups
// followed directly by a full stop; brackets inside quotes do not count.
int SubscriptLookAhead(const char* text);
