// scene_setup.h: builds the scene's track and rolling-stock types once for the tests and
// benchmarks that need them, and sets out the freight train. Without a graphics device their
// meshes stay unloaded, which the geometry and placement do not need.
#pragma once

#include "app/application_state.h"
#include "app/scene_objects.h"

inline void ensureSceneTypes() {
    if (track.segmentCount == 0) {
        buildTrack();
    }
    if (truckType.wheelbase == 0.0) {
        buildRollingStockTypes();
    }
}

// The freight train in place of any other, set on the track at `position` (forwards).
inline void placeFreightTrain(double position) {
    ensureSceneTypes();
    appState.passengerTrain = false;
    train.clear();
    buildConsist();
    train.place(position, false);
}

// The freight train at 500 running at its top speed, its clock started at `now`.
inline void runFreightTrainAtTopSpeed(DWORD now) {
    placeFreightTrain(500.0);
    train.speed = trainMaximumSpeed;
    train.targetSpeed = trainMaximumSpeed;
    train.resetClockAt(now);
}
