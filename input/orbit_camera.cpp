// orbit_camera.cpp: mouse steering, car selection and the per-frame view, projection and sound
// listener.
#include "input/orbit_camera.h"

#include <cmath>
#include <cstdint>
#include <d3dx9.h>

#include "app/application_state.h"
#include "sim/track.h"
#include "sim/train.h"

namespace {

constexpr double mouseAngleStep = 0.0031415927223861217;
constexpr double maximumPitch = 1.5533430775006611;
constexpr double minimumDistance = 1000.0;
constexpr double maximumDistance = 10000.0;
constexpr double followHeight = 400.0;
constexpr float aspectRatio = 1.3333334f;
constexpr float nearPlane = 1.0f;
constexpr float farPlane = 100000.0f;
constexpr double listenerScale = 0.00048828125; // world units to sound units

} // namespace

void OrbitCamera::applyMouse(LONG dx, LONG dy, LONG dz) {
    yaw += dx * mouseAngleStep;
    wrapAngle(yaw);

    pitch += dy * mouseAngleStep;
    if (pitch > maximumPitch) {
        pitch = maximumPitch;
    } else if (pitch < 0.0) {
        pitch = 0.0;
    }

    // Formed in 64 bits so that no wheel count can overflow the product.
    distance += static_cast<double>(-2 * static_cast<int64_t>(dz));
    if (distance > maximumDistance) {
        distance = maximumDistance;
    } else if (distance < minimumDistance) {
        distance = minimumDistance;
    }
}

void OrbitCamera::selectNextCar() {
    if (followSelectedCar && selectedCar < train.carCount - 1) {
        ++selectedCar;
    }
}

void OrbitCamera::selectPreviousCar() {
    if (followSelectedCar && selectedCar > 0) {
        --selectedCar;
    }
}

CameraEye cameraEye(const OrbitCamera& camera) {
    double across = std::cos(camera.pitch) * camera.distance;
    return {std::cos(camera.yaw) * across + camera.targetX,
            std::sin(camera.pitch) * camera.distance + camera.targetY,
            std::sin(camera.yaw) * across + camera.targetZ};
}

void OrbitCamera::updateView() {
    // The target is the midpoint between the selected car's bogie centres, at a fixed height.
    if (followSelectedCar && selectedCar >= 0 && selectedCar < train.carCount) {
        const Car& car = *train.cars[selectedCar];
        double halfSpacing = car.carType->bogieSpacing * 0.5;
        targetX = car.x + std::cos(car.heading + trackPi) * halfSpacing;
        targetZ = car.z + std::sin(car.heading + trackPi) * halfSpacing;
        targetY = followHeight;
    }
    CameraEye eye = cameraEye(*this);

    if (IDirect3DDevice9* device = appState.graphicsDevice) {
        D3DXVECTOR3 eyeVector(static_cast<float>(eye.x), static_cast<float>(eye.y),
                              static_cast<float>(eye.z));
        D3DXVECTOR3 targetVector(static_cast<float>(targetX), static_cast<float>(targetY),
                                 static_cast<float>(targetZ));
        D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
        D3DXMATRIX view;
        D3DXMatrixLookAtLH(&view, &eyeVector, &targetVector, &up);
        device->SetTransform(D3DTS_VIEW, &view);

        D3DXMATRIX projection;
        D3DXMatrixPerspectiveFovLH(&projection, static_cast<float>(fieldOfView), aspectRatio,
                                   nearPlane, farPlane);
        device->SetTransform(D3DTS_PROJECTION, &projection);
    }
    // The sound listener rides with the eye, facing the target; applied at the frame's commit.
    if (IDirectSound3DListener8* listener = appState.listener) {
        listener->SetPosition(static_cast<float>(eye.x * listenerScale),
                              static_cast<float>(eye.y * listenerScale),
                              static_cast<float>(eye.z * listenerScale), DS3D_DEFERRED);
        listener->SetOrientation(
            static_cast<float>(targetX - eye.x), static_cast<float>(targetY - eye.y),
            static_cast<float>(targetZ - eye.z), 0.0f, 1.0f, 0.0f, DS3D_DEFERRED);
    }
}
