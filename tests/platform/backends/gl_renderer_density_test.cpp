// The OpenGL renderer on a drawable denser than the window's pixels (a high-density screen):
// the viewport, clears and pictures read back are given in window pixels and land on the
// drawable at its density, so a picture keeps its layout and is drawn sharp. Runs a second
// renderer, two drawable pixels to a window pixel, on the context of a Direct3D device (needs
// a display).
#include "support/test_device.h"

#include "opengl/gl_internal.h"

namespace {

constexpr uint32_t black = 0xFF000000u;
constexpr uint32_t red = 0xFFFF0000u;

class DenseDrawableTest : public SmallDeviceTest {
protected:
    // The window's pixels at two drawable pixels each.
    static constexpr uint32_t windowWidth = width / 2;
    static constexpr uint32_t windowHeight = height / 2;

    void SetUp() override {
        SmallDeviceTest::SetUp();
        // A clear makes the device's context current.
        ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
        dense = renderer::create(int(height), 2.0f);
        ASSERT_NE(dense, nullptr);
        renderer::setViewport(dense, 0, 0, int(windowWidth), int(windowHeight), 0.0f, 1.0f);
        renderer::clear(dense, nullptr, true, false, false, black, 1.0f, 0);
        // Window pixels 8..15 across, 4..11 down.
        const renderer::ClearRect square = {8, 4, 16, 12};
        renderer::clear(dense, &square, true, false, false, red, 1.0f, 0);
    }

    void TearDown() override {
        if (dense)
            renderer::destroy(dense);
        SmallDeviceTest::TearDown();
    }

    // The picture in window pixels, 0xAARRGGBB.
    static uint32_t at(const std::vector<uint8_t>& bgra, uint32_t x, uint32_t y) {
        const uint8_t* p = bgra.data() + (size_t(y) * windowWidth + x) * 4;
        return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }

    static void expectSquare(const std::vector<uint8_t>& picture) {
        for (uint32_t y = 0; y < windowHeight; ++y)
            for (uint32_t x = 0; x < windowWidth; ++x) {
                const bool inside = x >= 8 && x < 16 && y >= 4 && y < 12;
                ASSERT_EQ(at(picture, x, y) & 0xFFFFFF, (inside ? red : black) & 0xFFFFFF)
                    << "window pixel " << x << ", " << y;
            }
    }

    renderer::Renderer* dense = nullptr;
};

TEST_F(DenseDrawableTest, ClearsLandAtTheDrawablesDensity) {
    // The drawable's own pixels: the square covers 16..31 across and 8..23 down, sharp.
    std::vector<uint8_t> rows(size_t(width) * height * 4);
    glReadPixels(0, 0, GLsizei(width), GLsizei(height), GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* p = rows.data() + (size_t(height - 1 - y) * width + x) * 4;
            const bool inside = x >= 16 && x < 32 && y >= 8 && y < 24;
            ASSERT_EQ(p[0], inside ? 0xFF : 0x00) << "drawable pixel " << x << ", " << y;
        }
}

TEST_F(DenseDrawableTest, PicturesAreReadInWindowPixels) {
    std::vector<uint8_t> picture(size_t(windowWidth) * windowHeight * 4);
    renderer::readPicture(dense, windowWidth, windowHeight, picture.data());
    expectSquare(picture);

    // The copy kept at each presentation too.
    renderer::keepPictures(dense, windowWidth, windowHeight);
    renderer::presentPicture(dense);
    std::vector<uint8_t> kept(picture.size());
    ASSERT_TRUE(renderer::readKeptPicture(dense, kept.data()));
    expectSquare(kept);
}

} // namespace
