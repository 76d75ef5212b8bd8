// The key language (units, names, counts, held modifiers, malformed groups), the
// extended-key ranges, and the events the sender makes, caught through the context's
// SendInput entry, with the input block lifted around Alt units.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "box_watch.h"
#include "engine/core/builtin.h"
#include "engine/system/input_block.h"
#include "engine/ui/message_box.h"
#include "engine/ui/key_string.h"
#include "engine/ui/sendkey.h"
#include "value_fixture.h"

namespace {

std::string Describe(const KeyUnit& unit)
{
    char text[64];
    std::snprintf(text, sizeof text, unit.named ? "key %02X" : "char %04X", unit.named ? unit.vk : unit.ch);
    std::string out = text;
    if (unit.modifiers) {
        std::snprintf(text, sizeof text, " mods %X", unit.modifiers);
        out += text;
    }
    if (unit.count != 1)
        out += " x" + std::to_string(unit.count);
    return out;
}

std::vector<std::string> ReadAll(KeyString keys)
{
    std::vector<std::string> units;
    for (;;) {
        KeyUnit unit{};
        KeyRead read = ReadKeyUnit(keys, &unit);
        if (read == KeyRead::END)
            return units;
        if (read == KeyRead::MALFORMED) {
            units.push_back("MALFORMED");
            return units;
        }
        units.push_back(Describe(unit));
    }
}

TEST(KeyString, ReadsUnits)
{
    struct Case {
        const wchar_t* keys;
        std::vector<std::string> units;
    };
    const Case cases[] = {
        {L"a+b~", {"char 0061", "char 0062 mods 1", "key 0D"}},
        {L"^+{F5}!x", {"key 74 mods 3", "char 0078 mods 4"}},
        {L"{ENTER 3}{enter}{Tab  2 }", {"key 0D x3", "key 0D", "key 09 x2"}},
        {L"{a 0}{b -2}{c 99999999999}", {"char 0061 x0", "char 0062 x-2", "char 0063 x2147483647"}},
        {L"{*LWIN}r", {"char 0072 mods 200"}},
        {L"{*lwin}{*RALT}!x{*APPS}", {"char 0078 mods 214"}},
        {L"{*LSHIFT}{*RSHIFT}{*LCONTROL}{*RCONTROL}{*LALT}{SPACE}", {"key 20 mods 1E8"}},
        {L"{{}{}}{+}{~}{ }", {"char 007B", "char 007D", "char 002B", "char 007E", "char 0020"}},
        {L"{NUMPAD~}{LWIN}{numpad*}", {"key 00", "key 5B", "key 6A"}},
        {L"{TAB", {"MALFORMED"}},
        {L"x{TAB", {"char 0078", "MALFORMED"}},
        {L"{NOSUCHKEY}y", {"MALFORMED"}},
        {L"{BACKSPACES}", {"MALFORMED"}},
        {L"{ENTER x}", {"MALFORMED"}},
        {L"{ENTER 3", {"MALFORMED"}},
        {L"{", {"MALFORMED"}},
        {L"+^", {}},
        {L"", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadAll(WideKeyString(c.keys)), c.units) << testing::PrintToString(std::wstring(c.keys));
}

TEST(KeyString, ReadsNarrowTextInItsCodePage)
{
    EXPECT_EQ(ReadAll(NarrowKeyString("\x80{\x80 2}", 1252)), (std::vector<std::string>{"char 20AC", "char 20AC x2"}));
    // A double-byte character is one character, in braces too.
    EXPECT_EQ(ReadAll(NarrowKeyString("\x82\xa0{\x82\xa0}+a", 932)),
              (std::vector<std::string>{"char 3042", "char 3042", "char 0061 mods 1"}));
}

TEST(KeyString, NameTable)
{
    std::set<std::string> names;
    const SendKeyName* rows = SendKeyNames();
    for (int i = 0; i < SEND_KEY_NAME_COUNT; ++i) {
        EXPECT_LE(std::string(rows[i].name).size(), static_cast<size_t>(KEY_NAME_MAX));
        EXPECT_EQ(rows[i].hold != 0, rows[i].name[0] == '*') << rows[i].name;
        names.insert(rows[i].name);
    }
    EXPECT_EQ(names.size(), static_cast<size_t>(SEND_KEY_NAME_COUNT));
    struct Case {
        const wchar_t* name;
        int vk;   // -1: not a name
    };
    const Case cases[] = {
        {L"bs", 0x08}, {L"CapsLock", 0x14}, {L"f16", 0x7F}, {L"NUMPAD/", 0x6F}, {L"rcontrol", 0xA3},
        {L"*apps", 0x5D}, {L"F17", -1},      {L"ENTE", -1},   {L"ENTERX", -1},  {L"", -1},
    };
    for (const Case& c : cases) {
        const SendKeyName* row = FindSendKeyName(c.name, std::wstring(c.name).size());
        EXPECT_EQ(row ? row->vk : -1, c.vk) << testing::PrintToString(std::wstring(c.name));
    }
}

TEST(KeyString, ExtendedKeyRanges)
{
    const int plain[] = {0x08, 0x0D, 0x10, 0x12, 0x20, 0x30, 0x41, 0x5A, 0x70, 0x87, 0xBA, 0xC0, 0xDB, 0xDE};
    const int extended[] = {0x00, 0x03, 0x07, 0x21, 0x24, 0x2E, 0x2F, 0x5B, 0x5D, 0x60, 0x6F, 0x88,
                            0x90, 0xA0, 0xA5, 0xB9, 0xC1, 0xDA, 0xDF, 0xFF};
    for (int vk : plain)
        EXPECT_FALSE(IsExtendedSendKey(static_cast<uint8_t>(vk))) << std::hex << vk;
    for (int vk : extended)
        EXPECT_TRUE(IsExtendedSendKey(static_cast<uint8_t>(vk))) << std::hex << vk;
}

// ---------------------------------------------------------------- the sender

std::vector<std::string> g_events;

UINT WINAPI RecordInput(UINT count, LPINPUT inputs, int)
{
    for (UINT i = 0; i < count; ++i) {
        const KEYBDINPUT& k = inputs[i].ki;
        char text[64];
        bool up = k.dwFlags & KEYEVENTF_KEYUP;
        if (k.dwFlags & KEYEVENTF_UNICODE)
            std::snprintf(text, sizeof text, "%s char %04X", up ? "up" : "down", k.wScan);
        else
            std::snprintf(text, sizeof text, "%s %02X%s", up ? "up" : "down", k.wVk,
                          (k.dwFlags & KEYEVENTF_EXTENDEDKEY) ? " ext" : "");
        g_events.push_back(text);
    }
    return count;
}

BOOL WINAPI RecordBlockInput(BOOL block)
{
    g_events.push_back(block ? "block" : "unblock");
    return TRUE;
}

// The sender's events go to a recorder in place of the system's SendInput; the suite
// holds the desktop, since a toggled Caps Lock would be switched with real key events.
class SendKeyWindow : public ValueTest {
protected:
    void SetUp() override
    {
        ValueTest::SetUp();
        g_events.clear();
        ctx->eng.ctl.SendInputUnicodeEntry = RecordInput;
    }

    std::vector<std::string> Send(const wchar_t* keys)
    {
        g_events.clear();
        EXPECT_EQ(SendKeyString(ctx, WideKeyString(keys), 0, true), 0);
        return g_events;
    }
};

using Events = std::vector<std::string>;

TEST_F(SendKeyWindow, PressesModifiersInOrderAndReleasesAltsBeforeTheKey)
{
    EXPECT_EQ(Send(L"+{TAB}"), (Events{"down 10", "down 09", "up 09", "up 10"}));
    EXPECT_EQ(Send(L"{*LWIN}{*RALT}^a"),
              (Events{"down 11", "down 5B ext", "down A5 ext", "down 41", "up A5 ext", "up 41", "up 5B ext", "up 11"}));
    EXPECT_EQ(Send(L"{*APPS}{*RWIN}{*LWIN}{*RCONTROL}{*LCONTROL}{*RSHIFT}{*LSHIFT}{*RALT}{*LALT}+^!{F1}"),
              (Events{"down 10", "down A0 ext", "down A1 ext", "down 11", "down A2 ext", "down A3 ext",
                      "down 5B ext", "down 5C ext", "down 5D ext", "down 12", "down A4 ext", "down A5 ext",
                      "down 70", "up A5 ext", "up A4 ext", "up 12", "up 70", "up 5D ext", "up 5C ext",
                      "up 5B ext", "up A3 ext", "up A2 ext", "up 11", "up A1 ext", "up A0 ext", "up 10"}));
}

TEST_F(SendKeyWindow, RepeatsUnitsAndSendsKeypadEnterAndCharacters)
{
    EXPECT_EQ(Send(L"{HOME 2}{a 0}"), (Events{"down 24 ext", "up 24 ext", "down 24 ext", "up 24 ext"}));
    EXPECT_EQ(Send(L"{NUMPAD~}"), (Events{"down 0D ext", "up 0D ext"}));
    // Shift from the layout joins the unit's modifiers; a character no key types is sent
    // as a character event, with the unit's modifiers around it.
    EXPECT_EQ(Send(L"B"), (Events{"down 10", "down 42", "up 42", "up 10"}));
    EXPECT_EQ(Send(L"^\u20ac"), (Events{"down 11", "down char 20AC", "up char 20AC", "up 11"}));
}

TEST_F(SendKeyWindow, StopsAtAMalformedUnit)
{
    g_events.clear();
    EXPECT_EQ(SendKeyString(ctx, WideKeyString(L"x{TAB"), 0, true), -1);
    EXPECT_EQ(g_events, (Events{"down 58", "up 58"}));
}

// Without the Unicode entry the narrow form skips characters that no key types.
TEST_F(SendKeyWindow, NarrowFormSkipsUntypableCharactersWithoutTheEntry)
{
    ctx->eng.ctl.SendInputUnicodeEntry = nullptr;
    EXPECT_EQ(SendKeyString(ctx, NarrowKeyString("\x80", 1252), 0, false), 0);
    ctx->eng.ctl.SendInputUnicodeEntry = RecordInput;
    g_events.clear();
    EXPECT_EQ(SendKeyString(ctx, NarrowKeyString("\x80", 1252), 0, false), 0);
    EXPECT_EQ(g_events, (Events{"down char 20AC", "up char 20AC"}));
}

// An Alt unit lifts the script's input block and sets it again; other units leave it.
TEST_F(SendKeyWindow, AltUnitsGoWithTheInputBlockLifted)
{
    ctx->eng.api.pfnBlockInput = RecordBlockInput;
    ctx->box.IgnoreInputState = 1;
    EXPECT_EQ(Send(L"a!b"), (Events{"down 41", "up 41", "unblock", "down 12", "down 42", "up 12", "up 42", "block"}));
    ctx->box.IgnoreInputState = 0;
    EXPECT_EQ(Send(L"{*LALT}c"), (Events{"unblock", "down A4 ext", "down 43", "up A4 ext", "up 43", "unblock"}));
    ctx->eng.api.pfnBlockInput = nullptr;
    EXPECT_EQ(Send(L"!d"), (Events{"down 12", "down 44", "up 12", "up 44"}));
}

// IgnoreInput blocks input; a box lifts the block while it is up and sets it again after.
class InputBlockBox : public ValueTest {};

TEST_F(InputBlockBox, BoxFrameLiftsTheScriptsBlock)
{
    ctx->eng.api.pfnBlockInput = RecordBlockInput;
    resultants args[2] = {};
    args[1].i32 = 1;
    args[1].flags = VF_INT;
    resultants result{};
    InitResultValue(ctx, &result, VK_RECORD, 0);
    BuiltinCall ignoreInput{523, 1, args, &result, false, 0, "IgnoreInput"};
    g_events.clear();
    BuiltinCaseTable()[523](ctx, ignoreInput);
    EXPECT_EQ(result.i32, 0);
    {
        BoxWatch watch("Frame Box", IDOK);
        ShowMessageBox(ctx, nullptr, "text", "Frame Box", MB_OK);
        EXPECT_TRUE(watch.Result().found);
    }
    EXPECT_EQ(g_events, (Events{"block", "unblock", "block"}));

    // Without the system's BlockInput the frame calls nothing and IgnoreInput answers -1.
    ctx->eng.api.pfnBlockInput = nullptr;
    g_events.clear();
    BuiltinCaseTable()[523](ctx, ignoreInput);
    EXPECT_EQ(result.i32, -1);
    EXPECT_EQ(SetInputBlocked(ctx, 1), -1);
    EXPECT_TRUE(g_events.empty());
}

}  // namespace
