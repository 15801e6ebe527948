// The texture cache: one load per name, failed and refused loads, long names and the release.
#include <string>

#include "graphics/texture_cache.h"
#include "support/app_device_fixture.h"

namespace {

class TextureCacheTest : public AppDeviceTest {
protected:
    void SetUp() override {
        AppDeviceTest::SetUp();
        useTemporaryFolder();
    }
    void TearDown() override {
        cache.release();
        AppDeviceTest::TearDown();
    }

    TextureCache cache;
};

} // namespace

TEST_F(TextureCacheTest, SameNameIsLoadedOnce) {
    writeBitmap("wood.bmp", 4);
    writeBitmap("iron.bmp", 8);
    INT first = -1;
    ASSERT_TRUE(cache.findOrLoad("wood.bmp", first));
    EXPECT_EQ(first, 0);
    INT second = -1;
    ASSERT_TRUE(cache.findOrLoad("iron.bmp", second));
    EXPECT_EQ(second, 1);

    // Found again without touching the file, which is gone now.
    std::filesystem::remove("meshes/wood.bmp");
    INT again = -1;
    EXPECT_TRUE(cache.findOrLoad("wood.bmp", again));
    EXPECT_EQ(again, 0);
    EXPECT_EQ(cache.count, 2);
    EXPECT_EQ(widthOf(cache.textureAt(0)), 4u);
    EXPECT_EQ(widthOf(cache.textureAt(1)), 8u);
    EXPECT_STREQ(cache.entries[0]->name, "wood.bmp");
}

TEST_F(TextureCacheTest, NamesDifferingInCaseAreSeparateEntries) {
    writeBitmap("Stone.bmp", 4);
    writeBitmap("stone.bmp", 4);
    INT upper = -1;
    INT lower = -1;
    EXPECT_TRUE(cache.findOrLoad("Stone.bmp", upper));
    EXPECT_TRUE(cache.findOrLoad("stone.bmp", lower));
    EXPECT_EQ(upper, 0);
    EXPECT_EQ(lower, 1);
    EXPECT_EQ(cache.count, 2);
    EXPECT_NE(cache.textureAt(0), cache.textureAt(1));
}

TEST_F(TextureCacheTest, FailedLoadGivesIndexZeroAndKeepsNothing) {
    INT index = 9;
    EXPECT_FALSE(cache.findOrLoad("missing.bmp", index));
    EXPECT_EQ(index, 0);
    EXPECT_EQ(cache.count, 0);
    // Index 0 names no entry yet: there is no texture to read for it.
    EXPECT_EQ(cache.textureAt(0), nullptr);
    EXPECT_EQ(cache.textureAt(-1), nullptr);

    writeBitmap("first.bmp", 4);
    writeBitmap("second.bmp", 8);
    ASSERT_TRUE(cache.findOrLoad("first.bmp", index));
    index = 9;
    EXPECT_FALSE(cache.findOrLoad("missing.bmp", index));
    EXPECT_EQ(index, 0);
    EXPECT_EQ(cache.count, 1);
    EXPECT_TRUE(cache.findOrLoad("second.bmp", index));
    EXPECT_EQ(index, 1);

    // The failed name is tried again once its file exists.
    writeBitmap("missing.bmp", 16);
    EXPECT_TRUE(cache.findOrLoad("missing.bmp", index));
    EXPECT_EQ(index, 2);
    EXPECT_EQ(widthOf(cache.textureAt(2)), 16u);
}

TEST_F(TextureCacheTest, FullCacheStillFindsKnownNames) {
    for (int i = 0; i <= textureCacheCapacity; ++i) {
        writeBitmap("t" + std::to_string(i) + ".bmp", 4);
    }
    for (int i = 0; i < textureCacheCapacity; ++i) {
        INT index = -1;
        ASSERT_TRUE(cache.findOrLoad(("t" + std::to_string(i) + ".bmp").c_str(), index));
        EXPECT_EQ(index, i);
    }
    INT index = 77;
    EXPECT_FALSE(cache.findOrLoad("t20.bmp", index));
    EXPECT_EQ(index, 77);
    EXPECT_EQ(cache.count, textureCacheCapacity);
    EXPECT_TRUE(cache.findOrLoad("t19.bmp", index));
    EXPECT_EQ(index, 19);
    EXPECT_EQ(cache.textureAt(textureCacheCapacity), nullptr);
}

TEST_F(TextureCacheTest, NamesBeyondNinetyTwoCharactersAreNotOpened) {
    std::string longest = std::string(88, 'n') + ".bmp";
    std::string tooLong = std::string(89, 'n') + ".bmp";
    writeBitmap(longest, 4);
    writeBitmap(tooLong, 8);
    // What a path cut at 99 characters would open instead.
    writeBitmap(tooLong.substr(0, tooLong.size() - 1), 16);
    INT index = -1;
    EXPECT_TRUE(cache.findOrLoad(longest.c_str(), index));
    EXPECT_EQ(index, 0);
    EXPECT_STREQ(cache.entries[0]->name, longest.c_str());
    index = 5;
    EXPECT_FALSE(cache.findOrLoad(tooLong.c_str(), index));
    EXPECT_EQ(index, 0);
    EXPECT_FALSE(cache.findOrLoad(std::string(5000, 'x').c_str(), index));
    EXPECT_EQ(cache.count, 1);
}

TEST_F(TextureCacheTest, ReleaseGivesBackEveryTextureAndEmptiesTheCache) {
    ULONG before = deviceReferences();
    writeBitmap("wood.bmp", 4);
    writeBitmap("iron.bmp", 8);
    INT index = -1;
    ASSERT_TRUE(cache.findOrLoad("wood.bmp", index));
    ASSERT_TRUE(cache.findOrLoad("iron.bmp", index));
    ASSERT_EQ(deviceReferences(), before + 2) << "each texture holds the device";

    cache.release();
    EXPECT_EQ(deviceReferences(), before);
    EXPECT_EQ(cache.count, 0);
    EXPECT_EQ(cache.entries[0], nullptr);
    EXPECT_EQ(cache.entries[1], nullptr);
    EXPECT_EQ(cache.textureAt(0), nullptr);
    cache.release();
    EXPECT_EQ(deviceReferences(), before);

    // A name is loaded afresh afterwards, from the file as it is now.
    writeBitmap("iron.bmp", 16);
    ASSERT_TRUE(cache.findOrLoad("iron.bmp", index));
    EXPECT_EQ(index, 0);
    EXPECT_EQ(widthOf(cache.textureAt(0)), 16u);
}
