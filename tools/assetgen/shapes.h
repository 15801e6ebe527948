// shapes.h: round solids for the rolling stock: cylinders and cones along an axis with caps, and
// the arched roof of a car body with its gable end walls.
#pragma once

#include "mesh_builder.h"

// Where a cylinder's texture comes from: the side as a rectangle (u along the axis, v once
// around starting at `up`), the caps as a disc centred on (capU, capV) with radius capRadius.
struct CylinderMapping {
    double u0 = 0, u1 = 1, v0 = 0, v1 = 1;
    double capU = 0.5, capV = 0.5, capRadius = 0.5;
};

// A cylinder, or a cone cut short when endScale is not 1 (the end's radius is radius * endScale).
struct Cylinder {
    Vec3 start, end; // centres of the two caps
    Vec3 up;         // direction of angle 0 around the axis, perpendicular to it
    double radius;
    int sides;
    bool startCap = true, endCap = true;
    double endScale = 1;
};

void addCylinder(MeshBuilder& mesh, int material, const Cylinder& cylinder,
                 const CylinderMapping& mapping);

// A body's side walls, arched roof and end walls: x from `rear` to `front`, walls at z = +-half
// from `bottom` to `eaves`, the roof rising to `crown` on the centre line in `arcPieces` pieces.
// Sides map the texture's full width from the front (left side) or the rear (right side);
// the ends map u from endU0 to endU1; the roof uses roofMaterial.
struct CarBody {
    double front, rear, half, bottom, eaves, crown;
    int arcPieces;
    double endU0, endU1;
};

void addCarBody(MeshBuilder& mesh, int sideMaterial, int roofMaterial, const CarBody& body);
