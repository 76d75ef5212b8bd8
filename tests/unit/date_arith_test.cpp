// Calendar arithmetic over whole ranges of dates (day numbers, weekdays, spans that lead
// back), and the time built-ins' texts through the router.
#include <gtest/gtest.h>

#include "engine/system/date_arith.h"
#include "text_fixture.h"

namespace {

TEST(DateArith, DayNumbersAndTheirInverseAgreeOnEveryDay)
{
    int64_t expected = 1;
    for (int64_t year = 0; year <= 9999; ++year)
        for (int64_t month = 1; month <= 12; ++month)
            for (int64_t day = 1; day <= DaysInMonth(year, month); ++day, ++expected) {
                ASSERT_EQ(DaysFromYmd(year, month, day), expected) << year << "-" << month << "-" << day;
                int64_t y, m, d;
                YmdFromDays(expected, &y, &m, &d);
                ASSERT_TRUE(y == year && m == month && d == day) << expected;
            }
    EXPECT_EQ(expected - 1, LAST_DAY_NUMBER);
}

// Seven days a week from a known Saturday (2024-03-09), on every date of years 1-9999.
TEST(DateArith, WeekdaysFollowTheDayCount)
{
    const int64_t saturday = DaysFromYmd(2024, 3, 9);
    for (int64_t n = DaysFromYmd(1, 1, 1); n <= LAST_DAY_NUMBER; ++n) {
        int64_t y, m, d;
        YmdFromDays(n, &y, &m, &d);
        int expected = static_cast<int>((((n - saturday) % 7) + 7 + 6) % 7);
        ASSERT_EQ(WeekdayOf(y, m, d), expected) << y << "-" << m << "-" << d;
    }
}

// For every pair of dates t1 >= t2 of 2019-2023, the difference added to t2 gives t1.
TEST(DateArith, DifferenceAddedBackGivesTheLaterDate)
{
    std::vector<YmdHmsFields> dates;
    for (int64_t n = DaysFromYmd(2019, 1, 1); n < DaysFromYmd(2024, 1, 1); ++n) {
        int64_t y, m, d;
        YmdFromDays(n, &y, &m, &d);
        dates.push_back({static_cast<int32_t>(y), static_cast<int32_t>(m), static_cast<int32_t>(d), 0, 0, 0});
    }
    for (size_t i = 0; i < dates.size(); ++i)
        for (size_t j = i; j < dates.size(); ++j) {
            const YmdHmsFields& t2 = dates[i];
            const YmdHmsFields& t1 = dates[j];
            YmdHmsFields span;
            ASSERT_TRUE(TimeDiffFields(t1, t2, &span));
            YmdHmsFields64 sum;
            ASSERT_TRUE(TimeAddFields({t2.year, t2.month, t2.day, 0, 0, 0},
                                      {span.year, span.month, span.day, span.hour, span.minute, span.second}, &sum));
            ASSERT_TRUE(sum.year == t1.year && sum.month == t1.month && sum.day == t1.day)
                << t1.year << "-" << t1.month << "-" << t1.day << " from " << t2.year << "-" << t2.month << "-"
                << t2.day << " by " << span.year << ":" << span.month << ":" << span.day;
        }
}

TEST(DateArith, SpansBeyondTheCalendarFailWithoutOverflow)
{
    YmdHmsFields64 base{2024, 1, 1, 0, 0, 0}, out;
    EXPECT_FALSE(TimeAddFields(base, {0, 0, 0, 0, 0, INT64_MAX}, &out));
    EXPECT_FALSE(TimeSubtractFields(base, {0, 0, 0, INT64_MAX, 0, 0}, &out));
    EXPECT_FALSE(TimeAddFields(base, {0, 0, 2913174, 0, 0, 0}, &out));   // past 9999-12-31
    ASSERT_TRUE(TimeAddFields(base, {0, 0, 2913173, 0, 0, 0}, &out));
    EXPECT_EQ(out.year, 9999);
    EXPECT_EQ(out.day, 31);
    ASSERT_TRUE(TimeSubtractFields(base, {0, 0, 0, 0, 0, 63871286400LL}, &out));   // back to 0000-01-01
    EXPECT_EQ(out.year, 0);
    EXPECT_FALSE(TimeSubtractFields(base, {0, 0, 0, 0, 0, 63871286401LL}, &out));
}

// The add of the waits has no upper bound on the year and reads only strict base times.
TEST(DateArith, AddCoreOfTheWaits)
{
    char out[64];
    ASSERT_TRUE(YmdHmsAddCore("9999:12:31:23:59:59", "00:00:00:00:00:02", out, sizeof out));
    EXPECT_STREQ(out, "10000:01:01:00:00:01");
    ASSERT_TRUE(YmdHmsAddCore("2024:01:31:12:00:00", "00:01:00:00:00:00", out, sizeof out));
    EXPECT_STREQ(out, "2024:02:29:12:00:00");
    EXPECT_FALSE(YmdHmsAddCore("2024:01:01:24:00:00", "0:0:1", out, sizeof out));
    EXPECT_FALSE(YmdHmsAddCore("2024:01:01", "0::1", out, sizeof out));
    EXPECT_FALSE(YmdHmsAddCore("2024:01:01", "0:1", out, sizeof out));
}

class DateBuiltinTest : public TextTest {
protected:
    void SetUp() override
    {
        TextTest::SetUp();
        ctx->eng.ctl.FourDigitYear = 1;
    }
};

// The results of the built-ins keep the error number a caller set before (none is cleared).
TEST_F(DateBuiltinTest, ResultsAndErrorsThroughTheRouter)
{
    Call("timejultoymd", {5222673});
    EXPECT_EQ(ctx->nErrorCode, 0);
    EXPECT_EQ(Narrow(), "4299:03:11:00:00:00");   // 14299 written modulo 10000
    Call("timeformat", {"2024:03:09:14:05:07", L"ddd d MMM yy"});
    EXPECT_EQ(Wide(), L"Sat 9 Mar 24");
    Call("timediffsecs", {"2024:01:01", "2024:01:01:00:00:01"});
    EXPECT_EQ(result.i32, -1);
    Call("timesubtract", {"0000:01:01", "0:0:0:0:0:1"});
    EXPECT_EQ(ctx->nErrorCode, 1462);
}

}  // namespace
