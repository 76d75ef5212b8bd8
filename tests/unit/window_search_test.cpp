// The partial-title rule, window identifiers and the child search, on windows of this
// test process.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "engine/core/context.h"
#include "engine/ui/window_search.h"

namespace {

struct TitleCase {
    const char* title;
    const char* pattern;
    int matches;
};

class TitleRule : public ::testing::TestWithParam<TitleCase> {};

TEST_P(TitleRule, MatchesAsAPersonNamesAWindow)
{
    const TitleCase& c = GetParam();
    EXPECT_EQ(TitleMatchesA(c.title, c.pattern), c.matches) << c.title << " / " << c.pattern;
    std::wstring title(c.title, c.title + strlen(c.title));
    std::wstring pattern(c.pattern, c.pattern + strlen(c.pattern));
    EXPECT_EQ(TitleMatchesW(title.c_str(), pattern.c_str()), c.matches) << c.title << " / " << c.pattern;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TitleRule,
    ::testing::Values(TitleCase{"Notepad - a.txt", "Note", 1}, TitleCase{"Notepad - a.txt", "~pad", 1},
                      TitleCase{"Notepad - a.txt", "~a.txt~", 1}, TitleCase{"Notepad - a.txt", "Notepad~", 0},
                      TitleCase{"Notepad", "Notepad~", 1}, TitleCase{"Notepad - a.txt", "~Note~", 0},
                      TitleCase{"Notepad - a.txt", "notepad", 0}, TitleCase{"Notepad - a.txt", "~", 0},
                      TitleCase{"~tilde first", "~", 1}, TitleCase{"Note", "Notepad", 0},
                      TitleCase{"Notepad - a.txt", "", 1}, TitleCase{"a.txt - a.txt", "~a.txt~", 1},
                      TitleCase{"aXa", "~a~", 1}, TitleCase{"abc", "~~", 0}));

TEST(WindowId, IsSixteenCharactersWithEightUpperCaseDigits)
{
    char id[WINDOW_ID_BUFFER];
    HWND window = reinterpret_cast<HWND>(static_cast<intptr_t>(0x1A2B3C));
    ASSERT_EQ(WinIdFromHandleA(window, id, sizeof id), 1);
    EXPECT_STREQ(id, "#WIN$ID#001A2B3C");
    EXPECT_EQ(WinIdFromHandleA(window, id, 16), 0);
    wchar_t wide[WINDOW_ID_BUFFER];
    ASSERT_EQ(WinIdFromHandleW(window, wide, WINDOW_ID_BUFFER), 1);
    EXPECT_STREQ(wide, L"#WIN$ID#001A2B3C");

    EXPECT_EQ(IsWinIdStringA("#WIN$ID#001A2B3C"), 1);
    EXPECT_EQ(IsWinIdStringA("#WIN$ID#001A2B3"), 0);
    EXPECT_EQ(IsWinIdStringA("#win$id#001A2B3C"), 0);
    EXPECT_EQ(WinIdToHandleA("#WIN$ID#001a2b3c", 0), window);
    EXPECT_EQ(WinIdToHandleW(L"#WIN$ID#001A2B3C", 0), window);
    EXPECT_EQ(WinIdToHandleA("#WIN$ID#001A2B3G", 0), nullptr);
}

struct ContextDeleter {
    void operator()(BDS* ctx) const { std::free(ctx); }
};

class WindowSearch : public ::testing::Test {
protected:
    // Test processes run side by side on one desktop: the process id keeps titles apart.
    static std::string Title(const char* rest)
    {
        return "Window search " + std::to_string(GetCurrentProcessId()) + " unit test " + rest;
    }

    void SetUp() override
    {
        ctx_.reset(static_cast<BDS*>(std::calloc(1, sizeof(BDS))));
        top_ = CreateWindowExA(0, "STATIC", Title("top").c_str(), WS_POPUP, 0, 0, 10, 10, nullptr,
                               nullptr, nullptr, nullptr);
        child_ = CreateWindowExA(0, "STATIC", "Inner child", WS_CHILD, 0, 0, 5, 5, top_, nullptr, nullptr, nullptr);
        other_ = CreateWindowExA(0, "STATIC", Title("other").c_str(), WS_POPUP, 0, 0, 10, 10, nullptr,
                                 nullptr, nullptr, nullptr);
        ctx_->hwndParent = top_;
    }
    void TearDown() override
    {
        DestroyWindow(other_);
        DestroyWindow(top_);
    }

    std::unique_ptr<BDS, ContextDeleter> ctx_;
    HWND top_ = nullptr, child_ = nullptr, other_ = nullptr;
};

TEST_F(WindowSearch, TopWindowsByTitleIdentifierOrTheScriptsOwn)
{
    BDS* ctx = ctx_.get();
    EXPECT_EQ(FindTopWindowA(ctx, "", 0), top_);
    EXPECT_EQ(FindTopWindowA(ctx, Title("o").c_str(), 0), other_);
    std::string top = Title("top");
    std::wstring inner(L"~");                                  // "~search ... top~": inside the title
    inner.append(top.begin() + 7, top.end());
    inner.push_back(L'~');
    EXPECT_EQ(FindTopWindowW(ctx, inner.c_str(), 0), top_);
    char id[WINDOW_ID_BUFFER];
    WinIdFromHandleA(other_, id, sizeof id);
    EXPECT_EQ(FindTopWindowA(ctx, id, 0), other_);
    EXPECT_EQ(FindTopWindowA(ctx, "Window search unit test nothing", 0), nullptr);
}

TEST_F(WindowSearch, ChildNamedByIdentifierMustLieInTheParentsTree)
{
    BDS* ctx = ctx_.get();
    char inside[WINDOW_ID_BUFFER], outside[WINDOW_ID_BUFFER];
    WinIdFromHandleA(child_, inside, sizeof inside);
    WinIdFromHandleA(other_, outside, sizeof outside);
    HWND parent = nullptr;
    EXPECT_EQ(FindChildWindowA(ctx, "", inside, 0, &parent), child_);
    EXPECT_EQ(parent, top_);
    EXPECT_EQ(FindChildWindowA(ctx, "", outside, 0, &parent), nullptr);
    EXPECT_EQ(FindChildWindowA(ctx, "", "Inner", 0, nullptr), child_);
    EXPECT_EQ(FindChildWindowA(ctx, "Window search unit test nothing", "Inner", 0, &parent), nullptr);
    EXPECT_EQ(parent, nullptr);
}

TEST_F(WindowSearch, IdentifierOfADestroyedWindowFindsNothing)
{
    BDS* ctx = ctx_.get();
    char id[WINDOW_ID_BUFFER];
    WinIdFromHandleA(other_, id, sizeof id);
    DestroyWindow(other_);
    other_ = nullptr;
    EXPECT_EQ(FindTopWindowA(ctx, id, 0), nullptr);
    EXPECT_NE(WinIdToHandleA(id, 0), nullptr);   // the number itself still converts
}

}  // namespace
