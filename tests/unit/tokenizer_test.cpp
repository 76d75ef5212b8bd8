// The tokenizer: token kinds and texts, numbers and their errors, quoted literals, names
// and their creation, unary `&`, putback and bare words.
#include "front_fixture.h"

namespace {

class TokenizerTest : public FrontTest {
protected:
    std::vector<std::string> Tokens(const char* text);
};

// The tokens of a line as "kind:text" (keywords as "k<id>:text").
std::vector<std::string> TokenizerTest::Tokens(const char* text)
{
    std::vector<std::string> out;
    Start(text);
    for (int guard = 0; guard < 20 && !ctx->nErrorCode && ctx->nTokenKind != TK_END; ++guard) {
        std::string kind = ctx->nTokenKind == TK_KEYWORD ? "k" + std::to_string(ctx->delim_type)
                                                         : std::to_string(ctx->nTokenKind);
        out.push_back(kind + ":" + ctx->szToken);
        get_token(ctx);
    }
    if (ctx->nErrorCode)
        out.push_back("E" + std::to_string(ctx->nErrorCode));
    return out;
}

using V = std::vector<std::string>;

TEST_F(TokenizerTest, OperatorsTakeTheLongestKeyword)
{
    EXPECT_EQ(Tokens("a=b"), (V{"2:a", "k25:=", "2:b"}));
    EXPECT_EQ(Tokens("a==b<>c"), (V{"2:a", "k26:==", "2:b", "k24:<>", "2:c"}));
    EXPECT_EQ(Tokens("<<= << < **"), (V{"k22:<<=", "k21:<<", "k20:<", "k8:**"}));
    EXPECT_EQ(Tokens("x Mod= 2"), (V{"2:x", "k572:Mod=", "3:2"}));
    EXPECT_EQ(Tokens("x mod = 2"), (V{"2:x", "k571:mod", "k25:=", "3:2"}));
    EXPECT_EQ(Tokens("IF x THEN"), (V{"k522:IF", "2:x", "k731:THEN"}));
    EXPECT_EQ(Tokens("1 ; comment"), (V{"3:1"}));
    EXPECT_EQ(Tokens("$\"text"), (V{"6:$\"", "2:text"}));
}

TEST_F(TokenizerTest, Numbers)
{
    EXPECT_EQ(Tokens("12 1.5e-3 5. .5 1E+2"),
              (V{"3:12", "5:1.5e-3", "5:5.", "5:.5", "5:1E+2"}));
    EXPECT_EQ(Tokens("0x1F"), (V{"3:0", "2:x1f"}));
    EXPECT_EQ(Tokens("1.2.3"), (V{"E3338"}));
    EXPECT_EQ(Tokens("1e5e"), (V{"E3339"}));
    EXPECT_EQ(Tokens("1e+"), (V{"E3054"}));
    EXPECT_EQ(Tokens(". 5"), (V{"E3054"}));
}

TEST_F(TokenizerTest, QuotedLiterals)
{
    EXPECT_EQ(Tokens("\"say \"\"hi\"\"\""), (V{"4:say \"hi\""}));
    EXPECT_EQ(Tokens("'it''s' 'a\"b'"), (V{"4:it's", "4:a\"b"}));
    EXPECT_EQ(Tokens("`x'y\"z`"), (V{"4:x'y\"z"}));
    EXPECT_EQ(Tokens("\"no end ; here"), (V{"4:no end ; here"}));
    EXPECT_EQ(Tokens("x = 1 # 2"), (V{"2:x", "k25:=", "3:1", "E3054"}));
}

TEST_F(TokenizerTest, NamesAreLoweredAndCreatedOnFirstSight)
{
    std::string name30(30, 'v');
    Start("MyVar " + name30);
    EXPECT_EQ(ctx->nTokenKind, TK_NAME);
    EXPECT_STREQ(ctx->szToken, "myvar");
    const VariableEntry* v = Var("myvar");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->flags, static_cast<uint32_t>(VF_UNINIT));
    EXPECT_EQ(v->i32, -1);
    get_token(ctx);
    EXPECT_EQ(ctx->nErrorCode, 0);
    EXPECT_NE(Var(name30.c_str()), nullptr);

    Start(std::string(31, 'w'));
    EXPECT_EQ(ctx->nErrorCode, 3055);

    uint16_t used = ctx->nVarUsed;
    ctx->front.bNoCreate = 1;
    Start("ghost");     // Start reads with the flag still set
    EXPECT_EQ(ctx->nVarUsed, used);
    EXPECT_EQ(Var("ghost"), nullptr);
    EXPECT_EQ(ctx->front.bNoCreate, 0u);
}

TEST_F(TokenizerTest, FullTableIsError3097AndLeavesItUnchanged)
{
    ctx->nVarCapacity = 3;
    Start("a");
    Start("b");
    EXPECT_EQ(ctx->nErrorCode, 3097);
    EXPECT_EQ(ctx->nVarUsed, 2);
}

TEST_F(TokenizerTest, AmpersandBeforeAnOperandIsUnary)
{
    Start("f(&y");
    get_token(ctx);     // (
    EXPECT_EQ(get_token(ctx), 1);
    EXPECT_EQ(get_token(ctx), 0);
    const VariableEntry* y = Var("y");
    ASSERT_NE(y, nullptr);
    EXPECT_EQ(y->flags, static_cast<uint32_t>(VF_INT));     // created as integer -1
    EXPECT_EQ(y->i32, -1);

    Start("x & z");
    EXPECT_EQ(get_token(ctx), 0);
    EXPECT_EQ(Var("z"), nullptr);
}

TEST_F(TokenizerTest, PutbackReadsTheSameTokenAgain)
{
    for (const char* text : {"name rest", "\"a\"\"b\" rest", "<<= rest", "12.5 rest", "obj.member rest"}) {
        Start(text);
        std::string first = ctx->szToken;
        uint8_t kind = ctx->nTokenKind;
        char* after = ctx->prog;
        putback(ctx);
        EXPECT_EQ(ctx->prog, line_) << text;
        get_token(ctx);
        EXPECT_EQ(ctx->szToken, first) << text;
        EXPECT_EQ(ctx->nTokenKind, kind) << text;
        EXPECT_EQ(ctx->prog, after) << text;
    }

    // A persistent name is longer as a token than in the source: putback uses the source.
    ctx->front.bPersistentName = 1;
    Start("keep rest");
    ctx->front.bPersistentName = 0;
    EXPECT_STREQ(ctx->szToken, "?00__keep");
    EXPECT_EQ(ctx->prog, line_ + 4);
    putback(ctx);
    EXPECT_EQ(ctx->prog, line_);
}

TEST_F(TokenizerTest, BareWords)
{
    std::snprintf(line_, sizeof(line_), "  Label_1 rest");
    ctx->prog = line_;
    EXPECT_EQ(get_string_token(ctx), 0xFFFFFFFFu);
    EXPECT_STREQ(ctx->szToken, "Label_1");
    EXPECT_EQ(ctx->delim_type, KID_BARE_WORD);
    EXPECT_EQ(ctx->nTokenKind, TK_STRING);

    std::snprintf(line_, sizeof(line_), "   ; comment");
    ctx->prog = line_;
    EXPECT_EQ(get_string_token(ctx), static_cast<uint32_t>(';'));

    std::snprintf(line_, sizeof(line_), "!x");
    ctx->prog = line_;
    EXPECT_EQ(get_string_token(ctx), 3054u);
}

TEST_F(TokenizerTest, DisplayTextOfNamedVariables)
{
    Exec({"n = 42", "s = \"text\"", "f = 1.5", "a[1] = 7"});
    char buffer[64];
    struct { const char* name; const char* text; } cases[] = {
        {"N", "42"}, {"s", "text"}, {"f", "1.5"}, {"a", "<array>"}, {"a[1]", "7"}, {"a[0]", ""},
    };
    for (auto& c : cases) {
        EXPECT_NE(ValueToDisplayText(ctx, c.name, buffer, sizeof(buffer)), 0) << c.name;
        EXPECT_STREQ(buffer, c.text) << c.name;
    }
    EXPECT_EQ(ValueToDisplayText(ctx, "nothing", buffer, sizeof(buffer)), 0);
    EXPECT_EQ(ValueToDisplayText(ctx, "a[5]", buffer, sizeof(buffer)), 0);
    EXPECT_EQ(ctx->nErrorCode, 0);
}

}  // namespace
