// Argument lists of IDispatch calls: the DISPIDs and the parameter description of a member
// from the type information, the member-call cache, and the DISPPARAMS of one call.
#include "engine/com/com_params.h"

#include <dispex.h>
#include <oleauto.h>

#include <cstring>
#include <new>

#include "engine/com/com_names.h"
#include "engine/com/com_parse.h"
#include "engine/com/dotnet/dotnet.h"
#include "engine/core/context.h"

// ---------------------------------------------------------------- the cache

uint32_t MemberHash(DISPID id)
{
    auto key = static_cast<int32_t>(id);
    auto add = [](int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b)); };
    key = add(key, ~static_cast<int32_t>(static_cast<uint32_t>(key) << 15));
    key ^= key >> 10;
    key = static_cast<int32_t>(static_cast<uint32_t>(key) * 9u);
    key ^= key >> 6;
    key = add(key, ~static_cast<int32_t>(static_cast<uint32_t>(key) << 11));
    key ^= key >> 16;
    return static_cast<uint32_t>(key);
}

MemberCache* NewMemberCache(uint32_t buckets)
{
    auto* cache = new (std::nothrow) MemberCache();
    if (cache)
        cache->bucketCount = buckets ? buckets : 1;
    return cache;
}

void FreeMemberCache(MemberCache* cache)
{
    if (!cache)
        return;
    for (MemberCache::Entry* head : cache->buckets) {
        while (head) {
            MemberCache::Entry* next = head->next;
            delete head;
            head = next;
        }
    }
    delete cache;
}

const ParamDesc* MemberCacheFind(const MemberCache* cache, DISPID id, bool put)
{
    if (!cache || cache->buckets.empty())
        return nullptr;
    uint32_t hash = MemberHash(id);
    for (const MemberCache::Entry* e = cache->buckets[hash % cache->bucketCount]; e; e = e->next)
        if (e->hash == hash && e->put == put && e->id == id)
            return &e->desc;
    return nullptr;
}

bool MemberCacheStore(MemberCache* cache, DISPID id, bool put, const ParamDesc& desc)
{
    if (!cache)
        return false;
    try {
        if (cache->buckets.empty())
            cache->buckets.assign(cache->bucketCount, nullptr);
        uint32_t hash = MemberHash(id);
        auto* entry = new MemberCache::Entry{id, put, hash, desc, nullptr};
        entry->desc.changed = false;
        MemberCache::Entry*& head = cache->buckets[hash % cache->bucketCount];
        entry->next = head;
        head = entry;
        return true;
    } catch (const std::bad_alloc&) {
        cache->outOfMemory = true;
        return false;
    }
}

// ---------------------------------------------------------------- type information

namespace {

VARTYPE RefTypeToVarType(ITypeInfo* info, HREFTYPE ref);

VARTYPE TypeDescToVarType(ITypeInfo* info, const TYPEDESC* t)
{
    switch (t->vt) {
    case VT_VOID:
    case VT_HRESULT:
        return 0;
    case VT_PTR:
        return static_cast<VARTYPE>(VT_BYREF | TypeDescToVarType(info, t->lptdesc));
    case VT_SAFEARRAY:
        return static_cast<VARTYPE>(VT_ARRAY | TypeDescToVarType(info, t->lptdesc));
    case VT_USERDEFINED:
        return RefTypeToVarType(info, t->hreftype);
    default:
        return t->vt;
    }
}

VARTYPE RefTypeToVarType(ITypeInfo* info, HREFTYPE ref)
{
    ITypeInfo* target = nullptr;
    if (FAILED(info->GetRefTypeInfo(ref, &target)))
        return 0;
    TYPEATTR* attr = nullptr;
    VARTYPE type = 0;
    if (SUCCEEDED(target->GetTypeAttr(&attr))) {
        switch (attr->typekind) {
        case TKIND_ENUM: type = VT_I4; break;
        case TKIND_RECORD: type = VT_RECORD; break;
        case TKIND_INTERFACE: type = (attr->wTypeFlags & TYPEFLAG_FDUAL) ? VT_DISPATCH : VT_UNKNOWN; break;
        case TKIND_DISPATCH: type = VT_DISPATCH; break;
        case TKIND_COCLASS: type = (attr->wTypeFlags & TYPEFLAG_FDISPATCHABLE) ? VT_DISPATCH : VT_UNKNOWN; break;
        case TKIND_ALIAS: type = TypeDescToVarType(target, &attr->tdescAlias); break;
        default: type = 0; break;
        }
        target->ReleaseTypeAttr(attr);
    }
    target->Release();
    return type;
}

void DescribeFunction(ITypeInfo* info, const FUNCDESC* f, ParamDesc* desc)
{
    desc->types.resize(static_cast<size_t>(f->cParams));
    desc->flags.resize(static_cast<size_t>(f->cParams));
    desc->optionalCount = static_cast<uint32_t>(f->cParamsOpt);
    for (SHORT i = 0; i < f->cParams; ++i) {
        desc->types[i] = TypeDescToVarType(info, &f->lprgelemdescParam[i].tdesc);
        desc->flags[i] = f->lprgelemdescParam[i].paramdesc.wParamFlags & 3;
    }
    desc->described = true;
    desc->changed = true;
}

void DescribeVariable(ITypeInfo* info, const VARDESC* v, ParamDesc* desc)
{
    desc->types.assign(1, TypeDescToVarType(info, &v->elemdescVar.tdesc));
    desc->flags.assign(1, 0);
    desc->described = true;
    desc->changed = true;
}

enum class BindOutcome { Function, Variable, None, Failed };

// Binds a name on a type's ITypeComp (following nested ITypeComps) with `flags`; hands a
// FUNCDESC or VARDESC to `take`. Answers what was found.
template <typename Take>
BindOutcome BindName(ITypeComp* comp, const wchar_t* name, WORD flags, Take take)
{
    ULONG hash = LHashValOfNameSys(SYS_WIN32, COM_LOCALE, name);
    for (int depth = 0; depth < 8 && comp; ++depth) {
        ITypeInfo* found = nullptr;
        DESCKIND kind = DESCKIND_NONE;
        BINDPTR bound{};
        HRESULT hr = comp->Bind(const_cast<LPOLESTR>(name), hash, flags, &found, &kind, &bound);
        if (FAILED(hr))
            return BindOutcome::Failed;
        switch (kind) {
        case DESCKIND_FUNCDESC:
            take(found, bound.lpfuncdesc, nullptr);
            found->ReleaseFuncDesc(bound.lpfuncdesc);
            found->Release();
            return BindOutcome::Function;
        case DESCKIND_VARDESC:
            take(found, nullptr, bound.lpvardesc);
            found->ReleaseVarDesc(bound.lpvardesc);
            found->Release();
            return BindOutcome::Variable;
        case DESCKIND_TYPECOMP:
            if (found)
                found->Release();
            if (depth > 0)
                comp->Release();
            comp = bound.lptcomp;
            continue;
        case DESCKIND_IMPLICITAPPOBJ:
            if (bound.lpvardesc && found)
                found->ReleaseVarDesc(bound.lpvardesc);
            if (found)
                found->Release();
            return BindOutcome::None;
        default:
            if (found)
                found->Release();
            return BindOutcome::None;
        }
    }
    return BindOutcome::None;
}

// Searches the type library for a declaration of the name whose member id matches.
HRESULT FindMemberInTypeLib(ITypeInfo* info, const wchar_t* name, ParamDesc* desc)
{
    ITypeLib* lib = nullptr;
    UINT index = 0;
    if (FAILED(info->GetContainingTypeLib(&lib, &index)))
        return DISP_E_UNKNOWNNAME;
    ITypeInfo* infos[16] = {};
    MEMBERID ids[16] = {};
    USHORT found = 16;
    HRESULT result = DISP_E_UNKNOWNNAME;
    if (SUCCEEDED(lib->FindName(const_cast<LPOLESTR>(name), 0, infos, ids, &found))) {
        for (USHORT i = 0; i < found; ++i) {
            if (result == S_OK || ids[i] == MEMBERID_NIL)
                continue;
            ITypeComp* comp = nullptr;
            if (SUCCEEDED(infos[i]->GetTypeComp(&comp))) {
                BindName(comp, name, INVOKE_FUNC | INVOKE_PROPERTYGET,
                         [&](ITypeInfo* owner, const FUNCDESC* f, const VARDESC* v) {
                             if (f && f->memid == desc->typeMemberId) {
                                 DescribeFunction(owner, f, desc);
                                 result = S_OK;
                             } else if (v) {
                                 DescribeVariable(owner, v, desc);
                                 result = S_OK;
                             }
                         });
                comp->Release();
            }
        }
        for (USHORT i = 0; i < found; ++i)
            if (infos[i])
                infos[i]->Release();
    }
    lib->Release();
    return result;
}

}  // namespace

HRESULT BuildTypeInfo(DispatchHolder* holder, ITypeInfo** out)
{
    *out = nullptr;
    UINT count = 0;
    HRESULT hr = holder->disp->GetTypeInfoCount(&count);
    if (FAILED(hr))
        return hr;
    ITypeInfo* info = nullptr;
    if (count == 0 || FAILED(holder->disp->GetTypeInfo(0, COM_LOCALE, &info)) || !info)
        return E_NOTIMPL;
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) {
        info->Release();
        return E_NOTIMPL;
    }
    if (attr->typekind == TKIND_INTERFACE && (attr->wTypeFlags & TYPEFLAG_FDUAL)) {
        HREFTYPE ref;
        ITypeInfo* dispatch = nullptr;
        if (SUCCEEDED(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref)) &&
            SUCCEEDED(info->GetRefTypeInfo(ref, &dispatch))) {
            TYPEATTR* dispAttr = nullptr;
            if (SUCCEEDED(dispatch->GetTypeAttr(&dispAttr))) {
                if (dispAttr->typekind == TKIND_DISPATCH) {
                    info->ReleaseTypeAttr(attr);
                    info->Release();
                    info = dispatch;
                    attr = dispAttr;
                    dispatch = nullptr;
                } else {
                    dispatch->ReleaseTypeAttr(dispAttr);
                }
            }
            if (dispatch)
                dispatch->Release();
        }
    }
    bool isDispatch = attr->typekind == TKIND_DISPATCH;
    uint32_t buckets = static_cast<uint32_t>(attr->cFuncs) + attr->cVars + 1;
    info->ReleaseTypeAttr(attr);
    if (!isDispatch) {
        info->Release();
        return E_NOTIMPL;
    }
    if (holder->cacheOn && !holder->cache) {
        holder->cache = NewMemberCache(buckets);
        if (!holder->cache) {
            info->Release();
            return E_OUTOFMEMORY;
        }
    }
    *out = info;
    return S_OK;
}

HRESULT BindMemberTypes(ITypeInfo* info, const wchar_t* name, ParamDesc* desc)
{
    if (!info)
        return S_OK;
    ITypeComp* comp = nullptr;
    HRESULT hr = info->GetTypeComp(&comp);
    if (FAILED(hr))
        return hr == DISP_E_UNKNOWNNAME ? S_OK : hr;
    BindOutcome outcome = BindName(comp, name, INVOKE_FUNC | INVOKE_PROPERTYGET,
                                   [&](ITypeInfo* owner, const FUNCDESC* f, const VARDESC* v) {
                                       if (f)
                                           DescribeFunction(owner, f, desc);
                                       else
                                           DescribeVariable(owner, v, desc);
                                   });
    comp->Release();
    if (outcome == BindOutcome::None)
        FindMemberInTypeLib(info, name, desc);
    return S_OK;
}

HRESULT BindPutTypes(ITypeInfo* info, const wchar_t* name, ParamDesc* desc)
{
    if (!info)
        return S_OK;
    ITypeComp* comp = nullptr;
    if (FAILED(info->GetTypeComp(&comp)))
        return S_OK;
    bool foundFirst = false;
    for (WORD kind : {WORD(INVOKE_PROPERTYPUT), WORD(INVOKE_PROPERTYPUTREF)}) {
        BindName(comp, name, kind, [&](ITypeInfo* owner, const FUNCDESC* f, const VARDESC* v) {
            if (!foundFirst) {
                if (f) {
                    DescribeFunction(owner, f, desc);
                    desc->putKind = static_cast<uint16_t>(f->invkind);
                } else {
                    DescribeVariable(owner, v, desc);
                }
                foundFirst = true;
            } else if (f && kind == INVOKE_PROPERTYPUTREF && f->cParams > 0) {
                desc->putRefType = TypeDescToVarType(owner, &f->lprgelemdescParam[f->cParams - 1].tdesc);
                desc->putRefKind = static_cast<uint16_t>(f->invkind);
            }
        });
    }
    comp->Release();
    return S_OK;
}

HRESULT DescribeMember(DispatchHolder* holder, ITypeInfo* info, const wchar_t* name, DISPID id,
                       bool put, ParamDesc* desc, bool* fromCache)
{
    *fromCache = false;
    if (holder && holder->cacheOn) {
        if (const ParamDesc* hit = MemberCacheFind(holder->cache, id, put)) {
            *desc = *hit;
            desc->changed = false;
            *fromCache = true;
            return S_OK;
        }
    }
    *desc = ParamDesc{};
    desc->memberId = id;
    desc->changed = true;
    desc->typeMemberId = id;
    if (info) {
        MEMBERID member;
        LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
        if (SUCCEEDED(info->GetIDsOfNames(names, 1, &member)))
            desc->typeMemberId = member;
    }
    HRESULT hr = put ? BindPutTypes(info, name, desc) : BindMemberTypes(info, name, desc);
    if (FAILED(hr))
        return hr;
    if (holder && holder->cacheOn && holder->cache && desc->changed) {
        if (!MemberCacheStore(holder->cache, id, put, *desc))
            return E_OUTOFMEMORY;
        desc->changed = false;
    }
    return S_OK;
}

// ---------------------------------------------------------------- the DISPPARAMS

void CDispParams::Seal()
{
    dp.rgvarg = args.empty() ? nullptr : args.data();
    dp.cArgs = static_cast<UINT>(args.size());
    dp.rgdispidNamedArgs = named.empty() ? nullptr : named.data();
    dp.cNamedArgs = static_cast<UINT>(named.size());
}

namespace {

// The parameter index a script argument fills, or -1.
int ParameterOf(const CDispParams& p, uint32_t position)
{
    if (position < p.positional)
        return static_cast<int>(position);
    size_t index = p.args.size() - 1 - position;
    if (index >= p.named.size())
        return -1;
    DISPID id = p.named[index];
    return id >= 0 ? static_cast<int>(id) : -1;
}

// How many parameters take a described type. A member with a variable argument list
// (an optional count of -1) declares its last parameter as the SAFEARRAY in which the
// callee gathers the trailing arguments; the script passes those one by one, so they go
// in their natural types instead of being forced into that array.
size_t TypedParameters(const CDispParams& p, size_t described)
{
    bool varargs = static_cast<int32_t>(p.desc.optionalCount) == -1 && described > 0;
    return varargs ? described - 1 : described;
}

}  // namespace

VARTYPE ParamsArgType(const CDispParams& p, uint32_t position)
{
    int index = ParameterOf(p, position);
    return index >= 0 && static_cast<size_t>(index) < TypedParameters(p, p.desc.types.size()) ? p.desc.types[index]
                                                                                                : 0;
}

uint16_t ParamsArgFlags(const CDispParams& p, uint32_t position)
{
    int index = ParameterOf(p, position);
    return index >= 0 && static_cast<size_t>(index) < TypedParameters(p, p.desc.flags.size()) ? p.desc.flags[index]
                                                                                                : 0;
}

WORD ChoosePropertyPutKind(const CDispParams& p)
{
    VARTYPE v = p.args.empty() ? VARTYPE(VT_EMPTY) : p.args[0].vt;
    bool byref = (v & VT_BYREF) != 0;
    if (!p.desc.described || p.desc.types.empty())
        return byref ? 12 : 4;
    auto pick = [&](uint16_t kind) -> WORD { return (kind == 8 && !byref) ? 12 : kind; };
    VARTYPE putType = p.desc.types.back();
    if (v == putType && (p.desc.putKind & 12))
        return pick(p.desc.putKind);
    if (p.desc.putRefType && v == p.desc.putRefType && (p.desc.putRefKind & 12))
        return pick(p.desc.putRefKind);
    if (putType == VT_VARIANT && (p.desc.putKind & 12))
        return pick(p.desc.putKind);
    if (p.desc.putRefType == VT_VARIANT && (p.desc.putRefKind & 12))
        return pick(p.desc.putRefKind);
    return 12;
}

// ---------------------------------------------------------------- the builder

CParamsBuilder::CParamsBuilder(CComObjectAg* object)
    : holder_(object ? object->holder : nullptr), typeInfo_(object ? object->typeInfo : nullptr)
{
}

namespace {

// IDispatchEx's interface identifier (the import libraries do not carry it).
const IID kIidDispatchEx = {0xa6ef9860, 0xc720, 0x11d0, {0x93, 0x37, 0x00, 0xa0, 0xc9, 0x0d, 0xca, 0xa9}};

struct NameList {
    std::vector<BSTR> names;
    ~NameList()
    {
        for (BSTR b : names)
            SysFreeString(b);
    }
};

HRESULT ResolveIds(IDispatch* disp, ITypeInfo* info, std::vector<BSTR>& names, std::vector<DISPID>& ids)
{
    ids.assign(names.size(), DISPID_UNKNOWN);
    UINT count = static_cast<UINT>(names.size());
    HRESULT first = disp->GetIDsOfNames(IID_NULL, names.data(), count, COM_LOCALE, ids.data());
    if (SUCCEEDED(first))
        return first;
    if (info && SUCCEEDED(info->GetIDsOfNames(names.data(), count, ids.data())))
        return S_OK;
    if (count == 1) {
        IDispatchEx* ex = nullptr;
        if (SUCCEEDED(disp->QueryInterface(kIidDispatchEx, reinterpret_cast<void**>(&ex)))) {
            HRESULT hr = ex->GetDispID(names[0], fdexNameEnsure | fdexNameCaseInsensitive, &ids[0]);
            ex->Release();
            if (SUCCEEDED(hr))
                return hr;
        }
    }
    return first;
}

// The type a property put's value takes: the put function's value parameter, or the
// PROPERTYPUTREF value type where the first is by reference.
VARTYPE PutValueType(const ParamDesc& d, bool other)
{
    if (!d.described || d.types.empty())
        return 0;
    VARTYPE first = d.types.back();
    VARTYPE second = d.putRefType;
    bool useSecond = (first & VT_BYREF) && second && !(second & VT_BYREF);
    if (other)
        useSecond = !useSecond;
    return useSecond ? second : first;
}

}  // namespace

namespace {

// An argument with a .NET type before it becomes a cast of its value to that type.
int MakeTypeCast(BDS* ctx, const std::wstring& typeName, CResultVar& value)
{
    if (!value.ValueToVariantType(0))
        return 0;
    VARIANT inner;
    VariantInit(&inner);
    BSTR name = SysAllocString(typeName.c_str());
    if (!name || FAILED(VariantCopy(&inner, &value.v.var))) {
        SysFreeString(name);
        SetError(ctx, 1491);
        return 0;
    }
    auto* cast = new (std::nothrow) CTypeCast(name, inner);
    if (!cast) {
        SysFreeString(name);
        VariantClear(&inner);
        SetError(ctx, 1491);
        return 0;
    }
    value.Release();
    value.v.var.vt = VT_UNKNOWN;
    value.v.var.punkVal = cast;
    value.v.flags = VF_VARIANT;
    return 1;
}

}  // namespace

HRESULT CParamsBuilder::Build(BDS* ctx, const char* member, CParseObject& parser, CResultVar& putValue,
                              std::vector<CallArgument>& args, CDispParams& params, bool* isPut)
{
    *isPut = false;
    if (!holder_ || !holder_->disp)
        return E_FAIL;
    NameList list;
    BSTR name = AnsiToBstr(ctx, member);
    if (!name)
        return E_FAIL;
    list.names.push_back(name);

    parser.BeginArguments();
    void* dotNet = nullptr;
    parser.AllowTypeNames(SUCCEEDED(holder_->disp->QueryInterface(IID_KvDotNetObject, &dotNet)));
    for (;;) {
        CallArgument argument;
        argument.value.reset(new (std::nothrow) CResultVar(ctx));
        if (!argument.value)
            return E_OUTOFMEMORY;
        if (!parser.ParseMemberArgument(argument, list.names))
            break;
        args.push_back(std::move(argument));
    }
    if (ctx->nErrorCode)
        return E_FAIL;
    *isPut = parser.ParsePropertyPutValue(putValue) != 0;
    if (ctx->nErrorCode)
        return E_FAIL;

    std::vector<DISPID> ids;
    HRESULT hr = ResolveIds(holder_->disp, typeInfo_, list.names, ids);
    if (FAILED(hr))
        return hr;
    uint32_t count = static_cast<uint32_t>(args.size());
    uint32_t namedCount = static_cast<uint32_t>(list.names.size() - 1);
    params.positional = count - namedCount;
    if (*isPut)
        params.named.push_back(DISPID_PROPERTYPUT);
    for (size_t k = list.names.size() - 1; k >= 1; --k)
        params.named.push_back(ids[k]);

    bool fromCache = false;
    hr = DescribeMember(holder_, typeInfo_, list.names[0], ids[0], *isPut, &params.desc, &fromCache);
    if (FAILED(hr))
        return hr;

    uint32_t total = count + (*isPut ? 1 : 0);
    try {
        params.args.assign(total, VARIANT{});
    } catch (const std::bad_alloc&) {
        SetError(ctx, 1491);
        return E_FAIL;
    }
    for (uint32_t i = 0; i < count; ++i) {
        CResultVar& value = *args[i].value;
        VARTYPE type = args[i].explicitType ? args[i].explicitType : ParamsArgType(params, i);
        int ok = !args[i].typeName.empty()                     ? MakeTypeCast(ctx, args[i].typeName, value)
                 : ParamsArgFlags(params, i) == PARAMFLAG_FOUT ? value.SetZeroOfType(type)
                                                               : value.ValueToVariantType(type);
        if (!ok) {
            if (!ctx->nErrorCode)
                SetError(ctx, 1257);
            return E_FAIL;
        }
        size_t index = total - 1 - i;
        if (index >= params.args.size()) {
            SetError(ctx, 1425);
            return E_FAIL;
        }
        params.args[index] = value.v.var;
    }
    if (*isPut) {
        resultants saved{};
        CopyValue(ctx, &putValue.v, &saved, 0, VK_RECORD | VM_TO_RECORD | VM_COPY_TEXT | VM_COPY_COM);
        saved.originVar = ORIGIN_NONE;   // the copy owns what it holds
        VARTYPE type = PutValueType(params.desc, false);
        if (!putValue.ValueToVariantType(type)) {
            VARTYPE other = PutValueType(params.desc, true);
            if (!other || (other & ~VT_BYREF) == (type & ~VT_BYREF)) {
                FreeValue(ctx, &saved, 0, VK_RECORD);
                return E_FAIL;
            }
            SetError(ctx, 0);
            putValue.Release();
            putValue.Adopt(saved);
            if (!putValue.ValueToVariantType(other))
                return E_FAIL;
        } else {
            FreeValue(ctx, &saved, 0, VK_RECORD);
        }
        params.args[0] = putValue.v.var;
    }
    params.Seal();
    return S_OK;
}
