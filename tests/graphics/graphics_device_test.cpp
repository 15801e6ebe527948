// createGraphicsDevice, setUpLight and setUpMaterial on a real hidden window, checked through
// the device's own getters, and the two set-up failures with their messages.
// Built for Windows too (tests/windows), where it checks the real APIs under Wine.
#include "app/application_state.h"
#include "graphics/build_config.h"
#include "graphics/graphics_device.h"

#include <gtest/gtest.h>
#include "support/program_device.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The class of the main window that the child processes below open.
constexpr const char* windowClassName = "GraphicsDeviceTest";

class GraphicsDeviceTest : public testing::Test {
protected:
    void SetUp() override {
        programDevice.create();
        device = appState.graphicsDevice;
    }

    DWORD renderState(D3DRENDERSTATETYPE state) {
        DWORD value = 0xdeadbeef;
        EXPECT_EQ(device->GetRenderState(state, &value), D3D_OK);
        return value;
    }

    DWORD samplerState(DWORD sampler, D3DSAMPLERSTATETYPE type) {
        DWORD value = 0xdeadbeef;
        EXPECT_EQ(device->GetSamplerState(sampler, type, &value), D3D_OK);
        return value;
    }

    ProgramDevice programDevice;
    IDirect3DDevice9* device = nullptr;
};

TEST_F(GraphicsDeviceTest, DeviceDrawsIntoTheMainWindowWithTheFixedSceneState) {
    D3DDEVICE_CREATION_PARAMETERS creation = {};
    ASSERT_EQ(device->GetCreationParameters(&creation), D3D_OK);
    EXPECT_EQ(creation.AdapterOrdinal, UINT(D3DADAPTER_DEFAULT));
    EXPECT_EQ(creation.DeviceType, D3DDEVTYPE_HAL);
    EXPECT_EQ(creation.hFocusWindow, appState.mainWindow);
    EXPECT_EQ(creation.BehaviorFlags, vertexProcessing);

    IDirect3DSwapChain9* swapChain = nullptr;
    ASSERT_EQ(device->GetSwapChain(0, &swapChain), D3D_OK);
    D3DPRESENT_PARAMETERS presentation = {};
    swapChain->GetPresentParameters(&presentation);
    swapChain->Release();
    RECT client = {};
    GetClientRect(appState.mainWindow, &client);
    EXPECT_EQ(presentation.BackBufferWidth, UINT(client.right));
    EXPECT_EQ(presentation.BackBufferHeight, UINT(client.bottom));
    EXPECT_EQ(presentation.SwapEffect, D3DSWAPEFFECT_DISCARD);
    EXPECT_TRUE(presentation.Windowed);
    EXPECT_TRUE(presentation.EnableAutoDepthStencil);
    EXPECT_EQ(presentation.AutoDepthStencilFormat, D3DFMT_D24X8);
    EXPECT_EQ(presentation.PresentationInterval, presentInterval);
    EXPECT_EQ(presentation.MultiSampleType, D3DMULTISAMPLE_NONE);
    EXPECT_EQ(presentation.hDeviceWindow, appState.mainWindow); // the focus window stands in
    EXPECT_EQ(presentation.Flags, 0u);
    EXPECT_EQ(presentation.FullScreen_RefreshRateInHz, 0u);

    // Counter-clockwise culling and the z-buffer are also the device's defaults, so the calls
    // that set them are seen only in the recorded start-up (win_main_test.cpp).
    EXPECT_EQ(renderState(D3DRS_CULLMODE), DWORD(D3DCULL_CCW));
    EXPECT_EQ(renderState(D3DRS_ZENABLE), DWORD(D3DZB_TRUE));
    EXPECT_EQ(samplerState(0, D3DSAMP_MIPFILTER), DWORD(D3DTEXF_LINEAR));
    EXPECT_EQ(samplerState(0, D3DSAMP_MINFILTER), DWORD(D3DTEXF_LINEAR));
    EXPECT_EQ(samplerState(0, D3DSAMP_MAGFILTER), DWORD(D3DTEXF_LINEAR));
    // Nothing else is set: other samplers, blending and z-writes keep their defaults.
    EXPECT_EQ(samplerState(1, D3DSAMP_MINFILTER), DWORD(D3DTEXF_POINT));
    EXPECT_EQ(renderState(D3DRS_ALPHABLENDENABLE), DWORD(FALSE));
    EXPECT_EQ(renderState(D3DRS_ZWRITEENABLE), DWORD(TRUE));
    EXPECT_EQ(renderState(D3DRS_AMBIENT), 0u);
}

TEST_F(GraphicsDeviceTest, SceneHasOneDirectionalLightAndOneWhiteMaterial) {
    // Lighting is on by default: turn it off first, so that only setUpLight can turn it on.
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    setUpLight();
    EXPECT_EQ(setUpMaterial(), D3D_OK);

    D3DLIGHT9 expectedLight = {};
    expectedLight.Type = D3DLIGHT_DIRECTIONAL;
    expectedLight.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
    expectedLight.Direction = {1.0f, -2.0f, -1.0f};
    D3DLIGHT9 light = {};
    ASSERT_EQ(device->GetLight(0, &light), D3D_OK);
    EXPECT_EQ(std::memcmp(&light, &expectedLight, sizeof light), 0);
    BOOL enabled = FALSE;
    ASSERT_EQ(device->GetLightEnable(0, &enabled), D3D_OK);
    EXPECT_TRUE(enabled);
    EXPECT_EQ(device->GetLight(1, &light), D3DERR_INVALIDCALL);
    EXPECT_EQ(renderState(D3DRS_LIGHTING), DWORD(TRUE));
    EXPECT_EQ(renderState(D3DRS_AMBIENT), 0x00202020u);

    D3DMATERIAL9 expectedMaterial = {};
    expectedMaterial.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    expectedMaterial.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
    D3DMATERIAL9 material = {};
    ASSERT_EQ(device->GetMaterial(&material), D3D_OK);
    EXPECT_EQ(std::memcmp(&material, &expectedMaterial, sizeof material), 0);
}

TEST_F(GraphicsDeviceTest, FrameStepsGiveAnOpaqueBlackDepthClearedPicture) {
    setUpLight();
    setUpMaterial();
    IDirect3DSurface9* target = nullptr;
    ASSERT_EQ(device->GetRenderTarget(0, &target), D3D_OK);
    D3DSURFACE_DESC desc = {};
    target->GetDesc(&desc);

    // Two frames: the second must not see anything of the first.
    for (float depth : {0.3f, 0.9f}) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        device->BeginScene();
        const struct {
            float x, y, z, nx, ny, nz;
        } triangle[3] = {{-0.5f, -0.5f, depth, -1, 2, 1},
                         {0.0f, 0.5f, depth, -1, 2, 1},
                         {0.5f, -0.5f, depth, -1, 2, 1}};
        device->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL);
        EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof triangle[0]),
                  D3D_OK);
        device->EndScene();
        IDirect3DSurface9* copy = nullptr;
        ASSERT_EQ(device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format,
                                                      D3DPOOL_SYSTEMMEM, &copy, nullptr),
                  D3D_OK);
        ASSERT_EQ(device->GetRenderTargetData(target, copy), D3D_OK);
        device->Present(nullptr, nullptr, nullptr, nullptr);
        D3DLOCKED_RECT locked = {};
        copy->LockRect(&locked, nullptr, D3DLOCK_READONLY);
        const BYTE* bits = static_cast<const BYTE*>(locked.pBits);
        auto at = [&](UINT x, UINT y) {
            return *reinterpret_cast<const DWORD*>(bits + y * locked.Pitch + x * 4);
        };
        EXPECT_EQ(at(0, 0), 0xFF000000u);
        EXPECT_EQ(at(desc.Width - 1, desc.Height - 1), 0xFF000000u);
        // The face turned to the light is lit white: ambient plus the full diffuse light.
        EXPECT_EQ(at(desc.Width / 2, desc.Height / 2), 0xFFFFFFFFu) << "depth " << depth;
        copy->UnlockRect();
        copy->Release();
    }
    target->Release();
}

// The failures are read from the unattended message box on standard error and forced through
// the layer's video driver and OpenGL version, so they run there only.
#ifndef _WIN32
TEST(GraphicsDeviceFailure, CreateDeviceFailureShowsItsMessage) {
    appState.mainWindow = nullptr;
    testing::internal::CaptureStderr();
    const HRESULT result = createGraphicsDevice();
    const std::string output = testing::internal::GetCapturedStderr();
    if (appState.direct3D == nullptr)
        SKIP_OR_FAIL_WITHOUT_DISPLAY("no display");
    EXPECT_EQ(result, E_FAIL);
    EXPECT_EQ(appState.graphicsDevice, nullptr);
    EXPECT_EQ(output, "\xD0\x9E\xD1\x88\xD0\xB8\xD0\xB1\xD0\xBA\xD0\xB0 CreateDevice (Direct3D)\n");
    appState.direct3D->Release();
    appState.direct3D = nullptr;
}

TEST(GraphicsDeviceFailure, MissingDirect3DShowsItsMessage) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // A video driver that does not exist: no display, so no Direct3D.
            setenv("SDL_VIDEODRIVER", "absent", 1);
            const HRESULT result = createGraphicsDevice();
            std::exit(result == E_FAIL && appState.direct3D == nullptr ? 0 : 1);
        },
        testing::ExitedWithCode(0),
        "\xD0\x9E\xD1\x88\xD0\xB8\xD0\xB1\xD0\xBA\xD0\xB0 Direct3DCreate");
}

// In a child process: forces the OpenGL version that the driver offers (before anything opens
// the display), opens the main window and creates the device.
HRESULT createDeviceOnOpenGL(const char* version) {
    setenv("MESA_GL_VERSION_OVERRIDE", version, 1);
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = windowClassName;
    RegisterClassExA(&windowClass);
    appState.mainWindow =
        CreateWindowExA(0, windowClassName, "Varnel", WS_OVERLAPPEDWINDOW, 0, 0, 1024, 768, nullptr,
                        nullptr, windowClass.hInstance, nullptr);
    return createGraphicsDevice();
}

TEST(GraphicsDeviceFailure, OpenGLOlderThanTheDeviceNeedsShowsCreateDeviceMessage) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || display[0] == '\0')
        SKIP_OR_FAIL_WITHOUT_DISPLAY("no display");
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const HRESULT result = createDeviceOnOpenGL("1.3");
            std::exit(result == E_FAIL && appState.graphicsDevice == nullptr ? 0 : 1);
        },
        testing::ExitedWithCode(0),
        "\xD0\x9E\xD1\x88\xD0\xB8\xD0\xB1\xD0\xBA\xD0\xB0 CreateDevice \\(Direct3D\\)");
}

// OpenGL 3.3, the oldest version the renderer's programs are written for, is enough (the
// version is forced as in the test above; a driver without that override gives its own).
TEST(GraphicsDeviceFailure, OpenGLOfTheVersionTheDeviceNeedsIsEnough) {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || display[0] == '\0')
        SKIP_OR_FAIL_WITHOUT_DISPLAY("no display");
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const HRESULT result = createDeviceOnOpenGL("3.3");
            std::exit(result == S_OK && appState.graphicsDevice != nullptr ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}
#endif

} // namespace
