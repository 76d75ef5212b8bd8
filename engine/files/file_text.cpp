// Small text helpers of the file built-ins (file-name conversions, heap-text results).
#include "engine/files/file_text.h"

#include "engine/core/context.h"

std::wstring FileNameToWide(const char* name, UINT codePage)
{
    std::wstring out;
    if (!name || !*name)
        return out;
    int units = MultiByteToWideChar(codePage, 0, name, -1, nullptr, 0);
    if (units <= 1)
        return out;
    out.resize(static_cast<size_t>(units));
    MultiByteToWideChar(codePage, 0, name, -1, out.data(), units);
    out.resize(static_cast<size_t>(units - 1));
    return out;
}

std::string FileNameToAnsi(const std::wstring& name, UINT codePage)
{
    std::string out;
    if (name.empty())
        return out;
    int bytes = WideCharToMultiByte(codePage, 0, name.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1)
        return out;
    out.resize(static_cast<size_t>(bytes));
    WideCharToMultiByte(codePage, 0, name.c_str(), -1, out.data(), bytes, nullptr, nullptr);
    out.resize(static_cast<size_t>(bytes - 1));
    return out;
}

bool WideToAnsiExact(const wchar_t* text, size_t length, std::string& out)
{
    out.clear();
    if (length == 0)
        return true;
    if (length > 0x7FFFFFFF)
        return false;
    UINT codePage = GetACP();
    bool plain = codePage == CP_UTF8 || codePage == CP_UTF7;
    DWORD flags = plain ? 0 : WC_NO_BEST_FIT_CHARS;
    int units = static_cast<int>(length);
    int bytes = WideCharToMultiByte(CP_ACP, flags, text, units, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return false;
    out.resize(static_cast<size_t>(bytes));
    BOOL lossy = FALSE;
    WideCharToMultiByte(CP_ACP, flags, text, units, out.data(), bytes, nullptr, plain ? nullptr : &lossy);
    if (lossy)
        return false;
    // The way back decides: a best-fit look-alike is as wrong as a "?".
    int back = MultiByteToWideChar(CP_ACP, 0, out.data(), bytes, nullptr, 0);
    if (back != units)
        return false;
    std::wstring again(static_cast<size_t>(back), L'\0');
    MultiByteToWideChar(CP_ACP, 0, out.data(), bytes, again.data(), back);
    return again.compare(0, length, text, length) == 0;
}

namespace {

// The short form of an existing path, when that one is exact in ANSI.
bool ShortAnsiForm(const std::wstring& path, std::string& out)
{
    DWORD n = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (n <= 1)
        return false;
    std::wstring shortPath(n, L'\0');
    DWORD got = GetShortPathNameW(path.c_str(), shortPath.data(), n);
    if (got == 0 || got >= n)
        return false;
    shortPath.resize(got);
    return WideToAnsiExact(shortPath.c_str(), shortPath.size(), out);
}

}  // namespace

std::string PathForAnsiUse(const std::wstring& path)
{
    std::string ansi;
    if (WideToAnsiExact(path.c_str(), path.size(), ansi) || ShortAnsiForm(path, ansi))
        return ansi;
    // A file still to be made has no short form: its folder's short form and its own name.
    size_t cut = path.find_last_of(L"\\/");
    std::string folder, name;
    if (cut != std::wstring::npos && cut > 0 && ShortAnsiForm(path.substr(0, cut), folder)
        && WideToAnsiExact(path.c_str() + cut, path.size() - cut, name))
        return folder + name;
    return FileNameToAnsi(path);
}

std::string ModulePathForAnsiUse(HMODULE module)
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return std::string();
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        if (path.size() >= 32768)
            return std::string();
        path.resize(path.size() * 2);
    }
    return PathForAnsiUse(path);
}

int SetResultTextExact(BDS* ctx, resultants* result, const wchar_t* text, size_t length)
{
    std::string ansi;
    if (WideToAnsiExact(text, length, ansi))
        return SetResultText(ctx, result, ansi.c_str(), ansi.size());
    return SetResultWText(ctx, result, text, length);
}

void SetResultHeapText(BDS* ctx, resultants* result, uint64_t offset)
{
    FreeValue(ctx, result, 0, VK_RECORD);
    InitResultValue(ctx, result, VK_RECORD, 0);
    result->flags = VF_STRING;
    result->str = offset;
}

void SetResultHeapWText(BDS* ctx, resultants* result, uint64_t offset)
{
    FreeValue(ctx, result, 0, VK_RECORD);
    InitResultValue(ctx, result, VK_RECORD, 0);
    result->flags = VF_UNICODE;
    result->wstr = offset;
}
