// centre_line.h: the centre line of a track segment (a straight along +x or a left turn about (0,
// 0, radius)) with the points and directions measured along, to the left of and above it, which the
// track and its scenery are built along.
#pragma once

#include "mesh_builder.h"

#include <cmath>

struct CentreLine {
    double length;
    double radius; // 0 for a straight

    double heading(double s) const { return radius > 0 ? s / radius : 0.0; }
    // The point s along the line, `left` to its left, `height` above the ground.
    Vec3 point(double s, double left, double height) const {
        double h = heading(s);
        Vec3 centre = radius > 0 ? Vec3{radius * std::sin(h), 0, radius - radius * std::cos(h)}
                                 : Vec3{s, 0, 0};
        return {centre.x - left * std::sin(h), height, centre.z + left * std::cos(h)};
    }
    // A direction given along the line, to its left and up, turned to the heading at s.
    Vec3 direction(double s, double along, double left, double up) const {
        double h = heading(s);
        return {along * std::cos(h) - left * std::sin(h), up,
                along * std::sin(h) + left * std::cos(h)};
    }
};
