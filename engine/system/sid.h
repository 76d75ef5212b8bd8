// The SID services of the logon and registry-link code: a token's user SID and logon SID
// as copies, and the text form of a SID ("S-1-5-21-...").
//
// SID copies are blocks of the process heap; the caller owns them and frees them with
// HeapFree(GetProcessHeap(), 0, sid). Failures answer 0 and record the Windows code with
// StoreLastError under the name of the step that failed; they set no error number.
#pragma once

#include <windows.h>
#include <cstddef>

struct BDS;

// The token's user SID (TokenUser). Answers 1 with the copy in *sid, or 0.
int ObtainUserSid(BDS* ctx, HANDLE token, PSID* sid);
// The token's logon SID: the first group whose attributes hold SE_GROUP_LOGON_ID. Answers
// 1 with the copy in *sid, or 0 (also for a token without one).
int ObtainLoginSid(BDS* ctx, HANDLE token, PSID* sid);

// "S-1-" + the identifier authority + "-" and each sub-authority in decimal; an authority
// above 32 bits is written as "0x" and twelve hex digits. The room (in characters, NUL
// included) must exceed 28 + 12 per sub-authority. Answers 1, or 0 for an invalid SID or
// too small a room.
int ConvertMySidToTextW(BDS* ctx, PSID sid, wchar_t* text, size_t room);
int ConvertMySidToTextA(BDS* ctx, PSID sid, char* text, size_t room);
