// DirectInput keyboard and mouse, checked through the DirectInput calls alone. The "hardware"
// is driven by pushing SDL input events under the layer and by SendInput on Windows.
// Needs a display (tools/with-display.sh provides one).
// Built for Windows too (tests/windows), where it checks the real APIs under Wine.
#include <dinput.h>
#include <windows.h>

#ifndef _WIN32
#include "platform/backends/sdl/sdl_window.h"
#endif

#include <gtest/gtest.h>

#include <optional>

#include "support/display_rule.h"
#include "support/hidden_window.h"
#include "support/test_input.h"

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
    std::optional<HiddenWindow> hidden;
    HWND window = nullptr;
    IDirectInput8A* directInput = nullptr;

    void SetUp() override {
        hidden.emplace(320, 240, acquiringProc);
        window = hidden->handle;
        if (!window)
            SKIP_OR_FAIL_WITHOUT_DISPLAY("no display");
        createTestInput(window, directInput, mouse, keyboard);
        if (HasFatalFailure())
            return;
        activations = deactivations = 0;
        ShowWindow(window, SW_SHOWDEFAULT);
        ASSERT_EQ(activations, 1);
        // Let the display server's own focus change for the shown window arrive first.
        pump();
        settle();
        pump();
    }

    void TearDown() override {
        releaseTestInput(directInput, mouse, keyboard);
        hidden.reset();
        pump();
    }

    static void pump() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }

    enum class Button { left, right };

#ifndef _WIN32
    Uint32 sdlId() const {
        return SDL_GetWindowID(sdlWindowOf(window));
    }

    static SDL_Scancode scancodeOf(BYTE dik) {
        switch (dik) {
        case DIK_PRIOR:
            return SDL_SCANCODE_PAGEUP;
        case DIK_NEXT:
            return SDL_SCANCODE_PAGEDOWN;
        case DIK_ESCAPE:
            return SDL_SCANCODE_ESCAPE;
        case DIK_RETURN:
            return SDL_SCANCODE_RETURN;
        case DIK_RIGHT:
            return SDL_SCANCODE_RIGHT;
        case DIK_1:
            return SDL_SCANCODE_1;
        case DIK_2:
            return SDL_SCANCODE_2;
        case DIK_3:
            return SDL_SCANCODE_3;
        case DIK_A:
            return SDL_SCANCODE_A;
        case DIK_S:
            return SDL_SCANCODE_S;
        case DIK_D:
            return SDL_SCANCODE_D;
        case DIK_F:
            return SDL_SCANCODE_F;
        case DIK_G:
            return SDL_SCANCODE_G;
        case DIK_H:
            return SDL_SCANCODE_H;
        default:
            ADD_FAILURE() << "no scancode for key " << int(dik);
            return SDL_SCANCODE_UNKNOWN;
        }
    }

    void key(BYTE dik, bool down, bool repeat = false) {
        SDL_Event event = {};
        event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        event.key.windowID = sdlId();
        event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        event.key.repeat = repeat ? 1 : 0;
        event.key.keysym.scancode = scancodeOf(dik);
        SDL_PushEvent(&event);
    }

    void moveMouse(int dx, int dy) {
        SDL_Event event = {};
        event.type = SDL_MOUSEMOTION;
        event.motion.windowID = sdlId();
        event.motion.xrel = dx;
        event.motion.yrel = dy;
        SDL_PushEvent(&event);
    }

    // `flipped`: a wheel whose driver reports the opposite direction, so one notch back.
    void wheel(int notches, bool flipped = false) {
        SDL_Event event = {};
        event.type = SDL_MOUSEWHEEL;
        event.wheel.windowID = sdlId();
        event.wheel.y = notches;
        event.wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
        SDL_PushEvent(&event);
    }

    void button(Button which, bool down) {
        SDL_Event event = {};
        event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        event.button.windowID = sdlId();
        event.button.button = which == Button::left ? SDL_BUTTON_LEFT : SDL_BUTTON_RIGHT;
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

    static void settle() {
        SDL_Delay(100);
    }
#else
    // Input is injected as the hardware's and reaches the devices from another thread, so each
    // step waits for it to arrive.
    static void send(INPUT input) {
        ASSERT_EQ(SendInput(1, &input, sizeof input), 1u);
        settle();
    }

    static void settle() {
        pump();
        Sleep(30);
        pump();
    }

    void key(BYTE dik, bool down, bool = false) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wScan = dik & 0x7F;
        input.ki.dwFlags = KEYEVENTF_SCANCODE | (dik & 0x80 ? KEYEVENTF_EXTENDEDKEY : 0) |
                           (down ? 0 : KEYEVENTF_KEYUP);
        send(input);
    }

    void moveMouse(int dx, int dy) {
        INPUT input = {};
        input.type = INPUT_MOUSE;
        input.mi.dx = dx;
        input.mi.dy = dy;
        input.mi.dwFlags = MOUSEEVENTF_MOVE;
        send(input);
    }

    void wheel(int notches, bool flipped = false) {
        INPUT input = {};
        input.type = INPUT_MOUSE;
        input.mi.mouseData = DWORD((flipped ? -notches : notches) * WHEEL_DELTA);
        input.mi.dwFlags = MOUSEEVENTF_WHEEL;
        send(input);
    }

    void button(Button which, bool down) {
        INPUT input = {};
        input.type = INPUT_MOUSE;
        input.mi.dwFlags = which == Button::left
                               ? (down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP)
                               : (down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP);
        send(input);
    }

    // Another window of the program takes the activation and gives it back.
    void focus(bool gained) {
        if (!gained) {
            other =
                CreateWindowExA(0, hidden->className.c_str(), "Other", WS_OVERLAPPEDWINDOW, 400, 0,
                                100, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
            ShowWindow(other, SW_SHOW);
        } else {
            DestroyWindow(other);
            other = nullptr;
            if (GetActiveWindow() != window)
                SetForegroundWindow(window);
        }
        settle();
    }

    HWND other = nullptr;
#endif

    void tap(BYTE dik) {
        key(dik, true);
        key(dik, false);
    }

    // Reads up to `count` keyboard records as the program does; returns the result.
    HRESULT readKeys(DIDEVICEOBJECTDATA* records, DWORD& count) {
        return keyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), records, &count, 0);
    }
};

TEST_F(DirectInputTest, KeyPressesAndReleasesArriveInOrder) {
    tap(DIK_PRIOR);
    key(DIK_ESCAPE, true);
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
    key(DIK_RIGHT, true);
    key(DIK_RIGHT, true, true);
    key(DIK_RIGHT, true, true);
    key(DIK_RIGHT, false);
    DIDEVICEOBJECTDATA records[8];
    DWORD count = 8;
    ASSERT_EQ(readKeys(records, count), DI_OK);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(records[0].dwData, 0x80u);
    EXPECT_EQ(records[1].dwData, 0u);
}

TEST_F(DirectInputTest, OverflowKeepsWhatFittedAndReportsIt) {
    BYTE keys[5] = {DIK_A, DIK_S, DIK_D, DIK_F, DIK_G};
    for (BYTE k : keys)
        tap(k);
    DIDEVICEOBJECTDATA records[8];
    DWORD count = 8;
    ASSERT_EQ(readKeys(records, count), DI_BUFFEROVERFLOW);
    EXPECT_TRUE(SUCCEEDED(DI_BUFFEROVERFLOW));
    EXPECT_EQ(records[0].dwOfs, DWORD(DIK_A));
    // A buffer of 8 holds 8 events; Wine's holds one fewer (one slot of its ring stays free).
#ifdef _WIN32
    ASSERT_EQ(count, 7u);
    EXPECT_EQ(records[6].dwOfs, DWORD(DIK_F));
    EXPECT_EQ(records[6].dwData, 0x80u);
#else
    ASSERT_EQ(count, 8u);
    EXPECT_EQ(records[7].dwOfs, DWORD(DIK_F));
    EXPECT_EQ(records[7].dwData, 0u);
#endif
    // The overflow is reported once; the lost events do not come later.
    tap(DIK_H);
    count = 8;
    ASSERT_EQ(readKeys(records, count), DI_OK);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(records[0].dwOfs, DWORD(DIK_H));
}

TEST_F(DirectInputTest, PartialReadsPeekAndFlush) {
    tap(DIK_1);
    tap(DIK_2);
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
    tap(DIK_3);
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
    button(Button::left, true);
    button(Button::right, true);
    button(Button::right, false);
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
    key(DIK_A, true);
    focus(false);
    tap(DIK_NEXT);
#ifdef _WIN32
    // Injected input holds the key down until it is released, whichever window is active.
    key(DIK_A, false);
#endif
    moveMouse(10, 10);
    // The loss is reported once with DIERR_INPUTLOST, as documented; Wine unacquires at once
    // and reports DIERR_NOTACQUIRED only. There another window of the program took the focus.
#ifdef _WIN32
    const HRESULT lost = DIERR_NOTACQUIRED;
    const HWND activeElsewhere = other;
#else
    const HRESULT lost = DIERR_INPUTLOST;
    const HWND activeElsewhere = nullptr;
#endif
    DIDEVICEOBJECTDATA records[8];
    DWORD count = 8;
    EXPECT_EQ(readKeys(records, count), lost);
    count = 8;
    EXPECT_EQ(readKeys(records, count), DIERR_NOTACQUIRED);
    DIMOUSESTATE2 state;
    EXPECT_EQ(mouse->GetDeviceState(sizeof(state), &state), lost);
    EXPECT_EQ(mouse->GetDeviceState(sizeof(state), &state), DIERR_NOTACQUIRED);
    EXPECT_EQ(keyboard->Acquire(), DIERR_OTHERAPPHASPRIO);
    pump();
    EXPECT_EQ(deactivations, 1);
    EXPECT_EQ(GetActiveWindow(), activeElsewhere);

    focus(true);
    pump();
    // Wine activates the window twice as it comes back to the front.
#ifdef _WIN32
    EXPECT_GE(activations, 2);
#else
    EXPECT_EQ(activations, 2);
#endif
    count = 8;
    ASSERT_EQ(readKeys(records, count), DI_OK);
    // Wine reports the key that was down at the focus loss as pressed once more.
#ifdef _WIN32
    EXPECT_LE(count, 1u);
    if (count == 1) {
        EXPECT_EQ(records[0].dwOfs, DWORD(DIK_A));
    }
#else
    EXPECT_EQ(count, 0u);
#endif
    ASSERT_EQ(mouse->GetDeviceState(sizeof(state), &state), DI_OK);
    EXPECT_EQ(state.lX, 0);
    // A key held when the window lost the focus does not stay down.
    BYTE keys[256];
    ASSERT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DI_OK);
    EXPECT_EQ(keys[DIK_A], 0);
    tap(DIK_RETURN);
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
              HRESULT(DIERR_NOTBUFFERED));
    EXPECT_EQ(mouse->SetDataFormat(&c_dfDIKeyboard), DIERR_ACQUIRED);
}

#ifndef _WIN32
// Both need input aimed at one window of the program, which only pushed events can be.
TEST_F(DirectInputTest, InputOfAnotherWindowIsNotTheDevices) {
    HWND other = CreateWindowExA(0, hidden->className.c_str(), "Other", WS_OVERLAPPEDWINDOW, 400, 0,
                                 100, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(other, nullptr);
    SDL_Event event = {};
    event.type = SDL_KEYDOWN;
    event.key.windowID = SDL_GetWindowID(sdlWindowOf(other));
    event.key.keysym.scancode = SDL_SCANCODE_A;
    SDL_PushEvent(&event);
    event.type = SDL_MOUSEMOTION;
    event.motion.windowID = event.key.windowID;
    event.motion.xrel = 9;
    SDL_PushEvent(&event);
    DestroyWindow(other);
    tap(DIK_S);
    DIDEVICEOBJECTDATA records[8];
    DWORD count = 8;
    ASSERT_EQ(readKeys(records, count), DI_OK);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(records[0].dwOfs, DWORD(DIK_S));
    DIMOUSESTATE2 state = {};
    ASSERT_EQ(mouse->GetDeviceState(sizeof(state), &state), DI_OK);
    EXPECT_EQ(state.lX, 0);
}

TEST_F(DirectInputTest, BufferedMouseRecordsEachChangeWithItsOffset) {
    ASSERT_EQ(mouse->Unacquire(), DI_OK);
    DIPROPDWORD property = {{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, 8};
    ASSERT_EQ(mouse->SetProperty(DIPROP_BUFFERSIZE, &property.diph), DI_OK);
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    moveMouse(3, 0); // no movement along y: no y record
    SDL_Event middle = {};
    middle.type = SDL_MOUSEBUTTONDOWN;
    middle.button.windowID = sdlId();
    middle.button.button = SDL_BUTTON_MIDDLE;
    SDL_PushEvent(&middle);
    SDL_PushEvent(&middle); // already down: no second record
    middle.type = SDL_MOUSEBUTTONUP;
    SDL_PushEvent(&middle);
    wheel(-1);
    DIDEVICEOBJECTDATA records[8];
    DWORD count = 8;
    ASSERT_EQ(mouse->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), records, &count, 0), DI_OK);
    ASSERT_EQ(count, 4u);
    EXPECT_EQ(records[0].dwOfs, DWORD(DIMOFS_X));
    EXPECT_EQ(records[0].dwData, 3u);
    EXPECT_EQ(records[1].dwOfs, DWORD(DIMOFS_BUTTON2));
    EXPECT_EQ(records[1].dwData, 0x80u);
    EXPECT_EQ(records[2].dwOfs, DWORD(DIMOFS_BUTTON2));
    EXPECT_EQ(records[2].dwData, 0u);
    EXPECT_EQ(records[3].dwOfs, DWORD(DIMOFS_Z));
    EXPECT_EQ(LONG(records[3].dwData), -120);
    // The buffered changes also add up in the immediate state.
    DIMOUSESTATE2 state = {};
    ASSERT_EQ(mouse->GetDeviceState(sizeof(state), &state), DI_OK);
    EXPECT_EQ(state.lX, 3);
    EXPECT_EQ(state.lZ, -120);
    EXPECT_EQ(state.rgbButtons[2], 0);
}
#endif

TEST(DirectInput, CreationChecksItsArguments) {
    HINSTANCE module = GetModuleHandleA(nullptr);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(DirectInput8Create(module, 0x0700, IID_IDirectInput8A, &object, nullptr),
              DIERR_BETADIRECTINPUTVERSION);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(DirectInput8Create(module, 0x0900, IID_IDirectInput8A, &object, nullptr),
              DIERR_OLDDIRECTINPUTVERSION);
    EXPECT_EQ(DirectInput8Create(module, 0x0800, IID_IDirectInputDevice8A, &object, nullptr),
              DIERR_NOINTERFACE);
    // Any object gives its IUnknown.
    ASSERT_EQ(DirectInput8Create(module, 0x0800, IID_IUnknown, &object, nullptr), DI_OK);
    EXPECT_EQ(static_cast<IUnknown*>(object)->Release(), 0u);
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
