// image.h: an RGB picture with floating-point channels, tileable value noise for procedural
// textures, and the 24-bit BMP writer.
#pragma once

#include <string>
#include <vector>

struct Color {
    double r = 0, g = 0, b = 0;
};

inline Color operator+(Color a, Color b) {
    return {a.r + b.r, a.g + b.g, a.b + b.b};
}
inline Color operator*(Color a, double s) {
    return {a.r * s, a.g * s, a.b * s};
}
inline Color mix(Color a, Color b, double t) {
    return a * (1 - t) + b * t;
}

struct Image {
    int width = 0, height = 0;
    std::vector<Color> pixels; // row 0 is the top row

    Image(int w, int h, Color fill = {}) : width(w), height(h), pixels(w * h, fill) {}
    Color& at(int x, int y) { return pixels[y * width + x]; }
    const Color& at(int x, int y) const { return pixels[y * width + x]; }
    void fillRect(int x0, int y0, int x1, int y1, Color color);
    // Multiplies every pixel by (1 + amount * noise), noise from `field` in [-1, 1].
    void modulate(const std::vector<double>& field, double amount);
    bool writeBmp(const std::string& path) const;
};

// Value noise on a width x height grid that wraps at the edges, summed over `octaves` octaves
// starting with `cells` cells across; values in about [-1, 1].
std::vector<double> tileableNoise(int width, int height, int cells, int octaves, unsigned seed);
