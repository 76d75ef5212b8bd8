// Reading the launcher's command line: the program name, the parent prefix and the
// script's parameter line.
#pragma once

#include <cstddef>
#include <cstdint>

// The command line after the program name (quoted or not) and the blanks and tabs after it.
const wchar_t* SkipProgramName(const wchar_t* line);

struct CommandTail {
    bool hasParent;
    uint64_t parent;            // the parent window's handle, read as a decimal number
    const wchar_t* params;      // where the script's parameter line begins
};

// A tail that begins with "!@#" names a parent window by the digits that follow; the
// parameters begin right after the digits read (no blanks skipped). Otherwise the whole
// tail is the parameter line.
CommandTail ParseCommandTail(const wchar_t* tail);

// Copies at most `limit` characters of `text` into `out` (which holds limit + 1).
void CopyParamLine(wchar_t* out, size_t limit, const wchar_t* text);

// Blanks skipped, an optional sign, decimal digits; anything else ends the number.
int StringToInt(const char* text);
