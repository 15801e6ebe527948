// Reading a large WAV file through WaveFile (the multimedia file services' I/O buffer)
// against a plain fread of the same bytes. The "ratio" counter is WaveFile's throughput
// over fread's; the target is at least 0.5.
#include "audio/wave_file.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr DWORD dataBytes = 32u << 20;

// A 16-bit stereo WAV of dataBytes sample bytes, written once for the whole run.
const std::string& largeWave() {
    static const std::string path = [] {
        std::string file = (std::filesystem::temp_directory_path() / "varnel_large.wav").string();
        auto le16 = [](std::ofstream& out, uint16_t v) { out.put(char(v)).put(char(v >> 8)); };
        auto le32 = [&](std::ofstream& out, uint32_t v) {
            le16(out, uint16_t(v));
            le16(out, uint16_t(v >> 16));
        };
        std::ofstream out(file, std::ios::binary);
        out.write("RIFF", 4);
        le32(out, 4 + 24 + 8 + dataBytes);
        out.write("WAVEfmt ", 8);
        le32(out, 16);
        le16(out, 1);
        le16(out, 2);
        le32(out, 44100);
        le32(out, 176400);
        le16(out, 4);
        le16(out, 16);
        out.write("data", 4);
        le32(out, dataBytes);
        std::vector<char> samples(dataBytes);
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = char(i * 31);
        out.write(samples.data(), std::streamsize(samples.size()));
        return file;
    }();
    return path;
}

void readWithWaveFile(std::vector<BYTE>& destination) {
    WaveFile wave;
    if (FAILED(wave.open(largeWave().c_str())))
        throw std::runtime_error("cannot open the test file");
    DWORD read = 0;
    wave.read(destination.data(), DWORD(destination.size()), &read);
    benchmark::DoNotOptimize(read);
}

void readWithFread(std::vector<BYTE>& destination) {
    FILE* file = std::fopen(largeWave().c_str(), "rb");
    std::fseek(file, 44, SEEK_SET);
    size_t read = std::fread(destination.data(), 1, destination.size(), file);
    std::fclose(file);
    benchmark::DoNotOptimize(read);
}

void WaveFileRead(benchmark::State& state) {
    std::vector<BYTE> destination(dataBytes);
    for (auto _ : state)
        readWithWaveFile(destination);
    state.SetBytesProcessed(int64_t(state.iterations()) * dataBytes);
}

void PlainFread(benchmark::State& state) {
    std::vector<BYTE> destination(dataBytes);
    for (auto _ : state)
        readWithFread(destination);
    state.SetBytesProcessed(int64_t(state.iterations()) * dataBytes);
}

// Both reads in each iteration, so the ratio compares them under the same conditions.
void WaveFileOverFread(benchmark::State& state) {
    std::vector<BYTE> destination(dataBytes);
    using Clock = std::chrono::steady_clock;
    Clock::duration waveTime{}, freadTime{};
    for (auto _ : state) {
        Clock::time_point start = Clock::now();
        readWithWaveFile(destination);
        Clock::time_point middle = Clock::now();
        readWithFread(destination);
        waveTime += middle - start;
        freadTime += Clock::now() - middle;
    }
    state.counters["ratio"] = double(freadTime.count()) / double(waveTime.count());
}

} // namespace

BENCHMARK(WaveFileRead)->Unit(benchmark::kMillisecond);
BENCHMARK(PlainFread)->Unit(benchmark::kMillisecond);
BENCHMARK(WaveFileOverFread)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_MAIN();
