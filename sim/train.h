// train.h: the one train of the program: its consist of cars, its placement on the track from one
// distance along the loop, and its motion in real time.
#pragma once

#include <windows.h>

#include "sim/rolling_stock.h"

constexpr int trainCarCapacity = 10;

// Speeds in units per second (128 units to the metre).
constexpr double trainAcceleration = 100.0;
constexpr double trainMaximumSpeed = 3555.5557250976562;
constexpr double trainStartSpeed = 711.1111450195312;
constexpr double trainStartTargetSpeed = 2133.3334350585938;
constexpr double trainStartPosition = 500.0;

// Seconds of a multimedia timer reading in milliseconds.
double timerSeconds(DWORD milliseconds);

struct Train {
    double clock;
    Car* cars[trainCarCapacity] = {};
    INT carCount = 0;
    double position = 0.0;
    double speed = 0.0;
    double targetSpeed = 0.0;

    Train();
    Train(const Train&) = delete;
    Train& operator=(const Train&) = delete;
    ~Train();

    // Appends a car of the given type; refused when the train is full.
    void addCar(CarType* carType);
    // Destroys every car, from the last to the first.
    void clear();
    // Places car 0's front bogie at distance along the loop and every car behind it.
    void place(double distance, bool clacks);
    void draw() const;

    // Starts the motion clock at the timer's current reading.
    void resetClock();
    void resetClockAt(DWORD nowMilliseconds);
    // One motion step up to the timer's current reading.
    void update();
    void updateAt(DWORD nowMilliseconds);
};

// Fills the empty scene train with the consist that appState.passengerTrain selects.
void buildConsist();
// Switches between the freight and the passenger train at the scene train's position.
void toggleTrainType();

// The scene's train (app/scene_objects.cpp).
extern Train train;
