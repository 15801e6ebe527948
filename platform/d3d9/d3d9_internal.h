// d3d9_internal.h: the objects behind the Direct3D 9 interfaces, shared by the d3d9_*.cpp
// files. A Device owns a drawing context on its window (backends/graphics_surface.h) and a
// renderer on it (backends/renderer.h), keeps the whole Direct3D state and hands the renderer,
// at each draw, the state that draw uses, rebuilt only where something changed.
//
// Reference counting follows Direct3D: a device holds its Direct3D object, every live resource
// holds its device, a texture level surface and the back buffer count on their container, and a
// resource bound to the device (texture, stream, indices) stays alive while bound even after
// its last public Release.
#pragma once

#include <d3d9.h>

#include "com_object.h"
#include "graphics_surface.h"
#include "renderer.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <vector>

namespace d3d9 {

struct Device;

constexpr DWORD renderStateCount = 256;
constexpr DWORD samplerCount = 16;
constexpr DWORD samplerStateCount = 14;
constexpr DWORD stageCount = 8;
constexpr DWORD stageStateCount = 33;
constexpr DWORD transformCount = 512;
constexpr DWORD lightCapacity = 32;

// The Direct3D object: one adapter, and a reference on the graphics library.
struct Direct3D final : ComObject<IDirect3D9> {
    void* interfaceFor(REFIID riid) override;
    void lastReleased() override;
    UINT GetAdapterCount() override;
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override;
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* presentation, IDirect3DDevice9** device) override;
};

// Shared part of every resource: public references, bindings to the device, the device.
struct ResourceLife {
    Device* device = nullptr;
    ULONG refs = 1;
    ULONG bindings = 0;
};

struct Texture;

// A surface: a texture level, the back buffer, or an offscreen plain surface with its own
// pixels. Only A8R8G8B8 / X8R8G8B8 pixels (4 bytes, BGRA in memory), rows top first.
struct Surface final : IDirect3DSurface9 {
    enum class Kind { textureLevel, backBuffer, offscreen };

    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override;
    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect() override;

    Kind kind = Kind::offscreen;
    ResourceLife life;            // offscreen surfaces only
    Texture* container = nullptr; // texture levels only
    UINT level = 0;               // texture levels only
    D3DSURFACE_DESC desc = {};
    std::vector<uint8_t> pixels; // offscreen surfaces only
    bool locked = false;         // offscreen surfaces only
};

// A 2-D texture whose levels live in one renderer texture; a locked level is read into
// system memory and written back at the unlock (the unused byte of X8R8G8B8 reads as 0xFF).
struct Texture final : IDirect3DTexture9 {
    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override;
    DWORD GetLevelCount() override;
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect,
                     DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;

    struct Level {
        UINT width = 0;
        UINT height = 0;
        std::vector<uint8_t> pixels; // only while locked
        bool locked = false;
        bool readOnly = false;
        RECT lockedRect = {};
        Surface surface;
    };

    void destroy();

    ResourceLife life;
    D3DFORMAT format = D3DFMT_A8R8G8B8;
    DWORD usage = 0;
    D3DPOOL pool = D3DPOOL_MANAGED;
    std::vector<Level> levels;
    renderer::Handle name = 0;
};

// A vertex or index buffer: system memory, mirrored in a renderer buffer at Unlock.
struct BufferStore {
    std::vector<uint8_t> bytes;
    renderer::Handle name = 0;
    UINT lockCount = 0;
    UINT dirtyBegin = 0;
    UINT dirtyEnd = 0;

    HRESULT lock(UINT offset, UINT size, void** data, DWORD flags);
    HRESULT unlock(Device* device);
};

struct VertexBuffer final : IDirect3DVertexBuffer9 {
    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override;
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) override;

    void destroy();

    ResourceLife life;
    D3DVERTEXBUFFER_DESC desc = {};
    BufferStore store;
};

struct IndexBuffer final : IDirect3DIndexBuffer9 {
    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override;
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) override;

    void destroy();

    ResourceLife life;
    D3DINDEXBUFFER_DESC desc = {};
    BufferStore store;
    // The largest index in the whole buffer, known until the next writable Lock.
    uint32_t largest = 0;
    bool largestKnown = false;
};

// The device's implicit swap chain; its references count on the device.
struct SwapChain final : IDirect3DSwapChain9 {
    HRESULT QueryInterface(REFIID riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    HRESULT GetPresentParameters(D3DPRESENT_PARAMETERS* presentation) override;

    Device* device = nullptr;
};

struct LightSlot {
    D3DLIGHT9 light = {};
    bool defined = false;
    bool enabled = false;
};

// Frame counting for VARNEL_FRAME_REPORT and the pacing of the waiting intervals.
struct PresentClock {
    using Clock = std::chrono::steady_clock;

    bool report = false;
    bool pace = false;
    Clock::duration period = {};   // one refresh, when pacing
    Clock::time_point lastPresent; // when pacing: the time the last picture was shown
    Clock::time_point intervalStart;
    Clock::time_point firstPresent;
    Clock::time_point latestPresent;
    bool presented = false;
    uint64_t intervalFrames = 0;
    uint64_t totalFrames = 0;

    void start(bool reportFrames, bool paceToRefresh, int refreshRate);
    void stop();
    void afterSwap();
    void summary();
};

struct Device final : ComObject<IDirect3DDevice9> {
    // Creation (d3d9_device.cpp).
    static HRESULT create(Direct3D* direct3D, HWND focusWindow, DWORD behaviorFlags,
                          D3DPRESENT_PARAMETERS* presentation, IDirect3DDevice9** result);
    ~Device();
    void makeCurrent();
    bool windowAlive() const;

    // Interfaces and device (d3d9_device.cpp).
    void* interfaceFor(REFIID riid) override;
    HRESULT TestCooperativeLevel() override;
    HRESULT GetDirect3D(IDirect3D9** direct3D) override;
    HRESULT GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* parameters) override;
    HRESULT GetSwapChain(UINT swapChain, IDirect3DSwapChain9** result) override;
    HRESULT GetBackBuffer(UINT swapChain, UINT backBuffer, D3DBACKBUFFER_TYPE type,
                          IDirect3DSurface9** result) override;
    HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** result) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                  DWORD stencil) override;
    HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT9* viewport) override;
    HRESULT SetScissorRect(const RECT* rect) override;
    HRESULT GetScissorRect(RECT* rect) override;

    // States (d3d9_states.cpp).
    void setDefaultStates();
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT SetMaterial(const D3DMATERIAL9* material) override;
    HRESULT GetMaterial(D3DMATERIAL9* material) override;
    HRESULT SetLight(DWORD index, const D3DLIGHT9* light) override;
    HRESULT GetLight(DWORD index, D3DLIGHT9* light) override;
    HRESULT LightEnable(DWORD index, BOOL enable) override;
    HRESULT GetLightEnable(DWORD index, BOOL* enable) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
    HRESULT SetFVF(DWORD fvf) override;
    HRESULT GetFVF(DWORD* fvf) override;
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
                            UINT stride) override;
    HRESULT GetStreamSource(UINT stream, IDirect3DVertexBuffer9** buffer, UINT* offset,
                            UINT* stride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer9* buffer) override;
    HRESULT GetIndices(IDirect3DIndexBuffer9** buffer) override;

    // Resources (d3d9_resources.cpp).
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                          D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* shared) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                               IDirect3DVertexBuffer9** buffer, HANDLE* shared) override;
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer9** buffer, HANDLE* shared) override;
    HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                        IDirect3DSurface9** surface, HANDLE* shared) override;

    // Drawing (d3d9_draw.cpp).
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT count) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertex, UINT minIndex,
                                 UINT vertexCount, UINT startIndex, UINT count) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT count, const void* vertices,
                            UINT stride) override;
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT vertexCount,
                                   UINT count, const void* indices, D3DFORMAT indexFormat,
                                   const void* vertices, UINT stride) override;
    // The draw state brought up to date for a draw of vertices stride bytes apart.
    const renderer::DrawSetup& prepareDraw(UINT stride);

    // The draw state in the renderer's terms (d3d9_draw_state.cpp).
    void buildSetup(bool pretransformed);
    void buildTransforms();
    void buildLighting();

    // Presentation and read-back (d3d9_present.cpp).
    HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                    const RGNDATA* dirtyRegion) override;
    HRESULT GetRenderTargetData(IDirect3DSurface9* renderTarget,
                                IDirect3DSurface9* destSurface) override;
    HRESULT GetFrontBufferData(UINT swapChain, IDirect3DSurface9* destSurface) override;
    void copyPicture(const std::vector<uint8_t>& rows, Surface* target);

    // Identity and window.
    Direct3D* direct3D = nullptr;
    D3DDEVICE_CREATION_PARAMETERS creation = {};
    D3DPRESENT_PARAMETERS presentation = {};
    HWND window = nullptr;
    surface::Context* context = nullptr;
    renderer::Renderer* renderer = nullptr;
    // The window's client area in window pixels, the back buffer's size by default.
    int clientWidth = 0;
    int clientHeight = 0;
    bool hasStencil = false;
    SwapChain swapChain;
    Surface backBuffer;
    PresentClock clock;
    bool inScene = false;
    bool backHoldsPicture = false; // nothing cleared or drawn since the last Present

    // Direct3D state.
    std::array<DWORD, renderStateCount> renderStates = {};
    std::array<std::array<DWORD, samplerStateCount>, samplerCount> samplerStates = {};
    std::array<std::array<DWORD, stageStateCount>, stageCount> stageStates = {};
    std::vector<D3DMATRIX> transforms;
    std::array<LightSlot, lightCapacity> lights = {};
    D3DMATERIAL9 material = {};
    D3DVIEWPORT9 viewport = {};
    RECT scissor = {};
    std::array<Texture*, samplerCount> textures = {};
    DWORD fvf = 0;
    VertexBuffer* stream = nullptr;
    UINT streamOffset = 0;
    UINT streamStride = 0;
    IndexBuffer* indices = nullptr;

    // The draw state as the renderer takes it, and what must be rebuilt before the next draw.
    renderer::DrawSetup setup;
    renderer::Transforms transformValues = {};
    renderer::Lighting lightingValues = {};
    bool setupDirty = true;
    bool transformsDirty = true;
    bool lightingDirty = true;
    bool viewportDirty = true;
    bool lastPretransformed = false;
};

// Binding a resource to the device keeps it alive; unbinding may destroy it.
void bind(Texture* texture);
void unbind(Texture* texture);
void bind(VertexBuffer* buffer);
void unbind(VertexBuffer* buffer);
void bind(IndexBuffer* buffer);
void unbind(IndexBuffer* buffer);

// Bytes per vertex of a flexible vertex format, or 0 when the layer cannot draw it.
UINT vertexSize(DWORD fvf);

// The largest of count 16- or 32-bit indices from index first on.
uint32_t largestIndex(const void* data, D3DFORMAT format, UINT first, UINT count);

} // namespace d3d9
