// What the operators compute: binary arithmetic, bitwise and logical operators, the
// concatenation `:`, the unary operators and the comparisons with their type rules.
#pragma once

#include <cstdint>

#include "engine/core/context.h"

// Operator errors.
enum : uint16_t {
    ERR_FP_DOMAIN = 1341,
    ERR_FP_OVERFLOW = 1342,
    ERR_FP_PARTIAL_LOSS = 1343,
    ERR_FP_SINGULARITY = 1344,
    ERR_FP_TOTAL_LOSS = 1345,
    ERR_FP_UNDOCUMENTED = 1347,
    ERR_NEGATIVE_POWER = 1351,
    ERR_NOT_STRING = 3056,
    ERR_NOT_NUMBER = 3057,
    ERR_DIVIDE_BY_ZERO = 3062,
    ERR_BINARY_NOT_LEGAL = 3063,
    ERR_UNARY_NOT_LEGAL = 3064,
    ERR_BAD_AMPERSAND = 3818,
};

// The floating-point error noticed while a built-in or an operator runs (process-wide;
// scripts run on one thread). Every operator clears it before floating-point work and
// moves it into the context afterwards.
extern uint32_t nPendingMathError;

// left = left <op> right for && || ^ & | << >> + - * / mod ** and : (ids of the keyword
// table). The left record becomes a temporary holding the result; on failure nErrorCode
// is set and the left record may hold a partial form (the caller releases it).
void ApplyBinaryOperator(BDS* ctx, uint16_t op, resultants* left, resultants* right);

// The `:` operator: ANSI concatenation, wide when either side is wide text or a variant.
void ConcatValues(BDS* ctx, resultants* left, resultants* right);

// The text that a chain of `:` builds: its heap block has spare room and its length is
// known, so each further operand is appended in place instead of copying the whole text
// again. `offset` 0: the left operand is no such text.
struct ConcatRoom {
    uint64_t offset;
    uint64_t length;     // characters (wide: UTF-16 units), the NUL aside
    uint64_t capacity;   // characters that fit, the NUL included
    bool wide;
};

// ConcatValues for one step of a chain: the same result, errors and conversions.
void ConcatValuesInRoom(BDS* ctx, resultants* left, resultants* right, ConcatRoom* room);

// Ends a chain: the spare room of the text it built goes back to the heap.
void EndConcatRoom(BDS* ctx, resultants* left, ConcatRoom* room);

// ! + - ~ on a number (the record becomes a temporary holding the result).
void ApplyNumericUnary(BDS* ctx, uint16_t op, resultants* value);

// ! + - ~ on numbers; & (the pointer text of the record's variable) and * (the value of
// the variable a pointer text names; with subscripts following, that variable's element).
void ApplyUnaryOperator(BDS* ctx, uint16_t op, resultants* value);

// Compares left and right for == != <> < <= > >=; left becomes the integer 1 or 0 (a
// temporary). Answers the sign of the comparison. With release the operands' text forms
// are released; ignoreCase compares texts without case.
int CompareValues(BDS* ctx, uint16_t op, resultants* left, resultants* right, int release,
                  int ignoreCase);

// How a value meets the comparison operators, for callers that compare the same values
// many times (a sort) and would rather read each value once:
// - CS_INT, CS_FLOAT: a number (*number holds a 32-bit integer's value);
// - CS_TEXT_INT: a narrow text that reads as a 32-bit integer of at most nine characters
//   (*number holds it): two of them compare as those integers;
// - CS_TEXT_NUMBER: any other narrow text that reads as a number;
// - CS_TEXT_WORDS: a narrow text that reads as no number: against any narrow text it
//   compares by letters, as lstrcmpA (lstrcmpiA without case) orders the two texts;
// - CS_WIDE_WORDS: a wide text that reads as no number: against another one it compares
//   by letters, as lstrcmpW (lstrcmpiW without case) orders the two texts;
// - CS_OTHER: anything else (a wide text that reads as a number, COM values, no value, an
//   array), and a wide text against a narrow one: only CompareValues itself says how it
//   compares.
// `scratch` is a shallow copy of the value that the reading may convert; the caller drops
// what the conversions added.
enum ComparisonShape : uint8_t { CS_OTHER, CS_INT, CS_FLOAT, CS_TEXT_INT, CS_TEXT_NUMBER, CS_TEXT_WORDS, CS_WIDE_WORDS };
ComparisonShape ComparisonShapeOf(BDS* ctx, resultants* scratch, int32_t* number);

// -1, 0 or 1 for two decimal texts of any length (leading blanks, sign, leading zeros).
int CompareNumericText(BDS* ctx, const char* text1, const char* text2);

// The C runtime's floating-point error callback: records the error in nPendingMathError.
extern "C" int MathErrorHook(struct _exception* exception);
