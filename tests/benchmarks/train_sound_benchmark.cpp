// Cost of the train's sound per frame: one motion step of the freight train (10 cars, 20
// bogies: 40 axle emitters and 20 running noises) without a sound device, where every emitter
// is silent, against the same step with a real device and the generated sounds, and the step
// followed by the frame's listener placement and commit. Runs in the build folder (the sounds
// are in `meshes`) with an X display for the hidden window; OpenAL Soft's null backend is used
// unless ALSOFT_DRIVERS says otherwise.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "app/scene_objects.h"
#include "audio/sound_device.h"

#include "support/hidden_window.h"
#include "support/release.h"
#include "support/scene_setup.h"

namespace {

bool openSound() {
    appState.mainWindow = soundTestWindow();
    if (createSoundDevice() != S_OK)
        return false;
    return loadSound("Stuk.wav", &appState.clackSound) == S_OK &&
           loadSound("TrainBackground.wav", &appState.runningSound) == S_OK;
}

void closeSound() {
    releaseInterface(appState.clackSound);
    releaseInterface(appState.runningSound);
    releaseInterface(appState.listener);
    releaseInterface(appState.primaryBuffer);
    releaseInterface(appState.soundDevice);
}

// The freight train at full speed; each step is one 16 ms frame, so the train keeps going
// round the loop and every axle crosses a joint about every 56 steps.
void runTrain(benchmark::State& state, bool commit) {
    DWORD now = 0;
    runFreightTrainAtTopSpeed(now);
    for (auto _ : state) {
        now += 16;
        train.updateAt(now);
        if (commit) {
            // What the camera and the frame add: the listener follows car 0, then every
            // deferred change of the frame is committed.
            const Car* car = train.cars[0];
            appState.listener->SetPosition(D3DVALUE(car->x / 2048.0), 0.6f,
                                           D3DVALUE(car->z / 2048.0), DS3D_DEFERRED);
            appState.listener->SetOrientation(1.0f, -0.4f, 0.0f, 0.0f, 1.0f, 0.0f, DS3D_DEFERRED);
            appState.listener->CommitDeferredSettings();
        }
        benchmark::DoNotOptimize(train.position);
    }
    train.clear();
}

void FreightUpdateSilent(benchmark::State& state) {
    runTrain(state, false);
}

// The same with the program's sound device and masters, committing each frame's deferred
// changes when `commit`.
void runTrainWithSound(benchmark::State& state, bool commit) {
    if (openSound())
        runTrain(state, commit);
    else
        state.SkipWithError("no sound device");
    closeSound();
}

void FreightUpdateWithSound(benchmark::State& state) {
    runTrainWithSound(state, false);
}

void FreightUpdateWithSoundAndCommit(benchmark::State& state) {
    runTrainWithSound(state, true);
}

} // namespace

BENCHMARK(FreightUpdateSilent)->Unit(benchmark::kMicrosecond);
BENCHMARK(FreightUpdateWithSound)->Unit(benchmark::kMicrosecond);
BENCHMARK(FreightUpdateWithSoundAndCommit)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    setenv("ALSOFT_DRIVERS", "null", 0);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
