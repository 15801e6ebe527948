// The orbit camera: its bounds, the car selection and the target it follows.
#include <gtest/gtest.h>

#include <cmath>

#include "app/application_state.h"
#include "audio/sound_device.h"
#include "support/app_device_fixture.h"
#include "support/scene_setup.h"
#include "support/hidden_window.h"

namespace {

constexpr double maximumPitch = 1.5533430775006611;

class CameraOnTrain : public ::testing::Test {
protected:
    void SetUp() override {
        ensureSceneTypes();
        train.clear();
        appState.passengerTrain = false;
        buildConsist();
        train.place(500.0, false);
    }
    void TearDown() override { train.clear(); }

    OrbitCamera following() {
        OrbitCamera camera;
        camera.followSelectedCar = true;
        return camera;
    }
};

} // namespace

TEST(OrbitCamera, StartsLookingAtTheOriginFromAnEighthTurn) {
    OrbitCamera camera;
    EXPECT_FALSE(camera.followSelectedCar);
    EXPECT_EQ(camera.selectedCar, 0);
    EXPECT_EQ(camera.targetX, 0.0);
    EXPECT_EQ(camera.targetZ, 0.0);
    EXPECT_EQ(camera.targetY, 0.0);
    EXPECT_EQ(camera.yaw, 0.7853981852531433);
    EXPECT_EQ(camera.pitch, 0.7853981852531433);
    EXPECT_EQ(camera.distance, 4096.0);
    EXPECT_EQ(camera.fieldOfView, 0.7853981852531433);
}

TEST(OrbitCamera, MouseKeepsPitchDistanceAndYawInBounds) {
    OrbitCamera camera;
    camera.applyMouse(0, 100000, 0);
    EXPECT_EQ(camera.pitch, maximumPitch);
    camera.applyMouse(0, -100000, 0);
    EXPECT_EQ(camera.pitch, 0.0);
    camera.applyMouse(0, 10, 0);
    EXPECT_NEAR(camera.pitch, 10 * 0.0031415927223861217, 1e-15);

    camera.distance = 3000.0;
    camera.applyMouse(0, 0, 120);
    EXPECT_EQ(camera.distance, 2760.0);
    camera.applyMouse(0, 0, 1200000);
    EXPECT_EQ(camera.distance, 1000.0);
    camera.applyMouse(0, 0, -1200000);
    EXPECT_EQ(camera.distance, 10000.0);
    // Wheel counts whose doubled value does not fit 32 bits still zoom the right way.
    camera.applyMouse(0, 0, 0x7FFFFFFF);
    EXPECT_EQ(camera.distance, 1000.0);
    camera.applyMouse(0, 0, -0x7FFFFFFF - 1);
    EXPECT_EQ(camera.distance, 10000.0);

    for (int turn = 0; turn < 50; ++turn) {
        camera.applyMouse(3000, 0, 0);
        EXPECT_LE(camera.yaw, 6.2831854820251465);
        EXPECT_GT(camera.yaw, -3.1415927410125732);
    }
    for (int turn = 0; turn < 50; ++turn) {
        camera.applyMouse(-3000, 0, 0);
        EXPECT_LE(camera.yaw, 6.2831854820251465);
        EXPECT_GT(camera.yaw, -3.1415927410125732);
    }
}

TEST_F(CameraOnTrain, SelectionStopsAtBothEndsAndNeedsFollowing) {
    OrbitCamera camera = following();
    camera.selectPreviousCar();
    EXPECT_EQ(camera.selectedCar, 0);
    for (int k = 0; k < 15; ++k) {
        camera.selectNextCar();
    }
    EXPECT_EQ(camera.selectedCar, 9);
    camera.selectPreviousCar();
    EXPECT_EQ(camera.selectedCar, 8);

    OrbitCamera free;
    free.selectNextCar();
    EXPECT_EQ(free.selectedCar, 0);
    free.selectedCar = 3;
    free.selectPreviousCar();
    EXPECT_EQ(free.selectedCar, 3);
}

TEST_F(CameraOnTrain, TargetIsHalfwayBetweenTheSelectedCarsBogies) {
    // On a turn the target is the midpoint of the chord, off the track.
    train.place(8192.0 + 3000.0, false);
    for (int k : {0, 4, 9}) {
        OrbitCamera camera = following();
        camera.selectedCar = k;
        camera.updateView();
        const Car& car = *train.cars[k];
        double halfSpacing = car.carType->bogieSpacing * 0.5;
        EXPECT_NEAR(camera.targetX, car.x - std::cos(car.heading) * halfSpacing, 1e-3) << k;
        EXPECT_NEAR(camera.targetZ, car.z - std::sin(car.heading) * halfSpacing, 1e-3) << k;
        // Half a turn is the track's single-precision pi, a little more than pi, which moves
        // the target by up to 1e-4 units; on a turn that shows in the last digits.
        EXPECT_NEAR(camera.targetX, car.x + std::cos(car.heading + trackPi) * halfSpacing, 1e-9)
            << k;
        EXPECT_NEAR(camera.targetZ, car.z + std::sin(car.heading + trackPi) * halfSpacing, 1e-9)
            << k;
        EXPECT_EQ(camera.targetY, 400.0) << k;
    }
    // Car 0 lies wholly on the turn, where its bogies are exactly one spacing apart.
    OrbitCamera camera = following();
    camera.updateView();
    const Car& car = *train.cars[0];
    EXPECT_NEAR(camera.targetX, (car.x + car.rearBogie->x) * 0.5, 1e-3);
    EXPECT_NEAR(camera.targetZ, (car.z + car.rearBogie->z) * 0.5, 1e-3);

    CameraEye eye = cameraEye(camera);
    double offsetX = eye.x - camera.targetX;
    double offsetY = eye.y - camera.targetY;
    double offsetZ = eye.z - camera.targetZ;
    EXPECT_NEAR(std::sqrt(offsetX * offsetX + offsetY * offsetY + offsetZ * offsetZ),
                camera.distance, 1e-6);
    EXPECT_NEAR(std::asin(offsetY / camera.distance), camera.pitch, 1e-12);
    EXPECT_NEAR(std::atan2(offsetZ, offsetX), camera.yaw, 1e-12);
}

TEST_F(CameraOnTrain, WithoutFollowingTheTargetStays) {
    OrbitCamera camera;
    camera.selectedCar = 2;
    camera.updateView();
    EXPECT_EQ(camera.targetX, 0.0);
    EXPECT_EQ(camera.targetZ, 0.0);
    EXPECT_EQ(camera.targetY, 0.0);

    // A selection left beyond a shorter train is not followed.
    OrbitCamera stale = following();
    stale.selectedCar = 7;
    train.clear();
    stale.updateView();
    EXPECT_EQ(stale.targetX, 0.0);
}

namespace {

class CameraWithDevice : public AppDeviceTest {};

struct ViewPoint {
    double x;
    double y;
    double z;
};

// The point (x, y, z) transformed by the affine row-vector matrix m.
ViewPoint transformed(const D3DMATRIX& m, double x, double y, double z) {
    return {x * m._11 + y * m._21 + z * m._31 + m._41, x * m._12 + y * m._22 + z * m._32 + m._42,
            x * m._13 + y * m._23 + z * m._33 + m._43};
}

// A camera looking at a fixed target from the yaw, pitch and distance given, its view set.
OrbitCamera viewFrom(ViewPoint target, double yaw, double pitch, double distance) {
    OrbitCamera camera;
    camera.targetX = target.x;
    camera.targetY = target.y;
    camera.targetZ = target.z;
    camera.yaw = yaw;
    camera.pitch = pitch;
    camera.distance = distance;
    camera.updateView();
    return camera;
}

} // namespace

TEST_F(CameraWithDevice, ViewLooksFromTheEyeAtTheTargetThroughAFixedLens) {
    const OrbitCamera camera = viewFrom({1000.0, 400.0, -500.0}, 2.0, 0.5, 3000.0);

    D3DMATRIX view = {};
    ASSERT_GE(appState.graphicsDevice->GetTransform(D3DTS_VIEW, &view), 0);
    // In view space the target lies straight ahead at the orbit distance, the eye at 0.
    ViewPoint target = transformed(view, 1000.0, 400.0, -500.0);
    EXPECT_NEAR(target.x, 0.0, 0.01);
    EXPECT_NEAR(target.y, 0.0, 0.01);
    EXPECT_NEAR(target.z, 3000.0, 0.01);
    CameraEye eye = cameraEye(camera);
    ViewPoint origin = transformed(view, eye.x, eye.y, eye.z);
    EXPECT_NEAR(origin.x, 0.0, 0.01);
    EXPECT_NEAR(origin.z, 0.0, 0.01);
    // Up stays up: a point above the target is above the middle of the picture.
    EXPECT_GT(transformed(view, 1000.0, 500.0, -500.0).y, 0.0);

    D3DMATRIX projection = {};
    ASSERT_GE(appState.graphicsDevice->GetTransform(D3DTS_PROJECTION, &projection), 0);
    float yScale = 1.0f / std::tan(0.7853981852531433f / 2.0f);
    EXPECT_NEAR(projection._22, yScale, 1e-5f);
    EXPECT_NEAR(projection._11, yScale / 1.3333334f, 1e-5f);
    EXPECT_EQ(projection._34, 1.0f);
    EXPECT_NEAR(projection._33, 100000.0f / (100000.0f - 1.0f), 1e-6f);
    EXPECT_NEAR(projection._43, -100000.0f / (100000.0f - 1.0f), 1e-6f);
}

TEST_F(CameraWithDevice, TransformsAreTheLookAtAndPerspectiveOfTheCamera) {
    OrbitCamera camera;
    camera.targetX = -700.0;
    camera.targetZ = 2500.0;
    camera.targetY = 400.0;
    camera.yaw = -1.0;
    camera.pitch = 0.25;
    camera.distance = 5000.0;
    camera.fieldOfView = 1.0;
    camera.updateView();

    double across = std::cos(0.25) * 5000.0;
    D3DXVECTOR3 eye(static_cast<float>(std::cos(-1.0) * across + -700.0),
                    static_cast<float>(std::sin(0.25) * 5000.0 + 400.0),
                    static_cast<float>(std::sin(-1.0) * across + 2500.0));
    D3DXVECTOR3 target(-700.0f, 400.0f, 2500.0f);
    D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
    D3DXMATRIX expected;
    D3DXMatrixLookAtLH(&expected, &eye, &target, &up);
    D3DMATRIX view = {};
    ASSERT_GE(appState.graphicsDevice->GetTransform(D3DTS_VIEW, &view), 0);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ((&view._11)[i], (&expected._11)[i]) << i;

    // The lens takes the camera's field of view; aspect and depth range are fixed.
    D3DXMatrixPerspectiveFovLH(&expected, 1.0f, 1.3333334f, 1.0f, 100000.0f);
    D3DMATRIX projection = {};
    ASSERT_GE(appState.graphicsDevice->GetTransform(D3DTS_PROJECTION, &projection), 0);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ((&projection._11)[i], (&expected._11)[i]) << i;
}

TEST(CameraListener, RidesWithTheEyeFacingTheTargetFromTheCommitOn) {
    appState.mainWindow = soundTestWindow();
    ASSERT_EQ(createSoundDevice(), S_OK);
    IDirectSound3DListener8* listener = appState.listener;
    D3DVECTOR startPosition{};
    D3DVECTOR startFront{};
    D3DVECTOR startTop{};
    listener->GetPosition(&startPosition);
    listener->GetOrientation(&startFront, &startTop);

    viewFrom({3000.0, 400.0, -1500.0}, 2.5, 0.75, 6000.0);
    double across = std::cos(0.75) * 6000.0;
    double eyeX = std::cos(2.5) * across + 3000.0;
    double eyeY = std::sin(0.75) * 6000.0 + 400.0;
    double eyeZ = std::sin(2.5) * across + -1500.0;

    // Deferred: nothing changes before the frame's commit.
    D3DVECTOR position{};
    D3DVECTOR front{};
    D3DVECTOR top{};
    listener->GetPosition(&position);
    listener->GetOrientation(&front, &top);
    EXPECT_EQ(position.x, startPosition.x);
    EXPECT_EQ(position.y, startPosition.y);
    EXPECT_EQ(front.x, startFront.x);
    EXPECT_EQ(front.z, startFront.z);

    listener->CommitDeferredSettings();
    listener->GetPosition(&position);
    listener->GetOrientation(&front, &top);
    // One sound unit is 2048 world units; the front vector is neither scaled nor normalised.
    EXPECT_EQ(position.x, static_cast<float>(eyeX * 0.00048828125));
    EXPECT_EQ(position.y, static_cast<float>(eyeY * 0.00048828125));
    EXPECT_EQ(position.z, static_cast<float>(eyeZ * 0.00048828125));
    EXPECT_EQ(front.x, static_cast<float>(3000.0 - eyeX));
    EXPECT_EQ(front.y, static_cast<float>(400.0 - eyeY));
    EXPECT_EQ(front.z, static_cast<float>(-1500.0 - eyeZ));
    EXPECT_EQ(top.x, 0.0f);
    EXPECT_EQ(top.y, 1.0f);
    EXPECT_EQ(top.z, 0.0f);

    appState.listener->Release();
    appState.listener = nullptr;
    appState.primaryBuffer->Release();
    appState.primaryBuffer = nullptr;
    appState.soundDevice->Release();
    appState.soundDevice = nullptr;
}
