// d3dx9_texture_test.cpp: textures from image files read back through LockRect: size, the
// full mip chain and its box-filtered levels, power-of-two scaling, and failures.
// Built for Windows too (tests/windows), where it checks the real APIs under Wine.
#include <windows.h>
#include <d3dx9.h>

#include "support/scratch_folder.h"
#include "support/test_device.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

class D3dxTextureTest : public SmallDeviceTest {
protected:
    // Writes ARGB pixels (rows top to bottom) as a PNG (with alpha) or a 24-bit BMP file, made
    // here byte by byte so that no image library stands between the test and the reader.
    std::string writeImage(const char* name, int w, int h, const std::vector<uint32_t>& pixels) {
        return writeFile(name, std::string_view(name).ends_with(".png") ? pngFile(w, h, pixels)
                                                                        : bmpFile(w, h, pixels));
    }

    std::string writeFile(const char* name, const std::string& bytes) {
        const std::string path = (folder / name).string();
        std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
        return path;
    }

    static void putBigEndian(std::string& out, uint32_t value) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out += char(value >> shift);
    }

    static void putLittleEndian(std::string& out, uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out += char(value >> (8 * i));
    }

    static uint32_t crc32(std::string_view data) {
        uint32_t crc = 0xFFFFFFFF;
        for (char c : data) {
            crc ^= uint8_t(c);
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
        }
        return ~crc;
    }

    static void putChunk(std::string& out, const char* type, const std::string& data) {
        putBigEndian(out, uint32_t(data.size()));
        const std::string typed = type + data;
        out += typed;
        putBigEndian(out, crc32(typed));
    }

    // 8 bits a channel, rows unfiltered, in one stored (uncompressed) deflate block: RGBA
    // (colour type 6) or RGB (colour type 2, alpha dropped), with any chunks given put before
    // the pixels.
    static std::string pngFile(int w, int h, const std::vector<uint32_t>& pixels,
                               int colourType = 6, const std::string& chunksBeforePixels = "") {
        std::string raw;
        for (int y = 0; y < h; ++y) {
            raw += '\0';
            for (int x = 0; x < w; ++x) {
                const uint32_t p = pixels[size_t(y) * w + x];
                raw += {char(p >> 16), char(p >> 8), char(p)};
                if (colourType == 6)
                    raw += char(p >> 24);
            }
        }
        std::string header;
        putBigEndian(header, w);
        putBigEndian(header, h);
        header += {8, char(colourType), 0, 0, 0};
        std::string zlib = {0x78, 0x01, 0x01};
        putLittleEndian(zlib, uint32_t(raw.size()), 2);
        putLittleEndian(zlib, uint32_t(~raw.size()), 2);
        zlib += raw;
        uint32_t a = 1, b = 0;
        for (char c : raw) {
            a = (a + uint8_t(c)) % 65521;
            b = (b + a) % 65521;
        }
        putBigEndian(zlib, b << 16 | a);
        std::string png = "\x89PNG\r\n\x1A\n";
        putChunk(png, "IHDR", header);
        png += chunksBeforePixels;
        putChunk(png, "IDAT", zlib);
        putChunk(png, "IEND", "");
        return png;
    }

    // Rows bottom to top, each padded to four bytes. 24 bits a pixel (alpha dropped), or 32:
    // with the plain header the fourth byte is unused, with a version 4 header it is alpha.
    enum class Bmp { rgb24, rgb32, argb32 };
    static std::string bmpFile(int w, int h, const std::vector<uint32_t>& pixels,
                               Bmp kind = Bmp::rgb24) {
        const int bytesPerPixel = kind == Bmp::rgb24 ? 3 : 4;
        const int rowBytes = (w * bytesPerPixel + 3) / 4 * 4;
        const int headerSize = kind == Bmp::argb32 ? 108 : 40;
        std::string bmp = "BM";
        putLittleEndian(bmp, 14 + headerSize + rowBytes * h, 4);
        putLittleEndian(bmp, 0, 4);
        putLittleEndian(bmp, 14 + headerSize, 4);
        putLittleEndian(bmp, headerSize, 4);
        putLittleEndian(bmp, w, 4);
        putLittleEndian(bmp, h, 4);
        putLittleEndian(bmp, 1, 2);
        putLittleEndian(bmp, bytesPerPixel * 8, 2);
        putLittleEndian(bmp, kind == Bmp::argb32 ? 3 : 0, 4); // bit fields, or none
        putLittleEndian(bmp, rowBytes * h, 4);
        bmp.append(16, '\0');
        if (kind == Bmp::argb32) {
            for (uint32_t mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u})
                putLittleEndian(bmp, mask, 4);
            putLittleEndian(bmp, 0x73524742, 4); // colours in sRGB: no end points, no gamma
            bmp.append(48, '\0');
        }
        for (int y = h - 1; y >= 0; --y) {
            for (int x = 0; x < w; ++x)
                putLittleEndian(bmp, pixels[size_t(y) * w + x], bytesPerPixel);
            bmp.append(rowBytes - w * bytesPerPixel, '\0');
        }
        return bmp;
    }

    // 24 or 32 bits a pixel, rows bottom to top; a 32-bit file declares 8 bits of alpha.
    static std::string tgaFile(int w, int h, const std::vector<uint32_t>& pixels, int bits) {
        std::string tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        putLittleEndian(tga, w, 2);
        putLittleEndian(tga, h, 2);
        tga += {char(bits), char(bits == 32 ? 8 : 0)};
        for (int y = h - 1; y >= 0; --y)
            for (int x = 0; x < w; ++x)
                putLittleEndian(tga, pixels[size_t(y) * w + x], bits / 8);
        return tga;
    }

    static D3DFORMAT formatOf(IDirect3DTexture9* texture) {
        D3DSURFACE_DESC desc{};
        EXPECT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
        return desc.Format;
    }

    std::vector<uint32_t> readLevel(IDirect3DTexture9* texture, UINT level) {
        D3DSURFACE_DESC desc{};
        texture->GetLevelDesc(level, &desc);
        std::vector<uint32_t> pixels(static_cast<size_t>(desc.Width) * desc.Height);
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        for (UINT y = 0; y < desc.Height; ++y)
            std::memcpy(&pixels[static_cast<size_t>(y) * desc.Width],
                        static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, desc.Width * 4);
        texture->UnlockRect(level);
        return pixels;
    }

    ScratchFolder scratch;
    const std::filesystem::path& folder = scratch.path;
};

} // namespace

TEST_F(D3dxTextureTest, PngGivesFullMipChainWithBoxFilteredLevels) {
    // 4 x 2: the left 2 x 2 block averages to 0x80402010 with alpha, the right one is opaque.
    const std::vector<uint32_t> pixels = {0xFF804020, 0x00000000, 0xFF0000FF, 0xFF0000FF,
                                          0x00000000, 0xFF804020, 0xFF00FF00, 0xFF00FF00};
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(
        D3DXCreateTextureFromFileA(device, writeImage("Block.png", 4, 2, pixels).c_str(), &texture),
        D3D_OK);
    ASSERT_NE(texture, nullptr);
    ASSERT_EQ(texture->GetLevelCount(), 3u);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 4u);
    EXPECT_EQ(desc.Height, 2u);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    ASSERT_EQ(texture->GetLevelDesc(2, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 1u);
    EXPECT_EQ(desc.Height, 1u);

    EXPECT_EQ(readLevel(texture, 0), pixels);
    const std::vector<uint32_t> level1 = readLevel(texture, 1);
    ASSERT_EQ(level1.size(), 2u);
    // The default mip filter is the box filter; Wine takes each block's first pixel instead.
#ifndef _WIN32
    EXPECT_EQ(level1[0], 0x80402010u);
    EXPECT_EQ(level1[1], 0xFF008080u);
    EXPECT_EQ(readLevel(texture, 2)[0], 0xC0205048u);
#endif
    EXPECT_EQ(texture->Release(), 0u);
}

TEST_F(D3dxTextureTest, BmpFromWindowsPathAndScaledUpToPowersOfTwo) {
    std::filesystem::create_directories(folder / "meshes");
    const std::vector<uint32_t> grey(6 * 3, 0xFF606060);
    writeImage("meshes/Grey.bmp", 6, 3, grey);
    const std::string windowsPath = folder.string() + "\\Meshes\\GREY.BMP";
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileA(device, windowsPath.c_str(), &texture), D3D_OK);
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 8u);
    EXPECT_EQ(desc.Height, 4u);
    EXPECT_EQ(texture->GetLevelCount(), 4u);
    // A file without alpha may give a texture whose fourth byte is unused (Wine's does), so
    // only the colour is compared.
    for (uint32_t pixel : readLevel(texture, 0))
        EXPECT_EQ(pixel & 0xFFFFFF, 0x606060u);
    EXPECT_EQ(readLevel(texture, 3)[0] & 0xFFFFFF, 0x606060u);
    texture->Release();
#ifndef _WIN32
    // A side beyond 4096 pixels is scaled down to it (the real library goes by the device).
    writeImage("Wide.bmp", 5000, 1, std::vector<uint32_t>(5000, 0xFF606060));
    ASSERT_EQ(D3DXCreateTextureFromFileA(device, (folder / "Wide.bmp").string().c_str(), &texture),
              D3D_OK);
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 4096u);
    EXPECT_EQ(desc.Height, 1u);
    texture->Release();
#endif
}

TEST_F(D3dxTextureTest, MissingOrUndecodableFilesGiveNoTexture) {
    std::ofstream(folder / "Garbage.png") << "not an image, only some text";
    std::ofstream(folder / "Empty.bmp");
    for (const std::string name : {"Missing.png", "Garbage.png", "Empty.bmp"}) {
        IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(1);
        EXPECT_LT(D3DXCreateTextureFromFileA(device, (folder / name).string().c_str(), &texture), 0)
            << name;
        // The layer clears the result on failure; Wine leaves it as it was.
#ifndef _WIN32
        EXPECT_EQ(texture, nullptr) << name;
#endif
    }
#ifndef _WIN32
    // A TGA image 0 pixels wide and 3 high, which the decoder hands over as an empty picture.
    const char header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 24, 0};
    std::ofstream(folder / "Empty.tga", std::ios::binary).write(header, 18) << "rgbrgbrgb";
    IDirect3DTexture9* texture = nullptr;
    EXPECT_LT(D3DXCreateTextureFromFileA(device, (folder / "Empty.tga").string().c_str(), &texture),
              0);
    EXPECT_EQ(texture, nullptr);
    // BMP files cut inside the header: each is refused, and nothing past its end is read.
    const std::string bmp = bmpFile(1, 1, {0xFF102030}, Bmp::rgb32);
    for (size_t length : {2, 26, 29, 33}) {
        const std::string path = writeFile("Cut.bmp", bmp.substr(0, length));
        EXPECT_EQ(D3DXCreateTextureFromFileA(device, path.c_str(), &texture), D3DXERR_INVALIDDATA)
            << length;
    }
    // A header of a few bytes declaring 5000 x 4000 pixels is refused before decoding (the TGA
    // decoder would fill in what the file lacks).
    const char large[18] = {0, 0, 2, 0,          0,    0,          0,    0,  0,
                            0, 0, 0, char(0x88), 0x13, char(0xA0), 0x0F, 24, 0};
    std::ofstream(folder / "Large.tga", std::ios::binary).write(large, 18) << "rgbrgb";
    EXPECT_LT(D3DXCreateTextureFromFileA(device, (folder / "Large.tga").string().c_str(), &texture),
              0);
    // PNG files whose chunks do not fit the file: a chunk declaring 2.6 MB in a file of a few
    // hundred bytes (the decoder went on reading it for seconds), and a file cut before its end
    // chunk. The whole file loads.
    const std::vector<uint32_t> pixels(4, 0xFF336699);
    const std::string whole = pngFile(2, 2, pixels);
    std::string longChunk = whole;
    longChunk.insert(whole.size() - 12, std::string("\x00\x28\x02\x74tRNS", 8) + "abcd");
    std::string cut = whole.substr(0, whole.size() - 12);
    const std::pair<const char*, const std::string*> files[] = {
        {"Whole.png", &whole}, {"LongChunk.png", &longChunk}, {"Cut.png", &cut}};
    for (const auto& [name, bytes] : files) {
        std::ofstream(folder / name, std::ios::binary)
            .write(bytes->data(), std::streamsize(bytes->size()));
        texture = nullptr;
        HRESULT result =
            D3DXCreateTextureFromFileA(device, (folder / name).string().c_str(), &texture);
        EXPECT_EQ(SUCCEEDED(result), bytes == &whole) << name;
        if (texture != nullptr)
            texture->Release();
    }
#endif
}

TEST_F(D3dxTextureTest, FormatFollowsTheFilesAlpha) {
    // 2 x 2 pixels, one of them half transparent where the file can carry it.
    const std::vector<uint32_t> pixels = {0xFF102030, 0x80405060, 0xFF708090, 0xFFA0B0C0};
    // The same colours with their fourth byte 0, as a 32-bit BMP file without alpha has them.
    const std::vector<uint32_t> opaque = {0x102030, 0x405060, 0x708090, 0xA0B0C0};
    const std::string trns = [] {
        std::string chunk;
        putChunk(chunk, "tRNS", std::string("\0\x10\0\x20\0\x30", 6)); // the first colour
        return chunk;
    }();
    const struct {
        const char* name;
        std::string bytes;
        D3DFORMAT expected;
    } files[] = {
        {"Rgb24.bmp", bmpFile(2, 2, pixels), D3DFMT_X8R8G8B8},
        {"Rgb32.bmp", bmpFile(2, 2, opaque, Bmp::rgb32), D3DFMT_X8R8G8B8},
        {"Rgb32Used.bmp", bmpFile(2, 2, pixels, Bmp::rgb32), D3DFMT_A8R8G8B8},
        {"Argb32.bmp", bmpFile(2, 2, pixels, Bmp::argb32), D3DFMT_A8R8G8B8},
        {"Rgb.png", pngFile(2, 2, pixels, 2), D3DFMT_X8R8G8B8},
        {"RgbKeyed.png", pngFile(2, 2, pixels, 2, trns), D3DFMT_A8R8G8B8},
        {"Rgba.png", pngFile(2, 2, pixels), D3DFMT_A8R8G8B8},
        {"Rgb24.tga", tgaFile(2, 2, pixels, 24), D3DFMT_X8R8G8B8},
        {"Argb32.tga", tgaFile(2, 2, pixels, 32), D3DFMT_A8R8G8B8},
    };
    for (const auto& file : files) {
        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(
            D3DXCreateTextureFromFileA(device, writeFile(file.name, file.bytes).c_str(), &texture),
            D3D_OK)
            << file.name;
        EXPECT_EQ(formatOf(texture), file.expected) << file.name;
        const std::vector<uint32_t> level = readLevel(texture, 0);
        for (size_t i = 0; i < pixels.size(); ++i)
            EXPECT_EQ(level[i] & 0xFFFFFF, pixels[i] & 0xFFFFFF) << file.name << " pixel " << i;
        if (file.expected == D3DFMT_A8R8G8B8 && file.name != std::string("RgbKeyed.png")) {
            EXPECT_EQ(level[1] >> 24, 0x80u) << file.name;
            EXPECT_EQ(level[0] >> 24, 0xFFu) << file.name;
        }
        texture->Release();
    }
}

TEST_F(D3dxTextureTest, ExplicitFormatSizeAndLevelsAreKept) {
    const std::vector<uint32_t> pixels = {0xFF102030, 0x80405060, 0xFF708090, 0xFFA0B0C0};
    const std::string bmp = writeFile("Plain.bmp", bmpFile(2, 2, pixels));
    const std::string png = writeFile("Alpha.png", pngFile(2, 2, pixels));
    IDirect3DTexture9* texture = nullptr;
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(D3DXCreateTextureFromFileExA(device, bmp.c_str(), D3DX_DEFAULT, D3DX_DEFAULT,
                                           D3DX_DEFAULT, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                           D3DX_DEFAULT, D3DX_DEFAULT, 0, &info, nullptr, &texture),
              D3D_OK);
    EXPECT_EQ(formatOf(texture), D3DFMT_A8R8G8B8);
    EXPECT_EQ(readLevel(texture, 0)[1], 0xFF405060u); // a file without alpha is opaque
    EXPECT_EQ(info.Width, 2u);
    EXPECT_EQ(info.Height, 2u);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_BMP);
    EXPECT_EQ(info.ResourceType, D3DRTYPE_TEXTURE);
    texture->Release();

    ASSERT_EQ(D3DXCreateTextureFromFileExA(device, png.c_str(), 8, 4, 2, 0, D3DFMT_X8R8G8B8,
                                           D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, &info,
                                           nullptr, &texture),
              D3D_OK);
    EXPECT_EQ(formatOf(texture), D3DFMT_X8R8G8B8);
    EXPECT_EQ(texture->GetLevelCount(), 2u);
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 8u);
    EXPECT_EQ(desc.Height, 4u);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_PNG);
    EXPECT_EQ(info.Format, D3DFMT_A8R8G8B8);
    texture->Release();
}

TEST_F(D3dxTextureTest, ColourKeyGivesTransparentBlackAndAnAlphaFormat) {
    // The key is compared with the pixel's alpha: a file without alpha is opaque, so 0xFF...
    // matches and a key with another alpha does not.
    const std::vector<uint32_t> pixels = {0xFF0000FF, 0xFF00FF00, 0xFF0000FF, 0xFFFF0000};
    const std::string bmp = writeFile("Keyed.bmp", bmpFile(4, 1, pixels));
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileExA(device, bmp.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 1, 0,
                                           D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                           D3DX_DEFAULT, 0xFF0000FF, nullptr, nullptr, &texture),
              D3D_OK);
    EXPECT_EQ(formatOf(texture), D3DFMT_A8R8G8B8);
    const std::vector<uint32_t> keyed = readLevel(texture, 0);
    EXPECT_EQ(keyed[0] >> 24, 0u);
    EXPECT_EQ(keyed[2] >> 24, 0u);
    EXPECT_EQ(keyed[1], 0xFF00FF00u);
    EXPECT_EQ(keyed[3], 0xFFFF0000u);
    // The documentation has the key's pixels become transparent black; Wine clears only their
    // alpha and keeps the colour.
#ifndef _WIN32
    EXPECT_EQ(keyed[0], 0u);
    EXPECT_EQ(keyed[2], 0u);
#endif
    texture->Release();

    ASSERT_EQ(D3DXCreateTextureFromFileExA(device, bmp.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 1, 0,
                                           D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                           D3DX_DEFAULT, 0x800000FF, nullptr, nullptr, &texture),
              D3D_OK);
    EXPECT_EQ(readLevel(texture, 0)[0], 0xFF0000FFu);
    texture->Release();
}

TEST_F(D3dxTextureTest, ExRefusesWhatItCannotDo) {
    const std::string bmp = writeFile("Plain.bmp", bmpFile(1, 1, {0xFF102030}));
    IDirect3DTexture9* texture = reinterpret_cast<IDirect3DTexture9*>(1);
    EXPECT_EQ(D3DXCreateTextureFromFileExA(
                  nullptr, bmp.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN,
                  D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, &texture),
              D3DERR_INVALIDCALL);
#ifndef _WIN32
    // The real library scales with any filter; the layer has its bilinear one and the box
    // filter for the levels only, and says so rather than filter otherwise. Wine leaves the
    // result as it was on a failure.
    EXPECT_EQ(texture, nullptr);
    EXPECT_EQ(D3DXCreateTextureFromFileExA(
                  device, bmp.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN,
                  D3DPOOL_MANAGED, D3DX_FILTER_POINT, D3DX_DEFAULT, 0, nullptr, nullptr, &texture),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFileExA(
                  device, bmp.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN,
                  D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_FILTER_NONE, 0, nullptr, nullptr, &texture),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(texture, nullptr);
#endif
}

TEST_F(D3dxTextureTest, TextureWithoutAlphaDrawsOpaqueWhenBlendedByItsAlpha) {
    // A 32-bit BMP file whose unused bytes are all 0 gives an X8R8G8B8 texture; drawn with the
    // texture's alpha as the blend factor it covers the background fully, as alpha reads as 1.
    const std::vector<uint32_t> red(4 * 4, 0x00FF0000);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileA(
                  device, writeFile("Red.bmp", bmpFile(4, 4, red, Bmp::rgb32)).c_str(), &texture),
              D3D_OK);
    ASSERT_EQ(formatOf(texture), D3DFMT_X8R8G8B8);
    struct Vertex {
        float x, y, z, rhw, u, v;
    };
    const Vertex quad[4] = {{-0.5f, -0.5f, 0, 1, 0, 0},
                            {63.5f, -0.5f, 0, 1, 1, 0},
                            {-0.5f, 63.5f, 0, 1, 0, 1},
                            {63.5f, 63.5f, 0, 1, 1, 1}};
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000FF, 1.0f, 0);
    device->BeginScene();
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTexture(0, texture);
    device->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex)), D3D_OK);
    device->EndScene();
    device->SetTexture(0, nullptr);
    const std::vector<uint32_t> pixels = readBack();
    for (int y : {0, 31, 63})
        for (int x : {0, 31, 63})
            EXPECT_EQ(pixels[size_t(y) * width + x] & 0xFFFFFF, 0xFF0000u) << x << ", " << y;
    EXPECT_EQ(pixels[size_t(100) * width + 100] & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(texture->Release(), 0u);
}
