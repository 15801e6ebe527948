// mesh_model.h: a mesh loaded from an .X file of the meshes folder, with the texture cache index of
// each of its (at most three) materials.
#pragma once

#include <d3dx9.h>

// Room for the materials of one mesh; further materials of a file are not kept.
constexpr int meshMaterialCapacity = 3;
// Texture index of a material that names no texture: its subset is drawn untextured.
constexpr INT noTexture = -1;

struct MeshModel {
    ID3DXMesh* mesh = nullptr;
    DWORD materialCount = 0;
    ID3DXBuffer* materials = nullptr;
    INT textureIndex[meshMaterialCapacity] = {0, 0, 0};

    // Loads "meshes\" + fileName and resolves its material textures through the cache.
    // A file that cannot be loaded is reported on standard error and leaves the model empty.
    void load(const char* fileName);
    // Releases the material buffer and the mesh; the model is empty and draws nothing.
    void release();
};

// Builds "meshes\" + fileName in path (pathSize characters); false if it does not fit.
bool buildMeshPath(char* path, size_t pathSize, const char* fileName);
