// hud_test.cpp: the overlay layout built by buildHud, the frame-rate counter and the speed
// and target-speed readouts.
#include "graphics/hud.h"
#include "app/scene_objects.h"

#include <gtest/gtest.h>
#include <string>

namespace {

struct ExpectedItem {
    INT group;
    INT row;
    const char* label;
    const char* value;
};

class HudTest : public ::testing::Test {
protected:
    void SetUp() override {
        buildHud();
        savedSpeed = train.speed;
    }
    void TearDown() override {
        train.speed = savedSpeed;
        delete appState.overlay;
        appState.overlay = nullptr;
    }
    double savedSpeed = 0.0;
};

TEST_F(HudTest, LayoutHasTheFiveColumnsAndTheirTexts) {
    TextOverlay& overlay = *appState.overlay;
    EXPECT_EQ(overlay.topY, 665);
    EXPECT_EQ(overlay.lineHeight, 18);
    EXPECT_EQ(overlay.fontHeight, 18);
    EXPECT_EQ(overlay.colour, 0xA6D9F2FFu);
    ASSERT_EQ(overlay.count, 5);

    const INT xs[] = {10, 150, 400, 480, 760};
    const INT offsets[] = {0, 160, 0, 125, 90};
    const INT counts[] = {3, 2, 1, 3, 3};
    for (INT g = 0; g < 5; ++g) {
        EXPECT_EQ(overlay.groups[g]->x, xs[g]) << g;
        EXPECT_EQ(overlay.groups[g]->valueOffset, offsets[g]) << g;
        EXPECT_EQ(overlay.groups[g]->count, counts[g]) << g;
    }

    const ExpectedItem expected[] = {
        {0, 0, "FPS: ", "0"},
        {0, 1, "Car number: ", "1"},
        {0, 2, "", ""},
        {1, 0, "Speed (km/h): ", "0"},
        {1, 1, "Dest speed (km/h): ", "0"},
        {2, 0, "Controls:", ""},
        {3, 0, "Mouse", "- move camera"},
        {3, 1, "Mouse wheel", "- camera distance"},
        {3, 2, "Right/left arrows", "- select car"},
        {4, 0, "PgUp/PgDn", "- train speed control"},
        {4, 1, "Enter", "- toggle train type"},
        {4, 2, "ESC", "- exit"},
    };
    INT next[5] = {};
    for (const ExpectedItem& e : expected) {
        const TextItem& item = *overlay.groups[e.group]->items[next[e.group]++];
        EXPECT_EQ(item.row, e.row) << e.label;
        EXPECT_STREQ(item.label, e.label);
        EXPECT_STREQ(item.value, e.value);
    }

    EXPECT_EQ(fpsItem, overlay.groups[0]->items[0]);
    EXPECT_EQ(carNumberItem, overlay.groups[0]->items[1]);
    EXPECT_EQ(trainTypeItem, overlay.groups[0]->items[2]);
    EXPECT_EQ(speedItem, overlay.groups[1]->items[0]);
    EXPECT_EQ(targetSpeedItem, overlay.groups[1]->items[1]);
}

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

} // namespace
