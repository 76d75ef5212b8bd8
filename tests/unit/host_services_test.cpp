// DLLServices through the export of KVDYC64I.dll, on an engine instance set up as the
// launcher does; the context is looked at directly where a request only changes a field.
#include <gtest/gtest.h>

#include <windows.h>
#include <zlib.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "engine/core/context.h"
#include "engine/data/array.h"
#include "tests/unit/engine_dll.h"

namespace {

using CreateArrayFn = int (*)(BDS*, ValueHead*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, int);

class HostServicesTest : public kvtest::EngineDllTest {
protected:
    void SetUp() override
    {
        EngineDllTest::SetUp();
        if (!HasExport(kvhost::ORD_DLLServices) || !HasExport(kvhost::ORD_DoDuRavInit))
            GTEST_SKIP() << "exports 23 and 30 are needed";
        StartEngine();
        services_ = dll().DLLServices();
    }

    uint64_t Call(uint16_t request, const void* p1 = nullptr, const void* p2 = nullptr, int64_t p3 = 0,
                  uint64_t p4 = 0)
    {
        return services_(session->Context(), request, p1, p2, p3, p4);
    }

    // The context, locked for the lambda.
    template <typename F> void With(F f)
    {
        auto* ctx = static_cast<BDS*>(GlobalLock(session->Context()));
        ASSERT_NE(ctx, nullptr);
        f(ctx);
        GlobalUnlock(session->Context());
    }

    // The display text of a variable, as request 2 reads it.
    std::string Read(const char* name)
    {
        char buffer[256] = "?";
        return Call(2, name, buffer, sizeof(buffer)) ? buffer : "<none>";
    }

    // A variable of the main table, found by its name key.
    VariableEntry* Variable(BDS* ctx, const char* key)
    {
        auto* vars = static_cast<VariableEntry*>(GlobalLock(ctx->hVarTable));
        GlobalUnlock(ctx->hVarTable);
        for (uint32_t i = 1; i < ctx->nVarUsed; ++i)
            if (std::strcmp(vars[i].name, key) == 0)
                return &vars[i];
        return nullptr;
    }

    // Runs a script text on the instance, with a host callback and table when given.
    uint32_t Run(const char* script, void* callback = nullptr, const KeywordRecord* table = nullptr)
    {
        size_t length = std::strlen(script);
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, length + 2);
        std::memcpy(GlobalLock(block), script, length);
        GlobalUnlock(block);
        uint32_t answer = dll().ProcessViRuvBuffer()(window, session->Context(), block, callback, table);
        GlobalFree(block);
        return answer;
    }

    kvhost::DLLServicesFn services_ = nullptr;
};

TEST_F(HostServicesTest, FrameKeepsTheErrorAndRefusesUnknownRequests)
{
    With([](BDS* ctx) {
        ctx->nErrorCode = 1234;
        ctx->eng.ctl.WindowRetryCount = 0;      // request 19 searches once
    });
    for (uint16_t request : {10, 12, 21, 58, 61, 999})
        EXPECT_EQ(Call(request, "x", "y", 1, 1), 0u) << request;
    EXPECT_EQ(Call(19, "no such window title at all"), 0u);     // the request's own error answers 0
    With([](BDS* ctx) { EXPECT_EQ(ctx->nErrorCode, 1234); });

    EXPECT_EQ(Call(13, nullptr, nullptr, 3046), 1u);             // request 13 leaves its own number
    With([](BDS* ctx) { EXPECT_EQ(ctx->nErrorCode, 3046); ctx->nErrorCode = 0; });
}

TEST_F(HostServicesTest, SetsAndReadsVariables)
{
    EXPECT_EQ(Call(1, "Greeting", "hello there"), 1u);
    EXPECT_EQ(Read("greeting"), "hello there");
    EXPECT_EQ(Read("GREETING"), "hello there");
    EXPECT_EQ(Read("nosuchvariable"), "<none>");
    char small[4];
    EXPECT_EQ(Call(2, "greeting", small, sizeof(small)), 1u);
    EXPECT_STREQ(small, "hel");

    // Parameters from a wide line.
    EXPECT_NE(Call(11, nullptr, L"first \"second one\""), 0u);
    EXPECT_EQ(Read("param0"), "2");
    EXPECT_EQ(Read("param1"), "first");
    EXPECT_EQ(Call(11), 0u);

    uint64_t used = Call(29, nullptr, nullptr, 1);
    EXPECT_GE(used, 4u);
    auto* entry = reinterpret_cast<VariableEntry*>(Call(29, nullptr, nullptr, 2, 1));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(Call(29, nullptr, nullptr, 2, 65535), 0u);        // beyond the table
    EXPECT_EQ(Call(29, nullptr, nullptr, 3), 0u);
}

TEST_F(HostServicesTest, SwitchesAndTextsAnswerTheirOldValues)
{
    struct Case { uint16_t request; int64_t value; uint64_t old; uint64_t again; };
    const Case cases[] = {
        {3, 0x0F, 0, 0x0F},       // hook flags
        {8, 1, 0, 1},             // dialog switch
        {20, 1, 0, 1},            // hidden windows
        {20, 7, 1, 1},            // other values leave it
        {39, 1, 3, 1},            // script flags
        {39, 9, 1, 1},
        {59, 5, 0, 1},            // new console
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Call(c.request, nullptr, nullptr, c.value), c.old) << c.request;
        EXPECT_EQ(Call(c.request, nullptr, nullptr, c.value), c.again) << c.request;
    }
    EXPECT_EQ(Call(60, nullptr, nullptr, 0x30, 1), 0x0Fu);
    EXPECT_EQ(Call(60, nullptr, nullptr, 0x03, 0), 0x3Fu);
    With([](BDS* ctx) { EXPECT_EQ(ctx->nHookFlags, 0x3Cu); });

    EXPECT_EQ(Call(22), uint64_t('\t'));
    EXPECT_EQ(Call(23, "C:\\quiet.log", nullptr, 1), 0u);
    EXPECT_EQ(Call(30, "http://help.example", nullptr, 1), 0u);
    EXPECT_EQ(Call(0, "Product 9", "second line"), 1u);
    EXPECT_EQ(Call(40, "C:\\scripts\\undo.zal"), 1u);
    EXPECT_EQ(Call(47, "more detail"), 1u);
    With([](BDS* ctx) {
        EXPECT_EQ(ctx->err.bQuietMode, 1u);
        EXPECT_STREQ(ctx->err.szQuietLog, "C:\\quiet.log");
        EXPECT_EQ(ctx->err.bTechSupport, 1u);
        EXPECT_STREQ(ctx->err.szTechSupportUrl, "http://help.example");
        EXPECT_STREQ(ctx->err.szHostProductName, "Product 9");
        EXPECT_STREQ(ctx->eng.szHostNotice, "second line");
        EXPECT_STREQ(ctx->szSourceFile, "C:\\scripts\\undo.zal");
        std::strcpy(ctx->err.szQuietText, "swallowed");
        std::strcpy(ctx->eng.ctl.BreakMessageText, "not now");
    });
    char text[64] = "", title[64] = "";
    EXPECT_EQ(Call(25, text, title, sizeof(text)), 1u);
    EXPECT_STREQ(text, "swallowed");
    EXPECT_STREQ(title, "");
    EXPECT_EQ(Call(49, text, nullptr, 4), 1u);
    EXPECT_STREQ(text, "not");
    EXPECT_EQ(Call(48), reinterpret_cast<uint64_t>(window));

    EXPECT_EQ(Call(51, nullptr, nullptr, 1, 77), 1u);           // claim
    EXPECT_EQ(Call(51, nullptr, nullptr, 1, 78), 0u);           // already held
    EXPECT_EQ(Call(51, nullptr, nullptr, 0, 78), 0u);           // not the holder
    EXPECT_EQ(Call(51, nullptr, nullptr, 0, 77), 1u);
    EXPECT_EQ(Call(31), 1u);
}

// A host whose one function "stopnow" asks the engine to stop (request 7) and answers 1.
HGLOBAL g_stopContext;
kvhost::DLLServicesFn g_stopServices;

int32_t StopHost(HWND, HINSTANCE, uint32_t word, int32_t code, void* answer, void* context, void*, void*, int32_t,
                 void* record)
{
    if (code != 0)
        return 1;
    g_stopServices(g_stopContext, 7, nullptr, nullptr, 0, 0);
    struct Record { uint8_t variant[24]; double number; int32_t integer; uint32_t flags; void* text; void* wide; };
    auto* out = static_cast<Record*>(record);
    *out = Record{};
    out->integer = 1;
    out->flags = VF_INT;
    using Answer = int32_t (*)(int32_t, uint64_t, void*, void*);
    return reinterpret_cast<Answer>(answer)(0, word, context, out);
}

TEST_F(HostServicesTest, ScriptReadsWhatTheHostSetAndStopsWhenAsked)
{
    if (!HasExport(kvhost::ORD_ProcessViRuvBuffer))
        GTEST_SKIP() << "export 24 is needed";
    ASSERT_EQ(Call(1, "hostvar", "from host"), 1u);
    EXPECT_EQ(Run("copy = hostvar : \"!\"\n"), 1u);
    EXPECT_EQ(Read("copy"), "from host!");

    static const KeywordRecord table[] = {{0, KT_FUNCTION, 0x11111, 0, 7, "stopnow"}, {9999, 0, 0, 0, 0, ""}};
    g_stopContext = session->Context();
    g_stopServices = services_;
    EXPECT_EQ(Run("before = 1\nx = stopnow()\nafter = 1\n", reinterpret_cast<void*>(&StopHost), table), 1u);
    EXPECT_EQ(Read("before"), "1");
    EXPECT_EQ(Read("after"), "<none>");                          // stopped before the next statement
    EXPECT_EQ(Call(5), 0u);                                       // the run ended stopped
}

TEST_F(HostServicesTest, StopRequestIsSeenByTheRunLoop)
{
    EXPECT_EQ(Call(37), 0u);
    EXPECT_EQ(Call(7, nullptr, nullptr, 0), 1u);
    EXPECT_EQ(Call(37), 1u);
    With([](BDS* ctx) {
        EXPECT_EQ(ctx->bCancel, 1u);
        EXPECT_EQ(ctx->bCancelRequest, 1u);
        EXPECT_EQ(ctx->bCancelBox, 0u);
    });
}

TEST_F(HostServicesTest, InflatesInPlace)
{
    std::string plain;
    while (plain.size() < 3270)
        plain += "line of the script\n";
    plain.resize(3270);
    std::vector<uint8_t> buffer(3271, 0xEE);
    uLongf size = uLongf(buffer.size());
    ASSERT_EQ(compress2(buffer.data(), &size, reinterpret_cast<const Bytef*>(plain.data()), uLong(plain.size()), 9),
              Z_OK);
    std::vector<uint8_t> damaged = buffer;
    damaged[size / 2] ^= 0x55;
    EXPECT_EQ(Call(33, buffer.data(), nullptr, size, buffer.size()), 3270u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.data()), 3270), plain);
    EXPECT_EQ(buffer[3270], 0);
    std::vector<uint8_t> before = damaged;
    EXPECT_EQ(int64_t(Call(33, damaged.data(), nullptr, size, damaged.size())), -1);
    EXPECT_EQ(damaged, before);
}

TEST_F(HostServicesTest, SwitchedOffKeywordFailsWhenAScriptUsesIt)
{
    if (!HasExport(kvhost::ORD_ProcessViRuvBuffer))
        GTEST_SKIP() << "export 24 is needed";
    ASSERT_EQ(Call(23, nullptr, nullptr, 1), 0u);                // quiet: the error box is kept, not shown
    EXPECT_EQ(Call(24, "abs|nosuchkeyword", "|", 0), 0u);       // first off, second not found
    EXPECT_EQ(Run("x = abs(-1)\n"), 1u);
    char text[512] = "", title[256] = "";
    Call(25, text, title, sizeof(text));
    EXPECT_EQ(std::string(title), "3472:  Function not available in this product");
    EXPECT_STREQ(text, "x = abs(-1)");
    EXPECT_EQ(Call(4), 3472u);
    EXPECT_EQ(Read("x"), "<none>");

    EXPECT_EQ(Call(24, "acos abs", " ", 1), 0u);                // table order: abs is not found after acos
    EXPECT_EQ(Call(24, "abs||acos", "|", 1), 1u);               // runs of delimiters count as one
    EXPECT_EQ(Call(24, "ABS", "|", 0), 0u);                     // names are compared exactly
    EXPECT_EQ(Run("y = abs(-2)\n"), 1u);
    EXPECT_EQ(Read("y"), "2");
}

TEST_F(HostServicesTest, BinaryBufferOfAVariable)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 8);
    ASSERT_NE(block, nullptr);
    ASSERT_EQ(Call(1, "buf", "placeholder"), 1u);
    With([&](BDS* ctx) {
        BinaryBufferSlot& slot = ctx->data.buffers[3];
        slot.hMem = block;
        slot.data = static_cast<uint8_t*>(GlobalLock(block));
        slot.size = 8;
        VariableEntry* v = Variable(ctx, "buf");
        ASSERT_NE(v, nullptr);
        v->flags = VF_INT | VF_BINBUF;
        v->i32 = int32_t(BINARY_HANDLE_BASE + 3);
    });
    EXPECT_EQ(Call(1, "buf", "abcd", 0, 4), 1u);               // fits
    EXPECT_EQ(Call(43, "buf", nullptr, 3), 4u);                // end of data
    EXPECT_EQ(Call(43, "buf", nullptr, 2), 8u);                // size
    EXPECT_EQ(Call(43, "", reinterpret_cast<void*>(uintptr_t(BINARY_HANDLE_BASE + 3)), 1),
              reinterpret_cast<uint64_t>(block));
    EXPECT_EQ(Call(28, "0123456789", reinterpret_cast<void*>(uintptr_t(10)), 0, BINARY_HANDLE_BASE + 3), 0u);
    EXPECT_EQ(Call(43, "buf", nullptr, 3), 8u);                // cut to the size
    EXPECT_EQ(int64_t(Call(28, "x", reinterpret_cast<void*>(uintptr_t(1)), 0, 5)), -1);   // bad handle
    EXPECT_EQ(Call(44, "buf", nullptr, -1, 2), 2u);            // end of data set
    EXPECT_EQ(Call(44, "buf", nullptr, -1, 9), 0u);            // beyond the size: error
    EXPECT_EQ(Call(44, "buf", nullptr, 0x41, 5), 6u);          // a poke raises the end of data
    EXPECT_EQ(Call(44, "buf", nullptr, 256, 0), 0u);           // value out of range
    EXPECT_EQ(Call(44, "buf", nullptr, 1, 8), 0u);             // offset beyond the buffer
    With([&](BDS* ctx) {
        const uint8_t* bytes = ctx->data.buffers[3].data;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), 8), "01234A67");
        ctx->data.buffers[3] = BinaryBufferSlot{};
    });
    GlobalUnlock(block);
    GlobalFree(block);
}

TEST_F(HostServicesTest, ArrayElementsByNameAndSubscripts)
{
    auto create = reinterpret_cast<CreateArrayFn>(GetProcAddress(dll().Module(), "CreateMyArray"));
    ASSERT_NE(create, nullptr);
    ASSERT_EQ(Call(1, "grid", "placeholder"), 1u);
    With([&](BDS* ctx) {
        VariableEntry* v = Variable(ctx, "grid");
        ASSERT_NE(v, nullptr);
        ValueHead value{};
        ASSERT_EQ(create(ctx, &value, 2, 3, 0, 0, 0, 0, 2), 1);
        static_cast<ValueHead&>(*v) = value;
    });
    EXPECT_EQ(Call(46, "grid", "1, 2", 0, reinterpret_cast<uint64_t>("corner")), 7u);
    char text[32] = "";
    EXPECT_EQ(Call(45, "grid", "1,2", sizeof(text), reinterpret_cast<uint64_t>(text)), 7u);
    EXPECT_STREQ(text, "corner");
    EXPECT_EQ(Call(45, "grid", "0,0", sizeof(text), reinterpret_cast<uint64_t>(text)), 4u);
    EXPECT_STREQ(text, "---");
    EXPECT_EQ(Call(45, "grid", "1,2", 0, 0), 7u);                 // length only
    for (const char* bad : {"2,0", "1", "1,2,0", "1,x", "", "1,,2"})
        EXPECT_EQ(Call(45, "grid", bad, sizeof(text), reinterpret_cast<uint64_t>(text)), 0u) << bad;
    EXPECT_EQ(Call(45, "greeting", "0", sizeof(text), reinterpret_cast<uint64_t>(text)), 0u);   // not an array
}

TEST_F(HostServicesTest, MapEntriesByKeyWalkedSetAndRemoved)
{
    if (!HasExport(kvhost::ORD_ProcessViRuvBuffer))
        GTEST_SKIP() << "export 24 is needed";
    ASSERT_EQ(Run("m = MapCreate(\"a,1\" : @tab : \"B,2\")\n"), 1u);
    char text[32] = "";
    EXPECT_EQ(Call(45, "m", "b", sizeof(text), reinterpret_cast<uint64_t>(text)), 2u);   // keys without case
    EXPECT_STREQ(text, "2");
    EXPECT_EQ(Call(45, "m", "zz", sizeof(text), reinterpret_cast<uint64_t>(text)), 0u);

    EXPECT_EQ(Call(56, "m", "c", 0, reinterpret_cast<uint64_t>("three")), 8u);
    EXPECT_EQ(Call(56, "m", "A", 0, reinterpret_cast<uint64_t>("one")), 6u);         // replaces a's value
    std::map<std::string, std::string> seen;
    int64_t position = -1;
    char pair[64];
    for (int i = 0; i < 10 && Call(55, "m", &position, sizeof(pair), reinterpret_cast<uint64_t>(pair)); ++i)
        seen[pair] = pair + std::strlen(pair) + 1;
    EXPECT_EQ(seen, (std::map<std::string, std::string>{{"a", "one"}, {"B", "2"}, {"c", "three"}}));
    EXPECT_EQ(position, 0);

    EXPECT_EQ(Call(57, "m", "A"), 1u);
    EXPECT_EQ(Call(57, "m", "A"), 0u);
    EXPECT_EQ(Call(45, "m", "a", sizeof(text), reinterpret_cast<uint64_t>(text)), 0u);
    EXPECT_EQ(Call(56, "greeting", "a", 0, reinterpret_cast<uint64_t>("x")), 0u);    // no map

    // A position the host keeps while entries go: it never reaches a removed entry, also
    // once the map is empty and its storage freed.
    position = -1;
    ASSERT_NE(Call(55, "m", &position, sizeof(pair), reinterpret_cast<uint64_t>(pair)), 0u);
    std::string first = pair;
    std::string second = first == "B" ? "c" : "B";          // where the position stands now
    int64_t kept = position;
    ASSERT_NE(kept, 0);
    EXPECT_EQ(Call(57, "m", second.c_str()), 1u);
    EXPECT_EQ(Call(55, "m", &position, sizeof(pair), reinterpret_cast<uint64_t>(pair)), 0u);
    EXPECT_EQ(Call(57, "m", first.c_str()), 1u);
    position = kept;
    EXPECT_EQ(Call(55, "m", &position, sizeof(pair), reinterpret_cast<uint64_t>(pair)), 0u);
}

TEST_F(HostServicesTest, VariantRequestTellsWhyItCannotRead)
{
    ASSERT_EQ(Call(1, "plain", "text"), 1u);
    char out[32];
    EXPECT_EQ(Call(50, "", out, 1, sizeof(out)), 1u);
    EXPECT_EQ(Call(50, "nosuch", out, 1, sizeof(out)), 2u);
    EXPECT_EQ(Call(50, "plain", out, 1, sizeof(out)), 3u);
}

TEST_F(HostServicesTest, HeapOffsetsAndOpenFiles)
{
    uint64_t offset = Call(42, "in the heap");
    ASSERT_NE(offset, 0u);
    EXPECT_STREQ(reinterpret_cast<const char*>(Call(41, nullptr, nullptr, 0, offset)), "in the heap");
    EXPECT_EQ(Call(41, nullptr, nullptr, 0, 0), 0u);
    EXPECT_EQ(Call(41, nullptr, nullptr, 0, uint64_t(1) << 40), 0u);   // outside the heap
    uint64_t empty = Call(42);
    ASSERT_NE(empty, 0u);
    EXPECT_STREQ(reinterpret_cast<const char*>(Call(41, nullptr, nullptr, 0, empty)), "");

    HANDLE fake = reinterpret_cast<HANDLE>(uintptr_t(0x1234));
    EXPECT_EQ(Call(53, nullptr, nullptr, 0x1234), 0u);
    With([&](BDS* ctx) { ctx->files.slots[5].handle = fake; });
    EXPECT_EQ(Call(53, nullptr, nullptr, 0x1234), 0x1234u);
    With([&](BDS* ctx) { ctx->files.slots[5].handle = nullptr; });
}

TEST_F(HostServicesTest, MenuItemFoundByItsPath)
{
    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    HMENU recent = CreatePopupMenu();
    AppendMenuA(file, MF_STRING, 101, "&Open...\tCtrl+O");
    AppendMenuA(recent, MF_STRING, 102, "Undo.zal");
    AppendMenuA(file, MF_POPUP, reinterpret_cast<UINT_PTR>(recent), "&Recent");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File");
    AppendMenuA(bar, MF_STRING, 103, "E&xit");
    struct Case { const char* path; int id; };
    const Case cases[] = {{"File Open", 101}, {"file&open...", 101}, {"File Recent Undozal", 102},
                          {"Exit", 103}, {"File", -1}, {"File Save", -1}, {"Exit\\ignored", 103}};
    for (const Case& c : cases)
        EXPECT_EQ(int64_t(Call(15, c.path, nullptr, 0, reinterpret_cast<uint64_t>(bar))), c.id) << c.path;
    DestroyMenu(bar);
}

// Placing a window by its handle shows it: the suite takes the desktop.
class HostServicesWindowTest : public HostServicesTest {};

TEST_F(HostServicesWindowTest, PlacesAWindowByItsHandleInThousandthsOfTheScreen)
{
    HWND target = CreateWindowExA(0, "STATIC", "Host services placement", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                  nullptr, nullptr, nullptr, nullptr);
    ShowWindow(target, SW_SHOWMINNOACTIVE);
    EXPECT_EQ(Call(18, "250,500,750,1000", nullptr, reinterpret_cast<int64_t>(target)), 1u);
    RECT box{};
    GetWindowRect(target, &box);
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_FALSE(IsIconic(target));
    EXPECT_EQ(box.left, width / 4);
    EXPECT_EQ(box.top, height / 2);
    EXPECT_EQ(box.right, width * 3 / 4);
    EXPECT_EQ(box.bottom, height);
    DestroyWindow(target);
}

}  // namespace
