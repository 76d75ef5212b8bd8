// The ActiveX control host: a child window of the class "ZalComWin" that creates a
// control (a ProgID or CLSID; a web browser for an address; an HTML document for
// "MSHTML:" text), activates it in place and hands it to the script as an object value.
//
// The dialog engine reaches a host only through its window: the creation record passed
// to CreateWindowExW, the two registered messages and the operations below. Each host
// window owns one CComHost (in GWLP_USERDATA) from WM_CREATE to WM_NCDESTROY.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>

struct BDS;
struct resultants;

constexpr wchar_t COM_HOST_CLASS[] = L"ZalComWin";

// The creation parameter of a host window; its window text is the control's name.
struct ComHostCreateRecord {
    uint32_t size;               // COM_HOST_RECORD_SIZE, else the creation fails
    BDS* ctx;                    // the context that owns the control
    const char* licenceKey;      // run-time licence key, or null
    const void* initialBytes;    // persisted state of the control, or null
    uint32_t initialCount;       // bytes of it (0 none)
    HFONT font;                  // the ambient font, or null (the default GUI font)
    uint32_t backColor;          // COLORREF, or 0xFFFFFFFF for the default
    uint32_t engineWord;         // not read by the host
    uint32_t scriptAllowed;      // pages of a hosted browser may run script
};
constexpr uint32_t COM_HOST_RECORD_SIZE = 64;
static_assert(sizeof(ComHostCreateRecord) == COM_HOST_RECORD_SIZE);

// Registers the window class and the two messages (once per process).
void RegisterComHostClass();

// The control's IDispatch (a reference added for the caller): S_OK, E_POINTER, E_FAIL.
HRESULT ComHostGetControl(HWND window, IDispatch** out);
// Freezes (1) or thaws (0) the control's events.
int ComHostFreezeEvents(HWND window, int freeze);
int ComHostSetScriptAllowed(HWND window, int allow);
// which 0: the background colour (ambient -701), else the foreground colour (-704); the
// control is told that the property changed. 0 for a handle that is no window.
int ComHostSetAmbientColor(HWND window, COLORREF color, int which);

// Binds an event of the hosted control to the dialog's procedure (event 14 with the
// identifier): 1, or 0 with the error set (0 without error for no window).
int ComHostAttachEvents(BDS* ctx, HWND dialog, HWND window, const resultants* controlName, BSTR event,
                        const char* function, int32_t identifier);
int ComHostRemoveEvents(BDS* ctx, HWND window, BSTR event);

// The control's object value into *out (1), or 0 with the error set (1540 without one).
int GetDialogControlObject(BDS* ctx, HWND window, resultants* out);
// A picture file as an object value (IPicture's dispatch): 1, or 0 with the error set.
int ComHostLoadPicture(BDS* ctx, const wchar_t* path, resultants* out);
