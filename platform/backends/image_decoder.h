// image_decoder.h: the contract of an image decoder backend: the bytes of a whole BMP, PNG, JPEG
// or TGA file, held in memory, to 32-bit pixels. The texture loader (d3dx9/d3dx9_texture.cpp)
// reads the file, tells its format from the header (TGA has no signature), bounds the sides the
// header declares and decides from it whether the file has alpha, before it calls the decoder.
// No library type appears here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum class ImageFileFormat { bmp, png, jpeg, tga };

struct DecodedImage {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> pixels; // 0xAARRGGBB, rows top to bottom
};

// Decodes the file's bytes as the given format. False, with image left empty, when they are not
// a decodable image of that format or the image has no pixels.
bool decodeImage(const uint8_t* bytes, size_t size, ImageFileFormat format, DecodedImage& image);
