// The file-list built-ins where a script cannot show what matters: the result beside a
// pending error, the settings of IntControl 41 (two-digit years) and 91 (matcher modes),
// the attribute text of bits this platform cannot keep, and the mask mapping rules.
#include <cstdio>
#include <fstream>
#include <string>

#include "engine/files/file_attr.h"
#include "text_fixture.h"

namespace {

class FileOpsTest : public TextTest {
protected:
    void SetUp() override
    {
        TextTest::SetUp();
        SetUnicodeMode(true);
        ctx->eng.ctl.FourDigitYear = 1;
        ctx->eng.ctl.FileDelimiterW = L'\t';
        ctx->eng.ctl.FileDelimiter = '\t';
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        static int serial = 0;
        dir_ = std::string(temp) + "kvfileops" + std::to_string(GetCurrentProcessId()) + "_" +
               std::to_string(++serial) + "\\";
        CreateDirectoryA(dir_.c_str(), nullptr);
    }

    void TearDown() override
    {
        std::string spec = dir_ + "*";
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(spec.c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                std::string name = dir_ + found.cFileName;
                SetFileAttributesA(name.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(name.c_str());
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(dir_.c_str());
        TextTest::TearDown();
    }

    std::string Make(const char* name, const char* text = "x")
    {
        std::string path = dir_ + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    std::string Read(const char* name)
    {
        std::ifstream in(dir_ + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::wstring W(const std::string& text) { return std::wstring(text.begin(), text.end()); }

    std::string dir_;
};

TEST_F(FileOpsTest, AttributeTextShowsEachLetterInItsPlace)
{
    struct Case {
        uint32_t bits;
        const char* text;
    } cases[] = {
        {0, "----"},
        {FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN, "R--H"},
        {FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_SYSTEM, "-AS-"},
        {0x27, "RASH"},
        {FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_NORMAL, "----"},
    };
    for (const Case& c : cases) {
        char text[5];
        AttributeText(c.bits, text);
        EXPECT_STREQ(text, c.text) << c.bits;
    }
}

TEST_F(FileOpsTest, FailuresAnswerZeroBesideTheirError)
{
    std::string a = Make("a.txt", "a"), b = Make("b.txt", "b");
    Call("filerename", {W(a), W(b)});
    EXPECT_EQ(Error(), 1015);
    EXPECT_EQ(result.i32, 0);
    EXPECT_EQ(Read("a.txt"), "a");
    EXPECT_EQ(Read("b.txt"), "b");

    // A time text that does not parse: 0 with its error, the file untouched.
    Call("filetimeset", {W(a), "2024:13:01:00:00:00"});
    EXPECT_EQ(Error(), 1017);
    EXPECT_EQ(result.i32, 0);

    Call("filecopy", {W(dir_ + "nothing.txt"), W(dir_ + "copy.txt"), 0});
    EXPECT_EQ(Error(), 1009);
    EXPECT_EQ(result.i32, 0);

    Call("filedelete", {W(dir_ + "*.none")});
    EXPECT_EQ(Error(), 0);
    EXPECT_EQ(Int(), 1);
}

TEST_F(FileOpsTest, TwoDigitYearsFollowTheSetting)
{
    std::string a = Make("a.txt");
    Call("filetimeset", {W(a), "2024:03:09:14:05:00"});
    ASSERT_EQ(Int(), 1);
    Call("filetimegetex", {W(a), 2});
    EXPECT_EQ(Narrow(), "2024:03:09:14:05:00");
    ctx->eng.ctl.FourDigitYear = 0;
    Call("filetimegetex", {W(a), 2});
    EXPECT_EQ(Narrow(), "24:03:09:14:05:00");
    EXPECT_EQ(Narrow().size(), 17u);
}

TEST_F(FileOpsTest, FileTimeSetExPutsTheStampChoiceBack)
{
    std::string a = Make("a.txt");
    Call("filetimesetex", {W(dir_ + "missing.txt"), "2024:01:01:00:00:00", 3});
    EXPECT_EQ(Error(), 1128);
    EXPECT_EQ(ctx->fileops.FileTimeKind, 0u);
    Call("filetimesetex", {W(a), "2024:01:01:00:00:00", 3});
    EXPECT_EQ(Int(), 1);
    EXPECT_EQ(ctx->fileops.FileTimeKind, 0u);
}

// The own matcher takes name and extension apart; the system's matcher (mode 2) lets "*"
// run over the dot; mode 1 takes whatever the directory search returns.
TEST_F(FileOpsTest, MatcherModesDecideWhatAFileMaskSelects)
{
    Make("abc.txt");
    Make("abc");
    std::wstring spec = W(dir_ + "a*");
    ctx->eng.ctl.WildcardMatchMode = 0;
    Call("fileitemize", {spec});
    EXPECT_EQ(Wide(), L"abc");
    ctx->eng.ctl.WildcardMatchMode = 2;
    Call("fileitemize", {spec});
    std::wstring both = Wide();
    EXPECT_TRUE(both == L"abc\tabc.txt" || both == L"abc.txt\tabc") << std::string(both.begin(), both.end());
    ctx->eng.ctl.WildcardMatchMode = 1;
    Call("fileitemize", {spec});
    std::wstring all = Wide();
    EXPECT_NE(all.find(L"abc.txt"), std::wstring::npos);

    // "*.*" takes every file whatever the mode.
    ctx->eng.ctl.WildcardMatchMode = 0;
    Call("filesize", {W(dir_ + "*.*"), 2});
    EXPECT_EQ(result.i64, 2);
}

TEST_F(FileOpsTest, MasksMapNamesAndExtensionsApart)
{
    struct Case {
        const char* source;
        const char* mask;
        const char* target;
    } cases[] = {
        {"c:\\x\\a.txt", "d:\\y\\*.old", "d:\\y\\a.old"},
        {"c:\\x\\abc.txt", "d:\\y\\x?z.*", "d:\\y\\xbz.txt"},
        {"c:\\x\\readme", "d:\\y\\*.*", "d:\\y\\readme"},
        {"c:\\x\\a", "d:\\y\\*.?", "d:\\y\\a"},
        {"c:\\x\\ab.txt", "d:\\y\\?.t?", "d:\\y\\a.tx"},
        {"c:\\x\\a.txt", "d:\\y\\name", "d:\\y\\name"},
        {"c:\\x\\.profile", "d:\\y\\*.*", "d:\\y\\.profile"},
        {"c:\\x\\a.txt", "d:\\y\\*x", "d:\\y\\ax"},
        {"c:\\x\\a.b.c", "\\\\srv\\share\\*.z", "\\\\srv\\share\\a.b.z"},
    };
    for (const Case& c : cases) {
        Call("filemapname", {W(c.source), W(c.mask)});
        EXPECT_EQ(TextResult(true), c.target) << c.source << " " << c.mask;
    }
}

TEST_F(FileOpsTest, OutsideUnicodeModeTheWideOnlyBuiltInsAreRefused)
{
    SetUnicodeMode(false);
    Call("filemapname", {"a.txt", "*.bak"});
    EXPECT_EQ(Error(), 1193);
    Call("filecopy", {"a.txt", "b.txt", 0});
    EXPECT_EQ(Error(), 1193);
    // The forms with an ANSI handler take ANSI text.
    Call("direxist", {dir_.c_str()});
    EXPECT_EQ(Int(), 1);
}

}  // namespace
