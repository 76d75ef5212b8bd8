// The parsers behind the program-file lookup of a window: the registry's counter-name list
// and the performance data of the "Process" object, including data cut short anywhere.
#include <gtest/gtest.h>
#include <windows.h>
#include <winperf.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/ui/window_info.h"
#include "tests/unit/engine_dll.h"

namespace {

// ---------------------------------------------------------------- the counter-name list

std::vector<char> CounterList(std::initializer_list<const char*> texts)
{
    std::vector<char> list;
    for (const char* t : texts)
        list.insert(list.end(), t, t + std::strlen(t) + 1);
    list.push_back(0);
    return list;
}

TEST(CounterNames, IndexIsFoundByTheExactName)
{
    std::vector<char> list = CounterList({"1", "1847", "230", "Process", "784", "ID Process", "6", "% Time"});
    struct Case {
        const char* name;
        int found;
        const char* index;
    };
    for (const Case& c : {Case{"Process", 1, "230"}, Case{"ID Process", 1, "784"}, Case{"% Time", 1, "6"},
                          Case{"process", 0, ""}, Case{"Proc", 0, ""}, Case{"1847", 1, "1"}}) {
        char out[16] = "?";
        EXPECT_EQ(CounterIndexFromList(list.data(), list.size(), c.name, out, sizeof out), c.found) << c.name;
        EXPECT_STREQ(out, c.index) << c.name;
    }
    char small[3];
    EXPECT_EQ(CounterIndexFromList(list.data(), list.size(), "ID Process", small, sizeof small), 1);
    EXPECT_STREQ(small, "78");
}

TEST(CounterNames, ListCutShortIsReadNoFurther)
{
    std::vector<char> list = CounterList({"230", "Process", "784", "ID Process"});
    for (size_t bytes = 0; bytes < list.size(); ++bytes) {
        std::vector<char> cut(list.begin(), list.begin() + static_cast<long>(bytes));
        char out[16];
        int found = CounterIndexFromList(cut.data(), cut.size(), "ID Process", out, sizeof out);
        EXPECT_EQ(found, bytes >= 26 ? 1 : 0) << bytes;   // "ID Process" is whole from 26 bytes on
    }
}

// ---------------------------------------------------------------- performance data

constexpr uint32_t PROCESS_OBJECT = 230;
constexpr uint32_t ID_COUNTER = 784;

// A block of performance data: a first object of another kind, then the process object
// with two counters (the id second, at offset 16 of each counter block) and one instance
// per (name, pid).
std::vector<uint8_t> PerfData(const std::vector<std::pair<std::wstring, uint32_t>>& processes)
{
    std::vector<uint8_t> data;
    auto put = [&](const void* p, size_t n) {
        size_t at = data.size();
        data.insert(data.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
        return at;
    };
    auto patch = [&](size_t at, const void* p, size_t n) { std::memcpy(&data[at], p, n); };

    PERF_DATA_BLOCK head{};
    std::memcpy(head.Signature, L"PERF", 8);
    head.HeaderLength = sizeof head;
    head.NumObjectTypes = 2;
    put(&head, sizeof head);

    PERF_OBJECT_TYPE other{};
    other.TotalByteLength = sizeof other;
    other.DefinitionLength = sizeof other;
    other.HeaderLength = sizeof other;
    other.ObjectNameTitleIndex = 2;
    put(&other, sizeof other);

    size_t objectAt = data.size();
    PERF_OBJECT_TYPE object{};
    object.HeaderLength = sizeof object;
    object.ObjectNameTitleIndex = PROCESS_OBJECT;
    object.NumCounters = 2;
    object.NumInstances = static_cast<LONG>(processes.size());
    put(&object, sizeof object);
    PERF_COUNTER_DEFINITION counters[2]{};
    counters[0].ByteLength = sizeof counters[0];
    counters[0].CounterNameTitleIndex = 6;
    counters[0].CounterOffset = 8;
    counters[1].ByteLength = sizeof counters[1];
    counters[1].CounterNameTitleIndex = ID_COUNTER;
    counters[1].CounterOffset = 16;
    put(counters, sizeof counters);
    object.DefinitionLength = static_cast<DWORD>(data.size() - objectAt);

    for (const auto& [name, pid] : processes) {
        PERF_INSTANCE_DEFINITION instance{};
        instance.NameOffset = sizeof instance;
        instance.NameLength = static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t));
        instance.ByteLength = (sizeof instance + instance.NameLength + 7) & ~7u;
        size_t at = put(&instance, sizeof instance);
        put(name.c_str(), instance.NameLength);
        data.resize(at + instance.ByteLength);
        uint8_t block[24] = {};
        PERF_COUNTER_BLOCK counterBlock{sizeof block};
        std::memcpy(block, &counterBlock, sizeof counterBlock);
        uint32_t other = 99;
        std::memcpy(block + 8, &other, 4);
        std::memcpy(block + 16, &pid, 4);
        put(block, sizeof block);
    }
    object.TotalByteLength = static_cast<DWORD>(data.size() - objectAt);
    patch(objectAt, &object, sizeof object);
    head.TotalByteLength = static_cast<DWORD>(data.size());
    patch(0, &head, sizeof head);
    return data;
}

std::wstring NameOf(const std::vector<uint8_t>& data, uint32_t pid, size_t size = MAX_PATH)
{
    std::vector<wchar_t> out(size, L'?');
    if (!ProcessNameFromPerfData(data.data(), data.size(), PROCESS_OBJECT, ID_COUNTER, pid, out.data(), size))
        return L"<none>";
    return out.data();
}

TEST(PerformanceData, ProcessIsNamedByItsIdCounter)
{
    std::vector<uint8_t> data = PerfData({{L"explorer", 12}, {L"ntvdm", 99}, {L"notepad", 34}});
    EXPECT_EQ(NameOf(data, 12), L"explorer");
    EXPECT_EQ(NameOf(data, 34), L"notepad");
    EXPECT_EQ(NameOf(data, 99), L"ntvdm");   // not the other counter's value 99 of every block
    EXPECT_EQ(NameOf(data, 56), L"<none>");
    EXPECT_EQ(NameOf(data, 34, 4), L"not");
    wchar_t out[8];
    EXPECT_FALSE(ProcessNameFromPerfData(data.data(), data.size(), 231, ID_COUNTER, 12, out, 8));
    EXPECT_FALSE(ProcessNameFromPerfData(data.data(), data.size(), PROCESS_OBJECT, 785, 12, out, 8));
}

TEST(PerformanceData, DataCutShortNeverReadsBeyondItsEnd)
{
    std::vector<uint8_t> whole = PerfData({{L"explorer", 12}, {L"notepad", 34}});
    for (size_t bytes = 0; bytes < whole.size(); ++bytes) {
        // A copy of exactly `bytes` bytes, so that a read past the end is a read past the
        // allocation.
        std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<long>(bytes));
        std::wstring name = NameOf(cut, 34);
        EXPECT_TRUE(name == L"<none>" || name == L"notepad") << bytes;
    }
    EXPECT_EQ(NameOf(whole, 34), L"notepad");
}

// ---------------------------------------------------------------- exports

// Extenders hand the enumeration callbacks to EnumWindows by name.
class WindowCallbackExportTest : public kvtest::EngineDllTest {};

TEST_F(WindowCallbackExportTest, EnumerationCallbacksAreExportedByName)
{
    for (const char* name : {"WinEnumFuncx", "WinEnumDaChild", "WinEnumItem", "WinEnumItemAndId", "WinEnumFromProcId",
                             "WinEnumXXXIcon", "WinEnumClose", "WinEnumChildClasses"})
        EXPECT_NE(GetProcAddress(dll().Module(), name), nullptr) << name;
    auto repaint = reinterpret_cast<WNDENUMPROC>(GetProcAddress(dll().Module(), "WinEnumXXXIcon"));
    ASSERT_NE(repaint, nullptr);
    EXPECT_TRUE(EnumWindows(repaint, 0));   // visits every window to the end
}

}  // namespace
