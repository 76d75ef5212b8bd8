// Average, Max and Min: the statistics of a list of expressions, which the built-in
// evaluates itself one at a time.
//
// Max and Min keep integers whole: while every argument is an integer they compare 64-bit
// integers, so values beyond 2^53 keep every digit; one float argument makes the result a
// float.
#include "engine/data/maths.h"

#include "engine/core/numtext.h"
#include "engine/core/operators.h"
#include "engine/data/own_args.h"

namespace {

constexpr uint32_t KID_AVERAGE = 293;
constexpr uint32_t KID_MAX = 568;
constexpr uint16_t ERR_AVERAGE_SYNTAX = 2060;
constexpr int32_t kIntResultLimit = 2147483645;   // larger results are 64-bit integers

// The running figures of one call.
struct Stats {
    uint32_t id;
    int count = 0;
    double sum = 0.0;        // Average
    double best = 0.0;       // Max, Min: the chosen value as a float
    int64_t bestInt = 0;     // ... and as an integer while every argument was one
    bool allInts = true;

    bool better(double x) const { return id == KID_MAX ? x > best : x <= best; }
    bool betterInt(int64_t x) const { return id == KID_MAX ? x > bestInt : x <= bestInt; }
};

// The integer of a value that is one: a 32- or 64-bit integer, or text that reads as a
// decimal integer. A float or other text is none.
bool IntegerOf(BDS* ctx, resultants* value, int64_t* out)
{
    if (value->flags & VF_INT64) {
        *out = value->i64;
        return true;
    }
    if (value->flags & VF_INT) {
        *out = value->i32;
        return true;
    }
    if (value->flags & (VF_FLOAT | VF_VARIANT | VF_ARRAY)) return false;
    if (!(value->flags & VF_STRING)) {
        if (!(value->flags & VF_UNICODE)) return false;
        uint16_t previous = ctx->nErrorCode;
        if (!ValueToString(ctx, value)) {
            ctx->nErrorCode = previous;
            return false;
        }
    }
    return ParseIntegerTextA(ValueText(ctx, value), out);
}

// Takes one argument into the figures; false with 3057 when it is no number.
bool Take(BDS* ctx, Stats& s, resultants* value)
{
    int64_t integer = 0;
    bool isInt = s.id != KID_AVERAGE && IntegerOf(ctx, value, &integer);
    double x;
    if (isInt) {
        x = static_cast<double>(integer);
    } else {
        if (!ValueToFloat(ctx, value)) {
            if (!ctx->nErrorCode) SetError(ctx, ERR_NOT_NUMBER);
            return false;
        }
        x = value->dbl;
    }
    bool first = s.count++ == 0;
    if (s.id == KID_AVERAGE) {
        s.sum += x;
        return true;
    }
    s.allInts = s.allInts && isInt;
    if (s.allInts ? (first || s.betterInt(integer)) : (first || s.better(x))) {
        s.best = x;
        s.bestInt = integer;
    }
    return true;
}

void Finish(BDS* ctx, const Stats& s, resultants* result)
{
    if (s.id == KID_AVERAGE) {
        SetResultFloat(ctx, result, s.sum / s.count);
    } else if (!s.allInts) {
        SetResultFloat(ctx, result, s.best);
    } else if (s.bestInt >= -kIntResultLimit && s.bestInt <= kIntResultLimit) {
        SetResultInt(ctx, result, static_cast<int32_t>(s.bestInt));
    } else {
        SetResultInt64(ctx, result, s.bestInt);
    }
}

}  // namespace

void DoAverageMaxMin(BDS* ctx, uint32_t id, resultants* result)
{
    if (OwnArgsEmpty(ctx)) {
        if (!ctx->nErrorCode) SetError(ctx, ERR_AVERAGE_SYNTAX);   // nothing to average
        return;
    }
    Stats stats{id};
    for (;;) {
        resultants value;
        OwnArgStep step = ReadOwnArg(ctx, &value, ERR_AVERAGE_SYNTAX);
        bool taken = step != OWN_ARG_FAILED && Take(ctx, stats, &value);
        ReleaseOwnArg(ctx, &value);
        if (!taken) return;
        if (step == OWN_ARG_LAST) break;
    }
    Finish(ctx, stats, result);
}
