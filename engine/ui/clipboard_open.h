// The clipboard held open for one built-in, and a clipboard block locked while it is read.
// Shared by the clipboard text built-ins and the binary-buffer clipboard transfer.
#pragma once

#include <windows.h>

#include <cstdint>

#include "engine/core/context.h"
#include "engine/core/pump.h"

// Opens the clipboard for the context's window; another program may hold it for a while,
// so a failed open is tried again after 1000 ms of pumping, 30 attempts in all, and gives
// up at once when the run is cancelled. A clipboard that stays closed sets `busyError`.
class ClipboardOpen {
public:
    static constexpr int OPEN_TRIES = 30;
    static constexpr uint32_t RETRY_MS = 1000;

    ClipboardOpen(BDS* ctx, uint16_t busyError)
    {
        for (int attempt = 0; attempt < OPEN_TRIES; ++attempt) {
            if (attempt > 0) {
                WaitPumping(ctx, RETRY_MS);
                if (ctx->bCancel)
                    break;
            }
            if (OpenClipboard(ctx->hwndParent)) {
                open_ = true;
                return;
            }
        }
        SetError(ctx, busyError);
    }
    ~ClipboardOpen()
    {
        if (open_)
            CloseClipboard();
    }
    ClipboardOpen(const ClipboardOpen&) = delete;
    ClipboardOpen& operator=(const ClipboardOpen&) = delete;
    bool Open() const { return open_; }

private:
    bool open_ = false;
};

// A global block locked for the life of the holder (data null when it cannot be locked).
struct LockedHandle {
    HGLOBAL handle;
    void* data;
    explicit LockedHandle(HGLOBAL h) : handle(h), data(h ? GlobalLock(h) : nullptr) {}
    ~LockedHandle()
    {
        if (data)
            GlobalUnlock(handle);
    }
    LockedHandle(const LockedHandle&) = delete;
    LockedHandle& operator=(const LockedHandle&) = delete;
};
