// NetInfo's provider list from a private machine root, ComputerNameGet against the
// process's environment, and ComputerNameSet and IntControl 76 through recorders put in the
// place of the system's calls.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "settings_sandbox.h"
#include "text_fixture.h"

namespace {

struct Recorded {
    int calls = 0;
    COMPUTER_NAME_FORMAT format = ComputerNameMax;
    std::wstring name;
    BOOL answer = TRUE;
};
Recorded g_recorded;

BOOL WINAPI RecordSetW(COMPUTER_NAME_FORMAT format, LPCWSTR name)
{
    ++g_recorded.calls;
    g_recorded.format = format;
    g_recorded.name = name;
    return g_recorded.answer;
}

BOOL WINAPI RecordSetA(COMPUTER_NAME_FORMAT format, LPCSTR name)
{
    ++g_recorded.calls;
    g_recorded.format = format;
    g_recorded.name.assign(name, name + strlen(name));
    return g_recorded.answer;
}

class ComputerNameTest : public TextTest {
protected:
    void SetUp() override
    {
        TextTest::SetUp();
        g_recorded = Recorded{};
        ctx->eng.ctl.FileDelimiter = '\t';
        ctx->eng.system.SetComputerNameExW = RecordSetW;
        ctx->eng.system.SetComputerNameExA = RecordSetA;
    }
};

TEST_F(ComputerNameTest, ProviderOrderBecomesAList)
{
    kvtest::SettingsSandbox sandbox(true);
    ASSERT_TRUE(sandbox.Ready()) << sandbox.Error();
    Call("netinfo", {1});
    EXPECT_EQ(Narrow(), "");   // no providers key
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\NetworkProvider\\Order", 0,
                              nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const struct {
        const char* order;
        char delimiter;
        const char* list;
    } cases[] = {
        {"A,B,C", '\t', "A\tB\tC"},
        {"A,B,C", ';', "A;B;C"},
        {"LanmanWorkstation", '\t', "LanmanWorkstation"},
        {"", '\t', ""},
    };
    for (const auto& c : cases) {
        RegSetValueExA(key, "ProviderOrder", 0, REG_SZ, reinterpret_cast<const BYTE*>(c.order),
                       static_cast<DWORD>(strlen(c.order) + 1));
        ctx->eng.ctl.FileDelimiter = c.delimiter;
        Call("netinfo", {1});
        EXPECT_EQ(Narrow(), c.list) << c.order;
    }
    RegCloseKey(key);
    Call("netinfo", {0});
    EXPECT_EQ(Narrow(), "WINNT");
}

TEST_F(ComputerNameTest, NameIsTheEnvironmentsComputerName)
{
    wchar_t expected[256] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"COMPUTERNAME", expected, 256), 0u);
    Call("computernameget", {0});
    EXPECT_EQ(Wide(), expected);
}

// Formats 0 and 104-106 name the system's formats 5, 4, 5 and 6; others are refused
// before the system is asked.
TEST_F(ComputerNameTest, SetPassesTheSystemFormat)
{
    const struct {
        int format;
        COMPUTER_NAME_FORMAT system;
    } cases[] = {
        {0, ComputerNamePhysicalDnsHostname},
        {104, ComputerNamePhysicalNetBIOS},
        {105, ComputerNamePhysicalDnsHostname},
        {106, ComputerNamePhysicalDnsDomain},
    };
    for (const auto& c : cases) {
        Call("computernameset", {L"NEWNAME", c.format});
        EXPECT_EQ(ctx->nErrorCode, 0) << c.format;
        EXPECT_EQ(result.i32, 1) << c.format;
        EXPECT_EQ(g_recorded.format, c.system) << c.format;
        EXPECT_EQ(g_recorded.name, L"NEWNAME");
    }
    g_recorded.calls = 0;
    for (int format : {1, 5, 103, 107}) {
        Call("computernameset", {L"NEWNAME", format});
        EXPECT_EQ(ctx->nErrorCode, 1823) << format;
    }
    Call("computernameset", {L"", 107});
    EXPECT_EQ(ctx->nErrorCode, 0);
    EXPECT_EQ(result.i32, 0);
    EXPECT_EQ(g_recorded.calls, 0);

    g_recorded.answer = FALSE;
    Call("computernameset", {L"NEWNAME", 0});
    EXPECT_EQ(ctx->nErrorCode, 1769);
    ctx->eng.system.SetComputerNameExW = nullptr;
    Call("computernameset", {L"NEWNAME", 0});
    EXPECT_EQ(ctx->nErrorCode, 1769);
}

// IntControl 76 sets the narrow name in format 0 and answers 1 or 0 without an error.
TEST_F(ComputerNameTest, IntControl76AnswersWithoutAnError)
{
    Call("intcontrol", {76, "HOST76", "0", "0", "0"});
    EXPECT_EQ(ctx->nErrorCode, 0);
    EXPECT_EQ(Narrow(), "1");
    EXPECT_EQ(g_recorded.format, ComputerNamePhysicalDnsHostname);
    EXPECT_EQ(g_recorded.name, L"HOST76");
    g_recorded.answer = FALSE;
    Call("intcontrol", {76, "HOST76", "0", "0", "0"});
    EXPECT_EQ(ctx->nErrorCode, 0);
    EXPECT_EQ(Narrow(), "0");
}

}  // namespace
