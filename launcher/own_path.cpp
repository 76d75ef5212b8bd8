// The program's own path. It is kept as wide text: a folder may be named in letters that the
// ANSI code page cannot say (a user profile, a download folder), and the ANSI form of such a
// path names no file at all. Texts handed on in ANSI (to the engine, to scripts) take their
// exact ANSI form where there is one, so that nothing changes for plain folders.
#include "launcher/launcher.h"

namespace {

bool PlainCodePage(UINT codePage) { return codePage == CP_UTF8 || codePage == CP_UTF7; }

}  // namespace

bool ReadProgramPath()
{
    DWORD n = GetModuleFileNameW(nullptr, g_launcher.programPath, PROGRAM_PATH_MAX + 1);
    bool whole = n > 0 && n <= PROGRAM_PATH_MAX;
    g_launcher.programPath[whole ? n : 0] = 0;
    return whole;
}

std::wstring ProgramDirectory()
{
    std::wstring path = g_launcher.programPath;
    size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
}

std::wstring WidenAnsi(const char* text)
{
    std::wstring out;
    if (!text || !*text)
        return out;
    int units = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (units <= 1)
        return out;
    out.resize(size_t(units));
    MultiByteToWideChar(CP_ACP, 0, text, -1, out.data(), units);
    out.resize(size_t(units - 1));
    return out;
}

bool ExactAnsi(const std::wstring& text, std::string& out)
{
    out.clear();
    if (text.empty())
        return true;
    bool plain = PlainCodePage(GetACP());
    DWORD flags = plain ? 0 : WC_NO_BEST_FIT_CHARS;
    int length = int(text.size());
    int bytes = WideCharToMultiByte(CP_ACP, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return false;
    out.resize(size_t(bytes));
    BOOL lossy = FALSE;
    WideCharToMultiByte(CP_ACP, flags, text.data(), length, out.data(), bytes, nullptr, plain ? nullptr : &lossy);
    // The way back decides: a best-fit look-alike ("O" for an omega) is as wrong as a "?".
    return !lossy && WidenAnsi(out.c_str()) == text;
}

std::string LossyAnsi(const std::wstring& text)
{
    std::string out;
    if (text.empty())
        return out;
    int length = int(text.size());
    int bytes = WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return out;
    out.resize(size_t(bytes));
    WideCharToMultiByte(CP_ACP, 0, text.data(), length, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::string ProgramPathForEngine()
{
    std::wstring path = g_launcher.programPath;
    std::string ansi;
    if (ExactAnsi(path, ansi))
        return ansi;
    // The short form of each level is plain where the volume keeps short names, and it
    // still names the program for the engine's ANSI file work (its folder, its messages).
    wchar_t shortPath[MAX_PATH + 1];
    DWORD n = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH + 1);
    std::string shortAnsi;
    if (n > 0 && n <= MAX_PATH && ExactAnsi(shortPath, shortAnsi))
        return shortAnsi;
    return LossyAnsi(path);
}
