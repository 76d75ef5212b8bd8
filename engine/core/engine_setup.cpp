// Engine set-up: DoDuRavInit, its process-wide serialisation, the once-per-process set-up
// and the per-context defaults (operations 0 to 3; operation 99 is in engine_teardown.cpp).
#include "engine/core/engine_setup.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "engine/core/binding.h"
#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/core/neighbour_services.h"
#include "engine/core/pump.h"
#include "engine/core/script_permutation.h"
#include "engine/core/system_flags.h"
#include "engine/core/text_bounded.h"
#include "engine/files/settings.h"
#include "engine/system/system_entries.h"
#include "engine/ui/window_info.h"

namespace {

constexpr uint32_t INTERFACE_MARK = 0x1300;   // byte 1 of the interface word the engine needs
constexpr int MSG_POPUP_MENU = 730;
constexpr int MSG_MENU_ITEM = 731;
constexpr int MSG_MAKER_HOME = 60;

// ---------------------------------------------------------------- serialisation

// One DoDuRavInit at a time in the process. Another thread waits in 50 ms steps; the
// thread that already holds the guard (re-entered through a pumped message) is refused,
// since waiting for itself would never end.
std::atomic<long> g_busy{0};
std::atomic<DWORD> g_busyThread{0};

class InitGuard {
public:
    InitGuard()
    {
        DWORD me = GetCurrentThreadId();
        for (;;) {
            if (g_busyThread.load() == me)
                return;   // re-entered: not admitted
            long expected = 0;
            if (g_busy.compare_exchange_strong(expected, 1)) {
                g_busyThread.store(me);
                admitted_ = true;
                return;
            }
            Sleep(50);
        }
    }
    ~InitGuard()
    {
        if (admitted_) {
            g_busyThread.store(0);
            g_busy.store(0);
        }
    }
    InitGuard(const InitGuard&) = delete;
    InitGuard& operator=(const InitGuard&) = delete;
    bool Admitted() const { return admitted_; }

private:
    bool admitted_ = false;
};

bool g_processSetUp;   // system flags and the process-wide texts

// ---------------------------------------------------------------- operation 1 helpers

const char* TextArg(uintptr_t value)
{
    return value ? reinterpret_cast<const char*>(value) : "";
}

void SetControlDefaults(BDS* ctx)
{
    ControlSettings& c = ctx->eng.ctl;
    c.FileBoxNeedsSelection = 1;
    c.FileDelimiter = '\t';
    c.FileDelimiterW = L'\t';
    c.ListBoxMultiSelect = 1;
    c.SendKeyDelay = 25;
    c.ReadShareMode = 1;
    c.FourDigitYear = 1;
    c.SendKeyWaitIdle = 1;
    c.SendKeyConsoleMode = 1;
    c.WindowRetryCount = 9;
    c.DialogCloseBox = 0;
    c.DialogCloseValue = 1;
    c.CreateProcessFlags = NORMAL_PRIORITY_CLASS;
    c.DisplayGuiFont = g_System.OsHasNewShell ? 1 : 0;
    c.FileLineEnd = 1;
    if (g_System.OsIsWin2000Plus) {
        c.ActivateMethodTarget = 5;
        c.ActivateMethodBox = 4;
    } else if (g_System.OsIsWin98Me) {
        c.ActivateMethodTarget = 3;
        c.ActivateMethodBox = 3;
    }
    c.LastExitCode = 99999;
    c.FileReadBufferSize = -2;
    c.WaitDoneDelay = 500;
    c.PostedMessageDelay = 100;
    c.InputIdleTimeout = 10000;
    c.LastDialogPosition[0] = c.LastDialogPosition[1] = -1;
    c.MapInitialSize = 64;
    c.DefaultRegistryView = 2;
    c.DdeTimeout = 3000;
}

// A message of the engine's own string resources into a context field.
uint32_t LoadResourceText(int id, char* buffer, int size)
{
    buffer[0] = 0;
    return LoadStringA(EngineModule(), id, buffer, size) > 0 ? 1 : 0;
}

void ReadSystemFontMetrics(BDS* ctx)
{
    HDC dc = CreateICA("DISPLAY", nullptr, nullptr, nullptr);
    if (!dc)
        return;
    HGDIOBJ old = SelectObject(dc, GetStockObject(SYSTEM_FIXED_FONT));
    GetTextMetricsA(dc, &ctx->tmSystem);
    SelectObject(dc, old);
    DeleteDC(dc);
}

void SetContextDefaults(BDS* ctx)
{
    ctx->bSounds = ReadSettingsInt("MAIN", "Sounds", 0, SETTINGS_INI_NAME, 0) != 0;
    ctx->bPrettyDialogs = ReadSettingsInt("MAIN", "PrettyDialogs", 1, SETTINGS_INI_NAME, 0) != 0;
    ctx->hCursorWait = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT));
    ctx->hCursorCurrent = ctx->hCursorWait;
    ctx->hCursorArrow = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    ctx->nScriptFlags = 3;
    ctx->nErrorOffset = 0xFFFFFFFF;
    ctx->ErrorMode = EM_CANCEL;
    InitErrorReporting(ctx);   // no error handler; the tech-support address (message 61)
    ctx->run.nErrorHandlerMode = TRAP_OFF;
    ctx->run.nCancelHandlerMode = TRAP_GOTO_ALWAYS;
    ctx->nUdfBlockTop = -1;
    ctx->nUdfCount = 0;
    ctx->nUdfRunning = UDF_NONE_RUNNING;
    ctx->nScopeCurrent = ctx->nScopeSerial = 0;
    ctx->nScopeCurrentSerial = ctx->nScopeCurrentTick = 0;
    ctx->nStructDepth = 0;

    ctx->eng.bMakerHomeUrl = LoadResourceText(MSG_MAKER_HOME, ctx->eng.szMakerHomeUrl,
                                              sizeof ctx->eng.szMakerHomeUrl);
    if (g_System.OsIsNt) {
        GetMyCounterIndex("Process", ctx->eng.szCounterProcess, sizeof ctx->eng.szCounterProcess);
        GetMyCounterIndex("ID Process", ctx->eng.szCounterIdProcess,
                          sizeof ctx->eng.szCounterIdProcess);
    }

    // Nothing is open yet: no files, scopes, user-defined functions or callbacks.
    std::memset(&ctx->files, 0, sizeof ctx->files);
    std::memset(ctx->aScopes, 0, sizeof ctx->aScopes);
    std::memset(ctx->hUdfBlocks, 0, sizeof ctx->hUdfBlocks);
    std::memset(ctx->pUdfRecords, 0, sizeof ctx->pUdfRecords);

    ReadSystemFontMetrics(ctx);
    SetControlDefaults(ctx);
}

// seed = time mod tick count, taken again while it is 1.
void SeedRandomGenerator(BDS* ctx)
{
    uint32_t seed = 1;
    for (int attempt = 0; attempt < 1000 && seed == 1; ++attempt) {
        DWORD tick = GetTickCount();
        uint64_t now = static_cast<uint64_t>(std::time(nullptr));
        seed = static_cast<uint32_t>(tick ? now % tick : now);
        if (seed == 1)
            Sleep(1);
    }
    std::srand(seed);
    ctx->eng.nRandomSeed = seed;
}

template <typename Fn>
Fn Resolve(HMODULE module, const char* name)
{
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                  : nullptr;
}

void ResolveOptionalApis(BDS* ctx)
{
    OptionalApis& api = ctx->eng.api;
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    HMODULE user = GetModuleHandleA("USER32.DLL");
    HMODULE advapi = GetModuleHandleA("ADVAPI32.DLL");
    if (!advapi)
        advapi = LoadLibraryA("ADVAPI32.DLL");   // stays loaded for the process

    if (g_System.OsIsWin9x) {
        api.pfnCreateToolhelp32Snapshot = GetProcAddress(kernel, "CreateToolhelp32Snapshot");
        api.pfnProcess32First = GetProcAddress(kernel, "Process32First");
        api.pfnProcess32Next = GetProcAddress(kernel, "Process32Next");
        api.pfnModule32First = GetProcAddress(kernel, "Module32First");
        api.pfnModule32Next = GetProcAddress(kernel, "Module32Next");
        api.bToolhelpFound = api.pfnCreateToolhelp32Snapshot && api.pfnProcess32First
                             && api.pfnProcess32Next && api.pfnModule32First && api.pfnModule32Next;
        if (!api.bToolhelpFound) {
            api.pfnCreateToolhelp32Snapshot = api.pfnProcess32First = api.pfnProcess32Next = nullptr;
            api.pfnModule32First = api.pfnModule32Next = nullptr;
        }
    }
    if (g_System.OsIsWin98Me || g_System.OsIsWin2000Plus) {
        api.pfnBlockInput = Resolve<PfnBlockInput>(user, "BlockInput");
        if (g_System.OsIsXpPlus)
            api.pfnSendInput = Resolve<PfnSendInput>(user, "SendInput");
    }
    if (g_System.OsIsWin2000Plus) {
        api.RegDeleteKeyExEntry = Resolve<PfnRegDeleteKeyExW>(advapi, "RegDeleteKeyExW");
        if (g_System.OsIsVistaPlus)
            api.pfnRegGetValueA = Resolve<PfnRegGetValueA>(advapi, "RegGetValueA");
        api.pfnCancelWaitableTimer = Resolve<PfnCancelWaitableTimer>(kernel, "CancelWaitableTimer");
        api.pfnCreateWaitableTimerW = Resolve<PfnCreateWaitableTimerW>(kernel, "CreateWaitableTimerW");
        api.pfnSetWaitableTimer = Resolve<PfnSetWaitableTimer>(kernel, "SetWaitableTimer");
        if (g_System.OsIsVistaPlus)
            api.pfnGetTickCount64 = Resolve<PfnGetTickCount64>(kernel, "GetTickCount64");
    }
}

}  // namespace

bool LoadDrawDib(BDS* ctx)
{
    OptionalApis& api = ctx->eng.api;
    if (api.hMsvfw32 && GetModuleHandleA("msvfw32.dll") == api.hMsvfw32)
        return api.pfnDrawDibDraw != nullptr;
    UINT oldMode = SetErrorMode(SEM_NOOPENFILEERRORBOX | SEM_FAILCRITICALERRORS);
    api.hMsvfw32 = LoadLibraryA("msvfw32.dll");
    SetErrorMode(oldMode);
    api.pfnDrawDibOpen = Resolve<FARPROC>(api.hMsvfw32, "DrawDibOpen");
    api.pfnDrawDibRealize = Resolve<FARPROC>(api.hMsvfw32, "DrawDibRealize");
    api.pfnDrawDibDraw = Resolve<FARPROC>(api.hMsvfw32, "DrawDibDraw");
    api.pfnDrawDibClose = Resolve<FARPROC>(api.hMsvfw32, "DrawDibClose");
    return api.pfnDrawDibDraw != nullptr;
}

namespace {

// ---------------------------------------------------------------- operations

uint32_t Handshake(uintptr_t lowHalf)
{
    if ((lowHalf & 0xFF00) == INTERFACE_MARK)
        return sizeof(BDS);
    MessageBoxA(GetFocus(), "Version Interface Incompatible", "DLL mismatch", MB_OK | MB_SETFOREGROUND);
    return 0;
}

uint32_t InitialiseContext(HGLOBAL handle, uintptr_t hostInstance, uintptr_t product)
{
    ContextLock lock(handle);
    BDS* ctx = lock.get();
    if (!ctx)
        return 0;
    if (!g_processSetUp)
        DetectSystemFlags();
    CopyStringBoundedA(ctx, ctx->szProductName, TextArg(product), sizeof ctx->szProductName);
    ctx->hHostInstance = reinterpret_cast<HINSTANCE>(hostInstance);
    SetContextDefaults(ctx);
    ctx->sys.dde = DdeState{};   // no DDE conversation yet
    SeedRandomGenerator(ctx);
    BuildScriptPermutation();   // once per process: later calls keep the first one
    PumpMessagesModal(ctx);

    if (!g_processSetUp) {
        LoadMyString(ctx, EngineModule(), MSG_POPUP_MENU, g_szPopupMenuText, sizeof g_szPopupMenuText);
        LoadMyString(ctx, EngineModule(), MSG_MENU_ITEM, g_szMenuItemText, sizeof g_szMenuItemText);
        g_processSetUp = true;
    }
    if (!RegisterEngineClasses())
        return 0;

    PumpMessagesModal(ctx);
    ResolveOptionalApis(ctx);
    ctx->eng.ctl.SendInputUnicodeEntry = ctx->eng.api.pfnSendInput;   // IntControl 88 changes it
    FillSystemEntries(&ctx->eng.system);
    // The video library is loaded when a DrawDib function is first needed (LoadDrawDib).
    return sizeof(VariableEntry);
}

uint32_t OpenContext(HWND window, HGLOBAL handle, uintptr_t table, uintptr_t capacity,
                     uintptr_t section, uintptr_t settingsFile)
{
    ContextLock lock(handle);
    BDS* ctx = lock.get();
    if (!ctx)
        return 0;
    CopyStringBoundedA(ctx, ctx->szSettingsSection, TextArg(section), sizeof ctx->szSettingsSection);
    CopyStringBoundedA(ctx, ctx->szSettingsFile, TextArg(settingsFile), sizeof ctx->szSettingsFile);

    // The capacity never exceeds what the table block holds.
    HGLOBAL hTable = reinterpret_cast<HGLOBAL>(table);
    uint64_t fits = hTable ? GlobalSize(hTable) / sizeof(VariableEntry) : 0;
    uint64_t entries = capacity < fits ? capacity : fits;
    if (entries > 0xFFFF)
        entries = 0xFFFF;
    if (entries < 1)
        return 0;

    ctx->hVarTable = hTable;
    ctx->nVarCapacity = static_cast<uint16_t>(entries);
    ctx->nVarUsed = 0;
    ctx->nDecimals = -1;
    ctx->hSelf = handle;
    ctx->hwndOwner = window;
    HWND parent = window ? GetParent(window) : nullptr;
    ctx->hwndParent = parent ? parent : window;

    ScopeSlot& main = ctx->aScopes[0];
    main = ScopeSlot{};
    main.slot = 0;
    main.hTable = hTable;
    main.serial = ++ctx->nScopeSerial;
    main.tick = GetTickCount();
    main.capacity = ctx->nVarCapacity;
    main.owner = 65535;
    ctx->nScopeCurrent = 0;
    ctx->nScopeCurrentSerial = main.serial;
    ctx->nScopeCurrentTick = main.tick;

    auto* vars = static_cast<VariableEntry*>(GlobalLock(hTable));
    if (!vars)
        return 0;
    ctx->pVars = vars;
    std::memset(&vars[0], 0, sizeof vars[0]);   // entry 0 is reserved
    vars[0].i32 = -1;
    vars[0].flags = VF_UNINIT;
    ctx->nVarUsed = 1;
    main.used = 1;
    GlobalUnlock(hTable);
    ctx->pVars = nullptr;

    // The bottom edge of a default-sized overlapped window, measured with a probe window.
    HWND probe = CreateWindowExA(0, "kv8wcmmn", "x", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                 EngineModule(), handle);
    if (probe) {
        RECT rect;
        if (GetWindowRect(probe, &rect))
            ctx->eng.DefaultWindowBottom = rect.bottom;
        DestroyWindow(probe);
    }
    return 1;
}

// Whether [base, base + *size) is committed, writable memory; shortens *size to the
// committed part when the caller claimed more.
bool UsableHeapRange(char* base, uint64_t* size)
{
    MEMORY_BASIC_INFORMATION info;
    if (!VirtualQuery(base, &info, sizeof info) || info.State != MEM_COMMIT)
        return false;
    const DWORD writable = PAGE_READWRITE | PAGE_EXECUTE_READWRITE | PAGE_WRITECOPY
                           | PAGE_EXECUTE_WRITECOPY;
    if (!(info.Protect & writable) || (info.Protect & PAGE_GUARD))
        return false;
    uint64_t available = static_cast<uint64_t>(static_cast<char*>(info.BaseAddress)
                                               + info.RegionSize - base);
    if (*size > available)
        *size = available;
    return true;
}

uint32_t AttachHeap(HGLOBAL handle, uintptr_t base, uintptr_t committed, uintptr_t binding)
{
    ContextLock lock(handle);
    BDS* ctx = lock.get();
    if (!ctx || !base)
        return 0;
    char* heap = reinterpret_cast<char*>(base);
    uint64_t size = committed;
    if (!UsableHeapRange(heap, &size))
        return 0;
    ctx->HeapBaseSaved = heap;
    ctx->HeapBase = heap;
    // The host's binding record is the growth partner when it describes this range.
    auto* record = reinterpret_cast<EngineBinding*>(binding);
    bool partner = record && (record->stringSpace == heap || record->stringSpace == nullptr);
    ctx->heap.binding = partner ? record : nullptr;
    FormatVmallocHeap(ctx, size);
    PumpMessages(ctx);

    ctx->szCurDir[0] = 0;
    GetCurrentDirectoryA(sizeof ctx->szCurDir, ctx->szCurDir);
    if (ctx->szCurDir[0] && ctx->szCurDir[1] == ':') {
        char name[4] = {'=', ctx->szCurDir[0], ':', 0};
        SetEnvironmentVariableA(name, ctx->szCurDir);
    }
    return 1;
}

uint32_t TearDown(HGLOBAL handle, uintptr_t liveCount, uintptr_t hostCallback)
{
    ContextLock lock(handle);
    BDS* ctx = lock.get();
    if (!ctx)
        return 0;
    ctx->pfnParentCommand = reinterpret_cast<PfnParentCommand>(hostCallback);
    TearDownContext(ctx);
    // The classes go with the last instance (the host counts down before the call).
    const auto* count = reinterpret_cast<const int32_t*>(liveCount);
    if (count && *count == 0)
        UnregisterEngineClasses();
    return 1;
}

}  // namespace

// ---------------------------------------------------------------- context lock

ContextLock::ContextLock(HGLOBAL handle) : handle_(handle), ctx_(nullptr)
{
    if (handle && GlobalSize(handle) >= sizeof(BDS))
        ctx_ = static_cast<BDS*>(GlobalLock(handle));
}

ContextLock::~ContextLock()
{
    if (ctx_)
        GlobalUnlock(handle_);
}

// ---------------------------------------------------------------- the export

extern "C" uint32_t DoDuRavInit(HWND window, HGLOBAL context, uintptr_t a, uintptr_t operation,
                                uintptr_t b, uintptr_t c, uintptr_t d)
{
    InitGuard guard;
    if (!guard.Admitted())
        return 0;
    switch (operation) {
    case INIT_HANDSHAKE:
        return Handshake(a);
    case INIT_CONTEXT:
        return InitialiseContext(context, b, c);
    case INIT_OPEN:
        return OpenContext(window, context, a, b, c, d);
    case INIT_HEAP:
        return AttachHeap(context, a, b, d);
    case INIT_TEARDOWN:
        return TearDown(context, b, d);
    default:
        return 0;
    }
}
