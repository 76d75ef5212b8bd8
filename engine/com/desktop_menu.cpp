// The Active Desktop wallpaper and menu items run through an application's command bars.
// Both initialise COM for themselves and uninitialise it before they return.
#include "engine/com/desktop_menu.h"

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <wininet.h>   // declares what the Active Desktop interface of shlobj.h needs
#include <shlguid.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/com/com_scope.h"
#include "engine/com/com_value.h"

namespace {

constexpr size_t MAX_NAME = 200;

// A property (with an optional text argument) of an automation object that must answer an
// object; null when it does not.
IDispatch* GetObjectProperty(IDispatch* from, const wchar_t* name, const wchar_t* argument)
{
    DISPID id = DISPID_UNKNOWN;
    auto* member = const_cast<LPOLESTR>(name);
    if (FAILED(from->GetIDsOfNames(IID_NULL, &member, 1, COM_LOCALE, &id)))
        return nullptr;
    VARIANT arg;
    VariantInit(&arg);
    DISPPARAMS params = {nullptr, nullptr, 0, 0};
    if (argument) {
        arg.vt = VT_BSTR;
        arg.bstrVal = SysAllocString(argument);
        params.rgvarg = &arg;
        params.cArgs = 1;
    }
    VARIANT result;
    VariantInit(&result);
    HRESULT hr = from->Invoke(id, IID_NULL, COM_LOCALE, DISPATCH_PROPERTYGET, &params, &result, nullptr, nullptr);
    VariantClear(&arg);
    if (FAILED(hr) || result.vt != VT_DISPATCH || !result.pdispVal) {
        VariantClear(&result);
        return nullptr;
    }
    return result.pdispVal;
}

// The items of a menu path: split at "|", blanks and tabs around each item dropped.
std::vector<std::wstring> MenuItems(const char* path)
{
    std::vector<std::wstring> items;
    std::string text(path);
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('|', start);
        if (end == std::string::npos)
            end = text.size();
        std::string item = text.substr(start, end - start);
        size_t first = item.find_first_not_of(" \t");
        size_t last = item.find_last_not_of(" \t");
        item = first == std::string::npos ? std::string() : item.substr(first, last - first + 1);
        if (item.size() > MAX_NAME)
            item.resize(MAX_NAME);
        items.push_back(WidenText(item.c_str(), CP_ACP));
        start = end + 1;
    }
    return items;
}

}  // namespace

int ActiveDesktopSetWallpaper(BDS*, const char* file, int mode)
{
    ComScope com;
    if (!com.ok)
        return 0;
    IActiveDesktop* desktop = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ActiveDesktop, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveDesktop,
                                reinterpret_cast<void**>(&desktop))))
        return 0;
    WALLPAPEROPT options = {sizeof options, static_cast<DWORD>(mode == 1   ? WPSTYLE_TILE
                                                              : mode == 2 ? WPSTYLE_STRETCH
                                                                          : WPSTYLE_CENTER)};
    desktop->SetWallpaperOptions(&options, 0);
    int done = 0;
    if (SUCCEEDED(desktop->SetWallpaper(WidenText(file, CP_ACP).c_str(), 0)))
        done = SUCCEEDED(desktop->ApplyChanges(AD_APPLY_ALL)) ? 1 : 0;
    desktop->Release();
    return done;
}

int ExecuteMenuItemByCom(BDS*, const char* application, const char* menuPath)
{
    if (!application || !*application || !menuPath || !*menuPath || std::strlen(application) > MAX_NAME)
        return 0;
    ComScope com;
    if (!com.ok)
        return 0;
    CLSID clsid;
    IUnknown* running = nullptr;
    if (FAILED(CLSIDFromProgID(WidenText(application, CP_ACP).c_str(), &clsid)) || FAILED(GetActiveObject(clsid, nullptr, &running)) || !running)
        return 0;
    IDispatch* app = nullptr;
    HRESULT hr = running->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&app));
    running->Release();
    if (FAILED(hr))
        return 0;
    IDispatch* bars = GetObjectProperty(app, L"CommandBars", nullptr);
    app->Release();
    IDispatch* current = bars ? GetObjectProperty(bars, L"ActiveMenuBar", nullptr) : nullptr;
    if (bars)
        bars->Release();
    std::vector<std::wstring> items = MenuItems(menuPath);
    bool first = true;
    for (const std::wstring& item : items) {
        if (!current)
            break;
        IDispatch* bar = first ? current : GetObjectProperty(current, L"CommandBar", nullptr);
        if (!first)
            current->Release();
        IDispatch* controls = bar ? GetObjectProperty(bar, L"Controls", nullptr) : nullptr;
        if (bar)
            bar->Release();
        current = controls ? GetObjectProperty(controls, L"Item", item.c_str()) : nullptr;
        if (controls)
            controls->Release();
        first = false;
    }
    if (!current)
        return 0;
    DISPID id = DISPID_UNKNOWN;
    auto* execute = const_cast<LPOLESTR>(L"Execute");
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    hr = current->GetIDsOfNames(IID_NULL, &execute, 1, COM_LOCALE, &id);
    if (SUCCEEDED(hr))
        hr = current->Invoke(id, IID_NULL, COM_LOCALE, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
    current->Release();
    return SUCCEEDED(hr) ? 1 : 0;
}
