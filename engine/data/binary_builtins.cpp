// The slot and number built-ins of binary buffers: BinaryAlloc, BinaryFree, BinaryBufInfo,
// BinaryEodGet, BinaryEodSet, BinaryOleType, and the peeks, pokes and increments of
// integers of 1, 2, 4 and 8 bytes and of doubles.
#include "engine/data/binary_internal.h"

using namespace binary;

namespace {

enum : uint16_t {
    ERR_BAD_REQUEST = 1809,        // "Invalid request number"
    ERR_OLE_TYPE = 1514,           // "BinaryOleType: Invalid 'type'"
    ERR_OLE_NO_TYPE = 1515,        // "... 'type' does not include a data type"
    ERR_OLE_NO_DIRECTION = 1516,   // "... 'type' does not include a direction"
};

// ---------------------------------------------------------------- slots

void CaseAlloc(BDS* ctx, BuiltinCall& call)
{
    int32_t handle = DoBinaryAlloc(ctx, ArgInt64(call, 1));
    if (!handle)
        return;
    SetResultInt(ctx, call.result, handle);
    call.result->flags = VF_INT | VF_BINBUF;
}

void CaseFree(BDS* ctx, BuiltinCall& call) { SetResultInt(ctx, call.result, DoBinaryFree(ctx, ArgInt(call, 1))); }

// Request -1 asks whether the value is a buffer in use and never fails.
void CaseBufInfo(BDS* ctx, BuiltinCall& call)
{
    const resultants& value = call.args[1];
    int32_t request = ArgInt(call, 2);
    BinaryBufferSlot* slot = IsBinaryHandleValue(&value) ? BinarySlotQuiet(ctx, value.i32) : nullptr;
    if (!slot) {
        if (request != -1)
            SetError(ctx, ERR_BAD_HANDLE);
        return;
    }
    switch (request) {
    case -1: SetResultInt(ctx, call.result, 1); break;
    case 0: SetResult64(ctx, call.result, slot->size); break;
    case 1: SetResult64(ctx, call.result, int64_t(reinterpret_cast<uintptr_t>(slot->data))); break;
    case 2: SetResult64(ctx, call.result, slot->eod); break;
    default: SetError(ctx, ERR_BAD_REQUEST); break;
    }
}

void CaseEodGet(BDS* ctx, BuiltinCall& call)
{
    if (BinaryBufferSlot* slot = ArgSlot(ctx, call, 1))
        SetResult64(ctx, call.result, slot->eod);
}

void CaseEodSet(BDS* ctx, BuiltinCall& call)
{
    int64_t previous = BinarySetEod(ctx, ArgInt(call, 1), ArgInt64(call, 2));
    if (previous >= 0)
        SetResult64(ctx, call.result, previous);
}

// code = 100 x direction + type; 0 clears the type (the direction stays). The three
// arguments after the code are taken and ignored.
void CaseOleType(BDS* ctx, BuiltinCall& call)
{
    BinaryBufferSlot* slot = ArgSlot(ctx, call, 1);
    if (!slot)
        return;
    int32_t code = ArgInt(call, 2);
    if (code != 0) {
        int32_t type = code % 100;
        uint16_t error = code < 0 || code >= 400 ? ERR_OLE_TYPE
                         : code < 100            ? ERR_OLE_NO_DIRECTION
                         : type == 0             ? ERR_OLE_NO_TYPE
                         : type >= 12            ? ERR_OLE_TYPE
                                                 : 0;
        if (error) {
            SetError(ctx, error);
            return;
        }
        slot->oleType = uint32_t(type);
        slot->oleDirection = uint32_t(code / 100);
    } else {
        slot->oleType = 0;
    }
    SetResultInt(ctx, call.result, 1);
}

// ---------------------------------------------------------------- numbers

int WidthOf(uint32_t id, uint32_t first)
{
    static const int widths[] = {1, 2, 4};
    return widths[id - first];
}

void CasePeek(BDS* ctx, BuiltinCall& call)
{
    int32_t value = DoBinaryPeekPoke(ctx, ArgInt(call, 1), false, ArgInt64(call, 2), 0, false, WidthOf(call.id, 320));
    if (!ctx->nErrorCode)
        SetResultInt(ctx, call.result, value);
}

void CasePoke(BDS* ctx, BuiltinCall& call)
{
    int32_t value = DoBinaryPeekPoke(ctx, ArgInt(call, 1), true, ArgInt64(call, 2), ArgInt(call, 3), false,
                                     WidthOf(call.id, 328));
    if (!ctx->nErrorCode)
        SetResultInt(ctx, call.result, value);
}

void CaseIncr(BDS* ctx, BuiltinCall& call)
{
    int32_t value = DoBinaryPeekPoke(ctx, ArgInt(call, 1), false, ArgInt64(call, 2), 0, true, WidthOf(call.id, 310));
    if (!ctx->nErrorCode)
        SetResultInt(ctx, call.result, value);
}

void CasePeek8(BDS* ctx, BuiltinCall& call)
{
    DoBinaryPeekPoke8(ctx, call.result, ArgInt(call, 1), ArgInt64(call, 2), VF_STRING, nullptr);
}

void CasePoke8(BDS* ctx, BuiltinCall& call)
{
    DoBinaryPeekPoke8(ctx, call.result, ArgInt(call, 1), ArgInt64(call, 2), VF_STRING, &call.args[3]);
}

void CasePeekFlt(BDS* ctx, BuiltinCall& call)
{
    DoBinaryPeekPokeFlt(ctx, call.result, ArgInt(call, 1), ArgInt64(call, 2), FloatAccess::Peek, 0.0);
}

void CasePokeFlt(BDS* ctx, BuiltinCall& call)
{
    DoBinaryPeekPokeFlt(ctx, call.result, ArgInt(call, 1), ArgInt64(call, 2), FloatAccess::Poke, ArgFloat(call, 3));
}

void CaseIncrFlt(BDS* ctx, BuiltinCall& call)
{
    DoBinaryPeekPokeFlt(ctx, call.result, ArgInt(call, 1), ArgInt64(call, 2), FloatAccess::Increment, 0.0);
}

const BuiltinRow kRows[] = {
    {295, CaseAlloc},      // binaryalloc
    {298, CaseBufInfo},    // binarybufinfo
    {306, CaseEodGet},     // binaryeodget
    {307, CaseEodSet},     // binaryeodset
    {308, CaseFree},       // binaryfree
    {310, CaseIncr},       // binaryincr
    {311, CaseIncr},       // binaryincr2
    {312, CaseIncr},       // binaryincr4
    {313, CaseIncrFlt},    // binaryincrflt
    {318, CaseOleType},    // binaryoletype
    {320, CasePeek},       // binarypeek
    {321, CasePeek},       // binarypeek2
    {322, CasePeek},       // binarypeek4
    {323, CasePeek8},      // binarypeek8
    {324, CasePeekFlt},    // binarypeekflt
    {328, CasePoke},       // binarypoke
    {329, CasePoke},       // binarypoke2
    {330, CasePoke},       // binarypoke4
    {331, CasePoke8},      // binarypoke8
    {332, CasePokeFlt},    // binarypokeflt
};

}  // namespace

const BuiltinFamily g_BinaryBufferBuiltins = {"binary buffers", kRows, int(sizeof(kRows) / sizeof(kRows[0]))};
