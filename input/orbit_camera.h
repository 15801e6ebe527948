// orbit_camera.h: the camera that orbits the selected car, steered by the mouse, and sets the view
// and projection transforms each frame.
#pragma once

#include <windows.h>

struct OrbitCamera {
    bool followSelectedCar = false;
    INT selectedCar = 0;
    double targetX = 0.0;
    double targetZ = 0.0;
    double targetY = 0.0;
    double yaw = 0.7853981852531433;
    double pitch = 0.7853981852531433;
    double distance = 4096.0;
    double fieldOfView = 0.7853981852531433;

    // Turns (dx), tilts (dy) and zooms (dz, wheel counts) the eye around the target.
    void applyMouse(LONG dx, LONG dy, LONG dz);
    void selectNextCar();
    void selectPreviousCar();
    // Follows the selected car and sets the view and projection transforms.
    void updateView();
};

// Eye position of the camera, in world units.
struct CameraEye {
    double x;
    double y;
    double z;
};

// Where the eye of camera lies on its sphere around the target.
CameraEye cameraEye(const OrbitCamera& camera);

// The scene's camera (app/scene_objects.cpp).
extern OrbitCamera camera;
