// image_decoder_test.cpp: the image decoder backend's contract: pixels as 0xAARRGGBB rows top
// first, decoded as the format named, and refusals leaving the image empty.
#include "platform/backends/image_decoder.h"

#include <gtest/gtest.h>

#include <cstring>
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

void put16(std::string& bytes, size_t at, uint16_t value) {
    bytes[at] = char(value & 0xFF);
    bytes[at + 1] = char(value >> 8);
}

void put32(std::string& bytes, size_t at, uint32_t value) {
    put16(bytes, at, uint16_t(value & 0xFFFF));
    put16(bytes, at + 2, uint16_t(value >> 16));
}

// A BMP file with a 40-byte header, no compression, the given rows (each already padded to 4
// bytes) and palette; a negative height stores the rows top first.
std::string bmp(int32_t width, int32_t height, uint16_t bits, const std::string& palette,
                const std::string& rows) {
    std::string bytes(54, '\0');
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(bytes, 2, uint32_t(54 + palette.size() + rows.size()));
    put32(bytes, 10, uint32_t(54 + palette.size()));
    put32(bytes, 14, 40);
    put32(bytes, 18, uint32_t(width));
    put32(bytes, 22, uint32_t(height));
    put16(bytes, 26, 1);
    put16(bytes, 28, bits);
    put32(bytes, 34, uint32_t(rows.size()));
    put32(bytes, 46, uint32_t(palette.size() / 4));
    return bytes + palette + rows;
}

// 3 x 2 pixels, 24 bits (BGR), rows bottom first and padded from 9 to 12 bytes, as the
// program's own textures are written.
const std::string bottomRow24("\x01\x02\x03\x04\x05\x06\x07\x08\x09\0\0\0", 12);
const std::string topRow24("\x10\x20\x30\x40\x50\x60\x70\x80\x90\0\0\0", 12);
const std::vector<uint32_t> pixels24{0xFF302010, 0xFF605040, 0xFF908070,
                                     0xFF030201, 0xFF060504, 0xFF090807};

} // namespace

TEST(ImageDecoderTest, BmpRowsOfEveryStoredOrderAndDepthBecomeOpaqueArgbTopFirst) {
    DecodedImage image;
    ASSERT_TRUE(decode(bmp(3, 2, 24, "", bottomRow24 + topRow24), ImageFileFormat::bmp, image));
    EXPECT_EQ(image.width, 3u);
    EXPECT_EQ(image.height, 2u);
    EXPECT_EQ(image.pixels, pixels24);
    // Rows stored top first, as a negative height says.
    ASSERT_TRUE(decode(bmp(3, -2, 24, "", topRow24 + bottomRow24), ImageFileFormat::bmp, image));
    EXPECT_EQ(image.height, 2u);
    EXPECT_EQ(image.pixels, pixels24);
    // 8 bits a pixel through a palette of BGRx entries.
    const std::string palette("\x11\x22\x33\0\x44\x55\x66\0", 8);
    ASSERT_TRUE(decode(bmp(2, 2, 8, palette, std::string("\0\1\0\0\1\1\0\0", 8)),
                       ImageFileFormat::bmp, image));
    EXPECT_EQ(image.pixels,
              (std::vector<uint32_t>{0xFF665544, 0xFF665544, 0xFF332211, 0xFF665544}));
}

TEST(ImageDecoderTest, TruncatedOrOversizedBmpIsRefused) {
    DecodedImage image;
    const std::string whole = bmp(3, 2, 24, "", bottomRow24 + topRow24);
    EXPECT_FALSE(decode(whole.substr(0, 30), ImageFileFormat::bmp, image));
    EXPECT_TRUE(image.pixels.empty());
    // A header that declares far more pixels than the file holds.
    std::string huge = whole;
    put32(huge, 18, 1u << 20);
    put32(huge, 22, 1u << 20);
    EXPECT_FALSE(decode(huge, ImageFileFormat::bmp, image));
    EXPECT_TRUE(image.pixels.empty());
}

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
