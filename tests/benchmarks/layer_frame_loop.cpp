// layer_frame_loop.cpp: the program's frame loop reduced to its graphics steps, on the Linux
// layer: a 1024 x 768 window with the device of createGraphicsDevice (hardware vertex
// processing, immediate presentation), then message handling and clear, begin, end and
// present until the given number of seconds has passed. Run with VARNEL_FRAME_REPORT=1 to get
// the frame rates. Usage: layer_frame_loop <seconds>
#include "app/application_state.h"
#include "graphics/graphics_device.h"

#include <cstdlib>

#include "support/hidden_window.h"

int main(int argc, char** argv) {
    const DWORD milliseconds = DWORD((argc > 1 ? std::atof(argv[1]) : 10.0) * 1000.0);
    HiddenWindow window(1024, 768);
    appState.mainWindow = window.handle;
    if (FAILED(createGraphicsDevice()))
        return 1;
    ShowWindow(appState.mainWindow, SW_SHOWDEFAULT);
    UpdateWindow(appState.mainWindow);

    IDirect3DDevice9* device = appState.graphicsDevice;
    const DWORD start = timeGetTime();
    MSG msg = {};
    while (timeGetTime() - start < milliseconds) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            continue;
        }
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        device->BeginScene();
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
    }
    appState.graphicsDevice->Release();
    appState.direct3D->Release();
    return 0;
}
