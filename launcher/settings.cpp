// The launcher's settings (registry values under the settings key), its engine limits and
// its own message texts, which a language file beside the program may replace.
#include "launcher/launcher.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr uint64_t DEFAULT_RESERVE = 0x1F400000;
constexpr uint64_t MAX_VERSION_RESERVE = 0xFA00000;
constexpr uint64_t MAX_STRING_SPACE = 0x1000000;

struct LanguageFile {
    bool checked;
    bool found;
    wchar_t path[MAX_PATH + 32];   // wide: it lies beside the program, in a folder of any name
};
LanguageFile g_language;

void FindLanguageFile()
{
    g_language.checked = true;
    g_language.found = false;
    char language[64];
    GetPrivateProfileStringA("MAIN", "Language", "XXX", language, sizeof(language), "TRIMVALE.INI");
    if (std::strcmp(language, "XXX") == 0)
        GetProfileStringA("INTL", "sLanguage", "enu", language, sizeof(language));

    std::wstring name = L"TRMDLANG." + WidenAnsi(language);
    std::wstring beside = ProgramDirectory() + name;
    if (beside.size() < MAX_PATH && GetFileAttributesW(beside.c_str()) != INVALID_FILE_ATTRIBUTES) {
        lstrcpynW(g_language.path, beside.c_str(), MAX_PATH);
        g_language.found = true;
        return;
    }
    DWORD n = SearchPathW(nullptr, name.c_str(), nullptr, MAX_PATH, g_language.path, nullptr);
    g_language.found = n > 0 && n < MAX_PATH;
}

// A key of the language file in the ANSI code page, as the ANSI profile functions give it.
bool ReadLanguageText(const char* section, const char* key, char* buffer, int size)
{
    std::vector<wchar_t> text(size_t(size) + 1);
    GetPrivateProfileStringW(WidenAnsi(section).c_str(), WidenAnsi(key).c_str(), L"XXX", text.data(),
                             DWORD(size), g_language.path);
    if (lstrcmpW(text.data(), L"XXX") == 0)
        return false;
    std::string ansi = LossyAnsi(text.data());
    lstrcpynA(buffer, ansi.c_str(), size);
    return true;
}

}  // namespace

void ReadSetting(const char* section, const char* valueName, const char* defaultText, char* out, DWORD size,
                 const char* settingsFile, bool userFirst, REGSAM extraAccess)
{
    char key[300];
    int stem = 0;
    while (settingsFile[stem] && settingsFile[stem] != '.')
        ++stem;
    std::snprintf(key, sizeof(key), "Software\\Hollicor\\Settings\\%.*s\\%s", stem, settingsFile, section);
    lstrcpynA(out, defaultText, int(size));

    HKEY roots[2] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
    for (int i = userFirst ? 0 : 1; i < 2; ++i) {
        HKEY handle;
        if (RegOpenKeyExA(roots[i], key, 0, KEY_QUERY_VALUE | extraAccess, &handle) != ERROR_SUCCESS)
            continue;
        char value[258] = {};
        DWORD type = 0, length = 257;
        LONG rc = RegQueryValueExA(handle, valueName, nullptr, &type, reinterpret_cast<BYTE*>(value), &length);
        RegCloseKey(handle);
        if (rc != ERROR_SUCCESS)
            continue;
        if (type == REG_DWORD && length == sizeof(DWORD)) {
            DWORD number;
            std::memcpy(&number, value, sizeof(number));
            std::snprintf(value, sizeof(value), "%ld", long(number));
        }
        value[257] = 0;
        lstrcpynA(out, value, int(size));
        return;
    }
}

int ReadSettingInt(const char* section, const char* valueName, int defaultValue, const char* settingsFile)
{
    char defaultText[16], text[258];
    std::snprintf(defaultText, sizeof(defaultText), "%d", defaultValue);
    ReadSetting(section, valueName, defaultText, text, sizeof(text), settingsFile, false, 0);
    return StringToInt(text);
}

EngineLimits ClampEngineLimits(int maxVars, int stringSpace)
{
    EngineLimits limits;
    limits.maxVars = maxVars <= 0 ? 2000 : maxVars > 65000 ? 65000 : uint16_t(maxVars);
    limits.stringSpace = stringSpace <= 0 ? 65500 : uint64_t(stringSpace) > MAX_STRING_SPACE ? MAX_STRING_SPACE
                                                                                             : uint64_t(stringSpace);
    return limits;
}

uint64_t ChooseReserveSize(bool found, uint64_t versionReserve, uint64_t stringSpace)
{
    if (!found)
        return DEFAULT_RESERVE;
    if (versionReserve < stringSpace)
        return stringSpace;
    return versionReserve > MAX_VERSION_RESERVE ? MAX_VERSION_RESERVE : versionReserve;
}

int LoadLangString(HINSTANCE instance, int id, char* buffer, int size, bool productSection)
{
    if (size <= 0)
        return 0;
    buffer[0] = 0;
    if (!g_language.checked || id == 0)
        FindLanguageFile();
    bool found = false;
    if (id >= 100 && g_language.found) {
        char key[16];
        std::snprintf(key, sizeof(key), "X%d", id);
        found = ReadLanguageText(productSection ? "Kelvoran" : "MAIN", key, buffer, size);
    }
    if (!found && !LoadStringA(instance, UINT(id), buffer, size))
        buffer[0] = 0;
    int length = 0;
    for (char* p = buffer; *p; ++p, ++length) {
        if (*p == '~')
            *p = '\n';
        else if (*p == '|')
            *p = '\t';
    }
    return length;
}

int LangMessageBox(HWND owner, int captionId, int textId, UINT flags)
{
    char caption[257], text[600];
    LoadLangString(g_launcher.instance, captionId, caption, sizeof(caption), false);
    LoadLangString(g_launcher.instance, textId, text, sizeof(text), false);
    return MessageBoxA(owner, text, caption, flags);
}

int LangCaptionBox(HWND owner, int textId, const std::wstring& caption)
{
    char text[600];
    LoadLangString(g_launcher.instance, textId, text, sizeof(text), false);
    return MessageBoxW(owner, WidenAnsi(text).c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
}
