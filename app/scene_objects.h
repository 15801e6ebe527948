// scene_objects.h: the program-lifetime scene objects (segment and rolling-stock types, track,
// train, camera and texture cache), constructed empty before the program starts.
#pragma once

#include "graphics/texture_cache.h"
#include "input/orbit_camera.h"
#include "sim/rolling_stock.h"
#include "sim/track.h"
#include "sim/train.h"

// Gives the bogie type and the three car types their values and loads their meshes, in
// this order: bogie, goods wagon, tank wagon, passenger coach.
void buildRollingStockTypes();
// Releases the meshes of the rolling-stock and segment types, in the reverse of their load
// order, then the textures of the cache, so that nothing holds the graphics device any more.
void releaseSceneModels();
