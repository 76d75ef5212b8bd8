// Starting a file the way the old program manager did, for the host's service request 16:
// a program file directly, a document through the program that the user's WIN.INI section
// "Extensions" assigns to its extension.
#include "engine/system/start_by_extension.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "engine/core/context.h"
#include "engine/core/pump.h"
#include "engine/system/input_block.h"
#include "engine/system/process_start.h"

namespace {

constexpr uint16_t ERR_START_FAILED = 1932;  // "WinExec: Function Failed"
constexpr uint16_t ERR_NO_APPLICATION = 1933; // "WinExec: No application defined for data file"
constexpr uint32_t NO_EXIT_CODE = 99999;
constexpr int STARTED = 100;
constexpr DWORD PROFILE_CHARS = 2050;
constexpr size_t EXTENSION_CHARS = 4;
constexpr size_t ENTRY_MIN_CHARS = 6;
constexpr DWORD CURSOR_SETTLE_MS = 20;

// The extension of a name: after its last "." when that follows the last backslash, at
// most four characters, a trailing blank dropped; "" when there is none.
std::string ExtensionOf(const std::string& name)
{
    size_t dot = name.rfind('.');
    size_t slash = name.rfind('\\');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::string();
    std::string extension = name.substr(dot + 1, EXTENSION_CHARS);
    if (!extension.empty() && extension.back() == ' ')
        extension.pop_back();
    return extension;
}

bool IsProgramExtension(const std::string& extension)
{
    for (const char* kind : {"EXE", "COM", "PIF", "BAT"})
        if (lstrcmpiA(extension.c_str(), kind) == 0)
            return true;
    return false;
}

// The wait cursor for the time of a start (the context's cursors, messages pumped briefly).
class WaitCursor {
public:
    explicit WaitCursor(BDS* ctx) : ctx_(ctx), former_(ctx->hCursorCurrent) { Show(ctx->hCursorWait); }
    ~WaitCursor() { Show(former_); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    void Show(HCURSOR cursor)
    {
        if (cursor) {
            ctx_->hCursorCurrent = cursor;
            SetCursor(cursor);
        }
        WaitPumping(ctx_, CURSOR_SETTLE_MS);
    }
    BDS* ctx_;
    HCURSOR former_;
};

}  // namespace

int RunCommandLine(BDS* ctx, const char* commandLine, uint16_t showCommand, int wait)
{
    ctx->eng.ctl.LastExitCode = NO_EXIT_CODE;
    if (showCommand != SW_HIDE)
        PlayEventSound(ctx, "StartProgram", SOUND_BOX);
    STARTUPINFOW startup = StartupForShow(showCommand);
    PROCESS_INFORMATION info{};
    if (!ProcessStartA(ctx, nullptr, commandLine, ctx->eng.ctl.CreateProcessFlags, nullptr, &startup, &info, nullptr,
                       nullptr, nullptr, NO_LOGON)) {
        SetError(ctx, ERR_START_FAILED);
        return 0;
    }
    WaitForStartedProgram(ctx, info.hProcess, true, wait != 0, wait != 0);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return STARTED;
}

int ProgramKindByExt(BDS* ctx, uint16_t showCommand, const char* fileText, uint32_t noExtensionIsProgram, int wait)
{
    if (!fileText || !*fileText)
        return 0;
    std::string text(fileText);
    size_t blank = text.find(' ');
    std::string name = text.substr(0, blank);
    std::string arguments = blank == std::string::npos ? std::string() : text.substr(blank + 1);
    std::string extension = ExtensionOf(name);

    std::string commandLine;
    if (IsProgramExtension(extension) || (extension.empty() && noExtensionIsProgram)) {
        if (extension.empty())
            name += ".EXE";
        commandLine = name + " " + arguments;
    } else {
        char entry[PROFILE_CHARS] = {};
        GetProfileStringA("EXTENSIONS", extension.c_str(), "", entry, PROFILE_CHARS);
        if (!entry[0]) {
            GetProfileStringA("EXTENSIONS", "*", "", entry, PROFILE_CHARS);
            if (entry[0])
                lstrcpynA(entry + std::strlen(entry), (" ^." + extension).c_str(),
                          static_cast<int>(PROFILE_CHARS - std::strlen(entry)));
        }
        if (std::strlen(entry) < ENTRY_MIN_CHARS) {
            SetError(ctx, ERR_NO_APPLICATION);
            return 0;
        }
        // "^" stands for the document's name without its extension.
        std::string stem = extension.empty() ? name : name.substr(0, name.rfind('.'));
        std::string expanded;
        for (const char* p = entry; *p && expanded.size() < PROFILE_CHARS; ++p)
            expanded += *p == '^' ? stem : std::string(1, *p);
        if (expanded.size() > PROFILE_CHARS)
            expanded.resize(PROFILE_CHARS);
        size_t start = expanded.find_first_not_of(' ');
        size_t cut = expanded.find(' ', start);
        std::string program = expanded.substr(start, cut == std::string::npos ? std::string::npos : cut - start);
        std::string rest = cut == std::string::npos ? std::string() : expanded.substr(cut + 1);
        if (!IsProgramExtension(ExtensionOf(program))) {
            SetError(ctx, ERR_NO_APPLICATION);
            return 0;
        }
        commandLine = program + " " + rest;
    }
    WaitCursor cursor(ctx);
    return RunCommandLine(ctx, commandLine.c_str(), showCommand, wait) > 32 ? 1 : 0;
}
