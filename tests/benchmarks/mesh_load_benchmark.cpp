// mesh_load_benchmark.cpp: the time to load the scene's six meshes with their textures (each
// distinct texture file once), as the scene load does, on a device of a hidden window.
// Runs in the build folder, where the generated `meshes` folder is.
#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>

#include <benchmark/benchmark.h>

#include <set>
#include <string>
#include <vector>

#include "support/hidden_window.h"

namespace {

const char* const meshNames[] = {"SegStraight.X", "SegTurnLeft.X", "CarTruck.X",
                                 "GoodsCar.X",    "Cistern.X",     "PseudoPassengerCar.X"};

struct Device {
    HiddenWindow window{320, 240};
    IDirect3D9* direct3D = nullptr;
    IDirect3DDevice9* device = nullptr;

    Device() {
        direct3D = Direct3DCreate9(D3D_SDK_VERSION);
        if (direct3D == nullptr)
            return;
        D3DPRESENT_PARAMETERS parameters{};
        parameters.BackBufferWidth = 304;
        parameters.BackBufferHeight = 201;
        parameters.BackBufferFormat = D3DFMT_X8R8G8B8;
        parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
        parameters.hDeviceWindow = window.handle;
        parameters.Windowed = TRUE;
        parameters.EnableAutoDepthStencil = TRUE;
        parameters.AutoDepthStencilFormat = D3DFMT_D16;
        direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window.handle,
                               D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters, &device);
    }
    ~Device() {
        if (device != nullptr)
            device->Release();
        if (direct3D != nullptr)
            direct3D->Release();
    }
};

void loadSceneMeshes(benchmark::State& state) {
    Device d;
    if (d.device == nullptr) {
        state.SkipWithError("no Direct3D device");
        return;
    }
    for (auto _ : state) {
        std::vector<IUnknown*> loaded;
        std::set<std::string> textureNames;
        for (const char* name : meshNames) {
            ID3DXBuffer* materials = nullptr;
            DWORD materialCount = 0;
            ID3DXMesh* mesh = nullptr;
            const std::string path = std::string("meshes\\") + name;
            if (FAILED(D3DXLoadMeshFromXA(path.c_str(), D3DXMESH_SYSTEMMEM, d.device, nullptr,
                                          &materials, nullptr, &materialCount, &mesh))) {
                state.SkipWithError(("cannot load " + path).c_str());
                break;
            }
            loaded.push_back(mesh);
            loaded.push_back(materials);
            const D3DXMATERIAL* records = static_cast<D3DXMATERIAL*>(materials->GetBufferPointer());
            for (DWORD i = 0; i < materialCount; ++i) {
                if (records[i].pTextureFilename == nullptr ||
                    !textureNames.insert(records[i].pTextureFilename).second)
                    continue;
                IDirect3DTexture9* texture = nullptr;
                const std::string texturePath =
                    std::string("meshes\\") + records[i].pTextureFilename;
                if (SUCCEEDED(D3DXCreateTextureFromFileA(d.device, texturePath.c_str(), &texture)))
                    loaded.push_back(texture);
            }
        }
        state.counters["objects"] = static_cast<double>(loaded.size());
        state.PauseTiming();
        for (auto it = loaded.rbegin(); it != loaded.rend(); ++it)
            (*it)->Release();
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(loadSceneMeshes)->Unit(benchmark::kMillisecond)->MinTime(2.0);

BENCHMARK_MAIN();
