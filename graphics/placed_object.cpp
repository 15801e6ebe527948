// placed_object.cpp: draws a placed object with the world transform of its point and heading.
#include "graphics/placed_object.h"

#include "app/application_state.h"
#include "graphics/texture_cache.h"

void drawPlacedObject(const PlacedObject& object) {
    IDirect3DDevice9* device = appState.graphicsDevice;
    const MeshModel* model = object.model;
    if (device == nullptr || model == nullptr || model->mesh == nullptr) {
        return;
    }

    // Rotating by -heading about y turns the model's +x onto (cos heading, 0, sin heading).
    D3DXMATRIX rotation;
    D3DXMATRIX translation;
    D3DXMATRIX world;
    D3DXMatrixRotationY(&rotation, -static_cast<float>(object.heading));
    D3DXMatrixTranslation(&translation, static_cast<float>(object.x), 0.0f,
                          static_cast<float>(object.z));
    D3DXMatrixMultiply(&world, &rotation, &translation);
    device->SetTransform(D3DTS_WORLD, &world);

    for (DWORD i = 0; i < model->materialCount; ++i) {
        device->SetTexture(0, textureCache.textureAt(model->textureIndex[i]));
        model->mesh->DrawSubset(i);
    }
}
