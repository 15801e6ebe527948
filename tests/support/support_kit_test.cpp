// support_kit_test.cpp: the support kit's own promises that the other tests build on: a
// scratch folder is its own, is removed with everything in it and gives the working folder
// back; hidden windows of one procedure share their class and are gone with their records;
// releasing an interface forgets it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/display_rule.h"
#include "support/hidden_window.h"
#include "support/release.h"
#include "support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;

TEST(ScratchFolder, IsRemovedWithWhatItHoldsAndGivesTheWorkingFolderBack) {
    const fs::path before = fs::current_path();
    fs::path made;
    {
        ScratchFolder scratch;
        made = scratch.path;
        const std::string file = scratch.write("Meshes/deep/bytes.bin", std::string("a\0b", 3));
        EXPECT_EQ(fs::file_size(file), 3u);
        scratch.enter();
        EXPECT_EQ(fs::current_path(), fs::canonical(made));
        std::ofstream("left.txt") << "left behind by the test";
    }
    EXPECT_FALSE(fs::exists(made));
    EXPECT_EQ(fs::current_path(), before);
}

TEST(ScratchFolder, TwoAtOnceAreTwoFolders) {
    ScratchFolder first;
    ScratchFolder second;
    EXPECT_NE(first.path, second.path);
    first.write("name", "first");
    EXPECT_FALSE(fs::exists(second.path / "name"));
}

TEST(HiddenWindow, WindowsOfOneProcedureShareTheClassAndGoWithTheirRecords) {
    HWND first = nullptr;
    HWND second = nullptr;
    {
        HiddenWindow one(320, 240);
        HiddenWindow other(64, 64);
        if (one.handle == nullptr)
            SKIP_OR_FAIL_WITHOUT_DISPLAY("no display, so no window");
        ASSERT_NE(other.handle, nullptr);
        EXPECT_NE(one.handle, other.handle);
        EXPECT_FALSE(IsWindowVisible(one.handle));
        first = one.handle;
        second = other.handle;
    }
    EXPECT_FALSE(IsWindow(first));
    EXPECT_FALSE(IsWindow(second));
}

struct CountedInterface {
    int releases = 0;
    unsigned long Release() { return static_cast<unsigned long>(++releases); }
};

TEST(ReleaseInterface, ReleasesOnceAndForgets) {
    CountedInterface counted;
    CountedInterface* held = &counted;
    releaseInterface(held);
    EXPECT_EQ(held, nullptr);
    releaseInterface(held);
    EXPECT_EQ(counted.releases, 1);
}

} // namespace
