// d3dx9_font_test.cpp: text drawn by the font, read back from the render target: where it
// lands, its colour and blending, the empty string, the measured rectangle, and the device
// states, which must be the caller's again after every draw.
// Built for Windows too (tests/windows), where it checks the real APIs under Wine.
#include <windows.h>
#include <d3dx9.h>

#include "support/test_device.h"

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace {

struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    int count = 0;
};

class D3dxFontTest : public SmallDeviceTest {
protected:
    void SetUp() override {
        SmallDeviceTest::SetUp();
        ASSERT_EQ(D3DXCreateFontA(device, 18, 0, FW_BOLD, 1, FALSE, DEFAULT_CHARSET,
                                  OUT_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                  "Arial", &font),
                  D3D_OK);
        ASSERT_NE(font, nullptr);
    }
    void TearDown() override {
        if (font != nullptr) {
            EXPECT_EQ(font->Release(), 0u);
        }
        SmallDeviceTest::TearDown();
    }

    // Clears to background, draws text at (x, y) and returns the frame's pixels (0xXXRRGGBB).
    std::vector<uint32_t> drawFrame(const char* text, int count, int x, int y, D3DCOLOR colour,
                                    D3DCOLOR background, INT* result = nullptr) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, background, 1.0f, 0);
        device->BeginScene();
        RECT rect;
        SetRect(&rect, x, y, 0, 0);
        const INT height = font->DrawTextA(nullptr, text, count, &rect, DT_NOCLIP, colour);
        if (result != nullptr)
            *result = height;
        device->EndScene();
        return readBack();
    }

    static Box differingFrom(const std::vector<uint32_t>& pixels, uint32_t background) {
        Box box;
        for (int y = 0; y < static_cast<int>(height); ++y)
            for (int x = 0; x < static_cast<int>(width); ++x)
                if ((pixels[y * width + x] & 0xFFFFFF) != (background & 0xFFFFFF)) {
                    box.left = x < box.left ? x : box.left;
                    box.right = x > box.right ? x : box.right;
                    box.top = y < box.top ? y : box.top;
                    box.bottom = y > box.bottom ? y : box.bottom;
                    ++box.count;
                }
        return box;
    }

    ID3DXFont* font = nullptr;
};

int channel(uint32_t pixel, int shift) {
    return static_cast<int>((pixel >> shift) & 0xFF);
}

} // namespace

TEST_F(D3dxFontTest, TextStartsAtTheRectangleCornerInTheGivenColour) {
    INT result = 0;
    const std::vector<uint32_t> pixels =
        drawFrame("FPS: 60.0", -1, 20, 30, 0xFF00FF00, 0xFF000000, &result);
    // The line height is the font's own metric; Wine's stand-in font is a pixel shorter.
#ifdef _WIN32
    EXPECT_NEAR(result, 18, 1);
#else
    EXPECT_EQ(result, 18);
#endif
    const Box box = differingFrom(pixels, 0xFF000000);
    ASSERT_GT(box.count, 50);
    EXPECT_GE(box.left, 20);
    EXPECT_LE(box.left, 23);
    EXPECT_GE(box.top, 30);
    EXPECT_LE(box.top, 36);
    EXPECT_LT(box.bottom, 30 + 18);
    EXPECT_GT(box.right, 20 + 50); // nine bold characters
    // Covered pixels are pure green; partly covered ones are darker green, never another hue.
    int full = 0;
    for (uint32_t pixel : pixels) {
        EXPECT_EQ(channel(pixel, 16), 0);
        EXPECT_EQ(channel(pixel, 0), 0);
        full += (pixel & 0xFFFFFF) == 0x00FF00;
    }
    // Under Wine no pixel of the text reaches the full colour (its glyphs are never opaque).
#ifndef _WIN32
    EXPECT_GT(full, 20);
#endif
}

TEST_F(D3dxFontTest, CountLimitsTheTextAndAlphaBlendsOverTheScene) {
    const Box whole =
        differingFrom(drawFrame("WWWW", -1, 10, 10, 0xFFFFFFFF, 0xFF0000FF), 0xFF0000FF);
    const Box part =
        differingFrom(drawFrame("WWWW", 2, 10, 10, 0xFFFFFFFF, 0xFF0000FF), 0xFF0000FF);
    // A count beyond the string stops at its end here; Wine reads on past the terminator, so
    // there the call is not made.
#ifndef _WIN32
    const Box past =
        differingFrom(drawFrame("WWWW", 400, 10, 10, 0xFFFFFFFF, 0xFF0000FF), 0xFF0000FF);
    EXPECT_EQ(past.right, whole.right);
#endif
    EXPECT_EQ(part.left, whole.left);
    EXPECT_LT(part.right, whole.left + (whole.right - whole.left) / 2 + 3);

    // 0xA6 alpha red over blue: covered pixels are 166/255 red and 89/255 blue.
    const std::vector<uint32_t> pixels = drawFrame("WWWW", -1, 10, 10, 0xA6FF0000, 0xFF0000FF);
    int blended = 0;
    for (uint32_t pixel : pixels)
        if (channel(pixel, 16) >= 164) {
            EXPECT_NEAR(channel(pixel, 16), 166, 3);
            EXPECT_NEAR(channel(pixel, 0), 89, 3);
            ++blended;
        }
#ifndef _WIN32
    EXPECT_GT(blended, 20); // under Wine no pixel is fully covered, as above
#endif
}

TEST_F(D3dxFontTest, EmptyStringDrawsNothingAndReturnsZero) {
    INT result = -1;
    const Box box =
        differingFrom(drawFrame("", 0, 10, 10, 0xFFFFFFFF, 0xFF102030, &result), 0xFF102030);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(box.count, 0);
    EXPECT_EQ(
        differingFrom(drawFrame("", -1, 10, 10, 0xFFFFFFFF, 0xFF102030, &result), 0xFF102030).count,
        0);
    EXPECT_EQ(result, 0);
}

TEST_F(D3dxFontTest, CalcRectMeasuresWithoutDrawing) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    RECT rect;
    SetRect(&rect, 5, 7, 0, 0);
    const INT height =
        font->DrawTextA(nullptr, "Speed\nTarget", -1, &rect, DT_CALCRECT, 0xFFFFFFFF);
    // Two lines of the font's own height (a pixel less each with Wine's stand-in font).
#ifdef _WIN32
    EXPECT_NEAR(height, 36, 2);
#else
    EXPECT_EQ(height, 36);
#endif
    EXPECT_EQ(rect.left, 5);
    EXPECT_EQ(rect.top, 7);
    EXPECT_EQ(rect.bottom, 7 + height);
    EXPECT_GT(rect.right, 5 + 30);
    EXPECT_EQ(differingFrom(readBack(), 0xFF000000).count, 0);
}

TEST_F(D3dxFontTest, DeviceStatesAreRestoredAfterDrawing) {
    const D3DRENDERSTATETYPE renderStates[] = {
        D3DRS_ALPHABLENDENABLE, D3DRS_SRCBLEND,     D3DRS_DESTBLEND, D3DRS_LIGHTING,
        D3DRS_ZENABLE,          D3DRS_ZWRITEENABLE, D3DRS_CULLMODE,  D3DRS_ALPHATESTENABLE};
    const DWORD sceneValues[] = {FALSE,      D3DBLEND_ONE, D3DBLEND_ZERO, TRUE,
                                 D3DZB_TRUE, TRUE,         D3DCULL_CW,    TRUE};
    const D3DTEXTURESTAGESTATETYPE stageStates[] = {D3DTSS_COLOROP,   D3DTSS_COLORARG1,
                                                    D3DTSS_COLORARG2, D3DTSS_ALPHAOP,
                                                    D3DTSS_ALPHAARG1, D3DTSS_ALPHAARG2};
    const DWORD stageValues[] = {D3DTOP_ADD,        D3DTA_DIFFUSE, D3DTA_TEXTURE,
                                 D3DTOP_SELECTARG2, D3DTA_DIFFUSE, D3DTA_CURRENT};
    const D3DSAMPLERSTATETYPE samplerStates[] = {D3DSAMP_MINFILTER, D3DSAMP_MAGFILTER,
                                                 D3DSAMP_MIPFILTER};
    const DWORD samplerValues[] = {D3DTEXF_LINEAR, D3DTEXF_LINEAR, D3DTEXF_LINEAR};
    for (int i = 0; i < 8; ++i)
        device->SetRenderState(renderStates[i], sceneValues[i]);
    for (int i = 0; i < 6; ++i)
        device->SetTextureStageState(0, stageStates[i], stageValues[i]);
    for (int i = 0; i < 3; ++i)
        device->SetSamplerState(0, samplerStates[i], samplerValues[i]);
    const DWORD sceneFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;
    device->SetFVF(sceneFvf);
    IDirect3DTexture9* sceneTexture = nullptr;
    ASSERT_EQ(
        device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &sceneTexture, nullptr),
        D3D_OK);
    device->SetTexture(0, sceneTexture);

    drawFrame("Controls:", -1, 400, 20, 0xA6D9F2FF, 0xFF000000);

    for (int i = 0; i < 8; ++i) {
        DWORD value = 0;
        device->GetRenderState(renderStates[i], &value);
        EXPECT_EQ(value, sceneValues[i]) << "render state " << renderStates[i];
    }
    for (int i = 0; i < 6; ++i) {
        DWORD value = 0;
        device->GetTextureStageState(0, stageStates[i], &value);
        EXPECT_EQ(value, stageValues[i]) << "stage state " << stageStates[i];
    }
    for (int i = 0; i < 3; ++i) {
        DWORD value = 0;
        device->GetSamplerState(0, samplerStates[i], &value);
        EXPECT_EQ(value, samplerValues[i]) << "sampler state " << samplerStates[i];
    }
    DWORD fvf = 0;
    device->GetFVF(&fvf);
    EXPECT_EQ(fvf, sceneFvf);
    IDirect3DBaseTexture9* bound = nullptr;
    device->GetTexture(0, &bound);
    EXPECT_EQ(bound, static_cast<IDirect3DBaseTexture9*>(sceneTexture));
    if (bound != nullptr)
        bound->Release();
    device->SetTexture(0, nullptr);
    EXPECT_EQ(sceneTexture->Release(), 0u);
}

TEST_F(D3dxFontTest, DescriptionKeepsTheCreationValues) {
    D3DXFONT_DESCA desc{};
    ASSERT_EQ(font->GetDescA(&desc), D3D_OK);
    EXPECT_EQ(desc.Height, 18);
    EXPECT_EQ(desc.Weight, static_cast<UINT>(FW_BOLD));
    EXPECT_STREQ(desc.FaceName, "Arial");
    IDirect3DDevice9* owner = nullptr;
    EXPECT_EQ(font->GetDevice(&owner), D3D_OK);
    EXPECT_EQ(owner, device);
    owner->Release();
}

// Wine reads the text in its locale's ANSI code page (1252 here), where these bytes are other
// letters, so this runs on the layer only.
#ifndef _WIN32
TEST_F(D3dxFontTest, TextIsInTheWindows1251CodePage) {
    // 0xC0 and 0xE0 are the Cyrillic А and а, drawn like the Latin letters (in Latin-1 they are
    // À and à, with an accent).
    const std::pair<const char*, const char*> pairs[] = {{"\xC0", "A"}, {"\xE0", "a"}};
    for (const auto& [cyrillic, latin] : pairs) {
        const Box drawn =
            differingFrom(drawFrame(cyrillic, -1, 10, 10, 0xFFFFFFFF, 0xFF000000), 0xFF000000);
        const Box expected =
            differingFrom(drawFrame(latin, -1, 10, 10, 0xFFFFFFFF, 0xFF000000), 0xFF000000);
        EXPECT_GT(expected.count, 10);
        EXPECT_EQ(drawn.count, expected.count) << latin;
        EXPECT_EQ(drawn.top, expected.top) << latin;
        EXPECT_EQ(drawn.right, expected.right) << latin;
    }
    // 0x98, which the code page leaves unassigned, draws nothing and takes no room.
    RECT rect;
    SetRect(&rect, 0, 0, 0, 0);
    font->DrawTextA(nullptr, "\x98", -1, &rect, DT_CALCRECT, 0xFFFFFFFF);
    EXPECT_EQ(rect.right, 0);
    EXPECT_EQ(
        differingFrom(drawFrame("\x98", -1, 10, 10, 0xFFFFFFFF, 0xFF000000), 0xFF000000).count, 0);
}
#endif
