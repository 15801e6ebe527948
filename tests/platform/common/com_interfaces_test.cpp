// IUnknown of every kind of object the layer hands out: which interface ids each answers to,
// that every interface of an object shares one reference count and leads back to the same
// IUnknown, what an unknown id or a null out-pointer gives, and that an object whose last
// reference goes through any of its interfaces is gone for good.
#include <windows.h>
#include <d3d9.h>
#include <d3dx9.h>
#include <dinput.h>
#include <dsound.h>

#ifndef _WIN32
#include "platform/dsound/dsound_stats.h"
#endif

#include <gtest/gtest.h>

#include <initializer_list>

#include "support/test_device.h"
#include "support/test_sound.h"

namespace {

// An id no object answers to.
const IID unknownId = {
    0x6d1c0a3e, 0x54f2, 0x4b7a, {0x9e, 0x21, 0x3c, 0x88, 0x0b, 0x5d, 0xa4, 0x17}};

using Ids = std::initializer_list<const IID*>;

// Each answered id gives an interface with one more reference on the object's count, from which
// IUnknown is the object's own; each refused id (and an unknown one) gives null and
// E_NOINTERFACE; a null out-pointer gives E_POINTER. The object's count ends where it began.
void expectAnswers(IUnknown* object, Ids answered, Ids refused = {}) {
    IUnknown* identity = nullptr;
    ASSERT_EQ(object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    ASSERT_NE(identity, nullptr);
    const ULONG held = identity->Release();
    ASSERT_GT(held, 0u);
    for (const IID* iid : answered) {
        void* out = nullptr;
        ASSERT_EQ(object->QueryInterface(*iid, &out), S_OK);
        ASSERT_NE(out, nullptr);
        IUnknown* asked = static_cast<IUnknown*>(out);
        EXPECT_EQ(asked->AddRef(), held + 2);
        EXPECT_EQ(asked->Release(), held + 1);
        IUnknown* back = nullptr;
        ASSERT_EQ(asked->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&back)), S_OK);
        EXPECT_EQ(back, identity);
        EXPECT_EQ(back->Release(), held + 1);
        EXPECT_EQ(asked->Release(), held);
    }
    Ids unknown = {&unknownId};
    for (Ids ids : {refused, unknown})
        for (const IID* iid : ids) {
            void* out = object;
            EXPECT_EQ(object->QueryInterface(*iid, &out), E_NOINTERFACE);
            EXPECT_EQ(out, nullptr);
        }
    EXPECT_EQ(object->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(object->AddRef(), held + 1);
    EXPECT_EQ(object->Release(), held);
}

TEST(ComInterfaces, UtilityBuffer) {
    ID3DXBuffer* buffer = nullptr;
    ASSERT_EQ(D3DXCreateBuffer(16, &buffer), D3D_OK);
    expectAnswers(buffer, {&IID_ID3DXBuffer});
    EXPECT_EQ(buffer->Release(), 0u);
}

TEST(ComInterfaces, DirectInputAndItsDevices) {
    IDirectInput8A* directInput = nullptr;
    ASSERT_EQ(DirectInput8Create(GetModuleHandleA(nullptr), 0x0800, IID_IDirectInput8A,
                                 reinterpret_cast<void**>(&directInput), nullptr),
              DI_OK);
    expectAnswers(directInput, {&IID_IDirectInput8A}, {&IID_IDirectInputDevice8A});
    for (REFGUID kind : {GUID_SysKeyboard, GUID_SysMouse}) {
        IDirectInputDevice8A* device = nullptr;
        ASSERT_EQ(directInput->CreateDevice(kind, &device, nullptr), DI_OK);
        expectAnswers(device, {&IID_IDirectInputDevice8A}, {&IID_IDirectInput8A});
        EXPECT_EQ(device->Release(), 0u);
    }
    EXPECT_EQ(directInput->Release(), 0u);
}

class ComSound : public SoundDeviceTest {
protected:
    IDirectSoundBuffer* makeBuffer(DWORD flags, DWORD bytes) {
        return makeSoundBuffer(device, bytes, flags);
    }
};

TEST_F(ComSound, DeviceAndBuffersAnswerTheirInterfaces) {
    expectAnswers(device, {&IID_IDirectSound8}, {&IID_IDirectSoundBuffer});

    // The 3-D interfaces only on buffers made with 3-D control.
    IDirectSoundBuffer* plain = makeBuffer(DSBCAPS_CTRLVOLUME, 400);
    ASSERT_NE(plain, nullptr);
    expectAnswers(plain, {&IID_IDirectSoundBuffer},
                  {&IID_IDirectSound3DBuffer, &IID_IDirectSound3DListener, &IID_IDirectSound8});
    IDirectSoundBuffer* spatial = makeBuffer(DSBCAPS_CTRL3D, 400);
    ASSERT_NE(spatial, nullptr);
    expectAnswers(spatial, {&IID_IDirectSoundBuffer, &IID_IDirectSound3DBuffer},
                  {&IID_IDirectSound3DListener});
    EXPECT_EQ(plain->Release(), 0u);
    EXPECT_EQ(spatial->Release(), 0u);

    IDirectSoundBuffer* primary = makeBuffer(DSBCAPS_PRIMARYBUFFER, 0);
    ASSERT_NE(primary, nullptr);
    expectAnswers(primary, {&IID_IDirectSoundBuffer},
                  {&IID_IDirectSound3DListener, &IID_IDirectSound3DBuffer});
    EXPECT_EQ(primary->Release(), 0u);
    primary = makeBuffer(DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D, 0);
    ASSERT_NE(primary, nullptr);
    expectAnswers(primary, {&IID_IDirectSoundBuffer, &IID_IDirectSound3DListener},
                  {&IID_IDirectSound3DBuffer});
    EXPECT_EQ(primary->Release(), 0u);
}

// A buffer lives on through its 3-D interface after its buffer interface is released, and
// goes with the last release of either.
TEST_F(ComSound, LastReleaseThroughTheThreeDInterfaceEndsTheObject) {
    IDirectSoundBuffer* buffer = makeBuffer(DSBCAPS_CTRL3D, 400);
    ASSERT_NE(buffer, nullptr);
    IDirectSound3DBuffer8* buffer3D = nullptr;
    ASSERT_EQ(
        buffer->QueryInterface(IID_IDirectSound3DBuffer8, reinterpret_cast<void**>(&buffer3D)),
        DS_OK);
    EXPECT_EQ(buffer->Release(), 1u);
    EXPECT_EQ(buffer3D->SetPosition(1.0f, 2.0f, 3.0f, DS3D_IMMEDIATE), DS_OK);
    D3DVECTOR position{};
    EXPECT_EQ(buffer3D->GetPosition(&position), DS_OK);
    EXPECT_EQ(position.z, 3.0f);
    EXPECT_EQ(buffer3D->Release(), 0u);
#ifndef _WIN32
    EXPECT_EQ(liveSoundSources(), 0);
    EXPECT_EQ(liveSoundSampleBuffers(), 0);
#endif

    // The primary buffer released through its listener is made anew when asked for again.
    IDirectSoundBuffer* primary = makeBuffer(DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D, 0);
    ASSERT_NE(primary, nullptr);
    IDirectSound3DListener8* listener = nullptr;
    ASSERT_EQ(
        primary->QueryInterface(IID_IDirectSound3DListener8, reinterpret_cast<void**>(&listener)),
        DS_OK);
    EXPECT_EQ(primary->Release(), 1u);
    EXPECT_EQ(listener->SetPosition(0.0f, 1.0f, 0.0f, DS3D_IMMEDIATE), DS_OK);
    EXPECT_EQ(listener->Release(), 0u);
    primary = makeBuffer(DSBCAPS_PRIMARYBUFFER, 0);
    ASSERT_NE(primary, nullptr);
    EXPECT_EQ(primary->Release(), 0u);
}

using ComGraphics = SmallDeviceTest;

TEST_F(ComGraphics, DirectThreeDObjectsAnswerTheirInterfaces) {
    expectAnswers(direct3D, {&IID_IDirect3D9}, {&IID_IDirect3DDevice9});
    expectAnswers(device, {&IID_IDirect3DDevice9}, {&IID_IDirect3D9, &IID_IDirect3DResource9});

    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(
        device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
        D3D_OK);
    expectAnswers(texture,
                  {&IID_IDirect3DResource9, &IID_IDirect3DBaseTexture9, &IID_IDirect3DTexture9},
                  {&IID_IDirect3DSurface9});
    EXPECT_EQ(texture->Release(), 0u);

    IDirect3DVertexBuffer9* vertices = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(64, 0, D3DFVF_XYZ, D3DPOOL_MANAGED, &vertices, nullptr),
              D3D_OK);
    expectAnswers(vertices, {&IID_IDirect3DResource9, &IID_IDirect3DVertexBuffer9},
                  {&IID_IDirect3DIndexBuffer9});
    EXPECT_EQ(vertices->Release(), 0u);
}

TEST_F(ComGraphics, UtilityMeshAndFontAnswerTheirInterfaces) {
    ID3DXMesh* mesh = nullptr;
    ASSERT_EQ(D3DXLoadMeshFromXA("meshes/SegStraight.X", D3DXMESH_MANAGED, device, nullptr, nullptr,
                                 nullptr, nullptr, &mesh),
              D3D_OK);
    expectAnswers(mesh, {&IID_ID3DXBaseMesh, &IID_ID3DXMesh}, {&IID_ID3DXBuffer});
    EXPECT_EQ(mesh->Release(), 0u);

    ID3DXFont* font = nullptr;
    ASSERT_EQ(D3DXCreateFontA(device, 16, 0, FW_NORMAL, 1, FALSE, DEFAULT_CHARSET,
                              OUT_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                              "Arial", &font),
              D3D_OK);
    expectAnswers(font, {&IID_ID3DXFont}, {&IID_ID3DXMesh});
    EXPECT_EQ(font->Release(), 0u);
}

} // namespace
