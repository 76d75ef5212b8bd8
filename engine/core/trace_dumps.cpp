// The trace's snapshots: its header, the variable table, the keyword tables, the structure
// stack, the settings file, the keyword lookup and a loaded extender.
#include "engine/core/trace_dumps.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/core/keyword_lookup.h"
#include "engine/core/module.h"
#include "engine/core/numtext.h"
#include "engine/core/system_flags.h"
#include "engine/core/text_bounded.h"
#include "engine/core/tokenizer.h"
#include "engine/core/trace.h"
#include "engine/files/file_text.h"
#include "engine/files/settings.h"
#include "engine/native/addon_keywords.h"
#include "engine/native/host_call.h"
#include "engine/system/code_signing.h"

namespace {

constexpr int HOST_VERSION_FUNCTION = 1;    // the host's function 1001 answers its version
constexpr int MSG_ENGINE_VERSION = 99;
constexpr size_t VARIABLE_TEXT_BYTES = 255;

// A dump is written while the trace is on; a forced one whenever a file is named.
bool DumpWanted(const BDS* ctx, bool forced) { return forced ? ctx->trace.szTraceFile[0] != 0 : TraceIsOn(ctx); }

void EndDump(TraceText& out, const char* endLine, bool stars)
{
    out.Line(endLine);
    if (stars)
        out.Repeat('*', 60);
    out.Line();
}

// ---------------------------------------------------------------- header lines

std::string PlatformLine()
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExA(&version);
#pragma GCC diagnostic pop
    const char* platform = version.dwPlatformId == VER_PLATFORM_WIN32_NT        ? "NT"
                           : version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS ? "9x"
                                                                                 : "??";
    char line[256];
    std::snprintf(line, sizeof line, "Windows platform: %s, version: %lu.%lu, build: %lu", platform,
                  version.dwMajorVersion, version.dwMinorVersion, version.dwBuildNumber & 0xFFFF);
    std::string text = line;
    if (version.szCSDVersion[0])
        text += std::string(" (") + version.szCSDVersion + ")";
    return text;
}

bool PerformanceCountersDisabled()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\PerfProc\\Performance", 0,
                      KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0, value = 0, size = sizeof value;
    bool disabled = RegQueryValueExA(key, "Disable Performance Counters", nullptr, &type,
                                     reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
                    type == REG_DWORD && value == 1;
    RegCloseKey(key);
    return disabled;
}

// The value of attribute `name` inside the element text (empty when absent).
std::string AttributeValue(const std::string& element, const char* name)
{
    std::string key = std::string(name) + "=";
    size_t at = element.find(key);
    if (at == std::string::npos || at + key.size() >= element.size())
        return "";
    char quote = element[at + key.size()];
    if (quote != '"' && quote != '\'')
        return "";
    size_t start = at + key.size() + 1;
    size_t end = element.find(quote, start);
    return end == std::string::npos ? "" : element.substr(start, end - start);
}

std::string ManifestLine()
{
    std::string line = "UAC Manifest Settings:";
    HMODULE program = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(program, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));   // RT_MANIFEST
    HGLOBAL loaded = found ? LoadResource(program, found) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (!bytes)
        return line + " <none>";
    std::string manifest(bytes, SizeofResource(program, found));
    size_t at = manifest.find("requestedExecutionLevel");
    if (at == std::string::npos)
        return line + " <none>";
    size_t end = manifest.find('>', at);
    std::string element = manifest.substr(at, end == std::string::npos ? std::string::npos : end - at);
    return line + " level=" + AttributeValue(element, "level") + " uiAccess=" + AttributeValue(element, "uiAccess");
}

const char* ElevationLevel()
{
    if (!SystemFacts().OsIsVistaPlus)
        return "Unsupported Platform";
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return "<Unknown>";
    TOKEN_ELEVATION_TYPE type{};
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const char* level = "<Unknown>";
    if (GetTokenInformation(token, TokenElevationType, &type, sizeof type, &size)) {
        if (type == TokenElevationTypeFull)
            level = "Elevated";
        else if (type == TokenElevationTypeLimited)
            level = "Admin Not Elevated";
        else if (GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size))
            level = elevation.TokenIsElevated ? "Elevated" : "Standard User or Disabled";
    }
    CloseHandle(token);
    return level;
}

// ---------------------------------------------------------------- variables

// A variable's value as the dump shows it.
std::string VariableText(BDS* ctx, const VariableEntry& v)
{
    uint32_t flags = v.flags;
    if (flags == 0)
        return "<undefined>";
    if (flags == VF_UNINIT)
        return "<uninitialized>";
    if (flags & VF_ARRAY)
        return "<array>";
    char text[VARIABLE_TEXT_BYTES + 1];
    if ((flags & VF_BINBUF) && (flags & VF_INT)) {
        std::snprintf(text, sizeof text, "%ld  <binary buffer>", static_cast<long>(v.i32));
        return text;
    }
    if (flags & VF_VARIANT && !(flags & (VF_STRING | VF_INT | VF_INT64 | VF_FLOAT | VF_UNICODE))) {
        VARIANT shown;
        VariantInit(&shown);
        std::string result = "<complex data type>";
        if (SUCCEEDED(VariantChangeType(&shown, const_cast<VARIANT*>(&v.var), 0, VT_BSTR)) && shown.bstrVal) {
            int n = WideCharToMultiByte(CP_ACP, 0, shown.bstrVal, -1, text, sizeof text, nullptr, nullptr);
            text[n > 0 ? n - 1 : 0] = 0;
            result = text;
        }
        VariantClear(&shown);
        return result;
    }
    uint16_t saved = ctx->nErrorCode;
    if (!ValueHeadToText(ctx, &v, text, sizeof text))
        text[0] = 0;
    ctx->nErrorCode = saved;
    return text;
}

void AppendKeywordLine(TraceText& out, const KeywordRecord& k)
{
    char line[160];
    std::snprintf(line, sizeof line, "%4u,  %u,  %08lX%08lX,  %8lX,  %2u,  %s", k.id, k.type,
                  static_cast<unsigned long>(k.signature >> 32), static_cast<unsigned long>(k.signature & 0xFFFFFFFF),
                  static_cast<unsigned long>(k.arity), k.nameLength, k.name);
    out.Line(line);
}

}  // namespace

// ---------------------------------------------------------------- the header

void WriteTraceHeader(BDS* ctx, TraceText& out)
{
    out.Repeat('=', 30);
    out.Line(TraceDateTime(ctx).c_str());
    char host[TRACE_TEXT_SIZE];
    AskHostText(ctx, HOST_VERSION_FUNCTION, host, sizeof host);
    out.Line(host);
    char version[64] = "";
    LoadStringA(EngineModule(), MSG_ENGINE_VERSION, version, sizeof version);
    out.Line((std::string("ZAL DLL ") + version).c_str());
    if (ctx->szSourceFile[0])
        out.Line(ctx->szSourceFile);
    out.Line(PlatformLine().c_str());
    out.Line((std::string("ErrorMode: ") + ErrorModeName(ctx->ErrorMode)).c_str());
    if (PerformanceCountersDisabled())
        out.Line("Performance counters are disabled (HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\"
                 "PerfProc\\Performance[Disable Performance Counters])");
    std::string program = ModulePathForAnsiUse(nullptr);     // its short form in a folder named outside the code page
    out.Line((std::string("Valid Code Signature: ") + (FileSignatureTrusted(program.c_str()) ? "Yes" : "No")).c_str());
    out.Line(ManifestLine().c_str());
    out.Line((std::string("UAC Elevation Level: ") + ElevationLevel()).c_str());
    out.Repeat('=', 30);
}

// ---------------------------------------------------------------- dumps

int DumpVariableTable(BDS* ctx, bool forced)
{
    if (!DumpWanted(ctx, forced) || !ctx->pVars)
        return 0;
    TraceText out;
    out.Line("---------- Begin variable table dump ----------");
    for (uint32_t i = 1; i < ctx->nVarUsed; ++i) {
        const VariableEntry& v = ctx->pVars[i];
        if (!v.name[0])
            continue;
        char line[VARNAMESIZE + VARIABLE_TEXT_BYTES + 16];
        std::snprintf(line, sizeof line, "%-13s  %s", v.name, VariableText(ctx, v).c_str());
        out.Line(line);
    }
    EndDump(out, "----------- End variable table dump -----------", true);
    TraceFlush(ctx, out);
    return 1;
}

int DumpFunctionTable(BDS* ctx, bool forced)
{
    if (!DumpWanted(ctx, forced))
        return 0;
    TraceText out;
    out.Line("---------- Begin function table dump ----------");
    for (uint32_t i = 0; i < NKEYTOKENS; ++i)
        AppendKeywordLine(out, g_KeywordTable[i]);
    out.Line("------------------ Extenders ------------------");
    if (const KeywordRecord* rows = AddonRows(ctx))
        for (uint32_t i = 0; i < ctx->nNextExtEntry && i < ADDON_COUNT; ++i)
            if (rows[i].nameLength)
                AppendKeywordLine(out, rows[i]);
    EndDump(out, "----------- End function table dump -----------", true);
    TraceFlush(ctx, out);
    return 1;
}

int DumpStructureStack(BDS* ctx, bool forced)
{
    if (!DumpWanted(ctx, forced))
        return 0;
    TraceText out;
    out.Line("---------- Begin structure stack dump ----------");
    char line[TRACE_LINE_SIZE];
    for (uint32_t i = 0; i < ctx->nStructDepth && i < MAX_STRUCT_FRAMES; ++i) {
        FormatStackEntry(ctx, i, ctx->aStructFrames[i], line, sizeof line, true, nullptr);
        out.Line(line);
    }
    EndDump(out, "-------- End structure stack dump --------", false);
    TraceFlush(ctx, out);
    return static_cast<int>(ctx->nStructDepth);
}

int DumpSettingsIni(BDS* ctx)
{
    if (!TraceIsOn(ctx))
        return 0;
    TraceText out;
    out.Line("---------- Begin TRIMVALE.INI dump ----------");
    std::wstring path = SettingsFolderWide(true) + FileNameToWide(SETTINGS_INI_NAME);
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, path.c_str());     // flush the system's cache of it
    UINT mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, ctx->eng.ctl.ReadShareMode, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    SetErrorMode(mode);
    if (file == INVALID_HANDLE_VALUE) {
        out.Line("<File not found>");
    } else {
        LARGE_INTEGER size{};
        std::string bytes;
        DWORD read = 0;
        bool ok = GetFileSizeEx(file, &size) && size.QuadPart < 0x10000000;
        if (ok) {
            bytes.resize(static_cast<size_t>(size.QuadPart));
            ok = bytes.empty() || (ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                                   read == bytes.size());
        }
        CloseHandle(file);
        if (!ok) {
            out.Line(size.QuadPart >= 0x10000000 ? "<Unable to allocate or lock memory>" : "<Error reading file>");
        } else {
            out.Add(bytes.c_str());
            if (!bytes.empty() && bytes.back() != '\n')
                out.Line();
        }
    }
    EndDump(out, "----------- End TRIMVALE.INI dump -----------", false);
    TraceFlush(ctx, out);
    return 1;
}

void DumpKeywordLookup(BDS* ctx)
{
    if (ctx->trace.nTraceState != TRACE_FULL || !ctx->trace.szTraceFile[0])
        return;
    TraceText out;
    out.Line("------- Begin keyword lookup debug dump -------");
    if (!g_QuickLook.built)
        out.Line("QuickLook structure not yet initialized.");
    else if (std::memcmp(g_QuickLook.index, g_QuickLook.shadow, sizeof g_QuickLook.shadow) == 0)
        out.Line("QuickLook structure is okay.");
    else
        out.Line("QuickLook structure has been damaged!");
    char line[TRACE_LINE_SIZE + 40];
    std::snprintf(line, sizeof line,
                  "VARNAMESIZE:          %ld\r\nPARENTSTART:          %ld\r\nUDFSTART:             %ld\r\n"
                  "ADDONSTART:           %ld\r\nNKEYTOKENS:           %ld\r\nlpBDS->nNextExtEntry: %ld\r\n"
                  "lpBDS->delim_type:    %ld\r\n",
                  static_cast<long>(VARNAMESIZE), static_cast<long>(PARENTSTART), static_cast<long>(UDFSTART),
                  static_cast<long>(ADDONSTART), static_cast<long>(NKEYTOKENS), static_cast<long>(ctx->nNextExtEntry),
                  static_cast<long>(ctx->delim_type));
    out.Add(line);
    std::snprintf(line, sizeof line, "lpBDS->prog:          %.2048s \r\n", ctx->prog ? ctx->prog : "");
    out.Add(line);
    out.Line("-------- End keyword lookup debug dump --------");
    out.Line();
    TraceFlush(ctx, out);
}

void TraceExtenderLoaded(BDS* ctx, const char* fileName, const char* fileVersion)
{
    if (!TraceIsOn(ctx))
        return;
    char version[100];
    lstrcpynA(version, fileVersion && fileVersion[0] ? fileVersion : "???", sizeof version);
    char line[MAX_PATH + 160];
    std::snprintf(line, sizeof line, "----- Extender loaded: %s (file version: %s)\r\n", fileName ? fileName : "",
                  version);
    TraceText out;
    out.Add(line);
    TraceFlush(ctx, out);
}
