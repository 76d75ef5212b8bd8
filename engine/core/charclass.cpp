// The process-wide character class table of the ANSI code page.
#include "engine/core/charclass.h"

#include <windows.h>

CharClassTable g_CharClass;

void BuildCharClassTable()
{
    for (int c = 0; c < 256; ++c) {
        char ch = static_cast<char>(c);
        uint8_t bits = 0;
        if (c != 0 && IsCharAlphaA(ch))
            bits |= CHC_ALPHA;
        if (c != 0 && IsCharAlphaNumericA(ch))
            bits |= CHC_ALNUM;
        if (c >= '0' && c <= '9')
            bits |= CHC_DIGIT | CHC_ALNUM;
        if (c >= 0x80 && IsDBCSLeadByte(static_cast<BYTE>(c)))
            bits |= CHC_LEAD;
        if ((bits & CHC_ALNUM) || c == '@' || c == '_')
            bits |= CHC_WORD;
        g_CharClass.cls[c] = bits;
        // The single-character form of CharLowerA takes the character in the low word.
        g_CharClass.lower[c] = c == 0 ? 0
            : static_cast<char>(reinterpret_cast<ULONG_PTR>(
                  CharLowerA(reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(static_cast<uint8_t>(c))))));
    }
    g_CharClass.built = 1;
}
