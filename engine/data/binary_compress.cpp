// Compression of binary buffers: BinaryComp writes the zlib stream (RFC 1950, exactly what
// compress2 makes) of one buffer's data into another, BinaryUncomp restores it. The stream
// does not record the uncompressed length: the script gives a large enough target.
#include <zlib.h>

#include "engine/core/locked_global.h"
#include "engine/data/binary_internal.h"

using namespace binary;

namespace {

enum : uint16_t {
    ERR_COMPRESS = 1592,           // "BinaryComp: Error compressing data"
    ERR_UNCOMPRESS = 1593,         // "BinaryUncomp: Error uncompressing data"
};

// The source's data as zlib's input, or null. zlib's input and output must not overlap, so
// with one buffer as source and target the input is a copy (`copy` is then that size).
const uint8_t* PackInput(const BinaryBufferSlot* source, const BinaryBufferSlot* target, const LockedGlobal& copy)
{
    if (source != target)
        return source->data;
    if (!copy.data)
        return nullptr;
    CopyMemory(copy.data, source->data, SIZE_T(source->eod));
    return copy.As<uint8_t>();
}

// The two buffers of a call, when zlib's 32-bit lengths can hold them; null with an error.
bool PackSlots(BDS* ctx, const BuiltinCall& call, BinaryBufferSlot** source, BinaryBufferSlot** target)
{
    if (!(*source = ArgSlot(ctx, call, 1)) || !(*target = ArgSlot(ctx, call, 2)))
        return false;
    if ((*source)->eod > 0xFFFFFFFFll || (*target)->size > 0xFFFFFFFFll) {
        SetError(ctx, ERR_COMPRESS);
        return false;
    }
    return true;
}

// The level is zlib's: -1 its default, 0 to 9. A failure leaves the target's EOD alone.
void CaseComp(BDS* ctx, BuiltinCall& call)
{
    BinaryBufferSlot *source, *target;
    if (!PackSlots(ctx, call, &source, &target))
        return;
    LockedGlobal copy(source == target ? SIZE_T(source->eod) : 0, GMEM_MOVEABLE);
    const uint8_t* input = PackInput(source, target, copy);
    uLongf length = uLongf(target->size);
    if (!input || compress2(target->data, &length, input, uLong(source->eod), ArgInt(call, 3)) != Z_OK) {
        SetError(ctx, ERR_COMPRESS);
        return;
    }
    target->eod = int64_t(length);
    SetResult64(ctx, call.result, target->eod);
}

void CaseUncomp(BDS* ctx, BuiltinCall& call)
{
    BinaryBufferSlot *source, *target;
    if (!PackSlots(ctx, call, &source, &target))
        return;
    LockedGlobal copy(source == target ? SIZE_T(source->eod) : 0, GMEM_MOVEABLE);
    const uint8_t* input = PackInput(source, target, copy);
    uLongf length = uLongf(target->size);
    if (!input || uncompress(target->data, &length, input, uLong(source->eod)) != Z_OK) {
        SetError(ctx, ERR_UNCOMPRESS);
        return;
    }
    target->eod = int64_t(length);
    SetResult64(ctx, call.result, target->eod);
}

const BuiltinRow kRows[] = {
    {302, CaseComp},     // binarycomp
    {347, CaseUncomp},   // binaryuncomp
};

}  // namespace

const BuiltinFamily g_BinaryCompressBuiltins = {"binary buffer compression", kRows,
                                                int(sizeof(kRows) / sizeof(kRows[0]))};
