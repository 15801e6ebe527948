// x_mesh_fuzzer.cpp: libFuzzer target for the layer's .X loading: D3DXLoadMeshFromXA on the
// input written to a file, on a device that keeps its buffers in memory. What a successful
// load hands out is walked as a program would: every material's texture name, the adjacency
// and every subset drawn, so that anything pointing outside its buffers is found.
// Built by tools/run-fuzz.sh.
#include <d3dx9.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "memory_device.h"
#include "scratch_file.h"

namespace {

// Stops the run with the condition that did not hold.
[[noreturn]] void fail(const char* condition, int line) {
    std::fprintf(stderr, "%s:%d: %s does not hold\n", __FILE__, line, condition);
    std::abort();
}
#define check(condition) ((condition) ? void() : fail(#condition, __LINE__))

void walkMaterials(ID3DXBuffer* materials, DWORD count) {
    check(materials != nullptr);
    const char* begin = static_cast<const char*>(materials->GetBufferPointer());
    const char* end = begin + materials->GetBufferSize();
    check(uint64_t(count) * sizeof(D3DXMATERIAL) <= materials->GetBufferSize());
    const D3DXMATERIAL* records = reinterpret_cast<const D3DXMATERIAL*>(begin);
    for (DWORD i = 0; i < count; ++i) {
        const char* name = records[i].pTextureFilename;
        if (name == nullptr)
            continue;
        check(name >= begin && name < end);
        check(std::memchr(name, 0, size_t(end - name)) != nullptr);
    }
}

void walkMesh(ID3DXMesh* mesh, ID3DXBuffer* adjacency) {
    const DWORD faces = mesh->GetNumFaces();
    check(adjacency != nullptr && adjacency->GetBufferSize() == faces * 3 * sizeof(DWORD));
    const DWORD* neighbours = static_cast<const DWORD*>(adjacency->GetBufferPointer());
    for (DWORD i = 0; i < faces * 3; ++i)
        check(neighbours[i] == 0xFFFFFFFF || neighbours[i] < faces);
    DWORD rangeCount = 0;
    check(mesh->GetAttributeTable(nullptr, &rangeCount) == D3D_OK);
    std::vector<D3DXATTRIBUTERANGE> ranges(rangeCount);
    check(mesh->GetAttributeTable(ranges.data(), &rangeCount) == D3D_OK);
    DWORD covered = 0;
    for (const D3DXATTRIBUTERANGE& range : ranges) {
        check(range.FaceStart == covered);
        covered += range.FaceCount;
        check(mesh->DrawSubset(range.AttribId) == D3D_OK);
    }
    check(covered == faces);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::MemoryDevice* device = new fuzz::MemoryDevice;
    static const fuzz::ScratchFile file("mesh.x");
    file.write(data, size);

    ID3DXBuffer* adjacency = nullptr;
    ID3DXBuffer* materials = nullptr;
    ID3DXBuffer* effects = nullptr;
    DWORD materialCount = 0;
    ID3DXMesh* mesh = nullptr;
    HRESULT result = D3DXLoadMeshFromXA(file.path.c_str(), D3DXMESH_SYSTEMMEM, device, &adjacency,
                                        &materials, &effects, &materialCount, &mesh);
    if (FAILED(result)) {
        check(!mesh && !adjacency && !materials && !effects && materialCount == 0);
        return 0;
    }
    walkMaterials(materials, materialCount);
    walkMesh(mesh, adjacency);
    mesh->Release();
    adjacency->Release();
    materials->Release();
    if (effects)
        effects->Release();
    return 0;
}
