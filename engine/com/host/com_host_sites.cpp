// The control host's site objects: client site, in-place site (windowed and windowless),
// control site, container and its enumerator, advise sink, ambient properties, service
// provider and security manager, document UI handler, window.external, and the in-place
// frame and UI window. Each answers for one host and lives as long as the host.
#include <windows.h>
#include <oleauto.h>
#include <olectl.h>

#include <cstring>
#include <new>

#include "engine/com/com_events.h"
#include "engine/com/host/com_host_internal.h"
#include "engine/core/context.h"
#include "engine/core/module.h"

template <typename Interface>
HRESULT STDMETHODCALLTYPE HostSite<Interface>::QueryInterface(REFIID iid, void** out)
{
    return host_->QueryInterface(iid, out);
}

template <typename Interface>
ULONG STDMETHODCALLTYPE HostSite<Interface>::AddRef()
{
    ++own_;
    return host_->AddRef();
}

template <typename Interface>
ULONG STDMETHODCALLTYPE HostSite<Interface>::Release()
{
    --own_;
    return host_->Release();
}

SIZEL PixelsToHimetric(SIZEL pixels)
{
    HDC screen = GetDC(nullptr);
    int dx = GetDeviceCaps(screen, LOGPIXELSX), dy = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return {MulDiv(2540, pixels.cx, dx), MulDiv(2540, pixels.cy, dy)};
}

SIZEL HimetricToPixels(SIZEL himetric)
{
    HDC screen = GetDC(nullptr);
    int dx = GetDeviceCaps(screen, LOGPIXELSX), dy = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return {MulDiv(himetric.cx, dx, 2540), MulDiv(himetric.cy, dy, 2540)};
}

// ---------------------------------------------------------------- client site

class CImpIOleClientSite : public HostSite<IOleClientSite> {
public:
    using HostSite::HostSite;
    HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** out) override
    {
        if (!out)
            return E_POINTER;
        return host_->QueryInterface(IID_IOleContainer, reinterpret_cast<void**>(out));
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override
    {
        HDC dc = GetDC(host_->window);
        if (!dc)
            return E_FAIL;
        if (host_->viewObject) {
            RECTL bounds = {host_->rect.left, host_->rect.top, host_->rect.right, host_->rect.bottom};
            host_->viewObject->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, &bounds, nullptr, 0);
        }
        ReleaseDC(host_->window, dc);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }
};

// ---------------------------------------------------------------- frame and UI window

namespace {

constexpr wchar_t FRAME_CLASS[] = L"DezuzUvurevIrozivod";

LRESULT CALLBACK FrameWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        break;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam)) {
            SetFocus(reinterpret_cast<HWND>(GetWindowLongPtrW(window, GWLP_USERDATA)));
            return 0;
        }
        break;
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void RegisterFrameClass()
{
    WNDCLASSW existing{};
    if (GetClassInfoW(EngineModule(), FRAME_CLASS, &existing))
        return;
    WNDCLASSW wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = FrameWindowProc;
    wc.hInstance = EngineModule();
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = FRAME_CLASS;
    RegisterClassW(&wc);
}

}  // namespace

// The in-place UI window and frame: own reference counts; a hidden top-level window made
// on first GetWindow.
template <typename Interface>
class CComWindow : public Interface {
public:
    CComWindow(CComHost* host, const wchar_t* title, bool isFrame) : host_(host->window), title_(title), frame_(isFrame) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IOleWindow || iid == IID_IOleInPlaceUIWindow
            || (frame_ && iid == IID_IOleInPlaceFrame)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG n = InterlockedDecrement(&refs_);
        if (n == 0) {
            if (active_)
                active_->Release();
            if (own_)
                DestroyWindow(own_);
            delete this;
        }
        return static_cast<ULONG>(n);
    }
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) override
    {
        if (!out)
            return E_POINTER;
        if (!own_) {
            RegisterFrameClass();
            own_ = CreateWindowExW(0, FRAME_CLASS, title_, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, EngineModule(), host_);
        }
        *out = own_;
        return own_ ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) override
    {
        if (object)
            object->AddRef();
        if (active_)
            active_->Release();
        active_ = object;
        return S_OK;
    }

protected:
    virtual ~CComWindow() = default;

private:
    HWND host_;
    HWND own_ = nullptr;
    const wchar_t* title_;
    bool frame_;
    IOleInPlaceActiveObject* active_ = nullptr;
    LONG refs_ = 1;
};

class CComUIWindow : public CComWindow<IOleInPlaceUIWindow> {
public:
    explicit CComUIWindow(CComHost* host) : CComWindow(host, L"ZAL UI Window", false) {}
};

class CComFrameWindow : public CComWindow<IOleInPlaceFrame> {
public:
    explicit CComFrameWindow(CComHost* host) : CComWindow(host, L"ZAL Frame Window", true) {}
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }
};

// ---------------------------------------------------------------- in-place site

class CImpIOleInPlaceSiteWindowless : public HostSite<IOleInPlaceSiteWindowless> {
public:
    using HostSite::HostSite;
    // IOleWindow
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) override
    {
        if (!out)
            return E_POINTER;
        *out = host_->window;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override
    {
        host_->flags = (host_->flags | HF_INPLACE) & ~HF_WINDOWLESS;
        OleLockRunning(host_->control, TRUE, FALSE);
        TakeInPlaceObject(IID_IOleInPlaceObject);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override
    {
        host_->flags |= HF_UIACTIVE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** ui, LPRECT position,
                                               LPRECT clip, LPOLEINPLACEFRAMEINFO info) override
    {
        if (frame)
            *frame = nullptr;
        if (ui)
            *ui = nullptr;
        if (!frame || !ui || !position || !clip)
            return E_POINTER;
        if (!host_->frame)
            host_->frame = new (std::nothrow) CComFrameWindow(host_);
        if (!host_->uiWindow)
            host_->uiWindow = new (std::nothrow) CComUIWindow(host_);
        if (host_->frame) {
            host_->frame->AddRef();
            *frame = host_->frame;
        }
        if (host_->uiWindow) {
            host_->uiWindow->AddRef();
            *ui = host_->uiWindow;
        }
        GetClientRect(host_->window, position);
        GetClientRect(host_->window, clip);
        if (!host_->accelerators) {
            ACCEL none{};
            host_->accelerators = CreateAcceleratorTableW(&none, 1);
        }
        if (info) {
            info->cb = 32;
            info->fMDIApp = FALSE;
            info->hwndFrame = GetParent(host_->window);
            info->haccel = host_->accelerators;
            info->cAccelEntries = host_->accelerators ? 1 : 0;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override
    {
        host_->flags &= ~HF_UIACTIVE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override
    {
        host_->flags &= ~HF_INPLACE;
        if (host_->inPlaceObject) {
            host_->inPlaceObject->Release();
            host_->inPlaceObject = nullptr;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return E_NOTIMPL; }
    // IOleInPlaceSiteEx
    HRESULT STDMETHODCALLTYPE OnInPlaceActivateEx(BOOL* noRedraw, DWORD activate) override
    {
        host_->flags |= HF_INPLACE;
        OleLockRunning(host_->control, TRUE, FALSE);
        bool windowless = false;
        if (activate & ACTIVATE_WINDOWLESS)
            windowless = TakeInPlaceObject(IID_IOleInPlaceObjectWindowless);
        if (windowless)
            host_->flags |= HF_WINDOWLESS;
        else {
            host_->flags &= ~HF_WINDOWLESS;
            TakeInPlaceObject(IID_IOleInPlaceObject);
        }
        if (host_->inPlaceObject)
            host_->inPlaceObject->SetObjectRects(&host_->rect, &host_->rect);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivateEx(BOOL) override { return OnInPlaceDeactivate(); }
    HRESULT STDMETHODCALLTYPE RequestUIActivate() override { return S_OK; }
    // IOleInPlaceSiteWindowless
    HRESULT STDMETHODCALLTYPE CanWindowlessActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetCapture() override { return (host_->flags & HF_CAPTURED) ? S_OK : S_FALSE; }
    HRESULT STDMETHODCALLTYPE SetCapture(BOOL on) override
    {
        if (on) {
            ::SetCapture(host_->window);
            host_->flags |= HF_CAPTURED;
        } else {
            ReleaseCapture();
            host_->flags &= ~HF_CAPTURED;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFocus() override { return (host_->flags & HF_FOCUS) ? S_OK : S_FALSE; }
    HRESULT STDMETHODCALLTYPE SetFocus(BOOL on) override
    {
        host_->flags = on ? (host_->flags | HF_FOCUS) : (host_->flags & ~HF_FOCUS);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDC(LPCRECT, DWORD drawFlags, HDC* out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (!mayLend_)
            return E_FAIL;
        HDC dc = ::GetDC(host_->window);
        if (!dc)
            return E_FAIL;
        mayLend_ = false;
        RECT client;
        GetClientRect(host_->window, &client);
        if (drawFlags & OLEDC_NODRAW) {
            windowDc_ = dc;
            *out = dc;
            return S_OK;
        }
        windowDc_ = dc;
        if (drawFlags & OLEDC_OFFSCREEN) {
            memoryDc_ = CreateCompatibleDC(dc);
            bitmap_ = CreateCompatibleBitmap(dc, client.right, client.bottom);
            oldBitmap_ = SelectObject(memoryDc_, bitmap_);
            offscreen_ = true;
            dc = memoryDc_;
        }
        if (drawFlags & OLEDC_PAINTBKGND)
            FillRect(dc, &client, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
        *out = dc;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ReleaseDC(HDC) override
    {
        mayLend_ = true;
        if (offscreen_) {
            RECT client;
            GetClientRect(host_->window, &client);
            BitBlt(windowDc_, 0, 0, client.right, client.bottom, memoryDc_, 0, 0, SRCCOPY);
            SelectObject(memoryDc_, oldBitmap_);
            DeleteObject(bitmap_);
            DeleteDC(memoryDc_);
            memoryDc_ = nullptr;
            bitmap_ = nullptr;
            offscreen_ = false;
        }
        if (windowDc_)
            ::ReleaseDC(host_->window, windowDc_);
        windowDc_ = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE InvalidateRect(LPCRECT rect, BOOL erase) override
    {
        ::InvalidateRect(host_->window, rect, erase);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE InvalidateRgn(HRGN region, BOOL erase) override
    {
        ::InvalidateRgn(host_->window, region, erase);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ScrollRect(INT, INT, LPCRECT, LPCRECT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE AdjustRect(LPRECT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDefWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        LRESULT r = DefWindowProcA(host_->window, message, wParam, lParam);
        if (result)
            *result = r;
        return S_OK;
    }

private:
    // The control's in-place object of that interface replaces the one held.
    bool TakeInPlaceObject(REFIID iid)
    {
        IOleInPlaceObject* object = nullptr;
        if (!host_->control || FAILED(host_->control->QueryInterface(iid, reinterpret_cast<void**>(&object))))
            return false;
        if (host_->inPlaceObject)
            host_->inPlaceObject->Release();
        host_->inPlaceObject = object;
        return true;
    }

    HDC windowDc_ = nullptr;
    HDC memoryDc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
    bool offscreen_ = false;
    bool mayLend_ = true;
};

// ---------------------------------------------------------------- control site

class CImpIOleControlSite : public HostSite<IOleControlSite> {
public:
    using HostSite::HostSite;
    HRESULT STDMETHODCALLTYPE OnControlInfoChanged() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LockInPlaceActive(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetExtendedControl(IDispatch** out) override
    {
        if (!out)
            return E_POINTER;
        *out = host_->ControlDispatch();
        return *out ? S_OK : E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE TransformCoords(POINTL* himetric, POINTF* container, DWORD flags) override
    {
        if (!himetric || !container)
            return E_POINTER;
        bool size = (flags & XFORMCOORDS_SIZE) != 0;
        if ((flags & XFORMCOORDS_HIMETRICTOCONTAINER) && !(flags & XFORMCOORDS_CONTAINERTOHIMETRIC)) {
            long x = MulDiv(himetric->x, 1440, 2540), y = MulDiv(himetric->y, 1440, 2540);
            container->x = static_cast<float>(size ? labs(x) : x);
            container->y = static_cast<float>(size ? labs(y) : y);
            return S_OK;
        }
        if ((flags & XFORMCOORDS_CONTAINERTOHIMETRIC) && !(flags & XFORMCOORDS_HIMETRICTOCONTAINER)) {
            long x = MulDiv(static_cast<int>(container->x), 2540, 1440);
            long y = MulDiv(static_cast<int>(container->y), 2540, 1440);
            himetric->x = size ? labs(x) : x;
            himetric->y = size ? labs(y) : y;
            return S_OK;
        }
        return E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*, DWORD) override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE OnFocus(BOOL got) override
    {
        host_->flags = got ? (host_->flags | HF_FOCUS) : (host_->flags & ~HF_FOCUS);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ShowPropertyFrame() override { return E_NOTIMPL; }
};

// ---------------------------------------------------------------- container and its enumerator

namespace {

class CImpIEnumUnknown : public ComCounted<IEnumUnknown> {
public:
    CImpIEnumUnknown(IUnknown* element) : element_(element)
    {
        if (element_)
            element_->AddRef();
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IEnumUnknown)
            return E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    // Hands out what remains: S_FALSE when that is fewer than asked for.
    HRESULT STDMETHODCALLTYPE Next(ULONG count, IUnknown** elements, ULONG* fetched) override
    {
        if (count == 0)
            return E_INVALIDARG;
        if (!elements || (count > 1 && !fetched))
            return E_POINTER;
        if (!element_)
            return E_FAIL;
        ULONG given = 0;
        if (position_ == 0 && count >= 1) {
            element_->AddRef();
            elements[0] = element_;
            given = 1;
            position_ = 1;
        }
        if (fetched)
            *fetched = given;
        return given == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override
    {
        if (count == 0)
            return E_INVALIDARG;
        ULONG remaining = 1 - position_;
        ULONG step = count < remaining ? count : remaining;
        position_ += step;
        return step < count ? S_FALSE : S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reset() override
    {
        position_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumUnknown** out) override
    {
        if (!out)
            return E_POINTER;
        *out = new (std::nothrow) CImpIEnumUnknown(element_);
        return *out ? S_OK : E_OUTOFMEMORY;
    }

private:
    virtual ~CImpIEnumUnknown()
    {
        if (element_)
            element_->Release();
    }
    IUnknown* element_;
    ULONG position_ = 0;
};

}  // namespace

IEnumUnknown* NewSingleEnumerator(IUnknown* element) { return new (std::nothrow) CImpIEnumUnknown(element); }

class CImpIOleContainer : public HostSite<IOleContainer> {
public:
    using HostSite::HostSite;
    HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx*, LPOLESTR, ULONG*, IMoniker**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumObjects(DWORD, IEnumUnknown** out) override
    {
        if (!out)
            return E_POINTER;
        *out = NewSingleEnumerator(host_->control);
        return *out ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE LockContainer(BOOL lock) override
    {
        host_->flags = lock ? (host_->flags | HF_LOCKED) : (host_->flags & ~HF_LOCKED);
        return S_OK;
    }
};

// ---------------------------------------------------------------- advise sink

class CImpIAdviseSink : public HostSite<IAdviseSink> {
public:
    using HostSite::HostSite;
    void STDMETHODCALLTYPE OnDataChange(FORMATETC*, STGMEDIUM*) override {}
    void STDMETHODCALLTYPE OnViewChange(DWORD, LONG) override {}
    void STDMETHODCALLTYPE OnRename(IMoniker*) override {}
    void STDMETHODCALLTYPE OnSave() override {}
    void STDMETHODCALLTYPE OnClose() override {}
};

// ---------------------------------------------------------------- service provider and security

class CImpIServiceProvider : public HostSite<IServiceProvider> {
public:
    using HostSite::HostSite;
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (service != IID_IInternetSecurityManager)
            return E_NOINTERFACE;
        return host_->QueryInterface(iid, out);
    }
};

class CImpIInternetSecurityManager : public HostSite<IInternetSecurityManager> {
public:
    using HostSite::HostSite;
    HRESULT STDMETHODCALLTYPE SetSecuritySite(IInternetSecurityMgrSite*) override { return INET_E_DEFAULT_ACTION; }
    HRESULT STDMETHODCALLTYPE GetSecuritySite(IInternetSecurityMgrSite**) override { return INET_E_DEFAULT_ACTION; }
    HRESULT STDMETHODCALLTYPE MapUrlToZone(LPCWSTR, DWORD*, DWORD) override { return INET_E_DEFAULT_ACTION; }
    HRESULT STDMETHODCALLTYPE GetSecurityId(LPCWSTR, BYTE*, DWORD*, DWORD_PTR) override { return INET_E_DEFAULT_ACTION; }
    HRESULT STDMETHODCALLTYPE ProcessUrlAction(LPCWSTR, DWORD action, BYTE* policy, DWORD size, BYTE*, DWORD, DWORD,
                                               DWORD) override
    {
        if (!policy)
            return E_POINTER;
        if (!(host_->flags & HF_SCRIPT) || (action != URLACTION_SCRIPT_RUN && action != URLACTION_SCRIPT_RUN + 1))
            return INET_E_DEFAULT_ACTION;
        if (size < 4)
            return S_FALSE;
        *reinterpret_cast<DWORD*>(policy) = URLPOLICY_ALLOW;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryCustomPolicy(LPCWSTR, REFGUID, BYTE**, DWORD*, BYTE*, DWORD, DWORD) override
    {
        return INET_E_DEFAULT_ACTION;
    }
    HRESULT STDMETHODCALLTYPE SetZoneMapping(DWORD, LPCWSTR, DWORD) override { return INET_E_DEFAULT_ACTION; }
    HRESULT STDMETHODCALLTYPE GetZoneMappings(DWORD, IEnumString**, DWORD) override { return INET_E_DEFAULT_ACTION; }
};

// ---------------------------------------------------------------- window.external

namespace {

const CPrivDisp::Member kExternalMembers[] = {
    {L"scrollable", 0}, {L"contextmenu", 1}, {L"flatscrollbars", 2}, {L"threedborder", 3}, {L"inplacenavigation", 4},
};

}  // namespace

class CExternalDisp : public CPrivDisp {
public:
    explicit CExternalDisp(CComHost* host) : CPrivDisp(host->ctx, kExternalMembers, 5), host_(host) { host_->AddRef(); }

protected:
    ~CExternalDisp() override { host_->Release(); }
    HRESULT InvokeMember(DISPID id, bool put, const VARIANT*, const VARIANT* value, VARIANT* result) override
    {
        lastResult = S_OK;
        DWORD& f = host_->docHostFlags;
        if (!put) {
            bool on = false;
            switch (id) {
            case 0: on = !(f & 0x8); break;
            case 1: on = (host_->flags & HF_CONTEXT_MENU) != 0; break;
            case 2: on = (f & 0x80) != 0; break;
            case 3: on = !(f & 0x4); break;
            case 4: on = (f & 0x10000) != 0; break;
            default: return DISP_E_MEMBERNOTFOUND;
            }
            result->vt = VT_BOOL;
            result->boolVal = on ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        }
        VARIANT b;
        VariantInit(&b);
        HRESULT hr = VariantChangeType(&b, const_cast<VARIANT*>(value), 0, VT_BOOL);
        if (FAILED(hr))
            return hr;
        bool isTrue = b.boolVal == VARIANT_TRUE, nonzero = b.boolVal != 0;
        switch (id) {
        case 0: f = isTrue ? (f & ~0x8u) : (f | 0x8); break;
        case 1: host_->flags = isTrue ? (host_->flags | HF_CONTEXT_MENU) : (host_->flags & ~HF_CONTEXT_MENU); return S_OK;
        case 2: f = nonzero ? (f | 0x80) : (f & ~0x80u); break;
        case 3: f = isTrue ? (f & ~0x4u) : (f | 0x4); break;
        case 4: f = nonzero ? (f | 0x10000) : (f & ~0x10000u); break;
        default: return DISP_E_MEMBERNOTFOUND;
        }
        host_->AmbientChanged(DISPID_UNKNOWN);
        return S_OK;
    }

private:
    CComHost* host_;
};

// ---------------------------------------------------------------- document UI handler

class CImpIDocHostUIHandler : public HostSite<IDocHostUIHandler> {
public:
    using HostSite::HostSite;
    HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override
    {
        return (host_->flags & HF_CONTEXT_MENU) ? S_FALSE : S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetHostInfo(DOCHOSTUIINFO* info) override
    {
        if (!info)
            return E_POINTER;
        info->dwFlags = host_->docHostFlags;
        info->dwDoubleClick = host_->doubleClick;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                                     IOleInPlaceUIWindow*) override
    {
        return (host_->flags & HF_BROWSER_UI) ? S_FALSE : S_OK;
    }
    HRESULT STDMETHODCALLTYPE HideUI() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE UpdateUI() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, const GUID*, DWORD) override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE GetOptionKeyPath(LPOLESTR* out, DWORD) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (!host_->optionKeyPath)
            return S_FALSE;
        size_t bytes = (SysStringLen(host_->optionKeyPath) + 1) * sizeof(wchar_t);
        *out = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
        if (!*out)
            return E_OUTOFMEMORY;
        std::memcpy(*out, host_->optionKeyPath, bytes);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget*, IDropTarget** out) override
    {
        if (out)
            *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetExternal(IDispatch** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (!host_->external)
            host_->external = new (std::nothrow) CExternalDisp(host_);
        if (!host_->external)
            return E_NOINTERFACE;
        host_->external->AddRef();
        *out = host_->external;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD, LPWSTR, LPWSTR* out) override
    {
        if (out)
            *out = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE FilterDataObject(IDataObject*, IDataObject** out) override
    {
        if (out)
            *out = nullptr;
        return S_FALSE;
    }
};

// ---------------------------------------------------------------- ambient properties

IFontDisp* HostFontObject(CComHost* host)
{
    if (host->fontObject)
        return host->fontObject;
    HFONT font = host->font ? host->font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    if (!font)
        font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    LOGFONTA logical{};
    if (!GetObjectA(font, sizeof logical, &logical))
        return nullptr;
    wchar_t face[LF_FACESIZE + 1] = {};
    MultiByteToWideChar(CP_ACP, 0, logical.lfFaceName, -1, face, LF_FACESIZE);
    HDC dc = GetDC(host->window);
    if (!dc)
        return nullptr;
    int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(host->window, dc);
    FONTDESC desc{};
    desc.cbSizeofstruct = 40;
    desc.lpstrName = face;
    desc.cySize.int64 = static_cast<LONGLONG>(labs(logical.lfHeight)) * 720000 / (dpi ? dpi : 96);
    desc.sWeight = static_cast<SHORT>(logical.lfWeight);
    desc.sCharset = logical.lfCharSet;
    desc.fItalic = logical.lfItalic;
    desc.fUnderline = logical.lfUnderline;
    desc.fStrikethrough = logical.lfStrikeOut;
    if (FAILED(OleCreateFontIndirect(&desc, IID_IFontDisp, reinterpret_cast<void**>(&host->fontObject))))
        host->fontObject = nullptr;
    return host->fontObject;
}

class CImpIAmbientDispatch : public HostSite<IDispatch> {
public:
    using HostSite::HostSite;
    ~CImpIAmbientDispatch() override { VariantClear(&spare_); }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                                     UINT*) override
    {
        if (iid != IID_NULL)
            return E_INVALIDARG;
        if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)))
            return DISP_E_MEMBERNOTFOUND;
        if (!result) {
            VariantClear(&spare_);
            result = &spare_;
        }
        VariantInit(result);
        switch (id) {
        case DISPID_AMBIENT_BACKCOLOR:
            result->vt = VT_I4;
            result->lVal = static_cast<LONG>(host_->backColor);
            break;
        case DISPID_AMBIENT_FONT: {
            IFontDisp* font = HostFontObject(host_);
            result->vt = VT_DISPATCH;
            result->pdispVal = font;
            if (font)
                font->AddRef();
            break;
        }
        case DISPID_AMBIENT_FORECOLOR:
            result->vt = VT_I4;
            result->lVal = static_cast<LONG>(host_->foreColor);
            break;
        case DISPID_AMBIENT_LOCALEID:
            result->vt = VT_UI4;
            result->ulVal = host_->locale;
            break;
        case DISPID_AMBIENT_MESSAGEREFLECT:
            result->vt = VT_BOOL;
            result->boolVal = host_->messageReflect ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case DISPID_AMBIENT_USERMODE:
            result->vt = VT_BOOL;
            result->boolVal = host_->userMode ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case DISPID_AMBIENT_DISPLAYASDEFAULT:
            result->vt = VT_BOOL;
            result->boolVal = host_->displayAsDefault ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case -714:
        case -8001:
            result->vt = VT_BOOL;
            result->boolVal = VARIANT_TRUE;
            break;
        default:
            result->vt = VT_BOOL;
            result->boolVal = VARIANT_FALSE;
            break;
        }
        return S_OK;
    }

private:
    VARIANT spare_{};
};

// ---------------------------------------------------------------- the host's table

template <typename Site>
void* MakeOnce(CComHost* host, Site*& slot)
{
    if (!slot)
        slot = new (std::nothrow) Site(host);
    return slot;
}

void* MakeHostSite(CComHost* host, REFIID iid)
{
    if (iid == IID_IOleClientSite)
        return static_cast<IOleClientSite*>(static_cast<CImpIOleClientSite*>(MakeOnce(host, host->clientSite)));
    if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite || iid == IID_IOleInPlaceSiteEx
        || iid == IID_IOleInPlaceSiteWindowless)
        return static_cast<IOleInPlaceSiteWindowless*>(
            static_cast<CImpIOleInPlaceSiteWindowless*>(MakeOnce(host, host->inPlaceSite)));
    if (iid == IID_IOleContainer)
        return static_cast<IOleContainer*>(static_cast<CImpIOleContainer*>(MakeOnce(host, host->container)));
    if (iid == IID_IOleControlSite)
        return static_cast<IOleControlSite*>(static_cast<CImpIOleControlSite*>(MakeOnce(host, host->controlSite)));
    if (iid == IID_IAdviseSink)
        return static_cast<IAdviseSink*>(static_cast<CImpIAdviseSink*>(MakeOnce(host, host->adviseSink)));
    if (iid == IID_IServiceProvider)
        return static_cast<IServiceProvider*>(
            static_cast<CImpIServiceProvider*>(MakeOnce(host, host->serviceProvider)));
    if (iid == IID_IInternetSecurityManager)
        return static_cast<IInternetSecurityManager*>(
            static_cast<CImpIInternetSecurityManager*>(MakeOnce(host, host->securityManager)));
    if (iid == IID_IDocHostUIHandler)
        return static_cast<IDocHostUIHandler*>(static_cast<CImpIDocHostUIHandler*>(MakeOnce(host, host->uiHandler)));
    if (iid == IID_IDispatch)
        return static_cast<IDispatch*>(static_cast<CImpIAmbientDispatch*>(MakeOnce(host, host->ambient)));
    return nullptr;
}

void DeleteHostSites(CComHost* host)
{
    delete host->clientSite;
    delete host->inPlaceSite;
    delete host->container;
    delete host->controlSite;
    delete host->adviseSink;
    delete host->serviceProvider;
    delete host->securityManager;
    delete host->uiHandler;
    delete host->ambient;
    host->clientSite = nullptr;
    host->inPlaceSite = nullptr;
    host->container = nullptr;
    host->controlSite = nullptr;
    host->adviseSink = nullptr;
    host->serviceProvider = nullptr;
    host->securityManager = nullptr;
    host->uiHandler = nullptr;
    host->ambient = nullptr;
}

void ReleaseHostWindowObjects(CComHost* host, bool external)
{
    if (external) {
        CExternalDisp* held = host->external;
        host->external = nullptr;
        if (held)
            held->Release();
        return;
    }
    CComUIWindow* ui = host->uiWindow;
    CComFrameWindow* frame = host->frame;
    host->uiWindow = nullptr;
    host->frame = nullptr;
    if (ui)
        ui->Release();
    if (frame)
        frame->Release();
}
