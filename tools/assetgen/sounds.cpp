// sounds.cpp: synthesises the wheel clack (a struck-steel transient with decaying metallic modes
// and a low thump) and the running rumble (filtered noise and low rolling tones, all periodic over
// the loop), and writes them as 16-bit PCM WAV files.
#include "sounds.h"

#include "random.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

const double twoPi = 6.283185307179586;

// A second-order filter section (direct form I) with the usual audio cookbook designs.
struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;

    static Biquad make(double frequency, double q, int kind) {
        double w = twoPi * frequency / soundSampleRate, alpha = std::sin(w) / (2 * q);
        double c = std::cos(w), a0 = 1 + alpha;
        Biquad f;
        if (kind == 0) { // low-pass
            f.b0 = f.b2 = (1 - c) / 2 / a0;
            f.b1 = (1 - c) / a0;
        } else if (kind == 1) { // band-pass, 0 dB peak
            f.b0 = alpha / a0;
            f.b1 = 0;
            f.b2 = -alpha / a0;
        } else { // high-pass
            f.b0 = f.b2 = (1 + c) / 2 / a0;
            f.b1 = -(1 + c) / a0;
        }
        f.a1 = -2 * c / a0;
        f.a2 = (1 - alpha) / a0;
        return f;
    }
    double step(double x) {
        double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
};

// Filters `input` as if it repeated forever: one pass settles the filter's state on the
// signal's own end, the second pass's output then continues seamlessly from its end to its
// start.
std::vector<double> filterCircular(const std::vector<double>& input, Biquad filter) {
    for (double x : input) {
        filter.step(x);
    }
    std::vector<double> output(input.size());
    for (size_t i = 0; i < input.size(); ++i) {
        output[i] = filter.step(input[i]);
    }
    return output;
}

void normalize(std::vector<double>& samples, double peak) {
    double largest = 0;
    for (double s : samples) {
        largest = std::max(largest, std::fabs(s));
    }
    if (largest > 0) {
        for (double& s : samples) {
            s *= peak / largest;
        }
    }
}

// One strike of steel on steel starting at sample `start`, scaled by `strength`.
void addStrike(std::vector<double>& out, int start, double strength, Random& random) {
    struct Mode {
        double frequency, decay, amplitude;
    };
    const Mode modes[] = {{1240, 0.045, 0.50}, {2130, 0.036, 0.36}, {3370, 0.028, 0.30},
                          {4610, 0.020, 0.20}, {5890, 0.015, 0.12}, {7350, 0.010, 0.08}};
    double phases[6];
    for (double& phase : phases) {
        phase = random.uniform() * twoPi;
    }
    Biquad crack = Biquad::make(2500, 0.7, 2);
    double thumpPhase = 0;
    for (size_t i = start; i < out.size(); ++i) {
        double t = static_cast<double>(i - start) / soundSampleRate;
        // The crack: a few milliseconds of bright noise.
        double s = crack.step(random.signedUniform()) * 1.6 * std::exp(-t / 0.0025);
        for (int m = 0; m < 6; ++m) {
            s += modes[m].amplitude * std::exp(-t / modes[m].decay) *
                 std::sin(twoPi * modes[m].frequency * t + phases[m]);
        }
        // The thump of the wheel set dropping: a falling low tone.
        double frequency = 55 + 45 * std::exp(-t / 0.03);
        thumpPhase += twoPi * frequency / soundSampleRate;
        s += 0.9 * std::exp(-t / 0.045) * std::sin(thumpPhase) * std::min(1.0, t / 0.001);
        out[i] += strength * s;
    }
}

} // namespace

std::vector<double> clackSamples() {
    const int length = soundSampleRate / 4;
    std::vector<double> samples(length, 0.0);
    Random random(101);
    // The wheel drops into the gap and strikes the next rail's end a few milliseconds later.
    addStrike(samples, 0, 0.55, random);
    addStrike(samples, soundSampleRate * 7 / 1000, 1.0, random);
    normalize(samples, 0.9);
    // Fade the tail to silence over the last 20 ms.
    const int fade = soundSampleRate / 50;
    for (int i = 0; i < fade; ++i) {
        samples[length - 1 - i] *= static_cast<double>(i) / fade;
    }
    return samples;
}

std::vector<double> rumbleSamples() {
    const int length = soundSampleRate * 4;
    Random random(202);
    std::vector<double> white(length), white2(length), white3(length);
    for (int i = 0; i < length; ++i) {
        white[i] = random.signedUniform();
        white2[i] = random.signedUniform();
        white3[i] = random.signedUniform();
    }
    // Body rumble, wheel-rail roar and a little high hiss, each filtered around the loop.
    auto rumble =
        filterCircular(filterCircular(white, Biquad::make(160, 0.8, 0)), Biquad::make(160, 0.8, 0));
    auto roar = filterCircular(white2, Biquad::make(750, 1.2, 1));
    auto hiss = filterCircular(filterCircular(white3, Biquad::make(3000, 0.7, 2)),
                               Biquad::make(6000, 0.7, 0));
    normalize(rumble, 1.0);
    normalize(roar, 1.0);
    normalize(hiss, 1.0);
    std::vector<double> samples(length);
    for (int i = 0; i < length; ++i) {
        double t = static_cast<double>(i) / soundSampleRate;
        // Every periodic part completes whole cycles in the four seconds (frequencies in
        // quarter hertz), so the loop joins without a step.
        double sway = 1 + 0.25 * std::sin(twoPi * 1.5 * t) + 0.15 * std::sin(twoPi * 2.75 * t + 1);
        double tones = 0.22 * std::sin(twoPi * 47.25 * t) + 0.12 * std::sin(twoPi * 63.5 * t + 2) +
                       0.08 * std::sin(twoPi * 94.5 * t + 4);
        samples[i] =
            sway * (0.75 * rumble[i] + tones) + 0.32 * roar[i] * (2 - sway) * 0.6 + 0.05 * hiss[i];
    }
    // No offset: a buffer that loops should swing about zero.
    double mean = 0;
    for (double sample : samples) {
        mean += sample / length;
    }
    for (double& sample : samples) {
        sample -= mean;
    }
    normalize(samples, 0.7);
    return samples;
}

static void putLittleEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

bool writeWav(const std::string& path, const std::vector<double>& samples, int sampleRate) {
    const uint32_t dataSize = static_cast<uint32_t>(samples.size() * 2);
    std::vector<uint8_t> out;
    auto tag = [&](const char* id) { out.insert(out.end(), id, id + 4); };
    tag("RIFF");
    putLittleEndian(out, 36 + dataSize, 4);
    tag("WAVE");
    tag("fmt ");
    putLittleEndian(out, 16, 4);
    putLittleEndian(out, 1, 2); // PCM
    putLittleEndian(out, 1, 2); // mono
    putLittleEndian(out, sampleRate, 4);
    putLittleEndian(out, sampleRate * 2, 4);
    putLittleEndian(out, 2, 2);
    putLittleEndian(out, 16, 2);
    tag("data");
    putLittleEndian(out, dataSize, 4);
    for (double s : samples) {
        long value = std::lround(std::clamp(s, -1.0, 1.0) * 32767.0);
        putLittleEndian(out, static_cast<uint32_t>(static_cast<int16_t>(value)), 2);
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    return std::fclose(file) == 0 && written;
}

bool writeSounds(const std::string& folder) {
    return writeWav(folder + "/Stuk.wav", clackSamples(), soundSampleRate) &&
           writeWav(folder + "/TrainBackground.wav", rumbleSamples(), soundSampleRate);
}
