// render_frame.cpp: the frame. Every result is ignored: a failing call leaves that step undone and
// the next frame tries again.
#include "app/render_frame.h"

#include "app/application_state.h"
#include "app/scene_objects.h"
#include "graphics/hud.h"
#include "graphics/text_overlay.h"

void renderFrame() {
    IDirect3DDevice9* device = appState.graphicsDevice;
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    device->BeginScene();
    train.update();
    camera.updateView();
    if (appState.listener != nullptr)
        appState.listener->CommitDeferredSettings();
    updateReadouts();
    track.draw();
    train.draw();
    appState.overlay->draw();
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
}
