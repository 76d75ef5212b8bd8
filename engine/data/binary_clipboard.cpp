// Binary buffers and the clipboard: BinaryClipGet and BinaryClipPut move the raw bytes of any
// clipboard format.
#include <cstring>
#include <cwchar>

#include "engine/data/binary_internal.h"
#include "engine/ui/clipboard_open.h"

using namespace binary;

namespace {

enum : uint16_t {
    ERR_CLIP_OPEN = 1559,          // "BinaryClip: Unable to open clipboard"
    ERR_CLIP_FORMAT = 1560,        // "BinaryClip: Specified clipboard format is not available"
    ERR_CLIP_GET = 1561,           // "BinaryClip: Error retrieving clipboard data"
    ERR_CLIP_LOCK = 1562,          // "BinaryClip: Error accessing clipboard data (maybe unsupported format)"
    ERR_CLIP_ROOM = 1563,          // "BinaryClip: Insufficient space in binary buffer"
    ERR_CLIP_MEMORY = 1564,        // "BinaryClip: Unable to allocate (or lock) memory"
    ERR_CLIP_SET = 1565,           // "BinaryClip: Error storing data in the clipboard"
};

// The bytes of a clipboard block that count as its data: a text format up to its first
// terminator (never past the block), any other format the whole block.
size_t ClipDataLength(UINT format, const void* data, size_t blockSize)
{
    switch (format) {
    case CF_TEXT:
    case CF_OEMTEXT:
        return strnlen(static_cast<const char*>(data), blockSize);
    case CF_UNICODETEXT:
        return wcsnlen(static_cast<const wchar_t*>(data), blockSize / sizeof(wchar_t)) * sizeof(wchar_t);
    default:
        return blockSize;
    }
}

// The zero terminator a text format gets behind the data.
size_t ClipTerminator(UINT format)
{
    return format == CF_UNICODETEXT ? 2 : (format == CF_TEXT || format == CF_OEMTEXT) ? 1 : 0;
}

// Handle 0 asks for the length only.
void CaseClipGet(BDS* ctx, BuiltinCall& call)
{
    BinaryBufferSlot* slot = nullptr;
    if (ArgInt(call, 1) != 0 && !(slot = ArgSlot(ctx, call, 1)))
        return;
    UINT format = UINT(ArgInt(call, 2));
    ClipboardOpen clipboard(ctx, ERR_CLIP_OPEN);
    if (!clipboard.Open())
        return;
    if (!IsClipboardFormatAvailable(format)) {
        if (CountClipboardFormats() != 0) {
            SetError(ctx, ERR_CLIP_FORMAT);
            return;
        }
        if (slot)
            slot->eod = 0;
        SetResultInt(ctx, call.result, 0);
        return;
    }
    HANDLE handle = GetClipboardData(format);
    if (!handle) {
        SetError(ctx, ERR_CLIP_GET);
        return;
    }
    LockedHandle block(handle);
    if (!block.data) {
        SetError(ctx, ERR_CLIP_LOCK);
        return;
    }
    size_t length = ClipDataLength(format, block.data, GlobalSize(block.handle));
    if (slot) {
        if (uint64_t(length) > uint64_t(slot->size)) {
            SetError(ctx, ERR_CLIP_ROOM);
            return;
        }
        std::memcpy(slot->data, block.data, length);
        slot->eod = int64_t(length);
    }
    SetResult64(ctx, call.result, int64_t(length));
}

// Without the keep flag the clipboard is emptied first; an empty buffer then only empties it.
void CaseClipPut(BDS* ctx, BuiltinCall& call)
{
    BinaryBufferSlot* slot = ArgSlot(ctx, call, 1);
    if (!slot)
        return;
    UINT format = UINT(ArgInt(call, 2));
    bool keep = ArgInt(call, 3) != 0;
    ClipboardOpen clipboard(ctx, ERR_CLIP_OPEN);
    if (!clipboard.Open())
        return;
    if (slot->eod == 0) {
        if (!keep)
            EmptyClipboard();
        SetResultInt(ctx, call.result, 1);
        return;
    }
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SIZE_T(slot->eod) + ClipTerminator(format));
    void* data = block ? GlobalLock(block) : nullptr;
    if (!data) {
        if (block)
            GlobalFree(block);
        SetError(ctx, ERR_CLIP_MEMORY);
        return;
    }
    std::memcpy(data, slot->data, size_t(slot->eod));
    GlobalUnlock(block);
    if (!keep)
        EmptyClipboard();
    if (!SetClipboardData(format, block)) {
        GlobalFree(block);
        SetError(ctx, ERR_CLIP_SET);
        return;
    }
    SetResultInt(ctx, call.result, 1);
}

const BuiltinRow kRows[] = {
    {300, CaseClipGet},   // binaryclipget
    {301, CaseClipPut},   // binaryclipput
};

}  // namespace

const BuiltinFamily g_BinaryClipBuiltins = {"binary buffer clipboard", kRows, int(sizeof(kRows) / sizeof(kRows[0]))};
