// bogie_sound.h: the laws behind a bogie's running noise: its volume for a train speed and
// the pseudo-random start offset of its loop. The Bogie's sound operations themselves are
// members of Bogie (sim/rolling_stock.h), defined in audio/bogie_sound.cpp.
#pragma once

#include <windows.h>

// Volume in hundredths of a decibel for a speed in world units per second. Below about
// 0.28 units/s the value lies under DSBVOLUME_MIN and the sound layer refuses it.
LONG runningVolume(double speed);

// Start offset in a loop of bufferBytes for a draw r in 0..32767: even, and below the end.
DWORD runningStartOffset(int r, DWORD bufferBytes);
