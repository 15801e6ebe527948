// The layer's DirectSound against a recording sound output (support/recording_audio_output.h):
// what reaches the output and when. Deferred 3-D settings arrive together in one batch at the
// commit and immediate ones at once; duplicates play the master's one store; releases destroy
// voices before their store and close the output last; volumes, play rules and wave formats
// arrive converted.
#include <dsound.h>

#include "platform/dsound/dsound_stats.h"
#include "support/recording_audio_output.h"
#include "support/test_sound.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

// The layer only checks that a window is given; this one is never used as a window.
HWND someWindow() {
    return reinterpret_cast<HWND>(std::uintptr_t(1));
}

std::string format(const char* pattern, int a, int b = 0) {
    char line[128];
    std::snprintf(line, sizeof line, pattern, a, b);
    return line;
}

class SoundOutput : public ::testing::Test {
protected:
    void SetUp() override {
        outputLog().clear();
        ASSERT_EQ(DirectSoundCreate8(nullptr, &device, nullptr), DS_OK);
        ASSERT_EQ(device->SetCooperativeLevel(someWindow(), DSSCL_PRIORITY), DS_OK);
        ASSERT_EQ(std::sscanf(outputLog().at(0).c_str(), "output %d open", &output), 1);
        // The output starts with DirectSound's listener.
        EXPECT_EQ(take(), (Lines{format("output %d open", output),
                                 batch("listener at 0 0 0 front 0 0 1 top 0 1 0 doppler 1")}));
    }
    void TearDown() override {
        if (device)
            device->Release();
        EXPECT_EQ(liveSoundSources(), 0);
        EXPECT_EQ(liveSoundSampleBuffers(), 0);
        outputsPlayFloat(true);
    }

    // The log since the last call.
    static Lines take() {
        Lines lines;
        lines.swap(outputLog());
        return lines;
    }

    // A secondary buffer, the numbers of its voice and store, and the lines its making logged.
    IDirectSoundBuffer* makeBuffer(DWORD bytes, int* voice, DWORD flags = masterFlags,
                                   WAVEFORMATEX wave = monoFormat()) {
        IDirectSoundBuffer* buffer = makeSoundBuffer(device, bytes, flags, wave);
        made = take();
        for (const std::string& line : made)
            std::sscanf(line.c_str(), "voice %d create on store %d", voice, &store);
        return buffer;
    }

    IDirectSound3DBuffer8* control3D(IDirectSoundBuffer* buffer) {
        IDirectSound3DBuffer8* buffer3D = nullptr;
        EXPECT_EQ(
            buffer->QueryInterface(IID_IDirectSound3DBuffer8, reinterpret_cast<void**>(&buffer3D)),
            DS_OK);
        buffer->Release(); // one count for both interfaces
        return buffer3D;
    }

    IDirectSound3DListener8* makeListener() {
        DSBUFFERDESC description{};
        description.dwSize = sizeof description;
        description.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D;
        EXPECT_EQ(device->CreateSoundBuffer(&description, &primary, nullptr), DS_OK);
        IDirectSound3DListener8* listener = nullptr;
        EXPECT_EQ(primary->QueryInterface(IID_IDirectSound3DListener8,
                                          reinterpret_cast<void**>(&listener)),
                  DS_OK);
        primary->Release();
        return listener;
    }

    std::string placed(int voice, const char* where, const char* rolloff = "1") const {
        return format("voice %d placed at ", voice) + where + " distances 1 1e+09 rolloff " +
               rolloff;
    }
    std::string batch(const char* end) const { return format("output %d ", output) + end; }

    IDirectSound8* device = nullptr;
    IDirectSoundBuffer* primary = nullptr;
    int output = 0;
    int store = 0;
    Lines made;
};

TEST_F(SoundOutput, DeferredSettingsReachTheOutputTogetherAtTheCommit) {
    IDirectSound3DListener8* listener = makeListener();
    int a = 0, b = 0, plain = 0;
    IDirectSound3DBuffer8* first = control3D(makeBuffer(400, &a));
    IDirectSound3DBuffer8* second = control3D(makeBuffer(400, &b));
    IDirectSoundBuffer* unplaced = makeBuffer(400, &plain, DSBCAPS_CTRLVOLUME);

    ASSERT_EQ(first->SetPosition(1.5f, 0.0f, -2.5f, DS3D_DEFERRED), DS_OK);
    ASSERT_EQ(listener->SetPosition(4.0f, 5.0f, 6.0f, DS3D_DEFERRED), DS_OK);
    ASSERT_EQ(listener->SetOrientation(-300.0f, -100.0f, 250.0f, 0.0f, 1.0f, 0.0f, DS3D_DEFERRED),
              DS_OK);
    EXPECT_EQ(take(), Lines{});
    ASSERT_EQ(listener->CommitDeferredSettings(), DS_OK);
    // The listener and only the buffer that had a setting waiting, as DirectSound's coordinates.
    EXPECT_EQ(take(), (Lines{batch("begin"),
                             batch("listener at 4 5 6 front -300 -100 250 top 0 1 0 doppler 1"),
                             placed(a, "1.5 0 -2.5"), batch("end")}));
    listener->CommitDeferredSettings();
    EXPECT_EQ(take(), (Lines{batch("begin"), batch("end")}));

    // An immediate setting arrives at once, and replaces a waiting one.
    first->SetPosition(9.0f, 9.0f, 9.0f, DS3D_DEFERRED);
    ASSERT_EQ(first->SetPosition(7.0f, 8.0f, 9.0f, DS3D_IMMEDIATE), DS_OK);
    listener->CommitDeferredSettings();
    EXPECT_EQ(take(), (Lines{placed(a, "7 8 9"), batch("begin"), batch("end")}));

    // The rolloff factor is every 3-D buffer's, deferred or not; the listener stays as it was.
    ASSERT_EQ(listener->SetRolloffFactor(2.0f, DS3D_DEFERRED), DS_OK);
    EXPECT_EQ(take(), Lines{});
    listener->CommitDeferredSettings();
    EXPECT_EQ(take(), (Lines{batch("begin"), placed(a, "7 8 9", "2"), placed(b, "0 0 0", "2"),
                             batch("end")}));
    ASSERT_EQ(listener->SetRolloffFactor(1.0f, DS3D_IMMEDIATE), DS_OK);
    ASSERT_EQ(listener->SetDopplerFactor(0.0f, DS3D_IMMEDIATE), DS_OK);
    EXPECT_EQ(take(), (Lines{batch("listener at 4 5 6 front -300 -100 250 top 0 1 0 doppler 1"),
                             placed(a, "7 8 9"), placed(b, "0 0 0"),
                             batch("listener at 4 5 6 front -300 -100 250 top 0 1 0 doppler 0")}));
    // A refused setting reaches nothing.
    EXPECT_EQ(first->SetPosition(1.0f, 1.0f, 1.0f, 2), DSERR_INVALIDPARAM);
    EXPECT_EQ(listener->SetRolloffFactor(-1.0f, DS3D_IMMEDIATE), DSERR_INVALIDPARAM);
    EXPECT_EQ(take(), Lines{});

    unplaced->Release();
    second->Release();
    first->Release();
    listener->Release();
}

TEST_F(SoundOutput, BuffersArePlacedWhenMadeAndFilledWithWholeFrames) {
    int voice = 0;
    IDirectSoundBuffer* buffer = makeBuffer(401, &voice);
    EXPECT_EQ(made,
              (Lines{format("store %d create on output %d", store, output),
                     format("voice %d create on store %d", voice, store),
                     format("voice %d gain 1", voice), placed(voice, "0 0 0"),
                     format("store %d fill 400 bytes, encoding 1, 1 channels, 22050 Hz", store)}));
    buffer->Release();
    EXPECT_EQ(take(),
              (Lines{format("voice %d destroy", voice), format("store %d destroy", store)}));

    // Without 3-D control a buffer plays at the listener, unattenuated.
    buffer = makeBuffer(400, &voice, DSBCAPS_CTRLVOLUME);
    EXPECT_EQ(made.at(3), format("voice %d relative at 0 0 0 distances 1 1e+09 rolloff 0", voice));
    buffer->Release();
}

TEST_F(SoundOutput, DuplicatesPlayTheMastersStoreWhichGoesWithTheLastOfThem) {
    int master = 0;
    IDirectSoundBuffer* original = makeBuffer(400, &master);
    ASSERT_EQ(original->SetVolume(-2000), DS_OK);
    take();
    IDirectSoundBuffer* copy = nullptr;
    ASSERT_EQ(device->DuplicateSoundBuffer(original, &copy), DS_OK);
    Lines lines = take();
    ASSERT_FALSE(lines.empty());
    int duplicate = 0, shared = 0;
    ASSERT_EQ(std::sscanf(lines[0].c_str(), "voice %d create on store %d", &duplicate, &shared), 2);
    // The same samples, not filled again; the master's volume.
    EXPECT_EQ(shared, store);
    EXPECT_EQ(lines, (Lines{lines[0], format("voice %d gain 1", duplicate),
                            placed(duplicate, "0 0 0"), format("voice %d gain 0.1", duplicate)}));
    EXPECT_EQ(liveSoundSampleBuffers(), 1);
    EXPECT_EQ(liveSoundSources(), 2);

    // Writing through a duplicate refills the one store.
    LPVOID p = nullptr;
    DWORD n = 0;
    ASSERT_EQ(copy->Lock(0, 0, &p, &n, nullptr, nullptr, DSBLOCK_ENTIREBUFFER), DS_OK);
    ASSERT_EQ(copy->Unlock(p, n, nullptr, 0), DS_OK);
    EXPECT_EQ(take(),
              Lines{format("store %d fill 400 bytes, encoding 1, 1 channels, 22050 Hz", store)});

    // The device object, then the master, go first: the store and the output stay while the
    // duplicate plays them, and go, voice first, with it.
    EXPECT_EQ(device->Release(), 0u);
    device = nullptr;
    EXPECT_EQ(original->Release(), 0u);
    EXPECT_EQ(take(), Lines{format("voice %d destroy", master)});
    EXPECT_EQ(liveSoundSampleBuffers(), 1);
    EXPECT_EQ(copy->Release(), 0u);
    EXPECT_EQ(take(),
              (Lines{format("voice %d destroy", duplicate), format("store %d destroy", store),
                     format("output %d close", output)}));
}

TEST_F(SoundOutput, PlayStartsAtTheSetPositionAndStopPauses) {
    int voice = 0;
    IDirectSoundBuffer* buffer = makeBuffer(2000, &voice);
    ASSERT_EQ(buffer->SetCurrentPosition(1501), DS_OK);
    EXPECT_EQ(take(), Lines{}); // kept until the play
    ASSERT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    EXPECT_EQ(take(), (Lines{format("voice %d looping 1", voice),
                             format("voice %d play from 1500", voice)}));
    DWORD status = 0;
    buffer->GetStatus(&status);
    EXPECT_EQ(status, DWORD(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));
    // Playing on from where it is, now once.
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(take(), Lines{format("voice %d looping 0", voice)});
    buffer->GetStatus(&status);
    EXPECT_EQ(status, DWORD(DSBSTATUS_PLAYING));

    ASSERT_EQ(buffer->Stop(), DS_OK);
    ASSERT_EQ(buffer->Stop(), DS_OK);
    ASSERT_EQ(buffer->SetCurrentPosition(999), DS_OK);
    EXPECT_EQ(take(),
              (Lines{format("voice %d pause", voice), format("voice %d offset 998", voice)}));
    DWORD position = 0;
    buffer->GetCurrentPosition(&position, nullptr);
    EXPECT_EQ(position, 998u);
    buffer->GetStatus(&status);
    EXPECT_EQ(status, 0u);
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(take(),
              (Lines{format("voice %d looping 0", voice), format("voice %d resume", voice)}));

    // Refused calls reach nothing.
    EXPECT_EQ(buffer->SetCurrentPosition(2000), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Play(1, 0, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(take(), Lines{});
    buffer->Release();
}

TEST_F(SoundOutput, VolumeArrivesAsALinearGain) {
    int voice = 0;
    IDirectSoundBuffer* buffer = makeBuffer(400, &voice);
    for (LONG volume : {-2000, -600, DSBVOLUME_MIN, DSBVOLUME_MAX, -10001, 1})
        buffer->SetVolume(volume);
    EXPECT_EQ(take(),
              (Lines{format("voice %d gain 0.1", voice), format("voice %d gain 0.501187", voice),
                     format("voice %d gain 0", voice), format("voice %d gain 1", voice)}));
    buffer->Release();
}

TEST_F(SoundOutput, WaveFormatsArriveAsTheOutputsOwnOrAreRefused) {
    int voice = 0;
    WAVEFORMATEX stereo8{WAVE_FORMAT_PCM, 2, 11025, 22050, 2, 8, 0};
    makeBuffer(400, &voice, masterFlags, stereo8)->Release();
    EXPECT_EQ(made.back(),
              format("store %d fill 400 bytes, encoding 0, 2 channels, 11025 Hz", store));

    // 32-bit float samples, only where the output plays them.
    WAVEFORMATEX floats{3, 1, 48000, 192000, 4, 32, 0};
    makeBuffer(400, &voice, masterFlags, floats)->Release();
    EXPECT_EQ(made.back(),
              format("store %d fill 400 bytes, encoding 2, 1 channels, 48000 Hz", store));
    // The extensible record names its plain format in the sub-format's first bytes.
    struct {
        WAVEFORMATEX base;
        BYTE extra[22];
    } extensible{{0xFFFE, 2, 44100, 176400, 4, 16, 22}, {}};
    extensible.extra[6] = WAVE_FORMAT_PCM;
    DSBUFFERDESC description{};
    description.dwSize = sizeof description;
    description.dwFlags = masterFlags;
    description.dwBufferBytes = 400;
    description.lpwfxFormat = &extensible.base;
    IDirectSoundBuffer* buffer = nullptr;
    ASSERT_EQ(device->CreateSoundBuffer(&description, &buffer, nullptr), DS_OK);
    int encoding = -1, channels = 0;
    ASSERT_EQ(std::sscanf(outputLog().back().c_str(), "store %*d fill 400 bytes, encoding %d, %d",
                          &encoding, &channels),
              2);
    EXPECT_EQ(encoding, 1);
    EXPECT_EQ(channels, 2);
    buffer->Release();

    device->Release();
    outputsPlayFloat(false);
    ASSERT_EQ(DirectSoundCreate8(nullptr, &device, nullptr), DS_OK);
    device->SetCooperativeLevel(someWindow(), DSSCL_PRIORITY);
    outputLog().clear();
    description.lpwfxFormat = &floats;
    EXPECT_EQ(device->CreateSoundBuffer(&description, &buffer, nullptr), DSERR_BADFORMAT);
    // Rates outside 100..200000 Hz.
    WAVEFORMATEX rate = monoFormat();
    description.lpwfxFormat = &rate;
    rate.nSamplesPerSec = 99;
    EXPECT_EQ(device->CreateSoundBuffer(&description, &buffer, nullptr), DSERR_BADFORMAT);
    rate.nSamplesPerSec = 200001;
    EXPECT_EQ(device->CreateSoundBuffer(&description, &buffer, nullptr), DSERR_BADFORMAT);
    EXPECT_EQ(take(), Lines{});
}

TEST_F(SoundOutput, PrimaryFormatAsksForTheRateAndADeviceNeedsAnOutput) {
    IDirectSound3DListener8* listener = makeListener();
    WAVEFORMATEX mix{WAVE_FORMAT_PCM, 2, 22050, 88200, 4, 16, 0};
    take();
    ASSERT_EQ(primary->SetFormat(&mix), DS_OK);
    mix.wBitsPerSample = 12;
    EXPECT_EQ(primary->SetFormat(&mix), DSERR_BADFORMAT);
    EXPECT_EQ(take(), Lines{batch("rate 22050")});
    listener->Release();

    failNextOutputOpen();
    IDirectSound8* none = reinterpret_cast<IDirectSound8*>(1);
    EXPECT_EQ(DirectSoundCreate8(nullptr, &none, nullptr), DSERR_NODRIVER);
    EXPECT_EQ(none, nullptr);
}

} // namespace
