// Multi-line string literals: continuation lines read from the scrambled script, doubled
// ':' and '#', the doubled marker, CR LF line ends, substitution, and the errors.
#include "front_fixture.h"

#include "engine/core/multiline.h"

namespace {

class MultilineTest : public FrontTest {
protected:
    // Runs `statement` with `following` as the script lines after it.
    std::string RunWith(const std::string& statement, const std::string& following)
    {
        SetScript(following);
        return Eval(statement);
    }
};

TEST_F(MultilineTest, OnOneLine)
{
    SetScript("");
    EXPECT_EQ(Eval("x = $\"a::b##c$\""), "s:a:b#c");
    EXPECT_EQ(Eval("x = $\"say $\"$\" twice$\" : \"!\""), "s:say $\" twice!");
}

TEST_F(MultilineTest, OverSeveralLines)
{
    EXPECT_EQ(RunWith("x = $\"one", "two::2\n  three$\" : \"!\"\nnext line\n"), "s:one\ntwo:2\n  three!");
    EXPECT_EQ(pos_, 23u);                         // the run loop goes on with "next line"
    EXPECT_EQ(TextOf(*Var("x")), "one\ntwo:2\n  three!");
}

TEST_F(MultilineTest, CrLfAndLfScriptsGiveTheSameText)
{
    // Line-end normalisation leaves a blank where each CR was.
    std::string lf = RunWith("x = $\"a", "b\nc$\"\n");
    std::string crlf = RunWith("x = $\"a ", "b \nc$\" \n");
    EXPECT_EQ(lf, "s:a\nb\nc");
    EXPECT_EQ(crlf, lf);
}

TEST_F(MultilineTest, LongLiteralsKeepEveryLine)
{
    // Ten lines of 2000 characters: the text outgrows its first buffer twice.
    std::string following, expected = "a\n";
    for (int i = 0; i < 10; ++i) {
        std::string line(2000, static_cast<char>('b' + i));
        following += line + "\n";
        expected += line + "\n";
    }
    EXPECT_EQ(RunWith("x = $\"a", following + "end$\"\n"), "s:" + expected + "end");
}

TEST_F(MultilineTest, ContinuationLinesAreSubstitutedAndMarkerLinesSkipped)
{
    Exec({"v = \"V\""});
    EXPECT_EQ(RunWith("x = $\"a", "val=%v%\n;\x0C comment line\nend$\"\n"), "s:a\nval=V\nend");
}

TEST_F(MultilineTest, SingleColonIsAnErrorWithAHint)
{
    std::string statement = "x = $\"a:b";
    EXPECT_EQ(RunWith(statement, "c$\"\nafter\n"), "E3605");
    EXPECT_NE(ExtendedText().find("':'\nCheck for colons"), std::string::npos) << ExtendedText();
    EXPECT_EQ(std::string(line_), statement);      // the line where the literal began
    EXPECT_EQ(pos_, 4u);                           // the whole literal was passed over
}

TEST_F(MultilineTest, MissingCloseIsReportedOnTheOpeningLine)
{
    std::string statement = "x = $\"never closed";
    EXPECT_EQ(RunWith(statement, "line two\nline three\n"), "E3059");
    EXPECT_EQ(std::string(line_), statement);
    EXPECT_EQ(Var("x")->flags, static_cast<uint32_t>(VF_UNINIT));
}

TEST_F(MultilineTest, SingleLineThenContinuationsRepeatTheKeyword)
{
    ctx->front.nMultilinePrefix = KID_THEN;
    EXPECT_EQ(RunWith("x = $\"a", "Then b\nthen c$\"\n"), "s:a\nb\nc");
    EXPECT_EQ(RunWith("x = $\"a", "b$\"\n"), "E3054");
    ctx->front.nMultilinePrefix = 0;
}

TEST_F(MultilineTest, PassingOverAndFindingMarkers)
{
    SetScript("skipped ## text$\" rest\nnext\n");
    std::snprintf(line_, sizeof(line_), "y = \"$\\\"\" ; $\"");
    ctx->prog = line_;
    EXPECT_EQ(FindMultilineMarker(ctx), 0);        // one in quotes, one in a comment
    std::snprintf(line_, sizeof(line_), "if 0 then y = '$\"' : $\"x");
    ctx->prog = line_;
    ASSERT_EQ(FindMultilineMarker(ctx), 1);
    EXPECT_STREQ(ctx->prog, "x");
    EXPECT_EQ(ParseMultilineString(ctx, nullptr, site_), 1);
    EXPECT_STREQ(ctx->prog, " rest");
    EXPECT_EQ(pos_, 23u);
}

TEST_F(MultilineTest, LongContinuationLinesAreCutAndNoted)
{
    BuildScriptPermutation();
    std::string text = std::string(3000, 'x') + "\nnext\n";
    std::vector<uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    ScrambleBuffer(ctx, bytes.data(), bytes.size());
    char line[TEXTBUF];
    uint32_t pos = 0;
    uint16_t pending = 0;
    ASSERT_EQ(ReadContinuationLine(ctx, line, sizeof(line), bytes.data(), &pos, 0,
                                   static_cast<uint32_t>(text.size()), &pending), 1);
    EXPECT_EQ(std::strlen(line), 2049u);           // 2048 characters and the line feed
    EXPECT_EQ(pending, 3722);
    EXPECT_EQ(pos, 3001u);
    ASSERT_EQ(ReadContinuationLine(ctx, line, sizeof(line), bytes.data(), &pos, 0,
                                   static_cast<uint32_t>(text.size()), &pending), 1);
    EXPECT_STREQ(line, "next\n");
    EXPECT_EQ(ReadContinuationLine(ctx, line, sizeof(line), bytes.data(), &pos, 0,
                                   static_cast<uint32_t>(text.size()), &pending), 0);
}

}  // namespace
