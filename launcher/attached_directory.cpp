// Finding and reading the attached directory (see attached_directory.h).
#include "launcher/attached_directory.h"

#include <cstring>

namespace {

uint32_t LittleEndian(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint32_t BigEndian(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

uint64_t FileSize(HANDLE file)
{
    LARGE_INTEGER size{};
    return GetFileSizeEx(file, &size) ? uint64_t(size.QuadPart) : 0;
}

}  // namespace

bool ReadFileAt(HANDLE file, uint64_t offset, void* buffer, uint32_t size)
{
    LARGE_INTEGER at;
    at.QuadPart = LONGLONG(offset);
    if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN))
        return false;
    auto* out = static_cast<uint8_t*>(buffer);
    while (size > 0) {
        DWORD piece = size > 32000 ? 32000 : size, got = 0;
        if (!ReadFile(file, out, piece, &got, nullptr) || got != piece)
            return false;
        out += got;
        size -= got;
    }
    return true;
}

uint32_t FindAttachedDirectory(HANDLE file)
{
    uint64_t size = FileSize(file);
    uint32_t fileSize = size > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(size);
    uint32_t windowSize = fileSize < kvpack::kScanWindow ? fileSize : kvpack::kScanWindow;
    if (windowSize < kvpack::kRecordSize + 8)
        return fileSize;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, windowSize);
    auto* window = block ? static_cast<uint8_t*>(GlobalLock(block)) : nullptr;
    if (!window) {
        if (block)
            GlobalFree(block);
        return fileSize;
    }
    uint32_t windowStart = fileSize - windowSize;
    uint32_t answer = fileSize;
    if (ReadFileAt(file, windowStart, window, windowSize)) {
        // The second sentinel stands 27 bytes into the marker record, the marker text and the
        // first sentinel before it; scan from the last place it could stand.
        for (uint32_t p = windowSize - 8; p >= kvpack::kRecordSize; --p) {
            if (LittleEndian(window + p) == kvpack::kSentinel && LittleEndian(window + p - 27) == kvpack::kSentinel
                && std::memcmp(window + p - 23, kvpack::kMarkerText, kvpack::kMarkerTextLength) == 0) {
                uint64_t end = uint64_t(windowStart) + p + uint64_t(window[p + 4]) * kvpack::kRecordSize + 525;
                answer = end > fileSize ? fileSize : uint32_t(end);
                break;
            }
        }
    }
    GlobalUnlock(block);
    GlobalFree(block);
    return answer;
}

DirectoryStatus ReadAttachedDirectory(HANDLE file, std::vector<AttachedRecord>& records)
{
    records.clear();
    uint32_t end = FindAttachedDirectory(file);
    uint8_t raw[kvpack::kRecordSize];
    if (end < kvpack::kRecordSize || !ReadFileAt(file, end - kvpack::kRecordSize, raw, kvpack::kRecordSize))
        return DirectoryStatus::Damaged;
    if (BigEndian(raw + 272) != kvpack::kTagStop)
        return DirectoryStatus::Damaged;
    uint32_t count = BigEndian(raw + 268);
    if (count == 0 || uint64_t(count) * kvpack::kRecordSize > end)
        return DirectoryStatus::Damaged;
    uint32_t first = end - count * kvpack::kRecordSize;
    uint64_t payload = 0;
    for (uint32_t i = 0; i + 1 < count; ++i) {
        if (!ReadFileAt(file, first + uint64_t(i) * kvpack::kRecordSize, raw, kvpack::kRecordSize))
            return DirectoryStatus::Damaged;
        AttachedRecord record{};
        std::memcpy(record.name, raw, 256);
        record.name[256] = 0;
        record.dosDateTime = BigEndian(raw + 256);
        record.fullSize = BigEndian(raw + 260);
        record.compressedSize = BigEndian(raw + 264);
        record.type = BigEndian(raw + 268);
        record.tag = BigEndian(raw + 272);
        record.payloadOffset = payload;
        payload += record.PayloadSize();
        records.push_back(record);
    }
    return DirectoryStatus::Ok;
}
