// picture_compare.cpp: compares two pictures of the same size (binary PPM, as scene_reference
// writes them) pixel by pixel. A pixel differs when any of its channels differs by more than
// the channel tolerance; the pictures agree when at most the given share of pixels differs.
// Prints the count of differing pixels and the largest channel difference.
// Usage: picture_compare <a.ppm> <b.ppm> <channel tolerance> <differing share, 0..1>
// Exit status 0 when they agree, 1 when they do not, 2 when a file cannot be read.
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
};

bool readPicture(const char* path, Picture& picture) {
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return false;
    int maximum = 0;
    bool read = std::fscanf(file, "P6 %d %d %d", &picture.width, &picture.height, &maximum) == 3 &&
                maximum == 255 && picture.width > 0 && picture.height > 0 &&
                picture.width <= 16384 && picture.height <= 16384 && std::fgetc(file) != EOF;
    if (read) {
        picture.rgb.resize(size_t(picture.width) * size_t(picture.height) * 3);
        read = std::fread(picture.rgb.data(), 1, picture.rgb.size(), file) == picture.rgb.size();
    }
    std::fclose(file);
    return read;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: picture_compare <a.ppm> <b.ppm> <channel tolerance> "
                             "<differing share>\n");
        return 2;
    }
    Picture a, b;
    if (!readPicture(argv[1], a) || !readPicture(argv[2], b)) {
        std::fprintf(stderr, "picture_compare: cannot read %s or %s\n", argv[1], argv[2]);
        return 2;
    }
    if (a.width != b.width || a.height != b.height) {
        std::printf("sizes differ: %dx%d against %dx%d\n", a.width, a.height, b.width, b.height);
        return 1;
    }
    const int tolerance = std::atoi(argv[3]);
    const double share = std::atof(argv[4]);
    size_t differing = 0;
    int largest = 0;
    for (size_t pixel = 0; pixel < a.rgb.size(); pixel += 3) {
        bool differs = false;
        for (size_t channel = 0; channel < 3; ++channel) {
            const int difference =
                std::abs(int(a.rgb[pixel + channel]) - int(b.rgb[pixel + channel]));
            largest = difference > largest ? difference : largest;
            differs = differs || difference > tolerance;
        }
        differing += differs ? 1 : 0;
    }
    const size_t pixels = a.rgb.size() / 3;
    std::printf("%zu of %zu pixels differ by more than %d, largest difference %d\n", differing,
                pixels, tolerance, largest);
    return double(differing) <= share * double(pixels) ? 0 : 1;
}
