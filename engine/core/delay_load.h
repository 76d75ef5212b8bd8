// Libraries that only some built-ins use are loaded when one of their functions is first
// called, not with the engine: loading them at start-up cost every script several
// milliseconds under the system's loader (the COM libraries alone bring three more). The functions keep the platform's signatures;
// when a library or function cannot be had, each answers as the platform does for a
// failure of its own kind (stated with each).
//
// Whoever adds a call of such a library's function adds it here and calls it from here,
// so that the engine's import table names only the libraries every run needs.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <winnetwk.h>

namespace delay {

// The automation library (values holding COM variants and SAFEARRAYs).
HRESULT VariantClear(VARIANTARG* value);                              // E_NOTIMPL
HRESULT VariantCopy(VARIANTARG* target, const VARIANTARG* source);    // E_OUTOFMEMORY
HRESULT VariantCopyInd(VARIANT* target, const VARIANTARG* source);    // E_OUTOFMEMORY
HRESULT VariantChangeType(VARIANTARG* target, const VARIANTARG* source, USHORT flags,
                          VARTYPE type);                              // DISP_E_TYPEMISMATCH
UINT SysStringLen(BSTR text);                                         // 0
UINT SafeArrayGetDim(SAFEARRAY* array);                               // 0
HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dimension, LONG* bound);   // E_NOTIMPL
HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dimension, LONG* bound);   // E_NOTIMPL

// The COM library.
void CoTaskMemFree(LPVOID memory);                                    // (nothing freed)

// The multimedia library (sounds).
BOOL sndPlaySoundA(LPCSTR sound, UINT flags);                         // FALSE

// The network-provider library (remembered network drives).
DWORD WNetOpenEnumA(DWORD scope, DWORD type, DWORD usage, LPNETRESOURCEA resource,
                    LPHANDLE enumeration);                            // ERROR_NO_NETWORK
DWORD WNetEnumResourceA(HANDLE enumeration, LPDWORD count, LPVOID buffer, LPDWORD size);
DWORD WNetCloseEnum(HANDLE enumeration);

}  // namespace delay

// A VARIANT made empty without looking at what it held (what VariantInit does: the type
// becomes VT_EMPTY), with no call into the automation library.
inline void EmptyVariant(VARIANT* value) { value->vt = VT_EMPTY; }
