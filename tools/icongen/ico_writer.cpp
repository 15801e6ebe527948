// ico_writer.cpp: palette matching and the .ico container (directory, then one DIB per image with
// its height doubled for the AND mask).
#include "ico_writer.h"

#include <cstdio>

namespace {

void put(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

// The 16 colours of the standard system palette.
const Rgba systemColors[16] = {
    {0, 0, 0, 255},       {128, 0, 0, 255},   {0, 128, 0, 255},   {128, 128, 0, 255},
    {0, 0, 128, 255},     {128, 0, 128, 255}, {0, 128, 128, 255}, {192, 192, 192, 255},
    {128, 128, 128, 255}, {255, 0, 0, 255},   {0, 255, 0, 255},   {255, 255, 0, 255},
    {0, 0, 255, 255},     {255, 0, 255, 255}, {0, 255, 255, 255}, {255, 255, 255, 255}};

// 256 colours: a 6 x 6 x 6 colour cube and 40 greys.
std::vector<Rgba> fixedPalette() {
    std::vector<Rgba> palette;
    for (int r = 0; r < 6; ++r) {
        for (int g = 0; g < 6; ++g) {
            for (int b = 0; b < 6; ++b) {
                palette.push_back({static_cast<uint8_t>(r * 51), static_cast<uint8_t>(g * 51),
                                   static_cast<uint8_t>(b * 51), 255});
            }
        }
    }
    for (int i = 0; i < 40; ++i) {
        uint8_t grey = static_cast<uint8_t>(3 + i * 252 / 39);
        palette.push_back({grey, grey, grey, 255});
    }
    return palette;
}

int nearest(const std::vector<Rgba>& palette, Rgba color) {
    int best = 0;
    long bestDistance = -1;
    for (size_t i = 0; i < palette.size(); ++i) {
        long dr = palette[i].r - color.r, dg = palette[i].g - color.g, db = palette[i].b - color.b;
        // Weighted towards green, which the eye tells apart best.
        long distance = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            bestDistance = distance;
            best = static_cast<int>(i);
        }
    }
    return best;
}

} // namespace

std::vector<uint8_t> encodeIconImage(const IconImage& image) {
    const int n = image.size;
    std::vector<Rgba> palette;
    if (image.bitCount == 4) {
        palette.assign(systemColors, systemColors + 16);
    } else if (image.bitCount == 8) {
        palette = fixedPalette();
    }
    const int colorRow = ((n * image.bitCount + 31) / 32) * 4;
    const int maskRow = ((n + 31) / 32) * 4;
    std::vector<uint8_t> out;
    put(out, 40, 4); // BITMAPINFOHEADER
    put(out, n, 4);
    put(out, 2 * n, 4); // colour bits and mask
    put(out, 1, 2);
    put(out, image.bitCount, 2);
    put(out, 0, 4); // BI_RGB
    put(out, (colorRow + maskRow) * n, 4);
    put(out, 0, 4);
    put(out, 0, 4);
    put(out, 0, 4);
    put(out, 0, 4);
    for (const Rgba& c : palette) {
        out.insert(out.end(), {c.b, c.g, c.r, 0});
    }
    // Rows are stored bottom-up.
    for (int y = n - 1; y >= 0; --y) {
        std::vector<uint8_t> row(colorRow, 0);
        for (int x = 0; x < n; ++x) {
            const Rgba& c = image.pixels[y * n + x];
            if (image.bitCount == 32) {
                row[x * 4 + 0] = c.b;
                row[x * 4 + 1] = c.g;
                row[x * 4 + 2] = c.r;
                row[x * 4 + 3] = c.a;
            } else {
                // Transparent pixels are black in the colour bits, as the mask expects.
                int index = c.a < 128 ? 0 : nearest(palette, c);
                if (image.bitCount == 8) {
                    row[x] = static_cast<uint8_t>(index);
                } else {
                    row[x / 2] |= static_cast<uint8_t>(x % 2 == 0 ? index << 4 : index);
                }
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    for (int y = n - 1; y >= 0; --y) {
        std::vector<uint8_t> row(maskRow, 0);
        for (int x = 0; x < n; ++x) {
            if (image.pixels[y * n + x].a < 128) {
                row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

bool writeIcon(const std::string& path, const std::vector<IconImage>& images) {
    std::vector<std::vector<uint8_t>> encoded;
    for (const IconImage& image : images) {
        encoded.push_back(encodeIconImage(image));
    }
    std::vector<uint8_t> out;
    put(out, 0, 2);
    put(out, 1, 2); // icon
    put(out, static_cast<uint32_t>(images.size()), 2);
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        out.push_back(static_cast<uint8_t>(images[i].size));
        out.push_back(static_cast<uint8_t>(images[i].size));
        out.push_back(images[i].bitCount == 4 ? 16 : 0);
        out.push_back(0);
        put(out, 1, 2);
        put(out, images[i].bitCount, 2);
        put(out, static_cast<uint32_t>(encoded[i].size()), 4);
        put(out, offset, 4);
        offset += static_cast<uint32_t>(encoded[i].size());
    }
    for (const auto& data : encoded) {
        out.insert(out.end(), data.begin(), data.end());
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    return std::fclose(file) == 0 && written;
}
