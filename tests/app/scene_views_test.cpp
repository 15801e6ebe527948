// scene_views_test.cpp: the scene drawn through the device from every corner of the camera's
// range, read back from the device's picture: the sky and the ground fill the picture above
// the overlay wherever the camera looks from. Runs in the build folder, with the generated
// meshes.
#include "app/application_state.h"
#include "graphics/graphics_device.h"
#include "support/program_device.h"
#include "support/scene_setup.h"
#include "support/test_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <vector>

namespace {

// The overlay's first line starts this far down the 768 rows of the picture.
constexpr UINT overlayTop = 665;
constexpr double quarterTurn = 1.5707963705062866;
constexpr double highestPitch = 1.5533430775006611; // 89 degrees, where the camera stops

class SceneViews : public testing::Test {
protected:
    void SetUp() override {
        programDevice.create();
        if (HasFatalFailure() || IsSkipped())
            return;
        device = appState.graphicsDevice;
        // The scene's models, loaded with this device: a cache filled by an earlier device of
        // this process would hand out that device's textures.
        ensureSceneTypes();
        textureCache.release();
        const struct {
            MeshModel* model;
            const char* file;
        } models[] = {
            {&straightType, "SegStraight.X"}, {&leftTurnType, "SegTurnLeft.X"},
            {&truckType, "CarTruck.X"},       {&goodsCarType, "GoodsCar.X"},
            {&tankCarType, "Cistern.X"},      {&passengerCarType, "PseudoPassengerCar.X"}};
        for (const auto& entry : models) {
            // Building the types may have loaded them already, with this device.
            entry.model->release();
            entry.model->load(entry.file);
            ASSERT_NE(entry.model->mesh, nullptr) << entry.file;
        }
        setUpLight();
        setUpMaterial();
        placeFreightTrain(500.0);
    }

    void TearDown() override {
        train.clear();
        releaseSceneModels();
        camera = OrbitCamera();
    }

    // Draws the track and the train as the frame does and returns the share of the pixels
    // above the overlay that still have the clear colour.
    double clearShare() {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        device->BeginScene();
        camera.updateView();
        track.draw();
        train.draw();
        device->EndScene();
        UINT width = 0;
        UINT height = 0;
        const std::vector<D3DCOLOR> pixels = readRenderTarget(device, width, height);
        device->Present(nullptr, nullptr, nullptr, nullptr);
        const UINT rows = std::min(height, overlayTop);
        UINT cleared = 0;
        for (UINT at = 0; at < rows * width; ++at)
            cleared += (pixels[at] & 0x00FFFFFF) == 0;
        return static_cast<double>(cleared) / (static_cast<double>(rows) * width);
    }

    ProgramDevice programDevice;
    IDirect3DDevice9* device = nullptr;
};

} // namespace

// Yaw in eighths of a turn, pitch 0, 30, 60 and 89 degrees, the nearest and the farthest eye,
// about the front car (on the first straight) and the last car (in the turns behind it): the
// clear colour may show in at most 0.5% of the picture above the overlay.
TEST_F(SceneViews, SkyAndGroundFillThePictureFromEveryCameraPosition) {
    camera.followSelectedCar = true;
    const double pitches[] = {0.0, quarterTurn / 3, quarterTurn * 2 / 3, highestPitch};
    double worst = 0;
    std::ostringstream worstAt;
    for (INT car : {0, train.carCount - 1}) {
        camera.selectedCar = car;
        for (double distance : {1000.0, 10000.0}) {
            camera.distance = distance;
            for (double pitch : pitches) {
                camera.pitch = pitch;
                for (int eighth = 0; eighth < 8; ++eighth) {
                    camera.yaw = eighth * quarterTurn / 2;
                    double share = clearShare();
                    if (share > worst) {
                        worst = share;
                        worstAt.str("");
                        worstAt << "car " << car << ", distance " << distance << ", pitch " << pitch
                                << ", yaw " << camera.yaw;
                    }
                }
            }
        }
    }
    EXPECT_LE(worst, 0.005) << worstAt.str();
}
