// The control host's record and its site objects, shared by the host's window code
// (com_host.cpp) and the site objects (com_host_sites.cpp). Nothing outside the host
// includes this file.
#pragma once

#include <windows.h>
#include <mshtmhst.h>
#include <ocidl.h>
#include <oleidl.h>
#include <urlmon.h>

#include <cstdint>

#include "engine/com/com_counted.h"
#include "engine/com/host/com_host.h"
#include "engine/core/value.h"

class CComHost;

// A site object: one interface of the host whose QueryInterface, AddRef and Release are
// the host's (its own count is kept only for the record).
template <typename Interface>
class HostSite : public Interface {
public:
    explicit HostSite(CComHost* host) : host_(host) {}
    virtual ~HostSite() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

protected:
    CComHost* host_;
    ULONG own_ = 0;
};

class CImpIOleClientSite;
class CImpIOleInPlaceSiteWindowless;
class CImpIOleControlSite;
class CImpIOleContainer;
class CImpIAdviseSink;
class CImpIServiceProvider;
class CImpIInternetSecurityManager;
class CImpIDocHostUIHandler;
class CImpIAmbientDispatch;
class CExternalDisp;
class CComFrameWindow;
class CComUIWindow;

// Host state flags.
enum : uint32_t {
    HF_CONTEXT_MENU = 0x1, HF_BROWSER_UI = 0x2, HF_SCRIPT = 0x4, HF_INPLACE = 0x8, HF_UIACTIVE = 0x10,
    HF_WINDOWLESS = 0x20, HF_CAPTURED = 0x40, HF_FOCUS = 0x80, HF_TORN_DOWN = 0x100, HF_LOCKED = 0x200,
    HF_BROWSER = 0x400,
};

class CComHost : public ComCounted<IUnknown> {
public:
    CComHost(BDS* ctx, HWND window);
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;

    // Creates the control of that name and puts it into service (the stream holds its
    // persisted state, or is null).
    HRESULT CreateControl(const wchar_t* name, const char* licenceKey, IStream* stream);
    // Releases the control and everything bound to it; a second call does nothing.
    void Teardown();
    // The control's object value: made on first need (1, or 0 with the error set).
    int MakeControlDispatchObject();
    IDispatch* ControlDispatch();   // counted for the caller, or null
    void AmbientChanged(DISPID id);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam, bool* handled);

    // Ambient and site state, read by the site objects.
    BDS* ctx;
    HWND window;
    RECT rect{};                   // the control's rectangle in the host's client area
    uint32_t userMode = 1, displayAsDefault = 0, messageReflect = 1;
    COLORREF backColor = 0, foreColor = 0;
    LCID locale = 1024;
    HFONT font = nullptr;
    IFontDisp* fontObject = nullptr;
    DWORD miscStatus = 0;
    SIZEL extentHimetric{}, extentPixels{};
    DWORD docHostFlags = 0x10004;  // no 3-D border, in-place navigation
    DWORD doubleClick = 0;
    BSTR optionKeyPath = nullptr;
    uint32_t flags = HF_CONTEXT_MENU;
    IUnknown* control = nullptr;
    IOleObject* oleObject = nullptr;
    IViewObject* viewObject = nullptr;       // IViewObjectEx, IViewObject2 or IViewObject
    uint32_t viewLevel = 0;                  // 7, 3, 1 or 0
    IOleInPlaceObject* inPlaceObject = nullptr;   // or IOleInPlaceObjectWindowless
    ValueHead object{};                      // the control's object value (flags 0 when none)
    HACCEL accelerators = nullptr;
    DWORD adviseConnection = 0xCDCDCDCD;

    CComFrameWindow* frame = nullptr;
    CComUIWindow* uiWindow = nullptr;
    CExternalDisp* external = nullptr;
    CImpIOleClientSite* clientSite = nullptr;
    CImpIOleInPlaceSiteWindowless* inPlaceSite = nullptr;
    CImpIOleControlSite* controlSite = nullptr;
    CImpIOleContainer* container = nullptr;
    CImpIAdviseSink* adviseSink = nullptr;
    CImpIServiceProvider* serviceProvider = nullptr;
    CImpIInternetSecurityManager* securityManager = nullptr;
    CImpIDocHostUIHandler* uiHandler = nullptr;
    CImpIAmbientDispatch* ambient = nullptr;

private:
    virtual ~CComHost();
    HRESULT Activate(IStream* stream, bool html, const wchar_t* name);
};

// The site objects' makers (com_host_sites.cpp): each answers the object for an IID of
// the host's table, made on first request (null when it cannot be made).
void* MakeHostSite(CComHost* host, REFIID iid);
void DeleteHostSites(CComHost* host);
// Releases the window.external object (external) or the frame and UI window objects.
void ReleaseHostWindowObjects(CComHost* host, bool external);
// The font object of the host's font (made on first request), not counted for the caller.
IFontDisp* HostFontObject(CComHost* host);
// The enumerator that a container hands out over one element.
IEnumUnknown* NewSingleEnumerator(IUnknown* element);

// Pixels and HIMETRIC at the screen's resolution.
SIZEL PixelsToHimetric(SIZEL pixels);
SIZEL HimetricToPixels(SIZEL himetric);
