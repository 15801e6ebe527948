// dinput_object.cpp: DirectInput8Create and the DirectInput object, which makes the system
// keyboard and mouse devices.
#include "com_object.h"
#include "dinput_device.h"

#include <new>

namespace {

struct DirectInput final : ComObject<IDirectInput8A> {
    void* interfaceFor(REFIID riid) override {
        return riid == IID_IDirectInput8A ? static_cast<IDirectInput8A*>(this) : nullptr;
    }

    HRESULT CreateDevice(REFGUID device, LPDIRECTINPUTDEVICE8A* created, LPUNKNOWN outer) override {
        if (!created)
            return E_POINTER;
        *created = nullptr;
        if (outer)
            return DIERR_NOAGGREGATION;
        InputDeviceKind kind;
        if (device == GUID_SysKeyboard)
            kind = InputDeviceKind::keyboard;
        else if (device == GUID_SysMouse)
            kind = InputDeviceKind::mouse;
        else
            return DIERR_DEVICENOTREG;
        *created = createInputDevice(kind);
        return *created ? DI_OK : DIERR_OUTOFMEMORY;
    }
};

} // namespace

HRESULT WINAPI DirectInput8Create(HINSTANCE instance, DWORD version, REFIID riid, LPVOID* out,
                                  LPUNKNOWN outer) {
    if (!out)
        return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (!instance)
        return DIERR_INVALIDPARAM;
    // A later version than this one needs a newer DirectInput; an earlier one is not supported.
    if (version > 0x0800)
        return DIERR_OLDDIRECTINPUTVERSION;
    if (version < 0x0800)
        return DIERR_BETADIRECTINPUTVERSION;
    if (riid != IID_IDirectInput8A && riid != IID_IUnknown)
        return DIERR_NOINTERFACE;
    if (outer)
        return DIERR_NOAGGREGATION;
    DirectInput* directInput = new (std::nothrow) DirectInput;
    if (!directInput)
        return DIERR_OUTOFMEMORY;
    *out = static_cast<IDirectInput8A*>(directInput);
    return DI_OK;
}
