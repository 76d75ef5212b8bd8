// The one-argument maths functions decide their errors themselves: domain, pole and
// overflow give 1.0 with the error, underflow keeps the tiny or zero value without one, and
// a NaN result gives 1599, whatever the runtime library reports.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/core/operators.h"
#include "engine/data/maths.h"

namespace {

constexpr uint32_t ACOS = 256, COS = 375, COSH = 376, EXP = 455, FABS = 456, FLOOR = 509,
                   LOG10 = 557, LOGE = 559, SIN = 686, SINH = 687, SQRT = 691, TAN = 724;
const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(MathFunction, ClassifiesErrorsByKind)
{
    struct Case { uint32_t id; double x; double want; uint16_t error; };
    const Case cases[] = {
        {SQRT, -1.0, 1.0, 1341},  {ACOS, 2.0, 1.0, 1341},   {LOGE, -1.0, 1.0, 1341},
        {LOG10, -1e-300, 1.0, 1341}, {SIN, kInf, 1.0, 1341}, {TAN, -kInf, 1.0, 1341},
        {LOGE, 0.0, 1.0, 1344},   {LOG10, -0.0, 1.0, 1344}, {EXP, 1000.0, 1.0, 1342},
        {COSH, -1000.0, 1.0, 1342}, {SINH, 1000.0, 1.0, 1342}, {EXP, -1000.0, 0.0, 0},
        {EXP, kInf, kInf, 0},     {EXP, -kInf, 0.0, 0},     {FLOOR, -2.5, -3.0, 0},
        {SQRT, 4.0, 2.0, 0},      {COS, 0.0, 1.0, 0},       {ACOS, 1.0, 0.0, 0},
    };
    for (const Case& c : cases) {
        nPendingMathError = 0;
        uint16_t error = 0xFFFF;
        double value = MathFunctionValue(c.id, c.x, &error);
        EXPECT_EQ(error, c.error) << c.id << '(' << c.x << ')';
        EXPECT_EQ(value, c.want) << c.id << '(' << c.x << ')';
        EXPECT_EQ(nPendingMathError, 0u) << "the runtime's own report is not left behind";
    }
}

TEST(MathFunction, NanResultsAndSignedZeros)
{
    uint16_t error;
    EXPECT_TRUE(std::isnan(MathFunctionValue(SQRT, kNaN, &error)));
    EXPECT_EQ(error, 1599);
    EXPECT_TRUE(std::isnan(MathFunctionValue(12345, 1.0, &error))) << "no such function";

    double value = MathFunctionValue(FABS, -0.0, &error);
    EXPECT_EQ(error, 0);
    EXPECT_TRUE(std::signbit(value)) << "Fabs keeps -0.0 as it is";
    EXPECT_EQ(MathFunctionValue(FABS, -2.5, &error), 2.5);
    value = MathFunctionValue(SQRT, -0.0, &error);
    EXPECT_EQ(error, 0) << "-0.0 is not below zero";
    EXPECT_TRUE(std::signbit(value));
    EXPECT_GT(MathFunctionValue(EXP, -740.0, &error), 0.0) << "a tiny result is kept";
    EXPECT_EQ(error, 0);
}

}  // namespace
