// DirectInput keyboard and mouse of the Linux layer: the "hardware" is driven by pushing SDL
// input events, and the devices are checked through the DirectInput calls alone.
// Needs a display (tools/with-display.sh provides one).
#include <dinput.h>
#include <windows.h>

#include "platform/linux/sdl_window.h"

#include <gtest/gtest.h>

namespace {

IDirectInputDevice8A* keyboard = nullptr;
IDirectInputDevice8A* mouse = nullptr;
int activations = 0;
int deactivations = 0;

// Acquires on activation, as the program's window procedure does.
LRESULT CALLBACK acquiringProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ACTIVATE) {
        if (wParam == WA_INACTIVE) {
            ++deactivations;
        } else {
            ++activations;
            if (mouse)
                mouse->Acquire();
            if (keyboard)
                keyboard->Acquire();
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class DirectInputTest : public testing::Test {
protected:
    HWND window = nullptr;
    IDirectInput8A* directInput = nullptr;

    void SetUp() override {
        WNDCLASSEXA windowClass = {};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = acquiringProc;
        windowClass.lpszClassName = "DirectInputTestClass";
        ASSERT_NE(RegisterClassExA(&windowClass), 0);
        window = CreateWindowExA(0, "DirectInputTestClass", "Input", WS_OVERLAPPEDWINDOW, 0, 0, 320,
                                 240, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        if (!window)
            GTEST_SKIP() << "no display";
        ASSERT_EQ(DirectInput8Create(GetModuleHandleA(nullptr), 0x0800, IID_IDirectInput8A,
                                     reinterpret_cast<void**>(&directInput), nullptr),
                  DI_OK);
        ASSERT_EQ(directInput->CreateDevice(GUID_SysMouse, &mouse, nullptr), DI_OK);
        ASSERT_EQ(mouse->SetDataFormat(&c_dfDIMouse2), DI_OK);
        ASSERT_EQ(mouse->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_FOREGROUND), DI_OK);
        ASSERT_EQ(directInput->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr), DI_OK);
        ASSERT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
        ASSERT_EQ(keyboard->SetCooperativeLevel(window, DISCL_EXCLUSIVE | DISCL_FOREGROUND), DI_OK);
        DIPROPDWORD property = {{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, 8};
        ASSERT_EQ(keyboard->SetProperty(DIPROP_BUFFERSIZE, &property.diph), DI_OK);
        activations = deactivations = 0;
        ShowWindow(window, SW_SHOWDEFAULT);
        ASSERT_EQ(activations, 1);
        // Let the display server's own focus change for the shown window arrive first.
        pump();
        SDL_Delay(100);
        pump();
    }

    void TearDown() override {
        if (keyboard)
            keyboard->Release();
        if (mouse)
            mouse->Release();
        if (directInput)
            directInput->Release();
        keyboard = mouse = nullptr;
        if (window)
            DestroyWindow(window);
        pump();
        UnregisterClassA("DirectInputTestClass", nullptr);
    }

    static void pump() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }

    Uint32 sdlId() const { return SDL_GetWindowID(sdlWindowOf(window)); }

    void key(SDL_Scancode scancode, bool down, bool repeat = false) {
        SDL_Event event = {};
        event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        event.key.windowID = sdlId();
        event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        event.key.repeat = repeat ? 1 : 0;
        event.key.keysym.scancode = scancode;
        SDL_PushEvent(&event);
    }

    void tap(SDL_Scancode scancode) {
        key(scancode, true);
        key(scancode, false);
    }

    void moveMouse(int dx, int dy) {
        SDL_Event event = {};
        event.type = SDL_MOUSEMOTION;
        event.motion.windowID = sdlId();
        event.motion.xrel = dx;
        event.motion.yrel = dy;
        SDL_PushEvent(&event);
    }

    void wheel(int notches, bool flipped = false) {
        SDL_Event event = {};
        event.type = SDL_MOUSEWHEEL;
        event.wheel.windowID = sdlId();
        event.wheel.y = notches;
        event.wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
        SDL_PushEvent(&event);
    }

    void button(Uint8 which, bool down) {
        SDL_Event event = {};
        event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        event.button.windowID = sdlId();
        event.button.button = which;
        event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
        SDL_PushEvent(&event);
    }

    void focus(bool gained) {
        SDL_Event event = {};
        event.type = SDL_WINDOWEVENT;
        event.window.windowID = sdlId();
        event.window.event = gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST;
        SDL_PushEvent(&event);
    }

    // Reads up to `count` keyboard records as the program does; returns the result.
    HRESULT readKeys(DIDEVICEOBJECTDATA* records, DWORD& count) {
        return keyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), records, &count, 0);
    }
};

TEST_F(DirectInputTest, KeyPressesAndReleasesArriveInOrder) {
    tap(SDL_SCANCODE_PAGEUP);
    key(SDL_SCANCODE_ESCAPE, true);
    DIDEVICEOBJECTDATA records[8] = {};
    DWORD count = 8;
    ASSERT_EQ(readKeys(records, count), DI_OK);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(records[0].dwOfs, DWORD(DIK_PRIOR));
    EXPECT_EQ(records[0].dwData, 0x80u);
    EXPECT_EQ(records[1].dwOfs, DWORD(DIK_PRIOR));
    EXPECT_EQ(records[1].dwData, 0u);
    EXPECT_EQ(records[2].dwOfs, DWORD(DIK_ESCAPE));
    EXPECT_EQ(records[2].dwData, 0x80u);
    EXPECT_LT(records[0].dwSequence, records[1].dwSequence);
    EXPECT_LT(records[1].dwSequence, records[2].dwSequence);
    // The read removed them.
    count = 8;
    ASSERT_EQ(readKeys(records, count), DI_OK);
    EXPECT_EQ(count, 0u);
    BYTE state[256];
    ASSERT_EQ(keyboard->GetDeviceState(sizeof(state), state), DI_OK);
    EXPECT_EQ(state[DIK_ESCAPE], 0x80);
    EXPECT_EQ(state[DIK_PRIOR], 0);
}

TEST_F(DirectInputTest, HeldKeyGivesOnePress) {
    key(SDL_SCANCODE_RIGHT, true);
    key(SDL_SCANCODE_RIGHT, true, true);
    key(SDL_SCANCODE_RIGHT, true, true);
    key(SDL_SCANCODE_RIGHT, false);
    DIDEVICEOBJECTDATA records[8];
    DWORD count = 8;
    ASSERT_EQ(readKeys(records, count), DI_OK);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(records[0].dwData, 0x80u);
    EXPECT_EQ(records[1].dwData, 0u);
}

TEST_F(DirectInputTest, OverflowKeepsWhatFittedAndReportsIt) {
    SDL_Scancode keys[5] = {SDL_SCANCODE_A, SDL_SCANCODE_S, SDL_SCANCODE_D, SDL_SCANCODE_F,
                            SDL_SCANCODE_G};
    for (SDL_Scancode k : keys)
        tap(k);
    DIDEVICEOBJECTDATA records[8];
    DWORD count = 8;
    ASSERT_EQ(readKeys(records, count), DI_BUFFEROVERFLOW);
    EXPECT_TRUE(SUCCEEDED(DI_BUFFEROVERFLOW));
    ASSERT_EQ(count, 8u);
    EXPECT_EQ(records[0].dwOfs, DWORD(DIK_A));
    EXPECT_EQ(records[7].dwOfs, DWORD(DIK_F));
    EXPECT_EQ(records[7].dwData, 0u);
    // The overflow is reported once; the lost events do not come later.
    tap(SDL_SCANCODE_H);
    count = 8;
    ASSERT_EQ(readKeys(records, count), DI_OK);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(records[0].dwOfs, DWORD(DIK_H));
}

TEST_F(DirectInputTest, PartialReadsPeekAndFlush) {
    tap(SDL_SCANCODE_1);
    tap(SDL_SCANCODE_2);
    DIDEVICEOBJECTDATA records[8];
    DWORD count = 1;
    ASSERT_EQ(keyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), records, &count, DIGDD_PEEK),
              DI_OK);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(records[0].dwOfs, DWORD(DIK_1));
    count = 3;
    ASSERT_EQ(readKeys(records, count), DI_OK);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(records[2].dwOfs, DWORD(DIK_2));
    count = INFINITE;
    ASSERT_EQ(keyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), nullptr, &count, 0), DI_OK);
    EXPECT_EQ(count, 1u);
    count = 8;
    ASSERT_EQ(readKeys(records, count), DI_OK);
    EXPECT_EQ(count, 0u);
    // The shorter record of older versions is filled without running past it.
    tap(SDL_SCANCODE_3);
    DIDEVICEOBJECTDATA_DX3 short_records[3] = {};
    short_records[2].dwOfs = 0xDEAD;
    count = 2;
    ASSERT_EQ(keyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA_DX3),
                                      reinterpret_cast<DIDEVICEOBJECTDATA*>(short_records), &count,
                                      0),
              DI_OK);
    EXPECT_EQ(short_records[1].dwOfs, DWORD(DIK_3));
    EXPECT_EQ(short_records[2].dwOfs, 0xDEADu);
}

TEST_F(DirectInputTest, MouseCountsAccumulateAndClearOnRead) {
    moveMouse(3, -2);
    moveMouse(4, 1);
    wheel(1);
    wheel(2);
    wheel(1, true);
    button(SDL_BUTTON_LEFT, true);
    button(SDL_BUTTON_RIGHT, true);
    button(SDL_BUTTON_RIGHT, false);
    DIMOUSESTATE2 state = {};
    ASSERT_EQ(mouse->GetDeviceState(sizeof(state), &state), DI_OK);
    EXPECT_EQ(state.lX, 7);
    EXPECT_EQ(state.lY, -1);
    EXPECT_EQ(state.lZ, 240);
    EXPECT_EQ(state.rgbButtons[0], 0x80);
    EXPECT_EQ(state.rgbButtons[1], 0);
    ASSERT_EQ(mouse->GetDeviceState(sizeof(state), &state), DI_OK);
    EXPECT_EQ(state.lX, 0);
    EXPECT_EQ(state.lY, 0);
    EXPECT_EQ(state.lZ, 0);
    EXPECT_EQ(state.rgbButtons[0], 0x80);
    EXPECT_EQ(mouse->GetDeviceState(16, &state), DIERR_INVALIDPARAM);
}

TEST_F(DirectInputTest, DeactivationTakesDevicesAwayUntilReacquired) {
    key(SDL_SCANCODE_A, true);
    focus(false);
    tap(SDL_SCANCODE_PAGEDOWN);
    moveMouse(10, 10);
    DIDEVICEOBJECTDATA records[8];
    DWORD count = 8;
    EXPECT_EQ(readKeys(records, count), DIERR_INPUTLOST);
    count = 8;
    EXPECT_EQ(readKeys(records, count), DIERR_NOTACQUIRED);
    DIMOUSESTATE2 state;
    EXPECT_EQ(mouse->GetDeviceState(sizeof(state), &state), DIERR_INPUTLOST);
    EXPECT_EQ(mouse->GetDeviceState(sizeof(state), &state), DIERR_NOTACQUIRED);
    EXPECT_EQ(keyboard->Acquire(), DIERR_OTHERAPPHASPRIO);
    pump();
    EXPECT_EQ(deactivations, 1);
    EXPECT_EQ(GetActiveWindow(), nullptr);

    focus(true);
    pump();
    EXPECT_EQ(activations, 2);
    count = 8;
    ASSERT_EQ(readKeys(records, count), DI_OK);
    EXPECT_EQ(count, 0u);
    ASSERT_EQ(mouse->GetDeviceState(sizeof(state), &state), DI_OK);
    EXPECT_EQ(state.lX, 0);
    // A key held when the window lost the focus does not stay down.
    BYTE keys[256];
    ASSERT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DI_OK);
    EXPECT_EQ(keys[DIK_A], 0);
    tap(SDL_SCANCODE_RETURN);
    count = 8;
    ASSERT_EQ(readKeys(records, count), DI_OK);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(records[0].dwOfs, DWORD(DIK_RETURN));
}

TEST_F(DirectInputTest, UnacquireAndSetUpRules) {
    EXPECT_EQ(keyboard->Acquire(), DI_NOEFFECT);
    DIPROPDWORD property = {{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, 16};
    EXPECT_EQ(keyboard->SetProperty(DIPROP_BUFFERSIZE, &property.diph), DIERR_ACQUIRED);
    EXPECT_EQ(keyboard->Unacquire(), DI_OK);
    EXPECT_EQ(keyboard->Unacquire(), DI_NOEFFECT);
    DWORD count = 8;
    DIDEVICEOBJECTDATA records[8];
    EXPECT_EQ(readKeys(records, count), DIERR_NOTACQUIRED);
    property.diph.dwHeaderSize = 12;
    EXPECT_EQ(keyboard->SetProperty(DIPROP_BUFFERSIZE, &property.diph), DIERR_INVALIDPARAM);
    property.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    property.dwData = 0;
    ASSERT_EQ(keyboard->GetProperty(DIPROP_BUFFERSIZE, &property.diph), DI_OK);
    EXPECT_EQ(property.dwData, 8u);
    // Without a buffer, buffered reads are refused.
    ASSERT_EQ(mouse->Unacquire(), DI_OK);
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    count = 8;
    EXPECT_EQ(mouse->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), records, &count, 0),
              DIERR_NOTBUFFERED);
    EXPECT_EQ(mouse->SetDataFormat(&c_dfDIKeyboard), DIERR_ACQUIRED);
}

TEST(DirectInput, CreationChecksItsArguments) {
    HINSTANCE module = GetModuleHandleA(nullptr);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(DirectInput8Create(module, 0x0700, IID_IDirectInput8A, &object, nullptr),
              DIERR_OLDDIRECTINPUTVERSION);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(DirectInput8Create(module, 0x0900, IID_IDirectInput8A, &object, nullptr),
              DIERR_BETADIRECTINPUTVERSION);
    EXPECT_EQ(DirectInput8Create(module, 0x0800, IID_IUnknown, &object, nullptr),
              DIERR_NOINTERFACE);
    IDirectInput8A* directInput = nullptr;
    ASSERT_EQ(DirectInput8Create(module, 0x0800, IID_IDirectInput8A,
                                 reinterpret_cast<void**>(&directInput), nullptr),
              DI_OK);
    IDirectInputDevice8A* device = reinterpret_cast<IDirectInputDevice8A*>(1);
    EXPECT_EQ(directInput->CreateDevice(GUID_XAxis, &device, nullptr), DIERR_DEVICENOTREG);
    EXPECT_EQ(device, nullptr);
    ASSERT_EQ(directInput->CreateDevice(GUID_SysKeyboard, &device, nullptr), DI_OK);
    EXPECT_EQ(device->SetDataFormat(&c_dfDIMouse2), DIERR_INVALIDPARAM);
    EXPECT_EQ(device->Acquire(), DIERR_INVALIDPARAM); // no data format yet
    EXPECT_EQ(device->SetCooperativeLevel(nullptr, DISCL_EXCLUSIVE | DISCL_FOREGROUND), E_HANDLE);
    EXPECT_EQ(device->SetCooperativeLevel(nullptr, DISCL_FOREGROUND), DIERR_INVALIDPARAM);
    IUnknown* unknown = nullptr;
    ASSERT_EQ(device->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    EXPECT_EQ(unknown->Release(), 1u);
    EXPECT_EQ(device->Release(), 0u);
    EXPECT_EQ(directInput->Release(), 0u);
}

TEST(DirectInput, RecordLayoutsMatchTheProgramsExpectations) {
    EXPECT_EQ(sizeof(DIPROPHEADER), 16u);
    EXPECT_EQ(sizeof(DIPROPDWORD), 20u);
    EXPECT_EQ(sizeof(DIMOUSESTATE2), 20u);
    EXPECT_EQ(c_dfDIKeyboard.dwDataSize, 256u);
    EXPECT_EQ(c_dfDIMouse2.dwDataSize, sizeof(DIMOUSESTATE2));
    EXPECT_EQ(offsetof(DIDEVICEOBJECTDATA, uAppData), 16u);
}

} // namespace
