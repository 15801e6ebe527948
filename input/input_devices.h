// input_devices.h: the DirectInput keyboard and mouse and the program's key bindings. initInput
// creates the devices into appState (acquiring is left to window activation); processInput turns
// one frame's key presses and mouse movement into actions.
#pragma once

#include "app/application_state.h"

// Creates the DirectInput object, the system mouse and the buffered system keyboard for
// appState.mainWindow. 0 on success; E_FAIL on the first failing step, after a message box
// for the steps that report.
HRESULT initInput(HINSTANCE module);

// Handles the key presses buffered since the last frame and the mouse movement; writes the
// car-number readout. False when Escape was pressed and the program should end.
bool processInput();
