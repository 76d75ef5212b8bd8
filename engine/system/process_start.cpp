// Process creation for every program start, with the roads for another user, and the
// pumping wait for a started program.
#include "engine/system/process_start.h"

#include <cwchar>
#include <string>

#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/core/pump.h"
#include "engine/core/system_flags.h"
#include "engine/dialog/dialog_text.h"
#include "engine/system/logon.h"

namespace {

constexpr wchar_t LOGON_DESKTOP[] = L"winsta0\\default";
constexpr DWORD IDLE_STEP_MS = 100;
constexpr DWORD SETTLE_MS = 20;
constexpr int MSG_WINEXEC_ERROR = 868;   // "WinExec Error:"

// The system lets CreateProcess write into the command line: it gets a copy.
std::wstring Writable(const wchar_t* commandLine)
{
    return std::wstring(commandLine ? commandLine : L"");
}

wchar_t* Buffer(std::wstring& text)
{
    return text.empty() ? nullptr : text.data();
}

// A start on a token follows the logon options: bit 0 puts the program on the interactive
// desktop with a console of its own.
DWORD ApplyLogonDesktop(BDS* ctx, STARTUPINFOW* startup, DWORD flags)
{
    if (ctx->services.nLogonFlags & 1) {
        startup->lpDesktop = const_cast<wchar_t*>(LOGON_DESKTOP);
        flags |= CREATE_NEW_CONSOLE;
    }
    return flags;
}

BOOL StartAsUser(BDS* ctx, HANDLE token, const wchar_t* application, const wchar_t* commandLine, DWORD flags,
                 const wchar_t* directory, STARTUPINFOW* startup, PROCESS_INFORMATION* info)
{
    auto createAsUser = ctx->eng.system.CreateProcessAsUserW;
    if (!createAsUser) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return FALSE;
    }
    STARTUPINFOW local = *startup;
    flags = ApplyLogonDesktop(ctx, &local, flags);
    std::wstring line = Writable(commandLine);
    return createAsUser(token, application, Buffer(line), nullptr, nullptr, FALSE, flags, nullptr, directory, &local,
                        info);
}

std::wstring ComputerName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &size))
        return L".";
    return name;
}

// Whether the system logs a user on interactively for a refused start-with-logon: Windows
// XP with service pack 2 and every later version.
bool InteractiveLogonRetry()
{
    const SystemFlags& os = SystemFacts();
    if (os.major != 5)
        return os.major > 5;
    if (os.minor >= 2)
        return true;
    if (os.minor < 1)
        return false;
    OSVERSIONINFOEXW version{};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    bool known = GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version)) != 0;
#pragma GCC diagnostic pop
    return known && version.wServicePackMajor >= 2;
}

BOOL StartWithLogon(BDS* ctx, const wchar_t* application, const wchar_t* commandLine, DWORD flags,
                    const wchar_t* directory, STARTUPINFOW* startup, PROCESS_INFORMATION* info, const wchar_t* user,
                    const wchar_t* domain, const wchar_t* password, int32_t logonFlags)
{
    auto withLogon = ctx->eng.system.CreateProcessWithLogonW;
    if (!withLogon) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return FALSE;
    }
    std::wstring theDomain = domain ? domain : L"";
    const wchar_t* thePassword = password;
    auto attempt = [&]() {
        std::wstring line = Writable(commandLine);
        return withLogon(user, theDomain.c_str(), thePassword, static_cast<DWORD>(logonFlags), application,
                         Buffer(line), flags, nullptr, directory, startup, info);
    };
    if (attempt())
        return TRUE;
    DWORD error = GetLastError();
    if ((error == ERROR_LOGON_FAILURE || error == ERROR_NO_LOGON_SERVERS) && theDomain == L".") {
        theDomain = ComputerName();
        if (attempt())
            return TRUE;
        error = GetLastError();
    }
    if (error == ERROR_LOGON_FAILURE && (!password || !*password)) {
        thePassword = nullptr;
        if (attempt())
            return TRUE;
        error = GetLastError();
    }
    if (error != ERROR_ACCESS_DENIED || !InteractiveLogonRetry()) {
        SetLastError(error);
        return FALSE;
    }
    // The system refuses the direct road: log the user on, start on his token, log off.
    std::wstring logonDomain = domain && std::wcscmp(domain, L".") == 0 ? ComputerName() : Writable(domain);
    if (!LogonAndImpersonateW(ctx, logonDomain.c_str(), user, password ? password : L"", LOGON32_LOGON_INTERACTIVE,
                              LOGON_GRANT_DESKTOP | LOGON_LOAD_PROFILE)) {
        SetLastError(error);
        return FALSE;
    }
    BOOL started = StartAsUser(ctx, ctx->services.hLogonToken, application, commandLine, flags, directory, startup,
                               info);
    DWORD last = started ? 0 : GetLastError();
    LogonAndImpersonateW(ctx, L"", L"", L"", LOGON32_LOGON_INTERACTIVE, LOGON_GRANT_DESKTOP | LOGON_LOAD_PROFILE);
    SetLastError(last);
    return started;
}

}  // namespace

STARTUPINFOW StartupForShow(WORD showCommand)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK;
    startup.wShowWindow = showCommand;
    return startup;
}

BOOL ProcessStartW(BDS* ctx, const wchar_t* application, const wchar_t* commandLine, DWORD creationFlags,
                   const wchar_t* directory, STARTUPINFOW* startup, PROCESS_INFORMATION* info,
                   const wchar_t* user, const wchar_t* domain, const wchar_t* password, int32_t logonFlags)
{
    *info = PROCESS_INFORMATION{};
    if (logonFlags != NO_LOGON)
        return StartWithLogon(ctx, application, commandLine, creationFlags, directory, startup, info,
                              user ? user : L"", domain, password, logonFlags);
    if (HANDLE token = ctx->services.hLogonToken)
        return StartAsUser(ctx, token, application, commandLine, creationFlags, directory, startup, info);
    std::wstring line = Writable(commandLine);
    return CreateProcessW(application, Buffer(line), nullptr, nullptr, FALSE, creationFlags, nullptr, directory,
                          startup, info);
}

BOOL ProcessStartA(BDS* ctx, const char* application, const char* commandLine, DWORD creationFlags,
                   const char* directory, STARTUPINFOW* startup, PROCESS_INFORMATION* info, const char* user,
                   const char* domain, const char* password, int32_t logonFlags)
{
    std::wstring wideApplication = WideFromNarrow(ctx, application);
    std::wstring wideDirectory = WideFromNarrow(ctx, directory);
    return ProcessStartW(ctx, application && *application ? wideApplication.c_str() : nullptr,
                         WideFromNarrow(ctx, commandLine).c_str(), creationFlags,
                         directory && *directory ? wideDirectory.c_str() : nullptr, startup, info,
                         WideFromNarrow(ctx, user).c_str(), WideFromNarrow(ctx, domain).c_str(),
                         WideFromNarrow(ctx, password).c_str(), logonFlags);
}

void WaitForStartedProgram(BDS* ctx, HANDLE process, bool idleWait, bool untilEnd, bool keepExitCode)
{
    DWORD idleLimit = ctx->eng.ctl.InputIdleTimeout;
    if (idleWait && idleLimit) {
        DWORD start = GetTickCount();
        for (;;) {
            DWORD left = idleLimit - (GetTickCount() - start);
            DWORD outcome = WaitForInputIdle(process, left < IDLE_STEP_MS ? left : IDLE_STEP_MS);
            if (outcome != WAIT_TIMEOUT)
                break;   // idle, or a program without a message queue
            PumpMessages(ctx);
            if (ctx->bCancel || GetTickCount() - start >= idleLimit)
                break;
        }
    }
    if (untilEnd) {
        while (!ctx->bCancel) {
            DWORD outcome = MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_ALLINPUT);
            if (outcome == WAIT_OBJECT_0 || outcome == WAIT_FAILED)
                break;
            PumpMessages(ctx);
            if (ctx->bCancel)
                break;
            Sleep(SETTLE_MS);
        }
    }
    if (keepExitCode) {
        DWORD code = STILL_ACTIVE;
        if (GetExitCodeProcess(process, &code))
            ctx->eng.ctl.LastExitCode = code;
    }
}

void SystemErrorText(DWORD code, const wchar_t* insert, wchar_t* out, size_t room)
{
    if (!out || room == 0)
        return;
    out[0] = 0;
    // Texts that take more than one insert get the same text for each.
    DWORD_PTR inserts[9];
    for (auto& each : inserts)
        each = reinterpret_cast<DWORD_PTR>(insert ? insert : L"");
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY, nullptr, code,
                             MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), out, static_cast<DWORD>(room),
                             reinterpret_cast<va_list*>(inserts));
    if (!n || n >= room) {
        out[0] = 0;
        return;
    }
    while (n > 0 && (out[n - 1] == L'\r' || out[n - 1] == L'\n'))
        out[--n] = 0;
}

void AddStartErrorInfo(BDS* ctx, const wchar_t* systemText)
{
    wchar_t label[256] = {};
    LoadMyStringW(ctx, EngineModule(), MSG_WINEXEC_ERROR, label, 256);
    std::wstring text = std::wstring(label) + L"\n\n    " + (systemText ? systemText : L"");
    AppendExtendedErrorW(ctx, text.c_str());
}
