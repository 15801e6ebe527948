// The train's sound: the running-noise volume law and start offsets, the sound device and
// master sounds, and the bogies' duplicates as the train is built, placed, switched and
// cleared, checked through the sound interfaces' getters.
#include "audio/bogie_sound.h"
#include "audio/sound_device.h"
#include "audio/sound_emitter.h"
#include "audio/wave_file.h"

#include "platform/dsound/dsound_stats.h"

#include <gtest/gtest.h>

#include <AL/alc.h>
#include <AL/alext.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "support/scene_setup.h"
#include "support/app_state.h"
#include "support/hidden_window.h"
#include "support/program_sound.h"
#include "support/release.h"
#include "support/scratch_folder.h"

namespace {

double unitsPerSecond(double kilometresPerHour) {
    return kilometresPerHour / 0.028124998658895558;
}

TEST(RunningNoise, VolumeFollowsTheSpeed) {
    EXPECT_EQ(runningVolume(0.0), -22104);
    EXPECT_EQ(runningVolume(0.000001), -22104); // the floor, not the law's -22555
    EXPECT_EQ(runningVolume(35.5556), -5158);
    EXPECT_EQ(runningVolume(355.5556), -2856);
    EXPECT_EQ(runningVolume(711.1111), -2162);
    EXPECT_EQ(runningVolume(1066.6667), -1757);
    EXPECT_EQ(runningVolume(1422.2222), -1469);
    EXPECT_EQ(runningVolume(1777.7778), -1246);
    EXPECT_EQ(runningVolume(unitsPerSecond(54.9)), -1153);
    EXPECT_EQ(runningVolume(1955.555648803711), -1151);
    EXPECT_EQ(runningVolume(unitsPerSecond(100.0)), -1151);
    EXPECT_LT(runningVolume(0.28), DSBVOLUME_MIN);
    EXPECT_GE(runningVolume(0.281), DSBVOLUME_MIN);
}

TEST(RunningNoise, StartOffsetIsEvenAndBeforeTheEnd) {
    EXPECT_EQ(runningStartOffset(0, 100000), 0u);
    EXPECT_EQ(runningStartOffset(32767, 1000), 998u);
    EXPECT_EQ(runningStartOffset(32767, 1001), 998u); // an odd size counts as one less
    EXPECT_EQ(runningStartOffset(32767, 2), 0u);
    EXPECT_EQ(runningStartOffset(32767, 1), 0u);
    EXPECT_EQ(runningStartOffset(16384, 1000), 500u);
    for (int r : {1, 4097, 32766, 32767})
        EXPECT_EQ(runningStartOffset(r, 88201) % 2, 0u);
}

std::vector<Bogie*> bogies() {
    std::vector<Bogie*> all;
    for (INT k = 0; k < train.carCount; ++k) {
        all.push_back(train.cars[k]->frontBogie);
        all.push_back(train.cars[k]->rearBogie);
    }
    return all;
}

DWORD statusOf(IDirectSoundBuffer* buffer) {
    DWORD status = 0xFFFF;
    EXPECT_EQ(buffer->GetStatus(&status), DS_OK);
    return status;
}

LONG volumeOf(IDirectSoundBuffer* buffer) {
    LONG volume = 1;
    EXPECT_EQ(buffer->GetVolume(&volume), DS_OK);
    return volume;
}

DWORD playPosition(IDirectSoundBuffer* buffer) {
    DWORD position = 0xFFFFFFFF;
    EXPECT_EQ(buffer->GetCurrentPosition(&position, nullptr), DS_OK);
    return position;
}

// Holds the sound service's mixer still, so that play positions stay where they were set.
struct StillMixer {
    ALCdevice* device = alcGetContextsDevice(alcGetCurrentContext());
    StillMixer() {
        auto pause =
            reinterpret_cast<LPALCDEVICEPAUSESOFT>(alcGetProcAddress(device, "alcDevicePauseSOFT"));
        EXPECT_NE(pause, nullptr);
        if (pause)
            pause(device);
    }
    ~StillMixer() {
        auto resume = reinterpret_cast<LPALCDEVICERESUMESOFT>(
            alcGetProcAddress(device, "alcDeviceResumeSOFT"));
        if (resume)
            resume(device);
    }
};

class TrainSound : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureSceneTypes(); }

    void SetUp() override {
        appState.passengerTrain = false;
        train.clear();
        train.speed = 0.0;
        createProgramSound();
        ASSERT_EQ(loadSound("Stuk.wav", &appState.clackSound), S_OK);
        ASSERT_EQ(loadSound("TrainBackground.wav", &appState.runningSound), S_OK);
    }

    void TearDown() override {
        train.clear();
        releaseProgramSound();
    }
};

TEST(SoundDeviceSetUp, WithoutAWindowReportsTheCooperativeLevel) {
    const ApplicationState saved = setAppStateAside();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(createSoundDevice(), E_FAIL);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "Ошибка DirectSound (SetCooperativeLevel)\n");
    // What was made before the failing step is left for the shell to release.
    EXPECT_NE(appState.soundDevice, nullptr);
    EXPECT_EQ(appState.primaryBuffer, nullptr);
    releaseInterface(appState.soundDevice);
    appState = saved;
}

TEST_F(TrainSound, DeviceIsSetUpForTheScene) {
    D3DVALUE factor = -1.0f;
    appState.listener->GetRolloffFactor(&factor);
    EXPECT_FLOAT_EQ(factor, 1.0f);
    appState.listener->GetDopplerFactor(&factor);
    EXPECT_FLOAT_EQ(factor, 0.0f);
    WAVEFORMATEX output{};
    appState.primaryBuffer->GetFormat(&output, sizeof output, nullptr);
    EXPECT_EQ(output.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(output.nSamplesPerSec, 22050u);
    EXPECT_EQ(output.nChannels, 2);
    EXPECT_EQ(output.wBitsPerSample, 16);
    EXPECT_EQ(output.nBlockAlign, 4);
    EXPECT_EQ(output.nAvgBytesPerSec, 88200u);
    // The masters are 3-D buffers at full volume that never play themselves.
    DSBCAPS caps{};
    caps.dwSize = sizeof caps;
    appState.clackSound->GetCaps(&caps);
    EXPECT_EQ(caps.dwFlags,
              DWORD(DSBCAPS_CTRL3D | DSBCAPS_CTRLVOLUME | DSBCAPS_GLOBALFOCUS | DSBCAPS_LOCDEFER));
    EXPECT_EQ(volumeOf(appState.clackSound), 0);
    EXPECT_EQ(statusOf(appState.runningSound), 0u);
}

TEST_F(TrainSound, MastersHoldTheFilesSamples) {
    const std::pair<IDirectSoundBuffer*, const char*> masters[] = {
        {appState.clackSound, "Meshes\\Stuk.wav"},
        {appState.runningSound, "Meshes\\TrainBackground.wav"}};
    for (const auto& [master, path] : masters) {
        WaveFile wave;
        ASSERT_EQ(wave.open(path), S_OK);
        std::vector<BYTE> samples(wave.getDataSize());
        DWORD read = 0;
        ASSERT_EQ(wave.read(samples.data(), DWORD(samples.size()), &read), S_OK);
        LPVOID data = nullptr;
        DWORD bytes = 0;
        ASSERT_EQ(master->Lock(0, 0, &data, &bytes, nullptr, nullptr, DSBLOCK_ENTIREBUFFER), DS_OK);
        EXPECT_EQ(bytes, samples.size()) << path;
        EXPECT_TRUE(bytes == samples.size() && std::memcmp(data, samples.data(), bytes) == 0)
            << path;
        master->Unlock(data, bytes, nullptr, 0);
    }
}

TEST_F(TrainSound, MissingOrOverlongSoundNamesLeaveTheSlotEmpty) {
    IDirectSoundBuffer* slot = nullptr;
    EXPECT_EQ(loadSound("NoSuchSound.wav", &slot), E_FAIL);
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(loadSound((std::string(400, 'b') + ".wav").c_str(), &slot), E_FAIL);
    EXPECT_EQ(loadSound(nullptr, &slot), E_FAIL);
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(loadSound("Stuk.wav", nullptr), E_FAIL);
    // Without a device there is nothing to load into.
    IDirectSound8* device = appState.soundDevice;
    appState.soundDevice = nullptr;
    EXPECT_EQ(loadSound("Stuk.wav", &slot), E_FAIL);
    EXPECT_EQ(slot, nullptr);
    appState.soundDevice = device;
}

TEST_F(TrainSound, NamesOfUpToNinetyTwoCharactersLoad) {
    namespace fs = std::filesystem;
    fs::path original = fs::current_path();
    ScratchFolder scratch;
    fs::create_directories(scratch.path / "Meshes");
    std::string fits = std::string(88, 'a') + ".wav";
    std::string tooLong = std::string(89, 'a') + ".wav";
    for (const std::string& name : {fits, tooLong})
        fs::copy_file(original / "meshes" / "Stuk.wav", scratch.path / "Meshes" / name,
                      fs::copy_options::overwrite_existing);
    scratch.enter();
    IDirectSoundBuffer* slot = nullptr;
    EXPECT_EQ(loadSound(fits.c_str(), &slot), S_OK);
    EXPECT_NE(slot, nullptr);
    releaseInterface(slot);
    // The folder prefix of 7 characters and 93 more leave no room for the terminator.
    EXPECT_EQ(loadSound(tooLong.c_str(), &slot), E_FAIL);
    EXPECT_EQ(slot, nullptr);
}

TEST_F(TrainSound, EveryBogiesLoopStartsWhereItsDrawSays) {
    StillMixer still;
    std::srand(1);
    std::vector<int> draws;
    for (int k = 0; k < 20; ++k)
        draws.push_back(int(unsigned(std::rand()) / ((unsigned(RAND_MAX) + 1u) / 32768u)));
    std::srand(1);
    buildConsist();
    std::vector<Bogie*> all = bogies();
    ASSERT_EQ(all.size(), 20u);
    DSBCAPS caps{};
    caps.dwSize = sizeof caps;
    ASSERT_EQ(all[0]->runningBuffer->GetCaps(&caps), DS_OK);
    ASSERT_EQ(caps.dwBufferBytes, 176400u);
    // One draw per bogie, front then rear, car after car.
    for (size_t k = 0; k < all.size(); ++k)
        EXPECT_EQ(playPosition(all[k]->runningBuffer), runningStartOffset(draws[k], 176400)) << k;
    EXPECT_NE(draws[0], draws[1]);
}

TEST_F(TrainSound, AClackStillSoundingStartsAgainFromItsBeginning) {
    buildConsist();
    train.place(500.0, false);
    SoundEmitter* axle = train.cars[0]->frontBogie->leadingAxle;
    StillMixer still;
    axle->play();
    EXPECT_EQ(statusOf(axle->buffer), DWORD(DSBSTATUS_PLAYING));
    // As if it had sounded for a while.
    ASSERT_EQ(axle->buffer->SetCurrentPosition(4000), DS_OK);
    ASSERT_EQ(playPosition(axle->buffer), 4000u);
    axle->play();
    EXPECT_EQ(statusOf(axle->buffer), DWORD(DSBSTATUS_PLAYING));
    EXPECT_EQ(playPosition(axle->buffer), 0u);
}

TEST_F(TrainSound, RunningNoiseIsSilentAtRestAndFollowsTheSpeedFromTheBuildOn) {
    buildConsist();
    ASSERT_EQ(train.carCount, 10);
    for (Bogie* bogie : bogies()) {
        ASSERT_NE(bogie->runningBuffer, nullptr);
        EXPECT_EQ(volumeOf(bogie->runningBuffer), DSBVOLUME_MIN);
        EXPECT_EQ(statusOf(bogie->runningBuffer), DWORD(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));
    }
    train.speed = unitsPerSecond(20.0);
    train.place(500.0, false);
    for (Bogie* bogie : bogies())
        EXPECT_EQ(volumeOf(bogie->runningBuffer), -2162);
    // A train built while moving starts at the volume of its speed.
    train.clear();
    buildConsist();
    for (Bogie* bogie : bogies())
        EXPECT_EQ(volumeOf(bogie->runningBuffer), -2162);
    train.place(500.0, false);
    // Slowing to rest keeps the last volume that was accepted.
    train.speed = 0.0;
    train.place(510.0, true);
    for (Bogie* bogie : bogies())
        EXPECT_EQ(volumeOf(bogie->runningBuffer), -2162);
}

TEST_F(TrainSound, BothTrainsPlayFromTheTwoMastersSamples) {
    buildConsist();
    EXPECT_EQ(liveSoundSampleBuffers(), 2);
    EXPECT_EQ(liveSoundSources(), 2 + 40 + 20);
    toggleTrainType();
    EXPECT_EQ(train.carCount, 4);
    EXPECT_EQ(liveSoundSampleBuffers(), 2);
    EXPECT_EQ(liveSoundSources(), 2 + 16 + 8);
}

TEST_F(TrainSound, SwitchingTrainsStopsEverySoundOfTheOldTrainAtOnce) {
    buildConsist();
    train.place(500.0, false);
    Bogie* bogie = train.cars[3]->rearBogie;
    IDirectSoundBuffer* oldRunning = bogie->runningBuffer;
    IDirectSoundBuffer* oldClack = bogie->leadingAxle->buffer;
    oldRunning->AddRef();
    oldClack->AddRef();
    bogie->leadingAxle->play();
    EXPECT_EQ(statusOf(oldClack), DWORD(DSBSTATUS_PLAYING));

    toggleTrainType();
    EXPECT_EQ(statusOf(oldRunning), 0u);
    EXPECT_EQ(statusOf(oldClack), 0u);
    for (Bogie* b : bogies())
        EXPECT_EQ(statusOf(b->runningBuffer), DWORD(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));
    oldRunning->Release();
    oldClack->Release();
}

TEST_F(TrainSound, AxlesClackAtRailJointsOnlyWhenClacksAreOn) {
    train.speed = unitsPerSecond(60.0);
    buildConsist();
    auto anyClack = [] {
        for (Bogie* b : bogies())
            for (SoundEmitter* axle : {b->leadingAxle, b->trailingAxle})
                if (statusOf(axle->buffer) != 0)
                    return true;
        return false;
    };
    // The rail joint at 3200: the front bogie's leading axle is half a wheelbase ahead.
    train.place(3200.0 - 120.0 - 10.0, false);
    train.place(3200.0 - 120.0 + 10.0, false);
    EXPECT_FALSE(anyClack());
    train.place(3200.0 - 120.0 + 15.0, true); // tests only from the stored position
    EXPECT_FALSE(anyClack());

    SoundEmitter* trailing = train.cars[0]->frontBogie->trailingAxle;
    D3DVECTOR before{};
    trailing->buffer3D->GetPosition(&before);
    train.place(3200.0 + 120.0 + 5.0, true);
    EXPECT_EQ(statusOf(trailing->buffer), DWORD(DSBSTATUS_PLAYING));
    EXPECT_EQ(statusOf(train.cars[0]->frontBogie->leadingAxle->buffer), 0u);

    // The clack's place takes effect with the frame's commit.
    D3DVECTOR position{};
    trailing->buffer3D->GetPosition(&position);
    EXPECT_FLOAT_EQ(position.x, before.x);
    appState.listener->CommitDeferredSettings();
    trailing->buffer3D->GetPosition(&position);
    TrackPoint point = track.segments[trailing->trackPosition.segmentIndex]->pointAt(
        trailing->trackPosition.offset);
    EXPECT_FLOAT_EQ(position.x, float(point.x * 0.00048828125));
    EXPECT_FLOAT_EQ(position.y, 0.0f);
    EXPECT_FLOAT_EQ(position.z, float(point.z * 0.00048828125));
}

TEST_F(TrainSound, MotionStepsClackAtJointsButTheSwitchDoesNot) {
    auto playing = [] {
        std::vector<SoundEmitter*> sounding;
        for (Bogie* b : bogies())
            for (SoundEmitter* axle : {b->leadingAxle, b->trailingAxle})
                if (statusOf(axle->buffer) != 0)
                    sounding.push_back(axle);
        return sounding;
    };
    buildConsist();
    // Car 0's leading axle 10 units before the rail joint at 3200, 20 units per step.
    train.place(3200.0 - 120.0 - 10.0, false);
    train.speed = 1000.0;
    train.targetSpeed = 1000.0;
    train.resetClockAt(0);
    train.updateAt(20);
    std::vector<SoundEmitter*> sounding = playing();
    ASSERT_EQ(sounding.size(), 1u);
    EXPECT_EQ(sounding[0], train.cars[0]->frontBogie->leadingAxle);

    // The new train's axles come from the loop's start to beyond that joint, silently.
    toggleTrainType();
    EXPECT_TRUE(playing().empty());
    EXPECT_GT(train.cars[0]->frontBogie->leadingAxle->trackPosition.offset, 3200.0);
}

TEST_F(TrainSound, RunningNoiseFollowsTheBogieAtTheCommit) {
    train.speed = unitsPerSecond(30.0);
    buildConsist();
    train.place(2000.0, false);
    appState.listener->CommitDeferredSettings();
    for (Bogie* bogie : bogies()) {
        D3DVECTOR position{};
        bogie->running3D->GetPosition(&position);
        EXPECT_FLOAT_EQ(position.x, float(bogie->x * 0.00048828125));
        EXPECT_FLOAT_EQ(position.y, 0.0f);
        EXPECT_FLOAT_EQ(position.z, float(bogie->z * 0.00048828125));
        EXPECT_EQ(volumeOf(bogie->runningBuffer), -1757);
    }
}

TEST_F(TrainSound, TrainWithoutMastersStaysSilentAndSafe) {
    releaseInterface(appState.clackSound);
    releaseInterface(appState.runningSound);
    std::srand(1);
    std::vector<int> draws;
    for (int k = 0; k < 21; ++k)
        draws.push_back(std::rand());

    std::srand(1);
    train.speed = unitsPerSecond(60.0);
    buildConsist();
    for (Bogie* bogie : bogies()) {
        EXPECT_EQ(bogie->runningBuffer, nullptr);
        EXPECT_EQ(bogie->running3D, nullptr);
        ASSERT_NE(bogie->leadingAxle, nullptr);
        EXPECT_EQ(bogie->leadingAxle->buffer, nullptr);
        EXPECT_EQ(bogie->trailingAxle->buffer3D, nullptr);
    }
    // Every bogie still takes its one draw, so later draws do not shift.
    EXPECT_EQ(std::rand(), draws[20]);
    for (double distance = 0.0; distance < 20000.0; distance += 700.0)
        train.place(distance, true);
    toggleTrainType();
    train.place(900.0, true);
    appState.listener->CommitDeferredSettings();
    EXPECT_EQ(liveSoundSources(), 0);
}

} // namespace
