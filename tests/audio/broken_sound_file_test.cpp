// Sound files cut short or damaged: the master is not kept, and a train built without its
// masters stays silent through placement, switching and clearing.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>

#include <unistd.h>

#include "app/application_state.h"
#include "audio/sound_device.h"
#include "audio/sound_emitter.h"
#include "platform/dsound/dsound_stats.h"
#include "support/scene_setup.h"
#include "sim/train.h"
#include "support/hidden_window.h"
#include "support/program_sound.h"
#include "support/release.h"
#include "support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;

// Files this process holds open.
int countOpenFiles() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

// The sound device of the test, except that making a buffer first cuts `file` down to its
// header and 1000 bytes: the samples the file announced are gone when they are read.
struct CuttingSoundDevice final : IDirectSound8 {
    IDirectSound8* inner;
    fs::path file;

    CuttingSoundDevice(IDirectSound8* inner, fs::path file) : inner(inner), file(std::move(file)) {}
    HRESULT QueryInterface(REFIID riid, void** object) override {
        return inner->QueryInterface(riid, object);
    }
    ULONG AddRef() override { return inner->AddRef(); }
    ULONG Release() override { return inner->Release(); }
    HRESULT CreateSoundBuffer(LPCDSBUFFERDESC description, LPDIRECTSOUNDBUFFER* buffer,
                              LPUNKNOWN outer) override {
        fs::resize_file(file, 44 + 1000);
        return inner->CreateSoundBuffer(description, buffer, outer);
    }
    HRESULT DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER original,
                                 LPDIRECTSOUNDBUFFER* duplicate) override {
        return inner->DuplicateSoundBuffer(original, duplicate);
    }
    HRESULT SetCooperativeLevel(HWND window, DWORD level) override {
        return inner->SetCooperativeLevel(window, level);
    }
};

// Runs in a temporary folder whose `Meshes` folder holds copies of the two sounds, the first
// `keptBytes` bytes of each (all of them when keptBytes is negative).
class BrokenSoundFile : public ::testing::Test {
protected:
    void SetUp() override {
        original = fs::current_path();
        fs::create_directories(folder / "Meshes");
        createProgramSound();
        ensureSceneTypes();
        train.clear();
        appState.passengerTrain = false;
    }

    void TearDown() override {
        train.clear();
        releaseProgramSound();
    }

    void copySound(const std::string& name, long keptBytes) {
        fs::path target = folder / "Meshes" / name;
        fs::copy_file(original / "meshes" / name, target);
        if (keptBytes >= 0)
            fs::resize_file(target, static_cast<uintmax_t>(keptBytes));
    }

    fs::path original;
    ScratchFolder scratch;
    const fs::path& folder = scratch.path;
};

} // namespace

TEST_F(BrokenSoundFile, CutShortOrHeaderOnlyGivesNoMaster) {
    // 44 bytes are the header alone: the data chunk declares samples the file doesn't hold.
    copySound("Stuk.wav", 44);
    copySound("TrainBackground.wav", 90000);
    scratch.enter();
    appState.clackSound = nullptr;
    appState.runningSound = nullptr;
    int openFiles = countOpenFiles();
    EXPECT_EQ(loadSound("Stuk.wav", &appState.clackSound), E_FAIL);
    EXPECT_EQ(loadSound("TrainBackground.wav", &appState.runningSound), E_FAIL);
    // Neither file is left open.
    EXPECT_EQ(countOpenFiles(), openFiles);
    EXPECT_EQ(appState.clackSound, nullptr);
    EXPECT_EQ(appState.runningSound, nullptr);
    EXPECT_EQ(liveSoundSources(), 0);
    EXPECT_EQ(liveSoundSampleBuffers(), 0);
}

TEST_F(BrokenSoundFile, FileCutShortWhileItLoadsGivesNoMaster) {
    // The file is whole when it is opened and loses its samples before they are read.
    copySound("TrainBackground.wav", -1);
    scratch.enter();
    CuttingSoundDevice cutting(appState.soundDevice, folder / "Meshes" / "TrainBackground.wav");
    IDirectSound8* device = appState.soundDevice;
    appState.soundDevice = &cutting;
    appState.runningSound = nullptr;
    HRESULT result = loadSound("TrainBackground.wav", &appState.runningSound);
    appState.soundDevice = device;
    EXPECT_EQ(result, E_FAIL);
    // The master made for it is released and its slot left empty.
    EXPECT_EQ(appState.runningSound, nullptr);
    EXPECT_EQ(liveSoundSampleBuffers(), 0);
}

TEST_F(BrokenSoundFile, TrainWithOneMasterMissingPlaysOnlyTheOther) {
    copySound("Stuk.wav", -1);
    copySound("TrainBackground.wav", 1000);
    scratch.enter();
    ASSERT_EQ(loadSound("Stuk.wav", &appState.clackSound), S_OK);
    EXPECT_EQ(loadSound("TrainBackground.wav", &appState.runningSound), E_FAIL);

    train.speed = 2000.0;
    buildConsist();
    train.place(3000.0, false);
    train.place(3300.0, true); // past a rail joint: the axles clack
    Bogie* bogie = train.cars[0]->frontBogie;
    EXPECT_EQ(bogie->runningBuffer, nullptr);
    EXPECT_EQ(bogie->running3D, nullptr);
    ASSERT_NE(bogie->leadingAxle, nullptr);
    ASSERT_NE(bogie->leadingAxle->buffer, nullptr);
    // The clack master and the freight train's 40 clacks; no running noise.
    EXPECT_EQ(liveSoundSources(), 1 + 40);
    toggleTrainType();
    EXPECT_EQ(liveSoundSources(), 1 + 16);
    train.place(6000.0, true);
}
