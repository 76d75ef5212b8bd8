// Binary buffers: the one entrance to the context's 128 buffer slots for the Binary...
// built-ins and for every other subsystem (host services, COM, native calls, IntControl).
//
// Invariants every user keeps:
// - A slot is in use exactly when hMem is non-null. Its block is locked once, at allocation,
//   and stays locked until DoBinaryFree or engine tear-down, so `data` is a stable address
//   between calls (native code and IntControl may hold it while the buffer lives).
// - 0 <= eod <= size and size >= 1; the size never changes. Code outside the Binary...
//   built-ins reads and writes data[0 .. size-1] only, and moves eod only through
//   BinarySetEod or by the end-of-data rule (a write past eod raises it to the end of the
//   written range).
// - A script holds a buffer as BINARY_HANDLE_BASE + slot with ValueFlags VF_INT | VF_BINBUF.
// - oleType 0 means none, else 1 to 11; oleDirection 1 in, 2 out, 3 both.
// - A buffer that a DllStruct record lies over is marked (BinaryStructUse); BinaryFree leaves
//   a marked buffer alone and answers 0 without an error. The structure's owner releases
//   its mark (BinaryStructRelease) and frees the buffer with DoBinaryFree when it is done.
//
// Failures travel as error numbers in ctx->nErrorCode; no routine here throws.
#pragma once

#include <cstdint>

#include "engine/core/context.h"

constexpr int BINARY_NO_SLOT = -1;   // BinaryHandleToSlot's answer for a bad handle (~0)

// The slot index of a handle in use, or BINARY_NO_SLOT with 3023 "BinaryData: Invalid
// Binary Data handle passed".
int BinaryHandleToSlot(BDS* ctx, int64_t handle);
// The slot of a handle in use, or null with 3023.
BinaryBufferSlot* BinarySlotOf(BDS* ctx, int64_t handle);
// The slot of a handle in use, or null; sets no error.
BinaryBufferSlot* BinarySlotQuiet(BDS* ctx, int64_t handle);
// Whether a value is a buffer handle (VF_INT and VF_BINBUF both set), in use or not.
bool IsBinaryHandleValue(const ValueHead* value);

// A new buffer of `size` zero bytes, EOD 0: its handle, or 0 with 3024 (all slots in use)
// or 1126 (a size below 1, or no memory).
int32_t DoBinaryAlloc(BDS* ctx, int64_t size);
// Frees a buffer: 0, with 3023 for a bad handle; a buffer marked by a DllStruct is kept.
int32_t DoBinaryFree(BDS* ctx, int64_t handle);
// Tear-down: frees every buffer, marked or not.
void BinaryFreeAll(BDS* ctx);

// DllStruct marks (see above). BinaryStructUse answers false with 3023 for a bad handle.
bool BinaryStructUse(BDS* ctx, int64_t handle);
void BinaryStructRelease(BDS* ctx, int64_t handle);
bool StructUsesBuffer(BDS* ctx, int64_t handle);

// Raises EOD to `end` when it is below it (end <= size is the caller's check).
inline void BinaryRaiseEod(BinaryBufferSlot* slot, int64_t end)
{
    if (end > slot->eod)
        slot->eod = end;
}

// ---------------------------------------------------------------- values at an offset
// Integers of 1, 2 or 4 bytes, little-endian. Peek (poke false) answers the value there;
// poke writes `value` (width 1 takes -256..255, width 2 -65536..65535, else 3326) and
// answers the previous value; increment writes value + 1 and answers it uncut (a byte
// holding 255 answers 256). EOD is raised to offset + width, also for a peek. Errors 3023,
// 1548 (offset), 3325 (beyond the size), 3326, 1425 (width); the answer is then 0.
int32_t DoBinaryPeekPoke(BDS* ctx, int64_t handle, bool poke, int64_t offset, int32_t value,
                         bool increment, int width);

// 64-bit integers. The result form: 0x2000 a VF_INT64 value, 2 signed decimal ANSI text,
// 128 the same as wide text, anything else a 32-bit integer when the value fits, else
// decimal text. `result` null asks for no result; `value` null writes nothing (else it is
// converted with ValueToInt64, 1824 when it does not convert).
void DoBinaryPeekPoke8(BDS* ctx, resultants* result, int64_t handle, int64_t offset, uint32_t form,
                       ValueHead* value);

// Doubles: peek, poke (answers the previous value) or increment by 1.0 (answers the new).
enum class FloatAccess { Peek, Poke, Increment };
void DoBinaryPeekPokeFlt(BDS* ctx, resultants* result, int64_t handle, int64_t offset,
                         FloatAccess access, double value);

// ANSI text from `offset`, at most maxsize bytes and not past EOD, ended by a zero byte.
// With setEod the EOD first becomes offset + maxsize (cut at the size). Errors 2331, 3096.
void DoBinaryPeekStr(BDS* ctx, resultants* result, int64_t handle, int64_t offset, int32_t maxsize,
                     bool setEod);

// Sets the EOD: answers the previous one, or -1 with 3127 (beyond the size) or 1548
// (below 0).
int64_t BinarySetEod(BDS* ctx, int64_t handle, int64_t eod);
