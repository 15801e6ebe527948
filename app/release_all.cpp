// release_all.cpp: releases what the program created, from the train down to the devices.
#include "app/release_all.h"

#include "app/application_state.h"
#include "app/scene_objects.h"
#include "graphics/hud.h"

namespace {

template <typename Interface> void releaseInterface(Interface*& object) {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

} // namespace

void releaseAll() {
    train.clear();
    releaseHud();
    // The meshes and textures hold the graphics device; released here, the device's own
    // release destroys it, and with it any drawing work it still runs, before the process ends.
    releaseSceneModels();
    releaseInterface(appState.graphicsDevice);
    releaseInterface(appState.direct3D);
    releaseInterface(appState.clackSound);
    releaseInterface(appState.runningSound);
    releaseInterface(appState.listener);
    releaseInterface(appState.primaryBuffer);
    releaseInterface(appState.soundDevice);
    releaseInterface(appState.mouseDevice);
    releaseInterface(appState.keyboardDevice);
    releaseInterface(appState.directInput);
}
