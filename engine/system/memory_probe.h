// Whether a range of memory at an address a script supplied can be read or written,
// asked before the engine touches it.
//
// The probes ask the system about the pages (VirtualQuery) and never touch the memory: a
// probe neither reads nor writes a byte and leaves a guard page armed. Each costs one query
// per region the range spans and allocates nothing.
#pragma once

#include <cstddef>
#include <cstdint>

// Non-zero when some byte of the range can't be read (written); 0 for a length of 0. A
// guard page, a page not committed and a range that wraps around count as bad.
int32_t SafeIsBadReadPtr(const void* address, size_t length);
int32_t SafeIsBadWritePtr(const void* address, size_t length);
