// How the device's light, material, vertex format, depth, scissor, colour write and sampler
// states reach the picture, read back through the Direct3D calls: a spot light's cones,
// specular light with its attenuation, a light direction of any length, normals normalized or
// not, light and material changes between draws of one program, vertices without colours, the
// specular colour and the texture coordinates after it, the depth write turned off and on
// again, the scissor test, clears under a colour write mask, the mip filter's choice of level,
// the texture each draw reads, the pixel centres of transformed vertices, and the place of a
// texture coordinate set after sets of other sizes. Needs a display
// (tools/with-display.sh provides one).
#include "support/test_device.h"

#include <algorithm>
#include <cmath>

namespace {

struct NormalVertex {
    float x, y, z;
    float nx, ny, nz;
};
constexpr DWORD normalFormat = D3DFVF_XYZ | D3DFVF_NORMAL;

struct TexturedScreenVertex {
    float x, y, z, rhw;
    float u, v;
};

int level(float value) {
    return int(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
}

void expectGrey(uint32_t pixel, float value, int tolerance = 2) {
    for (int shift : {16, 8, 0})
        EXPECT_NEAR(int((pixel >> shift) & 0xff), level(value), tolerance)
            << std::hex << pixel << " channel " << std::dec << shift;
}

class DrawStateTest : public SmallDeviceTest {
protected:
    uint32_t centre() { return readBack()[size_t(height / 2) * width + width / 2] & 0xFFFFFF; }

    // Clears, draws and gives the centre pixel.
    template <typename Draw> uint32_t frame(Draw draw) {
        EXPECT_EQ(
            device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0),
            D3D_OK);
        EXPECT_EQ(device->BeginScene(), D3D_OK);
        draw();
        EXPECT_EQ(device->EndScene(), D3D_OK);
        return centre();
    }

    // A triangle round the centre facing the viewer, its corners 0.5 from the centre in clip
    // space at depth 0.5, so that a light on the axis treats the three alike. Its vertices'
    // normal faces the viewer unless given.
    void drawLitTriangle(D3DVECTOR n = {0, 0, -1}) {
        const NormalVertex vertices[3] = {{0.0f, 0.5f, 0.5f, n.x, n.y, n.z},
                                          {0.433013f, -0.25f, 0.5f, n.x, n.y, n.z},
                                          {-0.433013f, -0.25f, 0.5f, n.x, n.y, n.z}};
        device->SetFVF(normalFormat);
        EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, vertices, sizeof(NormalVertex)),
                  D3D_OK);
    }

    void useMaterial(D3DCOLORVALUE diffuse, D3DCOLORVALUE specular = {}, float power = 0.0f) {
        D3DMATERIAL9 material = {};
        material.Diffuse = diffuse;
        material.Specular = specular;
        material.Power = power;
        ASSERT_EQ(device->SetMaterial(&material), D3D_OK);
    }

    // A directional light of a grey diffuse level in slot 0 on a white material.
    void useDirectionalLight(D3DVECTOR direction, float diffuse) {
        D3DLIGHT9 light = {};
        light.Type = D3DLIGHT_DIRECTIONAL;
        light.Diffuse = {diffuse, diffuse, diffuse, 1.0f};
        light.Direction = direction;
        useLight(0, light);
        useMaterial({1.0f, 1.0f, 1.0f, 1.0f});
    }

    void useLight(DWORD index, const D3DLIGHT9& light) {
        ASSERT_EQ(device->SetLight(index, &light), D3D_OK);
        ASSERT_EQ(device->LightEnable(index, TRUE), D3D_OK);
    }

    // Sets stage 0 to show a 2 x 1 texture, red left and green right, clamped in u. The caller
    // releases it.
    IDirect3DTexture9* useRedGreenTexture() {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(
            device->CreateTexture(2, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
            D3D_OK);
        D3DLOCKED_RECT locked = {};
        EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        static_cast<D3DCOLOR*>(locked.pBits)[0] = 0xFFFF0000;
        static_cast<D3DCOLOR*>(locked.pBits)[1] = 0xFF00FF00;
        EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
        EXPECT_EQ(device->SetTexture(0, texture), D3D_OK);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
        return texture;
    }

    // A screen rectangle at depth z in one colour.
    void drawRectangle(float z, D3DCOLOR colour) {
        struct {
            float x, y, z, rhw;
            D3DCOLOR colour;
        } vertices[4] = {{0, 0, z, 1, colour},
                         {float(width), 0, z, 1, colour},
                         {0, float(height), z, 1, colour},
                         {float(width), float(height), z, 1, colour}};
        device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
        EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, vertices, sizeof vertices[0]),
                  D3D_OK);
    }
};

TEST_F(DrawStateTest, SpotLightIsFullInsideItsInnerConeDarkOutsideItsOuterConeAndFallsOffBetween) {
    // The light is 1 in front of the face's plane; each corner is 0.5 off its axis.
    D3DLIGHT9 light = {};
    light.Type = D3DLIGHT_SPOT;
    light.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    light.Position = {0.0f, 0.0f, -0.5f};
    light.Direction = {0.0f, 0.0f, 1.0f};
    light.Range = 100.0f;
    light.Attenuation0 = 1.0f;
    useMaterial({1.0f, 1.0f, 1.0f, 1.0f});
    const float rho = 1.0f / std::sqrt(1.25f); // the corners' cosine to the axis, and to the face
    const float pi = 3.14159265f;
    const struct {
        float theta, phi, falloff; // full cone angles in degrees
    } cases[] = {{60, 90, 1}, {20, 40, 1}, {40, 80, 1}, {40, 80, 2}};
    for (const auto& c : cases) {
        light.Theta = c.theta * pi / 180.0f;
        light.Phi = c.phi * pi / 180.0f;
        light.Falloff = c.falloff;
        useLight(0, light);
        const float inner = std::cos(light.Theta / 2);
        const float outer = std::cos(light.Phi / 2);
        const float spot = rho > inner    ? 1.0f
                           : rho <= outer ? 0.0f
                                          : std::pow((rho - outer) / (inner - outer), c.falloff);
        SCOPED_TRACE(testing::Message() << "theta " << c.theta << ", phi " << c.phi);
        expectGrey(frame([&] { drawLitTriangle(); }), rho * spot);
    }
}

TEST_F(DrawStateTest, SpecularLightIsAttenuatedAsTheDiffuseIs) {
    D3DLIGHT9 light = {};
    light.Type = D3DLIGHT_POINT;
    light.Specular = {1.0f, 1.0f, 1.0f, 1.0f};
    light.Position = {0.0f, 0.0f, -10.0f};
    light.Range = 100.0f;
    light.Attenuation0 = 2.0f;
    useLight(0, light);
    const float power = 4.0f;
    useMaterial({0.0f, 0.0f, 0.0f, 1.0f}, {1.0f, 1.0f, 1.0f, 1.0f}, power);
    device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    device->SetRenderState(D3DRS_LOCALVIEWER, FALSE);
    // Each corner: towards the light (-x, -y, -10.5) / d, the viewer along -z; the halfway
    // vector's cosine to the normal (0, 0, -1), to the material's power, over the attenuation.
    const float d = std::sqrt(0.25f + 10.5f * 10.5f);
    const float along = 10.5f / d + 1.0f;
    const float halfway = along / std::sqrt(0.25f / (d * d) + along * along);
    expectGrey(frame([&] { drawLitTriangle(); }), std::pow(halfway, power) / 2.0f);

    // Without the specular state the face is black.
    device->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
    expectGrey(frame([&] { drawLitTriangle(); }), 0.0f);
}

// The halfway vector of a light 36.87 degrees off the axis is 18.43 degrees off the normal:
// its cosine to the material's power of 10.
TEST_F(DrawStateTest, SpecularHighlightNarrowsWithTheMaterialsPower) {
    D3DLIGHT9 light = {};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Specular = {1.0f, 1.0f, 1.0f, 1.0f};
    light.Direction = {0.0f, 0.6f, 0.8f};
    useLight(0, light);
    useMaterial({0.0f, 0.0f, 0.0f, 1.0f}, {1.0f, 1.0f, 1.0f, 1.0f}, 10.0f);
    device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    device->SetRenderState(D3DRS_LOCALVIEWER, FALSE); // the viewer along -z
    const float halfway = 1.8f / std::sqrt(0.36f + 1.8f * 1.8f);
    expectGrey(frame([&] { drawLitTriangle(); }), std::pow(halfway, 10.0f));
}

TEST_F(DrawStateTest, LightDirectionOfAnyLengthGivesTheCosine) {
    useDirectionalLight({0.0f, -3.0f, 4.0f}, 0.5f); // length 5, 0.8 of it into the face
    expectGrey(frame([&] { drawLitTriangle(); }), 0.5f * 0.8f);
}

// The world turns the normals with the face: a normal tilted towards a tilted light, turned
// 60 degrees about the view axis, keeps only part of the cosine.
TEST_F(DrawStateTest, NormalsTurnWithTheWorld) {
    useDirectionalLight({0.6f, 0.0f, 0.8f}, 1.0f);
    const D3DVECTOR normal = {-0.6f, 0.0f, -0.8f};
    expectGrey(frame([&] { drawLitTriangle(normal); }), 1.0f);
    const float c = 0.5f, s = 0.866025f;
    const D3DMATRIX turned = {c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    ASSERT_EQ(device->SetTransform(D3DTS_WORLD, &turned), D3D_OK);
    // The normal becomes (-0.6 c, -0.6 s, -0.8); towards the light is (-0.6, 0, -0.8).
    expectGrey(frame([&] { drawLitTriangle(normal); }), 0.36f * c + 0.64f);
}

TEST_F(DrawStateTest, ChangedLightsAndMaterialReachTheNextDrawOfTheSameProgram) {
    D3DLIGHT9 first = {};
    first.Type = D3DLIGHT_DIRECTIONAL;
    first.Diffuse = {0.25f, 0.25f, 0.25f, 1.0f};
    first.Direction = {0.0f, 0.0f, 1.0f};
    D3DLIGHT9 second = first;
    useLight(0, first);
    useLight(1, second);
    useMaterial({1.0f, 1.0f, 1.0f, 1.0f});
    expectGrey(frame([&] { drawLitTriangle(); }), 0.5f);
    second.Diffuse = {0.5f, 0.5f, 0.5f, 1.0f};
    useLight(1, second);
    expectGrey(frame([&] { drawLitTriangle(); }), 0.75f);
    first.Diffuse = {0.0f, 0.0f, 0.0f, 1.0f};
    useLight(0, first);
    expectGrey(frame([&] { drawLitTriangle(); }), 0.5f);
    useMaterial({0.5f, 0.5f, 0.5f, 1.0f});
    expectGrey(frame([&] { drawLitTriangle(); }), 0.25f);
}

TEST_F(DrawStateTest, VerticesWithoutColoursAreWhite) {
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    const D3DVECTOR corners[3] = {{0.0f, 0.5f, 0.5f}, {0.5f, -0.5f, 0.5f}, {-0.5f, -0.5f, 0.5f}};
    EXPECT_EQ(frame([&] {
                  device->SetFVF(D3DFVF_XYZ);
                  device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, corners, sizeof corners[0]);
              }),
              0xFFFFFFu);
    // Nor does a missing specular colour add anything.
    device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    const struct {
        float x, y, z, rhw;
    } screen[4] = {{0, 0, 0.5f, 1},
                   {float(width), 0, 0.5f, 1},
                   {0, float(height), 0.5f, 1},
                   {float(width), float(height), 0.5f, 1}};
    EXPECT_EQ(frame([&] {
                  device->SetFVF(D3DFVF_XYZRHW);
                  device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, screen, sizeof screen[0]);
              }),
              0xFFFFFFu);
}

TEST_F(DrawStateTest, DepthWriteTurnedOffAndOnAgainWithinAFrameAndAfterAClear) {
    // Red does not write its depth; green does, so blue behind it stays hidden.
    auto layers = [&] {
        device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
        drawRectangle(0.3f, 0xFFFF0000);
        device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
        drawRectangle(0.5f, 0xFF00FF00);
        drawRectangle(0.7f, 0xFF0000FF);
    };
    EXPECT_EQ(frame(layers), 0x00FF00u);
    // The last draw of a frame leaves the depth write off, and the next frame starts with it
    // off: the clear does not turn it on for the draws.
    EXPECT_EQ(frame([&] {
                  layers();
                  device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
                  drawRectangle(0.9f, 0xFFFFFFFF);
              }),
              0x00FF00u);
    EXPECT_EQ(frame(layers), 0x00FF00u);
}

TEST_F(DrawStateTest, SpecularColourIsAddedAfterTheStageAndTheTextureCoordinatesFollowIt) {
    IDirect3DTexture9* texture = useRedGreenTexture();
    device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    // Every vertex on the green texel, with a black diffuse and a half blue specular colour.
    struct {
        float x, y, z, rhw;
        D3DCOLOR diffuse, specular;
        float u, v;
    } vertices[4] = {{0, 0, 0.5f, 1, 0xFF000000, 0x00000080, 0.75f, 0.5f},
                     {float(width), 0, 0.5f, 1, 0xFF000000, 0x00000080, 0.75f, 0.5f},
                     {0, float(height), 0.5f, 1, 0xFF000000, 0x00000080, 0.75f, 0.5f},
                     {float(width), float(height), 0.5f, 1, 0xFF000000, 0x00000080, 0.75f, 0.5f}};
    EXPECT_EQ(frame([&] {
                  device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1);
                  device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, vertices, sizeof vertices[0]);
              }),
              0x00FF80u);
    device->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(DrawStateTest, NormalizedNormalsGiveTheCosineWhateverTheirLength) {
    useDirectionalLight({0.0f, 0.0f, 1.0f}, 0.5f);
    device->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
    const NormalVertex vertices[3] = {{0.0f, 0.5f, 0.5f, 0, 0, -2},
                                      {0.5f, -0.5f, 0.5f, 0, 0, -2},
                                      {-0.5f, -0.5f, 0.5f, 0, 0, -2}};
    auto draw = [&] {
        device->SetFVF(normalFormat);
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, vertices, sizeof(NormalVertex));
    };
    expectGrey(frame(draw), 0.5f);
    // Left as they are, normals twice as long give twice the light.
    device->SetRenderState(D3DRS_NORMALIZENORMALS, FALSE);
    expectGrey(frame(draw), 1.0f);
}

TEST_F(DrawStateTest, ScissorRectangleBoundsTheDrawsOnceEnabled) {
    const RECT rectangle = {10, 20, 50, 40};
    ASSERT_EQ(device->SetScissorRect(&rectangle), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0),
              D3D_OK);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    drawRectangle(0.5f, 0xFF0000FF);
    // Enabled between two draws of a frame.
    device->SetRenderState(D3DRS_SCISSORTESTENABLE, TRUE);
    drawRectangle(0.4f, 0xFFFFFFFF);
    // Moved while enabled.
    const RECT moved = {60, 20, 100, 40};
    ASSERT_EQ(device->SetScissorRect(&moved), D3D_OK);
    drawRectangle(0.3f, 0xFF00FF00);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    const std::vector<uint32_t> pixels = readBack();
    int wrong = 0;
    for (UINT y = 0; y < height; ++y)
        for (UINT x = 0; x < width; ++x) {
            const bool rows = y >= 20 && y < 40;
            const uint32_t expected = rows && x >= 10 && x < 50    ? 0xFFFFFFu
                                      : rows && x >= 60 && x < 100 ? 0x00FF00u
                                                                   : 0xFFu;
            wrong += (pixels[size_t(y) * width + x] & 0xFFFFFF) != expected;
        }
    EXPECT_EQ(wrong, 0);
    device->SetRenderState(D3DRS_SCISSORTESTENABLE, FALSE);
    EXPECT_EQ(frame([&] { drawRectangle(0.5f, 0xFFFFFFFF); }), 0xFFFFFFu);
}

TEST_F(DrawStateTest, ClearWritesTheColourWhateverTheColourWriteState) {
    device->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
    EXPECT_EQ(frame([&] { drawRectangle(0.5f, 0xFFFFFFFF); }), 0u);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0), D3D_OK);
    EXPECT_EQ(centre(), 0xFF0000u);
}

TEST_F(DrawStateTest, MipFilterPicksTheLevelOfTheTexelsPerPixel) {
    // Levels of 4, 2 and 1 texels square in red, green and blue.
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(
        device->CreateTexture(4, 4, 3, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
        D3D_OK);
    const D3DCOLOR colours[3] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
    for (UINT i = 0; i < 3; ++i) {
        const UINT side = 4u >> i;
        D3DLOCKED_RECT locked = {};
        ASSERT_EQ(texture->LockRect(i, &locked, nullptr, 0), D3D_OK);
        for (UINT y = 0; y < side; ++y)
            std::fill_n(
                reinterpret_cast<D3DCOLOR*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch),
                side, colours[i]);
        ASSERT_EQ(texture->UnlockRect(i), D3D_OK);
    }
    ASSERT_EQ(device->SetTexture(0, texture), D3D_OK);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    // The screen with `texels` texels of level 0 to a pixel each way.
    auto drawn = [&](float texels) {
        const float u = float(width) * texels / 4.0f;
        const float v = float(height) * texels / 4.0f;
        const TexturedScreenVertex vertices[4] = {{0, 0, 0.5f, 1, 0, 0},
                                                  {float(width), 0, 0.5f, 1, u, 0},
                                                  {0, float(height), 0.5f, 1, 0, v},
                                                  {float(width), float(height), 0.5f, 1, u, v}};
        return frame([&] {
            device->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
            device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, vertices, sizeof vertices[0]);
        });
    };
    // Without a mip filter only the first level is read.
    EXPECT_EQ(drawn(2.0f), 0xFF0000u);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    EXPECT_EQ(drawn(2.0f), 0x00FF00u);
    EXPECT_EQ(drawn(4.0f), 0x0000FFu);
    EXPECT_EQ(drawn(1.0f), 0xFF0000u);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
    EXPECT_EQ(drawn(4.0f), 0xFF0000u);
    device->SetTexture(0, nullptr);
    texture->Release();
}

} // namespace

namespace {

// A texture of one texel in one colour.
IDirect3DTexture9* oneTexel(IDirect3DDevice9* device, D3DCOLOR colour) {
    IDirect3DTexture9* texture = nullptr;
    if (device->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr) !=
        D3D_OK)
        return nullptr;
    D3DLOCKED_RECT locked = {};
    if (texture->LockRect(0, &locked, nullptr, 0) == D3D_OK) {
        *static_cast<D3DCOLOR*>(locked.pBits) = colour;
        texture->UnlockRect(0);
    }
    return texture;
}

} // namespace

TEST_F(DrawStateTest, EachDrawReadsTheTextureSetForItNotTheLastOneFilled) {
    IDirect3DTexture9* red = oneTexel(device, 0xFFFF0000);
    IDirect3DTexture9* green = oneTexel(device, 0xFF00FF00);
    ASSERT_NE(red, nullptr);
    ASSERT_NE(green, nullptr);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    const TexturedScreenVertex vertices[4] = {{0, 0, 0.5f, 1, 0, 0},
                                              {float(width), 0, 0.5f, 1, 1, 0},
                                              {0, float(height), 0.5f, 1, 0, 1},
                                              {float(width), float(height), 0.5f, 1, 1, 1}};
    auto drawnWith = [&](IDirect3DTexture9* texture) {
        EXPECT_EQ(device->SetTexture(0, texture), D3D_OK);
        return frame([&] {
            device->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
            device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, vertices, sizeof vertices[0]);
        });
    };
    // Green was filled last; the draws still read the texture each one is given.
    EXPECT_EQ(drawnWith(red), 0xFF0000u);
    EXPECT_EQ(drawnWith(green), 0x00FF00u);
    EXPECT_EQ(drawnWith(red), 0xFF0000u);
    device->SetTexture(0, nullptr);
    green->Release();
    red->Release();
}

// Transformed vertices follow Direct3D's pixel centres as screen vertices do: an edge half way
// between two pixel centres leaves the pixel before it covered and the one after it not, in x
// and in y (the screen is 256 x 128; the transforms are the identity).
TEST_F(DrawStateTest, TransformedEdgesBetweenPixelCentresCoverThePixelsBeforeThem) {
    struct ColouredVertex {
        float x, y, z;
        D3DCOLOR colour;
    };
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    // Right edge at screen x 128.5, then bottom edge at screen y 64.5.
    const float right = 1.0f / float(width), bottom = -1.0f / float(height);
    const ColouredVertex leftPart[4] = {{-2, 2, 0.5f, 0xFFFFFFFF},
                                        {right, 2, 0.5f, 0xFFFFFFFF},
                                        {-2, -2, 0.5f, 0xFFFFFFFF},
                                        {right, -2, 0.5f, 0xFFFFFFFF}};
    const ColouredVertex topPart[4] = {{-2, 2, 0.5f, 0xFFFFFFFF},
                                       {2, 2, 0.5f, 0xFFFFFFFF},
                                       {-2, bottom, 0.5f, 0xFFFFFFFF},
                                       {2, bottom, 0.5f, 0xFFFFFFFF}};
    for (const ColouredVertex* quad : {leftPart, topPart}) {
        frame([&] { device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof *quad); });
        const std::vector<uint32_t> pixels = readBack();
        auto at = [&](UINT x, UINT y) { return pixels[size_t(y) * width + x] & 0xFFFFFF; };
        if (quad == leftPart) {
            EXPECT_EQ(at(width / 2, height / 2), 0xFFFFFFu);
            EXPECT_EQ(at(width / 2 + 1, height / 2), 0u);
        } else {
            EXPECT_EQ(at(width / 2, height / 2), 0xFFFFFFu);
            EXPECT_EQ(at(width / 2, height / 2 + 1), 0u);
        }
    }
}

// The sizes of earlier coordinate sets place the set a stage reads: here set 0 has three
// values and stage 0 reads set 1, whose u picks the green texel.
TEST_F(DrawStateTest, TextureCoordinateSizesPlaceTheSetAStageReads) {
    IDirect3DTexture9* texture = useRedGreenTexture();
    device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 1);
    struct {
        float x, y, z, rhw;
        float s, t, r; // set 0, three values, on the red texel
        float u, v;    // set 1, on the green texel
    } const vertices[4] = {
        {0, 0, 0.5f, 1, 0.25f, 0.25f, 0.25f, 0.75f, 0.5f},
        {float(width), 0, 0.5f, 1, 0.25f, 0.25f, 0.25f, 0.75f, 0.5f},
        {0, float(height), 0.5f, 1, 0.25f, 0.25f, 0.25f, 0.75f, 0.5f},
        {float(width), float(height), 0.5f, 1, 0.25f, 0.25f, 0.25f, 0.75f, 0.5f}};
    EXPECT_EQ(frame([&] {
                  device->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX2 | D3DFVF_TEXCOORDSIZE3(0) |
                                 D3DFVF_TEXCOORDSIZE2(1));
                  device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, vertices, sizeof vertices[0]);
              }),
              0x00FF00u);
    device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    device->SetTexture(0, nullptr);
    texture->Release();
}

// A stage that reads a coordinate set the vertices do not have reads u = v = 0: the red texel,
// where the vertices' own set is on the green one.
TEST_F(DrawStateTest, AStageReadingACoordinateSetTheVerticesLackReadsZero) {
    IDirect3DTexture9* texture = useRedGreenTexture();
    device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 1);
    struct {
        float x, y, z, rhw;
        float u, v;
    } const vertices[4] = {{0, 0, 0.5f, 1, 0.75f, 0.5f},
                           {float(width), 0, 0.5f, 1, 0.75f, 0.5f},
                           {0, float(height), 0.5f, 1, 0.75f, 0.5f},
                           {float(width), float(height), 0.5f, 1, 0.75f, 0.5f}};
    EXPECT_EQ(frame([&] {
                  device->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
                  device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, vertices, sizeof vertices[0]);
              }),
              0xFF0000u);
    device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    device->SetTexture(0, nullptr);
    texture->Release();
}
