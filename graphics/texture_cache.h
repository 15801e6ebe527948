// texture_cache.h: the process-wide cache of textures named by mesh materials, so that a texture
// file used by several meshes is loaded once.
#pragma once

#include <d3d9.h>

constexpr int textureNameCapacity = 100;
constexpr int textureCacheCapacity = 20;

struct TextureCacheEntry {
    char name[textureNameCapacity];
    IDirect3DTexture9* texture;
};

struct TextureCache {
    TextureCacheEntry* entries[textureCacheCapacity] = {};
    INT count = 0;

    // Finds name (exact, case-sensitive) or loads "meshes\" + name as a new entry.
    // True with index set when an entry holds the texture. A file that cannot be loaded
    // gives false and index 0; a new name in a full cache gives false and leaves index alone.
    bool findOrLoad(const char* name, INT& index);
    // The texture of entry index, or null when index names no entry.
    IDirect3DTexture9* textureAt(INT index) const;
    // Releases every texture and frees its entry, from the last to the first; the cache is
    // empty afterwards.
    void release();
};

// The process-wide cache (app/scene_objects.cpp).
extern TextureCache textureCache;
