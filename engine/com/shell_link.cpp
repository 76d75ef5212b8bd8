// Shell links: ShortcutWrite and ShortcutReadInfo for the shortcut built-ins, and the
// start of a link's target (RunShortcutW/A) for the program starter.
#include "engine/com/shell_link.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/com/com_scope.h"
#include "engine/core/context.h"
#include "engine/core/neighbour_services.h"
#include "engine/core/value.h"
#include "engine/files/hotkey_text.h"

namespace {

constexpr uint16_t ERR_COINIT = 1415;      // "Shortcut functions: CoInitialize failed"
constexpr uint16_t ERR_CREATE = 1416;      // "Shortcut functions: CoCreateInstance failed"
constexpr uint16_t ERR_QUERY = 1417;       // "Shortcut functions: QueryInterface failed"
constexpr uint16_t ERR_LOAD = 1418;        // "Shortcut functions: Error loading shortcut file"
constexpr uint16_t ERR_SAVE = 1420;        // "Shortcut functions: Error saving shortcut file"
constexpr int FIELD_CHARS = 2050;

const CLSID CLSID_FolderShortcutObject = {0x0AFACED1, 0xE828, 0x11D1, {0x91, 0x87, 0xB5, 0x32, 0xF1, 0xE9, 0x57, 0x5D}};

// A field's text: "-1" clears it (an empty text in the link).
const char* FieldText(const char* text) { return std::strcmp(text, "-1") == 0 ? "" : text; }

// A link object of the kind with its IPersistFile, loaded from the file unless it is new.
struct LinkSession {
    ComScope com;
    Held<IShellLinkA> shell;
    Held<IPersistFile> file;
    std::wstring name;

    // false with the error set (1415-1418).
    bool Open(BDS* ctx, int kind, const char* link, bool load)
    {
        if (!com.ok) {
            SetError(ctx, ERR_COINIT);
            return false;
        }
        const CLSID& clsid = kind == LINK_KIND_FOLDER ? CLSID_FolderShortcutObject : CLSID_ShellLink;
        if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, shell.Out()))) {
            SetError(ctx, ERR_CREATE);
            return false;
        }
        if (FAILED(shell->QueryInterface(IID_IPersistFile, file.Out()))) {
            SetError(ctx, ERR_QUERY);
            return false;
        }
        name = WidenText(link, CP_ACP);
        if (load && FAILED(file.p->Load(name.c_str(), STGM_READ))) {
            SetError(ctx, ERR_LOAD);
            return false;
        }
        return true;
    }
};

int ShowModeCode(int show)
{
    switch (show) {
    case SW_SHOWMINNOACTIVE: return 1;
    case SW_SHOWNORMAL: return 2;
    case SW_SHOWMAXIMIZED: return 3;
    default: return 0;
    }
}

std::wstring QuotedIfBlank(const std::wstring& path)
{
    if (path.find(L' ') == std::wstring::npos || (path.size() >= 2 && path.front() == L'"'))
        return path;
    return L"\"" + path + L"\"";
}

}  // namespace

// ---------------------------------------------------------------- writing and reading

int ShortcutWrite(BDS* ctx, const char* link, const char* text1, const char* text2, const char* text3,
                  int32_t number, bool create, int mode, int kind)
{
    LinkSession session;
    if (!session.Open(ctx, kind, link, !create))
        return 0;
    IShellLinkA* shell = session.shell.p;
    if (mode == 1) {
        if (*text1)
            shell->SetPath(FieldText(text1));
        if (*text2)
            shell->SetArguments(FieldText(text2));
        if (*text3)
            shell->SetWorkingDirectory(FieldText(text3));
        if (number)
            shell->SetShowCmd(number);
    } else {
        if (*text1)
            shell->SetDescription(FieldText(text1));
        if (*text2) {
            // The handler gave the hotkey as two bytes, the key and then the modifiers;
            // "-1" clears it.
            WORD hotkey = 0;
            if (std::strcmp(text2, "-1") != 0)
                hotkey = static_cast<WORD>(static_cast<uint8_t>(text2[1]) << 8 | static_cast<uint8_t>(text2[0]));
            shell->SetHotkey(hotkey);
        }
        if (*text3)
            shell->SetIconLocation(FieldText(text3), number);
    }
    if (FAILED(session.file.p->Save(session.name.c_str(), TRUE))) {
        SetError(ctx, ERR_SAVE);
        return 0;
    }
    return 1;
}

int ShortcutReadInfo(BDS* ctx, resultants* result, const char* link, int kind)
{
    LinkSession session;
    if (!session.Open(ctx, kind, link, true))
        return 0;
    IShellLinkA* shell = session.shell.p;
    std::string text;
    char field[FIELD_CHARS];
    auto add = [&](bool ok) {   // one field and the tab after it
        text += ok ? field : "";
        text += '\t';
    };
    field[0] = 0;
    add(SUCCEEDED(shell->GetPath(field, FIELD_CHARS, nullptr, SLGP_RAWPATH)));
    field[0] = 0;
    add(SUCCEEDED(shell->GetArguments(field, FIELD_CHARS)));
    field[0] = 0;
    add(SUCCEEDED(shell->GetWorkingDirectory(field, FIELD_CHARS)));
    int show = 0;
    shell->GetShowCmd(&show);
    std::snprintf(field, sizeof field, "%d", ShowModeCode(show));
    add(true);
    field[0] = 0;
    add(SUCCEEDED(shell->GetDescription(field, FIELD_CHARS)));
    WORD hotkey = 0;
    field[0] = 0;
    add(SUCCEEDED(shell->GetHotkey(&hotkey)) && HotkeyToText(hotkey, field, FIELD_CHARS));
    int icon = 0;
    field[0] = 0;
    add(SUCCEEDED(shell->GetIconLocation(field, FIELD_CHARS, &icon)));
    std::snprintf(field, sizeof field, "%d", icon);
    text += field;
    return SetResultText(ctx, result, text.c_str(), text.size());
}

// ---------------------------------------------------------------- starting a link's target

uint32_t RunShortcutW(BDS* ctx, const wchar_t* link, const wchar_t* parameters, const wchar_t* directory,
                      int showCommand, HANDLE* process, DWORD* processId)
{
    (void)ctx;
    (void)showCommand;   // the link's own show command rules
    if (process)
        *process = nullptr;
    if (processId)
        *processId = 0;
    if (!link || !*link)
        return SHORTCUT_UNREADABLE;
    ComScope com;
    if (!com.ok)
        return SHORTCUT_UNREADABLE;
    Held<IShellLinkW> shell;
    Held<IPersistFile> file;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, shell.Out()))
        || FAILED(shell->QueryInterface(IID_IPersistFile, file.Out())) || FAILED(file.p->Load(link, STGM_READ)))
        return SHORTCUT_UNREADABLE;
    wchar_t path[MAX_PATH] = {}, arguments[MAX_PATH] = {}, folder[MAX_PATH] = {};
    if (FAILED(shell->GetPath(path, MAX_PATH, nullptr, 0)) || !path[0])
        return SHORTCUT_UNREADABLE;
    shell->GetArguments(arguments, MAX_PATH);
    shell->GetWorkingDirectory(folder, MAX_PATH);
    int show = SW_SHOWNORMAL;
    shell->GetShowCmd(&show);

    std::wstring line = QuotedIfBlank(path);
    if (arguments[0])
        line += std::wstring(L" ") + arguments;
    else if (parameters && *parameters)
        line += std::wstring(L" ") + parameters;
    const wchar_t* workIn = folder[0] ? folder : (directory && *directory ? directory : nullptr);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwXSize = 100;
    startup.dwYSize = 100;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK;
    startup.wShowWindow = static_cast<WORD>(show);
    PROCESS_INFORMATION started{};
    std::wstring buffer = line;
    if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, workIn, &startup, &started))
        return GetLastError();
    CloseHandle(started.hThread);
    if (processId)
        *processId = started.dwProcessId;
    if (process)
        *process = started.hProcess;
    else
        CloseHandle(started.hProcess);
    return 0;
}

uint32_t RunShortcutA(BDS* ctx, const char* link, const char* parameters, const char* directory, int showCommand,
                      HANDLE* process, DWORD* processId)
{
    UINT codePage = ctx ? ValueCodePage(ctx) : CP_ACP;
    std::wstring wideLink = WidenText(link, codePage);
    std::wstring wideParameters = WidenText(parameters, codePage);
    std::wstring wideDirectory = WidenText(directory, codePage);
    return RunShortcutW(ctx, wideLink.c_str(), wideParameters.c_str(), wideDirectory.c_str(), showCommand, process,
                        processId);
}
