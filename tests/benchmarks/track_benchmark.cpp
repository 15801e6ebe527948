// Cost of one call of each track navigation step on the scene's oval.
#include <benchmark/benchmark.h>

#include "app/scene_objects.h"

namespace {

constexpr int positionCount = 64;
TrackPosition positions[positionCount];

// Builds the oval and positions spread over every segment, so that straights, turns and
// the steps across segment boundaries are all measured.
void buildOnce() {
    if (track.segmentCount == 0) {
        buildTrack();
    }
    for (int i = 0; i < positionCount; ++i) {
        track.locate(track.totalLength * i / positionCount, positions[i]);
    }
}

TrackPosition positionAt(int step) {
    return positions[step % positionCount];
}

// One walk from each of a run of positions round the loop.
template <typename Walk> void walkFromEachPosition(benchmark::State& state, Walk walk) {
    buildOnce();
    int step = 0;
    for (auto _ : state) {
        TrackPosition position = walk(positionAt(step++));
        benchmark::DoNotOptimize(position);
    }
}

void BM_TrackAdvance(benchmark::State& state) {
    walkFromEachPosition(state, [](TrackPosition from) { return track.advance(from, -384.0); });
}
BENCHMARK(BM_TrackAdvance);

void BM_TrackChordBack(benchmark::State& state) {
    walkFromEachPosition(state, [](TrackPosition from) { return track.chordBack(from, 1280.0); });
}
BENCHMARK(BM_TrackChordBack);

void BM_TrackLocate(benchmark::State& state) {
    buildOnce();
    double distance = 0.0;
    for (auto _ : state) {
        TrackPosition position;
        bool found = track.locate(distance, position);
        benchmark::DoNotOptimize(found);
        benchmark::DoNotOptimize(position);
        distance += 997.0;
        if (distance >= track.totalLength) {
            distance -= track.totalLength;
        }
    }
}
BENCHMARK(BM_TrackLocate);

void BM_TrackCrossesRailJoint(benchmark::State& state) {
    buildOnce();
    int step = 0;
    for (auto _ : state) {
        TrackPosition from = positionAt(step++);
        bool crosses = track.crossesRailJoint(from, track.advance(from, 120.0));
        benchmark::DoNotOptimize(crosses);
    }
}
BENCHMARK(BM_TrackCrossesRailJoint);

} // namespace

BENCHMARK_MAIN();
