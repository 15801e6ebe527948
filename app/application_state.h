// application_state.h: the process-wide device handles and small shared values.
// One instance, `appState`, lives for the whole program; every interface pointer is null
// until created and set back to null when released (releaseAll in app/release_all.cpp).
#pragma once

#define DIRECTINPUT_VERSION 0x0800
#include <windows.h>
#include <d3d9.h>
#include <dinput.h>
#include <dsound.h>

struct TextOverlay;

struct ApplicationState {
    TextOverlay* overlay = nullptr;
    HWND mainWindow = nullptr;
    IDirect3D9* direct3D = nullptr;
    IDirect3DDevice9* graphicsDevice = nullptr;
    IDirectInput8A* directInput = nullptr;
    IDirectInputDevice8A* mouseDevice = nullptr;
    IDirectInputDevice8A* keyboardDevice = nullptr;
    IDirectSound8* soundDevice = nullptr;
    IDirectSoundBuffer* primaryBuffer = nullptr;
    IDirectSound3DListener8* listener = nullptr;
    IDirectSoundBuffer* clackSound = nullptr;
    IDirectSoundBuffer* runningSound = nullptr;
    bool passengerTrain = false;
    double framesPerSecond = 0.0;
    DWORD lastFpsTime = 0;
    INT frameCount = 0;
};

extern ApplicationState appState;
