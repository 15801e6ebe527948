// Cost of one motion step of the freight train (placing every car and bogie), without
// a sound device.
#include <benchmark/benchmark.h>

#include "app/scene_objects.h"
#include "support/scene_setup.h"

namespace {

void BM_FreightTrainUpdate(benchmark::State& state) {
    DWORD now = 0;
    runFreightTrainAtTopSpeed(now);
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
