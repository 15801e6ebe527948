// textures.cpp: paints the procedural textures (gravel, creosoted wood, rail steel and the sky
// wall, grass, painted and grimy steel, wheel, box van planks, roof sheets, tank, coach livery with
// windows).
#include "textures.h"

#include "image.h"
#include "random.h"
#include "scenery.h"

#include <algorithm>
#include <cmath>

namespace {

// Adds a wrapped elliptic spot of `color` centred at (cx, cy), shaded as a lit pebble.
void drawStone(Image& image, double cx, double cy, double rx, double ry, Color color) {
    for (int dy = static_cast<int>(-ry) - 1; dy <= static_cast<int>(ry) + 1; ++dy) {
        for (int dx = static_cast<int>(-rx) - 1; dx <= static_cast<int>(rx) + 1; ++dx) {
            double nx = dx / rx, ny = dy / ry, r2 = nx * nx + ny * ny;
            if (r2 > 1.0) {
                continue;
            }
            // Light from the upper left; darker towards the rim.
            double shade =
                0.75 + 0.35 * (-nx * 0.5 - ny * 0.7) * std::sqrt(1 - r2) + 0.25 * std::sqrt(1 - r2);
            int x = ((static_cast<int>(cx) + dx) % image.width + image.width) % image.width;
            int y = ((static_cast<int>(cy) + dy) % image.height + image.height) % image.height;
            image.at(x, y) = color * shade;
        }
    }
}

Image ballast() {
    const int size = 256;
    Image image(size, size, {0.16, 0.15, 0.14});
    Random random(11);
    for (int i = 0; i < 1400; ++i) {
        double grey = 0.38 + 0.28 * random.uniform();
        double tint = 0.06 * random.signedUniform();
        Color color{grey + tint, grey, grey - tint * 0.5 - 0.02};
        double r = 3.0 + 4.5 * random.uniform();
        drawStone(image, random.uniform() * size, random.uniform() * size,
                  r * (0.8 + 0.4 * random.uniform()), r * (0.7 + 0.3 * random.uniform()), color);
    }
    image.modulate(tileableNoise(size, size, 4, 4, 12), 0.25);
    return image;
}

// The daylight sky at `degrees` above the horizon: hazy and pale low down, deepening to blue
// higher up. The wall is lit at 0.94 of full (ambient plus the light's share on a surface
// facing up), which the colours make up for.
Color skyAt(double degrees) {
    double t = 1.0 - std::exp(-degrees / 14.0);
    Color haze{0.83, 0.87, 0.90}, blue{0.33, 0.54, 0.86};
    return mix(haze, blue, t) * (1.0 / 0.94);
}

// The sky wall (scenery.h) in the rows from `top` to the bottom of `image`: each row shows the
// sky at the height of the wall it is mapped to, seen from the track, so that the colour runs
// on without a step from the sky part into the tree band; in the band, a line of distant trees
// in the haze, its outline repeating after the picture's width.
void paintSkyWall(Image& image, int top) {
    using scenery::horizonReach, scenery::treeBandHeight, scenery::wallHeight;
    const double degreesPerRadian = 57.29577951308232;
    auto outline = tileableNoise(image.width, 1, 24, 4, 32);
    auto leaves = tileableNoise(image.width, image.height - top, 32, 3, 33);
    for (int y = top; y < image.height; ++y) {
        double v = (y + 0.5) / image.height;
        double height = v < texture::treeTopV
                            ? treeBandHeight + (wallHeight - treeBandHeight) *
                                                   (texture::treeTopV - v) /
                                                   (texture::treeTopV - texture::skyTopV)
                            : treeBandHeight * (texture::skyGroundV - v) /
                                  (texture::skyGroundV - texture::treeTopV);
        height = std::clamp(height, 0.0, wallHeight);
        Color sky = skyAt(std::atan(height / horizonReach) * degreesPerRadian);
        for (int x = 0; x < image.width; ++x) {
            double treeTop = treeBandHeight * (0.42 + 0.22 * outline[x]);
            Color c = sky;
            if (height < treeTop) {
                // Darker green under the canopy, washed out by the haze of the distance.
                double shade = 0.85 + 0.2 * leaves[(y - top) * image.width + x];
                Color trees = Color{0.16, 0.24, 0.16} * shade * (0.8 + 0.3 * height / treeTop);
                c = mix(trees, skyAt(0.5), 0.45);
            }
            image.at(x, y) = c;
        }
    }
}

// Sleeper wood, rail steel and the sky wall, one above the other (see textures.h).
Image track() {
    const int width = 256, height = 512;
    const int railTop = height / 4, skyTop = height / 2;
    Image image(width, height, {0.24, 0.17, 0.11});
    // Creosoted wood: grain along u, the sleeper's length, darker oil-stained ends.
    auto grain = tileableNoise(width, railTop, 2, 5, 21);
    auto fine = tileableNoise(width, railTop, 32, 2, 22);
    for (int y = 0; y < railTop; ++y) {
        for (int x = 0; x < width; ++x) {
            double g = std::sin(y * 0.9 + grain[y * width + x] * 6.0) * 0.5 + 0.5;
            double edge = std::min(1.0, std::min(x, width - 1 - x) / 12.0);
            image.at(x, y) = image.at(x, y) *
                             ((0.7 + 0.35 * g + 0.15 * fine[y * width + x]) * (0.65 + 0.35 * edge));
        }
    }
    auto noise = tileableNoise(width, railTop, 8, 3, 31);
    for (int y = railTop; y < skyTop; ++y) {
        double v = (y + 0.5) / height;
        for (int x = 0; x < width; ++x) {
            Color c;
            if (v < (texture::railHeadV1 + texture::railSideV0) / 2) {
                c = {0.78, 0.79, 0.80}; // polished running band
            } else if (v < texture::railSideV0) {
                c = {0.45, 0.42, 0.40}; // worn gauge corner
            } else {
                c = {0.36, 0.22, 0.13}; // rust
            }
            image.at(x, y) = c * (1.0 + 0.15 * noise[(y - railTop) * width + x]);
        }
    }
    paintSkyWall(image, height / 2);
    return image;
}

// A square picture made to look the same when turned by a quarter about its centre (and so,
// as it repeats, about its corners): each texel blends the picture at its four turned places.
// The weight c(x) c(y) keeps the picture's own texels in one quarter, x and y in the first
// half, and hands over to the turned copies in bands along the quarters' edges; since
// c(t) + c(1 - t) = 1, the four weights of every texel add up to one.
Image turnedAlike(const Image& image) {
    const int n = image.width;
    auto c = [n](int i) {
        return 0.5 + 0.5 * std::tanh(3.0 * std::sin(2 * 3.141592653589793 * (i + 0.5) / n)) /
                         std::tanh(3.0);
    };
    Image turned(n, n);
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            // The texel (x, y) turned a quarter about the picture's centre is (n - 1 - y, x).
            int px[4] = {x, n - 1 - y, n - 1 - x, y}, py[4] = {y, x, n - 1 - y, n - 1 - x};
            Color sum;
            for (int k = 0; k < 4; ++k) {
                sum = sum + image.at(px[k], py[k]) * (c(px[k]) * c(py[k]));
            }
            turned.at(x, y) = sum;
        }
    }
    return turned;
}

// Rough grass with dry patches and darker tufts, alike in every quarter turn.
Image grass() {
    const int size = 256;
    Image image(size, size);
    // Patches smaller than a tile and of low contrast, so that the repeat does not show as a
    // checkerboard from afar.
    auto patches = tileableNoise(size, size, 8, 3, 111);
    auto tufts = tileableNoise(size, size, 64, 2, 112);
    Random random(113);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            double dry = std::clamp(patches[y * size + x] + 0.3, 0.0, 1.0);
            Color c = mix({0.22, 0.34, 0.13}, {0.40, 0.39, 0.21}, dry * 0.35);
            image.at(x, y) = c * (0.8 + 0.3 * tufts[y * size + x] + 0.12 * random.signedUniform());
        }
    }
    return turnedAlike(image);
}

// Dark painted steel with grime: the underframes and bogies.
Image frame() {
    const int size = 256;
    Image image(size, size, {0.17, 0.16, 0.15});
    image.modulate(tileableNoise(size, size, 4, 5, 41), 0.35);
    auto rust = tileableNoise(size, size, 8, 3, 42);
    for (int i = 0; i < size * size; ++i) {
        if (rust[i] > 0.35) {
            image.pixels[i] = mix(image.pixels[i], {0.30, 0.17, 0.09}, (rust[i] - 0.35) * 2.0);
        }
    }
    // Rivet rows.
    for (int y = 12; y < size; y += 64) {
        for (int x = 4; x < size; x += 16) {
            image.fillRect(x, y, x + 3, y + 3, {0.27, 0.25, 0.23});
        }
    }
    return image;
}

Image wheel() {
    const int size = 128;
    Image image(size, size, {0.66, 0.66, 0.68}); // tread steel in the corners
    auto noise = tileableNoise(size, size, 8, 3, 51);
    double c = size / 2.0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            double dx = x + 0.5 - c, dy = y + 0.5 - c, r = std::sqrt(dx * dx + dy * dy) / c;
            Color color;
            if (r > 1.0) {
                continue;
            } else if (r > 0.9) {
                color = {0.42, 0.40, 0.38}; // rim
            } else if (r > 0.28) {
                // Web with a rusty brown film, darkest mid-way.
                color = mix({0.30, 0.22, 0.16}, {0.20, 0.17, 0.15}, std::sin((r - 0.28) * 5.0));
            } else if (r > 0.12) {
                color = {0.27, 0.26, 0.25}; // hub
            } else {
                color = {0.48, 0.47, 0.46}; // axle end
            }
            image.at(x, y) = color * (1.0 + 0.2 * noise[y * size + x]);
        }
    }
    return image;
}

// Makes the lower part of a side dirtier, as road dust and brake dust collect there.
void grimeBottom(Image& image, double from, double strength) {
    for (int y = 0; y < image.height; ++y) {
        double v = (y + 0.5) / image.height;
        if (v < from) {
            continue;
        }
        double t = strength * (v - from) / (1 - from);
        for (int x = 0; x < image.width; ++x) {
            image.at(x, y) = mix(image.at(x, y), {0.20, 0.17, 0.14}, t);
        }
    }
}

// Blocky stand-ins for painted lettering.
void lettering(Image& image, int x, int y, int characters, int height, Color color, unsigned seed) {
    Random random(seed);
    int width = height * 2 / 3;
    for (int i = 0; i < characters; ++i) {
        int x0 = x + i * (width + 2);
        for (int stroke = 0; stroke < 3; ++stroke) {
            int sx = x0 + static_cast<int>(random.uniform() * (width - 2));
            int sy = y + static_cast<int>(random.uniform() * (height - 2));
            bool vertical = random.uniform() < 0.5;
            image.fillRect(sx, vertical ? y : sy, sx + (vertical ? 2 : width / 2),
                           vertical ? y + height : sy + 2, color);
        }
    }
}

Image goods() {
    const int w = 512, h = 256;
    Color paint{0.42, 0.18, 0.12};
    Image image(w, h, paint);
    auto noise = tileableNoise(w, h, 8, 5, 61);
    auto grain = tileableNoise(w, h, 4, 4, 62);
    // Horizontal planks, 16 rows, each with its own shade.
    Random random(63);
    const int plank = 16;
    for (int row = 0; row < h / plank; ++row) {
        double shade = 0.9 + 0.2 * random.uniform();
        for (int y = row * plank; y < (row + 1) * plank; ++y) {
            for (int x = 0; x < w; ++x) {
                double g = 1.0 + 0.08 * std::sin(x * 0.25 + grain[y * w + x] * 8.0);
                image.at(x, y) = image.at(x, y) * (shade * g);
            }
        }
        image.fillRect(0, row * plank, w, row * plank + 1, paint * 0.45);
    }
    // Steel posts and diagonal-free braces, darker than the planks.
    Color steel{0.16, 0.14, 0.13};
    for (int x : {0, 56, 112, 168, 336, 392, 448, 504}) {
        image.fillRect(x, 0, x + 8, h, steel);
        image.fillRect(x + 7, 0, x + 8, h, steel * 0.6);
    }
    image.fillRect(0, 0, w, 8, steel);
    image.fillRect(0, h - 10, w, h, steel);
    // Sliding door in the middle with its rails and handle.
    Color door = paint * 0.9;
    image.fillRect(196, 12, 316, h - 14, door);
    for (int y = 12; y < h - 14; y += 12) {
        image.fillRect(196, y, 316, y + 1, paint * 0.5);
    }
    image.fillRect(192, 8, 320, 14, steel * 1.4);
    image.fillRect(192, h - 16, 320, h - 10, steel * 1.4);
    image.fillRect(196, 12, 200, h - 14, steel);
    image.fillRect(312, 12, 316, h - 14, steel);
    image.fillRect(300, 110, 306, 150, {0.5, 0.48, 0.45});
    lettering(image, 20, 170, 6, 16, {0.85, 0.84, 0.78}, 64);
    lettering(image, 356, 30, 5, 12, {0.85, 0.84, 0.78}, 65);
    image.modulate(noise, 0.18);
    grimeBottom(image, 0.55, 0.45);
    return image;
}

Image roof() {
    const int size = 256;
    Image image(size, size, {0.42, 0.42, 0.41});
    image.modulate(tileableNoise(size, size, 4, 5, 71), 0.3);
    // Sheet seams across the roof (u runs along the car).
    for (int x = 0; x < size; x += 32) {
        image.fillRect(x, 0, x + 2, size, {0.28, 0.28, 0.27});
    }
    // Soot along the middle of the roof.
    for (int y = 0; y < size; ++y) {
        double t = 0.35 * std::exp(-std::pow((y - size / 2.0) / (size / 5.0), 2));
        for (int x = 0; x < size; ++x) {
            image.at(x, y) = mix(image.at(x, y), {0.12, 0.11, 0.10}, t);
        }
    }
    return image;
}

// The tank shell: u along the tank, v once around it starting at the top.
Image tank() {
    const int w = 512, h = 256;
    Image image(w, h, {0.17, 0.17, 0.18});
    auto noise = tileableNoise(w, h, 8, 5, 81);
    image.modulate(noise, 0.35);
    Random random(82);
    // Streaks running down both sides from the top (v 0 and 1) towards the bottom (v 0.5).
    for (int i = 0; i < 90; ++i) {
        int x = static_cast<int>(random.uniform() * w);
        int width = 1 + static_cast<int>(random.uniform() * 3);
        double length = 0.1 + 0.3 * random.uniform();
        double strength = 0.2 + 0.4 * random.uniform();
        for (int y = 0; y < h; ++y) {
            double v = (y + 0.5) / h, fromTop = std::min(v, 1 - v) * 2;
            if (fromTop > length) {
                continue;
            }
            for (int dx = 0; dx < width; ++dx) {
                Color& c = image.at((x + dx) % w, y);
                c = mix(c, {0.38, 0.33, 0.25}, strength * (1 - fromTop / length));
            }
        }
    }
    // Welded seams around the shell and along it.
    for (int x = 32; x < w; x += 96) {
        image.fillRect(x, 0, x + 2, h, {0.07, 0.07, 0.08});
    }
    image.fillRect(0, h / 2 - 1, w, h / 2 + 1, {0.07, 0.07, 0.08});
    // A light band with lettering on each side.
    for (int side = 0; side < 2; ++side) {
        int y = side == 0 ? h / 4 - 10 : 3 * h / 4 - 10;
        image.fillRect(150, y, 362, y + 20, {0.70, 0.62, 0.18});
        lettering(image, 160, y + 3, 14, 14, {0.1, 0.1, 0.1}, 83 + side);
    }
    grimeBottom(image, 0.4, 0.0);
    return image;
}

Image coach() {
    const int w = 1024, h = 256;
    Color livery{0.13, 0.30, 0.20};
    Image image(w, h, livery);
    image.modulate(tileableNoise(w, h, 8, 5, 91), 0.12);
    // Cream band under the windows, grey skirt at the bottom.
    image.fillRect(0, 168, w, 180, {0.82, 0.78, 0.62});
    image.fillRect(0, 232, w, h, {0.22, 0.22, 0.21});
    image.fillRect(0, 0, w, 6, {0.35, 0.35, 0.34}); // gutter
    // Doors near both ends, each with a drop window.
    auto glass = [&](int x0, int y0, int x1, int y1) {
        image.fillRect(x0 - 3, y0 - 3, x1 + 3, y1 + 3, {0.55, 0.55, 0.52}); // frame
        for (int y = y0; y < y1; ++y) {
            double t = static_cast<double>(y - y0) / (y1 - y0);
            for (int x = x0; x < x1; ++x) {
                // Sky reflection at the top fading into the dark interior, with a slanted glint.
                double glint = ((x - x0) + (y - y0)) % 70 < 8 ? 0.08 : 0.0;
                image.at(x, y) = mix({0.45, 0.52, 0.58}, {0.06, 0.08, 0.10}, std::sqrt(t)) +
                                 Color{glint, glint, glint};
            }
        }
    };
    for (int door : {16, w - 16 - 48}) {
        image.fillRect(door, 20, door + 48, 228, livery * 0.8);
        image.fillRect(door, 20, door + 2, 228, livery * 0.4);
        image.fillRect(door + 46, 20, door + 48, 228, livery * 0.4);
        glass(door + 10, 40, door + 38, 110);
        image.fillRect(door + 40, 130, door + 44, 150, {0.7, 0.68, 0.6});
    }
    // Ten compartment windows between the doors.
    for (int i = 0; i < 10; ++i) {
        int x0 = 100 + i * 83;
        glass(x0 + 6, 44, x0 + 72, 150);
    }
    lettering(image, 120, 196, 10, 18, {0.82, 0.78, 0.62}, 92);
    lettering(image, 700, 196, 4, 18, {0.82, 0.78, 0.62}, 93);
    grimeBottom(image, 0.6, 0.35);
    return image;
}

} // namespace

bool writeTextures(const std::string& folder) {
    struct Entry {
        const char* name;
        Image (*paint)();
    };
    const Entry entries[] = {
        {texture::ballast, ballast}, {texture::track, track}, {texture::grass, grass},
        {texture::frame, frame},     {texture::wheel, wheel}, {texture::goods, goods},
        {texture::roof, roof},       {texture::tank, tank},   {texture::coach, coach}};
    for (const Entry& entry : entries) {
        if (!entry.paint().writeBmp(folder + "/" + entry.name)) {
            return false;
        }
    }
    return true;
}
