// Variable pointers: the text "#VAR$PTR#" + scope slot (4 hex digits) + the scope's table
// handle (16) + its serial (8) + its creation tick (8) + the variable name, which names
// a variable of any living scope and goes stale when that scope ends or is reused.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/run_state.h"
#include "engine/core/value.h"

struct BDS;

// A visit to the variables of scope slot `slot` for one operation: EnterScope makes the
// slot current (nothing to do when it is), LeaveScope returns to the caller's scope. A
// visit still inside when it goes out of reach is left then.
struct ScopeVisit {
    BDS* ctx = nullptr;
    ScopeSave save{};
    bool switched = false;
    ~ScopeVisit();
};
bool EnterScope(BDS* ctx, ScopeVisit* visit, uint32_t slot);   // false: 3815
bool LeaveScope(ScopeVisit* visit);                            // false: 3816

constexpr char VARPTR_PREFIX[] = "#VAR$PTR#";
constexpr int VARPTR_FIXED_LENGTH = 45;                               // prefix and fields
constexpr int VARPTR_MAX_LENGTH = VARPTR_FIXED_LENGTH + VARNAMESIZE;  // 75
constexpr int VARPTR_TEXT_SIZE = VARPTR_MAX_LENGTH + 1;

// The pointer text of variable `name` in the current scope (the name's key is written).
// Answers the length, or 0 with 3055 for an empty or too long name.
int MakeVarPointer(BDS* ctx, const char* name, char out[VARPTR_TEXT_SIZE]);

// Reads a pointer text into its scope slot and name key. 3813 when the text is not a
// pointer; 3814 when its scope has ended or the slot was reused.
int ParseVarPointer(BDS* ctx, const char* text, uint32_t* slot, char name[VARNAMESIZE + 1]);

// The pointed-to variable's value into result (texts duplicated, an array reference
// added, the origin set to that variable and scope). 3817 when it has no value there;
// 3815/3816 when its scope cannot be entered or left. Answers 1 or 0.
int GetViaPointer(BDS* ctx, const char* text, resultants* result);

// Stores value into the pointed-to variable (SetVariableFromValue). Answers 1 or 0.
int SetViaPointer(BDS* ctx, const char* text, const resultants* value);

// 1 when the text is a valid pointer whose variable holds an array; an invalid text
// leaves no error and answers 0.
int IsArrayViaPointer(BDS* ctx, const char* text);

// Overwrites with zero bytes, in place, the texts of a secret argument and of the
// variable it came from (switching to that variable's scope when needed).
int WipeValueText(BDS* ctx, resultants* argument);
