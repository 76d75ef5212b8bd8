// Delay, TimeDelay and TimeWait, with the timer wait and the clock wait beneath them.
//
// A span prefers the waitable timer that set-up resolved; without it, the whole seconds
// are waited on the clock (UTC) in 100 ms steps, and the fraction and any rest with a
// pumping wait. TimeWait waits on the local clock until a YmdHms time or a time of day.
#include "engine/system/waits.h"

#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/core/builtin.h"
#include "engine/core/errors.h"
#include "engine/core/pump.h"
#include "engine/system/date_arith.h"

namespace {

enum : uint16_t {
    ERR_DELAY_TIME = 1021,   // "WaitLong: Could not properly compute time for delay"
    ERR_WAIT_TIME = 1022,    // "WaitUntil: Passed time not in proper format"
    ERR_FAILED = 1825,       // "Function failed"
};

constexpr uint32_t CLOCK_STEP_MS = 100;
constexpr uint32_t LONGEST_REST_MS = 1000;
constexpr double UNITS_PER_SECOND = 10000000.0;
constexpr double LONGEST_SPAN_SECONDS = 9.0e11;   // beyond any wait; keeps units inside 64 bits
constexpr uint32_t LONGEST_PUMPING_WAIT = 0xFFFFFFFE;   // INFINITE is not a span

// The failing call's code, when the system gives one, into the last-error record and the
// extended error; the built-in's own number is 1825.
void RecordFailure(BDS* ctx, const char* call)
{
    DWORD code = GetLastError();
    if (code)
        StoreLastError(ctx, code, call, true);
    SetError(ctx, ERR_FAILED);
}

void ReadClock(bool utc, SYSTEMTIME* now)
{
    if (utc)
        GetSystemTime(now);
    else
        GetLocalTime(now);
}

bool Reached(const SYSTEMTIME& now, const YmdHmsFields& target)
{
    const int current[6] = {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
    const int wanted[6] = {target.year, target.month, target.day, target.hour, target.minute, target.second};
    for (int i = 0; i < 6; ++i)
        if (current[i] != wanted[i])
            return current[i] > wanted[i];
    return true;
}

// Pumps and waits in 100 ms steps until the clock has reached the target (or a cancel).
void WaitUntilFields(BDS* ctx, const YmdHmsFields& target, bool utc)
{
    for (;;) {
        PumpMessages(ctx);
        if (ctx->bCancel)
            return;
        WaitPumping(ctx, CLOCK_STEP_MS);
        SYSTEMTIME now;
        ReadClock(utc, &now);
        if (Reached(now, target))
            return;
    }
}

// A YmdHms time, or a time of day when its date fields are all 0 (today's, or tomorrow's
// when that time has passed today). False for a text out of form.
bool ReadWaitTarget(const char* text, bool utc, YmdHmsFields* target)
{
    if (!text[0] || strstr(text, "::"))
        return false;
    int colons = 0;
    for (const char* p = text; *p; ++p) {
        if (*p == ':')
            ++colons;
        else if (*p < '0' || *p > '9')
            return false;
    }
    YmdHmsFields raw;
    if (colons != 5 || !ParseYMDHMS(text, &raw, YMD_CHECK_NONE, 0))
        return false;
    if (raw.year || raw.month || raw.day)
        return ParseYMDHMS(text, target, YMD_CHECK_FULL, 1) != 0;
    if (!ParseYMDHMS(text, target, YMD_CHECK_TIME, 0))
        return false;
    SYSTEMTIME now;
    ReadClock(utc, &now);
    char today[40];
    snprintf(today, sizeof today, "%02d:%02d:%02d:%02d:%02d:%02d", now.wYear, now.wMonth, now.wDay, target->hour,
             target->minute, target->second);
    int clock = (now.wHour * 60 + now.wMinute) * 60 + now.wSecond;
    int wanted = (target->hour * 60 + target->minute) * 60 + target->second;
    if (clock <= wanted)
        return ParseYMDHMS(today, target, YMD_CHECK_FULL, 1) != 0;
    char tomorrow[40];
    return YmdHmsAddCore(today, "00:00:01:00:00:00", tomorrow, sizeof tomorrow) &&
           ParseYMDHMS(tomorrow, target, YMD_CHECK_FULL, 1) != 0;
}

// The whole seconds on the UTC clock, then the fraction, then whatever the tick count says
// is still missing (at most a second).
void DelayOnClock(BDS* ctx, int64_t whole, int64_t milliseconds)
{
    DWORD start = GetTickCount();
    SYSTEMTIME now;
    GetSystemTime(&now);
    char base[40], delta[40], end[40];
    snprintf(base, sizeof base, "%04d:%02d:%02d:%02d:%02d:%02d", now.wYear, now.wMonth, now.wDay, now.wHour,
             now.wMinute, now.wSecond);
    snprintf(delta, sizeof delta, "00:00:00:00:00:%02lld", static_cast<long long>(whole));
    YmdHmsFields target;
    if (!YmdHmsAddCore(base, delta, end, sizeof end) || !ParseYMDHMS(end, &target, YMD_CHECK_NONE, 0)) {
        SetError(ctx, ERR_DELAY_TIME);
        return;
    }
    if (whole > 0)
        WaitUntilFields(ctx, target, true);   // no 100 ms step when there is no whole second
    if (ctx->bCancel)
        return;
    if (milliseconds >= CLOCK_STEP_MS)
        WaitPumping(ctx, static_cast<uint32_t>(milliseconds));
    DWORD elapsed = GetTickCount() - start;   // unsigned: a wrapped counter reads as a long wait
    int64_t wanted = whole * 1000 + milliseconds;
    if (!ctx->bCancel && static_cast<int64_t>(elapsed) < wanted) {
        int64_t rest = wanted - static_cast<int64_t>(elapsed);
        WaitPumping(ctx, static_cast<uint32_t>(rest < LONGEST_REST_MS ? rest : LONGEST_REST_MS));
    }
}

void CaseDelay(BDS* ctx, BuiltinCall& c)
{
    DelaySeconds(ctx, ArgFloat(c, 1));
    SetResultInt(ctx, c.result, 1);
}

void CaseTimeWait(BDS* ctx, BuiltinCall& c)
{
    YmdHmsFields target;
    if (!ReadWaitTarget(ArgText(ctx, c, 1), false, &target)) {
        SetError(ctx, ERR_WAIT_TIME);
        return;
    }
    WaitUntilFields(ctx, target, false);
    SetResultInt(ctx, c.result, 1);
}

const BuiltinRow kRows[] = {
    {391, CaseDelay},
    {734, CaseDelay},
    {742, CaseTimeWait},
};

}  // namespace

extern const BuiltinFamily g_WaitBuiltins = {"waits", kRows, static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};

int WaitWithTimer(BDS* ctx, int64_t units)
{
    const OptionalApis& api = ctx->eng.api;
    if (!api.pfnCancelWaitableTimer || !api.pfnCreateWaitableTimerW || !api.pfnSetWaitableTimer)
        return 0;
    HANDLE timer = api.pfnCreateWaitableTimerW(nullptr, TRUE, nullptr);
    if (!timer) {
        RecordFailure(ctx, "CreateWaitableTimerW");
        return 0;
    }
    LARGE_INTEGER due;
    due.QuadPart = -units;
    int result = 0;
    if (!api.pfnSetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) {
        RecordFailure(ctx, "SetWaitableTimer");
        CloseHandle(timer);
        return 0;
    }
    for (;;) {
        DWORD woke = MsgWaitForMultipleObjects(1, &timer, FALSE, INFINITE, QS_ALLINPUT);
        if (woke == WAIT_OBJECT_0) {
            result = 1;
            break;
        }
        if (woke == WAIT_ABANDONED_0)
            break;
        if (woke == WAIT_FAILED) {
            RecordFailure(ctx, "MsgWaitForMultipleObjects");
            break;
        }
        if (ctx->bModalPump) {
            // Input belongs to a dialog of the script: mark it seen, watch the break keys.
            GetQueueStatus(QS_ALLINPUT);
            PollBreakKeys(ctx);
            Sleep(0);
        } else {
            PumpMessagesModal(ctx);
        }
        if (ctx->bCancel)
            break;
    }
    api.pfnCancelWaitableTimer(timer);
    CloseHandle(timer);
    return result;
}

void DelaySeconds(BDS* ctx, double seconds)
{
    if (std::isnan(seconds))
        seconds = 0;
    if (seconds > LONGEST_SPAN_SECONDS)
        seconds = LONGEST_SPAN_SECONDS;
    if (seconds < -LONGEST_SPAN_SECONDS)
        seconds = -LONGEST_SPAN_SECONDS;
    const OptionalApis& api = ctx->eng.api;
    if (api.pfnCancelWaitableTimer && api.pfnCreateWaitableTimerW && api.pfnSetWaitableTimer && seconds >= 0) {
        WaitWithTimer(ctx, static_cast<int64_t>(seconds * UNITS_PER_SECOND));
        return;
    }
    auto whole = static_cast<int64_t>(seconds);
    auto milliseconds = static_cast<int64_t>((seconds - static_cast<double>(whole)) * 1000.0);
    if (seconds < 0) {
        uint64_t span = static_cast<uint64_t>(-whole) * 1000 + static_cast<uint64_t>(-milliseconds);
        WaitPumping(ctx, static_cast<uint32_t>(span < LONGEST_PUMPING_WAIT ? span : LONGEST_PUMPING_WAIT));
        return;
    }
    DelayOnClock(ctx, whole, milliseconds);
}
