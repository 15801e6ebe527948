// Mesh models and placed objects: loading, unloadable files, too many materials, and the
// world transform and textures of a draw.
#include <string>

#include "graphics/mesh_model.h"
#include "graphics/placed_object.h"
#include "graphics/texture_cache.h"
#include "support/app_device_fixture.h"
#include "support/scene_setup.h"

namespace {

// A mesh of four triangles, one per material: the first and third material name the same
// texture, the second names none, the fourth names its own.
const char fourMaterialMesh[] = R"(xof 0303txt 0032

Mesh Quad {
 12;
 0;0;0;, 1;0;0;, 0;0;1;,
 2;0;0;, 3;0;0;, 2;0;1;,
 4;0;0;, 5;0;0;, 4;0;1;,
 6;0;0;, 7;0;0;, 6;0;1;;
 4;
 3;0,2,1;, 3;3,5,4;, 3;6,8,7;, 3;9,11,10;;
 MeshTextureCoords {
  12;
  0;0;, 1;0;, 0;1;, 0;0;, 1;0;, 0;1;, 0;0;, 1;0;, 0;1;, 0;0;, 1;0;, 0;1;;
 }
 MeshMaterialList {
  4;
  4;
  0, 1, 2, 3;
  Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { "quad_a.bmp"; } }
  Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; }
  Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { "quad_a.bmp"; } }
  Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { "quad_b.bmp"; } }
 }
}
)";

class MeshModelTest : public AppDeviceTest {
protected:
    void TearDown() override {
        model.release();
        // The scene's cache holds textures of this test's device: empty it with the device.
        textureCache.release();
        AppDeviceTest::TearDown();
    }

    D3DMATRIX worldAfterDrawing(double x, double z, double heading) {
        PlacedObject object{&model, x, z, heading};
        appState.graphicsDevice->BeginScene();
        drawPlacedObject(object);
        appState.graphicsDevice->EndScene();
        D3DMATRIX world = {};
        appState.graphicsDevice->GetTransform(D3DTS_WORLD, &world);
        return world;
    }

    // Draws the model over a marked world transform, which stays as it was when nothing of the
    // model is drawn.
    void expectNothingDrawn() {
        D3DMATRIX marker = {};
        marker._11 = marker._22 = marker._33 = marker._44 = 2.0f;
        appState.graphicsDevice->SetTransform(D3DTS_WORLD, &marker);
        D3DMATRIX world = worldAfterDrawing(100.0, 200.0, 1.0);
        EXPECT_EQ(world._11, 2.0f);
        EXPECT_EQ(world._41, 0.0f);
    }

    IDirect3DBaseTexture9* textureAfterDrawing() {
        worldAfterDrawing(0.0, 0.0, 0.0);
        IDirect3DBaseTexture9* texture = nullptr;
        appState.graphicsDevice->GetTexture(0, &texture);
        if (texture != nullptr) {
            texture->Release();
        }
        return texture;
    }

    MeshModel model;
};

} // namespace

TEST_F(MeshModelTest, SceneMeshLoadsWithItsTextures) {
    model.load("SegStraight.X");
    ASSERT_NE(model.mesh, nullptr);
    ASSERT_NE(model.materials, nullptr);
    ASSERT_GE(model.materialCount, 1u);
    ASSERT_LE(model.materialCount, 3u);
    for (DWORD i = 0; i < model.materialCount; ++i) {
        EXPECT_GE(model.textureIndex[i], 0) << i;
        EXPECT_LT(model.textureIndex[i], textureCache.count) << i;
    }

    // Another model naming the same textures shares their entries.
    INT count = textureCache.count;
    MeshModel again;
    again.load("SegStraight.X");
    EXPECT_EQ(textureCache.count, count);
    EXPECT_EQ(again.textureIndex[0], model.textureIndex[0]);
    again.release();
}

TEST_F(MeshModelTest, ReleasedModelHoldsNothingAndDrawsNothing) {
    ULONG before = deviceReferences();
    model.load("SegStraight.X");
    ASSERT_NE(model.mesh, nullptr);
    textureCache.release(); // only the mesh's own references are left
    ASSERT_GT(deviceReferences(), before);

    model.release();
    EXPECT_EQ(model.mesh, nullptr);
    EXPECT_EQ(model.materials, nullptr);
    EXPECT_EQ(model.materialCount, 0u);
    EXPECT_EQ(deviceReferences(), before);
    model.release();
    EXPECT_EQ(deviceReferences(), before);

    expectNothingDrawn();
}

TEST_F(MeshModelTest, PlacingTurnsTheModelToItsHeading) {
    model.load("SegStraight.X");
    ASSERT_NE(model.mesh, nullptr);

    D3DMATRIX world = worldAfterDrawing(100.0, 200.0, 1.5707963705062866);
    // Row-vector convention: the first row is where the model's +x goes, the last the origin.
    EXPECT_NEAR(world._11, 0.0f, 1e-6f);
    EXPECT_NEAR(world._12, 0.0f, 1e-6f);
    EXPECT_NEAR(world._13, 1.0f, 1e-6f);
    EXPECT_NEAR(world._31, -1.0f, 1e-6f);
    EXPECT_NEAR(world._33, 0.0f, 1e-6f);
    EXPECT_EQ(world._22, 1.0f);
    EXPECT_EQ(world._41, 100.0f);
    EXPECT_EQ(world._42, 0.0f);
    EXPECT_EQ(world._43, 200.0f);

    world = worldAfterDrawing(-5.0, 7.0, 0.0);
    EXPECT_EQ(world._11, 1.0f);
    EXPECT_EQ(world._13, 0.0f);
    EXPECT_EQ(world._33, 1.0f);
    EXPECT_EQ(world._41, -5.0f);
    EXPECT_EQ(world._43, 7.0f);
}

TEST_F(MeshModelTest, NothingIsDrawnWithoutADeviceOrAModel) {
    model.load("SegStraight.X");
    ASSERT_NE(model.mesh, nullptr);
    D3DMATRIX marker = {};
    marker._11 = marker._22 = marker._33 = marker._44 = 2.0f;
    appState.graphicsDevice->SetTransform(D3DTS_WORLD, &marker);

    // After the device is released a draw does nothing, with a model or without one.
    IDirect3DDevice9* device = appState.graphicsDevice;
    appState.graphicsDevice = nullptr;
    drawPlacedObject(PlacedObject{&model, 100.0, 200.0, 1.0});
    drawPlacedObject(PlacedObject{nullptr, 100.0, 200.0, 1.0});
    appState.graphicsDevice = device;
    // An object without a model draws nothing on the device.
    PlacedObject empty{nullptr, 100.0, 200.0, 1.0};
    appState.graphicsDevice->BeginScene();
    drawPlacedObject(empty);
    appState.graphicsDevice->EndScene();

    D3DMATRIX world = {};
    appState.graphicsDevice->GetTransform(D3DTS_WORLD, &world);
    EXPECT_EQ(world._11, 2.0f);
    EXPECT_EQ(world._41, 0.0f);
}

TEST_F(MeshModelTest, UnloadableMeshIsReportedOnceAndDrawsNothing) {
    ::testing::internal::CaptureStderr();
    model.load("NoSuchMesh.X");
    std::string report = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(model.mesh, nullptr);
    EXPECT_EQ(model.materials, nullptr);
    EXPECT_EQ(model.materialCount, 0u);
    EXPECT_EQ(report, "Cannot load mesh meshes\\NoSuchMesh.X\n");

    expectNothingDrawn();

    // A name too long for the path is a file that cannot be opened; a model that held a mesh
    // before is left empty, not with the old mesh.
    MeshModel loaded;
    loaded.load("SegStraight.X");
    ASSERT_NE(loaded.mesh, nullptr);
    ID3DXMesh* oldMesh = loaded.mesh;
    ID3DXBuffer* oldMaterials = loaded.materials;
    std::string longName = std::string(300, 'm') + ".X";
    ::testing::internal::CaptureStderr();
    loaded.load(longName.c_str());
    report = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(loaded.mesh, nullptr);
    EXPECT_EQ(loaded.materials, nullptr);
    EXPECT_EQ(loaded.materialCount, 0u);
    EXPECT_EQ(report, "Cannot load mesh meshes\\" + longName + ": path too long\n");
    oldMesh->Release();
    oldMaterials->Release();
}

TEST_F(MeshModelTest, OnlyTheFirstThreeMaterialsAreKept) {
    useTemporaryFolder();
    writeBitmap("quad_a.bmp", 4);
    writeBitmap("quad_b.bmp", 8);
    FILE* file = std::fopen("meshes/Quad.X", "wb");
    ASSERT_NE(file, nullptr);
    std::fputs(fourMaterialMesh, file);
    std::fclose(file);

    // Another texture first, so that the cache holds more than one entry.
    INT other = -1;
    ASSERT_TRUE(textureCache.findOrLoad("quad_b.bmp", other));
    model.textureIndex[1] = 5;
    model.load("Quad.X");
    ASSERT_NE(model.mesh, nullptr);
    EXPECT_EQ(model.materialCount, 3u);
    EXPECT_EQ(model.textureIndex[0], 1);
    EXPECT_EQ(model.textureIndex[1], noTexture);
    EXPECT_EQ(model.textureIndex[2], 1);
    // The fourth material's texture was never loaded.
    EXPECT_EQ(textureCache.count, 2);

    // The last subset drawn is the third, with the shared texture.
    EXPECT_EQ(textureAfterDrawing(), textureCache.textureAt(1));
    // A subset whose index names no entry is drawn untextured.
    model.textureIndex[2] = 99;
    EXPECT_EQ(textureAfterDrawing(), nullptr);
    model.textureIndex[2] = noTexture;
    EXPECT_EQ(textureAfterDrawing(), nullptr);
}
