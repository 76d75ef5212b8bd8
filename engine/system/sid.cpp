// A token's user and logon SIDs as heap copies, and the text form of a SID.
#include "engine/system/sid.h"

#include <cstdio>

#include "engine/core/errors.h"
#include "engine/system/heap_block.h"

namespace {

struct StepNames {
    const char* firstQuery;    // the size query failed for another reason than the room
    const char* firstAlloc;
    const char* secondQuery;
    const char* secondAlloc;
    const char* copy;
};

constexpr StepNames USER_STEPS = {"ObtainUserSid: GetTokenInformation (2)", "ObtainUserSid: HeapAlloc (1)",
                                  "ObtainUserSid: GetTokenInformation (1)", "ObtainUserSid: HeapAlloc (2)",
                                  "ObtainUserSid: CopySid"};
constexpr StepNames LOGON_STEPS = {"ObtainLoginSid: GetTokenInformation (1)", "ObtainLoginSid: HeapAlloc (1)",
                                   "ObtainLoginSid: GetTokenInformation (2)", "ObtainLoginSid: HeapAlloc (2)",
                                   "ObtainLoginSid: CopySid"};

// Reads one token information class and hands its SID (chosen by pick) to a heap copy.
template <typename Pick>
int CopyTokenSid(BDS* ctx, HANDLE token, TOKEN_INFORMATION_CLASS kind, const StepNames& steps, Pick pick,
                 PSID* sid)
{
    *sid = nullptr;
    DWORD size = 0;
    if (!GetTokenInformation(token, kind, nullptr, 0, &size) && GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        StoreLastError(ctx, GetLastError(), steps.firstQuery, true);
        return 0;
    }
    HeapBlock info(size);
    if (!info.data) {
        StoreLastError(ctx, ERROR_NOT_ENOUGH_MEMORY, steps.firstAlloc, true);
        return 0;
    }
    if (!GetTokenInformation(token, kind, info.data, size, &size)) {
        StoreLastError(ctx, GetLastError(), steps.secondQuery, true);
        return 0;
    }
    PSID found = pick(info.data);
    if (!found) {
        StoreLastError(ctx, ERROR_NOT_FOUND, steps.copy, true);
        return 0;
    }
    DWORD length = GetLengthSid(found);
    HeapBlock copy(length);
    if (!copy.data) {
        StoreLastError(ctx, ERROR_NOT_ENOUGH_MEMORY, steps.secondAlloc, true);
        return 0;
    }
    if (!CopySid(length, copy.data, found)) {
        StoreLastError(ctx, GetLastError(), steps.copy, true);
        return 0;
    }
    *sid = copy.Release();
    return 1;
}

// The SID's text in a narrow buffer of `room` bytes; 0 (recorded) when it cannot be made.
int SidText(BDS* ctx, PSID sid, char* text, size_t room)
{
    if (!sid || !IsValidSid(sid)) {
        StoreLastError(ctx, ERROR_INVALID_SID, "IsValidSid() : ConvertMySidToText()", true);
        return 0;
    }
    const SID_IDENTIFIER_AUTHORITY* authority = GetSidIdentifierAuthority(sid);
    DWORD count = *GetSidSubAuthorityCount(sid);
    if (28 + 12 * size_t(count) >= room) {
        StoreLastError(ctx, ERROR_INSUFFICIENT_BUFFER, "ConvertMySidToText", true);
        return 0;
    }
    const BYTE* a = authority->Value;
    int n;
    if (a[0] == 0 && a[1] == 0) {
        unsigned long value = (unsigned long)a[2] << 24 | (unsigned long)a[3] << 16 | (unsigned long)a[4] << 8 | a[5];
        n = std::snprintf(text, room, "S-%lu-%lu", (unsigned long)SID_REVISION, value);
    } else {
        n = std::snprintf(text, room, "S-%lu-0x%02hx%02hx%02hx%02hx%02hx%02hx", (unsigned long)SID_REVISION,
                          (unsigned short)a[0], (unsigned short)a[1], (unsigned short)a[2], (unsigned short)a[3],
                          (unsigned short)a[4], (unsigned short)a[5]);
    }
    for (DWORD i = 0; i < count && n > 0 && size_t(n) < room; ++i)
        n += std::snprintf(text + n, room - size_t(n), "-%lu", (unsigned long)*GetSidSubAuthority(sid, i));
    return 1;
}

}  // namespace

int ObtainUserSid(BDS* ctx, HANDLE token, PSID* sid)
{
    return CopyTokenSid(ctx, token, TokenUser, USER_STEPS,
                        [](void* info) { return static_cast<TOKEN_USER*>(info)->User.Sid; }, sid);
}

int ObtainLoginSid(BDS* ctx, HANDLE token, PSID* sid)
{
    return CopyTokenSid(ctx, token, TokenGroups, LOGON_STEPS,
                        [](void* info) -> PSID {
                            auto* groups = static_cast<TOKEN_GROUPS*>(info);
                            for (DWORD i = 0; i < groups->GroupCount; ++i)
                                if ((groups->Groups[i].Attributes & SE_GROUP_LOGON_ID) == SE_GROUP_LOGON_ID)
                                    return groups->Groups[i].Sid;
                            return nullptr;
                        },
                        sid);
}

int ConvertMySidToTextA(BDS* ctx, PSID sid, char* text, size_t room)
{
    return SidText(ctx, sid, text, room);
}

int ConvertMySidToTextW(BDS* ctx, PSID sid, wchar_t* text, size_t room)
{
    char narrow[512];
    if (room > sizeof narrow)
        room = sizeof narrow;
    if (!SidText(ctx, sid, narrow, room))
        return 0;
    size_t i = 0;
    for (; narrow[i]; ++i)   // the text is ASCII
        text[i] = wchar_t(narrow[i]);
    text[i] = 0;
    return 1;
}
