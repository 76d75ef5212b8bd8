// The attached directory as written behind a launcher image: record layout, the script's
// prepared form and the writer. Portable C++ (no platform headers), shared by the packing
// tool on Linux and on Windows, by the launcher (which reads what is laid out here) and by
// the tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace kvpack {

constexpr uint32_t kSentinel = 0x20101120;
constexpr char kMarkerText[] = "Quarrenvale Ostmerwick!";   // 23 bytes, stored without NUL
constexpr size_t kMarkerTextLength = 23;
constexpr size_t kRecordSize = 276;
constexpr size_t kNameSize = 256;
// The launcher looks for the marker in the last 65,534 bytes of its file, with 276 bytes of
// room before it, so the marker and every record must fit there.
constexpr uint32_t kScanWindow = 65534;
constexpr size_t kMaxRecords = (kScanWindow - 2 * kRecordSize) / kRecordSize;   // STOP not counted

enum RecordType : uint32_t {
    kTypeLauncher = 1,      // the launcher image: the first bytes of the file itself
    kTypeRequired = 2,      // must be present before the engine starts (the engine library)
    kTypeScript = 11,       // the script text, zlib-compressed
    kTypeExtra = 2222,      // a further file, written whenever it is extracted
};
enum RecordTag : uint32_t {
    kTagLauncher = 222,
    kTagRequired = 333,
    kTagScript = 411,
    kTagExtra = 0,
    kTagStop = 9999,
};

// One attached file, ready to be written: its payload is stored as is, or compressed when
// `fullSize` differs from what the payload inflates from (compressed flag set).
struct Entry {
    std::string name;           // plain file name, at most 255 bytes
    uint32_t type = 0;
    uint32_t tag = 0;
    uint32_t dosDateTime = 0;   // DOS date in the high half, DOS time in the low half
    uint32_t fullSize = 0;
    bool compressed = false;    // payload is a zlib stream of fullSize bytes
    std::vector<uint8_t> payload;
};

// DOS date and time (local time) of a calendar time; years before 1980 clamp to 1980.
uint32_t DosDateTime(std::time_t when);

// The script as the launcher hands it over: a source-position marker line for line 1 first,
// and one after each #include, #DefineFunction and #DefineSubroutine line naming the line that
// follows. UTF-16 text (with its byte-order mark) stays UTF-16. Text that is already prepared
// is returned unchanged.
std::vector<uint8_t> PrepareScript(const std::vector<uint8_t>& text, const std::string& sourceName);

// zlib stream (RFC 1950) of the data at the best compression.
bool Deflate(const std::vector<uint8_t>& data, std::vector<uint8_t>& stream);

// Lays out the payloads, the marker record and the directory with its STOP record.
// Answers false with a reason when the entries cannot be represented.
bool WritePackedImage(const std::vector<Entry>& entries, std::vector<uint8_t>& out, std::string& error);

}  // namespace kvpack
