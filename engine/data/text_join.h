// A growable text buffer for joining many items (array and map lists): it grows by
// 32768 units plus twice its length while below one million units, then by one million
// units, so that joining n items costs amortised linear time. Process-heap memory.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstring>

#include "engine/core/context.h"

template <typename Ch>
struct JoinBuffer {
    Ch* data = nullptr;
    size_t length = 0;     // units, without the terminating NUL
    size_t capacity = 0;   // units allocated
};

// Appends `count` units; 1, or 0 with 1588 when the buffer cannot grow (it stays as it was).
template <typename Ch>
int JoinAppend(BDS* ctx, JoinBuffer<Ch>* buffer, const Ch* text, size_t count)
{
    size_t needed = buffer->length + count + 1;
    if (needed > buffer->capacity) {
        size_t grow = buffer->length < 1000000 ? 32768 + 2 * buffer->length : 1000000;
        size_t capacity = buffer->capacity + grow;
        if (capacity < needed) capacity = needed;
        HANDLE heap = GetProcessHeap();
        void* p = buffer->data ? HeapReAlloc(heap, 0, buffer->data, capacity * sizeof(Ch))
                               : HeapAlloc(heap, 0, capacity * sizeof(Ch));
        if (!p) {
            SetError(ctx, 1588);
            return 0;
        }
        buffer->data = static_cast<Ch*>(p);
        buffer->capacity = capacity;
    }
    if (count) std::memcpy(buffer->data + buffer->length, text, count * sizeof(Ch));
    buffer->length += count;
    buffer->data[buffer->length] = 0;
    return 1;
}

template <typename Ch>
void JoinFree(JoinBuffer<Ch>* buffer)
{
    if (buffer->data) HeapFree(GetProcessHeap(), 0, buffer->data);
    buffer->data = nullptr;
    buffer->length = buffer->capacity = 0;
}

// The joined text, "" while nothing was appended.
template <typename Ch>
const Ch* JoinText(const JoinBuffer<Ch>* buffer)
{
    static const Ch empty[1] = {0};
    return buffer->data ? buffer->data : empty;
}
