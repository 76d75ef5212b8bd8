// The CSV dialect of the array and map files and of the CSV item built-ins: a one-byte
// delimiter (not a space, double quote, CR or LF; the comma by default), blanks (the space,
// and the tab unless it is the delimiter) around fields, fields optionally in double
// quotes with doubled quotes inside. A quote after other text of a field, text after a
// closing quote, or a line ending inside quotes makes the line invalid.
#pragma once

#include <cstdint>

#include "engine/data/text_join.h"

enum : int { CSV_KEEP_BLANKS = 1 };

// The delimiter is exactly one allowed byte.
bool CsvDelimiterValid(const char* delimiter);

// Fields of the line (delimiters outside quotes + 1; an empty line has none), or -1 when
// the line is invalid.
int64_t CsvFieldCount(const char* line, char delimiter);

// Reads the field at *position into `field` (blanks around it removed unless
// CSV_KEEP_BLANKS, enclosing quotes removed, doubled quotes made single) and moves the
// position past its delimiter. 1 with the field, 0 at the end of the line, -1 when the
// field is invalid, or -2 when the field buffer cannot grow (1588 set).
int CsvSplitField(BDS* ctx, const char** position, int options, char delimiter, JoinBuffer<char>* field);
