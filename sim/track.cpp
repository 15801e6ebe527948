// track.cpp: segment geometry, the loop of segments and the navigation along it, and the scene's
// oval.
#include "sim/track.h"

#include <cmath>

void wrapAngle(double& angle) {
    constexpr double twoPi = 6.2831854820251465;
    constexpr double inverseTwoPi = 0.15915493866300567;
    if (angle > trackPi) {
        angle -= static_cast<INT>(angle * inverseTwoPi) * twoPi;
    } else if (angle <= -trackPi) {
        angle -= static_cast<INT>(angle * inverseTwoPi - 1.0) * twoPi;
    }
}

TrackSegmentType::TrackSegmentType(TrackSegmentKind kind, double length, double radius,
                                   const char* meshFile)
    : kind(kind) {
    if (kind == TrackSegmentKind::Straight) {
        this->length = length;
        this->radius = 0.0;
    } else {
        this->radius = radius;
        this->length = radius * trackHalfPi;
    }
    load(meshFile);
}

namespace {

// +1 for a left turn, -1 for a right turn (every kind that is neither straight nor left).
double turnSign(TrackSegmentKind kind) {
    return kind == TrackSegmentKind::LeftTurn ? 1.0 : -1.0;
}

// The arc length that spans a straight-line distance chord on a segment of this type.
double arcOfChord(const TrackSegmentType& type, double chord) {
    if (type.kind == TrackSegmentKind::Straight) {
        return chord;
    }
    return 2.0 * type.radius * std::asin(chord / (2.0 * type.radius));
}

} // namespace

TrackSegment::TrackSegment(TrackSegmentType* type, double x, double z, double heading,
                           double startDistance)
    : PlacedObject{type, x, z, heading}, segmentType(type), startDistance(startDistance) {
    if (type->kind == TrackSegmentKind::Straight) {
        endX = x + std::cos(heading) * type->length;
        endZ = z + std::sin(heading) * type->length;
        endHeading = heading;
    } else {
        double sign = turnSign(type->kind);
        endHeading = heading + sign * trackHalfPi;
        wrapAngle(endHeading);
        // The end lies along the chord of the quarter circle, half a right angle off.
        double chordHeading = heading + sign * trackQuarterPi;
        endX = x + std::cos(chordHeading) * type->radius * std::sqrt(2.0);
        endZ = z + std::sin(chordHeading) * type->radius * std::sqrt(2.0);
    }
}

TrackPoint TrackSegment::pointAt(double offset) const {
    const TrackSegmentType& type = *segmentType;
    if (type.kind == TrackSegmentKind::Straight) {
        return {x + offset * std::cos(heading), z + offset * std::sin(heading)};
    }
    // The point runs around the centre, which lies radius to the side of the start.
    double sign = turnSign(type.kind);
    double startAngle = heading - sign * trackHalfPi;
    double angle = startAngle + sign * offset / type.radius;
    return {x + type.radius * (std::cos(angle) - std::cos(startAngle)),
            z + type.radius * (std::sin(angle) - std::sin(startAngle))};
}

double TrackSegment::headingAt(double offset) const {
    if (segmentType->kind == TrackSegmentKind::Straight) {
        return heading;
    }
    return heading + turnSign(segmentType->kind) * offset / segmentType->radius;
}

Track::~Track() {
    while (segmentCount > 0) {
        --segmentCount;
        delete segments[segmentCount];
        segments[segmentCount] = nullptr;
    }
}

void Track::appendSegment(TrackSegmentType* type) {
    if (segmentCount >= trackSegmentCapacity || closed) {
        return;
    }
    TrackSegment* segment;
    if (segmentCount == 0) {
        segment = new TrackSegment(type, 0.0, 0.0, 0.0, 0.0);
    } else {
        const TrackSegment& last = *segments[segmentCount - 1];
        segment = new TrackSegment(type, last.endX, last.endZ, last.endHeading, totalLength);
        const TrackSegment& first = *segments[0];
        closed = segment->endX == first.x && segment->endZ == first.z &&
                 segment->endHeading == first.heading;
    }
    segments[segmentCount] = segment;
    totalLength = type->length + totalLength;
    ++segmentCount;
}

TrackPosition Track::advance(TrackPosition position, double delta) const {
    TrackPosition result{position.segmentIndex, position.offset + delta};
    if (result.offset < 0.0) {
        result.segmentIndex =
            position.segmentIndex - 1 < 0 ? segmentCount - 1 : position.segmentIndex - 1;
        result.offset += segments[result.segmentIndex]->length();
    } else if (result.offset >= segments[position.segmentIndex]->length()) {
        result.segmentIndex =
            position.segmentIndex + 1 > segmentCount - 1 ? 0 : position.segmentIndex + 1;
        result.offset -= segments[position.segmentIndex]->length();
    }
    return result;
}

TrackPosition Track::chordBack(TrackPosition position, double chord) const {
    double arc = arcOfChord(*segments[position.segmentIndex]->segmentType, chord);
    if (position.offset - arc >= 0.0) {
        return {position.segmentIndex, position.offset - arc};
    }
    // The walk uses up offset / arc of its way on this segment and the rest on the previous
    // one, measured by that segment's own arc for the chord.
    INT previous = position.segmentIndex - 1 < 0 ? segmentCount - 1 : position.segmentIndex - 1;
    const TrackSegment& segment = *segments[previous];
    double previousArc = arcOfChord(*segment.segmentType, chord);
    return {previous, segment.length() - previousArc * (1.0 - position.offset / arc)};
}

bool Track::locate(double distance, TrackPosition& position) const {
    for (INT i = 0; i < segmentCount; ++i) {
        const TrackSegment& segment = *segments[i];
        if (segment.startDistance <= distance &&
            distance < segment.startDistance + segment.length()) {
            position = {i, distance - segment.startDistance};
            return true;
        }
    }
    return false;
}

bool Track::crossesRailJoint(TrackPosition from, TrackPosition to) const {
    if (railLength == 0.0) {
        return false;
    }
    double fromDistance = from.offset + segments[from.segmentIndex]->startDistance;
    double toDistance = to.offset + segments[to.segmentIndex]->startDistance;
    if (toDistance < fromDistance) {
        return false;
    }
    double perRail = 1.0 / railLength;
    return static_cast<INT>(fromDistance * perRail) != static_cast<INT>(toDistance * perRail);
}

void Track::draw() const {
    for (INT i = 0; i < segmentCount; ++i) {
        drawPlacedObject(*segments[i]);
    }
}

void buildTrack() {
    straightType = TrackSegmentType(TrackSegmentKind::Straight, 4096.0, 0.0, "SegStraight.X");
    leftTurnType = TrackSegmentType(TrackSegmentKind::LeftTurn, 0.0, 4096.0, "SegTurnLeft.X");
    TrackSegmentType* const oval[] = {&straightType, &straightType, &leftTurnType, &leftTurnType,
                                      &straightType, &straightType, &leftTurnType, &leftTurnType};
    for (TrackSegmentType* type : oval) {
        track.appendSegment(type);
    }
    track.railLength = 3200.0;
}
