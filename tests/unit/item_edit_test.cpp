// ItemRemove, ItemReplace, ItemSort and ItemSortNc: the same tables in ANSI and in wide
// form, so both handlers of each pair are held to one behaviour.
#include "text_fixture.h"

#include "engine/data/item_list.h"

using ItemEdit = TextTest;

TEST_F(ItemEdit, RemoveAndReplaceTakeOneItemAndOneDelimiter)
{
    struct Case { const char* item; int index; const char* list; const char* want; };
    // item null: ItemRemove. Python: d.join(l[:i] + l[i+1:]) / d.join(l[:i] + [x] + l[i+1:]).
    const Case cases[] = {
        {nullptr, 2, "a,b,c", "a,c"},  {nullptr, 1, "a,b,c", "b,c"}, {nullptr, 3, "a,b,c", "a,b"},
        {nullptr, -1, "a,b,c", "a,b"}, {nullptr, 1, "a", ""},        {nullptr, 0, "a,b", "a,b"},
        {nullptr, 4, "a,b,c", "a,b,c"}, {nullptr, -2, "a,b", "a,b"}, {nullptr, 2, "a,,c", "a,c"},
        {nullptr, 3, "a,b,", "a,b"},   {nullptr, 1, ",", ""},         {nullptr, 1, "", ""},
        {"x", 3, "a,b,", "a,b,x"},     {"x", 5, "a,b", "a,b"},       {"x", 1, "", ""},
        {"x", 1, "a", "x"},            {"x", -1, "a,b", "a,x"},      {"x", 2, "a,,c", "a,x,c"},
        {"", 1, "a,b", ",b"},          {"x,y", 1, "a,b", "x,y,b"},   {"x", -3, "a,b", "a,b"},
    };
    for (bool wide : {false, true})
        for (const Case& c : cases) {
            if (c.item) Call("itemreplace", {As(wide, c.item), c.index, As(wide, c.list), As(wide, ",")});
            else Call("itemremove", {c.index, As(wide, c.list), As(wide, ",")});
            EXPECT_EQ(TextResult(wide), c.want) << (c.item ? "replace " : "remove ") << c.index << " ["
                                                << c.list << "] wide " << wide;
        }
}

TEST_F(ItemEdit, SortPutsEmptyItemsFirstAndKeepsTheListLength)
{
    struct Case { const char* list; const char* delimiter; const char* want; };
    const Case cases[] = {
        {"b,,a", ",", ",a,b"}, {"c,b,a,", ",", ",a,b,c"}, {",,", ",", ",,"}, {"", ",", ""},
        {"b", ",", "b"},       {"b\ta", "", "a\tb"},      {"b;a,c", ";", "a,c;b"},
        {"10,9,1", ",", "1,10,9"},
    };
    for (bool wide : {false, true})
        for (const Case& c : cases) {
            Call("itemsort", {As(wide, c.list), As(wide, c.delimiter)});
            EXPECT_EQ(TextResult(wide), c.want) << '[' << c.list << "] wide " << wide;
        }
    // The case-insensitive order lets case decide only between otherwise equal items.
    Call("itemsortnc", {"b,B,a,A", ","});
    std::string noCase = Narrow();
    Call("itemsort", {"b,B,a,A", ","});
    EXPECT_EQ(noCase, Narrow());
    Call("itemsortnc", {"c,B,a", ","});
    EXPECT_EQ(Narrow(), "a,B,c");
}

TEST_F(ItemEdit, DelimitersOfMoreThanOneCharacterAreRefused)
{
    for (bool wide : {false, true}) {
        Call("itemremove", {1, As(wide, "a,,b"), As(wide, ",,")});
        EXPECT_EQ(Error(), 1705);
        Call("itemreplace", {As(wide, "x"), 1, As(wide, "a,,b"), As(wide, ",,")});
        EXPECT_EQ(Error(), 1705);
        Call("itemsort", {As(wide, "a,,b"), As(wide, ",,")});
        EXPECT_EQ(Error(), 1705);
    }
}
