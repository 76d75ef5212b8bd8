// Per-context state of the logon services: the logon SID whose access to the interactive
// window station and desktop a logon granted, kept so that its undo can take it back.
#pragma once

#include <windows.h>
#include <cstdint>

struct LogonState {
    uint32_t bGranted;                         // GrantedSid holds a SID
    uint8_t GrantedSid[SECURITY_MAX_SID_SIZE];
};
