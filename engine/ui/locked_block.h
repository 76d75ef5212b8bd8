// A zero-filled movable global block, allocated and locked by its holder and freed with
// it: the work buffers of the boxes (answers, line buffers, capped texts) and the texts
// the window requests send.
#pragma once

#include <windows.h>

struct LockedGlobal {
    HGLOBAL handle = nullptr;
    void* data = nullptr;   // null when the block could not be had

    explicit LockedGlobal(SIZE_T bytes)
    {
        handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes ? bytes : 1);
        data = handle ? GlobalLock(handle) : nullptr;
    }
    ~LockedGlobal()
    {
        if (data)
            GlobalUnlock(handle);
        if (handle)
            GlobalFree(handle);
    }
    LockedGlobal(const LockedGlobal&) = delete;
    LockedGlobal& operator=(const LockedGlobal&) = delete;
};
