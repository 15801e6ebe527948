// app_state.h: setting the program's shared state aside for a test of a set-up step that
// fails: the window and every device slot of appState emptied, as before the program made
// them; the copy it gives back restores them (appState = saved).
#pragma once

#include "app/application_state.h"

inline ApplicationState setAppStateAside() {
    const ApplicationState saved = appState;
    appState.mainWindow = nullptr;
    appState.directInput = nullptr;
    appState.mouseDevice = appState.keyboardDevice = nullptr;
    appState.soundDevice = nullptr;
    appState.primaryBuffer = nullptr;
    appState.listener = nullptr;
    return saved;
}
