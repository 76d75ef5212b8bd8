// Logging a user on and impersonating him, his registry hive, and the undo.
#include "engine/system/logon.h"

#include <cwchar>

#include "engine/core/errors.h"
#include "engine/core/host_services.h"
#include "engine/system/privilege.h"
#include "engine/system/sid.h"
#include "engine/system/station_access.h"

namespace {

constexpr size_t SID_TEXT_ROOM = 256;
constexpr size_t HIVE_NAME_ROOM = 257;    // 256 characters and the NUL
constexpr DWORD PROFILE_VALUE_ROOM = 1024;
constexpr wchar_t PROFILE_LIST[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\";
constexpr wchar_t HIVE_FILE_NAME[] = L"\\ntuser.dat";

// The SID text of the last hive loaded, for the whole process.
wchar_t g_LoadedHiveName[HIVE_NAME_ROOM];

LogonEntryPoints& Entries()
{
    static LogonEntryPoints entries = LogonEntryDefaults();
    return entries;
}

// The steps after a successful LogonUser: load the hive, impersonate, keep the token, grant.
int ImpersonateToken(BDS* ctx, HANDLE token, uint32_t options)
{
    LogonEntryPoints& e = Entries();
    if ((options & LOGON_LOAD_PROFILE) && !LoadUserProfileHiveW(ctx, token)) {
        e.CloseHandle(token);
        return 0;
    }
    if (!e.ImpersonateLoggedOnUser(token)) {
        StoreLastError(ctx, GetLastError(), "ImpersonateLoggedOnUser", true);
        e.CloseHandle(token);
        return 0;
    }
    // A token still kept from a logon that was never undone is closed: the context now holds
    // the new one.
    auto previous = reinterpret_cast<HANDLE>(e.KeepLogonToken(ctx, options, token));
    if (previous && previous != token)
        e.CloseHandle(previous);
    return (options & LOGON_GRANT_DESKTOP) ? GrantStationAndDesktop(ctx, token) : 1;
}

bool IsLogonType(uint32_t type)
{
    return type >= LOGON32_LOGON_INTERACTIVE && type <= LOGON32_LOGON_SERVICE;
}

// Both twins: logOn(&token) is the LogonUser call, recorded under logonName when it fails.
template <typename Char, typename LogOn>
int LogonAndImpersonate(BDS* ctx, const Char* user, uint32_t logonType, uint32_t options, const char* logonName,
                        LogOn logOn)
{
    if (!user || !user[0])
        return RevertLogonImpersonation(ctx);
    if (!IsLogonType(logonType)) {
        StoreLastError(ctx, ERROR_INVALID_PARAMETER, "LogonAndImpersonate", true);
        return 0;
    }
    HANDLE token = nullptr;
    if (!logOn(&token)) {
        StoreLastError(ctx, GetLastError(), logonName, true);
        return 0;
    }
    return ImpersonateToken(ctx, token, options);
}

// Queries the local account policy once and lets the answer go; the undo of a logon has
// always ended with it. NETAPI32 is loaded by name, so a system without it skips the step.
void QueryUserModals()
{
    using PfnNetUserModalsGet = DWORD(WINAPI*)(LPCWSTR, DWORD, LPBYTE*);
    using PfnNetApiBufferFree = DWORD(WINAPI*)(LPVOID);
    HMODULE netapi = LoadLibraryA("NETAPI32.DLL");
    if (!netapi)
        return;
    auto modalsGet = reinterpret_cast<PfnNetUserModalsGet>(GetProcAddress(netapi, "NetUserModalsGet"));
    auto bufferFree = reinterpret_cast<PfnNetApiBufferFree>(GetProcAddress(netapi, "NetApiBufferFree"));
    if (modalsGet && bufferFree) {
        LPBYTE info = nullptr;
        if (modalsGet(nullptr, 0, &info) == 0 && info)
            bufferFree(info);
    }
    FreeLibrary(netapi);
}

void RememberHiveName(const wchar_t* sidText)
{
    size_t n = wcsnlen(sidText, HIVE_NAME_ROOM - 1);
    std::wmemcpy(g_LoadedHiveName, sidText, n);
    g_LoadedHiveName[n] = 0;
}

void RememberHiveName(const char* sidText)
{
    size_t n = 0;
    for (; n < HIVE_NAME_ROOM - 1 && sidText[n]; ++n)   // SID texts are ASCII
        g_LoadedHiveName[n] = wchar_t(static_cast<unsigned char>(sidText[n]));
    g_LoadedHiveName[n] = 0;
}

// Both twins of UserHiveLoad: the entries and the names of the calls differ.
template <typename Char, typename Load, typename Unload>
int HiveLoadOrUnload(BDS* ctx, const Char* sidText, const Char* hiveFile, bool load, Load loadKey,
                     Unload unloadKey, const char* loadName, const char* unloadName)
{
    if (!sidText[0]) {
        StoreLastError(ctx, ERROR_INVALID_PARAMETER, load ? loadName : unloadName, true);
        return 0;
    }
    if (load) {
        LSTATUS status = loadKey(HKEY_USERS, sidText, hiveFile);
        if (status == ERROR_SUCCESS) {
            RememberHiveName(sidText);
            return 1;
        }
        if (status == ERROR_SHARING_VIOLATION)   // the user's hive is loaded already
            return 1;
        StoreLastError(ctx, DWORD(status), loadName, true);
        return 0;
    }
    LSTATUS status = unloadKey(HKEY_USERS, sidText);
    if (status != ERROR_SUCCESS) {
        StoreLastError(ctx, DWORD(status), unloadName, true);
        return 0;
    }
    g_LoadedHiveName[0] = 0;
    return 1;
}

}  // namespace

// ---------------------------------------------------------------- entry points

LogonEntryPoints LogonEntryDefaults()
{
    return {::LogonUserW,   ::LogonUserA,    ::ImpersonateLoggedOnUser, ::RevertToSelf, ::CloseHandle,
            ::RegLoadKeyW,  ::RegUnLoadKeyW, ::RegLoadKeyA,             ::RegUnLoadKeyA, KeepLogonToken};
}

LogonEntryPoints& LogonEntries() { return Entries(); }

// ---------------------------------------------------------------- logon and undo

int LogonAndImpersonateW(BDS* ctx, const wchar_t* domain, const wchar_t* user, const wchar_t* password,
                         uint32_t logonType, uint32_t options)
{
    return LogonAndImpersonate(ctx, user, logonType, options, "LogonUserW", [&](HANDLE* token) {
        return Entries().LogonUserW(user, domain, password, logonType, LOGON32_PROVIDER_DEFAULT, token);
    });
}

int LogonAndImpersonateA(BDS* ctx, const char* domain, const char* user, const char* password,
                         uint32_t logonType, uint32_t options)
{
    return LogonAndImpersonate(ctx, user, logonType, options, "LogonUser", [&](HANDLE* token) {
        return Entries().LogonUserA(user, domain, password, logonType, LOGON32_PROVIDER_DEFAULT, token);
    });
}

int RevertLogonImpersonation(BDS* ctx)
{
    LogonEntryPoints& e = Entries();
    e.RevertToSelf();
    e.KeepLogonToken(ctx, 0, nullptr);
    RevokeStationAndDesktop(ctx);   // as the script's own user again
    QueryUserModals();
    return 1;
}

// ---------------------------------------------------------------- user hives

int LoadUserProfileHiveW(BDS* ctx, HANDLE token)
{
    PSID sid = nullptr;
    if (!ObtainUserSid(ctx, token, &sid))
        return 0;
    wchar_t sidText[SID_TEXT_ROOM];
    int converted = ConvertMySidToTextW(ctx, sid, sidText, SID_TEXT_ROOM);
    HeapFree(GetProcessHeap(), 0, sid);
    wchar_t hiveFile[SID_TEXT_ROOM];
    return converted && ProfilePathOfSidW(ctx, sidText, hiveFile, SID_TEXT_ROOM) &&
           EnablePrivilege(ctx, "SeRestorePrivilege") && UserHiveLoadW(ctx, sidText, hiveFile, true);
}

int ProfilePathOfSidW(BDS* ctx, const wchar_t* sidText, wchar_t* path, size_t room)
{
    constexpr size_t LIST_LENGTH = sizeof PROFILE_LIST / sizeof(wchar_t) - 1;
    wchar_t keyPath[LIST_LENGTH + SID_TEXT_ROOM];
    size_t sidLength = wcsnlen(sidText, SID_TEXT_ROOM);
    if (sidLength >= SID_TEXT_ROOM) {
        StoreLastError(ctx, ERROR_INVALID_PARAMETER, "RegOpenKeyEx", true);
        return 0;
    }
    std::wmemcpy(keyPath, PROFILE_LIST, LIST_LENGTH);
    std::wmemcpy(keyPath + LIST_LENGTH, sidText, sidLength + 1);

    HKEY key = nullptr;
    LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key);
    if (status != ERROR_SUCCESS) {
        StoreLastError(ctx, DWORD(status), "RegOpenKeyEx", true);
        return 0;
    }
    auto fail = [&](DWORD code, const char* step) {
        StoreLastError(ctx, code, step, true);
        RegCloseKey(key);
        return 0;
    };
    wchar_t raw[PROFILE_VALUE_ROOM + 1] = {};
    DWORD size = PROFILE_VALUE_ROOM * sizeof(wchar_t);
    status = RegQueryValueExW(key, L"ProfileImagePath", nullptr, nullptr, reinterpret_cast<BYTE*>(raw), &size);
    if (status != ERROR_SUCCESS)
        return fail(DWORD(status), "RegQueryValueEx");
    DWORD expanded = ExpandEnvironmentStringsW(raw, path, DWORD(room));
    if (expanded == 0 || expanded > room)
        return fail(expanded ? ERROR_INSUFFICIENT_BUFFER : GetLastError(), "ExpandEnvironmentStrings");
    // A profile folder holds the hive as ntuser.dat; a path may also name the file itself.
    DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        size_t length = std::wcslen(path);
        const wchar_t* tail = HIVE_FILE_NAME;
        if (length && path[length - 1] == L'\\')
            ++tail;
        size_t tailLength = std::wcslen(tail);
        if (length + tailLength >= room)
            return fail(ERROR_INSUFFICIENT_BUFFER, "ExpandEnvironmentStrings");
        std::wmemcpy(path + length, tail, tailLength + 1);
    }
    status = RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        StoreLastError(ctx, DWORD(status), "RegCloseKey", true);
        return 0;
    }
    return 1;
}

int UserHiveLoadW(BDS* ctx, const wchar_t* sidText, const wchar_t* hiveFile, bool load)
{
    return HiveLoadOrUnload(ctx, sidText, hiveFile, load, Entries().RegLoadKeyW, Entries().RegUnLoadKeyW,
                            "RegLoadKeyW", "RegUnLoadKeyW");
}

int UserHiveLoadA(BDS* ctx, const char* sidText, const char* hiveFile, bool load)
{
    return HiveLoadOrUnload(ctx, sidText, hiveFile, load, Entries().RegLoadKeyA, Entries().RegUnLoadKeyA,
                            "RegLoadKey", "RegUnLoadKey");
}

const wchar_t* LoadedHiveName() { return g_LoadedHiveName; }
