// font_rasterizer.h: the contract of a font backend: opens a scalable face by family name,
// weight and slant at a size in pixels, gives its cell height and renders single characters as
// 8-bit coverage bitmaps placed on the line. The font of d3dx9/d3dx9_font.cpp packs them into
// its atlas texture. No library type appears here.
#pragma once

#include <cstdint>
#include <vector>

// A face opened by a backend; only the backend knows what it holds.
struct RasterFace;

struct FaceRequest {
    const char* family = nullptr; // e.g. "Arial": that face or its metric-compatible equivalent
    int weight = 400;             // 100 (thin) to 900 (heavy): 400 regular, 700 bold
    bool italic = false;
    int pixels = 16;                 // the size, above 0
    bool pixelsAreCellHeight = true; // the size is ascent + descent; otherwise the em height
};

struct GlyphBitmap {
    int width = 0; // 0 for a character with nothing to draw, such as the space
    int height = 0;
    int left = 0;                  // from the pen position to the bitmap's left column
    int top = 0;                   // from the top of the line's cell to the bitmap's top row
    int advance = 0;               // how far the pen moves on
    std::vector<uint8_t> coverage; // width x height, rows top to bottom, 255 fully covered
};

// The face that best matches the request, bolder or slanted by the backend where the face found
// lacks it; null when there is none. closeFace gives it back.
RasterFace* openFace(const FaceRequest& request);
void closeFace(RasterFace* face);

// Ascent + descent of the face as opened, in pixels.
int faceCellHeight(const RasterFace* face);

// Renders one character (a Unicode code point). False when the face has no glyph for it.
bool renderGlyph(RasterFace* face, uint32_t codePoint, GlyphBitmap& glyph);
