// package_e2e_test.cpp: the released packages as a person uses them, run by tools/test-dist.sh
// once it has installed the Debian package and unpacked the Windows zips: the launcher
// `varnel` started from a folder of its own, and varnel-hwvp-immediate.exe of each unpacked
// zip started under Wine in its folder. Each shows the window with the scene and the overlay
// and ends with exit code 0 on Escape. Not part of the ctest suite: it needs the packages.
// Reads VARNEL_LAUNCHER (the launcher's path), VARNEL_UNZIPPED_X86_64 and VARNEL_UNZIPPED_I686
// (the folders) and VARNEL_WINE_PREFIX; runs the programs under Wine with tools/wine-run.sh.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "support/program_runner.h"
#include "support/x_display.h"

namespace {

const std::string wineRun = std::string(VARNEL_SOURCE_DIR) + "/tools/wine-run.sh";

std::string setting(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? "" : value;
}

void pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

int channel(uint32_t pixel, int c) {
    return (pixel >> (16 - 8 * c)) & 0xFF;
}

// Overlay text is bright and blue-white over the scene.
bool isText(uint32_t pixel) {
    return channel(pixel, 2) >= 110 && channel(pixel, 0) >= 90 &&
           channel(pixel, 2) >= channel(pixel, 0) + 12;
}

// The overlay's three rows at the bottom each hold text at their left.
bool overlayDrawn(const WindowPicture& picture) {
    constexpr int topY = 665, lineHeight = 18;
    for (int row = 0; row < 3; ++row) {
        bool ink = false;
        int top = topY + lineHeight * row;
        for (int y = top + 4; y < top + lineHeight - 2 && y < picture.height && !ink; ++y)
            for (int x = 0; x < 140 && x < picture.width && !ink; ++x)
                ink = isText(picture.at(x, y));
        if (!ink)
            return false;
    }
    return true;
}

// The share of the scene above the overlay that is grass (green above red and blue).
double grassShare(const WindowPicture& picture) {
    int grass = 0, all = 0;
    for (int y = 0; y < 640 && y < picture.height; y += 4)
        for (int x = 0; x < picture.width; x += 4, ++all) {
            uint32_t p = picture.at(x, y);
            grass += channel(p, 1) > channel(p, 0) + 10 && channel(p, 1) > channel(p, 2) + 10;
        }
    return all == 0 ? 0.0 : double(grass) / all;
}

// Waits for the program's window with the overlay and the scene, sends Escape and expects the
// program to end with exit code 0.
void showsSceneAndEndsOnEscape(RunningProgram& program, int seconds) {
    ASSERT_TRUE(program.started()) << program.startError();
    XDisplay display;
    ASSERT_TRUE(display.open());
    unsigned long window = display.findWindow("Varnel", seconds * 1000);
    ASSERT_NE(window, 0u) << "no window within " << seconds << " s\n" << program.errorOutput();
    WindowPicture picture;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!(display.capture(window, picture) && overlayDrawn(picture)) &&
           std::chrono::steady_clock::now() < deadline)
        pause(250);
    ASSERT_TRUE(overlayDrawn(picture)) << "no overlay within " << seconds << " s";
    EXPECT_GT(grassShare(picture), 0.2) << "the scene around the train";

    // The pointer goes into the window too, so that keys reach it whatever had the focus.
    // Keys count once the program has acquired the keyboard after its activation, so Escape
    // is pressed again every two seconds until the program ends.
    std::string id = std::to_string(window);
    std::system(("xdotool mousemove --window " + id + " 500 300 windowfocus --sync " + id +
                 " >/dev/null 2>&1")
                    .c_str());
    bool ended = false;
    for (int press = 0; press < 15 && !ended; ++press) {
        std::system("xdotool key Escape >/dev/null 2>&1");
        ended = program.waitForExit(2000);
    }
    ASSERT_TRUE(ended) << "Escape ends the program";
    EXPECT_EQ(program.exitCode(), 0) << "ended by signal " << program.endSignal() << "\n"
                                     << program.errorOutput();
}

// Each test starts once the windows of earlier ones are gone.
void waitForNoProgramWindow() {
    XDisplay display;
    for (int i = 0; i < 60 && display.open() && display.windowShown("Varnel"); ++i)
        pause(250);
}

std::string emptyFolder() {
    char pattern[] = "/tmp/varnel-elsewhere-XXXXXX";
    return mkdtemp(pattern) != nullptr ? pattern : "";
}

} // namespace

TEST(InstalledPackage, LauncherStartsTheProgramFromAnyFolder) {
    std::string launcher = setting("VARNEL_LAUNCHER");
    ASSERT_FALSE(launcher.empty()) << "VARNEL_LAUNCHER is not set (tools/test-dist.sh sets it)";
    std::string elsewhere = emptyFolder();
    ASSERT_FALSE(elsewhere.empty());
    waitForNoProgramWindow();
    RunningProgram program(launcher, {}, {}, elsewhere);
    showsSceneAndEndsOnEscape(program, 30);
}

TEST(InstalledPackage, LauncherRefusesAnUnknownProgram) {
    std::string launcher = setting("VARNEL_LAUNCHER");
    ASSERT_FALSE(launcher.empty());
    RunningProgram program(launcher, {}, {"varnel-nothing"}, "");
    ASSERT_TRUE(program.waitForExit(10000));
    EXPECT_EQ(program.exitCode(), 2);
    EXPECT_NE(program.errorOutput().find("varnel-hwvp-default"), std::string::npos)
        << program.errorOutput();
}

class WindowsZip : public ::testing::TestWithParam<const char*> {};

TEST_P(WindowsZip, ProgramRunsUnderWineFromTheUnpackedFolder) {
    std::string folder = setting(GetParam());
    std::string prefix = setting("VARNEL_WINE_PREFIX");
    ASSERT_FALSE(folder.empty() || prefix.empty())
        << GetParam() << " or VARNEL_WINE_PREFIX is not set (tools/test-dist.sh sets them)";
    waitForNoProgramWindow();
    RunningProgram program(wineRun, {}, {prefix, "varnel-hwvp-immediate.exe"}, folder);
    showsSceneAndEndsOnEscape(program, 120);
}

INSTANTIATE_TEST_SUITE_P(Architectures, WindowsZip,
                         ::testing::Values("VARNEL_UNZIPPED_X86_64", "VARNEL_UNZIPPED_I686"));
