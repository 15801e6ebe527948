// train.cpp: the scene train's consist, placement and motion.
#include "sim/train.h"

#include <cmath>
#include <new>
#include <mmsystem.h>

#include "app/application_state.h"
#include "graphics/hud.h"

namespace {

constexpr double secondsPerMillisecond = 0.0010000000474974513;
// The timer counts milliseconds in 32 bits and then starts again from 0.
constexpr double timerPeriodSeconds = 4294967296.0 * secondsPerMillisecond;

} // namespace

double timerSeconds(DWORD milliseconds) {
    return milliseconds * secondsPerMillisecond;
}

Train::Train() : clock(timerSeconds(timeGetTime())) {}

Train::~Train() {
    clear();
}

void Train::addCar(CarType* carType) {
    if (carCount >= trainCarCapacity) {
        return;
    }
    Car* car = new (std::nothrow) Car(carType);
    if (car == nullptr) {
        return;
    }
    if (!car->complete()) {
        delete car;
        return;
    }
    cars[carCount] = car;
    ++carCount;
}

void Train::clear() {
    while (carCount > 0) {
        --carCount;
        delete cars[carCount];
        cars[carCount] = nullptr;
    }
}

void Train::place(double distance, bool clacks) {
    TrackPosition position;
    if (!track.locate(distance, position)) {
        return;
    }
    TrackPosition coupling;
    for (INT k = 0; k < carCount; ++k) {
        Car& car = *cars[k];
        if (k > 0) {
            position = track.advance(coupling, -car.carType->bogieSetback);
        }
        car.place(position, clacks);
        coupling = track.advance(car.rearBogie->trackPosition, -car.carType->bogieSetback);
    }
    this->position = distance;
}

void Train::draw() const {
    for (INT k = 0; k < carCount; ++k) {
        drawPlacedObject(*cars[k]->frontBogie);
        drawPlacedObject(*cars[k]->rearBogie);
        drawPlacedObject(*cars[k]);
    }
}

void Train::resetClock() {
    resetClockAt(timeGetTime());
}

void Train::resetClockAt(DWORD nowMilliseconds) {
    clock = timerSeconds(nowMilliseconds);
}

void Train::update() {
    updateAt(timeGetTime());
}

void Train::updateAt(DWORD nowMilliseconds) {
    double now = timerSeconds(nowMilliseconds);
    double dt = now - clock;
    // Across the timer's wrap the elapsed time is the unsigned 32-bit difference.
    if (dt < 0.0) {
        dt += timerPeriodSeconds;
    }

    double next = position + dt * speed;
    if (speed > targetSpeed) {
        speed -= trainAcceleration * dt;
        if (speed < targetSpeed) {
            speed = targetSpeed;
        }
        if (speed < 0.0) {
            speed = 0.0;
        }
    } else if (speed < targetSpeed) {
        speed += trainAcceleration * dt;
        if (speed > targetSpeed) {
            speed = targetSpeed;
        }
        if (speed > trainMaximumSpeed) {
            speed = trainMaximumSpeed;
        }
    }

    // A step of a lap or more (a long pause) still ends on the loop.
    if (next >= track.totalLength && track.totalLength > 0.0) {
        next = std::fmod(next, track.totalLength);
    }
    place(next, true);
    clock = now;
}

void buildConsist() {
    if (appState.passengerTrain) {
        for (int k = 0; k < 4; ++k) {
            train.addCar(&passengerCarType);
        }
        if (trainTypeItem)
            trainTypeItem->setValue("Passenger train");
    } else {
        CarType* const freight[] = {&goodsCarType, &goodsCarType, &goodsCarType, &tankCarType,
                                    &tankCarType,  &tankCarType,  &tankCarType,  &goodsCarType,
                                    &goodsCarType, &tankCarType};
        for (CarType* carType : freight) {
            train.addCar(carType);
        }
        if (trainTypeItem)
            trainTypeItem->setValue("Freight train");
    }
}

void toggleTrainType() {
    train.clear();
    appState.passengerTrain = !appState.passengerTrain;
    buildConsist();
    train.place(train.position, false);
    train.resetClock();
}
