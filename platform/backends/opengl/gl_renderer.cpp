// gl_renderer.cpp: the renderer of renderer.h on an OpenGL 3.3 core profile context, or an
// OpenGL ES 3.0 one with VARNEL_GL_ES: its creation (one vertex array, the stream buffers, the
// attribute values of absent vertex data), textures and buffer objects, the viewport, clears
// and the read-back of pictures. The draws are in gl_draw.cpp, the shader programs in
// gl_programs.cpp.
#include "gl_internal.h"

#include <algorithm>

namespace renderer {
namespace {

constexpr uint32_t streamCapacity = 1u << 20;
// Direct3D's pixel centres lie on integer coordinates, OpenGL's half a pixel further. The
// picture moves by a little less than half a pixel, so that an edge through pixel centres
// covers the pixels right of and below it, as Direct3D's fill rule does.
constexpr float pixelCentreShift = 0.5f - 1.0f / 128.0f;

void createStream(StreamBuffer& stream, GLenum target) {
    stream.target = target;
    stream.capacity = streamCapacity;
    glGenBuffers(1, &stream.name);
    glBindBuffer(target, stream.name);
    glBufferData(target, GLsizeiptr(stream.capacity), nullptr, GL_STREAM_DRAW);
}

GLenum bufferTarget(BufferKind kind) {
    return kind == BufferKind::indices ? GL_ELEMENT_ARRAY_BUFFER : GL_ARRAY_BUFFER;
}

// A picture of width x height window pixels, top row first, from OpenGL's rows of the drawable
// (bottom first, drawnWidth x drawnHeight): each window pixel takes the drawable pixel at its
// centre.
void pickWindowPixels(const uint8_t* rows, uint32_t drawnWidth, uint32_t drawnHeight,
                      uint32_t width, uint32_t height, uint8_t* pixels) {
    for (uint32_t y = 0; y < height; ++y) {
        const uint32_t drawnY =
            uint32_t((uint64_t(y) * 2 + 1) * drawnHeight / (uint64_t(height) * 2));
        const uint8_t* row = rows + size_t(drawnHeight - 1 - drawnY) * drawnWidth * 4;
        uint8_t* out = pixels + size_t(y) * width * 4;
        if (drawnWidth == width) {
            std::copy_n(row, size_t(width) * 4, out);
            continue;
        }
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t drawnX =
                uint32_t((uint64_t(x) * 2 + 1) * drawnWidth / (uint64_t(width) * 2));
            std::copy_n(row + size_t(drawnX) * 4, 4, out + size_t(x) * 4);
        }
    }
}

#ifdef VARNEL_GL_ES
// OpenGL ES takes and gives RGBA bytes only: BGRA pixels have red and blue swapped both ways.
void swapRedBlue(uint8_t* pixels, size_t count) {
    for (size_t i = 0; i < count; ++i)
        std::swap(pixels[i * 4], pixels[i * 4 + 2]);
}

Renderer::TextureInfo* textureInfo(Renderer* renderer, Handle texture) {
    for (Renderer::TextureInfo& info : renderer->textures)
        if (info.name == texture)
            return &info;
    return nullptr;
}

// Reads a level of a texture as BGRA rows, bottom first, through the read framebuffer.
void readLevel(Renderer* renderer, Handle texture, uint32_t level, uint32_t width, uint32_t height,
               uint8_t* rows) {
    if (renderer->readFramebuffer == 0)
        glGenFramebuffers(1, &renderer->readFramebuffer);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, renderer->readFramebuffer);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture,
                           GLint(level));
    glReadPixels(0, 0, GLsizei(width), GLsizei(height), GL_RGBA, GL_UNSIGNED_BYTE, rows);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    swapRedBlue(rows, size_t(width) * height);
}
#endif

} // namespace

Renderer* create(int drawableHeight, float pixelScale) {
    GLint major = 0;
    GLint minor = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
#ifdef VARNEL_GL_ES
    if (major < 3)
        return nullptr;
#else
    if (major < 3 || (major == 3 && minor < 3))
        return nullptr;
#endif
    Renderer* renderer = new Renderer();
    renderer->drawableHeight = drawableHeight;
    renderer->pixelScale = pixelScale;
    glGenVertexArrays(1, &renderer->vertexArray);
    glBindVertexArray(renderer->vertexArray);
    createStream(renderer->streamVertices, GL_ARRAY_BUFFER);
    createStream(renderer->streamIndices, GL_ELEMENT_ARRAY_BUFFER);
    renderer->boundIndices = renderer->streamIndices.name;
    // Vertices without a colour are white, without a specular colour black.
    glVertexAttrib4f(2, 1.0f, 1.0f, 1.0f, 1.0f);
    glVertexAttrib4f(3, 0.0f, 0.0f, 0.0f, 0.0f);
    glVertexAttrib3f(1, 0.0f, 0.0f, 0.0f);
    glVertexAttrib4f(4, 0.0f, 0.0f, 0.0f, 1.0f);
    glActiveTexture(GL_TEXTURE0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    return renderer;
}

void destroy(Renderer* renderer) {
    deletePrograms(renderer);
    for (const SamplerObject& sampler : renderer->samplers)
        glDeleteSamplers(1, &sampler.name);
    glDeleteTextures(1, &renderer->keptPicture);
#ifdef VARNEL_GL_ES
    glDeleteFramebuffers(1, &renderer->readFramebuffer);
#endif
    glDeleteBuffers(1, &renderer->streamIndices.name);
    glDeleteBuffers(1, &renderer->streamVertices.name);
    glDeleteVertexArrays(1, &renderer->vertexArray);
    delete renderer;
}

void abandon(Renderer* renderer) {
    delete renderer;
}

Handle createTexture(Renderer* renderer, uint32_t width, uint32_t height, uint32_t levels,
                     bool alpha) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    renderer->boundTexture = name;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, GLint(levels - 1));
#ifdef VARNEL_GL_ES
    // Black, and opaque unless the texture keeps alpha.
    std::vector<uint8_t> zeros(size_t(width) * height * 4, 0);
    if (!alpha)
        for (size_t i = 3; i < zeros.size(); i += 4)
            zeros[i] = 0xff;
    for (uint32_t i = 0; i < levels; ++i)
        glTexImage2D(GL_TEXTURE_2D, GLint(i), GL_RGBA8, GLsizei(std::max(width >> i, 1u)),
                     GLsizei(std::max(height >> i, 1u)), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     zeros.data());
    renderer->textures.push_back({name, width, height, alpha});
#else
    const std::vector<uint8_t> zeros(size_t(width) * height * 4, 0);
    for (uint32_t i = 0; i < levels; ++i)
        glTexImage2D(GL_TEXTURE_2D, GLint(i), alpha ? GL_RGBA8 : GL_RGB8,
                     GLsizei(std::max(width >> i, 1u)), GLsizei(std::max(height >> i, 1u)), 0,
                     GL_BGRA, GL_UNSIGNED_BYTE, zeros.data());
#endif
    return name;
}

void destroyTexture(Renderer* renderer, Handle texture) {
    glDeleteTextures(1, &texture);
    // A new texture may get the same name.
    if (renderer->boundTexture == texture)
        renderer->boundTexture = 0;
#ifdef VARNEL_GL_ES
    std::erase_if(renderer->textures,
                  [texture](const Renderer::TextureInfo& info) { return info.name == texture; });
#endif
}

void writeTexture(Renderer* renderer, Handle texture, uint32_t level, int x, int y, int width,
                  int height, uint32_t rowPixels, const void* texels) {
    glBindTexture(GL_TEXTURE_2D, texture);
    renderer->boundTexture = texture;
#ifdef VARNEL_GL_ES
    if (width <= 0 || height <= 0)
        return;
    const Renderer::TextureInfo* info = textureInfo(renderer, texture);
    const bool opaque = info != nullptr && !info->alpha;
    std::vector<uint8_t> rows(size_t(width) * size_t(height) * 4);
    const uint8_t* from = static_cast<const uint8_t*>(texels);
    for (int row = 0; row < height; ++row)
        std::copy_n(from + size_t(row) * rowPixels * 4, size_t(width) * 4,
                    rows.data() + size_t(row) * width * 4);
    swapRedBlue(rows.data(), size_t(width) * height);
    if (opaque)
        for (size_t i = 3; i < rows.size(); i += 4)
            rows[i] = 0xff;
    glTexSubImage2D(GL_TEXTURE_2D, GLint(level), x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE,
                    rows.data());
#else
    glPixelStorei(GL_UNPACK_ROW_LENGTH, GLint(rowPixels));
    glTexSubImage2D(GL_TEXTURE_2D, GLint(level), x, y, width, height, GL_BGRA, GL_UNSIGNED_BYTE,
                    texels);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
#endif
}

void readTexture(Renderer* renderer, Handle texture, uint32_t level, void* texels) {
#ifdef VARNEL_GL_ES
    const Renderer::TextureInfo* info = textureInfo(renderer, texture);
    if (info == nullptr)
        return;
    const uint32_t width = std::max(info->width >> level, 1u);
    const uint32_t height = std::max(info->height >> level, 1u);
    std::vector<uint8_t> rows(size_t(width) * height * 4);
    readLevel(renderer, texture, level, width, height, rows.data());
    // The framebuffer reads rows bottom first as they were written: texel rows in order.
    std::copy(rows.begin(), rows.end(), static_cast<uint8_t*>(texels));
#else
    glBindTexture(GL_TEXTURE_2D, texture);
    renderer->boundTexture = texture;
    glGetTexImage(GL_TEXTURE_2D, GLint(level), GL_BGRA, GL_UNSIGNED_BYTE, texels);
#endif
}

Handle createBuffer(Renderer* renderer, BufferKind kind, uint32_t size, bool dynamic,
                    const void* bytes) {
    GLuint name = 0;
    glGenBuffers(1, &name);
    const GLenum target = bufferTarget(kind);
    glBindBuffer(target, name);
    glBufferData(target, GLsizeiptr(size), bytes, dynamic ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    if (kind == BufferKind::indices)
        renderer->boundIndices = name;
    return name;
}

void destroyBuffer(Renderer* renderer, Handle buffer) {
    glDeleteBuffers(1, &buffer);
    // A new buffer may get the same name: the vertex attributes must be set up again.
    renderer->setupKnown = false;
    if (renderer->boundIndices == buffer)
        renderer->boundIndices = 0;
}

void writeBuffer(Renderer* /*renderer*/, Handle buffer, uint32_t offset, uint32_t size,
                 const void* bytes) {
    // Written through the copy-write binding, which neither the vertex array nor the draws use.
    glBindBuffer(GL_COPY_WRITE_BUFFER, buffer);
    glBufferSubData(GL_COPY_WRITE_BUFFER, GLintptr(offset), GLsizeiptr(size), bytes);
}

void setViewport(Renderer* renderer, int x, int y, int width, int height, float minZ, float maxZ) {
    GLint rect[4];
    windowRect(renderer, x, y, x + width, y + height, rect);
    glViewport(rect[0], rect[1], rect[2], rect[3]);
#ifdef VARNEL_GL_ES
    glDepthRangef(minZ, maxZ);
#else
    glDepthRange(minZ, maxZ);
#endif
    // Pretransformed vertices: screen pixels with y down to clip space, pixel centres moved
    // to OpenGL's.
    const float left = float(x) - pixelCentreShift;
    const float top = float(y) - pixelCentreShift;
    float* screen = renderer->pretransformedViewport;
    screen[0] = 2.0f / float(width);
    screen[1] = -2.0f / float(height);
    screen[2] = -1.0f - 2.0f * left / float(width);
    screen[3] = 1.0f + 2.0f * top / float(height);
    float* shift = renderer->transformedViewport;
    shift[0] = 2.0f * pixelCentreShift / float(width);
    shift[1] = -2.0f * pixelCentreShift / float(height);
    shift[2] = 0.0f;
    shift[3] = 0.0f;
}

void clear(Renderer* renderer, const ClearRect* rect, bool colour, bool depth, bool stencil,
           uint32_t colourValue, float depthValue, uint32_t stencilValue) {
    GLbitfield mask = 0;
    if (colour) {
        glClearColor(float((colourValue >> 16) & 0xff) / 255.0f,
                     float((colourValue >> 8) & 0xff) / 255.0f, float(colourValue & 0xff) / 255.0f,
                     float(colourValue >> 24) / 255.0f);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if (depth) {
#ifdef VARNEL_GL_ES
        glClearDepthf(std::clamp(depthValue, 0.0f, 1.0f));
#else
        glClearDepth(std::clamp(depthValue, 0.0f, 1.0f));
#endif
        glDepthMask(GL_TRUE);
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    if (stencil) {
        glClearStencil(GLint(stencilValue));
        glStencilMask(~0u);
        mask |= GL_STENCIL_BUFFER_BIT;
    }
    if (mask == 0)
        return;
    // The masks and the scissor are the next draw's to set again.
    renderer->pipelineKnown = false;
    if (rect == nullptr) {
        glDisable(GL_SCISSOR_TEST);
    } else {
        glEnable(GL_SCISSOR_TEST);
        GLint area[4];
        windowRect(renderer, rect->left, rect->top, rect->right, rect->bottom, area);
        glScissor(area[0], area[1], area[2], area[3]);
    }
    glClear(mask);
}

void readPicture(Renderer* renderer, uint32_t width, uint32_t height, uint8_t* pixels) {
    const GLsizei drawnWidth = scaled(renderer, int(width));
    const GLsizei drawnHeight = scaled(renderer, int(height));
    std::vector<uint8_t> rows(size_t(drawnWidth) * drawnHeight * 4);
#ifdef VARNEL_GL_ES
    // WebGL reads the back buffer only; it is kept after each swap, so it holds the picture
    // last shown until the next frame draws.
    glReadPixels(0, renderer->drawableHeight - drawnHeight, drawnWidth, drawnHeight, GL_RGBA,
                 GL_UNSIGNED_BYTE, rows.data());
    swapRedBlue(rows.data(), size_t(drawnWidth) * drawnHeight);
#else
    glReadBuffer(GL_BACK);
    glReadPixels(0, renderer->drawableHeight - drawnHeight, drawnWidth, drawnHeight, GL_BGRA,
                 GL_UNSIGNED_BYTE, rows.data());
#endif
    pickWindowPixels(rows.data(), uint32_t(drawnWidth), uint32_t(drawnHeight), width, height,
                     pixels);
}

void keepPictures(Renderer* renderer, uint32_t width, uint32_t height) {
    if (renderer->keptPicture != 0)
        return;
    glGenTextures(1, &renderer->keptPicture);
    glBindTexture(GL_TEXTURE_2D, renderer->keptPicture);
    renderer->boundTexture = renderer->keptPicture;
    // The copy keeps the drawable's pixels.
    const GLsizei drawnWidth = scaled(renderer, int(width));
    const GLsizei drawnHeight = scaled(renderer, int(height));
#ifdef VARNEL_GL_ES
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, drawnWidth, drawnHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 nullptr);
#else
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, drawnWidth, drawnHeight, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                 nullptr);
#endif
    renderer->keptWidth = width;
    renderer->keptHeight = height;
}

void presentPicture(Renderer* renderer) {
    if (renderer->keptPicture == 0)
        return;
    glBindTexture(GL_TEXTURE_2D, renderer->keptPicture);
    renderer->boundTexture = renderer->keptPicture;
    glReadBuffer(GL_BACK);
    const GLsizei drawnHeight = scaled(renderer, int(renderer->keptHeight));
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, renderer->drawableHeight - drawnHeight,
                        scaled(renderer, int(renderer->keptWidth)), drawnHeight);
    renderer->keptValid = true;
}

bool readKeptPicture(Renderer* renderer, uint8_t* pixels) {
    if (!renderer->keptValid)
        return false;
    const uint32_t drawnWidth = uint32_t(scaled(renderer, int(renderer->keptWidth)));
    const uint32_t drawnHeight = uint32_t(scaled(renderer, int(renderer->keptHeight)));
    std::vector<uint8_t> rows(size_t(drawnWidth) * drawnHeight * 4);
#ifdef VARNEL_GL_ES
    readLevel(renderer, renderer->keptPicture, 0, drawnWidth, drawnHeight, rows.data());
#else
    glBindTexture(GL_TEXTURE_2D, renderer->keptPicture);
    renderer->boundTexture = renderer->keptPicture;
    glGetTexImage(GL_TEXTURE_2D, 0, GL_BGRA, GL_UNSIGNED_BYTE, rows.data());
#endif
    pickWindowPixels(rows.data(), drawnWidth, drawnHeight, renderer->keptWidth,
                     renderer->keptHeight, pixels);
    return true;
}

} // namespace renderer
