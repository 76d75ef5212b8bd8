// Gates for the core's value conversions, the extender call form and the memory report,
// and the block-chain pool.
#include "engine/com/com_gates.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/com/com_safearray.h"
#include "engine/com/com_value.h"
#include "engine/data/array.h"

int GateValueChangeType(BDS* ctx, resultants* value)
{
    CResultVar v(ctx);
    if (!v.CopyFrom(*value)) {
        FreeValue(ctx, value, 0, VK_RECORD);
        return 0;
    }
    v.v.originVar = ORIGIN_NONE;
    if (!v.ValueToVariantType(0)) {
        FreeValue(ctx, value, 0, VK_RECORD);
        return 0;
    }
    FreeValue(ctx, value, 0, VK_RECORD);
    v.CopyOut(value, false);
    return 1;
}

int GateValueToVariant(BDS* ctx, uint32_t flags, VARTYPE type, const resultants* value, VARIANT* out)
{
    VariantInit(out);
    CResultVar v(ctx);
    if (!v.CopyFrom(*value))
        return 0;
    v.v.originVar = ORIGIN_NONE;
    if ((v.v.flags & VF_INT64) && type == 0)
        type = VT_I8;
    if (!v.ValueToVariantType(type))
        return 0;
    *out = v.v.var;
    v.Detach();
    return 1;
}

int ValueVariantToNative(BDS* ctx, ValueHead* value)
{
    if (!(value->flags & VF_VARIANT) || IsObjectValue(value))
        return 1;
    if (value->var.vt & VT_ARRAY)
        return SafeArrayValueToArray(ctx, value);
    return ValueToNativeKind(ctx, value);
}

int ValueDispatchToObject(BDS* ctx, ValueHead* value)
{
    VARTYPE base = value->var.vt & ~VT_BYREF;
    if (!IsComVariant(value) || (base != VT_DISPATCH && base != VT_UNKNOWN))
        return 0;
    IDispatch* disp = GetDispatchFromVariant(ctx, value->var);
    if (!disp)
        return 0;
    ValueHead made{};
    int ok = WrapDispatchAsObject(ctx, disp, true, &made);
    disp->Release();
    if (!ok)
        return 0;
    ValueReleaseComPayload(value->flags, value);
    value->var = made.var;
    value->i32 = made.i32;
    value->flags = made.flags;
    return 1;
}

int ObjectValueToDispatchVariant(BDS* ctx, ValueHead* value)
{
    CComObjectAg* object = ObjectOf(value);
    if (!object || !object->Dispatch())
        return 0;
    IDispatch* disp = object->Dispatch();
    disp->AddRef();
    delete object;
    VariantInit(&value->var);
    value->var.vt = VT_DISPATCH;
    value->var.pdispVal = disp;
    value->i32 = 0;
    value->flags = VF_VARIANT;
    return 1;
}

// ---------------------------------------------------------------- the memory report

namespace {

// The interface pointer that a value's COM data holds (the referenced one for the
// by-reference forms), or null when it holds none of the reported kinds.
bool InterfaceOf(const ValueHead& v, void** pointer)
{
    if (!(v.flags & VF_VARIANT))
        return false;
    if (CComObjectAg* object = ObjectOf(&v)) {
        *pointer = object->Dispatch();
        return true;
    }
    switch (v.var.vt) {
    case VT_DISPATCH: case VT_UNKNOWN:
        *pointer = v.var.punkVal;
        return true;
    case VT_DISPATCH | VT_BYREF: case VT_UNKNOWN | VT_BYREF:
        *pointer = v.var.ppunkVal ? *v.var.ppunkVal : nullptr;
        return true;
    default:
        return false;
    }
}

template <typename Visit>
void VisitComValues(BDS* ctx, Visit visit)
{
    for (uint32_t i = 1; i < ctx->nVarUsed; ++i) {
        const VariableEntry& v = ctx->pVars[i];
        if (const ArrayHeader* a = ValueArray(&v)) {
            if (!(a->flags & ARRAY_MAP) && a->data)
                for (uint32_t k = 0; k < a->count; ++k)
                    visit(a->data[k]);
        } else {
            visit(v);
        }
    }
}

}  // namespace

int32_t CountComObjectVariables(BDS* ctx)
{
    int32_t count = 0;
    VisitComValues(ctx, [&](const ValueHead& v) {
        void* p;
        if (InterfaceOf(v, &p))
            ++count;
    });
    return count;
}

int ListComObjectVariables(BDS* ctx, int crlf, resultants* result)
{
    std::string text;
    const char* separator = crlf ? "\r\n" : "\t";
    VisitComValues(ctx, [&](const ValueHead& v) {
        void* p = nullptr;
        if (!InterfaceOf(v, &p) || !p)
            return;
        text += std::to_string(static_cast<int32_t>(reinterpret_cast<uintptr_t>(p)));
        text += separator;
    });
    if (!text.empty())
        text.resize(text.size() - std::strlen(separator));
    if (!SetResultText(ctx, result, text.c_str(), text.size())) {
        SetResultInt(ctx, result, 0);
        return 0;
    }
    return 1;
}

int32_t CountObjectReferences(BDS* ctx, int32_t pointer)
{
    if (pointer == 0)
        return 0;
    int32_t count = 0;
    VisitComValues(ctx, [&](const ValueHead& v) {
        void* p = nullptr;
        if (InterfaceOf(v, &p) && static_cast<int32_t>(reinterpret_cast<uintptr_t>(p)) == pointer)
            ++count;
    });
    return count;
}

// ---------------------------------------------------------------- the block-chain pool

void* BlockChainAlloc(void** chain, size_t count, size_t size)
{
    if (!chain || count == 0 || size == 0 || count > (SIZE_MAX - 8) / size)
        return nullptr;
    auto* block = static_cast<uint8_t*>(std::calloc(1, 8 + count * size));
    if (!block)
        return nullptr;
    std::memcpy(block, chain, sizeof(void*));   // the link to the previous front block
    *chain = block;
    return block + 8;
}

void BlockChainFreeAll(void* first)
{
    auto* block = static_cast<uint8_t*>(first);
    while (block) {
        uint8_t* next;
        std::memcpy(&next, block, sizeof next);
        std::free(block);
        block = next;
    }
}
