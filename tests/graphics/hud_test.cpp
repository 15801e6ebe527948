// hud_test.cpp: the frame-rate counter and the speed and target-speed readouts of the HUD.
#include "graphics/hud.h"
#include "app/scene_objects.h"

#include <gtest/gtest.h>

namespace {

class HudTest : public ::testing::Test {
protected:
    void SetUp() override {
        buildHud();
        savedSpeed = train.speed;
    }
    void TearDown() override {
        train.speed = savedSpeed;
        releaseHud();
    }
    double savedSpeed = 0.0;
};

TEST_F(HudTest, FrameRateIsRecomputedEvery500Milliseconds) {
    appState.framesPerSecond = 0.0;
    appState.frameCount = 0;
    appState.lastFpsTime = 10000;

    // Frames within the first 499 ms only raise the count; the first frame shows "0.0".
    for (DWORD t = 0; t < 28; ++t)
        updateReadoutsAt(10000 + t * 17);
    updateReadoutsAt(10499);
    EXPECT_EQ(appState.frameCount, 29);
    EXPECT_EQ(appState.lastFpsTime, 10000u);
    EXPECT_STREQ(fpsItem->value, "0.0");

    // The 30th frame, exactly 500 ms after the last computation: 30 frames in 500 ms.
    updateReadoutsAt(10500);
    EXPECT_STREQ(fpsItem->value, "60.0");
    EXPECT_EQ(appState.frameCount, 0);
    EXPECT_EQ(appState.lastFpsTime, 10500u);

    // The rate stays shown until the next computation.
    updateReadoutsAt(10600);
    EXPECT_STREQ(fpsItem->value, "60.0");
    EXPECT_EQ(appState.frameCount, 1);
}

TEST_F(HudTest, FrameRateSurvivesTheTimerWrapping) {
    appState.frameCount = 0;
    appState.lastFpsTime = 0xFFFFFF00u;
    for (int i = 0; i < 9; ++i)
        updateReadoutsAt(0xFFFFFF00u + 10 * i);
    EXPECT_EQ(appState.frameCount, 9);
    updateReadoutsAt(0x000000F4u); // 500 ms after the last computation, across the wrap
    EXPECT_EQ(appState.frameCount, 0);
    EXPECT_DOUBLE_EQ(appState.framesPerSecond, 20.0);
    EXPECT_STREQ(fpsItem->value, "20.0");
}

TEST_F(HudTest, SpeedReadoutsShowKilometresPerHour) {
    train.speed = 711.1111450195312;
    updateReadoutsAt(appState.lastFpsTime);
    EXPECT_STREQ(speedItem->value, "20.0");
    train.speed = 3555.5557250976562;
    updateReadoutsAt(appState.lastFpsTime);
    EXPECT_STREQ(speedItem->value, "100.0");

    showTargetSpeed(60.0);
    EXPECT_STREQ(targetSpeedItem->value, "60.0");
}

TEST_F(HudTest, ReleasingTheHudLeavesNoDanglingHandles) {
    releaseHud();
    EXPECT_EQ(appState.overlay, nullptr);
    for (TextItem* item : {fpsItem, carNumberItem, trainTypeItem, speedItem, targetSpeedItem})
        EXPECT_EQ(item, nullptr);
    // Writers keep working without an overlay.
    updateReadoutsAt(appState.lastFpsTime);
    showTargetSpeed(60.0);
    releaseHud();
}

} // namespace
