// Registry links and hives: RegSetEx with type 6 (a link key's target), RegDeleteLink,
// RegLoadHive and RegUnloadHive, with the native target paths of links.
//
// A link is a key created with REG_OPTION_CREATE_LINK whose REG_LINK value
// "SymbolicLinkValue" holds the native path ("\Registry\MACHINE\...") of the key it stands for.
#include <cwchar>

#include "engine/core/builtin.h"
#include "engine/core/errors.h"
#include "engine/files/registry.h"
#include "engine/system/heap_block.h"
#include "engine/system/privilege.h"
#include "engine/system/sid.h"

namespace {

enum : uint16_t {
    ERR_OPEN_FAILED = 1158,
    ERR_SET_FAILED = 1232,
    ERR_SECURITY = 1388,
    ERR_INTERNAL = 1425,
    ERR_SUBKEY_TOO_LONG = 1460,
    ERR_HIVE_NOT_FOUND = 1523,
    ERR_HIVE_PRIVILEGE = 1524,
    ERR_HIVE_BAD_HANDLE = 1525,
    ERR_HIVE_ACCESS = 1526,
    ERR_HIVE_IN_USE = 1527,
    ERR_HIVE_BAD_SUBKEY = 1528,
    ERR_HIVE_FAILED = 1529,
    ERR_HIVE_NOT_VALID = 1531,
    ERR_HIVE_BAD_KEY = 1532,
    ERR_UNLOAD_BAD_KEY = 1533,
    ERR_BLANK_SUBKEY = 1566,
    ERR_NO_MEMORY = 1588,
    ERR_BAD_VALUE = 1824,
    ERR_FUNCTION_FAILED = 1825,
};

constexpr size_t SID_TEXT_ROOM = 512;
constexpr size_t HIVE_FILE_ROOM = 2050;
constexpr wchar_t LINK_VALUE[] = L"SymbolicLinkValue";
constexpr wchar_t USER_HIVES[] = L"\\Registry\\USER\\";
constexpr wchar_t MACHINE[] = L"\\Registry\\MACHINE\\";
constexpr wchar_t MACHINE_32[] = L"\\Registry\\MACHINE\\Software\\Wow6432Node\\";
constexpr wchar_t CLASSES[] = L"\\Registry\\MACHINE\\Software\\Classes\\";
constexpr wchar_t CLASSES_32[] = L"\\Registry\\MACHINE\\Software\\Classes\\Wow6432Node\\";

// The text before the first backslash equals the word (no regard to case).
bool FirstComponentIs(const wchar_t* text, size_t length, const wchar_t* word)
{
    size_t n = std::wcslen(word);
    return length == n && _wcsnicmp(text, word, n) == 0;
}

// Joins prefix and rest into `path`; false when the whole does not fit.
bool JoinPath(const wchar_t* prefix, const wchar_t* rest, wchar_t* path, size_t room)
{
    size_t a = std::wcslen(prefix);
    size_t b = std::wcslen(rest);
    if (a + b >= room)
        return false;
    std::wmemcpy(path, prefix, a);
    std::wmemcpy(path + a, rest, b + 1);
    return true;
}

}  // namespace

// ---------------------------------------------------------------- target paths

wchar_t* GetGurrentUserRegPath(BDS* ctx)
{
    HANDLE token = nullptr;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, FALSE, &token) &&
        !OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token) &&
        !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        StoreLastError(ctx, GetLastError(), "GetGurrentUserRegPath - Get thread token", true);
        SetError(ctx, ERR_SECURITY);
        return nullptr;
    }
    PSID sid = nullptr;
    int found = ObtainUserSid(ctx, token, &sid);
    DWORD failure = GetLastError();
    CloseHandle(token);
    if (!found) {
        StoreLastError(ctx, failure, "GetGurrentUserRegPath - ObtainUserSid", true);
        SetError(ctx, ERR_SECURITY);
        return nullptr;
    }
    wchar_t sidText[SID_TEXT_ROOM];
    int converted = ConvertMySidToTextW(ctx, sid, sidText, SID_TEXT_ROOM);
    HeapFree(GetProcessHeap(), 0, sid);
    if (!converted) {
        SetError(ctx, ERR_INTERNAL);
        return nullptr;
    }
    size_t length = std::wcslen(USER_HIVES) + std::wcslen(sidText) + 1;
    HeapBlock path((length + 1) * sizeof(wchar_t));
    if (!path.data) {
        SetError(ctx, ERR_NO_MEMORY);
        return nullptr;
    }
    wchar_t* text = path.As<wchar_t>();
    std::wcscpy(text, USER_HIVES);
    std::wcscat(text, sidText);
    std::wcscat(text, L"\\");
    return static_cast<wchar_t*>(path.Release());
}

int RegLinkTargetPath(BDS* ctx, const wchar_t* target, REGSAM viewFlag, wchar_t* path, size_t room)
{
    uint16_t before = ctx->nErrorCode;
    if (!target || !*target) {
        SetError(ctx, ERR_BAD_VALUE);
        return 0;
    }
    const wchar_t* slash = std::wcschr(target, L'\\');
    size_t aliasLength = slash ? size_t(slash - target) : std::wcslen(target);
    const wchar_t* rest = slash ? slash + 1 : L"";
    bool view32 = viewFlag == KEY_WOW64_32KEY;

    bool fits = false;
    if (FirstComponentIs(target, aliasLength, L"@REGMACHINE")) {
        const wchar_t* next = std::wcschr(rest, L'\\');
        size_t firstLength = next ? size_t(next - rest) : std::wcslen(rest);
        if (view32 && FirstComponentIs(rest, firstLength, L"Software"))
            fits = JoinPath(MACHINE_32, next ? next + 1 : L"", path, room);
        else
            fits = JoinPath(MACHINE, rest, path, room);
    } else if (FirstComponentIs(target, aliasLength, L"@REGCLASSES")) {
        fits = JoinPath(view32 ? CLASSES_32 : CLASSES, rest, path, room);
    } else if (FirstComponentIs(target, aliasLength, L"@REGCURRENT")) {
        wchar_t* user = GetGurrentUserRegPath(ctx);
        if (!user)
            return 0;
        fits = JoinPath(user, rest, path, room);
        HeapFree(GetProcessHeap(), 0, user);
    } else if (FirstComponentIs(target, aliasLength, L"@REGUSERS")) {
        fits = JoinPath(USER_HIVES, rest, path, room);
    }
    if (!fits) {
        SetError(ctx, ERR_BAD_VALUE);
        return 0;
    }
    ctx->nErrorCode = before;
    return 1;
}

// ---------------------------------------------------------------- links

void DoRegSetLink(BDS* ctx, resultants* result, HKEY key, const wchar_t* name, const wchar_t* target,
                  int32_t view)
{
    if (*name) {
        SetError(ctx, ERR_SUBKEY_TOO_LONG);
        return;
    }
    REGSAM viewFlag = 0;
    wchar_t path[REG_LINK_ROOM];
    if (!ResolveRegistryView(ctx, view, target, &viewFlag) ||
        !RegLinkTargetPath(ctx, target, viewFlag, path, REG_LINK_ROOM))
        return;
    // The path is stored without its NUL.
    LONG status = RegSetValueExW(key, LINK_VALUE, 0, REG_LINK, reinterpret_cast<const BYTE*>(path),
                                 DWORD(std::wcslen(path) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS) {
        StoreLastError(ctx, DWORD(status), "RegSetValueEx", true);
        SetError(ctx, ERR_SET_FAILED);
        return;
    }
    SetResultInt(ctx, result, 1);
}

namespace {

// Opens the link key itself (not the key it stands for) and deletes it with the native
// call, which takes the key and its target value at once: a failure leaves the link whole.
void DeleteLink(BDS* ctx, BuiltinCall& c)
{
    HKEY root = ScriptKey(ArgInt(c, 1));
    const wchar_t* subkey = ArgWText(ctx, c, 2);
    REGSAM viewFlag = 0;
    if (!*subkey) {
        SetError(ctx, ERR_BLANK_SUBKEY);
        return;
    }
    if (!ResolveRegistryView(ctx, ArgInt(c, 3), subkey, &viewFlag))
        return;
    if (!IsRootKey(root)) {
        StoreLastError(ctx, ERROR_BADKEY, "RegDeleteLink", true);
        SetError(ctx, ERR_FUNCTION_FAILED);
        return;
    }
    // The classes root merges two hives; its links live in the machine's half.
    constexpr wchar_t CLASSES_KEY[] = L"Software\\Classes\\";
    HeapBlock classesPath(root == HKEY_CLASSES_ROOT ? (std::wcslen(subkey) + 32) * sizeof(wchar_t) : 0);
    if (root == HKEY_CLASSES_ROOT) {
        if (!classesPath.data) {
            SetError(ctx, ERR_NO_MEMORY);
            return;
        }
        std::wcscpy(classesPath.As<wchar_t>(), CLASSES_KEY);
        std::wcscat(classesPath.As<wchar_t>(), subkey);
        subkey = classesPath.As<wchar_t>();
        root = HKEY_LOCAL_MACHINE;
    }
    HKEY link = nullptr;
    LONG status = RegOpenKeyExW(root, subkey, REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS | viewFlag, &link);
    if (status != ERROR_SUCCESS) {
        StoreLastError(ctx, DWORD(status), "RegOpenKeyEx", true);
        SetError(ctx, ERR_OPEN_FAILED);
        return;
    }
    PfnZwDeleteKey zwDeleteKey = ZwDeleteKeyEntry();
    if (!zwDeleteKey) {
        StoreLastError(ctx, GetLastError(), "ZwDeleteKey", true);
        SetError(ctx, ERR_FUNCTION_FAILED);
    } else if (LONG ntStatus = zwDeleteKey(link); ntStatus != 0) {
        StoreLastError(ctx, DWORD(ntStatus), "ZwDeleteKey", true);
        SetError(ctx, ERR_FUNCTION_FAILED);
    } else {
        SetResultInt(ctx, c.result, 1);
    }
    RegCloseKey(link);
}

void CaseRegDeleteLink(BDS* ctx, BuiltinCall& c)
{
    if (WideFormAvailable(ctx))
        DeleteLink(ctx, c);
}

// ---------------------------------------------------------------- hives

}  // namespace

uint16_t RegLoadHiveError(LONG status)
{
    switch (status) {
    case ERROR_ACCESS_DENIED:
        return ERR_HIVE_ACCESS;
    case ERROR_INVALID_HANDLE:
        return ERR_HIVE_BAD_HANDLE;
    case ERROR_SHARING_VIOLATION:
        return ERR_HIVE_IN_USE;
    case ERROR_REGISTRY_CORRUPT:
        return ERR_HIVE_NOT_VALID;
    case ERROR_BADKEY:
        return ERR_HIVE_BAD_KEY;
    case ERROR_REGISTRY_IO_FAILED:
        return ERR_HIVE_NOT_FOUND;
    default:
        return ERR_HIVE_FAILED;
    }
}

uint16_t RegUnloadHiveError(LONG status)
{
    switch (status) {
    case ERROR_ACCESS_DENIED:
        return ERR_HIVE_ACCESS;
    case ERROR_INVALID_HANDLE:
        return ERR_HIVE_BAD_HANDLE;
    case ERROR_INVALID_PARAMETER:
        return ERR_HIVE_BAD_SUBKEY;
    case ERROR_BADKEY:
        return ERR_UNLOAD_BAD_KEY;
    default:
        return ERR_HIVE_FAILED;
    }
}

namespace {

void CaseRegLoadHive(BDS* ctx, BuiltinCall& c)
{
    if (!WideFormAvailable(ctx))
        return;
    const wchar_t* file = ArgWText(ctx, c, 3);
    if (std::wcslen(file) >= HIVE_FILE_ROOM) {   // no hive file has such a name
        StoreLastError(ctx, ERROR_FILENAME_EXCED_RANGE, "RegLoadKey", true);
        SetError(ctx, ERR_HIVE_FAILED);
        return;
    }
    if (!EnablePrivilege(ctx, "SeRestorePrivilege")) {
        SetError(ctx, ERR_HIVE_PRIVILEGE);
        return;
    }
    LONG status = RegLoadKeyW(ScriptKey(ArgInt(c, 1)), ArgWText(ctx, c, 2), file);
    if (status != ERROR_SUCCESS) {
        StoreLastError(ctx, DWORD(status), "RegLoadKey", true);
        SetError(ctx, RegLoadHiveError(status));
        return;
    }
    SetResultInt(ctx, c.result, 1);
}

void CaseRegUnloadHive(BDS* ctx, BuiltinCall& c)
{
    if (!WideFormAvailable(ctx))
        return;
    if (!EnablePrivilege(ctx, "SeRestorePrivilege")) {
        SetError(ctx, ERR_HIVE_PRIVILEGE);
        return;
    }
    LONG status = RegUnLoadKeyW(ScriptKey(ArgInt(c, 1)), ArgWText(ctx, c, 2));
    if (status != ERROR_SUCCESS) {
        StoreLastError(ctx, DWORD(status), "RegUnLoadKey", true);
        SetError(ctx, RegUnloadHiveError(status));
        return;
    }
    SetResultInt(ctx, c.result, 1);
}

const BuiltinRow kRows[] = {
    {626, CaseRegDeleteLink},
    {631, CaseRegLoadHive},
    {654, CaseRegUnloadHive},
};

}  // namespace

extern const BuiltinFamily g_RegistryLinkBuiltins = {"registry links and hives", kRows,
                                                     static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
