// The test host's functions for scripts and its callback: printing from scripts, answers
// of every kind for the engine's host call handling, and the hooks the engine sends.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/core/binding.h"
#include "tests/host/engine_host.h"
#include "tests/host/host_call.h"

namespace kvhost {

namespace {

bool g_hookEcho = false;

// Host function codes: a function's position in the table. Position 1 answers the host's
// version text, as the launcher's function there does (the engine's trace header asks it).
enum : int32_t { HF_PRINT = 0, HF_VERSION = 1, HF_ANSWER = 2, HF_ARGS = 3, HF_CLOCK = 4, HF_PRINTW = 5,
                 HF_DEFINE = 6, HF_FIRST_DEFINED = 7 };
constexpr int kDefinedMax = 8;   // functions hostdefine can add
constexpr char kVersionText[] = "kvhost 2025C";

constexpr KeywordRecord Function(uint32_t position, const char* name, uint64_t signature,
                                 uint32_t required, uint32_t optional)
{
    KeywordRecord r{};
    r.id = position;
    r.type = KT_FUNCTION;
    r.signature = signature;
    r.arity = required | (optional << 8);
    uint16_t n = 0;
    while (name[n]) {
        r.name[n] = name[n];
        ++n;
    }
    r.nameLength = n;
    return r;
}

constexpr KeywordRecord EndOfTable()
{
    KeywordRecord r{};
    r.id = 9999;
    return r;
}

constexpr uint64_t kAnyArgs = ~uint64_t(0);   // every argument as it is (AT_ANY)

// Not const: hostdefine adds functions to it while a script runs, as a host may.
KeywordRecord g_table[] = {
    Function(HF_PRINT, "hostprint", AT_STRING, 1, 0),
    Function(HF_VERSION, "hostversion", 0, 0, 0),
    Function(HF_ANSWER, "hostanswer", AT_STRING | (AT_STRING << 4) | (AT_STRING << 8), 2, 1),
    Function(HF_ARGS, "hostargs", kAnyArgs, 255, 0),
    Function(HF_CLOCK, "hostclock", 0, 0, 0),
    Function(HF_PRINTW, "hostprintw", AT_WSTRING, 1, 0),
    Function(HF_DEFINE, "hostdefine", AT_STRING, 1, 0),
    EndOfTable(), EndOfTable(), EndOfTable(), EndOfTable(), EndOfTable(), EndOfTable(), EndOfTable(),
    EndOfTable(), EndOfTable(),
};
static_assert(sizeof(g_table) / sizeof(g_table[0]) == HF_FIRST_DEFINED + kDefinedMax + 1);

// A notification code may arrive as a 16-bit word.
int32_t NormalizeCode(int32_t code)
{
    if (code >= 0x8000 && code <= 0xFFFF)
        return static_cast<int16_t>(code);
    return code;
}

std::string FormatDouble(double d)
{
    char buf[64];
    snprintf(buf, sizeof buf, "%.17g", d);
    return buf;
}

// The text a record carries, for printing.
std::string TextOf(const HostArg& a)
{
    if ((a.flags & 0x2) && a.str)
        return AnsiToUtf8(a.str);
    if ((a.flags & 0x80) && a.wstr)
        return WideToUtf8(a.wstr);
    if (a.flags & 0x1)
        return std::to_string(a.i32);
    if (a.flags & 0x2000)
        return std::to_string(a.i64);
    if (a.flags & 0x20)
        return FormatDouble(a.dbl);
    return std::string();
}

// The engine's narrow text of argument i (1-based), or "" when absent.
const char* AnsiArg(const HostArg* args, int count, int i)
{
    if (!args || i > count)
        return "";
    const HostArg& a = args[i - 1];
    return (a.flags & 0x2) && a.str ? a.str : "";
}

int32_t Answer(void* answerFunction, void* answerContext, int32_t status, HostArg& record)
{
    auto fn = reinterpret_cast<AnswerFn>(answerFunction);
    if (!fn)
        return status;
    return fn(status, HOST_CALL_INTERFACE_WORD, answerContext, &record);
}

int32_t AnswerInteger(void* fn, void* context, int32_t value)
{
    HostArg r{};
    r.i32 = value;
    r.flags = 0x1;
    return Answer(fn, context, 0, r);
}

int32_t AnswerError(void* fn, void* context, int32_t status, const char* text)
{
    HostArg r{};
    r.str = text;
    r.flags = 0x2;
    return Answer(fn, context, status, r);
}

// hostanswer(kind, value [, status]): answers value as the kind asks, with the status.
int32_t HostAnswer(void* fn, void* context, const HostArg* args, int count)
{
    std::string kind = AnsiArg(args, count, 1);
    const char* value = AnsiArg(args, count, 2);
    int32_t status = count >= 3 ? std::atoi(AnsiArg(args, count, 3)) : 0;
    HostArg r{};
    std::wstring wide;
    if (kind == "int") {
        r.i32 = std::atoi(value);
        r.flags = 0x1;
    } else if (kind == "float") {
        r.dbl = std::strtod(value, nullptr);
        r.flags = 0x20;
    } else if (kind == "text") {
        r.str = value;
        r.flags = 0x2;
    } else if (kind == "wide") {
        wide = AnsiToWide(value);
        r.wstr = wide.c_str();
        r.flags = 0x80;
    } else if (kind == "none") {
        return status;
    } else {
        return AnswerError(fn, context, -3, "kvhost: hostanswer kind must be int, float, text, wide or none");
    }
    return Answer(fn, context, status, r);
}

// hostargs(...): one line per argument with every form it carries; answers the count.
int32_t HostArgs(void* fn, void* context, const HostArg* args, int count)
{
    WriteLine("ARGS " + std::to_string(count));
    for (int i = 0; args && i < count; ++i) {
        const HostArg& a = args[i];
        char head[64];
        snprintf(head, sizeof head, "ARG %d flags=0x%X", i + 1, a.flags);
        std::string line = head;
        if (a.flags & 0x1)
            line += " int=" + std::to_string(a.i32);
        if (a.flags & 0x2000)
            line += " int64=" + std::to_string(a.i64);
        if (a.flags & 0x20)
            line += " float=" + FormatDouble(a.dbl);
        if (a.flags & 0x200)
            line += " vt=" + std::to_string(a.var.vt);
        if (a.flags & 0x100)
            line += a.str ? " array" : " array=null";
        if ((a.flags & 0x2) && !(a.flags & 0x100))
            line += a.str ? " text=\"" + AnsiToUtf8(a.str) + "\"" : " text=null";
        if (a.flags & 0x80)
            line += a.wstr ? " wide=\"" + WideToUtf8(a.wstr) + "\"" : " wide=null";
        WriteLine(line);
    }
    return AnswerInteger(fn, context, count);
}

// hostclock(): milliseconds of the high-resolution counter, with fractions, for benchmarks
// (GetTickCount moves in steps of about 16 ms under Wine).
int32_t HostClock(void* fn, void* context)
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    HostArg r{};
    r.dbl = static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
    r.flags = 0x20;
    return Answer(fn, context, 0, r);
}

// hostdefine(name): adds a function of no arguments named `name` (lower case, at most 30
// characters) to the host table; it answers its own name. Answers 1, or 0 when the table
// is full or the name unfit.
int32_t HostDefine(void* fn, void* context, const HostArg* args, int count)
{
    const char* name = AnsiArg(args, count, 1);
    size_t length = std::strlen(name);
    int at = HF_FIRST_DEFINED;
    while (at < HF_FIRST_DEFINED + kDefinedMax && g_table[at].nameLength != 0)
        ++at;
    if (at == HF_FIRST_DEFINED + kDefinedMax || length == 0 || length > 30)
        return AnswerInteger(fn, context, 0);
    g_table[at] = Function(static_cast<uint32_t>(at), "", 0, 0, 0);
    std::memcpy(g_table[at].name, name, length);
    g_table[at].nameLength = static_cast<uint16_t>(length);
    return AnswerInteger(fn, context, 1);
}

// Errors passed to the host: print the error box's text ("number:  message").
void PrintError(const HostArg* args, int count)
{
    for (int i = 0; args && i < count; ++i) {
        std::string t = TextOf(args[i]);
        size_t digits = 0;
        while (digits < t.size() && t[digits] >= '0' && t[digits] <= '9')
            ++digits;
        if (digits > 0 && digits < t.size() && t[digits] == ':') {
            WriteLine("ERROR " + t);
            return;
        }
    }
    std::string all;
    for (int i = 0; args && i < count; ++i) {
        std::string t = TextOf(args[i]);
        if (t.empty())
            continue;
        if (!all.empty())
            all += " | ";
        all += t;
    }
    WriteLine("ERROR " + all);
}

int32_t Notification(int32_t code, const HostArg* args, int count)
{
    if (code == -7) {
        PrintError(args, count);
        return 0;
    }
    if (g_hookEcho) {
        std::string line = "HOOK " + std::to_string(code);
        for (int i = 0; args && i < count; ++i) {
            line += i ? '|' : ' ';
            line += TextOf(args[i]);
        }
        WriteLine(line);
    }
    return 0;
}

}  // namespace

const KeywordRecord* HostKeywordTable()
{
    return g_table;
}

void SetHookEcho(bool on)
{
    g_hookEcho = on;
}

void WriteLine(const std::string& line)
{
    static HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    std::string text = line + "\n";
    DWORD written;
    WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

int32_t HostCallback(HWND, HINSTANCE, uint32_t, int32_t code, void* answerFunction, void* answerContext,
                     void*, HostArg* args, int32_t count, HostArg*)
{
    code = NormalizeCode(code);
    if (count < 0)
        count = 0;
    if (count > kMaxHostArgs)
        count = kMaxHostArgs;
    if (code < 0)
        return Notification(code, args, count);

    switch (code) {
    case HF_PRINT:
        WriteLine(AnsiToUtf8(AnsiArg(args, count, 1)));
        return AnswerInteger(answerFunction, answerContext, 1);
    case HF_PRINTW:
        if (count >= 1 && args && (args[0].flags & 0x80) && args[0].wstr)
            WriteLine(WideToUtf8(args[0].wstr));
        else
            WriteLine(count >= 1 && args ? TextOf(args[0]) : std::string());
        return AnswerInteger(answerFunction, answerContext, 1);
    case HF_VERSION: {
        HostArg r{};
        r.str = kVersionText;
        r.flags = 0x2;
        return Answer(answerFunction, answerContext, 0, r);
    }
    case HF_ANSWER:
        return HostAnswer(answerFunction, answerContext, args, count);
    case HF_ARGS:
        return HostArgs(answerFunction, answerContext, args, count);
    case HF_CLOCK:
        return HostClock(answerFunction, answerContext);
    case HF_DEFINE:
        return HostDefine(answerFunction, answerContext, args, count);
    default:
        if (code >= HF_FIRST_DEFINED && code < HF_FIRST_DEFINED + kDefinedMax && g_table[code].nameLength) {
            HostArg r{};
            r.str = g_table[code].name;
            r.flags = 0x2;
            return Answer(answerFunction, answerContext, 0, r);
        }
        return AnswerError(answerFunction, answerContext, -3, "kvhost: unknown host request");
    }
}

}  // namespace kvhost
