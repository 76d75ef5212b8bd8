// Functions of libraries loaded when first needed (see delay_load.h).
#include "engine/core/delay_load.h"

#include <oleauto.h>
#include <mmsystem.h>

namespace {

enum Library { LIB_OLEAUT32, LIB_OLE32, LIB_WINMM, LIB_MPR, LIB_COUNT };
const char* const kLibraryNames[LIB_COUNT] = {"oleaut32.dll", "ole32.dll", "winmm.dll", "mpr.dll"};

// The library, loaded on the first call (it stays loaded for the process); null when it
// cannot be had. Scripts run on one thread; a second look-up after a race is harmless.
HMODULE LibraryOf(Library library)
{
    static HMODULE modules[LIB_COUNT];
    static bool tried[LIB_COUNT];
    if (!tried[library]) {
        UINT oldMode = SetErrorMode(SEM_NOOPENFILEERRORBOX | SEM_FAILCRITICALERRORS);
        modules[library] = LoadLibraryA(kLibraryNames[library]);
        SetErrorMode(oldMode);
        tried[library] = true;
    }
    return modules[library];
}

// The function `name` of the library; each caller keeps it in a local static, so it is
// looked up once.
template <typename Fn>
Fn Find(Library library, const char* name)
{
    HMODULE module = LibraryOf(library);
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

}  // namespace

namespace delay {

HRESULT VariantClear(VARIANTARG* value)
{
    static const auto VariantClearFn = Find<HRESULT(WINAPI*)(VARIANTARG*)>(LIB_OLEAUT32, "VariantClear");
    return VariantClearFn ? VariantClearFn(value) : E_NOTIMPL;
}

HRESULT VariantCopy(VARIANTARG* target, const VARIANTARG* source)
{
    static const auto VariantCopyFn = Find<HRESULT(WINAPI*)(VARIANTARG*, const VARIANTARG*)>(LIB_OLEAUT32, "VariantCopy");
    return VariantCopyFn ? VariantCopyFn(target, source) : E_OUTOFMEMORY;
}

HRESULT VariantCopyInd(VARIANT* target, const VARIANTARG* source)
{
    static const auto VariantCopyIndFn = Find<HRESULT(WINAPI*)(VARIANT*, const VARIANTARG*)>(LIB_OLEAUT32, "VariantCopyInd");
    return VariantCopyIndFn ? VariantCopyIndFn(target, source) : E_OUTOFMEMORY;
}

HRESULT VariantChangeType(VARIANTARG* target, const VARIANTARG* source, USHORT flags, VARTYPE type)
{
    static const auto VariantChangeTypeFn = Find<HRESULT(WINAPI*)(VARIANTARG*, const VARIANTARG*, USHORT, VARTYPE)>(LIB_OLEAUT32, "VariantChangeType");
    return VariantChangeTypeFn ? VariantChangeTypeFn(target, source, flags, type) : DISP_E_TYPEMISMATCH;
}

UINT SysStringLen(BSTR text)
{
    static const auto SysStringLenFn = Find<UINT(WINAPI*)(BSTR)>(LIB_OLEAUT32, "SysStringLen");
    return SysStringLenFn ? SysStringLenFn(text) : 0;
}

UINT SafeArrayGetDim(SAFEARRAY* array)
{
    static const auto SafeArrayGetDimFn = Find<UINT(WINAPI*)(SAFEARRAY*)>(LIB_OLEAUT32, "SafeArrayGetDim");
    return SafeArrayGetDimFn ? SafeArrayGetDimFn(array) : 0;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dimension, LONG* bound)
{
    static const auto SafeArrayGetLBoundFn = Find<HRESULT(WINAPI*)(SAFEARRAY*, UINT, LONG*)>(LIB_OLEAUT32, "SafeArrayGetLBound");
    return SafeArrayGetLBoundFn ? SafeArrayGetLBoundFn(array, dimension, bound) : E_NOTIMPL;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dimension, LONG* bound)
{
    static const auto SafeArrayGetUBoundFn = Find<HRESULT(WINAPI*)(SAFEARRAY*, UINT, LONG*)>(LIB_OLEAUT32, "SafeArrayGetUBound");
    return SafeArrayGetUBoundFn ? SafeArrayGetUBoundFn(array, dimension, bound) : E_NOTIMPL;
}

void CoTaskMemFree(LPVOID memory)
{
    static const auto CoTaskMemFreeFn = Find<void(WINAPI*)(LPVOID)>(LIB_OLE32, "CoTaskMemFree");
    if (CoTaskMemFreeFn)
        CoTaskMemFreeFn(memory);
}

BOOL sndPlaySoundA(LPCSTR sound, UINT flags)
{
    static const auto sndPlaySoundAFn = Find<BOOL(WINAPI*)(LPCSTR, UINT)>(LIB_WINMM, "sndPlaySoundA");
    return sndPlaySoundAFn ? sndPlaySoundAFn(sound, flags) : FALSE;
}

DWORD WNetOpenEnumA(DWORD scope, DWORD type, DWORD usage, LPNETRESOURCEA resource, LPHANDLE enumeration)
{
    static const auto WNetOpenEnumAFn = Find<DWORD(WINAPI*)(DWORD, DWORD, DWORD, LPNETRESOURCEA, LPHANDLE)>(LIB_MPR, "WNetOpenEnumA");
    return WNetOpenEnumAFn ? WNetOpenEnumAFn(scope, type, usage, resource, enumeration) : ERROR_NO_NETWORK;
}

DWORD WNetEnumResourceA(HANDLE enumeration, LPDWORD count, LPVOID buffer, LPDWORD size)
{
    static const auto WNetEnumResourceAFn = Find<DWORD(WINAPI*)(HANDLE, LPDWORD, LPVOID, LPDWORD)>(LIB_MPR, "WNetEnumResourceA");
    return WNetEnumResourceAFn ? WNetEnumResourceAFn(enumeration, count, buffer, size) : ERROR_NO_NETWORK;
}

DWORD WNetCloseEnum(HANDLE enumeration)
{
    static const auto WNetCloseEnumFn = Find<DWORD(WINAPI*)(HANDLE)>(LIB_MPR, "WNetCloseEnum");
    return WNetCloseEnumFn ? WNetCloseEnumFn(enumeration) : ERROR_NO_NETWORK;
}

}  // namespace delay
