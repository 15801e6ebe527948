// sound_e2e_test.cpp: what a person hears. The real program runs under the X display while
// OpenAL Soft's wave-file backend records its mix; Page Down brings the train from its start
// speed to a stop and Escape ends the program. The recording must hold the running noise while
// the train moves, rail-joint clacks, fewer of them as the train slows, and none at rest.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "support/program_runner.h"
#include "support/x_display.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

uint32_t le(const std::vector<unsigned char>& bytes, size_t at, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | bytes[at + size_t(i)];
    return value;
}

// A recording, both channels mixed down to one.
struct Capture {
    int rate = 0;
    std::vector<float> samples;

    double seconds() const { return double(samples.size()) / rate; }
    size_t at(double time) const {
        return std::min(samples.size(), size_t(std::max(0.0, time) * rate));
    }
};

// Reads a 16-bit or 32-bit float PCM WAV (plain or extensible format). Fails with the reason
// when the header is not complete: RIFF and data sizes must describe the file exactly, as they
// do only when the recorder was closed properly.
bool readCapture(const std::string& path, Capture& capture, std::string& problem) {
    std::ifstream file(path, std::ios::binary);
    std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(file), {}};
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        problem = "not a RIFF/WAVE file";
        return false;
    }
    if (le(bytes, 4, 4) != bytes.size() - 8) {
        problem = "RIFF size " + std::to_string(le(bytes, 4, 4)) + " for a file of " +
                  std::to_string(bytes.size()) + " bytes";
        return false;
    }
    int channels = 0, bits = 0;
    uint32_t tag = 0;
    for (size_t chunk = 12; chunk + 8 <= bytes.size();) {
        uint32_t size = le(bytes, chunk + 4, 4);
        size_t body = chunk + 8;
        if (size > bytes.size() - body) {
            problem = "a chunk runs past the end of the file";
            return false;
        }
        if (std::memcmp(bytes.data() + chunk, "fmt ", 4) == 0 && size >= 16) {
            tag = le(bytes, body, 2);
            channels = int(le(bytes, body + 2, 2));
            capture.rate = int(le(bytes, body + 4, 4));
            bits = int(le(bytes, body + 14, 2));
            if (tag == 0xFFFE && size >= 40) // extensible: the sub-format GUID starts with the tag
                tag = le(bytes, body + 24, 2);
        } else if (std::memcmp(bytes.data() + chunk, "data", 4) == 0) {
            bool pcm16 = tag == 1 && bits == 16, float32 = tag == 3 && bits == 32;
            if (!(pcm16 || float32) || channels < 1 || capture.rate <= 0) {
                problem = "unexpected sample format";
                return false;
            }
            if (body + size != bytes.size() || size == 0) {
                problem = "data size " + std::to_string(size) + " does not reach the file's end";
                return false;
            }
            size_t sampleBytes = size_t(bits / 8), frames = size / (sampleBytes * channels);
            capture.samples.resize(frames);
            for (size_t f = 0; f < frames; ++f) {
                float sum = 0.0f;
                for (int c = 0; c < channels; ++c) {
                    size_t at = body + (f * channels + c) * sampleBytes;
                    if (float32) {
                        uint32_t raw = le(bytes, at, 4);
                        float value;
                        std::memcpy(&value, &raw, 4);
                        sum += value;
                    } else {
                        sum += float(int16_t(le(bytes, at, 2))) / 32768.0f;
                    }
                }
                capture.samples[f] = sum / float(channels);
            }
            return true;
        }
        chunk = body + size + (size & 1);
    }
    problem = "no data chunk";
    return false;
}

// Root mean square of consecutive windows of `window` samples.
std::vector<double> windowLevels(const std::vector<float>& samples, size_t window) {
    std::vector<double> levels(samples.size() / window);
    for (size_t w = 0; w < levels.size(); ++w) {
        double sum = 0.0;
        for (size_t i = w * window; i < (w + 1) * window; ++i)
            sum += double(samples[i]) * samples[i];
        levels[w] = std::sqrt(sum / double(window));
    }
    return levels;
}

// Two second-order high-pass sections at `cutoff`: keeps the clack's bright crack and upper
// ringing, and little of the running noise, which lies mostly below a few kilohertz.
std::vector<float> highPass(const std::vector<float>& input, int rate, double cutoff) {
    double w = 2.0 * 3.141592653589793 * cutoff / rate, alpha = std::sin(w) / (2.0 * 0.7071);
    double c = std::cos(w), a0 = 1.0 + alpha;
    double b0 = (1.0 + c) / 2.0 / a0, b1 = -(1.0 + c) / a0, a1 = -2.0 * c / a0,
           a2 = (1.0 - alpha) / a0;
    std::vector<float> output = input;
    for (int pass = 0; pass < 2; ++pass) {
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        for (float& sample : output) {
            double y = b0 * sample + b1 * x1 + b0 * x2 - a1 * y1 - a2 * y2;
            x2 = x1;
            x1 = sample;
            y2 = y1;
            y1 = y;
            sample = float(y);
        }
    }
    return output;
}

// What the recording tells about the train's sound, on 5 ms windows.
struct Analysis {
    static constexpr double windowSeconds = 0.005;
    std::vector<double> levels; // whole signal
    std::vector<double> bright; // high-passed
    std::vector<double> onsets; // clack starts, seconds

    explicit Analysis(const Capture& capture) {
        size_t window = size_t(capture.rate * windowSeconds);
        levels = windowLevels(capture.samples, window);
        bright = windowLevels(highPass(capture.samples, capture.rate, 6000.0), window);
        // A clack starts where the bright level jumps well above both the running noise and
        // what it was 10 ms before; one sharp rise is one onset.
        double lastOnset = -1.0;
        for (size_t w = 2; w < bright.size(); ++w) {
            double time = w * windowSeconds;
            if (bright[w] > 0.003 && bright[w] > 4.0 * bright[w - 2] && time - lastOnset > 0.02) {
                onsets.push_back(time);
                lastOnset = time;
            }
        }
    }

    // The first moment the train is heard: the running noise rises when the first frame sets
    // its volume.
    double soundStart() const {
        for (size_t w = 0; w < levels.size(); ++w)
            if (levels[w] > 0.002)
                return w * windowSeconds;
        return -1.0;
    }

    int onsetsBetween(double from, double to) const {
        return int(std::count_if(onsets.begin(), onsets.end(),
                                 [&](double t) { return t >= from && t < to; }));
    }

    // The running noise between clacks: the quietest tenth of the 5 ms windows in [from, to).
    double runningLevel(double from, double to) const {
        size_t first = size_t(from / windowSeconds), last = size_t(to / windowSeconds);
        last = std::min(last, levels.size());
        if (first >= last)
            return 0.0;
        std::vector<double> part(levels.begin() + first, levels.begin() + last);
        std::nth_element(part.begin(), part.begin() + part.size() / 10, part.end());
        return part[part.size() / 10];
    }
};

class SoundEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/varnel-sound-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        recording = folder + "/capture.wav";
        std::ofstream config(folder + "/alsoft.conf");
        config << "[general]\ndrivers = wave\n[wave]\nfile = " << recording << "\n";
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::string folder;
    std::string recording;
};

TEST_F(SoundEndToEnd, RunningNoiseAndClacksFollowTheTrainToAStop) {
    XDisplay display;
    ASSERT_TRUE(display.open());
    RunningProgram program{"./varnel-hwvp-immediate",
                           {"VARNEL_UNATTENDED=1", "VARNEL_FRAME_REPORT=1", "ALSOFT_DRIVERS=wave",
                            "ALSOFT_CONF=" + folder + "/alsoft.conf"}};
    ASSERT_TRUE(program.started());
    unsigned long window = display.findWindow("Varnel", 15000);
    ASSERT_NE(window, 0u) << program.errorOutput();

    // The program's first frame-rate report comes two seconds after its first frame, which is
    // where the train is first heard. The braking is timed from that report, on the
    // recording's own time line: the first frames can come long after the window shows (a
    // slow machine, the sanitizer build), and keys typed before them would be taken late.
    Clock::time_point waitStart = Clock::now();
    while (program.errorOutput().find("frame rate: ") == std::string::npos) {
        ASSERT_LT(secondsBetween(waitStart, Clock::now()), 30.0) << program.errorOutput();
        pause(10);
    }
    Clock::time_point reported = Clock::now();

    // Six Page Down from the 60 km/h target: the train, which started at 711 units/s (20 km/h)
    // and gains 100 units/s² towards that target, brakes at 100 units/s² to a stop.
    xdotool("windowfocus --sync " + std::to_string(window));
    pause(300);
    typeKey(window, "Next", 6);
    Clock::time_point braking = Clock::now();
    double sinceFirstFrame = 2.0 + secondsBetween(reported, braking);
    double brakingSpeed = std::min(711.1 + 100.0 * sinceFirstFrame, 2133.3);
    pause(int(1000.0 * (brakingSpeed / 100.0 + 5.0)));
    typeKey(window, "Escape");
    ASSERT_TRUE(program.waitForExit(10000));
    EXPECT_EQ(program.exitCode(), 0) << program.errorOutput();

    Capture capture;
    std::string problem;
    ASSERT_TRUE(readCapture(recording, capture, problem)) << problem;
    Analysis sound(capture);
    double start = sound.soundStart();
    ASSERT_GE(start, 0.0) << "the recording is silent";
    // The recording starts with the device, before the scene is loaded; the report came two
    // seconds after the first frame, and braking started this long after the report. The stop
    // is taken from the recording itself: its last clack.
    double brake = start + sinceFirstFrame;
    ASSERT_FALSE(sound.onsets.empty()) << "no clacks at all";
    double lastClack = sound.onsets.back();

    double earlyFrom = start + 0.2, earlyTo = start + 2.2;         // about 20 km/h
    double lateFrom = lastClack - 3.0, lateTo = lastClack + 0.001; // the last three seconds
    int early = sound.onsetsBetween(earlyFrom, earlyTo);
    int late = sound.onsetsBetween(lateFrom, lateTo);
    double earlyNoise = sound.runningLevel(earlyFrom, earlyTo);
    double lateNoise = sound.runningLevel(lateFrom, lateTo);
    std::printf("capture %.1f s at %d Hz; train heard from %.2f s, braking from %.2f s, last "
                "clack at %.2f s\n"
                "clacks: %d in [%.1f, %.1f) s, %d in the last three seconds before the last\n"
                "running noise RMS between clacks: %.4f, then %.4f\n",
                capture.seconds(), capture.rate, start, brake, lastClack, early, earlyFrom, earlyTo,
                late, earlyNoise, lateNoise);

    // The train stops: the recording ends with over two seconds without a clack, long after
    // the braking began.
    EXPECT_GT(capture.seconds() - lastClack, 2.5);
    EXPECT_GT(lastClack, brake + 2.0);
    // 40 axles cross a joint every 3200 units: at 20 km/h about 9 clacks a second, those of
    // one frame starting together. Slowing down, the train covers about a fifth of that
    // distance per second in its last three seconds, so the clacks per second must fall clearly. A
    // slow frame (as in the sanitizer build) starts several joints' clacks together and undercounts
    // the early ones, so a third fewer is the bound, not half.
    EXPECT_GE(early, 8);
    double earlyRate = early / (earlyTo - earlyFrom), lateRate = late / (lateTo - lateFrom);
    EXPECT_LT(1.5 * lateRate, earlyRate);

    // The running noise is there, between the clacks, all the time the train moves faster
    // than about 9 km/h (at rest it is a hundred times quieter still), and it grows quieter
    // as the train slows.
    for (double from = start + 0.1; from + 0.5 <= lateFrom; from += 0.5)
        EXPECT_GT(sound.runningLevel(from, from + 0.5), 0.001) << "at " << from << " s";
    EXPECT_GT(earlyNoise, 2.0 * lateNoise);
}

} // namespace
