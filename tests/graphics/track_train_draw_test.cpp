// Drawing the track and the train: how many objects are drawn, in which order and where,
// seen through a recording mesh that notes the device's world transform at each draw.
#include <gtest/gtest.h>

#include <vector>

#include "support/app_device_fixture.h"
#include "support/scene_setup.h"

namespace {

struct Draw {
    const ID3DXMesh* mesh;
    float x;
    float z;
};

std::vector<Draw> draws;

// A mesh of one subset that records each draw; every other call does nothing.
struct RecordingMesh final : ID3DXMesh {
    HRESULT QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT DrawSubset(DWORD) override {
        D3DMATRIX world = {};
        appState.graphicsDevice->GetTransform(D3DTS_WORLD, &world);
        draws.push_back({this, world._41, world._43});
        return S_OK;
    }
    DWORD GetNumFaces() override { return 0; }
    DWORD GetNumVertices() override { return 0; }
    DWORD GetFVF() override { return 0; }
    DWORD GetNumBytesPerVertex() override { return 0; }
    DWORD GetOptions() override { return 0; }
    HRESULT GetDevice(LPDIRECT3DDEVICE9*) override { return E_NOTIMPL; }
    HRESULT GetVertexBuffer(LPDIRECT3DVERTEXBUFFER9*) override { return E_NOTIMPL; }
    HRESULT GetIndexBuffer(LPDIRECT3DINDEXBUFFER9*) override { return E_NOTIMPL; }
    HRESULT LockVertexBuffer(DWORD, LPVOID*) override { return E_NOTIMPL; }
    HRESULT UnlockVertexBuffer() override { return E_NOTIMPL; }
    HRESULT LockIndexBuffer(DWORD, LPVOID*) override { return E_NOTIMPL; }
    HRESULT UnlockIndexBuffer() override { return E_NOTIMPL; }
    HRESULT GetAttributeTable(D3DXATTRIBUTERANGE*, DWORD*) override { return E_NOTIMPL; }
    HRESULT LockAttributeBuffer(DWORD, DWORD**) override { return E_NOTIMPL; }
    HRESULT UnlockAttributeBuffer() override { return E_NOTIMPL; }
};

// The scene's types, each showing a recording mesh of its own while the test runs.
class SceneDrawing : public AppDeviceTest {
protected:
    void SetUp() override {
        AppDeviceTest::SetUp();
        ensureSceneTypes();
        train.clear();
        appState.passengerTrain = false;
        for (int k = 0; k < 6; ++k) {
            saved[k] = *models[k];
            models[k]->mesh = &meshes[k];
            models[k]->materialCount = 1;
        }
        draws.clear();
    }
    void TearDown() override {
        train.clear();
        appState.passengerTrain = false;
        for (int k = 0; k < 6; ++k) {
            *models[k] = saved[k];
        }
        AppDeviceTest::TearDown();
    }

    // Checks that draw i shows object with its mesh at its place.
    static void expectDraw(size_t i, const PlacedObject& object, const ID3DXMesh* mesh) {
        ASSERT_LT(i, draws.size());
        EXPECT_EQ(draws[i].mesh, mesh) << i;
        EXPECT_EQ(draws[i].x, static_cast<float>(object.x)) << i;
        EXPECT_EQ(draws[i].z, static_cast<float>(object.z)) << i;
    }

    MeshModel* const models[6] = {&straightType, &leftTurnType, &truckType,
                                  &goodsCarType, &tankCarType,  &passengerCarType};
    MeshModel saved[6];
    RecordingMesh meshes[6];
};

} // namespace

TEST_F(SceneDrawing, TrackDrawsItsSegmentsInOrder) {
    track.draw();
    ASSERT_EQ(draws.size(), 8u);
    const ID3DXMesh* kinds[] = {&meshes[0], &meshes[0], &meshes[1], &meshes[1],
                                &meshes[0], &meshes[0], &meshes[1], &meshes[1]};
    for (int i = 0; i < 8; ++i) {
        expectDraw(i, *track.segments[i], kinds[i]);
    }
    Track empty;
    draws.clear();
    empty.draw();
    EXPECT_TRUE(draws.empty());
}

TEST_F(SceneDrawing, TrainDrawsBogiesThenBodyCarByCar) {
    train.draw();
    EXPECT_TRUE(draws.empty());

    buildConsist();
    train.place(20000.0, false);
    train.draw();
    ASSERT_EQ(draws.size(), 30u);
    for (int k = 0; k < 10; ++k) {
        const Car& car = *train.cars[k];
        const ID3DXMesh* body = car.carType == &goodsCarType ? &meshes[3] : &meshes[4];
        expectDraw(3 * k, *car.frontBogie, &meshes[2]);
        expectDraw(3 * k + 1, *car.rearBogie, &meshes[2]);
        expectDraw(3 * k + 2, car, body);
    }

    train.clear();
    appState.passengerTrain = true;
    buildConsist();
    train.place(20000.0, false);
    draws.clear();
    train.draw();
    ASSERT_EQ(draws.size(), 12u);
    for (int k = 0; k < 4; ++k) {
        const Car& car = *train.cars[k];
        expectDraw(3 * k, *car.frontBogie, &meshes[2]);
        expectDraw(3 * k + 1, *car.rearBogie, &meshes[2]);
        expectDraw(3 * k + 2, car, &meshes[5]);
    }
}
