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
#include <cctype>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string_view>

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

// The tokens of a .X file that the checks below need: braces and names; every other token
// counts as "other". Text and binary files are read alike.
enum class Token { openBrace, closeBrace, name, other, end, malformed };

class XTokens {
public:
    explicit XTokens(const std::string& bytes)
        : bytes(bytes), binary(bytes.compare(8, 4, "bin ") == 0),
          floatSize(bytes.compare(12, 4, "0064") == 0 ? 8 : 4), at(16) {}

    Token next(std::string& name) { return binary ? nextBinary(name) : nextText(name); }

    // The largest whole number read so far (counts, indices).
    uint64_t largestInteger = 0;

private:
    Token nextText(std::string& name) {
        for (;;) {
            if (at >= bytes.size())
                return Token::end;
            const char c = bytes[at];
            if (std::isspace(static_cast<unsigned char>(c)) || c == ';' || c == ',') {
                ++at;
            } else if (c == '#' || bytes.compare(at, 2, "//") == 0) {
                at = bytes.find('\n', at);
            } else if (c == '"') {
                at = bytes.find('"', at + 1);
                if (at == std::string::npos)
                    return Token::malformed;
                ++at;
                return Token::other;
            } else if (c == '{' || c == '}') {
                ++at;
                return c == '{' ? Token::openBrace : Token::closeBrace;
            } else {
                // A name or a number: up to the next space or punctuation. Any other byte
                // that cannot start one (a control byte) is a token of its own.
                const size_t start = at;
                while (at < bytes.size() && !std::isspace(static_cast<unsigned char>(bytes[at])) &&
                       std::string_view("{};,\"").find(bytes[at]) == std::string_view::npos &&
                       bytes[at] != '\0')
                    ++at;
                if (at == start) {
                    ++at;
                    return Token::other;
                }
                name.assign(bytes, start, at - start);
                if (name.find_first_not_of("0123456789") == std::string::npos)
                    largestInteger = std::max<uint64_t>(
                        largestInteger, name.size() > 19 ? UINT64_MAX : std::stoull(name));
                return Token::name;
            }
        }
    }

    bool take(uint64_t count) {
        if (count > bytes.size() - at)
            return false;
        at += count;
        return true;
    }
    Token integer(uint32_t value) {
        largestInteger = std::max<uint64_t>(largestInteger, value);
        return Token::other;
    }
    bool dword(uint32_t& value) {
        if (bytes.size() - at < 4)
            return false;
        std::memcpy(&value, bytes.data() + at, 4);
        at += 4;
        return true;
    }

    // Binary tokens: a 16-bit id, and for names, strings, integers, GUIDs and lists their data.
    Token nextBinary(std::string& name) {
        if (at >= bytes.size())
            return Token::end;
        if (bytes.size() - at < 2)
            return Token::malformed;
        uint16_t id;
        std::memcpy(&id, bytes.data() + at, 2);
        at += 2;
        uint32_t count = 0;
        switch (id) {
        case 1: // name
            if (!dword(count) || count > bytes.size() - at)
                return Token::malformed;
            name.assign(bytes, at, count);
            at += count;
            return Token::name;
        case 2: // string
            return dword(count) && take(count) ? Token::other : Token::malformed;
        case 3: // integer
            return dword(count) ? integer(count) : Token::malformed;
        case 5: // GUID
            return take(16) ? Token::other : Token::malformed;
        case 6: // integer list
            if (!dword(count) || uint64_t(count) * 4 > bytes.size() - at)
                return Token::malformed;
            for (uint32_t i = 0; i < count; ++i) {
                uint32_t value = 0;
                dword(value);
                largestInteger = std::max<uint64_t>(largestInteger, value);
            }
            return Token::other;
        case 7: // float list
            return dword(count) && take(uint64_t(count) * floatSize) ? Token::other
                                                                     : Token::malformed;
        case 10:
            return Token::openBrace;
        case 11:
            return Token::closeBrace;
        default:
            return Token::other;
        }
    }

    const std::string& bytes;
    const bool binary;
    const size_t floatSize;
    size_t at;
};

// The importer indexes a mesh's materials by the faces' material numbers without checking that
// there are any: a material list that holds no material (a Material object or a reference,
// each in braces of its own) must not reach it. Nor may a count larger than the file, for
// which it allocates first. Compressed files cannot be checked and are refused.
bool materialListsHoldMaterials(const std::string& bytes) {
    if (bytes.compare(8, 4, "txt ") != 0 && bytes.compare(8, 4, "bin ") != 0)
        return false;
    XTokens tokens(bytes);
    std::string name;
    int depth = 0;
    int listDepth = -1; // the depth inside the material list being read, or -1
    bool listHasMaterial = false;
    bool listNamed = false; // the last name was "MeshMaterialList"
    // In a text file a list begins with exactly its two counts and its face indices, and then
    // holds only materials: a stray token there makes the importer read the materials wrongly.
    const bool text = bytes.compare(8, 4, "txt ") == 0;
    uint64_t listNumbers = 0, listNumbersExpected = 2;
    std::string previousInList;
    for (;;) {
        switch (tokens.next(name)) {
        case Token::openBrace:
            if (text && listDepth >= 0 && depth == listDepth && listNumbers != listNumbersExpected)
                return false;
            ++depth;
            if (listDepth >= 0 && depth == listDepth + 1) {
                listHasMaterial = true;
                previousInList.clear();
            }
            if (listNamed && listDepth < 0) {
                listDepth = depth;
                listHasMaterial = false;
                listNumbers = 0;
                listNumbersExpected = 2;
                previousInList.clear();
            }
            listNamed = false;
            break;
        case Token::closeBrace:
            if (depth == listDepth) {
                if (!listHasMaterial)
                    return false;
                listDepth = -1;
            }
            --depth;
            listNamed = false;
            break;
        case Token::name:
            if (text && listDepth >= 0 && depth == listDepth) {
                if (listNumbers < listNumbersExpected) {
                    if (name.size() > 19 ||
                        name.find_first_not_of("0123456789") != std::string::npos)
                        return false;
                    if (++listNumbers == 2)
                        listNumbersExpected = 2 + std::stoull(name);
                } else if (name != "Material" && previousInList != "Material") {
                    return false;
                }
                previousInList = name;
            }
            if (name == "MeshMaterialList")
                listNamed = true;
            else if (!listNamed || listDepth >= 0)
                listNamed = false;
            break;
        case Token::other:
            if (text && listDepth >= 0 && depth == listDepth)
                return false;
            listNamed = false;
            break;
        case Token::end:
            // Every whole number is a count or an index of what the file holds, so none can
            // exceed its length; the importer would try to allocate for such a count.
            return tokens.largestInteger <= bytes.size();
        case Token::malformed:
            return false;
        }
    }
}

// Every .X file, text or binary, starts with "xof "; the importer would otherwise accept files
// of other formats under a .X name. Its material lists are checked as above.
bool acceptableXFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return bytes.size() >= 16 && bytes.compare(0, 4, "xof ") == 0 &&
           materialListsHoldMaterials(bytes);
}

} // namespace

bool readXFile(const std::string& path, XMeshData& data) {
    data = XMeshData();
    if (!acceptableXFile(path))
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
