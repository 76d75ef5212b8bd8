// The texts the box functions take as rectangles and colours.
#include <gtest/gtest.h>

#include <vector>

#include "launcher/box_internal.h"

TEST(BoxArguments, RectanglesOfFourNumbers)
{
    struct Case {
        const char* text;
        bool ok;
        int rect[4];
    } cases[] = {
        {"100,100,500,500", true, {100, 100, 500, 500}},
        {" 1, 2\t3 4 ", true, {1, 2, 3, 4}},
        {"500,600,100,200", true, {100, 200, 500, 600}},        // corners put in order
        {"-10,0,+20,999999", true, {-10, 0, 20, 999999}},
        {"", true, {0, 0, 0, 0}},
        {"1,,2,3", false, {}},
        {"1,2,3", false, {}},
        {"1234567,0,0,0", false, {}},                            // seven characters
        {"1,2,3,4,", false, {}},
        {",1,2,3,4", false, {}},
        {"1,2,3,4,5", false, {}},
        {"1,2,x,4", false, {}},
        {"1.5,2,3,4", false, {}},
        {"1-2,3,4", false, {}},
    };
    for (const Case& c : cases) {
        int rect[4] = {7, 7, 7, 7};
        EXPECT_EQ(ParseBoxRect(c.text, rect), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(std::vector<int>(rect, rect + 4), std::vector<int>(c.rect, c.rect + 4)) << c.text;
        }
    }
    int line[4];
    ASSERT_TRUE(ParseBoxRect("900,10,100,800", line, false));      // a line keeps its ends
    EXPECT_EQ(std::vector<int>(line, line + 4), (std::vector<int>{900, 10, 100, 800}));
    const int whole[4] = {0, 0, 1000, 1000};
    ASSERT_TRUE(ParseBoxRect(" ", line, true, whole));
    EXPECT_EQ(line[2], 1000);
}

TEST(BoxArguments, ColoursKeepTheLowEightBitsOfEachNumber)
{
    COLORREF colour = 0;
    ASSERT_TRUE(ParseBoxColour("255,0,0", &colour));
    EXPECT_EQ(colour, RGB(255, 0, 0));
    ASSERT_TRUE(ParseBoxColour("1 2 3", &colour));
    EXPECT_EQ(colour, RGB(1, 2, 3));
    ASSERT_TRUE(ParseBoxColour("300,-1,256", &colour));
    EXPECT_EQ(colour, RGB(44, 255, 0));
    for (const char* bad : {"1,2", "1,,2,3", "1000,0,0", "a,b,c", ""})
        EXPECT_FALSE(ParseBoxColour(bad, &colour)) << bad;
}
