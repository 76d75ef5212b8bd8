// The date arithmetic built-ins: TimeAdd, TimeSubtract, TimeDiff, TimeDiffDays,
// TimeDiffSecs, TimeJulianDay and TimeJulToYmd. Each sets only its own error number.
#include <cstdlib>

#include "engine/core/builtin.h"
#include "engine/system/date_arith.h"

namespace {

enum : uint16_t {
    ERR_TIMEDIFF_VALUE = 1017,   // "TimeDiff: Time parameter error - bad value"
    ERR_TIMEDIFF_RANGE = 1018,   // "TimeDiff: Out of Range (over 60 years)"
    ERR_TIMEADD = 1019,          // "TimeAdd: Cannot add supplied times"
    ERR_TIME_VALUE = 1020,       // "Time functions: Time parameter error - bad value"
    ERR_JULIAN = 1461,           // "TimeJulToYmd: Invalid Julian date"
    ERR_TIMESUBTRACT = 1462,     // "TimeSubtract: Cannot subtract supplied times"
};

constexpr int64_t MAX_DIFF_DAYS = 22000;
constexpr size_t YMDHMS_TEXT = 64;

void SetResultFields(BDS* ctx, resultants* result, const YmdHmsFields64& fields)
{
    char text[YMDHMS_TEXT];
    FormatYmdHmsFields(fields, ctx->eng.ctl.FourDigitYear != 0, text, sizeof text);
    SetResultText(ctx, result, text);
}

YmdHmsFields64 Widen(const YmdHmsFields& f) { return {f.year, f.month, f.day, f.hour, f.minute, f.second}; }

// TimeAdd and TimeSubtract: a strictly read time and a span.
void AddOrSubtractCase(BDS* ctx, BuiltinCall& c, bool add)
{
    YmdHmsFields64 base, delta, out;
    bool ok = ReadStrictTime(ArgText(ctx, c, 1), &base) && ReadTimeDelta(ArgText(ctx, c, 2), &delta) &&
              (add ? TimeAddFields(base, delta, &out) : TimeSubtractFields(base, delta, &out));
    if (!ok) {
        SetError(ctx, add ? ERR_TIMEADD : ERR_TIMESUBTRACT);
        return;
    }
    SetResultFields(ctx, c.result, out);
}

void CaseTimeAdd(BDS* ctx, BuiltinCall& c) { AddOrSubtractCase(ctx, c, true); }
void CaseTimeSubtract(BDS* ctx, BuiltinCall& c) { AddOrSubtractCase(ctx, c, false); }

// Both times of the difference built-ins, read strictly; false sets `error`.
bool ReadTwoTimes(BDS* ctx, BuiltinCall& c, YmdHmsFields* time1, YmdHmsFields* time2, uint16_t error)
{
    if (ParseYMDHMS(ArgText(ctx, c, 1), time1, YMD_CHECK_FULL, 1) &&
        ParseYMDHMS(ArgText(ctx, c, 2), time2, YMD_CHECK_FULL, 1))
        return true;
    SetError(ctx, error);
    return false;
}

void CaseTimeDiff(BDS* ctx, BuiltinCall& c)
{
    YmdHmsFields time1, time2, span;
    if (!ReadTwoTimes(ctx, c, &time1, &time2, ERR_TIMESUBTRACT))
        return;
    if (!TimeDiffFields(time1, time2, &span)) {
        SetError(ctx, ERR_TIMESUBTRACT);
        return;
    }
    SetResultFields(ctx, c.result, Widen(span));
}

int64_t DayDifference(const YmdHmsFields& time1, const YmdHmsFields& time2)
{
    return DaysFromYmd(time1.year, time1.month, time1.day) - DaysFromYmd(time2.year, time2.month, time2.day);
}

void CaseTimeDiffDays(BDS* ctx, BuiltinCall& c)
{
    YmdHmsFields time1, time2;
    if (ReadTwoTimes(ctx, c, &time1, &time2, ERR_TIMEDIFF_VALUE))
        SetResultInt(ctx, c.result, static_cast<int32_t>(DayDifference(time1, time2)));
}

void CaseTimeDiffSecs(BDS* ctx, BuiltinCall& c)
{
    YmdHmsFields time1, time2;
    if (!ReadTwoTimes(ctx, c, &time1, &time2, ERR_TIMEDIFF_VALUE))
        return;
    int64_t days = DayDifference(time1, time2);
    if (std::llabs(days) > MAX_DIFF_DAYS) {
        SetError(ctx, ERR_TIMEDIFF_RANGE);
        return;
    }
    int64_t seconds = ((days * 24 + time1.hour - time2.hour) * 60 + time1.minute - time2.minute) * 60 +
                      time1.second - time2.second;
    SetResultInt(ctx, c.result, static_cast<int32_t>(seconds));
}

// The date's day number; hour 24 is allowed and the time is not tested.
void CaseTimeJulianDay(BDS* ctx, BuiltinCall& c)
{
    YmdHmsFields f;
    if (!ParseYMDHMS(ArgText(ctx, c, 1), &f, YMD_CHECK_DATE, 1)) {
        SetError(ctx, ERR_TIME_VALUE);
        return;
    }
    SetResultInt(ctx, c.result, static_cast<int32_t>(DaysFromYmd(f.year, f.month, f.day)));
}

// A day number's date at 00:00:00; years past 9999 are written modulo 10000.
void CaseTimeJulToYmd(BDS* ctx, BuiltinCall& c)
{
    int32_t dayNumber = ArgInt(c, 1);
    if (dayNumber < 1) {
        SetError(ctx, ERR_JULIAN);
        return;
    }
    YmdHmsFields64 f{};
    YmdFromDays(dayNumber, &f.year, &f.month, &f.day);
    SetResultFields(ctx, c.result, f);
}

const BuiltinRow kRows[] = {
    {732, CaseTimeAdd},
    {735, CaseTimeDiff},
    {736, CaseTimeDiffDays},
    {737, CaseTimeDiffSecs},
    {739, CaseTimeJulianDay},
    {740, CaseTimeJulToYmd},
    {741, CaseTimeSubtract},
};

}  // namespace

extern const BuiltinFamily g_DateArithBuiltins = {"date arithmetic", kRows,
                                                  static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
