// Maps: MapCreate's list reader, the key built-ins, the iteration order that a plain
// FNV-1a model predicts, and the entry pool.
#include "array_fixture.h"
#include "text_fixture.h"

#include <algorithm>

#include "engine/core/errors.h"
#include "engine/data/map_keys.h"

namespace {

// The model: 32-bit FNV-1a over lower-cased bytes; bucket = hash % count; each bucket
// lists its keys newest first; buckets in ascending order.
uint32_t Fnv1a(const std::string& key)
{
    uint32_t h = 0x811C9DC5u;
    for (unsigned char c : key) h = (h ^ static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + 32 : c)) * 16777619u;
    return h;
}
std::vector<std::string> ModelOrder(const std::vector<std::string>& inserted, uint32_t buckets)
{
    std::vector<std::vector<std::string>> chains(buckets);
    for (const std::string& k : inserted) chains[Fnv1a(k) % buckets].insert(chains[Fnv1a(k) % buckets].begin(), k);
    std::vector<std::string> order;
    for (auto& chain : chains) order.insert(order.end(), chain.begin(), chain.end());
    return order;
}

}  // namespace

class Maps : public ArrayTest {
protected:
    // Every entry as "key=value" ("key" alone without a value), sorted.
    std::string Content(const ValueHead& value)
    {
        ArrayHeader* map = ValueArray(&value);
        std::vector<std::string> entries;
        for (uintptr_t c = MapCursorStart(map); c;) {
            const char* key = "";
            ArrayElement* v = nullptr;
            c = MapIterate(ctx, map, c, &key, &v);
            entries.push_back(v->flags ? std::string(key).append("=").append(Show(*v)) : key);
        }
        std::sort(entries.begin(), entries.end());
        std::string s;
        for (const std::string& e : entries) s.append(s.empty() ? "" : ";").append(e);
        return s;
    }
};

TEST_F(Maps, MapCreateReadsKeyValueLists)
{
    struct Case { const char* list; const char* kv; const char* pair; uint16_t error; const char* content; };
    const Case cases[] = {
        {"a,1\tB,2", "", "", 0, "B=2;a=1"},
        {"\"x,y\",1", "", "", 0, "x,y=1"},
        {"\"a\"\"b\" , 1", "", "", 0, "a\"b=1"},
        {" a , 1 \t b , \" 2 \" ", "", "", 0, "a=1;b= 2 "},
        {"k", "", "", 0, "k"},
        {"k,\tm,  ", "", "", 0, "k;m"},
        {"k,\"\"", "", "", 0, "k="},
        {"a,1\ta,3", "", "", 0, "a=3"},
        {"a,1\t", "", "", 0, "a=1"},
        {"a=1;b=2", "=", ";", 0, "a=1;b=2"},
        {"a\t1|b\t2", "\t", "|", 0, "a=1;b=2"},
        {"a,1\t\tb,2", "", "", 1610, nullptr},
        {"\"x\"y,1", "", "", 1610, nullptr},
        {"a,1,2", "", "", 1610, nullptr},
        {"a,\"1", "", "", 1610, nullptr},
        {"a b\"c\",1", "", "", 1610, nullptr},
        {",1", "", "", 1610, nullptr},
        {"a,1", ",", ",", 1807, nullptr},
        {"a,1", "\"", "", 1807, nullptr},
        {"a,1", "", " ", 1807, nullptr},
        {"a,1", ",,", "", 1705, nullptr},
        {"", ",,", "", 0, ""},
    };
    for (const Case& c : cases) {
        resultants& m = Call(kid::MapCreate, {Str(c.list), Str(c.kv), Str(c.pair)});
        EXPECT_EQ(ctx->nErrorCode, c.error) << c.list;
        if (c.content) {
            EXPECT_EQ(Content(m), c.content) << c.list;
        } else {
            EXPECT_EQ(m.flags, static_cast<uint32_t>(VF_INT)) << c.list;
            EXPECT_EQ(m.i32, 0) << c.list;
        }
    }
}

TEST_F(Maps, InvalidPairsNameTheTextNearTheFault)
{
    Call(kid::MapCreate, {Str("\"x\"y,1")});
    ASSERT_EQ(ctx->nErrorCode, 1610);
    EXPECT_NE(ExtendedText().find("Invalid character(s) contained in or near:\n  \"x\"y,1"), std::string::npos)
        << ExtendedText();

    std::string list;
    for (int i = 0; i < 20; ++i) list.append("k").append(std::to_string(i)).append(",v\t");
    list += "bad,\"x\"y";
    size_t at = list.size() - 1;  // the 'y' after the closing quote
    FreeExtendedError(ctx);
    Call(kid::MapCreate, {Str(list.c_str())});
    ASSERT_EQ(ctx->nErrorCode, 1610);
    EXPECT_NE(ExtendedText().find(list.substr(at - 58, 59)), std::string::npos) << ExtendedText();

    FreeExtendedError(ctx);
    Call(kid::MapCreate, {Str("\"a")});  // the text ends inside quotes
    EXPECT_EQ(ctx->nErrorCode, 1610);
}

TEST_F(Maps, KeyBuiltinsFindKeysWithoutCase)
{
    resultants& made = Call(kid::MapCreate, {Str("a,1\tB,2\tk")});
    Keep("m", made);
    auto find = [&](resultants key, std::vector<resultants> more) {
        std::vector<resultants> v{Var("m"), key};
        v.insert(v.end(), more.begin(), more.end());
        resultants& r = Call(kid::MapKeyFind, v);
        return Show(r);
    };
    EXPECT_EQ(find(Str("A"), {}), "1");
    EXPECT_EQ(find(Str("k"), {Int(5)}), "5") << "a key without a value gives the default";
    EXPECT_EQ(find(Str("zz"), {Str("dflt")}), "dflt");
    EXPECT_EQ(find(Str("zz"), {}), "0");
    EXPECT_EQ(Show(Call(kid::MapKeyExist, {Var("m"), Str("b")})), "1");
    EXPECT_EQ(Show(Call(kid::MapKeyExist, {Var("m"), Int(1)})), "0") << "no text: absent";
    EXPECT_EQ(Show(Call(kid::MapKeyRemove, {Var("m"), Str("B")})), "1");
    EXPECT_EQ(Show(Call(kid::MapKeyRemove, {Var("m"), Str("B")})), "0");
    EXPECT_EQ(Show(Call(kid::ArrInfo, {Var("m"), Int(6)})), "2");

    // A found text is the result's own copy.
    resultants& copy = Call(kid::MapKeyFind, {Var("m"), Str("a")});
    EXPECT_NE(copy.str, MapFind(ctx, VarArray("m"), "a")->str);

    NewArray("plain", {2});
    Call(kid::MapKeyExist, {Var("plain"), Str("a")});
    EXPECT_EQ(ctx->nErrorCode, 1637);
    Call(kid::MapKeyFind, {Int(3), Str("a")});
    EXPECT_EQ(ctx->nErrorCode, 3650);
}


// On a double-byte system a key folds by its characters: a trail byte that reads as an
// ASCII letter is no letter of its own, and full-width letters have their case. Keys of
// pure ASCII keep the byte-wise hash, and with it their place.
TEST_F(Maps, UnderADoubleByteSystemKeysFoldByCharacters)
{
    ShiftJisSystem shiftJis;
    resultants made = Int(0);
    ASSERT_EQ(MapAlloc(ctx, 64, &made), 1);
    ArrayHeader* m = Keep("m", made);
    struct Case { const char* stored; const char* asked; bool same; };
    const Case cases[] = {
        {"\x83\x41", "\x83\x61", false},     // katakana A and small YA: trail bytes "A", "a"
        {"\x82\x60x", "\x82\x81X", true},    // full-width A and a
        {"Key\x95\x5C", "KEY\x95\x5C", true},  // a kanji whose trail byte is a backslash
        {"z\x83", "Z\x83", true},            // a lead byte that ends the key stands alone
        {"Plain", "pLAIN", true},
    };
    for (const Case& c : cases) ASSERT_NE(MapInsertCopyKey(ctx, m, c.stored), nullptr) << c.stored;
    EXPECT_EQ(MapTableOf(m)->keyCodePage, 932u);
    for (const Case& c : cases) {
        EXPECT_EQ(MapContains(ctx, m, c.asked), c.same) << c.asked;
        EXPECT_EQ(MapKeysEqual(932, c.stored, c.asked), c.same) << c.asked;
    }
    EXPECT_EQ(MapCount(m), 5u);
    EXPECT_EQ(MapKeyHash(932, "Plain"), MapKeyHash(0, "Plain"));
}
TEST_F(Maps, IterationOrderFollowsTheHashModel)
{
    EXPECT_EQ(SetMapInitialSize(ctx, 10), 64u) << "answers the old size";
    EXPECT_EQ(MapInitialSize(ctx), 32u) << "clamped";
    EXPECT_EQ(SetMapInitialSize(ctx, 1 << 30), 32u);
    EXPECT_EQ(MapInitialSize(ctx), 262144u);
    SetMapInitialSize(ctx, 32);

    std::vector<std::string> keys;
    std::string list;
    for (int i = 0; i < 40; ++i) {
        keys.push_back(std::string("Key").append(std::to_string(i * 7)));
        list.append(keys.back()).append(",").append(std::to_string(i)).append("\t");
    }
    resultants& made = Call(kid::MapCreate, {Str(list.c_str())});
    ArrayHeader* m = Keep("m", made);
    uint32_t buckets = MapTableOf(m)->bucketCount;
    EXPECT_EQ(buckets, 49u) << "41 items (the closing tab makes one) * 6 / 5";
    std::vector<std::string> model = ModelOrder(keys, buckets);

    resultants& listed = Call(kid::MapKeysGet, {Var("m"), Int(1)});
    ArrayHeader* got = ValueArray(&listed);
    ASSERT_EQ(got->count, model.size());
    for (uint32_t i = 0; i < got->count; ++i) EXPECT_EQ(Show(got->data[i]), model[i]) << i;
    std::string joined;
    for (const std::string& k : model) joined.append(joined.empty() ? "" : "|").append(k);
    EXPECT_EQ(Show(Call(kid::MapKeysGet, {Var("m"), Int(2), Str("|")})), joined);
    Call(kid::MapKeysGet, {Var("m"), Int(3)});
    EXPECT_EQ(ctx->nErrorCode, 1809);
    Call(kid::MapKeysGet, {Var("m"), Int(2), Str("||")});
    EXPECT_EQ(ctx->nErrorCode, 1705);

    // Remove every key, then insert again: a fresh table with the same bucket count.
    for (const std::string& k : keys) ASSERT_EQ(MapRemove(ctx, m, k.c_str()), 1) << k;
    EXPECT_EQ(Show(Call(kid::ArrInfo, {Var("m"), Int(6)})), "0");
    EXPECT_EQ(MapTableOf(m)->buckets, nullptr) << "the storage went with the last key";
    std::vector<std::string> again(keys.rbegin(), keys.rend());
    for (const std::string& k : again) ASSERT_NE(MapInsertCopyKey(ctx, m, k.c_str()), nullptr);
    EXPECT_EQ(Show(Call(kid::ArrInfo, {Var("m"), Int(1)})), "40");
    std::vector<std::string> model2 = ModelOrder(again, buckets);
    resultants& relisted = Call(kid::MapKeysGet, {Var("m"), Int(1)});
    for (uint32_t i = 0; i < model2.size(); ++i) EXPECT_EQ(Show(ValueArray(&relisted)->data[i]), model2[i]) << i;
}

TEST_F(Maps, EntryPoolHoldsAtLeastOneEntryAndReusesRemovedOnes)
{
    resultants made = Int(0);
    ASSERT_EQ(MapAlloc(ctx, 4, &made), 1);  // four buckets: fewer than eight entries a block
    ArrayHeader* m = Keep("m", made);
    MapTable* table = MapTableOf(m);
    EXPECT_EQ(table->blockEntries, 1u);
    for (const char* k : {"one", "two", "three"}) ASSERT_NE(MapInsertCopyKey(ctx, m, k), nullptr);
    void* blocks = table->blocks;
    ASSERT_EQ(MapRemove(ctx, m, "TWO"), 1);
    ArrayElement* v = MapInsertCopyKey(ctx, m, "four");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(table->blocks, blocks) << "the removed entry was taken again";
    v->flags = VF_INT;
    v->i32 = 4;
    EXPECT_EQ(Content(ctx->pVars[find_var(ctx, "m", 0)]), "four=4;one;three");
    EXPECT_EQ(MapKeyHash(0, ""), 0x811C9DC5u);
    EXPECT_EQ(MapKeyHash(0, "ABC"), Fnv1a("abc"));
}

TEST_F(Maps, ValuesListedAsCopiesOrAsWideText)
{
    resultants& made = Call(kid::MapCreate, {Str("a,x\tb\tc,3")});
    ArrayHeader* m = Keep("m", made);
    ArrayElement* number = MapFind(ctx, m, "c");
    FreeValue(ctx, number, 0, VK_ELEMENT);
    number->flags = VF_INT;
    number->i32 = 3;

    resultants& keys = Call(kid::MapKeysGet, {Var("m"), Int(1)});
    resultants& values = Call(kid::MapValuesGet, {Var("m"), Int(1)});
    ASSERT_EQ(ValueArray(&values)->count, 3u);
    std::string pairs;
    for (uint32_t i = 0; i < 3; ++i)
        pairs.append(Show(ValueArray(&keys)->data[i])).append("=").append(Show(ValueArray(&values)->data[i])).append(" ");
    std::vector<std::string> sorted;
    for (uint32_t i = 0; i < 3; ++i)
        sorted.push_back(Show(ValueArray(&keys)->data[i]).append("=").append(Show(ValueArray(&values)->data[i])));
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<std::string>{"a=x", "b=<none>", "c=3"})) << pairs;

    resultants& text = Call(kid::MapValuesGet, {Var("m"), Int(2), Str(",")});
    std::string shown = Show(text);
    EXPECT_TRUE(shown == "<wide:x,3>" || shown == "<wide:3,x>") << shown << " (no item for b)";
}

// A map far larger than its bucket count: the finder beside the chains must find, add and
// remove exactly what the chains hold, keys in any case, and leave the order of the chains
// as the model has it, through growth, removals in the middle of chains and re-insertion.
TEST_F(Maps, LargeMapsFindAddAndRemoveLikeTheirChains)
{
    MakeHeap(16 << 20);
    resultants made = Int(0);
    ASSERT_EQ(MapAlloc(ctx, 64, &made), 1);
    ArrayHeader* m = Keep("m", made);
    const int n = 30000;
    std::vector<std::string> live;     // the model: keys in insertion order (lower case)
    auto key = [](int i) { return std::string("k").append(std::to_string(i)); };
    auto upper = [](std::string s) {
        for (char& c : s) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
        return s;
    };
    for (int i = 0; i < n; ++i) {
        ArrayElement* v = MapInsertCopyKey(ctx, m, key(i).c_str());
        ASSERT_NE(v, nullptr);
        v->flags = VF_INT;
        v->i32 = i;
        live.push_back(key(i));
    }
    EXPECT_EQ(MapCount(m), static_cast<uint64_t>(n));
    // Inserting a key again in another case finds the existing entry.
    for (int i = 0; i < n; i += 97) ASSERT_EQ(MapInsertCopyKey(ctx, m, upper(key(i)).c_str())->i32, i);
    EXPECT_EQ(MapCount(m), static_cast<uint64_t>(n));
    // Remove every third key (upper case), then some that are gone or never were.
    std::vector<std::string> kept;
    for (int i = 0; i < n; ++i) {
        if (i % 3 == 0) ASSERT_EQ(MapRemove(ctx, m, upper(key(i)).c_str()), 1) << i;
        else kept.push_back(key(i));
    }
    EXPECT_EQ(MapRemove(ctx, m, "k0"), 0);
    EXPECT_EQ(MapRemove(ctx, m, "nokey"), 0);
    for (int i = 0; i < n; ++i) {
        ArrayElement* v = MapFind(ctx, m, upper(key(i)).c_str());
        if (i % 3 == 0) ASSERT_EQ(v, nullptr) << i;
        else ASSERT_TRUE(v && v->i32 == i) << i;
    }
    // Re-insert some removed keys: they go to the heads of their chains.
    for (int i = 0; i < n; i += 300) {
        ASSERT_NE(MapInsertCopyKey(ctx, m, key(i).c_str()), nullptr);
        kept.push_back(key(i));
    }
    EXPECT_EQ(Show(Call(kid::ArrInfo, {Var("m"), Int(6)})), std::to_string(kept.size()));
    std::vector<std::string> model = ModelOrder(kept, 64);
    std::vector<std::string> walked;
    for (uintptr_t c = MapCursorStart(m); c;) {
        const char* k = "";
        c = MapIterate(ctx, m, c, &k, nullptr);
        walked.push_back(k);
    }
    EXPECT_EQ(walked, model);
    // The walk by places (hosts and extenders) gives the same order, also when a key is
    // removed and another added between two steps.
    walked.clear();
    for (uint64_t p = MapPositionStart(m); p;) {
        const char* k = "";
        p = MapPositionStep(ctx, m, p, &k, nullptr);
        walked.push_back(k);
    }
    EXPECT_EQ(walked, model);
    {
        // A key that is not the head of its chain: taken out and added again, it becomes
        // the head, and its old place holds the key before it in the chain.
        size_t i = 1;
        while (Fnv1a(model[i]) % 64 != Fnv1a(model[i - 1]) % 64) ++i;
        uint64_t p = MapPositionStart(m);
        const char* k = "";
        for (size_t step = 0; step < i; ++step) p = MapPositionStep(ctx, m, p, &k, nullptr);
        ASSERT_EQ(MapRemove(ctx, m, model[i].c_str()), 1);
        ASSERT_NE(MapInsertCopyKey(ctx, m, model[i].c_str()), nullptr);
        MapPositionStep(ctx, m, p, &k, nullptr);
        EXPECT_EQ(std::string(k), model[i - 1]);
    }
    // A cursor whose entry was removed and taken again by a key of another bucket is not
    // the walk's place any more, however near the two keys lie in the finder: the walk
    // goes on after the cursor's bucket.
    {
        uintptr_t c = MapIterate(ctx, m, MapCursorStart(m), nullptr, nullptr);
        while (MapCursorHash(c) % 64 != 63)   // in the last bucket: every other bucket lies before it
            c = MapIterate(ctx, m, c, nullptr, nullptr);
        const char* held = "";
        MapIterate(ctx, m, c, &held, nullptr);
        const std::string heldKey = held;
        const uint32_t hash = MapCursorHash(c);
        for (int j = 0; j < 200000; ++j) {
            std::string other = "other" + std::to_string(j);
            if (Fnv1a(other) % 64 == hash % 64) continue;
            ASSERT_EQ(MapRemove(ctx, m, heldKey.c_str()), 1);
            ASSERT_NE(MapInsertCopyKey(ctx, m, other.c_str()), nullptr);   // takes the entry back
            // The walk goes on with a later bucket than the cursor's.
            if (uintptr_t r = MapCursorRevalidate(m, c, hash)) {
                const char* at = "";
                MapIterate(ctx, m, r, &at, nullptr);
                ASSERT_GT(Fnv1a(at) % 64, hash % 64) << other;
            }
            ASSERT_EQ(MapRemove(ctx, m, other.c_str()), 1);
            ASSERT_NE(MapInsertCopyKey(ctx, m, heldKey.c_str()), nullptr);
        }
    }
    // Emptied and filled again: a fresh table answers as before.
    for (const std::string& k : kept) ASSERT_EQ(MapRemove(ctx, m, k.c_str()), 1) << k;
    EXPECT_EQ(MapTableOf(m)->buckets, nullptr);
    for (int i = 0; i < 1000; ++i) ASSERT_NE(MapInsertCopyKey(ctx, m, key(i).c_str()), nullptr);
    for (int i = 0; i < 1000; ++i) ASSERT_NE(MapFind(ctx, m, upper(key(i)).c_str()), nullptr) << i;
    EXPECT_EQ(MapFind(ctx, m, "k1000"), nullptr);
}
