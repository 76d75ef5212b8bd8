// A system library loaded by name for one operation and freed when its holder goes, for
// the entries a system may lack (looked up by name; null when the library or the entry is
// missing).
#pragma once

#include <windows.h>

struct LoadedLibrary {
    HMODULE module;
    explicit LoadedLibrary(const char* name) : module(LoadLibraryA(name)) {}
    ~LoadedLibrary()
    {
        if (module)
            FreeLibrary(module);
    }
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;
    template <typename Fn>
    Fn Entry(const char* name) const
    {
        return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
    }
};
