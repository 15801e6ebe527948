// scenery.h: each track segment's share of the scenery around the loop: grass out to the horizon
// and a wall of sky and distant trees standing there. The shares of all segments close into one
// ground and one sky around the whole loop.
#pragma once

#include "centre_line.h"
#include "mesh_builder.h"

namespace scenery {
// The horizon: the foot of the sky wall, this far outside the centre line. The eye stays
// within about 10100 of the centre line and the loop is 16384 long, so every point of the
// wall lies within 10100 + 16384 + 50000 = 76484 of the eye across the ground; with the wall's
// height, under 84000 in all, inside the far plane of 100000.
constexpr double horizonReach = 50000;
// The sky wall's height. The picture reaches 22.5 degrees above the view's direction, which
// looks up no higher than level, and only when the eye is level with the target, at 400: the
// top of the picture meets the wall below 400 + tan(22.5 degrees) * 76484 = 32080.
constexpr double wallHeight = 34000;
// The band at the wall's foot that holds the distant tree line.
constexpr double treeBandHeight = 2400;
// Grass repeats every this many units in both directions.
constexpr double grassTile = 512;
} // namespace scenery

// Adds the ground (material `grass`) and the sky wall (material `sky`, the sky part of
// track.bmp) along `line`: the grass reaches from the horizon on the right to the middle of
// the loop on the left (the loop's straights lie 8192 apart, and a turn's grass closes in on
// its centre). The grass leaves open the band `bedHalfWidth` either side of the centre line,
// which the track bed must cover: it always hides the ground there.
void addScenery(MeshBuilder& mesh, int grass, int sky, const CentreLine& line, double bedHalfWidth);
