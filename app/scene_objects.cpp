// scene_objects.cpp: the scene objects in static storage, in their construction order, the
// construction of the rolling-stock types during the scene load and the release of the scene's
// meshes and textures at shutdown.
#include "app/scene_objects.h"

TrackSegmentType straightType;
TrackSegmentType leftTurnType;
Track track;
BogieType truckType;
CarType goodsCarType;
CarType tankCarType;
CarType passengerCarType;
Train train;
OrbitCamera camera;
TextureCache textureCache;

void buildRollingStockTypes() {
    truckType = BogieType(240.0, "CarTruck.X");
    goodsCarType = CarType(1280.0, 321.0, "GoodsCar.X", &truckType);
    tankCarType = CarType(1024.0, 257.0, "Cistern.X", &truckType);
    passengerCarType = CarType(2432.0, 384.0, "PseudoPassengerCar.X", &truckType);
}

void releaseSceneModels() {
    passengerCarType.release();
    tankCarType.release();
    goodsCarType.release();
    truckType.release();
    leftTurnType.release();
    straightType.release();
    textureCache.release();
}
