// Where a program lives by the system's list of registered programs ("App Paths" under
// HKEY_LOCAL_MACHINE), and whether two names denote the same program file.
#pragma once

#include <cstddef>

struct BDS;

// What FindProgramPath reads of a program's App Paths entry.
enum ProgramPathPart : int {
    PROGRAM_FULL_PATH = 0,   // the key's default value: the program's full path
    PROGRAM_SEARCH_PATH = 1, // the "Path" value: folders the program needs on PATH
};

// The entry of the program's name (upper case; with ".EXE" added when the name has no
// extension and has no entry of its own): its default value or its "Path" value, a
// REG_EXPAND_SZ value with the environment strings expanded, cut to `room` characters with
// the NUL. A program given with a folder answers itself for the full path, and its "Path"
// only when the entry's default value is the same file. Answers the length in characters,
// 0 when there is nothing; with `out` null only the length needed (without the NUL).
size_t FindProgramPathW(BDS* ctx, const wchar_t* program, wchar_t* out, size_t room, int part);
size_t FindProgramPathA(BDS* ctx, const char* program, char* out, size_t room, int part);

// 1 when `name` and `other` denote the same file: a name with a folder is searched (system
// order, with `defaultExtension`) and both are compared in their short forms; a bare name,
// with the default extension added when it has none, is compared with the file-name part
// of `other`. Case is ignored.
int SameProgramW(BDS* ctx, const wchar_t* name, const wchar_t* other, const wchar_t* defaultExtension);
int SameProgramA(BDS* ctx, const char* name, const char* other, const char* defaultExtension);

// True when the text holds "\", "/" or ":".
bool HasPathSeparator(const wchar_t* text);
// The part after the last backslash (the whole text when there is none); null for an empty
// text or one that ends in "\", "/" or ":".
const wchar_t* FileNamePart(const wchar_t* text);
