// IconReplace on a 16-bit (NE) program: images found through its resource table, an image
// eight bytes smaller than its slot taken too; IconInfo and IconExtract of such a program.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "text_fixture.h"

namespace {

constexpr size_t NE_HEADER = 0x40;
constexpr size_t FIRST_ICON = 0x100, SECOND_ICON = 0x140;   // 48 and 64 bytes

void Put16(std::vector<uint8_t>& f, size_t at, uint16_t v)
{
    f[at] = static_cast<uint8_t>(v);
    f[at + 1] = static_cast<uint8_t>(v >> 8);
}

// An MZ stub, an NE header and a resource table with two icons (in 16-byte units).
std::vector<uint8_t> NeProgram(bool withResources)
{
    std::vector<uint8_t> f(0x180, 0xEE);
    std::memset(f.data(), 0, 0x100);
    f[0] = 'M';
    f[1] = 'Z';
    Put16(f, 0x3C, NE_HEADER);
    f[NE_HEADER] = 'N';
    f[NE_HEADER + 1] = 'E';
    Put16(f, NE_HEADER + 0x24, 0x40);                       // resource table at 0x80
    Put16(f, NE_HEADER + 0x26, withResources ? 0x70 : 0x40);   // resident names
    size_t t = 0x80;
    Put16(f, t, 4);                                         // alignment shift
    Put16(f, t + 2, 0x8003);                                // icons
    Put16(f, t + 4, 2);
    Put16(f, t + 10, FIRST_ICON >> 4);
    Put16(f, t + 12, 48 >> 4);
    Put16(f, t + 22, SECOND_ICON >> 4);
    Put16(f, t + 24, 64 >> 4);
    Put16(f, t + 34, 0);                                    // end of the types
    return f;
}

// An .ico file whose images are runs of one byte value each.
std::vector<uint8_t> Ico(const std::vector<std::pair<size_t, uint8_t>>& images)
{
    std::vector<uint8_t> f(6 + 16 * images.size(), 0);
    Put16(f, 2, 1);
    Put16(f, 4, static_cast<uint16_t>(images.size()));
    for (size_t i = 0; i < images.size(); ++i) {
        size_t e = 6 + 16 * i;
        f[e] = f[e + 1] = 16;
        uint32_t size = static_cast<uint32_t>(images[i].first), offset = static_cast<uint32_t>(f.size());
        std::memcpy(&f[e + 8], &size, 4);
        std::memcpy(&f[e + 12], &offset, 4);
        f.insert(f.end(), images[i].first, images[i].second);
    }
    return f;
}

class IconNeTest : public TextTest {
protected:
    void SetUp() override
    {
        TextTest::SetUp();
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        folder = std::string(temp) + "kvicons" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(folder.c_str(), nullptr);
    }
    void TearDown() override
    {
        for (const char* name : {"ne.exe", "bare.exe", "images.ico"})
            DeleteFileA((folder + name).c_str());
        RemoveDirectoryA(folder.c_str());
        TextTest::TearDown();
    }
    void Write(const char* name, const std::vector<uint8_t>& bytes)
    {
        std::ofstream(folder + name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                             static_cast<std::streamsize>(bytes.size()));
    }
    std::vector<uint8_t> Read(const char* name)
    {
        std::ifstream in(folder + name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::string folder;
};

TEST_F(IconNeTest, SlotsOfTheResourceTable)
{
    Write("ne.exe", NeProgram(true));
    Write("images.ico", Ico({{40, 0x11}, {64, 0x22}}));
    std::string exe = folder + "ne.exe", ico = folder + "images.ico";

    Call("iconreplace", {exe, ico, 2});
    EXPECT_EQ(ctx->nErrorCode, 0);
    EXPECT_EQ(result.i32, 1);
    Call("iconreplace", {exe, ico, 1});   // a 48-byte slot takes the 40-byte image
    EXPECT_EQ(result.i32, 1);
    std::vector<uint8_t> f = Read("ne.exe");
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + FIRST_ICON, f.begin() + FIRST_ICON + 40), std::vector<uint8_t>(40, 0x11));
    EXPECT_EQ(f[FIRST_ICON + 40], 0xEE);
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + SECOND_ICON, f.begin() + SECOND_ICON + 64),
              std::vector<uint8_t>(64, 0x22));

    Call("iconreplace", {exe, ico, 3});
    EXPECT_EQ(ctx->nErrorCode, 1466);
    Call("iconinfo", {exe, 0});
    EXPECT_EQ(ctx->nErrorCode, 0);   // a 16-bit program lists no groups
    Call("iconextract", {exe, folder + "out.ico", 1});
    EXPECT_EQ(ctx->nErrorCode, 1757);

    Write("bare.exe", NeProgram(false));
    Call("iconreplace", {folder + "bare.exe", ico, 1});
    EXPECT_EQ(ctx->nErrorCode, 1311);
}

}  // namespace
