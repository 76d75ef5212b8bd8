// Date and time as text: the YmdHms form ("2024:03:09:14:05:00", a date alone accepted),
// its parser ParseYMDHMS (also exported for hosts and extenders) and the clock texts.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

struct BDS;
struct resultants;

struct YmdHmsFields {
    int32_t year, month, day, hour, minute, second;
};

// The 64-bit twin, for deltas of the time arithmetic.
struct YmdHmsFields64 {
    int64_t year, month, day, hour, minute, second;
};

// Check modes of the parser.
enum : int {
    YMD_CHECK_NONE = 0,
    YMD_CHECK_FULL = 1,   // date and time
    YMD_CHECK_DATE = 2,   // date only (hour 24 counts as 0)
    YMD_CHECK_TIME = 3,   // time only
};

// 1 when the text is accepted (fields filled), else 0. Sets no error number: each caller
// picks its own message (1020 for most). expandYear: a year of two digits or fewer below 50
// is 20xx, else 19xx.
extern "C" int ParseYMDHMS(const char* text, YmdHmsFields* fields, int checkMode, int expandYear);
int ParseYMDHMS64(const char* text, YmdHmsFields64* fields64, int checkMode, int expandYear);

// The fields as a SYSTEMTIME (day of the week and milliseconds 0).
SYSTEMTIME YmdHmsToSystemTime(const YmdHmsFields& fields);

// True for a year of the Gregorian calendar with 29 February.
bool IsLeapYear(int64_t year);
// 28 to 31; months outside 1-12 count as 31.
int DaysInMonth(int64_t year, int64_t month);

// "%04d:%02d:%02d:%02d:%02d:%02d", or the year in two digits without fourDigitYear.
void FormatYmdHms(const SYSTEMTIME& time, bool fourDigitYear, char* out, size_t size);

// The user's short form from WIN.INI's [intl] values, used when the locale functions fail.
struct IntlSettings {
    int iDate;            // 0 month first, 1 day first, else year first
    int iTime;            // 0 a 12-hour clock with the S1159/S2359 texts, else 24 hours
    char sDate;           // date separator
    char sTime;           // time separator
    char s1159[5];
    char s2359[5];
    char sShortDate[80];
};
void ReadIntlSettings(IntlSettings* intl);
// The date alone in that form: month, day or year first, the year in four digits when
// sShortDate holds "yyy".
void FormatIntlDate(const SYSTEMTIME& time, const IntlSettings& intl, char* out, size_t size);
void FormatShortDateTimeFallback(const SYSTEMTIME& time, const IntlSettings& intl, const char* dayName,
                                 char* out, size_t size);

// The local time now into the result: mode 0 the user's short form with the day's name,
// mode 1 YmdHms.
void CurrentDateTimeText(BDS* ctx, resultants* result, int mode);
