// stb_truetype_rasterizer.cpp: the font backend on stb_truetype, for builds without SDL2_ttf and
// fontconfig (the web build). The face's file is found as font_files.h says. A face is sized as
// the desktop backend's is: a whole number of pixels to the em, and for a cell height the largest
// em whose ascent + descent (each rounded as FreeType rounds them) does not exceed it. Where the
// file found lacks the weight or slant asked for, strokes are widened by a pixel or rows sheared.
#include "font_rasterizer.h"

#include "font_files.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <string>
#include <strings.h>

#define STBTT_STATIC
#define STB_TRUETYPE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb_truetype.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

struct RasterFace {
    std::vector<unsigned char> file; // stb_truetype reads the face from here
    stbtt_fontinfo info{};
    float scale = 0.0f; // pixels per font unit
    int ascent = 0;     // pixels above the baseline
    int descent = 0;    // pixels below it
    bool embolden = false;
    bool slant = false;
};

namespace {

// How far a synthesised slant moves a row to the right, per pixel above the baseline.
constexpr float slantPerRow = 0.2f;

bool readFile(const std::string& path, std::vector<unsigned char>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    bytes.clear();
    unsigned char chunk[16384];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    bool read = std::ferror(file) == 0 && !bytes.empty();
    std::fclose(file);
    return read;
}

const char* fileStem(const char* family) {
    for (const font_files::Family& known : font_files::families)
        if (family != nullptr && strcasecmp(family, known.windowsName) == 0)
            return known.fileStem;
    return font_files::families[0].fileStem;
}

// Opens the best file for the request: the style asked for, else one lacking bold or slant,
// which the face then synthesises.
bool openFile(const FaceRequest& request, RasterFace& face) {
    const bool heavy = request.weight >= 600;
    struct Choice {
        const char* style;
        bool embolden;
        bool slant;
    };
    using namespace font_files;
    Choice choices[4];
    int count = 0;
    if (heavy && request.italic) {
        choices[count++] = {boldItalic, false, false};
        choices[count++] = {bold, false, true};
        choices[count++] = {italic, true, false};
        choices[count++] = {regular, true, true};
    } else if (heavy) {
        choices[count++] = {bold, false, false};
        choices[count++] = {regular, true, false};
    } else if (request.italic) {
        choices[count++] = {italic, false, false};
        choices[count++] = {regular, false, true};
    } else {
        choices[count++] = {regular, false, false};
        choices[count++] = {bold, false, false};
    }
    const std::string stem = fileStem(request.family);
    for (int i = 0; i < count; ++i)
        for (const char* folder : folders) {
            if (!readFile(std::string(folder) + "/" + stem + "-" + choices[i].style + ".ttf",
                          face.file))
                continue;
            int offset = stbtt_GetFontOffsetForIndex(face.file.data(), 0);
            if (offset < 0 || !stbtt_InitFont(&face.info, face.file.data(), offset))
                continue;
            face.embolden = choices[i].embolden;
            face.slant = choices[i].slant;
            return true;
        }
    return false;
}

// Sets the face to a whole number of pixels to the em, with FreeType's rounding of the ascent
// and descent: both towards the top of the line.
void setEm(RasterFace& face, int em) {
    int ascender = 0, descender = 0, lineGap = 0;
    stbtt_GetFontVMetrics(&face.info, &ascender, &descender, &lineGap);
    face.scale = stbtt_ScaleForMappingEmToPixels(&face.info, float(em));
    face.ascent = int(std::ceil(float(ascender) * face.scale));
    face.descent = -int(std::ceil(float(descender) * face.scale));
}

// The largest em whose cell does not exceed the given height (1 when none does).
void sizeForCell(RasterFace& face, int cell) {
    int em = cell;
    setEm(face, em);
    while (em > 1 && face.ascent + face.descent > cell)
        setEm(face, --em);
    while (true) {
        setEm(face, em + 1);
        if (face.ascent + face.descent > cell)
            break;
        ++em;
    }
    setEm(face, em);
}

// Widens every stroke by a pixel to the right.
void widen(GlyphBitmap& glyph) {
    const int width = glyph.width + 1;
    std::vector<uint8_t> wide(size_t(width) * glyph.height, 0);
    for (int y = 0; y < glyph.height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint8_t* row = &glyph.coverage[size_t(y) * glyph.width];
            uint8_t here = x < glyph.width ? row[x] : 0;
            uint8_t left = x > 0 ? row[x - 1] : 0;
            wide[size_t(y) * width + x] = std::max(here, left);
        }
    glyph.coverage.swap(wide);
    glyph.width = width;
    ++glyph.advance;
}

// Moves each row right by its height above the baseline times the slant.
void shear(GlyphBitmap& glyph, int baselineRow) {
    auto shift = [&](int y) { return int(std::lround(slantPerRow * float(baselineRow - y))); };
    const int least = shift(glyph.height - 1), most = shift(0);
    const int width = glyph.width + most - least;
    std::vector<uint8_t> sheared(size_t(width) * glyph.height, 0);
    for (int y = 0; y < glyph.height; ++y)
        std::copy_n(&glyph.coverage[size_t(y) * glyph.width], glyph.width,
                    &sheared[size_t(y) * width + (shift(y) - least)]);
    glyph.coverage.swap(sheared);
    glyph.width = width;
    glyph.left += least;
}

} // namespace

RasterFace* openFace(const FaceRequest& request) {
    if (request.pixels <= 0)
        return nullptr;
    RasterFace* face = new (std::nothrow) RasterFace;
    if (face == nullptr)
        return nullptr;
    if (!openFile(request, *face)) {
        delete face;
        return nullptr;
    }
    if (request.pixelsAreCellHeight)
        sizeForCell(*face, request.pixels);
    else
        setEm(*face, request.pixels);
    return face;
}

void closeFace(RasterFace* face) {
    delete face;
}

int faceCellHeight(const RasterFace* face) {
    return face->ascent + face->descent;
}

bool renderGlyph(RasterFace* face, uint32_t codePoint, GlyphBitmap& glyph) {
    glyph = GlyphBitmap{};
    if (codePoint > 0x10FFFF)
        return false;
    const int index = stbtt_FindGlyphIndex(&face->info, int(codePoint));
    if (index == 0)
        return false;
    int advanceWidth = 0, leftBearing = 0;
    stbtt_GetGlyphHMetrics(&face->info, index, &advanceWidth, &leftBearing);
    glyph.advance = int(std::lround(float(advanceWidth) * face->scale));
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    stbtt_GetGlyphBitmapBox(&face->info, index, face->scale, face->scale, &x0, &y0, &x1, &y1);
    if (x1 > x0 && y1 > y0) {
        glyph.width = x1 - x0;
        glyph.height = y1 - y0;
        glyph.left = x0;
        glyph.top = face->ascent + y0;
        glyph.coverage.resize(size_t(glyph.width) * glyph.height);
        stbtt_MakeGlyphBitmap(&face->info, glyph.coverage.data(), glyph.width, glyph.height,
                              glyph.width, face->scale, face->scale, index);
    }
    if (face->embolden && glyph.width > 0)
        widen(glyph);
    else if (face->embolden)
        ++glyph.advance;
    if (face->slant && glyph.width > 0)
        shear(glyph, -y0);
    return true;
}
