// COM events: the sink that a script's object (or a hosted control) advises to its
// source, the handlers that run user-defined functions for its events, and the small
// automation objects (event object and its parameters) that a dialog procedure receives.
//
// One CComSink per object value (shared by the value's copies through a use count) or per
// hosted control. It is advised on its first handler and unadvises itself once the last
// handler is gone. Events arrive on the script's thread while it pumps messages; one
// delivery per sink runs at a time and an event that arrives during one is dropped.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/com/com_counted.h"
#include "engine/core/context.h"

class CEventHandler;
class CEventInfo;

// ---------------------------------------------------------------- small automation objects

// An IDispatch described by a static member table, without type information (the engine
// then calls it by name). Members are answered by InvokeMember.
class CPrivDisp : public ComCounted<IDispatch> {
public:
    struct Member {
        const wchar_t* name;
        DISPID id;
    };
    CPrivDisp(BDS* ctx, const Member* members, int count);
    CPrivDisp(const CPrivDisp&) = delete;
    CPrivDisp& operator=(const CPrivDisp&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** out) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excep, UINT* argError) override;

    HRESULT lastResult = S_OK;   // the last member's outcome

protected:
    virtual ~CPrivDisp() = default;
    // A get (result given) or a put (value given) of member `id`; `argument` is the get's
    // one argument, or null.
    virtual HRESULT InvokeMember(DISPID id, bool put, const VARIANT* argument, const VARIANT* value,
                                 VARIANT* result) = 0;
    BDS* ctx_;

private:
    const Member* members_;
    int count_;
};

class CEventParameter : public CPrivDisp {
public:
    explicit CEventParameter(BDS* ctx);
    HRESULT Store(const VARIANT& value);   // "value" put
    HRESULT Read(VARIANT* out) const;      // "value" get (a copy)
    CEventParameter* next = nullptr;

protected:
    ~CEventParameter() override;
    HRESULT InvokeMember(DISPID id, bool put, const VARIANT* argument, const VARIANT* value, VARIANT* result) override;

private:
    VARIANT value_;
    VARTYPE kept_ = 0;    // the type of the first value stored
};

class CEventInfo : public CPrivDisp {
public:
    CEventInfo(BDS* ctx, int32_t identifier, const wchar_t* eventName);
    // Parameter `index` (0-based): the count grows by one when index equals it.
    HRESULT StoreParameter(uint32_t index, const VARIANT& value);
    CEventParameter* ParameterAt(uint32_t index) const;
    void ClearReturn() { VariantClear(&return_); }
    const VARIANT& ReturnValue() const { return return_; }
    uint32_t Count() const { return count_; }

protected:
    ~CEventInfo() override;
    HRESULT InvokeMember(DISPID id, bool put, const VARIANT* argument, const VARIANT* value, VARIANT* result) override;

private:
    int32_t identifier_;
    BSTR name_;
    uint32_t count_ = 0;
    VARIANT return_;
    CEventParameter* first_ = nullptr;
};

// ---------------------------------------------------------------- sink and handlers

// The binding of one event method in the source interface.
struct EventBinding {
    DISPID id = DISPID_UNKNOWN;
    uint32_t paramCount = 0;
    uint32_t optionalCount = 0;
    std::vector<uint16_t> flags;   // PARAMFLAG bits per declared parameter
    VARTYPE returnType = VT_EMPTY;
};

class CComSink : public IDispatch {
public:
    CComSink(IUnknown* source, ITypeInfo* sourceType, const IID& iid, uint32_t autoAdvise);
    CComSink(const CComSink&) = delete;
    CComSink& operator=(const CComSink&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** out) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excep, UINT* argError) override;

    // Binds `function` to the event: 1, or 0 with the error set. A dialog handle makes it a
    // dialog handler (the event goes to the dialog's procedure as event 14).
    int AddEvent(BDS* ctx, BSTR event, const char* function, HWND dialog, const resultants* controlName,
                 int32_t identifier, HWND hostWindow);
    // 1 when a handler was removed, else 0 with 1753.
    int RemoveEvent(BDS* ctx, BSTR event);
    HRESULT Advise();
    HRESULT Unadvise();

    bool HasHandlers() const { return first_ != nullptr; }
    bool Advised() const { return advised_ != 0; }
    ULONG References() const { return static_cast<ULONG>(refs_); }

    // The object values that share this sink: the last one that goes disconnects it.
    void AddUse();
    void DropUse();

private:
    virtual ~CComSink();
    HRESULT Bind(BSTR event, EventBinding* binding);
    // Bind with the failure as the context's error (1753 for an unknown event).
    bool BindOrFail(BDS* ctx, BSTR event, EventBinding* binding, const char* operation);
    HRESULT FindPoint(IConnectionPoint** point);
    void Unlink(CEventHandler* handler, CEventHandler* previous);

    CEventHandler* first_ = nullptr;
    DWORD cookie_ = 0;
    IID iid_;
    int32_t advised_ = 0;
    IUnknown* source_ = nullptr;
    ITypeInfo* sourceType_ = nullptr;
    VARIANT scratch_;
    uint32_t autoAdvise_;
    LONG refs_ = 1;
    LONG reentry_ = 0;
    LONG uses_ = 1;
};

class CSinkBuilder {
public:
    CSinkBuilder(BDS* ctx, uint32_t autoAdvise) : ctx_(ctx), autoAdvise_(autoAdvise) {}
    virtual ~CSinkBuilder() = default;
    // The sink of an object's default source interface (found through IProvideClassInfo,
    // else through the type library of its dispatch type).
    HRESULT FindSourceInterface(IDispatch* object, CComSink** out);

private:
    BDS* ctx_;
    uint32_t autoAdvise_;
};

// What a handler's owner answers after SetOutParameter's table: the new value written
// through the target's reference (by-reference targets) or moved into it.
int SetOutParameter(BDS* ctx, const VARIANT& value, VARIANT* target);
