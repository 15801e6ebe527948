// Track geometry and navigation on the scene's oval and on small test tracks.
#include <gtest/gtest.h>

#include <cmath>

#include <malloc.h>

#include "support/scene_setup.h"

namespace {

TrackSegmentType segmentType(TrackSegmentKind kind, double length, double radius) {
    TrackSegmentType type;
    type.kind = kind;
    type.length = length;
    type.radius = radius;
    return type;
}

class SceneTrack : public ::testing::Test {
protected:
    void SetUp() override { ensureSceneTypes(); }

    TrackPosition at(double distance) {
        TrackPosition position{-1, -1.0};
        EXPECT_TRUE(track.locate(distance, position)) << distance;
        return position;
    }
};

} // namespace

TEST_F(SceneTrack, OvalHasItsLengthsAndStartDistances) {
    EXPECT_EQ(leftTurnType.length, 6433.98193359375);
    EXPECT_EQ(leftTurnType.radius, 4096.0);
    EXPECT_EQ(straightType.radius, 0.0);
    ASSERT_EQ(track.segmentCount, 8);
    EXPECT_EQ(track.totalLength, 42119.927734375);
    EXPECT_EQ(track.railLength, 3200.0);
    const double starts[] = {0.0,
                             4096.0,
                             8192.0,
                             14625.98193359375,
                             21059.9638671875,
                             25155.9638671875,
                             29251.9638671875,
                             35685.94580078125};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(track.segments[i]->startDistance, starts[i]) << i;
        EXPECT_EQ(track.segments[i]->model, track.segments[i]->segmentType) << i;
    }
}

TEST_F(SceneTrack, OvalSegmentsJoinEndToStart) {
    const TrackSegment& halfway = *track.segments[3];
    // Single-precision pi leaves the turns' ends a fraction of a unit off the exact oval.
    EXPECT_NEAR(halfway.endX, 8192.0, 0.01);
    EXPECT_NEAR(halfway.endZ, 8192.0, 0.01);
    EXPECT_NEAR(halfway.endHeading, trackPi, 1e-9);
    for (int i = 1; i < 8; ++i) {
        EXPECT_EQ(track.segments[i]->x, track.segments[i - 1]->endX) << i;
        EXPECT_EQ(track.segments[i]->z, track.segments[i - 1]->endZ) << i;
        EXPECT_EQ(track.segments[i]->heading, track.segments[i - 1]->endHeading) << i;
    }
    const TrackSegment& last = *track.segments[7];
    EXPECT_NEAR(last.endX, 0.0, 0.01);
    EXPECT_NEAR(last.endZ, 0.0, 0.01);
}

TEST_F(SceneTrack, LocateFindsTheSegmentThatStartsAtOrBeforeTheDistance) {
    TrackPosition position = at(0.0);
    EXPECT_EQ(position.segmentIndex, 0);
    EXPECT_EQ(position.offset, 0.0);
    position = at(4096.0);
    EXPECT_EQ(position.segmentIndex, 1);
    EXPECT_EQ(position.offset, 0.0);
    position = at(track.totalLength - 0.001);
    EXPECT_EQ(position.segmentIndex, 7);

    TrackPosition untouched{3, 12.0};
    EXPECT_FALSE(track.locate(track.totalLength, untouched));
    EXPECT_FALSE(track.locate(-1.0, untouched));
    EXPECT_EQ(untouched.segmentIndex, 3);
    EXPECT_EQ(untouched.offset, 12.0);
}

TEST_F(SceneTrack, AdvanceWrapsAcrossTheEndsOfTheLoop) {
    TrackPosition back = track.advance({0, 100.0}, -300.0);
    EXPECT_EQ(back.segmentIndex, 7);
    EXPECT_EQ(back.offset, 6233.98193359375);
    TrackPosition forward = track.advance({7, 6400.0}, 100.0);
    EXPECT_EQ(forward.segmentIndex, 0);
    EXPECT_EQ(forward.offset, 66.01806640625);
    TrackPosition within = track.advance({2, 1000.0}, 120.0);
    EXPECT_EQ(within.segmentIndex, 2);
    EXPECT_EQ(within.offset, 1120.0);
    TrackPosition exactEnd = track.advance({0, 4000.0}, 96.0);
    EXPECT_EQ(exactEnd.segmentIndex, 1);
    EXPECT_EQ(exactEnd.offset, 0.0);
}

TEST_F(SceneTrack, AdvanceCrossesInteriorBoundariesByTheLeftSegmentsLength) {
    // Forward, the length of the segment left behind is taken off: a straight, then a turn.
    TrackPosition intoTurn = track.advance({1, 4000.0}, 200.0);
    EXPECT_EQ(intoTurn.segmentIndex, 2);
    EXPECT_EQ(intoTurn.offset, 104.0);
    TrackPosition outOfTurn = track.advance({3, 6400.0}, 100.0);
    EXPECT_EQ(outOfTurn.segmentIndex, 4);
    EXPECT_EQ(outOfTurn.offset, 66.01806640625);
    // Backward, the length of the segment entered is added: a straight, then a turn.
    TrackPosition backToStraight = track.advance({2, 50.0}, -100.0);
    EXPECT_EQ(backToStraight.segmentIndex, 1);
    EXPECT_EQ(backToStraight.offset, 4046.0);
    TrackPosition backToTurn = track.advance({4, 10.0}, -20.0);
    EXPECT_EQ(backToTurn.segmentIndex, 3);
    EXPECT_EQ(backToTurn.offset, 6423.98193359375);
    // Next to the ends of the loop, the neighbours are still the inner ones.
    TrackPosition intoLast = track.advance({6, 6400.0}, 100.0);
    EXPECT_EQ(intoLast.segmentIndex, 7);
    EXPECT_EQ(intoLast.offset, 66.01806640625);
    TrackPosition backToFirst = track.advance({1, 50.0}, -100.0);
    EXPECT_EQ(backToFirst.segmentIndex, 0);
    EXPECT_EQ(backToFirst.offset, 4046.0);
    TrackPosition exactStart = track.advance({5, 20.0}, -20.0);
    EXPECT_EQ(exactStart.segmentIndex, 5);
    EXPECT_EQ(exactStart.offset, 0.0);
}

TEST_F(SceneTrack, ChordBackWalksTheChordsArc) {
    TrackPosition straight = track.chordBack({1, 3000.0}, 1280.0);
    EXPECT_EQ(straight.segmentIndex, 1);
    EXPECT_EQ(straight.offset, 1720.0);

    // A walk that ends exactly at the segment's start stays on the segment.
    TrackPosition toStart = track.chordBack({1, 1280.0}, 1280.0);
    EXPECT_EQ(toStart.segmentIndex, 1);
    EXPECT_EQ(toStart.offset, 0.0);

    // Across a boundary between two straights the walk is still exactly the chord.
    TrackPosition across = track.chordBack({1, 100.0}, 1280.0);
    EXPECT_EQ(across.segmentIndex, 0);
    EXPECT_EQ(across.offset, 4096.0 - 1180.0);

    double arc = 2.0 * 4096.0 * std::asin(2432.0 / 8192.0);
    EXPECT_NEAR(arc, 2469.22, 0.01);
    TrackPosition turn = track.chordBack({2, 3000.0}, 2432.0);
    EXPECT_EQ(turn.segmentIndex, 2);
    EXPECT_EQ(turn.offset, 3000.0 - arc);
    // The two points on the turn really are the chord apart.
    TrackPoint front = track.segments[2]->pointAt(3000.0);
    TrackPoint rear = track.segments[2]->pointAt(turn.offset);
    EXPECT_NEAR(std::hypot(front.x - rear.x, front.z - rear.z), 2432.0, 1e-6);

    // From the start of the loop the walk continues on the last segment, a turn.
    TrackPosition wrapped = track.chordBack({0, 500.0}, 1280.0);
    EXPECT_EQ(wrapped.segmentIndex, 7);
    double turnArc = 2.0 * 4096.0 * std::asin(1280.0 / 8192.0);
    EXPECT_EQ(wrapped.offset, 6433.98193359375 - turnArc * (1.0 - 500.0 / 1280.0));
    EXPECT_NEAR(wrapped.offset, 5650.77, 0.01);
}

TEST_F(SceneTrack, RailJointsClackOnlyWhenMovingForwardOverOne) {
    EXPECT_TRUE(track.crossesRailJoint(at(3199.0), at(3201.0)));
    EXPECT_FALSE(track.crossesRailJoint(at(3201.0), at(6399.0)));
    EXPECT_FALSE(track.crossesRailJoint(at(3201.0), at(3199.0)));
    EXPECT_FALSE(track.crossesRailJoint(at(42000.0), at(100.0)));
    EXPECT_FALSE(track.crossesRailJoint(at(3200.0), at(3200.5)));
    // The last joint before the loop's end, on the last segment.
    EXPECT_TRUE(track.crossesRailJoint(at(41599.0), at(41601.0)));
    // Joints are counted along the loop, not within a segment.
    EXPECT_FALSE(track.crossesRailJoint({0, 4000.0}, {1, 10.0}));
    EXPECT_TRUE(track.crossesRailJoint({1, 2000.0}, {1, 2500.0}));
}

TEST(Track, WithoutRailLengthNothingClacks) {
    TrackSegmentType straight = segmentType(TrackSegmentKind::Straight, 4096.0, 0.0);
    Track loop;
    loop.appendSegment(&straight);
    loop.appendSegment(&straight);
    EXPECT_FALSE(loop.crossesRailJoint({0, 0.0}, {1, 4000.0}));
}

TEST(Track, DestroyingATrackFreesEverySegment) {
    TrackSegmentType straight = segmentType(TrackSegmentKind::Straight, 100.0, 0.0);
    auto buildAndDestroy = [&straight] {
        Track line;
        for (int i = 0; i < trackSegmentCapacity; ++i)
            line.appendSegment(&straight);
    };
    // The first round leaves the allocator's caches as the second finds them and, when every
    // segment is freed again, leaves them too.
    buildAndDestroy();
    size_t before = mallinfo2().uordblks;
    buildAndDestroy();
    EXPECT_EQ(mallinfo2().uordblks, before);
}

TEST(Track, AppendStopsAtTwentySegments) {
    TrackSegmentType straight = segmentType(TrackSegmentKind::Straight, 100.0, 0.0);
    Track line;
    for (int i = 0; i < 25; ++i) {
        line.appendSegment(&straight);
    }
    EXPECT_EQ(line.segmentCount, 20);
    EXPECT_EQ(line.totalLength, 2000.0);
    EXPECT_FALSE(line.closed);
    EXPECT_EQ(line.segments[19]->startDistance, 1900.0);
    EXPECT_EQ(line.segments[19]->endX, 2000.0);
}

TEST(Track, AppendsToAClosedLoopAreIgnored) {
    // A segment of length 0 ends where it starts, so the second one closes the loop exactly.
    TrackSegmentType point = segmentType(TrackSegmentKind::Straight, 0.0, 0.0);
    TrackSegmentType straight = segmentType(TrackSegmentKind::Straight, 100.0, 0.0);
    Track loop;
    loop.appendSegment(&point);
    EXPECT_FALSE(loop.closed); // the first segment is not tested
    loop.appendSegment(&point);
    EXPECT_TRUE(loop.closed);
    loop.appendSegment(&straight);
    EXPECT_EQ(loop.segmentCount, 2);
    EXPECT_EQ(loop.totalLength, 0.0);
    EXPECT_EQ(loop.segments[2], nullptr);

    // Back at the start point but turned: not closed, and appending goes on.
    TrackSegmentType pointTurn = segmentType(TrackSegmentKind::RightTurn, 0.0, 0.0);
    Track turned;
    turned.appendSegment(&point);
    turned.appendSegment(&pointTurn);
    EXPECT_EQ(turned.segments[1]->endX, 0.0);
    EXPECT_EQ(turned.segments[1]->endZ, 0.0);
    EXPECT_EQ(turned.segments[1]->endHeading, -trackHalfPi);
    EXPECT_FALSE(turned.closed);
    turned.appendSegment(&straight);
    ASSERT_EQ(turned.segmentCount, 3);
    EXPECT_EQ(turned.totalLength, 100.0);
    EXPECT_EQ(turned.segments[2]->startDistance, 0.0);
    EXPECT_EQ(turned.segments[2]->heading, -trackHalfPi);
    // Out and back again along the same line closes it too.
    TrackSegmentType back = segmentType(TrackSegmentKind::Straight, -100.0, 0.0);
    Track line;
    line.appendSegment(&straight);
    line.appendSegment(&back);
    EXPECT_TRUE(line.closed);
    line.appendSegment(&straight);
    EXPECT_EQ(line.segmentCount, 2);
}

TEST(Track, TurnsEndWherePointAtPutsTheirLastPoint) {
    // Kind 7 is no known kind and turns right like RightTurn.
    const TrackSegmentKind kinds[] = {TrackSegmentKind::LeftTurn, TrackSegmentKind::RightTurn,
                                      static_cast<TrackSegmentKind>(7)};
    const double expectedHeading[] = {0.3 + trackHalfPi, 0.3 - trackHalfPi, 0.3 - trackHalfPi};
    for (int k = 0; k < 3; ++k) {
        TrackSegmentType turn = segmentType(kinds[k], 1000.0 * trackHalfPi, 1000.0);
        TrackSegment segment(&turn, 50.0, -20.0, 0.3, 0.0);
        TrackPoint start = segment.pointAt(0.0);
        EXPECT_NEAR(start.x, 50.0, 1e-9) << k;
        EXPECT_NEAR(start.z, -20.0, 1e-9) << k;
        TrackPoint end = segment.pointAt(turn.length);
        EXPECT_NEAR(end.x, segment.endX, 1e-3) << k;
        EXPECT_NEAR(end.z, segment.endZ, 1e-3) << k;
        EXPECT_NEAR(segment.endHeading, expectedHeading[k], 1e-12) << k;
        EXPECT_NEAR(segment.headingAt(turn.length), expectedHeading[k], 1e-12) << k;
        // Every point of the quarter circle lies on it: the radius from its centre.
        double side = kinds[k] == TrackSegmentKind::LeftTurn ? 1.0 : -1.0;
        double centreX = 50.0 + 1000.0 * std::cos(0.3 + side * trackHalfPi);
        double centreZ = -20.0 + 1000.0 * std::sin(0.3 + side * trackHalfPi);
        TrackPoint middle = segment.pointAt(turn.length * 0.5);
        EXPECT_NEAR(std::hypot(middle.x - centreX, middle.z - centreZ), 1000.0, 1e-3) << k;
    }
}

TEST(Track, StraightsRunAlongTheirHeading) {
    TrackSegmentType straight = segmentType(TrackSegmentKind::Straight, 100.0, 0.0);
    TrackSegment segment(&straight, 10.0, 20.0, 0.5, 0.0);
    EXPECT_EQ(segment.endX, 10.0 + std::cos(0.5) * 100.0);
    EXPECT_EQ(segment.endZ, 20.0 + std::sin(0.5) * 100.0);
    EXPECT_EQ(segment.endHeading, 0.5);
    TrackPoint middle = segment.pointAt(40.0);
    EXPECT_EQ(middle.x, 10.0 + 40.0 * std::cos(0.5));
    EXPECT_EQ(middle.z, 20.0 + 40.0 * std::sin(0.5));
    EXPECT_EQ(segment.headingAt(40.0), 0.5);
}

TEST(Track, TurnEndHeadingsAreReduced) {
    TrackSegmentType left = segmentType(TrackSegmentKind::LeftTurn, 1000.0 * trackHalfPi, 1000.0);
    TrackSegmentType right = segmentType(TrackSegmentKind::RightTurn, 1000.0 * trackHalfPi, 1000.0);
    TrackSegment leftFromSix(&left, 0.0, 0.0, 6.0, 0.0);
    EXPECT_EQ(leftFromSix.endHeading, (6.0 + trackHalfPi) - 6.2831854820251465);
    TrackSegment rightFromMinusTwo(&right, 0.0, 0.0, -2.0, 0.0);
    EXPECT_EQ(rightFromMinusTwo.endHeading, (-2.0 - trackHalfPi) + 6.2831854820251465);
    // The heading within the segment is not reduced.
    EXPECT_EQ(rightFromMinusTwo.headingAt(right.length), -2.0 - right.length / 1000.0);
}

TEST(WrapAngle, ReducesOnlyOutsideTheHalfOpenRange) {
    struct Case {
        double angle;
        double expected;
    };
    const Case cases[] = {
        {1.5707963705062866 + 1.5707963705062866, 3.1415927410125732},
        {-3.1415927410125732, 3.1415927410125732},
        {4.712, 4.712},
        {7.0, 7.0 - 6.2831854820251465},
        {-1.0, -1.0},
        {0.0, 0.0},
        {-7.0, -7.0 + 2.0 * 6.2831854820251465},
    };
    for (const Case& c : cases) {
        double angle = c.angle;
        wrapAngle(angle);
        EXPECT_EQ(angle, c.expected) << c.angle;
    }
}
