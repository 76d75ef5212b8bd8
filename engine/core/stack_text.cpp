// The structure stack as text (the trace's dump, the traceback list, DLLServices request 52
// and IntControl 77), and the display names of value types.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/core/host_service_needs.h"
#include "engine/core/runloop.h"
#include "engine/core/statement.h"
#include "engine/core/text_bounded.h"
#include "engine/core/text_length.h"
#include "engine/core/trace.h"
#include "engine/core/trace_dumps.h"

namespace {

constexpr size_t KIND_CHARS = 14;
constexpr size_t LINE_TEXT_BYTES = 255;

void FrameKindWord(const StructFrame& frame, char* out, size_t size)
{
    const char* word = "<unknown>";
    char name[KIND_CHARS + 1];
    if (frame.kind < 1000 && frame.kind < NKEYTOKENS) {
        lstrcpynA(name, g_KeywordTable[frame.kind].name, sizeof name);
        word = name;
    } else {
        switch (frame.kind) {
        case SF_IF: word = "if"; break;
        case SF_IF_ELSE: word = "else"; break;
        case SF_GOSUB_FALSE: case SF_GOSUB_TRUE: case SF_GOSUB_NONE: word = "gosub"; break;
        case SF_UDF_CALL:
            switch (frame.callKind) {
            case 0: word = "<udf>"; break;
            case 1: word = "<dlg_callback>"; break;
            case 2: word = "<err_handler>"; break;
            case 3: word = "<com_event>"; break;
            default: word = "<callback>"; break;
            }
            break;
        default: break;
        }
    }
    lstrcpynA(out, word, static_cast<int>(size));
}

void SetColumn(HWND listView, int row, int column, const char* text)
{
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text);
    SendMessageA(listView, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

}  // namespace

const char* PathNameAndExtension(const char* path)
{
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/' || *p == ':')
            name = p + 1;
    return name;
}

void ShortStackLineText(const char* text, char* out, size_t size)
{
    if (TextLength(text) > 32)
        std::snprintf(out, size, "%.29s...", text);
    else
        lstrcpynA(out, text, static_cast<int>(size));
}

void InsertStackRow(HWND listView, const char* const cells[STACK_ROW_CELLS])
{
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(SendMessageA(listView, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = const_cast<char*>(cells[0]);
    int row = static_cast<int>(SendMessageA(listView, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0)
        return;
    for (int column = 1; column < STACK_ROW_CELLS; ++column)
        SetColumn(listView, row, column, cells[column]);
}

void FormatStackEntry(BDS* ctx, uint32_t index, const StructFrame& frame, char* out, size_t size, bool padded,
                      HWND listView)
{
    char kind[KIND_CHARS + 1];
    FrameKindWord(frame, kind, sizeof kind);

    ScriptLocation where{};
    char raw[LINE_TEXT_BYTES + 1] = "";
    char text[LINE_TEXT_BYTES + 1] = "";
    uint32_t line = 0;
    if (frame.script) {
        // The frame's text is unscrambled with the key of the function it ran in.
        uint16_t running = ctx->nUdfRunning;
        ctx->nUdfRunning = frame.udfRunning;
        LocateScriptLine(ctx, frame.script, frame.linePos, &where, raw, sizeof raw);
        ctx->nUdfRunning = running;
        line = where.line;
        const char* start = raw;
        while (*start == ' ' || *start == '\t')
            ++start;
        TraceLineText(start, text, sizeof text);
    } else {
        lstrcpynA(where.file, ctx->szSourceFile, sizeof where.file);
    }

    if (!padded) {
        std::snprintf(out, size, "%u\t%s\t%lu\t%s\t%s", index + 1, kind, static_cast<unsigned long>(line), text,
                      where.file);
        return;
    }
    char shortText[40];
    ShortStackLineText(text, shortText, sizeof shortText);
    const char* file = PathNameAndExtension(where.file);
    if (!listView) {
        std::snprintf(out, size, "%3u %-14s %6lu %-32s %s", index + 1, kind, static_cast<unsigned long>(line),
                      shortText, file);
        return;
    }
    char number[8], kindCell[24], lineCell[24], textCell[48];
    std::snprintf(number, sizeof number, "%3u", index + 1);
    std::snprintf(kindCell, sizeof kindCell, "%-14s", kind);
    std::snprintf(lineCell, sizeof lineCell, "%6lu", static_cast<unsigned long>(line));
    std::snprintf(textCell, sizeof textCell, "%-32s", shortText);
    const char* cells[STACK_ROW_CELLS] = {number, kindCell, lineCell, textCell, file};
    InsertStackRow(listView, cells);
    if (out && size)
        out[0] = 0;
}

int StructureStackText(BDS* ctx, resultants* out, bool padded, bool crlf)
{
    std::string text;
    char line[TRACE_LINE_SIZE];
    uint32_t depth = ctx->nStructDepth < MAX_STRUCT_FRAMES ? ctx->nStructDepth : MAX_STRUCT_FRAMES;
    for (uint32_t i = 0; i < depth; ++i) {
        if (i)
            text += crlf ? "\r\n" : "\n";
        FormatStackEntry(ctx, i, ctx->aStructFrames[i], line, sizeof line, padded, nullptr);
        text += line;
    }
    uint16_t saved = ctx->nErrorCode;
    if (!SetResultText(ctx, out, text.c_str(), text.size()))
        return 0;       // 3096 stays
    ctx->nErrorCode = saved;
    return static_cast<int>(depth);
}

void VarTypeName(BDS* ctx, uint32_t flags, VARTYPE variantType, char* out, size_t size)
{
    if (flags == 0) {
        lstrcpynA(out, "UNDEFINED", static_cast<int>(size));
        return;
    }
    if (flags == VF_UNINIT) {
        lstrcpynA(out, "UNINITIALIZED", static_cast<int>(size));
        return;
    }
    std::string name;
    auto part = [&](const char* word) {
        name += word;
        name += "/";
    };
    bool integer = flags & VF_INT;
    if (integer && !(flags & (VF_FILE | VF_BINBUF)))
        part("INT");
    if (flags & VF_INT64)
        part("INT64");
    if (flags & VF_STRING)
        part("STRING");
    if (integer && (flags & VF_FILE))
        part("FILE");
    if (flags & VF_FLOAT)
        part("FLOAT");
    if (integer && (flags & VF_BINBUF))
        part("BINBUF");
    if (flags & VF_ARRAY)
        part("ARRAY");
    if ((flags & (VF_VARIANT | VF_COMOBJ)) == (VF_VARIANT | VF_COMOBJ)) {
        part("COMOBJ");
    } else if (flags & VF_VARIANT) {
        char vt[64];
        VtTypeName(ctx, variantType, vt, sizeof vt);
        name += "VARIANT_";
        part(vt);
    }
    if (flags & VF_UNICODE)
        part("UNICODE");
    if (flags & VF_COMTEMP)
        part("COMTEMP");
    if (name.empty())
        name = "UNKNOWN/";
    name.pop_back();
    lstrcpynA(out, name.c_str(), static_cast<int>(size));
}
