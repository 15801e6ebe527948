// icon_png_test.cpp: the desktop icons that the icon generator writes beside the .ico files
// (icons/locomotive-16.png, -32 and -48) decode with SDL2_image, an independent PNG reader, to
// exactly the 32-bit image of the same size in icons/locomotive.ico, so the Linux desktop and the
// Windows programs show the same art. Runs with the build folder as the working directory.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_image.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "support/file_bytes.h"

namespace {

// The 32-bit image of `size` pixels in an .ico as RGBA rows, top first; empty if none.
std::vector<uint8_t> icoImage(const std::vector<uint8_t>& ico, int size) {
    for (uint32_t i = 0; i < le(ico, 4, 2); ++i) {
        size_t entry = 6 + 16 * i;
        if (ico.at(entry) != size || le(ico, entry + 6, 2) != 32)
            continue;
        size_t bits = le(ico, entry + 12, 4) + 40;
        std::vector<uint8_t> rgba;
        for (int y = size - 1; y >= 0; --y)
            for (int x = 0; x < size; ++x) {
                size_t at = bits + (size_t(y) * size + x) * 4;
                rgba.insert(rgba.end(),
                            {ico.at(at + 2), ico.at(at + 1), ico.at(at), ico.at(at + 3)});
            }
        return rgba;
    }
    return {};
}

} // namespace

TEST(DesktopIcons, DecodeToTheWindowsIconsImages) {
    std::vector<uint8_t> ico = readBytes("icons/locomotive.ico");
    ASSERT_GT(ico.size(), 6u);
    for (int size : {16, 32, 48}) {
        SCOPED_TRACE(size);
        std::string path = "icons/locomotive-" + std::to_string(size) + ".png";
        SDL_Surface* loaded = IMG_Load(path.c_str());
        ASSERT_NE(loaded, nullptr) << IMG_GetError();
        SDL_Surface* png = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ABGR8888, 0);
        SDL_FreeSurface(loaded);
        ASSERT_NE(png, nullptr);
        EXPECT_EQ(png->w, size);
        EXPECT_EQ(png->h, size);
        std::vector<uint8_t> decoded;
        for (int y = 0; y < png->h; ++y) {
            const uint8_t* row = static_cast<const uint8_t*>(png->pixels) + y * png->pitch;
            decoded.insert(decoded.end(), row, row + png->w * 4);
        }
        SDL_FreeSurface(png);
        std::vector<uint8_t> expected = icoImage(ico, size);
        ASSERT_EQ(expected.size(), size_t(size) * size * 4);
        EXPECT_EQ(decoded, expected);
    }
}
