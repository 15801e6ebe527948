// track_meshes.h: the two track segment meshes (straight and left turn).
#pragma once

#include "mesh_builder.h"

// Straight segment: 4096 units from the origin along +x.
MeshBuilder buildStraightSegment();
// Left turn: quarter circle of radius 4096 about (0, 0, 4096) from the origin to (4096, 0, 4096).
MeshBuilder buildLeftTurnSegment();
