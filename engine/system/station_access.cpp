// Granting a logon SID access to the interactive window station and desktop, and taking
// the grants back.
#include "engine/system/station_access.h"

#include <cstdio>
#include <cstring>

#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/system/heap_block.h"
#include "engine/system/sid.h"

namespace {

constexpr DWORD GENERIC_ACCESS = GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL;
constexpr DWORD WINSTA_ALL = 0xF037F;    // every window-station right
constexpr DWORD DESKTOP_ALL = 0xF01FF;   // every desktop right

// An access-allowed ACE built in place, with room for the largest SID.
struct AllowedAce {
    ACCESS_ALLOWED_ACE ace;
    BYTE sidRoom[SECURITY_MAX_SID_SIZE];
};

bool IsAllowedAceFor(const ACE_HEADER* header, PSID sid)
{
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE)
        return false;
    auto* ace = reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header);
    return EqualSid(const_cast<DWORD*>(&ace->SidStart), sid) != FALSE;
}

// Reads the object's DACL, has `edit` applied to it and sets the result. An object without
// a DACL grants everyone everything already: it is left as it is. Failures are recorded
// under the prefix and the failing step.
int EditObjectDacl(BDS* ctx, HANDLE object, PSID sid, DaclEdit edit, const char* prefix)
{
    auto fail = [&](DWORD code, const char* step) {
        char name[128];
        std::snprintf(name, sizeof name, "%s%s", prefix, step);
        StoreLastError(ctx, code, name, true);
        return 0;
    };
    SECURITY_INFORMATION info = DACL_SECURITY_INFORMATION;
    DWORD needed = 0;
    if (GetUserObjectSecurity(object, &info, nullptr, 0, &needed) || GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return fail(GetLastError(), "GetUserObjectSecurity (2)");
    HeapBlock old(needed);
    if (!old.data)
        return fail(ERROR_NOT_ENOUGH_MEMORY, "HeapAlloc (1)");
    HeapBlock fresh(needed > SECURITY_DESCRIPTOR_MIN_LENGTH ? needed : SECURITY_DESCRIPTOR_MIN_LENGTH);
    if (!fresh.data)
        return fail(ERROR_NOT_ENOUGH_MEMORY, "HeapAlloc (2)");
    if (!GetUserObjectSecurity(object, &info, old.data, needed, &needed))
        return fail(GetLastError(), "GetUserObjectSecurity (1)");
    if (!InitializeSecurityDescriptor(fresh.data, SECURITY_DESCRIPTOR_REVISION))
        return fail(GetLastError(), "InitializeSecurityDescriptor");
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    if (!GetSecurityDescriptorDacl(old.data, &present, &dacl, &defaulted))
        return fail(GetLastError(), "GetSecurityDescriptorDacl");
    if (!present || !dacl)
        return 1;

    DWORD room = EditedDaclRoom(dacl, sid);
    if (!room)
        return fail(GetLastError(), "GetAclInformation");
    HeapBlock acl(room);
    if (!acl.data)
        return fail(ERROR_NOT_ENOUGH_MEMORY, "HeapAlloc (3)");
    const char* step = "";
    if (!BuildEditedDacl(dacl, sid, edit, acl.As<ACL>(), room, &step))
        return fail(GetLastError(), step);
    if (!SetSecurityDescriptorDacl(fresh.data, TRUE, acl.As<ACL>(), FALSE))
        return fail(GetLastError(), "SetSecurityDescriptorDacl");
    if (!SetUserObjectSecurity(object, &info, fresh.data))
        return fail(GetLastError(), "SetUserObjectSecurity");
    return 1;
}

// Runs work(station, desktop) with the process switched to "winsta0" and its "default"
// desktop opened with the rights to change both DACLs; the process's own window station is
// set back on every path.
template <typename Work>
int WithInteractiveDesktop(BDS* ctx, Work work)
{
    HWINSTA saved = GetProcessWindowStation();
    if (!saved) {
        StoreLastError(ctx, GetLastError(), "GetProcessWindowStation", true);
        return 0;
    }
    HWINSTA station = OpenWindowStationA("winsta0", FALSE, READ_CONTROL | WRITE_DAC);
    if (!station) {
        StoreLastError(ctx, GetLastError(), "OpenWindowStation", true);
        return 0;
    }
    if (!SetProcessWindowStation(station)) {
        StoreLastError(ctx, GetLastError(), "SetProcessWindowStation", true);
        CloseWindowStation(station);
        return 0;
    }
    int done = 0;
    HDESK desktop = OpenDesktopA("default", 0, FALSE,
                                 READ_CONTROL | WRITE_DAC | DESKTOP_WRITEOBJECTS | DESKTOP_READOBJECTS);
    if (!desktop) {
        StoreLastError(ctx, GetLastError(), "OpenDesktop", true);
    } else {
        done = work(station, desktop);
        CloseDesktop(desktop);
    }
    SetProcessWindowStation(saved);
    CloseWindowStation(station);
    return done;
}

}  // namespace

// ---------------------------------------------------------------- the DACL rules

DWORD EditedDaclRoom(PACL old, PSID sid)
{
    DWORD base = sizeof(ACL);
    if (old) {
        ACL_SIZE_INFORMATION sizes{};
        if (!GetAclInformation(old, &sizes, sizeof sizes, AclSizeInformation))
            return 0;
        base = sizes.AclBytesInUse;
    }
    // Two access-allowed ACEs at most: each its header and mask, and the SID.
    return base + 2 * (DWORD(sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD)) + GetLengthSid(sid));
}

int BuildEditedDacl(PACL old, PSID sid, DaclEdit edit, PACL out, DWORD room, const char** failedStep)
{
    auto fail = [&](const char* step) {
        *failedStep = step;
        return 0;
    };
    if (!InitializeAcl(out, room, ACL_REVISION))
        return fail("InitializeAcl");
    if (old) {
        ACL_SIZE_INFORMATION sizes{};
        if (!GetAclInformation(old, &sizes, sizeof sizes, AclSizeInformation))
            return fail("GetAclInformation");
        for (DWORD i = 0; i < sizes.AceCount; ++i) {
            void* ace = nullptr;
            if (!GetAce(old, i, &ace))
                return fail("GetAce");
            auto* header = static_cast<ACE_HEADER*>(ace);
            if (edit == DaclEdit::Revoke && IsAllowedAceFor(header, sid))
                continue;
            if (!AddAce(out, old->AclRevision, MAXDWORD, ace, header->AceSize))
                return fail("AddAce (1)");
        }
    }
    switch (edit) {
    case DaclEdit::GrantStation: {
        AllowedAce built{};
        DWORD sidLength = GetLengthSid(sid);
        auto size = WORD(sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + sidLength);
        built.ace.Header.AceType = ACCESS_ALLOWED_ACE_TYPE;
        built.ace.Header.AceSize = size;
        if (!CopySid(sidLength, &built.ace.SidStart, sid))
            return fail("CopySid");
        // Objects made in the station later (desktops) inherit generic access...
        built.ace.Header.AceFlags = CONTAINER_INHERIT_ACE | INHERIT_ONLY_ACE | OBJECT_INHERIT_ACE;
        built.ace.Mask = GENERIC_ACCESS;
        if (!AddAce(out, ACL_REVISION, MAXDWORD, &built, size))
            return fail("AddAce (2)");
        // ...and the station itself grants every right.
        built.ace.Header.AceFlags = NO_PROPAGATE_INHERIT_ACE;
        built.ace.Mask = WINSTA_ALL;
        if (!AddAce(out, ACL_REVISION, MAXDWORD, &built, size))
            return fail("AddAce (3)");
        return 1;
    }
    case DaclEdit::GrantDesktop:
        if (!AddAccessAllowedAce(out, ACL_REVISION, DESKTOP_ALL, sid))
            return fail("AddAccessAllowedAce");
        return 1;
    case DaclEdit::Revoke:
        return 1;
    }
    return 0;
}

// ---------------------------------------------------------------- grants

int AddTheAceWindowStation(BDS* ctx, HWINSTA station, PSID sid)
{
    return EditObjectDacl(ctx, station, sid, DaclEdit::GrantStation, "AddTheAceWindowStation: ");
}

int AddTheAceDesktop(BDS* ctx, HDESK desktop, PSID sid)
{
    return EditObjectDacl(ctx, desktop, sid, DaclEdit::GrantDesktop, "AddTheAceDesktop: ");
}

int GrantStationAndDesktop(BDS* ctx, HANDLE token)
{
    return WithInteractiveDesktop(ctx, [&](HWINSTA station, HDESK desktop) {
        PSID sid = nullptr;
        if (!ObtainLoginSid(ctx, token, &sid))
            return 0;
        // Kept before the first ACE goes in, so that an undo also takes back a half grant.
        LogonState& kept = ctx->logon;
        DWORD length = GetLengthSid(sid);
        if (length <= sizeof kept.GrantedSid && CopySid(sizeof kept.GrantedSid, kept.GrantedSid, sid))
            kept.bGranted = 1;
        int done = AddTheAceWindowStation(ctx, station, sid) && AddTheAceDesktop(ctx, desktop, sid);
        HeapFree(GetProcessHeap(), 0, sid);
        return done;
    });
}

int RevokeStationAndDesktop(BDS* ctx)
{
    LogonState& kept = ctx->logon;
    if (!kept.bGranted)
        return 1;
    kept.bGranted = 0;
    PSID sid = kept.GrantedSid;
    return WithInteractiveDesktop(ctx, [&](HWINSTA station, HDESK desktop) {
        int stationDone = EditObjectDacl(ctx, station, sid, DaclEdit::Revoke, "RemoveTheAceWindowStation: ");
        int desktopDone = EditObjectDacl(ctx, desktop, sid, DaclEdit::Revoke, "RemoveTheAceDesktop: ");
        return stationDone && desktopDone;
    });
}
