// A binary buffer as a table of fixed-size records filling it from offset 0: BinarySort
// orders the records by a key field, BinaryHashRec keeps them as an open-addressing hash
// table keyed by a text field. Both work over the whole capacity (size / record size
// records), not only up to EOD; the bytes after the last whole record belong to no record.
#include <cstring>
#include <initializer_list>

#include "engine/core/locked_global.h"
#include "engine/core/text_length.h"
#include "engine/data/binary_internal.h"
#include "engine/data/sort_keys.h"

using namespace binary;

namespace {

enum : uint16_t {
    ERR_RECORD_SIZE = 1474,        // "BinaryHash/Sort: Invalid record size"
    ERR_KEY_OFFSET = 1475,         // "BinaryHash/Sort: Invalid key offset"
    ERR_KEY_SIZE = 1476,           // "BinaryHash/Sort: Invalid key size"
    ERR_KEY_BEYOND_RECORD = 1477,  // "BinaryHash/Sort: Specified key extends beyond end of specified record"
    ERR_RECORD_BEYOND = 1478,      // "BinaryHash/Sort: Specified record size is larger than binary buffer"
    ERR_RECORD_MEMORY = 1479,      // "BinaryHash/Sort: Unable to allocate (or lock) memory"
    ERR_NO_KEY = 1480,             // "BinaryHash: Key value must be specified"
    ERR_KEY_TOO_LONG = 1481,       // "BinaryHash: Specified key value is larger than specified key size"
    ERR_TABLE_FULL = 1482,         // "BinaryHash: No available space in binary buffer"
};

struct RecordLayout {
    int64_t recordSize;
    int64_t keyOffset;
    int64_t keySize;
    int64_t count;             // whole records in the buffer
};

// The checks both built-ins make, in their order; false with the error.
bool CheckLayout(BDS* ctx, const BinaryBufferSlot* slot, RecordLayout* layout)
{
    uint16_t error = layout->recordSize < 1                                 ? ERR_RECORD_SIZE
                     : layout->keyOffset < 0                                ? ERR_KEY_OFFSET
                     : layout->keySize < 1                                  ? ERR_KEY_SIZE
                     : layout->keyOffset > layout->recordSize - layout->keySize ? ERR_KEY_BEYOND_RECORD
                     : layout->recordSize > slot->size                      ? ERR_RECORD_BEYOND
                                                                            : 0;
    if (error) {
        SetError(ctx, error);
        return false;
    }
    layout->count = slot->size / layout->recordSize;
    return true;
}

// ---------------------------------------------------------------- sorting

enum KeyType { KEY_TEXT = 0, KEY_BYTE = 1, KEY_WORD = 2, KEY_DWORD = 4, KEY_DOUBLE = 8 };

// A key entry: the record's index (8 bytes), then its key: a number in 8 bytes, or the
// key bytes with at least one zero after them, padded to a multiple of 8.
using KeyEntry = uint8_t;

uint64_t EntryWord(const KeyEntry* entry, int at)
{
    uint64_t value;
    std::memcpy(&value, entry + at, 8);
    return value;
}

double EntryReal(const KeyEntry* entry)
{
    double value;
    std::memcpy(&value, entry + 8, 8);
    return value;
}

const char* EntryText(const KeyEntry* entry) { return reinterpret_cast<const char*>(entry + 8); }

int Sign(int value) { return value < 0 ? -1 : value > 0 ? 1 : 0; }

// Text keys in the order of lstrcmpiA, ties broken by lstrcmpA: through the sort keys of
// both comparisons made once per record, when they could be made.
struct TextKeys {
    TieKeys keys;
    bool ready;
};

int CompareKeys(const KeyEntry* a, const KeyEntry* b, KeyType type, const TextKeys* texts)
{
    switch (type) {
    case KEY_TEXT: {
        if (texts->ready) {
            return TieKeysCompare(&texts->keys, size_t(EntryWord(a, 0)), size_t(EntryWord(b, 0)));
        }
        int order = lstrcmpiA(EntryText(a), EntryText(b));
        return Sign(order ? order : lstrcmpA(EntryText(a), EntryText(b)));
    }
    case KEY_DOUBLE: {   // a key that is no number is neither less nor greater
        double x = EntryReal(a), y = EntryReal(b);
        return x < y ? -1 : x > y ? 1 : 0;
    }
    default: {
        uint64_t x = EntryWord(a, 8), y = EntryWord(b, 8);
        return x < y ? -1 : x > y ? 1 : 0;
    }
    }
}

struct KeyOrder {
    KeyType type;
    bool ascending;
    const TextKeys* texts;
    int operator()(const KeyEntry* a, const KeyEntry* b) const
    {
        return ascending ? CompareKeys(a, b, type, texts) : CompareKeys(b, a, type, texts);
    }
};

// The sort keys of every record's text key, entry i being record i's.
void MakeTextKeys(const KeyEntry* entries, int64_t n, int64_t stride, TextKeys* texts)
{
    texts->ready = TieKeysReserve(&texts->keys, size_t(n), true);
    for (int64_t i = 0; texts->ready && i < n; ++i) {
        const char* text = EntryText(entries + i * stride);
        size_t length = TextLength(text);
        texts->ready = TieKeysAdd(&texts->keys, [&](SortKeys* set, bool noCase) {
            return SortKeysAddNarrow(set, text, length, noCase);
        });
    }
}

// An in-place quicksort of the entry pointers that keeps its pending ranges on a stack of
// its own: the larger part waits, the smaller goes on, so the stack stays below 64 ranges.
// Ranges of 7 entries or fewer are finished by insertion. Not stable.
void BinarySortRecords(const KeyEntry** a, int64_t count, KeyOrder order)
{
    struct Range {
        int64_t lo, end;
    } stack[128];
    int depth = 0;
    stack[depth++] = {0, count};
    auto swap = [a](int64_t i, int64_t j) {
        const KeyEntry* t = a[i];
        a[i] = a[j];
        a[j] = t;
    };
    while (depth > 0) {
        Range r = stack[--depth];
        while (r.end - r.lo > 7) {
            int64_t lo = r.lo, last = r.end - 1;
            swap(lo + (r.end - r.lo) / 2, lo);
            // The median of three goes first; the second entry and the last then bound the
            // cursors' walks.
            if (order(a[lo + 1], a[last]) > 0) swap(lo + 1, last);
            if (order(a[lo], a[last]) > 0) swap(lo, last);
            if (order(a[lo + 1], a[lo]) > 0) swap(lo + 1, lo);
            const KeyEntry* pivot = a[lo];
            int64_t i = lo + 1, j = last;
            for (;;) {
                do ++i; while (i < last && order(a[i], pivot) < 0);
                do --j; while (j > lo && order(a[j], pivot) > 0);
                if (i > j)
                    break;
                swap(i, j);
            }
            swap(lo, j);
            Range below{r.lo, j}, above{i, r.end};
            bool belowLarger = below.end - below.lo > above.end - above.lo;
            stack[depth++] = belowLarger ? below : above;
            r = belowLarger ? above : below;
        }
        for (int64_t k = r.lo + 1; k < r.end; ++k)
            for (int64_t m = k; m > r.lo && order(a[m - 1], a[m]) > 0; --m)
                swap(m - 1, m);
    }
}

KeyType KeyTypeOfFlags(int32_t flags)
{
    for (int bit : {1, 2, 4, 8})
        if (flags & bit)
            return KeyType(bit);
    return KEY_TEXT;
}

// The entry of record `index` whose key field is at `key`; the entry block is zero-filled.
void FillKey(KeyEntry* entry, uint64_t index, const uint8_t* key, int64_t keySize, KeyType type)
{
    std::memcpy(entry, &index, 8);
    std::memcpy(entry + 8, key, size_t(type == KEY_TEXT ? keySize : int64_t(type)));   // little-endian numbers
}

// Flags: 1 byte, 2 word, 4 double word, 8 double (the lowest of them decides and the key
// size follows from it); none of them: text of key-size bytes. 16: descending.
void CaseSort(BDS* ctx, BuiltinCall& call)
{
    BinaryBufferSlot* slot = ArgSlot(ctx, call, 1);
    if (!slot)
        return;
    int32_t flags = ArgInt(call, 5);
    KeyType type = KeyTypeOfFlags(flags);
    RecordLayout layout{ArgInt64(call, 2), ArgInt64(call, 3), type == KEY_TEXT ? ArgInt(call, 4) : int64_t(type), 0};
    if (!CheckLayout(ctx, slot, &layout))
        return;
    // A text key needs room for its bytes and a zero after them.
    int64_t keyRoom = type == KEY_TEXT ? (layout.keySize + 1 + 7) / 8 * 8 : 8;
    int64_t stride = int64_t(sizeof(uint64_t)) + keyRoom;
    int64_t n = layout.count;
    bool fits = n <= INT64_MAX / stride && uint64_t(n * stride) <= SIZE_MAX;
    LockedGlobal copy(SIZE_T(slot->size), GMEM_MOVEABLE);
    LockedGlobal entries(fits ? SIZE_T(n * stride) : 0);
    LockedGlobal pointers(SIZE_T(n) * sizeof(KeyEntry*), GMEM_MOVEABLE);
    if (!fits || !copy.data || !entries.data || !pointers.data) {
        SetError(ctx, ERR_RECORD_MEMORY);
        return;
    }
    auto** order = pointers.As<const KeyEntry*>();
    for (int64_t i = 0; i < n; ++i) {
        KeyEntry* entry = entries.As<KeyEntry>() + i * stride;
        FillKey(entry, uint64_t(i), slot->data + i * layout.recordSize + layout.keyOffset, layout.keySize, type);
        order[i] = entry;
    }
    TextKeys texts{};
    if (type == KEY_TEXT)
        MakeTextKeys(entries.As<KeyEntry>(), n, stride, &texts);
    BinarySortRecords(order, n, KeyOrder{type, !(flags & 16), &texts});
    TieKeysFree(&texts.keys);
    auto* out = copy.As<uint8_t>();
    int64_t r = layout.recordSize;
    for (int64_t i = 0; i < n; ++i)
        std::memcpy(out + i * r, slot->data + int64_t(EntryWord(order[i], 0)) * r, size_t(r));
    std::memcpy(out + n * r, slot->data + n * r, size_t(slot->size - n * r));
    std::memcpy(slot->data, out, size_t(slot->size));
    BinaryRaiseEod(slot, n * r);
    SetResultInt(ctx, call.result, 1);
}

// ---------------------------------------------------------------- hashed records

// The home record of a key: h = 2h + byte over the key's bytes taken as signed, wrapping
// at 64 bits, modulo count - 1. Saved tables rely on it: it must never change. The last
// record is therefore never a home record and is reached only by probing.
uint64_t BinaryHashKey(const char* key, int64_t count)
{
    uint64_t h = 0;
    for (const char* p = key; *p; ++p)
        h = 2 * h + uint64_t(int64_t(int8_t(*p)));
    return count > 1 ? h % uint64_t(count - 1) : 0;
}

// Finds the record that holds the key, or claims the first empty one on its probe path
// (linear, wrapping). Keys compare ignoring case, but the home record is taken from the
// raw bytes, so keys that differ only in case meet only where their probe paths cross.
void CaseHashRec(BDS* ctx, BuiltinCall& call)
{
    BinaryBufferSlot* slot = ArgSlot(ctx, call, 1);
    if (!slot)
        return;
    RecordLayout layout{ArgInt64(call, 2), ArgInt64(call, 3), ArgInt(call, 4), 0};
    if (!CheckLayout(ctx, slot, &layout))
        return;
    const char* key = ArgText(ctx, call, 5);
    int64_t keyLength = int64_t(TextLength(key));
    if (keyLength == 0) {
        SetError(ctx, ERR_NO_KEY);
        return;
    }
    if (keyLength > layout.keySize) {
        SetError(ctx, ERR_KEY_TOO_LONG);
        return;
    }
    LockedGlobal field(SIZE_T(layout.keySize) + 1);
    if (!field.data) {
        SetError(ctx, ERR_RECORD_MEMORY);
        return;
    }
    int64_t n = layout.count;
    int64_t home = int64_t(BinaryHashKey(key, n));
    for (int64_t step = 0; step < n; ++step) {
        int64_t index = (home + step) % n;
        uint8_t* at = slot->data + index * layout.recordSize + layout.keyOffset;
        bool found = at[0] == 0;
        if (found) {
            // A shorter key ends with a zero; one of the full key size fills the field.
            std::memcpy(at, key, size_t(keyLength));
            if (keyLength < layout.keySize)
                at[keyLength] = 0;
        } else {
            std::memcpy(field.data, at, size_t(layout.keySize));   // the zero after it is there
            found = lstrcmpiA(field.As<char>(), key) == 0;
        }
        if (found) {
            slot->eod = slot->size;
            SetResult64(ctx, call.result, index * layout.recordSize);
            return;
        }
    }
    SetError(ctx, ERR_TABLE_FULL);
}

const BuiltinRow kRows[] = {
    {309, CaseHashRec},   // binaryhashrec
    {339, CaseSort},      // binarysort
};

}  // namespace

const BuiltinFamily g_BinaryRecordBuiltins = {"binary buffer records", kRows, int(sizeof(kRows) / sizeof(kRows[0]))};
