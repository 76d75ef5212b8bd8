// A stand-in engine library for testing the test host and the script-test runner on their
// own: it exports the set-up, run and host-service entries by ordinal, checks what the
// host hands it, and runs a tiny line language that drives the host's callback:
//   print <text>            call the host's "hostprint" with the text
//   call <name>|<a1>|<a2>   call a host function by name with text arguments
//   answer                  print the last answer: status, flags and value
//   error <n> <message>     report error n (error hook; a box unless quiet); the run stops
//   hook <code> <t1>|<t2>   send a notification with a negative code
//   params | path | cwd     print the parameter line, the program path, the directory
//   write <file> <text>     create a file;   read <file>   print its first line
//   box <title>             a message box; prints "box answered <n>"
//   stop                    end the run as stopped
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/binding.h"
#include "engine/core/keyword.h"
#include "tests/host/host_call.h"

using kvhost::HostArg;

namespace {

constexpr uint32_t kMagic = 0x46414B45;
constexpr uint32_t kEntrySize = 96;

struct FakeContext {
    uint32_t magic;
    uint32_t capacity;
    HGLOBAL varTable;
    char* heapBase;
    uint64_t committed;
    EngineBinding* binding;
    uint32_t hookFlags;
    uint32_t quiet;
    uint32_t runResult;
    uint32_t lastError;
    char product[20];
    char path[260];
    wchar_t params[1024];
    // the last answer
    int32_t answerStatus;
    uint32_t answerFlags;
    int32_t answerInt;
    double answerFloat;
    char answerText[512];
};

using Callback = int32_t (*)(HWND, HINSTANCE, uint32_t, int32_t, void*, void*, void*, HostArg*, int32_t, HostArg*);

struct Run {
    FakeContext* ctx;
    HWND window;
    Callback callback;
    const KeywordRecord* table;
};

std::string ToAnsi(const wchar_t* text)
{
    char buf[2048];
    int n = WideCharToMultiByte(CP_ACP, 0, text, -1, buf, sizeof buf, nullptr, nullptr);
    return n > 0 ? std::string(buf, n - 1) : std::string();
}

extern "C" int32_t FakeAnswer(int32_t status, uint64_t, void* context, HostArg* r)
{
    auto* ctx = static_cast<FakeContext*>(context);
    ctx->answerStatus = status;
    ctx->answerFlags = r->flags;
    ctx->answerInt = r->i32;
    ctx->answerFloat = r->dbl;
    ctx->answerText[0] = 0;
    if ((r->flags & 0x2) && r->str)
        snprintf(ctx->answerText, sizeof ctx->answerText, "%s", r->str);
    else if ((r->flags & 0x80) && r->wstr)
        snprintf(ctx->answerText, sizeof ctx->answerText, "%s", ToAnsi(r->wstr).c_str());
    return status;
}

int32_t CallHost(Run& run, int32_t code, const std::vector<std::string>& texts)
{
    HostArg args[kvhost::kMaxHostArgs] = {};
    int count = 0;
    for (const auto& t : texts) {
        if (count == kvhost::kMaxHostArgs)
            break;
        args[count].str = t.c_str();
        args[count].flags = 0x2;
        ++count;
    }
    HostArg scratch{};
    return run.callback(run.window, GetModuleHandleW(nullptr), HOST_CALL_INTERFACE_WORD, code,
                        reinterpret_cast<void*>(&FakeAnswer), run.ctx, nullptr, args, count, &scratch);
}

// The host table position of a name, as the engine numbers host functions.
int FindHostFunction(const Run& run, const std::string& name)
{
    for (int i = 0; run.table && run.table[i].nameLength; ++i)
        if (name == std::string(run.table[i].name, run.table[i].nameLength))
            return i;
    return -1;
}

void Print(Run& run, const std::string& text)
{
    int f = FindHostFunction(run, "hostprint");
    if (f >= 0)
        CallHost(run, f, {text});
}

std::vector<std::string> Split(const std::string& text, char sep)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t at = text.find(sep, start);
        parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos)
            return parts;
        start = at + 1;
    }
}

// One line; false ends the run (as stopped).
bool RunLine(Run& run, const std::string& line, int lineNumber)
{
    size_t space = line.find(' ');
    std::string word = line.substr(0, space), rest = space == std::string::npos ? "" : line.substr(space + 1);
    FakeContext* ctx = run.ctx;
    if (word.empty() || word[0] == ';')
        return true;
    if (word == "print") {
        Print(run, rest);
    } else if (word == "call") {
        std::vector<std::string> parts = Split(rest, '|');
        int f = FindHostFunction(run, parts[0]);
        if (f < 0) {
            Print(run, "no host function " + parts[0]);
            return true;
        }
        parts.erase(parts.begin());
        ctx->answerFlags = 0;
        ctx->answerInt = 0;
        ctx->answerFloat = 0;
        ctx->answerText[0] = 0;
        ctx->answerStatus = CallHost(run, f, parts);
    } else if (word == "answer") {
        char buf[700];
        snprintf(buf, sizeof buf, "status=%d flags=0x%X int=%d float=%g text=%s", ctx->answerStatus,
                 ctx->answerFlags, ctx->answerInt, ctx->answerFloat, ctx->answerText);
        Print(run, buf);
    } else if (word == "error") {
        std::string number = rest.substr(0, rest.find(' '));
        std::string message = rest.substr(rest.find(' ') + 1);
        ctx->lastError = static_cast<uint32_t>(atoi(number.c_str()));
        if (ctx->hookFlags & 32)
            CallHost(run, -7, {number, number + ":  " + message, ctx->path, std::to_string(lineNumber), ""});
        if (ctx->quiet)
            return false;
        return MessageBoxA(run.window, message.c_str(), "Fake Error", MB_OKCANCEL) == IDOK;
    } else if (word == "hook") {
        size_t sp = rest.find(' ');
        int code = atoi(rest.substr(0, sp).c_str());
        if (ctx->hookFlags)
            CallHost(run, code, Split(sp == std::string::npos ? "" : rest.substr(sp + 1), '|'));
    } else if (word == "params") {
        Print(run, ToAnsi(ctx->params));
    } else if (word == "path") {
        Print(run, ctx->path);
    } else if (word == "cwd") {
        char dir[MAX_PATH];
        GetCurrentDirectoryA(MAX_PATH, dir);
        Print(run, dir);
    } else if (word == "write") {
        size_t sp = rest.find(' ');
        std::string name = rest.substr(0, sp), text = sp == std::string::npos ? "" : rest.substr(sp + 1);
        HANDLE f = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written;
        if (f != INVALID_HANDLE_VALUE) {
            WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
            CloseHandle(f);
        }
    } else if (word == "read") {
        char buf[512] = {};
        DWORD got = 0;
        HANDLE f = CreateFileA(rest.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (f == INVALID_HANDLE_VALUE) {
            Print(run, "cannot read " + rest);
            return true;
        }
        ReadFile(f, buf, sizeof buf - 1, &got, nullptr);
        CloseHandle(f);
        std::string text(buf, got);
        Print(run, text.substr(0, text.find_first_of("\r\n")));
    } else if (word == "box") {
        int answer = MessageBoxA(run.window, "Fake box", rest.c_str(), MB_OKCANCEL);
        Print(run, "box answered " + std::to_string(answer));
    } else if (word == "stop") {
        return false;
    } else {
        Print(run, "unknown line " + word);
    }
    return true;
}

FakeContext* Lock(HGLOBAL h)
{
    auto* ctx = h ? static_cast<FakeContext*>(GlobalLock(h)) : nullptr;
    if (ctx && ctx->magic != kMagic && ctx->magic != 0) {
        GlobalUnlock(h);
        return nullptr;
    }
    return ctx;
}

}  // namespace

extern "C" uint32_t DoDuRavInit(HWND window, HGLOBAL context, uintptr_t a, uintptr_t op,
                                                      uintptr_t b, uintptr_t c, uintptr_t d)
{
    if (op == 0) {
        if ((a & 0xFF00) == 0x1300)
            return sizeof(FakeContext);
        MessageBoxA(GetFocus(), "Version Interface Incompatible", "DLL mismatch", MB_SETFOREGROUND);
        return 0;
    }
    FakeContext* ctx = Lock(context);
    if (!ctx)
        return 0;
    uint32_t result = 0;
    switch (op) {
    case 1:
        if (GlobalSize(context) >= sizeof(FakeContext) && b == reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr))) {
            ctx->magic = kMagic;
            snprintf(ctx->product, sizeof ctx->product, "%s", reinterpret_cast<const char*>(c));
            result = kEntrySize;
        }
        break;
    case 2: {
        HGLOBAL table = reinterpret_cast<HGLOBAL>(a);
        if (ctx->magic == kMagic && table && GlobalSize(table) >= uint64_t(kEntrySize) * b &&
            !strcmp(reinterpret_cast<const char*>(c), "KV44I") && !strcmp(reinterpret_cast<const char*>(d), "TRM-PROD.INI")) {
            ctx->varTable = table;
            ctx->capacity = static_cast<uint32_t>(b);
            result = ctx->capacity;       // shows the host what it was given
        }
        break;
    }
    case 3: {
        auto* binding = reinterpret_cast<EngineBinding*>(d);
        char* base = reinterpret_cast<char*>(a);
        if (base && binding && binding->stringSpace == base && binding->commitSize == b &&
            binding->reserveSize >= b && binding->hInstanceBlock == context && binding->hVarTable == ctx->varTable) {
            base[0] = 'x';
            base[b - 1] = 'y';   // the whole committed size is writable
            ctx->heapBase = base;
            ctx->committed = b;
            ctx->binding = binding;
            result = b;                   // shows the host what it committed
        }
        break;
    }
    case 99:
        result = b && *reinterpret_cast<int64_t*>(b) >= 0 ? 1 : 0;
        break;
    }
    GlobalUnlock(context);
    return result;
}

extern "C" uint32_t ProcessViRuvBuffer(HWND window, HGLOBAL context, HGLOBAL script,
                                                             void* callback, const KeywordRecord* table)
{
    FakeContext* ctx = Lock(context);
    if (!ctx)
        return 0;
    const char* text = static_cast<const char*>(GlobalLock(script));
    if (!text) {
        GlobalUnlock(context);
        return 0;
    }
    std::string all(text);
    GlobalUnlock(script);
    Run run{ctx, window, reinterpret_cast<Callback>(callback), table};
    ctx->runResult = 1;
    int number = 0;
    for (const std::string& raw : Split(all, '\n')) {
        std::string line = raw;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (!RunLine(run, line, ++number)) {
            ctx->runResult = 0;
            break;
        }
    }
    GlobalUnlock(context);
    return 1;
}

extern "C" uint64_t DLLServices(HGLOBAL context, uintptr_t request, const void* p1,
                                                      const void* p2, int64_t p3, uint64_t p4)
{
    FakeContext* ctx = Lock(context);
    if (!ctx)
        return 0;
    uint64_t answer = 1;
    switch (request & 0xFFFF) {
    case 0: break;
    case 4: answer = ctx->lastError; break;
    case 5: answer = ctx->runResult; break;
    case 11:
        if (p2)
            lstrcpynW(ctx->params, static_cast<const wchar_t*>(p2), 1024);
        break;
    case 23:
        answer = ctx->quiet;
        if (p3 == 0 || p3 == 1)
            ctx->quiet = static_cast<uint32_t>(p3);
        break;
    case 40: snprintf(ctx->path, sizeof ctx->path, "%s", static_cast<const char*>(p1)); break;
    case 60:
        answer = ctx->hookFlags;
        ctx->hookFlags = p4 ? (ctx->hookFlags | static_cast<uint32_t>(p3)) : (ctx->hookFlags & ~static_cast<uint32_t>(p3));
        break;
    default: answer = 0;
    }
    GlobalUnlock(context);
    return answer;
}
