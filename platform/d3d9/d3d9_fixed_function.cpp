// d3d9_fixed_function.cpp: the draw calls of the device and the translation of its Direct3D
// state to OpenGL's fixed-function pipeline, applied lazily before each draw (only what
// changed). Direct3D's conventions are kept: row-vector matrices (loaded as they are, which is
// the column-vector form OpenGL expects), clip depth 0..1 (remapped in the projection), pixel
// centres on integer coordinates, culling by winding on screen, lights given in world space
// with a directional light's direction being the way its light travels.
#include "d3d9_internal.h"

#include <algorithm>

namespace d3d9 {
namespace {

// Direct3D's pixel centres lie on integer coordinates, OpenGL's half a pixel further. The
// picture moves by a little less than half a pixel, so that an edge through pixel centres
// covers the pixels right of and below it, as Direct3D's fill rule does.
constexpr float pixelCentreShift = 0.5f - 1.0f / 128.0f;

D3DMATRIX multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX r = {};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k)
                r.m[i][j] += a.m[i][k] * b.m[k][j];
    return r;
}

GLenum compareFunction(DWORD value) {
    switch (value) {
    case D3DCMP_NEVER:
        return GL_NEVER;
    case D3DCMP_LESS:
        return GL_LESS;
    case D3DCMP_EQUAL:
        return GL_EQUAL;
    case D3DCMP_LESSEQUAL:
        return GL_LEQUAL;
    case D3DCMP_GREATER:
        return GL_GREATER;
    case D3DCMP_NOTEQUAL:
        return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL:
        return GL_GEQUAL;
    default:
        return GL_ALWAYS;
    }
}

GLenum blendFactor(DWORD value) {
    switch (value) {
    case D3DBLEND_ZERO:
        return GL_ZERO;
    case D3DBLEND_SRCCOLOR:
        return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR:
        return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA:
        return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA:
        return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA:
        return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA:
        return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR:
        return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR:
        return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT:
        return GL_SRC_ALPHA_SATURATE;
    case D3DBLEND_BLENDFACTOR:
        return GL_CONSTANT_COLOR;
    case D3DBLEND_INVBLENDFACTOR:
        return GL_ONE_MINUS_CONSTANT_COLOR;
    default:
        return GL_ONE;
    }
}

GLenum blendEquation(DWORD value) {
    switch (value) {
    case D3DBLENDOP_SUBTRACT:
        return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT:
        return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN:
        return GL_MIN;
    case D3DBLENDOP_MAX:
        return GL_MAX;
    default:
        return GL_FUNC_ADD;
    }
}

GLenum textureAddress(DWORD value) {
    switch (value) {
    case D3DTADDRESS_MIRROR:
    case D3DTADDRESS_MIRRORONCE:
        return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP:
        return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER:
        return GL_CLAMP_TO_BORDER;
    default:
        return GL_REPEAT;
    }
}

void colorOf(D3DCOLOR color, GLfloat out[4]) {
    out[0] = float((color >> 16) & 0xff) / 255.0f;
    out[1] = float((color >> 8) & 0xff) / 255.0f;
    out[2] = float(color & 0xff) / 255.0f;
    out[3] = float(color >> 24) / 255.0f;
}

// Vertices drawn for a number of primitives, and the OpenGL mode; 0 vertices when invalid.
UINT primitiveVertices(D3DPRIMITIVETYPE type, UINT count, GLenum& mode) {
    switch (type) {
    case D3DPT_POINTLIST:
        mode = GL_POINTS;
        return count;
    case D3DPT_LINELIST:
        mode = GL_LINES;
        return count * 2;
    case D3DPT_LINESTRIP:
        mode = GL_LINE_STRIP;
        return count + 1;
    case D3DPT_TRIANGLELIST:
        mode = GL_TRIANGLES;
        return count * 3;
    case D3DPT_TRIANGLESTRIP:
        mode = GL_TRIANGLE_STRIP;
        return count + 2;
    case D3DPT_TRIANGLEFAN:
        mode = GL_TRIANGLE_FAN;
        return count + 2;
    default:
        return 0;
    }
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

// One argument of a texture stage as an OpenGL combiner source and operand.
void combinerArgument(DWORD argument, bool alpha, GLenum& source, GLenum& operand) {
    switch (argument & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE:
    case D3DTA_SPECULAR:
        source = GL_PRIMARY_COLOR;
        break;
    case D3DTA_TEXTURE:
        source = GL_TEXTURE;
        break;
    case D3DTA_TFACTOR:
        source = GL_CONSTANT;
        break;
    default:
        source = GL_PREVIOUS;
        break;
    }
    const bool complement = (argument & D3DTA_COMPLEMENT) != 0;
    if (alpha || (argument & D3DTA_ALPHAREPLICATE))
        operand = complement ? GL_ONE_MINUS_SRC_ALPHA : GL_SRC_ALPHA;
    else
        operand = complement ? GL_ONE_MINUS_SRC_COLOR : GL_SRC_COLOR;
}

// Sets the colour (alpha = false) or alpha combiner of texture unit 0 for a texture operation.
void setCombiner(bool alpha, DWORD op, DWORD argument1, DWORD argument2) {
    const GLenum combine = alpha ? GL_COMBINE_ALPHA : GL_COMBINE_RGB;
    const GLenum sources[3] = {alpha ? GLenum(GL_SRC0_ALPHA) : GLenum(GL_SRC0_RGB),
                               alpha ? GLenum(GL_SRC1_ALPHA) : GLenum(GL_SRC1_RGB),
                               alpha ? GLenum(GL_SRC2_ALPHA) : GLenum(GL_SRC2_RGB)};
    const GLenum operands[3] = {alpha ? GLenum(GL_OPERAND0_ALPHA) : GLenum(GL_OPERAND0_RGB),
                                alpha ? GLenum(GL_OPERAND1_ALPHA) : GLenum(GL_OPERAND1_RGB),
                                alpha ? GLenum(GL_OPERAND2_ALPHA) : GLenum(GL_OPERAND2_RGB)};
    GLenum mode = GL_MODULATE;
    GLfloat scale = 1.0f;
    DWORD args[3] = {argument1, argument2, D3DTA_CURRENT};
    switch (op) {
    case D3DTOP_DISABLE: // alpha only: keep the incoming alpha
        mode = GL_REPLACE;
        args[0] = D3DTA_CURRENT;
        break;
    case D3DTOP_SELECTARG1:
        mode = GL_REPLACE;
        break;
    case D3DTOP_SELECTARG2:
        mode = GL_REPLACE;
        args[0] = argument2;
        break;
    case D3DTOP_MODULATE2X:
        scale = 2.0f;
        break;
    case D3DTOP_MODULATE4X:
        scale = 4.0f;
        break;
    case D3DTOP_ADD:
        mode = GL_ADD;
        break;
    case D3DTOP_ADDSIGNED:
        mode = GL_ADD_SIGNED;
        break;
    case D3DTOP_ADDSIGNED2X:
        mode = GL_ADD_SIGNED;
        scale = 2.0f;
        break;
    case D3DTOP_SUBTRACT:
        mode = GL_SUBTRACT;
        break;
    case D3DTOP_BLENDDIFFUSEALPHA:
        mode = GL_INTERPOLATE;
        args[2] = D3DTA_DIFFUSE | D3DTA_ALPHAREPLICATE;
        break;
    case D3DTOP_BLENDTEXTUREALPHA:
        mode = GL_INTERPOLATE;
        args[2] = D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE;
        break;
    case D3DTOP_BLENDFACTORALPHA:
        mode = GL_INTERPOLATE;
        args[2] = D3DTA_TFACTOR | D3DTA_ALPHAREPLICATE;
        break;
    case D3DTOP_BLENDCURRENTALPHA:
        mode = GL_INTERPOLATE;
        args[2] = D3DTA_CURRENT | D3DTA_ALPHAREPLICATE;
        break;
    default: // MODULATE, and the operations this layer does not offer
        break;
    }
    glTexEnvi(GL_TEXTURE_ENV, combine, GLint(mode));
    for (int i = 0; i < 3; ++i) {
        GLenum source;
        GLenum operand;
        combinerArgument(args[i], alpha, source, operand);
        glTexEnvi(GL_TEXTURE_ENV, sources[i], GLint(source));
        glTexEnvi(GL_TEXTURE_ENV, operands[i], GLint(operand));
    }
    glTexEnvf(GL_TEXTURE_ENV, alpha ? GL_ALPHA_SCALE : GL_RGB_SCALE, scale);
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

void Device::setVertexPointers(DWORD format, const uint8_t* base, UINT stride) {
    vertexSetupValid = false;
    const bool pretransformed = (format & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW;
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, GLsizei(stride), base);
    UINT offset = pretransformed ? 16 : 12;
    if (format & D3DFVF_NORMAL) {
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, GLsizei(stride), base + offset);
        offset += 12;
    } else {
        glDisableClientState(GL_NORMAL_ARRAY);
        glNormal3f(0.0f, 0.0f, 0.0f);
    }
    if (format & D3DFVF_PSIZE)
        offset += 4;
    if (format & D3DFVF_DIFFUSE) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(GL_BGRA, GL_UNSIGNED_BYTE, GLsizei(stride), base + offset);
        offset += 4;
    } else {
        // Vertices without a colour are white.
        glDisableClientState(GL_COLOR_ARRAY);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    }
    if (format & D3DFVF_SPECULAR)
        offset += 4;
    const UINT sets = (format & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    const UINT wanted = stageStates[0][D3DTSS_TEXCOORDINDEX] & 0xffff;
    glClientActiveTexture(GL_TEXTURE0);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    for (UINT set = 0; set < sets; ++set) {
        const UINT floats = texCoordFloats(format, set);
        if (set == wanted) {
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            glTexCoordPointer(GLint(floats), GL_FLOAT, GLsizei(stride), base + offset);
        }
        offset += floats * 4;
    }
}

void Device::applyViewport() {
    glViewport(GLint(viewport.X), drawableHeight - GLint(viewport.Y + viewport.Height),
               GLsizei(viewport.Width), GLsizei(viewport.Height));
    glDepthRange(viewport.MinZ, viewport.MaxZ);
    viewportDirty = false;
}

void Device::applyRenderState(DWORD state) {
    const DWORD* rs = renderStates.data();
    const DWORD value = rs[state];
    switch (state) {
    case D3DRS_ZENABLE:
        value != D3DZB_FALSE ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST);
        break;
    case D3DRS_ZWRITEENABLE:
        glDepthMask(value ? GL_TRUE : GL_FALSE);
        break;
    case D3DRS_ZFUNC:
        glDepthFunc(compareFunction(value));
        break;
    case D3DRS_FILLMODE:
        glPolygonMode(GL_FRONT_AND_BACK, value == D3DFILL_POINT       ? GL_POINT
                                         : value == D3DFILL_WIREFRAME ? GL_LINE
                                                                      : GL_FILL);
        break;
    case D3DRS_SHADEMODE:
        glShadeModel(value == D3DSHADE_FLAT ? GL_FLAT : GL_SMOOTH);
        break;
    case D3DRS_ALPHATESTENABLE:
        value ? glEnable(GL_ALPHA_TEST) : glDisable(GL_ALPHA_TEST);
        break;
    case D3DRS_ALPHAREF:
    case D3DRS_ALPHAFUNC:
        glAlphaFunc(compareFunction(rs[D3DRS_ALPHAFUNC]),
                    float(rs[D3DRS_ALPHAREF] & 0xff) / 255.0f);
        break;
    case D3DRS_ALPHABLENDENABLE:
        value ? glEnable(GL_BLEND) : glDisable(GL_BLEND);
        break;
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND: {
        GLenum source = blendFactor(rs[D3DRS_SRCBLEND]);
        GLenum destination = blendFactor(rs[D3DRS_DESTBLEND]);
        if (rs[D3DRS_SRCBLEND] == D3DBLEND_BOTHSRCALPHA) {
            source = GL_SRC_ALPHA;
            destination = GL_ONE_MINUS_SRC_ALPHA;
        } else if (rs[D3DRS_SRCBLEND] == D3DBLEND_BOTHINVSRCALPHA) {
            source = GL_ONE_MINUS_SRC_ALPHA;
            destination = GL_SRC_ALPHA;
        }
        glBlendFunc(source, destination);
        break;
    }
    case D3DRS_BLENDOP:
        glBlendEquation(blendEquation(value));
        break;
    case D3DRS_BLENDFACTOR: {
        GLfloat color[4];
        colorOf(value, color);
        glBlendColor(color[0], color[1], color[2], color[3]);
        break;
    }
    case D3DRS_CULLMODE:
        // Front faces are those that are not culled; the picture is not mirrored, so the
        // on-screen winding of Direct3D is OpenGL's window winding.
        if (value == D3DCULL_NONE) {
            glDisable(GL_CULL_FACE);
        } else {
            glEnable(GL_CULL_FACE);
            glCullFace(GL_BACK);
            glFrontFace(value == D3DCULL_CCW ? GL_CW : GL_CCW);
        }
        break;
    case D3DRS_DITHERENABLE:
        value ? glEnable(GL_DITHER) : glDisable(GL_DITHER);
        break;
    case D3DRS_LIGHTING:
        value && !lastPretransformed ? glEnable(GL_LIGHTING) : glDisable(GL_LIGHTING);
        break;
    case D3DRS_AMBIENT: {
        GLfloat color[4];
        colorOf(value, color);
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, color);
        break;
    }
    case D3DRS_NORMALIZENORMALS:
        value ? glEnable(GL_NORMALIZE) : glDisable(GL_NORMALIZE);
        break;
    case D3DRS_LOCALVIEWER:
        glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, value ? GL_TRUE : GL_FALSE);
        break;
    case D3DRS_SPECULARENABLE:
    case D3DRS_COLORVERTEX:
    case D3DRS_DIFFUSEMATERIALSOURCE:
    case D3DRS_AMBIENTMATERIALSOURCE:
    case D3DRS_SPECULARMATERIALSOURCE:
    case D3DRS_EMISSIVEMATERIALSOURCE:
        materialDirty = true;
        break;
    case D3DRS_TEXTUREFACTOR:
        stageDirty = true;
        break;
    case D3DRS_SCISSORTESTENABLE:
        if (value) {
            glEnable(GL_SCISSOR_TEST);
            glScissor(scissor.left, drawableHeight - scissor.bottom,
                      std::max(scissor.right - scissor.left, LONG(0)),
                      std::max(scissor.bottom - scissor.top, LONG(0)));
        } else {
            glDisable(GL_SCISSOR_TEST);
        }
        break;
    case D3DRS_COLORWRITEENABLE:
        glColorMask((value & D3DCOLORWRITEENABLE_RED) ? GL_TRUE : GL_FALSE,
                    (value & D3DCOLORWRITEENABLE_GREEN) ? GL_TRUE : GL_FALSE,
                    (value & D3DCOLORWRITEENABLE_BLUE) ? GL_TRUE : GL_FALSE,
                    (value & D3DCOLORWRITEENABLE_ALPHA) ? GL_TRUE : GL_FALSE);
        break;
    default: // states kept without an effect on this layer
        break;
    }
}

void Device::applyTransforms(bool pretransformed) {
    glMatrixMode(GL_PROJECTION);
    if (pretransformed) {
        // Screen pixels with y down and depth 0..1; pixel centres on integer coordinates.
        glLoadIdentity();
        const double left = double(viewport.X) - pixelCentreShift;
        const double top = double(viewport.Y) - pixelCentreShift;
        glOrtho(left, left + viewport.Width, top + viewport.Height, top, 0.0, -1.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    } else {
        // Clip depth 0..w becomes -w..w, and the picture moves to OpenGL's pixel centres.
        D3DMATRIX fix = {};
        fix._11 = 1.0f;
        fix._22 = 1.0f;
        fix._33 = 2.0f;
        fix._44 = 1.0f;
        fix._41 = 2.0f * pixelCentreShift / float(viewport.Width);
        fix._42 = -2.0f * pixelCentreShift / float(viewport.Height);
        fix._43 = -1.0f;
        const D3DMATRIX projection = multiply(transforms[D3DTS_PROJECTION], fix);
        glLoadMatrixf(&projection._11);
        glMatrixMode(GL_MODELVIEW);
        if (lightsDirty)
            applyLights();
        const D3DMATRIX modelView = multiply(transforms[D3DTS_WORLD], transforms[D3DTS_VIEW]);
        glLoadMatrixf(&modelView._11);
    }
    transformsDirty = false;
}

void Device::applyLights() {
    // Positions and directions are given in world space: OpenGL takes them through the
    // model-view matrix in force, here the view alone.
    glLoadMatrixf(&transforms[D3DTS_VIEW]._11);
    int used = 0;
    for (const LightSlot& slot : lights) {
        if (!slot.enabled || used == glLightCount)
            continue;
        const GLenum light = GL_LIGHT0 + used++;
        const D3DLIGHT9& d = slot.light;
        glEnable(light);
        glLightfv(light, GL_DIFFUSE, &d.Diffuse.r);
        glLightfv(light, GL_SPECULAR, &d.Specular.r);
        glLightfv(light, GL_AMBIENT, &d.Ambient.r);
        if (d.Type == D3DLIGHT_DIRECTIONAL) {
            const GLfloat towards[4] = {-d.Direction.x, -d.Direction.y, -d.Direction.z, 0.0f};
            glLightfv(light, GL_POSITION, towards);
            glLightf(light, GL_SPOT_CUTOFF, 180.0f);
            glLightf(light, GL_CONSTANT_ATTENUATION, 1.0f);
            glLightf(light, GL_LINEAR_ATTENUATION, 0.0f);
            glLightf(light, GL_QUADRATIC_ATTENUATION, 0.0f);
            continue;
        }
        const GLfloat position[4] = {d.Position.x, d.Position.y, d.Position.z, 1.0f};
        glLightfv(light, GL_POSITION, position);
        glLightf(light, GL_CONSTANT_ATTENUATION, d.Attenuation0);
        glLightf(light, GL_LINEAR_ATTENUATION, d.Attenuation1);
        glLightf(light, GL_QUADRATIC_ATTENUATION, d.Attenuation2);
        if (d.Type == D3DLIGHT_SPOT) {
            glLightfv(light, GL_SPOT_DIRECTION, &d.Direction.x);
            glLightf(light, GL_SPOT_CUTOFF, std::clamp(d.Phi * 0.5f * 57.29578f, 0.0f, 90.0f));
            glLightf(light, GL_SPOT_EXPONENT, std::clamp(d.Falloff, 0.0f, 128.0f));
        } else {
            glLightf(light, GL_SPOT_CUTOFF, 180.0f);
        }
    }
    for (int i = used; i < glLightCount; ++i)
        glDisable(GL_LIGHT0 + i);
    lightsDirty = false;
}

void Device::applyMaterial(DWORD format) {
    glDisable(GL_COLOR_MATERIAL);
    static const GLfloat black[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, &material.Ambient.r);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, &material.Diffuse.r);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, &material.Emissive.r);
    const bool specular = renderStates[D3DRS_SPECULARENABLE] != FALSE;
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular ? &material.Specular.r : black);
    // Specular light is added after texturing only when enabled; without it the fragments
    // carry no second colour, which spares the rasterizer an interpolated value per pixel.
    glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL,
                  specular ? GL_SEPARATE_SPECULAR_COLOR : GL_SINGLE_COLOR);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, std::clamp(material.Power, 0.0f, 128.0f));

    // The vertex colour stands in for the diffuse and/or ambient colour when asked to.
    const bool vertexColor = renderStates[D3DRS_COLORVERTEX] && (format & D3DFVF_DIFFUSE);
    const bool diffuse = vertexColor && renderStates[D3DRS_DIFFUSEMATERIALSOURCE] == D3DMCS_COLOR1;
    const bool ambient = vertexColor && renderStates[D3DRS_AMBIENTMATERIALSOURCE] == D3DMCS_COLOR1;
    if (diffuse || ambient) {
        glColorMaterial(GL_FRONT_AND_BACK, diffuse && ambient ? GL_AMBIENT_AND_DIFFUSE
                                           : diffuse          ? GL_DIFFUSE
                                                              : GL_AMBIENT);
        glEnable(GL_COLOR_MATERIAL);
    }
    materialDirty = false;
    lastMaterialFvf = format & D3DFVF_DIFFUSE;
}

void Device::applyTextureStage() {
    glActiveTexture(GL_TEXTURE0);
    const auto& stage = stageStates[0];
    Texture* texture = textures[0];
    if (stage[D3DTSS_COLOROP] == D3DTOP_DISABLE || texture == nullptr) {
        // Nothing to sample: the stage passes the diffuse colour on.
        glDisable(GL_TEXTURE_2D);
    } else {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture->name);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
        setCombiner(false, stage[D3DTSS_COLOROP], stage[D3DTSS_COLORARG1], stage[D3DTSS_COLORARG2]);
        setCombiner(true, stage[D3DTSS_ALPHAOP], stage[D3DTSS_ALPHAARG1], stage[D3DTSS_ALPHAARG2]);
        GLfloat factor[4];
        colorOf(renderStates[D3DRS_TEXTUREFACTOR], factor);
        glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, factor);
    }
    stageDirty = false;
    textureBindDirty = false;
}

void Device::applySampler(Texture* texture) {
    const auto& sampler = samplerStates[0];
    const std::array<DWORD, 5> wanted = {sampler[D3DSAMP_MINFILTER], sampler[D3DSAMP_MAGFILTER],
                                         sampler[D3DSAMP_MIPFILTER], sampler[D3DSAMP_ADDRESSU],
                                         sampler[D3DSAMP_ADDRESSV]};
    if (texture->appliedSampler == wanted)
        return;
    const bool minLinear = wanted[0] != D3DTEXF_POINT && wanted[0] != D3DTEXF_NONE;
    GLenum minFilter = minLinear ? GL_LINEAR : GL_NEAREST;
    if (wanted[2] == D3DTEXF_POINT)
        minFilter = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    else if (wanted[2] != D3DTEXF_NONE)
        minFilter = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    const bool magLinear = wanted[1] != D3DTEXF_POINT && wanted[1] != D3DTEXF_NONE;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GLint(minFilter));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magLinear ? GL_LINEAR : GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GLint(textureAddress(wanted[3])));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GLint(textureAddress(wanted[4])));
    texture->appliedSampler = wanted;
}

void Device::applyState(bool pretransformed) {
    makeCurrent();
    backHoldsPicture = false;
    if (pretransformed != lastPretransformed) {
        lastPretransformed = pretransformed;
        transformsDirty = true;
        dirtyRenderStates.set(D3DRS_LIGHTING);
    }
    if (viewportDirty)
        applyViewport();
    if (dirtyRenderStates.any()) {
        for (DWORD state = 0; state < renderStateCount; ++state)
            if (dirtyRenderStates.test(state))
                applyRenderState(state);
        dirtyRenderStates.reset();
    }
    if (transformsDirty || (lightsDirty && !pretransformed))
        applyTransforms(pretransformed);
    if (materialDirty || lastMaterialFvf != (fvf & D3DFVF_DIFFUSE))
        applyMaterial(fvf);
    if (stageDirty) {
        applyTextureStage();
    } else if (textureBindDirty) {
        // The same stage set-up samples another texture.
        glBindTexture(GL_TEXTURE_2D, textures[0]->name);
        textureBindDirty = false;
    }
    if (textures[0] != nullptr && stageStates[0][D3DTSS_COLOROP] != D3DTOP_DISABLE)
        applySampler(textures[0]);
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT count) {
    GLenum mode = GL_TRIANGLES;
    const UINT vertices = primitiveVertices(type, count, mode);
    const UINT size = vertexSize(fvf);
    if (!inScene || stream == nullptr || size == 0 || streamStride < size || vertices == 0)
        return count == 0 && inScene ? D3D_OK : D3DERR_INVALIDCALL;
    const uint64_t end = uint64_t(streamOffset) + uint64_t(startVertex + vertices) * streamStride;
    if (end > stream->store.bytes.size())
        return D3DERR_INVALIDCALL;
    applyState((fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW);
    glBindBuffer(GL_ARRAY_BUFFER, stream->store.name);
    setVertexPointers(fvf, reinterpret_cast<const uint8_t*>(uintptr_t(streamOffset)), streamStride);
    glDrawArrays(mode, GLint(startVertex), GLsizei(vertices));
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    return D3D_OK;
}

uint32_t largestIndex(const void* data, D3DFORMAT format, UINT first, UINT count) {
    uint32_t largest = 0;
    if (format == D3DFMT_INDEX16) {
        const uint16_t* indices = static_cast<const uint16_t*>(data) + first;
        for (UINT i = 0; i < count; ++i)
            largest = std::max<uint32_t>(largest, indices[i]);
    } else {
        const uint32_t* indices = static_cast<const uint32_t*>(data) + first;
        for (UINT i = 0; i < count; ++i)
            largest = std::max(largest, indices[i]);
    }
    return largest;
}

// The vertex range hint is not needed: the indices are checked against the vertex buffer.
HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertex, UINT /*minIndex*/,
                                     UINT /*vertexCount*/, UINT startIndex, UINT count) {
    GLenum mode = GL_TRIANGLES;
    const UINT indexCount = primitiveVertices(type, count, mode);
    const UINT size = vertexSize(fvf);
    if (!inScene || stream == nullptr || indices == nullptr || size == 0 || streamStride < size ||
        indexCount == 0)
        return count == 0 && inScene ? D3D_OK : D3DERR_INVALIDCALL;
    const D3DFORMAT format = indices->desc.Format;
    const UINT indexSize = format == D3DFMT_INDEX16 ? 2 : 4;
    if ((uint64_t(startIndex) + indexCount) * indexSize > indices->store.bytes.size())
        return D3DERR_INVALIDCALL;
    // Every vertex the indices reach must lie in the vertex buffer: the buffer's largest index
    // (kept while it is unlocked) settles it at once; otherwise the indices drawn decide.
    const int64_t first = int64_t(streamOffset) + int64_t(baseVertex) * streamStride;
    const uint64_t available = stream->store.bytes.size();
    const uint8_t* indexBytes = indices->store.bytes.data();
    const bool unlocked = indices->store.lockCount == 0;
    if (unlocked && !indices->largestKnown) {
        indices->largest =
            largestIndex(indexBytes, format, 0, UINT(indices->store.bytes.size() / indexSize));
        indices->largestKnown = true;
    }
    auto reaches = [&](uint32_t index) {
        return uint64_t(first) + (uint64_t(index) + 1) * streamStride;
    };
    const bool allFit = unlocked && reaches(indices->largest) <= available;
    if (first < 0 ||
        (!allFit && reaches(largestIndex(indexBytes, format, startIndex, indexCount)) > available))
        return D3DERR_INVALIDCALL;
    applyState((fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW);
    const VertexSetup setup = {stream->store.name, first, streamStride, fvf,
                               stageStates[0][D3DTSS_TEXCOORDINDEX]};
    if (!vertexSetupValid || !(setup == vertexSetup)) {
        glBindBuffer(GL_ARRAY_BUFFER, stream->store.name);
        setVertexPointers(fvf, reinterpret_cast<const uint8_t*>(uintptr_t(first)), streamStride);
        vertexSetup = setup;
        vertexSetupValid = true;
    }
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices->store.name);
    glDrawElements(mode, GLsizei(indexCount),
                   format == D3DFMT_INDEX16 ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT,
                   reinterpret_cast<const void*>(uintptr_t(startIndex) * indexSize));
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    return D3D_OK;
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT count, const void* vertices,
                                UINT stride) {
    GLenum mode = GL_TRIANGLES;
    const UINT vertexCount = primitiveVertices(type, count, mode);
    const UINT size = vertexSize(fvf);
    if (!inScene || vertices == nullptr || size == 0 || stride < size || vertexCount == 0)
        return count == 0 && inScene ? D3D_OK : D3DERR_INVALIDCALL;
    applyState((fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW);
    setVertexPointers(fvf, static_cast<const uint8_t*>(vertices), stride);
    glDrawArrays(mode, 0, GLsizei(vertexCount));
    // Drawing from user memory leaves no stream source set.
    SetStreamSource(0, nullptr, 0, 0);
    return D3D_OK;
}

HRESULT Device::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT vertexCount,
                                       UINT count, const void* indexData, D3DFORMAT indexFormat,
                                       const void* vertices, UINT stride) {
    GLenum mode = GL_TRIANGLES;
    const UINT indexCount = primitiveVertices(type, count, mode);
    const UINT size = vertexSize(fvf);
    if (!inScene || vertices == nullptr || indexData == nullptr || size == 0 || stride < size ||
        indexCount == 0 || (indexFormat != D3DFMT_INDEX16 && indexFormat != D3DFMT_INDEX32))
        return count == 0 && inScene ? D3D_OK : D3DERR_INVALIDCALL;
    // The caller's vertices are minIndex + vertexCount long: no index may reach further.
    if (uint64_t(largestIndex(indexData, indexFormat, 0, indexCount)) >=
        uint64_t(minIndex) + vertexCount)
        return D3DERR_INVALIDCALL;
    applyState((fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW);
    setVertexPointers(fvf, static_cast<const uint8_t*>(vertices), stride);
    glDrawElements(mode, GLsizei(indexCount),
                   indexFormat == D3DFMT_INDEX16 ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT, indexData);
    SetStreamSource(0, nullptr, 0, 0);
    SetIndices(nullptr);
    return D3D_OK;
}

} // namespace d3d9
