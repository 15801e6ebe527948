// program_device.h: the program's own graphics device for the system's tests: a hidden main
// window in appState and the device that createGraphicsDevice makes on it with this build's
// settings. The record releases the device, the Direct3D object and the window, last to
// first, and leaves appState without them.
#pragma once

#include <gtest/gtest.h>

#include "app/application_state.h"
#include "graphics/graphics_device.h"
#include "support/display_rule.h"
#include "support/hidden_window.h"
#include "support/release.h"

class ProgramDevice {
public:
    explicit ProgramDevice(int x = 0, int y = 0) : window(1024, 768, DefWindowProcA, x, y) {
        appState.mainWindow = window.handle;
    }
    ~ProgramDevice() {
        releaseInterface(appState.graphicsDevice);
        releaseInterface(appState.direct3D);
        appState.mainWindow = nullptr;
    }
    ProgramDevice(const ProgramDevice&) = delete;
    ProgramDevice& operator=(const ProgramDevice&) = delete;

    // Makes the device; without a window the display rule ends the test. Call it from a
    // function that returns nothing.
    void create() {
        if (window.handle == nullptr)
            SKIP_OR_FAIL_WITHOUT_DISPLAY("no display, so no window");
        ASSERT_EQ(createGraphicsDevice(), S_OK);
    }

    HiddenWindow window;
};
