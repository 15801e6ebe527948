// d3d9_device.cpp: creation and destruction of the Direct3D device on an SDL window with an
// OpenGL context, its identity (creation and presentation parameters, swap chain, back
// buffer), the scene bracket, Clear, the viewport and the scissor rectangle.
// Depends on sdl_window.h (the SDL window of a window handle) and SDL2's OpenGL context.
#include "d3d9_internal.h"
#include "sdl_window.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace d3d9 {
namespace {

constexpr int requiredGlMajor = 2;
constexpr int requiredGlMinor = 1;

// True when the current context offers OpenGL 2.1 with BGRA vertex colours.
bool contextIsSufficient() {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    int major = 0;
    int minor = 0;
    if (version == nullptr || std::sscanf(version, "%d.%d", &major, &minor) != 2)
        return false;
    if (major < requiredGlMajor || (major == requiredGlMajor && minor < requiredGlMinor))
        return false;
    return major > 3 || (major == 3 && minor >= 2) ||
           SDL_GL_ExtensionSupported("GL_ARB_vertex_array_bgra");
}

bool validPresentation(const D3DPRESENT_PARAMETERS& p) {
    if (p.SwapEffect < D3DSWAPEFFECT_DISCARD || p.SwapEffect > D3DSWAPEFFECT_COPY)
        return false;
    if (p.BackBufferCount > 3)
        return false;
    if (p.PresentationInterval != D3DPRESENT_INTERVAL_DEFAULT &&
        p.PresentationInterval != D3DPRESENT_INTERVAL_ONE &&
        p.PresentationInterval != D3DPRESENT_INTERVAL_IMMEDIATE)
        return false;
    if (p.EnableAutoDepthStencil && p.AutoDepthStencilFormat != D3DFMT_D16 &&
        p.AutoDepthStencilFormat != D3DFMT_D24X8 && p.AutoDepthStencilFormat != D3DFMT_D24S8)
        return false;
    return true;
}

} // namespace

HRESULT Device::create(Direct3D* direct3D, HWND focusWindow, DWORD behaviorFlags,
                       D3DPRESENT_PARAMETERS* presentation, IDirect3DDevice9** result) {
    const DWORD processing =
        behaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                         D3DCREATE_MIXED_VERTEXPROCESSING);
    if (processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING &&
        processing != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
        processing != D3DCREATE_MIXED_VERTEXPROCESSING)
        return D3DERR_INVALIDCALL;
    if (!validPresentation(*presentation))
        return D3DERR_INVALIDCALL;
    if (!presentation->Windowed || presentation->MultiSampleType != D3DMULTISAMPLE_NONE)
        return D3DERR_NOTAVAILABLE;
    const D3DFORMAT format = presentation->BackBufferFormat;
    if (format != D3DFMT_UNKNOWN && format != D3DFMT_X8R8G8B8 && format != D3DFMT_A8R8G8B8)
        return D3DERR_NOTAVAILABLE;

    HWND window = presentation->hDeviceWindow ? presentation->hDeviceWindow : focusWindow;
    SDL_Window* sdlWindow = window ? sdlWindowOf(window) : nullptr;
    if (sdlWindow == nullptr)
        return D3DERR_INVALIDCALL;
    if ((SDL_GetWindowFlags(sdlWindow) & SDL_WINDOW_OPENGL) == 0)
        return D3DERR_NOTAVAILABLE;

    SDL_GLContext context = SDL_GL_CreateContext(sdlWindow);
    if (context == nullptr)
        return D3DERR_NOTAVAILABLE;
    GLint depthBits = 0;
    GLint stencilBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    glGetIntegerv(GL_STENCIL_BITS, &stencilBits);
    const bool depthMissing =
        presentation->EnableAutoDepthStencil &&
        (depthBits < 16 ||
         (presentation->AutoDepthStencilFormat == D3DFMT_D24S8 && stencilBits < 8));
    if (!contextIsSufficient() || depthMissing) {
        SDL_GL_MakeCurrent(sdlWindow, nullptr);
        SDL_GL_DeleteContext(context);
        return D3DERR_NOTAVAILABLE;
    }

    // Immediate presentation never waits; the other intervals wait for the refresh.
    const bool immediate = presentation->PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE;
    SDL_GL_SetSwapInterval(immediate ? 0 : 1);

    int width = 0;
    int height = 0;
    SDL_GL_GetDrawableSize(sdlWindow, &width, &height);
    if (presentation->BackBufferWidth == 0)
        presentation->BackBufferWidth = UINT(width);
    if (presentation->BackBufferHeight == 0)
        presentation->BackBufferHeight = UINT(height);
    if (presentation->BackBufferFormat == D3DFMT_UNKNOWN)
        presentation->BackBufferFormat = D3DFMT_X8R8G8B8;
    if (presentation->BackBufferCount == 0)
        presentation->BackBufferCount = 1;

    Device* device = new Device();
    device->direct3D = direct3D;
    direct3D->AddRef();
    device->creation = {D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, focusWindow, behaviorFlags};
    device->presentation = *presentation;
    // The swap chain reports the window it presents to: the focus window when none was given.
    device->presentation.hDeviceWindow = window;
    device->window = window;
    device->sdlWindow = sdlWindow;
    device->context = context;
    device->drawableWidth = width;
    device->drawableHeight = height;
    device->hasStencil = presentation->EnableAutoDepthStencil && stencilBits >= 8 &&
                         presentation->AutoDepthStencilFormat == D3DFMT_D24S8;
    device->swapChain.device = device;
    device->backBuffer.kind = Surface::Kind::backBuffer;
    device->backBuffer.life.device = device;
    device->backBuffer.desc = {presentation->BackBufferFormat,
                               D3DRTYPE_SURFACE,
                               D3DUSAGE_RENDERTARGET,
                               D3DPOOL_DEFAULT,
                               D3DMULTISAMPLE_NONE,
                               0,
                               presentation->BackBufferWidth,
                               presentation->BackBufferHeight};
    device->setDefaultStates();

    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);

    const char* report = std::getenv("VARNEL_FRAME_REPORT");
    SDL_DisplayMode mode = {};
    int refresh = SDL_GetWindowDisplayMode(sdlWindow, &mode) == 0 ? mode.refresh_rate : 0;
    const bool reportFrames = report != nullptr && std::strcmp(report, "1") == 0;
    if (reportFrames)
        std::fprintf(stderr,
                     "device created: behaviour flags 0x%08x, presentation interval 0x%08x\n",
                     unsigned(behaviorFlags), unsigned(presentation->PresentationInterval));
    device->clock.start(reportFrames, !immediate, refresh);

    *result = device;
    return D3D_OK;
}

Device::~Device() {
    const bool current = windowAlive();
    if (current)
        makeCurrent();
    for (Texture*& texture : textures) {
        unbind(texture);
        texture = nullptr;
    }
    unbind(stream);
    stream = nullptr;
    unbind(indices);
    indices = nullptr;
    clock.summary();
    if (current) {
        glDeleteTextures(1, &frontCopy);
        SDL_GL_MakeCurrent(sdlWindow, nullptr);
    }
    SDL_GL_DeleteContext(context);
    direct3D->Release();
}

bool Device::windowAlive() const {
    return sdlWindowOf(window) == sdlWindow;
}

void Device::makeCurrent() {
    if (SDL_GL_GetCurrentContext() != context && windowAlive())
        SDL_GL_MakeCurrent(sdlWindow, context);
}

void* Device::interfaceFor(REFIID riid) {
    return riid == IID_IDirect3DDevice9 ? static_cast<IDirect3DDevice9*>(this) : nullptr;
}

HRESULT Device::TestCooperativeLevel() {
    return D3D_OK;
}

HRESULT Device::GetDirect3D(IDirect3D9** result) {
    if (result == nullptr)
        return D3DERR_INVALIDCALL;
    direct3D->AddRef();
    *result = direct3D;
    return D3D_OK;
}

HRESULT Device::GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* parameters) {
    if (parameters == nullptr)
        return D3DERR_INVALIDCALL;
    *parameters = creation;
    return D3D_OK;
}

HRESULT Device::GetSwapChain(UINT index, IDirect3DSwapChain9** result) {
    if (result == nullptr)
        return D3DERR_INVALIDCALL;
    *result = nullptr;
    if (index != 0)
        return D3DERR_INVALIDCALL;
    swapChain.AddRef();
    *result = &swapChain;
    return D3D_OK;
}

HRESULT Device::GetBackBuffer(UINT index, UINT backBufferIndex, D3DBACKBUFFER_TYPE type,
                              IDirect3DSurface9** result) {
    if (result == nullptr)
        return D3DERR_INVALIDCALL;
    *result = nullptr;
    if (index != 0 || backBufferIndex != 0 || type != D3DBACKBUFFER_TYPE_MONO)
        return D3DERR_INVALIDCALL;
    backBuffer.AddRef();
    *result = &backBuffer;
    return D3D_OK;
}

HRESULT Device::GetRenderTarget(DWORD index, IDirect3DSurface9** result) {
    if (result == nullptr)
        return D3DERR_INVALIDCALL;
    *result = nullptr;
    if (index != 0)
        return D3DERR_INVALIDCALL;
    backBuffer.AddRef();
    *result = &backBuffer;
    return D3D_OK;
}

HRESULT Device::BeginScene() {
    if (inScene)
        return D3DERR_INVALIDCALL;
    inScene = true;
    return D3D_OK;
}

HRESULT Device::EndScene() {
    if (!inScene)
        return D3DERR_INVALIDCALL;
    inScene = false;
    return D3D_OK;
}

HRESULT Device::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                      DWORD stencil) {
    if (count != 0 && rects == nullptr)
        return D3DERR_INVALIDCALL;
    if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !presentation.EnableAutoDepthStencil)
        return D3DERR_INVALIDCALL;
    if ((flags & D3DCLEAR_STENCIL) && !hasStencil)
        return D3DERR_INVALIDCALL;
    makeCurrent();

    GLbitfield mask = 0;
    if (flags & D3DCLEAR_TARGET) {
        glClearColor(float((color >> 16) & 0xff) / 255.0f, float((color >> 8) & 0xff) / 255.0f,
                     float(color & 0xff) / 255.0f, float(color >> 24) / 255.0f);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        dirtyRenderStates.set(D3DRS_COLORWRITEENABLE);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    if (flags & D3DCLEAR_ZBUFFER) {
        glClearDepth(std::clamp(z, 0.0f, 1.0f));
        glDepthMask(GL_TRUE);
        dirtyRenderStates.set(D3DRS_ZWRITEENABLE);
        mask |= GL_DEPTH_BUFFER_BIT;
    }
    if (flags & D3DCLEAR_STENCIL) {
        glClearStencil(GLint(stencil));
        glStencilMask(~0u);
        mask |= GL_STENCIL_BUFFER_BIT;
    }
    if (mask == 0)
        return D3D_OK;
    backHoldsPicture = false;

    // Clearing covers the viewport, cut by the scissor rectangle when its test is on, and
    // by each given rectangle.
    LONG left = LONG(viewport.X);
    LONG top = LONG(viewport.Y);
    LONG right = LONG(viewport.X + viewport.Width);
    LONG bottom = LONG(viewport.Y + viewport.Height);
    if (renderStates[D3DRS_SCISSORTESTENABLE]) {
        left = std::max(left, scissor.left);
        top = std::max(top, scissor.top);
        right = std::min(right, scissor.right);
        bottom = std::min(bottom, scissor.bottom);
    }
    dirtyRenderStates.set(D3DRS_SCISSORTESTENABLE);
    // The whole drawable clears without a scissor, which OpenGL does fastest.
    if (count == 0 && left == 0 && top == 0 && right >= drawableWidth && bottom >= drawableHeight) {
        glDisable(GL_SCISSOR_TEST);
        glClear(mask);
        return D3D_OK;
    }
    glEnable(GL_SCISSOR_TEST);
    const DWORD areas = count == 0 ? 1 : count;
    for (DWORD i = 0; i < areas; ++i) {
        LONG x1 = left, y1 = top, x2 = right, y2 = bottom;
        if (count != 0) {
            x1 = std::max(x1, rects[i].x1);
            y1 = std::max(y1, rects[i].y1);
            x2 = std::min(x2, rects[i].x2);
            y2 = std::min(y2, rects[i].y2);
        }
        if (x2 <= x1 || y2 <= y1)
            continue;
        glScissor(x1, drawableHeight - y2, x2 - x1, y2 - y1);
        glClear(mask);
    }
    return D3D_OK;
}

HRESULT Device::SetViewport(const D3DVIEWPORT9* value) {
    if (value == nullptr)
        return D3DERR_INVALIDCALL;
    const D3DSURFACE_DESC& target = backBuffer.desc;
    if (value->Width == 0 || value->Height == 0 || value->X >= target.Width ||
        value->Y >= target.Height || value->Width > target.Width - value->X ||
        value->Height > target.Height - value->Y)
        return D3DERR_INVALIDCALL;
    viewport = *value;
    viewportDirty = true;
    transformsDirty = true;
    return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT9* value) {
    if (value == nullptr)
        return D3DERR_INVALIDCALL;
    *value = viewport;
    return D3D_OK;
}

HRESULT Device::SetScissorRect(const RECT* rect) {
    if (rect == nullptr)
        return D3DERR_INVALIDCALL;
    scissor = *rect;
    dirtyRenderStates.set(D3DRS_SCISSORTESTENABLE);
    return D3D_OK;
}

HRESULT Device::GetScissorRect(RECT* rect) {
    if (rect == nullptr)
        return D3DERR_INVALIDCALL;
    *rect = scissor;
    return D3D_OK;
}

// The swap chain counts its references on the device.
HRESULT SwapChain::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirect3DSwapChain9) {
        AddRef();
        *object = static_cast<IDirect3DSwapChain9*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG SwapChain::AddRef() {
    return device->AddRef();
}

ULONG SwapChain::Release() {
    return device->Release();
}

HRESULT SwapChain::GetDevice(IDirect3DDevice9** result) {
    if (result == nullptr)
        return D3DERR_INVALIDCALL;
    device->AddRef();
    *result = device;
    return D3D_OK;
}

HRESULT SwapChain::GetPresentParameters(D3DPRESENT_PARAMETERS* result) {
    if (result == nullptr)
        return D3DERR_INVALIDCALL;
    *result = device->presentation;
    return D3D_OK;
}

} // namespace d3d9
