// A movable global block (zero-filled unless asked otherwise), allocated and locked by its
// holder and freed with it: the work buffers of one call (box answers, line buffers, capped
// texts, profile lists, character classes) and the texts the window requests send.
#pragma once

#include <windows.h>

struct LockedGlobal {
    HGLOBAL handle = nullptr;
    void* data = nullptr;   // null when the block could not be had

    // A large buffer that the call fills itself may leave out GMEM_ZEROINIT.
    explicit LockedGlobal(SIZE_T bytes, UINT flags = GMEM_MOVEABLE | GMEM_ZEROINIT)
    {
        handle = GlobalAlloc(flags, bytes ? bytes : 1);
        data = handle ? GlobalLock(handle) : nullptr;
    }
    ~LockedGlobal()
    {
        if (data)
            GlobalUnlock(handle);
        if (handle)
            GlobalFree(handle);
    }
    template <typename T> T* As() const { return static_cast<T*>(data); }
    LockedGlobal(const LockedGlobal&) = delete;
    LockedGlobal& operator=(const LockedGlobal&) = delete;
};
