// Helpers shared by the evaluator's files (precedence chain, assignment, name-taking
// built-ins); not used outside the front end.
#pragma once

#include <cstdint>

#include "engine/core/context.h"
#include "engine/data/array.h"
#include "engine/core/varptr.h"

constexpr int MAX_SUBSCRIPT_LEVELS = 8;
constexpr int POINTER_TEXT_SIZE = VARPTR_TEXT_SIZE;

// Errors of subscripts and pointers.
enum : uint16_t {
    ERR_NEEDS_DIMENSIONS = 1632,
    ERR_ARRAY_SYNTAX = 1633,
    ERR_DIMENSIONS_NUMERIC = 1634,
    ERR_DIMENSION_COUNT = 1635,
    ERR_OUT_OF_BOUNDS = 1636,
    ERR_ARRAY_DATA = 1637,
    ERR_ELEMENT_UNINIT = 1640,
    ERR_ARRAY_EMPTY = 1710,
    ERR_NOT_AN_ARRAY = 3650,
    ERR_NOT_POINTER = 3813,
    ERR_SCOPE_ENTER = 3815,
    ERR_SCOPE_LEAVE = 3816,
};

// Message numbers of the extended texts.
enum : int {
    MSG_MORE_PARAMETERS = 9500,
    MSG_OPEN_PAREN = 9502,
    MSG_MISSING_PAREN = 9504,
    MSG_EXTRA_CHARACTERS = 9505,
    MSG_USE_DOUBLE_EQUALS = 9506,
    MSG_SUBSCRIPT_AFTER_END = 9518,
};

inline bool AtKeyword(const BDS* ctx, uint16_t id)
{
    return ctx->nTokenKind == TK_KEYWORD && ctx->delim_type == id;
}

// A cleared temporary record (integer 0, no variable): what InitResultValue makes of a
// value record, written here because the evaluator makes several per operation.
inline void InitTemp(BDS*, resultants* r)
{
    r->var.vt = VT_EMPTY;
    r->i64 = 0;
    r->i32 = 0;
    r->flags = VF_INT;
    r->str = 0;
    r->wstr = 0;
    r->originAddr = 0;
    r->originVar = ORIGIN_NONE;
    r->originScope = 0xFFFF;
}

// Releases an evaluator temporary. An array that the record only borrows from a variable
// or an element is kept; one the record owns (a fresh result) is released.
void ReleaseTemp(BDS* ctx, resultants* r);

// Sets the error and appends the message text (after `prefix` and a blank, when given)
// to the extended-error text.
void FailWithMessage(BDS* ctx, uint16_t error, int message, const char* prefix = nullptr);

inline ArrayHeader* ArrayOf(const ValueHead* v) { return ValueArray(v); }

// A call keeps the arrays of its arguments alive: one more reference while it runs, and
// that reference given back afterwards (never the last one).
void LockArrayBlock(ArrayHeader* a);
void UnlockArrayBlock(ArrayHeader* a);

// The pointer text of variable `index` of the current scope ("#VAR$PTR#..."). 0 when the
// name is empty.
int FormatVarPointer(BDS* ctx, uint16_t index, char* out, size_t size);

// Resolves a variable pointer text to its scope slot and variable index (3813-3816).
bool ResolvePointer(BDS* ctx, const char* text, uint32_t* slot, uint16_t* index);
// The same for the pointer text that `holder` holds; 3813 when it holds no text (or is null).
bool ResolveHeldPointer(BDS* ctx, const VariableEntry* holder, uint32_t* slot, uint16_t* index);

// The value of an @constant's word into result.
void ConstantValue(BDS* ctx, resultants* result, uint32_t word);

// The name-taking built-ins (drop, isdefined, vartype, ...); the current token is the
// keyword.
void CallSpecialFunction(BDS* ctx, resultants* result, uint16_t id);
