// IntControl requests served by the native-call layer: 96 frees every callback, 97 every
// DllStruct, 98 tells a DllStruct's size or data address, 99 unloads an extender by name.
#include "engine/core/context.h"
#include "engine/native/native_call.h"
#include "engine/system/intcontrol.h"

namespace {

constexpr uint16_t ERR_BAD_REQUEST_MODE = 1809;

void FreeCallbacks(BDS* ctx, resultants* result, const IntControlRequest&)
{
    int freed = FreeAllDllCallbacksCount(ctx);
    if (freed >= 0)
        IntControlAnswer(ctx, result, freed);
}

void FreeStructs(BDS* ctx, resultants* result, const IntControlRequest&)
{
    IntControlAnswer(ctx, result, DllStructFreeAllCount(ctx));
}

// p1 the structure's handle; p2 1 its size, 2 its data address. "0" with every error.
void StructFacts(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    IntControlAnswer(ctx, result, 0);
    if (r.p[2] == 1) {
        uint32_t size = DllStructSizeFromHandle(ctx, r.p[1]);
        if (size)
            IntControlAnswer(ctx, result, size);
    } else if (r.p[2] == 2) {
        uint8_t* data = DllStructFromHandle(ctx, r.p[1]);
        if (data)
            IntControlAnswer(ctx, result, static_cast<int64_t>(reinterpret_cast<uintptr_t>(data)));
    } else {
        SetError(ctx, ERR_BAD_REQUEST_MODE);
    }
}

void UnloadExtender(BDS* ctx, resultants* result, const IntControlRequest& r)
{
    IntControlAnswer(ctx, result, UnloadExtenderByName(ctx, r.text[1]));
}

const IntControlRow kRows[] = {
    {96, FreeCallbacks},
    {97, FreeStructs},
    {98, StructFacts},
    {99, UnloadExtender},
};

}  // namespace

extern const IntControlFamily g_IntControlNative = {"native", kRows,
                                                    static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
