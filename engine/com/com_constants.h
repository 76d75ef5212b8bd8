// Type-library constants: the named constants of every enumeration in the type library
// that describes an object, kept in a balanced map ordered by name with case ignored (the
// first constant read of a name stays), answered by name and listed as a script array.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>

struct BDS;
struct ValueHead;
class CResultVar;
class CConstTable;

// Reads the constants of the library that `info` belongs to (its own type skipped).
// E_NOTIMPL when there is none; *out null on failure.
HRESULT BuildConstTable(BDS* ctx, ITypeInfo* info, CConstTable** out);
CConstTable* CopyConstTable(const CConstTable& table);
void FreeConstTable(CConstTable* table);
uint32_t ConstCount(const CConstTable& table);

// consts.Name: the constant's value into `out`, or 1255.
int ConstantLookup(BDS* ctx, const CConstTable& table, const char* name, CResultVar& out);

// A (count + 1) x 2 array: row 0 the count and 0, then name and value by name.
int ConstTableToArray(BDS* ctx, const CConstTable& table, ValueHead* out);
