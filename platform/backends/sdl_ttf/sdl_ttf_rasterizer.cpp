// sdl_ttf_rasterizer.cpp: the font backend on SDL2_ttf, with fontconfig finding the face: a
// Windows face name such as "Arial" finds its metric-compatible equivalent. SDL2_ttf sizes in
// whole points at 72 dpi (a point is a pixel), so a cell height is met by the largest size whose
// ascent + descent does not exceed it. What the file found lacks (bold, italic) is synthesised.
// Glyphs are rendered blended, one character at a time, as tall as the line's cell.
#include "font_rasterizer.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <cstring>
#include <initializer_list>
#include <new>
#include <string>

struct RasterFace {
    TTF_Font* font = nullptr;
};

namespace {

// The font file that fontconfig matches to the family, weight and slant.
bool findFontFile(const FaceRequest& request, std::string& file, int& index) {
    if (!FcInit())
        return false;
    FcPattern* pattern = FcPatternCreate();
    if (request.family != nullptr && request.family[0] != '\0')
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(request.family));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(request.weight));
    FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    bool found = false;
    FcChar8* path = nullptr;
    if (match != nullptr && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) {
        file = reinterpret_cast<const char*>(path);
        index = 0;
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        found = true;
    }
    if (match != nullptr)
        FcPatternDestroy(match);
    return found;
}

int cellHeight(TTF_Font* font) {
    return TTF_FontAscent(font) - TTF_FontDescent(font);
}

// Sets the largest point size whose cell height does not exceed the given one.
void sizeForCell(TTF_Font* font, int cell) {
    int size = cell;
    TTF_SetFontSize(font, size);
    while (size > 1 && cellHeight(font) > cell)
        TTF_SetFontSize(font, --size);
    while (true) {
        TTF_SetFontSize(font, size + 1);
        if (cellHeight(font) > cell)
            break;
        ++size;
    }
    TTF_SetFontSize(font, size);
}

bool faceStyleHas(TTF_Font* font, std::initializer_list<const char*> words) {
    const char* style = TTF_FontFaceStyleName(font);
    for (const char* word : words)
        if (style != nullptr && std::strstr(style, word) != nullptr)
            return true;
    return false;
}

} // namespace

RasterFace* openFace(const FaceRequest& request) {
    std::string file;
    int faceIndex = 0;
    if (request.pixels <= 0 || !findFontFile(request, file, faceIndex) || TTF_Init() != 0)
        return nullptr;
    TTF_Font* font = TTF_OpenFontIndex(file.c_str(), request.pixels, faceIndex);
    RasterFace* face = font != nullptr ? new (std::nothrow) RasterFace{font} : nullptr;
    if (face == nullptr) {
        if (font != nullptr)
            TTF_CloseFont(font);
        TTF_Quit();
        return nullptr;
    }
    if (request.pixelsAreCellHeight)
        sizeForCell(font, request.pixels);
    int style = TTF_STYLE_NORMAL;
    if (request.weight >= 600 && !faceStyleHas(font, {"Bold", "Black", "Heavy"}))
        style |= TTF_STYLE_BOLD;
    if (request.italic && !faceStyleHas(font, {"Italic", "Oblique"}))
        style |= TTF_STYLE_ITALIC;
    TTF_SetFontStyle(font, style);
    return face;
}

void closeFace(RasterFace* face) {
    if (face == nullptr)
        return;
    TTF_CloseFont(face->font);
    delete face;
    TTF_Quit();
}

int faceCellHeight(const RasterFace* face) {
    return cellHeight(face->font);
}

bool renderGlyph(RasterFace* face, uint32_t codePoint, GlyphBitmap& glyph) {
    glyph = GlyphBitmap{};
    int minX = 0, maxX = 0, minY = 0, maxY = 0, advance = 0;
    if (!TTF_GlyphIsProvided32(face->font, codePoint) ||
        TTF_GlyphMetrics32(face->font, codePoint, &minX, &maxX, &minY, &maxY, &advance) != 0)
        return false;
    glyph.advance = advance;
    glyph.left = minX < 0 ? minX : 0;
    // The bitmap spans the line's cell from its top; a blank glyph may give none.
    SDL_Surface* rendered =
        TTF_RenderGlyph32_Blended(face->font, codePoint, SDL_Color{255, 255, 255, 255});
    if (rendered == nullptr)
        return true;
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(rendered, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(rendered);
    if (argb == nullptr)
        return true;
    glyph.width = argb->w;
    glyph.height = argb->h;
    glyph.coverage.resize(size_t(argb->w) * argb->h);
    SDL_LockSurface(argb);
    for (int y = 0; y < argb->h; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(
            static_cast<const uint8_t*>(argb->pixels) + size_t(y) * argb->pitch);
        for (int x = 0; x < argb->w; ++x)
            glyph.coverage[size_t(y) * argb->w + x] = uint8_t(row[x] >> 24);
    }
    SDL_UnlockSurface(argb);
    SDL_FreeSurface(argb);
    return true;
}
