// The host call form as the test host receives it: argument and answer records, the
// answer function, and the host's keyword table with its callback.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <cstdint>
#include <string>

#include "engine/core/keyword.h"

namespace kvhost {

// One argument or answer record (56 bytes): the engine's value head with real addresses.
struct HostArg {
    VARIANT var;          // flag 0x200
    union {
        double dbl;       // flag 0x20
        int64_t i64;      // flag 0x2000
    };
    int32_t i32;          // flag 0x1
    uint32_t flags;
    const char* str;      // flag 0x2 (ANSI text); flag 0x100: the array block
    const wchar_t* wstr;  // flag 0x80
};
static_assert(sizeof(HostArg) == 56);

constexpr int kMaxHostArgs = 16;

// The answer function the engine hands to each call.
using AnswerFn = int32_t (*)(int32_t status, uint64_t word, void* answerContext, HostArg* answer);

// The host callback.
int32_t HostCallback(HWND window, HINSTANCE instance, uint32_t interfaceWord, int32_t code,
                     void* answerFunction, void* answerContext, void* reserved, HostArg* args,
                     int32_t count, HostArg* scratch);

// The host keyword table (ended by a record whose name length is 0).
const KeywordRecord* HostKeywordTable();

// Hook codes that the callback prints as HOOK lines besides the error hook.
void SetHookEcho(bool on);

// Every line the host prints goes through here (UTF-8, "\n" line ends, unbuffered).
void WriteLine(const std::string& line);

}  // namespace kvhost
