// image_file_info.h: what the first bytes of an image file say before it is decoded: its format
// (BMP, PNG and JPEG by their signatures; TGA, which has none, by a name ending in ".tga"), the
// sides it declares and whether its pixels carry alpha. d3dx9_texture.cpp refuses files with it
// and chooses the texture's format from it.
#pragma once

#include "image_decoder.h"

#include <cstdint>
#include <vector>

struct ImageFileInfo {
    bool readable = false; // one of the four formats, with a header that fits the file
    ImageFileFormat format = ImageFileFormat::bmp;
    uint64_t width = 0;
    uint64_t height = 0;
    bool hasAlpha = false; // an alpha channel or mask, PNG transparency, or a 32-bit BMP file
                           // whose unused bytes are not all 0
};

ImageFileInfo readImageFileInfo(const std::vector<uint8_t>& bytes, bool namedTga);
