// Date and time text: the YmdHms parser (32- and 64-bit fields), the YmdHms and short
// forms of the local time, and the [intl] fallback of the short form.
#include "engine/system/date_text.h"

#include <cstdio>
#include <cstring>

#include "engine/core/context.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"

namespace {

constexpr int FIELD_COUNT = 6;
constexpr int MAX_YEAR_DIGITS = 4;
constexpr uint64_t FIELD_LIMIT = INT64_MAX;   // a longer run of digits reads as this

// The six fields as read, before any check; false for text that is not digits and colons.
bool ReadFields(const char* text, uint64_t values[FIELD_COUNT], int* yearDigits)
{
    if (!text || strstr(text, "::"))
        return false;
    for (int i = 0; i < FIELD_COUNT; ++i)
        values[i] = 0;
    *yearDigits = 0;
    int field = 0;
    for (const char* p = text; *p && field < FIELD_COUNT; ++p) {
        if (*p == ':') {
            ++field;
        } else if (*p >= '0' && *p <= '9') {
            uint64_t digit = static_cast<uint64_t>(*p - '0');
            values[field] = values[field] > (FIELD_LIMIT - digit) / 10 ? FIELD_LIMIT  // saturates
                                                                       : values[field] * 10 + digit;
            if (field == 0)
                ++*yearDigits;
        } else {
            return false;
        }
    }
    return field == 2 || field == 5;
}

// The checks of the modes on fields held as 64-bit values; the year may be expanded.
bool CheckFields(uint64_t values[FIELD_COUNT], int yearDigits, int mode, bool expandYear)
{
    if (mode == YMD_CHECK_NONE)
        return true;
    uint64_t& hour = values[3];
    if (hour == 24) {
        if (mode != YMD_CHECK_DATE)
            return false;
        hour = 0;
    }
    if (mode == YMD_CHECK_FULL || mode == YMD_CHECK_TIME) {
        if (values[5] > 59 || values[4] > 59 || hour > 24)
            return false;
        if (mode == YMD_CHECK_TIME)
            return true;
    }
    uint64_t& year = values[0];
    uint64_t month = values[1], day = values[2];
    if (day == 0 || month == 0 || month > 12 || yearDigits > MAX_YEAR_DIGITS)
        return false;
    if ((mode == YMD_CHECK_FULL || mode == YMD_CHECK_DATE) && expandYear && yearDigits <= 2)
        year += year < 50 ? 2000 : 1900;
    return day <= static_cast<uint64_t>(DaysInMonth(static_cast<int64_t>(year), static_cast<int64_t>(month)));
}

// The fields of an accepted text, before they are narrowed to the caller's record.
bool ParseValues(const char* text, uint64_t values[FIELD_COUNT], int checkMode, int expandYear)
{
    int yearDigits;
    return ReadFields(text, values, &yearDigits) && CheckFields(values, yearDigits, checkMode, expandYear != 0);
}

}  // namespace

bool IsLeapYear(int64_t year)
{
    return year % 400 == 0 || (year % 4 == 0 && year % 100 != 0);
}

int DaysInMonth(int64_t year, int64_t month)
{
    switch (month) {
    case 4: case 6: case 9: case 11: return 30;
    case 2: return IsLeapYear(year) ? 29 : 28;
    default: return 31;
    }
}

extern "C" int ParseYMDHMS(const char* text, YmdHmsFields* fields, int checkMode, int expandYear)
{
    uint64_t values[FIELD_COUNT];
    if (!ParseValues(text, values, checkMode, expandYear))
        return 0;
    if (fields) {
        int32_t* out[FIELD_COUNT] = {&fields->year, &fields->month, &fields->day,
                                     &fields->hour, &fields->minute, &fields->second};
        for (int i = 0; i < FIELD_COUNT; ++i)
            *out[i] = static_cast<int32_t>(static_cast<uint32_t>(values[i]));
    }
    return 1;
}

int ParseYMDHMS64(const char* text, YmdHmsFields64* fields64, int checkMode, int expandYear)
{
    uint64_t values[FIELD_COUNT];
    if (!ParseValues(text, values, checkMode, expandYear))
        return 0;
    if (fields64) {
        int64_t* out[FIELD_COUNT] = {&fields64->year, &fields64->month, &fields64->day,
                                     &fields64->hour, &fields64->minute, &fields64->second};
        for (int i = 0; i < FIELD_COUNT; ++i)
            *out[i] = static_cast<int64_t>(values[i]);
    }
    return 1;
}

SYSTEMTIME YmdHmsToSystemTime(const YmdHmsFields& fields)
{
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(fields.year);
    time.wMonth = static_cast<WORD>(fields.month);
    time.wDay = static_cast<WORD>(fields.day);
    time.wHour = static_cast<WORD>(fields.hour);
    time.wMinute = static_cast<WORD>(fields.minute);
    time.wSecond = static_cast<WORD>(fields.second);
    return time;
}

void FormatYmdHms(const SYSTEMTIME& time, bool fourDigitYear, char* out, size_t size)
{
    snprintf(out, size, fourDigitYear ? "%04d:%02d:%02d:%02d:%02d:%02d" : "%02d:%02d:%02d:%02d:%02d:%02d",
             fourDigitYear ? time.wYear : time.wYear % 100, time.wMonth, time.wDay, time.wHour, time.wMinute,
             time.wSecond);
}

void ReadIntlSettings(IntlSettings* intl)
{
    char text[8];
    intl->iDate = static_cast<int>(GetProfileIntA("intl", "iDate", 0));
    intl->iTime = static_cast<int>(GetProfileIntA("intl", "iTime", 0));
    GetProfileStringA("intl", "sDate", "/", text, 2);
    intl->sDate = text[0] ? text[0] : '/';
    GetProfileStringA("intl", "sTime", ":", text, 2);
    intl->sTime = text[0] ? text[0] : ':';
    GetProfileStringA("intl", "s1159", "AM", intl->s1159, sizeof intl->s1159);
    GetProfileStringA("intl", "s2359", "PM", intl->s2359, sizeof intl->s2359);
    GetProfileStringA("intl", "sShortDate", "M/d/yy", intl->sShortDate, sizeof intl->sShortDate);
}

void FormatIntlDate(const SYSTEMTIME& time, const IntlSettings& intl, char* out, size_t size)
{
    char year[8];
    if (strstr(intl.sShortDate, "yyy"))
        snprintf(year, sizeof year, "%04d", time.wYear);
    else
        snprintf(year, sizeof year, "%02d", time.wYear % 100);
    if (intl.iDate == 0)
        snprintf(out, size, "%2d%c%02d%c%s", time.wMonth, intl.sDate, time.wDay, intl.sDate, year);
    else if (intl.iDate == 1)
        snprintf(out, size, "%2d%c%02d%c%s", time.wDay, intl.sDate, time.wMonth, intl.sDate, year);
    else
        snprintf(out, size, "%s%c%02d%c%02d", year, intl.sDate, time.wMonth, intl.sDate, time.wDay);
}

void FormatShortDateTimeFallback(const SYSTEMTIME& time, const IntlSettings& intl, const char* dayName,
                                 char* out, size_t size)
{
    char date[40], clock[40];
    FormatIntlDate(time, intl, date, sizeof date);
    int hour = time.wHour;
    if (intl.iTime == 0) {
        hour %= 12;
        if (hour == 0)
            hour = 12;
    }
    snprintf(clock, sizeof clock, "%2d%c%02d%c%02d", hour, intl.sTime, time.wMinute, intl.sTime, time.wSecond);
    if (intl.iTime == 0)
        snprintf(out, size, "%s %s %s %s", dayName, date, clock, time.wHour < 12 ? intl.s1159 : intl.s2359);
    else
        snprintf(out, size, "%s %s %s", dayName, date, clock);
}

void CurrentDateTimeText(BDS* ctx, resultants* result, int mode)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[160];
    if (mode == 1) {
        FormatYmdHms(now, ctx->eng.ctl.FourDigitYear != 0, text, sizeof text);
        SetResultText(ctx, result, text);
        return;
    }
    char days[22] = "";
    char dayName[4] = "";
    LoadMyString(ctx, EngineModule(), 207, days, sizeof days);
    if (strlen(days) >= static_cast<size_t>(now.wDayOfWeek) * 3 + 3)
        memcpy(dayName, days + now.wDayOfWeek * 3, 3);

    char date[40], clock[40];
    if (GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, sizeof date) &&
        GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &now, nullptr, clock, sizeof clock)) {
        snprintf(text, sizeof text, "%s %s %s", dayName, date, clock);
    } else {
        IntlSettings intl;
        ReadIntlSettings(&intl);
        FormatShortDateTimeFallback(now, intl, dayName, text, sizeof text);
    }
    SetResultText(ctx, result, text);
}
