// textures.h: the procedural textures that the meshes name, and where each part of the art lies in
// its picture (texture coordinates the mesh builders map onto).
#pragma once

#include <string>

namespace texture {
inline const char* const ballast = "ballast.bmp";
inline const char* const track = "track.bmp";
inline const char* const grass = "grass.bmp";
inline const char* const frame = "frame.bmp";
inline const char* const wheel = "wheel.bmp";
inline const char* const goods = "goods.bmp";
inline const char* const roof = "roof.bmp";
inline const char* const tank = "tank.bmp";
inline const char* const coach = "coach.bmp";

// track.bmp, from the top: sleeper wood (grain along u); rail steel, the polished running band
// then the rusty web and foot; the sky wall at the horizon (scenery.h), daylight sky from the
// wall's top down to the tree band's top, then the band with distant trees down to the ground,
// the trees repeating across u. Each part keeps clear of its neighbours' texels so that
// filtering does not mix them.
constexpr double sleeperV0 = 0.01, sleeperV1 = 0.24;
constexpr double railHeadV0 = 0.27, railHeadV1 = 0.31, railSideV0 = 0.35, railSideV1 = 0.49;
constexpr double skyTopV = 0.52, treeTopV = 0.86, skyGroundV = 0.98;
// grass.bmp repeats in both directions and looks the same turned by a quarter.
// wheel.bmp: the wheel face fills the picture as a disc; its corners are bright tread steel.
constexpr double wheelTreadU = 0.03, wheelTreadV = 0.03;
// goods.bmp and coach.bmp: side art over the full width; the end walls use a slice.
constexpr double goodsEndU0 = 0.02, goodsEndU1 = 0.16;
constexpr double coachEndU0 = 0.005, coachEndU1 = 0.07;
} // namespace texture

// Writes every texture into `folder`; false when a file cannot be written.
bool writeTextures(const std::string& folder);
