// DllCall and DllCallCdecl: read the typed argument list from the statement, load the
// library, call the entry through the trampoline under the exception guard, and turn the
// raw result into a script value. Nothing of a call outlives it.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "engine/core/builtin.h"
#include "engine/core/heap.h"
#include "engine/core/keyword.h"
#include "engine/core/numtext.h"
#include "engine/core/text_bounded.h"
#include "engine/core/tokenizer.h"
#include "engine/core/evaluator.h"
#include "engine/data/binary_buffer.h"
#include "engine/files/path_search.h"
#include "engine/native/library_name.h"
#include "engine/native/native_call.h"

namespace {

enum : uint16_t {
    ERR_DLL_NOT_FOUND = 1299,
    ERR_DLL_NOT_LOADABLE = 1300,
    ERR_BAD_ENTRY = 1301,
    ERR_BAD_LIBRARY = 1369,
    ERR_BAD_ENTRY_PARAM = 1370,
    ERR_PUNCTUATION = 1371,
    ERR_TOO_MANY = 1372,
    ERR_TOO_FEW = 1373,
    ERR_NOT_SHORT = 1375,
    ERR_NOT_LONG = 1376,
    ERR_BAD_RETURN = 1377,
    ERR_BAD_PARAM_CODE = 1378,
    ERR_MISSING_COLON = 1380,
    ERR_NOT_STRING = 1381,
    ERR_NOT_DOUBLE = 1745,
    ERR_NOT_STRUCT = 1996,
    ERR_BAD_BINARY = 3023,
};

constexpr size_t LIBRARY_CHARS = 259;
constexpr size_t ENTRY_CHARS = 127;

struct TypeWord {
    const char* word;
    uint32_t code;
};

const TypeWord kParamWords[] = {
    {"word", DLL_WORD},        {"long", DLL_LONG},       {"lpstr", DLL_LPSTR},
    {"lpbinary", DLL_LPBINARY}, {"lpnull", DLL_LPNULL},  {"double", DLL_DOUBLE},
    {"lpwstr", DLL_LPWSTR},    {"callback", DLL_CALLBACK}, {"lpstruct", DLL_LPSTRUCT},
    {"long_ptr", DLL_LONG_PTR}, {"long64", DLL_LONG64},
};

const TypeWord kReturnWords[] = {
    {"word", DLL_WORD},   {"long", DLL_LONG},     {"lpstr", DLL_LPSTR},
    {"void", DLL_VOID},   {"double", DLL_DOUBLE}, {"lpwstr", DLL_LPWSTR},
    {"long_ptr", DLL_LONG_PTR_RET}, {"long64", DLL_LONG64},
};

// Everything one call holds; released by ReleaseCall on every road out.
struct DllCallState {
    char library[LIBRARY_CHARS + 1];
    wchar_t libraryWide[LIBRARY_CHARS + 1];     // empty where `library` says the name exactly
    char entry[ENTRY_CHARS + 1];
    bool byOrdinal;
    uint16_t ordinal;
    uint32_t returnCode;
    int count;                          // parameters read so far
    resultants values[DLL_MAX_PARAMS];  // each parameter owns its value
    uint32_t codes[DLL_MAX_PARAMS];
    int64_t buffers[DLL_MAX_PARAMS];    // the handle of an lpbinary parameter
    uint64_t ints[DLL_MAX_PARAMS];
    double floats[DLL_MAX_PARAMS];
    HMODULE module;
    bool ownsModule;
};

bool AtToken(const BDS* ctx, uint16_t id)
{
    return ctx->nTokenKind == TK_KEYWORD && ctx->delim_type == id;
}

bool Fail(BDS* ctx, uint16_t error)
{
    SetError(ctx, error);
    return false;
}

// A type word at the parse position, looked up in `words`; false when there is none.
template <size_t N>
bool ReadTypeWord(BDS* ctx, const TypeWord (&words)[N], uint32_t* code)
{
    if (get_string_token(ctx) != 0xFFFFFFFFu) {
        SetError(ctx, 0);
        return false;
    }
    for (const TypeWord& w : words) {
        if (lstrcmpiA(ctx->szToken, w.word) == 0) {
            *code = w.code;
            return true;
        }
    }
    return false;
}

// The next token, then one expression into `value`; the token after it is current.
bool ReadExpression(BDS* ctx, resultants* value)
{
    get_token(ctx);
    if (ctx->nErrorCode)
        return false;
    ProcessSubExpression(ctx, value, 0, 0, nullptr);
    return ctx->nErrorCode == 0;
}

bool ReadLibrary(BDS* ctx, DllCallState& s)
{
    get_token(ctx);
    if (ctx->nErrorCode)
        return false;
    if (AtToken(ctx, KID_RPAREN))
        return Fail(ctx, ERR_TOO_FEW);
    resultants value;
    InitResultValue(ctx, &value, VK_RECORD, 0);
    ProcessSubExpression(ctx, &value, 0, 0, nullptr);
    bool ok = ctx->nErrorCode == 0;
    if (ok && !AtToken(ctx, KID_COMMA))
        ok = Fail(ctx, ERR_TOO_FEW);
    if (ok && !ValueToString(ctx, &value))
        ok = Fail(ctx, ERR_BAD_LIBRARY);
    if (ok) {
        LibraryName name = LibraryNameOf(ctx, &value);
        lstrcpynA(s.library, name.ansi.c_str(), sizeof s.library);
        lstrcpynW(s.libraryWide, name.wide.c_str(), LIBRARY_CHARS + 1);
    }
    FreeValue(ctx, &value, 0, VK_RECORD);
    return ok;
}

bool ReadEntry(BDS* ctx, DllCallState& s)
{
    if (!ReadTypeWord(ctx, kReturnWords, &s.returnCode))
        return Fail(ctx, ERR_BAD_RETURN);
    get_token(ctx);
    if (ctx->nErrorCode)
        return false;
    if (!AtToken(ctx, KID_COLON))
        return Fail(ctx, ERR_MISSING_COLON);
    resultants value;
    InitResultValue(ctx, &value, VK_RECORD, 0);
    bool ok = ReadExpression(ctx, &value);
    if (ok && !AtToken(ctx, KID_COMMA) && !AtToken(ctx, KID_RPAREN))
        ok = Fail(ctx, ERR_BAD_ENTRY_PARAM);
    if (ok) {
        // A number, or a text of digits, is an ordinal; any other text a name.
        if (ValueToInteger(ctx, &value, false, false)) {
            s.byOrdinal = true;
            s.ordinal = static_cast<uint16_t>(value.i32);
        } else {
            SetError(ctx, 0);
            if (ValueToString(ctx, &value))
                lstrcpynA(s.entry, ValueText(ctx, &value), sizeof s.entry);
            else
                ok = Fail(ctx, ERR_BAD_ENTRY_PARAM);
        }
    }
    FreeValue(ctx, &value, 0, VK_RECORD);
    return ok;
}

// An integer parameter; a float is rounded.
bool ParamInteger(BDS* ctx, resultants& v, int32_t* out)
{
    if (!ValueToInteger(ctx, &v, true, false)) {
        SetError(ctx, 0);
        return false;
    }
    *out = v.i32;
    return true;
}

bool ParamInt64(BDS* ctx, resultants& v, int64_t* out)
{
    if (!ValueToInt64(ctx, &v, out, true)) {
        SetError(ctx, 0);
        return false;
    }
    if (!(v.flags & VF_INT64) && (v.flags & VF_INT))
        *out = v.i32;
    return true;
}

// Converts parameter i's value by its code into its machine slot.
bool ConvertParam(BDS* ctx, DllCallState& s, int i, uint32_t callingForm)
{
    resultants& v = s.values[i];
    uint64_t& slot = s.ints[i];
    int32_t n = 0;
    int64_t wide = 0;
    switch (s.codes[i]) {
    case DLL_WORD:
        if (!ParamInteger(ctx, v, &n))
            return Fail(ctx, ERR_NOT_SHORT);
        slot = static_cast<uint16_t>(n);
        return true;
    case DLL_LONG:
        if (!ParamInteger(ctx, v, &n))
            return Fail(ctx, ERR_NOT_LONG);
        slot = static_cast<uint64_t>(static_cast<int64_t>(n));   // sign-extended
        return true;
    case DLL_LPSTR:
        if (!(v.flags & VF_STRING) && !ValueToString(ctx, &v))
            return Fail(ctx, ERR_NOT_STRING);
        slot = reinterpret_cast<uint64_t>(HeapPtr(ctx, v.str));
        return true;
    case DLL_LPWSTR:
        if (!(v.flags & VF_UNICODE) && !ValueToWide(ctx, &v))
            return Fail(ctx, ERR_NOT_STRING);
        slot = reinterpret_cast<uint64_t>(HeapPtr(ctx, v.wstr));
        return true;
    case DLL_LPBINARY: {
        if (!ParamInt64(ctx, v, &wide))
            return Fail(ctx, ERR_BAD_BINARY);
        BinaryBufferSlot* buffer = BinarySlotOf(ctx, wide);
        if (!buffer)
            return false;
        s.buffers[i] = wide;
        slot = reinterpret_cast<uint64_t>(buffer->data);
        return true;
    }
    case DLL_LPNULL:
        slot = 0;
        return true;
    case DLL_DOUBLE:
        if (!(v.flags & VF_FLOAT) && !ValueToFloat(ctx, &v)) {
            SetError(ctx, 0);
            return Fail(ctx, ERR_NOT_DOUBLE);
        }
        s.floats[i] = v.dbl;
        return true;
    case DLL_CALLBACK: {
        if (!ParamInt64(ctx, v, &wide))
            return Fail(ctx, 1839);
        void* thunk = CallbackTakeForCall(ctx, wide, callingForm);
        if (!thunk)
            return false;
        slot = reinterpret_cast<uint64_t>(thunk);
        return true;
    }
    case DLL_LPSTRUCT: {
        uint8_t* data = ParamInt64(ctx, v, &wide) ? DllStructFromHandle(ctx, wide) : nullptr;
        if (!data)
            return Fail(ctx, ERR_NOT_STRUCT);
        slot = reinterpret_cast<uint64_t>(data);
        return true;
    }
    default:   // long_ptr, long64
        if (!ParamInt64(ctx, v, &wide))
            return Fail(ctx, ERR_NOT_LONG);
        slot = static_cast<uint64_t>(wide);
        return true;
    }
}

// One parameter: type word, ":" and expression (lpnull alone), then "," or ")".
bool ReadParam(BDS* ctx, DllCallState& s, uint32_t callingForm)
{
    if (s.count == DLL_MAX_PARAMS)
        return Fail(ctx, ERR_TOO_MANY);
    uint32_t code;
    if (!ReadTypeWord(ctx, kParamWords, &code))
        return Fail(ctx, ERR_BAD_PARAM_CODE);
    int i = s.count;
    s.codes[i] = code;
    InitResultValue(ctx, &s.values[i], VK_RECORD, 0);
    s.count = i + 1;
    if (code == DLL_LPNULL) {
        get_token(ctx);
        if (ctx->nErrorCode)
            return false;
    } else {
        get_token(ctx);
        if (ctx->nErrorCode)
            return false;
        if (!AtToken(ctx, KID_COLON))
            return Fail(ctx, ERR_MISSING_COLON);
        if (!ReadExpression(ctx, &s.values[i]))
            return false;
    }
    if (!AtToken(ctx, KID_COMMA) && !AtToken(ctx, KID_RPAREN))
        return Fail(ctx, ERR_PUNCTUATION);
    // The callback count is taken only for a parameter that is really passed.
    if (!ConvertParam(ctx, s, i, callingForm)) {
        if (code == DLL_CALLBACK)
            s.codes[i] = DLL_LPNULL;
        return false;
    }
    return true;
}

bool ReadArguments(BDS* ctx, DllCallState& s, uint32_t callingForm)
{
    if (!ReadLibrary(ctx, s) || !ReadEntry(ctx, s))
        return false;
    while (!AtToken(ctx, KID_RPAREN)) {
        if (!ReadParam(ctx, s, callingForm))
            return false;
    }
    return true;
}

// The module of a "?" handle must be one loaded in the process.
bool IsLoadedModule(HMODULE module)
{
    HMODULE found = nullptr;
    return module &&
           GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                  GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCSTR>(module), &found) &&
           found == module;
}

bool LoadLibraryOf(BDS* ctx, DllCallState& s)
{
    if (s.library[0] == '?') {
        uint64_t value = 0;
        int64_t parsed = 0;
        if (ParseIntegerTextA(s.library + 1, &parsed))
            value = static_cast<uint64_t>(parsed);
        s.module = reinterpret_cast<HMODULE>(value);
        if (!IsLoadedModule(s.module))
            return Fail(ctx, ERR_DLL_NOT_FOUND);
        return true;
    }
    LibraryName name{s.library, s.libraryWide};
    if (!LibraryExists(ctx, name)) {
        SetError(ctx, 0);
        return Fail(ctx, ERR_DLL_NOT_FOUND);
    }
    DWORD failure = 0;
    s.module = LoadNamedLibrary(name, &failure);
    if (!s.module)
        return Fail(ctx, ERR_DLL_NOT_LOADABLE);
    s.ownsModule = true;
    return true;
}

// The raw result as the script value the return code asks for.
void TakeResult(BDS* ctx, const DllCallState& s, uint64_t raw, resultants* result)
{
    switch (s.returnCode) {
    case DLL_WORD:
        SetResultInt(ctx, result, static_cast<int32_t>(raw & 0xFFFF));
        break;
    case DLL_LONG:
        SetResultInt(ctx, result, static_cast<int32_t>(static_cast<uint32_t>(raw)));
        break;
    case DLL_LPSTR:
    case DLL_LPWSTR: {
        uint32_t fault = 0;
        if (!CopyNativeText(ctx, reinterpret_cast<const void*>(raw), s.returnCode == DLL_LPWSTR,
                            result, &fault) && fault) {
            ctx->builtins.nDllLastError = fault;
            SetError(ctx, ERR_DLL_EXCEPTION);
        }
        break;
    }
    case DLL_DOUBLE: {
        double number;
        std::memcpy(&number, &raw, sizeof number);
        SetResultFloat(ctx, result, number);
        break;
    }
    case DLL_LONG_PTR_RET: {
        char text[INT_TEXT_SIZE];
        Int64ToTextA(static_cast<int64_t>(raw), text, 10);
        SetResultText(ctx, result, text);
        break;
    }
    case DLL_LONG64:
        SetResultInt64(ctx, result, static_cast<int64_t>(raw));
        break;
    default:   // void
        break;
    }
}

void ReleaseCall(BDS* ctx, DllCallState& s)
{
    uint16_t error = ctx->nErrorCode;
    for (int i = 0; i < s.count; ++i) {
        if (s.codes[i] == DLL_CALLBACK)
            CallbackReleaseFromCall(ctx);
        // A callback that ran during the call may have freed a buffer the call used.
        if (s.codes[i] == DLL_LPBINARY && error == 0 && !BinarySlotQuiet(ctx, s.buffers[i]))
            error = ERR_BAD_BINARY;
        FreeValue(ctx, &s.values[i], 0, VK_RECORD);
    }
    s.count = 0;
    if (s.ownsModule)
        FreeLibrary(s.module);
    s.ownsModule = false;
    SetError(ctx, error);
}

void RunDllCall(BDS* ctx, BuiltinCall& call, uint32_t callingForm)
{
    auto* s = static_cast<DllCallState*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(DllCallState)));
    if (!s) {
        SetError(ctx, ERR_NATIVE_LOCK);
        return;
    }
    if (ReadArguments(ctx, *s, callingForm) && LoadLibraryOf(ctx, *s)) {
        FARPROC entry = GetProcAddress(s->module, s->byOrdinal ? MAKEINTRESOURCEA(s->ordinal) : s->entry);
        if (!entry) {
            SetError(ctx, ERR_BAD_ENTRY);
        } else {
            uint64_t raw = 0;
            int raised = DllCallInvoke(reinterpret_cast<void*>(entry), static_cast<uint32_t>(s->count),
                                       s->codes, s->ints, s->floats, s->returnCode, &raw);
            if (raised) {
                ctx->builtins.nDllLastError = static_cast<uint32_t>(raw);
                SetError(ctx, ERR_DLL_EXCEPTION);
            } else {
                ctx->builtins.nDllLastError = GetLastError();
                // An error a callback left during the call stays; the result is still taken.
                uint16_t fromCallback = ctx->nErrorCode;
                SetError(ctx, 0);
                TakeResult(ctx, *s, raw, call.result);
                if (fromCallback)
                    SetError(ctx, fromCallback);
            }
        }
    }
    ReleaseCall(ctx, *s);
    HeapFree(GetProcessHeap(), 0, s);
}

void CaseDllCall(BDS* ctx, BuiltinCall& call) { RunDllCall(ctx, call, 0); }
void CaseDllCallCdecl(BDS* ctx, BuiltinCall& call) { RunDllCall(ctx, call, 1); }

const BuiltinRow kRows[] = {
    {421, CaseDllCall},
    {424, CaseDllCallCdecl},
};

}  // namespace

extern const BuiltinFamily g_DllCallBuiltins = {"dllcall", kRows,
                                                static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
