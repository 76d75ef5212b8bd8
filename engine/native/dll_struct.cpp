// DllStruct: native structures laid out from a text definition over a binary buffer, their
// members read and written by name, and passed to DllCall as "lpstruct".
//
// Invariants:
// - A record's buffer is marked as used by it (BinaryStructUse), so BinaryFree leaves it
//   alone; the record releases the mark and frees the buffer when it is freed.
// - Members lie inside the structure's size; the buffer's capacity is that size rounded
//   up to the largest member alignment, so native code that writes the platform's padded
//   size stays inside it.
// - The string blocks that DllStructPoke made for lpstr and lpwstr members are listed in
//   the record and freed with it; whatever address native code writes into a member is
//   never freed.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/core/builtin.h"
#include "engine/core/errors.h"
#include "engine/core/heap.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/core/numtext.h"
#include "engine/core/router.h"
#include "engine/data/array.h"
#include "engine/data/array_internal.h"
#include "engine/data/binary_buffer.h"
#include "engine/native/native_call.h"

namespace {

enum : uint16_t {
    ERR_TOO_LARGE = 1342,
    ERR_TOO_SMALL = 1346,
    ERR_MEMBER_NOT_FOUND = 1537,
    ERR_DIMENSIONS_NUMERIC = 1634,
    ERR_ARRAY_DATA = 1637,
    ERR_ARRAY_DIMENSIONS = 1805,
    ERR_UNREADABLE = 1843,
    ERR_BAD_DEFINITION = 1995,
    ERR_TOO_MANY_STRUCTS = 1997,
    ERR_NOT_STRING = 3056,
    ERR_NOT_NUMBER = 3057,
    ERR_NOT_ARRAY = 3650,
    ERR_NOT_WIDE = 3820,
    ERR_BAD_STRUCT = 3998,
    MSG_UNSUPPORTED_TYPE = 9514,
    MSG_MEMBER_PAIR = 9516,
};

enum MemberType : uint8_t {
    MT_BYTE = 0, MT_CHAR = 1, MT_WCHAR = 2, MT_INT16 = 3, MT_INT32 = 4, MT_INT64 = 5,
    MT_FLOAT = 6, MT_DOUBLE = 7, MT_LPSTR = 8, MT_LPWSTR = 9, MT_POINTER = 10, MT_HANDLE = 11,
};
constexpr uint8_t MEMBER_ARRAY = 0x40;
constexpr uint8_t MEMBER_OWN_STRING = 0x80;
constexpr uint8_t MEMBER_TYPE_MASK = 0x3F;

const uint8_t kElementSize[] = {1, 1, 2, 2, 4, 8, 4, 8, 8, 8, 8, 8};

struct TypeName {
    const char* word;
    uint8_t type;
};

const TypeName kTypeNames[] = {
    {"atom", MT_INT16}, {"bool", MT_INT32}, {"boolean", MT_INT32}, {"byte", MT_BYTE},
    {"char", MT_CHAR}, {"colorref", MT_INT32}, {"double", MT_DOUBLE}, {"dword", MT_INT32},
    {"dword_ptr", MT_INT64}, {"dwordlong", MT_INT64}, {"float", MT_FLOAT},
    {"handle", MT_HANDLE}, {"hbitmap", MT_HANDLE}, {"hbrush", MT_HANDLE},
    {"hcursor", MT_HANDLE}, {"hdesk", MT_HANDLE}, {"hfile", MT_HANDLE}, {"hfont", MT_HANDLE},
    {"hglobal", MT_HANDLE}, {"hicon", MT_HANDLE}, {"hinstance", MT_HANDLE}, {"hkey", MT_HANDLE},
    {"hmenu", MT_HANDLE}, {"hmodule", MT_HANDLE}, {"hmonitor", MT_HANDLE}, {"hpen", MT_HANDLE},
    {"hresult", MT_INT32}, {"hrgn", MT_HANDLE}, {"hwnd", MT_HANDLE}, {"int", MT_INT32},
    {"int64", MT_INT64}, {"int_ptr", MT_INT64}, {"long", MT_INT32}, {"long64", MT_INT64},
    {"long_ptr", MT_INT64}, {"lparam", MT_INT64}, {"lpcstr", MT_LPSTR}, {"lpcwstr", MT_LPWSTR},
    {"lpstr", MT_LPSTR}, {"lptr", MT_POINTER}, {"lpvoid", MT_POINTER}, {"lpwstr", MT_LPWSTR},
    {"short", MT_INT16}, {"uchar", MT_CHAR}, {"uint", MT_INT32}, {"ulong", MT_INT32},
    {"ulong64", MT_INT64}, {"unsigned char", MT_CHAR}, {"unsigned int", MT_INT32},
    {"unsigned long", MT_INT32}, {"unsigned short", MT_INT16}, {"ushort", MT_INT16},
    {"wchar", MT_WCHAR}, {"word", MT_INT16}, {"wndproc", MT_INT64}, {"wparam", MT_INT64},
};

constexpr size_t TYPE_WORD_MAX = 32;
constexpr size_t COUNT_DIGITS_MAX = 30;

}  // namespace

struct StructMember {
    uint8_t type;          // MemberType, MEMBER_ARRAY, MEMBER_OWN_STRING
    uint32_t offset;
    uint32_t size;         // bytes: element size times the count for an array
    uint32_t nameStart;    // into the record's name text
    uint32_t nameLength;
};

// A string block that DllStructPoke made for the pointer at `offset`.
struct OwnedString {
    uint32_t offset;
    void* block;           // GlobalAlloc'ed, fixed
};

struct DllStructRecord {
    int64_t buffer;        // binary buffer handle
    uint32_t size;
    uint32_t count;
    StructMember* members;
    wchar_t* names;
    OwnedString* owned;
    uint32_t ownedCount;
    uint32_t ownedCapacity;
};

namespace {

// ---------------------------------------------------------------- records

void* Alloc(size_t bytes) { return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes); }
void Free(void* p)
{
    if (p)
        HeapFree(GetProcessHeap(), 0, p);
}

DllStructRecord* NewRecord(uint32_t count, size_t nameChars)
{
    auto* r = static_cast<DllStructRecord*>(Alloc(sizeof(DllStructRecord)));
    if (!r)
        return nullptr;
    r->members = static_cast<StructMember*>(Alloc(sizeof(StructMember) * count));
    r->names = static_cast<wchar_t*>(Alloc(sizeof(wchar_t) * (nameChars + 1)));
    r->buffer = 0;
    if (!r->members || !r->names) {
        Free(r->members);
        Free(r->names);
        Free(r);
        return nullptr;
    }
    return r;
}

void FreeRecord(BDS* ctx, DllStructRecord* r)
{
    for (uint32_t i = 0; i < r->ownedCount; ++i)
        GlobalFree(r->owned[i].block);
    if (r->buffer) {
        BinaryStructRelease(ctx, r->buffer);
        uint16_t kept = ctx->nErrorCode;
        DoBinaryFree(ctx, r->buffer);
        SetError(ctx, kept);
    }
    Free(r->owned);
    Free(r->members);
    Free(r->names);
    Free(r);
}

DllStructRecord* RecordOf(BDS* ctx, int64_t handle)
{
    int64_t slot = handle - DLL_STRUCT_HANDLE_BASE;
    if (slot < 0 || slot >= DLL_STRUCT_MAX || !ctx->native.pStructs[slot]) {
        SetError(ctx, ERR_BAD_STRUCT);
        return nullptr;
    }
    return ctx->native.pStructs[slot];
}

// ---------------------------------------------------------------- the definition

bool IsSeparator(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L';'; }
bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// Appends "<message>" and, when given, two blanks and the detail to the extended error.
void NoteDefinitionError(BDS* ctx, int message, const wchar_t* detail, size_t detailLength)
{
    char text[512];
    LoadMyString(ctx, EngineModule(), message, text, sizeof text);
    if (detail) {
        char narrow[TYPE_WORD_MAX * 2 + 40] = {};
        int n = WideCharToMultiByte(CP_ACP, 0, detail, static_cast<int>(detailLength), narrow,
                                    sizeof narrow - 1, nullptr, nullptr);
        narrow[n > 0 ? n : 0] = 0;
        size_t used = strlen(text);
        snprintf(text + used, sizeof text - used, "  %s", narrow);
    }
    AppendExtendedError(ctx, text);
}

bool DefinitionError(BDS* ctx, int message, const wchar_t* detail = nullptr, size_t length = 0)
{
    SetError(ctx, ERR_BAD_DEFINITION);
    NoteDefinitionError(ctx, message, detail, length);
    return false;
}

// The type of a type word (blanks trimmed); a known word followed by "*" is a pointer.
bool LookUpType(const wchar_t* word, size_t length, uint8_t* type)
{
    while (length && IsBlank(word[length - 1]))
        --length;
    bool pointer = false;
    if (length && word[length - 1] == L'*') {
        pointer = true;
        --length;
        while (length && IsBlank(word[length - 1]))
            --length;
    }
    if (length == 0 || length > TYPE_WORD_MAX)
        return false;
    char lower[TYPE_WORD_MAX + 1];
    for (size_t i = 0; i < length; ++i) {
        wchar_t c = word[i];
        if (c > 0x7F)
            return false;
        lower[i] = static_cast<char>(c >= L'A' && c <= L'Z' ? c + 32 : c);
    }
    lower[length] = 0;
    for (const TypeName& t : kTypeNames) {
        if (t.word[0] == lower[0] && strcmp(t.word, lower) == 0) {
            *type = pointer ? static_cast<uint8_t>(MT_POINTER) : t.type;
            return true;
        }
    }
    return false;
}

// Lays out the members of `text` into the record; its size goes to r->size.
bool ParseDefinition(BDS* ctx, const wchar_t* text, DllStructRecord* r)
{
    const wchar_t* p = text;
    uint32_t offset = 0;
    uint32_t nameUsed = 0;
    for (uint32_t m = 0; m < r->count; ++m) {
        while (IsSeparator(*p))
            ++p;
        const wchar_t* word = p;
        while (*p && *p != L':')
            ++p;
        uint8_t type;
        if (!LookUpType(word, p - word, &type))
            return DefinitionError(ctx, MSG_UNSUPPORTED_TYPE, word, p - word);
        ++p;   // the ':'
        uint32_t element = kElementSize[type];
        offset = (offset + element - 1) / element * element;
        const wchar_t* name = p;
        while (*p && *p != L' ' && *p != L'\t' && *p != L'[' && *p != L';' && *p != L'\n')
            ++p;
        if (p == name)
            return DefinitionError(ctx, MSG_MEMBER_PAIR);
        StructMember& member = r->members[m];
        member.type = type;
        member.offset = offset;
        member.size = element;
        member.nameStart = nameUsed;
        member.nameLength = static_cast<uint32_t>(p - name);
        std::memcpy(r->names + nameUsed, name, sizeof(wchar_t) * member.nameLength);
        nameUsed += member.nameLength;
        if (*p == L'[') {
            const wchar_t* digits = ++p;
            while (*p && *p != L']')
                ++p;
            size_t length = p - digits;
            if (*p != L']' || length == 0 || length > COUNT_DIGITS_MAX) {
                SetError(ctx, ERR_DIMENSIONS_NUMERIC);
                return false;
            }
            uint64_t count = 0;
            for (const wchar_t* d = digits; d < p; ++d) {
                if (*d < L'0' || *d > L'9') {
                    SetError(ctx, ERR_DIMENSIONS_NUMERIC);
                    return false;
                }
                count = count * 10 + (*d - L'0');
                if (count > 0x7FFFFFFF)
                    count = 0x7FFFFFFF;
            }
            ++p;   // the ']'
            uint64_t size = count * element;
            if (size == 0 || offset + size > 0x7FFFFFFF)
                return DefinitionError(ctx, MSG_UNSUPPORTED_TYPE, digits - 1, length + 2);
            member.type |= MEMBER_ARRAY;
            member.size = static_cast<uint32_t>(size);
        }
        offset += member.size;
    }
    while (IsSeparator(*p))
        ++p;
    if (*p)
        return DefinitionError(ctx, MSG_MEMBER_PAIR);
    r->size = offset;
    return true;
}

uint32_t LargestAlignment(const DllStructRecord* r)
{
    uint32_t largest = 1;
    for (uint32_t i = 0; i < r->count; ++i) {
        uint32_t element = kElementSize[r->members[i].type & MEMBER_TYPE_MASK];
        if (element > largest)
            largest = element;
    }
    return largest;
}

uint64_t CopyBytes(void* target, const void* source, uint64_t bytes)
{
    std::memcpy(target, source, bytes);
    return bytes;
}

// The record's buffer: zeroed, or the bytes at `source` when one is given.
bool AllocateBuffer(BDS* ctx, DllStructRecord* r, bool fromSource, int64_t source)
{
    uint32_t align = LargestAlignment(r);
    int64_t capacity = (static_cast<int64_t>(r->size) + align - 1) / align * align;
    int32_t handle = DoBinaryAlloc(ctx, capacity);
    if (!handle) {
        SetError(ctx, ERR_TOO_MANY_STRUCTS);
        return false;
    }
    r->buffer = handle;
    BinaryStructUse(ctx, handle);
    if (fromSource) {
        BinaryBufferSlot* slot = BinarySlotQuiet(ctx, handle);
        uint64_t copied = 0;
        if (!source || !GuardedCall(reinterpret_cast<void*>(&CopyBytes), reinterpret_cast<uint64_t>(slot->data),
                                    static_cast<uint64_t>(source), r->size, &copied)) {
            SetError(ctx, ERR_UNREADABLE);
            return false;
        }
        slot->eod = r->size;
    }
    return true;
}

int CountColons(const wchar_t* text)
{
    int n = 0;
    for (; *text; ++text)
        n += *text == L':';
    return n;
}

void CaseDllStructAlloc(BDS* ctx, BuiltinCall& call)
{
    const wchar_t* text = ArgWText(ctx, call, 1);
    while (*text == L' ' || *text == L'\t' || *text == L'\n' || *text == L'\r')
        ++text;
    int count = CountColons(text);
    if (!*text || count == 0) {
        SetError(ctx, ERR_BAD_DEFINITION);
        return;
    }
    bool fromSource = HasArg(call, 2);
    int64_t source = 0;
    if (fromSource && !ValueToInt64(ctx, &call.args[2], &source, true)) {
        SetError(ctx, ERR_NOT_NUMBER);
        NoteUnconvertedArgument(ctx, 2);
        return;
    }
    if (fromSource && !(call.args[2].flags & VF_INT64) && (call.args[2].flags & VF_INT))
        source = call.args[2].i32;

    DllStructRecord* r = NewRecord(static_cast<uint32_t>(count), wcslen(text));
    if (!r) {
        SetError(ctx, ERR_NATIVE_LOCK);
        return;
    }
    r->count = static_cast<uint32_t>(count);
    if (!ParseDefinition(ctx, text, r) || !AllocateBuffer(ctx, r, fromSource, source)) {
        FreeRecord(ctx, r);
        return;
    }
    NativeState& n = ctx->native;
    for (int slot = 0; slot < DLL_STRUCT_MAX; ++slot) {
        if (!n.pStructs[slot]) {
            n.pStructs[slot] = r;
            if (static_cast<uint32_t>(slot) >= n.nStructHigh)
                n.nStructHigh = slot + 1;
            SetResultInt(ctx, call.result, static_cast<int32_t>(DLL_STRUCT_HANDLE_BASE + slot));
            return;
        }
    }
    FreeRecord(ctx, r);
    SetError(ctx, ERR_TOO_MANY_STRUCTS);
}

// ---------------------------------------------------------------- members

const StructMember* FindMember(BDS* ctx, const DllStructRecord* r, const wchar_t* name)
{
    size_t length = wcslen(name);
    for (uint32_t i = 0; i < r->count; ++i) {
        const StructMember& m = r->members[i];
        if (m.nameLength == length &&
            CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, r->names + m.nameStart,
                           static_cast<int>(length), name, static_cast<int>(length)) == CSTR_EQUAL)
            return &m;
    }
    SetError(ctx, ERR_MEMBER_NOT_FOUND);
    return nullptr;
}

BinaryBufferSlot* BufferOf(BDS* ctx, const DllStructRecord* r) { return BinarySlotOf(ctx, r->buffer); }

template <typename T>
T Load(const uint8_t* at)
{
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

// One element of a member (at `at`) as a script value.
bool PeekElement(BDS* ctx, uint8_t type, const uint8_t* at, resultants* out)
{
    switch (type) {
    case MT_BYTE:
        SetResultInt(ctx, out, at[0]);
        return true;
    case MT_INT16:
        SetResultInt(ctx, out, Load<uint16_t>(at));
        return true;
    case MT_INT32:
        SetResultInt(ctx, out, Load<int32_t>(at));
        return true;
    case MT_CHAR: {
        char text[2] = {static_cast<char>(at[0]), 0};
        return SetResultText(ctx, out, text) != 0;
    }
    case MT_WCHAR: {
        wchar_t text[2] = {Load<wchar_t>(at), 0};
        return SetResultWText(ctx, out, text) != 0;
    }
    case MT_FLOAT:
        SetResultFloat(ctx, out, Load<float>(at));
        return true;
    case MT_DOUBLE:
        SetResultFloat(ctx, out, Load<double>(at));
        return true;
    case MT_LPSTR:
    case MT_LPWSTR: {
        uint32_t fault = 0;
        if (CopyNativeText(ctx, Load<const void*>(at), type == MT_LPWSTR, out, &fault))
            return true;
        if (fault)
            SetError(ctx, ERR_UNREADABLE);
        return false;
    }
    default: {   // 64-bit, pointer, handle
        int64_t v = Load<int64_t>(at);
        if (v >= INT32_MIN && v <= INT32_MAX) {
            SetResultInt(ctx, out, static_cast<int32_t>(v));
            return true;
        }
        wchar_t text[INT_TEXT_SIZE];
        char narrow[INT_TEXT_SIZE];
        Int64ToTextA(v, narrow, 10);
        for (int i = 0; i < INT_TEXT_SIZE; ++i)
            if (!(text[i] = static_cast<unsigned char>(narrow[i])))
                break;
        return SetResultWText(ctx, out, text) != 0;
    }
    }
}

// A char or wchar array member as text: its bytes up to the first NUL.
bool PeekText(BDS* ctx, const StructMember& m, const uint8_t* at, resultants* out)
{
    if ((m.type & MEMBER_TYPE_MASK) == MT_CHAR) {
        const char* text = reinterpret_cast<const char*>(at);
        return SetResultText(ctx, out, text, strnlen(text, m.size)) != 0;
    }
    size_t chars = m.size / 2;
    wchar_t* copy = static_cast<wchar_t*>(Alloc(sizeof(wchar_t) * (chars + 1)));
    if (!copy) {
        SetError(ctx, ERR_NATIVE_LOCK);
        return false;
    }
    std::memcpy(copy, at, chars * 2);
    bool ok = SetResultWText(ctx, out, copy, wcsnlen(copy, chars)) != 0;
    Free(copy);
    return ok;
}

bool PeekArray(BDS* ctx, const StructMember& m, const uint8_t* at, resultants* out)
{
    uint8_t type = m.type & MEMBER_TYPE_MASK;
    uint32_t element = kElementSize[type];
    uint32_t count = m.size / element;
    ValueHead made{};
    if (CreateMyArray(ctx, &made, count, 0, 0, 0, 0, 0, 1) < 0)
        return false;
    ArrayHeader* array = ValueArray(&made);
    for (uint32_t i = 0; i < count; ++i) {
        resultants one;
        InitResultValue(ctx, &one, VK_RECORD, 0);
        if (!PeekElement(ctx, type, at + i * element, &one)) {
            FreeValue(ctx, &one, 0, VK_RECORD);
            uint64_t holder = made.str;
            ReleaseArray(ctx, &holder, 0);
            return false;
        }
        std::memcpy(&array->data[i], static_cast<ValueHead*>(&one), sizeof(ValueHead));
    }
    arrays::SetResultArray(ctx, out, made);
    return true;
}

// The structure, member and buffer that a peek or poke (handle, member name, ...) names.
struct MemberAccess {
    DllStructRecord* r;
    const StructMember* m;
    BinaryBufferSlot* slot;
};

bool FindMemberAccess(BDS* ctx, BuiltinCall& call, MemberAccess* access)
{
    access->r = RecordOf(ctx, ArgInt(call, 1));
    access->m = access->r ? FindMember(ctx, access->r, ArgWText(ctx, call, 2)) : nullptr;
    access->slot = access->m ? BufferOf(ctx, access->r) : nullptr;
    return access->slot != nullptr;
}

void CaseDllStructPeek(BDS* ctx, BuiltinCall& call)
{
    uint16_t before = ctx->nErrorCode;
    MemberAccess access;
    if (!FindMemberAccess(ctx, call, &access))
        return;
    const StructMember* m = access.m;
    BinaryBufferSlot* slot = access.slot;
    const uint8_t* at = slot->data + m->offset;
    BinaryRaiseEod(slot, m->offset + m->size);
    uint8_t type = m->type & MEMBER_TYPE_MASK;
    bool ok;
    if ((m->type & MEMBER_ARRAY) && (type == MT_CHAR || type == MT_WCHAR))
        ok = PeekText(ctx, *m, at, call.result);
    else if (m->type & MEMBER_ARRAY)
        ok = PeekArray(ctx, *m, at, call.result);
    else
        ok = PeekElement(ctx, type, at, call.result);
    if (ok && before)
        SetError(ctx, before);
}

// ---------------------------------------------------------------- poke

// A value as an integer: an integer, else through its float form.
bool PokeInteger(BDS* ctx, ValueHead* v, int64_t* out, bool wide)
{
    if (wide) {
        if (ValueToInt64(ctx, v, out, true)) {
            if (!(v->flags & VF_INT64) && (v->flags & VF_INT))
                *out = v->i32;
            return true;
        }
    } else if (ValueToInteger(ctx, v, false, false)) {
        *out = v->i32;
        return true;
    }
    SetError(ctx, 0);
    if (!(v->flags & VF_ARRAY) && ValueToFloat(ctx, v) && ValueToInteger(ctx, v, true, true)) {
        *out = (v->flags & VF_INT) ? v->i32 : v->i64;
        return true;
    }
    SetError(ctx, ERR_NOT_NUMBER);
    return false;
}

bool PokeFloat(BDS* ctx, ValueHead* v, double* out)
{
    if ((v->flags & VF_FLOAT) || (!(v->flags & VF_ARRAY) && ValueToFloat(ctx, v))) {
        *out = v->dbl;
        return true;
    }
    SetError(ctx, ERR_NOT_NUMBER);
    return false;
}

// Replaces the record's own string block for the pointer at `offset`.
bool StoreOwnedString(BDS* ctx, DllStructRecord* r, uint32_t offset, uint8_t* at, const void* text, size_t bytes)
{
    void* block = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, bytes + sizeof(wchar_t));
    if (!block) {
        SetError(ctx, ERR_NATIVE_LOCK);
        return false;
    }
    std::memcpy(block, text, bytes);
    OwnedString* entry = nullptr;
    for (uint32_t i = 0; i < r->ownedCount; ++i)
        if (r->owned[i].offset == offset)
            entry = &r->owned[i];
    if (!entry) {
        if (r->ownedCount == r->ownedCapacity) {
            uint32_t capacity = r->ownedCapacity ? r->ownedCapacity * 2 : 4;
            auto* grown = static_cast<OwnedString*>(Alloc(sizeof(OwnedString) * capacity));
            if (!grown) {
                GlobalFree(block);
                SetError(ctx, ERR_NATIVE_LOCK);
                return false;
            }
            if (r->owned)
                std::memcpy(grown, r->owned, sizeof(OwnedString) * r->ownedCount);
            Free(r->owned);
            r->owned = grown;
            r->ownedCapacity = capacity;
        }
        entry = &r->owned[r->ownedCount++];
        entry->offset = offset;
        entry->block = nullptr;
    }
    uint64_t address = reinterpret_cast<uint64_t>(block);
    std::memcpy(at, &address, 8);
    if (entry->block)
        GlobalFree(entry->block);
    entry->block = block;
    return true;
}

// Writes one element (at `offset` in the buffer) from a value.
bool PokeElement(BDS* ctx, DllStructRecord* r, uint8_t type, uint32_t offset, uint8_t* at, ValueHead* v)
{
    switch (type) {
    case MT_BYTE:
    case MT_INT16:
    case MT_INT32: {
        int64_t n;
        if (!PokeInteger(ctx, v, &n, false))
            return false;
        uint32_t bits = static_cast<uint32_t>(n);
        std::memcpy(at, &bits, kElementSize[type]);   // the low bytes, little-endian
        return true;
    }
    case MT_INT64:
    case MT_POINTER:
    case MT_HANDLE: {
        int64_t n;
        if (!PokeInteger(ctx, v, &n, true))
            return false;
        std::memcpy(at, &n, 8);
        return true;
    }
    case MT_CHAR:
        if (!ValueToString(ctx, v)) {
            SetError(ctx, ERR_NOT_STRING);
            return false;
        }
        at[0] = static_cast<uint8_t>(ValueText(ctx, v)[0]);
        return true;
    case MT_WCHAR:
        if (!ValueToWide(ctx, v)) {
            SetError(ctx, ERR_NOT_WIDE);
            return false;
        }
        std::memcpy(at, ValueWText(ctx, v), 2);
        return true;
    case MT_FLOAT: {
        double d;
        if (!PokeFloat(ctx, v, &d))
            return false;
        double magnitude = std::fabs(d);
        if (magnitude > 3.4028234663852886e38) {
            SetError(ctx, ERR_TOO_LARGE);
            return false;
        }
        if (d != 0.0 && magnitude < 1.1754943508222875e-38) {
            SetError(ctx, ERR_TOO_SMALL);
            return false;
        }
        float f = static_cast<float>(d);
        std::memcpy(at, &f, 4);
        return true;
    }
    case MT_DOUBLE: {
        double d;
        if (!PokeFloat(ctx, v, &d))
            return false;
        std::memcpy(at, &d, 8);
        return true;
    }
    case MT_LPSTR:
        if (!ValueToString(ctx, v)) {
            SetError(ctx, ERR_NOT_STRING);
            return false;
        }
        return StoreOwnedString(ctx, r, offset, at, ValueText(ctx, v), strlen(ValueText(ctx, v)));
    case MT_LPWSTR:
        if (!ValueToWide(ctx, v)) {
            SetError(ctx, ERR_NOT_WIDE);
            return false;
        }
        return StoreOwnedString(ctx, r, offset, at, ValueWText(ctx, v), wcslen(ValueWText(ctx, v)) * 2);
    default:
        return false;
    }
}

// A char or wchar array member from a text: its characters, the rest of the member zeroed.
bool PokeText(BDS* ctx, const StructMember& m, uint8_t* at, ValueHead* v)
{
    const void* text;
    size_t bytes;
    if ((m.type & MEMBER_TYPE_MASK) == MT_CHAR) {
        if (!ValueToString(ctx, v)) {
            SetError(ctx, ERR_NOT_STRING);
            return false;
        }
        text = ValueText(ctx, v);
        bytes = strlen(ValueText(ctx, v));
    } else {
        if (!ValueToWide(ctx, v)) {
            SetError(ctx, ERR_NOT_WIDE);
            return false;
        }
        text = ValueWText(ctx, v);
        bytes = wcslen(ValueWText(ctx, v)) * 2;
    }
    if (bytes > m.size)
        bytes = m.size;
    std::memcpy(at, text, bytes);
    std::memset(at + bytes, 0, m.size - bytes);
    return true;
}

bool PokeArray(BDS* ctx, DllStructRecord* r, const StructMember& m, uint8_t* at, ValueHead* v)
{
    ArrayHeader* array = NativeArrayArgument(ctx, *v);
    if (!array)
        return false;
    if (array->ndims > 1) {
        SetError(ctx, ERR_ARRAY_DIMENSIONS);
        return false;
    }
    uint8_t type = m.type & MEMBER_TYPE_MASK;
    uint32_t element = kElementSize[type];
    uint32_t count = m.size / element;
    uint32_t given = array->ndims ? array->dims[0] : 0;
    if (given < count)
        count = given;
    for (uint32_t i = 0; i < count; ++i) {
        // Conversions add forms to a copy, never to the script's element.
        resultants one;
        InitResultValue(ctx, &one, VK_RECORD, 0);
        CopyValue(ctx, &array->data[i], &one, 0, VK_ELEMENT | VM_TO_RECORD | VM_COPY_TEXT);
        bool ok = !ctx->nErrorCode &&
                  PokeElement(ctx, r, type, m.offset + i * element, at + i * element, &one);
        FreeValue(ctx, &one, 0, VK_RECORD | VM_KEEP_ARRAY);
        if (!ok)
            return false;
    }
    return true;
}

void CaseDllStructPoke(BDS* ctx, BuiltinCall& call)
{
    uint16_t before = ctx->nErrorCode;
    MemberAccess access;
    if (!FindMemberAccess(ctx, call, &access))
        return;
    DllStructRecord* r = access.r;
    const StructMember* m = access.m;
    BinaryBufferSlot* slot = access.slot;
    uint8_t* at = slot->data + m->offset;
    uint8_t type = m->type & MEMBER_TYPE_MASK;
    ValueHead* v = HasArg(call, 3) ? &call.args[3] : nullptr;
    if (!v) {
        SetError(ctx, ERR_NOT_NUMBER);
        return;
    }
    bool ok;
    bool text = type == MT_CHAR || type == MT_WCHAR;
    if ((m->type & MEMBER_ARRAY) && text && !(v->flags & VF_ARRAY))
        ok = PokeText(ctx, *m, at, v);
    else if (m->type & MEMBER_ARRAY)
        ok = PokeArray(ctx, r, *m, at, v);
    else
        ok = PokeElement(ctx, r, type, m->offset, at, v);
    if (!ok)
        return;
    BinaryRaiseEod(slot, m->offset + m->size);
    SetResultInt(ctx, call.result, 1);
    if (before)
        SetError(ctx, before);
}

// ---------------------------------------------------------------- free

void CaseDllStructFree(BDS* ctx, BuiltinCall& call)
{
    int64_t handle = ArgInt(call, 1);
    DllStructRecord* r = RecordOf(ctx, handle);
    if (!r)
        return;
    ctx->native.pStructs[handle - DLL_STRUCT_HANDLE_BASE] = nullptr;
    FreeRecord(ctx, r);
    SetResultInt(ctx, call.result, 1);
}

const BuiltinRow kRows[] = {
    {430, CaseDllStructAlloc},
    {431, CaseDllStructFree},
    {432, CaseDllStructPeek},
    {433, CaseDllStructPoke},
};

}  // namespace

extern const BuiltinFamily g_DllStructBuiltins = {"dllstruct", kRows,
                                                  static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};

ArrayHeader* NativeArrayArgument(BDS* ctx, const ValueHead& value)
{
    ArrayHeader* array = ValueArray(&value);
    if (!array) {
        SetError(ctx, ERR_NOT_ARRAY);
        return nullptr;
    }
    if ((array->flags & ARRAY_MAP) || (array->ndims && !array->data)) {
        SetError(ctx, ERR_ARRAY_DATA);
        return nullptr;
    }
    return array;
}

uint8_t* DllStructFromHandle(BDS* ctx, int64_t handle)
{
    DllStructRecord* r = RecordOf(ctx, handle);
    BinaryBufferSlot* slot = r ? BinarySlotQuiet(ctx, r->buffer) : nullptr;
    if (r && !slot)
        SetError(ctx, ERR_BAD_STRUCT);
    return slot ? slot->data : nullptr;
}

uint32_t DllStructSizeFromHandle(BDS* ctx, int64_t handle)
{
    DllStructRecord* r = RecordOf(ctx, handle);
    return r ? r->size : 0;
}

int DllStructFreeAllCount(BDS* ctx)
{
    NativeState& n = ctx->native;
    int freed = 0;
    for (uint32_t slot = 0; slot < n.nStructHigh && slot < DLL_STRUCT_MAX; ++slot) {
        if (DllStructRecord* r = n.pStructs[slot]) {
            n.pStructs[slot] = nullptr;
            FreeRecord(ctx, r);
            ++freed;
        }
    }
    n.nStructHigh = 0;
    return freed;
}

void DllStructFreeAll(BDS* ctx) { DllStructFreeAllCount(ctx); }
