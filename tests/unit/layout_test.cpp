// Layouts that cross the engine's boundary to the launcher and to extenders.
#include <gtest/gtest.h>

#include "engine/core/context.h"

TEST(Layout, RecordsHaveTheirDocumentedSizes)
{
    EXPECT_EQ(sizeof(ValueHead), 56u);
    EXPECT_EQ(sizeof(VariableEntry), 96u);
    EXPECT_EQ(sizeof(KeywordRecord), 56u);
    EXPECT_EQ(offsetof(ValueHead, flags), 36u);
    EXPECT_EQ(offsetof(ValueHead, str), 40u);
    EXPECT_EQ(offsetof(ValueHead, wstr), 48u);
}
