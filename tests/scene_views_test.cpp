// scene_views_test.cpp: the scene drawn through the device from every corner of the camera's
// range, read back from the device's picture: the sky and the ground fill the picture above
// the overlay wherever the camera looks from. Runs in the build folder, with the generated
// meshes. Depends on the graphics device, the scene objects and the orbit camera.
#include "app/application_state.h"
#include "graphics/graphics_device.h"
#include "scene_setup.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

constexpr const char* windowClassName = "SceneViewsTest";
// The overlay's first line starts this far down the 768 rows of the picture.
constexpr UINT overlayTop = 665;
constexpr double quarterTurn = 1.5707963705062866;
constexpr double highestPitch = 1.5533430775006611; // 89 degrees, where the camera stops

class SceneViews : public testing::Test {
protected:
    void SetUp() override {
        WNDCLASSEXA windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = windowClassName;
        RegisterClassExA(&windowClass);
        appState.mainWindow =
            CreateWindowExA(0, windowClassName, "Varnel", WS_OVERLAPPEDWINDOW, 0, 0, 1024, 768,
                            nullptr, nullptr, windowClass.hInstance, nullptr);
        if (appState.mainWindow == nullptr)
            GTEST_SKIP() << "no display";
        ASSERT_EQ(createGraphicsDevice(), S_OK);
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
        appState.passengerTrain = false;
        train.clear();
        buildConsist();
        train.place(500.0, false);
    }

    void TearDown() override {
        train.clear();
        releaseSceneModels();
        camera = OrbitCamera();
        if (appState.graphicsDevice != nullptr)
            appState.graphicsDevice->Release();
        if (appState.direct3D != nullptr)
            appState.direct3D->Release();
        appState.graphicsDevice = nullptr;
        appState.direct3D = nullptr;
        if (appState.mainWindow != nullptr)
            DestroyWindow(appState.mainWindow);
        appState.mainWindow = nullptr;
        UnregisterClassA(windowClassName, GetModuleHandleA(nullptr));
    }

    // Draws the track and the train as the frame does and returns the share of the pixels
    // above the overlay that still have the clear colour.
    double clearShare(IDirect3DSurface9* target, IDirect3DSurface9* copy, UINT width, UINT height) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        device->BeginScene();
        camera.updateView();
        track.draw();
        train.draw();
        device->EndScene();
        EXPECT_EQ(device->GetRenderTargetData(target, copy), D3D_OK);
        device->Present(nullptr, nullptr, nullptr, nullptr);
        D3DLOCKED_RECT locked = {};
        EXPECT_EQ(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        const UINT rows = std::min(height, overlayTop);
        UINT cleared = 0;
        for (UINT y = 0; y < rows; ++y) {
            const auto* row = reinterpret_cast<const DWORD*>(
                static_cast<const BYTE*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch);
            for (UINT x = 0; x < width; ++x) {
                cleared += (row[x] & 0x00FFFFFF) == 0;
            }
        }
        copy->UnlockRect();
        return static_cast<double>(cleared) / (static_cast<double>(rows) * width);
    }

    IDirect3DDevice9* device = nullptr;
};

} // namespace

// Yaw in eighths of a turn, pitch 0, 30, 60 and 89 degrees, the nearest and the farthest eye,
// about the front car (on the first straight) and the last car (in the turns behind it): the
// clear colour may show in at most 0.5% of the picture above the overlay.
TEST_F(SceneViews, SkyAndGroundFillThePictureFromEveryCameraPosition) {
    IDirect3DSurface9* target = nullptr;
    ASSERT_EQ(device->GetRenderTarget(0, &target), D3D_OK);
    D3DSURFACE_DESC desc = {};
    target->GetDesc(&desc);
    IDirect3DSurface9* copy = nullptr;
    ASSERT_EQ(device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format,
                                                  D3DPOOL_SYSTEMMEM, &copy, nullptr),
              D3D_OK);
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
                    double share = clearShare(target, copy, desc.Width, desc.Height);
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
    copy->Release();
    target->Release();
    EXPECT_LE(worst, 0.005) << worstAt.str();
}
