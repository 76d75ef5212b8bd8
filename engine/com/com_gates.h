// Gates of the COM layer for the core's value conversions, the extender call form and the
// memory report, and the block-chain pool that the core and other subsystems share.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>

#include "engine/core/context.h"

// A value converted in place into a COM variant of its natural type: 1, else the value is
// released and 0 answered.
int GateValueChangeType(BDS* ctx, resultants* value);
// The VARIANT of a value changed to `type` (VT_I8 for 64-bit integers) into *out (the
// caller's to clear): 1 or 0.
int GateValueToVariant(BDS* ctx, uint32_t flags, VARTYPE type, const resultants* value, VARIANT* out);
// As ValueToNativeKind, a SAFEARRAY becoming an array; a value without a COM variant stays.
int ValueVariantToNative(BDS* ctx, ValueHead* value);
// A COM variant holding VT_DISPATCH or VT_UNKNOWN (by reference too) becomes an object value.
int ValueDispatchToObject(BDS* ctx, ValueHead* value);
// An object value becomes a VT_DISPATCH COM variant (flags VF_VARIANT, integer 0).
int ObjectValueToDispatchVariant(BDS* ctx, ValueHead* value);

// The memory report over the current variable table (one level into arrays): the COM
// interfaces held, their list as decimal texts (CR LF or tab between), and how many values
// hold one interface.
int32_t CountComObjectVariables(BDS* ctx);
int ListComObjectVariables(BDS* ctx, int crlf, resultants* result);
int32_t CountObjectReferences(BDS* ctx, int32_t pointer);

// The block-chain pool: count x size bytes behind an 8-byte link, pushed on the chain's
// front (null for a zero count or size, or without memory); BlockChainFreeAll frees every
// block from the given one on.
void* BlockChainAlloc(void** chain, size_t count, size_t size);
void BlockChainFreeAll(void* first);
