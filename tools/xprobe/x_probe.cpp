// x_probe.cpp: loads each .X file named on the command line with D3DXLoadMeshFromXA and prints
// one line per file: the result code, the vertex and face counts, the vertex format and stride,
// the material count and the materials' texture file names. Built against the layer and against
// the real D3DX, so that the two runs' outputs can be compared line by line
// (tools/xprobe/README.md).
#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// A hidden window with a small windowed device on it, released in reverse order.
struct ProbeDevice {
    HWND window = nullptr;
    IDirect3D9* direct3D = nullptr;
    IDirect3DDevice9* device = nullptr;

    bool create() {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "XProbeWindow";
        RegisterClassExA(&windowClass);
        window = CreateWindowExA(0, "XProbeWindow", "x_probe", WS_OVERLAPPEDWINDOW, 0, 0, 64, 64,
                                 nullptr, nullptr, windowClass.hInstance, nullptr);
        if (window == nullptr)
            return false;
        direct3D = Direct3DCreate9(D3D_SDK_VERSION);
        if (direct3D == nullptr)
            return false;
        D3DPRESENT_PARAMETERS parameters{};
        parameters.BackBufferWidth = 64;
        parameters.BackBufferHeight = 64;
        parameters.BackBufferFormat = D3DFMT_X8R8G8B8;
        parameters.BackBufferCount = 1;
        parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
        parameters.hDeviceWindow = window;
        parameters.Windowed = TRUE;
        parameters.EnableAutoDepthStencil = TRUE;
        parameters.AutoDepthStencilFormat = D3DFMT_D16;
        return direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                      D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters,
                                      &device) == D3D_OK;
    }

    ~ProbeDevice() {
        if (device != nullptr)
            device->Release();
        if (direct3D != nullptr)
            direct3D->Release();
        if (window != nullptr)
            DestroyWindow(window);
        UnregisterClassA("XProbeWindow", GetModuleHandleA(nullptr));
    }
};

// The texture names of the materials, quoted, separated by commas; "-" for a material without one.
std::string textureNames(ID3DXBuffer* materials, DWORD count) {
    std::string names;
    if (materials == nullptr)
        return names;
    const auto* records = static_cast<const D3DXMATERIAL*>(materials->GetBufferPointer());
    for (DWORD i = 0; i < count; ++i) {
        if (i > 0)
            names += ",";
        const char* name = records[i].pTextureFilename;
        if (name == nullptr) {
            names += "-";
            continue;
        }
        names += '"';
        names += name;
        names += '"';
    }
    return names;
}

// FNV-1a over bytes, continued from `digest`.
uint32_t addBytes(uint32_t digest, const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i)
        digest = (digest ^ bytes[i]) * 16777619u;
    return digest;
}

constexpr uint32_t emptyDigest = 2166136261u;

// The positions (the first three floats of each vertex), each rounded to 1/1000.
uint32_t positionDigest(ID3DXMesh* mesh) {
    uint32_t digest = emptyDigest;
    void* data = nullptr;
    if (FAILED(mesh->LockVertexBuffer(D3DLOCK_READONLY, &data)))
        return 0;
    const DWORD stride = mesh->GetNumBytesPerVertex();
    for (DWORD i = 0; i < mesh->GetNumVertices(); ++i) {
        float position[3];
        std::memcpy(position, static_cast<const uint8_t*>(data) + i * stride, sizeof(position));
        for (float coordinate : position) {
            const int32_t rounded = static_cast<int32_t>(std::lround(coordinate * 1000.0f));
            digest = addBytes(digest, &rounded, sizeof(rounded));
        }
    }
    mesh->UnlockVertexBuffer();
    return digest;
}

// The index buffer: three indices a face, of 16 bits (no D3DXMESH_32BIT asked for).
uint32_t indexDigest(ID3DXMesh* mesh) {
    void* data = nullptr;
    if (FAILED(mesh->LockIndexBuffer(D3DLOCK_READONLY, &data)))
        return 0;
    const uint32_t digest = addBytes(emptyDigest, data, mesh->GetNumFaces() * 3 * sizeof(WORD));
    mesh->UnlockIndexBuffer();
    return digest;
}

// The attribute (material number) of each face.
uint32_t attributeDigest(ID3DXMesh* mesh) {
    DWORD* data = nullptr;
    if (FAILED(mesh->LockAttributeBuffer(D3DLOCK_READONLY, &data)))
        return 0;
    const uint32_t digest = addBytes(emptyDigest, data, mesh->GetNumFaces() * sizeof(DWORD));
    mesh->UnlockAttributeBuffer();
    return digest;
}

void probe(IDirect3DDevice9* device, const char* path) {
    ID3DXBuffer* materials = nullptr;
    DWORD materialCount = 0;
    ID3DXMesh* mesh = nullptr;
    const HRESULT result = D3DXLoadMeshFromXA(path, D3DXMESH_MANAGED, device, nullptr, &materials,
                                              nullptr, &materialCount, &mesh);
    if (FAILED(result) || mesh == nullptr) {
        std::printf("%s\thr=0x%08x\tfailed\n", path, static_cast<unsigned>(result));
    } else {
        std::printf("%s\thr=0x%08x\tvertices=%lu\tfaces=%lu\tfvf=0x%lx\tstride=%lu\t"
                    "materials=%lu\ttextures=[%s]\tpositions=%08x\tindices=%08x\t"
                    "attributes=%08x\n",
                    path, static_cast<unsigned>(result),
                    static_cast<unsigned long>(mesh->GetNumVertices()),
                    static_cast<unsigned long>(mesh->GetNumFaces()),
                    static_cast<unsigned long>(mesh->GetFVF()),
                    static_cast<unsigned long>(mesh->GetNumBytesPerVertex()),
                    static_cast<unsigned long>(materialCount),
                    textureNames(materials, materialCount).c_str(), positionDigest(mesh),
                    indexDigest(mesh), attributeDigest(mesh));
    }
    std::fflush(stdout);
    if (mesh != nullptr)
        mesh->Release();
    if (materials != nullptr)
        materials->Release();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE.x...\n", argv[0]);
        return 2;
    }
    ProbeDevice probeDevice;
    if (!probeDevice.create()) {
        std::fprintf(stderr, "x_probe: no Direct3D device (no display?)\n");
        return 1;
    }
    for (int i = 1; i < argc; ++i)
        probe(probeDevice.device, argv[i]);
    return 0;
}
