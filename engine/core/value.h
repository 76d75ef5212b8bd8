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
constexpr int VK_ARGUMENT = 1;   // a variable entry addressed by index
constexpr int VK_RECORD = 2;     // a value record
constexpr int VK_ELEMENT = 3;    // an array element

// Mode bits of the value operations.
constexpr int VM_KEEP_VT = 0x100;         // InitResultValue: leave the variant type word alone
constexpr int VM_KEEP_COM = 0x100;        // FreeValue: keep a COM value
constexpr int VM_KEEP_ARRAY = 0x200;      // FreeValue: keep an array reference (not released)
constexpr int VM_TO_ARGUMENT = 0x10;      // CopyValue targets (bits 4-7)
constexpr int VM_TO_RECORD = 0x20;
constexpr int VM_TO_ELEMENT = 0x30;
constexpr int VM_SCOPE_IN_INDEX = 0x100;  // CopyValue: the source variable's scope is index >> 16
constexpr int VM_COPY_TEXT = 0x200;       // CopyValue: duplicate the heap texts
constexpr int VM_COPY_COM = 0x400;        // CopyValue: deep-copy a COM value
constexpr int VM_ADD_ARRAY_REF = 0x800;   // CopyValue: the target becomes a further array holder
constexpr int FREE_STATEMENT_RESULT = VK_RECORD | VM_KEEP_ARRAY;                     // 514
constexpr int FREE_STATEMENT_RESULT_KEEP_COM = FREE_STATEMENT_RESULT | VM_KEEP_COM;  // 770

// SetVariableByName modes.
constexpr int SV_INT = 1, SV_STRING = 2, SV_WIDE = 128, SV_ARRAY = 256;

// The floating-point error raised by the C runtime and not yet reported (0: none);
// operators clear it before float work, conversions of floats report it.
extern uint32_t nPendingMathError;

// ---------------------------------------------------------------- value operations
// Every operation takes the context first; failures set ctx->nErrorCode and answer 0.
// `value` points at a value head of the kind given in the low nibble of `mode`.

// Makes the value integer `integer` (a record also forgets where it came from).
inline int InitResultValue(BDS*, void* value, int mode, int32_t integer)
{
    int kind = mode & 0xF;
    if (kind < VK_ARGUMENT || kind > VK_ELEMENT) return 0;
    auto* head = static_cast<ValueHead*>(value);
    if (!(mode & VM_KEEP_VT)) head->var.vt = VT_EMPTY;
    head->i64 = 0;
    head->i32 = integer;
    head->flags = VF_INT;
    head->str = 0;
    head->wstr = 0;
    if (kind == VK_RECORD) {
        auto* record = static_cast<resultants*>(value);
        record->originAddr = 0;
        record->originVar = ORIGIN_NONE;
        record->originScope = 0xFFFF;
    }
    return 1;
}
int FreeValueParts(BDS* ctx, void* value, int index, int mode);
// Releases what the value owns (texts, an array reference, a COM value). A value that owns
// none of them (a number, nothing) is left as it is without a call: every statement frees
// several such records.
inline int FreeValue(BDS* ctx, void* value, int index, int mode)
{
    int kind = mode & 0xF;
    constexpr uint32_t owning = VF_STRING | VF_UNICODE | VF_ARRAY | VF_VARIANT;
    if (kind >= VK_ARGUMENT && kind <= VK_ELEMENT && !(static_cast<const ValueHead*>(value)->flags & owning))
        return 1;
    return FreeValueParts(ctx, value, index, mode);
}
int CopyValue(BDS* ctx, const void* source, void* target, int index, int mode);

int ValueToString(BDS* ctx, ValueHead* value);
int ValueToWide(BDS* ctx, ValueHead* value);
int ValueToInteger(BDS* ctx, ValueHead* value, bool allowFloat, bool allow64);
int ValueToInt64(BDS* ctx, ValueHead* value, int64_t* out, bool allowFloat);
int ValueToFloat(BDS* ctx, ValueHead* value);

int SetVariableByName(BDS* ctx, const char* name, const void* text, int32_t integer, int mode);
int SetVariableFromValue(BDS* ctx, const char* name, const resultants* value);
// The same in a table known to hold no variable of that name and no free entry below its
// last (a function's new scope while its parameters are made): the name is not looked up.
int AddFreshVariable(BDS* ctx, const char* name, const resultants* value);

// The texts a value holds ("" when the form is absent).
const char* ValueText(BDS* ctx, const ValueHead* value);
const wchar_t* ValueWText(BDS* ctx, const ValueHead* value);

// Heap copies of texts (NUL added); 0 when the heap is exhausted (no error is set).
uint64_t HeapCopyText(BDS* ctx, const char* text, size_t length);
uint64_t HeapCopyWText(BDS* ctx, const wchar_t* text, size_t length);
// The same across the context's code page (ctx->nCodePage, 0 = the ANSI code page).
uint64_t HeapCopyWideAsNarrow(BDS* ctx, const wchar_t* text, size_t length);
uint64_t HeapCopyNarrowAsWide(BDS* ctx, const char* text, size_t length);
UINT ValueCodePage(BDS* ctx);

// Result setters for built-in handlers: each releases what the result held first.
// The text setters answer 0 with 3096 when the string heap is exhausted.
void SetResultInt(BDS* ctx, resultants* result, int32_t value);
void SetResultInt64(BDS* ctx, resultants* result, int64_t value);
void SetResultFloat(BDS* ctx, resultants* result, double value);
int SetResultText(BDS* ctx, resultants* result, const char* text, size_t length);
int SetResultText(BDS* ctx, resultants* result, const char* text);
int SetResultWText(BDS* ctx, resultants* result, const wchar_t* text, size_t length);
int SetResultWText(BDS* ctx, resultants* result, const wchar_t* text);

// ---------------------------------------------------------------- variables
// A name's key: lower case (a first byte of 0x80 or above is kept as it is), at most
// VARNAMESIZE characters. Answers the key's length, or -1 for an empty or longer name.
int MakeNameKey(const char* name, char key[VARNAMESIZE + 1]);

// Index of the variable (flags not 0) whose key is `key` in the current table, from
// entry 1 on; 65535 when there is none.
int FindVariableByKey(BDS* ctx, const char* key);

// Index of the entry that holds `key` (whatever its flags) in the current table, from entry
// 1 on, or -1; when the table is scanned, the last free entry passed on the way goes to
// *lastFree (-1: none).
int ScanForKey(BDS* ctx, const char* key, int* lastFree);

// Index of a variable that has a value, or -1 with 3051 (unknown) or 3052 (no value).
// With `report` and outside a skipped branch, 3052 records the name in the settings
// file and in the extended-error text.
extern "C" int find_var(BDS* ctx, const char* name, int report);
