// A context for the text built-ins: the value fixture's heap and variables, and calls of
// a built-in by keyword id with its arguments converted by the keyword's argument codes,
// as the router converts them.
#pragma once

#include "value_fixture.h"

#include <string>
#include <vector>

#include "engine/core/builtin.h"
#include "engine/data/text.h"
#include "engine/data/text_cases.h"

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

    static BuiltinCase CaseOf(uint32_t id)
    {
        for (const BuiltinFamily* family : {&g_StrSearchBuiltins, &g_StrTransformBuiltins,
                                            &g_StrCompareBuiltins, &g_ItemListBuiltins})
            for (int i = 0; i < family->count; ++i)
                if (family->rows[i].id == id) return family->rows[i].run;
        return nullptr;
    }

    static uint32_t IdOf(const char* name)
    {
        for (uint32_t id = 0; id < NKEYTOKENS; ++id)
            if (std::strcmp(g_KeywordTable[id].name, name) == 0) return id;
        ADD_FAILURE() << "no keyword " << name;
        return 0;
    }

    // Runs the built-in `name` (lower case) with the arguments, converting them as the
    // router does; the outcome is in `result` and ctx->nErrorCode.
    void Call(const char* name, std::vector<TArg> args)
    {
        uint32_t id = IdOf(name);
        BuiltinCase run = CaseOf(id);
        ASSERT_NE(run, nullptr) << name;
        uint64_t signature = g_KeywordTable[id].signature;
        resultants records[17];
        int argc = static_cast<int>(args.size());
        bool wide = false;
        for (int i = 1; i <= argc; ++i) {
            InitResultValue(ctx, &records[i], VK_RECORD, 0);
            const TArg& a = args[i - 1];
            if (a.kind == TArg::Narrow) SetResultText(ctx, &records[i], a.s.c_str(), a.s.size());
            if (a.kind == TArg::Wide) SetResultWText(ctx, &records[i], a.w.c_str(), a.w.size());
            if (a.kind == TArg::Int) SetResultInt(ctx, &records[i], a.i);
            uint32_t code = ArgTypeOf(signature, i);
            bool counts = code == AT_STRING_ANY || (code == AT_STRING_BOTH && IsUnicodeMode());
            if (counts && a.kind == TArg::Wide) wide = true;
        }
        BuiltinCall call{id, argc, records, &result, wide, signature, name};
        for (int i = 1; i <= argc; ++i) {
            uint32_t code = ArgTypeOf(signature, i);
            bool toWide = code == AT_WSTRING || (code == AT_STRING_ANY && wide) ||
                          (code == AT_STRING_MODE && IsUnicodeMode()) ||
                          (code == AT_STRING_BOTH && wide && IsUnicodeMode());
            int ok = 1;
            if (code == AT_INT) ok = ValueToInteger(ctx, &records[i], true, false);
            else if (toWide) ok = ValueToWide(ctx, &records[i]);
            else if (code != AT_ANY) ok = ValueToString(ctx, &records[i]);
            ASSERT_TRUE(ok) << name << " argument " << i;
        }
        ctx->nErrorCode = 0;
        FreeValue(ctx, &result, 0, VK_RECORD);   // the router hands every case an integer 0
        InitResultValue(ctx, &result, VK_RECORD, 0);
        run(ctx, call);
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
