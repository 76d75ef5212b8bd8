// Argument lists of IDispatch calls and the type information behind them: the parameter
// description of a member, the DISPPARAMS that carries a call's arguments, the builder that
// fills both from the script text, and the member-call cache of a dispatch holder.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/com/com_value.h"

class CParseObject;

// What the type information says about one member.
struct ParamDesc {
    DISPID memberId = DISPID_UNKNOWN;    // from GetIDsOfNames
    MEMBERID typeMemberId = MEMBERID_NIL;
    uint32_t optionalCount = 0;
    std::vector<VARTYPE> types;          // one per described parameter
    std::vector<uint16_t> flags;         // PARAMFLAG_FIN 1, PARAMFLAG_FOUT 2
    VARTYPE putRefType = 0;              // last parameter of the PROPERTYPUTREF function
    uint16_t putKind = 0;                // invoke kind of the first property put found
    uint16_t putRefKind = 0;             // ... of the PROPERTYPUTREF function
    bool described = false;              // a FUNCDESC or VARDESC was found
    bool changed = false;                // to be stored in the cache
};

// The DISPPARAMS of one call with its parameter description. The argument VARIANTs are
// bit copies of the argument wrappers' VARIANTs: the wrappers own what they point to.
class CDispParams {
public:
    DISPPARAMS dp{};
    std::vector<VARIANT> args;
    std::vector<DISPID> named;
    ParamDesc desc;
    uint32_t positional = 0;    // script arguments before the named ones

    CDispParams() = default;
    virtual ~CDispParams() = default;
    void Seal();   // points the DISPPARAMS at the arrays
};

// The member-call cache: descriptions by (DISPID, property put), a chained hash table
// whose buckets are made on the first insertion.
struct MemberCache {
    struct Entry {
        DISPID id;
        bool put;
        uint32_t hash;
        ParamDesc desc;
        Entry* next;
    };
    uint32_t bucketCount = 0;
    std::vector<Entry*> buckets;
    bool outOfMemory = false;
};
MemberCache* NewMemberCache(uint32_t buckets);
void FreeMemberCache(MemberCache* cache);
// 32-bit integer hash of a DISPID (the bucket is hash modulo the bucket count).
uint32_t MemberHash(DISPID id);
const ParamDesc* MemberCacheFind(const MemberCache* cache, DISPID id, bool put);
bool MemberCacheStore(MemberCache* cache, DISPID id, bool put, const ParamDesc& desc);

// Reads an object's type information: the dispinterface type (a dual interface's
// dispinterface), or E_NOTIMPL when the object has none. Sets up the holder's cache.
HRESULT BuildTypeInfo(DispatchHolder* holder, ITypeInfo** out);

// The description of a member for a call or property read, and for a property put.
HRESULT BindMemberTypes(ITypeInfo* info, const wchar_t* name, ParamDesc* desc);
HRESULT BindPutTypes(ITypeInfo* info, const wchar_t* name, ParamDesc* desc);

// The description of a member (from the holder's cache, else bound on the type
// information and stored in the cache): `fromCache` tells which.
HRESULT DescribeMember(DispatchHolder* holder, ITypeInfo* info, const wchar_t* name, DISPID id,
                       bool put, ParamDesc* desc, bool* fromCache);

// The argument position's described type and flags (0 when unknown).
VARTYPE ParamsArgType(const CDispParams& p, uint32_t position);
uint16_t ParamsArgFlags(const CDispParams& p, uint32_t position);
// DISPATCH_PROPERTYPUT 4, DISPATCH_PROPERTYPUTREF 8 or both, for the value at args[0].
WORD ChoosePropertyPutKind(const CDispParams& p);

// One argument of a call: its explicit type (0 none) and the wrapper that holds it.
// A .NET type named before an argument (System.String:x) gives it as a cast instead.
struct CallArgument {
    VARTYPE explicitType = 0;
    std::wstring typeName;
    std::unique_ptr<CResultVar> value;
};

// Builds the DISPPARAMS of obj.member(...) from the script text. S_OK; E_FAIL when a
// script error is set (the caller reports it); E_OUTOFMEMORY; or a lookup's failure.
class CParamsBuilder {
public:
    explicit CParamsBuilder(CComObjectAg* object);
    virtual ~CParamsBuilder() = default;
    HRESULT Build(BDS* ctx, const char* member, CParseObject& parser, CResultVar& putValue,
                  std::vector<CallArgument>& args, CDispParams& params, bool* isPut);

private:
    DispatchHolder* holder_;
    ITypeInfo* typeInfo_;
};
