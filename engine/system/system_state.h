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

constexpr int WAITED_KEY_SLOTS = 100;   // numbered 1 to 100

// The keys WaitForKey and WaitForKeyEx wait for: key words (the key in the low byte, the
// modifiers that must be down above it); 0 marks an empty slot.
struct WaitedKeys {
    uint16_t slots[WAITED_KEY_SLOTS + 1];
    uint32_t count;
};

struct SystemState {
    DdeState dde;
    WaitedKeys waitedKeys;
    uint32_t MediaNotifyDone;   // set by the notify window when an MCI command completes
};
