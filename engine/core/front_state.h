// State of the language front end (tokenizer, keyword lookup, evaluator) kept in the
// context beyond the shared fields.
#pragma once

#include <cstdint>

#include "engine/core/value.h"

struct NameMap;

struct FrontState {
    char szName[VARNAMESIZE + 1];   // the last name read, lower case
    uint16_t nTokenLength;          // bytes the current token took in the line (putback)
    uint32_t bNoCreate;             // the next name read must not create a variable
    uint32_t bCreateDefined;        // a created variable starts as integer -1, not uninit
    uint32_t bPersistentName;       // names are mangled with the function scope number
    uint32_t bAssignAllowed;        // ProcessSubExpression may take an assignment
    uint32_t bDereference;          // a unary * stood before an object expression
    uint16_t nMultilinePrefix;      // KID_THEN / KID_ELSE: continuation lines of a $" literal
                                    // must begin with that keyword (single-line Then/Else)
    NameMap* pNameMap;              // add-on function names, made by the first AddExtender
    uint16_t nNameIndex;            // the entry of the current TK_NAME token's variable (0: unknown)
    uint8_t bNumberReady;           // the current numeral's value is in `number` already
    union {
        int64_t integer;
        double real;
    } number;
};
