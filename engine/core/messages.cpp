// Message texts: a message is fetched by number from the language file "TRMDLANG.<lang>"
// when one is in use and holds it, else from the engine's string table.
//
// The language is decided once per process and per variant (narrow, wide) on first use,
// and again whenever a caller asks for message 0. All calls come from the host's GUI
// thread, so the process-wide state needs no lock.
#include "engine/core/messages.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "engine/core/context.h"
#include "engine/files/file_text.h"
#include "engine/files/path_search.h"
#include "engine/files/settings.h"

namespace {

constexpr int LANG_CODE_SIZE = 20;
constexpr int FIRST_TRANSLATED_ID = 100;   // ids below come from the string table only
constexpr int NARROW_SCRATCH = 2051;       // the wide loader's text is at most 2050 bytes

enum LanguageState { LS_UNDECIDED = 0, LS_NO_FILE = 1, LS_FILE = 2 };

// Paths are wide: the engine lies beside the program, in a folder of any name.
struct LanguageChoice {
    int state;
    std::wstring path;         // the language file in use
};

LanguageChoice g_narrow;
LanguageChoice g_wide;

// The language code: [MAIN] "Language" of the settings file, else the system's.
void ReadLanguageCode(BDS* ctx, char* code)
{
    ReadSettingsIni(ctx, "MAIN", "Language", "XXX", code, LANG_CODE_SIZE);
    if (std::strcmp(code, "XXX") == 0)
        GetProfileStringA("INTL", "sLanguage", "enu", code, LANG_CODE_SIZE);
}

// Decides whether a language file is in use: beside the engine first, then on the search path.
void DecideLanguage(BDS* ctx, HINSTANCE module, LanguageChoice& choice)
{
    choice.state = LS_NO_FILE;
    char code[LANG_CODE_SIZE] = {};
    ReadLanguageCode(ctx, code);

    wchar_t folder[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(module, folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        n = 0;
    std::wstring beside(folder, n);
    beside.resize(beside.find_last_of(L"\\/") + 1);     // npos + 1 == 0: no folder

    std::wstring bare = L"TRMDLANG." + FileNameToWide(code);
    beside += bare;
    if (FileSearchPathStr(ctx, beside.c_str(), false, choice.path) ||
        FileSearchPathStr(ctx, bare.c_str(), false, choice.path))
        choice.state = LS_FILE;
}

// A key of the language file in the ANSI code page, as the ANSI profile function gives it;
// its length, or -1 when the key is not there.
int ReadLanguageText(const LanguageChoice& choice, const char* key, char* buffer, int size)
{
    std::vector<wchar_t> text(static_cast<size_t>(size));
    GetPrivateProfileStringW(L"MAIN", FileNameToWide(key).c_str(), L"XXX", text.data(), static_cast<DWORD>(size),
                             choice.path.c_str());
    if (std::wcscmp(text.data(), L"XXX") == 0)
        return -1;
    std::string narrow = FileNameToAnsi(text.data());
    lstrcpynA(buffer, narrow.c_str(), size);
    return static_cast<int>(std::strlen(buffer));
}

// "~" becomes a line feed and "|" a tab; double-byte characters are passed over whole.
void ApplyTextMarks(char* text)
{
    for (char* p = text; *p; p = CharNextA(p)) {
        if (*p == '~')
            *p = '\n';
        else if (*p == '|')
            *p = '\t';
    }
}

int LoadFromTable(HINSTANCE module, int id, char* buffer, int size)
{
    buffer[0] = 0;
    return LoadStringA(module, static_cast<UINT>(id), buffer, size);
}

int LoadText(BDS* ctx, HINSTANCE module, int id, char* buffer, int size, LanguageChoice& choice)
{
    if (choice.state == LS_UNDECIDED || id == 0)
        DecideLanguage(ctx, module, choice);

    int length;
    if (id < FIRST_TRANSLATED_ID || choice.state != LS_FILE) {
        length = LoadFromTable(module, id, buffer, size);
    } else {
        char key[16];
        std::snprintf(key, sizeof key, "X%d", id);
        length = ReadLanguageText(choice, key, buffer, size);
        if (length < 0)
            length = LoadFromTable(module, id, buffer, size);
    }
    if (buffer[0])
        ApplyTextMarks(buffer);
    return length;
}

}  // namespace

extern "C" int LoadMyString(BDS* ctx, HINSTANCE module, int id, char* buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    return LoadText(ctx, module, id, buffer, size, g_narrow);
}

int LoadMyStringW(BDS* ctx, HINSTANCE module, int id, wchar_t* buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    char narrow[NARROW_SCRATCH];
    int length = LoadText(ctx, module, id, narrow, sizeof narrow, g_wide);

    UINT codePage = ctx && ctx->nCodePage ? ctx->nCodePage : CP_ACP;
    wchar_t wide[NARROW_SCRATCH];
    int units = MultiByteToWideChar(codePage, 0, narrow, -1, wide, NARROW_SCRATCH);
    if (units <= 0)
        wide[0] = 0;
    lstrcpynW(buffer, wide, size);
    return length;
}
