// image.cpp: drawing helpers, tileable value noise and the 24-bit BMP writer.
#include "image.h"

#include "random.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

void Image::fillRect(int x0, int y0, int x1, int y1, Color color) {
    for (int y = std::max(0, y0); y < std::min(height, y1); ++y) {
        for (int x = std::max(0, x0); x < std::min(width, x1); ++x) {
            at(x, y) = color;
        }
    }
}

void Image::modulate(const std::vector<double>& field, double amount) {
    for (size_t i = 0; i < pixels.size() && i < field.size(); ++i) {
        pixels[i] = pixels[i] * (1.0 + amount * field[i]);
    }
}

static void putLittleEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

static uint8_t toByte(double channel) {
    return static_cast<uint8_t>(std::lround(std::clamp(channel, 0.0, 1.0) * 255.0));
}

bool Image::writeBmp(const std::string& path) const {
    int rowBytes = (width * 3 + 3) & ~3;
    uint32_t dataSize = static_cast<uint32_t>(rowBytes * height);
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    putLittleEndian(out, 54 + dataSize, 4);
    putLittleEndian(out, 0, 4);
    putLittleEndian(out, 54, 4);
    putLittleEndian(out, 40, 4); // BITMAPINFOHEADER
    putLittleEndian(out, width, 4);
    putLittleEndian(out, height, 4); // positive: rows stored bottom-up
    putLittleEndian(out, 1, 2);
    putLittleEndian(out, 24, 2);
    putLittleEndian(out, 0, 4); // BI_RGB
    putLittleEndian(out, dataSize, 4);
    putLittleEndian(out, 2835, 4);
    putLittleEndian(out, 2835, 4);
    putLittleEndian(out, 0, 4);
    putLittleEndian(out, 0, 4);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const Color& c = at(x, y);
            out.push_back(toByte(c.b));
            out.push_back(toByte(c.g));
            out.push_back(toByte(c.r));
        }
        for (int pad = width * 3; pad < rowBytes; ++pad) {
            out.push_back(0);
        }
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    return std::fclose(file) == 0 && written;
}

std::vector<double> tileableNoise(int width, int height, int cells, int octaves, unsigned seed) {
    std::vector<double> field(width * height, 0.0);
    Random random(seed);
    double amplitude = 1.0, total = 0.0;
    for (int octave = 0; octave < octaves; ++octave, cells *= 2, amplitude *= 0.5) {
        std::vector<double> lattice(cells * cells);
        for (double& value : lattice) {
            value = random.signedUniform();
        }
        for (int y = 0; y < height; ++y) {
            double fy = static_cast<double>(y) * cells / height;
            int y0 = static_cast<int>(fy) % cells, y1 = (y0 + 1) % cells;
            double ty = fy - std::floor(fy);
            ty = ty * ty * (3 - 2 * ty);
            for (int x = 0; x < width; ++x) {
                double fx = static_cast<double>(x) * cells / width;
                int x0 = static_cast<int>(fx) % cells, x1 = (x0 + 1) % cells;
                double tx = fx - std::floor(fx);
                tx = tx * tx * (3 - 2 * tx);
                double top = lattice[y0 * cells + x0] * (1 - tx) + lattice[y0 * cells + x1] * tx;
                double bottom = lattice[y1 * cells + x0] * (1 - tx) + lattice[y1 * cells + x1] * tx;
                field[y * width + x] += amplitude * (top * (1 - ty) + bottom * ty);
            }
        }
        total += amplitude;
    }
    for (double& value : field) {
        value /= total;
    }
    return field;
}
