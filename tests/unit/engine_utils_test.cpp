// Engine utilities: bounded copies, the dialog registry, the pointer array and the one-shot
// button captions.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "box_watch.h"
#include "engine/core/button_texts.h"
#include "engine/core/context.h"
#include "engine/core/dialog_registry.h"
#include "engine/core/ptr_array.h"
#include "engine/core/text_bounded.h"
#include "engine/data/text.h"

namespace {

struct ContextDeleter {
    void operator()(BDS* ctx) const { std::free(ctx); }
};
using ContextPtr = std::unique_ptr<BDS, ContextDeleter>;
ContextPtr NewContext() { return ContextPtr(static_cast<BDS*>(std::calloc(1, sizeof(BDS)))); }

// ---------------------------------------------------------------- bounded copies

TEST(BoundedCopy, NarrowCopiesNeverSplitADoubleByteCharacter)
{
    ContextPtr ctx = NewContext();
    SetTextCodePageForTest(932);   // a double-byte system: 0x82 leads a pair
    ctx->nCodePage = 1252;         // the script's conversions do not decide where pairs are
    const struct {
        const char* source;
        size_t size;
        const char* expected;
    } cases[] = {
        {"ab\x82\xa0" "cd", 4, "ab"},          // the pair would end at the last byte
        {"ab\x82\xa0" "cd", 5, "ab\x82\xa0"},
        {"abcdef", 4, "abc"},
        {"abc", 10, "abc"},
        {"abc", 1, ""},
        {"a\x82", 10, "a"},                     // a lead byte without its trail
    };
    for (const auto& c : cases) {
        char target[16];
        std::memset(target, 'Z', sizeof target);
        size_t n = CopyStringBoundedA(ctx.get(), target, c.source, c.size);
        EXPECT_STREQ(target, c.expected) << c.source << " into " << c.size;
        EXPECT_EQ(n, std::strlen(c.expected));
    }
    SetTextCodePageForTest(0);
    ctx->nCodePage = 932;   // the system has no pairs: the same bytes are single characters
    char target[4];
    CopyStringBoundedA(ctx.get(), target, "ab\x82\xa0", sizeof target);
    EXPECT_STREQ(target, "ab\x82");
}

TEST(BoundedCopy, AppendsStopAtTheBufferEnd)
{
    ContextPtr ctx = NewContext();
    SetTextCodePageForTest(932);
    char target[7] = "abc";
    EXPECT_EQ(AppendStringBoundedA(ctx.get(), target, "de\x82\xa0", sizeof target), 5u);
    EXPECT_STREQ(target, "abcde");   // the pair would leave no room for the NUL
    EXPECT_EQ(AppendStringBoundedA(ctx.get(), target, "f", sizeof target), 6u);
    EXPECT_STREQ(target, "abcdef");
    SetTextCodePageForTest(0);

    wchar_t wide[6] = L"ab";
    EXPECT_EQ(AppendStringBoundedW(ctx.get(), wide, L"c\xD83D\xDE00", 6), 5u);
    EXPECT_STREQ(wide, L"abc\xD83D\xDE00");
    wchar_t small[4] = L"";
    EXPECT_EQ(CopyStringBoundedW(ctx.get(), small, L"ab\xD83D\xDE00", 4), 2u);   // pair left out
    EXPECT_STREQ(small, L"ab");
}

TEST(BoundedCopy, NullPointersAreRefusedWithError3098)
{
    ContextPtr ctx = NewContext();
    char target[8] = "keep";
    EXPECT_EQ(CopyStringBoundedA(ctx.get(), target, nullptr, sizeof target), 0u);
    EXPECT_EQ(ctx->nErrorCode, 3098);
    EXPECT_STREQ(target, "keep");
    ctx->nErrorCode = 0;
    EXPECT_EQ(AppendStringBoundedA(ctx.get(), nullptr, "x", 8), 0u);
    EXPECT_EQ(ctx->nErrorCode, 3098);
    ctx->nErrorCode = 0;
    EXPECT_EQ(CopyStringBoundedW(ctx.get(), nullptr, L"x", 8), 0u);
    EXPECT_EQ(ctx->nErrorCode, 3098);
}

// ---------------------------------------------------------------- dialog registry

TEST(DialogRegistryBox, ContextIsFoundThroughTheWindowsOwner)
{
    ContextPtr ctx = NewContext();
    HWND owner = CreateWindowA("STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HWND owned = CreateWindowA("STATIC", "owned", WS_POPUP, 0, 0, 10, 10, owner, nullptr, nullptr, nullptr);
    HWND alone = CreateWindowA("STATIC", "alone", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(owner && owned && alone);

    EXPECT_EQ(DlgPointLookup(owned, reinterpret_cast<uintptr_t>(ctx.get())), ctx.get());
    EXPECT_EQ(DlgPointLookup(owned, DLG_LOOKUP_QUIET), ctx.get());
    EXPECT_EQ(DlgPointLookup(owned, DLG_LOOKUP), ctx.get());
    EXPECT_EQ(DlgPointLookup(owned, DLG_NOTHING), reinterpret_cast<BDS*>(DLG_NOTHING));
    EXPECT_EQ(DlgPointLookup(alone, reinterpret_cast<uintptr_t>(ctx.get())), nullptr);   // no owner

    DlgPointForget(ctx.get());
    EXPECT_EQ(DlgPointLookup(owned, DLG_LOOKUP_QUIET), nullptr);
    {
        BoxWatch box("Internal Error");
        EXPECT_EQ(DlgPointLookup(owned, DLG_LOOKUP), nullptr);
        ASSERT_TRUE(box.Result().found);
        ASSERT_FALSE(box.Result().texts.empty());
        EXPECT_EQ(box.Result().texts.back(), "DlgPointLookup Failure");
    }
    DestroyWindow(owned);
    DestroyWindow(owner);
    DestroyWindow(alone);
}

// ---------------------------------------------------------------- pointer array

TEST(PtrArrayTest, AppendsGrowAndLookupsStayInside)
{
    ContextPtr ctx = NewContext();
    PtrArray* array = PtrArrayCreate();
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(PtrArrayCount(array), 0);
    static int items[100];
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(PtrArrayAppend(ctx.get(), array, &items[i]), 1);
    EXPECT_EQ(PtrArrayCount(array), 100);
    EXPECT_EQ(PtrArrayGet(array, 0), &items[0]);
    EXPECT_EQ(PtrArrayGet(array, 99), &items[99]);
    EXPECT_EQ(PtrArrayGet(array, 100), nullptr);   // index equal to the count
    EXPECT_EQ(PtrArrayGet(array, -1), nullptr);
    EXPECT_EQ(PtrArrayContains(array, &items[42]), 1);
    int other;
    EXPECT_EQ(PtrArrayContains(array, &other), 0);
    PtrArrayDestroyRef(&array);
    EXPECT_EQ(array, nullptr);
    EXPECT_EQ(PtrArrayCount(nullptr), 0);
    EXPECT_EQ(PtrArrayAppend(ctx.get(), nullptr, &other), 0);
    EXPECT_EQ(ctx->nErrorCode, 1588);
}

// ---------------------------------------------------------------- button captions

TEST(ButtonCaptions, ScriptCaptionsAreUsedOnce)
{
    ContextPtr ctx = NewContext();
    HWND dialog = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    HWND ok = CreateWindowA("BUTTON", "", WS_CHILD, 0, 0, 50, 20, dialog, reinterpret_cast<HMENU>(1),
                            nullptr, nullptr);
    HWND cancel = CreateWindowW(L"BUTTON", L"", WS_CHILD, 60, 0, 50, 20, dialog,
                                reinterpret_cast<HMENU>(2), nullptr, nullptr);
    ASSERT_TRUE(dialog && ok && cancel);
    auto caption = [](HWND w) {
        char text[64] = {};
        GetWindowTextA(w, text, sizeof text);
        return std::string(text);
    };

    SetButtonTextsA(ctx.get(), dialog);
    EXPECT_EQ(caption(ok), "&Ok");
    EXPECT_EQ(caption(cancel), "&Cancel");

    std::strcpy(ctx->eng.buttons.narrow[0], "&Yes");
    std::strcpy(ctx->eng.buttons.narrow[1], "");   // empty: the default stays
    ctx->eng.buttons.bNarrowSet = 1;
    SetButtonTextsA(ctx.get(), dialog);
    EXPECT_EQ(caption(ok), "&Yes");
    EXPECT_EQ(caption(cancel), "&Cancel");
    EXPECT_EQ(ctx->eng.buttons.bNarrowSet, 0u);
    SetButtonTextsA(ctx.get(), dialog);   // spent
    EXPECT_EQ(caption(ok), "&Ok");

    wcscpy(ctx->eng.buttons.wide[1], L"&Nein");
    ctx->eng.buttons.bWideSet = 1;
    SetButtonTextsW(ctx.get(), dialog);
    EXPECT_EQ(caption(ok), "&Ok");
    EXPECT_EQ(caption(cancel), "&Nein");
    EXPECT_EQ(ctx->eng.buttons.bWideSet, 0u);
    DestroyWindow(dialog);
}

}  // namespace
