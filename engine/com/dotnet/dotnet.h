// .NET objects: the runtime host of a context (CDotNet), the dispatch wrapper through which
// scripts call members of .NET objects by reflection (CDotNetDisp), the argument builder
// that pairs each argument with its System.Type, and explicit type casts (CTypeCast).
//
// Every reflection call goes through ClrReflection: the runtime's objects answer it when a
// runtime is loaded; unit tests hand fakes. The runtime's hosting tables are declared by
// hand in dotnet_clr.h.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/com/com_counted.h"

struct BDS;
struct resultants;

// ---------------------------------------------------------------- reflection seam

// MemberTypes and BindingFlags of the runtime's reflection.
constexpr int32_t MEMBER_FIELD = 4, MEMBER_METHOD = 8, MEMBER_PROPERTY = 16;
constexpr int32_t BIND_LOOKUP = 0x7C;          // Instance, Static, Public, NonPublic, FlattenHierarchy
constexpr int32_t BIND_CREATE = 0x274;         // Instance, Static, Public, NonPublic, CreateInstance
constexpr int32_t BIND_INVOKE_METHOD = 0x100, BIND_GET_FIELD = 0x400, BIND_SET_FIELD = 0x800;
constexpr int32_t BIND_GET_PROPERTY = 0x1000, BIND_SET_PROPERTY = 0x2000;
constexpr HRESULT CLR_E_TYPE_NOT_FOUND = static_cast<HRESULT>(0x80045848);
constexpr HRESULT CLR_E_SIGNATURE_NOT_FOUND = static_cast<HRESULT>(0x80045851);

// The reflection calls of the .NET layer. Types are the runtime's System.Type objects,
// held as IUnknown.
class ClrReflection {
public:
    virtual ~ClrReflection() = default;
    // A type of the core library ("mscorlib") by name.
    virtual HRESULT CorlibType(BSTR name, IUnknown** type) = 0;
    // A type by name from the assemblies loaded into the domain, in the domain's order.
    virtual HRESULT LoadedType(BSTR name, IUnknown** type) = 0;
    // The one-dimensional array type of an element type.
    virtual HRESULT ArrayTypeOf(IUnknown* element, IUnknown** type) = 0;
    // The type of a .NET object in a VARIANT.
    virtual HRESULT TypeOfObject(const VARIANT& object, IUnknown** type) = 0;
    virtual HRESULT LoadAssembly(BSTR name) = 0;
    // MemberTypes of the first member of that name (BIND_LOOKUP); S_FALSE when none.
    virtual HRESULT MemberKind(IUnknown* type, BSTR name, int32_t* kind) = 0;
    // Type.InvokeMember(name, flags, no binder, target, arguments) into result; with types
    // given, the member of exactly those argument types is asked for first (S_FALSE when
    // there is none).
    virtual HRESULT InvokeMember(IUnknown* type, BSTR name, int32_t flags, const VARIANT& target, SAFEARRAY* types,
                                 SAFEARRAY* arguments, VARIANT* result) = 0;
};

// ---------------------------------------------------------------- type names and casts

// "System.Int32" for VT_I4 ...; DISP_E_TYPEMISMATCH for a type without one.
HRESULT SystemTypeNameFromVarType(VARTYPE type, BSTR* name);

// A value viewed as a .NET type (ObjectClrType without an object): VT_UNKNOWN in scripts.
class CTypeCast : public ComCounted<IUnknown> {
public:
    CTypeCast(BSTR typeName, VARIANT value);
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    BSTR TypeName() const { return name_; }
    const VARIANT& Value() const { return value_; }

private:
    virtual ~CTypeCast();
    BSTR name_;
    VARIANT value_;
};
extern const IID IID_KvTypeCast;
// The cast an interface is, or null (not counted for the caller).
CTypeCast* AsTypeCast(IUnknown* unknown);

// ---------------------------------------------------------------- arguments

// Pairs each argument with its System.Type for the runtime's overload choice.
class DotNetArgBuilder {
public:
    explicit DotNetArgBuilder(ClrReflection* reflection) : reflection_(reflection) {}
    ~DotNetArgBuilder();
    DotNetArgBuilder(const DotNetArgBuilder&) = delete;
    DotNetArgBuilder& operator=(const DotNetArgBuilder&) = delete;

    HRESULT Begin(uint32_t count);
    HRESULT Set(uint32_t index, const VARIANT& value);
    void Close();

    SAFEARRAY* Types() const { return types_; }
    SAFEARRAY* Values() const { return values_; }
    bool ExplicitTypes() const { return explicit_; }
    // The type stored for argument `index` (not counted), or null.
    IUnknown* TypeAt(uint32_t index) const;

private:
    void Free();
    ClrReflection* reflection_;
    SAFEARRAY* types_ = nullptr;
    SAFEARRAY* values_ = nullptr;
    uint32_t count_ = 0;
    bool explicit_ = false;
};

// ---------------------------------------------------------------- the dispatch wrapper

extern const IID IID_KvDotNetObject;
extern const IID IID_ClrType;   // the runtime's _Type

// The IDispatch of a .NET object or of a type's static members.
class CDotNetDisp : public ComCounted<IDispatch> {
public:
    // The instance (copied; VT_EMPTY for static members) and its type (counted).
    CDotNetDisp(ClrReflection* reflection, const VARIANT& instance, IUnknown* type);
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** out) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excep, UINT* argError) override;
    const VARIANT& Instance() const { return instance_; }

private:
    virtual ~CDotNetDisp();
    struct Member {
        std::wstring name;
        int32_t kind;
    };
    ClrReflection* reflection_;
    std::vector<Member> members_;
    VARIANT instance_;
    IUnknown* type_;
    DWORD thread_;
};

// ---------------------------------------------------------------- the host

// Picks the runtime to bind from installed version strings: the greatest, compared by
// their numbers ("v10.0.1" over "v4.0.30319"); empty when there is none.
std::wstring ChooseRuntimeVersion(const std::vector<std::wstring>& versions);

class CDotNet {
public:
    explicit CDotNet(BDS* ctx);
    virtual ~CDotNet();
    // Starts the runtime on first use: 1, or 0 with the error set (1845).
    int Initialize(BDS* ctx);
    // "version" and "appbase" before the start (1849 after it).
    int SetOption(BDS* ctx, const wchar_t* option, const wchar_t* value);
    int LoadAssembly(BDS* ctx, const wchar_t* name, bool partial);
    // A new object of the named type with the arguments (script values), wrapped: 1, or 0
    // with the error set.
    int CreateClassInstance(BDS* ctx, const wchar_t* typeName, resultants** args, int count, IDispatch** out);
    // A value viewed as a type: a wrapper (VT_DISPATCH) when the runtime runs and the value
    // is an object, else a cast (VT_UNKNOWN).
    int CreateCastObject(BDS* ctx, const wchar_t* typeName, const VARIANT& value, VARIANT* out);

    bool Started() const { return started_; }
    // Tests run the host over fake reflection: it counts as started.
    void UseReflectionForTest(ClrReflection* reflection);

private:
    HRESULT StartRuntime();
    void ReleaseRuntime();
    void RecordClrError(BDS* ctx);
    bool started_ = false;
    IUnknown* host_ = nullptr;        // ICorRuntimeHost
    IUnknown* domain_ = nullptr;      // _AppDomain
    IUnknown* domainUnknown_ = nullptr;
    IUnknown* corlib_ = nullptr;      // the "mscorlib" _Assembly
    std::wstring version_;
    std::wstring appBase_;
    std::unique_ptr<ClrReflection> reflection_;
    ClrReflection* testReflection_ = nullptr;
    ClrReflection* Reflection() const { return testReflection_ ? testReflection_ : reflection_.get(); }
};

// The context's host, made on first use; null when it cannot be made.
CDotNet* GetOrCreateDotNet(BDS* ctx);
