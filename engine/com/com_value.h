// COM values inside value records: conversions between a record's VARIANT and the
// engine's own forms, and the release and copy of a record's COM payload.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "engine/core/value.h"

struct BDS;

// Converts the record's VARIANT to an engine form and adds that form's flag; `kind` is
// the flag wanted: VF_INT, VF_STRING, VF_FLOAT, VF_UNICODE or VF_INT64 (VF_ARRAY is not
// served here). On failure sets its own error (3057 numbers, 3056 texts) and answers 0.
int ValueConvertInPlace(BDS* ctx, uint32_t kind, ValueHead* value);

// Copies the source's VARIANT into the target as an independent value (by-reference
// variants resolved). The target's VARIANT must hold nothing. Answers 1, or 0 with 1588.
int VariantToValueCopy(BDS* ctx, uint32_t flags, const ValueHead* source, ValueHead* target);

// Releases what a COM value holds and leaves its VARIANT empty.
void ValueReleaseComPayload(uint32_t flags, ValueHead* value);

// True when the record holds a COM text (VT_BSTR, or VT_BSTR by reference).
bool ValueIsBstr(const ValueHead* value);

// True when both records hold the same VARTYPE and the same variant bytes.
bool ValueSameObject(const ValueHead* a, const ValueHead* b);
