// scene_load.cpp: the scene load: track, master sounds, rolling-stock types, in that order.
// A missing file leaves that model undrawn or that sound silent; the load goes on.
#include "app/scene_load.h"

#include "app/application_state.h"
#include "app/scene_objects.h"
#include "audio/sound_device.h"
#include "sim/track.h"

void loadScene() {
    buildTrack();
    loadSound("Stuk.wav", &appState.clackSound);
    loadSound("TrainBackground.wav", &appState.runningSound);
    buildRollingStockTypes();
}
