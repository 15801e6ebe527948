// text_overlay_test.cpp: the text overlay's capacities, text limits and drawing: what it asks
// the font to draw (through a recording font) and the pixels it leaves on a real device.
#include <windows.h>
#include <d3dx9.h>

#include "graphics/graphics_device.h"
#include "graphics/hud.h"
#include "graphics/text_overlay.h"

#include <gtest/gtest.h>
#include "support/program_device.h"
#include "support/test_device.h"
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// A font that records every DrawTextA call instead of drawing.
struct RecordingFont : ID3DXFont {
    struct Call {
        std::string text;
        INT count;
        RECT rect;
        DWORD format;
        D3DCOLOR colour;
        bool sprite;
    };
    std::vector<Call> calls;

    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetDevice(LPDIRECT3DDEVICE9*) override { return E_NOTIMPL; }
    HRESULT GetDescA(D3DXFONT_DESCA*) override { return E_NOTIMPL; }
    INT DrawTextA(LPD3DXSPRITE sprite, LPCSTR text, INT count, LPRECT rect, DWORD format,
                  D3DCOLOR colour) override {
        calls.push_back(
            {std::string(text, count), count, *rect, format, colour, sprite != nullptr});
        return 18;
    }
    HRESULT OnLostDevice() override { return S_OK; }
    HRESULT OnResetDevice() override { return S_OK; }
};

// An overlay drawing into a RecordingFont; no device is needed.
struct RecordedOverlay {
    RecordingFont font;
    TextOverlay overlay{665, 18, 18};

    RecordedOverlay() { overlay.font = &font; }
    ~RecordedOverlay() { overlay.font = nullptr; }
};

std::string longText(char letter) {
    return std::string(150, letter);
}

TEST(TextOverlayTest, ConstructionAndCapacities) {
    RecordedOverlay recorded;
    TextOverlay& overlay = recorded.overlay;
    EXPECT_EQ(overlay.count, 0);
    EXPECT_EQ(overlay.topY, 665);
    EXPECT_EQ(overlay.lineHeight, 18);
    EXPECT_EQ(overlay.fontHeight, 18);
    EXPECT_EQ(overlay.colour, 0xFFFFFFFFu);

    TextGroup* group = overlay.addGroup(7);
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->x, 7);
    EXPECT_EQ(group->valueOffset, 0);
    EXPECT_EQ(group->count, 0);
    for (INT i = 0; i < 4; ++i)
        ASSERT_NE(group->addItem(i, "label", "value"), nullptr);
    TextItem* fourth = group->items[3];
    EXPECT_EQ(group->addItem(4, "fifth", "item"), nullptr);
    EXPECT_EQ(group->addLabel(4, "fifth"), nullptr);
    EXPECT_EQ(group->count, 4);
    EXPECT_EQ(group->items[3], fourth);

    for (INT g = 1; g < 9; ++g)
        ASSERT_NE(overlay.addGroup(g * 10, 5), nullptr);
    EXPECT_EQ(overlay.addGroup(100, 5), nullptr);
    EXPECT_EQ(overlay.addGroup(100), nullptr);
    EXPECT_EQ(overlay.count, 9);
    EXPECT_EQ(overlay.groups[0], group);
    EXPECT_EQ(overlay.groups[8]->valueOffset, 5);

    overlay.free();
    EXPECT_EQ(overlay.count, 0);
    TextGroup* again = overlay.addGroup(1);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(overlay.groups[0], again);
}

TEST(TextOverlayTest, ItemsCopyTheirTexts) {
    TextGroup group(0, 0);
    char label[] = "Label: ";
    TextItem* item = group.addItem(2, label, "value");
    label[0] = 'X';
    EXPECT_STREQ(item->label, "Label: ");
    EXPECT_STREQ(item->value, "value");
    EXPECT_EQ(item->row, 2);

    TextItem* labelOnly = group.addLabel(1, "Controls:");
    EXPECT_STREQ(labelOnly->label, "Controls:");
    EXPECT_STREQ(labelOnly->value, "");

    item->formatValue("%i", 42);
    EXPECT_STREQ(item->value, "42");
    item->setValue("Passenger train");
    EXPECT_STREQ(item->value, "Passenger train");
}

TEST(TextOverlayTest, TextsLongerThan99CharactersAreCut) {
    TextGroup group(0, 0);
    std::string label = longText('L');
    std::string value = longText('V');
    TextItem* item = group.addItem(0, label.c_str(), value.c_str());
    EXPECT_EQ(std::string(item->label), label.substr(0, 99));
    EXPECT_EQ(std::string(item->value), value.substr(0, 99));

    item->setValue(longText('S').c_str());
    EXPECT_EQ(std::string(item->value), std::string(99, 'S'));
    item->formatValue("%s%s", longText('a').c_str(), longText('b').c_str());
    EXPECT_EQ(std::string(item->value), std::string(99, 'a'));
}

TEST(TextOverlayTest, DrawsEachItemAtItsRowAndColumn) {
    RecordedOverlay recorded;
    TextOverlay& overlay = recorded.overlay;
    overlay.colour = 0x80112233;
    TextGroup* joined = overlay.addGroup(10);
    joined->addItem(0, "FPS: ", "12.5");
    joined->addItem(2, "", "Freight train");
    TextGroup* columns = overlay.addGroup(150, 160);
    columns->addItem(1, "Speed: ", "20.0");

    overlay.draw();
    struct Expected {
        const char* text;
        LONG left;
        LONG top;
    };
    const Expected expected[] = {{"FPS: 12.5", 10, 665},
                                 {"Freight train", 10, 701},
                                 {"Speed: ", 150, 683},
                                 {"20.0", 310, 683}};
    ASSERT_EQ(recorded.font.calls.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        const RecordingFont::Call& call = recorded.font.calls[i];
        EXPECT_EQ(call.text, expected[i].text);
        EXPECT_EQ(call.count, static_cast<INT>(strlen(expected[i].text)));
        EXPECT_EQ(call.rect.left, expected[i].left) << call.text;
        EXPECT_EQ(call.rect.top, expected[i].top) << call.text;
        EXPECT_EQ(call.rect.right, 0);
        EXPECT_EQ(call.rect.bottom, 0);
        EXPECT_EQ(call.format, static_cast<DWORD>(DT_NOCLIP));
        EXPECT_EQ(call.colour, 0x80112233u);
        EXPECT_FALSE(call.sprite);
    }
}

TEST(TextOverlayTest, EmptyAndOverlongItemsDrawSafely) {
    RecordedOverlay recorded;
    TextOverlay& overlay = recorded.overlay;
    TextGroup* joined = overlay.addGroup(0);
    joined->addItem(0, "", "");
    std::string label = longText('L');
    std::string value = longText('V');
    joined->addItem(1, label.c_str(), value.c_str());
    // Unterminated texts written straight into the buffers are still read only up to 99.
    TextItem* raw = joined->addItem(2, "", "");
    memset(raw->label, 'R', sizeof raw->label);
    memset(raw->value, 'W', sizeof raw->value);

    overlay.draw();
    ASSERT_EQ(recorded.font.calls.size(), 3u);
    EXPECT_EQ(recorded.font.calls[0].count, 0);
    EXPECT_EQ(recorded.font.calls[1].text, std::string(99, 'L') + std::string(99, 'V'));
    EXPECT_EQ(recorded.font.calls[2].text, std::string(99, 'R') + std::string(99, 'W'));
}

TEST(TextOverlayTest, HudIssuesTwentyDrawCallsPerFrame) {
    buildHud();
    trainTypeItem->setValue("Freight train");
    RecordingFont font;
    ID3DXFont* own = appState.overlay->font;
    appState.overlay->font = &font;
    appState.overlay->draw();

    ASSERT_EQ(font.calls.size(), 20u);
    struct Expected {
        size_t call;
        const char* text;
        LONG left;
        LONG top;
    };
    const Expected expected[] = {
        {0, "FPS: 0", 10, 665},
        {1, "Car number: 1", 10, 683},
        {2, "Freight train", 10, 701},
        {3, "Speed (km/h): ", 150, 665},
        {4, "0", 310, 665},
        {6, "0", 310, 683},
        {7, "Controls:", 400, 665},
        {8, "Mouse", 480, 665},
        {13, "- select car", 605, 701},
        {14, "PgUp/PgDn", 760, 665},
        {19, "- exit", 850, 701},
    };
    for (const Expected& e : expected) {
        EXPECT_EQ(font.calls[e.call].text, e.text) << e.call;
        EXPECT_EQ(font.calls[e.call].rect.left, e.left) << e.call;
        EXPECT_EQ(font.calls[e.call].rect.top, e.top) << e.call;
    }
    for (const RecordingFont::Call& call : font.calls)
        EXPECT_EQ(call.colour, 0xA6D9F2FFu);

    appState.overlay->font = own;
    releaseHud();
}

// The overlay drawn by a real device over black, read back from the render target.
class OverlayPixelsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        programDevice = std::make_unique<ProgramDevice>(50, 50);
        ShowWindow(appState.mainWindow, SW_SHOWDEFAULT);
        deviceReady = appState.mainWindow != nullptr && SUCCEEDED(createGraphicsDevice());
    }
    static void TearDownTestSuite() { programDevice.reset(); }
    void SetUp() override {
        if (!deviceReady)
            SKIP_OR_FAIL_WITHOUT_DISPLAY("no Direct3D device");
    }
    void TearDown() override { releaseHud(); }

    // Clears to opaque black, draws the overlay in a scene and reads the target back.
    void render(TextOverlay& overlay) {
        IDirect3DDevice9* device = appState.graphicsDevice;
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        device->BeginScene();
        overlay.draw();
        device->EndScene();

        UINT targetWidth = 0;
        UINT targetHeight = 0;
        pixels = readRenderTarget(device, targetWidth, targetHeight);
        width = static_cast<INT>(targetWidth);
        height = static_cast<INT>(targetHeight);
        device->Present(nullptr, nullptr, nullptr, nullptr);
    }

    DWORD pixel(INT x, INT y) const {
        return pixels[static_cast<size_t>(y) * width + x] & 0xFFFFFF;
    }
    // Columns [left, right) that hold text between rows top and bottom (exclusive).
    std::vector<INT> inkColumns(INT left, INT right, INT top, INT bottom) const {
        std::vector<INT> columns;
        for (INT x = left; x < std::min(right, width); ++x)
            for (INT y = top; y < std::min(bottom, height); ++y)
                if (pixel(x, y) != 0) {
                    columns.push_back(x);
                    break;
                }
        return columns;
    }

    static inline bool deviceReady = false;
    static inline std::unique_ptr<ProgramDevice> programDevice;
    INT width = 0;
    INT height = 0;
    std::vector<DWORD> pixels;
};

TEST_F(OverlayPixelsTest, HudTextSitsInItsRowsAndColumns) {
    buildHud();
    trainTypeItem->setValue("Freight train");
    render(*appState.overlay);
    ASSERT_GE(height, 722);

    // Three lines of 18 pixels from y 665, and nothing above or far below them.
    for (INT row = 0; row < 3; ++row) {
        INT top = 665 + 18 * row;
        EXPECT_FALSE(inkColumns(10, 140, top, top + 18).empty()) << "row " << row;
    }
    EXPECT_TRUE(inkColumns(0, width, 0, 665).empty());
    EXPECT_TRUE(inkColumns(0, width, 725, height).empty());

    // Group 1 starts at x 10; group 2's values start at x 310, after a gap behind the label.
    std::vector<INT> fps = inkColumns(0, 140, 665, 683);
    ASSERT_FALSE(fps.empty());
    EXPECT_GE(fps.front(), 10);
    EXPECT_LE(fps.front(), 13);
    EXPECT_TRUE(inkColumns(280, 310, 665, 683).empty());
    std::vector<INT> speed = inkColumns(280, 390, 665, 683);
    ASSERT_FALSE(speed.empty());
    EXPECT_GE(speed.front(), 310);
    EXPECT_LE(speed.front(), 313);

    // Fully covered pixels show 0xD9F2FF at alpha 166 over black; nothing is brighter.
    DWORD brightest = 0;
    for (INT y = 665; y < 725; ++y)
        for (INT x = 0; x < width; ++x)
            if ((pixel(x, y) & 0xFF) > (brightest & 0xFF))
                brightest = pixel(x, y);
    const INT expected[] = {0xD9 * 166 / 255, 0xF2 * 166 / 255, 0xFF * 166 / 255};
    const INT channels[] = {static_cast<INT>(brightest >> 16 & 0xFF),
                            static_cast<INT>(brightest >> 8 & 0xFF),
                            static_cast<INT>(brightest & 0xFF)};
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(channels[c], expected[c], 4) << "channel " << c;
}

TEST_F(OverlayPixelsTest, EmptyItemsDrawNothing) {
    appState.overlay = new TextOverlay(665, 18, 18);
    appState.overlay->addGroup(10)->addItem(0, "", "");
    appState.overlay->addGroup(150, 160)->addItem(1, "", "");
    render(*appState.overlay);
    EXPECT_TRUE(inkColumns(0, width, 0, height).empty());
}

} // namespace
