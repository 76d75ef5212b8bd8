// A stand-in engine library for the launcher's tests: it exports the ordinals the launcher
// binds, answers the start-up hand-shake, and runs a tiny line language instead of scripts,
// so the launcher's mechanics can be driven without the interpreter:
//   log TEXT          append TEXT to fake_engine.log beside the program
//   params            log the parameter line
//   host CODE A|B|... call the host callback and log its answer
//   hostw CODE A|B|.. the same with texts (UTF-8 in the script) that also carry their wide
//                     form, as the engine hands on a text that came wide
//   loop              pump messages until the run is stopped (box on a user stop)
//   fail              end the run as stopped
//   flags N           set the control-flags word (request 14)
//   sleep MS          wait while pumping
//   sysmenu           log the items of the owner window's system menu
#include <windows.h>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/core/uncompress.h"
#include "tests/host/host_call.h"

namespace {

using kvhost::HostArg;

struct FakeContext {
    char productLine[256];
    char configText[256];
    char programPath[260];
    wchar_t params[8200];
    uint32_t runResult;
    uint32_t cancel;
    uint32_t cancelBox;
    uint32_t controlFlags;
    HWND owner;
    uint64_t capacity;       // variable capacity given at operation 2
    uint64_t committed;      // string space committed at operation 3
};

using PfnHost = int32_t (*)(HWND, HINSTANCE, uint32_t, int32_t, void*, void*, void*, HostArg*, int32_t, HostArg*);

struct Answer {
    bool called;
    int32_t status;
    HostArg record;
    std::string text;
};
Answer g_answer;

int32_t FakeAnswer(int32_t status, uint64_t, void*, HostArg* record)
{
    g_answer.called = true;
    g_answer.status = status;
    g_answer.record = *record;
    if (record->flags & 0x2)
        g_answer.text = record->str ? record->str : "";
    else if (record->flags & 0x80) {
        char utf8[20000] = "";
        WideCharToMultiByte(CP_UTF8, 0, record->wstr, -1, utf8, sizeof(utf8), nullptr, nullptr);
        g_answer.text = utf8;
    }
    return status;
}

void Log(FakeContext* ctx, const std::string& line)
{
    std::string path = ctx->programPath;
    path = path.substr(0, path.find_last_of('\\') + 1) + "fake_engine.log";
    if (FILE* f = std::fopen(path.c_str(), "ab")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

bool Pump(FakeContext* ctx)
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return !ctx->cancel;
}

void CallHost(FakeContext* ctx, HWND window, PfnHost host, const std::string& rest, bool wide)
{
    int code = std::atoi(rest.c_str());
    std::string args = rest.find(' ') == std::string::npos ? "" : rest.substr(rest.find(' ') + 1);
    std::string texts[5];
    HostArg records[16] = {};
    int count = 0;
    for (size_t start = 0; !args.empty() && count < 5; ++count) {
        size_t bar = args.find('|', start);
        texts[count] = args.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
        if (bar == std::string::npos) {
            ++count;
            break;
        }
        start = bar + 1;
    }
    std::wstring wides[5];
    for (int i = 0; i < count; ++i) {
        records[i].flags = 0x2;
        records[i].str = texts[i].c_str();
        if (wide) {
            wchar_t unicode[2000] = L"";
            MultiByteToWideChar(CP_UTF8, 0, texts[i].c_str(), -1, unicode, 2000);
            wides[i] = unicode;
            char ansi[4000] = "";
            WideCharToMultiByte(CP_ACP, 0, unicode, -1, ansi, sizeof(ansi), nullptr, nullptr);
            texts[i] = ansi;
            records[i].str = texts[i].c_str();
            records[i].wstr = wides[i].c_str();
            records[i].flags = 0x82;
        }
    }
    HostArg scratch{};
    g_answer = Answer{};
    int32_t rc = host(window, nullptr, 0x30030105, code, reinterpret_cast<void*>(&FakeAnswer), nullptr, nullptr,
                      records, count, &scratch);
    char line[200];
    std::snprintf(line, sizeof(line), "host %d rc=%d answered=%d status=%d flags=%u int=%d text=", code, rc,
                  g_answer.called, g_answer.status, g_answer.record.flags, g_answer.record.i32);
    Log(ctx, line + g_answer.text);
}

}  // namespace

extern "C" {

uint32_t DoDuRavInit(HWND, uintptr_t context, uintptr_t a, uintptr_t operation, uintptr_t b, uintptr_t, uintptr_t)
{
    // Operations 2 and 3 keep what they were given, for the start line of the log.
    auto record = [&](uint64_t FakeContext::*field) {
        if (auto* ctx = static_cast<FakeContext*>(GlobalLock(reinterpret_cast<HGLOBAL>(context)))) {
            ctx->*field = b;
            GlobalUnlock(reinterpret_cast<HGLOBAL>(context));
        }
    };
    switch (operation) {
    case 0:
        return (a & 0xFF00) == 0x1300 ? sizeof(FakeContext) : 0;
    case 1:
        return context ? 96 : 0;
    case 2:
        record(&FakeContext::capacity);
        return context ? 1 : 0;
    case 3:
        record(&FakeContext::committed);
        return context ? 1 : 0;
    case 99:
        return context ? 1 : 0;
    default:
        return 0;
    }
}

int32_t ProcessViRuvBuffer(HWND window, HGLOBAL context, HGLOBAL script, PfnHost host, const void*)
{
    auto* ctx = static_cast<FakeContext*>(GlobalLock(context));
    const char* text = static_cast<const char*>(GlobalLock(script));
    if (!ctx || !text)
        return 0;
    ctx->owner = window;
    ctx->cancel = 0;
    ctx->cancelBox = 1;
    ctx->runResult = 1;
    std::string all = text;
    GlobalUnlock(script);
    for (size_t pos = 0; pos < all.size() && !ctx->cancel;) {
        size_t end = all.find('\n', pos);
        std::string line = all.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        pos = end == std::string::npos ? all.size() : end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (line.empty() || line[0] == ';')
            continue;
        std::string word = line.substr(0, line.find(' '));
        std::string rest = line.find(' ') == std::string::npos ? "" : line.substr(line.find(' ') + 1);
        if (word == "log")
            Log(ctx, rest);
        else if (word == "params") {
            char utf8[30000] = "";
            WideCharToMultiByte(CP_UTF8, 0, ctx->params, -1, utf8, sizeof(utf8), nullptr, nullptr);
            Log(ctx, std::string("params=[") + utf8 + "]");
        } else if (word == "host" || word == "hostw")
            CallHost(ctx, window, host, rest, word == "hostw");
        else if (word == "loop") {
            while (Pump(ctx))
                Sleep(5);
        } else if (word == "fail")
            ctx->runResult = 0;
        else if (word == "sysmenu") {
            HMENU menu = GetSystemMenu(window, FALSE);
            for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) {
                char item[256] = "";
                GetMenuStringA(menu, UINT(i), item, sizeof(item), MF_BYPOSITION);
                char line[400];
                std::snprintf(line, sizeof(line), "menu %d %u %s", int(GetMenuItemID(menu, i)),
                              GetMenuState(menu, UINT(i), MF_BYPOSITION), item);
                Log(ctx, line);
            }
        } else if (word == "flags")
            ctx->controlFlags = uint32_t(std::atoi(rest.c_str()));
        else if (word == "sleep") {
            DWORD start = GetTickCount();
            while (GetTickCount() - start < DWORD(std::atoi(rest.c_str())) && Pump(ctx))
                Sleep(5);
        }
    }
    if (ctx->cancel) {
        ctx->runResult = 0;
        Log(ctx, "stopped");
        if (ctx->cancelBox && !(ctx->controlFlags & 4))
            MessageBoxA(window, "Execution terminated by user request", "Fake engine", MB_OK);
    }
    Log(ctx, "end");
    GlobalUnlock(context);
    return 1;
}

uint64_t DLLServices(HGLOBAL context, uint16_t request, const void* p1, const void* p2, int64_t p3, uint64_t p4)
{
    auto* ctx = static_cast<FakeContext*>(GlobalLock(context));
    if (!ctx)
        return 0;
    uint64_t answer = 1;
    switch (request) {
    case 0:
        lstrcpynA(ctx->productLine, static_cast<const char*>(p1), 256);
        break;
    case 5:
        answer = ctx->runResult;
        break;
    case 7:
        ctx->cancel = 1;
        ctx->cancelBox = uint32_t(p3);
        break;
    case 11:
        lstrcpynW(ctx->params, static_cast<const wchar_t*>(p2), 8200);
        break;
    case 14:
        answer = ctx->controlFlags;
        break;
    case 30:
        lstrcpynA(ctx->configText, static_cast<const char*>(p1), 256);
        break;
    case 33:
        answer = uint64_t(UncompressBuffer(static_cast<uint8_t*>(const_cast<void*>(p1)), uint64_t(p3), p4));
        break;
    case 37:
        answer = ctx->cancel;
        break;
    case 40:
        lstrcpynA(ctx->programPath, static_cast<const char*>(p1), 260);
        Log(ctx, std::string("start product=") + ctx->productLine + " config=" + ctx->configText + " capacity="
                     + std::to_string(ctx->capacity) + " commit=" + std::to_string(ctx->committed));
        break;
    case 48:
        answer = reinterpret_cast<uint64_t>(ctx->owner);
        break;
    case 49:
        answer = 0;
        break;
    default:
        answer = 0;
    }
    GlobalUnlock(context);
    return answer;
}

int32_t DoDllAbout() { return 0; }
HMENU LoadStandardMenu() { return nullptr; }
HGLOBAL ParseStandardMenu() { return nullptr; }
int32_t MenuSelectProcessing() { return -1; }
int32_t HotKeyCheck() { return 0; }

}  // extern "C"
