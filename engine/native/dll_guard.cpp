// The exception guard of native calls: the handler that the trampoline's unwind data names
// (mingw has no __try), and the guarded reads of native memory built on the trampoline.
#include <windows.h>

#include <cstring>

#include "engine/core/heap.h"
#include "engine/core/value.h"
#include "engine/native/native_call.h"

extern "C" void DllCallInvokeLanding();

// Every exception raised below DllCallInvoke's frame ends the call: the frames above it are
// unwound and the trampoline goes on at its landing with the exception code in rax. The
// handler is named for the dispatch only (@except), so the unwind does not call it again.
extern "C" EXCEPTION_DISPOSITION DllCallGuardHandler(EXCEPTION_RECORD* record, void* frame,
                                                     CONTEXT*, DISPATCHER_CONTEXT* dispatch)
{
    if (record->ExceptionFlags & EXCEPTION_UNWIND)
        return ExceptionContinueSearch;
    RtlUnwindEx(frame, reinterpret_cast<void*>(&DllCallInvokeLanding), record,
                reinterpret_cast<void*>(static_cast<uintptr_t>(record->ExceptionCode)),
                dispatch->ContextRecord, dispatch->HistoryTable);
    return ExceptionContinueSearch;   // not reached: RtlUnwindEx does not return
}

bool GuardedCall(void* fn, uint64_t a, uint64_t b, uint64_t c, uint64_t* result)
{
    const uint32_t codes[3] = {DLL_LONG_PTR, DLL_LONG_PTR, DLL_LONG_PTR};
    const uint64_t ints[3] = {a, b, c};
    const double floats[3] = {};
    return DllCallInvoke(fn, 3, codes, ints, floats, DLL_LONG_PTR, result) == 0;
}

namespace {

// Called through the guard only: they read whatever native code handed over.
uint64_t RawLengthA(const char* text, uint64_t, uint64_t)
{
    uint64_t n = 0;
    while (text[n])
        ++n;
    return n;
}

uint64_t RawLengthW(const wchar_t* text, uint64_t, uint64_t)
{
    uint64_t n = 0;
    while (text[n])
        ++n;
    return n;
}

uint64_t RawCopy(void* target, const void* source, uint64_t bytes)
{
    std::memcpy(target, source, bytes);
    return bytes;
}

}  // namespace

bool CopyNativeText(BDS* ctx, const void* address, bool wide, resultants* value, uint32_t* fault)
{
    *fault = 0;
    if (!address) {
        if (wide)
            return SetResultWText(ctx, value, L"") != 0;
        return SetResultText(ctx, value, "") != 0;
    }
    uint64_t length = 0;
    void* measure = wide ? reinterpret_cast<void*>(&RawLengthW) : reinterpret_cast<void*>(&RawLengthA);
    if (!GuardedCall(measure, reinterpret_cast<uint64_t>(address), 0, 0, &length)) {
        *fault = static_cast<uint32_t>(length);
        return false;
    }
    uint64_t unit = wide ? sizeof(wchar_t) : 1;
    uint64_t offset = VMalloc(ctx, (length + 1) * unit);
    if (!offset) {
        SetError(ctx, ERR_NATIVE_NO_HEAP);
        return false;
    }
    char* target = HeapPtr(ctx, offset);
    uint64_t copied = 0;
    if (!GuardedCall(reinterpret_cast<void*>(&RawCopy), reinterpret_cast<uint64_t>(target),
                     reinterpret_cast<uint64_t>(address), length * unit, &copied)) {
        VFree(ctx, offset);
        *fault = static_cast<uint32_t>(copied);
        return false;
    }
    std::memset(target + length * unit, 0, unit);
    FreeValue(ctx, value, 0, VK_RECORD);
    InitResultValue(ctx, value, VK_RECORD, 0);
    if (wide) {
        value->wstr = offset;
        value->flags = VF_UNICODE;
    } else {
        value->str = offset;
        value->flags = VF_STRING;
    }
    return true;
}
