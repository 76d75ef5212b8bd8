// The native-call layer's internal seams: the guarded machine call and guarded reads of
// native memory (dll_guard.cpp, dll_invoke.S), and what DllCall asks of structures and
// callbacks (dll_struct.cpp, callbacks.cpp).
//
// Native code may fault anywhere: every read of memory that native code handed over goes
// through the guard, so a bad pointer becomes an error number, never a crash.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/context.h"

// Type codes of DllCall parameters (and, where they exist, of return values).
enum : uint32_t {
    DLL_WORD = 0,
    DLL_LONG = 1,
    DLL_LPSTR = 2,
    DLL_LPBINARY = 3,
    DLL_LPNULL = 4,
    DLL_VOID = 4,        // return only
    DLL_DOUBLE = 5,
    DLL_LPWSTR = 6,
    DLL_CALLBACK = 7,
    DLL_LONG_PTR_RET = 7,  // return only
    DLL_LPSTRUCT = 8,
    DLL_LONG_PTR = 9,
    DLL_LONG64 = 10,
};

constexpr int DLL_MAX_PARAMS = 20;
constexpr uint16_t ERR_DLL_EXCEPTION = 1379;   // "Bad type list caused stack problems"
constexpr uint16_t ERR_NATIVE_LOCK = 1588;     // "Unable to allocate or lock memory"
constexpr uint16_t ERR_NATIVE_NO_HEAP = 3096;  // "Out of memory for strings"

// The trampoline (dll_invoke.S): 0 with the raw result in *out, or 1 with the exception
// code in *out.
extern "C" int DllCallInvoke(void* entry, uint32_t count, const uint32_t* codes,
                             const uint64_t* ints, const double* floats, uint32_t returnCode,
                             uint64_t* out);

// Calls fn(a, b, c) (integer arguments and result) under the guard. True with the result,
// false with the exception code in *result.
bool GuardedCall(void* fn, uint64_t a, uint64_t b, uint64_t c, uint64_t* result);

// A NUL-terminated text at a native address, copied into the string heap as the value's
// only form (ANSI, or wide with `wide`). A null address gives "". A fault while reading
// answers false with *fault set to the exception code; a full heap answers false with
// 3096 set (and *fault 0).
bool CopyNativeText(BDS* ctx, const void* address, bool wide, resultants* value, uint32_t* fault);

struct ArrayHeader;

// ---- structures (dll_struct.cpp)
// The array an array argument holds, with elements that can be addressed: null with 3650
// (not an array) or 1637 (a map, or no element data).
ArrayHeader* NativeArrayArgument(BDS* ctx, const ValueHead& value);
// The data address of a live structure, or null with 3998.
uint8_t* DllStructFromHandle(BDS* ctx, int64_t handle);
// The size of a live structure, or 0 with 3998.
uint32_t DllStructSizeFromHandle(BDS* ctx, int64_t handle);
// Frees every structure; answers how many.
int DllStructFreeAllCount(BDS* ctx);

// ---- callbacks (callbacks.cpp)
// The thunk of a live callback for a "callback" parameter: marks the calling form (0
// DllCall, 1 DllCallCdecl) and counts the callback in use. Null with 1839 (not a live
// handle) or 1588.
void* CallbackTakeForCall(BDS* ctx, int64_t handle, uint32_t callingForm);
// Gives a "callback" parameter back when its call ends.
void CallbackReleaseFromCall(BDS* ctx);
// Frees every callback; the number freed, or -1 with 1842 while callbacks are in use.
int FreeAllDllCallbacksCount(BDS* ctx);

// ---- extenders (extender_load.cpp)
// IntControl 99: unloads the extender whose file name (with extension) is `name`. 1, or 0
// when none matches.
int UnloadExtenderByName(BDS* ctx, const char* name);
