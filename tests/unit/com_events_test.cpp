// What an event handler writes back through a by-reference argument: the value in the
// referenced cell's own width, an old string or interface freed first, a referenced
// VARIANT replaced whole; a by-value target takes the value itself.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include "engine/com/com_events.h"
#include "value_fixture.h"

namespace {

using ComEventsTest = ValueTest;

TEST_F(ComEventsTest, OutParametersAreWrittenThroughTheirReference)
{
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BOOL;
    value.boolVal = VARIANT_FALSE;
    struct {
        VARIANT_BOOL flag = VARIANT_TRUE;
        short next = 0x1234;   // must stay
    } cell;
    VARIANT target;
    VariantInit(&target);
    target.vt = VT_BOOL | VT_BYREF;
    target.pboolVal = &cell.flag;
    ASSERT_EQ(SetOutParameter(ctx, value, &target), 1);
    EXPECT_EQ(cell.flag, VARIANT_FALSE);
    EXPECT_EQ(cell.next, 0x1234);

    BSTR old = SysAllocString(L"old");
    BSTR text = old;
    target.vt = VT_BSTR | VT_BYREF;
    target.pbstrVal = &text;
    VARIANT fresh;
    VariantInit(&fresh);
    fresh.vt = VT_BSTR;
    fresh.bstrVal = SysAllocString(L"new");
    ASSERT_EQ(SetOutParameter(ctx, fresh, &target), 1);
    EXPECT_STREQ(text, L"new");
    EXPECT_NE(text, fresh.bstrVal) << "the cell gets its own copy";
    SysFreeString(text);
    VariantClear(&fresh);

    VARIANT inner;
    VariantInit(&inner);
    inner.vt = VT_BSTR;
    inner.bstrVal = SysAllocString(L"replaced");
    target.vt = VT_VARIANT | VT_BYREF;
    target.pvarVal = &inner;
    value.vt = VT_I4;
    value.lVal = 42;
    ASSERT_EQ(SetOutParameter(ctx, value, &target), 1);
    EXPECT_EQ(inner.vt, VT_I4);
    EXPECT_EQ(inner.lVal, 42);

    VARIANT plain;
    VariantInit(&plain);
    plain.vt = VT_BSTR;
    plain.bstrVal = SysAllocString(L"by value");
    ASSERT_EQ(SetOutParameter(ctx, value, &plain), 1);
    EXPECT_EQ(plain.vt, VT_I4);
    EXPECT_EQ(plain.lVal, 42);
}

}  // namespace
