// The one-argument maths functions: Acos, Asin, Atan, Ceiling, Cos, Cosh, Exp, Fabs,
// Floor, Log10, LogE, Sin, Sinh, Sqrt, Tan, Tanh.
//
// The engine decides itself when a function fails (outside its domain, at a pole, an
// infinite result from a finite argument), so the outcome is the same whichever runtime
// library computes the value and whether or not it reports errors of its own.
#include "engine/data/maths.h"

#include <cmath>
#include <limits>

#include "engine/core/builtin.h"
#include "engine/core/operators.h"

namespace {

constexpr uint16_t ERR_FP_NAN = 1599;

// What argument a function refuses.
enum class Domain {
    Any,          // every finite argument
    UnitRange,    // -1 .. 1 (Acos, Asin)
    NotNegative,  // 0 and above (Sqrt)
    Logarithm,    // above 0; 0 itself is a pole
    Finite,       // an infinite argument has no value (the periodic functions)
};

struct MathRow {
    uint16_t id;
    double (*apply)(double);
    Domain domain;
};

double Fabs(double x) { return x < 0.0 ? -x : x; }   // -0.0 stays -0.0

const MathRow kFunctions[] = {
    {256, [](double x) { return std::acos(x); }, Domain::UnitRange},    // acos
    {281, [](double x) { return std::asin(x); }, Domain::UnitRange},    // asin
    {292, [](double x) { return std::atan(x); }, Domain::Any},          // atan
    {357, [](double x) { return std::ceil(x); }, Domain::Any},          // ceiling
    {375, [](double x) { return std::cos(x); }, Domain::Finite},        // cos
    {376, [](double x) { return std::cosh(x); }, Domain::Any},          // cosh
    {455, [](double x) { return std::exp(x); }, Domain::Any},           // exp
    {456, Fabs, Domain::Any},                                           // fabs
    {509, [](double x) { return std::floor(x); }, Domain::Any},         // floor
    {557, [](double x) { return std::log10(x); }, Domain::Logarithm},   // log10
    {559, [](double x) { return std::log(x); }, Domain::Logarithm},     // loge
    {686, [](double x) { return std::sin(x); }, Domain::Finite},        // sin
    {687, [](double x) { return std::sinh(x); }, Domain::Any},          // sinh
    {691, [](double x) { return std::sqrt(x); }, Domain::NotNegative}, // sqrt
    {724, [](double x) { return std::tan(x); }, Domain::Finite},        // tan
    {725, [](double x) { return std::tanh(x); }, Domain::Any},          // tanh
};

const MathRow* FindFunction(uint32_t id)
{
    for (const MathRow& row : kFunctions)
        if (row.id == id) return &row;
    return nullptr;
}

// The error of an argument that the function refuses before computing (0: none).
uint16_t ArgumentError(Domain domain, double x)
{
    if (std::isnan(x)) return 0;   // a NaN goes through and ends as 1599
    switch (domain) {
    case Domain::UnitRange: return (x < -1.0 || x > 1.0) ? ERR_FP_DOMAIN : 0;
    case Domain::NotNegative: return x < 0.0 ? ERR_FP_DOMAIN : 0;
    case Domain::Logarithm: return x < 0.0 ? ERR_FP_DOMAIN : (x == 0.0 ? ERR_FP_SINGULARITY : 0);
    case Domain::Finite: return std::isinf(x) ? ERR_FP_DOMAIN : 0;
    case Domain::Any: return 0;
    }
    return 0;
}

}  // namespace

double MathFunctionValue(uint32_t id, double x, uint16_t* error)
{
    *error = 0;
    const MathRow* row = FindFunction(id);
    if (!row) return std::numeric_limits<double>::quiet_NaN();
    if ((*error = ArgumentError(row->domain, x)) != 0) return 1.0;

    double value = row->apply(x);
    nPendingMathError = 0;   // whatever the runtime reported, the checks here decide
    if (std::isnan(value)) {
        *error = ERR_FP_NAN;
    } else if (std::isinf(value) && !std::isinf(x)) {
        *error = ERR_FP_OVERFLOW;
        value = 1.0;
    }
    return value;
}

void DoMathFunction(BDS* ctx, uint32_t id, double x, resultants* result)
{
    uint16_t error;
    double value = MathFunctionValue(id, x, &error);
    SetResultFloat(ctx, result, value);
    if (error) SetError(ctx, error);
}

// ---------------------------------------------------------------- cases

namespace {

void CaseMath(BDS* ctx, BuiltinCall& call) { DoMathFunction(ctx, call.id, ArgFloat(call, 1), call.result); }

void CaseAverageMaxMin(BDS* ctx, BuiltinCall& call) { DoAverageMaxMin(ctx, call.id, call.result); }

const BuiltinRow kRows[] = {
    {256, CaseMath},           // acos
    {281, CaseMath},           // asin
    {292, CaseMath},           // atan
    {293, CaseAverageMaxMin},  // average
    {357, CaseMath},           // ceiling
    {375, CaseMath},           // cos
    {376, CaseMath},           // cosh
    {455, CaseMath},           // exp
    {456, CaseMath},           // fabs
    {509, CaseMath},           // floor
    {557, CaseMath},           // log10
    {559, CaseMath},           // loge
    {568, CaseAverageMaxMin},  // max
    {570, CaseAverageMaxMin},  // min
    {686, CaseMath},           // sin
    {687, CaseMath},           // sinh
    {691, CaseMath},           // sqrt
    {724, CaseMath},           // tan
    {725, CaseMath},           // tanh
};

}  // namespace

const BuiltinFamily g_MathBuiltins = {"maths", kRows, static_cast<int>(sizeof kRows / sizeof kRows[0])};
