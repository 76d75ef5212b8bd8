// COM for one operation of the shell services (links, the Active Desktop, command bars),
// which initialise it themselves and uninitialise it before they return, whatever the
// outcome; and ANSI texts widened for the shell.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <cwchar>
#include <string>

struct ComScope {
    bool ok;
    ComScope() : ok(SUCCEEDED(CoInitialize(nullptr))) {}
    ~ComScope()
    {
        if (ok)
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
};

// An interface released when it goes.
template <typename T>
struct Held {
    T* p = nullptr;
    Held() = default;
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    ~Held()
    {
        if (p)
            p->Release();
    }
    void** Out() { return reinterpret_cast<void**>(&p); }
    T* operator->() const { return p; }
};

inline std::wstring WidenText(const char* text, UINT codePage)
{
    if (!text || !*text)
        return std::wstring();
    int units = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    std::wstring out(static_cast<size_t>(units > 0 ? units : 1), L'\0');
    if (units > 0)
        MultiByteToWideChar(codePage, 0, text, -1, out.data(), units);
    out.resize(std::wcslen(out.c_str()));
    return out;
}
