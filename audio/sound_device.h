// sound_device.h: the sound device with its primary buffer and 3-D listener, and the master sounds
// loaded from WAV files.
#pragma once

#include "app/application_state.h"

// Creates soundDevice, primaryBuffer and listener in appState. On failure shows the failing
// call in a message box and returns E_FAIL.
HRESULT createSoundDevice();

// Loads "Meshes\" + fileName into a new master buffer in *slot; E_FAIL when the file is
// missing, malformed or too long a name, or the buffer cannot be made or filled. A buffer
// that cannot be filled is released again and *slot left null.
HRESULT loadSound(LPCSTR fileName, IDirectSoundBuffer** slot);
