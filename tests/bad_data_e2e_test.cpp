// The real program run on damaged data: a copy of the data folder in a temporary working
// folder with meshes, textures and sounds missing, empty, cut short or replaced by garbage.
// The program must show its window, keep running through key presses and train switches,
// report each unloadable mesh once, and end with exit code 0 on Escape or a close request.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/program_runner.h"
#include "support/x_display.h"

namespace {

namespace fs = std::filesystem;

enum class Damage { missing, empty, truncated, garbage };

const char* const meshFiles[] = {"SegStraight.X", "SegTurnLeft.X", "CarTruck.X",
                                 "GoodsCar.X",    "Cistern.X",     "PseudoPassengerCar.X"};
const char* const textureFiles[] = {"ballast.bmp", "grass.bmp", "track.bmp",
                                    "frame.bmp",   "wheel.bmp", "goods.bmp",
                                    "roof.bmp",    "tank.bmp",  "coach.bmp"};
const char* const soundFiles[] = {"Stuk.wav", "TrainBackground.wav"};

void pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void xdotool(const std::string& arguments) {
    std::system(("xdotool " + arguments + " >/dev/null 2>&1").c_str());
}

int countOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

bool isMesh(const std::string& name) {
    return name.size() > 2 && name.substr(name.size() - 2) == ".X";
}

// A fresh folder holding a copy of the build's `meshes` folder; removed again at the end.
class DataCopy {
public:
    DataCopy() {
        char pattern[] = "/tmp/varnel-data-XXXXXX";
        folder = mkdtemp(pattern);
        fs::copy(fs::current_path() / "meshes", folder / "meshes");
    }
    ~DataCopy() { fs::remove_all(folder); }
    DataCopy(const DataCopy&) = delete;
    DataCopy& operator=(const DataCopy&) = delete;

    const fs::path& path() const { return folder; }

    void damage(const std::string& name, Damage kind) {
        fs::path file = folder / "meshes" / name;
        ASSERT_TRUE(fs::exists(file)) << name;
        auto size = fs::file_size(file);
        switch (kind) {
        case Damage::missing:
            fs::remove(file);
            break;
        case Damage::empty:
            fs::resize_file(file, 0);
            break;
        case Damage::truncated:
            fs::resize_file(file, size / 2);
            break;
        case Damage::garbage: {
            // The same size of fixed pseudo-random bytes, so that a failure can be repeated.
            std::mt19937 generator(static_cast<unsigned>(size));
            std::string bytes(size, '\0');
            for (char& byte : bytes)
                byte = static_cast<char>(generator());
            std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
            break;
        }
        }
    }

private:
    fs::path folder;
};

using Damages = std::vector<std::pair<std::string, Damage>>;

Damages allOf(const auto& names, Damage kind) {
    Damages damages;
    for (const char* name : names)
        damages.emplace_back(name, kind);
    return damages;
}

// Runs the program on data with the given damages, sends keys that move the camera, change the
// speed and switch the train twice, then ends it with Escape or, when `closeFromWindowManager`,
// with the window manager's close request.
void runOnDamagedData(const Damages& damages, bool closeFromWindowManager = false) {
    DataCopy data;
    for (const auto& [name, kind] : damages)
        data.damage(name, kind);

    XDisplay display;
    ASSERT_TRUE(display.open());
    RunningProgram program("./varnel-hwvp-immediate",
                           {"VARNEL_UNATTENDED=1", "ALSOFT_DRIVERS=null"}, data.path().string());
    ASSERT_TRUE(program.started());
    unsigned long window = display.findWindow("Varnel", 15000);
    ASSERT_NE(window, 0u) << program.errorOutput();
    std::string id = std::to_string(window);
    xdotool("windowfocus --sync " + id);
    for (const char* key : {"Prior", "Right", "Return", "Next", "Left", "Return"}) {
        xdotool("key --window " + id + " " + key);
        pause(150);
    }
    xdotool("mousemove --window " + id + " 300 200");
    EXPECT_FALSE(program.waitForExit(800)) << "ended early: " << program.errorOutput();

    if (closeFromWindowManager)
        ASSERT_TRUE(display.requestClose(window));
    else
        xdotool("key --window " + id + " Escape");
    ASSERT_TRUE(program.waitForExit(10000)) << "still running: " << program.errorOutput();
    EXPECT_EQ(program.exitCode(), 0) << program.errorOutput();

    // Each damaged mesh is reported once; nothing else is reported.
    std::string errors = program.errorOutput();
    int damagedMeshes = 0;
    for (const auto& [name, kind] : damages) {
        if (isMesh(name)) {
            ++damagedMeshes;
            EXPECT_EQ(countOf(errors, "Cannot load mesh meshes\\" + name + "\n"), 1) << errors;
        }
    }
    EXPECT_EQ(countOf(errors, "\n"), damagedMeshes) << errors;
}

class DamagedData : public ::testing::TestWithParam<Damage> {};

std::string damageName(const ::testing::TestParamInfo<Damage>& info) {
    const char* names[] = {"Missing", "Empty", "Truncated", "Garbage"};
    return names[static_cast<int>(info.param)];
}

} // namespace

// Meshes are damaged together: without them no texture is asked for.
TEST_P(DamagedData, EveryMeshIsReportedOnceAndTheProgramRunsOn) {
    runOnDamagedData(allOf(meshFiles, GetParam()));
}

// With every texture and both sounds gone the scene draws untextured and stays silent.
TEST_P(DamagedData, TexturesAndSoundsFallBackSilently) {
    Damages damages = allOf(textureFiles, GetParam());
    for (const auto& sound : allOf(soundFiles, GetParam()))
        damages.push_back(sound);
    runOnDamagedData(damages);
}

INSTANTIATE_TEST_SUITE_P(BadData, DamagedData,
                         ::testing::Values(Damage::missing, Damage::empty, Damage::truncated,
                                           Damage::garbage),
                         damageName);

// Some files of each kind damaged in different ways while the rest load: textures that fail
// fall back to the first cached one; the window manager closes the program.
TEST(BadData, MixedDamageWithTheRestLoadedClosesFromTheWindowManager) {
    runOnDamagedData({{"GoodsCar.X", Damage::garbage},
                      {"CarTruck.X", Damage::truncated},
                      {"ballast.bmp", Damage::missing},
                      {"wheel.bmp", Damage::truncated},
                      {"coach.bmp", Damage::garbage},
                      {"Stuk.wav", Damage::truncated},
                      {"TrainBackground.wav", Damage::empty}},
                     true);
}
