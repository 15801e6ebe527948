// test_sound.h: DirectSound for the API tests: the flags and format of the program's master
// sounds, making a secondary buffer, and SoundDeviceTest, which gives every test a DirectSound
// 8 device at the priority level on the hidden sound window and checks at the end that the
// test left no reference to it.
#pragma once

#include <windows.h>
#include <dsound.h>

#include <gtest/gtest.h>

#include "support/hidden_window.h"

// 3-D, volume, heard out of focus, placed when the mixer plays it: the masters' flags.
const DWORD masterFlags =
    DSBCAPS_CTRL3D | DSBCAPS_CTRLVOLUME | DSBCAPS_GLOBALFOCUS | DSBCAPS_LOCDEFER;

inline WAVEFORMATEX monoFormat(DWORD rate = 22050) {
    return {WAVE_FORMAT_PCM, 1, rate, rate * 2, 2, 16, 0};
}

// A buffer of `bytes` made on the device; a refusal fails the test and gives null. A buffer
// without bytes (the primary buffer) has no format.
inline IDirectSoundBuffer* makeSoundBuffer(IDirectSound8* device, DWORD bytes,
                                           DWORD flags = masterFlags,
                                           WAVEFORMATEX format = monoFormat()) {
    DSBUFFERDESC description{};
    description.dwSize = sizeof description;
    description.dwFlags = flags;
    description.dwBufferBytes = bytes;
    description.lpwfxFormat = bytes != 0 ? &format : nullptr;
    IDirectSoundBuffer* buffer = nullptr;
    EXPECT_EQ(device->CreateSoundBuffer(&description, &buffer, nullptr), DS_OK);
    return buffer;
}

class SoundDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(DirectSoundCreate8(nullptr, &device, nullptr), DS_OK);
        ASSERT_EQ(device->SetCooperativeLevel(soundTestWindow(), DSSCL_PRIORITY), DS_OK);
    }
    void TearDown() override {
        if (device != nullptr) {
            EXPECT_EQ(device->Release(), 0u) << "references to the sound device left behind";
        }
    }

    IDirectSound8* device = nullptr;
};
