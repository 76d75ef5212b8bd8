// Reading registry texts and expanding their environment strings.
#include "engine/system/registry_text.h"

#include <cwchar>

namespace {

constexpr DWORD LARGEST_VALUE_BYTES = 1u << 20;

}  // namespace

bool ReadRegistryText(HKEY key, const wchar_t* name, DWORD chars, std::wstring& out, DWORD* type)
{
    DWORD bytes = 0;
    if (RegQueryValueExW(key, name, nullptr, type, nullptr, &bytes) != ERROR_SUCCESS)
        return false;
    if ((*type != REG_SZ && *type != REG_EXPAND_SZ) || bytes < sizeof(wchar_t) || bytes > LARGEST_VALUE_BYTES)
        return false;
    std::wstring buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key, name, nullptr, type, reinterpret_cast<BYTE*>(buffer.data()), &bytes) != ERROR_SUCCESS)
        return false;
    buffer.resize(wcsnlen(buffer.c_str(), bytes / sizeof(wchar_t)));
    if (buffer.size() > chars)
        buffer.resize(chars);
    out = buffer;
    return !out.empty();
}

std::wstring ExpandedEnvironmentText(const std::wstring& text)
{
    DWORD needed = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (!needed)
        return text;
    std::wstring out(needed, L'\0');
    DWORD written = ExpandEnvironmentStringsW(text.c_str(), out.data(), needed);
    if (!written || written > needed)
        return text;
    out.resize(written - 1);
    return out;
}
