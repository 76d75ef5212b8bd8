// The file-list walker: a list of file patterns (split at the list delimiter, TAB
// and "|") becomes one call of a per-file operation for each file that an item names, with
// wildcards expanded by the system's search and filtered by the engine's own matcher.
#pragma once

#include <cstdint>

struct BDS;
struct PathBuf;
struct resultants;

// Walk flags: an operation on directories (a wildcard in an item is then an error).
constexpr uint32_t FLW_DIRECTORY = 0x8000;

// What the built-in hands through the walk to its operation.
struct WalkState {
    int32_t result;        // the built-in's success word: starts at 1, operations clear it
    uint64_t total;        // size walks: the byte total
    const void* extra;     // the built-in's own data for its operation
};

// The per-file operation: the full name of one file, the target pattern (empty for
// operations without one), the walk state, the keyword id of the built-in, the walk flags.
// Non-zero to go on. A failing operation sets the error number itself.
using FileListCallback = int (*)(BDS* ctx, const wchar_t* name, const wchar_t* target, WalkState* state,
                                 uint16_t op, uint32_t flags);

// 1 when every item was walked; 0 for an empty list (no error), when an operation stopped
// the walk, or on an error of the walk itself (3054 an item of 32766 characters or more,
// 1002 a wildcard that matches nothing unless missing names are allowed, 3322 a wildcard in
// a directory operation, 1433/1588 from the path buffers).
int FileListWalk(BDS* ctx, const wchar_t* list, const wchar_t* target, WalkState* state, uint16_t op,
                 uint32_t flags, FileListCallback callback, int missingAllowed);

// One item (in a PathBuf): 1 to go on with the next item, 0 to stop.
int FileSpecWalk(BDS* ctx, PathBuf* item, const wchar_t* target, WalkState* state, uint16_t op, uint32_t flags,
                 FileListCallback callback, int missingAllowed);

// True for the characters that separate the items of a file list.
bool IsFileListSeparator(BDS* ctx, wchar_t c);
