// Variables of the current scope: creating, overwriting and finding them by name key,
// their errors (3051, 3052 with its report, 3055, 3097) and ownership of their texts.
#include "value_fixture.h"

#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/data/array.h"
#include "engine/files/settings.h"
#include "settings_sandbox.h"

using Variables = ValueTest;

TEST_F(Variables, NamesAreKeyedWithoutCase)
{
    ASSERT_EQ(SetVariableByName(ctx, "MyVar", nullptr, 5, SV_INT), 1);
    int index = find_var(ctx, "myvar", 0);
    ASSERT_GE(index, 1);
    EXPECT_EQ(find_var(ctx, "MYVAR", 0), index);
    EXPECT_STREQ(ctx->pVars[index].name, "myvar");
    EXPECT_EQ(ctx->pVars[index].i32, 5);

    ASSERT_EQ(SetVariableByName(ctx, "MYVAR", "text", 9, SV_STRING), 1);
    EXPECT_EQ(find_var(ctx, "myvar", 0), index) << "overwritten, not added";
    EXPECT_EQ(ctx->pVars[index].flags, static_cast<uint32_t>(VF_STRING));
    EXPECT_EQ(TextOf(ctx->pVars[index]), "text");
    EXPECT_EQ(ctx->nVarUsed, 2);

    char key[VARNAMESIZE + 1];
    EXPECT_EQ(MakeNameKey("\xC4gypten\xC4", key), 8);
    EXPECT_STREQ(key, "\xC4gypten\xE4") << "a high first byte is kept, later ones lowered";
}

TEST_F(Variables, NameLengthLimitIsThirtyCharacters)
{
    std::string thirty(30, 'a');
    std::string longer = thirty;
    longer += 'b';
    ASSERT_EQ(SetVariableByName(ctx, thirty.c_str(), nullptr, 1, SV_INT), 1);
    EXPECT_EQ(SetVariableByName(ctx, longer.c_str(), nullptr, 2, SV_INT), 0);
    EXPECT_EQ(ctx->nErrorCode, 3055);
    EXPECT_EQ(ctx->pVars[find_var(ctx, thirty.c_str(), 0)].i32, 1) << "never folded into another name";
    ctx->nErrorCode = 0;
    EXPECT_EQ(SetVariableByName(ctx, "", nullptr, 2, SV_INT), 0);
    EXPECT_EQ(ctx->nErrorCode, 3055);
    EXPECT_EQ(ctx->pVars[0].flags, static_cast<uint32_t>(VF_UNINIT)) << "entry 0 untouched";
}

TEST_F(Variables, FindVarErrors)
{
    kvtest::SettingsSandbox sandbox;   // the report of 3052 goes to the settings file
    ASSERT_TRUE(sandbox.Ready()) << sandbox.Error();
    EXPECT_EQ(find_var(ctx, "nosuch", 1), -1);
    EXPECT_EQ(ctx->nErrorCode, 3051);
    EXPECT_EQ(ExtendedText(), "");

    // A variable the tokenizer created without a value.
    VariableEntry& entry = ctx->pVars[ctx->nVarUsed++];
    strcpy(entry.name, "pending");
    entry.i32 = -1;
    entry.flags = VF_UNINIT;

    ctx->nErrorCode = 0;
    ctx->nStructDepth = 1;
    ctx->aStructFrames[0].skip = SKIP_FALSE;
    EXPECT_EQ(find_var(ctx, "Pending", 1), -1);
    EXPECT_EQ(ctx->nErrorCode, 3052);
    EXPECT_EQ(ExtendedText(), "") << "nothing reported from a skipped branch";

    ctx->nStructDepth = 0;
    EXPECT_EQ(find_var(ctx, "Pending", 0), -1);
    EXPECT_EQ(ExtendedText(), "") << "no report asked for";
    EXPECT_EQ(GetFileAttributesA(sandbox.IniFile().c_str()), INVALID_FILE_ATTRIBUTES)
        << "nothing recorded either";

    EXPECT_EQ(find_var(ctx, "Pending", 1), -1);
    EXPECT_EQ(ctx->nErrorCode, 3052);
    char lead[300];
    LoadMyString(ctx, EngineModule(), 880, lead, sizeof lead);
    EXPECT_EQ(ExtendedText(), std::string(lead) + "\n\n    pending");
    char recorded[64];
    ReadSettingsIni(ctx, "Error Reporting", "3052", "", recorded, sizeof recorded);
    EXPECT_STREQ(recorded, "pending");
}

TEST_F(Variables, EveryModeStoresItsForm)
{
    ASSERT_EQ(SetVariableByName(ctx, "n", nullptr, -3, SV_INT), 1);
    ASSERT_EQ(SetVariableByName(ctx, "s", nullptr, 0, SV_STRING), 1);
    ASSERT_EQ(SetVariableByName(ctx, "w", L"wide", 0, SV_WIDE), 1);
    resultants made;
    ASSERT_EQ(CreateMyArray(ctx, &made, 3, 0, 0, 0, 0, 0, 1), 1);
    ASSERT_EQ(SetVariableByName(ctx, "a", reinterpret_cast<void*>(made.str), 0, SV_ARRAY), 1);
    EXPECT_EQ(SetVariableByName(ctx, "x", nullptr, 0, 7), 0);

    EXPECT_EQ(ctx->pVars[find_var(ctx, "n", 0)].i32, -3);
    EXPECT_EQ(TextOf(ctx->pVars[find_var(ctx, "s", 0)]), "") << "null text is empty";
    EXPECT_EQ(std::wstring(ValueWText(ctx, &ctx->pVars[find_var(ctx, "w", 0)])), L"wide");
    const VariableEntry& array = ctx->pVars[find_var(ctx, "a", 0)];
    EXPECT_EQ(array.flags, static_cast<uint32_t>(VF_ARRAY));
    EXPECT_EQ(ValueArray(&array)->refs, 2u) << "the variable holds it beside its creation";
    EXPECT_EQ(find_var(ctx, "x", 0), -1);
}

// A variable stored from a new array holds it as an assigned one does: another holder
// that lets go (a function's argument or result) leaves the block with the variable.
TEST_F(Variables, AnArrayStoredByNameOutlivesAnotherHolder)
{
    resultants made;
    ASSERT_EQ(CreateMyArray(ctx, &made, 12, 0, 0, 0, 0, 0, 1), 1);
    ArrayHeader* block = ValueArray(&made);
    block->data[0].i32 = 3052;
    block->data[0].flags = VF_INT;
    ASSERT_EQ(SetVariableByName(ctx, "kverrorarray", reinterpret_cast<void*>(made.str), 0, SV_ARRAY), 1);
    int index = find_var(ctx, "kverrorarray", 0);
    resultants argument;
    ASSERT_EQ(CopyValue(ctx, &ctx->pVars[index], &argument, index,
                        VK_ARGUMENT | VM_TO_RECORD | VM_ADD_ARRAY_REF), 1);
    FreeValue(ctx, &argument, 0, VK_RECORD);
    ASSERT_EQ(ValueArray(&ctx->pVars[index]), block) << "the block went with the other holder";
    EXPECT_EQ(block->data[0].i32, 3052);
}

TEST_F(Variables, StoredValuesOwnTheirOwnTexts)
{
    uint64_t before = FreeBytes();
    resultants value = Text("hello");
    ASSERT_EQ(ValueToWide(ctx, &value), 1);
    ASSERT_EQ(SetVariableFromValue(ctx, "greeting", &value), 1);
    FreeValue(ctx, &value, 0, VK_RECORD);

    int index = find_var(ctx, "greeting", 0);
    ASSERT_GE(index, 1);
    EXPECT_EQ(TextOf(ctx->pVars[index]), "hello");
    EXPECT_EQ(std::wstring(ValueWText(ctx, &ctx->pVars[index])), L"hello");

    ASSERT_EQ(SetVariableByName(ctx, "greeting", nullptr, 4, SV_INT), 1);
    EXPECT_EQ(FreeBytes(), before) << "overwriting released the old texts";
}

TEST_F(Variables, ArrayHoldersAreCountedAcrossVariables)
{
    resultants made;
    ASSERT_EQ(CreateMyArray(ctx, &made, 2, 0, 0, 0, 0, 0, 1), 1);
    ArrayHeader* array = ValueArray(&made);
    ASSERT_EQ(SetVariableFromValue(ctx, "a", &made), 1);
    ASSERT_EQ(SetVariableFromValue(ctx, "b", &made), 1);
    EXPECT_EQ(array->refs, 3u);
    ASSERT_EQ(SetVariableFromValue(ctx, "a", &made), 1) << "storing the same array again";
    EXPECT_EQ(array->refs, 3u);
    ASSERT_EQ(SetVariableByName(ctx, "a", nullptr, 0, SV_INT), 1);
    EXPECT_EQ(array->refs, 2u);
}

TEST_F(Variables, FreeEntriesAreReusedAndAFullTableRefuses)
{
    ASSERT_EQ(SetVariableByName(ctx, "first", nullptr, 1, SV_INT), 1);
    ASSERT_EQ(SetVariableByName(ctx, "second", nullptr, 2, SV_INT), 1);
    int first = find_var(ctx, "first", 0);
    ctx->pVars[first].flags = 0;  // dropped
    ASSERT_EQ(SetVariableByName(ctx, "third", nullptr, 3, SV_INT), 1);
    EXPECT_EQ(find_var(ctx, "third", 0), first);

    // Capacity 64: at most 63 used entries including the reserved one.
    int made = 0;
    for (int i = 0; i < 100; ++i) {
        std::string name = "v";
        name += std::to_string(i);
        if (!SetVariableByName(ctx, name.c_str(), "x", i, SV_STRING)) break;
        ++made;
    }
    EXPECT_EQ(ctx->nErrorCode, 3097);
    EXPECT_EQ(ctx->nVarUsed, ValueTest::kCapacity - 1);
    EXPECT_EQ(made, ValueTest::kCapacity - 4);
    ctx->nErrorCode = 0;
    ASSERT_EQ(SetVariableByName(ctx, "v0", nullptr, 1, SV_INT), 1) << "existing names still take values";
}

TEST_F(Variables, ComValueIsCopiedUnlessItIsTheSameObject)
{
    resultants value;
    InitResultValue(ctx, &value, VK_RECORD, 0);
    value.flags = VF_VARIANT;
    value.var.vt = VT_BSTR;
    value.var.bstrVal = SysAllocString(L"com text");
    ASSERT_EQ(SetVariableFromValue(ctx, "v", &value), 1);
    const VariableEntry& entry = ctx->pVars[find_var(ctx, "v", 0)];
    EXPECT_NE(entry.var.bstrVal, value.var.bstrVal) << "an independent copy";

    resultants same;
    InitResultValue(ctx, &same, VK_RECORD, 0);
    same.flags = VF_VARIANT;
    same.var = entry.var;
    same.originVar = static_cast<uint16_t>(find_var(ctx, "v", 0));
    BSTR kept = entry.var.bstrVal;
    ASSERT_EQ(SetVariableFromValue(ctx, "v", &same), 1);
    EXPECT_EQ(entry.var.bstrVal, kept);
    EXPECT_EQ(SysStringLen(kept), 8u) << "the object was not released";

    FreeValue(ctx, &value, 0, VK_RECORD);
    FreeValue(ctx, &ctx->pVars[find_var(ctx, "v", 0)], 0, VK_ARGUMENT);
}
