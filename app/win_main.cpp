// win_main.cpp: the program's entry point: start-up in a fixed order, the message and frame
// loop, and the end. Each device set-up shows its own message on failure; the program then
// ends at once with exit code 0, before its window is ever shown.
#include <cstdlib>

#include "app/application_state.h"
#include "app/main_window.h"
#include "app/render_frame.h"
#include "app/scene_load.h"
#include "app/scene_objects.h"
#include "audio/sound_device.h"
#include "graphics/graphics_device.h"
#include "graphics/hud.h"
#include "input/input_devices.h"

namespace {

// Runs until WM_QUIT: each turn handles one message, or else one frame.
void runMessageLoop() {
    MSG message = {};
    while (message.message != WM_QUIT) {
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        } else if (processInput()) {
            renderFrame();
        } else {
            // Escape: release everything and post the quit message; the window stays.
            SendMessageA(appState.mainWindow, WM_DESTROY, 0, 0);
        }
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    HINSTANCE module = GetModuleHandleA(nullptr);
    createMainWindow(module);
    if (FAILED(createGraphicsDevice()))
        return 0;
    if (FAILED(initInput(instance)))
        return 0;
    if (FAILED(createSoundDevice()))
        return 0;
    ShowWindow(appState.mainWindow, SW_SHOWDEFAULT);
    UpdateWindow(appState.mainWindow);

    buildHud();
    srand(1);
    loadScene();
    buildConsist();
    train.place(trainStartPosition, false);
    train.resetClock();
    train.speed = trainStartSpeed;
    train.targetSpeed = trainStartTargetSpeed;
    showTargetSpeed(60.0);
    camera.pitch = 0.39269909262657166;
    camera.followSelectedCar = true;
    camera.distance = 3000.0;
    setUpLight();
    setUpMaterial();
    appState.framesPerSecond = 0.0;
    appState.frameCount = 0;
    appState.lastFpsTime = timeGetTime();

    runMessageLoop();
    UnregisterClassA(mainWindowClassName, module);
    return 0;
}
