// Test set-up: a test that activates a window (a box, a dialog, a shown main window) takes
// the foreground and the keyboard on the one desktop that all tests share, so it must run
// in turn with the other tests that do (ctest's desktop lock). The build gives that lock to
// the test suites whose name holds "Box" or "Window" and tells every test through the
// variable KVTEST_DESKTOP (1 locked, 0 not); this listener fails an unlocked test that
// activates a window, so that a new window test cannot slip into the unlocked crowd and take
// the keys of a locked one. Run by hand (no variable), tests are not checked.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "tests/host/activation_watch.h"

namespace {

class DesktopGuard : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { watch_.emplace(); }

    void OnTestEnd(const testing::TestInfo& test) override
    {
        std::string activated = watch_ ? watch_->First() : std::string();
        watch_.reset();
        const char* locked = std::getenv("KVTEST_DESKTOP");   // set by ctest only
        if (!locked)
            return;
        EXPECT_TRUE(activated.empty() || locked[0] == '1')
            << test.test_suite_name() << "." << test.name() << " activated the window "
            << activated << " without the desktop lock: put the test in a suite whose name "
            << "holds \"Box\" or \"Window\"";
    }

    std::optional<kvhost::ActivationWatch> watch_;
};

const bool g_registered = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new DesktopGuard);
    return true;
}();

}  // namespace
