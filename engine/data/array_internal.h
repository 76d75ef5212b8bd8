// Helpers shared by the array, map, search, text and file built-ins: array arguments,
// array results, the stored kinds of element values, error hints and the cases each
// family of these built-ins registers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/core/heap.h"
#include "engine/data/array.h"
#include "engine/data/array_errors.h"

namespace arrays {

// ---------------------------------------------------------------- array arguments

// The block of an array argument whose elements a built-in addresses: 1637 when there is
// none (not an array, a map, no elements).
ArrayHeader* ElementArrayOf(BDS* ctx, const ValueHead& value);
// The same with dimensions required: 1710 when it has none, 1805 over `maxDims`.
ArrayHeader* DimensionedArrayOf(BDS* ctx, const ValueHead& value, int maxDims);

// ---------------------------------------------------------------- results

// The result takes over the array that `made` holds (its creation reference).
void SetResultArray(BDS* ctx, resultants* result, const ValueHead& made);

// ---------------------------------------------------------------- stored values

// What kind of value ArrInitialize and ArrayInsert store for a value's flags.
enum StoredKind { SK_INVALID, SK_INT, SK_INT64, SK_FLOAT, SK_TEXT, SK_WIDE, SK_ARRAY };
StoredKind StoredKindOf(const ValueHead* value);

// Puts a heap copy of `length` units of text into an empty element (narrow or wide text by
// the text's width). True, or false with 3096.
bool StoreElementText(BDS* ctx, ArrayElement& element, const char* text, size_t length);
bool StoreElementText(BDS* ctx, ArrayElement& element, const wchar_t* text, size_t length);

// Writes the value of that kind into an empty element (texts copied into the heap, an
// array reference added). 1, or 0 with 3096.
int StoreValueAs(BDS* ctx, const ValueHead* value, StoredKind kind, ArrayElement* element);

// ---------------------------------------------------------------- element texts

// Frees the heap texts that a conversion added to `copy`, a shallow copy of `original`
// (the texts the original already had stay, they are its own).
void DropAddedTexts(BDS* ctx, resultants& copy, const ValueHead& original);

// The element's text in the wanted width, through a shallow copy whose conversion is
// dropped afterwards. `text` stays valid until `Release`.
template <typename Ch>
struct ElementText {
    resultants copy{};
    const ValueHead* original = nullptr;

    bool Take(BDS* ctx, const ValueHead& element)
    {
        original = &element;
        std::memcpy(static_cast<ValueHead*>(&copy), &element, sizeof(ValueHead));
        copy.originVar = ORIGIN_ELEMENT;
        if constexpr (sizeof(Ch) == 1) return ValueToString(ctx, &copy) != 0;
        else return ValueToWide(ctx, &copy) != 0;
    }
    const Ch* Text(BDS* ctx) const
    {
        if constexpr (sizeof(Ch) == 1) return ValueText(ctx, &copy);
        else return ValueWText(ctx, &copy);
    }
    void Release(BDS* ctx)
    {
        if (!original) return;
        DropAddedTexts(ctx, copy, *original);
        original = nullptr;
    }
};

// ---------------------------------------------------------------- ANSI characters
// Text is walked as CharNextA walks it: a lead byte of the ANSI code page and its trail
// byte are one character.

// Bytes of the character at p: 0 at the terminating NUL, 2 for a lead and trail byte.
int AnsiCharBytes(const char* p);
// Characters of the text.
int AnsiCharCount(const char* text);

// ---------------------------------------------------------------- errors

// Adds message `id` formatted with one number or one text to the extended-error text.
void AppendHintNumber(BDS* ctx, int id, int number);
void AppendHintText(BDS* ctx, int id, const char* text);

}  // namespace arrays

// ---------------------------------------------------------------- cases
// One file per family of built-ins; array_family.cpp gathers their rows.

void ArrInfoCase(BDS* ctx, BuiltinCall& call);
void ArrInitializeCase(BDS* ctx, BuiltinCall& call);
void ArrayRedimCase(BDS* ctx, BuiltinCall& call);
void ArrayInsertCase(BDS* ctx, BuiltinCall& call);
void ArrayRemoveCase(BDS* ctx, BuiltinCall& call);
void ArraySliceCase(BDS* ctx, BuiltinCall& call);
void ArrayReverseCase(BDS* ctx, BuiltinCall& call);
void ArraySwapElementsCase(BDS* ctx, BuiltinCall& call);

void MapCreateCase(BDS* ctx, BuiltinCall& call);
void MapKeyExistCase(BDS* ctx, BuiltinCall& call);
void MapKeyRemoveCase(BDS* ctx, BuiltinCall& call);
void MapKeyFindCase(BDS* ctx, BuiltinCall& call);
void MapKeysGetCase(BDS* ctx, BuiltinCall& call);
void MapValuesGetCase(BDS* ctx, BuiltinCall& call);

void ArrayLocateCase(BDS* ctx, BuiltinCall& call);
void ArraySearchCase(BDS* ctx, BuiltinCall& call);
void ArraySortCase(BDS* ctx, BuiltinCall& call);

void ArrayItemizeCase(BDS* ctx, BuiltinCall& call);
void ArrayToStrCase(BDS* ctx, BuiltinCall& call);
void ArrayizeCase(BDS* ctx, BuiltinCall& call);
void ArrayFromStrCase(BDS* ctx, BuiltinCall& call);

void ArrayFilePutCase(BDS* ctx, BuiltinCall& call);
void ArrayFileGetCase(BDS* ctx, BuiltinCall& call);
void ArrayFilePutCsvCase(BDS* ctx, BuiltinCall& call);
void ArrayFileGetCsvCase(BDS* ctx, BuiltinCall& call);
// ArrayFileGetCsv's reading: the file's CSV rows into a new two-dimension array in `made`
// (extra rows and columns added empty). false with the error set (nothing made).
bool ArrayFileGetCsv(BDS* ctx, ValueHead& made, const wchar_t* file, int32_t options, char delimiter,
                     int64_t extraRows, int64_t extraColumns);
void MapFilePutCsvCase(BDS* ctx, BuiltinCall& call);
void MapFileGetCsvCase(BDS* ctx, BuiltinCall& call);
