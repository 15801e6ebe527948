// scene_setup.h: builds the scene's track and rolling-stock types once for the tests that
// need them. Without a graphics device their meshes stay unloaded, which the geometry and
// placement do not need.
#pragma once

#include "app/scene_objects.h"

inline void ensureSceneTypes() {
    if (track.segmentCount == 0) {
        buildTrack();
    }
    if (truckType.wheelbase == 0.0) {
        buildRollingStockTypes();
    }
}
