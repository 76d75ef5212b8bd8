// The YmdHms parser (also through the library's named export), the YmdHms form and the
// [intl] fallback of the short date and time.
#include <gtest/gtest.h>

#include <windows.h>

#include "engine/system/date_text.h"
#include "tests/unit/engine_dll.h"

namespace {

struct ParseCase {
    const char* text;
    int mode;
    int accepted;
    YmdHmsFields fields;   // checked when accepted
};

const ParseCase kCases[] = {
    {"2024:02:29", YMD_CHECK_FULL, 1, {2024, 2, 29, 0, 0, 0}},
    {"2024:02:29", YMD_CHECK_DATE, 1, {2024, 2, 29, 0, 0, 0}},
    {"2023:02:29", YMD_CHECK_FULL, 0, {}},
    {"1900:02:29", YMD_CHECK_DATE, 0, {}},
    {"2000:02:29:23:59:59", YMD_CHECK_FULL, 1, {2000, 2, 29, 23, 59, 59}},
    {"2024:01:01:24:00:00", YMD_CHECK_FULL, 0, {}},
    {"2024:01:01:24:00:00", YMD_CHECK_TIME, 0, {}},
    {"2024:01:01:24:00:00", YMD_CHECK_DATE, 1, {2024, 1, 1, 0, 0, 0}},
    {"2024:01:01:23:60:00", YMD_CHECK_FULL, 0, {}},
    {"2024:01:01:23:60:00", YMD_CHECK_DATE, 1, {2024, 1, 1, 23, 60, 0}},
    {"24:1:5", YMD_CHECK_FULL, 1, {2024, 1, 5, 0, 0, 0}},
    {"49:1:5", YMD_CHECK_DATE, 1, {2049, 1, 5, 0, 0, 0}},
    {"50:1:5", YMD_CHECK_DATE, 1, {1950, 1, 5, 0, 0, 0}},
    {"99:12:31", YMD_CHECK_FULL, 1, {1999, 12, 31, 0, 0, 0}},
    {":1:5", YMD_CHECK_FULL, 1, {2000, 1, 5, 0, 0, 0}},
    {"24:1:5", YMD_CHECK_NONE, 1, {24, 1, 5, 0, 0, 0}},
    {"02024:01:05", YMD_CHECK_FULL, 0, {}},
    {"2024:13:01", YMD_CHECK_FULL, 0, {}},
    {"2024:00:01", YMD_CHECK_FULL, 0, {}},
    {"2024:04:31", YMD_CHECK_FULL, 0, {}},
    {"2024:04:00", YMD_CHECK_FULL, 0, {}},
    {"12:30:45", YMD_CHECK_TIME, 1, {12, 30, 45, 0, 0, 0}},
    {"2024:01", YMD_CHECK_NONE, 0, {}},
    {"2024:01:01:01", YMD_CHECK_NONE, 0, {}},
    {"2024:01:01:01:01", YMD_CHECK_NONE, 0, {}},
    {"2024:01:01:01:01:01:01", YMD_CHECK_NONE, 0, {}},
    {"2024::01", YMD_CHECK_NONE, 0, {}},
    {" 2024:01:01", YMD_CHECK_NONE, 0, {}},
    {"2024:01:01 ", YMD_CHECK_NONE, 0, {}},
    {"-2024:01:01", YMD_CHECK_NONE, 0, {}},
    {"", YMD_CHECK_NONE, 0, {}},
};

TEST(DateText, ParseYmdHmsTable)
{
    for (const ParseCase& c : kCases) {
        YmdHmsFields f{-1, -1, -1, -1, -1, -1};
        EXPECT_EQ(ParseYMDHMS(c.text, &f, c.mode, 1), c.accepted) << c.text << " mode " << c.mode;
        if (c.accepted == 1 && ParseYMDHMS(c.text, &f, c.mode, 1)) {
            EXPECT_EQ(f.year, c.fields.year) << c.text;
            EXPECT_EQ(f.month, c.fields.month) << c.text;
            EXPECT_EQ(f.day, c.fields.day) << c.text;
            EXPECT_EQ(f.hour, c.fields.hour) << c.text;
            EXPECT_EQ(f.minute, c.fields.minute) << c.text;
            EXPECT_EQ(f.second, c.fields.second) << c.text;
        }
    }
    YmdHmsFields f;
    EXPECT_EQ(ParseYMDHMS("24:1:5", &f, YMD_CHECK_FULL, 0), 1);
    EXPECT_EQ(f.year, 24);   // no expansion asked for
}

TEST(DateText, SixtyFourBitFieldsTakeLargeDeltas)
{
    YmdHmsFields64 f;
    ASSERT_EQ(ParseYMDHMS64("0:0:100000000000", &f, YMD_CHECK_NONE, 1), 1);
    EXPECT_EQ(f.day, 100000000000LL);
}

TEST(DateText, Forms)
{
    SYSTEMTIME t{};
    t.wYear = 2024;
    t.wMonth = 3;
    t.wDay = 9;
    t.wHour = 14;
    t.wMinute = 5;
    char out[64];
    FormatYmdHms(t, true, out, sizeof out);
    EXPECT_STREQ(out, "2024:03:09:14:05:00");
    FormatYmdHms(t, false, out, sizeof out);
    EXPECT_STREQ(out, "24:03:09:14:05:00");

    IntlSettings intl{0, 0, '/', ':', "AM", "PM", "M/d/yy"};
    t.wHour = 0;
    t.wMinute = 30;
    FormatShortDateTimeFallback(t, intl, "Sat", out, sizeof out);
    EXPECT_STREQ(out, "Sat  3/09/24 12:30:00 AM");
    t.wHour = 12;
    FormatShortDateTimeFallback(t, intl, "Sat", out, sizeof out);
    EXPECT_STREQ(out, "Sat  3/09/24 12:30:00 PM");
    IntlSettings european{1, 1, '.', ':', "AM", "PM", "dd.MM.yyyy"};
    t.wHour = 17;
    FormatShortDateTimeFallback(t, european, "Sat", out, sizeof out);
    EXPECT_STREQ(out, "Sat  9.03.2024 17:30:00");
    IntlSettings iso{2, 1, '-', ':', "", "", "yyyy-MM-dd"};
    FormatShortDateTimeFallback(t, iso, "Sat", out, sizeof out);
    EXPECT_STREQ(out, "Sat 2024-03-09 17:30:00");
}

// Hosts and extenders find the parser by name in the library.
class DateTextExportTest : public kvtest::EngineDllTest {};

TEST_F(DateTextExportTest, ParserIsExportedByName)
{
    using Parse = int (*)(const char*, YmdHmsFields*, int, int);
    auto parse = reinterpret_cast<Parse>(GetProcAddress(dll().Module(), "ParseYMDHMS"));
    ASSERT_NE(parse, nullptr);
    YmdHmsFields f;
    EXPECT_EQ(parse("2024:02:29", &f, YMD_CHECK_DATE, 1), 1);
    EXPECT_EQ(parse("2023:02:29", &f, YMD_CHECK_DATE, 1), 0);
}

}  // namespace
