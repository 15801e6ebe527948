// d3d9_draw.cpp: the draw calls of the device: their refusals (outside a scene, without a
// vertex format the layer draws, vertices or indices reaching past their buffers), the draw
// state brought up to date (d3d9_draw_state.cpp) and the draw handed to the renderer. Draws
// from the caller's memory leave no stream source and no indices set, as Direct3D's do.
#include "d3d9_internal.h"

#include <algorithm>

namespace d3d9 {
namespace {

// Vertices drawn for a number of primitives, and the renderer's primitive; 0 when the type is
// unknown or the count so large that its vertices cannot be counted in a UINT.
UINT primitiveVertices(D3DPRIMITIVETYPE type, UINT count, renderer::Primitive& primitive) {
    using renderer::Primitive;
    uint64_t vertices = 0;
    switch (type) {
    case D3DPT_POINTLIST:
        primitive = Primitive::points;
        vertices = count;
        break;
    case D3DPT_LINELIST:
        primitive = Primitive::lines;
        vertices = uint64_t(count) * 2;
        break;
    case D3DPT_LINESTRIP:
        primitive = Primitive::lineStrip;
        vertices = uint64_t(count) + 1;
        break;
    case D3DPT_TRIANGLELIST:
        primitive = Primitive::triangles;
        vertices = uint64_t(count) * 3;
        break;
    case D3DPT_TRIANGLESTRIP:
        primitive = Primitive::triangleStrip;
        vertices = uint64_t(count) + 2;
        break;
    case D3DPT_TRIANGLEFAN:
        primitive = Primitive::triangleFan;
        vertices = uint64_t(count) + 2;
        break;
    default:
        break;
    }
    return vertices <= UINT32_MAX ? UINT(vertices) : 0;
}

renderer::IndexSize indexSizeOf(D3DFORMAT format) {
    return format == D3DFMT_INDEX16 ? renderer::IndexSize::bits16 : renderer::IndexSize::bits32;
}

} // namespace

uint32_t largestIndex(const void* data, D3DFORMAT format, UINT first, UINT count) {
    uint32_t largest = 0;
    if (format == D3DFMT_INDEX16) {
        const uint16_t* indices = static_cast<const uint16_t*>(data) + first;
        for (UINT i = 0; i < count; ++i)
            largest = std::max<uint32_t>(largest, indices[i]);
    } else {
        const uint32_t* indices = static_cast<const uint32_t*>(data) + first;
        for (UINT i = 0; i < count; ++i)
            largest = std::max(largest, indices[i]);
    }
    return largest;
}

const renderer::DrawSetup& Device::prepareDraw(UINT stride) {
    makeCurrent();
    backHoldsPicture = false;
    const bool pretransformed = (fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW;
    if (setupDirty || pretransformed != lastPretransformed) {
        lastPretransformed = pretransformed;
        buildSetup(pretransformed);
    }
    if (viewportDirty) {
        renderer::setViewport(renderer, int(viewport.X), int(viewport.Y), int(viewport.Width),
                              int(viewport.Height), viewport.MinZ, viewport.MaxZ);
        viewportDirty = false;
    }
    if (!pretransformed && transformsDirty)
        buildTransforms();
    if (setup.key.lighting && lightingDirty)
        buildLighting();
    setup.layout.stride = stride;
    setup.transforms = &transformValues;
    setup.lighting = &lightingValues;
    return setup;
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT count) {
    renderer::Primitive primitive = renderer::Primitive::triangles;
    const UINT vertices = primitiveVertices(type, count, primitive);
    const UINT size = vertexSize(fvf);
    if (!inScene || stream == nullptr || size == 0 || streamStride < size || vertices == 0)
        return count == 0 && inScene ? D3D_OK : D3DERR_INVALIDCALL;
    const uint64_t end = uint64_t(streamOffset) + (uint64_t(startVertex) + vertices) * streamStride;
    if (end > stream->store.bytes.size())
        return D3DERR_INVALIDCALL;
    const renderer::DrawSetup& drawSetup = prepareDraw(streamStride);
    renderer::drawArrays(renderer, drawSetup, primitive, stream->store.name, streamOffset,
                         startVertex, vertices);
    return D3D_OK;
}

// The vertex range hint is not needed: the indices are checked against the vertex buffer.
HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertex, UINT /*minIndex*/,
                                     UINT /*vertexCount*/, UINT startIndex, UINT count) {
    renderer::Primitive primitive = renderer::Primitive::triangles;
    const UINT indexCount = primitiveVertices(type, count, primitive);
    const UINT size = vertexSize(fvf);
    if (!inScene || stream == nullptr || indices == nullptr || size == 0 || streamStride < size ||
        indexCount == 0)
        return count == 0 && inScene ? D3D_OK : D3DERR_INVALIDCALL;
    const D3DFORMAT format = indices->desc.Format;
    const UINT indexSize = format == D3DFMT_INDEX16 ? 2 : 4;
    if ((uint64_t(startIndex) + indexCount) * indexSize > indices->store.bytes.size())
        return D3DERR_INVALIDCALL;
    // Every vertex the indices reach must lie in the vertex buffer: the buffer's largest index
    // (kept while it is unlocked) settles it at once; otherwise the indices drawn decide.
    const int64_t first = int64_t(streamOffset) + int64_t(baseVertex) * streamStride;
    const uint64_t available = stream->store.bytes.size();
    const uint8_t* indexBytes = indices->store.bytes.data();
    const bool unlocked = indices->store.lockCount == 0;
    if (unlocked && !indices->largestKnown) {
        indices->largest =
            largestIndex(indexBytes, format, 0, UINT(indices->store.bytes.size() / indexSize));
        indices->largestKnown = true;
    }
    auto reaches = [&](uint32_t index) {
        return uint64_t(first) + (uint64_t(index) + 1) * streamStride;
    };
    const bool allFit = unlocked && reaches(indices->largest) <= available;
    if (first < 0 ||
        (!allFit && reaches(largestIndex(indexBytes, format, startIndex, indexCount)) > available))
        return D3DERR_INVALIDCALL;
    const renderer::DrawSetup& drawSetup = prepareDraw(streamStride);
    renderer::drawIndexed(renderer, drawSetup, primitive, stream->store.name, uint32_t(first),
                          indices->store.name, indexSizeOf(format), startIndex, indexCount);
    return D3D_OK;
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT count, const void* vertices,
                                UINT stride) {
    renderer::Primitive primitive = renderer::Primitive::triangles;
    const UINT vertexCount = primitiveVertices(type, count, primitive);
    const UINT size = vertexSize(fvf);
    if (!inScene || vertices == nullptr || size == 0 || stride < size || vertexCount == 0)
        return count == 0 && inScene ? D3D_OK : D3DERR_INVALIDCALL;
    const uint64_t bytes = uint64_t(vertexCount - 1) * stride + size;
    if (bytes > UINT32_MAX)
        return D3DERR_INVALIDCALL;
    const renderer::DrawSetup& drawSetup = prepareDraw(stride);
    renderer::drawUser(renderer, drawSetup, primitive, vertices, uint32_t(bytes), nullptr,
                       renderer::IndexSize::bits16, vertexCount);
    // Drawing from user memory leaves no stream source set.
    SetStreamSource(0, nullptr, 0, 0);
    return D3D_OK;
}

HRESULT Device::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT vertexCount,
                                       UINT count, const void* indexData, D3DFORMAT indexFormat,
                                       const void* vertices, UINT stride) {
    renderer::Primitive primitive = renderer::Primitive::triangles;
    const UINT indexCount = primitiveVertices(type, count, primitive);
    const UINT size = vertexSize(fvf);
    if (!inScene || vertices == nullptr || indexData == nullptr || size == 0 || stride < size ||
        indexCount == 0 || (indexFormat != D3DFMT_INDEX16 && indexFormat != D3DFMT_INDEX32))
        return count == 0 && inScene ? D3D_OK : D3DERR_INVALIDCALL;
    // The caller's vertices are minIndex + vertexCount long: no index may reach further.
    const uint64_t reach = uint64_t(minIndex) + vertexCount;
    if (uint64_t(largestIndex(indexData, indexFormat, 0, indexCount)) >= reach)
        return D3DERR_INVALIDCALL;
    const uint64_t bytes = (reach - 1) * stride + size;
    if (bytes > UINT32_MAX)
        return D3DERR_INVALIDCALL;
    const renderer::DrawSetup& drawSetup = prepareDraw(stride);
    renderer::drawUser(renderer, drawSetup, primitive, vertices, uint32_t(bytes), indexData,
                       indexSizeOf(indexFormat), indexCount);
    SetStreamSource(0, nullptr, 0, 0);
    SetIndices(nullptr);
    return D3D_OK;
}

} // namespace d3d9
