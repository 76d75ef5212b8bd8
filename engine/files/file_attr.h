// File and directory attributes: the "RASH" text, the setters by letters and by mask.
#pragma once

#include <cstdint>

struct BDS;
struct WalkState;

// Keyword ids of the attribute built-ins (they choose the file or the directory form).
enum : uint16_t {
    ID_DIRATTRGET = 399,
    ID_DIRATTRGETEX = 400,
    ID_DIRATTRSET = 401,
    ID_DIRATTRSETEX = 402,
    ID_FILEATTRGET = 458,
    ID_FILEATTRGETEX = 459,
    ID_FILEATTRSET = 460,
    ID_FILEATTRSETEX = 461,
};

// What the setters hand through the walk.
struct AttrChange {
    const char* letters;   // FileAttrSet: R A S H set, r a s h clear; others ignored
    uint32_t mask;         // FileAttrSetEx
    int32_t mode;          // FileAttrSetEx: 1 add, -1 remove, 0 exactly
};

// "RASH" with "-" for each clear bit.
void AttributeText(uint32_t attributes, char out[5]);

// The per-file operation of FileAttrSet / DirAttrSet (op chooses the form); state->extra
// points at an AttrChange. Clears the success word and stops on failure (1086 / 1422).
int FileAttrSetOp(BDS* ctx, const wchar_t* name, const wchar_t* target, WalkState* state, uint16_t op,
                  uint32_t flags);
