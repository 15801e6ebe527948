// scenery.cpp: the ground and the sky wall of one track segment. The grass takes its texture
// coordinates from the segment's own x and z, one repeat per grassTile. Every segment stands at a
// multiple of the tile and at a multiple of a quarter turn, and the grass picture looks the same
// turned by a quarter (textures.cpp), so the grass of all placed segments reads as one plane
// without seams and at one scale everywhere.
#include "scenery.h"

#include "textures.h"

namespace {

// From the loop's middle to the centre line: half the distance between the straights, and the
// turns' radius.
constexpr double insideReach = 4096;
// Pieces along a turn: the wall, 54096 from the turn's centre, bends by under six degrees at
// each joint, out of sight at that distance.
constexpr int turnPieces = 16;

Vertex groundVertex(Vec3 position) {
    return {position, {0, 1, 0}, position.x / scenery::grassTile, position.z / scenery::grassTile};
}

// The grass: a strip along a straight; on a turn a fan from the turn's centre (the left end of
// its cross-section), which is where the straights' grass from both sides of the loop meets.
// It leaves open the band `bedHalfWidth` either side of the centre line: one band of quads
// from the loop's middle to the opening, one from the opening to the horizon, so that every
// edge along the opening is shared by the triangles on both sides of it.
void addGround(MeshBuilder& mesh, int material, const CentreLine& line, int pieces,
               double bedHalfWidth) {
    const Vec3 up{0, 1, 0};
    const double bands[2][2] = {{insideReach, bedHalfWidth},
                                {-bedHalfWidth, -scenery::horizonReach}};
    for (int i = 0; i < pieces; ++i) {
        double sa = line.length * i / pieces, sb = line.length * (i + 1) / pieces;
        for (const auto& band : bands) {
            // On a turn the inner corners meet at its centre: one triangle, the other has none.
            int a0 = mesh.addVertex(groundVertex(line.point(sa, band[0], 0)));
            int a1 = mesh.addVertex(groundVertex(line.point(sa, band[1], 0)));
            int b0 = mesh.addVertex(groundVertex(line.point(sb, band[0], 0)));
            int b1 = mesh.addVertex(groundVertex(line.point(sb, band[1], 0)));
            mesh.addTriangle(material, a0, a1, b1, up);
            mesh.addTriangle(material, a0, b1, b0, up);
        }
    }
}

// The wall at the horizon, facing the track: the tree band at its foot and the sky above it,
// each piece showing the picture's width once. The normals lean a little towards the track
// but point almost straight up, so that the light falls alike on every part of the wall
// whichever way it faces.
void addSkyWall(MeshBuilder& mesh, int material, const CentreLine& line, int pieces) {
    const double left = -scenery::horizonReach;
    const double heights[] = {0, scenery::treeBandHeight, scenery::wallHeight};
    const double vs[] = {texture::skyGroundV, texture::treeTopV, texture::skyTopV};
    for (int i = 0; i < pieces; ++i) {
        double s[] = {line.length * i / pieces, line.length * (i + 1) / pieces};
        int index[2][3];
        for (int end = 0; end < 2; ++end) {
            Vec3 normal = normalized(line.direction(s[end], 0, 0.02, 1));
            for (int k = 0; k < 3; ++k) {
                index[end][k] = mesh.addVertex(
                    {line.point(s[end], left, heights[k]), normal, 1.0 * end, vs[k]});
            }
        }
        Vec3 towardsTrack = line.direction((s[0] + s[1]) / 2, 0, 1, 0);
        for (int k = 0; k < 2; ++k) {
            mesh.addTriangle(material, index[0][k], index[0][k + 1], index[1][k + 1], towardsTrack);
            mesh.addTriangle(material, index[0][k], index[1][k + 1], index[1][k], towardsTrack);
        }
    }
}

} // namespace

void addScenery(MeshBuilder& mesh, int grass, int sky, const CentreLine& line,
                double bedHalfWidth) {
    int pieces = line.radius > 0 ? turnPieces : 1;
    addGround(mesh, grass, line, pieces, bedHalfWidth);
    addSkyWall(mesh, sky, line, pieces);
}
