// d3dx9_mesh_file_test.cpp: what D3DXLoadMeshFromXA makes of the .X format's parts, each file
// read in every encoding (text, binary with 32- and 64-bit reals, compressed text and binary):
// vertex order and count, vertex format, default material, texture names, polygons, material
// lists, templates, references, vertex elements; and malformed files, each refused. Under
// Wine, where its D3DX differs from the layer, the test says so and why the layer differs.
// Built for Windows too (tests/windows), where it checks the real APIs under Wine.
#include <windows.h>
#include <d3dx9.h>

#include "support/test_device.h"
#include "support/scratch_folder.h"
#include "support/x_file_encodings.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using xfile::Encoding;

struct LoadedMesh {
    HRESULT result = E_FAIL;
    ID3DXMesh* mesh = nullptr;
    ID3DXBuffer* materials = nullptr;
    DWORD materialCount = 0;

    ~LoadedMesh() {
        if (mesh != nullptr)
            mesh->Release();
        if (materials != nullptr)
            materials->Release();
    }
    const D3DXMATERIAL& material(DWORD i) const {
        return static_cast<const D3DXMATERIAL*>(materials->GetBufferPointer())[i];
    }
    // Vertex i's bytes, as floats, from the mesh's own vertex buffer.
    std::vector<float> vertex(DWORD i) const {
        const DWORD stride = mesh->GetNumBytesPerVertex();
        std::vector<float> values(stride / 4);
        BYTE* data = nullptr;
        if (mesh->LockVertexBuffer(D3DLOCK_READONLY, reinterpret_cast<void**>(&data)) == D3D_OK) {
            std::memcpy(values.data(), data + i * stride, stride);
            mesh->UnlockVertexBuffer();
        }
        return values;
    }
    // The corners of every face, in the index buffer's order.
    std::vector<DWORD> indices() const {
        std::vector<DWORD> result(mesh->GetNumFaces() * 3);
        void* data = nullptr;
        const bool wide = (mesh->GetOptions() & D3DXMESH_32BIT) != 0;
        if (mesh->LockIndexBuffer(D3DLOCK_READONLY, &data) == D3D_OK) {
            for (size_t i = 0; i < result.size(); ++i)
                result[i] = wide ? static_cast<DWORD*>(data)[i] : static_cast<WORD*>(data)[i];
            mesh->UnlockIndexBuffer();
        }
        return result;
    }
};

const char* const header = "xof 0303txt 0032\n";

// A square of four vertices, two of them at the same place, in two triangles.
const char* const square = R"(
Mesh Square {
 5; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 1.0;1.0;0.0;, 0.0;1.0;0.0;, 1.0;1.0;0.0;;
 2; 3;0,1,2;, 3;0,4,3;;
)";

class MeshFileTest : public SmallDeviceTest, public ::testing::WithParamInterface<Encoding> {
protected:
    // Writes the text in this test's encoding and loads it.
    void load(const std::string& text, LoadedMesh& loaded, size_t blockSize = 32768) {
        loadBytes(xfile::encode(text, GetParam(), blockSize), loaded);
    }
    void loadBytes(const std::string& bytes, LoadedMesh& loaded) {
        const std::string path = scratch.write("mesh.x", bytes);
        loaded.result =
            D3DXLoadMeshFromXA(path.c_str(), D3DXMESH_SYSTEMMEM, device, nullptr, &loaded.materials,
                               nullptr, &loaded.materialCount, &loaded.mesh);
    }
    void expectRefused(const std::string& text, const char* what) {
        LoadedMesh loaded;
        load(text, loaded);
        EXPECT_LT(loaded.result, 0) << what;
        EXPECT_EQ(loaded.mesh, nullptr) << what;
    }

    ScratchFolder scratch;
};

TEST_P(MeshFileTest, VerticesKeepTheFilesCountAndOrder) {
    LoadedMesh loaded;
    load(std::string(header) + square + "}\n", loaded);
    ASSERT_EQ(loaded.result, D3D_OK);
    // Vertices 2 and 4 are the same point: both are kept, in the file's order.
    ASSERT_EQ(loaded.mesh->GetNumVertices(), 5u);
    EXPECT_EQ(loaded.vertex(4), loaded.vertex(2));
    EXPECT_EQ(loaded.vertex(3), (std::vector<float>{0.0f, 1.0f, 0.0f}));
    EXPECT_EQ(loaded.indices(), (std::vector<DWORD>{0, 1, 2, 0, 4, 3}));
    // Only positions: the vertex format is what the file's data gives.
    EXPECT_EQ(loaded.mesh->GetFVF(), static_cast<DWORD>(D3DFVF_XYZ));
    EXPECT_EQ(loaded.mesh->GetNumBytesPerVertex(), 12u);
}

TEST_P(MeshFileTest, WithoutMaterialListOneDefaultMaterial) {
    LoadedMesh loaded;
    load(std::string(header) + square + "}\n", loaded);
    ASSERT_EQ(loaded.result, D3D_OK);
    ASSERT_EQ(loaded.materialCount, 1u);
    const D3DMATERIAL9& colours = loaded.material(0).MatD3D;
    EXPECT_FLOAT_EQ(colours.Diffuse.r, 0.5f);
    EXPECT_FLOAT_EQ(colours.Diffuse.g, 0.5f);
    EXPECT_FLOAT_EQ(colours.Diffuse.b, 0.5f);
    EXPECT_FLOAT_EQ(colours.Diffuse.a, 0.0f);
    EXPECT_EQ(loaded.material(0).pTextureFilename, nullptr);
}

TEST_P(MeshFileTest, VertexColoursNormalsAndCoordinatesMakeTheFormat) {
    LoadedMesh loaded;
    load(std::string(header) + square + R"(
 MeshNormals { 1; 0.0;0.0;-1.0;; 2; 3;0,0,0;, 3;0,0,0;; }
 MeshVertexColors { 2; 1; 1.0;0.0;0.0;1.0;;, 3; 0.0;0.0;1.0;0.5;;; }
 MeshTextureCoords { 5; 0.0;1.0;, 1.0;1.0;, 1.0;0.0;, 0.0;0.0;, 1.0;0.0;; }
})",
         loaded);
    ASSERT_EQ(loaded.result, D3D_OK);
    ASSERT_EQ(loaded.mesh->GetFVF(),
              static_cast<DWORD>(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1));
    ASSERT_EQ(loaded.mesh->GetNumBytesPerVertex(), 36u);
    const std::vector<float> first = loaded.vertex(1), second = loaded.vertex(3);
    DWORD colour = 0;
    std::memcpy(&colour, &first[6], 4);
    EXPECT_EQ(colour, 0xFFFF0000u);
    std::memcpy(&colour, &second[6], 4);
    EXPECT_EQ(colour & 0x00FFFFFFu, 0x000000FFu);
    EXPECT_NEAR(double(colour >> 24), 127.5, 1.0);
    EXPECT_FLOAT_EQ(first[5], -1.0f);                               // the normal's z
    EXPECT_EQ(std::vector<float>(second.begin() + 7, second.end()), // u, v
              (std::vector<float>{0.0f, 0.0f}));
}

TEST_P(MeshFileTest, TextureNamesAreTakenAsWritten) {
    LoadedMesh loaded;
    load(std::string(header) + square + R"(
 MeshMaterialList { 1; 2; 0, 0;;
  Material { 1.0;1.0;1.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;;
   TextureFilename { "maps\\wood {old}.bmp"; } } }
})",
         loaded);
    ASSERT_EQ(loaded.result, D3D_OK);
    ASSERT_EQ(loaded.materialCount, 1u);
    ASSERT_NE(loaded.material(0).pTextureFilename, nullptr);
    EXPECT_STREQ(loaded.material(0).pTextureFilename, "maps\\\\wood {old}.bmp");
}

// Exporters write `TextureFileName`; template names are matched without regard to case.
TEST_P(MeshFileTest, TemplateNamesIgnoreCase) {
    LoadedMesh loaded;
    load(std::string(header) + R"(
FRAME Box {
 mesh Square {
  5; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 1.0;1.0;0.0;, 0.0;1.0;0.0;, 1.0;1.0;0.0;;
  2; 3;0,1,2;, 3;0,4,3;;
  meshMaterialList { 1; 2; 0, 0;;
   MATERIAL { 1.0;1.0;1.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;;
    TextureFileName { "wood.bmp"; } } }
 }
})",
         loaded);
    ASSERT_EQ(loaded.result, D3D_OK);
    EXPECT_EQ(loaded.mesh->GetNumVertices(), 5u);
    ASSERT_EQ(loaded.materialCount, 1u);
    ASSERT_NE(loaded.material(0).pTextureFilename, nullptr);
    EXPECT_STREQ(loaded.material(0).pTextureFilename, "wood.bmp");
}

TEST_P(MeshFileTest, PolygonsBecomeFans) {
    LoadedMesh loaded;
    load(std::string(header) + R"(
Mesh {
 6; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 2.0;1.0;0.0;, 1.0;2.0;0.0;, 0.0;1.0;0.0;, 5.0;5.0;0.0;;
 2; 5;0,1,2,3,4;, 3;1,5,2;;
 MeshMaterialList { 2; 2; 1, 1;;
  Material { 1.0;0.0;0.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }
  Material { 0.0;1.0;0.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; } }
})",
         loaded);
    ASSERT_EQ(loaded.result, D3D_OK);
    ASSERT_EQ(loaded.mesh->GetNumFaces(), 4u);
    EXPECT_EQ(loaded.indices(), (std::vector<DWORD>{0, 1, 2, 0, 2, 3, 0, 3, 4, 1, 5, 2}));
    DWORD* attributes = nullptr;
    ASSERT_EQ(loaded.mesh->LockAttributeBuffer(D3DLOCK_READONLY, &attributes), D3D_OK);
    for (DWORD face = 0; face < 4; ++face)
        EXPECT_EQ(attributes[face], 1u) << "face " << face;
    loaded.mesh->UnlockAttributeBuffer();
}

// Declared templates (one of them for an object the loader does not know), a standard one
// declared again, and references to a mesh and materials.
TEST_P(MeshFileTest, TemplatesReferencesAndUnknownObjects) {
    LoadedMesh loaded;
    load(std::string(header) +
             R"(
template MeshMaterialList { <F6F23F42-7686-11cf-8F52-0040333594A3>
 DWORD nMaterials; DWORD nFaceIndexes; array DWORD faceIndexes[nFaceIndexes]; [Material] }
template Note { <11111111-2222-3333-4444-555555555555> STRING text; DWORD n;
 array FLOAT values[n][2]; [...] }
# a comment
Note Remark { "a } brace"; 2; 1.0;2.0;, 3.0;4.0;; Note { "inner"; 0;; } }
Material Red { 1.0;0.0;0.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; }
Mesh Tri { 3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;; 1; 3;0,1,2;; }
Frame Moved {
 FrameTransformMatrix { 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, 10.0,0.0,0.0,1.0;; }
 { Tri }
 Mesh Coloured { 3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;; 1; 3;0,1,2;;
  MeshMaterialList { 1; 1; 0;; { Red } } }
}
)",
         loaded);
    ASSERT_EQ(loaded.result, D3D_OK);
    // The mesh itself, its copy moved by the frame and the frame's own mesh. Only the last has
    // a material list; the faces of the others take material 0 of the file, Red.
    ASSERT_EQ(loaded.mesh->GetNumVertices(), 9u);
    ASSERT_EQ(loaded.materialCount, 1u);
    EXPECT_FLOAT_EQ(loaded.vertex(4)[0], 11.0f);
    EXPECT_FLOAT_EQ(loaded.material(0).MatD3D.Diffuse.r, 1.0f);
}

// Vertex elements whose data are the bits of reals (3212836864 is -1.0): a normal and texture
// coordinates for each vertex.
TEST_P(MeshFileTest, DeclaredVertexDataGivesNormalsAndCoordinates) {
    LoadedMesh loaded;
    load(std::string(header) + R"(
Mesh { 3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;; 1; 3;0,1,2;;
 DeclData { 2; 2;0;3;0;, 1;0;5;0;;
  15; 0,0,3212836864, 0,0, 0,0,3212836864, 1065353216,0, 0,0,3212836864, 0,1065353216;
 }
})",
         loaded);
#ifdef _WIN32
    // Wine's D3DX reads no DeclData and refuses the file; D3DX's own templates declare it for
    // exactly this, the per-vertex data of a mesh, as the layer reads it.
    EXPECT_LT(loaded.result, 0);
    return;
#endif
    ASSERT_EQ(loaded.result, D3D_OK);
    ASSERT_EQ(loaded.mesh->GetFVF(), static_cast<DWORD>(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1));
    EXPECT_EQ(loaded.vertex(1),
              (std::vector<float>{1.0f, 0.0f, 0.0f, 0.0f, 0.0f, -1.0f, 1.0f, 0.0f}));
}

// A polygon of 65,536 sides: 65,534 triangles, in time that grows with the side count only.
TEST_P(MeshFileTest, LargePolygonLoadsQuickly) {
    const int sides = 65536;
    std::string text = std::string(header) + "Mesh {\n" + std::to_string(sides) + ";\n";
    for (int i = 0; i < sides; ++i)
        text += std::to_string(i % 256) + ".0;" + std::to_string(i / 256) + ".0;0.0;" +
                (i + 1 < sides ? ",\n" : ";\n");
    text += "1;\n" + std::to_string(sides) + ";";
    for (int i = 0; i < sides; ++i)
        text += std::to_string(i) + (i + 1 < sides ? "," : ";;\n");
    text += "}\n";
    const auto start = std::chrono::steady_clock::now();
    LoadedMesh loaded;
    load(text, loaded);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_EQ(loaded.result, D3D_OK);
    EXPECT_EQ(loaded.mesh->GetNumFaces(), DWORD(sides - 2));
    EXPECT_LT(seconds, 5.0);
}

// Compressed files of many blocks: the blocks refer back to the ones before.
class CompressedMeshFileTest : public MeshFileTest {};

TEST_P(CompressedMeshFileTest, SmallBlocksGiveTheSameMesh) {
    LoadedMesh whole, blocks;
    const std::string text = std::string(header) + square + "}\n";
    load(text, whole);
    load(text, blocks, 17);
    ASSERT_EQ(whole.result, D3D_OK);
#ifdef _WIN32
    // Wine's D3DX inflates every block afresh and so refuses a block that refers back into the
    // one before; MSZIP keeps the history across blocks, as the layer does.
    EXPECT_LT(blocks.result, 0);
    return;
#endif
    ASSERT_EQ(blocks.result, D3D_OK);
    ASSERT_EQ(blocks.mesh->GetNumVertices(), 5u);
    for (DWORD i = 0; i < 5; ++i)
        EXPECT_EQ(blocks.vertex(i), whole.vertex(i));
    EXPECT_EQ(blocks.indices(), whole.indices());
}

// Damaged blocks: cut short, without their signature, or more than their data inflate to.
// Not built for Windows: Wine's D3DX crashes on such files.
#ifndef _WIN32
TEST_P(CompressedMeshFileTest, DamagedBlocksAreRefused) {
    const std::string whole = xfile::encode(std::string(header) + square + "}\n", GetParam());
    LoadedMesh intact, cut, unsignedBlock, oversized;
    loadBytes(whole, intact);
    EXPECT_EQ(intact.result, D3D_OK);
    loadBytes(whole.substr(0, whole.size() - 5), cut);
    EXPECT_LT(cut.result, 0);
    std::string damaged = whole;
    damaged[24] = 'X'; // "CK" follows the header, the file size and the block's two sizes
    loadBytes(damaged, unsignedBlock);
    EXPECT_LT(unsignedBlock.result, 0);
    damaged = whole;
    ++damaged[20]; // the block's inflated size, one more than its data give
    loadBytes(damaged, oversized);
    EXPECT_LT(oversized.result, 0);
}
#endif

// Comments end at the end of a line, which a lone CR ends too (files of older Mac tools).
TEST_P(MeshFileTest, CommentsEndAtALoneCr) {
    LoadedMesh loaded;
    load(std::string(header) + "# a comment\r" + (square + 1) + "}\n", loaded);
#ifdef _WIN32
    // Wine's D3DX ends a comment at LF only, so in text it reads the mesh as part of the
    // comment; the binary forms have no comments.
    if (GetParam() == Encoding::text || GetParam() == Encoding::compressedText) {
        EXPECT_LT(loaded.result, 0);
        return;
    }
#endif
    ASSERT_EQ(loaded.result, D3D_OK);
    EXPECT_EQ(loaded.mesh->GetNumVertices(), 5u);
}

// Two meshes without material lists share the one default material.
TEST_P(MeshFileTest, MeshesWithoutListsShareTheDefaultMaterial) {
    LoadedMesh loaded;
    load(std::string(header) + square + "}\n" + square + "}\n", loaded);
    ASSERT_EQ(loaded.result, D3D_OK);
    EXPECT_EQ(loaded.mesh->GetNumVertices(), 10u);
    EXPECT_EQ(loaded.materialCount, 1u);
}

// The files that crashed or hung the reader before: each is refused.
TEST_P(MeshFileTest, MalformedFilesAreRefused) {
    const std::string triangle = "Mesh { 3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;; 1; 3;0,1,2;;";
    const std::string h = header;
    expectRefused(h + triangle + " MeshNormals { 1; 0.0;0.0;1.0;; 1; 3;0,0,7;; } }",
                  "normal index out of range");
    expectRefused(h + "Mesh { 0;; 1; 3;0,1,2;; }", "faces on no vertices");
    expectRefused(h + triangle + " MeshMaterialList { 1; 1; 0;; } }", "list without materials");
    expectRefused(h + triangle + R"( SkinWeights { "bone"; 1; 9; 1.0;
 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, 0.0,0.0,0.0,1.0;; } })",
                  "skin weight of no vertex");
    expectRefused(h + "Mesh { 3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;; 1; 2;0,1;; }",
                  "face of two corners");
    expectRefused(h + "Mesh { 4000000000; 0.0;0.0;0.0;; 1; 3;0,0,0;; }", "count past the file");
    expectRefused(h + square +
                      " MeshMaterialList { 1; 1; 0;; Material { 1.0;1.0;1.0;1.0;; 0.0; "
                      "0.0;0.0;0.0;; 0.0;0.0;0.0;; } } }",
                  "fewer material indices than faces");
    expectRefused(h + triangle +
                      " MeshMaterialList { 1; 1; 4294967295;; "
                      "Material { 1.0;1.0;1.0;1.0;; 0.0; 0.0;0.0;0.0;; 0.0;0.0;0.0;; } } }",
                  "material index past the list");
    expectRefused(h + triangle + " Unknown { 1; } }", "undeclared template");
    expectRefused(h + triangle + " MeshMaterialList { 1; 1; 0;; { Nowhere } } }",
                  "reference to no object");
    expectRefused(h + triangle, "unclosed object");
    std::string nested = h;
    for (int i = 0; i < 200000; ++i)
        nested += "Frame{";
    expectRefused(nested + triangle + "}" + std::string(200000, '}'), "200,000 nested frames");
    if (GetParam() == Encoding::text) {
        expectRefused(h + triangle + " MeshMaterialList { 1; 1; 0;; Material { \"x; } }",
                      "lone quote");
        expectRefused(h + "Mesh { -1; 0.0;0.0;0.0;; 1; 3;0,0,0;; }", "negative count");
    }
}

// Wine's D3DX refuses every binary file of 64-bit reals (see RealsOf64Bits below), so there
// the other encodings are checked.
INSTANTIATE_TEST_SUITE_P(Encodings, MeshFileTest,
                         ::testing::Values(Encoding::text, Encoding::binary,
#ifndef _WIN32
                                           Encoding::binary64,
#endif
                                           Encoding::compressedText, Encoding::compressedBinary),
                         [](const ::testing::TestParamInfo<Encoding>& info) {
                             return std::string(xfile::nameOf(info.param));
                         });
INSTANTIATE_TEST_SUITE_P(Encodings, CompressedMeshFileTest,
                         ::testing::Values(Encoding::compressedText, Encoding::compressedBinary),
                         [](const ::testing::TestParamInfo<Encoding>& info) {
                             return std::string(xfile::nameOf(info.param));
                         });

} // namespace

namespace {

class RealsOf64Bits : public MeshFileTest {};

// The header's "0064" gives binary reals of 64 bits, which the layer reads.
TEST_P(RealsOf64Bits, BinaryFileLoads) {
    LoadedMesh loaded;
    load(std::string(header) + square + "}\n", loaded);
#ifdef _WIN32
    // Wine's D3DX refuses binary files of 64-bit reals, which the format's header provides for.
    EXPECT_LT(loaded.result, 0);
#else
    ASSERT_EQ(loaded.result, D3D_OK);
    EXPECT_EQ(loaded.vertex(3), (std::vector<float>{0.0f, 1.0f, 0.0f}));
#endif
}

INSTANTIATE_TEST_SUITE_P(Encodings, RealsOf64Bits, ::testing::Values(Encoding::binary64),
                         [](const ::testing::TestParamInfo<Encoding>& info) {
                             return std::string(xfile::nameOf(info.param));
                         });

} // namespace

#ifndef _WIN32
namespace {

class BinaryReals : public MeshFileTest {};

// A colour channel that is not a number (binary files can hold any bit pattern) is taken as
// 0, as a negative one is. What the real D3DX makes of it is not documented.
TEST_P(BinaryReals, NotANumberInAColourCountsAsZero) {
    std::string bytes = xfile::encode(std::string(header) + square + R"(
 MeshVertexColors { 1; 1; 1.0;1.0;1.0;0.25;;; }
})",
                                      GetParam());
    const std::string quarter("\x00\x00\x80\x3e", 4), notANumber("\x00\x00\xc0\x7f", 4);
    const size_t at = bytes.find(quarter);
    ASSERT_NE(at, std::string::npos);
    bytes.replace(at, 4, notANumber);
    LoadedMesh loaded;
    loadBytes(bytes, loaded);
    ASSERT_EQ(loaded.result, D3D_OK);
    const std::vector<float> vertex = loaded.vertex(1);
    DWORD colour = 0;
    std::memcpy(&colour, &vertex[3], 4);
    EXPECT_EQ(colour, 0x00FFFFFFu);
}

INSTANTIATE_TEST_SUITE_P(Encodings, BinaryReals, ::testing::Values(Encoding::binary),
                         [](const ::testing::TestParamInfo<Encoding>& info) {
                             return std::string(xfile::nameOf(info.param));
                         });

} // namespace
#endif
