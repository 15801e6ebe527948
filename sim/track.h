// track.h: the closed loop of track segments and the navigation along it: points and headings
// within a segment, moving a position along the loop, chord walks, locating a distance and the
// rail-joint test.
#pragma once

#include "graphics/mesh_model.h"
#include "graphics/placed_object.h"

// The program's angle constants: single-precision values widened to double.
constexpr double trackPi = 3.1415927410125732;
constexpr double trackHalfPi = 1.5707963705062866;
constexpr double trackQuarterPi = 0.7853981852531433;

// Reduces an angle above pi by whole turns, and one at or below -pi into (0, 2 pi].
void wrapAngle(double& angle);

// Any value other than Straight and LeftTurn is treated as a right turn.
enum class TrackSegmentKind : INT { Straight = 0, LeftTurn = 1, RightTurn = 2 };

struct TrackSegmentType : MeshModel {
    TrackSegmentKind kind = TrackSegmentKind::Straight;
    double length = 0.0;
    double radius = 0.0;

    TrackSegmentType() = default;
    // A straight takes length; a turn takes radius and is a quarter circle long.
    TrackSegmentType(TrackSegmentKind kind, double length, double radius, const char* meshFile);
};

struct TrackPoint {
    double x;
    double z;
};

struct TrackPosition {
    INT segmentIndex = 0;
    double offset = 0.0;
};

struct TrackSegment : PlacedObject {
    TrackSegmentType* segmentType;
    double startDistance;
    double endX;
    double endZ;
    double endHeading;

    TrackSegment(TrackSegmentType* type, double x, double z, double heading, double startDistance);
    TrackPoint pointAt(double offset) const;
    double headingAt(double offset) const;
    double length() const { return segmentType->length; }
};

constexpr int trackSegmentCapacity = 20;

struct Track {
    TrackSegment* segments[trackSegmentCapacity] = {};
    INT segmentCount = 0;
    double totalLength = 0.0;
    double railLength = 0.0;
    bool closed = false;

    Track() = default;
    Track(const Track&) = delete;
    Track& operator=(const Track&) = delete;
    ~Track();

    // Appends a segment where the last one ends; ignored when full or closed.
    void appendSegment(TrackSegmentType* type);
    // Moves position by delta along the loop, crossing at most one segment boundary.
    TrackPosition advance(TrackPosition position, double delta) const;
    // The position that lies the straight-line distance chord behind position.
    TrackPosition chordBack(TrackPosition position, double chord) const;
    // The segment and offset of a distance along the loop; false outside [0, totalLength).
    bool locate(double distance, TrackPosition& position) const;
    // Whether moving forward from one position to the other passes a rail joint.
    bool crossesRailJoint(TrackPosition from, TrackPosition to) const;
    void draw() const;
};

// Loads the two segment types and lays out the scene's oval with its rail length.
void buildTrack();

// The scene's segment types and track (app/scene_objects.cpp).
extern TrackSegmentType straightType;
extern TrackSegmentType leftTurnType;
extern Track track;
