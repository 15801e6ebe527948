// d3dx9_texture.cpp: D3DXCreateTextureFromFileA and D3DXCreateTextureFromFileExA. The file is
// read whole; its header (image_file_info.h) names the format and is refused when it declares
// more than 4096 x 4096 pixels, before the image decoder backend sees it. The texture's format
// follows the file's alpha as D3DX's does for D3DFMT_UNKNOWN; a colour key turns its pixels
// transparent; sides that are not powers of two are scaled up to the next one (and sides above
// 4096 down to 4096); the full mip chain is made, each level a 2 x 2 box average of the one
// above, and filled through CreateTexture and LockRect of the Direct3D 9 device.
#include <d3dx9.h>

#include "file_path.h"
#include "image_decoder.h"
#include "image_file_info.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
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

// The most pixels a file may declare. Decoders allocate what the header declares before reading
// the pixels, so a header of a few bytes could otherwise ask for gigabytes; textures larger than
// this are scaled down to 4096 x 4096 at most anyway.
constexpr uint64_t maxDeclaredPixels = 4096 * 4096;

// The largest file read: four times the bytes of the largest image declared, room for any
// encoding of it with its metadata.
constexpr std::streamoff maxFileBytes = std::streamoff(maxDeclaredPixels) * 4 * 4;

UINT nextPowerOfTwo(UINT n) {
    UINT p = 1;
    while (p < n)
        p *= 2;
    return p;
}

// The side made for a requested one: the file's when D3DX_DEFAULT, 0 or D3DX_DEFAULT_NONPOW2
// asks for it, rounded up to a power of two and at most 4096.
UINT textureSide(UINT requested, UINT fileSide) {
    const bool fromFile = requested == 0 || requested == D3DX_DEFAULT ||
                          requested == D3DX_DEFAULT_NONPOW2 || requested == D3DX_FROM_FILE;
    return std::min(nextPowerOfTwo(fromFile ? fileSide : std::min(requested, maxTextureSide)),
                    maxTextureSide);
}

bool endsWithTga(const std::string& path) {
    if (path.size() < 4)
        return false;
    std::string end = path.substr(path.size() - 4);
    for (char& c : end)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return end == ".tga";
}

bool readFile(const std::string& path, std::vector<uint8_t>& bytes) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file)
        return false;
    const std::streamoff size = file.tellg();
    if (size <= 0 || size > maxFileBytes)
        return false;
    bytes.resize(size_t(size));
    file.seekg(0);
    return bool(file.read(reinterpret_cast<char*>(bytes.data()), size));
}

D3DXIMAGE_FILEFORMAT fileFormatOf(ImageFileFormat format) {
    switch (format) {
    case ImageFileFormat::png:
        return D3DXIFF_PNG;
    case ImageFileFormat::jpeg:
        return D3DXIFF_JPG;
    case ImageFileFormat::tga:
        return D3DXIFF_TGA;
    default:
        return D3DXIFF_BMP;
    }
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

HRESULT WINAPI D3DXCreateTextureFromFileExA(LPDIRECT3DDEVICE9 device, LPCSTR fileName, UINT width,
                                            UINT height, UINT mipLevels, DWORD usage,
                                            D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                            DWORD mipFilter, D3DCOLOR colourKey,
                                            D3DXIMAGE_INFO* fileInfo, PALETTEENTRY*,
                                            LPDIRECT3DTEXTURE9* texture) {
    if (texture != nullptr)
        *texture = nullptr;
    if (device == nullptr || fileName == nullptr || texture == nullptr || filter != D3DX_DEFAULT ||
        (mipFilter != D3DX_DEFAULT && mipFilter != D3DX_FILTER_BOX))
        return D3DERR_INVALIDCALL;

    const std::string path = resolveWindowsPath(fileName);
    std::vector<uint8_t> bytes;
    if (!readFile(path, bytes))
        return D3DXERR_INVALIDDATA;
    const ImageFileInfo info = readImageFileInfo(bytes, endsWithTga(path));
    if (!info.readable || info.width == 0 || info.height == 0 ||
        info.width * info.height > maxDeclaredPixels)
        return D3DXERR_INVALIDDATA;
    DecodedImage decoded;
    if (!decodeImage(bytes.data(), bytes.size(), info.format, decoded))
        return D3DXERR_INVALIDDATA;
    bytes = {};
    Image image{decoded.width, decoded.height, std::move(decoded.pixels)};

    // A file without alpha is opaque, whatever its decoder made of unused bits; the key then
    // matches its pixels with alpha 0xFF.
    for (uint32_t& pixel : image.pixels) {
        if (!info.hasAlpha)
            pixel |= 0xFF000000;
        if (colourKey != 0 && pixel == colourKey)
            pixel = 0;
    }
    if (format == D3DFMT_UNKNOWN)
        format = info.hasAlpha || colourKey != 0 ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
    if (fileInfo != nullptr)
        *fileInfo = {image.width,
                     image.height,
                     1,
                     1,
                     info.hasAlpha ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8,
                     D3DRTYPE_TEXTURE,
                     fileFormatOf(info.format)};

    width = textureSide(width, image.width);
    height = textureSide(height, image.height);
    if (width != image.width || height != image.height)
        image = resampled(image, width, height);
    UINT fullChain = 1;
    for (UINT side = std::max(width, height); side > 1; side /= 2)
        ++fullChain;
    if (mipLevels == D3DX_FROM_FILE)
        mipLevels = 1;                                // an image file holds one level
    else if (mipLevels == 0 || mipLevels > fullChain) // D3DX_DEFAULT among them
        mipLevels = fullChain;

    IDirect3DTexture9* created = nullptr;
    HRESULT result =
        device->CreateTexture(width, height, mipLevels, usage, format, pool, &created, nullptr);
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

HRESULT WINAPI D3DXCreateTextureFromFileA(LPDIRECT3DDEVICE9 device, LPCSTR fileName,
                                          LPDIRECT3DTEXTURE9* texture) {
    return D3DXCreateTextureFromFileExA(device, fileName, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT,
                                        0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                        D3DX_DEFAULT, 0, nullptr, nullptr, texture);
}
