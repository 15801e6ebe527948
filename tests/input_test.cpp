// input_test.cpp: keyboard and mouse through the DirectInput devices of initInput, driven by
// key events pushed into the window's event queue, and the key bindings' effects on the
// train, the camera and the overlay readouts.
#include "app/scene_objects.h"
#include "graphics/hud.h"
#include "input/input_devices.h"
#include "platform/linux/sdl_window.h"

#include <gtest/gtest.h>

#include "scene_setup.h"

namespace {

constexpr double startTargetSpeed = 2133.3334350585938; // 60 km/h

LRESULT CALLBACK activatingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ACTIVATE) {
        if (wParam != 0 && appState.mouseDevice) {
            appState.mouseDevice->Acquire();
            appState.keyboardDevice->Acquire();
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void releaseInterface(auto*& object) {
    if (object)
        object->Release();
    object = nullptr;
}

class InputTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        WNDCLASSEXA windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = activatingWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "InputTest";
        RegisterClassExA(&windowClass);
        appState.mainWindow =
            CreateWindowExA(0, "InputTest", "Input", WS_OVERLAPPEDWINDOW, 50, 50, 640, 480, nullptr,
                            nullptr, windowClass.hInstance, nullptr);
        initResult = initInput(windowClass.hInstance);
        ShowWindow(appState.mainWindow, SW_SHOWDEFAULT);
        ensureSceneTypes();
    }
    static void TearDownTestSuite() {
        train.clear();
        releaseInterface(appState.mouseDevice);
        releaseInterface(appState.keyboardDevice);
        releaseInterface(appState.directInput);
        DestroyWindow(appState.mainWindow);
        appState.mainWindow = nullptr;
        UnregisterClassA("InputTest", GetModuleHandleA(nullptr));
    }

    void SetUp() override {
        ASSERT_EQ(initResult, S_OK);
        buildHud();
        train.clear();
        appState.passengerTrain = false;
        buildConsist();
        train.place(trainStartPosition, false);
        train.targetSpeed = startTargetSpeed;
        camera.followSelectedCar = true;
        camera.selectedCar = 0;
        camera.yaw = 0.7853981852531433;
        camera.pitch = 0.39269909262657166;
        camera.distance = 3000.0;
        appState.keyboardDevice->Acquire();
        appState.mouseDevice->Acquire();
        flushInput();
    }
    void TearDown() override { releaseHud(); }

    static void pushKey(SDL_Scancode code, bool down) {
        SDL_Event event = {};
        event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        event.key.timestamp = SDL_GetTicks();
        event.key.windowID = SDL_GetWindowID(sdlWindowOf(appState.mainWindow));
        event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        event.key.keysym.scancode = code;
        event.key.keysym.sym = SDL_GetKeyFromScancode(code);
        SDL_PushEvent(&event);
    }
    // A press and a release: two buffered records.
    static void pressKey(SDL_Scancode code, int times = 1) {
        for (int i = 0; i < times; ++i) {
            pushKey(code, true);
            pushKey(code, false);
        }
    }
    // One frame of input for each key press, as when the keys come in separate frames.
    static bool pressEach(SDL_Scancode code, int times) {
        bool running = true;
        for (int i = 0; i < times && running; ++i) {
            pressKey(code);
            running = processInput();
        }
        return running;
    }
    static void pushMouse(Sint32 dx, Sint32 dy, Sint32 notches) {
        Uint32 windowId = SDL_GetWindowID(sdlWindowOf(appState.mainWindow));
        SDL_Event motion = {};
        motion.type = SDL_MOUSEMOTION;
        motion.motion.windowID = windowId;
        motion.motion.xrel = dx;
        motion.motion.yrel = dy;
        SDL_PushEvent(&motion);
        SDL_Event wheel = {};
        wheel.type = SDL_MOUSEWHEEL;
        wheel.wheel.windowID = windowId;
        wheel.wheel.y = notches;
        wheel.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
        SDL_PushEvent(&wheel);
    }
    static void flushInput() {
        for (int i = 0; i < 4; ++i)
            processInput();
    }

    static inline HRESULT initResult = E_FAIL;
};

TEST_F(InputTest, DevicesAreCreatedForTheWindow) {
    EXPECT_NE(appState.directInput, nullptr);
    EXPECT_NE(appState.mouseDevice, nullptr);
    EXPECT_NE(appState.keyboardDevice, nullptr);

    DIPROPDWORD bufferSize = {};
    bufferSize.diph.dwSize = sizeof bufferSize;
    bufferSize.diph.dwHeaderSize = sizeof bufferSize.diph;
    bufferSize.diph.dwHow = DIPH_DEVICE;
    ASSERT_EQ(appState.keyboardDevice->GetProperty(DIPROP_BUFFERSIZE, &bufferSize.diph), DI_OK);
    EXPECT_EQ(bufferSize.dwData, 8u);
}

TEST_F(InputTest, PageUpAndPageDownStepTheTargetSpeedWithinItsRange) {
    EXPECT_TRUE(pressEach(SDL_SCANCODE_PAGEUP, 4));
    EXPECT_EQ(train.targetSpeed, 3555.5557250976562);
    EXPECT_STREQ(targetSpeedItem->value, "100.0");
    EXPECT_TRUE(pressEach(SDL_SCANCODE_PAGEUP, 1));
    EXPECT_EQ(train.targetSpeed, 3555.5557250976562);

    train.targetSpeed = startTargetSpeed;
    EXPECT_TRUE(pressEach(SDL_SCANCODE_PAGEDOWN, 6));
    EXPECT_EQ(train.targetSpeed, 0.0);
    EXPECT_STREQ(targetSpeedItem->value, "0.0");
    EXPECT_TRUE(pressEach(SDL_SCANCODE_PAGEDOWN, 1));
    EXPECT_EQ(train.targetSpeed, 0.0);
    EXPECT_STREQ(targetSpeedItem->value, "0.0");
}

TEST_F(InputTest, PressesBetweenFramesAreHandledInOrderUpToTheBuffer) {
    // Four presses and releases fill the eight records exactly.
    pressKey(SDL_SCANCODE_PAGEUP, 3);
    pressKey(SDL_SCANCODE_PAGEDOWN);
    EXPECT_TRUE(processInput());
    EXPECT_EQ(train.targetSpeed, startTargetSpeed + 2 * 355.5555725097656);
    EXPECT_STREQ(targetSpeedItem->value, "80.0");

    // Ten records overflow the buffer: that frame's records are dropped.
    pressKey(SDL_SCANCODE_PAGEUP, 5);
    EXPECT_TRUE(processInput());
    EXPECT_EQ(train.targetSpeed, startTargetSpeed + 2 * 355.5555725097656);
    EXPECT_STREQ(targetSpeedItem->value, "80.0");
}

TEST_F(InputTest, EscapeEndsAfterTheKeysBeforeIt) {
    camera.selectedCar = 3;
    carNumberItem->setValue("x");
    pressKey(SDL_SCANCODE_PAGEUP);
    pressKey(SDL_SCANCODE_ESCAPE);
    pressKey(SDL_SCANCODE_RIGHT);
    EXPECT_FALSE(processInput());
    EXPECT_EQ(train.targetSpeed, startTargetSpeed + 355.5555725097656);
    EXPECT_EQ(camera.selectedCar, 3);        // the Right after Escape is not handled
    EXPECT_STREQ(carNumberItem->value, "x"); // nor is the readout written
}

TEST_F(InputTest, ArrowsSelectTheCarWithoutWrapping) {
    EXPECT_TRUE(pressEach(SDL_SCANCODE_LEFT, 1));
    EXPECT_EQ(camera.selectedCar, 0);
    EXPECT_STREQ(carNumberItem->value, "1");

    EXPECT_TRUE(pressEach(SDL_SCANCODE_RIGHT, 2));
    EXPECT_EQ(camera.selectedCar, 2);
    EXPECT_STREQ(carNumberItem->value, "3");

    camera.selectedCar = train.carCount - 1;
    EXPECT_TRUE(pressEach(SDL_SCANCODE_RIGHT, 1));
    EXPECT_EQ(camera.selectedCar, 9);
    EXPECT_STREQ(carNumberItem->value, "10");
}

TEST_F(InputTest, EnterOnTheLastFreightCarShowsThePassengerTrain) {
    EXPECT_STREQ(trainTypeItem->value, "Freight train");
    camera.selectedCar = 9;
    EXPECT_TRUE(pressEach(SDL_SCANCODE_RETURN, 1));
    EXPECT_TRUE(appState.passengerTrain);
    EXPECT_EQ(train.carCount, 4);
    EXPECT_EQ(camera.selectedCar, 0);
    EXPECT_STREQ(carNumberItem->value, "1");
    EXPECT_STREQ(trainTypeItem->value, "Passenger train");

    EXPECT_TRUE(pressEach(SDL_SCANCODE_RETURN, 1));
    EXPECT_FALSE(appState.passengerTrain);
    EXPECT_EQ(train.carCount, 10);
    EXPECT_STREQ(trainTypeItem->value, "Freight train");
}

TEST_F(InputTest, UnboundKeysAndKeypadKeysDoNothing) {
    pressKey(SDL_SCANCODE_A);
    pressKey(SDL_SCANCODE_KP_9); // the keypad's Page Up
    pressKey(SDL_SCANCODE_KP_ENTER);
    EXPECT_TRUE(processInput());
    EXPECT_EQ(train.targetSpeed, startTargetSpeed);
    EXPECT_FALSE(appState.passengerTrain);
}

TEST_F(InputTest, MouseTurnsTiltsAndZoomsTheCamera) {
    pushMouse(100, 50, 1);
    EXPECT_TRUE(processInput());
    EXPECT_NEAR(camera.yaw, 0.7853981852531433 + 100 * 0.0031415927223861217, 1e-12);
    EXPECT_NEAR(camera.pitch, 0.39269909262657166 + 50 * 0.0031415927223861217, 1e-12);
    EXPECT_EQ(camera.distance, 3000.0 - 240.0);

    // No movement since the last read leaves the camera where it is.
    EXPECT_TRUE(processInput());
    EXPECT_EQ(camera.distance, 2760.0);
}

TEST_F(InputTest, UnacquiredDevicesHandleNoInputButFramesGoOn) {
    appState.keyboardDevice->Unacquire();
    appState.mouseDevice->Unacquire();
    camera.selectedCar = 4;
    pressKey(SDL_SCANCODE_ESCAPE);
    pushMouse(100, 50, 1);
    EXPECT_TRUE(processInput());
    EXPECT_STREQ(carNumberItem->value, "5");
    EXPECT_EQ(camera.yaw, 0.7853981852531433);
    EXPECT_EQ(camera.distance, 3000.0);

    appState.keyboardDevice->Acquire();
    appState.mouseDevice->Acquire();
    EXPECT_TRUE(pressEach(SDL_SCANCODE_PAGEUP, 1));
    EXPECT_EQ(train.targetSpeed, startTargetSpeed + 355.5555725097656);
}

// The cooperative level needs a window: that step fails silently, and what was already
// created is left for the shell, which ends the program.
TEST(InputSetUpTest, WithoutAWindowFailsWithoutAMessage) {
    ApplicationState saved = appState;
    appState.mainWindow = nullptr;
    appState.directInput = nullptr;
    appState.mouseDevice = nullptr;
    appState.keyboardDevice = nullptr;

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(initInput(GetModuleHandleA(nullptr)), E_FAIL);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_NE(appState.directInput, nullptr);
    EXPECT_NE(appState.mouseDevice, nullptr);
    EXPECT_EQ(appState.keyboardDevice, nullptr);

    releaseInterface(appState.mouseDevice);
    releaseInterface(appState.directInput);
    appState = saved;
}

} // namespace
