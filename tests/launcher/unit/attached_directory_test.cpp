// The packing format as the packing tool writes it and the launcher reads it back.
#include <gtest/gtest.h>

#include <windows.h>
#include <zlib.h>
#include <cstring>
#include <string>
#include <vector>

#include "launcher/attached_directory.h"
#include "tools/pack/pack_format.h"

namespace {

kvpack::Entry MakeEntry(const char* name, uint32_t type, uint32_t tag, std::vector<uint8_t> data, bool compress)
{
    kvpack::Entry entry;
    entry.name = name;
    entry.type = type;
    entry.tag = tag;
    entry.dosDateTime = 0x5A2D6C20;
    entry.fullSize = uint32_t(data.size());
    if (compress) {
        EXPECT_TRUE(kvpack::Deflate(data, entry.payload));
        entry.compressed = true;
    } else {
        entry.payload = std::move(data);
    }
    return entry;
}

std::vector<uint8_t> Bytes(size_t n, uint8_t seed)
{
    std::vector<uint8_t> data(n);
    for (size_t i = 0; i < n; ++i)
        data[i] = uint8_t(seed + i * 7);
    return data;
}

// Writes bytes to a temporary file and opens it for reading.
struct TempFile {
    std::string path;
    HANDLE handle = INVALID_HANDLE_VALUE;
    explicit TempFile(const std::vector<uint8_t>& bytes)
    {
        char dir[MAX_PATH], name[MAX_PATH];
        GetTempPathA(MAX_PATH, dir);
        GetTempFileNameA(dir, "kvt", 0, name);
        path = name;
        HANDLE out = CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written;
        WriteFile(out, bytes.data(), DWORD(bytes.size()), &written, nullptr);
        CloseHandle(out);
        handle = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    ~TempFile()
    {
        CloseHandle(handle);
        DeleteFileA(path.c_str());
    }
};

std::vector<uint8_t> PackedSample(std::vector<kvpack::Entry>* entriesOut = nullptr)
{
    std::vector<kvpack::Entry> entries;
    entries.push_back(MakeEntry("prog.exe", kvpack::kTypeLauncher, kvpack::kTagLauncher, Bytes(70000, 1), false));
    entries.push_back(MakeEntry("KVDYC64I.DLL", kvpack::kTypeRequired, kvpack::kTagRequired, Bytes(5000, 2), false));
    entries.push_back(MakeEntry("notes.txt", kvpack::kTypeExtra, kvpack::kTagExtra, std::vector<uint8_t>(3000, 'n'), true));
    entries.push_back(MakeEntry("run.zal", kvpack::kTypeScript, kvpack::kTagScript, std::vector<uint8_t>(900, 's'), true));
    std::vector<uint8_t> image;
    std::string error;
    EXPECT_TRUE(kvpack::WritePackedImage(entries, image, error)) << error;
    if (entriesOut)
        *entriesOut = entries;
    return image;
}

}  // namespace

TEST(AttachedDirectory, ReadsBackWhatThePackerWrote)
{
    std::vector<kvpack::Entry> entries;
    std::vector<uint8_t> image = PackedSample(&entries);
    TempFile file(image);
    EXPECT_EQ(FindAttachedDirectory(file.handle), image.size());

    std::vector<AttachedRecord> records;
    ASSERT_EQ(ReadAttachedDirectory(file.handle, records), DirectoryStatus::Ok);
    ASSERT_EQ(records.size(), entries.size());
    uint64_t offset = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_STREQ(records[i].name, entries[i].name.c_str());
        EXPECT_EQ(records[i].type, entries[i].type);
        EXPECT_EQ(records[i].tag, entries[i].tag);
        EXPECT_EQ(records[i].dosDateTime, 0x5A2D6C20u);
        EXPECT_EQ(records[i].fullSize, entries[i].fullSize);
        EXPECT_EQ(records[i].compressedSize, entries[i].compressed ? entries[i].payload.size() : 0u);
        EXPECT_EQ(records[i].payloadOffset, offset);
        std::vector<uint8_t> payload(records[i].PayloadSize());
        ASSERT_TRUE(ReadFileAt(file.handle, records[i].payloadOffset, payload.data(), uint32_t(payload.size())));
        EXPECT_EQ(payload, entries[i].payload) << records[i].name;
        offset += payload.size();
    }
}

TEST(AttachedDirectory, MarkerRecordAndStopRecordHaveTheirLayout)
{
    std::vector<uint8_t> image = PackedSample();
    size_t stop = image.size() - 276, marker = image.size() - 6 * 276;
    const uint8_t sentinel[4] = {0x20, 0x11, 0x10, 0x20};
    EXPECT_EQ(std::memcmp(&image[marker], sentinel, 4), 0);
    EXPECT_EQ(std::memcmp(&image[marker + 4], "Quarrenvale Ostmerwick!", 23), 0);
    EXPECT_EQ(std::memcmp(&image[marker + 27], sentinel, 4), 0);
    EXPECT_EQ(image[marker + 31], 4);                 // records before STOP
    for (size_t i = 32; i < 276; ++i)
        ASSERT_EQ(image[marker + i], 0) << i;
    EXPECT_STREQ(reinterpret_cast<const char*>(&image[stop]), "STOP");
    const uint8_t countAndTag[8] = {0, 0, 0, 5, 0, 0, 0x27, 0x0F};   // big-endian 5 and 9999
    EXPECT_EQ(std::memcmp(&image[stop + 268], countAndTag, 8), 0);
}

TEST(AttachedDirectory, DamagedDirectoriesAreRefused)
{
    std::vector<uint8_t> good = PackedSample();
    struct Case { const char* what; std::vector<uint8_t> bytes; };
    std::vector<Case> cases;
    cases.push_back({"no marker", Bytes(100000, 9)});
    cases.push_back({"STOP tag", good});
    cases.back().bytes[good.size() - 1] ^= 1;
    cases.push_back({"count beyond the file", good});
    cases.back().bytes[good.size() - 276 + 268] = 0x7F;
    cases.push_back({"cut off", std::vector<uint8_t>(good.begin(), good.end() - 100)});
    cases.push_back({"tiny", std::vector<uint8_t>(10, 0)});
    for (const Case& c : cases) {
        TempFile file(c.bytes);
        std::vector<AttachedRecord> records;
        EXPECT_EQ(ReadAttachedDirectory(file.handle, records), DirectoryStatus::Damaged) << c.what;
    }
    TempFile plain(cases[0].bytes);
    EXPECT_EQ(FindAttachedDirectory(plain.handle), 100000u);
}

TEST(PackFormat, WriterRefusesWhatTheLauncherCouldNotRead)
{
    struct Case { const char* what; std::vector<kvpack::Entry> entries; };
    auto launcher = MakeEntry("p.exe", kvpack::kTypeLauncher, kvpack::kTagLauncher, Bytes(10, 1), false);
    std::vector<Case> cases;
    cases.push_back({"no launcher first", {MakeEntry("x", kvpack::kTypeExtra, 0, Bytes(1, 1), false)}});
    cases.push_back({"path in a name", {launcher, MakeEntry("a\\b", kvpack::kTypeExtra, 0, Bytes(1, 1), false)}});
    cases.push_back({"long name", {launcher, MakeEntry(std::string(256, 'n').c_str(), kvpack::kTypeExtra, 0, Bytes(1, 1), false)}});
    cases.push_back({"twice", {launcher, MakeEntry("A.txt", 2222, 0, Bytes(1, 1), false), MakeEntry("a.TXT", 2222, 0, Bytes(1, 1), false)}});
    std::vector<kvpack::Entry> many{launcher};
    for (size_t i = 0; i < kvpack::kMaxRecords; ++i) {
        std::string name = std::to_string(i);
        name.append(".f");
        many.push_back(MakeEntry(name.c_str(), kvpack::kTypeExtra, 0, Bytes(1, 1), false));
    }
    cases.push_back({"too many", many});
    for (const Case& c : cases) {
        std::vector<uint8_t> image;
        std::string error;
        EXPECT_FALSE(kvpack::WritePackedImage(c.entries, image, error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
    }
    many.pop_back();   // the most records the launcher can still find
    std::vector<uint8_t> image;
    std::string error;
    ASSERT_TRUE(kvpack::WritePackedImage(many, image, error)) << error;
    TempFile file(image);
    std::vector<AttachedRecord> records;
    ASSERT_EQ(ReadAttachedDirectory(file.handle, records), DirectoryStatus::Ok);
    EXPECT_EQ(records.size(), many.size());
}

TEST(PackFormat, ScriptGetsItsSourcePositionMarkers)
{
    auto prepare = [](const std::string& text) {
        std::vector<uint8_t> out = kvpack::PrepareScript(std::vector<uint8_t>(text.begin(), text.end()), "s.zal");
        return std::string(out.begin(), out.end());
    };
    const std::string m = ";\x0b" "A@";
    EXPECT_EQ(prepare("a=1\nb=2\n"), m + "@@@As.zal\na=1\nb=2\n");
    EXPECT_EQ(prepare("x\r\n  #DefineFunction f()\r\ny\n#include \"q\"\n"),
              m + "@@@As.zal\nx\r\n  #DefineFunction f()\r\n" + m + "@@@Cs.zal\ny\n#include \"q\"\n" + m + "@@@Es.zal\n");
    EXPECT_EQ(prepare("last line"), m + "@@@As.zal\nlast line");
    EXPECT_EQ(prepare(""), m + "@@@As.zal\n");
    // Already prepared texts are left alone.
    EXPECT_EQ(prepare(";\x0b" "A@@@@Bx\nq\n"), ";\x0b" "A@@@@Bx\nq\n");
    EXPECT_EQ(prepare(" ;\x0c" "Eabc"), " ;\x0c" "Eabc");
    // Line 64 is written with two base-64 digits.
    std::string long_text;
    for (int i = 0; i < 63; ++i)
        long_text += "x\n";
    long_text += "#definesubroutine s\nz\n";
    EXPECT_NE(prepare(long_text).find(m + "@@AAs.zal\nz\n"), std::string::npos);
}

TEST(PackFormat, UnicodeScriptStaysUnicode)
{
    std::vector<uint8_t> text{0xFF, 0xFE, 'h', 0, 'i', 0, '\n', 0};
    std::vector<uint8_t> out = kvpack::PrepareScript(text, "u");
    std::vector<uint8_t> want{0xFF, 0xFE};
    for (char c : std::string(";\x0b" "A@@@@Au\nhi\n")) {
        want.push_back(uint8_t(c));
        want.push_back(0);
    }
    EXPECT_EQ(out, want);
    std::vector<uint8_t> big{0xFE, 0xFF, 0, 'h', 0, '\n'};
    std::vector<uint8_t> fromBig = kvpack::PrepareScript(big, "u");
    EXPECT_EQ(fromBig[0], 0xFF);
    EXPECT_EQ(fromBig[fromBig.size() - 4], 'h');
}

TEST(PackFormat, DosDateTimeIsLocalAndTwoSecondExact)
{
    std::tm when{};
    when.tm_year = 2024 - 1900;
    when.tm_mon = 4;
    when.tm_mday = 1;
    when.tm_hour = 13;
    when.tm_min = 45;
    when.tm_sec = 11;
    when.tm_isdst = -1;
    uint32_t packed = kvpack::DosDateTime(std::mktime(&when));
    EXPECT_EQ(packed >> 16, uint32_t((2024 - 1980) << 9 | 5 << 5 | 1));
    EXPECT_EQ(packed & 0xFFFF, uint32_t(13 << 11 | 45 << 5 | 5));
    EXPECT_EQ(kvpack::DosDateTime(0) >> 16, uint32_t(1 << 5 | 1));   // before 1980: the first DOS day
}
