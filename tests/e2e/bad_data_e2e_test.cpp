// The real program run on damaged data: a copy of the data folder in a temporary working
// folder with meshes, textures and sounds missing, empty, cut short or replaced by garbage, or
// corrupted in place (size fields at the edges of the 32-bit range, cut short, bytes flipped);
// meshes also rewritten in the binary and compressed forms and damaged there.
// The program must show its window, keep running through key presses and train switches,
// report each unloadable mesh once, and end with exit code 0 on Escape or a close request.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/program_runner.h"
#include "support/scratch_folder.h"
#include "support/x_display.h"
#include "support/x_file_encodings.h"

namespace {

namespace fs = std::filesystem;

// How long the program may take to end after Escape: the scene loads before the loop reads the
// key, which in the sanitizer build on a busy machine takes seconds.
constexpr int escapeBound = 30000;

enum class Damage {
    missing,
    empty,
    truncated,
    garbage,
    binaryHugeCount,     // a mesh in binary form whose first integer list's count is 2^32 - 1
    binaryTruncated,     // a mesh in binary form, cut short
    compressedTruncated, // a mesh compressed, cut short inside a block
    compressedGarbage    // a mesh compressed, its first block's data overwritten
};

const char* const meshFiles[] = {"SegStraight.X", "SegTurnLeft.X", "CarTruck.X",
                                 "GoodsCar.X",    "Cistern.X",     "PseudoPassengerCar.X"};
const char* const textureFiles[] = {"ballast.bmp", "grass.bmp", "track.bmp",
                                    "frame.bmp",   "wheel.bmp", "goods.bmp",
                                    "roof.bmp",    "tank.bmp",  "coach.bmp"};
const char* const soundFiles[] = {"Stuk.wav", "TrainBackground.wav"};

bool isMesh(const std::string& name) {
    return name.size() > 2 && name.substr(name.size() - 2) == ".X";
}

// A fresh folder holding a copy of the build's `meshes` folder; removed again at the end.
class DataCopy {
public:
    DataCopy() { fs::copy(fs::current_path() / "meshes", folder / "meshes"); }

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
        case Damage::binaryHugeCount:
        case Damage::binaryTruncated:
        case Damage::compressedTruncated:
        case Damage::compressedGarbage: {
            std::ifstream in(file, std::ios::binary);
            const std::string text((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
            std::string bytes = xfile::toBinary(text, false);
            if (kind == Damage::binaryHugeCount) {
                const size_t list = bytes.find(std::string("\x06\x00", 2));
                ASSERT_NE(list, std::string::npos);
                bytes.replace(list + 2, 4, "\xff\xff\xff\xff");
            } else if (kind == Damage::binaryTruncated) {
                bytes.resize(bytes.size() / 2);
            } else {
                bytes = xfile::compress(bytes);
                if (kind == Damage::compressedTruncated)
                    bytes.resize(bytes.size() / 2);
                else
                    std::fill(bytes.begin() + 26, bytes.begin() + 60, '\x5a');
            }
            std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
            break;
        }
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
    ScratchFolder scratch;
    const fs::path& folder = scratch.path;
};

// The program started on a copy of the data as a person starts it, with sound into the null
// device, and its window (0 when it showed none within 15 s).
struct ProgramOnData {
    explicit ProgramOnData(const DataCopy& data)
        : program("./varnel-hwvp-immediate", {"VARNEL_UNATTENDED=1", "ALSOFT_DRIVERS=null"},
                  data.path().string()) {
        if (display.open() && program.started())
            window = display.findWindow("Varnel", 15000);
    }

    XDisplay display;
    RunningProgram program;
    unsigned long window = 0;
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

    ProgramOnData run(data);
    XDisplay& display = run.display;
    RunningProgram& program = run.program;
    const unsigned long window = run.window;
    ASSERT_NE(window, 0u) << program.startError() << program.errorOutput();
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
    ASSERT_TRUE(program.waitForExit(escapeBound)) << "still running: " << program.errorOutput();
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

// Meshes in the binary and compressed forms, damaged in each; the other two load.
TEST(BadData, BinaryAndCompressedMeshesDamaged) {
    runOnDamagedData({{"SegStraight.X", Damage::binaryHugeCount},
                      {"CarTruck.X", Damage::binaryTruncated},
                      {"GoodsCar.X", Damage::compressedTruncated},
                      {"Cistern.X", Damage::compressedGarbage}});
}

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

// Every data file of one kind corrupted in place, one way per run: a size field set to a value
// at the edge of the 32-bit range, the file cut short, or bytes flipped at random (seeded).
// The two sounds are corrupted in every run as well. Meshes are corrupted in runs of their
// own, textures with the meshes intact, so that the textures are asked for.
namespace {

enum class Kind { mesh, texture, sound };

struct Corruption {
    enum { sizeField, truncation, flips } how;
    int field;      // sizeField: which one of the format's three; truncation: where; flips: seed
    uint32_t value; // sizeField only
};

const uint32_t edgeValues[] = {0, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};

std::vector<Corruption> allCorruptions() {
    std::vector<Corruption> all;
    for (int field = 0; field < 3; ++field)
        for (uint32_t value : edgeValues)
            all.push_back({Corruption::sizeField, field, value});
    for (int where = 0; where < 3; ++where)
        all.push_back({Corruption::truncation, where, 0});
    for (int seed = 1; seed <= 2; ++seed)
        all.push_back({Corruption::flips, seed, 0});
    return all;
}

void putLittleEndian(std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4 && at + i < bytes.size(); ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * i));
}

// The offset of a sound's size field: the RIFF size, the "fmt " size or the "data" size.
size_t soundSizeField(const std::string& bytes, int field) {
    if (field == 0)
        return 4;
    size_t at = bytes.find(field == 1 ? "fmt " : "data", 12);
    return at == std::string::npos ? 4 : at + 4;
}

// In a text .X file the counts stand alone on their lines ("  1136;"): the vertex count comes
// first, the face count second, the material count sixth.
void replaceMeshCount(std::string& text, int field, uint32_t value) {
    const int wanted = field == 0 ? 0 : field == 1 ? 1 : 5;
    int seen = 0;
    for (size_t line = 0; line < text.size();) {
        size_t end = text.find('\n', line);
        if (end == std::string::npos)
            end = text.size();
        size_t first = text.find_first_not_of(' ', line);
        size_t semicolon = text.find(';', line);
        if (first < end && semicolon + 1 == end && semicolon > first &&
            text.find_first_not_of("0123456789", first) == semicolon && seen++ == wanted) {
            text.replace(first, semicolon - first, std::to_string(value));
            return;
        }
        line = end + 1;
    }
}

void corrupt(const fs::path& file, Kind kind, const Corruption& corruption) {
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    switch (corruption.how) {
    case Corruption::sizeField:
        if (kind == Kind::mesh)
            replaceMeshCount(bytes, corruption.field, corruption.value);
        else if (kind == Kind::texture) // the pixel width, height and the pixels' offset
            putLittleEndian(bytes, corruption.field == 2 ? 10 : 18 + 4 * corruption.field,
                            corruption.value);
        else
            putLittleEndian(bytes, soundSizeField(bytes, corruption.field), corruption.value);
        break;
    case Corruption::truncation: {
        // Just the first header, a third of the file, all but its last byte.
        const size_t kept[] = {12, bytes.size() / 3, bytes.size() - 1};
        bytes.resize(std::min(bytes.size(), kept[corruption.field]));
        break;
    }
    case Corruption::flips: {
        std::mt19937 generator(static_cast<unsigned>(corruption.field));
        for (int i = 0; i < 16; ++i)
            bytes[generator() % bytes.size()] ^= static_cast<char>(1 + generator() % 255);
        break;
    }
    }
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

int distinctColours(const WindowPicture& picture) {
    std::vector<uint32_t> colours;
    for (uint32_t pixel : picture.pixels)
        if (std::find(colours.begin(), colours.end(), pixel) == colours.end() &&
            colours.size() < 10)
            colours.push_back(pixel);
    return static_cast<int>(colours.size());
}

class CorruptedData : public ::testing::TestWithParam<int> {};

std::string roundName(const ::testing::TestParamInfo<int>& info) {
    const int count = static_cast<int>(allCorruptions().size());
    const Corruption c = allCorruptions()[info.param % count];
    std::string name = info.param < count ? "Meshes" : "Textures";
    if (c.how == Corruption::sizeField) {
        const char* values[] = {"0", "7FFFFFFF", "80000000", "FFFFFFFF"};
        int v = static_cast<int>(std::find(std::begin(edgeValues), std::end(edgeValues), c.value) -
                                 std::begin(edgeValues));
        return name + "SizeField" + std::to_string(c.field) + "Set" + values[v];
    }
    if (c.how == Corruption::truncation)
        return name + "CutShort" + std::to_string(c.field);
    return name + "FlippedBytesSeed" + std::to_string(c.field);
}

} // namespace

// The program shows its window and draws, ends on Escape with exit code 0 within the bound, and
// says only which meshes it could not load, each once.
TEST_P(CorruptedData, TheProgramRunsAndEndsOnEscape) {
    const std::vector<Corruption> corruptions = allCorruptions();
    const int count = static_cast<int>(corruptions.size());
    const Corruption& corruption = corruptions[GetParam() % count];
    const bool meshRound = GetParam() < count;
    DataCopy data;
    const fs::path folder = data.path() / "meshes";
    if (meshRound)
        for (const char* name : meshFiles)
            corrupt(folder / name, Kind::mesh, corruption);
    else
        for (const char* name : textureFiles)
            corrupt(folder / name, Kind::texture, corruption);
    for (const char* name : soundFiles)
        corrupt(folder / name, Kind::sound, corruption);

    ProgramOnData run(data);
    XDisplay& display = run.display;
    RunningProgram& program = run.program;
    const unsigned long window = run.window;
    ASSERT_NE(window, 0u) << program.startError() << program.errorOutput();
    // A frame drawn shows more than one colour (at least the overlay on the background).
    bool drawn = false;
    for (int wait = 0; wait < 100 && !drawn; ++wait) {
        WindowPicture picture;
        drawn = display.capture(window, picture) && distinctColours(picture) > 1;
        if (!drawn)
            pause(100);
    }
    EXPECT_TRUE(drawn) << "no frame drawn: " << program.errorOutput();
    xdotool("windowfocus --sync " + std::to_string(window));
    xdotool("key --window " + std::to_string(window) + " Escape");
    ASSERT_TRUE(program.waitForExit(escapeBound)) << "still running: " << program.errorOutput();
    EXPECT_EQ(program.exitCode(), 0) << program.errorOutput();

    const std::string errors = program.errorOutput();
    int reported = 0;
    for (const char* name : meshFiles) {
        const int times = countOf(errors, std::string("Cannot load mesh meshes\\") + name + "\n");
        EXPECT_LE(times, 1) << errors;
        reported += times;
    }
    EXPECT_EQ(countOf(errors, "\n"), reported) << errors;
}

INSTANTIATE_TEST_SUITE_P(BadData, CorruptedData,
                         ::testing::Range(0, 2 * static_cast<int>(allCorruptions().size())),
                         roundName);
