// window_logic_test.cpp: the window, message, timer and input functions on a scripted window
// system (support/scripted_window_system.h), without a display: how the window system's events
// become messages, activations and DirectInput records, and what the functions ask of it.
#include <dinput.h>
#include <mmsystem.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "support/scripted_window_system.h"
#include "support/test_input.h"

namespace {

using windowsystem::Event;
using windowsystem::EventKind;

IDirectInputDevice8A* keyboard = nullptr;
IDirectInputDevice8A* mouse = nullptr;
std::vector<WPARAM> activations; // wParam of every WM_ACTIVATE

LRESULT CALLBACK acquiringProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ACTIVATE) {
        activations.push_back(wParam);
        if (wParam != WA_INACTIVE) {
            mouse->Acquire();
            keyboard->Acquire();
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The program's set-up: a window, an exclusive foreground mouse and keyboard, a keyboard
// buffer of 8 events, and the window shown.
class WindowLogicTest : public testing::Test {
protected:
    HWND window = nullptr;
    IDirectInput8A* directInput = nullptr;

    void SetUp() override {
        scripted::reset();
        activations.clear();
        WNDCLASSEXA windowClass = {};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = acquiringProc;
        windowClass.lpszClassName = "WindowLogicTest";
        ASSERT_NE(RegisterClassExA(&windowClass), 0);
        window = CreateWindowExA(0, "WindowLogicTest", "Logic", WS_OVERLAPPEDWINDOW, 50, 50, 1024,
                                 768, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
        createTestInput(window, directInput, mouse, keyboard);
        if (HasFatalFailure())
            return;
        ShowWindow(window, SW_SHOWDEFAULT);
    }

    void TearDown() override {
        releaseTestInput(directInput, mouse, keyboard);
        DestroyWindow(window);
        drain();
        UnregisterClassA("WindowLogicTest", nullptr);
    }

    windowsystem::NativeWindow native() const { return windowsystem::nativeWindowOf(window); }

    void key(int code, bool down, bool repeat = false) const {
        Event event;
        event.kind = down ? EventKind::keyDown : EventKind::keyUp;
        event.window = native();
        event.key = code;
        event.repeat = repeat;
        scripted::send(event);
    }

    void focus(bool gained) const {
        Event event;
        event.kind = gained ? EventKind::focusGained : EventKind::focusLost;
        event.window = native();
        scripted::send(event);
    }

    static void drain() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }

    HRESULT readKeys(DIDEVICEOBJECTDATA* records, DWORD& count) const {
        return keyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), records, &count, 0);
    }
};

TEST_F(WindowLogicTest, TheWindowIsMadeOfTheClientSizeAndShownWithTheFocusAskedFor) {
    EXPECT_EQ(scripted::state().windowsLive, 1);
    int width = 0;
    int height = 0;
    windowsystem::clientSize(native(), width, height);
    EXPECT_EQ(width, 1008);
    EXPECT_EQ(height, 729);
    int x = 0;
    int y = 0;
    windowsystem::clientPosition(native(), x, y);
    EXPECT_EQ(x, 58);
    EXPECT_EQ(y, 81);
    EXPECT_EQ(scripted::state().lastRaised, native());
    ASSERT_EQ(activations, (std::vector<WPARAM>{WA_ACTIVE}));
    // The exclusive mouse holds the pointer while acquired.
    EXPECT_TRUE(scripted::state().relativeMouse);
    DestroyWindow(window);
    EXPECT_EQ(scripted::state().windowsLive, 0);
}

TEST_F(WindowLogicTest, KeysReachTheBufferInOrderWithTheTimersStamps) {
    // The clock past 2^32 milliseconds: the timer wraps as the Windows count does.
    scripted::state().clock = (uint64_t(1) << 32) + 1500;
    EXPECT_EQ(timeGetTime(), 1500u);
    key(DIK_PRIOR, true);
    key(DIK_PRIOR, true, true); // the system's repeat is no event of the keyboard
    scripted::state().clock += 16;
    key(DIK_PRIOR, false);
    key(DIK_ESCAPE, true);
    DIDEVICEOBJECTDATA records[8] = {};
    DWORD count = 8;
    ASSERT_EQ(readKeys(records, count), DI_OK);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(records[0].dwOfs, DWORD(DIK_PRIOR));
    EXPECT_EQ(records[0].dwData, 0x80u);
    EXPECT_EQ(records[0].dwTimeStamp, 1500u);
    EXPECT_EQ(records[1].dwOfs, DWORD(DIK_PRIOR));
    EXPECT_EQ(records[1].dwData, 0u);
    EXPECT_EQ(records[1].dwTimeStamp, 1516u);
    EXPECT_EQ(records[2].dwOfs, DWORD(DIK_ESCAPE));
    EXPECT_LT(records[1].dwSequence, records[2].dwSequence);
}

TEST_F(WindowLogicTest, TheNinthEventOverflowsTheBufferOfEight) {
    for (int i = 0; i < 4; ++i) {
        key(DIK_A + i, true);
        key(DIK_A + i, false);
    }
    DIDEVICEOBJECTDATA records[8] = {};
    DWORD count = 8;
    ASSERT_EQ(readKeys(records, count), DI_OK);
    EXPECT_EQ(count, 8u);
    for (int i = 0; i < 5; ++i) {
        key(DIK_A + i, true);
        key(DIK_A + i, false);
    }
    count = 8;
    ASSERT_EQ(readKeys(records, count), DI_BUFFEROVERFLOW);
    ASSERT_EQ(count, 8u);
    EXPECT_EQ(records[7].dwOfs, DWORD(DIK_A + 3));
    EXPECT_EQ(records[7].dwData, 0u);
}

TEST_F(WindowLogicTest, LosingTheFocusReleasesHeldKeysUntilTheNextActivation) {
    key(DIK_LEFT, true);
    BYTE keys[256];
    ASSERT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DI_OK);
    EXPECT_EQ(keys[DIK_LEFT], 0x80);

    focus(false);
    // The devices are taken away at once; the procedure learns it from the next peek.
    EXPECT_EQ(GetActiveWindow(), nullptr);
    EXPECT_FALSE(scripted::state().relativeMouse);
    EXPECT_EQ(activations.size(), 1u);
    key(DIK_RIGHT, true);
    EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DIERR_INPUTLOST);
    drain();
    EXPECT_EQ(activations, (std::vector<WPARAM>{WA_ACTIVE, WA_INACTIVE}));

    // Back: a key held down meanwhile shows as held, without a record of its press.
    scripted::state().heldKeys[DIK_SPACE] = true;
    scripted::state().heldButtons = 1u << 2;
    focus(true);
    drain();
    EXPECT_EQ(activations, (std::vector<WPARAM>{WA_ACTIVE, WA_INACTIVE, WA_ACTIVE}));
    ASSERT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DI_OK);
    EXPECT_EQ(keys[DIK_LEFT], 0);
    EXPECT_EQ(keys[DIK_RIGHT], 0);
    EXPECT_EQ(keys[DIK_SPACE], 0x80);
    DIDEVICEOBJECTDATA records[8];
    DWORD count = 8;
    ASSERT_EQ(readKeys(records, count), DI_OK);
    EXPECT_EQ(count, 0u);
    DIMOUSESTATE2 state = {};
    ASSERT_EQ(mouse->GetDeviceState(sizeof(state), &state), DI_OK);
    EXPECT_EQ(state.rgbButtons[2], 0x80);
    EXPECT_EQ(state.rgbButtons[0], 0);
    EXPECT_TRUE(scripted::state().relativeMouse);
}

TEST_F(WindowLogicTest, MouseInputAddsUpUntilRead) {
    Event event;
    event.window = native();
    event.kind = EventKind::mouseMotion;
    event.dx = 4;
    event.dy = -2;
    scripted::send(event);
    scripted::send(event);
    event.kind = EventKind::mouseWheel;
    event.notches = -1;
    scripted::send(event);
    event.kind = EventKind::mouseButtonDown;
    event.button = 1;
    scripted::send(event);
    // Input of no window of ours (window 0) is the device's too, as the hardware's is.
    event.kind = EventKind::mouseMotion;
    event.window = 0;
    event.dx = 1;
    event.dy = 0;
    scripted::send(event);
    DIMOUSESTATE2 state = {};
    ASSERT_EQ(mouse->GetDeviceState(sizeof(state), &state), DI_OK);
    EXPECT_EQ(state.lX, 9);
    EXPECT_EQ(state.lY, -4);
    EXPECT_EQ(state.lZ, -120);
    EXPECT_EQ(state.rgbButtons[1], 0x80);
}

TEST_F(WindowLogicTest, MessageBoxIsOwnedByTheVisibleWindowOnly) {
    setenv("VARNEL_UNATTENDED", "0", 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(window, "shown", nullptr, MB_OK | MB_ICONEXCLAMATION), IDOK);
    EXPECT_EQ(scripted::state().messageBoxOwner, native());
    EXPECT_EQ(scripted::state().messageBoxIcon, windowsystem::MessageIcon::warning);
    ShowWindow(window, SW_HIDE);
    EXPECT_EQ(MessageBoxA(window, "hidden", nullptr, MB_OK), IDOK);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(scripted::state().messageBoxOwner, 0u);
    EXPECT_EQ(scripted::state().messageBoxes, 2);
    setenv("VARNEL_UNATTENDED", "1", 1);
}

TEST_F(WindowLogicTest, CloseRequestsComeFromThePeekOnceEach) {
    Event close;
    close.kind = EventKind::closeRequested;
    close.window = native();
    scripted::send(close);
    scripted::send(close);
    MSG msg = {};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_CLOSE));
    EXPECT_EQ(msg.hwnd, window);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));

    // The session's quit request closes the visible windows only.
    HWND hidden = CreateWindowExA(0, "WindowLogicTest", "Hidden", 0, 0, 0, 100, 100, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(hidden, nullptr);
    Event quit;
    quit.kind = EventKind::quitRequested;
    scripted::send(quit);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, UINT(WM_CLOSE));
    EXPECT_EQ(msg.hwnd, window);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    DestroyWindow(hidden);
}

TEST(WindowLogic, NoDisplayNoWindow) {
    scripted::reset();
    scripted::state().displayPresent = false;
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "NoDisplay";
    ASSERT_NE(RegisterClassExA(&windowClass), 0);
    EXPECT_EQ(
        CreateWindowExA(0, "NoDisplay", "", 0, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr),
        nullptr);
    EXPECT_EQ(scripted::state().windowsCreated, 0);
    EXPECT_TRUE(UnregisterClassA("NoDisplay", nullptr));
}

TEST(WindowLogic, MessageBoxShowsUtf8Text) {
    scripted::reset();
    unsetenv("VARNEL_UNATTENDED");
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(nullptr, "\xCE\xF8\xE8\xE1\xEA\xE0", nullptr, MB_OK | MB_ICONHAND), IDOK);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(scripted::state().messageBoxes, 1);
    EXPECT_EQ(scripted::state().messageBoxText, "\xD0\x9E\xD1\x88\xD0\xB8\xD0\xB1\xD0\xBA\xD0\xB0");
    EXPECT_EQ(scripted::state().messageBoxTitle, "Error");
    EXPECT_EQ(scripted::state().messageBoxIcon, windowsystem::MessageIcon::error);
    EXPECT_EQ(scripted::state().messageBoxOwner, 0u);
    // A box that cannot be shown answers 0; one not of the single OK button is refused.
    scripted::state().refuseMessageBox = true;
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(nullptr, "x", "y", MB_OK), 0);
    EXPECT_EQ(MessageBoxA(nullptr, "x", "y", 0x1), 0); // OK and Cancel
    testing::internal::GetCapturedStderr();
    // Unattended, nothing is shown.
    scripted::state().refuseMessageBox = false;
    setenv("VARNEL_UNATTENDED", "1", 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(nullptr, "x", "y", MB_OK), IDOK);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(scripted::state().messageBoxes, 1);
}

} // namespace
