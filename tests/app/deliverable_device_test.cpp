// One deliverable's device: built once per deliverable with its VARNEL_HARDWARE_VP and
// VARNEL_IMMEDIATE_PRESENT, it creates the device on a real hidden window through
// createGraphicsDevice and checks the behaviour flag and the presentation interval against
// EXPECTED_BEHAVIOUR_FLAGS and EXPECTED_PRESENT_INTERVAL, the values of the deliverable's row
// written out as numbers.
#include "app/application_state.h"
#include "graphics/graphics_device.h"

#include <gtest/gtest.h>
#include "support/program_device.h"

#include <chrono>

namespace {

TEST(DeliverableDevice, CreatesItsDeviceWithExactlyItsFlagAndInterval) {
    ProgramDevice programDevice;
    programDevice.create();
    if (HasFatalFailure() || IsSkipped())
        return;
    IDirect3DDevice9* device = appState.graphicsDevice;

    D3DDEVICE_CREATION_PARAMETERS creation = {};
    ASSERT_EQ(device->GetCreationParameters(&creation), D3D_OK);
    EXPECT_EQ(creation.BehaviorFlags, DWORD(EXPECTED_BEHAVIOUR_FLAGS));

    IDirect3DSwapChain9* swapChain = nullptr;
    ASSERT_EQ(device->GetSwapChain(0, &swapChain), D3D_OK);
    D3DPRESENT_PARAMETERS presentation = {};
    swapChain->GetPresentParameters(&presentation);
    swapChain->Release();
    EXPECT_EQ(presentation.PresentationInterval, UINT(EXPECTED_PRESENT_INTERVAL));

    // The default interval waits for the display's refresh (at most 240 Hz) at each Present.
    if (EXPECTED_PRESENT_INTERVAL == 0) {
        const auto start = std::chrono::steady_clock::now();
        for (int frame = 0; frame < 7; ++frame)
            device->Present(nullptr, nullptr, nullptr, nullptr);
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_GE(elapsed, std::chrono::milliseconds(6 * 1000 / 240));
    }
}

} // namespace
