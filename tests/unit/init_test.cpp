// Engine set-up and tear-down through the exports of KVDYC64I.dll, loaded and bound by
// ordinal as the launcher does; boxes are read and closed by the window probe.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <thread>

#include "engine/core/context.h"
#include "engine/core/engine_setup.h"
#include "engine/core/script_permutation.h"
#include "probe_run.h"
#include "tests/host/engine_host.h"

namespace {

using kvhost::EngineLibrary;
using kvhost::EngineSession;

const char* const kClasses[] = {"kv8wcmmn", "kv9wcdlg", "kv0wcdl2", "kv0wcdl3"};

// Closes a box of this process that the probe could not close, so a test never hangs.
void CloseLeftoverBox(const char* title)
{
    for (int i = 0; i < 50; ++i) {
        HWND box = FindWindowA("#32770", title);
        if (!box)
            return;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        PostMessageA(box, WM_CLOSE, 0, 0);
        Sleep(100);
    }
}

// Reads the box with the probe, then presses its button, from a second thread.
class ProbeBox {
public:
    ProbeBox(const std::string& title, const std::string& button)
        : thread_([this, title, button] {
              dump = RunProbe("dump " + OwnWindow(title) + " --timeout 15000");
              click = RunProbe("click " + OwnWindow(title) + " --button \"" + button + "\"");
              CloseLeftoverBox(title.c_str());
          })
    {
    }
    ~ProbeBox() { Join(); }
    void Join()
    {
        if (thread_.joinable())
            thread_.join();
    }
    ProbeOutput dump, click;

private:
    std::thread thread_;
};

bool HasControlText(const ProbeOutput& out, const std::string& text)
{
    for (const std::string& line : out.lines) {
        if (line.rfind("CONTROL", 0) == 0 && line.size() >= text.size()
            && line.compare(line.size() - text.size(), text.size(), text) == 0
            && line.find(" text=" + text) != std::string::npos)
            return true;
    }
    return false;
}

class InitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(lib_.Load()) << "KVDYC64I.DLL not loaded: " << lib_.LoadError();
        init_ = lib_.DoDuRavInit();
        ASSERT_NE(init_, nullptr);
    }

    uint32_t Call(HGLOBAL ctx, uintptr_t a, uintptr_t op, uintptr_t b = 0, uintptr_t c = 0,
                  uintptr_t d = 0, HWND window = nullptr)
    {
        return init_(window, ctx, a, op, b, c, d);
    }

    static HGLOBAL NewContext() { return GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(BDS)); }

    uint32_t Initialise(HGLOBAL ctx, const char* product = "Kelvoran 64")
    {
        return Call(ctx, 0, INIT_CONTEXT, reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr)),
                    reinterpret_cast<uintptr_t>(product));
    }

    ATOM ClassAtom(const char* name)
    {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        return static_cast<ATOM>(GetClassInfoExA(lib_.Module(), name, &wc));
    }

    EngineLibrary lib_;
    kvhost::DoDuRavInitFn init_ = nullptr;
};

// ---------------------------------------------------------------- operation 0

TEST_F(InitTest, HandshakeAnswersTheContextSize)
{
    HGLOBAL high = reinterpret_cast<HGLOBAL>(uintptr_t(0x300A));
    EXPECT_EQ(Call(high, 0x1305, INIT_HANDSHAKE), sizeof(BDS));
    EXPECT_EQ(Call(high, 0x13FF, INIT_HANDSHAKE), sizeof(BDS));
    EXPECT_EQ(Call(high, 0x1305, 7), 0u);   // no such operation
}

// Tests that show a box run with the desktop to themselves (tests/CMakeLists.txt).
using InitBoxTest = InitTest;

TEST_F(InitBoxTest, HandshakeMismatchShowsTheBoxAndAnswersZero)
{
    ProbeBox box("DLL mismatch", "OK");
    uint32_t answer = Call(reinterpret_cast<HGLOBAL>(uintptr_t(0x300A)), 0x1205, INIT_HANDSHAKE);
    box.Join();
    EXPECT_EQ(answer, 0u);
    EXPECT_EQ(box.dump.exitCode, 0u);
    EXPECT_EQ(box.dump.TextOf("WINDOW", "class=#32770"), "DLL mismatch");
    EXPECT_TRUE(HasControlText(box.dump, "Version Interface Incompatible"));
    EXPECT_EQ(box.click.exitCode, 0u);
}

// ---------------------------------------------------------------- operation 1

TEST_F(InitTest, InitialiseGivesDefaultsAndRegistersTheClassesOnce)
{
    EXPECT_EQ(Initialise(nullptr), 0u);
    HGLOBAL tiny = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 64);   // smaller than a context
    EXPECT_EQ(Initialise(tiny), 0u);
    GlobalFree(tiny);

    HGLOBAL first = NewContext();
    ASSERT_EQ(Initialise(first, "Kelvoran 64 with a long tail"), sizeof(VariableEntry));
    ATOM atoms[4];
    for (int i = 0; i < 4; ++i) {
        atoms[i] = ClassAtom(kClasses[i]);
        EXPECT_NE(atoms[i], 0) << kClasses[i];
    }
    WNDCLASSEXA notify{sizeof notify};
    ASSERT_TRUE(GetClassInfoExA(lib_.Module(), "kv8wcmmn", &notify));
    EXPECT_EQ(notify.cbWndExtra, 8);
    WNDCLASSEXA dialog{sizeof dialog};
    ASSERT_TRUE(GetClassInfoExA(lib_.Module(), "kv0wcdl2", &dialog));
    EXPECT_EQ(dialog.cbWndExtra, 38);
    EXPECT_EQ(dialog.style, UINT(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(dialog.hbrBackground, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));

    auto* ctx = static_cast<BDS*>(GlobalLock(first));
    EXPECT_STREQ(ctx->szProductName, "Kelvoran 64 with a ");   // 19 characters
    EXPECT_EQ(ctx->nScriptFlags, 3u);
    EXPECT_EQ(ctx->nErrorOffset, 0xFFFFFFFFu);
    EXPECT_EQ(ctx->nUdfBlockTop, -1);
    EXPECT_EQ(ctx->nUdfRunning, 65535);
    EXPECT_EQ(ctx->err.handlerLine, -1);
    EXPECT_EQ(ctx->hCursorWait, LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
    EXPECT_EQ(ctx->hCursorArrow, LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
    EXPECT_EQ(ctx->bPrettyDialogs, 1u);
    EXPECT_GT(ctx->tmSystem.tmHeight, 0);
    EXPECT_EQ(ctx->eng.ctl.FourDigitYear, 1u);
    EXPECT_EQ(ctx->eng.ctl.CreateProcessFlags, uint32_t(NORMAL_PRIORITY_CLASS));
    EXPECT_EQ(ctx->eng.ctl.LastExitCode, 99999u);
    EXPECT_EQ(ctx->eng.ctl.WaitDoneDelay, 500u);
    EXPECT_EQ(ctx->eng.ctl.PostedMessageDelay, 100u);
    EXPECT_EQ(ctx->eng.ctl.InputIdleTimeout, 10000u);
    EXPECT_EQ(ctx->eng.ctl.ActivateMethodTarget, 5);
    EXPECT_EQ(ctx->eng.ctl.ActivateMethodBox, 4);
    EXPECT_NE(ctx->eng.api.pfnGetTickCount64, nullptr);
    EXPECT_NE(ctx->eng.api.RegDeleteKeyExEntry, nullptr);
    GlobalUnlock(first);

    // A second context gets its own defaults; the classes are not registered again.
    HGLOBAL second = NewContext();
    ASSERT_EQ(Initialise(second), sizeof(VariableEntry));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(ClassAtom(kClasses[i]), atoms[i]) << kClasses[i];
    ctx = static_cast<BDS*>(GlobalLock(second));
    EXPECT_EQ(ctx->nScriptFlags, 3u);
    EXPECT_STREQ(ctx->szProductName, "Kelvoran 64");
    GlobalUnlock(second);

    int32_t live = 0;
    EXPECT_EQ(Call(first, 0, INIT_TEARDOWN, reinterpret_cast<uintptr_t>(&live)), 1u);
    EXPECT_EQ(Call(second, 0, INIT_TEARDOWN, reinterpret_cast<uintptr_t>(&live)), 1u);
    GlobalFree(first);
    GlobalFree(second);
}

// The permutation lives in the library's own copy of the engine; this test runs the
// engine code linked into the test program to look at it.
TEST(InitProcess, PermutationIsBuiltOnceAndEachContextIsSeeded)
{
    HGLOBAL a = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(BDS));
    HGLOBAL b = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(BDS));
    ASSERT_EQ(DoDuRavInit(nullptr, a, 0, INIT_CONTEXT, 0, reinterpret_cast<uintptr_t>("A"), 0),
              sizeof(VariableEntry));
    ScriptPermutation first = g_ScriptPermutation;
    ASSERT_TRUE(first.built);
    int fixedPoints = 0;
    for (int v = 0; v < 256; ++v) {
        EXPECT_EQ(first.inverse[first.forward[v]], v);
        fixedPoints += first.forward[v] == v;
    }
    EXPECT_LT(fixedPoints, 16);   // a shuffle, not the identity

    Sleep(30);
    ASSERT_EQ(DoDuRavInit(nullptr, b, 0, INIT_CONTEXT, 0, reinterpret_cast<uintptr_t>("B"), 0),
              sizeof(VariableEntry));
    EXPECT_EQ(std::memcmp(&first, &g_ScriptPermutation, sizeof first), 0);
    for (HGLOBAL h : {a, b}) {
        auto* ctx = static_cast<BDS*>(GlobalLock(h));
        EXPECT_NE(ctx->eng.nRandomSeed, 1u);
        EXPECT_EQ(ctx->nScriptFlags, 3u);
        GlobalUnlock(h);
        int32_t live = 0;
        DoDuRavInit(nullptr, h, 0, INIT_TEARDOWN, reinterpret_cast<uintptr_t>(&live), 0, 0);
        GlobalFree(h);
    }
}

// ---------------------------------------------------------------- operation 2

TEST_F(InitTest, OpenReservesEntryZeroAndKeepsTheSettingsNames)
{
    HGLOBAL handle = NewContext();
    ASSERT_EQ(Initialise(handle), sizeof(VariableEntry));
    HGLOBAL table = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(VariableEntry) * 100);
    auto section = reinterpret_cast<uintptr_t>("KV44I");
    auto file = reinterpret_cast<uintptr_t>("TRM-PROD.INI");

    EXPECT_EQ(Call(handle, 0, INIT_OPEN, 100, section, file), 0u);   // no table
    EXPECT_EQ(Call(nullptr, reinterpret_cast<uintptr_t>(table), INIT_OPEN, 100, section, file), 0u);
    // A capacity beyond the table's size is cut to what the table holds.
    ASSERT_EQ(Call(handle, reinterpret_cast<uintptr_t>(table), INIT_OPEN, 1000, section, file), 1u);

    auto* vars = static_cast<VariableEntry*>(GlobalLock(table));
    EXPECT_EQ(vars[0].flags, VF_UNINIT);
    EXPECT_EQ(vars[0].i32, -1);
    EXPECT_EQ(vars[0].name[0], 0);
    GlobalUnlock(table);

    auto* ctx = static_cast<BDS*>(GlobalLock(handle));
    EXPECT_EQ(ctx->nVarCapacity, 100);
    EXPECT_EQ(ctx->nVarUsed, 1);
    EXPECT_EQ(ctx->nDecimals, -1);
    EXPECT_EQ(ctx->hSelf, handle);
    EXPECT_EQ(ctx->hVarTable, table);
    EXPECT_STREQ(ctx->szSettingsSection, "KV44I");
    EXPECT_STREQ(ctx->szSettingsFile, "TRM-PROD.INI");
    EXPECT_EQ(ctx->aScopes[0].hTable, table);
    EXPECT_EQ(ctx->aScopes[0].owner, 65535);
    EXPECT_NE(ctx->aScopes[0].serial, 0u);
    EXPECT_GT(ctx->eng.DefaultWindowBottom, 0);
    GlobalUnlock(handle);

    int32_t live = 0;
    Call(handle, 0, INIT_TEARDOWN, reinterpret_cast<uintptr_t>(&live));
    GlobalFree(handle);
    GlobalFree(table);
}

// ---------------------------------------------------------------- operation 3

TEST_F(InitTest, HeapNeedsACommittedBase)
{
    HGLOBAL handle = NewContext();
    ASSERT_EQ(Initialise(handle), sizeof(VariableEntry));
    auto engineFile = reinterpret_cast<uintptr_t>("KVDYC64I.DLL");

    EXPECT_EQ(Call(handle, 0, INIT_HEAP, 65536, engineFile), 0u);
    auto* ctx = static_cast<BDS*>(GlobalLock(handle));
    EXPECT_EQ(ctx->HeapBase, nullptr);
    EXPECT_EQ(ctx->heap.committed, 0u);
    GlobalUnlock(handle);

    char* reserved = static_cast<char*>(VirtualAlloc(nullptr, 1 << 20, MEM_RESERVE, PAGE_NOACCESS));
    EXPECT_EQ(Call(handle, reinterpret_cast<uintptr_t>(reserved), INIT_HEAP, 65536, engineFile), 0u);

    ASSERT_NE(VirtualAlloc(reserved, 65536, MEM_COMMIT, PAGE_READWRITE), nullptr);
    // A committed size beyond what is committed is cut to the committed pages.
    ASSERT_EQ(Call(handle, reinterpret_cast<uintptr_t>(reserved), INIT_HEAP, 1 << 20, engineFile), 1u);
    ctx = static_cast<BDS*>(GlobalLock(handle));
    EXPECT_EQ(ctx->HeapBase, reserved);
    EXPECT_EQ(ctx->HeapBaseSaved, reserved);
    EXPECT_EQ(ctx->heap.committed, 65536u);
    EXPECT_EQ(ctx->heap.binding, nullptr);
    EXPECT_EQ(std::memcmp(reserved, "5678\0\0\0\0", 8), 0);
    char current[MAX_PATH];
    GetCurrentDirectoryA(sizeof current, current);
    EXPECT_STREQ(ctx->szCurDir, current);
    GlobalUnlock(handle);

    int32_t live = 0;
    Call(handle, 0, INIT_TEARDOWN, reinterpret_cast<uintptr_t>(&live));
    GlobalFree(handle);
    VirtualFree(reserved, 0, MEM_RELEASE);
}

TEST_F(InitTest, HeapGrowsThroughTheHostsBindingRecord)
{
    EngineSession session(lib_, nullptr, GetModuleHandleA(nullptr));
    kvhost::SessionOptions options;
    options.reserve = 4 << 20;
    ASSERT_EQ(session.Start(options), -1);
    using VMallocFn = uint64_t (*)(BDS*, uint64_t);
    using VFreeFn = void (*)(BDS*, uint64_t);
    auto vmalloc = reinterpret_cast<VMallocFn>(GetProcAddress(lib_.Module(), "VMalloc"));
    auto vfree = reinterpret_cast<VFreeFn>(GetProcAddress(lib_.Module(), "VFree"));
    ASSERT_NE(vmalloc, nullptr);
    ASSERT_NE(vfree, nullptr);

    uint64_t before = session.binding.commitSize;
    auto* ctx = static_cast<BDS*>(GlobalLock(session.Context()));
    uint64_t big = vmalloc(ctx, 1 << 20);
    EXPECT_NE(big, 0u);
    EXPECT_GT(session.binding.commitSize, before + (1 << 20));
    EXPECT_EQ(vmalloc(ctx, 8 << 20), 0u);   // beyond the reserve
    vfree(ctx, big);
    GlobalUnlock(session.Context());
    EXPECT_EQ(session.Stop(nullptr), 1u);
}

// ---------------------------------------------------------------- operation 99

TEST_F(InitTest, TearDownKeepsTheClassesWhileInstancesRemain)
{
    EXPECT_EQ(Call(nullptr, 0, INIT_TEARDOWN), 0u);
    EngineSession one(lib_, nullptr, GetModuleHandleA(nullptr));
    EngineSession two(lib_, nullptr, GetModuleHandleA(nullptr));
    ASSERT_EQ(one.Start(), -1);
    ASSERT_EQ(two.Start(), -1);

    EXPECT_EQ(one.Stop(nullptr), 1u);   // one instance is left
    for (const char* name : kClasses)
        EXPECT_NE(ClassAtom(name), 0) << name;

    EXPECT_EQ(two.Stop(nullptr), 1u);   // the last one
    for (const char* name : kClasses)
        EXPECT_EQ(ClassAtom(name), 0) << name;

    // A new instance registers them again.
    EngineSession three(lib_, nullptr, GetModuleHandleA(nullptr));
    ASSERT_EQ(three.Start(), -1);
    EXPECT_NE(ClassAtom("kv0wcdl3"), 0);
    EXPECT_EQ(three.Stop(nullptr), 1u);
}

TEST_F(InitTest, RepeatedSessionsLeaveNothingBehind)
{
    bool videoLoaded = GetModuleHandleA("msvfw32.dll") != nullptr;
    auto cycle = [this] {
        EngineSession session(lib_, nullptr, GetModuleHandleA(nullptr));
        ASSERT_EQ(session.Start(), -1);
        ASSERT_EQ(session.Stop(nullptr), 1u);
    };
    cycle();   // first-use costs of the process
    DWORD handlesBefore = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesBefore);
    DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    DWORD userBefore = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    for (int i = 0; i < 25; ++i)
        cycle();
    DWORD handlesAfter = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
    EXPECT_LE(handlesAfter, handlesBefore + 3);
    EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdiBefore + 3);
    EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), userBefore + 3);
    if (!videoLoaded)
        EXPECT_EQ(GetModuleHandleA("msvfw32.dll"), nullptr);
}

// ---------------------------------------------------------------- serialisation

struct Reentry {
    kvhost::DoDuRavInitFn init;
    uint32_t nestedAnswer = 12345;
    bool otherDoneEarly = true;
    uint32_t otherAnswer = 0;
    std::thread other;
};
Reentry* g_reentry;

LRESULT CALLBACK ReentryWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_APP && g_reentry) {
        Reentry& r = *g_reentry;
        HGLOBAL high = reinterpret_cast<HGLOBAL>(uintptr_t(0x300A));
        r.nestedAnswer = r.init(nullptr, high, 0x1305, INIT_HANDSHAKE, 0, 0, 0);
        r.other = std::thread([&r, high] { r.otherAnswer = r.init(nullptr, high, 0x1305, 0, 0, 0, 0); });
        Sleep(300);   // the other thread must still be waiting for the outer call
        r.otherDoneEarly = r.otherAnswer != 0;
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(InitTest, SameThreadReentryAnswersZeroAndOtherThreadsWait)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = ReentryWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "InitReentryProbe";
    RegisterClassA(&wc);
    HWND window = CreateWindowA("InitReentryProbe", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    Reentry reentry;
    reentry.init = init_;
    g_reentry = &reentry;
    PostMessageA(window, WM_APP, 0, 0);   // dispatched by the pump inside operation 1

    HGLOBAL handle = NewContext();
    EXPECT_EQ(Initialise(handle), sizeof(VariableEntry));
    ASSERT_TRUE(reentry.other.joinable()) << "the posted message was not pumped";
    reentry.other.join();
    g_reentry = nullptr;

    EXPECT_EQ(reentry.nestedAnswer, 0u);
    EXPECT_FALSE(reentry.otherDoneEarly);
    EXPECT_EQ(reentry.otherAnswer, sizeof(BDS));

    int32_t live = 0;
    Call(handle, 0, INIT_TEARDOWN, reinterpret_cast<uintptr_t>(&live));
    GlobalFree(handle);
    DestroyWindow(window);
}

// ---------------------------------------------------------------- About box

TEST_F(InitBoxTest, AboutBoxShowsItsTextsAndClosesWithItsButton)
{
    EngineSession session(lib_, nullptr, GetModuleHandleA(nullptr));
    ASSERT_EQ(session.Start(), -1);
    auto* ctx = static_cast<BDS*>(GlobalLock(session.Context()));
    std::strcpy(ctx->err.szHostProductName, "Kelvoran 64 2025C");
    std::strcpy(ctx->eng.szHostNotice, "Compiled for a test");
    GlobalUnlock(session.Context());

    using AboutFn = uint32_t (*)(HGLOBAL, HWND, uintptr_t, const char*, const char*, const char*,
                                 const char*);
    auto about = lib_.Get<AboutFn>(15);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about(session.Context(), nullptr, 11, "", "", "", ""), 0u);

    ProbeBox box("ZAL About Box", "OK");
    uint32_t answer = about(session.Context(), nullptr, 10, "", "", "", "");
    box.Join();
    EXPECT_EQ(answer, 1u);
    EXPECT_EQ(box.dump.exitCode, 0u);
    EXPECT_EQ(box.dump.TextOf("CONTROL", " id=500 "), "Kelvoran 64 2025C");
    EXPECT_EQ(box.dump.TextOf("CONTROL", " id=10 "), "Compiled for a test");
    EXPECT_EQ(box.dump.TextOf("CONTROL", " id=501 "), "ZAL Interpreter 6.25cyc using KVDYC64I");
    EXPECT_EQ(box.dump.TextOf("CONTROL", " id=1 "), "&Ok");
    bool okVisible = false;
    for (const std::string& line : box.dump.lines)
        okVisible |= line.rfind("CONTROL", 0) == 0 && line.find(" id=1 ") != std::string::npos
                     && line.find(" visible=1 ") != std::string::npos;
    EXPECT_TRUE(okVisible);
    EXPECT_EQ(box.click.exitCode, 0u);
    EXPECT_EQ(session.Stop(nullptr), 1u);
}

}  // namespace
