// sound_emitter.h: a positional wheel clack, one per axle: a duplicate of the clack master that
// plays at the axle's point each time the axle passes a rail joint.
#pragma once

#include <dsound.h>

#include "sim/track.h"

// World units to sound units (1/2048: a sound unit is 16 m).
constexpr double soundUnitsPerWorldUnit = 0.00048828125;

struct SoundEmitter {
    IDirectSoundBuffer* buffer = nullptr;      // owned; null when the master is absent
    IDirectSound3DBuffer8* buffer3D = nullptr; // owned
    TrackPosition trackPosition;               // where the axle stood at its last move

    // Moves the axle to position; with clacks set, a passed rail joint plays the clack.
    void moveTo(TrackPosition position, bool clacks);
    // Plays the clack from its start at the axle's point.
    void play();
};
