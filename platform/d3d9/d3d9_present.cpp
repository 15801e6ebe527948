// d3d9_present.cpp: Present (swap of the window's buffers, with pacing for waiting
// intervals on displays without vertical sync, and the VARNEL_FRAME_REPORT frame counts) and
// the read-back of the picture into system-memory surfaces for tests. The front buffer of a
// window cannot be read back everywhere, so once GetFrontBufferData has been called each
// Present keeps a copy of its picture; before that, only the back buffer can still hold it.
#include "d3d9_internal.h"

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace d3d9 {
namespace {

constexpr int fallbackRefreshRate = 60;
constexpr auto reportInterval = std::chrono::seconds(2);

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
    pace = paceToRefresh;
    period = std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(1)) /
             (refreshRate > 0 ? refreshRate : fallbackRefreshRate);
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
    Clock::time_point now = Clock::now();
    if (pace) {
        // A swap that came back well within one refresh did not wait for it: wait here.
        if (lastPresent != Clock::time_point() && now - lastPresent < period * 3 / 4) {
            const Clock::time_point due = lastPresent + period;
            const auto ahead = std::chrono::duration_cast<std::chrono::milliseconds>(due - now);
            if (ahead > std::chrono::milliseconds(1))
                std::this_thread::sleep_for(ahead - std::chrono::milliseconds(1));
            while (Clock::now() < due) {
            }
            lastPresent = due;
            now = Clock::now();
        } else {
            lastPresent = now;
        }
    }
    if (!report)
        return;
    if (!presented) {
        presented = true;
        firstPresent = intervalStart = latestPresent = now;
        return;
    }
    ++intervalFrames;
    ++totalFrames;
    latestPresent = now;
    if (now - intervalStart >= reportInterval) {
        const double seconds = std::chrono::duration<double>(now - intervalStart).count();
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
    const double seconds = std::chrono::duration<double>(latestPresent - firstPresent).count();
    std::fprintf(stderr, "frame rate: %.1f fps average over %llu frames in %.1f s\n",
                 double(totalFrames) / seconds, static_cast<unsigned long long>(totalFrames),
                 seconds);
    std::fprintf(stderr, "shader programs: %d compiled in %.1f ms\n",
                 renderer::compiledProgramCount(), renderer::programCompileMilliseconds());
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
    renderer::presentPicture(renderer);
    surface::swapBuffers(context);
    // Copying swaps leave the picture in the back buffer until the next clear or draw.
    backHoldsPicture = true;
    clock.afterSwap();
    return D3D_OK;
}

// Copies a picture read back (rows top first) into the top-left corner of a surface, as opaque
// X8R8G8B8 / A8R8G8B8 pixels.
void Device::copyPicture(const std::vector<uint8_t>& rows, Surface* target) {
    const UINT width = backBuffer.desc.Width;
    const UINT height = backBuffer.desc.Height;
    const size_t pitch = size_t(target->desc.Width) * 4;
    for (UINT y = 0; y < height; ++y) {
        const uint8_t* from = rows.data() + size_t(y) * width * 4;
        uint8_t* to = target->pixels.data() + y * pitch;
        for (UINT x = 0; x < width; ++x) {
            to[x * 4 + 0] = from[x * 4 + 0];
            to[x * 4 + 1] = from[x * 4 + 1];
            to[x * 4 + 2] = from[x * 4 + 2];
            to[x * 4 + 3] = 0xff;
        }
    }
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
    makeCurrent();
    std::vector<uint8_t> rows(size_t(backBuffer.desc.Width) * backBuffer.desc.Height * 4);
    renderer::readPicture(renderer, backBuffer.desc.Width, backBuffer.desc.Height, rows.data());
    copyPicture(rows, target);
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
    const UINT width = backBuffer.desc.Width;
    const UINT height = backBuffer.desc.Height;
    std::vector<uint8_t> rows(size_t(width) * height * 4);
    // From now on each Present keeps a copy of its picture.
    const bool kept = renderer::readKeptPicture(renderer, rows.data());
    renderer::keepPictures(renderer, width, height);
    if (!kept) {
        // Until then the back buffer holds the last presented picture only up to the next clear
        // or draw; a window's front buffer cannot be read back everywhere.
        if (!backHoldsPicture)
            return D3DERR_NOTAVAILABLE;
        renderer::readPicture(renderer, width, height, rows.data());
    }
    copyPicture(rows, target);
    return D3D_OK;
}

} // namespace d3d9
