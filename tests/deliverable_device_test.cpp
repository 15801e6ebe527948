// One deliverable's device: built once per deliverable with its VARNEL_HARDWARE_VP and
// VARNEL_IMMEDIATE_PRESENT, it creates the device on a real hidden window through
// createGraphicsDevice and checks the behaviour flag and the presentation interval against
// EXPECTED_BEHAVIOUR_FLAGS and EXPECTED_PRESENT_INTERVAL, the values of the deliverable's row
// written out as numbers.
#include "app/application_state.h"
#include "graphics/graphics_device.h"

#include <gtest/gtest.h>
#include "no_display.h"

#include <chrono>

namespace {

TEST(DeliverableDevice, CreatesItsDeviceWithExactlyItsFlagAndInterval) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "DeliverableDevice";
    RegisterClassExA(&windowClass);
    appState.mainWindow =
        CreateWindowExA(0, "DeliverableDevice", "Varnel", WS_OVERLAPPEDWINDOW, 0, 0, 1024, 768,
                        nullptr, nullptr, windowClass.hInstance, nullptr);
    if (appState.mainWindow == nullptr)
        SKIP_OR_FAIL_WITHOUT_DISPLAY("no display");
    ASSERT_EQ(createGraphicsDevice(), S_OK);
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

    device->Release();
    appState.direct3D->Release();
    appState.graphicsDevice = nullptr;
    appState.direct3D = nullptr;
    DestroyWindow(appState.mainWindow);
    appState.mainWindow = nullptr;
}

} // namespace
