// windows_program_e2e_test.cpp: the Windows build of the program under Wine, driven as a person
// would with xdotool (the overlay and the scene drawn, Page Up, the arrows, Enter, Escape and
// exit code 0); and the start-up picture of the Windows build under Wine against the Linux
// build's, both with the clock stopped by libfaketime so that the train stands where it starts.
// Needs the Windows build folder (VARNEL_WINDOWS_BUILD_DIR, with its own `meshes`), wine and
// tools/wine-run.sh, which keeps the Wine prefix in the Linux build folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "support/display_rule.h"
#include "support/program_runner.h"
#include "support/x_display.h"

namespace {

constexpr int topY = 665;
constexpr int lineHeight = 18;
const std::string windowsBuild = VARNEL_WINDOWS_BUILD_DIR;
const std::string wineRun = std::string(VARNEL_SOURCE_DIR) + "/tools/wine-run.sh";
const std::string winePrefix = std::string(VARNEL_LINUX_BUILD_DIR) + "/wine-prefix";
const std::string faketimeLibrary = VARNEL_FAKETIME_LIBRARY;
// A stopped clock: every run starts from the same picture and stays there.
const std::string stoppedClock = "FAKETIME=2026-01-01 00:00:00";

void pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

bool xdotool(const std::string& arguments) {
    return std::system(("xdotool " + arguments + " >/dev/null 2>&1").c_str()) == 0;
}

bool onPath(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

bool exists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

int channel(uint32_t pixel, int c) {
    return (pixel >> (16 - 8 * c)) & 0xFF;
}

// Overlay text is bright and blue-white over the scene; the rails' grey highlights are not.
bool isText(uint32_t pixel) {
    return channel(pixel, 2) >= 110 && channel(pixel, 0) >= 90 &&
           channel(pixel, 2) >= channel(pixel, 0) + 12;
}

struct Extent {
    int left;
    int right;
};

// The columns of [left, right) that hold text in the body of overlay row `row`.
std::optional<Extent> inkExtent(const WindowPicture& picture, int row, int left, int right) {
    int top = topY + lineHeight * row;
    std::optional<Extent> extent;
    for (int x = std::max(left, 0); x < right && x < picture.width; ++x)
        for (int y = top + 4; y < top + lineHeight - 2 && y < picture.height; ++y)
            if (isText(picture.at(x, y))) {
                extent = Extent{extent ? extent->left : x, x};
                break;
            }
    return extent;
}

// The first line of [top, top + lineHeight) in the columns [left, right) with text in it.
std::optional<int> inkTop(const WindowPicture& picture, int top, int left, int right) {
    for (int y = top; y < top + lineHeight && y < picture.height; ++y)
        for (int x = left; x < right && x < picture.width; ++x)
            if (isText(picture.at(x, y)))
                return y;
    return std::nullopt;
}

bool overlayDrawn(const WindowPicture& picture) {
    for (int row = 0; row < 3; ++row)
        if (!inkExtent(picture, row, 0, 140))
            return false;
    return true;
}

// Grass: green above red and blue.
bool isGrass(uint32_t pixel) {
    return channel(pixel, 1) > channel(pixel, 0) + 10 && channel(pixel, 1) > channel(pixel, 2) + 10;
}

// The wagons' boards: red above green and blue.
bool isWagon(uint32_t pixel) {
    return channel(pixel, 0) > 40 && channel(pixel, 0) > channel(pixel, 1) + 20 &&
           channel(pixel, 0) > channel(pixel, 2) + 10;
}

// The share of the scene above the overlay that is grass.
double grassShare(const WindowPicture& picture) {
    int grass = 0, all = 0;
    for (int y = 0; y < topY - 20 && y < picture.height; y += 4)
        for (int x = 0; x < picture.width; x += 4, ++all)
            grass += isGrass(picture.at(x, y));
    return all == 0 ? 0.0 : double(grass) / all;
}

// Waits up to 15 seconds for the windows of programs that an earlier test ended to go, so that
// the next program's window is the only one with its title.
void waitForNoProgramWindow() {
    XDisplay display;
    for (int i = 0; i < 60 && display.open() && display.windowShown("Varnel"); ++i)
        pause(250);
}

// A running program with one window titled "Varnel", pictures of it and keys typed into it.
class ProgramWindow {
public:
    ProgramWindow(const std::string& program, const std::vector<std::string>& environment,
                  const std::vector<std::string>& arguments, const std::string& directory)
        : running(program, environment, arguments, directory) {}
    ~ProgramWindow() { running.kill(); }

    // Waits for the window and for the overlay's three rows in it; says which step failed.
    ::testing::AssertionResult waitForPicture(int seconds) {
        if (!display.open())
            return ::testing::AssertionFailure() << "no X display";
        if (!running.started())
            return ::testing::AssertionFailure() << "not started: " << running.startError();
        window = display.findWindow("Varnel", seconds * 1000);
        if (window == 0)
            return ::testing::AssertionFailure() << "no window within " << seconds << " s";
        if (!waitFor(overlayDrawn, seconds))
            return ::testing::AssertionFailure() << "no overlay within " << seconds << " s";
        return ::testing::AssertionSuccess();
    }
    // Polls pictures until `condition` holds, for up to `seconds`.
    bool waitFor(const std::function<bool(const WindowPicture&)>& condition, int seconds) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        do {
            if (condition(picture()))
                return true;
            pause(250);
        } while (std::chrono::steady_clock::now() < deadline);
        return false;
    }
    WindowPicture picture() {
        WindowPicture shot;
        display.capture(window, shot);
        return shot;
    }
    // The pointer goes into the window too: with the focus left at the pointer's root by an
    // earlier program, keys go to the window under the pointer.
    void focus() {
        xdotool("mousemove --window " + std::to_string(window) + " 500 300");
        xdotool("windowfocus --sync " + std::to_string(window));
        pause(300);
    }
    // One stroke, press and release, to the window that has the focus.
    void type(const char* key) { xdotool(std::string("key ") + key); }

    XDisplay display;
    RunningProgram running;
    unsigned long window = 0;
};

class WindowsProgramUnderWine : public ::testing::Test {
protected:
    void SetUp() override {
        if (!exists(windowsBuild + "/varnel-hwvp-immediate.exe") ||
            !exists(windowsBuild + "/meshes"))
            SKIP_OR_FAIL_WITHOUT("no Windows build with its meshes folder in "
                                 << windowsBuild << " (make windows)");
        if (!onPath("wine"))
            SKIP_OR_FAIL_WITHOUT("wine is not installed (tools/install-deps.sh)");
    }

    // The Windows program under Wine in the Windows build folder. The first run makes the
    // prefix, which takes Wine a while.
    std::unique_ptr<ProgramWindow> startUnderWine(const std::vector<std::string>& environment) {
        waitForNoProgramWindow();
        return std::make_unique<ProgramWindow>(
            wineRun, environment, std::vector<std::string>{winePrefix, "varnel-hwvp-immediate.exe"},
            windowsBuild);
    }
};

TEST_F(WindowsProgramUnderWine, DrawsTakesKeysSwitchesTrainAndEnds) {
    std::unique_ptr<ProgramWindow> program = startUnderWine({});
    ASSERT_TRUE(program->waitForPicture(120)) << program->running.errorOutput();
    WindowPicture first = program->picture();
    first.savePpm("wine_program_start.ppm");
    EXPECT_GT(grassShare(first), 0.2) << "the scene around the train";

    // Keys count once the activation has acquired the keyboard: Page Up until "100.0".
    program->focus();
    auto target = [](const WindowPicture& shot) { return inkExtent(shot, 1, 300, 400); };
    std::optional<Extent> sixty = target(first);
    ASSERT_TRUE(sixty);
    for (int press = 0; press < 4; ++press) {
        program->type("Prior");
        pause(300);
    }
    EXPECT_TRUE(program->waitFor(
        [&](const WindowPicture& shot) {
            std::optional<Extent> now = target(shot);
            return now && now->right - sixty->right >= 6;
        },
        30))
        << "Page Up raises the target to 100";

    // Right arrow selects the second car, Left the first again: each time the digit's pixels
    // change (the scene behind the text moves too, so only a large change counts).
    auto digit = [](const WindowPicture& shot) {
        std::vector<bool> mask;
        for (int y = topY + lineHeight + 2; y < topY + 2 * lineHeight; ++y)
            for (int x = 100; x < 140; ++x)
                mask.push_back(isText(shot.at(x, y)));
        return mask;
    };
    auto changed = [](const std::vector<bool>& a, const std::vector<bool>& b) {
        int count = 0;
        for (size_t i = 0; i < a.size(); ++i)
            count += a[i] != b[i];
        return count;
    };
    std::vector<bool> one = digit(program->picture());
    std::vector<bool> two;
    program->type("Right");
    EXPECT_TRUE(program->waitFor(
        [&](const WindowPicture& s) {
            two = digit(s);
            return changed(two, one) >= 20;
        },
        30));
    program->type("Left");
    EXPECT_TRUE(
        program->waitFor([&](const WindowPicture& s) { return changed(digit(s), two) >= 20; }, 30))
        << "Left selects the first car again";

    // Enter: "Freight train" becomes "Passenger train", most of the line's text pixels change.
    auto trainType = [](const WindowPicture& shot) {
        std::vector<bool> mask;
        for (int y = topY + 2 * lineHeight + 2; y < topY + 3 * lineHeight; ++y)
            for (int x = 10; x < 150; ++x)
                mask.push_back(isText(shot.at(x, y)));
        return mask;
    };
    std::vector<bool> freight = trainType(program->picture());
    program->type("Return");
    EXPECT_TRUE(program->waitFor(
        [&](const WindowPicture& s) { return changed(trainType(s), freight) >= 100; }, 30))
        << "Enter switches to the passenger train";
    program->picture().savePpm("wine_program_passenger.ppm");

    program->type("Escape");
    ASSERT_TRUE(program->running.waitForExit(30000)) << "Escape ends the program";
    EXPECT_EQ(program->running.exitCode(), 0)
        << "ended by signal " << program->running.endSignal() << "\n"
        << program->running.errorOutput();
}

// Where a feature lies, as a share of the client area's width or height: the projection's
// aspect ratio is fixed, so the scene scales with the client area on both platforms.
struct Box {
    double left = 1, top = 1, right = 0, bottom = 0;
};

Box wagonBox(const WindowPicture& picture, int sceneBottom) {
    Box box;
    for (int y = 0; y < sceneBottom; ++y)
        for (int x = 0; x < picture.width; ++x)
            if (isWagon(picture.at(x, y))) {
                double u = (x + 0.5) / picture.width, v = (y + 0.5) / picture.height;
                box = {std::min(box.left, u), std::min(box.top, v), std::max(box.right, u),
                       std::max(box.bottom, v)};
            }
    return box;
}

// The mean colour of each of columns × rows cells over the top `share` of the picture.
std::vector<double> cells(const WindowPicture& picture, int columns, int rows, double share) {
    std::vector<double> means;
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column) {
            int x0 = picture.width * column / columns, x1 = picture.width * (column + 1) / columns;
            int y0 = int(picture.height * share * row / rows);
            int y1 = int(picture.height * share * (row + 1) / rows);
            double sum[3] = {};
            for (int y = y0; y < y1; ++y)
                for (int x = x0; x < x1; ++x)
                    for (int c = 0; c < 3; ++c)
                        sum[c] += channel(picture.at(x, y), c);
            for (double value : sum)
                means.push_back(value / std::max(1, (x1 - x0) * (y1 - y0)));
        }
    return means;
}

TEST_F(WindowsProgramUnderWine, StartPictureMatchesLinuxBuild) {
    if (!exists(faketimeLibrary))
        SKIP_OR_FAIL_WITHOUT("libfaketime is not installed (tools/install-deps.sh)");
    std::vector<std::string> frozen = {"LD_PRELOAD=" + faketimeLibrary, stoppedClock,
                                       "VARNEL_UNATTENDED=1"};
    WindowPicture onLinux, onWine;
    waitForNoProgramWindow();
    {
        ProgramWindow program("./varnel-hwvp-immediate", frozen, {}, "");
        ASSERT_TRUE(program.waitForPicture(60)) << program.running.errorOutput();
        pause(1000);
        onLinux = program.picture();
    }
    {
        std::unique_ptr<ProgramWindow> program = startUnderWine(frozen);
        ASSERT_TRUE(program->waitForPicture(120)) << program->running.errorOutput();
        pause(1000);
        onWine = program->picture();
    }
    onLinux.savePpm("start_picture_linux.ppm");
    onWine.savePpm("start_picture_wine.ppm");
    ASSERT_GE(std::min(onLinux.height, onWine.height), topY + 3 * lineHeight);

    // The overlay in client pixels: every column starts at the same x to within one pixel, and
    // every row's text at the same y to within two (the fonts' rounding of the cell height).
    // Columns that start with a letter or digit (a thin hyphen or parenthesis is too faint
    // in Wine's rendering to be found reliably).
    struct Column {
        int row, x;
    };
    for (Column column :
         {Column{0, 10}, Column{0, 150}, Column{0, 310}, Column{0, 400}, Column{0, 480},
          Column{0, 760}, Column{1, 10}, Column{1, 150}, Column{1, 310}, Column{1, 480},
          Column{1, 760}, Column{2, 10}, Column{2, 480}, Column{2, 760}}) {
        int left = column.x - 5, right = column.x + 40;
        std::optional<Extent> ours = inkExtent(onLinux, column.row, left, right);
        std::optional<Extent> theirs = inkExtent(onWine, column.row, left, right);
        ASSERT_TRUE(ours && theirs) << "row " << column.row << " x " << column.x;
        EXPECT_NEAR(ours->left, theirs->left, 1) << "row " << column.row << " x " << column.x;
        // The top row only: the descenders of a row reach into the next.
        if (column.row != 0)
            continue;
        std::optional<int> ourTop = inkTop(onLinux, topY, left, right);
        std::optional<int> theirTop = inkTop(onWine, topY, left, right);
        ASSERT_TRUE(ourTop && theirTop);
        EXPECT_NEAR(*ourTop, *theirTop, 2) << "row " << column.row << " x " << column.x;
    }

    // The scene above the overlay, in shares of the client area: the wagons' outline within
    // 0.5% of the width and height, and the mean colours of 32 × 24 cells alike (the average
    // difference at most 4 of 255, nine cells in ten within 16). A mirrored texture, another
    // light or another projection is far outside these.
    constexpr double sceneShare = 0.85;
    Box ourBox = wagonBox(onLinux, int(onLinux.height * sceneShare));
    Box theirBox = wagonBox(onWine, int(onWine.height * sceneShare));
    ASSERT_LT(ourBox.left, ourBox.right);
    EXPECT_NEAR(ourBox.left, theirBox.left, 0.005);
    EXPECT_NEAR(ourBox.right, theirBox.right, 0.005);
    EXPECT_NEAR(ourBox.top, theirBox.top, 0.005);
    EXPECT_NEAR(ourBox.bottom, theirBox.bottom, 0.005);

    std::vector<double> a = cells(onLinux, 32, 24, sceneShare);
    std::vector<double> b = cells(onWine, 32, 24, sceneShare);
    double total = 0;
    int close = 0;
    for (size_t i = 0; i < a.size(); i += 3) {
        double worst = 0;
        for (size_t c = 0; c < 3; ++c) {
            total += std::abs(a[i + c] - b[i + c]);
            worst = std::max(worst, std::abs(a[i + c] - b[i + c]));
        }
        close += worst <= 16;
    }
    EXPECT_LE(total / a.size(), 4.0);
    EXPECT_GE(close * 3, int(a.size() * 9 / 10));
}

} // namespace
