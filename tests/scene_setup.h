// scene_setup.h: builds the scene's track and rolling-stock types once for the tests that
// need them. Without a graphics device their meshes stay unloaded, which the geometry and
// placement do not need.
#pragma once

#include "app/scene_objects.h"
#include "graphics/texture_cache.h"

inline void ensureSceneTypes() {
    if (track.segmentCount == 0) {
        buildTrack();
    }
    if (truckType.wheelbase == 0.0) {
        buildRollingStockTypes();
    }
}

// Empties the scene's texture cache, releasing its textures: a test that loads textures with a
// device of its own leaves none behind for later tests, nor any entry unfreed.
inline void emptyTextureCache() {
    while (textureCache.count > 0) {
        --textureCache.count;
        textureCache.entries[textureCache.count]->texture->Release();
        delete textureCache.entries[textureCache.count];
    }
}
