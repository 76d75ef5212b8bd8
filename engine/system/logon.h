// Logging a user on and impersonating him, his registry hive, and undoing the logon.
//
// The program-start built-ins use it to run a program as another user when the system
// offers no direct way:
//
//     if (!LogonAndImpersonateW(ctx, domain, user, password, LOGON32_LOGON_INTERACTIVE, 3))
//         ...                                  // failed: LastError names the failing step
//     ... start the program ...
//     RevertLogonImpersonation(ctx);           // always, after a successful logon
//
// Impersonation acts on the calling (the script's) thread. Every operation answers 1 or 0;
// a failure records the Windows code with StoreLastError under the name of the failing
// step and sets no error number.
#pragma once

#include <windows.h>
#include <cstddef>
#include <cstdint>

struct BDS;

// Options of LogonAndImpersonateW.
enum : uint32_t {
    LOGON_GRANT_DESKTOP = 1,   // grant the logon SID access to "winsta0" and "default"
    LOGON_LOAD_PROFILE = 2,    // load the user's registry hive from his profile first
};

// With a user name: logs him on (logon types 2 to 5; others answer 0 without trying),
// optionally loads his hive, impersonates him and hands the token to the context
// (DLLServices request 32, which keeps it as LogonToken with the options), then grants the
// station and desktop when asked. A failure after the logon closes the token.
// With an empty user name: the undo (see RevertLogonImpersonation); answers 1.
int LogonAndImpersonateW(BDS* ctx, const wchar_t* domain, const wchar_t* user, const wchar_t* password,
                         uint32_t logonType, uint32_t options);
// The same with ANSI texts (LogonUserA; a failure of it is recorded as "LogonUser").
int LogonAndImpersonateA(BDS* ctx, const char* domain, const char* user, const char* password,
                         uint32_t logonType, uint32_t options);

// Undoes a logon: RevertToSelf, DLLServices request 32 without a token (the context sets
// its saved window station back and closes the token), the station and desktop grants of
// the logon taken back. Answers 1.
int RevertLogonImpersonation(BDS* ctx);

// ---------------------------------------------------------------- user hives

// Loads the token user's hive below HKEY_USERS\<his SID> from his profile (the privilege
// to restore is enabled for it).
int LoadUserProfileHiveW(BDS* ctx, HANDLE token);
// The hive file of the profile of a SID: the expanded "ProfileImagePath" of its ProfileList
// entry, with "\ntuser.dat" added unless it names a file. Room in characters.
int ProfilePathOfSidW(BDS* ctx, const wchar_t* sidText, wchar_t* path, size_t room);
// With `load`: loads the hive file below HKEY_USERS\<SID text> and remembers the SID text
// as the loaded hive; a hive already loaded (sharing violation) counts as loaded. Without:
// unloads HKEY_USERS\<SID text> and forgets the name.
int UserHiveLoadW(BDS* ctx, const wchar_t* sidText, const wchar_t* hiveFile, bool load);
int UserHiveLoadA(BDS* ctx, const char* sidText, const char* hiveFile, bool load);
// The SID text of the last hive loaded by UserHiveLoadW (process-wide), "" when none.
const wchar_t* LoadedHiveName();

// ---------------------------------------------------------------- entry points
// The calls that log on, impersonate, close the token, load hives and hand the token to the
// context go through this table, so that tests can replace them. Tests put the table back
// (LogonEntries() = LogonEntryDefaults()) before they end.

struct LogonEntryPoints {
    BOOL(WINAPI* LogonUserW)(LPCWSTR user, LPCWSTR domain, LPCWSTR password, DWORD type, DWORD provider,
                             PHANDLE token);
    BOOL(WINAPI* LogonUserA)(LPCSTR user, LPCSTR domain, LPCSTR password, DWORD type, DWORD provider,
                             PHANDLE token);
    BOOL(WINAPI* ImpersonateLoggedOnUser)(HANDLE token);
    BOOL(WINAPI* RevertToSelf)();
    BOOL(WINAPI* CloseHandle)(HANDLE handle);
    LSTATUS(WINAPI* RegLoadKeyW)(HKEY key, LPCWSTR subkey, LPCWSTR file);
    LSTATUS(WINAPI* RegUnLoadKeyW)(HKEY key, LPCWSTR subkey);
    LSTATUS(WINAPI* RegLoadKeyA)(HKEY key, LPCSTR subkey, LPCSTR file);
    LSTATUS(WINAPI* RegUnLoadKeyA)(HKEY key, LPCSTR subkey);
    // DLLServices request 32: keeps the token (or, with none, forgets it); answers the
    // token kept before.
    uint64_t (*KeepLogonToken)(BDS* ctx, uint32_t options, HANDLE token);
};

LogonEntryPoints& LogonEntries();
LogonEntryPoints LogonEntryDefaults();
