// Writer of the attached directory and the script's prepared form (see pack_format.h).
#include "tools/pack/pack_format.h"

#include <zlib.h>
#include <algorithm>
#include <cstring>
#include <set>

namespace kvpack {

// ---------------------------------------------------------------- time

uint32_t DosDateTime(std::time_t when)
{
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &when);
#else
    localtime_r(&when, &local);
#endif
    int year = local.tm_year + 1900;
    if (year < 1980)
        return (1u << 5 | 1u) << 16;                      // 1980-01-01 00:00:00
    if (year > 2107)
        year = 2107;
    uint32_t date = uint32_t(year - 1980) << 9 | uint32_t(local.tm_mon + 1) << 5 | uint32_t(local.tm_mday);
    uint32_t time = uint32_t(local.tm_hour) << 11 | uint32_t(local.tm_min) << 5 | uint32_t(local.tm_sec / 2);
    return date << 16 | time;
}

// ---------------------------------------------------------------- prepared script

namespace {

template <typename Unit>
bool StartsWithDirective(const std::vector<Unit>& text, size_t pos, size_t end)
{
    while (pos < end && (text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
    for (const char* word : {"#include", "#definefunction", "#definesubroutine"}) {
        size_t n = std::strlen(word);
        if (end - pos < n)
            continue;
        size_t i = 0;
        for (; i < n; ++i) {
            Unit c = text[pos + i];
            if (c >= 'A' && c <= 'Z')
                c = Unit(c + ('a' - 'A'));
            if (c != Unit(word[i]))
                break;
        }
        if (i == n)
            return true;
    }
    return false;
}

// ";", 0x0B, the flag byte, "@", the line number in four base-64 digits, the name, LF.
template <typename Unit>
void AppendMarker(std::vector<Unit>& out, unsigned flag, uint32_t line, const std::string& name)
{
    out.push_back(';');
    out.push_back(0x0B);
    out.push_back(Unit(0x40 | (flag & 0x3F)));
    out.push_back('@');
    for (int shift = 18; shift >= 0; shift -= 6)
        out.push_back(Unit(0x40 | ((line >> shift) & 0x3F)));
    for (unsigned char c : name)
        out.push_back(Unit(c));
    out.push_back('\n');
}

template <typename Unit>
std::vector<Unit> Prepare(const std::vector<Unit>& text, const std::string& name)
{
    size_t start = !text.empty() && text[0] == ' ' ? 1 : 0;
    if (text.size() >= start + 2 && text[start] == ';') {
        Unit second = text[start + 1];
        if (second == 0x0B)
            return text;                                  // prepared before
        if (second == 0x0C && (text.size() < start + 3 || text[start + 2] != '@'))
            return text;
    }
    unsigned flag = text.size() >= 3 && text[0] == ';' && text[1] == 0x0C && text[2] == '@' ? 0 : 1;

    std::vector<Unit> out;
    out.reserve(text.size() + 64);
    AppendMarker(out, flag, 1, name);
    uint32_t line = 0;
    for (size_t pos = 0; pos < text.size();) {
        size_t end = pos;
        while (end < text.size() && text[end] != '\n')
            ++end;
        bool isMarker = end - pos >= 2 && text[pos] == ';' && text[pos + 1] == 0x0B;
        if (!isMarker)
            ++line;
        out.insert(out.end(), text.begin() + pos, text.begin() + end);
        bool directive = !isMarker && StartsWithDirective(text, pos, end);
        if (end < text.size() || directive)
            out.push_back('\n');
        if (directive)
            AppendMarker(out, flag, line + 1, name);
        pos = end + 1;
    }
    return out;
}

}  // namespace

std::vector<uint8_t> PrepareScript(const std::vector<uint8_t>& text, const std::string& sourceName)
{
    bool littleBom = text.size() >= 2 && text[0] == 0xFF && text[1] == 0xFE;
    bool bigBom = text.size() >= 2 && text[0] == 0xFE && text[1] == 0xFF;
    if (!littleBom && !bigBom)
        return Prepare(text, sourceName);

    // UTF-16: the engine converts little-endian text after its byte-order mark.
    std::vector<uint16_t> wide;
    for (size_t i = 2; i + 1 < text.size(); i += 2)
        wide.push_back(littleBom ? uint16_t(text[i] | text[i + 1] << 8) : uint16_t(text[i] << 8 | text[i + 1]));
    std::vector<uint16_t> prepared = Prepare(wide, sourceName);
    std::vector<uint8_t> out{0xFF, 0xFE};
    for (uint16_t unit : prepared) {
        out.push_back(uint8_t(unit & 0xFF));
        out.push_back(uint8_t(unit >> 8));
    }
    return out;
}

// ---------------------------------------------------------------- compression

bool Deflate(const std::vector<uint8_t>& data, std::vector<uint8_t>& stream)
{
    if (data.size() > 0xFFFFFFFFu)
        return false;
    uLongf size = compressBound(uLong(data.size()));
    stream.resize(size);
    if (compress2(stream.data(), &size, data.data(), uLong(data.size()), Z_BEST_COMPRESSION) != Z_OK)
        return false;
    stream.resize(size);
    return true;
}

// ---------------------------------------------------------------- directory

namespace {

void PutBigEndian(uint8_t* at, uint32_t value)
{
    at[0] = uint8_t(value >> 24);
    at[1] = uint8_t(value >> 16);
    at[2] = uint8_t(value >> 8);
    at[3] = uint8_t(value);
}

void PutLittleEndian(uint8_t* at, uint32_t value)
{
    at[0] = uint8_t(value);
    at[1] = uint8_t(value >> 8);
    at[2] = uint8_t(value >> 16);
    at[3] = uint8_t(value >> 24);
}

void AppendRecord(std::vector<uint8_t>& out, const std::string& name, uint32_t dateTime,
                  uint32_t fullSize, uint32_t compressedSize, uint32_t type, uint32_t tag)
{
    uint8_t record[kRecordSize] = {};
    std::memcpy(record, name.data(), name.size());
    PutBigEndian(record + 256, dateTime);
    PutBigEndian(record + 260, fullSize);
    PutBigEndian(record + 264, compressedSize);
    PutBigEndian(record + 268, type);
    PutBigEndian(record + 272, tag);
    out.insert(out.end(), record, record + kRecordSize);
}

std::string Folded(const std::string& name)
{
    std::string folded = name;
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z')
            c = char(c + ('a' - 'A'));
    return folded;
}

}  // namespace

bool WritePackedImage(const std::vector<Entry>& entries, std::vector<uint8_t>& out, std::string& error)
{
    if (entries.empty() || entries[0].type != kTypeLauncher) {
        error = "the launcher image must come first";
        return false;
    }
    if (entries.size() > kMaxRecords) {
        error = "too many attached files (at most " + std::to_string(kMaxRecords) + " records)";
        return false;
    }
    uint64_t total = 0;
    std::set<std::string> names;
    for (const Entry& entry : entries) {
        if (entry.name.empty() || entry.name.size() >= kNameSize
            || entry.name.find_first_of("\\/:") != std::string::npos
            || entry.name.find('\0') != std::string::npos) {
            error = "unusable attached file name \"" + entry.name + "\"";
            return false;
        }
        if (!names.insert(Folded(entry.name)).second) {
            error = "attached file name used twice: \"" + entry.name + "\"";
            return false;
        }
        if (!entry.compressed && entry.payload.size() != entry.fullSize) {
            error = "stored payload of \"" + entry.name + "\" does not match its size";
            return false;
        }
        total += entry.payload.size();
    }
    total += kRecordSize * (entries.size() + 2);
    if (total > 0xFFFFFFFFu) {
        error = "the packed program would exceed 4 GB";
        return false;
    }

    out.clear();
    out.reserve(size_t(total));
    for (const Entry& entry : entries)
        out.insert(out.end(), entry.payload.begin(), entry.payload.end());

    uint8_t marker[kRecordSize] = {};
    PutLittleEndian(marker, kSentinel);
    std::memcpy(marker + 4, kMarkerText, kMarkerTextLength);
    PutLittleEndian(marker + 27, kSentinel);
    marker[31] = uint8_t(entries.size());
    out.insert(out.end(), marker, marker + kRecordSize);

    for (const Entry& entry : entries)
        AppendRecord(out, entry.name, entry.dosDateTime, entry.fullSize,
                     entry.compressed ? uint32_t(entry.payload.size()) : 0, entry.type, entry.tag);
    AppendRecord(out, "STOP", 0, 0, 0, uint32_t(entries.size() + 1), kTagStop);
    return true;
}

}  // namespace kvpack
