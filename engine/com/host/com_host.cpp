// The control host window "ZalComWin": creating a control by name, putting it into
// service (client site, persistence, view, advise, in-place activation), its window
// procedure (sizing, focus, painting, reflection of child notifications) and teardown,
// and the operations through which the dialog engine reaches the hosted control.
#include <windows.h>
#include <oleauto.h>
#include <olectl.h>
#include <exdisp.h>
#include <mshtml.h>

#include <cstring>
#include <new>
#include <string>

#include "engine/com/com_adapter.h"
#include "engine/com/com_errors.h"
#include "engine/com/com_events.h"
#include "engine/com/com_value.h"
#include "engine/com/host/com_host_internal.h"
#include "engine/core/context.h"
#include "engine/core/module.h"

namespace {

constexpr uint16_t ERR_MEMORY = 1491;
constexpr uint16_t ERR_NULL_OBJECT = 1540;
constexpr uint16_t ERR_NO_EVENTS = 1752;
constexpr uint16_t ERR_NO_EVENT = 1753;
constexpr size_t MAX_NAME = 255;
constexpr UINT REFLECT_BASE = 0x2000;            // OCM__BASE: a reflected notification
constexpr UINT FORWARD_MESSAGE = 0x037F;         // WM_FORWARDMSG
constexpr DWORD NO_UI_ACTIVATION = 0x16400;      // simple frame, no UI activation, label, invisible

// The HTML document class (mshtml), which the toolchain's import libraries leave out.
const CLSID CLSID_HtmlDocumentObject = {0x25336920, 0x03F9, 0x11CF, {0x8F, 0xD0, 0x00, 0xAA, 0x00, 0x68, 0x6F, 0x13}};

UINT g_getControlMessage;
UINT g_freezeEventsMessage;

CComHost* HostOf(HWND window)
{
    if (!IsWindow(window))
        return nullptr;
    return reinterpret_cast<CComHost*>(IsWindowUnicode(window) ? GetWindowLongPtrW(window, GWLP_USERDATA)
                                                               : GetWindowLongPtrA(window, GWLP_USERDATA));
}

LRESULT SendTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return IsWindowUnicode(window) ? SendMessageW(window, message, wParam, lParam)
                                   : SendMessageA(window, message, wParam, lParam);
}

template <typename T>
void ReleaseInto(T*& p)
{
    if (p) {
        T* held = p;
        p = nullptr;
        held->Release();
    }
}

// A stream over a copy of `count` bytes (the stream frees the block), or null.
IStream* StreamOver(const void* bytes, size_t count)
{
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, count ? count : 1);
    if (!block)
        return nullptr;
    void* at = GlobalLock(block);
    if (at && count)
        std::memcpy(at, bytes, count);
    GlobalUnlock(block);
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(block, TRUE, &stream))) {
        GlobalFree(block);
        return nullptr;
    }
    return stream;
}

BSTR NarrowToBstr(BDS* ctx, const char* text)
{
    int units = MultiByteToWideChar(ctx->nCodePage, 0, text, -1, nullptr, 0);
    if (units <= 1)
        return nullptr;
    BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(units - 1));
    if (out)
        MultiByteToWideChar(ctx->nCodePage, 0, text, -1, out, units);
    return out;
}

}  // namespace

// ---------------------------------------------------------------- the host record

CComHost::CComHost(BDS* context, HWND hostWindow) : ctx(context), window(hostWindow)
{
    foreColor = GetSysColor(COLOR_WINDOWTEXT);
}

CComHost::~CComHost()
{
    Teardown();
    DeleteHostSites(this);
    SysFreeString(optionKeyPath);
}

HRESULT STDMETHODCALLTYPE CComHost::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_NOINTERFACE;
    *out = nullptr;
    if (iid == IID_IUnknown)
        *out = static_cast<IUnknown*>(this);
    else
        *out = MakeHostSite(this, iid);
    if (!*out)
        return E_NOINTERFACE;
    static_cast<IUnknown*>(*out)->AddRef();
    return S_OK;
}

IDispatch* CComHost::ControlDispatch()
{
    IDispatch* disp = nullptr;
    if (control && FAILED(control->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&disp))))
        disp = nullptr;
    return disp;
}

int CComHost::MakeControlDispatchObject()
{
    if (object.flags)
        return 1;
    IDispatch* disp = nullptr;
    HRESULT hr = control ? control->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&disp)) : E_NOINTERFACE;
    if (FAILED(hr)) {
        SetError(ctx, HresultToErrorNumber(ctx, hr, "CComHost::MakeControlDispatchObject"));
        return 0;
    }
    int ok = WrapDispatchAsObject(ctx, disp, true, &object);
    disp->Release();
    if (!ok)
        std::memset(&object, 0, sizeof object);
    return ok;
}

void CComHost::AmbientChanged(DISPID id)
{
    IOleControl* oleControl = nullptr;
    if (control && SUCCEEDED(control->QueryInterface(IID_IOleControl, reinterpret_cast<void**>(&oleControl)))) {
        oleControl->OnAmbientPropertyChange(id);
        oleControl->Release();
    }
}

HRESULT CComHost::CreateControl(const wchar_t* name, const char* licenceKey, IStream* stream)
{
    if (control)
        return E_POINTER;
    CLSID clsid;
    bool html = _wcsnicmp(name, L"MSHTML:", 7) == 0;
    HRESULT hr;
    if (html) {
        clsid = CLSID_HtmlDocumentObject;
        hr = S_OK;
    } else if (std::wcschr(name, L':')) {
        clsid = CLSID_WebBrowser;
        flags |= HF_BROWSER;
        hr = S_OK;
    } else if (std::wcslen(name) >= MAX_NAME) {
        return E_FAIL;
    } else {
        hr = name[0] == L'{' ? CLSIDFromString(const_cast<LPOLESTR>(name), &clsid) : CLSIDFromProgID(name, &clsid);
    }
    if (FAILED(hr))
        return hr;
    hr = E_NOINTERFACE;
    if (licenceKey && !html && !(flags & HF_BROWSER)) {
        IClassFactory2* factory = nullptr;
        hr = CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory2,
                              reinterpret_cast<void**>(&factory));
        if (SUCCEEDED(hr)) {
            BSTR key = *licenceKey ? NarrowToBstr(ctx, licenceKey) : nullptr;
            hr = factory->CreateInstanceLic(nullptr, nullptr, IID_IUnknown, key, reinterpret_cast<void**>(&control));
            SysFreeString(key);
            factory->Release();
        }
    }
    // A class without licensing takes no key.
    if (hr == E_NOINTERFACE)
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&control));
    if (FAILED(hr)) {
        control = nullptr;
        return hr;
    }
    return Activate(stream, html, name);
}

// Puts a created control into service; any failure tears the host down.
HRESULT CComHost::Activate(IStream* stream, bool html, const wchar_t* name)
{
    if (!IsWindow(window))
        return S_FALSE;
    if (backColor == 0)
        backColor = GetSysColor(COLOR_BTNFACE);
    IOleClientSite* site = nullptr;
    QueryInterface(IID_IOleClientSite, reinterpret_cast<void**>(&site));
    HRESULT hr = control->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&oleObject));
    if (SUCCEEDED(hr)) {
        oleObject->GetMiscStatus(DVASPECT_CONTENT, &miscStatus);
        if (miscStatus & OLEMISC_SETCLIENTSITEFIRST)
            oleObject->SetClientSite(site);
    } else {
        oleObject = nullptr;
    }
    IPersistStreamInit* init = nullptr;
    hr = S_OK;
    if (SUCCEEDED(control->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&init)))) {
        hr = stream ? init->Load(stream) : init->InitNew();
        init->Release();
    } else if (stream) {
        IPersistStream* persist = nullptr;
        hr = control->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist));
        if (SUCCEEDED(hr)) {
            hr = persist->Load(stream);
            persist->Release();
        }
    }
    if (SUCCEEDED(hr) && oleObject && !(miscStatus & OLEMISC_SETCLIENTSITEFIRST))
        oleObject->SetClientSite(site);
    if (site)
        site->Release();
    if (SUCCEEDED(hr)) {
        if (SUCCEEDED(control->QueryInterface(IID_IViewObjectEx, reinterpret_cast<void**>(&viewObject))))
            viewLevel = 7;
        else if (SUCCEEDED(control->QueryInterface(IID_IViewObject2, reinterpret_cast<void**>(&viewObject))))
            viewLevel = 3;
        else if (SUCCEEDED(control->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&viewObject))))
            viewLevel = 1;
        else
            viewObject = nullptr;
        IAdviseSink* sink = nullptr;
        QueryInterface(IID_IAdviseSink, reinterpret_cast<void**>(&sink));
        if (oleObject && sink)
            oleObject->Advise(sink, &adviseConnection);
        if (viewObject && sink)
            viewObject->SetAdvise(DVASPECT_CONTENT, 0, sink);
        if (sink)
            sink->Release();
        if (oleObject)
            oleObject->SetHostNames(L"ZEZIVU", nullptr);
        if (oleObject && !(miscStatus & OLEMISC_INVISIBLEATRUNTIME)) {
            GetClientRect(window, &rect);
            extentPixels = {rect.right - rect.left, rect.bottom - rect.top};
            extentHimetric = PixelsToHimetric(extentPixels);
            oleObject->SetExtent(DVASPECT_CONTENT, &extentHimetric);
            if (SUCCEEDED(oleObject->GetExtent(DVASPECT_CONTENT, &extentHimetric)))
                extentPixels = HimetricToPixels(extentHimetric);
            rect.right = rect.left + extentPixels.cx;
            rect.bottom = rect.top + extentPixels.cy;
            IOleClientSite* verbSite = nullptr;
            QueryInterface(IID_IOleClientSite, reinterpret_cast<void**>(&verbSite));
            hr = oleObject->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, verbSite, 0, window, &rect);
            if (verbSite)
                verbSite->Release();
            RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_ERASE | RDW_UPDATENOW | RDW_FRAME);
        }
    }
    if (SUCCEEDED(hr)) {
        IObjectWithSite* withSite = nullptr;
        if (SUCCEEDED(control->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&withSite)))) {
            withSite->SetSite(static_cast<IUnknown*>(this));
            withSite->Release();
        }
        if (html) {
            size_t chars = std::wcslen(name + 7);
            IStream* page = StreamOver(name + 7, chars * sizeof(wchar_t));
            IPersistStreamInit* document = nullptr;
            hr = page ? control->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&document))
                      : E_OUTOFMEMORY;
            if (SUCCEEDED(hr)) {
                hr = document->Load(page);
                document->Release();
            }
            if (page)
                page->Release();
        } else if (flags & HF_BROWSER) {
            IWebBrowser2* browser = nullptr;
            if (SUCCEEDED(control->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser)))) {
                browser->put_Visible(VARIANT_TRUE);
                VARIANT address, empty;
                VariantInit(&empty);
                VariantInit(&address);
                address.vt = VT_BSTR;
                address.bstrVal = SysAllocString(name);
                browser->Navigate2(&address, &empty, &empty, &empty, &empty);
                VariantClear(&address);
                browser->Release();
            }
        }
    }
    if (FAILED(hr)) {
        Teardown();
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
    }
    return hr;
}

void CComHost::Teardown()
{
    if (flags & HF_TORN_DOWN)
        return;
    flags |= HF_TORN_DOWN;
    if (viewObject)
        viewObject->SetAdvise(DVASPECT_CONTENT, 0, nullptr);
    if (object.flags) {
        ValueReleaseComPayload(object.flags, &object);
        std::memset(&object, 0, sizeof object);
    }
    ReleaseHostWindowObjects(this, true);
    if (oleObject) {
        if (adviseConnection != 0xCDCDCDCD)
            oleObject->Unadvise(adviseConnection);
        oleObject->Close(OLECLOSE_NOSAVE);
        oleObject->SetClientSite(nullptr);
    }
    if (control) {
        IObjectWithSite* withSite = nullptr;
        if (SUCCEEDED(control->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&withSite)))) {
            withSite->SetSite(nullptr);
            withSite->Release();
        }
    }
    ReleaseInto(viewObject);
    viewLevel = 0;
    ReleaseInto(inPlaceObject);
    ReleaseInto(oleObject);
    ReleaseInto(control);
    ReleaseHostWindowObjects(this, false);
    ReleaseInto(fontObject);
    // The torn-down flag stays set: a second teardown releases nothing twice.
    flags &= ~(HF_CAPTURED | HF_WINDOWLESS | HF_UIACTIVE | HF_INPLACE);
    if (accelerators) {
        DestroyAcceleratorTable(accelerators);
        accelerators = nullptr;
    }
}

// ---------------------------------------------------------------- the window procedure

namespace {

// Sends a child's notification back to it as message + 0x2000.
bool Reflect(CComHost* host, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* answer)
{
    HWND child = nullptr;
    switch (message) {
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
        child = reinterpret_cast<HWND>(lParam);
        break;
    case WM_NOTIFY:
        child = lParam ? reinterpret_cast<NMHDR*>(lParam)->hwndFrom : nullptr;
        break;
    case WM_PARENTNOTIFY:
        child = (LOWORD(wParam) == WM_CREATE || LOWORD(wParam) == WM_DESTROY)
                    ? reinterpret_cast<HWND>(lParam)
                    : GetDlgItem(host->window, HIWORD(wParam));
        break;
    case WM_DRAWITEM:
        child = lParam ? reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->hwndItem : nullptr;
        if (child && !IsWindow(child))
            child = nullptr;
        break;
    case WM_MEASUREITEM:
        if (lParam && reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->CtlType != ODT_MENU)
            child = GetDlgItem(host->window, static_cast<int>(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->CtlID));
        break;
    case WM_DELETEITEM:
    case WM_COMPAREITEM:
        child = GetDlgItem(host->window, static_cast<int>(wParam));
        break;
    default:
        if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC)
            child = reinterpret_cast<HWND>(lParam);
        break;
    }
    if (!child || !IsWindow(child))
        return false;
    if (host->flags & HF_WINDOWLESS) {
        *answer = 0;
        auto* windowless = static_cast<IOleInPlaceObjectWindowless*>(host->inPlaceObject);
        if (windowless && (host->flags & HF_INPLACE))
            windowless->OnWindowMessage(message + REFLECT_BASE, wParam, lParam, answer);
        return true;
    }
    *answer = SendTo(child, message + REFLECT_BASE, wParam, lParam);
    return true;
}

bool IsWindowlessFocusMessage(UINT m)
{
    return m == WM_CANCELMODE || m == WM_HELP || (m >= 0x0100 && m <= 0x0105) || m == 0x0107 || m == 0x0209
           || (m >= 0x0281 && m <= 0x0286) || m == 0x0290 || m == 0x0291;
}

}  // namespace

LRESULT CComHost::WindowProc(UINT message, WPARAM wParam, LPARAM lParam, bool* handled)
{
    *handled = true;
    IOleInPlaceObjectWindowless* windowless =
        (flags & HF_WINDOWLESS) ? static_cast<IOleInPlaceObjectWindowless*>(inPlaceObject) : nullptr;
    switch (message) {
    case WM_SIZE: {
        rect.right = rect.left + LOWORD(lParam);
        rect.bottom = rect.top + HIWORD(lParam);
        SIZEL pixels = {rect.right - rect.left, rect.bottom - rect.top};
        extentHimetric = PixelsToHimetric(pixels);
        if (oleObject)
            oleObject->SetExtent(DVASPECT_CONTENT, &extentHimetric);
        if (inPlaceObject)
            inPlaceObject->SetObjectRects(&rect, &rect);
        if (windowless)
            InvalidateRect(window, nullptr, TRUE);
        break;
    }
    case WM_SETFOCUS:
        flags |= HF_FOCUS;
        if (!(flags & HF_TORN_DOWN)) {
            if (oleObject && !(flags & HF_UIACTIVE)) {
                IOleClientSite* site = nullptr;
                QueryInterface(IID_IOleClientSite, reinterpret_cast<void**>(&site));
                oleObject->DoVerb(OLEIVERB_UIACTIVATE, nullptr, site, 0, window, &rect);
                if (site)
                    site->Release();
            }
            HWND focus = GetFocus();
            if (flags & HF_WINDOWLESS)
                SetFocus(window);
            else if (HWND child = GetWindow(window, GW_CHILD); child && !(focus && IsChild(window, focus)))
                SetFocus(child);
        }
        return 0;
    case WM_KILLFOCUS:
        flags &= ~HF_FOCUS;
        break;
    case WM_MOUSEACTIVATE:
        if (!(miscStatus & OLEMISC_NOUIACTIVATE)) {
            bool ignored = false;
            WindowProc(WM_SETFOCUS, 0, 0, &ignored);
        } else if (oleObject && !(flags & HF_INPLACE)) {
            IOleClientSite* site = nullptr;
            QueryInterface(IID_IOleClientSite, reinterpret_cast<void**>(&site));
            oleObject->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site, 0, window, &rect);
            if (site)
                site->Release();
        }
        break;
    case WM_ERASEBKGND:
        if (!viewObject)
            break;
        if (HWND child = GetWindow(window, GW_CHILD); child && !IsWindowVisible(child)) {
            RECT area;
            GetWindowRect(window, &area);
            MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&area), 2);
            RedrawWindow(GetParent(window), &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_NOCHILDREN);
        }
        return 1;
    case WM_PAINT: {
        if (viewObject && !windowless)
            break;
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT client;
        GetClientRect(window, &client);
        HBRUSH brush = CreateSolidBrush(backColor);
        if (!viewObject) {
            FillRect(dc, &client, brush);
        } else {
            HDC memory = CreateCompatibleDC(dc);
            HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
            HGDIOBJ old = SelectObject(memory, bitmap);
            FillRect(memory, &client, brush);
            RECTL bounds = {rect.left, rect.top, rect.right, rect.bottom};
            viewObject->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, memory, &bounds, &bounds, nullptr, 0);
            BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
            SelectObject(memory, old);
            DeleteObject(bitmap);
            DeleteDC(memory);
        }
        DeleteObject(brush);
        EndPaint(window, &paint);
        return 1;
    }
    case WM_PARENTNOTIFY:
        if (wParam == WM_CREATE && (GetWindowLongPtrW(reinterpret_cast<HWND>(lParam), GWL_EXSTYLE) & WS_EX_CONTROLPARENT))
            SetWindowLongPtrW(window, GWL_EXSTYLE, GetWindowLongPtrW(window, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
        break;
    case FORWARD_MESSAGE: {
        IOleInPlaceActiveObject* active = nullptr;
        LRESULT answer = 0;
        if (control && lParam
            && SUCCEEDED(control->QueryInterface(IID_IOleInPlaceActiveObject, reinterpret_cast<void**>(&active)))) {
            answer = active->TranslateAccelerator(reinterpret_cast<MSG*>(lParam)) == S_OK ? 1 : 0;
            active->Release();
        }
        return answer;
    }
    default:
        if (message == g_getControlMessage && message) {
            if (!object.flags && !MakeControlDispatchObject())
                return 0;
            return reinterpret_cast<LRESULT>(ControlDispatch());
        }
        if (message == g_freezeEventsMessage && message) {
            IOleControl* oleControl = nullptr;
            if (control && SUCCEEDED(control->QueryInterface(IID_IOleControl, reinterpret_cast<void**>(&oleControl)))) {
                oleControl->FreezeEvents(wParam != 0);
                oleControl->Release();
            }
            return 1;
        }
        break;
    }
    // Windowless controls take their input through the in-place object.
    if (windowless && (flags & HF_INPLACE)) {
        bool mouse = message == WM_SETCURSOR || (message >= 0x0200 && message <= 0x0209);
        if (mouse) {
            DWORD hit = HITRESULT_OUTSIDE;
            POINT at = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            if (!(flags & HF_CAPTURED) && viewLevel == 7)
                static_cast<IViewObjectEx*>(viewObject)->QueryHitPoint(DVASPECT_CONTENT, &rect, at, 0, &hit);
            if ((flags & HF_CAPTURED) || hit == HITRESULT_HIT) {
                LRESULT ignored = 0;
                windowless->OnWindowMessage(message, wParam, lParam, &ignored);
            }
        } else if ((flags & HF_FOCUS) && IsWindowlessFocusMessage(message)) {
            LRESULT answer = 0;
            if (windowless->OnWindowMessage(message, wParam, lParam, &answer) != S_FALSE)
                return answer;
        }
    }
    if (messageReflect) {
        LRESULT answer = 0;
        if (Reflect(this, message, wParam, lParam, &answer))
            return answer;
    }
    *handled = false;
    return 0;
}

namespace {

LRESULT OnCreate(HWND window, LPARAM lParam)
{
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    SetWindowTextW(window, L"");
    auto* record = create ? static_cast<const ComHostCreateRecord*>(create->lpCreateParams) : nullptr;
    if (!record || record->size != COM_HOST_RECORD_SIZE || !record->ctx || !EnsureOle(record->ctx))
        return -1;
    BDS* ctx = record->ctx;
    IStream* stream = record->initialBytes && record->initialCount
                          ? StreamOver(record->initialBytes, record->initialCount)
                          : nullptr;
    auto* host = new (std::nothrow) CComHost(ctx, window);
    if (!host) {
        if (stream)
            stream->Release();
        SetError(ctx, ERR_MEMORY);
        return -1;
    }
    if (record->font)
        host->font = record->font;
    if (record->backColor != 0xFFFFFFFF)
        host->backColor = record->backColor;
    if (record->scriptAllowed)
        host->flags |= HF_SCRIPT;
    HRESULT hr = host->CreateControl(text.c_str(), record->licenceKey, stream);
    if (stream)
        stream->Release();
    if (FAILED(hr)) {
        SetError(ctx, HresultToErrorNumber(ctx, hr, "ComHostWindowProc"));
        host->Teardown();
        host->Release();
        return -1;
    }
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(host));
    if (HWND child = GetWindow(window, GW_CHILD)) {
        SetWindowLongPtrW(window, GWL_EXSTYLE, GetWindowLongPtrW(window, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
        LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
        LONG_PTR moved = style & (WS_TABSTOP | WS_GROUP);
        if (moved) {
            SetWindowLongPtrW(window, GWL_STYLE, style & ~moved);
            if (!(host->miscStatus & NO_UI_ACTIVATION))
                SetWindowLongPtrW(child, GWL_STYLE, GetWindowLongPtrW(child, GWL_STYLE) | moved);
        }
    }
    return 0;
}

LRESULT CALLBACK ComHostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!IsWindowUnicode(window))
        return -1;
    if (message == WM_CREATE)
        return OnCreate(window, lParam);
    auto* host = reinterpret_cast<CComHost*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!host)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_DESTROY) {
        LRESULT r = DefWindowProcW(window, message, wParam, lParam);
        host->Teardown();
        return r;
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        host->Release();
        return DefWindowProcW(window, message, wParam, lParam);
    }
    host->AddRef();
    bool handled = false;
    LRESULT answer = host->WindowProc(message, wParam, lParam, &handled);
    host->Release();
    return handled ? answer : DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

// ---------------------------------------------------------------- operations

void RegisterComHostClass()
{
    if (!g_getControlMessage)
        g_getControlMessage = RegisterWindowMessageW(L"WM_HOSTGETCONTROL");
    if (!g_freezeEventsMessage)
        g_freezeEventsMessage = RegisterWindowMessageW(L"WM_HOSTFREZEEVENTS");
    WNDCLASSW existing{};
    if (GetClassInfoW(EngineModule(), COM_HOST_CLASS, &existing))
        return;
    WNDCLASSW wc{};
    wc.style = CS_GLOBALCLASS | CS_DBLCLKS;
    wc.lpfnWndProc = ComHostWindowProc;
    wc.hInstance = EngineModule();
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    wc.lpszClassName = COM_HOST_CLASS;
    RegisterClassW(&wc);
}

HRESULT ComHostGetControl(HWND window, IDispatch** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!IsWindow(window) || !g_getControlMessage)
        return E_FAIL;
    *out = reinterpret_cast<IDispatch*>(SendTo(window, g_getControlMessage, 0, 0));
    return *out ? S_OK : E_FAIL;
}

int ComHostFreezeEvents(HWND window, int freeze)
{
    if (IsWindow(window) && g_freezeEventsMessage)
        SendTo(window, g_freezeEventsMessage, static_cast<WPARAM>(freeze), 0);
    return 0;
}

int ComHostSetScriptAllowed(HWND window, int allow)
{
    CComHost* host = HostOf(window);
    if (!host)
        return 0;
    host->flags = allow ? (host->flags | HF_SCRIPT) : (host->flags & ~HF_SCRIPT);
    return 1;
}

int ComHostSetAmbientColor(HWND window, COLORREF color, int which)
{
    CComHost* host = HostOf(window);
    if (!host)
        return 0;
    if (which == 0)
        host->backColor = color;
    else
        host->foreColor = color;
    host->AmbientChanged(which == 0 ? DISPID_AMBIENT_BACKCOLOR : DISPID_AMBIENT_FORECOLOR);
    return 1;
}

int ComHostAttachEvents(BDS* ctx, HWND dialog, HWND window, const resultants* controlName, BSTR event,
                        const char* function, int32_t identifier)
{
    CComHost* host = HostOf(window);
    if (!host)
        return 0;
    if (!host->object.flags && !host->MakeControlDispatchObject())
        return 0;
    CComObjectAg* object = ObjectOf(&host->object);
    if (!object || !object->Dispatch()) {
        SetError(ctx, ERR_NO_EVENTS);
        return 0;
    }
    if (!object->sink || !object->sink->HasHandlers()) {
        CComSink* made = nullptr;
        CSinkBuilder builder(ctx, 1);
        if (FAILED(builder.FindSourceInterface(object->Dispatch(), &made)) || !made) {
            SetError(ctx, ERR_NO_EVENTS);
            return 0;
        }
        if (object->sink)
            object->sink->DropUse();
        object->sink = made;
    }
    object->sink->AddEvent(ctx, event, function, dialog, controlName, identifier, window);
    return ctx->nErrorCode == 0 ? 1 : 0;
}

int ComHostRemoveEvents(BDS* ctx, HWND window, BSTR event)
{
    CComHost* host = HostOf(window);
    if (!host)
        return 0;
    CComObjectAg* object = ObjectOf(&host->object);
    if (!event || !*event || !object || !object->sink || !object->sink->HasHandlers()) {
        SetError(ctx, ERR_NO_EVENT);
        return 0;
    }
    return object->sink->RemoveEvent(ctx, event);
}

int GetDialogControlObject(BDS* ctx, HWND window, resultants* out)
{
    IDispatch* disp = nullptr;
    if (FAILED(ComHostGetControl(window, &disp)) || !disp) {
        if (!ctx->nErrorCode)
            SetError(ctx, ERR_NULL_OBJECT);
        return 0;
    }
    CResultVar value(ctx);
    int ok = WrapDispatchAsObject(ctx, disp, true, &value.v);
    disp->Release();
    if (!ok) {
        if (!ctx->nErrorCode)
            SetError(ctx, ERR_NULL_OBJECT);
        return 0;
    }
    value.HandBack(out);
    return 1;
}

int ComHostLoadPicture(BDS* ctx, const wchar_t* path, resultants* out)
{
    if (!EnsureOle(ctx))
        return 0;
    IPicture* picture = nullptr;
    HRESULT hr = OleLoadPicturePath(const_cast<LPOLESTR>(path), nullptr, 0, 0, IID_IPicture,
                                    reinterpret_cast<void**>(&picture));
    IDispatch* disp = nullptr;
    if (SUCCEEDED(hr)) {
        hr = picture->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&disp));
        picture->Release();
    }
    if (FAILED(hr)) {
        SetError(ctx, HresultToErrorNumber(ctx, hr, "CComHost::LoadPicture"));
        return 0;
    }
    CResultVar value(ctx);
    int ok = WrapDispatchAsObject(ctx, disp, true, &value.v);
    disp->Release();
    if (!ok)
        return 0;
    value.HandBack(out);
    return 1;
}
