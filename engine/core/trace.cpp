// The trace file: writing, the statement events with their outcome and error words, the
// end of a run's trace, and the DebugTrace built-in's modes.
#include "engine/core/trace.h"

#include <cstdio>
#include <cstring>

#include "engine/core/builtin.h"
#include "engine/core/errors.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/core/numtext.h"
#include "engine/core/runloop.h"
#include "engine/core/text_bounded.h"
#include "engine/core/tokenizer.h"
#include "engine/core/trace_dumps.h"
#include "engine/files/file_args.h"
#include "engine/system/date_text.h"

namespace {

enum : int {
    MSG_END_OF_JOB = 805,
    MSG_DEBUG_INITIALIZED = 807,
    MSG_VALUE = 808,
    MSG_GOSUB = 822,
    MSG_RETURN_VALUE = 823,
    MSG_EXTENDER_TERMINAL = 830,
    MSG_EXTENDER_SUPPRESSED = 831,
    MSG_ZAL_TERMINAL = 832,
    MSG_ZAL_SUPPRESSED = 833,
    MSG_NORMAL_TERMINATION = 869,
    MSG_ERROR_DUMP_INITIALIZED = 870,
    MSG_CALLING_UDF = 871,
    MSG_RETURNING_FROM_UDF = 872,
    MSG_UDF_TERMINAL = 873,
    MSG_UDF_SUPPRESSED = 874,
    MSG_IN_UDF = 875,
    MSG_LEAVING_UDF = 876,
    MSG_EVENT_TERMINAL = 877,
    MSG_EVENT_SUPPRESSED = 878,
    MSG_CANCEL_HANDLER = 882,
    MSG_ERROR_HANDLER = 883,
    MSG_CALLING_SCRIPT = 884,
    MSG_RETURNING_FROM_SCRIPT = 885,
};

enum : uint16_t {
    ERR_NO_TRACE_FILE = 1771,
    ERR_BAD_REQUEST = 1809,
    ERR_PATH_TOO_LONG = 1433,
    ERR_UNDEFINED = 3052,
};

constexpr size_t TRACE_LINE_CONSIDERED = 2042;   // bytes of a statement line the trace reads

// True and false words of the outcome kinds that have them (0: the kind has its own form).
struct OutcomeWords {
    int yes, no;
};
const OutcomeWords kOutcomeWords[16] = {
    {0, 0},     {809, 810}, {811, 811}, {812, 813}, {814, 814}, {815, 815}, {816, 817}, {818, 819},
    {820, 821}, {0, 0},     {824, 825}, {826, 827}, {828, 829}, {0, 0},     {0, 0},     {889, 890},
};

void Message(BDS* ctx, int id, char* out, size_t size)
{
    LoadMyString(ctx, EngineModule(), id, out, static_cast<int>(size));
}

std::string MessageText(BDS* ctx, int id)
{
    char text[TRACE_TEXT_SIZE];
    Message(ctx, id, text, sizeof text);
    return text;
}

bool IsDebugOutput(const BDS* ctx) { return std::strcmp(ctx->trace.szTraceFile, TRACE_DEBUG_OUTPUT_NAME) == 0; }

const char* RunningUdfName(BDS* ctx)
{
    if (ctx->nUdfRunning == UDF_NONE_RUNNING)
        return nullptr;
    UdfRecord* rec = UdfRecordAt(ctx, ctx->nUdfRunning);
    return rec ? rec->name : nullptr;
}

uint32_t Elapsed(const BDS* ctx) { return GetTickCount() - ctx->trace.nTraceStartTick; }
bool WithTimes(const BDS* ctx) { return !(ctx->eng.ctl.TraceOptions & TRACE_OPT_NO_TIMES); }

// Errors that end a run in the trace's sense: script errors and the codes that stand for
// an error already reported.
bool IsErrorCode(uint32_t code)
{
    return (code != 0 && code < CC_STOP) ||
           (code >= CC_ALREADY_SHOWN && code <= CC_EVENT_SHOWN);
}

// ---------------------------------------------------------------- pieces of an event

// The first event after the trace was switched on: the banner and the header.
void AppendStart(BDS* ctx, TraceText& out, bool errorDump)
{
    DWORD now = GetTickCount();
    ctx->trace.nTraceStartTick = now ? now : 1;
    ctx->trace.nUdfAnnounced = UDF_NONE_RUNNING;
    out.Line();
    out.Repeat('*', 60);
    out.Line();
    out.Line(MessageText(ctx, errorDump ? MSG_ERROR_DUMP_INITIALIZED : MSG_DEBUG_INITIALIZED).c_str());
    WriteTraceHeader(ctx, out);
}

// "--- In UDF (name) ---" once for each function that starts writing events.
void AppendAnnouncement(BDS* ctx, TraceText& out)
{
    const char* name = RunningUdfName(ctx);
    if (!name || ctx->nUdfRunning == ctx->trace.nUdfAnnounced)
        return;
    char line[TRACE_TEXT_SIZE];
    std::snprintf(line, sizeof line, "--- %s (%s) ---", MessageText(ctx, MSG_IN_UDF).c_str(), name);
    out.Line(line);
    if (WithTimes(ctx))     // traces without times compare equal between runs: no date either
        out.Line(TraceDateTime(ctx).c_str());
    out.Line();
    ctx->trace.nUdfAnnounced = ctx->nUdfRunning;
}

void AppendStatementLine(BDS* ctx, TraceText& out, const char* line)
{
    char text[TRACE_LINE_SIZE];
    TraceLineText(line ? line : "", text, sizeof text);
    if (WithTimes(ctx)) {
        char prefix[24];
        std::snprintf(prefix, sizeof prefix, "(%lu) ", static_cast<unsigned long>(Elapsed(ctx)));
        out.Add(prefix);
    }
    out.Line(text);
}

// One statement's event: the announcement, the line, the outcome and the error.
void AppendStatementEvent(BDS* ctx, TraceText& out, const char* line, const resultants* value, uint32_t code,
                          bool terminal, bool announce)
{
    if (announce)
        AppendAnnouncement(ctx, out);
    AppendStatementLine(ctx, out, line);
    char text[TRACE_TEXT_SIZE];
    TraceOutcomeText(ctx, value, text, sizeof text);
    out.Line(text);
    TraceErrorText(ctx, code, terminal, text, sizeof text);
    if (text[0])
        out.Line(text);
}

// The end of a run's trace (kinds 2-4); `code` is what ended it.
void AppendEnd(BDS* ctx, TraceText& out, int kind, uint32_t code, bool warnStructure)
{
    char line[TRACE_TEXT_SIZE];
    if (const char* name = RunningUdfName(ctx)) {
        std::snprintf(line, sizeof line, "--- %s (%s) ---", MessageText(ctx, MSG_LEAVING_UDF).c_str(), name);
        out.Line(line);
        return;
    }
    if (warnStructure)
        out.Line("********** Warning: Structure level not 0 **********");
    if (kind == TRACE_KIND_NORMAL_END || (kind == TRACE_KIND_STOP_END && code == CC_STOP)) {
        std::snprintf(line, sizeof line, "--- %s ---", MessageText(ctx, MSG_NORMAL_TERMINATION).c_str());
        out.Line(line);
    }
    std::snprintf(line, sizeof line, ";;;%s;;;", MessageText(ctx, MSG_END_OF_JOB).c_str());
    out.Line(line);
}

// A run's trace ended: the next event of the context starts a new one, with its header.
void EndOfRunTrace(BDS* ctx)
{
    if (ctx->nUdfRunning == UDF_NONE_RUNNING)
        ctx->trace.nTraceStartTick = 0;
}

// The debugger once more at the end of the main script.
void ShowEndOfJob(BDS* ctx)
{
    if (!ctx->bSingleStep || ctx->nUdfRunning != UDF_NONE_RUNNING)
        return;
    std::snprintf(ctx->trace.szNextStatement, sizeof ctx->trace.szNextStatement, ";;;%s;;;",
                  MessageText(ctx, MSG_END_OF_JOB).c_str());
    uint16_t saved = ctx->nErrorCode;
    OpenDebugDialog(ctx);
    ctx->nErrorCode = saved;
}

// Takes the trace file name of DebugTrace: a full path, or the debugger output as it is.
bool SetTraceFile(BDS* ctx, const char* name)
{
    if (lstrcmpiA(name, TRACE_DEBUG_OUTPUT_NAME) == 0) {
        lstrcpyA(ctx->trace.szTraceFile, TRACE_DEBUG_OUTPUT_NAME);
        return true;
    }
    char full[TRACE_FILE_SIZE];
    DWORD n = GetFullPathNameA(name, sizeof full, full, nullptr);
    if (n == 0 || n >= sizeof full) {
        SetError(ctx, ERR_PATH_TOO_LONG);
        return false;
    }
    lstrcpyA(ctx->trace.szTraceFile, full);
    return true;
}

// Names the file given (when one is), or insists that one is named already.
bool NameTraceFile(BDS* ctx, const char* p2, bool remove)
{
    if (p2[0]) {
        if (!SetTraceFile(ctx, p2))
            return false;
    } else if (!ctx->trace.szTraceFile[0]) {
        SetError(ctx, ERR_NO_TRACE_FILE);
        return false;
    }
    if (remove && !IsDebugOutput(ctx))
        DeleteFileA(ctx->trace.szTraceFile);
    return true;
}

// The full trace starts at once with its banner and header (the statement that switched it
// on is not traced); the trace of errors only starts with its first error.
void SwitchOn(BDS* ctx, uint32_t state)
{
    if (!ctx->trace.nTraceState)
        ctx->trace.nTraceStartTick = 0;
    ctx->trace.nTraceState = state;
    if (!ctx->trace.nTraceStartTick && TraceIsFull(ctx)) {
        TraceText out;
        AppendStart(ctx, out, false);
        TraceFlush(ctx, out);
    }
}

// A comment of modes 3, 4, 203 and 204: an empty line and the text, framed in "$" lines.
void WriteComment(BDS* ctx, const char* text, bool framed)
{
    TraceText out;
    out.Line();
    if (framed)
        out.Repeat('$', 80);
    out.Line(text);
    if (framed)
        out.Repeat('$', 80);
    TraceFlush(ctx, out);
}

void SetOptionBit(BDS* ctx, uint32_t bit, const char* p3)
{
    if (TextToLongA(p3))
        ctx->eng.ctl.TraceOptions |= bit;
    else
        ctx->eng.ctl.TraceOptions &= ~bit;
}

}  // namespace

// ---------------------------------------------------------------- writing

const char* ErrorModeName(uint32_t mode)
{
    switch (mode) {
    case EM_OFF: return "@OFF";
    case EM_CANCEL: return "@CANCEL";
    case EM_NOTIFY: return "@NOTIFY";
    default: return "???";
    }
}

std::string TraceDateTime(BDS* ctx)
{
    resultants now;
    InitResultValue(ctx, &now, VK_RECORD, 0);
    uint16_t saved = ctx->nErrorCode;
    CurrentDateTimeText(ctx, &now, 0);
    std::string text = ValueText(ctx, &now);
    FreeValue(ctx, &now, 0, VK_RECORD);
    ctx->nErrorCode = saved;
    return text;
}

void TraceText::Line(const char* line)
{
    text += line;
    text += "\r\n";
}

void TraceText::Repeat(char c, int count)
{
    text.append(static_cast<size_t>(count), c);
    text += "\r\n";
}

void TraceWrite(HANDLE handle, const char* text, size_t length)
{
    if (handle == TRACE_DEBUG_OUTPUT) {
        std::string piece(text, length);
        OutputDebugStringA(piece.c_str());
        return;
    }
    while (length) {
        DWORD chunk = length > 0x40000000 ? 0x40000000 : static_cast<DWORD>(length);
        DWORD written = 0;
        if (!WriteFile(handle, text, chunk, &written, nullptr) || written == 0)
            return;
        text += written;
        length -= written;
    }
}

void TraceFlush(BDS* ctx, const TraceText& out)
{
    if (out.text.empty() || !ctx->trace.szTraceFile[0])
        return;
    if (IsDebugOutput(ctx)) {
        // The debugger output takes one line at a time.
        size_t start = 0;
        while (start < out.text.size()) {
            size_t end = out.text.find("\r\n", start);
            end = end == std::string::npos ? out.text.size() : end + 2;
            TraceWrite(TRACE_DEBUG_OUTPUT, out.text.data() + start, end - start);
            start = end;
        }
        return;
    }
    UINT mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HANDLE file = CreateFileA(ctx->trace.szTraceFile, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    SetErrorMode(mode);
    if (file == INVALID_HANDLE_VALUE)
        return;
    SetFilePointer(file, 0, nullptr, FILE_END);
    TraceWrite(file, out.text.data(), out.text.size());
    CloseHandle(file);
}

void TraceLineText(const char* line, char* out, size_t size)
{
    if (!size)
        return;
    // The jump is cached in the first five bytes of the statement, after a label.
    size_t statement = 0;
    if (line[0] == ':') {
        while (line[statement] && line[statement] != ' ' && line[statement] != '\t')
            ++statement;
        while (line[statement] == ' ' || line[statement] == '\t')
            ++statement;
    }
    size_t n = 0;
    for (size_t i = 0; line[i] && i < TRACE_LINE_CONSIDERED && n + 1 < size;) {
        auto c = static_cast<uint8_t>(line[i]);
        if (i == statement && (c == 0x9F || c == 0x9E)) {
            bool cached = true;
            for (size_t d = 1; d < 5 && cached; ++d)
                cached = (static_cast<uint8_t>(line[i + d]) & 0xC0) == 0x40;
            if (cached) {
                const char* word = c == 0x9F ? "goto " : "gosub";
                for (size_t k = 0; k < 5 && n + 1 < size; ++k)
                    out[n++] = word[k];
                i += 5;
                continue;
            }
        }
        out[n++] = line[i++];
    }
    // The line end of a text with CR LF lines reaches the line as a blank.
    while (n > 0 && (out[n - 1] == ' ' || out[n - 1] == '\t'))
        --n;
    out[n] = 0;
}

// ---------------------------------------------------------------- outcome and error words

void TraceOutcomeText(BDS* ctx, const resultants* value, char* out, size_t size)
{
    out[0] = 0;
    uint32_t kind = ctx->run.nTraceEvent;
    uint32_t outcome = ctx->run.bTraceOutcome;
    std::string text;
    auto valuePart = [&](int word) {
        text = MessageText(ctx, word);
        char type[TRACE_TEXT_SIZE];
        uint32_t flags = value ? value->flags : 0;
        VarTypeName(ctx, flags, value ? value->var.vt : 0, type, sizeof type);
        text += " ";
        text += type;
        text += " => ";
        if (!value)
            return;
        if (flags & VF_ARRAY) {
            text += "<array>";
            return;
        }
        char shown[TRACE_TEXT_SIZE];
        uint16_t saved = ctx->nErrorCode;
        if (!ValueHeadToText(ctx, value, shown, sizeof shown))
            shown[0] = 0;
        ctx->nErrorCode = saved;
        bool quoted = (flags & (VF_STRING | VF_UNICODE)) && !(flags & (VF_INT | VF_FLOAT | VF_INT64));
        if (quoted)
            text += "\"";
        text += shown;
        if (quoted)
            text += "\"";
    };
    if (kind == TEV_VALUE) {
        valuePart(MSG_VALUE);
    } else if (kind == TEV_GOSUB) {
        if (outcome == TRACE_RETURN) {
            valuePart(MSG_RETURN_VALUE);
        } else {
            text = MessageText(ctx, MSG_GOSUB);
            if (outcome == TRACE_GOSUB_CANCEL || outcome == TRACE_GOSUB_ERROR) {
                text += ' ';
                text += MessageText(ctx, outcome == TRACE_GOSUB_CANCEL ? MSG_CANCEL_HANDLER : MSG_ERROR_HANDLER);
            }
        }
    } else if (kind < 16 && kOutcomeWords[kind].yes) {
        text = MessageText(ctx, outcome ? kOutcomeWords[kind].yes : kOutcomeWords[kind].no);
    }
    CopyStringBoundedA(ctx, out, text.c_str(), size);
}

void TraceErrorText(BDS* ctx, uint32_t code, bool terminal, char* out, size_t size)
{
    out[0] = 0;
    // Plain stops are no errors: the end of the run says what happened.
    if (code == 0 || code == CC_STOP || code == CC_STOP_QUIET)
        return;
    if (code == CC_ALREADY_SHOWN)
        code = ctx->nErrorDetail;
    int word;
    uint32_t number = ctx->nErrorDetail;
    const char* carried = nullptr;     // the text an extender or ErrorEvent left
    bool withText = true;
    switch (code) {
    case 1213: case 2214: case 3215: case CC_EXTENDER_SHOWN:
        word = terminal ? MSG_EXTENDER_TERMINAL : MSG_EXTENDER_SUPPRESSED;
        carried = ctx->host.szLastErrorText;
        break;
    case CC_UDF_REPORTED:
        word = terminal ? MSG_UDF_TERMINAL : MSG_UDF_SUPPRESSED;
        withText = terminal;
        break;
    case 1668: case 2669: case 3670: case CC_EVENT_SHOWN:
        word = terminal ? MSG_EVENT_TERMINAL : MSG_EVENT_SUPPRESSED;
        carried = ctx->eng.ctl.LastUserErrorText;
        break;
    default:
        word = terminal ? MSG_ZAL_TERMINAL : MSG_ZAL_SUPPRESSED;
        number = code;
        break;
    }
    std::string line = MessageText(ctx, word) + std::to_string(number);
    std::string text;
    if (carried)
        text = carried;
    else if (withText)
        text = MessageText(ctx, static_cast<int>(number));
    if (!text.empty())
        line += " (" + text + ")";
    CopyStringBoundedA(ctx, out, line.c_str(), size);
}

// ---------------------------------------------------------------- events

int WriteTraceEvent(BDS* ctx, int kind, int flags)
{
    if (!TraceIsOn(ctx))
        return 1;
    TraceText out;
    bool started = ctx->trace.nTraceStartTick != 0;
    switch (kind) {
    case TRACE_KIND_ERRORMODE: {
        char line[128];
        std::snprintf(line, sizeof line, "********** ErrorMode: %s **********", ErrorModeName(ctx->ErrorMode));
        out.Line();
        out.Line(line);
        out.Line();
        break;
    }
    case TRACE_KIND_MESSAGE:
        out.Line(MessageText(ctx, flags).c_str());
        break;
    case TRACE_KIND_ERROR_DUMP:
        if (!started)
            AppendStart(ctx, out, true);
        break;
    case TRACE_KIND_NORMAL_END: case TRACE_KIND_ERROR_END: case TRACE_KIND_STOP_END:
        if (!started)
            AppendStart(ctx, out, false);
        AppendEnd(ctx, out, kind, ctx->nErrorCode, (flags & TRACE_WARN_STRUCTURE) != 0);
        EndOfRunTrace(ctx);
        break;
    default:    // a statement event of the line being run
        if (!started)
            AppendStart(ctx, out, false);
        AppendStatementEvent(ctx, out, ctx->run.site ? ctx->run.site->line : "", nullptr, ctx->run.nErrorSaved,
                             false, kind != TRACE_KIND_PLAIN);
        break;
    }
    TraceFlush(ctx, out);
    return 1;
}

void TraceAfterStatement(BDS* ctx, RunSite* site, const resultants* value, int r)
{
    bool ends = r == 0 || r == -1;
    uint32_t code = ends ? ctx->nErrorCode : ctx->run.nErrorSaved;
    bool isError = IsErrorCode(code);

    TraceState& t = ctx->trace;
    t.bStepped = 0;
    if (ctx->bSingleStep) {
        // What the debugger shows of this statement before the next one.
        TraceLineText(site->line, t.szTraceLine, sizeof t.szTraceLine);
        TraceOutcomeText(ctx, value, t.szTraceOutcome, sizeof t.szTraceOutcome);
        TraceErrorText(ctx, code, ends, t.szTraceError, sizeof t.szTraceError);
    }

    if (TraceIsOn(ctx)) {
        TraceText out;
        bool started = t.nTraceStartTick != 0;
        if (TraceIsFull(ctx)) {
            if (!started)
                AppendStart(ctx, out, false);    // a new run with the trace still on
            AppendStatementEvent(ctx, out, site->line, value, code, ends, true);
            if (ends) {
                int kind = isError ? TRACE_KIND_ERROR_END : code ? TRACE_KIND_STOP_END : TRACE_KIND_NORMAL_END;
                AppendEnd(ctx, out, kind, code, false);
                TraceFlush(ctx, out);
                if (kind == TRACE_KIND_ERROR_END && code != CC_UDF_REPORTED) {
                    DumpStructureStack(ctx, false);
                    DumpSettingsIni(ctx);
                }
                if (code == ERR_UNDEFINED)
                    DumpFunctionTable(ctx, false);
                EndOfRunTrace(ctx);
            } else {
                TraceFlush(ctx, out);
            }
        } else if (ends && isError) {
            // Errors only: the failing statement as an error dump.
            if (!started)
                AppendStart(ctx, out, true);
            AppendStatementEvent(ctx, out, site->line, value, code, true, true);
            AppendEnd(ctx, out, TRACE_KIND_ERROR_END, code, false);
            TraceFlush(ctx, out);
            if (code != CC_UDF_REPORTED)
                DumpVariableTable(ctx, false);
            EndOfRunTrace(ctx);
        }
    }
    if (ends && (isError || code == 0))
        ShowEndOfJob(ctx);
}

void TraceLoopEnd(BDS* ctx)
{
    if (TraceIsFull(ctx)) {
        bool warn = ctx->nUdfRunning == UDF_NONE_RUNNING && ctx->nStructDepth != 0;
        WriteTraceEvent(ctx, TRACE_KIND_NORMAL_END, warn ? TRACE_WARN_STRUCTURE : 0);
    }
    ShowEndOfJob(ctx);
}

void TraceCallEvent(BDS* ctx, uint32_t callerState, uint32_t kind, bool entering, const char* name)
{
    if (callerState != TRACE_FULL || !ctx->trace.szTraceFile[0] ||
        (ctx->eng.ctl.TraceOptions & TRACE_OPT_ERRORS_ONLY))
        return;
    TraceText out;
    if (!ctx->trace.nTraceStartTick)
        AppendStart(ctx, out, false);
    AppendAnnouncement(ctx, out);
    AppendStatementLine(ctx, out, ctx->run.site ? ctx->run.site->line : "");
    int word = kind == TEV_UDF ? (entering ? MSG_CALLING_UDF : MSG_RETURNING_FROM_UDF)
                               : (entering ? MSG_CALLING_SCRIPT : MSG_RETURNING_FROM_SCRIPT);
    char line[TRACE_TEXT_SIZE];
    std::snprintf(line, sizeof line, "%s (%s)", MessageText(ctx, word).c_str(), name ? name : "");
    out.Line(line);
    TraceFlush(ctx, out);
}

// ---------------------------------------------------------------- DebugTrace

int DoDebugTrace(BDS* ctx, int mode, const char* p2, const char* p3)
{
    TraceState& t = ctx->trace;
    int wasOn = TraceIsOn(ctx) ? 1 : 0;
    p2 = p2 ? p2 : "";
    p3 = p3 ? p3 : "";
    bool forced = t.szTraceFile[0] != 0;    // the dump modes write whenever a file is named
    switch (mode) {
    case -1:
        break;
    case 0:
        t.nTraceState = TRACE_OFF;
        break;
    case 1: case 10: case 2:
        if (!NameTraceFile(ctx, p2, mode == 10))
            return 0;
        SwitchOn(ctx, mode == 2 ? TRACE_ERRORS : TRACE_FULL);
        break;
    case 3: case 4:
        if (wasOn)
            WriteComment(ctx, p2, mode == 4);
        break;
    case 22:
        if (ctx->nUdfDepth == 0 && ctx->nCallLevel == 0 && wasOn)
            t.nTraceState = t.nTraceSavedState;
        break;
    case 100: case 101:
        if (!p2[0]) {
            SetError(ctx, ERR_NO_TRACE_FILE);
            return 0;
        }
        if (!NameTraceFile(ctx, p2, mode == 101))
            return 0;
        break;
    case 102:
        SetOptionBit(ctx, TRACE_OPT_ERRORS_ONLY, p3);
        break;
    case 103:
        SetOptionBit(ctx, TRACE_OPT_KEYWORDS, p3);
        break;
    case 104:
        SetOptionBit(ctx, TRACE_OPT_NO_TIMES, p3);
        break;
    case 200:
        t.nTraceState = TRACE_OFF;
        ctx->eng.ctl.TraceOptions = 0;
        if (!p2[0])
            t.szTraceFile[0] = 0;
        else if (!SetTraceFile(ctx, p2))
            return 0;
        break;
    case 203: case 204:
        if (forced)
            WriteComment(ctx, p2, mode == 204);
        break;
    case 205:
        DumpFunctionTable(ctx, forced);
        break;
    case 206:
        DumpVariableTable(ctx, forced);
        break;
    case 207:
        DumpStructureStack(ctx, forced);
        break;
    case 208:
        if (forced) {
            TraceText out;
            WriteTraceHeader(ctx, out);
            TraceFlush(ctx, out);
        }
        break;
    case 277:
        DumpInternalInfo(ctx, p2, TextToLongA(p3), forced);
        break;
    default:
        SetError(ctx, ERR_BAD_REQUEST);
        return 0;
    }
    return wasOn;
}

namespace {

// DebugTrace(mode [, file [, options]]).
void CaseDebugTrace(BDS* ctx, BuiltinCall& call)
{
    ArgAnsiPath file(ctx, call, 2);     // a folder named outside the code page: its short form
    int answer = DoDebugTrace(ctx, ArgInt(call, 1), file.text(), ArgText(ctx, call, 3));
    SetResultInt(ctx, call.result, answer);
}

const BuiltinRow kRows[] = {
    {389, CaseDebugTrace},
};

}  // namespace

extern const BuiltinFamily g_TraceBuiltins = {"trace", kRows, static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
