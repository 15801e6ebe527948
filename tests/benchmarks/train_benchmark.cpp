// Cost of one motion step of the freight train (placing every car and bogie), without
// a sound device.
#include <benchmark/benchmark.h>

#include "app/scene_objects.h"

namespace {

void BM_FreightTrainUpdate(benchmark::State& state) {
    if (track.segmentCount == 0) {
        buildTrack();
        buildRollingStockTypes();
    }
    train.clear();
    buildConsist();
    train.place(500.0, false);
    train.speed = trainMaximumSpeed;
    train.targetSpeed = trainMaximumSpeed;
    DWORD now = 0;
    train.resetClockAt(now);
    for (auto _ : state) {
        // One 16 ms frame per step, so the train keeps going round the loop.
        now += 16;
        train.updateAt(now);
        benchmark::DoNotOptimize(train.position);
    }
    train.clear();
}
BENCHMARK(BM_FreightTrainUpdate);

} // namespace

BENCHMARK_MAIN();
