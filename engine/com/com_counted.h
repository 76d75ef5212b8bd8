// The reference count of the engine's own COM objects that answer one interface: AddRef
// and Release, the object deleted at its last release.
#pragma once

#include <windows.h>
#include <unknwn.h>

template <typename Interface>
class ComCounted : public Interface {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG n = InterlockedDecrement(&refs_);
        if (n == 0)
            delete this;
        return static_cast<ULONG>(n);
    }

protected:
    explicit ComCounted(LONG references = 1) : refs_(references) {}
    virtual ~ComCounted() = default;

private:
    LONG refs_;
};
