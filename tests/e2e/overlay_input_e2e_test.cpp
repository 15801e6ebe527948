// overlay_input_e2e_test.cpp: the real program driven as a person would, with xdotool under
// the X server: the overlay's text in its rows at the bottom of the window, the speed, car and
// train keys, the mouse and wheel, a focus change to another window and back, and Escape.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include <signal.h>
#include <sys/wait.h>

#include "support/program_runner.h"
#include "support/x_display.h"

namespace {

constexpr int topY = 665;
constexpr int lineHeight = 18;
// 0xD9F2FF at alpha 166/255.
constexpr double textAlpha = 166.0 / 255.0;
constexpr int textColour[3] = {0xD9, 0xF2, 0xFF};

// Types a key `times` times and lets the program draw what follows.
void typeKeyAndSettle(unsigned long window, const char* name, int times = 1) {
    typeKey(window, name, times);
    pause(400);
}

void focus(unsigned long window) {
    xdotool("windowfocus --sync " + std::to_string(window));
    pause(500);
}

int channel(uint32_t pixel, int c) {
    return (pixel >> (16 - 8 * c)) & 0xFF;
}

// Overlay text is bright and blue-white; the grass and the dark scene behind it are not.
bool isText(uint32_t pixel) {
    return channel(pixel, 2) >= 110 && channel(pixel, 0) >= 90;
}

struct Extent {
    int left;
    int right;
    bool operator==(const Extent&) const = default;
};

// The columns of [left, right) that hold text in the body of a row (clear of the row above's
// descenders), first and last; nothing when the row is empty there.
std::optional<Extent> inkExtent(const WindowPicture& picture, int row, int left, int right) {
    int top = topY + lineHeight * row;
    std::optional<Extent> extent;
    for (int x = left; x < right && x < picture.width; ++x)
        for (int y = top + 4; y < top + lineHeight - 2 && y < picture.height; ++y)
            if (isText(picture.at(x, y))) {
                extent = Extent{extent ? extent->left : x, x};
                break;
            }
    return extent;
}

int widthOf(const std::optional<Extent>& extent) {
    return extent ? extent->right : -1;
}

// Another program's window, started and ended by the test.
class OtherWindow {
public:
    OtherWindow() {
        FILE* shell = popen("xmessage -geometry +300+300 'another window' >/dev/null 2>&1 & "
                            "echo $!",
                            "r");
        if (shell && fscanf(shell, "%d", &pid) != 1)
            pid = -1;
        if (shell)
            pclose(shell);
    }
    ~OtherWindow() {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }

private:
    int pid = -1;
};

class OverlayInputEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(display.open());
        ASSERT_TRUE(program.started());
        window = display.findWindow("Varnel", 15000);
        ASSERT_NE(window, 0u) << program.errorOutput();
        // The scene loads after the window shows, slowly in the sanitizer build: wait for the
        // overlay's target speed rather than a fixed time.
        for (int wait = 0; wait < 300 && !targetReadout(); ++wait)
            pause(100);
        focus(window);
    }
    void TearDown() override { program.kill(); }

    WindowPicture picture() {
        WindowPicture shot;
        EXPECT_TRUE(display.capture(window, shot));
        return shot;
    }
    std::optional<Extent> targetReadout() { return inkExtent(picture(), 1, 300, 400); }

    XDisplay display;
    RunningProgram program{"./varnel-hwvp-immediate", {"VARNEL_UNATTENDED=1"}};
    unsigned long window = 0;
};

TEST_F(OverlayInputEndToEnd, OverlayKeysMouseFocusAndEscape) {
    // Six Page Down from 60 km/h: the readout narrows from "60.0" to "0.0" and the train stops.
    std::optional<Extent> sixty = targetReadout();
    typeKeyAndSettle(window, "Next", 6);
    std::optional<Extent> zero = targetReadout();
    ASSERT_TRUE(sixty && zero);
    EXPECT_LT(zero->right, sixty->right);

    // The mouse turns the eye to the outside of the oval: the train seen from its side, with
    // only grass behind the overlay. Wait for the train to brake to a standstill.
    WindowPicture before = picture();
    xdotool("mousemove --window " + std::to_string(window) + " 500 360");
    for (int i = 0; i < 15; ++i) {
        xdotool("mousemove_relative -- -50 0");
        pause(50);
    }
    pause(8000);

    WindowPicture still = picture();
    still.savePpm("overlay_input_still.ppm");
    EXPECT_NE(still.pixels, before.pixels);
    ASSERT_GE(still.height, topY + 3 * lineHeight + 8);
    for (int row = 0; row < 3; ++row)
        EXPECT_TRUE(inkExtent(still, row, 0, still.width)) << "row " << row;
    EXPECT_FALSE(inkExtent(still, -2, 0, still.width)) << "text above the rows";
    for (int x = 0; x < still.width; ++x)
        for (int y = topY + 3 * lineHeight + 6; y < still.height; ++y)
            ASSERT_FALSE(isText(still.at(x, y))) << "text below the rows at " << x << "," << y;

    // Each column starts at its x: group 1 at 10, group 2's values at 310, then 400, 480,
    // 605 (values of group 4), 760 and 850 (values of group 5).
    struct Column {
        int row, left, right, x;
    };
    for (Column column : {Column{0, 0, 140, 10}, Column{0, 300, 390, 310}, Column{0, 390, 470, 400},
                          Column{0, 470, 600, 480}, Column{0, 540, 700, 605},
                          Column{0, 750, 845, 760}, Column{2, 840, 1000, 850}}) {
        std::optional<Extent> extent = inkExtent(still, column.row, column.left, column.right);
        ASSERT_TRUE(extent) << column.x;
        EXPECT_GE(extent->left, column.x);
        EXPECT_LE(extent->left, column.x + 3);
    }
    EXPECT_FALSE(inkExtent(still, 0, 280, 309)) << "the value column stands apart";

    // The text is pale sky blue blended over the scene: its brightest pixels lie between the
    // colour over black and the colour over the brightest of the grass just above the rows.
    int sceneMax[3] = {};
    for (int y = topY - 60; y < topY - 10; ++y)
        for (int x = 0; x < still.width; ++x)
            for (int c = 0; c < 3; ++c)
                sceneMax[c] = std::max(sceneMax[c], channel(still.at(x, y), c));
    uint32_t brightest = 0;
    for (int y = topY; y < topY + 3 * lineHeight; ++y)
        for (int x = 0; x < still.width; ++x)
            if (channel(still.at(x, y), 2) > channel(brightest, 2))
                brightest = still.at(x, y);
    for (int c = 0; c < 3; ++c) {
        double overBlack = textAlpha * textColour[c];
        EXPECT_GE(channel(brightest, c), overBlack - 4) << "channel " << c;
        EXPECT_LE(channel(brightest, c), overBlack + (1 - textAlpha) * sceneMax[c] + 4)
            << "channel " << c;
    }

    // Ten Page Up from 0 give "100.0", a glyph wider than "60.0"; then back to a standstill.
    typeKeyAndSettle(window, "Prior", 10);
    std::optional<Extent> hundred = targetReadout();
    ASSERT_TRUE(hundred);
    EXPECT_GE(hundred->right - sixty->right, 6);
    typeKeyAndSettle(window, "Next", 10);
    pause(3000);

    // Right and Left change the car number and back.
    auto carNumber = [&] {
        WindowPicture shot = picture();
        std::vector<uint32_t> region;
        for (int y = topY + lineHeight; y < topY + 2 * lineHeight; ++y)
            for (int x = 10; x < 140; ++x)
                region.push_back(isText(shot.at(x, y)));
        return region;
    };
    std::vector<uint32_t> first = carNumber();
    typeKeyAndSettle(window, "Right");
    std::vector<uint32_t> second = carNumber();
    typeKeyAndSettle(window, "Left");
    EXPECT_NE(first, second);
    EXPECT_EQ(carNumber(), first);

    // The wheel moves the eye away and back to the same picture of the standing train.
    auto scene = [&] {
        WindowPicture shot = picture();
        shot.pixels.resize(size_t(shot.width) * (topY - 20));
        return shot.pixels;
    };
    std::vector<uint32_t> near = scene();
    for (int i = 0; i < 3; ++i)
        xdotool("click --window " + std::to_string(window) + " 5");
    pause(500);
    std::vector<uint32_t> far = scene();
    for (int i = 0; i < 3; ++i)
        xdotool("click --window " + std::to_string(window) + " 4");
    pause(500);
    EXPECT_NE(near, far);
    EXPECT_EQ(scene(), near);

    // Enter: "Freight train" becomes the longer "Passenger train".
    int freight = widthOf(inkExtent(picture(), 2, 0, 145));
    typeKeyAndSettle(window, "Return");
    int passenger = widthOf(inkExtent(picture(), 2, 0, 145));
    EXPECT_GE(passenger - freight, 10);

    // Another window takes the focus: keys don't reach the program; back again, they do.
    std::optional<Extent> target = targetReadout();
    {
        OtherWindow other;
        unsigned long otherWindow = display.findWindow("xmessage", 10000);
        ASSERT_NE(otherWindow, 0u);
        focus(otherWindow);
        typeKeyAndSettle(otherWindow, "Prior", 4);
        EXPECT_EQ(targetReadout(), target) << "keys while another window has the focus";
        focus(window);
        typeKeyAndSettle(window, "Prior", 4);
        EXPECT_GT(widthOf(targetReadout()), widthOf(target)) << "keys after re-activation";
    }
    focus(window);
    picture().savePpm("overlay_input_end.ppm");

    auto pressed = std::chrono::steady_clock::now();
    xdotool("key --window " + std::to_string(window) + " Escape");
    ASSERT_TRUE(program.waitForExit(3000));
    auto elapsed = std::chrono::steady_clock::now() - pressed;
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_LT(elapsed, std::chrono::seconds(1));
}

} // namespace
