// The runtime's hosting interfaces, declared from their published definitions (the
// toolchain has no header for them): the meta host that lists installed runtimes, a
// runtime's information, the runtime host that makes application domains, and a domain's
// setup. Only the slots in use are named; the others keep their places.
#pragma once

#include <windows.h>
#include <objidl.h>

extern const CLSID CLSID_ClrMetaHost;
extern const IID IID_ClrMetaHost;
extern const IID IID_ClrRuntimeInfo;
extern const CLSID CLSID_CorRuntimeHostObject;
extern const IID IID_CorRuntimeHost;
extern const IID IID_ClrAppDomain;
extern const IID IID_ClrAppDomainSetup;
extern const IID IID_ClrEnumerable;

struct ClrMetaHost : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetRuntime(LPCWSTR version, REFIID iid, void** out) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetVersionFromFile(LPCWSTR file, LPWSTR buffer, DWORD* size) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumerateInstalledRuntimes(IEnumUnknown** out) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumerateLoadedRuntimes(HANDLE process, IEnumUnknown** out) = 0;
};

struct ClrRuntimeInfo : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetVersionString(LPWSTR buffer, DWORD* size) = 0;
};

struct CorRuntimeHost : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateLogicalThreadState() = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteLogicalThreadState() = 0;
    virtual HRESULT STDMETHODCALLTYPE SwitchInLogicalThreadState(DWORD* cookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE SwitchOutLogicalThreadState(DWORD** cookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE LocksHeldByLogicalThread(DWORD* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE MapFile(HANDLE file, HMODULE* address) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetConfiguration(IUnknown** configuration) = 0;
    virtual HRESULT STDMETHODCALLTYPE Start() = 0;
    virtual HRESULT STDMETHODCALLTYPE Stop() = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateDomain(LPCWSTR name, IUnknown* identity, IUnknown** domain) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDefaultDomain(IUnknown** domain) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumDomains(void** handle) = 0;
    virtual HRESULT STDMETHODCALLTYPE NextDomain(void* handle, IUnknown** domain) = 0;
    virtual HRESULT STDMETHODCALLTYPE CloseEnum(void* handle) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateDomainEx(LPCWSTR name, IUnknown* setup, IUnknown* evidence,
                                                     IUnknown** domain) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateDomainSetup(IUnknown** setup) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateEvidence(IUnknown** evidence) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnloadDomain(IUnknown* domain) = 0;
    virtual HRESULT STDMETHODCALLTYPE CurrentDomain(IUnknown** domain) = 0;
};

struct ClrAppDomainSetup : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_ApplicationBase(BSTR* base) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ApplicationBase(BSTR base) = 0;
};
