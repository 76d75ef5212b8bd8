// Reading the attached directory at the end of the launcher's own file: the marker record,
// the directory records (big-endian) and the payload offsets.
#pragma once

#include <windows.h>
#include <cstdint>
#include <vector>

#include "tools/pack/pack_format.h"

struct AttachedRecord {
    char name[257];
    uint32_t dosDateTime;      // DOS date in the high half, DOS time in the low half (local time)
    uint32_t fullSize;
    uint32_t compressedSize;   // 0: stored as is
    uint32_t type;
    uint32_t tag;
    uint64_t payloadOffset;    // file offset of the payload
    uint32_t PayloadSize() const { return compressedSize ? compressedSize : fullSize; }
};

// The file offset of the end of the directory; the file size when no marker is found.
uint32_t FindAttachedDirectory(HANDLE file);

enum class DirectoryStatus { Ok, Damaged };

// Reads every record before the STOP record. A STOP record without its tag, or a count that
// does not fit the file, is a damaged directory.
DirectoryStatus ReadAttachedDirectory(HANDLE file, std::vector<AttachedRecord>& records);

// Reads exactly `size` bytes at `offset`; false on a short read.
bool ReadFileAt(HANDLE file, uint64_t offset, void* buffer, uint32_t size);
