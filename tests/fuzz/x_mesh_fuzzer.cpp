// x_mesh_fuzzer.cpp: libFuzzer target for the layer's .X loading: D3DXLoadMeshFromXA on the
// input written to a file, on a device that keeps its buffers in memory. The input's first
// byte chooses the encoding: odd, the rest (a text or binary file) is compressed in blocks of
// 16 to 2,048 or 32,768 bytes before the load, so that mutations of the file's contents reach
// the compressed form too; even, the rest is the file as it is (text, binary or compressed).
// What a successful load hands out is walked as a program would: every material's texture
// name, the adjacency and every subset drawn, so that anything pointing outside its buffers
// is found. Counts and indices are mutated near their bounds (x_count_mutator.h).
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
#include "tests/support/x_file_encodings.h"
#include "x_count_mutator.h"

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
    if (size == 0)
        return 0;
    const uint8_t mode = data[0];
    std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    if ((mode & 1) != 0 && bytes.size() >= 16) {
        const int shift = (mode >> 1) & 7;
        bytes = xfile::compress(bytes, shift == 7 ? 32768 : size_t(16) << shift);
    }
    file.write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());

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
