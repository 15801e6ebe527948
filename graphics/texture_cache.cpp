// texture_cache.cpp: finding and loading cached textures.
#include "graphics/texture_cache.h"

#include <cstring>
#include <d3dx9.h>

#include "app/application_state.h"
#include "graphics/mesh_model.h"

bool TextureCache::findOrLoad(const char* name, INT& index) {
    for (INT i = 0; i < count; ++i) {
        if (std::strcmp(entries[i]->name, name) == 0) {
            index = i;
            return true;
        }
    }
    if (count >= textureCacheCapacity) {
        return false;
    }

    // A name too long for the path buffer is a file that cannot be opened.
    char path[textureNameCapacity];
    IDirect3DTexture9* texture = nullptr;
    if (!buildMeshPath(path, sizeof path, name) ||
        FAILED(D3DXCreateTextureFromFileA(appState.graphicsDevice, path, &texture)) ||
        texture == nullptr) {
        index = 0;
        return false;
    }

    auto* entry = new TextureCacheEntry{};
    std::strcpy(entry->name, name);
    entry->texture = texture;
    entries[count] = entry;
    index = count;
    ++count;
    return true;
}

IDirect3DTexture9* TextureCache::textureAt(INT index) const {
    if (index < 0 || index >= count) {
        return nullptr;
    }
    return entries[index]->texture;
}

void TextureCache::release() {
    for (INT i = count - 1; i >= 0; --i) {
        entries[i]->texture->Release();
        delete entries[i];
        entries[i] = nullptr;
    }
    count = 0;
}
