// CredMan's domain entries: a target that is its own user name is marked as such in the
// store.
#include <gtest/gtest.h>

#include <windows.h>
#include <wincred.h>

#include "text_fixture.h"

namespace {

class CredManTest : public TextTest {};

TEST_F(CredManTest, DomainEntryWhoseTargetIsTheUserIsMarked)
{
    const struct {
        const wchar_t* target;
        const wchar_t* user;
        bool marked;
    } cases[] = {
        {L"kvtest:unit:same", L"kvtest:unit:same", true},
        {L"kvtest:unit:other", L"someone", false},
    };
    for (const auto& c : cases) {
        Call("credman", {L"domain", c.target, c.user, L"pw"});
        ASSERT_EQ(ctx->nErrorCode, 0) << c.target;
        PCREDENTIALW stored = nullptr;
        ASSERT_TRUE(CredReadW(c.target, CRED_TYPE_DOMAIN_PASSWORD, 0, &stored)) << GetLastError();
        EXPECT_EQ((stored->Flags & CRED_FLAGS_USERNAME_TARGET) != 0, c.marked) << c.target;
        EXPECT_EQ(stored->Persist, static_cast<DWORD>(CRED_PERSIST_LOCAL_MACHINE));
        CredFree(stored);
        CredDeleteW(c.target, CRED_TYPE_DOMAIN_PASSWORD, 0);
    }
}

}  // namespace
