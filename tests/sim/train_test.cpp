// The scene train: consists, placement on the oval and motion in time.
#include <gtest/gtest.h>

#include <cmath>
#include <malloc.h>
#include <mmsystem.h>

#include "app/application_state.h"
#include "support/scene_setup.h"

namespace {

class SceneTrain : public ::testing::Test {
protected:
    void SetUp() override {
        ensureSceneTypes();
        train.clear();
        appState.passengerTrain = false;
    }
    void TearDown() override {
        train.clear();
        appState.passengerTrain = false;
    }

    // The freight train at distance, running at speed towards targetSpeed, clock at 0 ms.
    void runFreight(double distance, double speed, double targetSpeed) {
        buildConsist();
        train.place(distance, false);
        train.speed = speed;
        train.targetSpeed = targetSpeed;
        train.resetClockAt(0);
    }
};

double distanceOf(TrackPosition position) {
    return position.offset + track.segments[position.segmentIndex]->startDistance;
}

} // namespace

TEST(Train, StartsEmptyAndAtRestWithItsClockAtNow) {
    DWORD before = timeGetTime();
    Train fresh;
    DWORD after = timeGetTime();
    EXPECT_EQ(fresh.carCount, 0);
    for (Car* car : fresh.cars)
        EXPECT_EQ(car, nullptr);
    EXPECT_EQ(fresh.position, 0.0);
    EXPECT_EQ(fresh.speed, 0.0);
    EXPECT_EQ(fresh.targetSpeed, 0.0);
    EXPECT_GE(fresh.clock, timerSeconds(before));
    EXPECT_LE(fresh.clock, timerSeconds(after));
}

TEST_F(SceneTrain, DestroyingATrainFreesItsCars) {
    auto buildAndDestroy = [] {
        Train local;
        for (int i = 0; i < 3; ++i)
            local.addCar(&goodsCarType);
    };
    // The first round leaves the allocator's caches as the second finds them and, when every
    // car is freed again, leaves them too.
    buildAndDestroy();
    size_t before = mallinfo2().uordblks;
    buildAndDestroy();
    EXPECT_EQ(mallinfo2().uordblks, before);
}

TEST_F(SceneTrain, ConsistsHaveTheirCarsInOrder) {
    buildConsist();
    CarType* const freight[] = {&goodsCarType, &goodsCarType, &goodsCarType, &tankCarType,
                                &tankCarType,  &tankCarType,  &tankCarType,  &goodsCarType,
                                &goodsCarType, &tankCarType};
    ASSERT_EQ(train.carCount, 10);
    for (int k = 0; k < 10; ++k) {
        // A new car and its bogies stand at the origin until the train is placed.
        const PlacedObject* objects[] = {train.cars[k], train.cars[k]->frontBogie,
                                         train.cars[k]->rearBogie};
        for (const PlacedObject* object : objects) {
            EXPECT_EQ(object->x, 0.0) << k;
            EXPECT_EQ(object->z, 0.0) << k;
            EXPECT_EQ(object->heading, 0.0) << k;
        }
        EXPECT_EQ(train.cars[k]->carType, freight[k]) << k;
        EXPECT_EQ(train.cars[k]->frontBogie->bogieType, &truckType) << k;
        EXPECT_EQ(train.cars[k]->rearBogie->model, &truckType) << k;
    }
    train.addCar(&goodsCarType);
    EXPECT_EQ(train.carCount, 10);

    train.clear();
    EXPECT_EQ(train.carCount, 0);
    for (Car* car : train.cars)
        EXPECT_EQ(car, nullptr);
    train.clear();
    EXPECT_EQ(train.carCount, 0);

    appState.passengerTrain = true;
    buildConsist();
    ASSERT_EQ(train.carCount, 4);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(train.cars[k]->carType, &passengerCarType) << k;
    }
}

TEST_F(SceneTrain, PassengerTrainAtEightThousandSpansTheLoopStart) {
    appState.passengerTrain = true;
    buildConsist();
    train.place(8000.0, false);
    EXPECT_EQ(train.position, 8000.0);
    const double frontX[] = {8000.0, 4800.0, 1600.0};
    for (int k = 0; k < 3; ++k) {
        const Bogie& front = *train.cars[k]->frontBogie;
        EXPECT_EQ(front.x, frontX[k]) << k;
        EXPECT_EQ(front.z, 0.0) << k;
    }
    for (int k = 0; k < 2; ++k) {
        const Car& car = *train.cars[k];
        EXPECT_EQ(car.x - car.rearBogie->x, 2432.0) << k;
        EXPECT_EQ(car.heading, 0.0) << k;
    }
    TrackPosition rear = train.cars[2]->rearBogie->trackPosition;
    EXPECT_EQ(rear.segmentIndex, 7);
    EXPECT_NEAR(rear.offset, 5589.25, 0.01);
    TrackPosition nextFront = train.cars[3]->frontBogie->trackPosition;
    EXPECT_EQ(nextFront.segmentIndex, 7);
    EXPECT_EQ(nextFront.offset, rear.offset - 768.0);
}

TEST_F(SceneTrain, FreightTrainAtFiveHundredBendsIntoTheLastTurn) {
    buildConsist();
    train.place(500.0, false);
    const Car& car = *train.cars[0];
    EXPECT_EQ(car.frontBogie->x, 500.0);
    EXPECT_EQ(car.frontBogie->z, 0.0);
    EXPECT_EQ(car.frontBogie->heading, 0.0);
    EXPECT_EQ(car.x, 500.0);
    EXPECT_EQ(car.trackPosition.segmentIndex, 0);

    const Bogie& rear = *car.rearBogie;
    EXPECT_EQ(rear.trackPosition.segmentIndex, 7);
    EXPECT_NEAR(rear.trackPosition.offset, 5650.77, 0.01);
    EXPECT_EQ(rear.trackPosition.offset, 6433.98193359375 - 2.0 * 4096.0 *
                                                                std::asin(1280.0 / 8192.0) *
                                                                (1.0 - 500.0 / 1280.0));
    EXPECT_NEAR(rear.x, -778.44, 0.01);
    EXPECT_NEAR(rear.z, 74.65, 0.01);
    EXPECT_NEAR(rear.heading, 6.092, 0.001);
    EXPECT_NEAR(car.heading, -0.0583, 0.0001);
    EXPECT_NEAR(std::hypot(car.x - rear.x, car.z - rear.z), 1280.62, 0.01);

    TrackPosition nextFront = train.cars[1]->frontBogie->trackPosition;
    EXPECT_EQ(nextFront.segmentIndex, 7);
    EXPECT_EQ(nextFront.offset, rear.trackPosition.offset - 321.0 - 321.0);
}

TEST_F(SceneTrain, PlaceKeepsTheGivenDistanceExactly) {
    buildConsist();
    const double distances[] = {0.0, 123.456789, 14625.98193359375, 42119.9};
    for (double distance : distances) {
        train.place(distance, false);
        EXPECT_EQ(train.position, distance);
        EXPECT_NEAR(distanceOf(train.cars[0]->trackPosition), distance, 1e-9);
    }
    // A distance off the loop moves nothing.
    train.place(track.totalLength, false);
    EXPECT_EQ(train.position, 42119.9);
    train.place(-1.0, false);
    EXPECT_EQ(train.position, 42119.9);
}

TEST_F(SceneTrain, CarsFollowEachOtherAtTheirCouplingLengths) {
    buildConsist();
    train.place(25000.0, false);
    // Goods to goods on a straight: spacing plus two setbacks along the track.
    double gap =
        distanceOf(train.cars[0]->trackPosition) - distanceOf(train.cars[1]->trackPosition);
    EXPECT_EQ(gap, 1922.0);
    for (int k = 0; k < train.carCount; ++k) {
        const Car& car = *train.cars[k];
        double spacing = car.carType->bogieSpacing;
        // Bogies and the body's direction agree on every car, on straights and turns.
        EXPECT_NEAR(car.rearBogie->x + std::cos(car.heading) * spacing, car.x, 1.0) << k;
        EXPECT_NEAR(car.rearBogie->z + std::sin(car.heading) * spacing, car.z, 1.0) << k;
    }
}

TEST_F(SceneTrain, CouplingGapsTakeEachCarsOwnSetback) {
    // Pairs lying wholly on the straights 4 and 5: goods-goods, goods-tank, tank-tank,
    // tank-goods. Along the track the gap is the leading car's spacing plus the leading
    // car's setback behind it and the following car's setback ahead of it.
    struct Pair {
        double distance;
        int car;
        double gap;
    };
    const Pair pairs[] = {
        {29000.0, 0, 1280.0 + 321.0 + 321.0}, {29000.0, 1, 1922.0},
        {29000.0, 2, 1280.0 + 321.0 + 257.0}, {29000.0, 3, 1024.0 + 257.0 + 257.0},
        {34000.0, 6, 1024.0 + 257.0 + 321.0}, {38000.0, 8, 1858.0}};
    buildConsist();
    for (const Pair& pair : pairs) {
        train.place(pair.distance, false);
        const Car& front = *train.cars[pair.car];
        const Car& rear = *train.cars[pair.car + 1];
        EXPECT_EQ(distanceOf(front.trackPosition) - distanceOf(rear.trackPosition), pair.gap)
            << pair.car;
        // The leading car stands on the straight, its rear bogie one spacing behind.
        EXPECT_EQ(distanceOf(front.trackPosition) - distanceOf(front.rearBogie->trackPosition),
                  front.carType->bogieSpacing)
            << pair.car;
        EXPECT_GE(distanceOf(rear.trackPosition), 21059.9638671875) << pair.car;
    }
}

TEST_F(SceneTrain, SpeedMovesTowardsTheTargetAtOneHundredPerSecond) {
    const double halfSecond = 500 * 0.0010000000474974513;
    runFreight(500.0, trainStartSpeed, trainStartTargetSpeed);
    train.updateAt(500);
    // The step uses the speed from before the change.
    EXPECT_EQ(train.position, 500.0 + halfSecond * trainStartSpeed);
    EXPECT_EQ(train.speed, trainStartSpeed + 100.0 * halfSecond);
    EXPECT_EQ(train.clock, timerSeconds(500));

    // Braking takes off the same rate, down to the target and no further.
    runFreight(500.0, 2000.0, 1000.0);
    train.updateAt(500);
    EXPECT_EQ(train.speed, 2000.0 - 100.0 * halfSecond);
    EXPECT_EQ(train.position, 500.0 + halfSecond * 2000.0);
    runFreight(500.0, 1000.0, 980.0);
    train.updateAt(500);
    EXPECT_EQ(train.speed, 980.0);
    runFreight(500.0, 1000.0, 1030.0);
    train.updateAt(500);
    EXPECT_EQ(train.speed, 1030.0);

    // Two steps in the same millisecond change nothing.
    double position = train.position;
    double speed = train.speed;
    train.updateAt(500);
    EXPECT_EQ(train.position, position);
    EXPECT_EQ(train.speed, speed);

    runFreight(500.0, 50.0, 0.0);
    train.updateAt(1000);
    EXPECT_EQ(train.speed, 0.0);
    EXPECT_EQ(train.position, 500.0 + timerSeconds(1000) * 50.0);

    // A target below 0 still stops at 0.
    runFreight(500.0, 50.0, -100.0);
    train.updateAt(1000);
    EXPECT_EQ(train.speed, 0.0);

    runFreight(500.0, 3500.0, trainMaximumSpeed);
    train.updateAt(1000);
    EXPECT_EQ(train.speed, trainMaximumSpeed);

    // A target above the maximum still stops at the maximum.
    runFreight(500.0, 3500.0, 5000.0);
    train.updateAt(1000);
    EXPECT_EQ(train.speed, trainMaximumSpeed);

    runFreight(500.0, 2000.0, 2000.0);
    train.updateAt(1000);
    EXPECT_EQ(train.speed, 2000.0);
}

TEST_F(SceneTrain, PositionWrapsAtTheEndOfTheLoop) {
    // A speed whose step lands exactly on the loop's length from this start.
    const double dt = timerSeconds(1000);
    const double speed = 1024.0;
    const double start = track.totalLength - dt * speed;
    ASSERT_EQ(start + dt * speed, track.totalLength);
    runFreight(start, speed, speed);
    train.updateAt(1000);
    EXPECT_EQ(train.position, 0.0);
    EXPECT_EQ(train.cars[0]->trackPosition.segmentIndex, 0);
    EXPECT_EQ(train.cars[0]->trackPosition.offset, 0.0);

    runFreight(start - 0.001, speed, speed);
    train.updateAt(1000);
    EXPECT_EQ(train.position, (start - 0.001) + dt * speed);
    EXPECT_LT(train.position, track.totalLength);
}

TEST_F(SceneTrain, TimerWrapAndLongPausesKeepTheTrainOnTheLoop) {
    runFreight(500.0, 1000.0, 1000.0);
    train.resetClockAt(0xFFFFFF00u);
    train.updateAt(0x100u);
    // 512 ms passed across the wrap.
    EXPECT_NEAR(train.position, 500.0 + 512.0 * 0.0010000000474974513 * 1000.0, 1e-3);

    // Nearly nine laps in one step.
    runFreight(500.0, trainMaximumSpeed, trainMaximumSpeed);
    train.updateAt(100000);
    double travelled = 500.0 + timerSeconds(100000) * trainMaximumSpeed;
    EXPECT_GE(train.position, 0.0);
    EXPECT_LT(train.position, track.totalLength);
    EXPECT_NEAR(train.position, std::fmod(travelled, track.totalLength), 1e-6);
    EXPECT_NEAR(distanceOf(train.cars[0]->trackPosition), train.position, 1e-6);
}

TEST_F(SceneTrain, ToggleRebuildsTheOtherTrainWhereTheOldOneStood) {
    runFreight(12345.0, 1500.0, 2000.0);
    DWORD before = timeGetTime();
    toggleTrainType();
    EXPECT_TRUE(appState.passengerTrain);
    ASSERT_EQ(train.carCount, 4);
    EXPECT_EQ(train.position, 12345.0);
    EXPECT_NEAR(distanceOf(train.cars[0]->trackPosition), 12345.0, 1e-9);
    EXPECT_EQ(train.speed, 1500.0);
    EXPECT_EQ(train.targetSpeed, 2000.0);
    // The clock restarted at the switch, so rebuilding time is not travelled.
    EXPECT_GE(train.clock, timerSeconds(before));

    toggleTrainType();
    EXPECT_FALSE(appState.passengerTrain);
    EXPECT_EQ(train.carCount, 10);
    EXPECT_EQ(train.position, 12345.0);
}
