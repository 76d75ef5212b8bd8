// Opening a web page in the user's browser (the error box's tech-support button): the
// browser command from the classes registry, and the page opened by its address, through
// that command, or through an internet-shortcut file. Nothing here sets an error number.
#include "engine/ui/web_page.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "engine/core/context.h"

namespace {

constexpr int COMMAND_CHARS = 1024;
constexpr int SHORTCUT_NAME_TRIES = 100;

// The default value of a key under HKEY_CLASSES_ROOT; false when there is none.
bool ClassesDefault(const char* key, char* out, DWORD size, DWORD* bytes = nullptr)
{
    HKEY handle;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key, 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS)
        return false;
    DWORD type = 0, got = size - 1;
    LONG status = RegQueryValueExA(handle, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(out), &got);
    RegCloseKey(handle);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    out[got < size ? got : size - 1] = 0;
    if (bytes)
        *bytes = got;
    return true;
}

// The command that opens a web page, from the first place that names one.
bool BrowserCommandLine(char* out, DWORD size)
{
    if (ClassesDefault("http\\shell\\open\\command", out, size) && *out)
        return true;
    char htmlClass[MAX_PATH];
    if (ClassesDefault(".htm", htmlClass, sizeof htmlClass) && *htmlClass) {
        char key[MAX_PATH + 32];
        std::snprintf(key, sizeof key, "%s\\shell\\open\\command", htmlClass);
        if (ClassesDefault(key, out, size) && *out)
            return true;
    }
    if (ClassesDefault(".htm\\shell\\open\\command", out, size) && *out)
        return true;
    return GetProfileStringA("Extensions", "htm", "", out, size) > 0;
}

// The program of a command line: up to the first blank, or a quoted path whole.
void KeepProgram(char* command)
{
    if (*command == '"') {
        if (char* close = std::strchr(command + 1, '"'))
            close[1] = 0;
        return;
    }
    if (char* blank = std::strchr(command, ' '))
        *blank = 0;
}

// The program without the quotes around it.
void Unquoted(const char* command, char* out, size_t size)
{
    size_t n = std::strlen(command);
    if (n >= 2 && command[0] == '"' && command[n - 1] == '"')
        std::snprintf(out, size, "%.*s", static_cast<int>(n - 2), command + 1);
    else
        lstrcpynA(out, command, static_cast<int>(size));
}

bool Launched(HINSTANCE answer) { return reinterpret_cast<INT_PTR>(answer) > 32; }

// The folder for the shortcut file: TMP, TEMP, HOMEPATH, else the Windows folder; with a
// trailing "\".
void ShortcutFolder(char* out, DWORD size)
{
    out[0] = 0;
    const char* names[] = {"TMP", "TEMP", "HOMEPATH"};
    DWORD n = 0;
    for (const char* name : names) {
        n = GetEnvironmentVariableA(name, out, size);
        if (n > 0 && n < size)
            break;
        n = 0;
    }
    if (n == 0) {
        n = GetWindowsDirectoryA(out, size);
        if (n == 0 || n >= size)
            n = 0;
    }
    out[n] = 0;
    if (n && out[n - 1] != '\\' && n + 1 < size) {
        out[n] = '\\';
        out[n + 1] = 0;
    }
}

// Writes "[InternetShortcut]" with the address into a new file of a name no other file has;
// its path goes to `path`. False when no file could be written.
bool WriteShortcut(const char* url, char* path, size_t size)
{
    char folder[MAX_PATH];
    ShortcutFolder(folder, sizeof folder);
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < SHORTCUT_NAME_TRIES && file == INVALID_HANDLE_VALUE; ++attempt) {
        std::snprintf(path, size, "%s$TRMTEMP%08lX%02d.URL", folder, GetCurrentProcessId() ^ GetTickCount(), attempt);
        file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
            return false;
    }
    if (file == INVALID_HANDLE_VALUE)
        return false;
    char text[COMMAND_CHARS + 32];
    int length = std::snprintf(text, sizeof text, "[InternetShortcut]\r\nURL=%s", url);
    if (length < 0 || length >= static_cast<int>(sizeof text))
        length = static_cast<int>(std::strlen(text));
    DWORD written = 0;
    bool ok = WriteFile(file, text, static_cast<DWORD>(length), &written, nullptr) &&
              written == static_cast<DWORD>(length);
    CloseHandle(file);
    if (!ok)
        DeleteFileA(path);
    return ok;
}

}  // namespace

int FindBrowserCommand(char* command, int size)
{
    if (!command || size <= 0)
        return 0;
    command[0] = 0;
    char line[COMMAND_CHARS];
    DWORD bytes = 0;
    if (ClassesDefault("InternetShortcut\\shell\\open\\command", line, sizeof line, &bytes) && bytes > 1)
        return 1;   // empty: the shortcut file's association opens the page
    if (!BrowserCommandLine(line, sizeof line))
        return 0;
    KeepProgram(line);   // a line that begins with a blank leaves nothing
    lstrcpynA(command, line, size);
    return 1;
}

int OpenUrlInBrowser(BDS* ctx, const char* command, const char* url)
{
    if (!url || !*url)
        return 0;
    HWND owner = ctx ? ctx->hwndOwner : nullptr;
    if (Launched(ShellExecuteA(owner, nullptr, url, nullptr, nullptr, SW_SHOW)))
        return 1;
    if (command && *command) {
        char program[COMMAND_CHARS];
        Unquoted(command, program, sizeof program);
        if (Launched(ShellExecuteA(owner, nullptr, program, url, nullptr, SW_SHOW)))
            return 1;
    }

    char path[MAX_PATH + 32];
    if (!WriteShortcut(url, path, sizeof path))
        return 0;
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.hwnd = owner;
    info.lpFile = path;
    info.nShow = SW_SHOW;
    int opened = 0;
    if (ShellExecuteExA(&info) && info.hProcess) {
        // The box never waits for the browser to end: only until it takes input, so that
        // it has read the shortcut before the file goes.
        if (ctx && ctx->eng.ctl.InputIdleTimeout)
            WaitForInputIdle(info.hProcess, ctx->eng.ctl.InputIdleTimeout);
        CloseHandle(info.hProcess);
        opened = 1;
    }
    DeleteFileA(path);
    return opened;
}
