// Reading the arguments of a text built-in's case, and the families of text built-ins.
//
// The router has converted each argument by the keyword's argument code; an omitted
// optional argument reads as the default the case gives.
#pragma once

#include "engine/core/builtin.h"
#include "engine/core/keyword.h"
#include "engine/data/text.h"

namespace textcase {

inline bool Has(const BuiltinCall& call, int i) { return i >= 1 && i <= call.argc; }

inline int32_t Int(const BuiltinCall& call, int i, int32_t absent = 0)
{
    return Has(call, i) ? call.args[i].i32 : absent;
}

inline const char* Text(BDS* ctx, const BuiltinCall& call, int i, const char* absent = "")
{
    return Has(call, i) ? ValueText(ctx, &call.args[i]) : absent;
}

inline const wchar_t* WText(BDS* ctx, const BuiltinCall& call, int i, const wchar_t* absent = L"")
{
    return Has(call, i) ? ValueWText(ctx, &call.args[i]) : absent;
}

// Whether the case runs the wide handler: by the code of argument i, the rule by which
// the router converted it (6: the call is wide; 7: Unicode mode; 8: both; 5: always).
inline bool Wide(const BuiltinCall& call, int i = 1)
{
    switch (ArgTypeOf(call.signature, i)) {
    case AT_WSTRING: return true;
    case AT_STRING_ANY: return call.wide;
    case AT_STRING_MODE: return IsUnicodeMode();
    case AT_STRING_BOTH: return call.wide && IsUnicodeMode();
    default: return false;
    }
}

}  // namespace textcase

// The families of text built-ins (one per file).
extern const BuiltinFamily g_StrSearchBuiltins;     // measurement and search
extern const BuiltinFamily g_StrTransformBuiltins;  // transformation, StrCat
extern const BuiltinFamily g_StrCompareBuiltins;    // comparison, classes, code pages
extern const BuiltinFamily g_ItemListBuiltins;      // item lists and CSV lines
