// String comparison and character classes: StrCmp, StriCmp and StrTypeInfo.
#include <cstring>
#include <cwchar>

#include "engine/core/errors.h"
#include "engine/core/text_length.h"
#include "engine/data/string_builtins.h"
#include "engine/data/text_cases.h"
#include "engine/core/locked_global.h"

namespace {

constexpr uint16_t ERR_NO_MEMORY = 1588;
constexpr uint16_t ERR_BAD_FLAG = 1822;
constexpr uint16_t ERR_BAD_VALUE = 1824;
constexpr uint16_t ERR_FAILED = 1825;

// The CT_CTYPE1 classes and their words, in the order StrTypeInfo lists them.
struct ClassWord {
    uint16_t bit;
    const char* word;
};
constexpr ClassWord kClassWords[] = {
    {C1_UPPER, "Upper"}, {C1_LOWER, "Lower"}, {C1_DIGIT, "Digit"},
    {C1_SPACE, "Space"}, {C1_PUNCT, "Punct"}, {C1_CNTRL, "Cntrl"},
    {C1_BLANK, "Blank"}, {C1_XDIGIT, "HexDg"}, {C1_ALPHA, "Alpha"},
};
constexpr uint16_t kDefinedBit = 0x200;

// A decimal integer with an optional sign and blanks around it.
template <typename C>
bool ParseClassMask(const C* text, int64_t* out)
{
    while (*text == ' ' || *text == '\t') ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    if (!(*text >= '0' && *text <= '9')) return false;
    uint64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) value = value * 10 + (*text - '0');
    while (*text == ' ' || *text == '\t') ++text;
    if (*text) return false;
    *out = negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
    return true;
}

// The words of a class mask, each followed by a blank, the last blank removed.
void ClassWords(BDS* ctx, int64_t mask, bool undefWord, resultants* result, bool wide)
{
    char text[96] = "";
    for (const ClassWord& c : kClassWords)
        if (mask & c.bit) {
            std::strcat(text, c.word);
            std::strcat(text, " ");
        }
    if (undefWord && !(mask & kDefinedBit)) std::strcat(text, "Undef ");
    size_t n = TextLength(text);
    if (n) text[--n] = 0;
    if (!wide) {
        SetResultText(ctx, result, text, n);
        return;
    }
    wchar_t wtext[96];
    for (size_t i = 0; i <= n; ++i) wtext[i] = static_cast<wchar_t>(text[i]);
    SetResultWText(ctx, result, wtext, n);
}

// The classes that all (flag 0) or any (flag 1) of the class words share, as decimal text.
void CombineClasses(BDS* ctx, const WORD* classes, int count, int flag, resultants* result, bool wide)
{
    uint32_t mask = 0;
    if (count > 0) {
        mask = flag == 0 ? 0xFFFF : 0;
        for (int i = 0; i < count; ++i) mask = flag == 0 ? (mask & classes[i]) : (mask | classes[i]);
    }
    char text[16];
    wsprintfA(text, "%u", mask);
    if (!wide) {
        SetResultText(ctx, result, text);
        return;
    }
    wchar_t wtext[16];
    for (int i = 0; i < 16; ++i) wtext[i] = static_cast<wchar_t>(text[i]);
    SetResultWText(ctx, result, wtext);
}


}  // namespace

int DoStrCmp(BDS* ctx, const wchar_t* a, const wchar_t* b) { return CompareWideText(ctx, a, b, false); }
int DoStriCmp(BDS* ctx, const wchar_t* a, const wchar_t* b) { return CompareWideText(ctx, a, b, true); }

void DoStrTypeInfoA(BDS* ctx, const char* text, int flag, resultants* result)
{
    if (flag == -1) {
        int64_t mask;
        if (!ParseClassMask(text, &mask)) return SetError(ctx, ERR_BAD_VALUE);
        return ClassWords(ctx, mask, false, result, false);
    }
    if (flag != 0 && flag != 1) return SetError(ctx, ERR_BAD_FLAG);
    int bytes = static_cast<int>(TextLength(text));
    if (bytes == 0) return CombineClasses(ctx, nullptr, 0, flag, result, false);
    // One class word per character.
    LockedGlobal block((static_cast<size_t>(bytes) + 1) * sizeof(WORD));
    WORD* words = block.As<WORD>();
    if (!words) return SetError(ctx, ERR_NO_MEMORY);
    if (!GetStringTypeA(LOCALE_SYSTEM_DEFAULT, CT_CTYPE1, text, bytes, words)) {
        StoreLastError(ctx, GetLastError(), "GetStringTypeA", true);
        return SetError(ctx, ERR_FAILED);
    }
    // One word per character of the system's ANSI code page.
    int chars = MultiByteToWideChar(CP_ACP, 0, text, bytes, nullptr, 0);
    if (chars <= 0 || chars > bytes) chars = bytes;
    CombineClasses(ctx, words, chars, flag, result, false);
}

void DoStrTypeInfoW(BDS* ctx, const wchar_t* text, int flag, resultants* result)
{
    if (flag == -1) {
        int64_t mask;
        if (!ParseClassMask(text, &mask)) return SetError(ctx, ERR_BAD_VALUE);
        return ClassWords(ctx, mask, true, result, true);
    }
    if (flag != 0 && flag != 1) return SetError(ctx, ERR_BAD_FLAG);
    int units = static_cast<int>(TextLength(text));
    if (units == 0) return CombineClasses(ctx, nullptr, 0, flag, result, true);
    LockedGlobal block((static_cast<size_t>(units) + 1) * sizeof(WORD));
    WORD* words = block.As<WORD>();
    if (!words) return SetError(ctx, ERR_NO_MEMORY);
    if (!GetStringTypeW(CT_CTYPE1, text, units, words)) {
        StoreLastError(ctx, GetLastError(), "GetStringTypeW", true);
        return SetError(ctx, ERR_FAILED);
    }
    CombineClasses(ctx, words, units, flag, result, true);
}

// ---------------------------------------------------------------- cases

namespace {

using namespace textcase;

void CaseStrCmp(BDS* ctx, BuiltinCall& call)
{
    bool noCase = call.id == 705;   // StriCmp
    int answer;
    if (Wide(call))
        answer = CompareWideText(ctx, WText(ctx, call, 1), WText(ctx, call, 2), noCase);
    else
        answer = noCase ? lstrcmpiA(Text(ctx, call, 1), Text(ctx, call, 2))
                        : lstrcmpA(Text(ctx, call, 1), Text(ctx, call, 2));
    SetResultInt(ctx, call.result, answer);
}

void CaseStrTypeInfo(BDS* ctx, BuiltinCall& call)
{
    if (Wide(call)) DoStrTypeInfoW(ctx, WText(ctx, call, 1), ArgInt(call, 2), call.result);
    else DoStrTypeInfoA(ctx, Text(ctx, call, 1), ArgInt(call, 2), call.result);
}

void CaseChrGetCodePage(BDS* ctx, BuiltinCall& call)
{
    SetResultInt(ctx, call.result, MyChrGetCodePage(ctx, ArgInt(call, 1)));
}

void CaseChrSetCodePage(BDS* ctx, BuiltinCall& call)
{
    SetResultInt(ctx, call.result, DoChrSetCodePage(ctx, ArgInt(call, 1)));
}

void CaseChrHexToString(BDS* ctx, BuiltinCall& call)
{
    DoChrHexToString(ctx, Text(ctx, call, 1), call.result);
}

void CaseChrHexToUnicode(BDS* ctx, BuiltinCall& call)
{
    DoChrHexToUnicode(ctx, Text(ctx, call, 1), ArgInt(call, 2), call.result);
}

void CaseChrStringToHex(BDS* ctx, BuiltinCall& call)
{
    DoChrStringToHex(ctx, Text(ctx, call, 1), call.result);
}

void CaseChrStringToUnicode(BDS* ctx, BuiltinCall& call)
{
    DoChrStringToUnicode(ctx, WText(ctx, call, 1), call.result);
}

void CaseChrUnicodeToHex(BDS* ctx, BuiltinCall& call)
{
    DoChrUnicodeToHex(ctx, WText(ctx, call, 1), ArgInt(call, 2), call.result);
}

void CaseChrUnicodeToString(BDS* ctx, BuiltinCall& call)
{
    DoChrUnicodeToString(ctx, WText(ctx, call, 1), call.result);
}

const BuiltinRow kRows[] = {
    {359, CaseChrGetCodePage},      // chrgetcodepage
    {360, CaseChrHexToString},      // chrhextostring
    {361, CaseChrHexToUnicode},     // chrhextounicode
    {362, CaseChrSetCodePage},      // chrsetcodepage
    {363, CaseChrStringToHex},      // chrstringtohex
    {364, CaseChrStringToUnicode},  // chrstringtounicode
    {365, CaseChrUnicodeToHex},     // chrunicodetohex
    {366, CaseChrUnicodeToString},  // chrunicodetostring
    {696, CaseStrCmp},              // strcmp
    {705, CaseStrCmp},              // stricmp
    {720, CaseStrTypeInfo},         // strtypeinfo
};

}  // namespace

const BuiltinFamily g_StrCompareBuiltins = {"strings: comparison and code pages", kRows, static_cast<int>(sizeof kRows / sizeof kRows[0])};
