// A context for the text built-ins: the value fixture's heap and variables, and calls of
// a built-in by keyword id with its arguments converted by the keyword's argument codes,
// as the router converts them.
#pragma once

#include "value_fixture.h"

#include <string>
#include <vector>

#include "engine/core/builtin.h"
#include "engine/core/router.h"
#include "engine/data/text.h"
#include "engine/data/text_cases.h"

// For as long as it lives, ANSI text is walked and folded as on a system whose ANSI code
// page is Shift-JIS (932), whatever the machine's is. The context code page is not the way
// to get there: it governs conversions only.
struct ShiftJisSystem {
    ShiftJisSystem() { SetTextCodePageForTest(932); }
    ~ShiftJisSystem() { SetTextCodePageForTest(0); }
    ShiftJisSystem(const ShiftJisSystem&) = delete;
    ShiftJisSystem& operator=(const ShiftJisSystem&) = delete;
};

// One argument of a call: an integer, ANSI text or wide text.
struct TArg {
    enum Kind { Int, Narrow, Wide } kind;
    int32_t i = 0;
    std::string s;
    std::wstring w;
    TArg(int value) : kind(Int), i(value) {}
    TArg(const char* text) : kind(Narrow), s(text) {}
    TArg(const wchar_t* text) : kind(Wide), w(text) {}
    TArg(const std::string& text) : kind(Narrow), s(text) {}
    TArg(const std::wstring& text) : kind(Wide), w(text) {}
};

class TextTest : public ValueTest {
protected:
    void SetUp() override
    {
        ValueTest::SetUp();
        InitResultValue(ctx, &result, VK_RECORD, 0);
    }

    void TearDown() override
    {
        FreeValue(ctx, &result, 0, VK_RECORD);
        SetUnicodeMode(true);
        ValueTest::TearDown();
    }

    static uint32_t IdOf(const char* name)
    {
        for (uint32_t id = 0; id < NKEYTOKENS; ++id)
            if (std::strcmp(g_KeywordTable[id].name, name) == 0) return id;
        ADD_FAILURE() << "no keyword " << name;
        return 0;
    }

    // Runs the built-in `name` (lower case) through the router with the arguments; the
    // outcome is in `result` and ctx->nErrorCode.
    void Call(const char* name, std::vector<TArg> args)
    {
        uint32_t id = IdOf(name);
        resultants records[17];
        int argc = static_cast<int>(args.size());
        for (int i = 1; i <= argc; ++i) {
            InitResultValue(ctx, &records[i], VK_RECORD, 0);
            const TArg& a = args[i - 1];
            if (a.kind == TArg::Narrow) SetResultText(ctx, &records[i], a.s.c_str(), a.s.size());
            if (a.kind == TArg::Wide) SetResultWText(ctx, &records[i], a.w.c_str(), a.w.size());
            if (a.kind == TArg::Int) SetResultInt(ctx, &records[i], a.i);
        }
        ctx->nErrorCode = 0;
        FreeValue(ctx, &result, 0, VK_RECORD);
        CallBuiltinFunction(ctx, name, id, &result, records, 0, argc, g_KeywordTable[id].signature);
        for (int i = 1; i <= argc; ++i) FreeValue(ctx, &records[i], 0, VK_RECORD);
    }

    // The result as ANSI or wide text; a failure when it has the other form or none.
    std::string Narrow()
    {
        EXPECT_EQ(result.flags, VF_STRING);
        return ValueText(ctx, &result);
    }
    std::wstring Wide()
    {
        EXPECT_EQ(result.flags, VF_UNICODE);
        return ValueWText(ctx, &result);
    }
    int Int()
    {
        EXPECT_EQ(result.flags, VF_INT);
        return result.i32;
    }

    int Error() const { return ctx->nErrorCode; }

    // A text of the table in the call's width.
    static TArg As(bool wide, const char* text)
    {
        if (!wide) return TArg(text);
        std::wstring w;
        for (const char* p = text; *p; ++p) w += static_cast<wchar_t>(static_cast<unsigned char>(*p));
        return TArg(w);
    }
    // The result text, narrowed back from wide for tables of plain ASCII.
    std::string TextResult(bool wide)
    {
        if (!wide) return Narrow();
        std::wstring w = Wide();
        return std::string(w.begin(), w.end());
    }

    resultants result;
};
