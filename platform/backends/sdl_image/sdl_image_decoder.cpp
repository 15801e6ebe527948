// sdl_image_decoder.cpp: the image decoder on SDL2_image: the file's bytes are read from memory by
// the decoder of the format named (so TGA, which has no signature, is never guessed) and
// converted to ARGB8888 rows. An uncompressed BMP file shorter than its header's rows is refused
// before the library sees it.
#include "image_decoder.h"

#include <SDL.h>
#include <SDL_image.h>

#include <climits>
#include <cstdint>
#include <cstring>

namespace {

SDL_Surface* load(SDL_RWops* stream, ImageFileFormat format) {
    switch (format) {
    case ImageFileFormat::bmp:
        return IMG_LoadBMP_RW(stream);
    case ImageFileFormat::png:
        return IMG_LoadPNG_RW(stream);
    case ImageFileFormat::jpeg:
        return IMG_LoadJPG_RW(stream);
    case ImageFileFormat::tga:
        return IMG_LoadTGA_RW(stream);
    }
    return nullptr;
}

uint32_t read32(const uint8_t* at) {
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

// False when an uncompressed BMP file is too short for the rows its header declares, so that
// a damaged header does not make the library set aside memory for pixels the file lacks.
bool bmpHoldsItsRows(const uint8_t* bytes, size_t size) {
    if (size < 34 || read32(bytes + 14) < 40)
        return true; // too short for the library to read, or an old header: the library judges
    const uint32_t compression = read32(bytes + 30);
    if (compression != 0 && compression != 3)
        return true; // run-length encoded rows have no fixed size
    const int64_t width = int32_t(read32(bytes + 18));
    const int64_t height = int32_t(read32(bytes + 22));
    const int64_t bits = int64_t(bytes[28]) | int64_t(bytes[29]) << 8;
    const int64_t rowBytes = (width * bits + 31) / 32 * 4;
    const int64_t rows = height < 0 ? -height : height;
    const int64_t available = int64_t(size) - int64_t(read32(bytes + 10));
    if (width < 0 || available < 0)
        return false;
    return rows == 0 || rowBytes <= available / rows;
}

} // namespace

bool decodeImage(const uint8_t* bytes, size_t size, ImageFileFormat format, DecodedImage& image) {
    image = DecodedImage{};
    if (bytes == nullptr || size == 0 || size > size_t(INT_MAX))
        return false;
    if (format == ImageFileFormat::bmp && !bmpHoldsItsRows(bytes, size))
        return false;
    SDL_RWops* stream = SDL_RWFromConstMem(bytes, int(size));
    if (stream == nullptr)
        return false;
    SDL_Surface* decoded = load(stream, format);
    SDL_RWclose(stream);
    if (decoded == nullptr)
        return false;
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(decoded);
    // A picture without pixels (a TGA file may declare a side of 0) is not an image.
    if (argb == nullptr || argb->w <= 0 || argb->h <= 0) {
        SDL_FreeSurface(argb);
        return false;
    }
    image.width = uint32_t(argb->w);
    image.height = uint32_t(argb->h);
    image.pixels.resize(size_t(image.width) * image.height);
    SDL_LockSurface(argb);
    for (uint32_t y = 0; y < image.height; ++y)
        std::memcpy(&image.pixels[size_t(y) * image.width],
                    static_cast<const uint8_t*>(argb->pixels) + size_t(y) * argb->pitch,
                    image.width * sizeof(uint32_t));
    SDL_UnlockSurface(argb);
    SDL_FreeSurface(argb);
    return true;
}
