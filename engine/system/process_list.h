// Finding running processes by program name or process id (the lookups under AppExist,
// AppProcId, AppWaitClose and TerminateApp), and small process helpers: the WOW64 test of
// a window's process, file-system redirection and the 64-bit program test.
//
// A lookup takes the first road the system serves: with the session-only flag the
// terminal-services list of the current session, else the performance data of the
// "Process" object; when that road fails (or lists no process at all), a process snapshot,
// whose sessions come from ProcessIdToSessionId. By name, a process matches when its base
// name equals the one asked for (case ignored) and so does its extension, unless the name
// asked for has none.
#pragma once

#include <windows.h>
#include <cstdint>

struct BDS;
struct StrBuilder;

// The name (or, with `byId`, the process id as decimal text) looked up. Without `collect`
// the first match answers its id; with it every match's id is appended to `list` ("%ld",
// TAB between them) and the last one's is answered. 0 when none matches, -1 when the lookup
// fails (the failing step recorded with StoreLastError, e.g. "'Invalid application name'").
int32_t ProcessListToolHelpA(BDS* ctx, const char* nameOrId, bool sessionOnly, bool byId, bool collect,
                             StrBuilder* list);
// The same for a wide program name, without collecting.
int32_t ProcessListWtsW(BDS* ctx, const wchar_t* name, bool sessionOnly);

// 1 when the window's process could be asked and is not a WOW64 process, else 0.
int32_t IsWindowProcessWow64(HWND window);

// "Disable" or "Revert" (case ignored) of the file-system redirection of a 32-bit engine
// under WOW64: the old value's low 32 bits for Disable, the result for Revert of that
// value; -1 otherwise, and always in a 64-bit engine.
int32_t Wow64FsRedirection(BDS* ctx, const char* word, int32_t oldValue);

// 1 when the file is a 64-bit Windows program, else 0.
int32_t IsBinary64Bit(const char* path);
