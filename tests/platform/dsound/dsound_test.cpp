// DirectSound 8 of the layer on OpenAL Soft (its null output under the tests), checked
// through the interfaces' own getters: buffers, duplicates sharing samples, volume, play
// state and positions, and the deferred 3-D settings of buffers and listener.
// Built for Windows too (tests/windows), where it checks the real APIs under Wine.
#include <dsound.h>

// The layer's counts of the sample stores and voices behind the buffers; Windows has none.
#ifndef _WIN32
#include "platform/dsound/dsound_stats.h"
#endif

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "support/test_sound.h"

namespace {

class DirectSound : public SoundDeviceTest {
protected:
    IDirectSoundBuffer* makeBuffer(DWORD bytes, DWORD flags = masterFlags,
                                   WAVEFORMATEX format = monoFormat()) {
        return makeSoundBuffer(device, bytes, flags, format);
    }

    IDirectSound3DListener8* makeListener(IDirectSoundBuffer** primary) {
        DSBUFFERDESC description{};
        description.dwSize = sizeof description;
        description.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D;
        EXPECT_EQ(device->CreateSoundBuffer(&description, primary, nullptr), DS_OK);
        IDirectSound3DListener8* listener = nullptr;
        EXPECT_EQ((*primary)->QueryInterface(IID_IDirectSound3DListener8,
                                             reinterpret_cast<void**>(&listener)),
                  DS_OK);
        return listener;
    }

    // The play state; where a deferred-location buffer is mixed is the implementation's
    // choice (Wine reports software mixing at all times), so that bit is left out.
    static DWORD status(IDirectSoundBuffer* buffer) {
        DWORD s = 0xFFFF;
        EXPECT_EQ(buffer->GetStatus(&s), DS_OK);
        return s & ~DWORD(DSBSTATUS_LOCSOFTWARE);
    }

    // The buffer's flags as created; Wine adds where it mixes the buffer.
    static DWORD createdFlags(const DSBCAPS& caps) {
        return caps.dwFlags & ~DWORD(DSBCAPS_LOCSOFTWARE);
    }
};

void expectVector(const D3DVECTOR& v, float x, float y, float z) {
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, z);
}

TEST_F(DirectSound, SecondaryBufferReportsItsCapsAndFormat) {
    IDirectSoundBuffer* buffer = makeBuffer(4410);
    ASSERT_NE(buffer, nullptr);
    DSBCAPS caps{};
    caps.dwSize = sizeof caps;
    ASSERT_EQ(buffer->GetCaps(&caps), DS_OK);
    EXPECT_EQ(createdFlags(caps), masterFlags);
    EXPECT_EQ(caps.dwBufferBytes, 4410u);
    caps.dwSize = 8;
    EXPECT_EQ(buffer->GetCaps(&caps), DSERR_INVALIDPARAM);

    WAVEFORMATEX format{};
    DWORD written = 0;
    ASSERT_EQ(buffer->GetFormat(&format, sizeof format, &written), DS_OK);
    EXPECT_EQ(written, sizeof(WAVEFORMATEX));
    EXPECT_EQ(format.nSamplesPerSec, 22050u);
    EXPECT_EQ(format.nChannels, 1);
    EXPECT_EQ(buffer->Release(), 0u);
}

TEST_F(DirectSound, CreationRefusesBadDescriptions) {
    WAVEFORMATEX format = monoFormat();
    DSBUFFERDESC description{};
    description.dwSize = sizeof description;
    description.dwFlags = masterFlags;
    description.lpwfxFormat = &format;
    IDirectSoundBuffer* buffer = reinterpret_cast<IDirectSoundBuffer*>(1);

    description.dwBufferBytes = 0; // below DSBSIZE_MIN
    EXPECT_EQ(device->CreateSoundBuffer(&description, &buffer, nullptr), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer, nullptr);
    description.dwBufferBytes = 100;
    // A format the mixer cannot play gives the documented DSERR_BADFORMAT here; Wine answers
    // E_NOTIMPL for a compressed one and DSERR_INVALIDPARAM for a wrong block size.
    format.wFormatTag = 0x55; // compressed, which the mixer cannot play
#ifdef _WIN32
    EXPECT_LT(device->CreateSoundBuffer(&description, &buffer, nullptr), 0);
#else
    EXPECT_EQ(device->CreateSoundBuffer(&description, &buffer, nullptr), DSERR_BADFORMAT);
#endif
    format = monoFormat();
    format.nBlockAlign = 3;
#ifdef _WIN32
    EXPECT_LT(device->CreateSoundBuffer(&description, &buffer, nullptr), 0);
#else
    EXPECT_EQ(device->CreateSoundBuffer(&description, &buffer, nullptr), DSERR_BADFORMAT);
#endif
    description.dwSize = 12;
    EXPECT_EQ(device->CreateSoundBuffer(&description, &buffer, nullptr), DSERR_INVALIDPARAM);
#ifndef _WIN32
    EXPECT_EQ(liveSoundSources(), 0);
    EXPECT_EQ(liveSoundSampleBuffers(), 0);
#endif
}

TEST_F(DirectSound, VolumeOutsideTheRangeIsRefusedAndChangesNothing) {
    IDirectSoundBuffer* buffer = makeBuffer(400);
    LONG volume = 1;
    ASSERT_EQ(buffer->GetVolume(&volume), DS_OK);
    EXPECT_EQ(volume, 0);
    EXPECT_EQ(buffer->SetVolume(-2162), DS_OK);
    EXPECT_EQ(buffer->SetVolume(-22104), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->SetVolume(1), DSERR_INVALIDPARAM);
    buffer->GetVolume(&volume);
    EXPECT_EQ(volume, -2162);
    EXPECT_EQ(buffer->SetVolume(DSBVOLUME_MIN), DS_OK);
    buffer->GetVolume(&volume);
    EXPECT_EQ(volume, DSBVOLUME_MIN);
    buffer->Release();

    // Without volume control there is no volume to set.
    IDirectSoundBuffer* plain = makeBuffer(400, DSBCAPS_CTRL3D);
    EXPECT_EQ(plain->SetVolume(0), DSERR_CONTROLUNAVAIL);
    plain->Release();
}

TEST_F(DirectSound, LockGivesTheSampleMemoryAndWrapsAtTheEnd) {
    IDirectSoundBuffer* buffer = makeBuffer(1000);
    LPVOID p1 = nullptr, p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    ASSERT_EQ(buffer->Lock(0, 0, &p1, &n1, nullptr, nullptr, DSBLOCK_ENTIREBUFFER), DS_OK);
    EXPECT_EQ(n1, 1000u);
    std::memset(p1, 0x11, n1);
    EXPECT_EQ(buffer->Unlock(p1, n1, nullptr, 0), DS_OK);
    char* start = static_cast<char*>(p1);

    ASSERT_EQ(buffer->Lock(900, 300, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(p1, start + 900);
    EXPECT_EQ(n1, 100u);
    EXPECT_EQ(p2, start);
    EXPECT_EQ(n2, 200u);
    EXPECT_EQ(buffer->Unlock(p1, n1, p2, n2), DS_OK);
    EXPECT_EQ(buffer->Lock(1000, 10, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Lock(0, 1001, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    // Regions that are not the buffer's own are refused.
    char elsewhere[16];
    EXPECT_EQ(buffer->Unlock(elsewhere, 16, nullptr, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->Unlock(start + 990, 20, nullptr, 0), DSERR_INVALIDPARAM);
    buffer->Release();
}

TEST_F(DirectSound, DuplicatesShareSamplesAndPlayIndependently) {
    IDirectSoundBuffer* master = makeBuffer(44100); // one second
    ASSERT_EQ(master->SetVolume(-300), DS_OK);
    IDirectSoundBuffer* first = nullptr;
    IDirectSoundBuffer* second = nullptr;
    ASSERT_EQ(device->DuplicateSoundBuffer(master, &first), DS_OK);
    ASSERT_EQ(device->DuplicateSoundBuffer(master, &second), DS_OK);
#ifndef _WIN32
    EXPECT_EQ(liveSoundSampleBuffers(), 1);
    EXPECT_EQ(liveSoundSources(), 3);
#endif

    LONG volume = 0;
    first->GetVolume(&volume);
    EXPECT_EQ(volume, -300);
    DSBCAPS caps{};
    caps.dwSize = sizeof caps;
    first->GetCaps(&caps);
    EXPECT_EQ(createdFlags(caps), masterFlags);
    EXPECT_EQ(caps.dwBufferBytes, 44100u);

    first->SetVolume(-1000);
    master->GetVolume(&volume);
    EXPECT_EQ(volume, -300);
    ASSERT_EQ(first->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    ASSERT_EQ(second->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(status(first), DWORD(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));
    EXPECT_EQ(status(second), DWORD(DSBSTATUS_PLAYING));
    EXPECT_EQ(status(master), 0u);
    EXPECT_EQ(second->Stop(), DS_OK);
    EXPECT_EQ(status(second), 0u);
    EXPECT_EQ(status(first), DWORD(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));

    // Releasing the master leaves the duplicates' samples alive.
    EXPECT_EQ(master->Release(), 0u);
#ifndef _WIN32
    EXPECT_EQ(liveSoundSampleBuffers(), 1);
#endif
    EXPECT_EQ(status(first), DWORD(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));
    first->Release();
    second->Release();
#ifndef _WIN32
    EXPECT_EQ(liveSoundSampleBuffers(), 0);
    EXPECT_EQ(liveSoundSources(), 0);
#endif
}

TEST_F(DirectSound, PositionIsSetAlignedKeptWhileStoppedAndRunsOutOnce) {
    IDirectSoundBuffer* buffer = makeBuffer(2000); // 1000 samples: 45 ms
    DWORD play = 1, write = 1;
    ASSERT_EQ(buffer->GetCurrentPosition(&play, &write), DS_OK);
    EXPECT_EQ(play, 0u);
    EXPECT_EQ(buffer->SetCurrentPosition(1501), DS_OK);
    buffer->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, 1500u);
    // Past the end is refused and changes nothing; Wine takes it modulo the buffer's size.
#ifndef _WIN32
    EXPECT_EQ(buffer->SetCurrentPosition(2000), DSERR_INVALIDPARAM);
    buffer->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, 1500u);
#endif

    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    buffer->GetCurrentPosition(&play, nullptr);
    EXPECT_GE(play, 1500u);
    for (int wait = 0; wait < 100 && status(buffer) != 0; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(status(buffer), 0u); // played once to the end
    buffer->Release();
}

TEST_F(DirectSound, BufferPositionTakesEffectAtTheCommitWhenDeferred) {
    IDirectSoundBuffer* primary = nullptr;
    IDirectSound3DListener8* listener = makeListener(&primary);
    IDirectSoundBuffer* buffer = makeBuffer(400);
    IDirectSound3DBuffer8* buffer3D = nullptr;
    ASSERT_EQ(
        buffer->QueryInterface(IID_IDirectSound3DBuffer8, reinterpret_cast<void**>(&buffer3D)),
        DS_OK);
    D3DVECTOR position{};
    D3DVALUE distance = 0;
    ASSERT_EQ(buffer3D->GetMinDistance(&distance), DS_OK);
    EXPECT_FLOAT_EQ(distance, DS3D_DEFAULTMINDISTANCE);
    ASSERT_EQ(buffer3D->GetMaxDistance(&distance), DS_OK);
    EXPECT_FLOAT_EQ(distance, DS3D_DEFAULTMAXDISTANCE);

    // Until the commit the getter reports the position in effect; Wine reports the pending one.
    ASSERT_EQ(buffer3D->SetPosition(1.5f, 0.0f, -2.5f, DS3D_DEFERRED), DS_OK);
#ifndef _WIN32
    buffer3D->GetPosition(&position);
    expectVector(position, 0.0f, 0.0f, 0.0f);
#endif
    ASSERT_EQ(listener->CommitDeferredSettings(), DS_OK);
    buffer3D->GetPosition(&position);
    expectVector(position, 1.5f, 0.0f, -2.5f); // as set: the z flip is OpenAL's alone

    ASSERT_EQ(buffer3D->SetPosition(3.0f, 4.0f, 5.0f, DS3D_IMMEDIATE), DS_OK);
    buffer3D->GetPosition(&position);
    expectVector(position, 3.0f, 4.0f, 5.0f);
    // Neither deferred nor immediate is refused here; Wine does not check the flag.
#ifndef _WIN32
    EXPECT_EQ(buffer3D->SetPosition(1.0f, 1.0f, 1.0f, 7), DSERR_INVALIDPARAM);
#endif

    // The buffer lives until both interfaces are released. The layer keeps one count for both;
    // Wine counts each interface apart, as COM allows.
#ifdef _WIN32
    EXPECT_EQ(buffer->Release(), 0u);
#else
    EXPECT_EQ(buffer->Release(), 1u);
#endif
#ifndef _WIN32
    EXPECT_EQ(liveSoundSources(), 1);
#endif
    EXPECT_EQ(buffer3D->Release(), 0u);
#ifndef _WIN32
    EXPECT_EQ(liveSoundSources(), 0);
#endif
    listener->Release();
    primary->Release();
}

TEST_F(DirectSound, ListenerSettingsWaitForTheCommitWhenDeferred) {
    IDirectSoundBuffer* primary = nullptr;
    IDirectSound3DListener8* listener = makeListener(&primary);
    D3DVECTOR position{}, front{}, top{};
    ASSERT_EQ(listener->GetOrientation(&front, &top), DS_OK);
    expectVector(front, 0.0f, 0.0f, 1.0f);
    expectVector(top, 0.0f, 1.0f, 0.0f);

    ASSERT_EQ(listener->SetPosition(1.0f, 2.0f, 3.0f, DS3D_DEFERRED), DS_OK);
    ASSERT_EQ(listener->SetOrientation(-300.0f, -100.0f, 250.0f, 0.0f, 1.0f, 0.0f, DS3D_DEFERRED),
              DS_OK);
    // Until the commit the getters report the settings in effect; Wine reports pending ones.
#ifndef _WIN32
    listener->GetPosition(&position);
    expectVector(position, 0.0f, 0.0f, 0.0f);
    listener->GetOrientation(&front, &top);
    expectVector(front, 0.0f, 0.0f, 1.0f);
#endif
    ASSERT_EQ(listener->CommitDeferredSettings(), DS_OK);
    listener->GetPosition(&position);
    expectVector(position, 1.0f, 2.0f, 3.0f);
    listener->GetOrientation(&front, &top);
    expectVector(front, -300.0f, -100.0f, 250.0f); // neither normalised nor flipped
    expectVector(top, 0.0f, 1.0f, 0.0f);

    D3DVALUE factor = -1.0f;
    ASSERT_EQ(listener->SetRolloffFactor(2.0f, DS3D_IMMEDIATE), DS_OK);
    ASSERT_EQ(listener->SetDopplerFactor(0.0f, DS3D_IMMEDIATE), DS_OK);
    listener->GetRolloffFactor(&factor);
    EXPECT_FLOAT_EQ(factor, 2.0f);
    listener->GetDopplerFactor(&factor);
    EXPECT_FLOAT_EQ(factor, 0.0f);
    // A factor beyond DS3D_MAXROLLOFFFACTOR is refused here; Wine takes any value.
#ifndef _WIN32
    EXPECT_EQ(listener->SetRolloffFactor(11.0f, DS3D_IMMEDIATE), DSERR_INVALIDPARAM);
    listener->GetRolloffFactor(&factor);
    EXPECT_FLOAT_EQ(factor, 2.0f);
#endif
    ASSERT_EQ(listener->SetRolloffFactor(1.0f, DS3D_DEFERRED), DS_OK);
#ifndef _WIN32
    listener->GetRolloffFactor(&factor);
    EXPECT_FLOAT_EQ(factor, 2.0f);
#endif
    listener->CommitDeferredSettings();
    listener->GetRolloffFactor(&factor);
    EXPECT_FLOAT_EQ(factor, 1.0f);
    listener->Release();
    primary->Release();
}

TEST_F(DirectSound, PrimaryBufferKeepsTheOutputFormatItWasGiven) {
    IDirectSoundBuffer* primary = nullptr;
    IDirectSound3DListener8* listener = makeListener(&primary);
    WAVEFORMATEX output{WAVE_FORMAT_PCM, 2, 22050, 88200, 4, 16, 0};
    EXPECT_EQ(primary->SetFormat(&output), DS_OK);
    WAVEFORMATEX reported{};
    ASSERT_EQ(primary->GetFormat(&reported, sizeof reported, nullptr), DS_OK);
    EXPECT_EQ(std::memcmp(&reported, &output, sizeof output), 0);
    // A secondary buffer has no listener; a primary buffer has no 3-D buffer interface.
    IDirectSoundBuffer* buffer = makeBuffer(400);
    void* object = nullptr;
    EXPECT_EQ(buffer->QueryInterface(IID_IDirectSound3DListener8, &object), E_NOINTERFACE);
    EXPECT_EQ(primary->QueryInterface(IID_IDirectSound3DBuffer8, &object), E_NOINTERFACE);
    IDirectSoundBuffer* duplicate = nullptr;
    EXPECT_NE(device->DuplicateSoundBuffer(primary, &duplicate), DS_OK);
    EXPECT_EQ(duplicate, nullptr);
    buffer->Release();
    listener->Release();
    EXPECT_EQ(primary->Release(), 0u);
}

// The layer keeps a buffer working after its device object is released; on Windows that
// release frees the buffers with the device (Wine crashes on the next call), so this use is
// the layer's own.
#ifndef _WIN32
TEST_F(DirectSound, BuffersOutliveTheDeviceObjectThatMadeThem) {
    IDirectSoundBuffer* buffer = makeBuffer(400);
    EXPECT_EQ(device->Release(), 0u);
    device = nullptr;
    EXPECT_EQ(buffer->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    EXPECT_EQ(status(buffer), DWORD(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));
    EXPECT_EQ(buffer->Release(), 0u);
#ifndef _WIN32
    EXPECT_EQ(liveSoundSources(), 0);
#endif
}
#endif

} // namespace
