// program_sound.h: the program's own sound device for the system's tests: createSoundDevice
// on the hidden sound window, and at the end the release of the sounds and the device in
// appState, last made first, with the check that the layer's sound output holds nothing of
// them any more. Linux only: it reads the layer's own counts (dsound_stats.h).
#pragma once

#include <gtest/gtest.h>

#include "app/application_state.h"
#include "audio/sound_device.h"
#include "platform/dsound/dsound_stats.h"
#include "support/hidden_window.h"
#include "support/release.h"

// Makes the sound device as the program does; a failure ends the test. Call it from a
// function that returns nothing.
inline void createProgramSound() {
    appState.mainWindow = soundTestWindow();
    ASSERT_EQ(createSoundDevice(), S_OK);
}

inline void releaseProgramSound() {
    releaseInterface(appState.clackSound);
    releaseInterface(appState.runningSound);
    releaseInterface(appState.listener);
    releaseInterface(appState.primaryBuffer);
    releaseInterface(appState.soundDevice);
    EXPECT_EQ(liveSoundSources(), 0);
    EXPECT_EQ(liveSoundSampleBuffers(), 0);
}
