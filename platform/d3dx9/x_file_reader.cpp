// x_file_reader.cpp: builds the loader's one mesh from a .X file's data objects
// (x_file_objects.h). Meshes are found at the top level and in frames, nested or referenced;
// a frame's FrameTransformMatrix, times its parents' (row vectors), moves its meshes' points,
// and the inverse transpose of that matrix their normals. Every count and index is checked
// against what the object holds before anything is sized by it.
#include "x_file_reader.h"

#include "x_file_objects.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace {

constexpr uint32_t none = UINT32_MAX;

struct Matrix {
    float m[4][4];

    static Matrix identity() {
        Matrix result{};
        for (int i = 0; i < 4; ++i)
            result.m[i][i] = 1.0f;
        return result;
    }
    Matrix operator*(const Matrix& other) const {
        Matrix result{};
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                for (int k = 0; k < 4; ++k)
                    result.m[r][c] += m[r][k] * other.m[k][c];
        return result;
    }
    bool isIdentity() const {
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                if (m[r][c] != (r == c ? 1.0f : 0.0f))
                    return false;
        return true;
    }
};

// The values of one object, read in order; a value of the wrong kind, or one past the end,
// clears ok and reads as zero.
class ValueReader {
public:
    explicit ValueReader(const XDataObject& object) : values(object.values) {}

    uint32_t integer() { return take(XValue::Kind::integer) ? values[at++].integer : 0; }
    float real() { return take(XValue::Kind::real) ? values[at++].real : 0.0f; }
    std::string_view text() { return take(XValue::Kind::string) ? values[at++].text : ""; }
    // True when count more values can be there: a count is checked before it sizes anything.
    bool holds(uint64_t count) {
        ok = ok && count <= values.size() - at;
        return ok;
    }

    bool ok = true;

private:
    bool take(XValue::Kind kind) {
        ok = ok && at < values.size() && values[at].kind == kind;
        return ok;
    }

    const std::vector<XValue>& values;
    size_t at = 0;
};

D3DCOLOR colourOf(float red, float green, float blue, float alpha) {
    // Not a number counts as 0, as anything not above 0 does.
    auto byte = [](float value) {
        return static_cast<DWORD>(!(value > 0.0f) ? 0.0f
                                  : value >= 1.0f ? 255.0f
                                                  : value * 255.0f + 0.5f);
    };
    return byte(alpha) << 24 | byte(red) << 16 | byte(green) << 8 | byte(blue);
}

bool readMaterial(const XDataObject& object, XMaterial& material) {
    ValueReader values(object);
    material = XMaterial{};
    D3DMATERIAL9& colours = material.colours;
    colours.Diffuse = {values.real(), values.real(), values.real(), values.real()};
    colours.Power = values.real();
    colours.Specular = {values.real(), values.real(), values.real(), 1.0f};
    colours.Emissive = {values.real(), values.real(), values.real(), 1.0f};
    for (const XDataObject* child : object.children)
        if (child->type == "TextureFilename" && !material.hasTexture) {
            ValueReader name(*child);
            material.textureFileName = name.text();
            material.hasTexture = true;
            if (!name.ok)
                return false;
        }
    return values.ok;
}

// One Mesh object as its data gives it: vertices in the file's order, polygons as corner lists.
struct MeshPart {
    DWORD fvf = D3DFVF_XYZ;
    std::vector<XVertex> vertices;
    std::vector<uint32_t> corners;    // every face's vertex indices, face after face
    std::vector<uint32_t> faceStarts; // where each face's corners begin, and one past the last
    std::vector<uint32_t> faceMaterials;
    std::vector<XMaterial> materials;

    bool read(const XDataObject& mesh);

private:
    bool readNormals(const XDataObject& object);
    bool readTextureCoords(const XDataObject& object);
    bool readVertexColours(const XDataObject& object);
    bool readMaterialList(const XDataObject& object);
    bool readDeclaredData(const XDataObject& object);
    bool checkSkinWeights(const XDataObject& object) const;
    uint32_t faceCount() const { return static_cast<uint32_t>(faceStarts.size() - 1); }
};

bool MeshPart::read(const XDataObject& mesh) {
    ValueReader values(mesh);
    const uint32_t vertexCount = values.integer();
    if (!values.holds(uint64_t(vertexCount) * 3))
        return false;
    vertices.resize(vertexCount, XVertex{});
    for (XVertex& vertex : vertices)
        for (float& coordinate : vertex.position)
            coordinate = values.real();
    const uint32_t faces = values.integer();
    if (!values.holds(uint64_t(faces) * 4))
        return false;
    faceStarts.reserve(faces + 1);
    for (uint32_t face = 0; face < faces && values.ok; ++face) {
        faceStarts.push_back(static_cast<uint32_t>(corners.size()));
        const uint32_t size = values.integer();
        if (size < 3 || !values.holds(size))
            return false;
        for (uint32_t corner = 0; corner < size; ++corner) {
            corners.push_back(values.integer());
            if (corners.back() >= vertexCount)
                return false;
        }
    }
    faceStarts.push_back(static_cast<uint32_t>(corners.size()));
    if (!values.ok)
        return false;

    // Normals last: where they copy a vertex, the copy takes its other parts along.
    const XDataObject* normals = nullptr;
    bool hasMaterialList = false;
    for (const XDataObject* child : mesh.children) {
        bool ok = true;
        if (child->type == "MeshNormals" && normals == nullptr)
            normals = child;
        else if (child->type == "MeshTextureCoords")
            ok = readTextureCoords(*child);
        else if (child->type == "MeshVertexColors")
            ok = readVertexColours(*child);
        else if (child->type == "MeshMaterialList" && !hasMaterialList)
            ok = hasMaterialList = readMaterialList(*child);
        else if (child->type == "DeclData")
            ok = readDeclaredData(*child);
        else if (child->type == "SkinWeights")
            ok = checkSkinWeights(*child);
        if (!ok)
            return false;
    }
    if (!hasMaterialList)
        faceMaterials.assign(faceCount(), none); // material 0 of the whole file, as D3DX gives
    return normals == nullptr || readNormals(*normals);
}

bool MeshPart::readNormals(const XDataObject& object) {
    ValueReader values(object);
    const uint32_t count = values.integer();
    if (!values.holds(uint64_t(count) * 3))
        return false;
    std::vector<float> normals(size_t(count) * 3);
    for (float& coordinate : normals)
        coordinate = values.real();
    if (values.integer() != faceCount() || !values.ok)
        return false;
    std::vector<uint32_t> normalOf(vertices.size(), none);
    std::unordered_map<uint64_t, uint32_t> copies; // (vertex, normal) to the copy with it
    auto same = [&](uint32_t a, uint32_t b) {
        return normals[a * 3] == normals[b * 3] && normals[a * 3 + 1] == normals[b * 3 + 1] &&
               normals[a * 3 + 2] == normals[b * 3 + 2];
    };
    for (uint32_t face = 0; face < faceCount(); ++face) {
        const uint32_t size = values.integer();
        if (!values.ok || size != faceStarts[face + 1] - faceStarts[face] || !values.holds(size))
            return false;
        for (uint32_t corner = faceStarts[face]; corner < faceStarts[face + 1]; ++corner) {
            const uint32_t normal = values.integer();
            if (normal >= count)
                return false;
            const uint32_t vertex = corners[corner];
            if (normalOf[vertex] == none) {
                normalOf[vertex] = normal;
            } else if (normalOf[vertex] != normal && !same(normalOf[vertex], normal)) {
                const auto [copy, added] = copies.emplace(uint64_t(vertex) << 32 | normal,
                                                          static_cast<uint32_t>(vertices.size()));
                if (added) {
                    vertices.push_back(vertices[vertex]);
                    normalOf.push_back(normal);
                }
                corners[corner] = copy->second;
            }
        }
    }
    for (size_t vertex = 0; vertex < vertices.size(); ++vertex)
        if (normalOf[vertex] != none)
            for (int axis = 0; axis < 3; ++axis)
                vertices[vertex].normal[axis] = normals[normalOf[vertex] * 3 + axis];
    fvf |= D3DFVF_NORMAL;
    return values.ok;
}

bool MeshPart::readTextureCoords(const XDataObject& object) {
    ValueReader values(object);
    if (values.integer() != vertices.size() || !values.holds(uint64_t(vertices.size()) * 2))
        return false;
    for (XVertex& vertex : vertices) {
        vertex.texCoord[0] = values.real();
        vertex.texCoord[1] = values.real();
    }
    fvf |= D3DFVF_TEX1;
    return values.ok;
}

bool MeshPart::readVertexColours(const XDataObject& object) {
    ValueReader values(object);
    const uint32_t count = values.integer();
    if (!values.holds(uint64_t(count) * 5))
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t vertex = values.integer();
        const float red = values.real(), green = values.real(), blue = values.real();
        const float alpha = values.real();
        if (vertex >= vertices.size())
            return false;
        vertices[vertex].diffuse = colourOf(red, green, blue, alpha);
    }
    fvf |= D3DFVF_DIFFUSE;
    return values.ok;
}

// One material index for each face, as D3DX reads the list: a list of another length is
// refused.
bool MeshPart::readMaterialList(const XDataObject& object) {
    ValueReader values(object);
    const uint32_t materialCount = values.integer();
    if (values.integer() != faceCount() || !values.holds(faceCount()))
        return false;
    faceMaterials.resize(faceCount());
    for (uint32_t& material : faceMaterials) {
        material = values.integer();
        if (material >= materialCount)
            return false;
    }
    for (const XDataObject* child : object.children) {
        if (child->type != "Material")
            continue;
        if (materials.size() == materialCount || !readMaterial(*child, materials.emplace_back()))
            return false;
    }
    return values.ok && materials.size() == materialCount;
}

// Per-vertex data as vertex elements: the normal, the first texture coordinates and the
// diffuse colour are taken; other elements are passed over.
bool MeshPart::readDeclaredData(const XDataObject& object) {
    static const uint32_t sizeOfType[] = {4, 8, 12, 16, 4, 4, 4, 8, 4, 4, 8, 4, 8, 4, 4, 4, 8};
    constexpr uint32_t float2 = 1, float3 = 2, colour = 4;
    constexpr uint32_t usageNormal = 3, usageTexCoord = 5, usageColour = 10;
    struct Element {
        uint32_t type, usage, usageIndex, offset;
    };
    ValueReader values(object);
    const uint32_t elementCount = values.integer();
    if (!values.holds(uint64_t(elementCount) * 4))
        return false;
    std::vector<Element> elements(elementCount);
    uint32_t stride = 0;
    for (Element& element : elements) {
        element.type = values.integer();
        values.integer(); // the method
        element.usage = values.integer();
        element.usageIndex = values.integer();
        if (element.type >= std::size(sizeOfType))
            return false;
        element.offset = stride / 4;
        stride += sizeOfType[element.type];
    }
    const uint32_t dwords = values.integer();
    if (!values.ok || dwords != uint64_t(stride / 4) * vertices.size() || !values.holds(dwords))
        return false;
    std::vector<uint32_t> data(dwords);
    for (uint32_t& word : data)
        word = values.integer();
    auto realAt = [&](size_t index) {
        float value;
        std::memcpy(&value, &data[index], 4);
        return value;
    };
    for (const Element& element : elements) {
        for (size_t v = 0; v < vertices.size(); ++v) {
            const size_t at = v * (stride / 4) + element.offset;
            if (element.usage == usageNormal && element.type == float3)
                for (int axis = 0; axis < 3; ++axis)
                    vertices[v].normal[axis] = realAt(at + axis);
            else if (element.usage == usageTexCoord && element.usageIndex == 0 &&
                     element.type == float2)
                for (int axis = 0; axis < 2; ++axis)
                    vertices[v].texCoord[axis] = realAt(at + axis);
            else if (element.usage == usageColour && element.usageIndex == 0 &&
                     element.type == colour)
                vertices[v].diffuse = data[at];
        }
        if (element.usage == usageNormal && element.type == float3)
            fvf |= D3DFVF_NORMAL;
        else if (element.usage == usageTexCoord && element.usageIndex == 0 &&
                 element.type == float2)
            fvf |= D3DFVF_TEX1;
        else if (element.usage == usageColour && element.usageIndex == 0 && element.type == colour)
            fvf |= D3DFVF_DIFFUSE;
    }
    return values.ok;
}

// Skin weights take no part in the mesh, but must name vertices it has.
bool MeshPart::checkSkinWeights(const XDataObject& object) const {
    ValueReader values(object);
    values.text();
    const uint32_t count = values.integer();
    if (!values.holds(count))
        return false;
    for (uint32_t i = 0; i < count; ++i)
        if (values.integer() >= vertices.size())
            return false;
    return values.ok;
}

class MeshCollector {
public:
    // A mesh referenced from many frames is added for each: budget bounds what the file's
    // size can make of it.
    MeshCollector(XMeshData& data, size_t budget) : data(data), budget(budget) {}

    bool addMesh(const XDataObject& mesh, const Matrix& transform);
    bool addFrame(const XDataObject& frame, const Matrix& parent);

    std::vector<uint32_t> triangles; // three vertex indices each, in file order
    std::vector<uint32_t> triangleMaterials;

private:
    XMeshData& data;
    size_t budget; // vertices and corners that meshes may still add
};

bool MeshCollector::addMesh(const XDataObject& mesh, const Matrix& transform) {
    MeshPart part;
    if (!part.read(mesh) || part.vertices.size() + part.corners.size() > budget)
        return false;
    budget -= part.vertices.size() + part.corners.size();
    if (!transform.isIdentity()) {
        // The normals' matrix: the inverse transpose of the upper 3 x 3, by cofactors.
        const float(*m)[4] = transform.m;
        float normalMatrix[3][3];
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                normalMatrix[r][c] = m[(r + 1) % 3][(c + 1) % 3] * m[(r + 2) % 3][(c + 2) % 3] -
                                     m[(r + 1) % 3][(c + 2) % 3] * m[(r + 2) % 3][(c + 1) % 3];
        for (XVertex& vertex : part.vertices) {
            const float* p = vertex.position;
            float moved[4];
            for (int c = 0; c < 4; ++c)
                moved[c] = p[0] * m[0][c] + p[1] * m[1][c] + p[2] * m[2][c] + m[3][c];
            const float w = moved[3] != 0.0f ? moved[3] : 1.0f;
            for (int c = 0; c < 3; ++c)
                vertex.position[c] = moved[c] / w;
            const float* n = vertex.normal;
            float turned[3];
            for (int c = 0; c < 3; ++c)
                turned[c] = n[0] * normalMatrix[0][c] + n[1] * normalMatrix[1][c] +
                            n[2] * normalMatrix[2][c];
            const float length =
                std::sqrt(turned[0] * turned[0] + turned[1] * turned[1] + turned[2] * turned[2]);
            for (int c = 0; c < 3; ++c)
                vertex.normal[c] = length > 0.0f ? turned[c] / length : 0.0f;
        }
    }
    const uint32_t vertexOffset = static_cast<uint32_t>(data.vertices.size());
    const uint32_t materialOffset = static_cast<uint32_t>(data.materials.size());
    for (uint32_t face = 0; face + 1 < part.faceStarts.size(); ++face) {
        const uint32_t first = part.faceStarts[face], end = part.faceStarts[face + 1];
        const uint32_t material = part.faceMaterials[face];
        for (uint32_t corner = first + 1; corner + 1 < end; ++corner) {
            triangles.push_back(vertexOffset + part.corners[first]);
            triangles.push_back(vertexOffset + part.corners[corner]);
            triangles.push_back(vertexOffset + part.corners[corner + 1]);
            triangleMaterials.push_back(material == none ? 0 : materialOffset + material);
        }
    }
    data.fvf |= part.fvf;
    data.vertices.insert(data.vertices.end(), part.vertices.begin(), part.vertices.end());
    data.materials.insert(data.materials.end(), part.materials.begin(), part.materials.end());
    return true;
}

bool MeshCollector::addFrame(const XDataObject& frame, const Matrix& parent) {
    Matrix local = Matrix::identity();
    for (const XDataObject* child : frame.children)
        if (child->type == "FrameTransformMatrix") {
            ValueReader values(*child);
            for (auto& row : local.m)
                for (float& entry : row)
                    entry = values.real();
            if (!values.ok)
                return false;
            break;
        }
    const Matrix transform = local * parent;
    for (size_t i = 0; i < frame.children.size(); ++i) {
        const XDataObject& child = *frame.children[i];
        if (child.type == "Mesh" && !addMesh(child, transform))
            return false;
        // Frames are followed only where they are nested: a reference could make a loop.
        if (child.type == "Frame" && !frame.referenced[i] && !addFrame(child, transform))
            return false;
    }
    return true;
}

} // namespace

bool readXData(const std::string& bytes, XMeshData& data) {
    data = XMeshData();
    XFileBody body;
    XFile file;
    if (!body.read(bytes) || !file.parse(body))
        return false;
    MeshCollector collector(data, 16 * body.bytes.size() + 1024);
    bool ok = true;
    for (const XDataObject* object : file.topLevel) {
        if (object->type == "Mesh")
            ok = ok && collector.addMesh(*object, Matrix::identity());
        else if (object->type == "Frame")
            ok = ok && collector.addFrame(*object, Matrix::identity());
    }
    const size_t faces = collector.triangleMaterials.size();
    if (!ok || faces == 0) {
        data = XMeshData();
        return false;
    }
    // A file without any material list has one default material for all its faces.
    if (data.materials.empty()) {
        XMaterial standard{};
        standard.colours.Diffuse = {0.5f, 0.5f, 0.5f, 0.0f};
        data.materials.push_back(standard);
    }
    // Faces sorted by material, keeping their order within one material (a counting sort).
    std::vector<uint32_t> start(data.materials.size() + 1, 0);
    for (uint32_t material : collector.triangleMaterials)
        ++start[material + 1];
    for (size_t m = 1; m < start.size(); ++m)
        start[m] += start[m - 1];
    data.indices.resize(faces * 3);
    data.attributes.resize(faces);
    for (size_t face = 0; face < faces; ++face) {
        const uint32_t material = collector.triangleMaterials[face];
        const uint32_t to = start[material]++;
        data.attributes[to] = material;
        for (int corner = 0; corner < 3; ++corner)
            data.indices[to * 3 + corner] = collector.triangles[face * 3 + corner];
    }
    return true;
}

bool readXFile(const std::string& path, XMeshData& data) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        data = XMeshData();
        return false;
    }
    file.seekg(0, std::ios::end);
    std::string bytes(static_cast<size_t>(std::max<std::streamoff>(file.tellg(), 0)), '\0');
    file.seekg(0);
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return readXData(bytes, data);
}
