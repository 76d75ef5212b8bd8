// StartProgram: the roads a program or document start tries, the association command of a
// document, and the report of a start that failed.
#include "engine/system/program_start.h"

#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <vector>

#include "engine/core/context.h"
#include "engine/core/messages.h"
#include "engine/core/module.h"
#include "engine/core/neighbour_services.h"
#include "engine/dialog/dialog_text.h"
#include "engine/files/path_split.h"
#include "engine/system/input_block.h"
#include "engine/system/process_start.h"
#include "engine/system/program_search.h"
#include "engine/system/registry_text.h"

namespace {

constexpr uint16_t ERR_BAD_WAIT = 3383;      // "Execute function error: 'Wait' parameter bad"
constexpr uint16_t ERR_BAD_SHOW = 3384;      // "Execute function error: 'Display type' parameter bad"
constexpr uint16_t ERR_WINEXEC_BASE = 1900;  // 1900 + the shell's answer, where such a message exists
constexpr uint16_t ERR_START_FAILED = 1932;  // "WinExec: Function Failed"
constexpr int MSG_BAD_SHORTCUT = 867;        // "Invalid shortcut (.LNK) file"
constexpr uint32_t NO_EXIT_CODE = 99999;
constexpr size_t COMMAND_CHARS = 8193;
constexpr size_t NAME_CHARS = 260;
constexpr size_t TEXT_CHARS = 4196;
constexpr DWORD SHELL_START_MASK = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;   // 1088
constexpr DWORD ELEVATION_REQUIRED = 740;   // the program asks for elevation

bool IsQuoted(const wchar_t* text) { return text[0] == L'"'; }

// " parameters", or nothing when there are none.
std::wstring ParameterTail(const wchar_t* parameters)
{
    return parameters && *parameters ? std::wstring(L" ") + parameters : std::wstring();
}

std::wstring Quoted(const wchar_t* text)
{
    return IsQuoted(text) ? std::wstring(text) : L"\"" + std::wstring(text) + L"\"";
}

// The name without the quotes around it.
std::wstring Unquoted(const wchar_t* text)
{
    std::wstring name(text);
    if (!name.empty() && name.front() == L'"')
        name.erase(0, 1);
    if (!name.empty() && name.back() == L'"')
        name.pop_back();
    return name;
}

std::wstring Cut(std::wstring text)
{
    if (text.size() > COMMAND_CHARS)
        text.resize(COMMAND_CHARS);
    return text;
}

// ---------------------------------------------------------------- the environment's PATH

// Puts the App Paths entry's folders in front of PATH for one start; the destructor puts
// the old value back, whatever the start did.
class PathPrefix {
public:
    PathPrefix(BDS* ctx, const wchar_t* program)
    {
        wchar_t folders[NAME_CHARS] = {};
        if (!FindProgramPathW(ctx, program, folders, NAME_CHARS, PROGRAM_SEARCH_PATH))
            return;
        DWORD needed = GetEnvironmentVariableW(L"PATH", nullptr, 0);
        if (!needed)
            return;   // the process has no PATH
        old_.assign(needed, L'\0');
        DWORD n = GetEnvironmentVariableW(L"PATH", old_.data(), needed);
        if (n >= needed)
            return;
        old_.resize(n);
        std::wstring prefix = ExpandedEnvironmentText(folders);
        if (prefix.empty())
            return;
        if (prefix.back() != L';')
            prefix += L';';
        if (old_.size() >= prefix.size() &&
            CompareStringOrdinal(old_.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                 static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL)
            return;
        std::wstring rest = !old_.empty() && old_.front() == L';' ? old_.substr(1) : old_;
        changed_ = SetEnvironmentVariableW(L"PATH", (prefix + rest).c_str()) != 0;
    }
    ~PathPrefix()
    {
        if (changed_)
            SetEnvironmentVariableW(L"PATH", old_.c_str());
    }
    PathPrefix(const PathPrefix&) = delete;
    PathPrefix& operator=(const PathPrefix&) = delete;

private:
    std::wstring old_;
    bool changed_ = false;
};

// ---------------------------------------------------------------- associations

// The default value of a key of HKEY_CLASSES_ROOT (a REG_EXPAND_SZ one expanded).
std::wstring ClassesText(const std::wstring& key)
{
    HKEY opened;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return std::wstring();
    std::wstring text;
    DWORD type = 0;
    bool found = ReadRegistryText(opened, nullptr, COMMAND_CHARS, text, &type);
    RegCloseKey(opened);
    if (!found)
        return std::wstring();
    return type == REG_EXPAND_SZ ? ExpandedEnvironmentText(text) : text;
}

// The "open" command of a document's extension: through the class its extension names,
// else below the extension's own key.
std::wstring AssociationCommand(const std::wstring& document)
{
    wchar_t extension[NAME_CHARS] = {};
    PathSplitW(document.c_str(), nullptr, nullptr, 0, nullptr, extension);
    if (!extension[0])
        return std::wstring();
    std::wstring dotted = L"." + std::wstring(extension);
    std::wstring documentClass = ClassesText(dotted);
    std::wstring command;
    if (!documentClass.empty())
        command = ClassesText(documentClass + L"\\shell\\open\\command");
    if (command.empty())
        command = ClassesText(dotted + L"\\shell\\open\\command");
    return command;
}

// The words of a parameter text: runs of characters between blanks outside double quotes
// (the quotes stay part of the words), as [start, end) positions.
std::vector<std::pair<size_t, size_t>> Words(const std::wstring& text)
{
    std::vector<std::pair<size_t, size_t>> words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == L' ')
            ++i;
        if (i >= text.size())
            break;
        size_t start = i;
        bool quoted = false;
        while (i < text.size() && (quoted || text[i] != L' ')) {
            if (text[i] == L'"')
                quoted = !quoted;
            ++i;
        }
        words.emplace_back(start, i);
    }
    return words;
}

std::wstring ExpandTemplate(const std::wstring& pattern, const wchar_t* document, const std::wstring& parameters)
{
    auto words = Words(parameters);
    std::wstring out;
    size_t lastUsed = 0;   // words used so far: "%*" gives those after them
    for (size_t i = 0; i < pattern.size() && out.size() < COMMAND_CHARS; ++i) {
        wchar_t c = pattern[i];
        if (c != L'%' || i + 1 >= pattern.size()) {
            out += c;
            continue;
        }
        wchar_t next = pattern[i + 1];
        if (next == L'1') {
            out += document;
            ++i;
        } else if (next >= L'2' && next <= L'9') {
            size_t word = static_cast<size_t>(next - L'1');   // %2 is the first word
            if (word <= words.size())
                out.append(parameters, words[word - 1].first, words[word - 1].second - words[word - 1].first);
            if (word > lastUsed)
                lastUsed = word;
            ++i;
        } else if (next == L'*') {
            if (lastUsed < words.size())
                out.append(parameters, words[lastUsed].first, std::wstring::npos);
            ++i;
        } else if (next == L'%') {
            out += L"%%";
            ++i;
        } else {
            out += L'%';
        }
    }
    return Cut(out);
}

// ---------------------------------------------------------------- one start

struct Attempt {
    bool made = false;
    DWORD error = 0;
    std::wstring line;
};

struct Started {
    HANDLE process = nullptr;
    DWORD id = 0;
};

class Starter {
public:
    Starter(BDS* ctx, const StartRequest& r, int showCommand) : ctx_(ctx), r_(r)
    {
        flags_ = ctx->eng.ctl.CreateProcessFlags;
        if (ctx->eng.ctl.NewConsoleForPrograms && !(flags_ & DETACHED_PROCESS))
            flags_ |= CREATE_NEW_CONSOLE;
        startup_ = StartupForShow(static_cast<WORD>(showCommand));
        directory_ = r.directory && *r.directory ? r.directory : nullptr;
        showCommand_ = showCommand;
    }

    // Tries the roads in order; true once one started.
    bool Run(Started* started)
    {
        std::wstring parameters = ParameterTail(r_.parameters);
        wchar_t found[NAME_CHARS] = {};
        if (FindProgramPathW(ctx_, r_.program, found, NAME_CHARS, PROGRAM_FULL_PATH)) {
            PathPrefix prefix(ctx_, r_.program);
            if (Start(Quoted(found) + parameters, &appPaths_, started))
                return true;
        }
        if (Start(Quoted(r_.program) + parameters, &quoted_, started))
            return true;
        DWORD last = quoted_.error;
        if (last == ERROR_FILE_NOT_FOUND && !IsQuoted(r_.program)) {
            if (Start(std::wstring(r_.program) + parameters, &unquoted_, started))
                return true;
            last = unquoted_.error;
        }
        if (last == ERROR_BAD_EXE_FORMAT) {
            if (ByAssociation(started))
                return true;
            if (association_.made)
                last = association_.error;
        }
        if (last == ERROR_FILE_NOT_FOUND || last == ERROR_BAD_EXE_FORMAT)
            return ByShortcut(started);
        return false;
    }

    // Message 868 and the system's text of the attempt that tells most.
    void Report()
    {
        const Attempt* told = &quoted_;
        if (association_.made)
            told = &association_;
        else if (quoted_.error != 0 && quoted_.error != ERROR_FILE_NOT_FOUND && quoted_.error != ERROR_BAD_EXE_FORMAT)
            told = &quoted_;
        else if (unquoted_.made && unquoted_.error != quoted_.error)
            told = &unquoted_;
        else if (shortcut_.made)
            told = &shortcut_;
        else if (appPaths_.made)
            told = &appPaths_;

        wchar_t text[TEXT_CHARS] = {};
        if (told == &shortcut_ && shortcutUnreadable_)
            LoadMyStringW(ctx_, EngineModule(), MSG_BAD_SHORTCUT, text, TEXT_CHARS);
        else
            SystemErrorText(told->error, told->line.c_str(), text, TEXT_CHARS);
        std::wstring message = text;
        if (told->error == ELEVATION_REQUIRED) {
            wchar_t self[NAME_CHARS] = {};
            GetModuleFileNameW(nullptr, self, NAME_CHARS);
            message += std::wstring(L"  ") + self + L" does not have sufficient elevation to run " + told->line +
                       L".  Use ShellExecute?";
        }
        AddStartErrorInfo(ctx_, message.c_str());
    }

private:
    bool Start(const std::wstring& line, Attempt* attempt, Started* started)
    {
        attempt->made = true;
        attempt->line = Cut(line);
        PROCESS_INFORMATION info{};
        STARTUPINFOW startup = startup_;
        if (ProcessStartW(ctx_, nullptr, attempt->line.c_str(), flags_, directory_, &startup, &info, r_.user,
                          r_.domain, r_.password, r_.logonFlags)) {
            attempt->error = 0;
            CloseHandle(info.hThread);
            started->process = info.hProcess;
            started->id = info.dwProcessId;
            return true;
        }
        attempt->error = GetLastError();
        return false;
    }

    bool ByAssociation(Started* started)
    {
        std::wstring document = Unquoted(r_.program);
        std::wstring command = AssociationCommand(document);
        if (!command.empty())
            return Start(AssociationCommandLine(command, document.c_str(), r_.parameters), &association_, started);
        wchar_t program[NAME_CHARS] = {};
        auto answer = reinterpret_cast<INT_PTR>(FindExecutableW(document.c_str(), directory_, program));
        if (answer <= 32 || !program[0])
            return false;
        std::wstring line = std::wcschr(program, L' ') ? Quoted(program) : std::wstring(program);
        return Start(line + L" " + document + ParameterTail(r_.parameters), &association_, started);
    }

    bool ByShortcut(Started* started)
    {
        wchar_t link[NAME_CHARS] = {};
        std::wstring name = Unquoted(r_.program);
        DWORD n = SearchPathW(nullptr, name.c_str(), L".LNK", NAME_CHARS, link, nullptr);
        if (!n || n >= NAME_CHARS)
            return false;
        shortcut_.made = true;
        shortcut_.line = link;
        uint32_t code = RunShortcutW(ctx_, link, r_.parameters, directory_, showCommand_, &started->process,
                                     &started->id);
        if (code == 0)
            return true;
        shortcutUnreadable_ = code == SHORTCUT_UNREADABLE;
        shortcut_.error = shortcutUnreadable_ ? 0 : code;
        SHELLEXECUTEINFOW shell{};
        shell.cbSize = sizeof shell;
        shell.fMask = SHELL_START_MASK;
        shell.hwnd = ctx_->hwndParent;
        shell.lpFile = link;
        shell.lpParameters = r_.parameters && *r_.parameters ? r_.parameters : nullptr;
        shell.lpDirectory = directory_;
        shell.nShow = showCommand_;
        if (!ShellExecuteExW(&shell))
            return false;
        started->process = shell.hProcess;
        started->id = shell.hProcess ? GetProcessId(shell.hProcess) : 0;
        return true;
    }

    BDS* ctx_;
    const StartRequest& r_;
    DWORD flags_;
    STARTUPINFOW startup_;
    const wchar_t* directory_;
    int showCommand_;
    Attempt appPaths_, quoted_, unquoted_, association_, shortcut_;
    bool shortcutUnreadable_ = false;
};

// Print: the shell's "print" verb; a failure is 1900 plus the shell's answer where such a
// message exists, else 1932.
int32_t PrintDocument(BDS* ctx, const StartRequest& r, int showCommand)
{
    const wchar_t* parameters = r.parameters && *r.parameters ? r.parameters : nullptr;
    const wchar_t* directory = r.directory && *r.directory ? r.directory : nullptr;
    if (!ShellFileFits(r.program)) {
        SetError(ctx, ERR_START_FAILED);
        return 0;
    }
    auto answer = reinterpret_cast<INT_PTR>(
        ShellExecuteW(ctx->hwndParent, L"print", r.program, parameters, directory, showCommand));
    if (answer > 32)
        return 1;
    auto number = static_cast<uint16_t>(ERR_WINEXEC_BASE + (answer >= 0 ? answer : 0));
    if (!LoadMyString(ctx, EngineModule(), number, ctx->szWorkBuf, TEXTBUF))
        number = ERR_START_FAILED;
    SetError(ctx, number);
    return 0;
}

}  // namespace

int ShowCommandOf(int32_t show, bool forShell)
{
    switch (show) {
    case SHOW_HIDDEN: return SW_HIDE;
    case SHOW_ICON: return SW_MINIMIZE;
    case SHOW_NORMAL: return forShell ? SW_SHOW : SW_SHOWNORMAL;
    case SHOW_ZOOMED: return SW_MAXIMIZE;
    case SHOW_NOACTIVATE: return SW_SHOWNOACTIVATE;
    default: return SW_SHOWNORMAL;
    }
}

std::wstring AssociationCommandLine(const std::wstring& command, const wchar_t* document, const wchar_t* parameters)
{
    size_t at = command.find_first_not_of(L' ');
    if (at == std::wstring::npos)
        return std::wstring();
    size_t end;
    if (command[at] == L'"') {
        size_t close = command.find(L'"', at + 1);
        end = close == std::wstring::npos ? command.size() : close + 1;
    } else {
        end = command.find(L' ', at);
        if (end == std::wstring::npos)
            end = command.size();
    }
    std::wstring program = command.substr(at, end - at);
    std::wstring pattern = end < command.size() ? command.substr(end + 1) : std::wstring();
    if (pattern.find(L"%1") == std::wstring::npos)
        return Cut(program + L" \"" + document + L"\"");
    return Cut(program + L" " + ExpandTemplate(pattern, document, parameters ? parameters : L""));
}

int32_t StartProgramW(BDS* ctx, const StartRequest& r)
{
    bool waitForEnd = false, answerId = false, answerExitCode = false;
    if (r.kind != StartKind::Print) {
        switch (r.wait) {
        case WAIT_NOWAIT: break;
        case WAIT_WAIT: waitForEnd = true; break;
        case WAIT_GETPROCID: answerId = true; break;
        case WAIT_GETEXITCODE: waitForEnd = answerExitCode = true; break;
        default:
            SetError(ctx, ERR_BAD_WAIT);
            return 0;
        }
    }
    if (r.show != SHOW_HIDDEN && (r.show < SHOW_ICON || r.show > SHOW_NOACTIVATE)) {
        SetError(ctx, ERR_BAD_SHOW);
        return 0;
    }
    int showCommand = ShowCommandOf(r.show, false);
    ctx->eng.ctl.LastExitCode = NO_EXIT_CODE;
    if (r.show != SHOW_HIDDEN)
        PlayEventSound(ctx, "StartProgram", SOUND_BOX);
    if (r.kind == StartKind::Print)
        return PrintDocument(ctx, r, showCommand);

    Starter starter(ctx, r, showCommand);
    Started started;
    if (!starter.Run(&started)) {
        if (ctx->ErrorMode != EM_OFF)
            starter.Report();
        SetError(ctx, ERR_START_FAILED);
        return 0;
    }
    if (started.process) {
        WaitForStartedProgram(ctx, started.process, true, waitForEnd, waitForEnd);
        CloseHandle(started.process);
    }
    if (answerId)
        return static_cast<int32_t>(started.id);
    if (answerExitCode)
        return static_cast<int32_t>(ctx->eng.ctl.LastExitCode);
    return 1;
}

int32_t StartProgramA(BDS* ctx, const char* program, const char* parameters, const char* directory, int32_t show,
                      int32_t wait, StartKind kind)
{
    std::wstring wideProgram = WideFromNarrow(ctx, program);
    std::wstring wideParameters = WideFromNarrow(ctx, parameters);
    std::wstring wideDirectory = WideFromNarrow(ctx, directory);
    StartRequest r{wideProgram.c_str(), wideParameters.c_str(), wideDirectory.c_str(), show, wait, kind,
                   nullptr, nullptr, nullptr, NO_LOGON};
    return StartProgramW(ctx, r);
}
