// Keyword records: the static table of the language, the host's table and the add-on table
// share one 56-byte layout.
#pragma once

#include <cstdint>

enum KeywordType : uint32_t {
    KT_OPERATOR = 0,
    KT_UNARY = 1,
    KT_FUNCTION = 2,
    KT_CONSTANT = 3,
    KT_STATEMENT = 4,
    KT_COMPARISON = 5,
    KT_SPECIAL = 6,
    KT_FLOW = 8,
    KT_COMMAND = 9,     // a host command (cout, cin) or a user-defined command
};

// The conversion the router applies to an argument (one nibble per argument).
enum ArgType : uint32_t {
    AT_INT = 0,
    AT_STRING = 1,
    AT_FLOAT = 2,
    AT_ARRAY = 3,
    AT_VARIANT = 4,
    AT_WSTRING = 5,
    AT_STRING_ANY = 6,
    AT_STRING_MODE = 7,
    AT_STRING_BOTH = 8,
    AT_INT_WIDE = 9,
    AT_INT64 = 10,
    AT_ANY = 15,
};

enum TokenKind : uint8_t {
    TK_END = 0,
    TK_KEYWORD = 1,
    TK_NAME = 2,
    TK_INTEGER = 3,
    TK_STRING = 4,
    TK_FLOAT = 5,
    TK_DOLLARQUOTE = 6,
};

constexpr uint32_t NKEYTOKENS = 809;
constexpr uint32_t PARENTSTART = 1000;   // host functions 1000-1998
constexpr uint32_t UDFSTART = 4000;      // user-defined functions 4000-4998
constexpr uint32_t ADDONSTART = 10000;   // add-on functions 10000-10750
constexpr uint32_t ADDON_COUNT = 751;

struct KeywordRecord {
    uint32_t id;          // static table: its position
    uint32_t type;        // KeywordType
    uint64_t signature;   // functions: sixteen 4-bit ArgType codes, argument 1 lowest
    uint32_t arity;       // functions: required (byte 0, 255 = any), optional (byte 1); constants: value
    uint16_t nameLength;  // 0 ends a host table
    char name[34];        // lower case, NUL-padded
};
static_assert(sizeof(KeywordRecord) == 56);

// The static keyword table, sorted by name in byte order; id = position.
extern const KeywordRecord g_KeywordTable[NKEYTOKENS];

inline uint32_t ArgTypeOf(uint64_t signature, int argument)   // argument counts from 1
{
    return static_cast<uint32_t>((signature >> (4 * (argument - 1))) & 0xF);
}
