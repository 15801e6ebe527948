// d3d9_present.cpp: Present (swap of the window's OpenGL buffers, with pacing for waiting
// intervals on displays without vertical sync, and the VARNEL_FRAME_REPORT frame counts) and
// the read-back of the picture into system-memory surfaces for tests. The front buffer of a
// window cannot be read back everywhere, so once GetFrontBufferData has been used each Present
// keeps a copy of its picture.
#include "d3d9_internal.h"

#include <cstdio>
#include <cstdlib>

namespace d3d9 {
namespace {

constexpr int fallbackRefreshRate = 60;
constexpr Uint64 reportSeconds = 2;

// Frame reports still owed when the process ends with its devices alive.
constexpr int reportCapacity = 8;
PresentClock* openReports[reportCapacity] = {};

void summarizeOpenReports() {
    for (PresentClock* clock : openReports)
        if (clock != nullptr)
            clock->summary();
}

} // namespace

void PresentClock::start(bool reportFrames, bool paceToRefresh, int refreshRate) {
    frequency = SDL_GetPerformanceFrequency();
    pace = paceToRefresh;
    period = frequency / Uint64(refreshRate > 0 ? refreshRate : fallbackRefreshRate);
    report = reportFrames;
    if (!report)
        return;
    static bool exitHook = false;
    if (!exitHook) {
        std::atexit(summarizeOpenReports);
        exitHook = true;
    }
    for (PresentClock*& slot : openReports) {
        if (slot == nullptr) {
            slot = this;
            break;
        }
    }
}

void PresentClock::afterSwap() {
    Uint64 now = SDL_GetPerformanceCounter();
    if (pace) {
        // A swap that came back well within one refresh did not wait for it: wait here.
        if (lastPresent != 0 && now - lastPresent < period * 3 / 4) {
            const Uint64 due = lastPresent + period;
            const Uint64 milliseconds = (due - now) * 1000 / frequency;
            if (milliseconds > 1)
                SDL_Delay(Uint32(milliseconds - 1));
            while (SDL_GetPerformanceCounter() < due) {
            }
            lastPresent = due;
            now = SDL_GetPerformanceCounter();
        } else {
            lastPresent = now;
        }
    }
    if (!report)
        return;
    if (firstPresent == 0) {
        firstPresent = intervalStart = latestPresent = now;
        return;
    }
    ++intervalFrames;
    ++totalFrames;
    latestPresent = now;
    if (now - intervalStart >= reportSeconds * frequency) {
        const double seconds = double(now - intervalStart) / double(frequency);
        std::fprintf(stderr, "frame rate: %.1f fps\n", double(intervalFrames) / seconds);
        intervalStart = now;
        intervalFrames = 0;
    }
}

void PresentClock::summary() {
    if (!report)
        return;
    report = false;
    stop();
    if (totalFrames == 0) {
        std::fprintf(stderr, "frame rate: no frames presented\n");
        return;
    }
    const double seconds = double(latestPresent - firstPresent) / double(frequency);
    std::fprintf(stderr, "frame rate: %.1f fps average over %llu frames in %.1f s\n",
                 double(totalFrames) / seconds, static_cast<unsigned long long>(totalFrames),
                 seconds);
}

void PresentClock::stop() {
    for (PresentClock*& slot : openReports)
        if (slot == this)
            slot = nullptr;
}

HRESULT Device::Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                        const RGNDATA* dirtyRegion) {
    if (sourceRect != nullptr || destRect != nullptr || destWindowOverride != nullptr ||
        dirtyRegion != nullptr)
        return D3DERR_INVALIDCALL;
    if (!windowAlive())
        return D3DERR_DEVICELOST;
    makeCurrent();
    if (frontCopy != 0) {
        glBindTexture(GL_TEXTURE_2D, frontCopy);
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0,
                            drawableHeight - GLint(backBuffer.desc.Height),
                            GLsizei(backBuffer.desc.Width), GLsizei(backBuffer.desc.Height));
        stageDirty = true;
        frontCopyValid = true;
    }
    SDL_GL_SwapWindow(sdlWindow);
    // Copying swaps leave the picture in the back buffer until the next clear or draw.
    backHoldsPicture = true;
    clock.afterSwap();
    return D3D_OK;
}

// Copies a picture read from OpenGL (rows bottom first) into the top-left corner of a
// surface, rows top first, as opaque X8R8G8B8 / A8R8G8B8 pixels.
void Device::copyPicture(const std::vector<uint8_t>& rows, Surface* target) {
    const UINT width = backBuffer.desc.Width;
    const UINT height = backBuffer.desc.Height;
    const size_t pitch = size_t(target->desc.Width) * 4;
    for (UINT y = 0; y < height; ++y) {
        const uint8_t* from = rows.data() + size_t(height - 1 - y) * width * 4;
        uint8_t* to = target->pixels.data() + y * pitch;
        for (UINT x = 0; x < width; ++x) {
            to[x * 4 + 0] = from[x * 4 + 0];
            to[x * 4 + 1] = from[x * 4 + 1];
            to[x * 4 + 2] = from[x * 4 + 2];
            to[x * 4 + 3] = 0xff;
        }
    }
}

void Device::readPixels(GLenum buffer, Surface* target) {
    makeCurrent();
    const UINT width = backBuffer.desc.Width;
    const UINT height = backBuffer.desc.Height;
    std::vector<uint8_t> rows(size_t(width) * height * 4);
    glReadBuffer(buffer);
    glReadPixels(0, drawableHeight - GLint(height), GLsizei(width), GLsizei(height), GL_BGRA,
                 GL_UNSIGNED_BYTE, rows.data());
    copyPicture(rows, target);
}

HRESULT Device::GetRenderTargetData(IDirect3DSurface9* renderTarget,
                                    IDirect3DSurface9* destSurface) {
    Surface* target = static_cast<Surface*>(destSurface);
    if (renderTarget != &backBuffer || target == nullptr ||
        target->kind != Surface::Kind::offscreen || target->life.device != this ||
        target->desc.Pool != D3DPOOL_SYSTEMMEM || target->desc.Width != backBuffer.desc.Width ||
        target->desc.Height != backBuffer.desc.Height || target->locked)
        return D3DERR_INVALIDCALL;
    if (!windowAlive())
        return D3DERR_DEVICELOST;
    readPixels(GL_BACK, target);
    return D3D_OK;
}

HRESULT Device::GetFrontBufferData(UINT index, IDirect3DSurface9* destSurface) {
    Surface* target = static_cast<Surface*>(destSurface);
    if (index != 0 || target == nullptr || target->kind != Surface::Kind::offscreen ||
        target->life.device != this || target->desc.Format != D3DFMT_A8R8G8B8 ||
        target->desc.Width < backBuffer.desc.Width ||
        target->desc.Height < backBuffer.desc.Height || target->locked)
        return D3DERR_INVALIDCALL;
    if (!windowAlive())
        return D3DERR_DEVICELOST;
    makeCurrent();
    if (frontCopyValid) {
        std::vector<uint8_t> rows(size_t(backBuffer.desc.Width) * backBuffer.desc.Height * 4);
        glBindTexture(GL_TEXTURE_2D, frontCopy);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_BGRA, GL_UNSIGNED_BYTE, rows.data());
        stageDirty = true;
        copyPicture(rows, target);
    } else {
        readPixels(backHoldsPicture ? GL_BACK : GL_FRONT, target);
    }
    // From now on each Present keeps a copy of its picture.
    if (frontCopy == 0) {
        glGenTextures(1, &frontCopy);
        glBindTexture(GL_TEXTURE_2D, frontCopy);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, GLsizei(backBuffer.desc.Width),
                     GLsizei(backBuffer.desc.Height), 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
        stageDirty = true;
    }
    return D3D_OK;
}

} // namespace d3d9
