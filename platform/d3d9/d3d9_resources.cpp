// d3d9_resources.cpp: textures (A8R8G8B8 / X8R8G8B8 levels in a renderer texture, read into
// system memory by LockRect and written back at UnlockRect), surfaces (texture levels, the back
// buffer, offscreen plain surfaces) and vertex and index buffers (system memory, uploaded to a
// renderer buffer at Unlock), with the reference counting described in d3d9_internal.h.
#include "d3d9_internal.h"

#include <algorithm>

namespace d3d9 {
namespace {

constexpr UINT bytesPerPixel = 4;

bool supportedPixelFormat(D3DFORMAT format) {
    return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8;
}

// Checks a lock rectangle against a surface of width x height; null means the whole surface.
bool lockArea(const RECT* rect, UINT width, UINT height, RECT& area) {
    if (rect == nullptr) {
        area = {0, 0, LONG(width), LONG(height)};
        return true;
    }
    if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right || rect->top >= rect->bottom ||
        rect->right > LONG(width) || rect->bottom > LONG(height))
        return false;
    area = *rect;
    return true;
}

// The last public reference of a resource is gone: it goes now, or when the device unbinds it.
template <typename Resource> ULONG releaseResource(Resource* resource) {
    ResourceLife& life = resource->life;
    ULONG left = --life.refs;
    if (left != 0)
        return left;
    Device* device = life.device;
    if (life.bindings == 0)
        resource->destroy();
    device->Release();
    return 0;
}

template <typename Resource> void unbindResource(Resource* resource) {
    if (resource == nullptr)
        return;
    if (--resource->life.bindings == 0 && resource->life.refs == 0)
        resource->destroy();
}

template <typename Interface, typename Resource>
HRESULT queryResource(Resource* resource, REFIID riid, void** object, const IID& own,
                      const IID& base) {
    if (object == nullptr)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirect3DResource9 || riid == own || riid == base) {
        resource->AddRef();
        *object = static_cast<Interface*>(resource);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT giveDevice(Device* device, IDirect3DDevice9** result) {
    if (result == nullptr)
        return D3DERR_INVALIDCALL;
    device->AddRef();
    *result = device;
    return D3D_OK;
}

} // namespace

void bind(Texture* texture) {
    if (texture != nullptr)
        ++texture->life.bindings;
}
void unbind(Texture* texture) {
    unbindResource(texture);
}
void bind(VertexBuffer* buffer) {
    if (buffer != nullptr)
        ++buffer->life.bindings;
}
void unbind(VertexBuffer* buffer) {
    unbindResource(buffer);
}
void bind(IndexBuffer* buffer) {
    if (buffer != nullptr)
        ++buffer->life.bindings;
}
void unbind(IndexBuffer* buffer) {
    unbindResource(buffer);
}

// Textures.

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levelCount, DWORD usage,
                              D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** result,
                              HANDLE* shared) {
    if (result == nullptr)
        return D3DERR_INVALIDCALL;
    *result = nullptr;
    if (width == 0 || height == 0 || shared != nullptr || !supportedPixelFormat(format) ||
        (usage & ~DWORD(D3DUSAGE_DYNAMIC)) != 0 || pool > D3DPOOL_SCRATCH)
        return D3DERR_INVALIDCALL;
    UINT fullChain = 1;
    for (UINT size = std::max(width, height); size > 1; size /= 2)
        ++fullChain;
    if (levelCount == 0)
        levelCount = fullChain;
    if (levelCount > fullChain)
        return D3DERR_INVALIDCALL;

    makeCurrent();
    Texture* texture = new Texture();
    texture->life.device = this;
    texture->format = format;
    texture->usage = usage;
    texture->pool = pool;
    texture->levels.resize(levelCount);
    texture->name =
        renderer::createTexture(renderer, width, height, levelCount, format == D3DFMT_A8R8G8B8);
    for (UINT i = 0; i < levelCount; ++i) {
        Texture::Level& level = texture->levels[i];
        level.width = std::max(width >> i, 1u);
        level.height = std::max(height >> i, 1u);
        level.surface.kind = Surface::Kind::textureLevel;
        level.surface.container = texture;
        level.surface.level = i;
        level.surface.desc = {format, D3DRTYPE_SURFACE, usage,       pool, D3DMULTISAMPLE_NONE,
                              0,      level.width,      level.height};
    }
    AddRef();
    *result = texture;
    return D3D_OK;
}

void Texture::destroy() {
    Device* device = life.device;
    if (device->windowAlive()) {
        device->makeCurrent();
        renderer::destroyTexture(device->renderer, name);
    }
    delete this;
}

HRESULT Texture::QueryInterface(REFIID riid, void** object) {
    return queryResource<IDirect3DTexture9>(this, riid, object, IID_IDirect3DTexture9,
                                            IID_IDirect3DBaseTexture9);
}

ULONG Texture::AddRef() {
    return ++life.refs;
}
ULONG Texture::Release() {
    return releaseResource(this);
}
HRESULT Texture::GetDevice(IDirect3DDevice9** device) {
    return giveDevice(life.device, device);
}
D3DRESOURCETYPE Texture::GetType() {
    return D3DRTYPE_TEXTURE;
}
DWORD Texture::GetLevelCount() {
    return DWORD(levels.size());
}

HRESULT Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
    if (desc == nullptr || level >= levels.size())
        return D3DERR_INVALIDCALL;
    *desc = levels[level].surface.desc;
    return D3D_OK;
}

HRESULT Texture::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) {
    if (surface == nullptr)
        return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (level >= levels.size())
        return D3DERR_INVALIDCALL;
    AddRef();
    *surface = &levels[level].surface;
    return D3D_OK;
}

HRESULT Texture::LockRect(UINT index, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    if (locked == nullptr || index >= levels.size())
        return D3DERR_INVALIDCALL;
    Level& level = levels[index];
    RECT area;
    if (level.locked || !lockArea(rect, level.width, level.height, area))
        return D3DERR_INVALIDCALL;
    // The texels live in the renderer alone; a lock reads the level into memory until the
    // unlock.
    level.pixels.assign(size_t(level.width) * level.height * bytesPerPixel, 0);
    Device* device = life.device;
    if (device->windowAlive()) {
        device->makeCurrent();
        renderer::readTexture(device->renderer, name, index, level.pixels.data());
    }
    const UINT pitch = level.width * bytesPerPixel;
    locked->Pitch = INT(pitch);
    locked->pBits = level.pixels.data() + size_t(area.top) * pitch + size_t(area.left) * 4;
    level.locked = true;
    level.readOnly = (flags & D3DLOCK_READONLY) != 0;
    level.lockedRect = area;
    return D3D_OK;
}

HRESULT Texture::UnlockRect(UINT index) {
    if (index >= levels.size() || !levels[index].locked)
        return D3DERR_INVALIDCALL;
    Level& level = levels[index];
    level.locked = false;
    Device* device = life.device;
    if (!level.readOnly && device->windowAlive()) {
        device->makeCurrent();
        const RECT& area = level.lockedRect;
        renderer::writeTexture(device->renderer, name, index, area.left, area.top,
                               area.right - area.left, area.bottom - area.top, level.width,
                               level.pixels.data() +
                                   (size_t(area.top) * level.width + area.left) * 4);
    }
    std::vector<uint8_t>().swap(level.pixels);
    return D3D_OK;
}

// Surfaces.

HRESULT Device::CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                            IDirect3DSurface9** result, HANDLE* shared) {
    if (result == nullptr)
        return D3DERR_INVALIDCALL;
    *result = nullptr;
    if (width == 0 || height == 0 || shared != nullptr || !supportedPixelFormat(format) ||
        pool == D3DPOOL_MANAGED || pool > D3DPOOL_SCRATCH)
        return D3DERR_INVALIDCALL;
    Surface* surface = new Surface();
    surface->kind = Surface::Kind::offscreen;
    surface->life.device = this;
    surface->desc = {format, D3DRTYPE_SURFACE, 0, pool, D3DMULTISAMPLE_NONE, 0, width, height};
    surface->pixels.assign(size_t(width) * height * bytesPerPixel, 0);
    AddRef();
    *result = surface;
    return D3D_OK;
}

HRESULT Surface::QueryInterface(REFIID riid, void** object) {
    return queryResource<IDirect3DSurface9>(this, riid, object, IID_IDirect3DSurface9,
                                            IID_IDirect3DSurface9);
}

ULONG Surface::AddRef() {
    switch (kind) {
    case Kind::textureLevel:
        return container->AddRef();
    case Kind::backBuffer:
        return life.device->AddRef();
    case Kind::offscreen:
        break;
    }
    return ++life.refs;
}

ULONG Surface::Release() {
    switch (kind) {
    case Kind::textureLevel:
        return container->Release();
    case Kind::backBuffer:
        return life.device->Release();
    case Kind::offscreen:
        break;
    }
    ULONG left = --life.refs;
    if (left == 0) {
        Device* device = life.device;
        delete this;
        device->Release();
    }
    return left;
}

HRESULT Surface::GetDevice(IDirect3DDevice9** device) {
    return giveDevice(kind == Kind::textureLevel ? container->life.device : life.device, device);
}

D3DRESOURCETYPE Surface::GetType() {
    return D3DRTYPE_SURFACE;
}

HRESULT Surface::GetDesc(D3DSURFACE_DESC* result) {
    if (result == nullptr)
        return D3DERR_INVALIDCALL;
    *result = desc;
    return D3D_OK;
}

HRESULT Surface::LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) {
    switch (kind) {
    case Kind::textureLevel:
        return container->LockRect(level, lockedRect, rect, flags);
    case Kind::backBuffer:
        return D3DERR_INVALIDCALL; // the back buffer is not lockable
    case Kind::offscreen:
        break;
    }
    RECT area;
    if (lockedRect == nullptr || locked || !lockArea(rect, desc.Width, desc.Height, area))
        return D3DERR_INVALIDCALL;
    const UINT pitch = desc.Width * bytesPerPixel;
    lockedRect->Pitch = INT(pitch);
    lockedRect->pBits = pixels.data() + size_t(area.top) * pitch + size_t(area.left) * 4;
    locked = true;
    return D3D_OK;
}

HRESULT Surface::UnlockRect() {
    switch (kind) {
    case Kind::textureLevel:
        return container->UnlockRect(level);
    case Kind::backBuffer:
        return D3DERR_INVALIDCALL;
    case Kind::offscreen:
        break;
    }
    if (!locked)
        return D3DERR_INVALIDCALL;
    locked = false;
    return D3D_OK;
}

// Vertex and index buffers.

HRESULT BufferStore::lock(UINT offset, UINT size, void** data, DWORD flags) {
    if (data == nullptr)
        return D3DERR_INVALIDCALL;
    *data = nullptr;
    const UINT total = UINT(bytes.size());
    if (offset > total)
        return D3DERR_INVALIDCALL;
    if (size == 0)
        size = total - offset;
    if (size > total - offset)
        return D3DERR_INVALIDCALL;
    *data = bytes.data() + offset;
    if ((flags & D3DLOCK_READONLY) == 0) {
        if (dirtyBegin == dirtyEnd) {
            dirtyBegin = offset;
            dirtyEnd = offset + size;
        } else {
            dirtyBegin = std::min(dirtyBegin, offset);
            dirtyEnd = std::max(dirtyEnd, offset + size);
        }
    }
    ++lockCount;
    return D3D_OK;
}

HRESULT BufferStore::unlock(Device* device) {
    if (lockCount == 0)
        return D3DERR_INVALIDCALL;
    if (--lockCount != 0 || dirtyBegin == dirtyEnd)
        return D3D_OK;
    if (device->windowAlive()) {
        device->makeCurrent();
        renderer::writeBuffer(device->renderer, name, dirtyBegin, dirtyEnd - dirtyBegin,
                              bytes.data() + dirtyBegin);
    }
    dirtyBegin = dirtyEnd = 0;
    return D3D_OK;
}

namespace {

void createStore(Device* device, BufferStore& store, renderer::BufferKind kind, UINT length,
                 DWORD usage) {
    store.bytes.assign(length, 0);
    store.name = renderer::createBuffer(device->renderer, kind, length,
                                        (usage & D3DUSAGE_DYNAMIC) != 0, store.bytes.data());
}

void deleteStore(Device* device, BufferStore& store) {
    if (!device->windowAlive())
        return;
    device->makeCurrent();
    renderer::destroyBuffer(device->renderer, store.name);
}

} // namespace

HRESULT Device::CreateVertexBuffer(UINT length, DWORD usage, DWORD format, D3DPOOL pool,
                                   IDirect3DVertexBuffer9** result, HANDLE* shared) {
    if (result == nullptr)
        return D3DERR_INVALIDCALL;
    *result = nullptr;
    if (length == 0 || shared != nullptr || pool >= D3DPOOL_SCRATCH)
        return D3DERR_INVALIDCALL;
    makeCurrent();
    VertexBuffer* buffer = new VertexBuffer();
    buffer->life.device = this;
    buffer->desc = {D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, usage, pool, length, format};
    createStore(this, buffer->store, renderer::BufferKind::vertices, length, usage);
    AddRef();
    *result = buffer;
    return D3D_OK;
}

void VertexBuffer::destroy() {
    deleteStore(life.device, store);
    delete this;
}

HRESULT VertexBuffer::QueryInterface(REFIID riid, void** object) {
    return queryResource<IDirect3DVertexBuffer9>(this, riid, object, IID_IDirect3DVertexBuffer9,
                                                 IID_IDirect3DVertexBuffer9);
}

ULONG VertexBuffer::AddRef() {
    return ++life.refs;
}
ULONG VertexBuffer::Release() {
    return releaseResource(this);
}
HRESULT VertexBuffer::GetDevice(IDirect3DDevice9** device) {
    return giveDevice(life.device, device);
}
D3DRESOURCETYPE VertexBuffer::GetType() {
    return D3DRTYPE_VERTEXBUFFER;
}

HRESULT VertexBuffer::Lock(UINT offset, UINT size, void** data, DWORD flags) {
    return store.lock(offset, size, data, flags);
}

HRESULT VertexBuffer::Unlock() {
    return store.unlock(life.device);
}

HRESULT VertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* result) {
    if (result == nullptr)
        return D3DERR_INVALIDCALL;
    *result = desc;
    return D3D_OK;
}

HRESULT Device::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DIndexBuffer9** result, HANDLE* shared) {
    if (result == nullptr)
        return D3DERR_INVALIDCALL;
    *result = nullptr;
    if (length == 0 || shared != nullptr || pool >= D3DPOOL_SCRATCH ||
        (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32))
        return D3DERR_INVALIDCALL;
    makeCurrent();
    IndexBuffer* buffer = new IndexBuffer();
    buffer->life.device = this;
    buffer->desc = {format, D3DRTYPE_INDEXBUFFER, usage, pool, length};
    createStore(this, buffer->store, renderer::BufferKind::indices, length, usage);
    AddRef();
    *result = buffer;
    return D3D_OK;
}

void IndexBuffer::destroy() {
    deleteStore(life.device, store);
    delete this;
}

HRESULT IndexBuffer::QueryInterface(REFIID riid, void** object) {
    return queryResource<IDirect3DIndexBuffer9>(this, riid, object, IID_IDirect3DIndexBuffer9,
                                                IID_IDirect3DIndexBuffer9);
}

ULONG IndexBuffer::AddRef() {
    return ++life.refs;
}
ULONG IndexBuffer::Release() {
    return releaseResource(this);
}
HRESULT IndexBuffer::GetDevice(IDirect3DDevice9** device) {
    return giveDevice(life.device, device);
}
D3DRESOURCETYPE IndexBuffer::GetType() {
    return D3DRTYPE_INDEXBUFFER;
}

HRESULT IndexBuffer::Lock(UINT offset, UINT size, void** data, DWORD flags) {
    if ((flags & D3DLOCK_READONLY) == 0)
        largestKnown = false;
    return store.lock(offset, size, data, flags);
}

HRESULT IndexBuffer::Unlock() {
    return store.unlock(life.device);
}

HRESULT IndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* result) {
    if (result == nullptr)
        return D3DERR_INVALIDCALL;
    *result = desc;
    return D3D_OK;
}

} // namespace d3d9
