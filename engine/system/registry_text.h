// Text values of the registry as the program-start code reads them: cut to a length, and
// with their environment strings expanded.
#pragma once

#include <windows.h>

#include <string>

// A REG_SZ or REG_EXPAND_SZ value of an open key (null name: the default value), cut to
// `chars` characters, with its type; false when it is missing, empty or of another type.
bool ReadRegistryText(HKEY key, const wchar_t* name, DWORD chars, std::wstring& out, DWORD* type);

// The text with its environment strings expanded (as it stands when that fails).
std::wstring ExpandedEnvironmentText(const std::wstring& text);
