// com_object.h: an IUnknown for the layer's COM objects that have one reference count and no
// other life (the Direct3D resources, which their device also keeps alive while they are bound,
// count their references themselves). An object derives from ComObject<its interfaces> and gets
// one reference count shared by all of them. It says which interface ids it answers to
// (IID_IUnknown always gives its first interface) and what happens when its last reference goes,
// which unless it says otherwise is to delete itself.
#pragma once

#include <windows.h>

template <typename Interface, typename... More> class ComObject : public Interface, public More... {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr)
            return E_POINTER;
        *object = iid == IID_IUnknown ? static_cast<Interface*>(this) : interfaceFor(iid);
        if (*object == nullptr)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++references; }
    ULONG Release() override {
        const ULONG left = --references;
        if (left == 0)
            lastReleased();
        return left;
    }

protected:
    virtual ~ComObject() = default;

    // The object as the interface with this id (never IID_IUnknown), or null when it has none.
    virtual void* interfaceFor(REFIID iid) = 0;
    // Runs when the last reference has gone.
    virtual void lastReleased() { delete this; }

private:
    ULONG references = 1;
};
