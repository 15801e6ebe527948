// x_file_reader.h: internal to the Linux layer. Reads a DirectX .X file (text or binary) into
// one merged triangle list with per-face material numbers and the file's materials, in the
// file's own left-handed coordinates, winding and texture coordinates (v = 0 at the top).
// Depends on d3d9.h for the material record; implemented on assimp in x_file_reader.cpp.
#pragma once

#include <d3d9.h>

#include <cstdint>
#include <string>
#include <vector>

struct XVertex {
    float position[3];
    float normal[3];
    float texCoord[2];
};

struct XMaterial {
    D3DMATERIAL9 colours;
    bool hasTexture;
    std::string textureFileName; // exactly as the file gives it
};

struct XMeshData {
    std::vector<XVertex> vertices;
    std::vector<uint32_t> indices;    // three per face; faces sorted by material, stable
    std::vector<uint32_t> attributes; // material index of each face
    std::vector<XMaterial> materials;
};

// Reads path (already resolved for this system) into data. False, with data empty, when the
// file is missing, malformed or holds no triangles.
bool readXFile(const std::string& path, XMeshData& data);
