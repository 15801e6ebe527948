// graphics_device.h: creation of the Direct3D device on the main window with the fixed scene
// state (culling, depth test, trilinear filtering), and the scene's one light and material.
// Uses appState (app/application_state.h) for the window and the device handles.
#pragma once

#include <windows.h>

// Creates appState.direct3D and appState.graphicsDevice on appState.mainWindow with the
// build's vertex processing and presentation interval, then sets the fixed render and sampler
// states. S_OK, or E_FAIL after a message box naming the failing call.
HRESULT createGraphicsDevice();

// Sets and enables the scene's directional light (index 0), turns lighting on and sets the
// dark grey ambient level.
void setUpLight();

// Sets the scene's one material (white diffuse and ambient); returns SetMaterial's result.
HRESULT setUpMaterial();
