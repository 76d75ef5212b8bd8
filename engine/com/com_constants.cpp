// Type-library constants: read from the enumerations of an object's type library into a
// balanced map by name (case ignored), answered by name and listed as a script array.
#include "engine/com/com_constants.h"

#include <oleauto.h>

#include <map>
#include <new>
#include <string>

#include "engine/com/com_names.h"
#include "engine/com/com_value.h"
#include "engine/core/context.h"
#include "engine/data/array.h"

namespace {

struct NameLess {
    bool operator()(const std::string& a, const std::string& b) const { return lstrcmpiA(a.c_str(), b.c_str()) < 0; }
};

constexpr uint16_t HIDDEN_MEMBER = VARFLAG_FHIDDEN | VARFLAG_FRESTRICTED | VARFLAG_FNONBROWSABLE;

}  // namespace

class CConstTable {
public:
    std::map<std::string, VARIANT, NameLess> constants;

    CConstTable() = default;
    CConstTable(const CConstTable&) = delete;
    CConstTable& operator=(const CConstTable&) = delete;
    ~CConstTable()
    {
        for (auto& entry : constants)
            VariantClear(&entry.second);
    }
    // The first constant of a name stays.
    bool Insert(const std::string& name, const VARIANT& value)
    {
        if (constants.count(name))
            return true;
        VARIANT copy;
        VariantInit(&copy);
        if (FAILED(VariantCopy(&copy, const_cast<VARIANT*>(&value))))
            return false;
        constants.emplace(name, copy);
        return true;
    }
};

namespace {

// The constants of one enumeration.
HRESULT ReadEnumeration(BDS* ctx, ITypeInfo* info, CConstTable* table)
{
    TYPEATTR* attr = nullptr;
    HRESULT hr = info->GetTypeAttr(&attr);
    if (FAILED(hr))
        return hr;
    for (WORD i = 0; i < attr->cVars && SUCCEEDED(hr); ++i) {
        VARDESC* var = nullptr;
        if (FAILED(hr = info->GetVarDesc(i, &var)))
            break;
        if (var->varkind == VAR_CONST && !(var->wVarFlags & HIDDEN_MEMBER) && var->lpvarValue) {
            BSTR name = nullptr;
            UINT count = 0;
            if (SUCCEEDED(info->GetNames(var->memid, &name, 1, &count)) && count == 1 && name) {
                char text[256];
                int n = WideCharToMultiByte(ComCodePage(ctx), 0, name, -1, text, sizeof text, nullptr, nullptr);
                if (n > 0) {
                    try {
                        if (!table->Insert(text, *var->lpvarValue))
                            SetError(ctx, 1491);
                    } catch (const std::bad_alloc&) {
                        SetError(ctx, 1491);
                    }
                }
            }
            SysFreeString(name);
        }
        info->ReleaseVarDesc(var);
        if (ctx->nErrorCode)
            break;
    }
    info->ReleaseTypeAttr(attr);
    return hr;
}

}  // namespace

HRESULT BuildConstTable(BDS* ctx, ITypeInfo* info, CConstTable** out)
{
    *out = nullptr;
    auto* table = new (std::nothrow) CConstTable();
    if (!table)
        return E_OUTOFMEMORY;
    ITypeLib* lib = nullptr;
    UINT own = 0;
    HRESULT hr = info->GetContainingTypeLib(&lib, &own);
    if (SUCCEEDED(hr)) {
        UINT count = lib->GetTypeInfoCount();
        for (UINT i = 0; i < count && SUCCEEDED(hr) && !ctx->nErrorCode; ++i) {
            if (i == own)
                continue;
            TYPEKIND kind;
            if (FAILED(hr = lib->GetTypeInfoType(i, &kind)))
                break;
            if (kind != TKIND_ENUM)
                continue;
            ITypeInfo* enumeration = nullptr;
            if (FAILED(hr = lib->GetTypeInfo(i, &enumeration)))
                break;
            hr = ReadEnumeration(ctx, enumeration, table);
            enumeration->Release();
        }
        lib->Release();
    }
    if (FAILED(hr) || ctx->nErrorCode) {
        delete table;
        return FAILED(hr) ? hr : E_FAIL;
    }
    if (table->constants.empty()) {
        delete table;
        return E_NOTIMPL;
    }
    *out = table;
    return S_OK;
}

CConstTable* CopyConstTable(const CConstTable& table)
{
    auto* copy = new (std::nothrow) CConstTable();
    if (!copy)
        return nullptr;
    try {
        for (const auto& entry : table.constants)
            copy->Insert(entry.first, entry.second);
    } catch (const std::bad_alloc&) {
    }
    return copy;
}

void FreeConstTable(CConstTable* table) { delete table; }

uint32_t ConstCount(const CConstTable& table) { return static_cast<uint32_t>(table.constants.size()); }

int ConstantLookup(BDS* ctx, const CConstTable& table, const char* name, CResultVar& out)
{
    auto found = table.constants.find(name);
    if (found == table.constants.end()) {
        SetError(ctx, 1255);
        return 0;
    }
    if (!out.VariantCopyToValue(found->second))
        return 0;
    out.v.originVar = ORIGIN_NONE;
    return 1;
}

int ConstTableToArray(BDS* ctx, const CConstTable& table, ValueHead* out)
{
    uint32_t count = ConstCount(table);
    ValueHead made{};
    if (CreateMyArray(ctx, &made, count + 1, 2, 0, 0, 0, 0, 2) < 0)
        return 0;
    ArrayHeader* block = ValueArray(&made);
    if (!block || !block->data) {
        ReleaseArray(ctx, &made.str, 1);
        SetError(ctx, 1637);
        return 0;
    }
    block->data[0].i32 = static_cast<int32_t>(count);
    block->data[0].flags = VF_INT;
    block->data[1].i32 = 0;
    block->data[1].flags = VF_INT;
    uint32_t row = 1;
    for (const auto& entry : table.constants) {
        ArrayElement& name = block->data[row * 2];
        ArrayElement& value = block->data[row * 2 + 1];
        name.str = HeapCopyText(ctx, entry.first.c_str(), entry.first.size());
        if (!name.str) {
            ReleaseArray(ctx, &made.str, 1);
            SetError(ctx, 3096);
            return 0;
        }
        name.flags = VF_STRING;
        VariantInit(&value.var);
        if (SUCCEEDED(VariantCopy(&value.var, const_cast<VARIANT*>(&entry.second))))
            value.flags = VF_VARIANT;
        ++row;
    }
    *out = made;
    return 1;
}
