// The static keyword table, built at compile time from the rows of keyword_table.inc.
#include "engine/core/keyword.h"

namespace {

constexpr uint32_t HexDigit(char c)
{
    return c >= '0' && c <= '9' ? uint32_t(c - '0') : uint32_t(c - 'A' + 10);
}

// Argument codes written argument 1 first become nibbles, argument 1 lowest.
template <size_t N>
constexpr uint64_t Signature(const char (&codes)[N])
{
    static_assert(N - 1 <= 16, "at most sixteen arguments");
    uint64_t signature = 0;
    for (size_t i = 0; i + 1 < N; ++i)
        signature |= uint64_t(HexDigit(codes[i])) << (4 * i);
    return signature;
}

template <size_t N>
constexpr uint16_t NameLength(const char (&)[N])
{
    static_assert(N - 1 < sizeof(KeywordRecord::name), "keyword name too long");
    return uint16_t(N - 1);
}

}  // namespace

#define KW_WORD(id, name, type) {id, type, 0, 0, NameLength(name), name},
#define KW_FUNC(id, name, required, optional, codes) \
    {id, KT_FUNCTION, Signature(codes), uint32_t(required) | (uint32_t(optional) << 8), NameLength(name), name},
#define KW_CONST(id, name, value) {id, KT_CONSTANT, 0, uint32_t(value), NameLength(name), name},
#define KW_RESERVED(id, name) {id, KT_FUNCTION, 0, 0, NameLength(name), name},

KeywordRecord g_KeywordTable[NKEYTOKENS] = {
#include "engine/core/keyword_table.inc"
};

#undef KW_WORD
#undef KW_FUNC
#undef KW_CONST
#undef KW_RESERVED
