// gl_internal.h: the OpenGL 3.3 core renderer's record, shared by gl_renderer.cpp (objects,
// clears, read-back), gl_draw.cpp (pipeline state, vertex input, draws) and gl_programs.cpp
// (the generated shader programs and their cache). With VARNEL_GL_ES the same sources build on
// OpenGL ES 3.0 as WebGL 2 offers it: no BGRA pixels (the renderer swaps red and blue itself),
// no reading of textures or of the front buffer, no polygon modes, no border addressing.
#pragma once

#include "renderer.h"

#ifdef VARNEL_GL_ES
#include <GLES3/gl3.h>
#else
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <memory>
#include <unordered_map>
#include <vector>

namespace renderer {

struct ProgramKeyHash {
    size_t operator()(const ProgramKey& key) const;
};

// One linked program, with the values it last received so that unchanged ones are not sent.
struct Program {
    GLuint name = 0;
    GLint transformsAt = -1;
    GLint lightingAt = -1;
    GLint stageAt = -1;
    GLint viewportAt = -1;
    bool sent = false; // the copies below hold what the program has
    Transforms transforms = {};
    Lighting lighting = {};
    StageConstants stage = {};
    float viewport[4] = {};
};

// A buffer that draws from the caller's memory are written to, from front to back, each write
// into a range no queued draw reads; when full, its storage is given up (orphaned) for new
// storage, at least as large as the write, and writing starts again at the front.
struct StreamBuffer {
    GLuint name = 0;
    GLenum target = GL_ARRAY_BUFFER;
    uint32_t capacity = 0;
    uint32_t used = 0;

    // Writes size bytes and gives their offset in the buffer.
    uint32_t write(const void* bytes, uint32_t size);
};

struct SamplerObject {
    Sampler sampler;
    GLuint name = 0;
};

struct Renderer {
    int drawableHeight = 0;
    float pixelScale = 1.0f; // drawable pixels to a window pixel
    GLuint vertexArray = 0;
    StreamBuffer streamVertices;
    StreamBuffer streamIndices;

    std::unordered_map<ProgramKey, std::unique_ptr<Program>, ProgramKeyHash> programs;
    Program* current = nullptr;
    ProgramKey currentKey;

    // The viewport as given, and the vertex program's constants derived from it.
    int viewport[4] = {};
    float minZ = 0.0f;
    float maxZ = 1.0f;
    float pretransformedViewport[4] = {};
    float transformedViewport[4] = {};

    PipelineState pipeline;
    bool pipelineKnown = false;

    std::vector<SamplerObject> samplers;
    GLuint boundSampler = 0;
    GLuint boundTexture = 0;

    // The vertex attributes as last set up.
    GLuint setupBuffer = 0;
    uint32_t setupBase = 0;
    VertexLayout setupLayout;
    bool setupKnown = false;
    GLuint boundIndices = 0;

#ifdef VARNEL_GL_ES
    // What OpenGL ES does not tell of a texture: its size, and whether it keeps alpha (without,
    // its texels are written opaque).
    struct TextureInfo {
        Handle name = 0;
        uint32_t width = 0;
        uint32_t height = 0;
        bool alpha = false;
    };
    std::vector<TextureInfo> textures;
    // Textures are read back through this framebuffer.
    GLuint readFramebuffer = 0;
#endif

    GLuint keptPicture = 0;
    uint32_t keptWidth = 0;
    uint32_t keptHeight = 0;
    bool keptValid = false;
};

// gl_programs.cpp: the program for a key, compiled on first use, made current and given the
// draw's values.
void useProgram(Renderer* renderer, const DrawSetup& setup);
void deletePrograms(Renderer* renderer);

// gl_draw.cpp: the pipeline state, sampler and texture of a draw.
void applyPipeline(Renderer* renderer, const PipelineState& state);

// A position or size in window pixels as drawable pixels.
inline GLint scaled(const Renderer* renderer, int pixels) {
    return GLint(std::lround(float(pixels) * renderer->pixelScale));
}

// GL's window y of a rectangle top..bottom given with y down in window pixels.
inline GLint windowY(const Renderer* renderer, int bottom) {
    return renderer->drawableHeight - scaled(renderer, bottom);
}

// GL's rectangle (x, y, width, height) of one in window pixels with y down.
inline void windowRect(const Renderer* renderer, int left, int top, int right, int bottom,
                       GLint out[4]) {
    out[0] = scaled(renderer, left);
    out[1] = windowY(renderer, bottom);
    out[2] = std::max(scaled(renderer, right) - out[0], 0);
    out[3] = std::max(scaled(renderer, bottom) - scaled(renderer, top), 0);
}

} // namespace renderer
