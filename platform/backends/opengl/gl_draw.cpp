// gl_draw.cpp: the draws of the OpenGL renderer: the fixed parts of the pipeline (depth,
// culling, blending, masks, scissor), the sampler and texture of stage 0 and the vertex
// attributes, each set only where it differs from the last draw, then the draw itself. Draws
// from the caller's memory go through the renderer's stream buffers.
#include "gl_internal.h"

#include <algorithm>
#include <cstring>

namespace renderer {
namespace {

GLenum compareFunction(Compare value) {
    static const GLenum functions[] = {GL_NEVER,   GL_LESS,     GL_EQUAL,  GL_LEQUAL,
                                       GL_GREATER, GL_NOTEQUAL, GL_GEQUAL, GL_ALWAYS};
    return functions[int(value)];
}

GLenum blendFactor(BlendFactor value) {
    static const GLenum factors[] = {GL_ZERO,
                                     GL_ONE,
                                     GL_SRC_COLOR,
                                     GL_ONE_MINUS_SRC_COLOR,
                                     GL_SRC_ALPHA,
                                     GL_ONE_MINUS_SRC_ALPHA,
                                     GL_DST_ALPHA,
                                     GL_ONE_MINUS_DST_ALPHA,
                                     GL_DST_COLOR,
                                     GL_ONE_MINUS_DST_COLOR,
                                     GL_SRC_ALPHA_SATURATE,
                                     GL_CONSTANT_COLOR,
                                     GL_ONE_MINUS_CONSTANT_COLOR};
    return factors[int(value)];
}

GLenum blendEquation(BlendOp value) {
    static const GLenum equations[] = {GL_FUNC_ADD, GL_FUNC_SUBTRACT, GL_FUNC_REVERSE_SUBTRACT,
                                       GL_MIN, GL_MAX};
    return equations[int(value)];
}

GLenum primitiveMode(Primitive primitive) {
    static const GLenum modes[] = {GL_POINTS,    GL_LINES,          GL_LINE_STRIP,
                                   GL_TRIANGLES, GL_TRIANGLE_STRIP, GL_TRIANGLE_FAN};
    return modes[int(primitive)];
}

void enable(GLenum capability, bool on) {
    on ? glEnable(capability) : glDisable(capability);
}

GLint filterOf(Filter filter) {
    return filter == Filter::linear ? GL_LINEAR : GL_NEAREST;
}

GLint addressOf(Address address) {
    switch (address) {
    case Address::mirror:
        return GL_MIRRORED_REPEAT;
    case Address::clamp:
        return GL_CLAMP_TO_EDGE;
    case Address::border:
#ifdef VARNEL_GL_ES
        // OpenGL ES 3.0 has no border colour: the edge's texels stand in.
        return GL_CLAMP_TO_EDGE;
#else
        return GL_CLAMP_TO_BORDER;
#endif
    default:
        return GL_REPEAT;
    }
}

// The sampler object for a set of sampler states; one per distinct set, kept.
GLuint samplerFor(Renderer* renderer, const Sampler& sampler) {
    for (const SamplerObject& known : renderer->samplers)
        if (known.sampler == sampler)
            return known.name;
    GLuint name = 0;
    glGenSamplers(1, &name);
    const bool minLinear = sampler.min == Filter::linear;
    GLint minFilter = filterOf(sampler.min);
    if (sampler.mip == Filter::point)
        minFilter = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    else if (sampler.mip == Filter::linear)
        minFilter = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    glSamplerParameteri(name, GL_TEXTURE_MIN_FILTER, minFilter);
    glSamplerParameteri(name, GL_TEXTURE_MAG_FILTER, filterOf(sampler.mag));
    glSamplerParameteri(name, GL_TEXTURE_WRAP_S, addressOf(sampler.u));
    glSamplerParameteri(name, GL_TEXTURE_WRAP_T, addressOf(sampler.v));
    renderer->samplers.push_back({sampler, name});
    return name;
}

void setAttribute(GLuint index, GLint size, GLenum type, bool normalized, uint32_t stride,
                  uintptr_t at) {
    glEnableVertexAttribArray(index);
    glVertexAttribPointer(index, size, type, normalized ? GL_TRUE : GL_FALSE, GLsizei(stride),
                          reinterpret_cast<const void*>(at));
}

// Points the attributes at a vertex buffer, from byte base on, unless they point there already.
void setUpVertices(Renderer* renderer, GLuint buffer, uint32_t base, const VertexLayout& layout) {
    if (renderer->setupKnown && renderer->setupBuffer == buffer && renderer->setupBase == base &&
        renderer->setupLayout == layout)
        return;
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    const uintptr_t at = base;
    setAttribute(0, layout.positionSize, GL_FLOAT, false, layout.stride, at + layout.position);
    const struct {
        GLuint index;
        int32_t offset;
        GLint size;
        GLenum type;
    } optional[] = {{1, layout.normal, 3, GL_FLOAT},
                    {2, layout.colour, 4, GL_UNSIGNED_BYTE},
                    {3, layout.specular, 4, GL_UNSIGNED_BYTE},
                    {4, layout.texCoord, layout.texCoordSize, GL_FLOAT}};
    for (const auto& attribute : optional) {
        if (attribute.offset < 0)
            glDisableVertexAttribArray(attribute.index);
        else
            setAttribute(attribute.index, attribute.size, attribute.type,
                         attribute.type == GL_UNSIGNED_BYTE, layout.stride,
                         at + uint32_t(attribute.offset));
    }
    renderer->setupBuffer = buffer;
    renderer->setupBase = base;
    renderer->setupLayout = layout;
    renderer->setupKnown = true;
}

void prepare(Renderer* renderer, const DrawSetup& setup) {
    applyPipeline(renderer, setup.pipeline);
    useProgram(renderer, setup);
    if (setup.key.textured) {
        if (renderer->boundTexture != setup.texture) {
            glBindTexture(GL_TEXTURE_2D, setup.texture);
            renderer->boundTexture = setup.texture;
        }
        const GLuint sampler = samplerFor(renderer, setup.sampler);
        if (renderer->boundSampler != sampler) {
            glBindSampler(0, sampler);
            renderer->boundSampler = sampler;
        }
    }
}

void bindIndices(Renderer* renderer, GLuint buffer) {
    // The index buffer binding belongs to the vertex array, the renderer's only one.
    if (renderer->boundIndices != buffer) {
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer);
        renderer->boundIndices = buffer;
    }
}

} // namespace

uint32_t StreamBuffer::write(const void* bytes, uint32_t size) {
    glBindBuffer(target, name);
    if (size > capacity - used) {
        capacity = std::max(size, capacity);
        glBufferData(target, GLsizeiptr(capacity), nullptr, GL_STREAM_DRAW);
        used = 0;
    }
    const uint32_t offset = used;
#ifdef VARNEL_GL_ES
    // WebGL maps no buffers; the copy is its own.
    glBufferSubData(target, GLintptr(offset), GLsizeiptr(size), bytes);
#else
    // The range written is one no queued draw reads: written without waiting for them.
    void* at = glMapBufferRange(target, GLintptr(offset), GLsizeiptr(size),
                                GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT |
                                    GL_MAP_UNSYNCHRONIZED_BIT);
    std::memcpy(at, bytes, size);
    glUnmapBuffer(target);
#endif
    // Each write starts on a 16-byte boundary, good for any attribute.
    used = std::min(capacity, (offset + size + 15u) & ~15u);
    return offset;
}

void applyPipeline(Renderer* renderer, const PipelineState& state) {
    PipelineState& last = renderer->pipeline;
    const bool all = !renderer->pipelineKnown;
    if (all || state.depthTest != last.depthTest)
        enable(GL_DEPTH_TEST, state.depthTest);
    if (all || state.depthWrite != last.depthWrite)
        glDepthMask(state.depthWrite ? GL_TRUE : GL_FALSE);
    if (all || state.depthFunc != last.depthFunc)
        glDepthFunc(compareFunction(state.depthFunc));
    if (all || state.cull != last.cull) {
        // The picture is not mirrored, so Direct3D's winding on screen is OpenGL's window
        // winding: the culled winding is the back face.
        enable(GL_CULL_FACE, state.cull != Cull::none);
        if (state.cull != Cull::none)
            glFrontFace(state.cull == Cull::counterClockwise ? GL_CW : GL_CCW);
    }
#ifndef VARNEL_GL_ES
    // OpenGL ES has no polygon modes: there every polygon is filled.
    if (all || state.fill != last.fill)
        glPolygonMode(GL_FRONT_AND_BACK, state.fill == Fill::point       ? GL_POINT
                                         : state.fill == Fill::wireframe ? GL_LINE
                                                                         : GL_FILL);
#endif
    if (all || state.blend != last.blend)
        enable(GL_BLEND, state.blend);
    if (all || state.source != last.source || state.destination != last.destination)
        glBlendFunc(blendFactor(state.source), blendFactor(state.destination));
    if (all || state.blendOp != last.blendOp)
        glBlendEquation(blendEquation(state.blendOp));
    if (all || state.blendColour != last.blendColour) {
        const uint32_t c = state.blendColour;
        glBlendColor(float((c >> 16) & 0xff) / 255.0f, float((c >> 8) & 0xff) / 255.0f,
                     float(c & 0xff) / 255.0f, float(c >> 24) / 255.0f);
    }
    if (all || state.colourWrite != last.colourWrite)
        glColorMask((state.colourWrite & 1) ? GL_TRUE : GL_FALSE,
                    (state.colourWrite & 2) ? GL_TRUE : GL_FALSE,
                    (state.colourWrite & 4) ? GL_TRUE : GL_FALSE,
                    (state.colourWrite & 8) ? GL_TRUE : GL_FALSE);
    if (all || state.dither != last.dither)
        enable(GL_DITHER, state.dither);
    if (all || state.scissorTest != last.scissorTest)
        enable(GL_SCISSOR_TEST, state.scissorTest);
    if (state.scissorTest &&
        (all || !last.scissorTest || !std::equal(state.scissor, state.scissor + 4, last.scissor))) {
        const int32_t* r = state.scissor;
        GLint rect[4];
        windowRect(renderer, r[0], r[1], r[2], r[3], rect);
        glScissor(rect[0], rect[1], rect[2], rect[3]);
    }
    last = state;
    renderer->pipelineKnown = true;
}

void drawArrays(Renderer* renderer, const DrawSetup& setup, Primitive primitive, Handle vertices,
                uint32_t base, uint32_t first, uint32_t count) {
    prepare(renderer, setup);
    setUpVertices(renderer, vertices, base, setup.layout);
    glDrawArrays(primitiveMode(primitive), GLint(first), GLsizei(count));
}

void drawIndexed(Renderer* renderer, const DrawSetup& setup, Primitive primitive, Handle vertices,
                 uint32_t base, Handle indices, IndexSize indexSize, uint32_t firstIndex,
                 uint32_t count) {
    prepare(renderer, setup);
    setUpVertices(renderer, vertices, base, setup.layout);
    bindIndices(renderer, indices);
    const bool wide = indexSize == IndexSize::bits32;
    glDrawElements(primitiveMode(primitive), GLsizei(count),
                   wide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                   reinterpret_cast<const void*>(uintptr_t(firstIndex) * (wide ? 4 : 2)));
}

void drawUser(Renderer* renderer, const DrawSetup& setup, Primitive primitive, const void* vertices,
              uint32_t vertexBytes, const void* indices, IndexSize indexSize, uint32_t count) {
    prepare(renderer, setup);
    StreamBuffer& stream = renderer->streamVertices;
    const uint32_t base = stream.write(vertices, vertexBytes);
    // The stream buffer may have been given new storage: set the attributes up again.
    renderer->setupKnown = false;
    setUpVertices(renderer, stream.name, base, setup.layout);
    if (indices == nullptr) {
        glDrawArrays(primitiveMode(primitive), 0, GLsizei(count));
        return;
    }
    const bool wide = indexSize == IndexSize::bits32;
    bindIndices(renderer, renderer->streamIndices.name);
    const uint32_t at = renderer->streamIndices.write(indices, count * (wide ? 4 : 2));
    glDrawElements(primitiveMode(primitive), GLsizei(count),
                   wide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                   reinterpret_cast<const void*>(uintptr_t(at)));
}

} // namespace renderer
