// Script preparation and reading: the permutation, scrambling, the line reader with its
// 2048-character limit, UTF-16 texts, #include expansion with marker lines, locations of
// offsets, and encoded script files.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "engine/core/script.h"
#include "engine/core/statement.h"

namespace {

struct Context {
    BDS* ctx = static_cast<BDS*>(std::calloc(1, sizeof(BDS)));
    Context()
    {
        ctx->nUdfRunning = UDF_NONE_RUNNING;
        ctx->err.bQuietMode = 1;      // failures are logged, never shown
        BuildScriptPermutation();
    }
    ~Context() { std::free(ctx); }
};

// A movable block holding the text, scrambled as a prepared script.
HGLOBAL Scrambled(const std::string& text)
{
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    auto* p = static_cast<uint8_t*>(GlobalLock(h));
    std::memcpy(p, text.c_str(), text.size() + 1);
    ScrambleBuffer(nullptr, p, text.size() + 1);
    GlobalUnlock(h);
    return h;
}

std::vector<std::string> ReadAll(BDS* ctx, HGLOBAL script, uint32_t end, std::vector<uint32_t>* starts = nullptr)
{
    std::vector<std::string> lines;
    char line[TEXTBUF];
    uint32_t pos = 0, first = 0;
    while (ReadScriptLine(ctx, line, sizeof line, script, &first, &pos, end)) {
        lines.emplace_back(line);
        if (starts)
            starts->push_back(first);
        if (lines.size() > 10000)
            break;      // a reader that loops fails the test instead of hanging it
    }
    return lines;
}

std::string TempDir()
{
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    std::string dir = std::string(base) + "kvrun_" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

void WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// The text of a block after include expansion, or "" with the result in *r.
std::string Expand(BDS* ctx, const std::string& text, const std::string& folder, int64_t* r, char* failed)
{
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    std::memcpy(GlobalLock(h), text.c_str(), text.size() + 1);
    GlobalUnlock(h);
    *r = LoadIncludeFile(ctx, &h, (folder + "main.zal").c_str(), folder.c_str(), failed, 0);
    std::string out = static_cast<const char*>(GlobalLock(h));
    GlobalUnlock(h);
    GlobalFree(h);
    return *r > 0 ? out : std::string();
}

}  // namespace

TEST(ScriptPermutation, IsABijectionAndStaysForTheProcess)
{
    BuildScriptPermutation();
    ScriptPermutation first = g_ScriptPermutation;
    bool seen[256] = {};
    for (int b = 0; b < 256; ++b) {
        EXPECT_FALSE(seen[first.forward[b]]);
        seen[first.forward[b]] = true;
        EXPECT_EQ(first.inverse[first.forward[b]], b);
    }
    BuildScriptPermutation();
    EXPECT_EQ(std::memcmp(&first, &g_ScriptPermutation, sizeof first), 0);
    for (uint32_t pos : {0u, 1u, 255u, 256u, 70000u})
        for (int b = 0; b < 256; b += 17)
            EXPECT_EQ(UnscrambleByte(ScrambleByte(static_cast<uint8_t>(b), pos), pos, 0), b);
}

TEST(ScriptReader, ReadsLinesSkippingLeadingBlanks)
{
    Context c;
    std::string text = "a = 1\n\t  b c \n\n   \nlast";
    HGLOBAL h = Scrambled(text);
    auto* raw = static_cast<uint8_t*>(GlobalLock(h));
    EXPECT_NE(std::memcmp(raw, text.data(), 5), 0) << "the buffer must not hold the plain text";
    GlobalUnlock(h);
    std::vector<uint32_t> starts;
    auto lines = ReadAll(c.ctx, h, static_cast<uint32_t>(text.size()), &starts);
    ASSERT_EQ(lines, (std::vector<std::string>{"a = 1", "b c ", "", "", "last"}));
    EXPECT_EQ(starts[0], 0u);
    EXPECT_EQ(starts[1], 9u);
    EXPECT_EQ(starts[4], text.find("last"));
    EXPECT_EQ(c.ctx->nDeferredError, 0);
    GlobalFree(h);
}

TEST(ScriptReader, LineLimitOf2048Characters)
{
    struct Case {
        std::string line;
        size_t stored;
        uint16_t deferred;
    } cases[] = {
        {std::string(2048, 'x') + "\r\n", 2049, 0},   // the blank left of CR is accepted
        {std::string(2048, 'x') + "\n", 2048, 0},
        {std::string(2049, 'x') + "\n", 2048, 3722},
        {std::string(5000, 'y') + "\n", 2048, 3722},
    };
    for (const Case& k : cases) {
        Context c;
        std::string text = k.line + "next\n";
        NormalizeLineEnds(text.data(), text.size());
        HGLOBAL h = Scrambled(text);
        auto lines = ReadAll(c.ctx, h, static_cast<uint32_t>(text.size()));
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0].size(), k.stored);
        EXPECT_EQ(lines[1], "next") << "the rest of a long line is dropped";
        EXPECT_EQ(c.ctx->nDeferredError, k.deferred);
        GlobalFree(h);
    }
}

TEST(ScriptReader, NulInsideTheTextNeverLoops)
{
    Context c;
    std::string text("a\0b\n\0\0c", 7);
    HGLOBAL h = Scrambled(text);
    auto lines = ReadAll(c.ctx, h, static_cast<uint32_t>(text.size()));
    EXPECT_LE(lines.size(), 5u);
    EXPECT_EQ(lines.front(), "a");
    EXPECT_EQ(lines.back(), "c");
    GlobalFree(h);
}

TEST(ScriptText, LineEndsAndUtf16Forms)
{
    std::string t = "a\r\nb\rc\n";
    NormalizeLineEnds(t.data(), t.size());
    EXPECT_EQ(t, "a \nb\nc\n");

    Context c;
    const char little[] = "\xFF\xFE" "a\0b\0\r\0\n\0";
    const char big[] = "\xFE\xFF" "\0a\0b\0\r\0\n";
    for (const char* form : {little, big}) {
        char buffer[16];
        std::memcpy(buffer, form, 10);
        size_t n = WideToAnsiBuffer(c.ctx, buffer, 10);
        ASSERT_EQ(n, 4u);
        EXPECT_EQ(std::string(buffer, n), "ab\r\n");
    }
    char empty[4] = {'\xFF', '\xFE', 0, 0};
    EXPECT_EQ(WideToAnsiBuffer(c.ctx, empty, 4), 0u);
}

TEST(ScriptIncludes, FifteenLevelsExpandSixteenFail)
{
    Context c;
    std::string dir = TempDir();
    // inc1 includes inc2 ... each file holds one statement line naming its level.
    for (int i = 1; i <= 16; ++i) {
        std::string body = "level" + std::to_string(i) + " = 1\n";
        if (i < 16)
            body += "#include \"inc" + std::to_string(i + 1) + ".zal\"\n";
        WriteFile(dir + "inc" + std::to_string(i) + ".zal", body);
    }
    char failed[261] = "";
    int64_t r = 0;
    // Cut the chain at 15 levels below the main text.
    WriteFile(dir + "inc15.zal", "level15 = 1\n");
    std::string out = Expand(c.ctx, "x = 1\n#include 'inc1.zal'\ny = 2\n", dir, &r, failed);
    ASSERT_GT(r, 0);
    EXPECT_NE(out.find("level15 = 1"), std::string::npos);
    EXPECT_LT(out.find("level1 = 1"), out.find("y = 2"));

    WriteFile(dir + "inc15.zal", "level15 = 1\n#include \"inc16.zal\"\n");
    Expand(c.ctx, "#include \"inc1.zal\"\n", dir, &r, failed);
    EXPECT_EQ(r, -2);

    Expand(c.ctx, "a = 1\n#include \"nosuchfile.zal\"\n", dir, &r, failed);
    EXPECT_EQ(r, 0);
    EXPECT_STREQ(failed, "nosuchfile.zal");

    Expand(c.ctx, "#include \"unclosed.zal\n", dir, &r, failed);
    EXPECT_EQ(r, 0);
}

TEST(ScriptIncludes, MarkersGiveFileAndLineOfAnOffset)
{
    Context c;
    std::string dir = TempDir();
    WriteFile(dir + "part.zal", "p1 = 1\np2 = 2\r\np3 = 3\n");
    char failed[261] = "";
    int64_t r = 0;
    std::string out = Expand(c.ctx, "m1 = 1\n#include part.zal\nm3 = 3\n#DefineFunction f()\nm5 = 5\n", dir, &r,
                             failed);
    ASSERT_GT(r, 0);
    EXPECT_EQ(out.substr(0, 2), std::string(";\x0B", 2));
    HGLOBAL h = Scrambled(out);
    struct Case {
        const char* text;
        uint32_t line;
        const char* file;
    } cases[] = {
        {"m1 = 1", 1, "main.zal"}, {"p2 = 2", 2, "part.zal"}, {"p3 = 3", 3, "part.zal"},
        {"m3 = 3", 3, "main.zal"}, {"m5 = 5", 5, "main.zal"},
    };
    for (const Case& k : cases) {
        ScriptLocation at{};
        char line[TEXTBUF];
        ASSERT_TRUE(LocateScriptLine(c.ctx, h, static_cast<uint32_t>(out.find(k.text)), &at, line, sizeof line));
        EXPECT_EQ(at.line, k.line) << k.text;
        EXPECT_NE(std::string(at.file).find(k.file), std::string::npos) << k.text << " in " << at.file;
        EXPECT_EQ(std::string(line).substr(0, 6), k.text);
        EXPECT_EQ(at.markerFlag, 1);
    }
    GlobalFree(h);

    // A text prepared before is returned as it is.
    int64_t again = 0;
    std::string twice = Expand(c.ctx, out, dir, &again, failed);
    EXPECT_EQ(twice, out);
}

TEST(ScriptCodec, EncodedFilesDecodeAndTamperingFails)
{
    Context c;
    std::string text = "a = 1\nb = \"two\"\n" + std::string(3000, 'z') + "\n";
    for (int type : {1, 3}) {
        std::vector<uint8_t> enc(text.size() + 16);
        size_t n = EncodeScriptBuffer(text.c_str(), text.size(), type, nullptr, enc.data());
        ASSERT_GT(n, text.size());
        EXPECT_EQ(std::string(reinterpret_cast<char*>(enc.data()) + 12, 5).find("a = 1"), std::string::npos);
        std::string buf(reinterpret_cast<char*>(enc.data()), n);
        ASSERT_EQ(DecodeScriptBuffer(c.ctx, buf.data(), buf.size()), 1) << type;
        EXPECT_NE(buf.find(text), std::string::npos) << type;
        EXPECT_EQ(buf[0], type == 3 ? ' ' : ';');
    }
    std::vector<uint8_t> enc(text.size() + 16);
    size_t n = EncodeScriptBuffer(text.c_str(), text.size(), 1, nullptr, enc.data());
    enc[n / 2] ^= 0x40;
    std::string buf(reinterpret_cast<char*>(enc.data()), n);
    EXPECT_EQ(DecodeScriptBuffer(c.ctx, buf.data(), buf.size()), 0);
    buf = std::string("\x01garbage-without-header", 23);
    EXPECT_EQ(DecodeScriptBuffer(c.ctx, buf.data(), buf.size()), 0);
}
