// The engine library as a host reaches it: loaded by name on a bare system, bound by
// ordinal, set up and torn down with memory the host owns; and the probe beside a test.
#include "tests/unit/engine_dll.h"

namespace {

class EngineLibraryTest : public kvtest::EngineDllTest {};

TEST_F(EngineLibraryTest, LoadsByNameOnABareSystem)
{
    // SetUp has loaded it: the static runtimes leave no dependency but system libraries.
    EXPECT_NE(dll().Module(), nullptr);
}

TEST_F(EngineLibraryTest, SetsUpAndTearsDownLikeTheLauncher)
{
    if (!HasExport(kvhost::ORD_DoDuRavInit))
        GTEST_SKIP() << "export 23 (DoDuRavInit) is not built yet";
    StartEngine();
    EXPECT_GT(session->answer0, 0u);
    EXPECT_GT(session->answer1, 0u);
    EXPECT_EQ(session->answer2, 1u);
    EXPECT_EQ(session->answer3, 1u);
    EXPECT_EQ(session->Stop(nullptr), 1u);
    EXPECT_EQ(session->Context(), nullptr);   // the host has freed what it owns
}

TEST(ProbeBesideBox, PressesTheButtonOfABoxTheTestWaitsIn)
{
    kvtest::ProbeProcess probe(L"click --title-exact \"Unit Probe Box\" --button OK" + kvtest::OwnWindowsOnly());
    ASSERT_TRUE(probe.Started());
    EXPECT_EQ(MessageBoxW(nullptr, L"Press OK", L"Unit Probe Box", MB_OKCANCEL), IDOK);
    EXPECT_EQ(probe.Wait(), 0) << probe.Output();
    EXPECT_NE(probe.Output().find("CLICKED"), std::string::npos) << probe.Output();
}

TEST(ProbeBesideTest, ReportsAWindowThatNeverCame)
{
    kvtest::ProbeProcess probe(L"wait --title-exact \"No Such Unit Box\" --timeout 100");
    EXPECT_EQ(probe.Wait(), 1);
    EXPECT_EQ(probe.Output().rfind("NOTFOUND window", 0), 0u) << probe.Output();
}

}  // namespace
