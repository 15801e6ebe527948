// d3dx9_buffer.cpp: ID3DXBuffer, a reference-counted block of bytes that the mesh loader
// hands out (materials, adjacency, effect instances). Depends on d3dx9.h.
#include <d3dx9.h>

#include <new>

const IID IID_ID3DXBuffer = {
    0x8ba5fb08, 0x5195, 0x40e2, {0xac, 0x58, 0x0d, 0x98, 0x9c, 0x3a, 0x01, 0x02}};

namespace {

class Buffer final : public ID3DXBuffer {
public:
    Buffer(BYTE* bytes, DWORD size) : bytes(bytes), size(size) {}

    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ID3DXBuffer) {
            AddRef();
            *object = this;
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++references; }
    ULONG Release() override {
        const ULONG left = --references;
        if (left == 0)
            delete this;
        return left;
    }
    LPVOID GetBufferPointer() override { return bytes; }
    DWORD GetBufferSize() override { return size; }

private:
    ~Buffer() { delete[] bytes; }

    BYTE* bytes;
    DWORD size;
    ULONG references = 1;
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
