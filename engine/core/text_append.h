// Texts that grow in place: `x = x : a : b` and `x := a` extend the variable's own text
// instead of copying it, so an append costs the appended part, not the whole text.
//
// Invariants:
// - The own-append form is taken only when nothing in its operands can run code or change
//   a variable (no calls, no subscripts, no operators weaker than `:`): the operands are
//   then read and converted in the order and with the errors of the general evaluator,
//   and the variable's text is still the one it held when the statement began.
// - An append changes nothing when it fails (3096 when the heap is full).
// - The length of the text last appended to is remembered with its heap offset; it is
//   forgotten when that block is freed or shrunk (VFree and VShrink call
//   ForgetTextLength) and checked before use, so a text changed any other way is
//   measured again.
// - A text that must move gets spare room (half as much again), so a text grown by many
//   appends is copied a few times in all, not once per append.
#pragma once

#include <cstdint>

#include "engine/core/context.h"

constexpr int MAX_APPEND_PARTS = 16;

// Whether the right side at ctx->prog (the token `=` just read) is `x : operand : ...` for
// the variable `var` of the current scope, holding a narrow text, with operands that can
// run no code. Reads the tokens ahead without creating variables and puts the parse state
// back.
bool IsOwnAppendForm(BDS* ctx, uint16_t var);

// Appends the narrow texts of parts[0..count) to the narrow text of `holder` (a variable's
// value head). Answers false with 3096 (nothing changed) when the heap is full.
bool AppendToText(BDS* ctx, ValueHead* holder, const resultants* parts, int count);

// The heap: the block at `offset` is freed or shrunk.
void ForgetTextLength(BDS* ctx, uint64_t offset);
