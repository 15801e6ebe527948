// d3d9_device.cpp: creation and destruction of the Direct3D device on a drawing context of
// its window (backends/graphics_surface.h) with a renderer (backends/renderer.h), its identity
// (creation and presentation parameters, swap chain, back buffer), the scene bracket, Clear,
// the viewport and the scissor rectangle.
#include "d3d9_internal.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace d3d9 {
namespace {

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
    surface::Context* context = nullptr;
    surface::ContextInfo info;
    switch (surface::createContext(window, context, info)) {
    case surface::ContextResult::created:
        break;
    case surface::ContextResult::noWindow:
        return D3DERR_INVALIDCALL;
    case surface::ContextResult::notAvailable:
        return D3DERR_NOTAVAILABLE;
    }
    const bool depthMissing =
        presentation->EnableAutoDepthStencil &&
        (info.depthBits < 16 ||
         (presentation->AutoDepthStencilFormat == D3DFMT_D24S8 && info.stencilBits < 8));
    // The back buffer is the client area in window pixels, drawn at the drawable's density.
    // (A window's client area is at least 1 x 1.)
    const int width = info.clientWidth;
    const int height = info.clientHeight;
    const float pixelScale = float(info.drawableWidth) / float(width);
    renderer::Renderer* drawing =
        depthMissing ? nullptr : renderer::create(info.drawableHeight, pixelScale);
    if (drawing == nullptr) {
        surface::destroyContext(context);
        return D3DERR_NOTAVAILABLE;
    }

    // Immediate presentation never waits; the other intervals wait for the refresh.
    const bool immediate = presentation->PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE;
    surface::setSwapInterval(context, immediate ? 0 : 1);

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
    device->context = context;
    device->renderer = drawing;
    device->clientWidth = width;
    device->clientHeight = height;
    device->hasStencil = presentation->EnableAutoDepthStencil && info.stencilBits >= 8 &&
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

    const char* report = std::getenv("VARNEL_FRAME_REPORT");
    const int refresh = info.refreshRate;
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
    if (current)
        renderer::destroy(renderer);
    else
        renderer::abandon(renderer);
    surface::destroyContext(context);
    direct3D->Release();
}

bool Device::windowAlive() const {
    return surface::windowAlive(context);
}

void Device::makeCurrent() {
    surface::makeCurrent(context);
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
    const bool colour = (flags & D3DCLEAR_TARGET) != 0;
    const bool depth = (flags & D3DCLEAR_ZBUFFER) != 0;
    const bool stencilToo = (flags & D3DCLEAR_STENCIL) != 0;
    if (!colour && !depth && !stencilToo)
        return D3D_OK;
    makeCurrent();
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
    // The whole client area clears without a scissor, which is fastest.
    if (count == 0 && left == 0 && top == 0 && right >= clientWidth && bottom >= clientHeight) {
        renderer::clear(renderer, nullptr, colour, depth, stencilToo, color, z, stencil);
        return D3D_OK;
    }
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
        const renderer::ClearRect area = {int(x1), int(y1), int(x2), int(y2)};
        renderer::clear(renderer, &area, colour, depth, stencilToo, color, z, stencil);
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
    setupDirty = true;
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
