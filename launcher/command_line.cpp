// Command-line rules of the launcher (see command_line.h).
#include "launcher/command_line.h"

#include <climits>

const wchar_t* SkipProgramName(const wchar_t* line)
{
    if (!line)
        return L"";
    const wchar_t* p = line;
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"')
            ++p;
        if (*p == L'"')
            ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t')
            ++p;
    }
    while (*p == L' ' || *p == L'\t')
        ++p;
    return p;
}

CommandTail ParseCommandTail(const wchar_t* tail)
{
    CommandTail result{false, 0, tail};
    if (!(tail[0] == L'!' && tail[1] == L'@' && tail[2] == L'#'))
        return result;
    result.hasParent = true;
    const wchar_t* p = tail + 3;
    for (; *p >= L'0' && *p <= L'9'; ++p) {
        uint64_t digit = uint64_t(*p - L'0');
        // A handle never needs more than 64 bits; longer digit runs are read but saturate.
        result.parent = result.parent > (UINT64_MAX - digit) / 10 ? UINT64_MAX : result.parent * 10 + digit;
    }
    result.params = p;
    return result;
}

void CopyParamLine(wchar_t* out, size_t limit, const wchar_t* text)
{
    size_t n = 0;
    for (; text && text[n] && n < limit; ++n)
        out[n] = text[n];
    out[n] = 0;
}

int StringToInt(const char* text)
{
    if (!text)
        return 0;
    while (*text == ' ' || *text == '\t')
        ++text;
    bool negative = false;
    if (*text == '-' || *text == '+')
        negative = *text++ == '-';
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > INT_MAX)
            value = INT_MAX + 1LL;          // keep the range; the sign decides below
    }
    if (negative)
        return value > INT_MAX ? INT_MIN : int(-value);
    return value > INT_MAX ? INT_MAX : int(value);
}
