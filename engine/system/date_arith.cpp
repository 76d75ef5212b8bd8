// Calendar arithmetic: day numbers, spans added and subtracted with clamping and carrying,
// the difference of two times, and the add of the waits.
#include "engine/system/date_arith.h"

#include <cstdio>

namespace {

// A delta field beyond this cannot keep a result inside years 0-9999 (10000 years hold
// about 3.2e11 seconds); refusing it early keeps the arithmetic inside 64 bits.
constexpr int64_t DELTA_FIELD_LIMIT = 1000000000000LL;
constexpr int64_t SECONDS_PER_DAY = 86400;
constexpr int64_t DAYS_PER_ERA = 146097;      // 400 Gregorian years
constexpr int64_t DAY_ONE_OFFSET = 60;        // day number of 0000-02-29: eras start on March 1

int64_t FloorDiv(int64_t a, int64_t b)
{
    int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

int64_t FloorMod(int64_t a, int64_t b) { return a - FloorDiv(a, b) * b; }

bool DeltaInBounds(const YmdHmsFields64& d)
{
    const int64_t fields[] = {d.year, d.month, d.day, d.hour, d.minute, d.second};
    for (int64_t f : fields)
        if (f < 0 || f > DELTA_FIELD_LIMIT)
            return false;
    return true;
}

// Carries every field into range: seconds, minutes and hours by floor division (negative
// fields borrow), months into years, then the days through the calendar. A day beyond
// its month moves into the next; a day below 1 borrows the previous month's length.
void NormalizeTimeFields64(YmdHmsFields64& f)
{
    f.minute += FloorDiv(f.second, 60);
    f.second = FloorMod(f.second, 60);
    f.hour += FloorDiv(f.minute, 60);
    f.minute = FloorMod(f.minute, 60);
    f.day += FloorDiv(f.hour, 24);
    f.hour = FloorMod(f.hour, 24);
    f.year += FloorDiv(f.month - 1, 12);
    f.month = FloorMod(f.month - 1, 12) + 1;
    YmdFromDays(DaysFromYmd(f.year, f.month, 1) + f.day - 1, &f.year, &f.month, &f.day);
}

// Seconds of a whole day or more in a delta move into its days.
YmdHmsFields64 WholeDaysOutOfSeconds(YmdHmsFields64 d)
{
    if (d.second >= SECONDS_PER_DAY) {
        d.day += d.second / SECONDS_PER_DAY;
        d.second %= SECONDS_PER_DAY;
    }
    return d;
}

// sign +1 adds the delta, -1 subtracts it: the target month is carried into 1-12 with the
// years, the base day clamped to that month, and the fields combined and carried.
YmdHmsFields64 CombineFields(const YmdHmsFields64& base, const YmdHmsFields64& delta, int sign)
{
    int64_t month = base.month + sign * delta.month;
    int64_t targetYear = base.year + sign * delta.year + FloorDiv(month - 1, 12);
    int64_t targetMonth = FloorMod(month - 1, 12) + 1;
    int64_t clamped = base.day;
    if (clamped > DaysInMonth(targetYear, targetMonth))
        clamped = DaysInMonth(targetYear, targetMonth);
    YmdHmsFields64 f{base.year + sign * delta.year, month,
                     clamped + sign * delta.day, base.hour + sign * delta.hour,
                     base.minute + sign * delta.minute, base.second + sign * delta.second};
    NormalizeTimeFields64(f);
    return f;
}

bool AddOrSubtract(const YmdHmsFields64& base, const YmdHmsFields64& delta, int sign, YmdHmsFields64* out)
{
    if (!DeltaInBounds(delta))
        return false;
    YmdHmsFields64 f = CombineFields(base, WholeDaysOutOfSeconds(delta), sign);
    if (f.year < 0 || f.year > 9999)
        return false;
    *out = f;
    return true;
}

// The length a month borrowed by TimeDiff gives the days: the month before time1's, with
// February's length from time1's year; when time2's day lies beyond that length the
// excess is added, so that the span added to time2 lands on time1.
int BorrowedMonthLength(const YmdHmsFields& time1, const YmdHmsFields& time2)
{
    int month = time1.month == 1 ? 12 : time1.month - 1;
    switch (month) {
    case 2: {
        int length = IsLeapYear(time1.year) ? 29 : 28;
        return time2.day > length ? time2.day : length;
    }
    case 4: case 6: case 9: case 11:
        return time2.day == 31 ? 31 : 30;
    default:
        return 31;
    }
}

}  // namespace

int64_t DaysFromYmd(int64_t year, int64_t month, int64_t day)
{
    int64_t y = month <= 2 ? year - 1 : year;
    int64_t era = FloorDiv(y, 400);
    int64_t yearOfEra = y - era * 400;                        // 0-399
    int64_t marchMonth = month > 2 ? month - 3 : month + 9;   // March 0
    int64_t dayOfYear = (153 * marchMonth + 2) / 5 + day - 1;
    int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * DAYS_PER_ERA + dayOfEra + DAY_ONE_OFFSET + 1;
}

void YmdFromDays(int64_t dayNumber, int64_t* year, int64_t* month, int64_t* day)
{
    int64_t n = dayNumber - DAY_ONE_OFFSET - 1;               // days since 0000-03-01
    int64_t era = FloorDiv(n, DAYS_PER_ERA);
    int64_t dayOfEra = n - era * DAYS_PER_ERA;
    int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    int64_t marchMonth = (5 * dayOfYear + 2) / 153;
    *day = dayOfYear - (153 * marchMonth + 2) / 5 + 1;
    *month = marchMonth < 10 ? marchMonth + 3 : marchMonth - 9;
    *year = yearOfEra + era * 400 + (*month <= 2 ? 1 : 0);
}

int WeekdayOf(int64_t year, int64_t month, int64_t day)
{
    int64_t z = month < 3 ? year - 1 : year;
    int64_t w = 23 * month / 9 + day + 4 + year + FloorDiv(z, 4) - FloorDiv(z, 100) + FloorDiv(z, 400) -
                (month >= 3 ? 2 : 0);
    return static_cast<int>(FloorMod(w, 7));
}

bool ReadStrictTime(const char* text, YmdHmsFields64* fields)
{
    return ParseYMDHMS64(text, fields, YMD_CHECK_FULL, 1) != 0;
}

bool ReadTimeDelta(const char* text, YmdHmsFields64* fields)
{
    return ParseYMDHMS64(text, fields, YMD_CHECK_NONE, 0) != 0;
}

bool TimeAddFields(const YmdHmsFields64& base, const YmdHmsFields64& delta, YmdHmsFields64* out)
{
    return AddOrSubtract(base, delta, 1, out);
}

bool TimeSubtractFields(const YmdHmsFields64& base, const YmdHmsFields64& delta, YmdHmsFields64* out)
{
    return AddOrSubtract(base, delta, -1, out);
}

bool TimeDiffFields(const YmdHmsFields& time1, const YmdHmsFields& time2, YmdHmsFields* out)
{
    YmdHmsFields f{time1.year - time2.year, time1.month - time2.month, time1.day - time2.day,
                   time1.hour - time2.hour, time1.minute - time2.minute, time1.second - time2.second};
    if (f.second < 0) { f.second += 60; --f.minute; }
    if (f.minute < 0) { f.minute += 60; --f.hour; }
    if (f.hour < 0) { f.hour += 24; --f.day; }
    while (f.day < 0) {
        if (f.month < 0) { f.month += 12; --f.year; }
        f.day += BorrowedMonthLength(time1, time2);
        --f.month;
    }
    if (f.month < 0) { f.month += 12; --f.year; }
    if (f.year < 0)
        return false;
    *out = f;
    return true;
}

bool YmdHmsAddCore(const char* base, const char* delta, char* out, size_t size)
{
    YmdHmsFields64 b, d;
    if (!ReadStrictTime(base, &b) || !ReadTimeDelta(delta, &d) || !DeltaInBounds(d))
        return false;
    YmdHmsFields64 f = CombineFields(b, WholeDaysOutOfSeconds(d), 1);
    snprintf(out, size, "%04lld:%02lld:%02lld:%02lld:%02lld:%02lld", static_cast<long long>(f.year),
             static_cast<long long>(f.month), static_cast<long long>(f.day), static_cast<long long>(f.hour),
             static_cast<long long>(f.minute), static_cast<long long>(f.second));
    return true;
}

void FormatYmdHmsFields(const YmdHmsFields64& f, bool fourDigitYear, char* out, size_t size)
{
    long long year = fourDigitYear ? f.year % 10000 : f.year % 100;
    snprintf(out, size, fourDigitYear ? "%04lld:%02lld:%02lld:%02lld:%02lld:%02lld" : "%02lld:%02lld:%02lld:%02lld:%02lld:%02lld",
             year, static_cast<long long>(f.month), static_cast<long long>(f.day), static_cast<long long>(f.hour),
             static_cast<long long>(f.minute), static_cast<long long>(f.second));
}
