// COM values inside value records: conversions of a record's VARIANT to the engine's
// own forms through the system's variant conversions, and release and copy of the
// payload.
#include "engine/com/com_value.h"

#include <oleauto.h>

#include <cstring>

#include "engine/core/context.h"
#include "engine/core/delay_load.h"

namespace {

VARTYPE TargetType(uint32_t kind)
{
    switch (kind) {
    case VF_INT: return VT_I4;
    case VF_INT64: return VT_I8;
    case VF_FLOAT: return VT_R8;
    case VF_STRING:
    case VF_UNICODE: return VT_BSTR;
    default: return VT_EMPTY;
    }
}

// Stores the converted variant's form into the record; false when the heap is full.
bool StoreForm(BDS* ctx, uint32_t kind, const VARIANT& converted, ValueHead* value)
{
    switch (kind) {
    case VF_INT:
        value->i32 = converted.lVal;
        value->flags |= VF_INT;
        return true;
    case VF_INT64:
        value->i64 = converted.llVal;
        value->flags = (value->flags & ~VF_FLOAT) | VF_INT64;
        return true;
    case VF_FLOAT:
        value->dbl = converted.dblVal;
        value->flags = (value->flags & ~VF_INT64) | VF_FLOAT;
        return true;
    case VF_STRING: {
        uint64_t offset = HeapCopyWideAsNarrow(ctx, converted.bstrVal, delay::SysStringLen(converted.bstrVal));
        if (offset == 0) return false;
        value->str = offset;
        value->flags |= VF_STRING;
        return true;
    }
    default: {
        uint64_t offset = HeapCopyWText(ctx, converted.bstrVal, delay::SysStringLen(converted.bstrVal));
        if (offset == 0) return false;
        value->wstr = offset;
        value->flags |= VF_UNICODE;
        return true;
    }
    }
}

}  // namespace

int ValueConvertInPlace(BDS* ctx, uint32_t kind, ValueHead* value)
{
    bool text = kind == VF_STRING || kind == VF_UNICODE;
    VARTYPE type = TargetType(kind);
    if (!(value->flags & VF_VARIANT) || type == VT_EMPTY) {
        SetError(ctx, text ? 3056 : 3057);
        return 0;
    }
    if (value->flags & kind) return 1;
    VARIANT converted;
    EmptyVariant(&converted);
    if (FAILED(delay::VariantChangeType(&converted, &value->var, 0, type))) {
        SetError(ctx, text ? 3056 : 3057);
        return 0;
    }
    bool stored = StoreForm(ctx, kind, converted, value);
    delay::VariantClear(&converted);
    if (!stored) {
        SetError(ctx, 3096);
        return 0;
    }
    return 1;
}

int VariantToValueCopy(BDS* ctx, uint32_t flags, const ValueHead* source, ValueHead* target)
{
    EmptyVariant(&target->var);
    if (FAILED(delay::VariantCopyInd(&target->var, const_cast<VARIANT*>(&source->var)))) {
        SetError(ctx, 1588);
        return 0;
    }
    return 1;
}

void ValueReleaseComPayload(uint32_t flags, ValueHead* value)
{
    delay::VariantClear(&value->var);
    EmptyVariant(&value->var);
}

bool ValueIsBstr(const ValueHead* value)
{
    return (value->flags & VF_VARIANT) && (value->var.vt & ~VT_BYREF) == VT_BSTR;
}

bool ValueSameObject(const ValueHead* a, const ValueHead* b)
{
    return a->var.vt == b->var.vt && memcmp(&a->var, &b->var, sizeof(VARIANT)) == 0;
}
