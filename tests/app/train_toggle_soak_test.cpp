// Switching the train type many times on the program's own graphics and sound devices: every
// switch frees the old consist's sounds, and the shutdown release leaves no sound buffer or
// source behind. Under the sanitizer build LeakSanitizer checks the rest at process exit.
#include <gtest/gtest.h>

#include "app/application_state.h"
#include "app/release_all.h"
#include "app/render_frame.h"
#include "audio/sound_device.h"
#include "graphics/graphics_device.h"
#include "graphics/hud.h"
#include "platform/dsound/dsound_stats.h"
#include "support/scene_setup.h"
#include "sim/train.h"
#include "support/hidden_window.h"

TEST(TrainToggleSoak, ThousandSwitchesAndShutdownLeaveNothingBehind) {
    const int sourcesBefore = liveSoundSources();
    const int samplesBefore = liveSoundSampleBuffers();

    appState.mainWindow = soundTestWindow();
    ASSERT_EQ(createGraphicsDevice(), S_OK);
    ASSERT_EQ(createSoundDevice(), S_OK);
    buildHud();
    ASSERT_EQ(loadSound("Stuk.wav", &appState.clackSound), S_OK);
    ASSERT_EQ(loadSound("TrainBackground.wav", &appState.runningSound), S_OK);
    ensureSceneTypes();
    appState.passengerTrain = false;
    buildConsist();
    train.place(500.0, false);
    train.resetClock();
    train.speed = 711.1111450195312;
    train.targetSpeed = 2133.3334350585938;

    // Masters plus the freight train's 40 clacks and 20 running noises.
    const int freightSources = sourcesBefore + 2 + 60;
    EXPECT_EQ(liveSoundSources(), freightSources);
    for (int i = 1; i <= 1000; ++i) {
        toggleTrainType();
        // Frames between switches, as in the running program, though not after each one.
        if (i % 25 == 0) {
            renderFrame();
        }
        ASSERT_EQ(train.carCount, i % 2 == 1 ? 4 : 10) << "after switch " << i;
        ASSERT_EQ(liveSoundSources(), i % 2 == 1 ? sourcesBefore + 2 + 24 : freightSources)
            << "after switch " << i;
        ASSERT_EQ(liveSoundSampleBuffers(), samplesBefore + 2);
    }
    EXPECT_FALSE(appState.passengerTrain);

    releaseAll();
    EXPECT_EQ(train.carCount, 0);
    EXPECT_EQ(appState.overlay, nullptr);
    EXPECT_EQ(appState.graphicsDevice, nullptr);
    EXPECT_EQ(appState.soundDevice, nullptr);
    EXPECT_EQ(liveSoundSources(), sourcesBefore);
    EXPECT_EQ(liveSoundSampleBuffers(), samplesBefore);
}
