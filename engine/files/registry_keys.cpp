// The registry key built-ins: RegOpenKey, RegCreateKey, RegOpenKeyEx, RegCreateKeyEx,
// RegCloseKey, RegConnect, RegOpenFlags, RegExistKey, RegDeleteKey, RegQueryKey and
// RegQueryKeys, and the key's value names and time (RegQueryItem, RegQueryKeyLastWriteTime).
#include <cstring>
#include <cwchar>

#include "engine/core/builtin.h"
#include "engine/core/errors.h"
#include "engine/core/numtext.h"
#include "engine/files/file_time.h"
#include "engine/files/registry.h"

namespace {

enum : uint16_t {
    ERR_OPEN_FAILED = 1158,
    ERR_CREATE_FAILED = 1159,
    ERR_DELETE_FAILED = 1229,
    ERR_CLOSE_FAILED = 1231,
    ERR_NO_SUBKEY = 1451,
    ERR_SUBKEY_FAILED = 1452,
    ERR_REMOTE_NOT_INSTALLED = 1502,
    ERR_REMOTE_BAD_NAME = 1503,
    ERR_REMOTE_BAD_HANDLE = 1504,
    ERR_REMOTE_FAILED = 1505,
    ERR_BLANK_SUBKEY = 1566,
    ERR_BAD_FLAGS = 1822,
    ERR_BAD_VALUE = 1824,
    ERR_KEY_TIME_FAILED = 1762,
    ERR_FUNCTION_FAILED = 1825,
};

constexpr REGSAM READ_WRITE = KEY_READ | KEY_WRITE;
constexpr DWORD VALID_CREATE_OPTIONS =
    REG_OPTION_VOLATILE | REG_OPTION_CREATE_LINK | REG_OPTION_BACKUP_RESTORE;
constexpr DWORD KEY_NAME_ROOM = 1281;   // characters of RegQueryKey's name
constexpr DWORD VALUE_NAME_ROOM = 2050;  // bytes of a value name of RegQueryItem

// A key opened or created from a key with a recorded view carries that view too. Answers
// false (the new key closed, 1588 set) when it cannot be recorded.
bool InheritView(BDS* ctx, HKEY parent, HKEY opened)
{
    uint32_t view = GetKeyView(ctx, parent);
    if (!view || RememberKeyView(ctx, opened, view))
        return true;
    RegCloseKey(opened);
    return false;
}

// The arguments (key, subkey, [view]) that most key built-ins take, with the view flag;
// false with the error set. `resolve` reads the view (ResolveValueView for the built-ins
// that may name the key itself).
struct KeyArgs {
    HKEY key;
    const wchar_t* subkey;
    REGSAM viewFlag;
};

bool ReadKeyArgs(BDS* ctx, BuiltinCall& c, KeyArgs* args,
                 int (*resolve)(BDS*, int32_t, const wchar_t*, REGSAM*) = ResolveRegistryView)
{
    if (!WideFormAvailable(ctx))
        return false;
    args->key = ScriptKey(ArgInt(c, 1));
    args->subkey = ArgWText(ctx, c, 2);
    args->viewFlag = 0;
    return resolve(ctx, ArgInt(c, 3), args->subkey, &args->viewFlag) != 0;
}

// The outcome of a call that opened or created a key: the new handle as the result, or
// the Windows code recorded under `api` and the built-in's own error.
void AnswerNewKey(BDS* ctx, BuiltinCall& c, HKEY parent, LONG status, HKEY opened, const char* api,
                  uint16_t error)
{
    if (status != ERROR_SUCCESS) {
        StoreLastError(ctx, DWORD(status), api, true);
        SetError(ctx, error);
        return;
    }
    if (InheritView(ctx, parent, opened))
        SetResultInt(ctx, c.result, ScriptKeyHandle(opened));
}

// ---------------------------------------------------------------- open and create

void OpenOrCreateKey(BDS* ctx, BuiltinCall& c, bool create)
{
    KeyArgs a;
    if (!ReadKeyArgs(ctx, c, &a))
        return;
    HKEY opened = nullptr;
    LONG status = create ? RegCreateKeyExW(a.key, a.subkey, 0, nullptr, 0, READ_WRITE | a.viewFlag, nullptr,
                                           &opened, nullptr)
                         : RegOpenKeyExW(a.key, a.subkey, 0, READ_WRITE | a.viewFlag, &opened);
    if (create)
        AnswerNewKey(ctx, c, a.key, status, opened, "RegCreateKey", ERR_CREATE_FAILED);
    else
        AnswerNewKey(ctx, c, a.key, status, opened, "RegOpenKey", ERR_OPEN_FAILED);
}

void CaseRegOpenKey(BDS* ctx, BuiltinCall& c) { OpenOrCreateKey(ctx, c, false); }

void CaseRegCreateKey(BDS* ctx, BuiltinCall& c) { OpenOrCreateKey(ctx, c, true); }

void CaseRegOpenKeyEx(BDS* ctx, BuiltinCall& c)
{
    if (!WideFormAvailable(ctx))
        return;
    HKEY parent = ScriptKey(ArgInt(c, 1));
    const wchar_t* subkey = ArgWText(ctx, c, 2);
    REGSAM access = 0;
    int32_t view = 0;
    REGSAM viewFlag = 0;
    if (!GetAccessWords(ctx, ArgText(ctx, c, 3), ArgText(ctx, c, 4), &access, &view) ||
        !ResolveRegistryView(ctx, view, subkey, &viewFlag))
        return;
    const char* optionWord = ArgText(ctx, c, 5);
    DWORD options = 0;
    if (*optionWord && IsIntegerTextA(optionWord))
        options = DWORD(TextToLongA(optionWord));
    // A link key is opened as itself only below a root key: the script's own keys may be
    // links followed already.
    if ((options & REG_OPTION_OPEN_LINK) && !IsRootKey(parent)) {
        SetError(ctx, ERR_FUNCTION_FAILED);
        return;
    }
    HKEY opened = nullptr;
    LONG status = RegOpenKeyExW(parent, subkey, options, viewFlag | access, &opened);
    AnswerNewKey(ctx, c, parent, status, opened, "RegOpenKeyEx", ERR_OPEN_FAILED);
}

void CaseRegCreateKeyEx(BDS* ctx, BuiltinCall& c)
{
    if (!WideFormAvailable(ctx))
        return;
    HKEY parent = ScriptKey(ArgInt(c, 1));
    const wchar_t* subkey = ArgWText(ctx, c, 2);
    int32_t options = ArgInt(c, 4);
    if (options < 0 || (DWORD(options) & ~VALID_CREATE_OPTIONS)) {
        SetError(ctx, ERR_BAD_VALUE);
        return;
    }
    REGSAM access = 0;
    REGSAM viewFlag = 0;
    if (!GetAccessWords(ctx, ArgText(ctx, c, 3), nullptr, &access, nullptr) ||
        !ResolveRegistryView(ctx, ArgInt(c, 5), subkey, &viewFlag))
        return;
    HKEY opened = nullptr;
    LONG status = RegCreateKeyExW(parent, subkey, 0, nullptr, DWORD(options), viewFlag | access, nullptr,
                                  &opened, nullptr);
    AnswerNewKey(ctx, c, parent, status, opened, "RegCreateKeyEx", ERR_SUBKEY_FAILED);
}

// ---------------------------------------------------------------- close, connect, default view

void CaseRegCloseKey(BDS* ctx, BuiltinCall& c)
{
    HKEY key = ScriptKey(ArgInt(c, 1));
    if (RegCloseKey(key) != ERROR_SUCCESS) {
        SetError(ctx, ERR_CLOSE_FAILED);
        return;
    }
    ForgetKeyView(ctx, key);
    SetResultInt(ctx, c.result, 1);
}

uint16_t ConnectError(LONG status)
{
    switch (status) {
    case ERROR_INVALID_HANDLE:
        return ERR_REMOTE_BAD_HANDLE;
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_COMPUTERNAME:
        return ERR_REMOTE_BAD_NAME;
    case ERROR_DLL_INIT_FAILED:
        return ERR_REMOTE_NOT_INSTALLED;
    default:
        return ERR_REMOTE_FAILED;
    }
}

void CaseRegConnect(BDS* ctx, BuiltinCall& c)
{
    const char* computer = ArgText(ctx, c, 1);
    HKEY root = ScriptKey(ArgInt(c, 2));
    const char* osWord = ArgText(ctx, c, 3);
    uint32_t view = 0;
    if (lstrcmpiA(osWord, "REMOTEOS32") == 0)
        view = 1;
    else if (lstrcmpiA(osWord, "REMOTEOS64") == 0)
        view = 2;
    else if (*osWord) {
        SetError(ctx, ERR_BAD_FLAGS);
        return;
    }
    // A computer name is at most 255 characters behind its two backslashes; a longer text
    // is refused as the platform would refuse it, before its name handling sees it.
    constexpr size_t COMPUTER_NAME_MAX = 257;
    HKEY remote = nullptr;
    LONG status = strnlen(computer, COMPUTER_NAME_MAX + 1) > COMPUTER_NAME_MAX
                      ? LONG(ERROR_INVALID_COMPUTERNAME)
                      : RegConnectRegistryA(computer, root, &remote);
    if (status != ERROR_SUCCESS) {
        StoreLastError(ctx, DWORD(status), "RegConnectRegistry", true);
        SetError(ctx, ConnectError(status));
        return;
    }
    if (view && !RememberKeyView(ctx, remote, view)) {
        RegCloseKey(remote);
        return;
    }
    SetResultInt(ctx, c.result, ScriptKeyHandle(remote));
}

void CaseRegOpenFlags(BDS* ctx, BuiltinCall& c)
{
    uint32_t& current = ctx->eng.ctl.DefaultRegistryView;
    int32_t view = ArgInt(c, 1);
    if (view != 0 && view != 1 && view != 2 && view != 32 && view != 64) {
        SetError(ctx, ERR_BAD_FLAGS);
        return;
    }
    uint32_t previous = current;
    current = view ? uint32_t(view) : 2;
    SetResultInt(ctx, c.result, int32_t(previous));
}

// ---------------------------------------------------------------- exist, delete

void CaseRegExistKey(BDS* ctx, BuiltinCall& c)
{
    KeyArgs a;
    if (!ReadKeyArgs(ctx, c, &a))
        return;
    HKEY opened = nullptr;
    bool exists = RegOpenKeyExW(a.key, a.subkey, 0, KEY_QUERY_VALUE | a.viewFlag, &opened) == ERROR_SUCCESS;
    if (exists)
        RegCloseKey(opened);
    SetResultInt(ctx, c.result, exists ? 1 : 0);
}

void CaseRegDeleteKey(BDS* ctx, BuiltinCall& c)
{
    KeyArgs a;
    if (!ReadKeyArgs(ctx, c, &a))
        return;
    if (!*a.subkey) {
        SetError(ctx, ERR_BLANK_SUBKEY);
        return;
    }
    LONG status = DeleteRegKeyTreeW(ctx, a.key, a.subkey, a.viewFlag);
    if (status != ERROR_SUCCESS) {
        StoreLastError(ctx, DWORD(status), "RegDeleteKey", true);
        SetError(ctx, ERR_DELETE_FAILED);
        return;
    }
    SetResultInt(ctx, c.result, 1);
}

// ---------------------------------------------------------------- subkey names

void CaseRegQueryKey(BDS* ctx, BuiltinCall& c)
{
    wchar_t name[KEY_NAME_ROOM];
    if (RegEnumKeyW(ScriptKey(ArgInt(c, 1)), DWORD(ArgInt(c, 2)), name, KEY_NAME_ROOM) != ERROR_SUCCESS)
        name[0] = 0;
    SetResultWText(ctx, c.result, name);
}

// Calls visit(name, length) for each subkey name in turn; stops at the first failure.
template <typename Visit>
void ForEachSubkey(HKEY key, Visit visit)
{
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return;
        visit(name, length);
    }
}

void CaseRegQueryKeys(BDS* ctx, BuiltinCall& c)
{
    HKEY key = ScriptKey(ArgInt(c, 1));
    size_t room = 0;   // bytes: each name, its TAB and some slack
    ForEachSubkey(key, [&](const wchar_t*, DWORD length) { room += length * sizeof(wchar_t) + 4; });

    RegBuffer buffer;
    if (!buffer.Reserve(ctx, room))
        return;
    wchar_t* list = buffer.As<wchar_t>();
    size_t capacity = buffer.size / sizeof(wchar_t);

    // A key that gains names between the two passes is cut at the room counted.
    size_t used = 0;
    ForEachSubkey(key, [&](const wchar_t* name, DWORD length) {
        if (used + length + 1 >= capacity)
            return;
        std::wmemcpy(list + used, name, length);
        used += length;
        list[used++] = L'\t';
    });
    if (used)
        --used;   // the last TAB
    SetResultWText(ctx, c.result, list, used);
}

// ---------------------------------------------------------------- value names and time

// The subkey of RegQueryItem and RegQueryKeyLastWriteTime opened for querying, or the
// script's key itself (then no view is chosen); 1451 when it cannot be opened.
bool OpenListedKey(BDS* ctx, BuiltinCall& c, CallKey* target)
{
    KeyArgs args;
    return ReadKeyArgs(ctx, c, &args, ResolveValueView)
           && OpenValueKey(ctx, args.key, args.subkey, KEY_QUERY_VALUE, args.viewFlag, false, target, ERR_NO_SUBKEY);
}

// Calls visit(name, length) for each value name (ANSI) in turn; stops at the first failure.
template <typename Visit>
void ForEachValueName(HKEY key, Visit visit)
{
    for (DWORD i = 0;; ++i) {
        char name[VALUE_NAME_ROOM];
        DWORD length = VALUE_NAME_ROOM;
        if (RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return;
        visit(name, length);
    }
}

void CaseRegQueryItem(BDS* ctx, BuiltinCall& c)
{
    CallKey target;
    if (!OpenListedKey(ctx, c, &target))
        return;
    size_t room = 0;
    ForEachValueName(target.key, [&](const char*, DWORD length) { room += length + 2; });

    RegBuffer buffer;
    if (!buffer.Reserve(ctx, room))
        return;
    char* list = buffer.As<char>();
    size_t capacity = buffer.size;
    // The unnamed default value is no item of the list.
    size_t used = 0;
    ForEachValueName(target.key, [&](const char* name, DWORD length) {
        if (length == 0 || used + length + 1 >= capacity)
            return;
        std::memcpy(list + used, name, length);
        used += length;
        list[used++] = '\t';
    });
    if (used)
        --used;
    SetResultText(ctx, c.result, list, used);
}

void CaseRegQueryKeyLastWriteTime(BDS* ctx, BuiltinCall& c)
{
    CallKey target;
    if (!OpenListedKey(ctx, c, &target))
        return;
    FILETIME written{};
    LONG status = RegQueryInfoKeyW(target.key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, &written);
    if (status != ERROR_SUCCESS) {
        StoreLastError(ctx, DWORD(status), "RegQueryInfoKey", true);
        SetError(ctx, ERR_KEY_TIME_FAILED);
        return;
    }
    char text[40];
    FileTimeFormat(ctx, written, text, sizeof text);
    SetResultText(ctx, c.result, text);
}

const BuiltinRow kRows[] = {
    {621, CaseRegCloseKey},   {622, CaseRegConnect},  {623, CaseRegCreateKey},
    {624, CaseRegCreateKeyEx}, {625, CaseRegDeleteKey}, {629, CaseRegExistKey},
    {632, CaseRegOpenFlags},  {633, CaseRegOpenKey},  {634, CaseRegOpenKeyEx},
    {639, CaseRegQueryItem},  {640, CaseRegQueryKey},  {641, CaseRegQueryKeyLastWriteTime},
    {642, CaseRegQueryKeys},
};

}  // namespace

extern const BuiltinFamily g_RegistryKeyBuiltins = {"registry keys", kRows,
                                                    static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
