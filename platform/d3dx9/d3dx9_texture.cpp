// d3dx9_texture.cpp: D3DXCreateTextureFromFileA. Decodes PNG, BMP, TGA and JPEG files with
// SDL2_image, scales images whose sides are not powers of two up to the next power of two
// (and sides above 4096 down to 4096), and fills a managed A8R8G8B8 texture with its full mip
// chain, each level a 2 x 2 box average of the one above, through CreateTexture and LockRect
// of the Direct3D 9 device. A file declaring more than 4096 x 4096 pixels is refused before
// it is decoded.
// Depends on d3dx9.h, d3d9.h, file_path.h and SDL2_image.
#include <d3dx9.h>

#include "file_path.h"

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Image {
    UINT width = 0;
    UINT height = 0;
    std::vector<uint32_t> pixels; // 0xAARRGGBB, rows top to bottom
};

// The largest texture side made: a larger image is scaled down to it, as the utility library
// does for the sizes a device supports, so a file cannot ask for unbounded work and memory.
constexpr UINT maxTextureSide = 4096;

UINT nextPowerOfTwo(UINT n) {
    UINT p = 1;
    while (p < n)
        p *= 2;
    return p;
}

// The most pixels a file may declare. The decoders allocate what the header declares before
// reading the pixels, so a header of a few bytes could otherwise ask for gigabytes; textures
// larger than this are scaled down to 4096 x 4096 at most anyway.
constexpr uint64_t maxDeclaredPixels = 4096 * 4096;

enum class ImageFormat { unknown, bmp, png, jpeg, tga };

struct ImageHeader {
    ImageFormat format = ImageFormat::unknown;
    uint64_t width = 0;
    uint64_t height = 0;
};

uint32_t littleEndian(const std::string& bytes, size_t at, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | uint8_t(bytes[at + i]);
    return value;
}

uint32_t bigEndian(const std::string& bytes, size_t at, int size) {
    uint32_t value = 0;
    for (int i = 0; i < size; ++i)
        value = value << 8 | uint8_t(bytes[at + i]);
    return value;
}

// Whether every chunk of a PNG file lies inside the file, up to its end chunk. The decoder
// would otherwise go on reading a chunk that declares more bytes than the file holds.
bool pngChunksFit(std::ifstream& file) {
    file.clear();
    file.seekg(0, std::ios::end);
    const uint64_t fileSize = uint64_t(file.tellg());
    for (uint64_t at = 8; at + 12 <= fileSize;) {
        std::string chunk(8, '\0');
        file.seekg(std::streamoff(at));
        if (!file.read(chunk.data(), 8))
            return false;
        const uint64_t end = at + 12 + bigEndian(chunk, 0, 4);
        if (end > fileSize)
            return false;
        if (chunk.compare(4, 4, "IEND") == 0)
            return true;
        at = end;
    }
    return false;
}

// The format and the declared size, from the first bytes of the file: BMP, PNG and JPEG by
// their signatures, TGA, which has none, by a name ending in ".tga".
ImageHeader readImageHeader(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string bytes(256 * 1024, '\0');
    file.read(bytes.data(), std::streamsize(bytes.size()));
    bytes.resize(size_t(file.gcount()));
    ImageHeader header;
    if (bytes.size() >= 26 && bytes.compare(0, 2, "BM") == 0) {
        header.format = ImageFormat::bmp;
        const bool core = littleEndian(bytes, 14, 4) == 12; // the old header of 16-bit sides
        header.width = core ? littleEndian(bytes, 18, 2) : littleEndian(bytes, 18, 4);
        header.height = core ? littleEndian(bytes, 20, 2) : littleEndian(bytes, 22, 4);
        if (!core) { // sides are signed: a negative height means rows top first
            header.width = uint64_t(std::abs(int64_t(int32_t(header.width))));
            header.height = uint64_t(std::abs(int64_t(int32_t(header.height))));
        }
    } else if (bytes.size() >= 24 && bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0) {
        header.format = pngChunksFit(file) ? ImageFormat::png : ImageFormat::unknown;
        header.width = bigEndian(bytes, 16, 4);
        header.height = bigEndian(bytes, 20, 4);
    } else if (bytes.size() >= 4 && bytes.compare(0, 2, "\xff\xd8") == 0) {
        // The size is in the first start-of-frame segment (markers C0 to CF but for C4, C8
        // and CC); every segment before it gives its length.
        for (size_t at = 2; at + 9 <= bytes.size() && uint8_t(bytes[at]) == 0xFF;) {
            const uint8_t marker = uint8_t(bytes[at + 1]);
            if (marker == 0xFF) {
                ++at;
            } else if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
                       marker != 0xCC) {
                header.format = ImageFormat::jpeg;
                header.height = bigEndian(bytes, at + 5, 2);
                header.width = bigEndian(bytes, at + 7, 2);
                break;
            } else {
                at += 2 + bigEndian(bytes, at + 2, 2);
            }
        }
    } else if (bytes.size() >= 18 && path.size() >= 4 &&
               SDL_strcasecmp(path.c_str() + path.size() - 4, ".tga") == 0) {
        header.format = ImageFormat::tga;
        header.width = littleEndian(bytes, 12, 2);
        header.height = littleEndian(bytes, 14, 2);
    }
    return header;
}

// Decodes a file of one of the four formats, after checking the size its header declares.
SDL_Surface* loadImage(const std::string& path) {
    const ImageHeader header = readImageHeader(path);
    if (header.format == ImageFormat::unknown || header.width == 0 || header.height == 0 ||
        header.width * header.height > maxDeclaredPixels)
        return nullptr;
    SDL_RWops* file = SDL_RWFromFile(path.c_str(), "rb");
    if (file == nullptr)
        return nullptr;
    SDL_Surface* surface = nullptr;
    switch (header.format) {
    case ImageFormat::bmp:
        surface = IMG_LoadBMP_RW(file);
        break;
    case ImageFormat::png:
        surface = IMG_LoadPNG_RW(file);
        break;
    case ImageFormat::jpeg:
        surface = IMG_LoadJPG_RW(file);
        break;
    default:
        surface = IMG_LoadTGA_RW(file);
        break;
    }
    SDL_RWclose(file);
    return surface;
}

// Reads the file into 32-bit ARGB pixels; false when it is missing or cannot be decoded.
bool decodeImage(const std::string& path, Image& image) {
    SDL_Surface* decoded = loadImage(path);
    if (decoded == nullptr)
        return false;
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(decoded);
    // An image without pixels (a TGA file may declare a side of 0) is not decodable.
    if (argb == nullptr || argb->w <= 0 || argb->h <= 0) {
        SDL_FreeSurface(argb);
        return false;
    }
    image.width = static_cast<UINT>(argb->w);
    image.height = static_cast<UINT>(argb->h);
    image.pixels.resize(static_cast<size_t>(image.width) * image.height);
    SDL_LockSurface(argb);
    for (UINT y = 0; y < image.height; ++y)
        std::memcpy(&image.pixels[static_cast<size_t>(y) * image.width],
                    static_cast<const uint8_t*>(argb->pixels) +
                        static_cast<size_t>(y) * argb->pitch,
                    image.width * sizeof(uint32_t));
    SDL_UnlockSurface(argb);
    SDL_FreeSurface(argb);
    return true;
}

uint32_t channel(uint32_t pixel, int shift) {
    return (pixel >> shift) & 0xFF;
}

// Bilinear resampling to width x height, sampling at texel centres.
Image resampled(const Image& source, UINT width, UINT height) {
    Image result;
    result.width = width;
    result.height = height;
    result.pixels.resize(static_cast<size_t>(width) * height);
    for (UINT y = 0; y < height; ++y) {
        float sy = (y + 0.5f) * source.height / height - 0.5f;
        sy = sy < 0 ? 0 : sy;
        UINT y0 = static_cast<UINT>(sy);
        UINT y1 = y0 + 1 < source.height ? y0 + 1 : y0;
        float fy = sy - y0;
        for (UINT x = 0; x < width; ++x) {
            float sx = (x + 0.5f) * source.width / width - 0.5f;
            sx = sx < 0 ? 0 : sx;
            UINT x0 = static_cast<UINT>(sx);
            UINT x1 = x0 + 1 < source.width ? x0 + 1 : x0;
            float fx = sx - x0;
            const uint32_t p00 = source.pixels[y0 * source.width + x0];
            const uint32_t p01 = source.pixels[y0 * source.width + x1];
            const uint32_t p10 = source.pixels[y1 * source.width + x0];
            const uint32_t p11 = source.pixels[y1 * source.width + x1];
            uint32_t out = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                float top = channel(p00, shift) * (1 - fx) + channel(p01, shift) * fx;
                float bottom = channel(p10, shift) * (1 - fx) + channel(p11, shift) * fx;
                out |= static_cast<uint32_t>(top * (1 - fy) + bottom * fy + 0.5f) << shift;
            }
            result.pixels[static_cast<size_t>(y) * width + x] = out;
        }
    }
    return result;
}

// The next smaller mip level: each texel averages the 2 x 2 (or 2 x 1) block above it.
Image halved(const Image& source) {
    Image result;
    result.width = source.width > 1 ? source.width / 2 : 1;
    result.height = source.height > 1 ? source.height / 2 : 1;
    result.pixels.resize(static_cast<size_t>(result.width) * result.height);
    const UINT stepX = source.width > 1 ? 1 : 0;
    const UINT stepY = source.height > 1 ? 1 : 0;
    for (UINT y = 0; y < result.height; ++y)
        for (UINT x = 0; x < result.width; ++x) {
            const UINT sx = x * 2 * stepX, sy = y * 2 * stepY;
            const uint32_t block[4] = {source.pixels[sy * source.width + sx],
                                       source.pixels[sy * source.width + sx + stepX],
                                       source.pixels[(sy + stepY) * source.width + sx],
                                       source.pixels[(sy + stepY) * source.width + sx + stepX]};
            uint32_t out = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                uint32_t sum = 0;
                for (uint32_t p : block)
                    sum += channel(p, shift);
                out |= ((sum + 2) / 4) << shift;
            }
            result.pixels[static_cast<size_t>(y) * result.width + x] = out;
        }
    return result;
}

HRESULT fillLevel(IDirect3DTexture9* texture, UINT level, const Image& image) {
    D3DLOCKED_RECT locked;
    HRESULT result = texture->LockRect(level, &locked, nullptr, 0);
    if (FAILED(result))
        return result;
    for (UINT y = 0; y < image.height; ++y)
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch,
                    &image.pixels[static_cast<size_t>(y) * image.width],
                    image.width * sizeof(uint32_t));
    return texture->UnlockRect(level);
}

} // namespace

HRESULT WINAPI D3DXCreateTextureFromFileA(LPDIRECT3DDEVICE9 device, LPCSTR fileName,
                                          LPDIRECT3DTEXTURE9* texture) {
    if (texture != nullptr)
        *texture = nullptr;
    if (device == nullptr || fileName == nullptr || texture == nullptr)
        return D3DERR_INVALIDCALL;

    Image image;
    if (!decodeImage(resolveWindowsPath(fileName), image))
        return D3DXERR_INVALIDDATA;
    const UINT width = std::min(nextPowerOfTwo(image.width), maxTextureSide);
    const UINT height = std::min(nextPowerOfTwo(image.height), maxTextureSide);
    if (width != image.width || height != image.height)
        image = resampled(image, width, height);

    IDirect3DTexture9* created = nullptr;
    HRESULT result = device->CreateTexture(width, height, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                           &created, nullptr);
    if (FAILED(result))
        return result;
    const DWORD levels = created->GetLevelCount();
    for (DWORD level = 0; level < levels; ++level) {
        if (level > 0)
            image = halved(image);
        result = fillLevel(created, level, image);
        if (FAILED(result)) {
            created->Release();
            return result;
        }
    }
    *texture = created;
    return D3D_OK;
}
