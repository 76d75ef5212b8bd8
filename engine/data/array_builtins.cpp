// The built-ins that inspect and reshape arrays: ArrInfo, ArrInitialize, ArrayRedim,
// ArrayInsert, ArrayRemove, ArraySlice, ArrayReverse and ArraySwapElements.
#include <windows.h>

#include <cstring>

#include "engine/com/com_adapter.h"
#include "engine/data/array_internal.h"
#include "engine/data/array_rebuild.h"

using namespace arrays;

namespace {

// The call's other arguments may hold the rebuilt array too (the caller lets them go after
// the call): they follow it to the new block.
void RetargetArguments(BuiltinCall& call, const ArrayHeader* old, ArrayHeader* fresh)
{
    if (old == fresh) return;
    for (int i = 2; i <= call.argc; ++i)
        if ((call.args[i].flags & VF_ARRAY) && call.args[i].str == reinterpret_cast<uint64_t>(old))
            call.args[i].str = reinterpret_cast<uint64_t>(fresh);
}

}  // namespace

// ---------------------------------------------------------------- ArrInfo

void ArrInfoCase(BDS* ctx, BuiltinCall& call)
{
    const ValueHead& value = call.args[1];
    int32_t request = ArgInt(call, 2, 0);
    int32_t answer = 0;
    if (value.flags & VF_ARRAY) {
        ArrayHeader* array = ValueArray(&value);
        if (!array) {
            SetError(ctx, ERR_ARRAY_ACCESS);
            return;
        }
        switch (request) {
        case -3: answer = (array->flags & ARRAY_MAP) ? 1 : 0; break;
        case -2: answer = 0; break;
        case -1: answer = 1; break;
        case 0: answer = array->ndims; break;
        case 1: case 2: case 3: case 4: case 5:
            answer = static_cast<int32_t>(array->dims[request - 1]);
            break;
        case 6: answer = static_cast<int32_t>(array->count); break;
        default:
            SetError(ctx, ERR_ARRINFO_REQUEST);
            return;
        }
    } else if ((value.flags & VF_VARIANT) && (value.var.vt & VT_ARRAY)) {
        if (!GateSafeArrayInfo(ctx, value, request, &answer)) return;
    } else if (request != -1) {
        SetError(ctx, ERR_ARRAY_NOT_ARRAY);
        return;
    }
    SetResultInt(ctx, call.result, answer);
}

// ---------------------------------------------------------------- ArrInitialize

void ArrInitializeCase(BDS* ctx, BuiltinCall& call)
{
    const ValueHead& value = call.args[2];
    StoredKind kind = StoredKindOf(&value);
    if (kind == SK_INVALID || kind == SK_ARRAY) {
        SetError(ctx, ERR_ARRINIT_TYPE);
        return;
    }
    ArrayHeader* array = ValueArray(&call.args[1]);
    if (!array || array->ndims == 0) {
        SetError(ctx, ERR_ARRAY_EMPTY);
        return;
    }
    if ((array->flags & ARRAY_MAP) || !array->data) {
        SetError(ctx, ERR_ARRAY_ACCESS);
        return;
    }
    for (uint32_t i = 0; i < array->count; ++i) {
        ArrayElement& element = array->data[i];
        if (element.flags) FreeValue(ctx, &element, 0, VK_ELEMENT);
        if (!StoreValueAs(ctx, &value, kind, &element)) return;
    }
    if (!StoreArrayBack(ctx, &call.args[1], array, STORE_UNLESS_ARRAY)) return;
    SetResultInt(ctx, call.result, 1);
}

// ---------------------------------------------------------------- ArrayRedim

void ArrayRedimCase(BDS* ctx, BuiltinCall& call)
{
    int32_t sizes[MAX_ARRAY_DIMS] = {};
    int given = call.argc - 1;
    for (int i = 0; i < MAX_ARRAY_DIMS; ++i)
        sizes[i] = ArgInt(call, i + 2, 0);
    ArrayHeader* old = ValueArray(&call.args[1]);
    if (!ArrayRedimension(ctx, &call.args[1], sizes, given, false)) return;
    RetargetArguments(call, old, ValueArray(&call.args[1]));
    if (!StoreArrayBack(ctx, &call.args[1], ValueArray(&call.args[1]), STORE_IF_COM)) return;
    SetResultInt(ctx, call.result, 1);
}

// ---------------------------------------------------------------- ArrayInsert, ArrayRemove

namespace {

// Where a row, column or element goes in or out: the dimension (0 or 1) and the new sizes.
struct Reshape {
    int dim;
    uint32_t at;
    uint32_t dims[2];
};

// The checks shared by ArrayInsert and ArrayRemove; `limit` is the dimension's size for
// an insertion (one past the end allowed) and size - 1 for a removal.
ArrayHeader* ReshapeTarget(BDS* ctx, BuiltinCall& call, bool insert, Reshape* shape)
{
    ArrayHeader* array = DimensionedArrayOf(ctx, call.args[1], 2);
    if (!array)
        return nullptr;
    bool rowColumnGiven = HasArg(call, 3);
    int32_t rowColumn = ArgInt(call, 3, 0);
    if (array->ndims == 1) {
        if (rowColumnGiven && rowColumn != 1) {
            SetError(ctx, ERR_ARRAY_ROW_COLUMN);
            return nullptr;
        }
        shape->dim = 0;
    } else {
        if (!rowColumnGiven || (rowColumn != 1 && rowColumn != 2)) {
            SetError(ctx, ERR_ARRAY_ROW_COLUMN);
            return nullptr;
        }
        shape->dim = rowColumn - 1;
    }
    int32_t subscript = ArgInt(call, 2, 0);
    int64_t size = array->dims[shape->dim];
    if (subscript < 0 || (insert ? subscript > size : subscript >= size)) {
        SetError(ctx, ERR_ARRAY_BOUNDS);
        return nullptr;
    }
    shape->at = static_cast<uint32_t>(subscript);
    shape->dims[0] = array->dims[0];
    shape->dims[1] = array->ndims == 2 ? array->dims[1] : 0;
    return array;
}

// Moves every element of `old` into `fresh` with its subscript in the reshaped dimension
// shifted: +1 from the insertion point on, or -1 past the removed one (whose elements
// stay behind and go with the old block).
void MoveReshaped(ArrayHeader* old, ArrayHeader* fresh, const Reshape& shape, bool insert)
{
    if (fresh->ndims == 0) return;
    for (uint32_t i = 0; i < old->count; ++i) {
        ArrayElement& element = old->data[i];
        if (element.flags == 0) continue;
        uint32_t subs[MAX_ARRAY_DIMS];
        ArraySubscriptsOf(old, i, subs);
        uint32_t& s = subs[shape.dim];
        if (insert) {
            if (s >= shape.at) ++s;
        } else {
            if (s == shape.at) continue;
            if (s > shape.at) --s;
        }
        std::memcpy(&fresh->data[ArrayLinearIndex(fresh, subs)], &element, sizeof element);
        std::memset(&element, 0, sizeof element);
    }
}

// Puts the finished rebuild into the argument and its variable.
void FinishReshape(BDS* ctx, BuiltinCall& call, ArrayRebuild& rebuild)
{
    ArrayHeader* old = rebuild.old;
    ArrayRebuildFinish(ctx, &rebuild, &call.args[1]);
    RetargetArguments(call, old, rebuild.fresh);
    if (!StoreArrayBack(ctx, &call.args[1], ValueArray(&call.args[1]), STORE_IF_COM)) return;
    SetResultInt(ctx, call.result, 1);
}

}  // namespace

void ArrayInsertCase(BDS* ctx, BuiltinCall& call)
{
    Reshape shape{};
    ArrayHeader* old = ReshapeTarget(ctx, call, true, &shape);
    if (!old) return;
    bool withValue = HasArg(call, 4);
    StoredKind kind = SK_INVALID;
    if (withValue) {
        kind = StoredKindOf(&call.args[4]);
        if (kind == SK_INVALID || (kind == SK_ARRAY && old->ndims != 1)) {
            SetError(ctx, ERR_ARRINIT_TYPE);
            return;
        }
    }
    uint32_t dims[2] = {shape.dims[0], shape.dims[1]};
    ++dims[shape.dim];
    ValueHead made{};
    if (CreateMyArray(ctx, &made, dims[0], dims[1], 0, 0, 0, 0, old->ndims) < 0) return;
    ArrayHeader* fresh = ValueArray(&made);

    // The new slots are filled first, so that a full heap leaves the old array as it was.
    if (withValue) {
        uint32_t other = old->ndims == 2 ? dims[1 - shape.dim] : 1;
        for (uint32_t k = 0; k < other; ++k) {
            uint32_t subs[MAX_ARRAY_DIMS] = {};
            subs[shape.dim] = shape.at;
            if (old->ndims == 2) subs[1 - shape.dim] = k;
            ArrayElement* slot = ArrayElementAt(fresh, subs);
            if (!StoreValueAs(ctx, &call.args[4], kind, slot)) {
                uint64_t holder = made.str;
                ReleaseArray(ctx, &holder, 0);
                return;
            }
        }
    }
    ArrayRebuild rebuild;
    if (!ArrayRebuildBegin(ctx, &rebuild, old, fresh, withValue)) return;
    MoveReshaped(old, fresh, shape, true);
    FinishReshape(ctx, call, rebuild);
}

void ArrayRemoveCase(BDS* ctx, BuiltinCall& call)
{
    Reshape shape{};
    ArrayHeader* old = ReshapeTarget(ctx, call, false, &shape);
    if (!old) return;
    uint32_t dims[2] = {shape.dims[0], shape.dims[1]};
    --dims[shape.dim];
    // Removing the last row, column or element leaves an empty array.
    if (dims[0] == 0 || (old->ndims == 2 && dims[1] == 0)) dims[0] = dims[1] = 0;
    ValueHead made{};
    if (CreateMyArray(ctx, &made, dims[0], dims[1], 0, 0, 0, 0, old->ndims) < 0) return;
    ArrayRebuild rebuild;
    if (!ArrayRebuildBegin(ctx, &rebuild, old, ValueArray(&made), false)) return;
    MoveReshaped(old, rebuild.fresh, shape, false);
    FinishReshape(ctx, call, rebuild);
}

// ---------------------------------------------------------------- ArraySlice

void ArraySliceCase(BDS* ctx, BuiltinCall& call)
{
    ArrayHeader* array = ElementArrayOf(ctx, call.args[1]);
    if (!array)
        return;
    int pairs = (call.argc - 1) / 2;
    if (pairs != array->ndims || pairs == 0) {
        SetError(ctx, ERR_ARRAY_BAD_DIMENSION);
        return;
    }
    uint32_t from[MAX_ARRAY_DIMS] = {}, sizes[MAX_ARRAY_DIMS] = {};
    for (int d = 0; d < pairs; ++d) {
        int64_t last = static_cast<int64_t>(array->dims[d]) - 1;
        int64_t f = ArgInt(call, 2 + 2 * d, 0), t = ArgInt(call, 3 + 2 * d, 0);
        if (f < 0) f = last;
        if (t < 0) t = last;
        if (f > last || t > last) {
            SetError(ctx, ERR_ARRAY_BOUNDS);
            return;
        }
        if (t < f) {  // a slice of no elements has no shape
            SetError(ctx, ERR_ARRAY_BAD_DIMENSION);
            return;
        }
        from[d] = static_cast<uint32_t>(f);
        sizes[d] = static_cast<uint32_t>(t - f + 1);
    }
    ValueHead made{};
    if (CreateMyArray(ctx, &made, sizes[0], sizes[1], sizes[2], sizes[3], sizes[4], 0, pairs) < 0) return;
    ArrayHeader* slice = ValueArray(&made);
    for (uint32_t i = 0; i < slice->count; ++i) {
        uint32_t subs[MAX_ARRAY_DIMS];
        ArraySubscriptsOf(slice, i, subs);
        for (int d = 0; d < pairs; ++d) subs[d] += from[d];
        const ArrayElement& source = array->data[ArrayLinearIndex(array, subs)];
        if (source.flags == 0) continue;
        if (!CopyValue(ctx, &source, &slice->data[i], 0,
                       VK_ELEMENT | VM_TO_ELEMENT | VM_COPY_TEXT | VM_COPY_COM | VM_ADD_ARRAY_REF)) {
            uint64_t holder = made.str;
            ReleaseArray(ctx, &holder, 0);
            return;
        }
    }
    // Dimensions of size 1 drop out; the elements keep their row-major order.
    uint32_t kept[MAX_ARRAY_DIMS] = {};
    int n = 0;
    for (int d = 0; d < slice->ndims; ++d)
        if (slice->dims[d] > 1) kept[n++] = slice->dims[d];
    if (n == 0) kept[n++] = 1;
    std::memcpy(slice->dims, kept, sizeof kept);
    slice->ndims = static_cast<uint8_t>(n);
    SetResultArray(ctx, call.result, made);
}

// ---------------------------------------------------------------- ArrayReverse

namespace {

void ReverseRun(ArrayElement* first, uint32_t count, uint32_t stride)
{
    ArrayElement temp;
    for (uint32_t a = 0, b = count - 1; a < b; ++a, --b)
        for (uint32_t k = 0; k < stride; ++k) {
            std::memcpy(&temp, &first[a * stride + k], sizeof temp);
            std::memcpy(&first[a * stride + k], &first[b * stride + k], sizeof temp);
            std::memcpy(&first[b * stride + k], &temp, sizeof temp);
        }
}

}  // namespace

void ArrayReverseCase(BDS* ctx, BuiltinCall& call)
{
    ArrayHeader* array = DimensionedArrayOf(ctx, call.args[1], MAX_ARRAY_DIMS);
    if (!array) return;
    int32_t dimension = ArgInt(call, 2, 0);
    if (dimension < 0 || dimension > array->ndims) {
        SetError(ctx, ERR_ARRAY_DIMENSION_RANGE);
        return;
    }
    if (array->count > 1) {
        if (dimension == 0 || array->ndims == 1) {
            ReverseRun(array->data, array->count, 1);
        } else {
            uint32_t stride = 1;
            for (int d = dimension; d < array->ndims; ++d) stride *= array->dims[d];
            uint32_t size = array->dims[dimension - 1];
            uint32_t block = size * stride;
            for (uint32_t start = 0; start + block <= array->count; start += block)
                if (size > 1) ReverseRun(array->data + start, size, stride);
        }
    }
    if (!StoreArrayBack(ctx, &call.args[1], array, STORE_IF_COM)) return;
    SetResultInt(ctx, call.result, 1);
}

// ---------------------------------------------------------------- ArraySwapElements

void ArraySwapElementsCase(BDS* ctx, BuiltinCall& call)
{
    ArrayHeader* array = ValueArray(&call.args[1]);
    if (array && array->ndims == 0) {
        SetError(ctx, ERR_ARRAY_EMPTY);
        return;
    }
    if (!array || (array->flags & ARRAY_MAP) || !array->data) {
        SetError(ctx, ERR_ARRAY_ACCESS);
        return;
    }
    // Every subscript must lie within its own dimension (unused dimensions take only 0),
    // so that no out-of-range subscript can alias another element.
    uint32_t s[MAX_ARRAY_DIMS], t[MAX_ARRAY_DIMS];
    for (int d = 0; d < MAX_ARRAY_DIMS; ++d) {
        int32_t a = ArgInt(call, 2 + d, 0), b = ArgInt(call, 7 + d, 0);
        uint32_t size = d < array->ndims ? array->dims[d] : 1;
        if (a < 0 || b < 0 || static_cast<uint32_t>(a) >= size || static_cast<uint32_t>(b) >= size) {
            SetError(ctx, ERR_ARRAY_BOUNDS);
            return;
        }
        s[d] = static_cast<uint32_t>(a);
        t[d] = static_cast<uint32_t>(b);
    }
    ArrayElement* x = ArrayElementAt(array, s);
    ArrayElement* y = ArrayElementAt(array, t);
    if (!x || !y) {
        SetError(ctx, ERR_ARRAY_BOUNDS);
        return;
    }
    ArrayElement temp;
    std::memcpy(&temp, x, sizeof temp);
    std::memcpy(x, y, sizeof temp);
    std::memcpy(y, &temp, sizeof temp);
    if (!StoreArrayBack(ctx, &call.args[1], array, STORE_UNLESS_ARRAY)) return;
    SetResultInt(ctx, call.result, 1);
}
