// rolling_stock.h: the bogie and car types, and the placed bogies and cars that ride on the track.
// The bogie's sound operations are defined with the sound emitters in audio/.
#pragma once

#include <dsound.h>

#include "graphics/mesh_model.h"
#include "graphics/placed_object.h"
#include "sim/track.h"

struct SoundEmitter;

struct BogieType : MeshModel {
    double wheelbase = 0.0;

    BogieType() = default;
    BogieType(double wheelbase, const char* meshFile);
};

struct CarType : MeshModel {
    BogieType* bogieType = nullptr;
    double bogieSpacing = 0.0;
    double bogieSetback = 0.0;

    CarType() = default;
    CarType(double bogieSpacing, double bogieSetback, const char* meshFile, BogieType* bogieType);
};

struct Bogie : PlacedObject {
    IDirectSoundBuffer* runningBuffer = nullptr;
    IDirectSound3DBuffer8* running3D = nullptr;
    BogieType* bogieType;
    TrackPosition trackPosition;
    SoundEmitter* leadingAxle = nullptr;
    SoundEmitter* trailingAxle = nullptr;

    explicit Bogie(BogieType* type);
    Bogie(const Bogie&) = delete;
    Bogie& operator=(const Bogie&) = delete;
    ~Bogie();

    // Puts the bogie centre at position; clacks lets its axles clack at rail joints.
    void place(TrackPosition position, bool clacks);

    void createSound();
    void updateSound(bool clacks);
    void updateRunningVolume();
    void releaseSound();
};

struct Car : PlacedObject {
    CarType* carType;
    Bogie* frontBogie;
    Bogie* rearBogie;
    TrackPosition trackPosition;

    explicit Car(CarType* type);
    Car(const Car&) = delete;
    Car& operator=(const Car&) = delete;
    ~Car();

    // Whether both bogies could be allocated; only a complete car can be placed.
    bool complete() const;

    // Puts the front bogie at position, the rear bogie one bogie spacing (a chord) behind
    // it, and aims the body from the rear bogie to the front bogie.
    void place(TrackPosition position, bool clacks);
};

// The scene's rolling-stock types (app/scene_objects.cpp).
extern BogieType truckType;
extern CarType goodsCarType;
extern CarType tankCarType;
extern CarType passengerCarType;
