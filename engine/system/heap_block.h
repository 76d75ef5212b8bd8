// A block of the process heap held for one call: freed with its holder unless released.
#pragma once

#include <windows.h>
#include <cstddef>

struct HeapBlock {
    void* data = nullptr;

    explicit HeapBlock(size_t bytes) : data(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes ? bytes : 1)) {}
    ~HeapBlock()
    {
        if (data)
            HeapFree(GetProcessHeap(), 0, data);
    }
    // Hands the block to the caller, who frees it with HeapFree.
    void* Release()
    {
        void* kept = data;
        data = nullptr;
        return kept;
    }
    template <typename T> T* As() const { return static_cast<T*>(data); }
    HeapBlock(const HeapBlock&) = delete;
    HeapBlock& operator=(const HeapBlock&) = delete;
};
