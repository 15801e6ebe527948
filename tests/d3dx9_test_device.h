// d3dx9_test_device.h: a fixture for the utility-library tests that need a Direct3D device:
// a hidden 256 x 128 window with a windowed device and its depth buffer on it.
#pragma once

#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

class D3dxDeviceTest : public ::testing::Test {
protected:
    static constexpr UINT width = 256;
    static constexpr UINT height = 128;

    void SetUp() override {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "D3dxTestWindow";
        RegisterClassExA(&windowClass);
        window =
            CreateWindowExA(0, "D3dxTestWindow", "D3DX test", WS_OVERLAPPEDWINDOW, 0, 0, width + 16,
                            height + 39, nullptr, nullptr, windowClass.hInstance, nullptr);
        ASSERT_NE(window, nullptr);
        direct3D = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(direct3D, nullptr) << "no display or OpenGL";
        D3DPRESENT_PARAMETERS parameters{};
        parameters.BackBufferWidth = width;
        parameters.BackBufferHeight = height;
        parameters.BackBufferFormat = D3DFMT_X8R8G8B8;
        parameters.BackBufferCount = 1;
        parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
        parameters.hDeviceWindow = window;
        parameters.Windowed = TRUE;
        parameters.EnableAutoDepthStencil = TRUE;
        parameters.AutoDepthStencilFormat = D3DFMT_D16;
        parameters.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        ASSERT_EQ(direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                         D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters, &device),
                  D3D_OK);
    }

    void TearDown() override {
        if (device != nullptr)
            device->Release();
        if (direct3D != nullptr)
            direct3D->Release();
        if (window != nullptr)
            DestroyWindow(window);
        UnregisterClassA("D3dxTestWindow", GetModuleHandleA(nullptr));
    }

    // The render target's pixels (0xXXRRGGBB, rows top to bottom) through GetRenderTargetData.
    std::vector<uint32_t> readBack() {
        std::vector<uint32_t> pixels(width * height);
        IDirect3DSurface9* target = nullptr;
        IDirect3DSurface9* copy = nullptr;
        EXPECT_EQ(device->GetRenderTarget(0, &target), D3D_OK);
        EXPECT_EQ(device->CreateOffscreenPlainSurface(width, height, D3DFMT_X8R8G8B8,
                                                      D3DPOOL_SYSTEMMEM, &copy, nullptr),
                  D3D_OK);
        if (target != nullptr && copy != nullptr &&
            device->GetRenderTargetData(target, copy) == D3D_OK) {
            D3DLOCKED_RECT locked{};
            copy->LockRect(&locked, nullptr, D3DLOCK_READONLY);
            for (UINT y = 0; y < height; ++y)
                std::memcpy(&pixels[y * width],
                            static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, width * 4);
            copy->UnlockRect();
        }
        if (copy != nullptr)
            copy->Release();
        if (target != nullptr)
            target->Release();
        return pixels;
    }

    HWND window = nullptr;
    IDirect3D9* direct3D = nullptr;
    IDirect3DDevice9* device = nullptr;
};
