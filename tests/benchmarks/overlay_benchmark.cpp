// overlay_benchmark.cpp: the cost of the text overlay per frame. Renders the scene's frame
// (track and freight train from the orbiting camera) on a real device with and without the
// overlay's 20 text draws and readout updates; compare the two frame rates.
#include "app/scene_objects.h"
#include "graphics/graphics_device.h"
#include "graphics/hud.h"

#include <benchmark/benchmark.h>
#include <cstdio>

#include "support/hidden_window.h"

namespace {

bool setUpScene() {
    static HiddenWindow window(1024, 768, DefWindowProcA, 50, 50);
    appState.mainWindow = window.handle;
    ShowWindow(appState.mainWindow, SW_SHOWDEFAULT);
    if (FAILED(createGraphicsDevice()))
        return false;
    buildHud();
    buildTrack();
    buildRollingStockTypes();
    buildConsist();
    train.place(trainStartPosition, false);
    camera.followSelectedCar = true;
    camera.pitch = 0.39269909262657166;
    camera.distance = 3000.0;
    setUpLight();
    setUpMaterial();
    return true;
}

void renderFrame(bool withOverlay) {
    IDirect3DDevice9* device = appState.graphicsDevice;
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    device->BeginScene();
    camera.updateView();
    if (withOverlay)
        updateReadouts();
    track.draw();
    train.draw();
    if (withOverlay)
        appState.overlay->draw();
    device->EndScene();
    device->Present(nullptr, nullptr, nullptr, nullptr);
}

void frames(benchmark::State& state, bool withOverlay) {
    for (auto _ : state)
        renderFrame(withOverlay);
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_FrameWithoutOverlay(benchmark::State& state) {
    frames(state, false);
}
void BM_FrameWithOverlay(benchmark::State& state) {
    frames(state, true);
}

BENCHMARK(BM_FrameWithoutOverlay)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_FrameWithOverlay)->UseRealTime()->MinTime(2.0);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!setUpScene()) {
        fprintf(stderr, "no Direct3D device\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
