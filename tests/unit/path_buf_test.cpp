// Long-path buffers, full names with the drives' own current directories, and path splits.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "engine/core/context.h"
#include "engine/files/path_buf.h"
#include "engine/files/path_search.h"
#include "engine/files/path_split.h"

namespace {

class PathBufTest : public ::testing::Test {
protected:
    void SetUp() override { ctx = static_cast<BDS*>(calloc(1, sizeof(BDS))); }
    void TearDown() override { free(ctx); }
    BDS* ctx = nullptr;
};

std::wstring Repeat(const wchar_t* part, int times)
{
    std::wstring out;
    for (int i = 0; i < times; ++i)
        out += part;
    return out;
}

TEST_F(PathBufTest, ShortPathsStayInline)
{
    LocalPathBuf buf;
    ASSERT_EQ(PathBufAppend(ctx, buf.get(), L"C:\\dir\\", PATH_LIMIT_FILE), 1);
    ASSERT_EQ(PathBufAppend(ctx, buf.get(), L"file.txt", PATH_LIMIT_FILE), 1);
    EXPECT_EQ(buf.get()->text, buf.get()->inlineText);
    EXPECT_STREQ(buf.text(), L"C:\\dir\\file.txt");
    EXPECT_EQ(PathBufAppend(ctx, buf.get(), L"", PATH_LIMIT_FILE), 1);
    EXPECT_EQ(PathBufAppend(ctx, buf.get(), nullptr, PATH_LIMIT_FILE), 1);
}

TEST_F(PathBufTest, LongPathsMoveToTheHeapWithTheirPrefix)
{
    std::wstring tail = Repeat(L"abcdefghi\\", 30) + L"f.txt";   // 305 characters
    struct Case {
        const wchar_t* root;
        std::wstring expectedStart;
    } cases[] = {
        {L"D:\\", L"\\\\?\\D:\\abcdefghi\\"},
        {L"\\\\server\\share\\", L"\\\\?\\UNC\\server\\share\\abcdefghi\\"},
        {L"\\\\?\\D:\\", L"\\\\?\\D:\\abcdefghi\\"},              // never a second prefix
    };
    for (const Case& c : cases) {
        LocalPathBuf buf;
        ASSERT_EQ(PathBufAppend(ctx, buf.get(), c.root, PATH_LIMIT_FILE), 1);
        ASSERT_EQ(PathBufAppend(ctx, buf.get(), tail.c_str(), PATH_LIMIT_FILE), 1) << c.root;
        std::wstring text = buf.text();
        EXPECT_NE(buf.get()->text, buf.get()->inlineText);
        EXPECT_EQ(text.substr(0, c.expectedStart.size()), c.expectedStart);
        EXPECT_EQ(text.substr(text.size() - 6), L"\\f.txt");
        EXPECT_GE(buf.get()->capacity, text.size() + 1);
    }
}

TEST_F(PathBufTest, ALongRelativeNameIsMadeAbsoluteInFull)
{
    std::wstring relative = Repeat(L"abcdefghi\\", 30) + L"..\\f.txt";
    LocalPathBuf buf;
    ASSERT_EQ(PathBufAppend(ctx, buf.get(), relative.c_str(), PATH_LIMIT_FILE), 1);
    wchar_t current[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, current);
    std::wstring expected = std::wstring(L"\\\\?\\") + current;
    if (expected.back() != L'\\')
        expected += L'\\';
    expected += Repeat(L"abcdefghi\\", 29) + L"f.txt";
    EXPECT_EQ(std::wstring(buf.text()), expected);
}

TEST_F(PathBufTest, DevicePathsNeverTakeThePrefix)
{
    std::wstring device = L"\\\\.\\" + Repeat(L"x", 300);
    LocalPathBuf buf;
    ASSERT_EQ(PathBufAppend(ctx, buf.get(), device.c_str(), PATH_LIMIT_FILE), 1);
    EXPECT_EQ(std::wstring(buf.text()), device);
}

TEST_F(PathBufTest, DirectoriesToBeCreatedHaveTheLowerLimit)
{
    std::wstring path = L"C:\\" + Repeat(L"x", 246);   // 249 characters and the NUL
    LocalPathBuf dir, file;
    ASSERT_EQ(PathBufAppend(ctx, dir.get(), path.c_str(), PATH_LIMIT_DIR), 1);
    ASSERT_EQ(PathBufAppend(ctx, file.get(), path.c_str(), PATH_LIMIT_FILE), 1);
    EXPECT_EQ(std::wstring(dir.text()), L"\\\\?\\" + path);
    EXPECT_EQ(std::wstring(file.text()), path);
}

TEST_F(PathBufTest, BeyondTheAbsoluteLimitIsRefusedAndTheContentKept)
{
    std::wstring huge = L"C:\\" + Repeat(L"y", 32764);   // 32767 characters and the NUL
    LocalPathBuf buf;
    ASSERT_EQ(PathBufAppend(ctx, buf.get(), L"C:\\keep", PATH_LIMIT_FILE), 1);
    EXPECT_EQ(PathBufAppend(ctx, buf.get(), huge.c_str(), PATH_LIMIT_FILE), 0);
    EXPECT_EQ(ctx->nErrorCode, 1433);
    EXPECT_STREQ(buf.text(), L"C:\\keep");
    ctx->nErrorCode = 0;
    EXPECT_EQ(PathBufReserve(ctx, buf.get(), 32768), 0);
    EXPECT_EQ(ctx->nErrorCode, 1433);
}

// A path that takes the long-path prefix keeps room for the longer "\\?\UNC\" one: 32758
// characters fit, 32759 do not; a path that has its prefix already needs no more room.
TEST_F(PathBufTest, TheLongestPathsLeaveRoomForThePrefix)
{
    struct Case {
        std::wstring path;
        int answer;
    } cases[] = {
        {L"C:\\" + Repeat(L"y", 32755), 1},                   // 32758 characters
        {L"C:\\" + Repeat(L"y", 32756), 0},                   // 32759
        {L"\\\\server\\share\\" + Repeat(L"y", 32743), 1},    // 32758
        {L"\\\\server\\share\\" + Repeat(L"y", 32744), 0},    // 32759
        {L"\\\\?\\C:\\" + Repeat(L"y", 32759), 1},            // 32766, prefixed already
    };
    for (const Case& c : cases) {
        LocalPathBuf buf;
        ctx->nErrorCode = 0;
        EXPECT_EQ(PathBufAppend(ctx, buf.get(), c.path.c_str(), PATH_LIMIT_FILE), c.answer) << c.path.size();
        EXPECT_EQ(ctx->nErrorCode, c.answer ? 0 : 1433) << c.path.size();
    }
}

TEST_F(PathBufTest, PrefixKinds)
{
    EXPECT_EQ(LongPrefixKindW(L"C:\\x"), 0);
    EXPECT_EQ(LongPrefixKindW(L"\\\\?\\C:\\x"), 1);
    EXPECT_EQ(LongPrefixKindW(L"\\\\?\\unc\\s\\x"), 3);
    EXPECT_EQ(LongPrefixKindW(L"\\\\?\\UNCX"), 1);
    EXPECT_EQ(LongPrefixLengthW(L"\\\\?\\UNC\\s"), 8);
}

TEST_F(PathBufTest, SplitsOfLongPaths)
{
    wchar_t drive[3], name[256], ext[256];
    LocalPathBuf dir;
    ASSERT_EQ(SplitLongPathW(ctx, L"\\\\?\\D:\\a.b\\file.tar.gz", drive, dir.get(), name, ext), 1);
    EXPECT_STREQ(drive, L"D:");
    EXPECT_STREQ(dir.text(), L"\\a.b\\");
    EXPECT_STREQ(name, L"file.tar");
    EXPECT_STREQ(ext, L"gz");
    std::wstring longName = Repeat(L"n", 300) + L".txt";
    ASSERT_EQ(SplitLongPathW(ctx, longName.c_str(), drive, dir.get(), name, ext), 1);
    EXPECT_EQ(wcslen(name), 255u);

    char adrive[3], adir[256], aname[256], aext[256];
    PathSplitA("\\\\?\\UNC\\srv\\share\\x.y.z", adrive, adir, aname, aext);
    EXPECT_STREQ(adrive, "");
    EXPECT_STREQ(adir, "\\\\?\\UNC\\srv\\share\\");
    EXPECT_STREQ(aname, "x.y");
    EXPECT_STREQ(aext, "z");
}

// The drive-relative forms take the drive's own current directory ("=C:"), which the
// process's current directory (on another drive here) does not change.
class FullNameTest : public PathBufTest {
protected:
    void SetUp() override
    {
        PathBufTest::SetUp();
        GetCurrentDirectoryW(MAX_PATH, savedCurrent_);
        DWORD n = GetEnvironmentVariableW(L"=C:", savedDriveDir_, MAX_PATH);
        hadDriveDir_ = n > 0 && n < MAX_PATH;
        SetCurrentDirectoryW(L"Z:\\");
    }
    void TearDown() override
    {
        SetEnvironmentVariableW(L"=C:", hadDriveDir_ ? savedDriveDir_ : nullptr);
        SetCurrentDirectoryW(savedCurrent_);
        PathBufTest::TearDown();
    }
    std::wstring Full(const wchar_t* name)
    {
        wchar_t out[300];
        EXPECT_EQ(PathFullNameW(ctx, name, out, 300), 1) << name;
        return out;
    }

private:
    wchar_t savedCurrent_[MAX_PATH] = {};
    wchar_t savedDriveDir_[MAX_PATH] = {};
    bool hadDriveDir_ = false;
};

TEST_F(FullNameTest, DriveRelativeNames)
{
    SetEnvironmentVariableW(L"=C:", L"C:\\w");
    EXPECT_EQ(Full(L"C:a\\..\\b"), L"C:\\w\\b");
    EXPECT_EQ(Full(L"c:x.txt"), L"C:\\w\\x.txt");
    EXPECT_EQ(Full(L"C:"), L"C:\\w");
    SetEnvironmentVariableW(L"=C:", L"C:\\");
    EXPECT_EQ(Full(L"C:..\\x"), L"C:..\\x");           // climbs above the root: unchanged
    EXPECT_EQ(Full(L"C:.\\x"), L"C:\\x");
    SetEnvironmentVariableW(L"=C:", nullptr);
    EXPECT_EQ(Full(L"C:a\\b"), L"C:\\a\\b");             // no known directory: the root
}

TEST_F(FullNameTest, OtherForms)
{
    EXPECT_EQ(Full(L"\\x\\.\\y\\..\\z"), L"Z:\\x\\z");
    EXPECT_EQ(Full(L"rel/sub\\..\\f"), L"Z:\\rel\\f");
    EXPECT_EQ(Full(L"C:\\a\\b\\"), L"C:\\a\\b\\");
    EXPECT_EQ(Full(L"\\\\server\\share\\..\\x"), L"\\\\server\\share\\..\\x");
    EXPECT_EQ(Full(L""), L"");
    wchar_t small[8];
    EXPECT_EQ(PathFullNameW(ctx, L"C:\\a\\long\\name", small, 8), 0);   // never cut

    char narrow[300];
    ASSERT_EQ(PathFullNameA(ctx, "\\p\\..\\q", narrow, sizeof narrow), 1);
    EXPECT_STREQ(narrow, "Z:\\q");
}

// A drive letter without a root directory leaves every form of the name as it is.
TEST_F(FullNameTest, NamesOnADriveWithoutRootStayAsTheyAre)
{
    wchar_t letter = 0;
    for (wchar_t c = L'Q'; c <= L'Y' && !letter; ++c) {
        wchar_t root[] = {c, L':', L'\\', 0};
        if (GetDriveTypeW(root) == DRIVE_NO_ROOT_DIR)
            letter = c;
    }
    ASSERT_NE(letter, 0);
    const std::wstring drive{static_cast<wchar_t>(towlower(letter)), L':'};
    for (const wchar_t* rest : {L"\\a\\..\\b", L"\\a\\b", L"x.txt", L"", L"\\"})
        EXPECT_EQ(Full((drive + rest).c_str()), drive + rest);
    EXPECT_EQ(Full(L"c:\\a\\.\\b"), L"C:\\a\\b");   // a drive with a root: the full name
}

TEST_F(FullNameTest, SearchFindsBareNamesAlongThePath)
{
    wchar_t found[300];
    EXPECT_EQ(FileSearchPathW(ctx, found, L"  notepad.exe", 300, false), 1);
    EXPECT_NE(wcsstr(_wcslwr(found), L"notepad.exe"), nullptr);
    EXPECT_EQ(FileSearchPathW(ctx, found, L"no-such-program.exe", 300, false), 0);
    EXPECT_EQ(FileSearchPathW(ctx, found, L"   ", 300, false), 0);
    char narrow[300];
    EXPECT_EQ(FileSearchPathA(ctx, narrow, "notepad.exe", sizeof narrow, true), 1);
    wchar_t tiny[5];
    EXPECT_EQ(FileSearchPathW(ctx, tiny, L"notepad.exe", 5, false), 0);   // never cut
    EXPECT_STREQ(tiny, L"");
}

}  // namespace
