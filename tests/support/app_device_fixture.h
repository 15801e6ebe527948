// app_device_fixture.h: AppDeviceTest, a hidden window with a Direct3D device in
// appState.graphicsDevice, for the tests of mesh models, the texture cache, the drawing of the
// track and the train and the camera (graphics/ and input/ of the tests); and a scratch
// working folder with its own `meshes` folder that such a test fills with the files it needs.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "app/application_state.h"
#include "support/scratch_folder.h"
#include "support/test_device.h"

class AppDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        testDevice.create(windowedParameters(D3DFMT_D24X8, D3DPRESENT_INTERVAL_DEFAULT),
                          D3DCREATE_SOFTWARE_VERTEXPROCESSING);
        appState.graphicsDevice = testDevice.device;
    }

    void TearDown() override {
        workFolder.reset();
        appState.graphicsDevice = nullptr;
        testDevice.release();
    }

    // The references the device has now: what its resources and the test hold.
    static ULONG deviceReferences() {
        appState.graphicsDevice->AddRef();
        return appState.graphicsDevice->Release();
    }

    // Moves into a fresh folder with an empty `meshes` folder.
    void useTemporaryFolder() {
        workFolder.emplace();
        std::filesystem::create_directories(workFolder->path / "meshes");
        workFolder->enter();
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

    TestDevice testDevice{320, 240};
    std::optional<ScratchFolder> workFolder;
};
