// main.cpp: the icon generator, run on the build machine. Writes the program's two icons, each with
// eight images (32 and 16 pixels at 4 bits; 48, 32 and 16 pixels at 8 and 32 bits), and the
// locomotive at 16, 32 and 48 pixels as PNG files for the Linux desktop's icon theme
// (locomotive-16.png and so on), into the folder given on the command line.
#include "icon_art.h"
#include "ico_writer.h"
#include "png_writer.h"

#include <cstdio>
#include <string>

namespace {

std::vector<IconImage> iconImages(std::vector<Rgba> (*draw)(int)) {
    struct Format {
        int size, bitCount;
    };
    const Format formats[] = {{32, 4}, {16, 4},  {48, 8},  {32, 8},
                              {16, 8}, {48, 32}, {32, 32}, {16, 32}};
    std::vector<IconImage> images;
    for (const Format& format : formats) {
        images.push_back({format.size, format.bitCount, draw(format.size)});
    }
    return images;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    std::string folder = argv[1];
    bool ok = writeIcon(folder + "/locomotive.ico", iconImages(drawLocomotiveFront)) &&
              writeIcon(folder + "/wheel.ico", iconImages(drawWheelOnRail));
    for (int size : {16, 32, 48}) {
        ok = ok && writePng(folder + "/locomotive-" + std::to_string(size) + ".png", size,
                            drawLocomotiveFront(size));
    }
    if (!ok) {
        std::fprintf(stderr, "cannot write the icons into %s\n", folder.c_str());
    }
    return ok ? 0 : 1;
}
