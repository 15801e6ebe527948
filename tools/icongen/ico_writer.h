// ico_writer.h: writes Windows .ico files from RGBA pictures: each image stored as a DIB at 4 bits
// (16-colour system palette), 8 bits (fixed 256-colour palette) or 32 bits (with alpha), each with
// its transparency mask.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 0;
};

struct IconImage {
    int size = 0;             // width = height, 1..255
    int bitCount = 0;         // 4, 8 or 32
    std::vector<Rgba> pixels; // size * size, row 0 at the top
};

// The image's DIB (header, palette, colour bits, mask) as stored in an .ico file.
std::vector<uint8_t> encodeIconImage(const IconImage& image);
bool writeIcon(const std::string& path, const std::vector<IconImage>& images);
