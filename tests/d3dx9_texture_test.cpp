// d3dx9_texture_test.cpp: textures from image files read back through LockRect: size, the
// full mip chain and its box-filtered levels, power-of-two scaling, and failures.
#include "d3dx9_test_device.h"

#include <SDL.h>
#include <SDL_image.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

class D3dxTextureTest : public D3dxDeviceTest {
protected:
    void SetUp() override {
        D3dxDeviceTest::SetUp();
        folder = std::filesystem::temp_directory_path() /
                 ("varnel_texture_" +
                  std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        std::filesystem::remove_all(folder);
        D3dxDeviceTest::TearDown();
    }

    // Writes ARGB pixels (rows top to bottom) as a PNG or BMP file; returns its path.
    std::string writeImage(const char* name, int w, int h, const std::vector<uint32_t>& pixels) {
        SDL_Surface* surface =
            SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
        for (int y = 0; y < h; ++y)
            std::memcpy(static_cast<uint8_t*>(surface->pixels) + y * surface->pitch,
                        &pixels[static_cast<size_t>(y) * w], w * 4);
        const std::string path = (folder / name).string();
        if (path.ends_with(".png"))
            IMG_SavePNG(surface, path.c_str());
        else
            SDL_SaveBMP(surface, path.c_str());
        SDL_FreeSurface(surface);
        return path;
    }

    std::vector<uint32_t> readLevel(IDirect3DTexture9* texture, UINT level) {
        D3DSURFACE_DESC desc{};
        texture->GetLevelDesc(level, &desc);
        std::vector<uint32_t> pixels(static_cast<size_t>(desc.Width) * desc.Height);
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        for (UINT y = 0; y < desc.Height; ++y)
            std::memcpy(&pixels[static_cast<size_t>(y) * desc.Width],
                        static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, desc.Width * 4);
        texture->UnlockRect(level);
        return pixels;
    }

    std::filesystem::path folder;
};

} // namespace

TEST_F(D3dxTextureTest, PngGivesFullMipChainWithBoxFilteredLevels) {
    // 4 x 2: the left 2 x 2 block averages to 0x80402010 with alpha, the right one is opaque.
    const std::vector<uint32_t> pixels = {0xFF804020, 0x00000000, 0xFF0000FF, 0xFF0000FF,
                                          0x00000000, 0xFF804020, 0xFF00FF00, 0xFF00FF00};
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(
        D3DXCreateTextureFromFileA(device, writeImage("Block.png", 4, 2, pixels).c_str(), &texture),
        D3D_OK);
    ASSERT_NE(texture, nullptr);
    ASSERT_EQ(texture->GetLevelCount(), 3u);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 4u);
    EXPECT_EQ(desc.Height, 2u);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    ASSERT_EQ(texture->GetLevelDesc(2, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 1u);
    EXPECT_EQ(desc.Height, 1u);

    EXPECT_EQ(readLevel(texture, 0), pixels);
    const std::vector<uint32_t> level1 = readLevel(texture, 1);
    ASSERT_EQ(level1.size(), 2u);
    EXPECT_EQ(level1[0], 0x80402010u);
    EXPECT_EQ(level1[1], 0xFF008080u);
    EXPECT_EQ(readLevel(texture, 2)[0], 0xC0205048u);
    EXPECT_EQ(texture->Release(), 0u);
}

TEST_F(D3dxTextureTest, BmpFromWindowsPathAndScaledUpToPowersOfTwo) {
    std::filesystem::create_directories(folder / "meshes");
    const std::vector<uint32_t> grey(6 * 3, 0xFF606060);
    writeImage("meshes/Grey.bmp", 6, 3, grey);
    const std::string windowsPath = folder.string() + "\\Meshes\\GREY.BMP";
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileA(device, windowsPath.c_str(), &texture), D3D_OK);
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 8u);
    EXPECT_EQ(desc.Height, 4u);
    EXPECT_EQ(texture->GetLevelCount(), 4u);
    for (uint32_t pixel : readLevel(texture, 0))
        EXPECT_EQ(pixel, 0xFF606060u);
    EXPECT_EQ(readLevel(texture, 3)[0], 0xFF606060u);
    texture->Release();
}

TEST_F(D3dxTextureTest, MissingOrUndecodableFilesGiveNoTexture) {
    std::ofstream(folder / "Garbage.png") << "not an image, only some text";
    std::ofstream(folder / "Empty.bmp");
    for (const std::string name : {"Missing.png", "Garbage.png", "Empty.bmp"}) {
        IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(1);
        EXPECT_LT(D3DXCreateTextureFromFileA(device, (folder / name).string().c_str(), &texture), 0)
            << name;
        EXPECT_EQ(texture, nullptr) << name;
    }
}
