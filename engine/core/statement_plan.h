// Statement plans: what the statement runner learnt about a statement of a cached line
// once the line cache knew its first tokens, kept with the line, so that later passes
// start the statement without reading those tokens again.
//
// A plan says what the statement's first tokens are:
// - PLAN_KEYWORD: a keyword (a flow word, a statement word, a built-in): the statement
//   goes on as after reading it, from the state that reading it leaves;
// - PLAN_ASSIGN: a name followed by `=`: the assignment runs without reading either, and
//   its right side from the expression's tree when it has one (RunPlannedAssignment);
// - PLAN_NONE: anything else, read the usual way (tried again when the cache has learnt
//   more tokens of the line).
//
// Invariants:
// - A plan is made from the line cache's tokens alone and under the keyword tables' stamp
//   of those tokens; one made under another stamp is made again. It holds token positions,
//   lengths and ids, never text of the script.
// - Running a plan leaves the parse state, the variables and the errors exactly as reading
//   the statement's tokens would: a plan only saves the reading.
// - A plan is not used while the trace dumps keyword look-ups (the line cache then answers
//   nothing), nor for a statement through a pointer (`*name = ...`).
#pragma once

#include <cstdint>

#include "engine/core/context.h"

struct CompiledExpr;

enum PlanKind : uint8_t { PLAN_UNKNOWN = 0, PLAN_NONE, PLAN_KEYWORD, PLAN_ASSIGN };

struct StatementPlan {
    uint32_t stamp;             // the tokens' stamp it was made under
    uint16_t offset;            // the statement's offset in the line
    uint16_t triedAt;           // PLAN_NONE: the count of tokens known when it was tried
    uint8_t kind;
    uint16_t firstStart, firstLength;   // the first token
    uint16_t keyword;           // PLAN_KEYWORD: its id
    uint16_t opStart, opLength; // PLAN_ASSIGN: the `=`
    uint16_t firstToken;        // PLAN_ASSIGN: the index of the name among the line's tokens
    uint16_t treeStart;         // PLAN_KEYWORD: where `tree` starts
    const CompiledExpr* tree;   // PLAN_KEYWORD: the tree of the expression after the keyword,
                                // once one was found there (it lives as long as the line)
};

// The plan of the statement at `stmt` (its first token not read yet) in the running
// statement's cached line, made now when the cache knows enough, with the line's view;
// null when there is none.
struct LineView;
StatementPlan* StatementPlanAt(BDS* ctx, const char* stmt, LineView* view);

// Sets the parse state that reading the plan's keyword leaves (PLAN_KEYWORD).
void ReadPlannedKeyword(BDS* ctx, const StatementPlan& plan, char* stmt);
