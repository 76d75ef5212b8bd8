// The shell's item-based file dialog (CShellDlg) of AskFileName's kinds 100 to 103, with the
// events object that follows the folder the dialog shows.
//
// One CShellDlg lives for one call of ShellFileDialog: it initialises COM (and balances it
// in its destructor when it did), binds the one shell entry it needs at run time, and holds
// every interface it obtained until it is destroyed, whatever step failed.
#include "engine/com/shell_dialogs.h"

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstring>
#include <new>

#include "engine/com/com_errors.h"
#include "engine/core/context.h"
#include "engine/core/errors.h"
#include "engine/files/directories.h"

namespace {

constexpr uint16_t ERR_COINITIALIZE = 1415;    // "Shortcut functions: CoInitialize failed"
constexpr uint16_t ERR_BAD_KIND = 1611;        // "AskFileName: Invalid flag"
constexpr uint16_t ERR_NO_ENTRY = 1767;        // "AskDirectory: Error getting function entry points"
constexpr uint16_t ERR_NO_DIALOG = 1337;       // "AskFileName: Dialog Box creation error"
constexpr uint16_t ERR_NO_MEMORY = 1588;       // "Unable to allocate or lock memory"
constexpr uint16_t ERR_NO_STRING_SPACE = 3096;
constexpr int CURRENT_DIR_CHARS = 520;

using PfnCreateItemFromIdList = HRESULT(WINAPI*)(PCIDLIST_ABSOLUTE, REFIID, void**);

template <typename T>
void Release(T*& p)
{
    if (p) {
        p->Release();
        p = nullptr;
    }
}

// ---------------------------------------------------------------- the events object

// Records the file-system path of the folder the dialog last showed.
class CShellDlgEvents final : public IFileDialogEvents {
public:
    PWSTR folderPath = nullptr;   // CoTaskMem string, or null

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IFileDialogEvents) {
            *out = static_cast<IFileDialogEvents*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG left = InterlockedDecrement(&refs_);
        if (left == 0) {
            CoTaskMemFree(folderPath);
            delete this;
        }
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE OnFolderChange(IFileDialog* dialog) override
    {
        IShellItem* folder = nullptr;
        HRESULT hr = dialog->GetFolder(&folder);
        if (FAILED(hr))
            return hr;
        PWSTR path = nullptr;
        if (SUCCEEDED(folder->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
            CoTaskMemFree(folderPath);
            folderPath = path;
        }
        folder->Release();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnFileOk(IFileDialog*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnFolderChanging(IFileDialog*, IShellItem*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnSelectionChange(IFileDialog*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnShareViolation(IFileDialog*, IShellItem*, FDE_SHAREVIOLATION_RESPONSE*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE OnTypeChange(IFileDialog*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnOverwrite(IFileDialog*, IShellItem*, FDE_OVERWRITE_RESPONSE*) override
    {
        return E_NOTIMPL;
    }

private:
    virtual ~CShellDlgEvents() = default;   // only Release ends it
    LONG refs_ = 1;
};

// ---------------------------------------------------------------- the dialog object

class CShellDlg {
public:
    enum : uint8_t { COM_STARTED = 1, OPEN = 2, MULTIPLE = 4, NO_OVERWRITE_PROMPT = 8 };

    explicit CShellDlg(BDS* ctx) : ctx_(ctx)
    {
        shell_ = LoadLibraryA("SHELL32.DLL");
        if (shell_)
            createItem_ = reinterpret_cast<PfnCreateItemFromIdList>(GetProcAddress(shell_, "SHCreateItemFromIDList"));
    }
    CShellDlg(const CShellDlg&) = delete;
    CShellDlg& operator=(const CShellDlg&) = delete;

    virtual ~CShellDlg()
    {
        delete[] filters_;
        delete[] filterText_;
        Release(folder_);
        Release(chosen_);
        Release(chosenItems_);
        if (shell_)
            FreeLibrary(shell_);
        if (options_ & COM_STARTED)
            CoUninitialize();
    }

    virtual HRESULT Init(int kind);
    HRESULT SetInitialFolder(const wchar_t* path);
    HRESULT ParseFilters(const wchar_t* text, int fieldCount);
    HRESULT Show(HWND owner, const wchar_t* fileName, const wchar_t* title);
    HRESULT GetResults(resultants* result);

private:
    HRESULT Fail(HRESULT hr, const char* operation)
    {
        SetError(ctx_, HresultToErrorNumber(ctx_, hr, operation));
        return hr;
    }
    HRESULT Fail(uint16_t error)
    {
        SetError(ctx_, error);
        return E_FAIL;
    }
    bool IsOpen() const { return (options_ & OPEN) != 0; }
    bool IsMultiple() const { return (options_ & MULTIPLE) != 0; }
    HRESULT MakeDialog(IFileDialog** dialog);
    HRESULT Prepare(IFileDialog* dialog, const wchar_t* fileName, const wchar_t* title);
    void FollowLastFolder(const CShellDlgEvents* events);
    HRESULT JoinedPaths(wchar_t** joined);

    BDS* ctx_;
    uint8_t options_ = 0;
    COMDLG_FILTERSPEC* filters_ = nullptr;
    wchar_t* filterText_ = nullptr;        // the filter text the table points into
    int filterCount_ = 0;
    IShellItem* folder_ = nullptr;
    HMODULE shell_ = nullptr;
    PfnCreateItemFromIdList createItem_ = nullptr;
    IShellItem* chosen_ = nullptr;
    IShellItemArray* chosenItems_ = nullptr;
};

HRESULT CShellDlg::Init(int kind)
{
    if (!(options_ & COM_STARTED)) {
        HRESULT hr = CoInitialize(nullptr);
        if (hr != S_OK && hr != S_FALSE) {
            SetError(ctx_, ERR_COINITIALIZE);
            return hr;
        }
        options_ |= COM_STARTED;
    }
    switch (kind) {
    case SHELL_SAVE: break;
    case SHELL_OPEN: options_ |= OPEN; break;
    case SHELL_OPEN_MULTIPLE: options_ |= OPEN | MULTIPLE; break;
    case SHELL_SAVE_NO_PROMPT: options_ |= NO_OVERWRITE_PROMPT; break;
    default: return Fail(ERR_BAD_KIND);
    }
    return S_OK;
}

HRESULT CShellDlg::SetInitialFolder(const wchar_t* path)
{
    if (!path || !*path)
        return S_OK;
    if (!createItem_)
        return Fail(ERR_NO_ENTRY);
    IShellFolder* desktop = nullptr;
    HRESULT hr = SHGetDesktopFolder(&desktop);
    if (FAILED(hr))
        return Fail(hr, "CShellDlg::SetInitialFolder");
    PIDLIST_RELATIVE items = nullptr;
    hr = desktop->ParseDisplayName(nullptr, nullptr, const_cast<wchar_t*>(path), nullptr, &items, nullptr);
    if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) || hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)) {
        wchar_t current[CURRENT_DIR_CHARS + 1] = {};
        DWORD n = GetCurrentDirectoryW(CURRENT_DIR_CHARS, current);
        hr = n > 0 && n < CURRENT_DIR_CHARS
                 ? desktop->ParseDisplayName(nullptr, nullptr, current, nullptr, &items, nullptr)
                 : HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    }
    desktop->Release();
    if (FAILED(hr))
        return Fail(hr, "CShellDlg::SetInitialFolder");
    IShellItem* item = nullptr;
    hr = createItem_(reinterpret_cast<PCIDLIST_ABSOLUTE>(items), IID_IShellItem, reinterpret_cast<void**>(&item));
    CoTaskMemFree(items);
    if (FAILED(hr))
        return Fail(hr, "CShellDlg::SetInitialFolder");
    Release(folder_);
    folder_ = item;
    return S_OK;
}

HRESULT CShellDlg::ParseFilters(const wchar_t* text, int fieldCount)
{
    int allowed = fieldCount / 2;
    if (allowed < 1 || !text)
        return S_OK;
    size_t length = std::wcslen(text);
    auto* copy = new (std::nothrow) wchar_t[length + 1];
    auto* table = new (std::nothrow) COMDLG_FILTERSPEC[allowed];
    if (!copy || !table) {
        delete[] copy;
        delete[] table;
        return Fail(ERR_NO_MEMORY);
    }
    std::memcpy(copy, text, (length + 1) * sizeof(wchar_t));
    int pairs = 0;
    bool atPattern = false;
    wchar_t* field = copy;
    for (wchar_t* p = copy; *p && pairs < allowed;) {
        wchar_t* next = CharNextW(p);   // taken before a "|" becomes the field's end
        if (*p == L'|') {
            *p = 0;
            if (atPattern)
                table[pairs++].pszSpec = field;
            else
                table[pairs].pszName = field;
            atPattern = !atPattern;
            field = next;
        }
        p = next;
    }
    if (pairs < allowed && atPattern)
        table[pairs++].pszSpec = field;   // the text after the last "|" is the pattern
    delete[] filters_;
    delete[] filterText_;
    filters_ = table;
    filterText_ = copy;
    filterCount_ = pairs;
    return S_OK;
}

HRESULT CShellDlg::MakeDialog(IFileDialog** dialog)
{
    const CLSID& cls = IsOpen() ? CLSID_FileOpenDialog : CLSID_FileSaveDialog;
    const IID& iid = IsOpen() ? IID_IFileOpenDialog : IID_IFileSaveDialog;
    DWORD where = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
    HRESULT hr = CoCreateInstance(cls, nullptr, where, iid, reinterpret_cast<void**>(dialog));
    if (hr == E_NOINTERFACE) {
        IUnknown* unknown = nullptr;
        hr = CoCreateInstance(cls, nullptr, where, IID_IUnknown, reinterpret_cast<void**>(&unknown));
        if (SUCCEEDED(hr)) {
            hr = unknown->QueryInterface(iid, reinterpret_cast<void**>(dialog));
            unknown->Release();
        }
    }
    return hr;
}

HRESULT CShellDlg::Prepare(IFileDialog* dialog, const wchar_t* fileName, const wchar_t* title)
{
    HRESULT hr = S_OK;
    if (title && *title)
        hr = dialog->SetTitle(title);   // an empty title keeps the dialog's own
    if (SUCCEEDED(hr))
        hr = dialog->SetFileName(fileName ? fileName : L"");
    if (SUCCEEDED(hr) && folder_)
        hr = dialog->SetFolder(folder_);
    if (SUCCEEDED(hr) && filterCount_ > 0)
        hr = dialog->SetFileTypes(static_cast<UINT>(filterCount_), filters_);
    FILEOPENDIALOGOPTIONS options = 0;
    if (SUCCEEDED(hr))
        hr = dialog->GetOptions(&options);
    if (FAILED(hr))
        return hr;
    if (IsOpen()) {
        options |= FOS_PATHMUSTEXIST | FOS_FILEMUSTEXIST;
        if (IsMultiple())
            options |= FOS_ALLOWMULTISELECT;
    } else if (options_ & NO_OVERWRITE_PROMPT) {
        options = (options | FOS_NOREADONLYRETURN) & ~FOS_OVERWRITEPROMPT;
    } else {
        options |= FOS_OVERWRITEPROMPT | FOS_NOREADONLYRETURN;
    }
    return dialog->SetOptions(options);
}

// The folder the user last showed becomes the current directory (a folder that cannot be
// entered changes nothing and is no error of the dialog).
void CShellDlg::FollowLastFolder(const CShellDlgEvents* events)
{
    if (!events->folderPath)
        return;
    uint16_t kept = ctx_->nErrorCode;
    DoDirChangeW(ctx_, events->folderPath);
    ctx_->nErrorCode = kept;
}

HRESULT CShellDlg::Show(HWND owner, const wchar_t* fileName, const wchar_t* title)
{
    IFileDialog* dialog = nullptr;
    HRESULT hr = MakeDialog(&dialog);
    if (FAILED(hr))
        return Fail(ERR_NO_DIALOG);
    hr = Prepare(dialog, fileName, title);
    auto* events = new (std::nothrow) CShellDlgEvents;
    DWORD cookie = 0;
    if (SUCCEEDED(hr))
        hr = events ? dialog->Advise(events, &cookie) : E_OUTOFMEMORY;
    if (FAILED(hr)) {
        if (events)
            events->Release();
        dialog->Release();
        return Fail(ERR_NO_DIALOG);
    }
    hr = dialog->Show(owner);
    dialog->Unadvise(cookie);
    if (hr == HRESULT_FROM_WIN32(ERROR_CANCELLED)) {
        SetError(ctx_, CC_CANCEL);
        hr = S_OK;
    } else if (FAILED(hr)) {
        Fail(hr, "CShellDlg::Show");
    } else {
        if (IsMultiple()) {
            IFileOpenDialog* open = nullptr;
            hr = dialog->QueryInterface(IID_IFileOpenDialog, reinterpret_cast<void**>(&open));
            if (SUCCEEDED(hr)) {
                hr = open->GetResults(&chosenItems_);
                open->Release();
            }
        } else {
            hr = dialog->GetResult(&chosen_);
        }
        if (FAILED(hr))
            Fail(hr, "CShellDlg::Show");
        FollowLastFolder(events);
    }
    events->Release();
    dialog->Release();
    return hr;
}

// The paths of the chosen items joined by the list delimiter, in a block of the process
// heap; items whose path cannot be had are left out.
HRESULT CShellDlg::JoinedPaths(wchar_t** joined)
{
    *joined = nullptr;
    DWORD count = 0;
    HRESULT hr = chosenItems_->GetCount(&count);
    if (FAILED(hr))
        return Fail(hr, "CShellDlg::GetResults");
    auto* paths = new (std::nothrow) PWSTR[count ? count : 1]();
    if (!paths)
        return Fail(ERR_NO_MEMORY);
    size_t room = 1;
    for (DWORD i = 0; i < count; ++i) {
        IShellItem* item = nullptr;
        if (FAILED(chosenItems_->GetItemAt(i, &item)))
            continue;
        if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &paths[i])))
            room += std::wcslen(paths[i]) + 1;
        item->Release();
    }
    auto* out = static_cast<wchar_t*>(HeapAlloc(GetProcessHeap(), 0, room * sizeof(wchar_t)));
    if (out) {
        size_t used = 0;
        for (DWORD i = 0; i < count; ++i) {
            if (!paths[i])
                continue;
            if (used)
                out[used++] = ctx_->eng.ctl.FileDelimiterW;
            size_t n = std::wcslen(paths[i]);
            std::memcpy(out + used, paths[i], n * sizeof(wchar_t));
            used += n;
        }
        out[used] = 0;
    }
    for (DWORD i = 0; i < count; ++i)
        CoTaskMemFree(paths[i]);
    delete[] paths;
    if (!out)
        return Fail(ERR_NO_MEMORY);
    *joined = out;
    return S_OK;
}

HRESULT CShellDlg::GetResults(resultants* result)
{
    wchar_t* joined = nullptr;
    PWSTR single = nullptr;
    if (IsMultiple() && chosenItems_) {
        HRESULT hr = JoinedPaths(&joined);
        if (FAILED(hr))
            return hr;
    } else if (chosen_) {
        chosen_->GetDisplayName(SIGDN_FILESYSPATH, &single);
    }
    const wchar_t* text = joined ? joined : single ? single : L"";
    uint16_t kept = ctx_->nErrorCode;   // a cancel's 9999 stays with the empty answer
    bool stored = SetResultWText(ctx_, result, text) != 0;
    if (joined)
        HeapFree(GetProcessHeap(), 0, joined);
    CoTaskMemFree(single);
    if (!stored)
        return Fail(ERR_NO_STRING_SPACE);
    ctx_->nErrorCode = kept;
    return S_OK;
}

}  // namespace

int ShellFileDialog(BDS* ctx, const wchar_t* title, const wchar_t* folder, const wchar_t* filter, int fieldCount,
                    const wchar_t* fileName, int kind, resultants* result)
{
    CShellDlg dialog(ctx);
    if (FAILED(dialog.Init(kind)) || FAILED(dialog.SetInitialFolder(folder)))
        return 0;
    if (fieldCount > 0 && FAILED(dialog.ParseFilters(filter, fieldCount)))
        return 0;
    dialog.Show(ctx->hwndOwner, fileName, title);   // a failure is in the context; the answer follows
    return SUCCEEDED(dialog.GetResults(result)) ? 1 : 0;
}
