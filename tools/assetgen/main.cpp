// main.cpp: the data generator. Writes the six meshes, their textures and the two sounds into the
// folder given on the command line (created if missing). Exits non-zero on any failure.
#include "rolling_stock_meshes.h"
#include "sounds.h"
#include "textures.h"
#include "track_meshes.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    std::string folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "cannot create %s: %s\n", folder.c_str(), error.message().c_str());
        return 1;
    }
    struct MeshFile {
        const char* name;
        MeshBuilder (*build)();
    };
    const MeshFile meshes[] = {{"SegStraight.X", buildStraightSegment},
                               {"SegTurnLeft.X", buildLeftTurnSegment},
                               {"CarTruck.X", buildBogie},
                               {"GoodsCar.X", buildGoodsCar},
                               {"Cistern.X", buildTankCar},
                               {"PseudoPassengerCar.X", buildPassengerCar}};
    bool ok = true;
    for (const MeshFile& mesh : meshes) {
        MeshBuilder built = mesh.build();
        if (!built.writeX(folder + "/" + mesh.name)) {
            std::fprintf(stderr, "cannot write %s\n", mesh.name);
            ok = false;
        }
    }
    if (!writeTextures(folder)) {
        std::fprintf(stderr, "cannot write the textures into %s\n", folder.c_str());
        ok = false;
    }
    if (!writeSounds(folder)) {
        std::fprintf(stderr, "cannot write the sounds into %s\n", folder.c_str());
        ok = false;
    }
    return ok ? 0 : 1;
}
