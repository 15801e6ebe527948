// test_device.h: the Direct3D device of the tests: a hidden window, the Direct3D object and a
// windowed device on it, released last to first, and the picture read back from its render
// target. The fixtures: SmallDeviceTest gives every test a 256 x 128 device of its own,
// WindowDeviceTest one with the back buffer of a window of the fixture's size.
#pragma once

#include <windows.h>
#include <d3d9.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "support/display_rule.h"
#include "support/hidden_window.h"
#include "support/release.h"

// A vertex already on the screen, in pixels, with a colour and texture coordinates.
struct ScreenVertex {
    float x, y, z, rhw;
    D3DCOLOR colour;
    float u, v;
};
constexpr DWORD screenFormat = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// Windowed, discarding, with a depth buffer; a back buffer of 0 x 0 takes the window's size.
inline D3DPRESENT_PARAMETERS windowedParameters(D3DFORMAT depth = D3DFMT_D24X8,
                                                UINT interval = D3DPRESENT_INTERVAL_IMMEDIATE) {
    D3DPRESENT_PARAMETERS parameters = {};
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.Windowed = TRUE;
    parameters.EnableAutoDepthStencil = TRUE;
    parameters.AutoDepthStencilFormat = depth;
    parameters.PresentationInterval = interval;
    return parameters;
}

// The pixels of the device's render target, rows top first, through a system-memory copy of
// `format` (the target's own format where that is D3DFMT_UNKNOWN); gives the target's size.
inline std::vector<D3DCOLOR> readRenderTarget(IDirect3DDevice9* device, UINT& width, UINT& height,
                                              D3DFORMAT format = D3DFMT_UNKNOWN) {
    std::vector<D3DCOLOR> pixels;
    IDirect3DSurface9* target = nullptr;
    IDirect3DSurface9* copy = nullptr;
    D3DSURFACE_DESC description{};
    EXPECT_EQ(device->GetRenderTarget(0, &target), D3D_OK);
    if (target != nullptr)
        target->GetDesc(&description);
    width = description.Width;
    height = description.Height;
    pixels.resize(size_t(width) * height);
    EXPECT_EQ(device->CreateOffscreenPlainSurface(
                  width, height, format == D3DFMT_UNKNOWN ? description.Format : format,
                  D3DPOOL_SYSTEMMEM, &copy, nullptr),
              D3D_OK);
    D3DLOCKED_RECT locked{};
    if (target != nullptr && copy != nullptr &&
        device->GetRenderTargetData(target, copy) == D3D_OK &&
        copy->LockRect(&locked, nullptr, D3DLOCK_READONLY) == D3D_OK) {
        for (UINT y = 0; y < height; ++y)
            std::memcpy(&pixels[size_t(y) * width],
                        static_cast<const uint8_t*>(locked.pBits) + y * locked.Pitch, width * 4);
        copy->UnlockRect();
    } else {
        ADD_FAILURE() << "the render target could not be read back";
    }
    releaseInterface(copy);
    releaseInterface(target);
    return pixels;
}

// Copies `size` bytes of `data` into a vertex or index buffer, if there is one, and gives it.
template <typename Buffer> Buffer* filledBuffer(Buffer* buffer, const void* data, UINT size) {
    void* contents = nullptr;
    if (buffer != nullptr && buffer->Lock(0, 0, &contents, 0) == D3D_OK) {
        std::memcpy(contents, data, size);
        buffer->Unlock();
    }
    return buffer;
}

// A managed vertex buffer of the format given holding a copy of `size` bytes of `data`; null,
// with a failed expectation, when the device refuses it.
inline IDirect3DVertexBuffer9* filledVertexBuffer(IDirect3DDevice9* device, const void* data,
                                                  UINT size, DWORD format) {
    IDirect3DVertexBuffer9* buffer = nullptr;
    EXPECT_EQ(device->CreateVertexBuffer(size, 0, format, D3DPOOL_MANAGED, &buffer, nullptr),
              D3D_OK);
    return filledBuffer(buffer, data, size);
}

// The same for indices.
inline IDirect3DIndexBuffer9* filledIndexBuffer(IDirect3DDevice9* device, const void* data,
                                                UINT size, D3DFORMAT format = D3DFMT_INDEX16) {
    IDirect3DIndexBuffer9* buffer = nullptr;
    EXPECT_EQ(device->CreateIndexBuffer(size, 0, format, D3DPOOL_MANAGED, &buffer, nullptr),
              D3D_OK);
    return filledBuffer(buffer, data, size);
}

// A managed texture of one row of texels, left to right, in A8R8G8B8; null, with a failed
// expectation, when the device refuses it.
inline IDirect3DTexture9* rowTexture(IDirect3DDevice9* device,
                                     const std::vector<D3DCOLOR>& texels) {
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(device->CreateTexture(UINT(texels.size()), 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                    &texture, nullptr),
              D3D_OK);
    D3DLOCKED_RECT locked = {};
    if (texture != nullptr && texture->LockRect(0, &locked, nullptr, 0) == D3D_OK) {
        std::memcpy(locked.pBits, texels.data(), texels.size() * sizeof(D3DCOLOR));
        texture->UnlockRect(0);
    }
    return texture;
}

class TestDevice {
public:
    TestDevice(int windowWidth, int windowHeight) : window(windowWidth, windowHeight) {}
    ~TestDevice() {
        releaseInterface(device);
        releaseInterface(direct3D);
    }
    TestDevice(const TestDevice&) = delete;
    TestDevice& operator=(const TestDevice&) = delete;

    // Makes the Direct3D object and the device. Where neither window nor Direct3D can be had
    // the display rule ends the test; a refused device fails it. Call it from a fixture's
    // set-up or another function that returns nothing.
    void create(D3DPRESENT_PARAMETERS parameters,
                DWORD flags = D3DCREATE_HARDWARE_VERTEXPROCESSING) {
        direct3D = Direct3DCreate9(D3D_SDK_VERSION);
        if (window.handle == nullptr || direct3D == nullptr)
            SKIP_OR_FAIL_WITHOUT_DISPLAY("no display, so no window or no Direct3D");
        ASSERT_EQ(direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window.handle, flags,
                                         &parameters, &device),
                  D3D_OK);
        width = parameters.BackBufferWidth;
        height = parameters.BackBufferHeight;
    }

    // Releases the device and then the Direct3D object; gives the references that were left
    // on the device besides the test's own (0 when the test released all it made).
    ULONG release() {
        ULONG left = 0;
        if (device != nullptr)
            left = device->Release();
        device = nullptr;
        releaseInterface(direct3D);
        return left;
    }

    // The render target's pixels, rows top first, through a system-memory copy of `format`.
    std::vector<D3DCOLOR> readBack(D3DFORMAT format = D3DFMT_X8R8G8B8) const {
        UINT targetWidth = 0;
        UINT targetHeight = 0;
        return readRenderTarget(device, targetWidth, targetHeight, format);
    }

    HiddenWindow window;
    IDirect3D9* direct3D = nullptr;
    IDirect3DDevice9* device = nullptr;
    UINT width = 0;
    UINT height = 0;
};

// Every test gets a 256 x 128 device (hardware vertex processing, 16-bit depth buffer) on a
// hidden window of its own.
class SmallDeviceTest : public ::testing::Test {
protected:
    static constexpr UINT width = 256;
    static constexpr UINT height = 128;

    void SetUp() override {
        D3DPRESENT_PARAMETERS parameters = windowedParameters(D3DFMT_D16);
        parameters.BackBufferWidth = width;
        parameters.BackBufferHeight = height;
        parameters.BackBufferFormat = D3DFMT_X8R8G8B8;
        parameters.BackBufferCount = 1;
        parameters.hDeviceWindow = testDevice.window.handle;
        testDevice.create(parameters);
        window = testDevice.window.handle;
        direct3D = testDevice.direct3D;
        device = testDevice.device;
    }
    void TearDown() override {
        testDevice.release();
        device = nullptr;
        direct3D = nullptr;
    }

    // The render target's pixels (0xXXRRGGBB, rows top to bottom).
    std::vector<uint32_t> readBack() const {
        const std::vector<D3DCOLOR> pixels = testDevice.readBack();
        return {pixels.begin(), pixels.end()};
    }

    TestDevice testDevice{int(width) + 16, int(height) + 39};
    HWND window = nullptr;
    IDirect3D9* direct3D = nullptr;
    IDirect3DDevice9* device = nullptr;
};

// Every test gets a device on a hidden window of the size the fixture gives, with a back
// buffer as large as the window's client area; a test must leave no reference behind.
class WindowDeviceTest : public ::testing::Test {
protected:
    WindowDeviceTest(int windowWidth, int windowHeight) : testDevice(windowWidth, windowHeight) {}

    void SetUp() override {
        testDevice.create(windowedParameters());
        window = testDevice.window.handle;
        direct3D = testDevice.direct3D;
        device = testDevice.device;
        width = testDevice.width;
        height = testDevice.height;
    }
    void TearDown() override {
        if (device != nullptr) {
            EXPECT_EQ(testDevice.release(), 0u) << "references to the device left behind";
        }
    }

    // The render target's pixels (0xAARRGGBB, rows top first) and its centre pixel.
    std::vector<D3DCOLOR> readBack() const { return testDevice.readBack(D3DFMT_A8R8G8B8); }
    D3DCOLOR centre() const { return readBack()[size_t(height / 2) * width + width / 2]; }

    void clear(D3DCOLOR colour, float z = 1.0f) {
        ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, colour, z, 0),
                  D3D_OK);
    }

    TestDevice testDevice;
    HWND window = nullptr;
    IDirect3D9* direct3D = nullptr;
    IDirect3DDevice9* device = nullptr;
    UINT width = 0;
    UINT height = 0;
};
