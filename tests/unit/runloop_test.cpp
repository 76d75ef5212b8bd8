// The run loop's line services: %substitution% and the label search with its cached jumps.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/core/runloop.h"
#include "engine/core/script.h"

namespace {

struct Context {
    BDS* ctx = static_cast<BDS*>(std::calloc(1, sizeof(BDS)));
    Context()
    {
        ctx->nUdfRunning = UDF_NONE_RUNNING;
        ctx->nScriptFlags = 3;
        BuildScriptPermutation();
    }
    ~Context() { std::free(ctx); }
};

HGLOBAL Scrambled(const std::string& text)
{
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    auto* p = static_cast<uint8_t*>(GlobalLock(h));
    std::memcpy(p, text.c_str(), text.size() + 1);
    ScrambleBuffer(nullptr, p, text.size() + 1);
    GlobalUnlock(h);
    return h;
}

std::string Plain(HGLOBAL h, size_t from, size_t count)
{
    const auto* p = static_cast<const uint8_t*>(GlobalLock(h));
    std::string out;
    for (size_t i = from; i < from + count; ++i)
        out.push_back(static_cast<char>(UnscrambleByte(p[i], static_cast<uint32_t>(i), 0)));
    GlobalUnlock(h);
    return out;
}

}  // namespace

TEST(Substitution, PercentFormsWithoutVariables)
{
    struct Case {
        const char* line;
        int answer;
        const char* after;
        uint16_t error;
    } cases[] = {
        {"x = 1", 1, "x = 1", 0},
        {"a = \"100%%\"", 2, "a = \"100%\"", 0},
        {"a = \"x%@crlf%y\"", 2, "a = \"x\r\ny\"", 0},
        {"a = \"%@TAB%\"", 2, "a = \"\t\"", 0},
        {"a = \"[%nosuchname%]\"", 2, "a = \"[]\"", 0},
        {"a = \"50% off\"", 0, nullptr, 3048},
        {"a = %abcdefghijabcdefghijabcdefghijk%", 0, nullptr, 3047},
    };
    for (const Case& k : cases) {
        Context c;
        char line[TEXTBUF];
        lstrcpynA(line, k.line, TEXTBUF);
        EXPECT_EQ(SubstituteVariables(c.ctx, line), k.answer) << k.line;
        EXPECT_EQ(c.ctx->nErrorCode, k.error) << k.line;
        if (k.after)
            EXPECT_STREQ(line, k.after);
    }
    Context c;
    char line[TEXTBUF];
    std::string many(1500, '%');     // 750 "%%" pairs fit; 2100 do not
    lstrcpynA(line, many.c_str(), TEXTBUF);
    EXPECT_EQ(SubstituteVariables(c.ctx, line), 2);
    EXPECT_EQ(std::strlen(line), 750u);
}

TEST(Substitution, RemainingIncludeBecomesACall)
{
    Context c;
    char line[TEXTBUF] = "#include \"lib file.zal\"  ";
    EXPECT_EQ(SubstituteVariables(c.ctx, line), 2);
    EXPECT_STREQ(line, "Call(\"lib file.zal\", ``)");
}

TEST(LabelSearch, FindsLabelsOutsideFunctionBodiesAndCachesTheJump)
{
    Context c;
    std::string text = "goto there\n"
                       "#DefineFunction f()\n:inside\n#EndFunction\n"
                       "#DefineCommand cmd\n:incommand\n#EndCommand\n"
                       ":THERE ; the target\n"
                       "gosub there\n";
    HGLOBAL h = Scrambled(text);
    uint32_t end = static_cast<uint32_t>(text.size());
    uint32_t offset = 0;
    ASSERT_EQ(FindGotoLabel(c.ctx, "There", &offset, 0, 0, h, end, false), 1);
    EXPECT_EQ(offset, text.find(":THERE"));
    std::string cached = Plain(h, 0, 5);
    EXPECT_EQ(static_cast<uint8_t>(cached[0]), 0x9F);
    uint32_t decoded = 0;
    for (int d = 1; d <= 4; ++d)
        decoded = (decoded << 6) | (cached[d] & 0x3F);
    EXPECT_EQ(decoded, offset);
    EXPECT_EQ(Plain(h, 5, 5), "there");

    uint32_t gosubAt = static_cast<uint32_t>(text.find("gosub"));
    ASSERT_EQ(FindGotoLabel(c.ctx, "there", &offset, gosubAt, 0, h, end, true), 1);
    EXPECT_EQ(Plain(h, gosubAt, 5), "gosub") << "no cache was asked for";
    ASSERT_EQ(FindGotoLabel(c.ctx, "there", &offset, gosubAt, 0, h, end, false), 1);
    EXPECT_EQ(static_cast<uint8_t>(Plain(h, gosubAt, 1)[0]), 0x9E);

    EXPECT_EQ(FindGotoLabel(c.ctx, "incommand", &offset, 0, 0, h, end, true), 1);
    EXPECT_EQ(FindGotoLabel(c.ctx, "inside", &offset, 0, 0, h, end, true), 0);
    EXPECT_EQ(c.ctx->nErrorCode, 3033);
    c.ctx->nErrorCode = 0;
    EXPECT_EQ(FindGotoLabel(c.ctx, "THE", &offset, 0, 0, h, end, true), 0) << "a label matches whole";
    GlobalFree(h);
}

TEST(UdfHeaders, ParametersNamesAndRepeats)
{
    Context c;
    struct Case {
        const char* text;
        int ok;
        int params;
    } cases[] = {
        {" add(a, b)", 1, 2},
        {" none()  ; comment", 1, 0},
        {" spaced ( x )", 1, 1},
        {" bad(a,,b)", 0, 0},
        {" bad(a", 0, 0},
        {" bad(a) extra", 0, 0},
        {" (a)", 0, 0},
        {" many(a1,a2,a3,a4,a5,a6,a7,a8,a9,a10,a11,a12,a13,a14,a15,a16)", 1, 16},
        {" many(a1,a2,a3,a4,a5,a6,a7,a8,a9,a10,a11,a12,a13,a14,a15,a16,a17)", 0, 0},
    };
    for (const Case& k : cases) {
        UdfRecord rec{};
        EXPECT_EQ(ParseUdfHeader(c.ctx, k.text, &rec), k.ok) << k.text;
        if (k.ok)
            EXPECT_EQ(rec.paramCount, k.params) << k.text;
    }
    UdfRecord cmd{};
    EXPECT_EQ(ParseCommandHeader(c.ctx, " Say what  how ; c", &cmd), 1);
    EXPECT_STREQ(cmd.name, "say");
    EXPECT_EQ(cmd.paramCount, 2);

    // A repeated name is accepted and marked to be skipped.
    ASSERT_EQ(AllocUdfRecord(c.ctx, 0, UDF_KIND_FUNCTION), 1);
    ASSERT_EQ(ParseUdfHeader(c.ctx, " Twice()", UdfRecordAt(c.ctx, 0)), 1);
    c.ctx->nUdfCount = 1;
    UdfRecord again{};
    c.ctx->bSkipDefinition = 0;
    EXPECT_EQ(ParseUdfHeader(c.ctx, " twice()", &again), 1);
    EXPECT_EQ(c.ctx->bSkipDefinition, 1u);
    EXPECT_EQ(FindUdfByName(c.ctx, "TWICE", 5), 0);
    GlobalFree(c.ctx->hUdfBlocks[0]);
}
