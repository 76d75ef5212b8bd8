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
    AT_INT_WIDE = 9,   // an integer that widens to 64 bits when it does not fit
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

// Ids of the static keywords that the evaluator and the statement executor test for.
enum KeywordId : uint16_t {
    KID_NOT = 0, KID_NE = 1, KID_AMP = 2, KID_ANDAND = 3, KID_AND_ASSIGN = 4,
    KID_LPAREN = 5, KID_RPAREN = 6, KID_STAR = 7, KID_POWER = 8, KID_MUL_ASSIGN = 9,
    KID_PLUS = 10, KID_ADD_ASSIGN = 11, KID_COMMA = 12, KID_MINUS = 13, KID_SUB_ASSIGN = 14,
    KID_SLASH = 15, KID_DIV_ASSIGN = 16, KID_COLON = 17, KID_DOUBLE_COLON = 18,
    KID_CAT_ASSIGN = 19, KID_LT = 20, KID_SHL = 21, KID_SHL_ASSIGN = 22, KID_LE = 23,
    KID_LTGT = 24, KID_ASSIGN = 25, KID_EQ = 26, KID_GT = 27, KID_GE = 28, KID_SHR = 29,
    KID_SHR_ASSIGN = 30, KID_DDESERVER = 31, KID_GETVIAPOINTER = 32, KID_MAKEPOINTER = 33,
    KID_OLEOBJECT = 34, KID_SETVIAPOINTER = 35,
    KID_LBRACKET = 250, KID_RBRACKET = 251, KID_XOR = 252, KID_XOR_ASSIGN = 253,
    KID_BEEP = 294, KID_BREAK = 352, KID_BY = 354, KID_CASE = 356, KID_CONTINUE = 374,
    KID_DROP = 435, KID_ELSE = 437, KID_ELSEIF = 438, KID_END = 439, KID_ENDFOR = 440,
    KID_ENDIF = 441, KID_ENDSELECT = 442, KID_ENDSWITCH = 444, KID_ENDWHILE = 445,
    KID_EXECUTE = 452, KID_EXIT = 454, KID_FOR = 510, KID_FOREACH = 511, KID_GOSUB = 516,
    KID_GOTO = 517, KID_IF = 522, KID_ISDEFINED = 536, KID_RESERVED = 540, KID_MOD = 571,
    KID_MOD_ASSIGN = 572, KID_NEXT = 581, KID_OBJECTTYPEGET = 600, KID_PTRGLOBAL = 615,
    KID_PTRGLOBALDEFINE = 616, KID_PTRGLOBALTEST = 617, KID_PTRPERSISTENT = 618,
    KID_RETURN = 655, KID_SELECT = 669, KID_SWITCH = 722, KID_THEN = 731, KID_TO = 746,
    KID_VARTYPE = 751, KID_WHILE = 757, KID_YIELD = 803, KID_BAR = 805, KID_OR_ASSIGN = 806,
    KID_OROR = 807, KID_TILDE = 808,
};
constexpr uint16_t KID_NONE = 9999;      // inside the lookup: no keyword
constexpr uint16_t KID_BARE_WORD = 65535; // a word read by get_string_token

struct KeywordRecord {
    uint32_t id;          // static table: its position
    uint32_t type;        // KeywordType
    uint64_t signature;   // functions: sixteen 4-bit ArgType codes, argument 1 lowest
    uint32_t arity;       // functions: required (byte 0, 255 = any), optional (byte 1); constants: value
    uint16_t nameLength;  // 0 ends a host table
    char name[34];        // lower case, NUL-padded
};
static_assert(sizeof(KeywordRecord) == 56);

// The static keyword table, sorted by name in byte order; id = position. Position 540
// (KID_RESERVED) is a placeholder that no lookup can reach.
// Not const: a host may switch keywords off for its product (DLLServices request 24).
extern KeywordRecord g_KeywordTable[NKEYTOKENS];

inline uint32_t ArgTypeOf(uint64_t signature, int argument)   // argument counts from 1
{
    return static_cast<uint32_t>((signature >> (4 * (argument - 1))) & 0xF);
}
