// TEMPORARY stand-in for the comparison operators, so that the array search and sort
// built-ins link and run before the real operators are merged: numbers compare as numbers,
// texts that read as numbers too, other texts with lstrcmp(i)A / lstrcmp(i)W. Delete this
// file when the operators land.
#include "engine/core/operators.h"

#include <windows.h>

#include <cmath>

namespace {

bool Quietly(BDS* ctx, bool ok, uint16_t saved)
{
    ctx->nErrorCode = saved;
    return ok;
}

// The value as a double, from a number or from text that reads as one.
bool AsNumber(BDS* ctx, resultants* v, double* out)
{
    uint16_t saved = ctx->nErrorCode;
    if (v->flags & VF_INT) return *out = v->i32, true;
    if (v->flags & VF_INT64) return *out = static_cast<double>(v->i64), true;
    if (v->flags & VF_FLOAT) return *out = v->dbl, true;
    if ((v->flags & (VF_STRING | VF_UNICODE)) && !(v->flags & VF_ARRAY)) {
        resultants copy = *v;
        copy.flags &= VF_STRING | VF_UNICODE;
        if ((copy.flags & VF_UNICODE) && !(copy.flags & VF_STRING)) return Quietly(ctx, false, saved);
        if (ValueToFloat(ctx, &copy)) return *out = copy.dbl, Quietly(ctx, true, saved);
    }
    return Quietly(ctx, false, saved);
}

}  // namespace

int CompareValues(BDS* ctx, uint16_t op, resultants* left, resultants* right, int release, int ignoreCase)
{
    const uint32_t usable = VF_INT | VF_INT64 | VF_FLOAT | VF_STRING | VF_UNICODE;
    if (!(left->flags & usable) || !(right->flags & usable) || ((left->flags | right->flags) & VF_ARRAY)) {
        SetError(ctx, ERR_NOT_NUMBER);
        return 0;
    }
    double a, b;
    int s;
    if (AsNumber(ctx, left, &a) && AsNumber(ctx, right, &b)) {
        s = a < b ? -1 : (a > b ? 1 : 0);
    } else if ((left->flags & VF_UNICODE) || (right->flags & VF_UNICODE)) {
        if (!ValueToWide(ctx, left) || !ValueToWide(ctx, right)) return 0;
        s = ignoreCase ? lstrcmpiW(ValueWText(ctx, left), ValueWText(ctx, right))
                       : lstrcmpW(ValueWText(ctx, left), ValueWText(ctx, right));
    } else {
        if (!ValueToString(ctx, left) || !ValueToString(ctx, right)) return 0;
        s = ignoreCase ? lstrcmpiA(ValueText(ctx, left), ValueText(ctx, right))
                       : lstrcmpA(ValueText(ctx, left), ValueText(ctx, right));
    }
    bool truth;
    switch (op) {
    case KID_EQ: truth = s == 0; break;
    case KID_NE:
    case KID_LTGT: truth = s != 0; break;
    case KID_LT: truth = s < 0; break;
    case KID_LE: truth = s <= 0; break;
    case KID_GT: truth = s > 0; break;
    case KID_GE: truth = s >= 0; break;
    default:
        SetError(ctx, ERR_BINARY_NOT_LEGAL);
        return s;
    }
    FreeValue(ctx, left, 0, VK_RECORD);
    left->i32 = truth ? 1 : 0;
    left->flags = VF_INT;
    left->originAddr = 0;
    left->originVar = ORIGIN_NONE;
    left->originScope = 0xFFFF;
    if (release) FreeValue(ctx, right, 0, VK_RECORD | 0x300);
    return s;
}
