// dinput_device.cpp: the DirectInput system keyboard and mouse on the window system's input
// events (window_system.h). Every live device sees the events as the window system has them,
// so input reaches it whoever drains the window system's events. An acquired keyboard keeps
// the key states and, with a buffer size set, a buffer of presses and releases; an acquired
// mouse accumulates relative x, y and wheel counts until read, keeps the button states and
// buffers its changes likewise. With the foreground cooperative level a device loses
// acquisition as soon as its window is not the active one; input arriving while not acquired
// is dropped. Uses window.cpp (GetActiveWindow, IsWindow) and timer.cpp (time stamps).
#include "com_object.h"
#include "dinput_device.h"
#include "window_system.h"

#include <cstring>
#include <new>

namespace {

constexpr int deviceCapacity = 16;
constexpr DWORD bufferCapacity = 1024;
constexpr LONG wheelDelta = 120;

struct InputEvent {
    DWORD offset;
    DWORD data;
    DWORD timeStamp;
    DWORD sequence;
};

// Sequence numbers are shared by all devices, so events of different devices can be ordered.
DWORD nextSequence = 1;

bool isBufferSizeProperty(REFGUID property) {
    return reinterpret_cast<uintptr_t>(&property) ==
           reinterpret_cast<uintptr_t>(&DIPROP_BUFFERSIZE);
}

struct InputDevice;

struct DeviceRegistry {
    InputDevice* devices[deviceCapacity] = {};
    int count = 0;
    bool listening = false;
};

DeviceRegistry registry;

void onInput(const windowsystem::Event& event);

struct InputDevice final : ComObject<IDirectInputDevice8A> {
    InputDeviceKind kind;
    const DIDATAFORMAT* format = nullptr;
    HWND window = nullptr;
    DWORD cooperation = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;
    bool acquired = false;
    bool lost = false;
    bool capturing = false;
    DWORD bufferSize = 0;
    InputEvent buffer[bufferCapacity];
    DWORD bufferStart = 0;
    DWORD bufferCount = 0;
    bool overflowed = false;
    BYTE keys[256] = {};
    LONG motion[3] = {};
    BYTE buttons[8] = {};

    explicit InputDevice(InputDeviceKind deviceKind) : kind(deviceKind) {}

    void* interfaceFor(REFIID riid) override {
        return riid == IID_IDirectInputDevice8A ? static_cast<IDirectInputDevice8A*>(this)
                                                : nullptr;
    }

    void lastReleased() override {
        endAcquisition(false);
        unregister();
        delete this;
    }

    HRESULT GetProperty(REFGUID property, LPDIPROPHEADER header) override {
        if (!header || header->dwHeaderSize != sizeof(DIPROPHEADER))
            return DIERR_INVALIDPARAM;
        if (!isBufferSizeProperty(property))
            return DIERR_UNSUPPORTED;
        if (header->dwSize != sizeof(DIPROPDWORD) || header->dwHow != DIPH_DEVICE ||
            header->dwObj != 0)
            return DIERR_INVALIDPARAM;
        reinterpret_cast<DIPROPDWORD*>(header)->dwData = bufferSize;
        return DI_OK;
    }

    HRESULT SetProperty(REFGUID property, LPCDIPROPHEADER header) override {
        if (!header || header->dwHeaderSize != sizeof(DIPROPHEADER))
            return DIERR_INVALIDPARAM;
        if (!isBufferSizeProperty(property))
            return DIERR_UNSUPPORTED;
        if (header->dwSize != sizeof(DIPROPDWORD) || header->dwHow != DIPH_DEVICE ||
            header->dwObj != 0)
            return DIERR_INVALIDPARAM;
        if (acquired)
            return DIERR_ACQUIRED;
        DWORD requested = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
        // A size beyond what the device can hold gets the largest it can.
        bufferSize = requested > bufferCapacity ? bufferCapacity : requested;
        clearBuffer();
        return requested > bufferCapacity ? DI_PROPNOEFFECT : DI_OK;
    }

    HRESULT Acquire() override {
        if (!format)
            return DIERR_INVALIDPARAM;
        checkForeground();
        if (acquired)
            return DI_NOEFFECT;
        if ((cooperation & DISCL_FOREGROUND) && GetActiveWindow() != window)
            return DIERR_OTHERAPPHASPRIO;
        acquired = true;
        lost = false;
        clearBuffer();
        takeCurrentState();
        if (kind == InputDeviceKind::mouse && (cooperation & DISCL_EXCLUSIVE))
            capturing = windowsystem::setRelativeMouse(true);
        return DI_OK;
    }

    HRESULT Unacquire() override {
        lost = false;
        if (!acquired)
            return DI_NOEFFECT;
        endAcquisition(false);
        return DI_OK;
    }

    HRESULT GetDeviceState(DWORD cbData, LPVOID data) override {
        if (!data || !format || cbData != format->dwDataSize)
            return DIERR_INVALIDPARAM;
        if (HRESULT failure = readFailure(); failure != DI_OK)
            return failure;
        if (kind == InputDeviceKind::keyboard) {
            memcpy(data, keys, sizeof(keys));
        } else {
            DIMOUSESTATE2 state = {motion[0], motion[1], motion[2], {}};
            memcpy(state.rgbButtons, buttons, sizeof(buttons));
            memcpy(data, &state, sizeof(state));
            motion[0] = motion[1] = motion[2] = 0;
        }
        return DI_OK;
    }

    HRESULT GetDeviceData(DWORD cbObjectData, LPDIDEVICEOBJECTDATA rgdod, LPDWORD inOut,
                          DWORD flags) override {
        if (!inOut || (flags & ~DWORD(DIGDD_PEEK)) ||
            (cbObjectData != sizeof(DIDEVICEOBJECTDATA) &&
             cbObjectData != sizeof(DIDEVICEOBJECTDATA_DX3)))
            return DIERR_INVALIDPARAM;
        if (HRESULT failure = readFailure(); failure != DI_OK)
            return failure;
        if (bufferSize == 0)
            return DIERR_NOTBUFFERED;
        DWORD delivered = *inOut < bufferCount ? *inOut : bufferCount;
        if (rgdod) {
            BYTE* out = reinterpret_cast<BYTE*>(rgdod);
            for (DWORD i = 0; i < delivered; ++i) {
                const InputEvent& event = buffer[(bufferStart + i) % bufferCapacity];
                DIDEVICEOBJECTDATA record = {event.offset, event.data, event.timeStamp,
                                             event.sequence, 0};
                memcpy(out + i * cbObjectData, &record, cbObjectData);
            }
        }
        HRESULT result = overflowed ? DI_BUFFEROVERFLOW : DI_OK;
        if (!(flags & DIGDD_PEEK)) {
            bufferStart = (bufferStart + delivered) % bufferCapacity;
            bufferCount -= delivered;
            overflowed = false;
        }
        *inOut = delivered;
        return result;
    }

    HRESULT SetDataFormat(LPCDIDATAFORMAT newFormat) override {
        if (!newFormat)
            return DIERR_INVALIDPARAM;
        if (acquired)
            return DIERR_ACQUIRED;
        const DIDATAFORMAT* expected =
            kind == InputDeviceKind::keyboard ? &c_dfDIKeyboard : &c_dfDIMouse2;
        // Only the device's own predefined format is offered.
        if (newFormat != expected)
            return DIERR_INVALIDPARAM;
        format = newFormat;
        return DI_OK;
    }

    HRESULT SetCooperativeLevel(HWND newWindow, DWORD flags) override {
        DWORD exclusivity = flags & (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE);
        DWORD ground = flags & (DISCL_FOREGROUND | DISCL_BACKGROUND);
        if ((flags & ~DWORD(0x1F)) ||
            (exclusivity != DISCL_EXCLUSIVE && exclusivity != DISCL_NONEXCLUSIVE) ||
            (ground != DISCL_FOREGROUND && ground != DISCL_BACKGROUND))
            return DIERR_INVALIDPARAM;
        if (acquired)
            return DIERR_ACQUIRED;
        bool needsWindow = flags != (DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
        if ((newWindow && !IsWindow(newWindow)) || (needsWindow && !newWindow))
            return E_HANDLE;
        // The keyboard cannot be held exclusively while in the background.
        if (kind == InputDeviceKind::keyboard && flags == (DISCL_EXCLUSIVE | DISCL_BACKGROUND))
            return DIERR_UNSUPPORTED;
        window = newWindow;
        cooperation = flags;
        return DI_OK;
    }

    // The result of a read on a device that is not acquired: the loss is reported once.
    HRESULT readFailure() {
        checkForeground();
        if (acquired)
            return DI_OK;
        if (lost) {
            lost = false;
            return DIERR_INPUTLOST;
        }
        return DIERR_NOTACQUIRED;
    }

    // A foreground device is taken away when its window is no longer the active one.
    void checkForeground() {
        if (acquired && (cooperation & DISCL_FOREGROUND) && GetActiveWindow() != window)
            endAcquisition(true);
    }

    void endAcquisition(bool inputLost) {
        if (!acquired)
            return;
        acquired = false;
        lost = inputLost;
        if (capturing)
            windowsystem::setRelativeMouse(false);
        capturing = false;
        clearBuffer();
        memset(keys, 0, sizeof(keys));
        memset(motion, 0, sizeof(motion));
        memset(buttons, 0, sizeof(buttons));
    }

    void clearBuffer() {
        bufferStart = 0;
        bufferCount = 0;
        overflowed = false;
    }

    // Keys and buttons already held when the device is acquired show as held, without events.
    void takeCurrentState() {
        memset(keys, 0, sizeof(keys));
        memset(motion, 0, sizeof(motion));
        memset(buttons, 0, sizeof(buttons));
        if (kind == InputDeviceKind::keyboard) {
            bool held[256];
            windowsystem::heldKeys(held);
            for (int key = 1; key < 256; ++key)
                if (held[key])
                    keys[key] = 0x80;
        } else {
            unsigned held = windowsystem::heldButtons();
            for (int button = 0; button < 8; ++button)
                if (held & (1u << button))
                    buttons[button] = 0x80;
        }
    }

    void record(DWORD offset, DWORD data) {
        if (bufferSize == 0)
            return;
        // A full buffer keeps what it holds; the next read reports the overflow.
        if (bufferCount >= bufferSize) {
            overflowed = true;
            return;
        }
        buffer[(bufferStart + bufferCount) % bufferCapacity] = {offset, data, timeGetTime(),
                                                                nextSequence++};
        ++bufferCount;
    }

    // Input of another window of the program is not this device's.
    bool fromOwnWindow(windowsystem::NativeWindow native) const {
        return native == 0 || !window || windowsystem::nativeWindowOf(window) == native;
    }

    void handle(const windowsystem::Event& event) {
        checkForeground();
        if (!acquired || !fromOwnWindow(event.window))
            return;
        using windowsystem::EventKind;
        switch (event.kind) {
        case EventKind::keyDown:
        case EventKind::keyUp:
            // A held key gives one press: the system's repeats are not keyboard events here.
            if (kind == InputDeviceKind::keyboard && !event.repeat)
                setKey(event.key, event.kind == EventKind::keyDown ? 0x80 : 0);
            break;
        case EventKind::mouseMotion:
            if (kind == InputDeviceKind::mouse) {
                addMotion(0, DIMOFS_X, event.dx);
                addMotion(1, DIMOFS_Y, event.dy);
            }
            break;
        case EventKind::mouseWheel:
            if (kind == InputDeviceKind::mouse)
                addMotion(2, DIMOFS_Z, event.notches * wheelDelta);
            break;
        case EventKind::mouseButtonDown:
        case EventKind::mouseButtonUp:
            if (kind == InputDeviceKind::mouse)
                setButton(event.button, event.kind == EventKind::mouseButtonDown ? 0x80 : 0);
            break;
        default:
            break;
        }
    }

    void setKey(int key, BYTE state) {
        if (key <= 0 || key > 255 || keys[key] == state)
            return;
        keys[key] = state;
        record(DWORD(key), state);
    }

    void setButton(int index, BYTE state) {
        if (index < 0 || index > 7 || buttons[index] == state)
            return;
        buttons[index] = state;
        record(DIMOFS_BUTTON0 + index, state);
    }

    void addMotion(int axis, DWORD offset, LONG amount) {
        if (amount == 0)
            return;
        motion[axis] += amount;
        record(offset, DWORD(amount));
    }

    void unregister() {
        for (int i = 0; i < registry.count; ++i)
            if (registry.devices[i] == this) {
                registry.devices[i] = registry.devices[--registry.count];
                registry.devices[registry.count] = nullptr;
                break;
            }
        if (registry.count == 0 && registry.listening) {
            windowsystem::removeListener(onInput);
            registry.listening = false;
        }
    }
};

void onInput(const windowsystem::Event& event) {
    for (int i = 0; i < registry.count; ++i)
        registry.devices[i]->handle(event);
}

} // namespace

IDirectInputDevice8A* createInputDevice(InputDeviceKind kind) {
    if (registry.count == deviceCapacity)
        return nullptr;
    InputDevice* device = new (std::nothrow) InputDevice(kind);
    if (!device)
        return nullptr;
    registry.devices[registry.count++] = device;
    if (!registry.listening)
        registry.listening = windowsystem::addListener(onInput);
    return device;
}
