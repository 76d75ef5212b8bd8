// User Account Control: the elevation type of the running script, whether a start would
// need elevation, and what the host program's manifest asks for, with the trust of its
// signature.
#include <windows.h>
#include <wintrust.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "engine/core/builtin.h"
#include "engine/core/context.h"
#include "engine/core/system_flags.h"
#include "engine/files/file_text.h"
#include "engine/system/code_signing.h"

namespace {

constexpr uint16_t ERR_BAD_REQUEST = 1809;   // "Invalid request number"
constexpr size_t MANIFEST_BYTES = 65536;
constexpr DWORD ELEVATION_REQUIRED = 740;   // the program asks for elevation

// 0 without elevation types; else 1 default (no split token), 2 full, 3 limited; 0 when
// the token cannot be asked.
int32_t IsProcessElevated()
{
    if (!SystemFacts().OsIsVistaPlus)
        return 0;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return 0;
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    bool known = GetTokenInformation(token, TokenElevationType, &type, sizeof type, &size) != 0;
    CloseHandle(token);
    return known ? static_cast<int32_t>(type) : 0;
}

// 0 when the command line starts without a prompt (the process is created suspended and
// ended before it runs an instruction), 1 when it needs elevation, -1 otherwise.
int32_t DoUacExePromptTest(const wchar_t* commandLine)
{
    if (!SystemFacts().OsIsVistaPlus)
        return -1;
    std::wstring line(commandLine ? commandLine : L"");
    if (line.empty())
        return -1;   // nothing names a program (the system would not be asked sanely)
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                        nullptr, nullptr, &startup, &info))
        return GetLastError() == ELEVATION_REQUIRED ? 1 : -1;
    if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, info.dwProcessId)) {
        TerminateProcess(process, 0);
        CloseHandle(process);
    } else {
        TerminateProcess(info.hProcess, 0);
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return 0;
}

// The text of the module's manifest (RT_MANIFEST, id 1) into the buffer, at most size - 1
// bytes and never beyond the resource; 1 when it has one.
int LoadResourceFromModule(const char* path, char* buffer, size_t size)
{
    buffer[0] = 0;
    HMODULE module = LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return 0;
    int found = 0;
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const auto* text = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    DWORD bytes = resource ? SizeofResource(module, resource) : 0;
    if (text && bytes && text[0]) {
        size_t n = bytes < size - 1 ? bytes : size - 1;
        std::memcpy(buffer, text, n);
        buffer[n] = 0;
        found = 1;
    }
    FreeLibrary(module);
    return found;
}

// The text after `attribute` and a double quote up to the next quote, searched from the
// manifest's start; "" when the quote does not close.
void AttributeText(const char* manifest, const char* attribute, char* out, size_t size)
{
    out[0] = 0;
    const char* at = std::strstr(manifest, attribute);
    if (!at)
        return;
    const char* start = at + std::strlen(attribute);
    const char* end = std::strchr(start, '"');
    if (!end)
        return;
    size_t n = static_cast<size_t>(end - start);
    if (n >= size)
        n = size - 1;
    std::memcpy(out, start, n);
    out[n] = 0;
}

void CaseUacElevationLevel(BDS* ctx, BuiltinCall& call)
{
    SetResultInt(ctx, call.result, IsProcessElevated());
}

void CaseUacExePromptTest(BDS* ctx, BuiltinCall& call)
{
    SetResultInt(ctx, call.result, DoUacExePromptTest(ArgWText(ctx, call, 1)));
}

// UacManifestSettings(request): 0 whether the host program has a manifest, 1 its execution
// level, 2 its uiAccess, 3 whether its signature is trusted.
void CaseUacManifestSettings(BDS* ctx, BuiltinCall& call)
{
    int32_t request = ArgInt(call, 1);
    if (request > 3) {
        SetError(ctx, ERR_BAD_REQUEST);
        return;
    }
    // Read by ANSI name: a folder named outside the code page is taken in its short form.
    std::string path = ModulePathForAnsiUse(ctx->hHostInstance);
    if (request == 3) {
        const SystemFlags& os = SystemFacts();
        bool trusted = (os.OsIsXpPlus || os.OsIsVistaPlus) && FileSignatureTrusted(path.c_str(), WTD_SAFER_FLAG);
        SetResultInt(ctx, call.result, trusted ? 1 : 0);
        return;
    }
    std::vector<char> manifest(MANIFEST_BYTES);
    int has = LoadResourceFromModule(path.c_str(), manifest.data(), manifest.size());
    if (request <= 0) {
        SetResultInt(ctx, call.result, has);
        return;
    }
    char answer[256] = {};
    if (has && std::strstr(manifest.data(), "requestedExecutionLevel"))
        AttributeText(manifest.data(), request == 1 ? " level=\"" : " uiAccess=\"", answer, sizeof answer);
    SetResultText(ctx, call.result, answer);
}

const BuiltinRow kRows[] = {
    {747, CaseUacElevationLevel},
    {748, CaseUacExePromptTest},
    {749, CaseUacManifestSettings},
};

}  // namespace

extern const BuiltinFamily g_ElevationBuiltins = {"elevation", kRows,
                                                  static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
