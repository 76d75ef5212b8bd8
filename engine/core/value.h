// Values and variables: the common value head, the value record of temporaries,
// the variable entry, and the operations that initialise, release, copy and convert values.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <cstddef>
#include <cstdint>

struct BDS;

// ValueFlags: a value may carry several forms at once; the flags say which are valid.
enum : uint32_t {
    VF_INT = 0x1,
    VF_STRING = 0x2,
    VF_FILE = 0x4,      // with VF_INT: a file handle number
    VF_UNINIT = 0x8,    // alone: a known variable without a value
    VF_FLOAT = 0x20,
    VF_BINBUF = 0x40,   // with VF_INT: a binary-buffer handle
    VF_UNICODE = 0x80,
    VF_ARRAY = 0x100,
    VF_VARIANT = 0x200,
    VF_COMOBJ = 0x400,  // with VF_VARIANT
    VF_COMTEMP = 0x800,
    VF_INT64 = 0x2000,
};
constexpr uint32_t VF_HAS_VALUE = 0x23A3;  // INT, STRING, FLOAT, UNICODE, ARRAY, VARIANT, INT64

constexpr int VARNAMESIZE = 30;

// The value head shared by value records, variable entries and array elements (56 bytes).
// Texts are offsets from the string heap's base, never pointers, so a head stays valid
// when it is copied; with VF_ARRAY, `str` holds the address of the array or map block.
struct ValueHead {
    VARIANT var;        // valid with VF_VARIANT
    union {
        double dbl;     // VF_FLOAT
        int64_t i64;    // VF_INT64
    };
    int32_t i32;        // VF_INT
    uint32_t flags;     // ValueFlags
    uint64_t str;       // VF_STRING: heap offset of the narrow text; VF_ARRAY: block address
    uint64_t wstr;      // VF_UNICODE: heap offset of the wide text
};
static_assert(sizeof(ValueHead) == 56);

constexpr uint16_t ORIGIN_NONE = 65535;     // not a variable's value
constexpr uint16_t ORIGIN_ELEMENT = 65534;  // an array element

// The value record of temporaries, arguments and results: the head and its origin.
struct resultants : ValueHead {
    uint64_t originAddr;    // element address when the value came from an array element
    uint16_t originVar;     // variable index, ORIGIN_NONE or ORIGIN_ELEMENT
    uint16_t originScope;   // scope number, 65535 = none
};

// One variable of a scope's table. Entry 0 of every table is reserved.
struct VariableEntry : ValueHead {
    char name[VARNAMESIZE + 1];   // lower-cased name key
    uint8_t flag;                 // cleared when the entry is written
    uint8_t reserved[8];
};
static_assert(sizeof(VariableEntry) == 96);

// An array element is a bare value head.
using ArrayElement = ValueHead;

// Slot kinds in the low nibble of a value operation's mode.
enum : int {
    VK_ARGUMENT = 1,   // a variable entry addressed by index
    VK_RECORD = 2,     // a value record
    VK_ELEMENT = 3,    // an array element
};

// ---------------------------------------------------------------- value operations
// Every operation takes the context first; failures set ctx->nErrorCode and answer 0.
// `value` points at a value head of the kind given in the low nibble of `mode`.

int InitResultValue(BDS* ctx, void* value, int mode, int32_t integer);
int FreeValue(BDS* ctx, void* value, int index, int mode);
int CopyValue(BDS* ctx, const void* source, void* target, int index, int mode);

int ValueToString(BDS* ctx, ValueHead* value);
int ValueToWide(BDS* ctx, ValueHead* value);
int ValueToInteger(BDS* ctx, ValueHead* value, bool allowFloat, bool allow64);
int ValueToInt64(BDS* ctx, ValueHead* value, int64_t* out, bool allowFloat);
int ValueToFloat(BDS* ctx, ValueHead* value);

int SetVariableByName(BDS* ctx, const char* name, const void* text, int32_t integer, int mode);
int SetVariableFromValue(BDS* ctx, const char* name, const resultants* value);

// The texts a value holds ("" when the form is absent).
const char* ValueText(BDS* ctx, const ValueHead* value);
const wchar_t* ValueWText(BDS* ctx, const ValueHead* value);

// Result setters for built-in handlers: each releases what the result held first.
// The text setters answer 0 with 3096 when the string heap is exhausted.
void SetResultInt(BDS* ctx, resultants* result, int32_t value);
void SetResultInt64(BDS* ctx, resultants* result, int64_t value);
void SetResultFloat(BDS* ctx, resultants* result, double value);
int SetResultText(BDS* ctx, resultants* result, const char* text, size_t length);
int SetResultText(BDS* ctx, resultants* result, const char* text);
int SetResultWText(BDS* ctx, resultants* result, const wchar_t* text, size_t length);
int SetResultWText(BDS* ctx, resultants* result, const wchar_t* text);

extern "C" int find_var(BDS* ctx, const char* name, int report);
