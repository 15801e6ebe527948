// image_decoder_test.cpp: the image decoder backend's contract: pixels as 0xAARRGGBB rows top
// first, decoded as the format named, and refusals leaving the image empty.
#include "platform/backends/image_decoder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

bool decode(const std::string& bytes, ImageFileFormat format, DecodedImage& image) {
    return decodeImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), format, image);
}

// 2 x 2 pixels, rows bottom to top, 32 bits a pixel (BGRA) with 8 bits of alpha.
const std::string tga32 =
    std::string("\0\0\2\0\0\0\0\0\0\0\0\0\2\0\2\0\x20\x08", 18) + std::string("\x30\x20\x10\x80"
                                                                              "\x60\x50\x40\xFF"
                                                                              "\x90\x80\x70\x00"
                                                                              "\xC0\xB0\xA0\xFF",
                                                                              16);

} // namespace

TEST(ImageDecoderTest, PixelsAreArgbRowsTopFirst) {
    DecodedImage image;
    ASSERT_TRUE(decode(tga32, ImageFileFormat::tga, image));
    EXPECT_EQ(image.width, 2u);
    EXPECT_EQ(image.height, 2u);
    EXPECT_EQ(image.pixels,
              (std::vector<uint32_t>{0x00708090, 0xFFA0B0C0, 0x80102030, 0xFF405060}));
}

TEST(ImageDecoderTest, RefusalsLeaveTheImageEmpty) {
    DecodedImage image;
    ASSERT_TRUE(decode(tga32, ImageFileFormat::tga, image));
    // The format named decides: a TGA file is not a BMP or PNG file.
    EXPECT_FALSE(decode(tga32, ImageFileFormat::bmp, image));
    EXPECT_TRUE(image.pixels.empty());
    EXPECT_EQ(image.width, 0u);
    EXPECT_FALSE(decode(tga32, ImageFileFormat::png, image));
    EXPECT_FALSE(decode("not an image, only some text", ImageFileFormat::jpeg, image));
    EXPECT_FALSE(decode("", ImageFileFormat::bmp, image));
    // A TGA image 0 pixels wide has no pixels to give.
    std::string empty = tga32;
    empty[12] = 0;
    EXPECT_FALSE(decode(empty, ImageFileFormat::tga, image));
    EXPECT_TRUE(image.pixels.empty());
}
