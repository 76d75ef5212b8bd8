// TimeFormat: a YmdHms time written by a picture of letters ("dddd, d MMMM yyyy",
// "hh:mm tt"), with the names of months, days and the AM/PM designators of the user's
// language.
//
// The picture is first translated into a format of the standard time conversions (%A, %#d,
// %p, ...), whose length is bounded like the format buffer of those conversions; the
// format is then written out here with the user locale's names.
#include <string>

#include "engine/core/builtin.h"
#include "engine/system/date_arith.h"

namespace {

enum : uint16_t {
    ERR_TIME_VALUE = 1020,   // "Time functions: Time parameter error - bad value"
    ERR_TOO_LONG = 3053,     // "Character string too long (>2048 chars??)"
};

constexpr size_t FORMAT_LIMIT = 2049;   // characters of the translated format
constexpr size_t OUTPUT_LIMIT = 2049;   // characters of the result

struct Translation {
    std::wstring format;
    bool datePicture = false;
    bool timePicture = false;
};

// The conversion of a run of `count` picture letters, or null for a letter that is copied.
const wchar_t* ConversionOf(wchar_t letter, size_t count, Translation& t)
{
    switch (letter) {
    case L'd':
        t.datePicture = true;
        return count == 1 ? L"%#d" : count == 2 ? L"%d" : count == 3 ? L"%a" : L"%A";
    case L'M':
        t.datePicture = true;
        return count == 1 ? L"%#m" : count == 2 ? L"%m" : count == 3 ? L"%b" : L"%B";
    case L'y':
        t.datePicture = true;
        return count <= 2 ? L"%y" : L"%Y";
    case L'H':
        t.timePicture = true;
        return count == 1 ? L"%#H" : L"%H";
    case L'h':
        t.timePicture = true;
        return count == 1 ? L"%#I" : L"%I";
    case L'm':
        t.timePicture = true;
        return count == 1 ? L"%#M" : L"%M";
    case L's':
        t.timePicture = true;
        return count == 1 ? L"%#S" : L"%S";
    case L't':
        t.timePicture = true;
        return L"%p";
    default:
        return nullptr;
    }
}

void AppendLiteral(std::wstring& format, wchar_t ch)
{
    if (ch == L'%')
        format += L"%%";
    else
        format += ch;
}

// Quoted text is copied as it stands; inside quotes two single quotes give one.
Translation TranslatePicture(const wchar_t* picture)
{
    Translation t;
    for (const wchar_t* p = picture; *p;) {
        if (*p == L'\'') {
            for (++p; *p; ++p) {
                if (*p == L'\'') {
                    if (p[1] != L'\'')
                        break;
                    ++p;   // a doubled quote stands for one
                }
                AppendLiteral(t.format, *p);
            }
            if (*p)
                ++p;   // the closing quote
            continue;
        }
        size_t count = 1;
        while (p[count] == *p)
            ++count;
        if (const wchar_t* conversion = ConversionOf(*p, count, t)) {
            t.format += conversion;
            p += count;
        } else {
            AppendLiteral(t.format, *p);
            ++p;
        }
    }
    return t;
}

struct BrokenDownTime {
    int year, month, day, hour, minute, second, weekday;
};

std::wstring LocaleText(LCTYPE type)
{
    wchar_t text[100] = {};
    if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, type, text, 100))
        text[0] = 0;
    return text;
}

// The number in at least `width` digits (leading zeros).
void AppendNumber(std::wstring& out, int value, int width)
{
    wchar_t digits[16];
    swprintf(digits, 16, L"%0*d", width, value);
    out += digits;
}

// Writes one conversion; false for a letter that is not one.
bool AppendConversion(std::wstring& out, wchar_t letter, bool noZero, const BrokenDownTime& tm)
{
    int hour12 = tm.hour % 12 == 0 ? 12 : tm.hour % 12;
    int mondayFirst = (tm.weekday + 6) % 7;   // the locale's day names begin with Monday
    int width = noZero ? 1 : 2;
    switch (letter) {
    case L'd': AppendNumber(out, tm.day, width); return true;
    case L'm': AppendNumber(out, tm.month, width); return true;
    case L'y': AppendNumber(out, tm.year % 100, 2); return true;
    case L'Y': AppendNumber(out, tm.year, 4); return true;
    case L'H': AppendNumber(out, tm.hour, width); return true;
    case L'I': AppendNumber(out, hour12, width); return true;
    case L'M': AppendNumber(out, tm.minute, width); return true;
    case L'S': AppendNumber(out, tm.second, width); return true;
    case L'a': out += LocaleText(LOCALE_SABBREVDAYNAME1 + mondayFirst); return true;
    case L'A': out += LocaleText(LOCALE_SDAYNAME1 + mondayFirst); return true;
    case L'b': out += LocaleText(LOCALE_SABBREVMONTHNAME1 + tm.month - 1); return true;
    case L'B': out += LocaleText(LOCALE_SMONTHNAME1 + tm.month - 1); return true;
    case L'p': out += LocaleText(tm.hour < 12 ? LOCALE_S1159 : LOCALE_S2359); return true;
    case L'%': out += L'%'; return true;
    default: return false;
    }
}

std::wstring WriteFormat(const std::wstring& format, const BrokenDownTime& tm)
{
    std::wstring out;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != L'%' || i + 1 >= format.size()) {
            out += format[i];
            continue;
        }
        bool noZero = format[i + 1] == L'#' && i + 2 < format.size();
        size_t at = noZero ? i + 2 : i + 1;
        if (AppendConversion(out, format[at], noZero, tm))
            i = at;
        else
            out += format[i];
    }
    return out;
}

int CheckModeOf(const Translation& t)
{
    if (t.datePicture && t.timePicture)
        return YMD_CHECK_FULL;
    if (t.datePicture)
        return YMD_CHECK_DATE;
    return t.timePicture ? YMD_CHECK_TIME : YMD_CHECK_NONE;
}

void CaseTimeFormat(BDS* ctx, BuiltinCall& c)
{
    Translation t = TranslatePicture(ArgWText(ctx, c, 2));
    if (t.format.size() > FORMAT_LIMIT) {
        SetError(ctx, ERR_TOO_LONG);
        return;
    }
    YmdHmsFields f;
    if (!ParseYMDHMS(ArgText(ctx, c, 1), &f, CheckModeOf(t), 1)) {
        SetError(ctx, ERR_TIME_VALUE);
        return;
    }
    BrokenDownTime tm{1900, 1, 1, 0, 0, 0, 0};
    if (t.datePicture) {
        tm.year = f.year;
        tm.month = f.month;
        tm.day = f.day;
    }
    if (t.timePicture) {
        tm.hour = f.hour;
        tm.minute = f.minute;
        tm.second = f.second;
    }
    tm.weekday = WeekdayOf(f.year, f.month, f.day);
    std::wstring out = WriteFormat(t.format, tm);
    if ((out.empty() && !t.format.empty()) || out.size() > OUTPUT_LIMIT) {
        SetResultWText(ctx, c.result, L"");
        SetError(ctx, ERR_TOO_LONG);
        return;
    }
    SetResultWText(ctx, c.result, out.c_str(), out.size());
}

const BuiltinRow kRows[] = {
    {738, CaseTimeFormat},
};

}  // namespace

extern const BuiltinFamily g_TimeFormatBuiltins = {"time pictures", kRows,
                                                   static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
