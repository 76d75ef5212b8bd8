// RunApp: starts a packaged application, found by its display name in the shell's apps
// folder or given by its application user model id, through the activation manager.
#include <windows.h>
#include <shldisp.h>
#include <shobjidl.h>

#include <string>

#include "engine/core/builtin.h"
#include "engine/com/com_errors.h"
#include "engine/com/com_scope.h"
#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/core/neighbour_services.h"
#include "engine/core/system_flags.h"

namespace {

constexpr uint16_t ERR_NOT_ON_PLATFORM = 1253;   // "Function not supported on this platform."
constexpr uint16_t ERR_BAD_COM_PARAMETER = 1570; // "COM: Invalid parameter(s)"
constexpr uint16_t ERR_COM_UNKNOWN = 1298;       // "COM: Error code not recognized"
constexpr size_t APP_ID_CHARS = 2050;
constexpr wchar_t APPS_FOLDER[] = L"shell:::{4234d49b-0245-4df3-b780-3893943456e1}";

constexpr CLSID SHELL_OBJECT = {0x13709620, 0xC279, 0x11CE, {0xA4, 0x9E, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
constexpr IID SHELL_DISPATCH = {0x177160CA, 0xBB5A, 0x411C, {0x84, 0x1D, 0xBD, 0x38, 0xFA, 0xCD, 0xEA, 0xA0}};
constexpr CLSID ACTIVATION_MANAGER = {0x45BA127D, 0x10A8, 0x46EA, {0x8A, 0xB7, 0x56, 0xEA, 0x90, 0x78, 0x94, 0x3C}};
constexpr IID ACTIVATION_INTERFACE = {0x2E941141, 0x7F97, 0x4756, {0xBA, 0x1D, 0x9D, 0xEC, 0xDE, 0x89, 0x4A, 0x3D}};

struct HeldBstr {
    BSTR b = nullptr;
    HeldBstr() = default;
    HeldBstr(const HeldBstr&) = delete;
    HeldBstr& operator=(const HeldBstr&) = delete;
    ~HeldBstr() { SysFreeString(b); }
};

HRESULT CreateShellDispatch(IShellDispatch** shell)
{
    HRESULT hr = CoCreateInstance(SHELL_OBJECT, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, SHELL_DISPATCH,
                                  reinterpret_cast<void**>(shell));
    if (hr != E_NOINTERFACE)
        return hr;
    Held<IUnknown> unknown;
    hr = CoCreateInstance(SHELL_OBJECT, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                          unknown.Out());
    if (FAILED(hr))
        return hr;
    return unknown.p->QueryInterface(SHELL_DISPATCH, reinterpret_cast<void**>(shell));
}

// The application user model id of the app whose display name is `name` (case ignored);
// S_FALSE when no app has that name.
HRESULT FindAppId(const wchar_t* name, std::wstring& id)
{
    Held<IShellDispatch> shell;
    HRESULT hr = CreateShellDispatch(&shell.p);
    if (FAILED(hr))
        return hr;
    VARIANT where;
    VariantInit(&where);
    where.vt = VT_BSTR;
    where.bstrVal = SysAllocString(APPS_FOLDER);
    if (!where.bstrVal)
        return E_OUTOFMEMORY;
    Held<Folder> folder;
    hr = shell.p->NameSpace(where, &folder.p);
    VariantClear(&where);
    if (FAILED(hr))
        return hr;
    if (!folder.p)
        return S_FALSE;
    Held<FolderItems> items;
    hr = folder.p->Items(&items.p);
    if (FAILED(hr) || !items.p)
        return FAILED(hr) ? hr : S_FALSE;
    long count = 0;
    hr = items.p->get_Count(&count);
    if (FAILED(hr))
        return hr;
    for (long i = 0; i < count; ++i) {
        VARIANT index;
        VariantInit(&index);
        index.vt = VT_I4;
        index.lVal = i;
        Held<FolderItem> item;
        hr = items.p->Item(index, &item.p);
        if (FAILED(hr))
            return hr;
        if (!item.p)
            continue;
        HeldBstr itemName;
        hr = item.p->get_Name(&itemName.b);
        if (FAILED(hr))
            return hr;
        if (!itemName.b || lstrcmpiW(itemName.b, name) != 0)
            continue;
        HeldBstr path;
        hr = item.p->get_Path(&path.b);
        if (FAILED(hr))
            return hr;
        if (!path.b || SysStringLen(path.b) >= APP_ID_CHARS)
            return E_OUTOFMEMORY;
        id.assign(path.b, SysStringLen(path.b));
        return S_OK;
    }
    return S_FALSE;
}

HRESULT Activate(const std::wstring& id, const wchar_t* parameters, DWORD* pid)
{
    Held<IApplicationActivationManager> manager;
    HRESULT hr = CoCreateInstance(ACTIVATION_MANAGER, nullptr, CLSCTX_LOCAL_SERVER, ACTIVATION_INTERFACE,
                                  manager.Out());
    if (FAILED(hr))
        return hr;
    CoAllowSetForegroundWindow(manager.p, nullptr);
    return manager.p->ActivateApplication(id.c_str(), parameters && *parameters ? parameters : nullptr, AO_NOERRORUI,
                                          pid);
}

// RunApp(application, parameters [, flag]): the new process's id.
void CaseRunApp(BDS* ctx, BuiltinCall& call)
{
    const SystemFlags& os = SystemFacts();
    if (os.major < 6 || (os.major == 6 && os.minor < 2)) {
        SetError(ctx, ERR_NOT_ON_PLATFORM);
        return;
    }
    HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HRESULT hr = init;
    DWORD pid = 0;
    if (SUCCEEDED(init)) {
        std::wstring id;
        if (ArgInt(call, 3, 0) == 0) {
            uint16_t kept = ctx->nErrorCode;
            ctx->nErrorCode = 0;
            hr = FindAppId(ArgWText(ctx, call, 1), id);
            if (hr == S_OK)
                ctx->nErrorCode = kept;
        } else {
            id = ArgWText(ctx, call, 1);
            hr = S_OK;
        }
        if (hr == S_OK)
            hr = Activate(id, ArgWText(ctx, call, 2), &pid);
        CoUninitialize();
    }
    if (hr == S_FALSE) {
        SetError(ctx, ERR_BAD_COM_PARAMETER);
        return;
    }
    if (FAILED(hr)) {
        uint16_t number = HresultToErrorNumber(ctx, hr, "RunApp");
        if (number == ERR_COM_UNKNOWN)
            AddSystemErrorInfo(ctx, static_cast<DWORD>(hr), "RunApp");
        SetError(ctx, number);
        return;
    }
    SetResultInt(ctx, call.result, static_cast<int32_t>(pid));
}

const BuiltinRow kRows[] = {
    {657, CaseRunApp},
};

}  // namespace

extern const BuiltinFamily g_RunAppBuiltins = {"run-app", kRows, static_cast<int>(sizeof(kRows) / sizeof(kRows[0]))};
