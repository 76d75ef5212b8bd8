// A context for the language front end: the values fixture plus helpers that tokenize
// and evaluate one line, and a script buffer for the continuation lines of multi-line
// literals.
#pragma once

#include <ole2.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/core/evaluator.h"
#include "engine/core/keyword_lookup.h"
#include "engine/core/script.h"
#include "engine/core/tokenizer.h"
#include "engine/data/array.h"
#include "value_fixture.h"

class FrontTest : public ValueTest {
protected:
    void SetUp() override
    {
        ValueTest::SetUp();
        ctx->nUdfBlockTop = -1;
        ctx->nUdfRunning = UDF_NONE_RUNNING;
        ctx->nScriptFlags = 3;
        ctx->pLine = line_;
    }

    void TearDown() override
    {
        // Release what the variables hold so that arrays do not outlive the test.
        for (uint32_t i = 1; i < ctx->nVarUsed; ++i)
            if (ctx->pVars[i].flags)
                FreeValue(ctx, &ctx->pVars[i], i, VK_ARGUMENT);
        ValueTest::TearDown();
    }

    // Points the parser at `text` (copied into the line buffer) and reads the first token.
    void Start(const std::string& text)
    {
        std::snprintf(line_, sizeof(line_), "%s", text.c_str());
        ctx->prog = line_;
        ctx->nTokenKind = TK_END;
        ctx->delim_type = 0;
        ctx->nErrorCode = 0;
        get_token(ctx);
    }

    // Runs the line as a statement (assignment allowed) or as an argument.
    resultants Run(const std::string& text, bool allowAssign = true, bool throughPointer = false)
    {
        resultants r;
        InitResultValue(ctx, &r, VK_RECORD, 0);
        std::string source = throughPointer ? "*" + text : text;
        std::snprintf(line_, sizeof(line_), "%s", source.c_str());
        ctx->prog = line_ + (throughPointer ? 1 : 0);
        ctx->nTokenKind = TK_END;
        ctx->nErrorCode = 0;
        if (get_token(ctx) <= 1 && !ctx->nErrorCode)
            ProcessSubExpression(ctx, &r, allowAssign ? 1 : 0, throughPointer ? 1 : 0, site_);
        return r;
    }

    // The value of a line as text: "i:7", "l:7", "f:3.5", "s:text", or "E3057".
    std::string Eval(const std::string& text, bool allowAssign = true)
    {
        resultants r = Run(text, allowAssign);
        std::string out = Describe(r);
        FreeValue(ctx, &r, 0, VK_RECORD | VM_KEEP_ARRAY);
        return out;
    }

    std::string Describe(const resultants& r)
    {
        if (ctx->nErrorCode)
            return "E" + std::to_string(ctx->nErrorCode);
        char text[64];
        if (r.flags & VF_INT)
            return "i:" + std::to_string(r.i32);
        if (r.flags & VF_INT64)
            return "l:" + std::to_string(r.i64);
        if (r.flags & VF_FLOAT) {
            std::snprintf(text, sizeof(text), "f:%.15g", r.dbl);
            return text;
        }
        if (r.flags & VF_STRING)
            return "s:" + TextOf(r);
        if (r.flags & VF_ARRAY)
            return "array";
        return "?";
    }

    // Runs each statement; the first failure stops with its error.
    void Exec(std::initializer_list<const char*> statements)
    {
        for (const char* s : statements) {
            std::string out = Eval(s);
            ASSERT_EQ(out.rfind("E", 0), std::string::npos) << s << " -> " << out;
        }
    }

    const VariableEntry* Var(const char* name)
    {
        uint16_t index = FindVarIndex(ctx, name);
        return index == VAR_NOT_FOUND ? nullptr : &ctx->pVars[index];
    }

    // A scrambled script holding the lines that follow the statement line.
    void SetScript(const std::string& following)
    {
        BuildScriptPermutation();
        script_.assign(following.begin(), following.end());
        script_.push_back(0);
        ScrambleBuffer(ctx, script_.data(), script_.size());
        pos_ = 0;
        site_storage_ = RunSite{};
        site_storage_.base = script_.data();
        site_storage_.pos = &pos_;
        site_storage_.end = static_cast<uint32_t>(following.size());
        site_storage_.line = line_;
        site_ = &site_storage_;
    }

    char line_[TEXTBUF] = {};
    std::vector<uint8_t> script_;
    uint32_t pos_ = 0;
    RunSite site_storage_{};
    RunSite* site_ = nullptr;
};

// The front end with OLE started on the test's thread, for COM values and hosted objects.
class OleFrontTest : public FrontTest {
protected:
    void SetUp() override
    {
        FrontTest::SetUp();
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    }
    void TearDown() override
    {
        FrontTest::TearDown();
        OleUninitialize();
    }
};
