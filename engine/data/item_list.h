// Item lists: texts whose items are separated by a one-character delimiter (the tab when
// the delimiter text is empty), and CSV lines. The operations here serve the item-list
// built-ins and every other part that walks lists (list boxes, array splitting, sorting).
//
// ANSI lists are walked by character in the system's ANSI code page, so a delimiter never
// matches a trail byte and a double-byte delimiter matches only as a whole. Item numbers
// count from 1.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/context.h"

// ---------------------------------------------------------------- delimiters

// The delimiter of a list built-in: an empty text means the tab; more than one
// character sets 1705 and answers null.
const char* ItemDelimiterA(BDS* ctx, const char* delimiter);
const wchar_t* ItemDelimiterW(BDS* ctx, const wchar_t* delimiter);

// ---------------------------------------------------------------- counting and extracting

// Number of items: an empty list has none, n delimiters make n + 1 items. A bad delimiter
// answers 0 with 1705.
int ItemCountA(BDS* ctx, const char* list, const char* delimiter);
int ItemCountW(BDS* ctx, const wchar_t* list, const wchar_t* delimiter);

// Puts item n (-1: the last) into the result as heap text; n of 0 or past the last item
// gives an empty text. Answers the position right after the item's delimiter (the list's
// end for the last item), so that successive items can be taken with n = 1; null on error
// (1705, 3096).
const char* ItemExtractA(BDS* ctx, resultants* result, int n, const char* list, const char* delimiter);
const wchar_t* ItemExtractW(BDS* ctx, resultants* result, int n, const wchar_t* list,
                            const wchar_t* delimiter);

// ---------------------------------------------------------------- the other list built-ins

// The list with the item placed after its first `index` items (0: in front; negative or
// not below the item count: at the end).
void DoItemInsertA(BDS* ctx, const char* item, int index, const char* list, const char* delimiter,
                   resultants* result);
void DoItemInsertW(BDS* ctx, const wchar_t* item, int index, const wchar_t* list,
                   const wchar_t* delimiter, resultants* result);
// Number of the first item equal (byte for byte) to the item, 0 when none.
int DoItemLocateA(BDS* ctx, const char* item, const char* list, const char* delimiter);
int DoItemLocateW(BDS* ctx, const wchar_t* item, const wchar_t* list, const wchar_t* delimiter);
// Number of the first item from `start` on that the wildcard pattern covers whole.
int DoItemLocateWildA(BDS* ctx, const char* pattern, const char* list, const char* delimiter, int start);
int DoItemLocateWildW(BDS* ctx, const wchar_t* pattern, const wchar_t* list, const wchar_t* delimiter,
                      int start);

// ---------------------------------------------------------------- editing and sorting
// Item `index` (-1: the last) removed with one delimiter next to it, or replaced by the
// item; an index of 0 or past the last item leaves the list as it is, and an empty list
// stays empty. A bad delimiter sets 1705.
void DoItemRemoveA(BDS* ctx, int index, const char* list, const char* delimiter, resultants* result);
void DoItemRemoveW(BDS* ctx, int index, const wchar_t* list, const wchar_t* delimiter, resultants* result);
void DoItemReplaceA(BDS* ctx, const char* item, int index, const char* list, const char* delimiter,
                    resultants* result);
void DoItemReplaceW(BDS* ctx, const wchar_t* item, int index, const wchar_t* list, const wchar_t* delimiter,
                    resultants* result);
// The items in ascending order (ItemCompare or, without caseSensitive, ItemCompareNoCase):
// the empty items first, equal items in their order.
void DoItemSortA(BDS* ctx, const char* list, const char* delimiter, bool caseSensitive, resultants* result);
void DoItemSortW(BDS* ctx, const wchar_t* list, const wchar_t* delimiter, bool caseSensitive,
                 resultants* result);

// ---------------------------------------------------------------- item comparisons
// For sorting lists: a and b point at items of a list; each item runs to the next
// delimiter or the end. Answer below 0, 0 or above 0. The case-insensitive ones let the
// case-sensitive order decide between items that differ only in case.

int ItemCompareA(BDS* ctx, const char* a, const char* b, const char* delimiter);
int ItemCompareNoCaseA(BDS* ctx, const char* a, const char* b, const char* delimiter);
int ItemCompareW(BDS* ctx, const wchar_t* a, const wchar_t* b, const wchar_t* delimiter);
int ItemCompareNoCaseW(BDS* ctx, const wchar_t* a, const wchar_t* b, const wchar_t* delimiter);

// ---------------------------------------------------------------- CSV lines
// One-unit delimiter that is neither a space, a double quote, CR nor LF (default comma);
// fields may be quoted, with doubled quotes inside; blanks (space, and tab unless the
// delimiter is the tab) around a field are removed unless options bit 0 is set.

// Whether the delimiter may separate CSV fields.
bool CsvDelimiterOk(const char* delimiter);
bool CsvDelimiterOkW(const wchar_t* delimiter);

// Number of fields of a line (0 for an empty line), or -1 for an invalid line. The
// delimiter must have passed CsvDelimiterOk. Sets no error.
int CsvFieldCountA(BDS* ctx, const char* line, char delimiter);
int CsvFieldCountW(BDS* ctx, const wchar_t* line, wchar_t delimiter);

// Takes the field at *position: its text goes to out (room for the rest of the line and
// a NUL), *position moves past the field's delimiter or to the line's end. Answers the
// field's length, or -1 for an invalid field (sets no error).
int CsvTakeFieldA(BDS* ctx, const char** position, int options, char delimiter, char* out);
int CsvTakeFieldW(BDS* ctx, const wchar_t** position, int options, wchar_t delimiter, wchar_t* out);
