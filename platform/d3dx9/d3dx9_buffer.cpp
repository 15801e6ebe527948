// d3dx9_buffer.cpp: ID3DXBuffer, a reference-counted block of bytes that the mesh loader hands out
// (materials, adjacency, effect instances).
#include <d3dx9.h>

#include "com_object.h"

#include <new>

const IID IID_ID3DXBuffer = {
    0x8ba5fb08, 0x5195, 0x40e2, {0xac, 0x58, 0x0d, 0x98, 0x9c, 0x3a, 0x01, 0x02}};

namespace {

class Buffer final : public ComObject<ID3DXBuffer> {
public:
    Buffer(BYTE* bytes, DWORD size) : bytes(bytes), size(size) {}

    LPVOID GetBufferPointer() override { return bytes; }
    DWORD GetBufferSize() override { return size; }

private:
    ~Buffer() { delete[] bytes; }

    void* interfaceFor(REFIID riid) override {
        return riid == IID_ID3DXBuffer ? static_cast<ID3DXBuffer*>(this) : nullptr;
    }

    BYTE* bytes;
    DWORD size;
};

} // namespace

HRESULT WINAPI D3DXCreateBuffer(DWORD numBytes, LPD3DXBUFFER* buffer) {
    if (buffer == nullptr)
        return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    BYTE* bytes = new (std::nothrow) BYTE[numBytes > 0 ? numBytes : 1]();
    if (bytes == nullptr)
        return E_OUTOFMEMORY;
    *buffer = new (std::nothrow) Buffer(bytes, numBytes);
    if (*buffer == nullptr) {
        delete[] bytes;
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}
