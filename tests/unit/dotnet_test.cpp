// The .NET layer over fake reflection objects: System type names of arguments, array
// types, casts, the choice of a runtime version, and the dispatch wrapper's member ids and
// its thread check.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

#include "engine/com/com_value.h"
#include "engine/com/dotnet/dotnet.h"
#include "front_fixture.h"

namespace {

// A type object: its name is all a fake needs.
class FakeType final : public IUnknown {
public:
    explicit FakeType(std::wstring name) : name(std::move(name)) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        *out = iid == IID_IUnknown ? this : nullptr;
        if (!*out)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG n = --refs;
        if (n == 0)
            delete this;
        return n;
    }
    std::wstring name;
    ULONG refs = 1;
};

std::wstring NameOf(IUnknown* type) { return type ? static_cast<FakeType*>(type)->name : L"<none>"; }

class FakeReflection : public ClrReflection {
public:
    HRESULT CorlibType(BSTR name, IUnknown** type) override
    {
        *type = new FakeType(name);
        return S_OK;
    }
    HRESULT LoadedType(BSTR name, IUnknown** type) override
    {
        *type = nullptr;
        if (_wcsnicmp(name, L"System.", 7) != 0)
            return CLR_E_TYPE_NOT_FOUND;
        *type = new FakeType(name);
        return S_OK;
    }
    HRESULT ArrayTypeOf(IUnknown* element, IUnknown** type) override
    {
        *type = new FakeType(NameOf(element) + L"[]");
        return S_OK;
    }
    HRESULT TypeOfObject(const VARIANT&, IUnknown** type) override
    {
        *type = new FakeType(L"System.Object");
        return S_OK;
    }
    HRESULT LoadAssembly(BSTR) override { return S_OK; }
    HRESULT MemberKind(IUnknown*, BSTR name, int32_t* kind) override
    {
        auto found = members.find(name);
        if (found == members.end())
            return S_FALSE;
        *kind = found->second;
        return S_OK;
    }
    HRESULT InvokeMember(IUnknown*, BSTR name, int32_t flags, const VARIANT&, SAFEARRAY* types, SAFEARRAY*,
                         VARIANT* result) override
    {
        std::wstring call = std::wstring(name) + L"/" + std::to_wstring(flags);
        LONG first = 0;
        IUnknown* type = nullptr;
        if (types && SUCCEEDED(SafeArrayGetElement(types, &first, &type)) && type) {
            call += L" " + NameOf(type);
            type->Release();
        }
        calls.push_back(call);
        VariantInit(result);
        result->vt = VT_I4;
        result->lVal = 7;
        return S_OK;
    }
    std::map<std::wstring, int32_t> members = {{L"Append", MEMBER_METHOD}, {L"Length", MEMBER_PROPERTY}};
    std::vector<std::wstring> calls;
};

// A wrapper over no instance and a type of that name (the caller holds one reference).
CDotNetDisp* NewWrapper(ClrReflection* reflection, const wchar_t* typeName)
{
    FakeType* type = new FakeType(typeName);
    VARIANT instance;
    VariantInit(&instance);
    auto* disp = new CDotNetDisp(reflection, instance, type);
    disp->AddRef();
    type->Release();
    return disp;
}

VARIANT Int4Array()
{
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ARRAY | VT_I4;
    v.parray = SafeArrayCreateVector(VT_I4, 0, 2);
    return v;
}

TEST(DotNetArguments, EachArgumentGetsItsSystemType)
{
    FakeReflection reflection;
    DotNetArgBuilder args(&reflection);
    ASSERT_EQ(args.Begin(4), S_OK);
    VARIANT single, pointer, variants;
    VariantInit(&single);
    single.vt = VT_R4;
    VariantInit(&pointer);
    pointer.vt = VT_INT;
    VARIANT numbers = Int4Array();
    VariantInit(&variants);
    variants.vt = VT_ARRAY | VT_VARIANT;
    variants.parray = SafeArrayCreateVector(VT_VARIANT, 0, 1);
    EXPECT_EQ(args.Set(0, single), S_OK);
    EXPECT_EQ(args.Set(1, pointer), S_OK);
    EXPECT_EQ(args.Set(2, numbers), S_OK);
    EXPECT_EQ(args.Set(3, variants), S_OK);
    EXPECT_EQ(NameOf(args.TypeAt(0)), L"System.Single");
    EXPECT_EQ(NameOf(args.TypeAt(1)), L"System.IntPtr");
    EXPECT_EQ(NameOf(args.TypeAt(2)), L"System.Int32[]");
    EXPECT_EQ(NameOf(args.TypeAt(3)), L"System.Array");
    EXPECT_FALSE(args.ExplicitTypes());

    VARIANT currency;
    VariantInit(&currency);
    currency.vt = VT_CY;
    EXPECT_EQ(args.Set(0, currency), DISP_E_TYPEMISMATCH);
    VariantClear(&numbers);
    VariantClear(&variants);
}

TEST(DotNetArguments, CastsNameTheirTypeAndAnArrayCastStaysAnArray)
{
    FakeReflection reflection;
    struct Case {
        const wchar_t* type;
        bool array;
        const wchar_t* expected;
    } cases[] = {
        {L"System.Int16", false, L"System.Int16"},
        {L"System.Array", true, L"System.Array"},   // not made an array type again
        {L"SYSTEM.ARRAY", true, L"SYSTEM.ARRAY"},
        {L"System.Int32", true, L"System.Int32[]"},
    };
    for (const Case& c : cases) {
        VARIANT value;
        if (c.array) {
            value = Int4Array();
        } else {
            VariantInit(&value);
            value.vt = VT_I4;
            value.lVal = 5;
        }
        CTypeCast* cast = new CTypeCast(SysAllocString(c.type), value);
        VARIANT holder;
        VariantInit(&holder);
        holder.vt = VT_UNKNOWN;
        holder.punkVal = cast;
        DotNetArgBuilder args(&reflection);
        ASSERT_EQ(args.Begin(1), S_OK);
        ASSERT_EQ(args.Set(0, holder), S_OK) << c.type;
        EXPECT_EQ(NameOf(args.TypeAt(0)), c.expected);
        EXPECT_TRUE(args.ExplicitTypes());
        cast->Release();
    }
    VARIANT value;
    VariantInit(&value);
    CTypeCast* unknown = new CTypeCast(SysAllocString(L"Nowhere.Type"), value);
    VARIANT holder;
    VariantInit(&holder);
    holder.vt = VT_UNKNOWN;
    holder.punkVal = unknown;
    DotNetArgBuilder args(&reflection);
    ASSERT_EQ(args.Begin(1), S_OK);
    EXPECT_EQ(args.Set(0, holder), CLR_E_TYPE_NOT_FOUND);
    unknown->Release();
}

TEST(DotNetRuntime, VersionsCompareByTheirNumbers)
{
    EXPECT_EQ(ChooseRuntimeVersion({L"v4.0.30319", L"v10.0.1", L"v2.0.50727"}), L"v10.0.1");
    EXPECT_EQ(ChooseRuntimeVersion({L"v4.0.30319", L"v4.0.3"}), L"v4.0.30319");
    EXPECT_EQ(ChooseRuntimeVersion({}), L"");
}

TEST(DotNetDispatch, MembersGetIdsInTheOrderFirstAsked)
{
    FakeReflection reflection;
    CDotNetDisp* disp = NewWrapper(&reflection, L"System.Text.StringBuilder");

    auto id = [&](const wchar_t* name) {
        DISPID found = 99;
        auto* n = const_cast<LPOLESTR>(name);
        HRESULT hr = disp->GetIDsOfNames(IID_NULL, &n, 1, 0, &found);
        return SUCCEEDED(hr) ? found : static_cast<DISPID>(hr);
    };
    EXPECT_EQ(id(L"Length"), 0);
    EXPECT_EQ(id(L"Append"), 1);
    EXPECT_EQ(id(L"Length"), 0);
    EXPECT_EQ(id(L"Missing"), DISP_E_UNKNOWNNAME);
    LPOLESTR two[2] = {const_cast<LPOLESTR>(L"Append"), const_cast<LPOLESTR>(L"value")};
    DISPID ids[2] = {5, 5};
    EXPECT_EQ(disp->GetIDsOfNames(IID_NULL, two, 2, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], 1);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);

    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(disp->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr), S_OK);
    ASSERT_EQ(disp->Invoke(0, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(disp->Invoke(0, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(disp->Invoke(7, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
    ASSERT_EQ(reflection.calls.size(), 2u);
    EXPECT_EQ(reflection.calls[0], L"Append/256");
    EXPECT_EQ(reflection.calls[1], L"Length/4096");

    HRESULT other = S_OK;
    std::thread([&] {
        DISPID found = 0;
        auto* n = const_cast<LPOLESTR>(L"Length");
        other = disp->GetIDsOfNames(IID_NULL, &n, 1, 0, &found);
    }).join();
    EXPECT_EQ(other, E_UNEXPECTED);
    void* marker = &other;
    EXPECT_EQ(disp->QueryInterface(IID_KvDotNetObject, &marker), S_OK);
    EXPECT_EQ(marker, nullptr) << "the private identifier only tells what the object is";
    disp->Release();
}

// A .NET type named before an argument of a .NET object's member makes the argument a
// cast whose type the runtime is asked for (for COM objects the same text is refused, 1702).
class DotNetScriptTest : public OleFrontTest {};

TEST_F(DotNetScriptTest, ANamedTypeBeforeAnArgumentMakesACast)
{
    FakeReflection reflection;
    CDotNetDisp* disp = NewWrapper(&reflection, L"System.Text.StringBuilder");
    resultants value;
    InitResultValue(ctx, &value, VK_RECORD, 0);
    ASSERT_TRUE(WrapDispatchAsObject(ctx, disp, true, &value));
    disp->Release();
    ASSERT_TRUE(SetVariableFromValue(ctx, "o", &value));
    FreeValue(ctx, &value, 0, VK_RECORD);
    Exec({"x = o.Append(System.Int16:5)", "y = o.Append(7)"});
    ASSERT_EQ(reflection.calls.size(), 2u);
    EXPECT_EQ(reflection.calls[0], L"Append/256 System.Int16");
    EXPECT_EQ(reflection.calls[1], L"Append/256 System.Int32");
}

}  // namespace
