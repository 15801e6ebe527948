// The Direct3D 9 device of the layer, checked through the Direct3D calls alone: creation
// and its refusals, state defaults and round trips, resources, and pictures read back from the
// render target. Needs a display (tools/with-display.sh provides one).
// Built for Windows too (tests/windows), where it checks the real APIs under Wine.
#include <windows.h>
#include <d3d9.h>

// The frame report is the layer's own; its test alone uses the matchers.
#ifndef _WIN32
#include <gmock/gmock.h>
#endif
#include <gtest/gtest.h>
#include "support/test_device.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A call outside the documented range is refused with D3DERR_INVALIDCALL by the layer, which
// guards what it reads and writes. The Windows runtime leaves most such checks to its debug
// version, and Wine takes these calls, so they are made on the layer only.
#ifdef _WIN32
#define EXPECT_REFUSED(call) static_cast<void>(sizeof(call)) // not evaluated
#else
#define EXPECT_REFUSED(call) EXPECT_EQ(call, D3DERR_INVALIDCALL)
#endif

struct Vertex {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};
constexpr DWORD vertexFormat = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;

// Every test gets a device on a hidden 1024 x 768 window.
class DeviceTest : public WindowDeviceTest {
protected:
    DeviceTest() : WindowDeviceTest(1024, 768) {}

    IDirect3DTexture9* solidTexture(D3DCOLOR top, D3DCOLOR bottom) {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(
            device->CreateTexture(1, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
            D3D_OK);
        D3DLOCKED_RECT locked = {};
        EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        static_cast<DWORD*>(locked.pBits)[0] = top;
        *reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + locked.Pitch) = bottom;
        EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
        return texture;
    }

    // A triangle over the centre at depth z; clockwise on screen unless reversed.
    HRESULT drawTriangle(float z, bool reversed = false) {
        Vertex vertices[3] = {{-0.5f, -0.5f, z, 0, 0, -1, 0, 1},
                              {0.0f, 0.5f, z, 0, 0, -1, 0.5f, 0},
                              {0.5f, -0.5f, z, 0, 0, -1, 1, 1}};
        if (reversed)
            std::swap(vertices[1], vertices[2]);
        device->SetFVF(vertexFormat);
        return device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, vertices, sizeof(Vertex));
    }

    // A screen rectangle in pixels with one colour and texture coordinates 0..1.
    HRESULT drawRectangle(float left, float top, float right, float bottom, float z,
                          D3DCOLOR colour) {
        const ScreenVertex vertices[4] = {{left, top, z, 1, colour, 0, 0},
                                          {right, top, z, 1, colour, 1, 0},
                                          {left, bottom, z, 1, colour, 0, 1},
                                          {right, bottom, z, 1, colour, 1, 1}};
        device->SetFVF(screenFormat);
        return device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, vertices, sizeof(ScreenVertex));
    }

    // Fills a level of an X8R8G8B8 texture with one colour.
    static void fillLevel(IDirect3DTexture9* texture, UINT level, D3DCOLOR colour) {
        D3DSURFACE_DESC desc = {};
        texture->GetLevelDesc(level, &desc);
        D3DLOCKED_RECT locked = {};
        ASSERT_EQ(texture->LockRect(level, &locked, nullptr, 0), D3D_OK);
        for (UINT y = 0; y < desc.Height; ++y)
            for (UINT x = 0; x < desc.Width; ++x)
                reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch)[x] =
                    colour;
        texture->UnlockRect(level);
    }

    void clear(D3DCOLOR colour) {
        ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, colour, 1.0f, 0),
                  D3D_OK);
    }
};

void expectNear(D3DCOLOR actual, D3DCOLOR expected, int tolerance = 3) {
    for (int shift = 0; shift < 32; shift += 8) {
        const int a = int((actual >> shift) & 0xff);
        const int e = int((expected >> shift) & 0xff);
        EXPECT_NEAR(a, e, tolerance) << std::hex << "actual " << actual << " expected " << expected;
    }
}

TEST(Direct3DObject, RefusesOtherVersionsAndOffersOneAdapter) {
    // Another version is refused; Wine takes any.
#ifndef _WIN32
    EXPECT_EQ(Direct3DCreate9(31), nullptr);
#endif
    IDirect3D9* direct3D = Direct3DCreate9(D3D_SDK_VERSION);
    if (direct3D == nullptr)
        SKIP_OR_FAIL_WITHOUT_DISPLAY("no display");
    EXPECT_EQ(direct3D->GetAdapterCount(), 1u);
    D3DDISPLAYMODE mode = {};
    EXPECT_EQ(direct3D->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode), D3D_OK);
    EXPECT_GT(mode.Width, 0u);
    EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(direct3D->GetAdapterDisplayMode(1, &mode), D3DERR_INVALIDCALL);
    EXPECT_EQ(direct3D->Release(), 0u);
}

TEST_F(DeviceTest, ParametersReportWhatWasPassedWithTheBackBufferFilledIn) {
    D3DDEVICE_CREATION_PARAMETERS creation = {};
    ASSERT_EQ(device->GetCreationParameters(&creation), D3D_OK);
    EXPECT_EQ(creation.AdapterOrdinal, 0u);
    EXPECT_EQ(creation.DeviceType, D3DDEVTYPE_HAL);
    EXPECT_EQ(creation.hFocusWindow, window);
    EXPECT_EQ(creation.BehaviorFlags, DWORD(D3DCREATE_HARDWARE_VERTEXPROCESSING));

    IDirect3DSwapChain9* swapChain = nullptr;
    ASSERT_EQ(device->GetSwapChain(0, &swapChain), D3D_OK);
    EXPECT_EQ(device->GetSwapChain(1, &swapChain), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->GetSwapChain(0, &swapChain), D3D_OK);
    D3DPRESENT_PARAMETERS presentation = {};
    ASSERT_EQ(swapChain->GetPresentParameters(&presentation), D3D_OK);
    swapChain->Release();
    swapChain->Release();

    RECT client = {};
    GetClientRect(window, &client);
    EXPECT_EQ(presentation.BackBufferWidth, UINT(client.right));
    EXPECT_EQ(presentation.BackBufferHeight, UINT(client.bottom));
    EXPECT_EQ(presentation.BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(presentation.BackBufferCount, 1u);
    EXPECT_EQ(presentation.SwapEffect, D3DSWAPEFFECT_DISCARD);
    EXPECT_EQ(presentation.hDeviceWindow, window); // the focus window stands in for none
    EXPECT_TRUE(presentation.Windowed);
    EXPECT_TRUE(presentation.EnableAutoDepthStencil);
    EXPECT_EQ(presentation.AutoDepthStencilFormat, D3DFMT_D24X8);
    EXPECT_EQ(presentation.PresentationInterval, UINT(D3DPRESENT_INTERVAL_IMMEDIATE));

    IDirect3D9* owner = nullptr;
    ASSERT_EQ(device->GetDirect3D(&owner), D3D_OK);
    EXPECT_EQ(owner, direct3D);
    owner->Release();
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
}

TEST_F(DeviceTest, CreationRefusesWhatItCannotDrawInto) {
    struct Case {
        const char* what;
        HWND window;
        D3DDEVTYPE type;
        DWORD flags;
        D3DPRESENT_PARAMETERS parameters;
    };
    D3DPRESENT_PARAMETERS fullScreen = windowedParameters();
    fullScreen.Windowed = FALSE;
#ifndef _WIN32
    D3DPRESENT_PARAMETERS badInterval = windowedParameters(D3DFMT_D24X8, D3DPRESENT_INTERVAL_TWO);
    D3DPRESENT_PARAMETERS colourAsDepth = windowedParameters(D3DFMT_A8R8G8B8);
#endif
    const DWORD hardware = D3DCREATE_HARDWARE_VERTEXPROCESSING;
    const Case cases[] = {
        {"full screen", window, D3DDEVTYPE_HAL, hardware, fullScreen},
#ifndef _WIN32
        // Wine offers the reference device, which Windows has only with the SDK installed, and
        // does not check the vertex processing flags or a window's presentation interval. With
        // no window, or a destroyed one, it refused the device in most runs and created one in
        // others, so its answer there is not checked either.
        {"null window", nullptr, D3DDEVTYPE_HAL, hardware, windowedParameters()},
        {"reference device", window, D3DDEVTYPE_REF, hardware, windowedParameters()},
        {"no vertex processing", window, D3DDEVTYPE_HAL, D3DCREATE_MULTITHREADED,
         windowedParameters()},
        {"two vertex processings", window, D3DDEVTYPE_HAL,
         hardware | D3DCREATE_SOFTWARE_VERTEXPROCESSING, windowedParameters()},
        {"interval two in a window", window, D3DDEVTYPE_HAL, hardware, badInterval},
        {"a colour format for depth", window, D3DDEVTYPE_HAL, hardware, colourAsDepth},
#endif
    };
    for (const Case& c : cases) {
        D3DPRESENT_PARAMETERS parameters = c.parameters;
        IDirect3DDevice9* other = reinterpret_cast<IDirect3DDevice9*>(&parameters);
        EXPECT_TRUE(FAILED(direct3D->CreateDevice(D3DADAPTER_DEFAULT, c.type, c.window, c.flags,
                                                  &parameters, &other)))
            << c.what;
        // The layer clears the result on failure; Wine leaves it as it was.
#ifndef _WIN32
        EXPECT_EQ(other, nullptr) << c.what;
#endif
    }

#ifndef _WIN32
    HWND gone = HiddenWindow().handle; // destroyed at once
    D3DPRESENT_PARAMETERS parameters = windowedParameters();
    IDirect3DDevice9* other = nullptr;
    EXPECT_TRUE(FAILED(direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, gone, hardware,
                                              &parameters, &other)));
#endif
}

TEST_F(DeviceTest, StatesStartAtTheirDefaults) {
    const struct {
        D3DRENDERSTATETYPE state;
        DWORD value;
    } renderDefaults[] = {
        {D3DRS_ZENABLE, D3DZB_TRUE},
        {D3DRS_FILLMODE, D3DFILL_SOLID},
        {D3DRS_SHADEMODE, D3DSHADE_GOURAUD},
        {D3DRS_ZWRITEENABLE, TRUE},
        {D3DRS_ALPHATESTENABLE, FALSE},
        {D3DRS_SRCBLEND, D3DBLEND_ONE},
        {D3DRS_DESTBLEND, D3DBLEND_ZERO},
        {D3DRS_CULLMODE, D3DCULL_CCW},
        {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
        {D3DRS_ALPHABLENDENABLE, FALSE},
        {D3DRS_FOGENABLE, FALSE},
        {D3DRS_SPECULARENABLE, FALSE},
        {D3DRS_LIGHTING, TRUE},
        {D3DRS_AMBIENT, 0},
        {D3DRS_COLORVERTEX, TRUE},
        {D3DRS_NORMALIZENORMALS, FALSE},
        {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1},
        {D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL},
        {D3DRS_SCISSORTESTENABLE, FALSE},
        {D3DRS_COLORWRITEENABLE, 0xf},
        {D3DRS_TEXTUREFACTOR, 0xffffffff},
    };
    for (const auto& expected : renderDefaults) {
        DWORD value = 0xdeadbeef;
        EXPECT_EQ(device->GetRenderState(expected.state, &value), D3D_OK);
        EXPECT_EQ(value, expected.value) << "render state " << expected.state;
    }

    for (DWORD sampler : {0u, 15u}) {
        DWORD value = 0;
        device->GetSamplerState(sampler, D3DSAMP_ADDRESSU, &value);
        EXPECT_EQ(value, DWORD(D3DTADDRESS_WRAP));
        device->GetSamplerState(sampler, D3DSAMP_MINFILTER, &value);
        EXPECT_EQ(value, DWORD(D3DTEXF_POINT));
        device->GetSamplerState(sampler, D3DSAMP_MAGFILTER, &value);
        EXPECT_EQ(value, DWORD(D3DTEXF_POINT));
        device->GetSamplerState(sampler, D3DSAMP_MIPFILTER, &value);
        EXPECT_EQ(value, DWORD(D3DTEXF_NONE));
    }

    const struct {
        DWORD stage;
        D3DTEXTURESTAGESTATETYPE type;
        DWORD value;
    } stageDefaults[] = {
        {0, D3DTSS_COLOROP, D3DTOP_MODULATE}, {0, D3DTSS_COLORARG1, D3DTA_TEXTURE},
        {0, D3DTSS_COLORARG2, D3DTA_CURRENT}, {0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1},
        {0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE}, {0, D3DTSS_ALPHAARG2, D3DTA_CURRENT},
        {1, D3DTSS_COLOROP, D3DTOP_DISABLE},  {1, D3DTSS_ALPHAOP, D3DTOP_DISABLE},
        {3, D3DTSS_TEXCOORDINDEX, 3},
    };
    for (const auto& expected : stageDefaults) {
        DWORD value = 0;
        EXPECT_EQ(device->GetTextureStageState(expected.stage, expected.type, &value), D3D_OK);
        EXPECT_EQ(value, expected.value) << "stage " << expected.stage << " " << expected.type;
    }

    D3DVIEWPORT9 viewport = {};
    ASSERT_EQ(device->GetViewport(&viewport), D3D_OK);
    EXPECT_EQ(viewport.X, 0u);
    EXPECT_EQ(viewport.Y, 0u);
    EXPECT_EQ(viewport.Width, width);
    EXPECT_EQ(viewport.Height, height);
    EXPECT_EQ(viewport.MinZ, 0.0f);
    EXPECT_EQ(viewport.MaxZ, 1.0f);

    for (D3DTRANSFORMSTATETYPE state : {D3DTS_WORLD, D3DTS_VIEW, D3DTS_PROJECTION}) {
        D3DMATRIX matrix = {};
        ASSERT_EQ(device->GetTransform(state, &matrix), D3D_OK);
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j)
                EXPECT_EQ(matrix.m[i][j], i == j ? 1.0f : 0.0f);
    }

    DWORD format = 1;
    EXPECT_EQ(device->GetFVF(&format), D3D_OK);
    EXPECT_EQ(format, 0u);
    IDirect3DBaseTexture9* texture = reinterpret_cast<IDirect3DBaseTexture9*>(&format);
    EXPECT_EQ(device->GetTexture(0, &texture), D3D_OK);
    EXPECT_EQ(texture, nullptr);
}

TEST_F(DeviceTest, StateGettersReportWhatWasSet) {
    EXPECT_EQ(device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3D_OK);
    EXPECT_EQ(device->SetRenderState(D3DRS_AMBIENT, 0x00202020), D3D_OK);
    EXPECT_EQ(device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR), D3D_OK);
    EXPECT_EQ(device->SetSamplerState(3, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP), D3D_OK);
    EXPECT_EQ(device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2), D3D_OK);
    EXPECT_EQ(device->SetFVF(vertexFormat), D3D_OK);
    DWORD value = 0;
    device->GetRenderState(D3DRS_CULLMODE, &value);
    EXPECT_EQ(value, DWORD(D3DCULL_NONE));
    device->GetRenderState(D3DRS_AMBIENT, &value);
    EXPECT_EQ(value, 0x00202020u);
    device->GetSamplerState(0, D3DSAMP_MIPFILTER, &value);
    EXPECT_EQ(value, DWORD(D3DTEXF_LINEAR));
    device->GetSamplerState(3, D3DSAMP_ADDRESSV, &value);
    EXPECT_EQ(value, DWORD(D3DTADDRESS_CLAMP));
    device->GetSamplerState(2, D3DSAMP_ADDRESSV, &value);
    EXPECT_EQ(value, DWORD(D3DTADDRESS_WRAP));
    device->GetTextureStageState(0, D3DTSS_COLOROP, &value);
    EXPECT_EQ(value, DWORD(D3DTOP_SELECTARG2));
    device->GetFVF(&value);
    EXPECT_EQ(value, vertexFormat);

    // Out-of-range states, samplers and stages are refused, never stored out of bounds.
    EXPECT_REFUSED(device->SetRenderState(D3DRENDERSTATETYPE(400), 1));
    EXPECT_REFUSED(device->GetRenderState(D3DRENDERSTATETYPE(400), &value));
    EXPECT_REFUSED(device->SetSamplerState(16, D3DSAMP_MINFILTER, 1));
    EXPECT_REFUSED(device->SetSamplerState(0, D3DSAMPLERSTATETYPE(99), 1));
    EXPECT_REFUSED(device->SetTextureStageState(8, D3DTSS_COLOROP, 1));
    EXPECT_REFUSED(device->GetTextureStageState(0, D3DTEXTURESTAGESTATETYPE(40), &value));

    D3DMATRIX world = {};
    for (int i = 0; i < 16; ++i)
        world.m[i / 4][i % 4] = float(i + 1);
    EXPECT_EQ(device->SetTransform(D3DTS_WORLD, &world), D3D_OK);
    D3DMATRIX back = {};
    EXPECT_EQ(device->GetTransform(D3DTS_WORLD, &back), D3D_OK);
    EXPECT_EQ(std::memcmp(&back, &world, sizeof world), 0);
    EXPECT_EQ(device->GetTransform(D3DTS_VIEW, &back), D3D_OK);
    EXPECT_EQ(back._12, 0.0f);
    EXPECT_REFUSED(device->SetTransform(D3DTRANSFORMSTATETYPE(0), &world));

    D3DVIEWPORT9 viewport = {10, 20, 100, 50, 0.25f, 0.75f};
    EXPECT_EQ(device->SetViewport(&viewport), D3D_OK);
    D3DVIEWPORT9 read = {};
    device->GetViewport(&read);
    EXPECT_EQ(std::memcmp(&read, &viewport, sizeof viewport), 0);
    D3DVIEWPORT9 tooWide = {10, 0, width, 10, 0.0f, 1.0f};
    EXPECT_REFUSED(device->SetViewport(&tooWide));
    D3DVIEWPORT9 empty = {0, 0, 0, 10, 0.0f, 1.0f};
    EXPECT_REFUSED(device->SetViewport(&empty));
    D3DVIEWPORT9 onePixel = {0, 0, 1, 1, 0.0f, 1.0f};
    EXPECT_EQ(device->SetViewport(&onePixel), D3D_OK);
}

TEST_F(DeviceTest, LightAndMaterialRoundTrip) {
    D3DLIGHT9 light = {};
    EXPECT_EQ(device->GetLight(0, &light), D3DERR_INVALIDCALL);
    BOOL enabled = TRUE;
    EXPECT_EQ(device->GetLightEnable(0, &enabled), D3DERR_INVALIDCALL);

    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
    light.Direction = {1.0f, -2.0f, -1.0f};
    ASSERT_EQ(device->SetLight(0, &light), D3D_OK);
    D3DLIGHT9 read = {};
    ASSERT_EQ(device->GetLight(0, &read), D3D_OK);
    EXPECT_EQ(std::memcmp(&read, &light, sizeof light), 0);
    ASSERT_EQ(device->GetLightEnable(0, &enabled), D3D_OK);
    EXPECT_FALSE(enabled);
    ASSERT_EQ(device->LightEnable(0, TRUE), D3D_OK);
    ASSERT_EQ(device->GetLightEnable(0, &enabled), D3D_OK);
    EXPECT_TRUE(enabled);

    // Enabling a light that was never set gives it the default light.
    ASSERT_EQ(device->LightEnable(5, TRUE), D3D_OK);
    ASSERT_EQ(device->GetLight(5, &read), D3D_OK);
    EXPECT_EQ(read.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(read.Diffuse.r, 1.0f);
    EXPECT_EQ(read.Direction.z, 1.0f);

    D3DLIGHT9 invalid = light;
    invalid.Type = D3DLIGHTTYPE(9);
    EXPECT_EQ(device->SetLight(1, &invalid), D3DERR_INVALIDCALL);

    D3DMATERIAL9 material = {};
    material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    material.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
    material.Power = 3.0f;
    ASSERT_EQ(device->SetMaterial(&material), D3D_OK);
    D3DMATERIAL9 readMaterial = {};
    ASSERT_EQ(device->GetMaterial(&readMaterial), D3D_OK);
    EXPECT_EQ(std::memcmp(&readMaterial, &material, sizeof material), 0);
}

TEST_F(DeviceTest, ClearedFrameReadsBackAsTheClearColour) {
    clear(0xFF000000);
    std::vector<D3DCOLOR> pixels = readBack();
    size_t other = 0;
    for (D3DCOLOR pixel : pixels)
        other += pixel != 0xFF000000;
    EXPECT_EQ(other, 0u);

    // A rectangle list clears only inside its rectangles.
    const D3DRECT area = {10, 20, 30, 25};
    ASSERT_EQ(device->Clear(1, &area, D3DCLEAR_TARGET, 0xFF336699, 1.0f, 0), D3D_OK);
    pixels = readBack();
    EXPECT_EQ(pixels[20 * width + 10], 0xFF336699u);
    EXPECT_EQ(pixels[24 * width + 29], 0xFF336699u);
    EXPECT_EQ(pixels[19 * width + 10], 0xFF000000u);
    EXPECT_EQ(pixels[20 * width + 30], 0xFF000000u);
    EXPECT_EQ(pixels[25 * width + 10], 0xFF000000u);

    // Without rectangles the viewport is cleared: one that leaves out the top rows or the
    // left columns keeps them.
    for (const D3DVIEWPORT9& viewport : {D3DVIEWPORT9{0, 8, width, height - 8, 0.0f, 1.0f},
                                         D3DVIEWPORT9{8, 0, width - 8, height, 0.0f, 1.0f}}) {
        clear(0xFF000000);
        ASSERT_EQ(device->SetViewport(&viewport), D3D_OK);
        ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699, 1.0f, 0), D3D_OK);
        pixels = readBack();
        EXPECT_EQ(pixels[0], 0xFF000000u) << viewport.X << ", " << viewport.Y;
        EXPECT_EQ(pixels[(height - 1) * width + width - 1], 0xFF336699u);
    }

    EXPECT_REFUSED(device->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0));
    EXPECT_REFUSED(device->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0));
}

TEST_F(DeviceTest, LitTexturedTriangleIsTextureTimesLitDiffuse) {
    D3DLIGHT9 light = {};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {0.5f, 0.5f, 0.5f, 0.0f};
    light.Direction = {0.0f, 0.0f, 2.0f}; // travels away from the viewer, unnormalised
    device->SetLight(0, &light);
    device->LightEnable(0, TRUE);
    device->SetRenderState(D3DRS_AMBIENT, 0x00202020);
    D3DMATERIAL9 material = {};
    material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    material.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
    device->SetMaterial(&material);
    IDirect3DTexture9* texture = solidTexture(0xFF80FF40, 0xFF80FF40);
    device->SetTexture(0, texture);

    clear(0xFF000000);
    device->BeginScene();
    EXPECT_EQ(drawTriangle(0.5f), D3D_OK);
    device->EndScene();
    // Lit colour 0.5 + 32/255 on each channel, times the texture.
    const float lit = 0.5f + 32.0f / 255.0f;
    expectNear(centre(), D3DCOLOR_ARGB(255, int(128 * lit + 0.5f), int(255 * lit + 0.5f),
                                       int(64 * lit + 0.5f)));

    // Turned away from the light only the ambient level remains.
    light.Direction = {0.0f, 0.0f, -1.0f};
    device->SetLight(0, &light);
    clear(0xFF000000);
    device->BeginScene();
    drawTriangle(0.5f);
    device->EndScene();
    const float ambient = 32.0f / 255.0f;
    expectNear(centre(), D3DCOLOR_ARGB(255, int(128 * ambient + 0.5f), int(255 * ambient + 0.5f),
                                       int(64 * ambient + 0.5f)));

    device->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(DeviceTest, CullingFollowsTheWindingOnScreen) {
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    const struct {
        DWORD mode;
        bool clockwiseDrawn;
        bool counterClockwiseDrawn;
    } cases[] = {{D3DCULL_CCW, true, false}, {D3DCULL_CW, false, true}, {D3DCULL_NONE, true, true}};
    for (const auto& c : cases) {
        device->SetRenderState(D3DRS_CULLMODE, c.mode);
        for (bool reversed : {false, true}) {
            clear(0xFF000000);
            device->BeginScene();
            drawTriangle(0.5f, reversed);
            device->EndScene();
            const bool drawn = centre() == 0xFFFFFFFF;
            EXPECT_EQ(drawn, reversed ? c.counterClockwiseDrawn : c.clockwiseDrawn)
                << "cull mode " << c.mode << (reversed ? " counter-clockwise" : " clockwise");
        }
    }
}

TEST_F(DeviceTest, DepthTestKeepsTheNearerSurface) {
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    const float cx = float(width / 2);
    const float cy = float(height / 2);
    clear(0xFF000000);
    device->BeginScene();
    drawRectangle(cx - 20, cy - 20, cx + 20, cy + 20, 0.2f, 0xFFFF0000);
    drawRectangle(cx - 10, cy - 10, cx + 10, cy + 10, 0.8f, 0xFF00FF00);
    device->EndScene();
    EXPECT_EQ(centre(), 0xFFFF0000u);

    // Without the depth test the later draw wins.
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device->BeginScene();
    drawRectangle(cx - 10, cy - 10, cx + 10, cy + 10, 0.8f, 0xFF00FF00);
    device->EndScene();
    EXPECT_EQ(centre(), 0xFF00FF00u);
}

TEST_F(DeviceTest, ScreenVerticesAreTransformedPixelsAndTextureRowsStartAtTheTop) {
    IDirect3DTexture9* texture = solidTexture(0xFFFF0000, 0xFF0000FF);
    device->SetTexture(0, texture);
    clear(0xFF000000);
    device->BeginScene();
    // Transforms must not move pre-transformed vertices.
    D3DMATRIX scale = {};
    scale._11 = scale._22 = scale._33 = 0.1f;
    scale._44 = 1.0f;
    device->SetTransform(D3DTS_PROJECTION, &scale);
    EXPECT_EQ(drawRectangle(100, 50, 140, 90, 0.5f, 0xFFFFFFFF), D3D_OK);
    device->EndScene();
    std::vector<D3DCOLOR> pixels = readBack();
    EXPECT_EQ(pixels[50 * width + 100], 0xFFFF0000u); // first pixel, top row red
    EXPECT_EQ(pixels[60 * width + 120], 0xFFFF0000u);
    EXPECT_EQ(pixels[80 * width + 120], 0xFF0000FFu); // bottom half blue
    EXPECT_EQ(pixels[89 * width + 139], 0xFF0000FFu); // last pixel inside
    EXPECT_EQ(pixels[49 * width + 120], 0xFF000000u); // nothing above
    EXPECT_EQ(pixels[70 * width + 140], 0xFF000000u); // nothing right of it
    device->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(DeviceTest, MipFilterChoosesTheLevelsUploadedForThem) {
    // Level 0 red, level 1 green, level 2 blue.
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(
        device->CreateTexture(4, 4, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
        D3D_OK);
    ASSERT_EQ(texture->GetLevelCount(), 3u);
    const D3DCOLOR colours[3] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
    for (UINT level = 0; level < 3; ++level)
        fillLevel(texture, level, colours[level]);
    device->SetTexture(0, texture);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);

    // A 2 x 2 square shows the texture at half size (level 1), a single pixel at level 2.
    const struct {
        DWORD mipFilter;
        float size;
        D3DCOLOR expected;
    } cases[] = {{D3DTEXF_NONE, 2, colours[0]},
                 {D3DTEXF_POINT, 2, colours[1]},
                 {D3DTEXF_LINEAR, 2, colours[1]},
                 {D3DTEXF_POINT, 1, colours[2]},
                 {D3DTEXF_NONE, 4, colours[0]}};
    for (const auto& c : cases) {
        device->SetSamplerState(0, D3DSAMP_MIPFILTER, c.mipFilter);
        clear(0xFF000000);
        device->BeginScene();
        drawRectangle(100, 100, 100 + c.size, 100 + c.size, 0.5f, 0xFFFFFFFF);
        device->EndScene();
        expectNear(readBack()[100 * width + 100], c.expected, 8);
    }
    device->SetTexture(0, nullptr);
    texture->Release();
}

// A level never locked reads black, even where a released texture's storage is used again.
#ifndef _WIN32
TEST_F(DeviceTest, TextureLevelsNeverFilledAreBlack) {
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    for (D3DCOLOR fill : {0xFFFF0000u, 0u}) {
        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(
            device->CreateTexture(4, 4, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
            D3D_OK);
        if (fill != 0)
            fillLevel(texture, 0, fill);
        device->SetTexture(0, texture);
        clear(0xFF0000FF);
        device->BeginScene();
        drawRectangle(100, 100, 104, 104, 0.5f, 0xFFFFFFFF);
        device->EndScene();
        expectNear(readBack()[101 * width + 101], fill != 0 ? fill : 0xFF000000u, 8);
        device->SetTexture(0, nullptr);
        texture->Release();
    }
}
#endif

// Smaller than its last level, a texture of fewer levels than a full chain shows that level.
TEST_F(DeviceTest, MipFilterStopsAtTheTexturesLastLevel) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(
        device->CreateTexture(8, 8, 2, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
        D3D_OK);
    fillLevel(texture, 0, 0xFFFF0000);
    fillLevel(texture, 1, 0xFF00FF00);
    device->SetTexture(0, texture);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    clear(0xFF000000);
    device->BeginScene();
    drawRectangle(100, 100, 102, 102, 0.5f, 0xFFFFFFFF);
    device->EndScene();
    expectNear(readBack()[100 * width + 100], 0xFF00FF00, 8);
    device->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(DeviceTest, AlphaBlendingMixesBySourceAlpha) {
    clear(0xFF0000FF);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->BeginScene();
    drawRectangle(0, 0, float(width), float(height), 0.5f, 0x80FF0000);
    device->EndScene();
    expectNear(centre(), 0xFF80007F, 2);

    // Blending off: the colour replaces what is there.
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->BeginScene();
    drawRectangle(0, 0, float(width), float(height), 0.5f, 0x80FF0000);
    device->EndScene();
    EXPECT_EQ(centre(), 0xFFFF0000u);
}

TEST_F(DeviceTest, TexturesHaveTheirLevelsAndCheckTheirLocks) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(
        device->CreateTexture(64, 16, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
        D3D_OK);
    EXPECT_EQ(texture->GetLevelCount(), 7u);
    EXPECT_EQ(texture->GetType(), D3DRTYPE_TEXTURE);
    D3DSURFACE_DESC desc = {};
    ASSERT_EQ(texture->GetLevelDesc(2, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 16u);
    EXPECT_EQ(desc.Height, 4u);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
    ASSERT_EQ(texture->GetLevelDesc(6, &desc), D3D_OK);
    EXPECT_EQ(desc.Width, 1u);
    EXPECT_EQ(desc.Height, 1u);
    EXPECT_EQ(texture->GetLevelDesc(7, &desc), D3DERR_INVALIDCALL);

    D3DLOCKED_RECT locked = {};
    ASSERT_EQ(texture->LockRect(1, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, 32 * 4);
    EXPECT_EQ(texture->LockRect(1, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->UnlockRect(1), D3D_OK);
    EXPECT_REFUSED(texture->UnlockRect(1));
    const RECT outside = {0, 0, 33, 8};
    EXPECT_REFUSED(texture->LockRect(1, &locked, &outside, 0));
    const RECT inside = {4, 2, 8, 3};
    ASSERT_EQ(texture->LockRect(0, &locked, &inside, 0), D3D_OK);
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);

    // A level surface shares the texture's pixels and its reference count.
    IDirect3DSurface9* surface = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &surface), D3D_OK);
    EXPECT_EQ(texture->AddRef(), 3u);
    texture->Release();
    ASSERT_EQ(surface->LockRect(&locked, nullptr, 0), D3D_OK);
    static_cast<DWORD*>(locked.pBits)[1] = 0x12345678;
    surface->UnlockRect();
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<DWORD*>(locked.pBits)[1], 0x12345678u);
    texture->UnlockRect(0);
    // A rectangle written into a smaller level keeps the rest of the level as it was.
    const RECT corner = {2, 1, 3, 2};
    ASSERT_EQ(texture->LockRect(1, &locked, &corner, 0), D3D_OK);
    *static_cast<DWORD*>(locked.pBits) = 0x80FF4020;
    texture->UnlockRect(1);
    ASSERT_EQ(texture->LockRect(1, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    const DWORD* row =
        reinterpret_cast<const DWORD*>(static_cast<BYTE*>(locked.pBits) + locked.Pitch);
    EXPECT_EQ(row[2], 0x80FF4020u);
    EXPECT_EQ(row[1], 0u);
    EXPECT_EQ(row[3], 0u);
    texture->UnlockRect(1);
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<DWORD*>(locked.pBits)[1], 0x12345678u);
    texture->UnlockRect(0);
    surface->Release();
    EXPECT_EQ(texture->Release(), 0u);

    IDirect3DTexture9* refused = nullptr;
    EXPECT_REFUSED(
        device->CreateTexture(64, 16, 8, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &refused, nullptr));
    EXPECT_EQ(
        device->CreateTexture(0, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &refused, nullptr),
        D3DERR_INVALIDCALL);
    EXPECT_EQ(refused, nullptr);
}

TEST_F(DeviceTest, BuffersDrawIndexedAndRefuseIndicesBeyondTheirVertices) {
    const Vertex vertices[4] = {{-0.5f, -0.5f, 0.5f, 0, 0, -1, 0, 0},
                                {-0.5f, 0.5f, 0.5f, 0, 0, -1, 0, 0},
                                {0.5f, 0.5f, 0.5f, 0, 0, -1, 0, 0},
                                {0.5f, -0.5f, 0.5f, 0, 0, -1, 0, 0}};
    const WORD indices[6] = {0, 1, 2, 0, 2, 3};
    IDirect3DVertexBuffer9* vertexBuffer = nullptr;
    IDirect3DIndexBuffer9* indexBuffer = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(sizeof vertices, 0, vertexFormat, D3DPOOL_MANAGED,
                                         &vertexBuffer, nullptr),
              D3D_OK);
    ASSERT_EQ(device->CreateIndexBuffer(sizeof indices, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED,
                                        &indexBuffer, nullptr),
              D3D_OK);
    D3DVERTEXBUFFER_DESC vertexDesc = {};
    vertexBuffer->GetDesc(&vertexDesc);
    EXPECT_EQ(vertexDesc.Size, sizeof vertices);
    EXPECT_EQ(vertexDesc.FVF, vertexFormat);
    D3DINDEXBUFFER_DESC indexDesc = {};
    indexBuffer->GetDesc(&indexDesc);
    EXPECT_EQ(indexDesc.Format, D3DFMT_INDEX16);

    void* data = nullptr;
    EXPECT_REFUSED(vertexBuffer->Lock(8, sizeof vertices, &data, 0));
    EXPECT_REFUSED(vertexBuffer->Unlock());
    ASSERT_EQ(vertexBuffer->Lock(0, 0, &data, 0), D3D_OK);
    std::memcpy(data, vertices, sizeof vertices);
    vertexBuffer->Unlock();
    ASSERT_EQ(indexBuffer->Lock(0, 0, &data, 0), D3D_OK);
    std::memcpy(data, indices, sizeof indices);
    indexBuffer->Unlock();

    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetFVF(vertexFormat);
    device->SetStreamSource(0, vertexBuffer, 0, sizeof(Vertex));
    device->SetIndices(indexBuffer);
    clear(0xFF000000);
    EXPECT_REFUSED(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2)); // no scene
    device->BeginScene();
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    // A base vertex that sends index 3 past the buffer, and indices past the index buffer.
    EXPECT_REFUSED(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 1, 0, 4, 0, 2));
    EXPECT_REFUSED(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 3, 2));
    EXPECT_REFUSED(device->DrawPrimitive(D3DPT_TRIANGLELIST, 2, 1));
    // Without an index buffer, or without vertices, an indexed draw has nothing to read.
    device->SetIndices(nullptr);
    EXPECT_REFUSED(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2));
    device->SetIndices(indexBuffer);
    device->SetStreamSource(0, nullptr, 0, 0);
    EXPECT_REFUSED(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2));
    device->SetStreamSource(0, vertexBuffer, 0, sizeof(Vertex));
    device->EndScene();
    std::vector<D3DCOLOR> pixels = readBack();
    EXPECT_EQ(pixels[size_t(height / 2) * width + width / 2], 0xFFFFFFFFu);
    EXPECT_EQ(pixels[size_t(height / 4 + 2) * width + width / 4 + 2], 0xFFFFFFFFu);
    EXPECT_EQ(pixels[size_t(height / 4 - 2) * width + width / 4 - 2], 0xFF000000u);

    // A draw straight from the vertex buffer, from its second vertex on: the upper right half.
    clear(0xFF000000);
    device->BeginScene();
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 1, 1), D3D_OK);
    device->EndScene();
    pixels = readBack();
    EXPECT_EQ(pixels[size_t(height * 3 / 8) * width + width * 5 / 8], 0xFFFFFFFFu);
    EXPECT_EQ(pixels[size_t(height * 5 / 8) * width + width * 3 / 8], 0xFF000000u);

    // Bound buffers are reported and outlive their last Release until unbound.
    IDirect3DVertexBuffer9* stream = nullptr;
    UINT offset = 1;
    UINT stride = 0;
    ASSERT_EQ(device->GetStreamSource(0, &stream, &offset, &stride), D3D_OK);
    EXPECT_EQ(stream, vertexBuffer);
    EXPECT_EQ(offset, 0u);
    EXPECT_EQ(stride, sizeof(Vertex));
    stream->Release();
    EXPECT_EQ(vertexBuffer->Release(), 0u);
    EXPECT_EQ(indexBuffer->Release(), 0u);
    device->BeginScene();
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    device->EndScene();

    // Drawing from user memory unsets the stream and the indices.
    device->BeginScene();
    const WORD userIndices[3] = {0, 1, 2};
    EXPECT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 1, userIndices,
                                             D3DFMT_INDEX16, vertices, sizeof(Vertex)),
              D3D_OK);
    const WORD beyond[3] = {0, 1, 3};
    EXPECT_REFUSED(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 1, beyond,
                                                  D3DFMT_INDEX16, vertices, sizeof(Vertex)));
    device->EndScene();
    ASSERT_EQ(device->GetStreamSource(0, &stream, &offset, &stride), D3D_OK);
    EXPECT_EQ(stream, nullptr);
    IDirect3DIndexBuffer9* boundIndices = indexBuffer;
    ASSERT_EQ(device->GetIndices(&boundIndices), D3D_OK);
    EXPECT_EQ(boundIndices, nullptr);
}

// Consecutive indexed draws reuse the vertex set-up and the texture stage where they can:
// they must still follow every change of buffer, texture and vertex source between them.
TEST_F(DeviceTest, IndexedDrawsFollowEachChangeOfBufferAndTexture) {
    // A quad with texture coordinates 0..1 over x0..x1, y0..y1 (clip space at depth 0.5).
    auto quadBuffer = [&](float x0, float y0, float x1, float y1) {
        const Vertex vertices[4] = {{x0, y0, 0.5f, 0, 0, -1, 0, 1},
                                    {x0, y1, 0.5f, 0, 0, -1, 0, 0},
                                    {x1, y1, 0.5f, 0, 0, -1, 1, 0},
                                    {x1, y0, 0.5f, 0, 0, -1, 1, 1}};
        return filledVertexBuffer(device, vertices, sizeof vertices, vertexFormat);
    };
    const WORD indices[6] = {0, 1, 2, 0, 2, 3};
    IDirect3DIndexBuffer9* indexBuffer = filledIndexBuffer(device, indices, sizeof indices);
    ASSERT_NE(indexBuffer, nullptr);
    IDirect3DTexture9* red = solidTexture(0xFFFF0000, 0xFFFF0000);
    IDirect3DTexture9* green = solidTexture(0xFF00FF00, 0xFF00FF00);
    IDirect3DTexture9* blue = solidTexture(0xFF0000FF, 0xFF0000FF);
    IDirect3DVertexBuffer9* left = quadBuffer(-1, -1, -0.1f, 1);
    IDirect3DVertexBuffer9* right = quadBuffer(0.1f, -1, 1, 1);
    const UINT row = height / 4, leftX = width / 8, rightX = width - width / 8;
    const UINT topRow = height / 8, bottomRow = height - height / 8;
    auto at = [&](const std::vector<D3DCOLOR>& pixels, UINT x, UINT y) {
        return pixels[size_t(y) * width + x];
    };

    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetFVF(vertexFormat);
    device->SetIndices(indexBuffer);
    clear(0xFF000000);
    device->BeginScene();
    device->SetStreamSource(0, left, 0, sizeof(Vertex));
    device->SetTexture(0, red);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    device->SetTexture(0, green);
    device->SetStreamSource(0, right, 0, sizeof(Vertex));
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    device->EndScene();
    std::vector<D3DCOLOR> pixels = readBack();
    EXPECT_EQ(at(pixels, leftX, row), 0xFFFF0000u);
    EXPECT_EQ(at(pixels, rightX, row), 0xFF00FF00u);

    // Vertices from user memory between two draws of one buffer: the second draw takes the
    // buffer's vertices again.
    clear(0xFF000000);
    device->BeginScene();
    device->SetStreamSource(0, left, 0, sizeof(Vertex));
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    device->SetTexture(0, blue);
    drawTriangle(0.5f);
    device->SetStreamSource(0, left, 0, sizeof(Vertex));
    device->SetIndices(indexBuffer);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    device->EndScene();
    pixels = readBack();
    EXPECT_EQ(at(pixels, leftX, row), 0xFF0000FFu);
    EXPECT_EQ(at(pixels, rightX, row), 0xFF000000u);

    // Buffers released and new ones made, which may get the old buffers' names: the draws
    // show the new buffers' vertices (top and bottom halves now).
    device->SetStreamSource(0, nullptr, 0, 0);
    EXPECT_EQ(left->Release(), 0u);
    EXPECT_EQ(right->Release(), 0u);
    IDirect3DVertexBuffer9* top = quadBuffer(-1, 0.1f, 1, 1);
    IDirect3DVertexBuffer9* bottom = quadBuffer(-1, -1, 1, -0.1f);
    clear(0xFF000000);
    device->BeginScene();
    device->SetStreamSource(0, top, 0, sizeof(Vertex));
    device->SetTexture(0, red);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    device->SetStreamSource(0, bottom, 0, sizeof(Vertex));
    device->SetTexture(0, green);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    device->EndScene();
    pixels = readBack();
    EXPECT_EQ(at(pixels, width / 2, topRow), 0xFFFF0000u);
    EXPECT_EQ(at(pixels, width / 2, bottomRow), 0xFF00FF00u);

    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetIndices(nullptr);
    device->SetTexture(0, nullptr);
    EXPECT_EQ(top->Release(), 0u);
    EXPECT_EQ(bottom->Release(), 0u);
    EXPECT_EQ(indexBuffer->Release(), 0u);
    red->Release();
    green->Release();
    blue->Release();
}

// Specular light, when enabled, is added after texturing: it shows even on a black texture.
// Without it the black texture stays black.
TEST_F(DeviceTest, SpecularLightIsAddedAfterTheTextureOnlyWhenEnabled) {
    D3DLIGHT9 light = {};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
    light.Specular = {1.0f, 1.0f, 1.0f, 0.0f};
    light.Direction = {0.0f, 0.0f, 1.0f};
    device->SetLight(0, &light);
    device->LightEnable(0, TRUE);
    D3DMATERIAL9 material = {};
    material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    material.Specular = {0.5f, 0.5f, 0.5f, 1.0f};
    device->SetMaterial(&material); // power 0: the full specular colour wherever lit
    IDirect3DTexture9* black = solidTexture(0xFF000000, 0xFF000000);
    device->SetTexture(0, black);

    clear(0xFF000000);
    device->BeginScene();
    drawTriangle(0.5f);
    device->EndScene();
    EXPECT_EQ(centre(), 0xFF000000u);

    device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    clear(0xFF000000);
    device->BeginScene();
    drawTriangle(0.5f);
    device->EndScene();
    expectNear(centre(), 0xFF808080);

    device->SetTexture(0, nullptr);
    black->Release();
}

TEST_F(DeviceTest, ResourcesHoldTheDeviceAndSceneCallsPair) {
    EXPECT_EQ(device->AddRef(), 2u);
    EXPECT_EQ(device->Release(), 1u);
    IDirect3DSurface9* surface = nullptr;
    ASSERT_EQ(device->CreateOffscreenPlainSurface(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                  &surface, nullptr),
              D3D_OK);
    EXPECT_EQ(device->AddRef(), 3u);
    device->Release();
    IDirect3DDevice9* owner = nullptr;
    ASSERT_EQ(surface->GetDevice(&owner), D3D_OK);
    EXPECT_EQ(owner, device);
    owner->Release();
    EXPECT_EQ(surface->Release(), 0u);
    EXPECT_EQ(device->AddRef(), 2u);
    device->Release();

    IDirect3DSurface9* target = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &target), D3D_OK);
    D3DSURFACE_DESC desc = {};
    target->GetDesc(&desc);
    EXPECT_EQ(desc.Width, width);
    EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(desc.Usage, DWORD(D3DUSAGE_RENDERTARGET));
    D3DLOCKED_RECT locked = {};
    EXPECT_EQ(target->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL);
    target->Release();

    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->EndScene(), D3D_OK);
}

// The layer's front buffer is the window's picture, read into a surface of the back buffer's
// size. On Windows it is a copy of the whole screen into a surface of the display's size (Wine
// refuses the smaller one), so this reading is the layer's own.
#ifndef _WIN32
TEST_F(DeviceTest, FrontBufferHoldsTheLastPresentedPicture) {
    IDirect3DSurface9* copy = nullptr;
    ASSERT_EQ(device->CreateOffscreenPlainSurface(width, height, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                  &copy, nullptr),
              D3D_OK);
    auto frontCorners = [&] {
        EXPECT_EQ(device->GetFrontBufferData(0, copy), D3D_OK);
        D3DLOCKED_RECT locked = {};
        copy->LockRect(&locked, nullptr, D3DLOCK_READONLY);
        const BYTE* bits = static_cast<const BYTE*>(locked.pBits);
        const DWORD first = *reinterpret_cast<const DWORD*>(bits);
        const DWORD last =
            *reinterpret_cast<const DWORD*>(bits + (height - 1) * locked.Pitch + (width - 1) * 4);
        copy->UnlockRect();
        EXPECT_EQ(first, last);
        return first;
    };

    clear(0xFF204060);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(frontCorners(), 0xFF204060u);
    // The picture being drawn does not show until it is presented.
    clear(0xFF00FF00);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    clear(0xFFFF0000);
    EXPECT_EQ(frontCorners(), 0xFF00FF00u);
    copy->Release();

    const RECT source = {0, 0, 10, 10};
    EXPECT_EQ(device->Present(&source, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
}

// Before the first call nothing keeps a copy, so a draw after the Present loses the picture:
// the call says so instead of returning another one, and later calls have the copy.
TEST_F(DeviceTest, FrontBufferIsNotAvailableOnceADrawFollowedThePresent) {
    IDirect3DSurface9* copy = nullptr;
    ASSERT_EQ(device->CreateOffscreenPlainSurface(width, height, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                  &copy, nullptr),
              D3D_OK);
    clear(0xFF204060);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    ASSERT_EQ(drawRectangle(0, 0, 16, 16, 0.5f, 0xFFFF0000), D3D_OK);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    EXPECT_EQ(device->GetFrontBufferData(0, copy), D3DERR_NOTAVAILABLE);

    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    clear(0xFF00FF00);
    ASSERT_EQ(device->GetFrontBufferData(0, copy), D3D_OK);
    D3DLOCKED_RECT locked = {};
    ASSERT_EQ(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    const DWORD* row = static_cast<const DWORD*>(locked.pBits);
    EXPECT_EQ(row[0], 0xFFFF0000u);  // the rectangle
    EXPECT_EQ(row[32], 0xFF204060u); // the clear colour beside it
    copy->UnlockRect();
    copy->Release();
}
#endif

#ifndef _WIN32
TEST(FrameReport, DeviceSummarisesItsFramesWhenAsked) {
    TestDevice testDevice(1024, 768);
    setenv("VARNEL_FRAME_REPORT", "1", 1);
    testDevice.create(windowedParameters(), D3DCREATE_SOFTWARE_VERTEXPROCESSING);
    unsetenv("VARNEL_FRAME_REPORT");
    if (testDevice.device == nullptr)
        return;
    testing::internal::CaptureStderr();
    // The first picture starts the clock; the frames after it are counted.
    for (int frame = 0; frame < 5; ++frame)
        testDevice.device->Present(nullptr, nullptr, nullptr, nullptr);
    testDevice.release();
    const std::string report = testing::internal::GetCapturedStderr();
    EXPECT_THAT(report, testing::MatchesRegex(
                            "frame rate: [0-9]+\\.[0-9] fps average over 4 frames in [0-9.]+ s\n"
                            "shader programs: [0-9]+ compiled in [0-9]+\\.[0-9] ms\n"));
}
#endif

} // namespace
