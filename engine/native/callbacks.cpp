// Native callbacks: DllCallbackCreate turns a user-defined function into a function pointer
// (a thunk) that native code calls with the 64-bit Windows convention; the entry
// (callback_entry.S) hands each call to DllCallbackDispatch, which runs the function and
// gives its result back as the declared native type.
//
// Invariants:
// - A thunk is 23 bytes of code in an executable page of the context's thunk pages:
//   "mov r10, <its cell>; mov r11, DllCallbackEntry; jmp r11". Once written it is never
//   changed (the page is PAGE_EXECUTE_READ between writes) and it stays until engine end,
//   so a stale pointer that native code kept still lands in the entry.
// - A cell names its slot and the slot's generation at creation; destroying a slot raises
//   its generation, so a call through a destroyed callback's thunk is known and raises
//   STATUS_INVALID_HANDLE instead of running whatever the slot holds now.
// - A call from a thread other than the creating one touches no engine state: it marks
//   its cell, answers 0, and the next DllCallbackDestroy of the handle reports 1607.
#include "engine/native/callbacks.h"

#include <windows.h>

#include <cstring>

#include "engine/core/builtin.h"
#include "engine/core/runloop.h"
#include "engine/native/native_call.h"

extern "C" void DllCallbackEntry();

namespace {

enum : uint16_t {
    ERR_NOT_SHORT = 1375,
    ERR_NOT_LONG = 1376,
    ERR_OTHER_THREAD = 1607,
    ERR_NOT_DOUBLE = 1745,
    ERR_NO_FUNCTION = 1751,
    ERR_TOO_MANY = 1837,
    ERR_COUNT_MISMATCH = 1838,
    ERR_NOT_CALLBACK = 1839,
    ERR_BAD_RETURN = 1840,
    ERR_BAD_PARAM = 1841,
    ERR_IN_USE = 1842,
    ERR_UNREADABLE = 1843,
};

// Type codes of callback parameters and results.
enum : uint8_t { CB_WORD = 0, CB_LONG = 1, CB_LPSTR = 2, CB_LPNULL = 3, CB_DOUBLE = 4,
                 CB_LPWSTR = 5, CB_VOID = 6, CB_LONG64 = 7 };

struct CallbackWord {
    const char* word;
    uint8_t code;
};
const CallbackWord kReturnWords[] = {
    {"word", CB_WORD}, {"long", CB_LONG}, {"double", CB_DOUBLE}, {"void", CB_VOID}, {"long64", CB_LONG64},
};
const CallbackWord kParamWords[] = {
    {"word", CB_WORD}, {"long", CB_LONG}, {"lpstr", CB_LPSTR}, {"lpnull", CB_LPNULL},
    {"double", CB_DOUBLE}, {"lpwstr", CB_LPWSTR}, {"long64", CB_LONG64},
};

constexpr int MAX_CALLBACK_PARAMS = 16;
constexpr size_t THUNK_BYTES = 23;
constexpr size_t THUNK_STRIDE = 32;
constexpr size_t THUNK_PAGE_BYTES = 4096;
constexpr uint32_t THUNKS_PER_PAGE = THUNK_PAGE_BYTES / THUNK_STRIDE;

}  // namespace

// What a thunk's r10 points at.
struct ThunkCell {
    BDS* ctx;
    uint32_t slot;
    uint32_t generation;
    DWORD thread;                  // the creating thread
    volatile LONG calledElsewhere; // a call came from another thread
};

struct ThunkPage {
    ThunkPage* next;
    uint8_t* code;                 // THUNK_PAGE_BYTES, executable
    uint32_t used;
    ThunkCell cells[THUNKS_PER_PAGE];
};

struct CallbackRecord {
    bool used;
    uint32_t functionId;           // 4000 + the function's index
    uint32_t paramCount;
    uint8_t codes[MAX_CALLBACK_PARAMS];
    uint8_t returnCode;
    uint32_t callingForm;          // 0 DllCall, 1 DllCallCdecl (the last call that passed it)
    void* thunk;
    ThunkCell* cell;
};

struct CallbackTable {
    CallbackRecord slots[CALLBACK_MAX];
    uint32_t generation[CALLBACK_MAX];
    uint32_t high;                 // one more than the highest slot ever used
    ThunkPage* pages;
};

namespace {

// ---------------------------------------------------------------- thunks

CallbackTable* TableOf(BDS* ctx, bool make)
{
    NativeState& n = ctx->native;
    if (!n.pCallbacks && make)
        n.pCallbacks = static_cast<CallbackTable*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(CallbackTable)));
    return n.pCallbacks;
}

// A new thunk whose r10 is a fresh cell; null when no memory can be had.
void* WriteThunk(CallbackTable* table, ThunkCell** cellOut)
{
    ThunkPage* page = table->pages;
    if (!page || page->used == THUNKS_PER_PAGE) {
        auto* fresh = static_cast<ThunkPage*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(ThunkPage)));
        if (!fresh)
            return nullptr;
        fresh->code = static_cast<uint8_t*>(VirtualAlloc(nullptr, THUNK_PAGE_BYTES, MEM_COMMIT | MEM_RESERVE,
                                                         PAGE_EXECUTE_READWRITE));
        if (!fresh->code) {
            HeapFree(GetProcessHeap(), 0, fresh);
            return nullptr;
        }
        fresh->next = table->pages;
        table->pages = page = fresh;
    }
    ThunkCell* cell = &page->cells[page->used];
    uint8_t* code = page->code + page->used * THUNK_STRIDE;
    DWORD old;
    // Other thunks of the page may be running: it stays executable while it is written.
    if (!VirtualProtect(page->code, THUNK_PAGE_BYTES, PAGE_EXECUTE_READWRITE, &old))
        return nullptr;
    uint64_t cellAddress = reinterpret_cast<uint64_t>(cell);
    uint64_t entry = reinterpret_cast<uint64_t>(&DllCallbackEntry);
    uint8_t bytes[THUNK_BYTES] = {0x49, 0xBA, 0, 0, 0, 0, 0, 0, 0, 0,    // mov r10, imm64
                                  0x49, 0xBB, 0, 0, 0, 0, 0, 0, 0, 0,    // mov r11, imm64
                                  0x41, 0xFF, 0xE3};                     // jmp r11
    std::memcpy(bytes + 2, &cellAddress, 8);
    std::memcpy(bytes + 12, &entry, 8);
    std::memcpy(code, bytes, THUNK_BYTES);
    VirtualProtect(page->code, THUNK_PAGE_BYTES, PAGE_EXECUTE_READ, &old);
    FlushInstructionCache(GetCurrentProcess(), code, THUNK_BYTES);
    ++page->used;
    *cellOut = cell;
    return code;
}

void FreeThunkPages(CallbackTable* table)
{
    for (ThunkPage* page = table->pages; page;) {
        ThunkPage* next = page->next;
        VirtualFree(page->code, 0, MEM_RELEASE);
        HeapFree(GetProcessHeap(), 0, page);
        page = next;
    }
    table->pages = nullptr;
}

// Frees one slot: the thunk stays, its cell no longer matches the slot.
void ClearSlot(CallbackTable* table, uint32_t slot)
{
    table->slots[slot] = CallbackRecord{};
    ++table->generation[slot];
}

// ---------------------------------------------------------------- create and destroy

template <size_t N>
bool LookUpWord(const char* word, size_t length, const CallbackWord (&words)[N], uint8_t* code)
{
    for (const CallbackWord& w : words) {
        if (strlen(w.word) == length && CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, w.word,
                                                       static_cast<int>(length), word,
                                                       static_cast<int>(length)) == CSTR_EQUAL) {
            *code = w.code;
            return true;
        }
    }
    return false;
}

bool ReadReturnWord(BDS* ctx, const char* text, uint8_t* code)
{
    while (*text == ' ')
        ++text;
    size_t length = strlen(text);
    while (length && text[length - 1] == ' ')
        --length;
    if (LookUpWord(text, length, kReturnWords, code))
        return true;
    SetError(ctx, ERR_BAD_RETURN);
    return false;
}

bool ReadParamWords(BDS* ctx, const char* text, CallbackRecord& r, uint32_t expected)
{
    uint32_t count = 0;
    const char* p = text;
    for (;;) {
        while (*p == ' ')
            ++p;
        if (!*p)
            break;
        const char* word = p;
        while (*p && *p != ' ')
            ++p;
        uint8_t code;
        if (!LookUpWord(word, p - word, kParamWords, &code)) {
            SetError(ctx, ERR_BAD_PARAM);
            return false;
        }
        if (count < MAX_CALLBACK_PARAMS)
            r.codes[count] = code;
        ++count;
    }
    if (count != expected) {
        SetError(ctx, ERR_COUNT_MISMATCH);
        return false;
    }
    r.paramCount = count;
    return true;
}

void CaseDllCallbackCreate(BDS* ctx, BuiltinCall& call)
{
    const char* name = ArgText(ctx, call, 1);
    int index = *name ? FindUdfByName(ctx, name, strlen(name)) : -1;
    const UdfRecord* udf = index >= 0 ? UdfRecordAt(ctx, static_cast<uint32_t>(index)) : nullptr;
    if (!udf) {
        SetError(ctx, ERR_NO_FUNCTION);
        return;
    }
    CallbackRecord r{};
    r.functionId = UDFSTART + static_cast<uint32_t>(index);
    if (!ReadReturnWord(ctx, ArgText(ctx, call, 2), &r.returnCode) ||
        !ReadParamWords(ctx, ArgText(ctx, call, 3), r, udf->paramCount))
        return;

    CallbackTable* table = TableOf(ctx, true);
    if (!table) {
        SetError(ctx, ERR_NATIVE_LOCK);
        return;
    }
    uint32_t slot = 0;
    while (slot < CALLBACK_MAX && table->slots[slot].used)
        ++slot;
    if (slot == CALLBACK_MAX) {
        SetError(ctx, ERR_TOO_MANY);
        return;
    }
    ThunkCell* cell = nullptr;
    r.thunk = WriteThunk(table, &cell);
    if (!r.thunk) {
        SetError(ctx, ERR_NATIVE_LOCK);
        return;
    }
    cell->ctx = ctx;
    cell->slot = slot;
    cell->generation = table->generation[slot];
    cell->thread = GetCurrentThreadId();
    r.cell = cell;
    r.used = true;
    table->slots[slot] = r;
    if (slot >= table->high)
        table->high = slot + 1;
    SetResultInt(ctx, call.result, static_cast<int32_t>(CALLBACK_HANDLE_BASE + slot));
}

void CaseDllCallbackDestroy(BDS* ctx, BuiltinCall& call)
{
    if (ctx->native.nCallbacksInUse > 0) {
        SetError(ctx, ERR_IN_USE);
        return;
    }
    int64_t slot = static_cast<int64_t>(ArgInt(call, 1)) - CALLBACK_HANDLE_BASE;
    if (slot < 0 || slot >= CALLBACK_MAX) {
        SetError(ctx, ERR_NOT_CALLBACK);
        return;
    }
    CallbackTable* table = TableOf(ctx, false);
    SetResultInt(ctx, call.result, 1);
    if (!table || !table->slots[slot].used)
        return;
    bool elsewhere = table->slots[slot].cell->calledElsewhere != 0;
    ClearSlot(table, static_cast<uint32_t>(slot));
    if (elsewhere)
        SetError(ctx, ERR_OTHER_THREAD);
}

const BuiltinRow kRows[] = {
    {422, CaseDllCallbackCreate},
    {423, CaseDllCallbackDestroy},
};

// ---------------------------------------------------------------- a call through a thunk

// Argument i of a call as the script value its code asks for.
bool TakeArgument(BDS* ctx, uint8_t code, uint64_t raw, resultants* arg)
{
    switch (code) {
    case CB_WORD:
        SetResultInt(ctx, arg, static_cast<int32_t>(raw & 0xFFFF));
        return true;
    case CB_LONG:
        SetResultInt(ctx, arg, static_cast<int32_t>(static_cast<uint32_t>(raw)));
        return true;
    case CB_LONG64:
        SetResultInt64(ctx, arg, static_cast<int64_t>(raw));
        return true;
    case CB_DOUBLE: {
        double d;
        std::memcpy(&d, &raw, sizeof d);
        SetResultFloat(ctx, arg, d);
        return true;
    }
    case CB_LPSTR:
    case CB_LPWSTR: {
        if (raw == 0) {
            SetResultInt(ctx, arg, 0);
            return true;
        }
        uint32_t fault = 0;
        if (CopyNativeText(ctx, reinterpret_cast<const void*>(raw), code == CB_LPWSTR, arg, &fault))
            return true;
        if (fault)
            SetError(ctx, ERR_UNREADABLE);
        return false;
    }
    default:   // lpnull
        SetResultInt(ctx, arg, 0);
        return true;
    }
}

// The function's result as the declared native type; 0 with an error when it does not
// convert.
uint64_t GiveResult(BDS* ctx, uint8_t code, resultants* result)
{
    switch (code) {
    case CB_WORD:
    case CB_LONG:
        if (!ValueToInteger(ctx, result, true, false)) {
            SetError(ctx, code == CB_WORD ? ERR_NOT_SHORT : ERR_NOT_LONG);
            return 0;
        }
        if (code == CB_WORD)
            return static_cast<uint16_t>(result->i32);
        return static_cast<uint64_t>(static_cast<int64_t>(result->i32));
    case CB_LONG64: {
        int64_t n = 0;
        if (!ValueToInt64(ctx, result, &n, true)) {
            SetError(ctx, ERR_NOT_LONG);
            return 0;
        }
        if (!(result->flags & VF_INT64) && (result->flags & VF_INT))
            n = result->i32;
        return static_cast<uint64_t>(n);
    }
    case CB_DOUBLE: {
        if (!(result->flags & VF_FLOAT) && !ValueToFloat(ctx, result)) {
            SetError(ctx, ERR_NOT_DOUBLE);
            return 0;
        }
        uint64_t bits;
        std::memcpy(&bits, &result->dbl, sizeof bits);
        return bits;
    }
    default:   // void
        return 0;
    }
}

// Runs the function of a live record; its answer as 64 bits.
uint64_t RunCallback(BDS* ctx, const CallbackRecord& r, const double* floats, const uint64_t* ints)
{
    resultants args[MAX_CALLBACK_PARAMS + 1];
    for (resultants& a : args)
        InitResultValue(ctx, &a, VK_RECORD, 0);
    // An error that an earlier call of this native call left stays the one reported.
    uint16_t pending = ctx->nErrorCode;
    SetError(ctx, 0);
    uint64_t answer = 0;
    uint32_t made = 0;
    bool ready = true;
    for (; made < r.paramCount && ready; ++made) {
        uint8_t code = r.codes[made];
        uint64_t raw = ints[made];
        if (made < 4 && code == CB_DOUBLE)
            std::memcpy(&raw, &floats[made], sizeof raw);
        ready = TakeArgument(ctx, code, raw, &args[made + 1]);
    }
    if (ready) {
        resultants result;
        InitResultValue(ctx, &result, VK_RECORD, 0);
        CallUserFunction(ctx, r.functionId, &result, args, nullptr, 0);
        if (!ctx->nErrorCode)
            answer = GiveResult(ctx, r.returnCode, &result);
        FreeValue(ctx, &result, 0, VK_RECORD);
    }
    for (uint32_t i = 1; i <= made; ++i)
        FreeValue(ctx, &args[i], 0, VK_RECORD);
    if (pending)
        SetError(ctx, pending);
    return answer;
}

}  // namespace

extern const BuiltinFamily g_CallbackBuiltins = {"callback", kRows,
                                                 static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};

// Called by DllCallbackEntry. Sets *raise when the callback no longer exists.
extern "C" uint64_t DllCallbackDispatch(ThunkCell* cell, const double* floats, const uint64_t* ints,
                                        uint32_t* raise)
{
    if (cell->thread != GetCurrentThreadId()) {
        InterlockedExchange(&cell->calledElsewhere, 1);
        return 0;
    }
    BDS* ctx = cell->ctx;
    CallbackTable* table = TableOf(ctx, false);
    if (!table || cell->slot >= CALLBACK_MAX || !table->slots[cell->slot].used ||
        table->generation[cell->slot] != cell->generation) {
        *raise = 1;
        return 0;
    }
    CallbackRecord record = table->slots[cell->slot];   // the function may destroy it
    return RunCallback(ctx, record, floats, ints);
}

void* CallbackTakeForCall(BDS* ctx, int64_t handle, uint32_t callingForm)
{
    int64_t slot = handle - CALLBACK_HANDLE_BASE;
    CallbackTable* table = TableOf(ctx, false);
    if (slot < 0 || slot >= CALLBACK_MAX || !table || !table->slots[slot].used) {
        SetError(ctx, ERR_NOT_CALLBACK);
        return nullptr;
    }
    CallbackRecord& r = table->slots[slot];
    r.callingForm = callingForm;
    ++ctx->native.nCallbacksInUse;
    return r.thunk;
}

void CallbackReleaseFromCall(BDS* ctx)
{
    if (ctx->native.nCallbacksInUse > 0)
        --ctx->native.nCallbacksInUse;
}

int FreeAllDllCallbacksCount(BDS* ctx)
{
    if (ctx->native.nCallbacksInUse > 0) {
        SetError(ctx, ERR_IN_USE);
        return -1;
    }
    CallbackTable* table = TableOf(ctx, false);
    int freed = 0;
    if (table) {
        for (uint32_t slot = 0; slot < table->high; ++slot) {
            if (table->slots[slot].used) {
                ClearSlot(table, slot);
                ++freed;
            }
        }
        table->high = 0;
    }
    return freed;
}

void FreeAllDllCallbacks(BDS* ctx)
{
    CallbackTable* table = TableOf(ctx, false);
    if (!table)
        return;
    FreeThunkPages(table);
    HeapFree(GetProcessHeap(), 0, table);
    ctx->native.pCallbacks = nullptr;
    ctx->native.nCallbacksInUse = 0;
}

void CallbacksFollowDroppedFunction(BDS* ctx, uint32_t index)
{
    CallbackTable* table = TableOf(ctx, false);
    if (!table)
        return;
    uint32_t id = UDFSTART + index;
    for (uint32_t slot = 0; slot < table->high; ++slot) {
        CallbackRecord& r = table->slots[slot];
        if (!r.used)
            continue;
        if (r.functionId == id)
            ClearSlot(table, slot);
        else if (r.functionId > id)
            --r.functionId;
    }
}
