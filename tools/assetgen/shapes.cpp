// shapes.cpp: cylinders and arched car bodies built from flat and smooth quads.
#include "shapes.h"

#include <cmath>

namespace {
const double twoPi = 6.283185307179586;
}

void addCylinder(MeshBuilder& mesh, int material, const Cylinder& c, const CylinderMapping& m) {
    Vec3 axis = normalized(c.end - c.start);
    Vec3 e1 = normalized(c.up);
    Vec3 e2 = cross(axis, e1);
    auto radial = [&](int i) {
        double angle = twoPi * i / c.sides;
        return e1 * std::cos(angle) + e2 * std::sin(angle);
    };
    double endRadius = c.radius * c.endScale;
    // A cone's side leans towards its narrow end.
    Vec3 lean = axis * ((c.radius - endRadius) / std::sqrt(dot(c.end - c.start, c.end - c.start)));
    for (int i = 0; i < c.sides; ++i) {
        Vec3 ra = radial(i), rb = radial(i + 1);
        Vec3 na = normalized(ra + lean), nb = normalized(rb + lean);
        double va = m.v0 + (m.v1 - m.v0) * i / c.sides;
        double vb = m.v0 + (m.v1 - m.v0) * (i + 1) / c.sides;
        int a0 = mesh.addVertex({c.start + ra * c.radius, na, m.u0, va});
        int a1 = mesh.addVertex({c.end + ra * endRadius, na, m.u1, va});
        int b0 = mesh.addVertex({c.start + rb * c.radius, nb, m.u0, vb});
        int b1 = mesh.addVertex({c.end + rb * endRadius, nb, m.u1, vb});
        Vec3 outward = na + nb;
        mesh.addTriangle(material, a0, a1, b1, outward);
        mesh.addTriangle(material, a0, b1, b0, outward);
    }
    for (int end = 0; end < 2; ++end) {
        if (!(end == 0 ? c.startCap : c.endCap)) {
            continue;
        }
        Vec3 centre = end == 0 ? c.start : c.end;
        double radius = end == 0 ? c.radius : endRadius;
        Vec3 outward = end == 0 ? axis * -1.0 : axis;
        int middle = mesh.addVertex({centre, outward, m.capU, m.capV});
        for (int i = 0; i < c.sides; ++i) {
            double aa = twoPi * i / c.sides, ab = twoPi * (i + 1) / c.sides;
            // Angle 0 (up) is the top of the disc picture, v growing downwards.
            int a = mesh.addVertex({centre + radial(i) * radius, outward,
                                    m.capU + m.capRadius * std::sin(aa),
                                    m.capV - m.capRadius * std::cos(aa)});
            int b = mesh.addVertex({centre + radial(i + 1) * radius, outward,
                                    m.capU + m.capRadius * std::sin(ab),
                                    m.capV - m.capRadius * std::cos(ab)});
            mesh.addTriangle(material, middle, a, b, outward);
        }
    }
}

void addCarBody(MeshBuilder& mesh, int sideMaterial, int roofMaterial, const CarBody& b) {
    // Left side (+z): seen from outside, the front is at the viewer's left.
    mesh.addFlatQuad(sideMaterial, {{b.front, b.eaves, b.half}, 0, 0},
                     {{b.rear, b.eaves, b.half}, 1, 0}, {{b.rear, b.bottom, b.half}, 1, 1},
                     {{b.front, b.bottom, b.half}, 0, 1}, {0, 0, 1});
    mesh.addFlatQuad(sideMaterial, {{b.rear, b.eaves, -b.half}, 0, 0},
                     {{b.front, b.eaves, -b.half}, 1, 0}, {{b.front, b.bottom, -b.half}, 1, 1},
                     {{b.rear, b.bottom, -b.half}, 0, 1}, {0, 0, -1});
    // Roof profile: a circular arc through both eaves and the crown.
    double rise = b.crown - b.eaves;
    double radius = (b.half * b.half + rise * rise) / (2 * rise);
    double centreY = b.crown - radius;
    double spread = std::asin(b.half / radius);
    auto profile = [&](int i) {
        double angle = -spread + 2 * spread * i / b.arcPieces;
        return Vec3{0, centreY + radius * std::cos(angle), radius * std::sin(angle)};
    };
    for (int i = 0; i < b.arcPieces; ++i) {
        Vec3 pa = profile(i), pb = profile(i + 1);
        Vec3 na = normalized({0, pa.y - centreY, pa.z}), nb = normalized({0, pb.y - centreY, pb.z});
        double va = static_cast<double>(i) / b.arcPieces,
               vb = static_cast<double>(i + 1) / b.arcPieces;
        int a0 = mesh.addVertex({{b.front, pa.y, pa.z}, na, 0, va});
        int a1 = mesh.addVertex({{b.rear, pa.y, pa.z}, na, 1, va});
        int b0 = mesh.addVertex({{b.front, pb.y, pb.z}, nb, 0, vb});
        int b1 = mesh.addVertex({{b.rear, pb.y, pb.z}, nb, 1, vb});
        Vec3 outward = na + nb;
        mesh.addTriangle(roofMaterial, a0, a1, b1, outward);
        mesh.addTriangle(roofMaterial, a0, b1, b0, outward);
    }
    // End walls: the wall rectangle and the gable under the arch, as one fan from the wall's
    // bottom middle. u across the wall, v down from the crown.
    double height = b.crown - b.bottom;
    for (int end = 0; end < 2; ++end) {
        double x = end == 0 ? b.front : b.rear;
        Vec3 outward{end == 0 ? 1.0 : -1.0, 0, 0};
        auto corner = [&](double y, double z) {
            // Seen from outside, the front end has +z at the viewer's right.
            double across = (z + b.half) / (2 * b.half);
            if (end == 1) {
                across = 1 - across;
            }
            return Corner{
                {x, y, z}, b.endU0 + (b.endU1 - b.endU0) * across, (b.crown - y) / height};
        };
        Corner hub = corner(b.bottom, 0);
        mesh.addFlatTriangle(sideMaterial, hub, corner(b.bottom, -b.half), corner(b.eaves, -b.half),
                             outward);
        for (int i = 0; i < b.arcPieces; ++i) {
            Vec3 pa = profile(i), pb = profile(i + 1);
            mesh.addFlatTriangle(sideMaterial, hub, corner(pa.y, pa.z), corner(pb.y, pb.z),
                                 outward);
        }
        mesh.addFlatTriangle(sideMaterial, hub, corner(b.eaves, b.half), corner(b.bottom, b.half),
                             outward);
    }
}
