// file_path_test.cpp: Windows-style path resolution of the layer: backslashes as
// separators, case-insensitive matching of each part, relative paths from the working folder.
#include "platform/common/file_path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/scratch_folder.h"

namespace fs = std::filesystem;

namespace {

class FilePathTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(root / "meshes" / "Sub");
        std::ofstream(root / "meshes" / "Sub" / "Wheel.png") << "x";
        std::ofstream(root / "meshes" / "plain.txt") << "x";
    }
    ScratchFolder scratch;
    const fs::path& root = scratch.path;
};

} // namespace

TEST_F(FilePathTest, BackslashesSeparateFoldersAndExactNamesStay) {
    std::string base = root.string();
    EXPECT_EQ(resolveWindowsPath((base + "\\meshes\\plain.txt").c_str()),
              base + "/meshes/plain.txt");
    EXPECT_EQ(resolveWindowsPath((base + "/meshes/Sub/Wheel.png").c_str()),
              base + "/meshes/Sub/Wheel.png");
}

TEST_F(FilePathTest, EachPartMatchesWithoutRegardToCase) {
    std::string base = root.string();
    EXPECT_EQ(resolveWindowsPath((base + "\\Meshes\\sub\\WHEEL.PNG").c_str()),
              base + "/meshes/Sub/Wheel.png");
    EXPECT_EQ(resolveWindowsPath((base + "\\MESHES\\").c_str()), base + "/meshes/");
}

TEST_F(FilePathTest, MissingPartIsKeptSoOpeningFails) {
    std::string base = root.string();
    std::string resolved = resolveWindowsPath((base + "\\Meshes\\Missing\\wheel.png").c_str());
    EXPECT_EQ(resolved, base + "/meshes/Missing/wheel.png");
    EXPECT_FALSE(fs::exists(resolved));
    EXPECT_EQ(resolveWindowsPath(nullptr), "");
}

TEST_F(FilePathTest, RelativePathsStartAtTheWorkingFolder) {
    fs::path saved = fs::current_path();
    fs::current_path(root);
    std::string resolved = resolveWindowsPath("MESHES\\Sub\\wheel.PNG");
    fs::current_path(saved);
    EXPECT_EQ(resolved, "meshes/Sub/Wheel.png");
}
