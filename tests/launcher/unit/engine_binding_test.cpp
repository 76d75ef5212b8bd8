// The launcher's engine start and stop against the real engine library beside the tests:
// the interface word, the memory it owns, and a reserve that cannot be had.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>

#include "launcher/launcher.h"
#include "tests/unit/engine_dll.h"

namespace {

int Start(HWND window, EngineBinding* binding, uint32_t interfaceWord = ENGINE_INTERFACE_WORD,
          uint64_t reserve = 0x1F400000, uint64_t stringSpace = 65500)
{
    return DoViRuvStart(window, GetModuleHandleA(nullptr), 2000, reserve, stringSpace, PRODUCT_TEXT,
                        SETTINGS_SECTION, SETTINGS_FILE, interfaceWord, binding);
}

TEST(LauncherEngineBinding, StartsWithMemoryItOwnsAndFreesItAtStop)
{
    HWND window = kvtest::CreateHostWindow(L"KVT - binding test");
    EngineBinding binding{};
    ASSERT_EQ(Start(window, &binding, ENGINE_INTERFACE_WORD, 0x1F400000, 100), -1);
    EXPECT_NE(binding.hInstanceBlock, nullptr);
    EXPECT_NE(binding.hVarTable, nullptr);
    EXPECT_EQ(binding.commitSize, 4096u);                 // at least 256 bytes, rounded to a page
    EXPECT_EQ(binding.reserveSize, 0x1F400000u);
    EXPECT_EQ(binding.runFlag, 0u);
    MEMORY_BASIC_INFORMATION info{};
    ASSERT_NE(VirtualQuery(binding.stringSpace, &info, sizeof(info)), 0u);
    EXPECT_EQ(info.State, DWORD(MEM_COMMIT));
    char* base = binding.stringSpace;

    DoViRuvStop(window, &binding);
    EXPECT_EQ(binding.hInstanceBlock, nullptr);
    EXPECT_EQ(binding.stringSpace, nullptr);
    ASSERT_NE(VirtualQuery(base, &info, sizeof(info)), 0u);
    EXPECT_EQ(info.State, DWORD(MEM_FREE));
    DestroyWindow(window);
}

TEST(LauncherEngineBindingBox, RefusesAnInterfaceWordOfAnotherVersion)
{
    HWND window = kvtest::CreateHostWindow(L"KVT - binding test");
    kvtest::ProbeProcess probe(L"click --title-exact \"OBJ mismatch\" --button OK" + kvtest::OwnWindowsOnly());
    EngineBinding binding{};
    EXPECT_EQ(Start(window, &binding, 0x30091305), 34);
    EXPECT_EQ(probe.Wait(), 0) << probe.Output();
    EXPECT_EQ(binding.hInstanceBlock, nullptr);
    DestroyWindow(window);
}

TEST(LauncherEngineBindingBox, ReserveThatCannotBeHadEndsWith40)
{
    HWND window = kvtest::CreateHostWindow(L"KVT - binding test");
    // The box is read, then answered, from a second thread while the start waits in it.
    std::string dump, click;
    std::thread reader([&] {
        const std::wstring box = L" --title-exact \"DoViRuvStart error\"" + kvtest::OwnWindowsOnly();
        kvtest::ProbeProcess read(L"dump --timeout 15000" + box);
        read.Wait();
        dump = read.Output();
        kvtest::ProbeProcess press(L"click --button OK" + box);
        press.Wait();
        click = press.Output();
    });
    EngineBinding binding{};
    // Five halvings of 2^62 bytes stay far beyond any address space.
    EXPECT_EQ(Start(window, &binding, ENGINE_INTERFACE_WORD, uint64_t(1) << 62), 40);
    reader.join();
    EXPECT_NE(dump.find("VirtualAlloc returned"), std::string::npos) << dump;
    EXPECT_NE(click.find("CLICKED"), std::string::npos) << click;
    EXPECT_EQ(binding.hInstanceBlock, nullptr);
    EXPECT_EQ(binding.hVarTable, nullptr);
    DestroyWindow(window);
}

}  // namespace
