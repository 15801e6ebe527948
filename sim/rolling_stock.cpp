// rolling_stock.cpp: construction and placement of bogies and cars on the scene's track.
#include "sim/rolling_stock.h"

#include <cmath>
#include <new>

BogieType::BogieType(double wheelbase, const char* meshFile) : wheelbase(wheelbase) {
    load(meshFile);
}

CarType::CarType(double bogieSpacing, double bogieSetback, const char* meshFile,
                 BogieType* bogieType)
    : bogieType(bogieType), bogieSpacing(bogieSpacing), bogieSetback(bogieSetback) {
    load(meshFile);
}

Bogie::Bogie(BogieType* type) : PlacedObject{type, 0.0, 0.0, 0.0}, bogieType(type) {
    createSound();
}

Bogie::~Bogie() {
    releaseSound();
}

void Bogie::place(TrackPosition position, bool clacks) {
    trackPosition = position;
    const TrackSegment& segment = *track.segments[position.segmentIndex];
    TrackPoint point = segment.pointAt(position.offset);
    x = point.x;
    z = point.z;
    heading = segment.headingAt(position.offset);
    updateSound(clacks);
}

Car::Car(CarType* type)
    : PlacedObject{type, 0.0, 0.0, 0.0}, carType(type),
      frontBogie(new (std::nothrow) Bogie(type->bogieType)),
      rearBogie(new (std::nothrow) Bogie(type->bogieType)) {}

bool Car::complete() const {
    return frontBogie != nullptr && rearBogie != nullptr;
}

Car::~Car() {
    delete frontBogie;
    delete rearBogie;
}

void Car::place(TrackPosition position, bool clacks) {
    trackPosition = position;
    frontBogie->place(position, clacks);
    x = frontBogie->x;
    z = frontBogie->z;
    rearBogie->place(track.chordBack(position, carType->bogieSpacing), clacks);

    double dx = x - rearBogie->x;
    double dz = z - rearBogie->z;
    double span = std::sqrt(dz * dz + dx * dx);
    if (span > 0.0) {
        heading = std::acos(dx / span);
        if (dz < 0.0) {
            heading = -heading;
        }
    }
}
