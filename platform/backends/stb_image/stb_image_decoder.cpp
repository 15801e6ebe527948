// stb_image_decoder.cpp: the image decoder on stb_image, for builds without SDL2_image (the web
// build). stb_image guesses the format from the bytes, so the format named is checked first by
// its signature: a file is decoded only as what the texture loader says it is, and TGA, which has
// no signature, only when it looks like none of the others. Pixels come out as RGBA bytes and are
// packed into ARGB words.
#include "image_decoder.h"

#include <climits>
#include <cstring>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_TGA
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_FAILURE_USERMSG
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace {

bool startsWith(const uint8_t* bytes, size_t size, const char* signature, size_t length) {
    return size >= length && std::memcmp(bytes, signature, length) == 0;
}

bool isBmp(const uint8_t* bytes, size_t size) {
    return startsWith(bytes, size, "BM", 2);
}

bool isPng(const uint8_t* bytes, size_t size) {
    return startsWith(bytes, size, "\x89PNG\r\n\x1A\n", 8);
}

bool isJpeg(const uint8_t* bytes, size_t size) {
    return startsWith(bytes, size, "\xFF\xD8", 2);
}

bool hasSignatureOf(const uint8_t* bytes, size_t size, ImageFileFormat format) {
    switch (format) {
    case ImageFileFormat::bmp:
        return isBmp(bytes, size);
    case ImageFileFormat::png:
        return isPng(bytes, size);
    case ImageFileFormat::jpeg:
        return isJpeg(bytes, size);
    case ImageFileFormat::tga:
        return !isBmp(bytes, size) && !isPng(bytes, size) && !isJpeg(bytes, size);
    }
    return false;
}

} // namespace

bool decodeImage(const uint8_t* bytes, size_t size, ImageFileFormat format, DecodedImage& image) {
    image = DecodedImage{};
    if (bytes == nullptr || size == 0 || size > size_t(INT_MAX) ||
        !hasSignatureOf(bytes, size, format))
        return false;
    int width = 0, height = 0, channels = 0;
    stbi_uc* rgba = stbi_load_from_memory(bytes, int(size), &width, &height, &channels, 4);
    // A picture without pixels (a TGA file may declare a side of 0) is not an image.
    if (rgba == nullptr || width <= 0 || height <= 0) {
        stbi_image_free(rgba);
        return false;
    }
    image.width = uint32_t(width);
    image.height = uint32_t(height);
    image.pixels.resize(size_t(image.width) * image.height);
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        const stbi_uc* p = rgba + i * 4;
        image.pixels[i] = uint32_t(p[3]) << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    }
    stbi_image_free(rgba);
    return true;
}
