// The built-in router: argument conversion by code, the width of a call, dispatch and its
// gaps, result tidying, the pending floating-point error, the host call form, and the
// built-ins served inside the dispatch.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "box_watch.h"
#include "engine/core/binding.h"
#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/core/operators.h"
#include "engine/core/router.h"
#include "engine/native/host_call.h"

namespace {

enum : uint32_t {
    ID_ABS = 255,
    ID_INTCONTROL = 535,
    ID_STRSUB = 716,
    ID_UACPROTECTEDDIRECTORY = 750,   // a keyword without a case
};

// ---------------------------------------------------------------- fixture

struct ContextDeleter {
    void operator()(BDS* ctx) const { std::free(ctx); }
};

class RouterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ctx_.reset(static_cast<BDS*>(std::calloc(1, sizeof(BDS))));
        heap_ = static_cast<char*>(VirtualAlloc(nullptr, kHeapSize, MEM_RESERVE | MEM_COMMIT,
                                                PAGE_READWRITE));
        ASSERT_NE(heap_, nullptr);
        ctx_->HeapBase = ctx_->HeapBaseSaved = heap_;
        FormatVmallocHeap(ctx_.get(), kHeapSize);
        ctx_->nDecimals = -1;
        ctx_->ErrorMode = EM_CANCEL;
        ctx_->nErrorOffset = 0xFFFFFFFF;
        ctx_->nUdfRunning = UDF_NONE_RUNNING;
        InitResultValue(ctx_.get(), &result_, VK_RECORD, 0);
    }

    void TearDown() override
    {
        ReleaseArgs();
        FreeValue(ctx_.get(), &result_, 0, VK_RECORD);
        if (ctx_->err.hExtended)
            GlobalFree(ctx_->err.hExtended);
        VirtualFree(heap_, 0, MEM_RELEASE);
        SetUnicodeMode(true);
    }

    BDS* ctx() { return ctx_.get(); }

    resultants& NextArg()
    {
        resultants& arg = args_[++argc_];
        InitResultValue(ctx(), &arg, VK_RECORD, 0);
        return arg;
    }
    void AddInt(int32_t value) { SetResultInt(ctx(), &NextArg(), value); }
    void AddFloat(double value) { SetResultFloat(ctx(), &NextArg(), value); }
    void AddText(const char* text) { ASSERT_TRUE(SetResultText(ctx(), &NextArg(), text)); }
    void AddWText(const wchar_t* text) { ASSERT_TRUE(SetResultWText(ctx(), &NextArg(), text)); }

    void ReleaseArgs()
    {
        for (int i = 1; i <= argc_; ++i)
            FreeValue(ctx(), &args_[i], 0, VK_RECORD);
        argc_ = 0;
    }

    // Calls keyword `id` with the arguments added so far and its own signature.
    int Call(uint32_t id) { return CallWith(id, g_KeywordTable[id].signature); }
    int CallWith(uint32_t id, uint64_t signature)
    {
        SetError(ctx(), 0);
        return CallBuiltinFunction(ctx(), "f", id, &result_, args_, 0, argc_, signature);
    }

    std::string ResultText() { return ValueText(ctx(), &result_); }
    std::wstring ResultWText() { return ValueWText(ctx(), &result_); }

    std::string ExtendedText()
    {
        if (!ctx_->err.hExtended)
            return "";
        auto* text = static_cast<const char*>(GlobalLock(ctx_->err.hExtended));
        std::string copy = text ? text : "";
        GlobalUnlock(ctx_->err.hExtended);
        return copy;
    }

    static constexpr SIZE_T kHeapSize = 1 << 20;
    std::unique_ptr<BDS, ContextDeleter> ctx_;
    char* heap_ = nullptr;
    resultants args_[17] = {};
    int argc_ = 0;
    resultants result_ = {};
};

// Puts a watching case in the place of an unserved id for the length of a test.
class WatchedCase {
public:
    WatchedCase(uint32_t id, BuiltinCase run) : id_(id), old_(ReplaceBuiltinCase(id, run))
    {
        calls = 0;
    }
    ~WatchedCase() { ReplaceBuiltinCase(id_, old_); }

    static inline int calls;
    static inline bool wide;
    static inline uint32_t flags[17];

    static void Record(BDS*, BuiltinCall& call)
    {
        ++calls;
        wide = call.wide;
        for (int i = 1; i <= call.argc; ++i)
            flags[i] = call.args[i].flags;
    }

private:
    uint32_t id_;
    BuiltinCase old_;
};

uint64_t Codes(std::initializer_list<uint32_t> codes)
{
    uint64_t signature = 0;
    int shift = 0;
    for (uint32_t code : codes) {
        signature |= uint64_t(code) << shift;
        shift += 4;
    }
    return signature;
}

// ---------------------------------------------------------------- argument conversion

TEST_F(RouterTest, ArgumentThatCannotBeANumberStopsTheCallWithItsNumberInTheExtendedText)
{
    // StrSub("abc", "x", 1): the router stops at argument 2 before looking for a case.
    AddText("abc");
    AddText("x");
    AddInt(1);
    EXPECT_EQ(Call(ID_STRSUB), 3057);
    EXPECT_EQ(ctx()->nErrorCode, 3057);
    EXPECT_NE(ExtendedText().find("Argument number 2 could not be converted"), std::string::npos)
        << ExtendedText();
}

TEST_F(RouterTest, FailingThirdArgumentNamesItAndTheCaseIsNotCalled)
{
    WatchedCase watch(ID_UACPROTECTEDDIRECTORY, WatchedCase::Record);
    AddInt(1);
    AddInt(2);
    AddText("three");
    EXPECT_EQ(CallWith(ID_UACPROTECTEDDIRECTORY, Codes({0, 0, 0})), 3057);
    EXPECT_EQ(WatchedCase::calls, 0);
    EXPECT_NE(ExtendedText().find("Argument number 3"), std::string::npos);
}

struct ConversionCase {
    const char* name;
    uint32_t code;
    enum { INT, FLOAT, TEXT, WTEXT } kind;
    const char* text;        // TEXT and WTEXT (as ASCII)
    double number;           // INT and FLOAT
    uint16_t error;          // expected error, 0 none
    uint32_t wantFlag;       // the form the argument must have gained
};

void PrintTo(const ConversionCase& c, std::ostream* os) { *os << c.name; }

class ConversionTest : public RouterTest, public ::testing::WithParamInterface<ConversionCase> {};

TEST_P(ConversionTest, ArgumentGainsTheFormItsCodeAsksFor)
{
    const ConversionCase& c = GetParam();
    WatchedCase watch(ID_UACPROTECTEDDIRECTORY, WatchedCase::Record);
    switch (c.kind) {
    case ConversionCase::INT: AddInt(static_cast<int32_t>(c.number)); break;
    case ConversionCase::FLOAT: AddFloat(c.number); break;
    case ConversionCase::TEXT: AddText(c.text); break;
    case ConversionCase::WTEXT: {
        std::wstring wide(c.text, c.text + strlen(c.text));
        AddWText(wide.c_str());
        break;
    }
    }
    int answer = CallWith(ID_UACPROTECTEDDIRECTORY, Codes({c.code}));
    EXPECT_EQ(answer, c.error);
    EXPECT_EQ(ctx()->nErrorCode, c.error);
    if (!c.error) {
        EXPECT_EQ(WatchedCase::calls, 1);
        EXPECT_TRUE(WatchedCase::flags[1] & c.wantFlag) << std::hex << WatchedCase::flags[1];
    } else {
        EXPECT_EQ(WatchedCase::calls, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ConversionTest,
    ::testing::Values(
        ConversionCase{"IntFromText", AT_INT, ConversionCase::TEXT, " -12", 0, 0, VF_INT},
        ConversionCase{"IntFromFloat", AT_INT, ConversionCase::FLOAT, nullptr, 3.7, 0, VF_INT},
        ConversionCase{"IntFromFloatText", AT_INT, ConversionCase::TEXT, "1.5", 0, 0, VF_INT},
        ConversionCase{"IntFromWord", AT_INT, ConversionCase::TEXT, "abc", 0, 3057, 0},
        ConversionCase{"Code12IsInt", 12, ConversionCase::TEXT, "7", 0, 0, VF_INT},
        ConversionCase{"WideIntTo64", AT_INT_WIDE, ConversionCase::TEXT, "3000000000", 0, 0,
                       VF_INT64},
        ConversionCase{"Int64FromText", AT_INT64, ConversionCase::TEXT,
                       "9223372036854775807", 0, 0, VF_INT64},
        ConversionCase{"Int64FromWord", AT_INT64, ConversionCase::TEXT, "x", 0, 3057, 0},
        ConversionCase{"TextFromInt", AT_STRING, ConversionCase::INT, nullptr, 5, 0, VF_STRING},
        ConversionCase{"TextFromWide", AT_STRING, ConversionCase::WTEXT, "abc", 0, 0, VF_STRING},
        ConversionCase{"FloatFromText", AT_FLOAT, ConversionCase::TEXT, "2.5", 0, 0, VF_FLOAT},
        ConversionCase{"FloatFromWord", AT_FLOAT, ConversionCase::TEXT, "abc", 0, 3340, 0},
        ConversionCase{"ArrayFromInt", AT_ARRAY, ConversionCase::INT, nullptr, 1, 3650, 0},
        ConversionCase{"VariantFromInt", AT_VARIANT, ConversionCase::INT, nullptr, 1, 3732, 0},
        ConversionCase{"WideFromInt", AT_WSTRING, ConversionCase::INT, nullptr, 5, 0, VF_UNICODE},
        ConversionCase{"ModeIsWide", AT_STRING_MODE, ConversionCase::TEXT, "a", 0, 0,
                       VF_UNICODE},
        ConversionCase{"AnyUntouched", AT_ANY, ConversionCase::INT, nullptr, 1, 0, VF_INT}),
    [](const ::testing::TestParamInfo<ConversionCase>& info) { return info.param.name; });

TEST_F(RouterTest, OneWideTextMakesTheWholeCallWide)
{
    WatchedCase watch(ID_UACPROTECTEDDIRECTORY, WatchedCase::Record);
    AddText("narrow");
    AddWText(L"wide");
    ASSERT_EQ(CallWith(ID_UACPROTECTEDDIRECTORY, Codes({AT_STRING_ANY, AT_STRING_ANY})), 0);
    EXPECT_TRUE(WatchedCase::wide);
    EXPECT_TRUE(WatchedCase::flags[1] & VF_UNICODE);
    EXPECT_TRUE(WatchedCase::flags[2] & VF_UNICODE);
}

TEST_F(RouterTest, BothWidthsCodeStaysNarrowOutsideUnicodeMode)
{
    WatchedCase watch(ID_UACPROTECTEDDIRECTORY, WatchedCase::Record);
    SetUnicodeMode(false);
    AddText("narrow");
    AddWText(L"wide");
    ASSERT_EQ(CallWith(ID_UACPROTECTEDDIRECTORY, Codes({AT_STRING_BOTH, AT_STRING_BOTH})), 0);
    EXPECT_FALSE(WatchedCase::wide);
    EXPECT_TRUE(WatchedCase::flags[1] & VF_STRING);
    EXPECT_TRUE(WatchedCase::flags[2] & VF_STRING);
    EXPECT_FALSE(WatchedCase::flags[1] & VF_UNICODE);
}

TEST_F(RouterTest, WideOnlyBuiltinsNeedUnicodeMode)
{
    EXPECT_TRUE(WideFormAvailable(ctx()));
    EXPECT_EQ(ctx()->nErrorCode, 0);
    SetUnicodeMode(false);
    EXPECT_FALSE(WideFormAvailable(ctx()));
    EXPECT_EQ(ctx()->nErrorCode, 1193);
}

TEST_F(RouterTest, NoConversionFlagPassesArgumentsAsTheyAre)
{
    WatchedCase watch(ID_UACPROTECTEDDIRECTORY, WatchedCase::Record);
    AddText("abc");
    ASSERT_EQ(CallBuiltinFunction(ctx(), "f", ID_UACPROTECTEDDIRECTORY, &result_, args_, 1, 0,
                                  Codes({AT_INT})),
              0);
    EXPECT_EQ(WatchedCase::calls, 1);
    EXPECT_EQ(args_[1].flags, VF_STRING);
}

// ---------------------------------------------------------------- dispatch and tidying

TEST_F(RouterTest, IdsWithoutACaseAreNotDefined)
{
    for (uint32_t id : {uint32_t(ID_UACPROTECTEDDIRECTORY), 31u, 32u, 35u, 999u, 2000u, 5000u, 20000u}) {
        EXPECT_EQ(CallWith(id, 0), 0) << id;
        EXPECT_EQ(ctx()->nErrorCode, 3046) << id;
    }
}

TEST_F(RouterTest, NumberResultLosesTheTextTheCaseLeftBeside_it)
{
    WatchedCase watch(ID_UACPROTECTEDDIRECTORY, [](BDS* ctx, BuiltinCall& call) {
        SetResultText(ctx, call.result, "made on the way");
        call.result->i32 = 42;
        call.result->flags |= VF_INT;
    });
    ASSERT_EQ(CallWith(ID_UACPROTECTEDDIRECTORY, 0), 0);
    EXPECT_EQ(result_.flags, VF_INT);
    EXPECT_EQ(result_.str, 0u);
    EXPECT_EQ(result_.i32, 42);
}

TEST_F(RouterTest, PendingFloatingPointErrorBecomesTheCallsError)
{
    WatchedCase watch(ID_UACPROTECTEDDIRECTORY, [](BDS* ctx, BuiltinCall& call) {
        SetResultFloat(ctx, call.result, 1.0);
        nPendingMathError = 1342;
    });
    EXPECT_EQ(CallWith(ID_UACPROTECTEDDIRECTORY, 0), 1342);
    EXPECT_EQ(ctx()->nErrorCode, 1342);
    EXPECT_EQ(nPendingMathError, 0u);
}

TEST(NarrowInt64Result, KeepsSixtyFourBitsOnlyWhenNeeded)
{
    struct Case { int64_t value; uint32_t flags; int32_t i32; } cases[] = {
        {5, VF_INT, 5},
        {-2147483648LL, VF_INT, INT32_MIN},
        {2147483647LL, VF_INT, INT32_MAX},
        {2147483648LL, VF_INT64, 0},
        {-2147483649LL, VF_INT64, 0},
    };
    for (const Case& c : cases) {
        resultants r{};
        r.i64 = c.value;
        r.flags = VF_INT64 | VF_INT;
        NarrowInt64Result(&r);
        EXPECT_EQ(r.flags, c.flags) << c.value;
        if (c.flags == VF_INT)
            EXPECT_EQ(r.i32, c.i32);
        else
            EXPECT_EQ(r.i64, c.value);
    }
}

// ---------------------------------------------------------------- built-ins served here

struct InlineCase {
    const char* call;            // for the report
    uint32_t id;
    std::vector<std::string> args;   // "#n" an integer, "%x" a float, "w:" a wide text
    uint16_t error;
    uint32_t flags;              // result flags expected (0: not checked)
    std::string text;            // expected text, or the expected number as text
};

void PrintTo(const InlineCase& c, std::ostream* os) { *os << c.call; }

class InlineBuiltinTest : public RouterTest, public ::testing::WithParamInterface<InlineCase> {};

TEST_P(InlineBuiltinTest, AnswersAsDocumented)
{
    const InlineCase& c = GetParam();
    for (const std::string& a : c.args) {
        if (a.rfind("#", 0) == 0)
            AddInt(std::atoi(a.c_str() + 1));
        else if (a.rfind("%", 0) == 0)
            AddFloat(std::atof(a.c_str() + 1));
        else if (a.rfind("w:", 0) == 0)
            AddWText(std::wstring(a.begin() + 2, a.end()).c_str());
        else
            AddText(a.c_str());
    }
    Call(c.id);
    ASSERT_EQ(ctx()->nErrorCode, c.error) << c.call;
    if (c.error)
        return;
    if (c.flags) {
        EXPECT_EQ(result_.flags, c.flags) << c.call;
    }
    if (result_.flags & VF_INT64)
        EXPECT_EQ(std::to_string(result_.i64), c.text) << c.call;
    else if (result_.flags & VF_INT)
        EXPECT_EQ(std::to_string(result_.i32), c.text) << c.call;
    else
        EXPECT_EQ(ResultText(), c.text) << c.call;
}

INSTANTIATE_TEST_SUITE_P(
    Calls, InlineBuiltinTest,
    ::testing::Values(
        InlineCase{"Abs(-5)", 255, {"#-5"}, 0, VF_INT, "5"},
        InlineCase{"Abs(-2147483648)", 255, {"#-2147483648"}, 0, VF_INT, "-2147483648"},
        InlineCase{"Char2Num(\"A\")", 358, {"A"}, 0, VF_INT, "65"},
        InlineCase{"Char2Num(\"\")", 358, {""}, 0, VF_INT, "0"},
        InlineCase{"Num2Char(66)", 582, {"#66"}, 0, VF_STRING, "B"},
        InlineCase{"Num2Char(322)", 582, {"#322"}, 0, VF_STRING, "B"},
        InlineCase{"Int(\"2.5\")", 533, {"2.5"}, 0, VF_INT, "3"},
        InlineCase{"Int64(\"9223372036854775807\")", 534, {"9223372036854775807"}, 0,
                   VF_INT64, "9223372036854775807"},
        InlineCase{"Int64(-7)", 534, {"#-7"}, 0, VF_INT64, "-7"},
        InlineCase{"IsInt(\"1.5\")", 538, {"1.5"}, 0, VF_INT, "0"},
        InlineCase{"IsInt(\"  -12\")", 538, {"  -12"}, 0, VF_INT, "1"},
        InlineCase{"IsInt(7)", 538, {"#7"}, 0, VF_INT, "1"},
        InlineCase{"IsNumber(\"1e3\")", 541, {"1e3"}, 0, VF_INT, "1"},
        InlineCase{"IsNumber(\"abc\")", 541, {"abc"}, 0, VF_INT, "0"},
        InlineCase{"IsFloat(\"2.5\")", 537, {"2.5"}, 0, VF_INT, "1"},
        InlineCase{"IsFloat(w:\"2.5\")", 537, {"w:2.5"}, 0, VF_INT, "1"},
        InlineCase{"StrByteCount(\"abc\",1)", 692, {"abc", "#1"}, 0, VF_INT, "6"},
        InlineCase{"StrByteCount(\"abc\",0)", 692, {"abc", "#0"}, 0, VF_INT, "3"},
        InlineCase{"StrByteCount(\"abc\",-1)", 692, {"abc", "#-1"}, 0, VF_INT, "3"},
        InlineCase{"StrByteCount(w:\"abc\",-1)", 692, {"w:abc", "#-1"}, 0, VF_INT, "6"},
        InlineCase{"StrByteCount(w:\"abcd\",0)", 692, {"w:abcd", "#0"}, 0, VF_INT, "4"},
        InlineCase{"StrByteCount(\"abc\",2)", 692, {"abc", "#2"}, 1809, 0, ""},
        InlineCase{"WinConfig()", 764, {}, 0, VF_INT, "45"},
        InlineCase{"RunExit(\"a\",\"b\")", 659, {"a", "b"}, 3252, 0, ""},
        InlineCase{"Int(\"x\")", 533, {"x"}, 3057, 0, ""}),
    [](const ::testing::TestParamInfo<InlineCase>& info) {
        return "Case" + std::to_string(info.index);
    });

TEST_F(RouterTest, DecimalsAnswersTheOldValueAndClampsTheNewOne)
{
    struct Step { int32_t given; int32_t stored; } steps[] = {
        {12, 8}, {-7, -1}, {-3, -3}, {0, 0}, {5, 5},
    };
    int32_t previous = ctx()->nDecimals;
    for (const Step& s : steps) {
        AddInt(s.given);
        Call(390);
        ReleaseArgs();
        EXPECT_EQ(result_.i32, previous) << s.given;
        EXPECT_EQ(ctx()->nDecimals, s.stored) << s.given;
        previous = s.stored;
    }
}

TEST_F(RouterTest, SwitchesAnswerTheirPreviousSetting)
{
    struct Step { uint32_t id; int32_t given; uint32_t BDS::*field; uint32_t stored; } steps[] = {
        {450, 5, &BDS::ErrorMode, EM_NOTIFY},
        {450, 0, &BDS::ErrorMode, EM_OFF},
        {450, 1, &BDS::ErrorMode, EM_CANCEL},
        {689, 7, &BDS::bSounds, 1},
        {689, 0, &BDS::bSounds, 0},
    };
    for (const Step& s : steps) {
        uint32_t before = ctx()->*s.field;
        AddInt(s.given);
        Call(s.id);
        ReleaseArgs();
        EXPECT_EQ(static_cast<uint32_t>(result_.i32), before);
        EXPECT_EQ(ctx()->*s.field, s.stored);
    }
}

TEST_F(RouterTest, LastErrorLooksBehindErrorsThatOnlyPointElsewhere)
{
    ctx()->nLastError = 1003;
    Call(556);
    EXPECT_EQ(result_.i32, 1003);
    EXPECT_EQ(ctx()->nLastError, 0u);

    ctx()->nLastError = 2214;
    ctx()->nErrorDetail = 1234;
    Call(556);
    EXPECT_EQ(result_.i32, 1234);
    EXPECT_EQ(ctx()->nErrorDetail, 0u);
}

TEST_F(RouterTest, GetTickCount64NeedsTheSystemFunctionTheSetUpFound)
{
    Call(515);
    EXPECT_EQ(ctx()->nErrorCode, 1193);

    ctx()->eng.api.pfnGetTickCount64 = reinterpret_cast<PfnGetTickCount64>(
        GetProcAddress(GetModuleHandleA("KERNEL32.DLL"), "GetTickCount64"));
    Call(515);
    EXPECT_EQ(ctx()->nErrorCode, 0);
    EXPECT_EQ(result_.flags, VF_INT64);
    EXPECT_GT(result_.i64, 0);
}

TEST_F(RouterTest, ButtonNamesKeepsBothWidthsCutToTheirFields)
{
    AddText("&Yes please");
    AddText("A caption far longer than its field");
    Call(353);
    EXPECT_EQ(result_.i32, 1);
    const ButtonCaptions& b = ctx()->eng.buttons;
    EXPECT_EQ(b.bWideSet, 1u);
    EXPECT_EQ(b.bNarrowSet, 1u);
    EXPECT_STREQ(b.narrow[0], "&Yes please");
    EXPECT_STREQ(b.wide[0], L"&Yes please");
    EXPECT_EQ(strlen(b.narrow[1]), size_t(BUTTON_CAPTION_SIZE - 1));
    EXPECT_EQ(wcslen(b.wide[1]), size_t(BUTTON_CAPTION_SIZE - 1));
}

// ---------------------------------------------------------------- boxes

// Tests that show a box run with the desktop to themselves (tests/CMakeLists.txt).
using RouterBoxTest = RouterTest;

TEST_F(RouterBoxTest, MessageShowsItsTitleAndTextAndAnswersOne)
{
    BoxWatch watch("Greeting", IDOK);
    AddText("Greeting");
    AddText("Hello there");
    Call(569);
    const BoxSeen& seen = watch.Result();
    ASSERT_TRUE(seen.found);
    ASSERT_FALSE(seen.texts.empty());
    EXPECT_EQ(seen.texts[0], "Hello there");
    EXPECT_EQ(ctx()->nErrorCode, 0);
    EXPECT_EQ(result_.i32, 1);
}

TEST_F(RouterTest, TerminateGoesOnForFalseAndStopsQuietlyWithoutTexts)
{
    AddInt(0);
    AddText("Title");
    AddText("Text");
    Call(726);
    EXPECT_EQ(ctx()->nErrorCode, 0);
    EXPECT_EQ(result_.i32, 1);
    ReleaseArgs();

    BoxWatch none(nullptr, 0, 1500);
    AddInt(1);
    AddText("");
    AddText("");
    Call(726);
    EXPECT_EQ(ctx()->nErrorCode, CC_STOP_QUIET);
    EXPECT_EQ(result_.i32, 0);
    EXPECT_FALSE(none.Result().found);
}

TEST_F(RouterBoxTest, TerminateWithATextShowsItAndStops)
{
    BoxWatch watch("Leaving", IDOK);
    AddInt(1);
    AddText("Leaving");
    AddWText(L"Goodbye");
    Call(726);
    const BoxSeen& seen = watch.Result();
    ASSERT_TRUE(seen.found);
    ASSERT_FALSE(seen.texts.empty());
    EXPECT_EQ(seen.texts[0], "Goodbye");
    EXPECT_EQ(ctx()->nErrorCode, CC_STOP_QUIET);
}

TEST_F(RouterTest, BoxesOfQuietModeAreKeptNotShown)
{
    ctx()->err.bQuietMode = 1;
    BoxWatch none(nullptr, 0, 1500);
    AddInt(1);
    AddText("Quiet title");
    AddText("Quiet text");
    Call(726);
    EXPECT_EQ(ctx()->nErrorCode, CC_STOP_QUIET);
    EXPECT_STREQ(ctx()->err.szQuietText, "Quiet text");
    EXPECT_STREQ(ctx()->err.szQuietTitle, "Quiet title");
    EXPECT_FALSE(none.Result().found);
}

// ---------------------------------------------------------------- INI built-ins

class IniTest : public RouterTest {
protected:
    void SetUp() override
    {
        RouterTest::SetUp();
        char dir[MAX_PATH];
        GetTempPathA(sizeof dir, dir);
        GetTempFileNameA(dir, "ini", 0, path_);
    }
    void TearDown() override
    {
        DeleteFileA(path_);
        RouterTest::TearDown();
    }
    int Ini(uint32_t id, std::initializer_list<const char*> texts)
    {
        ReleaseArgs();
        for (const char* t : texts)
            AddText(t);
        AddText(path_);
        return Call(id);
    }
    char path_[MAX_PATH] = {};
};

TEST_F(IniTest, PrivateFileRoundTrip)
{
    Ini(531, {"Settings", "TextFile", "log.txt"});
    EXPECT_NE(result_.i32, 0);
    Ini(531, {"Settings", "Other", "x"});
    Ini(529, {"Settings", "TextFile", "none"});
    EXPECT_EQ(ResultText(), "log.txt");
    Ini(529, {"Settings", "Missing", ""});
    EXPECT_EQ(ResultText(), "");

    Ini(525, {"Settings", "TextFile"});
    EXPECT_EQ(result_.i32, 0);
    Ini(529, {"Settings", "TextFile", "gone"});
    EXPECT_EQ(ResultText(), "gone");
    Ini(529, {"Settings", "Other", "gone"});
    EXPECT_EQ(ResultText(), "x");

    Ini(525, {"Settings", "692837"});   // @wholesection
    Ini(529, {"Settings", "Other", "gone"});
    EXPECT_EQ(ResultText(), "gone");
}

TEST_F(IniTest, DeviceEntryOf386EnhIsRefused)
{
    Ini(529, {"386enh", "device", ""});
    EXPECT_EQ(ctx()->nErrorCode, 1335);
    Ini(531, {"386Enh", "Device", "x"});
    EXPECT_EQ(ctx()->nErrorCode, 1335);
}

// IniWrite tells every top-level window of the change; a window whose thread has stopped
// answering costs at most the broadcast's time-out, never the script's run.
TEST_F(IniTest, IniWriteIsNotHeldByAHungWindow)
{
    HANDLE created = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread hung([created, release] {
        HWND window = CreateWindowA("STATIC", "kv hung window", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                    nullptr, nullptr, nullptr);
        SetEvent(created);
        WaitForSingleObject(release, 60000);   // no messages are taken meanwhile
        DestroyWindow(window);
    });
    WaitForSingleObject(created, 10000);

    std::string section = "kvtest hung " + std::to_string(GetCurrentProcessId());
    ReleaseArgs();
    AddText(section.c_str());
    AddText("Key");
    AddText("Value");
    DWORD start = GetTickCount();
    Call(530);   // IniWrite
    DWORD elapsed = GetTickCount() - start;
    SetEvent(release);
    hung.join();
    CloseHandle(created);
    CloseHandle(release);

    EXPECT_EQ(ctx()->nErrorCode, 0);
    EXPECT_EQ(result_.i32, 1);
    EXPECT_LT(elapsed, 30000u) << "the broadcast waited for the hung window";
    char value[16] = {};
    GetProfileStringA(section.c_str(), "Key", "", value, sizeof value);
    EXPECT_STREQ(value, "Value");
    WriteProfileStringA(section.c_str(), nullptr, nullptr);
}

// ---------------------------------------------------------------- host call form

// A host that answers the way the launcher does; what it saw is kept for the test.
struct FakeHost {
    static inline int32_t code;
    static inline int32_t count;
    static inline std::vector<std::string> texts;
    static inline std::vector<std::wstring> wides;
    static inline std::vector<uint32_t> flags;
    static inline int32_t status;          // what the host answers
    static inline ExtArgRecord answer;     // handed to VezudAnswer when status >= 0
    static inline std::string errorText;   // handed to VezudAnswer when status < 0
    static inline int calls;
    static inline std::string directory;   // written into an idle hook's directory buffer

    static void Reset()
    {
        directory.clear();
        code = count = 0;
        texts.clear();
        wides.clear();
        flags.clear();
        status = 0;
        answer = {};
        errorText.clear();
        calls = 0;
    }

    static int32_t Command(HWND, HINSTANCE, uint32_t word, int32_t request, void* answerFunction,
                           void* answerContext, void*, ExtArgRecord* args, int32_t argCount,
                           ExtArgRecord*)
    {
        ++calls;
        EXPECT_EQ(word, HOST_CALL_INTERFACE_WORD);
        code = request;
        count = argCount;
        for (int i = 0; i < argCount; ++i) {
            texts.push_back(args[i].text ? args[i].text : "<null>");
            wides.push_back((args[i].flags & VF_UNICODE) && args[i].wtext ? args[i].wtext : L"<none>");
            flags.push_back(args[i].flags);
        }
        auto answerFn = reinterpret_cast<decltype(&VezudAnswer)>(answerFunction);
        if (request == HOST_NOTIFY_IDLE && argCount > 1 && !directory.empty())
            strcpy(const_cast<char*>(args[argCount - 1].text), directory.c_str());
        if (request < 0)
            return 0;   // notifications are not answered
        if (status >= 0)
            return answerFn(status, HOST_CALL_INTERFACE_WORD, answerContext, &answer);
        if (errorText.empty())
            return status;
        ExtArgRecord error{};
        error.flags = VF_STRING;
        error.text = errorText.c_str();
        return answerFn(status, HOST_CALL_INTERFACE_WORD, answerContext, &error);
    }
};

KeywordRecord HostRecord(uint32_t position, const char* name)
{
    KeywordRecord r{};
    r.id = position;
    r.type = KT_FUNCTION;
    r.signature = 0x11111;
    r.nameLength = static_cast<uint16_t>(strlen(name));
    strncpy(r.name, name, sizeof r.name - 1);
    return r;
}

class HostCallTest : public RouterTest {
protected:
    void SetUp() override
    {
        RouterTest::SetUp();
        FakeHost::Reset();
        ctx()->pfnParentCommand = &FakeHost::Command;
        for (uint32_t i = 0; i < 28; ++i)
            table_.push_back(HostRecord(i, ("box" + std::to_string(i)).c_str()));
        table_.push_back(HostRecord(28, "intcontrol"));
        table_.push_back(KeywordRecord{9999, 0, 0, 0, 0, {}});
        ctx()->pHostKeywords = table_.data();
    }
    std::vector<KeywordRecord> table_;
};

// The host reads its records in the form of interface 4: a wide text reaches it whole (an
// ANSI copy would put "?" in place of letters outside the code page).
TEST_F(HostCallTest, HostFunctionGetsItsPositionAndTextsWhole)
{
    FakeHost::answer.flags = VF_STRING;
    FakeHost::answer.text = "from the host";
    AddText("one");
    AddWText(L"\u039A\u03B1");
    ASSERT_EQ(CallWith(1012, 0x11), 0);
    EXPECT_EQ(FakeHost::code, 12);
    ASSERT_EQ(FakeHost::count, 2);
    EXPECT_EQ(FakeHost::texts[0], "one");
    EXPECT_NE(FakeHost::flags[1] & VF_UNICODE, 0u);
    EXPECT_EQ(FakeHost::wides[1], L"\u039A\u03B1");
    EXPECT_EQ(ResultText(), "from the host");
}

TEST_F(HostCallTest, AnswersOfEachKindLandInTheResult)
{
    FakeHost::answer.flags = VF_INT;
    FakeHost::answer.i32 = 77;
    CallWith(1001, 0);
    EXPECT_EQ(result_.flags, VF_INT);
    EXPECT_EQ(result_.i32, 77);

    FakeHost::answer = {};
    FakeHost::answer.flags = VF_UNICODE;
    FakeHost::answer.wtext = L"wide answer";
    CallWith(1001, 0);
    EXPECT_EQ(ResultWText(), L"wide answer");

    FakeHost::answer = {};   // no form at all: the answer cannot be kept
    CallWith(1001, 0);
    EXPECT_EQ(ctx()->nErrorCode, 3210);

    FakeHost::answer = {};   // an object answer that holds no interface
    FakeHost::answer.flags = VF_VARIANT | VF_COMOBJ;
    FakeHost::answer.var.vt = VT_I4;
    FakeHost::answer.var.lVal = 5;
    CallWith(1001, 0);
    EXPECT_EQ(ctx()->nErrorCode, 3210);
    EXPECT_EQ(result_.flags & VF_VARIANT, 0u);
}

TEST_F(HostCallTest, StatusesBecomeErrorsAndControlCodes)
{
    struct Case { int32_t status; uint16_t error; } cases[] = {
        {-5, 9999}, {-6, 9012}, {-7, 1643}, {-4, 3210},
    };
    for (const Case& c : cases) {
        FakeHost::status = c.status;
        CallWith(1001, 0);
        EXPECT_EQ(ctx()->nErrorCode, c.error) << c.status;
    }
}

TEST_F(HostCallTest, MinorErrorUnderErrorModeOffIsRecordedWithoutABox)
{
    ctx()->ErrorMode = EM_OFF;
    FakeHost::status = -1;
    FakeHost::errorText = "10139: IntControl: Unrecognized Request";
    CallWith(1001, 0);
    EXPECT_EQ(ctx()->nErrorCode, 1213);
    EXPECT_EQ(ctx()->nErrorDetail, 10139u);
    EXPECT_STREQ(ctx()->host.szExtErrorText, "10139: IntControl: Unrecognized Request");
}

TEST_F(HostCallTest, TrappedErrorKeepsItsNumberForTheScriptsHandler)
{
    ctx()->run.nErrorHandlerMode = TRAP_GOTO;
    FakeHost::status = -2;
    FakeHost::errorText = "1234: boom";
    CallWith(1001, 0);
    EXPECT_EQ(ctx()->nErrorCode, 2214);
    EXPECT_EQ(ctx()->nErrorDetail, 1234u);

    FakeHost::status = -9;   // below -3: severe, out of memory
    FakeHost::errorText = "nothing";
    CallWith(1001, 0);
    EXPECT_EQ(ctx()->nErrorCode, 3210);
    EXPECT_EQ(ctx()->nErrorDetail, 999u);
}

using HostCallBoxTest = HostCallTest;

TEST_F(HostCallBoxTest, ShownErrorCarriesTheHostsTextAndTheChoiceToGoOn)
{
    ctx()->ErrorMode = EM_NOTIFY;
    FakeHost::status = -2;
    FakeHost::errorText = "10142: ExtractAttachedFile: Target file name must be specified";
    BoxWatch watch(nullptr, IDOK);   // Continue
    CallWith(1035, 0);
    const BoxSeen& seen = watch.Result();
    ASSERT_TRUE(seen.found);
    bool textShown = false;
    for (const std::string& t : seen.texts)
        textShown |= t.find("ZAL Extender Error:  10142: ExtractAttachedFile") == 0;
    EXPECT_TRUE(textShown);
    EXPECT_EQ(ctx()->nErrorCode, CC_EXTENDER_SHOWN);
    EXPECT_EQ(ctx()->run.bGoOn, 1u);
    EXPECT_EQ(ctx()->nLastError, 2214u);
    EXPECT_EQ(ctx()->nErrorDetail, 10142u);
}

TEST_F(HostCallBoxTest, SevereErrorStopsAfterItsBox)
{
    FakeHost::status = -3;
    FakeHost::errorText = "10102: Kelvoran - Unrecognized ParentProcess request code";
    BoxWatch watch(nullptr, IDOK);
    CallWith(1001, 0);
    EXPECT_TRUE(watch.Result().found);
    EXPECT_EQ(ctx()->nErrorCode, CC_EXTENDER_SHOWN);
    EXPECT_EQ(ctx()->run.bGoOn, 0u);
}

TEST_F(HostCallTest, WithoutAHostAHostFunctionIsNotDefinedAndNotificationsAreDropped)
{
    ctx()->pfnParentCommand = nullptr;
    CallWith(1001, 0);
    EXPECT_EQ(ctx()->nErrorCode, 3046);
    ctx()->nErrorCode = 0;
    EXPECT_EQ(NotifyHost(ctx(), HOST_NOTIFY_IDLE, "1"), 1);
    EXPECT_EQ(ctx()->nErrorCode, 0);
}

TEST_F(HostCallTest, NotificationPassesFiveTextsUnderItsNegativeCode)
{
    EXPECT_EQ(NotifyHost(ctx(), HOST_NOTIFY_SOURCE, "file.zal", "1"), 1);
    EXPECT_EQ(FakeHost::code, -5);
    ASSERT_EQ(FakeHost::count, 5);
    EXPECT_EQ(FakeHost::texts[0], "file.zal");
    EXPECT_EQ(FakeHost::texts[1], "1");
    EXPECT_EQ(FakeHost::texts[4], "");
}

TEST_F(HostCallTest, IdleHookHandsTheHostADirectoryBuffer)
{
    FakeHost::directory = "C:\\windows";
    char directory[MAX_PATH] = "stale";
    EXPECT_EQ(HostIdleHook(ctx(), directory, sizeof directory), 1);
    EXPECT_EQ(FakeHost::code, -1);
    ASSERT_EQ(FakeHost::count, 2);
    EXPECT_EQ(FakeHost::texts[0], "1");
    EXPECT_STREQ(directory, "C:\\windows");

    ctx()->pfnParentCommand = nullptr;
    EXPECT_EQ(HostIdleHook(ctx(), directory, sizeof directory), 0);
}

TEST_F(HostCallTest, IntControlRequestsOfTheHostGoToItsRecordByName)
{
    FakeHost::answer.flags = VF_STRING;
    FakeHost::answer.text = "C:\\dir\\prog.exe";
    AddInt(1004);
    for (int i = 0; i < 4; ++i)
        AddText("0");
    Call(ID_INTCONTROL);
    EXPECT_EQ(ctx()->nErrorCode, 0);
    EXPECT_EQ(FakeHost::code, 28);
    ASSERT_EQ(FakeHost::count, 5);
    EXPECT_EQ(FakeHost::texts[0], "1004");
    EXPECT_EQ(FakeHost::texts[1], "0");
    EXPECT_EQ(ResultText(), "C:\\dir\\prog.exe");
}

TEST_F(HostCallTest, IntControlWithoutAHostRecordIsAnInvalidOpcode)
{
    table_[28] = HostRecord(28, "intcontrolx");
    AddInt(1011);
    for (int i = 0; i < 4; ++i)
        AddText("0");
    Call(ID_INTCONTROL);
    EXPECT_EQ(ctx()->nErrorCode, 3171);
    EXPECT_EQ(FakeHost::calls, 0);
    EXPECT_EQ(result_.flags & VF_STRING, VF_STRING);
    EXPECT_EQ(ResultText(), "");
}

// ---------------------------------------------------------------- the served ids

TEST(BuiltinTable, EveryRowServesOneFunctionKeywordOnce)
{
    int familyCount = 0;
    const BuiltinFamily* const* families = BuiltinFamilies(&familyCount);
    std::vector<const char*> owner(NKEYTOKENS, nullptr);
    for (int f = 0; f < familyCount; ++f) {
        for (int i = 0; i < families[f]->count; ++i) {
            uint16_t id = families[f]->rows[i].id;
            ASSERT_LT(id, NKEYTOKENS) << families[f]->name;
            EXPECT_TRUE(g_KeywordTable[id].type == KT_FUNCTION ||
                        g_KeywordTable[id].type == KT_SPECIAL)
                << g_KeywordTable[id].name;
            EXPECT_EQ(owner[id], nullptr) << g_KeywordTable[id].name << " served by "
                                          << owner[id] << " and " << families[f]->name;
            owner[id] = families[f]->name;
        }
    }
    // Keywords that have no case by design.
    for (uint32_t id : {31u, 32u, 35u, 750u})
        EXPECT_EQ(owner[id], nullptr) << g_KeywordTable[id].name;
}

// Lists which built-in functions are served and which still answer 3046, so the gaps are
// visible in the test log.
TEST(BuiltinTable, ListsServedAndUnservedFunctions)
{
    const BuiltinCase* table = BuiltinCaseTable();
    int served = 0, total = 0;
    std::string unserved;
    for (uint32_t id = 0; id < NKEYTOKENS; ++id) {
        if (g_KeywordTable[id].type != KT_FUNCTION || id == KID_RESERVED)
            continue;
        ++total;
        if (table[id]) {
            ++served;
        } else {
            unserved += ' ';
            unserved += g_KeywordTable[id].name;
        }
    }
    std::printf("built-in functions served: %d of %d\nnot served yet:%s\n", served, total,
                unserved.c_str());
    EXPECT_GT(served, 0);
}

}  // namespace
