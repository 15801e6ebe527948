// renderer.h: what the Direct3D device needs of the GPU, in the device's own terms: textures
// and buffers, clears, draws with a normalised key of the state that picks the shader
// program and the values that program reads, and the read-back of the picture. All calls act
// on the current context (graphics_surface.h). Carried out by a backend
// (backends/opengl/gl_renderer.cpp on OpenGL 3.3 core).
//
// Conventions are Direct3D's: row-vector matrices, clip depth 0..w, pixel centres on integer
// coordinates, window coordinates with y down, pixels as BGRA bytes with rows top first,
// colours as 0xAARRGGBB in vertices and constants.
#pragma once

#include <cstdint>

namespace renderer {

struct Renderer;

// 0 names no object.
using Handle = uint32_t;

constexpr int maxLights = 8;

enum class LightType : uint8_t { none, point, spot, directional };

// A texture stage operation: what the fragment program computes from the stage's arguments.
enum class StageOp : uint8_t {
    disable,
    selectArg1,
    selectArg2,
    modulate,
    modulate2x,
    modulate4x,
    add,
    addSigned,
    addSigned2x,
    subtract,
    blendDiffuseAlpha,
    blendTextureAlpha,
    blendFactorAlpha,
};

// A stage argument: its source in the low bits, optionally complemented and/or with its alpha
// replicated into the colour.
// The current colour of stage 0 is the diffuse colour.
enum class StageSource : uint8_t { diffuse, specular, texture, factor };
constexpr uint8_t argComplement = 0x10;
constexpr uint8_t argAlphaReplicate = 0x20;
constexpr uint8_t argSourceMask = 0x0f;

// Where a lit vertex takes a material colour from: the material, or its diffuse or specular
// colour.
enum class MaterialSource : uint8_t { material, vertexDiffuse, vertexSpecular };

enum class Compare : uint8_t {
    never,
    less,
    equal,
    lessEqual,
    greater,
    notEqual,
    greaterEqual,
    always
};

// Everything the generated vertex and fragment programs depend on. Fields that do not matter
// for a draw are zero, so that equal drawing gives equal keys: one program per distinct key.
struct ProgramKey {
    uint8_t pretransformed = 0; // screen positions with depth, no transforms or light
    uint8_t lighting = 0;
    uint8_t normalizeNormals = 0;
    uint8_t localViewer = 0;
    uint8_t specularEnable = 0; // specular light added after the stage
    MaterialSource diffuseSource = MaterialSource::material;
    MaterialSource ambientSource = MaterialSource::material;
    MaterialSource specularSource = MaterialSource::material;
    MaterialSource emissiveSource = MaterialSource::material;
    uint8_t flatShading = 0;
    uint8_t lightCount = 0;
    LightType lights[maxLights] = {};
    uint8_t textured = 0; // stage 0 runs with a texture
    StageOp colourOp = StageOp::disable;
    uint8_t colourArg1 = 0;
    uint8_t colourArg2 = 0;
    StageOp alphaOp = StageOp::disable;
    uint8_t alphaArg1 = 0;
    uint8_t alphaArg2 = 0;
    Compare alphaTest = Compare::always;

    bool operator==(const ProgramKey&) const = default;
};

struct Light {
    float diffuse[4];
    float specular[4];
    float ambient[4];
    float position[4];    // in view space, w = 1
    float direction[4];   // the way the light travels, in view space, normalised
    float attenuation[4]; // constant, linear, quadratic, range
    float spot[4];        // cos(theta / 2), cos(phi / 2), falloff
};

// The values the programs read. Groups are compared with what the program last received, so
// that only changed groups are uploaded.
struct Transforms {
    float worldView[16];
    float projection[16];
    float normal[12]; // inverse transpose of the world-view's upper 3x3, rows padded to 4
    // The transforms are applied to row vectors, as Direct3D's matrices are.
};

struct Lighting {
    float ambient[4]; // the global ambient light
    float materialDiffuse[4];
    float materialAmbient[4];
    float materialSpecular[4];
    float materialEmissive[4];
    float power[4];
    Light lights[maxLights];
};

struct StageConstants {
    float textureFactor[4];
    float alphaReference[4];
};

enum class Cull : uint8_t { none, clockwise, counterClockwise };
enum class Fill : uint8_t { point, wireframe, solid };
enum class BlendFactor : uint8_t {
    zero,
    one,
    srcColour,
    invSrcColour,
    srcAlpha,
    invSrcAlpha,
    destAlpha,
    invDestAlpha,
    destColour,
    invDestColour,
    srcAlphaSaturate,
    constant,
    invConstant,
};
enum class BlendOp : uint8_t { add, subtract, revSubtract, min, max };

// Fixed parts of the pipeline: applied only where they differ from the last draw.
struct PipelineState {
    uint8_t depthTest = 0;
    uint8_t depthWrite = 1;
    Compare depthFunc = Compare::lessEqual;
    Cull cull = Cull::counterClockwise; // the winding on screen that is culled
    Fill fill = Fill::solid;
    uint8_t blend = 0;
    BlendFactor source = BlendFactor::one;
    BlendFactor destination = BlendFactor::zero;
    BlendOp blendOp = BlendOp::add;
    uint32_t blendColour = 0xffffffff;
    uint8_t colourWrite = 0x0f; // red, green, blue, alpha bits
    uint8_t dither = 0;
    uint8_t scissorTest = 0;
    int32_t scissor[4] = {}; // left, top, right, bottom in window pixels

    bool operator==(const PipelineState&) const = default;
};

enum class Filter : uint8_t { none, point, linear };
enum class Address : uint8_t { wrap, mirror, clamp, border };

struct Sampler {
    Filter min = Filter::point;
    Filter mag = Filter::point;
    Filter mip = Filter::none;
    Address u = Address::wrap;
    Address v = Address::wrap;

    bool operator==(const Sampler&) const = default;
};

enum class Primitive : uint8_t { points, lines, lineStrip, triangles, triangleStrip, triangleFan };

// Where the attributes of one vertex lie, in bytes from the vertex's start; -1 when absent.
struct VertexLayout {
    uint32_t stride = 0;
    int32_t position = 0;
    uint8_t positionSize = 3; // 3 floats, or 4 for pretransformed x, y, z, 1/w
    int32_t normal = -1;
    int32_t colour = -1;   // a D3DCOLOR: B, G, R, A bytes
    int32_t specular = -1; // likewise
    int32_t texCoord = -1;
    uint8_t texCoordSize = 2;

    bool operator==(const VertexLayout&) const = default;
};

// What one draw uses.
struct DrawSetup {
    ProgramKey key;
    const Transforms* transforms = nullptr; // unless pretransformed
    const Lighting* lighting = nullptr;     // when lit
    StageConstants constants = {};
    PipelineState pipeline;
    Handle texture = 0; // when textured
    Sampler sampler;
    VertexLayout layout;
};

enum class IndexSize : uint8_t { bits16, bits32 };

// Creates the renderer on the current context, whose drawable is drawableHeight pixels high
// with pixelScale of its pixels to a window pixel (1 but on high-density screens); null when
// the context cannot carry it. Every other position and size is in window pixels, and the
// renderer draws them at the drawable's density.
Renderer* create(int drawableHeight, float pixelScale);
// Deletes the renderer and its objects; the context must be current.
void destroy(Renderer* renderer);
// Forgets the renderer without touching the GPU, whose context is gone with its window.
void abandon(Renderer* renderer);

// Textures of BGRA texels; alpha false keeps no alpha (it reads as 0xFF).
Handle createTexture(Renderer* renderer, uint32_t width, uint32_t height, uint32_t levels,
                     bool alpha);
void destroyTexture(Renderer* renderer, Handle texture);
// Writes a rectangle of a level from texels with a row length of rowPixels.
void writeTexture(Renderer* renderer, Handle texture, uint32_t level, int x, int y, int width,
                  int height, uint32_t rowPixels, const void* texels);
// Reads a whole level (width * height * 4 bytes).
void readTexture(Renderer* renderer, Handle texture, uint32_t level, void* texels);

enum class BufferKind : uint8_t { vertices, indices };
Handle createBuffer(Renderer* renderer, BufferKind kind, uint32_t size, bool dynamic,
                    const void* bytes);
void destroyBuffer(Renderer* renderer, Handle buffer);
void writeBuffer(Renderer* renderer, Handle buffer, uint32_t offset, uint32_t size,
                 const void* bytes);

// The viewport in window pixels (y down) and its depth range.
void setViewport(Renderer* renderer, int x, int y, int width, int height, float minZ, float maxZ);

// Clears a rectangle of window pixels (null: the whole drawable) of the colour (0xAARRGGBB),
// depth and stencil buffers asked for.
struct ClearRect {
    int left, top, right, bottom;
};
void clear(Renderer* renderer, const ClearRect* rect, bool colour, bool depth, bool stencil,
           uint32_t colourValue, float depthValue, uint32_t stencilValue);

// Draws count vertices from first of a vertex buffer, starting at byte offset base.
void drawArrays(Renderer* renderer, const DrawSetup& setup, Primitive primitive, Handle vertices,
                uint32_t base, uint32_t first, uint32_t count);
// Draws count indices from firstIndex of an index buffer over a vertex buffer at byte offset
// base.
void drawIndexed(Renderer* renderer, const DrawSetup& setup, Primitive primitive, Handle vertices,
                 uint32_t base, Handle indices, IndexSize indexSize, uint32_t firstIndex,
                 uint32_t count);
// Draws from the caller's memory, streamed through the renderer's own buffers: vertexBytes
// bytes of vertices, and count vertices or (with indices) count indices.
void drawUser(Renderer* renderer, const DrawSetup& setup, Primitive primitive, const void* vertices,
              uint32_t vertexBytes, const void* indices, IndexSize indexSize, uint32_t count);

// The back buffer's picture read back, width x height pixels from the window's top-left corner,
// rows top first, BGRA with alpha 0xFF.
void readPicture(Renderer* renderer, uint32_t width, uint32_t height, uint8_t* pixels);
// From now on keeps a copy of each picture at presentPicture, for readKeptPicture.
void keepPictures(Renderer* renderer, uint32_t width, uint32_t height);
// Called before each swap; copies the picture when pictures are kept.
void presentPicture(Renderer* renderer);
// Reads the kept copy of the last picture; false when none was kept yet.
bool readKeptPicture(Renderer* renderer, uint8_t* pixels);

// The shader programs compiled so far by all renderers of the process (each renderer compiles
// one per distinct key, once), and the time compiling and linking them took.
int compiledProgramCount();
double programCompileMilliseconds();

} // namespace renderer
