// input_devices.cpp: keyboard and mouse set-up and the per-frame key and mouse handling. Keys:
// arrows select the car, Page Up/Down change the target speed in 10 km/h steps (0 to 100 km/h),
// Enter switches the train type, Escape ends the program. The mouse steers the orbit camera. Error
// texts are in Windows-1251 ("\xCE\xF8\xE8\xE1\xEA\xE0" = "Error").
#include "input/input_devices.h"

#include "graphics/hud.h"
#include "app/scene_objects.h"

namespace {

constexpr DWORD keyboardBufferSize = 8; // events kept by the keyboard between reads
constexpr DWORD foregroundExclusive = DISCL_EXCLUSIVE | DISCL_FOREGROUND;

constexpr double speedStep = 355.5555725097656;           // 10 km/h
constexpr double highestTargetSpeed = 3555.5557250976562; // 100 km/h
constexpr double lowestTargetSpeed = 0.0;

HRESULT reportFailure(const char* text) {
    MessageBoxA(appState.mainWindow, text, nullptr, MB_OK);
    return E_FAIL;
}

void changeTargetSpeed(double change) {
    double speed = train.targetSpeed + change;
    if (speed > highestTargetSpeed)
        speed = highestTargetSpeed;
    else if (speed < lowestTargetSpeed)
        speed = lowestTargetSpeed;
    train.targetSpeed = speed;
    showTargetSpeed(speed * kilometresPerHourPerUnit);
}

// Acts on one key press; false for Escape.
bool handleKeyPress(DWORD key) {
    switch (key) {
    case DIK_ESCAPE:
        return false;
    case DIK_RIGHT:
        camera.selectNextCar();
        break;
    case DIK_LEFT:
        camera.selectPreviousCar();
        break;
    case DIK_PRIOR:
        changeTargetSpeed(speedStep);
        break;
    case DIK_NEXT:
        changeTargetSpeed(-speedStep);
        break;
    case DIK_RETURN:
        // The passenger train has fewer cars: select the front car before rebuilding.
        camera.selectedCar = 0;
        toggleTrainType();
        break;
    }
    return true;
}

} // namespace

HRESULT initInput(HINSTANCE module) {
    if (FAILED(DirectInput8Create(module, DIRECTINPUT_VERSION, IID_IDirectInput8A,
                                  reinterpret_cast<void**>(&appState.directInput), nullptr)))
        return reportFailure("\xCE\xF8\xE8\xE1\xEA\xE0 DirectInput8Create");

    if (FAILED(appState.directInput->CreateDevice(GUID_SysMouse, &appState.mouseDevice, nullptr)))
        return reportFailure("\xCE\xF8\xE8\xE1\xEA\xE0 CreateDevice (DirectInput Mouse)");
    if (FAILED(appState.mouseDevice->SetDataFormat(&c_dfDIMouse2)))
        return E_FAIL;
    if (FAILED(appState.mouseDevice->SetCooperativeLevel(appState.mainWindow, foregroundExclusive)))
        return E_FAIL;

    if (FAILED(appState.directInput->CreateDevice(GUID_SysKeyboard, &appState.keyboardDevice,
                                                  nullptr)))
        return reportFailure("\xCE\xF8\xE8\xE1\xEA\xE0 CreateDevice (DirectInput Keyboard)");
    if (FAILED(appState.keyboardDevice->SetDataFormat(&c_dfDIKeyboard)))
        return E_FAIL;
    if (FAILED(
            appState.keyboardDevice->SetCooperativeLevel(appState.mainWindow, foregroundExclusive)))
        return E_FAIL;

    DIPROPDWORD bufferSize;
    bufferSize.diph.dwSize = sizeof(DIPROPDWORD);
    bufferSize.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    bufferSize.diph.dwObj = 0;
    bufferSize.diph.dwHow = DIPH_DEVICE;
    bufferSize.dwData = keyboardBufferSize;
    if (FAILED(appState.keyboardDevice->SetProperty(DIPROP_BUFFERSIZE, &bufferSize.diph)))
        return reportFailure("\xCE\xF8\xE8\xE1\xEA\xE0 SetProperty DIPROP_BUFFERSIZE");
    return S_OK;
}

bool processInput() {
    DIDEVICEOBJECTDATA records[keyboardBufferSize];
    DWORD delivered = keyboardBufferSize;
    HRESULT result =
        appState.keyboardDevice->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), records, &delivered, 0);
    // Only a clean read is handled: an overflow or a lost device drops this frame's keys.
    if (result == DI_OK) {
        if (delivered > keyboardBufferSize)
            delivered = keyboardBufferSize;
        for (DWORD i = 0; i < delivered; ++i) {
            if (records[i].dwData != 0 && !handleKeyPress(records[i].dwOfs))
                return false;
        }
    }

    if (carNumberItem)
        carNumberItem->formatValue("%i", camera.selectedCar + 1);

    DIMOUSESTATE2 mouse;
    if (SUCCEEDED(appState.mouseDevice->GetDeviceState(sizeof(DIMOUSESTATE2), &mouse)))
        camera.applyMouse(mouse.lX, mouse.lY, mouse.lZ);
    return true;
}
