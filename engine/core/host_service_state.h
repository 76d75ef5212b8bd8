// State of the host-service entry DLLServices kept in the context: the switches and handles
// that hosts and extenders set through it and nothing else reads or writes.
#pragma once

#include <windows.h>
#include <cstdint>

struct HostServiceState {
    uint32_t bDialogSwitch;       // tested by the Dialog built-in before its usual path
    HANDLE hLogonToken;           // the token of an impersonated run (request 32)
    HWINSTA hSavedStation;        // the window station to switch back to
    uint32_t nLogonFlags;
    uint64_t hOwnerClaim;         // a value one caller may claim (request 51); 0 = free
};
