// The built-ins that start programs and documents: the Run family with its fixed show and
// wait codes, RunShell, RunEnviron, RunWithLogon, Print, ShellExecute and ShellExecuteWait.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/files/file_args.h"
#include "engine/system/process_start.h"
#include "engine/system/program_start.h"

namespace {

constexpr uint16_t ERR_SHELL_LAUNCH = 1449;   // "ShellExecute: Error launching specified file"
constexpr uint16_t ERR_NO_LOGON_START = 1681; // "RunWithLogon: Function not supported in this version of Windows"
constexpr uint16_t ERR_START_FAILED = 1932;   // "WinExec: Function Failed"
constexpr size_t TEXT_CHARS = 4196;
constexpr DWORD SHELL_START_MASK = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;   // 1088

constexpr int NO_DIRECTORY = 0;

// Program, parameters and the directory of argument `directoryArg` (none: NO_DIRECTORY) in
// the call's width, into the start routine.
int32_t Start(BDS* ctx, BuiltinCall& call, int directoryArg, int32_t show, int32_t wait, StartKind kind)
{
    if (!ArgIsWide(call, 1))
        return StartProgramA(ctx, ArgText(ctx, call, 1), ArgText(ctx, call, 2),
                             directoryArg ? ArgText(ctx, call, directoryArg) : "", show, wait, kind);
    StartRequest r{ArgWText(ctx, call, 1), ArgWText(ctx, call, 2),
                   directoryArg ? ArgWText(ctx, call, directoryArg) : L"", show, wait, kind,
                   nullptr, nullptr, nullptr, NO_LOGON};
    return StartProgramW(ctx, r);
}

// The eight built-ins of fixed show and wait codes.
template <int32_t Show, int32_t Wait>
void CaseRunFixed(BDS* ctx, BuiltinCall& call)
{
    SetResultInt(ctx, call.result, Start(ctx, call, NO_DIRECTORY, Show, Wait, StartKind::RunShell));
}

// RunShell(program, parameters, directory, show, wait)
void CaseRunShell(BDS* ctx, BuiltinCall& call)
{
    SetResultInt(ctx, call.result, Start(ctx, call, 3, ArgInt(call, 4), ArgInt(call, 5),
                                         StartKind::RunShell));
}

// RunEnviron(program, parameters, show, wait)
void CaseRunEnviron(BDS* ctx, BuiltinCall& call)
{
    SetResultInt(ctx, call.result, Start(ctx, call, NO_DIRECTORY, ArgInt(call, 3), ArgInt(call, 4), StartKind::RunEnviron));
}

// RunWithLogon(program, parameters, directory, show, wait, user, domain, password, flags)
void CaseRunWithLogon(BDS* ctx, BuiltinCall& call)
{
    if (!WideFormAvailable(ctx))
        return;
    if (!ctx->eng.system.CreateProcessWithLogonW) {
        SetError(ctx, ERR_NO_LOGON_START);
        return;
    }
    StartRequest r{ArgWText(ctx, call, 1), ArgWText(ctx, call, 2), ArgWText(ctx, call, 3), ArgInt(call, 4),
                   ArgInt(call, 5), StartKind::RunWithLogon, ArgWText(ctx, call, 6), ArgWText(ctx, call, 7),
                   ArgWText(ctx, call, 8), ArgInt(call, 9)};
    SetResultInt(ctx, call.result, StartProgramW(ctx, r));
}

// Print(file, directory, show, wait): the wait code is not used.
void CasePrint(BDS* ctx, BuiltinCall& call)
{
    ArgAnsiPath file(ctx, call, 1), directory(ctx, call, 2);   // short forms of names the code page cannot say
    SetResultInt(ctx, call.result, StartProgramA(ctx, file.text(), "", directory.text(),
                                                 ArgInt(call, 3), ArgInt(call, 4), StartKind::Print));
}

const wchar_t* NoneWhenEmpty(const wchar_t* text) { return text && *text ? text : nullptr; }

// ShellExecute(program, parameters, directory, show, verb): 1 when the shell started it.
void CaseShellExecute(BDS* ctx, BuiltinCall& call)
{
    // The shell's wide form: a text that came wide (a file in a folder named outside the
    // ANSI code page) keeps its letters; one that came ANSI is widened as the ANSI form would.
    ArgPath program(ctx, call, 1), parameters(ctx, call, 2), directory(ctx, call, 3), verb(ctx, call, 5);
    if (!*program.text() || !ShellFileFits(program.text())) {
        SetError(ctx, ERR_SHELL_LAUNCH);
        return;
    }
    auto answer = reinterpret_cast<INT_PTR>(
        ShellExecuteW(ctx->hwndParent, NoneWhenEmpty(verb.text()), program.text(),
                      NoneWhenEmpty(parameters.text()), NoneWhenEmpty(directory.text()),
                      ShowCommandOf(ArgInt(call, 4), true)));
    SetResultInt(ctx, call.result, answer > 32 ? 1 : 0);
}

// ShellExecuteWait(program, parameters, directory, show, verb): 1 after the started process
// ended, 0 when the shell reported no process.
void CaseShellExecuteWait(BDS* ctx, BuiltinCall& call)
{
    const wchar_t* program = ArgWText(ctx, call, 1);
    if (!*program || !ShellFileFits(program)) {
        SetError(ctx, ERR_SHELL_LAUNCH);
        return;
    }
    SHELLEXECUTEINFOW shell{};
    shell.cbSize = sizeof shell;
    shell.fMask = SHELL_START_MASK;
    shell.hwnd = ctx->hwndParent;
    shell.lpVerb = NoneWhenEmpty(ArgWText(ctx, call, 5));
    shell.lpFile = program;
    shell.lpParameters = NoneWhenEmpty(ArgWText(ctx, call, 2));
    shell.lpDirectory = NoneWhenEmpty(ArgWText(ctx, call, 3));
    shell.nShow = ShowCommandOf(ArgInt(call, 4), true);
    if (!ShellExecuteExW(&shell)) {
        DWORD code = GetLastError();
        if (code) {
            wchar_t text[TEXT_CHARS] = {};
            SystemErrorText(code, nullptr, text, TEXT_CHARS);
            AddStartErrorInfo(ctx, text);
        }
        SetError(ctx, ERR_START_FAILED);
        return;
    }
    if (!shell.hProcess)
        return;   // answers 0
    WaitForStartedProgram(ctx, shell.hProcess, false, true, false);
    CloseHandle(shell.hProcess);
    SetResultInt(ctx, call.result, 1);
}

const BuiltinRow kRows[] = {
    {614, CasePrint},
    {656, CaseRunFixed<SHOW_NORMAL, WAIT_NOWAIT>},
    {658, CaseRunEnviron},
    {660, CaseRunFixed<SHOW_HIDDEN, WAIT_NOWAIT>},
    {661, CaseRunFixed<SHOW_HIDDEN, WAIT_WAIT>},
    {662, CaseRunFixed<SHOW_ICON, WAIT_NOWAIT>},
    {663, CaseRunFixed<SHOW_ICON, WAIT_WAIT>},
    {664, CaseRunShell},
    {665, CaseRunFixed<SHOW_NORMAL, WAIT_WAIT>},
    {666, CaseRunWithLogon},
    {667, CaseRunFixed<SHOW_ZOOMED, WAIT_NOWAIT>},
    {668, CaseRunFixed<SHOW_ZOOMED, WAIT_WAIT>},
    {679, CaseShellExecute},
    {680, CaseShellExecuteWait},
};

}  // namespace

extern const BuiltinFamily g_ProgramStartBuiltins = {"program-start", kRows,
                                                     static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
