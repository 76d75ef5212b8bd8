// UncompressBuffer: in-place zlib inflation for the host (export) and DLLServices request 33.
#include "engine/core/uncompress.h"

#include <windows.h>
#include <zlib.h>
#include <cstring>

extern "C" int64_t UncompressBuffer(uint8_t* buffer, uint64_t compressedSize, uint64_t capacity)
{
    if (!buffer || compressedSize == 0 || capacity == 0 || buffer[0] == 0)
        return -1;
    // zlib counts in 32-bit lengths here; the trailing 0 takes one byte of the capacity.
    if (compressedSize > 0xFFFFFFFFull || capacity > 0xFFFFFFFFull || compressedSize > capacity)
        return -1;

    // Inflate into a separate block so that a damaged stream leaves the caller's bytes alone.
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(capacity));
    if (!block)
        return -1;
    auto* out = static_cast<Bytef*>(GlobalLock(block));
    if (!out) {
        GlobalFree(block);
        return -1;
    }

    uLongf produced = static_cast<uLongf>(capacity - 1);   // room for the trailing 0
    int rc = uncompress(out, &produced, buffer, static_cast<uLong>(compressedSize));
    int64_t answer = -1;
    if (rc == Z_OK) {
        std::memcpy(buffer, out, produced);
        buffer[produced] = 0;
        answer = static_cast<int64_t>(produced);
    }
    GlobalUnlock(block);
    GlobalFree(block);
    return answer;
}
