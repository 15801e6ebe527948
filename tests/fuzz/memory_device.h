// memory_device.h: a Direct3D 9 device for the fuzz targets that keeps textures, vertex and index
// buffers in plain memory, so the layer's mesh and texture loaders run without a window or OpenGL.
// Every other call fails with D3DERR_INVALIDCALL. Draw calls are checked against the bound buffers:
// a range outside them stops the run.
#pragma once

#include <d3d9.h>

#include "com_object.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace fuzz {

// Vertex and index buffers: plain bytes that Lock hands out whole or in part.
class VertexBuffer final : public ComObject<IDirect3DVertexBuffer9> {
public:
    explicit VertexBuffer(UINT length) : bytes(length) {}
    HRESULT GetDevice(IDirect3DDevice9**) override { return D3DERR_INVALIDCALL; }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD) override {
        return lockBytes(bytes, offset, size, data);
    }
    HRESULT Unlock() override { return D3D_OK; }
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC*) override { return D3DERR_INVALIDCALL; }

    // A Lock of size 0 means the whole buffer, as Direct3D has it.
    static HRESULT lockBytes(std::vector<uint8_t>& bytes, UINT offset, UINT size, void** data) {
        if (size == 0)
            size = UINT(bytes.size()) - (offset < bytes.size() ? offset : UINT(bytes.size()));
        if (data == nullptr || offset > bytes.size() || size > bytes.size() - offset)
            return D3DERR_INVALIDCALL;
        *data = bytes.data() + offset;
        return D3D_OK;
    }

    std::vector<uint8_t> bytes;

private:
    void* interfaceFor(REFIID) override { return nullptr; }
};

class IndexBuffer final : public ComObject<IDirect3DIndexBuffer9> {
public:
    IndexBuffer(UINT length, D3DFORMAT format) : bytes(length), format(format) {}
    HRESULT GetDevice(IDirect3DDevice9**) override { return D3DERR_INVALIDCALL; }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD) override {
        return VertexBuffer::lockBytes(bytes, offset, size, data);
    }
    HRESULT Unlock() override { return D3D_OK; }
    HRESULT GetDesc(D3DINDEXBUFFER_DESC*) override { return D3DERR_INVALIDCALL; }

    uint32_t index(UINT i) const {
        if (format == D3DFMT_INDEX32)
            return uint32_t(bytes[i * 4]) | uint32_t(bytes[i * 4 + 1]) << 8 |
                   uint32_t(bytes[i * 4 + 2]) << 16 | uint32_t(bytes[i * 4 + 3]) << 24;
        return uint32_t(bytes[i * 2]) | uint32_t(bytes[i * 2 + 1]) << 8;
    }
    UINT count() const { return UINT(bytes.size() / (format == D3DFMT_INDEX32 ? 4 : 2)); }

    std::vector<uint8_t> bytes;
    D3DFORMAT format;

private:
    void* interfaceFor(REFIID) override { return nullptr; }
};

// A 2-D A8R8G8B8 or X8R8G8B8 texture with its mip levels, each a tightly packed block of pixels.
class Texture final : public ComObject<IDirect3DTexture9> {
public:
    Texture(UINT width, UINT height, UINT levelCount) {
        for (UINT level = 0; level < levelCount; ++level) {
            sizes.push_back({width, height});
            pixels.emplace_back(size_t(width) * height * 4);
            width = width > 1 ? width / 2 : 1;
            height = height > 1 ? height / 2 : 1;
        }
    }
    HRESULT GetDevice(IDirect3DDevice9**) override { return D3DERR_INVALIDCALL; }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD GetLevelCount() override { return DWORD(sizes.size()); }
    HRESULT GetLevelDesc(UINT, D3DSURFACE_DESC*) override { return D3DERR_INVALIDCALL; }
    HRESULT GetSurfaceLevel(UINT, IDirect3DSurface9**) override { return D3DERR_INVALIDCALL; }
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD) override {
        if (level >= sizes.size() || locked == nullptr || rect != nullptr)
            return D3DERR_INVALIDCALL;
        locked->Pitch = INT(sizes[level].width * 4);
        locked->pBits = pixels[level].data();
        return D3D_OK;
    }
    HRESULT UnlockRect(UINT level) override {
        return level < sizes.size() ? D3D_OK : D3DERR_INVALIDCALL;
    }

    struct Size {
        UINT width, height;
    };
    std::vector<Size> sizes;
    std::vector<std::vector<uint8_t>> pixels;

private:
    void* interfaceFor(REFIID) override { return nullptr; }
};

class MemoryDevice final : public ComObject<IDirect3DDevice9> {
public:
    // The largest texture side this device takes, as a real device's capabilities limit it.
    static constexpr UINT maxTextureSide = 8192;

    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD, D3DFORMAT format, D3DPOOL,
                          IDirect3DTexture9** texture, HANDLE*) override {
        if (texture == nullptr || width == 0 || height == 0 || width > maxTextureSide ||
            height > maxTextureSide || (format != D3DFMT_A8R8G8B8 && format != D3DFMT_X8R8G8B8))
            return D3DERR_INVALIDCALL;
        UINT full = 1;
        for (UINT side = width > height ? width : height; side > 1; side /= 2)
            ++full;
        *texture = new Texture(width, height, levels == 0 || levels > full ? full : levels);
        return D3D_OK;
    }
    HRESULT CreateVertexBuffer(UINT length, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer9** buffer,
                               HANDLE*) override {
        if (buffer == nullptr || length == 0)
            return D3DERR_INVALIDCALL;
        *buffer = new VertexBuffer(length);
        return D3D_OK;
    }
    HRESULT CreateIndexBuffer(UINT length, DWORD, D3DFORMAT format, D3DPOOL,
                              IDirect3DIndexBuffer9** buffer, HANDLE*) override {
        if (buffer == nullptr || length == 0)
            return D3DERR_INVALIDCALL;
        *buffer = new IndexBuffer(length, format);
        return D3D_OK;
    }
    HRESULT SetFVF(DWORD) override { return D3D_OK; }
    HRESULT SetStreamSource(UINT, IDirect3DVertexBuffer9* buffer, UINT, UINT stride) override {
        stream = static_cast<VertexBuffer*>(buffer);
        streamStride = stride;
        return D3D_OK;
    }
    HRESULT SetIndices(IDirect3DIndexBuffer9* buffer) override {
        indices = static_cast<IndexBuffer*>(buffer);
        return D3D_OK;
    }
    // Every index drawn lies in the index buffer and names a vertex of the given range, which
    // lies in the vertex buffer.
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT base, UINT minIndex, UINT vertexCount,
                                 UINT start, UINT triangles) override {
        if (type != D3DPT_TRIANGLELIST || base != 0 || !stream || !indices || streamStride == 0)
            std::abort();
        uint64_t vertices = stream->bytes.size() / streamStride;
        if (uint64_t(start) + uint64_t(triangles) * 3 > indices->count() ||
            uint64_t(minIndex) + vertexCount > vertices)
            std::abort();
        for (UINT i = start; i < start + triangles * 3; ++i) {
            uint32_t v = indices->index(i);
            if (v < minIndex || v >= minIndex + vertexCount)
                std::abort();
        }
        return D3D_OK;
    }

    HRESULT TestCooperativeLevel() override { return D3DERR_INVALIDCALL; }
    HRESULT GetDirect3D(IDirect3D9**) override { return D3DERR_INVALIDCALL; }
    HRESULT GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS*) override {
        return D3DERR_INVALIDCALL;
    }
    HRESULT GetSwapChain(UINT, IDirect3DSwapChain9**) override { return D3DERR_INVALIDCALL; }
    HRESULT Present(const RECT*, const RECT*, HWND, const RGNDATA*) override {
        return D3DERR_INVALIDCALL;
    }
    HRESULT GetBackBuffer(UINT, UINT, D3DBACKBUFFER_TYPE, IDirect3DSurface9**) override {
        return D3DERR_INVALIDCALL;
    }
    HRESULT GetRenderTargetData(IDirect3DSurface9*, IDirect3DSurface9*) override {
        return D3DERR_INVALIDCALL;
    }
    HRESULT GetFrontBufferData(UINT, IDirect3DSurface9*) override { return D3DERR_INVALIDCALL; }
    HRESULT CreateOffscreenPlainSurface(UINT, UINT, D3DFORMAT, D3DPOOL, IDirect3DSurface9**,
                                        HANDLE*) override {
        return D3DERR_INVALIDCALL;
    }
    HRESULT GetRenderTarget(DWORD, IDirect3DSurface9**) override { return D3DERR_INVALIDCALL; }
    HRESULT BeginScene() override { return D3DERR_INVALIDCALL; }
    HRESULT EndScene() override { return D3DERR_INVALIDCALL; }
    HRESULT Clear(DWORD, const D3DRECT*, DWORD, D3DCOLOR, float, DWORD) override {
        return D3DERR_INVALIDCALL;
    }
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE, const D3DMATRIX*) override {
        return D3DERR_INVALIDCALL;
    }
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE, D3DMATRIX*) override { return D3DERR_INVALIDCALL; }
    HRESULT SetViewport(const D3DVIEWPORT9*) override { return D3DERR_INVALIDCALL; }
    HRESULT GetViewport(D3DVIEWPORT9*) override { return D3DERR_INVALIDCALL; }
    HRESULT SetMaterial(const D3DMATERIAL9*) override { return D3DERR_INVALIDCALL; }
    HRESULT GetMaterial(D3DMATERIAL9*) override { return D3DERR_INVALIDCALL; }
    HRESULT SetLight(DWORD, const D3DLIGHT9*) override { return D3DERR_INVALIDCALL; }
    HRESULT GetLight(DWORD, D3DLIGHT9*) override { return D3DERR_INVALIDCALL; }
    HRESULT LightEnable(DWORD, BOOL) override { return D3DERR_INVALIDCALL; }
    HRESULT GetLightEnable(DWORD, BOOL*) override { return D3DERR_INVALIDCALL; }
    HRESULT SetRenderState(D3DRENDERSTATETYPE, DWORD) override { return D3DERR_INVALIDCALL; }
    HRESULT GetRenderState(D3DRENDERSTATETYPE, DWORD*) override { return D3DERR_INVALIDCALL; }
    HRESULT GetTexture(DWORD, IDirect3DBaseTexture9**) override { return D3DERR_INVALIDCALL; }
    HRESULT SetTexture(DWORD, IDirect3DBaseTexture9*) override { return D3DERR_INVALIDCALL; }
    HRESULT GetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD*) override {
        return D3DERR_INVALIDCALL;
    }
    HRESULT SetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD) override {
        return D3DERR_INVALIDCALL;
    }
    HRESULT GetSamplerState(DWORD, D3DSAMPLERSTATETYPE, DWORD*) override {
        return D3DERR_INVALIDCALL;
    }
    HRESULT SetSamplerState(DWORD, D3DSAMPLERSTATETYPE, DWORD) override {
        return D3DERR_INVALIDCALL;
    }
    HRESULT SetScissorRect(const RECT*) override { return D3DERR_INVALIDCALL; }
    HRESULT GetScissorRect(RECT*) override { return D3DERR_INVALIDCALL; }
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE, UINT, UINT) override { return D3DERR_INVALIDCALL; }
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE, UINT, const void*, UINT) override {
        return D3DERR_INVALIDCALL;
    }
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE, UINT, UINT, UINT, const void*, D3DFORMAT,
                                   const void*, UINT) override {
        return D3DERR_INVALIDCALL;
    }
    HRESULT GetFVF(DWORD*) override { return D3DERR_INVALIDCALL; }
    HRESULT GetStreamSource(UINT, IDirect3DVertexBuffer9**, UINT*, UINT*) override {
        return D3DERR_INVALIDCALL;
    }
    HRESULT GetIndices(IDirect3DIndexBuffer9**) override { return D3DERR_INVALIDCALL; }

private:
    void* interfaceFor(REFIID) override { return nullptr; }

    VertexBuffer* stream = nullptr;
    UINT streamStride = 0;
    IndexBuffer* indices = nullptr;
};

} // namespace fuzz
