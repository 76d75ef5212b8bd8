// The host-service entry DLLServices (export) and the helpers it shares with built-ins.
#pragma once

#include <windows.h>
#include <cstdint>

struct BDS;

// One request of the host or an extender on the engine instance in `instance` (the
// context's memory handle). Answers the request's answer, 0 when it set an error or is
// unknown; the context's error number is left as it was (request 13 excepted).
extern "C" uint64_t DLLServices(HGLOBAL instance, uint16_t request, void* p1, void* p2, int64_t p3, uint64_t p4);

// Request 32: with a token, keeps it as the logon token with its option bits and remembers
// the process's window station; with none, sets that station back, closes the kept token
// and forgets both. Answers the token kept before.
uint64_t KeepLogonToken(BDS* ctx, uint32_t options, HANDLE token);

// Item n (from 1) of the text, separated by the delimiter's first character (a tab when it
// is empty), into ctx->szTextBuf (at most 2047 bytes); empty when there is no such item.
void GetDelimitedItem(BDS* ctx, int n, const char* text, const char* delimiter);

// The command id of the menu item whose path of item texts, reduced to letters and digits,
// equals the path (reduced the same way, up to a backslash); -1 when none matches.
int FindMenuItemByName(BDS* ctx, const char* path, HMENU menu);
