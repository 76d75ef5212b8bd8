// The expression evaluator: ProcessSubExpression (assignment or expression) and the
// precedence chain that evaluates an expression while it is read, token by token.
//
// Calling convention of every level: on entry the current token (ctx->nTokenKind,
// ctx->delim_type, ctx->szToken) is the first token of the operand; on return it is the
// first token after it. A level fills the caller's result record; on failure it sets
// ctx->nErrorCode and returns at once, and every caller tests it after each call.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/context.h"

struct ArrayHeader;

// Evaluation errors.
enum : uint16_t {
    ERR_UNDEFINED = 3051,
    ERR_UNINITIALIZED = 3052,
    ERR_CLOSING_ML_MISSING = 3059,
    ERR_ILLEGAL_SYNTAX = 3061,
    ERR_UNBALANCED_PAREN = 3065,
    ERR_ARG_COUNT = 3066,
    ERR_OPEN_PAREN = 3067,
    ERR_DELIMITER = 3068,
    ERR_ASSIGN_NOT_LEGAL = 3069,
    ERR_TOO_MANY_ARGS_DEFINED = 3070,
    ERR_PAST_END = 3074,
    ERR_STRINGS_FULL = 3096,
    ERR_DROP = 3102,
    ERR_NOT_IN_PRODUCT = 3472,
    ERR_MAKEPOINTER = 3761,
    ERR_POINTER = 3821,
};

// The statement or argument at the current token: an assignment (plain or compound, to a
// variable, an array or map element, or, with throughPointer, to the variable that the
// pointer held by the current name token names) when allowAssign, else an expression.
// The result receives the value (for an assignment: the assigned value). `site` is the
// statement's origin for multi-line literals (null: ctx->run.site). Answers 1, or 0 with
// the error in ctx->nErrorCode. Exported for extenders.
extern "C" int ProcessSubExpression(BDS* ctx, resultants* result, int allowAssign,
                                    int throughPointer, RunSite* site);

// The statement (its first token not read yet) whose plan (statement_plan.h)
// says `name = expression`: the assignment is run as ExecuteStatement would run it, without
// reading the name and the `=` again (and the right side from its tree when it has one).
// Answers 1 or 0 as ExecuteStatement does, or -1 with nothing done when the statement must
// be read the usual way.
struct StatementPlan;
struct LineView;
int RunPlannedAssignment(BDS* ctx, resultants* result, RunSite* site, const LineView& view,
                         const StatementPlan& plan);

// The precedence chain, loosest first. The statement executor evaluates conditions and
// loop bounds with ParseLogicalExpr.
void ParseLogicalExpr(BDS* ctx, resultants* result);        // && ||
void ParseBitwiseExpr(BDS* ctx, resultants* result);        // ^ & |
void ParseRelationalExpr(BDS* ctx, resultants* result);     // == != <> > >= < <=
void ParseConcatExpr(BDS* ctx, resultants* result);         // :
// The further operands of a `:` chain whose text so far is in result (the current token
// is the `:` after it, or the chain has ended).
void ContinueConcatChain(BDS* ctx, resultants* result);
void ParseShiftExpr(BDS* ctx, resultants* result);          // << >>
void ParseAdditiveExpr(BDS* ctx, resultants* result);       // + -
void ParseMultiplicativeExpr(BDS* ctx, resultants* result); // * / mod
void ParsePowerExpr(BDS* ctx, resultants* result);          // **
void ParsePrimaryExpr(BDS* ctx, resultants* result);        // operands, unary, calls
void ParseOperand(BDS* ctx, resultants* result);            // ( ), @constants, else below
void ParseNameOrLiteral(BDS* ctx, resultants* result);      // variables, numbers, texts

// ---------------------------------------------------------------- assignment

// &= *= += -= /= := <<= >>= ^= mod= |=
bool IsCompoundAssignOp(uint16_t id);
// The binary operator of a compound assignment operator (KID_NONE for others).
uint16_t CompoundBaseOperator(uint16_t id);

// True when the text at `text` is one or more bracketed subscript groups followed by an
// assignment operator.
bool HasSubscript(const char* text);

// True when the variable `index` of the current scope is the target of an assignment in
// progress (in the main script or in any defined user function); `drop` spares it.
bool IsAssignmentTarget(BDS* ctx, uint16_t index);

// Reads the element that the subscripts at the current token `[` select (arrays and maps,
// up to 8 levels into arrays held by elements). Answers 1 with *element, else 0.
int EvalSubscript(BDS* ctx, ArrayHeader* array, int* depth, ArrayElement** element);
