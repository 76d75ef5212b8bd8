// File-name wildcards and target masks: the engine's own matcher (name part and extension
// part matched apart, so that the system's matches through short 8.3 names drop out), the
// "selects everything" test, the widening of a copy target, and the mapping of a source
// name through a target mask (FileMapName, and the target names of copy, move and rename).
#pragma once

#include <cstdint>

struct BDS;
struct PathBuf;

// WildcardMatchMode (IntControl 91): 0 the own matcher, 1 every name the system's search
// returns (the walker then does not ask), 2 the system's PathMatchSpec.
enum : uint32_t {
    WILDCARD_OWN = 0,
    WILDCARD_NONE = 1,
    WILDCARD_SYSTEM = 2,
};

// True when the text holds "*" or "?" behind any long-path prefix.
bool HasWildcardW(const wchar_t* text);

// 1 when the name (its last component) matches the pattern's last component, else 0.
// A pattern without wildcards matches every name.
int WildcardMatchSpecA(BDS* ctx, const char* name, const char* spec);
int WildcardMatchSpecW(BDS* ctx, const wchar_t* name, const wchar_t* spec);

// 1 when the pattern selects every file: "*.*" or "*" (not "*.").
int WildcardIsAllA(const char* spec);
int WildcardIsAllW(const wchar_t* spec);

// A copy target made ready for mapping: a target without wildcards that ends in "\" or ":"
// gets "*.*", one that names an existing directory gets "\*.*". 0 only when the buffer
// fails (its error is set).
int WildcardSpecTest(BDS* ctx, const wchar_t* target, PathBuf* out);

// The target name of one source file under a target mask. 1, or 0 when a buffer fails.
int WildcardEnumW(BDS* ctx, const wchar_t* source, const wchar_t* mask, PathBuf* out);

// Appends one part (name or extension) of a source mapped through the mask's part; with
// the dot pending a "." goes before the first character appended. Always 1.
int MaskApplyW(BDS* ctx, const wchar_t* source, const wchar_t* mask, PathBuf* out, int pendingDot);
