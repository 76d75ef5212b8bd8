// Calendar arithmetic on YmdHms fields: day numbers, adding and subtracting spans, the
// difference of two times, and the internal add of the waits.
//
// The calendar is the proleptic Gregorian one for every year (year 0 is a leap year). Day
// numbers count 0000-01-01 as day 1 (the proleptic ordinal plus 366): 2000-01-01 is 730486
// and 9999-12-31 is 3652425. A day beyond a shorter target month is clamped to its end
// (January 31 plus one month is February 28 or 29), and every field carries into the next.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/system/date_text.h"

constexpr int64_t LAST_DAY_NUMBER = 3652425;   // 9999-12-31

// The day number of a date; any year (floor arithmetic below year 0).
int64_t DaysFromYmd(int64_t year, int64_t month, int64_t day);
// The date of a day number (the exact inverse of DaysFromYmd).
void YmdFromDays(int64_t dayNumber, int64_t* year, int64_t* month, int64_t* day);

// The weekday of a date, 0 Sunday.
int WeekdayOf(int64_t year, int64_t month, int64_t day);

// A time read strictly: digits and colons, a date alone or all six fields, every field in
// range, a year of two digits or fewer expanded (below 50 is 20xx, else 19xx).
bool ReadStrictTime(const char* text, YmdHmsFields64* fields);
// A span: digits and colons, three or six fields of any size, no range checks.
bool ReadTimeDelta(const char* text, YmdHmsFields64* fields);

// base + delta; false when the result's year leaves 0-9999 (or a delta field is beyond
// any span the calendar can hold).
bool TimeAddFields(const YmdHmsFields64& base, const YmdHmsFields64& delta, YmdHmsFields64* out);
// base - delta; false when the result's year leaves 0-9999.
bool TimeSubtractFields(const YmdHmsFields64& base, const YmdHmsFields64& delta, YmdHmsFields64* out);
// time1 - time2 as a span of years, months, days, hours, minutes and seconds that TimeAdd
// takes from time2 back to time1; false when time1 is earlier than time2. A month borrowed
// for the days is the month before time1's, February by time1's year.
bool TimeDiffFields(const YmdHmsFields& time1, const YmdHmsFields& time2, YmdHmsFields* out);

// The add of the waits: the base read strictly, the delta as a span; carried upward, no
// bound on the year. Writes "%04d:%02d:%02d:%02d:%02d:%02d"; false when either is refused.
bool YmdHmsAddCore(const char* base, const char* delta, char* out, size_t size);

// The six fields as YmdHms: the year in four digits, or its last two without fourDigitYear.
void FormatYmdHmsFields(const YmdHmsFields64& fields, bool fourDigitYear, char* out, size_t size);
