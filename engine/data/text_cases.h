// Reading the arguments of a text built-in's case, and the families of text built-ins.
//
// The router has converted each argument by the keyword's argument code; an omitted
// optional argument reads as the default the case gives.
#pragma once

#include "engine/core/builtin.h"
#include "engine/core/keyword.h"
#include "engine/data/text.h"

namespace textcase {

inline const char* Text(BDS* ctx, const BuiltinCall& call, int i, const char* absent = "")
{
    return HasArg(call, i) ? ValueText(ctx, &call.args[i]) : absent;
}

inline const wchar_t* WText(BDS* ctx, const BuiltinCall& call, int i, const wchar_t* absent = L"")
{
    return HasArg(call, i) ? ValueWText(ctx, &call.args[i]) : absent;
}

// Whether the case runs the wide handler: argument i was converted to wide text.
inline bool Wide(const BuiltinCall& call, int i = 1) { return ArgIsWide(call, i); }

}  // namespace textcase

// The families of text built-ins (one per file).
extern const BuiltinFamily g_StrSearchBuiltins;     // measurement and search
extern const BuiltinFamily g_StrTransformBuiltins;  // transformation, StrCat
extern const BuiltinFamily g_StrCompareBuiltins;    // comparison, classes, code pages
extern const BuiltinFamily g_ItemListBuiltins;      // item lists and CSV lines
extern const BuiltinFamily g_ItemEditBuiltins;      // ItemRemove, ItemReplace, ItemSort
