// A context for the array built-ins: the value test context plus calls of the built-in
// cases through BuiltinCall records as the router hands them over (arguments already
// converted), and small builders and readers of arrays.
#pragma once

#include "value_fixture.h"

#include <deque>
#include <initializer_list>
#include <string>
#include <vector>

#include "engine/core/builtin.h"
#include "engine/core/router.h"
#include "engine/core/system_flags.h"
#include "engine/data/array.h"
#include "engine/data/map.h"

namespace kid {
enum : uint16_t {
    ArrayFileGet = 261, ArrayFileGetCsv, ArrayFilePut, ArrayFilePutCsv, ArrayFromStr, ArrayInsert,
    ArrayItemize, Arrayize, ArrayLocate, ArrayRedim, ArrayRemove, ArrayReverse, ArraySearch,
    ArraySlice, ArraySort, ArraySwapElements, ArrayToStr, ArrDimension, ArrInfo, ArrInitialize,
    MapCreate = 560, MapFileGetCsv, MapFilePutCsv, MapKeyExist, MapKeyFind, MapKeyRemove, MapKeysGet,
    MapValuesGet,
};
}

class ArrayTest : public ValueTest {
protected:
    void SetUp() override
    {
        ValueTest::SetUp();
        DetectSystemFlags();
        SetUnicodeMode(true);
        ctx->eng.ctl.FileLineEnd = 1;
        ctx->eng.ctl.ReadShareMode = 1;
        ctx->eng.ctl.FileReadBufferSize = -2;
        ctx->eng.ctl.MapInitialSize = 64;
    }

    void TearDown() override
    {
        for (resultants& r : results_) FreeValue(ctx, &r, 0, VK_RECORD);
        ValueTest::TearDown();
    }

    // ---- argument records
    resultants Int(int32_t n)
    {
        resultants v;
        InitResultValue(ctx, &v, VK_RECORD, n);
        return v;
    }
    resultants Float(double d)
    {
        resultants v = Int(0);
        v.flags = VF_FLOAT;
        v.dbl = d;
        return v;
    }
    resultants Str(const char* text) { return Text(text); }
    resultants WStr(const wchar_t* text)
    {
        resultants v = Int(0);
        SetResultWText(ctx, &v, text);
        return v;
    }
    resultants Uninit()
    {
        resultants v = Int(0);
        v.flags = 0;
        return v;
    }
    // The array a variable holds, as the evaluator passes it: the variable's head with
    // the variable as its origin (no reference of its own).
    resultants Var(const char* name)
    {
        int index = find_var(ctx, name, 0);
        EXPECT_GT(index, 0) << name;
        resultants v = Int(0);
        CopyValue(ctx, &ctx->pVars[index], &v, index, VK_ARGUMENT | VM_TO_RECORD);
        return v;
    }

    // ---- calls
    // Calls the built-in through the router, which converts the arguments by the keyword's
    // signature and picks the narrow or wide form. The result stays owned by the fixture
    // (freed at the end); the argument records are kept in `args` for inspection until the
    // next call.
    resultants& Call(uint16_t id, std::vector<resultants> given)
    {
        ReleaseArgs();
        args.clear();
        args.push_back(Int(0));
        for (resultants& r : given) args.push_back(r);
        results_.push_back(Int(0));
        resultants& result = results_.back();
        ctx->nErrorCode = 0;
        CallBuiltinFunction(ctx, g_KeywordTable[id].name, id, &result, args.data(), 0,
                            static_cast<int>(given.size()), g_KeywordTable[id].signature);
        return result;
    }
    void ReleaseArgs()
    {
        for (resultants& a : args) FreeValue(ctx, &a, 0, VK_RECORD | VM_KEEP_ARRAY);
        args.clear();
    }

    // ---- arrays in variables
    // A new array of the sizes, held by the variable `name` (its only holder).
    ArrayHeader* NewArray(const char* name, std::initializer_list<uint32_t> sizes)
    {
        uint32_t d[5] = {};
        int n = 0;
        for (uint32_t s : sizes) d[n++] = s;
        resultants made = Int(0);
        EXPECT_GE(CreateMyArray(ctx, &made, d[0], d[1], d[2], d[3], d[4], 0, n), 0);
        EXPECT_EQ(SetVariableFromValue(ctx, name, &made), 1);
        FreeValue(ctx, &made, 0, VK_RECORD | VM_KEEP_ARRAY);  // the variable is the one holder
        return VarArray(name);
    }
    ArrayHeader* VarArray(const char* name)
    {
        int index = find_var(ctx, name, 0);
        return index > 0 ? ValueArray(&ctx->pVars[index]) : nullptr;
    }
    // Hands a result array over to a variable, as an assignment does.
    ArrayHeader* Keep(const char* name, resultants& value)
    {
        EXPECT_EQ(SetVariableFromValue(ctx, name, &value), 1);
        FreeValue(ctx, &value, 0, VK_RECORD | VM_KEEP_ARRAY);
        InitResultValue(ctx, &value, VK_RECORD, 0);
        return VarArray(name);
    }

    // Element setters and readers (row-major linear index).
    void SetInt(ArrayHeader* a, uint32_t i, int32_t n)
    {
        FreeValue(ctx, &a->data[i], 0, VK_ELEMENT);
        a->data[i].flags = VF_INT;
        a->data[i].i32 = n;
    }
    void SetText(ArrayHeader* a, uint32_t i, const char* text)
    {
        FreeValue(ctx, &a->data[i], 0, VK_ELEMENT);
        resultants t = Text(text);
        a->data[i].flags = VF_STRING;
        a->data[i].str = t.str;
    }
    void Fill(ArrayHeader* a, std::initializer_list<const char*> texts)
    {
        uint32_t i = 0;
        for (const char* t : texts) {
            if (t) SetText(a, i, t);
            ++i;
        }
    }
    // The element as text: narrow text, a number in decimal, "<none>" when uninitialised,
    // "<array>" for a reference, "<wide:...>" for wide text.
    std::string Show(const ArrayElement& e)
    {
        if (e.flags == 0) return "<none>";
        if (e.flags & VF_ARRAY) return "<array>";
        if (e.flags & VF_STRING) return ValueText(ctx, &e);
        if (e.flags & VF_UNICODE) {
            std::wstring w = ValueWText(ctx, &e);
            std::string shown = "<wide:";
            for (wchar_t c : w) shown += static_cast<char>(c);
            return shown.append(">");
        }
        if (e.flags & VF_INT) return std::to_string(e.i32);
        if (e.flags & VF_INT64) return std::to_string(e.i64);
        if (e.flags & VF_FLOAT) return std::to_string(e.dbl);
        return "?";
    }
    // All elements joined by "|".
    std::string Elements(const ArrayHeader* a)
    {
        std::string s;
        for (uint32_t i = 0; a && i < a->count; ++i) {
            if (i) s += '|';
            s.append(Show(a->data[i]));
        }
        return s;
    }
    std::string Elements(const resultants& v) { return Elements(ValueArray(&v)); }
    std::string Dims(const ArrayHeader* a)
    {
        std::string s;
        for (int d = 0; a && d < a->ndims; ++d) {
            if (d) s += 'x';
            s.append(std::to_string(a->dims[d]));
        }
        return s.empty() ? "empty" : s;
    }

    std::vector<resultants> args;

private:
    std::deque<resultants> results_;
};
