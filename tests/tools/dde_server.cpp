// A DDE server for the tests of the engine's DDE client, written on the DDE messages
// themselves (one window per conversation), as long-standing DDE servers are.
//
//   dde_server.exe <service> <log file> [seconds]
//
// It accepts the topics of the service that begin with "Topic" and writes one line to the
// log for each event: "ready" once it listens, "connect", "execute <command>",
// "poke <item>=<data>", "request <item>", "disconnect". A request of "Known" answers
// "Value", of an item poked before the poked data; any other item and a poke of "Refused"
// are refused. The command "[close]" makes the server end that conversation itself (after
// acknowledging it; "closed" in the log), "[quit]" ends the server once its last
// conversation has ended. It also ends after the given seconds (default 60).
#include <windows.h>
#include <dde.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace {

constexpr const char* LISTENER_CLASS = "KvTestDdeListener";
constexpr const char* CONVERSATION_CLASS = "KvTestDdeConversation";
constexpr UINT WM_CLOSE_CONVERSATION = WM_APP + 1;

std::string g_service;
FILE* g_log;
std::map<std::string, std::string> g_items;
HWND g_listener;
int g_open;              // conversations
bool g_quitWhenIdle;

void Log(const std::string& line)
{
    fprintf(g_log, "%s\n", line.c_str());
    fflush(g_log);
}

std::string AtomText(ATOM atom)
{
    char text[256] = {};
    if (atom)
        GlobalGetAtomNameA(atom, text, sizeof text);
    return text;
}

// The text of a global block from `offset` on, bounded by the block's size.
std::string BlockText(HGLOBAL block, size_t offset)
{
    const char* data = static_cast<const char*>(GlobalLock(block));
    if (!data)
        return "";
    size_t size = GlobalSize(block);
    std::string text = size > offset ? std::string(data + offset, strnlen(data + offset, size - offset)) : "";
    GlobalUnlock(block);
    return text;
}

WORD AckStatus(bool positive) { return positive ? 0x8000 : 0; }   // DDEACK.fAck

void Execute(HWND self, HWND client, LPARAM lParam)
{
    UINT_PTR unused = 0, commands = 0;
    UnpackDDElParam(WM_DDE_EXECUTE, lParam, &unused, &commands);
    std::string command = BlockText(reinterpret_cast<HGLOBAL>(commands), 0);
    Log("execute " + command);
    PostMessageA(client, WM_DDE_ACK, reinterpret_cast<WPARAM>(self),
                 ReuseDDElParam(lParam, WM_DDE_EXECUTE, WM_DDE_ACK, AckStatus(true), commands));
    if (command == "[close]")
        PostMessageA(self, WM_CLOSE_CONVERSATION, reinterpret_cast<WPARAM>(client), 0);
    if (command == "[quit]")
        g_quitWhenIdle = true;
}

void Poke(HWND self, HWND client, LPARAM lParam)
{
    UINT_PTR data = 0, item = 0;
    UnpackDDElParam(WM_DDE_POKE, lParam, &data, &item);
    std::string name = AtomText(static_cast<ATOM>(item));
    // DDEPOKE: a flags word, the clipboard format, then the value.
    std::string value = BlockText(reinterpret_cast<HGLOBAL>(data), 2 * sizeof(WORD));
    Log("poke " + name + "=" + value);
    bool accepted = name != "Refused";
    if (accepted)
        g_items[name] = value;
    WORD flags = 0;
    if (const WORD* head = static_cast<const WORD*>(GlobalLock(reinterpret_cast<HGLOBAL>(data)))) {
        flags = head[0];
        GlobalUnlock(reinterpret_cast<HGLOBAL>(data));
    }
    if (accepted && (flags & 0x2000))   // fRelease: the receiver frees the data it accepted
        GlobalFree(reinterpret_cast<HGLOBAL>(data));
    PostMessageA(client, WM_DDE_ACK, reinterpret_cast<WPARAM>(self),
                 ReuseDDElParam(lParam, WM_DDE_POKE, WM_DDE_ACK, AckStatus(accepted), item));
}

void Request(HWND self, HWND client, LPARAM lParam)
{
    ATOM item = HIWORD(lParam);
    std::string name = AtomText(item);
    Log("request " + name);
    std::string value;
    bool known = true;
    if (name == "Known")
        value = "Value";
    else if (g_items.count(name))
        value = g_items[name];
    else
        known = false;
    if (!known) {
        PostMessageA(client, WM_DDE_ACK, reinterpret_cast<WPARAM>(self),
                     PackDDElParam(WM_DDE_ACK, AckStatus(false), item));
        return;
    }
    // DDEDATA: flags (fResponse, fRelease), the clipboard format, then the value.
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, 2 * sizeof(WORD) + value.size() + 1);
    auto* head = static_cast<WORD*>(GlobalLock(block));
    head[0] = 0x1000 | 0x2000;
    head[1] = CF_TEXT;
    std::memcpy(head + 2, value.c_str(), value.size() + 1);
    GlobalUnlock(block);
    PostMessageA(client, WM_DDE_DATA, reinterpret_cast<WPARAM>(self),
                 PackDDElParam(WM_DDE_DATA, reinterpret_cast<UINT_PTR>(block), item));
}

// One window per conversation; its user data is the client's window.
LRESULT CALLBACK ConversationProc(HWND self, UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND client = reinterpret_cast<HWND>(wParam);
    switch (message) {
    case WM_DDE_EXECUTE:
        Execute(self, client, lParam);
        return 0;
    case WM_DDE_POKE:
        Poke(self, client, lParam);
        return 0;
    case WM_DDE_REQUEST:
        Request(self, client, lParam);
        return 0;
    case WM_DDE_TERMINATE:
        if (!GetWindowLongPtrA(self, GWLP_USERDATA)) {   // the client ends it: answer
            PostMessageA(client, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(self), 0);
            Log("disconnect");
        }
        DestroyWindow(self);
        if (--g_open == 0 && g_quitWhenIdle)
            PostQuitMessage(0);
        return 0;
    case WM_CLOSE_CONVERSATION:
        SetWindowLongPtrA(self, GWLP_USERDATA, 1);   // the server ends it: the client answers
        PostMessageA(client, WM_DDE_TERMINATE, reinterpret_cast<WPARAM>(self), 0);
        Log("closed");
        return 0;
    default:
        return DefWindowProcA(self, message, wParam, lParam);
    }
}

// The listener answers an initiate for the service and a "Topic..." topic with a new
// conversation window.
LRESULT CALLBACK ListenerProc(HWND self, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DDE_INITIATE) {
        std::string service = AtomText(LOWORD(lParam));
        std::string topic = AtomText(HIWORD(lParam));
        if (lstrcmpiA(service.c_str(), g_service.c_str()) != 0 || topic.compare(0, 5, "Topic") != 0)
            return 0;
        HWND conversation = CreateWindowA(CONVERSATION_CLASS, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                          GetModuleHandleA(nullptr), nullptr);
        ++g_open;
        Log("connect");
        SendMessageA(reinterpret_cast<HWND>(wParam), WM_DDE_ACK, reinterpret_cast<WPARAM>(conversation),
                     MAKELPARAM(GlobalAddAtomA(service.c_str()), GlobalAddAtomA(topic.c_str())));
        return 0;
    }
    return DefWindowProcA(self, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: dde_server <service> <log file> [seconds]\n");
        return 2;
    }
    g_service = argv[1];
    g_log = fopen(argv[2], "w");
    if (!g_log)
        return 3;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA listener{};
    listener.lpfnWndProc = ListenerProc;
    listener.hInstance = instance;
    listener.lpszClassName = LISTENER_CLASS;
    WNDCLASSA conversation{};
    conversation.lpfnWndProc = ConversationProc;
    conversation.hInstance = instance;
    conversation.lpszClassName = CONVERSATION_CLASS;
    if (!RegisterClassA(&listener) || !RegisterClassA(&conversation))
        return 4;
    // A hidden top-level window: initiates are broadcast to top-level windows.
    g_listener = CreateWindowA(LISTENER_CLASS, "KvTestDdeServer", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                               instance, nullptr);
    if (!g_listener)
        return 5;
    Log("ready");
    UINT seconds = argc > 3 ? static_cast<UINT>(atoi(argv[3])) : 60;
    SetTimer(g_listener, 1, seconds * 1000, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.hwnd == g_listener)
            break;
        DispatchMessageA(&msg);
    }
    Log("end");
    fclose(g_log);
    return 0;
}
