// mesh_model.cpp: loads a MeshModel's mesh and material textures.
#include "graphics/mesh_model.h"

#include <cstdio>

#include "app/application_state.h"
#include "graphics/texture_cache.h"

namespace {

// Mesh and texture paths are built in a buffer of this size.
constexpr size_t pathCapacity = 100;
const char meshFolder[] = "meshes\\";

} // namespace

bool buildMeshPath(char* path, size_t pathSize, const char* fileName) {
    int written = std::snprintf(path, pathSize, "%s%s", meshFolder, fileName);
    return written >= 0 && static_cast<size_t>(written) < pathSize;
}

void MeshModel::load(const char* fileName) {
    mesh = nullptr;
    materials = nullptr;
    materialCount = 0;

    char path[pathCapacity];
    if (!buildMeshPath(path, sizeof path, fileName)) {
        std::fprintf(stderr, "Cannot load mesh %s%s: path too long\n", meshFolder, fileName);
        return;
    }
    HRESULT result = D3DXLoadMeshFromXA(path, D3DXMESH_SYSTEMMEM, appState.graphicsDevice, nullptr,
                                        &materials, nullptr, &materialCount, &mesh);
    if (FAILED(result) || mesh == nullptr || materials == nullptr) {
        std::fprintf(stderr, "Cannot load mesh %s\n", path);
        release();
        return;
    }

    // Only three materials fit the model; the subsets beyond them are not drawn.
    if (materialCount > meshMaterialCapacity) {
        materialCount = meshMaterialCapacity;
    }
    auto* records = static_cast<D3DXMATERIAL*>(materials->GetBufferPointer());
    for (DWORD i = 0; i < materialCount; ++i) {
        if (records[i].pTextureFilename == nullptr) {
            textureIndex[i] = noTexture;
        } else {
            textureCache.findOrLoad(records[i].pTextureFilename, textureIndex[i]);
        }
    }
}

void MeshModel::release() {
    if (materials != nullptr) {
        materials->Release();
        materials = nullptr;
    }
    if (mesh != nullptr) {
        mesh->Release();
        mesh = nullptr;
    }
    materialCount = 0;
}
