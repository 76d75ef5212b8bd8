// Per-context state of the system built-ins: the DDE client's conversations.
#pragma once

#include <windows.h>
#include <ddeml.h>

#include <cstdint>

constexpr int DDE_CONVERSATIONS = 10;   // numbered 1 to 10 for scripts

// One conversation with its own DDE instance: some DDE libraries refuse a second
// conversation on the same service and topic within one instance.
struct DdeConversation {
    DWORD instance;       // 0: the slot is free
    HCONV conversation;
    HSZ service;
    HSZ topic;
};

struct DdeState {
    DdeConversation slots[DDE_CONVERSATIONS];
};

struct SystemState {
    DdeState dde;
};
