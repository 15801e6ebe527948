// font_rasterizer_test.cpp: the font backend's contract: a cell height met from below, the em
// height, weight, and glyphs as coverage bitmaps with their advance.
#include "platform/backends/font_rasterizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

namespace {

struct OpenFace {
    explicit OpenFace(const FaceRequest& request) : face(openFace(request)) {}
    ~OpenFace() { closeFace(face); }
    RasterFace* face;
};

FaceRequest arial(int pixels, bool cell, int weight = 700) {
    FaceRequest request;
    request.family = "Arial";
    request.weight = weight;
    request.pixels = pixels;
    request.pixelsAreCellHeight = cell;
    return request;
}

int coverageSum(const GlyphBitmap& glyph) {
    return std::accumulate(glyph.coverage.begin(), glyph.coverage.end(), 0);
}

int lineWidth(RasterFace* face, const char* text) {
    int width = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        GlyphBitmap glyph;
        EXPECT_TRUE(renderGlyph(face, uint8_t(*c), glyph)) << *c;
        width += glyph.advance;
    }
    return width;
}

// How far the mean column of the glyph's top inked row lies right of its bottom one's.
double lean(const GlyphBitmap& glyph) {
    double top = 0, bottom = 0;
    bool inked = false;
    for (int y = 0; y < glyph.height; ++y) {
        double sum = 0, weighted = 0;
        for (int x = 0; x < glyph.width; ++x) {
            double c = glyph.coverage[size_t(y) * glyph.width + x];
            sum += c;
            weighted += c * x;
        }
        if (sum == 0)
            continue;
        if (!inked)
            top = weighted / sum;
        bottom = weighted / sum;
        inked = true;
    }
    return top - bottom;
}

} // namespace

TEST(FontRasterizerTest, CellHeightIsMetFromBelowAndEmHeightIsSmallerThanTheCell) {
    for (int pixels : {12, 18, 40}) {
        const OpenFace cell(arial(pixels, true));
        ASSERT_NE(cell.face, nullptr);
        EXPECT_LE(faceCellHeight(cell.face), pixels);
        EXPECT_GE(faceCellHeight(cell.face), pixels - 2);
        // Ascent + descent of an em of that many pixels is more than the em.
        const OpenFace em(arial(pixels, false));
        ASSERT_NE(em.face, nullptr);
        EXPECT_GT(faceCellHeight(em.face), pixels);
    }
    EXPECT_EQ(openFace(arial(0, true)), nullptr);
}

TEST(FontRasterizerTest, GlyphsAreCoverageBitmapsOnTheLineWithTheirAdvance) {
    const OpenFace bold(arial(18, true));
    const OpenFace regular(arial(18, true, 400));
    ASSERT_NE(bold.face, nullptr);
    ASSERT_NE(regular.face, nullptr);
    GlyphBitmap w, i, space, regularW;
    ASSERT_TRUE(renderGlyph(bold.face, 'W', w));
    ASSERT_TRUE(renderGlyph(bold.face, 'i', i));
    ASSERT_TRUE(renderGlyph(bold.face, ' ', space));
    ASSERT_TRUE(renderGlyph(regular.face, 'W', regularW));

    ASSERT_GT(w.width, 10);
    ASSERT_GT(w.height, 10);
    EXPECT_LE(w.top + w.height, faceCellHeight(bold.face) + 1);
    ASSERT_EQ(w.coverage.size(), size_t(w.width) * w.height);
    EXPECT_EQ(*std::max_element(w.coverage.begin(), w.coverage.end()), 255);
    EXPECT_EQ(*std::min_element(w.coverage.begin(), w.coverage.end()), 0);
    EXPECT_GT(w.advance, i.advance);
    EXPECT_GT(coverageSum(w), coverageSum(regularW)); // bold strokes cover more
    EXPECT_EQ(coverageSum(space), 0);
    EXPECT_GT(space.advance, 0);

    GlyphBitmap missing;
    EXPECT_FALSE(renderGlyph(bold.face, 0x10FFFF, missing));
    EXPECT_EQ(missing.width, 0);
    EXPECT_EQ(missing.advance, 0);
}

TEST(FontRasterizerTest, BoldArialEighteenHasArialsCellAndAdvances) {
    // The overlay's font: Arial's metrics, which its metric-compatible equivalents share, give
    // these cells and line widths whichever backend renders it.
    const OpenFace bold(arial(18, true));
    ASSERT_NE(bold.face, nullptr);
    EXPECT_EQ(faceCellHeight(bold.face), 18);
    EXPECT_EQ(lineWidth(bold.face, "Car number: 1"), 108);
    EXPECT_EQ(lineWidth(bold.face, "Freight train"), 92);
}

TEST(FontRasterizerTest, ItalicLeansToTheRightAndAnyFamilyFindsAFace) {
    FaceRequest request = arial(40, true, 400);
    const OpenFace upright(request);
    request.italic = true;
    const OpenFace italic(request);
    ASSERT_NE(upright.face, nullptr);
    ASSERT_NE(italic.face, nullptr);
    GlyphBitmap straight, leaning;
    ASSERT_TRUE(renderGlyph(upright.face, 'l', straight));
    ASSERT_TRUE(renderGlyph(italic.face, 'l', leaning));
    ASSERT_GT(straight.height, 20);
    ASSERT_GT(leaning.height, 20);
    EXPECT_NEAR(lean(straight), 0.0, 1.0);
    EXPECT_GT(lean(leaning), 3.0);

    request.family = "No Such Family Anywhere";
    request.italic = false;
    const OpenFace fallback(request);
    ASSERT_NE(fallback.face, nullptr);
    GlyphBitmap a;
    EXPECT_TRUE(renderGlyph(fallback.face, 'a', a));
    EXPECT_GT(a.width, 0);
}
