// SAFEARRAYs and binary buffers as COM data: script arrays to SAFEARRAYs and back, single
// elements read and assigned (growing the array), binary buffers by their OLE type, and
// the conversion of arrays into binary buffers (BinaryAllocArray).
//
// A script array's last dimension is the SAFEARRAY's first: script element (s1, .., sn)
// is SAFEARRAY element (sn + lbound n, .., s1 + lbound 1); the memory order is the same.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>

#include "engine/com/com_value.h"

struct BDS;

// The shape of a SAFEARRAY: dimension count, element count, the script's dimensions (first
// dimension first) and the lower bounds in SAFEARRAY order. 1726 beyond 5 dimensions,
// 1675 when a bound cannot be read. A null array has 0 dimensions.
int SafeArrayShape(BDS* ctx, SAFEARRAY* array, uint32_t* dims, uint32_t* count,
                   uint32_t scriptDims[5], LONG lower[5]);

// The SAFEARRAY that a value's VARIANT holds (directly or by reference), or null.
SAFEARRAY* SafeArrayOfValue(const ValueHead* v);
inline bool HoldsSafeArray(const ValueHead* v)
{
    return (v->flags & VF_VARIANT) && !IsObjectValue(v) && (v->var.vt & VT_ARRAY);
}

// One element (script subscripts) into `out` as a fresh value (an IDispatch becomes an
// object value). 1635, 1636, 1257, 1675.
int SafeArrayReadElement(BDS* ctx, SAFEARRAY* array, int count, const int32_t* subscripts, CResultVar& out);

// Assigns one element of the SAFEARRAY that `holder` holds, growing it when a subscript
// lies beyond it (the grown array written back into holder's variable).
int SafeArrayAssignElement(BDS* ctx, CResultVar& holder, int count, const int32_t* subscripts,
                           CResultVar& value);

// The COM variant's SAFEARRAY as a script array in place (VF_ARRAY).
int SafeArrayValueToArray(BDS* ctx, ValueHead* v);

// ArrInfo on a SAFEARRAY value: answers through *answer; 0 with the error set.
int SafeArrayInfo(BDS* ctx, const ValueHead& value, int32_t request, int32_t* answer);

// BinaryAllocArray: a SAFEARRAY or a one-dimension script array as a new binary buffer.
// The handle, or 0 with the error set.
int32_t ArrayToBinaryBuffer(BDS* ctx, const ValueHead& value);
