// x_file_reader.cpp: .X files through assimp. The importer turns the file into right-handed
// data (z mirrored, winding reversed, v flipped); the post-processing steps requested here
// apply the same three conversions again, which restores the file's own numbers. Every mesh
// of the frame hierarchy is moved by its frames' transforms and merged into one list.
// Depends on x_file_reader.h and assimp.
#include "x_file_reader.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>

namespace {

struct Triangle {
    XVertex corners[3];
    uint32_t material;
};

D3DCOLORVALUE colourOf(const aiMaterial* material, const char* key, unsigned type, unsigned index) {
    aiColor4D colour(0, 0, 0, 0);
    material->Get(key, type, index, colour);
    return D3DCOLORVALUE{colour.r, colour.g, colour.b, colour.a};
}

// The texture the .X material names. The importer files it under a texture type guessed
// from the name, so every type is searched, the diffuse one first.
bool textureNameOf(const aiMaterial* material, std::string& name) {
    aiString path;
    if (material->GetTexture(aiTextureType_DIFFUSE, 0, &path) == AI_SUCCESS) {
        name = path.C_Str();
        return true;
    }
    for (int type = aiTextureType_NONE; type <= aiTextureType_UNKNOWN; ++type)
        if (material->GetTexture(static_cast<aiTextureType>(type), 0, &path) == AI_SUCCESS) {
            name = path.C_Str();
            return true;
        }
    return false;
}

XMaterial convertMaterial(const aiMaterial* material) {
    XMaterial result{};
    result.colours.Diffuse = colourOf(material, AI_MATKEY_COLOR_DIFFUSE);
    result.colours.Specular = colourOf(material, AI_MATKEY_COLOR_SPECULAR);
    result.colours.Emissive = colourOf(material, AI_MATKEY_COLOR_EMISSIVE);
    float power = 0.0f;
    material->Get(AI_MATKEY_SHININESS, power);
    result.colours.Power = power;
    result.hasTexture = textureNameOf(material, result.textureFileName);
    return result;
}

void collectTriangles(const aiScene* scene, const aiNode* node, const aiMatrix4x4& parent,
                      std::vector<Triangle>& triangles) {
    const aiMatrix4x4 transform = parent * node->mTransformation;
    aiMatrix3x3 normalTransform(transform);
    normalTransform.Inverse().Transpose();
    for (unsigned m = 0; m < node->mNumMeshes; ++m) {
        const aiMesh* mesh = scene->mMeshes[node->mMeshes[m]];
        for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
            const aiFace& face = mesh->mFaces[f];
            if (face.mNumIndices != 3)
                continue; // points and lines left over after triangulation
            Triangle triangle{};
            triangle.material = mesh->mMaterialIndex;
            for (int c = 0; c < 3; ++c) {
                const unsigned v = face.mIndices[c];
                XVertex& out = triangle.corners[c];
                const aiVector3D p = transform * mesh->mVertices[v];
                out.position[0] = p.x;
                out.position[1] = p.y;
                out.position[2] = p.z;
                if (mesh->HasNormals()) {
                    aiVector3D n = normalTransform * mesh->mNormals[v];
                    n.NormalizeSafe();
                    out.normal[0] = n.x;
                    out.normal[1] = n.y;
                    out.normal[2] = n.z;
                }
                if (mesh->HasTextureCoords(0)) {
                    out.texCoord[0] = mesh->mTextureCoords[0][v].x;
                    out.texCoord[1] = mesh->mTextureCoords[0][v].y;
                }
            }
            triangles.push_back(triangle);
        }
    }
    for (unsigned c = 0; c < node->mNumChildren; ++c)
        collectTriangles(scene, node->mChildren[c], transform, triangles);
}

// Orders vertices for de-duplication: equal corners of neighbouring faces share one vertex.
struct VertexLess {
    bool operator()(const XVertex& a, const XVertex& b) const {
        return std::memcmp(&a, &b, sizeof(XVertex)) < 0;
    }
};

// Every .X file, text or binary, starts with this signature; the importer would otherwise
// accept files of other formats under a .X name.
bool hasXSignature(const std::string& path) {
    char signature[4] = {};
    std::ifstream file(path, std::ios::binary);
    return file.read(signature, 4) && std::memcmp(signature, "xof ", 4) == 0;
}

} // namespace

bool readXFile(const std::string& path, XMeshData& data) {
    data = XMeshData();
    if (!hasXSignature(path))
        return false;
    Assimp::Importer importer;
    const unsigned steps = aiProcess_MakeLeftHanded | aiProcess_FlipWindingOrder |
                           aiProcess_FlipUVs | aiProcess_Triangulate;
    const aiScene* scene = importer.ReadFile(path, steps);
    if (scene == nullptr || scene->mRootNode == nullptr ||
        (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE) != 0)
        return false;

    std::vector<Triangle> triangles;
    collectTriangles(scene, scene->mRootNode, aiMatrix4x4(), triangles);
    if (triangles.empty())
        return false;
    std::stable_sort(triangles.begin(), triangles.end(),
                     [](const Triangle& a, const Triangle& b) { return a.material < b.material; });

    for (unsigned m = 0; m < scene->mNumMaterials; ++m)
        data.materials.push_back(convertMaterial(scene->mMaterials[m]));

    std::map<XVertex, uint32_t, VertexLess> known;
    data.indices.reserve(triangles.size() * 3);
    data.attributes.reserve(triangles.size());
    for (const Triangle& triangle : triangles) {
        for (const XVertex& corner : triangle.corners) {
            auto [it, added] = known.emplace(corner, static_cast<uint32_t>(data.vertices.size()));
            if (added)
                data.vertices.push_back(corner);
            data.indices.push_back(it->second);
        }
        data.attributes.push_back(triangle.material);
    }
    return true;
}
