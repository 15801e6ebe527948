// track_meshes.cpp: builds a track segment along a centre line (straight or quarter circle): a
// ballast bed, sleepers and two flat-bottomed rails at standard gauge, in its share of the scenery
// (scenery.h). Coordinates across the track are measured to the left of the centre line, heights
// from the ground.
#include "track_meshes.h"

#include "centre_line.h"
#include "scenery.h"
#include "textures.h"

#include <cmath>

namespace {

const double segmentLength = 4096.0;
const double turnRadius = 4096.0;
const double halfPi = 1.5707963267948966;

// Track cross-section, world units (128 per metre).
const double ballastFoot = 290, ballastShoulder = 200, ballastTop = 30;
// The ground is open under the ballast to this far from the centre line, halfway under its
// slopes: from above the ground the ballast covers the opening with room to spare, also where
// a turn's ballast and opening run in straight pieces.
const double groundOpening = (ballastFoot + ballastShoulder) / 2;
const double sleeperHalfLength = 166, sleeperHalfWidth = 16, sleeperBottom = 26, sleeperTop = 46,
             sleeperSpacing = 84;
const double railCentre = 96.45; // 1435 mm between the inner faces of 72 mm rail heads
const double railHeadHalf = 4.6, railWebHalf = 1.1, railFootHalf = 9.6;
const double railFootTop = sleeperTop + 4, railHeadBottom = sleeperTop + 12,
             railTop = sleeperTop + 22;

// A profile edge from (leftA, heightA) to (leftB, heightB) swept along the line from s0 to s1
// in `pieces` quads; the texture's u runs along each piece from 0 to 1 (or over the whole
// sweep when `uWhole`), v from vA at edge A to vB at edge B.
struct Sweep {
    double leftA, heightA, leftB, heightB;
    double vA, vB;
};

void sweep(MeshBuilder& mesh, int material, const CentreLine& line, double s0, double s1,
           int pieces, const Sweep& edge, bool uWhole) {
    // Outward normal across the line: the profile edge turned a quarter to its right.
    double dl = edge.leftB - edge.leftA, dh = edge.heightB - edge.heightA;
    double nLeft = dh, nUp = -dl;
    for (int i = 0; i < pieces; ++i) {
        double sa = s0 + (s1 - s0) * i / pieces, sb = s0 + (s1 - s0) * (i + 1) / pieces;
        double ua = uWhole ? static_cast<double>(i) / pieces : 0.0;
        double ub = uWhole ? static_cast<double>(i + 1) / pieces : 1.0;
        Vec3 na = normalized(line.direction(sa, 0, nLeft, nUp));
        Vec3 nb = normalized(line.direction(sb, 0, nLeft, nUp));
        int a0 = mesh.addVertex({line.point(sa, edge.leftA, edge.heightA), na, ua, edge.vA});
        int a1 = mesh.addVertex({line.point(sa, edge.leftB, edge.heightB), na, ua, edge.vB});
        int b0 = mesh.addVertex({line.point(sb, edge.leftA, edge.heightA), nb, ub, edge.vA});
        int b1 = mesh.addVertex({line.point(sb, edge.leftB, edge.heightB), nb, ub, edge.vB});
        Vec3 outward = normalized(line.direction((sa + sb) / 2, 0, nLeft, nUp));
        mesh.addTriangle(material, a0, a1, b1, outward);
        mesh.addTriangle(material, a0, b1, b0, outward);
    }
}

void addBallast(MeshBuilder& mesh, int material, const CentreLine& line, int pieces) {
    double s1 = line.length;
    // Outer slopes, then the top in three strips so the gravel keeps its scale.
    sweep(mesh, material, line, 0, s1, pieces,
          {ballastFoot, 0, ballastShoulder, ballastTop, 0.0, 0.7}, false);
    sweep(mesh, material, line, 0, s1, pieces,
          {-ballastShoulder, ballastTop, -ballastFoot, 0, 0.3, 1.0}, false);
    double strip = 2 * ballastShoulder / 3;
    for (int k = 0; k < 3; ++k) {
        double left = ballastShoulder - k * strip;
        sweep(mesh, material, line, 0, s1, pieces,
              {left, ballastTop, left - strip, ballastTop, 0.0, 1.0}, false);
    }
}

void addSleepers(MeshBuilder& mesh, int material, const CentreLine& line) {
    int count = static_cast<int>(std::lround(line.length / sleeperSpacing));
    double spacing = line.length / count;
    for (int k = 0; k < count; ++k) {
        double s = (k + 0.5) * spacing;
        double sa = s - sleeperHalfWidth, sb = s + sleeperHalfWidth;
        double l0 = -sleeperHalfLength, l1 = sleeperHalfLength;
        double y0 = sleeperBottom, y1 = sleeperTop;
        // u runs along the sleeper (across the track), v across its width, within the wood part
        // of the texture.
        auto v = [](double t) {
            return texture::sleeperV0 + (texture::sleeperV1 - texture::sleeperV0) * t;
        };
        mesh.addFlatQuad(material, {line.point(sa, l0, y1), 0, v(0)},
                         {line.point(sa, l1, y1), 1, v(0)}, {line.point(sb, l1, y1), 1, v(1)},
                         {line.point(sb, l0, y1), 0, v(1)}, line.direction(s, 0, 0, 1));
        mesh.addFlatQuad(material, {line.point(sa, l0, y1), 0, v(0)},
                         {line.point(sa, l1, y1), 1, v(0)}, {line.point(sa, l1, y0), 1, v(0.3)},
                         {line.point(sa, l0, y0), 0, v(0.3)}, line.direction(s, -1, 0, 0));
        mesh.addFlatQuad(material, {line.point(sb, l0, y1), 0, v(0.7)},
                         {line.point(sb, l1, y1), 1, v(0.7)}, {line.point(sb, l1, y0), 1, v(1)},
                         {line.point(sb, l0, y0), 0, v(1)}, line.direction(s, 1, 0, 0));
        mesh.addFlatQuad(material, {line.point(sa, l0, y1), 0, v(0)},
                         {line.point(sb, l0, y1), 0, v(1)}, {line.point(sb, l0, y0), 0.05, v(1)},
                         {line.point(sa, l0, y0), 0.05, v(0)}, line.direction(s, 0, -1, 0));
        mesh.addFlatQuad(material, {line.point(sa, l1, y1), 1, v(0)},
                         {line.point(sb, l1, y1), 1, v(1)}, {line.point(sb, l1, y0), 0.95, v(1)},
                         {line.point(sa, l1, y0), 0.95, v(0)}, line.direction(s, 0, 1, 0));
    }
}

// One rail centred `centre` to the left of the line: head, web and foot, outer faces only.
// The head has no undersides: they face the ground, and the camera's eye never comes down to
// the rails (it stays at least 400 units up), so they would always be culled.
void addRail(MeshBuilder& mesh, int material, const CentreLine& line, double centre, int pieces) {
    using texture::railHeadV0, texture::railHeadV1, texture::railSideV0, texture::railSideV1;
    double c = centre, s1 = line.length;
    const Sweep edges[] = {
        // Head: top and both sides.
        {c + railHeadHalf, railTop, c - railHeadHalf, railTop, railHeadV0, railHeadV1},
        {c - railHeadHalf, railTop, c - railHeadHalf, railHeadBottom, railHeadV1, railSideV0},
        {c + railHeadHalf, railHeadBottom, c + railHeadHalf, railTop, railSideV0, railHeadV1},
        // Web.
        {c - railWebHalf, railHeadBottom, c - railWebHalf, railFootTop, railSideV0, railSideV1},
        {c + railWebHalf, railFootTop, c + railWebHalf, railHeadBottom, railSideV1, railSideV0},
        // Foot: top on both sides and its edges.
        {c - railWebHalf, railFootTop, c - railFootHalf, sleeperTop, railSideV0, railSideV1},
        {c + railFootHalf, sleeperTop, c + railWebHalf, railFootTop, railSideV1, railSideV0},
    };
    for (const Sweep& edge : edges) {
        sweep(mesh, material, line, 0, s1, pieces, edge, true);
    }
}

MeshBuilder buildSegment(const CentreLine& line, int pieces, int railPieces) {
    MeshBuilder mesh;
    int ballast = mesh.addMaterial(texture::ballast);
    int track = mesh.addMaterial(texture::track);
    int grass = mesh.addMaterial(texture::grass);
    addScenery(mesh, grass, track, line, groundOpening);
    addBallast(mesh, ballast, line, pieces);
    addSleepers(mesh, track, line);
    addRail(mesh, track, line, railCentre, railPieces);
    addRail(mesh, track, line, -railCentre, railPieces);
    return mesh;
}

} // namespace

MeshBuilder buildStraightSegment() {
    // Ballast pieces about as long as the gravel picture is wide across the top strips. The
    // rails' faces are flat and their texture stretches over the whole length: one piece.
    return buildSegment({segmentLength, 0.0}, 32, 1);
}

MeshBuilder buildLeftTurnSegment() {
    // 48 pieces: under two degrees each, which looks round from the camera's distance.
    return buildSegment({turnRadius * halfPi, turnRadius}, 48, 48);
}
