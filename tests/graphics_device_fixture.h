// graphics_device_fixture.h: a hidden window with a Direct3D device in appState, for the
// tests of mesh models and the texture cache, and a temporary working folder with its own
// `meshes` folder that such a test fills with the files it needs.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/application_state.h"

class GraphicsDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSEXA windowClass = {};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "MeshTestWindow";
        RegisterClassExA(&windowClass);
        window = CreateWindowExA(0, "MeshTestWindow", "Mesh test", WS_OVERLAPPEDWINDOW, 0, 0, 320,
                                 240, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
        direct3D = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(direct3D, nullptr);
        D3DPRESENT_PARAMETERS presentation = {};
        presentation.SwapEffect = D3DSWAPEFFECT_DISCARD;
        presentation.Windowed = TRUE;
        presentation.EnableAutoDepthStencil = TRUE;
        presentation.AutoDepthStencilFormat = D3DFMT_D24X8;
        ASSERT_GE(direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                         D3DCREATE_SOFTWARE_VERTEXPROCESSING, &presentation,
                                         &appState.graphicsDevice),
                  0);
        originalFolder = std::filesystem::current_path();
    }

    void TearDown() override {
        if (!workFolder.empty()) {
            std::filesystem::current_path(originalFolder);
            std::filesystem::remove_all(workFolder);
        }
        if (appState.graphicsDevice != nullptr) {
            appState.graphicsDevice->Release();
            appState.graphicsDevice = nullptr;
        }
        if (direct3D != nullptr) {
            direct3D->Release();
        }
        if (window != nullptr) {
            DestroyWindow(window);
        }
        UnregisterClassA("MeshTestWindow", GetModuleHandleA(nullptr));
    }

    // The references the device has now: what its resources and the test hold.
    static ULONG deviceReferences() {
        appState.graphicsDevice->AddRef();
        return appState.graphicsDevice->Release();
    }

    // Moves into a fresh folder with an empty `meshes` folder.
    void useTemporaryFolder() {
        workFolder = std::filesystem::temp_directory_path() /
                     ("varnel_mesh_test_" + std::to_string(reinterpret_cast<uintptr_t>(this)));
        std::filesystem::create_directories(workFolder / "meshes");
        std::filesystem::current_path(workFolder);
    }

    // Writes meshes/name as an uncompressed 24-bit bitmap of width x 1 pixels, so that a
    // loaded texture tells by its width which file it came from.
    static void writeBitmap(const std::string& name, int width) {
        int rowBytes = (width * 3 + 3) / 4 * 4;
        uint8_t header[54] = {'B', 'M'};
        auto put32 = [&header](int at, uint32_t value) {
            for (int i = 0; i < 4; ++i) {
                header[at + i] = static_cast<uint8_t>(value >> (8 * i));
            }
        };
        put32(2, 54 + rowBytes);
        put32(10, 54);
        put32(14, 40);
        put32(18, width);
        put32(22, 1);
        header[26] = 1;
        header[28] = 24;
        put32(34, rowBytes);
        FILE* file = std::fopen(("meshes/" + name).c_str(), "wb");
        ASSERT_NE(file, nullptr) << name;
        std::fwrite(header, 1, sizeof header, file);
        std::string row(rowBytes, '\x80');
        std::fwrite(row.data(), 1, row.size(), file);
        std::fclose(file);
    }

    static UINT widthOf(IDirect3DTexture9* texture) {
        D3DSURFACE_DESC description = {};
        if (texture == nullptr || FAILED(texture->GetLevelDesc(0, &description))) {
            return 0;
        }
        return description.Width;
    }

    HWND window = nullptr;
    IDirect3D9* direct3D = nullptr;
    std::filesystem::path originalFolder;
    std::filesystem::path workFolder;
};
