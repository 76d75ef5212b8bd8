// The call form shared by the host (the launcher's functions, ids 1000-1998, and the
// engine's notifications to it under negative codes) and the extender libraries (ids
// 10000-10750): argument records, the answer context and the answer callback.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <cstdint>

#include "engine/core/context.h"

struct BuiltinCall;

// One argument or answer: the value head with addresses in place of heap offsets.
struct ExtArgRecord {
    VARIANT var;          // valid with VF_VARIANT
    union {
        double dbl;       // VF_FLOAT
        int64_t i64;      // VF_INT64
    };
    int32_t i32;          // VF_INT
    uint32_t flags;       // ValueFlags
    const char* text;     // VF_STRING; with VF_ARRAY the array block
    const wchar_t* wtext; // VF_UNICODE
};
static_assert(sizeof(ExtArgRecord) == 56);

constexpr int EXT_MAX_ARGS = 16;
constexpr uint32_t EXT_SERVICE_VERSION = 1012;
constexpr int EXT_SERVICE_COUNT = 10;

// Built on the caller's stack for each call; from `version` on it is the service block.
struct ExtAnswerContext {
    BDS* ctx;
    resultants* result;
    uint32_t version;           // EXT_SERVICE_VERSION
    uint32_t size;              // sizeof(ExtAnswerContext)
    void* dllServices;
    uint64_t instance;          // the context's memory handle
    uint64_t instance2;
    HWND owner;
    void* services[EXT_SERVICE_COUNT];
};
static_assert(sizeof(ExtAnswerContext) == 136);

// Host hook switches of nHookFlags.
enum : uint32_t {
    HOST_HOOK_IDLE = 0x1,
    HOST_HOOK_LINE = 0x2,
    HOST_HOOK_CALL = 0x4,
    HOST_HOOK_SOURCE = 0x8,
    HOST_HOOK_ERROR = 0x20,
};

// Host notification codes (passed as negative ids).
enum : int32_t {
    HOST_NOTIFY_IDLE = -1,     // "1" idle; "2"/"3" before a line
    HOST_NOTIFY_CALL = -4,     // the Call built-in entered and left
    HOST_NOTIFY_SOURCE = -5,   // code of another source file entered or left
    HOST_NOTIFY_ERROR = -7,    // an error is about to be shown
};

// Fills the answer context and its service block for a call whose answer goes to `result`.
void BuildAnswerContext(BDS* ctx, resultants* result, ExtAnswerContext* answer);

// Runs a host function (id 1000-1998), a host notification (negative id) or an add-on
// function (10000-10750). `texts` are the ANSI texts of the first five arguments (null where
// absent); without records they are passed as five text records. Answers 1 when the
// statement may go on, 0 when it must stop (ctx->nErrorCode says why). A host function
// without a host callback is not defined (3046); a notification without one is dropped.
int CallExtenderFunction(BDS* ctx, int32_t id, resultants* result, const char* text1,
                         const char* text2, const char* text3, const char* text4,
                         const char* text5, ExtArgRecord* records, int count);

// The answer callback handed to every host and extender call.
extern "C" int32_t VezudAnswer(int32_t status, uint64_t word, void* answerContext,
                               const ExtArgRecord* answer);

// The router's side: lays a built-in call's converted arguments out as records and calls.
void CallExternalFunction(BDS* ctx, BuiltinCall& call);

// A notification to the host with up to five texts; nothing happens without a host.
// Answers like CallExtenderFunction.
int NotifyHost(BDS* ctx, int32_t code, const char* text1, const char* text2 = nullptr,
               const char* text3 = nullptr, const char* text4 = nullptr,
               const char* text5 = nullptr);

// A hook call: `count` texts and, behind them, the directory buffer (MAX_PATH bytes,
// cleared first) in which the host may name a folder for the engine to change to. The
// engine's error code is kept unless the host asks to stop (9012) or cancel (9999).
// Answers false when there is no host.
bool CallHostHook(BDS* ctx, int32_t code, const char* const* texts, int count,
                  char* directory);

// The host's idle hook (id -1, event "1"); the host may fill `directory` (MAX_PATH) with a
// folder to change to. Answers non-zero when the host was called.
int HostIdleHook(BDS* ctx, char* directory, int size);

// The position of the host function of that (lower-case) name in the host table, -1 when
// the host has none.
int FindHostFunction(const BDS* ctx, const char* name);

// The text the host's function at `position` answers when called without arguments, for
// reports that quote the host (the trace header). Nothing is shown and no error is set:
// a missing host, an error answer or an answer without text gives false.
bool AskHostText(BDS* ctx, int position, char* out, size_t size);

// Passes an IntControl request to the host's "intcontrol" function, found by name in the
// host table. Without one: 3171 and an empty text result.
int ForwardIntControlToHost(BDS* ctx, resultants* result, int32_t request, const char* p1,
                            const char* p2, const char* p3, const char* p4);
