// Script variables as dialog texts: the display text of a variable or of one array
// element, the template keys of the running dialog, and the conversions between the
// context's code page and wide text.
#pragma once

#include <cstddef>
#include <string>

struct BDS;

// The display text of `name` ("name" or "name[subscripts]") as wide text: narrow text
// converted with the context's code page, numbers in decimal, an array without a subscript
// "<array>". false (no error left) when the variable or element does not exist, has no
// value or cannot be shown.
bool VariableTextW(BDS* ctx, const char* name, std::wstring& out);
// The spec-sized form: at most size - 1 characters and a NUL into buffer.
int VariableTextW(BDS* ctx, const char* name, wchar_t* buffer, size_t size);
// VariableTextW of the running dialog's name followed by `key`.
bool VariableTextByDialogName(BDS* ctx, const char* key, std::wstring& out);

std::wstring WideFromNarrow(BDS* ctx, const char* text);
std::string NarrowFromWide(BDS* ctx, const wchar_t* text);
