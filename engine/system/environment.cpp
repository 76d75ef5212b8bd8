// The process environment: Environment, EnvironSet and EnvItemize; and Fnv1aHashW.
#include "engine/system/environment.h"

#include <windows.h>

#include <cstring>

#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/core/locked_global.h"

namespace {

constexpr uint16_t ERR_NO_MEMORY = 1588;   // "Unable to allocate or lock memory"
constexpr size_t NAME_MAX_CHARS = 2049;
constexpr DWORD VALUE_BUFFER = 1281;

// The variable's value into the result; false when it is not set.
bool ReadVariable(BDS* ctx, const char* name, resultants* result)
{
    char value[VALUE_BUFFER];
    DWORD n = GetEnvironmentVariableA(name, value, VALUE_BUFFER);
    if (n == 0)
        return false;
    if (n < VALUE_BUFFER) {
        SetResultText(ctx, result, value, n);
        return true;
    }
    // Too long for the buffer: n is the size it needs. The variable may change between the
    // two reads, so the second one is checked again.
    HANDLE heap = GetProcessHeap();
    auto* large = static_cast<char*>(HeapAlloc(heap, 0, n));
    if (!large) {
        SetError(ctx, ERR_NO_MEMORY);
        return true;
    }
    DWORD got = GetEnvironmentVariableA(name, large, n);
    SetResultText(ctx, result, large, got < n ? got : 0);
    HeapFree(heap, 0, large);
    return true;
}

// Environment(name): the value, or "" when the variable is not set.
void CaseEnvironment(BDS* ctx, BuiltinCall& call)
{
    const char* name = ArgText(ctx, call, 1);
    size_t length = strnlen(name, NAME_MAX_CHARS + 1);
    if (length == 0 || length > NAME_MAX_CHARS) {
        SetResultText(ctx, call.result, "");
        return;
    }
    if (ReadVariable(ctx, name, call.result))
        return;
    char upper[NAME_MAX_CHARS + 1];
    std::memcpy(upper, name, length + 1);
    CharUpperBuffA(upper, static_cast<DWORD>(length));
    if (!ReadVariable(ctx, upper, call.result))
        SetResultText(ctx, call.result, "");
}

// EnvironSet(name, value): 1 when set; an empty value removes the variable.
void CaseEnvironSet(BDS* ctx, BuiltinCall& call)
{
    // A variable's name and value each hold at most 32767 characters; longer texts make the
    // platform's conversion fail and its environment code crash, so they are not set.
    constexpr size_t ENV_TEXT_MAX = 32767;
    const char* name = ArgText(ctx, call, 1);
    const char* value = ArgText(ctx, call, 2);
    if (strnlen(name, ENV_TEXT_MAX) >= ENV_TEXT_MAX || strnlen(value, ENV_TEXT_MAX) >= ENV_TEXT_MAX) {
        SetResultInt(ctx, call.result, 0);
        return;
    }
    BOOL set = SetEnvironmentVariableA(name, *value ? value : nullptr);
    SetResultInt(ctx, call.result, set ? 1 : 0);
}

// EnvItemize(): every entry of the environment block, each followed by a line feed.
void CaseEnvItemize(BDS* ctx, BuiltinCall& call)
{
    char* block = GetEnvironmentStringsA();
    if (!block) {
        SetResultText(ctx, call.result, "");
        return;
    }
    size_t size = 0;
    while (block[size])
        size += std::strlen(block + size) + 1;   // each entry and its NUL
    LockedGlobal copy(size + 1, GMEM_MOVEABLE);
    if (copy.data) {
        auto* text = static_cast<char*>(copy.data);
        std::memcpy(text, block, size);
        for (size_t i = 0; i < size; ++i)
            if (!text[i])
                text[i] = '\n';
        SetResultText(ctx, call.result, text, size);
    } else {
        SetError(ctx, ERR_NO_MEMORY);
    }
    FreeEnvironmentStringsA(block);
}

const BuiltinRow kRows[] = {
    {446, CaseEnvironment},
    {447, CaseEnvironSet},
    {448, CaseEnvItemize},
};

}  // namespace

extern const BuiltinFamily g_EnvironmentBuiltins = {"environment", kRows,
                                                    static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};

uint32_t Fnv1aHashW(const wchar_t* text)
{
    uint32_t h = 0x811C9DC5u;
    for (const wchar_t* p = text; *p; ++p) {
        h ^= static_cast<uint16_t>(*p);
        h *= 16777619u;
    }
    return h;
}

void EnvironmentBlockFree(BDS*) {}
