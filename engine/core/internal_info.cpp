// The engine's internal counters (IntControl 77 and the trace's internal-info dump): memory
// of the string heap, variables, files, binary buffers, extenders, COM objects, the
// structure stack, calls, user-defined functions and DDE conversations, and the lists of
// the keyword tables.
#include <cstdio>
#include <string>
#include <vector>

#include "engine/core/errors.h"
#include "engine/core/heap.h"
#include "engine/core/neighbour_services.h"
#include "engine/core/numtext.h"
#include "engine/core/runloop.h"
#include "engine/core/trace.h"
#include "engine/core/trace_dumps.h"
#include "engine/native/addon_keywords.h"

namespace {

constexpr int64_t UNKNOWN_CODE = -999;
constexpr uint16_t ERR_BAD_REQUEST = 1622;
constexpr uint16_t ERR_NO_HEAP = 3096;

// The text line of each code; a list code's line is its heading.
struct InfoLine {
    int32_t code;
    const char* format;
    bool list;
};
const InfoLine kLines[] = {
    {0, "Total memory allocated for strings, in bytes: %ld\r\n", false},
    {10, "Number of variables assigned: %ld\r\n", false},
    {11, "Number of variable slots available: %ld\r\n", false},
    {12, "List of variables assigned:\r\n", true},
    {20, "Number of files open: %ld\r\n", false},
    {21, "Number of file slots available: %ld\r\n", false},
    {30, "Number of binary buffers open: %ld\r\n", false},
    {31, "Number of binary buffer slots available: %ld\r\n", false},
    {40, "Number of extenders loaded: %ld\r\n", false},
    {41, "Number of extender slots available: %ld\r\n", false},
    {42, "List of extenders loaded:\r\n", true},
    {50, "Number of extender functions loaded: %ld\r\n", false},
    {51, "Number of extender function slots available: %ld\r\n", false},
    {60, "Number of OLE objects open: %ld\r\n", false},
    {61, "Number of OLE object slots available: %ld\r\n", false},
    {62, "List of OLE objects:\r\n", true},
    {63, "Reference count of specified OLE object: %ld\r\n", false},
    {70, "Current structure depth: %ld\r\n", false},
    {71, "Current structure slots remaining: %ld\r\n", false},
    {72, "List of structure stack info:\r\n", true},
    {80, "Current Call level depth: %ld\r\n", false},
    {90, "Number of UDF's defined: %ld\r\n", false},
    {91, "Number of UDF slots available: %ld\r\n", false},
    {100, "List of ZAL function table entries:\r\n", true},
    {101, "List of parent application function table entries:\r\n", true},
    {102, "List of loaded extender function table entries:\r\n", true},
    {103, "List of UDF's:\r\n", true},
    {110, "Number of DDE conversations open: %ld\r\n", false},
    {111, "Number of DDE conversations available: %ld\r\n", false},
};

// The codes of the internal-info dump without an item, in their order.
const int32_t kDumpCodes[] = {0, 10, 11, 20, 21, 30, 31, 40, 41, 50, 51, 60, 70, 71, 80, 90, 91, 110, 111};

const InfoLine* FindLine(int32_t code)
{
    for (const InfoLine& line : kLines)
        if (line.code == code)
            return &line;
    return nullptr;
}

uint32_t VariablesAssigned(const BDS* ctx)
{
    uint32_t n = 0;
    for (uint32_t i = 1; i < ctx->nVarUsed; ++i)
        if (ctx->pVars[i].flags & VF_HAS_VALUE)
            ++n;
    return n;
}

uint32_t CurrentCapacity(const BDS* ctx)
{
    if (ctx->nScopeCurrent && ctx->nScopeCurrent < MAX_SCOPES)
        return ctx->aScopes[ctx->nScopeCurrent].capacity;
    return ctx->nVarCapacity;
}

// Slots of a table in use: those whose handle field is set.
template <typename Slot, size_t N, typename Handle>
int32_t SlotsInUse(const Slot (&slots)[N], Handle Slot::*handle)
{
    int32_t n = 0;
    for (const Slot& slot : slots)
        if (slot.*handle)
            ++n;
    return n;
}

int32_t OpenFiles(const BDS* ctx) { return SlotsInUse(ctx->files.slots, &FileSlot::handle); }
int32_t OpenBuffers(const BDS* ctx) { return SlotsInUse(ctx->data.buffers, &BinaryBufferSlot::hMem); }

uint32_t AddonEntriesUsed(const BDS* ctx) { return ctx->nNextExtEntry < ADDON_COUNT ? ctx->nNextExtEntry : ADDON_COUNT; }

// A keyword table entry as a list item; the fields are separated by a blank in the text
// form and by the byte 0xFF in the value form.
std::string KeywordItem(const KeywordRecord& k, bool asText)
{
    char sep = asText ? ' ' : static_cast<char>(0xFF);
    char item[128];
    std::snprintf(item, sizeof item, "%u%c%u%c%08lX%08lX%c%lX%c%u%c%s", k.id, sep, k.type, sep,
                  static_cast<unsigned long>(k.signature >> 32), static_cast<unsigned long>(k.signature & 0xFFFFFFFF),
                  sep, static_cast<unsigned long>(k.arity), sep, k.nameLength, sep, k.name);
    return item;
}

void ListItems(BDS* ctx, int32_t code, bool asText, std::vector<std::string>& items)
{
    char text[TRACE_LINE_SIZE];
    switch (code) {
    case 12:
        for (uint32_t i = 1; i < ctx->nVarUsed; ++i)
            if (ctx->pVars[i].flags & VF_HAS_VALUE)
                items.emplace_back(ctx->pVars[i].name);
        break;
    case 42:
        for (int i = 0; ExtenderFileName(ctx, i, text, sizeof text); ++i)
            items.emplace_back(text);
        break;
    case 62:
        for (int i = 0; ComObjectText(ctx, i, text, sizeof text); ++i)
            items.emplace_back(text);
        break;
    case 72:
        for (uint32_t i = 0; i < ctx->nStructDepth && i < MAX_STRUCT_FRAMES; ++i) {
            FormatStackEntry(ctx, i, ctx->aStructFrames[i], text, sizeof text, false, nullptr);
            items.emplace_back(text);
        }
        break;
    case 100:
        for (uint32_t i = 0; i < NKEYTOKENS; ++i)
            items.push_back(KeywordItem(g_KeywordTable[i], asText));
        break;
    case 101:
        for (const KeywordRecord* k = ctx->pHostKeywords; k && k->id != 9999 && k->nameLength; ++k)
            items.push_back(KeywordItem(*k, asText));
        break;
    case 102:
        if (const KeywordRecord* rows = AddonRows(ctx))
            for (uint32_t i = 0; i < AddonEntriesUsed(ctx); ++i)
                if (rows[i].nameLength)
                    items.push_back(KeywordItem(rows[i], asText));
        break;
    case 103:
        for (uint32_t i = 0; i < ctx->nUdfCount; ++i)
            if (UdfRecord* rec = UdfRecordAt(ctx, i))
                items.emplace_back(rec->name);
        break;
    default:
        break;
    }
}

int64_t CounterValue(BDS* ctx, int32_t code, int32_t parameter)
{
    switch (code) {
    case 0: return static_cast<int64_t>(HeapBytesInUse(ctx));
    case 10: return VariablesAssigned(ctx);
    case 11: {
        int64_t slots = static_cast<int64_t>(CurrentCapacity(ctx)) - 1 - VariablesAssigned(ctx);
        return slots > 0 ? slots : 0;
    }
    case 20: return OpenFiles(ctx);
    case 21: return MAX_OPEN_FILES - OpenFiles(ctx);
    case 30: return OpenBuffers(ctx);
    case 31: return MAX_BINARY_BUFFERS - OpenBuffers(ctx);
    case 40: return ExtendersLoaded(ctx);
    case 41: return EXTENDER_SLOTS - ExtendersLoaded(ctx);
    case 50: return AddonEntriesUsed(ctx);
    case 51: return ADDON_COUNT - AddonEntriesUsed(ctx);
    case 60: return ComObjectsOpen(ctx);
    case 61: return ComObjectSlotsFree(ctx);
    case 63: return ComObjectReferenceCount(ctx, parameter);
    case 70: return ctx->nStructDepth;
    case 71: return MAX_STRUCT_FRAMES - static_cast<int64_t>(ctx->nStructDepth);
    case 80: return ctx->nCallLevel;
    case 90: return ctx->nUdfCount;
    case 91: return MAX_UDFS - static_cast<int64_t>(ctx->nUdfCount);
    case 110: return DdeConversationsOpen(ctx);
    case 111: return DDE_CONVERSATION_SLOTS - DdeConversationsOpen(ctx);
    default: return 0;
    }
}

bool StoreText(BDS* ctx, resultants* out, const std::string& text)
{
    if (SetResultText(ctx, out, text.c_str(), text.size()))
        return true;
    SetError(ctx, ERR_NO_HEAP);
    return false;
}

}  // namespace

bool InternalInfoIsList(int32_t code)
{
    const InfoLine* line = FindLine(code);
    return line && line->list;
}

int64_t InternalInfo(BDS* ctx, resultants* out, int32_t code, int32_t parameter, bool asText)
{
    const InfoLine* line = FindLine(code);
    if (!line) {
        if (asText)
            return UNKNOWN_CODE;
        SetError(ctx, ERR_BAD_REQUEST);
        return 0;
    }
    if (line->list) {
        std::vector<std::string> items;
        ListItems(ctx, code, asText, items);
        std::string text;
        if (asText) {
            text = line->format;
            text += "\r\n";
            for (const std::string& item : items)
                text += item + "\r\n";
        } else {
            for (size_t i = 0; i < items.size(); ++i)
                text += (i ? "\t" : "") + items[i];
        }
        return StoreText(ctx, out, text) ? 1 : 0;
    }
    int64_t value = CounterValue(ctx, code, parameter);
    if (asText) {
        char text[160];
        std::snprintf(text, sizeof text, line->format, static_cast<long>(value));
        if (!StoreText(ctx, out, text))
            return 0;
    }
    return value;
}

int64_t DumpInternalItem(BDS* ctx, TraceText& out, int32_t code, int32_t parameter)
{
    resultants text;
    InitResultValue(ctx, &text, VK_RECORD, 0);
    uint16_t saved = ctx->nErrorCode;
    int64_t count = InternalInfo(ctx, &text, code, parameter, true);
    if (count != UNKNOWN_CODE && !ctx->nErrorCode)
        out.Add(ValueText(ctx, &text));
    FreeValue(ctx, &text, 0, VK_RECORD);
    ctx->nErrorCode = saved;
    return count;
}

int DumpInternalInfo(BDS* ctx, const char* item, int32_t parameter, bool forced)
{
    if (forced ? !ctx->trace.szTraceFile[0] : !TraceIsOn(ctx))
        return 0;
    TraceText out;
    out.Line("---------- Begin internal info dump -----------");
    if (!item || !item[0]) {
        for (int32_t code : kDumpCodes)
            DumpInternalItem(ctx, out, code, parameter);
    } else {
        int64_t code = 0;
        bool number = ParseIntegerTextA(item, &code) && code >= 0 && code <= 111;
        if (!number || DumpInternalItem(ctx, out, static_cast<int32_t>(code), parameter) == UNKNOWN_CODE) {
            char line[TRACE_TEXT_SIZE];
            std::snprintf(line, sizeof line, "Invalid param: %.1200s", item);
            out.Line(line);
        }
    }
    out.Line("----------- End internal info dump ------------");
    out.Line();
    TraceFlush(ctx, out);
    return 1;
}
