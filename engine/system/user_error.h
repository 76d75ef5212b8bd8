// Errors a script raises itself (ErrorEvent, IntControl 79) and dropping variables by a
// name prefix (DropWild).
#pragma once

#include <cstdint>

struct BDS;

// Severity -1, -2 or -3 (else 1666) raises 1668, 2669 or 3670 for a code of 7000-7999
// (else 1667), keeping the code and the text (255 characters) as the last user error.
// Unless the error is minor under @OFF or a trap takes it, the error box shows "User-Defined
// Error:  <code>: <text>"; the error then becomes 9016, and the run goes on after
// Continue. Answers 1.
int32_t DoErrorEvent(BDS* ctx, int32_t severity, int32_t code, const char* text);

// Drops every variable of the current table whose name begins with the pattern's text
// before its final "*" (case ignored; a pattern without the "*" drops nothing), except the
// one being assigned. Answers the number dropped.
int32_t DoDropWild(BDS* ctx, const char* pattern);
