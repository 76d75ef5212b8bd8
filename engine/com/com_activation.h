// Object activation: every COM object that reaches a script enters through CDispBuilder,
// created from a class name, attached (a running object, a moniker, a file opened by its
// class) or an interface the engine already holds, wrapped.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "engine/com/com_value.h"

enum DispBuildMode { DBM_CREATE = 0, DBM_ATTACH = 1, DBM_WRAP = 2 };

class CDispBuilder {
public:
    // Create (first: class name, second: machine) or attach (first: file or moniker name,
    // second: class name); a null or, for the machine, empty name is absent. A name that
    // cannot be copied sets 1491 and stays absent.
    CDispBuilder(BDS* ctx, DispBuildMode mode, const wchar_t* first, const wchar_t* second);
    // Wrap an interface (one reference held); cacheOn is handed to the holder.
    CDispBuilder(IDispatch* wrap, bool cacheOn);
    CDispBuilder(const CDispBuilder&) = delete;
    CDispBuilder& operator=(const CDispBuilder&) = delete;
    virtual ~CDispBuilder();

    // A new holder (the caller's from then on), or a failure code and none.
    HRESULT GetDispatch(DispatchHolder** out);

private:
    BSTR first_ = nullptr;
    BSTR second_ = nullptr;
    DispBuildMode mode_;
    IDispatch* wrap_ = nullptr;
    bool cacheOn_ = true;
};

// CoCreateInstanceEx as found in ole32 at run time (null where it is missing); tests
// replace it to show the E_NOTIMPL path.
using PfnCoCreateInstanceEx = HRESULT(WINAPI*)(REFCLSID, IUnknown*, DWORD, COSERVERINFO*, DWORD, MULTI_QI*);
PfnCoCreateInstanceEx SetCoCreateInstanceExForTest(PfnCoCreateInstanceEx entry, bool replace);
