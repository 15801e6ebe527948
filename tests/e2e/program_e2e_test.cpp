// End-to-end tests of the programs' start-up and shutdown: they run the real programs under
// the X server as a person would and look at what happens on the display.
#include <gtest/gtest.h>

#include <string>

#include "support/program_runner.h"
#include "support/programs.h"
#include "support/x_display.h"

namespace {

// The line each program writes for the device its build must create: software (0x20) or
// hardware (0x40) vertex processing and no other flag, immediate (0x80000000) or default (0)
// presentation.
std::string creationLine(const ProgramRow& row) {
    return std::string("device created: behaviour flags ") +
           (row.hardwareVertexProcessing ? "0x00000040" : "0x00000020") +
           ", presentation interval " + (row.immediatePresent ? "0x80000000" : "0x00000000") + "\n";
}

bool anyPixelBrighterThan(const WindowPicture& picture, int level) {
    for (uint32_t pixel : picture.pixels) {
        int red = (pixel >> 16) & 0xFF, green = (pixel >> 8) & 0xFF, blue = pixel & 0xFF;
        if (red > level || green > level || blue > level)
            return true;
    }
    return false;
}

} // namespace

TEST(ProgramStartUp, WithoutADisplayReportsDirect3DAndEndsWithExitCodeZero) {
    RunningProgram program("./varnel-hwvp-immediate", {"DISPLAY=", "VARNEL_UNATTENDED=1"});
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(program.waitForExit(10000));
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(countOf(program.errorOutput(), "Ошибка Direct3DCreate"), 1) << program.errorOutput();
}

TEST(ProgramStartUp, WithoutASoundDeviceReportsItAndNeverShowsTheWindow) {
    XDisplay display;
    ASSERT_TRUE(display.open());
    // OpenAL Soft with no usable backend: the default playback device cannot be opened.
    RunningProgram program("./varnel-hwvp-immediate",
                           {"ALSOFT_DRIVERS=nothing-here", "VARNEL_UNATTENDED=1"});
    ASSERT_TRUE(program.started());
    bool shown = false;
    while (!program.waitForExit(20))
        shown = shown || display.windowShown("Varnel");
    EXPECT_FALSE(shown);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(countOf(program.errorOutput(), "Ошибка DirectSoundCreate8"), 1)
        << program.errorOutput();
}

TEST(ProgramShutdown, EveryDeliverableClosesFromTheWindowManagerWithExitCodeZero) {
    XDisplay display;
    ASSERT_TRUE(display.open());
    for (const ProgramRow& row : programRows) {
        SCOPED_TRACE(row.name);
        RunningProgram program(std::string("./") + row.name,
                               {"VARNEL_UNATTENDED=1", "VARNEL_FRAME_REPORT=1"});
        ASSERT_TRUE(program.started());
        unsigned long window = display.findWindow("Varnel", 15000);
        ASSERT_NE(window, 0u) << program.errorOutput();
        // Let it run a moment, as a person would, then close it.
        EXPECT_FALSE(program.waitForExit(1500));
        ASSERT_TRUE(display.requestClose(window));
        ASSERT_TRUE(program.waitForExit(10000)) << program.errorOutput();
        EXPECT_EQ(program.exitCode(), 0);
        // One device, created with the settings of this build, and its one closing report.
        // (The order and count of the program's own releases are checked in win_main_test.)
        EXPECT_EQ(countOf(program.errorOutput(), "device created: "), 1) << program.errorOutput();
        EXPECT_NE(program.errorOutput().find(creationLine(row)), std::string::npos)
            << program.errorOutput();
        // The closing report: an average, or in a slow build no frames yet.
        EXPECT_EQ(countOf(program.errorOutput(), "fps average over") +
                      countOf(program.errorOutput(), "frame rate: no frames presented"),
                  1)
            << program.errorOutput();
        EXPECT_EQ(countOf(program.errorOutput(), "Ошибка"), 0) << program.errorOutput();
    }
}

TEST(ProgramPicture, ShowsTheSceneUnderTheSky) {
    XDisplay display;
    ASSERT_TRUE(display.open());
    RunningProgram program("./varnel-hwvp-immediate", {"VARNEL_UNATTENDED=1"});
    unsigned long window = display.findWindow("Varnel", 15000);
    ASSERT_NE(window, 0u) << program.errorOutput();
    WindowPicture picture;
    bool drawn = false;
    for (int attempt = 0; attempt < 50 && !drawn; ++attempt) {
        program.waitForExit(100);
        drawn = display.capture(window, picture) && anyPixelBrighterThan(picture, 40);
    }
    EXPECT_TRUE(drawn) << "the window stayed black";
    EXPECT_EQ(picture.width, 1008);
    EXPECT_EQ(picture.height, 729);
    // The top corners show the daylight sky, not the clear colour: blue above red.
    for (int x : {0, picture.width - 1}) {
        uint32_t pixel = picture.at(x, 0);
        EXPECT_GT(pixel & 0xFF, (pixel >> 16 & 0xFF) + 20) << std::hex << pixel;
    }
    display.requestClose(window);
    EXPECT_TRUE(program.waitForExit(10000));
    EXPECT_EQ(program.exitCode(), 0);
}
