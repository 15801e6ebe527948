// d3dx9_mesh_test.cpp: .X mesh loading read back through the mesh's own buffers: one file
// with two nested frames, two meshes and three materials, written as text and as binary,
// must give the file's coordinates, winding, texture coordinates and material numbering.
// Built for Windows too (tests/windows), where it checks the real APIs under Wine.
#include <windows.h>
#include <d3dx9.h>

#include "support/scratch_folder.h"
#include "support/test_device.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>

namespace {

const char* const textFile = R"(xof 0303txt 0032
Material Wood { 1.0;0.5;0.25;1.0;; 8.0; 0.1;0.2;0.3;; 0.0;0.0;0.4;; TextureFilename { "Wood.PNG"; } }
Material Steel { 0.5;0.5;0.5;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; TextureFilename { "Steel Plate.bmp"; } }
Material Plain { 0.2;0.2;0.2;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }
Frame Body {
 FrameTransformMatrix { 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, 100.0,0.0,0.0,1.0;; }
 Mesh BodyMesh {
  4; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 1.0;1.0;0.0;, 0.0;1.0;0.0;;
  2; 3;0,1,2;, 3;0,2,3;;
  MeshNormals { 1; 0.0;0.0;-1.0;; 2; 3;0,0,0;, 3;0,0,0;; }
  MeshTextureCoords { 4; 0.0;1.0;, 1.0;1.0;, 1.0;0.0;, 0.0;0.0;; }
  MeshMaterialList { 3; 2; 0, 2;; { Wood } { Steel } { Plain } }
 }
 Frame Wheel {
  FrameTransformMatrix { 0.0,0.0,-1.0,0.0, 0.0,1.0,0.0,0.0, 1.0,0.0,0.0,0.0, 0.0,0.0,5.0,1.0;; }
  Mesh WheelMesh {
   3; 0.0;0.0;0.0;, 2.0;0.0;0.0;, 0.0;0.0;3.0;;
   1; 3;0,1,2;;
   MeshNormals { 1; 1.0;0.0;0.0;; 1; 3;0,0,0;; }
   MeshTextureCoords { 3; 0.25;0.75;, 0.5;0.75;, 0.25;0.5;; }
   MeshMaterialList { 3; 1; 1;; { Wood } { Steel } { Plain } }
  }
 }
}
)";

// The same content in the binary form: tokens of names, strings, integer and float lists.
class BinaryXWriter {
public:
    std::string bytes = "xof 0303bin 0032";

    void open(const std::string& type, const std::string& name = "") {
        this->name(type);
        if (!name.empty())
            this->name(name);
        word(10);
    }
    void close() { word(11); }
    void reference(const std::string& name) {
        word(10);
        this->name(name);
        word(11);
    }
    void string(const std::string& text) {
        word(2);
        dword(static_cast<uint32_t>(text.size()));
        bytes += text;
        word(20);
    }
    void ints(std::initializer_list<uint32_t> values) {
        word(6);
        dword(static_cast<uint32_t>(values.size()));
        for (uint32_t value : values)
            dword(value);
    }
    void floats(std::initializer_list<float> values) {
        word(7);
        dword(static_cast<uint32_t>(values.size()));
        for (float value : values) {
            uint32_t bits;
            std::memcpy(&bits, &value, 4);
            dword(bits);
        }
    }

private:
    void word(uint16_t value) { bytes.append(reinterpret_cast<const char*>(&value), 2); }
    void dword(uint32_t value) { bytes.append(reinterpret_cast<const char*>(&value), 4); }
    void name(const std::string& text) {
        word(1);
        dword(static_cast<uint32_t>(text.size()));
        bytes += text;
    }
};

std::string binaryFile() {
    BinaryXWriter x;
    auto material = [&](const char* name, std::initializer_list<float> values,
                        const char* texture) {
        x.open("Material", name);
        x.floats(values);
        if (texture != nullptr) {
            x.open("TextureFilename");
            x.string(texture);
            x.close();
        }
        x.close();
    };
    auto materialList = [&](std::initializer_list<uint32_t> list) {
        x.open("MeshMaterialList");
        x.ints(list);
        x.reference("Wood");
        x.reference("Steel");
        x.reference("Plain");
        x.close();
    };
    material("Wood", {1, 0.5f, 0.25f, 1, 8, 0.1f, 0.2f, 0.3f, 0, 0, 0.4f}, "Wood.PNG");
    material("Steel", {0.5f, 0.5f, 0.5f, 1, 0, 0, 0, 0, 0, 0, 0}, "Steel Plate.bmp");
    material("Plain", {0.2f, 0.2f, 0.2f, 1, 0, 0, 0, 0, 0, 0, 0}, nullptr);
    x.open("Frame", "Body");
    x.open("FrameTransformMatrix");
    x.floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 100, 0, 0, 1});
    x.close();
    x.open("Mesh", "BodyMesh");
    x.ints({4});
    x.floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0});
    x.ints({2, 3, 0, 1, 2, 3, 0, 2, 3});
    x.open("MeshNormals");
    x.ints({1});
    x.floats({0, 0, -1});
    x.ints({2, 3, 0, 0, 0, 3, 0, 0, 0});
    x.close();
    x.open("MeshTextureCoords");
    x.ints({4});
    x.floats({0, 1, 1, 1, 1, 0, 0, 0});
    x.close();
    materialList({3, 2, 0, 2});
    x.close();
    x.open("Frame", "Wheel");
    x.open("FrameTransformMatrix");
    x.floats({0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 5, 1});
    x.close();
    x.open("Mesh", "WheelMesh");
    x.ints({3});
    x.floats({0, 0, 0, 2, 0, 0, 0, 0, 3});
    x.ints({1, 3, 0, 1, 2});
    x.open("MeshNormals");
    x.ints({1});
    x.floats({1, 0, 0});
    x.ints({1, 3, 0, 0, 0});
    x.close();
    x.open("MeshTextureCoords");
    x.ints({3});
    x.floats({0.25f, 0.75f, 0.5f, 0.75f, 0.25f, 0.5f});
    x.close();
    materialList({3, 1, 1});
    x.close();
    x.close();
    x.close();
    return x.bytes;
}

struct Vertex {
    float position[3];
    float normal[3];
    float u, v;
};

struct ExpectedCorner {
    float x, y, z, nx, ny, nz, u, v;
};

// Faces in subset order: body face 0 (Wood, material 0), body face 1 (Plain, 2), and the
// wheel's face moved by both frames (Steel of the wheel's own list, 3 + 1). The wheel frame
// turns +x onto -z and moves it 5 along z.
const DWORD expectedAttributes[3] = {0, 2, 4};
const ExpectedCorner expectedFaces[3][3] = {
    {{100, 0, 0, 0, 0, -1, 0, 1}, {101, 0, 0, 0, 0, -1, 1, 1}, {101, 1, 0, 0, 0, -1, 1, 0}},
    {{100, 0, 0, 0, 0, -1, 0, 1}, {101, 1, 0, 0, 0, -1, 1, 0}, {100, 1, 0, 0, 0, -1, 0, 0}},
    {{100, 0, 5, 0, 0, -1, 0.25f, 0.75f},
     {100, 0, 3, 0, 0, -1, 0.5f, 0.75f},
     {103, 0, 5, 0, 0, -1, 0.25f, 0.5f}},
};

class D3dxMeshTest : public SmallDeviceTest {
protected:
    std::string write(const char* name, const std::string& contents) {
        std::ofstream(folder / name, std::ios::binary) << contents;
        return (folder / name).string();
    }

    void expectTestMesh(const std::string& path) {
        ID3DXBuffer* materials = nullptr;
        DWORD materialCount = 0;
        ID3DXMesh* mesh = nullptr;
        ASSERT_EQ(D3DXLoadMeshFromXA(path.c_str(), D3DXMESH_SYSTEMMEM, device, nullptr, &materials,
                                     nullptr, &materialCount, &mesh),
                  D3D_OK);
        ASSERT_NE(mesh, nullptr);
        ASSERT_NE(materials, nullptr);
        EXPECT_EQ(mesh->GetFVF(), static_cast<DWORD>(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1));
        EXPECT_EQ(mesh->GetNumBytesPerVertex(), 32u);
        EXPECT_EQ(mesh->GetOptions() & D3DXMESH_SYSTEMMEM, static_cast<DWORD>(D3DXMESH_SYSTEMMEM));
        ASSERT_EQ(mesh->GetNumFaces(), 3u);
        // Corners shared inside the body keep one vertex; the wheel has its own three.
        EXPECT_EQ(mesh->GetNumVertices(), 7u);

        // Materials: each mesh's list its own entries (the file's three twice here), colours
        // as given, names exactly as written.
        ASSERT_EQ(materialCount, 6u);
        EXPECT_EQ(materials->GetBufferSize() >= 3 * sizeof(D3DXMATERIAL), true);
        const D3DXMATERIAL* records = static_cast<D3DXMATERIAL*>(materials->GetBufferPointer());
        ASSERT_NE(records[0].pTextureFilename, nullptr);
        EXPECT_STREQ(records[0].pTextureFilename, "Wood.PNG");
        ASSERT_NE(records[1].pTextureFilename, nullptr);
        EXPECT_STREQ(records[1].pTextureFilename, "Steel Plate.bmp");
        EXPECT_EQ(records[2].pTextureFilename, nullptr);
        EXPECT_FLOAT_EQ(records[0].MatD3D.Diffuse.g, 0.5f);
        EXPECT_FLOAT_EQ(records[0].MatD3D.Diffuse.b, 0.25f);
        EXPECT_FLOAT_EQ(records[0].MatD3D.Power, 8.0f);
        EXPECT_FLOAT_EQ(records[0].MatD3D.Specular.b, 0.3f);
        EXPECT_FLOAT_EQ(records[0].MatD3D.Emissive.b, 0.4f);
        EXPECT_FLOAT_EQ(records[2].MatD3D.Diffuse.r, 0.2f);

#ifdef _WIN32
        // Wine keeps the faces in the file's order, not sorted by material, so the attribute
        // ranges and corners below are the layer's arrangement.
        materials->Release();
        EXPECT_EQ(mesh->Release(), 0u);
        return;
#endif
        // One attribute range per material, in material order.
        DWORD tableSize = 0;
        ASSERT_EQ(mesh->GetAttributeTable(nullptr, &tableSize), D3D_OK);
        ASSERT_EQ(tableSize, 3u);
        D3DXATTRIBUTERANGE table[3];
        ASSERT_EQ(mesh->GetAttributeTable(table, &tableSize), D3D_OK);
        DWORD* attributes = nullptr;
        ASSERT_EQ(mesh->LockAttributeBuffer(D3DLOCK_READONLY, &attributes), D3D_OK);
        for (DWORD i = 0; i < 3; ++i) {
            EXPECT_EQ(table[i].AttribId, expectedAttributes[i]);
            EXPECT_EQ(table[i].FaceStart, i);
            EXPECT_EQ(table[i].FaceCount, 1u);
            EXPECT_EQ(attributes[i], expectedAttributes[i]);
        }
        mesh->UnlockAttributeBuffer();

        // Every corner, in the file's winding, with its frame-transformed position and normal.
        Vertex* vertices = nullptr;
        WORD* indices = nullptr;
        ASSERT_EQ(mesh->LockVertexBuffer(D3DLOCK_READONLY, reinterpret_cast<void**>(&vertices)),
                  D3D_OK);
        ASSERT_EQ(mesh->LockIndexBuffer(D3DLOCK_READONLY, reinterpret_cast<void**>(&indices)),
                  D3D_OK);
        for (int face = 0; face < 3; ++face) {
            for (int corner = 0; corner < 3; ++corner) {
                const WORD index = indices[face * 3 + corner];
                ASSERT_LT(index, mesh->GetNumVertices());
                ASSERT_GE(index, table[face].VertexStart);
                ASSERT_LT(index, table[face].VertexStart + table[face].VertexCount);
                const Vertex& v = vertices[index];
                const ExpectedCorner& e = expectedFaces[face][corner];
                SCOPED_TRACE(::testing::Message() << "face " << face << " corner " << corner);
                EXPECT_NEAR(v.position[0], e.x, 1e-4f);
                EXPECT_NEAR(v.position[1], e.y, 1e-4f);
                EXPECT_NEAR(v.position[2], e.z, 1e-4f);
                EXPECT_NEAR(v.normal[0], e.nx, 1e-5f);
                EXPECT_NEAR(v.normal[1], e.ny, 1e-5f);
                EXPECT_NEAR(v.normal[2], e.nz, 1e-5f);
                EXPECT_FLOAT_EQ(v.u, e.u);
                EXPECT_FLOAT_EQ(v.v, e.v);
            }
        }
        mesh->UnlockIndexBuffer();
        mesh->UnlockVertexBuffer();

        IDirect3DDevice9* owner = nullptr;
        EXPECT_EQ(mesh->GetDevice(&owner), D3D_OK);
        EXPECT_EQ(owner, device);
        if (owner != nullptr)
            owner->Release();
        materials->Release();
        EXPECT_EQ(mesh->Release(), 0u);
    }

    ScratchFolder scratch;
    const std::filesystem::path& folder = scratch.path;
};

void expectNothingLoaded(IDirect3DDevice9* device, const std::string& path) {
    ID3DXBuffer* materials = reinterpret_cast<ID3DXBuffer*>(1);
    ID3DXBuffer* adjacency = reinterpret_cast<ID3DXBuffer*>(1);
    DWORD materialCount = 99;
    ID3DXMesh* mesh = reinterpret_cast<ID3DXMesh*>(1);
    EXPECT_LT(D3DXLoadMeshFromXA(path.c_str(), D3DXMESH_SYSTEMMEM, device, &adjacency, &materials,
                                 nullptr, &materialCount, &mesh),
              0);
    // The layer clears the results on failure; Wine leaves them as they were.
#ifndef _WIN32
    EXPECT_EQ(mesh, nullptr);
    EXPECT_EQ(materials, nullptr);
    EXPECT_EQ(adjacency, nullptr);
    EXPECT_EQ(materialCount, 0u);
#endif
}

} // namespace

TEST_F(D3dxMeshTest, TextFileKeepsCoordinatesWindingAndMaterials) {
    expectTestMesh(write("Test.x", textFile));
}

TEST_F(D3dxMeshTest, BinaryFileReadsLikeTheTextForm) {
    expectTestMesh(write("TestBinary.x", binaryFile()));
}

TEST_F(D3dxMeshTest, PathWithBackslashesAndOtherCaseIsFound) {
    std::filesystem::create_directories(folder / "meshes");
    std::ofstream(folder / "meshes" / "Car.X") << textFile;
    const std::string windowsPath = folder.string() + "\\MESHES\\car.x";
    ID3DXBuffer* materials = nullptr;
    DWORD materialCount = 0;
    ID3DXMesh* mesh = nullptr;
    ASSERT_EQ(D3DXLoadMeshFromXA(windowsPath.c_str(), D3DXMESH_SYSTEMMEM, device, nullptr,
                                 &materials, nullptr, &materialCount, &mesh),
              D3D_OK);
    EXPECT_EQ(materialCount, 6u); // each mesh's list apart, as above
    mesh->Release();
    materials->Release();
}

// Two squares in clip space, wound clockwise on screen: the left one material 0, the right 1.
TEST_F(D3dxMeshTest, DrawSubsetDrawsOnlyThatMaterialsFaces) {
    const char* const squares = R"(xof 0303txt 0032
Mesh Squares {
 8; -1.0;-1.0;0.5;, -1.0;1.0;0.5;, 0.0;1.0;0.5;, 0.0;-1.0;0.5;,
    0.0;-1.0;0.5;, 0.0;1.0;0.5;, 1.0;1.0;0.5;, 1.0;-1.0;0.5;;
 4; 3;0,1,2;, 3;0,2,3;, 3;4,5,6;, 3;4,6,7;;
 MeshMaterialList { 2; 4; 0, 0, 1, 1;;
  Material Left { 1.0;1.0;1.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }
  Material Right { 1.0;1.0;1.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }
 }
})";
    ID3DXMesh* mesh = nullptr;
    ASSERT_EQ(D3DXLoadMeshFromXA(write("Squares.x", squares).c_str(), D3DXMESH_SYSTEMMEM, device,
                                 nullptr, nullptr, nullptr, nullptr, &mesh),
              D3D_OK);
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    device->SetTransform(D3DTS_WORLD, &identity);
    device->SetTransform(D3DTS_VIEW, &identity);
    device->SetTransform(D3DTS_PROJECTION, &identity);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);

    for (DWORD subset = 0; subset < 3; ++subset) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        device->BeginScene();
        EXPECT_EQ(mesh->DrawSubset(subset), D3D_OK);
        device->EndScene();
        const std::vector<uint32_t> pixels = readBack();
        const uint32_t left = pixels[64 * width + 64] & 0xFFFFFF;
        const uint32_t right = pixels[64 * width + 192] & 0xFFFFFF;
        EXPECT_EQ(left, subset == 0 ? 0xFFFFFFu : 0u) << "subset " << subset;
        EXPECT_EQ(right, subset == 1 ? 0xFFFFFFu : 0u) << "subset " << subset;
    }
    mesh->Release();
}

TEST_F(D3dxMeshTest, AdjacencyJoinsTheBodyFacesAlongTheirSharedEdge) {
    ID3DXBuffer* adjacency = nullptr;
    ID3DXMesh* mesh = nullptr;
    ASSERT_EQ(D3DXLoadMeshFromXA(write("Test.x", textFile).c_str(), D3DXMESH_MANAGED, device,
                                 &adjacency, nullptr, nullptr, nullptr, &mesh),
              D3D_OK);
    ASSERT_EQ(adjacency->GetBufferSize(), 9 * sizeof(DWORD));
    const DWORD* neighbours = static_cast<DWORD*>(adjacency->GetBufferPointer());
    // The layer sorts the faces by material, Wine keeps the file's order; in this file both
    // orders are the same.
    // Face 0 (0,1,2) meets face 1 (0,2,3) on its third edge 2-0; the wheel stands alone.
    EXPECT_EQ(neighbours[0], 0xFFFFFFFFu);
    EXPECT_EQ(neighbours[1], 0xFFFFFFFFu);
    EXPECT_EQ(neighbours[2], 1u);
    EXPECT_EQ(neighbours[3], 0u);
    // On the other edges Wine's D3DX names a face 5, in a mesh of three faces; the layer gives
    // none there, as no other face shares those edges.
#ifndef _WIN32
    for (int edge = 4; edge < 9; ++edge)
        EXPECT_EQ(neighbours[edge], 0xFFFFFFFFu);
#endif
    adjacency->Release();
    mesh->Release();
}

TEST_F(D3dxMeshTest, MissingOrMalformedFilesLoadNothing) {
    expectNothingLoaded(device, (folder / "Missing.x").string());
    expectNothingLoaded(device, write("Garbage.x", "this is not a mesh file at all\n"));
    expectNothingLoaded(device, write("Cut.x", std::string(textFile).substr(0, 300)));
    expectNothingLoaded(device, write("Empty.x", ""));
    // A well-formed file of another format under a .X name is not an .X file.
    expectNothingLoaded(device, write("Other.x", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"));
#ifndef _WIN32
    // Faces that name material 0 of a list holding no material, in both forms.
    const char* noMaterials = "xof 0303txt 0032\nMesh {\n 3;\n 0.0;0.0;0.0;,\n 1.0;0.0;0.0;,\n"
                              " 1.0;1.0;0.0;;\n 1;\n 3;0,1,2;;\n MeshMaterialList {\n  1;\n"
                              "  1;\n  0;;\n }\n}\n";
    expectNothingLoaded(device, write("NoMaterials.x", noMaterials));
    // A vertex count far beyond what the file holds.
    std::string hugeCount = noMaterials;
    hugeCount.replace(hugeCount.find(" 3;"), 3, " 2147483647;");
    expectNothingLoaded(device, write("HugeCount.x", hugeCount));
    // A stray token between the face indices and the materials of a list; the importer read
    // the list wrongly and crashed on it. The same list without it loads.
    const char* strayToken = "xof 0303txt 0032\nMesh {\n 3;\n 0.0;0.0;0.0;,\n 1.0;0.0;0.0;,\n"
                             " 1.0;1.0;0.0;;\n 1;\n 3;0,1,2;;\n MeshMaterialList {\n  1;\n"
                             "  1;\n  0;x\n  Material { 1.0;1.0;1.0;1.0;; 0.0; 0.0;0.0;0.0;;"
                             " 0.0;0.0;0.0;; }\n }\n}\n";
    expectNothingLoaded(device, write("StrayToken.x", strayToken));
    std::string clean = strayToken;
    clean.replace(clean.find("0;x"), 3, "0;;");
    ID3DXMesh* mesh = nullptr;
    DWORD materialCount = 0;
    ASSERT_EQ(D3DXLoadMeshFromXA(write("Clean.x", clean).c_str(), D3DXMESH_SYSTEMMEM, device,
                                 nullptr, nullptr, nullptr, &materialCount, &mesh),
              D3D_OK);
    EXPECT_EQ(materialCount, 1u);
    mesh->Release();
    BinaryXWriter x;
    x.open("Mesh");
    x.ints({3});
    x.floats({0, 0, 0, 1, 0, 0, 1, 1, 0});
    x.ints({1, 3, 0, 1, 2});
    x.open("MeshMaterialList");
    x.ints({1, 1, 0});
    x.close();
    x.close();
    expectNothingLoaded(device, write("NoMaterialsBinary.x", x.bytes));
#endif
}
