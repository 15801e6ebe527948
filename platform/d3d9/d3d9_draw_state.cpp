// d3d9_draw_state.cpp: the device's Direct3D state translated into what the renderer takes for
// a draw (backends/renderer.h): the program key, normalised so that state a draw does not use
// leaves it unchanged; the fixed pipeline state; the sampler; the vertex layout of the vertex
// format; and the values the programs read (transforms, light and material, stage constants).
// Lights are given in world space and handed over in view space. Values the layer does not
// offer fall back: unknown stage operations modulate, unknown arguments read the current
// colour, unknown compare functions always pass.
#include "d3d9_internal.h"

#include <algorithm>
#include <cmath>

namespace d3d9 {
namespace {

using renderer::Compare;
using renderer::MaterialSource;
using renderer::StageOp;

Compare compareOf(DWORD value) {
    return value >= D3DCMP_NEVER && value <= D3DCMP_ALWAYS ? Compare(value - D3DCMP_NEVER)
                                                           : Compare::always;
}

renderer::BlendFactor blendFactorOf(DWORD value) {
    using renderer::BlendFactor;
    switch (value) {
    case D3DBLEND_ZERO:
        return BlendFactor::zero;
    case D3DBLEND_SRCCOLOR:
        return BlendFactor::srcColour;
    case D3DBLEND_INVSRCCOLOR:
        return BlendFactor::invSrcColour;
    case D3DBLEND_SRCALPHA:
        return BlendFactor::srcAlpha;
    case D3DBLEND_INVSRCALPHA:
        return BlendFactor::invSrcAlpha;
    case D3DBLEND_DESTALPHA:
        return BlendFactor::destAlpha;
    case D3DBLEND_INVDESTALPHA:
        return BlendFactor::invDestAlpha;
    case D3DBLEND_DESTCOLOR:
        return BlendFactor::destColour;
    case D3DBLEND_INVDESTCOLOR:
        return BlendFactor::invDestColour;
    case D3DBLEND_SRCALPHASAT:
        return BlendFactor::srcAlphaSaturate;
    case D3DBLEND_BLENDFACTOR:
        return BlendFactor::constant;
    case D3DBLEND_INVBLENDFACTOR:
        return BlendFactor::invConstant;
    default:
        return BlendFactor::one;
    }
}

renderer::BlendOp blendOpOf(DWORD value) {
    using renderer::BlendOp;
    switch (value) {
    case D3DBLENDOP_SUBTRACT:
        return BlendOp::subtract;
    case D3DBLENDOP_REVSUBTRACT:
        return BlendOp::revSubtract;
    case D3DBLENDOP_MIN:
        return BlendOp::min;
    case D3DBLENDOP_MAX:
        return BlendOp::max;
    default:
        return BlendOp::add;
    }
}

StageOp stageOpOf(DWORD op) {
    switch (op) {
    case D3DTOP_DISABLE:
        return StageOp::disable;
    case D3DTOP_SELECTARG1:
        return StageOp::selectArg1;
    case D3DTOP_SELECTARG2:
        return StageOp::selectArg2;
    case D3DTOP_MODULATE2X:
        return StageOp::modulate2x;
    case D3DTOP_MODULATE4X:
        return StageOp::modulate4x;
    case D3DTOP_ADD:
        return StageOp::add;
    case D3DTOP_ADDSIGNED:
        return StageOp::addSigned;
    case D3DTOP_ADDSIGNED2X:
        return StageOp::addSigned2x;
    case D3DTOP_SUBTRACT:
        return StageOp::subtract;
    case D3DTOP_BLENDDIFFUSEALPHA:
        return StageOp::blendDiffuseAlpha;
    case D3DTOP_BLENDTEXTUREALPHA:
        return StageOp::blendTextureAlpha;
    case D3DTOP_BLENDFACTORALPHA:
        return StageOp::blendFactorAlpha;
    case D3DTOP_BLENDCURRENTALPHA:
        // The current colour of stage 0 is the diffuse colour.
        return StageOp::blendDiffuseAlpha;
    default: // MODULATE, and the operations this layer does not offer
        return StageOp::modulate;
    }
}

// An argument of stage 0; the alpha of an alpha argument is its alpha already.
uint8_t stageArgOf(DWORD argument, bool alpha) {
    using renderer::StageSource;
    StageSource source = StageSource::diffuse; // also the current colour
    switch (argument & D3DTA_SELECTMASK) {
    case D3DTA_SPECULAR:
        source = StageSource::specular;
        break;
    case D3DTA_TEXTURE:
        source = StageSource::texture;
        break;
    case D3DTA_TFACTOR:
        source = StageSource::factor;
        break;
    default:
        break;
    }
    uint8_t value = uint8_t(source);
    if (argument & D3DTA_COMPLEMENT)
        value |= renderer::argComplement;
    if (!alpha && (argument & D3DTA_ALPHAREPLICATE))
        value |= renderer::argAlphaReplicate;
    return value;
}

// Sets an operation and its arguments, leaving out the arguments it does not read.
void setStage(StageOp& op, uint8_t& arg1, uint8_t& arg2, DWORD d3dOp, DWORD d3dArg1, DWORD d3dArg2,
              bool alpha) {
    op = stageOpOf(d3dOp);
    arg1 = op == StageOp::disable || op == StageOp::selectArg2 ? 0 : stageArgOf(d3dArg1, alpha);
    arg2 = op == StageOp::disable || op == StageOp::selectArg1 ? 0 : stageArgOf(d3dArg2, alpha);
}

// The vertex colour that stands in for a material colour, when the vertices carry it.
MaterialSource materialSourceOf(DWORD value, DWORD fvf) {
    if (value == D3DMCS_COLOR1 && (fvf & D3DFVF_DIFFUSE))
        return MaterialSource::vertexDiffuse;
    if (value == D3DMCS_COLOR2 && (fvf & D3DFVF_SPECULAR))
        return MaterialSource::vertexSpecular;
    return MaterialSource::material;
}

renderer::Filter filterOf(DWORD value) {
    switch (value) {
    case D3DTEXF_NONE:
        return renderer::Filter::none;
    case D3DTEXF_POINT:
        return renderer::Filter::point;
    default: // linear and the better filters
        return renderer::Filter::linear;
    }
}

renderer::Address addressOf(DWORD value) {
    switch (value) {
    case D3DTADDRESS_MIRROR:
    case D3DTADDRESS_MIRRORONCE:
        return renderer::Address::mirror;
    case D3DTADDRESS_CLAMP:
        return renderer::Address::clamp;
    case D3DTADDRESS_BORDER:
        return renderer::Address::border;
    default:
        return renderer::Address::wrap;
    }
}

void colourOf(D3DCOLOR colour, float out[4]) {
    out[0] = float((colour >> 16) & 0xff) / 255.0f;
    out[1] = float((colour >> 8) & 0xff) / 255.0f;
    out[2] = float(colour & 0xff) / 255.0f;
    out[3] = float(colour >> 24) / 255.0f;
}

void copyColour(const D3DCOLORVALUE& colour, float out[4]) {
    out[0] = colour.r;
    out[1] = colour.g;
    out[2] = colour.b;
    out[3] = colour.a;
}

UINT texCoordFloats(DWORD fvf, UINT set) {
    switch ((fvf >> (16 + set * 2)) & 3) {
    case D3DFVF_TEXTUREFORMAT1:
        return 1;
    case D3DFVF_TEXTUREFORMAT3:
        return 3;
    case D3DFVF_TEXTUREFORMAT4:
        return 4;
    default:
        return 2;
    }
}

D3DMATRIX multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX r = {};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k)
                r.m[i][j] += a.m[i][k] * b.m[k][j];
    return r;
}

// A point (w = 1) or direction (w = 0) of a row vector times a matrix.
void transform(const D3DVECTOR& v, float w, const D3DMATRIX& m, float out[4]) {
    for (int j = 0; j < 3; ++j)
        out[j] = v.x * m.m[0][j] + v.y * m.m[1][j] + v.z * m.m[2][j] + w * m.m[3][j];
    out[3] = w;
}

struct Vector3 {
    float x, y, z;
};

Vector3 cross(const Vector3& a, const Vector3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float dot(const Vector3& a, const Vector3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// Scales x, y and z of a direction to length 1; a zero direction stays zero.
void normalise(float direction[4]) {
    const Vector3 d = {direction[0], direction[1], direction[2]};
    const float length = std::sqrt(dot(d, d));
    if (length == 0.0f)
        return;
    direction[0] = d.x / length;
    direction[1] = d.y / length;
    direction[2] = d.z / length;
}

} // namespace

UINT vertexSize(DWORD fvf) {
    UINT size = 0;
    switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ:
        size = 12;
        break;
    case D3DFVF_XYZRHW:
        size = 16;
        break;
    default:
        return 0;
    }
    if (fvf & D3DFVF_NORMAL)
        size += 12;
    if (fvf & D3DFVF_PSIZE)
        size += 4;
    if (fvf & D3DFVF_DIFFUSE)
        size += 4;
    if (fvf & D3DFVF_SPECULAR)
        size += 4;
    const UINT sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (sets > 8)
        return 0;
    for (UINT set = 0; set < sets; ++set)
        size += texCoordFloats(fvf, set) * 4;
    return size;
}

void Device::buildSetup(bool pretransformed) {
    const DWORD* rs = renderStates.data();
    const auto& stage = stageStates[0];
    renderer::ProgramKey key;
    key.pretransformed = pretransformed;
    key.flatShading = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
    key.specularEnable = rs[D3DRS_SPECULARENABLE] != FALSE;
    key.alphaTest = rs[D3DRS_ALPHATESTENABLE] ? compareOf(rs[D3DRS_ALPHAFUNC]) : Compare::always;
    if (!pretransformed && rs[D3DRS_LIGHTING]) {
        key.lighting = 1;
        key.normalizeNormals = rs[D3DRS_NORMALIZENORMALS] != FALSE;
        key.localViewer = key.specularEnable && rs[D3DRS_LOCALVIEWER];
        const DWORD colours = rs[D3DRS_COLORVERTEX] ? fvf : 0;
        key.diffuseSource = materialSourceOf(rs[D3DRS_DIFFUSEMATERIALSOURCE], colours);
        key.ambientSource = materialSourceOf(rs[D3DRS_AMBIENTMATERIALSOURCE], colours);
        key.emissiveSource = materialSourceOf(rs[D3DRS_EMISSIVEMATERIALSOURCE], colours);
        if (key.specularEnable)
            key.specularSource = materialSourceOf(rs[D3DRS_SPECULARMATERIALSOURCE], colours);
        for (const LightSlot& slot : lights) {
            if (slot.enabled && key.lightCount < renderer::maxLights)
                key.lights[key.lightCount++] = renderer::LightType(slot.light.Type);
        }
    }
    Texture* texture = textures[0];
    // Without a texture the stage passes the diffuse colour on.
    if (texture != nullptr && stage[D3DTSS_COLOROP] != D3DTOP_DISABLE) {
        key.textured = 1;
        setStage(key.colourOp, key.colourArg1, key.colourArg2, stage[D3DTSS_COLOROP],
                 stage[D3DTSS_COLORARG1], stage[D3DTSS_COLORARG2], false);
        setStage(key.alphaOp, key.alphaArg1, key.alphaArg2, stage[D3DTSS_ALPHAOP],
                 stage[D3DTSS_ALPHAARG1], stage[D3DTSS_ALPHAARG2], true);
        const auto& sampler = samplerStates[0];
        setup.sampler = {filterOf(sampler[D3DSAMP_MINFILTER]), filterOf(sampler[D3DSAMP_MAGFILTER]),
                         filterOf(sampler[D3DSAMP_MIPFILTER]), addressOf(sampler[D3DSAMP_ADDRESSU]),
                         addressOf(sampler[D3DSAMP_ADDRESSV])};
    }
    // SetTexture keeps setup.texture, the texture's name, up to date.
    setup.key = key;

    colourOf(rs[D3DRS_TEXTUREFACTOR], setup.constants.textureFactor);
    setup.constants.alphaReference[0] = float(rs[D3DRS_ALPHAREF] & 0xff) / 255.0f;

    renderer::PipelineState& p = setup.pipeline;
    p.depthTest = rs[D3DRS_ZENABLE] != D3DZB_FALSE;
    p.depthWrite = rs[D3DRS_ZWRITEENABLE] != FALSE;
    p.depthFunc = compareOf(rs[D3DRS_ZFUNC]);
    p.cull = rs[D3DRS_CULLMODE] == D3DCULL_NONE  ? renderer::Cull::none
             : rs[D3DRS_CULLMODE] == D3DCULL_CCW ? renderer::Cull::counterClockwise
                                                 : renderer::Cull::clockwise;
    p.fill = rs[D3DRS_FILLMODE] == D3DFILL_POINT       ? renderer::Fill::point
             : rs[D3DRS_FILLMODE] == D3DFILL_WIREFRAME ? renderer::Fill::wireframe
                                                       : renderer::Fill::solid;
    p.blend = rs[D3DRS_ALPHABLENDENABLE] != FALSE;
    p.source = blendFactorOf(rs[D3DRS_SRCBLEND]);
    p.destination = blendFactorOf(rs[D3DRS_DESTBLEND]);
    if (rs[D3DRS_SRCBLEND] == D3DBLEND_BOTHSRCALPHA) {
        p.source = renderer::BlendFactor::srcAlpha;
        p.destination = renderer::BlendFactor::invSrcAlpha;
    } else if (rs[D3DRS_SRCBLEND] == D3DBLEND_BOTHINVSRCALPHA) {
        p.source = renderer::BlendFactor::invSrcAlpha;
        p.destination = renderer::BlendFactor::srcAlpha;
    }
    p.blendOp = blendOpOf(rs[D3DRS_BLENDOP]);
    p.blendColour = rs[D3DRS_BLENDFACTOR];
    p.colourWrite = uint8_t(rs[D3DRS_COLORWRITEENABLE] & 0x0f);
    p.dither = rs[D3DRS_DITHERENABLE] != FALSE;
    p.scissorTest = rs[D3DRS_SCISSORTESTENABLE] != FALSE;
    p.scissor[0] = scissor.left;
    p.scissor[1] = scissor.top;
    p.scissor[2] = scissor.right;
    p.scissor[3] = scissor.bottom;

    // Where the attributes lie in a vertex of the format.
    renderer::VertexLayout& layout = setup.layout;
    layout = {};
    layout.positionSize = pretransformed ? 4 : 3;
    int32_t offset = pretransformed ? 16 : 12;
    if (fvf & D3DFVF_NORMAL) {
        layout.normal = offset;
        offset += 12;
    }
    if (fvf & D3DFVF_PSIZE)
        offset += 4;
    if (fvf & D3DFVF_DIFFUSE) {
        layout.colour = offset;
        offset += 4;
    }
    if (fvf & D3DFVF_SPECULAR) {
        layout.specular = offset;
        offset += 4;
    }
    const UINT sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    const UINT wanted = stage[D3DTSS_TEXCOORDINDEX] & 0xffff;
    for (UINT set = 0; set < sets; ++set) {
        const UINT floats = texCoordFloats(fvf, set);
        if (set == wanted) {
            layout.texCoord = offset;
            layout.texCoordSize = uint8_t(floats);
        }
        offset += int32_t(floats * 4);
    }
    setupDirty = false;
}

void Device::buildTransforms() {
    const D3DMATRIX worldView = multiply(transforms[D3DTS_WORLD], transforms[D3DTS_VIEW]);
    renderer::Transforms& t = transformValues;
    std::copy(&worldView._11, &worldView._11 + 16, t.worldView);
    const D3DMATRIX& projection = transforms[D3DTS_PROJECTION];
    std::copy(&projection._11, &projection._11 + 16, t.projection);
    // Normals go through the inverse transpose of the world-view's upper 3x3. Its rows are the
    // cross products of the 3x3's rows taken in turn, over the determinant.
    const auto& m = worldView.m;
    const Vector3 rows[3] = {
        {m[0][0], m[0][1], m[0][2]}, {m[1][0], m[1][1], m[1][2]}, {m[2][0], m[2][1], m[2][2]}};
    const Vector3 cofactors[3] = {cross(rows[1], rows[2]), cross(rows[2], rows[0]),
                                  cross(rows[0], rows[1])};
    const float determinant = dot(rows[0], cofactors[0]);
    const float scale = determinant != 0.0f ? 1.0f / determinant : 0.0f;
    float* normal = t.normal;
    for (const Vector3& row : cofactors) {
        normal[0] = row.x * scale;
        normal[1] = row.y * scale;
        normal[2] = row.z * scale;
        normal[3] = 0.0f;
        normal += 4;
    }
    transformsDirty = false;
}

void Device::buildLighting() {
    renderer::Lighting& l = lightingValues;
    colourOf(renderStates[D3DRS_AMBIENT], l.ambient);
    copyColour(material.Diffuse, l.materialDiffuse);
    copyColour(material.Ambient, l.materialAmbient);
    copyColour(material.Specular, l.materialSpecular);
    copyColour(material.Emissive, l.materialEmissive);
    l.power[0] = material.Power;
    const D3DMATRIX& view = transforms[D3DTS_VIEW];
    int used = 0;
    for (const LightSlot& slot : lights) {
        if (!slot.enabled || used == renderer::maxLights)
            continue;
        const D3DLIGHT9& d = slot.light;
        renderer::Light& light = l.lights[used++];
        light = {};
        copyColour(d.Diffuse, light.diffuse);
        copyColour(d.Specular, light.specular);
        copyColour(d.Ambient, light.ambient);
        transform(d.Position, 1.0f, view, light.position);
        transform(d.Direction, 0.0f, view, light.direction);
        normalise(light.direction);
        light.attenuation[0] = d.Attenuation0;
        light.attenuation[1] = d.Attenuation1;
        light.attenuation[2] = d.Attenuation2;
        light.attenuation[3] = d.Range;
        light.spot[0] = std::cos(d.Theta * 0.5f);
        light.spot[1] = std::cos(d.Phi * 0.5f);
        light.spot[2] = d.Falloff;
    }
    lightingDirty = false;
}

} // namespace d3d9
