// d3d9_object.cpp: Direct3DCreate9 and the Direct3D object (one adapter: the display of the
// graphics surface, backends/graphics_surface.h), which creates devices (d3d9_device.cpp).
#include "d3d9_internal.h"

const IID IID_IDirect3D9 = {
    0x81bdcbca, 0x64d4, 0x426d, {0xae, 0x8d, 0xad, 0x01, 0x47, 0xf4, 0x27, 0x5c}};
const IID IID_IDirect3DDevice9 = {
    0xd0223b96, 0xbf7a, 0x43fd, {0x92, 0xbd, 0xa4, 0x3b, 0x0d, 0x82, 0xb9, 0xeb}};
const IID IID_IDirect3DResource9 = {
    0x05eec05d, 0x8f7d, 0x4362, {0xb9, 0x99, 0xd1, 0xba, 0xf3, 0x57, 0xc7, 0x04}};
const IID IID_IDirect3DBaseTexture9 = {
    0x580ca87e, 0x1d3c, 0x4d54, {0x99, 0x1d, 0xb7, 0xd3, 0xe3, 0xc2, 0x98, 0xce}};
const IID IID_IDirect3DTexture9 = {
    0x85c31227, 0x3de5, 0x4f00, {0x9b, 0x3a, 0xf1, 0x1a, 0xc3, 0x8c, 0x18, 0xb5}};
const IID IID_IDirect3DSurface9 = {
    0x0cfbaf3a, 0x9ff6, 0x429a, {0x99, 0xb3, 0xa2, 0x79, 0x6a, 0xf8, 0xb8, 0x9b}};
const IID IID_IDirect3DVertexBuffer9 = {
    0xb64bb1b5, 0xfd70, 0x4df6, {0xbf, 0x91, 0x19, 0xd0, 0xa1, 0x24, 0x55, 0xe3}};
const IID IID_IDirect3DIndexBuffer9 = {
    0x7c9dd65e, 0xd3f7, 0x4529, {0xac, 0xee, 0x78, 0x58, 0x30, 0xac, 0xde, 0x35}};
const IID IID_IDirect3DSwapChain9 = {
    0x794950f2, 0xadfc, 0x458a, {0x90, 0x5e, 0x10, 0xa1, 0x0b, 0x0b, 0x50, 0x3b}};

namespace d3d9 {

void* Direct3D::interfaceFor(REFIID riid) {
    return riid == IID_IDirect3D9 ? static_cast<IDirect3D9*>(this) : nullptr;
}

void Direct3D::lastReleased() {
    surface::unloadLibrary();
    delete this;
}

UINT Direct3D::GetAdapterCount() {
    return 1;
}

HRESULT Direct3D::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) {
    if (adapter != D3DADAPTER_DEFAULT || mode == nullptr)
        return D3DERR_INVALIDCALL;
    surface::DisplayMode display;
    if (!surface::desktopDisplayMode(display))
        return D3DERR_NOTAVAILABLE;
    mode->Width = UINT(display.width);
    mode->Height = UINT(display.height);
    mode->RefreshRate = UINT(display.refreshRate);
    mode->Format = D3DFMT_X8R8G8B8;
    return D3D_OK;
}

HRESULT Direct3D::CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow,
                               DWORD behaviorFlags, D3DPRESENT_PARAMETERS* presentation,
                               IDirect3DDevice9** device) {
    if (device == nullptr)
        return D3DERR_INVALIDCALL;
    *device = nullptr;
    if (adapter != D3DADAPTER_DEFAULT || presentation == nullptr)
        return D3DERR_INVALIDCALL;
    if (deviceType != D3DDEVTYPE_HAL)
        return D3DERR_NOTAVAILABLE;
    return Device::create(this, focusWindow, behaviorFlags, presentation, device);
}

} // namespace d3d9

IDirect3D9* WINAPI Direct3DCreate9(UINT SDKVersion) {
    if (SDKVersion != D3D_SDK_VERSION)
        return nullptr;
    // A display that shows windows, and a graphics library for it.
    if (!surface::loadLibrary())
        return nullptr;
    return new d3d9::Direct3D();
}
