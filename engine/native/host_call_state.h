// Host and extender call state kept in the context.
#pragma once

constexpr int HOST_ERROR_TEXT_SIZE = 2050;

struct HostCallState {
    char szExtErrorText[HOST_ERROR_TEXT_SIZE];  // error text of the last failed host or extender call
    char szLastErrorText[256];                  // its first 255 characters
    uint32_t nHostEpoch;                        // counts the calls that gave the host control
};
