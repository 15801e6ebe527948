// How the Direct3D 9 device shades what it draws, checked through the Direct3D calls and the
// picture read back: the directional and point light with the material and the ambient state,
// texture stage 0's colour and alpha operations and arguments, sampler addressing and filters,
// blending, the depth test, culling, the alpha test, pretransformed vertices on exact pixels,
// and (on the layer) the cache of shader programs that carries these states out. Needs a
// display (tools/with-display.sh provides one).
#include <windows.h>
#include <d3d9.h>

#include <gtest/gtest.h>

#include "support/test_device.h"

#ifndef _WIN32
#include "platform/backends/renderer.h"
#endif

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

struct LitVertex {
    float x, y, z;
    float nx, ny, nz;
    D3DCOLOR colour;
};
constexpr DWORD litFormat = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE;

// One colour channel (shift 16 red, 8 green, 0 blue, 24 alpha) as 0..1.
float channel(D3DCOLOR colour, int shift) {
    return float((colour >> shift) & 0xff) / 255.0f;
}

int level(float value) {
    return int(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
}

void expectRgb(D3DCOLOR actual, float red, float green, float blue, int tolerance = 2) {
    EXPECT_NEAR(int((actual >> 16) & 0xff), level(red), tolerance) << std::hex << actual;
    EXPECT_NEAR(int((actual >> 8) & 0xff), level(green), tolerance) << std::hex << actual;
    EXPECT_NEAR(int(actual & 0xff), level(blue), tolerance) << std::hex << actual;
}

// Every test gets a device on a hidden 320 x 240 window.
class ShadingTest : public WindowDeviceTest {
protected:
    ShadingTest() : WindowDeviceTest(320, 240) {}

    // A screen rectangle in pixels, in one colour, every vertex at texture coordinates (u, v);
    // clockwise on screen unless reversed.
    HRESULT drawRectangle(float left, float top, float right, float bottom, D3DCOLOR colour,
                          float z = 0.5f, float u = 0.5f, float v = 0.5f, bool reversed = false) {
        ScreenVertex vertices[4] = {{left, top, z, 1, colour, u, v},
                                    {right, top, z, 1, colour, u, v},
                                    {left, bottom, z, 1, colour, u, v},
                                    {right, bottom, z, 1, colour, u, v}};
        if (reversed)
            std::swap(vertices[1], vertices[2]);
        device->SetFVF(screenFormat);
        return device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, vertices, sizeof(ScreenVertex));
    }

    // A triangle over the centre in clip space at depth 0.5, facing the viewer.
    HRESULT drawLitTriangle(D3DCOLOR colour) {
        const LitVertex vertices[3] = {{-0.5f, -0.5f, 0.5f, 0, 0, -1, colour},
                                       {0.0f, 0.5f, 0.5f, 0, 0, -1, colour},
                                       {0.5f, -0.5f, 0.5f, 0, 0, -1, colour}};
        device->SetFVF(litFormat);
        return device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, vertices, sizeof(LitVertex));
    }

    // Sets and enables a directional light of a diffuse colour travelling along +z (into the
    // faces).
    void enableLightAlongZ(DWORD index, float red, float green, float blue) {
        D3DLIGHT9 light = {};
        light.Type = D3DLIGHT_DIRECTIONAL;
        light.Diffuse = {red, green, blue, 1.0f};
        light.Direction = {0.0f, 0.0f, 1.0f};
        ASSERT_EQ(device->SetLight(index, &light), D3D_OK);
        ASSERT_EQ(device->LightEnable(index, TRUE), D3D_OK);
    }

    // A material of one grey diffuse colour, used whatever the vertices' colours.
    void useGreyMaterial(float grey) {
        D3DMATERIAL9 material = {};
        material.Diffuse = {grey, grey, grey, 1.0f};
        ASSERT_EQ(device->SetMaterial(&material), D3D_OK);
        ASSERT_EQ(device->SetRenderState(D3DRS_COLORVERTEX, FALSE), D3D_OK);
    }

    // Draws one frame with the given drawing and gives the centre pixel.
    template <typename Draw> D3DCOLOR frame(D3DCOLOR background, Draw draw) {
        clear(background);
        EXPECT_EQ(device->BeginScene(), D3D_OK);
        draw();
        EXPECT_EQ(device->EndScene(), D3D_OK);
        return centre();
    }
};

struct Material {
    D3DCOLORVALUE diffuse, ambient, emissive;
};

TEST_F(ShadingTest, DirectionalLightGivesEmissivePlusAmbientPlusDiffuseTimesCosine) {
    D3DLIGHT9 light = {};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1.0f, 0.5f, 0.25f, 1.0f};
    light.Ambient = {0.1f, 0.2f, 0.0f, 1.0f};
    light.Direction = {0.6f, 0.0f, 0.8f}; // the way the light travels: 0.8 into the face
    ASSERT_EQ(device->SetLight(0, &light), D3D_OK);
    ASSERT_EQ(device->LightEnable(0, TRUE), D3D_OK);
    const D3DCOLOR ambientState = 0x00404040;
    ASSERT_EQ(device->SetRenderState(D3DRS_AMBIENT, ambientState), D3D_OK);
    D3DMATERIAL9 material = {};
    material.Diffuse = {0.5f, 1.0f, 1.0f, 1.0f};
    material.Ambient = {1.0f, 0.5f, 1.0f, 1.0f};
    material.Emissive = {0.1f, 0.0f, 0.0f, 0.0f};
    ASSERT_EQ(device->SetMaterial(&material), D3D_OK);
    const float global = channel(ambientState, 0);
    const float cosine = 0.8f;
    const D3DCOLOR vertexColour = 0xFF408020;

    // Which colours stand in for the material's, per the vertex colour states.
    const struct {
        DWORD colourVertex, diffuseSource, ambientSource;
        bool diffuseFromVertex, ambientFromVertex;
    } cases[] = {
        {FALSE, D3DMCS_COLOR1, D3DMCS_COLOR1, false, false},
        {TRUE, D3DMCS_MATERIAL, D3DMCS_MATERIAL, false, false},
        {TRUE, D3DMCS_COLOR1, D3DMCS_MATERIAL, true, false},
        {TRUE, D3DMCS_MATERIAL, D3DMCS_COLOR1, false, true},
        {TRUE, D3DMCS_COLOR2, D3DMCS_COLOR2, false, false}, // no specular colour: the material
    };
    for (const auto& c : cases) {
        device->SetRenderState(D3DRS_COLORVERTEX, c.colourVertex);
        device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, c.diffuseSource);
        device->SetRenderState(D3DRS_AMBIENTMATERIALSOURCE, c.ambientSource);
        const D3DCOLOR pixel = frame(0xFF000000, [&] { drawLitTriangle(vertexColour); });
        float expected[3];
        const float* lightDiffuse = &light.Diffuse.r;
        const float* lightAmbient = &light.Ambient.r;
        for (int i = 0; i < 3; ++i) {
            const int shift = 16 - 8 * i;
            const float md =
                c.diffuseFromVertex ? channel(vertexColour, shift) : (&material.Diffuse.r)[i];
            const float ma =
                c.ambientFromVertex ? channel(vertexColour, shift) : (&material.Ambient.r)[i];
            expected[i] = (&material.Emissive.r)[i] + ma * (global + lightAmbient[i]) +
                          md * lightDiffuse[i] * cosine;
        }
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        expectRgb(pixel, expected[0], expected[1], expected[2]);
    }

    // The light is given in world space: a view turned half round leaves it behind the face.
    D3DMATRIX turned = {};
    turned._11 = -1.0f;
    turned._22 = 1.0f;
    turned._33 = -1.0f;
    turned._44 = 1.0f;
    device->SetRenderState(D3DRS_COLORVERTEX, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    ASSERT_EQ(device->SetTransform(D3DTS_VIEW, &turned), D3D_OK);
    const D3DCOLOR behind = frame(0xFF000000, [&] {
        // The face turned with the view, so that it faces the viewer again.
        const LitVertex vertices[3] = {{0.5f, -0.5f, -0.5f, 0, 0, 1, 0},
                                       {0.0f, 0.5f, -0.5f, 0, 0, 1, 0},
                                       {-0.5f, -0.5f, -0.5f, 0, 0, 1, 0}};
        device->SetFVF(litFormat);
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, vertices, sizeof(LitVertex));
    });
    expectRgb(behind, 0.1f + 1.0f * (global + 0.1f), 0.5f * (global + 0.2f), global);

    // A light set but disabled lights nothing: the emissive and the ambient state remain.
    D3DMATRIX identity = {};
    identity._11 = identity._22 = identity._33 = identity._44 = 1.0f;
    ASSERT_EQ(device->SetTransform(D3DTS_VIEW, &identity), D3D_OK);
    ASSERT_EQ(device->LightEnable(0, FALSE), D3D_OK);
    expectRgb(frame(0xFF000000, [&] { drawLitTriangle(vertexColour); }), 0.1f + 1.0f * global,
              0.5f * global, global);
    // Nor does it take the place of an enabled light after it: only the blue one lights.
    enableLightAlongZ(1, 0.0f, 0.0f, 0.5f);
    expectRgb(frame(0xFF000000, [&] { drawLitTriangle(vertexColour); }), 0.1f + 1.0f * global,
              0.5f * global, global + 1.0f * 0.5f);
}

TEST_F(ShadingTest, NormalizedNormalsUndoTheWorldsScale) {
    enableLightAlongZ(0, 1.0f, 1.0f, 1.0f);
    useGreyMaterial(0.5f);
    ASSERT_EQ(device->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE), D3D_OK);
    // Depth stretched or squeezed: the transformed normals are longer or shorter than 1, and
    // normalised they light the face as unscaled ones do.
    for (float scale : {0.5f, 1.8f}) {
        D3DMATRIX world = {};
        world._11 = world._22 = world._44 = 1.0f;
        world._33 = scale;
        ASSERT_EQ(device->SetTransform(D3DTS_WORLD, &world), D3D_OK);
        SCOPED_TRACE(testing::Message() << "scale " << scale);
        expectRgb(frame(0xFF000000, [&] { drawLitTriangle(0); }), 0.5f, 0.5f, 0.5f);
    }
}

// A normal turns with the inverse transpose of the world's 3x3, not with the world itself, and
// not with its translation: here worlds that shear depth into height (and move down) and width
// into depth.
TEST_F(ShadingTest, NormalsTurnWithTheInverseTransposeOfTheWorld) {
    enableLightAlongZ(0, 1.0f, 1.0f, 1.0f);
    useGreyMaterial(1.0f);
    ASSERT_EQ(device->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE), D3D_OK);
    // y' = y + z - 0.5: the triangle at depth 0.5 stays where it was.
    D3DMATRIX world = {};
    world._11 = world._22 = world._33 = world._44 = 1.0f;
    world._32 = 1.0f;
    world._42 = -0.5f;
    ASSERT_EQ(device->SetTransform(D3DTS_WORLD, &world), D3D_OK);
    // The normal (0, 0.6, -0.8) becomes (0, 0.6, -1.4): 1.4 / |(0.6, 1.4)| towards the light.
    const float cosine = 1.4f / std::sqrt(0.6f * 0.6f + 1.4f * 1.4f);
    const D3DCOLOR pixel = frame(0xFF000000, [&] {
        const LitVertex vertices[3] = {{-0.5f, -0.5f, 0.5f, 0, 0.6f, -0.8f, 0},
                                       {0.0f, 0.5f, 0.5f, 0, 0.6f, -0.8f, 0},
                                       {0.5f, -0.5f, 0.5f, 0, 0.6f, -0.8f, 0}};
        device->SetFVF(litFormat);
        device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, vertices, sizeof(LitVertex));
    });
    expectRgb(pixel, cosine, cosine, cosine);
    // z' = z + 0.75 x: the normal (0, 0, -1) becomes (0.75, 0, -1), 0.8 towards the light.
    D3DMATRIX widthIntoDepth = {};
    widthIntoDepth._11 = widthIntoDepth._22 = widthIntoDepth._33 = widthIntoDepth._44 = 1.0f;
    widthIntoDepth._13 = 0.75f;
    ASSERT_EQ(device->SetTransform(D3DTS_WORLD, &widthIntoDepth), D3D_OK);
    expectRgb(frame(0xFF000000, [&] { drawLitTriangle(0); }), 0.8f, 0.8f, 0.8f);
}

TEST_F(ShadingTest, OnlyTheFirstEightEnabledLightsShine) {
    useGreyMaterial(1.0f);
    for (DWORD index = 0; index < 9; ++index)
        enableLightAlongZ(index, 0.1f, 0.1f, 0.1f);
    expectRgb(frame(0xFF000000, [&] { drawLitTriangle(0); }), 0.8f, 0.8f, 0.8f);
}

TEST_F(ShadingTest, PointLightIsAttenuatedAndEndsAtItsRange) {
    D3DLIGHT9 light = {};
    light.Type = D3DLIGHT_POINT;
    light.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    light.Position = {0.0f, 0.0f, -1000.0f}; // far in front: the face looks straight at it
    light.Range = 2000.0f;
    light.Attenuation0 = 2.0f;
    ASSERT_EQ(device->SetLight(0, &light), D3D_OK);
    ASSERT_EQ(device->LightEnable(0, TRUE), D3D_OK);
    D3DMATERIAL9 material = {};
    material.Diffuse = {0.8f, 0.4f, 1.0f, 1.0f};
    ASSERT_EQ(device->SetMaterial(&material), D3D_OK);
    device->SetRenderState(D3DRS_COLORVERTEX, FALSE);
    expectRgb(frame(0xFF000000, [&] { drawLitTriangle(0); }), 0.4f, 0.2f, 0.5f);

    light.Range = 500.0f;
    ASSERT_EQ(device->SetLight(0, &light), D3D_OK);
    expectRgb(frame(0xFF000000, [&] { drawLitTriangle(0); }), 0.0f, 0.0f, 0.0f);

    // Without lighting the vertex colour is drawn as it is.
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    expectRgb(frame(0xFF000000, [&] { drawLitTriangle(0xFF336699); }), 0.2f, 0.4f, 0.6f);
}

TEST_F(ShadingTest, StageColourOperationsCombineTextureDiffuseAndFactor) {
    const D3DCOLOR texel = 0x804010C0;   // alpha 0x80
    const D3DCOLOR diffuse = 0x40C08060; // alpha 0x40
    const D3DCOLOR factor = 0xFF20A0E0;
    IDirect3DTexture9* texture = rowTexture(device, {texel});
    ASSERT_EQ(device->SetTexture(0, texture), D3D_OK);
    device->SetRenderState(D3DRS_TEXTUREFACTOR, factor);
    auto combined = [&](auto op) {
        float out[3];
        for (int i = 0; i < 3; ++i) {
            const int shift = 16 - 8 * i;
            out[i] = op(channel(texel, shift), channel(diffuse, shift));
        }
        return std::vector<float>(out, out + 3);
    };
    const float texelAlpha = channel(texel, 24);
    const float diffuseAlpha = channel(diffuse, 24);
    const struct {
        DWORD op, arg1, arg2;
        std::vector<float> expected;
    } cases[] = {
        {D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE,
         combined([](float t, float d) { return t * d; })},
        {D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE,
         combined([](float t, float) { return t; })},
        {D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE,
         combined([](float, float d) { return d; })},
        {D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_TEXTURE,
         combined([](float, float d) { return d; })},
        {D3DTOP_SELECTARG1, D3DTA_CURRENT, D3DTA_TEXTURE,
         combined([](float, float d) { return d; })},
        {D3DTOP_MODULATE2X, D3DTA_TEXTURE, D3DTA_DIFFUSE,
         combined([](float t, float d) { return 2 * t * d; })},
        {D3DTOP_MODULATE4X, D3DTA_TEXTURE, D3DTA_DIFFUSE,
         combined([](float t, float d) { return 4 * t * d; })},
        {D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_DIFFUSE,
         combined([](float t, float d) { return t + d; })},
        {D3DTOP_ADDSIGNED, D3DTA_TEXTURE, D3DTA_DIFFUSE,
         combined([](float t, float d) { return t + d - 0.5f; })},
        {D3DTOP_ADDSIGNED2X, D3DTA_TEXTURE, D3DTA_DIFFUSE,
         combined([](float t, float d) { return 2 * (t + d - 0.5f); })},
        {D3DTOP_SUBTRACT, D3DTA_DIFFUSE, D3DTA_TEXTURE,
         combined([](float t, float d) { return d - t; })},
        {D3DTOP_BLENDTEXTUREALPHA, D3DTA_TEXTURE, D3DTA_DIFFUSE,
         combined([&](float t, float d) { return t * texelAlpha + d * (1 - texelAlpha); })},
        {D3DTOP_BLENDDIFFUSEALPHA, D3DTA_TEXTURE, D3DTA_DIFFUSE,
         combined([&](float t, float d) { return t * diffuseAlpha + d * (1 - diffuseAlpha); })},
        {D3DTOP_BLENDFACTORALPHA, D3DTA_TEXTURE, D3DTA_DIFFUSE,
         combined([](float t, float) { return t; })},
        {D3DTOP_SELECTARG1, D3DTA_TEXTURE | D3DTA_COMPLEMENT, D3DTA_DIFFUSE,
         combined([](float t, float) { return 1 - t; })},
        {D3DTOP_SELECTARG1, D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE, D3DTA_DIFFUSE,
         combined([&](float, float) { return texelAlpha; })},
        {D3DTOP_SELECTARG2,
         D3DTA_TEXTURE,
         D3DTA_TFACTOR,
         {channel(factor, 16), channel(factor, 8), channel(factor, 0)}},
    };
    for (const auto& c : cases) {
        device->SetTextureStageState(0, D3DTSS_COLOROP, c.op);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, c.arg1);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, c.arg2);
        const D3DCOLOR pixel =
            frame(0xFF000000, [&] { drawRectangle(0, 0, float(width), float(height), diffuse); });
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        expectRgb(pixel, c.expected[0], c.expected[1], c.expected[2]);
    }

    // A disabled stage, or one without a texture, passes the diffuse colour on.
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
    expectRgb(frame(0xFF000000, [&] { drawRectangle(0, 0, float(width), float(height), diffuse); }),
              channel(diffuse, 16), channel(diffuse, 8), channel(diffuse, 0));
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTexture(0, nullptr);
    expectRgb(frame(0xFF000000, [&] { drawRectangle(0, 0, float(width), float(height), diffuse); }),
              channel(diffuse, 16), channel(diffuse, 8), channel(diffuse, 0));
    texture->Release();
}

TEST_F(ShadingTest, StageAlphaOperationsGiveTheAlphaThatBlends) {
    // Black drawn over white with its alpha as the blend factor shows 1 - alpha.
    const D3DCOLOR texel = 0x80FFFFFF;
    const D3DCOLOR diffuse = 0x40000000;
    IDirect3DTexture9* texture = rowTexture(device, {texel});
    ASSERT_EQ(device->SetTexture(0, texture), D3D_OK);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    const float t = channel(texel, 24);
    const float d = channel(diffuse, 24);
    const struct {
        DWORD op, arg1, arg2;
        float alpha;
    } cases[] = {
        {D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, t},
        {D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE, d},
        {D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, t * d},
        {D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_DIFFUSE, t + d},
        {D3DTOP_SELECTARG1, D3DTA_TEXTURE | D3DTA_COMPLEMENT, D3DTA_DIFFUSE, 1 - t},
    };
    for (const auto& c : cases) {
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, c.op);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, c.arg1);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG2, c.arg2);
        const D3DCOLOR pixel =
            frame(0xFFFFFFFF, [&] { drawRectangle(0, 0, float(width), float(height), diffuse); });
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        expectRgb(pixel, 1 - c.alpha, 1 - c.alpha, 1 - c.alpha);
    }
    texture->Release();
}

TEST_F(ShadingTest, BlendFactorsAndOperationsMixWithTheTarget) {
    const D3DCOLOR background = 0xFF804020;
    const D3DCOLOR source = 0x80206080;
    auto mixed = [&](auto f) {
        std::vector<float> out;
        for (int shift : {16, 8, 0})
            out.push_back(f(channel(source, shift), channel(background, shift)));
        return out;
    };
    const float a = channel(source, 24);
    const struct {
        DWORD sourceBlend, destinationBlend, op;
        std::vector<float> expected;
    } cases[] = {
        {D3DBLEND_ONE, D3DBLEND_ZERO, D3DBLENDOP_ADD, mixed([](float s, float) { return s; })},
        {D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_ADD, mixed([](float s, float d) { return s + d; })},
        {D3DBLEND_DESTCOLOR, D3DBLEND_ZERO, D3DBLENDOP_ADD,
         mixed([](float s, float d) { return s * d; })},
        {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD,
         mixed([&](float s, float d) { return s * a + d * (1 - a); })},
        {D3DBLEND_BOTHSRCALPHA, D3DBLEND_ZERO, D3DBLENDOP_ADD,
         mixed([&](float s, float d) { return s * a + d * (1 - a); })},
        {D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_REVSUBTRACT,
         mixed([](float s, float d) { return d - s; })},
        {D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_SUBTRACT,
         mixed([](float s, float d) { return s - d; })},
        {D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_MAX,
         mixed([](float s, float d) { return std::max(s, d); })},
    };
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    for (const auto& c : cases) {
        device->SetRenderState(D3DRS_SRCBLEND, c.sourceBlend);
        device->SetRenderState(D3DRS_DESTBLEND, c.destinationBlend);
        device->SetRenderState(D3DRS_BLENDOP, c.op);
        const D3DCOLOR pixel =
            frame(background, [&] { drawRectangle(0, 0, float(width), float(height), source); });
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        expectRgb(pixel, c.expected[0], c.expected[1], c.expected[2]);
    }
    // The operation changed between two draws of one frame: adding the source, then taking it
    // away again, leaves the background.
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    const D3DCOLOR addedAndTaken = frame(background, [&] {
        device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
        drawRectangle(0, 0, float(width), float(height), source);
        device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_REVSUBTRACT);
        drawRectangle(0, 0, float(width), float(height), source);
    });
    expectRgb(addedAndTaken, channel(background, 16), channel(background, 8),
              channel(background, 0));
    // The destination factor alone changed between two draws: the source written, then added
    // to itself.
    device->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    const D3DCOLOR doubled = frame(background, [&] {
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
        drawRectangle(0, 0, float(width), float(height), source);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
        drawRectangle(0, 0, float(width), float(height), source);
    });
    expectRgb(doubled, 2 * channel(source, 16), 2 * channel(source, 8), 2 * channel(source, 0));
    // Blending off writes the source whatever the factors.
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    expectRgb(frame(background, [&] { drawRectangle(0, 0, float(width), float(height), source); }),
              channel(source, 16), channel(source, 8), channel(source, 0));
}

TEST_F(ShadingTest, DepthFunctionAndWriteDecideWhatStays) {
    const float w = float(width);
    const float h = float(height);
    // The depth buffer holds 0.5 after the first rectangle; the second, at 0.7, is farther.
    auto twoRectangles = [&](DWORD function, DWORD write) {
        clear(0xFF000000);
        device->BeginScene();
        device->SetRenderState(D3DRS_ZWRITEENABLE, write);
        drawRectangle(0, 0, w, h, 0xFFFF0000, 0.5f);
        device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
        device->SetRenderState(D3DRS_ZFUNC, function);
        drawRectangle(0, 0, w, h, 0xFF00FF00, 0.7f);
        device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
        device->EndScene();
        return centre() & 0xFFFFFF;
    };
    EXPECT_EQ(twoRectangles(D3DCMP_LESSEQUAL, TRUE), 0xFF0000u);
    EXPECT_EQ(twoRectangles(D3DCMP_GREATER, TRUE), 0x00FF00u);
    EXPECT_EQ(twoRectangles(D3DCMP_ALWAYS, TRUE), 0x00FF00u);
    EXPECT_EQ(twoRectangles(D3DCMP_NEVER, TRUE), 0xFF0000u);
    EXPECT_EQ(twoRectangles(D3DCMP_LESSEQUAL, FALSE), 0x00FF00u);
    // Without the depth test every draw lands.
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    EXPECT_EQ(twoRectangles(D3DCMP_LESSEQUAL, TRUE), 0x00FF00u);
}

TEST_F(ShadingTest, ScreenVerticesCullByTheirWindingOnScreen) {
    const float w = float(width);
    const float h = float(height);
    auto shown = [&](DWORD cull, bool reversed) {
        device->SetRenderState(D3DRS_CULLMODE, cull);
        return frame(0xFF000000, [&] {
                   drawRectangle(0, 0, w, h, 0xFFFFFFFF, 0.5f, 0.5f, 0.5f, reversed);
               }) == 0xFFFFFFFFu;
    };
    EXPECT_TRUE(shown(D3DCULL_CCW, false));
    EXPECT_FALSE(shown(D3DCULL_CCW, true));
    EXPECT_FALSE(shown(D3DCULL_CW, false));
    EXPECT_TRUE(shown(D3DCULL_CW, true));
    EXPECT_TRUE(shown(D3DCULL_NONE, false));
    EXPECT_TRUE(shown(D3DCULL_NONE, true));
}

TEST_F(ShadingTest, ScreenRectanglesCoverThePixelsWhoseCentresTheyHold) {
    // Pixel centres lie on integer coordinates: an edge through them covers the pixels right
    // of and below it; an edge half a pixel on, or just past a centre, covers from the next
    // pixel.
    const struct {
        float left, top, right, bottom;
        UINT x1, y1, x2, y2; // covered pixels, ends excluded
    } cases[] = {
        {10.0f, 20.0f, 30.0f, 40.0f, 10, 20, 30, 40},
        {10.5f, 20.5f, 30.5f, 40.5f, 11, 21, 31, 41},
        {10.4f, 20.6f, 12.6f, 22.4f, 11, 21, 13, 23},
        // Edges an eightieth of a pixel past the centres: still from the next pixel.
        {10.0125f, 20.0125f, 30.0125f, 40.0125f, 11, 21, 31, 41},
    };
    for (const auto& c : cases) {
        clear(0xFF000000);
        device->BeginScene();
        drawRectangle(c.left, c.top, c.right, c.bottom, 0xFFFFFFFF);
        device->EndScene();
        const std::vector<D3DCOLOR> pixels = readBack();
        int wrong = 0;
        for (UINT y = 0; y < 60; ++y)
            for (UINT x = 0; x < 60; ++x) {
                const bool inside = x >= c.x1 && x < c.x2 && y >= c.y1 && y < c.y2;
                wrong += (pixels[size_t(y) * width + x] == 0xFFFFFFFFu) != inside;
            }
        EXPECT_EQ(wrong, 0) << "rectangle from " << c.left << ", " << c.top;
    }
}

TEST_F(ShadingTest, SamplerAddressingAndFiltersPickTheTexels) {
    IDirect3DTexture9* texture = rowTexture(device, {0xFFFF0000, 0xFF00FF00});
    ASSERT_EQ(device->SetTexture(0, texture), D3D_OK);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    auto sampled = [&](float u) {
        return frame(0xFF000000, [&] {
            drawRectangle(0, 0, float(width), float(height), 0xFFFFFFFF, 0.5f, u, 0.5f);
        });
    };
    // u = 1.25 lies a quarter into the texture again when wrapped, at its right edge clamped
    // and three quarters in mirrored.
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
    EXPECT_EQ(sampled(1.25f) & 0xFFFFFF, 0xFF0000u);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    EXPECT_EQ(sampled(1.25f) & 0xFFFFFF, 0x00FF00u);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR);
    EXPECT_EQ(sampled(1.25f) & 0xFFFFFF, 0x00FF00u);

    // At u = 0.4 the point filter takes the left texel; the linear one mixes 70:30.
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    EXPECT_EQ(sampled(0.4f) & 0xFFFFFF, 0xFF0000u);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    expectRgb(sampled(0.4f), 0.7f, 0.3f, 0.0f, 3);
    texture->Release();
}

TEST_F(ShadingTest, AlphaTestDropsFragmentsThatFailTheReference) {
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAREF, 0x80);
    const struct {
        DWORD function;
        D3DCOLOR colour;
        bool drawn;
    } cases[] = {
        {D3DCMP_GREATER, 0x81FFFFFF, true},      {D3DCMP_GREATER, 0x80FFFFFF, false},
        {D3DCMP_GREATEREQUAL, 0x80FFFFFF, true}, {D3DCMP_GREATEREQUAL, 0x7FFFFFFF, false},
        {D3DCMP_LESS, 0x7FFFFFFF, true},         {D3DCMP_LESS, 0x80FFFFFF, false},
        {D3DCMP_LESSEQUAL, 0x80FFFFFF, true},    {D3DCMP_LESSEQUAL, 0x81FFFFFF, false},
        {D3DCMP_EQUAL, 0x80FFFFFF, true},        {D3DCMP_EQUAL, 0x7FFFFFFF, false},
        {D3DCMP_NOTEQUAL, 0x80FFFFFF, false},    {D3DCMP_NOTEQUAL, 0x7FFFFFFF, true},
        {D3DCMP_NEVER, 0xFFFFFFFF, false},       {D3DCMP_ALWAYS, 0x00FFFFFF, true},
    };
    for (const auto& c : cases) {
        device->SetRenderState(D3DRS_ALPHAFUNC, c.function);
        const D3DCOLOR pixel =
            frame(0xFF000000, [&] { drawRectangle(0, 0, float(width), float(height), c.colour); });
        EXPECT_EQ((pixel & 0xFFFFFF) == 0xFFFFFF, c.drawn) << "case " << (&c - cases);
    }
    device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    EXPECT_EQ(
        frame(0xFF000000, [&] { drawRectangle(0, 0, float(width), float(height), 0x00FFFFFF); }) &
            0xFFFFFF,
        0xFFFFFFu);
}

// The first read of the front buffer starts keeping a copy of each presented picture; the draws
// after it still sample the texture they set.
TEST_F(ShadingTest, KeepingThePresentedPictureLeavesTheDrawsTexture) {
    IDirect3DTexture9* texture = rowTexture(device, {0xFF3060C0});
    ASSERT_NE(texture, nullptr);
    IDirect3DSurface9* copy = nullptr;
    ASSERT_EQ(device->CreateOffscreenPlainSurface(width, height, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                  &copy, nullptr),
              D3D_OK);
    device->SetTexture(0, texture);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    auto draw = [&] { drawRectangle(0, 0, float(width), float(height), 0xFFFFFFFF); };
    const float r = channel(0x3060C0, 16), g = channel(0x3060C0, 8), b = channel(0x3060C0, 0);
    expectRgb(frame(0xFF000000, draw), r, g, b);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(device->GetFrontBufferData(0, copy), D3D_OK);
    expectRgb(frame(0xFF000000, draw), r, g, b);
    device->SetTexture(0, nullptr);
    copy->Release();
    texture->Release();
}

#ifndef _WIN32
TEST_F(ShadingTest, OneProgramPerDistinctStateOfWhatItComputes) {
    IDirect3DTexture9* red = rowTexture(device, {0xFFFF0000});
    IDirect3DTexture9* green = rowTexture(device, {0xFF00FF00});
    auto compiledBy = [&](auto draw) {
        const int before = renderer::compiledProgramCount();
        frame(0xFF000000, draw);
        return renderer::compiledProgramCount() - before;
    };
    auto rectangle = [&] { drawRectangle(0, 0, float(width), float(height), 0xFFFFFFFF); };
    device->SetTexture(0, red);
    EXPECT_EQ(compiledBy(rectangle), 1);
    EXPECT_EQ(compiledBy(rectangle), 0);
    // Another texture, blending, depth, culling and the light states leave the program.
    device->SetTexture(0, green);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    EXPECT_EQ(compiledBy(rectangle), 0);
    EXPECT_EQ(centre() & 0xFFFFFF, 0x00FF00u);
    // Another operation is another program; going back finds the first again.
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_ADD);
    EXPECT_EQ(compiledBy(rectangle), 1);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    EXPECT_EQ(compiledBy(rectangle), 0);
    // Arguments an operation does not read do not count.
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    EXPECT_EQ(compiledBy(rectangle), 1);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TFACTOR);
    EXPECT_EQ(compiledBy(rectangle), 0);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    EXPECT_EQ(compiledBy(rectangle), 1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    EXPECT_EQ(compiledBy(rectangle), 0);
    // Without a texture the stage states do not count either.
    device->SetTexture(0, nullptr);
    EXPECT_EQ(compiledBy(rectangle), 1);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SUBTRACT);
    EXPECT_EQ(compiledBy(rectangle), 0);

    // Lit draws: one program per number and kind of lights, none for their values.
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    auto triangle = [&] { drawLitTriangle(0xFFFFFFFF); };
    EXPECT_EQ(compiledBy(triangle), 1);
    D3DLIGHT9 light = {};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    light.Direction = {0.0f, 0.0f, 1.0f};
    device->SetLight(0, &light);
    device->LightEnable(0, TRUE);
    EXPECT_EQ(compiledBy(triangle), 1);
    light.Diffuse = {0.5f, 0.5f, 0.5f, 1.0f};
    device->SetLight(0, &light);
    device->SetRenderState(D3DRS_AMBIENT, 0x00101010);
    EXPECT_EQ(compiledBy(triangle), 0);
    device->LightEnable(1, TRUE);
    EXPECT_EQ(compiledBy(triangle), 1);
    light.Type = D3DLIGHT_POINT;
    light.Range = 10.0f;
    light.Attenuation0 = 1.0f;
    device->SetLight(1, &light);
    EXPECT_EQ(compiledBy(triangle), 1);
    device->LightEnable(1, FALSE);
    EXPECT_EQ(compiledBy(triangle), 0);
    red->Release();
    green->Release();
}
#endif

} // namespace
