// recording_doubles.h: stand-ins for the device, sound and input interfaces that pass every call on
// to the real object and write the calls the program's order depends on into one journal, so that a
// test can compare the whole sequence with the expected one.
#pragma once

#define DIRECTINPUT_VERSION 0x0800
#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>
#include <dinput.h>
#include <dsound.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

// The calls in the order they were made, one line each ("device.Clear(...)").
inline std::vector<std::string>& journal() {
    static std::vector<std::string> entries; // constructed on first use, even before main
    return entries;
}

inline void record(const char* format, ...) {
    char line[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    journal().push_back(line);
}

// Above 0 while a call into the layer runs on the program's behalf, so that the layer's own
// clock readings (message and key time stamps) stay out of the journal.
inline int& insideLayer() {
    static int depth = 0;
    return depth;
}

struct LayerCall {
    LayerCall() { ++insideLayer(); }
    ~LayerCall() { --insideLayer(); }
    LayerCall(const LayerCall&) = delete;
    LayerCall& operator=(const LayerCall&) = delete;
};

// A forwarding object: owns one reference of `inner` and names itself `name` in the journal.
// Its Release is recorded, so the journal shows exactly who released what and when, and so is
// the end of the real object when that release was its last reference.
template <typename Interface> struct Recorder : Interface {
    Interface* inner;
    std::string name;

    Recorder(Interface* inner, std::string name) : inner(inner), name(std::move(name)) {}
    virtual ~Recorder() = default;

    HRESULT QueryInterface(REFIID riid, void** object) override {
        return inner->QueryInterface(riid, object);
    }
    ULONG AddRef() override { return inner->AddRef(); }
    ULONG Release() override {
        record("%s.Release", name.c_str());
        ULONG remaining = inner->Release();
        if (remaining == 0)
            record("%s destroyed", name.c_str());
        return remaining;
    }
};

// The real object behind a recorder, or the object itself when it is not one.
template <typename Interface> Interface* unwrapped(Interface* object) {
    auto* recorder = dynamic_cast<Recorder<Interface>*>(object);
    return recorder != nullptr ? recorder->inner : object;
}

struct RecordingDevice final : Recorder<IDirect3DDevice9> {
    using Recorder::Recorder;
    // Called before each Clear with the number of frames presented so far, and after each
    // Present with that number (1 for the first frame).
    void (*beforeClear)(int presented) = nullptr;
    void (*afterPresent)(int presented) = nullptr;
    int presents = 0;

    HRESULT TestCooperativeLevel() override { return inner->TestCooperativeLevel(); }
    HRESULT GetDirect3D(IDirect3D9** out) override { return inner->GetDirect3D(out); }
    HRESULT GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* p) override {
        return inner->GetCreationParameters(p);
    }
    HRESULT GetSwapChain(UINT i, IDirect3DSwapChain9** out) override {
        return inner->GetSwapChain(i, out);
    }
    HRESULT Present(const RECT* source, const RECT* target, HWND window,
                    const RGNDATA* dirty) override {
        record("device.Present(%p,%p,%p,%p)", (const void*)source, (const void*)target,
               (void*)window, (const void*)dirty);
        HRESULT result = inner->Present(source, target, window, dirty);
        ++presents;
        if (afterPresent != nullptr)
            afterPresent(presents);
        return result;
    }
    HRESULT GetBackBuffer(UINT c, UINT b, D3DBACKBUFFER_TYPE t, IDirect3DSurface9** out) override {
        return inner->GetBackBuffer(c, b, t, out);
    }
    HRESULT CreateTexture(UINT w, UINT h, UINT l, DWORD u, D3DFORMAT f, D3DPOOL p,
                          IDirect3DTexture9** out, HANDLE* s) override {
        return inner->CreateTexture(w, h, l, u, f, p, out, s);
    }
    HRESULT CreateVertexBuffer(UINT l, DWORD u, DWORD f, D3DPOOL p, IDirect3DVertexBuffer9** out,
                               HANDLE* s) override {
        return inner->CreateVertexBuffer(l, u, f, p, out, s);
    }
    HRESULT CreateIndexBuffer(UINT l, DWORD u, D3DFORMAT f, D3DPOOL p, IDirect3DIndexBuffer9** out,
                              HANDLE* s) override {
        return inner->CreateIndexBuffer(l, u, f, p, out, s);
    }
    HRESULT GetRenderTargetData(IDirect3DSurface9* t, IDirect3DSurface9* d) override {
        return inner->GetRenderTargetData(t, d);
    }
    HRESULT GetFrontBufferData(UINT c, IDirect3DSurface9* d) override {
        return inner->GetFrontBufferData(c, d);
    }
    HRESULT CreateOffscreenPlainSurface(UINT w, UINT h, D3DFORMAT f, D3DPOOL p,
                                        IDirect3DSurface9** out, HANDLE* s) override {
        return inner->CreateOffscreenPlainSurface(w, h, f, p, out, s);
    }
    HRESULT GetRenderTarget(DWORD i, IDirect3DSurface9** out) override {
        return inner->GetRenderTarget(i, out);
    }
    HRESULT BeginScene() override {
        record("device.BeginScene");
        return inner->BeginScene();
    }
    HRESULT EndScene() override {
        record("device.EndScene");
        return inner->EndScene();
    }
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR colour, float z,
                  DWORD stencil) override {
        if (beforeClear != nullptr)
            beforeClear(presents);
        record("device.Clear(%lu,%p,0x%lx,0x%08lx,%g,%lu)", (unsigned long)count,
               (const void*)rects, (unsigned long)flags, (unsigned long)colour, z,
               (unsigned long)stencil);
        return inner->Clear(count, rects, flags, colour, z, stencil);
    }
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* m) override {
        if (state == D3DTS_WORLD)
            record("device.SetTransform(world,x=%g,z=%g)", m->_41, m->_43);
        else
            record("device.SetTransform(%d)", int(state));
        return inner->SetTransform(state, m);
    }
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE s, D3DMATRIX* m) override {
        return inner->GetTransform(s, m);
    }
    HRESULT SetViewport(const D3DVIEWPORT9* v) override { return inner->SetViewport(v); }
    HRESULT GetViewport(D3DVIEWPORT9* v) override { return inner->GetViewport(v); }
    HRESULT SetMaterial(const D3DMATERIAL9* m) override {
        record("device.SetMaterial");
        return inner->SetMaterial(m);
    }
    HRESULT GetMaterial(D3DMATERIAL9* m) override { return inner->GetMaterial(m); }
    HRESULT SetLight(DWORD index, const D3DLIGHT9* light) override {
        record("device.SetLight(%lu)", (unsigned long)index);
        return inner->SetLight(index, light);
    }
    HRESULT GetLight(DWORD i, D3DLIGHT9* l) override { return inner->GetLight(i, l); }
    HRESULT LightEnable(DWORD index, BOOL enable) override {
        record("device.LightEnable(%lu,%d)", (unsigned long)index, int(enable));
        return inner->LightEnable(index, enable);
    }
    HRESULT GetLightEnable(DWORD i, BOOL* e) override { return inner->GetLightEnable(i, e); }
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override {
        record("device.SetRenderState(%d,0x%lx)", int(state), (unsigned long)value);
        return inner->SetRenderState(state, value);
    }
    HRESULT GetRenderState(D3DRENDERSTATETYPE s, DWORD* v) override {
        return inner->GetRenderState(s, v);
    }
    HRESULT GetTexture(DWORD s, IDirect3DBaseTexture9** t) override {
        return inner->GetTexture(s, t);
    }
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override {
        record("device.SetTexture(%lu,%p)", (unsigned long)stage, (void*)texture);
        return inner->SetTexture(stage, texture);
    }
    HRESULT GetTextureStageState(DWORD s, D3DTEXTURESTAGESTATETYPE t, DWORD* v) override {
        return inner->GetTextureStageState(s, t, v);
    }
    HRESULT SetTextureStageState(DWORD s, D3DTEXTURESTAGESTATETYPE t, DWORD v) override {
        record("device.SetTextureStageState(%lu,%d,0x%lx)", (unsigned long)s, int(t),
               (unsigned long)v);
        return inner->SetTextureStageState(s, t, v);
    }
    HRESULT GetSamplerState(DWORD s, D3DSAMPLERSTATETYPE t, DWORD* v) override {
        return inner->GetSamplerState(s, t, v);
    }
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override {
        record("device.SetSamplerState(%lu,%d,%lu)", (unsigned long)sampler, int(type),
               (unsigned long)value);
        return inner->SetSamplerState(sampler, type, value);
    }
    HRESULT SetScissorRect(const RECT* r) override { return inner->SetScissorRect(r); }
    HRESULT GetScissorRect(RECT* r) override { return inner->GetScissorRect(r); }
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE t, UINT s, UINT c) override {
        return inner->DrawPrimitive(t, s, c);
    }
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE t, INT b, UINT m, UINT n, UINT s,
                                 UINT c) override {
        return inner->DrawIndexedPrimitive(t, b, m, n, s, c);
    }
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE t, UINT c, const void* d, UINT s) override {
        return inner->DrawPrimitiveUP(t, c, d, s);
    }
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE t, UINT m, UINT n, UINT c, const void* i,
                                   D3DFORMAT f, const void* d, UINT s) override {
        return inner->DrawIndexedPrimitiveUP(t, m, n, c, i, f, d, s);
    }
    HRESULT SetFVF(DWORD f) override { return inner->SetFVF(f); }
    HRESULT GetFVF(DWORD* f) override { return inner->GetFVF(f); }
    HRESULT SetStreamSource(UINT n, IDirect3DVertexBuffer9* b, UINT o, UINT s) override {
        return inner->SetStreamSource(n, b, o, s);
    }
    HRESULT GetStreamSource(UINT n, IDirect3DVertexBuffer9** b, UINT* o, UINT* s) override {
        return inner->GetStreamSource(n, b, o, s);
    }
    HRESULT SetIndices(IDirect3DIndexBuffer9* i) override { return inner->SetIndices(i); }
    HRESULT GetIndices(IDirect3DIndexBuffer9** i) override { return inner->GetIndices(i); }
};

struct RecordingDirect3D final : Recorder<IDirect3D9> {
    using Recorder::Recorder;
    // Given to every device created through this object.
    void (*beforeClear)(int presented) = nullptr;
    void (*afterPresent)(int presented) = nullptr;

    UINT GetAdapterCount() override { return inner->GetAdapterCount(); }
    HRESULT GetAdapterDisplayMode(UINT a, D3DDISPLAYMODE* m) override {
        return inner->GetAdapterDisplayMode(a, m);
    }
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND window, DWORD flags,
                         D3DPRESENT_PARAMETERS* p, IDirect3DDevice9** out) override {
        record("direct3D.CreateDevice(%u,%d,%p,0x%lx,swap=%d,windowed=%d,depth=%d/%d,"
               "interval=0x%x,size=%ux%u,format=%d,buffers=%u,multisample=%d,window=%p,flags=%lu,"
               "refresh=%u)",
               adapter, int(type), (void*)window, (unsigned long)flags, int(p->SwapEffect),
               int(p->Windowed), int(p->EnableAutoDepthStencil), int(p->AutoDepthStencilFormat),
               p->PresentationInterval, p->BackBufferWidth, p->BackBufferHeight,
               int(p->BackBufferFormat), p->BackBufferCount, int(p->MultiSampleType),
               (void*)p->hDeviceWindow, (unsigned long)p->Flags, p->FullScreen_RefreshRateInHz);
        IDirect3DDevice9* created = nullptr;
        HRESULT result = inner->CreateDevice(adapter, type, window, flags, p, &created);
        *out = nullptr;
        if (SUCCEEDED(result)) {
            auto* device = new RecordingDevice(created, "device");
            device->beforeClear = beforeClear;
            device->afterPresent = afterPresent;
            *out = device;
        }
        return result;
    }
};

struct RecordingFont final : Recorder<ID3DXFont> {
    using Recorder::Recorder;

    HRESULT GetDevice(LPDIRECT3DDEVICE9* d) override { return inner->GetDevice(d); }
    HRESULT GetDescA(D3DXFONT_DESCA* d) override { return inner->GetDescA(d); }
    INT DrawTextA(LPD3DXSPRITE sprite, LPCSTR text, INT count, LPRECT rect, DWORD format,
                  D3DCOLOR colour) override {
        record("font.DrawTextA(%p,\"%.*s\",%d,{%ld,%ld,%ld,%ld},0x%lx,0x%08lx)", (void*)sprite,
               count, text, count, long(rect->left), long(rect->top), long(rect->right),
               long(rect->bottom), (unsigned long)format, (unsigned long)colour);
        return inner->DrawTextA(sprite, text, count, rect, format, colour);
    }
    HRESULT OnLostDevice() override { return inner->OnLostDevice(); }
    HRESULT OnResetDevice() override { return inner->OnResetDevice(); }
};

struct RecordingMesh final : Recorder<ID3DXMesh> {
    using Recorder::Recorder;

    HRESULT DrawSubset(DWORD subset) override {
        record("%s.DrawSubset(%lu)", name.c_str(), (unsigned long)subset);
        return inner->DrawSubset(subset);
    }
    DWORD GetNumFaces() override { return inner->GetNumFaces(); }
    DWORD GetNumVertices() override { return inner->GetNumVertices(); }
    DWORD GetFVF() override { return inner->GetFVF(); }
    DWORD GetNumBytesPerVertex() override { return inner->GetNumBytesPerVertex(); }
    DWORD GetOptions() override { return inner->GetOptions(); }
    HRESULT GetDevice(LPDIRECT3DDEVICE9* d) override { return inner->GetDevice(d); }
    HRESULT GetVertexBuffer(LPDIRECT3DVERTEXBUFFER9* b) override {
        return inner->GetVertexBuffer(b);
    }
    HRESULT GetIndexBuffer(LPDIRECT3DINDEXBUFFER9* b) override { return inner->GetIndexBuffer(b); }
    HRESULT LockVertexBuffer(DWORD f, LPVOID* d) override { return inner->LockVertexBuffer(f, d); }
    HRESULT UnlockVertexBuffer() override { return inner->UnlockVertexBuffer(); }
    HRESULT LockIndexBuffer(DWORD f, LPVOID* d) override { return inner->LockIndexBuffer(f, d); }
    HRESULT UnlockIndexBuffer() override { return inner->UnlockIndexBuffer(); }
    HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* t, DWORD* s) override {
        return inner->GetAttributeTable(t, s);
    }
    HRESULT LockAttributeBuffer(DWORD f, DWORD** d) override {
        return inner->LockAttributeBuffer(f, d);
    }
    HRESULT UnlockAttributeBuffer() override { return inner->UnlockAttributeBuffer(); }
};

struct RecordingListener final : Recorder<IDirectSound3DListener8> {
    using Recorder::Recorder;

    HRESULT GetDistanceFactor(D3DVALUE* f) override { return inner->GetDistanceFactor(f); }
    HRESULT GetDopplerFactor(D3DVALUE* f) override { return inner->GetDopplerFactor(f); }
    HRESULT GetOrientation(D3DVECTOR* f, D3DVECTOR* t) override {
        return inner->GetOrientation(f, t);
    }
    HRESULT GetPosition(D3DVECTOR* p) override { return inner->GetPosition(p); }
    HRESULT GetRolloffFactor(D3DVALUE* f) override { return inner->GetRolloffFactor(f); }
    HRESULT SetDopplerFactor(D3DVALUE f, DWORD apply) override {
        record("listener.SetDopplerFactor(%g,%lu)", f, (unsigned long)apply);
        return inner->SetDopplerFactor(f, apply);
    }
    HRESULT SetOrientation(D3DVALUE xf, D3DVALUE yf, D3DVALUE zf, D3DVALUE xt, D3DVALUE yt,
                           D3DVALUE zt, DWORD apply) override {
        record("listener.SetOrientation(%lu)", (unsigned long)apply);
        return inner->SetOrientation(xf, yf, zf, xt, yt, zt, apply);
    }
    HRESULT SetPosition(D3DVALUE x, D3DVALUE y, D3DVALUE z, DWORD apply) override {
        record("listener.SetPosition(%lu)", (unsigned long)apply);
        return inner->SetPosition(x, y, z, apply);
    }
    HRESULT SetRolloffFactor(D3DVALUE f, DWORD apply) override {
        record("listener.SetRolloffFactor(%g,%lu)", f, (unsigned long)apply);
        return inner->SetRolloffFactor(f, apply);
    }
    HRESULT CommitDeferredSettings() override {
        record("listener.CommitDeferredSettings");
        return inner->CommitDeferredSettings();
    }
};

// While set, buffers give out no listener, as a device without 3-D sound would not.
inline bool& listenerRefused() {
    static bool refused = false;
    return refused;
}

// A sound buffer: the primary buffer, a master sound or a duplicate. Only its Play, its Release
// and the listener it gives out are recorded; the per-frame volume and position calls are not.
struct RecordingBuffer final : Recorder<IDirectSoundBuffer> {
    using Recorder::Recorder;

    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (riid == IID_IDirectSound3DListener8 && listenerRefused()) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        HRESULT result = inner->QueryInterface(riid, object);
        if (SUCCEEDED(result) && riid == IID_IDirectSound3DListener8)
            *object = static_cast<IDirectSound3DListener8*>(
                new RecordingListener(static_cast<IDirectSound3DListener8*>(*object), "listener"));
        return result;
    }
    HRESULT GetCaps(LPDSBCAPS c) override { return inner->GetCaps(c); }
    HRESULT GetCurrentPosition(LPDWORD p, LPDWORD w) override {
        return inner->GetCurrentPosition(p, w);
    }
    HRESULT GetFormat(LPWAVEFORMATEX f, DWORD s, LPDWORD w) override {
        return inner->GetFormat(f, s, w);
    }
    HRESULT GetVolume(LPLONG v) override { return inner->GetVolume(v); }
    HRESULT GetStatus(LPDWORD s) override { return inner->GetStatus(s); }
    HRESULT Lock(DWORD o, DWORD b, LPVOID* p1, LPDWORD b1, LPVOID* p2, LPDWORD b2,
                 DWORD f) override {
        return inner->Lock(o, b, p1, b1, p2, b2, f);
    }
    HRESULT Play(DWORD r, DWORD p, DWORD f) override {
        record("%s.Play(%lu)", name.c_str(), (unsigned long)f);
        return inner->Play(r, p, f);
    }
    HRESULT SetCurrentPosition(DWORD p) override { return inner->SetCurrentPosition(p); }
    HRESULT SetFormat(LPCWAVEFORMATEX f) override { return inner->SetFormat(f); }
    HRESULT SetVolume(LONG v) override { return inner->SetVolume(v); }
    HRESULT Stop() override { return inner->Stop(); }
    HRESULT Unlock(LPVOID p1, DWORD b1, LPVOID p2, DWORD b2) override {
        return inner->Unlock(p1, b1, p2, b2);
    }
};

struct RecordingSound final : Recorder<IDirectSound8> {
    using Recorder::Recorder;

    // Buffers are named for what the program makes of them: the primary buffer, the first and
    // second master sound, and the duplicates.
    HRESULT CreateSoundBuffer(LPCDSBUFFERDESC description, LPDIRECTSOUNDBUFFER* buffer,
                              LPUNKNOWN outer) override {
        bool primary = (description->dwFlags & DSBCAPS_PRIMARYBUFFER) != 0;
        record("sound.CreateSoundBuffer(0x%lx,%lu)", (unsigned long)description->dwFlags,
               (unsigned long)description->dwBufferBytes);
        IDirectSoundBuffer* created = nullptr;
        HRESULT result = inner->CreateSoundBuffer(description, &created, outer);
        *buffer = nullptr;
        if (SUCCEEDED(result)) {
            const char* name = primary ? "primary" : masters++ == 0 ? "clack" : "running";
            *buffer = new RecordingBuffer(created, name);
        }
        return result;
    }
    HRESULT DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER original,
                                 LPDIRECTSOUNDBUFFER* duplicate) override {
        IDirectSoundBuffer* created = nullptr;
        HRESULT result = inner->DuplicateSoundBuffer(unwrapped(original), &created);
        *duplicate = nullptr;
        if (SUCCEEDED(result))
            *duplicate = new RecordingBuffer(created, "copy");
        return result;
    }
    HRESULT SetCooperativeLevel(HWND window, DWORD level) override {
        record("sound.SetCooperativeLevel(%p,%lu)", (void*)window, (unsigned long)level);
        return inner->SetCooperativeLevel(window, level);
    }

    int masters = 0;
};

struct RecordingInputDevice final : Recorder<IDirectInputDevice8A> {
    using Recorder::Recorder;
    // When set, the next GetDeviceData delivers one press of this key instead of the real data.
    DWORD pendingKey = 0;
    // When above 0, the read after this many delivers Escape, so that a program that stopped
    // presenting frames still ends.
    int readsBeforeEscape = 0;
    // When set, SetProperty gives this failure instead of passing the call on.
    HRESULT propertyRefusal = DI_OK;

    HRESULT GetProperty(REFGUID p, LPDIPROPHEADER h) override { return inner->GetProperty(p, h); }
    HRESULT SetProperty(REFGUID p, LPCDIPROPHEADER h) override {
        record("%s.SetProperty", name.c_str());
        return FAILED(propertyRefusal) ? propertyRefusal : inner->SetProperty(p, h);
    }
    HRESULT Acquire() override {
        record("%s.Acquire", name.c_str());
        LayerCall call;
        return inner->Acquire();
    }
    HRESULT Unacquire() override {
        record("%s.Unacquire", name.c_str());
        return inner->Unacquire();
    }
    HRESULT GetDeviceState(DWORD size, LPVOID data) override {
        return inner->GetDeviceState(size, data);
    }
    HRESULT GetDeviceData(DWORD size, LPDIDEVICEOBJECTDATA data, LPDWORD count,
                          DWORD flags) override {
        record("%s.GetDeviceData", name.c_str());
        if (readsBeforeEscape > 0 && --readsBeforeEscape == 0)
            pendingKey = DIK_ESCAPE;
        if (pendingKey != 0 && *count > 0) {
            data[0] = {pendingKey, 0x80, 0, 0, 0};
            *count = 1;
            pendingKey = 0;
            return DI_OK;
        }
        LayerCall call;
        return inner->GetDeviceData(size, data, count, flags);
    }
    HRESULT SetDataFormat(LPCDIDATAFORMAT f) override {
        record("%s.SetDataFormat", name.c_str());
        return inner->SetDataFormat(f);
    }
    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override {
        record("%s.SetCooperativeLevel(%p,%lu)", name.c_str(), (void*)window, (unsigned long)flags);
        return inner->SetCooperativeLevel(window, flags);
    }
};

struct RecordingInput final : Recorder<IDirectInput8A> {
    using Recorder::Recorder;
    RecordingInputDevice* keyboard = nullptr;
    int keyboardReadsBeforeEscape = 0;       // given to the keyboard when it is created
    HRESULT keyboardPropertyRefusal = DI_OK; // likewise

    HRESULT CreateDevice(REFGUID which, LPDIRECTINPUTDEVICE8A* out, LPUNKNOWN outer) override {
        const char* name = which == GUID_SysKeyboard ? "keyboard" : "mouse";
        record("input.CreateDevice(%s)", name);
        IDirectInputDevice8A* created = nullptr;
        HRESULT result = inner->CreateDevice(which, &created, outer);
        *out = nullptr;
        if (SUCCEEDED(result)) {
            auto* device = new RecordingInputDevice(created, name);
            if (which == GUID_SysKeyboard) {
                keyboard = device;
                device->readsBeforeEscape = keyboardReadsBeforeEscape;
                device->propertyRefusal = keyboardPropertyRefusal;
            }
            *out = device;
        }
        return result;
    }
};
