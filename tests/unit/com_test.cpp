// The COM layer's seams: the HRESULT map, names of variant types, conversions of script
// values into VARIANTs (by-reference cells, SAFEARRAY shapes), the member-call cache in
// front of the type information, and OLE's life per context.
#include <ole2.h>
#include <oleauto.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/com/com_adapter.h"
#include "engine/com/com_collection.h"
#include "engine/com/com_errors.h"
#include "engine/com/com_gates.h"
#include "engine/com/com_names.h"
#include "engine/com/com_params.h"
#include "engine/com/com_safearray.h"
#include "engine/core/engine_setup.h"
#include "engine/data/map.h"
#include "front_fixture.h"
#include "tests/unit/engine_dll.h"

namespace {

TEST(ComErrors, HresultsMapToTheirErrorNumbers)
{
    struct Case {
        uint32_t hr;
        uint16_t number;
    } cases[] = {
        {0x80020003, 1255}, {0x80020005, 1257}, {0x80020006, 1258}, {0x80020009, 1261},
        {0x80020011, 1269}, {0x80028016, 1275}, {0x80029C4A, 1297}, {0x800401F3, 1727},
        {0x80040202, 1754}, {0x80070002, 1299}, {0x8007000E, 1513}, {0x80070057, 1570},
        {0x80004005, 1298},   // E_FAIL is not in the map
        {0x80020002, 1298},   // nor are the DISP_E_ codes without a number of their own
        {0x80028017, 1298},
        {0x80131500, 1261},   // an unlisted code of the .NET runtime's facility
        {0x80131700, 1261},
        {0x800401E3, 1298},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HresultErrorNumber(static_cast<HRESULT>(c.hr)), c.number) << std::hex << c.hr;
}

TEST(ComNames, TypeNamesReadAndWritten)
{
    EXPECT_EQ(VtNameToNumber("vt_array|vt_i4"), 0x2003);
    EXPECT_EQ(VtNameToNumber("BYREF|bstr"), 0x4008);
    EXPECT_EQ(VtNameToNumber("BYREF"), 0x4000);
    EXPECT_EQ(VtNameToNumber("R8"), 5);
    for (const char* refused : {"I4|R8", "VT_EMPTY", "VT_ERROR", "ARRAY|NULL", "ARRAY|BYREF", "", "VT_FOO"})
        EXPECT_EQ(VtNameToNumber(refused), -1) << refused;

    char name[64];
    VtTypeNameCompose(0x4000, name, sizeof name, true);
    EXPECT_STREQ(name, "DISPATCH");
    VtTypeNameCompose(0x2008, name, sizeof name, false);
    EXPECT_STREQ(name, "VT_ARRAY|VT_BSTR");
    VtTypeNameCompose(0, name, sizeof name, false);
    EXPECT_STREQ(name, "VT_EMPTY");
    VtTypeNameCompose(0x4003, name, 8, false);   // cut to the buffer
    EXPECT_EQ(std::strlen(name), 7u);
}

TEST(ComNames, MonikerNames)
{
    EXPECT_TRUE(IsMonikerName(L"winmgmts:"));
    EXPECT_TRUE(IsMonikerName(L"WINNT:"));
    EXPECT_TRUE(IsMonikerName(L"http://host/x"));
    EXPECT_FALSE(IsMonikerName(L"winmgmts:\\\\.\\root"));
    EXPECT_FALSE(IsMonikerName(L"Scripting.Dictionary"));
    EXPECT_FALSE(IsMonikerName(L""));
}

// ---------------------------------------------------------------- conversions

class ComValueTest : public OleFrontTest {};

TEST_F(ComValueTest, IntegersTakeTheRequestedType)
{
    struct Case {
        int32_t value;
        VARTYPE type;
        VARTYPE made;
        int64_t datum;
    } cases[] = {
        {5, VT_BOOL, VT_BOOL, VARIANT_TRUE},  {0, VT_BOOL, VT_BOOL, 0},
        {70000, VT_I2, VT_I2, 4464},          {-1, VT_UI1, VT_UI1, 255},
        {-2, VT_I8, VT_I8, -2},               {7, 0, VT_I4, 7},
        {7, VT_R8, VT_R8, 7},
    };
    for (const Case& c : cases) {
        CResultVar v(ctx);
        v.v.i32 = c.value;
        v.v.flags = VF_INT;
        ASSERT_EQ(v.ValueToVariantType(c.type), 1) << c.value;
        EXPECT_EQ(v.v.var.vt, c.made);
        int64_t datum = c.made == VT_BOOL ? v.v.var.boolVal : c.made == VT_I2 ? v.v.var.iVal
                        : c.made == VT_UI1 ? v.v.var.bVal : c.made == VT_I8 ? v.v.var.llVal
                        : c.made == VT_R8 ? static_cast<int64_t>(v.v.var.dblVal) : v.v.var.lVal;
        EXPECT_EQ(datum, c.datum) << c.value << " as " << c.type;
    }
}

TEST_F(ComValueTest, MissingArgumentsNullsAndCells)
{
    CResultVar missing(ctx);   // a value without any form
    ASSERT_EQ(missing.ValueToVariantType(VT_I4), 1);
    EXPECT_EQ(missing.v.var.vt, VT_ERROR);
    EXPECT_EQ(missing.v.var.scode, DISP_E_PARAMNOTFOUND);
    missing.v.flags = VF_VARIANT;
    ASSERT_EQ(missing.ChangeVariantType(VT_BSTR), 1);
    EXPECT_EQ(missing.v.var.vt, VT_ERROR);

    CResultVar null(ctx);
    null.v.var.vt = VT_NULL;
    null.v.flags = VF_VARIANT;
    ASSERT_EQ(null.ChangeVariantType(VT_BSTR), 1);
    EXPECT_EQ(null.v.var.vt, VT_BSTR);
    EXPECT_EQ(null.v.var.bstrVal, nullptr);
    ASSERT_EQ(ConvertVariantForm(ctx, &null.v, VF_STRING), 1);
    EXPECT_STREQ(ValueText(ctx, &null.v), "");

    // A by-reference cell holds the datum; dissolving it gives the value back.
    CResultVar cell(ctx);
    cell.v.i32 = 42;
    cell.v.flags = VF_INT;
    ASSERT_EQ(cell.ValueToVariantType(VT_BYREF | VT_I4), 1);
    EXPECT_EQ(cell.v.var.vt, VT_BYREF | VT_I4);
    ASSERT_NE(cell.v.var.plVal, nullptr);
    *cell.v.var.plVal = 43;   // as a callee writes an out parameter
    ASSERT_EQ(ConvertVariantForm(ctx, &cell.v, VF_INT), 1);
    EXPECT_EQ(cell.v.i32, 43);
    ASSERT_EQ(cell.ChangeVariantType(VT_BSTR), 1);
    EXPECT_EQ(std::wstring(cell.v.var.bstrVal), L"43");
}

TEST_F(ComValueTest, TextsByTheirPrefixes)
{
    auto text = [&](const char* s, VARTYPE t, CResultVar& v) {
        SetResultText(ctx, &v.v, s);
        v.v.originVar = ORIGIN_NONE;
        return v.ValueToVariantType(t);
    };
    CResultVar cy(ctx), bad(ctx), plain(ctx), date(ctx);
    ASSERT_EQ(text("#currency:12.50", VT_CY, cy), 1);
    EXPECT_EQ(cy.v.var.vt, VT_CY);
    EXPECT_EQ(cy.v.var.cyVal.int64, 125000);
    EXPECT_EQ(text("#CURRENCY:abc", VT_CY, bad), 0);
    EXPECT_EQ(ctx->nErrorCode, 1648);
    ctx->nErrorCode = 0;
    ASSERT_EQ(text("abc", VT_CY, plain), 1);
    EXPECT_EQ(plain.v.var.vt, VT_BSTR);
    ASSERT_EQ(text("2024:02:29:13:05:00", VT_DATE, date), 1);
    EXPECT_EQ(date.v.var.vt, VT_DATE);
    ASSERT_EQ(ConvertVariantForm(ctx, &date.v, VF_STRING), 1);
    EXPECT_STREQ(ValueText(ctx, &date.v), "2024:02:29:13:05:00");
}

TEST_F(ComValueTest, ScriptArraysBecomeSafeArraysOfTheReversedShape)
{
    Exec({"a = ArrDimension(2, 3)", "a[1, 2] = \"q\"", "a[0, 1] = 5"});
    CResultVar v(ctx);
    resultants source{};
    std::memcpy(static_cast<ValueHead*>(&source), Var("a"), sizeof(ValueHead));
    source.originVar = ORIGIN_NONE;
    ASSERT_EQ(v.CopyFrom(source), 1);
    v.v.originVar = ORIGIN_NONE;
    ASSERT_EQ(v.ValueToVariantType(0), 1);
    EXPECT_EQ(v.v.var.vt, VT_ARRAY | VT_VARIANT);
    SAFEARRAY* sa = v.v.var.parray;
    LONG upper = 0;
    SafeArrayGetUBound(sa, 1, &upper);
    EXPECT_EQ(upper, 2);   // the script's last dimension is the first
    SafeArrayGetUBound(sa, 2, &upper);
    EXPECT_EQ(upper, 1);
    LONG at[2] = {2, 1};
    VARIANT element;
    VariantInit(&element);
    ASSERT_EQ(SafeArrayGetElement(sa, at, &element), S_OK);
    EXPECT_EQ(std::wstring(element.bstrVal), L"q");
    VariantClear(&element);

    // and back: the 2 by 3 shape again
    ASSERT_EQ(ConvertVariantForm(ctx, &v.v, VF_ARRAY), 1);
    ArrayHeader* back = ValueArray(&v.v);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->dims[0], 2u);
    EXPECT_EQ(back->dims[1], 3u);
    ASSERT_EQ(ConvertVariantForm(ctx, &back->data[5], VF_STRING), 1);
    EXPECT_STREQ(ValueText(ctx, &back->data[5]), "q");

    Exec({"e = ArrDimension(0)"});
    CResultVar empty(ctx);
    std::memcpy(static_cast<ValueHead*>(&source), Var("e"), sizeof(ValueHead));
    ASSERT_EQ(empty.CopyFrom(source), 1);
    empty.v.originVar = ORIGIN_NONE;
    ASSERT_EQ(empty.ValueToVariantType(0), 1);
    EXPECT_EQ(empty.v.var.vt, VT_ARRAY | VT_VARIANT);
    EXPECT_EQ(SafeArrayGetDim(empty.v.var.parray), 1u);
}

// ---------------------------------------------------------------- collection steps

class CollectionStepTest : public OleFrontTest {
protected:
    // What one step delivered: its text, "-" for an element without value, "end" when the
    // step answered 0, or "E<number>".
    std::string Step(const ValueHead& collection, int64_t* position, char delimiter = 0)
    {
        ctx->nErrorCode = 0;
        CResultVar out(ctx);
        if (!CollectionNext(ctx, collection, out, nullptr, position, delimiter)) {
            if (!ctx->nErrorCode)
                return "end";
            std::string error = "E";
            return error += std::to_string(ctx->nErrorCode);
        }
        if (out.Empty())
            return "-";
        if (!ValueToString(ctx, &out.v))
            return "?";
        return ValueText(ctx, &out.v);
    }

    // Every element of a walk from `start`, ending with the answer that ended it.
    std::string Walk(const ValueHead& collection, int64_t start, char delimiter = 0)
    {
        int64_t position = start;
        std::string all;
        for (int round = 0; round < 20; ++round) {
            std::string one = Step(collection, &position, delimiter);
            all += (all.empty() ? "" : "|") + one;
            if (one == "end" || one[0] == 'E')
                break;
        }
        return all;
    }
};

TEST_F(CollectionStepTest, ScriptArraysGiveTheirElementsInStorageOrder)
{
    Exec({"a = ArrDimension(2, 2)", "a[0, 0] = 1", "a[0, 1] = \"b\"", "a[1, 1] = 4.5"});
    const ValueHead& a = *Var("a");
    int64_t position = 12345;
    ASSERT_EQ(CollectionReset(a, &position), 1);
    EXPECT_EQ(position, -1);   // the start
    EXPECT_EQ(Walk(a, position), "1|b|-|4.5|end");
    position = 2;
    EXPECT_EQ(Walk(a, position), "-|4.5|end");
    position = 0;   // a finished walk
    EXPECT_EQ(Step(a, &position), "end");
    Exec({"e = ArrDimension(0)"});
    EXPECT_EQ(Walk(*Var("e"), -1), "end");
    EXPECT_EQ(Step(a, nullptr), "E1637");   // the caller keeps no position
}

TEST_F(CollectionStepTest, MapsGiveEveryKeyAlsoWhenChangedBetweenSteps)
{
    Exec({"m = MapCreate()", "m[\"k1\"] = 1", "m[\"k2\"] = 2", "m[\"k3\"] = 3"});
    const ValueHead& m = *Var("m");
    std::string walked = Walk(m, -1);
    std::vector<std::string> keys;
    for (size_t at = 0, bar; at < walked.size(); at = bar + 1) {
        bar = walked.find('|', at);
        if (bar == std::string::npos)
            bar = walked.size();
        keys.push_back(walked.substr(at, bar - at));
    }
    ASSERT_EQ(keys.size(), 4u);
    EXPECT_EQ(keys[3], "end");
    keys.pop_back();
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(keys, (std::vector<std::string>{"k1", "k2", "k3"}));

    // every key but the one delivered goes between two steps: the walk ends, reading none
    int64_t position = -1;
    std::string first = Step(m, &position);
    ArrayHeader* map = ValueArray(&m);
    for (const char* key : {"k1", "k2", "k3"})
        if (first != key)
            MapRemove(ctx, map, key);
    EXPECT_EQ(Step(m, &position), "end");
}

TEST_F(CollectionStepTest, ItemListsGiveEveryItemAndEndPastTheLast)
{
    struct Case {
        const char* list;
        char delimiter;
        const char* walk;
    } cases[] = {
        {"a,,b", ',', "a||b|end"},   // an empty item inside goes on to the next
        {"a,", ',', "a||end"},
        {"one\ttwo", 0, "one|two|end"},   // the tab by default
        {"", ',', "end"},
        {"x", ',', "x|end"},
    };
    for (const Case& c : cases) {
        resultants text{};
        InitResultValue(ctx, &text, VK_RECORD, 0);
        ASSERT_EQ(SetResultText(ctx, &text, c.list), 1);
        EXPECT_EQ(Walk(text, 0, c.delimiter), c.walk) << c.list;
        FreeValue(ctx, &text, 0, VK_RECORD);
    }

    resultants wide{};
    InitResultValue(ctx, &wide, VK_RECORD, 0);
    ASSERT_EQ(SetResultWText(ctx, &wide, L"p;;q"), 1);
    EXPECT_EQ(Walk(wide, 0, ';'), "p||q|end");
    EXPECT_EQ(Step(wide, nullptr, ';'), "E1690");   // no position word to keep the walk in
    int64_t position = 0xFFFFFFFF;                          // walked to its end
    EXPECT_EQ(Step(wide, &position, ';'), "end");
    EXPECT_EQ(CollectionReset(wide, &position), 0);   // an item list has no start to go back to
    EXPECT_EQ(position, 0xFFFFFFFF);
    FreeValue(ctx, &wide, 0, VK_RECORD);

    // a COM text walks as the text it holds; a COM number is no collection
    ValueHead bstr{};
    bstr.flags = VF_VARIANT;
    bstr.var.vt = VT_BSTR;
    bstr.var.bstrVal = SysAllocString(L"r s");
    EXPECT_EQ(Walk(bstr, 0, ' '), "r|s|end");
    VariantClear(&bstr.var);
    ValueHead number{};
    number.flags = VF_VARIANT;
    number.var.vt = VT_I4;
    number.var.lVal = 5;
    position = 0;
    EXPECT_EQ(Step(number, &position), "E1690");
}

// ---------------------------------------------------------------- the member-call cache

// A type whose ITypeComp counts its Bind calls and answers a method of one BSTR parameter.
class FakeType : public ITypeInfo, public ITypeComp {
public:
    int binds = 0;
    ELEMDESC param{};
    FUNCDESC func{};

    FakeType()
    {
        param.tdesc.vt = VT_BSTR;
        param.paramdesc.wParamFlags = PARAMFLAG_FIN;
        func.memid = 7;
        func.funckind = FUNC_DISPATCH;
        func.invkind = INVOKE_FUNC;
        func.cParams = 1;
        func.lprgelemdescParam = &param;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    // ITypeComp
    HRESULT STDMETHODCALLTYPE Bind(LPOLESTR, ULONG, WORD, ITypeInfo** info, DESCKIND* kind, BINDPTR* bound) override
    {
        ++binds;
        *info = static_cast<ITypeInfo*>(this);
        *kind = DESCKIND_FUNCDESC;
        bound->lpfuncdesc = &func;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE BindType(LPOLESTR, ULONG, ITypeInfo**, ITypeComp**) override { return E_NOTIMPL; }
    // ITypeInfo
    HRESULT STDMETHODCALLTYPE GetTypeAttr(TYPEATTR**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** out) override
    {
        *out = static_cast<ITypeComp*>(this);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFuncDesc(UINT, FUNCDESC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetVarDesc(UINT, VARDESC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetNames(MEMBERID, BSTR*, UINT, UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetRefTypeOfImplType(UINT, HREFTYPE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetImplTypeFlags(UINT, INT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR*, UINT, MEMBERID* ids) override
    {
        ids[0] = 7;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(PVOID, MEMBERID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDocumentation(MEMBERID, BSTR*, BSTR*, DWORD*, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDllEntry(MEMBERID, INVOKEKIND, BSTR*, BSTR*, WORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetRefTypeInfo(HREFTYPE, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddressOfMember(MEMBERID, INVOKEKIND, PVOID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, PVOID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMops(MEMBERID, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetContainingTypeLib(ITypeLib**, UINT*) override { return E_NOTIMPL; }
    void STDMETHODCALLTYPE ReleaseTypeAttr(TYPEATTR*) override {}
    void STDMETHODCALLTYPE ReleaseFuncDesc(FUNCDESC*) override {}
    void STDMETHODCALLTYPE ReleaseVarDesc(VARDESC*) override {}
};

TEST(ComMemberCache, ASecondCallOfAMemberBindsNothing)
{
    FakeType type;
    DispatchHolder holder{};
    holder.cacheOn = 1;
    holder.cache = NewMemberCache(4);
    for (int call = 0; call < 2; ++call) {
        ParamDesc desc;
        bool fromCache = false;
        ASSERT_EQ(DescribeMember(&holder, &type, L"Open", 7, false, &desc, &fromCache), S_OK);
        EXPECT_EQ(fromCache, call == 1);
        ASSERT_EQ(desc.types.size(), 1u);
        EXPECT_EQ(desc.types[0], VT_BSTR);
        EXPECT_EQ(desc.flags[0], PARAMFLAG_FIN);
    }
    EXPECT_EQ(type.binds, 1);
    // A property put of the same member is another entry.
    ParamDesc put;
    bool fromCache = true;
    DescribeMember(&holder, &type, L"Open", 7, true, &put, &fromCache);
    EXPECT_FALSE(fromCache);
    FreeMemberCache(holder.cache);

    // Without the cache every call binds.
    holder.cacheOn = 0;
    holder.cache = nullptr;
    type.binds = 0;
    for (int call = 0; call < 2; ++call) {
        ParamDesc desc;
        DescribeMember(&holder, &type, L"Open", 7, false, &desc, &fromCache);
    }
    EXPECT_EQ(type.binds, 2);
}

// ---------------------------------------------------------------- OLE per context

TEST_F(FrontTest, OleBeginsOnceForTwoObjectsAndEndsOnce)
{
    CComAdapter& adapter = ComAdapter();
    uint32_t inits = adapter.initCalls, uninits = adapter.uninitCalls;
    Exec({"a = CreateObject(\"Scripting.Dictionary\")", "b = CreateObject(\"Scripting.Dictionary\")"});
    EXPECT_EQ(adapter.initCalls - inits, 1u);
    EXPECT_EQ(ctx->com.bOleInitialized, 1u);
    for (uint32_t i = 1; i < ctx->nVarUsed; ++i)
        if (ctx->pVars[i].flags)
            FreeValue(ctx, &ctx->pVars[i], i, VK_ARGUMENT);
    ComTerminateContext(ctx);
    ComTerminateContext(ctx);
    EXPECT_EQ(adapter.uninitCalls - uninits, 1u);
    EXPECT_EQ(ctx->com.bOleInitialized, 0u);
}

// The memory report sees object values in variables and in array elements alike.
TEST_F(FrontTest, MemoryReportCountsTheInterfacesHeld)
{
    Exec({"d = CreateObject(\"Scripting.Dictionary\")", "a = ArrDimension(2)", "a[1] = d", "n = 5",
          "e = CreateObject(\"Scripting.Dictionary\")"});
    EXPECT_EQ(CountComObjectVariables(ctx), 3);
    auto pointer = static_cast<int32_t>(reinterpret_cast<uintptr_t>(ObjectOf(Var("d"))->Dispatch()));
    EXPECT_EQ(CountObjectReferences(ctx, pointer), 2);
    EXPECT_EQ(CountObjectReferences(ctx, 0), 0);
    resultants list;
    InitResultValue(ctx, &list, VK_RECORD, 0);
    ASSERT_EQ(ListComObjectVariables(ctx, 0, &list), 1);
    std::string expected = std::to_string(pointer) + "\t" + std::to_string(pointer) + "\t";
    std::string text = TextOf(list);
    EXPECT_EQ(text.rfind(expected, 0), 0u) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\t'), 2) << text;
    FreeValue(ctx, &list, 0, VK_RECORD);
    ComTerminateContext(ctx);
}

TEST(ComBlockChain, BlocksPushedOnTheFrontAndFreedTogether)
{
    void* chain = nullptr;
    EXPECT_EQ(BlockChainAlloc(&chain, 0, 8), nullptr);
    EXPECT_EQ(BlockChainAlloc(&chain, 4, 0), nullptr);
    auto* first = static_cast<uint8_t*>(BlockChainAlloc(&chain, 10, 16));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first - 8, chain);
    auto* second = static_cast<uint8_t*>(BlockChainAlloc(&chain, 1, 4));
    EXPECT_EQ(second - 8, chain);
    void* link;
    std::memcpy(&link, second - 8, sizeof link);
    EXPECT_EQ(link, first - 8);
    BlockChainFreeAll(chain);
}

class ComEngineTest : public kvtest::EngineDllTest {};

// Operation 99 ends the apartment that the run's objects began: the host's thread is then
// free to begin its own.
TEST_F(ComEngineTest, EngineExitBalancesOle)
{
    if (!HasExport(kvhost::ORD_ProcessViRuvBuffer))
        GTEST_SKIP() << "export 24 is needed";
    StartEngine();
    const char script[] = "a = CreateObject(\"Scripting.Dictionary\")\r\nb = CreateObject(\"Scripting.Dictionary\")\r\n";
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof script + 2);
    std::memcpy(GlobalLock(block), script, sizeof script);
    GlobalUnlock(block);
    dll().ProcessViRuvBuffer()(window, session->Context(), block, nullptr, nullptr);
    GlobalFree(block);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);   // still begun
    CoUninitialize();
    session->Stop(nullptr);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);      // ended once
    CoUninitialize();
}

}  // namespace
