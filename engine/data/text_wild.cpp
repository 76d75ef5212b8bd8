// The wildcard matcher of the text built-ins and item lists: `*` and `?`, no escape,
// letters without regard to case, anchored at the text's start, no backtracking.
#include <cstring>
#include <cwchar>

#include "engine/core/text_length.h"
#include "engine/data/text.h"

namespace {

// The covered length of text[0, end) (end is a character boundary or the terminator),
// walked by the character walker w (text.h); letters compare without regard to case.
template <typename W, typename C = typename W::Char>
int Match(const W& w, const C* text, const C* end, const C* pattern)
{
    auto next = [&w](const C* p) { return p + w.size(p); };
    if (text == end || !*pattern) return 0;
    const C* tp = text;
    const C* pp = pattern;
    bool star = false;
    while (*pp) {
        if (tp >= end) {
            while (*pp == '*') ++pp;
            return *pp ? 0 : static_cast<int>(end - text);
        }
        if (*pp == '*') {
            star = true;
            ++pp;
            continue;
        }
        if (*pp == '?') {
            star = false;
            pp = next(pp);
            tp = next(tp);
            continue;
        }
        const C* runEnd = pp;   // the literal run: up to the next wildcard
        while (*runEnd && *runEnd != '*' && *runEnd != '?') runEnd = next(runEnd);
        for (;;) {
            const C* a = tp;
            const C* b = pp;
            while (b < runEnd && a < end && w.same(a, b, true)) {
                a = next(a);
                b = next(b);
            }
            if (b >= runEnd) {   // the whole run matched here
                tp = a;
                pp = runEnd;
                star = false;
                break;
            }
            if (!star) return 0;
            tp = next(tp);   // after `*`: try the run one character further on
            if (tp >= end) break;
        }
    }
    return star ? static_cast<int>(end - text) : static_cast<int>(tp - text);
}

}  // namespace

int WildMatchNA(BDS* ctx, const char* text, size_t length, const char* pattern)
{
    if (!text || !pattern) return 0;
    return Match(NarrowChars{TextTables(ctx)}, text, text + length, pattern);
}

int WildMatchNW(BDS* ctx, const wchar_t* text, size_t length, const wchar_t* pattern)
{
    if (!text || !pattern) return 0;
    return Match(WideChars{}, text, text + length, pattern);
}

int WildMatchA(BDS* ctx, const char* text, const char* pattern)
{
    return text ? WildMatchNA(ctx, text, TextLength(text), pattern) : 0;
}

int WildMatchW(BDS* ctx, const wchar_t* text, const wchar_t* pattern)
{
    return text ? WildMatchNW(ctx, text, TextLength(text), pattern) : 0;
}
