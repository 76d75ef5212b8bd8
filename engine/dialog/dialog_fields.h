// The syntax of dialog template fields: the field splitter, integers, style names, colours
// and font descriptions; the control-name hash, the tab-order insertion and the growable
// work arrays. None of these report errors: the template parser and the request handlers
// turn a failed answer into their own error numbers.
#pragma once

#include <windows.h>
#include <cstddef>
#include <cstdint>
#include <string>

struct BDS;
struct Dialog6Record;
struct DialogControlRecord;

// The next comma-separated field of `text` from *position into out: leading blanks and
// tabs skipped, double quotes group (and are dropped), tabs dropped except inside quotes
// with keepTabs, two double quotes inside quotes give one with doubledQuotes, trailing
// blanks removed. Answers 0 when the text is at its end.
int SplitTemplateField(bool keepTabs, bool doubledQuotes, const wchar_t* text, std::wstring& out,
                       size_t* position);

// A decimal integer with an optional sign and blanks around it that fits 32 bits.
bool FieldInteger(const std::wstring& field, int32_t* out);
// Whether the field reads "DEFAULT" (any case).
bool IsDefaultField(const std::wstring& field);

// A number, "DEFAULT" (0), or @cs constant names joined by "|"; false when neither.
bool ParseStyleNames(const wchar_t* text, uint32_t* out);
// "h" and RRGGBB in hex, or three numbers 0-255 joined by "|"; false when neither.
bool ParseColorSpec(const wchar_t* text, COLORREF* out);
// Whether a background item is a colour (it holds "|" or is "h" and hex digits).
bool LooksLikeColor(const wchar_t* text);
// "face|size|attributes|pitch and character set": a new font scaled for the dialog; false
// for a bad description or when the font cannot be made.
bool ParseFontSpec(BDS* ctx, const Dialog6Record* dlg, const wchar_t* text, HFONT* out);

// h = h * 33 + the lower-cased byte, from 0 (32-bit, wrapping).
uint32_t HashNameLower(const char* name);

// Inserts the control into array[0..count) kept in ascending tab order; a control whose
// tab order equals existing ones goes after them. The array has room for count + 1.
void InsertByTabOrder(DialogControlRecord* control, int count, DialogControlRecord** array);

// Puts `item` into array[wanted] (clamped to 0..count-1) when that slot is empty, else into
// the first empty slot after it; else the nearest empty slot before it is closed by moving
// the later items down one and the item goes last. Answers the slot it went to (the closed
// one in the last case), or -1 when no slot is empty (nothing changes).
int SlotArrayInsert(int wanted, void* item, int count, void** array);

// Replaces *array (current elements of elementSize bytes) by a block with room for
// current + added elements, the current ones copied. On failure 1588 is set and the old
// block is kept. Blocks are whole pages of their own (FreeVirtualArray releases them).
int GrowVirtualArray(BDS* ctx, size_t added, size_t current, size_t elementSize, void** array);
void FreeVirtualArray(void* array);
