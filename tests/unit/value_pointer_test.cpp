// Variable pointers: the pointer text, reading and writing through it into another
// scope, and the refusal of texts that are not pointers (3813) or are stale (3814).
#include "value_fixture.h"

#include "engine/core/runloop.h"
#include "engine/core/varptr.h"
#include "engine/data/array.h"

class VarPointer : public ValueTest {
protected:
    void SetUp() override
    {
        ValueTest::SetUp();
        AddScope(3, 0x1234, 0xABCDEF01);
    }

    // The pointer text of `name` made while scope `slot` is current.
    std::string PointerIn(uint32_t slot, const char* name)
    {
        ScopeSave save{};
        EXPECT_EQ(SwitchVarScope(ctx, slot, &save), 1);
        char text[VARPTR_TEXT_SIZE];
        EXPECT_GT(MakeVarPointer(ctx, name, text), 0);
        EXPECT_EQ(RestoreVarScope(ctx, &save), 1);
        return text;
    }

    uint16_t Error()
    {
        uint16_t code = ctx->nErrorCode;
        ctx->nErrorCode = 0;
        return code;
    }
};

TEST_F(VarPointer, TextNamesScopeTableSerialTickAndName)
{
    std::string text = PointerIn(3, "Counter");
    char table[17];
    snprintf(table, sizeof table, "%016llX",
             static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(ctx->aScopes[3].hTable)));
    EXPECT_EQ(text, std::string("#VAR$PTR#0003") + table + "00001234ABCDEF01counter");

    uint32_t slot = 99;
    char name[VARNAMESIZE + 1];
    ASSERT_EQ(ParseVarPointer(ctx, text.c_str(), &slot, name), 1);
    EXPECT_EQ(slot, 3u);
    EXPECT_STREQ(name, "counter");
}

TEST_F(VarPointer, ReadsAndWritesAVariableOfAnotherScope)
{
    std::string pointer = PointerIn(3, "x");
    resultants value = Text("through the pointer");
    ASSERT_EQ(SetViaPointer(ctx, pointer.c_str(), &value), 1);
    EXPECT_EQ(ctx->nScopeCurrent, 0u) << "back in the caller's scope";
    EXPECT_EQ(find_var(ctx, "x", 0), -1) << "not stored in the current scope";
    ctx->nErrorCode = 0;

    resultants read;
    InitResultValue(ctx, &read, VK_RECORD, 0);
    ASSERT_EQ(GetViaPointer(ctx, pointer.c_str(), &read), 1);
    EXPECT_EQ(TextOf(read), "through the pointer");
    EXPECT_EQ(read.originScope, 3);
    EXPECT_EQ(ctx->nScopeCurrent, 0u);

    std::string missing = PointerIn(3, "nothing");
    EXPECT_EQ(GetViaPointer(ctx, missing.c_str(), &read), 0);
    EXPECT_EQ(Error(), 3817);
    EXPECT_EQ(TextOf(read), "through the pointer") << "the result is left as it was";
    EXPECT_EQ(IsArrayViaPointer(ctx, pointer.c_str()), 0);

    resultants made;
    ASSERT_EQ(CreateMyArray(ctx, &made, 2, 0, 0, 0, 0, 0, 1), 1);
    ASSERT_EQ(SetViaPointer(ctx, pointer.c_str(), &made), 1);
    EXPECT_EQ(IsArrayViaPointer(ctx, pointer.c_str()), 1);
    EXPECT_EQ(ValueArray(&made)->refs, 2u);
    FreeValue(ctx, &value, 0, VK_RECORD);
    FreeValue(ctx, &read, 0, VK_RECORD);
}

TEST_F(VarPointer, RefusesNonPointersAndStalePointers)
{
    std::string good = PointerIn(3, "x");
    uint32_t slot;
    char name[VARNAMESIZE + 1];

    std::string badDigit = good;
    badDigit[10] = 'G';
    std::string tooLong = good + std::string(30, 'y');
    for (const std::string& text : {std::string("hello"), std::string("#VAR$PTR#0003"),
                                    good.substr(0, 45), badDigit, tooLong,
                                    "#var$ptr#" + good.substr(9)}) {
        EXPECT_EQ(ParseVarPointer(ctx, text.c_str(), &slot, name), 0) << text;
        EXPECT_EQ(Error(), 3813) << text;
    }

    ctx->aScopes[3].serial += 1;  // the slot was freed and taken again
    EXPECT_EQ(ParseVarPointer(ctx, good.c_str(), &slot, name), 0);
    EXPECT_EQ(Error(), 3814);
    EXPECT_EQ(IsArrayViaPointer(ctx, good.c_str()), 0);
    EXPECT_EQ(ctx->nErrorCode, 0) << "IsArrayViaPointer leaves no error";
    ctx->aScopes[3].serial -= 1;

    GlobalFree(ctx->aScopes[3].hTable);
    ctx->aScopes[3] = {};  // the scope ended
    EXPECT_EQ(ParseVarPointer(ctx, good.c_str(), &slot, name), 0);
    EXPECT_EQ(Error(), 3814);

    std::string beyond = good;
    beyond.replace(9, 4, "0065");  // slot 101
    EXPECT_EQ(ParseVarPointer(ctx, beyond.c_str(), &slot, name), 0);
    EXPECT_EQ(Error(), 3814);
}

TEST_F(VarPointer, WipesASecretInTheVariableItCameFrom)
{
    ASSERT_EQ(SetVariableByName(ctx, "secret", "p4ssw0rd", 0, SV_STRING), 1);
    int index = find_var(ctx, "secret", 0);
    resultants argument;
    ASSERT_EQ(CopyValue(ctx, &ctx->pVars[index], &argument, index,
                        VK_ARGUMENT | VM_TO_RECORD | VM_COPY_TEXT), 1);
    const char* stored = HeapPtr(ctx, ctx->pVars[index].str);
    ASSERT_EQ(WipeValueText(ctx, &argument), 1);
    EXPECT_EQ(std::string(stored, 8), std::string(8, '\0'));
    EXPECT_EQ(std::string(HeapPtr(ctx, argument.str), 8), std::string(8, '\0'));
    FreeValue(ctx, &argument, 0, VK_RECORD);
}
