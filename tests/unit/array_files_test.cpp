// Array and map files: the bytes ArrayFilePut and the CSV writers produce (the CSV ones
// equal to Python's csv.writer with QUOTE_ALL and CR LF), the CSV readers, the line reader's
// limits and NUL handling, with the line hint of a bad line.
#include "array_fixture.h"

#include "engine/core/errors.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

class ArrayFiles : public ArrayTest {
protected:
    void SetUp() override
    {
        ArrayTest::SetUp();
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        static int serial;
        dir_ = std::string(temp) + "kvarrays_" + std::to_string(GetCurrentProcessId()) + "_" +
               std::to_string(++serial);
        CreateDirectoryA(dir_.c_str(), nullptr);
    }
    void TearDown() override
    {
        WIN32_FIND_DATAA found;
        HANDLE h = FindFirstFileA((dir_ + "\\*").c_str(), &found);
        if (h != INVALID_HANDLE_VALUE) {
            do DeleteFileA((dir_ + "\\" + found.cFileName).c_str());
            while (FindNextFileA(h, &found));
            FindClose(h);
        }
        RemoveDirectoryA(dir_.c_str());
        ArrayTest::TearDown();
    }
    std::string Path(const char* name) { return dir_ + "\\" + name; }
    void Write(const char* name, const std::string& bytes)
    {
        std::ofstream out(Path(name), std::ios::binary);
        out << bytes;
    }
    std::string Read(const char* name)
    {
        std::ifstream in(Path(name), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    resultants File(const char* name) { return Str(Path(name).c_str()); }

private:
    std::string dir_;
};

TEST_F(ArrayFiles, ArrayFilePutWritesOneLinePerElement)
{
    ArrayHeader* a = NewArray("a", {3});
    Fill(a, {"a", nullptr, "b"});
    EXPECT_EQ(Call(kid::ArrayFilePut, {File("p.txt"), Var("a")}).i32, 6);
    EXPECT_EQ(Read("p.txt"), "a\r\nb\r\n");
    EXPECT_EQ(Call(kid::ArrayFilePut, {File("p.txt"), Var("a"), Int(1)}).i32, 8);
    EXPECT_EQ(Read("p.txt"), "a\r\n\r\nb\r\n");
    struct Case { uint32_t setting; const char* bytes; };
    for (const Case& c : {Case{0, "ab"}, Case{2, "a\nb\n"}, Case{3, "a\rb\r"}, Case{4, "a\tb\t"}}) {
        ctx->eng.ctl.FileLineEnd = c.setting;
        Call(kid::ArrayFilePut, {File("p.txt"), Var("a")});
        EXPECT_EQ(Read("p.txt"), c.bytes) << c.setting;
    }
    ctx->eng.ctl.FileLineEnd = 1;

    ArrayHeader* n = NewArray("n", {3});
    SetInt(n, 0, 12);
    n->data[1].flags = VF_FLOAT;
    n->data[1].dbl = 3.5;
    resultants copy = Var("n");
    CopyValue(ctx, &copy, &n->data[2], 0, VK_RECORD | VM_TO_ELEMENT | VM_ADD_ARRAY_REF);
    EXPECT_EQ(Call(kid::ArrayFilePut, {File("n.txt"), Var("n")}).i32, 9);
    EXPECT_EQ(ctx->nErrorCode, 3056) << "an array element has no text";
    EXPECT_EQ(Read("n.txt"), "12\r\n3.5\r\n") << "what came before stays";

    NewArray("e", {0});
    EXPECT_EQ(Call(kid::ArrayFilePut, {File("e.txt"), Var("e")}).i32, 0);
    EXPECT_EQ(Read("e.txt"), "");
    NewArray("t", {2, 2});
    Call(kid::ArrayFilePut, {File("t.txt"), Var("t")});
    EXPECT_EQ(ctx->nErrorCode, 1805);
    Call(kid::ArrayFilePut, {Str("Z:\\no\\such\\dir\\f.txt"), Var("a")});
    EXPECT_EQ(ctx->nErrorCode, 1800);
}

TEST_F(ArrayFiles, CsvWritingMatchesQuoteAllWithCrLf)
{
    ArrayHeader* a = NewArray("a", {3, 4});
    Fill(a, {"x", "a\"b", nullptr, "c,d", "12", "3.5", " lead", "tail ", "\"\"", "multi\nline", "semi;colon", "end"});
    SetInt(a, 4, 12);
    FreeValue(ctx, &a->data[5], 0, VK_ELEMENT);
    a->data[5].flags = VF_FLOAT;
    a->data[5].dbl = 3.5;
    // Python: csv.writer(f, quoting=csv.QUOTE_ALL, lineterminator="\r\n").writerows(rows),
    // with the uninitialised field as an empty text.
    const std::string comma =
        "\"x\",\"a\"\"b\",\"\",\"c,d\"\r\n\"12\",\"3.5\",\" lead\",\"tail \"\r\n"
        "\"\"\"\"\"\",\"multi\nline\",\"semi;colon\",\"end\"\r\n";
    const std::string semicolon =
        "\"x\";\"a\"\"b\";\"\";\"c,d\"\r\n\"12\";\"3.5\";\" lead\";\"tail \"\r\n"
        "\"\"\"\"\"\";\"multi\nline\";\"semi;colon\";\"end\"\r\n";
    EXPECT_EQ(Call(kid::ArrayFilePutCsv, {File("c.csv"), Var("a")}).i32, static_cast<int32_t>(comma.size()));
    EXPECT_EQ(Read("c.csv"), comma);
    Call(kid::ArrayFilePutCsv, {File("s.csv"), Var("a"), Str(";")});
    EXPECT_EQ(Read("s.csv"), semicolon);

    ArrayHeader* small = NewArray("small", {1, 2});
    Fill(small, {"x", "a\"b"});
    EXPECT_EQ(Call(kid::ArrayFilePutCsv, {File("q.csv"), Var("small")}).i32, 12);
    EXPECT_EQ(Read("q.csv"), "\"x\",\"a\"\"b\"\r\n");
    EXPECT_EQ(Call(kid::ArrayFilePutCsv, {File("q.csv"), Var("small"), Str(","), Int(0), Int(2)}).i32, 7);
    EXPECT_EQ(Read("q.csv"), "x,a\"b\r\n");
    for (const char* bad : {" ", "\"", ",,", ""}) {
        Call(kid::ArrayFilePutCsv, {File("q.csv"), Var("small"), Str(bad)});
        EXPECT_EQ(ctx->nErrorCode, 1807) << "[" << bad << "]";
    }

    // One dimension: one field per line; a row of nothing only with write-empty.
    ArrayHeader* column = NewArray("column", {3});
    Fill(column, {"p", nullptr, "q,r"});
    Call(kid::ArrayFilePutCsv, {File("one.csv"), Var("column")});
    EXPECT_EQ(Read("one.csv"), "\"p\"\r\n\"q,r\"\r\n");
    Call(kid::ArrayFilePutCsv, {File("one.csv"), Var("column"), Str(","), Int(1)});
    EXPECT_EQ(Read("one.csv"), "\"p\"\r\n\"\"\r\n\"q,r\"\r\n");
}

TEST_F(ArrayFiles, MapFilesWriteAndReadKeyValueLines)
{
    resultants& made = Call(kid::MapCreate, {Str("alpha,one\tbeta")});
    Keep("m", made);
    Call(kid::MapFilePutCsv, {File("m.csv"), Var("m")});
    EXPECT_EQ(Read("m.csv"), "\"alpha\",\"one\"\r\n") << "a key without a value is left out";
    Call(kid::MapFilePutCsv, {File("m.csv"), Var("m"), Str(","), Int(1)});
    std::string all = Read("m.csv");
    EXPECT_NE(all.find("\"beta\",\"\"\r\n"), std::string::npos) << all;
    NewArray("plain", {1});
    Call(kid::MapFilePutCsv, {File("m.csv"), Var("plain")});
    EXPECT_EQ(ctx->nErrorCode, 1637);

    Write("in.csv", "alpha,one\r\n beta \n\n\"ga,mma\" , \"x\"\"y\"\n");
    resultants& read = Call(kid::MapFileGetCsv, {File("in.csv")});
    ASSERT_EQ(ctx->nErrorCode, 0);
    ArrayHeader* map = ValueArray(&read);
    EXPECT_EQ(MapCount(map), 3u) << "the blank line holds no key";
    EXPECT_EQ(Show(*MapFind(ctx, map, "ALPHA")), "one");
    EXPECT_EQ(Show(*MapFind(ctx, map, "beta")), "") << "one field of two: an empty text";
    EXPECT_EQ(Show(*MapFind(ctx, map, "ga,mma")), "x\"y");

    Write("empty.csv", "  ,v\n");
    resultants& empty = Call(kid::MapFileGetCsv, {File("empty.csv")});
    ASSERT_EQ(ctx->nErrorCode, 0);
    EXPECT_EQ(MapCount(ValueArray(&empty)), 1u) << "a blank first field is an empty key, not a blank line";
    EXPECT_EQ(Show(*MapFind(ctx, ValueArray(&empty), "")), "v");

    Write("keys.csv", "gamma\ndelta\n");
    resultants& keys = Call(kid::MapFileGetCsv, {File("keys.csv")});
    EXPECT_EQ(Show(*MapFind(ctx, ValueArray(&keys), "gamma")), "<none>") << "keys without values";

    Write("bad.csv", "a,1\nb,\"2\n");
    resultants& bad = Call(kid::MapFileGetCsv, {File("bad.csv")});
    EXPECT_EQ(ctx->nErrorCode, 1808);
    EXPECT_EQ(bad.flags, static_cast<uint32_t>(VF_INT));
    EXPECT_NE(ExtendedText().find("Invalid data found at or near line 2"), std::string::npos) << ExtendedText();
}

TEST_F(ArrayFiles, ArrayFileGetCsvReadsRaggedRows)
{
    Write("r.csv", "a,b,c\r\nd\r\n");
    resultants& r = Call(kid::ArrayFileGetCsv, {File("r.csv"), Int(0)});
    ASSERT_EQ(ctx->nErrorCode, 0);
    EXPECT_EQ(Dims(ValueArray(&r)), "2x3");
    EXPECT_EQ(Elements(r), "a|b|c|d||");

    resultants& extra = Call(kid::ArrayFileGetCsv, {File("r.csv"), Int(0), Str(","), Int(1), Int(1)});
    EXPECT_EQ(Dims(ValueArray(&extra)), "3x4");
    EXPECT_EQ(Elements(extra), "a|b|c|<none>|d|||<none>|<none>|<none>|<none>|<none>");

    Write("b.csv", " a ,\" b \",c\n");
    EXPECT_EQ(Elements(Call(kid::ArrayFileGetCsv, {File("b.csv"), Int(0)})), "a| b |c");
    EXPECT_EQ(Elements(Call(kid::ArrayFileGetCsv, {File("b.csv"), Int(1)})), " a | b |c");
    Write("t.csv", "a\tb\t\"c\td\"\n");
    EXPECT_EQ(Elements(Call(kid::ArrayFileGetCsv, {File("t.csv"), Int(0), Str("\t")})), "a|b|c\td");

    Write("bad.csv", "ok,1\na,\"b\n");
    resultants& bad = Call(kid::ArrayFileGetCsv, {File("bad.csv"), Int(0)});
    EXPECT_EQ(ctx->nErrorCode, 1808);
    EXPECT_EQ(bad.flags, static_cast<uint32_t>(VF_INT));
    EXPECT_NE(ExtendedText().find("Invalid data found at or near line 2"), std::string::npos) << ExtendedText();
    FreeExtendedError(ctx);
    Write("bad1.csv", "x\"y,1\n");
    Call(kid::ArrayFileGetCsv, {File("bad1.csv"), Int(0)});
    EXPECT_EQ(ctx->nErrorCode, 1808);
    EXPECT_NE(ExtendedText().find("line 1"), std::string::npos) << ExtendedText();

    Write("zero.csv", std::string("a,b\0c\n", 6));
    Call(kid::ArrayFileGetCsv, {File("zero.csv"), Int(0)});
    EXPECT_EQ(ctx->nErrorCode, 1806);
    Call(kid::ArrayFileGetCsv, {File("r.csv"), Int(0), Str(" ")});
    EXPECT_EQ(ctx->nErrorCode, 1807);

    // What ArrayFilePutCsv writes, ArrayFileGetCsv reads back.
    ArrayHeader* a = NewArray("a", {2, 3});
    Fill(a, {"x", "a\"b", "c,d", " lead", "", "tail"});
    Call(kid::ArrayFilePutCsv, {File("round.csv"), Var("a")});
    EXPECT_EQ(Elements(Call(kid::ArrayFileGetCsv, {File("round.csv"), Int(1)})), Elements(a));
}

TEST_F(ArrayFiles, ArrayFileGetLinesNulsAndLimits)
{
    Write("l.txt", "a\n\nb");
    EXPECT_EQ(Elements(Call(kid::ArrayFileGet, {File("l.txt")})), "a||b");
    Write("l.txt", "a\r\nb\r\n");
    EXPECT_EQ(Elements(Call(kid::ArrayFileGet, {File("l.txt"), Str(""), Int(2)})), "a|b|<none>|<none>");
    Write("l.txt", "");
    EXPECT_EQ(Dims(ValueArray(&Call(kid::ArrayFileGet, {File("l.txt")}))), "empty");

    Write("z.txt", std::string("x\0y\n", 4));
    EXPECT_EQ(Elements(Call(kid::ArrayFileGet, {File("z.txt"), Str(".")})), "x.y");
    EXPECT_EQ(Elements(Call(kid::ArrayFileGet, {File("z.txt")})), "xy") << "dropped";
    Call(kid::ArrayFileGet, {File("z.txt"), Str("??")});
    EXPECT_EQ(ctx->nErrorCode, 1803);
    Call(kid::ArrayFileGet, {File("missing.txt")});
    EXPECT_EQ(ctx->nErrorCode, 1800);

    // A line longer than the largest buffer.
    Write("long.txt", std::string(40000, 'x') + "\n" + std::string(9999, 'y'));
    Call(kid::ArrayFileGet, {File("long.txt")});
    EXPECT_EQ(ctx->nErrorCode, 1591);
    EXPECT_NE(ExtendedText().find("line 1"), std::string::npos) << ExtendedText();
    // A file that is one line without a terminator reads whole up to 32768 bytes.
    for (size_t size : {4095u, 4096u, 5000u, 32767u, 32768u}) {
        Write("one.txt", std::string(size, 'q'));
        resultants& one = Call(kid::ArrayFileGet, {File("one.txt")});
        ASSERT_EQ(ctx->nErrorCode, 0) << size;
        EXPECT_EQ(strlen(ValueText(ctx, &ValueArray(&one)->data[0])), size);
    }
    // A read-buffer setting limits lines to one byte less.
    ctx->eng.ctl.FileReadBufferSize = 8;
    Write("s.txt", "1234567\n12345678\n");
    Call(kid::ArrayFileGet, {File("s.txt")});
    EXPECT_EQ(ctx->nErrorCode, 1591);
    EXPECT_NE(ExtendedText().find("line 2"), std::string::npos) << ExtendedText();
}

TEST_F(ArrayFiles, TextJoinsAndSplits)
{
    ArrayHeader* a = NewArray("a", {2, 3});
    Fill(a, {"a", nullptr, nullptr, "b", nullptr, "c"});
    SetInt(a, 1, 3);
    resultants copy = Var("a");
    CopyValue(ctx, &copy, &a->data[4], 0, VK_RECORD | VM_TO_ELEMENT | VM_ADD_ARRAY_REF);
    resultants wide = WStr(L"w");
    FreeValue(ctx, &a->data[2], 0, VK_ELEMENT);
    CopyValue(ctx, &wide, &a->data[2], 0, VK_RECORD | VM_TO_ELEMENT | VM_COPY_TEXT);
    EXPECT_EQ(Show(Call(kid::ArrayItemize, {Var("a")})), "<wide:a\t3\tw\tb\tc>") << "no item for the array";
    EXPECT_EQ(Show(Call(kid::ArrayItemize, {Var("a"), WStr(L"|")})), "<wide:a|3|w|b|c>");
    Call(kid::ArrayItemize, {Var("a"), WStr(L"||")});
    EXPECT_EQ(ctx->nErrorCode, 1705);
    Call(kid::ArrayToStr, {Var("a")});
    EXPECT_EQ(ctx->nErrorCode, 1805);
    Call(kid::ArrayItemize, {Int(1)});
    EXPECT_EQ(ctx->nErrorCode, 3650);
    SetUnicodeMode(false);
    Call(kid::ArrayItemize, {Var("a")});
    EXPECT_EQ(ctx->nErrorCode, 1193) << "wide text only exists in Unicode mode";
    SetUnicodeMode(true);

    ArrayHeader* s = NewArray("s", {4});
    Fill(s, {"x", nullptr, "y", nullptr});
    SetInt(s, 3, 7);
    EXPECT_EQ(Show(Call(kid::ArrayToStr, {Var("s")})), "xy7");
    SetInt(s, 0, 1);
    EXPECT_EQ(Show(Call(kid::ArrayToStr, {Var("s")})), "<wide:1y7>") << "a first element without narrow text";
    NewArray("e", {0});
    Call(kid::ArrayToStr, {Var("e")});
    EXPECT_EQ(ctx->nErrorCode, 1710);

    EXPECT_EQ(Elements(Call(kid::Arrayize, {Str("a|b|"), Str("|")})), "a|b|");
    EXPECT_EQ(Dims(ValueArray(&Call(kid::Arrayize, {Str("a|b|"), Str("|")}))), "3");
    EXPECT_EQ(Dims(ValueArray(&Call(kid::Arrayize, {Str(""), Str("|")}))), "empty");
    EXPECT_EQ(Elements(Call(kid::Arrayize, {Str("p\tq"), Str("")})), "p|q");
    Call(kid::Arrayize, {Str("a"), Str("::")});
    EXPECT_EQ(ctx->nErrorCode, 1705);
    EXPECT_EQ(Elements(Call(kid::Arrayize, {WStr(L"u,v"), WStr(L",")})), "<wide:u>|<wide:v>");

    EXPECT_EQ(Elements(Call(kid::ArrayFromStr, {Str("abc")})), "a|b|c");
    EXPECT_EQ(Dims(ValueArray(&Call(kid::ArrayFromStr, {Str("")}))), "empty");
    EXPECT_EQ(Elements(Call(kid::ArrayFromStr, {WStr(L"xy")})), "<wide:x>|<wide:y>");
}
