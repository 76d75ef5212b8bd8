// The ten services of the service block: what an extender or the host may do with the
// script's variables, arrays, maps, binary buffers and extended-error text while one of its
// functions runs.
//
// Every service takes the context's memory handle first, locks the context and its current
// variable table for the call and restores the context's error number before it returns:
// services answer small result codes and never leave an error behind. Texts cross as real
// addresses; a text that a service hands out lives in the string heap and stays valid until
// the script changes the value it came from.
#include <windows.h>

#include <cstring>

#include "engine/core/errors.h"
#include "engine/core/heap.h"
#include "engine/core/varptr.h"
#include "engine/data/array.h"
#include "engine/data/array_internal.h"
#include "engine/data/binary_buffer.h"
#include "engine/data/map.h"
#include "engine/native/extender.h"

namespace {

constexpr uint32_t RECORD_SIZE = sizeof(ExtArgRecord);
constexpr size_t NAME_MAX = 67;
constexpr size_t POINTER_NAME_MIN = 37;
constexpr size_t WIDE_NAME_BYTES = 60;

// Get operations of the variable, element and map services.
enum : int32_t { GET_ANSI = 1, SET = 2, DROP = 3, GET_WIDE = 4, GET_STORED = 5 };

// The context and its current variable table, locked for one service call.
struct ServiceLock {
    HGLOBAL instance = nullptr;
    BDS* ctx = nullptr;
    HGLOBAL table = nullptr;
    VariableEntry* savedVars = nullptr;
    uint16_t savedError = 0;
    bool tableLocked = false;

    // 0, or which lock failed: 1 the context, 2 its variable table.
    int Take(HGLOBAL handle, bool withTable)
    {
        instance = handle;
        ctx = handle ? static_cast<BDS*>(GlobalLock(handle)) : nullptr;
        if (!ctx)
            return 1;
        savedError = ctx->nErrorCode;
        ctx->nErrorCode = 0;
        if (!withTable)
            return 0;
        uint32_t scope = ctx->nScopeCurrent < MAX_SCOPES ? ctx->nScopeCurrent : 0;
        table = ctx->aScopes[scope].hTable ? ctx->aScopes[scope].hTable : ctx->hVarTable;
        auto* vars = table ? static_cast<VariableEntry*>(GlobalLock(table)) : nullptr;
        if (!vars)
            return 2;
        tableLocked = true;
        savedVars = ctx->pVars;
        ctx->pVars = vars;
        return 0;
    }

    ~ServiceLock()
    {
        if (!ctx)
            return;
        if (tableLocked) {
            ctx->pVars = savedVars;
            GlobalUnlock(table);
        }
        ctx->nErrorCode = savedError;
        GlobalUnlock(instance);
    }
};

bool RecordUsable(const ExtArgRecord* record, uint32_t size) { return record && size >= RECORD_SIZE; }

bool InsideHeap(BDS* ctx, const void* text)
{
    auto p = reinterpret_cast<const char*>(text);
    return p && ctx->HeapBase && p >= ctx->HeapBase && p < ctx->HeapBase + ctx->heap.committed;
}

// ---------------------------------------------------------------- values and records

enum RecordOutcome { RO_OK, RO_VARIANT, RO_NO_HEAP };

// A value into a record: numbers and flags, then the text form the operation asks for (the
// missing form is added to the value itself), an array's block, or a counted COM copy.
RecordOutcome ValueToRecord(BDS* ctx, ValueHead* value, int32_t op, ExtArgRecord* record)
{
    uint32_t flags = value->flags;
    bool text = (flags & (VF_STRING | VF_UNICODE)) && !(flags & VF_ARRAY);
    if (text && op == GET_ANSI && !(flags & VF_STRING) && !ValueToString(ctx, value))
        return RO_NO_HEAP;
    if (text && op == GET_WIDE && !(flags & VF_UNICODE) && !ValueToWide(ctx, value))
        return RO_NO_HEAP;
    flags = value->flags;
    std::memset(record, 0, sizeof *record);
    record->i64 = value->i64;
    record->i32 = value->i32;
    record->flags = flags & ~(VF_STRING | VF_UNICODE);
    if (flags & VF_ARRAY) {
        record->text = reinterpret_cast<const char*>(value->str);
    } else {
        if ((flags & VF_STRING) && op != GET_WIDE) {
            record->text = ValueText(ctx, value);
            record->flags |= VF_STRING;
        }
        if ((flags & VF_UNICODE) && op != GET_ANSI) {
            record->wtext = ValueWText(ctx, value);
            record->flags |= VF_UNICODE;
        }
    }
    if (flags & VF_VARIANT) {
        VariantInit(&record->var);
        if (FAILED(VariantCopy(&record->var, &value->var))) {
            record->flags = 0;
            return RO_VARIANT;
        }
    }
    return RO_OK;
}

// Frees what RecordToValue (below) copied (never the borrowed array or COM value).
void ReleaseRecordValue(BDS* ctx, resultants* value)
{
    if ((value->flags & VF_STRING) && !(value->flags & VF_ARRAY) && value->str)
        VFree(ctx, value->str);
    if ((value->flags & VF_UNICODE) && value->wstr)
        VFree(ctx, value->wstr);
    value->flags = 0;
    value->str = value->wstr = 0;
}

enum ValueOutcome { VO_OK, VO_INSIDE_HEAP, VO_NO_HEAP };

// A temporary value from a record: its texts copied into the heap (a text that already lies
// in the heap is refused), an array or COM value borrowed. ReleaseRecordValue frees it.
ValueOutcome RecordToValue(BDS* ctx, const ExtArgRecord* record, resultants* value)
{
    InitResultValue(ctx, value, VK_RECORD, 0);
    uint32_t flags = record->flags & (VF_INT | VF_STRING | VF_FLOAT | VF_UNICODE | VF_ARRAY |
                                      VF_VARIANT | VF_COMOBJ | VF_INT64);
    value->i64 = record->i64;
    value->i32 = record->i32;
    value->flags = flags & ~(VF_STRING | VF_UNICODE);
    if (flags & VF_ARRAY) {
        value->str = reinterpret_cast<uint64_t>(record->text);
        value->flags &= ~VF_VARIANT;
        return VO_OK;
    }
    if ((flags & VF_STRING) && InsideHeap(ctx, record->text))
        return VO_INSIDE_HEAP;
    if ((flags & VF_UNICODE) && InsideHeap(ctx, record->wtext))
        return VO_INSIDE_HEAP;
    if (flags & VF_STRING) {
        const char* text = record->text ? record->text : "";
        if (!(value->str = HeapCopyText(ctx, text, strlen(text))))
            return VO_NO_HEAP;
        value->flags |= VF_STRING;
    }
    if (flags & VF_UNICODE) {
        const wchar_t* text = record->wtext ? record->wtext : L"";
        if (!(value->wstr = HeapCopyWText(ctx, text, wcslen(text)))) {
            ReleaseRecordValue(ctx, value);
            return VO_NO_HEAP;
        }
        value->flags |= VF_UNICODE;
    }
    if (flags & VF_VARIANT)
        value->var = record->var;
    return VO_OK;
}

// Copies a record's value into an element whose old value was released.
int StoreRecordInElement(BDS* ctx, const resultants& value, ArrayElement* element)
{
    return CopyValue(ctx, &value, element, 0, VK_RECORD | VM_TO_ELEMENT | VM_COPY_TEXT | VM_COPY_COM | VM_ADD_ARRAY_REF);
}

// ---------------------------------------------------------------- 1, 6: variables

// The lower-case key of a variable name, resolving a pointer name into its scope and key.
int NameToKey(BDS* ctx, const char* name, char key[VARNAMESIZE + 1], uint32_t* slot, bool* pointer)
{
    char copy[VARPTR_TEXT_SIZE] = {};
    lstrcpynA(copy, name, sizeof copy);
    CharLowerBuffA(copy, static_cast<DWORD>(strlen(copy)));
    *pointer = strlen(copy) > POINTER_NAME_MIN && _strnicmp(copy, VARPTR_PREFIX, strlen(VARPTR_PREFIX)) == 0;
    if (*pointer) {
        lstrcpynA(copy, name, sizeof copy);   // the pointer's hexadecimal fields keep their case
        if (!ParseVarPointer(ctx, copy, slot, key))
            return 13;
        return 0;
    }
    return MakeNameKey(copy, key) < 0 ? 3 : 0;
}

int VariableOperation(BDS* ctx, const char* key, ExtArgRecord* record, int32_t op)
{
    int index = FindVariableByKey(ctx, key);
    bool exists = index != 65535 && index != 0 && (ctx->pVars[index].flags & VF_HAS_VALUE);
    switch (op) {
    case GET_ANSI:
    case GET_WIDE:
    case GET_STORED: {
        if (!exists)
            return 7;
        RecordOutcome outcome = ValueToRecord(ctx, &ctx->pVars[index], op, record);
        return outcome == RO_OK ? 0 : outcome == RO_VARIANT ? 8 : 11;
    }
    case SET: {
        resultants value;
        ValueOutcome made = RecordToValue(ctx, record, &value);
        if (made != VO_OK)
            return made == VO_INSIDE_HEAP ? 16 : 11;
        int stored = SetVariableFromValue(ctx, key, &value);
        uint16_t error = ctx->nErrorCode;
        ReleaseRecordValue(ctx, &value);
        if (stored)
            return 0;
        return error == 3097 ? 9 : error == 3096 ? 11 : 10;
    }
    case DROP: {
        if (index == 65535 || index == 0)
            return 7;
        VariableEntry& v = ctx->pVars[index];
        FreeValue(ctx, &v, index, VK_ARGUMENT);
        std::memset(&v, 0, sizeof v);
        if (index + 1u == ctx->nVarUsed)
            --ctx->nVarUsed;
        return 0;
    }
    default:
        return 12;
    }
}

int32_t VariableService(HGLOBAL instance, const char* name, ExtArgRecord* record, uint32_t size,
                        int32_t op)
{
    if (!name || !name[0])
        return 2;
    if (strlen(name) > NAME_MAX)
        return 3;
    if (op != DROP && !RecordUsable(record, size))
        return 4;
    ServiceLock lock;
    if (int failed = lock.Take(instance, true))
        return failed == 1 ? 5 : 6;
    BDS* ctx = lock.ctx;
    char key[VARNAMESIZE + 1];
    uint32_t slot = 0;
    bool pointer = false;
    if (int bad = NameToKey(ctx, name, key, &slot, &pointer))
        return bad;
    if (!pointer)
        return VariableOperation(ctx, key, record, op);
    ScopeVisit visit;
    if (!EnterScope(ctx, &visit, slot))
        return 14;
    int result = VariableOperation(ctx, key, record, op);
    if (!LeaveScope(&visit))
        return 15;
    return result;
}

int32_t VariableServiceW(HGLOBAL instance, const wchar_t* name, ExtArgRecord* record, uint32_t size,
                         int32_t op)
{
    if (!name || !name[0])
        return 2;
    UINT codePage = CP_ACP;
    {
        ServiceLock lock;
        if (lock.Take(instance, false))
            return 5;
        codePage = ValueCodePage(lock.ctx);
    }
    char narrow[WIDE_NAME_BYTES + 1] = {};
    WideCharToMultiByte(codePage, 0, name, -1, narrow, WIDE_NAME_BYTES, nullptr, nullptr);
    narrow[WIDE_NAME_BYTES] = 0;
    return VariableService(instance, narrow, record, size, op);
}

// ---------------------------------------------------------------- 2, 3, 7, 8, 9: arrays

// The array a record holds: 0, or the code for "not an array" (`notArray`) and the codes
// after it for no block, no dimensions, map.
ArrayHeader* RecordArray(const ExtArgRecord* record)
{
    return (record->flags & VF_ARRAY) ? reinterpret_cast<ArrayHeader*>(const_cast<char*>(record->text)) : nullptr;
}

ArrayElement* ElementAt(ArrayHeader* array, const int32_t subscripts[MAX_ARRAY_DIMS], bool* beyond)
{
    uint32_t s[MAX_ARRAY_DIMS];
    for (int d = 0; d < MAX_ARRAY_DIMS; ++d)
        s[d] = static_cast<uint32_t>(subscripts[d]);
    uint32_t index = ArrayLinearIndex(array, s);
    *beyond = index >= array->count;
    for (int d = 0; d < array->ndims && !*beyond; ++d)
        *beyond = s[d] >= array->dims[d];
    return *beyond ? nullptr : &array->data[index];
}

// The array with dimensions that a record holds: 0, else the answer of a service that
// wants one (2 no usable record, 3 no array, 4 no dimensions).
int32_t DimensionedArray(const ExtArgRecord* record, uint32_t size, ArrayHeader** array)
{
    if (!RecordUsable(record, size))
        return 2;
    *array = RecordArray(record);
    if (!*array)
        return 3;
    if (!(*array)->ndims)
        return 4;
    return 0;
}

int32_t ArrayElementService(HGLOBAL instance, ExtArgRecord* record, uint32_t size, int32_t s1, int32_t s2,
                            int32_t s3, int32_t s4, int32_t s5, ExtArgRecord* value, int32_t op)
{
    ArrayHeader* array = nullptr;
    if (int32_t failed = DimensionedArray(record, size, &array))
        return failed;
    if (array->flags & ARRAY_MAP)
        return 5;
    if (op != DROP && !value)
        return 6;
    ServiceLock lock;
    if (int failed = lock.Take(instance, true))
        return failed == 1 ? 7 : 11;
    BDS* ctx = lock.ctx;
    const int32_t subscripts[MAX_ARRAY_DIMS] = {s1, s2, s3, s4, s5};
    bool beyond = false;
    if (!array->data)
        return 9;
    ArrayElement* element = ElementAt(array, subscripts, &beyond);
    if (beyond)
        return 8;
    switch (op) {
    case GET_ANSI:
    case GET_WIDE:
    case GET_STORED: {
        RecordOutcome outcome = ValueToRecord(ctx, element, op, value);
        return outcome == RO_OK ? 0 : outcome == RO_VARIANT ? 12 : 15;
    }
    case SET: {
        if (value->flags & VF_ARRAY)
            return 13;
        resultants v;
        ValueOutcome made = RecordToValue(ctx, value, &v);
        if (made != VO_OK)
            return made == VO_INSIDE_HEAP ? 17 : 15;
        ArrayElement fresh{};
        int copied = StoreRecordInElement(ctx, v, &fresh);
        uint16_t error = ctx->nErrorCode;
        ReleaseRecordValue(ctx, &v);
        if (!copied)
            return error == 3096 ? 15 : 14;
        FreeValue(ctx, element, 0, VK_ELEMENT);
        *element = fresh;
        return 0;
    }
    case DROP:
        FreeValue(ctx, element, 0, VK_ELEMENT);
        std::memset(element, 0, sizeof *element);
        return 0;
    default:
        return 16;
    }
}

int32_t ArrayFillError(uint16_t error)
{
    switch (error) {
    case 1671: return 12;
    case 1710: return 13;
    case 1637: return 14;
    case 3096: return 15;
    default: return 1;
    }
}

int32_t ArrayService(HGLOBAL instance, ExtArgRecord* record, uint32_t size, void* buffer, uint32_t bufferSize,
                     int32_t op)
{
    enum : int32_t { INFO = 1, CREATE = 2, FILL = 3, RELEASE = 4 };
    if (!RecordUsable(record, size))
        return 2;
    ArrayHeader* array = RecordArray(record);
    if (op != CREATE) {
        if (!(record->flags & VF_ARRAY))
            return 3;
        if (!array)
            return 4;
        if (op == FILL && (array->flags & ARRAY_MAP))
            return 5;
    }
    ServiceLock lock;
    if (int failed = lock.Take(instance, true))
        return failed == 1 ? 5 : 6;
    BDS* ctx = lock.ctx;
    switch (op) {
    case INFO: {
        if (!buffer || bufferSize < 32)
            return 7;
        auto* out = static_cast<uint8_t*>(buffer);
        std::memset(out, 0, 32);
        std::memcpy(out, array->dims, sizeof array->dims);
        out[20] = array->ndims;
        out[21] = array->flags;
        std::memcpy(out + 24, &array->count, 4);
        std::memcpy(out + 28, &array->bytes, 4);
        return 0;
    }
    case CREATE: {
        if (!buffer || bufferSize < 20)
            return 7;
        uint32_t dims[MAX_ARRAY_DIMS];
        std::memcpy(dims, buffer, sizeof dims);
        for (int d = 1; d < MAX_ARRAY_DIMS; ++d)   // also after a first size of 0
            if (dims[d] && !dims[d - 1])
                return 9;
        ValueHead made{};
        if (CreateMyArray(ctx, &made, dims[0], dims[1], dims[2], dims[3], dims[4], 0, MAX_ARRAY_DIMS) < 0) {
            switch (ctx->nErrorCode) {
            case 1628: return 8;
            case 1630: return 9;
            case 1644: return 10;
            case 1631: return 11;
            default: return 1;
            }
        }
        std::memset(record, 0, sizeof *record);
        record->flags = VF_ARRAY;
        record->text = reinterpret_cast<const char*>(made.str);
        return 0;
    }
    case FILL: {
        auto* given = static_cast<ExtArgRecord*>(buffer);
        if (!RecordUsable(given, bufferSize))
            return 7;
        resultants value;
        ValueOutcome made = RecordToValue(ctx, given, &value);
        if (made != VO_OK)
            return made == VO_NO_HEAP ? 15 : 1;
        int32_t result = 0;
        arrays::StoredKind kind = arrays::StoredKindOf(&value);
        if (kind == arrays::SK_INVALID || kind == arrays::SK_ARRAY)
            result = ArrayFillError(1671);
        else if (array->ndims == 0)
            result = ArrayFillError(1710);
        else if (!array->data)
            result = ArrayFillError(1637);
        for (uint32_t i = 0; result == 0 && i < array->count; ++i) {
            ArrayElement& element = array->data[i];
            if (element.flags)
                FreeValue(ctx, &element, 0, VK_ELEMENT);
            if (!arrays::StoreValueAs(ctx, &value, kind, &element))
                result = ArrayFillError(ctx->nErrorCode);
        }
        ReleaseRecordValue(ctx, &value);
        return result;
    }
    case RELEASE:
        ExtReleaseValue(ctx, record);
        return 0;
    default:
        return 16;
    }
}

// Gives every text element the other form as well (wide from ANSI or ANSI from wide).
int32_t ArrayTextForms(HGLOBAL instance, ExtArgRecord* record, uint32_t size, bool toWide)
{
    if (!RecordUsable(record, size))
        return 2;
    if (!(record->flags & VF_ARRAY))
        return 3;
    ArrayHeader* array = RecordArray(record);
    if (!array)
        return 4;
    if (array->flags & ARRAY_MAP)
        return 5;
    ServiceLock lock;
    if (int failed = lock.Take(instance, true))
        return failed == 1 ? 5 : 6;
    BDS* ctx = lock.ctx;
    if (!array->ndims || !array->data)
        return 0;
    for (uint32_t i = 0; i < array->count; ++i) {
        ArrayElement& e = array->data[i];
        if (e.flags & VF_ARRAY)
            continue;
        if (toWide && (e.flags & VF_STRING) && !(e.flags & VF_UNICODE) && !ValueToWide(ctx, &e))
            return 1;
        if (!toWide && (e.flags & VF_UNICODE) && !(e.flags & VF_STRING) && !ValueToString(ctx, &e))
            return 1;
    }
    return 0;
}

int32_t ArrayToAnsiService(HGLOBAL instance, ExtArgRecord* record, uint32_t size)
{
    return ArrayTextForms(instance, record, size, false);
}

int32_t ArrayToWideService(HGLOBAL instance, ExtArgRecord* record, uint32_t size)
{
    return ArrayTextForms(instance, record, size, true);
}

int32_t SwapService(HGLOBAL instance, ExtArgRecord* record, uint32_t size, int32_t a1, int32_t a2, int32_t a3,
                    int32_t a4, int32_t a5, int32_t b1, int32_t b2, int32_t b3, int32_t b4, int32_t b5)
{
    ArrayHeader* array = nullptr;
    if (int32_t failed = DimensionedArray(record, size, &array))
        return failed;
    if (!array->data || (array->flags & ARRAY_MAP))
        return 5;
    ServiceLock lock;
    if (lock.Take(instance, false))
        return 6;
    const int32_t first[MAX_ARRAY_DIMS] = {a1, a2, a3, a4, a5};
    const int32_t second[MAX_ARRAY_DIMS] = {b1, b2, b3, b4, b5};
    bool beyondA = false, beyondB = false;
    ArrayElement* a = ElementAt(array, first, &beyondA);
    ArrayElement* b = ElementAt(array, second, &beyondB);
    if (beyondA || beyondB)
        return 7;
    ArrayElement held = *a;
    *a = *b;
    *b = held;
    return 0;
}

// ---------------------------------------------------------------- 4: extended error

int32_t AppendErrorService(HGLOBAL instance, const char* text)
{
    ServiceLock lock;
    if (lock.Take(instance, false))
        return 2;
    if (text && text[0])
        AppendExtendedError(lock.ctx, text);
    return 0;
}

// ---------------------------------------------------------------- 5: binary buffers

int64_t BinaryService(HGLOBAL instance, int64_t handle, int64_t size, int32_t op)
{
    enum : int32_t { ALLOCATE = 1, FREE = 2, ADDRESS = 3, END = 4, CAPACITY = 5, SET_END = 6 };
    if (op != ALLOCATE && (handle < BINARY_HANDLE_BASE || handle >= BINARY_HANDLE_BASE + MAX_BINARY_BUFFERS))
        return -2;
    ServiceLock lock;
    if (int failed = lock.Take(instance, true))
        return failed == 1 ? -3 : -4;
    BDS* ctx = lock.ctx;
    if (op == ALLOCATE) {
        int32_t made = DoBinaryAlloc(ctx, size);
        if (made)
            return made;
        return ctx->nErrorCode == 3024 ? -5 : -6;
    }
    BinaryBufferSlot* slot = BinarySlotQuiet(ctx, handle);
    if (!slot)
        return -2;
    switch (op) {
    case FREE:
        if (StructUsesBuffer(ctx, handle))   // a DllStruct lies over it
            return -2;
        DoBinaryFree(ctx, handle);
        return 0;
    case ADDRESS:
        return static_cast<int64_t>(reinterpret_cast<uintptr_t>(slot->data));
    case END:
        return slot->eod;
    case CAPACITY:
        return slot->size;
    case SET_END: {
        if (size < 0 || size > slot->size)
            return -7;
        int64_t old = slot->eod;
        slot->eod = size;
        return old;
    }
    default:
        return -8;
    }
}

// ---------------------------------------------------------------- 10: maps

// The key text of a key record (wide keys converted into a heap copy kept in `made`).
int KeyText(BDS* ctx, const ExtArgRecord* key, const char** text, uint64_t* made)
{
    *made = 0;
    if (!key || IsBadReadPtr(key, RECORD_SIZE))
        return 18;
    if ((key->flags & VF_STRING) && key->text) {
        *text = key->text;
        return 0;
    }
    if ((key->flags & VF_UNICODE) && key->wtext) {
        *made = HeapCopyWideAsNarrow(ctx, key->wtext, wcslen(key->wtext));
        if (!*made)
            return 12;
        *text = HeapPtr(ctx, *made);
        return 0;
    }
    return 14;
}

int32_t MapService(HGLOBAL instance, ExtArgRecord* record, uint32_t size, ExtArgRecord* key,
                   ExtArgRecord* value, void* out, uint32_t outSize, int32_t op)
{
    enum : int32_t { COUNT = 1, GROWTH = 2, CREATE = 3, GET = 4, GET_ANSI_MAP = 5, GET_WIDE_MAP = 6,
                     PUT = 7, RELEASE = 8, HAS_ENTRIES = 9, NEXT = 10, NEXT_ANSI = 11, NEXT_WIDE = 12 };
    if (!record || size < RECORD_SIZE || IsBadReadPtr(record, RECORD_SIZE))
        return 10;
    ArrayHeader* map = RecordArray(record);
    if (op == CREATE) {
        if (record->flags)
            return 11;
    } else {
        if (!(record->flags & VF_ARRAY))
            return 3;
        if (!map)
            return 4;
        if (!(map->flags & ARRAY_MAP))
            return 3;
    }
    ServiceLock lock;
    if (lock.Take(instance, true))
        return 5;
    BDS* ctx = lock.ctx;
    auto needOut = [&](uint32_t bytes) { return out && outSize >= bytes; };
    switch (op) {
    case COUNT: {
        if (!needOut(8))
            return 7;
        uint64_t count = MapCount(map);
        std::memcpy(out, &count, 8);
        return 0;
    }
    case GROWTH: {
        if (!needOut(4))
            return 7;
        int32_t wanted;
        std::memcpy(&wanted, out, 4);
        if (wanted < static_cast<int32_t>(MAP_MIN_BUCKETS) || wanted > static_cast<int32_t>(MAP_MAX_BUCKETS))
            return 21;
        uint32_t old = SetMapInitialSize(ctx, wanted);
        std::memcpy(out, &old, 4);
        return 0;
    }
    case CREATE: {
        ValueHead made{};
        if (!MapAlloc(ctx, MapInitialSize(ctx), &made))
            return ctx->nErrorCode == 1631 ? 12 : 1;
        std::memset(record, 0, sizeof *record);
        record->flags = VF_ARRAY;
        record->text = reinterpret_cast<const char*>(made.str);
        return 0;
    }
    case GET:
    case GET_ANSI_MAP:
    case GET_WIDE_MAP: {
        if (!value)
            return 7;
        const char* text;
        uint64_t made;
        if (int bad = KeyText(ctx, key, &text, &made))
            return bad;
        ArrayElement* found = MapFind(ctx, map, text);
        if (made)
            VFree(ctx, made);
        if (!found)
            return -1;
        int32_t form = op == GET ? GET_STORED : op == GET_ANSI_MAP ? GET_ANSI : GET_WIDE;
        return ValueToRecord(ctx, found, form, value) == RO_OK ? 0 : 1;
    }
    case PUT: {
        if (!value)
            return 7;
        if (value->flags & VF_ARRAY)
            return 19;
        const char* text;
        uint64_t made;
        if (int bad = KeyText(ctx, key, &text, &made))
            return bad;
        resultants v;
        ValueOutcome outcome = RecordToValue(ctx, value, &v);
        int32_t result = outcome == VO_OK ? 0 : 20;
        ArrayElement fresh{};
        if (result == 0 && !StoreRecordInElement(ctx, v, &fresh))
            result = 20;
        ArrayElement* slot = result == 0 ? MapInsertCopyKey(ctx, map, text) : nullptr;
        if (result == 0 && !slot) {
            FreeValue(ctx, &fresh, 0, VK_ELEMENT);
            result = 20;
        }
        if (slot) {
            if (slot->flags)
                FreeValue(ctx, slot, 0, VK_ELEMENT);
            *slot = fresh;
        }
        ReleaseRecordValue(ctx, &v);
        if (made)
            VFree(ctx, made);
        return result;
    }
    case RELEASE:
        ExtReleaseValue(ctx, record);
        return 0;
    case HAS_ENTRIES: {
        if (!needOut(4))
            return 7;
        int32_t answer = MapCount(map) ? -1 : 0;
        std::memcpy(out, &answer, 4);
        return 0;
    }
    case NEXT:
    case NEXT_ANSI:
    case NEXT_WIDE: {
        if (!needOut(8) || !value || !key)
            return 7;
        uint64_t position;
        std::memcpy(&position, out, 8);
        if (position == 0)
            position = MapPositionStart(map);
        if (position == 0)
            return -1;
        const char* keyText = nullptr;
        ArrayElement* found = nullptr;
        uint64_t next = MapPositionStep(ctx, map, position, &keyText, &found);
        std::memcpy(out, &next, 8);
        if (!keyText || !found)
            return -1;
        std::memset(key, 0, sizeof *key);
        key->flags = VF_STRING;
        key->text = keyText;
        int32_t form = op == NEXT ? GET_STORED : op == NEXT_ANSI ? GET_ANSI : GET_WIDE;
        return ValueToRecord(ctx, found, form, value) == RO_OK ? 0 : 1;
    }
    default:
        return 16;
    }
}

}  // namespace

void FillServiceBlock(void* services[EXT_SERVICE_COUNT])
{
    services[0] = reinterpret_cast<void*>(&VariableService);
    services[1] = reinterpret_cast<void*>(&ArrayElementService);
    services[2] = reinterpret_cast<void*>(&ArrayService);
    services[3] = reinterpret_cast<void*>(&AppendErrorService);
    services[4] = reinterpret_cast<void*>(&BinaryService);
    services[5] = reinterpret_cast<void*>(&VariableServiceW);
    services[6] = reinterpret_cast<void*>(&ArrayToAnsiService);
    services[7] = reinterpret_cast<void*>(&ArrayToWideService);
    services[8] = reinterpret_cast<void*>(&SwapService);
    services[9] = reinterpret_cast<void*>(&MapService);
}

void ExtReleaseValue(BDS* ctx, ExtArgRecord* record)
{
    if (!record)
        return;
    if ((record->flags & VF_ARRAY) && record->text) {
        uint64_t holder = reinterpret_cast<uint64_t>(record->text);
        ReleaseArray(ctx, &holder, 0);
    }
    if (record->flags & VF_VARIANT)
        VariantClear(&record->var);
    record->flags = 0;
    record->text = nullptr;
    record->wtext = nullptr;
}

bool CopyArrayOut(BDS* ctx, ArrayHeader* array, ValueHead* out)
{
    if (!array) {
        SetError(ctx, 1637);
        return false;
    }
    out->flags = VF_ARRAY;
    if (array->flags & ARRAY_MAP) {
        AddArrayRef(array);
        out->str = reinterpret_cast<uint64_t>(array);
        return true;
    }
    ValueHead made{};
    if (CreateMyArray(ctx, &made, array->dims[0], array->dims[1], array->dims[2], array->dims[3],
                      array->dims[4], 0, array->ndims) < 0)
        return false;
    ArrayHeader* copy = ValueArray(&made);
    for (uint32_t i = 0; copy->ndims && array->data && i < array->count && i < copy->count; ++i) {
        if (!array->data[i].flags)
            continue;
        if (!CopyValue(ctx, &array->data[i], &copy->data[i], 0,
                       VK_ELEMENT | VM_TO_ELEMENT | VM_COPY_TEXT | VM_COPY_COM | VM_ADD_ARRAY_REF)) {
            uint64_t holder = made.str;
            ReleaseArray(ctx, &holder, 0);
            return false;
        }
    }
    out->str = made.str;
    return true;
}
