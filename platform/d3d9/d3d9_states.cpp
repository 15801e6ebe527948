// d3d9_states.cpp: the device's Direct3D state with its documented defaults: render, sampler and
// texture stage states, transforms, lights, material, bound textures, vertex format, stream and
// indices. Setters record the value and mark what the next draw must rebuild
// (d3d9_draw_state.cpp); getters report what was set.
#include "d3d9_internal.h"

#include <cstring>

namespace d3d9 {
namespace {

// The float's bits as they are (copied: Emscripten's C++ library has no std::bit_cast).
DWORD floatBits(float value) {
    static_assert(sizeof(DWORD) == sizeof(float));
    DWORD bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

D3DMATRIX identity() {
    D3DMATRIX m = {};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

bool validTransform(DWORD state) {
    return state == D3DTS_VIEW || state == D3DTS_PROJECTION ||
           (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) ||
           (state >= 256 && state < transformCount);
}

} // namespace

void Device::setDefaultStates() {
    DWORD* rs = renderStates.data();
    rs[D3DRS_ZENABLE] = presentation.EnableAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
    rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
    rs[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    rs[D3DRS_ZWRITEENABLE] = TRUE;
    rs[D3DRS_ALPHATESTENABLE] = FALSE;
    rs[D3DRS_LASTPIXEL] = TRUE;
    rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    rs[D3DRS_CULLMODE] = D3DCULL_CCW;
    rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    rs[D3DRS_ALPHAREF] = 0;
    rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_FOGSTART] = floatBits(0.0f);
    rs[D3DRS_FOGEND] = floatBits(1.0f);
    rs[D3DRS_FOGDENSITY] = floatBits(1.0f);
    rs[D3DRS_STENCILFAIL] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILZFAIL] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_STENCILMASK] = 0xffffffff;
    rs[D3DRS_STENCILWRITEMASK] = 0xffffffff;
    rs[D3DRS_TEXTUREFACTOR] = 0xffffffff;
    rs[D3DRS_CLIPPING] = TRUE;
    rs[D3DRS_LIGHTING] = TRUE;
    rs[D3DRS_COLORVERTEX] = TRUE;
    rs[D3DRS_LOCALVIEWER] = TRUE;
    rs[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
    rs[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
    rs[D3DRS_AMBIENTMATERIALSOURCE] = D3DMCS_MATERIAL;
    rs[D3DRS_EMISSIVEMATERIALSOURCE] = D3DMCS_MATERIAL;
    rs[D3DRS_POINTSIZE] = floatBits(1.0f);
    rs[D3DRS_POINTSIZE_MIN] = floatBits(1.0f);
    rs[D3DRS_POINTSIZE_MAX] = floatBits(64.0f);
    rs[D3DRS_MULTISAMPLEANTIALIAS] = TRUE;
    rs[D3DRS_MULTISAMPLEMASK] = 0xffffffff;
    rs[D3DRS_COLORWRITEENABLE] = 0x0000000f;
    rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
    rs[D3DRS_BLENDFACTOR] = 0xffffffff;
    rs[D3DRS_SRCBLENDALPHA] = D3DBLEND_ONE;
    rs[D3DRS_DESTBLENDALPHA] = D3DBLEND_ZERO;
    rs[D3DRS_BLENDOPALPHA] = D3DBLENDOP_ADD;
    setupDirty = true;

    for (auto& sampler : samplerStates) {
        sampler = {};
        sampler[D3DSAMP_ADDRESSU] = D3DTADDRESS_WRAP;
        sampler[D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP;
        sampler[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
        sampler[D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
        sampler[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
        sampler[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
        sampler[D3DSAMP_MAXANISOTROPY] = 1;
    }

    for (DWORD stage = 0; stage < stageCount; ++stage) {
        auto& s = stageStates[stage];
        s = {};
        s[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        s[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        s[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        s[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        s[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        s[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        s[D3DTSS_TEXCOORDINDEX] = stage;
        s[D3DTSS_COLORARG0] = D3DTA_CURRENT;
        s[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
        s[D3DTSS_RESULTARG] = D3DTA_CURRENT;
    }

    transforms.assign(transformCount, identity());
    viewport = {0, 0, backBuffer.desc.Width, backBuffer.desc.Height, 0.0f, 1.0f};
    scissor = {0, 0, LONG(backBuffer.desc.Width), LONG(backBuffer.desc.Height)};
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    if (DWORD(state) >= renderStateCount)
        return D3DERR_INVALIDCALL;
    if (renderStates[state] != value) {
        renderStates[state] = value;
        setupDirty = true;
        if (state == D3DRS_AMBIENT)
            lightingDirty = true;
    }
    return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    if (value == nullptr || DWORD(state) >= renderStateCount)
        return D3DERR_INVALIDCALL;
    *value = renderStates[state];
    return D3D_OK;
}

HRESULT Device::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
    if (sampler >= samplerCount || DWORD(type) >= samplerStateCount)
        return D3DERR_INVALIDCALL;
    if (samplerStates[sampler][type] != value) {
        samplerStates[sampler][type] = value;
        setupDirty = true;
    }
    return D3D_OK;
}

HRESULT Device::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) {
    if (value == nullptr || sampler >= samplerCount || DWORD(type) >= samplerStateCount)
        return D3DERR_INVALIDCALL;
    *value = samplerStates[sampler][type];
    return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    if (stage >= stageCount || DWORD(type) >= stageStateCount)
        return D3DERR_INVALIDCALL;
    if (stageStates[stage][type] != value) {
        stageStates[stage][type] = value;
        setupDirty = true;
    }
    return D3D_OK;
}

HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
    if (value == nullptr || stage >= stageCount || DWORD(type) >= stageStateCount)
        return D3DERR_INVALIDCALL;
    *value = stageStates[stage][type];
    return D3D_OK;
}

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    if (matrix == nullptr || !validTransform(state))
        return D3DERR_INVALIDCALL;
    transforms[state] = *matrix;
    transformsDirty = true;
    // Lights are given in world space and follow the view.
    if (state == D3DTS_VIEW)
        lightingDirty = true;
    return D3D_OK;
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    if (matrix == nullptr || !validTransform(state))
        return D3DERR_INVALIDCALL;
    *matrix = transforms[state];
    return D3D_OK;
}

HRESULT Device::SetMaterial(const D3DMATERIAL9* value) {
    if (value == nullptr)
        return D3DERR_INVALIDCALL;
    material = *value;
    lightingDirty = true;
    return D3D_OK;
}

HRESULT Device::GetMaterial(D3DMATERIAL9* value) {
    if (value == nullptr)
        return D3DERR_INVALIDCALL;
    *value = material;
    return D3D_OK;
}

HRESULT Device::SetLight(DWORD index, const D3DLIGHT9* light) {
    if (light == nullptr || index >= lightCapacity)
        return D3DERR_INVALIDCALL;
    if (light->Type < D3DLIGHT_POINT || light->Type > D3DLIGHT_DIRECTIONAL)
        return D3DERR_INVALIDCALL;
    lights[index].light = *light;
    lights[index].defined = true;
    lightingDirty = true;
    setupDirty = true;
    return D3D_OK;
}

HRESULT Device::GetLight(DWORD index, D3DLIGHT9* light) {
    if (light == nullptr || index >= lightCapacity || !lights[index].defined)
        return D3DERR_INVALIDCALL;
    *light = lights[index].light;
    return D3D_OK;
}

HRESULT Device::LightEnable(DWORD index, BOOL enable) {
    if (index >= lightCapacity)
        return D3DERR_INVALIDCALL;
    LightSlot& slot = lights[index];
    // Enabling a light that was never set gives it the default: white, shining along +z.
    if (!slot.defined) {
        slot.light = {};
        slot.light.Type = D3DLIGHT_DIRECTIONAL;
        slot.light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
        slot.light.Direction = {0.0f, 0.0f, 1.0f};
        slot.defined = true;
    }
    slot.enabled = enable != FALSE;
    lightingDirty = true;
    setupDirty = true;
    return D3D_OK;
}

HRESULT Device::GetLightEnable(DWORD index, BOOL* enable) {
    if (enable == nullptr || index >= lightCapacity || !lights[index].defined)
        return D3DERR_INVALIDCALL;
    *enable = lights[index].enabled ? TRUE : FALSE;
    return D3D_OK;
}

HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
    if (stage >= samplerCount)
        return D3DERR_INVALIDCALL;
    Texture* next = static_cast<Texture*>(texture);
    if (next != nullptr && next->life.device != this)
        return D3DERR_INVALIDCALL;
    Texture* previous = textures[stage];
    if (previous == next)
        return D3D_OK;
    bind(next);
    textures[stage] = next;
    unbind(previous);
    if (stage == 0) {
        setup.texture = next != nullptr ? next->name : 0;
        // Another texture in place of one keeps the program: only a texture's presence does not.
        if (previous == nullptr || next == nullptr)
            setupDirty = true;
    }
    return D3D_OK;
}

HRESULT Device::GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) {
    if (texture == nullptr || stage >= samplerCount)
        return D3DERR_INVALIDCALL;
    *texture = textures[stage];
    if (textures[stage] != nullptr)
        textures[stage]->AddRef();
    return D3D_OK;
}

HRESULT Device::SetFVF(DWORD value) {
    if (fvf != value) {
        fvf = value;
        setupDirty = true;
    }
    return D3D_OK;
}

HRESULT Device::GetFVF(DWORD* value) {
    if (value == nullptr)
        return D3DERR_INVALIDCALL;
    *value = fvf;
    return D3D_OK;
}

HRESULT Device::SetStreamSource(UINT index, IDirect3DVertexBuffer9* buffer, UINT offset,
                                UINT stride) {
    if (index != 0)
        return D3DERR_INVALIDCALL;
    VertexBuffer* next = static_cast<VertexBuffer*>(buffer);
    if (next != nullptr && next->life.device != this)
        return D3DERR_INVALIDCALL;
    if (next != stream) {
        bind(next);
        unbind(stream);
        stream = next;
    }
    streamOffset = offset;
    streamStride = stride;
    return D3D_OK;
}

HRESULT Device::GetStreamSource(UINT index, IDirect3DVertexBuffer9** buffer, UINT* offset,
                                UINT* stride) {
    if (index != 0 || buffer == nullptr || offset == nullptr || stride == nullptr)
        return D3DERR_INVALIDCALL;
    *buffer = stream;
    if (stream != nullptr)
        stream->AddRef();
    *offset = streamOffset;
    *stride = streamStride;
    return D3D_OK;
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer9* buffer) {
    IndexBuffer* next = static_cast<IndexBuffer*>(buffer);
    if (next != nullptr && next->life.device != this)
        return D3DERR_INVALIDCALL;
    if (next != indices) {
        bind(next);
        unbind(indices);
        indices = next;
    }
    return D3D_OK;
}

HRESULT Device::GetIndices(IDirect3DIndexBuffer9** buffer) {
    if (buffer == nullptr)
        return D3DERR_INVALIDCALL;
    *buffer = indices;
    if (indices != nullptr)
        indices->AddRef();
    return D3D_OK;
}

} // namespace d3d9
