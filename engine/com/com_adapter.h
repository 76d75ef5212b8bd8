// The door between the interpreter and the COM layer: the one process-wide CComAdapter
// (OLE per context), the gates that the router, the evaluator, the statement executor and
// ArrInfo call, and the family of Object built-ins.
//
// Every gate takes the context first, wraps its value records in CResultVars, runs one
// operation and hands the result back; failures travel as the context's error number.
#pragma once

#include <cstdint>

#include "engine/com/com_value.h"
#include "engine/core/context.h"

class CComAdapter {
public:
    int32_t oleCount = 0;        // OleInitialize calls not yet balanced
    uint32_t initCalls = 0;      // calls made through the adapter, for tests
    uint32_t uninitCalls = 0;

    CComAdapter() = default;
    CComAdapter(const CComAdapter&) = delete;
    CComAdapter& operator=(const CComAdapter&) = delete;
    virtual ~CComAdapter();

    // OLE for the context: initialised on its first COM operation (1318 on failure).
    bool EnsureOle(BDS* ctx);
    // Engine end: the .NET host deleted, OLE uninitialised when this context began it.
    void TerminateContext(BDS* ctx);

    void ObjectCreate(BDS* ctx, const wchar_t* className, const wchar_t* machine, CResultVar& result);
    void GetObject(BDS* ctx, const wchar_t* name, const wchar_t* className, CResultVar& result);
};

CComAdapter& ComAdapter();
inline bool EnsureOle(BDS* ctx) { return ComAdapter().EnsureOle(ctx); }

// Engine tear-down (DoDuRavInit operation 99).
void ComTerminateContext(BDS* ctx);

// ---------------------------------------------------------------- gates of the core
// A "[" after a variable holding a SAFEARRAY: the element (or the nested array) into
// result, the current token left on the closing "]".
int GateSafeArrayElementGet(BDS* ctx, const ValueHead& holder, resultants* result);
// v[i, ...] = value (or a compound operator) on a variable holding a SAFEARRAY; the parse
// position stands before the "[". Answers 1 when it handled the statement.
int GateSafeArrayElementPut(BDS* ctx, uint16_t var, resultants* result);
// ArrInfo on a SAFEARRAY value.
int GateSafeArrayInfo(BDS* ctx, const ValueHead& value, int32_t request, int32_t* answer);

// ForEach over COM data: the next element into `element` (a fresh record); 0 at the end or
// on error. `position` is the loop's position word, `delimiter` splits a COM text and
// `items` keeps where the walk of such a text stands. A COM object is walked with the
// loop's own enumerator in `walk`, taken on the first round and taken anew when the
// collection has become another object.
int CollectionForEachStep(BDS* ctx, const ValueHead& collection, int64_t* position, char delimiter,
                          ItemCursor* items, ComWalk* walk, resultants* element);
// The loop is left: its walk of a COM object goes (the next walk starts anew).
void CollectionForEachReset(ComWalk* walk);
