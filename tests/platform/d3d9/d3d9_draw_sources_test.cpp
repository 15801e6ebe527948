// The vertex and index sources of the device's draws: no draw outside a scene, a draw of no
// primitives taken in one, unknown types, no vertex format and counts that wrap round 32 bits
// refused, each primitive type's own number of vertices, points and lines with no inside, a fan
// round its first vertex, a draw from the caller's memory leaves no stream source behind, an index
// buffer of a million indices that all lie in the vertex buffer draws, and a draw from the caller's
// indices checks every index it draws and reads no other, one from the caller's vertices no further
// than the last vertex's own bytes. Needs a display (tools/with-display.sh provides one).
#include "support/test_device.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

namespace {

struct Vertex {
    float x, y, z;
    D3DCOLOR colour;
};
constexpr DWORD vertexFormat = D3DFVF_XYZ | D3DFVF_DIFFUSE;

// A triangle over the centre of clip space, clockwise on screen.
constexpr Vertex triangle[3] = {{0.0f, 0.5f, 0.5f, 0xFFFFFFFF},
                                {0.5f, -0.5f, 0.5f, 0xFFFFFFFF},
                                {-0.5f, -0.5f, 0.5f, 0xFFFFFFFF}};

class DrawSourcesTest : public SmallDeviceTest {
protected:
    // A vertex buffer holding the triangle, set as stream 0 with its vertex format.
    IDirect3DVertexBuffer9* triangleSource() {
        IDirect3DVertexBuffer9* buffer =
            filledVertexBuffer(device, triangle, sizeof triangle, vertexFormat);
        EXPECT_EQ(device->SetStreamSource(0, buffer, 0, sizeof(Vertex)), D3D_OK);
        EXPECT_EQ(device->SetFVF(vertexFormat), D3D_OK);
        return buffer;
    }
};

TEST_F(DrawSourcesTest, DrawOutsideASceneIsRefusedWithItsSourcesSet) {
    IDirect3DVertexBuffer9* buffer = triangleSource();
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof(Vertex)),
              D3DERR_INVALIDCALL);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    device->SetStreamSource(0, nullptr, 0, 0);
    EXPECT_EQ(buffer->Release(), 0u);
}

TEST_F(DrawSourcesTest, EmptyDrawsPassInASceneAndUnusableOnesAreRefused) {
    IDirect3DVertexBuffer9* buffer = triangleSource();
    ASSERT_NE(buffer, nullptr);
    const uint16_t indices[3] = {0, 1, 2};
    const UINT stride = sizeof(Vertex);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 0), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    // No primitives: nothing to draw and nothing wrong.
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 0), D3D_OK);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 0, triangle, stride), D3D_OK);
    EXPECT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 0, indices, D3DFMT_INDEX16,
                                             triangle, stride),
              D3D_OK);
    // One point is one vertex.
    EXPECT_EQ(device->DrawPrimitive(D3DPT_POINTLIST, 2, 1), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_POINTLIST, 3, 1), D3DERR_INVALIDCALL);
    // An unknown primitive type; the caller's indices missing or in no index format.
    EXPECT_EQ(device->DrawPrimitive(D3DPRIMITIVETYPE(0), 0, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 1, nullptr, D3DFMT_INDEX16,
                                             triangle, stride),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 1, indices, D3DFMT_A8R8G8B8,
                                             triangle, stride),
              D3DERR_INVALIDCALL);
    // Counts that wrap round 32 bits: a first vertex just short of 2^32, and more triangles than
    // 2^32 vertices hold. Neither reaches back into the buffer.
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0xFFFFFFFFu, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 0x55555556u), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 0x55555556u, triangle, stride),
              D3DERR_INVALIDCALL);
    // No vertex format.
    ASSERT_EQ(device->SetFVF(0), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, stride), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    device->SetStreamSource(0, nullptr, 0, 0);
    EXPECT_EQ(buffer->Release(), 0u);
}

TEST_F(DrawSourcesTest, EachPrimitiveTypeReadsItsOwnNumberOfVertices) {
    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(6 * sizeof(Vertex), 0, vertexFormat, D3DPOOL_MANAGED,
                                         &buffer, nullptr),
              D3D_OK);
    ASSERT_EQ(device->SetStreamSource(0, buffer, 0, sizeof(Vertex)), D3D_OK);
    ASSERT_EQ(device->SetFVF(vertexFormat), D3D_OK);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    // The most primitives of each type that six vertices hold, and one more.
    const struct {
        D3DPRIMITIVETYPE type;
        UINT most;
    } types[] = {{D3DPT_POINTLIST, 6},    {D3DPT_LINELIST, 3},      {D3DPT_LINESTRIP, 5},
                 {D3DPT_TRIANGLELIST, 2}, {D3DPT_TRIANGLESTRIP, 4}, {D3DPT_TRIANGLEFAN, 4}};
    for (const auto& t : types) {
        SCOPED_TRACE(testing::Message() << "type " << t.type);
        EXPECT_EQ(device->DrawPrimitive(t.type, 0, t.most), D3D_OK);
        EXPECT_EQ(device->DrawPrimitive(t.type, 0, t.most + 1), D3DERR_INVALIDCALL);
    }
    // Two vertices a line: the last line starts at the fifth vertex at most.
    EXPECT_EQ(device->DrawPrimitive(D3DPT_LINELIST, 4, 1), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_LINELIST, 5, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    device->SetStreamSource(0, nullptr, 0, 0);
    EXPECT_EQ(buffer->Release(), 0u);
}

// Points and lines on the corners of a triangle round the centre leave the centre empty, where
// the same vertices drawn as triangles would cover it.
TEST_F(DrawSourcesTest, PointsAndLinesDrawNoInside) {
    const Vertex a = {-0.8f, -0.8f, 0.5f, 0xFFFFFFFF};
    const Vertex b = {0.0f, 0.8f, 0.5f, 0xFFFFFFFF};
    const Vertex c = {0.8f, -0.8f, 0.5f, 0xFFFFFFFF};
    const Vertex points[3] = {a, b, c};
    const Vertex lines[6] = {a, b, c, a, b, c};
    const Vertex strip[4] = {a, b, c, a};
    const struct {
        D3DPRIMITIVETYPE type;
        UINT count;
        const Vertex* vertices;
    } draws[] = {
        {D3DPT_POINTLIST, 3, points}, {D3DPT_LINELIST, 3, lines}, {D3DPT_LINESTRIP, 3, strip}};
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetFVF(vertexFormat);
    for (const auto& d : draws) {
        SCOPED_TRACE(testing::Message() << "type " << d.type);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        ASSERT_EQ(device->BeginScene(), D3D_OK);
        EXPECT_EQ(device->DrawPrimitiveUP(d.type, d.count, d.vertices, sizeof(Vertex)), D3D_OK);
        EXPECT_EQ(device->EndScene(), D3D_OK);
        const std::vector<uint32_t> pixels = readBack();
        EXPECT_EQ(pixels[size_t(height / 2) * width + width / 2] & 0xFFFFFF, 0u);
        // The lines draw the bottom edge, at 0.9 of the height.
        if (d.type != D3DPT_POINTLIST) {
            const size_t row = height * 9 / 10;
            EXPECT_EQ((pixels[(row - 1) * width + width / 2] | pixels[row * width + width / 2] |
                       pixels[(row + 1) * width + width / 2]) &
                          0xFFFFFF,
                      0xFFFFFFu);
        }
    }
}

TEST_F(DrawSourcesTest, TriangleFanSharesItsFirstVertex) {
    // Two triangles round the first corner cover the square from -0.5 to 0.5.
    const Vertex fan[4] = {{-0.5f, -0.5f, 0.5f, 0xFFFFFFFF},
                           {-0.5f, 0.5f, 0.5f, 0xFFFFFFFF},
                           {0.5f, 0.5f, 0.5f, 0xFFFFFFFF},
                           {0.5f, -0.5f, 0.5f, 0xFFFFFFFF}};
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetFVF(vertexFormat);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, fan, sizeof(Vertex)), D3D_OK);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    const std::vector<uint32_t> pixels = readBack();
    // Inside the first triangle (upper left) and the second (lower right).
    EXPECT_EQ(pixels[size_t(height * 2 / 5) * width + width * 2 / 5] & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(pixels[size_t(height * 3 / 5) * width + width * 3 / 5] & 0xFFFFFF, 0xFFFFFFu);
}

TEST_F(DrawSourcesTest, DrawFromTheCallersMemoryLeavesNoStreamSource) {
    IDirect3DVertexBuffer9* buffer = triangleSource();
    ASSERT_NE(buffer, nullptr);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof(Vertex)), D3D_OK);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    IDirect3DVertexBuffer9* stream = buffer;
    UINT offset = 1;
    UINT stride = 1;
    ASSERT_EQ(device->GetStreamSource(0, &stream, &offset, &stride), D3D_OK);
    EXPECT_EQ(stream, nullptr);
    // The device no longer holds the buffer.
    EXPECT_EQ(buffer->Release(), 0u);
}

TEST_F(DrawSourcesTest, LargeIndexBufferWhoseIndicesAllFitDraws) {
    constexpr UINT indexCount = 1u << 20;
    IDirect3DVertexBuffer9* vertices =
        filledVertexBuffer(device, triangle, sizeof triangle, vertexFormat);
    ASSERT_NE(vertices, nullptr);
    void* data = nullptr;
    IDirect3DIndexBuffer9* indices = nullptr;
    ASSERT_EQ(device->CreateIndexBuffer(indexCount * 4, 0, D3DFMT_INDEX32, D3DPOOL_MANAGED,
                                        &indices, nullptr),
              D3D_OK);
    ASSERT_EQ(indices->Lock(0, 0, &data, 0), D3D_OK);
    for (UINT i = 0; i < indexCount; ++i)
        static_cast<uint32_t*>(data)[i] = i % 3;
    ASSERT_EQ(indices->Unlock(), D3D_OK);

    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetFVF(vertexFormat);
    device->SetStreamSource(0, vertices, 0, sizeof(Vertex));
    device->SetIndices(indices);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, indexCount - 3, 1), D3D_OK);
    // From base vertex 1 on, index 2 reaches past the three vertices.
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 1, 0, 3, indexCount - 3, 1),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    EXPECT_EQ(readBack()[size_t(height / 2) * width + width / 2] & 0xFFFFFF, 0xFFFFFFu);
    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetIndices(nullptr);
    EXPECT_EQ(indices->Release(), 0u);
    EXPECT_EQ(vertices->Release(), 0u);
}

} // namespace

// The index after the last one drawn is not read: here it would reach past the vertices.
TEST_F(DrawSourcesTest, DrawFromTheCallersIndicesReadsOnlyThoseItDraws) {
    const uint16_t indices16[4] = {0, 1, 2, 60000};
    const uint32_t indices32[4] = {0, 1, 2, 4000000};
    ASSERT_EQ(device->SetFVF(vertexFormat), D3D_OK);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 1, indices16, D3DFMT_INDEX16,
                                             triangle, sizeof(Vertex)),
              D3D_OK);
    EXPECT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 1, indices32, D3DFMT_INDEX32,
                                             triangle, sizeof(Vertex)),
              D3D_OK);
    // One index that reaches past the vertices is refused.
    EXPECT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 1, indices16 + 1,
                                             D3DFMT_INDEX16, triangle, sizeof(Vertex)),
              D3DERR_INVALIDCALL);
    // The first index is checked as well as the others.
    const uint16_t firstBeyond16[3] = {3, 1, 2};
    const uint32_t firstBeyond32[3] = {3, 1, 2};
    EXPECT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 1, firstBeyond16,
                                             D3DFMT_INDEX16, triangle, sizeof(Vertex)),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 1, firstBeyond32,
                                             D3DFMT_INDEX32, triangle, sizeof(Vertex)),
              D3DERR_INVALIDCALL);
    // Indices that all name vertex 0 need only that one.
    const uint16_t allFirst[3] = {0, 0, 0};
    EXPECT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 1, 1, allFirst, D3DFMT_INDEX16,
                                             triangle, sizeof(Vertex)),
              D3D_OK);
    EXPECT_EQ(device->EndScene(), D3D_OK);
}

// The caller's vertices are read up to the last one's own bytes, not the stride's padding after
// it: here a page that cannot be read follows them, and a read beyond ends the test.
TEST_F(DrawSourcesTest, DrawFromTheCallersVerticesReadsNoFurtherThanTheLastVertex) {
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    void* pages =
        mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(pages, MAP_FAILED);
    ASSERT_EQ(mprotect(static_cast<char*>(pages) + page, page, PROT_NONE), 0);
    const UINT stride = sizeof(Vertex) + 4;
    char* first = static_cast<char*>(pages) + page - (2 * stride + sizeof(Vertex));
    for (int i = 0; i < 3; ++i)
        std::memcpy(first + i * stride, &triangle[i], sizeof(Vertex));
    const uint16_t indices[3] = {0, 1, 2};
    ASSERT_EQ(device->SetFVF(vertexFormat), D3D_OK);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, first, stride), D3D_OK);
    EXPECT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 1, indices, D3DFMT_INDEX16,
                                             first, stride),
              D3D_OK);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    munmap(pages, 2 * page);
}
