// d3dx9_mesh.cpp: D3DXLoadMeshFromXA and the mesh object. The .X file is read into one
// triangle list (x_file_reader.h), whose faces are sorted by material; the loader copies it
// once into a vertex buffer of the vertex format the file's data gives (a position, and a
// normal, a diffuse colour and one texture coordinate pair where present) and an index buffer
// of the device, and builds the attribute table, one range per material that has faces.
// DrawSubset draws a range with the device's current state. The materials go out as an
// ID3DXBuffer of D3DXMATERIAL records followed by their texture names.
#include <d3dx9.h>

#include "com_object.h"
#include "file_path.h"
#include "x_file_reader.h"

#include <cstring>
#include <map>
#include <new>
#include <utility>
#include <vector>

const IID IID_ID3DXBaseMesh = {
    0x7ed943dd, 0x52e8, 0x40b5, {0xa8, 0xd8, 0x76, 0x68, 0x5c, 0x40, 0x63, 0x30}};
const IID IID_ID3DXMesh = {
    0x4020e5c2, 0x1403, 0x4929, {0x88, 0x3f, 0xe2, 0xe8, 0x49, 0xfa, 0xc1, 0x95}};

namespace {

// The vertex's parts that fvf holds, in the order of the vertex format.
std::vector<BYTE> packVertices(const XMeshData& data, DWORD stride) {
    std::vector<BYTE> bytes(data.vertices.size() * stride);
    BYTE* out = bytes.data();
    for (const XVertex& vertex : data.vertices) {
        auto put = [&out](const void* part, size_t size) {
            std::memcpy(out, part, size);
            out += size;
        };
        put(vertex.position, sizeof vertex.position);
        if (data.fvf & D3DFVF_NORMAL)
            put(vertex.normal, sizeof vertex.normal);
        if (data.fvf & D3DFVF_DIFFUSE)
            put(&vertex.diffuse, sizeof vertex.diffuse);
        if (data.fvf & D3DFVF_TEX1)
            put(vertex.texCoord, sizeof vertex.texCoord);
    }
    return bytes;
}

class Mesh final : public ComObject<ID3DXMesh> {
public:
    Mesh(IDirect3DDevice9* device, DWORD options) : device(device), options(options) {
        device->AddRef();
    }

    // Copies the triangle list into device buffers and builds the attribute table.
    HRESULT create(const XMeshData& data) {
        fvf = data.fvf;
        vertexSize = 12 + (fvf & D3DFVF_NORMAL ? 12 : 0) + (fvf & D3DFVF_DIFFUSE ? 4 : 0) +
                     (fvf & D3DFVF_TEX1 ? 8 : 0);
        numVertices = static_cast<DWORD>(data.vertices.size());
        numFaces = static_cast<DWORD>(data.attributes.size());
        if (numVertices > 0xFFFF)
            options |= D3DXMESH_32BIT;
        const bool wide = (options & D3DXMESH_32BIT) != 0;
        const D3DPOOL pool =
            (options & D3DXMESH_VB_SYSTEMMEM) != 0 ? D3DPOOL_SYSTEMMEM : D3DPOOL_MANAGED;

        HRESULT result = device->CreateVertexBuffer(numVertices * vertexSize, 0, fvf, pool,
                                                    &vertexBuffer, nullptr);
        if (FAILED(result))
            return result;
        result =
            fill(vertexBuffer, packVertices(data, vertexSize).data(), numVertices * vertexSize);
        if (FAILED(result))
            return result;

        const size_t indexCount = data.indices.size();
        result = device->CreateIndexBuffer(
            static_cast<UINT>(indexCount * (wide ? 4 : 2)), 0,
            wide ? D3DFMT_INDEX32 : D3DFMT_INDEX16,
            (options & D3DXMESH_IB_SYSTEMMEM) != 0 ? D3DPOOL_SYSTEMMEM : D3DPOOL_MANAGED,
            &indexBuffer, nullptr);
        if (FAILED(result))
            return result;
        if (wide) {
            result = fill(indexBuffer, data.indices.data(), indexCount * 4);
        } else {
            std::vector<WORD> narrow(data.indices.begin(), data.indices.end());
            result = fill(indexBuffer, narrow.data(), indexCount * 2);
        }
        if (FAILED(result))
            return result;

        attributes.assign(data.attributes.begin(), data.attributes.end());
        for (DWORD face = 0; face < numFaces; ++face) {
            if (table.empty() || table.back().AttribId != attributes[face])
                table.push_back({attributes[face], face, 0, data.indices[face * 3], 0});
            D3DXATTRIBUTERANGE& range = table.back();
            ++range.FaceCount;
            for (int corner = 0; corner < 3; ++corner) {
                const DWORD v = data.indices[face * 3 + corner];
                const DWORD end = range.VertexStart + range.VertexCount;
                if (v < range.VertexStart) {
                    range.VertexCount = end - v;
                    range.VertexStart = v;
                } else if (v >= end) {
                    range.VertexCount = v + 1 - range.VertexStart;
                }
            }
        }
        return D3D_OK;
    }

    HRESULT DrawSubset(DWORD attribId) override {
        for (const D3DXATTRIBUTERANGE& range : table) {
            if (range.AttribId != attribId)
                continue;
            device->SetFVF(fvf);
            device->SetStreamSource(0, vertexBuffer, 0, vertexSize);
            device->SetIndices(indexBuffer);
            return device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, range.VertexStart,
                                                range.VertexCount, range.FaceStart * 3,
                                                range.FaceCount);
        }
        return D3D_OK; // a subset without faces draws nothing
    }
    DWORD GetNumFaces() override { return numFaces; }
    DWORD GetNumVertices() override { return numVertices; }
    DWORD GetFVF() override { return fvf; }
    DWORD GetNumBytesPerVertex() override { return vertexSize; }
    DWORD GetOptions() override { return options; }
    HRESULT GetDevice(LPDIRECT3DDEVICE9* out) override {
        if (out == nullptr)
            return D3DERR_INVALIDCALL;
        device->AddRef();
        *out = device;
        return D3D_OK;
    }
    HRESULT GetVertexBuffer(LPDIRECT3DVERTEXBUFFER9* out) override {
        if (out == nullptr)
            return D3DERR_INVALIDCALL;
        vertexBuffer->AddRef();
        *out = vertexBuffer;
        return D3D_OK;
    }
    HRESULT GetIndexBuffer(LPDIRECT3DINDEXBUFFER9* out) override {
        if (out == nullptr)
            return D3DERR_INVALIDCALL;
        indexBuffer->AddRef();
        *out = indexBuffer;
        return D3D_OK;
    }
    HRESULT LockVertexBuffer(DWORD flags, LPVOID* data) override {
        return data != nullptr ? vertexBuffer->Lock(0, 0, data, flags) : D3DERR_INVALIDCALL;
    }
    HRESULT UnlockVertexBuffer() override { return vertexBuffer->Unlock(); }
    HRESULT LockIndexBuffer(DWORD flags, LPVOID* data) override {
        return data != nullptr ? indexBuffer->Lock(0, 0, data, flags) : D3DERR_INVALIDCALL;
    }
    HRESULT UnlockIndexBuffer() override { return indexBuffer->Unlock(); }
    HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* out, DWORD* size) override {
        if (size == nullptr)
            return D3DERR_INVALIDCALL;
        if (out != nullptr)
            for (DWORD i = 0; i < *size && i < table.size(); ++i)
                out[i] = table[i];
        *size = static_cast<DWORD>(table.size());
        return D3D_OK;
    }
    HRESULT LockAttributeBuffer(DWORD, DWORD** data) override {
        if (data == nullptr)
            return D3DERR_INVALIDCALL;
        *data = attributes.data();
        return D3D_OK;
    }
    HRESULT UnlockAttributeBuffer() override { return D3D_OK; }

private:
    ~Mesh() {
        if (indexBuffer != nullptr)
            indexBuffer->Release();
        if (vertexBuffer != nullptr)
            vertexBuffer->Release();
        device->Release();
    }

    void* interfaceFor(REFIID riid) override {
        if (riid == IID_ID3DXBaseMesh || riid == IID_ID3DXMesh)
            return static_cast<ID3DXMesh*>(this);
        return nullptr;
    }

    template <typename Buffer>
    static HRESULT fill(Buffer* buffer, const void* source, size_t size) {
        void* target = nullptr;
        HRESULT result = buffer->Lock(0, 0, &target, 0);
        if (FAILED(result))
            return result;
        std::memcpy(target, source, size);
        return buffer->Unlock();
    }

    IDirect3DDevice9* device;
    DWORD options;
    DWORD fvf = D3DFVF_XYZ;
    DWORD vertexSize = 12;
    DWORD numVertices = 0;
    DWORD numFaces = 0;
    IDirect3DVertexBuffer9* vertexBuffer = nullptr;
    IDirect3DIndexBuffer9* indexBuffer = nullptr;
    std::vector<DWORD> attributes;
    std::vector<D3DXATTRIBUTERANGE> table;
};

// One buffer: the D3DXMATERIAL records, then the zero-terminated texture names they point to.
HRESULT createMaterialBuffer(const std::vector<XMaterial>& materials, LPD3DXBUFFER* out) {
    size_t size = materials.size() * sizeof(D3DXMATERIAL);
    for (const XMaterial& material : materials)
        if (material.hasTexture)
            size += material.textureFileName.size() + 1;
    HRESULT result = D3DXCreateBuffer(static_cast<DWORD>(size), out);
    if (FAILED(result))
        return result;
    BYTE* bytes = static_cast<BYTE*>((*out)->GetBufferPointer());
    D3DXMATERIAL* records = reinterpret_cast<D3DXMATERIAL*>(bytes);
    char* names = reinterpret_cast<char*>(bytes + materials.size() * sizeof(D3DXMATERIAL));
    for (size_t i = 0; i < materials.size(); ++i) {
        records[i].MatD3D = materials[i].colours;
        records[i].pTextureFilename = nullptr;
        if (materials[i].hasTexture) {
            const std::string& name = materials[i].textureFileName;
            std::memcpy(names, name.c_str(), name.size() + 1);
            records[i].pTextureFilename = names;
            names += name.size() + 1;
        }
    }
    return D3D_OK;
}

// Three neighbouring faces per face (0xFFFFFFFF where an edge has none). Corners count as the
// same point when their positions are equal, whatever their normals or texture coordinates.
HRESULT createAdjacencyBuffer(const XMeshData& data, LPD3DXBUFFER* out) {
    const size_t faces = data.attributes.size();
    HRESULT result = D3DXCreateBuffer(static_cast<DWORD>(faces * 3 * sizeof(DWORD)), out);
    if (FAILED(result))
        return result;
    DWORD* adjacency = static_cast<DWORD*>((*out)->GetBufferPointer());

    std::map<std::vector<float>, DWORD> pointOf;
    std::vector<DWORD> points(data.vertices.size());
    for (size_t v = 0; v < data.vertices.size(); ++v) {
        const float* p = data.vertices[v].position;
        points[v] =
            pointOf.emplace(std::vector<float>(p, p + 3), static_cast<DWORD>(pointOf.size()))
                .first->second;
    }
    std::map<std::pair<DWORD, DWORD>, std::vector<DWORD>> facesOfEdge;
    for (size_t f = 0; f < faces; ++f)
        for (int e = 0; e < 3; ++e) {
            DWORD a = points[data.indices[f * 3 + e]],
                  b = points[data.indices[f * 3 + (e + 1) % 3]];
            facesOfEdge[{a < b ? a : b, a < b ? b : a}].push_back(static_cast<DWORD>(f));
        }
    for (size_t f = 0; f < faces; ++f)
        for (int e = 0; e < 3; ++e) {
            DWORD a = points[data.indices[f * 3 + e]],
                  b = points[data.indices[f * 3 + (e + 1) % 3]];
            adjacency[f * 3 + e] = 0xFFFFFFFF;
            for (DWORD other : facesOfEdge[{a < b ? a : b, a < b ? b : a}])
                if (other != f) {
                    adjacency[f * 3 + e] = other;
                    break;
                }
        }
    return D3D_OK;
}

// One effect instance per material, each without an effect file or defaults.
HRESULT createEffectBuffer(size_t materialCount, LPD3DXBUFFER* out) {
    HRESULT result =
        D3DXCreateBuffer(static_cast<DWORD>(materialCount * sizeof(D3DXEFFECTINSTANCE)), out);
    if (SUCCEEDED(result)) {
        D3DXEFFECTINSTANCE* instances =
            static_cast<D3DXEFFECTINSTANCE*>((*out)->GetBufferPointer());
        for (size_t i = 0; i < materialCount; ++i)
            instances[i] = D3DXEFFECTINSTANCE{nullptr, 0, nullptr};
    }
    return result;
}

template <typename T> void releaseAndClear(T** object) {
    if (object != nullptr && *object != nullptr) {
        (*object)->Release();
        *object = nullptr;
    }
}

} // namespace

HRESULT WINAPI D3DXLoadMeshFromXA(LPCSTR fileName, DWORD options, LPDIRECT3DDEVICE9 device,
                                  LPD3DXBUFFER* adjacency, LPD3DXBUFFER* materials,
                                  LPD3DXBUFFER* effectInstances, DWORD* numMaterials,
                                  LPD3DXMESH* mesh) {
    for (LPD3DXBUFFER* buffer : {adjacency, materials, effectInstances})
        if (buffer != nullptr)
            *buffer = nullptr;
    if (numMaterials != nullptr)
        *numMaterials = 0;
    if (mesh != nullptr)
        *mesh = nullptr;
    if (fileName == nullptr || device == nullptr || mesh == nullptr)
        return D3DERR_INVALIDCALL;

    XMeshData data;
    if (!readXFile(resolveWindowsPath(fileName), data))
        return D3DXERR_INVALIDDATA;

    Mesh* created = new (std::nothrow) Mesh(device, options);
    if (created == nullptr)
        return E_OUTOFMEMORY;
    HRESULT result = created->create(data);
    if (SUCCEEDED(result) && materials != nullptr)
        result = createMaterialBuffer(data.materials, materials);
    if (SUCCEEDED(result) && adjacency != nullptr)
        result = createAdjacencyBuffer(data, adjacency);
    if (SUCCEEDED(result) && effectInstances != nullptr)
        result = createEffectBuffer(data.materials.size(), effectInstances);
    if (FAILED(result)) {
        created->Release();
        releaseAndClear(adjacency);
        releaseAndClear(materials);
        releaseAndClear(effectInstances);
        return result;
    }
    if (numMaterials != nullptr)
        *numMaterials = static_cast<DWORD>(data.materials.size());
    *mesh = created;
    return D3D_OK;
}
