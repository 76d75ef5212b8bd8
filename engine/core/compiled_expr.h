// Compiled expressions: an expression of a cached line whose tokens are all known is
// turned into a small tree the first time it is met again, and from then on evaluated
// from the tree instead of being parsed through the nine levels of the precedence chain.
//
// The tree is the chain's own parse of the tokens, and its evaluation does what the chain
// does, in the chain's order, on the same records: each operand is read (a name creating
// its variable on first sight, as its reading as a token does), each operator applied by
// the same operations (ApplyBinaryOperator, CompareValues, the concatenation with its
// room, ApplyUnaryOperator, the built-in router), errors arise at the same step with the
// same numbers and extended texts, and the token after the expression is read when the
// chain reads it (after the last operand, before the last operators apply), so the parse
// state afterwards is the chain's.
//
// Invariants:
// - Only expressions made of names without subscripts, numerals, quoted texts,
//   @constants, parentheses, the binary operators, the unary + - ! ~ and calls of
//   functions that take their arguments by value with a valid number of them are
//   compiled; anything else (an object expression, a subscript, a name-taking built-in,
//   a command, a function that reads its own arguments, `=` where a comparison could
//   stand) is parsed by the chain every time.
// - A tree is used only under the keyword tables' stamp it was made under; it holds no
//   text of the script, only token positions, ids and numbers: names and texts are read
//   from the line as it is read on each pass.
// - A tree never changes once made (the entry hints of its names aside); trees live as
//   long as their cached line.
#pragma once

#include "engine/core/context.h"

struct CompiledExpr;

// The entrance, at the start of ParseLogicalExpr (the current token is the expression's
// first): evaluates the expression into result from its tree when there is one or one
// can be made, and answers true; false when the chain must parse it.
bool RunCompiledExpression(BDS* ctx, resultants* result);

// The same for an expression that begins with a name where no assignment may stand (a
// Return's value): only a tree that reaches the end of the line is taken, so that the
// name is followed by no `=` that the chain would refuse first. The chain would read the
// token after the name and go back to it; the tree reads on from the name directly.
bool RunCompiledRestOfLine(BDS* ctx, resultants* result);

// The same where the expression's first token is not read yet (ctx->prog is at it): what
// reading that token and ProcessSubExpression (no assignment allowed) would do, from the
// tree. False, with nothing read, when the chain must parse it.
bool RunCompiledExpressionUnread(BDS* ctx, resultants* result, RunSite* site);

// The two halves of it, for a caller with steps of its own between them (an assignment's
// right side): the tree of the expression at ctx->prog, its first token unread (false:
// none, nothing read); and its evaluation with the site and the assignment flag that
// the chain's caller would have set.
struct UnreadTree {
    const CompiledExpr* expr;
    const char* line;
    char* at;
};
struct LineView;
// `known`: the view of the running line when the caller has it (saves asking again).
bool FindTreeUnread(BDS* ctx, UnreadTree* tree, const LineView* known = nullptr);
void RunTreeUnread(BDS* ctx, const UnreadTree& tree, resultants* result, RunSite* site, uint32_t assignAllowed);

// Frees a cached line's list of trees.
void FreeCompiledExprs(CompiledExpr* list);
