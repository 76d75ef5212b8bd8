// Dispatch cases of the clock built-ins: TimeYmdHms, TimeDate, DateTime and GetExactTime.
#include <cstdio>

#include "engine/core/builtin.h"
#include "engine/system/date_text.h"

namespace {

void CaseTimeYmdHms(BDS* ctx, BuiltinCall& c)
{
    CurrentDateTimeText(ctx, c.result, 1);
}

// TimeDate and DateTime: the user's short form.
void CaseTimeDate(BDS* ctx, BuiltinCall& c)
{
    CurrentDateTimeText(ctx, c.result, 0);
}

// The time of day with hundredths of a second, the four groups joined by [intl] sTime.
void CaseGetExactTime(BDS* ctx, BuiltinCall& c)
{
    char separator[2];
    GetProfileStringA("intl", "sTime", ":", separator, sizeof separator);
    char sep = separator[0] ? separator[0] : ':';
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[16];
    snprintf(text, sizeof text, "%02d%c%02d%c%02d%c%02d", now.wHour, sep, now.wMinute, sep, now.wSecond, sep,
             now.wMilliseconds / 10);
    SetResultText(ctx, c.result, text);
}

const BuiltinRow kRows[] = {
    {380, CaseTimeDate},
    {512, CaseGetExactTime},
    {733, CaseTimeDate},
    {743, CaseTimeYmdHms},
};

}  // namespace

extern const BuiltinFamily g_TimeTextBuiltins = {"time text", kRows,
                                                 static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
