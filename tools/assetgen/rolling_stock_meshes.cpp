// rolling_stock_meshes.cpp: a two-axle bogie and three car bodies (box van, tank wagon, passenger
// coach) on a common underframe with buffers. World units, 128 per metre.
#include "rolling_stock_meshes.h"

#include "shapes.h"
#include "textures.h"

namespace {

// Heights shared with the track: rail top at 68, wheel radius 0.45 m.
const double railTop = 68, wheelRadius = 57.6, axleHeight = railTop + wheelRadius;
const double bolsterTop = 165; // where the car bodies rest
const double halfWheelbase = 120;

// Wheel across the track: flange inside, tread over the rail (rail centre at z 96.45).
const double wheelInner = 87, flangeOuter = 90, wheelOuter = 104.5, flangeDepth = 3.6;

void addWheelset(MeshBuilder& mesh, int wheelMaterial, int frameMaterial, double x) {
    CylinderMapping disc{texture::wheelTreadU,
                         texture::wheelTreadU,
                         texture::wheelTreadV,
                         texture::wheelTreadV,
                         0.5,
                         0.5,
                         0.5};
    for (double side : {1.0, -1.0}) {
        Vec3 centre{x, axleHeight, 0};
        // Tread and face: from the flange's outer edge to the outer face.
        addCylinder(mesh, wheelMaterial,
                    {centre + Vec3{0, 0, side * flangeOuter},
                     centre + Vec3{0, 0, side * wheelOuter},
                     {0, 1, 0},
                     wheelRadius,
                     18,
                     false,
                     true},
                    disc);
        // Flange: a slightly larger disc on the inside.
        addCylinder(mesh, wheelMaterial,
                    {centre + Vec3{0, 0, side * wheelInner},
                     centre + Vec3{0, 0, side * flangeOuter},
                     {0, 1, 0},
                     wheelRadius + flangeDepth,
                     18,
                     true,
                     false},
                    disc);
    }
    CylinderMapping steel{0.1, 0.9, 0.1, 0.9};
    addCylinder(
        mesh, frameMaterial,
        {{x, axleHeight, -wheelInner}, {x, axleHeight, wheelInner}, {0, 1, 0}, 9, 8, false, false},
        steel);
}

struct Underframe {
    double front, rear;  // coupling ends
    double bufferLength; // from the headstock face to the buffer head
    // A body stands on the floor's top (or reaches below it) over all of it but the ends, which
    // lie in the headstocks' tops, and hides it.
    bool bodyOnFloor;
};

// Sole bars, floor, headstocks, buffers and couplings. Sole bars, floor and headstocks close
// the space under the floor on every side but below, where the eye never is (it stays at least
// 400 up), so faces turned into that space never show; nor do faces that lie within a
// headstock's face or the floor's top, which cover them and are drawn after them.
void addUnderframe(MeshBuilder& mesh, int material, const Underframe& u) {
    double front = u.front - u.bufferLength, rear = u.rear + u.bufferLength;
    const double top = bolsterTop + 45, bufferHeight = bolsterTop + 30, bufferSpread = 112;
    // Sole bars: their outer faces only (the tops lie in the floor's top, the ends in the
    // headstocks' outer faces, the inner faces look into the space under the floor).
    mesh.addBox(material, {rear, bolsterTop, -150}, {front, top, -128}, 0, 0.2, 1, 0.4, boxLowZ);
    mesh.addBox(material, {rear, bolsterTop, 128}, {front, top, 150}, 0, 0.2, 1, 0.4, boxHighZ);
    // Floor: its ends lie in the headstocks' outer faces.
    mesh.addBox(material, {rear, top - 12, -178}, {front, top, 178}, 0, 0, 1, 0.1,
                boxLowZ | boxHighZ | (u.bodyOnFloor ? 0 : boxTop));
    mesh.addBox(material, {front - 20, bolsterTop, -182}, {front, top, 182}, 0, 0.5, 1, 0.6);
    mesh.addBox(material, {rear, bolsterTop, -182}, {rear + 20, top, 182}, 0, 0.5, 1, 0.6);
    CylinderMapping steel{0.2, 0.3, 0.2, 0.8, 0.5, 0.5, 0.1};
    for (double z : {bufferSpread, -bufferSpread}) {
        for (double direction : {1.0, -1.0}) {
            double base = direction > 0 ? front : rear;
            Vec3 from{base, bufferHeight, z};
            Vec3 head{base + direction * (u.bufferLength - 5), bufferHeight, z};
            addCylinder(mesh, material, {from, head, {0, 1, 0}, 11, 8, false, false}, steel);
            addCylinder(mesh, material,
                        {head, head + Vec3{direction * 5, 0, 0}, {0, 1, 0}, 22, 12, true, true},
                        steel);
        }
    }
    // Draw hooks between the buffers.
    mesh.addBox(material, {front, bufferHeight - 8, -10}, {u.front - 12, bufferHeight + 8, 10});
    mesh.addBox(material, {u.rear + 12, bufferHeight - 8, -10}, {rear, bufferHeight + 8, 10});
}

} // namespace

MeshBuilder buildBogie() {
    MeshBuilder mesh;
    int frame = mesh.addMaterial(texture::frame);
    int wheel = mesh.addMaterial(texture::wheel);
    for (double x : {halfWheelbase, -halfWheelbase}) {
        addWheelset(mesh, wheel, frame, x);
    }
    for (double side : {1.0, -1.0}) {
        double z0 = side * 108, z1 = side * 120;
        auto lowZ = side > 0 ? z0 : z1, highZ = side > 0 ? z1 : z0;
        // Side frame, axle boxes and the springs above them.
        mesh.addBox(frame, {-180, axleHeight - 20, lowZ}, {180, axleHeight + 22, highZ});
        for (double x : {halfWheelbase, -halfWheelbase}) {
            double boxLow = side > 0 ? 104 : -126, boxHigh = side > 0 ? 126 : -104;
            mesh.addBox(frame, {x - 18, axleHeight - 16, boxLow},
                        {x + 18, axleHeight + 18, boxHigh});
        }
        double springLow = side > 0 ? 106 : -124, springHigh = side > 0 ? 124 : -106;
        mesh.addBox(frame, {-40, axleHeight + 22, springLow}, {40, bolsterTop - 12, springHigh},
                    0.6, 0.6, 0.8, 0.9);
    }
    // Bolster across the bogie with the centre plate the body rests on.
    mesh.addBox(frame, {-30, bolsterTop - 28, -120}, {30, bolsterTop - 8, 120});
    mesh.addBox(frame, {-22, bolsterTop - 8, -40}, {22, bolsterTop, 40}, 0.6, 0.6, 0.7, 0.7);
    return mesh;
}

MeshBuilder buildGoodsCar() {
    const double front = 321, rear = -1601, buffers = 40;
    MeshBuilder mesh;
    int body = mesh.addMaterial(texture::goods);
    int roof = mesh.addMaterial(texture::roof);
    int frame = mesh.addMaterial(texture::frame);
    addUnderframe(mesh, frame, {front, rear, buffers, true});
    addCarBody(mesh, body, roof,
               {front - buffers - 4, rear + buffers + 4, 180, bolsterTop + 45, 535, 565, 8,
                texture::goodsEndU0, texture::goodsEndU1});
    return mesh;
}

MeshBuilder buildTankCar() {
    const double front = 257, rear = -1281, buffers = 40;
    MeshBuilder mesh;
    int shell = mesh.addMaterial(texture::tank);
    int frame = mesh.addMaterial(texture::frame);
    addUnderframe(mesh, frame, {front, rear, buffers, false});
    const double radius = 150, axis = bolsterTop + 45 + 30 + radius;
    const double tankFront = front - buffers - 30, tankRear = rear + buffers + 30;
    const int sides = 24;
    addCylinder(mesh, shell,
                {{tankFront, axis, 0}, {tankRear, axis, 0}, {0, 1, 0}, radius, sides, false, false},
                {0, 1, 0, 1});
    // Dished ends: a short cone closing most of the way, then a flat centre.
    CylinderMapping head{0.02, 0.05, 0, 1, 0.03, 0.38, 0.02};
    for (double direction : {1.0, -1.0}) {
        Vec3 rim{direction > 0 ? tankFront : tankRear, axis, 0};
        addCylinder(
            mesh, shell,
            {rim, rim + Vec3{direction * 22, 0, 0}, {0, 1, 0}, radius, sides, false, true, 0.72},
            head);
    }
    // Dome with its lid on top, halfway along the tank.
    double middle = (tankFront + tankRear) / 2;
    addCylinder(mesh, shell,
                {{middle, axis + radius - 10, 0},
                 {middle, axis + radius + 38, 0},
                 {1, 0, 0},
                 42,
                 16,
                 false,
                 true},
                {0.45, 0.47, 0.0, 0.05, 0.46, 0.02, 0.01});
    // Filling platform around the dome, its skirts reaching down to the shell.
    mesh.addBox(frame, {middle - 110, axis + radius * 0.75, -95},
                {middle + 110, axis + radius + 3, 95}, 0, 0.2, 1, 0.4);
    // Saddles cradling the tank and a walkway plate along each side of the frame.
    for (double x : {tankFront - 140, tankRear + 140}) {
        mesh.addBox(frame, {x - 25, bolsterTop + 45, -130}, {x + 25, axis - radius + 40, 130});
    }
    mesh.addBox(frame, {tankRear, bolsterTop + 45, 150}, {tankFront, bolsterTop + 50, 180}, 0, 0, 1,
                0.1);
    mesh.addBox(frame, {tankRear, bolsterTop + 45, -180}, {tankFront, bolsterTop + 50, -150}, 0, 0,
                1, 0.1);
    return mesh;
}

MeshBuilder buildPassengerCar() {
    const double front = 384, rear = -2816, buffers = 40;
    MeshBuilder mesh;
    int body = mesh.addMaterial(texture::coach);
    int roof = mesh.addMaterial(texture::roof);
    int frame = mesh.addMaterial(texture::frame);
    addUnderframe(mesh, frame, {front, rear, buffers, true});
    const double bodyFront = front - buffers - 4, bodyRear = rear + buffers + 4;
    addCarBody(mesh, body, roof,
               {bodyFront, bodyRear, 182, bolsterTop + 40, 520, 570, 10, texture::coachEndU0,
                texture::coachEndU1});
    // Gangway bellows at both ends, reaching almost to the next coach; the face against the
    // body's end looks into the body.
    mesh.addBox(frame, {bodyFront, bolsterTop + 60, -60}, {front - 6, 500, 60}, 0, 0.3, 1, 0.5,
                allBoxFaces & ~boxLowX);
    mesh.addBox(frame, {rear + 6, bolsterTop + 60, -60}, {bodyRear, 500, 60}, 0, 0.3, 1, 0.5,
                allBoxFaces & ~boxHighX);
    // Equipment boxes under the floor between the bogies; their tops close the space under the
    // floor from below.
    mesh.addBox(frame, {-1900, bolsterTop - 55, -120}, {-1300, bolsterTop, 120}, 0, 0.6, 1, 1,
                allBoxFaces & ~boxTop);
    mesh.addBox(frame, {-1150, bolsterTop - 45, -100}, {-700, bolsterTop, 100}, 0, 0.6, 1, 1,
                allBoxFaces & ~boxTop);
    return mesh;
}
