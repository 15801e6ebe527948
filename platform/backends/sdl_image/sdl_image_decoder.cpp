// sdl_image_decoder.cpp: the image decoder on SDL2_image: the file's bytes are read from memory by
// the decoder of the format named (so TGA, which has no signature, is never guessed) and
// converted to ARGB8888 rows.
#include "image_decoder.h"

#include <SDL.h>
#include <SDL_image.h>

#include <climits>
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

} // namespace

bool decodeImage(const uint8_t* bytes, size_t size, ImageFileFormat format, DecodedImage& image) {
    image = DecodedImage{};
    if (bytes == nullptr || size == 0 || size > size_t(INT_MAX))
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
