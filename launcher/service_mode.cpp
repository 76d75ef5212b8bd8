// Service mode (a launcher file named *.EXS): the service's main function runs the same
// body as a desktop run; the control handlers report the service status and queue the
// controls for the script's SvcWaitForCmd.
//
// The control handlers run on the service dispatcher's thread while the script runs on the
// main thread. They share the status record and the control queue under one lock; a stop
// that the launcher handles itself is posted to the main window, whose thread stops the
// script (the engine is only ever called from the main thread).
#include "launcher/launcher.h"

namespace {

constexpr DWORD SERVICE_TYPE = SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS;   // 0x110
constexpr DWORD STOP_WAIT_HINT = 60000;
constexpr uint32_t LOGOFF_CODE = 0x8000;
constexpr DWORD CONTROL_SESSION_CHANGE = 14;
constexpr DWORD SESSION_LOGOFF = 6;

struct ServiceState {
    CRITICAL_SECTION lock;      // guards everything below
    SERVICE_STATUS status;
    SERVICE_STATUS_HANDLE handle;
    DWORD startTick;
    bool stopHandledByLauncher;
    bool stateSetByScript;
    bool logoffNotification;
    bool bodyFinished;
    uint32_t queue[SERVICE_QUEUE_SIZE];
    int queued;
    int exitCode;
    int showCommand;
};
ServiceState g_service;

// Holds the lock for a scope.
class ServiceLock {
public:
    ServiceLock() { EnterCriticalSection(&g_service.lock); }
    ~ServiceLock() { LeaveCriticalSection(&g_service.lock); }
    ServiceLock(const ServiceLock&) = delete;
    ServiceLock& operator=(const ServiceLock&) = delete;
};

bool IsPending(DWORD state)
{
    return state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING || state == SERVICE_CONTINUE_PENDING ||
           state == SERVICE_PAUSE_PENDING;
}

// Reports the status record as it stands (the caller holds the lock).
void Report()
{
    if (g_service.handle)
        SetServiceStatus(g_service.handle, &g_service.status);
}

void SetState(DWORD state, DWORD checkPoint, DWORD waitHint)
{
    g_service.status.dwCurrentState = state;
    g_service.status.dwCheckPoint = checkPoint;
    g_service.status.dwWaitHint = waitHint;
}

// A pending state the script's controls lead to: the check point goes on counting while
// the state stays the same.
void EnterPending(DWORD state)
{
    DWORD checkPoint = g_service.status.dwCurrentState == state ? g_service.status.dwCheckPoint + 1 : 0;
    SetState(state, checkPoint, STOP_WAIT_HINT);
}

// The caller holds the lock.
void Enqueue(uint32_t code)
{
    EnqueueServiceControl(g_service.queue, &g_service.queued, code);
}

void Interrogate()
{
    if (!g_service.stateSetByScript && GetTickCount() - g_service.startTick > 2999) {
        SetState(SERVICE_RUNNING, 0, 0);
        g_service.stateSetByScript = true;
    }
    if (IsPending(g_service.status.dwCurrentState))
        ++g_service.status.dwCheckPoint;
}

void WINAPI ServiceHandler(DWORD control)
{
    ServiceLock hold;
    switch (control) {
    case SERVICE_CONTROL_STOP:
        if (g_service.stopHandledByLauncher) {
            // The launcher stops the script; the service is stopped once the body has ended.
            SetState(SERVICE_STOP_PENDING, 0, STOP_WAIT_HINT);
            if (!g_service.bodyFinished) {
                g_launcher.stopRequested = true;
                if (HWND window = g_launcher.mainWindow)
                    PostMessageA(window, WM_KV_PARENT, KV_PARENT_STOP, 0);
            }
            break;
        }
        EnterPending(SERVICE_STOP_PENDING);
        Enqueue(control);
        break;
    case SERVICE_CONTROL_SHUTDOWN:
        EnterPending(SERVICE_STOP_PENDING);
        Enqueue(control);
        break;
    case SERVICE_CONTROL_PAUSE:
        EnterPending(SERVICE_PAUSE_PENDING);
        Enqueue(control);
        break;
    case SERVICE_CONTROL_CONTINUE:
        EnterPending(SERVICE_CONTINUE_PENDING);
        Enqueue(control);
        break;
    case SERVICE_CONTROL_INTERROGATE:
        Interrogate();
        break;
    default:
        Enqueue(control);
        break;
    }
    Report();
}

DWORD WINAPI ServiceHandlerEx(DWORD control, DWORD eventType, LPVOID, LPVOID)
{
    if (control == CONTROL_SESSION_CHANGE && eventType == SESSION_LOGOFF) {
        ServiceLock hold;
        if (g_service.logoffNotification) {
            Enqueue(LOGOFF_CODE);
            return NO_ERROR;
        }
    }
    ServiceHandler(control);
    return NO_ERROR;
}

bool RegisterHandler(const char* name)
{
    if (g_os.isNT5) {
        using PfnRegisterEx = SERVICE_STATUS_HANDLE(WINAPI*)(LPCSTR, LPHANDLER_FUNCTION_EX, LPVOID);
        auto registerEx = reinterpret_cast<PfnRegisterEx>(
            GetProcAddress(GetModuleHandleA("ADVAPI32.DLL"), "RegisterServiceCtrlHandlerExA"));
        if (registerEx) {
            g_service.handle = registerEx(name, ServiceHandlerEx, nullptr);
            return g_service.handle != nullptr;
        }
    }
    g_service.handle = RegisterServiceCtrlHandlerA(name, ServiceHandler);
    return g_service.handle != nullptr;
}

void WINAPI ServiceMain(DWORD argc, LPSTR* argv)
{
    const char* name = argc > 0 && argv[0] ? argv[0] : "";
    if (!RegisterHandler(name)) {
        g_service.exitCode = EXIT_SERVICE_HANDLER;
        return;
    }
    {
        ServiceLock hold;
        SetState(SERVICE_START_PENDING, 0, 0);
        Report();
    }
    lstrcpynA(g_launcher.serviceName, name, sizeof g_launcher.serviceName);
    std::string arguments;
    for (DWORD i = 1; i < argc; ++i) {
        if (i > 1)
            arguments += ' ';
        arguments += argv[i] ? argv[i] : "";
    }
    g_service.startTick = GetTickCount();
    g_service.exitCode = RunLauncher(g_launcher.instance, nullptr, arguments.c_str(), g_service.showCommand);
    Sleep(5000);
    ServiceLock hold;
    SetState(SERVICE_STOPPED, 0, 0);
    g_service.bodyFinished = true;
    Report();
}

// The status report after the script changed the accepted controls or the state.
void ReportAfterScript()
{
    if (IsPending(g_service.status.dwCurrentState)) {
        ++g_service.status.dwCheckPoint;
        g_service.status.dwWaitHint = STOP_WAIT_HINT;
    } else {
        g_service.status.dwCheckPoint = 0;
        g_service.status.dwWaitHint = 0;
    }
    Report();
}

// Waits up to 100 ms for input or the timer, without the timer when the system has none.
void WaitTick(HANDLE timer)
{
    if (timer) {
        LARGE_INTEGER due;
        due.QuadPart = -100LL * 10000;
        SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE);
    }
    MsgWaitForMultipleObjects(timer ? 1 : 0, timer ? &timer : nullptr, FALSE, timer ? INFINITE : 100, QS_ALLINPUT);
}

}  // namespace

bool EnqueueServiceControl(uint32_t* queue, int* queued, uint32_t code)
{
    if (*queued >= SERVICE_QUEUE_SIZE)
        return false;        // a full queue drops the control
    queue[(*queued)++] = code;
    return true;
}

uint32_t TakeServiceControl(uint32_t* queue, int* queued)
{
    if (*queued <= 0)
        return 0;
    uint32_t code = queue[0];
    for (int i = 1; i < *queued; ++i)
        queue[i - 1] = queue[i];
    --*queued;
    return code;
}

int RunServiceMode(HINSTANCE instance, int showCommand)
{
    InitializeCriticalSection(&g_service.lock);
    g_launcher.instance = instance;
    g_service.showCommand = showCommand;
    g_service.status.dwServiceType = SERVICE_TYPE;
    g_service.status.dwCurrentState = SERVICE_STOPPED;
    g_service.status.dwControlsAccepted = SERVICE_ACCEPT_STOP;
    g_service.stopHandledByLauncher = true;
    char empty[1] = "";
    SERVICE_TABLE_ENTRYA table[] = {{empty, ServiceMain}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherA(table))
        return EXIT_SERVICE_DISPATCHER;
    return g_service.exitCode;
}

void ServiceRunningTimer()
{
    ServiceHandler(SERVICE_CONTROL_INTERROGATE);
}

int ServiceSetAccept(const char* controls)
{
    if (!g_launcher.serviceMode)
        return -1;
    ServiceLock hold;
    int answer = static_cast<int>(g_service.status.dwControlsAccepted) | (g_service.logoffNotification ? LOGOFF_CODE : 0);
    uint32_t wanted = static_cast<uint32_t>(StringToInt(controls));
    if (wanted & LOGOFF_CODE) {
        wanted &= ~LOGOFF_CODE;
        if (g_os.isXP)
            wanted |= SERVICE_ACCEPT_SESSIONCHANGE;
        g_service.logoffNotification = true;     // never switched off again
    }
    if (!g_os.isNT5)
        wanted &= ~uint32_t(SERVICE_ACCEPT_HARDWAREPROFILECHANGE | SERVICE_ACCEPT_POWEREVENT);
    if (!g_os.isXP)
        wanted &= ~uint32_t(SERVICE_ACCEPT_SESSIONCHANGE);
    if (!g_os.isVista)
        wanted &= ~uint32_t(SERVICE_ACCEPT_PRESHUTDOWN);
    g_service.status.dwControlsAccepted = wanted;
    g_service.stopHandledByLauncher = false;
    ReportAfterScript();
    return answer;
}

int ServiceSetState(const char* state)
{
    if (!g_launcher.serviceMode)
        return -1;
    ServiceLock hold;
    int answer = static_cast<int>(g_service.status.dwCurrentState);
    g_service.status.dwCurrentState = static_cast<DWORD>(StringToInt(state));
    ReportAfterScript();
    g_service.stateSetByScript = true;
    return answer;
}

int ServiceWaitForCommand(const char* timeoutText)
{
    if (!g_launcher.serviceMode)
        return -1;
    int timeout = StringToInt(timeoutText);
    auto queued = [] {
        ServiceLock hold;
        return g_service.queued;
    };
    if (timeout == 0 && queued() == 0)
        return 0;
    HANDLE timer = CreateWaitableTimerA(nullptr, FALSE, nullptr);
    DWORD start = GetTickCount();
    int answer = 0;
    bool waiting = true;
    while (waiting && queued() == 0) {
        if (timeout >= 1 && GetTickCount() - start >= static_cast<DWORD>(timeout))
            waiting = false;
        else if (!PumpLauncherMessages())
            waiting = false;
        else
            WaitTick(timer);
    }
    if (timer) {
        CancelWaitableTimer(timer);
        CloseHandle(timer);
    }
    if (waiting) {
        ServiceLock hold;
        answer = static_cast<int>(TakeServiceControl(g_service.queue, &g_service.queued));
    }
    return answer;
}

bool ServiceQueryEndSession()
{
    ServiceLock hold;
    if (g_service.logoffNotification && !g_os.isXP)
        Enqueue(LOGOFF_CODE);
    return true;
}
