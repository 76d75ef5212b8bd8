// WinHelp(file, command, topic): opens a help file. "HTML" starts the HTML help viewer on
// the file (and the topic); the other commands go to the classic help engine for the
// script's window. Commands are compared without regard to case.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <string>

#include "engine/core/builtin.h"
#include "engine/core/context.h"

namespace {

constexpr uint16_t ERR_HELP_COMMAND = 1217;   // "WinHelp: Invalid SubCommand Requested"
constexpr INT_PTR SHELL_EXECUTE_OK = 32;      // ShellExecute answers above this on success

struct HelpCommand {
    const char* name;
    UINT command;
    enum { NONE, TEXT, NUMBER } data;
};

const HelpCommand kCommands[] = {
    {"CONTENTS", HELP_CONTENTS, HelpCommand::NONE},     {"KEY", HELP_KEY, HelpCommand::TEXT},
    {"PARTIALKEY", HELP_PARTIALKEY, HelpCommand::TEXT}, {"COMMAND", HELP_COMMAND, HelpCommand::TEXT},
    {"QUIT", HELP_QUIT, HelpCommand::NONE},             {"HELPONHELP", HELP_HELPONHELP, HelpCommand::NONE},
    {"CONTEXT", HELP_CONTEXT, HelpCommand::NUMBER},
};

int HtmlHelp(BDS* ctx, const char* file, const char* topic)
{
    std::string parameters = file;
    if (*topic)
        parameters += std::string("::/") + topic;
    auto started = reinterpret_cast<INT_PTR>(
        ShellExecuteA(ctx->hwndParent, nullptr, "HH.EXE", parameters.c_str(), nullptr, SW_SHOW));
    return started > SHELL_EXECUTE_OK ? 1 : 0;
}

void CaseWinHelp(BDS* ctx, BuiltinCall& call)
{
    const char* file = ArgText(ctx, call, 1);
    const char* command = ArgText(ctx, call, 2);
    const char* topic = ArgText(ctx, call, 3);
    if (lstrcmpiA(command, "HTML") == 0) {
        SetResultInt(ctx, call.result, HtmlHelp(ctx, file, topic));
        return;
    }
    for (const HelpCommand& c : kCommands) {
        if (lstrcmpiA(command, c.name) != 0)
            continue;
        ULONG_PTR data = 0;
        if (c.data == HelpCommand::TEXT)
            data = reinterpret_cast<ULONG_PTR>(topic);
        else if (c.data == HelpCommand::NUMBER)
            data = static_cast<ULONG_PTR>(std::atol(topic));
        SetResultInt(ctx, call.result, WinHelpA(ctx->hwndParent, file, c.command, data) ? 1 : 0);
        return;
    }
    SetError(ctx, ERR_HELP_COMMAND);
}

const BuiltinRow kRows[] = {
    {770, CaseWinHelp},
};

}  // namespace

extern const BuiltinFamily g_HelpLauncherBuiltins = {"help-launcher", kRows,
                                                     static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
