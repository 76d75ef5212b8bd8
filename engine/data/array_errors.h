// Error numbers of the array, map, search, text and file built-ins (private to the files
// of engine/data that implement them).
#pragma once

#include <cstdint>

enum : uint16_t {
    ERR_ARRAY_NO_MEMORY = 1588,       // "Unable to allocate or lock memory"
    ERR_ARRAY_BAD_DIMENSION = 1628,
    ERR_ARRAY_ZERO_DIMENSION = 1630,
    ERR_ARRAY_ALLOC = 1631,
    ERR_ARRAY_NEEDS_DIMS = 1632,      // "Array variable must include dimensions"
    ERR_ARRAY_BOUNDS = 1636,
    ERR_ARRAY_ACCESS = 1637,
    ERR_ARRAY_UNINIT_ELEMENT = 1640,
    ERR_ARRAY_NOT_ARRAY = 1641,
    ERR_ARRINFO_REQUEST = 1642,
    ERR_ARRAY_TOO_LARGE = 1644,
    ERR_ARRINIT_TYPE = 1671,
    ERR_ARRAY_DELIMITER = 1705,       // "Invalid delimiter (must be a single character)"
    ERR_ARRAY_EMPTY = 1710,
    ERR_ARRAY_DIM_COUNT = 1805,
    ERR_ARRAY_ROW_COLUMN = 1833,
    ERR_ARRAY_DIMENSION_RANGE = 1853,
    ERR_ARRAY_NOT_STRING = 3056,
    ERR_ARRAY_HEAP_FULL = 3096,
    ERR_ARRAY_POINTER_SCOPE = 3815,
    ERR_ARRAY_POINTER_TABLE = 3816,
};
