// dinput_device.h: creation of the system keyboard and mouse devices, for the DirectInput
// object (dinput_object.cpp). Not part of any Windows API.
#pragma once

#include <dinput.h>

enum class InputDeviceKind { keyboard, mouse };

// A new device with one reference, or null when no more devices can be made.
IDirectInputDevice8A* createInputDevice(InputDeviceKind kind);
