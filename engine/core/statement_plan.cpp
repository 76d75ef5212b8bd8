// Statement plans (see statement_plan.h): made from the line cache's tokens of a
// statement, and the parse state of a planned keyword.
#include "engine/core/statement_plan.h"

#include "engine/core/line_cache.h"
#include "engine/core/short_text.h"
#include "engine/core/tokenizer.h"

namespace {

void MakePlan(const LineView& view, StatementPlan* plan)
{
    uint16_t offset = plan->offset;
    *plan = StatementPlan{};
    plan->offset = offset;
    plan->stamp = view.stamp;
    plan->kind = PLAN_NONE;
    plan->triedAt = view.count;
    uint16_t i = 0;
    while (i < view.count && view.tokens[i].start < view.offset)
        ++i;
    if (i >= view.count || view.tokens[i].start != view.offset)
        return;
    const CachedToken& first = view.tokens[i];
    plan->firstStart = first.start;
    plan->firstLength = first.length;
    // `&` may make the token an address-of: only the general reader decides.
    if (first.kind == TK_KEYWORD && view.line[first.start] != '&') {
        plan->kind = PLAN_KEYWORD;
        plan->keyword = first.idOrVar;
        return;
    }
    if (first.kind != TK_NAME || first.length > VARNAMESIZE || KeywordRightAfter(view, i) != KID_ASSIGN)
        return;
    const CachedToken& op = view.tokens[i + 1];
    plan->kind = PLAN_ASSIGN;
    plan->firstToken = i;
    plan->opStart = op.start;
    plan->opLength = op.length;
}

}  // namespace

StatementPlan* StatementPlanAt(BDS* ctx, const char* stmt, LineView* view)
{
    StatementPlan* plan = PlanSlotAt(ctx, stmt, view);
    if (!plan)
        return nullptr;
    bool current = plan->kind != PLAN_UNKNOWN && plan->stamp == view->stamp;
    if (!current || (plan->kind == PLAN_NONE && plan->triedAt < view->count))
        MakePlan(*view, plan);
    return plan->kind == PLAN_NONE ? nullptr : plan;
}

void ReadPlannedKeyword(BDS* ctx, const StatementPlan& plan, char* stmt)
{
    // What get_token does for a keyword the line cache knows.
    FrontState& f = ctx->front;
    uint32_t length = plan.firstLength;
    CopyBytes(ctx->szToken, stmt, length);
    ctx->szToken[length] = 0;
    ctx->delim_type = plan.keyword;
    ctx->nTokenKind = TK_KEYWORD;
    f.nTokenLength = static_cast<uint16_t>(length);
    ctx->prog = stmt + length;
    f.bNumberReady = 0;
    f.nNameIndex = 0;
    f.bNoCreate = 0;
    f.bCreateDefined = 0;
}
