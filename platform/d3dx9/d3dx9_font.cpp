// d3dx9_font.cpp: D3DXCreateFontA and ID3DXFont. The face comes from the font backend
// (font_rasterizer.h): a positive height is the cell height (ascent + descent), a negative one
// the character height, 0 a cell of 16 pixels. Text is in the Windows-1251 code page: its
// printable characters are rendered once, white with their coverage as alpha, into an A8R8G8B8
// atlas texture. DrawTextA draws one textured quad per glyph with DrawPrimitiveUP (pre-transformed
// vertices with the colour as diffuse), setting every device state it relies on and restoring
// them all.
#include <d3dx9.h>

#include "codepage.h"
#include "com_object.h"
#include "font_rasterizer.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

const IID IID_ID3DXFont = {
    0xd79dbb70, 0x5f21, 0x4d36, {0xbb, 0xc2, 0xff, 0x52, 0x5c, 0x21, 0x3c, 0xdc}};

namespace {

constexpr DWORD glyphFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct GlyphVertex {
    float x, y, z, rhw;
    D3DCOLOR colour;
    float u, v;
};

// Where a character's bitmap sits in the atlas and how it is placed on the line.
struct Glyph {
    int atlasX = 0, atlasY = 0, width = 0, height = 0;
    int offsetX = 0; // from the pen position to the bitmap's left edge
    int offsetY = 0; // from the line's top to the bitmap's top edge
    int advance = 0;
};

class Font final : public ComObject<ID3DXFont> {
public:
    Font(IDirect3DDevice9* device, const D3DXFONT_DESCA& desc) : device(device), desc(desc) {
        device->AddRef();
    }

    // Opens the face and renders the atlas; a negative result leaves the font unusable.
    HRESULT create() {
        FaceRequest request;
        request.family = desc.FaceName;
        request.weight = desc.Weight == FW_DONTCARE ? FW_NORMAL : int(desc.Weight);
        request.italic = desc.Italic != FALSE;
        request.pixels = desc.Height == 0 ? 16 : (desc.Height > 0 ? desc.Height : -desc.Height);
        request.pixelsAreCellHeight = desc.Height >= 0;
        RasterFace* face = openFace(request);
        if (face == nullptr)
            return D3DXERR_INVALIDDATA;
        lineHeight = desc.Height > 0 ? desc.Height : faceCellHeight(face);
        HRESULT result = buildAtlas(face);
        closeFace(face);
        return result;
    }

    HRESULT GetDevice(LPDIRECT3DDEVICE9* out) override {
        if (out == nullptr)
            return D3DERR_INVALIDCALL;
        device->AddRef();
        *out = device;
        return D3D_OK;
    }
    HRESULT GetDescA(D3DXFONT_DESCA* out) override {
        if (out == nullptr)
            return D3DERR_INVALIDCALL;
        *out = desc;
        return D3D_OK;
    }
    HRESULT OnLostDevice() override { return D3D_OK; } // the atlas is a managed texture
    HRESULT OnResetDevice() override { return D3D_OK; }

    INT DrawTextA(LPD3DXSPRITE, LPCSTR text, INT count, LPRECT rect, DWORD format,
                  D3DCOLOR colour) override;

private:
    ~Font() {
        if (atlas != nullptr)
            atlas->Release();
        device->Release();
    }

    void* interfaceFor(REFIID riid) override {
        return riid == IID_ID3DXFont ? static_cast<ID3DXFont*>(this) : nullptr;
    }

    // The code page's characters but for the control characters (below 32, 127) and the one
    // it leaves unassigned, packed in rows into a power-of-two texture.
    HRESULT buildAtlas(RasterFace* face) {
        std::vector<GlyphBitmap> bitmaps(256);
        const int atlasWidth = lineHeight > 40 ? 1024 : 256;
        int x = 0, y = 0, rowHeight = 0;
        for (int c = 32; c < 256; ++c) {
            const uint32_t codePoint = codePointFromCp1251(static_cast<unsigned char>(c));
            if (c == 127 || codePoint == 0xFFFD || !renderGlyph(face, codePoint, bitmaps[c]))
                continue;
            const GlyphBitmap& bitmap = bitmaps[c];
            Glyph& glyph = glyphs[c];
            glyph.advance = bitmap.advance;
            glyph.offsetX = bitmap.left;
            glyph.offsetY = bitmap.top;
            if (bitmap.width <= 0 || bitmap.height <= 0)
                continue; // a blank glyph such as the space has only an advance
            if (x + bitmap.width > atlasWidth) {
                x = 0;
                y += rowHeight + 1;
                rowHeight = 0;
            }
            glyph.atlasX = x;
            glyph.atlasY = y;
            glyph.width = bitmap.width < atlasWidth ? bitmap.width : atlasWidth;
            glyph.height = bitmap.height;
            x += glyph.width + 1;
            rowHeight = bitmap.height > rowHeight ? bitmap.height : rowHeight;
        }
        int atlasHeight = 1;
        while (atlasHeight < y + rowHeight)
            atlasHeight *= 2;
        atlasSize[0] = atlasWidth;
        atlasSize[1] = atlasHeight;

        HRESULT result = device->CreateTexture(atlasWidth, atlasHeight, 1, 0, D3DFMT_A8R8G8B8,
                                               D3DPOOL_MANAGED, &atlas, nullptr);
        D3DLOCKED_RECT locked{};
        if (SUCCEEDED(result))
            result = atlas->LockRect(0, &locked, nullptr, 0);
        if (FAILED(result))
            return result;
        for (int row = 0; row < atlasHeight; ++row)
            std::memset(static_cast<BYTE*>(locked.pBits) + row * locked.Pitch, 0, atlasWidth * 4);
        for (int c = 0; c < 256; ++c) {
            const Glyph& glyph = glyphs[c];
            for (int row = 0; row < glyph.height; ++row) {
                auto* texels = reinterpret_cast<uint32_t*>(static_cast<BYTE*>(locked.pBits) +
                                                           (glyph.atlasY + row) * locked.Pitch) +
                               glyph.atlasX;
                const uint8_t* coverage = &bitmaps[c].coverage[size_t(row) * bitmaps[c].width];
                for (int column = 0; column < glyph.width; ++column)
                    texels[column] = uint32_t(coverage[column]) << 24 | 0xFFFFFF;
            }
        }
        return atlas->UnlockRect(0);
    }

    int lineWidth(const unsigned char* text, int length) const {
        int width = 0;
        for (int i = 0; i < length; ++i)
            width += glyphs[text[i]].advance;
        return width;
    }

    void addQuad(const Glyph& glyph, float left, float top, const RECT* clip, D3DCOLOR colour);
    void draw();

    IDirect3DDevice9* device;
    D3DXFONT_DESCA desc;
    IDirect3DTexture9* atlas = nullptr;
    int atlasSize[2] = {1, 1};
    int lineHeight = 0;
    Glyph glyphs[256];
    std::vector<GlyphVertex> vertices; // reused between calls
};

// Adds the glyph's quad with its top-left pixel at (left, top), cut to clip when given.
// Vertices sit half a pixel up and left so that texels map one to one onto pixels.
void Font::addQuad(const Glyph& glyph, float left, float top, const RECT* clip, D3DCOLOR colour) {
    float x0 = left, y0 = top, x1 = left + glyph.width, y1 = top + glyph.height;
    float u0 = static_cast<float>(glyph.atlasX), v0 = static_cast<float>(glyph.atlasY);
    float u1 = u0 + glyph.width, v1 = v0 + glyph.height;
    if (clip != nullptr) {
        if (x0 < clip->left) {
            u0 += clip->left - x0;
            x0 = static_cast<float>(clip->left);
        }
        if (y0 < clip->top) {
            v0 += clip->top - y0;
            y0 = static_cast<float>(clip->top);
        }
        if (x1 > clip->right) {
            u1 -= x1 - clip->right;
            x1 = static_cast<float>(clip->right);
        }
        if (y1 > clip->bottom) {
            v1 -= y1 - clip->bottom;
            y1 = static_cast<float>(clip->bottom);
        }
        if (x0 >= x1 || y0 >= y1)
            return;
    }
    const float su = 1.0f / atlasSize[0], sv = 1.0f / atlasSize[1];
    const GlyphVertex corners[4] = {{x0 - 0.5f, y0 - 0.5f, 0, 1, colour, u0 * su, v0 * sv},
                                    {x1 - 0.5f, y0 - 0.5f, 0, 1, colour, u1 * su, v0 * sv},
                                    {x0 - 0.5f, y1 - 0.5f, 0, 1, colour, u0 * su, v1 * sv},
                                    {x1 - 0.5f, y1 - 0.5f, 0, 1, colour, u1 * su, v1 * sv}};
    for (int corner : {0, 1, 2, 2, 1, 3})
        vertices.push_back(corners[corner]);
}

// Draws the collected quads with the font's own states, then puts back the caller's.
void Font::draw() {
    struct State {
        D3DRENDERSTATETYPE type;
        DWORD value;
        DWORD saved;
    };
    State renderStates[] = {
        {D3DRS_ALPHABLENDENABLE, TRUE, 0},
        {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA, 0},
        {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA, 0},
        {D3DRS_BLENDOP, D3DBLENDOP_ADD, 0},
        {D3DRS_SEPARATEALPHABLENDENABLE, FALSE, 0},
        {D3DRS_ALPHATESTENABLE, FALSE, 0},
        {D3DRS_LIGHTING, FALSE, 0},
        {D3DRS_ZENABLE, D3DZB_FALSE, 0},
        {D3DRS_ZWRITEENABLE, FALSE, 0},
        {D3DRS_CULLMODE, D3DCULL_NONE, 0},
        {D3DRS_FOGENABLE, FALSE, 0},
        {D3DRS_FILLMODE, D3DFILL_SOLID, 0},
        {D3DRS_SCISSORTESTENABLE, FALSE, 0},
        {D3DRS_COLORWRITEENABLE, 0xF, 0},
    };
    struct StageState {
        DWORD stage;
        D3DTEXTURESTAGESTATETYPE type;
        DWORD value;
        DWORD saved;
    };
    StageState stageStates[] = {
        {0, D3DTSS_COLOROP, D3DTOP_MODULATE, 0}, {0, D3DTSS_COLORARG1, D3DTA_TEXTURE, 0},
        {0, D3DTSS_COLORARG2, D3DTA_DIFFUSE, 0}, {0, D3DTSS_ALPHAOP, D3DTOP_MODULATE, 0},
        {0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE, 0}, {0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE, 0},
        {0, D3DTSS_TEXCOORDINDEX, 0, 0},         {0, D3DTSS_TEXTURETRANSFORMFLAGS, 0, 0},
        {1, D3DTSS_COLOROP, D3DTOP_DISABLE, 0},  {1, D3DTSS_ALPHAOP, D3DTOP_DISABLE, 0},
    };
    struct SamplerState {
        D3DSAMPLERSTATETYPE type;
        DWORD value;
        DWORD saved;
    };
    SamplerState samplerStates[] = {
        {D3DSAMP_MINFILTER, D3DTEXF_POINT, 0},    {D3DSAMP_MAGFILTER, D3DTEXF_POINT, 0},
        {D3DSAMP_MIPFILTER, D3DTEXF_NONE, 0},     {D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP, 0},
        {D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP, 0},
    };

    for (State& s : renderStates) {
        device->GetRenderState(s.type, &s.saved);
        device->SetRenderState(s.type, s.value);
    }
    for (StageState& s : stageStates) {
        device->GetTextureStageState(s.stage, s.type, &s.saved);
        device->SetTextureStageState(s.stage, s.type, s.value);
    }
    for (SamplerState& s : samplerStates) {
        device->GetSamplerState(0, s.type, &s.saved);
        device->SetSamplerState(0, s.type, s.value);
    }
    DWORD savedFvf = 0;
    device->GetFVF(&savedFvf);
    IDirect3DBaseTexture9* savedTexture = nullptr;
    device->GetTexture(0, &savedTexture);
    IDirect3DVertexBuffer9* savedStream = nullptr;
    UINT savedOffset = 0, savedStride = 0;
    device->GetStreamSource(0, &savedStream, &savedOffset, &savedStride);

    device->SetFVF(glyphFvf);
    device->SetTexture(0, atlas);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(vertices.size() / 3),
                            vertices.data(), sizeof(GlyphVertex));

    device->SetStreamSource(0, savedStream, savedOffset, savedStride);
    if (savedStream != nullptr)
        savedStream->Release();
    device->SetTexture(0, savedTexture);
    if (savedTexture != nullptr)
        savedTexture->Release();
    device->SetFVF(savedFvf);
    for (const SamplerState& s : samplerStates)
        device->SetSamplerState(0, s.type, s.saved);
    for (const StageState& s : stageStates)
        device->SetTextureStageState(s.stage, s.type, s.saved);
    for (const State& s : renderStates)
        device->SetRenderState(s.type, s.saved);
}

INT Font::DrawTextA(LPD3DXSPRITE, LPCSTR text, INT count, LPRECT rect, DWORD format,
                    D3DCOLOR colour) {
    if (text == nullptr)
        return 0;
    // A count past the string's terminator stops at the terminator: nothing beyond is read.
    const int length = static_cast<int>(count < 0 ? std::strlen(text) : strnlen(text, count));
    if (length == 0)
        return 0;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
    RECT area = rect != nullptr ? *rect : RECT{0, 0, 0, 0};

    // Split into lines at line feeds (a carriage return before one is dropped).
    struct Line {
        int start, length;
    };
    std::vector<Line> lines;
    for (int start = 0, i = 0; i <= length; ++i) {
        if (i == length || ((format & DT_SINGLELINE) == 0 && bytes[i] == '\n')) {
            int end = i;
            if (end > start && bytes[end - 1] == '\r')
                --end;
            lines.push_back({start, end - start});
            start = i + 1;
        }
    }
    const int textHeight = static_cast<int>(lines.size()) * lineHeight;
    int widest = 0;
    for (const Line& line : lines) {
        const int width = lineWidth(bytes + line.start, line.length);
        widest = width > widest ? width : widest;
    }

    int top = area.top;
    if ((format & DT_SINGLELINE) != 0 && (format & DT_VCENTER) != 0)
        top = area.top + (area.bottom - area.top - textHeight) / 2;
    else if ((format & DT_SINGLELINE) != 0 && (format & DT_BOTTOM) != 0)
        top = area.bottom - textHeight;

    if ((format & DT_CALCRECT) != 0) {
        if (rect != nullptr) {
            rect->right = rect->left + widest;
            rect->bottom = rect->top + textHeight;
        }
        return textHeight;
    }

    const RECT* clip = (format & DT_NOCLIP) != 0 || rect == nullptr ? nullptr : &area;
    vertices.clear();
    for (size_t l = 0; l < lines.size(); ++l) {
        const Line& line = lines[l];
        const int width = lineWidth(bytes + line.start, line.length);
        int pen = area.left;
        if ((format & DT_CENTER) != 0)
            pen = area.left + (area.right - area.left - width) / 2;
        else if ((format & DT_RIGHT) != 0)
            pen = area.right - width;
        const int lineTop = top + static_cast<int>(l) * lineHeight;
        for (int i = 0; i < line.length; ++i) {
            const Glyph& glyph = glyphs[bytes[line.start + i]];
            if (glyph.width > 0)
                addQuad(glyph, static_cast<float>(pen + glyph.offsetX),
                        static_cast<float>(lineTop + glyph.offsetY), clip, colour);
            pen += glyph.advance;
        }
    }
    if (!vertices.empty() && atlas != nullptr)
        draw();
    return textHeight;
}

} // namespace

HRESULT WINAPI D3DXCreateFontA(LPDIRECT3DDEVICE9 device, INT height, UINT width, UINT weight,
                               UINT mipLevels, BOOL italic, DWORD charSet, DWORD outputPrecision,
                               DWORD quality, DWORD pitchAndFamily, LPCSTR faceName,
                               LPD3DXFONT* font) {
    if (font != nullptr)
        *font = nullptr;
    if (device == nullptr || font == nullptr)
        return D3DERR_INVALIDCALL;
    D3DXFONT_DESCA desc{};
    desc.Height = height;
    desc.Width = width;
    desc.Weight = weight;
    desc.MipLevels = mipLevels;
    desc.Italic = italic;
    desc.CharSet = static_cast<BYTE>(charSet);
    desc.OutputPrecision = static_cast<BYTE>(outputPrecision);
    desc.Quality = static_cast<BYTE>(quality);
    desc.PitchAndFamily = static_cast<BYTE>(pitchAndFamily);
    if (faceName != nullptr)
        std::strncpy(desc.FaceName, faceName, LF_FACESIZE - 1);

    Font* created = new (std::nothrow) Font(device, desc);
    if (created == nullptr)
        return E_OUTOFMEMORY;
    HRESULT result = created->create();
    if (FAILED(result)) {
        created->Release();
        return result;
    }
    *font = created;
    return D3D_OK;
}
