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

// Runs zlib's call from the source's data into the target; the target's EOD becomes the
// length zlib made. A failure sets `error` and leaves that EOD alone. zlib's lengths are
// 32-bit: a larger source EOD or target size is 1592 for both built-ins.
template <typename Zlib>
void Pack(BDS* ctx, BuiltinCall& call, uint16_t error, Zlib zlib)
{
    BinaryBufferSlot *source, *target;
    if (!ArgSlots(ctx, call, 1, 2, &source, &target))
        return;
    if (source->eod > 0xFFFFFFFFll || target->size > 0xFFFFFFFFll) {
        SetError(ctx, ERR_COMPRESS);
        return;
    }
    LockedGlobal copy(source == target ? SIZE_T(source->eod) : 0, GMEM_MOVEABLE);
    const uint8_t* input = PackInput(source, target, copy);
    uLongf length = uLongf(target->size);
    if (!input || zlib(target->data, &length, input, uLong(source->eod)) != Z_OK) {
        SetError(ctx, error);
        return;
    }
    target->eod = int64_t(length);
    SetResult64(ctx, call.result, target->eod);
}

// The level is zlib's: -1 its default, 0 to 9.
void CaseComp(BDS* ctx, BuiltinCall& call)
{
    int level = ArgInt(call, 3);
    Pack(ctx, call, ERR_COMPRESS, [level](Bytef* out, uLongf* length, const Bytef* in, uLong inLength) {
        return compress2(out, length, in, inLength, level);
    });
}

void CaseUncomp(BDS* ctx, BuiltinCall& call)
{
    Pack(ctx, call, ERR_UNCOMPRESS, [](Bytef* out, uLongf* length, const Bytef* in, uLong inLength) {
        return uncompress(out, length, in, inLength);
    });
}

const BuiltinRow kRows[] = {
    {302, CaseComp},     // binarycomp
    {347, CaseUncomp},   // binaryuncomp
};

}  // namespace

const BuiltinFamily g_BinaryCompressBuiltins = {"binary buffer compression", kRows,
                                                int(sizeof(kRows) / sizeof(kRows[0]))};
