// Map keys: the two folding rules of map keys and their hash (map_keys.h).
#include "engine/data/map_keys.h"

#include <windows.h>

#include <cstring>

#include "engine/core/charclass.h"
#include "engine/core/context.h"
#include "engine/data/text.h"

namespace {

constexpr uint32_t FNV_BASIS = 0x811C9DC5u;
constexpr uint32_t FNV_PRIME = 0x01000193u;

// A folded character is a Unicode scalar value (one of the basic plane lower-cased). What
// is no character of the code page lies above them all, so that it never equals one.
constexpr uint32_t STRAY_BYTE = 0x110000;   // | the byte, folded as CharLowerA folds it alone
constexpr uint32_t STRAY_PAIR = 0x1000000;  // | lead << 8 | trail: a pair the code page lacks

// ---------------------------------------------------------------- code pages

enum PageKind : uint8_t {
    PK_SINGLE,   // one byte a character: rule 0
    PK_UTF8,     // read by the UTF-8 rules here
    PK_DBCS,     // a lead byte and its trail byte, or one byte
    PK_WHOLE,    // other multi-byte code pages: see KeyReader
};

struct KeyPage {
    UINT codePage;
    PageKind kind;
    wchar_t defaultUnit;     // what the code page gives for bytes it does not map
    uint8_t lead[256];       // PK_DBCS: the lead bytes
    uint32_t single[256];    // PK_DBCS: each other byte from 0x80 up, folded as a character alone
};

// The code pages met so far (a script uses one or two); a fifth takes the place of the
// oldest. Built from the system's answers, so a page made again is the same.
KeyPage g_pages[4];
unsigned g_pagesUsed;
unsigned g_pageNext;

// CharLowerBuffW of every UTF-16 unit of the basic plane but the surrogates, made once.
wchar_t g_lower[65536];
bool g_lowerBuilt;

wchar_t LowerUnit(uint32_t unit)
{
    if (!g_lowerBuilt) {
        for (uint32_t u = 0; u < 65536; ++u) g_lower[u] = static_cast<wchar_t>(u);
        CharLowerBuffW(g_lower + 1, 0xD800 - 1);
        CharLowerBuffW(g_lower + 0xE000, 0x10000 - 0xE000);
        g_lowerBuilt = true;
    }
    return g_lower[unit & 0xFFFF];
}

uint32_t StrayByte(uint8_t b)
{
    return STRAY_BYTE | static_cast<uint8_t>(LowerChar(static_cast<char>(b)));
}

// The character that `n` bytes make in the code page, folded; 0 when they make none (the
// code page's default character stands for unmapped bytes, so it counts only when it
// converts back to the same bytes).
uint32_t FoldedCharacter(const KeyPage& page, const char* bytes, int n)
{
    wchar_t w[2];
    int units = MultiByteToWideChar(page.codePage, MB_ERR_INVALID_CHARS, bytes, n, w, 2);
    if (units == 2 && IS_HIGH_SURROGATE(w[0]) && IS_LOW_SURROGATE(w[1]))
        return 0x10000 + ((static_cast<uint32_t>(w[0]) - 0xD800) << 10) + (w[1] - 0xDC00);
    if (units != 1 || w[0] == 0) return 0;
    if (w[0] == page.defaultUnit) {
        char back[4];
        int got = WideCharToMultiByte(page.codePage, 0, w, 1, back, sizeof back, nullptr, nullptr);
        if (got != n || std::memcmp(back, bytes, static_cast<size_t>(n)) != 0) return 0;
    }
    return LowerUnit(w[0]);
}

void BuildPage(KeyPage& page, UINT codePage)
{
    page.codePage = codePage;
    page.kind = PK_SINGLE;
    page.defaultUnit = 0;
    std::memset(page.lead, 0, sizeof page.lead);
    if (codePage == CP_UTF8) {
        page.kind = PK_UTF8;
        return;
    }
    CPINFOEXW info;
    if (!GetCPInfoExW(codePage, 0, &info) || info.MaxCharSize < 2) return;
    page.defaultUnit = info.UnicodeDefaultChar;
    bool leads = false;
    for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i]; i += 2)
        for (int b = info.LeadByte[i]; b <= info.LeadByte[i + 1]; ++b) {
            page.lead[b] = 1;
            leads = true;
        }
    page.kind = info.MaxCharSize == 2 && leads ? PK_DBCS : PK_WHOLE;
    if (page.kind != PK_DBCS) return;
    for (int b = 0x80; b < 256; ++b) {
        if (page.lead[b]) continue;
        char byte = static_cast<char>(b);
        uint32_t folded = FoldedCharacter(page, &byte, 1);
        page.single[b] = folded ? folded : StrayByte(static_cast<uint8_t>(b));
    }
}

const KeyPage& PageOf(UINT codePage)
{
    for (unsigned i = 0; i < g_pagesUsed; ++i)
        if (g_pages[i].codePage == codePage) return g_pages[i];
    KeyPage& page = g_pages[g_pageNext];
    g_pageNext = (g_pageNext + 1) % (sizeof g_pages / sizeof g_pages[0]);
    if (g_pagesUsed < sizeof g_pages / sizeof g_pages[0]) ++g_pagesUsed;
    BuildPage(page, codePage);
    return page;
}

// ---------------------------------------------------------------- reading folded characters

// A well-formed UTF-8 sequence at p (no overlong form, no surrogate, nothing above U+10FFFF)
// as its character folded, p moved past it; a byte that begins none stands alone.
uint32_t NextUtf8(const uint8_t*& p)
{
    uint8_t b = p[0];
    int n = b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
    uint32_t c = b & (0x7F >> n);
    bool ok = n != 0;
    // Stops at the first byte that continues nothing, so never reads past the NUL.
    for (int i = 1; ok && i < n; ++i) {
        ok = (p[i] & 0xC0) == 0x80;
        c = c << 6 | (p[i] & 0x3F);
    }
    if (ok && n == 3) ok = c >= 0x800 && (c < 0xD800 || c > 0xDFFF);
    if (ok && n == 4) ok = c >= 0x10000 && c <= 0x10FFFF;
    if (!ok) {
        ++p;
        return StrayByte(b);
    }
    p += n;
    return c < 0x10000 ? LowerUnit(c) : c;
}

// A lead byte and its trail byte, or one byte, at p (from 0x80 up) as its character folded.
uint32_t NextDbcs(const KeyPage& page, const uint8_t*& p)
{
    uint8_t b = p[0];
    if (!page.lead[b]) {
        ++p;
        return page.single[b];
    }
    if (p[1] == 0) {   // a lead byte that ends the key
        ++p;
        return StrayByte(b);
    }
    uint32_t folded = FoldedCharacter(page, reinterpret_cast<const char*>(p), 2);
    if (!folded) folded = STRAY_PAIR | static_cast<uint32_t>(b) << 8 | p[1];
    p += 2;
    return folded;
}

// The folded characters of one key, one after the other. Under a code page whose characters
// are read by no rule here (UTF-7, GB18030, the ISO-2022 forms: PK_WHOLE) a key that holds
// any byte from 0x80 up is taken byte for byte, nothing folded, since which of its bytes
// make which character is not known; two different keys then never become one.
struct KeyReader {
    const KeyPage& page;
    const uint8_t* p;
    bool exact = false;

    KeyReader(const KeyPage& keyPage, const char* key)
        : page(keyPage), p(reinterpret_cast<const uint8_t*>(key))
    {
        if (page.kind == PK_WHOLE)
            for (const uint8_t* q = p; *q && !exact; ++q) exact = *q >= 0x80;
    }

    // The next folded character; 0 at the key's end.
    uint32_t Next()
    {
        uint8_t b = *p;
        if (b == 0) return 0;
        if (exact) {
            ++p;
            return STRAY_BYTE | b;
        }
        if (b < 0x80) {
            ++p;
            return static_cast<uint8_t>(LowerChar(static_cast<char>(b)));
        }
        if (page.kind == PK_UTF8) return NextUtf8(p);
        if (page.kind == PK_DBCS) return NextDbcs(page, p);
        ++p;
        return StrayByte(b);
    }
};

}  // namespace

uint32_t MapKeyCodePage(BDS* ctx)
{
    UINT codePage = ctx && ctx->nCodePage ? ctx->nCodePage : TextTables(ctx).codePage;
    return PageOf(codePage).kind == PK_SINGLE ? 0 : codePage;
}

uint32_t MapKeyHash(uint32_t codePage, const char* key)
{
    if (codePage == 0) return LowerCaseHash(key);
    KeyReader reader(PageOf(codePage), key);
    uint32_t h = FNV_BASIS;
    for (uint32_t c; (c = reader.Next()) != 0;) {
        if (c < 0x80) {   // an ASCII character feeds the byte that rule 0 feeds
            h = (h ^ c) * FNV_PRIME;
            continue;
        }
        h = (h ^ (c & 0xFF)) * FNV_PRIME;
        h = (h ^ ((c >> 8) & 0xFF)) * FNV_PRIME;
        h = (h ^ (c >> 16)) * FNV_PRIME;
    }
    return h;
}

bool MapKeysEqual(uint32_t codePage, const char* a, const char* b)
{
    if (std::strcmp(a, b) == 0) return true;
    if (codePage == 0) return lstrcmpiA(a, b) == 0;
    const KeyPage& page = PageOf(codePage);
    KeyReader ra(page, a);
    KeyReader rb(page, b);
    for (;;) {
        uint32_t x = ra.Next();
        if (x != rb.Next()) return false;
        if (x == 0) return true;
    }
}
