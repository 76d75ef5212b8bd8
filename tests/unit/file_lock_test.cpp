// FileLockItemize against stand-in Restart Manager entry points: the two-step list, holders
// whose process was replaced, names the engine cannot query, and a failing registration.
#include <string>
#include <vector>

#include "engine/core/errors.h"
#include "engine/files/file_locks.h"
#include "text_fixture.h"

namespace {

// What the stand-ins answer and what they saw.
struct RmScript {
    DWORD registerAnswer = ERROR_SUCCESS;
    std::vector<RM_PROCESS_INFO> holders;
    int getListCalls = 0;
    int queryCalls = 0;
    int sessionsEnded = 0;
} g_rm;

DWORD WINAPI FakeStart(DWORD* session, DWORD, WCHAR* key)
{
    *session = 42;
    key[0] = 0;
    return ERROR_SUCCESS;
}

DWORD WINAPI FakeRegister(DWORD, UINT files, LPCWSTR*, UINT, RM_UNIQUE_PROCESS*, UINT, LPCWSTR*)
{
    return files == 1 ? g_rm.registerAnswer : ERROR_INVALID_PARAMETER;
}

DWORD WINAPI FakeGetList(DWORD, UINT* needed, UINT* count, RM_PROCESS_INFO* entries, LPDWORD reasons)
{
    ++g_rm.getListCalls;
    *reasons = 0;
    *needed = static_cast<UINT>(g_rm.holders.size());
    if (*count < g_rm.holders.size()) {
        *count = 0;
        return ERROR_MORE_DATA;
    }
    for (size_t i = 0; i < g_rm.holders.size(); ++i)
        entries[i] = g_rm.holders[i];
    *count = *needed;
    return ERROR_SUCCESS;
}

DWORD WINAPI FakeEnd(DWORD)
{
    ++g_rm.sessionsEnded;
    return ERROR_SUCCESS;
}

// The first query names a program; later ones fail, so the entry's own name is taken.
BOOL WINAPI FakeQuery(HANDLE, DWORD, LPWSTR name, PDWORD length)
{
    if (g_rm.queryCalls++ > 0)
        return FALSE;
    const wchar_t path[] = L"C:\\Programs\\holder.exe";
    wcscpy(name, path);
    *length = static_cast<DWORD>(wcslen(path));
    return TRUE;
}

RM_PROCESS_INFO Holder(const wchar_t* appName, bool sameStart)
{
    RM_PROCESS_INFO entry{};
    entry.Process.dwProcessId = GetCurrentProcessId();
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    if (!sameStart)
        created.dwLowDateTime += 10000000;   // a process of the same id started a second later
    entry.Process.ProcessStartTime = created;
    wcscpy(entry.strAppName, appName);
    return entry;
}

class FileLockTest : public TextTest {
protected:
    void SetUp() override
    {
        TextTest::SetUp();
        SetUnicodeMode(true);
        ctx->eng.ctl.FileDelimiterW = L'\t';
        g_rm = RmScript{};
        auto* binding = static_cast<RestartMgrBinding*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY,
                                                                  sizeof(RestartMgrBinding)));
        *binding = RestartMgrBinding{ctx, 1, nullptr, FakeStart, FakeRegister, FakeGetList, FakeEnd, FakeQuery};
        ctx->pipeLock.pRestartMgrBinding = binding;
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        file_ = self;
    }

    void TearDown() override
    {
        RestartMgrUnload(ctx);
        EXPECT_EQ(ctx->pipeLock.pRestartMgrBinding, nullptr);
        TextTest::TearDown();
    }

    std::wstring file_;
};

TEST_F(FileLockTest, ListsTheHoldersThatStillRun)
{
    g_rm.holders = {Holder(L"First", true), Holder(L"Replaced", false), Holder(L"Second", true)};
    Call("filelockitemize", {file_});
    ASSERT_EQ(Error(), 0);
    EXPECT_EQ(Wide(), L"C:\\Programs\\holder.exe\tSecond");
    EXPECT_EQ(g_rm.getListCalls, 2) << "asked for the count, then for the entries";
    EXPECT_EQ(g_rm.sessionsEnded, 1);

    g_rm.holders.clear();
    Call("filelockitemize", {file_});
    EXPECT_EQ(Wide(), L"");
    EXPECT_EQ(g_rm.sessionsEnded, 2);
}

TEST_F(FileLockTest, AFailingRegistrationEndsTheSession)
{
    g_rm.registerAnswer = ERROR_ACCESS_DENIED;
    Call("filelockitemize", {file_});
    EXPECT_EQ(Error(), 1825);
    EXPECT_EQ(g_rm.getListCalls, 0);
    EXPECT_EQ(g_rm.sessionsEnded, 1);
    char text[1100];
    ASSERT_TRUE(ExtendedErrorText(ctx, text, sizeof text));
    EXPECT_NE(std::string(text).find("FileLockItemize"), std::string::npos) << text;
}

}  // namespace
