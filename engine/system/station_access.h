// Access of a logon session to the interactive window station "winsta0" and its desktop
// "default": the grants a logon adds for its logon SID, and their removal when the logon
// is undone, so that the two DACLs do not grow run by run.
//
// Failures answer 0 and record the Windows code with StoreLastError under the failing
// step's name; they set no error number.
#pragma once

#include <windows.h>

struct BDS;

// Grants the token's logon SID access to "winsta0" and "default" (the process's window
// station is switched for the call and set back). The SID is kept in the context for
// RevokeStationAndDesktop. Answers 1 only when every step succeeded.
int GrantStationAndDesktop(BDS* ctx, HANDLE token);
// Removes the ACEs that GrantStationAndDesktop added for the kept SID and forgets it;
// 1 also when nothing was kept.
int RevokeStationAndDesktop(BDS* ctx);

// Adds the station's two ACEs for the SID (inherited generic access, and all window-station
// rights), or the desktop's one (all desktop rights).
int AddTheAceWindowStation(BDS* ctx, HWINSTA station, PSID sid);
int AddTheAceDesktop(BDS* ctx, HDESK desktop, PSID sid);

// ---------------------------------------------------------------- the DACL rules
// Pure steps over ACLs, so that tests can check them without a window station.

enum class DaclEdit { GrantStation, GrantDesktop, Revoke };

// Builds into `out` (room bytes) the ACL that `edit` makes of `old` (null: none) for the
// SID: every old ACE in its order (for Revoke, every one but the access-allowed ACEs of the
// SID), then the new ACEs. Answers 0 with the failing step's name in *failedStep.
int BuildEditedDacl(PACL old, PSID sid, DaclEdit edit, PACL out, DWORD room, const char** failedStep);
// The room BuildEditedDacl needs for `old` and the SID.
DWORD EditedDaclRoom(PACL old, PSID sid);
