// The guarded memory probes: a walk over the regions of a range by VirtualQuery.
#include "engine/system/memory_probe.h"

#include <windows.h>

namespace {

bool Readable(DWORD protect)
{
    switch (protect & 0xFF) {
    case PAGE_READONLY: case PAGE_READWRITE: case PAGE_WRITECOPY:
    case PAGE_EXECUTE_READ: case PAGE_EXECUTE_READWRITE: case PAGE_EXECUTE_WRITECOPY:
        return true;
    default:
        return false;
    }
}

bool Writable(DWORD protect)
{
    switch (protect & 0xFF) {
    case PAGE_READWRITE: case PAGE_WRITECOPY: case PAGE_EXECUTE_READWRITE: case PAGE_EXECUTE_WRITECOPY:
        return true;
    default:
        return false;
    }
}

// Whether every page of the range is committed with the access asked for.
bool RangeIsAccessible(const void* address, size_t length, bool write)
{
    auto at = reinterpret_cast<uintptr_t>(address);
    if (!at || at + length < at)
        return false;
    uintptr_t end = at + length;
    while (at < end) {
        MEMORY_BASIC_INFORMATION info{};
        if (!VirtualQuery(reinterpret_cast<void*>(at), &info, sizeof info) || info.State != MEM_COMMIT)
            return false;
        if ((info.Protect & PAGE_GUARD) || !(write ? Writable(info.Protect) : Readable(info.Protect)))
            return false;
        uintptr_t regionEnd = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
        if (regionEnd <= at)
            return false;
        at = regionEnd;
    }
    return true;
}

}  // namespace

int32_t SafeIsBadReadPtr(const void* address, size_t length)
{
    return length == 0 || RangeIsAccessible(address, length, false) ? 0 : 1;
}

int32_t SafeIsBadWritePtr(const void* address, size_t length)
{
    return length == 0 || RangeIsAccessible(address, length, true) ? 0 : 1;
}
