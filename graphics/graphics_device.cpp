// graphics_device.cpp: the Direct3D device of the main window and the fixed scene state.
#include "graphics/graphics_device.h"

#include "app/application_state.h"
#include "graphics/build_config.h"

#include <d3d9.h>

namespace {

// "Ошибка Direct3DCreate" and "Ошибка CreateDevice (Direct3D)" in Windows-1251.
const char direct3DCreateError[] = "\xCE\xF8\xE8\xE1\xEA\xE0 Direct3DCreate";
const char createDeviceError[] = "\xCE\xF8\xE8\xE1\xEA\xE0 CreateDevice (Direct3D)";

} // namespace

HRESULT createGraphicsDevice() {
    appState.direct3D = Direct3DCreate9(D3D_SDK_VERSION);
    if (appState.direct3D == nullptr) {
        MessageBoxA(appState.mainWindow, direct3DCreateError, nullptr, MB_OK);
        return E_FAIL;
    }

    D3DPRESENT_PARAMETERS presentation = {};
    presentation.SwapEffect = D3DSWAPEFFECT_DISCARD;
    presentation.Windowed = TRUE;
    presentation.EnableAutoDepthStencil = TRUE;
    presentation.AutoDepthStencilFormat = D3DFMT_D24X8;
    presentation.PresentationInterval = presentInterval;

    HRESULT result =
        appState.direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, appState.mainWindow,
                                        vertexProcessing, &presentation, &appState.graphicsDevice);
    if (FAILED(result)) {
        MessageBoxA(appState.mainWindow, createDeviceError, nullptr, MB_OK);
        return E_FAIL;
    }

    IDirect3DDevice9* device = appState.graphicsDevice;
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    return S_OK;
}

void setUpLight() {
    D3DLIGHT9 light = {};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
    light.Direction = {1.0f, -2.0f, -1.0f};

    IDirect3DDevice9* device = appState.graphicsDevice;
    device->SetLight(0, &light);
    device->LightEnable(0, TRUE);
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    device->SetRenderState(D3DRS_AMBIENT, 0x00202020);
}

HRESULT setUpMaterial() {
    D3DMATERIAL9 material = {};
    material.Diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    material.Ambient = {1.0f, 1.0f, 1.0f, 1.0f};
    return appState.graphicsDevice->SetMaterial(&material);
}
